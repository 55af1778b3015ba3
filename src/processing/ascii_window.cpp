#include "processing/ascii_window.h"

#include <utility>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/working_date.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "platform/system/files.h"
#include "processing/bank_commands.h"
#include "processing/core/matching_lines.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/enablers.h"
#include "shell/graphics.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kCaption = 29740;
constexpr int kIcon = 1004;
constexpr int kFormColumns = 12;
constexpr int kFormRows = 16;
constexpr int kPathWidth = 250;

enum : int { kFileLabel = 1301, kInfo1 = 1302, kFileEdit = 1201, kErrorList = 1205 };

constexpr int kFilter = 23324;
// A file that cannot be read: the reason, and that nothing was imported.
constexpr int kUnreadableFile = 30801;

// The texts of the form, by their ids in the string table.
constexpr int kLabelFile = 29601;
constexpr int kLabelRead = 29742;
constexpr int kTitleChooseFile = 29743;   // the title of the file dialog and the tip of its button
constexpr int kMsgFilesNotOpen = 29695;
constexpr int kTextErrorLine = 26202;     // "Ligne %s : %s": the file's line, the error
constexpr int kTextSeparator = 29744;     // the separator between quotes, the encoding
constexpr int kTextTabSeparator = 32610;  // the same when the separator is a tab: the encoding
constexpr int kTextNoSeparator = 36900;   // the same when the file has none (empty, or one column): the encoding
constexpr int kTextCounts = 29746;        // the lines, the pieces
constexpr int kTextPeriod = 29747;        // the first and last dates
constexpr int kTextTotals = 38800;        // the debit and credit totals, each with its currency
constexpr int kWordFrancs = 36503, kWordEuros = 36504;
constexpr int kTextNoError = 29751;
constexpr int kTextErrors = 29752;        // the errors, the file they are written to
constexpr int kTextStoppedRun = 29753;    // the stopped run's log line
constexpr int kMsgConfirm = 29754;        // the lines, the pieces

std::string Caption() { return LoadStr(kCaption); }


std::string ShownDate(const std::string& yyyymmdd) {
  Ymd d;
  return ParseYyyymmdd(yyyymmdd, d) ? PrintDateOf(d) : std::string();
}

std::string ErrorLine(const processing::AsciiError& e) {
  return e.line > 0 ? FillPlaceholders(LoadStr(kTextErrorLine), {std::to_string(e.line), e.text}) : e.text;
}

// The program's general file and chart, through which the totals go, open shared.
bool OpenTables() {
  if (!posting::EnsureGeneralFile() || TableC20 == nullptr) return false;
  return TableC20->isOpen || TableC20->UseShared(PathC20(), "C20CODE");
}

// The headers list, when open, reads its rows again.
void RefreshHeadersList() {
  if (RegistryChar(posting::kHeadersListFlag) == ' ') return;
  const gui::Handle list = SlotHandle(posting::kHeadersListFlag);
  if (list != 0 && gui::Window::FromHandle(list) != nullptr) gui::SendCommand(list, form_cmd::ListRefreshAll);
}

// The run on a file read without error: the draft and its sort file opened for it, the end message
// or the refusal, the error file beside the imported one.
bool RunImport(gui::Window* owner, const processing::AsciiRead& read) {
  processing::AsciiRun run;
  {
    ::Table c50, c60;
    if (!c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) || !c60.OpenShared(PathC60(), processing::kC60CodeTag)) {
      gui::MessageBox(owner, LoadStr(kMsgFilesNotOpen), Caption(), gui::MB_OK | gui::MB_ICONSTOP);
      return false;
    }
    SetAppCursor(kBusyFirstString, true);
    run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
    SetAppCursor(0, false);
  }
  if (!run.written) processing::WriteAsciiErrors(read);
  gui::MessageBeep(0);
  gui::MessageBox(owner, run.message, Caption(), gui::MB_OK | (run.written ? gui::MB_ICONINFORMATION : gui::MB_ICONSTOP));
  if (run.written) RefreshHeadersList();
  return run.written;
}

TWUtiModAjoutAscii* OpenForm(const std::string& file) {
  auto* form = new TWUtiModAjoutAscii(CommandWindow, file);
  SetChildIcon(*form, kIcon);
  PlaceChildWindow(*form, 0, 0);
  if (!form->Create()) {
    if (form->IsCreated()) form->Destroy();
    else delete form;
    return nullptr;
  }
  form->Show(gui::SW_SHOWNORMAL);
  RegisterWindowSlot(kAsciiImportFormSlot, form->GetHandle());
  return form;
}

}  // namespace

