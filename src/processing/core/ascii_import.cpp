#include "processing/core/ascii_import.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/table.h"
#include "dossier/core/maintenance_pack.h"
#include "posting/balancing.h"
#include "posting/journal_month.h"
#include "posting/line_validation.h"
#include "processing/core/stopped_imports.h"
#include "platform/system/clock.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace processing {
namespace {

// The columns of the format, and the names the statutory entries file gives some of them.
enum Column { kJournal, kDate, kPiece, kAccount, kAuxiliary, kLabelCode, kLabel, kLabel2, kLabel3, kDue, kDebit,
              kCredit, kAmount, kSense, kVat, kCurrency, kColumnCount };

struct ColumnName {
  const char* name;  // lower case, without accents or blanks
  int column;
};
constexpr ColumnName kColumnNames[] = {
    {"journal", kJournal},       {"date", kDate},           {"piece", kPiece},         {"compte", kAccount},
    {"codelibelle", kLabelCode}, {"libelle", kLabel},       {"libelle2", kLabel2},     {"libelle3", kLabel3},
    {"echeance", kDue},          {"debit", kDebit},         {"credit", kCredit},       {"montant", kAmount},
    {"sens", kSense},            {"tva", kVat},             {"devise", kCurrency},
    // The statutory entries file.
    {"journalcode", kJournal},   {"ecriturenum", kPiece},   {"ecrituredate", kDate},   {"comptenum", kAccount},
    {"compauxnum", kAuxiliary},  {"ecriturelib", kLabel},   {"idevise", kCurrency},
};

const char* Text(int id) { return LoadStr(id); }

std::string_view TrimmedOfSpacingView(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r' || s[a] == '\xA0')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r' || s[b - 1] == '\xA0')) --b;
  return s.substr(a, b - a);
}

std::string TrimmedOfSpacing(std::string_view s) { return std::string(TrimmedOfSpacingView(s)); }

