#include "account_totals.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

#include "data/collective_account.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/locks.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_results.h"
#include "data/unread_amounts.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kLabelCreatedHeader = 184;
constexpr int kLogHeaderTotalTooLarge = 22001;
constexpr int kMsgHeaderTotalTooLarge = 22003;
constexpr int kCaptionAttention = 52;
constexpr int kLogAccountBlank = 22005;
constexpr int kLabelCreatedAccount = 181;
constexpr int kLabelCreatedCollective = 182;
constexpr int kCollectiveFillerDigit = 1109;
constexpr int kLogCollectiveBlank = 22006;
constexpr int kLabelCreatedCollectiveAccount = 183;
constexpr int kLabelCreatedSection = 185;

constexpr int kCodeLength = 8;
constexpr int kHeaderTotalWidth = 14;
constexpr int kContextSave = 2010;
constexpr int kContextInsert = 2201;

// Fields of a debit/credit pair in each currency.
struct TotalFields {
  int debit1, credit1, debit2, credit2;
};
constexpr TotalFields kAccountTotals{17, 19, 18, 20};
constexpr TotalFields kSectionTotals{9, 11, 10, 12};

std::string Cut(const char* text, std::size_t n) {
  std::string s = text == nullptr ? "" : text;
  if (s.size() > n) s.resize(n);
  return s;
}

std::string BlankPadded(std::string s, int width) {
  if (width > 0 && s.size() < static_cast<std::size_t>(width)) s.append(width - s.size(), ' ');
  return s;
}

void LogRefused(const char* process, const std::string& what, const std::string& operation, double amount1,
                double amount2) {
  WriteLog(std::string(process) + " - Erreur: " + what + " - " + Cut(operation.c_str(), 2) + " " +
           AmountDigits(amount1) + " / " + AmountDigits(amount2));
}

// The record lock of a totals write, waited for; a refusal (no current record, a damaged
// file) is reported and the caller writes nothing.
bool LockForTotals(Table& table, const std::string& text) {
  if (LockRecord(table, text.c_str(), 1)) return true;
  ReportDbError(table, kContextSave, text.c_str());
  return false;
}

const void* ValuePointer(const double& value) { return &value; }
const void* ValuePointer(const std::string& text) { return text.c_str(); }

// Puts the fields into the record buffer, then writes the record once (the lock is kept):
// the record is never seen with half of its totals moved. False when the engine refused it
// (reported).
template <typename Value>
bool WriteFields(Table& table, std::initializer_list<std::pair<int, Value>> values) {
  for (const auto& [field, value] : values) {
    table.result = dbase::DbiPutField(table.Engine().cursor, static_cast<std::uint16_t>(field), table.recordBuffer.data(),
                                      ValuePointer(value));
    if (table.result != dbase::DBIERR_NONE) {
      ReportDbError(table, kContextSave, "");
      return false;
    }
  }
  if (tablelayer::ModifyCurrentRecord(table) == dbase::DBIERR_NONE) return true;
  ReportDbError(table, kContextSave, "");
  return false;
}
bool SaveChanges(Table& table) {
  table.result = dbase::DbiSaveChanges(table.Engine().cursor);
  if (table.result == dbase::DBIERR_NONE) return true;
  ReportDbError(table, kContextSave, "");
  return false;
}

// The current header of `general`, locked, brought back empty when it was found deleted: the
// rebuild deletes the headers of the journal-months without a line, which stay until a pack, and
// totals moved into one would count nowhere. Emptied first, then recalled, as the rebuild brings
// one back. False when either write was refused, or the record could not be read (reported):
// a header that could not be read is not taken for a deleted one, and nothing is written to it.
bool RecallEmptied(Table& general) {
  const Lookup live = general.LiveHere();
  if (live.IsRefused()) {
    ReportDbError(general, kContextSave, "");
    return false;
  }
  if (live.IsFound()) return true;
  if (!WriteFields<std::string>(general, {{4, std::string()}, {5, std::string()}})) return false;
  if (general.RecallRecord(general.RecordToText(2), 0)) return true;
  ReportDbError(general, kContextSave, "");
  return false;
}

