// The frame of the interpreter and its control statements: statements found innermost first,
// brackets that close nothing, aliases, the iteration block and the report hooks, line-type
// and page blocks, page statements, page breaks and what a page asks of its window.
#include "core_support.h"

using namespace test_support;

namespace {

reports::ReportFixture ThreeRecords() {
  return MakeFixture({"NOM       C100", "CODE      C050", "MONTANT   M142", "NB        N050"},
                     {{'A', {{"NOM", "Dupont"}, {"CODE", "C1"}, {"MONTANT", "100"}, {"NB", "1"}}},
                      {'B', {{"NOM", "Martin"}, {"CODE", "C2"}, {"MONTANT", "-20.5"}, {"NB", "2"}}},
                      {'A', {{"NOM", "Durand"}, {"CODE", "C3"}, {"MONTANT", "0"}, {"NB", "3"}}}});
}

struct Case {
  const char* name;
  const char* tmpl;
  const char* page;  // page 1 as it reads on the grid
};

class FrameTest : public RuntimeTest {};

}  // namespace

TEST_F(FrameTest, StatementsAndBlocks) {
  const Case cases[] = {
      {"plain text", "Texte seul", "Texte seul"},
      {"unknown statement", "a[zz]b", "a?zz?b"},
      {"unknown, trimmed and lower-cased", "a[ ZZ ]b", "a?zz?b"},
      {"empty brackets dropped", "a[]b", "ab"},
      {"a [ that nothing closes stays when no ] is left", "a[b", "a[b"},
      {"... and goes when a ] stands before it", "x]a[b", "x]ab"},
      {"innermost first: the result is read again", "[[s:1]]fin", "fin"},
      {"a nested result builds the statement", "[TT-Avant][@[s:0]NOM]", "Dupont"},
      {"a statement across lines", "[zz\r\ny]", "?zz\n"
                                                "y?"},
      {"iteration", "[ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF]", "Dupont\nMartin\nDurand"},
      {"line-type blocks", "[ITD][TT-Avant][@NOM][Rupt-a]{ A}[Rupt!a]{ pas A}[TT-Suivant]\r\n[ITF]",
       "Dupont     A\nMartin     pas A\nDurand     A"},
      {"line type > and <", "[ITD][TT-Avant][@NOM][Rupt>a]{ >a}[Rupt<b]{ <b}[TT-Suivant]\r\n[ITF]",
       "Dupont     <b\nMartin     >a\nDurand     <b"},
      {"[Rupture] and an open block", "[ITD][TT-Avant][Rupture][Rupt-b]{x[TT-Suivant]\r\n[ITF]", "A{x\nB{x\nA{x"},
      {"[Fin] after the data", "[ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF][Fin]", "Dupont\nMartin\nDurand\n* Fin *"},
      {"[Fin] before the end", "[Fin]", ".../..."},
      {"[FinIteration]", "[ITD][TT-Avant][@NOM][TT-Suivant][FinIteration]\r\n[ITF]Pied", "Dupont\nPied"},
      {"[Re-ITD] skips the rest of a body",
       "[ITD][TT-Avant][TT-Suivant][Si:@NOM='martin',re-itd@,][@NOM]\r\n[ITF]", "Dupont\nDurand"},
      {"[FinPage] cuts what follows", "Haut[FinPage]Bas", "Haut"},
      {"alias", "[total][FinPage][total=fin]", ".../..."},
      {"alias of an alias", "[a][FinPage][a=b][b=s:2]x", ""},
      {"an alias reached as a statement", "[x=fin]", "?x=fin?"},
      {"[Pages] and [Limites]", "[Pages]|[Limites]|", "Toutes les pages         |Edition compl\xE8te         |"},
      {"[Page] and [PageNumero]", "[Page][PageNumero]", "   1   1"},
      {"[SiPage=1] and [SiPage#1]", "[SiPage=1]\xABun\xBB[SiPage#1]\xAB" "autre\xBB", "un"},
      {"[Si-Visu] and [Si-Impr] in the preview", "[Si-Visu]\xABvu\xBB[Si-Impr]\xABimprim\xE9\xBB", "vu"},
      {"a block without its end", "[Si-Impr]\xAB" "reste", "\xAB" "reste"},
      {"[FinDoc]", "[ITD][TT-Avant][@NOM][TT-Suivant][FinDoc]\r\n[ITF]Pied", "Dupont"},
      {"[NbL] counts the lines computed", "[ITD][TT-Avant][TT-Suivant][ITF][NbL]|[NbL3]", "    3|003"},
      {"[CrLf] and [S:n]", "a[CrLf]b[S:3]c", "a\nb   c"},
  };
  for (const Case& c : cases) {
    EngineRun run(c.tmpl, ThreeRecords());
    run.First();
    EXPECT_EQ(TextOf(run.Page(1)), c.page) << c.name;
  }
}

TEST_F(FrameTest, APrintoutKeepsThePrintBlocksAndDropsThePreviewOnes) {
  EngineRun run("[Si-Visu]\xABvu\xBB[Si-Impr]\xABimprim\xE9\xBB", ThreeRecords());
  run.setup.target = reports::RenderTarget::kPrinter;
  run.First();
  EXPECT_EQ(TextOf(run.Page(1)), "imprim\xE9");
}

