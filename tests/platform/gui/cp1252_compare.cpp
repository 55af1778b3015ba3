// The shared cp1252 table of the system layer against the three copies it
// replaces (the string table's, the system layer's and the window layer's)
// and the engine's UPPER: every byte, every code point, malformed UTF-8.
#include <gtest/gtest.h>

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "dbase/expr.h"
#include "platform/gui/text_codec.h"
#include "platform/system/cp1252.h"
#include "resources/string_table.h"

namespace {

using platform::Unassigned;

std::string Utf8Of(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD, the string table's unassigned byte

TEST(Cp1252Compare, EveryByteToUnicodeAndUtf8) {
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const auto byte = static_cast<unsigned char>(b);
    const std::string one(1, static_cast<char>(b));
    const bool unassigned = resources::Cp1252ToUtf8(one) == kReplacement;

    EXPECT_EQ(platform::Cp1252ToUnicode(byte, Unassigned::kKeepC1), static_cast<int>(gui::Cp1252ToUnicode(byte)));
    EXPECT_EQ(platform::Cp1252ToUnicode(byte, Unassigned::kRefuse),
              unassigned ? -1 : static_cast<int>(gui::Cp1252ToUnicode(byte)));

    std::string kept, refused;
    ASSERT_TRUE(platform::Cp1252ToUtf8(one, kept, Unassigned::kKeepC1));
    EXPECT_EQ(kept, platform::Cp1252ToUtf8(one));
    EXPECT_EQ(kept, gui::Cp1252ToUtf8(one));
    EXPECT_EQ(kept, gui::ToQString(one).toStdString());
    EXPECT_EQ(platform::Cp1252ToUtf8(one, refused, Unassigned::kRefuse), !unassigned);
    if (!unassigned) {
      EXPECT_EQ(refused, resources::Cp1252ToUtf8(one));
    }

    // And back from the kept UTF-8 form.
    std::string oldSystem, oldStrings, back;
    ASSERT_TRUE(platform::Utf8ToCp1252(kept, oldSystem));
    ASSERT_TRUE(platform::Utf8ToCp1252(kept, back, Unassigned::kKeepC1));
    EXPECT_EQ(back, oldSystem);
    EXPECT_EQ(back, one);
    EXPECT_EQ(back, gui::Utf8ToCp1252(kept));
    EXPECT_EQ(back, gui::FromQString(gui::ToQString(one)));
    EXPECT_EQ(platform::Utf8ToCp1252(kept, back, Unassigned::kRefuse), resources::Utf8ToCp1252(kept, oldStrings));
    if (!unassigned) {
      EXPECT_EQ(back, oldStrings);
    }
  }
}

TEST(Cp1252Compare, EveryCodePointToCp1252) {
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;  // no UTF-8 form: in the malformed list
    const int kept = platform::UnicodeToCp1252(cp, Unassigned::kKeepC1);
    const int refused = platform::UnicodeToCp1252(cp, Unassigned::kRefuse);
    ASSERT_EQ(kept, gui::UnicodeToCp1252(cp)) << static_cast<std::uint32_t>(cp);
    const std::string utf8 = Utf8Of(cp);
    std::string oldStrings, oldSystem, nowKept, nowRefused;
    ASSERT_EQ(resources::Utf8ToCp1252(utf8, oldStrings), refused >= 0) << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(platform::Utf8ToCp1252(utf8, oldSystem), kept >= 0) << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(platform::Utf8ToCp1252(utf8, nowKept, Unassigned::kKeepC1), kept >= 0) << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(platform::Utf8ToCp1252(utf8, nowRefused, Unassigned::kRefuse), refused >= 0) << static_cast<std::uint32_t>(cp);
    if (kept >= 0) {
      ASSERT_EQ(nowKept, oldSystem) << static_cast<std::uint32_t>(cp);
    }
    if (refused >= 0) {
      ASSERT_EQ(nowRefused, oldStrings) << static_cast<std::uint32_t>(cp);
    }
    // The window layer replaces what cp1252 lacks by '?' (and Qt drops a
    // byte-order mark at the start).
    ASSERT_EQ(gui::Utf8ToCp1252(utf8), kept >= 0 ? oldSystem : cp == 0xFEFF ? std::string() : std::string("?"))
        << static_cast<std::uint32_t>(cp);
    const QString one = cp < 0x10000 ? QString(QChar(static_cast<char16_t>(cp))) : QStringView(QChar::fromUcs4(cp)).toString();
    ASSERT_EQ(gui::FitsCp1252(one), kept >= 0) << static_cast<std::uint32_t>(cp);
  }
}

TEST(Cp1252Compare, MalformedUtf8IsRefusedByEveryDecoder) {
  const struct { const char* what; std::string bytes; bool oldSystemSawUtf8; } rows[] = {
      {"truncated 2-byte", "\xC3", false},
      {"truncated 3-byte", "\xE2\x82", false},
      {"truncated 4-byte", "\xF0\x9F\x98", false},
      {"lead then ASCII", "\xC3(", false},
      {"overlong slash 2", "\xC0\xAF", false},
      {"overlong 2 (C1)", "\xC1\xBF", false},
      {"overlong slash 3", "\xE0\x80\xAF", false},
      {"overlong slash 4", "\xF0\x80\x80\xAF", false},
      {"high surrogate", "\xED\xA0\x80", true},
      {"low surrogate", "\xED\xBF\xBF", true},
      {"past U+10FFFF", "\xF4\x90\x80\x80", true},
      {"lead F5", "\xF5\x80\x80\x80", true},
      {"5-byte form", "\xF8\x88\x80\x80\x80", false},
      {"stray continuation", "\x80", false},
      {"stray continuation inside", "a\xBF" "b", false},
      {"lead FF", "\xFF", false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string text = "x" + r.bytes + "y";
    std::string out;
    EXPECT_FALSE(platform::IsWellFormedUtf8(text));
    EXPECT_FALSE(platform::Utf8ToCp1252(text, out, Unassigned::kKeepC1));
    EXPECT_FALSE(platform::Utf8ToCp1252(text, out, Unassigned::kRefuse));
    EXPECT_FALSE(resources::Utf8ToCp1252(text, out));
    EXPECT_FALSE(platform::Utf8ToCp1252(text, out));
    const std::string shown = gui::Utf8ToCp1252(text);
    EXPECT_NE(shown.find('?'), std::string::npos) << shown;
    // A name on disk that is not UTF-8 is an older program's single-byte
    // name, kept as found. The system layer's own check lets surrogates and
    // points past U+10FFFF pass as UTF-8 and so refuses those names.
    EXPECT_EQ(platform::ProgramName(text, out), !r.oldSystemSawUtf8);
  }
}

// The engine's UPPER over every byte against the shared case mapping.
TEST(Cp1252Compare, EngineUpperAgreesWithTheSharedCaseMapping) {
  const dbase::RecordLayout layout = {{"NAME", 'C', 1, 128, 0}};
  auto upper = dbase::Expression::Parse("UPPER(NAME)", layout);
  ASSERT_NE(upper, nullptr);
  for (int half = 0; half < 2; ++half) {
    std::vector<std::uint8_t> record(129, ' ');
    for (int i = 0; i < 128; ++i) record[1 + i] = static_cast<std::uint8_t>(half * 128 + i);
    char out[128];
    upper->EvaluateText(record.data(), out);
    for (int i = 0; i < 128; ++i)
      EXPECT_EQ(static_cast<unsigned char>(out[i]), platform::Cp1252Upper(static_cast<unsigned char>(half * 128 + i)))
          << half * 128 + i;
  }
}

}  // namespace
