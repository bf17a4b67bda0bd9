// The connection handler end to end inside the test process: framing as
// the client sees it, handles, the registry's lifetime guarantee, the size
// limit, data-connection ownership and reading while a worker is busy.
#include <ace/OS_NS_Thread.h>
#include <ace/Semaphore.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "in_process_server.h"
#include "qorrfc_base_handler.h"
#include "qorrfc_compat_handler.h"
#include "qorrfc_worker_pool.h"
#include "text_match.h"
#include "wait_until.h"

namespace {

using namespace std::chrono_literals;

std::atomic<int> destroyed{0};

// Answers each request with "R <blocks> <bytes>\n" and the request's bytes.
class Echo_Handler : public Qorrfc_Base_Handler {
 public:
  ~Echo_Handler() override { ++destroyed; }
  int handle_mb(ACE_Message_Block *request) override {
    std::string text;
    int blocks = 0;
    for (ACE_Message_Block *b = request; b; b = b->cont(), ++blocks)
      text.append(b->rd_ptr(), b->length());
    if (text == "slow") {
      in_slow = true;
      gate().acquire();
    }
    if (text == "slowquit") {
      ++in_slowquit;
      gate().acquire();
    }
    if (text == "thread") text = std::to_string(ACE_OS::thr_gettid());  // the kernel's, never reused soon
    std::string reply = "R " + std::to_string(blocks) + " " + std::to_string(text.size()) + "\n";
    send(reply.data(), reply.size());
    send(text.data(), text.size());
    return text == "quit" || text == "slowquit" ? 7 : 0;
  }
  static inline std::atomic<bool> in_slow{false};
  static inline std::atomic<int> in_slowquit{0};
  static ACE_Semaphore &gate() {
    static ACE_Semaphore s(0);
    return s;
  }
};

struct Reply {
  int blocks = -1;
  std::string text;
};

Reply read_reply(qtest::Conn &c) {
  Reply r;
  std::string header = c.read_line();
  size_t bytes = 0;
  if (std::sscanf(header.c_str(), "R %d %zu", &r.blocks, &bytes) != 2) return r;
  r.text = c.read_exact(bytes, 30s);
  return r;
}

std::string read_handle(qtest::Conn &c) {
  std::string record = c.read_exact(130);
  EXPECT_EQ(record.size(), 130u);
  return record.substr(0, record.find(' '));
}

TEST(Handler, FramingAsTheClientSeesIt) {
  qtest::InProcessServer<Echo_Handler> server;
  qtest::Conn c(server.port());
  read_handle(c);

  ASSERT_TRUE(c.send("abc"));
  // Usually lets "abc" arrive as a chunk of its own before "def\n".
  std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(c.send("def\n"));
  Reply r = read_reply(c);
  EXPECT_EQ(r.text, "abcdef");

  ASSERT_TRUE(c.send("one\ntwo\n"));
  EXPECT_EQ(read_reply(c).text, "one\ntwo");

  ASSERT_TRUE(c.send("part1\\\n"));
  EXPECT_EQ(c.read_line(), "OK\n");
  ASSERT_TRUE(c.send("part2\n"));
  EXPECT_EQ(read_reply(c).text, "part1part2");

  ASSERT_TRUE(c.send("\n"));
  r = read_reply(c);
  EXPECT_EQ(r.blocks, 1);
  EXPECT_EQ(r.text, "");

  // A non-zero result of handle_mb ends the connection.
  ASSERT_TRUE(c.send("quit\n"));
  EXPECT_EQ(read_reply(c).text, "quit");
  EXPECT_TRUE(c.wait_closed(5s));
}

TEST(Handler, HandlesAreDistinctRegisteredAndGoneAfterClose) {
  qtest::InProcessServer<Echo_Handler> server;
  qtest::Conn a(server.port()), b(server.port());
  std::string ha = read_handle(a), hb = read_handle(b);
  EXPECT_TRUE(qtest::is_handle(ha)) << ha;
  EXPECT_NE(ha, hb);
  auto *registry = Qorrfc_Handler_Registry::instance();
  {
    Qorrfc_Handler_Ref found = registry->find(ha.c_str());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->handle(), ha);
  }
  a.close();
  EXPECT_TRUE(qtest::wait_unregistered(ha, 5s));
  EXPECT_TRUE(registry->find(hb.c_str()));
}

