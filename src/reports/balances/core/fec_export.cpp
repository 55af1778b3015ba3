#include "reports/balances/core/fec_export.h"

#include <algorithm>
#include <array>
#include <map>
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

std::string FecZone(std::string_view cp1252) {
  std::string text = platform::Cp1252ToIso885915(cp1252);
  for (char& c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '|') c = ' ';
  }
  return Trim(text);
}

std::string FecAmount(long long cents) {
  const bool negative = cents < 0;
  const unsigned long long a = negative ? static_cast<unsigned long long>(-cents) : static_cast<unsigned long long>(cents);
  std::string units = std::to_string(a / 100);
  std::string c = std::to_string(a % 100);
  if (c.size() < 2) c = "0" + c;
  return (negative ? "-" : "") + units + "," + c;
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

struct Entry {
  bool opening = false;
  std::string validation;  // AAAAMMJJ
  std::string date;        // AAAAMMJJ of its first line
  std::string journal;     // 3 characters
  std::string piece;
  std::string month;
  std::vector<const EntryLine*> lines;
  std::vector<std::uint32_t> order;  // C40 record of each line, the last tie-break
};

std::string MonthText(const std::string& month) {
  const std::string d = FecDate(month + "01");
  return d.size() == 8 ? d.substr(4, 2) + "/" + d.substr(0, 4) : month;
}

}  // namespace

