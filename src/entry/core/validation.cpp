#include "entry/core/validation.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "data/account_totals.h"
#include "data/aside_copies.h"
#include "data/closed_lines.h"
#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/engine_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/index_defs.h"
#include "data/table.h"
#include "data/record_fields.h"
#include "data/table_copy.h"
#include "data/table_results.h"
#include "data/table_scan.h"
#include "data/table_structures.h"
#include "dossier/core/dossier_run_marker.h"
#include "posting/entry_state.h"
#include "posting/journal_month.h"
#include "platform/system/clock.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace entry {

namespace {

using L = LigneEcriture;

constexpr long kMostClosedRecords = 999999;
// The refusal's list of the lines whose amount does not read as a number; of those whose amount is
// not one an entry makes (%s: the largest a line takes).
constexpr int kStrUnreadableLines = 30303;
constexpr int kStrPastBoundLines = 39126;
constexpr std::size_t kNamedLines = 12;
constexpr std::uint32_t kQueueBatch = 8192;

// The texts of the run; a "%s" of a text takes the value its comment names.
constexpr int kTitleValidation = 16240;  // the run's marker
constexpr int kMsgNothingTicked = 16250, kMsgDateWrong = 16251;
constexpr int kMsgDateBeforeLatest = 16252;  // the latest validation's date
constexpr int kMsgRefused = 16256;           // the reasons, each with its journal-months and lines
constexpr int kHeadUnbalanced = 16253, kHeadNoAccount = 16254, kHeadOutOfYear = 16255;
constexpr int kMsgClosedFileFull = 16257;
constexpr int kLabelEuros = 2277, kLabelFrancs = 2278;
constexpr int kUnknownJournalName = 38;      // "???"
constexpr int kLineNamed = 23071;            // the piece, the line's number, the day, the month, the year
constexpr int kErrorTotalsCheck = 23080;
constexpr int kLogLineRemoved = 32402;       // the record's number, the record
constexpr int kLogFailedUnchanged = 32403;   // the error's code, its reason
constexpr int kLogFailedPutBack = 32404;     // the error's code, the journal-months, the error
constexpr int kLogFailedNotPutBack = 32405;  // ... and why the dossier was not put back
constexpr int kLogDone = 32406;              // the journal-months, the lines, the analytic lines, the date
// A closed journal-month total its field cannot hold (%s: the journal, the month, the amount, its currency).
constexpr int kMsgHeaderTooLarge = 36530;
constexpr int kWordFrancs = 36503, kWordEuros = 36504;

std::function<void(long)>& LineHook() {
  static std::function<void(long)> hook;
  return hook;
}

std::string TwoDigits(int n) { return StrZero(n, 2); }

// The piece and number of a line, and its date, as the refusals name them.
std::string LineText(const std::string& piece, const std::string& number, const std::string& month,
                     const std::string& day) {
  return FillPlaceholders(LoadStr(kLineNamed),
                          {piece, number, day, month.substr(2, 2), DecodeYear(month.substr(0, 2).c_str())});
}

void Name(std::vector<std::string>& list, long& count, const std::string& text) {
  if (++count <= static_cast<long>(kNamedLines)) list.push_back(text);
}

// True when the stored text of number field `field` of the table's current record reads as a
// number, whatever its amount.
bool StoredTextIsNumber(Table& table, int field) {
  const FieldLayout& d = table.Layout(field);
  const std::size_t width = static_cast<std::size_t>(std::max<int>(0, d.width));
  if (d.offset + width > table.recordBuffer.size()) return false;
  return ReadableNumberText(std::string_view(reinterpret_cast<const char*>(table.recordBuffer.data()) + d.offset, width));
}

// The log line of a cancelled record the run removes: its table, number and text.
std::string RemovedText(Table& t) {
  return FillPlaceholders(LoadStr(kLogLineRemoved),
                          {std::to_string(t.RecNo()), RTrim(t.RecordToText(t.FieldCount()))});
}

// The journal-month of the current line of C50.
std::string MonthOf(Table& c50) { return std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL); }

