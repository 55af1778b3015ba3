// What the ledger reports read of a dossier: the six tables they walk, the sort records of C60 in
// one of its orders, the draft or closed line a sort record points at, the names of accounts,
// sections, journals and standard labels, the collective accounts, and the matching letters that
// reach beyond a period.
//
// A sort order is walked either through its index tag (a range of an account, a journal-month:
// a seek and a few steps) or, for a walk over most of the dossier, from a snapshot: the live sort
// records read once in physical order and sorted in memory as the tag orders them (its key in the
// index's collation, equal keys by record number). A line's source is read once when the walk
// reaches it and kept until the walk moves on.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/entry_lines.h"
#include "data/lookup.h"

class Table;

namespace ledgers {

using Cents = long long;

// The tables of a ledger report window (the program-wide objects, or a test's own).
struct LedgerTables {
  Table* c10 = nullptr;
  Table* c20 = nullptr;
  Table* c30 = nullptr;
  Table* c40 = nullptr;
  Table* c50 = nullptr;
  Table* c60 = nullptr;
};
// TableC10 ... TableC60.
LedgerTables ProgramLedgerTables();

// Opens the dossier's tables shared on their first tags (C10CODE ... C60CODE; `c60Tag` for the
// sort file), only C10 when `c10Only`. At the first table that does not open, the engine-error
// report is shown with `context` and the answer is false: the window then closes.
bool OpenLedgerTables(const LedgerTables& tables, int context, bool c10Only = false, const char* c60Tag = "C60CODE");

// The first look-up of a report's readers that the system refused (a read refused, a damaged
// index): its file and the engine's code. The report goes on over what it can read and says it once,
// at its end; the record is never taken for one missing.
struct RefusedLookups {
  std::string file;
  int result = 0;
  bool Any() const { return result != 0; }
  // Keeps `found` when it is the first refusal; gives it back as it is.
  const Lookup& Note(const Table& table, const Lookup& found);
  void Clear() { *this = RefusedLookups(); }
};

// One sort record of C60 (fields of LigneTri), with its physical record number.
struct SortLine {
  char tcle = ' ';
  char tfic = ' ';
  char tcode[8];
  char tdate[6];  // TMOIS then TJOUR
  char tjal[3];
  char tlet[4];
  char tlete[4];
  char tpiece[6];
  char tcg[8];
  char tnum[4];
  char trecText[6];
  std::uint32_t trec = 0;    // the source line's record number (0 when not a number)
  std::uint32_t recno = 0;   // the sort record's own

  std::string_view Code() const { return {tcode, 8}; }
  std::string_view Month() const { return {tdate, 4}; }
  std::string_view Day() const { return {tdate + 4, 2}; }
  std::string_view Journal() const { return {tjal, 3}; }
  std::string_view Piece() const { return {tpiece, 6}; }
  std::string_view GeneralAccount() const { return {tcg, 8}; }
  std::string_view TrecText() const { return {trecText, 6}; }
  // The line's stored date YYMMDD (TMOIS + TJOUR).
  std::string Date() const { return std::string(tdate, 6); }
  std::string_view DateView() const { return {tdate, 6}; }
  // The matching letter in francs (euroFlag 0) or in euros (1).
  std::string_view Letter(int euroFlag) const { return euroFlag != 0 ? std::string_view(tlete, 4) : std::string_view(tlet, 4); }
  bool InDraft() const { return tfic == 'B'; }
  // TMOIS + TJAL + TPIECE + TCLE: the journal listings' line key (14 characters).
  std::string ListingKey() const;
};

// Reads the current record of C60 into `out`.
void ReadSortLine(Table& c60, SortLine& out);

// The orders of C60 that the reports walk.
enum class SortOrder {
  kCode,      // C60CODE: TCODE + TMOIS + TJOUR, general lines
  kStm,       // C60STM: TCODE + TMOIS + TJAL + TJOUR, general lines
  kAnal,      // C60ANAL: analytic lines (with TCG after TCODE when the tag was built so)
  kJx,        // C60JX: TMOIS + TJAL + TJOUR + TPIECE + TNUM, general lines
  kJxAnal,    // C60JXANAL: the same + TCLE, analytic lines
};
const char* TagOf(SortOrder order);

// A walk over the live sort records of one order.
class SortWalk {
 public:
  virtual ~SortWalk() = default;
  // The first live line of the order; false when there is none.
  virtual bool GoTop() = 0;
  // The first line whose key begins with `prefix` (then the first live line from there): false,
  // at the end, when no key begins with it.
  virtual bool Seek(std::string_view prefix) = 0;
  // The next live line; false at the end.
  virtual bool Next() = 0;
  virtual bool AtEnd() const = 0;
  virtual const SortLine& Line() const = 0;
  // The line n places further on, when the walk sees it without moving (null otherwise).
  virtual const SortLine* Ahead(std::size_t n) const { return nullptr; }
};

// Through the tag of the order on `c60` (the table's order is switched to it). A seek it could not
// make ends the walk and is kept in `refused`.
std::unique_ptr<SortWalk> MakeIndexWalk(Table& c60, SortOrder order, RefusedLookups* refused = nullptr);

// The live general lines of C60 in one of the orders kCode, kStm or kJx, read once in physical
// order. Building one reads the whole sort file (about half a second for a million lines); the
// walks made from it share it.
class SortSnapshot {
 public:
  // False when the sort file cannot be read; the table's order is put back afterwards.
  bool Build(Table& c60, SortOrder order);
  // The most distinct values a word of the keys may take for the lines to be counted into their
  // order; past that they are sorted by comparison (the same order).
  std::size_t mostCountedValues = std::size_t{1} << 16;
  SortOrder Order() const { return order_; }
  std::size_t Size() const { return lines_.size(); }
  const SortLine& At(std::size_t i) const { return lines_[i]; }
  // The key of line i as the tag builds it.
  std::string KeyAt(std::size_t i) const;
  // The position of the first key not below `prefix` (Size() past the last).
  std::size_t LowerBound(std::string_view prefix) const;

