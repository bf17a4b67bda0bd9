// The structures that the server and the RFC library hand each other by
// address. Their sizes and member offsets are those of the vendor's library
// on x86-64; a header that differs would have the two sides read each
// other's arrays at the wrong stride, so a difference fails the build (and
// the test names every member that moved).
#include <gtest/gtest.h>

#include <cstddef>

#include "saprfc.h"

namespace {

struct Layout {
  const char *what;
  std::size_t actual;
  std::size_t expected;
};

#define QORRFC_AT(T, member, at) {#T "." #member, offsetof(T, member), at}
#define QORRFC_SIZE(T, size) {"sizeof " #T, sizeof(T), size}

constexpr Layout kLayouts[] = {
    QORRFC_SIZE(RFC_TYPE_ELEMENT, 24),
    QORRFC_AT(RFC_TYPE_ELEMENT, name, 0),
    QORRFC_AT(RFC_TYPE_ELEMENT, type, 8),
    QORRFC_AT(RFC_TYPE_ELEMENT, length, 12),
    QORRFC_AT(RFC_TYPE_ELEMENT, decimals, 16),
    QORRFC_AT(RFC_TYPE_ELEMENT, _not_used, 20),

    QORRFC_SIZE(RFC_TYPE_ELEMENT2, 24),
    QORRFC_AT(RFC_TYPE_ELEMENT2, name, 0),
    QORRFC_AT(RFC_TYPE_ELEMENT2, type, 8),
    QORRFC_AT(RFC_TYPE_ELEMENT2, length, 12),
    QORRFC_AT(RFC_TYPE_ELEMENT2, decimals, 16),
    QORRFC_AT(RFC_TYPE_ELEMENT2, offset, 20),

    QORRFC_SIZE(RFC_PARAMETER, 32),
    QORRFC_AT(RFC_PARAMETER, name, 0),
    QORRFC_AT(RFC_PARAMETER, nlen, 8),
    QORRFC_AT(RFC_PARAMETER, type, 12),
    QORRFC_AT(RFC_PARAMETER, leng, 16),
    QORRFC_AT(RFC_PARAMETER, addr, 24),

    QORRFC_SIZE(RFC_TABLE, 40),
    QORRFC_AT(RFC_TABLE, name, 0),
    QORRFC_AT(RFC_TABLE, nlen, 8),
    QORRFC_AT(RFC_TABLE, type, 12),
    QORRFC_AT(RFC_TABLE, leng, 16),
    QORRFC_AT(RFC_TABLE, ithandle, 24),
    QORRFC_AT(RFC_TABLE, itmode, 32),
    QORRFC_AT(RFC_TABLE, newitab, 36),

    QORRFC_SIZE(RFC_ERROR_INFO_EX, 552),
    QORRFC_AT(RFC_ERROR_INFO_EX, group, 0),
    QORRFC_AT(RFC_ERROR_INFO_EX, key, 4),
    QORRFC_AT(RFC_ERROR_INFO_EX, message, 37),

    QORRFC_SIZE(RFC_ATTRIBUTES, 554),
    QORRFC_AT(RFC_ATTRIBUTES, dest, 0),
    QORRFC_AT(RFC_ATTRIBUTES, own_host, 65),
    QORRFC_AT(RFC_ATTRIBUTES, partner_host, 166),
    QORRFC_AT(RFC_ATTRIBUTES, systnr, 267),
    QORRFC_AT(RFC_ATTRIBUTES, sysid, 270),
    QORRFC_AT(RFC_ATTRIBUTES, client, 279),
    QORRFC_AT(RFC_ATTRIBUTES, user, 283),
    QORRFC_AT(RFC_ATTRIBUTES, language, 296),
    QORRFC_AT(RFC_ATTRIBUTES, trace, 298),
    QORRFC_AT(RFC_ATTRIBUTES, ISO_language, 299),
    QORRFC_AT(RFC_ATTRIBUTES, own_codepage, 302),
    QORRFC_AT(RFC_ATTRIBUTES, partner_codepage, 307),
    QORRFC_AT(RFC_ATTRIBUTES, rfc_role, 312),
    QORRFC_AT(RFC_ATTRIBUTES, own_type, 313),
    QORRFC_AT(RFC_ATTRIBUTES, own_rel, 314),
    QORRFC_AT(RFC_ATTRIBUTES, partner_type, 319),
    QORRFC_AT(RFC_ATTRIBUTES, partner_rel, 320),
    QORRFC_AT(RFC_ATTRIBUTES, kernel_rel, 325),
    QORRFC_AT(RFC_ATTRIBUTES, CPIC_convid, 330),
    QORRFC_AT(RFC_ATTRIBUTES, password_sate, 339),
    QORRFC_AT(RFC_ATTRIBUTES, own_codepage_pcs, 340),
    QORRFC_AT(RFC_ATTRIBUTES, pcs, 345),
    QORRFC_AT(RFC_ATTRIBUTES, real_partner_codepage, 347),
    QORRFC_AT(RFC_ATTRIBUTES, progname, 352),
    QORRFC_AT(RFC_ATTRIBUTES, reserved, 393),

    QORRFC_SIZE(RFC_STRUCT_TYPE_ID, 16),
};

#undef QORRFC_AT
#undef QORRFC_SIZE

constexpr bool all_layouts_match() {
  for (const Layout &l : kLayouts)
    if (l.actual != l.expected) return false;
  return true;
}

#if defined(__x86_64__) || defined(_M_X64)
static_assert(all_layouts_match(),
              "saprfc.h no longer has the vendor library's structure layouts");
#endif

TEST(AbiLayout, SharedStructuresHaveTheVendorLibrarysSizesAndOffsets) {
#if !(defined(__x86_64__) || defined(_M_X64))
  GTEST_SKIP() << "the layouts are pinned for x86-64";
#endif
  for (const Layout &l : kLayouts) EXPECT_EQ(l.actual, l.expected) << l.what;
}

}  // namespace