// A message made for a box, as one line of the error list and file: its line breaks a blank each run.
std::string OneLine(std::string_view message) {
  std::string out;
  for (char c : message) {
    if (c == '\n' || c == '\r') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return TrimmedOfSpacing(out);
}

// A column name as compared: lower case, the accents of Windows-1252 dropped, blanks and "_" left out.
std::string NameKey(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    if (c == ' ' || c == '_' || c == '-' || c == 0xA0 || c == '"') continue;
    if (c >= 0xE8 && c <= 0xEB) c = 'e';
    else if (c >= 0xC8 && c <= 0xCB) c = 'e';
    else if (c >= 0xE0 && c <= 0xE5) c = 'a';
    else if (c == 0xE7 || c == 0xC7) c = 'c';
    else if (c >= 0xEC && c <= 0xEF) c = 'i';
    else if (c >= 0xF2 && c <= 0xF6) c = 'o';
    else if (c >= 0xF9 && c <= 0xFC) c = 'u';
    out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return out;
}

int ColumnOf(const std::string& name) {
  const std::string key = NameKey(name);
  for (const ColumnName& c : kColumnNames)
    if (key == c.name) return c.column;
  return -1;
}

// The fields of a line, blanks around them and one pair of quotes taken off; views into `line`.
void SplitInto(std::string_view line, char separator, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = line.find(separator, start);
    std::string_view f = TrimmedOfSpacingView(line.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
    fields.push_back(f);
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
}

std::vector<std::string> Split(std::string_view line, char separator) {
  std::vector<std::string_view> views;
  SplitInto(line, separator, views);
  return std::vector<std::string>(views.begin(), views.end());
}

// A UTF-8 text in Windows-1252: a character it lacks becomes "?", the narrow no-break blank a blank.
std::string FromUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char32_t cp = c;
    std::size_t n = 1;
    if (c >= 0xF0) { cp = c & 0x07; n = 4; }
    else if (c >= 0xE0) { cp = c & 0x0F; n = 3; }
    else if (c >= 0xC0) { cp = c & 0x1F; n = 2; }
    else if (c >= 0x80) n = 0;  // a continuation byte out of place
    for (std::size_t k = 1; k < n; ++k) {
      // A sequence cut short (a file with a byte order mark that is not all UTF-8) is one unknown character.
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        n = 0;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    if (n == 0) {
      out += '?';
      ++i;
      continue;
    }
    i += n;
    if (cp == 0x202F || cp == 0x2009) cp = ' ';
    const int b = platform::UnicodeToCp1252(cp, platform::Unassigned::kRefuse);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

// A date as JJ/MM/AAAA, JJ/MM/AA or AAAAMMJJ.
bool ParseDate(std::string_view text, Ymd& out) {
  if (text.size() == 8 && text.find('/') == std::string_view::npos) {
    for (char c : text)
      if (c < '0' || c > '9') return false;
    return ParseYyyymmdd(text, out);
  }
  if (text.size() == 10 && text[2] == '/' && text[5] == '/') {
    for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u, 8u, 9u})
      if (text[i] < '0' || text[i] > '9') return false;
    const char ymd[8] = {text[6], text[7], text[8], text[9], text[3], text[4], text[0], text[1]};
    return ParseYyyymmdd(std::string_view(ymd, sizeof ymd), out);
  }
  if (text.size() == 8 && text[2] == '/' && text[5] == '/') return ParseDisplayDate(text, out);
  return false;
}

// An amount: digits, blanks between the thousands, one "," or "." before at most two decimals. -1
// when it is not one; -2 for a third decimal; -3 for a sign.
long long ParseAmount(std::string_view text) {
  long long v = 0;
  int digits = 0;
  int decimals = -1;
  for (char c : text) {
    if (c == ' ' || c == '\xA0') {
      if (decimals >= 0) return -1;
      continue;
    }
    if (c == '-' || c == '+') return -3;
    if (c == ',' || c == '.') {
      if (decimals >= 0) return -1;
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return -1;
    // Past 13 digits the text is refused below; the value stops growing before it could overflow.
    if (++digits <= 13) v = v * 10 + (c - '0');
    if (decimals >= 0) ++decimals;
  }
  if (digits == 0 || digits > 13) return -1;
  if (decimals > 2) return -2;
  for (int d = decimals < 0 ? 0 : decimals; d < 2; ++d) v *= 10;
  return v;
}

// The lines of a text: CR LF, a lone LF or a lone CR ends a line. Views into `text`.
std::vector<std::string_view> LineViews(std::string_view text) {
  std::vector<std::string_view> out;
  out.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    out.push_back(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  const std::vector<std::string_view> views = LineViews(text);
  return std::vector<std::string>(views.begin(), views.end());
}

std::uint64_t Fnv1a(const std::string& bytes) {
  std::uint64_t h = 1469598103934665603ULL;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

std::string Hex(std::uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

std::string FileName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Messages (string ids).
enum : int {
  kMsgUnreadable = 29700, kMsgEmptyFile, kMsgNoSeparator, kMsgMissingColumn, kMsgTooManyFields, kMsgBlankField,
  kMsgBadDate, kMsgBadDue, kMsgBadAmount, kMsgThirdDecimal, kMsgSign, kMsgDebitAndCredit, kMsgNoAmount,
  kMsgBadSense, kMsgBadCurrency, kMsgPieceDates, kMsgUnbalanced, kMsgUnknownJournal, kMsgUnknownLabel,
  kMsgUnknownVat, kMsgOutsideYear, kMsgFrancsRefused, kMsgImportedBefore, kMsgDuplicateColumn,
};
constexpr int kMsgAccountTooLong = 29724;
constexpr int kMsgControlCharacter = 29725;
constexpr int kMsgImportedElsewhere = 29763;
constexpr std::size_t kAccountWidth = 8;  // the chart's codes
constexpr int kMsgStoppedElsewhere = 29764;
constexpr int kMsgResumed = 29734;        // a run of this content stopped half-way, its pieces written whole kept
constexpr int kMsgCutPieces = 30108;      // the pieces it wrote in part, counted
constexpr int kMsgWriteRefused = 29774;   // a write refused before anything was imported
constexpr int kMsgRunFileLeft = 31101;    // a file of the run ended that could not be removed
constexpr int kMsgTitle = 29740;          // "Ajout ASCII au Brouillard", the run as its marker names it
constexpr int kMsgAmountColumns = 26201;  // the columns of the amounts, named when missing
constexpr int kMsgErrorLine = 26202;      // "Ligne %s : %s", each error of the errors file with its line
constexpr int kMsgRefused = 29730;        // the errors counted, the file they are written to
constexpr int kMsgDone = 29731;           // the lines, the pieces, their numbers
constexpr int kMsgRenamed = 29732;        // the file's new name
constexpr int kMsgRoundingLines = 29733;  // the rounding lines added
constexpr int kIniKeys = 13;              // the packed section and key names of the profile

struct Piecework {
  std::size_t index;
  long line;
};


}  // namespace

std::string NumberRanges(std::vector<long> numbers) {
  std::sort(numbers.begin(), numbers.end());
  std::string out;
  for (std::size_t i = 0; i < numbers.size();) {
    std::size_t j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
    if (!out.empty()) out += ", ";
    out += std::to_string(numbers[i]);
    if (j > i) out += "-" + std::to_string(numbers[j]);
    i = j + 1;
  }
  return out;
}

namespace {

// One reading of a file's bytes into an AsciiRead: the text decoded, the column line read, then
// each entry line read and put in its piece, the period and the pieces' balances last. Its steps
// in the order ParseAsciiText calls them.
class AsciiParse {
 public:
  explicit AsciiParse(AsciiRead& r) : r_(r) {}

  void Decode(const std::string& raw);
  bool SplitLines();
  bool ReadColumns();
  void ReadEntryLines();
  void SetPeriod();
  void BalancePieces();

 private:
  // A piece in the table of pieces: its hash and index.
  struct PieceSlot {
    std::uint64_t hash = 0;
    std::size_t index = static_cast<std::size_t>(-1);
  };
  static constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);
  static constexpr long long kNoAmount = -100;  // an empty amount field

  std::string_view Field(int c) const {
    return at_[c] >= 0 && static_cast<std::size_t>(at_[c]) < f_.size() ? f_[at_[c]] : std::string_view();
  }
  void Error(int id, std::string_view what) { r_.errors.push_back({number_, FillPlaceholder(Text(id), std::string(what))}); }
  void ReadEntryLine(std::string_view text);
  void ReadTexts(std::string_view text, ImportedLine& l, Ymd& date);
  long long Amount(std::string_view text);
  void ReadAmount(ImportedLine& l, std::size_t errorsBefore);
  void ReadCurrencyAndCodes(ImportedLine& l);
  std::size_t PieceOf(const Ymd& date);
  void AddToPiece(ImportedLine& l, const Ymd& date);

  AsciiRead& r_;
  std::string bytes_;  // the text in Windows-1252
  std::vector<std::string_view> lines_;
  std::vector<std::string> names_;  // the columns as the first line names them
  int at_[kColumnCount];            // each column's field (-1: none)
  bool debitCredit_ = false, amountSense_ = false;
  // The line being read: its number in the file, its fields, its journal and piece reference.
  long number_ = 0;
  std::vector<std::string_view> f_;
  std::string_view journal_, reference_;
  // The pieces by journal and piece reference: a table of their hashes and indexes, looked
  // through in turn from the hash's place (the references are views into `bytes_`).
  std::size_t capacity_ = 16;
  std::vector<PieceSlot> pieceOf_;
  std::vector<std::string_view> references_;
  std::string lastReference_;
  std::size_t lastPiece_ = kNoPiece;
  long firstDay_ = 0, lastDay_ = 0;  // YYYYMMDD as numbers (0: none yet)
};

// The encoding found and the text in Windows-1252.
void AsciiParse::Decode(const std::string& raw) {
  bytes_ = raw;
  bool utf8 = false;
  if (bytes_.size() >= 3 && bytes_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    bytes_.erase(0, 3);
    r_.encoding = "UTF-8 (BOM)";
    utf8 = true;
  } else if (platform::IsWellFormedUtf8(bytes_) &&
             std::any_of(bytes_.begin(), bytes_.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    r_.encoding = "UTF-8";
    utf8 = true;
  } else {
    r_.encoding = "Windows-1252";
  }
  if (utf8) {
    bytes_ = FromUtf8(bytes_);
  } else {
    // The five bytes Windows-1252 leaves undefined are no character.
    for (char& c : bytes_)
      if (platform::Cp1252ToUnicode(static_cast<unsigned char>(c), platform::Unassigned::kRefuse) < 0) c = '?';
  }
  // An end-of-file mark of old editors closes the text.
  while (!bytes_.empty() && bytes_.back() == '\x1A') bytes_.pop_back();
}

// The lines up to the last that is not blank; false (the file said empty) when there is none.
bool AsciiParse::SplitLines() {
  lines_ = LineViews(bytes_);
  while (!lines_.empty() && TrimmedOfSpacingView(lines_.back()).empty()) lines_.pop_back();
  if (!lines_.empty()) return true;
  r_.errors.push_back({0, Text(kMsgEmptyFile)});
  return false;
}

// The separator and the columns of the first line; false when a column needed is missing.
bool AsciiParse::ReadColumns() {
  // The separator is the one of ";", tab and "|" the column line holds most.
  std::size_t best = 0;
  for (char s : {';', '\t', '|'}) {
    const std::size_t n = static_cast<std::size_t>(std::count(lines_[0].begin(), lines_[0].end(), s));
    if (n > best) {
      best = n;
      r_.separator = s;
    }
  }
  if (r_.separator == 0) {
    r_.errors.push_back({1, Text(kMsgNoSeparator)});
    return false;
  }
  names_ = Split(lines_[0], r_.separator);
  std::fill(std::begin(at_), std::end(at_), -1);
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const int c = ColumnOf(names_[i]);
    if (c < 0) {
      if (!names_[i].empty()) r_.ignored.push_back(names_[i]);
      continue;
    }
    if (at_[c] >= 0) {
      r_.errors.push_back({1, FillPlaceholder(Text(kMsgDuplicateColumn), names_[i])});
      continue;
    }
    at_[c] = static_cast<int>(i);
  }
  debitCredit_ = at_[kDebit] >= 0 && at_[kCredit] >= 0;
  amountSense_ = at_[kAmount] >= 0 && at_[kSense] >= 0;
  for (const auto& [column, name] : std::initializer_list<std::pair<int, const char*>>{
           {kJournal, "Journal"}, {kDate, "Date"}, {kPiece, "Piece"}})
    if (at_[column] < 0) r_.errors.push_back({1, FillPlaceholder(Text(kMsgMissingColumn), name)});
  if (at_[kAccount] < 0 && at_[kAuxiliary] < 0) r_.errors.push_back({1, FillPlaceholder(Text(kMsgMissingColumn), "Compte")});
  if (!debitCredit_ && !amountSense_)
    r_.errors.push_back({1, FillPlaceholder(Text(kMsgMissingColumn), Text(kMsgAmountColumns))});
  return r_.errors.empty();
}

void AsciiParse::ReadEntryLines() {
  while (capacity_ < lines_.size() * 2) capacity_ *= 2;
  pieceOf_.resize(capacity_);
  references_.reserve(lines_.size() / 2);
  for (std::size_t n = 1; n < lines_.size(); ++n) {
    number_ = static_cast<long>(n) + 1;
    if (TrimmedOfSpacingView(lines_[n]).empty()) continue;
    ReadEntryLine(lines_[n]);
  }
}

// A line's fields: a line refused by its form is kept with its journal (its codes are checked
// against the dossier still); a sound one goes to its piece.
void AsciiParse::ReadEntryLine(std::string_view text) {
  ++r_.lines;
  SplitInto(text, r_.separator, f_);
  const std::size_t errorsBefore = r_.errors.size();
  ImportedLine l;
  Ymd date;
  ReadTexts(text, l, date);
  ReadAmount(l, errorsBefore);
  ReadCurrencyAndCodes(l);
  if (r_.errors.size() != errorsBefore) {
    if (!journal_.empty()) r_.refusedLines.emplace_back(std::string(journal_), l);
    return;
  }
  AddToPiece(l, date);
}

// The count of fields, the bytes, the journal, piece, account and the dates of a line.
void AsciiParse::ReadTexts(std::string_view text, ImportedLine& l, Ymd& date) {
  if (f_.size() > names_.size()) Error(kMsgTooManyFields, std::to_string(f_.size()));
  // A control character (a NUL would cut the text it stands in) is no part of a text file.
  for (unsigned char c : text)
    if (c < 0x20 && c != '\t') {
      Error(kMsgControlCharacter, std::to_string(c));
      break;
    }
  l.sourceLine = number_;
  journal_ = Field(kJournal);
  reference_ = Field(kPiece);
  l.account = Field(kAuxiliary).empty() ? Field(kAccount) : Field(kAuxiliary);
  if (journal_.empty()) Error(kMsgBlankField, "Journal");
  if (reference_.empty()) Error(kMsgBlankField, "Piece");
  if (l.account.empty()) Error(kMsgBlankField, "Compte");
  else if (l.account.size() > kAccountWidth) Error(kMsgAccountTooLong, l.account);
  if (!ParseDate(Field(kDate), date)) Error(kMsgBadDate, Field(kDate));
  const std::string_view due = Field(kDue);
  Ymd dueDate;
  if (!due.empty()) {
    if (ParseDate(due, dueDate)) l.dueDate = YyyymmddOf(dueDate);
    else Error(kMsgBadDue, due);
  }
}

long long AsciiParse::Amount(std::string_view text) {
  if (text.empty()) return kNoAmount;
  const long long v = ParseAmount(text);
  if (v == -2) Error(kMsgThirdDecimal, text);
  else if (v == -3) Error(kMsgSign, text);
  else if (v < 0) Error(kMsgBadAmount, text);
  return v;
}

// The sense and cents, from the debit and credit columns or from the amount and its sense.
void AsciiParse::ReadAmount(ImportedLine& l, std::size_t errorsBefore) {
  const bool useDebitCredit = debitCredit_ && (!amountSense_ || !Field(kDebit).empty() || !Field(kCredit).empty());
  if (useDebitCredit) {
    const long long d = Amount(Field(kDebit)), c = Amount(Field(kCredit));
    if (d > 0 && c > 0) Error(kMsgDebitAndCredit, "");
    else if (d <= 0 && c <= 0 && r_.errors.size() == errorsBefore) Error(kMsgNoAmount, "");
    l.sense = c > 0 ? 'C' : 'D';
    l.cents = c > 0 ? c : d;
  } else {
    const long long v = Amount(Field(kAmount));
    if (v <= 0 && r_.errors.size() == errorsBefore) Error(kMsgNoAmount, "");
    const std::string sense = NameKey(Field(kSense));
    if (sense == "d" || sense == "debit") l.sense = 'D';
    else if (sense == "c" || sense == "credit") l.sense = 'C';
    else Error(kMsgBadSense, Field(kSense));
    l.cents = v;
  }
}

void AsciiParse::ReadCurrencyAndCodes(ImportedLine& l) {
  if (const std::string_view typed = Field(kCurrency); !typed.empty()) {
    const std::string currency = NameKey(typed);
    if (currency == "f" || currency == "frf") l.francs = true;
    else if (!(currency.empty() || currency == "e" || currency == "eur" || currency == "\x80"))
      Error(kMsgBadCurrency, typed);
  }
  l.labelCode = Field(kLabelCode);
  l.label = Field(kLabel);
  l.label2 = Field(kLabel2);
  l.label3 = Field(kLabel3);
  l.vatCode = Field(kVat);
}

// The index of the line's piece, a new piece dated `date` when none has its journal and reference.
std::size_t AsciiParse::PieceOf(const Ymd& date) {
  // The lines of a piece mostly follow each other: the previous line's piece is tried first.
  if (lastPiece_ != kNoPiece && journal_ == r_.pieces[lastPiece_].journal && reference_ == lastReference_)
    return lastPiece_;
  const std::uint64_t h1 = std::hash<std::string_view>{}(journal_), h2 = std::hash<std::string_view>{}(reference_);
  const std::uint64_t hash = h1 ^ (h2 + 0x9e3779b97f4a7c15ULL + (h1 << 6) + (h1 >> 2));
  std::size_t at = hash & (capacity_ - 1);
  while (pieceOf_[at].index != kNoPiece &&
         !(pieceOf_[at].hash == hash && references_[pieceOf_[at].index] == reference_ &&
           r_.pieces[pieceOf_[at].index].journal == journal_))
    at = (at + 1) & (capacity_ - 1);
  if (pieceOf_[at].index == kNoPiece) {
    // A new piece takes the next index.
    pieceOf_[at] = {hash, r_.pieces.size()};
    references_.push_back(reference_);
    ImportedPiece& p = r_.pieces.emplace_back();
    p.journal = journal_;
    p.date = date;
    p.lines.reserve(4);
    r_.pieceLines.push_back(number_);
  }
  return pieceOf_[at].index;
}

// The line put in its piece, unless the piece has another date; the period widened to its date.
void AsciiParse::AddToPiece(ImportedLine& l, const Ymd& date) {
  const std::size_t index = PieceOf(date);
  if (DaysFromCivil(r_.pieces[index].date) != DaysFromCivil(date)) {
    Error(kMsgPieceDates, reference_);
    return;
  }
  lastPiece_ = index;
  lastReference_.assign(reference_);
  r_.pieces[index].lines.push_back(std::move(l));
  const long day = date.year * 10000L + date.month * 100L + date.day;
  if (firstDay_ == 0 || day < firstDay_) firstDay_ = day;
  if (lastDay_ == 0 || day > lastDay_) lastDay_ = day;
}

void AsciiParse::SetPeriod() {
  auto dayText = [](long day) {
    char text[24];
    std::snprintf(text, sizeof text, "%08ld", day);
    return std::string(text);
  };
  if (firstDay_ != 0) r_.firstDate = dayText(firstDay_);
  if (lastDay_ != 0) r_.lastDate = dayText(lastDay_);
  if (r_.pieces.empty() && r_.errors.empty()) r_.errors.push_back({0, Text(kMsgEmptyFile)});
}

// Each piece balances in the currency it is typed in. A line's euros are its own amount unless
// typed in francs; a piece typed in francs balances on the amounts as typed.
void AsciiParse::BalancePieces() {
  const double parity = TheDossierRecord.Parity();
  for (std::size_t i = 0; i < r_.pieces.size(); ++i) {
    const ImportedPiece& p = r_.pieces[i];
    const bool francs = p.TypedInFrancs();
    long long d = 0, c = 0;
    for (const ImportedLine& l : p.lines) {
      const long long euros = l.francs ? posting::ToEuros(l.cents, parity) : l.cents;
      (l.sense == 'D' ? d : c) += francs ? l.cents : euros;
      (l.sense == 'D' ? r_.debit : r_.credit) += euros;
      (l.sense == 'D' ? r_.debitF : r_.creditF) += l.francs ? l.cents : posting::ToFrancs(l.cents, parity);
      ++(l.francs ? r_.francLines : r_.euroLines);
    }
    if (d != c)
      r_.errors.push_back(
          {r_.pieceLines[i], FillPlaceholders(Text(kMsgUnbalanced), {p.journal, GroupedAmountText(d), GroupedAmountText(c)})});
  }
}

}  // namespace

AsciiRead ParseAsciiText(const std::string& raw) {
  AsciiRead r;
  r.readable = true;
  r.digest = Hex(Fnv1a(raw));
  AsciiParse parse(r);
  parse.Decode(raw);
  if (!parse.SplitLines() || !parse.ReadColumns()) return r;
  parse.ReadEntryLines();
  parse.SetPeriod();
  parse.BalancePieces();
  std::sort(r.errors.begin(), r.errors.end(), [](const AsciiError& a, const AsciiError& b) { return a.line < b.line; });
  return r;
}

namespace {

// The words of the log lines that a later reading takes back: a run's start, its end, and the
// line a restore writes for a run that the restored books do not hold, or hold again.
constexpr const char* kBegunWord = " - D\xE9" "but - ";
constexpr const char* kOkWord = " - Ok - ";
constexpr const char* kCancelledWord = " - Annul\xE9 par la restauration - ";
constexpr const char* kRestoredWord = " - R\xE9tabli par la restauration";
constexpr const char* kDigestWord = "empreinte ";

// The log lines of this run's kind in a log's text, oldest first.
std::vector<std::string> AsciiLogLines(const std::string& text) {
  std::vector<std::string> out;
  const std::string title = std::string(kAsciiLogTitle) + " - ";
  for (std::string& line : Lines(text))
    if (line.find(title) != std::string::npos) out.push_back(std::move(line));
  return out;
}

// None when the log cannot be read (the read kept as refused by the watches).
std::vector<std::string> AsciiLogLines() {
  std::string text;
  if (!ReadImportRecord(LogPath(), text)) return {};
  return AsciiLogLines(text);
}

bool Has(const std::string& line, const std::string& what) { return line.find(what) != std::string::npos; }

// What a log says of one content: the line of its import ("" when the books do not hold it), and
// the start line of its run stopped half-way ("" when none is).
struct AsciiLogState {
  std::string imported, stopped;
};

// Each content the log names, by its fingerprint. A start line opens its run, any other line of
// the content closes it; an end line says the books hold the content, until a restore's line
// says they no longer do.
std::map<std::string, AsciiLogState> AsciiLogStates(const std::vector<std::string>& lines) {
  std::map<std::string, AsciiLogState> states;
  for (const std::string& line : lines) {
    const std::size_t at = line.find(kDigestWord);
    if (at == std::string::npos) continue;
    AsciiLogState& state = states[line.substr(at + std::string_view(kDigestWord).size(), 16)];
    if (Has(line, kBegunWord)) {
      state.stopped = line;
      continue;
    }
    state.stopped.clear();
    if (Has(line, kOkWord)) state.imported = line;
    else if (Has(line, kCancelledWord)) state.imported.clear();
  }
  return states;
}

void LookInLog(AsciiRead& r) {
  const std::map<std::string, AsciiLogState> states = AsciiLogStates(AsciiLogLines());
  for (const auto& [digest, state] : states)
    if (!state.stopped.empty()) r.stoppedRun = state.stopped;
  if (const auto it = states.find(r.digest); it != states.end()) {
    r.importedBefore = it->second.imported;
    if (!it->second.stopped.empty()) r.stoppedRun = it->second.stopped;
  }
  if (!r.importedBefore.empty())
    r.errors.insert(r.errors.begin(), {0, FillPlaceholder(Text(kMsgImportedBefore), r.importedBefore)});
}

// What follows `word` in a line.
std::string After(const std::string& line, const std::string& word) {
  const std::size_t at = line.find(word);
  return at == std::string::npos ? std::string() : line.substr(at + word.size());
}

// The file a run's start line names: between "Début - " and its journal and first piece.
std::string FileOfStart(const std::string& line) {
  const std::string begun = kBegunWord;
  const std::size_t from = line.find(begun), mark = line.rfind(" - empreinte ");
  if (from == std::string::npos || mark == std::string::npos || mark <= from + begun.size()) return "";
  const std::string rest = line.substr(from + begun.size(), mark - from - begun.size());
  const std::size_t piece = rest.rfind(" - ");
  return piece == std::string::npos ? rest : rest.substr(0, piece);
}

// The file of an end line: its text after "Ok - " less its lines, pieces and fingerprint.
std::string FileOfEnd(const std::string& line) {
  std::string rest = After(line, kOkWord);
  for (int part = 0; part < 3; ++part) {
    const std::size_t dash = rest.rfind(" - ");
    if (dash == std::string::npos) break;
    rest.erase(dash);
  }
  return rest;
}

// The stamp an import puts before the extension of the file it imported: "_AAAAMMJJ-HHMMSS".
std::string ImportedStamp(const platform::LocalTime& t) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return stamp;
}

// A path split before its extension ("" when its name has none).
std::pair<std::string, std::string> StemAndExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {path, ""};
  return {path.substr(0, dot), path.substr(dot)};
}

// Whether `name` is `stem` + an import's stamp + `extension`.
bool RenamedByAnImport(const std::string& name, const std::string& stem, const std::string& extension) {
  const std::size_t width = ImportedStamp({}).size();
  if (name.size() != stem.size() + width + extension.size() || name.compare(0, stem.size(), stem) != 0 ||
      name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
    return false;
  const std::string stamp = name.substr(stem.size(), width);
  for (std::size_t i = 0; i < width; ++i) {
    const bool digit = stamp[i] >= '0' && stamp[i] <= '9';
    if (i == 0 ? stamp[i] != '_' : i == 9 ? stamp[i] != '-' : !digit) return false;
  }
  return true;
}

// The file of a content that the log names by the path it was imported from, as it is now: that
// path when its file still holds the content, else the file beside it that the import renamed with
// its stamp and that holds it (the latest), else the path as the log names it.
std::string FileNow(const std::string& logged, const std::string& digest) {
  const auto holds = [&digest](const std::string& path) {
    std::string bytes;
    return platform::FileExists(path) && platform::ReadWholeFile(path, bytes) && Hex(Fnv1a(bytes)) == digest;
  };
  if (logged.empty() || holds(logged)) return logged;
  const std::size_t slash = logged.find_last_of('/');
  if (slash == std::string::npos) return logged;
  const std::string folder = logged.substr(0, slash + 1);
  const auto [stem, extension] = StemAndExtension(logged.substr(slash + 1));
  std::string latest;
  for (const std::string& name : platform::ListFiles(folder))
    if (name > latest && RenamedByAnImport(name, stem, extension) && holds(folder + name)) latest = name;
  return latest.empty() ? logged : folder + latest;
}

}  // namespace

ImportLogChange AsciiLogAfterRestore(const std::string& wanted, const std::string& now) {
  const std::map<std::string, AsciiLogState> want = AsciiLogStates(AsciiLogLines(wanted));
  const std::map<std::string, AsciiLogState> have = AsciiLogStates(AsciiLogLines(now));
  std::set<std::string> digests;
  for (const auto& [digest, state] : want) digests.insert(digest);
  for (const auto& [digest, state] : have) digests.insert(digest);
  const std::string title = kAsciiLogTitle;
  ImportLogChange change;
  for (const std::string& digest : digests) {
    const auto w = want.find(digest), h = have.find(digest);
    const AsciiLogState target = w == want.end() ? AsciiLogState{} : w->second;
    const AsciiLogState had = h == have.end() ? AsciiLogState{} : h->second;
    const bool sameImport = target.imported.empty() == had.imported.empty();
    const bool sameStop = After(target.stopped, kBegunWord) == After(had.stopped, kBegunWord);
    if (sameImport && sameStop) continue;
    // The content's runs closed and its import forgotten, then its state in the backup's log
    // written again: the last line of each kind is what the import reads.
    if (!had.imported.empty() || !had.stopped.empty()) {
      const std::string rest = had.stopped.empty() ? After(had.imported, kOkWord) : After(had.stopped, kBegunWord);
      change.lines.push_back(title + kCancelledWord + rest);
    }
    if (!target.imported.empty()) {
      change.lines.push_back(title + kRestoredWord + kOkWord + After(target.imported, kOkWord));
      if (had.imported.empty()) change.held.push_back(FileNow(FileOfEnd(target.imported), digest));
    }
    if (!target.stopped.empty()) {
      change.lines.push_back(title + kRestoredWord + kBegunWord + After(target.stopped, kBegunWord));
      change.stopped.push_back(FileOfStart(target.stopped));
    }
    if (target.imported.empty() && target.stopped.empty())
      change.notHeld.push_back(FileNow(had.imported.empty() ? FileOfStart(had.stopped) : FileOfEnd(had.imported), digest));
  }
  return change;
}

AsciiRead ReadAsciiFile(Table& c10, Table& c20, Table& c50, const std::string& path, long maxRecords) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) {
    AsciiRead r;
    r.path = path;
    r.errors.push_back({0, FillPlaceholder(Text(kMsgUnreadable), path)});
    return r;
  }
  AsciiRead r = ParseAsciiText(bytes);
  r.path = path;
  if (!r.readable) return r;
  LookInLog(r);

  // The lines against the dossier; each code is looked up once. A read the disk refused is no journal,
  // account or code unknown: the file is refused for that read alone, said once.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
  Ymd first, last;
  const bool year = TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) &&
                    TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last);
  const char c006 = ConstantEntry(6)[0], c007 = ConstantEntry(7)[0];
  const double parity = TheDossierRecord.Parity();
  std::map<std::string, posting::JournalRecord> journals;
  std::map<std::string, bool> codes;
  std::unordered_map<std::string, std::pair<int, std::string>> accounts;  // journal type + typed -> message, account
  std::string key;
  auto codeLive = [&](char kind, const std::string& code) {
    const std::string key = std::string(1, kind) + code;
    auto it = codes.find(key);
    if (it == codes.end())
      // A code whose mark is not read is refused with its line, the refusal said naming the file.
      it = codes.emplace(key, posting::SeekC10(c10, kind, code) && LiveOrSaid(c10).IsFound()).first;
    return it->second;
  };
  long line = 0;
  for (std::size_t i = 0; i < r.pieces.size(); ++i) {
    ImportedPiece& p = r.pieces[i];
    // The piece's own faults are named by its first line, a line's by the line.
    line = r.pieceLines[i];
    auto error = [&](int id, const std::string& what) { r.errors.push_back({line, FillPlaceholder(Text(id), what)}); };
    auto j = journals.find(p.journal);
    if (j == journals.end()) j = journals.emplace(p.journal, posting::ReadJournal(c10, p.journal)).first;
    if (!j->second.found || j->second.cancelled) error(kMsgUnknownJournal, p.journal);
    const long day = DaysFromCivil(p.date);
    if (!year || day < DaysFromCivil(first) || day > DaysFromCivil(last)) error(kMsgOutsideYear, PrintDateOf(p.date));
    for (ImportedLine& l : p.lines) {
      line = l.sourceLine;
      key.assign(1, j->second.type()).append(l.account);
      auto a = accounts.find(key);
      if (a == accounts.end()) {
        const posting::FieldCheck check =
            posting::CheckAccount(c10, c20, j->second.type(), l.account, false, c006, c007);
        a = accounts.emplace(key, std::make_pair(check.message, check.account)).first;
      }
      if (a->second.first != 0) error(a->second.first, "");
      if (a->second.first != 0) r.errors.back().text = TrimmedOfSpacing(Text(a->second.first)) + " : " + l.account;
      l.account = a->second.second.empty() ? NormalizeAccount(l.account) : a->second.second;
      if (!l.labelCode.empty() && !codeLive('L', l.labelCode)) error(kMsgUnknownLabel, l.labelCode);
      if (!l.vatCode.empty() && !codeLive('T', l.vatCode)) error(kMsgUnknownVat, l.vatCode);
      if (l.francs && DossierIsEuroOnly()) error(kMsgFrancsRefused, "");
      // Every amount a draft line cannot hold is named at once, not only the first the writer's check meets.
      if (std::string tooLarge = LineAmountRefusal(l, parity); !tooLarge.empty()) r.errors.push_back({line, OneLine(tooLarge)});
    }
  }
  // The lines refused by their form: their journal, account and codes too, so that one reading tells every fault.
  for (auto& [journal, l] : r.refusedLines) {
    line = l.sourceLine;
    auto error = [&](int id, const std::string& what) { r.errors.push_back({line, FillPlaceholder(Text(id), what)}); };
    auto j = journals.find(journal);
    if (j == journals.end()) j = journals.emplace(journal, posting::ReadJournal(c10, journal)).first;
    if (!j->second.found || j->second.cancelled) {
      error(kMsgUnknownJournal, journal);
      continue;
    }
    if (!l.account.empty()) {
      const posting::FieldCheck check = posting::CheckAccount(c10, c20, j->second.type(), l.account, false, c006, c007);
      if (check.message != 0) r.errors.push_back({line, TrimmedOfSpacing(Text(check.message)) + " : " + l.account});
    }
    if (!l.labelCode.empty() && !codeLive('L', l.labelCode)) error(kMsgUnknownLabel, l.labelCode);
    if (!l.vatCode.empty() && !codeLive('T', l.vatCode)) error(kMsgUnknownVat, l.vatCode);
  }
  if (r.errors.empty()) {
    // The draft's room and the other checks of the writer.
    const PiecesReport check = CheckImportedPieces(c10, c50, r.pieces, maxRecords);
    if (check.outcome != PiecesOutcome::Written)
      r.errors.push_back({check.outcome == PiecesOutcome::TooManyLines ? 0
                          : check.sourceLine > 0                         ? check.sourceLine
                                                                         : r.pieceLines[check.piece],
                          OneLine(check.message)});
  }
  if (reading.ReadRefused()) {
    // One row of the form's list and of the errors' file: the sentence's lines joined.
    std::string said;
    for (const std::string& l : Lines(NothingImportedMessage(reading)))
      if (!TrimmedOfSpacing(l).empty()) said += (said.empty() ? "" : " ") + TrimmedOfSpacing(l);
    r.errors = {{0, said}};
  }
  std::stable_sort(r.errors.begin(), r.errors.end(),
                   [](const AsciiError& a, const AsciiError& b) { return a.line < b.line; });
  return r;
}

