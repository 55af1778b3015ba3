#include "dossier/core/maintenance_rebuild.h"


#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>

#include "data/collective_account.h"
#include "data/dossier_files.h"
#include "data/engine_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/index_defs.h"
#include "data/index_recovery.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table_scan.h"
#include "dossier/core/dossier_run_marker.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kTitleRebuildRun = 19885;
constexpr int kLogUnreadableAmount = 22187;
constexpr int kLogRecordRemoved = 22189;

std::uint32_t CountOf(int number) {
  const DossierTableRef t = DossierTableOf(number);
  if (t.table == nullptr || !t.table->OpenExclusive(t.path)) return 0;
  const std::uint32_t n = t.table->RecCount();
  t.table->CloseTable(true);
  return n;
}

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }
bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

// A general account: trimmed, filled with "0" on the right to 8, cut to 8.
std::string GeneralAccount(const char* code) {
  std::string text = Trimmed(code);
  text.resize(8, '0');
  return text;
}

// Writes a field only when its text changes: an unchanged record costs no write. False when
// the write was refused.
bool Renew(Table& t, int field, const std::string& text) {
  std::string now = t.GetField(field);
  std::string wanted = text;
  wanted.resize(now.size(), ' ');
  return now == wanted || t.PutField(field, text.c_str());
}

// Totals `first` to `first + 3` of the current record set to zero where they hold anything else,
// an amount that does not read as a number included. False when a write was refused.
bool ZeroTotals(Table& t, int first) {
  for (int f = first; f < first + 4; ++f) {
    bool readable = true;
    if ((StoredAmountOf(t, f, &readable) != 0 || !readable) && !t.PutFieldNum(f, 0)) return false;
  }
  return true;
}

// A stored date read back through the display form, which renews the
// encoding of its year.
std::string RenewedDate(const std::string& stored) { return ConvertDate(ConvertDate(stored.c_str())); }

// The fields of an entry line that the rules read, closed (C40) or draft (C50).
struct LineFields {
  int month, day, journal, account, sense, francs, piece;
  explicit LineFields(bool closed)
      : month(closed ? 3 : 2), day(closed ? 4 : 8), journal(closed ? 5 : 3), account(closed ? 2 : 10),
        sense(closed ? 13 : 17), francs(closed ? 14 : 18), piece(closed ? 6 : 4) {}
};

// What the rules of a line read of the dossier record: the financial year, the analytic mode and
// whether the dossier is kept in euros only.
struct LineRules {
  std::string yearStart, yearEnd;
  char analyticMode = 'N';
  bool euroOnly = false;
  static LineRules Of(const DossierRecord& r) {
    const std::string only = r.Constant(kEuroOnlyConstant);
    return {r.DateStored(DossierRecord::DateField::YearStart), r.DateStored(DossierRecord::DateField::YearEnd),
            r.AnalyticMode(), !only.empty() && only[0] == 'O'};
  }
};

// A line's fields as the rules read them: from the table's current record, or from a record read
// as stored (the walk by blocks before the run).
struct CurrentLine {
  Table& t;
  std::string Text(int field) const { return t.GetField(field); }
  long long Cents(int field, bool* readable) const { return StoredAmountOf(t, field, readable); }
};
struct StoredLine {
  Table& t;
  const std::uint8_t* record;
  std::string Text(int field) const { return FieldTextOf(t, field, record); }
  long long Cents(int field, bool* readable) const { return FieldCentsOf(t, field, record, readable); }
};

// What the rules make of a line, read before anything changes: the month it keeps (the
// year of its date encoded anew), whether it is deleted, and the account it keeps.
struct LineFate {
  std::string month;
  bool removed = false;
  bool untouched = false;  // a closed line opening an axis, without account: left as it is
  std::string account;     // a general account of a "Z" line completed, any other as stored
};