// Clients that do not wait for their greeting: one whose request is
// already there while the connection is still being opened gets the
// greeting first and then the reply; one that closes at once is ended and
// freed all the same, with nothing left busy.
TEST(Handler, ClientsThatDoNotWaitForTheirGreeting) {
  const int before = destroyed;
  const int rounds = 1000;
  {
    qtest::InProcessServer<Echo_Handler> server;
    for (int i = 0; i < rounds; ++i) {
      qtest::Conn eager(server.port());
      ASSERT_TRUE(eager.send("ping\n"));
      { qtest::Conn gone(server.port()); }
      ASSERT_TRUE(qtest::is_handle(read_handle(eager))) << "round " << i;
      ASSERT_EQ(read_reply(eager).text, "ping") << "round " << i;
    }
    EXPECT_TRUE(server.wait_for_workers(10s));
  }
  EXPECT_TRUE(qtest::wait_until([&] { return destroyed - before == 2 * rounds; }, 10s))
      << destroyed - before << " of " << 2 * rounds << " handlers freed";
}

TEST(Handler, FoundHandlerOutlivesItsConnection) {
  qtest::InProcessServer<Echo_Handler> server;
  qtest::Conn c(server.port());
  std::string h = read_handle(c);
  Qorrfc_Handler_Ref found = Qorrfc_Handler_Registry::instance()->find(h.c_str());
  ASSERT_TRUE(found);
  int before = destroyed;
  c.close();
  ASSERT_TRUE(qtest::wait_unregistered(h, 5s));
  ASSERT_TRUE(server.wait_for_workers(5s));
  EXPECT_EQ(destroyed, before);  // the worker ended, the object lives on
  EXPECT_EQ(found->handle(), h);
  found.reset();
  EXPECT_EQ(destroyed, before + 1);
}

TEST(Handler, ManyFindersWhileConnectionsClose) {
  qtest::InProcessServer<Echo_Handler> server;
  std::vector<qtest::Conn> conns;
  std::vector<std::string> handles;
  for (int i = 0; i < 40; ++i) {
    conns.emplace_back(server.port());
    handles.push_back(read_handle(conns.back()));
  }
  std::atomic<bool> done{false};
  std::atomic<long> uses{0};
  std::vector<std::thread> finders;
  for (int t = 0; t < 3; ++t)
    finders.emplace_back([&] {
      while (!done) {
        for (const std::string &h : handles) {
          Qorrfc_Handler_Ref r = Qorrfc_Handler_Registry::instance()->find(h.c_str());
          if (!r) continue;
          // Use the handler as another connection's request would.
          if (h == r->handle()) ++uses;
          r->send_format("%s", "");
        }
        // Leave the closing connections (and their writers) some CPU.
        std::this_thread::yield();
      }
    });
  for (auto &c : conns) c.close();
  for (const std::string &h : handles) EXPECT_TRUE(qtest::wait_unregistered(h, 10s));
  EXPECT_TRUE(server.wait_for_workers(10s));
  done = true;
  for (auto &t : finders) t.join();
  EXPECT_GT(uses, 0);
}

TEST(Handler, OversizedRequestIsRefusedAndTheConnectionClosed) {
  qtest::InProcessServer<Echo_Handler> server;
  const size_t limit = Qorrfc_Framer::DEFAULT_MAX_REQUEST;
  {
    qtest::Conn c(server.port());
    read_handle(c);
    // Exactly at the limit: served.
    ASSERT_TRUE(c.send(std::string(limit, 'a') + "\n"));
    Reply r = read_reply(c);
    EXPECT_EQ(r.text.size(), limit);
    // One byte more, no line feed ever: refused and closed.
    std::thread sender([&] { c.send(std::string(limit + 1, 'b')); });
    EXPECT_EQ(c.read_line(30s), "E,request too large\n");
    EXPECT_TRUE(c.wait_closed(10s));
    sender.join();
  }
}

