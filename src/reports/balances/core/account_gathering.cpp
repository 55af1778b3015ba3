#include "reports/balances/core/account_gathering.h"

#include <algorithm>
#include <cstring>

#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/stored_fields.h"
#include "data/table.h"
#include "data/table_scan.h"
#include "resources/string_table.h"
#include "runtime/xbase.h"

namespace balances {

namespace {

// The names of the charts in the message of a chart that cannot be read.
constexpr int kTitleAccounts = 23533;
constexpr int kTitleSections = 23534;

}  // namespace

// ---- chart

bool ChartList::Load(const std::string& path, const std::vector<int>& fields, const char* title, char file,
                     std::string* message) {
  entries_.clear();
  byCode_.clear();
  unreadable_.clear();
  Table t;
  if (!t.OpenShared(path, "", true)) {
    if (message != nullptr) *message = FileNotOpenedMessage(title, t.result, path);
    return false;
  }
  // The fields as stored, up to a byte 0 as the cursor's text of them ends there.
  const StoredFields v(t, fields);
  auto text = [&v](const std::uint8_t* record, std::size_t i) {
    const std::string_view s = v.In(record, i);
    return std::string(s.substr(0, s.find('\0')));
  };
  const bool read = ScanRecords(t, [&](std::uint32_t recno, const std::uint8_t* record) {
    if (record[0] == '*') return;
    ChartEntry e;
    e.code = PadRight(text(record, 0), 8);
    e.name = text(record, 1);
    e.street1 = text(record, 2);
    e.street2 = text(record, 3);
    e.town = text(record, 4);
    // The figures as stored, NUL bytes and all: one that does not read counts as zero, its record named.
    bool readable = true;
    auto cents = [&](std::size_t i) { return StoredAmountCents(v.In(record, i), &readable); };
    e.prevDebit = {cents(5), cents(6)};
    e.prevCredit = {cents(7), cents(8)};
    e.prevYearReadable = readable;
    e.budget = {cents(9), cents(10)};
    e.recno = recno;
    if (!readable) unreadable_.push_back({file, recno, "", e.code});
    entries_.push_back(std::move(e));
  });
  if (!read) {
    entries_.clear();
    unreadable_.clear();
    if (message != nullptr) *message = FileNotReadMessage(title, t.result, path);
    return false;
  }
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const ChartEntry& a, const ChartEntry& b) { return a.code < b.code; });
  for (std::size_t i = 0; i < entries_.size(); ++i) byCode_.emplace(entries_[i].code, i);
  return true;
}

bool ChartList::LoadAccounts(const std::string& c20Path, std::string* message) {
  return Load(c20Path, {1, 2, 3, 4, 5, 21, 22, 23, 24, 28, 29}, LoadStr(kTitleAccounts),
              UnreadableAmountLine::kAccountRecord, message);
}

bool ChartList::LoadSections(const std::string& c30Path, std::string* message) {
  return Load(c30Path, {1, 2, 3, 4, 5, 13, 14, 15, 16, 17, 18}, LoadStr(kTitleSections),
              UnreadableAmountLine::kSectionRecord, message);
}

void ChartList::Add(const ChartEntry& entry) {
  ChartEntry e = entry;
  e.code = PadRight(e.code, 8);
  auto at = std::upper_bound(entries_.begin(), entries_.end(), e,
                             [](const ChartEntry& a, const ChartEntry& b) { return a.code < b.code; });
  entries_.insert(at, e);
  byCode_.clear();
  for (std::size_t i = 0; i < entries_.size(); ++i) byCode_.emplace(entries_[i].code, i);
}

const ChartEntry* ChartList::Find(const std::string& code) const {
  auto it = byCode_.find(PadRight(code, 8));
  return it == byCode_.end() ? nullptr : &entries_[it->second];
}

// ---- context

int GatherContext::RegroupementLength() const {
  if (typeListe.size() >= 2 && typeListe[0] == 'R' && typeListe[1] >= '2' && typeListe[1] <= '6')
    return typeListe[1] - '0';
  return 0;
}

// ---- gathering