// Steps 2 to 5 of the run, on tables of its own opened exclusively; 0 or the error code.
class ValidationWork {
 public:
  ValidationWork(const JournalValidationRequest& request, ValidationResult& result, const std::function<void(long)>& step,
                 const RefusalWatch& refusal)
      : request_(request), r_(result), step_(step), refusal_(refusal) {}

  int Run() {
    ticked_.insert(request_.journalMonths.begin(), request_.journalMonths.end());
    if (!c10_.OpenExclusive(PathC10(), "C10CODE")) return Fail(kValidationOpen, PathC10());
    if (const int code = CheckClosedHeaderRoom()) return code;
    // The closed lines go in without an index to keep; its tags are built once at the end.
    const std::string c40 = PathC40();
    c40_.CloseTable(true);
    if (!DropProductionIndex(c40) || !c40_.OpenExclusive(c40))
      return Fail(kValidationOpen + 30, c40);
    if (!c50_.OpenExclusive(PathC50(), L::kCodeTag)) return Fail(kValidationOpen + 40, PathC50());
    LogCancelledLines();
    lineFields_.emplace(c50_, c40_, 1, FieldMap::Numbers::AsText);
    lineBytes_.emplace(c50_, c40_);
    AddClosedLinePairs(*lineBytes_, *lineFields_, c50_.FieldCount());
    for (const std::string& month : request_.journalMonths) {
      if (const int code = ValidateMonth(PadRight(month, posting::kJournalMonthKeyLength))) return code;
      if (const int code = MoveHeaderTotals(PadRight(month, posting::kJournalMonthKeyLength))) return code;
    }
    if (!c40_.AppendQueued()) return Fail(kValidationAppend, c40, c40_.result);
    if (!c10_.Commit()) return Fail(kValidationHeaders, PathC10(), c10_.result);
    c10_.CloseTable(true);
    // C50 alone is packed: C10 keeps its cancelled codes, which can be reactivated.
    if (!c50_.Pack()) return Fail(kValidationPack, PathC50(), c50_.result);
    c50_.CloseTable(true);
    c40_.CloseTable(true);
    if (!c40_.OpenExclusive(c40) || !BuildIndexesOf(c40_, TableKind::C40))
      return Fail(kValidationClosedIndex, c40, c40_.result);
    c40_.CloseTable(true);
    // Every sort record written again: the pack gave the draft lines new record numbers.
    Table c60;
    const bool open = c40_.OpenExclusive(c40) && c50_.OpenExclusive(PathC50()) && c60.OpenExclusive(PathC60());
    const bool refilled = open && RefillSortRecords(c40_, c50_, c60, [this](long n) {
                            if (step_) step_(handled_ + n);
                          });
    const int refillResult = open ? c60.result : 0;
    c60.CloseTable(true);
    c40_.CloseTable(true);
    c50_.CloseTable(true);
    if (!refilled) return Fail(kValidationSortFile, PathC60(), refillResult);
    return 0;
  }

 private:
  // A line not appended: the closed file's refusal, or the draft's when its record was not read.
  int FailAppend() {
    const bool closed = c40_.result != kResultOk || c50_.result == kResultOk;
    return Fail(kValidationAppend, closed ? c40_.tablePath : c50_.tablePath, closed ? c40_.result : c50_.result);
  }

  // The run stopped on `what`: the write the system refused first is named instead, whatever
  // the tables' results say since (a full disk named as such).
  // A header look-up of the general file the system refused: kept by the run's watch, the run failed.
  int Unread(const Lookup& found) {
    RefusalWatch::NoteEngineReadRefusal(c10_.tablePath, found.result());
    return Fail(kValidationHeaders, PathC10(), found.result());
  }

  int Fail(int code, const std::string& what, int engineResult = 0) {
    r_.error = refusal_.Reason(code, what, engineResult);
    c10_.CloseTable(true);
    c40_.CloseTable(true);
    c50_.CloseTable(true);
    return code;
  }

