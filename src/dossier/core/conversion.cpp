#include "dossier/core/conversion.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "data/books_write_permit.h"
#include "data/collective_account.h"
#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/engine_files.h"
#include "data/error_report.h"
#include "data/index_recovery.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_copy.h"
#include "data/table_create.h"
#include "data/table_structures.h"
#include "data/unread_amounts.h"
#include "dossier/core/dossier_run_marker.h"
#include "platform/system/clock.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgRateOutOfRange = 19708;
constexpr int kLogConversionError = 22141;
constexpr int kWhyRateOutOfRange = 22142;
constexpr int kWhyNoDossierFile = 22143;
constexpr int kTitleConversionRun = 19888;
constexpr int kWhyMarkerRefused = 22144;
constexpr int kWhyAsideFolderRefused = 22145;
constexpr int kWhyOriginalsNotMoved = 22146;
constexpr int kMsgOriginalsKeptIn = 22147;
constexpr int kWhyCreateRefused = 22148;
constexpr int kWhyOpenRefused = 22149;
constexpr int kWhyReadRefused = 22150;
constexpr int kDefaultEuroRate = 125;
constexpr int kWhyCopyIncomplete = 22151;
constexpr int kWhyEurosIncomplete = 22152;
constexpr int kWhyHeadersIncomplete = 22153;
constexpr int kWhyCloseRefused = 22154;
constexpr int kLogConversionDone = 22155;
constexpr int kLogConversionRate = 22156;
constexpr int kLogConversionCounts = 22495;
constexpr int kLogOriginalsIn = 22157;
constexpr int kLogPutBackDone = 22158;
constexpr int kLogPutBackPartly = 32211;
// The converted tables that cannot be one state of the books (the faults, one a line).
constexpr int kWhyBooksApart = 36404;
constexpr std::size_t kShownFaults = 12;
// The lines whose amount does not read, that the conversion would count as zero.
constexpr int kWhyUnreadAmounts = 39001;

}  // namespace

namespace fs = std::filesystem;

bool EuroRateInRange(double rate) { return rate >= kMinEuroRate && rate < kMaxEuroRate; }

bool FrancsToEuros(double francs, double rate, double& euros) {
  if (!EuroRateInRange(rate)) return false;
  euros = std::round(francs / rate * 100.0) / 100.0;
  return true;
}

bool EurosToFrancs(double euros, double rate, double& francs) {
  if (!EuroRateInRange(rate)) return false;
  francs = std::round(euros * rate * 100.0) / 100.0;
  return true;
}

std::string EuroRateOutOfRangeText(double rate) {
  return FillPlaceholder(LoadStr(kMsgRateOutOfRange), AllTrim(FormatNumber(12, 5, false, rate)));
}

