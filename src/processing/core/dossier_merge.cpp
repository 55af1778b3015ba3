#include "processing/core/dossier_merge.h"

#include <utility>
#include <optional>
#include <set>
#include <vector>

#include "data/account_totals.h"
#include "data/aside_copies.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/session.h"
#include "data/table_results.h"
#include "data/table_structures.h"
#include "data/unread_amounts.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "posting/journal_month.h"
#include "platform/system/clock.h"
#include "platform/system/files.h"
#include "processing/core/matching_lines.h"
#include "processing/core/transfer_tables.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace processing {

namespace {

using L = LigneEcriture;
using F = DossierRecord::DateField;

constexpr const char* kCodeKinds = "BQVMJELT";
// C20: the previous year's debit and credit (francs, euros) and the budget; C30 the same six.
constexpr int kAccountFigures[] = {21, 22, 23, 24, 28, 29};
constexpr int kSectionFigures[] = {13, 14, 15, 16, 17, 18};
constexpr std::uint32_t kBatch = 10000;
// A previous-year or budget figure the two dossiers together take past its field (%s: the account or
// section, the amount, its currency).
constexpr int kMsgAccountFigureTooLarge = 36545;
constexpr int kMsgSectionFigureTooLarge = 36546;
constexpr int kWordFrancs = 36503, kWordEuros = 36504;
// A write refused, not for a full disk: the text that names the file not written.
constexpr int kMsgFileNotWritten = 29230;

// The texts of the check, the run and its end, by their ids in the string table.
constexpr int kMsgNoCode = 29051;
constexpr int kMsgBadCharacter = 29052;     // the character
constexpr int kMsgDossierOpen = 29053;      // the dossier's code, and so on below
constexpr int kMsgNoDossier = 29054;
constexpr int kMsgInterruptedRun = 29258;
constexpr int kMsgOpenItFirst = 29259;
constexpr int kMsgBadDossier = 29055;
constexpr int kMsgNotConverted = 29056;
constexpr int kMsgNoDossierRecord = 29228;
constexpr int kTextYear = 29057;            // "Exercice du %s au %s"
constexpr int kMsgCannotMerge = 29216;
constexpr int kMsgNotOpened = 29229;        // the file
constexpr int kMsgBadFirstDate = 29217;
constexpr int kMsgBadLastDate = 29218;
constexpr int kPhaseCodes = 29220;          // the phases, each with the file it reads on the line below
constexpr int kPhaseAccounts = 29221;
constexpr int kPhaseEntries = 29222;
constexpr int kPhaseCopies = 29255;
constexpr int kTitleMergeRun = 29200;       // the run as its copies name it
constexpr int kLogDone = 29223;             // the other dossier's code and folder, the period merged
constexpr int kLogDoneCodesOnly = 32614;    // the other dossier's code and folder
constexpr int kLogFailed = 32615;           // the error code, then as kLogDone
constexpr int kLogFailedCodesOnly = 32616;  // the error code, then as kLogDoneCodesOnly
constexpr int kMsgDoneCodesOnly = 29224;
constexpr int kMsgDone = 29225;
constexpr int kMsgFailed = 29226;           // the error code, or the error in words
constexpr int kMsgPutBack = 29256;
constexpr int kMsgLeftForTheOpening = 29257;

const char* Text(int id) { return LoadStr(id); }

bool InPeriod(const std::string& date, const std::string& from, const std::string& to) {
  return date >= from && date <= to;
}

// The stored form of a date typed DD/MM/YY; "" when it is not a date.
std::string Stored(const std::string& display) {
  Ymd day;
  if (!ParseDisplayDate(display, day) || !IsValidYmd(day)) return {};
  return StoredDateOf(day);
}

// The tables of a run: the open dossier's written alone, the other's read.
struct MergeTables {
  Table c10, c20, c30, c50;        // the open dossier's
  Table o10, o20, o30, o40, o50;   // the other's
};

class MergeWork {
 public:
  MergeWork(const MergeRequest& request, MergeResult& result,
            const std::function<void(const std::string&, const std::string&)>& step, const RefusalWatch& refusal)
      : request_(request), r_(result), step_(step), refusal_(refusal) {}

