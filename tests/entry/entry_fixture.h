// Journal entry driven as a user drives it: the whole main window over a generated demo dossier "JE"
// (euros and francs, two analytic axes, cancelled pieces and lines), opened through "Ouvrir
// dossier", the program's commands installed; "Saisie d'Ecritures" opens the headers list, whose
// "Saisir" opens lines windows in the journal-entry slots, every box and dialog answered through
// the modal seam. Tests that need another station fork it (OtherStation) before the dossier opens.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/program_commands.h"
#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_create.h"
#include "posting/entry_state.h"
#include "posting/journal_lines.h"
#include "posting/journal_month.h"
#include "entry/entry_commands.h"
#include "entry/entry_search_dialog.h"
#include "entry/headers_list.h"
#include "entry/lines_window.h"
#include "entry/new_journal_dialog.h"
#include "framework/browse.h"
#include "platform/gui/command.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/modal_seam.h"
#include "runtime/code_helpers.h"
#include "runtime/session_registry.h"
#include "resources/command_ids.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/demo_oracle.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"
#include "support/python.h"

namespace entry_test {

using L = LigneEcriture;
using T = LigneTri;

class EntryTest : public test_support::DossierFixture {
 protected:
  virtual DossierCurrency Currency() const { return DossierCurrency::EuroMain; }
  void SetUp() override {
    DossierFixture::SetUp();
    InstallProgramCommands();
    DemoOptions options;
    options.folder = root_ + "/demo";
    options.code = "JE";
    options.lines = 600;
    options.analyticMode = '2';
    options.currency = Currency();
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    folder_ = options.folder + "/";
    SearchTargetKey.assign(kSearchTargetKeyLength, ' ');
    Notices().clear();
    SetLockNoticeHook([](const char*, const char* text) { Notices().push_back(text); });
  }
  void TearDown() override {
    if (CommandWindow != nullptr) CloseAll();
    gui::ProcessPendingMessages();
    gui::ClearModifierKeyOverrides();
    gui::NoteKeyUp(gui::VK_ESCAPE);
    SetLockNoticeHook(nullptr);
    BrowseSearchText.clear();
    for (unsigned id : {command_id::SaisieEcritures, command_id::ActiverSaisie}) SetCommandWork(id, {});
    DossierFixture::TearDown();
  }

  // Opens the dossier through "Ouvrir dossier", the windows placed by themselves in a large frame.
  void Open() {
    OpenThroughDialog(C10Path(folder_, "JE"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "JE") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    SetProgramOption(3, 'N');
    MainFrame->MoveWindow(gui::Rect{0, 0, 1400, 860});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }

  // Every window closed, the unbalanced ones without their questions.
  void CloseAll() {
    for (int k = 0; k < posting::kSlotCount; ++k) {
      if (auto* w = Window(k)) {
        gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
        gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
        gui::SendMessage(w->GetHandle(), gui::WM_CLOSE);
        gui::ProcessPendingMessages();
      }
    }
    CommandWindow->CloseChildren();
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
  }

  // The main window receives a command as from its menu.
  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  static TWSaiBroEntJournaux* Headers() {
    return dynamic_cast<TWSaiBroEntJournaux*>(gui::Window::FromHandle(SlotHandle(posting::kHeadersListFlag)));
  }
  static TWSaiBroDetJournaux* Window(int k) {
    if (!posting::SlotInUse(k)) return nullptr;
    return dynamic_cast<TWSaiBroDetJournaux*>(gui::Window::FromHandle(SlotHandle(posting::SlotPosition(k))));
  }
  static TWSaiBroDetJournaux* WindowOf(const std::string& journalMonth) {
    const int k = posting::SlotHolding(journalMonth);
    return k < 0 ? nullptr : Window(k);
  }
  // "Saisir" on the header of a journal-month in the headers list (opened when needed).
  TWSaiBroDetJournaux* Saisir(const std::string& journalMonth) {
    if (Headers() == nullptr) Menu(command_id::SaisieEcritures);
    TWSaiBroEntJournaux* list = Headers();
    if (list == nullptr || !list->LocateCode(journalMonth + "B")) {
      ADD_FAILURE() << journalMonth << " is not listed";
      return nullptr;
    }
    Send(list, browse_cmd::Modifier);
    return WindowOf(journalMonth);
  }

  // The draft journal-months of the dossier with their general lines (cancelled ones too), most
  // lines first.
  std::vector<std::pair<std::string, long>> JournalMonths() {
    std::map<std::string, long> months;
    Table c50;
    EXPECT_TRUE(c50.OpenShared(folder_ + "c50je", L::kCodeTag, true));
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
      ++months[std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL)];
    std::vector<std::pair<std::string, long>> out(months.begin(), months.end());
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return out;
  }

  // The invariant check and the oracle, reading the files apart.
  void ExpectInvariants(const std::string& when) {
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << when << "\n" << check.Report();
    int status = -1;
    const std::string out = test_support::RunPythonScript(
        "import sys, runpy\nsys.argv = ['check_demo.py', '" + std::string(DossierFolder) + "', 'JE', '--invariants']\n"
        "runpy.run_path('" + test_support::DemoOracle() + "', run_name='__main__')\n",
        true, &status);
    EXPECT_EQ(status, 0) << when << "\n" << out;
  }

  static std::vector<std::string>& Notices() {
    static std::vector<std::string> n;
    return n;
  }

  std::string folder_;
};

// Another station, forked before the dossier opens here: its own cursor on the general file of
// StationFile(); command "a" + i locks the draft header of StationTargets()[i], "A" + i lets it go.
inline std::string& StationFile() {
  static std::string file;
  return file;
}
inline std::vector<std::string>& StationTargets() {
  static std::vector<std::string> targets;
  return targets;
}
inline bool OtherStation(char cmd) {
  static Table* c10 = nullptr;
  if (c10 == nullptr) {
    c10 = new Table();
    if (!c10->OpenShared(StationFile(), "C10CODE")) return false;
  }
  const bool lock = cmd >= 'a' && cmd <= 'z';
  const std::size_t i = static_cast<std::size_t>(lock ? cmd - 'a' : cmd - 'A');
  if (i >= StationTargets().size() || !posting::FindHeader(*c10, StationTargets()[i], posting::kDraftSource).IsFound())
    return false;
  return lock ? LockRecord(*c10, nullptr, 0) : UnlockRecord(*c10);
}

}  // namespace entry_test
