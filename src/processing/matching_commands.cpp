#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "posting/line_validation.h"
#include "processing/manual_list.h"
#include "processing/matching_windows.h"
#include "resources/string_table.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"

namespace {

constexpr int kIcon = 1004;
constexpr int kParametersPos = 3653;
constexpr int kManualCaption = 29002;
constexpr int kTitleList = 32627;  // "Lettrage Manuel: %s", the account

template <class W>
W* Open(W* window) {
  SetChildIcon(*window, kIcon);
  PlaceChildWindow(*window, 0, 0);
  if (!window->Create()) {
    if (window->IsCreated()) window->Destroy();
    else delete window;
    return nullptr;
  }
  window->Show(gui::SW_SHOWNORMAL);
  return window;
}

// LettrageAutomatique: the dossier taken alone, its report window with the six tables, then the form.
// Core: RunAutomaticMatching, RemoveLetters, CopyLetters.
void CmLettrageAutomatique() {
  if (ActivateExistingChild(kAutomaticFormSlot) || CommandWindow == nullptr) return;
  if (!CommandWindow->CloseChildren()) return;
  CloseAllTables();
  ClearOpenWindowRegistry();
  // Refused: the dossier stays open shared, its message shown.
  if (!OpenDossierExclusive(true)) return;
  auto* report = Open(new TWTraEtaLettrageAutomatique(CommandWindow));
  if (report == nullptr || !report->TablesOpen()) {
    if (report == nullptr) {
      CloseAllTables();
      ReleaseDossierExclusive();
      SetDossierState('2');
    }
    return;
  }
  auto* form = Open(new TWTraModLettrageAutomatique(CommandWindow));
  if (form == nullptr) {
    report->CloseWindow();
    return;
  }
  RegisterWindowSlot(kAutomaticFormSlot, form->GetHandle());
  SetRegistryText(kAutomaticReportSlot, 1, "1");
}

// LettrageManuel: the list open comes forward; otherwise, by the report window's flag, the list the form
// asked for ("3"), or the report window with its form.
// Core: ManualMatching.
void CmLettrageManuel() {
  if (ActivateExistingChild(kManualListSlot) || CommandWindow == nullptr) return;
  const char state = RegistryChar(kManualReportSlot);
  if (state == '3') {
    SetRegistryText(kManualReportSlot, 1, "1");
    const auto p = processing::ManualMatchingParameters::Parse(
        RegistryText(kParametersPos, processing::ManualMatchingParameters::kLength));
    auto* list = new TraBroLettrageManuel(CommandWindow, FillPlaceholder(LoadStr(kTitleList), Trimmed(p.account)), p);
    // An account another station matches, or without lines in the selection: no list. One not read
    // is said.
    const processing::ManualOpen opened = list->OpenMatching();
    if (opened != processing::ManualOpen::Opened) {
      delete list;
      gui::MessageBeep(0);
      if (opened == processing::ManualOpen::Unread)
        gui::MessageBox(gui::Window::FromHandle(MainWindowHandle), LoadStr(posting::kMsgAccountUnread),
                        LoadStr(kManualCaption), gui::MB_OK | gui::MB_ICONSTOP);
      return;
    }
    Open(list);
    return;
  }
  if (ActivateExistingChild(kManualFormSlot)) {
    // A chained matching: the account the line form kept.
    if (auto* form = dynamic_cast<TWTraModLettrageManuel*>(gui::Window::FromHandle(SlotHandle(kManualFormSlot))))
      form->TakeAccount(RegistryText(kRegistryLastAuxiliary, 8));
    return;
  }
  auto* report = Open(new TWTraEtaLettrageManuel(CommandWindow));
  if (report == nullptr) return;
  RegisterWindowSlot(kManualReportSlot, report->GetHandle());
  if (Open(new TWTraModLettrageManuel(CommandWindow)) == nullptr) report->CloseWindow();
}

}  // namespace

void InstallMatchingCommands() {
  SetCommandWork(command_id::LettrageManuel, CmLettrageManuel);
  SetCommandWork(command_id::LettrageAutomatique, CmLettrageAutomatique);
  // A letter operation stopped half-way is put back from its copies at the next opening,
  // asked about as a put-back (not as a run done again).
  SetDossierRunRedo(processing::kMatchingRun, PutBackDossierRunCopies, true);
}