  // Every table the run needs, opened before anything is written: its own alone, the other's
  // shared for reading.
  bool Open() {
    const OtherDossier& o = request_.other;
    r_.code = OpenRunTables({{&t_.c10, PathC10(), "C10CODE", true, 1},
                          {&t_.c20, PathC20(), "C20CODE", true, 2},
                          {&t_.c30, PathC30(), "C30CODE", true, 3},
                          {&t_.c50, PathC50(), "", true, 5},
                          {&t_.o10, OtherPathC10(o), "C10CODE", false, 1},
                          {&t_.o20, OtherPathC20(o), "", false, 2},
                          {&t_.o30, OtherPathC30(o), "", false, 3},
                          {&t_.o40, OtherPathC40(o), "", false, 4},
                          {&t_.o50, OtherPathC50(o), "", false, 5}},
                            kMergeOpen, &r_.error);
    return r_.code == 0;
  }

  // The lines of the period the run would add, their amounts read.
  long CountLines() {
    if (request_.codesOnly) return 0;
    long n = 0;
    for (bool closed : {true, false}) {
      Table& t = closed ? t_.o40 : t_.o50;
      for (bool more = t.GoTop(); more; more = t.Skip(1)) {
        // A mark not read ends the count, said and kept by the run's watch, which fails the run.
        const Lookup live = LiveOrSaid(t);
        if (live.IsRefused()) return n;
        if (live.IsNotFound() || !InPeriod(LineDate(t, closed), from_, to_)) continue;
        ReadLineAmounts(t, closed);
        ++n;
      }
    }
    return n;
  }

  // The figures the accounts and sections phases add, read with those of the open dossier they are
  // added to, and each sum checked against its field: false, nothing written, naming the first one
  // its field cannot hold.
  bool CheckFigures() {
    return Sums(t_.o20, t_.c20, "C20CODE", kAccountWidth, kAccountFigures, 2) &&
           Sums(t_.o30, t_.c30, "C30CODE", 0, kSectionFigures, 3);
  }

  long DraftRecords() { return static_cast<long>(t_.c50.RecCount()); }
  std::string DraftFile() const { return t_.c50.tablePath; }

  void SetPeriod(const std::string& from, const std::string& to) {
    from_ = from;
    to_ = to;
  }

  int Run() {
    if (request_.codesOnly && !Codes()) return r_.code;
    if (!Figures(t_.o20, t_.c20, "C20CODE", kAccountWidth, kAccountFigures, 2, &r_.accounts)) return r_.code;
    if (!Figures(t_.o30, t_.c30, "C30CODE", 0, kSectionFigures, 3, &r_.sections)) return r_.code;
    if (request_.codesOnly) return 0;
    if (!Lines(t_.o40, true) || !Lines(t_.o50, false) || !Journals()) return r_.code;
    return 0;
  }

  void Close() {
    for (Table* t : {&t_.c10, &t_.c20, &t_.c30, &t_.c50, &t_.o10, &t_.o20, &t_.o30, &t_.o40, &t_.o50})
      t->CloseTable(true);
  }

 private:
  // The write refused on `path`; `result`, the engine's code, says when the disk is full.
  // A look-up of `t` the system refused: the run fails naming the file.
  bool Unread(Table& t, const Lookup& found) { return Fail(1, t.tablePath, found.result()); }
  bool Fail(int table, const std::string& path, int result = 0) {
    r_.code = kMergeWrite + table;
    r_.error = TransferRefusalText(refusal_, r_.code, path, result);
    return false;
  }
  void Step(int first, Table& read) {
    if (step_) step_(Text(first), read.tablePath);
  }

