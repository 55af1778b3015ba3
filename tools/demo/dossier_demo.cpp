#include "demo/dossier_demo.h"

#include <algorithm>

#include "data/index_defs.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_structures.h"
#include "demo/dossier_demo_internal.h"
#include "platform/dbase/idapi.h"
#include "platform/system/files.h"
#include "runtime/bank_ids.h"
#include "runtime/numbers.h"

namespace demo {

std::string Fit(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string Digits(long long value, int width) {
  std::string out(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10)
    out[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
  return out;
}

// ------------------------------------------------------------------ raw records in bulk

RecordShape::RecordShape(const dbase::DbfFile& dbf) : length(dbf.recordLength()) {
  for (const dbase::DbfField& f : dbf.fields()) fields.emplace_back(f.offset, f.width);
}

void RecordShape::Cents(std::uint8_t* rec, int field, long long cents) const {
  const auto [offset, width] = fields[static_cast<std::size_t>(field - 1)];
  char tmp[32];
  int p = 32;
  const bool negative = cents < 0;
  unsigned long long v = negative ? static_cast<unsigned long long>(-cents) : static_cast<unsigned long long>(cents);
  tmp[--p] = static_cast<char>('0' + v % 10);
  v /= 10;
  tmp[--p] = static_cast<char>('0' + v % 10);
  v /= 10;
  tmp[--p] = '.';
  do {
    tmp[--p] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (negative) tmp[--p] = '-';
  const int len = 32 - p;
  if (len > width) {
    std::memset(rec + offset, '*', width);
  } else {
    std::memcpy(rec + offset + (width - len), tmp + p, static_cast<std::size_t>(len));
  }
}

dbase::DBIResult BulkWriter::Open(const std::string& path) {
  dbase::DBIResult rc = dbf_.Open(path, true);
  if (rc != dbase::DBIERR_NONE) return rc;
  if (!dbf_.writable()) return dbase::DBIERR_OSACCESS;
  shape_ = std::make_unique<RecordShape>(dbf_);
  buffer_.resize(static_cast<std::size_t>(kChunk) * shape_->length);
  return dbase::DBIERR_NONE;
}

std::uint8_t* BulkWriter::NewRecord() {
  if (pending_ == kChunk) Flush();
  std::uint8_t* rec = buffer_.data() + static_cast<std::size_t>(pending_) * shape_->length;
  std::memset(rec, ' ', shape_->length);
  ++pending_;
  return rec;
}

dbase::DBIResult BulkWriter::Finish() {
  Flush();
  if (status_ == dbase::DBIERR_NONE) status_ = dbf_.TruncateTo(written_);
  dbf_.Close();
  return status_;
}

void BulkWriter::Flush() {
  if (pending_ > 0 && status_ == dbase::DBIERR_NONE) status_ = dbf_.WriteRecords(written_ + 1, pending_, buffer_.data());
  written_ += pending_;
  pending_ = 0;
}

bool RebuildTags(const std::string& path) {
  Table t;
  if (!t.OpenExclusive(path)) return false;
  const bool ok = t.Pack();
  t.CloseTable();
  return ok;
}

}  // namespace demo

int LuhnKey(const std::string& digits) {
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  // Counted from the key that follows, every second digit is doubled, beginning with the last.
  int sum = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    int d = digits[digits.size() - 1 - i] - '0';
    if (i % 2 == 0) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
  }
  return (10 - sum % 10) % 10;
}

namespace {

using namespace demo;

constexpr const char* kCompanyName = "SARL Ateliers Merlon";
constexpr const char* kCompanySiren = "41256738";  // without its key

void Fail(std::string* message, const std::string& text) {
  if (message != nullptr) *message = text;
}

std::string Amount14(long long cents) { return FormatNumber(14, 2, false, static_cast<double>(cents) / 100.0); }

bool Append(Table& t, const std::vector<std::pair<int, std::string>>& fields) {
  if (!t.AppendBlank()) return false;
  for (const auto& [n, text] : fields)
    if (!t.PutField(n, text.c_str())) return false;
  return t.InsertRecord();
}

// The months of the financial year; the first and the last may be cut by its bounds.
std::vector<Period> PeriodsOf(const Ymd& firstDay, const Ymd& lastDay) {
  std::vector<Period> periods;
  Ymd first = firstDay;
  while (DaysFromCivil(first) <= DaysFromCivil(lastDay)) {
    const Ymd nextMonth = first.month == 12 ? Ymd{first.year + 1, 1, 1} : Ymd{first.year, first.month + 1, 1};
    const long end = std::min(DaysFromCivil(nextMonth) - 1, DaysFromCivil(lastDay));
    periods.push_back({first, CivilFromDays(end), StoredDateOf(first).substr(0, 4)});
    first = nextMonth;
  }
  return periods;
}

// The company's identity in the dossier record (record "0" field 4 holds positions 31-284):
// address, SIREN with the establishment number of its SIRET, and APE code.
bool WriteIdentity(Table& c10, const std::string& siren) {
  std::string siret = siren + "0001";
  siret += static_cast<char>('0' + LuhnKey(siret));
  const struct {
    int position, width;
    std::string text;
  } parts[] = {
      {DossierRecord::kAddress1Pos, 30, "Zone artisanale des Pr\xE9s"},
      {DossierRecord::kAddress2Pos, 4, "  12"},
      {DossierRecord::kAddress2Pos + 6, 24, "rue des Forges"},
      {DossierRecord::kPostalCodePos, 5, "37000"},
      {DossierRecord::kTownPos, 24, "Tours"},
      {DossierRecord::kSirenPos, DossierRecord::kSirenWidth, siren},
      {DossierRecord::kEstablishmentPos, DossierRecord::kEstablishmentWidth, siret.substr(9)},
      {DossierRecord::kApePos, DossierRecord::kApeWidth, "2562B"},
  };
  for (const auto& p : parts)
    if (!c10.PutFieldPart(4, p.position - 30, p.width, Fit(p.text, static_cast<std::size_t>(p.width)).c_str()))
      return false;
  return true;
}

bool WriteCodes(const std::string& c10Path, const DemoWriter& w, const std::vector<Period>& periods,
                const std::string& siren, long* headerCount) {
  Table c10;
  if (!c10.OpenShared(c10Path, "C10CODE")) return false;
  bool ok = true;
  // Collectives: customers "C" on 411, suppliers "F" on 401.
  ok = ok && Append(c10, {{1, "B"}, {2, "C"}, {3, "Clients"}, {4, "41100000"}});
  ok = ok && Append(c10, {{1, "B"}, {2, "F"}, {3, "Fournisseurs"}, {4, "40100000"}});
  for (const VatCode& v : kVat)
    ok = ok && Append(c10, {{1, "T"}, {2, std::string(1, v.code)}, {3, v.name},
                            {4, std::string(v.rateText) + "44571000" + "44566000"}});
  for (const JournalDef& j : kJournals) {
    // The journal of the opening balances comes with its opening entry.
    if (&j == &kJournals[kAN] && !w.openingWritten) continue;
    ok = ok && Append(c10, {{1, "J"}, {2, j.code}, {3, j.name},
                            {4, std::string(1, j.type) + j.counterpart + " " + "        " + "      " + "O"}});
  }
  for (const LabelDef& l : kLabels)
    ok = ok && Append(c10, {{1, "L"}, {2, l.code}, {3, l.name}, {4, std::string(l.shortLabel) + l.type}});

  // The bank, with a RIB and an IBAN whose keys are right.
  std::string rib = std::string("30004") + "00825" + "00012345678" + "00";
  const int ribKey = CheckRibKey(rib);
  if (ribKey > 0) rib.replace(21, 2, Digits(ribKey, 2));
  std::string iban = "FR00" + rib;
  const int ibanKey = CheckIban(iban);
  if (ibanKey > 0) iban.replace(2, 2, Digits(ibanKey, 2));
  const std::string bank4 = Fit("12 boulevard des Italiens", 30) + Fit("", 30) + Fit("75009 Paris", 30) +
                            Fit("Service entreprises", 30) + Fit("123456", 6) + Fit("01 40 14 45 46", 15) +
                            Fit("01 40 14 69 00", 15) + Fit(kCompanyName, 30) + rib + "O" +
                            Fit("entreprises@bnp.exemple.fr", 30);
  const std::string bank5 = Fit(iban, 34) + Fit("BNPAFRPPXXX", 11) + "51200000" + "BQ ";
  ok = ok && Append(c10, {{1, "Q"}, {2, "BNP"}, {3, "BNP Paribas"}, {4, bank4}, {5, bank5}});
  ok = ok && WriteCodeLists(c10, siren);

  // Journal-month headers, one per journal-month that has lines: the draft's under "B", the
  // closed file's under "C".
  *headerCount = 0;
  for (std::size_t p = 0; p < periods.size() && ok; ++p) {
    for (int j = 0; j < kJournalCount && ok; ++j) {
      for (const char source : {'C', 'B'}) {
        const Sums& s = (source == 'B' ? w.headers : w.closedHeaders)[p][static_cast<std::size_t>(j)];
        if (s.Empty() || !ok) continue;
        ok = Append(c10, {{1, "C"}, {2, periods[p].monthKey + kJournals[static_cast<std::size_t>(j)].code + source},
                          {3, kJournals[static_cast<std::size_t>(j)].name},
                          {4, Amount14(s.debitF) + Amount14(s.creditF)},
                          {5, Amount14(s.debitE) + Amount14(s.creditE)}});
        ++*headerCount;
      }
    }
  }
  // The next piece number and the identity of the dossier record.
  if (ok && c10.Seek("C10CODE", "0") && c10.GetField(1)[0] == '0') {
    ok = c10.PutFieldPart(4, DossierRecord::kNextPiecePos - 30, DossierRecord::kNextPieceWidth,
                          Digits(w.pieces + 1, 6).c_str()) &&
         WriteIdentity(c10, siren);
  } else {
    ok = false;
  }
  ok = ok && c10.Commit();
  c10.CloseTable();
  return ok;
}

// Builds every tag of the lines and the sort records written in bulk, the table held exclusively.
// Unlike RebuildTags it packs nothing: the cancelled records stay where they are, since the sort
// records point at their lines by number.
bool BuildLineTags(const std::string& path, TableKind kind, bool analyticByAccount) {
  if (dbase::DbiDropProductionIndex(path.c_str()) != dbase::DBIERR_NONE) return false;
  Table t;
  if (!t.OpenExclusive(path)) return false;
  const bool ok = AddTags(t, TagsToBuild(kind, analyticByAccount));
  t.CloseTable();
  return ok;
}

// Removes what the run made of a dossier it could not finish.
void RemoveDossier(const std::string& folder, const std::string& code) {
  for (const std::string& base : DossierTableNames(code))
    for (const char* ext : {".dbf", ".mdx", ".dbt"}) platform::RemoveFile(folder + base + ext);
  std::string lower = code;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  platform::RemoveFile(folder + "c10" + lower + ".ini");
  platform::RemoveFile(folder + "clg" + lower + ".txt");
}

// "" when the options can be generated, else the French message.
std::string CheckOptions(const DemoOptions& o) {
  if (o.lines < kMinDemoLines || o.lines > kMaxDemoLines)
    return "Le nombre de lignes doit \xEAtre compris entre " + std::to_string(kMinDemoLines) + " et " +
           std::to_string(kMaxDemoLines) + ".";
  const long fewest = static_cast<long>(kChart.size()) + RoundingAccountCount(o) + VatAccountCount(o) + 2;
  if (o.accounts != 0 && (o.accounts < fewest || o.accounts > kMaxDemoAccounts))
    return "Le nombre de comptes doit \xEAtre compris entre " + std::to_string(fewest) + " et " +
           std::to_string(kMaxDemoAccounts) + ".";
  if (o.analyticMode != '0' && o.analyticMode != '1' && o.analyticMode != '2')
    return "Le mode analytique doit \xEAtre 0, 1 ou 2.";
  if (!o.siren.empty() && (o.siren.size() != 9 || LuhnKey(o.siren.substr(0, 8)) != o.siren[8] - '0'))
    return "Le num\xE9ro SIREN " + o.siren + " est invalide (9 chiffres dont la cl\xE9).";
  return CheckFinancialYear(o.firstDay, o.lastDay);
}

}  // namespace

bool GenerateDemoDossier(const DemoOptions& options, std::string* message, DemoStats* stats) {
  const std::string problem = CheckOptions(options);
  if (!problem.empty()) {
    Fail(message, problem);
    return false;
  }
  NewDossierSpec spec;
  spec.folder = options.folder;
  spec.code = options.code;
  spec.companyName = kCompanyName;
  spec.firstDay = options.firstDay;
  spec.lastDay = options.lastDay;
  spec.analyticMode = options.analyticMode == '0' ? 'N' : options.analyticMode;
  spec.currency = options.currency;
  if (!CreateDossier(spec, message)) return false;
  // The generator writes the lines, the sort file and the totals of a dossier nobody has opened yet:
  // a run of its own, under its permit for that dossier.
  const BooksWritePermit permit(kDemoRun, BooksScope{options.folder, options.code});

  const std::string folder = (options.folder.empty() || options.folder.back() == '/') ? options.folder : options.folder + "/";
  std::string code = options.code;
  for (char& c : code)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const std::string c10 = folder + TableBaseName(TableKind::C10, code);
  const std::string c20 = folder + TableBaseName(TableKind::C20, code);
  const std::string c30 = folder + TableBaseName(TableKind::C30, code);
  const std::string c40 = folder + TableBaseName(TableKind::C40, code);
  const std::string c50 = folder + TableBaseName(TableKind::C50, code);
  const std::string c60 = folder + TableBaseName(TableKind::C60, code);

  BulkWriter w40, w50, w60;
  if (w40.Open(c40 + ".dbf") != dbase::DBIERR_NONE || w50.Open(c50 + ".dbf") != dbase::DBIERR_NONE ||
      w60.Open(c60 + ".dbf") != dbase::DBIERR_NONE) {
    Fail(message, "Impossible d'ouvrir les fichiers d'\xE9" "critures du dossier " + code + ".");
    RemoveDossier(folder, code);
    return false;
  }
  long customers = std::clamp<long>(options.lines / 200, 20, 2000);
  long suppliers = std::clamp<long>(options.lines / 400, 10, 1000);
  if (options.accounts != 0) {
    const long auxiliaries =
        options.accounts - static_cast<long>(kChart.size()) - RoundingAccountCount(options) - VatAccountCount(options);
    customers = auxiliaries * 2 / 3;
    suppliers = auxiliaries - customers;
  }
  const std::vector<Period> periods = PeriodsOf(options.firstDay, options.lastDay);
  DemoWriter writer(options, w50, w60);
  writer.SetClosedFile(&w40, ClosedPeriods(options, periods.size()));
  writer.MakeAccounts(customers, suppliers);
  writer.MakeSections();
  writer.MakeEntries(periods);
  const std::uint32_t lines = writer.Written();
  if (w40.Finish() != dbase::DBIERR_NONE || w50.Finish() != dbase::DBIERR_NONE ||
      w60.Finish() != dbase::DBIERR_NONE || !WriteMatchings(c50, c40, c60, writer.matchings) ||
      (options.bankStatements &&
       !WriteBankReconciliations(c50, c40, c60, periods, options.currency == DossierCurrency::FrancMain))) {
    Fail(message, "\xC9" "criture impossible des lignes d'\xE9" "critures du dossier " + code + ".");
    RemoveDossier(folder, code);
    return false;
  }
  // The analytic order of C60 as the creation made it, from the new dossier's constant 032.
  const std::string c032 = NewDossierRecord(spec).Constant(32);
  const bool analyticByAccount = !c032.empty() && c032[0] == 'O';
  if (!BuildLineTags(c40, TableKind::C40, analyticByAccount) || !BuildLineTags(c50, TableKind::C50, analyticByAccount) ||
      !BuildLineTags(c60, TableKind::C60, analyticByAccount)) {
    Fail(message, "Construction impossible des index des \xE9" "critures du dossier " + code + ".");
    RemoveDossier(folder, code);
    return false;
  }
  std::string siren = options.siren;
  if (siren.empty()) siren = std::string(kCompanySiren) + static_cast<char>('0' + LuhnKey(kCompanySiren));
  long headerCount = 0;
  if (!WriteCodes(c10, writer, periods, siren, &headerCount) ||
      !WriteChart(c20, writer.accounts, options) || !WriteSections(c30, writer.sections, options) ||
      !WriteSplitTexts(c20, writer.accounts, options.analyticMode == '2' ? 2 : options.analyticMode == '1' ? 1 : 0) ||
      !MarkTransferPayments(c10, c20, c50, periods) || !SpreadDueDates(c50, periods) || !NameThePayingBank(c10) ||
      !MarkReceiptsVat(c50, c60, periods) || (options.vatDetail && !WriteVatDetailCodes(c10)) ||
      !PrepareYearEnd(c10, options)) {
    Fail(message, "\xC9" "criture impossible des codes et des comptes du dossier " + code + ".");
    RemoveDossier(folder, code);
    return false;
  }
  if (stats != nullptr) {
    stats->lines = static_cast<long>(lines);
    stats->analyticLines = writer.analyticLines;
    stats->pieces = writer.pieces;
    stats->accounts = static_cast<long>(writer.accounts.size());
    stats->customers = writer.customers;
    stats->suppliers = writer.suppliers;
    stats->sections = static_cast<long>(writer.sections.size());
    stats->journalMonths = headerCount;
  }
  if (message != nullptr) message->clear();
  return true;
}
