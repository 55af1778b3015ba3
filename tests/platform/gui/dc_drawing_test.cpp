// Device contexts: pixels of a memory bitmap, PDF output, face mapping; the
// widths kept per font and the blank texts drawn without ink, which must give
// what a fresh measure or a full drawing gives.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/dc.h"
#include "platform/gui/dc_internal.h"
#include "platform/gui/font_map.h"
#include "platform/gui/printer.h"
#include "support/temp_folder.h"

namespace {

using namespace gui;
namespace fs = std::filesystem;

class DcTest : public ::testing::Test {
 protected:
  void SetUp() override { Application::EnsureQt(); }
  test_support::TempFolder dir_{"merlon-dc"};
};

TEST(FontMap, WindowsFacesMapToInstalledFaces) {
  Application::EnsureQt();
  struct Case { const char* face; const char* installed; } cases[] = {
      {" Times New Roman ", "Liberation Serif"}, {"No Such Face 42", "DejaVu Sans"},
  };
  for (const auto& c : cases) EXPECT_EQ(MapFontFace(c.face), c.installed) << c.face;
  // Every face of the table is really installed, so no lookup falls back
  // silently to another family.
  for (const auto& m : FontFaceTable()) EXPECT_EQ(MapFontFace(m.installedFace), m.installedFace) << m.installedFace;
}

TEST_F(DcTest, LinesStopShortOfTheirEndPoint) {
  MemoryDC dc(20, 20, colors::White);
  dc.SelectPen(Pen::Solid(colors::Black));
  dc.MoveTo(2, 5);
  dc.LineTo(10, 5);
  EXPECT_EQ(std::vector<ColorRef>({dc.GetPixel(2, 5), dc.GetPixel(9, 5), dc.GetPixel(10, 5)}),
            std::vector<ColorRef>({colors::Black, colors::Black, colors::White}));
}

int InkCount(DC& dc, const Box& b, ColorRef background) {
  int n = 0;
  for (int y = b.top; y < b.bottom; ++y)
    for (int x = b.left; x < b.right; ++x)
      if (dc.GetPixel(x, y) != background) ++n;
  return n;
}

TEST_F(DcTest, TextIsDrawnInsideItsExtentAndClipped) {
  MemoryDC dc(200, 60, colors::White);
  FontDesc fd;
  fd.face = "Arial";
  fd.height = -16;
  dc.SelectFont(Font(fd));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(colors::Black);
  const std::string text = "Cr\xE9" "dit 12";
  const Size ext = dc.GetTextExtent(text);
  ASSERT_TRUE(dc.TextOut(10, 5, text));
  EXPECT_GT(InkCount(dc, Box{10, 5, 10 + ext.cx, 5 + ext.cy}, colors::White), 20);
  EXPECT_EQ(InkCount(dc, Box{10 + ext.cx + 2, 0, 200, 30}, colors::White), 0);
  // Clipped to a cell: nothing to its right.
  const Box cell{10, 35, 25, 55};
  dc.ExtTextOut(10, 35, ETO_CLIPPED, &cell, "WWWWWWWW");
  EXPECT_GT(InkCount(dc, cell, colors::White), 5);
  EXPECT_EQ(InkCount(dc, Box{25, 35, 200, 55}, colors::White), 0);
}

std::string ReadAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(DcTest, PdfDocumentsAreWrittenPageByPage) {
  const std::string pdf = dir_ / "report.pdf";
  {
    PdfDC dc(pdf, false, 300);
    EXPECT_FALSE(dc.StartPage());  // no document yet
    ASSERT_TRUE(dc.StartDoc("Balance"));
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 300);
    for (int page = 1; page <= 2; ++page) {
      ASSERT_TRUE(dc.StartPage());
      FontDesc fd;
      fd.face = "Times New Roman";
      fd.height = FontHeightForPoints(12, dc.GetDeviceCaps(LOGPIXELSY));
      dc.SelectFont(Font(fd));
      dc.TextOut(200, 200, "Page " + std::to_string(page) + " \x80 100,00");
      EXPECT_TRUE(dc.EndPage());
    }
    EXPECT_TRUE(dc.EndDoc());
    EXPECT_EQ(dc.PageCount(), 2);
  }
  const std::string data = ReadAll(pdf);
  ASSERT_GT(data.size(), 1000u);
  EXPECT_EQ(data.substr(0, 5), "%PDF-");
  EXPECT_NE(data.find("%%EOF"), std::string::npos);
  EXPECT_NE(data.find("/Count 2"), std::string::npos);
}

