#include "reports/ledgers/core/centralising_summary.h"

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/stored_fields.h"
#include "data/table.h"
#include "reports/ledgers/core/ledger_strings.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace ledgers {

namespace {

// The preview's title, the journal's state (draft or closed).
constexpr int kPreviewTitle = 32811;  // "Visualisation: Récapitulatif Centralisateur"
constexpr int kDraft = 16001;         // "Brouillard"
constexpr int kClosed = 23413;        // "Clôturé   "

const std::vector<std::string>& Definitions() {
  static const std::vector<std::string> d{
      "EURO      C060", "MOIS      C020", "ANNEE     C020", "JOURNAL   C030", "JAL       C050", "TYPE      C100",
      "NOMJOURNALC300", "DEBIT     M142", "CREDIT    M142", "SOLDE     C170", "TM_RUPTUREC050", "TM_DEBIT  M142",
      "TM_CREDIT M142", "TM_SOLDE  C170", "TG_DEBIT  M142", "TG_CREDIT M142", "TG_SOLDE  C170", "DEBITF    M142",
      "CREDITF   M142", "SOLDEF    C170", "TM_DEBITF M142", "TM_CREDITFM142", "TM_SOLDEF C170", "TG_DEBITF M142",
      "TG_CREDITFM142", "TG_SOLDEF C170", "DEBITE    M142", "CREDITE   M142", "SOLDEE    C170", "TM_DEBITE M142",
      "TM_CREDITEM142", "TM_SOLDEE C170", "TG_DEBITE M142", "TG_CREDITEM142", "TG_SOLDEE C170", "SOLDEMT   M142",
      "SOLDEDC   C020", "TM_SOLDEMTM142", "TM_SOLDEDCC020", "TG_SOLDEMTM142", "TG_SOLDEDCC020", "SOLDEFMT  M142",
      "SOLDEFDC  C020", "TM_SLDFMT M142", "TM_SLDFDC C020", "TG_SLDFMT M142", "TG_SLDFDC C020", "SOLDEEMT  M142",
      "SOLDEEDC  C020", "TM_SLDEMT M142", "TM_SLDEDC C020", "TG_SLDEMT M142", "TG_SLDEDC C020"};
  return d;
}

// The first 28 characters of a totals field hold something.
bool Filled(const std::string& zone) { return !BlankText(zone.substr(0, std::min<std::size_t>(28, zone.size()))); }

std::string Part(const std::string& text, std::size_t at, std::size_t n) {
  return at < text.size() ? text.substr(at, n) : std::string();
}

}  // namespace

CentralisingSummary::CentralisingSummary(const LedgerTables& tables)
    : LedgerReport(tables), amountsInEuros(TheDossierRecord.At(DossierRecord::kEuroMainPos) == 'N' ? 0 : 1) {}

std::string CentralisingSummary::PreviewTitle() const {
  return LoadStr(kPreviewTitle);
}

bool CentralisingSummary::HasRecords() {
  Table& c10 = *tables_.c10;
  if (!c10.isOpen) return false;
  const Lookup first = c10.Find("C10CODE", "C");
  // Headers not read are no headers missing: the report looks again and says the refusal.
  if (first.IsRefused()) return true;
  return first.IsFound() && c10.SkipActive(false) && c10.GetField(1)[0] == 'C';
}

void CentralisingSummary::Restore() {
  Table& c10 = *tables_.c10;
  if (c10.tag == "C10CODE" && !c10.eof && c10.recordNumber == recno_) return;
  // Another window moved the general file: the walk finds its record again by its key.
  // Not read, the walk stands nowhere and ends: the report says the refusal at its end.
  if (!Kept(c10, c10.Find("C10CODE", ("C" + code_).c_str())).IsFound()) return;
  for (bool more = true; more && c10.recordNumber != recno_; more = c10.Skip(1)) {
  }
}

bool CentralisingSummary::Walk(bool step) {
  Table& c10 = *tables_.c10;
  bool on = c10.SkipActive(step);
  const char choice = optionsText.empty() ? ' ' : optionsText[0];
  while (on) {
    if (c10.GetField(1)[0] != 'C') return false;
    if (!LiveOrSaid(c10).IsFound()) return false;
    std::vector<std::string> f;
    ReadStoredFields(c10, {2, 4, 5}, f);
    if (ConstantIs(31, 'O')) {
      const std::string working = TheDossierRecord.DateStored(DossierRecord::DateField::Working);
      if (f[0].substr(0, 4) > working.substr(0, 4)) return false;
    }
    bool accepted = false;
    switch (choice) {
      case 'E': accepted = Filled(f[2]); break;
      case 'F': accepted = Filled(f[1]); break;
      case 'M': accepted = TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N' ? Filled(f[2]) : Filled(f[1]); break;
      default: accepted = Filled(f[1]) || Filled(f[2]); break;
    }
    if (accepted) {
      code_ = f[0];
      recno_ = c10.recordNumber;
      return true;
    }
    on = c10.SkipActive(true);
  }
  return false;
}

