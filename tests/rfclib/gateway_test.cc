// Registered servers at the partner's gateway: registration states,
// routing of a caller to a registration, time-outs and two registrations
// under one program id.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <chrono>
#include <thread>

#include "loopback.h"
#include "test_partner.h"

using namespace rfctest;

namespace {

class GatewayTest : public ::testing::Test {
 protected:
  RFC_HANDLE accept(const std::string &progid) {
    std::string port = std::to_string(partner_.port());
    std::string a = "-a" + progid;  // the joined spelling
    const char *argv[] = {a.c_str(), "-g", "127.0.0.1", "-x", port.c_str(), nullptr};
    return RfcAccept(const_cast<char **>(argv));
  }
  std::vector<int> counts(const std::string &progid) {
    std::string port = std::to_string(partner_.port());
    RFC_INT total = -1, init = -1, ready = -1, busy = -1;
    RFC_ERROR_INFO_EX err{};
    EXPECT_EQ(RfcCheckRegisterServer(const_cast<char *>(progid.c_str()),
                                     const_cast<char *>("127.0.0.1"), const_cast<char *>(port.c_str()),
                                     &total, &init, &ready, &busy, &err),
              RFC_OK)
        << err.message;
    return {total, init, ready, busy};
  }
  // Waits until the gateway counts what is expected (the program's READY
  // travels on its own connection).
  bool wait_counts(const std::string &progid, std::vector<int> want) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      if (counts(progid) == want) return true;
      std::this_thread::yield();
    }
    return false;
  }

  TestPartner partner_;
};

TEST_F(GatewayTest, RegisteredProgramServesRoutedCallsInEachState) {
  EXPECT_EQ(counts("QORPROG"), (std::vector<int>{0, 0, 0, 0}));
  RFC_HANDLE reg = accept("QORPROG");
  ASSERT_NE(reg, RFC_HANDLE_NULL);
  EXPECT_EQ(counts("QORPROG"), (std::vector<int>{1, 1, 0, 0}));

  // Nothing comes within the time: RFC_RETRY, and the program is ready.
  EXPECT_EQ(RfcWaitForRequest(reg, 0), RFC_RETRY);
  EXPECT_TRUE(wait_counts("QORPROG", {1, 0, 1, 0}));

  std::atomic<int> served{0};
  std::thread program([&] {
    for (int i = 0; i < 2; ++i) {
      RFC_RC rc;
      while ((rc = RfcWaitForRequest(reg, 1)) == RFC_RETRY) {
      }
      ASSERT_EQ(rc, RFC_OK);
      RFC_FUNCTIONNAME name;
      ASSERT_EQ(RfcGetName(reg, name), RFC_OK);
      EXPECT_STREQ(name, "Z_JOB");
      int n = 0;
      RFC_PARAMETER in[] = {param("N", &n, 4, RFCTYPE_INT), kEndParam};
      ASSERT_EQ(RfcGetData(reg, in, nullptr), RFC_OK);
      n += 100;
      RFC_PARAMETER out[] = {param("N", &n, 4, RFCTYPE_INT), kEndParam};
      ASSERT_EQ(RfcSendData(reg, out, nullptr), RFC_OK);
      ++served;
    }
  });
  for (int job = 0; job < 2; ++job) {
    RFC_ERROR_INFO_EX err{};
    RFC_HANDLE gw = RfcpGatewayOpen(partner_.server(), "QORPROG", &err);
    ASSERT_NE(gw, RFC_HANDLE_NULL) << err.message;
    EXPECT_EQ(counts("QORPROG"), (std::vector<int>{1, 0, 0, 1}));
    int n = job;
    RFC_PARAMETER exp[] = {param("N", &n, 4, RFCTYPE_INT), kEndParam};
    RFC_PARAMETER imp[] = {param("N", &n, 4, RFCTYPE_INT), kEndParam};
    char *exc = nullptr;
    ASSERT_EQ(RfcCallReceive(gw, const_cast<char *>("Z_JOB"), exp, imp, nullptr, &exc), RFC_OK);
    EXPECT_EQ(n, job + 100);
    RfcClose(gw);  // the job ends; ready once the program waits for the next one
    if (job == 0) {
      EXPECT_TRUE(wait_counts("QORPROG", {1, 0, 1, 0}));
    }
  }
  program.join();
  EXPECT_EQ(served, 2);
  // The program does not wait again: no caller is routed to it, also not
  // while it unregisters.
  EXPECT_EQ(counts("QORPROG"), (std::vector<int>{1, 0, 0, 1}));
  std::thread unregister([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    RfcClose(reg);
  });
  RFC_ERROR_INFO_EX err{};
  EXPECT_EQ(RfcpGatewayOpen(partner_.server(), "QORPROG", &err), RFC_HANDLE_NULL);
  EXPECT_NE(std::string(err.message).find("not registered"), std::string::npos) << err.message;
  unregister.join();
  EXPECT_TRUE(wait_counts("QORPROG", {0, 0, 0, 0}));
}