namespace {

constexpr TableKind kKinds[] = {TableKind::C10, TableKind::C20, TableKind::C30, TableKind::C40,
                                TableKind::C50, TableKind::C60, TableKind::C70};

long long Cents(double amount) { return std::llround(amount * 100.0); }

std::string TwoDigits(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

// The dossier's table files (data, index, memo) in its folder, by lower-case name.
std::vector<fs::path> DossierTableFiles(const std::string& folder, const std::string& code) {
  std::set<std::string> wanted;
  for (TableKind kind : kKinds) {
    const std::string base = TableBaseName(kind, code);
    for (const char* ext : {".dbf", ".mdx", ".dbt"}) wanted.insert(base + ext);
  }
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(platform::DiskPath(folder), ec)) {
    if (!entry.is_regular_file(ec)) continue;
    if (wanted.count(LowerAscii(entry.path().filename().string())) != 0) files.push_back(entry.path());
  }
  return files;
}

// Moves the files into the folder `to`; on a failure the ones moved go back. False then,
// with `moved` left holding those that could not go back.
bool MoveFiles(const std::vector<fs::path>& files, const fs::path& to, std::vector<fs::path>& moved) {
  for (const fs::path& f : files) {
    std::error_code ec;
    fs::rename(f, to / f.filename(), ec);
    if (ec) {
      std::vector<fs::path> stuck;
      for (const fs::path& m : moved) {
        fs::rename(to / m.filename(), m, ec);
        if (ec) stuck.push_back(m);
      }
      moved = stuck;
      return false;
    }
    moved.push_back(f);
  }
  return true;
}

// Opens a source table of folder `from` for reading. When its index file cannot be used (an index
// of an older engine), the data and memo files are copied to the folder `spare`, their index flag
// cleared, and the copy is opened.
bool OpenSource(Table& source, const std::string& from, const std::string& spare, const std::string& base) {
  const std::string path = platform::ResolvePath(from + base + ".dbf");
  if (source.OpenExclusive(path, "", true)) return true;
  const std::string& work = spare;
  std::error_code ec;
  fs::create_directories(platform::DiskPath(work), ec);
  const std::string copy = work + base + ".dbf";
  if (!platform::CopyFile(path, copy)) return false;
  const std::string memo = platform::ResolvePath(from + base + ".dbt");
  if (platform::FileExists(memo)) platform::CopyFile(memo, work + base + ".dbt");
  if (!ClearProductionIndexFlag(copy)) return false;
  return source.OpenExclusive(copy, "", true);
}

bool CopyValue(Table& source, int s, Table& destination, int d) {
  const char st = source.FieldType(s);
  const char dt = destination.FieldType(d);
  if (st == 'M' && dt == 'M') {
    std::string memo;
    return source.GetMemoText(s, memo) && destination.PutMemoText(d, memo);
  }
  if ((st != 'C' && st != 'N') || (dt != 'C' && dt != 'N')) return true;
  if (st == 'N' && dt == 'N') return CopyNumberField(source, s, destination, d);
  return destination.PutField(d, source.GetField(s));
}

// Copy of a table of the older generation, whose field names begin with another letter:
// each destination field takes the source field of the same name, or of the same name
// with the source's first letter. Cancelled records stay cancelled.
bool CopyOlderGeneration(Table& destination, Table& source, long& records) {
  const char sourcePrefix = source.FieldName(1)[0];
  std::vector<int> map(static_cast<std::size_t>(destination.FieldCount()) + 1, 0);
  for (int d = 1; d <= destination.FieldCount(); ++d) {
    std::string name = destination.FieldName(d);
    int s = source.FieldPos(name);
    if (s == 0 && !name.empty()) {
      name[0] = sourcePrefix;
      s = source.FieldPos(name);
    }
    map[static_cast<std::size_t>(d)] = s;
  }
  bool ok = true;
  for (bool more = source.GoTop(""); more && !source.eof; more = source.Skip(1)) {
    const Lookup live = LiveOrSaid(source);
    if (live.IsRefused()) return false;
    const bool cancelled = live.IsNotFound();
    if (!destination.AppendBlank()) return false;
    for (int d = 1; d <= destination.FieldCount(); ++d) {
      const int s = map[static_cast<std::size_t>(d)];
      if (s != 0 && !CopyValue(source, s, destination, d)) ok = false;
    }
    if (!destination.InsertRecord()) return false;
    // A cancelled record that cannot be cancelled again would come back as live: fail the run.
    if (cancelled && !destination.DeleteRecord("", 0)) ok = false;
    ++records;
  }
  return ok;
}

// Pairs of amount fields "...F" (francs) and "...E" (euros) of an open table.
std::vector<std::pair<int, int>> AmountPairs(Table& table) {
  std::vector<std::pair<int, int>> pairs;
  for (int f = 1; f <= table.FieldCount(); ++f) {
    std::string name = table.FieldName(f);
    if (table.FieldType(f) != 'N' || name.size() < 2 || name.back() != 'F') continue;
    name.back() = 'E';
    const int e = table.FieldPos(name);
    if (e != 0 && table.FieldType(e) == 'N') pairs.emplace_back(f, e);
  }
  return pairs;
}

// Euro debit and credit, in cents, that the converted live lines give each code (as its field 1
// stores it): the general lines' accounts, the analytic lines' sections.
using EuroSums = std::map<std::string, std::pair<long long, long long>>;
struct LineEuros {
  EuroSums accounts, sections;
};

// The euro totals of a record (its debit in field `firstTotal` + 1, its credit in `firstTotal` + 3,
// beside their francs) whose code has lines in `fromLines`: those lines' sums, so that each total
// equals its converted lines rather than its own francs converted (a cent or two apart).
struct TotalsFromLines {
  int firstTotal = 0;
  const EuroSums* fromLines = nullptr;
};

// Euro amounts computed from the franc amounts where the euro side is zero; a record's totals (see
// TotalsFromLines) from its lines when it has some. Amounts are read as the reports read them; a
// pair either side of which does not read as a number stays as it is.
bool ConvertAmountPairs(Table& table, double rate, const TotalsFromLines& totals = {}) {
  const auto pairs = AmountPairs(table);
  if (pairs.empty()) return true;
  bool ok = true;
  for (bool more = table.GoTop(""); more && !table.eof; more = table.Skip(1)) {
    const EuroSums::const_iterator lines =
        totals.fromLines != nullptr ? totals.fromLines->find(table.GetField(1)) : EuroSums::const_iterator();
    const bool hasLines = totals.fromLines != nullptr && lines != totals.fromLines->end();
    for (const auto& [f, e] : pairs) {
      bool readable = true;
      const double francs = FromCents(StoredAmountOf(table, f, &readable));
      double euros = 0;
      if (francs == 0 || StoredAmountOf(table, e, &readable) != 0 || !readable) continue;
      bool converted = true;
      if (hasLines && (f == totals.firstTotal || f == totals.firstTotal + 2))
        euros = FromCents(f == totals.firstTotal ? lines->second.first : lines->second.second);
      else
        converted = FrancsToEuros(francs, rate, euros);
      if (!converted || !table.PutFieldNum(e, euros)) ok = false;
    }
  }
  return ok;
}

// The sums the accounts' totals hold: each account's lines, an auxiliary account's counted again
// on the collective of its letter (the general file's first record "B" + the letter, cancelled or
// not), as the books' check and the ReConstruction count them.
EuroSums AccountSumsWithCollectives(Table& c10, const EuroSums& accounts) {
  std::map<char, std::string> collectives;
  for (bool more = c10.GoTop(""); more && !c10.eof; more = c10.Skip(1)) {
    const std::string code = c10.GetField(2);
    if (c10.GetField(1)[0] == 'B') collectives.emplace(code.empty() ? ' ' : code[0], CollectiveAccountOf(c10.GetField(4)));
  }
  EuroSums wanted = accounts;
  for (const auto& [code, sums] : accounts) {
    const char letter = CollectiveLetterOf(code);
    const auto c = letter == 0 ? collectives.end() : collectives.find(letter);
    if (c == collectives.end() || c->second.empty()) continue;
    auto& total = wanted[PadRight(c->second, code.size())];
    total.first += sums.first;
    total.second += sums.second;
  }
  return wanted;
}

struct PieceLine {
  std::uint32_t record;
  bool debit;
  long long francs;
  long long euros;
  std::string account;
};

// Entry lines (C40 or C50, field names from the prefix letter): euros from francs, then in
// each piece whose general lines balance in francs the rounding difference in euros goes to
// its largest line, so the piece balances in euros too. Euro totals of the general lines
// by month, journal and `source` (the header's letter: "C" closed, "B" draft lines) are
// added to `journalTotals` (debit, credit in cents).
bool ConvertEntryLines(Table& table, double rate, char source,
                       std::map<std::string, std::pair<long long, long long>>* journalTotals, LineEuros& sums) {
  const std::string p(1, table.FieldName(1)[0]);
  const int kindField = 1;
  const int month = table.FieldPos(p + "MOIS"), journal = table.FieldPos(p + "JAL");
  const int piece = table.FieldPos(p + "PIECE"), sense = table.FieldPos(p + "SENS");
  const int francsField = table.FieldPos(p + "MONTANTF"), eurosField = table.FieldPos(p + "MONTANTE");
  const int codeField = table.FieldPos(p + "CODE");
  if (month == 0 || journal == 0 || piece == 0 || sense == 0 || francsField == 0 || eurosField == 0 || codeField == 0)
    return ConvertAmountPairs(table, rate);
  bool ok = true;
  std::map<std::string, std::vector<PieceLine>> pieces;
  for (bool more = table.GoTop(""); more && !table.eof; more = table.Skip(1)) {
    bool readable = true;
    const double francs = FromCents(StoredAmountOf(table, francsField, &readable));
    double euros = FromCents(StoredAmountOf(table, eurosField, &readable));
    if (readable && francs != 0 && euros == 0) {
      if (!FrancsToEuros(francs, rate, euros) || !table.PutFieldNum(eurosField, euros)) ok = false;
    }
    const Lookup live = LiveOrSaid(table);
    if (live.IsRefused()) return false;
    if (live.IsNotFound()) continue;
    const char kind = table.GetField(kindField)[0];
    const bool debit = table.GetField(sense)[0] == 'D';
    if (kind == 'W' || kind == 'Y') {
      auto& total = sums.sections[table.GetField(codeField)];
      (debit ? total.first : total.second) += Cents(euros);
    }
    if (kind != 'Z') continue;
    const std::string key = std::string(table.GetField(month)) + table.GetField(journal) + table.GetField(piece);
    pieces[key].push_back({table.RecNo(), debit, Cents(francs), Cents(euros), table.GetField(codeField)});
  }
  for (auto& [key, lines] : pieces) {
    long long francs = 0, euros = 0;
    std::size_t largest = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      francs += lines[i].debit ? lines[i].francs : -lines[i].francs;
      euros += lines[i].debit ? lines[i].euros : -lines[i].euros;
      if (std::llabs(lines[i].euros) > std::llabs(lines[largest].euros)) largest = i;
    }
    // Only a rounding difference (at most one cent a line) is moved; anything else is the
    // dossier's own imbalance and stays for the balance checks to show.
    if (francs == 0 && euros != 0 && std::llabs(euros) <= static_cast<long long>(lines.size())) {
      PieceLine& l = lines[largest];
      l.euros += l.debit ? -euros : euros;
      if (!table.GoToRecord(static_cast<long>(l.record)).IsFound() ||
          !table.PutFieldNum(eurosField, static_cast<double>(l.euros) / 100.0))
        ok = false;
    }
    if (journalTotals != nullptr) {
      auto& total = (*journalTotals)[key.substr(0, 7) + source];
      for (const PieceLine& l : lines) (l.debit ? total.first : total.second) += l.euros;
    }
    for (const PieceLine& l : lines) {
      auto& total = sums.accounts[l.account];
      (l.debit ? total.first : total.second) += l.euros;
    }
  }
  return ok;
}

