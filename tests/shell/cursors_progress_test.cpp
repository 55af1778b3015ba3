#include <cstring>
#include "platform/gui/cursor.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/progress.h"
#include "shell_test_support.h"

namespace {

using CursorTest = ShellTest;

TEST_F(CursorTest, EveryNamedCursorHasItsImage) {
  for (int id = 512; id <= 540; ++id) EXPECT_TRUE(gui::HasCursorImage(LoadStr(id))) << LoadStr(id);
}

TEST_F(CursorTest, AnimationWrapsAfterEightFramesAndBusyAlternates) {
  ResetCursorState();
  std::vector<std::string> seen;
  for (int i = 0; i < 9; ++i) {
    AnimateCursor();
    seen.push_back(gui::CurrentCursorName());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"C07", "C08", "C09", "C10", "C11", "C12", "C13", "C14", "C07"}));
  for (const char* busy : {"C02", "C03", "C02"}) {
    ToggleBusyCursor();
    EXPECT_EQ(gui::CurrentCursorName(), busy);
  }
  SetAppCursor(0, false);
  EXPECT_EQ(gui::CurrentCursorName(), "");
}

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

  // A jump from the start to 55 passes five stages at once.
  p.ProgressInit(100);
  p.ProgressStep(55, false);
  EXPECT_EQ(p.Stage(), 5);
  EXPECT_EQ(gui::CurrentCursorName(), "C20");
}

TEST_F(CursorTest, ProgressOfASmallTotal) {
  Progress p(5);
  for (int s = 1; s <= 9; ++s) EXPECT_EQ(p.Threshold(s), 0);
  EXPECT_EQ(p.Threshold(10), 4);
  p.ProgressStep(2, false);
  EXPECT_EQ(p.Stage(), 9);
  EXPECT_EQ(gui::CurrentCursorName(), "C24");
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

}  // namespace
