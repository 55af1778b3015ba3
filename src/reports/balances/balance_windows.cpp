#include "reports/balances/balance_windows.h"

#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/report_export.h"
#include "reports/balances/core/trial_balance_variables.h"
#include "reports/engine/printing.h"
#include "reports/ledgers/core/ledger_tables.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {
constexpr int kTitleId = 215;               // "Balances des Comptes"
constexpr int kPromptCegidDossier = 23521;  // the dossier's code in CEGID, 5 digits
constexpr int kPreviewTitle = 23520;        // "Visualisation: Balance: %s" (%s: the list's title)
constexpr int kHelpContext = 51;
constexpr int kEngineErrorContext = 85;
constexpr int kOptionsLength = balances::TrialBalanceOptions::kLength;
}  // namespace

const LedgerWindowKind kTrialBalanceWindow = {command_id::EtaBalances, kTitleId,         kBalancesWindowSlot,
                                              kBalancesWindowSlotLength, kBalancesFormSlot, kOptionsLength,
                                              balances::kTrialBalanceFieldCount, kHelpContext, false};

// ---------------------------------------------------------------------------------------
// The report's questions

void WindowTrialBalanceReport::ShowEmpty(const std::string& text) {
  TrialBalanceReport::ShowEmpty(text);
  ShowEmptyEtat(window_, text);
}

void WindowTrialBalanceReport::ShowError(const std::string& text) {
  TrialBalanceReport::ShowError(text);
  gui::MessageBeep(0);
  gui::MessageBox(window_, text, window_->GetCaption(), gui::MB_OK | gui::MB_ICONSTOP);
}

void WindowTrialBalanceReport::ShowInformation(const std::string& text) {
  TrialBalanceReport::ShowInformation(text);
  gui::MessageBox(window_, text, window_->GetCaption(), gui::MB_OK | gui::MB_ICONINFORMATION);
}

void WindowTrialBalanceReport::ShowWarning(const std::string& text, const std::string& caption) {
  TrialBalanceReport::ShowWarning(text, caption);
  gui::MessageBeep(0);
  gui::MessageBox(window_, text, caption, gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

bool WindowTrialBalanceReport::AskGoOn(const std::string& text) {
  TrialBalanceReport::AskGoOn(text);
  return gui::MessageBox(window_, text, window_->GetCaption(),
                         gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) == gui::IDYES;
}

bool WindowTrialBalanceReport::AskDossierCode(std::string& typed) {
  std::string buffer;
  TDFmtSaisie dialog(window_, TDFmtSaisie::kOkCancel, LoadStr(kPromptCegidDossier), &buffer, true);
  if (dialog.Execute(kTaskModal) != gui::IDOK) return false;
  typed = buffer;
  return true;
}

// ---------------------------------------------------------------------------------------
// The window

TWEtaBroBalances::TWEtaBroBalances(gui::MDIClient* parent)
    : TWEtats(parent, LoadStr(kTitleId), kBalancesWindowSlot, kBalancesWindowSlotLength, kBalancesFormSlot),
      report_(this) {
  helpContext = kHelpContext;
}

TWEtaBroBalances::~TWEtaBroBalances() = default;

const gui::ResponseTable& TWEtaBroBalances::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                              .Command(Modifier, &TWEtaBroBalances::CmModifier)
                                              .Command(Visualiser, &TWEtaBroBalances::CmVisualiser)
                                              .Command(Imprimer, &TWEtaBroBalances::CmImprimer)
                                              .Command(balance_cmd::AutreListe, &TWEtaBroBalances::CmNextList)
                                              .Enable(Visualiser, &TWEtaBroBalances::CeIdle)
                                              .Enable(Imprimer, &TWEtaBroBalances::CeIdle);
  return table;
}

void TWEtaBroBalances::SetupWindow() {
  TWEtats::SetupWindow();
  BuildToolbar(toolbarCommands, true);
  // A table that does not open is reported (which table, why) and the window closes.
  if (!ledgers::OpenLedgerTables(ledgers::ProgramLedgerTables(), kEngineErrorContext)) {
    PostClose();
    return;
  }
  PostToSelf(browse_cmd::Modifier);
}

void TWEtaBroBalances::CmModifier() {
  OpenPartnerForm("", kBalancesFormSlot, command_id::EtaBalances, kBalancesWindowSlot);
}

void TWEtaBroBalances::ReadOptions() {
  report_.Begin(RegistryText(kBalancesWindowSlot + 11, kOptionsLength), balances::TrialBalancePaths::OfOpenDossier());
  LimitsMode = report_.LimitsMode();
}

void TWEtaBroBalances::TakeCodeForList() {
  report_.ChooseReportCode(ReportCode);
  report_.listType = ChosenLayoutText;
}

bool TWEtaBroBalances::PrepareNextList() {
  while (!report_.Lists().empty()) {
    report_.reportCode = report_.ListKind() == '9' ? balances::AnalyticReportCode(ReportCode) : ReportCode;
    report_.reportCode.resize(18, ' ');
    if (report_.PrepareReport()) return true;
    report_.DropList();
  }
  return false;
}

void TWEtaBroBalances::ShowList() {
  exported_ = false;
  ShowReportInPreview(report_, report_.Lists().size() > 1,
                      FillPlaceholder(LoadStr(kPreviewTitle), report_.ListTitleText()), false);
  exported_ = reports::ExportFile().GetState() != reports::ReportExportFile::State::kNone;
}

void TWEtaBroBalances::DefaultAction() {
  if (exported_ && report_.Lists().size() > 1 && !PrintRunFlag) {
    CmNextList();
    return;
  }
  RaisePartnerForm(*this);
}

void TWEtaBroBalances::CmVisualiser() {
  if (Busy()) return;
  ReadOptions();
  const int answer = RunChoiceDialog(false, report_.Prefix());
  if (answer == choice_ids::kToPrint) {
    PostToSelf(browse_cmd::Imprimer);
    return;
  }
  if (answer != gui::IDOK) {
    RaisePartnerForm(*this);
    return;
  }
  TakeCodeForList();
  if (PrepareNextList()) ShowList();
}

void TWEtaBroBalances::CmNextList() {
  if (PrintRunFlag) return;
  report_.DropList();
  if (PrepareNextList()) ShowList();
  else RaisePartnerForm(*this);
}

void TWEtaBroBalances::CmImprimer() {
  if (Busy()) return;
  ReadOptions();
  const int answer = RunChoiceDialog(true, report_.Prefix());
  if (answer == choice_ids::kToPreview) {
    PostToSelf(browse_cmd::Visualiser);
    return;
  }
  if (answer == gui::IDOK) {
    TakeCodeForList();
    // Every list of the sequence in one job, each from a new page (the analytic list under its
    // analytic code).
    if (PrepareNextList()) {
      ListSequencePrintout printout(report_, Title(), [this] {
        report_.DropList();
        return PrepareNextList();
      });
      PrintReport(printout);
    }
  }
  RaisePartnerForm(*this);
}
