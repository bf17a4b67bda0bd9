// How many connections the server holds and what happens at its limits:
// idle connections past the select limit, a server out of descriptors
// (clients told, the log told once, nothing leaked), and kept
// compatibility logons that nobody names any more.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "compat_session.h"
#include "loopback.h"
#include "row_builder.h"
#include "select_support.h"

using e2e::E2eSystem;
using e2e::open_fds;
using e2e::settled;
using e2e::threads;
using e2e::wait_until;
using qorclient::CompatSession;
using qorclient::MainSession;

namespace {

using namespace std::chrono_literals;

size_t occurrences(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A logon and a complete extraction of SCARR: the proof that the server
// serves.
void expect_serving(E2eSystem &sys) {
  e2e::SelectClient client(sys);
  size_t width = r3sim::RowLayout(e2e::dictionary_fields(sys, "SCARR")).width();
  e2e::SelectResult r =
      client.run("<sselect " + client.handles() + " data=\"Y\"><table name=\"SCARR\"/></sselect>",
                 width);
  EXPECT_EQ(r.lines, std::vector<std::string>{"OK"});
  EXPECT_FALSE(r.rows.empty());
}

// A compatibility logon connection that has passed CCONNECT.
std::unique_ptr<CompatSession> kept_logon(E2eSystem &sys, int port) {
  auto l = std::make_unique<CompatSession>(20s);
  EXPECT_TRUE(l->open("127.0.0.1", port)) << l->error();
  std::vector<std::string> commands = qorclient::compat_logon_commands(sys.logon());
  commands.push_back("CCONNECT");
  for (const auto &c : commands) EXPECT_TRUE(l->command(c)) << c << ": " << l->error();
  return l;
}

}  // namespace

TEST(E2eCapacity, IdleConnectionsPastTheSelectLimitLeaveRoomForOthers) {
  E2eSystem sys(1, {}, e2e::threads_end_with_connections());
  const pid_t pid = sys.server().pid();
  expect_serving(sys);
  const int idle_threads = settled([&] { return threads(pid); });
  const int fds = settled([&] { return open_fds(pid); });
  {
    // Connections that never send anything, more than a select loop can
    // watch; each has had its handle record.
    std::vector<std::unique_ptr<MainSession>> idle;
    for (int i = 0; i < 1200; ++i) {
      idle.push_back(std::make_unique<MainSession>(20s));
      ASSERT_TRUE(idle.back()->open("127.0.0.1", sys.server_port()))
          << i << ": " << idle.back()->error();
    }
    EXPECT_GE(open_fds(pid), fds + 1200);
    expect_serving(sys);
  }
  EXPECT_TRUE(wait_until([&] { return open_fds(pid) == fds && threads(pid) == idle_threads; }, 30s))
      << open_fds(pid) << " descriptors (" << fds << " before), " << threads(pid) << " threads ("
      << idle_threads << " before)";
}

TEST(E2eCapacity, OutOfDescriptorsTheClientIsToldAndTheLogSaysSoOnce) {
  // The sanitizers' runtime opens a pipe to check that an object's type
  // record is readable; with no descriptor left that check fails and it
  // reports a valid object as having an invalid type.
  if (qtest::kSanitizerBuild) GTEST_SKIP() << "the sanitizer runtime needs free descriptors";
  const int compat = qtest::free_port();
  e2e::ServerSetup setup;
  setup.descriptor_limit = 48;
  E2eSystem sys(1, {"-c", std::to_string(compat)}, setup);
  const pid_t pid = sys.server().pid();
  const int fds = settled([&] { return open_fds(pid); });
  {
    std::vector<std::unique_ptr<MainSession>> held;
    std::string refusal;
    for (int i = 0; i < 60 && refusal.empty(); ++i) {
      held.push_back(std::make_unique<MainSession>(10s));
      if (!held.back()->open("127.0.0.1", sys.server_port())) refusal = held.back()->error();
    }
    ASSERT_EQ(refusal, "server busy: no room for another connection, try again later");
    // Every further client is told at once, on either port.
    for (int i = 0; i < 5; ++i) {
      MainSession more(10s);
      EXPECT_FALSE(more.open("127.0.0.1", sys.server_port()));
      EXPECT_EQ(more.error(), refusal);
    }
    CompatSession c(10s);
    EXPECT_FALSE(c.open("127.0.0.1", compat));
    EXPECT_EQ(c.error(), "ERROR " + refusal);
  }
  // Room again once the connections are gone.
  EXPECT_TRUE(wait_until([&] { return open_fds(pid) == fds; })) << open_fds(pid) << " vs " << fds;
  MainSession again(10s);
  EXPECT_TRUE(again.open("127.0.0.1", sys.server_port())) << again.error();
  EXPECT_TRUE(sys.server().wait_for_stderr("Accepting connections again; 7 refused meanwhile"))
      << sys.log();
  EXPECT_EQ(occurrences(sys.log(), "Refusing new connections: out of descriptors"), 1u) << sys.log();
}

// Out of threads (the administrator's per-user limit reached): each
// further client hears why, the log says so once, and once the held
// connections are gone the server serves again with no thread left over.
TEST(E2eCapacity, OutOfThreadsTheClientIsToldAndTheServerRecovers) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can run the server under a user id of its own";
  e2e::ServerSetup setup;
  setup.thread_limit = 24;
  E2eSystem sys(1, {}, e2e::threads_end_with_connections(setup));
  const pid_t pid = sys.server().pid();
  const int idle_threads = settled([&] { return threads(pid); });
  ASSERT_LT(idle_threads, setup.thread_limit) << sys.log();
  {
    std::vector<std::unique_ptr<MainSession>> held;
    std::string refusal;
    for (int i = 0; i < 2 * setup.thread_limit && refusal.empty(); ++i) {
      held.push_back(std::make_unique<MainSession>(10s));
      if (!held.back()->open("127.0.0.1", sys.server_port())) refusal = held.back()->error();
    }
    ASSERT_EQ(refusal, "server busy: no room for another connection, try again later") << sys.log();
    for (int i = 0; i < 3; ++i) {
      MainSession more(10s);
      EXPECT_FALSE(more.open("127.0.0.1", sys.server_port()));
      EXPECT_EQ(more.error(), refusal);
    }
  }
  EXPECT_TRUE(wait_until([&] { return threads(pid) == idle_threads; }))
      << threads(pid) << " threads (" << idle_threads << " before)";
  expect_serving(sys);
  EXPECT_EQ(occurrences(sys.log(), "Refusing new connections: cannot start a thread ("), 1u)
      << sys.log();
  EXPECT_TRUE(sys.server().wait_for_stderr("Accepting connections again; 4 refused meanwhile"))
      << sys.log();
}

