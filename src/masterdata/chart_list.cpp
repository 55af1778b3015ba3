#include "masterdata/chart_list.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/index_recovery.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "framework/dialog_bases.h"
#include "framework/fmt_saisie.h"
#include "framework/lookup_registry.h"
#include "masterdata/core/chart_layouts.h"
#include "masterdata/core/chart_records.h"
#include "masterdata/core/code_records.h"
#include "masterdata/core/code_values.h"
#include "masterdata/core/masterdata_strings.h"
#include "masterdata/new_code_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/cursor.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/messagebox.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/progress.h"
#include "shell/registry.h"

using namespace masterdata;

std::string ListReopenState;

namespace {

constexpr int kToolbar[] = {11,
                            child_command::Quitter,
                            child_command::Modifier,
                            child_command::Annuler,
                            child_command::Reactiver,
                            child_command::Nouveau,
                            child_command::RenvoyerCode,
                            child_command::Chercher,
                            child_command::ChercherEncore,
                            child_command::TriParCode,
                            child_command::TriParNom,
                            child_command::Texte};
constexpr int kLimitsByCode = 3, kLimitsNone = 1;
constexpr int kCaptionWarning = 52;
constexpr int kLastSectionChosen = 3960;  // the section a click in the sections list selected
constexpr int kEuroOnlyConstant039 = 39;
// The 18 characters of a list's registry entry after its key: the asking window's position, handle and command.
constexpr int kLookupPartWidth = 18;
constexpr int kStateCodeAt = 38;  // 0-based start of the code in ListReopenState
constexpr char kFieldSeparator = '\x01';  // never typed: the word search reads the fields of a record joined by it

char HelpCharacter() {
  const char c = ProgramOption(4);
  return c == ' ' || c == '\0' ? '*' : c;
}

std::string Five(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%5i", n);
  return std::string(buf).substr(0, 5);
}

gui::Handle MainWindow() { return static_cast<gui::Handle>(SessionInt(1)); }

// The lock taken for a form or the text editor that did not open on the record goes back, unless the form or the
// editor holds it.
void ReleaseUnusedLock(::Table* t, std::uint32_t recno, int formLockEntry) {
  if (t == nullptr || !t->isOpen || !t->GoToRecord(static_cast<long>(recno)).IsFound()) return;
  if (t->IsLockedByMe() || FormRecordLocks[static_cast<std::size_t>(formLockEntry)] == recno) return;
  UnlockRecord(*t);
}

}  // namespace

// ---- construction ------------------------------------------------------------------------------------------------

std::string ChartListTitle(char kind) {
  const ChartFile* file = FindChartFile(kind);
  const bool byCode = file == nullptr || ProgramOption(file->orderOption) == 'C';
  return FillPlaceholder(LoadStr(byCode ? kTextByCode : kTextByName), FileTitleForType(std::string(1, kind).c_str()));
}

BrowseColumnTable ChartList::ColumnsOf(char kind) {
  const ChartFile* file = FindChartFile(kind);
  const bool byCode = ProgramOption(file->orderOption) == 'C';
  const bool euros = TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N';
  const char mode = TheDossierRecord.AnalyticMode();
  const std::vector<ListColumn> columns = ChartColumns(kind, byCode, euros, mode == '1' || mode == '2');
  const int n = static_cast<int>(columns.size());
  // The marker, the key and the first of code and name stay when the list scrolls sideways.
  BrowseColumnTable table = MakeColumnTable(n, 3);
  for (int k = 1; k <= n; ++k) {
    const ListColumn& c = columns[static_cast<std::size_t>(k - 1)];
    DefineColumn(table, k, c.width, c.title, 'C', c.align, c.field, static_cast<std::uint32_t>(c.start),
                 static_cast<std::uint32_t>(c.length));
  }
  return table;
}

