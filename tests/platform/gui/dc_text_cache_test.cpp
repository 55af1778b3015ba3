// Widths that the device contexts keep per font, and blank texts drawn
// without ink: each must give exactly what a fresh measure or a full
// drawing gives.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/dc.h"
#include "platform/gui/dc_internal.h"

namespace {

using namespace gui;

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

TEST(DcTextCacheTest, SymbolFacesKeepTheirOwnWidths) {
  Application::EnsureQt();
  // Both draw with the same installed family and size; the symbol face
  // turns byte 0xF0 into an arrow where the plain face shows a letter.
  const Font plain = Face("MS Sans Serif", -13);
  const Font symbol = Face("Wingdings", -13, false, false, SYMBOL_CHARSET);
  ASSERT_EQ(plain.InstalledFace(), symbol.InstalledFace());
  MemoryDC dc(50, 20);
  dc.SelectFont(plain);
  const int letter = FreshWidth(dc, "\xF0");
  dc.SelectFont(symbol);
  ASSERT_NE(FreshWidth(dc, "\xF0"), letter) << "the two faces must differ for this test to tell them apart";
  for (const Font* f : {&plain, &symbol, &plain, &symbol}) {
    dc.SelectFont(*f);
    EXPECT_EQ(dc.GetTextExtent("\xF0").cx, FreshWidth(dc, "\xF0")) << f->Desc().face;
    EXPECT_EQ(dc.GetTextExtent("\xF0\xF0 ").cx, FreshWidth(dc, "\xF0\xF0 ")) << f->Desc().face;
    EXPECT_EQ(dc.GetCharsWidth("\xF0"), FreshWidth(dc, "\xF0")) << f->Desc().face;
  }
}

TEST(DcTextCacheTest, ManyTextsStillMeasureRight) {
  Application::EnsureQt();
  MemoryDC dc(50, 20);
  dc.SelectFont(Face("MS Sans Serif", -11));
  // More texts than are kept: the oldest are forgotten, never mixed up.
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 5000; i += round == 0 ? 7 : 499) {
      const std::string t = "Compte " + std::to_string(i * 7919);
      ASSERT_EQ(dc.GetTextExtent(t).cx, FreshWidth(dc, t)) << t;
    }
}

TEST(DcTextCacheTest, BlankTextsDrawOnlyWhatShows) {
  Application::EnsureQt();
  const Box cell{0, 0, 60, 20};
  struct Case { const char* what; bool struck, underlined; int bkMode; unsigned options; bool inked; } cases[] = {
      {"transparent blanks", false, false, TRANSPARENT, ETO_CLIPPED, false},
      {"opaque background", false, false, OPAQUE, ETO_CLIPPED, true},
      {"opaque cell", false, false, TRANSPARENT, ETO_CLIPPED | ETO_OPAQUE, true},
      {"struck out", true, false, TRANSPARENT, ETO_CLIPPED, true},
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
