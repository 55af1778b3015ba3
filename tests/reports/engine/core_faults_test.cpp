// Faults of the interpreter's description that the engine mends: endless expansions end, the
// line height stays a divisor, parts of variables and results stay within their bounds, and
// control codes stored in data never run as statements.
#include "core_support.h"
#include "data_test_util.h"
#include "runtime/inifiles.h"

using namespace test_support;

namespace {

reports::ReportFixture Data() {
  return MakeFixture({"NOM       C100", "LIB23     C300", "DERNIER   C030"},
                     {{'A', {{"NOM", "Dupont"}, {"LIB23", "Un\x18" "CrLf\x19" "Deux\x18S:3\x19" "fin"}, {"DERNIER", "xyz"}}}});
}

class FaultsTest : public data_test::DataTest {
 protected:
  std::string Page(const std::string& tmpl, const std::function<void(EngineRun&)>& prepare = {}) {
    EngineRun run("[TT-Avant]" + tmpl, Data());
    run.context.expansionBudget = 2000;
    if (prepare) prepare(run);
    run.First();
    context = run.context;
    return TextOf(run.Page(1));
  }
  reports::RenderContext context;
};

}  // namespace

TEST_F(FaultsTest, EndlessExpansionsEnd) {
  TheDossierRecord.SetConstant(4, "BAB");
  struct Case {
    const char* tmpl;
    const char* page;
  };
  const Case cases[] = {
      {"a[x]b[FinPage][x=x]", "a?x?b"},
      {"[a][FinPage][a=b][b=a]", "?a?"},
      {"[c]fin[FinPage][c=cst:004,bab,c,c]", "?cst:004,bab,c,c?fin"},
  };
  for (const Case& c : cases) EXPECT_EQ(Page(c.tmpl), c.page) << c.tmpl;
  // Aliases stand for others 32 deep at most.
  std::string chain = "[a0][FinPage]";
  for (int i = 0; i < 33; ++i) chain += "[a" + std::to_string(i) + "=a" + std::to_string(i + 1) + "]";
  EXPECT_EQ(Page(chain + "[a33=fin]"), "?a0?");
  EXPECT_EQ(Page("[a2][FinPage]" + chain.substr(13) + "[a33=fin]"), ".../...");
  // An INI value that names itself, a template executing itself: the page's budget ends them.
  EXPECT_NE(Page("[ini:k]x", [](EngineRun& r) { r.env.ini["k"] = "[ini:k]"; }).find("?ini:k?"), std::string::npos);
  EXPECT_NE(Page("[ES:boucle]", [](EngineRun& r) { r.env.templates.Add("BOUCLE", "a[ES:boucle]"); }).find("?es:boucle?"),
            std::string::npos);
}

TEST_F(FaultsTest, TheLineHeightStaysADivisor) {
  // [PY:n] beyond the page's height would make the line 0 high, then a divisor.
  EXPECT_EQ(Page("[PY:9999][Mem][L:001,l+1,002,l+1][NL+1]x"), "x");
  EXPECT_GE(context.lineHeight, 1);
}

TEST_F(FaultsTest, PartsOfVariablesStopAtTheLastOne) {
  // 30 characters asked from the last variable: its 3, then blanks.
  EXPECT_EQ(Page("[@DERNIER,1,30]|"), "xyz                           |");
  EXPECT_EQ(Page("[@DERNIER,1,999]|"), std::string("xyz") + std::string(252, ' ') + "|");
}

TEST_F(FaultsTest, ResultsAndTheWorkTextKeepTheirLimits) {
  EXPECT_EQ(Page("[S:99999]|"), std::string(255, ' ') + "|");
  EXPECT_EQ(Page("[-:300]"), std::string(255, '-'));
  EXPECT_EQ(Page("[Saisie99,x]|", [](EngineRun& r) { r.env.answers.push_back({true, std::string(400, 'a')}); }),
            std::string(255, 'a') + "|");
  // A text file of any size is cut to the work text's room.
  const std::string big = ProgramFolder + "grand.txt";
  std::string line = std::string(99, 'x') + "\r\n";
  std::string content;
  while (content.size() < 200000) content += line;
  EngineRun run("[TXT:grand.txt]", Data());
  run.env.files[big] = content;
  run.First();
  std::size_t printed = 0;
  for (const reports::PageRecord& r : run.Page(1)) printed += r.kind == 'X' ? r.text.size() + 2 : 0;
  printed -= 2;  // the last line's end was cut
  EXPECT_GT(printed, 60000u);
  EXPECT_LE(printed, reports::kWorkTextLimit);
}

TEST_F(FaultsTest, StoredControlCodesNeverRunAsStatements) {
  // A report variable keeps its live statements (a line break, three blanks) ...
  EXPECT_EQ(Page("[@LIB23]"), "Un\nDeux   fin");
  // ... a table's field does not: codes 24 and 25 are dropped.
  ASSERT_EQ(CreateTableOfKind(TableKind::C20, DossierPath(TableKind::C20)), 0);
  ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  Add(*TableC20, {"411000", "Client\x18" "F4\x19" "Durand"});
  ASSERT_TRUE(TableC20->GoTop());
  EngineRun run("[C20->CLIB]|[C20$CCLIB]", Data());
  run.First();
  EXPECT_EQ(TextOf(run.Page(1)), "ClientF4Durand              |ClientF4Durand");
  EXPECT_EQ(RecordsOf(run.Page(1), "4"), "");
  // The layout author's text file keeps them live.
  EXPECT_EQ(Page("[TXT:modele.txt]", [](EngineRun& r) { r.env.files[ProgramFolder + "modele.txt"] = "a\x18S:2\x19" "b"; }),
            "a  b");
}

TEST_F(FaultsTest, TheUserPromptAndTheDossierRecordDropControlCodes) {
  TheDossierRecord.SetName("Soci\xE9t\xE9\x18" "CrLf\x19");
  EXPECT_EQ(Page("[RS]"), "Soci\xE9t\xE9" "CrLf");
  EXPECT_EQ(Page("[Saisie10,x]", [](EngineRun& r) { r.env.answers.push_back({true, "a\x18" "F2\x19"}); }), "aF2");
}
