#include "utilities/raw_browser.h"
#include "utilities/list_placement.h"

#include <algorithm>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/books_write_permit.h"
#include "data/dossier_lock.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

using settings::RawFieldUse;
using settings::RawTable;

namespace {

constexpr int kWidestColumn = 40;
constexpr int kIcon = 1004;
constexpr int kDossierFilesRights = 34;  // "Accès aux Fichiers"
constexpr int kModelsRights = 25;        // "Bilan Edition"
constexpr int kFormLabelColumns = 1;
constexpr int kFormGridColumns = 4;
constexpr int kFirstEditId = 1201;
constexpr int kFirstLabelId = 1401;

// The texts shown here, by their ids in the string table.
constexpr int kMsgNotOpenedAlone = 22370;  // the file's path at %s
constexpr int kProgramTitle = 127;
constexpr int kStrOnlyTheBrowsedFile = 39150;
constexpr int kStrNoRightToChange = 39151;
constexpr int kStrCancelledRecord = 39152;

gui::Window* Owner() { return gui::Window::FromHandle(MainWindowHandle); }

// The browser open now (null when none).
TWUtiBroFichier* OpenBrowser() { return dynamic_cast<TWUtiBroFichier*>(gui::Window::FromHandle(SlotHandle(kRawListSlot))); }

// Gives the dossier back: the table closed, the lock table shared again, the dossier to be checked before the next
// command.
void GiveDossierBack(::Table* table) {
  if (table != nullptr) table->CloseTable(true);
  CloseAllTables();
  ReleaseDossierExclusive();
  SetDossierState('2');
}

// A message box's text on one line, for the list of refused writes at the end of a preview's page.
std::string OneLine(const std::string& message) {
  std::string line;
  for (char c : message) {
    if (c == '\n' || c == '\r') c = ' ';
    if (c != ' ' || (!line.empty() && line.back() != ' ')) line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

enum class RawWrite { kWritten, kNotLocked, kRefused };

// Writes fields of record `recno` as the record form saves them: under the record's lock (`lockText` as
// LockRecord takes it) and the browser's permit to write the books, then committed. Refused, the table's
// result says why.
RawWrite WriteRecordFields(::Table& table, long recno, const std::vector<std::pair<int, std::string>>& writes,
                           const char* lockText) {
  if (!table.isOpen || !table.GoToRecord(recno).IsFound() || !LockRecord(table, lockText, 0)) return RawWrite::kNotLocked;
  bool ok = true;
  {
    const BooksWritePermit permit(kRawAccessRun, BooksScope::OfFile(table.tablePath));
    for (const auto& [field, text] : writes)
      if (ok) ok = table.PutField(field, text.c_str());
  }
  const std::uint16_t result = table.result;
  UnlockRecord(table);
  if (!table.Commit()) return RawWrite::kRefused;
  if (!ok) table.result = result;
  return ok ? RawWrite::kWritten : RawWrite::kRefused;
}

}  // namespace

// ---- the list ------------------------------------------------------------------------------------------------------

TWUtiBroFichier::TWUtiBroFichier(gui::MDIClient* parent, const RawTable& raw, ::Table* table, const std::string& title,
                                 const BrowseColumnTable& columns)
    : CMDIBrowse(parent, title, &columns, kRawListSlot, kRawListSlotLength, kRawFormSlot), raw_(raw), table_(table) {
  keyWidth = 6;
  kindLetter = std::string(1, raw.kindLetter);
  listName = std::string("TWUtiBroFichier") + raw.layoutPrefix;
  rightsFunction = raw.fileNumber != 0 ? kDossierFilesRights : kModelsRights;
  reportPrefix = raw.layoutPrefix;
  previewTitle = title;
  printTitle = title;
  // The templates of this table's layouts may write into its fields.
  AllowFieldUpdates = true;
  toolbarCommands = {6, browse_cmd::Quitter, browse_cmd::Modifier, browse_cmd::Annuler, browse_cmd::Reactiver,
                     browse_cmd::Visualiser, browse_cmd::Imprimer};
  Store().totalRows = table_ != nullptr && table_->isOpen ? static_cast<long>(table_->RecCount()) : 0;
}

TWUtiBroFichier::~TWUtiBroFichier() = default;

BrowseColumnTable TWUtiBroFichier::ColumnsOf(::Table& table) {
  std::vector<int> fields;
  for (int f = 1; f <= table.FieldCount(); ++f)
    if (settings::UseOfFieldType(table.FieldType(f)) != RawFieldUse::Leave) fields.push_back(f);
  BrowseColumnTable columns = MakeColumnTable(static_cast<int>(fields.size()) + 1, 1);
  DefineColumn(columns, 1, 2, "", 'C', 'C', 0, 1, 1);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const int f = fields[i];
    const std::string name = RTrim(table.FieldName(f));
    const int width = std::max(std::min(table.FieldWidth(f), kWidestColumn), static_cast<int>(name.size()));
    DefineColumn(columns, static_cast<int>(i) + 2, width + 1, name, 'C', table.FieldType(f) == 'N' ? 'D' : 'G', f,
                 0, static_cast<std::uint32_t>(width));
  }
  return columns;
}

void TWUtiBroFichier::SetupWindow() {
  CMDIBrowse::SetupWindow();
  if (Store().totalRows > 0 && Store().selected == 0) Store().selected = 1;
}

void TWUtiBroFichier::CleanupWindow() {
  if (gui::Window* form = gui::Window::FromHandle(SlotHandle(kRawFormSlot))) {
    if (auto* f = dynamic_cast<CMDIModif*>(form)) f->NoCheckFlag = true;
    form->CloseWindow();
  }
  GiveDossierBack(table_);
  CMDIBrowse::CleanupWindow();
}

bool TWUtiBroFichier::HasCurrentRecord(::Table* table) {
  return table != nullptr && table->isOpen && !table->bof && !table->eof && table->recordNumber != 0;
}

void TWUtiBroFichier::ReloadRow(BrowseRows& rows, int i, long recno) {
  if (table_ == nullptr || !table_->isOpen || !table_->GoToRecord(recno).IsFound()) return;
  BuildRowText(rows, i, recno, !table_->LiveHere().FoundOrNone());
}

void TWUtiBroFichier::FillRowsForward(BrowseRows& rows, int first, int count, long recno) {
  const long total = Store().totalRows;
  long next = recno != 0 ? recno + 1 : (HasCurrentRecord(table_) ? static_cast<long>(table_->recordNumber) : total + 1);
  for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) {
    if (next < 1 || next > total || !table_->GoToRecord(next).IsFound()) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    BuildRowText(rows, i, next, !table_->LiveHere().FoundOrNone());
    ++next;
  }
}

