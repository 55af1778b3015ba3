// The BIC check of the credit-transfer files: the schema's pattern, case by case.
#include "runtime/bank_ids.h"

#include "support/runtime_fixture.h"

using BicCheckTest = test_support::RuntimeTest;

TEST_F(BicCheckTest, TheSchemasPattern) {
  struct Case {
    const char* bic;
    bool valid;
  } cases[] = {
      {"AGRIFRPP882", true},   // eleven characters
      {"BNPAFRPP", true},      // eight: no branch
      {"  BNPAFRPPXXX  ", true},  // blanks around it are no part of it
      {"PSSTFRPPTOU", true},
      {"CMCIFR2A", true},      // place: a digit 2-9 first
      {"CMCIFR1A", false},     // 0 and 1 are not places
      {"BNPAFRPO", false},     // the second place character is never "O"
      {"BNPAFRP0", true},      // but may be a digit
      {"bnpafrpp", false},     // small letters
      {"BNPAFRPPXX", false},   // ten characters
      {"BNPAFRPPXXXX", false},  // twelve
      {"BNP1FRPP", false},     // a digit in the bank code
      {"BNPAF1PP", false},     // in the country code
      {"BNPA FRPP", false},    // an inner blank
      {"BNPAFRPP-XX", false},
      {"BNPAFRPP\xC9XX", false},
      {"", false},
      {"           ", false},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckBic(c.bic), c.valid) << "[" << c.bic << "]";
}
