#include "processing/core/automatic_matching.h"

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/table.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "runtime/numbers.h"

namespace processing {

namespace {

using T = LigneTri;

constexpr int kMsgMatchingPutBack = 29770;  // stopped, the lines put back as they were
constexpr int kMsgMatchingKept = 29771;     // stopped, put back at the next opening
constexpr int kMsgMatchingStopped = 29772;  // refused before its first change
constexpr int kMsgMatchingNothing = 29773;  // the write refused, without the engine's word
constexpr int kTextSearching = 23201;
constexpr int kTextAccountLines = 23205;    // the account being matched, its lines
constexpr int kTitleMatchingRun = 29001;    // the run as its copies name it

// Stands on the first live line of the index from the account on (the start of a range, or an
// account of the range).
bool SeekAccount(Table& c60, const std::string& account) {
  const Lookup found = c60.FindNotBelow(kC60CodeTag, account.c_str());
  // Not read, the walk ends short: noted, the run's watch of refusals fails the run.
  if (found.IsRefused()) RefusalWatch::NoteEngineReadRefusal(c60.tablePath, found.result());
  if (!found.IsFound()) return false;
  const Lookup live = c60.LiveHere();
  if (live.IsRefused()) {
    RefusalWatch::NoteEngineReadRefusal(c60.tablePath, live.result());
    return false;
  }
  return live.IsNotFound() ? c60.SkipActive(true) : true;
}

bool OnAccount(Table& c60, const std::string& account) {
  return c60.isOpen && !c60.eof && !c60.bof && c60.recordNumber != 0 && AccountOf(c60) == account;
}

// Steps to the next live line that has an amount in the currency (the stepping of the removal
// and the copy).
bool NextWithAmount(const MatchTables& t, int currency, bool step) {
  bool more = !t.c60.eof;
  if (step) {
    more = t.c60.SkipActive(true);
  } else if (more) {
    // A mark not read ends the walk short: noted, the run's watch of refusals fails the run.
    const Lookup live = t.c60.LiveHere();
    if (live.IsRefused()) RefusalWatch::NoteEngineReadRefusal(t.c60.tablePath, live.result());
    more = live.IsFound() || (live.IsNotFound() && t.c60.SkipActive(true));
  }

  while (more) {
    const SourceLine s = ReadSource(t, currency);
    if (s.table != nullptr && s.cents != 0) return true;
    more = t.c60.SkipActive(true);
  }
  return false;
}

// A field written at once; a refusal is noted for the run (the table layer shows none).
bool Put(Table& table, int field, const char* text) {
  if (table.PutField(field, text)) return true;
  RefusalWatch::NoteAll(table);
  return false;
}

bool WriteLetter(const MatchTables& t, int currency, const SourceLine& s, const std::string& letter) {
  if (!Put(t.c60, T::TLET + currency, letter.c_str())) return false;
  return s.table == nullptr || Put(*s.table, SourceLetterField(s.draft, currency), letter.c_str());
}

bool CommitAll(const MatchTables& t) {
  bool ok = !t.c40.isOpen || t.c40.Commit();
  ok = (!t.c50.isOpen || t.c50.Commit()) && ok;
  return t.c60.Commit() && ok;
}

class AccountRun {
 public:
  AccountRun(const MatchTables& t, const AutomaticParameters& p, MatchingView& view, AutomaticOutcome& out)
      : t_(t), p_(p), view_(view), out_(out) {}

  // Processes the account the cursor stands on and leaves the cursor after its lines.
  void Run(const std::string& account) {
    account_ = account;
    view_.Status(account);
    const long n = ClearAndCount();
    if (out_.refused) return;
    if (n >= 2) {
      view_.Status(FillPlaceholders(LoadStr(kTextAccountLines), {account, FormatNumber(6, 0, false, double(n))}));
      Collect(n);
      bool debit = false, credit = false;
      for (long long c : amounts_) (c > 0 ? debit : credit) = true;
      if (debit && credit) Search();
    }
    if (!out_.refused) CopyBack();
  }

 private:
  // Pass 1: the working letter blanked on every live line of the account (a mark left by a
  // manual list must not become a letter), the highest letter of the currency among the lines
  // that have an amount in it, and the count of the candidates.
  long ClearAndCount() {
    runLetter_.clear();
    long n = 0;
    for (bool more = SeekAccount(t_.c60, account_); more && OnAccount(t_.c60, account_);
         more = t_.c60.SkipActive(true)) {
      if (Trimmed(t_.c60.GetField(T::TLETP)) != "" && !Put(t_.c60, T::TLETP, "")) return Refused();
      const SourceLine s = ReadSource(t_, p_.currency);
      if (s.table == nullptr || s.cents == 0) continue;
      const std::string letter = t_.c60.GetField(T::TLET + p_.currency);
      if (!Trimmed(letter).empty()) {
        if (LetterAfter(letter, runLetter_)) runLetter_ = Trimmed(letter);
      } else if (DateOf(t_.c60) <= p_.dateLimit) {
        ++n;
      }
    }
    if (!t_.c60.Commit()) return Refused();
    RaiseToNotedLetters(account_, p_.currency, runLetter_);
    return n;
  }

