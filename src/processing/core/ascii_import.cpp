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
#include "posting/balancing.h"
#include "posting/journal_month.h"
#include "posting/line_validation.h"
#include "platform/system/clock.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
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

std::string Text(int id) { return LoadStr(id); }

std::string_view TrimmedOfSpacingView(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r' || s[a] == '\xA0')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r' || s[b - 1] == '\xA0')) --b;
  return s.substr(a, b - a);
}

std::string TrimmedOfSpacing(std::string_view s) { return std::string(TrimmedOfSpacingView(s)); }

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
constexpr int kMsgResumed = 29734;    // a run of this content stopped half-way, its pieces written whole kept
constexpr int kMsgHalfPiece = 29735;  // a piece it wrote in part

struct Piecework {
  std::size_t index;
  long line;
};

std::string AmountText(long long cents) { return TrimmedOfSpacing(GroupThousands(17, 2, FromCents(cents))); }

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

AsciiRead ParseAsciiText(const std::string& raw) {
  AsciiRead r;
  r.readable = true;
  r.digest = Hex(Fnv1a(raw));
  std::string bytes = raw;
  bool utf8 = false;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    bytes.erase(0, 3);
    r.encoding = "UTF-8 (BOM)";
    utf8 = true;
  } else if (platform::IsWellFormedUtf8(bytes) &&
             std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    r.encoding = "UTF-8";
    utf8 = true;
  } else {
    r.encoding = "Windows-1252";
  }
  if (utf8) {
    bytes = FromUtf8(bytes);
  } else {
    // The five bytes Windows-1252 leaves undefined are no character.
    for (char& c : bytes)
      if (platform::Cp1252ToUnicode(static_cast<unsigned char>(c), platform::Unassigned::kRefuse) < 0) c = '?';
  }
  // An end-of-file mark of old editors closes the text.
  while (!bytes.empty() && bytes.back() == '\x1A') bytes.pop_back();

  std::vector<std::string_view> lines = LineViews(bytes);
  while (!lines.empty() && TrimmedOfSpacingView(lines.back()).empty()) lines.pop_back();
  if (lines.empty()) {
    r.errors.push_back({0, Text(kMsgEmptyFile)});
    return r;
  }
  // The separator is the one of ";", tab and "|" the column line holds most.
  std::size_t best = 0;
  for (char s : {';', '\t', '|'}) {
    const std::size_t n = static_cast<std::size_t>(std::count(lines[0].begin(), lines[0].end(), s));
    if (n > best) {
      best = n;
      r.separator = s;
    }
  }
  if (r.separator == 0) {
    r.errors.push_back({1, Text(kMsgNoSeparator)});
    return r;
  }
  const std::vector<std::string> names = Split(lines[0], r.separator);
  int at[kColumnCount];
  std::fill(std::begin(at), std::end(at), -1);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int c = ColumnOf(names[i]);
    if (c < 0) {
      if (!names[i].empty()) r.ignored.push_back(names[i]);
      continue;
    }
    if (at[c] >= 0) {
      r.errors.push_back({1, FillPlaceholder(Text(kMsgDuplicateColumn), names[i])});
      continue;
    }
    at[c] = static_cast<int>(i);
  }
  const bool debitCredit = at[kDebit] >= 0 && at[kCredit] >= 0;
  const bool amountSense = at[kAmount] >= 0 && at[kSense] >= 0;
  for (const auto& [column, name] : std::initializer_list<std::pair<int, const char*>>{
           {kJournal, "Journal"}, {kDate, "Date"}, {kPiece, "Piece"}})
    if (at[column] < 0) r.errors.push_back({1, FillPlaceholder(Text(kMsgMissingColumn), name)});
  if (at[kAccount] < 0 && at[kAuxiliary] < 0) r.errors.push_back({1, FillPlaceholder(Text(kMsgMissingColumn), "Compte")});
  if (!debitCredit && !amountSense)
    r.errors.push_back({1, FillPlaceholder(Text(kMsgMissingColumn), "Debit et Credit (ou Montant et Sens)")});
  if (!r.errors.empty()) return r;

  // The pieces by journal and piece reference: a table of their hashes and indexes, looked
  // through in turn from the hash's place (the references are views into `bytes`).
  struct PieceSlot {
    std::uint64_t hash = 0;
    std::size_t index = static_cast<std::size_t>(-1);
  };
  std::size_t capacity = 16;
  while (capacity < lines.size() * 2) capacity *= 2;
  std::vector<PieceSlot> pieceOf(capacity);
  std::vector<std::string_view> references;
  references.reserve(lines.size() / 2);
  std::string lastReference;
  constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);
  std::size_t lastPiece = kNoPiece;
  long firstDay = 0, lastDay = 0;  // YYYYMMDD as numbers (0: none yet)
  std::vector<std::string_view> f;
  const long long noAmount = -100;  // an empty amount field
  for (std::size_t n = 1; n < lines.size(); ++n) {
    const long number = static_cast<long>(n) + 1;
    if (TrimmedOfSpacingView(lines[n]).empty()) continue;
    ++r.lines;
    SplitInto(lines[n], r.separator, f);
    auto field = [&](int c) {
      return at[c] >= 0 && static_cast<std::size_t>(at[c]) < f.size() ? f[at[c]] : std::string_view();
    };
    const std::size_t errorsBefore = r.errors.size();
    auto error = [&](int id, std::string_view what) { r.errors.push_back({number, FillPlaceholder(Text(id), std::string(what))}); };
    if (f.size() > names.size()) error(kMsgTooManyFields, std::to_string(f.size()));
    // A control character (a NUL would cut the text it stands in) is no part of a text file.
    for (unsigned char c : lines[n])
      if (c < 0x20 && c != '\t') {
        error(kMsgControlCharacter, std::to_string(c));
        break;
      }
    ImportedLine l;
    l.sourceLine = number;
    const std::string_view journal = field(kJournal);
    const std::string_view reference = field(kPiece);
    l.account = field(kAuxiliary).empty() ? field(kAccount) : field(kAuxiliary);
    if (journal.empty()) error(kMsgBlankField, "Journal");
    if (reference.empty()) error(kMsgBlankField, "Piece");
    if (l.account.empty()) error(kMsgBlankField, "Compte");
    else if (l.account.size() > kAccountWidth) error(kMsgAccountTooLong, l.account);
    Ymd date;
    if (!ParseDate(field(kDate), date)) error(kMsgBadDate, field(kDate));
    const std::string_view due = field(kDue);
    Ymd dueDate;
    if (!due.empty()) {
      if (ParseDate(due, dueDate)) l.dueDate = YyyymmddOf(dueDate);
      else error(kMsgBadDue, due);
    }
    auto amount = [&](std::string_view text) -> long long {
      if (text.empty()) return noAmount;
      const long long v = ParseAmount(text);
      if (v == -2) error(kMsgThirdDecimal, text);
      else if (v == -3) error(kMsgSign, text);
      else if (v < 0) error(kMsgBadAmount, text);
      return v;
    };
    const bool useDebitCredit = debitCredit && (!amountSense || !field(kDebit).empty() || !field(kCredit).empty());
    if (useDebitCredit) {
      const long long d = amount(field(kDebit)), c = amount(field(kCredit));
      if (d > 0 && c > 0) error(kMsgDebitAndCredit, "");
      else if (d <= 0 && c <= 0 && r.errors.size() == errorsBefore) error(kMsgNoAmount, "");
      l.sense = c > 0 ? 'C' : 'D';
      l.cents = c > 0 ? c : d;
    } else {
      const long long v = amount(field(kAmount));
      if (v <= 0 && r.errors.size() == errorsBefore) error(kMsgNoAmount, "");
      const std::string sense = NameKey(field(kSense));
      if (sense == "d" || sense == "debit") l.sense = 'D';
      else if (sense == "c" || sense == "credit") l.sense = 'C';
      else error(kMsgBadSense, field(kSense));
      l.cents = v;
    }
    if (const std::string_view typed = field(kCurrency); !typed.empty()) {
      const std::string currency = NameKey(typed);
      if (currency == "f" || currency == "frf") l.francs = true;
      else if (!(currency.empty() || currency == "e" || currency == "eur" || currency == "\x80"))
        error(kMsgBadCurrency, typed);
    }
    l.labelCode = field(kLabelCode);
    l.label = field(kLabel);
    l.label2 = field(kLabel2);
    l.label3 = field(kLabel3);
    l.vatCode = field(kVat);
    if (r.errors.size() != errorsBefore) {
      if (!journal.empty()) r.refusedLines.emplace_back(std::string(journal), l);
      continue;
    }

    // The lines of a piece mostly follow each other: the previous line's piece is tried first.
    std::size_t index = lastPiece;
    if (lastPiece == kNoPiece || journal != r.pieces[lastPiece].journal || reference != lastReference) {
      const std::uint64_t h1 = std::hash<std::string_view>{}(journal), h2 = std::hash<std::string_view>{}(reference);
      const std::uint64_t hash = h1 ^ (h2 + 0x9e3779b97f4a7c15ULL + (h1 << 6) + (h1 >> 2));
      std::size_t at = hash & (capacity - 1);
      while (pieceOf[at].index != kNoPiece &&
             !(pieceOf[at].hash == hash && references[pieceOf[at].index] == reference &&
               r.pieces[pieceOf[at].index].journal == journal))
        at = (at + 1) & (capacity - 1);
      if (pieceOf[at].index == kNoPiece) {
        // A new piece takes the next index.
        pieceOf[at] = {hash, r.pieces.size()};
        references.push_back(reference);
        ImportedPiece& p = r.pieces.emplace_back();
        p.journal = journal;
        p.date = date;
        p.lines.reserve(4);
        r.pieceLines.push_back(number);
      }
      index = pieceOf[at].index;
    }
    if (DaysFromCivil(r.pieces[index].date) != DaysFromCivil(date)) {
      error(kMsgPieceDates, reference);
      continue;
    }
    lastPiece = index;
    lastReference.assign(reference);
    r.pieces[index].lines.push_back(std::move(l));
    const long day = date.year * 10000L + date.month * 100L + date.day;
    if (firstDay == 0 || day < firstDay) firstDay = day;
    if (lastDay == 0 || day > lastDay) lastDay = day;
  }
  auto dayText = [](long day) {
    char text[24];
    std::snprintf(text, sizeof text, "%08ld", day);
    return std::string(text);
  };
  if (firstDay != 0) r.firstDate = dayText(firstDay);
  if (lastDay != 0) r.lastDate = dayText(lastDay);
  if (r.pieces.empty() && r.errors.empty()) r.errors.push_back({0, Text(kMsgEmptyFile)});
  // Each piece balances in the currency it is typed in. A line's euros are its own amount unless
  // typed in francs; a piece typed in francs balances on the amounts as typed.
  const double parity = TheDossierRecord.Parity();
  for (std::size_t i = 0; i < r.pieces.size(); ++i) {
    const ImportedPiece& p = r.pieces[i];
    const bool francs = p.TypedInFrancs();
    long long d = 0, c = 0;
    for (const ImportedLine& l : p.lines) {
      const long long euros = l.francs ? posting::ToEuros(l.cents, parity) : l.cents;
      (l.sense == 'D' ? d : c) += francs ? l.cents : euros;
      (l.sense == 'D' ? r.debit : r.credit) += euros;
    }
    if (d != c)
      r.errors.push_back({r.pieceLines[i], FillPlaceholder(FillPlaceholder(FillPlaceholder(Text(kMsgUnbalanced), p.journal), AmountText(d)),
                                                   AmountText(c))});
  }
  std::sort(r.errors.begin(), r.errors.end(), [](const AsciiError& a, const AsciiError& b) { return a.line < b.line; });
  return r;
}

