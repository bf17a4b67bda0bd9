// Calls through a real connection: parameters of each type, tables both
// ways, exceptions, and callbacks nested in both directions.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "test_partner.h"
#include "sapitab.h"

using namespace rfctest;

namespace {

class CallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RFC_ERROR_INFO_EX err{};
    handle_ = RfcOpenEx(const_cast<char *>(partner_.connect_string().c_str()), &err);
    ASSERT_NE(handle_, RFC_HANDLE_NULL) << err.message;
  }
  void TearDown() override { RfcClose(handle_); }

  TestPartner partner_;
  RFC_HANDLE handle_ = RFC_HANDLE_NULL;
};

TEST_F(CallTest, ParametersOfEachTypeTravelAndPad) {
  partner_.add("Z_ECHO", [](RFC_HANDLE h) {
    char text[10];
    int number = 0;
    unsigned char raw[6];
    char untouched[4] = {'K', 'E', 'E', 'P'};
    RFC_PARAMETER in[] = {param("TEXT", text, sizeof text), param("NUMBER", &number, 4, RFCTYPE_INT),
                          param("RAW", raw, sizeof raw, RFCTYPE_BYTE),
                          param("MISSING", untouched, 4), kEndParam};
    ASSERT_EQ(RfcGetData(h, in, nullptr), RFC_OK);
    EXPECT_EQ(std::string(text, 10), "abc       ");  // 3 bytes sent, padded to 10
    EXPECT_EQ(std::string(untouched, 4), "KEEP");
    int doubled = number * 2;
    std::string reply = "got " + std::string(text, 3);
    RFC_PARAMETER out[] = {param("DOUBLED", &doubled, 4, RFCTYPE_INT),
                           param("REPLY", &reply[0], static_cast<unsigned>(reply.size())),
                           param("RAW", raw, 3, RFCTYPE_BYTE), kEndParam};
    ASSERT_EQ(RfcSendData(h, out, nullptr), RFC_OK);
  });
  char text[3] = {'a', 'b', 'c'};
  int number = 21;
  unsigned char raw[3] = {1, 2, 3};
  RFC_PARAMETER exp[] = {param("TEXT", text, 3), param("NUMBER", &number, 4, RFCTYPE_INT),
                         param("RAW", raw, 3, RFCTYPE_BYTE), kEndParam};
  int doubled = 0;
  char reply[12];
  unsigned char raw_back[5] = {9, 9, 9, 9, 9};
  char absent[3] = {'x', 'y', 'z'};
  RFC_PARAMETER imp[] = {param("DOUBLED", &doubled, 4, RFCTYPE_INT), param("REPLY", reply, 12),
                         param("RAW", raw_back, 5, RFCTYPE_BYTE), param("ABSENT", absent, 3),
                         kEndParam};
  char *exception = nullptr;
  ASSERT_EQ(RfcCallReceive(handle_, const_cast<char *>("Z_ECHO"), exp, imp, nullptr, &exception),
            RFC_OK);
  EXPECT_EQ(doubled, 42);
  EXPECT_EQ(std::string(reply, 12), "got abc     ");
  EXPECT_EQ(std::vector<int>(raw_back, raw_back + 5), (std::vector<int>{1, 2, 3, 0, 0}));
  EXPECT_EQ(std::string(absent, 3), "xyz");
}

TEST_F(CallTest, TablesGoBothWaysAndKeepTheirRowLength) {
  partner_.add("Z_TABLES", [](RFC_HANDLE h) {
    RFC_TABLE tabs[] = {table("INTAB", nullptr, 0), table("EMPTY", nullptr, 0), kEndTable};
    ASSERT_EQ(RfcGetData(h, nullptr, tabs), RFC_OK);
    // Tables without a handle are made by the library with the sender's width.
    ASSERT_NE(tabs[0].ithandle, nullptr);
    EXPECT_EQ(tabs[0].newitab, 1);
    EXPECT_EQ(ItLeng(tabs[0].ithandle), 8u);
    EXPECT_EQ(ItFill(tabs[0].ithandle), 2u);
    EXPECT_EQ(ItLeng(tabs[1].ithandle), 17u);
    EXPECT_EQ(ItFill(tabs[1].ithandle), 0u);
    // Received rows start aligned, as rows of a table made here do.
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ItGetLine(tabs[0].ithandle, 1)) % 8, 0u);
    char *p = static_cast<char *>(ItAppLine(tabs[0].ithandle));
    std::memcpy(p, "third   ", 8);
    ASSERT_EQ(RfcSendData(h, nullptr, tabs), RFC_OK);
    ItDelete(tabs[0].ithandle);
    ItDelete(tabs[1].ithandle);
  });
  ITAB_H in = make_table(8, {"first", "second"});
  ITAB_H empty = make_table(17, {});
  RFC_TABLE tabs[] = {table("INTAB", in, 8), table("EMPTY", empty, 17), kEndTable};
  char *exception = nullptr;
  ASSERT_EQ(RfcCallReceive(handle_, const_cast<char *>("Z_TABLES"), nullptr, nullptr, tabs, &exception),
            RFC_OK);
  ASSERT_EQ(ItFill(in), 3u);
  EXPECT_EQ(row(in, 1), "first");
  EXPECT_EQ(row(in, 3), "third");
  EXPECT_EQ(ItFill(empty), 0u);
  EXPECT_EQ(ItLeng(empty), 17u);
  ItDelete(in);
  ItDelete(empty);
}