// Journal-month headers of C10 (kind "C"): field 4 the franc debit and credit, field 5 the
// euro ones, 14 characters each. Euro totals come from the converted lines of that
// journal-month and source (closed and draft headers apart), or from the franc totals when
// it has none.
bool ConvertJournalHeaders(Table& c10, double rate,
                           const std::map<std::string, std::pair<long long, long long>>& fromLines) {
  bool ok = true;
  for (bool more = c10.GoTop(""); more && !c10.eof; more = c10.Skip(1)) {
    if (c10.GetField(1)[0] != 'C') continue;
    const std::string code = std::string(c10.GetField(2)).substr(0, 8);
    std::string francs = c10.GetField(4);
    francs.resize(28, ' ');
    long long debit = 0, credit = 0;
    const auto it = fromLines.find(code);
    if (it != fromLines.end()) {
      debit = it->second.first;
      credit = it->second.second;
    } else {
      double d = 0, c = 0;
      if (!FrancsToEuros(FromCents(StoredAmountCents(std::string_view(francs).substr(0, 14))), rate, d) ||
          !FrancsToEuros(FromCents(StoredAmountCents(std::string_view(francs).substr(14, 14))), rate, c))
        return false;
      debit = Cents(d);
      credit = Cents(c);
    }
    std::string euros = c10.GetField(5);
    euros.resize(254, ' ');
    euros.replace(0, 28, AmountText14(FromCents(debit)) + AmountText14(FromCents(credit)));
    if (!c10.PutField(5, RTrim(euros.c_str()))) ok = false;
  }
  return ok;
}