TEST(E2eCapacity, KeptLogonsThatNobodyNamesEndAfterTheLimit) {
  const int compat = qtest::free_port();
  e2e::ServerSetup setup;
  setup.env["QORRFC_KEPT_LOGON_SECONDS"] = "2";
  E2eSystem sys(1, {"-c", std::to_string(compat)}, e2e::threads_end_with_connections(setup));
  const pid_t pid = sys.server().pid();
  const int idle_threads = settled([&] { return threads(pid); });

  std::string orphan = kept_logon(sys, compat)->handle();  // its client leaves at once
  std::string named = kept_logon(sys, compat)->handle();
  CompatSession request(20s);
  ASSERT_TRUE(request.open("127.0.0.1", compat));
  ASSERT_TRUE(request.command("CHANDLE " + named));

  // The orphan ends; the logon that a live connection names stays.
  ASSERT_TRUE(sys.server().wait_for_stderr(
      "Ending a kept logon that no connection named for 2 s", 15s)) << sys.log();
  auto names = [&](const std::string &handle) {
    CompatSession look(20s);
    return look.open("127.0.0.1", compat) && look.command("CHANDLE " + handle);
  };
  EXPECT_TRUE(wait_until([&] { return !names(orphan); }));
  EXPECT_TRUE(names(named));
  EXPECT_EQ(occurrences(sys.log(), "Ending a kept logon"), 1u);

  // Once nothing names it any more, it ends as well.
  request.close();
  EXPECT_TRUE(wait_until([&] { return occurrences(sys.log(), "Ending a kept logon") == 2; }, 15s))
      << sys.log();
  EXPECT_TRUE(wait_until([&] { return threads(pid) == idle_threads; }))
      << threads(pid) << " threads (" << idle_threads << " before)";
}
