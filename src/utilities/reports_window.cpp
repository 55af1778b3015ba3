#include "utilities/reports_window.h"

#include <algorithm>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "framework/dialog_bases.h"
#include "masterdata/core/code_records.h"
#include "masterdata/new_code_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "platform/system/files.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/inifiles.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"
#include "utilities/list_placement.h"
#include "utilities/core/report_store.h"
#include "reports/engine/core/report_texts.h"
#include "resources/string_table.h"

using settings::kReportCodeField;
using settings::kReportCodeWidth;
using settings::kReportNameField;
using settings::kReportTag;

namespace {

constexpr int kIcon = 1004;
constexpr int kNameWidth = 50;
constexpr int kFormEntryY = 11, kFormEntryZ = 12;
constexpr int kFromWidth = 200;

// The texts shown here, by their ids in the string table.
constexpr int kExportFilter = 14122;
constexpr int kMsgSetNotOpened = 22372;  // the set's letter, then its file
constexpr int kCaptionExport = 22374;    // the report's code at %s
constexpr int kProgramTitle = 127;

gui::Window* Owner() { return gui::Window::FromHandle(MainWindowHandle); }

// The set a kind shows: the display set of option 5, or the printing set of the printer in use.
char SetLetterOf(char kind) {
  if (kind == 'Y') return ProgramOption(5);
  return ProgramOption(8) == 'O' ? ProgramOption(7) : ProgramOption(6);
}

::Table* SetTableOf(char kind) { return kind == 'Y' ? TableCE0 : TableCE1; }

int ListSlotOf(char kind) { return kind == 'Y' ? kReportListSlotY : kReportListSlotZ; }
int FormSlotOf(char kind) { return kind == 'Y' ? kReportFormSlotY : kReportFormSlotZ; }

void Say(gui::Window* owner, const std::string& text) {
  gui::MessageBeep(0);
  gui::MessageBox(owner, text, LoadStr(kProgramTitle), gui::MB_OK | gui::MB_ICONSTOP);
}

masterdata::CreateResult AsCreateResult(const settings::ReportMade& made, gui::Window* owner) {
  masterdata::CreateResult r;
  r.recno = made.recno;
  r.existingName = made.existingName;
  switch (made.outcome) {
    case settings::ReportOutcome::Created: r.outcome = masterdata::CreateOutcome::Created; break;
    case settings::ReportOutcome::Exists: r.outcome = masterdata::CreateOutcome::Exists; break;
    case settings::ReportOutcome::LockRefused: r.outcome = masterdata::CreateOutcome::LockRefused; break;
    default:
      if (!made.message.empty()) Say(owner, made.message);
      r.outcome = masterdata::CreateOutcome::Failed;
      break;
  }
  return r;
}

}  // namespace

// ---- the list -----------------------------------------------------------------------------------------------------

TWUtiBroEtats::TWUtiBroEtats(gui::MDIClient* parent, char kind)
    : CMDIBrowse(parent, FileTitleForType(std::string(1, kind).c_str()), &Columns(), ListSlotOf(kind),
                 kReportListSlotLength, FormSlotOf(kind)),
      kind_(kind),
      letter_(SetLetterOf(kind)) {
  keyWidth = kReportCodeWidth;
  kindLetter = std::string(1, kind);
  listName = std::string("TWUtiBroEtats") + kind;
  toolbarCommands = {7,          browse_cmd::Quitter,   browse_cmd::Modifier, browse_cmd::Annuler, browse_cmd::Reactiver,
                     browse_cmd::Nouveau, browse_cmd::Texte, report_cmd::Exporter};
  const std::string path = PathReportDefs(letter_);
  ::Table* set = SetTable();
  opened_ = set != nullptr && Cursor()->OpenShared(path, kReportTag) && set->UseShared(path, kReportTag);
  if (opened_) Store().totalRows = static_cast<long>(Cursor()->RecCount());
  codeIndex = BrowseCodeIndex{Cursor(), kReportTag, "", kReportCodeField};
}