// Core: ReadAsciiFile, ImportAsciiFile.
void CmAjoutAsciiBrouillard() {
  // The automatic import holds for the one command the working-date command posted: taken before the
  // checks, so that a refused command leaves nothing behind for the user's next one.
  const bool automatic = std::exchange(AutomaticImportPosted, false);
  if (!HandlerPrologue()) return;
  // A posted command reaches its handler without its enabler: the import keeps its rights (function 32)
  // and the dossier constant 056 as the menu does.
  gui::CommandEnabler enabler(command_id::AjoutAsciiBrouillard);
  if (automatic && RunTableEnabler(enabler) && !enabler.Enabled()) return;
  if (ActivateExistingChild(kAsciiImportFormSlot) || CommandWindow == nullptr) return;
  const std::string file = processing::AsciiImportSetting();
  if (automatic && !file.empty() && platform::FileExists(file) && OpenTables()) {
    processing::AsciiRead read;
    {
      ::Table draft;
      if (draft.OpenShared(PathC50(), "", true)) read = processing::ReadAsciiFile(*TableC10, *TableC20, draft, file);
    }
    processing::WriteAsciiErrors(read);
    // A file without error goes in at once; a run stopped half-way is shown in the form first.
    if (read.Importable() && read.stoppedRun.empty()) {
      RunImport(gui::Window::FromHandle(MainWindowHandle), read);
      return;
    }
    if (!read.errors.empty()) {
      ::Table c50, c60;
      processing::ImportAsciiFile(*TableC10, c50, c60, read);  // writes the error log line only
    }
  }
  OpenForm(file);
}

TWUtiModAjoutAscii::TWUtiModAjoutAscii(gui::MDIClient* client, const std::string& file)
    : CMDIModif(client, LoadStr(kCaption), kFormColumns, kFormRows, kAsciiImportFormSlot, kAsciiImportFormSlotLength),
      initial_(file) {
  AskOnClose = false;
  fileLabel_ = new MStatic(this, LoadStr(kLabelFile), kFileLabel);
  file_ = new MEdit(this, kFileEdit, kPathWidth, 1, MEdit::kText, 0, false);
  choose_ = new MButton(this, ascii_cmd::ChooseFile, "&?");
  reread_ = new MButton(this, ascii_cmd::ReadFile, LoadStr(kLabelRead));
  for (int i = 0; i < kInfoRows; ++i) info_[i] = new MStatic(this, "", kInfo1 + i);
  errors_ = new MListBox(this, kErrorList);
  file_->SetEnterAction(ascii_cmd::ReadFile);
  file_->SetNotifyWindow(this);
  ContextCommands = {2, form_cmd::Quitter, ascii_cmd::Accepter};
}

TWUtiModAjoutAscii::~TWUtiModAjoutAscii() { SetRegistryText(kAsciiImportFormSlot, 1, " "); }

void TWUtiModAjoutAscii::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  file_->SetFont(EntryFontFixed);
  choose_->SetTip(LoadStr(kTitleChooseFile));
  if (!OpenTables()) {
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  file_->SetValue(initial_, true);
  if (!initial_.empty() && platform::FileExists(initial_)) ReadFile();
  else ShowRead(processing::AsciiRead{});
  file_->FocusSelect(true);
}

void TWUtiModAjoutAscii::ArrangeControls() {
  MoveFormControls(fileLabel_, 1, 1, 2, 1, grid::Label, 0, 0);
  MoveFormControls(file_, 3, 1, 8, 1, grid::Text, 0, 0);
  MoveFormControls(choose_, 11, 1, 1, 1, grid::Button, 0, 0);
  MoveFormControls(reread_, 12, 1, 1, 1, grid::Button, 0, 0);
  for (int i = 0; i < kInfoRows; ++i) MoveFormControls(info_[i], 1, 2 + i, 12, 1, grid::Label, 0, 0);
  MoveFormControls(errors_, 1, 2 + kInfoRows, 12, kFormRows - 1 - kInfoRows, grid::Fill, 0, 0);
  // The error list takes the room a taller window leaves below the grid.
  gui::Rect r = errors_->GetWindowRect();
  r.h += RoomBelowGrid();
  errors_->MoveWindow(r);
}

const gui::ResponseTable& TWUtiModAjoutAscii::Table() {
  using F = TWUtiModAjoutAscii;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(ascii_cmd::Accepter, &F::CmAccepter)
                                              // Ctrl+E, the forms' "Enregistrer": this form has nothing to
                                              // save but its import, which it runs as "Accepter" does.
                                              .Command(form_cmd::Enregistrer, &F::CmAccepter)
                                              .Command(ascii_cmd::ReadFile, &F::CmReadFile)
                                              .Command(ascii_cmd::ChooseFile, &F::CmChooseFile);
  return table;
}

