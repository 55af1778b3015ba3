// The text forms of user-defined reports: the export's file name, the imported texts (Windows-1252 or UTF-8, with
// or without a byte-order mark), the sections of "CESETATS.txt", the list "CESETATS.LST", and the per-report help
// of the report editor (one look-up, the family "EDD-" under "\ED-").
#include <gtest/gtest.h>

#include <map>

#include "support/runtime_fixture.h"
#include "reports/engine/core/report_texts.h"

namespace {

using namespace settings;

class ReportTextsTest : public test_support::RuntimeTest {};

TEST_F(ReportTextsTest, TheExportIsNamedByTheCodeWhenItCanNameAFile) {
  const struct {
    const char* code;
    const char* name;
  } cases[] = {{"DB-1LISTE  ", "C-Etat-DB-1LISTE.txt"}, {" EC-1STD", "C-Etat-EC-1STD.txt"}, {"A/B", ""}, {"   ", ""},
               {"..", ""}};
  for (const auto& c : cases) EXPECT_EQ(ReportExportName(c.code), c.name) << c.code;
}

TEST_F(ReportTextsTest, ImportedTextsBecomeWindows1252) {
  const struct {
    std::string bytes;
    bool ok;
    std::string text;
  } cases[] = {
      {"[RS] \xE9t\xE9\r\n", true, "[RS] \xE9t\xE9\r\n"},              // Windows-1252 as stored
      {"[RS] \xC3\xA9t\xC3\xA9\n", true, "[RS] \xE9t\xE9\n"},           // UTF-8
      {"\xEF\xBB\xBF[RS] 5 \xE2\x82\xAC", true, "[RS] 5 \x80"},          // UTF-8 with its mark, the euro sign
      {"\xEF\xBB\xBF[RS] \xE4\xB8\xAD", false, ""},                      // a character Windows-1252 lacks
      {"\xEF\xBB\xBF", true, ""},
      {"[RS] \xC3(", true, "[RS] \xC3("},                               // not UTF-8: taken as it is
      {"plain ascii", true, "plain ascii"},
  };
  for (const auto& c : cases) {
    std::string text, error;
    EXPECT_EQ(DecodeReportText(c.bytes, text, error), c.ok) << c.bytes;
    if (c.ok) EXPECT_EQ(text, c.text) << c.bytes;
    else EXPECT_FALSE(error.empty());
  }
}

TEST_F(ReportTextsTest, ReferenceSectionsHoldEveryByteUpToTheNextHeader) {
  const std::string text =
      "ignored before the first header\n"
      "#ETAT=DB-1LISTE\tListe des banques\n"
      "[RS]\r\n[@CODE]\r\n"
      "#ETAT= ec-1std \n"
      "#notaheader\n"
      "last line without end";
  const std::vector<ReportSection> sections = ParseReportSetText(text);
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0].code, "DB-1LISTE");
  EXPECT_EQ(sections[0].name, "Liste des banques");
  EXPECT_EQ(sections[0].text, "[RS]\r\n[@CODE]\r\n");
  EXPECT_EQ(sections[1].code, "ec-1std");
  EXPECT_EQ(sections[1].text, "#notaheader\nlast line without end");
  ASSERT_NE(FindReportSection(sections, "EC-1STD "), nullptr);
  EXPECT_EQ(FindReportSection(sections, "EC-1STD ")->code, "ec-1std");
  EXPECT_EQ(FindReportSection(sections, "DB-"), nullptr);

  const std::vector<std::string> codes = ParseReportList(" db-1liste\r\n\r\nEC-1STD\n   \nX");
  EXPECT_EQ(codes, (std::vector<std::string>{"DB-1LISTE", "EC-1STD", "X"}));
}

// A string table of help blocks as the report families give them.
class HelpTable {
 public:
  explicit HelpTable(std::map<int, std::string> lines) : lines_(std::move(lines)) {}
  HelpLookup Lookup() const {
    return [this](int id) -> const std::string* {
      const auto it = lines_.find(id);
      return it == lines_.end() ? nullptr : &it->second;
    };
  }

 private:
  std::map<int, std::string> lines_;
};

TEST_F(ReportTextsTest, TheHelpOfAFamilyIsItsBlock) {
  const HelpTable table({
      {6300, "6320"},
      {6301, "\\EBA-\\EBB-\\EBC-\\EBS-"},
      {6302, "[@SOLDE]\tSolde du compte"},
      {6303, "6310"},  // goes on at 6310
      {6304, "never read"},
      {6305, ""},
      {6306, "\\ED-"},
      {6307, "[@MOIS]\tMois demand\xE9"},
      {6308, " "},
      {6309, "\\EDE-"},
      {6310, "[@TOTAL]\tTotal"},
      {6311, ""},
      {6312, "\\EL-"},
      {6313, "6313"},  // a continuation onto itself ends
      {6400, "\\EX-"},  // past the last id string 6300 names
      {6401, "[@X]\tnot read"},
  });
  const struct {
    const char* prefix;
    std::vector<std::string> lines;
  } cases[] = {
      {"EBB-", {"[@SOLDE]\tSolde du compte", "[@TOTAL]\tTotal"}},
      {"ebs-", {"[@SOLDE]\tSolde du compte", "[@TOTAL]\tTotal"}},
      {"EDD-", {"[@MOIS]\tMois demand\xE9"}},  // the VAT return on debits reads "\ED-"
      {"ED-", {"[@MOIS]\tMois demand\xE9"}},
      {"EDE-", {"[@TOTAL]\tTotal"}},
      {"EB-", {}},  // no prefix of a heading is a longer one's start
      {"EL-", {}},
      {"EX-", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportVariableHelp(c.prefix, table.Lookup()), c.lines) << c.prefix;
  EXPECT_EQ(ReportHelpPrefixes(table.Lookup()),
            (std::vector<std::string>{"EBA-", "EBB-", "EBC-", "EBS-", "ED-", "EDE-", "EL-"}));
}

// The blocks the program's string table holds, whichever families have landed: each heading's prefix finds it.
TEST_F(ReportTextsTest, EveryBlockOfTheProgramIsFoundByItsPrefix) {
  // The distribution codes' variables, as the template editor lists them.
  EXPECT_EQ(ReportVariableHelp("DV-"),
            (std::vector<std::string>{"[@CODE]\tCode Ventilation", "[@NOM]\tNom Ventilation",
                                      "[@COMPTE]\tCompte G\xE9n\xE9ral", "[@NOMCOMPTE]\tNom du Compte"}));
  for (const std::string& prefix : ReportHelpPrefixes()) {
    EXPECT_FALSE(ReportVariableHelp(prefix).empty()) << prefix;
    for (const std::string& line : ReportVariableHelp(prefix)) EXPECT_FALSE(line.empty()) << prefix;
  }
}

}  // namespace
