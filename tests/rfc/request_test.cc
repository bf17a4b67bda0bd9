// What a request writes to its client: the RFC error block, text lines
// from R/3's tables, and the refusal of a password text before any logon.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "capture_handler.h"
#include "password_text.h"
#include "qorrfc_base_request.h"
#include "qorrfc_grp_base_select_cbf.h"
#include "qorrfc_mq.h"
#include "qorrfcdc.h"
#include "unix_qorrfc_service_options.h"

namespace {

RFC_ERROR_INFO_EX error(int group, const char *key, const char *message) {
  RFC_ERROR_INFO_EX e;
  std::memset(&e, 0, sizeof e);
  e.group = static_cast<RFC_ERROR_GROUP>(group);
  std::strcpy(e.key, key);
  std::strcpy(e.message, message);
  return e;
}

TEST(ReportRfcError, OneMessageLinePerNonEmptyLine) {
  Captured c;
  Qorrfc_Base_Request request(c.handler);
  RFC_ERROR_INFO_EX e = error(102, "RFC_ERROR_COMMUNICATION",
                              "Connect to SAP gateway failed\n\nLOCATION    CPIC (TCP/IP) on local host\n");
  request.report_rfc_error(nullptr, &e);
  EXPECT_EQ(c.handler->take(),
            "E,RFC Error:\n"
            "E,Error Group: 102\n"
            "E,Key        : RFC_ERROR_COMMUNICATION\n"
            "E,Message    : Connect to SAP gateway failed\n"
            "E,Message    : LOCATION    CPIC (TCP/IP) on local host\n");
  // Without a record the request's own is reported.
  request.error_info() = error(103, "RFC_ERROR_LOGON_FAILURE", "Name or password is incorrect (repeat logon)");
  request.report_rfc_error();
  EXPECT_EQ(c.handler->take(),
            "E,RFC Error:\nE,Error Group: 103\nE,Key        : RFC_ERROR_LOGON_FAILURE\n"
            "E,Message    : Name or password is incorrect (repeat logon)\n");
}

TEST(ReportRfcException, RowLimitAddsTwoLines) {
  Captured c;
  Qorrfc_Base_Request request(c.handler);
  request.report_rfc_exception("NOT_FOUND");
  EXPECT_EQ(c.handler->take(), "E,RFC Exception: NOT_FOUND\n");
  request.report_rfc_exception("DIALOG_ROWLIMIT_EXCEEDED");
  std::string out = c.handler->take();
  EXPECT_EQ(out.find("E,RFC Exception: DIALOG_ROWLIMIT_EXCEEDED\nE, Processing using SAP dialog"), 0u);
  EXPECT_NE(out.find("Use the RFC server\nE, in batch mode,"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 19), "solve the problem.\n");
}

// A request of any kind asking for batch mode.
struct Batch_Request : Qorrfc_Base_Request {
  explicit Batch_Request(Qorrfc_Base_Handler *h) : Qorrfc_Base_Request(h) {
    flags_[0] = 'Y';
    flags_[2] = 'Y';
  }
};

// A request with the given data and batch flags.
struct Dialog_Request : Qorrfc_Base_Request {
  Dialog_Request(Qorrfc_Base_Handler *h, char data, char batch) : Qorrfc_Base_Request(h) {
    flags_[0] = data;
    flags_[2] = batch;
  }
};

TEST(BatchCall, RefusedWithoutVariantOrWithoutASeparateDataConnection) {
  Captured c;
  Batch_Request request(c.handler);
  qorrfc_options()->variant("");
  EXPECT_EQ(request.call_req_function(), 13);
  EXPECT_EQ(c.handler->take(), "E,Batch requested but RFC server has no variant\n");
  // The data connection's worker would have to serve the gateway while
  // this one waits for it: with one connection for both, nothing waits.
  qorrfc_options()->variant("qorvar");
  EXPECT_EQ(request.call_req_function(), 13);
  EXPECT_EQ(c.handler->take(), "E,Batch requires a data connection (dhandle)\n");
  qorrfc_options()->variant("");
}

// A batch request whose data connection is another handler.
struct Linked_Batch_Request : Batch_Request {
  Linked_Batch_Request(Qorrfc_Base_Handler *h, Qorrfc_Base_Handler *data) : Batch_Request(h) {
    data_connection_ = data;
  }
};

TEST(BatchCall, AFailedRegistrationLeavesNoReleaseForTheNextRequest) {
  Captured c, d;
  qorrfc_options()->variant("qorvar");
  // The data connection's side of a refused registration: the outcome,
  // then the release that ends every gateway step.
  std::thread data_side([&] {
    ACE_Message_Block *start = nullptr;
    d.handler->getq(start);
    start->release();
    d.handler->batch_status(2);
    *d.handler->batch_errtext_out() = "refused here";
    d.handler->sema().release();
    c.handler->sema().release();
  });
  Linked_Batch_Request request(c.handler, d.handler);
  EXPECT_EQ(request.call_req_function(), 13);
  data_side.join();
  EXPECT_EQ(c.handler->take(), "E,refused here\n");
  // The request took both releases: a later batch request on this
  // connection waits for its own data connection's end.
  EXPECT_EQ(c.handler->sema().tryacquire(), -1);
  EXPECT_EQ(d.handler->sema().tryacquire(), -1);
  qorrfc_options()->variant("");
}

TEST(SendLine, TrailingBlanksGoAndEveryCharacterStays) {
  Captured c;
  Qorrfc_Base_Request request(c.handler);
  request.send_line("abc   ", 6);
  request.send_line("      ", 6);
  request.send_line("abcdef", 6);
  std::string wide(300, 'x');
  request.send_line(wide.c_str(), wide.size());
  EXPECT_EQ(c.handler->take(), "abc\n \nabcdef\n" + std::string(256, 'x') + "\n");
}

TEST(DecodePassword, RefusesWhatIsNotAPasswordText) {
  char out[QORRFC_PASSWORD_MAX + 1];
  for (const char *bad : {"", "0", "0g", "abc", "0a1", "zz00"}) {
    EXPECT_EQ(Qorrfc_Base_Request::decode_password(out, bad), -1) << bad;
    EXPECT_STREQ(out, "");
  }
  EXPECT_EQ(Qorrfc_Base_Request::decode_password(out, "7F"), 0);
  EXPECT_STREQ(out, "");
  std::string too_long = "00" + std::string(2 * 100, 'a');
  EXPECT_EQ(Qorrfc_Base_Request::decode_password(out, too_long.c_str()), -1);
}

TEST(DecodePassword, InvertsTheTable) {
  char out[QORRFC_PASSWORD_MAX + 1];
  std::string all;
  for (int c = 1; c < 100; ++c) all += static_cast<char>(c * 2 + 50);
  for (const std::string &password : {std::string("x"), std::string("Secret\"1 \xff"), all}) {
    EXPECT_EQ(Qorrfc_Base_Request::decode_password(out, qtest::password_text(password).c_str()), 0);
    EXPECT_EQ(std::string(out), password);
  }
}

}  // namespace