Gatherer::Gatherer(const BalanceSource& source, const ChartList& chart, const GatherContext& context)
    : source_(source),
      chart_(chart),
      context_(context),
      start_(context.options.PeriodStart()),
      end_(context.options.PeriodEnd()),
      prior_(context.options.PriorTotals()),
      currency_(static_cast<std::size_t>(context.Currency())) {
  startKey_ = PackText(start_);
  endKey_ = PackText(end_);
  openingJournal_ = PadRight(context_.openingJournal, 8).substr(0, 3);
  openingKey_ = static_cast<std::uint32_t>(PackText(openingJournal_) >> 40);
  blankDate_ = PackText("      ");
  // A 6-character date compares with a limit as their packed forms do while the limit holds
  // at most 8 characters and no byte 0 (dates stored as text hold none).
  packedLimits_ = true;
  const std::string* limits[3] = {&context_.frame.limit90, &context_.frame.limit60, &context_.frame.limit30};
  for (std::size_t i = 0; i < 3; ++i) {
    if (limits[i]->size() > 8 || limits[i]->find('\0') != std::string::npos) packedLimits_ = false;
    limitKeys_[i] = PackText(*limits[i]);
  }
}

bool Gatherer::InPeriod(const AnalyticEntry& r) const {
  return r.dateKey >= startKey_ && r.dateKey <= endKey_;
}

const LineFigures* Gatherer::Counted(const AnalyticEntry& r) {
  if (!prior_ && !InPeriod(r)) return nullptr;
  if (!r.line.present) {
    broken_.insert(r.physical);
    return nullptr;
  }
  return r.line.cents[currency_] != 0 ? &r.line : nullptr;
}

const std::set<std::string>& Gatherer::OrphanLetters(const std::string& account) {
  const std::string code = PadRight(account, 8);
  auto found = orphans_.find(code);
  if (found != orphans_.end()) return found->second;
  std::set<std::string>& letters = orphans_[code];
  if (!context_.orphanLetters) return letters;
  if (context_.letteringExemptions.find("-" + code.substr(0, 3) + "-") != std::string::npos) return letters;
  const std::span<const GeneralEntry> entries = source_.GeneralEntries();
  const std::uint64_t key = PackText(code.data(), 8);
  auto it = std::lower_bound(entries.begin(), entries.end(), key,
                             [](const GeneralEntry& e, std::uint64_t k) { return e.codeKey < k; });
  for (; it != entries.end() && it->codeKey == key; ++it) {
    const Fixed<4>& letter = context_.Currency() == 1 ? it->letterE : it->letterF;
    if (letter.Blank()) continue;
    char date[6];
    UnpackText(it->dateKey, date, 6);
    const std::string_view d(date, 6);
    if (d < std::string_view(start_)) {
      if (context_.options.PriorTotals()) continue;
      letters.insert(letter.Str());
    } else if (d > std::string_view(end_)) {
      letters.insert(letter.Str());
    }
  }
  return letters;
}

bool Gatherer::LetteringAccepts(const GeneralEntry& e) {
  const char choice = context_.options.Lettering();
  if (choice == '1') return true;
  const Fixed<4>& letter = context_.Currency() == 1 ? e.letterE : e.letterF;
  bool unlettered = letter.Blank();
  if (!unlettered) {
    std::string code(8, ' ');
    UnpackText(e.codeKey, code.data(), 8);
    unlettered = OrphanLetters(code).count(letter.Str()) != 0;
  }
  if (choice == '2' || choice == '4') return unlettered;
  if (choice == '3' || choice == '5') return !unlettered;
  return false;
}

namespace {

// Adds one line's movement to an account's figures: `a` in the report's currency, `cents` the
// line's francs and euros, `column` its month column (0 none), `age` its ageing class.
void AddMovement(AccountFigures& f, char sense, const std::array<long long, 2>& cents, long long a, bool opening,
                 int column, int age) {
  const long long s = sense == 'D' ? 1 : -1;
  if (s > 0) {
    (opening ? f.etafiSan : f.etafiCdb) += a;
    f.etafiCdbt += a;
    f.debit += a;
    f.debitF += cents[0];
    f.debitE += cents[1];
  } else {
    if (opening)
      f.etafiSan -= a;
    else
      f.etafiCcr += a;
    f.etafiCcrt += a;
    f.credit += a;
    f.creditF += cents[0];
    f.creditE += cents[1];
  }
  if (column != 0) f.months[static_cast<std::size_t>(column - 1)] += s * a;
  f.ages[static_cast<std::size_t>(age)] += s * a;
}

}  // namespace

