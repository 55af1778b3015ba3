#include "processing/year_end_forms.h"

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "data/unread_amounts.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/rebuild_dossier.h"
#include "platform/gui/application.h"
#include "platform/gui/messagebox.h"
#include "processing/code_copy_dialogs.h"
#include "processing/core/transfer_tables.h"
#include "processing/merge_windows.h"
#include "processing/opening_balances_window.h"
#include "processing/separation_windows.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"

namespace {

constexpr int kIcon = 1004;
// The texts of the forms, by their ids in the string table.
constexpr int kIncorrectDossier = 29055;  // "Dossier incorrect: %s", the code
constexpr int kLabelFolder = 29066;
constexpr int kTextYear = 29057;          // "Exercice du %s au %s"

// The controls of YearEndTargetControls.
enum : int {
  kDateLabel = 1301, kSource1 = 1302, kSource2 = 1303, kInLabel = 1304, kTarget1 = 1305, kTarget2 = 1306,
  kFolderLabel = 1307, kFolderText = 1308,
  kDateEdit = 1201, kCodeEdit = 1202, kCheckCommand = 1203, kChooseButton = 1204,
};

const char* const kCodeCharacters = "0123456789-ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

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
  // A dossier whose merge was stopped half-way is put back from its copies likewise; a separation
  // is settled in both of its dossiers at once, as its old year's marker decides.
  SetDossierRunRedo(
      processing::kMergeRun, [](const DossierRunInfo& r) { return processing::PutBackInterruptedTransfer(r.detail); },
      true);
  SetDossierRunRedo(
      processing::kSeparationRun,
      [](const DossierRunInfo& r) { return processing::SettleInterruptedSeparation(r.detail); }, true);
  // The new year's dossier of a separation that its old year decided went to its end: only its
  // copies are left, which the opening offers to remove.
  SetDossierRunEnded(processing::kSeparationRun,
                     [](const DossierRunInfo& r) { return processing::SeparationEndedElsewhere(r.detail); });
  // Neither, while the other year's dossier cannot be read: the opening waits for it.
  SetDossierRunWaiting(processing::kSeparationRun,
                       [](const DossierRunInfo& r) { return processing::SeparationOutOfReach(r.detail); });
  // "Edition > Ajouter à partir d'un autre dossier..." and "Edition > Ajouter vers un autre dossier..." of the
  // code lists, the chart of accounts and the analytic sections.
  InstallCodeCopyHooks();
}

void YearEndTargetControls::Make(CMDIModif* form, int dateText, int codeText) {
  dateLabel = new MStatic(form, LoadStr(dateText), kDateLabel);
  codeLabel = new MStatic(form, LoadStr(codeText), kInLabel);
  folderLabel = new MStatic(form, LoadStr(kLabelFolder), kFolderLabel);
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
  source[1]->SetText(FillPlaceholders(LoadStr(kTextYear), {TheDossierRecord.DateDisplay(F::YearStart),
                                                           TheDossierRecord.DateDisplay(F::YearEnd)}));
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
  // The rebuild runs under the run's marker: a line whose amount does not read undoes the run at its
  // end, which names it in its one refusal; the rebuild's own box, which would say the totals are
  // left as they are, is not shown.
  maintenance.rebuild = [owner, pack] {
    const int code = RebuildDossier(owner, true, pack, false);
    for (const UnreadableAmountLine& line : LastRebuildReport().unreadable) NoteUnreadAmount(line);
    return code;
  };
  maintenance.rebuildRefusal = [] { return LastRebuildReport().refusal; };
  return maintenance;
}

void ShowYearEndRefusal(gui::Window* owner, const std::string& error, bool busy, const std::string& caption) {
  gui::MessageBeep(0);
  gui::MessageBox(owner, error, busy ? processing::OtherDossierBusyCaption() : caption,
                  gui::MB_OK | (busy ? gui::MB_ICONHAND : gui::MB_ICONINFORMATION));
}

bool OtherDossierPasswordGiven(gui::Window* owner, const processing::OtherDossier& other, bool writes,
                               const std::vector<ReadRight>& reads, const std::string& caption) {
  DossierRecord record;
  if (!processing::LoadDossierRecordOf(other, &record)) {
    ShowYearEndRefusal(owner, FillPlaceholder(LoadStr(kIncorrectDossier), other.code), false, caption);
    return false;
  }
  return CheckOtherDossierPassword(owner, other.folder, other.code, record, writes, reads);
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
