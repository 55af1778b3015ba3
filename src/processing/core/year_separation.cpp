#include "processing/core/year_separation.h"

#include <utility>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "data/unread_amounts.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "platform/system/files.h"
#include "posting/journal_month.h"
#include "processing/core/dossier_merge.h"
#include "processing/core/transfer_tables.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace processing {

namespace {

using L = LigneEcriture;
using F = DossierRecord::DateField;

constexpr const char* kCodeKinds = "BQVMJELT";
// Figures an appended account or section starts without: the year's totals, the previous
// year's and the budget (C20 17-24, 28, 29; C30 9-18).
constexpr int kAccountFigures[] = {17, 18, 19, 20, 21, 22, 23, 24, 28, 29};
constexpr int kSectionFigures[] = {9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
constexpr std::uint32_t kBatch = 10000;
constexpr int kMsgPartnerOutOfReach = 31102;
// The other texts of the run and its end, by their ids in the string table.
constexpr int kPhaseReadLines = 29260;         // the phases, each with the file it reads or writes below it
constexpr int kPhaseCodes = 29261;
constexpr int kPhaseAccounts = 29262;
constexpr int kPhaseMoveLines = 29263;
constexpr int kPhaseRemoveLines = 29264;
constexpr int kPhaseCopies = 29255;
constexpr int kMsgBadDossier = 29055;          // the other dossier's code
constexpr int kMsgInterruptedRun = 32613;      // the other dossier's code, then how to mend it
constexpr int kMsgPiecesAfterYear = 29251;     // the other dossier's code
constexpr int kMsgPiecesWithSections = 29254;  // the other dossier's code
constexpr int kTitleSeparationRun = 29240;     // the run as its copies name it
constexpr int kLogDone = 29247;                // the new year's code and folder, the date, the pieces and lines
constexpr int kLogFailed = 32621;              // the error code, then as kLogDone
constexpr int kMsgDone = 29248;
constexpr int kMsgFailed = 29249;              // the error code, or the error in words
constexpr int kMsgBothPutBack = 29265;
constexpr int kMsgLeftForTheOpening = 29257;

const char* Text(int id) { return LoadStr(id); }

// A line file of a dossier: closed (C40) or draft (C50) and the fields that differ.
struct LineFile {
  bool closed;
  int number, journal, piece, account, letterF, letterE;
};
constexpr LineFile kClosed{true, 4, L::DJAL, L::DPIECE, L::DCODE, L::DLET, L::DLETE};
constexpr LineFile kDraft{false, 5, L::BJAL, L::BPIECE, L::BCODE, L::BLET, L::BLETE};

// A lettered line: where it lies and the group of its letter in one currency.
struct LetteredLine {
  bool closed;
  std::uint32_t recno;
  int group;
  int field;
};

struct Group {
  std::string name;  // account and letter, for the log
  long moved = 0, kept = 0;
  bool Cut() const { return moved != 0 && kept != 0; }
};

class SeparationWork {
 public:
  SeparationWork(const SeparationRequest& request, SeparationResult& result,
                 const std::function<void(const std::string&, const std::string&)>& step,
                 const RefusalWatch& refusal)
      : request_(request), r_(result), step_(step), refusal_(refusal) {}

  bool Open() {
    const OtherDossier& o = request_.other;
    r_.code = OpenRunTables({{&c10_, PathC10(), "C10CODE", true, 1},
                             {&c20_, PathC20(), "C20CODE", true, 2},
                             {&c30_, PathC30(), "C30CODE", true, 3},
                             {&c40_, PathC40(), "", true, 4},
                             {&c50_, PathC50(), "", true, 5},
                             {&o10_, OtherPathC10(o), "C10CODE", true, 1},
                             {&o20_, OtherPathC20(o), "C20CODE", true, 2},
                             {&o30_, OtherPathC30(o), "C30CODE", true, 3},
                             {&o40_, OtherPathC40(o), "", true, 4},
                             {&o50_, OtherPathC50(o), "", true, 5}},
                            kSeparationOpen, &r_.error);
    return r_.code == 0;
  }

  // Reads both line files: which records move, the letter groups they cut, and every line's amounts
  // (the moved lines carried, the others whose totals the rebuild makes again). The moved lines'
  // dates must lie within the other dossier's year.
  bool Plan(const std::string& date, const std::string& otherStart, const std::string& otherEnd,
            const std::string& kinds) {
    for (const LineFile* f : {&kClosed, &kDraft}) {
      Table& t = f->closed ? c40_ : c50_;
      Step(kPhaseReadLines, t);
      std::unordered_map<std::string, bool> pieces;
      std::vector<std::uint32_t>& moved = f->closed ? moved40_ : moved50_;
      for (bool more = t.GoTop(); more; more = t.Skip(1)) {
        const Lookup live = LiveOrSaid(t);
        if (live.IsRefused()) return Fail(f->closed ? 4 : 5, t.tablePath, live.result());
        if (live.IsNotFound()) continue;
        ReadLineAmounts(t, f->closed);
        const std::string line = LineDate(t, f->closed);
        const std::string key = std::string(t.GetField(f->journal)) + t.GetField(f->piece);
        auto [it, fresh] = pieces.emplace(key, line >= date);
        if (fresh && it->second) ++r_.pieces;
        const bool moving = it->second;
        if (moving) {
          moved.push_back(t.recordNumber);
          if (line < otherStart || line > otherEnd) outside_ = true;
          if (kinds.find(t.GetField(1)[0]) == std::string::npos) foreignKind_ = true;
        }
        for (int field : {f->letterF, f->letterE}) {
          const std::string letter = AllTrim(t.GetField(field));
          if (letter.empty()) continue;
          const std::string name = std::string(RTrim(t.GetField(f->account))) + " " + letter +
                                   (field == f->letterF ? " (F)" : " (E)");
          auto [g, added] = groupIndex_.emplace(name, static_cast<int>(groups_.size()));
          if (added) groups_.push_back(Group{name});
          Group& group = groups_[static_cast<std::size_t>(g->second)];
          ++(moving ? group.moved : group.kept);
          lettered_.push_back(LetteredLine{f->closed, t.recordNumber, g->second, field});
        }
      }
    }
    r_.lines = static_cast<long>(moved40_.size() + moved50_.size());
    for (const Group& g : groups_)
      if (g.Cut()) r_.cutLetters.push_back(g.name);
    return !outside_ && !foreignKind_;
  }
  bool Outside() const { return outside_; }

  long Records(bool closed) { return static_cast<long>((closed ? o40_ : o50_).RecCount()); }
  long Moving(bool closed) const { return static_cast<long>((closed ? moved40_ : moved50_).size()); }
  std::string File(bool closed) { return (closed ? o40_ : o50_).tablePath; }

  // Appends to the other dossier what it lacks, copies the moved lines, then marks them here.
  bool Write() {
    if (!Codes() || !Figures(c20_, o20_, "C20CODE", kAccountFigures, 2, &r_.accounts) ||
        !Figures(c30_, o30_, "C30CODE", kSectionFigures, 3, &r_.sections))
      return false;
    if (!Copy(kClosed) || !Copy(kDraft)) return false;
    return Mark() && EndYear();
  }

  // The open dossier's year ends the day before the new year's first day (when it ended
  // later): the opening balances carried into the new year are dated the day after it.
  bool EndYear() {
    const Ymd last = CivilFromDays(DaysFromCivil(request_.date) - 1);
    Ymd end;
    if (TheDossierRecord.DateYmd(F::YearEnd, end) && DaysFromCivil(end) <= DaysFromCivil(last)) return true;
    DossierRecord record = TheDossierRecord;
    if (!record.SetDateYmd(F::YearEnd, last)) return Fail(1, c10_.tablePath, c10_.result);
    // The dossier's record not read is never written over another record.
    const Lookup dossier = posting::FindC10(c10_, '0', "");
    if (!dossier.IsFound()) return Fail(1, c10_.tablePath, dossier.IsRefused() ? dossier.result() : c10_.result);
    if (!c10_.PutFieldPart(4, DossierRecord::kYearEndPos - 30, DossierRecord::kDateWidth,
                           record.Get(DossierRecord::kYearEndPos, DossierRecord::kDateWidth).c_str()) ||
        !c10_.Commit())
      return Fail(1, c10_.tablePath, c10_.result);
    yearEnd_ = last;
    return true;
  }

  // The open dossier's new year end (year 0: unchanged).
  const Ymd& YearEnd() const { return yearEnd_; }

  void Close() {
    for (Table* t : {&c10_, &c20_, &c30_, &c40_, &c50_, &o10_, &o20_, &o30_, &o40_, &o50_}) t->CloseTable(true);
  }

 private:
  // The write refused on `path`; `result`, the engine's code, says when the disk is full.
  bool Fail(int table, const std::string& path, int result = 0) {
    r_.code = kSeparationWrite + table;
    r_.error = TransferRefusalText(refusal_, r_.code, path, result);
    return false;
  }
  void Step(int first, Table& file) {
    if (step_) step_(Text(first), file.tablePath);
  }

  bool Codes() {
    Step(kPhaseCodes, o10_);
    const FieldMap map(c10_, o10_, 1);
    for (bool more = c10_.GoTop(); more; more = c10_.Skip(1)) {
      const Lookup live = LiveOrSaid(c10_);
      if (live.IsRefused()) return Fail(1, c10_.tablePath, live.result());
      if (live.IsNotFound()) continue;
      const std::string kind = c10_.GetField(1);
      if (kind.empty() || std::string(kCodeKinds).find(kind[0]) == std::string::npos) continue;
      // A code not read is no code missing: never made twice.
      const Lookup there = posting::FindC10(o10_, kind[0], c10_.GetField(2));
      if (there.IsRefused()) return Fail(1, o10_.tablePath, there.result());
      if (there.IsFound()) continue;
      if (!o10_.AppendBlank() || !map.Copy(c10_, o10_) || !o10_.InsertRecord())
        return Fail(1, o10_.tablePath, o10_.result);
      ++r_.codes;
    }
    return true;
  }

  template <std::size_t N>
  bool Figures(Table& from, Table& to, const char* tag, const int (&figures)[N], int number, long* count) {
    Step(kPhaseAccounts, to);
    const FieldMap map(from, to, 1);
    for (bool more = from.GoTop(); more; more = from.Skip(1)) {
      const Lookup live = LiveOrSaid(from);
      if (live.IsRefused()) return Fail(number, from.tablePath, live.result());
      if (live.IsNotFound()) continue;
      // A record not read is no record missing: never made twice.
      const Lookup there = to.Find(tag, from.GetField(1));
      if (there.IsRefused()) return Fail(number, to.tablePath, there.result());
      if (there.IsFound()) continue;
      if (!to.AppendBlank() || !map.Copy(from, to)) return Fail(number, to.tablePath, to.result);
      for (int f : figures) to.PutFieldNum(f, 0.0);
      if (!to.InsertRecord()) return Fail(number, to.tablePath, to.result);
      ++*count;
    }
    return true;
  }

  bool IsCut(bool closed, std::uint32_t recno, int field) const {
    for (auto it = cutIndex_.find(Key(closed, recno)); it != cutIndex_.end() && it->first == Key(closed, recno); ++it)
      if (it->second == field) return true;
    return false;
  }
  static unsigned long long Key(bool closed, std::uint32_t recno) {
    return (static_cast<unsigned long long>(closed) << 32) | recno;
  }

  bool Copy(const LineFile& f) {
    Table& from = f.closed ? c40_ : c50_;
    Table& to = f.closed ? o40_ : o50_;
    Step(kPhaseMoveLines, to);
    if (cutIndex_.empty())
      for (const LetteredLine& l : lettered_)
        if (groups_[static_cast<std::size_t>(l.group)].Cut()) cutIndex_.emplace(Key(l.closed, l.recno), l.field);
    const FieldMap map(from, to, 1);
    for (std::uint32_t recno : f.closed ? moved40_ : moved50_) {
      if (!from.GoToRecord(static_cast<long>(recno)).IsFound() || !to.AppendBlank() || !map.Copy(from, to))
        return Fail(f.number, to.tablePath, to.result);
      for (int field : {f.letterF, f.letterE})
        if (IsCut(f.closed, recno, field)) to.PutField(field, "");
      to.QueueRecord(false);
      if (to.QueuedCount() >= kBatch && !to.AppendQueued()) return Fail(f.number, to.tablePath, to.result);
    }
    if (!to.AppendQueued()) return Fail(f.number, to.tablePath, to.result);
    return true;
  }

  // The moved lines soft-deleted here; the cut letters of the lines that stay removed.
  bool Mark() {
    for (const LineFile* f : {&kClosed, &kDraft}) {
      Table& t = f->closed ? c40_ : c50_;
      Step(kPhaseRemoveLines, t);
      for (std::uint32_t recno : f->closed ? moved40_ : moved50_)
        if (!t.GoToRecord(static_cast<long>(recno)).IsFound() || !t.DeleteRecord("", 0))
          return Fail(f->number, t.tablePath, t.result);
    }
    for (const LetteredLine& l : lettered_) {
      if (!groups_[static_cast<std::size_t>(l.group)].Cut()) continue;
      Table& t = l.closed ? c40_ : c50_;
      if (!t.GoToRecord(static_cast<long>(l.recno)).IsFound()) return Fail(l.closed ? 4 : 5, t.tablePath, t.result);
      const Lookup live = LiveOrSaid(t);
      if (live.IsRefused()) return Fail(l.closed ? 4 : 5, t.tablePath, live.result());
      if (live.IsNotFound()) continue;
      if (!t.PutField(l.field, "") || !t.Commit()) return Fail(l.closed ? 4 : 5, t.tablePath, t.result);
    }
    return true;
  }

  const SeparationRequest& request_;
  SeparationResult& r_;
  const std::function<void(const std::string&, const std::string&)>& step_;
  const RefusalWatch& refusal_;
  Table c10_, c20_, c30_, c40_, c50_, o10_, o20_, o30_, o40_, o50_;
  std::vector<std::uint32_t> moved40_, moved50_;
  std::vector<LetteredLine> lettered_;
  std::vector<Group> groups_;
  std::unordered_map<std::string, int> groupIndex_;
  std::unordered_multimap<unsigned long long, int> cutIndex_;
  bool outside_ = false;
  bool foreignKind_ = false;
  Ymd yearEnd_;
};

// The line kinds a dossier keeps by its analytic mode, as its rebuild keeps them.
std::string KeptKinds(char analyticMode) {
  if (analyticMode == '1') return "VWZ";
  if (analyticMode == '2') return "VWXYZ";
  return "Z";
}

// What a separation's marker adds to its copies' detail: whether this dossier holds the run's
// decision (the old year) or follows it (the new year), and the other dossier's folder and code.
constexpr char kPartnerMark = '\t';
std::string PartnerDetail(bool decides, const std::string& folder, const std::string& code) {
  return std::string(1, kPartnerMark) + (decides ? "decide" : "suit") + kPartnerMark + folder + kPartnerMark + code;
}

struct SeparationMarker {
  std::string copies;  // the copies' detail (AsideCopies)
  bool partnered = false, decides = false;
  std::string folder, code;  // the other dossier
};

SeparationMarker ReadSeparationDetail(const std::string& detail) {
  SeparationMarker m;
  const std::size_t at = detail.find(kPartnerMark);
  m.copies = detail.substr(0, at);
  if (at == std::string::npos) return m;
  const std::size_t second = detail.find(kPartnerMark, at + 1);
  const std::size_t third = second == std::string::npos ? second : detail.find(kPartnerMark, second + 1);
  if (third == std::string::npos) return m;
  m.partnered = true;
  m.decides = detail.compare(at + 1, second - at - 1, "decide") == 0;
  m.folder = detail.substr(second + 1, third - second - 1);
  m.code = detail.substr(third + 1);
  return m;
}

// The current dossier set to another for a while (its marker's and tables' paths).
class SwitchedDossier {
 public:
  SwitchedDossier(const std::string& folder, const std::string& code) : folder_(DossierFolder), code_(DossierCode) {
    SetDossier(folder, code);
  }
  ~SwitchedDossier() { SetDossier(folder_, code_); }
  SwitchedDossier(const SwitchedDossier&) = delete;
  SwitchedDossier& operator=(const SwitchedDossier&) = delete;

 private:
  std::string folder_, code_;
};

// The current dossier's separation marker, when it carries one.
bool SeparationMarkerHere(DossierRunInfo* info) {
  return ReadDossierRunMarker(info) && info->run == kSeparationRun;
}

// Whether the other dossier of a separation can be read: its general file found in its folder.
// A folder missing or unreadable, or the empty mount point of a share that is down, cannot be told
// from a dossier without a marker: the run's decision cannot be read there.
bool PartnerWithinReach(const SeparationMarker& m) {
  SwitchedDossier other(m.folder, m.code);
  return platform::FileExists(std::string(PathC10()) + ".dbf");
}

// Whether the old year's marker, the run's one decision, is gone from the other dossier: the run
// went to its end.
bool DecisionGone(const SeparationMarker& m) {
  SwitchedDossier other(m.folder, m.code);
  DossierRunInfo decision;
  return !SeparationMarkerHere(&decision);
}

SeparationResult Refused(SeparationResult r, const std::string& why) {
  r.code = kSeparationRefused;
  r.error = why;
  return r;
}

}  // namespace

SeparationResult SeparateYears(const SeparationRequest& request, const SeparationMaintenance& maintenance,
                               const std::function<void(const std::string&, const std::string&)>& step) {
  SeparationResult r;
  // Every amount the run reads is watched from its first read: its marker refuses it, before the
  // first write, when one did not read (every line's amounts are read by the plan).
  BooksReading reading;
  const OtherDossier& other = request.other;
  DossierHold hold(other.folder, other.code);
  if (!hold.held()) {
    r.busy = true;
    return Refused(r, OtherDossierBusyText());
  }
  const TargetCheck check = CheckOpeningTarget(other, request.date);
  if (!check.ok) return Refused(r, check.first + (check.second.empty() ? "" : "\n" + check.second));
  DossierRecord otherRecord;
  if (!LoadDossierRecordOf(other, &otherRecord)) return Refused(r, FillPlaceholder(Text(kMsgBadDossier), other.code));
  if (HasInterruptedRun(other)) return Refused(r, FillPlaceholder(Text(kMsgInterruptedRun), other.code));
  // What the rebuild would refuse, on each dossier, before anything is written.
  if (maintenance.refusal) {
    std::string refusal = maintenance.refusal();
    if (refusal.empty()) {
      DossierIdentity identity(other, otherRecord);
      refusal = maintenance.refusal();
    }
    if (!refusal.empty()) return Refused(r, refusal);
  }
  // The run says its own failure, in one box: the engine's boxes are held back meanwhile.
  RefusalWatch refusal(RefusalWatch::EngineBoxes::kHeld);
  SeparationWork work(request, r, step, refusal);
  if (!work.Open()) {
    work.Close();
    return r;
  }
  const std::string date = StoredDateOf(request.date);
  if (!work.Plan(date, otherRecord.DateStored(F::YearStart), otherRecord.DateStored(F::YearEnd),
                 KeptKinds(otherRecord.AnalyticMode()))) {
    const bool outside = work.Outside();
    work.Close();
    SeparationResult refused;
    return Refused(refused,
                   FillPlaceholder(Text(outside ? kMsgPiecesAfterYear : kMsgPiecesWithSections), other.code));
  }
  for (bool closed : {true, false}) {
    if (work.Records(closed) + work.Moving(closed) > kMaxLineRecords) {
      const std::string file = work.File(closed);
      work.Close();
      SeparationResult refused;
      return Refused(refused, TooManyLinesMessage(file));
    }
  }
  work.Close();
  // Both dossiers' tables copied aside before the first change: a run that fails, or that is
  // stopped, leaves both as they were rather than with lines on both sides or on neither.
  if (step) step(Text(kPhaseCopies), DossierFolder);
  const std::string myFolder = DossierFolder, myCode = AllTrim(DossierCode.c_str());
  GuardedTables mine(std::move(reading), kSeparationRun, Text(kTitleSeparationRun), "separation-",
                     PartnerDetail(true, other.folder, other.code));
  // Refused before the first change (copies or marker not written): both dossiers are as they were.
  SeparationResult untouched;
  untouched.putBack = true;
  if (!mine.ok()) return Refused(untouched, mine.error());
  std::unique_ptr<GuardedTables> theirs;
  {
    DossierIdentity identity(other, otherRecord);
    if (step) step(Text(kPhaseCopies), DossierFolder);
    // The run's reading was judged once, by its own dossier's marker: the other one reads nothing more.
    theirs = std::make_unique<GuardedTables>(BooksReading{}, kSeparationRun, Text(kTitleSeparationRun), "separation-",
                                             PartnerDetail(false, myFolder, myCode));
  }
  if (!theirs->ok()) {
    mine.Finish();
    return Refused(untouched, theirs->error());
  }
  const bool written = work.Open() && work.Write();
  work.Close();
  if (written) {
    CloseAllTables();
    const int first = maintenance.rebuild ? maintenance.rebuild() : 0;
    int second = 0;
    if (first == 0) {
      DossierIdentity identity(other, otherRecord);
      second = maintenance.rebuild ? maintenance.rebuild() : 0;
      CloseAllTables();
    }
    if (first != 0) {
      r.code = first;
      r.error = RebuildFailureText(maintenance, first, &refusal);
    } else if (second != 0) {
      r.code = second + kSeparationSecondRebuild;
      r.error = RebuildFailureText(maintenance, second, &refusal);
    }
  }
  // What was moved rests on every table read whole: a read refused on the way fails the run.
  if (r.code == 0 && refusal.ReadRefused()) {
    r.code = kSeparationRead;
    r.error = refusal.Reason(kSeparationRead, "", 0);
  }
  // The old year's marker is the run's one decision: removed once both dossiers are written, it
  // makes the run stand in both (a run stopped after it leaves the new year's copies, which its
  // opening removes); while it stands, the run is put back in both.
  if (r.code == 0 && !mine.Finish()) {
    r.code = kSeparationWrite;
    SwitchedDossier old(myFolder, myCode);
    r.error = DossierRunMarkerRemovalRefusal(DossierRunMarkerPath());
  }
  if (r.code != 0) {
    CloseAllTables();
    // The new year first: the old year's marker stays until the new year is back, its marker
    // gone too (left beside a decision gone, it would read as a run that went to its end).
    if (theirs->PutBack() && !platform::FileExists(theirs->MarkerPath())) {
      r.putBack = mine.PutBack();
    } else {
      mine.Keep();
      r.putBack = false;
    }
    r.putBackFailed = !r.putBack;
    return r;
  }
  if (work.YearEnd().year != 0) TheDossierRecord.SetDateYmd(F::YearEnd, work.YearEnd());
  // The run stands: the new year is never put back from here on. A marker that cannot go now
  // is left with its copies; the new year's opening sees the decision and removes them.
  if (!theirs->Finish()) theirs->Keep();
  return r;
}

bool SettleInterruptedSeparation(const std::string& detail) {
  const SeparationMarker m = ReadSeparationDetail(detail);
  AsideCopies copies;
  if (!AsideCopies::FromDetail(m.copies, &copies)) return false;
  if (!m.partnered) return PutBackRunCopies(m.copies);
  // Nothing is settled on a guess: the other year out of reach keeps both dossiers as they are.
  if (!PartnerWithinReach(m)) return false;
  if (m.decides) {
    // The run is undone: the new year's dossier is put back first, held meanwhile.
    DossierHold hold(m.folder, m.code);
    SwitchedDossier other(m.folder, m.code);
    DossierRunInfo theirs;
    if (SeparationMarkerHere(&theirs)) {
      // Its marker goes before this dossier's tables come back: left standing beside a decision
      // gone, it would take the run for one that went to its end. A removal refused stops here,
      // this dossier's tables and copies untouched, and the opening says why.
      if (!hold.held() || !PutBackRunCopies(ReadSeparationDetail(theirs.detail).copies) || !RemovePutBackRunMarker())
        return false;
    }
  } else if (DecisionGone(m)) {
    // The old year's marker gone: the run stands, and the copies go.
    return RemoveAsideCopies(DossierFolder, copies);
  }
  return PutBackRunCopies(m.copies);
}

bool SeparationEndedElsewhere(const std::string& detail) {
  const SeparationMarker m = ReadSeparationDetail(detail);
  return m.partnered && !m.decides && PartnerWithinReach(m) && DecisionGone(m);
}

std::string SeparationOutOfReach(const std::string& detail) {
  const SeparationMarker m = ReadSeparationDetail(detail);
  if (!m.partnered || PartnerWithinReach(m)) return "";
  return FillPlaceholders(Text(kMsgPartnerOutOfReach), {AllTrim(m.code.c_str()), m.folder});
}

std::string SeparationLogLine(const SeparationRequest& request, const SeparationResult& result) {
  const std::string code = AllTrim(request.other.code.c_str()), date = DisplayDateOf(request.date);
  const std::string pieces = std::to_string(result.pieces), lines = std::to_string(result.lines);
  if (result.code == 0) return FillPlaceholders(Text(kLogDone), {code, request.other.folder, date, pieces, lines});
  return FillPlaceholders(Text(kLogFailed),
                          {std::to_string(result.code), code, request.other.folder, date, pieces, lines});
}

std::string SeparationEndMessage(const SeparationRequest&, const SeparationResult& result) {
  if (result.code == 0) return Text(kMsgDone);
  // The error in words when there are some; its code, which the log keeps, only otherwise.
  return FillPlaceholder(Text(kMsgFailed), result.error.empty() ? StrInt(result.code, 5) : result.error) +
         (result.putBack ? Text(kMsgBothPutBack) : result.putBackFailed ? Text(kMsgLeftForTheOpening) : std::string());
}

}  // namespace processing
