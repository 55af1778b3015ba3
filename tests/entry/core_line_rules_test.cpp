// The VAT-on-receipts list of the line form: one entry per live VAT code with a sales account, its letter, the
// word and its rate in five characters, then the blank entry; a code without sales account is left out.
#include "core_fixture.h"
#include "entry/core/line_rules.h"

namespace entry_test {
namespace {

using LineRulesTest = CoreTest;

// A VAT code appended to the general file: its letter, its rate (5 characters) and its sales account.
void AddVatCode(Table& c10, char code, const std::string& rate, const std::string& salesAccount) {
  ASSERT_TRUE(c10.AppendBlank());
  c10.PutField(1, "T");
  c10.PutField(2, std::string(1, code).c_str());
  c10.PutField(3, "Code du test");
  c10.PutField(4, (rate + salesAccount).c_str());
  ASSERT_TRUE(c10.InsertRecord());
  ASSERT_TRUE(c10.Commit());
}

TEST_F(LineRulesTest, TheVatListNamesEachCodeWithItsRate) {
  const struct Case {
    const char* what;
    char code;
    std::string rate, salesAccount;
    std::vector<std::string> want;
  } cases[] = {
      {"the demo's three codes", 0, "", "", {"1:Tva20.00%", "2:Tva10.00%", "3:Tva 5.50%", " "}},
      {"a rate below 10", '4', " 2.10", "44571000", {"1:Tva20.00%", "2:Tva10.00%", "3:Tva 5.50%", "4:Tva 2.10%", " "}},
      {"no sales account", '5', "19.60", "        ",
       {"1:Tva20.00%", "2:Tva10.00%", "3:Tva 5.50%", "4:Tva 2.10%", " "}},
  };
  for (const Case& c : cases) {
    if (c.code != 0) AddVatCode(*TableC10, c.code, c.rate, c.salesAccount);
    EXPECT_EQ(entry::VatEntries(*TableC10), c.want) << c.what;
  }
}

}  // namespace
}  // namespace entry_test