template <typename Line>
LineFate FateOfLine(const Line& line, bool closed, const LineRules& rules, std::string renewedMonth = "") {
  const LineFields f(closed);
  LineFate fate;
  const std::string day = line.Text(f.day);
  fate.month = renewedMonth.empty() ? RenewedDate(line.Text(f.month) + day).substr(0, 4) : std::move(renewedMonth);
  fate.account = line.Text(f.account);
  // Inside the financial year (not tested when the dossier's year is unreadable:
  //    every line would go).
  const std::string now = fate.month + day;
  if (!rules.yearStart.empty() && !rules.yearEnd.empty() && (now < rules.yearStart || now > rules.yearEnd)) {
    fate.removed = true;
    return fate;
  }
  // A dossier in euros only has no line with francs and no euros. An amount that does not read
  // is not known to be zero: its line stays, named before the run.
  bool readable = true;
  const long long francs = line.Cents(f.francs, &readable);
  const long long euros = line.Cents(f.francs + 1, &readable);
  if (rules.euroOnly && readable && euros == 0 && francs != 0) {
    fate.removed = true;
    return fate;
  }
  // Kinds the analytic mode allows.
  const char kind = line.Text(1)[0];
  const char mode = rules.analyticMode;
  const bool allowed = mode == '1' ? (kind == 'V' || kind == 'W' || kind == 'Z')
                       : mode == '2' ? (kind >= 'V' && kind <= 'Z')
                                     : kind == 'Z';
  if (!allowed || kind == '\0') {
    fate.removed = true;
    return fate;
  }
  // A blank account.
  const bool firstOfAxis = kind == 'V' || kind == 'X';
  if (IsBlank(fate.account)) {
    fate.removed = !firstOfAxis;
    fate.untouched = firstOfAxis && closed;
    return fate;
  }
  // A general account completed.
  if (kind == 'Z' && static_cast<unsigned char>(fate.account[0]) <= '9') fate.account = GeneralAccount(fate.account.c_str());
  return fate;
}

// A record as its bytes stand, for the log: its fields from the last to the first as RecordToText
// gives them, but a number field as stored (a byte below a blank written \xNN), so that an amount
// that does not read shows what it holds.
std::string StoredRecordText(Table& t, const std::uint8_t* record) {
  std::string text;
  for (int f = t.FieldCount(); f >= 1; --f) {
    const char type = t.FieldType(f);
    if (type == 'C') {
      text += FieldTextOf(t, f, record);
    } else if (type == 'N') {
      const FieldLayout& d = t.Layout(f);
      for (int i = 0; i < d.width; ++i) {
        const auto c = static_cast<unsigned char>(record[d.offset + static_cast<std::size_t>(i)]);
        if (c >= 0x20) {
          text += static_cast<char>(c);
        } else {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
          text += escaped;
        }
      }
    }
  }
  return RTrim(text.c_str());
}

// What the run learns of the lines before it changes anything, in one read of C40 and C50 by
// blocks: the totals they give once the walks have mended them (`plan`, which the totals step
// posts), the first one its field cannot hold (`tooLarge`), and the lines whose amount does not read
// (`unreadable`, each in the log), named by the number each will have once the run's pack (`pack`)
// has dropped the cancelled records before it. With `hold`, the totals such a line feeds are held;
// without, they are made from the amounts that read. `read` false when a table did not open or
// read.
struct LinesRead {
  TotalsPlan plan;
  std::string tooLarge;
  std::vector<UnreadableAmountLine> unreadable;
  bool read = true;
};