ChartList::ChartList(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns, char kind)
    : CMDIBrowse(parent, title, columns, FindChartKind(kind)->listSlot, FindChartKind(kind)->SlotDistance(),
                 FindChartKind(kind)->formSlot),
      kind_(FindChartKind(kind)),
      file_(FindChartFile(kind)) {
  order_ = ProgramOption(file_->orderOption) == 'C' ? 'C' : 'N';
  euros_ = TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N';
  levels_ = file_->Accounts() ? ChartBreakLevels() : SectionBreakLevels();
  kindLetter = std::string(1, kind);
  keyWidth = kind_->codeWidth;
  rightsFunction = kind_->accessFunction;
  helpContext = kind_->helpTopic;
  reportPrefix = kind_->reportPrefix;
  printTitle = FileTitleForType(kindLetter.c_str());
  previewTitle = FillPlaceholder(LoadStr(kTextPreviewOf), printTitle);
  LimitsMode = CodeOrder() ? kLimitsByCode : kLimitsNone;
  // Each order has its own columns, so its own saved layout.
  listName = std::string(kind_->listClass) + (CodeOrder() ? "" : "Nom");
  toolbarCommands.assign(std::begin(kToolbar), std::end(kToolbar));
  if (CodeOrder()) codeIndex = BrowseCodeIndex{Cursor(), file_->codeTag, "", 1};
  report_ = std::make_unique<ChartReport>(*file_, *ReportCursor(), file_->Accounts() ? LookupCursor() : nullptr,
                                          euros_);
  const std::string path = file_->Accounts() ? PathC20() : PathC30();
  ::Table* program = ProgramTable();
  opened_ = TableC10 != nullptr && TableC10->UseShared(PathC10(), kC10Tag) && program != nullptr &&
            program->UseShared(path, file_->codeTag) && Cursor()->UseShared(path, OrderTag()) &&
            ReportCursor()->UseShared(path, file_->codeTag) && LookupCursor()->UseShared(path, file_->codeTag);
  if (!opened_) return;
  const std::uint32_t count = Cursor()->RecCount();
  Store().totalRows = Cursor()->result == 0 ? static_cast<long>(count) : 0;
  RebuildBreakList();
}

::Table* ChartList::ProgramTable() const { return file_->Accounts() ? TableC20 : TableC30; }

const char* ChartList::OrderTag() const { return CodeOrder() ? file_->codeTag : file_->nameTag; }

void ChartList::RebuildBreakList() {
  if (!CodeOrder() || !LookupCursor()->isOpen) {
    breakList_.clear();
    return;
  }
  breakList_ = BuildBreakList(*LookupCursor(), file_->codeTag, levels_);
}

void ChartList::SetupWindow() {
  CMDIBrowse::SetupWindow();
  // A file that cannot be opened closes the list (the table keeps the engine's code).
  if (!opened_) {
    ListReopenState.clear();
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  BeforeRefresh();
  const std::string state = ListReopenState;
  ListReopenState.clear();
  if (!IsBlank(state)) {
    // Opened again by an order switch: the lookup part of the registry entry and the record to show again.
    std::string code = state.size() > kStateCodeAt ? state.substr(kStateCodeAt, 8) : std::string();
    code.resize(8, ' ');
    std::string lookup = state.size() > 20 ? state.substr(20, kLookupPartWidth) : std::string();
    lookup.resize(kLookupPartWidth, ' ');
    SetRegistryText(ownSlot + 11, keyWidth, code);
    SetRegistryText(ownSlot + 11 + keyWidth, kLookupPartWidth, lookup);
    if (!IsBlank(code)) gui::PostCommand(GetHandle(), browse_cmd::ReCaler);
    return;
  }
  // A lookup opened the list with a code: ReCaler shows it.
  if (!IsBlank(RegistryText(ownSlot + 11, keyWidth)) || Store().totalRows == 0) return;
  if (Store().selected == 0) Store().selected = 1;
}

// ---- rows --------------------------------------------------------------------------------------------------------

std::string ChartList::SelectedCode() const {
  const int i = GetSelectedRowIndex();
  std::string code;
  if (i != 0) {
    const std::string& row = Store().rows[static_cast<std::size_t>(i - 1)];
    const std::size_t at = static_cast<std::size_t>(CodePosition() - 1);
    if (row.size() > at) code = row.substr(at, 8);
  }
  code.resize(8, ' ');
  return code;
}

bool ChartList::HasCurrentRecord(::Table* t) {
  return t != nullptr && t->isOpen && !t->bof && !t->eof && t->recordNumber != 0;
}

void ChartList::Row(BrowseRows& rows, int i) {
  ::Table& t = *Cursor();
  BuildRowText(rows, i, static_cast<long>(t.recordNumber), !t.LiveHere().FoundOrNone());
}

void ChartList::ReloadRow(BrowseRows& rows, int i, long recno) {
  ::Table& t = *Cursor();
  if (!t.isOpen || !t.GoToRecord(recno).IsFound()) return;
  Row(rows, i);
}

void ChartList::FillRowsForward(BrowseRows& rows, int first, int count, long recno) {
  ::Table& t = *Cursor();
  if (!t.isOpen) return;
  if (recno != 0 && t.GoToRecord(recno).IsFound()) t.Skip(1);
  for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) {
    if (!HasCurrentRecord(&t)) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    Row(rows, i);
    t.Skip(1);
  }
}

