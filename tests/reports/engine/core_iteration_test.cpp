// The iteration block read from its parsed form gives the pages, the export and the owner's calls
// that the character reading gives, whatever the body's statements do to the text in front of
// them: blocks kept and dropped (nested ones too), results read again, aliases, empty and blank
// statements, values holding brackets and braces, bodies the parsing leaves alone, page breaks,
// repetitions and the statements that end a body or a page.
#include "core_support.h"

using namespace test_support;

namespace {

reports::ReportFixture Records() {
  return MakeFixture(
      {"NOM       C100", "CODE      C050", "MONTANT   M142", "NB        N050"},
      {{'A', {{"NOM", "Dupont"}, {"CODE", "C1"}, {"MONTANT", "100"}, {"NB", "1"}}},
       {'B', {{"NOM", "Mar[tin]"}, {"CODE", "C{2}"}, {"MONTANT", "-20.5"}, {"NB", "2"}}},
       {'A', {{"NOM", "Durand"}, {"CODE", "C3"}, {"MONTANT", "0"}, {"NB", "3"}}},
       {'C', {{"NOM", "Leroy"}, {"CODE", "C4"}, {"MONTANT", "1234567.8"}, {"NB", "4"}}},
       {'B', {{"NOM", "Petit"}, {"CODE", "C5"}, {"MONTANT", "7"}, {"NB", "5"}}}});
}

struct Outcome {
  int pages = 0;
  std::string records;  // every page's records
  std::string exported;
  int computeCalls = 0, nextCalls = 0;
  std::vector<std::string> warnings;
};

class IterationTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    folder = ExportDossier(Dir());
  }
  Outcome Run(const std::string& tmpl, bool parsed, int pageHeight, const std::string& answer) {
    reports::ReportExportFile file;
    Outcome out;
    {
      EngineRun run(tmpl, Records(), &file);
      run.context.parsedIteration = parsed;
      run.setup.pageHeight = pageHeight;
      if (!answer.empty()) run.env.answers.push_back({true, answer});
      out.pages = run.ToEnd();
      for (int p = 1; p <= run.context.store.PageCount(); ++p)
        out.records += "page " + std::to_string(p) + "\n" + RecordsOf(run.Page(p));
      out.computeCalls = run.owner.computeCalls;
      out.nextCalls = run.owner.nextCalls;
      out.warnings = run.env.warnings;
      reports::CloseExportFile(file, run.context.exportSettings);
    }
    if (!file.Path().empty()) out.exported = ReadFileBytes(file.Path());
    return out;
  }
  std::string folder;
};

}  // namespace

