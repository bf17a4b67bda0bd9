// What the server process does with connections on each kind of port.
#include <dirent.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "server_under_test.h"
#include "text_match.h"

namespace {

using namespace std::chrono_literals;

std::string fd_list(const std::string &dir) {
  std::string out;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      char target[256] = {0};
      ssize_t n = readlink((dir + "/" + e->d_name).c_str(), target, sizeof target - 1);
      out += std::string(e->d_name) + "->" + (n > 0 ? target : "?") + " ";
    }
    closedir(d);
  }
  return out;
}

size_t entries(const std::string &dir) {
  size_t n = 0;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n;
}

TEST(ServerConnections, MainPortGreetsWithTheHandleRecord) {
  qtest::ServerUnderTest server;
  ASSERT_TRUE(server.ready());
  qtest::Conn a(server.port()), b(server.port());
  std::string ra = a.read_exact(130), rb = b.read_exact(130);
  ASSERT_EQ(ra.size(), 130u);
  EXPECT_EQ(ra.back(), '\n');
  std::string ha = ra.substr(0, ra.find(' '));
  EXPECT_TRUE(qtest::is_handle(ha)) << ha;
  EXPECT_EQ(ra.substr(ha.size(), 129 - ha.size()), std::string(129 - ha.size(), ' '));
  EXPECT_NE(ha, rb.substr(0, rb.find(' ')));
  // The base protocol answers continuation lines; requests go unanswered.
  ASSERT_TRUE(a.send("x\\\n"));
  EXPECT_EQ(a.read_line(), "OK\n");
}

TEST(ServerConnections, CompatibilityPortsGreetWithHandleLines) {
  int compat = qtest::free_port(), bcompat = qtest::free_port();
  qtest::ServerUnderTest server({"-c", std::to_string(compat), "-b",
                                 "-V V1 -p " + std::to_string(bcompat)});
  ASSERT_TRUE(server.ready());
  for (int port : {compat, bcompat}) {
    qtest::Conn c(port);
    std::string line = c.read_line();
    ASSERT_EQ(line.substr(0, 7), "HANDLE ");
    EXPECT_TRUE(qtest::is_handle(line.substr(7, line.size() - 8))) << line;
    EXPECT_EQ(line.back(), '\n');
  }
}

// A request past the size limit is refused; a reply line too long for the
// server's line buffer is cut, and still ends in a line feed, so that a
// client reading lines sees it end.
TEST(ServerConnections, OverlongInputIsRefusedOrItsReplyCutOnEveryPort) {
  int compat = qtest::free_port();
  qtest::ServerUnderTest server({"-c", std::to_string(compat)});
  ASSERT_TRUE(server.ready());
  struct Case {
    int port;
    size_t greeting;
    const char *refusal;
    std::string cut_start;
  } cases[] = {{server.port(), 130, "E,request too large\n", "E,no valid XML tag found in \"qqq"},
               {compat, 0, "ERROR request too large\n", "ERROR unknown command 'qqq"}};
  for (const Case &k : cases) {
    auto greeted = [&k] {
      qtest::Conn c(k.port);
      if (k.greeting)
        c.read_exact(k.greeting);
      else
        c.read_line();
      return c;
    };
    qtest::Conn c = greeted();
    std::thread sender([&] { c.send(std::string(16 * 1024 * 1024 + 1, 'z')); });
    EXPECT_EQ(c.read_line(30s), k.refusal);
    EXPECT_TRUE(c.wait_closed(10s));
    sender.join();

    qtest::Conn d = greeted();
    ASSERT_TRUE(d.send(std::string(3000, 'q') + "\n"));
    std::string line = d.read_line();
    EXPECT_EQ(line.size(), 1023u);
    EXPECT_EQ(line.rfind(k.cut_start, 0), 0u) << line.substr(0, 60);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find_first_not_of('q', k.cut_start.size()), line.size() - 1);
  }
}

TEST(ServerConnections, ThousandConnectionsLeaveNoThreadOrDescriptor) {
  qtest::ServerUnderTest server;
  ASSERT_TRUE(server.ready());
  std::string proc = "/proc/" + std::to_string(server.proc().pid());
  // The connection made by the readiness check must have ended first: once
  // a later connection has been greeted, it has been accepted too.
  {
    qtest::Conn probe(server.port());
    ASSERT_EQ(probe.read_exact(130).size(), 130u);
  }
  auto threads_settle = [&](size_t threads) {
    auto end = std::chrono::steady_clock::now() + 15s;
    while (entries(proc + "/task") != threads) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  };
#if defined(__SANITIZE_THREAD__)
  const size_t base_threads = 4;  // main, signal, listener thread and the sanitizer's own
#else
  const size_t base_threads = 3;  // main, signal and listener thread
#endif
  ASSERT_TRUE(threads_settle(base_threads));
  const size_t base_fds = entries(proc + "/fd");
  const std::string base_list = fd_list(proc + "/fd");
  auto settle = [&] {
    auto end = std::chrono::steady_clock::now() + 15s;
    while (entries(proc + "/task") != base_threads || entries(proc + "/fd") != base_fds) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  };
  for (int round = 0; round < 10; ++round) {
    std::vector<qtest::Conn> conns(100);
    for (auto &c : conns) {
      ASSERT_TRUE(c.connect(server.port()));
      ASSERT_EQ(c.read_exact(130).size(), 130u);
    }
  }
  EXPECT_TRUE(settle())
      << entries(proc + "/task") << " threads, " << fd_list(proc + "/fd") << " fds; at first "
      << base_list;
}

}  // namespace
