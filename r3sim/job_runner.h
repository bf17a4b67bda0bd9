// Background jobs on the simulator's own threads. Each job gets an 8-digit
// job count, a row in TBTCO with its status (S released, R running,
// F finished, A aborted) and its log lines in TBTCJOBLOG.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "job.h"

namespace r3sim {

class JobRunner {
 public:
  JobRunner(std::string db_path, GatewayOpener opener);
  ~JobRunner();
  JobRunner(const JobRunner &) = delete;
  JobRunner &operator=(const JobRunner &) = delete;

  // Schedules the job and starts it at once. Returns its job count, or an
  // empty text with the reason in error when it cannot start (the fault
  // JOB_START, or the runner is stopping).
  std::string start(const JobSpec &spec, JobBody body, std::string *error);
  // Waits for the end of a job started by this runner; its final status
  // ('F' or 'A'), or ' ' for a job count it does not know.
  char wait(const std::string &count);
  // Refuses new jobs and waits for the running ones.
  void shutdown();

 private:
  struct Entry {
    std::thread thread;
    char status = 'S';
  };

  void run(const std::string &count, const JobSpec &spec, const JobBody &body);
  std::string next_count(SqliteDb &db);
  void set_status(SqliteDb &db, const std::string &count, char status, bool start);

  std::string db_path_;
  GatewayOpener opener_;
  std::mutex mutex_;
  std::condition_variable ended_;
  std::map<std::string, Entry> jobs_;
  bool stopping_ = false;
};

}  // namespace r3sim