bool FecExport::Build(const BalanceSource& source, const CodeLists& codes, const ChartList& chart,
                      const FecContext& context, std::string* message) {
  check_ = FecCheck{};
  rows_.clear();
  const std::string refusal = CheckSirenForFec(context.siren);
  if (!refusal.empty()) {
    if (message != nullptr) *message = refusal;
    return false;
  }
  const std::string yearEnd = FecDate(context.yearEnd);
  std::string opening = context.openingJournal;
  opening.resize(3, ' ');

  // Stored dates repeat from line to line: each is converted once.
  std::unordered_map<std::string, std::string> dates;
  auto date = [&dates](const std::string& stored) -> const std::string& {
    auto found = dates.find(stored);
    if (found == dates.end()) found = dates.emplace(stored, FecDate(stored)).first;
    return found->second;
  };

  // Latest date of each account's letter, over every closed general line: account (8) and letter
  // (4) with the stored date, gathered flat, then sorted with the latest date of each pair first.
  struct LetterDate {
    std::array<char, 12> key;
    std::array<char, 6> stored;
  };
  std::vector<LetterDate> letterDates;
  auto letterKey = [](const EntryLine* l) {
    std::array<char, 12> key;
    key.fill(' ');
    const std::string_view account = l->account.View(), letter = l->letterE.View();
    std::copy_n(account.begin(), std::min<std::size_t>(8, account.size()), key.begin());
    std::copy_n(letter.begin(), std::min<std::size_t>(4, letter.size()), key.begin() + 8);
    return key;
  };
  std::unordered_map<std::string, std::size_t> entryIndex;  // journal + month + piece
  std::vector<Entry> entries;
  const auto& closed = source.ClosedLines();
  for (const SortRecord& r : source.Records()) {
    if (r.cls != 'Z') continue;
    if (r.file == 'B') {
      check_.draftMonths.insert(r.journal.Str() + " " + MonthText(r.date.Str().substr(0, 4)));
      continue;
    }
    const EntryLine* l = source.LineOf(r);
    if (l == nullptr) {
      check_.brokenRecords.insert(r.physical);
      continue;
    }
    if (!l->letterE.Blank()) {
      LetterDate d{letterKey(l), {}};
      d.stored.fill(' ');
      const std::string_view month = l->month.View(), day = l->day.View();
      std::copy_n(month.begin(), std::min<std::size_t>(4, month.size()), d.stored.begin());
      std::copy_n(day.begin(), std::min<std::size_t>(2, day.size()), d.stored.begin() + 4);
      letterDates.push_back(d);
    }
    if (l->cents[1] == 0) {
      ++check_.zeroLines;
      continue;
    }
    const std::string key = l->journal.Str() + l->month.Str() + l->piece.Str();
    auto [it, added] = entryIndex.emplace(key, entries.size());
    if (added) {
      Entry e;
      e.journal = l->journal.Str();
      e.piece = l->piece.Str();
      e.month = l->month.Str();
      e.opening = e.journal == opening;
      entries.push_back(std::move(e));
    }
    Entry& e = entries[it->second];
    e.lines.push_back(l);
    e.order.push_back(static_cast<std::uint32_t>(l - closed.data()));
  }

  // The latest date of each pair: the latest as the file writes it (AAAAMMJJ), the century coming
  // from each stored date's decade letter.
  std::vector<std::pair<std::array<char, 12>, std::string>> latestLetterDates;
  {
    std::sort(letterDates.begin(), letterDates.end(),
              [](const LetterDate& a, const LetterDate& b) { return a.key < b.key; });
    for (std::size_t i = 0; i < letterDates.size();) {
      std::string latest;
      std::size_t j = i;
      for (; j < letterDates.size() && letterDates[j].key == letterDates[i].key; ++j) {
        const std::string& d = date(std::string(letterDates[j].stored.data(), letterDates[j].stored.size()));
        if (d > latest) latest = d;
      }
      latestLetterDates.emplace_back(letterDates[i].key, std::move(latest));
      i = j;
    }
    letterDates = {};
  }
  auto letterDateOf = [&](const EntryLine* l) -> std::string {
    const std::array<char, 12> key = letterKey(l);
    auto found = std::lower_bound(latestLetterDates.begin(), latestLetterDates.end(), key,
                                  [](const auto& entry, const std::array<char, 12>& k) { return entry.first < k; });
    return found != latestLetterDates.end() && found->first == key ? found->second : std::string();
  };

  // Each entry: its lines in order, its dates, its balance.
  for (Entry& e : entries) {
    std::vector<std::size_t> idx(e.lines.size());
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = i;
    std::sort(idx.begin(), idx.end(), [&](std::size_t a, std::size_t b) {
      const int c = e.lines[a]->lineNumber.View().compare(e.lines[b]->lineNumber.View());
      return c != 0 ? c < 0 : e.order[a] < e.order[b];
    });
    std::vector<const EntryLine*> lines;
    std::vector<std::uint32_t> order;
    for (std::size_t i : idx) {
      lines.push_back(e.lines[i]);
      order.push_back(e.order[i]);
    }
    e.lines = std::move(lines);
    e.order = std::move(order);
    std::set<std::string> lineDates, validations;
    long long balance = 0;
    for (const EntryLine* l : e.lines) {
      lineDates.insert(date(l->month.Str() + l->day.Str()));
      validations.insert(l->validation.Blank() ? yearEnd : date(l->validation.Str()));
      balance += l->sense == 'D' ? l->cents[1] : -l->cents[1];
    }
    e.date = *lineDates.begin();
    e.validation = *validations.begin();
    const std::string name = Trim(e.journal) + " " + Trim(e.piece) + " (" + MonthText(e.month) + ")";
    if (balance != 0) check_.unbalancedPieces.insert(name);
    if (lineDates.size() > 1) check_.severalDates.insert(name);
    if (validations.size() > 1) check_.severalValidations.insert(name);
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.opening != b.opening) return a.opening;
    return std::tie(a.validation, a.date, a.journal, a.piece, a.month) <
           std::tie(b.validation, b.date, b.journal, b.piece, b.month);
  });

  auto accountName = [&](const std::string& code) {
    const ChartEntry* a = chart.Find(code);
    std::string name = a != nullptr ? Trim(a->name) : "";
    if (name.empty()) {
      check_.missingAccounts.insert(Trim(code));
      name = Trim(code);
    }
    return name;
  };

  std::size_t rowCount = 0;
  for (const Entry& e : entries) rowCount += e.lines.size();
  rows_.reserve(rowCount);
  long number = 0;
  for (const Entry& e : entries) {
    ++number;
    const std::string journal = Trim(e.journal);
    std::string journalName;
    auto j = codes.Journals().find(journal);
    if (j != codes.Journals().end()) journalName = j->second.name;
    if (journalName.empty()) {
      check_.missingJournals.insert(journal);
      journalName = journal;
    }
    for (const EntryLine* l : e.lines) {
      FecRow row;
      const std::string account = l->account.Str();
      std::string general = account, auxiliary;
      if (IsAuxiliaryAccount(account)) {
        auxiliary = account;
        general = codes.CollectiveAccountOf(account[0]);
        if (general.empty()) {
          check_.lettersWithoutCollective.insert(account[0]);
          continue;
        }
      }
      const std::string lineDate = date(l->month.Str() + l->day.Str());
      std::string label;
      const std::string lineLabel = Trim(l->label.Str());
      if (!l->labelCode.Blank()) {
        auto t = codes.Labels().find(Trim(l->labelCode.Str()));
        std::string standard = t != codes.Labels().end() ? t->second : "";
        if (t == codes.Labels().end() || standard.empty()) {
          check_.missingLabels.insert(Trim(l->labelCode.Str()));
          standard = Trim(l->labelCode.Str());
        }
        label = lineLabel.empty() ? standard : standard + "-" + lineLabel;
      } else {
        label = lineLabel;
      }
      const std::string generalName = accountName(general);
      const std::string auxiliaryName = auxiliary.empty() ? "" : accountName(auxiliary);
      if (Trim(label).empty()) label = auxiliary.empty() ? generalName : auxiliaryName;
      long long debit = l->sense == 'D' ? l->cents[1] : 0;
      long long credit = l->sense == 'D' ? 0 : l->cents[1];
      if (debit < 0) {
        credit = -debit;
        debit = 0;
      }
      if (credit < 0) {
        debit = -credit;
        credit = 0;
      }
      std::string letter = Trim(l->letterE.Str()), letterDate;
      if (!letter.empty()) letterDate = letterDateOf(l);
      row[0] = journal;
      row[1] = journalName;
      row[2] = std::to_string(number);
      row[3] = lineDate;
      row[4] = Trim(general);
      row[5] = generalName;
      row[6] = Trim(auxiliary);
      row[7] = auxiliaryName;
      row[8] = journal + Trim(l->piece.Str());
      row[9] = lineDate;
      row[10] = label;
      row[11] = FecAmount(debit);
      row[12] = FecAmount(credit);
      row[13] = letter;
      row[14] = letterDate;
      row[15] = l->validation.Blank() ? yearEnd : date(l->validation.Str());
      for (std::string& z : row) z = FecZone(z);
      rows_.push_back(std::move(row));
    }
  }
  return true;
}

std::string FecExport::Content() const {
  std::string out;
  out.reserve(rows_.size() * 160 + 256);
  const auto& names = FecZoneNames();
  for (int i = 0; i < kFecZones; ++i) {
    if (i != 0) out += '\t';
    out += names[static_cast<std::size_t>(i)];
  }
  out += "\r\n";
  for (const FecRow& row : rows_) {
    for (int i = 0; i < kFecZones; ++i) {
      if (i != 0) out += '\t';
      out += row[static_cast<std::size_t>(i)];
    }
    out += "\r\n";
  }
  return out;
}

bool FecExport::Write(const std::string& path, std::string* message) const {
  if (platform::WriteFileAtomic(path, Content())) return true;
  if (message != nullptr) *message = "Le fichier des \xE9" "critures comptables n'a pas pu \xEA" "tre \xE9" "crit:\n\n" + path;
  return false;
}

}  // namespace balances
