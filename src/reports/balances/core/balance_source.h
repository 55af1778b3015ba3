// The entry lines of a dossier as the trial balances read them, loaded once: the sort file
// C60, the draft C50 and the closed file C40 each read in physical order (one sequential pass
// per table, no seek), the live sort records then ordered in memory as the tags C60CODE and
// C60ANAL give them. A sort record leads to its line by TFIC and TREC exactly as a go-to into
// C50 or C40 would; one whose TREC reaches no record is "broken" and counted.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/entry_lines.h"
#include "platform/system/large_arrays.h"

class Table;

namespace balances {

using platform::LargeVector;

// A fixed text of N characters, blank-padded as stored.
template <std::size_t N>
struct Fixed {
  std::array<char, N> c{};
  void Set(std::string_view v) {
    if (v.size() >= N) {
      std::memcpy(c.data(), v.data(), N);
      return;
    }
    for (std::size_t i = 0; i < N; ++i) c[i] = i < v.size() ? v[i] : ' ';
  }
  std::string_view View() const { return {c.data(), N}; }
  std::string Str() const { return std::string(c.data(), N); }
  bool Blank() const {
    for (char ch : c)
      if (ch != ' ') return false;
    return true;
  }
  std::string Trimmed() const;
};

template <std::size_t N>
std::string Fixed<N>::Trimmed() const {
  std::size_t b = 0, e = N;
  while (b < e && c[b] == ' ') ++b;
  while (e > b && c[e - 1] == ' ') --e;
  return std::string(c.data() + b, e - b);
}

// What the balances read of a draft (C50) or closed (C40) line.
struct LineFigures {
  std::array<long long, 2> cents{};  // francs, euros
  bool present = false;    // a sort record's TREC reaches this line
  char cls = ' ';          // "Z" general line, below "Z" analytic
  char sense = ' ';        // "D" debit, anything else credit
  Fixed<3> journal;
  Fixed<4> month;          // YYMM, year stored
  Fixed<6> due;            // stored date or blanks
};

// A line with what the exports write of it besides.
struct EntryLine : LineFigures {
  bool deleted = false;
  Fixed<8> account;
  Fixed<2> day;
  Fixed<6> piece;
  Fixed<1> labelCode;
  Fixed<25> label;
  Fixed<4> letterE;        // matching letter in euros
  Fixed<4> lineNumber;
  Fixed<6> validation;     // closed lines: DVALID
};

// A live sort record of C60.
struct SortRecord {
  char cls = ' ';
  char file = ' ';          // "B" draft, otherwise closed
  Fixed<8> code;
  Fixed<6> date;            // TMOIS + TJOUR
  Fixed<3> journal;
  Fixed<4> letterF, letterE;
  Fixed<6> piece;
  Fixed<8> generalAccount;  // TCG
  Fixed<4> lineNumber;
  std::uint32_t physical = 0;  // its own record number in C60
  std::int32_t rec = 0;        // TREC read as a number
  // The code and the date as big-endian integers: they compare as the texts do.
  std::uint64_t codeKey = 0, dateKey = 0;
};

// A live general sort record ("Z") with what the balances' walk reads of it, in C60CODE order,
// and the figures of its line. The figures are held once per line by the BalanceSource (in the
// lines' order, so an account's records, in date order, read them mostly forward) and live as
// long as it does.
struct GeneralEntry {
  std::uint64_t codeKey, dateKey;  // as in SortRecord
  const LineFigures* line;         // never null; not present: TREC reaches no line
  std::uint32_t physical;          // the record's own number in C60
  Fixed<4> letterF, letterE;
};

// A live analytic sort record (below "Z") with what the analytic balance reads of it and of its
// line.
struct AnalyticEntry {
  std::uint64_t codeKey, dateKey;  // as in SortRecord
  std::uint64_t accountKey;        // TCG packed as the code is
  LineFigures line;                // not present: TREC reaches no line
  std::uint32_t physical;          // the record's own number in C60
  char cls;
};

// The message of a file a balance reads that does not open, or that opened and does not read: the file's
// title, the engine's error code, its path.
std::string FileNotOpenedMessage(const std::string& title, int error, const std::string& path);
std::string FileNotReadMessage(const std::string& title, int error, const std::string& path);

// The first n (at most 8) characters of a text as a big-endian integer, zeros after them.
std::uint64_t PackText(const char* text, std::size_t n);
inline std::uint64_t PackText(std::string_view text) { return PackText(text.data(), text.size()); }
// The n (at most 8) first characters of a packed text, written to `out`.
void UnpackText(std::uint64_t packed, char* out, std::size_t n);
// The mask of the first n characters of a packed text.
inline std::uint64_t PackMask(std::size_t n) {
  return n >= 8 ? ~std::uint64_t{0} : n == 0 ? 0 : ~std::uint64_t{0} << (8 * (8 - n));
}

// The live general records ("Z") of `records` in C60CODE order: TCODE + TMOIS + TJOUR, then
// record. Records are ordered by counting while the codes and the dates each take at most
// `mostKeys` distinct values, by comparison otherwise; both give the same order.
std::vector<std::uint32_t> GeneralOrderOf(const std::vector<SortRecord>& records, std::size_t mostKeys = 1u << 18);

// What ReadClosedGeneralLines gives, as it reads: the draft's live general sort records, the
// live general sort records whose TREC reaches no closed line, and each closed line that live
// general sort records lead to, with its texts (not its due date nor its amount in francs) and
// the number of records leading to it. A line whose amount in euros does not read as a number
// goes to `unreadable` (with its record number) instead, when it is given.
struct ClosedGeneralWalk {
  // Before the first line: how many lines are coming, each counted once for every record.
  std::function<void(std::size_t lines)> start;
  std::function<void(const Fixed<3>& journal, const Fixed<4>& month)> draftRecord;
  std::function<void(std::uint32_t physical)> broken;
  std::function<void(const EntryLine& line, std::uint32_t record, unsigned records)> line;
  std::function<void(const EntryLine& line, std::uint32_t record)> unreadable;
};

// The closed lines that the live general ("Z") sort records lead to, in C40's physical order,
// without keeping any table in memory: C60 is read once for the records, then C40 once for
// their lines (C50 is opened only, as Load opens it). False with a French *message when a table
// does not open or cannot be read whole.
bool ReadClosedGeneralLines(const std::string& c60Path, const std::string& c50Path, const std::string& c40Path,
                            const ClosedGeneralWalk& walk, std::string* message = nullptr);

class BalanceSource {
 public:
  // Reads the three tables of the dossier at these paths, opened shared and read-only (so
  // entry goes on at every station). Without `texts` only what the balances read is kept: of
  // the lines their figures (date, journal, due date, sense, amounts), not what the exports
  // write; the general sort records only as GeneralEntries(); without `analytic` as well, the
  // analytic records and their lines are passed over (AnalyticEntries() is then empty). False
  // with a French *message when one does not open or cannot be read whole. The lines whose amount
  // does not read, on whichever thread they were read, are noted into this thread's watch, each
  // once by its record.
  bool Load(const std::string& c60Path, const std::string& c50Path, const std::string& c40Path,
            std::string* message = nullptr, bool texts = true, bool analytic = true);