namespace {

// The log lines of this run's kind, oldest first.
std::vector<std::string> AsciiLogLines() {
  std::vector<std::string> out;
  std::string text;
  if (!platform::ReadWholeFile(LogPath(), text)) return out;
  const std::string title = std::string(kAsciiLogTitle) + " - ";
  for (std::string& line : Lines(text))
    if (line.find(title) != std::string::npos) out.push_back(std::move(line));
  return out;
}

bool Has(const std::string& line, const std::string& what) { return line.find(what) != std::string::npos; }

void LookInLog(AsciiRead& r) {
  const std::string mark = "empreinte " + r.digest;
  std::map<std::string, std::string> open;  // fingerprint -> its start line
  for (const std::string& line : AsciiLogLines()) {
    const std::size_t at = line.find("empreinte ");
    if (at == std::string::npos) continue;
    const std::string digest = line.substr(at + 10, 16);
    if (Has(line, " - D\xE9" "but - ")) {
      open[digest] = line;
    } else {
      open.erase(digest);
      if (Has(line, " - Ok - ") && digest == r.digest) r.importedBefore = line;
    }
  }
  if (!open.empty()) r.stoppedRun = open.rbegin()->second;
  for (const auto& [digest, line] : open)
    if (digest == r.digest) r.stoppedRun = line;
  if (!r.importedBefore.empty()) r.errors.insert(r.errors.begin(), {0, Text(kMsgImportedBefore) + r.importedBefore});
}

}  // namespace

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

  // The lines against the dossier; each code is looked up once.
  Ymd first, last;
  const bool year = TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) &&
                    TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last);
  const char c006 = ConstantEntry(6)[0], c007 = ConstantEntry(7)[0];
  std::map<std::string, posting::JournalRecord> journals;
  std::map<std::string, bool> codes;
  std::unordered_map<std::string, std::pair<int, std::string>> accounts;  // journal type + typed -> message, account
  std::string key;
  auto codeLive = [&](char kind, const std::string& code) {
    const std::string key = std::string(1, kind) + code;
    auto it = codes.find(key);
    if (it == codes.end())
      it = codes.emplace(key, posting::SeekC10(c10, kind, code) && !c10.IsDeleted()).first;
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
                          TrimmedOfSpacing(check.message)});
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
    text += (e.line > 0 ? "Ligne " + std::to_string(e.line) + " : " : std::string()) + TrimmedOfSpacing(e.text) + "\r\n";
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