  // The cancelled records the pack removes, each written to the log first.
  // Meanwhile the journal-months holding live analytic records are noted: the others have no
  // analytic record to look for.
  void LogCancelledLines() {
    // Every record in physical order: the key order holds the general lines only.
    std::vector<std::uint32_t> cancelled;
    std::string kind, month, journal;
    analyticKnown_ = ScanRecords(c50_, [&](std::uint32_t r, const std::uint8_t* record) {
      if (record[0] == '*') {
        cancelled.push_back(r);
        return;
      }
      FieldTextOf(c50_, L::BCLE, record, kind);
      if (kind == "Z") return;
      FieldTextOf(c50_, L::BMOIS, record, month);
      FieldTextOf(c50_, L::BJAL, record, journal);
      analyticMonths_.insert((month + journal).substr(0, posting::kJournalMonthKeyLength));
    });
    c50_.SetOrder("");
    auto log = [this] {
      WriteLog(RemovedText(c50_));
      if (ticked_.count(MonthOf(c50_)) != 0) ++r_.cancelledDropped;
      else ++r_.otherCancelled;
    };
    if (analyticKnown_) {
      // A line not read goes unlogged; the run's watch of refused reads fails the run with it.
      for (std::uint32_t r : cancelled)
        if (c50_.GoToRecord(static_cast<long>(r)).FoundOrNone()) log();
    } else {
      for (bool more = c50_.GoTop(""); more; more = c50_.Skip(1))
        if (c50_.RecordDeleted()) log();
    }
    c50_.SetOrder(L::kCodeTag);
  }

  // False when the journal-month has surely no live analytic record.
  bool MayHoldAnalytic(const std::string& month) const {
    return !analyticKnown_ || analyticMonths_.count(month.substr(0, posting::kJournalMonthKeyLength)) != 0;
  }

  bool Append(std::uint32_t recno, bool general) {
    if (lineBytes_ && lineBytes_->usable()) {
      // The draft record's bytes where the engine holds them, copied field by field without a move.
      const std::uint8_t* record = nullptr;
      c50_.result = ReadStoredRecord(c50_, recno, scratch_, &record);
      if (c50_.result != kResultOk || !QueueClosedLine(*lineBytes_, record, c40_, request_.date)) return false;
    } else if (!c50_.GoToRecord(static_cast<long>(recno)).IsFound() ||
               !AppendClosedLine(*lineFields_, c50_, c40_, request_.date, true)) {
      return false;
    }
    if (c40_.QueuedCount() >= kQueueBatch && !c40_.AppendQueued()) return false;
    done_.push_back(recno);
    ++(general ? r_.generalLines : r_.analyticLines);
    ++handled_;
    if (LineHook()) LineHook()(handled_);
    if (step_ && (handled_ & 4095) == 0) step_(handled_);
    return true;
  }

