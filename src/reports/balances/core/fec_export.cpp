#include "reports/balances/core/fec_export.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>

#include "platform/system/code_pages.h"
#include "platform/system/files.h"
#include "runtime/bank_ids.h"
#include "data/entry_lines.h"
#include "runtime/dates.h"

namespace balances {

const std::array<const char*, kFecZones>& FecZoneNames() {
  static const std::array<const char*, kFecZones> kNames = {
      "JournalCode", "JournalLib", "EcritureNum", "EcritureDate", "CompteNum",   "CompteLib",
      "CompAuxNum",  "CompAuxLib", "PieceRef",    "PieceDate",    "EcritureLib", "Debit",
      "Credit",      "EcritureLet", "DateLet",    "ValidDate",    "Montantdevise", "Idevise"};
  return kNames;
}

namespace {

// An input byte whose form in a zone is a blank: a blank, a control character, "|", and the broken
// bar (which becomes "|" in ISO 8859-15). No other byte's form holds a blank.
bool BlankInZone(unsigned char b) { return b <= 0x20 || b == 0x7F || b == '|' || b == 0xA6; }

// The form in a zone of each cp1252 byte from 0x80 (its ISO 8859-15 form, "|" as a blank), made once.
const std::array<std::string, 128>& HighForms() {
  static const std::array<std::string, 128> kForms = [] {
    std::array<std::string, 128> forms;
    for (int b = 0x80; b <= 0xFF; ++b) {
      const char c = static_cast<char>(b);
      std::string form = platform::Cp1252ToIso885915(std::string_view(&c, 1));
      for (char& f : form)
        if (static_cast<unsigned char>(f) < 0x20 || f == 0x7F || f == '|') f = ' ';
      forms[static_cast<std::size_t>(b - 0x80)] = form;
    }
    return forms;
  }();
  return kForms;
}

void AppendDigits(std::string& out, unsigned long long n) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, n).ptr;
  out.append(buf, end);
}

void AppendFecAmount(std::string& out, long long cents) {
  const bool negative = cents < 0;
  const unsigned long long a = negative ? 0ULL - static_cast<unsigned long long>(cents) : static_cast<unsigned long long>(cents);
  if (negative) out += '-';
  AppendDigits(out, a / 100);
  out += ',';
  out += static_cast<char>('0' + a % 100 / 10);
  out += static_cast<char>('0' + a % 10);
}

}  // namespace

void AppendFecZone(std::string& out, std::string_view cp1252) {
  std::size_t b = 0, e = cp1252.size();
  while (b < e && BlankInZone(static_cast<unsigned char>(cp1252[b]))) ++b;
  while (e > b && BlankInZone(static_cast<unsigned char>(cp1252[e - 1]))) --e;
  for (std::size_t i = b; i < e; ++i) {
    const auto c = static_cast<unsigned char>(cp1252[i]);
    if (c >= 0x80)
      out += HighForms()[c - 0x80];
    else
      out += c < 0x20 || c == 0x7F || c == '|' ? ' ' : static_cast<char>(c);
  }
}

std::string FecZone(std::string_view cp1252) {
  std::string text;
  AppendFecZone(text, cp1252);
  return text;
}

std::string FecAmount(long long cents) {
  std::string text;
  AppendFecAmount(text, cents);
  return text;
}

std::string FecDate(std::string_view stored) {
  Ymd d;
  if (!ParseStoredDate(stored, d)) return "";
  return YyyymmddOf(d);
}

std::string FecExport::CheckSirenForFec(const std::string& siren) {
  switch (CheckSiren(siren)) {
    case 0:
      return "";
    case kSirenBlank:
      return "Le fichier des \xE9" "critures comptables porte le SIREN du dossier,\nqui n'est pas renseign\xE9" ".\n\n"
             "Saisissez-le dans les Propri\xE9" "t\xE9" "s du dossier (Fichier > A Propos du dossier ouvert).";
    default:
      return "Le SIREN du dossier (" + Trim(siren) +
             ") n'est pas valide:\nil faut 9 chiffres dont le dernier est la cl\xE9" " des 8 premiers.\n\n"
             "Corrigez-le dans les Propri\xE9" "t\xE9" "s du dossier (Fichier > A Propos du dossier ouvert).";
  }
}

