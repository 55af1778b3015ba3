#include <tuple>

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
      {"Verdana,010/700", 400, true, "Verdana", 10, 700},
      {"Arial,012/7", 0, true, "Arial", 12, 700},
      {"Arial,012/b00", 400, true, "Arial", 12, 0},
      {"Tahoma,", 400, true, "Tahoma", 0, 400},
      {"17", 400, false, "", 0, 400},
  };
  for (const auto& c : cases) {
    FontText ft = ParseFontText(c.text, c.defaultWeight);
    EXPECT_EQ(std::tie(ft.hasComma, ft.face, ft.points, ft.weight), std::tie(c.comma, c.face, c.points, c.weight))
        << c.text;
  }
}

// What the INI says reaches the fonts: the default list font, the stock fonts up to 16,
// a face and weight, and the width multiplier.
TEST_F(GraphicsTest, FontsFollowTheIni) {
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_EQ(TableFont.Desc().face, "Verdana");
  EXPECT_EQ(TableFont.Desc().height, -13);
  EXPECT_EQ(BackgroundBrush.GetKind(), gui::Brush::Kind::Pattern);  // even without bitmap resources
  SetIni("PoliceSaisies", "16");
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_TRUE(EntryFont.Desc().fixedPitch);
  SetIni("PoliceSaisies", "Arial,012/700");
  SetIni("MajLargPolSai", "2");
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_EQ(EntryFont.Desc().face, "Arial");
  EXPECT_EQ(EntryFont.Desc().weight, 700);
  EXPECT_EQ(EntryCharWidth, 2 * gui::ScreenTextMetrics(EntryFont).aveCharWidth);
  for (const char* bad : {"0", "-2", "abc"}) EXPECT_EQ(ScaleMetric(15, bad), 15) << bad;
  FreeSharedGraphics();
  EXPECT_FALSE(SharedGraphicsMade());
}

}  // namespace