void ChartList::FillRowsFromFirst(BrowseRows& rows, int first, int count) {
  ::Table& t = *Cursor();
  if (!t.isOpen || !t.GoTop(OrderTag())) {
    for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) rows[static_cast<std::size_t>(i)].clear();
    return;
  }
  FillRowsForward(rows, first, count, 0);
}

void ChartList::FillRowsFromLast(BrowseRows& rows, int last, int count) {
  if (Store().totalRows < count) return FillRowsFromFirst(rows, last - count + 1, count);
  ::Table& t = *Cursor();
  if (!t.isOpen) return;
  t.GoBottom(OrderTag());
  for (int i = last; i > last - count; --i) {
    if (i < 0 || i >= static_cast<int>(rows.size())) continue;
    if (!HasCurrentRecord(&t)) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    Row(rows, i);
    t.Skip(-1);
  }
}

std::string ChartList::GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) {
  ::Table& t = *Cursor();
  const int len = static_cast<int>(length);
  if (!t.isOpen || field < 1 || field > t.FieldCount()) return std::string(length, ' ');
  // The key column: the order's key, upper-cased.
  if (column == 2) return Upper(SliceOf(t.GetField(field), static_cast<int>(start), len).c_str());
  if (field == file_->debitField) {
    const int c = euros_ ? 1 : 0;
    const long long balance = StoredAmountOf(t, file_->debitField + c) - StoredAmountOf(t, file_->creditField + c);
    return balance == 0 ? std::string(length, ' ') : FitRight(BalanceAmount(balance), len);
  }
  if (file_->Accounts()) {
    const std::string code = SliceOf(t.GetField(c20::kCode), 1, kChartCodeWidth);
    switch (field) {
      case c20::kCounterpart:
        return IsAuxiliaryCode(code) ? SliceOf(t.GetField(field), static_cast<int>(start), len) : std::string(length, ' ');
      case c20::kBalanceSheet: return t.GetField(field)[0] == 'O' ? std::string("Oui") : std::string(3, ' ');
      case c20::kAnalytic: return AnalyticMarkText(code, t.GetField(field)[0], std::string(3, ' '));
      default: break;
    }
  }
  return SliceOf(t.GetField(field), static_cast<int>(start), len);
}

void ChartList::PositionOnRecord(long recno, int flag) {
  ::Table* t = flag != 0 ? ProgramTable() : Cursor();
  if (t != nullptr && t->isOpen) t->GoToRecord(recno);
}

void ChartList::SkipRecords(long count) {
  if (Cursor()->isOpen) Cursor()->Skip(count);
}

void ChartList::BeforeRefresh() {
  if (Cursor()->isOpen && Cursor()->tag != OrderTag()) Cursor()->SetOrder(OrderTag());
}

int ChartList::GetCellTextColor(int row, int) {
  bool shaded;
  if (CodeOrder()) {
    const std::string& text = row >= 1 && row <= static_cast<int>(Store().rows.size())
                                  ? Store().rows[static_cast<std::size_t>(row - 1)]
                                  : std::string();
    shaded = text.size() >= 15 && IsShadedCode(breakList_, text.substr(7, 8), levels_);
  } else {
    shaded = row % 2 == 0;
  }
  stripe_ = shaded;
  return shaded ? 6 : 0;
}

std::string ChartList::GetRecordKey(::Table* table, int start, int length, int firstField) {
  if (table == nullptr || length <= 0) return {};
  std::string key = table->GetField(CodeOrder() ? 1 : 2);
  if (!CodeOrder()) key = Upper(key.c_str());
  key = SliceOf(key, std::max(start, 1), length);
  return Ordering().MapThroughOrderingTable(key);
}

