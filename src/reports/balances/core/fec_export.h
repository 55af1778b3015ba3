// The statutory entries file (fichier des écritures comptables, article A47 A-1 of the Livre
// des procédures fiscales): one line per closed general-account line of the year, in the 18
// zones of the flat-file form, tab-separated, lines ended by CR LF, text in ISO 8859-15.
//
// The file is made from the closed lines that C60's live records lead to, read once from the
// tables (C60 stays shared and in its order; no temporary tag is made): its rows are ordered and
// checked in memory, kept compact, and their text is made as the file is written. Before anything is written, the whole year is checked:
// what is only reported (draft journal-months left out, unbalanced pieces, pieces with several
// dates or validation dates, journals, labels or accounts missing or nameless, zero lines left
// out) lets the user go on; what would make a wrong file (sort records reaching no closed line,
// auxiliary letters without a collective account, amounts that do not read as numbers, each line
// named) stops the run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/balance_source.h"
#include "reports/balances/core/code_lists.h"
#include "platform/system/large_arrays.h"

namespace balances {

using platform::LargeVector;

inline constexpr int kFecZones = 18;
// The names of the 18 zones, in their order, as the header line gives them.
const std::array<const char*, kFecZones>& FecZoneNames();

// The dossier's part of the file.
struct FecContext {
  std::string siren;            // TheDossierRecord 127-135
  std::string yearEnd;          // the financial year's last day, stored YYMMDD
  std::string openingJournal = "AN ";  // constant 037
};

struct FecCheck {
  std::set<std::string> draftMonths;        // "VE  03/2026": journal-months of the draft
  std::set<std::string> unbalancedPieces;   // "VE 000123 (03/2026)"
  std::set<std::string> severalDates;
  std::set<std::string> severalValidations;
  std::set<std::string> missingJournals, missingLabels, missingAccounts;
  long zeroLines = 0;
  std::set<std::uint32_t> brokenRecords;    // C60 records reaching no closed line
  std::set<char> lettersWithoutCollective;
  std::vector<UnreadableAmountLine> unreadable;  // closed lines whose amount in euros does not read

  bool Blocking() const {
    return !brokenRecords.empty() || !lettersWithoutCollective.empty() || !unreadable.empty();
  }
  bool HasRemarks() const;
  // The French text shown before writing: what stops the run, or what the user may accept.
  std::string Text() const;
};

// One line of the file: its 18 zones, cleaned and trimmed, separated by tabs.
class FecRow {
 public:
  explicit FecRow(std::string line = {}) : line_(std::move(line)) {}
  // Zone 0 to 17 ("" past the last).
  std::string_view operator[](std::size_t zone) const { return Zone(line_, zone); }
  // The line without its CR LF.
  const std::string& Line() const { return line_; }
  // A zone of a line.
  static std::string_view Zone(std::string_view line, std::size_t zone);

 private:
  std::string line_;
};

// An account's zones as its rows write them.
struct FecAccountZones {
  bool withoutCollective = false;
  std::string zones;  // the general account, its name, the auxiliary account, its name: each ended by a tab
  std::string name;   // what a line without a label writes: the auxiliary account's name, else the general one's
};

// The rows of the file, kept compact: for each closed line its key, figures, dates, label, piece
// and letter, its entry's number, its account and journal; the zones of the accounts, journals and
// standard labels once each. A row's text is made when it is written or read, so no text is
// kept per row; the rows need nothing else once built.
class FecRows {
 public:
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = FecRow;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = FecRow;
    Iterator(const FecRows* rows, std::size_t i) : rows_(rows), i_(i) {}
    FecRow operator*() const { return (*rows_)[i_]; }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const Iterator& o) const { return i_ == o.i_; }

