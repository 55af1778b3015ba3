// Device contexts: pixels of a memory bitmap, PDF output, face mapping.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/gui/application.h"
#include "platform/gui/dc.h"
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
      {"arial", "Liberation Sans"},          {" Times New Roman ", "Liberation Serif"},
      {"Courier New", "Liberation Mono"},    {"Wingdings", "DejaVu Sans"},
      {"No Such Face 42", "DejaVu Sans"},
      {"DejaVu Serif", "DejaVu Serif"},  // installed under its own name
  };
  for (const auto& c : cases) EXPECT_EQ(MapFontFace(c.face), c.installed) << c.face;
  // Every face of the table is really installed, so no lookup falls back
  // silently to another family.
  for (const auto& m : FontFaceTable()) EXPECT_EQ(MapFontFace(m.installedFace), m.installedFace) << m.installedFace;
}

TEST(FontMap, SymbolFacesTranslateTheirBytes) {
  EXPECT_EQ(FontSymbolSet("Wingdings"), FontSymbols::Wingdings);
  EXPECT_EQ(FontSymbolSet("Arial"), FontSymbols::None);
  EXPECT_EQ(SymbolToUnicode(FontSymbols::Wingdings, 0xF0), U'\u21E8');  // row marker arrow
  EXPECT_EQ(SymbolToUnicode(FontSymbols::Symbol, 'a'), U'\u03B1');
  EXPECT_EQ(SymbolToUnicode(FontSymbols::None, 0xE9), U'\u00E9');
  EXPECT_EQ(SymbolToUnicode(FontSymbols::Wingdings, '0'), U'0');  // no picture: the byte itself
}

TEST_F(DcTest, FilledAndOutlinedRectanglesCoverWindowsPixels) {
  MemoryDC dc(40, 30, colors::White);
  ASSERT_TRUE(dc.IsValid());
  dc.FillSolidRect(Box{2, 2, 12, 8}, Rgb(10, 20, 30));
  dc.SelectPen(Pen::Solid(colors::LtRed));
  dc.SelectBrush(Brush::Solid(colors::LtBlue));
  dc.Rectangle(20, 10, 30, 20);
  struct Px { int x, y; ColorRef want; } px[] = {
      {11, 7, Rgb(10, 20, 30)}, {12, 7, colors::White}, {11, 8, colors::White}, {20, 10, colors::LtRed},
      {29, 19, colors::LtRed},  {30, 19, colors::White}, {29, 20, colors::White}, {25, 15, colors::LtBlue},
  };
  for (const auto& p : px) EXPECT_EQ(dc.GetPixel(p.x, p.y), p.want) << p.x << "," << p.y;
  EXPECT_EQ(dc.GetPixel(100, 100), 0xFFFFFFFFu);
}

TEST_F(DcTest, LinesStopShortOfTheirEndPoint) {
  MemoryDC dc(20, 20, colors::White);
  dc.SelectPen(Pen::Solid(colors::Black));
  dc.MoveTo(2, 5);
  dc.LineTo(10, 5);
  EXPECT_EQ(std::vector<ColorRef>({dc.GetPixel(2, 5), dc.GetPixel(9, 5), dc.GetPixel(10, 5)}),
            std::vector<ColorRef>({colors::Black, colors::Black, colors::White}));
  EXPECT_EQ(dc.GetCurrentPosition().x, 10);
  dc.SelectPen(Pen::None());
  dc.MoveTo(0, 12);
  dc.LineTo(15, 12);
  EXPECT_EQ(dc.GetPixel(5, 12), colors::White);
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
  EXPECT_GT(ext.cx, 30);
  EXPECT_GE(ext.cy, 16);
  ASSERT_TRUE(dc.TextOut(10, 5, text));
  EXPECT_GT(InkCount(dc, Box{10, 5, 10 + ext.cx, 5 + ext.cy}, colors::White), 20);
  EXPECT_EQ(InkCount(dc, Box{10 + ext.cx + 2, 0, 200, 30}, colors::White), 0);
  // Clipped to a cell: nothing to its right.
  const Box cell{10, 35, 25, 55};
  dc.ExtTextOut(10, 35, ETO_CLIPPED, &cell, "WWWWWWWW");
  EXPECT_GT(InkCount(dc, cell, colors::White), 5);
  EXPECT_EQ(InkCount(dc, Box{25, 35, 200, 55}, colors::White), 0);
  // Opaque background fills the text's cell.
  dc.SetBkMode(OPAQUE);
  dc.SetBkColor(colors::LtYellow);
  dc.TextOut(120, 5, "x");
  EXPECT_EQ(dc.GetPixel(120, 6), colors::LtYellow);
}

TEST_F(DcTest, DrawTextAlignsAndMeasures) {
  MemoryDC dc(200, 40, colors::White);
  dc.SetBkMode(TRANSPARENT);
  Box calc{0, 0, 0, 0};
  dc.DrawText("Total", calc, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(calc.Width(), dc.GetTextExtent("Total").cx);
  Box right{0, 0, 200, 40};
  dc.DrawText("Total", right, DT_SINGLELINE | DT_RIGHT | DT_VCENTER);
  EXPECT_EQ(InkCount(dc, Box{0, 0, 200 - calc.Width() - 2, 40}, colors::White), 0);
  EXPECT_GT(InkCount(dc, Box{200 - calc.Width(), 0, 200, 40}, colors::White), 10);
}

TEST_F(DcTest, StateSaveRestoreAndMapping) {
  MemoryDC dc(100, 100, colors::White);
  const int saved = dc.SaveDC();
  dc.SetTextColor(colors::LtRed);
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt(10, 10);
  dc.SetViewportExt(100, 100);
  EXPECT_EQ(dc.LPtoDP(Point{3, 4}).x, 30);
  EXPECT_EQ(dc.DPtoLP(Point{50, 70}).y, 7);
  dc.FillSolidRect(Box{1, 1, 2, 2}, colors::Black);  // device 10..19
  EXPECT_EQ(dc.GetPixel(1, 1), colors::Black);      // read in logical units too
  EXPECT_TRUE(dc.RestoreDC(saved));
  EXPECT_EQ(dc.GetTextColor(), colors::Black);
  EXPECT_EQ(dc.GetMapMode(), MM_TEXT);
  EXPECT_EQ(dc.GetPixel(15, 15), colors::Black);
  EXPECT_EQ(dc.GetPixel(25, 25), colors::White);
  EXPECT_FALSE(dc.RestoreDC(5));
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
    EXPECT_NEAR(dc.GetDeviceCaps(HORZRES), 2480, 5);  // A4 width at 300 dpi
    for (int page = 1; page <= 2; ++page) {
      ASSERT_TRUE(dc.StartPage());
      FontDesc fd;
      fd.face = "Times New Roman";
      fd.height = FontHeightForPoints(12, dc.GetDeviceCaps(LOGPIXELSY));
      dc.SelectFont(Font(fd));
      dc.TextOut(200, 200, "Page " + std::to_string(page) + " \x80 100,00");
      dc.SelectPen(Pen{PenStyle::Dash, 3, colors::Gray});
      dc.RoundRect(150, 150, 1500, 400, 40, 40);
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

  auto printer = PrinterDC::ToFile(dir_ / "printer.pdf");
  ASSERT_TRUE(printer->StartDoc("Grand livre"));
  ASSERT_TRUE(printer->StartPage());
  printer->TextOut(100, 100, "Grand livre");
  printer->EndPage();
  printer->EndDoc();
  EXPECT_EQ(ReadAll(dir_ / "printer.pdf").substr(0, 5), "%PDF-");
}

}  // namespace