TEST_F(FrameTest, RepetitionsComputeOnceAndPrintEachTime) {
  EngineRun run("[NbIT][ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF]", ThreeRecords());
  run.env.answers.push_back({true, "3"});
  run.First();
  EXPECT_EQ(run.env.prompts.size(), 1u);
  EXPECT_EQ(TextOf(run.Page(1)),
            "Dupont\nDupont\nDupont\nMartin\nMartin\nMartin\nDurand\nDurand\nDurand");
  EXPECT_EQ(run.owner.computeCalls, 3);
  EXPECT_EQ(run.owner.nextCalls, 3);
}

TEST_F(FrameTest, RecordsThatDoNotFitGoToTheNextPageWithTheirFooter) {
  // Four lines a page; one more iteration needs its line and the footer's.
  EngineRun run("Titre\r\n[ITD][TT-Avant][@NOM][Rupt-@]{ (suite)}[Rupt!@]{ *}[TT-Suivant]\r\n[ITF]Pied[Fin]\r\n",
                ThreeRecords());
  run.setup.pageHeight = 60;
  EXPECT_EQ(run.ToEnd(), 2);
  EXPECT_EQ(TextOf(run.Page(1)), "Titre\nDupont     *\nMartin     *\nPied.../...");
  EXPECT_EQ(TextOf(run.Page(2)), "Titre\nDurand     (suite)\nPied* Fin *");
}

TEST_F(FrameTest, TheFirstIterationOfAPageAlwaysPrints) {
  // One line a page, while a record needs two: each page still prints one record.
  EngineRun run("[ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF]Pied\r\n", ThreeRecords());
  run.setup.pageHeight = 20;
  EXPECT_EQ(run.ToEnd(), 3);
  EXPECT_EQ(TextOf(run.Page(3)), "Durand\nPied");
}

TEST_F(FrameTest, WhatAPageAsksOfItsWindow) {
  // Run to the last page: each page asks for the next until the data end, which beeps.
  EngineRun run("[ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF]", ThreeRecords());
  run.owner.reportCode = "LISTE     99999999";
  run.setup.pageHeight = 30;
  ASSERT_TRUE(run.Begin());
  EXPECT_EQ(run.context.firstPage, 9999);
  reports::PageOutcome first = run.interpreter->RenderPage();
  EXPECT_TRUE(first.renderNextPage);
  EXPECT_FALSE(first.renderAllPages);
  reports::PageOutcome last;
  while (run.interpreter->CanRenderMore()) last = run.interpreter->RenderNextPage();
  EXPECT_FALSE(last.renderNextPage);
  EXPECT_TRUE(last.endBeep);
  EXPECT_FALSE(last.closePreview);
  EXPECT_EQ(run.owner.reportPage, 2);
}

TEST_F(FrameTest, AnExportedReportRendersAllItsPagesAndClosesThePreview) {
  SetDossier(Dir() + "/", "EXP");
  EngineRun run("[Export][ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF]", ThreeRecords());
  run.setup.pageHeight = 30;
  reports::PageOutcome first = run.First();
  EXPECT_TRUE(first.renderAllPages);
  reports::PageOutcome last;
  while (run.interpreter->CanRenderMore()) last = run.interpreter->RenderNextPage();
  EXPECT_TRUE(last.closePreview);
}

TEST_F(FrameTest, PagesBeyondTheLastRequestedAreNotRendered) {
  EngineRun run("[ITD][TT-Avant][@NOM][TT-Suivant]\r\n[ITF]", ThreeRecords());
  run.owner.reportCode = "LISTE        1   1";
  run.setup.pageHeight = 30;
  run.First();
  EXPECT_TRUE(run.interpreter->CanRenderMore());
  run.interpreter->RenderNextPage();
  EXPECT_FALSE(run.interpreter->CanRenderMore());
  EXPECT_EQ(run.context.store.PageCount(), 2);
}

TEST_F(FrameTest, TheCodeHooksOfTheBalanceSheet) {
  struct Owner : reports::FixtureReportOwner {
    using FixtureReportOwner::FixtureReportOwner;
    std::string GetCodeLabel(const std::string& code) override { return "L[" + code + "]"; }
    std::string GetCodeValue(const std::string& code) override { return "V" + code; }
  };
  Owner owner(ThreeRecords());
  owner.PrepareReport();
  TestEnvironment env;
  reports::FixedMetricsCanvas canvas;
  reports::RenderContext context;
  reports::ReportExportFile file;
  context.exportFile = &file;
  reports::ReportInterpreter interpreter(context, canvas, owner, env);
  ASSERT_TRUE(interpreter.BeginListWithTemplate({}, "[BLL:ab]|[BLL!ab]|[BLV:abcd]"));
  interpreter.RenderPage();
  // The code padded (or cut) to 3, upper-cased by "!"; the label's brackets made inert.
  EXPECT_EQ(TextOf(*context.store.Page(1)), "L[ab ]|L[AB ]|Vabc");
}

TEST_F(FrameTest, LineCountOfAPassLeavesOutTheBlocksTheLetterDoesNotSelect) {
  struct Count {
    const char* text;
    char letter;
    int lines;
  };
  const Count counts[] = {
      {"a\r\nb\r\n", 'a', 2},
      {"[Rupt-b]{x\r\n}y\r\n", 'a', 1},
      {"[Rupt-b]{x\r\n}y\r\n", 'b', 2},
      {"[Rupt!b]{x\r\n}y\r\n", 'b', 1},
      {"x\r\n[FinPage]\r\n[alias=fin]\r\n", 'a', 1},
      {"[Rupt-@]{x\r\n}", 'a', 1},  // the page-break mark selects it
  };
  for (const Count& c : counts) {
    EXPECT_EQ(reports::ReportInterpreter::CountLinesForRupture(c.text, c.letter, '@'), c.lines) << c.text;
  }
}
