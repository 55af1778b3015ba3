#include "dossier_invariants.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include "data/collective_account.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/stored_fields.h"
#include "data/table_internal.h"
#include "data/table_scan.h"
#include "data/table_structures.h"
#include "data/table.h"
#include "data/unread_amounts.h"
#include "platform/dbase/record_block.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// A line's two amounts in cents as the checks read them: together against the bounds decided once for the
// walk when the fields are the table's line amounts, else each alone. Each amount not read is noted; false
// when one did not read.
class LineCentsReader {
 public:
  LineCentsReader(Table& table, int francs, int euros)
      : table_(table), francs_(francs), euros_(euros), amounts_(table, {francs, euros}),
        lineAmounts_(table.Engine().lineFrancs == francs && table.Engine().lineEuros == euros),
        bounds_(LineBoundsOf(TheDossierRecord)) {}
  bool Read(const std::uint8_t* record, long long cents[2]) const {
    if (!lineAmounts_) {
      bool readable = true;
      cents[0] = FieldCentsOf(table_, francs_, record, &readable);
      cents[1] = FieldCentsOf(table_, euros_, record, &readable);
      return readable;
    }
    const int unread = LineAmountsCents(amounts_.In(record, 0), amounts_.In(record, 1), bounds_, cents);
    for (int i = 0; i < unread; ++i) NoteUnnamedUnreadAmount();
    return unread == 0;
  }

 private:
  Table& table_;
  const int francs_, euros_;
  const StoredFields amounts_;
  const bool lineAmounts_;
  const LineBounds bounds_;
};

using L = LigneEcriture;
using T = LigneTri;

// The head of the lines counted as zero for an amount that does not read, as the reports say it.
constexpr int kStrUnreadableHead = 29971;

// The words naming an account's and a section's record in the lines that say a total is wrong.
constexpr int kLabelAccount = 22516;  // "Compte"
constexpr int kLabelSection = 22517;  // "Section"

// The faults the check finds, one line each.
constexpr int kFaultLineWithoutSort = 32200;
constexpr int kFaultLineSortCount = 32201;
constexpr int kFaultHeaderTotals = 22485;
constexpr int kFaultMonthWithoutHeader = 22487;
constexpr int kFaultNoCollective = 22488;
constexpr int kFaultRecordTotals = 32202;
constexpr int kFaultRecordMissing = 22025;
constexpr int kFaultsMore = 22489;
constexpr int kFaultSortPointsNowhere = 32203;
constexpr int kFaultSortDiffers = 32204;
constexpr int kFaultLineCancelled = 32205;
constexpr int kFaultSortCancelled = 32206;
constexpr int kFaultLineUnreadable = 32207;
constexpr int kFaultSortUnreadable = 32208;
constexpr int kMsgDossierFilesNotOpened = 22032;
constexpr int kFaultAnalyticUnderCancelled = 36400;   // file, record, the general line's record
constexpr int kFaultAnalyticOtherAccount = 36401;     // file, record, its account, the general line, its account
constexpr int kFaultAnalyticWithoutGeneral = 36402;   // file, record, piece, line number, account
// Two live lines of the draft with one number: the second, its number, the first, where they stand.
constexpr int kFaultSameNumber = 38102;          // file, record, number, first record, piece, journal, month
constexpr int kFaultSameAnalyticNumber = 38103;  // file, record, number, first record, piece, line number, account
// The totals that are not those of their lines, and the ReConstruction that makes them again.
constexpr int kTotalsAdvice = 36403;
constexpr int kLinesNotRead = 38600;  // the lines' sums, one of whose amounts does not read
// The faults a message shows, the others counted.
constexpr std::size_t kShownFaults = 12;

// Debit and credit in both currencies, in cents.
struct Sums {
  long long debitF = 0, creditF = 0, debitE = 0, creditE = 0;
  // A line whose amount does not read stands among those summed: the sums are not the lines'.
  bool unread = false;
  void AddCents(const std::string& sense, long long francs, long long euros, bool readable = true) {
    AddCents(sense.empty() ? ' ' : sense[0], francs, euros, readable);
  }
  void AddCents(char sense, long long francs, long long euros, bool readable = true) {
    unread = unread || !readable;
    if (sense == 'D') {
      debitF += francs;
      debitE += euros;
    } else {
      creditF += francs;
      creditE += euros;
    }
  }
  void Add(const Sums& s) {
    unread = unread || s.unread;
    debitF += s.debitF;
    creditF += s.creditF;
    debitE += s.debitE;
    creditE += s.creditE;
  }
  bool Zero() const { return debitF == 0 && creditF == 0 && debitE == 0 && creditE == 0; }
  bool operator==(const Sums& o) const {
    return debitF == o.debitF && creditF == o.creditF && debitE == o.debitE && creditE == o.creditE;
  }
  // The four sums as a fault names them; sums over a line that does not read are no figure.
  std::string Text() const {
    if (unread) return LoadStr(kLinesNotRead);
    return "F " + GroupedAmountText(debitF) + " / " + GroupedAmountText(creditF) + ", E " + GroupedAmountText(debitE) +
           " / " + GroupedAmountText(creditE);
  }
};

// The name of a sort record's field, as a fault names it.
std::string SortFieldName(int field) { return std::string(StructureOf(TableKind::C60).Field(field)->name); }

bool OpenReading(Table& t, const char* path) { return t.OpenShared(path, "", true); }

std::string FileName(char file) { return file == T::kDraft ? "C50" : "C40"; }

// The key fields of sort records compared with those of their lines in one file of lines: the
// same bytes give the same texts; other bytes are compared as texts.
class SortKeys {
 public:
  SortKeys(Table& c60, Table& lines, bool closed) : c60_(c60), lines_(lines) {
    for (const SortRecordCopy& k : kSortRecordCopies) {
      const int lineField = closed ? L::ClosedFieldOf(k.draftField) : k.draftField;
      if (lineField < 1 || lineField > lines.FieldCount() || k.sortField > c60.FieldCount()) {
        usable_ = false;
        continue;
      }
      const dbase::FLDDesc& sd = c60.Engine().nativeFields[static_cast<std::size_t>(k.sortField - 1)];
      const dbase::FLDDesc& ld = lines.Engine().nativeFields[static_cast<std::size_t>(lineField - 1)];
      const bool raw = sd.iUnits1 == ld.iUnits1 && sd.iUnits2 == ld.iUnits2 &&
                       c60.FieldType(k.sortField) == lines.FieldType(lineField);
      const Field f{k.sortField, lineField, SortFieldName(k.sortField), sd.iOffset, ld.iOffset,
                    static_cast<std::size_t>(std::max<int>(0, sd.iUnits1)), raw};
      fields_.push_back(f);
      // Fields compared as bytes that follow each other in both records are compared at once.
      if (!raw) continue;
      if (!runs_.empty() && runs_.back().sortAt + runs_.back().width == f.sortAt &&
          runs_.back().lineAt + runs_.back().width == f.lineAt)
        runs_.back().width += f.width;
      else
        runs_.push_back({f.sortAt, f.lineAt, f.width});
    }
    for (const Field& f : fields_) allRaw_ = allRaw_ && f.raw;
  }
  // Whether every key field has its place in both files.
  bool usable() const { return usable_; }
  // The name of the first key field where the sort record differs from its line; nullptr when none does.
  const char* Differs(const std::uint8_t* sort, const std::uint8_t* line) {
    if (allRaw_) {
      bool same = true;
      for (const Run& r : runs_) same = same && SameBytes(sort + r.sortAt, line + r.lineAt, r.width);
      if (same) return nullptr;
    }
    for (const Field& f : fields_) {
      if (f.raw && SameBytes(sort + f.sortAt, line + f.lineAt, f.width)) continue;
      FieldTextOf(c60_, f.sortField, sort, sortText_);
      FieldTextOf(lines_, f.lineField, line, lineText_);
      if (sortText_ != lineText_) return f.name.c_str();
    }
    return nullptr;
  }

 private:
  struct Field {
    int sortField, lineField;
    std::string name;
    std::size_t sortAt, lineAt, width;
    bool raw;  // the same width, decimals and type in both files: the same bytes give the same texts
  };
  struct Run {
    std::size_t sortAt, lineAt, width;
  };
  // The fields are a few bytes wide: compared in place rather than through a call.
  static bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  Table& c60_;
  Table& lines_;
  std::vector<Field> fields_;
  std::vector<Run> runs_;
  bool usable_ = true, allRaw_ = true;
  std::string sortText_, lineText_;
};

// A line's count of sort records in sortsOf keeps this bit for a cancelled line.
constexpr std::uint8_t kCancelledLine = 0x80;
constexpr std::uint8_t kSortCountMax = 0x7F;

void CountSort(std::uint8_t& pointed) {
  if ((pointed & kSortCountMax) < kSortCountMax) ++pointed;
}

