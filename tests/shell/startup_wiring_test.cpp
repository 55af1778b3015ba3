// The program folder's seeding from the share folder, and what the start-up
// wires once the shared graphics exist: the framework's lock notice as a
// dialog through the seam.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/program_hooks.h"
#include "platform/gui/dialog.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "shell/graphics.h"
#include "shell/seeding.h"
#include "shell_test_support.h"
#include "support/other_process.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
void Write(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// A share folder and a program folder of their own.
class SeedingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write(share_ / "CRefEML.txt", "To: [DESTINATAIRE:A]\r\n");
    Write(share_ / "CSAUVE9.BAT", "#!/bin/sh\n");
    ::chmod((share_ / "CSAUVE9.BAT").c_str(), 0755);
    Write(share_ / "cr10ref.dbf", std::string("\x03\x7d\x01\x01\0\0", 6));
    Write(share_ / "sets" / "ce0ref.dbf", "sets");
  }
  void TearDown() override { unsetenv("MERLON_SHARE"); }
  test_support::TempFolder temp_{"merlon-seed"};
  const fs::path root_ = temp_.path(), share_ = root_ / "share", home_ = root_ / "home";
};

// A home folder with an accent (the program holds it in cp1252, the disk in UTF-8).
TEST_F(SeedingTest, AccentedProgramFolderIsSeededOnceInUtf8) {
  const std::string program = root_.string() + "/Ren\xE9/merlon/";
  EXPECT_EQ(SeedProgramFolder(share_.string(), program).copied.size(), 4u);
  EXPECT_EQ(ReadAll(root_ / "Ren\xC3\xA9/merlon/sets/ce0ref.dbf"), "sets");
  const SeedResult again = SeedProgramFolder(share_.string(), program);
  EXPECT_TRUE(again.copied.empty() && again.failed.empty());
}

TEST_F(SeedingTest, UserFilesAreNeverReplacedWhateverTheirCase) {
  Write(home_ / "CRefEML.txt", "my own template");
  Write(home_ / "csauve9.bat", "my own batch");
  Write(home_ / "SETS" / "CE0REF.DBF", "my own set");
  SeedResult r = SeedProgramFolder(share_.string(), home_.string());
  EXPECT_EQ(r.copied, std::vector<std::string>{"cr10ref.dbf"});
  EXPECT_EQ(ReadAll(home_ / "CRefEML.txt"), "my own template");
  EXPECT_EQ(ReadAll(home_ / "csauve9.bat"), "my own batch");
  EXPECT_FALSE(fs::exists(home_ / "CSAUVE9.BAT"));
}

TEST_F(SeedingTest, AFileThatCannotBeCopiedIsReportedAndTheOthersAreCopied) {
  Write(home_ / "sets", "a file where the shipped folder goes");
  testing::internal::CaptureStderr();
  SeedResult r = SeedProgramFolder(share_.string(), home_.string());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(r.failed, std::vector<std::string>{"sets/ce0ref.dbf"});
  EXPECT_EQ(r.copied.size(), 3u);
  EXPECT_NE(err.find("sets/ce0ref.dbf"), std::string::npos) << err;
  EXPECT_EQ(ReadAll(home_ / "sets"), "a file where the shipped folder goes");
}

// ---- Start-up ----------------------------------------------------------------

class StartupWiringTest : public ProgramStartTest {
 protected:
  // The program's services, as its entry routine connects them.
  void ConnectLikeTheProgram() {
    Services().startDbSession = [] { return static_cast<int>(StartDbSession()); };
    Services().stopDbSession = [] { StopDbSession(); };
    ConnectProgramWindowHooks();
  }
};

// The program folder is seeded before the engine starts, the user's own
// files kept; the framework's hooks are installed once the shared graphics exist.
TEST_F(StartupWiringTest, SeedingAndFrameworkHooksComeInTheirOrder) {
  Touch("CRefEML.txt");  // the user's own
  bool seededFirst = false;
  Services().startDbSession = [this, &seededFirst] {
    seededFirst = fs::exists(File("CSAUVE9.BAT"));
    return 0;
  };
  int calls = 0;
  bool graphicsFirst = false;
  Services().installWindowHooks = [&] {
    ++calls;
    graphicsFirst = SharedGraphicsMade();
    InstallProgramWindowHooks();
  };
  Start();
  EXPECT_TRUE(client_->StartupSucceeded());
  EXPECT_EQ(std::tuple(seededFirst, calls, graphicsFirst), std::tuple(true, 1, true));
  EXPECT_EQ(ReadAll(File("CRefEML.txt")), "x\n");
  EXPECT_EQ(ControlEnv().penLightRed, &PenLightRed);
}

TEST_F(StartupWiringTest, LockNoticeAndEngineErrorsAreShownAsDialogsAfterStartup) {
  ConnectLikeTheProgram();
  Start();
  ASSERT_TRUE(client_->StartupSucceeded());
  gui::ModalSeam::Reset();
  const std::string path = File("c20tst");
  ASSERT_EQ(CreateTableOfKind(TableKind::C20, path), 0);
  {
    Table mine;
    ASSERT_TRUE(mine.OpenShared(path));
    ASSERT_TRUE(mine.AppendBlank());
    ASSERT_TRUE(mine.PutField(1, "41100000"));
    ASSERT_TRUE(mine.InsertRecord());
    ASSERT_TRUE(mine.GoTop());
    // Another station holds the record ('l' locks it, 'u' lets it go).
    test_support::OtherProcess other([path](char cmd) {
      static Table t;
      if (!t.isOpen && !(t.OpenShared(path) && t.GoTop())) return false;
      return cmd == 'l' ? LockRecord(t, nullptr, 0) : UnlockRecord(t);
    });
    ASSERT_TRUE(other.Do('l'));

    // The record held elsewhere: the notice dialog, answered through the seam.
    std::string noticeText;
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&noticeText](gui::Window& w) {
      noticeText = static_cast<gui::Dialog&>(w).GetItemText(1201);
    });
    EXPECT_FALSE(LockRecord(mine, "41100000", 0));
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
    const gui::ShownModal& notice = gui::ModalSeam::Shown()[0];
    EXPECT_EQ(notice.kind, gui::ModalKind::Dialog);
    EXPECT_EQ(notice.resourceId, 1328);
    EXPECT_EQ(noticeText, LockNoticeText(mine, "41100000"));
    EXPECT_TRUE(notice.queued);
    EXPECT_TRUE(other.Do('u'));
  }
}

}  // namespace