// The header's lock let go once its totals moved, unless this cursor held it before (a command
// that keeps the header while it works), its journal-month is in entry in this program, or the
// table is held alone.
void ReleaseHeaderLock(Table& general, bool heldBefore) {
  const std::string journalMonth = Cut(general.GetField(2), 7);
  if (!heldBefore && !IsJournalInEntry(journalMonth.c_str()) && general.shareMode != dbase::dbiOPENEXCL)
    dbase::DbiRelRecordLock(general.Engine().cursor, false);
}

// The record of `key` made current through `tag`. A look-up the system could not answer (a read
// refused, a damaged index) is reported, as a record not read is at saving: a caller that goes on
// to take it for "not there" has said why.
Lookup FindReported(Table& table, const char* tag, const std::string& key) {
  const Lookup found = table.Find(tag, key.c_str());
  ReportRefusedLookup(table, found, tag, key.c_str());
  return found;
}

// Appends a record with the given fields and saves it; false when the engine refused it.
bool CreateRecord(Table& table, std::initializer_list<std::pair<int, std::string>> fields) {
  if (!table.AppendBlank()) return false;
  bool filled = true;
  for (const auto& [field, text] : fields) filled = table.PutField(field, text.c_str()) && filled;
  // The insert ends the append in every case: a half-filled record must not stay pending.
  const bool inserted = table.InsertRecord();
  return filled && inserted && SaveChanges(table);
}

// The creation lock of a look-up and its insert. A wait that gave up (another station stopped
// while it holds the lock) is reported, and the caller writes nothing: an insert without the
// lock is the duplicate the lock exists to prevent.
bool CreationLockHeld(const CreationLock& creating, Table& table, const std::string& key) {
  if (creating.held()) return true;
  ReportDbError(table, kContextInsert, key.c_str());
  return false;
}

// Seek of a whole code (blank-padded to the key width, so that "CDUPON" never lands on
// "CDUPONT"); a missing record is created and sought again. Another station may be creating
// the same record: it is looked for again, and created, under the table's creation lock. A
// seek that could not read (a read refused, a damaged index) creates nothing: the record may
// well be there.
bool SeekOrCreate(Table& table, const char* tag, const std::string& key,
                  std::initializer_list<std::pair<int, std::string>> fields) {
  const Lookup found = FindReported(table, tag, key);
  if (found.IsFound()) return true;
  if (found.IsRefused()) return false;
  CreationLock creating(table);
  if (!CreationLockHeld(creating, table, key)) return false;
  const Lookup again = FindReported(table, tag, key);
  if (again.IsFound()) return true;
  if (again.IsRefused() || !CreateRecord(table, fields)) return false;
  return FindReported(table, tag, key).IsFound();
}

bool AccountHeldByWindow(Table& table) {
  if (table.recordNumber != 0 && table.recordNumber == FormRecordLocks[kAccountFormLockEntry]) return true;
  if (table.IsLockedByMe()) return true;
  const std::string code = Cut(table.GetField(1), kRegistryHeldAccountWidth);
  return code == RegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth);
}

// A header total: 14 characters read as the reports read them (a text that does not read as a
// number counts as zero); rewritten unless the new value does not fit (or the stored one is
// already the stars of a total that did not), in which case it keeps its text.
bool MoveHeaderTotal(std::string& total, long long cents, bool moved) {
  if (total.find('*') != std::string::npos) return !moved;
  const long long stored = StoredAmountCents(total);
  const double value = FromCents(moved ? stored + cents : stored);
  const std::string text = FormatNumber(kHeaderTotalWidth, 2, false, value);
  if (text.find('*') != std::string::npos) return false;
  total = text;
  return true;
}

// Field 4 or 5 of a header, moved in `text` by `cents` (either sign) on the debit (`onDebit`) or the
// credit: debit at 1-14, credit at 15-28, both rewritten. False when a total kept its last value
// because the new one does not fit.
bool MoveHeaderField(std::string& text, bool onDebit, long long cents) {
  text = BlankPadded(text, 2 * kHeaderTotalWidth);
  std::string debit = text.substr(0, kHeaderTotalWidth);
  std::string credit = text.substr(kHeaderTotalWidth, kHeaderTotalWidth);
  const bool debitOk = MoveHeaderTotal(debit, cents, onDebit);
  const bool creditOk = MoveHeaderTotal(credit, cents, !onDebit);
  text.replace(0, 2 * kHeaderTotalWidth, debit + credit);
  return debitOk && creditOk;
}