std::string AsciiErrorFile(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
  return stem + "_erreurs.txt";
}

bool WriteAsciiErrors(const AsciiRead& read) {
  const std::string file = AsciiErrorFile(read.path);
  if (read.errors.empty()) return platform::RemoveFile(file);
  std::string text = std::string(kAsciiLogTitle) + " - " + read.path + "\r\n";
  for (const AsciiError& e : read.errors)
    text += (e.line > 0 ? FillPlaceholders(Text(kMsgErrorLine), {std::to_string(e.line), TrimmedOfSpacing(e.text)})
                        : TrimmedOfSpacing(e.text)) +
            "\r\n";
  return platform::WriteFileAtomic(file, text);
}

namespace {

// The record of a run's pieces, written before its first line: "empreinte <digest>", then one
// line per piece of the file, in order: "journal \t stored month \t number \t lines" (RecordedPiece).
// `lineCounts` gives the lines of the pieces being written (-1: counted here).
std::string PiecesRecord(const AsciiRead& read, const std::vector<long>& numbers, const std::vector<long>& lineCounts) {
  const double parity = TheDossierRecord.Parity();
  std::string text = "empreinte " + read.digest + "\n";
  for (std::size_t i = 0; i < read.pieces.size() && i < numbers.size(); ++i) {
    const ImportedPiece& p = read.pieces[i];
    const long count = i < lineCounts.size() && lineCounts[i] >= 0 ? lineCounts[i] : PieceLineCount(p, parity);
    text.append(p.journal).append(1, '\t').append(StoredDateOf(p.date), 0, 4).append(1, '\t');
    text.append(std::to_string(numbers[i])).append(1, '\t').append(std::to_string(count)).append(1, '\n');
  }
  return text;
}

// A record whose pieces kept are marked settled: a piece of no line is kept as it is by the next
// import of the content (RecordedPiece::lines 0 is always whole), wherever its lines have gone
// since (validated, renumbered, cancelled), so that it is never written twice.
std::string SettledRecord(const std::string& digest, const std::vector<RecordedPiece>& pieces,
                          const std::vector<bool>& kept) {
  std::string text = "empreinte " + digest + "\n";
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const RecordedPiece& p = pieces[i];
    const long lines = i < kept.size() && kept[i] ? 0 : p.lines;
    text.append(p.journal).append(1, '\t').append(p.month).append(1, '\t').append(std::to_string(p.number));
    text.append(1, '\t').append(std::to_string(lines)).append(1, '\n');
  }
  return text;
}