  int ValidateMonth(const std::string& month) {
    const std::string prefix = posting::LinePrefix(month);
    const bool analyticHere = MayHoldAnalytic(month);
    // The live general lines in key order, each with the analytic key it has now. A look-up not read
    // misses lines here; the run's watch of refused reads fails the run and puts the books back.
    std::vector<std::pair<std::uint32_t, std::string>> general;
    c50_.SetOrder(L::kCodeTag);
    for (bool more = c50_.Find(L::kCodeTag, prefix.c_str()).FoundOrNone(); more; more = c50_.Skip(1)) {
      const KeyMatch m = c50_.MatchRecordKey(prefix.c_str(), L::kJournalMonthKeyLength, L::BCLE, L::BMOIS, L::BJAL);
      // A line whose mark is not read is no cancelled line: the month is not validated short of it.
      if (m.IsRefused()) return Fail(kValidationAppend, c50_.tablePath, m.result());
      if (m.IsLive()) general.emplace_back(c50_.recordNumber, analyticHere ? L::AnalyticKey(c50_) : std::string());
      else if (!m.IsCancelled()) break;
    }
    for (const auto& [recno, key] : general) {
      if (!Append(recno, true)) return FailAppend();
      if (!analyticHere) continue;
      std::vector<std::uint32_t> analytic;
      for (bool more = c50_.FindNotBelow(L::kAnalyticTag, key.c_str()).FoundOrNone(); more; more = c50_.Skip(1)) {
        const KeyMatch m =
            c50_.MatchRecordKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
        if (m.IsRefused()) return Fail(kValidationAppend, c50_.tablePath, m.result());
        if (m.IsLive()) analytic.push_back(c50_.recordNumber);
        else if (!m.IsCancelled()) break;
      }
      for (std::uint32_t a : analytic)
        if (!Append(a, false)) return FailAppend();
    }
    // Analytic records of the journal-month that no live general line carries.
    std::vector<std::uint32_t> left;
    std::sort(done_.begin(), done_.end());
    for (bool more = analyticHere && c50_.FindNotBelow(L::kAnalyticTag, month.c_str()).FoundOrNone(); more; more = c50_.Skip(1)) {
      const KeyMatch m = c50_.MatchRecordKey(month.c_str(), posting::kJournalMonthKeyLength, L::BMOIS, L::BJAL);
      if (m.IsRefused()) return Fail(kValidationAppend, c50_.tablePath, m.result());
      if (m.IsLive() && !std::binary_search(done_.begin(), done_.end(), c50_.recordNumber))
        left.push_back(c50_.recordNumber);
      else if (m.OffKey()) break;
    }
    for (std::uint32_t a : left)
      if (!Append(a, false)) return FailAppend();
    c50_.SetOrder(L::kCodeTag);
    // The lines validated leave the draft (the pack removes them): their delete marks written
    // stretch by stretch, in record order.
    std::sort(done_.begin(), done_.end());
    done_.erase(std::unique(done_.begin(), done_.end()), done_.end());
    c50_.result = DeleteRecords(c50_, done_);
    c50_.recordNumber = 0;
    if (c50_.result != kResultOk) return Fail(kValidationAppend, PathC50(), c50_.result);
    done_.clear();
    return 0;
  }

  // Each closed journal-month header holds, once validated, its totals and its draft header's:
  // one that its 14 characters cannot hold stops the run before anything changes, named, never
  // written as asterisks.
  int CheckClosedHeaderRoom() {
    for (const std::string& key : request_.journalMonths) {
      const std::string month = PadRight(key, posting::kJournalMonthKeyLength);
      posting::HeaderTotals draft, closed;
      // A header not read is no header at zero: the run stops before anything changes.
      const Lookup draftFound = posting::FindHeader(c10_, month, posting::kDraftSource);
      if (draftFound.IsRefused()) return Unread(draftFound);
      if (draftFound.IsFound()) draft = posting::ReadHeaderTotals(c10_);
      const Lookup closedFound = posting::FindHeader(c10_, month, posting::kClosedSource);
      if (closedFound.IsRefused()) return Unread(closedFound);
      if (closedFound.IsFound()) closed = posting::ReadHeaderTotals(c10_);
      const long long after[] = {closed.debitF + draft.debitF, closed.creditF + draft.creditF,
                                 closed.debitE + draft.debitE, closed.creditE + draft.creditE};
      for (int i = 0; i < 4; ++i) {
        if (after[i] >= kSmallestTotalCents && after[i] <= kLargestTotalCents) continue;
        r_.error = FillPlaceholders(LoadStr(kMsgHeaderTooLarge),
                                    {posting::JournalOf(month), posting::MonthDisplay(month),
                                     GroupedAmountText(after[i]), LoadStr(i < 2 ? kWordFrancs : kWordEuros)});
        c10_.CloseTable(true);
        return kValidationHeaders;
      }
    }
    return 0;
  }