  // Pass 2: at most the n lines of pass 1, in C60CODE order.
  void Collect(long n) {
    amounts_.clear();
    records_.clear();
    for (bool more = SeekAccount(t_.c60, account_); more && OnAccount(t_.c60, account_) && long(amounts_.size()) < n;
         more = t_.c60.SkipActive(true)) {
      if (!Trimmed(t_.c60.GetField(T::TLET + p_.currency)).empty() || DateOf(t_.c60) > p_.dateLimit) continue;
      const SourceLine s = ReadSource(t_, p_.currency);
      if (s.table == nullptr || s.cents == 0) continue;
      amounts_.push_back(s.cents);
      records_.push_back(t_.c60.recordNumber);
    }
  }

  void Search() {
    // The first group takes the form's letter when it sorts after the account's highest letter;
    // otherwise each group takes the letter after the last one given.
    bool advanceFirst = true;
    bool letterLeft = true;
    if (LetterAfter(p_.formLetter, runLetter_)) {
      runLetter_ = Trimmed(p_.formLetter);
      advanceFirst = false;
    }
    view_.Stage(2);
    MatchSearch search(amounts_, p_.power, p_.clock, p_.deadline);
    search.OnStage([this](int size) { view_.Stage(size); });
    search.OnGroup([&](const std::vector<int>& group) {
      if (advanceFirst && !AdvanceLetter(runLetter_)) letterLeft = false;
      if (!letterLeft) return false;
      for (int i : group) {
        if (!t_.c60.GoToRecord(static_cast<long>(records_[static_cast<std::size_t>(i)])).IsFound() ||
            !Put(t_.c60, T::TLETP, runLetter_.c_str())) {
          Refused();
          return false;
        }
      }
      if (!t_.c60.Commit()) {
        Refused();
        return false;
      }
      view_.MatchCount(++out_.matches);
      if (!advanceFirst && !AdvanceLetter(runLetter_)) letterLeft = false;
      return true;
    });
    const MatchSearchResult r = search.Run();
    if (r.interrupted) out_.interrupted = true;
    if (!letterLeft) out_.outOfLetters.push_back(account_);
  }

  // The letters this run gave, from the working letter into the C60 letter of the currency and
  // the source line's.
  void CopyBack() {
    bool more = SeekAccount(t_.c60, account_);
    for (; more && OnAccount(t_.c60, account_); more = t_.c60.SkipActive(true)) {
      const std::string mark = Trimmed(t_.c60.GetField(T::TLETP));
      if (mark.empty()) continue;
      if (!WriteLetter(t_, p_.currency, ReadSource(t_, p_.currency), mark)) {
        Refused();
        return;
      }
    }
    if (!CommitAll(t_)) Refused();
    // Back on the line after the account, for the next one.
    if (more) return;
  }

  // A write refused: the run stops (the guard puts the tables back).
  long Refused() {
    out_.refused = true;
    return 0;
  }