Font Face(const char* face, int height, bool bold = false, bool struck = false, int charSet = ANSI_CHARSET) {
  FontDesc d;
  d.face = face;
  d.height = height;
  d.weight = bold ? FW_BOLD : FW_NORMAL;
  d.strikeOut = struck;
  d.charSet = charSet;
  return Font(d);
}

// What the painter of a context measures for a text, without any memory.
int FreshWidth(DC& dc, const std::string& text) {
  return dc.Painter()->fontMetrics().horizontalAdvance(FontText(dc.GetFont(), text));
}

bool AllWhite(const QImage& img) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return false;
  return true;
}

TEST(DcTextCacheTest, KeptWidthsEqualFreshMeasures) {
  Application::EnsureQt();
  const std::vector<Font> fonts = {Face("MS Sans Serif", -11), Face("MS Sans Serif", -11, true),
                                   Face("Courier New", -13), Face("Arial", 16)};
  const std::vector<std::string> texts = {"", "W", "Nom du compte", "AVATAR", "\xE9t\xE9 \x80 12,50", "ffi fl", "   "};
  MemoryDC dc(50, 20);
  // Twice: the second round answers from what the first kept.
  for (int round = 0; round < 2; ++round)
    for (const Font& f : fonts) {
      dc.SelectFont(f);
      const int height = dc.Painter()->fontMetrics().height();
      for (const std::string& t : texts) {
        const Size s = dc.GetTextExtent(t);
        EXPECT_EQ(s.cx, FreshWidth(dc, t)) << f.Desc().face << " '" << t << "' round " << round;
        EXPECT_EQ(s.cy, height) << f.Desc().face;
      }
    }
}

TEST(DcTextCacheTest, BlankTextsDrawOnlyWhatShows) {
  Application::EnsureQt();
  const Box cell{0, 0, 60, 20};
  struct Case { const char* what; bool struck, underlined; int bkMode; unsigned options; bool inked; } cases[] = {
      {"transparent blanks", false, false, TRANSPARENT, ETO_CLIPPED, false},
      {"opaque background", false, false, OPAQUE, ETO_CLIPPED, true},
      {"underlined", false, true, TRANSPARENT, ETO_CLIPPED, true},
  };
  for (const Case& c : cases) {
    FontDesc d;
    d.face = "MS Sans Serif";
    d.height = -13;
    d.strikeOut = c.struck;
    d.underline = c.underlined;
    MemoryDC dc(60, 20);
    dc.SelectFont(Font(d));
    dc.SetBkMode(c.bkMode);
    dc.SetBkColor(colors::Black);
    dc.SetTextColor(colors::Black);
    EXPECT_TRUE(dc.ExtTextOut(2, 3, c.options, &cell, "     ")) << c.what;
    EXPECT_EQ(!AllWhite(dc.GetBitmap().Image()), c.inked) << c.what;
  }
  // A text with a letter among its blanks is drawn.
  MemoryDC dc(60, 20);
  dc.SetBkMode(TRANSPARENT);
  dc.ExtTextOut(2, 3, ETO_CLIPPED, &cell, "  x  ");
  EXPECT_FALSE(AllWhite(dc.GetBitmap().Image()));
}

}  // namespace