  // Phase 1: the codes of the kinds that describe the books; a code in both takes the other's.
  bool Codes() {
    Step(kPhaseCodes, t_.o10);
    const FieldMap map(t_.o10, t_.c10, 3);
    for (bool more = t_.o10.GoTop(""); more; more = t_.o10.Skip(1)) {
      const Lookup live = LiveOrSaid(t_.o10);
      if (live.IsRefused()) return Fail(1, t_.o10.tablePath, live.result());
      if (live.IsNotFound()) continue;
      const std::string kind = t_.o10.GetField(1);
      if (kind.empty() || std::string(kCodeKinds).find(kind[0]) == std::string::npos) continue;
      const std::string code = t_.o10.GetField(2);
      // A code not read is no code missing: never made twice.
      const Lookup here = posting::FindC10(t_.c10, kind[0], code);
      if (here.IsRefused()) return Unread(t_.c10, here);
      if (here.IsNotFound()) {
        if (!t_.c10.AppendBlank()) return Fail(1, t_.c10.tablePath, t_.c10.result);
        t_.c10.PutField(1, kind.c_str());
        t_.c10.PutField(2, code.c_str());
        if (!map.Copy(t_.o10, t_.c10) || !t_.c10.InsertRecord()) return Fail(1, t_.c10.tablePath, t_.c10.result);
      } else {
        const Lookup there = LiveOrSaid(t_.c10);
        if (there.IsRefused()) return Fail(1, t_.c10.tablePath, there.result());
        if (there.IsNotFound() && !t_.c10.RecallRecord("", 0)) return Fail(1, t_.c10.tablePath, t_.c10.result);
        if (!map.Copy(t_.o10, t_.c10) || !t_.c10.Commit()) return Fail(1, t_.c10.tablePath, t_.c10.result);
      }
      ++r_.codes;
    }
    return true;
  }

  // The sums of CheckFigures for one table: the other's records, each with its own in the open dossier.
  bool Sums(Table& from, Table& to, const char* tag, std::size_t width, const int (&figures)[6], int number) {
    for (bool more = from.GoTop(); more; more = from.Skip(1)) {
      const Lookup live = LiveOrSaid(from);
      if (live.IsRefused()) return Fail(number, from.tablePath, live.result());
      if (live.IsNotFound()) continue;
      std::string code = from.GetField(1);
      if (width != 0) code = PadRight(code, width);
      // A check only: a record not read counts as none here, and the run's watch of refused reads fails it.
      const bool found = to.Find(tag, code.c_str()).FoundOrNone();
      const Lookup toLive = found ? LiveOrSaid(to) : Lookup::NotFound();
      if (toLive.IsRefused()) return Fail(number, to.tablePath, toLive.result());
      for (std::size_t i = 0; i < std::size(figures); ++i) {
        const long long sum = (toLive.IsFound() ? StoredAmountOf(to, figures[i]) : 0) + StoredAmountOf(from, figures[i]);
        if (sum >= kSmallestTotalCents && sum <= kLargestTotalCents) continue;
        r_.code = kMergeWrite + number;
        r_.error = FillPlaceholders(LoadStr(number == 2 ? kMsgAccountFigureTooLarge : kMsgSectionFigureTooLarge),
                                    {Trimmed(code), GroupedAmountText(sum), LoadStr(i % 2 == 0 ? kWordFrancs : kWordEuros)});
        return false;
      }
    }
    return true;
  }