::Table* TWUtiBroEtats::SetTable() const { return SetTableOf(kind_); }
unsigned TWUtiBroEtats::MenuCommand() const {
  return kind_ == 'Y' ? command_id::EtatsParametrablesVisualisation : command_id::EtatsParametrablesImpression;
}
int TWUtiBroEtats::FormEntry() const { return kind_ == 'Y' ? kFormEntryY : kFormEntryZ; }

const BrowseColumnTable& TWUtiBroEtats::Columns() {
  static const BrowseColumnTable columns = [] {
    BrowseColumnTable c = MakeColumnTable(3, 2);
    DefineColumn(c, 1, 2, "", 'C', 'C', 0, 1, 1);
    DefineColumn(c, 2, kReportCodeWidth + 1, "Code", 'C', 'G', kReportCodeField, 1, kReportCodeWidth);
    DefineColumn(c, 3, kNameWidth, "Nom", 'C', 'G', kReportNameField, 1, kNameWidth);
    return c;
  }();
  return columns;
}

void TWUtiBroEtats::SetupWindow() {
  CMDIBrowse::SetupWindow();
  if (!opened_) {
    Say(this, FillPlaceholders(LoadStr(kMsgSetNotOpened), {std::string(1, letter_), PathReportDefs(letter_)}));
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  if (Store().totalRows > 0 && Store().selected == 0) Store().selected = 1;
}

void TWUtiBroEtats::CleanupWindow() {
  // The set's table object stays open while the editor or the form of this set still works on it.
  const bool inUse = RegistryChar(FormSlotOf(kind_)) == '1' || (EditorLock.table != nullptr && EditorLock.table == SetTable());
  if (!inUse && SetTable() != nullptr) SetTable()->CloseTable(true);
  CMDIBrowse::CleanupWindow();
}

void TWUtiBroEtats::ReloadRow(BrowseRows& rows, int i, long recno) {
  ::Table& t = *Cursor();
  if (!t.isOpen || !t.GoToRecord(recno).IsFound()) return;
  BuildRowText(rows, i, recno, !t.LiveHere().FoundOrNone());
}

void TWUtiBroEtats::FillRowsForward(BrowseRows& rows, int first, int count, long recno) {
  ::Table& t = *Cursor();
  if (!t.isOpen) return;
  if (recno != 0 && t.GoToRecord(recno).IsFound()) t.Skip(1);
  for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) {
    if (t.eof || t.bof || t.recordNumber == 0) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    BuildRowText(rows, i, static_cast<long>(t.recordNumber), !t.LiveHere().FoundOrNone());
    t.Skip(1);
  }
}

void TWUtiBroEtats::FillRowsFromFirst(BrowseRows& rows, int first, int count) {
  ::Table& t = *Cursor();
  if (!t.isOpen) return;
  t.GoTop(kReportTag);
  FillRowsForward(rows, first, count, 0);
}

void TWUtiBroEtats::FillRowsFromLast(BrowseRows& rows, int last, int count) {
  if (Store().totalRows < count) return FillRowsFromFirst(rows, last - count + 1, count);
  ::Table& t = *Cursor();
  if (!t.isOpen) return;
  t.GoBottom(kReportTag);
  for (int i = last; i > last - count; --i) {
    if (i < 0 || i >= static_cast<int>(rows.size())) continue;
    if (t.bof || t.eof || t.recordNumber == 0) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    BuildRowText(rows, i, static_cast<long>(t.recordNumber), !t.LiveHere().FoundOrNone());
    t.Skip(-1);
  }
}

std::string TWUtiBroEtats::GetCellText(int field, std::uint32_t, std::uint32_t length, int) {
  ::Table& t = *Cursor();
  std::string text = t.isOpen && field >= 1 && field <= t.FieldCount() ? std::string(t.GetField(field)) : std::string();
  text.resize(length, ' ');
  return text;
}

void TWUtiBroEtats::PositionOnRecord(long recno, int flag) {
  ::Table* t = flag != 0 ? SetTable() : Cursor();
  if (t != nullptr && t->isOpen) t->GoToRecord(recno);
}

void TWUtiBroEtats::SkipRecords(long count) {
  if (Cursor()->isOpen) Cursor()->Skip(count);
}