bool ChartList::SeekTypedKey(char c) {
  if (c == 0 || !Cursor()->isOpen) return false;
  const std::string buffer = TypeAheadChar(c);
  // Typing on: the selected row's key already begins with what was typed before and the page reaches the key
  // typed now, so the row is found on the page (a long walk to a key far away goes through the index instead).
  bool near = false;
  if (buffer.size() > 1) {
    const int i = GetSelectedRowIndex();
    const int last = Store().rowsPerPage - 1;
    if (i != 0 && last >= 0 && Store().RecordNumberOf(last) != 0) {
      const std::string& row = Store().rows[static_cast<std::size_t>(i - 1)];
      const std::string& bottom = Store().rows[static_cast<std::size_t>(last)];
      const std::string lastKey = Ordering().MapThroughOrderingTable(bottom.substr(7, buffer.size()));
      near = row.size() >= 7 + buffer.size() - 1 && row.compare(7, buffer.size() - 1, buffer, 0, buffer.size() - 1) == 0 &&
             Ordering().MapThroughOrderingTable(buffer) <= lastKey;
    }
  }
  if (!near) {
    if (!Cursor()->Find(OrderTag(), buffer.c_str()).IsFound() || !HasCurrentRecord(Cursor())) {
      ClearTypeAhead();
      return false;
    }
    const long rank = static_cast<long>(CountIndexEntries(*Cursor(), OrderTag(), 2, buffer.c_str()));
    if (rank > 0) SelectRow(rank, 1);
  }
  if (LocateRowByKey(Cursor(), buffer, 1, 1, CodeOrder() ? 1 : 2)) return true;
  gui::MessageBeep(0);
  ClearTypeAhead();
  return false;
}

bool ChartList::LocateCode(const std::string& code) {
  const std::string c = RTrim(code.c_str());
  if (c.empty() || !Cursor()->isOpen) return false;
  if (CodeOrder()) return ShowCode(c);
  // Name order: the record of the code, found by its name's rank and then among the records of that name.
  // Not shown when not read: the list stays where it was.
  if (!SeekChartCode(*LookupCursor(), *file_, c).IsFound()) return false;
  const std::uint32_t target = LookupCursor()->recordNumber;
  const std::string name = RTrim(Upper(SliceOf(LookupCursor()->GetField(2), 1, kChartNameWidth).c_str()));
  ::Table& t = *Cursor();
  long rank = 0;
  if (name.empty()) {
    t.GoTop(file_->nameTag);
    rank = 1;
  } else {
    if (!t.Find(file_->nameTag, name.c_str()).IsFound()) return false;
    rank = static_cast<long>(CountIndexEntries(t, file_->nameTag, 2, name.c_str()));
  }
  if (rank <= 0) return false;
  while (HasCurrentRecord(&t) && t.recordNumber != target) {
    t.Skip(1);
    ++rank;
  }
  if (!HasCurrentRecord(&t)) return false;
  const int old = GetSelectedRowIndex();
  SelectRow(rank, 1);
  RepaintRow(old);
  return GetSelectedRowIndex() != 0;
}

// ---- lookup side -------------------------------------------------------------------------------------------------

void ChartList::ReturnSelectedCode() {
  if (PositionOnSelectedRow(0) == 0) {
    gui::MessageBeep(0);
    return;
  }
  if (!LookupAskerAlive()) return;
  WriteLookupAnswer(ownSlot, keyWidth, SelectedCode());
  const int cmd = LookupReturnCommand(ownSlot, keyWidth);
  const auto handle = static_cast<gui::Handle>(LookupAskerHandle(ownSlot, keyWidth));
  if (cmd > 0) gui::PostCommand(handle, static_cast<unsigned>(cmd));
}

void ChartList::CopySelectedCode() { CopySelectedCodeFrom(CodePosition(), kChartCodeWidth); }

void ChartList::EvLButtonDown(unsigned modKeys, gui::Point p) {
  CMDIBrowse::EvLButtonDown(modKeys, p);
  if (Busy() || p.y / RowHeightPixels() == 0 || GetSelectedRowIndex() == 0) return;
  const std::string code = SelectedCode();
  if (IsBlank(code)) return;
  if (file_->Accounts()) StoreSessionCode(code.c_str());
  else SetRegistryText(kLastSectionChosen, kChartCodeWidth, code);
}

