// The code lists driven as a user drives them: the whole main window over a generated demo dossier "MD", opened
// through "Ouvrir dossier", the master-data commands installed; the lists and forms are opened from the
// "Données" menu commands, answered through the modal seam, and the records read back with python3-dbfread.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "masterdata/code_form.h"
#include "masterdata/code_list.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/core/code_records.h"
#include "masterdata/masterdata_commands.h"
#include "masterdata/new_code_dialog.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/python.h"

namespace md_test {

class MasterDataTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallMasterDataCommands();
    folder_ = MakeDossier("demo", "MD");
    OpenThroughDialog(C10Path(folder_, "MD"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "MD") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    // Windows placed by the lists and forms themselves (not "Fenêtres-Maxi"): the form beside its list.
    SetProgramOption(3, 'N');
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }
  void TearDown() override {
    CloseWindows();
    for (const masterdata::CodeKind& k : masterdata::CodeKinds()) SetCommandWork(k.command, {});
    DossierFixture::TearDown();
  }

  // The main window receives a command as from its menu.
  static TWFichiersC10* ListOf(char kind) {
    return dynamic_cast<TWFichiersC10*>(gui::Window::FromHandle(SlotHandle(masterdata::FindCodeKind(kind)->listSlot)));
  }
  static CodeRecordForm* FormOf(char kind) {
    return dynamic_cast<CodeRecordForm*>(gui::Window::FromHandle(SlotHandle(masterdata::FindCodeKind(kind)->formSlot)));
  }
  // The list of a kind, opened from the "Données" menu.
  TWFichiersC10* OpenList(char kind) {
    Menu(masterdata::FindCodeKind(kind)->command);
    TWFichiersC10* list = ListOf(kind);
    EXPECT_NE(list, nullptr) << kind << "\n" << test_support::ShownTexts();
    return list;
  }
  // Selects the row of a code in the list (the whole table searched); false when it is not listed.
  static bool Select(TWFichiersC10* list, const std::string& code) {
    return list != nullptr && list->LocateCode(code);
  }
  // The list's command, as its menu or key sends it.
  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  // The form of a code, opened from its list with "Modifier" (F12).
  CodeRecordForm* Edit(char kind, const std::string& code) {
    TWFichiersC10* list = ListOf(kind) != nullptr ? ListOf(kind) : OpenList(kind);
    if (!Select(list, code)) {
      ADD_FAILURE() << code << " is not listed";
      return nullptr;
    }
    Send(list, browse_cmd::Modifier);
    return FormOf(kind);
  }
  // A record written as another program would, through the program's TableC10.
  static void Put(char kind, const std::string& code, const std::string& name, const std::string& text1 = "",
                  const std::string& text2 = "", bool cancelled = false) {
    Table t;
    ASSERT_TRUE(t.OpenShared(PathC10(), masterdata::kC10Tag));
    ASSERT_TRUE(t.AppendBlank());
    t.PutField(1, std::string(1, kind).c_str());
    t.PutField(2, code.c_str());
    t.PutField(3, name.c_str());
    t.PutField(4, text1.c_str());
    t.PutField(5, text2.c_str());
    ASSERT_TRUE(t.InsertRecord());
    if (cancelled) {
      ASSERT_TRUE(t.DeleteRecord(nullptr, 0));
      UnlockRecord(t);
    }
    ASSERT_TRUE(t.Commit());
    t.CloseTable();
  }
  // Fields 3, 4 and 5 of a record as python3-dbfread reads them, blank-padded to their widths again (it strips
  // the trailing blanks), in cp1252; "" when the record is not there.
  static std::vector<std::string> Stored(char kind, const std::string& code) {
    const std::string out = test_support::RunPythonScript(
        "import sys\n"
        "from dbfread import DBF\n"
        "t = DBF('" + std::string(PathC10()) + ".dbf', encoding='cp1252')\n"
        "for r in t:\n"
        "    if r['GCLE'] == '" + std::string(1, kind) + "' and r['GCODE'].rstrip() == '" + code + "':\n"
        "        for f, w in (('GLIB', 30), ('GZONE1', 254), ('GZONE2', 254)):\n"
        "            sys.stdout.buffer.write(r[f].ljust(w).encode('cp1252') + b'|')\n",
        true);
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (std::size_t bar; (bar = out.find('|', at)) != std::string::npos; at = bar + 1) fields.push_back(out.substr(at, bar - at));
    if (fields.size() != 3) fields.assign(3, "<" + out + ">");
    return fields;
  }
  // Characters position .. position + width - 1 of field 3, 4 or 5 of a stored record.
  static std::string StoredSlice(const std::vector<std::string>& fields, int field, int position, int width) {
    const std::string& f = fields.at(static_cast<std::size_t>(field - 3));
    return f.size() >= static_cast<std::size_t>(position - 1) ? f.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(width)) : "";
  }
  // Saves the form with "Enregistrer" (F12).
  void Save(CodeRecordForm* form) {
    if (form == nullptr) return;
    gui::SendCommand(form->GetHandle(), 20055);
    gui::ProcessPendingMessages();
  }

  std::string folder_;
};

}  // namespace md_test