void TWUtiBroFichier::FillRowsFromFirst(BrowseRows& rows, int first, int count) {
  if (table_ == nullptr || !table_->isOpen) return;
  long next = 1;
  for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i, ++next) {
    if (next > Store().totalRows || !table_->GoToRecord(next).IsFound()) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    BuildRowText(rows, i, next, !table_->LiveHere().FoundOrNone());
  }
}

void TWUtiBroFichier::FillRowsFromLast(BrowseRows& rows, int last, int count) {
  if (table_ == nullptr || !table_->isOpen) return;
  const long total = Store().totalRows;
  if (total < count) return FillRowsFromFirst(rows, last - count + 1, count);
  long recno = total;
  for (int i = last; i > last - count; --i, --recno) {
    if (i < 0 || i >= static_cast<int>(rows.size())) continue;
    if (recno < 1 || !table_->GoToRecord(recno).IsFound()) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    BuildRowText(rows, i, recno, !table_->LiveHere().FoundOrNone());
  }
}

std::string TWUtiBroFichier::GetCellText(int field, std::uint32_t, std::uint32_t width, int) {
  if (table_ == nullptr || !table_->isOpen || field < 1 || field > table_->FieldCount())
    return std::string(width, ' ');
  const char type = table_->FieldType(field);
  // A type the table layer cannot read as text is shown as its letter.
  if (type != 'C' && type != 'N') return PadRight(std::string("<") + type + ">", width);
  return PadRight(table_->GetField(field), width);
}

void TWUtiBroFichier::PositionOnRecord(long recno, int) {
  if (table_ != nullptr && table_->isOpen) table_->GoToRecord(recno);
}