std::string FecExport::FileName(const std::string& siren, const std::string& yearEndStored) {
  return Trim(siren) + "FEC" + FecDate(yearEndStored) + ".txt";
}

bool FecCheck::HasRemarks() const {
  return !draftMonths.empty() || !unbalancedPieces.empty() || !severalDates.empty() ||
         !severalValidations.empty() || !missingJournals.empty() || !missingLabels.empty() ||
         !missingAccounts.empty() || zeroLines != 0;
}

namespace {

void AppendList(std::string& text, const char* title, const std::set<std::string>& items) {
  if (items.empty()) return;
  text += std::string("\n") + title + " (" + std::to_string(items.size()) + "):";
  int shown = 0;
  for (const std::string& i : items) {
    if (++shown > 10) {
      text += " ...";
      break;
    }
    text += (shown == 1 ? " " : ", ") + i;
  }
}

}  // namespace

std::string FecCheck::Text() const {
  std::string text;
  if (Blocking()) {
    text = "Le fichier des \xE9" "critures comptables ne peut pas \xEA" "tre \xE9" "tabli:\n";
    if (!brokenRecords.empty())
      text += "\n" + std::to_string(brokenRecords.size()) +
              " enregistrement(s) du fichier de tri ne m\xE8" "nent \xE0" " aucune \xE9" "criture cl\xF4" "tur\xE9" "e.\n"
              "Reconstruisez le dossier (Utilitaires > ReConstruction du dossier).";
    if (!lettersWithoutCollective.empty()) {
      std::string letters;
      for (char c : lettersWithoutCollective) letters += std::string(letters.empty() ? "" : ", ") + c;
      text += "\nDes comptes auxiliaires n'ont pas de compte collectif (lettre " + letters +
              "):\nleur compte g\xE9" "n\xE9" "ral ne peut \xEA" "tre nomm\xE9" ". Cr\xE9" "ez le collectif de chaque lettre.";
    }
    return text;
  }
  text = "V\xE9" "rification de l'exercice avant le fichier des \xE9" "critures comptables:\n";
  if (!draftMonths.empty()) {
    AppendList(text, "Journaux en brouillard, laiss\xE9" "s de c\xF4" "t\xE9" " (le fichier ne porte que les \xE9" "critures valid\xE9" "es)",
               draftMonths);
  }
  AppendList(text, "Pi\xE8" "ces non \xE9" "quilibr\xE9" "es", unbalancedPieces);
  AppendList(text, "Pi\xE8" "ces portant plusieurs dates", severalDates);
  AppendList(text, "Pi\xE8" "ces portant plusieurs dates de validation", severalValidations);
  AppendList(text, "Journaux absents ou sans nom (le code sert de libell\xE9" ")", missingJournals);
  AppendList(text, "Libell\xE9" "s standard absents (le code sert de libell\xE9" ")", missingLabels);
  AppendList(text, "Comptes absents ou sans nom (le code sert de libell\xE9" ")", missingAccounts);
  if (zeroLines != 0)
    text += "\nLignes sans montant en euros, laiss\xE9" "es de c\xF4" "t\xE9" ": " + std::to_string(zeroLines);
  return text;
}