 private:
  std::string KeyOf(const SortLine& line) const;
  // Sorts lines_ by their keys packed into that many 64-bit words.
  template <std::size_t kWords>
  void SortByKeys();
  SortOrder order_ = SortOrder::kCode;
  std::vector<SortLine> lines_;  // in the order's sequence
};
std::unique_ptr<SortWalk> MakeSnapshotWalk(std::shared_ptr<const SortSnapshot> snapshot);

// The draft (C50) or closed (C40) line a sort record points at, by the draft's field meanings.
struct SourceLine {
  bool closed = false;
  std::uint32_t recno = 0;
  std::string kind;          // BCLE / DCLE
  std::string account;       // BCODE / DCODE
  std::string month;         // BMOIS
  std::string journal;
  std::string piece;
  std::string day;
  std::string distribution;  // BVENT (blank for a closed line)
  std::string labelCode;
  std::string label1, label2, label3;
  std::string due;           // stored date or blank
  std::string entered;       // BEURO: "O" typed in euros
  std::string sense;         // "D" or "C"
  Cents francs = 0, euros = 0;
  bool unreadable = false;   // an amount does not read as a number: counted as 0
  std::string letterF, letterE;
  std::string generalAccount;  // BCG / DCG

  Cents Amount(int euroFlag) const { return euroFlag != 0 ? euros : francs; }
  const std::string& Letter(int euroFlag) const { return euroFlag != 0 ? letterE : letterF; }
  bool Debit() const { return !sense.empty() && sense[0] == 'D'; }
  // The stored date of the line (month + day).
  std::string Date() const { return month + day; }
};

// Reads the source lines of sort records; the last one read is kept.
class SourceReader {
 public:
  SourceReader(Table* c50, Table* c40, RefusedLookups* refused = nullptr) : c50_(c50), c40_(c40), refused_(refused) {}
  // The line the sort record points at; null when it cannot be reached (a read refused is kept in
  // the reader's RefusedLookups).
  const SourceLine* Read(const SortLine& sort);
  void Forget() { valid_ = false; }
  // The lines read whose amount does not read as a number, each once, since the last
  // ForgetUnreadable.
  const std::set<UnreadableAmountLine>& Unreadable() const { return unreadable_; }
  void ForgetUnreadable() { unreadable_.clear(); }
  // Keeps the line read last as it stands (Kept()) until the next Keep: the reads meanwhile go
  // into another place, so that a report may make its values from it later.
  void Keep() {
    kept_ = current_;
    current_ ^= 1;
    valid_ = false;
  }
  const SourceLine& Kept() const { return lines_[kept_]; }
  // Asks the processor for the stored line of a sort record read soon (when the table's records
  // stand in its mapping), so that Read finds it in the cache.
  void Prefetch(const SortLine& sort);