// The pieces recorded for this content; false when the record is of another content or not whole.
// `anyContent`: the pieces recorded, whatever content they are of.
bool ReadPiecesRecord(const AsciiRead& read, std::vector<RecordedPiece>* pieces, bool anyContent = false) {
  std::string text;
  if (!ReadImportRecord(AsciiRunPiecesPath(), text)) return false;
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty() || (!anyContent && lines[0] != "empreinte " + read.digest)) return false;
  pieces->clear();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    std::vector<std::string> f;
    for (std::size_t from = 0;;) {
      const std::size_t tab = lines[i].find('\t', from);
      f.push_back(lines[i].substr(from, tab == std::string::npos ? std::string::npos : tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    if (f.size() != 4) return false;
    pieces->push_back({f[0], f[1], std::atol(f[2].c_str()), std::atol(f[3].c_str())});
  }
  return anyContent || pieces->size() == read.pieces.size();
}

}  // namespace

bool PutStoppedAsciiRunInOrder(Table& c10, Table& c50, Table& c60, std::vector<StoppedAsciiRun>* done,
                               std::string* refusal, MaintenanceProgress* progress) {
  RefusalWatch watch;
  // The record or the log read short would leave the stopped run for a closed one.
  const auto readShort = [&] {
    if (!watch.ReadRefused()) return false;
    *refusal = RefusedWriteText(watch);
    return true;
  };
  std::string text;
  if (!ReadImportRecord(AsciiRunPiecesPath(), text)) return !readShort();
  const std::vector<std::string> lines = Lines(text);
  const std::string head = "empreinte ";
  if (lines.empty() || lines[0].compare(0, head.size(), head) != 0) return true;
  AsciiRead run;
  run.digest = lines[0].substr(head.size());
  LookInLog(run);
  // A record whose run the log closes is no longer read: the run ended, or was closed by another.
  std::vector<RecordedPiece> recorded;
  const bool open = Has(run.stoppedRun, head + run.digest) && ReadPiecesRecord(run, &recorded, true);
  if (readShort()) return false;
  if (!open) return true;
  if (progress != nullptr) progress->SetLine(TakeUpFileLine(FileOfStart(run.stoppedRun)));
  const StoppedPieces stopped =
      PutStoppedPiecesInOrder(c10, c50, c60, recorded, AsciiRunTotalsPath(), false, progress);
  if (stopped.refused) {
    *refusal = RefusedWriteText(watch);
    return false;
  }
  // The pieces kept are settled in the record: validated before the file is imported again, they
  // are not taken for pieces the draft lacks.
  if (stopped.whole != std::vector<bool>(recorded.size(), false) &&
      !platform::WriteFileAtomic(AsciiRunPiecesPath(), SettledRecord(run.digest, recorded, stopped.whole))) {
    RefusalWatch::NoteFileRefused(AsciiRunPiecesPath());
    *refusal = RefusedWriteText(watch);
    return false;
  }
  StoppedAsciiRun put;
  put.file = FileOfStart(run.stoppedRun);
  for (std::size_t i = 0; i < recorded.size(); ++i) {
    if (stopped.whole[i]) {
      ++put.kept;
      continue;
    }
    ++put.notWritten;
    if (stopped.cancelled[i] > 0) {
      ++put.cutPieces;
      put.cutLines += stopped.cancelled[i];
    }
  }
  if (done != nullptr) done->push_back(put);
  return true;
}

