// Statements that shape the page, read from the records they leave in the page store: text and
// alignment, fonts, text blocks and files, positions, lines, rectangles, pictures, colours,
// barcodes and read-outs. Fixed metrics: 13-pixel fonts 6 pixels wide, lines 13 high, 80 columns
// of 9 pixels from x = 1 on a 794 x 1123 page (86 lines).
#include <set>

#include "core_support.h"
#include "runtime/inifiles.h"

using namespace test_support;

namespace {

reports::ReportFixture Record() {
  return MakeFixture({"CODE      C050", "EAN       C130"}, {{'A', {{"CODE", "AB123"}, {"EAN", "400638133393"}}}});
}

struct Case {
  const char* tmpl;
  const char* kinds;  // records of these kinds ("" : the page's text)
  const char* out;
};

class LayoutTest : public RuntimeTest {
 protected:
  std::string Out(const Case& c, const std::function<void(EngineRun&)>& prepare = {}) {
    EngineRun run(std::string("[TT-Avant]") + c.tmpl, Record());
    if (prepare) prepare(run);
    run.First();
    last = run.context;
    warnings = run.env.warnings;
    return std::string(c.kinds).empty() ? TextOf(run.Page(1)) : RecordsOf(run.Page(1), c.kinds);
  }
  void Check(const Case* begin, const Case* end, const std::function<void(EngineRun&)>& prepare = {}) {
    for (const Case* c = begin; c != end; ++c) EXPECT_EQ(Out(*c, prepare), c->out) << c->tmpl;
  }
  reports::RenderContext last;
  std::vector<std::string> warnings;
};

}  // namespace

TEST_F(LayoutTest, TextStatementsAndAlignment) {
  const Case cases[] = {
      {"[S:3]x", "", "   x"},
      {"[S:0]x[S:y]", "", "x"},
      {"[-:3]", "", "---"},
      {"[^:3]x", "", "   x"},
      {"a[TAB]b", "", "a b"},
      {"a[DblInt]b", "", "ab"},
      {"[// une remarque ]x", "", "x"},
      {"[<]ab[=]cd[>]ef", "XYZ", "X 10,2,18,13 'ab'\nY 37,2,18,13 'cd'\nZ 64,2,18,13 'ef'\n"},
      {"[>][@CODE]", "Z", "Z 10,2,45,13 'AB123'\n"},
      {"a^^b", "X", "X 1,2,36,13 'a  b'\n"},
      {"[^:2]ab^^", "X", "X 19,2,36,13 'ab'\n"},
      {"[SansTronquer]x", "", "x"},
  };
  Check(std::begin(cases), std::end(cases));
  EXPECT_TRUE(last.noTruncate);
}

TEST_F(LayoutTest, Fonts) {
  const Case cases[] = {
      {"[F2]a[F+]b[F+]c[F+]d[F-]e[FR]", "1234",
       "1 -13,400,0,65 'Courier New'\n2 -10,400,0,65 'Courier New'\n3 -16,700,0,65 'Courier New'\n"
       "4 -18,700,0,65 'Arial'\n3 -16,700,0,65 'Courier New'\n1 -13,400,0,65 'Courier New'\n"},
      {"[F1][F-]x", "1234", "1 -13,400,0,65 'Courier New'\n1 -13,400,0,65 'Courier New'\n"},
      {"[FS]", "6", "6 -13,700,0,65 'Courier New'\n"},
      {"[FBL]x[FIU]", "A", "A 49,0,0,0 'fbl'\nA 53,0,0,0 'fiu'\n"},
      {"[P:Verdana,010]", "5", "5 -13,100,0,48 'verdana'\n"},
      {"[P:Verdana,010/700]", "5", "5 -13,700,0,48 'verdana'\n"},
      {"[P:Verdana,010/4E3]", "5", "5 -13,400,3,69 'verdana'\n"},
      {"[P:Verdana]", "5", "5 0,100,0,65 'verdana'\n"},
      {"[PV:Arial,012]", "57", "7 -16,100,0,48 'arial'\n"},
      {"[PD:Arial,099]", "5", "5 -13,100,0,48 'arial'\n"},
      // Style letters on the special font start from its description.
      {"[P:Arial,012][FB]", "5A", "5 -16,100,0,48 'arial'\nA 53,0,0,0 'fb'\n"},
  };
  Check(std::begin(cases), std::end(cases));
  // The numbered fonts come from the program INI in the [P:] form.
  EXPECT_EQ(Out({"[F3]", "3", "3 -24,700,2,78 'Times New Roman'\n"},
                [](EngineRun& r) { r.env.ini["Police-3-Visu"] = "Times New Roman,018/7N2"; }),
            "3 -24,700,2,78 'Times New Roman'\n");
}

