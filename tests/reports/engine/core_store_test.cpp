// The page store, the paint walk from a page's records to canvas calls, the word search over
// the stored pages, and the preview's zoom and scroll arithmetic.
#include "core_support.h"
#include "platform/system/process.h"
#include "reports/engine/core/page_html.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/core/preview_navigation.h"

using namespace test_support;
using reports::PreviewPage;

namespace {

class StoreTest : public RuntimeTest {};

std::string Calls(const reports::FixedMetricsCanvas& canvas) {
  std::string out;
  for (const std::string& c : canvas.Calls()) out += c + "\n";
  return out;
}

}  // namespace

TEST_F(StoreTest, RecordsComeBackAsWritten) {
  PreviewPage page;
  EXPECT_EQ(RecordsOf(page), "");
  page.Append('X', -12, 999999, 1234567, 0, "[a] {b} c");
  page.Append('C', 0, 0, 0, 0, "");
  page.Append('Z', 1, 2, 3, 4, std::string(5000, 'w'));
  EXPECT_EQ(page.RecordCount(), 3u);
  auto it = page.begin();
  EXPECT_EQ(it->kind, 'X');
  EXPECT_EQ(it->n1, -12);
  EXPECT_EQ(it->n3, 1234567);
  EXPECT_EQ(it->text, "[a] {b} c");
  ++it;
  EXPECT_EQ(it->text, "");
  ++it;
  EXPECT_EQ(it->text.size(), 5000u);
  reports::PreviewPageStore store;
  store.OpenPage(3);
  EXPECT_EQ(store.PageCount(), 3);
  EXPECT_EQ(store.Page(4), nullptr);
  EXPECT_TRUE(store.Page(2)->Empty());
}

// A page opened after another starts empty whatever room it was given, and keeps every record
// it is given past that room; a page opened again starts over.
TEST_F(StoreTest, PagesOpenedOneAfterAnotherHoldOnlyTheirRecords) {
  reports::PreviewPageStore store;
  auto fill = [&store](int number, int records, std::size_t textSize) {
    PreviewPage& page = store.OpenPage(number);
    EXPECT_TRUE(page.Empty());
    EXPECT_EQ(page.Bytes(), 0u);
    EXPECT_EQ(RecordsOf(page), "");
    for (int i = 0; i < records; ++i) page.Append('X', i, -i, number, 0, std::string(textSize, static_cast<char>('a' + i % 26)));
  };
  auto check = [&store](int number, int records, std::size_t textSize) {
    SCOPED_TRACE(number);
    const PreviewPage& page = *store.Page(number);
    EXPECT_EQ(page.RecordCount(), static_cast<std::size_t>(records));
    int i = 0;
    std::size_t bytes = 0;
    for (const reports::PageRecord& r : page) {
      EXPECT_EQ(r.n1, i);
      EXPECT_EQ(r.n2, -i);
      EXPECT_EQ(r.n3, number);
      EXPECT_EQ(r.text, std::string(textSize, static_cast<char>('a' + i % 26)));
      bytes += r.text.size();
      ++i;
    }
    EXPECT_EQ(i, records);
    // Each record's head takes a few bytes beside its text.
    EXPECT_EQ(page.Bytes() > bytes, records > 0);
    EXPECT_LE(page.Bytes(), bytes + 32 * static_cast<std::size_t>(records));
  };
  fill(1, 300, 20);
  fill(2, 10, 3);     // far smaller than the room the first page leaves it
  fill(3, 1000, 40);  // far larger
  fill(4, 0, 0);
  check(1, 300, 20);
  check(2, 10, 3);
  check(3, 1000, 40);
  check(4, 0, 0);
  fill(3, 2, 1);  // opened again: only its new records
  check(3, 2, 1);
  check(2, 10, 3);
  // A copy keeps the records of its page as they were; a page moved from is left empty.
  PreviewPage copy = *store.Page(1);
  const std::string before = RecordsOf(copy);
  store.MutablePage(1)->Append('Y', 0, 0, 0, 0, "after the copy");
  EXPECT_EQ(copy.RecordCount(), 300u);
  EXPECT_EQ(store.Page(1)->RecordCount(), 301u);
  EXPECT_EQ(RecordsOf(*store.Page(1)), before + "Y 0,0,0,0 'after the copy'\n");
  EXPECT_EQ(RecordsOf(copy), before);
  PreviewPage moved = std::move(copy);
  EXPECT_EQ(moved.RecordCount(), 300u);
  EXPECT_TRUE(copy.Empty());  // NOLINT(bugprone-use-after-move): the state left is promised
  EXPECT_EQ(copy.Bytes(), 0u);
  EXPECT_EQ(RecordsOf(copy), "");
  copy = moved;
  copy.Append('Y', 0, 0, 0, 0, "on the copy");
  EXPECT_EQ(moved.RecordCount(), 300u);
  EXPECT_EQ(RecordsOf(copy).find(RecordsOf(moved)), 0u);
}