// The parity kept in the dossier record "0" (field 5 at 239), 0 when none is readable.
double StoredParity(Table& c10) {
  for (bool more = c10.GoTop(""); more && !c10.eof; more = c10.Skip(1)) {
    if (c10.GetField(1)[0] != '0') continue;
    std::string zone = c10.GetField(5);
    zone.resize(254, ' ');
    return Val(zone.substr(238, 10).c_str());
  }
  return 0;
}

// The dossier record "0" after an older-generation copy: the parity at field 5, 239.
bool WriteParity(Table& c10, double parity) {
  for (bool more = c10.GoTop(""); more && !c10.eof; more = c10.Skip(1)) {
    if (c10.GetField(1)[0] != '0') continue;
    return c10.PutFieldPart(5, 239, 10, FormatNumber(10, 5, false, parity));
  }
  return true;
}

std::string FormatStamp(Table& c10) {
  return c10.FieldCount() > 0 ? RTrim(c10.FieldName(c10.FieldCount())) : std::string();
}

struct OpenPair {
  TableKind kind;
  std::string base;
  std::unique_ptr<Table> destination;
};

// What the copy into the new format wrote: the tables and records, the older format's stamp.
struct ConvertedCopy {
  std::string why;  // French: why the copy failed; "" when every table was written whole
  std::string oldStamp;
  int tables = 0;
  long records = 0;
};