  // Phases 2 and 3: accounts or sections; a new or recalled one starts its six figures at zero,
  // then every one adds the other's previous-year and budget figures (their sums checked, before
  // the run, by CheckFigures).
  bool Figures(Table& from, Table& to, const char* tag, std::size_t width, const int (&figures)[6], int number,
               long* count) {
    Step(kPhaseAccounts, from);
    const FieldMap map(from, to, 2);
    for (bool more = from.GoTop(); more; more = from.Skip(1)) {
      const Lookup live = LiveOrSaid(from);
      if (live.IsRefused()) return Fail(number, from.tablePath, live.result());
      if (live.IsNotFound()) continue;
      std::string code = from.GetField(1);
      if (width != 0) code = PadRight(code, width);
      // A record not read is no record missing: never made twice.
      const Lookup there = to.Find(tag, code.c_str());
      if (there.IsRefused()) return Fail(number, to.tablePath, there.result());
      const bool found = there.IsFound();
      bool fresh = false;
      if (!found) {
        if (!to.AppendBlank()) return Fail(number, to.tablePath, to.result);
        to.PutField(1, code.c_str());
        if (!map.Copy(from, to)) return Fail(number, to.tablePath, to.result);
        fresh = true;
      } else {
        const Lookup toLive = LiveOrSaid(to);
        if (toLive.IsRefused()) return Fail(number, to.tablePath, toLive.result());
        if (toLive.IsNotFound()) {
          if (!to.RecallRecord("", 0)) return Fail(number, to.tablePath, to.result);
          fresh = true;
        }
      }
      for (int f : figures) {
        const long long mine = fresh ? 0 : StoredAmountOf(to, f);
        if (!to.PutFieldNum(f, FromCents(mine + StoredAmountOf(from, f)))) return Fail(number, to.tablePath, to.result);
      }
      if (!(to.appending ? to.InsertRecord() : to.Commit())) return Fail(number, to.tablePath, to.result);
      ++*count;
    }
    return true;
  }

  // Phases 4 and 5: the lines of the period into the draft, without matching letters; the
  // journals they use noted in the order met.
  bool Lines(Table& from, bool closed) {
    Step(kPhaseEntries, from);
    const FieldMap map(from, t_.c50, 2);
    for (bool more = from.GoTop(); more; more = from.Skip(1)) {
      const Lookup live = LiveOrSaid(from);
      if (live.IsRefused()) return Fail(closed ? 4 : 5, from.tablePath, live.result());
      if (live.IsNotFound() || !InPeriod(LineDate(from, closed), from_, to_)) continue;
      if (!t_.c50.AppendBlank()) return Fail(5, t_.c50.tablePath, t_.c50.result);
      t_.c50.PutField(L::BCLE, from.GetField(1));
      if (!map.Copy(from, t_.c50)) return Fail(5, t_.c50.tablePath, t_.c50.result);
      t_.c50.PutField(L::BLET, "");
      t_.c50.PutField(L::BLETE, "");
      const std::string journal = t_.c50.GetField(L::BJAL);
      if (seen_.insert(journal).second) journals_.push_back(journal);
      t_.c50.QueueRecord(false);
      ++r_.lines;
      if (t_.c50.QueuedCount() >= kBatch && !t_.c50.AppendQueued()) return Fail(5, t_.c50.tablePath, t_.c50.result);
    }
    if (!t_.c50.AppendQueued()) return Fail(5, t_.c50.tablePath, t_.c50.result);
    return true;
  }

  // Phase 6: the journals the added lines use and the open dossier lacks, from the other's.
  bool Journals() {
    const FieldMap map(t_.o10, t_.c10, 3);
    for (const std::string& journal : journals_) {
      // A journal not read, in either dossier, is neither left out nor made twice.
      const Lookup there = posting::FindC10(t_.o10, 'J', journal);
      if (there.IsRefused()) return Unread(t_.o10, there);
      if (there.IsNotFound()) continue;
      const Lookup theirs = LiveOrSaid(t_.o10);
      if (theirs.IsRefused()) return Fail(1, t_.o10.tablePath, theirs.result());
      if (theirs.IsNotFound()) continue;
      const Lookup here = posting::FindC10(t_.c10, 'J', journal);
      if (here.IsRefused()) return Unread(t_.c10, here);
      if (here.IsFound()) {
        const Lookup ours = LiveOrSaid(t_.c10);
        if (ours.IsRefused()) return Fail(1, t_.c10.tablePath, ours.result());
        if (ours.IsFound()) continue;
        if (!t_.c10.RecallRecord("", 0) || !map.Copy(t_.o10, t_.c10) || !t_.c10.Commit())
          return Fail(1, t_.c10.tablePath, t_.c10.result);
      } else {
        if (!t_.c10.AppendBlank()) return Fail(1, t_.c10.tablePath, t_.c10.result);
        t_.c10.PutField(1, "J");
        t_.c10.PutField(2, journal.c_str());
        if (!map.Copy(t_.o10, t_.c10) || !t_.c10.InsertRecord()) return Fail(1, t_.c10.tablePath, t_.c10.result);
      }
      ++r_.journals;
    }
    return true;
  }