int Gatherer::AgeClass(const AnalyticEntry& r, const LineFigures& l) const {
  std::string reference = l.due.Str();
  if (l.due.Blank()) UnpackText(r.dateKey, reference.data(), 6);
  if (reference < context_.frame.limit90) return 0;
  if (reference < context_.frame.limit60) return 1;
  if (reference < context_.frame.limit30) return 2;
  return 3;
}

void Gatherer::AddLine(const AnalyticEntry& r, const LineFigures& l, AccountFigures& f) const {
  const long long a = l.cents[static_cast<std::size_t>(context_.Currency())];
  int column = 0;
  const std::string journal = l.journal.Str();
  if (context_.excludedJournals.empty() || context_.excludedJournals.find(journal) == std::string::npos) {
    int m = (l.month.c[2] - '0') * 10 + (l.month.c[3] - '0');
    if (m < 1 || m > 12) m = 1;
    column = context_.frame.monthColumn[static_cast<std::size_t>(m)];
  }
  const bool opening = journal == PadRight(context_.openingJournal, 8).substr(0, 3);
  const int age = AgeClass(r, l);
  AddMovement(f, l.sense, l.cents, a, opening, column, age);
}

std::string Gatherer::KeyOf(const ChartEntry& account, bool& wholeAccount) const {
  std::string key = account.code;
  wholeAccount = true;
  if (const int n = context_.RegroupementLength()) {
    key = key.substr(0, static_cast<std::size_t>(n));
    wholeAccount = false;
  }
  const std::string probe = "/" + account.code + "\\";
  const std::size_t p = context_.collectiveList.find(probe);
  if (p != std::string::npos && p + 10 < context_.collectiveList.size()) {
    key = std::string(1, context_.collectiveList[p + 10]);
    wholeAccount = false;
  }
  return key;
}

bool Gatherer::KeepByPrevYear(const ChartEntry& e) const {
  const auto c = static_cast<std::size_t>(context_.Currency());
  if (context_.keepRule == 'M') return e.prevDebit[c] != 0 || e.prevCredit[c] != 0;
  if (context_.keepRule == 'S') return e.prevDebit[c] - e.prevCredit[c] != 0;
  return false;
}

const GeneralEntry* Gatherer::Counted(const GeneralEntry& e) {
  if (!prior_ && (e.dateKey < startKey_ || e.dateKey > endKey_)) return nullptr;
  if (!e.line->present) {
    broken_.insert(e.physical);
    return nullptr;
  }
  return e.line->cents[currency_] != 0 ? &e : nullptr;
}

bool Gatherer::JournalInColumns(std::uint32_t journal) const {
  for (std::size_t i = 0; i < journalCount_; ++i)
    if (journals_[i].first == journal) return journals_[i].second;
  const char text[3] = {static_cast<char>(journal >> 16), static_cast<char>(journal >> 8), static_cast<char>(journal)};
  const bool in = context_.excludedJournals.empty() ||
                  context_.excludedJournals.find(std::string_view(text, 3)) == std::string::npos;
  if (journalCount_ < journals_.size()) journals_[journalCount_++] = {journal, in};
  return in;
}

void Gatherer::AddEntry(const GeneralEntry& e, AccountFigures& f) const {
  const LineFigures& l = *e.line;
  const long long a = l.cents[currency_];
  const std::uint32_t journal = static_cast<std::uint32_t>(static_cast<unsigned char>(l.journal.c[0])) << 16 |
                                static_cast<std::uint32_t>(static_cast<unsigned char>(l.journal.c[1])) << 8 |
                                static_cast<unsigned char>(l.journal.c[2]);
  int column = 0;
  if (JournalInColumns(journal)) {
    int m = (l.month.c[2] - '0') * 10 + (l.month.c[3] - '0');
    if (m < 1 || m > 12) m = 1;
    column = context_.frame.monthColumn[static_cast<std::size_t>(m)];
  }
  const bool opening = journal == openingKey_;
  // The due date, the record's date when the line has none.
  int age;
  if (packedLimits_) {
    const std::uint64_t due = PackText(l.due.c.data(), 6);
    const std::uint64_t reference = due == blankDate_ ? e.dateKey : due;
    age = reference < limitKeys_[0] ? 0 : reference < limitKeys_[1] ? 1 : reference < limitKeys_[2] ? 2 : 3;
  } else {
    char date[6];
    if (l.due.Blank())
      UnpackText(e.dateKey, date, 6);
    else
      std::memcpy(date, l.due.c.data(), 6);
    const std::string_view reference(date, 6);
    age = reference < std::string_view(context_.frame.limit90)   ? 0
          : reference < std::string_view(context_.frame.limit60) ? 1
          : reference < std::string_view(context_.frame.limit30) ? 2
                                                                 : 3;
  }
  AddMovement(f, l.sense, l.cents, a, opening, column, age);
}

