#include "runtime/bank_ids.h"

#include <string>

#include "support/runtime_fixture.h"

using BankIdsTest = test_support::RuntimeTest;

TEST_F(BankIdsTest, RibKeys) {
  struct Case { const char* rib; int expected; } cases[] = {
      {"20041010050500013M02606", 0},     // valid, letter in the account
      {"20041010050500013m02606", 0},     // the same letter in small
      {"20041010050500013402606", 0},     // the letter's digit value
      {"20041010050500013M02600", 6},     // key 00: the key to use
      {"30006000011234567891189", 59},    // one wrong digit: the right key
      {"30006000011234567890", 92},       // 20 characters: completed with "0"
      {"30004008250000000006497", 0},     // 97 is a key
      {"30004008250000000009601", 0},     // and 01
      {"30004008250000000009698", 1},     // 98 equals 01 modulo 97: refused, 01 shown
      {"30004008250000000003199", 2},     // 99 equals 02 modulo 97
      {"30004008250000000003102", 0},
      {"3000400825000000000314A", 2},     // a letter in the key: the right one shown
      {"3000600001123456789018\xE9", 89},  // any other character in the key
      {"3A004008250000000003102", kRibNotANumber},  // a letter in the bank code
      {"30004O08250000000003102", kRibNotANumber},  // a letter O for a zero in the branch code
      {"300040082500000-0003102", kRibNotANumber},  // a sign in the account number
      {"--/--", kRibNotANumber},
      {"     ", kRibBlank},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckRibKey(c.rib), c.expected) << c.rib;
}

TEST_F(BankIdsTest, IbanCheckDigits) {
  struct Case { const char* iban; int expected; } cases[] = {
      {"FR1420041010050500013M02606", 0},
      {"  FR1420041010050500013M02606  ", 0},  // blanks around it
      {"FR7630006000011234567890188", 6},         // one wrong digit: the right check digits
      // Small letters or blanks inside are never right as typed: compacted first.
      {"  fr76 3000 6000 0112 3456 7890 189  ", 76},
      {"FR76 3000 6000 0112 3456 7890 189", 76},
      {"FR76-30006000011234567890189", 59},  // a sign: never right
      // Longer than 36 characters: every digit counts.
      {"FR961234567890123456789012345678901234567891", 69},
      {"    ", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckIban(c.iban), c.expected) << c.iban;
  for (const char* text : {"FR7", "\x80\x80\x80\x80\x80", "????"}) {
    int r = CheckIban(text);
    EXPECT_GE(r, 2) << text;
    EXPECT_LE(r, 98) << text;
  }
}

// What a form stores: capitals without blanks, which the check then takes.
TEST_F(BankIdsTest, CompactIbanIsWhatTheCheckTakes) {
  struct Case { const char* typed; const char* compact; } cases[] = {
      {"  fr76 3000 6000 0112 3456 7890 189  ", "FR7630006000011234567890189"},
      {"FR14 2004 1010 0505 0001 3M02 606", "FR1420041010050500013M02606"},
      {"FR7630006000011234567890189", "FR7630006000011234567890189"},
      {"   ", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CompactIban(c.typed), c.compact) << c.typed;
  EXPECT_EQ(CheckIban(CompactIban("  fr76 3000 6000 0112 3456 7890 189  ")), 0);
}

// Transfer files take only the SEPA character set: every byte becomes one of it, the
// accented letters their plain letter, anything else "-".
TEST_F(BankIdsTest, SepaTextKeepsOnlySepaCharacters) {
  const std::string allowed = " 0123456789/-?:().,+ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int b = 0; b < 256; ++b) {
    std::string text(1, static_cast<char>(b));
    SepaText(140, text);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_NE(allowed.find(text[0]), std::string::npos) << "byte " << b;
    if (b != 0 && allowed.find(static_cast<char>(b)) != std::string::npos) {
      EXPECT_EQ(text[0], static_cast<char>(b)) << "byte " << b;
    }
  }
  std::string text = "Soci\xE9t\xE9 Stra\xDF" "e & Fils";
  EXPECT_EQ(SepaText(140, text), "Societe StraEe - Fils");
  char buffer[] = "ABCDEFG";
  EXPECT_STREQ(SepaText(5, buffer), "ABCD");
}

