#include "processing/separation_windows.h"

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/maintenance_pack.h"
#include "dossier/rebuild_dossier.h"
#include "dossier/rebuild_indexes.h"
#include "dossier/renumber_pieces.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "processing/year_end_windows.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/graphics.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kCaption = 29240;
constexpr unsigned kAccepter = 20053;
constexpr unsigned kRefreshCaption = 20208;

enum : int {
  kDateLabel = 1301, kSource1 = 1302, kSource2 = 1303, kCodeLabel = 1304, kTarget1 = 1305, kTarget2 = 1306,
  kFolderLabel = 1307, kFolderText = 1308,
  kDateEdit = 1201, kCodeEdit = 1202, kCheckCommand = 1203, kChooseButton = 1204,
};

const char* const kFilter = "Dossiers Nuv-MERLON ZEL|c10*.dbf|Tous les fichiers (*.*)|*.*|";
const char* const kCodeCharacters = "0123456789-ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

void CmSeparationExercices() {
  OpenYearEndForm(kSeparationFormSlot, [](gui::MDIClient* c) { return new TWTraSeparationExercices(c); });
}

TWTraSeparationExercices::TWTraSeparationExercices(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kCaption), 20, 7, kSeparationFormSlot, kSeparationFormSlotLength) {
  AskOnClose = false;
  const int ids[] = {kDateLabel, kCodeLabel, kFolderLabel};
  const int texts[] = {29242, 29241, 29066};
  for (int i = 0; i < 3; ++i) labels_[i] = new MStatic(this, LoadStr(texts[i]), ids[i]);
  date_ = new MEdit(this, kDateEdit, 8, 1, MEdit::kDate, 0, false);
  code_ = new MEdit(this, kCodeEdit, 5, 1, MEdit::kText, 0, false);
  code_->SetAllowedChars(kCodeCharacters);
  source_[0] = new MStatic(this, "", kSource1);
  source_[1] = new MStatic(this, "", kSource2);
  texts_[0] = new MStatic(this, "", kTarget1);
  texts_[1] = new MStatic(this, "", kTarget2);
  folder_ = new MStatic(this, "", kFolderText);
  choose_ = new MButton(this, kChooseButton, "&?");
  date_->SetEnterAction(kCheckCommand);
  code_->SetEnterAction(kCheckCommand);
  for (MEdit* e : {date_, code_}) e->SetNotifyWindow(this);
  ContextCommands = {2, form_cmd::Quitter, kAccepter};
  other_.folder = DossierFolder;
}

TWTraSeparationExercices::~TWTraSeparationExercices() {
  CloseYearEndForm(kSeparationFormSlot);
}

void TWTraSeparationExercices::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  for (gui::Control* c : std::initializer_list<gui::Control*>{date_, code_}) c->SetFont(EntryFontFixed);
  using F = DossierRecord::DateField;
  // By default the day after the open dossier's year end.
  Ymd end;
  if (TheDossierRecord.DateYmd(F::YearEnd, end)) {
    Ymd day;
    if (ParseStoredDate(NextDay(StoredDateOf(end).c_str()), day)) date_->SetValue(DisplayDateOf(day), true);
  }
  source_[0]->SetText(std::string(AllTrim(DossierCode.c_str())) + ": " + RTrim(TheDossierRecord.Name().c_str()));
  source_[1]->SetText(LoadStr(29057) + TheDossierRecord.DateDisplay(F::YearStart) + LoadStr(29058) +
                      TheDossierRecord.DateDisplay(F::YearEnd));
  folder_->SetText(other_.folder);
  choose_->SetTip(LoadStr(29203));
  code_->FocusSelect(true);
}

void TWTraSeparationExercices::ArrangeControls() {
  MoveFormControls(labels_[0], 1, 1, 5, 1, grid::Label, 0, 0);
  MoveFormControls(date_, 6, 1, 4, 1, grid::Text, 9, 0);
  MoveFormControls(source_[0], 1, 2, 20, 1, grid::Label, 0, 0);
  MoveFormControls(source_[1], 1, 3, 20, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[1], 1, 4, 5, 1, grid::Label, 0, 0);
  MoveFormControls(code_, 6, 4, 3, 1, grid::Text, 6, 0);
  MoveFormControls(choose_, 9, 4, 1, 1, grid::Button, 0, 0);
  MoveFormControls(texts_[0], 1, 5, 20, 1, grid::Label, 0, 0);
  MoveFormControls(texts_[1], 1, 6, 20, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[2], 1, 7, 5, 1, grid::Label, 0, 0);
  MoveFormControls(folder_, 6, 7, 15, 1, grid::Label, 0, 0);
}

