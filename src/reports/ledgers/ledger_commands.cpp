#include "reports/ledgers/ledger_commands.h"

#include "reports/ledgers/ledger_forms.h"
#include "reports/ledgers/ledger_windows.h"
#include "runtime/session_registry.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"

namespace {

constexpr int kLedgerIcon = 1006;

const LedgerWindowKind& KindOf(unsigned command) {
  switch (command) {
    case command_id::EtaGrandsLivres: return kGeneralLedgersWindow;
    case command_id::EtaJournaux: return kJournalsWindow;
    case command_id::EtaRecapCentralisateur: return kSummaryWindow;
    default: return kStatementWindow;
  }
}

// A new child: its icon, its place, its window; deleted when the window cannot be made.
void Show(gui::Window* w) {
  SetChildIcon(*w, kLedgerIcon);
  PlaceChildWindow(*w, 0, 0);
  // Unless the program places its windows itself, a form opens large enough for its controls.
  if (auto* form = dynamic_cast<TWEtaModLedger*>(w); form != nullptr && ProgramOption(3) != 'O')
    form->MoveWindow(form->FittingRect());
  if (w->Create()) w->Show(gui::SW_SHOWNORMAL);
  else if (w->IsCreated()) w->Destroy();
  else delete w;
}

}  // namespace

// Core: AccountStatement, GeneralLedgers, JournalListings, CentralisingSummary.
void OpenLedgerReport(unsigned command) {
  const LedgerWindowKind& kind = KindOf(command);
  if (CommandWindow == nullptr) return;
  // The form open (or the summary's window): it comes to the top.
  if (ActivateExistingChild(kind.formSlot > 0 ? kind.formSlot : kind.ownSlot)) return;
  if (kind.formSlot > 0 && RegistryChar(kind.ownSlot) == '2') {
    gui::Window* form = nullptr;
    switch (command) {
      case command_id::EtaGrandsLivres: form = new TWEtaModGrandsLivres(CommandWindow); break;
      case command_id::EtaJournaux: form = new TWEtaModJournaux(CommandWindow); break;
      default: form = new TWEtaModCompte(CommandWindow); break;
    }
    Show(form);
    SetRegistryText(kind.ownSlot, 1, "1");
    return;
  }
  gui::Window* window = nullptr;
  switch (command) {
    case command_id::EtaGrandsLivres: window = new TWEtaBroGrandsLivres(CommandWindow); break;
    case command_id::EtaJournaux: window = new TWEtaBroJournaux(CommandWindow); break;
    case command_id::EtaRecapCentralisateur: window = new TWEtaBroRecapCentralisateur(CommandWindow); break;
    default: window = new TWEtaBroCompte(CommandWindow); break;
  }
  Show(window);
}

void InstallLedgerCommands() {
  SetCommandWork(command_id::EtaCompte, [] { OpenLedgerReport(command_id::EtaCompte); });
  SetCommandWork(command_id::EtaGrandsLivres, [] { OpenLedgerReport(command_id::EtaGrandsLivres); });
  SetCommandWork(command_id::EtaJournaux, [] { OpenLedgerReport(command_id::EtaJournaux); });
  // "Etats > Récapitulatif Centralisateur"
  SetCommandWork(command_id::EtaRecapCentralisateur, [] { OpenLedgerReport(command_id::EtaRecapCentralisateur); });
}