std::string AsciiRunPiecesPath() {
  return DossierFolder + "cas" + std::string(Lower(AllTrim(DossierCode.c_str()))) + ".pcs";
}

std::string AsciiRunTotalsPath() {
  return DossierFolder + "cas" + std::string(Lower(AllTrim(DossierCode.c_str()))) + ".tot";
}

namespace {

// One import of a file read without error, under the import lock: the log read again, a run
// stopped half-way closed or resumed, the pieces written with their record and log lines, the
// file renamed. Its steps in the order ImportAsciiFile calls them; each false step has set the
// run's message.
class AsciiImport {
 public:
  AsciiImport(Table& c10, Table& c50, Table& c60, const AsciiRead& read, long maxRecords)
      : c10_(c10), c50_(c50), c60_(c60), read_(read), maxRecords_(maxRecords),
        title_(kAsciiLogTitle), mark_(" - empreinte " + read.digest),
        // A refused resume leaves the stopped run named in the log: a line with this content's mark
        // would end it, and the next import would write again the pieces it wrote.
        resumesStopped_(Has(read.stoppedRun, "empreinte " + read.digest)) {}

  AsciiRun& Run() { return run_; }
  // The log still names a run stopped half-way whose books this import could not put in order
  // or finish: the next opening or import does.
  bool LeftStopped() const { return leftStopped_; }
  void RefuseErrors();
  bool ReadLogAgain();
  bool CloseOtherStoppedRun();
  void ReadRecord();
  bool ReadWhole(const RefusalWatch& reading);
  bool ClearEndedRunFiles(RefusalWatch& refusal);
  bool ChoosePieces(RefusalWatch& refusal);
  bool WritePieces(RefusalWatch& refusal);
  void Finish(RefusalWatch& refusal);

