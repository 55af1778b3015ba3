#include "posting/journal_month.h"

#include <cstdlib>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/entry_state.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace posting {

namespace {
constexpr int kNameField = 3, kText1Field = 4, kText2Field = 5, kMemoField = 7;
constexpr int kTotalWidth = 14;
constexpr std::size_t kModelTextRoom = 4000;
constexpr int kSettingsWidth = 24;

}  // namespace

std::string CleJournalMois(const std::string& month, const std::string& journal) {
  return PadRight(month, 4) + PadRight(journal, kJournalCodeWidth);
}

std::string LinePrefix(const std::string& journalMonth) {
  return "Z" + PadRight(journalMonth, kJournalMonthKeyLength);
}

std::string MonthDisplay(const std::string& journalMonth) {
  const std::string month = PadRight(journalMonth, 4);
  return month.substr(2, 2) + "/" + DecodeYear(month.substr(0, 2).c_str());
}

std::string JournalOf(const std::string& journalMonth) {
  return RTrim(PadRight(journalMonth, kJournalMonthKeyLength).substr(4, kJournalCodeWidth).c_str());
}

bool EnsureGeneralFile() {
  if (TableC10 == nullptr) return false;
  return TableC10->isOpen || TableC10->UseShared(PathC10(), "C10CODE");
}

std::string C10Key(Table& c10, char kind, const std::string& code) {
  const int width = c10.isOpen ? c10.FieldWidth(2) : 0;
  return std::string(1, kind) + PadRight(code, static_cast<std::size_t>(width > 0 ? width : static_cast<int>(code.size())));
}

Lookup FindC10(Table& c10, char kind, const std::string& code) {
  if (!c10.isOpen) return Lookup::NotFound();
  const std::string key = C10Key(c10, kind, code);
  const Lookup found = c10.Find("C10CODE", key.c_str());
  return found.IsFound() ? found.And(c10.MatchRecordKey(key.c_str(), static_cast<int>(key.size()), 1, 2).HoldsKey())
                         : found;
}

Lookup FindLiveC10(Table& c10, char kind, const std::string& code) {
  const Lookup found = FindC10(c10, kind, code);
  return found.IsFound() ? c10.LiveHere() : found;
}

Lookup FindHeader(Table& c10, const std::string& journalMonth, char source) {
  return FindC10(c10, 'C', PadRight(journalMonth, kJournalMonthKeyLength) + source);
}

Lookup FindJournal(Table& c10, const std::string& journal) {
  return FindC10(c10, 'J', PadRight(journal, kJournalCodeWidth));
}

HeaderTotals ReadHeaderTotals(Table& c10) {
  HeaderTotals t;
  const std::string z4 = PadRight(c10.GetField(kText1Field), 2 * kTotalWidth);
  const std::string z5 = PadRight(c10.GetField(kText2Field), 2 * kTotalWidth);
  auto cents = [](const std::string& z, int at) {
    return StoredAmountCents(std::string_view(z).substr(static_cast<std::size_t>(at), kTotalWidth));
  };
  t.debitF = cents(z4, 0);
  t.creditF = cents(z4, kTotalWidth);
  t.debitE = cents(z5, 0);
  t.creditE = cents(z5, kTotalWidth);
  return t;
}

std::string ZeroTotalsText() {
  const std::string zero = FormatNumber(kTotalWidth, 2, false, 0.0);
  return zero + zero;
}

