// Entry models read as the line form reads them: one table of model texts and what their current line
// proposes (keywords in any case, values at their width and never past the end of their line, the text's
// own case kept); the next model line; the line a save completes; the counterpart proposal.
#include <gtest/gtest.h>

#include "entry/core/models.h"
#include "support/runtime_fixture.h"

namespace entry_test {
namespace {

using namespace entry;
using Amount = ModelLine::Amount;

using ModelsTest = test_support::RuntimeTest;

TEST_F(ModelsTest, EachModelLineProposesWhatItsKeywordsHold) {
  const struct Case {
    const char* what;
    std::string text;
    bool hasAccount;
    std::string account, labelCode, label;
    char sense;
    Amount amount;
    double value;
    bool lookup;
  } cases[] = {
      {"a whole line", "CC=60700000 LI=Achat marchandises         DC=D MO=SOLDE\r\n", true, "60700000", "",
       "Achat marchandises", 'D', Amount::Balance, 0, false},
      {"411 and five blanks", "CC=411      CL=1\r\n", true, "411", "1", "", ' ', Amount::None, 0, false},
      {"411, '?' and four blanks", "CC=411?    \r\n", true, "411?", "", "", ' ', Amount::None, 0, true},
      {"CP= when CC= is absent", "CP=40100000 DC=C\r\n", true, "40100000", "", "", 'C', Amount::None, 0, false},
      {"CC= wins over CP=", "CP=40100000 CC=60700000\r\n", true, "60700000", "", "", ' ', Amount::None, 0, false},
      {"keywords in small letters", "cc=51200000 cl=4 dc=C mo=SOLDE\r\n", true, "51200000", "4", "", 'C',
       Amount::Balance, 0, false},
      {"any sense but D is a credit", "DC=x\r\n", false, "", "", "", 'C', Amount::None, 0, false},
      {"a blank sense is none", "DC= MO=12\r\n", false, "", "", "", ' ', Amount::Value, 12, false},
      {"an amount", "MO=1234.56\r\n", false, "", "", "", ' ', Amount::Value, 1234.56, false},
      {"the label keeps its case", "LI=Loyer de Mars\r\n", false, "", "", "Loyer de Mars", ' ', Amount::None, 0, false},
      {"only the current line counts", "DC=D\r\nCC=60700000 LI=Autre\r\n", false, "", "", "", 'D', Amount::None, 0,
       false},
      {"a label stops at the end of its line", "LI=Court\r\nCC=41100000\r\n", false, "", "", "Court", ' ',
       Amount::None, 0, false},
      {"an amount stops at the end of its line", "MO=12\r\n345\r\n", false, "", "", "", ' ', Amount::Value, 12, false},
      {"an account stops at the end of its line", "CC=4110\r\nCL=9\r\n", true, "4110", "", "", ' ', Amount::None, 0,
       false},
      {"a last line cut short", "CC=60700000\r\nCC=4110", true, "60700000", "", "", ' ', Amount::None, 0, false},
      {"a one-line model without line break", "CC=62700000 LI=Frais de Banque", true, "62700000", "",
       "Frais de Banque", ' ', Amount::None, 0, false},
      {"a model cut in its label", "CC=62700000 LI=Fr", true, "62700000", "", "Fr", ' ', Amount::None, 0, false},
      {"nothing", "", false, "", "", "", ' ', Amount::None, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = c.text;
    const ModelLine m = ReadModelLine(c.text);
    EXPECT_EQ(m.hasAccount, c.hasAccount);
    EXPECT_EQ(m.account, c.account);
    EXPECT_EQ(m.labelCode, c.labelCode);
    EXPECT_EQ(m.label, c.label);
    EXPECT_EQ(m.sense, c.sense);
    EXPECT_EQ(m.amount, c.amount);
    EXPECT_DOUBLE_EQ(m.value, c.value);
    EXPECT_EQ(m.lookup, c.lookup);
    EXPECT_EQ(c.text, before) << "the text is read, never changed";
  }
}

TEST_F(ModelsTest, TheNextLineTurnsTheModelRoundAndAOneLineModelStays) {
  std::string text = "L1\r\nL2\r\nL3\r\n";
  ASSERT_TRUE(NextModelLine(text));
  EXPECT_EQ(text, "L2\r\nL3\r\nL1\r\n");
  ASSERT_TRUE(NextModelLine(text));
  ASSERT_TRUE(NextModelLine(text));
  EXPECT_EQ(text, "L1\r\nL2\r\nL3\r\n");
  std::string one = "CC=62700000 LI=Frais de Banque";
  EXPECT_FALSE(NextModelLine(one));
  EXPECT_EQ(one, "CC=62700000 LI=Frais de Banque");
}

TEST_F(ModelsTest, ASavedAccountCompletesItsModelLine) {
  const struct Case {
    const char* what;
    std::string text, account, after;
    bool dropped;
  } cases[] = {
      {"the account of CC=", "CC=60700000 DC=D\r\nCC=44566000\r\n", "60700000", "CC=44566000\r\n", true},
      {"a prefix of it", "CC=607      DC=D\r\nCC=44566000\r\n", "60700000", "CC=44566000\r\n", true},
      {"CP= when CC= is absent", "CP=40100000\r\nCC=51200000\r\n", "40100000", "CC=51200000\r\n", true},
      {"another account", "CC=60700000\r\nCC=44566000\r\n", "60640000", "CC=60700000\r\nCC=44566000\r\n", false},
      {"no account in the line", "LI=Achat\r\nCC=44566000\r\n", "60700000", "LI=Achat\r\nCC=44566000\r\n", false},
      {"the last line without break", "CC=60700000", "60700000", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = c.text;
    EXPECT_EQ(DropSavedModelLine(text, c.account), c.dropped);
    EXPECT_EQ(text, c.after);
  }
}

TEST_F(ModelsTest, TheCounterpartIsProposedInPlaceOfTheLastProposal) {
  const struct Case {
    const char* what;
    std::string text, counterpart, after;
  } cases[] = {
      {"appended", "CC=60700000\r\n", "401", "CC=60700000\r\nCP=40100000\r\n"},
      {"in place of an earlier one", "CC=60700000\r\nCP=40800000\r\nCC=44566000\r\n", "40100000",
       "CC=60700000\r\nCP=40100000\r\nCC=44566000\r\n"},
      {"an earlier one in small letters", "cp=40800000\r\nCC=44566000\r\n", "40100000",
       "CP=40100000\r\nCC=44566000\r\n"},
      {"already typed as CC=", "CC=40100000 DC=C\r\n", "40100000", "CC=40100000 DC=C\r\n"},
      {"after a last line without break", "CC=60700000 LI=Achat", "40100000",
       "CC=60700000 LI=Achat\r\nCP=40100000\r\n"},
      {"a blank counterpart only removes", "CP=40800000\r\nCC=44566000\r\n", "", "CC=44566000\r\n"},
      {"an earlier one at the end", "CC=60700000\r\nCP=40800000\r\n", "40100000", "CC=60700000\r\nCP=40100000\r\n"},
      {"an empty model", "", "411", "CP=41100000\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = c.text;
    ProposeCounterpart(text, c.counterpart);
    EXPECT_EQ(text, c.after);
  }
}

}  // namespace
}  // namespace entry_test
