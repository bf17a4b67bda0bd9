// The frame codec: what the encoder writes, the decoder reads back, and
// every cut or corrupted form of it is refused. Also the structure registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rfc_connect_params.h"
#include "rfc_encoder.h"
#include "rfc_wire.h"
#include "saprfc.h"

namespace {

std::string flatten(const rfcw::Encoder &e) {
  std::string out;
  for (const iovec &v : e.iov()) out.append(static_cast<const char *>(v.iov_base), v.iov_len);
  return out;
}

std::string sample_call() {
  std::string big(2000, 'x');  // referenced, not copied, by the encoder
  static std::string rows = "row1row2row3";
  rfcw::Encoder e(rfcw::Kind::Call, "Z_FUNC");
  e.param("SHORT", RFCTYPE_CHAR, "abc", 3);
  e.param("BIG", RFCTYPE_BYTE, big.data(), static_cast<uint32_t>(big.size()));
  e.table("T", RFCTYPE_CHAR, 4, 3, false);
  e.rows(rows.data(), 8);
  e.rows(rows.data() + 8, 4);
  e.table("SAME", RFCTYPE_CHAR, 9, 0, true);
  EXPECT_TRUE(e.finish());
  return flatten(e);
}

TEST(WireTest, DecoderReadsWhatTheEncoderWrote) {
  std::string frame = sample_call();
  rfcw::Header h;
  std::string why;
  ASSERT_TRUE(rfcw::parse_header(reinterpret_cast<const uint8_t *>(frame.data()), h, why)) << why;
  EXPECT_EQ(h.version, rfcw::kVersion);
  EXPECT_EQ(h.kind, rfcw::Kind::Call);
  ASSERT_EQ(h.body_size, frame.size() - rfcw::kHeaderSize);
  rfcw::Message m;
  ASSERT_TRUE(rfcw::decode(h.kind, frame.data() + 8, h.body_size, m, why)) << why;
  EXPECT_EQ(m.name, "Z_FUNC");
  ASSERT_EQ(m.params.size(), 2u);
  EXPECT_EQ(std::string(m.params[0].data, m.params[0].len), "abc");
  EXPECT_EQ(m.params[1].len, 2000u);
  EXPECT_EQ(m.params[1].data[1999], 'x');
  ASSERT_EQ(m.tables.size(), 2u);
  EXPECT_EQ(m.tables[0].rows, 3u);
  EXPECT_EQ(std::string(m.tables[0].data, 12), "row1row2row3");
  EXPECT_TRUE(m.tables[1].unchanged);
  EXPECT_EQ(m.tables[1].leng, 9u);
}

TEST(WireTest, EveryTruncationAndTrailingByteIsRefused) {
  std::string frame = sample_call();
  std::string body = frame.substr(8);
  rfcw::Message m;
  std::string why;
  for (size_t n = 0; n < body.size(); ++n)
    ASSERT_FALSE(rfcw::decode(rfcw::Kind::Call, body.data(), n, m, why)) << n;
  std::string longer = body + "!";
  EXPECT_FALSE(rfcw::decode(rfcw::Kind::Call, longer.data(), longer.size(), m, why));
  EXPECT_NE(why.find("trailing bytes"), std::string::npos);
}

TEST(WireTest, HeadersAndFieldsOutOfBoundsAreRefused) {
  std::string why;
  rfcw::Header h;
  uint8_t huge[8] = {'Q', 'R', 1, 4, 0xff, 0xff, 0xff, 0x7f};
  EXPECT_FALSE(rfcw::parse_header(huge, h, why));
  EXPECT_NE(why.find("exceeds the limit"), std::string::npos);
  uint8_t kind[8] = {'Q', 'R', 1, 0, 0, 0, 0, 0};
  EXPECT_FALSE(rfcw::parse_header(kind, h, why));

  rfcw::Message m;
  // A function name longer than 30 characters.
  rfcw::Encoder e(rfcw::Kind::Call, std::string(31, 'F'));
  ASSERT_TRUE(e.finish());
  std::string f = flatten(e);
  EXPECT_FALSE(rfcw::decode(rfcw::Kind::Call, f.data() + 8, f.size() - 8, m, why));
  // A name with a blank in it.
  rfcw::Encoder blank(rfcw::Kind::Call, "A B");
  ASSERT_TRUE(blank.finish());
  f = flatten(blank);
  EXPECT_FALSE(rfcw::decode(rfcw::Kind::Call, f.data() + 8, f.size() - 8, m, why));
  // Rows of width zero would let a tiny frame claim billions of rows.
  rfcw::Encoder zero(rfcw::Kind::Reply, "");
  zero.table("T", 0, 0, 4000000000u, false);
  ASSERT_TRUE(zero.finish());
  f = flatten(zero);
  EXPECT_FALSE(rfcw::decode(rfcw::Kind::Reply, f.data() + 8, f.size() - 8, m, why));
  EXPECT_NE(why.find("width 0"), std::string::npos);
}

TEST(WireTest, ServiceNamesAndRouterStrings) {
  EXPECT_EQ(rfcl::service_port("sapgw07"), 3307);
  EXPECT_EQ(rfcl::service_port("SAPGW00"), 3300);
  EXPECT_EQ(rfcl::service_port("41234"), 41234);
  EXPECT_EQ(rfcl::service_port("sapmsQR1"), 3600);
  EXPECT_EQ(rfcl::service_port("gateway"), -1);
  EXPECT_EQ(rfcl::service_port("99999"), -1);
  std::string host;
  int port;
  rfcl::split_router("/H/router/S/3299/H/app1", host, port);
  EXPECT_EQ(host, "app1");
  EXPECT_EQ(port, 0);
  rfcl::split_router("/H/app2/S/sapgw05", host, port);
  EXPECT_EQ(host, "app2");
  EXPECT_EQ(port, 3305);
  rfcl::split_router("plainhost", host, port);
  EXPECT_EQ(host, "plainhost");
}

TEST(WireTest, StructuresInstallOncePerNameAndMustFitTogether) {
  RFC_TYPE_ELEMENT2 el[] = {{const_cast<char *>("A"), RFCTYPE_CHAR, 4, 0, 0},
                            {const_cast<char *>("B"), RFCTYPE_INT, 4, 0, 4}};
  RFC_TYPEHANDLE t1 = 0, t2 = 0, t3 = 0;
  ASSERT_EQ(RfcInstallStructure2(const_cast<char *>("ZS1"), el, 2, &t1), RFC_OK);
  ASSERT_EQ(RfcInstallStructure2(const_cast<char *>("ZS1"), el, 2, &t2), RFC_OK);
  EXPECT_EQ(t1, t2);
  EXPECT_GT(t1, static_cast<RFC_TYPEHANDLE>(RFCTYPE_DATE_2));
  RFC_TYPE_ELEMENT plain[] = {{const_cast<char *>("X"), RFCTYPE_BYTE, 3, 0, 0}};
  ASSERT_EQ(RfcInstallStructure(const_cast<char *>("ZS2"), plain, 1, &t3), RFC_OK);
  EXPECT_NE(t3, t1);
  RFC_UNICODE_TYPE_ELEMENT uni[] = {{const_cast<char *>("U"), RFCTYPE_CHAR, 0, 2, 0, 4, 0, 8, 0}};
  ASSERT_EQ(RfcInstallUnicodeStructure(const_cast<char *>("ZS2"), uni, 1, 0, nullptr, &t2), RFC_OK);
  EXPECT_EQ(t2, t3);

  el[1].offset = 2;  // overlaps A
  EXPECT_EQ(RfcInstallStructure2(const_cast<char *>("ZS3"), el, 2, &t1), RFC_INVALID_PARAMETER);
  el[1].offset = 4;
  el[1].type = 11;  // no such type
  EXPECT_EQ(RfcInstallStructure2(const_cast<char *>("ZS3"), el, 2, &t1), RFC_INVALID_PARAMETER);
  RFC_ERROR_INFO_EX err{};
  ASSERT_EQ(RfcLastErrorEx(&err), 0);
  EXPECT_NE(std::string(err.message).find("unknown type 11"), std::string::npos);
}

}  // namespace