namespace {

std::string MonthText(const std::string& month) {
  const std::string d = FecDate(month + "01");
  return d.size() == 8 ? d.substr(4, 2) + "/" + d.substr(0, 4) : month;
}

// The first n (at most 8) bytes of a text as a big-endian integer: integers compare as the texts.
std::uint64_t Packed(const char* text, std::size_t n) {
  std::uint64_t k = 0;
  for (std::size_t i = 0; i < 8; ++i) k = k << 8 | (i < n ? static_cast<unsigned char>(text[i]) : 0u);
  return k;
}

std::string_view TrimmedView(std::string_view text) {
  const std::size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

// Stored dates as the file writes them, AAAAMMJJ held as the number (0 for an invalid date, which
// the file leaves empty and which comes before any other), each converted once.
class DateNumbers {
 public:
  std::uint32_t Of(std::string_view stored) {
    if (stored.size() != 6) return Number(stored);
    const std::uint64_t key = Packed(stored.data(), stored.size());
    auto found = numbers_.find(key);
    if (found != numbers_.end()) return found->second;
    return numbers_.emplace(key, Number(stored)).first->second;
  }
  std::uint32_t Of(const Fixed<4>& month, const Fixed<2>& day) {
    char stored[6];
    std::memcpy(stored, month.c.data(), 4);
    std::memcpy(stored + 4, day.c.data(), 2);
    return Of(std::string_view(stored, 6));
  }

 private:
  static std::uint32_t Number(std::string_view stored) {
    const std::string text = FecDate(stored);
    std::uint32_t n = 0;
    if (text.size() == 8) std::from_chars(text.data(), text.data() + 8, n);
    return n;
  }

  std::unordered_map<std::uint64_t, std::uint32_t> numbers_;
};

void AppendDate(std::string& out, std::uint32_t date) {
  if (date == 0) return;
  char buf[8];
  for (int i = 7; i >= 0; --i, date /= 10) buf[i] = static_cast<char>('0' + date % 10);
  out.append(buf, 8);
}

// A closed general line of the file, with the key that orders the lines: journal, month and piece
// (its entry), then the line's number and its record in C40.
struct LineKey {
  std::uint64_t entry;   // journal (3), month (4), piece's first character
  std::uint64_t rest;    // piece's last five characters, line number's first three
  std::uint64_t last;    // line number's last character, then the record
  bool operator<(const LineKey& o) const { return std::tie(entry, rest, last) < std::tie(o.entry, o.rest, o.last); }
  bool SameEntry(const LineKey& o) const { return entry == o.entry && rest >> 24 == o.rest >> 24; }
  std::uint32_t Record() const { return static_cast<std::uint32_t>(last); }
};

LineKey KeyOf(const EntryLine& l, std::uint32_t record) {
  char text[17];
  std::memcpy(text, l.journal.c.data(), 3);
  std::memcpy(text + 3, l.month.c.data(), 4);
  std::memcpy(text + 7, l.piece.c.data(), 6);
  std::memcpy(text + 13, l.lineNumber.c.data(), 4);
  return {Packed(text, 8), Packed(text + 8, 8),
          static_cast<std::uint64_t>(static_cast<unsigned char>(text[16])) << 32 | record};
}

// An entry: its lines (a run of the ordered lines), its dates, whether it opens the year.
struct Entry {
  std::uint32_t first = 0, count = 0;
  std::uint32_t validation = 0, date = 0;  // the earliest of its lines, AAAAMMJJ
  bool opening = false;
};

// An account's zones as its rows write them, made at its first row.
struct AccountZones {
  bool withoutCollective = false, auxiliaryAccount = false;
  std::string general, generalName, auxiliary, auxiliaryName;
};

// The latest date of an account's letter: account (8) and letter (4).
struct LetterDate {
  std::array<char, 12> key;
  std::uint32_t date;
};

std::array<char, 12> LetterKey(const EntryLine& l) {
  std::array<char, 12> key;
  std::memcpy(key.data(), l.account.c.data(), 8);
  std::memcpy(key.data() + 8, l.letterE.c.data(), 4);
  return key;
}

}  // namespace

std::string_view FecRow::operator[](std::size_t zone) const {
  std::size_t from = 0;
  for (std::size_t z = 0; z < zone; ++z) {
    from = line_.find('\t', from);
    if (from == std::string_view::npos) return {};
    ++from;
  }
  const std::size_t to = line_.find('\t', from);
  return line_.substr(from, to == std::string_view::npos ? std::string_view::npos : to - from);
}

FecRow FecRows::operator[](std::size_t i) const {
  const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
  return FecRow(std::string_view(text_).substr(starts_[i], end - starts_[i] - 2));
}

const std::string& FecRows::Text() const {
  static const std::string kHeader = [] {
    std::string header;
    for (const char* name : FecZoneNames()) header += std::string(header.empty() ? "" : "\t") + name;
    return header + "\r\n";
  }();
  return text_.empty() ? kHeader : text_;
}

bool FecExport::Build(const BalanceSource& source, const CodeLists& codes, const ChartList& chart,
                      const FecContext& context, std::string* message) {
  check_ = FecCheck{};
  rows_ = FecRows{};
  const std::string refusal = CheckSirenForFec(context.siren);
  if (!refusal.empty()) {
    if (message != nullptr) *message = refusal;
    return false;
  }
  DateNumbers dates;
  const std::uint32_t yearEnd = dates.Of(context.yearEnd);
  std::string opening = context.openingJournal;
  opening.resize(3, ' ');

  // The closed general lines with an amount, and the letters' dates, from the live sort records;
  // the draft's journal-months (journal and month packed) are only named.
  const auto& closed = source.ClosedLines();
  std::vector<LineKey> lines;
  std::vector<LetterDate> letterDates;
  std::vector<std::uint64_t> draftMonths;
  for (const SortRecord& r : source.Records()) {
    if (r.cls != 'Z') continue;
    if (r.file == 'B') {
      char text[7];
      std::memcpy(text, r.journal.c.data(), 3);
      std::memcpy(text + 3, r.date.c.data(), 4);
      const std::uint64_t key = Packed(text, 7);
      if (draftMonths.empty() || draftMonths.back() != key) draftMonths.push_back(key);
      continue;
    }
    const EntryLine* l = source.LineOf(r);
    if (l == nullptr) {
      check_.brokenRecords.insert(r.physical);
      continue;
    }
    if (!l->letterE.Blank()) letterDates.push_back({LetterKey(*l), dates.Of(l->month, l->day)});
    if (l->cents[1] == 0) {
      ++check_.zeroLines;
      continue;
    }
    lines.push_back(KeyOf(*l, static_cast<std::uint32_t>(l - closed.data())));
  }
  std::sort(draftMonths.begin(), draftMonths.end());
  draftMonths.erase(std::unique(draftMonths.begin(), draftMonths.end()), draftMonths.end());
  for (std::uint64_t key : draftMonths) {
    char text[8];
    for (int i = 7; i >= 0; --i, key >>= 8) text[i] = static_cast<char>(key & 0xFF);
    check_.draftMonths.insert(std::string(text, 3) + " " + MonthText(std::string(text + 3, 4)));
  }

  // The latest date of each account's letter (an invalid date the earliest).
  std::sort(letterDates.begin(), letterDates.end(), [](const LetterDate& a, const LetterDate& b) {
    return std::tie(a.key, a.date) < std::tie(b.key, b.date);
  });
  {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < letterDates.size(); ++i)
      if (i + 1 == letterDates.size() || letterDates[i + 1].key != letterDates[i].key) letterDates[kept++] = letterDates[i];
    letterDates.resize(kept);
  }
  auto letterDateOf = [&letterDates](const EntryLine& l) -> std::uint32_t {
    const std::array<char, 12> key = LetterKey(l);
    auto found = std::lower_bound(letterDates.begin(), letterDates.end(), key,
                                  [](const LetterDate& d, const std::array<char, 12>& k) { return d.key < k; });
    return found != letterDates.end() && found->key == key ? found->date : 0;
  };

