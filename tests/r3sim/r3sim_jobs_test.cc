// Background jobs of r3sim calling registered programs through its gateway.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "r3sim_process.h"
#include "call_lists.h"

using r3sim::ParamList;
using r3simtest::R3simProcess;
using r3simtest::text;

namespace {

// A program registered under a program id, in a thread of the test,
// answering STFC_CONNECTION and counting the calls it served.
class RegisteredProgram {
 public:
  // stop_after: closes its registration after this many calls (0: never).
  RegisteredProgram(int port, const std::string &progid, int stop_after = 0)
      : port_(std::to_string(port)), progid_(progid), stop_after_(stop_after) {
    std::vector<char *> argv = {const_cast<char *>("-a"), progid_.data(),
                                const_cast<char *>("-g"), const_cast<char *>("127.0.0.1"),
                                const_cast<char *>("-x"), port_.data(), nullptr};
    handle_ = RfcAccept(argv.data());
    EXPECT_NE(handle_, RFC_HANDLE_NULL);
    thread_ = std::thread([this] { serve(); });
  }
  ~RegisteredProgram() {
    stop_ = true;
    thread_.join();
    if (handle_) RfcClose(handle_);
  }
  // Waits until the program waits for calls, so the gateway counts it ready.
  void wait_ready() {
    for (int i = 0; i < 2000 && !waiting_; ++i) std::this_thread::yield();
    RFC_INT total = 0, init = 0, ready = 0, busy = 0;
    RFC_ERROR_INFO_EX err{};
    std::string host = "127.0.0.1";
    for (int i = 0; i < 200; ++i) {
      RfcCheckRegisterServer(progid_.data(), host.data(), port_.data(), &total, &init, &ready,
                             &busy, &err);
      if (ready + busy > 0 && init == 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << "registration of " << progid_ << " never became ready";
  }
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void serve() {
    int served = 0;
    while (!stop_) {
      waiting_ = true;
      RFC_RC rc = RfcWaitForRequest(handle_, 1);
      if (rc == RFC_RETRY) continue;
      if (rc != RFC_OK) break;
      RFC_FUNCTIONNAME name{};
      RfcGetName(handle_, name);
      char requ[255], echo[255];
      std::memset(requ, ' ', sizeof requ);
      ParamList in, out;
      in.add("REQUTEXT", requ, sizeof requ);
      RfcGetData(handle_, in.get(), nullptr);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(text(requ, sizeof requ));
      }
      if (stop_after_ && ++served >= stop_after_) {
        // Gone in the middle of the job, as a crashed program would be.
        RfcClose(handle_);
        handle_ = RFC_HANDLE_NULL;
        break;
      }
      std::memcpy(echo, requ, sizeof echo);
      out.add("ECHOTEXT", echo, sizeof echo);
      RfcSendData(handle_, out.get(), nullptr);
    }
  }

  std::string port_, progid_;
  int stop_after_;
  RFC_HANDLE handle_ = RFC_HANDLE_NULL;
  std::thread thread_;
  std::atomic<bool> stop_{false}, waiting_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

struct Submitted {
  RFC_RC rc;
  std::string exception, jobcount;
  char status = ' ';
};

Submitted submit(RFC_HANDLE h, const std::string &report, const std::string &variant) {
  char rep[40], var[14], wait[1] = {'X'}, count[8], status[1] = {' '};
  r3sim::put_text(rep, sizeof rep, report);
  r3sim::put_text(var, sizeof var, variant);
  std::memset(count, ' ', sizeof count);
  ParamList exp, imp;
  exp.add("REPORT", rep, 40).add("VARIANT", var, 14).add("WAIT", wait, 1);
  imp.add("JOBCOUNT", count, 8).add("JOBSTATUS", status, 1);
  char *exc = nullptr;
  Submitted s;
  s.rc = RfcCallReceive(h, const_cast<char *>("ZSIM_SUBMIT_JOB"), exp.get(), imp.get(), nullptr, &exc);
  s.exception = exc ? exc : "";
  s.jobcount = text(count, 8);
  s.status = status[0];
  return s;
}

std::vector<std::string> job_log(r3sim::SqliteDb &db, const std::string &count) {
  r3sim::Stmt s = db.prepare("SELECT TEXT FROM TBTCJOBLOG WHERE JOBCOUNT = ? ORDER BY LINENO");
  s.bind(1, count);
  std::vector<std::string> lines;
  while (s.step()) lines.push_back(s.text(0));
  return lines;
}

std::string job_status(r3sim::SqliteDb &db, const std::string &count) {
  r3sim::Stmt s = db.prepare("SELECT STATUS || ',' || PROGID || ',' || SDLUNAME FROM TBTCO WHERE JOBCOUNT = ?");
  s.bind(1, count);
  return s.step() ? s.text(0) : "none";
}

}  // namespace

TEST(R3simJobs, JobCallsTheOldestReadyRegistrationForItsWholeConversation) {
  R3simProcess sim;
  RegisteredProgram first(sim.port(), "ZSIMECHO");
  first.wait_ready();
  RegisteredProgram second(sim.port(), "ZSIMECHO");
  second.wait_ready();
  // The gateway counts both, ready.
  RFC_INT total = 0, init = 0, ready = 0, busy = 0;
  RFC_ERROR_INFO_EX err{};
  std::string id = "ZSIMECHO", host = "127.0.0.1", serv = std::to_string(sim.port());
  ASSERT_EQ(RfcCheckRegisterServer(id.data(), host.data(), serv.data(), &total, &init, &ready,
                                   &busy, &err), RFC_OK);
  EXPECT_EQ(total, 2);
  EXPECT_EQ(ready, 2);
  RFC_HANDLE h = sim.logon();
  Submitted s = submit(h, "ZSIM_ECHO", "ECHO");
  ASSERT_EQ(s.rc, RFC_OK) << s.exception;
  EXPECT_EQ(s.status, 'F');
  ASSERT_EQ(s.jobcount.size(), 8u);
  EXPECT_EQ(s.jobcount.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(first.requests(),
            (std::vector<std::string>{"Job " + s.jobcount + " call 1", "Job " + s.jobcount + " call 2",
                                      "Job " + s.jobcount + " call 3"}));
  EXPECT_TRUE(second.requests().empty());
  EXPECT_EQ(job_status(sim.db(), s.jobcount), "F,ZSIMECHO,DEMO");
  auto log = job_log(sim.db(), s.jobcount);
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], "Job started");
  EXPECT_EQ(log[3], "Reply 2: Job " + s.jobcount + " call 2");
  EXPECT_EQ(log[5], "Job finished");

