// The output operations, on handlers whose socket is one end of a
// socket pair that the test reads.
// ACE_Svc_Handler pairs its own operator new with a delete[] that GCC flags.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include <xercesc/util/PlatformUtils.hpp>

#include "qorrfc_base_handler.h"
#include "unix_qorrfc_service_options.h"
#include "sapitab.h"

namespace {

// A handler writing into a socket pair; the test reads the other end.
struct Wired {
  Qorrfc_Base_Handler *handler = new Qorrfc_Base_Handler;
  int far_end = -1;
  Wired() {
    int sv[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    handler->peer().set_handle(sv[0]);
    far_end = sv[1];
  }
  ~Wired() {
    handler->remove_ref();
    close(far_end);
  }
  std::string read(size_t n) {
    std::string out(n, '\0');
    size_t got = 0;
    while (got < n) {
      ssize_t r = ::recv(far_end, &out[got], n - got, 0);
      if (r <= 0) break;
      got += static_cast<size_t>(r);
    }
    out.resize(got);
    return out;
  }
  std::string read_available() {
    std::string out;
    char buf[4096];
    ssize_t r;
    while ((r = ::recv(far_end, buf, sizeof buf, MSG_DONTWAIT)) > 0) out.append(buf, r);
    return out;
  }
};

TEST(HandlerOutput, SendTableEndAndErrorRecords) {
  Wired w;
  EXPECT_EQ(w.handler->send_table(nullptr, 5), 0);
  EXPECT_EQ(w.read(6), std::string("\0\0\0\0\0X", 6));
  EXPECT_EQ(w.handler->send_table(nullptr, -5), 0);
  EXPECT_EQ(w.read(6), std::string("\0\0\0\0\0\xff", 6));
  EXPECT_EQ(w.handler->send_table(nullptr, 0), 0);
  EXPECT_EQ(w.read(1), "X");
}

TEST(HandlerOutput, SendTableRowsWithTheirFlagByte) {
  ITAB_H table = ItCreate(const_cast<char *>("T"), 3, 0, 0);
  ASSERT_NE(table, nullptr);
  std::memcpy(ItAppLine(table), "abc", 3);
  std::memcpy(ItAppLine(table), "def", 3);
  Wired w;
  EXPECT_EQ(w.handler->send_table(table, 0), 0);
  EXPECT_EQ(w.read(8), std::string("abc\0def\0", 8));
  EXPECT_EQ(ItFill(table), 0u);  // emptied for the next chunk
  EXPECT_EQ(w.handler->row_width(), 3);
  std::memcpy(ItAppLine(table), "ghi", 3);
  EXPECT_EQ(w.handler->send_table(table, 1), 0);
  EXPECT_EQ(w.read(4), std::string("ghi\1", 4));
  ItDelete(table);
}

TEST(HandlerOutput, ErrorLinesAndTheDataConnectionsErrorRecord) {
  Wired request, data;
  request.handler->link_data_connection(Qorrfc_Handler_Ref(data.handler));
  EXPECT_EQ(request.handler->send_error("boom", 3), 7);
  EXPECT_EQ(data.read(4), std::string("\0\0\0X", 4));
  EXPECT_EQ(request.read(7), "E,boom\n");
  EXPECT_EQ(request.handler->send_error(std::string(2000, 'e').c_str(), 0), 1023);
  // Cut so that the line, its line feed included, fits the buffer.
  EXPECT_EQ(request.read(1023), "E," + std::string(1020, 'e') + "\n");
  EXPECT_EQ(data.read_available(), "");
  request.handler->release_data_connection();
}

TEST(HandlerOutput, RfcErrorBlockHasOneLinePerMessageLine) {
  Wired w;
  RFC_ERROR_INFO_EX &info = w.handler->error_info();
  info.group = RFC_ERROR_LOGON_FAILURE;
  std::strcpy(info.key, "RFC_ERROR_LOGON_FAILURE");
  std::strcpy(info.message, "Name or password is incorrect\nPlease re-enter");
  w.handler->send_rfc_error();
  EXPECT_EQ(w.read_available(),
            "E,RFC Error:\n"
            "E,Error Group: 103\n"
            "E,Key        : RFC_ERROR_LOGON_FAILURE\n"
            "E,Message    : Name or password is incorrect\n"
            "E,Message    : Please re-enter\n");
}

TEST(HandlerOutput, FormattedTextIsCutAt1023BytesAndHandleRecordIs130) {
  Wired w;
  EXPECT_EQ(w.handler->send_format("%s-%d", std::string(2000, 'f').c_str(), 1), 1023);
  EXPECT_EQ(w.read(1023), std::string(1023, 'f'));
  EXPECT_EQ(w.handler->send_handle(), 130);
  std::string record = w.read(130);
  EXPECT_EQ(record, std::string(129, ' ') + "\n");  // not yet named: blank
}

TEST(HandlerOutput, TextIsSentAsUtf8) {
  XERCES_CPP_NAMESPACE::XMLPlatformUtils::Initialize();
  {
    Wired w;
    const XMLCh text[] = {0x61, 0xe4, 0x20ac, 0};  // a, a-umlaut, euro sign
    EXPECT_EQ(w.handler->send(text, 3), 6);
    EXPECT_EQ(w.read(6), "a\xc3\xa4\xe2\x82\xac");
  }
  qorrfc_options()->release_utf8_transcoder();
  XERCES_CPP_NAMESPACE::XMLPlatformUtils::Terminate();
}

}  // namespace