 private:
  Table* c50_;
  Table* c40_;
  RefusedLookups* refused_;
  // Where the fields read stand in a record of the draft (0) and closed (1) file: offset and
  // width (0 for a field the table lacks), for the table, field count, record length and
  // descriptors they were found for.
  static constexpr std::size_t kSourceFields = 19;
  struct Span {
    std::uint32_t offset = 0, width = 0;
  };
  struct Layout {
    const Table* table = nullptr;
    int count = -1;
    std::size_t length = 0;
    const void* descriptors = nullptr;
    Span spans[kSourceFields];
  };
  Layout layouts_[2];
  // Two places a line is read into: the current one, and the one kept.
  SourceLine lines_[2];
  int current_ = 0, kept_ = 1;
  bool valid_ = false;
  bool reachable_ = false;
  std::vector<std::uint8_t> scratch_, aheadScratch_;
  bool prefetch_ = true;  // off once the engine copies records rather than mapping them
  std::set<UnreadableAmountLine> unreadable_;
};

// Names read once per code: standard labels (C10 "L": field 4 characters 1-7, else "???" and four
// blanks), accounts (C20 field 2), sections (C30 field 2) and journals (C10 "J" field 3). A
// missing or cancelled record gives `missing`; one not read gives it too, is kept in `refused` and is
// not kept as a name: the next line asks again.
class NameCache {
 public:
  explicit NameCache(const LedgerTables& tables, RefusedLookups* refused = nullptr) : tables_(tables), refused_(refused) {}
  std::string Label(const std::string& code);
  std::string Account(const std::string& code, const std::string& missing = "???");
  std::string Section(const std::string& code, const std::string& missing = "???");
  std::string Journal(const std::string& code, const std::string& missing = "???");
  void Clear();

 private:
  // The live record of `key`, its refusal kept.
  Lookup FindLive(Table* t, const char* tag, const std::string& key);
  const LedgerTables& tables_;
  RefusedLookups* refused_;
  std::map<std::string, std::string> labels_, accounts_, sections_, journals_;
  std::map<std::string, bool> accountFound_, sectionFound_, journalFound_;
};

// The collective accounts: one entry per letter whose collective record names an account, as every
// total counts them (a cancelled one too, CollectiveAccounts), in C10CODE order; every collective is
// held, however many there are.
struct Collective {
  char letter = ' ';
  std::string account;  // 8 characters
};
class CollectiveMap {
 public:
  void Build(Table& c10);
  // The letter of the collective whose general account this is; 0 when none.
  char LetterOf(std::string_view account) const;
  // The general account of the collective of that letter; "" when none.
  std::string AccountOf(char letter) const;
  const std::vector<Collective>& Entries() const { return entries_; }

 private:
  std::vector<Collective> entries_;
};

// The letters that have a collective record in C10, in code order (kind "B", any field 4, a
// cancelled one too: its accounts keep their ledger).
std::string CollectiveLetters(Table& c10);

// The accounts whose matchings are left whole: "LettragesSauf" of the dossier INI's section
// "Lettrages" (at most 100 characters), else of the program INI, else the bank and cash accounts.
std::string LettragesSauf();
// True when the first three characters of the account stand in the list between "-" signs.
bool MatchingsLeftWhole(const std::string& list, std::string_view account);

// The matching letters of one account that matchings beyond the period also use: the key they
// were gathered for and the letters (a growing list).
class OrphanLetters {
 public:
  // Present only when dossier constant 044 does not begin with "N".
  bool present = false;
  void Reset(std::string key) {
    key_ = std::move(key);
    letters_.clear();
  }
  void Add(std::string_view letter);
  // The line of that account carries an orphan letter.
  bool IsOrphan(std::string_view account, std::string_view letter) const;
  const std::string& Key() const { return key_; }
  std::size_t Count() const { return letters_.size(); }

 private:
  std::string key_;
  std::vector<std::string> letters_;
};

// A letter is blank when it holds nothing but blanks.
bool BlankText(std::string_view text);
// Stored date as DD/MM/YY ("" for a blank date).
std::string ShownDate(std::string_view stored);

}  // namespace ledgers
