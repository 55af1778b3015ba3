// The one cp1252 table against the C library's own CP1252 converter (iconv),
// which leaves the five unassigned bytes without a character, as the refusing
// policy does: every byte, every code point, malformed UTF-8 and the case
// mapping.
#include <gtest/gtest.h>
#include <iconv.h>

#include <clocale>
#include <cstdint>
#include <cwctype>
#include <map>
#include <string>

#include "platform/system/cp1252.h"

namespace platform {
namespace {

// The C library's conversion of `in`; false when it refuses it.
bool Iconv(const char* to, const char* from, const std::string& in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() * 4 + 8, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return ok;
}

// The C library's CP1252: each byte's code point (-1 when unassigned), and back.
struct Oracle {
  int point[256];
  std::map<char32_t, int> byteOf;
  Oracle() {
    for (int b = 0; b < 256; ++b) {
      std::string utf32;
      point[b] = Iconv("UTF-32LE", "CP1252", std::string(1, static_cast<char>(b)), utf32) && utf32.size() == 4
                     ? static_cast<unsigned char>(utf32[0]) | static_cast<unsigned char>(utf32[1]) << 8 |
                           static_cast<unsigned char>(utf32[2]) << 16
                     : -1;
      if (point[b] >= 0) byteOf[static_cast<char32_t>(point[b])] = b;
    }
  }
};

const Oracle& TheOracle() {
  static const Oracle oracle;
  return oracle;
}

bool IsUnassigned(int b) { return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D; }

TEST(Cp1252Table, EveryByteHasTheCLibrarysCodePointAndUtf8) {
  const Oracle& o = TheOracle();
  ASSERT_EQ(o.point[0x80], 0x20AC);  // the oracle knows cp1252
  std::string all;
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    all += static_cast<char>(b);
    const auto byte = static_cast<unsigned char>(b);
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(o.point[b] < 0, IsUnassigned(b));
    EXPECT_EQ(Cp1252ToUnicode(byte, Unassigned::kRefuse), o.point[b]);
    EXPECT_EQ(Cp1252ToUnicode(byte, Unassigned::kKeepC1), IsUnassigned(b) ? b : o.point[b]);

    std::string expected, refused, kept, back;
    const bool known = Iconv("UTF-8", "CP1252", one, expected);
    EXPECT_EQ(Cp1252ToUtf8(one, refused, Unassigned::kRefuse), known);
    if (known) {
      EXPECT_EQ(refused, expected);
    }
    ASSERT_TRUE(Cp1252ToUtf8(one, kept, Unassigned::kKeepC1));
    EXPECT_EQ(kept, known ? expected : "\xC2" + one);  // the C1 point of the same value
    EXPECT_EQ(Cp1252ToUtf8(one), kept);

    // Back: every byte under the keeping policy, the assigned ones under the other.
    ASSERT_TRUE(Utf8ToCp1252(kept, back, Unassigned::kKeepC1));
    EXPECT_EQ(back, one);
    EXPECT_EQ(Utf8ToCp1252(kept, back, Unassigned::kRefuse), known);
  }
  // A name holding every byte goes to disk and comes back unchanged.
  std::string back;
  ASSERT_TRUE(ProgramName(DiskPath(all), back));
  EXPECT_EQ(back, all);
}

TEST(Cp1252Table, EveryCodePointHasTheCLibrarysByte) {
  const Oracle& o = TheOracle();
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const auto it = o.byteOf.find(cp);
    const int refused = it == o.byteOf.end() ? -1 : it->second;
    const bool c1Kept = cp < 0x100 && IsUnassigned(static_cast<int>(cp));
    ASSERT_EQ(UnicodeToCp1252(cp, Unassigned::kRefuse), refused) << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(UnicodeToCp1252(cp, Unassigned::kKeepC1), c1Kept ? static_cast<int>(cp) : refused)
        << static_cast<std::uint32_t>(cp);
  }
}

