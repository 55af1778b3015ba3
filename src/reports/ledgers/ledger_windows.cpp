#include "reports/ledgers/ledger_windows.h"

#include "framework/dialog_bases.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/printing.h"
#include "reports/engine/visu_window.h"
#include "reports/ledgers/core/ledger_strings.h"
#include "reports/ledgers/core/ledger_tables.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/session_registry.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

using namespace ledgers;

const LedgerWindowKind kStatementWindow = {command_id::EtaCompte, kStrTitleStatement, kStatementWindowSlot,
                                           kStatementWindowSlotLength, kStatementFormSlot, 29, 44, 48, false};
const LedgerWindowKind kGeneralLedgersWindow = {
    command_id::EtaGrandsLivres,  kStrTitleGeneralLedgers, kGeneralLedgersWindowSlot, kGeneralLedgersWindowSlotLength,
    kGeneralLedgersFormSlot, 67, 50, 50, false};
const LedgerWindowKind kJournalsWindow = {command_id::EtaJournaux, kStrTitleJournals, kJournalsWindowSlot,
                                          kJournalsWindowSlotLength, kJournalsFormSlot, 16, 51, 49, false};
const LedgerWindowKind kSummaryWindow = {command_id::EtaRecapCentralisateur, kStrTitleSummary, kSummaryWindowSlot,
                                         kSummaryWindowSlotLength, 0, 8, 35, 85, true};

// ---------------------------------------------------------------------------------------
// The shared cycle

TWEtaBroLedger::TWEtaBroLedger(gui::MDIClient* parent, const LedgerWindowKind& kind)
    : TWEtats(parent, LoadStr(kind.titleId), kind.ownSlot, kind.slotLength, kind.formSlot), kind_(kind) {
  helpContext = kind.helpContext;
}

TWEtaBroLedger::~TWEtaBroLedger() = default;

const gui::ResponseTable& TWEtaBroLedger::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                              .Command(Modifier, &TWEtaBroLedger::CmModifier)
                                              .Command(Visualiser, &TWEtaBroLedger::CmVisualiserEtat)
                                              .Command(Imprimer, &TWEtaBroLedger::CmImprimerEtat)
                                              .Enable(Visualiser, &TWEtaBroLedger::CeIdle)
                                              .Enable(Imprimer, &TWEtaBroLedger::CeIdle);
  return table;
}

void TWEtaBroLedger::SetupWindow() {
  TWEtats::SetupWindow();
  BuildToolbar(toolbarCommands, true);
  // A table that does not open is reported (which table, why) and the window closes.
  if (!OpenLedgerTables(ProgramLedgerTables(), kind_.helpContext, kind_.c10Only)) {
    PostClose();
    return;
  }
  PostToSelf(browse_cmd::Modifier);
}

void TWEtaBroLedger::CmModifier() {
  if (kind_.formSlot <= 0) return;
  OpenPartnerForm("", kind_.formSlot, kind_.menuCommand, kind_.ownSlot);
}

void TWEtaBroLedger::TakeOptions() { optionsBuffer_ = RegistryText(kind_.ownSlot + 11, kind_.limitsLength); }

int TWEtaBroLedger::RunChoice(bool print, const std::string& prefix) {
  const int answer = RunChoiceDialog(print, prefix);
  if (answer == gui::IDOK) {
    Report().reportCode = ReportCode;
    Report().chosenLayoutText = ChosenLayoutText;
  }
  return answer;
}

bool TWEtaBroLedger::ShowInPreview(bool severalLists, const std::string& title, bool printDisabled) {
  return ShowReportInPreview(Report(), severalLists, title, printDisabled);
}

bool TWEtaBroLedger::ChooseAndPrint(const std::string& prefix, const std::string& title) {
  const int answer = RunChoice(true, prefix);
  if (answer == choice_ids::kToPreview) {
    PostToSelf(browse_cmd::Visualiser);
    return true;
  }
  if (answer == gui::IDOK && Report().PrepareReport()) {
    TImpression printout(Report(), title);
    Print(printout);
  }
  return false;
}

void TWEtaBroLedger::RaiseForm() { RaisePartnerForm(*this); }

// ---------------------------------------------------------------------------------------
// Account statement

TWEtaBroCompte::TWEtaBroCompte(gui::MDIClient* parent) : TWEtaBroLedger(parent, kStatementWindow), report_(this) {}

void TWEtaBroCompte::DefaultAction() {
  // The list windows' own: the form when it is open, else the window's tool bar.
  if (RegistryChar(kind_.formSlot) == '1') RaiseForm();
  else CMDIBrowse::DefaultAction();
}

void TWEtaBroCompte::CmVisualiserEtat() {
  if (Busy()) return;
  TakeOptions();
  report_.TakeLimits(optionsBuffer_);
  const int answer = RunChoice(false, report_.ReportPrefix());
  if (answer == choice_ids::kToPrint) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  if (answer == gui::IDOK && report_.PrepareReport()) ShowInPreview(false, report_.PreviewTitle(), false);
}