TEST_F(IterationTest, TheParsedBodyReadsAsTheCharacterReading) {
  struct Case {
    const char* name;
    const char* tmpl;
    int pageHeight;           // 0: the page's own
    const char* answer = "";  // to [NbIT]
  };
  const Case cases[] = {
      {"the ledger's form, to a CSV export",
       "[Export:csv][Export][SiPage=1]\xAB" "Nom Code Montant\r\n\xBB[ITD][Rupt-abc]{[TT-Init]}[TT-Avant]"
       "[Rupt-ab]{[@NOM] [@CODE] [@MONTANT]\r\n}[TT-Suivant][ITF]",
       0},
      {"over several pages", "Titre\r\n[ITD][TT-Avant][@NOM][Rupt-@]{ (suite)}[Rupt!@]{ *}[TT-Suivant]\r\n[ITF]Pied\r\n",
       60},
      {"a kept block holding another: its end is the first brace",
       "[ITD][TT-Avant][Rupt-ab]{x[Rupt-a]{y}z}[@NOM][TT-Suivant]\r\n[ITF]", 0},
      {"blocks of every kind of selection",
       "[ITD][TT-Avant][Rupt>a]{>}[Rupt<b]{<}[Rupt!c]{!}[Rupt-c]{c}[@NB]\r\n[TT-Suivant][ITF]", 0},
      {"a block without its end", "[ITD][TT-Avant][Rupt-a]{ouvert [@NOM][TT-Suivant]\r\n[ITF]", 0},
      {"a brace before any block", "[ITD][TT-Avant]}{[@NOM]}[TT-Suivant]\r\n[ITF]", 0},
      {"an unknown statement read again", "[ITD][TT-Avant][zz][@NOM][TT-Suivant]\r\n[ITF]", 0},
      {"a result holding a statement", "[ITD][TT-Avant][Si:@NB>2,[@NOM],-][TT-Suivant]\r\n[ITF]", 0},
      {"an alias defined after the block", "[ITD][TT-Avant][n] [@NOM][TT-Suivant]\r\n[ITF][FinPage][n=@CODE]", 0},
      {"an alias named as a variable", "[ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF][FinPage][@nom=@CODE]", 0},
      {"an alias defined in the body", "[ITD][TT-Avant][m=@NOM][m][TT-Suivant]\r\n[ITF]", 0},
      {"an open bracket before the block", "[ [ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF]]", 0},
      {"empty and blank statements", "[ITD][TT-Avant][][   ][@NOM][ TT-Suivant ]\r\n[ITF]", 0},
      {"parts and widths of variables", "[ITD][TT-Avant][@NOM,2,3]|[@CODE,1,6]|[@MONTANT][TT-Suivant]\r\n[ITF]", 0},
      {"variables by number, in other cases, with blanks, unknown",
       "[ITD][TT-Avant][@0]|[@6]|[@ NOM]|[@Code]|[@ nb ]|[@ZZ]|[@][TT-Suivant]\r\n[ITF]", 0},
      {"a statement across lines in the body", "[ITD][TT-Avant][zz\r\ny][@NOM][TT-Suivant]\r\n[ITF]", 0},
      {"a bracket that closes nothing in the body", "[ITD][TT-Avant]a]b[@NOM][TT-Suivant]\r\n[ITF]", 0},
      {"nested statements in the body", "[ITD][TT-Avant][@[s:0]NOM][TT-Suivant]\r\n[ITF]", 0},
      {"[FinIteration] in the body", "[ITD][TT-Avant][@NOM][TT-Suivant][FinIteration]\r\n[ITF]Pied", 0},
      {"[Re-ITD] in the body", "[ITD][TT-Avant][TT-Suivant][Si:@NB=3,re-itd@,][@NOM]\r\n[ITF]", 0},
      {"[FinPage] in the body", "[ITD][TT-Avant][@NOM][TT-Suivant]\r\n[FinPage][ITF]Pied", 40},
      {"[FinDoc] in the body", "[ITD][TT-Avant][@NOM][TT-Suivant][FinDoc]\r\n[ITF]Pied", 0},
      {"repetitions", "[NbIT][ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF]", 0, "2"},
      {"the block in lower case, two of them",
       "[itd][TT-Avant][@NOM][TT-Suivant]\r\n[itf]-[ITD][TT-Avant][@CODE][TT-Suivant]\r\n[ITF]", 0},
      {"first page apart", "[SiPage#1]\xABsuite\r\n\xBB[ITD][Rupt-@]{+}[TT-Avant][@NOM][TT-Suivant]\r\n[ITF]", 30},
  };
  for (const Case& c : cases) {
    const Outcome characters = Run(c.tmpl, false, c.pageHeight, c.answer);
    const Outcome parsed = Run(c.tmpl, true, c.pageHeight, c.answer);
    EXPECT_EQ(parsed.pages, characters.pages) << c.name;
    EXPECT_EQ(parsed.records, characters.records) << c.name;
    EXPECT_EQ(parsed.exported, characters.exported) << c.name;
    EXPECT_EQ(parsed.computeCalls, characters.computeCalls) << c.name;
    EXPECT_EQ(parsed.nextCalls, characters.nextCalls) << c.name;
    EXPECT_EQ(parsed.warnings, characters.warnings) << c.name;
    EXPECT_FALSE(characters.records.empty()) << c.name;
  }
}

