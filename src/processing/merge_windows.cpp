#include "processing/merge_windows.h"

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/core/maintenance_pack.h"
#include "dossier/rebuild_dossier.h"
#include "dossier/rebuild_indexes.h"
#include "dossier/core/renumber_pieces.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "processing/year_end_forms.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/cursors.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

constexpr int kCaption = 29200;

enum : int {
  kCodeLabel = 1301, kFirst = 1302, kSecond = 1303, kFolderLabel = 1304, kFolderText = 1305, kFilesLabel = 1306,
  kFromLabel = 1307, kToLabel = 1310,
  kCodeEdit = 1201, kOptionBox = 1202, kFromEdit = 1203, kToEdit = 1204, kCheckOther = 1205, kCheckFrom = 1206,
  kCheckTo = 1207, kChooseButton = 1208,
};

constexpr int kFilter = 1189;

// The texts of the form, by their ids in the string table.
constexpr int kLabelCode = 29201, kLabelFolder = 29066, kLabelFiles = 29204, kLabelFrom = 19745, kLabelTo = 19746;
constexpr int kLabelCodesOnly = 29205;
constexpr int kTextYear = 29057;       // "Exercice du %s au %s"
constexpr int kHintChooseFolder = 29203;
constexpr int kTitleChooseDossier = 29227;
constexpr int kMsgConfirm = 29219;
constexpr int kTitleProgress = 32623;  // the caption with the open dossier's code

// What the merge copies of the other dossier, as the rights of its secondary user name it: the
// entry lines (Saisie d'Ecritures), every line of every account (Grands Livres) and the accounts'
// figures of the previous year and the budget (Balances): the access to each.
constexpr int kEntryFunction = 13, kLedgersFunction = 17, kBalancesFunction = 19, kAccessRight = 1;

std::vector<ReadRight> MergeReadRights() {
  return {{kEntryFunction, kAccessRight}, {kLedgersFunction, kAccessRight}, {kBalancesFunction, kAccessRight}};
}

std::string Display(const std::string& stored) {
  Ymd day;
  return ParseStoredDate(stored, day) ? DisplayDateOf(day) : std::string();
}

}  // namespace

// Core: CheckMergeSource, MergeOtherDossier.
void CmAjoutDossier() {
  OpenYearEndForm(kMergeFormSlot, [](gui::MDIClient* c) { return new TWTraAjoutDossier(c); });
}

TWTraAjoutDossier::TWTraAjoutDossier(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kCaption), 20, 8, kMergeFormSlot, kMergeFormSlotLength) {
  AskOnClose = false;
  const int ids[] = {kCodeLabel, kFolderLabel, kFilesLabel, kFromLabel, kToLabel};
  const int texts[] = {kLabelCode, kLabelFolder, kLabelFiles, kLabelFrom, kLabelTo};
  for (int i = 0; i < 5; ++i) labels_[i] = new MStatic(this, LoadStr(texts[i]), ids[i]);
  texts_[0] = new MStatic(this, "", kFirst);
  texts_[1] = new MStatic(this, "", kSecond);
  folder_ = new MStatic(this, "", kFolderText);
  code_ = new MEdit(this, kCodeEdit, 5, 1, MEdit::kText, 0, false);
  from_ = new MEdit(this, kFromEdit, 8, 1, MEdit::kDate, 0, false);
  to_ = new MEdit(this, kToEdit, 8, 1, MEdit::kDate, 0, false);
  choose_ = new MButton(this, kChooseButton, "&?");
  option_ = new MCheckBox(this, kOptionBox, LoadStr(kLabelCodesOnly), 1);
  code_->SetEnterAction(kCheckOther);
  from_->SetEnterAction(kCheckFrom);
  to_->SetEnterAction(kCheckTo);
  for (MEdit* e : {code_, from_, to_}) e->SetNotifyWindow(this);
  ContextCommands = {2, form_cmd::Quitter, child_command::Accepter};
  other_.folder = DossierFolder;
}

TWTraAjoutDossier::~TWTraAjoutDossier() {
  CloseYearEndForm(kMergeFormSlot);
}