 private:
  void Refuse(long count);
  bool CloseStopped();
  bool RecordPieces(const std::vector<long>& taken, const std::vector<long>& counts);

  Table &c10_, &c50_, &c60_;
  const AsciiRead& read_;
  const long maxRecords_;
  const std::string title_, mark_;
  bool resumesStopped_;
  AsciiRun run_;
  AsciiRead logNow_;  // the log as read under the lock
  bool sameContent_ = false;  // the run stopped half-way is of this content
  // A run of this content resumed: the pieces it wrote whole, the pieces to write now.
  bool resuming_ = false;
  std::vector<RecordedPiece> recorded_;
  std::vector<std::size_t> toWrite_;
  std::vector<long> numbers_;
  std::string resumed_;  // what the end message says of the resumed run
  std::vector<ImportedPiece> resumedPieces_;
  long lineCount_ = 0;
  bool recordRefused_ = false, leftStopped_ = false;
};

// The error log line, counting `count` errors.
void AsciiImport::Refuse(long count) {
  run_.logLine = title_ + " - Erreur: " + std::to_string(count) + (count > 1 ? " erreurs - " : " erreur - ") +
                 read_.path + (resumesStopped_ ? std::string() : mark_);
  WriteLog(run_.logLine);
}

// A file with errors: only its error log line.
void AsciiImport::RefuseErrors() {
  Refuse(static_cast<long>(std::max<std::size_t>(read_.errors.size(), 1)));
  run_.message = FillPlaceholders(Text(kMsgRefused), {std::to_string(read_.errors.size()), AsciiErrorFile(read_.path)});
}

// From the reading of the log to the run's last log line, no other station's run: two stations
// importing the same file at the same moment (the automatic import after the working date) would
// both find its content new. The log is read again under the hold.
bool AsciiImport::ReadLogAgain() {
  logNow_.digest = read_.digest;
  LookInLog(logNow_);
  if (!logNow_.importedBefore.empty()) {
    Refuse(1);
    run_.message = FillPlaceholder(Text(kMsgImportedElsewhere), logNow_.importedBefore);
    return false;
  }
  if (!logNow_.stoppedRun.empty() && logNow_.stoppedRun != read_.stoppedRun) {
    run_.message = Text(kMsgStoppedElsewhere);
    return false;
  }
  // A run stopped half-way, named by the window or the end message, is closed in the log (once:
  // another station may have closed it since the reading); one of this same content once this
  // run has written what it lacked, so that a resume stopped in its turn is resumed again.
  sameContent_ = !logNow_.stoppedRun.empty() && Has(logNow_.stoppedRun, "empreinte " + read_.digest);
  resumesStopped_ = sameContent_;
  return true;
}

// The stopped run's closing line; false when it was refused (noted): the run is still open in the log.
bool AsciiImport::CloseStopped() {
  const std::string begun = " - D\xE9" "but - ";
  const std::size_t at = logNow_.stoppedRun.find(begun);
  if (at == std::string::npos || WriteLog(title_ + " - Interrompu - " + logNow_.stoppedRun.substr(at + begun.size())))
    return true;
  RefusalWatch::NoteFileRefused(LogPath());
  return false;
}

// A run of another content stopped half-way: its lines stay as they are; the totals it had not
// written are written first. Until its closing line is in the log, it is taken up again by the
// next import, which must find its totals journal as it is now: this run stops there.
bool AsciiImport::CloseOtherStoppedRun() {
  if (logNow_.stoppedRun.empty() || sameContent_) return true;
  std::vector<RecordedPiece> other;
  RefusalWatch refusal;
  if ((ReadPiecesRecord(read_, &other, true) &&
       PutStoppedPiecesInOrder(c10_, c50_, c60_, other, AsciiRunTotalsPath(), true).refused) ||
      !CloseStopped()) {
    run_.message = StoppedRunMessage(refusal);
    leftStopped_ = true;
    return false;
  }
  return true;
}

// The record of the run of this same content stopped half-way, which this run resumes.
void AsciiImport::ReadRecord() { resuming_ = sameContent_ && ReadPiecesRecord(read_, &recorded_); }

// False, the run refused with nothing written, when the log or the run's record could not be read.
bool AsciiImport::ReadWhole(const RefusalWatch& reading) {
  if (!reading.ReadRefused()) return true;
  Refuse(1);
  run_.message = NothingImportedMessage(reading);
  return false;
}

// A run that takes none up starts without the record and totals journal of a run ended before it
// (RemoveEndedRunFiles); one that cannot be removed refuses the run, logged, nothing written.
bool AsciiImport::ClearEndedRunFiles(RefusalWatch& refusal) {
  if (sameContent_ || RemoveEndedRunFiles({AsciiRunPiecesPath(), AsciiRunTotalsPath()})) return true;
  Refuse(1);
  run_.message = FillPlaceholder(Text(kMsgWriteRefused), RefusedWriteText(refusal));
  return false;
}

// A run of this same content stopped half-way: the pieces it wrote whole stay, the others are
// written now; the lines of a piece it cut short are cancelled first, so that the content goes
// in once and whole.
bool AsciiImport::ChoosePieces(RefusalWatch& refusal) {
  numbers_.assign(read_.pieces.size(), 0);
  const StoppedPieces stopped =
      resuming_ ? PutStoppedPiecesInOrder(c10_, c50_, c60_, recorded_, AsciiRunTotalsPath()) : StoppedPieces{};
  if (stopped.refused) {
    // The stopped run stays as it is, named by its record and its log line, for the next import.
    run_.message = StoppedRunMessage(refusal);
    leftStopped_ = true;
    return false;
  }
  long cutPieces = 0, cutLines = 0;
  for (std::size_t i = 0; i < read_.pieces.size(); ++i) {
    if (resuming_ && stopped.whole[i]) {
      numbers_[i] = recorded_[i].number;
      continue;
    }
    if (resuming_ && stopped.cancelled[i] > 0) {
      ++cutPieces;
      cutLines += stopped.cancelled[i];
    }
    toWrite_.push_back(i);
  }
  if (cutPieces > 0)
    resumed_ = FillPlaceholders(Text(kMsgCutPieces), {std::to_string(cutPieces), std::to_string(cutLines)});
  if (resuming_)
    resumed_ = FillPlaceholders(Text(kMsgResumed), {std::to_string(read_.pieces.size() - toWrite_.size()),
                                                    std::to_string(toWrite_.size())}) +
               resumed_;
  // The pieces to write: all of them unless a stopped run is resumed.
  if (toWrite_.size() != read_.pieces.size())
    for (std::size_t i : toWrite_) resumedPieces_.push_back(read_.pieces[i]);
  for (const ImportedPiece& p : read_.pieces) lineCount_ += static_cast<long>(p.lines.size());
  return true;
}

// The numbers of every piece, recorded before the first line: a run stopped half-way is
// resumed from them by the next import of this content. Then the start line.
bool AsciiImport::RecordPieces(const std::vector<long>& taken, const std::vector<long>& counts) {
  // The pieces a resumed run kept are settled (no line): never looked for again.
  std::vector<long> lineCounts(read_.pieces.size(), resuming_ ? 0 : -1);
  for (std::size_t i : toWrite_) lineCounts[i] = -1;
  for (std::size_t j = 0; j < toWrite_.size() && j < taken.size(); ++j) {
    numbers_[toWrite_[j]] = taken[j];
    if (j < counts.size()) lineCounts[toWrite_[j]] = counts[j];
  }
  recordRefused_ = true;
  if (!platform::WriteFileAtomic(AsciiRunPiecesPath(), PiecesRecord(read_, numbers_, lineCounts))) {
    RefusalWatch::NoteFileRefused(AsciiRunPiecesPath());
    return false;
  }
  const std::vector<ImportedPiece>& pieces = toWrite_.size() != read_.pieces.size() ? resumedPieces_ : read_.pieces;
  // Without its start line the run would not be found again: its record goes, nothing written.
  if (!WriteLog(title_ + " - D\xE9" "but - " + read_.path + " - " + pieces.front().journal + " pi\xE8" "ce " +
                std::to_string(taken.front()) + mark_)) {
    RefusalWatch::NoteFileRefused(LogPath());
    if (!resuming_) platform::RemoveFile(AsciiRunPiecesPath());
    return false;
  }
  recordRefused_ = false;
  return true;
}

bool AsciiImport::WritePieces(RefusalWatch& refusal) {
  const std::vector<ImportedPiece>& pieces = toWrite_.size() != read_.pieces.size() ? resumedPieces_ : read_.pieces;
  if (pieces.empty()) {
    run_.pieces.outcome = PiecesOutcome::Written;
    return true;
  }
  run_.pieces = WriteImportedPieces(
      c10_, c50_, c60_, pieces, maxRecords_,
      [this](const std::vector<long>& taken, const std::vector<long>& counts) { return RecordPieces(taken, counts); },
      AsciiRunTotalsPath());
  if (run_.pieces.outcome == PiecesOutcome::Stopped) {
    // Stopped by a refused write: its record and its start line stay, as after a stop of the
    // program, so that the next import of this content takes it up.
    run_.message = resumed_ + run_.pieces.message;
    leftStopped_ = true;
    return false;
  }
  if (run_.pieces.outcome != PiecesOutcome::Written) {
    // Nothing of this run is in the draft: its record goes, unless it resumes a stopped run.
    if (!resuming_) platform::RemoveFile(AsciiRunPiecesPath());
    Refuse(1);
    // The record's refusal said with the file and why (the full disk).
    run_.message = resumed_ + run_.pieces.message + (recordRefused_ && refusal.Seen() ? refusal.Text() + "\n" : "");
    return false;
  }
  return true;
}

// The end log line, the file renamed with the date and time, the run's record and totals
// journal removed, the end message.
void AsciiImport::Finish(RefusalWatch& refusal) {
  run_.pieces.numbers = numbers_;
  if (sameContent_) CloseStopped();  // the end line below, of the same content, closes it too
  const auto [stem, extension] = StemAndExtension(read_.path);
  const std::string renamed = stem + ImportedStamp(platform::GetLocalTime()) + extension;
  const std::string pieceNumbers = NumberRanges(run_.pieces.numbers);
  run_.logLine = title_ + " - Ok - " + read_.path + " - " + std::to_string(lineCount_) + " lignes - " +
                 std::to_string(read_.pieces.size()) + " pi\xE8" "ces n\xB0 " + pieceNumbers + mark_;
  if (!WriteLog(run_.logLine)) {
    // Every line and total is written, but the log still names the run as stopped: the next
    // import of the file (left under its name) closes it, its record and totals journal kept to
    // show what is written.
    RefusalWatch::NoteFileRefused(LogPath());
    run_.message = resumed_ + StoppedRunMessage(refusal);
    leftStopped_ = true;
    return;
  }
  run_.written = true;
  if (!platform::FileExists(renamed) && platform::AtomicRename(read_.path, renamed)) run_.renamedTo = renamed;
  // The run's record and its totals journal go once the log names it done: stopped before, the
  // run is still found and taken up. One whose removal is refused is said; the log closing the
  // run, it is read no more, and the next import removes it before it writes.
  std::string left;
  if (!platform::RemoveFile(AsciiRunPiecesPath())) left = AsciiRunPiecesPath();
  if (!RemoveRunTotals(AsciiRunTotalsPath()) && left.empty()) left = AsciiRunTotalsPath();
  run_.message = resumed_ + FillPlaceholders(Text(kMsgDone), {std::to_string(lineCount_),
                                                              std::to_string(read_.pieces.size()), pieceNumbers});
  if (!run_.renamedTo.empty()) run_.message += FillPlaceholder(Text(kMsgRenamed), FileName(run_.renamedTo));
  if (run_.pieces.roundingLines > 0)
    run_.message += FillPlaceholder(Text(kMsgRoundingLines), std::to_string(run_.pieces.roundingLines));
  if (!left.empty()) run_.message += FillPlaceholder(Text(kMsgRunFileLeft), left);
}

}  // namespace