  // The draft header's totals go to the closed header, made when missing; the draft one stays at zero.
  int MoveHeaderTotals(const std::string& month) {
    posting::HeaderTotals moved;
    std::string name;
    // A header not read is neither missing nor at zero: the run stops, no closed header made twice.
    const Lookup draftFound = posting::FindHeader(c10_, month, posting::kDraftSource);
    if (draftFound.IsRefused()) return Unread(draftFound);
    if (draftFound.IsFound()) {
      moved = posting::ReadHeaderTotals(c10_);
      name = RTrim(c10_.GetField(3));
      if (!c10_.PutField(4, posting::ZeroTotalsText().c_str()) || !c10_.PutField(5, posting::ZeroTotalsText().c_str()))
        return Fail(kValidationHeaders, PathC10(), c10_.result);
    }
    const posting::JournalRecord journal = posting::ReadJournal(c10_, posting::JournalOf(month));
    if (journal.found && !journal.cancelled) name = journal.name;
    if (journal.refused) return Fail(kValidationHeaders, PathC10(), c10_.result);
    const Lookup closedFound = posting::FindHeader(c10_, month, posting::kClosedSource);
    if (closedFound.IsRefused()) return Unread(closedFound);
    if (closedFound.IsNotFound()) {
      if (!c10_.AppendBlank()) return Fail(kValidationHeaders, PathC10(), c10_.result);
      c10_.PutField(1, "C");
      c10_.PutField(2, (month + posting::kClosedSource).c_str());
      c10_.PutField(3, name.c_str());
      c10_.PutField(4, posting::ZeroTotalsText().c_str());
      c10_.PutField(5, posting::ZeroTotalsText().c_str());
      if (!c10_.InsertRecord() || !posting::FindHeader(c10_, month, posting::kClosedSource).IsFound())
        return Fail(kValidationHeaders, PathC10(), c10_.result);
    } else {
      const Lookup live = c10_.LiveHere();
      if (live.IsRefused()) return Fail(kValidationHeaders, PathC10(), live.result());
      if (live.IsNotFound() && !c10_.RecallRecord(nullptr, 0)) return Fail(kValidationHeaders, PathC10(), c10_.result);
    }
    const posting::HeaderTotals closed = posting::ReadHeaderTotals(c10_);
    const bool written = c10_.PutField(4, (AmountText14(FromCents(closed.debitF + moved.debitF)) +
                                           AmountText14(FromCents(closed.creditF + moved.creditF))).c_str()) &&
                         c10_.PutField(5, (AmountText14(FromCents(closed.debitE + moved.debitE)) +
                                           AmountText14(FromCents(closed.creditE + moved.creditE))).c_str());
    return written ? 0 : Fail(kValidationHeaders, PathC10(), c10_.result);
  }

  const JournalValidationRequest& request_;
  ValidationResult& r_;
  const std::function<void(long)>& step_;
  const RefusalWatch& refusal_;
  std::set<std::string> ticked_;
  std::vector<std::uint32_t> done_;  // the records copied from the journal-month, in no order
  std::set<std::string> analyticMonths_;  // journal-months with live analytic records
  bool analyticKnown_ = false;            // the draft was read whole for them
  long handled_ = 0;
  Table c10_, c40_, c50_;
  std::optional<FieldMap> lineFields_;  // C50 into C40, made once the two are open
  std::optional<FieldTextCopy> lineBytes_;  // the same from the records' bytes
  std::vector<std::uint8_t> scratch_;
};

}  // namespace

