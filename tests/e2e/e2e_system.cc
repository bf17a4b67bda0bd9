#include "e2e_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include <gtest/gtest.h>

#include "loopback.h"

namespace e2e {

namespace {

std::atomic<int> g_servers{0};

}  // namespace

E2eSystem::E2eSystem(int debug_level, std::vector<std::string> server_args,
                     std::vector<std::string> r3sim_args)
    : r3sim_(std::make_shared<r3simtest::R3simProcess>(std::move(r3sim_args))) {
  start_server(debug_level, server_args);
}

E2eSystem::E2eSystem(int debug_level, std::vector<std::string> server_args,
                     const ServerSetup &setup)
    : r3sim_(std::make_shared<r3simtest::R3simProcess>(std::vector<std::string>())) {
  start_server(debug_level, server_args, setup);
}

E2eSystem::E2eSystem(const E2eSystem &same_r3sim, int debug_level,
                     std::vector<std::string> server_args)
    : r3sim_(same_r3sim.r3sim_) {
  start_server(debug_level, server_args);
}

void E2eSystem::start_server(int debug_level, const std::vector<std::string> &server_args,
                             const ServerSetup &setup) {
  server_port_ = qtest::free_port();
  // A unique name keeps the pid files of parallel tests apart.
  name_ = "e2e" + std::to_string(getpid()) + "_" + std::to_string(++g_servers);
  std::vector<std::string> argv = {qtest::bin("qorrfc_server"), "-d", std::to_string(debug_level),
                                   "-w", dir_.path(), "-n", name_,
                                   "-p", std::to_string(server_port_)};
  argv.insert(argv.end(), server_args.begin(), server_args.end());
  // The shell sets the limit and becomes the server (same pid).
  if (setup.descriptor_limit > 0)
    argv.insert(argv.begin(), {"/bin/sh", "-c",
                               "ulimit -n " + std::to_string(setup.descriptor_limit) +
                                   " && exec \"$0\" \"$@\""});
  if (setup.thread_limit > 0) {
    // A user id that no other process (nor a parallel test) has.
    const std::string uid = std::to_string(40000 + getpid() % 20000);
    ::chmod(dir_.path().c_str(), 0777);
    argv.insert(argv.begin(), {"/usr/bin/prlimit", "--nproc=" + std::to_string(setup.thread_limit),
                               "/usr/bin/setpriv", "--reuid=" + uid, "--regid=" + uid, "--clear-groups"});
  }
  server_ = std::make_unique<qtest::ChildProcess>(argv, setup.env);
  if (!qtest::wait_for_port(server_port_, std::chrono::seconds(30)))
    ADD_FAILURE() << "qorrfc_server did not start: " << server_->stderr_text();
}

E2eSystem::~E2eSystem() {
  if (server_->running()) server_->stop(15);
  EXPECT_EQ(qtest::sanitizer_report(server_->stderr_text()), "")
      << "qorrfc_server reported a sanitizer finding";
}

qorclient::LogonOptions E2eSystem::logon() const {
  qorclient::LogonOptions l;
  l.server_host = "127.0.0.1";
  l.server_port = server_port_;
  l.ashost = "127.0.0.1";
  l.sysnr = "00";
  l.gwserv = std::to_string(r3sim_->port());
  l.client = "800";
  l.user = "DEMO";
  l.password = "welcome1";
  l.lang = "E";
  return l;
}

std::unique_ptr<qorclient::MainSession> E2eSystem::open() {
  auto s = std::make_unique<qorclient::MainSession>(std::chrono::seconds(20));
  EXPECT_TRUE(s->open("127.0.0.1", server_port_)) << s->error();
  return s;
}

std::vector<std::string> E2eSystem::failing_request(const std::string &request) {
  auto s = open();
  EXPECT_TRUE(s->send_request(request)) << s->error();
  std::vector<std::string> lines = s->read_until_closed();
  EXPECT_TRUE(s->stream().at_eof()) << "the server did not close the connection";
  return lines;
}

std::string E2eSystem::connect(const std::string &element) {
  auto s = open();
  EXPECT_TRUE(s->send_request(element)) << s->error();
  std::string line;
  EXPECT_TRUE(s->read_line(line)) << "no reply line, got: " << line;
  return line;
}

std::vector<std::string> E2eSystem::calls(int64_t after) {
  r3sim::Stmt s = r3sim_->db().prepare(
      "SELECT KIND || ' ' || FUNCNAME || '|' || DETAIL || '|' || RESULT FROM ZSIM_CALLS "
      "WHERE SEQNO > ? ORDER BY SEQNO");
  s.bind(1, after);
  std::vector<std::string> rows;
  while (s.step()) rows.push_back(s.text(0));
  return rows;
}

int64_t E2eSystem::last_call() {
  r3sim::Stmt s = r3sim_->db().prepare("SELECT IFNULL(MAX(SEQNO), 0) FROM ZSIM_CALLS");
  return s.step() ? s.integer(0) : 0;
}

std::vector<std::string> starting_with(const std::vector<std::string> &lines,
                                       const std::string &prefix) {
  std::vector<std::string> out;
  for (const auto &l : lines)
    if (l.rfind(prefix, 0) == 0) out.push_back(l);
  return out;
}

}  // namespace e2e
