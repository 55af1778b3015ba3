// The settings windows driven as a user drives them: the whole main window over a generated demo dossier "ST",
// opened through "Ouvrir dossier", the settings and master-data commands installed, the windows opened from the
// "Utilitaires" menu commands and answered through the modal seam; what they write is read back with
// python3-dbfread.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "framework/browse.h"
#include "framework/edit_form.h"
#include "masterdata/masterdata_commands.h"
#include "platform/gui/command.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "resources/command_ids.h"
#include "runtime/code_helpers.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/python.h"
#include "utilities/settings_commands.h"

namespace settings_test {

class SettingsWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallSettingsCommands();
    InstallMasterDataCommands();
    folder_ = MakeDossier("demo", "ST", 60);
    OpenDossier();
    SetProgramOption(3, 'N');
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }
  void TearDown() override {
    CloseWindows();
    for (unsigned id = command_id::Configuration; id <= command_id::AccesFichierLignesBilan; ++id)
      SetCommandWork(id, {});
    SetCommandWork(command_id::DonneesTexte, {});
    SetTextPromptHook(nullptr);
    for (Table* t : {TableCE0, TableCE1, TableCXX})
      if (t != nullptr) t->CloseTable(true);
    DossierFixture::TearDown();
  }

  void OpenDossier() {
    OpenThroughDialog(C10Path(folder_, "ST"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "ST") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
  }

  // The main window receives a command as from its menu.
  // A window's command, as its toolbar or key sends it.
  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  // The command is offered (its enabler, as the menu runs it).
  bool Enabled(unsigned id) {
    gui::CommandEnabler ce(id);
    MainFrame->RouteCommandEnable(ce);
    return ce.Handled() && ce.Enabled();
  }
  template <class T>
  static T* WindowAt(int slot) {
    return dynamic_cast<T*>(gui::Window::FromHandle(SlotHandle(slot)));
  }
  // A user-defined report set of the program folder with reports (code, name, template).
  static void MakeSet(char letter, const std::vector<std::array<std::string, 3>>& reports) {
    const std::string path = PathReportDefs(letter);
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
    Table t;
    ASSERT_TRUE(t.OpenShared(path, "CE0CODE"));
    for (const auto& r : reports) {
      ASSERT_TRUE(t.AppendBlank());
      t.PutField(1, r[0].c_str());
      t.PutField(2, r[1].c_str());
      t.PutMemoText(11, r[2]);
      ASSERT_TRUE(t.InsertRecord());
    }
    t.Commit();
    t.CloseTable();
  }
  // Fields of the C10 record kind + code as python3-dbfread reads them (latin-1 keeps every byte).
  static std::string StoredC10(const std::string& kind, const std::string& code, const std::string& field) {
    return test_support::RunPythonScript(
        "import sys\nfrom dbfread import DBF\n"
        "for r in DBF('" + std::string(PathC10()) + ".dbf', encoding='latin-1'):\n"
        "    if r['GCLE'] == '" + kind + "' and r['GCODE'].strip() == '" + code + "':\n"
        "        sys.stdout.buffer.write(r['" + field + "'].encode('latin-1'))\n",
        true);
  }

  std::string folder_;
};

}  // namespace settings_test