std::string TWUtiModAjoutAscii::InfoText(int row) const {
  return row >= 0 && row < kInfoRows && info_[row] != nullptr ? info_[row]->GetText() : std::string();
}

void TWUtiModAjoutAscii::ShowRead(const processing::AsciiRead& r) {
  std::string texts[kInfoRows];
  if (r.readable) {
    if (r.separator == 0)
      texts[0] = FillPlaceholder(LoadStr(kTextNoSeparator), r.encoding);
    else if (r.separator == '\t')
      texts[0] = FillPlaceholder(LoadStr(kTextTabSeparator), r.encoding);
    else
      texts[0] = FillPlaceholders(LoadStr(kTextSeparator), {std::string(1, r.separator), r.encoding});
    texts[1] = FillPlaceholders(LoadStr(kTextCounts), {std::to_string(r.lines), std::to_string(r.pieces.size())});
    if (!r.firstDate.empty())
      texts[2] = FillPlaceholders(LoadStr(kTextPeriod), {ShownDate(r.firstDate), ShownDate(r.lastDate)});
    // In the currency the file is typed in, else the dossier's main one, named.
    const bool francs = r.TotalsInFrancs(TheDossierRecord.At(DossierRecord::kEuroMainPos) == 'N', DossierIsEuroOnly());
    const std::string currency = LoadStr(francs ? kWordFrancs : kWordEuros);
    texts[3] = FillPlaceholders(LoadStr(kTextTotals), {GroupedAmount(francs ? r.debitF : r.debit), currency,
                                                       GroupedAmount(francs ? r.creditF : r.credit), currency});
    texts[4] = r.errors.empty() ? std::string(LoadStr(kTextNoError))
                                : FillPlaceholders(LoadStr(kTextErrors), {std::to_string(r.errors.size()),
                                                                          processing::AsciiErrorFile(r.path)});
    if (!r.stoppedRun.empty())
      texts[5] = FillPlaceholder(LoadStr(kTextStoppedRun),
                                 r.stoppedRun.substr(r.stoppedRun.find(processing::kAsciiLogTitle)));
  } else if (!r.errors.empty()) {
    texts[4] = r.errors.front().text;
  }
  for (int i = 0; i < kInfoRows; ++i) info_[i]->SetText(texts[i]);
  errors_->ClearList();
  for (const processing::AsciiError& e : r.errors) errors_->AddString(ErrorLine(e));
}

bool TWUtiModAjoutAscii::ReadFile() {
  if (running_) return false;
  const std::string path = AllTrim(file_->GetValue().c_str());
  {
    ::Table draft;
    if (!draft.OpenShared(PathC50(), "", true) || !OpenTables()) return false;
    read_ = processing::ReadAsciiFile(*TableC10, *TableC20, draft, path);
  }
  if (read_.readable) processing::WriteAsciiErrors(read_);
  ShowRead(read_);
  return read_.Importable();
}

void TWUtiModAjoutAscii::CmChooseFile() {
  if (running_) return;
  std::string path = AllTrim(file_->GetValue().c_str());
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? DossierFolder : path.substr(0, slash + 1);
  if (!gui::GetOpenFileName(this, LoadStr(kTitleChooseFile), LoadStr(kFilter), folder, path)) return;
  file_->SetValue(path, false);
  ReadFile();
  file_->FocusSelect(true);
}

void TWUtiModAjoutAscii::CmAccepter() {
  if (running_) return;
  // No file named yet: the user is asked for it, as "?" does, and the import goes on with the one chosen.
  if (IsBlank(file_->GetValue())) {
    CmChooseFile();
    if (IsBlank(file_->GetValue())) return;
  }
  // The file is read again: it may have changed since it was shown.
  if (!ReadFile()) {
    gui::MessageBeep(0);
    processing::AsciiRun refused;
    {
      ::Table c50, c60;
      refused = processing::ImportAsciiFile(*TableC10, c50, c60, read_);  // the error log line only
    }
    // A file read with errors has them written beside it; one that could not be read says why.
    const std::string message = read_.readable || read_.errors.empty()
                                    ? refused.message
                                    : FillPlaceholder(LoadStr(kUnreadableFile), read_.errors.front().text);
    gui::MessageBox(this, message, Caption(), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  const std::string question =
      FillPlaceholders(LoadStr(kMsgConfirm), {std::to_string(read_.lines), std::to_string(read_.pieces.size())});
  if (gui::MessageBox(this, question, Caption(), gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) != gui::IDYES)
    return;
  running_ = true;
  const bool written = RunImport(this, read_);
  running_ = false;
  if (written) CloseWindow();
}