  // The entries: the lines in entry order, each entry's lines by number then record; the dates and
  // the balance of each.
  std::sort(lines.begin(), lines.end());
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < lines.size();) {
    Entry e;
    e.first = static_cast<std::uint32_t>(i);
    const EntryLine& head = closed[lines[i].Record()];
    e.opening = head.journal.View() == opening;
    bool severalDates = false, severalValidations = false;
    long long balance = 0;
    for (; i < lines.size() && lines[i].SameEntry(lines[e.first]); ++i) {
      const EntryLine& l = closed[lines[i].Record()];
      const std::uint32_t date = dates.Of(l.month, l.day);
      const std::uint32_t validation = l.validation.Blank() ? yearEnd : dates.Of(l.validation.View());
      if (i == e.first) {
        e.date = date;
        e.validation = validation;
      }
      severalDates = severalDates || date != e.date;
      severalValidations = severalValidations || validation != e.validation;
      e.date = std::min(e.date, date);
      e.validation = std::min(e.validation, validation);
      balance += l.sense == 'D' ? l.cents[1] : -l.cents[1];
    }
    e.count = static_cast<std::uint32_t>(i - e.first);
    if (balance != 0 || severalDates || severalValidations) {
      const std::string name =
          head.journal.Trimmed() + " " + head.piece.Trimmed() + " (" + MonthText(head.month.Str()) + ")";
      if (balance != 0) check_.unbalancedPieces.insert(name);
      if (severalDates) check_.severalDates.insert(name);
      if (severalValidations) check_.severalValidations.insert(name);
    }
    entries.push_back(e);
  }
  // The opening entries first, then by validation date, date, journal, piece and month.
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
    if (a.opening != b.opening) return a.opening;
    if (a.validation != b.validation) return a.validation < b.validation;
    if (a.date != b.date) return a.date < b.date;
    const EntryLine& x = closed[lines[a.first].Record()];
    const EntryLine& y = closed[lines[b.first].Record()];
    if (const int c = x.journal.View().compare(y.journal.View()); c != 0) return c < 0;
    if (const int c = x.piece.View().compare(y.piece.View()); c != 0) return c < 0;
    return x.month.View() < y.month.View();
  });

  // What the rows write of each account, journal and standard label, found once.
  std::unordered_map<std::uint64_t, AccountZones> accounts;
  auto nameZone = [&](const std::string& code, std::string& zone) {
    const ChartEntry* a = chart.Find(code);
    std::string name = a != nullptr ? Trim(a->name) : "";
    if (name.empty()) {
      check_.missingAccounts.insert(Trim(code));
      name = Trim(code);
    }
    AppendFecZone(zone, name);
  };
  auto accountOf = [&](const EntryLine& l) -> const AccountZones& {
    auto [it, added] = accounts.try_emplace(Packed(l.account.c.data(), 8));
    AccountZones& z = it->second;
    if (!added) return z;
    const std::string account = l.account.Str();
    std::string general = account;
    if (IsAuxiliaryAccount(account)) {
      general = codes.CollectiveAccountOf(account[0]);
      if (general.empty()) {
        z.withoutCollective = true;
        return z;
      }
      z.auxiliaryAccount = true;
      AppendFecZone(z.auxiliary, account);
    }
    AppendFecZone(z.general, general);
    nameZone(general, z.generalName);
    if (z.auxiliaryAccount) nameZone(account, z.auxiliaryName);
    return z;
  };
  std::map<std::string, std::pair<std::string, std::string>> journals;  // code, its zone and its name's
  std::array<std::unique_ptr<std::string>, 256> standardLabels;         // by code: the text, trimmed

  FecRows& rows = rows_;
  rows.text_ = FecRows{}.Text();
  rows.text_.reserve(rows.text_.size() + lines.size() * 256);  // pages are resident once written only
  rows.starts_.reserve(lines.size());
  std::string& out = rows.text_;
  std::string text;  // a zone made of several texts
  long number = 0;
  for (const Entry& e : entries) {
    ++number;
    const EntryLine& head = closed[lines[e.first].Record()];
    const std::string journal = head.journal.Trimmed();
    auto [j, added] = journals.try_emplace(journal);
    if (added) {
      auto code = codes.Journals().find(journal);
      std::string name = code != codes.Journals().end() ? code->second.name : "";
      if (name.empty()) {
        check_.missingJournals.insert(journal);
        name = journal;
      }
      AppendFecZone(j->second.first, journal);
      AppendFecZone(j->second.second, name);
    }
    const auto& [journalZone, journalNameZone] = j->second;
    for (std::uint32_t i = e.first; i < e.first + e.count; ++i) {
      const EntryLine& l = closed[lines[i].Record()];
      const AccountZones& account = accountOf(l);
      if (account.withoutCollective) {
        check_.lettersWithoutCollective.insert(l.account.c[0]);
        continue;
      }
      const std::uint32_t lineDate = dates.Of(l.month, l.day);
      rows.starts_.push_back(out.size());
      out += journalZone;
      out += '\t';
      out += journalNameZone;
      out += '\t';
      AppendDigits(out, static_cast<unsigned long long>(number));
      out += '\t';
      AppendDate(out, lineDate);
      out += '\t';
      out += account.general;
      out += '\t';
      out += account.generalName;
      out += '\t';
      out += account.auxiliary;
      out += '\t';
      out += account.auxiliaryName;
      out += '\t';
      text = journal;
      text += TrimmedView(l.piece.View());
      AppendFecZone(out, text);
      out += '\t';
      AppendDate(out, lineDate);
      out += '\t';
      // The line's label after its standard label, or the standard label alone; no label at
      // all: the account's name.
      text = TrimmedView(l.label.View());
      if (!l.labelCode.Blank()) {
        const auto code = static_cast<unsigned char>(l.labelCode.c[0]);
        if (!standardLabels[code]) {
          const std::string key = l.labelCode.Trimmed();
          auto t = codes.Labels().find(key);
          std::string standard = t != codes.Labels().end() ? t->second : "";
          if (t == codes.Labels().end() || standard.empty()) {
            check_.missingLabels.insert(key);
            standard = key;
          }
          standardLabels[code] = std::make_unique<std::string>(std::move(standard));
        }
        text = text.empty() ? *standardLabels[code] : *standardLabels[code] + "-" + text;
      }
      if (text.find_first_not_of(' ') == std::string::npos)
        out += account.auxiliaryAccount ? account.auxiliaryName : account.generalName;
      else
        AppendFecZone(out, text);
      out += '\t';
      long long debit = l.sense == 'D' ? l.cents[1] : 0;
      long long credit = l.sense == 'D' ? 0 : l.cents[1];
      if (debit < 0) {
        credit = -debit;
        debit = 0;
      }
      if (credit < 0) {
        debit = -credit;
        credit = 0;
      }
      AppendFecAmount(out, debit);
      out += '\t';
      AppendFecAmount(out, credit);
      out += '\t';
      if (!l.letterE.Blank()) {
        AppendFecZone(out, l.letterE.View());
        out += '\t';
        AppendDate(out, letterDateOf(l));
      } else {
        out += '\t';
      }
      out += '\t';
      AppendDate(out, l.validation.Blank() ? yearEnd : dates.Of(l.validation.View()));
      out += "\t\t\r\n";
    }
  }
  return true;
}

bool FecExport::Write(const std::string& path, std::string* message) const {
  if (platform::WriteFileAtomic(path, rows_.Text())) return true;
  if (message != nullptr) *message = "Le fichier des \xE9" "critures comptables n'a pas pu \xEA" "tre \xE9" "crit:\n\n" + path;
  return false;
}

}  // namespace balances
