// The chart of accounts and the analytic sections driven as a user drives them: the whole main window over a
// generated demo dossier "PC" (a few hundred accounts, sections in an analytic dossier), opened through "Ouvrir
// dossier", the lists opened from the "Données" menu, answered through the modal seam, and the records read back
// with python3-dbfread.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_create.h"
#include "masterdata/chart_form.h"
#include "masterdata/chart_list.h"
#include "masterdata/core/chart_files.h"
#include "masterdata/core/chart_layouts.h"
#include "masterdata/core/chart_records.h"
#include "masterdata/core/code_values.h"
#include "masterdata/masterdata_commands.h"
#include "masterdata/new_code_dialog.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/python.h"

namespace md_test {

class ChartTest : public test_support::DossierFixture {
 protected:
  virtual char AnalyticMode() const { return '0'; }
  virtual DossierCurrency Currency() const { return DossierCurrency::EuroMain; }
  virtual long Accounts() const { return 300; }

  void SetUp() override {
    DossierFixture::SetUp();
    InstallMasterDataCommands();
    DemoOptions o;
    o.folder = root_ + "/chart";
    o.code = "PC";
    o.lines = 300;
    o.accounts = Accounts();
    o.analyticMode = AnalyticMode();
    o.currency = Currency();
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    folder_ = o.folder + "/";
    OpenThroughDialog(C10Path(folder_, "PC"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "PC") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    masterdata::ForgetBankDomiciliation();
    // Lists and forms placed by themselves (not "Fenêtres-Maxi"); both lists in code order, as at every start.
    SetProgramOption(3, 'N');
    SetProgramOption(21, 'C');
    SetProgramOption(22, 'C');
    MainFrame->MoveWindow(gui::Rect{0, 0, 1400, 860});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }
  void TearDown() override {
    CloseWindows();
    ListReopenState.clear();
    for (unsigned id : {20301u, 20302u, 20303u, 20304u, 20305u, 20306u, 20307u, 20308u, 20309u, 20310u, 20311u})
      SetCommandWork(id, {});
    DossierFixture::TearDown();
  }

  // The main window receives a command as from its menu.
  static ChartList* ListOf(char kind) {
    return dynamic_cast<ChartList*>(gui::Window::FromHandle(SlotHandle(masterdata::FindChartKind(kind)->listSlot)));
  }
  static ChartRecordForm* FormOf(char kind) {
    return dynamic_cast<ChartRecordForm*>(
        gui::Window::FromHandle(SlotHandle(masterdata::FindChartKind(kind)->formSlot)));
  }
  ChartList* Open(char kind = '2') {
    Menu(kind == '2' ? 20309 : 20310);
    ChartList* list = ListOf(kind);
    EXPECT_NE(list, nullptr) << test_support::ShownTexts();
    return list;
  }
  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  // The form of a code, opened from its list with "Modifier".
  ChartRecordForm* Edit(const std::string& code, char kind = '2') {
    ChartList* list = ListOf(kind) != nullptr ? ListOf(kind) : Open(kind);
    if (list == nullptr || !list->LocateCode(code)) {
      ADD_FAILURE() << code << " is not listed";
      return nullptr;
    }
    Send(list, browse_cmd::Modifier);
    return FormOf(kind);
  }
  void Save(CMDIModif* form) {
    if (form == nullptr) return;
    gui::SendCommand(form->GetHandle(), 20055);
    gui::ProcessPendingMessages();
  }
  static void Type(CodeRecordForm* form, int id, const std::string& text) {
    if (MEdit* e = form->EditOf(id)) e->SetText(text);
    else if (MCheckBox* c = form->CheckOf(id)) c->SetValue(text == "O", false);
    else ADD_FAILURE() << "no control " << id;
  }
  static std::string Text(CodeRecordForm* form, int id) {
    if (MEdit* e = form->EditOf(id)) return e->GetText();
    if (gui::Static* s = form->StaticOf(id)) return s->GetText();
    return "<no control " + std::to_string(id) + ">";
  }

  // A record written as another program would: the code and the fields given.
  static void Put(char kind, const std::string& code, const std::map<int, std::string>& fields, bool cancelled = false) {
    const test_support::SetUpPermit permit("compte mis en place");
    Table t;
    ASSERT_TRUE(t.OpenShared(kind == '2' ? PathC20() : PathC30(), kind == '2' ? "C20CODE" : "C30CODE"));
    ASSERT_TRUE(t.AppendBlank());
    t.PutField(1, code.c_str());
    for (const auto& [n, text] : fields) t.PutField(n, text.c_str());
    ASSERT_TRUE(t.InsertRecord());
    if (cancelled) {
      ASSERT_TRUE(t.DeleteRecord(nullptr, 0));
      UnlockRecord(t);
    }
    ASSERT_TRUE(t.Commit());
    t.CloseTable();
  }
  // The fields of a record as python3-dbfread reads them (character fields right-trimmed, numbers printed with
  // two decimals); empty when the record is not there (or cancelled: dbfread leaves it out).
  static std::map<std::string, std::string> Stored(char kind, const std::string& code) {
    const std::string out = test_support::RunPythonScript(
        "import sys\n"
        "from dbfread import DBF\n"
        "t = DBF('" + std::string(kind == '2' ? PathC20() : PathC30()) + ".dbf', encoding='cp1252')\n"
        "for r in t:\n"
        "    if r['" + std::string(kind == '2' ? "CCODE" : "ACODE") + "'] == '" + code + "':\n"
        "        for k, v in r.items():\n"
        "            if isinstance(v, float): v = '%.2f' % v\n"
        "            sys.stdout.buffer.write((k + '=' + str(v if v is not None else '') + '|').encode('cp1252'))\n",
        true);
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    for (std::size_t bar; (bar = out.find('|', at)) != std::string::npos; at = bar + 1) {
      const std::string item = out.substr(at, bar - at);
      const std::size_t eq = item.find('=');
      if (eq != std::string::npos) fields[item.substr(0, eq)] = item.substr(eq + 1);
    }
    return fields;
  }
  // A constant of the open dossier (the lists and forms read the dossier record).
  static void Constant(int n, const std::string& value) { TheDossierRecord.SetConstant(n, value); }

  std::string folder_;
};

}  // namespace md_test