// The pieces recorded for this content; false when the record is of another content or not whole.
// `anyContent`: the pieces recorded, whatever content they are of.
bool ReadPiecesRecord(const AsciiRead& read, std::vector<RecordedPiece>* pieces, bool anyContent = false) {
  std::string text;
  if (!platform::ReadWholeFile(AsciiRunPiecesPath(), text)) return false;
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

std::string AsciiRunPiecesPath() {
  return DossierFolder + "cas" + std::string(Lower(AllTrim(DossierCode.c_str()))) + ".pcs";
}

std::string AsciiRunTotalsPath() {
  return DossierFolder + "cas" + std::string(Lower(AllTrim(DossierCode.c_str()))) + ".tot";
}

AsciiRun ImportAsciiFile(Table& c10, Table& c50, Table& c60, const AsciiRead& read, long maxRecords) {
  AsciiRun run;
  const std::string title = std::string(kAsciiLogTitle);
  const std::string mark = " - empreinte " + read.digest;
  // A refused resume leaves the stopped run named in the log: a line with this content's mark
  // would end it, and the next import would write again the pieces it wrote.
  bool resumesStopped = Has(read.stoppedRun, "empreinte " + read.digest);
  auto refuse = [&](long count) {
    run.logLine = title + " - Erreur: " + std::to_string(count) + (count > 1 ? " erreurs - " : " erreur - ") +
                  read.path + (resumesStopped ? std::string() : mark);
    WriteLog(run.logLine);
  };
  if (!read.Importable()) {
    refuse(static_cast<long>(std::max<std::size_t>(read.errors.size(), 1)));
    run.message = FillPlaceholder(Text(29730), std::to_string(read.errors.size())) + AsciiErrorFile(read.path);
    return run;
  }
  // From the reading of the log to the run's last log line, no other station's run: two stations
  // importing the same file at the same moment (the automatic import after the working date) would
  // both find its content new. The log is read again under the hold.
  const ImportHold hold(AsciiImportLockPath());
  if (!hold.held()) {
    run.message = hold.message();
    return run;
  }
  AsciiRead logNow;
  logNow.digest = read.digest;
  LookInLog(logNow);
  if (!logNow.importedBefore.empty()) {
    refuse(1);
    run.message = Text(kMsgImportedElsewhere) + logNow.importedBefore;
    return run;
  }
  if (!logNow.stoppedRun.empty() && logNow.stoppedRun != read.stoppedRun) {
    run.message = Text(kMsgStoppedElsewhere);
    return run;
  }
  // A run stopped half-way, named by the window or the end message, is closed in the log (once:
  // another station may have closed it since the reading); one of this same content once this
  // run has written what it lacked, so that a resume stopped in its turn is resumed again.
  const bool sameContent = !logNow.stoppedRun.empty() && Has(logNow.stoppedRun, "empreinte " + read.digest);
  resumesStopped = sameContent;
  // False when the closing line was refused (noted): the run is still open in the log.
  auto closeStopped = [&] {
    const std::string begun = " - D\xE9" "but - ";
    const std::size_t at = logNow.stoppedRun.find(begun);
    if (at == std::string::npos || WriteLog(title + " - Interrompu - " + logNow.stoppedRun.substr(at + begun.size())))
      return true;
    RefusalWatch::NoteFileRefused(LogPath());
    return false;
  };
  if (!logNow.stoppedRun.empty() && !sameContent) {
    // Its lines stay as they are; the totals it had not written are written first. Until its
    // closing line is in the log, it is taken up again by the next import, which must find its
    // totals journal as it is now: this run stops there.
    std::vector<RecordedPiece> other;
    RefusalWatch refusal;
    if ((ReadPiecesRecord(read, &other, true) &&
         PutStoppedPiecesInOrder(c10, c50, c60, other, AsciiRunTotalsPath(), true).refused) ||
        !closeStopped()) {
      run.message = StoppedRunMessage(refusal);
      return run;
    }
  }
  // A run of this same content stopped half-way: the pieces it wrote whole stay, the others are
  // written now; the lines of a piece it cut short are cancelled first, so that the content goes
  // in once and whole.
  std::vector<std::size_t> toWrite;
  std::vector<long> numbers(read.pieces.size(), 0);
  std::string resumed;
  std::vector<RecordedPiece> recorded;
  const bool resuming = sameContent && ReadPiecesRecord(read, &recorded);
  RefusalWatch refusal;
  const StoppedPieces stopped =
      resuming ? PutStoppedPiecesInOrder(c10, c50, c60, recorded, AsciiRunTotalsPath()) : StoppedPieces{};
  if (stopped.refused) {
    // The stopped run stays as it is, named by its record and its log line, for the next import.
    run.message = StoppedRunMessage(refusal);
    return run;
  }
  for (std::size_t i = 0; i < read.pieces.size(); ++i) {
    if (resuming && stopped.whole[i]) {
      numbers[i] = recorded[i].number;
      continue;
    }
    if (resuming && stopped.cancelled[i] > 0)
      resumed += FillPlaceholder(FillPlaceholder(FillPlaceholder(Text(kMsgHalfPiece), std::to_string(recorded[i].number)), recorded[i].journal),
                         std::to_string(stopped.cancelled[i]));
    toWrite.push_back(i);
  }
  if (resuming)
    resumed = FillPlaceholder(FillPlaceholder(Text(kMsgResumed), std::to_string(read.pieces.size() - toWrite.size())),
                      std::to_string(toWrite.size())) + resumed;
  // The pieces to write: all of them unless a stopped run is resumed.
  std::vector<ImportedPiece> resumedPieces;
  if (toWrite.size() != read.pieces.size())
    for (std::size_t i : toWrite) resumedPieces.push_back(read.pieces[i]);
  const std::vector<ImportedPiece>& pieces = toWrite.size() != read.pieces.size() ? resumedPieces : read.pieces;
  long lineCount = 0;
  for (const ImportedPiece& p : read.pieces) lineCount += static_cast<long>(p.lines.size());
  bool recordRefused = false;
  if (!pieces.empty()) {
    run.pieces = WriteImportedPieces(c10, c50, c60, pieces, maxRecords, [&](const std::vector<long>& taken, const std::vector<long>& counts) {
      // The numbers of every piece, recorded before the first line: a run stopped half-way is
      // resumed from them by the next import of this content.
      std::vector<long> lineCounts(read.pieces.size(), -1);
      for (std::size_t j = 0; j < toWrite.size() && j < taken.size(); ++j) {
        numbers[toWrite[j]] = taken[j];
        if (j < counts.size()) lineCounts[toWrite[j]] = counts[j];
      }
      recordRefused = true;
      if (!platform::WriteFileAtomic(AsciiRunPiecesPath(), PiecesRecord(read, numbers, lineCounts))) {
        RefusalWatch::NoteFileRefused(AsciiRunPiecesPath());
        return false;
      }
      // Without its start line the run would not be found again: its record goes, nothing written.
      if (!WriteLog(title + " - D\xE9" "but - " + read.path + " - " + pieces.front().journal + " pi\xE8" "ce " +
                    std::to_string(taken.front()) + mark)) {
        RefusalWatch::NoteFileRefused(LogPath());
        if (!resuming) platform::RemoveFile(AsciiRunPiecesPath());
        return false;
      }
      recordRefused = false;
      return true;
    }, AsciiRunTotalsPath());
    if (run.pieces.outcome == PiecesOutcome::Stopped) {
      // Stopped by a refused write: its record and its start line stay, as after a stop of the
      // program, so that the next import of this content takes it up.
      run.message = resumed + run.pieces.message;
      return run;
    }
    if (run.pieces.outcome != PiecesOutcome::Written) {
      // Nothing of this run is in the draft: its record goes, unless it resumes a stopped run.
      if (!resuming) platform::RemoveFile(AsciiRunPiecesPath());
      refuse(1);
      // The record's refusal said with the file and why (the full disk).
      run.message = resumed + run.pieces.message + (recordRefused && refusal.Seen() ? refusal.Text() + "\n" : "");
      return run;
    }
  } else {
    run.pieces.outcome = PiecesOutcome::Written;
  }
  run.pieces.numbers = numbers;
  if (sameContent) closeStopped();  // the end line below, of the same content, closes it too
  const platform::LocalTime now = platform::GetLocalTime();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour,
                now.minute, now.second);
  const std::size_t slash = read.path.find_last_of('/');
  const std::size_t dot = read.path.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string renamed = hasExt ? read.path.substr(0, dot) + stamp + read.path.substr(dot) : read.path + stamp;
  const std::string pieceNumbers = NumberRanges(run.pieces.numbers);
  run.logLine = title + " - Ok - " + read.path + " - " + std::to_string(lineCount) + " lignes - " +
                std::to_string(read.pieces.size()) + " pi\xE8" "ces n\xB0 " + pieceNumbers + mark;
  if (!WriteLog(run.logLine)) {
    // Every line and total is written, but the log still names the run as stopped: the next
    // import of the file (left under its name) closes it, its record and totals journal kept to
    // show what is written.
    RefusalWatch::NoteFileRefused(LogPath());
    run.message = resumed + StoppedRunMessage(refusal);
    return run;
  }
  run.written = true;
  if (!platform::FileExists(renamed) && platform::AtomicRename(read.path, renamed)) run.renamedTo = renamed;
  // The run's record and its totals journal go once the log names it done: stopped before, the
  // run is still found and taken up.
  platform::RemoveFile(AsciiRunPiecesPath());
  RemoveRunTotals(AsciiRunTotalsPath());
  run.message = resumed + FillPlaceholder(FillPlaceholder(FillPlaceholder(Text(29731), std::to_string(lineCount)),
                                          std::to_string(read.pieces.size())),
                                  pieceNumbers);
  if (!run.renamedTo.empty()) run.message += FillPlaceholder(Text(29732), FileName(run.renamedTo));
  if (run.pieces.roundingLines > 0) run.message += FillPlaceholder(Text(29733), std::to_string(run.pieces.roundingLines));
  return run;
}

std::string AsciiImportLockPath() { return DossierFolder + "cas" + std::string(Lower(AllTrim(DossierCode.c_str()))) + ".lck"; }

std::string AsciiImportSetting() {
  // Section "ImportAuto" and key "FichierImport", cut from the packed key string 13.
  const std::string keys = LoadStr(13);
  const std::string section = keys.size() >= 58 ? TrimmedOfSpacing(keys.substr(48, 10)) : "ImportAuto";
  const std::string key = keys.size() >= 71 ? TrimmedOfSpacing(keys.substr(58, 13)) : "FichierImport";
  std::string file = TrimmedOfSpacing(DossierIniGet(section.c_str(), key.c_str(), ""));
  if (file.empty()) file = TrimmedOfSpacing(IniGetString(key.c_str(), ""));
  return file;
}

}  // namespace processing
