#include "processing/year_end_windows.h"

#include <memory>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_pack.h"
#include "dossier/rebuild_dossier.h"
#include "dossier/rebuild_indexes.h"
#include "dossier/core/renumber_pieces.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "processing/code_copy_dialogs.h"
#include "processing/core/dossier_merge.h"
#include "processing/core/matching_lines.h"
#include "processing/merge_windows.h"
#include "processing/separation_windows.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "shell/cursors.h"
#include "shell/graphics.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kCaption = 29060;
constexpr int kIcon = 1004;
constexpr int kFormColumns = 20;
constexpr int kFormRows = 11;
constexpr int kUnmatchedConstant = 58;
constexpr int kUnreconciledConstant = 59;
constexpr int kLetterCheckConstant = 40;

enum : int {
  kDateLabel = 1301, kSource1 = 1302, kSource2 = 1303, kInLabel = 1304, kTarget1 = 1305, kTarget2 = 1306,
  kFolderLabel = 1307, kFolderText = 1308, kAuxTitle = 1309, kFinTitle = 1310,
  kDateEdit = 1201, kCodeEdit = 1202, kCheckCommand = 1203, kChooseButton = 1204, kUnmatchedBox = 1205,
  kUnreconciledBox = 1206,
};

const char* const kFilter = "Dossiers Nuv-MERLON ZEL|c10*.dbf|Tous les fichiers (*.*)|*.*|";
const char* const kCodeCharacters = "0123456789-ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string Amount(long long cents) { return AllTrim(FormatAmount(FromCents(cents))); }

}  // namespace

void OpenYearEndForm(int slot, const std::function<CMDIModif*(gui::MDIClient*)>& make) {
  if (ActivateExistingChild(slot) || CommandWindow == nullptr) return;
  if (!CommandWindow->CloseChildren()) return;
  CloseAllTables();
  ClearOpenWindowRegistry();
  if (!OpenDossierExclusive(true)) return;
  CMDIModif* form = make(CommandWindow);
  SetChildIcon(*form, kIcon);
  PlaceChildWindow(*form, 0, 0);
  if (!form->Create()) {
    if (form->IsCreated()) form->Destroy();
    else delete form;
    CloseAllTables();
    ReleaseDossierExclusive();
    return;
  }
  form->Show(gui::SW_SHOWNORMAL);
  RegisterWindowSlot(slot, form->GetHandle());
}

void CloseYearEndForm(int slot) {
  SetRegistryText(slot, 1, " ");
  CloseAllTables();
  ReleaseDossierExclusive();
  SetDossierState('2');
}

namespace {

// GenerationSoldesANouveau: the dossier taken alone, then the form (which closes at once when its guard fails).
void CmGenerationSoldesANouveau() {
  OpenYearEndForm(kOpeningFormSlot, [](gui::MDIClient* c) { return new TWTraGenerationSAN(c); });
}

}  // namespace

