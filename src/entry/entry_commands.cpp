#include "entry/entry_commands.h"

#include <algorithm>

#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "entry/analytic_line_form.h"
#include "entry/analytic_lines_window.h"
#include "entry/headers_list.h"
#include "entry/line_form.h"
#include "entry/lines_window.h"
#include "entry/validation_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"

using namespace entry;

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgAllSlotsTaken = 16004;
constexpr int kTitleAttention = 52;

constexpr int kEntryIcon = 1004;

bool PlacedByOption() { return ProgramOption(3) == 'O'; }

void PlaceList(CMDIBrowse& list, int leftChars, bool wide) {
  PlaceChildWindow(list, leftChars, 0);
  if (PlacedByOption() || CommandWindow == nullptr) return;
  const gui::Rect client = CommandWindow->GetClientRect();
  const int wanted = (TotalColumnWidth(list.Columns()) + 4) * CMDIBrowse::CharWidthPixels() + 40;
  const int width = wide ? std::max(client.w, 200) : std::min(wanted, std::max(client.w, 200));
  list.MoveWindow(gui::Rect{0, 0, width, std::max(client.h, 200)});
}

// Opens or brings forward the list of the journal-month headers.
void OpenHeadersList() {
  if (ActivateExistingChild(posting::kHeadersListFlag) || CommandWindow == nullptr) return;
  auto* list = new TWSaiBroEntJournaux(CommandWindow);
  SetChildIcon(*list, kEntryIcon);
  PlaceList(*list, 0, false);
  if (list->Create()) list->Show(gui::SW_SHOWNORMAL);
  else delete list;
}

// The header lock "Saisir" took goes back when no window takes the journal-month.
void ReleaseHeaderLock(const std::string& journalMonth) {
  if (TableC10 == nullptr || !TableC10->isOpen) return;
  // A header not read keeps its lock until the general file's cursor closes: said, naming the file.
  const Lookup header = posting::FindHeader(*TableC10, journalMonth, posting::kDraftSource);
  if (header.IsFound()) UnlockRecord(*TableC10);
  else ReportRefusedLookup(*TableC10, header, "C10CODE", journalMonth.c_str());
}

// The journal-month asked by "Saisir" into a slot: the one that holds it already, or the first
// free one with a new lines window.
void EnterJournalMonth(const std::string& journalMonth) {
  const int held = posting::SlotHolding(journalMonth);
  if (held >= 0) {
    ActivateExistingChild(posting::SlotPosition(held));
    return;
  }
  const int k = posting::FreeSlot();
  if (k < 0 || CommandWindow == nullptr) {
    gui::MessageBeep(0);
    gui::MessageBox(gui::Window::FromHandle(MainWindowHandle), LoadStr(kMsgAllSlotsTaken), LoadStr(kTitleAttention),
                    gui::MB_OK | gui::MB_ICONSTOP);
    ReleaseHeaderLock(journalMonth);
    return;
  }
  const int own = posting::SlotPosition(k);
  const BrowseColumnTable columns =
      TWSaiBroDetJournaux::DeclaredColumns(TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N', DossierIsEuroOnly());
  auto* window = new TWSaiBroDetJournaux(CommandWindow, TWSaiBroDetJournaux::TitleOf(journalMonth), &columns, own,
                                         own + posting::kPartnerOffset);
  SetChildIcon(*window, kEntryIcon);
  PlaceList(*window, 2, true);
  if (window->Create()) {
    window->Show(gui::SW_SHOWNORMAL);
  } else {
    delete window;
    ReleaseHeaderLock(journalMonth);
  }
}

// SaisieEcritures "Saisie d'Ecritures", after the shell's prologue.
// Core: SlotHolding, FreeSlot, EnsureDraftHeader.
void CmSaisieEcritures() {
  if (RegistryChar(posting::kHeadersListFlag) == '2') {
    const std::string journalMonth = RegistryText(posting::kPendingKeyPosition, posting::kJournalMonthKeyLength);
    EnterJournalMonth(journalMonth);
    // The flag says again whether the headers list is there.
    const gui::Handle list = SlotHandle(posting::kHeadersListFlag);
    SetRegistryText(posting::kHeadersListFlag, 1, list != 0 && gui::Window::FromHandle(list) != nullptr ? "1" : " ");
    return;
  }
  OpenHeadersList();
}

// ActiverSaisie: the journal-entry window that last had the focus, else SaisieEcritures.
// Core: ActiveLinesWindowPosition.
void CmActiverSaisie() {
  const int position = posting::ActiveLinesWindowPosition();
  if (position > 0 && RegistryChar(position) == '1' && ActivateExistingChild(position)) return;
  gui::PostCommand(MainWindowHandle, command_id::SaisieEcritures);
}

}  // namespace

void InstallEntryCommands() {
  SetCommandWork(command_id::SaisieEcritures, CmSaisieEcritures);
  SetCommandWork(command_id::ActiverSaisie, CmActiverSaisie);
  SetCommandWork(command_id::ModDetJournaux, CmModDetJournaux);
  SetCommandWork(command_id::BroDetJournauxAnal, CmBroDetJournauxAnal);
  SetCommandWork(command_id::ModDetJournauxAnal, CmModDetJournauxAnal);
  InstallValidationCommand();                                     // "Saisie > Validation des Journaux"
}