LinesRead ReadLinesBeforeTheRun(bool pack, bool hold) {
  LinesRead out;
  // Read by blocks, without a tag: a run left half-way may have left a table without its tags,
  // which the run's first reindex makes again.
  const DossierTableRef general = DossierTableOf(10);
  if (!general.table->OpenExclusive(general.path)) {
    general.table->CloseTable(true);
    out.read = false;
    return out;
  }
  // The dossier record as the walk of the general file will leave it: the lines are judged by it.
  // The collective record of each letter as the totals step's seek of it finds it (the first one,
  // cancelled or not).
  DossierRecord record = TheDossierRecord;
  std::map<char, std::string> collectives;
  Table& c10 = *general.table;
  out.read = ScanRecords(c10, [&](std::uint32_t, const std::uint8_t* r) {
    const std::string kind = FieldTextOf(c10, 1, r);
    if (kind[0] == 'B') {
      const std::string code = Trimmed(FieldTextOf(c10, 2, r));
      if (code.size() == 1) collectives.emplace(code[0], CollectiveAccountOf(FieldTextOf(c10, 4, r)));
    }
    if (r[0] == '*') return;
    if (kind[0] == '0') {
      record.Set(1, 30, FieldTextOf(c10, 3, r));
      record.Set(31, 254, FieldTextOf(c10, 4, r));
      record.Set(285, 254, FieldTextOf(c10, 5, r));
    } else if (kind[0] == 'P') {
      record.Set(539, 252, FieldTextOf(c10, 4, r));
      record.Set(791, 252, FieldTextOf(c10, 5, r));
    }
  });
  general.table->CloseTable(true);
  const LineRules rules = LineRules::Of(record);
  std::unordered_map<std::string, std::string> renewed;  // month + day as stored -> the month kept
  std::string kind, month, day, journal;
  for (int number : {40, 50}) {
    const DossierTableRef ref = DossierTableOf(number);
    // A dossier that never validated anything may have no closed file.
    if (!out.read || !platform::FileExists(platform::ResolvePath(ref.path + ".dbf"))) continue;
    Table& t = *ref.table;
    const bool closed = number == 40;
    const LineFields f(closed);
    const char source = closed ? LigneTri::kClosed : LigneTri::kDraft;
    std::uint32_t cancelled = 0;
    out.read = t.OpenExclusive(ref.path) && ScanRecords(t, [&](std::uint32_t recno, const std::uint8_t* r) {
      if (r[0] == '*') {
        ++cancelled;
        return;
      }
      const StoredLine line{t, r};
      FieldTextOf(t, f.month, r, month);
      FieldTextOf(t, f.day, r, day);
      auto known = renewed.find(month + day);
      if (known == renewed.end()) known = renewed.emplace(month + day, RenewedDate(month + day).substr(0, 4)).first;
      const LineFate fate = FateOfLine(line, closed, rules, known->second);
      if (fate.removed) return;
      FieldTextOf(t, 1, r, kind);
      FieldTextOf(t, f.journal, r, journal);
      const char sense = FieldTextOf(t, f.sense, r)[0];
      bool readable = true;
      const long long francs = line.Cents(f.francs, &readable), euros = line.Cents(f.francs + 1, &readable);
      if (readable || !hold) out.plan.AddLine(kind[0], source, fate.month, journal, fate.account, sense, francs, euros);
      if (readable) return;
      // Named, and the totals it feeds held: what it holds is for the user to put right.
      const std::uint32_t kept = pack ? recno - cancelled : recno;
      out.unreadable.push_back({source, kept, line.Text(f.piece), fate.account});
      WriteLog(FillPlaceholders(LoadStr(kLogUnreadableAmount),
                                {closed ? "C40" : "C50", std::to_string(kept), StoredRecordText(t, r)}));
      if (hold) out.plan.HoldLine(kind[0], month, fate.month, journal, fate.account);
    });
    t.CloseTable(true);
  }
  if (out.read) {
    out.plan.FindCollectives(collectives);
    out.tooLarge = out.plan.TooLarge();
  }
  return out;
}

class RebuildRun {
 public:
  RebuildRun(bool rebalance, bool pack, MaintenanceProgress& show, const RebuildBeforeChange& before)
      : rebalance_(rebalance), pack_(pack), show_(show), before_(before) {}

  RebuildReport Run();

 private:
  // The steps under the marker; `keep_` set when the marker must stay for the next opening.
  void Work();
  void KeepMarker() { keep_ = true; }
  void Record(int code) {
    if (report_.code == 0) report_.code = code;
  }
  // A write of the run refused by the engine: the run records it (its code, the file and, when
  // the disk is full, that it is) and goes no further.
  bool Refuse(int code, const std::string& file, int result) {
    if (report_.refusal.empty()) report_.refusal = refusal_.Reason(code, file, result);
    Record(code);
    refused_ = true;
    return false;
  }
  bool Wrote(Table& t, bool written) { return written || Refuse(kRebuildWriteRefused, t.tablePath, t.result); }
  void Remove(Table& t, const char* name) {
    WriteLog(RemovedRecordLogText(name, t));
    if (Wrote(t, t.DeleteRecord(nullptr, 0))) ++report_.removed;
  }
  // Opens table `number` for its walk; false (error recorded) when it cannot.
  bool WalkTable(int number);
  void VisitC10(Table& t);
  void VisitC20(Table& t);
  void VisitC30(Table& t);
  void VisitLine(Table& t, bool closed);
  void RefillC60();
  bool ReopenOnCodeTags();
  void RemoveDuplicateCodes(int number, const char* tag);
  void RemoveDuplicateAnalyticLines();