TEST_F(CallTest, ExceptionsCarryTheirNameAndTables) {
  partner_.add("Z_FAIL", [](RFC_HANDLE h) {
    RFC_TABLE tabs[] = {table("LOG", nullptr, 0), kEndTable};
    ASSERT_EQ(RfcGetData(h, nullptr, tabs), RFC_OK);
    std::memcpy(ItAppLine(tabs[0].ithandle), "why it failed       ", 20);
    ASSERT_EQ(RfcRaiseTables(h, const_cast<char *>("NOT_FOUND"), tabs), RFC_OK);
    ItDelete(tabs[0].ithandle);
  });
  ITAB_H log = make_table(20, {});
  RFC_TABLE tabs[] = {table("LOG", log, 20), kEndTable};
  char *exception = nullptr;
  ASSERT_EQ(RfcCallReceive(handle_, const_cast<char *>("Z_FAIL"), nullptr, nullptr, tabs, &exception),
            RFC_EXCEPTION);
  ASSERT_NE(exception, nullptr);
  EXPECT_STREQ(exception, "NOT_FOUND");
  EXPECT_EQ(row(log, 1), "why it failed");
  // The session goes on after an exception.
  ASSERT_EQ(RfcCallReceive(handle_, const_cast<char *>("Z_NONE"), nullptr, nullptr, nullptr, &exception),
            RFC_EXCEPTION);
  EXPECT_STREQ(exception, "FUNCTION_NOT_FOUND");
  // Exception names may hold blanks.
  partner_.add("Z_UNKNOWN", [](RFC_HANDLE h) { RfcRaise(h, const_cast<char *>("UNKNOWN FUNCTION")); });
  ASSERT_EQ(RfcCallReceive(handle_, const_cast<char *>("Z_UNKNOWN"), nullptr, nullptr, nullptr, &exception),
            RFC_EXCEPTION);
  EXPECT_STREQ(exception, "UNKNOWN FUNCTION");
  ItDelete(log);
}

// The partner's Z_DEEP calls back Z_BACK, whose handler calls Z_DEEP again,
// down to depth 0: calls nest three deep in each direction.
TEST_F(CallTest, CallbacksNestInBothDirections) {
  std::vector<std::string> trace;
  partner_.add("Z_DEEP", [&](RFC_HANDLE h) {
    int depth = 0;
    RFC_PARAMETER in[] = {param("DEPTH", &depth, 4, RFCTYPE_INT), kEndParam};
    ASSERT_EQ(RfcGetData(h, in, nullptr), RFC_OK);
    trace.push_back("partner " + std::to_string(depth));
    int sum = depth;
    if (depth > 0) {
      RFC_PARAMETER exp[] = {param("DEPTH", &depth, 4, RFCTYPE_INT), kEndParam};
      int back = 0;
      RFC_PARAMETER imp[] = {param("SUM", &back, 4, RFCTYPE_INT), kEndParam};
      ASSERT_EQ(partner_.call_serving(h, "Z_BACK", exp, imp, nullptr), RFC_OK);
      sum += back;
    }
    RFC_PARAMETER out[] = {param("SUM", &sum, 4, RFCTYPE_INT), kEndParam};
    ASSERT_EQ(RfcSendData(h, out, nullptr), RFC_OK);
  });
  // The client serves Z_BACK by calling Z_DEEP with depth - 1.
  std::function<RFC_RC(int, int &)> deep = [&](int depth, int &sum) -> RFC_RC {
    RFC_PARAMETER exp[] = {param("DEPTH", &depth, 4, RFCTYPE_INT), kEndParam};
    RFC_PARAMETER imp[] = {param("SUM", &sum, 4, RFCTYPE_INT), kEndParam};
    char *exc = nullptr;
    RFC_RC rc = RfcCall(handle_, const_cast<char *>("Z_DEEP"), exp, nullptr);
    if (rc != RFC_OK) return rc;
    while ((rc = RfcReceive(handle_, imp, nullptr, &exc)) == RFC_CALL) {
      RFC_FUNCTIONNAME name;
      EXPECT_EQ(RfcGetName(handle_, name), RFC_OK);
      EXPECT_STREQ(name, "Z_BACK");
      int d = 0;
      RFC_PARAMETER in[] = {param("DEPTH", &d, 4, RFCTYPE_INT), kEndParam};
      EXPECT_EQ(RfcGetData(handle_, in, nullptr), RFC_OK);
      trace.push_back("client " + std::to_string(d));
      int inner = 0;
      EXPECT_EQ(deep(d - 1, inner), RFC_OK);
      RFC_PARAMETER out[] = {param("SUM", &inner, 4, RFCTYPE_INT), kEndParam};
      EXPECT_EQ(RfcSendData(handle_, out, nullptr), RFC_OK);
    }
    return rc;
  };
  int sum = 0;
  ASSERT_EQ(deep(3, sum), RFC_OK);
  EXPECT_EQ(sum, 3 + 2 + 1);
  EXPECT_EQ(trace, (std::vector<std::string>{"partner 3", "client 3", "partner 2", "client 2",
                                             "partner 1", "client 1", "partner 0"}));
}

