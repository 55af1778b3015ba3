#include "runtime/code_helpers.h"

#include <string>

#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "support/runtime_fixture.h"

namespace {

class CodeHelpersTest : public test_support::RuntimeTest {
 protected:
  void TearDown() override {
    SetTextPromptHook(nullptr);
    test_support::RuntimeTest::TearDown();
  }
};

TEST_F(CodeHelpersTest, NextLetterCodes) {
  const struct { const char* in; const char* out; } cases[] = {
      {"   ", "A"}, {"AZ", "B1"}, {"ZZ", "A00"}, {"ZZZZ", "A"}, {"ABCDE", "ABCDE"}, {"A#", "A1"},
  };
  for (const auto& c : cases) {
    std::string code = c.in;
    EXPECT_EQ(NextLetterCode(code), c.out) << "'" << c.in << "'";
  }
}

TEST_F(CodeHelpersTest, AccountNumbersByTheDossierLength) {
  const struct { const char* constant; const char* in; const char* out; } cases[] = {
      {"6  ", "411000000", "411000   "}, {"6  ", "411000100", "411000100"},
      {"O  ", "411000000", "411      "}, {"   ", "411000000", "411000000"},
      {"5  ", "4110000", "41100  "},
  };
  for (const auto& c : cases) {
    TheDossierRecord.SetConstant(19, c.constant);
    std::string text = c.in;
    EXPECT_EQ(NormalizeNumberText(text), c.out) << c.constant << " " << c.in;
  }
}

TEST_F(CodeHelpersTest, JournalsInEntryAreFoundByTheirKey) {
  EXPECT_FALSE(IsJournalInEntry("C401VTE"));
  // Slot 2: flag at 1378, handle 1379-1388, key from 1389.
  SetRegistryText(1378, 1, "1");
  SetRegistryText(1379, 10, "    123456");
  SetRegistryText(1389, 7, "C401VTE");
  // Slot 4 keeps its journal-month key at + 11 and a line key at + 18, as the line form
  // leaves it: the slot has one reading.
  SetRegistryText(2202, 1, "1");
  SetRegistryText(2213, 7, "C402ACH");
  SetRegistryText(2220, 24, "ZC403BQ 0000010000010001");
  // Slot 3 holds a line key where its journal-month key belongs: it is not read as one.
  SetRegistryText(1790, 1, "1");
  SetRegistryText(1801, 8, "ZC404OD ");
  // Slot 0 is not in use.
  SetRegistryText(565, 7, "C403BQ1");
  const struct { const char* journal; bool found; } cases[] = {
      {"C401VTE", true},  {"C402ACH", true}, {"C403BQ1", false},
      {"C403BQ ", false},  // the line key at + 18 names no journal-month in entry
      {"C404OD ", false},  // nor does a line key at + 11
      {"3456C40", false},  // handle characters never count
      {"C401", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsJournalInEntry(c.journal), c.found) << c.journal;
  OpenWindowRegistry = "short";
  EXPECT_FALSE(IsJournalInEntry("C401VTE"));
}

TEST_F(CodeHelpersTest, PrintForms) {
  const struct { int file, field; const char* stored; bool result; const char* out; } dates[] = {
      {50, 2, "C401", true, "2401"}, {50, 15, "D00101", true, "300101"}, {50, 3, "C401", false, "before"},
  };
  for (const auto& c : dates) {
    std::string out = "before";
    EXPECT_EQ(PrintFieldText(out, c.file, c.field, c.stored), c.result) << c.file << "/" << c.field;
    EXPECT_EQ(out, c.out);
  }
  const struct { const char* c018; int file, field; char type; const char* in; bool result; const char* out; } amounts[] = {
      {"   ", 50, 18, 'N', "1234.50", true, "1234,50"}, {"   ", 50, 17, 'N', "1234.50", false, "1234.50"},
      {",  ", 50, 18, 'N', "1.5", false, "1.5"},
  };
  for (const auto& c : amounts) {
    TheDossierRecord.SetConstant(18, c.c018);
    std::string text = c.in;
    EXPECT_EQ(IsPrintableAmountField(text, c.file, c.field, c.type), c.result) << c.file << "/" << c.field;
    EXPECT_EQ(text, c.out);
  }
}

std::string g_typed;
bool TypedPrompt(const char*, const char*, std::string& answer) {
  answer = g_typed;
  return !g_typed.empty();
}

TEST_F(CodeHelpersTest, SupportPassword) {
  Ymd today = Today();
  std::string code = SupportCodeForDate(today.year, today.month, today.day);
  EXPECT_FALSE(AskSupportPassword());  // no prompt: cancelled
  SetTextPromptHook(TypedPrompt);
  const std::string otherDay = SupportCodeForDate(today.year, today.month, today.day == 1 ? 2 : 1);
  ASSERT_NE(otherDay, code);
  const std::string exact = code;
  // Typed in lower case with trailing blanks: still the code.
  for (char& ch : code) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  g_typed = code + "  ";
  EXPECT_TRUE(AskSupportPassword());
  // A wrong password is refused.
  for (const std::string& wrong : {otherDay, exact.substr(0, 7)}) {
    g_typed = wrong;
    EXPECT_FALSE(AskSupportPassword()) << wrong;
  }
}

}  // namespace