  bool rebalance_;
  bool pack_;
  MaintenanceProgress& show_;
  const RebuildBeforeChange& before_;
  RebuildReport report_;
  // The lines as read before the run: the totals they give and those held.
  LinesRead lines_;
  LineRules rules_;
  bool refilled_ = false;
  bool refused_ = false;  // a write was refused: the run stops at the next step
  bool keep_ = false;
  // The write the system refused first, named by the run's message in its own box alone.
  RefusalWatch refusal_{RefusalWatch::EngineBoxes::kHeld};
};

RebuildReport RebuildRun::Run() {
  // The refill writes six-digit pointers: a larger line table is refused before any write.
  report_.reindex.dataPath = FindOverfullLineTable(&report_.reindex.table);
  if (!report_.reindex.dataPath.empty()) {
    report_.code = kRebuildTooManyLines;
    report_.reindex.outcome = PackOutcome::TableFailed;
    return report_;
  }

  // One read of the lines before any change: a total that the lines would take past what its field
  // holds refuses the run; the lines whose amount does not read are said before anything changes.
  lines_ = ReadLinesBeforeTheRun(pack_, true);
  report_.unreadable = lines_.unreadable;
  report_.refusal = lines_.tooLarge;
  if (!report_.refusal.empty()) {
    report_.code = kRebuildTotalsTooLarge;
    return report_;
  }
  if (before_) before_(report_);

  // From here on the tables change: a run stopped half-way is named at the next opening. The
  // rebuild is made to work over lines whose amount does not read: it named them above and leaves
  // them out of the totals it makes.
  DossierRunMarker marker(BooksReading{}, kRebuildRun, LoadStr(kTitleRebuildRun), RebuildRunDetail(rebalance_, pack_),
                          UnreadAmountsMet::kWorkedOver);
  if (!marker.written()) {
    report_.code = kRebuildMarkerFailed;
    report_.reindex = PackResult{};
    report_.reindex.outcome = PackOutcome::MarkerFailed;
    report_.reindex.dataPath = marker.path();
    if (DossierRunMarkerRefusedForRoom(marker.path())) report_.refusal = DiskFullText(marker.path());
    return report_;
  }
  Work();
  // A read the system refused left a walk, a reindex or the totals short of a table: the run
  // did not go to its end, and the next opening runs it again.
  if (refusal_.ReadRefused()) {
    if (report_.refusal.empty()) report_.refusal = refusal_.Reason(kRebuildReadRefused, "", 0);
    Record(kRebuildReadRefused);
    report_.totalsRebuilt = false;
    keep_ = true;
  }
  // A step that stopped on a table it could not open, drop or refill says the change the
  // system refused meanwhile, when it refused one, rather than the step's number alone.
  if (report_.code != 0 && report_.refusal.empty() && refusal_.HasReason())
    report_.refusal = refusal_.Reason(report_.code, "", 0);
  if (keep_) {
    // Left for the next opening, which runs the rebuild again; a run inside another leaves the
    // decision to the outer run (which puts its copies back).
    report_.markerKept = marker.owner();
    marker.Keep();
  }
  return report_;
}

