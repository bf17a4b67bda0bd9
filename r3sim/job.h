// One background job as its report sees it: its job count, its own
// database connection, its log, and the one registered program that all of
// its calls go to.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "saprfc.h"
#include "sqlite_db.h"

namespace r3sim {

// Thrown by a report to abort its job; the text goes to the job log.
struct JobFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct JobSpec {
  std::string jobname;
  std::string report;
  std::string variant;
  std::string progid;  // registered program the job calls, may be empty
  std::string user;
};

// Opens a client-role handle to a ready registration of a program id.
using GatewayOpener = std::function<RFC_HANDLE(const std::string &progid, RFC_ERROR_INFO_EX *)>;

class Job {
 public:
  Job(std::string count, JobSpec spec, const std::string &db_path, GatewayOpener opener);
  ~Job();
  Job(const Job &) = delete;
  Job &operator=(const Job &) = delete;

  const std::string &count() const { return count_; }
  const JobSpec &spec() const { return spec_; }
  SqliteDb &db() { return db_; }
  // Appends a line to the job log (TBTCJOBLOG).
  void log(const std::string &text);
  // The conversation with the registered program: opened at the first use,
  // then the same one for the rest of the job. Throws JobFailed when no
  // program is registered.
  RFC_HANDLE partner();
  // Calls a function of the registered program and waits for its answer;
  // a broken conversation throws JobFailed, an exception is returned.
  RFC_RC call(const char *function, RFC_PARAMETER *exporting, RFC_PARAMETER *importing,
              RFC_TABLE *tables, std::string *exception = nullptr);

 private:
  std::string count_;
  JobSpec spec_;
  SqliteDb db_;
  GatewayOpener opener_;
  RFC_HANDLE partner_ = RFC_HANDLE_NULL;
  int lines_ = 0;
};

// What a report does when its job runs.
using JobBody = std::function<void(Job &)>;

}  // namespace r3sim