// A program that served its caller and unregisters is no longer counted,
// even while the caller (a job still writing its log) holds on: under load
// the caller's end may come seconds later, and counting the gone program
// made its next registration look like another program's.
TEST_F(GatewayTest, ProgramThatUnregistersIsNotCountedWhileItsCallerStays) {
  RFC_HANDLE reg = accept("LEAVES");
  ASSERT_NE(reg, RFC_HANDLE_NULL);
  std::thread program([&] {
    RFC_RC rc;
    while ((rc = RfcWaitForRequest(reg, 1)) == RFC_RETRY) {
    }
    ASSERT_EQ(rc, RFC_OK);
    ASSERT_EQ(RfcGetData(reg, nullptr, nullptr), RFC_OK);
    ASSERT_EQ(RfcSendData(reg, nullptr, nullptr), RFC_OK);
  });
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE job = RfcpGatewayOpen(partner_.server(), "LEAVES", &err);
  ASSERT_NE(job, RFC_HANDLE_NULL) << err.message;
  char *exc = nullptr;
  ASSERT_EQ(RfcCallReceive(job, const_cast<char *>("Z_JOB"), nullptr, nullptr, nullptr, &exc), RFC_OK);
  program.join();
  EXPECT_EQ(counts("LEAVES"), (std::vector<int>{1, 0, 0, 1}));
  RfcClose(reg);
  EXPECT_TRUE(wait_counts("LEAVES", {0, 0, 0, 0}));
  // A new registration under the id is the only one counted.
  RFC_HANDLE next = accept("LEAVES");
  ASSERT_NE(next, RFC_HANDLE_NULL);
  EXPECT_EQ(counts("LEAVES"), (std::vector<int>{1, 1, 0, 0}));
  RfcClose(job);
  RfcClose(next);
}

TEST_F(GatewayTest, TwoRegistrationsUnderOneIdAreUsedOldestFirst) {
  RFC_HANDLE first = accept("TWICE");
  RFC_HANDLE second = accept("TWICE");
  ASSERT_NE(first, RFC_HANDLE_NULL);
  ASSERT_NE(second, RFC_HANDLE_NULL);
  EXPECT_EQ(counts("TWICE"), (std::vector<int>{2, 2, 0, 0}));
  EXPECT_EQ(RfcWaitForRequest(second, 0), RFC_RETRY);
  EXPECT_EQ(RfcWaitForRequest(first, 0), RFC_RETRY);
  ASSERT_TRUE(wait_counts("TWICE", {2, 0, 2, 0}));
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE a = RfcpGatewayOpen(partner_.server(), "TWICE", &err);
  RFC_HANDLE b = RfcpGatewayOpen(partner_.server(), "TWICE", &err);
  ASSERT_NE(a, RFC_HANDLE_NULL);
  ASSERT_NE(b, RFC_HANDLE_NULL);
  EXPECT_EQ(counts("TWICE"), (std::vector<int>{2, 0, 0, 2}));
  // All busy: a third caller finds nobody.
  EXPECT_EQ(RfcpGatewayOpen(partner_.server(), "TWICE", &err), RFC_HANDLE_NULL);
  EXPECT_EQ(err.group, RFC_ERROR_COMMUNICATION);
  EXPECT_STREQ(err.message, "program TWICE not registered");
  // The first caller went to the oldest registration.
  ASSERT_EQ(RfcCall(a, const_cast<char *>("Z_WHO"), nullptr, nullptr), RFC_OK);
  EXPECT_EQ(RfcWaitForRequest(first, 5), RFC_OK);
  ASSERT_EQ(RfcSendData(first, nullptr, nullptr), RFC_OK);
  char *exc = nullptr;
  EXPECT_EQ(RfcReceive(a, nullptr, nullptr, &exc), RFC_OK);
  RfcClose(a);
  RfcClose(b);
  RfcClose(first);
  RfcClose(second);
}

