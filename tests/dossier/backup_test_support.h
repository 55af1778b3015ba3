// Set-up of the backup, restore, properties and new-dossier tests: runtime,
// engine and Qt (offscreen) up, a program folder and a real dossier "AB" of
// their own, the dossier open with its lock table shared, the modal seam in
// test mode, runtime messages and beeps recorded, and outside programs run
// to their end (so a test reads their result without waiting).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/backup.h"
#include "dossier/dossier_create.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "runtime/backup_paths.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/utility_commands.h"
#include "dossier_test_util.h"
#include "support/gui_test.h"
#include "support/temp_folder.h"

namespace backup_test {

inline std::vector<std::string>& RuntimeBoxes() {
  static std::vector<std::string> boxes;
  return boxes;
}

// Paths are the program's (cp1252); on disk they are UTF-8.
inline std::string ReadText(const std::string& path) {
  std::string text;
  platform::ReadWholeFile(path, text);
  return text;
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(platform::DiskPath(path), std::ios::binary) << text;
}

// Every file of a folder (name -> content), the hidden ones left out.
inline std::map<std::string, std::string> FolderFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const std::string& name : platform::ListFiles(folder)) files[name] = ReadText(folder + "/" + name);
  return files;
}

inline platform::LocalTime FixedNow() {
  platform::LocalTime t;
  t.year = 2024;
  t.month = 3;
  t.day = 7;
  t.hour = 9;
  t.minute = 5;
  t.second = 3;
  return t;
}

class DossierFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = root_ + "/program/";
    folder_ = root_ + "/Donn\xE9" "es d'Arthur/";  // an apostrophe and an accent
    std::filesystem::create_directories(program_);
    setenv("MERLON_HOME", program_.c_str(), 1);
    SetProgramFolder(program_);
    ASSERT_TRUE(InitRuntime());
    EnsureOpenWindowRegistry();
    SetDossierState(' ');
    TheDossierRecord.Clear();
    RuntimeBoxes().clear();
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned) {
      RuntimeBoxes().push_back(std::string(caption) + ": " + text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    ASSERT_EQ(StartDbSession(), 0);
    test_support::EnterGuiTestMode(&beeps_);
    SetBackupClock(&FixedNow);
    launched_.clear();
    reopened_ = 0;
    SetProcessLauncher([this](const std::vector<std::string>& argv, const platform::LaunchOptions& o) {
      launched_.push_back(argv);
      platform::LaunchOptions waiting = o;
      waiting.wait = true;
      platform::LaunchResult r = platform::LaunchProcess(argv, waiting);
      lastExit_ = r.exitStatus;
      return r;
    });
    SetDossierReopener([this] {
      ++reopened_;
      // What the opening does to the lock table: back to shared use.
      if (DossierLockTable != nullptr && !DossierLockTable->isOpen) {
        DossierLockTable->shareMode = 0;
        DossierLockTable->OpenTable(DossierTablePath());
      }
      SetDossierState(' ');
    });
    UseStoredWorkingDate = false;
  }

  void TearDown() override {
    test_support::LeaveGuiTestMode();
    SetProcessLauncher({});
    SetDossierReopener({});
    SetBackupClock(nullptr);
    CloseAllTables();
    StopDbSession();
    SetRuntimeMessageHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    SetLogDossier("", "");
    SetDossierIniPath("");
    SetDossier("", "");
    SetDossierState(' ');
    UseStoredWorkingDate = false;
    FreeRuntime();
  }

  // Creates dossier AB (year 2024) in the folder and opens it as the
  // opening would: names, log, dossier INI, lock table shared, record read.
  void CreateAndOpen(const std::string& code = "AB") {
    std::string message;
    Ymd first{2024, 1, 1}, last{2024, 12, 31};
    ASSERT_TRUE(CreateDossier(folder_, code, "SARL ARTHUR", first, last, &message)) << message;
    OpenDossier(folder_, code);
  }
  void OpenDossier(const std::string& folder, const std::string& code) {
    SetDossier(folder, code);
    SetLogDossier(folder, code);
    SetDossierIniPath(PathC10(".ini"));
    ASSERT_NE(DossierLockTable, nullptr);
    DossierLockTable->shareMode = 0;
    ASSERT_TRUE(DossierLockTable->OpenTable(DossierTablePath()));
    ASSERT_TRUE(TableC10->OpenTable(PathC10(), "C10CODE"));
    UseStoredWorkingDate = true;  // as at an opening: the stored working date
    ASSERT_TRUE(ReadC10Texts());
    UseStoredWorkingDate = false;
    TableC10->CloseTable(true);
  }

  // Copies the sample batch files into the program folder, as the seeding
  // of the program folder does.
  void SeedBatchFiles() {
    const std::string from = std::string(MERLON_SOURCE_DIR) + "/src/resources/files/";
    for (const char* name : {"CSAUVE9.BAT", "CRESTA9.BAT", "CSAUVEW.BAT", "CRESTAW.BAT"}) {
      ASSERT_TRUE(platform::CopyFile(from + name, program_ + name)) << name;
    }
  }

  // A batch file that writes each argument on its own line (and NUVSAUVE)
  // into `out`.
  void RecordingBatch(const std::string& name, const std::string& out) {
    WriteText(program_ + name,
              "#!/bin/sh\n: > \"" + out + "\"\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> \"" + out +
                  "\"; done\nprintf 'NUVSAUVE=%s\\n' \"${NUVSAUVE:-}\" >> \"" + out + "\"\n");
  }

  int CountShown(gui::ModalKind kind) const {
    int n = 0;
    for (const auto& s : gui::ModalSeam::Shown()) n += s.kind == kind;
    return n;
  }

  test_support::TempFolder temp_{"merlon-backup"};
  std::string root_ = temp_.path(), program_, folder_;
  int beeps_ = 0;
  std::vector<std::vector<std::string>> launched_;
  int lastExit_ = -1;
  int reopened_ = 0;
};

using dossier_test::OtherStation;

}  // namespace backup_test