TEST_F(LayoutTest, TheGridFromAFont) {
  Out({"[P:Verdana,020][P:XY]", "", ""});
  EXPECT_EQ(last.columnWidth, 13);
  EXPECT_EQ(last.lineHeight, 27);
  EXPECT_EQ(last.columnsPerLine, 794 / 13);
  EXPECT_EQ(last.linesPerPage, (1123 - 2 * 5) / 27);
  Out({"[P:Verdana,020][P:XY0]", "", ""});
  EXPECT_EQ(last.linesPerPage, 1123 / 27);
  // [P:XYD]: the special font becomes the initial numbered font.
  EXPECT_EQ(Out({"[P:Verdana,020][P:XYD]", "1", ""}), "1 -13,400,0,65 'Courier New'\n1 -27,100,0,48 'verdana'\n");
  EXPECT_EQ(last.defaultLineHeight, 27);
}

TEST_F(LayoutTest, TextBlocksAndFiles) {
  const std::string program = ProgramFolder;
  auto files = [program](EngineRun& r) {
    r.env.files[program + "notes.txt"] = "ligne 1\r\nligne [S:2]2";
    r.env.files[DossierFolder + "tst.txt"] = "du dossier";
  };
  SetDossier(Dir() + "/", "TST");
  const Case cases[] = {
      {"[TXTFMT,2,10]un deux trois^quatre\r\ncinq six[TXTFIN]fin", "", "  un deux trois\n  quatre cinq sixfin"},
      {"[TXTFMT]sans fin", "", "sans fin"},
      {"[TXT:notes.txt]\r\n\r\nfin", "", "ligne 1\nligne   2\nfin"},
      {"[TXT:dossier.txt]", "", "du dossier"},
      {"[TXT:absent.txt]x", "", "x"},
  };
  Check(std::begin(cases), std::end(cases), files);
}

TEST_F(LayoutTest, Positions) {
  const Case cases[] = {
      {"[Lig:5]x", "", "\n\n\n\nx"},
      {"a[NL+2]x", "", "a\n\n x"},
      {"[NL+3][NL-1]x", "", "\n\nx"},
      {"ab[Col:10]x", "", "ab       x"},
      {"[M:5]x\r\ny", "", "    x\n    y"},
      {"[C:40]x", "", "                        x"},
      {"[Lig:3][Mem][Lig:1][L:001,mmm,002,mmm]", "L", "L 5,39,14,39 'l:001,mmm,002,mmm'\n"},
      {"[Lig:85][LigFin-3]x", "", "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\nx"},  // fewer lines left than asked: only the flush
      {"[LigFin-3]x", "", "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\nx"},
      {"[Lig:9][NLMax]x", "", "x"},
      {"[PX:0][PY:0]x", "", "x"},
  };
  Check(std::begin(cases), std::end(cases));
  Out({"[PX:40]", "", ""});
  EXPECT_EQ(last.columnWidth, 794 / 40);
  EXPECT_EQ(last.columnsPerLine, 40);
  Out({"[PY:20]", "", ""});
  EXPECT_EQ(last.lineHeight, 1123 / 20);
  EXPECT_EQ(last.linesPerPage, 20);
}

TEST_F(LayoutTest, TooWideABlockIsSaidOnceAndDrawnAnyway) {
  Out({"[D:90]a\r\n[C:100]b", "", ""});
  EXPECT_EQ(warnings.size(), 1u);
  EXPECT_EQ(last.lineStartX, (794 - 900) / 2);
}