// The tables of dossier `code` lying in folder `from` written in this program's format into folder
// `to` (where none of them is yet): each table made empty with its tags, its records copied by
// field names (an older generation's by the names under its own first letter), the euro amounts
// computed from the francs when the request says so, each table closed. Index-less copies of
// sources whose index cannot be used go into `spare`.
ConvertedCopy WriteConvertedTables(const std::string& from, const std::string& to, const std::string& spare,
                                   const std::string& code, const ConversionRequest& request) {
  ConvertedCopy copy;
  std::string& why = copy.why;
  // An amount that does not read would go over as zero and count so in the euro totals: the copy
  // is then refused, naming its lines, whoever converts (the opening, a restore's trial).
  UnreadAmounts unread;
  const UnreadAmountWatch watch(unread);
  // A read the disk refused ends a table's walk short: the copy is then not whole, whatever the
  // walk answered. The conversion says so in its own words.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kHeld);
  double parity = request.toTwoCurrencies ? request.rate : 0;
  std::vector<OpenPair> written;
  for (TableKind kind : kKinds) {
    const std::string base = TableBaseName(kind, code);
    if (CreateTableOfKind(kind, to + base, true) != 0) {
      why = FillPlaceholder(LoadStr(kWhyCreateRefused), base);
      break;
    }
    OpenPair pair{kind, base, std::make_unique<Table>()};
    Table& destination = *pair.destination;
    if (!destination.OpenExclusive(to + base)) {
      why = FillPlaceholder(LoadStr(kWhyOpenRefused), base);
      break;
    }
    written.push_back(std::move(pair));
    if (!platform::FileExists(platform::ResolvePath(from + base + ".dbf"))) continue;  // new empty table
    Table source;
    if (!OpenSource(source, from, spare, base)) {
      why = FillPlaceholder(LoadStr(kWhyReadRefused), base);
      break;
    }
    if (kind == TableKind::C10) {
      copy.oldStamp = FormatStamp(source);
      if (!request.toTwoCurrencies) {
        parity = StoredParity(source);
        if (!EuroRateInRange(parity)) parity = Val(LoadStr(kDefaultEuroRate));
      }
    }
    bool ok;
    long before = static_cast<long>(destination.RecCount());
    if (source.FieldName(1)[0] != destination.FieldName(1)[0]) {
      long count = 0;
      ok = CopyOlderGeneration(destination, source, count);
      if (ok && kind == TableKind::C10) ok = WriteParity(destination, parity);
    } else {
      ok = CopyTableByFieldNames(destination, source, parity);
    }
    copy.records += static_cast<long>(destination.RecCount()) - before;
    source.CloseTable(true);
    if (reading.ReadRefused()) {
      why = FillPlaceholder(LoadStr(kWhyReadRefused), base);
      break;
    }
    if (!ok) {
      why = FillPlaceholder(LoadStr(kWhyCopyIncomplete), base);
      break;
    }
  }

  if (why.empty() && request.toTwoCurrencies) {
    // The lines first: every total is then written from the lines it counts.
    std::map<std::string, std::pair<long long, long long>> journalTotals;
    LineEuros lineEuros;
    for (OpenPair& p : written) {
      if (p.kind != TableKind::C50 && p.kind != TableKind::C40) continue;
      const bool ok = ConvertEntryLines(*p.destination, request.rate, p.kind == TableKind::C50 ? 'B' : 'C',
                                        &journalTotals, lineEuros);
      if (why.empty() && (!ok || reading.ReadRefused())) why = FillPlaceholder(LoadStr(kWhyEurosIncomplete), p.base);
    }
    EuroSums accountEuros;
    for (OpenPair& p : written)
      if (p.kind == TableKind::C10) accountEuros = AccountSumsWithCollectives(*p.destination, lineEuros.accounts);
    for (OpenPair& p : written) {
      if (p.kind == TableKind::C50 || p.kind == TableKind::C40 || p.kind == TableKind::C10) continue;
      TotalsFromLines totals;
      if (p.kind == TableKind::C20) totals = {p.destination->FieldPos("CDEBITF"), &accountEuros};
      if (p.kind == TableKind::C30) totals = {p.destination->FieldPos("ADEBITF"), &lineEuros.sections};
      const bool ok = ConvertAmountPairs(*p.destination, request.rate, totals);
      if (why.empty() && (!ok || reading.ReadRefused())) why = FillPlaceholder(LoadStr(kWhyEurosIncomplete), p.base);
    }
    for (OpenPair& p : written)
      if (why.empty() && p.kind == TableKind::C10 && !ConvertJournalHeaders(*p.destination, request.rate, journalTotals))
        why = LoadStr(kWhyHeadersIncomplete);
    if (why.empty() && reading.ReadRefused()) why = LoadStr(kWhyHeadersIncomplete);
  }
  copy.tables = static_cast<int>(written.size());
  // A table that does not close cleanly (its last writes not flushed) fails the copy.
  for (OpenPair& p : written)
    if (!p.destination->CloseTable(true) && why.empty()) why = FillPlaceholder(LoadStr(kWhyCloseRefused), p.base);
  if (why.empty() && unread.Any()) why = FillPlaceholder(LoadStr(kWhyUnreadAmounts), UnreadAmountsLinesText(unread));
  return copy;
}