  const MergeRequest& request_;
  MergeResult& r_;
  const std::function<void(const std::string&, const std::string&)>& step_;
  const RefusalWatch& refusal_;
  MergeTables t_;
  std::string from_, to_;
  std::vector<std::string> journals_;
  std::set<std::string> seen_;
};

}  // namespace

namespace {

// The check; `held`: the caller holds the other dossier already.
MergeSourceCheck CheckSource(const OtherDossier& other, bool held) {
  MergeSourceCheck c;
  c.periodStart = TheDossierRecord.DateStored(F::YearStart);
  c.periodEnd = TheDossierRecord.DateStored(F::YearEnd);
  std::string code = AllTrim(other.code.c_str());
  if (code.size() > 5) code.resize(5);
  c.code = code;
  if (code.empty()) {
    c.first = Text(kMsgNoCode);
    return c;
  }
  if (code.find(' ') != std::string::npos) {
    // The blank, which the message shows as nothing.
    c.first = FillPlaceholder(Text(kMsgBadCharacter), "");
    return c;
  }
  const OtherDossier d{other.folder, code};
  if (IsOpenDossier(d)) {
    c.first = FillPlaceholder(Text(kMsgDossierOpen), code);
    c.clearCode = true;
    return c;
  }
  if (!platform::FileExists(platform::ResolvePath(OtherPathC10(d) + ".dbf"))) {
    c.first = FillPlaceholder(Text(kMsgNoDossier), code);
    return c;
  }
  if (HasInterruptedRun(d)) {
    c.first = FillPlaceholder(Text(kMsgInterruptedRun), code);
    c.second = Text(kMsgOpenItFirst);
    return c;
  }
  // Another station in that dossier: refused with the message of a dossier in use.
  {
    std::optional<DossierHold> hold;
    if (!held) hold.emplace(d.folder, d.code);
    Table c10;
    if ((hold && !hold->held()) || !c10.OpenExclusive(OtherPathC10(d), "C10CODE", true)) {
      c.first = "???";
      c.busy = true;
      return c;
    }
    if (PadRight(c10.FieldName(c10.FieldCount()), 10) != PadRight(std::string(kC10FormatStamp), 10)) {
      c.first = FillPlaceholder(Text(kMsgBadDossier), code);
      c.second = Text(kMsgNotConverted);
      return c;
    }
  }
  if (!LoadDossierRecordOf(d, &c.record)) {
    c.first = FillPlaceholder(Text(kMsgBadDossier), code);
    c.second = Text(kMsgNoDossierRecord);
    return c;
  }
  c.first = code + ": " + RTrim(c.record.Name().c_str());
  c.second = FillPlaceholders(Text(kTextYear), {c.record.DateDisplay(F::YearStart), c.record.DateDisplay(F::YearEnd)});
  const std::string cs = c.periodStart, ce = c.periodEnd;
  const std::string os = c.record.DateStored(F::YearStart), oe = c.record.DateStored(F::YearEnd);
  if (cs <= os && os <= ce) {
    c.periodStart = os;
    c.periodEnd = oe < ce ? oe : ce;
  } else if (cs <= oe && oe <= ce) {
    c.periodStart = cs;
    c.periodEnd = oe;
  } else {
    c.first = FillPlaceholder(Text(kMsgCannotMerge), code);
    c.clearCode = true;
    return c;
  }
  c.ok = true;
  c.beep = false;
  return c;
}

}  // namespace

MergeSourceCheck CheckMergeSource(const OtherDossier& other) { return CheckSource(other, false); }

namespace {

// The current dossier set to another for a while (the paths of its marker and tables).
class CurrentDossier {
 public:
  CurrentDossier(const std::string& folder, const std::string& code) : folder_(DossierFolder), code_(DossierCode) {
    SetDossier(folder, code);
  }
  ~CurrentDossier() { SetDossier(folder_, code_); }
  CurrentDossier(const CurrentDossier&) = delete;
  CurrentDossier& operator=(const CurrentDossier&) = delete;