TEST_F(LayoutTest, LinesRectanglesPicturesAndColours) {
  const std::string program = ProgramFolder;
  const std::string pictures = "M 10,13,46,39 '" + program + "image.png'\nM 14,13,32,39 'CXDBrush'\n";
  const Case cases[] = {
      {"[L:001,005,080,005]", "L", "L 5,65,716,65 'l:001,005,080,005'\n"},
      {"[R:001,001,ttt,ttt]", "R", "R 5,13,716,1118 'r:001,001,ttt,tttK'\n"},
      {"[Lig:5][R:001,l+0,010,l+2]", "R", "R 5,52,86,78 'r:001,l+0,010,l+2K'\n"},
      {"[CoulT:m][T:001,001,002,002][G:001,001,002,002][N:001,001,002,002]", "TGN",
       "T 5,13,14,26 't:001,001,002,002M'\nG 5,13,14,26 'g:001,001,002,002M'\nN 5,13,14,26 'n:001,001,002,002M'\n"},
      {"[SansCadres][L:001,005,080,005][R:001,001,002,002][AvecCadres][L:001,001,001,002]", "LR",
       "L 5,13,5,26 'l:001,001,001,002'\n"},
      {"[EpT:3][Transparent][Opaque]", "KCD", "K 3,0,0,0 ''\nC 0,0,0,0 ''\nD 0,0,0,0 ''\n"},
      {"ab[Coul:m]cd", "9X", "9 0,0,0,77 ''\nX 1,2,36,13 'abcd'\n"},
      {"[B:001,001,004,002,image.png][I:002,001,004,003,]", "M",
       pictures.c_str()},
      {"[B:001,001,004,002,absente.png]", "M", ""},
  };
  Check(std::begin(cases), std::end(cases), [program](EngineRun& r) { r.env.files[program + "image.png"] = "png"; });
}

TEST_F(LayoutTest, BarcodesAndReadOuts) {
  const Case cases[] = {
      {"[@1CODE]x", "E", "E 1,2,0,13 'AB123'\n"},
      {"[@1CODE]x", "", "     x"},  // blanks keep the text after it in its place
      {"ab[@2EAN]", "F", "F 19,2,0,13 '400638133393'\n"},
      {"[@3CODE][@4CODE][@5CODE]", "HIJ", "H 1,2,0,13 'AB123'\nI 46,2,0,13 'AB123'\nJ 91,2,0,13 'AB123'\n"},
      {"[Heure]|[P.CX]|[PY]|[OX]|[DDev]|[DOut]", "", "10h30|   794|  1123|     0|Imprimante|LPT1:"},
  };
  Check(std::begin(cases), std::end(cases));
}

// An amount, grouped by thousands or not, a balance with its "Db" / "Cr", sits on its last
// digit: right-aligned in its cell, so that the amounts of a column line up whatever the width
// the font gives the blanks between their thousands.
TEST_F(LayoutTest, AmountsSitOnTheirLastDigit) {
  const struct {
    const char *amount, *balance;
  } cases[] = {{"999.00", "386.35 Cr"}, {"1234.50", "13 239.20 Cr"}, {"-1234567.89", "1 234 567.89 Db"}};
  std::set<std::string> edges;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.amount);
    // A balance text is 17 wide, right-justified, as the program formats it.
    const std::string balance = std::string(17 - std::string(c.balance).size(), ' ') + c.balance;
    EngineRun run("[TT-Avant]Total[Col:10][@MONTANT][Col:30][@SOLDE][Col:50][@CODE]",
                  MakeFixture({"MONTANT   M142", "SOLDE     C170", "CODE      C080"},
                              {{'A', {{"MONTANT", c.amount}, {"SOLDE", balance}, {"CODE", "41100000"}}}}));
    run.First();
    std::string right;
    for (const reports::PageRecord& r : run.Page(1)) {
      if (r.kind < 'X') continue;
      right += std::string(r.text) + ":" + r.kind + (r.kind == 'Z' ? std::to_string(r.n1 + r.n3) : "") + " ";
    }
    // Each amount ends where its variable's field ends; texts and codes stay left-aligned.
    EXPECT_NE(right.find("Total:X "), std::string::npos) << right;
    EXPECT_NE(right.find("41100000:X "), std::string::npos) << right;
    edges.insert(right.substr(right.find(":Z") + 2, right.find(' ', right.find(":Z")) - right.find(":Z") - 2));
    EXPECT_EQ(std::count(right.begin(), right.end(), 'Z'), 2) << right;
    edges.insert(right.substr(right.rfind(":Z") + 2, right.find(' ', right.rfind(":Z")) - right.rfind(":Z") - 2));
  }
  EXPECT_EQ(edges.size(), 2u) << "one right edge per column: " << ::testing::PrintToString(edges);
}