void RebuildRun::Work() {

  // First reindex.
  PackResult first = PackAndReindexTables(pack_, &show_);
  if (first.outcome == PackOutcome::OldGeneration || first.outcome == PackOutcome::TableDamaged ||
      first.outcome == PackOutcome::RenumberPending || first.outcome == PackOutcome::MarkerFailed) {
    report_.code = first.outcome == PackOutcome::OldGeneration   ? kRebuildOldGeneration
                   : first.outcome == PackOutcome::TableDamaged ? kRebuildDamagedTable
                   : first.outcome == PackOutcome::MarkerFailed ? kRebuildMarkerFailed
                                                                : kRebuildRenumberPending;
    report_.reindex = first;
    return;
  }
  if (!first.ok()) {
    Record(kRebuildFirstReindex);
    report_.reindex = first;
    if (report_.refusal.empty()) report_.refusal = first.refusal;
  }
  // A pack refused (a disk too full for the packed copy) leaves its table as it was, and the
  // tables after it unpacked: the run stops there, before its walks change anything. A table
  // left without its tags, or line records moved by the pack before the refusal (their sort
  // records point at the old places until the refill), is mended by the rebuild at the next
  // opening.
  if (first.packFailures > 0 || first.tagFailures > 0) {
    Refuse(kRebuildPackRefused, first.packFailedPath, first.packResult);
    report_.reindex = first;
    if (first.tagFailures > 0 || first.linesPacked) KeepMarker();
    return;
  }

  // The progress total: each line walked, then given its sort record.
  const long total = static_cast<long>(CountOf(10)) + 2L * CountOf(20) + 2L * CountOf(30) + 2L * CountOf(40) +
                     2L * CountOf(50);
  show_.SetTotal(total);

  // Record walks.
  // From the walks on the tables are half mended until the totals are made again: a run that
  // does not get there leaves its marker, and the next opening runs the rebuild again.
  keep_ = true;
  for (int number = 10; number <= 50 && report_.code == 0; number += 10) WalkTable(number);
  const bool walked = report_.code == 0;

  // Second reindex, always.
  for (int number = 10; number <= 50; number += 10) DossierTableOf(number).table->CloseTable(true);
  PackResult second = PackAndReindexTables(pack_, &show_);
  if (!second.ok()) {
    report_.code = kRebuildSecondReindex;
    report_.reindex = second;
    if (report_.refusal.empty()) report_.refusal = second.refusal;
  } else if (second.packFailures > 0 || second.tagFailures > 0) {
    Refuse(kRebuildPackRefused, second.packFailedPath, second.packResult);
    report_.reindex = second;
  }

  // Refill of the sort file: the walks deleted the journal headers and
  // zeroed the totals, so it goes on after a failed second reindex as long as
  // its own tables open.
  if (walked) RefillC60();

  // Code tags, duplicates, totals.
  CloseAllTables();
  // Lines that could not be read before the run (a table its first reindex had to mend) are read
  // now, as the walks left them: their totals were emptied, none is held.
  if (refilled_ && !lines_.read) {
    lines_ = ReadLinesBeforeTheRun(false, false);
    report_.unreadable = lines_.unreadable;
  }
  const bool reopened = refilled_ && ReopenOnCodeTags();
  if (report_.code == 0 && reopened) {
    RemoveDuplicateCodes(20, "C20CODE");
    RemoveDuplicateCodes(30, "C30CODE");
    const char mode = TheDossierRecord.AnalyticMode();
    if (mode == '1' || mode == '2') RemoveDuplicateAnalyticLines();
  }
  // The totals need only the sort file refilled and the tables on their tags:
  // a late error (a table refused on its tag is not one of these) does not
  // leave the dossier with zeroed totals and no journal headers.
  if (refilled_ && reopened && !refused_) {
    // The sums of the lines as read before the run, which the walks have not changed.
    TotalsWriteFault fault = lines_.read ? RecomputeDossierTotals(lines_.plan, &show_) : TotalsWriteFault{"", -1, ""};
    if (!lines_.read) Record(kRebuildReadRefused);
    // Totals made from a table read short are not balanced with lines of their own.
    if (!fault.failed() && !refusal_.ReadRefused()) {
      report_.balance = VerifyJournalBalances(rebalance_, &show_, &lines_.plan);
      fault = report_.balance.fault;
    }
    if (!fault.tooLarge.empty()) {
      // A total its field cannot hold: named as it is, never as a refused write.
      if (report_.refusal.empty()) report_.refusal = fault.tooLarge;
      Record(kRebuildTotalsRefused);
      refused_ = true;
    } else if (fault.failed()) {
      Refuse(kRebuildTotalsRefused, fault.file, fault.result);
    } else {
      report_.totalsRebuilt = true;
    }
  }
  // A second reindex cut short (an index file's removal refused) left tables on their old tags:
  // the next opening runs the rebuild again, even with the totals made.
  keep_ = !report_.totalsRebuilt || !second.ok();

  // Every table closed at the end.
  CloseAllTables();
}