// A missing journal-month header, labelled with its journal's name when the journal exists. A
// journal that could not be read makes no header: it would stand under the label of none.
bool CreateHeader(Table& general, const std::string& header, int codeWidth) {
  std::string label = LoadStr(kLabelCreatedHeader);
  const std::string journal = header.size() > 4 ? header.substr(4, 3) : "";
  Lookup named = IsBlank(journal) ? Lookup::NotFound()
                                  : FindReported(general, "C10CODE", "J" + BlankPadded(journal, codeWidth));
  if (named.IsFound()) {
    named = general.LiveHere();
    if (named.IsRefused()) ReportDbError(general, kContextSave, "");
  }
  if (named.IsRefused()) return false;
  if (named.IsFound()) label = TrimmedRight(general.GetField(3));
  return CreateRecord(general, {{1, "C"}, {2, header}, {3, label}});
}

// A header's move refused because a total would not fit: logged, noted as the refusal of the
// change or run at work (which says it in its own box), shown otherwise.
void ReportHeaderOverflow(const Table& general, const std::string& code) {
  WriteLog(FillPlaceholder(LoadStr(kLogHeaderTotalTooLarge), code));
  RefusalWatch::NoteAll(general.tablePath, dbase::DBIERR_MINVALERR);
  if (RefusalWatch::EngineBoxesHeld(dbase::DBIERR_MINVALERR)) return;
  const std::string message = FillPlaceholder(LoadStr(kMsgHeaderTotalTooLarge), code);
  RuntimeBeep();
  RuntimeMessage(LoadStr(kCaptionAttention), message.c_str(), kMbIconExclamation);
}

// The journal-month header of `key` sought, and made (under the creation lock) when it is missing;
// a header the seek could not read may well be there: none is made.
bool SeekOrCreateHeader(Table& general, const std::string& key, const std::string& header, int codeWidth) {
  const Lookup found = FindReported(general, "C10CODE", key);
  if (found.IsFound()) return true;
  if (found.IsRefused()) return false;
  CreationLock creating(general);
  if (!CreationLockHeld(creating, general, key)) return false;
  const Lookup again = FindReported(general, "C10CODE", key);
  if (again.IsRefused() || (again.IsNotFound() && !CreateHeader(general, header, codeWidth))) return false;
  return FindReported(general, "C10CODE", key).IsFound();
}

}  // namespace

namespace {

std::string AccountKey(const std::string& code) { return BlankPadded(Cut(code.c_str(), kCodeLength), kCodeLength); }

std::string HeaderKey(Table& general, const std::string& code) {
  return "C" + BlankPadded(Cut(code.c_str(), kCodeLength), general.isOpen ? general.FieldWidth(2) : 0);
}

TotalsCents TotalsNow(Table& table, const TotalFields& f) {
  TotalsCents t;
  t.debit1 = StoredAmountOf(table, f.debit1);
  t.credit1 = StoredAmountOf(table, f.credit1);
  t.debit2 = StoredAmountOf(table, f.debit2);
  t.credit2 = StoredAmountOf(table, f.credit2);
  return t;
}
TotalsCents AccountTotalsNow(Table& accounts) { return TotalsNow(accounts, kAccountTotals); }

TotalsCents HeaderTotalsNow(Table& general) {
  const std::string first = BlankPadded(general.GetField(4), 2 * kHeaderTotalWidth);
  const std::string second = BlankPadded(general.GetField(5), 2 * kHeaderTotalWidth);
  // A total that does not read is noted with its journal-month, so that a change refused over it
  // names the one to make again.
  auto cents = [&general](const std::string& text, int at) {
    const std::string_view total = std::string_view(text).substr(static_cast<std::size_t>(at), kHeaderTotalWidth);
    if (!ReadableNumberText(total)) {
      const std::string code = PadRight(general.GetField(2), 7);
      NoteUnreadAmount({UnreadableAmountLine::kJournalMonthRecord, general.recordNumber, "",
                        Trimmed(code.substr(4, 3)) + " " + code.substr(2, 2) + "/" +
                            DecodeYear(code.substr(0, 2).c_str())});
      return 0LL;
    }
    return StoredAmountCents(total);
  };
  TotalsCents t;
  t.debit1 = cents(first, 0);
  t.credit1 = cents(first, kHeaderTotalWidth);
  t.debit2 = cents(second, 0);
  t.credit2 = cents(second, kHeaderTotalWidth);
  return t;
}

// Moves the debit or the credit total of a header field by `cents` (either sign); false when the
// total kept its last value.
bool MoveHeaderSide(std::string& text, bool debit, long long cents) {
  return cents == 0 || MoveHeaderField(text, debit, cents);
}

}  // namespace