void TWUtiBroFichier::SkipRecords(long count) {
  if (table_ == nullptr || !table_->isOpen) return;
  // Physical order: the record number is the rank, so a step of any length is one move.
  const long from = table_->recordNumber != 0 ? static_cast<long>(table_->recordNumber)
                                               : (table_->eof ? Store().totalRows + 1 : 0);
  const long to = from + count;
  if (to < 1) {
    table_->GoToRecord(1);
    table_->Skip(-1);
  } else if (to > Store().totalRows) {
    table_->GoToRecord(Store().totalRows);
    table_->Skip(1);
  } else {
    table_->GoToRecord(to);
  }
}

// ---- report hooks ---------------------------------------------------------------------------------------------------

bool TWUtiBroFichier::PrepareReport() {
  if (table_ == nullptr || !table_->isOpen || Store().totalRows == 0) return false;
  table_->GoToRecord(1);
  LineTypeText = "A";
  ListLineCount = 0;
  reportStarted_ = true;
  return true;
}

void TWUtiBroFichier::ComputeLine() { ++ListLineCount; }

bool TWUtiBroFichier::NextRecord() {
  const bool more = table_ != nullptr && table_->isOpen && table_->Skip(1);
  if (!more) LineTypeText = "Z";
  return more;
}

void TWUtiBroFichier::ClassifyLine() { LineTypeText = "S"; }

// A template's write goes as the record form's: into the browsed table only, for a user who may change it,
// on a record that is not cancelled, a value the form would take, stored as the form stores it.
bool TWUtiBroFichier::WriteReportField(::Table& table, int field, const std::string& text, std::string& why) {
  if (&table != table_ || !HasCurrentRecord(table_)) {
    why = LoadStr(kStrOnlyTheBrowsedFile);
    return false;
  }
  if (!HasAccessRight(rightsFunction, 3)) {
    why = LoadStr(kStrNoRightToChange);
    return false;
  }
  const Lookup live = table.LiveHere();
  if (live.IsRefused()) {
    why = UnreadText(table.tablePath, live.result());
    return false;
  }
  if (live.IsNotFound()) {
    why = LoadStr(kStrCancelledRecord);
    return false;
  }
  const char type = table.FieldType(field);
  std::string stored, message;
  if (!settings::CheckRawFieldValue(type, table.FieldWidth(field), type == 'N' ? table.FieldDecimals(field) : 0, text,
                                    stored, message)) {
    why = OneLine(message);
    return false;
  }
  return WriteRecordFields(table, static_cast<long>(table.recordNumber), {{field, stored}}, nullptr) ==
         RawWrite::kWritten;
}

// ---- commands -------------------------------------------------------------------------------------------------------

const gui::ResponseTable& TWUtiBroFichier::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                              .Command(Annuler, &TWUtiBroFichier::CmAnnuler)
                                              .Command(Reactiver, &TWUtiBroFichier::CmReactiver)
                                              .Command(Modifier, &TWUtiBroFichier::CmModifier)
                                              .Enable(Modifier, &TWUtiBroFichier::CeModifierFichier)
                                              .Enable(Nouveau, &TWUtiBroFichier::CeNever)
                                              .Enable(Texte, &TWUtiBroFichier::CeNever);
  return table;
}

void TWUtiBroFichier::CeModifierFichier(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && HasAccessRight(rightsFunction, 3) && SelectedIsOrdinary() && !PartnerOpen());
}

void TWUtiBroFichier::SetCancelled(bool cancel) {
  if (Busy() || !HasAccessRight(rightsFunction, 4) || PartnerOpen()) return;
  const int i = GetSelectedRowIndex();
  const long recno = PositionOnSelectedRow(0);
  if (recno == 0) {
    gui::MessageBeep(0);
    return;
  }
  const Lookup live = LiveOrSaid(*table_);
  if (live.IsRefused()) return;
  if (live.IsNotFound() != cancel) {
    const BooksWritePermit permit(kRawAccessRun, BooksScope::OfFile(table_->tablePath));
    if (!(cancel ? table_->DeleteRecord(nullptr, 0) : table_->RecallRecord(nullptr, 0))) return;
    table_->Commit();
  }
  ReloadRow(Store().rows, i - 1, recno);
  RepaintRow(i);
}

void TWUtiBroFichier::CmAnnuler() { SetCancelled(true); }
void TWUtiBroFichier::CmReactiver() { SetCancelled(false); }

