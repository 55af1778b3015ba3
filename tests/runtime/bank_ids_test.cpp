#include "runtime/bank_ids.h"

#include <string>

#include "runtime_helpers_fixture.h"

namespace {

using BankIdsTest = RuntimeHelpersTest;

TEST_F(BankIdsTest, RibKeys) {
  struct Case {
    const char* rib;
    int expected;
  } cases[] = {
      {"20041010050500013M02606", 0},   // valid, letter in the account
      {"20041010050500013402606", 0},   // the same with M written as its digit 4
      {"20041010050500013M02600", 6},   // key 00: the key to use
      {"20041010050500013M02607", 6},   // wrong key: the right one
      {"30006000011234567890189", 0},
      {"30006000011234567891189", 59},  // one wrong digit
      {"30006000011234567890188", 89},
      {"30006000011234567890", 92},     // 20 characters: completed with "0"
      {"30006000011234567890189XYZ", 0},  // cut to 23
      {"", -1},
      {"     ", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckRibKey(c.rib), c.expected) << c.rib;
  for (const char* odd : {"1", "\xE9\xE9\xE9", "3000600001123456789018\xE9", "--/--", "ZZZZZZZZZZZZZZZZZZZZZZZ"}) {
    int r = CheckRibKey(odd);
    EXPECT_GE(r, 0) << odd;
    EXPECT_LE(r, 97) << odd;
  }
  // Lower-case letters of the account read as the capitals.
  EXPECT_EQ(CheckRibKey("20041010050500013m02606"), 0);
}

TEST_F(BankIdsTest, IbanCheckDigits) {
  struct Case {
    const char* iban;
    int expected;
  } cases[] = {
      {"FR1420041010050500013M02606", 0},
      {"FR7630006000011234567890189", 0},
      {"FR7630006000011234567890188", 6},   // one wrong digit: the right check digits
      {"FR0030006000011234567890189", 76},  // check digits 00
      {"FR76 3000 6000 0112 3456 7890 189", 0},  // blanks inside
      {"  fr76 3000 6000 0112 3456 7890 189  ", 0},
      // Longer than 36 characters: every digit counts.
      {"FR961234567890123456789012345678901234567890", 0},
      {"FR961234567890123456789012345678901234567891", 69},
      {"", -1},
      {"    ", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckIban(c.iban), c.expected) << c.iban;
}

TEST_F(BankIdsTest, OddIbanTextsGiveAResult) {
  for (const char* text : {"F", "FR", "FR7", "FR76", "FR00", "\x80\x80\x80\x80\x80", "FR76-3000-6000", "????"}) {
    int r = CheckIban(text);
    EXPECT_GE(r, 0) << text;
    EXPECT_LE(r, 98) << text;
  }
}

// Expected SEPA form of one cp1252 byte, from the character set and the
// accent table of the transfer files.
char ExpectedSepa(unsigned char c) {
  static const std::string from =
      "\xE1\xC1\xE0\xC0\xE2\xC2\xE4\xC4\xE5\xC5\xE3\xC3\xE6\xC6\xE7\xC7\xE9\xC9\xE8\xC8\xEA\xCA"
      "\xEB\xCB\xED\xCD\xEC\xCC\xEE\xCE\xEF\xCF\xF1\xD1\xF3\xD3\xF2\xD2\xF4\xD4\xF6\xD6\xF5\xD5"
      "\xF8\xD8\x9C\x8C\x9A\x8A\xFA\xDA\xF9\xD9\xFB\xDB\xFC\xDC\xFD\xDD\xFF\x9F\x9E\x8E\xF0\xD0"
      "\xFE\xDE\xDF";
  static const std::string to =
      "aAaAaAaAaAaAaAcCeEeEeEeEiIiIiIiInNoOoOoOoOoOoOoOsSuUuUuUuUyYyYzZoDtTE";
  static const std::string allowed =
      " 0123456789/-?:().,+ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::size_t i = from.find(static_cast<char>(c));
  if (i != std::string::npos) return to[i];
  if (c != 0 && allowed.find(static_cast<char>(c)) != std::string::npos) return static_cast<char>(c);
  return '-';
}

TEST_F(BankIdsTest, SepaTextOfEveryByte) {
  ASSERT_EQ(std::string(LoadStr(3211)).size(), 69u);
  ASSERT_EQ(std::string(LoadStr(3212)).size(), 69u);
  for (int b = 0; b < 256; ++b) {
    std::string text(1, static_cast<char>(b));
    SepaText(140, text);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0], ExpectedSepa(static_cast<unsigned char>(b))) << "byte " << b;
  }
  // The typographic quotes and the apostrophe are no SEPA characters.
  std::string quotes = "l\x91" "a\x92" "b'c";
  EXPECT_EQ(SepaText(140, quotes), "l-a-b-c");
}

TEST_F(BankIdsTest, SepaTextCutsAndReplaces) {
  struct Case {
    int n;
    std::string text;
    std::string expected;
  } cases[] = {
      {140, "Soci\xE9t\xE9 Stra\xDF" "e & Fils", "Societe StraEe - Fils"},
      {5, "ABCDEFG", "ABCD"},
      {140, std::string(200, 'x'), std::string(139, 'x')},
      {1, "AB", ""},
      {0, "AB", ""},
      {35, "", ""},
  };
  for (Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(SepaText(c.n, text), c.expected) << c.text;
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s", c.text.c_str());
    EXPECT_STREQ(SepaText(c.n, buffer), c.expected.substr(0, 255).c_str());
  }
}

}  // namespace