void TWTraAjoutDossier::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  for (gui::Control* c : std::initializer_list<gui::Control*>{code_, from_, to_}) c->SetFont(EntryFontFixed);
  using F = DossierRecord::DateField;
  check_.periodStart = TheDossierRecord.DateStored(F::YearStart);
  check_.periodEnd = TheDossierRecord.DateStored(F::YearEnd);
  folder_->SetText(other_.folder);
  option_->SetValue(false, true);
  ShowTexts(std::string(AllTrim(DossierCode.c_str())) + ": " + RTrim(TheDossierRecord.Name().c_str()),
            FillPlaceholders(LoadStr(kTextYear), {TheDossierRecord.DateDisplay(F::YearStart),
                                                  TheDossierRecord.DateDisplay(F::YearEnd)}));
  from_->SetValue(Display(check_.periodStart), true);
  to_->SetValue(Display(check_.periodEnd), true);
  choose_->SetTip(LoadStr(kHintChooseFolder));
  choose_->SetFocus();
}

void TWTraAjoutDossier::ArrangeControls() {
  MoveFormControls(labels_[0], 1, 1, 4, 1, grid::Label, 0, 0);
  MoveFormControls(code_, 5, 1, 3, 1, grid::Text, 6, 0);
  MoveFormControls(choose_, 8, 1, 1, 1, grid::Button, 0, 0);
  MoveFormControls(texts_[0], 1, 2, 20, 1, grid::Label, 0, 0);
  MoveFormControls(texts_[1], 1, 3, 20, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[1], 1, 4, 4, 1, grid::Label, 0, 0);
  MoveFormControls(folder_, 5, 4, 16, 1, grid::Label, 0, 0);
  MoveFormControls(labels_[2], 1, 5, 4, 1, grid::Label, 0, 0);
  MoveFormControls(option_, 5, 5, 16, 1, grid::Text, 0, 0);
  MoveFormControls(labels_[3], 1, 6, 4, 1, grid::Label, 0, 0);
  MoveFormControls(from_, 5, 6, 4, 1, grid::Text, 9, 0);
  MoveFormControls(labels_[4], 1, 7, 4, 1, grid::Label, 0, 0);
  MoveFormControls(to_, 5, 7, 4, 1, grid::Text, 9, 0);
}

const gui::ResponseTable& TWTraAjoutDossier::Table() {
  using F = TWTraAjoutDossier;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(child_command::Accepter, &F::CmAccepter)
                                              .Command(kCheckOther, &F::CmCheckOther)
                                              .Command(kCheckFrom, &F::CmCheckFrom)
                                              .Command(kCheckTo, &F::CmCheckTo)
                                              .Command(kChooseButton, &F::CmChooseOther)
                                              .Command(kOptionBox, &F::CmOption);
  return table;
}

void TWTraAjoutDossier::ShowTexts(const std::string& first, const std::string& second) {
  first_ = first;
  second_ = second;
  texts_[0]->SetText(first);
  texts_[1]->SetText(second);
}

bool TWTraAjoutDossier::CheckOtherDossier() {
  ShowTexts("", "");
  other_.code = AllTrim(code_->GetValue().c_str());
  const processing::MergeSourceCheck c = processing::CheckMergeSource(other_);
  code_->SetValue(c.clearCode ? std::string() : c.code, false);
  ShowTexts(c.first, c.second);
  if (c.busy) {
    gui::MessageBeep(0);
    gui::MessageBox(this, processing::OtherDossierBusyText(), processing::OtherDossierBusyCaption(),
                    gui::MB_OK | gui::MB_ICONHAND);
  } else if (c.beep) {
    gui::MessageBeep(0);
  }
  if (!c.ok) {
    choose_->SetFocus();
    return false;
  }
  other_.code = c.code;
  check_ = c;
  return true;
}

void TWTraAjoutDossier::CmCheckOther() {
  if (running_ || !CheckOtherDossier()) return;
  // The period the other dossier gives becomes the dates offered.
  from_->SetValue(Display(check_.periodStart), false);
  to_->SetValue(Display(check_.periodEnd), false);
  option_->SetFocus();
}