 private:
  std::string folder_, code_;
};

}  // namespace

GuardedTables::GuardedTables(BooksReading&& reading, const char* run, const std::string& title,
                             const std::string& prefix, const std::string& partner)
    : folder_(DossierFolder),
      code_(AllTrim(DossierCode.c_str())),
      copies_(std::move(reading), run, title, prefix,
              {TableKind::C10, TableKind::C20, TableKind::C30, TableKind::C40, TableKind::C50, TableKind::C60,
               TableKind::C70},
              partner) {
  if (!copies_.ok()) error_ = copies_.error().empty() ? FillPlaceholder(Text(kMsgNotOpened), folder_) : copies_.error();
}

GuardedTables::~GuardedTables() { PutBack(); }

bool GuardedTables::PutBack() {
  // The marker read and written again is that of the guarded dossier.
  CurrentDossier current(folder_, code_);
  return copies_.PutBack();
}

bool GuardedTables::Finish() { return copies_.Finish(); }

std::string GuardedTables::MarkerPath() const {
  CurrentDossier current(folder_, code_);
  return DossierRunMarkerPath();
}

void GuardedTables::Keep() { copies_.Keep(); }

std::string TransferRefusalText(const RefusalWatch& refusal, int code, const std::string& path, int result) {
  const bool seen = refusal.RefusedResult() != 0;
  const std::string file = seen ? refusal.RefusedFile() : path;
  const int refused = seen ? refusal.RefusedResult() : result;
  return refused == kResultDiskFull ? RunIncidentText(code, file, refused)
                                    : FillPlaceholder(Text(kMsgFileNotWritten), file);
}

int OpenRunTables(const std::vector<RunTable>& tables, int base, std::string* error) {
  for (const RunTable& t : tables) {
    const bool opened = t.alone ? t.table->OpenExclusive(t.path, t.tag) : t.table->OpenShared(t.path, t.tag, true);
    if (opened) continue;
    *error = FillPlaceholder(Text(kMsgNotOpened), t.path);
    return base + t.number;
  }
  return 0;
}

bool HasInterruptedRun(const OtherDossier& d) {
  CurrentDossier current(d.folder, d.code);
  return DossierRunMarkerExists();
}

bool PutBackInterruptedTransfer(const std::string& detail) { return PutBackRunCopies(detail); }

std::string MergeDateRefusal(const std::string& from, const std::string& to, const MergeSourceCheck& period,
                             bool end) {
  const std::string first = Stored(from);
  const bool firstOk = !first.empty() && first >= period.periodStart && first <= period.periodEnd;
  if (!end) return firstOk ? std::string() : Text(kMsgBadFirstDate);
  const std::string last = Stored(to);
  const bool lastOk = !last.empty() && last >= period.periodStart && last <= period.periodEnd &&
                      (first.empty() || last >= first);
  return lastOk ? std::string() : Text(kMsgBadLastDate);
}

