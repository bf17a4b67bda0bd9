// Keyed data queues and the handler registry's plain map operations.
// ACE_Svc_Handler pairs its own operator new with a delete[] that GCC flags.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "qorrfc_base_handler.h"
#include "qorrfc_handler_registry.h"
#include "qorrfc_mq.h"

namespace {

TEST(DataQueues, TextsComeOutInTheOrderTheyWentIn) {
  Qorrfc_MQ_Registry *registry = Qorrfc_MQ_Registry::instance();
  static const char first[] = "first", second[] = "second";
  Qorrfc_MQ *queue = nullptr;
  EXPECT_EQ(registry->put("order-key", nullptr, &queue), 0);
  ASSERT_NE(queue, nullptr);
  Qorrfc_MQ *again = nullptr;
  EXPECT_EQ(registry->put("order-key", nullptr, &again), 1);
  EXPECT_EQ(again, queue);
  EXPECT_GE(registry->put("order-key", first), 0);
  EXPECT_GE(registry->put("order-key", second), 0);
  // The texts are handed over, not copied.
  EXPECT_EQ(registry->get("order-key"), first);
  EXPECT_EQ(registry->get("order-key"), second);

  ACE_Thread_Mutex *lock = nullptr;
  EXPECT_EQ(registry->find("order-key", &lock), queue);
  EXPECT_EQ(lock, &queue->lock_);
  EXPECT_EQ(registry->find("never-put", &lock), nullptr);
}

TEST(DataQueues, UnknownKeyGivesEmptyTextAtOnceKnownKeyWaits) {
  Qorrfc_MQ_Registry *registry = Qorrfc_MQ_Registry::instance();
  EXPECT_STREQ(registry->get("no-such-key"), "");

  registry->put("wait-key", nullptr);
  std::atomic<const char *> got{nullptr};
  std::thread taker([&] { got = registry->get("wait-key"); });
  static const char handle[] = "12340xabc";
  // The taker must still be waiting: nothing has been put yet.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(got.load(), nullptr);
  registry->put("wait-key", handle);
  taker.join();
  EXPECT_EQ(got.load(), handle);

  // A waiter that is a connection's worker asked to end (its client gone,
  // or a stop) gives up with "".
  struct Waiter : Qorrfc_Base_Handler {
    int svc() override {
      *out = Qorrfc_MQ_Registry::instance()->get("wait-key");
      return 0;
    }
    std::atomic<const char *> *out = nullptr;
  };
  std::atomic<const char *> cancelled{nullptr};
  Waiter *waiter = new Waiter;  // deleted by its own end, as a connection's handler
  waiter->out = &cancelled;
  waiter->cancel();
  std::thread worker([waiter] { waiter->run_worker(); });
  worker.join();
  ASSERT_NE(cancelled.load(), nullptr);
  EXPECT_STREQ(cancelled.load(), "");
}

TEST(DataQueues, ConcurrentFirstPutsCreateOneQueue) {
  Qorrfc_MQ_Registry *registry = Qorrfc_MQ_Registry::instance();
  for (int round = 0; round < 50; ++round) {
    std::string key = "race-" + std::to_string(round);
    static const char a[] = "a", b[] = "b";
    std::thread t1([&] { registry->put(key.c_str(), a); });
    std::thread t2([&] { registry->put(key.c_str(), b); });
    t1.join();
    t2.join();
    ACE_Thread_Mutex *lock = nullptr;
    Qorrfc_MQ *queue = registry->find(key.c_str(), &lock);
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->message_count(), 2u);
    std::string both = std::string(registry->get(key.c_str())) + registry->get(key.c_str());
    EXPECT_TRUE(both == "ab" || both == "ba") << both;
  }
}

TEST(HandlerRegistry, KeysAreComparedByteForByte) {
  Qorrfc_Handler_Registry *registry = Qorrfc_Handler_Registry::instance();
  auto *handler = new Qorrfc_Base_Handler;
  EXPECT_EQ(registry->bind("12340xabc", handler), 0);
  EXPECT_EQ(registry->bind("12340xabc", handler), 1);
  EXPECT_TRUE(registry->find("12340xabc"));
  EXPECT_FALSE(registry->find("12340xabc   "));  // as padded in the record
  EXPECT_FALSE(registry->find("12340XABC"));
  EXPECT_FALSE(registry->find(""));
  EXPECT_FALSE(registry->find(nullptr));
  // A job key bound to the handler goes with it.
  EXPECT_EQ(registry->bind("42,hostservprog", handler), 0);
  registry->unbind_all(handler);
  EXPECT_FALSE(registry->find("12340xabc"));
  EXPECT_FALSE(registry->find("42,hostservprog"));
  EXPECT_EQ(registry->unbind("42,hostservprog"), -1);
  handler->remove_ref();
}

TEST(HandlerRegistry, JoinTextsBuildsKeys) {
  Qorrfc_Base_Handler *handler = new Qorrfc_Base_Handler;
  char *key = handler->join_texts("host", "serv", "prog");
  EXPECT_STREQ(key, "hostservprog");
  delete[] key;
  key = handler->join_texts("host", "serv", "prog", "12345678");
  EXPECT_STREQ(key, "12345678,hostservprog");
  delete[] key;
  key = handler->join_texts("host", nullptr, "prog");
  EXPECT_STREQ(key, "");
  delete[] key;
  handler->remove_ref();
}

}  // namespace