bool RebuildRun::WalkTable(int number) {
  const DossierTableRef ref = DossierTableOf(number);
  Table& t = *ref.table;
  if (!t.OpenExclusive(ref.path)) {
    Record(5000 + number);
    return false;
  }
  const std::uint32_t count = t.RecCount();
  if (count == 0) return true;
  // The lines are judged by the dossier record as the walk of the general file left it.
  if (number >= 40) rules_ = LineRules::Of(TheDossierRecord);
  show_.SetLine(ref.path);
  show_.SetLine2(std::string(FormatNumber(6, 0, false, count)) + " enregistrement(s)");
  for (std::uint32_t r = 1; r <= count && !refused_; ++r) {
    // A record not read stops the walk; the run's watch of refused reads fails the run with it.
    if (!t.GoToRecord(static_cast<long>(r)).FoundOrNone()) break;
    show_.Step();
    // A mark not read stops the walk as a record not read does, said and kept by the run's watch.
    const Lookup live = LiveOrSaid(t);
    if (live.IsRefused()) break;
    if (live.IsNotFound()) continue;
    switch (number) {
      case 10: VisitC10(t); break;
      case 20: VisitC20(t); break;
      case 30: VisitC30(t); break;
      case 40: VisitLine(t, true); break;
      default: VisitLine(t, false); break;
    }
  }
  return true;
}

void RebuildRun::VisitC10(Table& t) {
  const char kind = t.GetField(1)[0];
  switch (kind) {
    case '0': {
      const char level = TheDossierRecord.At(DossierRecord::kUserLevelPos);
      TheDossierRecord.Set(1, 30, t.GetField(3));
      TheDossierRecord.Set(31, 254, t.GetField(4));
      TheDossierRecord.Set(285, 254, t.GetField(5));
      TheDossierRecord.SetAt(DossierRecord::kUserLevelPos, level);
      return;
    }
    case 'P':
      TheDossierRecord.Set(539, 252, t.GetField(4));
      TheDossierRecord.Set(791, 252, t.GetField(5));
      return;
    case 'B': case 'Q': case 'V': case 'M': case 'J': case 'E': case 'L': case 'T':
      return;
    case 'C':
      // Journal-month headers are built again from the lines, but those of a journal-month that
      // holds a line whose amount does not read, which stay as they are.
      if (!lines_.plan.HeldMonth(PadRight(t.GetField(2), 7))) Wrote(t, t.DeleteRecord(nullptr, 0));
      return;
    default:
      Remove(t, "C10");
  }
}

void RebuildRun::VisitC20(Table& t) {
  const char* code = t.GetField(1);
  if (IsDigitChar(code[0])) {
    if (!Wrote(t, Renew(t, 1, GeneralAccount(code)))) return;
  } else if (!IsCapital(code[0])) {
    Remove(t, "C20");
    return;
  }
  // An account fed by a line whose amount does not read keeps its totals as they are.
  if (lines_.plan.HeldAccount(t.GetField(1))) return;
  Wrote(t, ZeroTotals(t, 17));
}

void RebuildRun::VisitC30(Table& t) {
  const char first = t.GetField(1)[0];
  if (!IsDigitChar(first) && !IsCapital(first)) {
    Remove(t, "C30");
    return;
  }
  if (lines_.plan.HeldSection(t.GetField(1))) return;
  Wrote(t, ZeroTotals(t, 9));
}