std::vector<std::string> AccountTotalsCodes(const char* code, bool create, bool* refused) {
  std::vector<std::string> codes;
  if (TableC20 == nullptr || TableC10 == nullptr) return codes;
  Table& accounts = *TableC20;
  Table& general = *TableC10;
  auto notMade = [&] {
    if (refused != nullptr) *refused = true;
    return codes;
  };
  std::string account = Cut(code, kCodeLength);
  if (IsBlank(account)) {
    if (create) LogRefused("MAJCOMPTEC20", LoadStr(kLogAccountBlank), "+D", 0, 0);
    return codes;
  }
  account = NormalizeAccount(account);
  if (create &&
      !SeekOrCreate(accounts, "C20CODE", AccountKey(account), {{1, account}, {2, LoadStr(kLabelCreatedAccount)}}))
    return notMade();
  codes.push_back(account);
  if (account[0] < 'A' || account[0] > 'Z') return codes;
  const std::string letter(1, account[0]);
  const std::string collectiveKey = "B" + BlankPadded(letter, general.isOpen ? general.FieldWidth(2) : 0);
  // The collective record, a cancelled one too (CollectiveAccountOf decides). One not read names
  // no collective: the account its creation would give may not be the one it holds.
  std::string collective;
  if (!create) {
    const Lookup found = FindReported(general, "C10CODE", collectiveKey);
    if (found.IsRefused()) return notMade();
    collective = found.IsFound() ? CollectiveAccountOf(general.GetField(4)) : MadeCollectiveAccount();
    if (!collective.empty()) codes.push_back(collective);
    return codes;
  }
  if (!SeekOrCreate(general, "C10CODE", collectiveKey,
                    {{1, "B"}, {2, letter}, {3, LoadStr(kLabelCreatedCollective)}, {4, MadeCollectiveAccount()}}))
    return notMade();
  collective = CollectiveAccountOf(general.GetField(4));
  if (collective.empty()) {
    LogRefused("MAJCOMPTEC20", FillPlaceholder(LoadStr(kLogCollectiveBlank), account), "+D", 0, 0);
    return codes;
  }
  if (!SeekOrCreate(accounts, "C20CODE", collective, {{1, collective}, {2, LoadStr(kLabelCreatedCollectiveAccount)}}))
    return notMade();
  codes.push_back(collective);
  return codes;
}

namespace {

// The reads of the totals' records, telling a record not there from a look-up refused.
Lookup LookUpAccountRecord(const std::string& code, TotalsCents* now) {
  if (TableC20 == nullptr) return Lookup::NotFound();
  const Lookup found = FindReported(*TableC20, "C20CODE", AccountKey(code));
  if (found.IsFound()) *now = AccountTotalsNow(*TableC20);
  return found;
}

Lookup LookUpHeaderRecord(const std::string& code, TotalsCents* now) {
  if (TableC10 == nullptr) return Lookup::NotFound();
  Lookup found = FindReported(*TableC10, "C10CODE", HeaderKey(*TableC10, code));
  if (found.IsFound()) {
    found = TableC10->LiveHere();
    if (found.IsRefused()) ReportDbError(*TableC10, kContextSave, "");
  }
  if (found.IsFound()) *now = HeaderTotalsNow(*TableC10);
  return found;
}

Lookup LookUpSectionRecord(const std::string& code, TotalsCents* now) {
  if (TableC30 == nullptr) return Lookup::NotFound();
  const Lookup found = FindReported(*TableC30, "C30CODE", AccountKey(code));
  if (found.IsFound()) *now = TotalsNow(*TableC30, kSectionTotals);
  return found;
}

}  // namespace

bool ReadAccountRecord(const std::string& code, TotalsCents* now) { return LookUpAccountRecord(code, now).IsFound(); }

bool ReadHeaderRecord(const std::string& code, TotalsCents* now) { return LookUpHeaderRecord(code, now).IsFound(); }

