// The entry lines of a dossier as the trial balances read them, loaded once: the sort file
// C60, the draft C50 and the closed file C40 each read in physical order (one sequential pass
// per table, no seek), the live sort records then ordered in memory as the tags C60CODE and
// C60ANAL give them. A sort record leads to its line by TFIC and TREC exactly as a go-to into
// C50 or C40 would; one whose TREC reaches no record is "broken" and counted.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class Table;

namespace balances {

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

// A draft (C50) or closed (C40) line: the fields the balances and the exports read.
struct EntryLine {
  char cls = ' ';          // "Z" general line, below "Z" analytic
  bool deleted = false;
  char sense = ' ';        // "D" debit, anything else credit
  Fixed<8> account;
  Fixed<4> month;          // YYMM, year stored
  Fixed<2> day;
  Fixed<3> journal;
  Fixed<6> piece;
  Fixed<1> labelCode;
  Fixed<25> label;
  Fixed<6> due;            // stored date or blanks
  Fixed<4> letterE;        // matching letter in euros
  Fixed<4> lineNumber;
  Fixed<6> validation;     // closed lines: DVALID
  std::array<long long, 2> cents{};  // francs, euros
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

// A live general sort record with what the balances' walk reads of its line, in C60CODE order:
// the walk goes from one to the next instead of from a record to its line elsewhere in memory.
struct GeneralEntry {
  std::uint64_t codeKey, dateKey;   // as in SortRecord
  std::array<long long, 2> cents;   // the line's francs and euros
  std::uint32_t record;             // index in BalanceSource::Records()
  bool broken;                      // TREC reaches no line: nothing else is set
  char sense;
  Fixed<3> journal;
  std::array<char, 2> month;        // the line's month, 2 digits
  Fixed<6> ageDate;                 // the line's due date, the record's date when it has none
};

// The first n (at most 8) characters of a text as a big-endian integer, zeros after them.
std::uint64_t PackText(const char* text, std::size_t n);
inline std::uint64_t PackText(std::string_view text) { return PackText(text.data(), text.size()); }
// The mask of the first n characters of a packed text.
inline std::uint64_t PackMask(std::size_t n) {
  return n >= 8 ? ~std::uint64_t{0} : n == 0 ? 0 : ~std::uint64_t{0} << (8 * (8 - n));
}

// The live general records ("Z") of `records` in C60CODE order: TCODE + TMOIS + TJOUR, then
// record. Records are ordered by counting while the codes and the dates each take at most
// `mostKeys` distinct values, by comparison otherwise; both give the same order.
std::vector<std::uint32_t> GeneralOrderOf(const std::vector<SortRecord>& records, std::size_t mostKeys = 1u << 18);

class BalanceSource {
 public:
  // Reads the three tables of the dossier at these paths, opened shared and read-only (so
  // entry goes on at every station). Without `texts` the lines keep only what the balances
  // read (date, journal, due date, sense, amounts), not what the exports write. False with a
  // French *message when one does not open or cannot be read whole.
  bool Load(const std::string& c60Path, const std::string& c50Path, const std::string& c40Path,
            std::string* message = nullptr, bool texts = true);

  // The line a sort record leads to; null when TREC reaches no record of its file.
  const EntryLine* LineOf(const SortRecord& r) const;

  const std::vector<SortRecord>& Records() const { return records_; }
  // Live general sort records ("Z") in C60CODE order: TCODE + TMOIS + TJOUR, then record.
  const std::vector<std::uint32_t>& GeneralOrder() const { return general_; }
  // The same records joined to their lines, in the same order.
  std::span<const GeneralEntry> GeneralEntries() const {
    return {entries_.get(), entries_ ? general_.size() : 0};
  }
  // Live analytic sort records (below "Z") in C60ANAL order: TCODE (+ TCG when byAccount)
  // + TMOIS + TJOUR, then record.
  std::vector<std::uint32_t> AnalyticOrder(bool byAccount) const;
  const std::vector<EntryLine>& DraftLines() const { return draft_; }
  const std::vector<EntryLine>& ClosedLines() const { return closed_; }

 private:
  // The live sort records of C60, then their order by code and date.
  bool LoadSortRecords(Table& c60);
  // The live general records in C60CODE order.
  void OrderGeneral();
  // The general entries made from the records and the lines, on several threads.
  void JoinGeneral();

  std::vector<SortRecord> records_;
  std::vector<std::uint32_t> general_;
  std::unique_ptr<GeneralEntry[]> entries_;
  std::vector<EntryLine> draft_, closed_;  // index = record number - 1
};

}  // namespace balances