std::vector<DraftMonth> ListDraftMonths(Table& c50, Table& c10) {
  std::map<std::string, DraftMonth> months;
  const std::string first = TheDossierRecord.DateStored(DossierRecord::DateField::YearStart);
  const std::string last = TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd);
  const std::vector<int> fields{L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BNUM, L::BJOUR, L::BCODE, L::BSENS};
  std::vector<std::string> v;
  // Every record in physical order, the analytic and cancelled ones too.
  c50.SetOrder("");
  for (bool more = c50.GoTop(""); more; more = c50.Skip(1)) {
    ReadStoredFields(c50, fields, v);
    const std::string key = PadRight(v[1], 4) + PadRight(v[2], posting::kJournalCodeWidth);
    DraftMonth& m = months[key];
    m.journalMonth = key;
    if (c50.RecordDeleted()) {
      ++m.cancelled;
      continue;
    }
    const std::string month = PadRight(v[1], 4), day = PadRight(v[5], 2);
    bool readable = true;
    const long long f = StoredAmountOf(c50, L::BMONTANTF, &readable), e = StoredAmountOf(c50, L::BMONTANTE, &readable);
    if (!readable) {
      const std::string text = LineText(v[3], v[4], month, day);
      if (StoredTextIsNumber(c50, L::BMONTANTF) && StoredTextIsNumber(c50, L::BMONTANTE))
        Name(m.pastBoundLines, m.pastBound, text);
      else
        Name(m.unreadableLines, m.unreadable, text);
    }
    if (v[0] != "Z") {
      ++m.analytic;
      continue;
    }
    ++m.lines;
    if (v[7] == "D") {
      m.debitF += f;
      m.debitE += e;
    } else {
      m.creditF += f;
      m.creditE += e;
    }
    const std::string text = LineText(v[3], v[4], month, day);
    if (IsBlank(v[6])) Name(m.noAccountLines, m.noAccount, text);
    Ymd date;
    const std::string stored = month + day;
    if (!ParseStoredDate(stored, date) || (!first.empty() && stored < first) || (!last.empty() && stored > last))
      Name(m.outOfYearLines, m.outOfYear, text);
  }
  c50.SetOrder(L::kCodeTag);
  std::vector<DraftMonth> out;
  for (auto& [key, m] : months) {
    // Only named: a header not read is said by the caller's watch of refused reads.
    if (posting::FindHeader(c10, key, posting::kDraftSource).FoundOrNone() && !IsBlank(c10.GetField(3))) {
      m.name = RTrim(c10.GetField(3));
    } else {
      const posting::JournalRecord j = posting::ReadJournal(c10, posting::JournalOf(key));
      m.name = j.found ? j.name : std::string(LoadStr(kUnknownJournalName));
    }
    out.push_back(m);
  }
  return out;
}

std::string LatestValidationDate(Table& c40) {
  std::string latest;
  std::vector<std::string> v;
  for (bool more = c40.GoTop(""); more; more = c40.Skip(1)) {
    ReadStoredFields(c40, {L::DVALID}, v);
    if (!IsBlank(v[0]) && v[0] > latest) latest = v[0];
  }
  return latest;
}

std::string JournalMonthsText(const std::vector<std::string>& journalMonths) {
  std::string text;
  for (const std::string& m : journalMonths)
    text += (text.empty() ? "" : ", ") + posting::JournalOf(m) + " " + posting::MonthDisplay(m);
  return text;
}

