#include "shell/enablers.h"

#include "platform/gui/mdi.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/command_table.h"
#include "shell/mdi_client.h"
#include "shell/toolbar.h"

namespace {

// The letters an enabler checks, by their ids in the string table.
constexpr int kBalanceSheetModelLetters = 2852;  // "RSABCDEFG", the models of dossier constant 004
constexpr int kRightsUserLevels = 2677;          // "1A", the levels that may set the access rights

bool ClientMinimised() { return CommandWindow != nullptr && CommandWindow->IsIconic(); }

bool SlotFilled(int index) { return !IsBlank(DossierSlots[index]); }

// First character of `text` found in the string-table list `id`; a blank
// never matches.
bool FirstCharIn(const std::string& text, int id) {
  if (text.empty() || text[0] == ' ' || text[0] == '\0') return false;
  std::string list = LoadStr(id);
  return list.find(text[0]) != std::string::npos;
}

bool BilanAllowed() {
  return ShellIdle() && ProgramOption(10) == 'O' &&
         FirstCharIn(TheDossierRecord.Constant(4), kBalanceSheetModelLetters);
}

}  // namespace

bool ShellIdle() { return GetDossierState() != '1' && !PrintRunFlag && !ClientMinimised(); }

void CeSansDossier(gui::CommandEnabler& ce) { ce.Enable(ShellIdle()); }

void EnableIfDossierOpen(gui::CommandEnabler& ce) {
  ResetToolbarWhenNoChild();
  ce.Enable(ShellIdle() && SlotFilled(0));
}

void EnableIfTwoDossiers(gui::CommandEnabler& ce) { ce.Enable(ShellIdle() && SlotFilled(0) && SlotFilled(1)); }

void EnableIfDossierSlotFree(gui::CommandEnabler& ce) {
  ce.Enable(ShellIdle() && !(SlotFilled(0) && SlotFilled(1) && SlotFilled(4)));
}

void EnableIfChildActive(gui::CommandEnabler& ce) {
  bool active = CommandWindow != nullptr && CommandWindow->GetActiveMDIChild() != nullptr;
  ce.Enable(ShellIdle() && active);
}

void EnableIfPreviewReportsDiffer(gui::CommandEnabler& ce) {
  bool differ = (ProgramOption(8) == 'O' && ProgramOption(5) != ProgramOption(7)) ||
                ProgramOption(5) != ProgramOption(6);
  ce.Enable(ShellIdle() && differ);
}

void CeBilan(gui::CommandEnabler& ce) {
  if (!BilanAllowed()) {
    ce.Enable(false);
    return;
  }
  EnableIfDossierOpen(ce);
}

void CeDroitsAcces(gui::CommandEnabler& ce) {
  std::string level(1, TheDossierRecord.UserLevel());
  ce.Enable(ShellIdle() && SlotFilled(0) && FirstCharIn(level, kRightsUserLevels) &&
            !IsBlank(TheDossierRecord.SecondaryPassword()));
}

void CeDossierRecent1(gui::CommandEnabler& ce) { ce.Enable(!SlotFilled(0) && ShellIdle()); }

void CeSupprimerChoix(gui::CommandEnabler& ce) {
  ResetToolbarWhenNoChild();
  ce.Enable(ShellIdle() && SlotFilled(0) && !IsBlank(RecentDossiers[1]));
}

void CeGestionDossiers(gui::CommandEnabler& ce) { ce.Enable(ShellIdle() && !SlotFilled(0)); }

void CeRights(gui::CommandEnabler& ce, int function, bool constant056, bool balanceSheet) {
  if (constant056 && TheDossierRecord.Constant(56).substr(0, 1) == "O") {
    ce.Enable(false);
    return;
  }
  if (!HasAccessRight(function, 1)) {
    ce.Enable(false);
    return;
  }
  if (balanceSheet) CeBilan(ce);
  else EnableIfDossierOpen(ce);
}

bool RunTableEnabler(gui::CommandEnabler& ce) {
  const CommandEntry* entry = FindCommand(ce.Id());
  if (entry == nullptr) return false;
  switch (entry->kind) {
    case EnablerKind::None: return false;
    case EnablerKind::SansDossier: CeSansDossier(ce); break;
    case EnablerKind::DossierSlotFree: EnableIfDossierSlotFree(ce); break;
    case EnablerKind::DossierOpen: EnableIfDossierOpen(ce); break;
    case EnablerKind::TwoDossiers: EnableIfTwoDossiers(ce); break;
    case EnablerKind::ChildActive: EnableIfChildActive(ce); break;
    case EnablerKind::PreviewReportsDiffer: EnableIfPreviewReportsDiffer(ce); break;
    case EnablerKind::DroitsAcces: CeDroitsAcces(ce); break;
    case EnablerKind::DossierRecent1: CeDossierRecent1(ce); break;
    case EnablerKind::SupprimerChoix: CeSupprimerChoix(ce); break;
    case EnablerKind::GestionDossiers: CeGestionDossiers(ce); break;
    case EnablerKind::Rights: CeRights(ce, entry->rights, entry->constant056, entry->balanceSheet); break;
  }
  return true;
}
