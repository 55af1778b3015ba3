#include "reports/balances/balance_commands.h"

#include "reports/balances/balance_forms.h"
#include "reports/balances/balance_windows.h"
#include "runtime/session_registry.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"

namespace {

constexpr int kBalancesIcon = 1006;

// A new child: its icon, its place, its window; deleted when the window cannot be made.
void Show(gui::Window* w) {
  SetChildIcon(*w, kBalancesIcon);
  PlaceChildWindow(*w, 0, 0);
  // Unless the program places its windows itself, the form opens large enough for its controls.
  if (auto* form = dynamic_cast<TWEtaModLedger*>(w); form != nullptr && ProgramOption(3) != 'O')
    form->MoveWindow(form->FittingRect());
  if (w->Create()) w->Show(gui::SW_SHOWNORMAL);
  else if (w->IsCreated()) w->Destroy();
  else delete w;
}

}  // namespace

// Core: TrialBalanceReport (its lists from BuildListSequence, its accounts from Gatherer, the
// statutory entries file from FecExport).
void CmEtaBalances() {
  if (CommandWindow == nullptr) return;
  if (ActivateExistingChild(kBalancesFormSlot)) return;
  if (RegistryChar(kBalancesWindowSlot) == '2') {
    Show(new TWEtaModBalances(CommandWindow));
    SetRegistryText(kBalancesWindowSlot, 1, "1");
    return;
  }
  Show(new TWEtaBroBalances(CommandWindow));
}

void InstallBalanceCommands() {
  SetCommandWork(command_id::EtaBalances, CmEtaBalances);
}