bool TWUtiBroEtats::SeekTypedKey(char c) {
  if (c == 0) return false;
  if (LocateRowByKey(Cursor(), TypeAheadChar(c), 1, 1, kReportCodeField)) return true;
  gui::MessageBeep(0);
  ClearTypeAhead();
  return false;
}

// ---- commands -----------------------------------------------------------------------------------------------------

const gui::ResponseTable& TWUtiBroEtats::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                              .Command(Nouveau, &TWUtiBroEtats::CmCreer)
                                              .Command(Annuler, &TWUtiBroEtats::CmAnnuler)
                                              .Command(Reactiver, &TWUtiBroEtats::CmReactiver)
                                              .Command(Modifier, &TWUtiBroEtats::CmModifier)
                                              .Command(Texte, &TWUtiBroEtats::CmTexte)
                                              .Command(report_cmd::Exporter, &TWUtiBroEtats::CmExporter)
                                              .Enable(report_cmd::Exporter, &TWUtiBroEtats::CeExporter)
                                              .Enable(Visualiser, &TWUtiBroEtats::CeNever)
                                              .Enable(Imprimer, &TWUtiBroEtats::CeNever);
  return table;
}

std::string TWUtiBroEtats::SelectedCode() const {
  const int i = GetSelectedRowIndex();
  if (i == 0) return {};
  const std::string& row = Store().rows[static_cast<std::size_t>(i - 1)];
  return row.size() > 7 ? std::string(RTrim(row.substr(7, kReportCodeWidth).c_str())) : std::string();
}

void TWUtiBroEtats::CmCreer() {
  if (Busy() || !opened_) return;
  std::string code(kReportCodeWidth, ' ');
  std::string from(kFromWidth, ' ');
  TDDonNouv dialog(this, &code, kindLetter, TDDonNouv::kReportsDialog, &from);
  ::Table* set = SetTable();
  dialog.SetCreator([set, this](const std::string& c, const std::string& f) {
    return AsCreateResult(settings::CreateReport(*set, c, f, ProgramFolder), this);
  });
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  ++Store().totalRows;
  ShowRowCount();
  CmRafraichirTotal();
  LocateCode(RTrim(code.c_str()));
}

void TWUtiBroEtats::SetCancelled(bool cancel) {
  if (Busy() || !opened_) return;
  const int i = GetSelectedRowIndex();
  const long recno = PositionOnSelectedRow(0);
  if (recno == 0) {
    gui::MessageBeep(0);
    return;
  }
  ::Table& t = *Cursor();
  const Lookup live = LiveOrSaid(t);
  if (live.IsRefused()) return;
  if (live.IsNotFound() != cancel) {
    const std::string text = SelectedCode();
    if (!(cancel ? t.DeleteRecord(text.c_str(), 0) : t.RecallRecord(text.c_str(), 0))) return;
    UnlockRecord(t);
    t.Commit();
  }
  ReloadRow(Store().rows, i - 1, recno);
  RepaintRow(i);
}

void TWUtiBroEtats::CmAnnuler() { SetCancelled(true); }
void TWUtiBroEtats::CmReactiver() { SetCancelled(false); }

bool TWUtiBroEtats::LockSelected() {
  ::Table* set = SetTable();
  const long recno = PositionOnSelectedRow(1);
  if (recno == 0 || set == nullptr || !set->isOpen || set->recordNumber != static_cast<std::uint32_t>(recno) ||
      !LiveOrSaid(*set).IsFound() || !LockRecord(*set, SelectedCode().c_str(), 0)) {
    gui::MessageBeep(0);
    return false;
  }
  return true;
}

void TWUtiBroEtats::ReleaseUnusedLock(std::uint32_t recno) {
  ::Table* set = SetTable();
  if (set == nullptr || !set->isOpen || !set->GoToRecord(static_cast<long>(recno)).IsFound()) return;
  if (FormRecordLocks[static_cast<std::size_t>(FormEntry())] == recno) return;
  if (EditorLock.table == set && EditorLock.record == recno) return;
  UnlockRecord(*set);
}

void TWUtiBroEtats::CmModifier() {
  if (Busy() || !opened_) return;
  if (!SelectedIsOrdinary()) {
    gui::MessageBeep(0);
    return;
  }
  OpenPartnerForm(PadRight(SelectedCode(), kReportCodeWidth), partnerSlot, MenuCommand(), 0);
}