  const MatchTables& t_;
  const AutomaticParameters& p_;
  MatchingView& view_;
  AutomaticOutcome& out_;
  std::string account_, runLetter_;
  std::vector<long long> amounts_;
  std::vector<std::uint32_t> records_;
};

}  // namespace

AutomaticOutcome RunAutomaticMatching(const MatchTables& t, const AutomaticParameters& given, MatchingView* view) {
  MatchingView none;
  MatchingView& v = view != nullptr ? *view : none;
  AutomaticParameters p = given;
  if (!p.clock) p.clock = SteadyMatchClock();
  const std::string start = PadRight(p.startAccount, kAccountWidth), end = PadRight(p.endAccount, kAccountWidth);
  AutomaticOutcome out;
  v.Status(LoadStr(kTextSearching));
  bool more = SeekAccount(t.c60, start);
  while (more && p.clock() < p.deadline) {
    const std::string account = AccountOf(t.c60);
    if (account > end) break;
    ++out.accounts;
    AccountRun(t, p, v, out).Run(account);
    // The copy back left the cursor on the first line after the account.
    more = t.c60.isOpen && !t.c60.eof && t.c60.recordNumber != 0;
    if (out.interrupted || out.refused) break;
  }
  if (p.clock() >= p.deadline) out.interrupted = true;
  v.Status("");
  v.Stage(0);
  return out;
}

long RemoveLetters(const MatchTables& t, int currency, const std::string& startAccount, const std::string& endAccount,
                   bool all, const std::string& letter, MatchingView* view) {
  const std::string end = PadRight(endAccount, kAccountWidth);
  std::string wanted = letter;
  wanted.resize(kLetterWidth, ' ');
  std::string current;
  long count = 0;
  const std::string start = PadRight(startAccount, kAccountWidth);
  for (bool more = SeekAccount(t.c60, start) && NextWithAmount(t, currency, false); more;
       more = NextWithAmount(t, currency, true)) {
    const std::string account = AccountOf(t.c60);
    if (account > end) break;
    if (account != current && view != nullptr) view->Status(current = account);
    std::string has = t.c60.GetField(T::TLET + currency);
    has.resize(kLetterWidth, ' ');
    if (!all && has != wanted) continue;
    ++count;
    WriteLetter(t, currency, ReadSource(t, currency), "");
  }
  CommitAll(t);
  return count;
}

long CopyLetters(const MatchTables& t, int currency, const std::string& startAccount, const std::string& endAccount,
                 MatchingView* view) {
  const std::string end = PadRight(endAccount, kAccountWidth);
  std::string current;
  long count = 0;
  const std::string start = PadRight(startAccount, kAccountWidth);
  for (bool more = SeekAccount(t.c60, start) && NextWithAmount(t, currency, false); more;
       more = NextWithAmount(t, currency, true)) {
    const std::string account = AccountOf(t.c60);
    if (account > end) break;
    if (account != current && view != nullptr) view->Status(current = account);
    ++count;
    const std::string francs = Trimmed(t.c60.GetField(T::TLET)), euros = Trimmed(t.c60.GetField(T::TLETE));
    if (francs.empty() == euros.empty()) continue;
    const SourceLine s = ReadSource(t, currency);
    const int to = francs.empty() ? 0 : 1;
    const std::string letter = francs.empty() ? euros : francs;
    t.c60.PutField(T::TLET + to, letter.c_str());
    if (s.table != nullptr) s.table->PutField(SourceLetterField(s.draft, to), letter.c_str());
  }
  CommitAll(t);
  return count;
}

namespace {

// A table closed for a while and opened again as it was (file, order, sharing, mode).
struct Reopen {
  Table& table;
  std::string path, tag;
  bool wasOpen, exclusive, readOnly;
  explicit Reopen(Table& t)
      : table(t), path(t.tablePath), tag(t.tag), wasOpen(t.isOpen), exclusive(t.shareMode == Table::kExclusive),
        readOnly(t.openMode == 1) {}
  bool Open() {
    if (!wasOpen) return true;
    return exclusive ? table.OpenExclusive(path, tag, readOnly) : table.OpenShared(path, tag, readOnly);
  }
};

}  // namespace

bool RunMatchingGuarded(const MatchTables& t, const std::function<void()>& work, std::string* refusal) {
  // The copies are taken of the files as written: what the tables hold back goes first.
  if (!CommitAll(t)) {
    if (refusal != nullptr) *refusal = FillPlaceholder(LoadStr(kMsgMatchingStopped), LoadStr(kMsgMatchingNothing));
    return false;
  }
  DossierRunCopies copies(BooksReading{}, kMatchingRun, LoadStr(kTitleMatchingRun), "let-",
                          {TableKind::C40, TableKind::C50, TableKind::C60});
  if (!copies.ok()) {
    // Refused while the copies were taken: the run did not start, nothing changed.
    if (refusal != nullptr) *refusal = FillPlaceholder(LoadStr(kMsgMatchingStopped), copies.error());
    return false;
  }
  // The run says its own failure, in one box: the engine's boxes are held back meanwhile.
  RefusalWatch refused(RefusalWatch::EngineBoxes::kHeld);
  work();
  const bool committed = CommitAll(t);
  std::string why;
  // A read refused (a walk ended short of its table) fails the run as a refused write does.
  if (committed && !refused.Seen() && !refused.ReadRefused()) {
    if (copies.Finish()) return true;
    // A marker that stays would have the next opening put the tables back: the run is put back now.
    why = DossierRunMarkerRemovalRefusal(DossierRunMarkerPath());
  } else {
    const int code = refused.RefusedResult() != 0 ? refused.RefusedResult() : refused.Result();
    why = refused.HasReason() ? refused.Reason(code, refused.File(), refused.Result()) : LoadStr(kMsgMatchingNothing);
  }
  // A write refused: the three tables are put back from their copies, closed meanwhile; put
  // back only in part, the marker stays and the next opening puts them back.
  Reopen tables[] = {Reopen(t.c40), Reopen(t.c50), Reopen(t.c60)};
  for (Reopen& r : tables) r.table.CloseTable(false);
  const bool back = copies.PutBack();
  bool open = true;
  for (Reopen& r : tables) open = r.Open() && open;
  if (refusal == nullptr) return false;
  // Undone by its guard over an amount that does not read: the guard's sentence says it whole.
  if (back && open && DossierRunMarkerRefusedForUnreadAmounts(DossierRunMarkerPath())) *refusal = why;
  else *refusal = FillPlaceholder(LoadStr(back && open ? kMsgMatchingPutBack : kMsgMatchingKept), why);
  return false;
}

}  // namespace processing