TEST_F(IterationTest, TheLedgerFormExportsEveryRecordOnce) {
  // Beyond agreeing with the character reading: what the ledger's form must write.
  const Outcome out = Run("[Export:csv][Export][ITD][Rupt-abc]{[TT-Init]}[TT-Avant][Rupt-ab]{[@NOM] [@MONTANT]\r\n}"
                          "[TT-Suivant][ITF]",
                          true, 0, "");
  EXPECT_EQ(out.exported,
            "\"Dupont\";100,00\r\n\"Mar[tin]\";-20,50\r\n\"Durand\";0,00\r\n\"Petit\";7,00\r\n");
  EXPECT_EQ(out.computeCalls, 5);
}

namespace {

// An owner that declares its variables again, the names at each other's place, when it reaches its
// third record.
class RedeclaringOwner : public reports::FixtureReportOwner {
 public:
  using FixtureReportOwner::FixtureReportOwner;
  bool NextRecord() override {
    const bool more = FixtureReportOwner::NextRecord();
    if (Position() == 2) {
      fields.ReleaseField(0);
      fields.ReleaseField(1);
      fields.DeclareField(0, "CODE      C050");
      fields.DeclareField(1, "NOM       C100");
    }
    return more;
  }
};

}  // namespace

// The parsed body finds a variable's place once for the owner's declarations: declared again
// during the run, each name is found at its new place.
TEST_F(IterationTest, VariablesAreFoundAgainWhenTheOwnerDeclaresThemAgain) {
  auto run = [](bool parsed) {
    RedeclaringOwner owner(Records());
    TestEnvironment env;
    reports::FixedMetricsCanvas canvas;
    reports::RenderContext context;
    reports::ReportExportFile file;
    context.exportFile = &file;
    context.parsedIteration = parsed;
    owner.PrepareReport();
    reports::ReportInterpreter interpreter(context, canvas, owner, env);
    EXPECT_TRUE(interpreter.BeginListWithTemplate(reports::ListSetup{},
                                                  "[ITD][TT-Avant][@NOM]|[@CODE]|[@NB][TT-Suivant]\r\n[ITF]"));
    interpreter.RenderToEnd();
    std::string records;
    for (int p = 1; p <= context.store.PageCount(); ++p) records += RecordsOf(*context.store.Page(p));
    return records;
  };
  const std::string parsed = run(true);
  EXPECT_EQ(parsed, run(false));
  for (const char* line : {"Dupont    |C1   |", "Durand    |C3   |", "Leroy     |C4   |", "Petit     |C5   |"})
    EXPECT_NE(parsed.find(line), std::string::npos) << line << " in\n" << parsed;
}

TEST(ValueEscapeTest, AValueWrittenStraightAfterTheTextIsTheEscapedValue) {
  // A value goes straight after the text read only when its escaped form would be copied as it
  // is when read again; it is then that form, cut to the room left.
  const std::string values[] = {"Dupont", "Vente du 3 mai", "a[b]c", "{x}", "cl\xE9 ^", "ligne\nsuivante",
                                "\x18" "CrLf" "\x19", "fin\x19", std::string(300, 'z'), ""};
  for (const std::string& v : values) {
    for (std::size_t limit : {std::size_t{0}, std::size_t{4}, std::size_t{1000}}) {
      const std::string escaped = reports::Escaped(v, reports::InValueStatements::kKeep);
      const bool readAgain = escaped.find_first_of("[]\n") != std::string::npos;
      std::string out = "avant";
      const bool plain = reports::AppendEscapedPlain(out, v, limit);
      EXPECT_EQ(plain, !readAgain) << v;
      EXPECT_EQ(out, plain ? "avant" + escaped.substr(0, limit) : "avant") << v << " " << limit;
    }
  }
}
