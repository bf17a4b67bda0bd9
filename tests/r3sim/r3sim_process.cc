#include "r3sim_process.h"

#include <gtest/gtest.h>

#include "loopback.h"

namespace r3simtest {

R3simProcess::R3simProcess(std::vector<std::string> extra_args) {
  db_path_ = dir_.file("r3sim.db");
  port_ = qtest::free_port();
  argv_ = {qtest::bin("r3sim"), "--db", db_path_, "--port", std::to_string(port_),
           "--bookings", "2000"};
  argv_.insert(argv_.end(), extra_args.begin(), extra_args.end());
  start();
}

void R3simProcess::start() {
  process_ = std::make_unique<qtest::ChildProcess>(argv_);
  std::string ready = "r3sim ready on 127.0.0.1:" + std::to_string(port_);
  if (!process_->wait_for_stdout(ready, std::chrono::seconds(60)))
    ADD_FAILURE() << "r3sim did not start: " << process_->stderr_text();
}

R3simProcess::~R3simProcess() {
  db_.reset();
  if (process_->running()) process_->stop(15);
  std::string report = qtest::sanitizer_report(process_->stderr_text());
  EXPECT_EQ(report, "") << "r3sim reported a sanitizer finding";
}

void R3simProcess::kill() {
  if (process_->running()) process_->stop(9);
}

void R3simProcess::restart() {
  kill();
  start();
}

r3sim::SqliteDb &R3simProcess::db() {
  if (!db_) db_ = std::make_unique<r3sim::SqliteDb>(db_path_, false);
  return *db_;
}

std::string R3simProcess::connect_string(const std::string &client, const std::string &user,
                                         const std::string &password) const {
  return "ashost=127.0.0.1 sysnr=00 gwserv=" + std::to_string(port_) + " client=" + client +
         " user=" + user + " passwd=" + password + " lang=E lcheck=1";
}

RFC_HANDLE R3simProcess::logon() {
  RFC_ERROR_INFO_EX err{};
  std::string cs = connect_string();
  RFC_HANDLE h = RfcOpenEx(cs.data(), &err);
  EXPECT_NE(h, RFC_HANDLE_NULL) << err.key << ": " << err.message;
  return h;
}

std::string text(const char *buf, size_t n) {
  std::string s(buf, n);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

}  // namespace r3simtest