void ChartList::EvSetFocus(gui::Handle lost) {
  CMDIBrowse::EvSetFocus(lost);
  if (!PrintRunFlag) BeforeRefresh();
}

// ---- the order ---------------------------------------------------------------------------------------------------

std::string ChartList::ReopenState(const std::string& code) const {
  const gui::Rect r = GetWindowRect();
  std::string state = Five(r.x) + Five(r.y) + Five(r.w) + Five(r.h);
  std::string lookup = RegistryText(ownSlot + 11 + keyWidth, kLookupPartWidth);
  lookup.resize(kLookupPartWidth, ' ');
  return state + lookup + code;
}

void ChartList::CloseAndReopen(const std::string& state, char order) {
  const unsigned command = kind_->command;
  const int option = file_->orderOption;
  ListReopenState = state;
  SetProgramOption(option, order);
  // The window goes with the close: nothing of it is used afterwards.
  gui::SendMessage(GetHandle(), gui::WM_CLOSE);
  gui::PostCommand(MainWindow(), command);
}

void ChartList::SwitchOrder(char order) {
  if (PartnerOpen() || Busy() || order_ == order) return;
  std::string code;
  if (PositionOnSelectedRow(0) != 0) code = SliceOf(Cursor()->GetField(1), 1, kChartCodeWidth);
  CloseAndReopen(ReopenState(code), order);
}

// ---- word search -------------------------------------------------------------------------------------------------

void ChartList::SearchWord(bool next) {
  if (Busy() || !CodeOrder() || PositionOnSelectedRow(0) == 0 || (next && IsBlank(BrowseSearchText))) {
    gui::MessageBeep(0);
    return;
  }
  if (!next) {
    std::string word = BrowseSearchText;
    TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, kMsgWordsPrompt, &word, true);
    dialog.SetCaption(FileTitleForType(kindLetter.c_str()));
    if (dialog.Execute(kTaskModal) != gui::IDOK || IsBlank(word)) return;
    BrowseSearchText = Trimmed(word);
  }
  std::vector<std::string> words = SplitText(BrowseSearchText.c_str(), false, '&', '|');
  FoldAccentsUpper(words);
  // The fields of the columns from the second on, each once (no marker, no memo).
  std::vector<int> fields;
  ::Table& t = *Cursor();
  for (int k = 2; k <= ColumnCountOf(); ++k) {
    const int f = Columns()[static_cast<std::size_t>(k)].field;
    if (f == 0 || t.FieldType(f) == 'M' || std::find(fields.begin(), fields.end(), f) != fields.end()) continue;
    fields.push_back(f);
  }
  Progress progress(Store().totalRows, this);
  long count = Store().selected;
  if (next) t.Skip(1);
  bool found = false, interrupted = false;
  std::string text;
  while (HasCurrentRecord(&t)) {
    // Waiting messages go through now and then (every record would slow the walk down).
    progress.ProgressStep(count, (count & 0xFF) == 0);
    ++count;
    text.clear();
    for (int f : fields) {
      text += t.GetField(f);
      text += kFieldSeparator;
    }
    if (FindFolded(words, text)) {
      found = true;
      break;
    }
    if (gui::GetKeyState(gui::VK_ESCAPE) < 0) {
      interrupted = true;
      break;
    }
    t.Skip(1);
  }
  gui::SetArrowCursor();
  if (found) {
    LocateCode(SliceOf(t.GetField(1), 1, kChartCodeWidth));
    return;
  }
  const std::string caption = LoadStr(file_->searchCaption);
  const std::string message = interrupted ? std::string(LoadStr(kMsgSearchInterrupted))
                                          : FillPlaceholder(LoadStr(kMsgWordsNotFound), BrowseSearchText);
  gui::MessageBox(this, message, caption, gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

// ---- report ------------------------------------------------------------------------------------------------------

bool ChartList::PrepareReport() {
  // In name order the report has no code range.
  if (!CodeOrder()) LimitFrom.clear(), LimitTo.clear();
  if (!report_->Prepare(ReportFields(), LimitFrom, LimitTo, ListTypeLetter)) return false;
  LineTypeText = "A";
  ListLineCount = 0;
  return true;
}

void ChartList::ComputeLine() {
  report_->ComputeLine(ReportFields());
  ++ListLineCount;
}

bool ChartList::NextRecord() {
  const bool more = report_->Next();
  if (!more) LineTypeText = "Z";
  return more;
}

void ChartList::ClassifyLine() { LineTypeText = "S"; }

// ---- commands ----------------------------------------------------------------------------------------------------

const gui::ResponseTable& ChartList::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = WithCopiesBetweenDossiers(&CMDIBrowse::Table())
                                              .Command(child_command::TriParCode, &ChartList::CmTriParCode)
                                              .Command(child_command::TriParNom, &ChartList::CmTriParNom)
                                              .Command(Chercher, &ChartList::CmChercher)
                                              .Command(ChercherEncore, &ChartList::CmChercherEncore)
                                              .Command(Nouveau, &ChartList::CmCreer)
                                              .Command(Annuler, &ChartList::CmAnnuler)
                                              .Command(Reactiver, &ChartList::CmReactiver)
                                              .Command(Modifier, &ChartList::CmModifier)
                                              .Command(Texte, &ChartList::CmTexte)
                                              .Command(ReCaler, &ChartList::CmReCaler)
                                              .Enable(child_command::TriParCode, &ChartList::CeTriParCode)
                                              .Enable(child_command::TriParNom, &ChartList::CeTriParNom)
                                              .Enable(Chercher, &ChartList::CeChercher)
                                              .Enable(ChercherEncore, &ChartList::CeChercherEncore)
                                              .Enable(Nouveau, &ChartList::CeCreer)
                                              .Enable(Annuler, &ChartList::CeAnnulerFiche)
                                              .Enable(Modifier, &ChartList::CeModifierFiche);
  return table;
}

