#include "processing/separation_windows.h"

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

constexpr int kCaption = 29240;
constexpr unsigned kCheckCommand = 1203;
constexpr unsigned kChooseButton = 1204;

constexpr int kFilter = 1189;

// The texts of the form, by their ids in the string table.
constexpr int kLabelDate = 29242, kLabelDossier = 29241;
constexpr int kHintChooseFolder = 29203;
constexpr int kMsgBadDate = 29253;
constexpr int kTitleChooseDossier = 29243;
constexpr int kMsgConfirm = 29244;     // the date, the new year's code and folder
constexpr int kTitleProgress = 32624;  // the caption with the open dossier's code
constexpr int kLogLetterCut = 29250;   // the letter taken off

}  // namespace

// Core: SeparateYears.
void CmSeparationExercices() {
  OpenYearEndForm(kSeparationFormSlot, [](gui::MDIClient* c) { return new TWTraSeparationExercices(c); });
}

TWTraSeparationExercices::TWTraSeparationExercices(gui::MDIClient* client)
    : CMDIModif(client, LoadStr(kCaption), 20, 7, kSeparationFormSlot, kSeparationFormSlotLength) {
  AskOnClose = false;
  // Twenty narrow columns: five characters each leave room for every control, where the usual
  // eight would ask for a grid wider than the screen (and a horizontal scroll bar).
  MinColumnWidth = 5 * (EntryCharWidth > 0 ? EntryCharWidth : 7);
  c_.Make(this, kLabelDate, kLabelDossier);
  ContextCommands = {2, form_cmd::Quitter, child_command::Accepter};
  other_.folder = DossierFolder;
}

TWTraSeparationExercices::~TWTraSeparationExercices() {
  CloseYearEndForm(kSeparationFormSlot);
}

void TWTraSeparationExercices::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  c_.Setup(other_.folder);
  c_.choose->SetTip(LoadStr(kHintChooseFolder));
  c_.code->FocusSelect(true);
}

void TWTraSeparationExercices::ArrangeControls() { c_.Arrange(*this, 5); }

const gui::ResponseTable& TWTraSeparationExercices::Table() {
  using F = TWTraSeparationExercices;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(child_command::Accepter, &F::CmAccepter)
                                              .Command(kCheckCommand, &F::CmCheckOther)
                                              .Command(kChooseButton, &F::CmChooseOther);
  return table;
}

void TWTraSeparationExercices::ShowTexts(const std::string& first, const std::string& second) {
  first_ = first;
  c_.target[0]->SetText(first);
  c_.target[1]->SetText(second);
}

bool TWTraSeparationExercices::CheckOther() {
  ShowTexts("", "");
  other_.code = AllTrim(c_.code->GetValue().c_str());
  Ymd date;
  if (!ParseDisplayDate(c_.date->GetValue(), date) || !IsValidYmd(date)) {
    gui::MessageBeep(0);
    ShowTexts(LoadStr(kMsgBadDate), "");
    c_.date->FocusSelect(true);
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
  if (!gui::GetOpenFileName(this, LoadStr(kTitleChooseDossier), LoadStr(kFilter), other_.folder, path)) return;
  processing::OtherDossier chosen;
  if (!processing::OtherDossierOfFile(path, &chosen)) {
    gui::MessageBeep(0);
    return;
  }
  other_.folder = chosen.folder;
  c_.code->SetValue(chosen.code, false);
  c_.folder->SetText(other_.folder);
  CheckOther();
  c_.code->FocusSelect(true);
}

void TWTraSeparationExercices::CmAccepter() {
  if (running_ || !CheckOther()) return;
  const std::string caption = LoadStr(kCaption);
  // The other dossier is written into only by a user who has its privileged password.
  if (!OtherDossierPasswordGiven(this, other_, true, {}, caption)) return;
  processing::SeparationRequest request;
  request.other = other_;
  ParseDisplayDate(c_.date->GetValue(), request.date);
  const std::string question = FillPlaceholders(
      LoadStr(kMsgConfirm), {DisplayDateOf(request.date), AllTrim(other_.code.c_str()), other_.folder});
  if (gui::MessageBox(this, question, caption, gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) !=
      gui::IDYES)
    return;
  running_ = true;
  const processing::SeparationMaintenance maintenance = YearEndMaintenance(this, true);
  SetDossierState('1');
  SetAppCursor(kBusyFirstString, true);
  CloseAllTables();
  processing::SeparationResult r;
  {
    // The run's window: the phase on its framed line, the file read or written below it.
    DossierProgressWindow progress(this, FillPlaceholder(LoadStr(kTitleProgress), AllTrim(DossierCode.c_str())), true);
    r = processing::SeparateYears(request, maintenance, [&progress](const std::string& phase,
                                                                    const std::string& file) {
      progress.SetLine2(file);
      progress.SetLine(phase);
    });
  }
  SetAppCursor(0, false);
  if (r.code == processing::kSeparationRefused) {
    ShowYearEndRefusal(this, r.error, r.busy, caption);
    running_ = false;
    return;
  }
  gui::MessageBeep(0);
  for (const std::string& cut : r.cutLetters) WriteLog(FillPlaceholder(LoadStr(kLogLetterCut), cut));
  WriteLog(processing::SeparationLogLine(request, r));
  gui::MessageBox(this, processing::SeparationEndMessage(request, r), caption,
                  gui::MB_OK | (r.code == 0 ? gui::MB_ICONINFORMATION : gui::MB_ICONHAND));
  running_ = false;
  CloseWindow();
  if (MainWindowHandle != 0) gui::PostCommand(MainWindowHandle, command_id::SetMainCaption);
}