void TWUtiBroEtats::CmTexte() {
  if (Busy() || !opened_ || !LockSelected()) return;
  const std::uint32_t recno = SetTable()->recordNumber;
  OpenRecordTextFromList(kindLetter, GetSelectedRowIndex());
  if (EditorLock.table != SetTable() || EditorLock.record != recno) ReleaseUnusedLock(recno);
}

void TWUtiBroEtats::CeExporter(gui::CommandEnabler& ce) { ce.Enable(!Busy() && opened_ && SelectedIsOrdinary()); }

void TWUtiBroEtats::CmExporter() {
  if (Busy() || !opened_) return;
  const std::string code = SelectedCode();
  const std::string name = settings::ReportExportName(code);
  if (PositionOnSelectedRow(0) == 0 || name.empty()) {
    gui::MessageBeep(0);
    return;
  }
  std::string path;
  const std::string caption = FillPlaceholder(LoadStr(kCaptionExport), code);
  if (!gui::GetSaveFileName(this, caption, LoadStr(kExportFilter), ProgramFolder + name, path)) return;
  std::string message;
  if (!settings::ExportReport(*Cursor(), path, message)) Say(this, message);
}

// ---- the name form ------------------------------------------------------------------------------------------------

TWUtiModEtats::TWUtiModEtats(gui::MDIClient* client, char kind, const std::string& code)
    : CMDIModif(client, std::string(CodeLabelForType(std::string(1, kind).c_str())) + RTrim(code.c_str()), 4, 3,
                FormSlotOf(kind), kReportCodeWidth + 11, ListSlotOf(kind)),
      kind_(kind),
      code_(PadRight(code, kReportCodeWidth)) {
  KeyWidth = kReportCodeWidth;
  ContextCommands = {2, form_cmd::Quitter, form_cmd::Enregistrer};
  codeLabel_ = new MStatic(this, "Code", kCodeLabel);
  codeLabel_->SetFlags(codeLabel_->Flags() | gui::ctl::Right);
  codeStatic_ = new MRStatic(this, RTrim(code.c_str()), kCode);
  nameLabel_ = new MStatic(this, "Nom", kNameLabel);
  nameLabel_->SetFlags(nameLabel_->Flags() | gui::ctl::Right);
  name_ = new MEdit(this, kName, kNameWidth, 1, MEdit::kText, 0, false);
}

TWUtiModEtats::~TWUtiModEtats() = default;

::Table* TWUtiModEtats::SetTable() const { return SetTableOf(kind_); }

void TWUtiModEtats::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  ::Table* set = SetTable();
  const int entry = kind_ == 'Y' ? kFormEntryY : kFormEntryZ;
  const bool found = set != nullptr && set->isOpen && set->Find(kReportTag, code_.c_str()).IsFound() && !set->eof &&
                     std::string(set->GetField(kReportCodeField)) == code_ && LiveOrSaid(*set).IsFound();
  if (!found || !LockFormRecord(*set, entry, 2)) {
    gui::PostCommand(GetHandle(), form_cmd::Quitter);
    return;
  }
  held_ = true;
  codeLabel_->SetFont(EntryFont);
  nameLabel_->SetFont(EntryFont);
  codeStatic_->SetFont(EntryFont);
  name_->SetFont(EntryFont);
  name_->SetValue(RTrim(set->GetField(kReportNameField)), true);
  name_->FocusSelect(true);
}

void TWUtiModEtats::CleanupWindow() {
  ::Table* set = SetTable();
  const int entry = kind_ == 'Y' ? kFormEntryY : kFormEntryZ;
  if (held_ && set != nullptr) {
    const std::uint32_t recno = FormRecordLocks[static_cast<std::size_t>(entry)];
    // The text editor of the same record keeps the lock.
    if (EditorLock.table == set && EditorLock.record == recno) FormRecordLocks[static_cast<std::size_t>(entry)] = 0;
    else UnlockFormRecord(*set, entry);
  }
  held_ = false;
  CMDIModif::CleanupWindow();
}

