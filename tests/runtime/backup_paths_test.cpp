#include "runtime/backup_paths.h"

#include <deque>
#include <string>

#include "runtime/runtime_hooks.h"
#include "support/runtime_fixture.h"

namespace {

// The text the file dialog's title and filter are made of here (the queued dialog reads neither).
constexpr int kDialogText = 2847;

platform::LocalTime FixedClock() { return {.year = 2024, .month = 3, .day = 7, .hour = 9, .minute = 5, .second = 3}; }

class BackupPathsTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    test_support::RuntimeTest::SetUp();
    SetBackupClock(FixedClock);
  }
  void TearDown() override {
    SetBackupClock(nullptr);
    SetBackupFileDialog(nullptr);
    test_support::RuntimeTest::TearDown();
  }
};

TEST_F(BackupPathsTest, BackupUnits) {
  struct Case { const char* unit; unsigned which; const char* expected; } cases[] = {
      {"/mnt/sauve/%code%/%jour%/", kAllBackupPlaceholders, "/mnt/sauve/AB/JEUDI/"},
      {"/s/%code%/%dateheure%/%jour%", kNuvSauvePlaceholders, "/s/AB/20240307-09h0503/%jour%"},
  };
  for (const Case& c : cases) {
    std::string unit = c.unit;
    ExpandBackupUnit(unit, "AB", c.which);
    EXPECT_EQ(unit, c.expected) << c.unit;
  }
}

TEST_F(BackupPathsTest, BackupUnitsAreNormalisedToADriveAndOneFolder) {
  struct Case { const char* unit; char method; const char* expected; } const cases[] = {
      {"c:\\Save\\2024\\", '2', "C:\\Save"},
      {"c: \\My Save.old\\x", '2', "C:\\MySaveold"},  // blanks and dots go
      {"Save", '2', ""},  // no drive
      // Folders of this system: only their trailing separators go.
      {"/mnt/save/", '2', "/mnt/save"},
      // Units these methods use as they are.
      {"c:\\Save\\2024\\", '7', "c:\\Save\\2024\\"},
  };
  for (const Case& c : cases) {
    std::string unit = c.unit;
    NormaliseBackupUnitPath(unit, c.method);
    EXPECT_EQ(unit, c.expected) << c.unit << " / " << c.method;
  }
}

TEST_F(BackupPathsTest, ProcedureLinesExpandInOnePass) {
  struct Case { const char* line; const char* folder; const char* code; const char* expected; } cases[] = {
      {"cp %chemin%/%dossier% /mnt/a/%code%/", "/data/", "AB   ", "cp /data/[cC]??[aA][bB].* /mnt/a/AB/"},
      // Values that hold placeholders are never expanded again.
      {"cp -r %chemin% /b", "/srv/%chemin%/x/", "AB", "cp -r /srv/%chemin%/x /b"},
  };
  for (const Case& c : cases) {
    std::string line = c.line;
    ExpandProcedureLine(line, c.folder, c.code);
    EXPECT_EQ(line, c.expected) << c.line << " with " << c.folder;
  }
}

// The name a method writes, exactly: another dossier's backup never passes.
TEST_F(BackupPathsTest, BackupFileNamesAreExactPerMethod) {
  const struct { const char* path; char method; bool accepted; } cases[] = {
      {"/b/zelab.EXE", 'R', true},        {"/b/ZELABC.exe", '0', false},       {"/b/ZELAB.lzh", '9', true},
      {"/b/ZELAB-X.rar", '8', false},     {"/b/c10ab-SauveW.dbf", 'w', true},  {"/b/C10ABC-SAUVEW.DBF", 'W', false},
      {"/b/zelab-20240307-09h0503-cloture.rar", '7', true},
      {"/b/ZELAB-C-20240307-09h0503.rar", '7', false},  // dossier "AB-C"
      {"/b/ZELABC-20240307-09h0503.rar", '7', false},   // dossier "ABC"
      {"/b/ZELAB-20240307-09h0503-.rar", '7', false},   // a dash without its comment
      {"/b/zelab.zip", 'A', true},        {"/b/ZELAB.ZIP", 'z', true},         {"/b/ZELABC.ZIP", 'Z', false},
      {"/b/ZELAB.lzh", 'A', false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsBackupFileFor(c.path, "AB   ", c.method), c.accepted) << c.path << " " << c.method;
  // A code holding "-": the backups of "AB" are not its own, nor the reverse.
  EXPECT_TRUE(IsBackupFileFor("/b/ZELAB-C.rar", "AB-C", '8'));
  EXPECT_FALSE(IsBackupFileFor("/b/ZELAB-C.rar", "AB", '8'));
  EXPECT_FALSE(IsBackupFileFor("/b/ZEL.rar", "", '8'));
}

std::deque<std::string> g_answers;
std::string g_lastStart;
int g_beeps = 0;
bool QueuedDialog(unsigned long, const std::string&, const std::string&, const std::string& start,
                  std::string& chosen) {
  g_lastStart = start;
  if (g_answers.empty()) return false;
  chosen = g_answers.front();
  g_answers.pop_front();
  return true;
}
void CountBeep(unsigned) { ++g_beeps; }

TEST_F(BackupPathsTest, ChooseBackupFileAsksAgainUntilABackupIsChosen) {
  SetBackupFileDialog(QueuedDialog);
  SetRuntimeBeepHook(CountBeep);
  const struct { std::deque<std::string> answers; char method; bool result; const char* path; int beeps; } cases[] = {
      {{"/b/other.exe", "/b/2024/ZELAB.exe"}, 'R', true, "/b/2024/", 1},
      {{"/b/x.rar", "/b/y.rar"}, 'R', false, "/data/%defaut%", 2},  // then cancelled
  };
  for (const auto& c : cases) {
    g_answers = c.answers;
    g_beeps = 0;
    std::string path = "/data/%defaut%";
    EXPECT_EQ(ChooseBackupFile(1, path, kDialogText, kDialogText, c.method, "AB   "), c.result);
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(g_beeps, c.beeps);
    EXPECT_EQ(g_lastStart, "/data/Sauvegarde-Nuv-MERLON/Dossier-AB");
  }
  SetBackupFileDialog(nullptr);
  std::string path = "/x";
  EXPECT_FALSE(ChooseBackupFile(1, path, kDialogText, kDialogText, 'R', "AB"));
}

}  // namespace