void ChartList::CeTriParCode(gui::CommandEnabler& ce) { ce.Enable(!Busy() && !CodeOrder() && !PartnerOpen()); }
void ChartList::CeTriParNom(gui::CommandEnabler& ce) { ce.Enable(!Busy() && CodeOrder() && !PartnerOpen()); }
void ChartList::CeChercher(gui::CommandEnabler& ce) {
  ce.Enable(CodeOrder() && !Busy() && GetSelectedRowIndex() != 0 && Store().totalRows > 0);
}
void ChartList::CeChercherEncore(gui::CommandEnabler& ce) {
  ce.Enable(CodeOrder() && !Busy() && GetSelectedRowIndex() != 0 && Store().totalRows > 0 && !IsBlank(BrowseSearchText));
}
void ChartList::CeCreer(gui::CommandEnabler& ce) { ce.Enable(!Busy() && CodeOrder() && HasAccessRight(rightsFunction, 2)); }
void ChartList::CeModifierFiche(gui::CommandEnabler& ce) {
  if (!CodeOrder()) {
    ce.Enable(false);
    return;
  }
  CeModifier(ce);
}
void ChartList::CeAnnulerFiche(gui::CommandEnabler& ce) {
  if (!SelectedCancellable()) {
    ce.Enable(false);
    return;
  }
  CeAnnuler(ce);
}

bool ChartList::SelectedCancellable() {
  const int i = GetSelectedRowIndex();
  const long recno = i != 0 ? Store().RecordNumberOf(i - 1) : 0;
  ::Table& t = *LookupCursor();
  if (recno == 0 || !t.isOpen || !t.GoToRecord(recno).IsFound() || !LiveOrSaid(t).IsFound()) return false;
  const bool eurosOnly = file_->Accounts() && ConstantIs(kEuroOnlyConstant039, 'O');
  return AmountsAllowCancel(t, *file_, eurosOnly);
}

void ChartList::CmAnnuler() {
  if (Busy() || !HasAccessRight(rightsFunction, 4)) return;
  const int i = GetSelectedRowIndex();
  if (!SelectedCancellable() || PositionOnSelectedRow(0) == 0) {
    gui::MessageBeep(0);
    return;
  }
  ::Table& t = *Cursor();
  const std::string text = Trimmed(SelectedCode());
  if (!t.DeleteRecord(text.c_str(), 0)) return;
  UnlockRecord(t);
  ReloadRow(Store().rows, i - 1, static_cast<long>(t.recordNumber));
  RepaintRow(i);
}