TEST_F(StoreTest, PaintWalk) {
  PreviewPage page;
  page.Append('1', -13, 400, 0, 'A', "Courier New");
  page.Append('2', -10, 700, 3, 'M', "Arial");
  page.Append('X', 10, 20, 90, 13, "gauche");
  page.Append('Y', 10, 40, 90, 13, "centre");
  page.Append('Z', 10, 60, 90, 13, "droite");
  page.Append('Y', 10, 80, 18, 13, "trop large");  // wider than its cell: starts left of it
  page.Append('A', '1', 0, 0, 0, "bu");
  page.Append('9', 0, 0, 0, 'C', "");
  page.Append('X', 0, 100, 30, 13, "bleu");
  page.Append('7', -13, 100, 0, 'A', "Arial");
  page.Append('X', 0, 120, 30, 13, "vertical");  // never clipped
  page.Append('K', 2, 0, 0, 0, "");
  page.Append('L', 0, 5, 100, 5, "");
  page.Append('T', 5, 5, 50, 50, "t:001,001,002,002E");
  page.Append('Q', 1, 1, 1, 1, "inconnu");
  reports::FixedMetricsCanvas canvas;
  reports::PaintOptions options;
  options.zoom = 2;
  options.scrollX = -10;
  const reports::PageExtent extent = reports::PaintPage(page, canvas, options);
  EXPECT_EQ(extent.x, 100);
  EXPECT_EQ(extent.y, 133);
  EXPECT_EQ(Calls(canvas),
            "transparent\n"
            "font -26 w400 e0 'Courier New'\n"
            "font -20 w700 i u e0 'Arial'\n"
            "colour 255.0.0\n"
            "text 10,40 'gauche' clip 10,40-190,66\n"
            "text 70,80 'centre' clip 70,80-190,106\n"
            "text 130,120 'droite' clip 130,120-190,146\n"
            "text -22,160 'trop large' clip -22,160-46,186\n"
            "font -26 w700 u e0 'Courier New'\n"
            "colour 0.0.255\n"
            "text -10,200 'bleu' clip -10,200-50,226\n"
            "font -26 w100 e900 'Arial'\n"
            "colour 0.0.0\n"
            "text -10,240 'vertical'\n"
            "line -10,10-190,10 w4 0.0.0\n"
            "rect 0,10-90,100 pen 192.192.192 w4 fill 0.128.128\n");
}

TEST_F(StoreTest, SearchedWordsShowInLightRed) {
  PreviewPage page;
  page.Append('X', 0, 0, 50, 13, "Total client");
  page.Append('X', 0, 20, 50, 13, "Autre");
  reports::FixedMetricsCanvas canvas;
  reports::PaintOptions options;
  options.highlightWords = "CLIENT | ";
  reports::PaintPage(page, canvas, options);
  EXPECT_EQ(Calls(canvas),
            "transparent\ncolour 255.96.96\ntext 0,0 'Total client' clip 0,0-50,13\n"
            "colour 0.0.0\ntext 0,20 'Autre' clip 0,20-50,33\n");
}