std::intptr_t TWTraSeparationExercices::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  const unsigned code = static_cast<unsigned>((wParam >> 16) & 0xFFFF);
  if (msg == gui::WM_COMMAND && lParam != 0 && code != gui::BN_CLICKED) return 0;
  return CMDIModif::WindowProc(msg, wParam, lParam);
}

const gui::ResponseTable& TWTraSeparationExercices::Table() {
  using F = TWTraSeparationExercices;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(kAccepter, &F::CmAccepter)
                                              .Command(kCheckCommand, &F::CmCheckOther)
                                              .Command(kChooseButton, &F::CmChooseOther);
  return table;
}

void TWTraSeparationExercices::ShowTexts(const std::string& first, const std::string& second) {
  first_ = first;
  texts_[0]->SetText(first);
  texts_[1]->SetText(second);
}

bool TWTraSeparationExercices::CheckOther() {
  ShowTexts("", "");
  other_.code = AllTrim(code_->GetValue().c_str());
  Ymd date;
  if (!ParseDisplayDate(date_->GetValue(), date) || !IsValidYmd(date)) {
    gui::MessageBeep(0);
    ShowTexts(LoadStr(29253), "");
    date_->FocusSelect(true);
    return false;
  }
  const processing::TargetCheck c = processing::CheckOpeningTarget(other_, date);
  ShowTexts(c.first, c.second);
  if (c.beep) gui::MessageBeep(0);
  return c.ok;
}

void TWTraSeparationExercices::CmChooseOther() {
  if (running_) return;
  std::string path;
  if (!gui::GetOpenFileName(this, LoadStr(29243), kFilter, other_.folder, path)) return;
  processing::OtherDossier chosen;
  if (!processing::OtherDossierOfFile(path, &chosen)) {
    gui::MessageBeep(0);
    return;
  }
  other_.folder = chosen.folder;
  code_->SetValue(chosen.code, false);
  folder_->SetText(other_.folder);
  CheckOther();
  code_->FocusSelect(true);
}

void TWTraSeparationExercices::CmAccepter() {
  if (running_ || !CheckOther()) return;
  const std::string caption = LoadStr(kCaption);
  processing::SeparationRequest request;
  request.other = other_;
  ParseDisplayDate(date_->GetValue(), request.date);
  const std::string question = LoadStr(29244) + DisplayDateOf(request.date) + LoadStr(29245) +
                               AllTrim(other_.code.c_str()) + " (" + other_.folder + ")" + LoadStr(29246);
  if (gui::MessageBox(this, question, caption, gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) !=
      gui::IDYES)
    return;
  running_ = true;
  processing::SeparationMaintenance maintenance;
  maintenance.refusal = [] {
    if (RenumberingPending()) return RenumberPendingMessage();
    const std::string damaged = FindDamagedDossierTable();
    return damaged.empty() ? std::string() : DamagedFileMessage(damaged);
  };
  maintenance.rebuild = [this] { return RebuildDossier(this, true, true); };
  SetDossierState('1');
  SetAppCursor(kBusyFirstString, true);
  CloseAllTables();
  processing::SeparationResult r;
  {
    // The run's window: the phase on its framed line, the file read or written below it.
    DossierProgressWindow progress(this, caption + ": " + AllTrim(DossierCode.c_str()), true);
    r = processing::SeparateYears(request, maintenance, [&progress](const std::string& phase,
                                                                    const std::string& file) {
      progress.SetLine2(file);
      progress.SetLine(phase);
    });
  }
  SetAppCursor(0, false);
  if (r.code == processing::kSeparationRefused) {
    gui::MessageBeep(0);
    gui::MessageBox(this, r.error, r.busy ? processing::OtherDossierBusyCaption() : caption,
                    gui::MB_OK | (r.busy ? gui::MB_ICONHAND : gui::MB_ICONINFORMATION));
    running_ = false;
    return;
  }
  gui::MessageBeep(0);
  for (const std::string& cut : r.cutLetters) WriteLog(LoadStr(29250) + cut);
  WriteLog(processing::SeparationLogLine(request, r));
  gui::MessageBox(this, processing::SeparationEndMessage(request, r), caption,
                  gui::MB_OK | (r.code == 0 ? gui::MB_ICONINFORMATION : gui::MB_ICONHAND));
  running_ = false;
  CloseWindow();
  if (MainWindowHandle != 0) gui::PostCommand(MainWindowHandle, kRefreshCaption);
}
