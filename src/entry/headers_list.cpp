#include "entry/headers_list.h"

#include <optional>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/index_recovery.h"
#include "data/session.h"
#include "data/table.h"
#include "posting/entry_state.h"
#include "posting/journal_lines.h"
#include "posting/journal_month.h"
#include "entry/entry_commands.h"
#include "entry/new_journal_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"


namespace {

constexpr char kHeaderKind = 'C';
constexpr int kCodeWidth = 8;
constexpr int kEntryRights = 13;
constexpr const char* kTag = "C10CODE";
// "Saisir" on a validated journal-month: it names the journal and the month, under "ATTENTION".
constexpr int kValidatedMonth = 30800;
constexpr int kTitleAttention = 52;
constexpr int kTitleHeadersList = 119;          // "Journaux saisis", as the lists of the headers' kind say it
constexpr int kMsgJournalToReactivate = 16006;  // the journal's code
constexpr int kMsgHeaderMissing = 16007;        // the journal's code, the month
constexpr int kMsgHeaderHeld = 16003;
constexpr int kContextHeaderLock = 2203;        // the engine's box of a header lock that failed otherwise
constexpr int kMsgMonthHoldsLines = 16005;
// "Saisir" whose journal or header, and the new journal-month whose journal or header, the disk would
// not read; the new journal-month whose header it would not write (the journal, the month, the file and
// the error).
constexpr int kMsgEntryUnread = 38150;
constexpr int kMsgHeaderUnread = 38151;
constexpr int kMsgHeaderUnwritten = 38152;
constexpr int kColumnMonth = 23000, kColumnJournal = 23001, kColumnName = 23002, kColumnState = 23003;
constexpr int kColumnDebit = 66, kColumnCredit = 67;
constexpr int kLabelDraft = 16001, kLabelValidated = 16002;

// Declared column numbers.
enum Column { kMarker = 1, kCode, kMonth, kJournal, kName, kState, kDebit, kCredit, kColumnCount = kCredit };

bool OpenOnC10(::Table* t) { return t != nullptr && t->OpenShared(PathC10(), kTag); }

void Refuse(gui::Window* owner, int message) {
  gui::MessageBeep(0);
  gui::MessageBox(owner, LoadStr(message), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
}

// "Saisir" on `journalMonth` stopped by a read the disk refused while `reading` watched: said in one
// sentence, the watch ended first. False.
bool SayEntryUnread(gui::Window* owner, const std::string& journalMonth, std::optional<RefusalWatch>& reading,
                    const std::string& file) {
  const std::string text = FillPlaceholders(
      LoadStr(kMsgEntryUnread),
      {posting::JournalOf(journalMonth), posting::MonthDisplay(journalMonth), reading->Reason(0, file, 0)});
  reading.reset();
  gui::MessageBeep(0);
  gui::MessageBox(owner, text, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
  return false;
}

const BrowseColumnTable& HeaderColumns() {
  static const BrowseColumnTable columns = TWSaiBroEntJournaux::DeclaredColumns();
  return columns;
}

}  // namespace

bool TakeJournalMonthLock(gui::Window* owner, ::Table& c10, const std::string& recordText) {
  return TakeJournalMonthLock(owner, c10, recordText, TryLockRecord(c10));
}

bool TakeJournalMonthLock(gui::Window* owner, ::Table& c10, const std::string& recordText, RecordLockRefusal tried) {
  switch (tried) {
    case RecordLockRefusal::kNone:
      return true;
    case RecordLockRefusal::kOtherStation:
      Refuse(owner, kMsgHeaderHeld);
      return false;
    case RecordLockRefusal::kThisStation:
      // Another window of this program holds it: the lock notice says so (and takes it when it was let go).
      return LockRecord(c10, recordText.c_str(), 0);
    case RecordLockRefusal::kFailed:
      break;
  }
  ReportDbError(c10, kContextHeaderLock);
  return false;
}

bool RequestJournalEntry(gui::Window* owner, const std::string& journalMonth) {
  // The entry itself (right 1 of "Saisie d'Ecritures"), then the right to modify its journals.
  if (!posting::EnsureGeneralFile() || !HasAccessRight(kEntryRights, 1) || !HasAccessRight(kEntryRights, 3)) {
    gui::MessageBeep(0);
    return false;
  }
  Table& c10 = *TableC10;
  const std::string journal = posting::JournalOf(journalMonth);
  // The journal and its header read watched: a read the disk refused is no journal missing nor
  // cancelled, and no header missing; it is said in one sentence, the engine's box held back.
  std::optional<RefusalWatch> reading(std::in_place, RefusalWatch::EngineBoxes::kHeld);
  auto unread = [&] { return SayEntryUnread(owner, journalMonth, reading, c10.tablePath); };
  const posting::JournalRecord j = posting::ReadJournal(c10, journal);
  // A look-up the index refused is kept by the watch as the disk's refusals are.
  if (j.refused) RefusalWatch::NoteEngineReadRefusal(c10.tablePath, c10.result);
  if (reading->ReadRefused() || j.refused) return unread();
  if (!j.found || j.cancelled) {
    gui::MessageBeep(0);
    gui::MessageBox(owner, FillPlaceholder(LoadStr(kMsgJournalToReactivate), journal), LoadStr(kTitleAttention),
                    gui::MB_OK | gui::MB_ICONSTOP);
    return false;
  }
  // The draft header itself, sought with its source letter: a closed one is never taken for it.
  const Lookup draft = posting::FindHeader(c10, journalMonth, posting::kDraftSource);
  if (draft.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c10.tablePath, draft.result());
  const bool header = draft.IsFound() && LiveOrNoted(c10).IsFound();
  if (reading->ReadRefused() || draft.IsRefused()) return unread();
  if (!header) {
    reading.reset();
    gui::MessageBeep(0);
    gui::MessageBox(owner,
                    FillPlaceholders(LoadStr(kMsgHeaderMissing), {journal, posting::MonthDisplay(journalMonth)}),
                    LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return false;
  }
  // The header's lock, its record read again under it: a read refused there is said as the others. A
  // lock this cursor holds already (the journal-month is in entry here) is granted again.
  const RecordLockRefusal tried = TryLockRecord(c10);
  if (tried == RecordLockRefusal::kFailed && reading->ReadRefused()) return unread();
  reading.reset();
  if (!TakeJournalMonthLock(owner, c10, c10.RecordToText(2), tried)) return false;
  SetRegistryText(posting::kPendingKeyPosition, posting::kJournalMonthKeyLength, journalMonth);
  SetRegistryText(posting::kHeadersListFlag, 1, "2");
  gui::PostCommand(MainWindowHandle, command_id::SaisieEcritures);
  return true;
}

TWSaiBroEntJournaux::TWSaiBroEntJournaux(gui::MDIClient* parent)
    : TWFichiersC10(parent, LoadStr(kTitleHeadersList), &HeaderColumns(), posting::kHeadersListFlag,
                    posting::kHeadersListSlotLength, 0) {
  kindLetter = std::string(1, kHeaderKind);
  keyWidth = kCodeWidth;
  rightsFunction = kEntryRights;
  listName = "TWSaiBroEntJournaux";
  toolbarCommands = {5,
                     child_command::Quitter,
                     child_command::Modifier,
                     child_command::Nouveau,
                     child_command::Annuler,
                     child_command::Reactiver};
  codeIndex = BrowseCodeIndex{Cursor(), kTag, kindLetter, 2};
  opened_ = OpenOnC10(Cursor()) && posting::EnsureGeneralFile();
  if (opened_) Count();
}

BrowseColumnTable TWSaiBroEntJournaux::DeclaredColumns() {
  BrowseColumnTable t = MakeColumnTable(kColumnCount, 2);
  DefineColumn(t, kMarker, 2, "", 'C', 'C', 0, 0, 0);
  // The header's code (month, journal, source), the list's key: kept in the row, not shown.
  DefineColumn(t, kCode, 0, "GCODE", 'C', 'G', 2, 1, kCodeWidth);
  DefineColumn(t, kMonth, 7, LoadStr(kColumnMonth), 'C', 'C', 2, 1, 5);
  DefineColumn(t, kJournal, 8, LoadStr(kColumnJournal), 'C', 'G', 2, 5, 3);
  DefineColumn(t, kName, 30, LoadStr(kColumnName), 'C', 'G', 3, 1, 30);
  DefineColumn(t, kState, 11, LoadStr(kColumnState), 'C', 'G', 2, 8, 10);
  DefineColumn(t, kDebit, 18, LoadStr(kColumnDebit), 'C', 'D', 4, 1, 17);
  DefineColumn(t, kCredit, 18, LoadStr(kColumnCredit), 'C', 'D', 4, 15, 17);
  return t;
}

void TWSaiBroEntJournaux::Count() {
  ::Table& t = *Cursor();
  long n = static_cast<long>(CountIndexEntries(t, kTag, 1, kindLetter.c_str()));
  if (n == 0)
    for (bool more = t.Find(kTag, kindLetter.c_str()).IsFound() && OnHeader(t); more; more = t.Skip(1) && OnHeader(t)) ++n;
  Store().totalRows = n;
}

void TWSaiBroEntJournaux::SetupWindow() {
  // The code-list base wants a kind of the "Données" menu: the list sets itself up as a list.
  CMDIBrowse::SetupWindow();
  if (!opened_) {
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  if (Store().totalRows > 0 && Store().selected == 0) Store().selected = 1;
}

// ---- data source ------------------------------------------------------------------------------

bool TWSaiBroEntJournaux::OnHeader(::Table& t) {
  return t.isOpen && !t.bof && !t.eof && t.recordNumber != 0 && t.GetField(1)[0] == kHeaderKind;
}

bool TWSaiBroEntJournaux::HasCurrentRecord(::Table* table) { return table != nullptr && OnHeader(*table); }

void TWSaiBroEntJournaux::Row(BrowseRows& rows, int i) {
  ::Table& t = *Cursor();
  BuildRowText(rows, i, static_cast<long>(t.recordNumber), !t.LiveHere().FoundOrNone());
}

void TWSaiBroEntJournaux::ReloadRow(BrowseRows& rows, int i, long recno) {
  if (Cursor()->isOpen && Cursor()->GoToRecord(recno).IsFound()) Row(rows, i);
}

void TWSaiBroEntJournaux::FillRowsForward(BrowseRows& rows, int first, int count, long recno) {
  ::Table& t = *Cursor();
  if (!t.isOpen) return;
  if (recno != 0 && t.GoToRecord(recno).IsFound()) t.Skip(1);
  for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) {
    if (!OnHeader(t)) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    Row(rows, i);
    t.Skip(1);
  }
}

void TWSaiBroEntJournaux::FillRowsFromFirst(BrowseRows& rows, int first, int count) {
  ::Table& t = *Cursor();
  if (!t.isOpen || !t.Find(kTag, kindLetter.c_str()).IsFound()) {
    for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) rows[static_cast<std::size_t>(i)].clear();
    return;
  }
  FillRowsForward(rows, first, count, 0);
}

void TWSaiBroEntJournaux::FillRowsFromLast(BrowseRows& rows, int last, int count) {
  if (Store().totalRows < count) return FillRowsFromFirst(rows, last - count + 1, count);
  ::Table& t = *Cursor();
  if (!t.isOpen) return;
  // The last header: one step back from the first key of the next kind letter.
  const std::string next(1, static_cast<char>(kHeaderKind + 1));
  const Lookup past = t.FindNotBelow(kTag, next.c_str());
  // Not read, the rows are not filled from another place of the table.
  if (past.IsRefused()) return FillRowsFromFirst(rows, last - count + 1, count);
  if (past.IsNotFound() || t.eof) t.GoBottom(kTag);
  else t.Skip(-1);
  for (int i = last; i > last - count; --i) {
    if (i < 0 || i >= static_cast<int>(rows.size())) continue;
    if (!OnHeader(t)) {
      for (int j = i; j > last - count; --j)
        if (j >= 0 && j < static_cast<int>(rows.size())) rows[static_cast<std::size_t>(j)].clear();
      return;
    }
    Row(rows, i);
    t.Skip(-1);
  }
}

std::string TWSaiBroEntJournaux::GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) {
  ::Table& t = *Cursor();
  const int declared = static_cast<int>(CMDIBrowse::Columns()[static_cast<std::size_t>(column)].declared);
  const std::string code = std::string(t.GetField(2)).substr(0, kCodeWidth);
  switch (declared) {
    case kMonth: return posting::MonthDisplay(code.substr(0, 4));
    case kState: {
      std::string state = code[7] == posting::kClosedSource ? LoadStr(kLabelValidated) : LoadStr(kLabelDraft);
      state.resize(length, ' ');
      return state;
    }
    case kDebit:
    case kCredit: {
      // The main currency: francs in field 4 when the franc is the main currency, else euros in field 5.
      const posting::HeaderTotals h = posting::ReadHeaderTotals(t);
      const bool euros = TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N';
      const long long cents = declared == kDebit ? (euros ? h.debitE : h.debitF) : (euros ? h.creditE : h.creditF);
      // A total of 14 characters grouped whole takes 17 at most ("-9 999 999 999.99").
      return cents == 0 ? std::string(length, ' ') : GroupedAmount(cents, static_cast<int>(length));
    }
    default: {
      std::string text = t.GetField(field);
      text = start >= 1 && start <= text.size() ? text.substr(start - 1, length) : std::string();
      text.resize(length, ' ');
      return text;
    }
  }
}

void TWSaiBroEntJournaux::PositionOnRecord(long recno, int flag) {
  ::Table* t = flag != 0 ? TableC10 : Cursor();
  if (t != nullptr && t->isOpen) t->GoToRecord(recno);
}

void TWSaiBroEntJournaux::SkipRecords(long count) {
  if (Cursor()->isOpen) Cursor()->Skip(count);
}

bool TWSaiBroEntJournaux::SeekTypedKey(char c) {
  if (c == 0) return false;
  if (LocateRowByKey(Cursor(), TypeAheadChar(c), 1, 1, 2)) return true;
  gui::MessageBeep(0);
  ClearTypeAhead();
  return false;
}

bool TWSaiBroEntJournaux::LocateCode(const std::string& code) { return ShowCode(code); }

std::string TWSaiBroEntJournaux::SelectedCode() {
  const std::string code = GetSelectedRowText();
  return IsBlank(code) ? std::string() : code;
}

// ---- commands ---------------------------------------------------------------------------------

// A journal-month header holds the totals of the lines behind it: it is never copied alone from or to another
// dossier, so the code lists' copies between dossiers are greyed here (and refused however they are started).
const gui::ResponseTable& TWSaiBroEntJournaux::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table = gui::ResponseTable(&TWFichiersC10::Table())
                                              .Command(Modifier, &TWSaiBroEntJournaux::CmSaisir)
                                              .Command(Nouveau, &TWSaiBroEntJournaux::CmCreer)
                                              .Command(Annuler, &TWSaiBroEntJournaux::CmAnnuler)
                                              .Command(Reactiver, &TWSaiBroEntJournaux::CmReactiver)
                                              .Enable(Modifier, &TWSaiBroEntJournaux::CeSaisir)
                                              .Enable(Nouveau, &TWSaiBroEntJournaux::CeCreer)
                                              .Enable(AjouterDepuis, &TWSaiBroEntJournaux::CeNever)
                                              .Enable(AjouterVers, &TWSaiBroEntJournaux::CeNever);
  return table;
}

