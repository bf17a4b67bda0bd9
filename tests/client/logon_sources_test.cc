// The places a logon's values come from besides the command line, and how
// the server's answers are put to the user.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "child_process.h"
#include "destinations.h"
#include "password_source.h"
#include "qorcli_command_line.h"
#include "server_report.h"
#include "system_info_line.h"

using qorclient::Destinations;
using qorclient::PasswordSource;
using qorclient::QorcliCommandLine;
using qorclient::ServerReport;
using qorclient::SystemInfoLine;

namespace {

std::string write_file(const qtest::TempDir &dir, const std::string &name, const std::string &text,
                       mode_t mode) {
  std::string path = dir.file(name);
  std::ofstream(path) << text;
  ::chmod(path.c_str(), mode);
  return path;
}

}  // namespace

TEST(Destinations, EntriesInEitherFormAndTheirErrors) {
  qtest::TempDir dir;
  std::string path = write_file(dir, "destinations",
                                "# systems\n"
                                "[QR1]\n"
                                "server = r3gate:6999\n"
                                "ASHOST=r3app01\n"
                                "  sysnr = 00  \n"
                                "user = \" DEMO \"\n"
                                "\n"
                                "[other]\n"
                                "client = 001\n"
                                "* an RFC library's entry serves too\n"
                                "DEST=LEGACY\n"
                                "TYPE=A\n"
                                "CLIENT=800\n"
                                "PASSWD=secret\n",
                                0600);
  std::map<std::string, std::string> v;
  std::string why;
  ASSERT_TRUE(Destinations::read(path, "qr1", v, why)) << why;
  EXPECT_EQ(v, (std::map<std::string, std::string>{
                   {"server", "r3gate:6999"}, {"ashost", "r3app01"}, {"sysnr", "00"}, {"user", " DEMO "}}));
  v.clear();
  ASSERT_TRUE(Destinations::read(path, "LEGACY", v, why)) << why;
  EXPECT_EQ(v, (std::map<std::string, std::string>{{"client", "800"}, {"password", "secret"}}));

  EXPECT_FALSE(Destinations::read(path, "QR2", v, why));
  EXPECT_EQ(why, "no destination QR2 in " + path);
  std::string typo = write_file(dir, "typo", "[QR1]\nsysno = 00\n", 0600);
  EXPECT_FALSE(Destinations::read(typo, "QR1", v, why));
  EXPECT_EQ(why, typo + ":2: unknown key sysno");
  EXPECT_FALSE(Destinations::read(dir.file("none"), "QR1", v, why));
  EXPECT_NE(why.find("cannot read the destinations file"), std::string::npos) << why;
}

TEST(PasswordSource, OnlyAPrivateFileGivesItsFirstLine) {
  qtest::TempDir dir;
  std::string why, password;
  std::string good = write_file(dir, "good", "s3cret\r\nsecond line\n", 0600);
  ASSERT_TRUE(PasswordSource::from_file(good, password, why)) << why;
  EXPECT_EQ(password, "s3cret");

  std::string open = write_file(dir, "open", "s3cret\n", 0644);
  EXPECT_FALSE(PasswordSource::from_file(open, password, why));
  EXPECT_EQ(why, open + " is open to other users (mode 0644); a file holding a password must be "
                        "private: chmod 600 " + open);
  EXPECT_FALSE(PasswordSource::from_file(write_file(dir, "group", "x\n", 0640), password, why));
  EXPECT_FALSE(PasswordSource::from_file(write_file(dir, "empty", "\nx\n", 0600), password, why));
  EXPECT_NE(why.find("holds no password"), std::string::npos) << why;
  EXPECT_FALSE(PasswordSource::from_file(dir.file("missing"), password, why));
}

TEST(ServerReport, RfcErrorsBecomeOneSentence) {
  EXPECT_EQ(ServerReport::rfc_error_sentence(
                {"E,RFC Error:", "E,Error Group: 103", "E,Key        : RFC_ERROR_LOGON_FAILURE",
                 "E,Message    : Name or password is incorrect", "E,Message    : (repeat logon)",
                 "E,Message    : LOCATION    SAP-Server r3app01_QR1_00 on host r3app01",
                 "E,Message    : ERROR       logon of user DEMO in client 800 refused"}),
            "Name or password is incorrect (repeat logon) (RFC error group 103, "
            "RFC_ERROR_LOGON_FAILURE)");
  EXPECT_EQ(ServerReport::rfc_error_sentence(
                {"E,RFC Error:", "E,Error Group: 102", "E,Key        : RFC_ERROR_COMMUNICATION",
                 "E,Message    : Connect to SAP gateway failed",
                 "E,Message    : Connect_PM  GWHOST=r3app01, GWSERV=sapgw00"}),
            "Connect to SAP gateway failed (RFC error group 102, RFC_ERROR_COMMUNICATION)");
  EXPECT_EQ(ServerReport::rfc_error_sentence({"ERROR+ Group=103, Key=RFC_ERROR_LOGON_FAILURE",
                                              "ERROR+ Message=User locked",
                                              "ERROR RFC request terminated"}),
            "User locked (RFC error group 103, RFC_ERROR_LOGON_FAILURE)");
  // Other reports stay as they came.
  EXPECT_EQ(ServerReport::rfc_error_sentence({"E,Unknown callback from R/3"}), "");
  EXPECT_EQ(ServerReport::rfc_error_sentence({"ERROR extraction ended with errors"}), "");
}