namespace {

// The four totals of the current record moved by `move` in one write, the record locked; false
// when `before` refused or the write was.
bool MoveRecordTotals(Table& table, const TotalFields& f, const TotalsCents& move, const TotalsBefore& before) {
  const std::string text = table.RecordToText(1);
  if (!LockForTotals(table, text)) return false;
  const TotalsCents now = TotalsNow(table, f);
  const bool go = !before || before(now);
  return go && WriteFields<double>(table, {{f.debit1, FromCents(now.debit1 + move.debit1)},
                                           {f.credit1, FromCents(now.credit1 + move.credit1)},
                                           {f.debit2, FromCents(now.debit2 + move.debit2)},
                                           {f.credit2, FromCents(now.credit2 + move.credit2)}});
}

}  // namespace

bool MoveAccountRecord(const std::string& code, const TotalsCents& move, const TotalsBefore& before) {
  if (TableC20 == nullptr) return false;
  Table& table = *TableC20;
  if (!SeekOrCreate(table, "C20CODE", AccountKey(code), {{1, code}, {2, LoadStr(kLabelCreatedAccount)}})) return false;
  const bool moved = MoveRecordTotals(table, kAccountTotals, move, before);
  if (!AccountHeldByWindow(table)) UnlockRecord(table);
  // A refused write is not forgotten by the saving that follows it.
  const bool saved = SaveChanges(table);
  return moved && saved;
}

bool MoveSectionRecord(const std::string& code, const TotalsCents& move, const TotalsBefore& before) {
  if (TableC30 == nullptr) return false;
  Table& sections = *TableC30;
  const std::string section = Cut(code.c_str(), kCodeLength);
  if (IsBlank(section)) return true;
  if (!SeekOrCreate(sections, "C30CODE", AccountKey(section), {{1, section}, {2, LoadStr(kLabelCreatedSection)}}))
    return false;
  const bool moved = MoveRecordTotals(sections, kSectionTotals, move, before);
  const bool saved = SaveChanges(sections);
  if (sections.shareMode != dbase::dbiOPENEXCL) dbase::DbiRelRecordLock(sections.Engine().cursor, false);
  return moved && saved;
}

bool ReadSectionRecord(const std::string& code, TotalsCents* now) { return LookUpSectionRecord(code, now).IsFound(); }

Table* SeekTotalsRecord(char kind, const std::string& code) {
  if (kind == 'H') {
    if (TableC10 == nullptr || !FindReported(*TableC10, "C10CODE", HeaderKey(*TableC10, code)).IsFound()) return nullptr;
    return TableC10;
  }
  Table* table = kind == 'S' ? TableC30 : TableC20;
  if (table == nullptr || !FindReported(*table, kind == 'S' ? "C30CODE" : "C20CODE", AccountKey(code)).IsFound())
    return nullptr;
  return table;
}

bool BringBackHeader(Table& general) {
  if (!general.isOpen) return true;
  // A header whose mark could not be read is not brought back, nor taken for live: said, and refused.
  const Lookup live = general.LiveHere();
  if (live.IsRefused()) {
    ReportDbError(general, kContextSave, "");
    return false;
  }
  if (live.IsFound()) return true;
  if (!LockForTotals(general, general.RecordToText(2))) return false;
  const bool heldBefore = general.result == dbase::DBIERR_ALREADYLOCKED;
  const bool back = RecallEmptied(general);
  const bool saved = SaveChanges(general);
  ReleaseHeaderLock(general, heldBefore);
  return back && saved;
}