// The converted books checked as a restore and the validation check books: books apart (an older
// backup of two states) fail the conversion; totals that are not those of the lines are named for
// the ReConstruction (*advice).
std::string BooksApartAfterConversion(DossierInvariants& check, std::string* advice) {
  if (!check.Check() && check.Apart())
    return FillPlaceholder(LoadStr(kWhyBooksApart),
                           DossierInvariants::Listed(check.ApartFaults(), check.ApartCount(), kShownFaults));
  *advice = check.TotalsAdvice();
  return "";
}

}  // namespace

ConversionResult ConvertDossier(const ConversionRequest& request) {
  ConversionResult result;
  const std::string code = RTrim(DossierCode.c_str());
  const std::string folder = DossierFolder;
  auto fail = [&](const std::string& why) {
    result.ok = false;
    result.error = why;
    WriteLog(FillPlaceholders(LoadStr(kLogConversionError), {code, why}));
    return result;
  };
  if (request.toTwoCurrencies && !EuroRateInRange(request.rate))
    return fail(FillPlaceholder(LoadStr(kWhyRateOutOfRange), AllTrim(FormatNumber(12, 5, false, request.rate))));

  const auto files = DossierTableFiles(folder, code);
  if (files.empty()) return fail(FillPlaceholder(LoadStr(kWhyNoDossierFile), folder));
  const platform::LocalTime now = platform::GetLocalTime();
  const std::string aside = folder + "conversion-" + LowerAscii(code) + "-" + std::to_string(now.year) +
                            TwoDigits(now.month) + TwoDigits(now.day) + "-" + TwoDigits(now.hour) +
                            TwoDigits(now.minute) + TwoDigits(now.second) + "/";
  // From here on the folder changes: a conversion stopped half-way is named at the next
  // opening, which puts the originals back (the marker lists them) before anything else.
  std::string detail = aside.substr(folder.size());
  for (const fs::path& f : files) detail += "|" + f.filename().string();
  DossierRunMarker marker(BooksReading{}, kConversionRun, LoadStr(kTitleConversionRun), detail);
  if (!marker.written()) return fail(FillPlaceholder(LoadStr(kWhyMarkerRefused), marker.path()));
  std::error_code ec;
  if (!fs::create_directories(platform::DiskPath(aside), ec) || ec)
    return fail(FillPlaceholder(LoadStr(kWhyAsideFolderRefused), aside));
  std::vector<fs::path> moved;
  if (!MoveFiles(files, platform::DiskPath(aside), moved)) {
    std::string why = LoadStr(kWhyOriginalsNotMoved);
    if (moved.empty()) {
      fs::remove_all(platform::DiskPath(aside), ec);
    } else {
      // Originals that did not come back stay in the aside folder, never deleted.
      result.asideFolder = aside;
      result.originalsKept = true;
      why = FillPlaceholders(LoadStr(kMsgOriginalsKeptIn), {why, aside});
    }
    return fail(why);
  }
  result.asideFolder = aside;

  // From here a failure removes what was written and puts the originals back.
  const ConvertedCopy copy = WriteConvertedTables(aside, folder, aside + "sans-index/", code, request);
  std::string why = copy.why;
  result.tables = copy.tables;
  result.records = copy.records;
  const std::string& oldStamp = copy.oldStamp;

  // Books apart (an older backup of two states, restored as it was) are not made the dossier's in
  // the new format: the originals come back.
  if (why.empty()) {
    DossierInvariants check;
    why = BooksApartAfterConversion(check, &result.totalsAdvice);
  }

  // The run's end decided by its marker: one that met an amount that does not read stands not.
  if (why.empty() && !marker.Remove()) why = DossierRunMarkerRemovalRefusal(marker.path());

  if (!why.empty()) {
    // What was written goes; the originals come back.
    for (const fs::path& f : DossierTableFiles(folder, code)) fs::remove(f, ec);
    bool back = true;
    for (const fs::path& m : moved) {
      fs::rename(fs::path(platform::DiskPath(aside)) / m.filename(), m, ec);
      if (ec) back = false;
    }
    if (back) {
      marker.Undone();
      fs::remove_all(platform::DiskPath(aside), ec);
      result.asideFolder.clear();
    } else {
      result.originalsKept = true;
      why = FillPlaceholders(LoadStr(kMsgOriginalsKeptIn), {why, aside});
    }
    return fail(why);
  }

  // The originals stay in their sub-folder: the only copy of the dossier in its old format.
  result.ok = true;
  result.originalsKept = true;
  std::string line =
      FillPlaceholders(LoadStr(kLogConversionDone), {code, oldStamp.empty() ? "?" : oldStamp, kC10FormatStamp});
  if (request.toTwoCurrencies)
    line = FillPlaceholders(LoadStr(kLogConversionRate), {line, AllTrim(FormatNumber(12, 5, false, request.rate))});
  line +=
      FillPlaceholders(LoadStr(kLogConversionCounts), {std::to_string(result.tables), std::to_string(result.records)});
  if (result.originalsKept) line = FillPlaceholders(LoadStr(kLogOriginalsIn), {line, aside});
  WriteLog(line);
  return result;
}