void ChartList::CmReactiver() {
  if (Busy() || !HasAccessRight(rightsFunction, 4)) return;
  const int i = GetSelectedRowIndex();
  const long recno = PositionOnSelectedRow(0);
  ::Table& t = *Cursor();
  const Lookup live = recno == 0 ? Lookup::Found() : LiveOrSaid(t);
  if (live.IsRefused()) return;
  if (live.IsFound()) {
    gui::MessageBeep(0);
    return;
  }
  if (!t.RecallRecord(Trimmed(SelectedCode()).c_str(), 0)) return;
  UnlockRecord(t);
  ReloadRow(Store().rows, i - 1, recno);
  RepaintRow(i);
}

bool ChartList::LockSelectedForForm() {
  ::Table* t = ProgramTable();
  const long recno = PositionOnSelectedRow(1);
  if (recno == 0 || t == nullptr || t->recordNumber != static_cast<std::uint32_t>(recno) || !LiveOrSaid(*t).IsFound() ||
      !LockRecord(*t, Trimmed(SelectedCode()).c_str(), 0)) {
    gui::MessageBeep(0);
    return false;
  }
  return true;
}

void ChartList::CmModifier() {
  if (Busy() || !CodeOrder() || !HasAccessRight(rightsFunction, 3)) {
    gui::MessageBeep(0);
    return;
  }
  if (!LockSelectedForForm()) return;
  const std::uint32_t recno = ProgramTable()->recordNumber;
  const std::string code = SelectedCode();
  OpenPartnerForm(code, partnerSlot, kind_->command, 0);
  const bool formOnIt = RegistryChar(partnerSlot) == '1' && RegistryText(partnerSlot + 11, keyWidth) == code;
  if (!formOnIt && RegistryChar(ownSlot) != '2') ReleaseUnusedLock(ProgramTable(), recno, kind_->formLockEntry);
}

void ChartList::CmTexte() {
  if (Busy() || !CodeOrder() || !HasAccessRight(rightsFunction, 3)) {
    gui::MessageBeep(0);
    return;
  }
  if (!LockSelectedForForm()) return;
  ::Table* t = ProgramTable();
  const std::uint32_t recno = t->recordNumber;
  OpenRecordTextFromList(kindLetter, GetSelectedRowIndex());
  if (EditorLock.table != t || EditorLock.record != recno) ReleaseUnusedLock(t, recno, kind_->formLockEntry);
}

void ChartList::ShowNewRecord(const std::string& code) {
  Store().totalRows = static_cast<long>(Cursor()->RecCount());
  RebuildBreakList();
  ShowRowCount();
  if (LocateCode(code)) gui::PostCommand(GetHandle(), browse_cmd::Modifier);
  Repaint();
}

void ChartList::CmCreer() {
  if (Busy() || !CodeOrder() || !HasAccessRight(rightsFunction, 2)) return;
  std::string code(kChartCodeWidth, ' ');
  std::string from(kChartCodeWidth, ' ');
  TDDonNouv dialog(this, &code, kindLetter, TDDonNouv::kCodesDialog, &from);
  const ChartFile* file = file_;
  ::Table* program = ProgramTable();
  ::Table* models = LookupCursor();
  dialog.SetCreator([file, program, models](const std::string& c, const std::string& f) {
    return CreateChartRecord(*program, *models, *file, c, f);
  });
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  ShowNewRecord(code);
}

// ---- a code left in the registry ("ReCaler") ----------------------------------------------------------------------

void ChartList::CmReCaler() {
  if (ownSlot <= 0 || keyWidth <= 0) return;
  // The list opened in another order than its option now asks: it opens again in the option's order.
  if (order_ != (ProgramOption(file_->orderOption) == 'C' ? 'C' : 'N')) {
    CloseAndReopen(ReopenState(RegistryText(ownSlot + 11, keyWidth)), CodeOrder() ? 'N' : 'C');
    return;
  }
  const std::string key = RTrim(RegistryText(ownSlot + 11, keyWidth).c_str());
  if (file_->Accounts()) ReCalerAccounts(key);
  else ReCalerSections(key);
}