TEST_F(CallTest, UnansweredCallbackIsAnsweredAtTheNextReceive) {
  partner_.add("Z_ASK", [](RFC_HANDLE h) {
    char *exc = nullptr;
    char answer[5] = "none";
    RFC_PARAMETER imp[] = {param("ANSWER", answer, 4), kEndParam};
    // The client leaves this callback unanswered: it must come back empty.
    ASSERT_EQ(RfcCallReceive(h, const_cast<char *>("Z_IGNORED"), nullptr, imp, nullptr, &exc), RFC_OK);
    EXPECT_EQ(std::string(answer, 4), "none");
    int done = 1;
    RFC_PARAMETER out[] = {param("DONE", &done, 4, RFCTYPE_INT), kEndParam};
    ASSERT_EQ(RfcSendData(h, out, nullptr), RFC_OK);
  });
  int done = 0;
  RFC_PARAMETER imp[] = {param("DONE", &done, 4, RFCTYPE_INT), kEndParam};
  char *exc = nullptr;
  ASSERT_EQ(RfcCallReceive(handle_, const_cast<char *>("Z_ASK"), nullptr, imp, nullptr, &exc), RFC_CALL);
  ASSERT_EQ(RfcReceive(handle_, imp, nullptr, &exc), RFC_OK);
  EXPECT_EQ(done, 1);
}

}  // namespace

namespace {
// An untouched table goes back as a mark and the caller keeps its rows; a
// table replaced by another one (even at the same address) goes back whole.
TEST_F(CallTest, AnswerCarriesTablesOnlyWhenTheyChanged) {
  partner_.add("Z_KEEP", [](RFC_HANDLE h) {
    RFC_TABLE tabs[] = {table("T", nullptr, 0), kEndTable};
    ASSERT_EQ(RfcGetData(h, nullptr, tabs), RFC_OK);
    ASSERT_EQ(RfcSendData(h, nullptr, tabs), RFC_OK);
    ItDelete(tabs[0].ithandle);
  });
  partner_.add("Z_REPLACE", [](RFC_HANDLE h) {
    RFC_TABLE tabs[] = {table("T", nullptr, 0), kEndTable};
    ASSERT_EQ(RfcGetData(h, nullptr, tabs), RFC_OK);
    ItDelete(tabs[0].ithandle);
    tabs[0].ithandle = make_table(6, {"new"});
    ASSERT_EQ(RfcSendData(h, nullptr, tabs), RFC_OK);
    ItDelete(tabs[0].ithandle);
  });
  ITAB_H t = make_table(6, {"old1", "old2"});
  RFC_TABLE tabs[] = {table("T", t, 6), kEndTable};
  char *exc = nullptr;
  ASSERT_EQ(RfcCallReceive(handle_, const_cast<char *>("Z_KEEP"), nullptr, nullptr, tabs, &exc), RFC_OK);
  ASSERT_EQ(ItFill(t), 2u);
  EXPECT_EQ(row(t, 2), "old2");
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(RfcCallReceive(handle_, const_cast<char *>("Z_REPLACE"), nullptr, nullptr, tabs, &exc), RFC_OK);
    ASSERT_EQ(ItFill(t), 1u);
    EXPECT_EQ(row(t, 1), "new");
  }
  ItDelete(t);
}
}  // namespace
