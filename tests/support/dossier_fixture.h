// A whole main window over a started engine session, in a temporary folder whose "program"
// folder is the program folder, with the modal seam in test mode and the dossier commands
// installed; helpers that generate small demo dossiers there, open them as the user does and
// damage them.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/dossier_commands.h"
#include "dossier/core/dossier_create.h"
#include "framework/edit_form.h"
#include "demo/dossier_demo.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/modal_seam.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "resources/command_ids.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"
#include "support/gui_test.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace test_support {

// No dossier open, no slot or recent entry, an empty dossier record.
inline void ClearDossierState() {
  SetDossierState(' ');
  DossierCode.clear();
  DossierFolder.clear();
  for (auto& s : DossierSlots) s.clear();
  for (auto& r : RecentDossiers) r.clear();
  TheDossierRecord.Clear();
}

class DossierFixture : public GuiTest {
 protected:
  // The command-line argument the program is started with, relative to the test's folder.
  virtual const char* StartArgument() const { return nullptr; }
  void SetUp() override {
    GuiTest::SetUp();
    setenv("MERLON_HOME", (root_ + "/program").c_str(), 1);
    fs::create_directories(root_ + "/program");
    SetProgramFolder(root_ + "/program");
    Services() = ShellServices{};
    Utilities() = UtilityServices{};
    static char arg0[] = "merlon";
    static std::string arg1;
    static char* argv[] = {arg0, nullptr, nullptr};
    int argc = 1;
    if (const char* rel = StartArgument()) {
      arg1 = root_ + "/" + rel;
      argv[1] = arg1.data();
      argc = 2;
    }
    app_ = new Merlon(argc, argv, true);
    app_->InitMainWindow();
    ASSERT_NE(MainFrame, nullptr);
    ASSERT_TRUE(MainFrame->Create());
    gui::ProcessPendingMessages();
    ASSERT_EQ(StartDbSession(), 0);
    // Runtime messages (the dossier lock's refusal) go through the modal seam.
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned style) {
      return gui::MessageBox(nullptr, text, caption, style);
    });
    SetRuntimeBeepHook([](unsigned) {});
    ASSERT_TRUE(MakeReferenceTables(ProgramFolder));
    InstallDossierCommands();
    ClearDossierState();
    IniSetString("LancementAuto", "N");
    gui::ModalSeam::Reset();
  }

  void TearDown() override {
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    StopDbSession();
    delete app_;
    app_ = nullptr;
    SetRuntimeMessageHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    Services() = ShellServices{};
    Utilities() = UtilityServices{};
    for (unsigned id :
         {command_id::FichierOuvrirDossier, command_id::FichierFermerDossier, command_id::FichierChangerDossier})
      SetCommandWork(id, {});
    ClearDossierState();
    GuiTest::TearDown();
  }

  // A small generated dossier in root/<folder>/; its folder with the final "/".
  std::string MakeDossier(const std::string& folder, const std::string& code, long lines = 60, bool yearEnd = false) {
    DemoOptions options;
    options.folder = root_ + "/" + folder;
    options.code = code;
    options.lines = lines;
    options.yearEnd = yearEnd;
    std::string message;
    EXPECT_TRUE(GenerateDemoDossier(options, &message)) << message;
    return options.folder + "/";
  }

  std::string C10Path(const std::string& folder, const std::string& code) {
    return folder + "c10" + Lower(code.c_str()) + ".dbf";
  }

  // Opens the dossier through "Ouvrir dossier" and its file dialog.
  // `more` queues the answers of what the opening asks next.
  void OpenThroughDialog(const std::string& chosen, const std::function<void()>& more = {}) {
    gui::ModalSeam::QueueFileAnswer(chosen);
    if (more) more();
    RunSubjectCommand(20202);
    gui::ProcessPendingMessages();
  }

  // Runs a command as its menu entry would: posted to the main window, then the queue emptied.
  static void Menu(unsigned command) {
    gui::PostCommand(CommandWindow->GetHandle(), command);
    gui::ProcessPendingMessages();
  }

  // Closes every child window, the forms without their question on unsaved changes.
  static void CloseWindows() {
    if (CommandWindow != nullptr) {
      for (gui::MDIChild* child : CommandWindow->GetChildren())
        if (auto* form = dynamic_cast<CMDIModif*>(child)) form->NoCheckFlag = true;
      CommandWindow->CloseChildren();
    }
    gui::ProcessPendingMessages();
  }

  // Whether a message box shown since the last reset of the seam holds `text`.
  static bool ShownContains(const std::string& text) {
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.text.find(text) != std::string::npos) return true;
    return false;
  }

  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Writes `value` into dossier constant n (1-74) of the C10 record "P0" of a closed dossier.
  void WriteConstant(const std::string& folder, const std::string& code, int n, const std::string& value) {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(C10Path(folder, code), "C10CODE"));
    ASSERT_TRUE(c10.Seek("C10CODE", "P", "0"));
    const int field = n < 85 ? 4 : 5;  // 539-790 in field 4, 791-1042 in field 5
    const int position = field == 4 ? 3 * n - 2 : 3 * n - 254;
    std::string padded = value;
    padded.resize(3, ' ');  // the part replaced keeps its width
    ASSERT_TRUE(c10.PutFieldPart(field, position, 3, padded.c_str()));
    c10.CloseTable(true);
  }

  TempFolder temp_{"merlon-dossier"};
  const std::string root_ = temp_.path();
  Merlon* app_ = nullptr;
};

}  // namespace test_support

using DossierOpenTest = test_support::DossierFixture;
using test_support::ShownTexts;
