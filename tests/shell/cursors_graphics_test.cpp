#include <cstring>
#include "platform/gui/cursor.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "platform/gui/font_map.h"
#include "shell/graphics.h"
#include "shell/progress.h"
#include "shell_test_support.h"

namespace {

using CursorTest = ShellTest;
using GraphicsTest = ShellTest;

// The cursors shown while counting up to each value, one step at a time.
std::vector<std::string> Shown(Progress& p, std::initializer_list<long> counts) {
  std::vector<std::string> out;
  for (long c : counts) {
    int stage = p.Stage();
    p.ProgressStep(c, false);
    out.push_back(std::to_string(p.Stage() - stage) + ":" + gui::CurrentCursorName());
  }
  return out;
}

TEST_F(CursorTest, ProgressPassesTenStages) {
  Progress p(100);
  EXPECT_EQ(gui::CurrentCursorName(), "C15");
  EXPECT_EQ(Shown(p, {1, 5, 10, 11, 20, 55, 56, 90, 98, 99, 200}),
            (std::vector<std::string>{"0:C15", "0:C15", "1:C16", "0:C16", "1:C17", "3:C20", "0:C20",
                                      "4:C24", "0:C24", "1:C25", "0:C25"}));
  EXPECT_EQ(p.Stage(), 10);
}

TEST_F(CursorTest, FolderChoiceKeepsCaseAddsTheSlashAndComesBack) {
  std::string chosen = folder_ + "/Compta/Dossier A";
  std::filesystem::create_directories(chosen);
  std::strcpy(ScratchText, "unchanged");
  gui::ModalSeam::QueueFolderAnswer("");
  EXPECT_FALSE(BrowseForFolder(nullptr, "Choisir", folder_));
  EXPECT_STREQ(ScratchText, "unchanged");

  gui::ModalSeam::QueueFolderAnswer(chosen);
  ASSERT_TRUE(BrowseForFolder(nullptr, "Choisir", "   "));
  EXPECT_EQ(std::string(ScratchText), chosen + "/");
  ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
  EXPECT_EQ(gui::ModalSeam::LastShown()->kind, gui::ModalKind::Folder);
  EXPECT_EQ(std::filesystem::current_path().string() + "/", ProgramFolder);
}

// What the INI says reaches the fonts: the default list font, the stock fonts up to 16,
// a face and weight, and the width multiplier.
TEST_F(GraphicsTest, FontsFollowTheIni) {
  ASSERT_TRUE(MakeSharedGraphics(96));
  EXPECT_EQ(std::pair(TableFont.Desc().face, TableFont.Desc().height), std::pair(std::string("Verdana"), -13));
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