// The rules of an entry line, closed (C40) or draft (C50); a rule that
// deletes ends the line's treatment.
void RebuildRun::VisitLine(Table& t, bool closed) {
  const LineFields fields(closed);
  const int monthField = fields.month, accountField = fields.account;
  const int numberField = closed ? 19 : 6, subNumberField = closed ? 20 : 7;
  const int secondDateField = closed ? 11 : 15;
  const char* name = closed ? "C40" : "C50";

  // The year of the date encoded anew, then the rules that delete a line.
  const LineFate fate = FateOfLine(CurrentLine{t}, closed, rules_);
  if (!Wrote(t, Renew(t, monthField, fate.month))) return;
  if (fate.removed) {
    Remove(t, name);
    return;
  }
  if (fate.untouched) return;
  const char kind = t.GetField(1)[0];
  const bool firstOfAxis = kind == 'V' || kind == 'X';
  // A general account completed.
  if (!Wrote(t, Renew(t, accountField, fate.account))) return;
  // Line numbers.
  if (IsBlank(t.GetField(numberField)) && !Wrote(t, Renew(t, numberField, "0001"))) return;
  if (!closed && firstOfAxis) {
    if (!Wrote(t, Renew(t, subNumberField, ""))) return;
  } else if (IsBlank(t.GetField(subNumberField)) && !Wrote(t, Renew(t, subNumberField, "0001"))) {
    return;
  }
  // The second date.
  const std::string second = t.GetField(secondDateField);
  Wrote(t, Renew(t, secondDateField, second.find(' ') != std::string::npos ? std::string() : RenewedDate(second)));
}

void RebuildRun::RefillC60() {
  TotalsWriteFault fault;
  const int code = RefillSortFile(&show_, &fault);
  if (code == 0) refilled_ = true;
  else if (fault.failed()) Refuse(code, fault.file, fault.result);
  else Record(code);
}

bool RebuildRun::ReopenOnCodeTags() {
  static constexpr const char* kTags[] = {"C10CODE", "C20CODE", "C30CODE", "C40CODE", "C50CODE", "C60CODE"};
  for (int i = 0; i < 6; ++i) {
    const DossierTableRef ref = DossierTableOf(10 * (i + 1));
    if (!ref.table->OpenExclusive(ref.path, kTags[i])) {
      ref.table->CloseTable(true);
      Record(5110 + 10 * i);
      return false;
    }
  }
  return true;
}

void RebuildRun::RemoveDuplicateCodes(int number, const char* tag) {
  Table& t = *DossierTableOf(number).table;
  show_.SetLine(DossierTableOf(number).path);
  show_.RestartTicker();
  t.GoTop(tag);
  bool more = t.SkipActive(false);
  std::string previous;
  bool first = true;
  while (more && !refused_) {
    show_.Step();
    const std::string code = t.GetField(1);
    show_.Tick(RTrim(code.c_str()), false);
    if (!first && code == previous) Remove(t, number == 20 ? "C20" : "C30");
    else previous = code;
    first = false;
    more = t.SkipActive(true);
  }
  show_.Tick("", true);
}

void RebuildRun::RemoveDuplicateAnalyticLines() {
  Table& c50 = *TableC50;
  Table& c60 = *TableC60;
  show_.SetLine(PathC50());
  c50.GoTop("C50ANAL");
  bool more = c50.SkipActive(false);
  std::string previous;
  bool first = true;
  while (more && !refused_) {
    std::string key;
    for (int f : {2, 3, 4, 22, 6, 1, 7}) key += c50.GetField(f);
    const char kind = c50.GetField(1)[0];
    if (!first && key == previous && (kind == 'V' || kind == 'X')) {
      const std::uint32_t recno = c50.RecNo();
      Remove(c50, "C50");
      if (!refused_ && LigneTri::Find(c60, LigneTri::kDraft, recno)) Wrote(c60, c60.DeleteRecord(nullptr, 0));
    }
    previous = key;
    first = false;
    more = c50.SkipActive(true);
  }
  c50.SetOrder("C50CODE");
  c60.SetOrder("C60CODE");
}

}  // namespace