void TWUtiModEtats::ArrangeControls() {
  MoveFormControls(codeLabel_, 1, 1, 1, 1, grid::Label, 0, 0);
  MoveFormControls(codeStatic_, 2, 1, 1, 1, grid::Label, 0, 0);
  MoveFormControls(nameLabel_, 1, 2, 1, 1, grid::Label, 0, 0);
  MoveFormControls(name_, 2, 2, 3, 1, grid::Text, kNameWidth, 0);
}

bool TWUtiModEtats::IsModified() { return held_ && name_ != nullptr && name_->IsCreated() && name_->IsModified(); }

int TWUtiModEtats::Check() {
  if (NoCheckFlag) return kCheckClose;
  return IsModified() ? kCheckSave : kCheckClose;
}

bool TWUtiModEtats::Save() {
  if (!IsModified()) return true;
  ::Table* set = SetTable();
  const int entry = kind_ == 'Y' ? kFormEntryY : kFormEntryZ;
  const std::uint32_t recno = FormRecordLocks[static_cast<std::size_t>(entry)];
  if (set == nullptr || !set->isOpen || recno == 0 || !set->GoToRecord(static_cast<long>(recno)).IsFound()) return false;
  const std::string name = name_->GetValue();
  if (!set->PutField(kReportNameField, name.c_str()) || !set->Commit()) {
    gui::MessageBeep(0);
    return false;
  }
  name_->SetValue(RTrim(name.c_str()), true);
  RefreshPartnerList(code_, kReportCodeWidth);
  return true;
}

// ---- the commands -------------------------------------------------------------------------------------------------

bool StoreStartupReports() {
  const std::string list = platform::ResolveName(ProgramFolder, "CESETATS.LST");
  if (!platform::FileExists(list)) return true;
  std::vector<std::string> sets;
  for (char letter : {ProgramOption(6), ProgramOption(7)}) {
    const std::string path = PathReportDefs(letter);
    if (std::find(sets.begin(), sets.end(), path) == sets.end()) sets.push_back(path);
  }
  // The printing sets are written by this run alone: the program's objects on them are closed first.
  if (TableCE1 != nullptr) TableCE1->CloseTable(true);
  const std::string reference = PathReportDefs('S');
  const settings::StoredList stored = settings::StoreListedReports(list, reference, sets, ProgramFolder + "cesetats.old");
  if (!stored.ok) {
    Say(Owner(), stored.message);
    return false;
  }
  return true;
}

// Core: CreateReport, ExportReport.
void OpenReportsWindow(char kind) {
  const int listSlot = ListSlotOf(kind), formSlot = FormSlotOf(kind);
  if (ActivateExistingChild(formSlot) || ActivateExistingChild(listSlot)) return;
  if (CommandWindow == nullptr) return;
  if (RegistryChar(listSlot) == '2') {
    auto* form = new TWUtiModEtats(CommandWindow, kind, RegistryText(formSlot + 11, kReportCodeWidth));
    SetChildIcon(*form, kIcon);
    PlaceChildWindow(*form, 5, 0);
    if (ProgramOption(3) != 'O') {
      // Beside its list, wide enough for a whole name.
      int x = 0;
      if (gui::Window* list = gui::Window::FromHandle(SlotHandle(listSlot))) x = list->GetWindowRect().x + 40;
      const int cw = EntryCharWidth > 0 ? EntryCharWidth : 7, rh = (EntryRowHeight > 0 ? EntryRowHeight : 16) + 8;
      form->MoveWindow(gui::Rect{x, 40, (kNameWidth + 20) * cw + 40, 4 * rh + 40});
    }
    if (form->Create()) form->Show(gui::SW_SHOWNORMAL);
    else delete form;
    SetRegistryText(listSlot, 1, "1");
    return;
  }
  if (kind == 'Z') StoreStartupReports();
  auto* list = new TWUtiBroEtats(CommandWindow, kind);
  SetChildIcon(*list, kIcon);
  PlaceUtilityList(*list);
  if (!list->Create()) {
    if (list->IsCreated()) list->Destroy();
    else delete list;
    return;
  }
  list->Show(gui::SW_SHOWNORMAL);
}
