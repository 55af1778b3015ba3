// Set-up of the dossier tests with the window layer up: a session test whose modal windows go
// through the seam in test mode (recorded, not shown), beeps counted, and outside programs run
// to their end (so a test reads their result at once); and a real dossier "AB" in a folder
// with an accent and an apostrophe, opened as the opening does, for the backup, restore,
// properties and new-dossier tests.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dossier/backup.h"
#include "dossier/core/dossier_create.h"
#include "dossier_test_util.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "runtime/backup_paths.h"
#include "shell/utility_commands.h"
#include "support/gui_test.h"

namespace dossier_test {

class ModalSessionTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (HasFatalFailure()) return;
    test_support::EnterGuiTestMode(&beeps_);
    launched_.clear();
    SetProcessLauncher([this](const std::vector<std::string>& argv, const platform::LaunchOptions& o) {
      launched_.push_back(argv);
      platform::LaunchOptions waiting = o;
      waiting.wait = true;
      const platform::LaunchResult r = platform::LaunchProcess(argv, waiting);
      lastExit_ = r.exitStatus;
      return r;
    });
  }
  void TearDown() override {
    SetProcessLauncher({});
    test_support::LeaveGuiTestMode();
    SessionTest::TearDown();
  }

  int beeps_ = 0;
  std::vector<std::vector<std::string>> launched_;
  int lastExit_ = -1;
};

}  // namespace dossier_test

namespace backup_test {

using dossier_test::OtherStation;

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

class DossierFixture : public dossier_test::ModalSessionTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(program_);
    setenv("MERLON_HOME", program_.c_str(), 1);
    ModalSessionTest::SetUp();
    if (HasFatalFailure()) return;
    SetDossierState(' ');
    SetBackupClock([] {
      platform::LocalTime t;
      t.year = 2024, t.month = 3, t.day = 7, t.hour = 9, t.minute = 5, t.second = 3;
      return t;
    });
    reopened_ = 0;
    SetDossierReopener([this] {
      ++reopened_;
      // What the opening does to the lock table: back to shared use.
      if (DossierLockTable != nullptr && !DossierLockTable->isOpen) {
        DossierLockTable->OpenShared(DossierTablePath());
      }
      SetDossierState(' ');
    });
    UseStoredWorkingDate = false;
  }

  void TearDown() override {
    SetDossierReopener({});
    SetBackupClock(nullptr);
    CloseAllTables();
    SetDossierIniPath("");
    SetDossierState(' ');
    UseStoredWorkingDate = false;
    ModalSessionTest::TearDown();
  }

  // Creates dossier AB (year 2024) in the folder and opens it as the opening would.
  void CreateAndOpen(const std::string& code = "AB") {
    std::string message;
    ASSERT_TRUE(CreateDossier(folder_, code, "SARL ARTHUR", Ymd{2024, 1, 1}, Ymd{2024, 12, 31}, &message)) << message;
    OpenDossier(folder_, code);
  }
  // Names, log, dossier INI, lock table shared, record read with the stored working date.
  void OpenDossier(const std::string& folder, const std::string& code) {
    SetDossier(folder, code);
    SetLogDossier(folder, code);
    SetDossierIniPath(PathC10(".ini"));
    ASSERT_NE(DossierLockTable, nullptr);
    ASSERT_TRUE(DossierLockTable->OpenShared(DossierTablePath()));
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    UseStoredWorkingDate = true;
    ASSERT_TRUE(ReadC10Texts());
    UseStoredWorkingDate = false;
    TableC10->CloseTable(true);
  }

  // The sample batch files copied into the program folder, as its seeding does.
  void SeedBatchFiles() {
    const std::string from = std::string(MERLON_SOURCE_DIR) + "/src/resources/files/";
    for (const char* name : {"CSAUVE9.BAT", "CRESTA9.BAT", "CSAUVEW.BAT", "CRESTAW.BAT", "CSAUVEA.BAT", "CRESTAA.BAT",
                             "CSAUVEZ.BAT", "CRESTAZ.BAT"})
      ASSERT_TRUE(platform::CopyFile(from + name, program_ + name)) << name;
  }

  // A batch file that writes each argument on its own line (and NUVSAUVE) into `out`.
  void RecordingBatch(const std::string& name, const std::string& out) {
    WriteText(program_ + name,
              "#!/bin/sh\n: > \"" + out + "\"\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> \"" + out +
                  "\"; done\nprintf 'NUVSAUVE=%s\\n' \"${NUVSAUVE:-}\" >> \"" + out + "\"\n");
  }

  const std::string root_ = Dir();
  const std::string program_ = root_ + "/program/";
  const std::string folder_ = root_ + "/Donn\xE9" "es d'Arthur/";  // an apostrophe and an accent
  int reopened_ = 0;
};

}  // namespace backup_test