TEST_F(StoreTest, WordSearch) {
  reports::PreviewPageStore store;
  store.OpenPage(1).Append('X', 100, 1, 0, 0, "Compte 411000");
  store.OpenPage(2).Append('X', 0, 0, 0, 0, "Banque Populaire");
  store.MutablePage(2)->Append('Y', 0, 0, 0, 0, "solde d\xE9" "biteur");
  store.OpenPage(3).Append('R', 1, 1, 1, 1, "r:001,001,002,002 total");
  struct Search {
    const char* words;
    int page1, page2, page3;
  };
  const Search searches[] = {
      {"411", 1, 0, 0},
      {"1", 1, 0, 0},  // record headers are never searched: only the texts
      {"TOTAL", 0, 0, 0},  // nor the texts of frames
      {"BANQUE&D\xC9" "BITEUR", 0, 1, 0},
      {"BANQUE&CR\xC9" "DITEUR", 0, 0, 0},
      {"CR\xC9" "DITEUR|BANQUE", 0, 1, 0},
      {"BANQUE&", 0, 0, 0},  // a word expected after the separator
      {"COMPTE |X", 1, 0, 0},  // the blank belongs to the word
      {"COMPTE|X", 1, 0, 0},
      {"BANQUE &POPULAIRE", 0, 1, 0},
      {"POPULAIRE &BANQUE", 0, 0, 0},
  };
  for (const Search& s : searches) {
    const int got[] = {reports::PageMatches(*store.Page(1), s.words), reports::PageMatches(*store.Page(2), s.words),
                       reports::PageMatches(*store.Page(3), s.words)};
    EXPECT_EQ(got[0], s.page1) << s.words;
    EXPECT_EQ(got[1], s.page2) << s.words;
    EXPECT_EQ(got[2], s.page3) << s.words;
  }
  // From the current page, again from the next; beyond the pages known, from page 1.
  EXPECT_EQ(reports::FindWord(store, "BANQUE", 1, false, 3, 3), 2);
  EXPECT_EQ(reports::FindWord(store, "BANQUE", 2, true, 3, 3), 0);
  EXPECT_EQ(reports::FindWord(store, "COMPTE", 3, true, 3, 3), 1);
  EXPECT_EQ(reports::FindWord(store, "COMPTE", 2, true, 3, 3), 0);
  EXPECT_EQ(reports::SearchNotFoundText("ABC"), "\n\n\n   Mot(s):\n\n      'ABC'\n\n   introuvable(s)\n\n\n");
}

TEST_F(StoreTest, AReportSearchesItsPagesTexts) {
  // The single digit 1 found every page through record headers: only the pages that print a 1.
  std::vector<reports::FixtureRecord> records;
  for (int i = 0; i < 30; ++i) records.push_back({'A', {{"N", std::to_string(i * 2)}}});
  EngineRun run("[ITD][TT-Avant][@N][TT-Suivant]\r\n[ITF]", MakeFixture({"N         C040"}, records));
  run.setup.pageHeight = 60;  // 4 lines a page
  run.ToEnd();
  ASSERT_EQ(run.context.store.PageCount(), 8);
  std::vector<int> pages;
  for (int p = 1; p <= 8; ++p) {
    if (reports::PageMatches(run.Page(p), "1")) pages.push_back(p);
  }
  EXPECT_EQ(pages, (std::vector<int>{2, 3}));  // 8-14 and 16-22; not 0-6, 24-30 ...
}