TEST(Handler, BusyWorkerDoesNotStallOtherConnections) {
  qtest::InProcessServer<Echo_Handler> server;
  qtest::Conn busy(server.port());
  read_handle(busy);
  ASSERT_TRUE(busy.send("slow\n"));
  // One request, then wait: the worker must be inside it before more comes.
  while (!Echo_Handler::in_slow) std::this_thread::sleep_for(1ms);
  // Far more than the worker's queue holds, while its worker is blocked.
  std::string big(1 << 20, 'x');
  std::thread sender([&] { busy.send(big + "\n"); });
  std::this_thread::sleep_for(200ms);  // let the queue fill up
  qtest::Conn other(server.port());
  read_handle(other);
  ASSERT_TRUE(other.send("ping\n"));
  EXPECT_EQ(read_reply(other).text, "ping");
  Echo_Handler::gate().release();
  EXPECT_EQ(read_reply(busy).text, "slow");
  EXPECT_EQ(read_reply(busy).text, big);
  sender.join();
}

// Workers that end on their own while their clients still send, with a
// full queue that left the socket unwatched: every connection is closed
// and every handler freed, none stays registered.
TEST(Handler, WorkersEndingWithAFullQueueAreAllClosedAndFreed) {
  qtest::InProcessServer<Echo_Handler> server;
  const int before = destroyed;
  const int n = 20;
  std::vector<qtest::Conn> conns(n);
  for (auto &c : conns) {
    ASSERT_TRUE(c.connect(server.port()));
    read_handle(c);
    ASSERT_TRUE(c.send("slowquit\n"));
  }
  while (Echo_Handler::in_slowquit < n) std::this_thread::sleep_for(1ms);
  // Far more than a worker's queue holds, while the workers are blocked.
  std::vector<std::thread> senders;
  for (auto &c : conns) senders.emplace_back([&c] { c.send(std::string(1 << 20, 'x')); });
  std::this_thread::sleep_for(200ms);  // let the queues fill up
  for (int i = 0; i < n; ++i) Echo_Handler::gate().release();
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(read_reply(conns[i]).text, "slowquit") << i;
    EXPECT_TRUE(conns[i].wait_closed(10s)) << i;
  }
  for (auto &t : senders) t.join();
  auto end = std::chrono::steady_clock::now() + 10s;
  while (destroyed - before < n && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(destroyed - before, n);
}

// A connection's thread that waits for the next connection serves it
// afresh: the stop asked of the last worker on it does not end the next
// one, which stays past its one-second checks. Unless taken, the waiting
// thread ends by itself.
TEST(Handler, AThreadServesTheNextConnectionAfreshAndEndsWhenNotNeeded) {
  qtest::InProcessServer<Echo_Handler> server;
  Qorrfc_Worker_Pool *pool = Qorrfc_Worker_Pool::instance();
  std::string first;
  {
    qtest::Conn c(server.port());
    read_handle(c);
    ASSERT_TRUE(c.send("thread\n"));
    first = read_reply(c).text;
  }
  ASSERT_TRUE(qtest::wait_until([&] { return pool->busy() == 0; }, 5s));
  qtest::Conn next(server.port());
  read_handle(next);
  ASSERT_TRUE(next.send("thread\n"));
  EXPECT_EQ(read_reply(next).text, first);
  // Past two of the worker's one-second checks.
  std::this_thread::sleep_for(2200ms);
  ASSERT_TRUE(next.send("ping\n"));
  EXPECT_EQ(read_reply(next).text, "ping");
  next.close();

  long wait = pool->park_seconds();
  pool->park_seconds(1);
  ASSERT_TRUE(qtest::wait_until([&] { return pool->busy() == 0; }, 5s));
  // Only the reactor's and the listener's threads are left once the
  // waiting one has given up.
  EXPECT_TRUE(qtest::wait_until(
      [] { return ACE_Thread_Manager::instance()->count_threads() == 2; }, 10s));
  pool->park_seconds(wait);
}

