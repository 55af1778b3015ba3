// The std::string text helpers: each meaning on its edge cases (empty and
// all-blank texts, cp1252 bytes, embedded NULs, widths shorter than the text).
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <type_traits>

#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/runtime_fixture.h"

using namespace std::string_literals;

namespace {

struct Row {
  const char* what;
  std::string got;
  std::string expected;
};

void ExpectRows(std::initializer_list<Row> rows) {
  for (const Row& r : rows) EXPECT_EQ(r.got, r.expected) << r.what;
}

}  // namespace

TEST(TextHelpers, TrimmingKeepsInnerBlanksAndEveryOtherByte) {
  ExpectRows({
      {"both ends", Trimmed("  AB C  "), "AB C"},
      {"empty", Trimmed(""), ""},
      {"all blanks", Trimmed("    "), ""},
      {"tab is no blank", Trimmed("\tA "), "\tA"},
      {"nbsp is no blank", Trimmed(" \xA0\xE9 "), "\xA0\xE9"},
      {"inner NUL kept", Trimmed(" A\0B "s), "A\0B"s},
      {"right: end only", TrimmedRight("  AB  "), "  AB"},
      {"right: all blanks", TrimmedRight("   "), ""},
      {"right: empty", TrimmedRight(""), ""},
      {"right: cp1252", TrimmedRight("\xC9t\xE9 "), "\xC9t\xE9"},
  });
}

TEST(TextHelpers, AsciiCaseLeavesCp1252LettersAlone) {
  ExpectRows({
      {"lower", LowerAscii("C10DOS.DBF"), "c10dos.dbf"},
      {"upper", UpperAscii("c10dos.dbf"), "C10DOS.DBF"},
      {"lower keeps accents", LowerAscii("\xC9T\xC9 \x8C"), "\xC9t\xC9 \x8C"},
      {"upper keeps accents", UpperAscii("\xE9t\xE9 \x9C\xFF"), "\xE9T\xE9 \x9C\xFF"},
      {"edges of the alphabet", UpperAscii("@az[`{"), "@AZ[`{"},
      {"empty", LowerAscii(""), ""},
      {"NUL kept", UpperAscii("a\0b"s), "A\0B"s},
  });
}

TEST(TextHelpers, Cp1252CaseChangesAccentedLetters) {
  ExpectRows({
      {"upper", UpperCp1252("\xE9t\xE9 \x9C\xE7"), "\xC9T\xC9 \x8C\xC7"},
      {"lower", LowerCp1252("\xC9T\xC9 \x8C\xC7"), "\xE9t\xE9 \x9C\xE7"},
      {"digits and signs stay", UpperCp1252("1,5 %"), "1,5 %"},
      {"NUL kept", LowerCp1252("A\0B"s), "a\0b"s},
  });
  // Every byte as the ring functions change it.
  for (int b = 1; b < 256; ++b) {
    const char c[2] = {static_cast<char>(b), 0};
    EXPECT_EQ(UpperCp1252(c), std::string(Upper(c))) << b;
    EXPECT_EQ(LowerCp1252(c), std::string(Lower(c))) << b;
  }
}

TEST(TextHelpers, AlignmentToAWidth) {
  ExpectRows({
      {"right: padded in front", FitRight("AB", 5), "   AB"},
      {"right: longer keeps the start", FitRight("ABCDEF", 4), "ABCD"},
      {"right: exact", FitRight("ABC", 3), "ABC"},
      {"right: zero", FitRight("ABC", 0), ""},
      {"right: negative", FitRight("ABC", -2), ""},
      {"padded: blanks", PaddedRight("AB", 4), "AB  "},
      {"padded: fill", PaddedRight("7", 3, '0'), "700"},
      {"padded: longer stays whole", PaddedRight("ABCDE", 3), "ABCDE"},
      {"padded: empty", PaddedRight("", 2), "  "},
      {"padded: negative width", PaddedRight("AB", -3), "AB"},
      {"cut and padded", PadRight("\xE9l\xE8ve", 3), "\xE9l\xE8"},
  });
}

TEST(TextHelpers, PlaceholderFilledOnce) {
  ExpectRows({
      {"first only", FillPlaceholder("%s et %s", "A"), "A et %s"},
      {"none", FillPlaceholder("Compte introuvable", "411"), "Compte introuvable"},
      {"value not filled again", FillPlaceholder("%s-%s", "%s"), "%s-%s"},
      {"empty value", FillPlaceholder("Pi\xE8" "ce %s.", ""), "Pi\xE8" "ce ."},
      {"lone percent", FillPlaceholder("100 % %s", "x"), "100 % x"},
      {"several in order", FillPlaceholders("Un nombre de %s \xE0 %s", {"1", "99"}), "Un nombre de 1 \xE0 99"},
      {"several: a value's %s kept", FillPlaceholders("%s-%s", {"%s", "B"}), "%s-B"},
      {"several: fewer values", FillPlaceholders("%s/%s/%s", {"1", "2"}), "1/2/%s"},
      {"several: more values", FillPlaceholders("(%s)", {"1", "2"}), "(1)"},
      {"several: at both ends", FillPlaceholders("%s%s", {"", "x"}), "x"},
      {"several: a value's %1 kept", FillPlaceholders("%s (%s)", {"%1%2", "x"}), "%1%2 (x)"},
  });
}

// A text already filled takes no further value: one value at a time goes only into a text of the table itself, so
// that a value's own "%s" can never be filled by the next.
static_assert(std::is_invocable_v<decltype(&FillPlaceholder), const char*, std::string_view>);
static_assert(!std::is_invocable_v<decltype(&FillPlaceholder), std::string, std::string_view>);
static_assert(!std::is_invocable_v<decltype(&FillPlaceholder), const std::string&, std::string_view>);

using AmountTexts = test_support::RuntimeTest;

TEST_F(AmountTexts, FourteenCharactersTwoDecimals) {
  ExpectRows({
      {"positive", AmountText14(1234.5), "       1234.50"},
      {"negative", AmountText14(-1234.5), "      -1234.50"},
      {"zero", AmountText14(0), "          0.00"},
      {"rounded", AmountText14(0.005), "          0.01"},
      {"too large", AmountText14(1e15), "**************"},
      {"digits: negative", AmountDigits(-0.5), "-0.50"},
      {"digits: large", AmountDigits(99999999999.99), "99999999999.99"},
      {"digits: zero", AmountDigits(0), "0.00"},
      // An edit's text is whole past its 14 characters, and a zero rounded from below has no sign.
      {"digits: widest negative", AmountDigits(-99999999999.99), "-99999999999.99"},
      {"digits: past a total", AmountDigits(199999999999.98), "199999999999.98"},
      {"digits: small negative", AmountDigits(-0.001), "0.00"},
      {"digits or blank: zero", AmountDigitsOrBlank(-0.004), ""},
      {"digits or blank: a cent", AmountDigitsOrBlank(-0.01), "-0.01"},
  });
}