HeaderCreation EnsureDraftHeader(Table& c10, const std::string& journalMonth) {
  if (!c10.isOpen) return HeaderCreation::Failed;
  const Lookup before = FindHeader(c10, journalMonth, kDraftSource);
  if (before.IsFound()) {
    // A header whose mark is not read is neither there nor gone: none is made.
    const Lookup live = c10.LiveHere();
    if (live.IsRefused()) return HeaderCreation::Failed;
    if (live.IsFound()) return HeaderCreation::Existed;
  }
  // A header the seek could not read may well be there: none is made.
  if (before.IsRefused() || !SoughtAndMissing(c10.result)) return HeaderCreation::Failed;
  const JournalRecord journal = ReadJournal(c10, JournalOf(journalMonth));
  // A journal the seek could not read is no journal missing.
  if (!journal.found && (journal.refused || !SoughtAndMissing(c10.result))) return HeaderCreation::Failed;
  if (!journal.found || journal.cancelled) return HeaderCreation::NoJournal;
  CreationLock creating(c10);
  if (!creating.held()) return HeaderCreation::Failed;
  const Lookup locked = FindHeader(c10, journalMonth, kDraftSource);
  if (locked.IsFound()) {
    const Lookup live = c10.LiveHere();
    if (live.IsRefused()) return HeaderCreation::Failed;
    if (live.IsFound()) return HeaderCreation::Existed;
    // One the rebuild deleted (its journal-month had no line) and no pack removed yet comes back.
    return BringBackHeader(c10) ? HeaderCreation::Created : HeaderCreation::Failed;
  }
  if (locked.IsRefused() || !SoughtAndMissing(c10.result)) return HeaderCreation::Failed;
  const std::string code = PadRight(journalMonth, kJournalMonthKeyLength) + kDraftSource;
  if (!c10.AppendBlank()) return HeaderCreation::Failed;
  c10.PutField(1, "C");
  c10.PutField(2, code.c_str());
  c10.PutField(kNameField, journal.name.c_str());
  c10.PutField(kText1Field, ZeroTotalsText().c_str());
  c10.PutField(kText2Field, ZeroTotalsText().c_str());
  if (!c10.InsertRecord() || !c10.Commit()) return HeaderCreation::Failed;
  return FindHeader(c10, journalMonth, kDraftSource).IsFound() ? HeaderCreation::Created : HeaderCreation::Failed;
}

std::string JournalRecord::modelCode() const {
  return settings.size() >= 18 ? std::string(RTrim(settings.substr(10, 8).c_str())) : std::string();
}

long JournalRecord::nextPiece() const {
  if (settings.size() < 24) return 0;
  const std::string counter = settings.substr(18, 6);
  if (IsBlank(counter)) return 0;
  return std::atol(counter.c_str());
}

std::string TidyModelText(const std::string& memo) {
  std::string text;
  for (char c : memo) {
    if (c == '\t') text += "        ";
    else text += c;
  }
  for (int pass = 0; pass < 2; ++pass) StrTran(text, "\r\n\r\n", "\r\n");
  while (text.size() >= 2 && text.compare(0, 2, "\r\n") == 0) text.erase(0, 2);
  while (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.erase(text.size() - 2);
  if (text.size() > kModelTextRoom - 2) text.resize(kModelTextRoom - 2);
  if (!text.empty()) text += "\r\n";
  return text;
}

JournalRecord ReadJournal(Table& c10, const std::string& journal) {
  JournalRecord r;
  const Lookup found = FindJournal(c10, journal);
  r.refused = found.IsRefused();
  if (!found.IsFound()) return r;
  // A journal whose mark is not read is as one whose look-up was refused.
  const Lookup live = c10.LiveHere();
  if (live.IsRefused()) {
    r.refused = true;
    return r;
  }
  r.found = true;
  r.cancelled = live.IsNotFound();
  r.name = RTrim(c10.GetField(kNameField));
  r.settings = PadRight(c10.GetField(kText1Field), kSettingsWidth);
  const std::string model = r.modelCode();
  const Lookup modelFound = model.empty() ? Lookup::NotFound() : FindC10(c10, 'M', model);
  r.refused = modelFound.IsRefused();
  if (modelFound.IsFound() && LiveOrSaid(c10).IsFound()) {
    std::string memo;
    if (c10.GetMemoText(kMemoField, memo)) {
      const std::size_t end = memo.find('\x1A');
      if (end != std::string::npos) memo.resize(end);
      r.modelText = TidyModelText(memo);
    }
  }
  return r;
}

std::vector<YearMonth> FinancialYearMonths() {
  std::vector<YearMonth> months;
  Ymd first, last;
  if (!TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first) ||
      !TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last))
    return months;
  Ymd m{first.year, first.month, 1};
  for (int guard = 0; guard < 36 && (m.year < last.year || (m.year == last.year && m.month <= last.month)); ++guard) {
    const std::string stored = StoredDateOf(m).substr(0, 4);
    months.push_back({stored, MonthDisplay(stored)});
    m = m.month == 12 ? Ymd{m.year + 1, 1, 1} : Ymd{m.year, m.month + 1, 1};
  }
  return months;
}

}  // namespace posting