bool MoveHeaderRecord(const std::string& code, const TotalsCents& move, const TotalsBefore& before) {
  if (TableC10 == nullptr) return false;
  Table& general = *TableC10;
  const std::string header = Cut(code.c_str(), kCodeLength);
  if (IsBlank(header)) return false;
  const int codeWidth = general.isOpen ? general.FieldWidth(2) : 0;
  const std::string key = HeaderKey(general, header);
  if (!SeekOrCreateHeader(general, key, header, codeWidth)) return false;
  const std::string text = general.RecordToText(2);
  if (!LockForTotals(general, text)) return false;
  const bool heldBefore = general.result == dbase::DBIERR_ALREADYLOCKED;
  // A header found deleted is moved from empty totals, as it is brought back. One that could not be read
  // is neither: nothing is decided from it.
  const Lookup live = general.LiveHere();
  const bool deleted = !live.IsFound();
  if (live.IsRefused()) {
    ReportDbError(general, kContextSave, "");
    ReleaseHeaderLock(general, heldBefore);
    return false;
  }
  std::string first = deleted ? std::string() : general.GetField(4);
  std::string second = deleted ? std::string() : general.GetField(5);
  const bool go = !before || before(deleted ? TotalsCents{} : HeaderTotalsNow(general));
  // Every total moved first in the texts: one that would not fit refuses the whole move, nothing
  // written, as an account's or a section's total refuses what its field cannot hold.
  bool fits = true;
  const bool ones = move.debit1 != 0 || move.credit1 != 0, twos = move.debit2 != 0 || move.credit2 != 0;
  if (ones) fits = MoveHeaderSide(first, true, move.debit1) && fits;
  if (ones) fits = MoveHeaderSide(first, false, move.credit1) && fits;
  if (twos) fits = MoveHeaderSide(second, true, move.debit2) && fits;
  if (twos) fits = MoveHeaderSide(second, false, move.credit2) && fits;
  bool written = false;
  if (go && fits) {
    // A refused write is not forgotten by the saving that follows it.
    written = RecallEmptied(general) && (!(ones || twos) || WriteFields<std::string>(general, {{4, first}, {5, second}}));
    written = SaveChanges(general) && written;
  }
  ReleaseHeaderLock(general, heldBefore);
  if (go && !fits) ReportHeaderOverflow(general, header);
  return written;
}

TotalsCents LineMove(Table& c50) {
  using L = LigneEcriture;
  return TotalsCents::OnSense(c50.GetField(L::BSENS)[0], StoredAmountOf(c50, L::BMONTANTF),
                              StoredAmountOf(c50, L::BMONTANTE));
}

// ---- A change of lines and its totals

long long TotalsOverflow::Largest(bool second) const {
  const long long amount = second ? side2 : side1;
  if (room <= 0 || moved <= 0) return 0;
  if (moved <= room) return amount;
  return static_cast<long long>(static_cast<__int128>(amount) * room / moved);
}

namespace {

// `a` leaves a smaller part of its change than `b` (which may be none).
bool Tighter(const TotalsOverflow& a, const TotalsOverflow& b) {
  return a && (!b || static_cast<__int128>(a.room) * b.moved < static_cast<__int128>(b.room) * a.moved);
}

}  // namespace

TotalsOverflow OverflowOf(char kind, const std::string& code, const TotalsCents& now, const TotalsCents& move) {
  TotalsOverflow worst;
  const struct {
    long long total, moved;
    bool debit, second;
  } fields[] = {{now.debit1, move.debit1, true, false},
                {now.credit1, move.credit1, false, false},
                {now.debit2, move.debit2, true, true},
                {now.credit2, move.credit2, false, true}};
  auto size = [](long long v) { return v < 0 ? -v : v; };
  for (const auto& [total, moved, debit, second] : fields) {
    if (moved == 0) continue;
    const long long after = total + moved;
    long long room = 0;
    if (after > kLargestTotalCents) room = kLargestTotalCents - total;
    else if (after < kSmallestTotalCents) room = total - kSmallestTotalCents;
    else continue;
    TotalsOverflow o;
    o.kind = kind;
    o.code = code;
    o.room = room < 0 ? 0 : room;
    o.moved = size(moved);
    o.debit = debit;
    o.second = second;
    o.side1 = size(debit ? move.debit1 : move.credit1);
    o.side2 = size(debit ? move.debit2 : move.credit2);
    // The field that leaves the smallest part of the change is the one to name.
    if (Tighter(o, worst)) worst = o;
  }
  return worst;
}

namespace {

// The records a planned move reaches: an account's and its collective's, or the one code.
std::vector<std::string> RecordsOf(char kind, const std::string& code, bool create, bool* refused) {
  if (kind == 'A') return AccountTotalsCodes(code.c_str(), create, refused);
  return {code};
}

Lookup LookUpRecord(char kind, const std::string& code, TotalsCents* now) {
  if (kind == 'H') return LookUpHeaderRecord(code, now);
  if (kind == 'S') return LookUpSectionRecord(code, now);
  return LookUpAccountRecord(code, now);
}

bool ReadRecord(char kind, const std::string& code, TotalsCents* now) { return LookUpRecord(kind, code, now).IsFound(); }

bool MoveRecord(char kind, const std::string& code, const TotalsCents& move, const TotalsBefore& before) {
  if (kind == 'H') return MoveHeaderRecord(code, move, before);
  if (kind == 'S') return MoveSectionRecord(code, move, before);
  return MoveAccountRecord(code, move, before);
}

}  // namespace