// Well-formed UTF-8 at the edges of each length; what cp1252 lacks is still refused.
TEST(Cp1252Table, Utf8AtTheEdgesOfEachLength) {
  const struct { const char* what; const char* utf8; bool wellFormed; const char* cp1252; } rows[] = {
      {"last 1-byte", "\x7F", true, "\x7F"},
      {"first 2-byte", "\xC2\x80", true, nullptr},  // U+0080: cp1252 puts the euro there, not this point
      {"last 2-byte", "\xDF\xBF", true, nullptr},
      {"first 3-byte", "\xE0\xA0\x80", true, nullptr},
      {"before the surrogates", "\xED\x9F\xBF", true, nullptr},
      {"after the surrogates", "\xEE\x80\x80", true, nullptr},
      {"euro", "\xE2\x82\xAC", true, "\x80"},
      {"first 4-byte", "\xF0\x90\x80\x80", true, nullptr},
      {"last point", "\xF4\x8F\xBF\xBF", true, nullptr},
      {"mixed", "Soci\xC3\xA9t\xC3\xA9 \xE2\x80\x93 \xC5\x93uvre", true, "Soci\xE9t\xE9 \x96 \x9Cuvre"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    std::string out;
    EXPECT_EQ(IsWellFormedUtf8(r.utf8), r.wellFormed);
    EXPECT_EQ(Utf8ToCp1252(r.utf8, out, Unassigned::kRefuse), r.cp1252 != nullptr);
    if (r.cp1252 != nullptr) {
      EXPECT_EQ(out, r.cp1252);
    }
  }
}

// Every form that is not UTF-8 is refused by both policies. As a name on disk
// it is an older program's single-byte name and is kept as found (the
// system layer's former check let surrogates and points past U+10FFFF pass as
// UTF-8 and then refused the name).
TEST(Cp1252Table, MalformedUtf8IsRefused) {
  const struct { const char* what; std::string bytes; } rows[] = {
      {"truncated 2-byte", "\xC3"},
      {"truncated 3-byte", "\xE2\x82"},
      {"truncated 4-byte", "\xF0\x9F\x98"},
      {"lead then ASCII", "\xC3("},
      {"overlong slash 2", "\xC0\xAF"},
      {"overlong 2 (C1)", "\xC1\xBF"},
      {"overlong slash 3", "\xE0\x80\xAF"},
      {"overlong slash 4", "\xF0\x80\x80\xAF"},
      {"high surrogate", "\xED\xA0\x80"},
      {"low surrogate", "\xED\xBF\xBF"},
      {"past U+10FFFF", "\xF4\x90\x80\x80"},
      {"lead F5", "\xF5\x80\x80\x80"},
      {"5-byte form", "\xF8\x88\x80\x80\x80"},
      {"stray continuation", "\x80"},
      {"stray continuation inside", "a\xBF" "b"},
      {"lead FF", "\xFF"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string text = "x" + r.bytes + "y";
    std::string out, ignored;
    EXPECT_FALSE(Iconv("UTF-32LE", "UTF-8", text, ignored));  // the C library agrees it is malformed
    EXPECT_FALSE(IsWellFormedUtf8(text));
    EXPECT_FALSE(Utf8ToCp1252(text, out, Unassigned::kKeepC1));
    EXPECT_FALSE(Utf8ToCp1252(text, out, Unassigned::kRefuse));
    ASSERT_TRUE(ProgramName(text, out));
    EXPECT_EQ(out, text);
  }
  // A sequence cut by the end of the text is never completed from the bytes
  // that follow it in memory.
  const std::string whole = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
  for (std::size_t cut : {4u, 7u, 8u, 11u, 12u, 13u}) {
    std::string out;
    EXPECT_FALSE(IsWellFormedUtf8(std::string_view(whole).substr(0, cut))) << cut;
    EXPECT_FALSE(Utf8ToCp1252(std::string_view(whole).substr(0, cut), out, Unassigned::kKeepC1)) << cut;
  }
}

// A name as a message shows it: what cp1252 holds as the program holds it, each character it
// lacks by its code, never its UTF-8 bytes read as cp1252; a name that is no UTF-8 as found.
TEST(Cp1252Table, NamesAreShownWithTheCharactersCp1252Lacks) {
  const struct { const char* disk; const char* shown; } rows[] = {
      {"c20demo.dbf", "c20demo.dbf"},
      {"soci\xC3\xA9t\xC3\xA9 \xE2\x82\xAC.dbf", "soci\xE9t\xE9 \x80.dbf"},
      {"c20demo\xE2\x9C\x93.dbf", "c20demo<U+2713>.dbf"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", "<U+65E5><U+672C>"},
      {"\xF0\x9F\x98\x80-\xC3\xA9", "<U+1F600>-\xE9"},
      {"ancien \xE9t\xE9", "ancien \xE9t\xE9"},
  };
  for (const auto& r : rows) EXPECT_EQ(ShownName(r.disk), r.shown) << r.disk;
}

// Upper- and lower-case against the C library's Unicode case mapping: a
// letter changes case when its other case is in cp1252 (so the division
// sign, the micro sign and the sharp s stay as they are).
TEST(Cp1252Table, CaseMappingFollowsUnicodeWithinCp1252) {
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  const Oracle& o = TheOracle();
  auto within = [&o](int b, wint_t other) {
    const auto it = o.byteOf.find(static_cast<char32_t>(other));
    return it == o.byteOf.end() ? b : it->second;
  };
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    const int upper = o.point[b] < 0 ? b : within(b, std::towupper(static_cast<wint_t>(o.point[b])));
    const int lower = o.point[b] < 0 ? b : within(b, std::towlower(static_cast<wint_t>(o.point[b])));
    EXPECT_EQ(Cp1252Upper(byte), upper) << b;
    EXPECT_EQ(Cp1252Lower(byte), lower) << b;
  }
  std::setlocale(LC_CTYPE, "C");
}

}  // namespace
}  // namespace platform