void TWSaiBroEntJournaux::CeSaisir(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && HasAccessRight(rightsFunction, 3) && GetSelectedRowIndex() != 0);
}

void TWSaiBroEntJournaux::CeCreer(gui::CommandEnabler& ce) { ce.Enable(!Busy() && HasAccessRight(rightsFunction, 2)); }

void TWSaiBroEntJournaux::EvKeyDown(int vk, unsigned repeat, unsigned flags) {
  if (vk == gui::VK_RETURN) {
    gui::PostCommand(GetHandle(), browse_cmd::Modifier);
    return;
  }
  TWFichiersC10::EvKeyDown(vk, repeat, flags);
}

void TWSaiBroEntJournaux::CmSaisir() {
  if (Busy() || !HasAccessRight(rightsFunction, 3)) return;
  const std::string code = SelectedCode();
  // The selected header read watched: a read the disk refused is said, never taken for a cancelled one.
  std::optional<RefusalWatch> reading(std::in_place, RefusalWatch::EngineBoxes::kHeld);
  const long recno = code.empty() ? 0 : PositionOnSelectedRow(0);
  const bool cancelled = recno != 0 && LiveOrNoted(*Cursor()).IsNotFound();
  if (reading->ReadRefused()) {
    SayEntryUnread(this, code.substr(0, posting::kJournalMonthKeyLength), reading, Cursor()->tablePath);
    return;
  }
  reading.reset();
  if (recno == 0) {
    gui::MessageBeep(0);
    return;
  }
  // A validated journal-month is closed to entry: the user is told so. A cancelled header is not entered either.
  if (code[7] != posting::kDraftSource) {
    const std::string journalMonth = code.substr(0, posting::kJournalMonthKeyLength);
    gui::MessageBeep(0);
    gui::MessageBox(this,
                    FillPlaceholders(LoadStr(kValidatedMonth),
                                     {posting::JournalOf(journalMonth), posting::MonthDisplay(journalMonth)}),
                    LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONINFORMATION);
    return;
  }
  if (cancelled) {
    gui::MessageBeep(0);
    return;
  }
  RequestJournalEntry(this, code.substr(0, posting::kJournalMonthKeyLength));
}