bool Gatherer::GatherAccount(const ChartEntry& account, AccountFigures& f) {
  f = AccountFigures{};
  bool whole = true;
  const std::string key = KeyOf(account, whole);
  bool keep = KeepByPrevYear(account);
  // The general records joined to their lines, in code order: the account's records (or those
  // of its group or letter) follow one another. Codes hold no byte 0, so a code compares with
  // a shorter key as the packed code does with the key packed and ended by zeros.
  const std::span<const GeneralEntry> entries = source_.GeneralEntries();
  const std::uint64_t keyPacked = PackText(key), keyMask = PackMask(key.size());
  auto it = std::lower_bound(entries.begin(), entries.end(), keyPacked,
                             [](const GeneralEntry& e, std::uint64_t k) { return e.codeKey < k; });
  auto begins = [&](const GeneralEntry& e) { return (e.codeKey & keyMask) == keyPacked; };
  // The first record the sort-record walk accepts.
  auto first = it;
  while (first != entries.end() && begins(*first) && Counted(*first) == nullptr) ++first;
  if ((first == entries.end() || !begins(*first)) && !keep) return false;

  const auto c = currency_;
  f.prevYear = account.prevDebit[c] - account.prevCredit[c];
  const char choice = context_.options.Lettering();
  for (it = first; it != entries.end() && begins(*it); ++it) {
    const GeneralEntry* e = Counted(*it);
    if (e == nullptr) continue;
    if (whole && e->dateKey > endKey_) break;  // an account's records come in date order
    if (e->dateKey < startKey_) {
      if (context_.options.PriorTotals()) {
        keep = true;
        (e->line->sense == 'D' ? f.caDebit : f.caCredit) += e->line->cents[c];
      }
      continue;
    }
    if (e->dateKey > endKey_) continue;
    if (choice == '1' || LetteringAccepts(*e)) {
      keep = true;
      AddEntry(*e, f);
    } else if (choice == '4' || choice == '5') {
      keep = true;
      (e->line->sense == 'D' ? f.aeDebit : f.aeCredit) += e->line->cents[c];
    }
  }
  if (!context_.typeListe.empty() && context_.typeListe[0] == 'A' &&
      f.ages[0] + f.ages[1] + f.ages[2] + f.ages[3] == 0)
    return false;
  return keep;
}

std::vector<BalanceLine> Gatherer::GatherList() {
  if (context_.listKind == '9') return GatherSections();
  std::string start, end;
  switch (context_.listKind) {
    case '1': start = "0"; end = "9ZZZZZZZ"; break;
    case '2': start = "6"; end = "9ZZZZZZZ"; break;
    default:
      start = std::string(1, context_.listKind);
      end = start + "ZZZZZZZ";
  }
  if (context_.options.StartAccount() != std::string(8, ' ')) start = context_.options.StartAccount();
  if (context_.options.EndAccount() != std::string(8, ' ')) end = context_.options.EndAccount();
  start = PadRight(start, 8);
  end = PadRight(end, 8);
  const std::string act = context_.options.ActGiven() ? context_.options.Act() : "";
  const int group = context_.RegroupementLength();
  std::vector<BalanceLine> lines;
  const auto& entries = chart_.Entries();
  std::size_t i = 0;
  auto actMatches = [&](const ChartEntry& e) { return act.empty() || e.code.substr(6, 2) == act; };
  while (i < entries.size()) {
    const ChartEntry& e = entries[i];
    if (!actMatches(e) || e.code < start) {
      ++i;
      continue;
    }
    if (e.code > end) break;
    BalanceLine line;
    if (GatherAccount(e, line.figures)) {
      line.entry = i;
      line.code = group != 0 ? e.code.substr(0, static_cast<std::size_t>(group)) : e.code;
      lines.push_back(std::move(line));
    }
    ++i;
    if (group != 0)
      while (i < entries.size() && entries[i].code.compare(0, static_cast<std::size_t>(group), e.code, 0,
                                                           static_cast<std::size_t>(group)) == 0)
        ++i;
  }
  return lines;
}