std::string ValidationRefusal(const JournalValidationRequest& request, const std::vector<DraftMonth>& months,
                              const std::string& latest, long closedRecords, bool euroOnly) {
  if (request.journalMonths.empty()) return LoadStr(kMsgNothingTicked);
  Ymd date;
  if (request.date.size() != 6 || !ParseStoredDate(request.date, date)) return LoadStr(kMsgDateWrong);
  if (!latest.empty() && request.date < latest)
    return FillPlaceholder(LoadStr(kMsgDateBeforeLatest), ConvertDate(latest.c_str()));

  std::map<std::string, const DraftMonth*> byKey;
  for (const DraftMonth& m : months) byKey[m.journalMonth] = &m;
  std::string unbalanced, noAccount, outOfYear, unreadable, pastBound;
  long records = 0;
  for (const std::string& key : request.journalMonths) {
    const auto it = byKey.find(PadRight(key, posting::kJournalMonthKeyLength));
    if (it == byKey.end()) continue;
    const DraftMonth& m = *it->second;
    const std::string name = "   - " + posting::JournalOf(m.journalMonth) + " " + posting::MonthDisplay(m.journalMonth);
    records += m.lines + m.analytic;
    // The totals of a journal-month whose lines did not all read are not its own: its lines are named
    // below, its balance is not said.
    if (m.Read() && !m.BalancedInEuros())
      unbalanced +=
          name + " " + Trimmed(BalanceAmount(m.debitE - m.creditE)) + " " + LoadStr(kLabelEuros) + "\n";
    if (m.Read() && !euroOnly && !m.BalancedInFrancs())
      unbalanced +=
          name + " " + Trimmed(BalanceAmount(m.debitF - m.creditF)) + " " + LoadStr(kLabelFrancs) + "\n";
    for (const std::string& line : m.noAccountLines) noAccount += name + " " + line + "\n";
    if (m.noAccount > static_cast<long>(m.noAccountLines.size())) noAccount += name + " ...\n";
    for (const std::string& line : m.outOfYearLines) outOfYear += name + " " + line + "\n";
    if (m.outOfYear > static_cast<long>(m.outOfYearLines.size())) outOfYear += name + " ...\n";
    for (const std::string& line : m.unreadableLines) unreadable += name + " " + line + "\n";
    if (m.unreadable > static_cast<long>(m.unreadableLines.size())) unreadable += name + " ...\n";
    for (const std::string& line : m.pastBoundLines) pastBound += name + " " + line + "\n";
    if (m.pastBound > static_cast<long>(m.pastBoundLines.size())) pastBound += name + " ...\n";
  }
  std::string text;
  if (!unbalanced.empty()) text += LoadStr(kHeadUnbalanced) + unbalanced;
  if (!noAccount.empty()) text += LoadStr(kHeadNoAccount) + noAccount;
  if (!outOfYear.empty()) text += LoadStr(kHeadOutOfYear) + outOfYear;
  if (!unreadable.empty()) text += LoadStr(kStrUnreadableLines) + unreadable;
  if (!pastBound.empty()) text += FillPlaceholder(LoadStr(kStrPastBoundLines), LargestLineText()) + pastBound;
  if (!text.empty()) return FillPlaceholder(LoadStr(kMsgRefused), text);
  if (closedRecords + records > kMostClosedRecords) return LoadStr(kMsgClosedFileFull);
  return {};
}

void SetValidationLineHook(std::function<void(long)> hook) { LineHook() = std::move(hook); }