void TWUtiBroFichier::CmModifier() {
  if (Busy() || !HasAccessRight(rightsFunction, 3) || PartnerOpen()) return;
  const long recno = PositionOnSelectedRow(0);
  if (recno == 0 || !SelectedIsOrdinary()) {
    gui::MessageBeep(0);
    return;
  }
  SetRegistryText(kRawFormSlot + 11, 6, StrZero(recno, 6));
  const std::string title = std::string(LoadStr(raw_.formTitle)) + StrZero(recno, 6);
  auto* form = new TWUtiModFichier(CommandWindow, title, table_, recno);
  SetChildIcon(*form, kIcon);
  PlaceChildWindow(*form, 5, 0);
  if (ProgramOption(3) != 'O' && CommandWindow != nullptr) {
    // Beside the browser's left part, one row per field (the form scrolls when the client is lower).
    const gui::Rect client = CommandWindow->GetClientRect();
    const int cw = EntryCharWidth > 0 ? EntryCharWidth : 7, rh = (EntryRowHeight > 0 ? EntryRowHeight : 16) + 8;
    const int width = std::min(80 * cw + 40, std::max(client.w, 320));
    const int height = std::min((form->GridRows + 1) * rh + 40, std::max(client.h, 200));
    form->MoveWindow(gui::Rect{std::max(0, client.w - width), 0, width, height});
  }
  if (!form->Create()) {
    if (form->IsCreated()) form->Destroy();
    else delete form;
    return;
  }
  form->Show(gui::SW_SHOWNORMAL);
}

void TWUtiBroFichier::ShowRecord(long recno) {
  if (table_ == nullptr || !table_->isOpen) return;
  ScrollToRecordNumber(table_, StrZero(recno, 6));
  for (int i = 0; i < Store().rowsPerPage; ++i) {
    if (Store().RecordNumberOf(i) != recno) continue;
    ReloadRow(Store().rows, i, recno);
    RepaintRow(i + 1);
  }
}

// ---- the record form -----------------------------------------------------------------------------------------------

TWUtiModFichier::TWUtiModFichier(gui::MDIClient* client, const std::string& title, ::Table* table, long recno)
    : CMDIModif(client, title, kFormGridColumns, 1, kRawFormSlot, kRawFormSlotLength, kRawListSlot),
      table_(table),
      recno_(recno) {
  KeyWidth = 6;
  ContextCommands = {2, form_cmd::Quitter, form_cmd::Enregistrer};
  if (table_ == nullptr || !table_->isOpen) return;
  int n = 0;
  for (int f = 1; f <= table_->FieldCount(); ++f) {
    const char type = table_->FieldType(f);
    const RawFieldUse use = settings::UseOfFieldType(type);
    if (use == RawFieldUse::Leave) continue;
    FieldRow row;
    row.field = f;
    row.type = type;
    row.width = table_->FieldWidth(f);
    row.decimals = type == 'N' ? table_->FieldDecimals(f) : 0;
    row.label = new MStatic(this, RTrim(table_->FieldName(f)), kFirstLabelId + n);
    row.label->SetFlags(row.label->Flags() | gui::ctl::Right);
    if (use == RawFieldUse::Edit) {
      // Wider than the field: a longer text is typed in full and refused with its message, not cut unseen.
      row.edit = new MEdit(this, kFirstEditId + n, std::max(row.width, 254), 1, MEdit::kText, 0, false);
    } else {
      row.shown = new MStatic(this, "", kFirstEditId + n);
    }
    rows_.push_back(row);
    ++n;
  }
  GridRows = std::max(1, n);
}

MEdit* TWUtiModFichier::EditOf(int field) const {
  for (const FieldRow& r : rows_)
    if (r.field == field) return r.edit;
  return nullptr;
}

void TWUtiModFichier::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  if (table_ == nullptr || !table_->isOpen || !table_->GoToRecord(recno_).IsFound()) {
    gui::PostCommand(GetHandle(), form_cmd::Quitter);
    return;
  }
  for (FieldRow& r : rows_) {
    r.label->SetFont(EntryFont);
    if (r.edit != nullptr) {
      r.edit->SetFont(EntryFontFixed);
      r.edit->SetValue(r.type == 'N' ? AllTrim(table_->GetField(r.field)) : RTrim(table_->GetField(r.field)), true);
    } else if (r.shown != nullptr) {
      r.shown->SetText(std::string("<") + r.type + ">");
    }
  }
  for (FieldRow& r : rows_) {
    if (r.edit != nullptr) {
      r.edit->FocusSelect(true);
      break;
    }
  }
}

