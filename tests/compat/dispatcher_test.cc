// The command dispatcher of the dialog-compatibility port as a client sees
// it, with the stored values read back from the handler itself.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "in_process_server.h"
#include "qorrfc_compat_handler.h"
#include "sapitab.h"

namespace {

using namespace std::chrono_literals;

struct Client {
  qtest::Conn conn;
  std::string handle;
  explicit Client(int port) : conn(port) {
    std::string greeting = conn.read_line();
    EXPECT_EQ(greeting.rfind("HANDLE ", 0), 0u) << greeting;
    handle = greeting.substr(7, greeting.size() - 8);
  }
  // Sends one line and returns the first reply line.
  std::string operator()(const std::string &line) {
    conn.send(line + "\n");
    return conn.read_line();
  }
  // The handler behind this connection, kept alive while used.
  Qorrfc_Compat_Handler *handler() {
    ref_ = Qorrfc_Handler_Registry::instance()->find(handle.c_str());
    return dynamic_cast<Qorrfc_Compat_Handler *>(ref_.get());
  }
  Qorrfc_Handler_Ref ref_;
};

std::string row(ITAB_H table, unsigned i) {
  return std::string(static_cast<const char *>(ItGetLine(table, i)), ItLeng(table));
}

std::string padded(const std::string &text, size_t width = 72) {
  return text + std::string(width - text.size(), ' ');
}

class CompatDispatcher : public ::testing::Test {
 protected:
  qtest::InProcessServer<Qorrfc_Compat_Handler> server;
  // The reply lines to line on a new connection, until the server closes it.
  std::string refused(const std::string &line) {
    Client c(server.port());
    c.conn.send(line + "\n");
    std::string all = c.conn.read_all(10s);
    EXPECT_TRUE(c.conn.wait_closed(1s)) << line;
    return all;
  }
};

TEST_F(CompatDispatcher, LinesThatAreNoCommandEndTheConnection) {
  EXPECT_EQ(refused(""), "ERROR unknown command ' '\n");
  EXPECT_EQ(refused("  \r"), "ERROR unknown command ' '\n");
  EXPECT_EQ(refused("cparm u x"), "ERROR unknown command 'cparm'\n");
  EXPECT_EQ(refused("CPICPARM 2 x"), "ERROR invalid parameter\n");
  EXPECT_EQ(refused("CPARM"), "ERROR invalid parameter\n");
  EXPECT_EQ(refused("CPARM uu x"), "ERROR invalid parameter\n");
  EXPECT_EQ(refused("FMOD"), "ERROR Function Module Name missing\n");
  EXPECT_EQ(refused("TABLE"), "ERROR Table Name missing\n");
  for (const char *bad : {"LENGTH 0", "LENGTH -5", "LENGTH abc", "LENGTH", "LENGTH 123456789"})
    EXPECT_EQ(refused(bad), "ERROR LENGTH is invalid\n") << bad;
  EXPECT_EQ(refused("DHANDLE 1234nothing"), "ERROR: DHANDLE not found\nERROR invalid parameter\n");
  EXPECT_EQ(refused("CHANDLE"), "ERROR: CHANDLE not found\nERROR invalid parameter\n");
  EXPECT_EQ(refused("DISCONNECT 1234nothing"),
            "ERROR: CHANDLE not found\nERROR invalid parameter\n");
}

TEST_F(CompatDispatcher, LogonValuesAreDefaultsForTheExtractionValues) {
  Client a(server.port()), b(server.port());
  EXPECT_EQ(a("CPARM u A"), "OK\n");
  EXPECT_EQ(a("CPICPARM u B"), "OK\n");
  EXPECT_EQ(b("CPICPARM u B"), "OK\n");
  EXPECT_EQ(b("CPARM u A"), "OK\n");
  for (Client *c : {&a, &b}) {
    auto v = c->handler()->logon_values();
    EXPECT_EQ(v.user, "B");
    EXPECT_EQ(v.connect_string, "user=\"A\" ");
  }
  EXPECT_EQ(a("CPARM c 800 ignored"), "OK\n");
  EXPECT_EQ(a("CPARM 2 anything"), "OK\n");
  EXPECT_EQ(a("CPARM p 4142"), "OK\n");
  EXPECT_EQ(a("CPICPARM d DEST1"), "OK\n");
  EXPECT_EQ(a("CPARM h"), "OK\n");
  // A double quote in a value must not end it early.
  EXPECT_EQ(a("CPARM t 1\"x=\"y"), "OK\n");
  auto v = a.handler()->logon_values();
  EXPECT_EQ(v.connect_string,
            "user=\"A\" client=\"800\" type=\"2\" ashost=\"\" trace='1\"x=\"y' ");
  EXPECT_EQ(v.client, "800");
  EXPECT_EQ(v.logon_password, "4142");
  EXPECT_EQ(v.password, "4142");
  EXPECT_EQ(v.destination, "DEST1");
  EXPECT_EQ(v.function_module, "/QOR/Z_QOR_READ_TABLE_V8COMPAT");
  EXPECT_EQ(a("FMOD ZMY_MODULE"), "OK\n");
  EXPECT_EQ(a.handler()->logon_values().function_module, "ZMY_MODULE");
}

TEST_F(CompatDispatcher, ParameterAndWhereLines) {
  Client c(server.port());
  EXPECT_EQ(c("TABLE SFLIGHT"), "OK\n");
  EXPECT_EQ(c("LENGTH 80xyz"), "OK\n");
  EXPECT_EQ(c("CPICPARM f OTHER"), "OK\n");
  EXPECT_EQ(c("WHERESTART"), "OK\n");
  EXPECT_EQ(c("WHERETXT  A = 1"), "OK\n");
  EXPECT_EQ(c("WHERETXT"), "OK\n");
  EXPECT_EQ(c("WHERETXT " + std::string(80, 'x')), "OK\n");
  EXPECT_EQ(c("WHEREEND"), "OK\n");
  Qorrfc_Compat_Handler *h = c.handler();
  ITAB_H p = h->parameter_table();
  ASSERT_EQ(ItFill(p), 3u);
  EXPECT_EQ(row(p, 1), padded("TABLE_NAME=SFLIGHT"));
  EXPECT_EQ(row(p, 2), padded("RECORD_LENGTH=80"));
  EXPECT_EQ(row(p, 3), padded("FORM=OTHER"));
  EXPECT_EQ(h->record_length_text(), "00000080");
  EXPECT_EQ(h->record_length(), 80);
  EXPECT_EQ(h->table_name(), "SFLIGHT");
  EXPECT_EQ(h->form(), "OTHER");
  ITAB_H w = h->where_table();
  ASSERT_EQ(ItFill(w), 3u);
  EXPECT_EQ(row(w, 1), padded(" A = 1"));
  EXPECT_EQ(row(w, 2), padded(""));
  EXPECT_EQ(row(w, 3), std::string(71, 'x') + '\0');
}

TEST_F(CompatDispatcher, ParameterTableIsBounded) {
  Client c(server.port());
  for (int i = 0; i < Qorrfc_Compat_Handler::MAX_PARAMETER_LINES; ++i)
    ASSERT_EQ(c("TABLE T" + std::to_string(i)), "OK\n") << i;
  EXPECT_EQ(c("TABLE ONE_TOO_MANY"), "ERROR too many parameter lines (at most 1000)\n");
  EXPECT_TRUE(c.conn.wait_closed(10s));
}

TEST_F(CompatDispatcher, ContinuationLineIsAcknowledgedAtOnce) {
  Client c(server.port());
  c.conn.send("CPARM u \\\n");
  EXPECT_EQ(c.conn.read_line(), "OK\n");
  EXPECT_EQ(c.handler()->logon_values().user, "");
  EXPECT_EQ(c("ABC"), "OK\n");
  EXPECT_EQ(c.handler()->logon_values().user, "ABC");
}

TEST_F(CompatDispatcher, DconnectNeedsLiveLinksAndALength) {
  Client logon(server.port()), data(server.port()), request(server.port());
  EXPECT_EQ(request("DCONNECT"), "ERROR DCONNECT needs a logon connection (CHANDLE)\n");
  EXPECT_TRUE(request.conn.wait_closed(10s));

  Client r2(server.port());
  EXPECT_EQ(r2("CHANDLE " + logon.handle), "OK\n");
  EXPECT_EQ(r2("DCONNECT"), "ERROR DCONNECT needs a data connection (DHANDLE)\n");

  Client r3(server.port());
  EXPECT_EQ(r3("CHANDLE " + logon.handle), "OK\n");
  EXPECT_EQ(r3("DHANDLE " + data.handle), "OK\n");
  EXPECT_EQ(r3("DCONNECT"), "ERROR DCONNECT needs a record length (LENGTH)\n");

  // The refused request connection has released its data connection.
  EXPECT_TRUE(data.conn.wait_closed(10s));

  // The logon connection's client goes away before it logged on: the
  // connection ends, and the link to it is not followed any more.
  Client data2(server.port()), r4(server.port());
  EXPECT_EQ(r4("CHANDLE " + logon.handle), "OK\n");
  EXPECT_EQ(r4("DHANDLE " + data2.handle), "OK\n");
  EXPECT_EQ(r4("LENGTH 10"), "OK\n");
  logon.conn.close();
  ASSERT_TRUE(qtest::wait_unregistered(logon.handle, 10s));
  EXPECT_EQ(r4("DCONNECT"), "ERROR logon connection has ended\n");
}

TEST_F(CompatDispatcher, DisconnectEndsTheNamedConnection) {
  Client victim(server.port()), other(server.port());
  EXPECT_EQ(other("DISCONNECT " + victim.handle), "OK\n");
  EXPECT_TRUE(victim.conn.wait_closed(10s));
  EXPECT_TRUE(qtest::wait_unregistered(victim.handle, 10s));
  EXPECT_EQ(other("CHANDLE " + victim.handle), "ERROR: CHANDLE not found\n");
}

TEST_F(CompatDispatcher, UndecodablePasswordIsALogonError) {
  Client c(server.port());
  EXPECT_EQ(c("CPARM u DEMO"), "OK\n");
  EXPECT_EQ(c("CPARM p 4"), "OK\n");
  c.conn.send("CCONNECT\n");
  EXPECT_EQ(c.conn.read_all(10s),
            "ERROR+ Group=101, Key=RFC_ERROR_PROGRAM\n"
            "ERROR+ Message=Invalid encrypted password from QOR\n"
            "ERROR RFC request terminated\n");
}

std::atomic<int> counted_destroyed{0};

class Counted_Compat_Handler : public Qorrfc_Compat_Handler {
 public:
  ~Counted_Compat_Handler() override { ++counted_destroyed; }
};

TEST(CompatLinks, ConnectionsThatNameEachOtherAreFreedWhenTheyEnd) {
  qtest::InProcessServer<Counted_Compat_Handler> server;
  counted_destroyed = 0;
  {
    Client a(server.port()), b(server.port()), c(server.port());
    EXPECT_EQ(a("CHANDLE " + b.handle), "OK\n");
    EXPECT_EQ(b("CHANDLE " + a.handle), "OK\n");
    EXPECT_EQ(b("DHANDLE " + c.handle), "OK\n");
    EXPECT_EQ(c("CHANDLE " + b.handle), "OK\n");
  }
  EXPECT_TRUE(server.wait_for_workers(10s));
  EXPECT_EQ(counted_destroyed, 3);
}

}  // namespace