// Each line of C50 and C40 that not exactly one sort record points at. A cancelled line may have
// none: the pack of C60 in every reindex drops the sort records of cancelled lines, and the line's
// recall makes its sort record again.
void SortCounts(const std::vector<std::uint8_t> (&sortsOf)[2], const std::function<void(const std::string&)>& fault) {
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t n = 1; n < sortsOf[pass].size(); ++n) {
      const int k = sortsOf[pass][n] & kSortCountMax;
      if (k == 1 || (k == 0 && (sortsOf[pass][n] & kCancelledLine) != 0)) continue;
      const std::string file = FileName(pass == 1 ? T::kClosed : T::kDraft), line = std::to_string(n);
      fault(k == 0 ? FillPlaceholders(LoadStr(kFaultLineWithoutSort), {file, line})
                   : FillPlaceholders(LoadStr(kFaultLineSortCount), {file, line, std::to_string(k)}));
    }
  }
}

// A wrong total, its text and the total as WrongTotals holds it.
using WrongTotalOf = std::function<void(const std::string& text, const std::string& total)>;

// The journal-month headers of C10, the account totals of C20 and the section totals of C30
// against the sums of the lines.
void CheckTotals(Table& c10, Table& c20, Table& c30, std::map<std::string, Sums>& months,
                 const std::map<std::string, Sums>& accounts, std::map<std::string, Sums>& sections,
                 const WrongTotalOf& fault, long& headers, std::vector<UnreadableAmountLine>& unreadable) {
  // The general file: journal-month headers and collectives. A cancelled collective collects as
  // a live one; the first record of a letter counts, as the writers' seek finds it.
  std::map<char, std::string> collectives;
  const std::uint32_t generalCount = c10.RecCount();
  for (std::uint32_t r = 1; r <= generalCount; ++r) {
    // A record not read is passed over: the check's watch of refused reads fails it, naming the file.
    if (!c10.GoToRecord(static_cast<long>(r)).FoundOrNone()) continue;
    const char kind = c10.GetField(1)[0];
    const std::string code = c10.GetField(2);
    if (kind == 'B') {
      collectives.emplace(code.empty() ? ' ' : code[0], CollectiveAccountOf(c10.GetField(4)));
      continue;
    }
    // One whose mark is not read is passed over too: the check's watch of refused reads fails it.
    if (kind != 'C' || !c10.LiveHere().FoundOrNone()) continue;
    ++headers;
    const std::string key = code.substr(0, 8);
    bool readable = true;
    auto total = [&readable](const std::string& field, std::size_t at) {
      return StoredAmountCents(std::string_view(field).substr(at, 14), &readable);
    };
    const std::string z4 = std::string(c10.GetField(4)) + std::string(28, ' ');
    const std::string z5 = std::string(c10.GetField(5)) + std::string(28, ' ');
    Sums stored;
    stored.debitF = total(z4, 0);
    stored.creditF = total(z4, 14);
    stored.debitE = total(z5, 0);
    stored.creditE = total(z5, 14);
    if (!readable)
      unreadable.push_back({UnreadableAmountLine::kJournalMonthRecord, c10.recordNumber, "",
                            TrimmedRight(code.substr(4, 3).c_str()) + " " + code.substr(2, 2) + "/" +
                                DecodeYear(code.substr(0, 2).c_str())});
    const auto found = months.find(key);
    const Sums lines = found != months.end() ? found->second : Sums{};
    // The draft and closed headers of a journal-month are one total to the callers: the
    // validation moves one into the other.
    if (!(stored == lines))
      fault(FillPlaceholders(LoadStr(kFaultHeaderTotals), {TrimmedRight(key.c_str()), stored.Text(), lines.Text()}),
            "H" + key.substr(0, 7));
    if (found != months.end()) months.erase(found);
  }
  for (const auto& [key, sums] : months)
    if (!sums.Zero())
      fault(FillPlaceholders(LoadStr(kFaultMonthWithoutHeader), {TrimmedRight(key.c_str()), sums.Text()}),
            "H" + key.substr(0, 7));

  // Accounts: an auxiliary account's lines count on its collective too, one that names no
  // account feeding none.
  std::map<std::string, Sums> wanted = accounts;
  for (const auto& [code, sums] : accounts) {
    const char letter = CollectiveLetterOf(code);
    if (letter == 0) continue;
    const auto c = collectives.find(letter);
    if (c == collectives.end()) {
      fault(FillPlaceholders(LoadStr(kFaultNoCollective), {TrimmedRight(code.c_str()), std::string(1, letter)}),
            std::string("B") + letter);
      continue;
    }
    if (!c->second.empty()) wanted[c->second].Add(sums);
  }
  auto compare = [&fault, &unreadable](Table& t, int f17, const char* what, char file,
                                       std::map<std::string, Sums>& sums) {
    const std::uint32_t count = t.RecCount();
    for (std::uint32_t r = 1; r <= count; ++r) {
      // Passed over when not read: the check's watch of refused reads fails it, naming the file.
      if (!t.GoToRecord(static_cast<long>(r)).FoundOrNone()) continue;
      const std::string code = t.GetField(1);
      bool readable = true;
      Sums stored;
      stored.debitF = StoredAmountOf(t, f17, &readable);
      stored.debitE = StoredAmountOf(t, f17 + 1, &readable);
      stored.creditF = StoredAmountOf(t, f17 + 2, &readable);
      stored.creditE = StoredAmountOf(t, f17 + 3, &readable);
      if (!readable && !t.LiveHere().IsNotFound()) unreadable.push_back({file, t.recordNumber, "", code});
      const auto found = sums.find(code);
      const Sums lines = found != sums.end() ? found->second : Sums{};
      if (!(stored == lines))
        fault(FillPlaceholders(LoadStr(kFaultRecordTotals),
                               {what, TrimmedRight(code.c_str()), stored.Text(), lines.Text()}),
              std::string(1, file == UnreadableAmountLine::kAccountRecord ? 'A' : 'S') + code);
      if (found != sums.end()) sums.erase(found);
    }
    for (const auto& [code, s] : sums)
      if (!s.Zero())
        fault(FillPlaceholders(LoadStr(kFaultRecordMissing), {what, TrimmedRight(code.c_str()), s.Text()}),
              std::string(1, file == UnreadableAmountLine::kAccountRecord ? 'A' : 'S') + code);
  };
  compare(c20, 17, resources::LastingText(kLabelAccount), UnreadableAmountLine::kAccountRecord, wanted);
  compare(c30, 9, resources::LastingText(kLabelSection), UnreadableAmountLine::kSectionRecord, sections);
}

// The analytic records and the general lines they split. A live analytic record ("V" to "Y")
// belongs to the general line of its file with the same month, journal, piece and line number
// (its place), on the account it splits: the line form and the changes of lines find a split so.
// The live records are gathered as the lines are read, then the general lines of their places.
class AnalyticParents {
 public:
  // The place of a line of `file` ('B' or 'C') from its fields, as stored.
  static std::string Place(char file, const std::string& month, const std::string& journal, const std::string& piece,
                           const std::string& number) {
    return std::string(1, file) + month + journal + piece + number;
  }
  void Analytic(std::string place, std::uint32_t recno, const std::string& account) {
    parents_.try_emplace(place);
    analytic_.push_back({std::move(place), recno, TrimmedRight(account.c_str())});
  }
  bool Any() const { return !analytic_.empty(); }
  bool Wanted(const std::string& place) const { return parents_.count(place) != 0; }
  void General(const std::string& place, std::uint32_t recno, const std::string& account, bool live) {
    parents_[place].push_back({recno, TrimmedRight(account.c_str()), live});
  }
  // One fault for each live analytic record without a live general line on its account.
  void Faults(const std::function<void(const std::string&)>& fault) const {
    for (const Analytic_& a : analytic_) {
      const std::vector<General_>& lines = parents_.at(a.place);
      const General_* live = nullptr;
      const General_* cancelled = nullptr;
      bool held = false;
      for (const General_& g : lines) {
        if (g.live && g.account == a.account) held = true;
        if (g.live && live == nullptr) live = &g;
        if (!g.live && (cancelled == nullptr || (g.account == a.account && cancelled->account != a.account)))
          cancelled = &g;
      }
      if (held) continue;
      const std::string file = FileName(a.place[0]), recno = std::to_string(a.recno);
      if (live != nullptr)
        fault(FillPlaceholders(LoadStr(kFaultAnalyticOtherAccount),
                               {file, recno, a.account, std::to_string(live->recno), live->account}));
      else if (cancelled != nullptr)
        fault(FillPlaceholders(LoadStr(kFaultAnalyticUnderCancelled), {file, recno, std::to_string(cancelled->recno)}));
      else
        fault(FillPlaceholders(LoadStr(kFaultAnalyticWithoutGeneral),
                               {file, recno, a.place.substr(a.place.size() - 10, 6), a.place.substr(a.place.size() - 4),
                                a.account}));
    }
  }