std::vector<BalanceLine> Gatherer::GatherSections() {
  std::string start(8, ' '), end(8, 'Z');
  if (context_.options.StartAccount() != std::string(8, ' ')) start = context_.options.StartAccount();
  if (context_.options.EndAccount() != std::string(8, ' ')) end = context_.options.EndAccount();
  const std::vector<std::uint32_t> order = source_.AnalyticOrder(context_.analyticByAccount);
  const std::span<const AnalyticEntry> recs = source_.AnalyticEntries();
  const auto c = static_cast<std::size_t>(context_.Currency());
  const std::string pstart = context_.options.PeriodStart();
  std::vector<BalanceLine> lines;
  const auto& entries = chart_.Entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ChartEntry& e = entries[i];
    if (e.code < start) continue;
    if (e.code > end) break;
    // Codes as stored are 8 characters: they compare as their packed forms do.
    const std::uint64_t key = PackText(e.code.data(), 8);
    auto it = std::lower_bound(order.begin(), order.end(), key,
                               [&](std::uint32_t k, std::uint64_t code) { return recs[k].codeKey < code; });
    // Lines of the section by general account (one group when not by account).
    std::vector<BalanceLine> section;
    for (; it != order.end() && recs[*it].codeKey == key; ++it) {
      const AnalyticEntry& r = recs[*it];
      if (r.cls != 'W' && r.cls != 'Y') continue;
      const LineFigures* l = Counted(r);
      if (l == nullptr) continue;
      char date[6];
      UnpackText(r.dateKey, date, 6);
      const bool before = std::string_view(date, 6) < std::string_view(pstart);
      if (before && !context_.options.PriorTotals()) continue;
      if (!before && !InPeriod(r)) continue;  // after the end: the next general account goes on
      std::string account;
      if (context_.analyticByAccount) {
        account.assign(8, ' ');
        UnpackText(r.accountKey, account.data(), 8);
      }
      if (section.empty() || section.back().generalAccount != account) {
        BalanceLine line;
        line.entry = i;
        line.code = e.code;
        line.generalAccount = account;
        section.push_back(std::move(line));
      }
      AccountFigures& f = section.back().figures;
      if (before)
        (l->sense == 'D' ? f.caDebit : f.caCredit) += l->cents[c];
      else
        AddLine(r, *l, f);
    }
    if (section.empty()) {
      if (!KeepByPrevYear(e)) continue;
      BalanceLine line;
      line.entry = i;
      line.code = e.code;
      section.push_back(std::move(line));
    }
    for (std::size_t k = 0; k < section.size(); ++k) {
      AccountFigures& f = section[k].figures;
      f.prevYear = e.prevDebit[c] - e.prevCredit[c];
      f.ages = {};  // no ageing for sections
      section[k].countsPrevYear = k == 0;
      lines.push_back(std::move(section[k]));
    }
  }
  return lines;
}

BalanceTotals Gatherer::Totals(const std::vector<BalanceLine>& lines, char listKind) {
  BalanceTotals t;
  for (const BalanceLine& line : lines) {
    const AccountFigures& f = line.figures;
    const long long ld = f.LineDebit(), lc = f.LineCredit();
    t.debit += ld;
    t.credit += lc;
    if (ld > lc)
      t.balanceDebit += ld - lc;
    else
      t.balanceCredit += lc - ld;
    t.caDebit += f.caDebit;
    t.caCredit += f.caCredit;
    t.aeDebit += f.aeDebit;
    t.aeCredit += f.aeCredit;
    if (line.countsPrevYear) t.prevYear += f.prevYear;
    for (std::size_t k = 0; k < 12; ++k) t.months[k] += f.months[k];
    for (std::size_t k = 0; k < 4; ++k) t.ages[k] += f.ages[k];
    if (listKind == '1' && !line.code.empty() && (line.code[0] == '6' || line.code[0] == '7')) t.result += ld - lc;
  }
  return t;
}

}  // namespace balances