bool TWTraAjoutDossier::CheckFrom() {
  if (processing::MergeDateRefusal(from_->GetValue(), to_->GetValue(), check_, false).empty()) return true;
  gui::MessageBeep(0);
  from_->FocusSelect(true);
  return false;
}

bool TWTraAjoutDossier::CheckTo() {
  if (processing::MergeDateRefusal(from_->GetValue(), to_->GetValue(), check_, true).empty()) return true;
  gui::MessageBeep(0);
  to_->FocusSelect(true);
  return false;
}

void TWTraAjoutDossier::CmChooseOther() {
  if (running_) return;
  std::string path;
  if (gui::GetOpenFileName(this, LoadStr(kTitleChooseDossier), LoadStr(kFilter), other_.folder, path)) {
    processing::OtherDossier chosen;
    if (processing::OtherDossierOfFile(path, &chosen)) {
      other_.folder = chosen.folder;
      code_->SetValue(chosen.code, false);
      folder_->SetText(other_.folder);
    } else {
      gui::MessageBeep(0);
    }
  }
  CmCheckOther();
}

void TWTraAjoutDossier::CmOption() {
  if (running_) return;
  const bool codesOnly = option_->IsChecked();
  from_->EnableWindow(!codesOnly);
  to_->EnableWindow(!codesOnly);
}

void TWTraAjoutDossier::CmAccepter() {
  if (running_ || !CheckOtherDossier()) return;
  const std::string caption = LoadStr(kCaption);
  const bool codesOnly = option_->IsChecked();
  if (!codesOnly) {
    for (bool end : {false, true}) {
      const std::string refusal = processing::MergeDateRefusal(from_->GetValue(), to_->GetValue(), check_, end);
      if (refusal.empty()) continue;
      gui::MessageBox(this, refusal, caption, gui::MB_OK | gui::MB_ICONINFORMATION);
      (end ? to_ : from_)->FocusSelect(true);
      return;
    }
  }
  // The other dossier's books are read only by a user who has its password, the secondary one
  // only where its rights let that user see them.
  if (!OtherDossierPasswordGiven(this, other_, false, MergeReadRights(), caption)) return;
  if (gui::MessageBox(this, LoadStr(kMsgConfirm), caption,
                      gui::MB_YESNO | gui::MB_ICONINFORMATION | gui::MB_DEFBUTTON2) != gui::IDYES)
    return;
  running_ = true;
  processing::MergeRequest request;
  request.other = other_;
  request.codesOnly = codesOnly;
  request.from = from_->GetValue();
  request.to = to_->GetValue();
  const processing::TargetMaintenance maintenance = YearEndMaintenance(this, false);
  SetDossierState('1');
  SetAppCursor(kBusyFirstString, true);
  CloseAllTables();
  processing::MergeResult r;
  {
    // The run's window: the phase on its framed line, the other dossier's file read below it.
    DossierProgressWindow progress(this, FillPlaceholder(LoadStr(kTitleProgress), AllTrim(DossierCode.c_str())), true);
    r = processing::MergeOtherDossier(request, maintenance, [&progress](const std::string& phase,
                                                                        const std::string& file) {
      progress.SetLine2(file);
      progress.SetLine(phase);
    });
  }
  SetAppCursor(0, false);
  if (r.code == processing::kMergeRefused) {
    ShowYearEndRefusal(this, r.error, r.busy, caption);
    running_ = false;
    return;
  }
  if (r.code == 0) RememberOtherDossier(other_);
  gui::MessageBeep(0);
  WriteLog(processing::MergeLogLine(request, r));
  gui::MessageBox(this, processing::MergeEndMessage(request, r), caption,
                  gui::MB_OK | (r.code == 0 ? gui::MB_ICONINFORMATION : gui::MB_ICONHAND));
  running_ = false;
  CloseWindow();
  if (MainWindowHandle != 0) gui::PostCommand(MainWindowHandle, command_id::SetMainCaption);
}
