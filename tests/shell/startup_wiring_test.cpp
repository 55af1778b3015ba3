// The program folder's seeding from the share folder, and what the start-up
// wires once the shared graphics exist: the framework's lock notice and
// boxes of the lower layers as dialogs through the seam, F1's help.
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

TEST_F(SeedingTest, FreshProgramFolderGetsEveryShippedFileAsShipped) {
  SeedResult r = SeedProgramFolder(share_.string(), home_.string() + "/");
  EXPECT_EQ(r.copied, (std::vector<std::string>{"CRefEML.txt", "CSAUVE9.BAT", "cr10ref.dbf", "sets/ce0ref.dbf"}));
  EXPECT_TRUE(r.failed.empty());
  for (const char* name : {"CRefEML.txt", "CSAUVE9.BAT", "cr10ref.dbf", "sets/ce0ref.dbf"})
    EXPECT_EQ(ReadAll(home_ / name), ReadAll(share_ / name)) << name;
  struct stat st{};
  ASSERT_EQ(::stat((home_ / "CSAUVE9.BAT").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  // Nothing left behind by the copies.
  int entries = 0;
  for (const auto& e : fs::directory_iterator(home_)) entries += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(entries, 3);
  // A second start copies nothing.
  EXPECT_TRUE(SeedProgramFolder(share_.string(), home_.string()).copied.empty());
}

// A home folder with an accent (the program holds it in cp1252, the disk in UTF-8).
TEST_F(SeedingTest, AccentedProgramFolderIsSeededOnceInUtf8) {
  const std::string program = root_.string() + "/Ren\xE9/merlon/";
  EXPECT_EQ(SeedProgramFolder(share_.string(), program).copied.size(), 4u);
  EXPECT_EQ(ReadAll(root_ / "Ren\xC3\xA9/merlon/sets/ce0ref.dbf"), "sets");
  const SeedResult again = SeedProgramFolder(share_.string(), program);
  EXPECT_TRUE(again.copied.empty());
  EXPECT_TRUE(again.failed.empty());
}

TEST_F(SeedingTest, UserFilesAreNeverReplacedWhateverTheirCase) {
  Write(home_ / "CRefEML.txt", "my own template");
  Write(home_ / "csauve9.bat", "my own batch");
  Write(home_ / "SETS" / "CE0REF.DBF", "my own set");
  SeedResult r = SeedProgramFolder(share_.string(), home_.string());
  EXPECT_EQ(r.copied, std::vector<std::string>{"cr10ref.dbf"});
  EXPECT_EQ(ReadAll(home_ / "CRefEML.txt"), "my own template");
  EXPECT_EQ(ReadAll(home_ / "csauve9.bat"), "my own batch");
  EXPECT_EQ(ReadAll(home_ / "SETS" / "CE0REF.DBF"), "my own set");
  EXPECT_FALSE(fs::exists(home_ / "CSAUVE9.BAT"));
  EXPECT_FALSE(fs::exists(home_ / "sets"));
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

  // No share folder, or an unusable program folder: nothing copied, no crash.
  EXPECT_TRUE(SeedProgramFolder("", home_.string()).copied.empty());
  EXPECT_TRUE(SeedProgramFolder((root_ / "none").string(), home_.string()).copied.empty());
  testing::internal::CaptureStderr();
  SeedResult blocked = SeedProgramFolder(share_.string(), (home_ / "CRefEML.txt" / "sub").string());
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(blocked.copied.empty());
}

TEST_F(SeedingTest, ShareFolderFromTheEnvironmentOrBesideTheExecutable) {
  // Build tree: <build>/src/app/merlon -> <build>/share/merlon.
  fs::create_directories(root_ / "build" / "share" / "merlon");
  fs::create_directories(root_ / "build" / "src" / "app");
  EXPECT_EQ(FindShareFolderFrom((root_ / "build" / "src" / "app" / "merlon").string()),
            (root_ / "build" / "share" / "merlon").string());
  // Installed: <prefix>/bin/merlon -> <prefix>/share/merlon.
  fs::create_directories(root_ / "usr" / "share" / "merlon");
  fs::create_directories(root_ / "usr" / "bin");
  EXPECT_EQ(FindShareFolderFrom((root_ / "usr" / "bin" / "merlon").string()),
            (root_ / "usr" / "share" / "merlon").string());
  EXPECT_EQ(FindShareFolderFrom((root_ / "elsewhere" / "merlon").string()), "");
  EXPECT_EQ(FindShareFolderFrom(""), "");

  setenv("MERLON_SHARE", share_.c_str(), 1);
  EXPECT_EQ(FindShareFolder(), share_.string());
}

// The build gathers the shipped resource files and the reference tables in
// one share folder, which the test program finds beside it.
TEST(ShareFolderOfTheBuild, HoldsEveryShippedFileAndTheReferenceTables) {
  unsetenv("MERLON_SHARE");
  const fs::path share = fs::path(MERLON_BINARY_DIR) / "share" / "merlon";
  EXPECT_EQ(fs::path(FindShareFolder()), share);
  int shipped = 0;
  for (const auto& e : fs::directory_iterator(fs::path(MERLON_SOURCE_DIR) / "src" / "resources" / "files")) {
    ++shipped;
    EXPECT_EQ(ReadAll(share / e.path().filename()), ReadAll(e.path())) << e.path();
  }
  EXPECT_GT(shipped, 0);
  for (const char* name : {"cr00ref.dbf", "cr10ref.dbf", "cr10ref.mdx", "cr10ref.dbt", "cr50ref.dbf", "cr50ref.mdx"})
    EXPECT_GT(fs::file_size(share / name), 32u) << name;
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

TEST_F(StartupWiringTest, ProgramFolderIsSeededBeforeTheEngineStarts) {
  Touch("CRefEML.txt");  // the user's own
  bool seededFirst = false;
  Services().startDbSession = [this, &seededFirst] {
    seededFirst = fs::exists(File("CSAUVE9.BAT"));
    return 0;
  };
  Start();
  EXPECT_TRUE(client_->StartupSucceeded());
  EXPECT_TRUE(seededFirst);
  EXPECT_EQ(ReadAll(File("CSAUVE9.BAT")), "shipped batch");
  EXPECT_EQ(ReadAll(File("CRefEML.txt")), "x\n");
}

TEST_F(StartupWiringTest, FrameworkHooksAreInstalledOnceAfterTheSharedGraphics) {
  int calls = 0;
  bool graphicsFirst = false;
  Services().installWindowHooks = [&] {
    ++calls;
    graphicsFirst = SharedGraphicsMade();
    InstallProgramWindowHooks();
  };
  Start();
  EXPECT_TRUE(client_->StartupSucceeded());
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(graphicsFirst);
  EXPECT_EQ(ControlEnv().penLightRed, &PenLightRed);
  EXPECT_EQ(ControlEnv().helpContext, &CurrentHelpContext);
  ASSERT_TRUE(ControlEnv().mainWindow);
  EXPECT_EQ(ControlEnv().mainWindow()->GetHandle(), MainWindowHandle);
  EXPECT_TRUE(ControlEnv().showHelp);
}

TEST_F(StartupWiringTest, LockNoticeAndEngineErrorsAreShownAsDialogsAfterStartup) {
  ConnectLikeTheProgram();
  Start();
  ASSERT_TRUE(client_->StartupSucceeded());
  gui::ModalSeam::Reset();
  const std::string path = File("c20tst");
  ASSERT_EQ(CreateTableOfKind(TableKind::C20, path), 0);
  {
    Table mine, other;
    ASSERT_TRUE(mine.OpenTable(path));
    ASSERT_TRUE(mine.AppendBlank());
    ASSERT_TRUE(mine.PutField(1, "41100000"));
    ASSERT_TRUE(mine.InsertRecord());
    ASSERT_TRUE(other.OpenTable(path));
    ASSERT_TRUE(mine.GoTop());
    ASSERT_TRUE(other.GoTop());
    ASSERT_TRUE(LockRecord(other, nullptr, 0));

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
    EXPECT_TRUE(UnlockRecord(other));
  }

  // A failed engine call: the engine-error report's box.
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Table missing;
  ASSERT_FALSE(missing.OpenTable(File("absent")));
  ReportDbError(missing, 77, "ouverture");
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u);
  const gui::ShownModal& box = gui::ModalSeam::Shown()[1];
  EXPECT_EQ(box.kind, gui::ModalKind::MessageBox);
  EXPECT_EQ(box.caption, DbErrorCaption(missing.result));
  EXPECT_NE(box.text.find("Erreur:    77/ouverture"), std::string::npos) << box.text;
  EXPECT_TRUE(box.queued);
}

}  // namespace