namespace {

// One sort record per physical line, in physical order; a deleted line gets
// a deleted sort record so that C60 keeps one record per line.
bool AppendSortRecords(Table& lines, bool closed, Table& c60, MaintenanceProgress& show) {
  const std::uint32_t count = lines.RecCount();
  if (count == 0) return true;
  show.SetLine(lines.tablePath.substr(0, lines.tablePath.size() - 4));
  show.SetLine2(std::string(FormatNumber(6, 0, false, count)) + " enregistrement(s)");
  const char source = closed ? LigneTri::kClosed : LigneTri::kDraft;
  // The records are written in batches: one write for many lines.
  constexpr std::uint32_t kBatch = 8192;
  for (std::uint32_t r = 1; r <= count; ++r) {
    // A record not read stops the walk; the rebuild's watch of refused reads fails it with it.
    if (!lines.GoToRecord(static_cast<long>(r)).FoundOrNone()) break;
    show.Step();
    // A mark not read stops the walk as a record not read does, said and kept by the rebuild's watch.
    const Lookup live = LiveOrSaid(lines);
    if (live.IsRefused()) break;
    const bool deleted = live.IsNotFound();
    c60.AppendBlank();
    DeriveLigneTri(lines, source, c60);
    c60.QueueRecord(deleted);
    if (c60.QueuedCount() == kBatch && !c60.AppendQueued()) return false;
  }
  return c60.AppendQueued();
}

}  // namespace

int RefillSortFile(MaintenanceProgress* progress, TotalsWriteFault* refused) {
  MaintenanceProgress none;
  MaintenanceProgress& show = progress != nullptr ? *progress : none;
  TotalsWriteFault ignored;
  TotalsWriteFault& fault = refused != nullptr ? *refused : ignored;
  fault = {};
  Table& c60 = *TableC60;
  const std::string path = PathC60();
  if (!c60.OpenExclusive(path)) return kRebuildRefillC60;
  show.SetLine(path);
  show.SetLine2("RAZ");
  if (!c60.Zap()) {
    fault = {c60.tablePath, c60.result};
    c60.CloseTable(true);
    return kRebuildRefillC60;
  }
  // The records go in without an index to maintain; the tags are built once
  // at the end, which gives the same index far sooner.
  c60.CloseTable(true);
  const bool dropped = DropProductionIndex(path);
  if (!dropped || !c60.OpenExclusive(path)) {
    c60.CloseTable(true);
    return kRebuildRefillC60;
  }

  for (int number : {40, 50}) {
    const DossierTableRef ref = DossierTableOf(number);
    if (!ref.table->OpenExclusive(ref.path)) {
      ref.table->CloseTable(true);
      c60.CloseTable(true);
      return number == 40 ? kRebuildRefillC40 : kRebuildRefillC50;
    }
    const bool appended = AppendSortRecords(*ref.table, number == 40, c60, show);
    ref.table->CloseTable(true);
    if (!appended) {
      fault = {c60.tablePath, c60.result};
      c60.CloseTable(true);
      return kRebuildRefillC60;
    }
  }
  c60.CloseTable(true);
  const bool tagged = c60.OpenExclusive(path) && BuildIndexesOf(c60, TableKind::C60);
  if (!tagged && c60.isOpen) fault = {c60.tablePath, c60.result};
  c60.CloseTable(true);
  return tagged ? 0 : 5160;
}

std::string RebuildRunDetail(bool rebalance, bool pack) {
  return std::string("reequilibrage=") + (rebalance ? "O" : "N") + " compactage=" + (pack ? "O" : "N");
}

void ReadRebuildRunDetail(const std::string& detail, bool* rebalance, bool* pack) {
  *rebalance = detail.find("reequilibrage=O") != std::string::npos;
  // A marker without the word packs, as the command does.
  *pack = detail.find("compactage=N") == std::string::npos;
}

std::string RemovedRecordLogText(const char* tableName, Table& table) {
  const std::uint32_t recno = table.RecNo();
  const std::string text = RTrim(table.RecordToText(table.FieldCount()));
  return FillPlaceholders(LoadStr(kLogRecordRemoved), {tableName, std::to_string(recno), text});
}

RebuildReport RunDossierRebuild(bool rebalance, bool pack, MaintenanceProgress* progress,
                                const RebuildBeforeChange& before) {
  MaintenanceProgress none;
  RebuildRun run(rebalance, pack, progress != nullptr ? *progress : none, before);
  return run.Run();
}