 private:
  struct Analytic_ {
    std::string place;
    std::uint32_t recno;
    std::string account;
  };
  struct General_ {
    std::uint32_t recno;
    std::string account;
    bool live;
  };
  std::vector<Analytic_> analytic_;
  std::unordered_map<std::string, std::vector<General_>> parents_;
};

// The live lines of the draft by the number each has in its piece, as the writers that take a number
// seek it: a general line by its journal-month, piece, group and number (its C50CODE key), an analytic
// line by its journal-month, piece, general line (account and number), axis and sub-number (its
// C50ANAL key). Each line that shares its number with an earlier one is named. (The closed file keeps
// no group: lines of one piece and number in two groups, as the opening balances make them, meet there.)
// Each line is kept as a fingerprint of its key alone (8 bytes), the draft being read again only
// when two fingerprints meet, for the keys of those lines: the check holds no key of the draft.
class LineNumbers {
 public:
  // The keys read from the draft's records (Line), their fields where the records hold them;
  // `only`, when given, the journal-months (month + journal) whose lines alone are looked at.
  void Reading(Table& draft, const std::set<std::string>* only) {
    draft_ = &draft;
    only_ = only;
    const std::pair<int, std::size_t> parts[] = {{L::BMOIS, 4}, {L::BJAL, 3},  {L::BPIECE, 6}, {L::BREC, 6},
                                                 {L::BNUM, 4},  {L::BCG, 8},   {L::BNUMA, 4}};
    for (std::size_t i = 0; i < std::size(parts); ++i) {
      Part& p = parts_[i];
      p.field = parts[i].first;
      p.width = parts[i].second;
      p.raw = p.field >= 1 && p.field <= draft.FieldCount() && draft.FieldType(p.field) == 'C';
      if (p.raw) {
        p.at = draft.Layout(p.field).offset;
        p.stored = static_cast<std::size_t>(std::max<int>(0, draft.Layout(p.field).width));
      }
    }
    plain_ = parts_[0].raw && parts_[1].raw && parts_[0].stored == 4 && parts_[1].stored == 3;
    if (only == nullptr) prints_.reserve(draft.RecCount());
  }
  // A live line of the draft, of kind `kind`: noted when its kind takes a number ("Z", "W" or "Y").
  void Line(char kind, const std::uint8_t* record) {
    Key key;
    if (Numbered(kind, record, key)) prints_.push_back(Fingerprint(key));
  }
  // The same from the lines' texts, read through a cursor.
  void General(const std::string& month, const std::string& journal, const std::string& piece,
               const std::string& group, const std::string& number, std::uint32_t recno) {
    Add({std::string(1, 'Z'), Fit(month, 4), Fit(journal, 3), Fit(piece, 6), Fit(group, 6), Fit(number, 4)}, recno);
  }
  void Analytic(char kind, const std::string& month, const std::string& journal, const std::string& piece,
                const std::string& account, const std::string& number, const std::string& subNumber,
                std::uint32_t recno) {
    Add({std::string(1, kind), Fit(month, 4), Fit(journal, 3), Fit(piece, 6), Fit(account, 8), Fit(number, 4),
         Fit(subNumber, 4)},
        recno);
  }
  // The lines of one number named, in the order of their keys; false when the draft of Reading,
  // read again for the lines whose fingerprints meet, could not be read.
  bool Faults(const std::function<void(const std::string&)>& fault) {
    std::sort(prints_.begin(), prints_.end());
    std::vector<std::uint64_t> twice;
    for (std::size_t i = 1; i < prints_.size(); ++i)
      if (prints_[i] == prints_[i - 1] && (twice.empty() || twice.back() != prints_[i])) twice.push_back(prints_[i]);
    prints_ = {};
    if (twice.empty()) return true;
    // The lines whose fingerprints meet, with their keys: the few that may share a number.
    std::vector<Met> met;
    auto take = [&](const Key& key, std::uint32_t recno) {
      if (std::binary_search(twice.begin(), twice.end(), Fingerprint(key))) met.push_back({key, recno});
    };
    if (draft_ == nullptr) {
      for (const auto& [recno, key] : keys_) take(key, recno);
    } else {
      const bool read = ScanRecords(*draft_, [&](std::uint32_t recno, const std::uint8_t* record) {
        if (record[0] == '*') return;
        const std::string kind = FieldTextOf(*draft_, L::BCLE, record);
        Key key;
        if (kind.size() == 1 && Numbered(kind[0], record, key)) take(key, recno);
      });
      if (!read) return false;
    }
    std::sort(met.begin(), met.end());
    for (std::size_t i = 1; i < met.size(); ++i) {
      if (met[i].key != met[i - 1].key) continue;
      std::size_t first = i - 1;
      while (first > 0 && met[first - 1].key == met[i].key) --first;
      const std::string k(met[i].key.data(), met[i].key.size());
      const std::string recno = std::to_string(met[i].recno), firstRecno = std::to_string(met[first].recno);
      const std::string month = k.substr(1, 4), journal = Trimmed(k.substr(5, 3)), piece = k.substr(8, 6);
      if (k[0] == 'Z')
        fault(FillPlaceholders(LoadStr(kFaultSameNumber),
                               {"C50", recno, k.substr(20, 4), firstRecno, piece, journal,
                                month.substr(2, 2) + "/" + DecodeYear(month.substr(0, 2).c_str())}));
      else
        fault(FillPlaceholders(LoadStr(kFaultSameAnalyticNumber),
                               {"C50", recno, k.substr(26, 4), firstRecno, piece, k.substr(22, 4),
                                TrimmedRight(k.substr(14, 8))}));
    }
    return true;
  }

 private:
  using Key = std::array<char, 30>;
  struct Met {
    Key key;
    std::uint32_t recno;
    bool operator<(const Met& o) const { return key != o.key ? key < o.key : recno < o.recno; }
  };
  // A field of the key: its width there and, where it is a text field, its place in the record.
  struct Part {
    int field = 0;
    std::size_t width = 0, at = 0, stored = 0;
    bool raw = false;
  };
  static std::string Fit(const std::string& text, std::size_t width) {
    std::string t = text.substr(0, std::min(text.size(), width));
    t.resize(width, ' ');
    return t;
  }
  // The key's 30 bytes taken eight at a time, each word mixed in by a multiplication and a shift.
  static std::uint64_t Fingerprint(const Key& key) {
    std::uint64_t words[4] = {};
    std::memcpy(words, key.data(), key.size());
    std::uint64_t h = 0x9e3779b97f4a7c15ull;
    for (std::uint64_t w : words) {
      h = (h ^ w) * 0xff51afd7ed558ccdull;
      h ^= h >> 29;
    }
    return h;
  }
  // The key of a live line of kind `kind` in `key`: false for a kind that takes no number, or a line
  // of a journal-month not looked at.
  bool Numbered(char kind, const std::uint8_t* record, Key& key) {
    if (kind != 'Z' && kind != 'W' && kind != 'Y') return false;
    if (only_ != nullptr && !Wanted(record)) return false;
    KeyOf(kind, record, key);
    return true;
  }
  // Part `p` of `record` as FieldTextOf reads it, cut or blank-padded to its width, at `out`.
  void Put(const Part& p, const std::uint8_t* record, char* out) const {
    if (p.raw) {
      // Taken into locals first: `out` may alias anything, and the part's fields would be read again
      // at every byte.
      const std::uint8_t* from = record + p.at;
      const std::size_t most = std::min(p.stored, p.width), width = p.width;
      std::size_t n = 0;
      for (; n < most && from[n] != 0; ++n) out[n] = static_cast<char>(from[n]);
      for (; n < width; ++n) out[n] = ' ';
      return;
    }
    const std::string text = FieldTextOf(*draft_, p.field, record);
    const std::size_t n = std::min(text.size(), p.width);
    std::memcpy(out, text.data(), n);
    std::memset(out + n, ' ', p.width - n);
  }
  void KeyOf(char kind, const std::uint8_t* record, Key& key) const {
    key.fill(' ');
    key[0] = kind;
    char* at = key.data() + 1;
    // Month, journal, piece; then group and number for a general line, account, number and
    // sub-number for an analytic one.
    static constexpr int kGeneral[] = {0, 1, 2, 3, 4}, kAnalytic[] = {0, 1, 2, 5, 4, 6};
    if (kind == 'Z')
      for (int i : kGeneral) at += (Put(parts_[i], record, at), parts_[i].width);
    else
      for (int i : kAnalytic) at += (Put(parts_[i], record, at), parts_[i].width);
  }
  // The stored bytes of a line's month and journal, packed (plain_ only).
  std::uint64_t PackedMonth(const std::uint8_t* record) const {
    std::uint32_t month = 0, journal = 0;
    std::memcpy(&month, record + parts_[0].at, 4);
    std::memcpy(&journal, record + parts_[1].at, 3);
    return (static_cast<std::uint64_t>(journal) << 32) | month;
  }
  // Whether the line's journal-month is one of only_. The draft's journal-months are few and their
  // lines mingle: each answer is kept by the stored bytes it was given for (plain_), in a slot
  // chosen by them, for the next line of those bytes.
  bool Wanted(const std::uint8_t* record) {
    if (!plain_) return WantedAnew(record);
    const std::uint64_t packed = PackedMonth(record);
    Answer& a = answers_[(packed * 0x9e3779b97f4a7c15ull) >> (64 - kAnswerBits)];
    if (a.known && a.packed == packed) return a.wanted;
    a.packed = packed;
    a.wanted = WantedAnew(record);
    a.known = true;
    return a.wanted;
  }
  bool WantedAnew(const std::uint8_t* record) {
    char monthJournal[7];
    Put(parts_[0], record, monthJournal);
    Put(parts_[1], record, monthJournal + 4);
    if (lastWanted_ < 0 || std::memcmp(monthJournal, lastMonth_, sizeof lastMonth_) != 0) {
      std::memcpy(lastMonth_, monthJournal, sizeof lastMonth_);
      lastWanted_ = only_->count(std::string(monthJournal, sizeof monthJournal)) != 0 ? 1 : 0;
    }
    return lastWanted_ == 1;
  }
  void Add(std::initializer_list<std::string> parts, std::uint32_t recno) {
    Key key;
    key.fill(' ');
    std::size_t at = 0;
    for (const std::string& p : parts)
      for (char c : p)
        if (at < key.size()) key[at++] = c;
    keys_.emplace(recno, key);
    prints_.push_back(Fingerprint(key));
  }
  Table* draft_ = nullptr;
  const std::set<std::string>* only_ = nullptr;
  Part parts_[7];
  char lastMonth_[7] = {};
  // Month and journal stored as 4 and 3 bytes of text: Wanted's answers kept by those bytes.
  struct Answer {
    std::uint64_t packed = 0;
    bool known = false, wanted = false;
  };
  static constexpr int kAnswerBits = 8;
  bool plain_ = false;
  std::array<Answer, std::size_t{1} << kAnswerBits> answers_{};
  int lastWanted_ = -1;
  std::vector<std::uint64_t> prints_;            // the fingerprints of the keys, one a line
  std::unordered_map<std::uint32_t, Key> keys_;  // the keys read through a cursor, by record number
};