namespace {

TEST(GrpDh, DialogNamesTheDataConnectionBatchTakesTheQueuedHandle) {
  Captured c;
  Batch_Request request(c.handler);
  // Without the logon's system information the gateway key is empty; the
  // handle queued under it is the one the job's rows go to.
  static const char queued[] = "0042 queued data connection";
  Qorrfc_MQ_Registry::instance()->put("", queued);
  EXPECT_STREQ(request.get_grp_dh(), queued);
  // When another request queued first, the job still gets this request's
  // own data connection (the registration it reached is this request's),
  // and the other's handle stays for its own job.
  Captured own;
  Linked_Batch_Request linked(c.handler, own.handler);
  Qorrfc_MQ_Registry::instance()->put("", queued);
  Qorrfc_MQ_Registry::instance()->put("", own.handler->handle());
  EXPECT_STREQ(linked.get_grp_dh(), own.handler->handle());
  EXPECT_STREQ(request.get_grp_dh(), queued);
  // A data request without batch, or batch without data: dialog mode.
  Dialog_Request dialog(c.handler, 'Y', 'N');
  EXPECT_STREQ(dialog.get_grp_dh(), c.handler->handle());
  Dialog_Request metadata_only(c.handler, 'N', 'Y');
  EXPECT_STREQ(metadata_only.get_grp_dh(), c.handler->handle());
}

TEST(GrpSelect, BlocksizeIsTheLargerSizeInEightDigits) {
  EXPECT_EQ(Qorrfc_Grp_Base_Select_Cbf::blocksize(0, 10000), "00010000");
  EXPECT_EQ(Qorrfc_Grp_Base_Select_Cbf::blocksize(65536, 10000), "00065536");
  EXPECT_EQ(Qorrfc_Grp_Base_Select_Cbf::blocksize(5000, 20000), "00020000");
  // Nine digits do not fit: the largest size that does is sent instead of
  // the first eight digits.
  EXPECT_EQ(Qorrfc_Grp_Base_Select_Cbf::blocksize(123456789, 10000), "99999999");
  EXPECT_EQ(Qorrfc_Grp_Base_Select_Cbf::blocksize(0, 2000000000), "99999999");
}

}  // namespace
