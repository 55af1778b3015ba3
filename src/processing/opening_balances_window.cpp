#include "processing/opening_balances_window.h"

#include <memory>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/rebuild_indexes.h"
#include "platform/gui/application.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "processing/core/matching_lines.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/mdi_client.h"
#include "shell/toolbar.h"

namespace {

constexpr int kCaption = 29060;
constexpr int kFormColumns = 20;
constexpr int kFormRows = 11;
constexpr int kUnmatchedConstant = 58;
constexpr int kUnreconciledConstant = 59;
constexpr int kLetterCheckConstant = 40;

// The form's own controls, beside YearEndTargetControls (whose date and code run 1203, whose "?" is 1204).
enum : int {
  kAuxTitle = 1309, kFinTitle = 1310, kCheckCommand = 1203, kChooseButton = 1204, kUnmatchedBox = 1205,
  kUnreconciledBox = 1206,
};

constexpr int kFilter = 1189;

// The texts of the form and its run, by their ids in the string table.
constexpr int kLabelDate = 29064, kLabelDossier = 29065;
constexpr int kTitleAuxiliary = 29067, kTitleFinancial = 29068;
constexpr int kMsgDraftNotEmpty = 29069;
constexpr int kLabelUnmatched = 29070;     // the collectives' letters
constexpr int kLabelUnreconciled = 29071;  // the bank accounts' prefixes
constexpr int kTitleChooseDossier = 29072;
constexpr int kMsgConfirm = 29073;
constexpr int kTitleProgress = 32625;      // the caption with the open dossier's code
constexpr int kPhaseTrialBalance = 29077;
constexpr int kMsgResultFrancs = 29074;    // the year's result
constexpr int kMsgResultEuros = 29075;
constexpr int kPhaseLetters = 29078;       // the currency
constexpr int kTextEuros = 2277, kTextFrancs = 2278;


// The progress window of the opening balances run: the account being written on its second line.
DossierProgressWindow* g_openingProgress = nullptr;
std::string g_openingShown;

void ShowOpeningStep(const std::string& account) {
  if (g_openingProgress == nullptr || account == g_openingShown) return;
  g_openingShown = account;
  g_openingProgress->SetLine2(account);
}

void ShowOpeningPhase(const std::string& text) {
  if (g_openingProgress != nullptr) g_openingProgress->SetLine(text);
}

}  // namespace

// Core: ComputeTrialBalance, GenerateOpeningBalances.
void CmGenerationSoldesANouveau() {
  OpenYearEndForm(kOpeningFormSlot, [](gui::MDIClient* c) { return new TWTraGenerationSAN(c); });
}

TWTraGenerationSAN::TWTraGenerationSAN(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kCaption), kFormColumns, kFormRows, kOpeningFormSlot, kOpeningFormSlotLength) {
  AskOnClose = false;
  c_.Make(this, kLabelDate, kLabelDossier);
  // F8 in the date or the code checks the target dossier, as Enter does.
  for (MEdit* e : {c_.date, c_.code}) e->SetF8Command(kCheckCommand);
  titles_[0] = new MStatic(this, LoadStr(kTitleAuxiliary), kAuxTitle);
  titles_[1] = new MStatic(this, LoadStr(kTitleFinancial), kFinTitle);
  unmatched_ = new MCheckBox(this, kUnmatchedBox, "", 1);
  unreconciled_ = new MCheckBox(this, kUnreconciledBox, "", 1);
  ContextCommands = {2, form_cmd::Quitter, yearend_cmd::Accepter};
  target_.folder = DossierFolder;
}

TWTraGenerationSAN::~TWTraGenerationSAN() {
  CloseYearEndForm(kOpeningFormSlot);
}