bool IsAnalyticKind(char kind) { return kind >= 'V' && kind <= 'Y'; }
bool IsAnalyticKind(const std::string& kind) { return kind.size() == 1 && IsAnalyticKind(kind[0]); }

// A text field holding one letter or a record number, read from the records' bytes where it is a text
// field (usable), as FieldTextOf would read it.
class RawText {
 public:
  RawText(Table& t, int field)
      : table_(t),
        field_(field),
        usable_(field >= 1 && field <= t.FieldCount() && t.FieldType(field) == 'C' && t.Layout(field).width > 0),
        at_(usable_ ? t.Layout(field).offset : 0),
        width_(usable_ ? static_cast<std::size_t>(t.Layout(field).width) : 0) {}
  bool usable() const { return usable_; }
  // The first character of the field's text as FieldTextOf reads it (a zero when it has none).
  char Letter(const std::uint8_t* record) const {
    if (usable_) return record[at_] == 0 ? ' ' : static_cast<char>(record[at_]);
    const std::string text = FieldTextOf(table_, field_, record);
    return text.empty() ? '\0' : text[0];
  }
  // The field's text when it is one letter (a line's kind), else a zero.
  char OnlyLetter(const std::uint8_t* record) const {
    if (usable_ && width_ == 1) return Letter(record);
    const std::string text = FieldTextOf(table_, field_, record);
    return text.size() == 1 ? text[0] : '\0';
  }
  // A record number written as digits with blanks around them; 0 for anything else (and when not usable).
  long Number(const std::uint8_t* record) const {
    if (!usable_) return 0;
    const std::uint8_t* p = record + at_;
    const std::uint8_t* end = p + width_;
    while (p < end && *p == ' ') ++p;
    long n = 0;
    const std::uint8_t* digits = p;
    for (; p < end && *p >= '0' && *p <= '9' && n < 100000000; ++p) n = n * 10 + (*p - '0');
    if (p == digits) return 0;
    for (; p < end; ++p)
      if (*p != ' ') return 0;
    return n;
  }

 private:
  Table& table_;
  int field_;
  bool usable_;
  std::size_t at_, width_;
};

// The month and journal of a line from its record's bytes, as FieldTextOf reads them when they hold
// no zero byte (Plain).
// The sums of a line's account (or section) found by the stored bytes of its code, a text field of
// eight bytes: each code met keeps its sums in a slot chosen by those bytes, so that most lines
// find them without reading the code's text nor looking it up among the sums by text. The same
// bytes give the same text (FieldTextOf): a slot never holds another code's sums. A field of
// another width or type goes to the look-up every time.
class CodeSums {
 public:
  CodeSums(Table& t, int field) {
    if (field < 1 || field > t.FieldCount() || t.FieldType(field) != 'C' || t.Layout(field).width != 8) return;
    at_ = t.Layout(field).offset;
    plain_ = true;
  }
  // The sums of the record's code: `lookUp` (reading the code's text and finding its sums by it)
  // only for bytes not met in this slot before.
  template <class LookUp>
  Sums& Find(const std::uint8_t* record, LookUp lookUp) {
    if (!plain_) return lookUp();
    std::uint64_t packed = 0;
    std::memcpy(&packed, record + at_, 8);
    Slot& slot = slots_[(packed * 0x9e3779b97f4a7c15ull) >> (64 - kSlotBits)];
    if (slot.sums == nullptr || slot.packed != packed) {
      slot.sums = &lookUp();
      slot.packed = packed;
    }
    return *slot.sums;
  }

 private:
  struct Slot {
    std::uint64_t packed = 0;
    Sums* sums = nullptr;
  };
  static constexpr int kSlotBits = 10;
  std::vector<Slot> slots_ = std::vector<Slot>(std::size_t{1} << kSlotBits);
  std::size_t at_ = 0;
  bool plain_ = false;
};

class RawMonth {
 public:
  RawMonth(Table& t, int monthField, int journalField) : month_(t, monthField), journal_(t, journalField) {}
  bool usable() const { return month_.usable() && journal_.usable(); }
  std::size_t monthWidth() const { return month_.width; }
  bool Plain(const std::uint8_t* record) const {
    return std::memchr(record + month_.at, 0, month_.width) == nullptr &&
           std::memchr(record + journal_.at, 0, journal_.width) == nullptr;
  }
  // Whether the record's month and journal, as FieldTextOf reads them, begin `text` (month + journal,
  // and what may follow); false whenever they cannot be read from the bytes alone.
  bool Same(const std::uint8_t* record, const std::string& text) const {
    if (!usable() || text.size() < month_.width + journal_.width) return false;
    const char* t = text.data();
    for (std::size_t i = 0; i < month_.width; ++i)
      if (record[month_.at + i] != static_cast<std::uint8_t>(t[i]) || t[i] == 0) return false;
    t += month_.width;
    for (std::size_t i = 0; i < journal_.width; ++i)
      if (record[journal_.at + i] != static_cast<std::uint8_t>(t[i]) || t[i] == 0) return false;
    return true;
  }
  std::string Text(const std::uint8_t* record) const {
    return std::string(reinterpret_cast<const char*>(record + month_.at), month_.width)
        .append(reinterpret_cast<const char*>(record + journal_.at), journal_.width);
  }

 private:
  struct Span {
    Span(Table& t, int field) : ok(field >= 1 && field <= t.FieldCount() && t.FieldType(field) == 'C') {
      if (!ok) return;
      at = t.Layout(field).offset;
      width = static_cast<std::size_t>(std::max<int>(0, t.Layout(field).width));
    }
    bool usable() const { return ok && width > 0; }
    bool ok;
    std::size_t at = 0, width = 0;
  };
  Span month_, journal_;
};

// Sums less the sums of some of their lines.
Sums Less(Sums a, const Sums& b) {
  a.debitF -= b.debitF;
  a.creditF -= b.creditF;
  a.debitE -= b.debitE;
  a.creditE -= b.creditE;
  return a;
}

// BMOIS + BJAL as the lines hold them: a journal-month as the validation names it.
constexpr std::size_t kMonthJournalLength = L::kJournalMonthKeyLength - 1;

}  // namespace