TEST_F(StoreTest, ZoomAndScroll) {
  reports::PreviewView v;
  v.zoomPointX = 100;
  v.zoomPointY = 50;
  reports::ApplyPaintMode(v, 2);
  EXPECT_EQ(v.zoom, 2);
  EXPECT_EQ(v.scrollX, -100);
  EXPECT_EQ(v.scrollY, -50);
  reports::ApplyPaintMode(v, 2);
  EXPECT_EQ(v.zoom, 4);
  EXPECT_EQ(v.scrollX, -300);
  reports::ApplyPaintMode(v, 1);
  EXPECT_EQ(v.zoom, 4);
  reports::ApplyPaintMode(v, 2);
  EXPECT_EQ(v.zoom, 1);
  EXPECT_EQ(v.scrollX, 0);
  reports::ApplyPaintMode(v, 2);
  reports::ApplyPaintMode(v, 0);
  EXPECT_EQ(v.zoom, 1);
  EXPECT_EQ(v.scrollY, 0);

  // A page of 800 x 1100 at zoom 2 in a window of 600 x 400.
  reports::PreviewView s;
  s.zoom = 2;
  s.extentX = 800;
  s.extentY = 1100;
  EXPECT_FALSE(reports::ScrollLeft(s, 600));
  EXPECT_TRUE(reports::CanScrollRight(s, 600));
  EXPECT_TRUE(reports::ScrollRight(s, 600));
  EXPECT_EQ(s.scrollX, -420);
  while (reports::ScrollRight(s, 600)) {
  }
  // The page's right edge stops at 70 % of the window.
  EXPECT_EQ(s.scrollX, 420 - 1600);
  EXPECT_FALSE(reports::CanScrollRight(s, 600));
  EXPECT_TRUE(reports::ScrollLeft(s, 600));
  EXPECT_EQ(s.scrollX, 420 - 1600 + 480);
  EXPECT_TRUE(reports::ScrollDown(s, 400, false));
  EXPECT_EQ(s.scrollY, -80);
  EXPECT_TRUE(reports::ScrollDown(s, 400, true));
  EXPECT_EQ(s.scrollY, -360);
  EXPECT_TRUE(reports::ScrollUp(s, 400, true));
  EXPECT_EQ(s.scrollY, -80);
  EXPECT_TRUE(reports::ScrollUp(s, 400, true));
  EXPECT_EQ(s.scrollY, 0);
  EXPECT_FALSE(reports::ScrollUp(s, 400, false));
  // An extent not known yet counts as scrollable; a page narrower than the window is not.
  reports::PreviewView unknown;
  EXPECT_TRUE(reports::CanScrollRight(unknown, 600));
  unknown.extentX = 300;
  EXPECT_FALSE(reports::CanScrollRight(unknown, 600));
  EXPECT_EQ(reports::MarkerLineY(30, 13), 42);
}

TEST_F(StoreTest, PageStatusAndDocumentTitle) {
  EXPECT_EQ(reports::PageStatusText(3, 12), "Page:    3/   12");
  EXPECT_EQ(reports::MakeDocumentTitle("TST  ", "Grand livre: 01/01  "), "TST-Grand-livre-01-01");
  EXPECT_EQ(reports::MakeDocumentTitle("AB", "Etat  a   b"), "AB-Etat-a-b");
}

// The limits of a run in words, the codes trimmed.
TEST_F(StoreTest, LimitsInWords) {
  const struct {
    const char* from;
    const char* to;
    const char* words;
  } cases[] = {
      {"", "  ", "Edition compl\xE8te"},
      {" 401", "", "A partir de 401"},
      {"401 ", " 401", "Seulement 401"},
      {"", "512", "Jusqu'\xE0 512"},
      {"401", "512  ", "De 401 \xE0 512"},
  };
  for (const auto& c : cases) EXPECT_EQ(reports::LimitsDescription(c.from, c.to), c.words) << c.from << "/" << c.to;
}

TEST_F(StoreTest, ThePageAsHtmlPassesTidyAndXmllint) {
  EngineRun run("[F3]Grand <livre> & 'co'[F1][S:10][=]centre[S:5][>]droite\r\n[R:001,001,080,003][L:001,004,080,004]"
                "[CoulT:m][T:002,005,010,006][Coul:M]rouge",
                MakeFixture({"X         C010"}, {{'A', {{"X", "x"}}}}));
  run.First();
  const std::string html = reports::PageAsHtml(run.Page(1), "TST-Grand-livre page 1");
  EXPECT_NE(html.find("font-family:\"Courier New\";font-size:16px;font-weight:700;color:#000000;'>&lt;livre&gt;</div>"),
            std::string::npos) << html;
  EXPECT_NE(html.find(">&#39;co&#39;</div>"), std::string::npos);
  EXPECT_NE(html.find("text-align:center"), std::string::npos);
  EXPECT_NE(html.find("border-top:1px solid #000000"), std::string::npos);
  EXPECT_NE(html.find("background:#ff0000"), std::string::npos);
  EXPECT_NE(html.find("color:#ff0000;'>rouge"), std::string::npos);
  const std::string path = ArtefactPathFor("reports-engine", "page.htm");
  std::ofstream(path, std::ios::binary) << html;
  platform::LaunchOptions wait;
  wait.wait = true;
  wait.captureOutput = true;
  const platform::LaunchResult tidy = platform::LaunchProcess({"tidy", "-q", "-errors", path}, wait);
  EXPECT_LT(tidy.exitStatus, 2) << tidy.output;
  EXPECT_EQ(platform::LaunchProcess({"xmllint", "--html", "--noout", path}, wait).exitStatus, 0);
}