void TWTraGenerationSAN::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  c_.Setup(DossierFolder);
  const std::string caption = LoadStr(kCaption);
  if (!TableC10->OpenShared(PathC10(), "C10CODE") || !TableC50->OpenShared(PathC50(), LigneEcriture::kCodeTag)) {
    CloseAllTables();
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  // The draft must hold no live line: the year's books are those of the closed file.
  bool live = false;
  // A line whose mark is not read may be live: said, naming the file, and nothing is generated.
  for (bool more = TableC50->GoTop(""); more && !live; more = TableC50->Skip(1)) {
    const Lookup line = LiveOrSaid(*TableC50);
    if (line.IsRefused()) {
      CloseAllTables();
      gui::PostMessage(GetHandle(), gui::WM_CLOSE);
      return;
    }
    live = line.IsFound();
  }

  if (live) {
    gui::MessageBox(this, LoadStr(kMsgDraftNotEmpty), caption, gui::MB_OK | gui::MB_ICONINFORMATION);
    CloseAllTables();
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  guarded_ = true;
  collectives_ = processing::ReadCollectives(*TableC10);
  CloseAllTables();
  bankPrefixes_ = AllTrim(DossierIniGet("SAN", "SAN-Detailles", "").c_str());
  if (bankPrefixes_.empty()) bankPrefixes_ = IniGetString("SAN-Detailles", processing::kDefaultBankPrefixes);
  std::string letters;
  for (const processing::Collective& c : collectives_) letters += c.letter;
  unmatched_->SetText(FillPlaceholder(LoadStr(kLabelUnmatched), letters));
  unreconciled_->SetText(FillPlaceholder(LoadStr(kLabelUnreconciled), bankPrefixes_));
  unmatched_->SetValue(ConstantIs(kUnmatchedConstant, 'O'), true);
  unreconciled_->SetValue(ConstantIs(kUnreconciledConstant, 'O'), true);
  c_.code->FocusSelect(true);
}

void TWTraGenerationSAN::ArrangeControls() {
  c_.Arrange(*this, 4);
  MoveFormControls(titles_[0], 1, 8, 20, 1, grid::Label, 0, 0);
  MoveFormControls(unmatched_, 1, 9, 20, 1, grid::Text, 0, 0);
  MoveFormControls(titles_[1], 1, 10, 20, 1, grid::Label, 0, 0);
  MoveFormControls(unreconciled_, 1, 11, 20, 1, grid::Text, 0, 0);
}

const gui::ResponseTable& TWTraGenerationSAN::Table() {
  using F = TWTraGenerationSAN;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(yearend_cmd::Accepter, &F::CmAccepter)
                                              .Command(kCheckCommand, &F::CmCheckTarget)
                                              .Command(kChooseButton, &F::CmChooseTarget);
  return table;
}

void TWTraGenerationSAN::CmCheckTarget() {
  CheckTarget();
  c_.code->SetFocus();
}

void TWTraGenerationSAN::ShowTarget(const std::string& first, const std::string& second) {
  targetFirst_ = first;
  c_.target[0]->SetText(first);
  c_.target[1]->SetText(second);
}

bool TWTraGenerationSAN::CheckTarget() {
  ShowTarget("", "");
  target_.code = AllTrim(c_.code->GetValue().c_str());
  Ymd date;
  ParseDisplayDate(c_.date->GetValue(), date);
  const processing::TargetCheck c = processing::CheckOpeningTarget(target_, date);
  ShowTarget(c.first, c.second);
  if (c.beep) gui::MessageBeep(0);
  if (c.clearCode) c_.code->SetValue("", false);
  return c.ok;
}

void TWTraGenerationSAN::CmChooseTarget() {
  if (running_) return;
  std::string path;
  if (!gui::GetOpenFileName(this, LoadStr(kTitleChooseDossier), LoadStr(kFilter), DossierFolder, path)) return;
  processing::OtherDossier chosen;
  const bool named = processing::OtherDossierOfFile(path, &chosen);
  const std::size_t slash = path.find_last_of('/');
  target_.folder = named ? chosen.folder : path.substr(0, slash == std::string::npos ? 0 : slash + 1);
  c_.code->SetValue(named ? chosen.code : "", false);
  c_.folder->SetText(target_.folder);
  CheckTarget();
  c_.code->FocusSelect(true);
}

bool TWTraGenerationSAN::Ask(const std::string& text, unsigned icon) {
  return gui::MessageBox(this, text, LoadStr(kCaption), gui::MB_YESNO | icon | gui::MB_DEFBUTTON2) == gui::IDYES;
}

void TWTraGenerationSAN::CmAccepter() {
  if (running_ || !CheckTarget()) return;
  // The target is written into only by a user who has its privileged password.
  if (!OtherDossierPasswordGiven(this, target_, true, {}, LoadStr(kCaption))) return;
  if (!Ask(LoadStr(kMsgConfirm), gui::MB_ICONINFORMATION)) return;
  running_ = true;
  const std::string caption = LoadStr(kCaption);
  const bool euroOnly = DossierIsEuroOnly();
  // The progress window names each step, from the checks on; a check that stops closes it.
  auto progress = std::make_unique<DossierProgressWindow>(
      this, FillPlaceholder(LoadStr(kTitleProgress), AllTrim(DossierCode.c_str())), true);
  auto stop = [&] {
    progress.reset();
    running_ = false;
  };
  // The books: the trial balance, then the result as the user printed it.
  progress->SetLine(LoadStr(kPhaseTrialBalance));
  processing::TrialBalance balance;
  {
    ::Table c20;
    if (c20.OpenShared(PathC20(), "C20CODE", true)) balance = processing::ComputeTrialBalance(c20, collectives_);
  }
  const std::string refusal = processing::TrialBalanceRefusal(balance, euroOnly);
  if (!refusal.empty()) {
    gui::MessageBox(this, refusal, caption, gui::MB_OK | gui::MB_ICONINFORMATION);
    stop();
    return;
  }
  auto result = [](long long cents) { return Trimmed(BalanceAmount(-(cents < 0 ? -cents : cents))); };
  if ((!euroOnly &&
       !Ask(FillPlaceholder(LoadStr(kMsgResultFrancs), result(balance.resultFrancs)), gui::MB_ICONQUESTION)) ||
      !Ask(FillPlaceholder(LoadStr(kMsgResultEuros), result(balance.resultEuros)), gui::MB_ICONQUESTION)) {
    stop();
    return;
  }
  if (unmatched_->IsChecked() && ConstantIs(kLetterCheckConstant, 'O')) {
    const bool euros = TheDossierRecord.EuroIsMain();
    progress->SetLine(FillPlaceholder(LoadStr(kPhaseLetters), LoadStr(euros ? kTextEuros : kTextFrancs)));
    ::Table c40, c50, c60;
    std::string letters;
    if (c40.OpenShared(PathC40(), "C40CODE", true) && c50.OpenShared(PathC50(), LigneEcriture::kCodeTag, true) &&
        c60.OpenShared(PathC60(), processing::kC60CodeTag, true))
      letters = processing::CheckLetterBalances(c40, c50, c60, collectives_, euros ? 1 : 0);
    if (!letters.empty()) {
      gui::MessageBox(this, letters, caption, gui::MB_OK | gui::MB_ICONERROR);
      stop();
      return;
    }
  }
  processing::OpeningRequest request;
  request.target = target_;
  ParseDisplayDate(c_.date->GetValue(), request.date);
  request.detailUnmatched = unmatched_->IsChecked();
  request.detailUnreconciled = unreconciled_->IsChecked();
  request.bankPrefixes = bankPrefixes_;
  const processing::TargetMaintenance maintenance = YearEndMaintenance(this, true);
  SetDossierState('1');
  SetAppCursor(kBusyFirstString, true);
  CloseAllTables();
  processing::OpeningResult r;
  g_openingProgress = progress.get();
  g_openingShown.clear();
  r = processing::GenerateOpeningBalances(request, collectives_, balance, maintenance, &ShowOpeningStep,
                                          &ShowOpeningPhase);
  g_openingProgress = nullptr;
  progress.reset();
  SetAppCursor(0, false);
  if (r.code == processing::kOpeningRefused) {
    ShowYearEndRefusal(this, r.error, r.busy, caption);
    running_ = false;
    return;
  }
  if (r.code == 0) RememberOtherDossier(target_);
  gui::MessageBeep(0);
  WriteLog(processing::OpeningLogLine(request, r));
  const unsigned icon = r.code != 0 ? gui::MB_ICONERROR : gui::MB_ICONINFORMATION;
  gui::MessageBox(this, processing::OpeningEndMessage(request, r), caption, gui::MB_OK | icon);
  running_ = false;
  CloseWindow();
  if (MainWindowHandle != 0) gui::PostCommand(MainWindowHandle, command_id::SetMainCaption);
}