std::string WriteConversionTrial(const std::string& from, const std::string& scratch, const std::string& code) {
  // Its scratch folder's tables only: the dossier's own, beside it, stay closed to it.
  const BooksWritePermit permit(kConversionTrialRun, BooksScope{scratch, code});
  // The opening asks for a rate where the general file is of the older generation or of a format
  // before the euro: the trial takes the default one.
  ConversionRequest request;
  {
    Table c10;
    if (!c10.OpenShared(platform::ResolvePath(from + TableBaseName(TableKind::C10, code) + ".dbf"), "", true))
      return FillPlaceholder(LoadStr(kWhyReadRefused), TableBaseName(TableKind::C10, code));
    const std::string stamp = PadRight(FormatStamp(c10), kC10OldestEuroStamp.size());
    request.toTwoCurrencies = (c10.FieldCount() > 0 && c10.FieldName(1)[0] == 'C') || stamp < kC10OldestEuroStamp;
    request.rate = Val(LoadStr(kDefaultEuroRate));
    c10.CloseTable(true);
  }
  return WriteConvertedTables(from, scratch, scratch + "sans-index/", code, request).why;
}

bool PutBackInterruptedConversion(const std::string& detail) {
  std::vector<std::string> parts;
  for (std::size_t from = 0;;) {
    const std::size_t bar = detail.find('|', from);
    parts.push_back(detail.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
    if (bar == std::string::npos) break;
    from = bar + 1;
  }
  const std::string code = RTrim(DossierCode.c_str());
  const std::string asideName = parts.front();
  if (asideName.empty() || asideName.find('/') != asideName.size() - 1 || asideName.rfind("conversion-", 0) != 0)
    return false;
  const fs::path folder = platform::DiskPath(DossierFolder);
  const fs::path aside = platform::DiskPath(DossierFolder + asideName);
  const std::set<std::string> originals(parts.begin() + 1, parts.end());
  std::error_code ec;
  bool back = true;
  for (const std::string& name : originals) {
    if (name.empty() || name.find('/') != std::string::npos || !fs::exists(aside / name, ec)) continue;
    fs::remove(folder / name, ec);
    fs::rename(aside / name, folder / name, ec);
    if (ec) back = false;
  }
  // The tables the stopped run made for kinds the dossier did not have.
  for (const fs::path& f : DossierTableFiles(DossierFolder, code))
    if (originals.count(f.filename().string()) == 0) fs::remove(f, ec);
  if (back) fs::remove_all(aside, ec);
  WriteLog(back ? FillPlaceholder(LoadStr(kLogPutBackDone), code)
                : FillPlaceholders(LoadStr(kLogPutBackPartly), {code, DossierFolder + asideName}));
  return back;
}
