#include "platform/gui/font_map.h"
#include "shell/graphics.h"
#include "shell_test_support.h"

namespace {

using GraphicsTest = ShellTest;

TEST(FontTextTest, FacesSizesAndWeights) {
  const struct {
    const char* text;
    int defaultWeight;
    bool comma;
    const char* face;
    int points;
    int weight;
  } cases[] = {
      {"Verdana,010", 400, true, "Verdana", 10, 400},
      {"Verdana,010/700", 400, true, "Verdana", 10, 700},
      {"Arial,012/7", 0, true, "Arial", 12, 700},
      {"Arial,012/b00", 400, true, "Arial", 12, 0},
      {"Times New Roman,9/400", 0, true, "Times New Roman", 9, 400},
      {"Tahoma,", 400, true, "Tahoma", 0, 400},
      {"17", 400, false, "", 0, 400},
      {"", 0, false, "", 0, 0},
  };
  for (const auto& c : cases) {
    FontText ft = ParseFontText(c.text, c.defaultWeight);
    EXPECT_EQ(ft.hasComma, c.comma) << c.text;
    EXPECT_EQ(ft.face, c.face) << c.text;
    EXPECT_EQ(ft.points, c.points) << c.text;
    EXPECT_EQ(ft.weight, c.weight) << c.text;
  }
}

TEST(FontTextTest, HeightsAndMultipliers) {
  EXPECT_EQ(FontHeight(9, 96), -12);
  EXPECT_EQ(FontHeight(10, 120), -17);
  EXPECT_EQ(BoldTableHeight(-13), -10);
  EXPECT_EQ(BoldTableHeight(6), 9);
  // A multiplier that is not a positive number leaves the metric alone.
  for (const char* bad : {"0", "-2", "abc"}) EXPECT_EQ(ScaleMetric(15, bad), 15) << bad;
  EXPECT_EQ(ScaleMetric(15, "1.3"), 19);
}

TEST_F(GraphicsTest, WithoutAnIniTheListFontIsVerdanaTenPoints) {
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_TRUE(SharedGraphicsMade());
  EXPECT_EQ(TableFont.Desc().face, "Verdana");
  EXPECT_EQ(TableFont.Desc().height, -13);
  EXPECT_EQ(TableFontBold.Desc().height, -10);
  gui::TextMetrics tm = gui::ScreenTextMetrics(TableFont);
  EXPECT_EQ(TableRowHeight, static_cast<int>((tm.height + tm.externalLeading) * 1.3));
  EXPECT_EQ(TableCharWidth, static_cast<int>(tm.aveCharWidth * 1.5));
  EXPECT_GT(EntryRowHeight, 0);
  // The brushes exist even without bitmap resources.
  EXPECT_EQ(BackgroundBrush.GetKind(), gui::Brush::Kind::Pattern);
  FreeSharedGraphics();
  EXPECT_FALSE(SharedGraphicsMade());
}

TEST_F(GraphicsTest, EntryFontStockNumbersStopAtSixteen) {
  SetIni("PoliceSaisies", "16");
  SetIni("MajHautPolSai", "1");
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_EQ(EntryCharWidth, 8);
  EXPECT_EQ(EntryRowHeight, 19);
  EXPECT_TRUE(EntryFont.Desc().fixedPitch);  // stock 16: the system fixed font

  SetIni("PoliceSaisies", "17");  // a text without a comma: default face, -13
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_EQ(EntryFont.Desc().height, -13);
  EXPECT_EQ(EntryFont.Desc().face, "");
  gui::TextMetrics em = gui::ScreenTextMetrics(EntryFont);
  EXPECT_EQ(EntryRowHeight, em.height + em.externalLeading + 2);

  SetIni("PoliceSaisies", "Arial,012/700");
  SetIni("MajLargPolSai", "2");
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_EQ(EntryFont.Desc().face, "Arial");
  EXPECT_EQ(EntryFont.Desc().height, -16);
  EXPECT_EQ(EntryFont.Desc().weight, 700);
  EXPECT_EQ(EntryCharWidth, 2 * gui::ScreenTextMetrics(EntryFont).aveCharWidth);
  FreeSharedGraphics();
}

TEST_F(GraphicsTest, WindowsVersionIsKeptAsTwoBytes) {
  ProgramOptions.assign(22, ' ');
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_EQ(StoredWindowsVersion(), 603);
  StoreWindowsVersion(501);
  EXPECT_EQ(StoredWindowsVersion(), 501);
  FreeSharedGraphics();
}

}  // namespace