TEST(Handler, OwnedDataConnectionEndsWithItsOwner) {
  qtest::InProcessServer<Echo_Handler> server;
  qtest::Conn rc(server.port()), dc(server.port());
  std::string rh = read_handle(rc), dh = read_handle(dc);
  auto *registry = Qorrfc_Handler_Registry::instance();
  {
    Qorrfc_Handler_Ref r = registry->find(rh.c_str());
    ASSERT_TRUE(r);
    r->link_data_connection(registry->find(dh.c_str()));
    EXPECT_EQ(r->data_connection()->request_handler(), r.get());
    EXPECT_EQ(r->data_connection()->delete_on_close(), 0);
  }
  dc.close();
  // Past the worker's one-second check: the owned connection stays.
  std::this_thread::sleep_for(1500ms);
  EXPECT_TRUE(registry->find(dh.c_str()));
  rc.close();
  EXPECT_TRUE(qtest::wait_unregistered(rh, 5s));
  EXPECT_TRUE(qtest::wait_unregistered(dh, 5s));
}

TEST(Handler, CompatibilityGreetingAndRefusal) {
  qtest::InProcessServer<Qorrfc_Compat_Handler> server;
  qtest::Conn c(server.port());
  std::string line = c.read_line();
  ASSERT_EQ(line.substr(0, 7), "HANDLE ");
  EXPECT_TRUE(qtest::is_handle(line.substr(7, line.size() - 8))) << line;
  EXPECT_EQ(line.back(), '\n');
  std::thread sender([&] { c.send(std::string(Qorrfc_Framer::DEFAULT_MAX_REQUEST + 1, 'c')); });
  EXPECT_EQ(c.read_line(30s), "ERROR request too large\n");
  EXPECT_TRUE(c.wait_closed(10s));
  sender.join();
}

}  // namespace

namespace {

TEST(Handler, ControlBlocksFromOtherConnections) {
  qtest::InProcessServer<Echo_Handler> server;
  qtest::Conn rc(server.port()), dc(server.port());
  std::string rh = read_handle(rc), dh = read_handle(dc);
  auto *registry = Qorrfc_Handler_Registry::instance();
  Qorrfc_Handler_Ref r = registry->find(rh.c_str()), d = registry->find(dh.c_str());
  ASSERT_TRUE(r && d);
  r->link_data_connection(d);

  // A batch step for a request without gateway values: the registration
  // fails, and both sides' semaphores are still posted once.
  auto *start = new ACE_Message_Block(1, Qorrfc_Base_Handler::MB_START);
  start->wr_ptr(1);
  ASSERT_NE(d->putq(start), -1);
  ACE_Time_Value until = ACE_OS::gettimeofday() + ACE_Time_Value(5);
  EXPECT_EQ(d->sema().acquire(until), 0);
  EXPECT_EQ(r->sema().acquire(until), 0);
  EXPECT_EQ(d->batch_active(), 1);
  EXPECT_NE(d->batch_status(), 0);
  EXPECT_STREQ(d->batch_errtext(), "No gateway information for the batch job");

  // An unknown block ends the request connection's worker; its end
  // hangs up the data connection it owns.
  ASSERT_NE(r->putq(new ACE_Message_Block(0, 0x90)), -1);
  r.reset();
  d.reset();
  EXPECT_TRUE(rc.wait_closed(5s));
  EXPECT_TRUE(dc.wait_closed(5s));
  EXPECT_TRUE(qtest::wait_unregistered(dh, 5s));
}

}  // namespace
