#include "runtime/bank_ids.h"

#include <string>

#include "support/runtime_fixture.h"

using BankIdsTest = test_support::RuntimeTest;

TEST_F(BankIdsTest, RibKeys) {
  struct Case { const char* rib; int expected; } cases[] = {
      {"20041010050500013M02606", 0},     // valid, letter in the account
      {"20041010050500013M02600", 6},     // key 00: the key to use
      {"30006000011234567891189", 59},    // one wrong digit: the right key
      {"30006000011234567890", 92},       // 20 characters: completed with "0"
      {"     ", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckRibKey(c.rib), c.expected) << c.rib;
  for (const char* odd : {"3000600001123456789018\xE9", "--/--"}) {
    int r = CheckRibKey(odd);
    EXPECT_GE(r, 0) << odd;
    EXPECT_LE(r, 97) << odd;
  }
}

TEST_F(BankIdsTest, IbanCheckDigits) {
  struct Case { const char* iban; int expected; } cases[] = {
      {"FR1420041010050500013M02606", 0},
      {"FR7630006000011234567890188", 6},         // one wrong digit: the right check digits
      {"  fr76 3000 6000 0112 3456 7890 189  ", 0},  // blanks inside and around
      // Longer than 36 characters: every digit counts.
      {"FR961234567890123456789012345678901234567891", 69},
      {"    ", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckIban(c.iban), c.expected) << c.iban;
  for (const char* text : {"FR7", "\x80\x80\x80\x80\x80", "????"}) {
    int r = CheckIban(text);
    EXPECT_GE(r, 0) << text;
    EXPECT_LE(r, 98) << text;
  }
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