  // The registration is free again for the next job, which gets its own count.
  first.wait_ready();
  Submitted again = submit(h, "ZSIM_ECHO", "ECHO");
  EXPECT_EQ(again.status, 'F');
  EXPECT_NE(again.jobcount, s.jobcount);
  EXPECT_EQ(first.requests().size(), 6u);
  RfcClose(h);
}

TEST(R3simJobs, JobFailuresAreLogged) {
  R3simProcess sim;
  RFC_HANDLE h = sim.logon();
  // Nobody registered.
  Submitted s = submit(h, "ZSIM_ECHO", "ECHO");
  ASSERT_EQ(s.rc, RFC_OK);
  EXPECT_EQ(s.status, 'A');
  auto log = job_log(sim.db(), s.jobcount);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "program ZSIMECHO not registered");
  EXPECT_EQ(log.back(), "Job cancelled");
  EXPECT_EQ(job_status(sim.db(), s.jobcount), "A,ZSIMECHO,DEMO");

  // The registration disappears in the middle of the job.
  {
    RegisteredProgram flaky(sim.port(), "ZSIMECHO", 2);
    flaky.wait_ready();
    Submitted broken = submit(h, "ZSIM_ECHO", "ECHO");
    EXPECT_EQ(broken.status, 'A');
    auto lines = job_log(sim.db(), broken.jobcount);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Reply 1: Job " + broken.jobcount + " call 1");
    EXPECT_NE(lines[lines.size() - 2].find("Call of STFC_CONNECTION on program ZSIMECHO failed"),
              std::string::npos) << lines[lines.size() - 2];
  }

  // Unknown report and variant, and a job start refused by a fault.
  EXPECT_EQ(submit(h, "ZNOREPORT", "ECHO").exception, "REPORT_NOT_FOUND");
  EXPECT_EQ(submit(h, "ZSIM_ECHO", "NOVARIANT").exception, "VARIANT_NOT_FOUND");
  sim.db().exec("INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, TIMES) VALUES ('ZSIM_ECHO', 'JOB_START', 'no free batch work process', 1)");
  EXPECT_EQ(submit(h, "ZSIM_ECHO", "ECHO").exception, "JOB_START_FAILED");
  RfcClose(h);
}

TEST(R3simJobs, DemoBatchSetUp) {
  R3simProcess sim({"--ns", "/XYZ/"});
  r3sim::Stmt s = sim.db().prepare(
      "SELECT V.REPORT, V.VARIANT, D.PROGID, D.GWHOST, D.GWSERV FROM VARID V JOIN RFCDES D "
      "ON D.RFCDEST = V.RFCDEST WHERE V.REPORT IN ('/XYZ/Z_QOR_READ', 'ZQORRDBT') ORDER BY V.REPORT");
  std::vector<std::string> rows;
  while (s.step())
    rows.push_back(s.text(0) + "," + s.text(1) + "," + s.text(2) + "," + s.text(3) + "," + s.text(4));
  EXPECT_EQ(rows, (std::vector<std::string>{"/XYZ/Z_QOR_READ,QORBATCH,QORRFC,,",
                                            "ZQORRDBT,MYVAR1,QORRFCB,,"}));
}