// What CheckKeeping read of the lines, for CheckMoved. The sums are those of the live lines, as the
// check gathers them (journal-months by month + journal + "B" or "C").
struct DossierInvariants::Kept {
  std::set<std::string> months;  // the journal-months the validation moves, month + journal
  bool whole = false;            // everything below read, from the files' blocks
  std::map<std::string, Sums> monthSums, accounts, sections;
  // The live draft lines of those journal-months: their sums by account and section, their general
  // lines and their analytic records by journal-month (month + journal + one of the marks below).
  std::unordered_map<std::string, Sums> movedAccounts, movedSections;
  std::map<std::string, long> movedRecords;
  static constexpr char kGeneralRecords = 'Z', kAnalyticRecords = 'A';
  long draftLive = 0;                          // live records of the draft, all kinds
  bool hasClosed = false;
  long closedLines = 0;                        // records of the closed file
  std::vector<std::uint32_t> closedCancelled;  // its cancelled records, in order
  // The stretch of lines of one journal-month the draft's walk is in, and the count of its general
  // lines when it is moved.
  std::string stretch;
  long* stretchCount = nullptr;

  // A live general line of the draft, `key` its journal-month + "B": counted when the run moves it,
  // and true then, its account's sums to be given to MovedGeneral.
  bool General(const std::string& key) {
    if (key != stretch) {
      stretch = key;
      const auto moved = months.find(key.substr(0, kMonthJournalLength));
      stretchCount = moved != months.end() ? &movedRecords[*moved + kGeneralRecords] : nullptr;
    }
    if (stretchCount == nullptr) return false;
    ++*stretchCount;
    return true;
  }
  void MovedGeneral(const std::string& account, char sense, long long francs, long long euros) {
    movedAccounts[account].AddCents(sense, francs, euros);
  }
  // A live analytic record of the draft, of kind `kind` ("V" to "Y"); `section` is read for "W" and "Y".
  void Analytic(const std::string& month, const std::string& journal, char kind, const std::string& section,
                char sense, long long francs, long long euros) {
    const auto moved = months.find(month + journal);
    if (moved == months.end()) return;
    ++movedRecords[*moved + kAnalyticRecords];
    if (kind == 'W' || kind == 'Y') movedSections[section].AddCents(sense, francs, euros);
  }
};

std::string DossierInvariants::Path(TableKind kind) const {
  if (!folder_.empty()) return folder_ + TableBaseName(kind, code_);
  switch (kind) {
    case TableKind::C10: return PathC10();
    case TableKind::C20: return PathC20();
    case TableKind::C30: return PathC30();
    case TableKind::C40: return PathC40();
    case TableKind::C50: return PathC50();
    default: return PathC60();
  }
}

std::string DossierInvariants::Code() const { return folder_.empty() ? DossierCode : code_; }

void DossierInvariants::Fault(const std::string& text) {
  ++faultCount_;
  ++apartCount_;
  if (faults_.size() < kMaxFaults) faults_.push_back(text);
  if (apartFaults_.size() < kMaxFaults) apartFaults_.push_back(text);
}

void DossierInvariants::WrongTotal(const std::string& text, const std::string& total) {
  ++faultCount_;
  if (faults_.size() < kMaxFaults) faults_.push_back(text);
  if (totalsFaults_.size() < kMaxFaults) totalsFaults_.push_back(text);
  wrongTotals_.insert(total);
}

std::string DossierInvariants::Listed(const std::vector<std::string>& faults, long count, std::size_t shown) {
  std::string out;
  const std::size_t n = std::min(faults.size(), shown);
  for (std::size_t i = 0; i < n; ++i) out += "   " + faults[i] + "\n";
  if (count > static_cast<long>(n))
    out += FillPlaceholder(LoadStr(kFaultsMore), std::to_string(count - static_cast<long>(n)));
  return out;
}

std::string DossierInvariants::TotalsAdvice() const {
  if (TotalsCount() == 0) return "";
  return FillPlaceholder(LoadStr(kTotalsAdvice), Listed(totalsFaults_, TotalsCount(), kShownFaults));
}

std::string DossierInvariants::Report() const {
  std::string out;
  for (const std::string& f : faults_) out += f + "\n";
  if (faultCount_ > static_cast<long>(faults_.size()))
    out += FillPlaceholder(LoadStr(kFaultsMore), std::to_string(faultCount_ - static_cast<long>(faults_.size())));
  if (!unreadable_.empty()) out += LoadStr(kStrUnreadableHead) + UnreadableAmountLinesText(unreadable_);
  return out;
}

void DossierInvariants::Clear() {
  faults_.clear();
  apartFaults_.clear();
  totalsFaults_.clear();
  wrongTotals_.clear();
  unreadable_.clear();
  faultCount_ = apartCount_ = 0;
  draftLines = closedLines = sortRecords = headers = 0;
}

bool DossierInvariants::Check() {
  kept_.reset();
  return CheckWhole();
}

bool DossierInvariants::CheckKeeping(const std::vector<std::string>& journalMonths) {
  kept_ = std::make_shared<Kept>();
  for (const std::string& m : journalMonths) kept_->months.insert(PadRight(m, kMonthJournalLength));
  const bool held = CheckWhole();
  if (!kept_->whole) kept_.reset();
  return held;
}

bool DossierInvariants::CheckWhole() {
  Clear();
  readWhole_ = true;
  // A read the system refused ends a walk short of its table's end, or skips a record, which the
  // sums and counts would not show: the check then fails, naming the file.
  const RefusalWatch reading;
  // The lines and sort records read from the files' blocks; a block that cannot be read (a damaged
  // file) sends the whole check through the cursors, which name each record they cannot read.
  bool held = false;
  if (CheckFromBlocks()) {
    held = faultCount_ == 0;
  } else {
    Clear();
    held = CheckByCursor();
  }
  if (reading.ReadRefused()) {
    Fault(reading.Reason(reading.RefusedResult(), reading.RefusedFile(), reading.RefusedResult()));
    return false;
  }
  return held;
}