   private:
    const FecRows* rows_;
    std::size_t i_;
  };

  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  FecRow operator[](std::size_t i) const;
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, size()}; }
  // Row i's line, CR LF included, appended to `out`.
  void AppendRow(std::string& out, std::size_t i) const;
  // The header line, CR LF included.
  static const std::string& Header();

  // A closed line with the key that orders the lines: journal, month and piece (its entry), then
  // the line's number and its place among the lines read (in C40's order); its figures.
  struct Key {
    std::uint64_t entry;             // journal (3), month (4), piece's first character
    std::uint64_t rest;              // piece's last five characters, line number's first three
    std::uint64_t last;              // line number's last character, then the place
    std::int64_t amount;             // cents, debit above zero, credit below
    std::uint32_t date, validation;  // AAAAMMJJ as numbers, 0 when invalid
    bool operator<(const Key& o) const {
      if (entry != o.entry) return entry < o.entry;
      return rest != o.rest ? rest < o.rest : last < o.last;
    }
    bool SameEntry(const Key& o) const { return entry == o.entry && rest >> 24 == o.rest >> 24; }
    std::uint32_t Line() const { return static_cast<std::uint32_t>(last); }
  };
  // What the rows write of a closed line besides.
  struct Line {
    std::uint32_t account;     // in accounts_
    std::uint32_t letterDate;  // the latest date of its account's letter
    Fixed<25> label;
    Fixed<6> piece;
    Fixed<4> letter;
    char labelCode;
  };

 private:
  friend class FecExport;
  friend class FecBuild;  // the steps of FecExport::Build
  // A row: its key (in keys_), its entry's number, its journal (in journals_).
  struct Row {
    std::uint32_t key, number, journal;
  };
  struct JournalZones {
    std::string code;   // trimmed
    std::string zones;  // its code and its name, each ended by a tab
    bool plain;         // its code printable ASCII only, other than "|"
  };
  // Row i's line written from p, which has rowBound_ bytes of room; where it ends.
  char* PutRow(char* p, std::size_t i) const;

  LargeVector<Key> keys_;    // in C40's order, as the lines (a key's Line() is its own index)
  LargeVector<Line> lines_;  // in C40's order
  LargeVector<Row> rows_;    // in the file's order
  std::vector<FecAccountZones> accounts_;
  std::vector<JournalZones> journals_;
  std::array<std::string, 256> labels_;      // standard labels by code, trimmed
  std::array<std::string, 256> labelZones_;  // and their zones
  std::array<bool, 256> plainLabels_{};      // those that are their own zones (printable ASCII, no "|", trimmed)
  std::size_t rowBound_ = 0;             // the most a row's line may take
};

// The dossier's tables the file is made from.
struct FecTables {
  std::string c60, c50, c40;
};

class FecExport {
 public:
  // "" when the SIREN can name the file, else the French refusal.
  static std::string CheckSirenForFec(const std::string& siren);
  // SIREN + "FEC" + the year's last day AAAAMMJJ + ".txt".
  static std::string FileName(const std::string& siren, const std::string& yearEndStored);

  // Reads the closed lines that the live sort records lead to into rows, and checks the year;
  // false when the SIREN is refused or a table cannot be read (then *message says why). The
  // check tells whether the rows may be written.
  bool Build(const FecTables& tables, const CodeLists& codes, const ChartList& chart, const FecContext& context,
             std::string* message = nullptr);

  const FecCheck& Check() const { return check_; }
  const FecRows& Rows() const { return rows_; }
  // The rows moved out, for a caller that keeps them after the file is written (none are left here).
  FecRows TakeRows() { return std::move(rows_); }
  // The whole file: the header line and the rows, ISO 8859-15, CR LF.
  std::string Content() const;
  // Writes the file at once, its rows made as they are written a piece of about `pieceBytes` at
  // a time (a temporary file renamed over the path: never half written).
  bool Write(const std::string& path, std::string* message = nullptr, std::size_t pieceBytes = 1 << 20) const;

 private:
  FecCheck check_;
  FecRows rows_;
};

// A zone as the file holds it: the cp1252 text in ISO 8859-15, tabs, "|", CR, LF and other
// control characters turned into blanks, blanks around it removed.
std::string FecZone(std::string_view cp1252);
// The same zone appended to `out`.
void AppendFecZone(std::string& out, std::string_view cp1252);
// Cents with a decimal comma and no thousands separator: 123450 gives "1234,50".
std::string FecAmount(long long cents);
// A stored YYMMDD date as AAAAMMJJ, with the century of its decade letter; "" when invalid.
std::string FecDate(std::string_view stored);

}  // namespace balances
