#include "job_runner.h"

#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "clock_text.h"
#include "fault_table.h"

namespace r3sim {

JobRunner::JobRunner(std::string db_path, GatewayOpener opener)
    : db_path_(std::move(db_path)), opener_(std::move(opener)) {}

JobRunner::~JobRunner() { shutdown(); }

std::string JobRunner::next_count(SqliteDb &db) {
  // Job counts start from the time of day, as an R/3 system hands them
  // out, and step on while one is taken.
  ClockText now;
  long candidate = std::strtol((now.time + "00").c_str(), nullptr, 10);
  Stmt exists = db.prepare("SELECT 1 FROM TBTCO WHERE JOBCOUNT = ?");
  char text[16];
  for (;;) {
    std::snprintf(text, sizeof text, "%08ld", candidate % 100000000);
    exists.reset();
    exists.bind(1, std::string(text));
    if (!exists.step()) return text;
    ++candidate;
  }
}

void JobRunner::set_status(SqliteDb &db, const std::string &count, char status, bool start) {
  ClockText now;
  Stmt s = db.prepare(start ? "UPDATE TBTCO SET STATUS = ?, STRTDATE = ?, STRTTIME = ? WHERE JOBCOUNT = ?"
                            : "UPDATE TBTCO SET STATUS = ?, ENDDATE = ?, ENDTIME = ? WHERE JOBCOUNT = ?");
  s.bind(1, std::string(1, status)).bind(2, now.date).bind(3, now.time).bind(4, count).step();
}

std::string JobRunner::start(const JobSpec &spec, JobBody body, std::string *error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) {
    *error = "The system is shutting down";
    return "";
  }
  SqliteDb db(db_path_, false);
  if (auto fault = FaultTable::take(db, spec.report, "JOB_START")) {
    *error = "Job " + spec.jobname + " could not be started: " + fault->arg;
    return "";
  }
  // Threads of ended jobs are joined here, so they never pile up.
  for (auto it = jobs_.begin(); it != jobs_.end(); ++it)
    if (it->second.status != 'S' && it->second.status != 'R' && it->second.thread.joinable())
      it->second.thread.join();
  std::string count = next_count(db);
  ClockText now;
  Stmt s = db.prepare(
      "INSERT INTO TBTCO (JOBCOUNT, JOBNAME, REPORT, VARIANT, PROGID, SDLUNAME, STATUS, "
      "SDLSTRTDT, SDLSTRTTM) VALUES (?, ?, ?, ?, ?, ?, 'S', ?, ?)");
  s.bind(1, count).bind(2, spec.jobname).bind(3, spec.report).bind(4, spec.variant);
  s.bind(5, spec.progid).bind(6, spec.user).bind(7, now.date).bind(8, now.time).step();
  Entry &e = jobs_[count];
  e.status = 'R';
  e.thread = std::thread([this, count, spec, body] { run(count, spec, body); });
  return count;
}

void JobRunner::run(const std::string &count, const JobSpec &spec, const JobBody &body) {
  char status = 'F';
  try {
    Job job(count, spec, db_path_, opener_);
    // A job that waits for a free work process before it runs.
    if (auto delay = FaultTable::take(job.db(), spec.report, "JOB_DELAY"))
      std::this_thread::sleep_for(std::chrono::milliseconds(delay->nth));
    set_status(job.db(), count, 'R', true);
    job.log("Job started");
    job.log("Step 001 started (program " + spec.report + ", variant " + spec.variant +
            ", user ID " + spec.user + ")");
    try {
      body(job);
      job.log("Job finished");
    } catch (const std::exception &e) {
      status = 'A';
      job.log(e.what());
      job.log("Job cancelled");
    }
    set_status(job.db(), count, status, false);
  } catch (const std::exception &e) {
    // The database itself failed; nothing more can be written.
    std::fprintf(stderr, "r3sim: job %s: %s\n", count.c_str(), e.what());
    status = 'A';
  }
  std::lock_guard<std::mutex> lock(mutex_);
  jobs_[count].status = status;
  ended_.notify_all();
}

char JobRunner::wait(const std::string &count) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = jobs_.find(count);
  if (it == jobs_.end()) return ' ';
  ended_.wait(lock, [&] { return it->second.status != 'R'; });
  return it->second.status;
}

void JobRunner::shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (auto &j : jobs_)
      if (j.second.thread.joinable()) threads.push_back(std::move(j.second.thread));
  }
  for (auto &t : threads) t.join();
}

}  // namespace r3sim