  // The line a sort record leads to, loaded with its texts; null when TREC reaches no record
  // of its file, and always without the texts.
  const EntryLine* LineOf(const SortRecord& r) const;

  // The live sort records in physical order; none when loaded without the texts (the balances
  // read GeneralEntries() and AnalyticEntries()).
  const std::vector<SortRecord>& Records() const { return records_; }
  // The live general sort records ("Z") joined to their lines, in C60CODE order: TCODE +
  // TMOIS + TJOUR, then record.
  std::span<const GeneralEntry> GeneralEntries() const { return entries_; }
  // The live analytic sort records (below "Z") joined to their lines, in physical order (made
  // from the records and the lines at the first call when loaded with the texts).
  std::span<const AnalyticEntry> AnalyticEntries() const;
  // Their indexes in C60ANAL order: TCODE (+ TCG when byAccount) + TMOIS + TJOUR, then record.
  std::vector<std::uint32_t> AnalyticOrder(bool byAccount) const;
  // The lines with their texts (empty when loaded without them).
  const std::vector<EntryLine>& DraftLines() const { return draft_; }
  const std::vector<EntryLine>& ClosedLines() const { return closed_; }
  // The lines read whose amount does not read as a number: counted as zero, named to the user.
  const std::vector<UnreadableAmountLine>& UnreadableLines() const { return unreadable_; }

 private:
  // What the entries take of a general sort record, in physical order.
  struct GeneralKey {
    std::uint64_t codeKey, dateKey;
    std::uint32_t physical;
    std::int32_t rec;
    Fixed<4> letterF, letterE;
    char file;
  };
  // The live sort records of C60 in records_; with `general`, the general ones go there instead
  // and the analytic ones to analytic_ when `analytic` (those of another class nowhere).
  bool LoadSortRecords(Table& c60, LargeVector<GeneralKey>* general, bool analytic = true);
  // With the texts: the general entries made from the records and the lines, on several
  // threads.
  void JoinGeneral();
  // Without the texts: the general entries in C60CODE order straight from C60, and the figures
  // of the lines the live records lead to, read from the draft and the closed file side by
  // side. Sets what could not be read.
  void LoadLean(Table& c60, Table& c50, Table& c40, bool analytic, bool& sortRead, bool& draftRead,
                bool& closedRead, std::vector<UnreadableAmountLine>& draftUnreadable);

  std::vector<SortRecord> records_;
  LargeVector<GeneralEntry> entries_;
  std::vector<EntryLine> draft_, closed_;  // with the texts: index = record number - 1
  std::vector<UnreadableAmountLine> unreadable_;
  // Without the texts: the figures of the lines live records lead to, in each table's order.
  LargeVector<LineFigures> draftFigures_, closedFigures_;
  mutable std::vector<AnalyticEntry> analytic_;
  mutable bool analyticMade_ = false;
  std::vector<std::pair<char, std::int32_t>> analyticLines_;  // while loading: TFIC, TREC
};

}  // namespace balances