AsciiRun ImportAsciiFile(Table& c10, Table& c50, Table& c60, const AsciiRead& read, long maxRecords) {
  AsciiImport import(c10, c50, c60, read, maxRecords);
  if (!read.Importable()) {
    import.RefuseErrors();
    return import.Run();
  }
  ImportRunGuard guard(c10, c50, c60, kAsciiImportRun, Text(kMsgTitle));
  if (!guard.ok()) {
    import.Run().message = guard.message();
    return import.Run();
  }
  // The log and the run's record read short would have the content imported again.
  RefusalWatch reading;
  if (import.ReadLogAgain() && import.CloseOtherStoppedRun()) {
    import.ReadRecord();
    RefusalWatch refusal;
    if (import.ReadWhole(reading) && import.ClearEndedRunFiles(refusal) && import.ChoosePieces(refusal) &&
        import.WritePieces(refusal))
      import.Finish(refusal);
  }
  if (import.LeftStopped()) guard.Keep();
  import.Run().message = guard.said() + import.Run().message;
  return import.Run();
}

std::string AsciiImportLockPath() { return DossierFolder + "cas" + std::string(Lower(AllTrim(DossierCode.c_str()))) + ".lck"; }

std::string AsciiImportSetting() {
  // Section "ImportAuto" and key "FichierImport", cut from the packed key string 13.
  const std::string keys = LoadStr(kIniKeys);
  const std::string section = keys.size() >= 58 ? TrimmedOfSpacing(keys.substr(48, 10)) : "ImportAuto";
  const std::string key = keys.size() >= 71 ? TrimmedOfSpacing(keys.substr(58, 13)) : "FichierImport";
  std::string file = TrimmedOfSpacing(DossierIniGet(section.c_str(), key.c_str(), ""));
  if (file.empty()) file = TrimmedOfSpacing(IniGetString(key.c_str(), ""));
  return file;
}

}  // namespace processing