bool DossierInvariants::CheckFromBlocks() {
  Table c10, c20, c30, c40, c50, c60;
  if (!OpenReading(c10, Path(TableKind::C10).c_str()) || !OpenReading(c20, Path(TableKind::C20).c_str()) || !OpenReading(c30, Path(TableKind::C30).c_str()) ||
      !OpenReading(c50, Path(TableKind::C50).c_str()) || !OpenReading(c60, Path(TableKind::C60).c_str()))
    return false;
  const bool hasClosed = OpenReading(c40, Path(TableKind::C40).c_str());
  // Every field read is a text or a number field, as the cursors' walk reads them.
  auto readable = [](Table& t, int field) {
    const char type = field >= 1 && field <= t.FieldCount() ? t.FieldType(field) : 'U';
    return type == 'C' || type == 'N';
  };
  for (int pass = 0; pass < 2; ++pass) {
    const bool closed = pass == 1;
    if (closed && !hasClosed) break;
    Table& lines = closed ? c40 : c50;
    for (int f : {L::BCLE, L::BSENS, L::BMONTANTF, L::BMONTANTE, L::BMOIS, L::BJAL, L::BCODE})
      if (!readable(lines, closed ? L::ClosedFieldOf(f) : f)) return false;
    for (int f : {L::BMONTANTF, L::BMONTANTE})
      if (lines.FieldType(closed ? L::ClosedFieldOf(f) : f) != 'N') return false;
    for (const SortRecordCopy& k : kSortRecordCopies)
      if (!readable(lines, closed ? L::ClosedFieldOf(k.draftField) : k.draftField)) return false;
  }
  for (int f : {static_cast<int>(T::TFIC), static_cast<int>(T::TREC)})
    if (!readable(c60, f)) return false;
  for (const SortRecordCopy& k : kSortRecordCopies)
    if (!readable(c60, k.sortField)) return false;

  // The sums gathered by key without order, ordered once at the end as the cursors' walk keeps them.
  std::unordered_map<std::string, Sums> months, accounts, sections;
  std::vector<std::uint8_t> sortsOf[2];
  std::string kindText, month, journal, code, piece, number;
  std::string monthKey, lastMonthKey;
  Sums* monthSums = nullptr;  // the sums of lastMonthKey (the map's elements stay where they are)
  AnalyticParents parents;
  LineNumbers numbers;
  Kept* const kept = kept_.get();
  // Before a run, the line numbers are looked at in the journal-months it moves: those it writes.
  numbers.Reading(c50, kept != nullptr ? &kept->months : nullptr);
  // The place of the line `record` of `lines` (the draft or the closed file), among the analytic parents.
  auto placeOf = [&](Table& lines, bool closed, const std::uint8_t* record) {
    auto field = [closed](int draftField) { return closed ? L::ClosedFieldOf(draftField) : draftField; };
    FieldTextOf(lines, field(L::BMOIS), record, month);
    FieldTextOf(lines, field(L::BJAL), record, journal);
    FieldTextOf(lines, field(L::BPIECE), record, piece);
    FieldTextOf(lines, field(L::BNUM), record, number);
    return AnalyticParents::Place(closed ? T::kClosed : T::kDraft, month, journal, piece, number);
  };
  for (int pass = 0; pass < 2; ++pass) {
    const bool closed = pass == 1;
    if (closed && !hasClosed) break;
    Table& lines = closed ? c40 : c50;
    auto field = [closed](int draftField) { return closed ? L::ClosedFieldOf(draftField) : draftField; };
    const int fKind = field(L::BCLE), fSense = field(L::BSENS), fFrancs = field(L::BMONTANTF),
              fEuros = field(L::BMONTANTE), fMonth = field(L::BMOIS), fJournal = field(L::BJAL),
              fCode = field(L::BCODE), fPiece = field(L::BPIECE), fSplit = field(L::BCG);
    const RawText kindOf(lines, fKind), senseOf(lines, fSense);
    const RawMonth monthOf(lines, fMonth, fJournal);
    // The sums of the accounts and sections met, found again by their code's stored bytes.
    CodeSums accountOf(lines, fCode), sectionOf(lines, fCode);
    // A line's two amounts read together as FieldCentsOf reads each, their largest decided once for
    // the walk; read one by one in a table whose amounts the engine does not take for a line's.
    const LineCentsReader lineCents(lines, fFrancs, fEuros);
    monthSums = nullptr;  // a stretch of lines is of one file
    std::uint32_t count = 0;
    std::vector<std::uint32_t> cancelled;
    const bool read = ScanRecords(lines, [&](std::uint32_t recno, const std::uint8_t* record) {
      ++count;
      if (record[0] == '*') {
        cancelled.push_back(recno);
        return;
      }
      const char kind = kindOf.OnlyLetter(record);
      if (IsAnalyticKind(kind)) parents.Analytic(placeOf(lines, closed, record), recno, FieldTextOf(lines, fSplit, record));
      // The draft's lines by their number.
      if (!closed) numbers.Line(kind, record);
      const char sense = senseOf.Letter(record);
      long long cents[2];
      const bool readable = lineCents.Read(record, cents);
      const long long francs = cents[0], euros = cents[1];
      // The line's account or section, read into `code` only where its text is needed.
      bool codeRead = false;
      auto readCode = [&] {
        if (!codeRead) FieldTextOf(lines, fCode, record, code);
        codeRead = true;
      };
      if (!readable && (kind == 'Z' || kind == 'W' || kind == 'Y')) {
        readCode();
        unreadable_.push_back({closed ? T::kClosed : T::kDraft, recno, FieldTextOf(lines, fPiece, record), code});
      }
      if (kind == 'Z') {
        // Lines of one journal-month mostly follow each other: their sums found once for the stretch,
        // its month and journal read as text only where they change.
        if (monthSums == nullptr || !monthOf.Same(record, lastMonthKey)) {
          FieldTextOf(lines, fMonth, record, month);
          FieldTextOf(lines, fJournal, record, journal);
          monthKey.assign(month).append(journal).append(closed ? "C" : "B");
          if (monthSums == nullptr || monthKey != lastMonthKey) {
            monthSums = &months[monthKey];
            lastMonthKey = monthKey;
          }
        }
        monthSums->AddCents(sense, francs, euros, readable);
        accountOf.Find(record, [&]() -> Sums& { return readCode(), accounts[code]; }).AddCents(sense, francs, euros, readable);
        if (kept != nullptr && !closed && kept->General(lastMonthKey)) {
          readCode();
          kept->MovedGeneral(code, sense, francs, euros);
        }
      } else if (kind == 'W' || kind == 'Y') {
        sectionOf.Find(record, [&]() -> Sums& { return readCode(), sections[code]; }).AddCents(sense, francs, euros, readable);
      }
      // An analytic record's month and journal were read for its place.
      if (kept != nullptr && !closed && IsAnalyticKind(kind)) {
        if (kind == 'W' || kind == 'Y') readCode();
        kept->Analytic(month, journal, kind, code, sense, francs, euros);
      }
    });
    if (!read) return false;
    if (kept != nullptr && closed) {
      kept->closedLines = static_cast<long>(count);
      kept->closedCancelled = cancelled;
    } else if (kept != nullptr) {
      kept->draftLive = static_cast<long>(count - cancelled.size());
    }
    sortsOf[pass].assign(static_cast<std::size_t>(count) + 1, 0);
    for (const std::uint32_t n : cancelled)
      if (n < sortsOf[pass].size()) sortsOf[pass][n] = kCancelledLine;
    (closed ? closedLines : draftLines) = static_cast<long>(count);
  }
  // The general lines of the places that live analytic records name, live or cancelled.
  for (int pass = 0; pass < 2 && parents.Any(); ++pass) {
    const bool closed = pass == 1;
    if (closed && !hasClosed) break;
    Table& lines = closed ? c40 : c50;
    const int fKind = closed ? L::ClosedFieldOf(L::BCLE) : L::BCLE, fCode = closed ? L::ClosedFieldOf(L::BCODE) : L::BCODE;
    const bool read = ScanRecords(lines, [&](std::uint32_t recno, const std::uint8_t* record) {
      FieldTextOf(lines, fKind, record, kindText);
      if (kindText != "Z") return;
      const std::string place = placeOf(lines, closed, record);
      if (parents.Wanted(place)) parents.General(place, recno, FieldTextOf(lines, fCode, record), record[0] != '*');
    });
    if (!read) return false;
  }

  // The sort records, each line it points at read where the engine holds it.
  std::optional<SortKeys> keys[2];
  keys[0].emplace(c60, c50, false);
  if (hasClosed) keys[1].emplace(c60, c40, true);
  const RawText fileOf(c60, T::TFIC), lineOf(c60, T::TREC);
  std::vector<std::uint8_t> scratch;
  std::string lineText;
  std::uint32_t r = 0;
  bool linesRead = true;
  const bool read = ScanRecords(c60, [&](std::uint32_t, const std::uint8_t* record) {
    ++r;
    const char file = fileOf.Letter(record);
    // The line's number as its digits give it, else as Val reads the text.
    long recno = lineOf.Number(record);
    if (recno == 0) recno = static_cast<long>(Val(FieldTextOf(c60, T::TREC, record).c_str()));
    const bool closed = file == T::kClosed;
    std::vector<std::uint8_t>& pointed = sortsOf[closed ? 1 : 0];
    if ((file != T::kDraft && file != T::kClosed) || recno < 1 || static_cast<std::size_t>(recno) >= pointed.size()) {
      FieldTextOf(c60, T::TREC, record, lineText);
      Fault(FillPlaceholders(LoadStr(kFaultSortPointsNowhere),
                             {std::to_string(r), std::string(1, file) + TrimmedRight(lineText.c_str())}));
      return;
    }
    CountSort(pointed[static_cast<std::size_t>(recno)]);
    Table& lines = closed ? c40 : c50;
    const std::uint8_t* line = nullptr;
    if (dbase::DbiReadRecordBlock(lines.Engine().cursor, static_cast<std::uint32_t>(recno), 1, scratch, &line) !=
        dbase::DBIERR_NONE) {
      linesRead = false;
      return;
    }
    if (const char* differs = keys[closed ? 1 : 0]->Differs(record, line))
      Fault(FillPlaceholders(LoadStr(kFaultSortDiffers), {FileName(file), std::to_string(recno), std::to_string(r), differs}));
    const bool sortDeleted = record[0] == '*', lineDeleted = line[0] == '*';
    if (sortDeleted != lineDeleted)
      Fault(FillPlaceholders(LoadStr(lineDeleted ? kFaultLineCancelled : kFaultSortCancelled),
                             {FileName(file), std::to_string(recno)}));
  });
  if (!read || !linesRead) return false;
  sortRecords = static_cast<long>(r);
  SortCounts(sortsOf, [this](const std::string& f) { Fault(f); });
  parents.Faults([this](const std::string& f) { Fault(f); });
  if (!numbers.Faults([this](const std::string& f) { Fault(f); })) return false;
  std::map<std::string, Sums> orderedMonths(months.begin(), months.end());
  const std::map<std::string, Sums> orderedAccounts(accounts.begin(), accounts.end());
  std::map<std::string, Sums> orderedSections(sections.begin(), sections.end());
  if (kept != nullptr) {
    kept->monthSums = orderedMonths;
    kept->accounts = orderedAccounts;
    kept->sections = orderedSections;
    kept->hasClosed = hasClosed;
    kept->whole = true;
  }
  CheckTotals(c10, c20, c30, orderedMonths, orderedAccounts, orderedSections,
              [this](const std::string& f, const std::string& total) { WrongTotal(f, total); }, headers, unreadable_);
  return true;
}