// A program may unregister just as a caller is routed to it. A call it
// never took goes to the next registration; one it took is not repeated.
TEST_F(GatewayTest, CallUntakenByAnUnregisteringProgramGoesToTheNextOne) {
  RFC_HANDLE first = accept("RACE");
  RFC_HANDLE second = accept("RACE");
  ASSERT_NE(first, RFC_HANDLE_NULL);
  ASSERT_NE(second, RFC_HANDLE_NULL);
  EXPECT_EQ(RfcWaitForRequest(first, 0), RFC_RETRY);
  ASSERT_TRUE(wait_counts("RACE", {2, 1, 1, 0}));
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE job = RfcpGatewayOpen(partner_.server(), "RACE", &err);
  ASSERT_NE(job, RFC_HANDLE_NULL) << err.message;
  int n = 7;
  RFC_PARAMETER exp[] = {param("N", &n, 4, RFCTYPE_INT), kEndParam};
  ASSERT_EQ(RfcCall(job, const_cast<char *>("Z_JOB"), exp, nullptr), RFC_OK);
  RfcClose(first);  // routed to, but it unregisters without waiting again
  std::thread program([&] {
    ASSERT_EQ(RfcWaitForRequest(second, 10), RFC_OK);
    int got = 0;
    RFC_PARAMETER in[] = {param("N", &got, 4, RFCTYPE_INT), kEndParam};
    ASSERT_EQ(RfcGetData(second, in, nullptr), RFC_OK);
    got += 1;
    RFC_PARAMETER out[] = {param("N", &got, 4, RFCTYPE_INT), kEndParam};
    ASSERT_EQ(RfcSendData(second, out, nullptr), RFC_OK);
  });
  RFC_PARAMETER imp[] = {param("N", &n, 4, RFCTYPE_INT), kEndParam};
  char *exc = nullptr;
  EXPECT_EQ(RfcReceive(job, imp, nullptr, &exc), RFC_OK);
  program.join();
  EXPECT_EQ(n, 8);
  RfcClose(job);

  // The second program takes the next call and leaves without answering:
  // the caller fails, and nobody else gets the call.
  RFC_HANDLE third = accept("RACE");
  ASSERT_NE(third, RFC_HANDLE_NULL);
  EXPECT_EQ(RfcWaitForRequest(third, 0), RFC_RETRY);
  EXPECT_EQ(RfcWaitForRequest(second, 0), RFC_RETRY);
  ASSERT_TRUE(wait_counts("RACE", {2, 0, 2, 0}));
  std::thread taker([&] {
    ASSERT_EQ(RfcWaitForRequest(second, 10), RFC_OK);
    RfcClose(second);
  });
  job = RfcpGatewayOpen(partner_.server(), "RACE", &err);
  ASSERT_NE(job, RFC_HANDLE_NULL) << err.message;
  EXPECT_NE(RfcCallReceive(job, const_cast<char *>("Z_JOB"), exp, imp, nullptr, &exc), RFC_OK);
  taker.join();
  RfcClose(job);
  EXPECT_EQ(RfcWaitForRequest(third, 0), RFC_RETRY);
  RfcClose(third);
}

TEST_F(GatewayTest, UnknownProgramAndUnreachableGateway) {
  RFC_ERROR_INFO_EX err{};
  EXPECT_EQ(RfcpGatewayOpen(partner_.server(), "NOBODY", &err), RFC_HANDLE_NULL);
  EXPECT_STREQ(err.message, "program NOBODY not registered");

  std::string closed = std::to_string(qtest::free_port());
  const char *argv[] = {"-a", "X", "-g", "127.0.0.1", "-x", closed.c_str(), nullptr};
  EXPECT_EQ(RfcAccept(const_cast<char **>(argv)), RFC_HANDLE_NULL);
  ASSERT_EQ(RfcLastErrorEx(&err), 0);
  EXPECT_EQ(err.group, RFC_ERROR_COMMUNICATION);
  EXPECT_NE(std::string(err.message).find("ERROR       partner '127.0.0.1:" + closed + "' not reached"),
            std::string::npos);
  RFC_INT total = 0;
  EXPECT_EQ(RfcCheckRegisterServer(const_cast<char *>("X"), const_cast<char *>("127.0.0.1"),
                                   const_cast<char *>(closed.c_str()), &total, &total, &total, &total, &err),
            RFC_FAILURE);
  EXPECT_EQ(err.group, RFC_ERROR_COMMUNICATION);
}

}  // namespace

TEST_F(GatewayTest, RefusedRegistrationAndVanishingGateway) {
  partner_.refuse_registrations_of("FOREIGN");
  EXPECT_EQ(accept("FOREIGN"), RFC_HANDLE_NULL);
  RFC_ERROR_INFO_EX err{};
  ASSERT_EQ(RfcLastErrorEx(&err), 0);
  EXPECT_EQ(err.group, RFC_ERROR_COMMUNICATION);
  EXPECT_STREQ(err.key, "RFC_ERROR_COMMUNICATION");
  EXPECT_STREQ(err.message, "ERROR registration of tp FOREIGN from host 127.0.0.1 not allowed");
  EXPECT_EQ(counts("FOREIGN"), (std::vector<int>{0, 0, 0, 0}));

  // A gateway that goes away ends the wait with a failure, not a time-out.
  auto other = std::make_unique<TestPartner>();
  std::string port = std::to_string(other->port());
  const char *argv[] = {"-a", "LONELY", "-g", "127.0.0.1", "-x", port.c_str(), nullptr};
  RFC_HANDLE reg = RfcAccept(const_cast<char **>(argv));
  ASSERT_NE(reg, RFC_HANDLE_NULL);
  EXPECT_EQ(RfcWaitForRequest(reg, 0), RFC_RETRY);
  other.reset();
  EXPECT_EQ(RfcWaitForRequest(reg, 10), RFC_FAILURE);
  RfcClose(reg);
}