// An amount wider than its variable keeps every cent: its cell grows over the free columns on its
// left first, its last digit kept under those of its column; what it needs beyond moves the
// columns the line places after it to the right, so that nothing runs into it or into the next
// cell. The following line stands where the template puts it.
TEST_F(LayoutTest, AnAmountWiderThanItsVariableKeepsItsCentsAndGrowsLeftThenMovesTheRestOfItsLine) {
  const struct {
    const char* total;
    const char* first;  // the line of the total, as the page shows it
  } cases[] = {
      {"1234.56", "Cumul      1234.56 Db      -5.00"},
      {"-1000181.32", "Cumul  -1000181.32 Db      -5.00"},
      {"-10000181.32", "Cumul -10000181.32 Db      -5.00"},
      {"123456789012.34", "Cumul 123456789012.34 Db      -5.00"},
  };
  const char* second = "Ligne        12.00 Db      -5.00";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.total);
    EngineRun run("[TT-Avant]Cumul[Col:9][@TG][Col:20][@DC][Col:23][@M30]\r\n"
                  "Ligne[Col:9][@A][Col:20][@DC][Col:23][@M30]",
                  MakeFixture({"TG        N102", "DC        C020", "M30       M102", "A         N102"},
                              {{'A', {{"TG", c.total}, {"DC", "Db"}, {"M30", "-5"}, {"A", "12"}}}}));
    run.First();
    const std::string text = TextOf(run.Page(1));
    const std::size_t end = text.find('\n');
    EXPECT_EQ(text.substr(0, end), c.first) << text;
    EXPECT_EQ(text.substr(end + 1, text.find('\n', end + 1) - end - 1), second) << text;
    // The amount is one cell of its own, its digits whole.
    EXPECT_NE(RecordsOf(run.Page(1), "Z").find("'" + std::string(c.total) + "'"), std::string::npos)
        << RecordsOf(run.Page(1), "Z");
  }
}

// A balance kept whole past its text variable's width ("99 999 998 295.30 Cr" in a variable of
// 17) and a balance sheet's code value wider than its 14 characters grow over the free columns
// on their left as a wide number does: their last character stays under their column, the cells
// after them stay where they are.
TEST_F(LayoutTest, AWideBalanceAndAWideCodeValueGrowLeft) {
  const struct {
    const char *balance, *value;
    const char* line;  // the line as the page shows it
  } cases[] = {
      {"      1 234.50 Db", "      1 234.50", "Solde           1 234.50 Db x           1 234.50 y"},
      {"99 999 998 295.30 Cr", "-99 999 999 999.99", "Solde  99 999 998 295.30 Cr x -99 999 999 999.99 y"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.balance);
    reports::ReportFixture f = MakeFixture({"SOLDE     C170"}, {{'A', {{"SOLDE", c.balance}}}});
    f.codes["010"] = {"Poste", c.value};
    EngineRun run("[TT-Avant]Solde[Col:11][@SOLDE][Col:29]x[Col:35][BLV:010][Col:50]y", f);
    run.First();
    const std::string text = TextOf(run.Page(1));
    EXPECT_EQ(text.substr(0, text.find('\n')), c.line) << RecordsOf(run.Page(1));
  }
}