void TWEtaBroCompte::CmImprimerEtat() {
  if (Busy()) return;
  TakeOptions();
  report_.TakeLimits(optionsBuffer_);
  if (!ChooseAndPrint(report_.ReportPrefix(), Title())) RaiseForm();
}

// ---------------------------------------------------------------------------------------
// General ledgers

TWEtaBroGrandsLivres::TWEtaBroGrandsLivres(gui::MDIClient* parent)
    : TWEtaBroLedger(parent, kGeneralLedgersWindow), report_(this) {}

const gui::ResponseTable& TWEtaBroGrandsLivres::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&TWEtaBroLedger::Table())
                                              .Command(ledger_cmd::ListeSuivante, &TWEtaBroGrandsLivres::CmListeSuivante);
  return table;
}

void TWEtaBroGrandsLivres::ShowLedger() { ShowInPreview(report_.MoreLedgers(), report_.PreviewTitle(), false); }

void TWEtaBroGrandsLivres::CmVisualiserEtat() {
  if (Busy()) return;
  TakeOptions();
  report_.TakeLimits(optionsBuffer_);
  // The preview renders its pages as they are asked for: the sort file is walked through its
  // tag, so that the first page comes at once (a snapshot would read the whole file first).
  report_.walk = GeneralLedgers::Walk::kIndex;
  const int answer = RunChoice(false, report_.ReportPrefix());
  if (answer == choice_ids::kToPrint) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  if (answer == gui::IDOK) {
    report_.ChooseReportCode(ReportCode);
    if (report_.PrepareNextLedger()) {
      ShowLedger();
      return;
    }
  }
  RaiseForm();
}

void TWEtaBroGrandsLivres::CmListeSuivante() {
  if (PrintRunFlag) return;
  if (report_.NextLedger()) ShowLedger();
  else RaiseForm();
}

void TWEtaBroGrandsLivres::CmImprimerEtat() {
  if (Busy()) return;
  TakeOptions();
  report_.TakeLimits(optionsBuffer_);
  // A printout runs to its end: the report chooses its walk.
  report_.walk = GeneralLedgers::Walk::kAutomatic;
  const int answer = RunChoice(true, report_.ReportPrefix());
  if (answer == choice_ids::kToPreview) {
    PostToSelf(browse_cmd::Visualiser);
    return;
  }
  if (answer == gui::IDOK) {
    report_.ChooseReportCode(ReportCode);
    if (report_.PrepareNextLedger()) {
      GeneralLedgersPrintout printout(report_, Title());
      Print(printout);
    }
  }
  RaiseForm();
}

// ---------------------------------------------------------------------------------------
// Journal listings

TWEtaBroJournaux::TWEtaBroJournaux(gui::MDIClient* parent) : TWEtaBroLedger(parent, kJournalsWindow), report_(this) {}

void TWEtaBroJournaux::CmVisualiserEtat() {
  if (Busy()) return;
  TakeOptions();
  report_.TakeLimits(optionsBuffer_);
  report_.walk = JournalListings::Walk::kIndex;  // the first page at once, as for the ledgers
  ChoiceOptionsLevel = report_.ChoiceOptionsLevel();
  const int answer = RunChoice(false, report_.ReportPrefix());
  if (answer == choice_ids::kToPrint) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  if (answer == gui::IDOK && report_.PrepareReport() && ShowInPreview(false, report_.PreviewTitle(), false)) return;
  RaiseForm();
}

void TWEtaBroJournaux::CmImprimerEtat() {
  if (Busy()) return;
  TakeOptions();
  report_.TakeLimits(optionsBuffer_);
  report_.walk = JournalListings::Walk::kAutomatic;
  ChoiceOptionsLevel = report_.ChoiceOptionsLevel();
  if (!ChooseAndPrint(report_.ReportPrefix(), Title())) RaiseForm();
}

// ---------------------------------------------------------------------------------------
// Centralising summary

TWEtaBroRecapCentralisateur::TWEtaBroRecapCentralisateur(gui::MDIClient* parent)
    : TWEtaBroLedger(parent, kSummaryWindow), report_(this) {}

void TWEtaBroRecapCentralisateur::SetupWindow() {
  TWEtats::SetupWindow();
  BuildToolbar(toolbarCommands, true);
  if (!OpenLedgerTables(ProgramLedgerTables(), kind_.helpContext, true)) {
    PostClose();
    return;
  }
  // Without a journal-month total there is nothing to sum.
  if (!report_.HasRecords()) {
    gui::MessageBeep(0);
    PostClose();
    return;
  }
  PostToSelf(browse_cmd::Visualiser);
}

void TWEtaBroRecapCentralisateur::CmVisualiserEtat() {
  if (Busy()) return;
  const int answer = RunChoice(false, report_.ReportPrefix());
  if (answer == choice_ids::kToPrint) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  if (answer == gui::IDOK && report_.PrepareReport() && ShowInPreview(false, report_.PreviewTitle(), true)) return;
  PostClose();
}

void TWEtaBroRecapCentralisateur::CmImprimerEtat() {
  if (Busy()) return;
  if (!ChooseAndPrint(report_.ReportPrefix(), LoadStr(kStrTitleSummary))) PostClose();
}