bool CentralisingSummary::PrepareReport() {
  Table& c10 = *tables_.c10;
  ForgetUnreadable();
  if (!c10.isOpen || !Kept(c10, c10.Find("C10CODE", "C")).IsFound() || !Walk(false)) {
    ShowNothing("");
    return false;
  }
  DeclareFields(Definitions());
  const char choice = optionsText.empty() ? ' ' : optionsText[0];
  const bool euroMain = TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N';
  switch (choice) {
    case 'E':
      SetText(EURO, LoadStr(kStrEuros));
      amountsInEuros = 1;
      break;
    case 'F':
      SetText(EURO, LoadStr(kStrFrancs));
      amountsInEuros = 0;
      break;
    case 'M':
      amountsInEuros = euroMain ? 1 : 0;
      SetText(EURO, LoadStr(euroMain ? kStrEuros : kStrFrancs));
      break;
    default:
      SetText(EURO, "F^et^E");
      amountsInEuros = euroMain ? 1 : 0;
      break;
  }
  month_ = code_.substr(0, 4);
  lineType = "A" + month_ + month_;
  lineCount = 0;
  return true;
}

bool CentralisingSummary::NextRecord() {
  Restore();
  if (!Walk(true)) {
    if (lineType.empty()) lineType = " ";
    lineType[0] = 'Z';
    SayUnreadable();
    return false;
  }
  return true;
}

void CentralisingSummary::ClassifyLine() {
  if (lineType.size() < 9) lineType.resize(9, ' ');
  lineType.replace(5, 4, lineType.substr(1, 4));
  lineType.replace(1, 4, code_.substr(0, 4));
  lineType[0] = lineType.compare(1, 4, lineType, 5, 4) != 0 ? 'R' : 'S';
}

void CentralisingSummary::Amounts(int zoneField, int debit, int monthDebit, int totalDebit, int pairs) {
  Table& c10 = *tables_.c10;
  // The zone as stored, NUL bytes and all: a total that does not read counts as zero, its
  // journal-month named at the end.
  const std::string_view zone = StoredFields(c10, {zoneField})[0];
  auto part = [&zone](std::size_t at) { return at < zone.size() ? zone.substr(at, 14) : std::string_view(); };
  bool readable = true;
  const Cents d = StoredAmountCents(part(0), &readable), c = StoredAmountCents(part(14), &readable);
  if (!readable)
    NoteUnreadable({UnreadableAmountLine::kJournalMonthRecord, c10.recordNumber, "",
                    std::string(RTrim(Part(code_, 4, 3).c_str())) + " " + Part(code_, 2, 2) + "/" +
                        DecodeYear(Part(code_, 0, 2).c_str())});
  SetCents(debit, d);
  SetCents(debit + 1, c);
  Balance(debit, debit + 1, debit + 2, pairs, pairs + 1);
  AddCents(monthDebit, d);
  AddCents(monthDebit + 1, c);
  Balance(monthDebit, monthDebit + 1, monthDebit + 2, pairs + 2, pairs + 3);
  AddCents(totalDebit, d);
  AddCents(totalDebit + 1, c);
  Balance(totalDebit, totalDebit + 1, totalDebit + 2, pairs + 4, pairs + 5);
}

void CentralisingSummary::ComputeLine() {
  Restore();
  if (!lineType.empty() && lineType[0] == 'R')
    for (int field : {TM_DEBIT, TM_CREDIT, TM_DEBITF, TM_CREDITF, TM_DEBITE, TM_CREDITE}) SetCents(field, 0);
  Table& c10 = *tables_.c10;
  const std::string code = code_;
  const std::string journal = Part(code, 4, 3);
  const bool draft = Part(code, 7, 1) == "B";
  SetText(MOIS, Part(code, 2, 2));
  SetText(ANNEE, DecodeYear(Part(code, 0, 2).c_str()));
  SetText(JOURNAL, journal);
  SetText(JAL, draft ? "(" + std::string(RTrim(journal.c_str())) + ")" : journal + " ");
  SetText(TYPE, LoadStr(draft ? kDraft : kClosed));
  SetText(NOMJOURNAL, c10.GetField(3));
  SetText(TM_RUPTURE, Part(code, 2, 2) + "/" + DecodeYear(Part(code, 0, 2).c_str()));
  Amounts(4 + amountsInEuros, DEBIT, TM_DEBIT, TG_DEBIT, SOLDEMT);
  Amounts(4, DEBITF, TM_DEBITF, TG_DEBITF, SOLDEFMT);
  Amounts(5, DEBITE, TM_DEBITE, TG_DEBITE, SOLDEEMT);
  ++lineCount;
}

}  // namespace ledgers