void TotalsMoves::Plan(char kind, const std::string& code, const TotalsCents& move) {
  if (move.Empty() || IsBlank(code)) return;
  planned_.push_back({kind, code, move});
}

std::vector<std::pair<char, std::string>> TotalsMoves::Records() const {
  std::vector<std::pair<char, std::string>> records;
  for (const Move& m : planned_)
    if (std::find(records.begin(), records.end(), std::make_pair(m.kind, m.code)) == records.end())
      records.emplace_back(m.kind, m.code);
  return records;
}

TotalsOverflow TotalsMoves::Check() const {
  // Per record: its totals as the moves before leave them, and the first overflow met there, which
  // the later moves of the change onto that record add to.
  struct Record {
    TotalsCents now;
    TotalsOverflow overflow;
  };
  std::map<std::pair<char, std::string>, Record> records;
  auto size = [](long long v) { return v < 0 ? -v : v; };
  for (std::size_t i = next_; i < planned_.size(); ++i) {
    const Move& m = planned_[i];
    for (const std::string& code : RecordsOf(m.kind, m.code, false, nullptr)) {
      auto at = records.find({m.kind, code});
      if (at == records.end()) {
        Record r;
        if (!ReadRecord(m.kind, code, &r.now)) r.now = TotalsCents{};
        at = records.emplace(std::make_pair(m.kind, code), r).first;
      }
      Record& r = at->second;
      if (!r.overflow) {
        r.overflow = OverflowOf(m.kind, code, r.now, m.move);
        r.now += m.move;
        continue;
      }
      TotalsOverflow& o = r.overflow;
      const long long side1 = size(o.debit ? m.move.debit1 : m.move.credit1);
      const long long side2 = size(o.debit ? m.move.debit2 : m.move.credit2);
      o.moved += o.second ? side2 : side1;
      o.side1 += side1;
      o.side2 += side2;
    }
  }
  // The total that leaves the smallest part of the change is the one to name.
  TotalsOverflow worst;
  for (const auto& [key, r] : records)
    if (Tighter(r.overflow, worst)) worst = r.overflow;
  return worst;
}

bool TotalsMoves::MakeOne(char kind, const std::string& code, const TotalsCents& move) {
  TotalsCents before;
  const bool known = ReadRecord(kind, code, &before);
  // Checked again under the record's lock: another station may have moved it since.
  const TotalsBefore holds = [&](const TotalsCents& now) {
    overflow_ = OverflowOf(kind, code, now, move);
    return !overflow_;
  };
  if (MoveRecord(kind, code, move, holds)) {
    made_.push_back({kind, code, move});
    return true;
  }
  if (overflow_) return false;
  // A refusal that came once its totals were written (the index's write-back after the
  // record's) leaves a move to take back all the same. A record that cannot be read again may
  // hold the move or not: it cannot be taken back, and is not said to be as before.
  TotalsCents now, moved = before;
  moved += move;
  const Lookup after = known ? LookUpRecord(kind, code, &now) : Lookup::NotFound();
  if (after.IsRefused()) unsure_ = true;
  if (after.IsFound() && now == moved && !(now == before)) made_.push_back({kind, code, move});
  return false;
}

bool TotalsMoves::Make(std::size_t end) {
  end = std::min(end, planned_.size());
  for (; next_ < end; ++next_) {
    const Move& m = planned_[next_];
    bool refused = false;
    const std::vector<std::string> codes = RecordsOf(m.kind, m.code, true, &refused);
    if (refused) {
      ++next_;
      return false;
    }
    for (const std::string& code : codes)
      if (!MakeOne(m.kind, code, m.move)) {
        ++next_;
        return false;
      }
  }
  return true;
}

bool TotalsMoves::TakeBack() {
  bool all = true;
  for (auto it = made_.rbegin(); it != made_.rend(); ++it)
    all = MoveRecord(it->kind, it->code, it->move.Negated(), nullptr) && all;
  made_.clear();
  all = all && !unsure_;
  unsure_ = false;
  return all;
}