ValidationResult RunValidation(const JournalValidationRequest& request, const std::function<void(long)>& step) {
  ValidationResult r;
  const std::string code = RTrim(DossierCode.c_str());
  const std::string folder = DossierFolder;
  const std::string months = JournalMonthsText(request.journalMonths);
  const std::string shownDate = ConvertDate(request.date.c_str());
  // The log line of a run that failed once the dossier changed: whether it was put back, and why not.
  const auto failureLog = [&](int failure) {
    return r.putBack ? FillPlaceholders(LoadStr(kLogFailedPutBack), {std::to_string(failure), months, r.error})
                     : FillPlaceholders(LoadStr(kLogFailedNotPutBack),
                                        {std::to_string(failure), months, r.error, r.putBackError});
  };

  // The books as they stand, checked as they will be after the run: books apart would only be put
  // back; totals already wrong are for the ReConstruction, the run answering only for those it
  // leaves wrong itself. What the lines add up to is kept, so that the check after the run reads
  // only what the run wrote.
  DossierInvariants before;
  bool soundBefore = false;
  {
    // A read the disk refuses here leaves the check short: said as the read it is, nothing changed.
    RefusalWatch reads(RefusalWatch::EngineBoxes::kHeld);
    soundBefore = before.CheckKeeping(request.journalMonths);
    if (reads.ReadRefused()) {
      r.code = kValidationRead;
      r.error = reads.Reason(kValidationRead, "", 0);
      r.putBack = true;  // nothing of the dossier was changed
      WriteLog(FillPlaceholders(LoadStr(kLogFailedUnchanged), {std::to_string(r.code), r.error}));
      return r;
    }
  }
  if (!soundBefore && before.Apart()) {
    r.code = kValidationInvariants;
    r.invariantReport = before.Report();
    r.error = LoadStr(kErrorTotalsCheck);
    r.putBack = true;  // nothing of the dossier was changed
    WriteLog(FillPlaceholders(LoadStr(kLogFailedUnchanged), {std::to_string(r.code), r.error}));
    return r;
  }

  // The copies first: until the marker names them nothing of the dossier has changed.
  const platform::LocalTime now = platform::GetLocalTime();
  const std::string name = "validation-" + LowerAscii(code) + "-" + std::to_string(now.year) + TwoDigits(now.month) +
                           TwoDigits(now.day) + "-" + TwoDigits(now.hour) + TwoDigits(now.minute) +
                           TwoDigits(now.second) + "/";
  const std::vector<std::string> bases{TableBaseName(TableKind::C10, code), TableBaseName(TableKind::C40, code),
                                       TableBaseName(TableKind::C50, code), TableBaseName(TableKind::C60, code)};
  AsideCopies copies;
  std::string why;
  if (!MakeAsideCopies(folder, name, bases, &copies, &why)) {
    r.code = kValidationCopies;
    r.error = why;
    r.putBack = true;  // nothing of the dossier was changed: it is as it was
    WriteLog(FillPlaceholders(LoadStr(kLogFailedUnchanged), {std::to_string(r.code), why}));
    return r;
  }
  auto marker =
      std::make_unique<DossierRunMarker>(BooksReading{}, kValidationRun, LoadStr(kTitleValidation), copies.Detail());
  if (!marker->written()) {
    RemoveAsideCopies(folder, copies);
    r.code = kValidationMarker;
    r.error = DossierRunMarkerRefusal(marker->path());
    r.putBack = true;
    WriteLog(FillPlaceholders(LoadStr(kLogFailedUnchanged), {std::to_string(r.code), marker->path()}));
    return r;
  }

  int failure = 0;
  // The run says its own failure, in one box: the engine's boxes are held back meanwhile.
  RefusalWatch refusal(RefusalWatch::EngineBoxes::kHeld);
  {
    ValidationWork work(request, r, step, refusal);
    failure = work.Run();
  }
  if (failure == 0) {
    DossierInvariants check;
    const auto wrongBefore = [&before](const std::string& total) { return before.WrongTotals().count(total) != 0; };
    // The lines moved, the sort records and the totals the run wrote, the lines it left taken as the
    // check before read them; anything found, and the whole books are checked and named.
    // A check that met a refused read says nothing of the totals: the read is said below.
    if (!check.CheckMoved(before) && !refusal.ReadRefused() &&
        (check.Apart() || !std::all_of(check.WrongTotals().begin(), check.WrongTotals().end(), wrongBefore))) {
      failure = kValidationInvariants;
      r.invariantReport = check.Report();
      r.error = LoadStr(kErrorTotalsCheck);
    } else {
      r.totalsAdvice = check.TotalsAdvice();
    }
  }
  // A read the disk refused, in the run or in its check: what either read is short of the tables,
  // and that is said, never totals found wrong.
  if (failure == 0 && refusal.ReadRefused()) {
    failure = kValidationRead;
    r.error = refusal.Reason(failure, "", 0);
  }
  if (failure != 0) {
    r.code = failure;
    r.putBack = PutBackAsideCopies(folder, copies, &r.putBackError);
    WriteLog(failureLog(failure));
    // Copies that could not all go back are put back at the next opening.
    if (!r.putBack) marker->Keep();
    return r;
  }
  // The marker goes before the copies: copies left alone are offered for removal at the next
  // opening, while a marker left alone would put back a run that went to its end. One that
  // cannot go has the run put back now instead, which says so (its removal is tried again once
  // the tables are back).
  if (!marker->Remove()) {
    r.code = kValidationMarker;
    r.error = DossierRunMarkerRemovalRefusal(marker->path());
    r.putBack = PutBackAsideCopies(folder, copies, &r.putBackError);
    WriteLog(failureLog(r.code));
    if (!r.putBack) marker->Keep();
    return r;
  }
  marker.reset();
  RemoveAsideCopies(folder, copies);
  WriteLog(FillPlaceholders(LoadStr(kLogDone), {months, std::to_string(r.generalLines),
                                                std::to_string(r.analyticLines), shownDate}));
  return r;
}

}  // namespace entry