MergeResult MergeOtherDossier(const MergeRequest& request, const TargetMaintenance& maintenance,
                              const std::function<void(const std::string&, const std::string&)>& step) {
  MergeResult r;
  // Every amount the run reads is watched from its first read: its marker refuses it, before the
  // first write, when one did not read (the lines and the figures it adds are read first).
  BooksReading reading;
  DossierHold hold(request.other.folder, request.other.code);
  if (!hold.held()) {
    r.busy = true;
    r.code = kMergeRefused;
    r.error = OtherDossierBusyText();
    return r;
  }
  MergeSourceCheck check = CheckSource(request.other, true);
  if (!check.ok) {
    r.busy = check.busy;
    r.code = kMergeRefused;
    r.error = check.busy ? OtherDossierBusyText() : check.first;
    return r;
  }
  std::string from = check.periodStart, to = check.periodEnd;
  if (!request.codesOnly) {
    const std::string refusal = MergeDateRefusal(request.from, request.to, check, false) +
                                MergeDateRefusal(request.from, request.to, check, true);
    if (!refusal.empty()) {
      r.code = kMergeRefused;
      r.error = refusal;
      return r;
    }
    from = Stored(request.from);
    to = Stored(request.to);
  }
  // What the rebuild would refuse, refused before anything is written.
  const std::string refusal = maintenance.refusal ? maintenance.refusal() : std::string();
  if (!refusal.empty()) {
    r.code = kMergeRefused;
    r.error = refusal;
    return r;
  }
  // The run says its own failure, in one box: the engine's boxes are held back meanwhile.
  RefusalWatch refused(RefusalWatch::EngineBoxes::kHeld);
  MergeWork work(request, r, step, refused);
  work.SetPeriod(from, to);
  if (!work.Open()) {
    work.Close();
    return r;
  }
  // The draft is the run's own, held alone: its count is read there.
  if (work.DraftRecords() + work.CountLines() > kMaxLineRecords) {
    const std::string file = work.DraftFile();
    work.Close();
    r.code = kMergeRefused;
    r.error = TooManyLinesMessage(file);
    return r;
  }
  const bool sums = work.CheckFigures();
  work.Close();
  if (!sums) return r;
  // The open dossier's tables copied aside before the first change: a run that fails, or that
  // is stopped, leaves the dossier as it was rather than with part of the lines added.
  if (step) step(Text(kPhaseCopies), DossierFolder);
  GuardedTables guard(std::move(reading), kMergeRun, Text(kTitleMergeRun), "ajout-");
  if (!guard.ok()) {
    r.code = kMergeRefused;
    r.error = guard.error();
    return r;
  }
  const int failure = work.Open() ? work.Run() : r.code;
  work.Close();
  if (failure == 0) {
    CloseAllTables();
    const int rebuilt = maintenance.rebuild ? maintenance.rebuild() : 0;
    if (rebuilt != 0) {
      r.code = rebuilt;
      r.error = RebuildFailureText(maintenance, rebuilt, &refused);
    }
  }
  // What was added rests on every table read whole: a read refused on the way fails the run.
  if (r.code == 0 && refused.ReadRefused()) {
    r.code = kMergeRead;
    r.error = refused.Reason(kMergeRead, "", 0);
  }
  if (r.code != 0) {
    CloseAllTables();
    r.putBack = guard.PutBack();
    r.putBackFailed = !r.putBack;
    return r;
  }
  if (!guard.Finish()) {
    // A marker that stays would have the next opening put the tables back: the run is put back now,
    // and says so.
    r.code = kMergeMarker;
    r.error = DossierRunMarkerRemovalRefusal(guard.MarkerPath());
    CloseAllTables();
    r.putBack = guard.PutBack();
    r.putBackFailed = !r.putBack;
  }
  return r;
}

std::string MergeLogLine(const MergeRequest& request, const MergeResult& result) {
  const std::string code = AllTrim(request.other.code.c_str());
  if (result.code == 0)
    return request.codesOnly
               ? FillPlaceholders(Text(kLogDoneCodesOnly), {code, request.other.folder})
               : FillPlaceholders(Text(kLogDone), {code, request.other.folder, request.from, request.to});
  const std::string failure = std::to_string(result.code);
  return request.codesOnly
             ? FillPlaceholders(Text(kLogFailedCodesOnly), {failure, code, request.other.folder})
             : FillPlaceholders(Text(kLogFailed), {failure, code, request.other.folder, request.from, request.to});
}

std::string MergeEndMessage(const MergeRequest& request, const MergeResult& result) {
  if (result.code == 0) return Text(request.codesOnly ? kMsgDoneCodesOnly : kMsgDone);
  // The error in words when there are some; its code, which the log keeps, only otherwise.
  return FillPlaceholder(Text(kMsgFailed), result.error.empty() ? StrInt(result.code, 5) : result.error) +
         (result.putBack ? Text(kMsgPutBack) : result.putBackFailed ? Text(kMsgLeftForTheOpening) : std::string());
}

}  // namespace processing