void TWUtiModFichier::ArrangeControls() {
  int row = 1;
  for (FieldRow& r : rows_) {
    MoveFormControls(r.label, 1, row, kFormLabelColumns, 1, grid::Label, 0, 0);
    gui::Window* value = r.edit != nullptr ? static_cast<gui::Window*>(r.edit) : r.shown;
    // An edit as wide as its field (within the row), one line high.
    MoveFormControls(value, kFormLabelColumns + 1, row, kFormGridColumns - kFormLabelColumns, 1,
                     r.edit != nullptr ? grid::Text : grid::Label, r.edit != nullptr ? r.width : 0, 0);
    ++row;
  }
}

bool TWUtiModFichier::IsModified() {
  for (FieldRow& r : rows_)
    if (r.edit != nullptr && r.edit->IsCreated() && r.edit->IsModified()) return true;
  return false;
}

bool TWUtiModFichier::CheckedValues(std::vector<std::pair<int, std::string>>& writes, bool tell) {
  writes.clear();
  for (FieldRow& r : rows_) {
    if (r.edit == nullptr || !r.edit->IsModified()) continue;
    std::string stored, message;
    if (!settings::CheckRawFieldValue(r.type, r.width, r.decimals, r.edit->GetValue(), stored, message)) {
      if (tell) {
        gui::MessageBeep(0);
        gui::MessageBox(this, message, RTrim(table_->FieldName(r.field)), gui::MB_OK | gui::MB_ICONSTOP);
        r.edit->FocusSelect(true);
      }
      return false;
    }
    writes.emplace_back(r.field, stored);
  }
  return true;
}

int TWUtiModFichier::Check() {
  if (NoCheckFlag) return kCheckClose;
  std::vector<std::pair<int, std::string>> writes;
  if (!CheckedValues(writes, true)) return kCheckInvalid;
  return writes.empty() ? kCheckClose : kCheckSave;
}

bool TWUtiModFichier::Save() {
  std::vector<std::pair<int, std::string>> writes;
  if (!CheckedValues(writes, true)) return false;
  if (writes.empty()) return true;
  const RawWrite written = table_ != nullptr ? WriteRecordFields(*table_, recno_, writes, "") : RawWrite::kNotLocked;
  if (written == RawWrite::kNotLocked) {
    gui::MessageBeep(0);
    return false;
  }
  const bool ok = written == RawWrite::kWritten;
  for (FieldRow& r : rows_)
    if (r.edit != nullptr)
      r.edit->SetValue(r.type == 'N' ? AllTrim(table_->GetField(r.field)) : RTrim(table_->GetField(r.field)), true);
  if (TWUtiBroFichier* list = OpenBrowser()) list->ShowRecord(recno_);
  return ok;
}

// ---- the command ---------------------------------------------------------------------------------------------------

// Core: FindRawTable.
void OpenRawTable(unsigned command) {
  const RawTable* raw = settings::FindRawTable(command);
  if (raw == nullptr || CommandWindow == nullptr) return;
  if (!AskSupportPassword()) {
    gui::MessageBeep(0);
    return;
  }
  if (!CommandWindow->CloseChildren()) return;
  CloseAllTables();
  if (!OpenDossierExclusive(true)) return;
  SetDossierState('1');
  ::Table* table = settings::RawTableObject(*raw);
  const std::string model = TheDossierRecord.Constant(4);
  const std::string path = settings::RawTablePath(*raw, model.empty() ? ' ' : model[0]);
  if (table == nullptr || path.empty() || !table->OpenExclusive(path)) {
    gui::MessageBeep(0);
    gui::MessageBox(Owner(), FillPlaceholder(LoadStr(kMsgNotOpenedAlone), path), LoadStr(kProgramTitle),
                    gui::MB_OK | gui::MB_ICONSTOP);
    GiveDossierBack(table);
    return;
  }
  const std::string title = LoadStr(raw->listTitle);
  auto* list = new TWUtiBroFichier(CommandWindow, *raw, table, title, TWUtiBroFichier::ColumnsOf(*table));
  SetChildIcon(*list, kIcon);
  PlaceUtilityList(*list);
  if (!list->Create()) {
    if (list->IsCreated()) list->Destroy();
    else delete list;
    GiveDossierBack(table);
    return;
  }
  list->Show(gui::SW_SHOWNORMAL);
}
