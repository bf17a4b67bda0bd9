// Many handles used from many threads at once (also run under
// ThreadSanitizer): each thread's results and errors stay its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "test_partner.h"
#include "sapitab.h"

using namespace rfctest;

TEST(ThreadsTest, ManyHandlesFromManyThreadsAtOnce) {
  TestPartner partner;
  partner.add("Z_SUM", [](RFC_HANDLE h) {
    RFC_TABLE tabs[] = {table("NUMS", nullptr, 0), kEndTable};
    ASSERT_EQ(RfcGetData(h, nullptr, tabs), RFC_OK);
    int sum = 0;
    for (unsigned i = 1; i <= ItFill(tabs[0].ithandle); ++i) {
      int v;
      ItCpyLine(tabs[0].ithandle, i, &v);
      sum += v;
    }
    RFC_PARAMETER out[] = {param("SUM", &sum, 4, RFCTYPE_INT), kEndParam};
    ASSERT_EQ(RfcSendData(h, out, tabs), RFC_OK);
    ItDelete(tabs[0].ithandle);
  });
  constexpr int kThreads = 8, kCalls = 50;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      RFC_ERROR_INFO_EX err{};
      RFC_HANDLE h = RfcOpenEx(const_cast<char *>(partner.connect_string().c_str()), &err);
      ASSERT_NE(h, RFC_HANDLE_NULL) << err.message;
      ITAB_H nums = ItCreate(const_cast<char *>("NUMS"), 4, 0, 0);
      for (int c = 0; c < kCalls; ++c) {
        ItFree(nums);
        int expected = 0;
        for (int i = 0; i <= t + c; ++i) {
          std::memcpy(ItAppLine(nums), &i, 4);
          expected += i;
        }
        int sum = -1;
        RFC_PARAMETER imp[] = {param("SUM", &sum, 4, RFCTYPE_INT), kEndParam};
        RFC_TABLE tabs[] = {table("NUMS", nums, 4, RFCTYPE_INT), kEndTable};
        char *exc = nullptr;
        if (RfcCallReceive(h, const_cast<char *>("Z_SUM"), nullptr, imp, tabs, &exc) == RFC_OK &&
            sum == expected && ItFill(nums) == static_cast<unsigned>(t + c + 1))
          ++good;
      }
      // A failure in this thread is this thread's last error only.
      EXPECT_EQ(RfcCall(h, const_cast<char *>("BAD NAME"), nullptr, nullptr), RFC_INVALID_PARAMETER);
      RFC_ERROR_INFO_EX last{};
      EXPECT_EQ(RfcLastErrorEx(&last), 0);
      EXPECT_EQ(last.group, RFC_ERROR_PROGRAM);
      ItDelete(nums);
      RfcClose(h);
    });
  }
  for (auto &t : threads) t.join();
  EXPECT_EQ(good, kThreads * kCalls);
}