TEST(SystemInfoLine, FieldsAtTheirPlacesAndTheTrailer) {
  std::string sysinfo(200, ' ');
  auto put = [&](size_t at, const std::string &v) { sysinfo.replace(at, v.size(), v); };
  put(0, "0111100LITIE3r3app01_QR1_00");
  put(45, "r3app01");
  put(53, "QR1");
  put(101, "ORACLE");
  put(111, "46C");
  put(120, "Linux");
  put(130, " 3600");
  put(136, "X");
  put(137, "10.0.0.7");
  put(152, "46D");
  put(156, "r3app01");
  std::string cut = sysinfo.substr(0, sysinfo.find_last_not_of(' ') + 1);
  SystemInfoLine info;
  ASSERT_TRUE(info.parse(cut + "1100,LIT,IE3,N,/QOR/,1,2,"));
  EXPECT_EQ(info.labelled(),
            "system id         QR1\n"
            "host              r3app01\n"
            "database system   ORACLE\n"
            "release           46C\n"
            "kernel release    46D\n"
            "code page         1100\n"
            "operating system  Linux\n"
            "time zone         3600 seconds from UTC, daylight saving time\n"
            "IP address        10.0.0.7\n"
            "byte order        little-endian (LIT)\n"
            "float format      IE3\n"
            "server platform   Unix (N)\n"
            "program prefix    /QOR/\n"
            "character size    2\n");
  EXPECT_EQ(info.json(),
            "{\"system_id\":\"QR1\",\"host\":\"r3app01\",\"database_system\":\"ORACLE\","
            "\"release\":\"46C\",\"kernel_release\":\"46D\",\"code_page\":\"1100\","
            "\"operating_system\":\"Linux\",\"time_zone\":\"3600\",\"ip_address\":\"10.0.0.7\","
            "\"byte_order\":\"LIT\",\"float_format\":\"IE3\",\"server_platform\":\"N\","
            "\"program_prefix\":\"/QOR/\",\"character_size\":\"2\"}");

  // A comma among R/3's fields does not shift the trailer; a short
  // structure leaves the fields past its end empty.
  ASSERT_TRUE(info.parse("011,100LIT" + std::string(43, ' ') + "QR11100,BIG,IE3,W,/X/,1,1,"));
  EXPECT_EQ(info.fields()[0].value, "QR1");
  EXPECT_EQ(info.fields()[4].value, "");
  EXPECT_EQ(info.fields()[9].shown, "big-endian (BIG)");
  EXPECT_EQ(info.fields()[11].shown, "Windows (W)");
  EXPECT_EQ(info.fields()[12].value, "/X/");

  EXPECT_FALSE(info.parse("E,RFC Error:"));
  EXPECT_FALSE(info.parse("1100,LIT,IE3,N,/QOR/,1,1"));  // no final comma
}

TEST(QorcliCommandLine, PasswordDestinationAndOutputOptions) {
  QorcliCommandLine c = QorcliCommandLine::parse(
      {"info", "--dest", "QR1", "--user", "ME", "--password-file", "/p", "--json", "-v"});
  ASSERT_EQ(c.error, "");
  EXPECT_EQ(c.dest, "QR1");
  EXPECT_EQ(c.password_file, "/p");
  EXPECT_EQ(c.info_style, QorcliCommandLine::InfoStyle::kJson);
  EXPECT_TRUE(c.verbose);
  EXPECT_EQ(c.given, (std::set<std::string>{"--dest", "--user", "--password-file"}));
  EXPECT_EQ(QorcliCommandLine::parse({"info", "--raw"}).info_style, QorcliCommandLine::InfoStyle::kRaw);
  EXPECT_TRUE(QorcliCommandLine::parse({"--version"}).version);
}