void ChartList::ReCalerAccounts(std::string key) {
  // A key beginning with "0" stays stored and is not looked for; a blank one is nothing.
  if (key.empty() || key[0] == '0') return;
  ActivateBrowse();
  if (LocateCode(key) || !ProposeAccountCreation(key) || !HasAccessRight(rightsFunction, 2)) {
    // Without the create right a code is only looked for.
    SetRegistryText(ownSlot + 11, keyWidth, "");
    return;
  }
  if (!IsAuxiliaryCode(key)) key = AccountKey(key);
  gui::MessageBeep(0);
  const bool offered = ((key[0] >= '0' && key[0] <= '9') || IsAuxiliaryCode(key)) &&
                       key.find(HelpCharacter()) == std::string::npos;
  // The collective of an auxiliary account: one not read is said, and no account is offered without it.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
  const Lookup collective = IsAuxiliaryCode(key) ? SeekLiveCode(*TableC10, 'B', key.substr(0, 1), 1) : Lookup::Found();
  if (collective.IsRefused()) {
    gui::MessageBox(this, CodeUnreadText(key, reading.Reason(0, TableC10->tablePath, collective.result())),
                    LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
  } else if (collective.IsNotFound()) {
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgNoCollective), key.substr(0, 1)), LoadStr(kCaptionWarning),
                    gui::MB_OK | gui::MB_ICONHAND);
  } else if (offered) {
    const std::string question = FillPlaceholders(LoadStr(kMsgCreateTypedCode), {CodeLabelForType("2"), key});
    if (gui::MessageBox(this, question, LoadStr(kCaptionWarning), gui::MB_YESNO | gui::MB_ICONQUESTION) == gui::IDYES) {
      const CreateResult made = CreateChartRecord(*ProgramTable(), *LookupCursor(), *file_, key, "");
      if (made.outcome == CreateOutcome::Created) ShowNewRecord(key);
      else if (made.outcome == CreateOutcome::Exists) LocateCode(key);
      else if (!made.refusal.empty())
        gui::MessageBox(this, made.refusal, LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
    } else {
      // No: the nearest account, the code cut one character at a time.
      for (std::string cut = RTrim(key.c_str()); !cut.empty(); cut.pop_back())
        if (LocateRowByKey(Cursor(), cut, 1, 1, 1)) break;
    }
  }
  SetRegistryText(ownSlot + 11, keyWidth, "");
}

void ChartList::ReCalerSections(const std::string& key) {
  if (key.empty()) return;
  ActivateBrowse();
  if (!LocateCode(key)) {
    gui::MessageBeep(0);
    const bool offered = ((key[0] >= '0' && key[0] <= '9') || IsAuxiliaryCode(key)) &&
                         key.find(HelpCharacter()) == std::string::npos;
    // Creating needs the create right, as "Créer" does; without it the code is only looked for.
    if (offered && HasAccessRight(rightsFunction, 2)) {
      const std::string question = FillPlaceholders(LoadStr(kMsgCreateTypedCode), {CodeLabelForType("3"), key});
      if (gui::MessageBox(this, question, LoadStr(kCaptionWarning), gui::MB_YESNO | gui::MB_ICONQUESTION) ==
          gui::IDYES) {
        const CreateResult made = CreateChartRecord(*ProgramTable(), *LookupCursor(), *file_, key, "");
        if (made.outcome == CreateOutcome::Created) ShowNewRecord(key);
        else if (made.outcome == CreateOutcome::Exists) LocateCode(key);
        else if (!made.refusal.empty())
          gui::MessageBox(this, made.refusal, LoadStr(kCaptionWarning), gui::MB_OK | gui::MB_ICONSTOP);
      }
    }
  }
  SetRegistryText(ownSlot + 11, keyWidth, "");
}

// ---- factory -----------------------------------------------------------------------------------------------------

ChartList* MakeChartList(gui::MDIClient* parent, char kind) {
  if (FindChartFile(kind) == nullptr) return nullptr;
  const BrowseColumnTable columns = ChartList::ColumnsOf(kind);
  const std::string title = ChartListTitle(kind);
  if (kind == '2') return new TWDonBroPlanComptable(parent, title, &columns);
  return new TWDonBroSectionsAnal(parent, title, &columns);
}