namespace {

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

void InstallYearEndCommands() {
  // "Traitements > Génération des Soldes à Nouveau"
  SetCommandWork(command_id::GenerationSoldesANouveau, CmGenerationSoldesANouveau);
  // "Traitements > Séparation de deux exercices"
  SetCommandWork(command_id::SeparationExercices, CmSeparationExercices);
  // "Traitements > Ajout d'un autre dossier"
  SetCommandWork(command_id::AjoutDossier, CmAjoutDossier);
  // A target whose run was stopped half-way is put back from its copies when it is opened.
  SetDossierRunRedo(
      processing::kOpeningRun,
      [](const DossierRunInfo& run) { return processing::PutBackInterruptedOpening(run.detail); }, true);
  // A dossier whose merge or separation was stopped half-way is put back from its copies likewise.
  for (const char* run : {processing::kMergeRun, processing::kSeparationRun})
    SetDossierRunRedo(
        run, [](const DossierRunInfo& r) { return processing::PutBackInterruptedTransfer(r.detail); }, true);
  // "Edition > Ajouter à partir d'un autre dossier..." and "Edition > Ajouter vers un autre dossier..." of the
  // code lists, the chart of accounts and the analytic sections.
  InstallCodeCopyHooks();
}

void YearEndTargetControls::Make(CMDIModif* form, int dateText, int codeText) {
  dateLabel = new MStatic(form, LoadStr(dateText), kDateLabel);
  codeLabel = new MStatic(form, LoadStr(codeText), kInLabel);
  folderLabel = new MStatic(form, LoadStr(29066), kFolderLabel);
  date = new MEdit(form, kDateEdit, 8, 1, MEdit::kDate, 0, false);
  code = new MEdit(form, kCodeEdit, 5, 1, MEdit::kText, 0, false);
  code->SetAllowedChars(kCodeCharacters);
  source[0] = new MStatic(form, "", kSource1);
  source[1] = new MStatic(form, "", kSource2);
  target[0] = new MStatic(form, "", kTarget1);
  target[1] = new MStatic(form, "", kTarget2);
  folder = new MStatic(form, "", kFolderText);
  choose = new MButton(form, kChooseButton, "&?");
  for (MEdit* e : {date, code}) {
    e->SetEnterAction(kCheckCommand);
    e->SetNotifyWindow(form);
  }
}

void YearEndTargetControls::Setup(const std::string& folderText) {
  for (gui::Control* c : std::initializer_list<gui::Control*>{date, code}) c->SetFont(EntryFontFixed);
  using F = DossierRecord::DateField;
  Ymd end;
  if (TheDossierRecord.DateYmd(F::YearEnd, end)) {
    Ymd day;
    if (ParseStoredDate(NextDay(StoredDateOf(end).c_str()), day)) date->SetValue(DisplayDateOf(day), true);
  }
  source[0]->SetText(std::string(AllTrim(DossierCode.c_str())) + ": " + RTrim(TheDossierRecord.Name().c_str()));
  source[1]->SetText(LoadStr(29057) + TheDossierRecord.DateDisplay(F::YearStart) + LoadStr(29058) +
                     TheDossierRecord.DateDisplay(F::YearEnd));
  folder->SetText(folderText);
}

void YearEndTargetControls::Arrange(CMDIModif& form, int w) {
  form.MoveFormControls(dateLabel, 1, 1, w, 1, grid::Label, 0, 0);
  form.MoveFormControls(date, w + 1, 1, 4, 1, grid::Text, 9, 0);
  form.MoveFormControls(source[0], 1, 2, 20, 1, grid::Label, 0, 0);
  form.MoveFormControls(source[1], 1, 3, 20, 1, grid::Label, 0, 0);
  form.MoveFormControls(codeLabel, 1, 4, w, 1, grid::Label, 0, 0);
  form.MoveFormControls(code, w + 1, 4, 8 - w, 1, grid::Text, 6, 0);
  form.MoveFormControls(choose, 9, 4, 1, 1, grid::Button, 0, 0);
  form.MoveFormControls(target[0], 1, 5, 20, 1, grid::Label, 0, 0);
  form.MoveFormControls(target[1], 1, 6, 20, 1, grid::Label, 0, 0);
  form.MoveFormControls(folderLabel, 1, 7, w, 1, grid::Label, 0, 0);
  form.MoveFormControls(folder, w + 1, 7, 20 - w, 1, grid::Label, 0, 0);
}

processing::TargetMaintenance YearEndMaintenance(gui::Window* owner, bool pack) {
  processing::TargetMaintenance maintenance;
  maintenance.refusal = [] {
    if (RenumberingPending()) return RenumberPendingMessage();
    const std::string damaged = FindDamagedDossierTable();
    return damaged.empty() ? std::string() : DamagedFileMessage(damaged);
  };
  maintenance.rebuild = [owner, pack] { return RebuildDossier(owner, true, pack); };
  return maintenance;
}

void ShowYearEndRefusal(gui::Window* owner, const std::string& error, bool busy, const std::string& caption) {
  gui::MessageBeep(0);
  gui::MessageBox(owner, error, busy ? processing::OtherDossierBusyCaption() : caption,
                  gui::MB_OK | (busy ? gui::MB_ICONHAND : gui::MB_ICONINFORMATION));
}

void RememberOtherDossier(const processing::OtherDossier& other) {
  std::string entry = other.code;
  entry.resize(5, ' ');
  entry += other.folder;
  for (int i = 1; i < kDossierSlotCount; ++i)
    if (RTrim(DossierSlots[i].c_str()) == RTrim(entry.c_str())) return;
  for (int i = 1; i < kDossierSlotCount; ++i) {
    if (AllTrim(DossierSlots[i].c_str())[0] != '\0') continue;
    DossierSlots[i] = entry;
    return;
  }
}

TWTraGenerationSAN::TWTraGenerationSAN(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kCaption), kFormColumns, kFormRows, kOpeningFormSlot, kOpeningFormSlotLength) {
  AskOnClose = false;
  c_.Make(this, 29064, 29065);
  titles_[0] = new MStatic(this, LoadStr(29067), kAuxTitle);
  titles_[1] = new MStatic(this, LoadStr(29068), kFinTitle);
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
  for (bool more = TableC50->GoTop(""); more && !live; more = TableC50->Skip(1)) live = !TableC50->IsDeleted();
  if (live) {
    gui::MessageBox(this, LoadStr(29069), caption, gui::MB_OK | gui::MB_ICONINFORMATION);
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
  unmatched_->SetText(std::string(LoadStr(29070)) + "'" + letters + "'");
  unreconciled_->SetText(std::string(LoadStr(29071)) + "'" + bankPrefixes_ + "'");
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
  if (!c.ok && c.first.rfind(LoadStr(29059), 0) == 0) c_.code->SetValue("", false);
  return c.ok;
}

void TWTraGenerationSAN::CmChooseTarget() {
  if (running_) return;
  std::string path;
  if (!gui::GetOpenFileName(this, LoadStr(29072), kFilter, DossierFolder, path)) return;
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
  if (!Ask(LoadStr(29073), gui::MB_ICONINFORMATION)) return;
  running_ = true;
  const std::string caption = LoadStr(kCaption);
  const bool euroOnly = DossierIsEuroOnly();
  // The progress window names each step, from the checks on; a check that stops closes it.
  auto progress = std::make_unique<DossierProgressWindow>(this, caption + ": " + AllTrim(DossierCode.c_str()), true);
  auto stop = [&] {
    progress.reset();
    running_ = false;
  };
  // The books: the trial balance, then the result as the user printed it.
  progress->SetLine(LoadStr(29077));
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
  auto result = [](long long cents) { return Amount(-(cents < 0 ? -cents : cents)); };
  if ((!euroOnly && !Ask(LoadStr(29074) + result(balance.resultFrancs) + LoadStr(29076), gui::MB_ICONQUESTION)) ||
      !Ask(LoadStr(29075) + result(balance.resultEuros) + LoadStr(29076), gui::MB_ICONQUESTION)) {
    stop();
    return;
  }
  if (unmatched_->IsChecked() && ConstantIs(kLetterCheckConstant, 'O')) {
    const bool euros = TheDossierRecord.EuroIsMain();
    progress->SetLine(LoadStr(29078) + std::string(euros ? "Euros" : "Francs"));
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
  gui::MessageBox(this, processing::OpeningEndMessage(request, r), caption,
                  gui::MB_OK | (r.code == 0 ? gui::MB_ICONINFORMATION : gui::MB_ICONERROR));
  running_ = false;
  CloseWindow();
  if (MainWindowHandle != 0) gui::PostCommand(MainWindowHandle, command_id::SetMainCaption);
}