bool DossierInvariants::CheckByCursor() {
  Table c10, c20, c30, c40, c50, c60;
  if (!OpenReading(c10, Path(TableKind::C10).c_str()) || !OpenReading(c20, Path(TableKind::C20).c_str()) || !OpenReading(c30, Path(TableKind::C30).c_str()) ||
      !OpenReading(c50, Path(TableKind::C50).c_str()) || !OpenReading(c60, Path(TableKind::C60).c_str())) {
    Fault(FillPlaceholder(LoadStr(kMsgDossierFilesNotOpened), Code()));
    return false;
  }
  // A dossier that never validated anything may have no closed file.
  const bool hasClosed = OpenReading(c40, Path(TableKind::C40).c_str());

  std::map<std::string, Sums> months;    // month + journal + "B" or "C"
  std::map<std::string, Sums> accounts;  // account code
  std::map<std::string, Sums> sections;  // section code
  std::vector<std::uint8_t> sortsOf[2];  // per line of C50 and C40: how many sort records point at it
  AnalyticParents parents;
  LineNumbers numbers;
  auto placeOf = [](Table& lines, bool closed) {
    return AnalyticParents::Place(closed ? T::kClosed : T::kDraft, L::Get(lines, closed, L::BMOIS),
                                  L::Get(lines, closed, L::BJAL), L::Get(lines, closed, L::BPIECE),
                                  L::Get(lines, closed, L::BNUM));
  };

  // The lines: their sums.
  for (int pass = 0; pass < 2; ++pass) {
    const bool closed = pass == 1;
    if (closed && !hasClosed) break;
    Table& lines = closed ? c40 : c50;
    const std::uint32_t count = lines.RecCount();
    sortsOf[pass].assign(static_cast<std::size_t>(count) + 1, 0);
    (closed ? closedLines : draftLines) = static_cast<long>(count);
    for (std::uint32_t r = 1; r <= count; ++r) {
      if (!lines.GoToRecord(static_cast<long>(r)).IsFound()) {
        Fault(FillPlaceholders(LoadStr(kFaultLineUnreadable),
                               {FileName(closed ? T::kClosed : T::kDraft), std::to_string(r)}));
        continue;
      }
      const Lookup live = lines.LiveHere();
      if (live.IsRefused()) {
        Fault(FillPlaceholders(LoadStr(kFaultLineUnreadable),
                               {FileName(closed ? T::kClosed : T::kDraft), std::to_string(r)}));
        continue;
      }
      if (live.IsNotFound()) {
        sortsOf[pass][r] = kCancelledLine;
        continue;
      }
      const std::string kind = L::Get(lines, closed, L::BCLE);
      if (IsAnalyticKind(kind)) parents.Analytic(placeOf(lines, closed), r, L::Get(lines, closed, L::BCG));
      if (!closed && (kind == "W" || kind == "Y"))
        numbers.Analytic(kind[0], lines.GetField(L::BMOIS), lines.GetField(L::BJAL), lines.GetField(L::BPIECE),
                         lines.GetField(L::BCG), lines.GetField(L::BNUM), lines.GetField(L::BNUMA), r);
      else if (!closed && kind == "Z")
        numbers.General(lines.GetField(L::BMOIS), lines.GetField(L::BJAL), lines.GetField(L::BPIECE),
                        lines.GetField(L::BREC), lines.GetField(L::BNUM), r);
      const std::string sense = L::Get(lines, closed, L::BSENS);
      bool readable = true;
      const long long francs =
          StoredAmountOf(lines, closed ? static_cast<int>(L::DMONTANTF) : static_cast<int>(L::BMONTANTF), &readable);
      const long long euros =
          StoredAmountOf(lines, closed ? static_cast<int>(L::DMONTANTE) : static_cast<int>(L::BMONTANTE), &readable);
      if (!readable && (kind == "Z" || kind == "W" || kind == "Y"))
        unreadable_.push_back({closed ? T::kClosed : T::kDraft, r, L::Get(lines, closed, L::BPIECE),
                               L::Get(lines, closed, L::BCODE)});
      if (kind == "Z") {
        const std::string month = L::Get(lines, closed, L::BMOIS) + L::Get(lines, closed, L::BJAL);
        months[month + (closed ? "C" : "B")].AddCents(sense, francs, euros, readable);
        accounts[L::Get(lines, closed, L::BCODE)].AddCents(sense, francs, euros, readable);
      } else if (kind == "W" || kind == "Y") {
        sections[L::Get(lines, closed, L::BCODE)].AddCents(sense, francs, euros, readable);
      }
    }
  }

  // The general lines of the places that live analytic records name, live or cancelled.
  for (int pass = 0; pass < 2 && parents.Any(); ++pass) {
    const bool closed = pass == 1;
    if (closed && !hasClosed) break;
    Table& lines = closed ? c40 : c50;
    const std::uint32_t count = lines.RecCount();
    for (std::uint32_t r = 1; r <= count; ++r) {
      // Passed over when not read: the check's watch of refused reads fails it, naming the file.
      if (!lines.GoToRecord(static_cast<long>(r)).FoundOrNone() || L::Get(lines, closed, L::BCLE) != "Z") continue;
      const std::string place = placeOf(lines, closed);
      if (parents.Wanted(place)) parents.General(place, r, L::Get(lines, closed, L::BCODE), lines.LiveHere().FoundOrNone());
    }
  }

  // The sort records: each points at one line, with its key fields and its cancel mark.
  const std::uint32_t sorts = c60.RecCount();
  sortRecords = static_cast<long>(sorts);
  for (std::uint32_t r = 1; r <= sorts; ++r) {
    if (!c60.GoToRecord(static_cast<long>(r)).IsFound()) {
      Fault(FillPlaceholder(LoadStr(kFaultSortUnreadable), std::to_string(r)));
      continue;
    }
    const char file = c60.GetField(T::TFIC)[0];
    const long recno = static_cast<long>(Val(c60.GetField(T::TREC)));
    const bool closed = file == T::kClosed;
    std::vector<std::uint8_t>& pointed = sortsOf[closed ? 1 : 0];
    if ((file != T::kDraft && file != T::kClosed) || recno < 1 || static_cast<std::size_t>(recno) >= pointed.size()) {
      Fault(FillPlaceholders(LoadStr(kFaultSortPointsNowhere),
                             {std::to_string(r), std::string(1, file) + TrimmedRight(c60.GetField(T::TREC))}));
      continue;
    }
    CountSort(pointed[static_cast<std::size_t>(recno)]);
    Table& lines = closed ? c40 : c50;
    // Passed over when not read: the check's watch of refused reads fails it, naming the file.
    if (!lines.GoToRecord(recno).FoundOrNone()) continue;
    const std::string name = FileName(file), line = std::to_string(recno);
    for (const SortRecordCopy& k : kSortRecordCopies) {
      if (std::string(c60.GetField(k.sortField)) != L::Get(lines, closed, k.draftField)) {
        Fault(FillPlaceholders(LoadStr(kFaultSortDiffers), {name, line, std::to_string(r), SortFieldName(k.sortField)}));
        break;
      }
    }
    // Marks not read are not compared: the check's watch of refused reads fails it, naming the file.
    const Lookup sortLive = c60.LiveHere(), lineLive = lines.LiveHere();
    if (!sortLive.IsRefused() && !lineLive.IsRefused() && sortLive != lineLive)
      Fault(FillPlaceholders(LoadStr(lineLive.IsNotFound() ? kFaultLineCancelled : kFaultSortCancelled), {name, line}));
  }
  SortCounts(sortsOf, [this](const std::string& f) { Fault(f); });
  parents.Faults([this](const std::string& f) { Fault(f); });
  numbers.Faults([this](const std::string& f) { Fault(f); });

  CheckTotals(c10, c20, c30, months, accounts, sections,
              [this](const std::string& f, const std::string& total) { WrongTotal(f, total); }, headers, unreadable_);
  return faultCount_ == 0;
}

bool DossierInvariants::CheckMoved(const DossierInvariants& before) {
  kept_.reset();
  Clear();
  const Kept* k = before.kept_.get();
  if (k != nullptr && k->whole && before.faultCount_ == 0 && before.unreadable_.empty() && before.folder_ == folder_ &&
      before.code_ == code_) {
    // A read refused leaves what was read short: the whole books are read again, and named.
    const RefusalWatch reading;
    if (MovedLinesHold(*k) && !reading.ReadRefused()) {
      readWhole_ = false;
      return true;
    }
    Clear();
  }
  return CheckWhole();
}