void TWSaiBroEntJournaux::CmCreer() {
  if (Busy() || !HasAccessRight(rightsFunction, 2)) return;
  // The month proposed: the selected row's, else the working date's.
  std::string target = SelectedCode();
  if (target.empty()) target = TheDossierRecord.DateStored(DossierRecord::DateField::Working).substr(0, 4);
  target.resize(kCiblePieceLength, ' ');
  TDNouveauJournal dialog(this, &target, false, TDNouveauJournal::kNewJournal, true, false);
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  const std::string journalMonth = target.substr(0, posting::kJournalMonthKeyLength);
  // The journal and the header read and the header written watched: a refusal is said in one
  // sentence, the engine's box held back.
  std::optional<RefusalWatch> making(std::in_place, RefusalWatch::EngineBoxes::kRefusalsHeld);
  const posting::HeaderCreation made = posting::EnsureDraftHeader(*TableC10, journalMonth);
  if (made == posting::HeaderCreation::Failed && making->HasReason() && making->RefusedResult() != 0) {
    const int said = making->ReadRefused() ? kMsgHeaderUnread : kMsgHeaderUnwritten;
    const std::string text = FillPlaceholders(LoadStr(said), {posting::JournalOf(journalMonth),
                                                              posting::MonthDisplay(journalMonth),
                                                              making->Reason(0, TableC10->tablePath, 0)});
    making.reset();
    gui::MessageBeep(0);
    gui::MessageBox(this, text, LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  making.reset();
  if (made == posting::HeaderCreation::NoJournal) {
    gui::MessageBeep(0);
    gui::MessageBox(this, FillPlaceholder(LoadStr(kMsgJournalToReactivate), posting::JournalOf(journalMonth)),
                    LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
    return;
  }
  if (made == posting::HeaderCreation::Failed) {
    gui::MessageBeep(0);
    return;
  }
  if (made == posting::HeaderCreation::Created) {
    ++Store().totalRows;
    ShowRowCount();
  }
  const std::string code = journalMonth + posting::kDraftSource;
  if (!LocateCode(code)) CmRafraichirTotal();
  LocateCode(code);
  RequestJournalEntry(this, journalMonth);
}

void TWSaiBroEntJournaux::CmAnnuler() {
  if (Busy() || !HasAccessRight(rightsFunction, 4)) return;
  const int i = GetSelectedRowIndex();
  const std::string code = SelectedCode();
  const long recno = PositionOnSelectedRow(0);
  if (recno == 0 || code.empty()) {
    gui::MessageBeep(0);
    return;
  }
  ::Table& t = *Cursor();
  if (!LiveOrSaid(t).IsFound()) return;
  // A header whose journal-month holds lines names them: it stays. A closed one stays too.
  bool holdsLines = code[7] != posting::kDraftSource;
  if (!holdsLines && TableC50 != nullptr) {
    if (!TableC50->isOpen && !TableC50->UseShared(PathC50(), LigneEcriture::kCodeTag)) {
      // Lines that could not be opened are not counted: the header stays.
      gui::MessageBeep(0);
      gui::MessageBox(this, UnreadText(PathC50(), TableC50->result), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
      return;
    }
    {
      bool refused = false;
      holdsLines = posting::CountJournalLines(
                       *TableC50, posting::LinePrefix(code.substr(0, posting::kJournalMonthKeyLength)), &refused) > 0;
      // Lines not counted may be there: the header stays, and the read is said with its file.
      if (refused) {
        gui::MessageBeep(0);
        gui::MessageBox(this, ReadErrorText(TableC50->tablePath), LoadStr(kTitleAttention), gui::MB_OK | gui::MB_ICONSTOP);
        return;
      }
    }
  }
  if (holdsLines) {
    Refuse(this, kMsgMonthHoldsLines);
    return;
  }
  if (t.DeleteRecord(RTrim(code.c_str()), 0)) UnlockRecord(t);
  ReloadRow(Store().rows, i - 1, recno);
  RepaintRow(i);
}

void TWSaiBroEntJournaux::CmReactiver() {
  if (Busy() || !HasAccessRight(rightsFunction, 4)) return;
  const int i = GetSelectedRowIndex();
  const long recno = PositionOnSelectedRow(0);
  if (recno == 0) {
    gui::MessageBeep(0);
    return;
  }
  ::Table& t = *Cursor();
  if (LiveOrSaid(t).IsNotFound() && t.RecallRecord(RTrim(SelectedCode().c_str()), 0)) UnlockRecord(t);
  ReloadRow(Store().rows, i - 1, recno);
  RepaintRow(i);
}