bool DossierInvariants::MovedLinesHold(const Kept& k) {
  Table c10, c20, c30, c40, c50, c60;
  if (!k.hasClosed || !OpenReading(c10, Path(TableKind::C10).c_str()) ||
      !OpenReading(c20, Path(TableKind::C20).c_str()) || !OpenReading(c30, Path(TableKind::C30).c_str()) ||
      !OpenReading(c40, Path(TableKind::C40).c_str()) || !OpenReading(c50, Path(TableKind::C50).c_str()) ||
      !OpenReading(c60, Path(TableKind::C60).c_str()))
    return false;
  const auto closed = [](int draftField) { return L::ClosedFieldOf(draftField); };
  const RawText closedKind(c40, closed(L::BCLE)), closedSense(c40, closed(L::BSENS)), draftKind(c50, L::BCLE),
      sortFile(c60, T::TFIC), sortLine(c60, T::TREC);
  const RawMonth closedMonth(c40, closed(L::BMOIS), closed(L::BJAL)), draftMonth(c50, L::BMOIS, L::BJAL);
  if (!sortLine.usable() || !closedMonth.usable() || !draftMonth.usable()) return false;
  bool held = true;

  // The lines moved: the closed file's records past those it held, each live and of a journal-month
  // moved, summed as the whole check sums them; the analytic records under a general line moved
  // with them.
  const int fFrancs = closed(L::BMONTANTF), fEuros = closed(L::BMONTANTE), fCode = closed(L::BCODE),
            fPiece = closed(L::BPIECE), fNumber = closed(L::BNUM), fSplit = closed(L::BCG);
  const auto firstMoved = static_cast<std::uint32_t>(k.closedLines + 1);
  // Whether the draft held analytic records in the journal-months moved: the places of the lines
  // moved are read only then.
  bool analytic = false;
  for (const auto& [key, count] : k.movedRecords) analytic = analytic || key.back() == Kept::kAnalyticRecords;
  std::map<std::string, Sums> movedMonths;
  std::unordered_map<std::string, Sums> movedAccounts, movedSections;
  std::map<std::string, long> movedRecords;
  long moved = 0;
  AnalyticParents parents;
  struct General {
    std::string place;
    std::uint32_t recno;
    std::string account;
  };
  std::vector<General> generals;
  std::string code, piece, number;
  // The journal-month of the stretch of lines the walk is in, its sums and its counts.
  std::string stretch;
  Sums* monthSums = nullptr;
  long* generalCount = nullptr;
  long* analyticCount = nullptr;
  // A line's two amounts read together, and its account's or section's sums found by its code's
  // bytes, as the check before the run did (CheckFromBlocks).
  CodeSums accountOf(c40, fCode), sectionOf(c40, fCode);
  const LineCentsReader lineCents(c40, fFrancs, fEuros);
  if (!ScanRecordsFrom(c40, firstMoved, [&](std::uint32_t recno, const std::uint8_t* record) {
        if (!held) return;
        const char kind = closedKind.OnlyLetter(record);
        const bool general = kind == L::kGeneral, analyticKind = kind >= 'V' && kind <= 'Y';
        if (record[0] == '*' || (!general && !analyticKind) || !closedMonth.Plain(record)) {
          held = false;
          return;
        }
        if (monthSums == nullptr || !closedMonth.Same(record, stretch)) {
          stretch = closedMonth.Text(record);
          if (k.months.count(stretch) == 0) {
            held = false;
            return;
          }
          monthSums = &movedMonths[stretch];
          generalCount = &movedRecords[stretch + Kept::kGeneralRecords];
          analyticCount = &movedRecords[stretch + Kept::kAnalyticRecords];
        }
        ++moved;
        ++*(general ? generalCount : analyticCount);
        long long cents[2];
        const bool readable = lineCents.Read(record, cents);
        const long long francs = cents[0], euros = cents[1];
        if (!readable && (general || kind == 'W' || kind == 'Y')) {
          held = false;
          return;
        }
        const char sense = closedSense.Letter(record);
        std::string place;
        if (analytic) {
          FieldTextOf(c40, fPiece, record, piece);
          FieldTextOf(c40, fNumber, record, number);
          place = AnalyticParents::Place(T::kClosed, stretch.substr(0, closedMonth.monthWidth()),
                                         stretch.substr(closedMonth.monthWidth()), piece, number);
        }
        if (general) {
          monthSums->AddCents(sense, francs, euros);
          if (!analytic) {
            accountOf.Find(record, [&]() -> Sums& { return FieldTextOf(c40, fCode, record, code), movedAccounts[code]; })
                .AddCents(sense, francs, euros);
            return;
          }
          FieldTextOf(c40, fCode, record, code);
          movedAccounts[code].AddCents(sense, francs, euros);
          generals.push_back({std::move(place), recno, code});
          return;
        }
        parents.Analytic(std::move(place), recno, FieldTextOf(c40, fSplit, record));
        if (kind == 'W' || kind == 'Y')
          sectionOf.Find(record, [&]() -> Sums& { return FieldTextOf(c40, fCode, record, code), movedSections[code]; })
              .AddCents(sense, francs, euros);
      }) ||
      !held)
    return false;
  for (auto it = movedRecords.begin(); it != movedRecords.end();) it = it->second == 0 ? movedRecords.erase(it) : std::next(it);
  if (movedRecords != k.movedRecords) return false;
  for (const General& g : generals)
    if (parents.Wanted(g.place)) parents.General(g.place, g.recno, g.account, true);
  parents.Faults([&held](const std::string&) { held = false; });
  if (!held) return false;

  // The draft, packed: the live records of the other journal-months alone, as many as stayed.
  std::uint32_t draftCount = 0;
  if (!ScanRecords(c50, [&](std::uint32_t, const std::uint8_t* record) {
        ++draftCount;
        if (!held) return;
        if (record[0] == '*' || !draftMonth.Plain(record)) {
          held = false;
          return;
        }
        for (const std::string& m : k.months) {
          if (!draftMonth.Same(record, m)) continue;
          const char kind = draftKind.OnlyLetter(record);
          if (kind == L::kGeneral || (kind >= 'V' && kind <= 'Y')) held = false;
        }
      }) ||
      !held || static_cast<long>(draftCount) != k.draftLive - moved)
    return false;

  // Every sort record, made again by the run: one for each line, pointing at it, cancelled as it
  // is; those of the lines moved carry their keys.
  const std::uint32_t closedCount = c40.RecCount();
  std::vector<std::uint8_t> sortsOf[2];
  sortsOf[0].assign(static_cast<std::size_t>(draftCount) + 1, 0);
  sortsOf[1].assign(static_cast<std::size_t>(closedCount) + 1, 0);
  for (const std::uint32_t n : k.closedCancelled)
    if (n < sortsOf[1].size()) sortsOf[1][n] = kCancelledLine;
  SortKeys keys(c60, c40, true);
  if (!keys.usable()) return false;
  std::vector<std::uint8_t> scratch;
  std::uint32_t sorts = 0;
  if (!ScanRecords(c60, [&](std::uint32_t, const std::uint8_t* record) {
        ++sorts;
        if (!held) return;
        const char file = sortFile.Letter(record);
        const long recno = sortLine.Number(record);
        std::vector<std::uint8_t>& pointed = sortsOf[file == T::kClosed ? 1 : 0];
        if ((file != T::kDraft && file != T::kClosed) || recno < 1 || static_cast<std::size_t>(recno) >= pointed.size()) {
          held = false;
          return;
        }
        std::uint8_t& count = pointed[static_cast<std::size_t>(recno)];
        CountSort(count);
        if ((record[0] == '*') != ((count & kCancelledLine) != 0)) {
          held = false;
          return;
        }
        if (file != T::kClosed || static_cast<std::uint32_t>(recno) < firstMoved) return;
        const std::uint8_t* line = nullptr;
        if (dbase::DbiReadRecordBlock(c40.Engine().cursor, static_cast<std::uint32_t>(recno), 1, scratch, &line) !=
                dbase::DBIERR_NONE ||
            keys.Differs(record, line) != nullptr)
          held = false;
      }) ||
      !held)
    return false;
  SortCounts(sortsOf, [&held](const std::string&) { held = false; });
  if (!held) return false;

  // The totals against the sums of the lines: those CheckKeeping read, the lines moved taken from
  // the draft's journal-months, accounts and sections and counted where they are now.
  std::map<std::string, Sums> months = k.monthSums, accounts = k.accounts, sections = k.sections;
  for (const std::string& m : k.months) {
    const auto found = movedMonths.find(m);
    const Sums lines = found != movedMonths.end() ? found->second : Sums{};
    months[m + T::kDraft] = Less(months[m + T::kDraft], lines);
    months[m + T::kClosed].Add(lines);
  }
  for (const auto& [account, sums] : k.movedAccounts) accounts[account] = Less(accounts[account], sums);
  for (const auto& [account, sums] : movedAccounts) accounts[account].Add(sums);
  for (const auto& [section, sums] : k.movedSections) sections[section] = Less(sections[section], sums);
  for (const auto& [section, sums] : movedSections) sections[section].Add(sums);
  long wrong = 0, headerCount = 0;
  std::vector<UnreadableAmountLine> unreadable;
  CheckTotals(c10, c20, c30, months, accounts, sections, [&wrong](const std::string&, const std::string&) { ++wrong; },
              headerCount, unreadable);
  if (wrong != 0 || !unreadable.empty()) return false;
  draftLines = static_cast<long>(draftCount);
  closedLines = static_cast<long>(closedCount);
  sortRecords = static_cast<long>(sorts);
  headers = headerCount;
  return true;
}
