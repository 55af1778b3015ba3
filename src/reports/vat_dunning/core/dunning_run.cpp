#include "reports/vat_dunning/core/dunning_run.h"

#include <cstdlib>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table_results.h"
#include "data/unread_amounts.h"
#include "data/write_targets.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/transfer_records.h"
#include "runtime/xbase.h"

namespace dunning {

namespace {

using L = LigneEcriture;
using T = LigneTri;

// The run's refusals, each ending "the transfer file was not written": a file of the dossier that cannot be
// read (%s: its path), the bank of constant 043 not found (%s: the constant), the issuing bank's IBAN or BIC
// and its holder's name (%s: the bank), the temporary file not made (%s: why), an amount too large for the
// file (%s: the account), IBAN or BIC incomplete (%s: the accounts); the SEPA file in euros only.
constexpr int kMsgFileUnreadable = 27022;
constexpr int kMsgBankUnknown = 27005;
constexpr int kMsgIssuerIbanBic = 32813;
constexpr int kMsgIssuerNoHolder = 32814;
constexpr int kMsgTemporaryFile = 27008;
constexpr int kMsgAmountTooLarge = 27012;
constexpr int kMsgAmountNotPositive = 39251;  // the account
constexpr int kMsgIbanBicIncomplete = 32816;
constexpr int kMsgSepaEurosOnly = 27011;
// The file that could not be written (%s: its path, why).
constexpr int kMsgNotWritten = 32409;
// The captions: the run, the transfer file, the SEPA transfers.
constexpr int kCaptionRun = 27001;
constexpr int kCaptionTransferFile = 27007;
constexpr int kCaptionSepa = 3215;
// The log lines of the SEPA file: refused (%s: the file, why), written (%s: the count, the amount, the file,
// the message id).
constexpr int kLogSepaError = 23090;
constexpr int kLogSepaDone = 23807;
// The end of the run: the file written (%s: the file, the count, the amount); the accounts left out (the
// accounts after the text).
constexpr int kMsgTransferFileMade = 27015;
constexpr int kMsgLeftOut = 27014;
constexpr int kEuros = 2277, kFrancs = 2278;

constexpr const char* kDefinitions[DunningRun::kFieldCount] = {
    "EURO      C060", "COMPTEDEBUC080", "COMPTEFIN C080", "DATEDEBUT C080", "DATEFIN   C080", "TESTECHEANC010",
    "LETTRAGES C010", "AVECRELEVEC010", "MONTANTMINM102", "MONTANTSENC010", "CODESLIBELC100", "DATEECHEANC080",
    "DATE30J   C080", "DATE60J   C080", "DATE90J   C080", "COMPTE    C080", "NOMCOMPTE C300", "RUE1      C300",
    "RUE2      C300", "VILLE     C300", "CPOSTAL   C050", "COMMUNE   C240", "TEL       C200", "FAX       C200",
    "EMAIL     C300", "SOLDE     M102", "SOLDEDBCR C020", "SOLDEETOILC160", "SOLDEM30J M102", "SOLDEM60J M102",
    "SOLDEM90J M102", "SOLDEP90J M102", "DATE      C080", "CODELIBELLC070", "LIBELLE   C250", "ECHEANCE  C080",
    "ECHEANCETRC080", "DBCR      C020", "MONTANT   M102", "          N102", "MONTANTM30M102", "MONTANTM60M102",
    "MONTANTM90M102", "MONTANTP90M102", "REF_OU_RESC010", "REFERENCE C200", "RESPONSABLC200", "LIB2_OU_LIC010",
    "LIB2      C250", "LIB3      C250", "TG_MONTANTM102", "TG_MTDBCR C020", "TG_MTM30J M102", "TG_MTM60J M102",
    "TG_MTM90J M102", "TG_MTP90J M102", "VRTS_03_01C800", "VRTS_03_02C800", "VRTS_06_01C800", "VRTS_06_02C800",
    "VRTS_08_01C800", "VRTS_08_02C800", "VRTS_SEPARC010", "BQE_CODE  C040", "BQE_LIBBANC300", "BQE_NOMCOMC300",
    "BQE_IBAN  C340", "BQE_BIC   C110",
};

// Fields of an account record of C20.
constexpr int kName = 2, kStreet1 = 3, kStreet2 = 4, kTown = 5, kPhone = 6, kFax = 7, kMail = 8, kDomiciliation = 9,
              kRibBank = 11, kRibBranch = 12, kRibNumber = 13, kRibKey = 14, kIban = 15, kBic = 16;
// Accounts named in a message.
constexpr long kMostNamed = 20;

std::string Part(const std::string& zone, std::size_t position, std::size_t width) {
  return PadRight(zone.size() >= position ? zone.substr(position - 1) : std::string(), width);
}

std::string Display(const std::string& stored) {
  Ymd d;
  return ParseStoredDate(stored, d) ? DisplayDateOf(d) : std::string();
}

std::string StoredOf(const std::string& display) {
  Ymd d;
  return ParseDisplayDate(display, d) ? StoredDateOf(d) : std::string();
}

void Name(std::string& list, long& count, const std::string& account) {
  if (++count <= kMostNamed) list += "\r\n   " + Trimmed(account);
  else if (count == kMostNamed + 1) list += "\r\n   ...";
}

}  // namespace

const char* DunningRun::Definition(int n) { return n >= 0 && n < kFieldCount ? kDefinitions[n] : ""; }

DunningRun::DunningRun(ReportFieldTable& fields, std::string& sectionCode) : fields_(fields), sectionCode_(sectionCode) {
  fields_.SetFieldCount(kFieldCount);
}

std::string DunningRun::TransferFileName() { return ExportFileName(".xml", "XF"); }

bool DunningRun::OpenCursors() {
  // Each path is copied before the next is made (they share one buffer).
  const struct {
    Table& table;
    std::string path;
    const char* tag;
  } tables[] = {{c10_, PathC10(), "C10CODE"}, {c20_, PathC20(), "C20CODE"}, {c40_, PathC40(), "C40CODE"},
                {c50_, PathC50(), L::kCodeTag}, {c60_, PathC60(), "C60CODE"}};
  for (const auto& t : tables) {
    if (t.table.OpenShared(t.path, t.tag, true)) continue;
    // A table that cannot be read (damaged, or held alone by another station): nothing is run.
    return Refuse(FillPlaceholder(LoadStr(kMsgFileUnreadable), t.path), LoadStr(kCaptionRun));
  }
  return true;
}

void DunningRun::DeclareOrClear() {
  if (fields_.Declared() && fields_.FieldCount() == kFieldCount) {
    fields_.ClearFieldValues();
    return;
  }
  fields_.SetFieldCount(kFieldCount);
  fields_.InitFieldTable();
  for (int i = 0; i < kFieldCount; ++i) fields_.DeclareField(i, kDefinitions[i]);
}

void DunningRun::GiveUpExport() {
  givenUp_ = true;
  if (AbandonExport) AbandonExport();
}

bool DunningRun::Refuse(const std::string& text, const std::string& caption) {
  RuntimeBeep();
  RuntimeMessage(caption.c_str(), text.c_str(), kMbIconStop);
  return false;
}

// ---- preparation ---------------------------------------------------------------------------------------------------

bool DunningRun::ReadBank() {
  const std::string code = Trimmed(TheDossierRecord.Constant(43));
  Lookup bank = code.empty() ? Lookup::NotFound() : c10_.Find("C10CODE", "Q", code.c_str());
  if (bank.IsFound()) bank = c10_.LiveHere();
  // A bank not read is no bank unknown: the file is not written, for that reason.
  if (bank.IsRefused())
    return Refuse(FillPlaceholder(LoadStr(kMsgFileUnreadable), c10_.tablePath), LoadStr(kCaptionTransferFile));
  if (bank.IsNotFound()) {
    return Refuse(FillPlaceholder(LoadStr(kMsgBankUnknown), TheDossierRecord.Constant(43)),
                  LoadStr(kCaptionTransferFile));
  }
  bankCode_ = c10_.GetField(2);
  bankName_ = c10_.GetField(3);
  bankZone4_ = PadRight(c10_.GetField(4), 254);
  bankZone5_ = PadRight(c10_.GetField(5), 254);
  return true;
}

bool DunningRun::CheckDebtor() {
  const std::string code = Trimmed(bankCode_);
  if (!Pain001Writer::IbanFits(Part(bankZone5_, 1, 34)) || !Pain001Writer::BicFits(Part(bankZone5_, 35, 11)))
    return Refuse(FillPlaceholder(LoadStr(kMsgIssuerIbanBic), code), LoadStr(kCaptionSepa));
  if (IsBlank(Part(bankZone4_, 157, 30).c_str()))
    return Refuse(FillPlaceholder(LoadStr(kMsgIssuerNoHolder), code), LoadStr(kCaptionSepa));
  return true;
}

bool DunningRun::PrepareReport() {
  unreadable_.clear();
  EndOfList = false;
  finished_ = false;
  pendingSearch_ = false;
  labelCached_ = false;
  IncompleteRibAccounts.clear();
  IncompleteIbanAccounts.clear();
  leftOut_.clear();
  leftOutCount_ = 0;
  failedAccounts_.clear();
  failedCount_ = 0;
  transferFailed_ = tooWide_ = unreadableRefused_ = givenUp_ = false;
  endSaysUnreadable_ = true;
  transferFile_.clear();
  refusedFile_.clear();
  refusedResult_ = 0;
  transferredCents_ = runningCents_ = 0;
  transferCount_ = 0;
  writer_.Abort();
  OptionsString = PadRight(OptionsString, kOptionsLength);
  if (!OpenCursors()) return false;
  DeclareOrClear();
  fields_.SetFieldText(EURO, LoadStr(AmountsInEuros == 1 ? kEuros : kFrancs));

  if (TransferRun()) {
    // A transfer run lists no statement.
    OptionsString[30] = 'N';
    // The SEPA file carries euros only.
    if (Kind() == 'S' && AmountsInEuros != 1) return Refuse(LoadStr(kMsgSepaEurosOnly), LoadStr(kCaptionSepa));
    if (!ReadBank()) return false;
    if (Kind() == 'S' && !CheckDebtor()) return false;
    fields_.SetFieldText(BQE_CODE, bankCode_.c_str());
    fields_.SetFieldText(BQE_LIBBAN, bankName_.c_str());
    fields_.SetFieldText(BQE_NOMCOM, Part(bankZone4_, 157, 30).c_str());
    fields_.SetFieldText(BQE_IBAN, Part(bankZone5_, 1, 34).c_str());
    fields_.SetFieldText(BQE_BIC, Part(bankZone5_, 35, 11).c_str());
  }
  if (Kind() == 'V') {
    header03_ = transfer_records::Header03(
        bankZone4_, TheDossierRecord.DateDisplay(DossierRecord::DateField::Working), AmountsInEuros == 1);
    fields_.SetFieldText(VRTS_03_01, header03_.substr(0, 80).c_str());
    fields_.SetFieldText(VRTS_03_02, header03_.substr(80).c_str());
    fields_.SetFieldText(VRTS_SEPAR, bankZone4_[209] == 'O' ? "1" : "0");
  }

  fields_.SetFieldText(COMPTEDEBU, Option(1, 8).c_str());
  fields_.SetFieldText(COMPTEFIN, Option(9, 8).c_str());
  fields_.SetFieldText(DATEDEBUT, Display(Option(17, 6)).c_str());
  fields_.SetFieldText(DATEFIN, Display(Option(23, 6)).c_str());
  fields_.SetFieldText(TESTECHEAN, Option(29, 1).c_str());
  fields_.SetFieldText(LETTRAGES, Option(30, 1).c_str());
  fields_.SetFieldText(AVECRELEVE, Option(31, 1).c_str());
  minimumCents_ = ToCents(Val(Option(32, 10).c_str()));
  fields_.SetFieldUnits(MONTANTMIN, minimumCents_);
  fields_.SetFieldText(MONTANTSEN, Option(42, 1).c_str());
  fields_.SetFieldText(CODESLIBEL, RTrim(Option(43, 10).c_str()));

  // The ageing limits from the last date of the run (a dunning letter ages its lines as a
  // schedule does, rather than by the limits of an earlier run).
  DueReferenceDate = Option(23, 6);
  Limits = ComputeAgeingLimits(DueReferenceDate);
  fields_.SetFieldText(DATE30J, Display(Limits.limit30).c_str());
  fields_.SetFieldText(DATE60J, Display(Limits.limit60).c_str());
  fields_.SetFieldText(DATE90J, Display(Limits.limit90).c_str());
  if (Kind() == 'E') {
    // A schedule: its reference date, and the lines of the whole year.
    fields_.SetFieldText(DATEECHEAN, Display(DueReferenceDate).c_str());
    OptionsString.replace(16, 6, PadRight(TheDossierRecord.DateStored(DossierRecord::DateField::YearStart), 6));
    OptionsString.replace(22, 6, PadRight(TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd), 6));
  }

  if (Kind() == 'S') {
    std::string error;
    if (!writer_.Begin(&error))
      return Refuse(FillPlaceholder(LoadStr(kMsgTemporaryFile), error), LoadStr(kCaptionSepa));
  }
  if (!FirstAccount()) {
    writer_.Abort();
    // Nothing listed because a read was refused is said so, never as a run with nothing to list.
    if (RefuseRefusedRead()) return false;
    ShowEmptyReport(LeftOutAccounts().empty() ? "" : (LoadStr(kMsgLeftOut) + leftOut_).c_str());
    return false;
  }
  if (ListMode == '2') sectionCode_ = OptionAt(OptionsString, 31) == 'O' ? "R" : "S";
  else sectionCode_ = OptionAt(OptionsString, 31) == 'O' ? "O" : "N";
  ComputedCount = 0;
  return true;
}

// ---- selection -----------------------------------------------------------------------------------------------------

bool DunningRun::ReadLine(Line& line) {
  std::vector<std::string> v;
  static const std::vector<int> kDraft[2] = {
      {L::BMOIS, L::BJOUR, L::BCLIB, L::BLIB, L::BECHEANCE, L::BSENS, L::BMONTANTF, L::BLIB2, L::BLIB3},
      {L::BMOIS, L::BJOUR, L::BCLIB, L::BLIB, L::BECHEANCE, L::BSENS, L::BMONTANTE, L::BLIB2, L::BLIB3}};
  static const std::vector<int> kClosed[2] = {
      {L::DMOIS, L::DJOUR, L::DCLIB, L::DLIB, L::DECHEANCE, L::DSENS, L::DMONTANTF, L::DLIB2, L::DLIB3},
      {L::DMOIS, L::DJOUR, L::DCLIB, L::DLIB, L::DECHEANCE, L::DSENS, L::DMONTANTE, L::DLIB2, L::DLIB3}};
  std::vector<std::string> t;
  ReadStoredFields(c60_, {T::TFIC, T::TREC}, t);
  const bool draft = !t[0].empty() && t[0][0] == 'B';
  Table& lines = draft ? c50_ : c40_;
  const long recno = std::atol(t[1].c_str());
  // A line not read leaves its account out of the lists; the run says so at its end.
  if (recno <= 0 || !Kept(lines, lines.GoToRecord(recno)).IsFound()) return false;
  const int e = AmountsInEuros == 1 ? 1 : 0;
  ReadStoredFields(lines, draft ? kDraft[e] : kClosed[e], v);
  bool readable = true;
  line.cents = StoredAmountOf(lines, draft ? kDraft[e][6] : kClosed[e][6], &readable);
  line.unreadable = !readable;
  line.file = draft ? T::kDraft : T::kClosed;
  line.recno = static_cast<std::uint32_t>(recno);
  // The piece names such a line only: the others leave it unread.
  line.piece = readable ? std::string() : lines.GetField(draft ? static_cast<int>(L::BPIECE) : static_cast<int>(L::DPIECE));
  line.month = PadRight(v[0], 4);
  line.day = PadRight(v[1], 2);
  line.label = PadRight(v[2], 1);
  line.text = PadRight(v[3], 25);
  line.due = PadRight(v[4], 6);
  line.sense = v[5].empty() ? ' ' : v[5][0];
  line.text2 = PadRight(v[7], 25);
  line.text3 = PadRight(v[8], 25);
  return true;
}

bool DunningRun::SkipZeroLines(int step) {
  if (!c60_.SkipActive(step == 1)) return false;
  while (!c60_.eof) {
    if (ReadLine(line_)) {
      if (line_.cents != 0) return true;
      // A line whose amount does not read is left out as zero, and named when the account takes it.
      if (line_.unreadable && Taken(line_)) unreadable_.push_back({line_.file, line_.recno, line_.piece, Option(1, 8)});
    }
    if (!c60_.SkipActive(true)) return false;
  }
  return false;
}

bool DunningRun::Taken(const Line& l) {
  std::vector<std::string> key;
  ReadStoredFields(c60_, {T::TCODE, T::TMOIS, T::TJOUR}, key);
  if (PadRight(key[0], 8) != Option(1, 8)) return false;
  const std::string first = Option(17, 6), last = Option(23, 6);
  const bool dueTest = OptionAt(OptionsString, 29) != 'N';
  const std::string labels = RTrim(Option(43, 10).c_str());
  const std::string date = PadRight(key[1], 4) + PadRight(key[2], 2);
  return date >= first && date <= last && MatchesLetterFilter() && !(dueTest && !IsBlank(l.due.c_str()) && l.due > last) &&
         (IsBlank(labels.c_str()) || labels.find(l.label[0]) != std::string::npos);
}

bool DunningRun::MatchesLetterFilter() {
  const char filter = OptionAt(OptionsString, 30);
  if (filter == '1') return true;
  if (filter != '2' && filter != '3') return false;
  const bool blank = IsBlank(c60_.GetField(T::TLET + AmountsInEuros));
  return filter == '2' ? blank : !blank;
}

void DunningRun::GrowLines() { AccountLines.emplace_back(); }

bool DunningRun::LoadAccount() {
  AccountBalance = 0;
  balanceCents_ = 0;
  for (long long& b : buckets_) b = 0;
  for (long i = 0; i < AccountLineCount; ++i) AccountLines[static_cast<std::size_t>(i)].clear();
  AccountLineCount = 0;
  LineIndex = 0;
  const std::string account = Option(1, 8);
  std::vector<std::string> key;
  accountRefused_ = false;
  bool more = Kept(c60_, c60_.Find("C60CODE", account.c_str())).IsFound() && SkipZeroLines(0);
  while (more) {
    ReadStoredFields(c60_, {T::TCODE}, key);
    if (PadRight(key[0], 8) != account) break;
    const Line& l = line_;
    if (Taken(l)) {
      balanceCents_ += l.sense == 'D' ? l.cents : -l.cents;
      std::string& entry = AccountLines[static_cast<std::size_t>(AccountLineCount)];
      entry = l.month + l.day + l.label + l.text + l.due + std::string(1, l.sense) +
              AmountText14(FromCents(l.cents)) + l.text2 + l.text3;
      const int bucket = AgeingBucket(l.due, l.month + l.day, Limits);
      buckets_[bucket] += l.sense == 'D' ? l.cents : -l.cents;
      if (AccountLineCount + 1 >= static_cast<long>(AccountLines.size())) GrowLines();
      ++AccountLineCount;
    }
    more = SkipZeroLines(1);
  }
  AccountBalance = static_cast<double>(balanceCents_) / 100.0;

  // An account whose lines were not all read has no balance known: it is in no list.
  bool accepted = balanceCents_ != 0 && !accountRefused_;
  if (accepted && minimumCents_ != 0) {
    const long long absolute = balanceCents_ < 0 ? -balanceCents_ : balanceCents_;
    switch (OptionAt(OptionsString, 42)) {
      case 'D': accepted = balanceCents_ > 0 && absolute >= minimumCents_; break;
      case 'C': accepted = balanceCents_ < 0 && absolute >= minimumCents_; break;
      case 'T': accepted = absolute >= minimumCents_; break;
      default: accepted = false;
    }
  }
  // A transfer pays an account in credit only: one in debit owes the company.
  if (accepted && TransferRun() && balanceCents_ > 0) {
    Name(leftOut_, leftOutCount_, account);
    accepted = false;
  }
  if (!accepted) {
    fields_.SetFieldText(COMPTE, "???");
    return false;
  }
  SetAccountVariables();
  return true;
}

void DunningRun::SetAccountVariables() {
  std::vector<std::string> v;
  ReadStoredFields(c20_, {1, kName, kStreet1, kStreet2, kTown, kPhone, kFax, kMail}, v);
  fields_.SetFieldText(COMPTE, v[0].c_str());
  fields_.SetFieldText(NOMCOMPTE, v[1].c_str());
  fields_.SetFieldText(RUE1, v[2].c_str());
  fields_.SetFieldText(RUE2, v[3].c_str());
  fields_.SetFieldText(VILLE, v[4].c_str());
  fields_.SetFieldText(CPOSTAL, v[4].substr(0, 5).c_str());
  fields_.SetFieldText(COMMUNE, v[4].size() > 6 ? v[4].substr(6).c_str() : "");
  fields_.SetFieldText(TEL, v[5].c_str());
  fields_.SetFieldText(FAX, v[6].c_str());
  fields_.SetFieldText(EMAIL, v[7].c_str());
  const long long absolute = balanceCents_ < 0 ? -balanceCents_ : balanceCents_;
  fields_.SetFieldUnits(SOLDE, absolute);
  fields_.SetFieldText(SOLDEDBCR, balanceCents_ < 0 ? "Cr" : "Db");
  fields_.SetFieldText(SOLDEETOIL, StarredAmount(static_cast<double>(absolute) / 100.0).c_str());
  for (int b = 0; b < 4; ++b) fields_.SetFieldUnits(SOLDEM30J + b, buckets_[b]);
  fields_.SetFieldText(ECHEANCETR, "");
}

bool DunningRun::FirstAccount() {
  AccountBalance = 0;
  balanceCents_ = 0;
  for (auto& e : AccountLines) e.clear();
  AccountLineCount = 0;
  LineIndex = 0;
  const std::string first = Option(1, 8), last = Option(9, 8);
  bool more = c20_.GoTop("C20CODE") && c20_.SkipActive(false);
  while (more && !c20_.eof && PadRight(c20_.GetField(1), 8) < first) more = c20_.SkipActive(true);
  while (more && !c20_.eof) {
    const std::string code = PadRight(c20_.GetField(1), 8);
    if (code > last) break;
    OptionsString.replace(0, 8, code);
    if (LoadAccount()) return balanceCents_ != 0;
    more = c20_.SkipActive(true);
  }
  AccountBalance = 0;
  balanceCents_ = 0;
  return false;
}

bool DunningRun::AccountSearch() {
  AccountBalance = 0;
  balanceCents_ = 0;
  if (tooWide_) return false;
  bool more = c20_.SkipActive(true);
  while (more && !c20_.eof) {
    const std::string code = PadRight(c20_.GetField(1), 8);
    if (code > Option(9, 8)) break;
    OptionsString.replace(0, 8, code);
    if (LoadAccount()) return balanceCents_ != 0;
    more = c20_.SkipActive(true);
  }
  AccountBalance = 0;
  balanceCents_ = 0;
  return false;
}

// ---- the hooks ----------------------------------------------------------------------------------------------------

bool DunningRun::NextRecord() {
  switch (ListMode) {
    case '1': {
      if (!sectionCode_.empty() && sectionCode_[0] == 'E') {
        sectionCode_ = "O";
        if (ClearEndOfData) ClearEndOfData();
      }
      if (AccountSearch()) return true;
      NameUnreadable();
      if (!RefuseRefusedRead() && !RefuseUnreadable() && Kind() == 'S') FinishTransferFile();
      finished_ = true;
      return false;
    }
    case '2':
      EndOfList = !AccountSearch();
      if (EndOfList) {
        NameUnreadable();
        RefuseRefusedRead();
        finished_ = true;
      }
      return false;
    case '4':
      sectionCode_ = "D";
      ListMode = '3';
      LineIndex = 0;
      if (ClearEndOfData) ClearEndOfData();
      return true;
    case '3':
      if (++LineIndex < AccountLineCount) return true;
      if (!sectionCode_.empty() && sectionCode_[0] == 'D') {
        sectionCode_ = "E";
        ListMode = '1';
        // A letter's statement ends its list: the next account is found for the next list,
        // once this one's total has printed.
        if (LayoutKind == '2') {
          ListMode = '2';
          pendingSearch_ = true;
        }
      }
      return false;
    default:
      return false;
  }
}

const std::string& DunningRun::LabelText(char code) {
  if (labelCached_ && code == labelCode_) return labelText_;
  labelCached_ = true;
  labelCode_ = code;
  labelText_ = "    ???";
  Lookup label = Kept(c10_, c10_.Find("C10CODE", "L", std::string(1, code).c_str()));
  if (label.IsFound()) label = Kept(c10_, c10_.LiveHere());
  if (label.IsFound()) labelText_ = Part(c10_.GetField(4), 1, 7);
  // A label not read is asked again at the next line; the run says the refusal at its end.
  if (label.IsRefused()) labelCached_ = false;
  return labelText_;
}

void DunningRun::ComputeStatementLine() {
  if (LineIndex < 0 || LineIndex >= static_cast<long>(AccountLines.size())) return;
  const std::string e = PadRight(AccountLines[static_cast<std::size_t>(LineIndex)], kEntryLength);
  fields_.SetFieldText(DATE, Display(e.substr(0, 6)).c_str());
  fields_.SetFieldText(CODELIBELL, LabelText(e[6]).c_str());
  fields_.SetFieldText(LIBELLE, e.substr(7, 25).c_str());
  const std::string due = e.substr(32, 6);
  fields_.SetFieldText(ECHEANCE, IsBlank(due.c_str()) ? "" : Display(due).c_str());
  if (!IsBlank(due.c_str()) && due > PadRight(StoredOf(Trimmed(fields_.Value(ECHEANCETR))), 6))
    fields_.SetFieldText(ECHEANCETR, Display(due).c_str());
  const bool debit = e[38] == 'D';
  fields_.SetFieldText(DBCR, debit ? "Db" : "Cr");
  const long long cents = StoredAmountCents(e.substr(39, 14));
  fields_.SetFieldUnits(MONTANT, cents);
  const std::string reference = e.substr(53, 20), person = e.substr(73, 20);
  fields_.SetFieldText(REFERENCE, reference.c_str());
  fields_.SetFieldText(RESPONSABL, person.c_str());
  fields_.SetFieldText(REF_OU_RES, IsBlank(reference.c_str()) && IsBlank(person.c_str()) ? "0" : "1");
  const std::string lib2 = e.substr(53, 25), lib3 = e.substr(78, 25);
  fields_.SetFieldText(LIB2, lib2.c_str());
  fields_.SetFieldText(LIB3, lib3.c_str());
  fields_.SetFieldText(LIB2_OU_LI, IsBlank(lib2.c_str()) && IsBlank(lib3.c_str()) ? "0" : "1");
  const int bucket = AgeingBucket(due, e.substr(0, 6), Limits);
  for (int b = 0; b < 4; ++b) fields_.SetFieldUnits(MONTANTM30 + b, b == bucket ? (debit ? cents : -cents) : 0);
  for (int b = 0; b < 4; ++b) fields_.AddField(TG_MTM30J + b, MONTANTM30 + b);
}

void DunningRun::ComputeAccount() {
  runningCents_ += balanceCents_;
  fields_.SetFieldUnits(RUNNING_TOTAL, runningCents_);
  fields_.SetFieldUnits(TG_MONTANT, runningCents_ < 0 ? -runningCents_ : runningCents_);
  fields_.SetFieldText(TG_MTDBCR, runningCents_ < 0 ? "Cr" : "Db");
  if (Kind() == 'V') {
    const std::string rib = PadRight(c20_.GetField(kRibBank), 5) + PadRight(c20_.GetField(kRibBranch), 5) +
                            PadRight(c20_.GetField(kRibNumber), 11) + PadRight(c20_.GetField(kRibKey), 2);
    if (!IsBlank(rib.c_str()) && rib.find(' ') != std::string::npos && IncompleteRibAccounts.size() < 100)
      IncompleteRibAccounts += "\r\n" + Trimmed(Option(1, 8));
    ComputeRecords();
  }
  if (Kind() == 'S') {
    const std::string iban = Trimmed(c20_.GetField(kIban)), bic = Trimmed(c20_.GetField(kBic));
    if ((iban.empty() || iban.find(' ') != std::string::npos || bic.empty() || bic.find(' ') != std::string::npos) &&
        IncompleteIbanAccounts.size() < 100)
      IncompleteIbanAccounts += "\r\n" + Trimmed(Option(1, 8));
    ComputeTransfer();
  }
}

std::string DunningRun::PaymentText(bool record) const {
  const std::string working = TheDossierRecord.DateDisplay(DossierRecord::DateField::Working);
  if (AccountLineCount == 1) {
    const std::string label = PadRight(AccountLines[0], kEntryLength).substr(7, 25);
    return record ? ">" + label + "     " : Trimmed(label);
  }
  const std::string account = Option(1, 8);
  return record ? ")" + PadRight(working, 8) + " " + account + std::string(13, ' ') : working + " " + Trimmed(account);
}

void DunningRun::ComputeRecords() {
  const long long cents = -balanceCents_;
  transfer_records::Detail d;
  d.issuer = transfer_records::IssuerOf(header03_);
  d.account = Option(1, 8);
  d.name = c20_.GetField(kName);
  d.domiciliation = c20_.GetField(kDomiciliation);
  d.branch = c20_.GetField(kRibBranch);
  d.number = c20_.GetField(kRibNumber);
  d.cents = cents;
  d.label = PaymentText(true);
  d.bank = c20_.GetField(kRibBank);
  const std::string r06 = transfer_records::Detail06(d);
  const std::string r08 = transfer_records::Total08(d.issuer, transferredCents_ + cents);
  if (cents <= 0 || r06.empty() || r08.empty()) {
    // No sum to pay (the account search keeps only accounts in credit), or the record cannot hold
    // the amount: the run stops here, with its message, and the records the layout wrote so far
    // are given up with the export (nothing is said to be ready).
    tooWide_ = true;
    for (int v = VRTS_06_01; v <= VRTS_08_02; ++v) fields_.SetFieldText(v, "");
    GiveUpExport();
    Refuse(FillPlaceholder(LoadStr(cents <= 0 ? kMsgAmountNotPositive : kMsgAmountTooLarge), Trimmed(d.account)),
           LoadStr(kCaptionTransferFile));
    return;
  }
  transferredCents_ += cents;
  ++transferCount_;
  fields_.SetFieldText(VRTS_06_01, r06.substr(0, 80).c_str());
  fields_.SetFieldText(VRTS_06_02, r06.substr(80).c_str());
  fields_.SetFieldText(VRTS_08_01, r08.substr(0, 80).c_str());
  fields_.SetFieldText(VRTS_08_02, r08.substr(80).c_str());
}

void DunningRun::ComputeTransfer() {
  const std::string account = Option(1, 8);
  const std::string iban = c20_.GetField(kIban), bic = c20_.GetField(kBic);
  if (!Pain001Writer::IbanFits(iban) || !Pain001Writer::BicFits(bic)) {
    transferFailed_ = true;
    Name(failedAccounts_, failedCount_, account);
    return;
  }
  const long long cents = -balanceCents_;
  const bool notPositive = cents <= 0;
  if (notPositive || cents > transfer_records::kMaxCents || transferredCents_ + cents > transfer_records::kMaxCents) {
    if (!tooWide_) {
      GiveUpExport();
      Refuse(FillPlaceholder(LoadStr(notPositive ? kMsgAmountNotPositive : kMsgAmountTooLarge), Trimmed(account)),
             LoadStr(kCaptionSepa));
    }
    tooWide_ = true;
    return;
  }
  const std::string working = TheDossierRecord.DateDisplay(DossierRecord::DateField::Working);
  Pain001Transfer t;
  t.instructionId = "Virement:" + Pain001Writer::BlockNumber(writer_.Count()) + "-" + working;
  t.endToEndId = Trimmed(account) + " " + PaymentText(false);
  t.cents = cents;
  t.bic = bic;
  t.name = Trimmed(fields_.Value(COMPTE)) + "-" + Trimmed(fields_.Value(NOMCOMPTE));
  t.iban = iban;
  t.remittance = "Vrt:" + PaymentText(false);
  if (writer_.Add(t)) {
    transferredCents_ += cents;
    ++transferCount_;
  }
}

void DunningRun::ComputeLine() {
  if (ListMode == '3') ComputeStatementLine();
  else if (ListMode == '1') ComputeAccount();
  ++ComputedCount;
}

void DunningRun::NameUnreadable() {
  // Some were read as the run was prepared: the report engine writes no export over them.
  for (const UnreadableAmountLine& line : unreadable_) NoteUnreadAmount(line);
  // The window names them when the run ends (EndSaysUnreadable), unless the engine's printout
  // warning came first: said once either way.
  if (WatchingUnreadAmounts()) {
    endSaysUnreadable_ = !UnreadAmountsSaid();
    NoteUnreadAmountsSaid();
  }
}

bool DunningRun::RefuseUnreadable() {
  // An amount too wide has stopped the run and said so already.
  if (!TransferRun() || unreadable_.empty() || tooWide_) return false;
  unreadableRefused_ = true;
  writer_.Abort();
  for (int v = VRTS_06_01; v <= VRTS_08_02; ++v) fields_.SetFieldText(v, "");
  // The layout's export is given up too (the file of kind "S" would have taken its name): the
  // report engine then says nothing more of it.
  GiveUpExport();
  Refuse(UnreadableAmountsFileMessage(unreadable_), LoadStr(Kind() == 'S' ? kCaptionSepa : kCaptionTransferFile));
  return true;
}

const Lookup& DunningRun::Kept(const Table& table, const Lookup& found) {
  if (!found.IsRefused()) return found;
  accountRefused_ = true;
  if (refusedResult_ == 0) {
    refusedFile_ = table.tablePath;
    refusedResult_ = found.result() != 0 ? found.result() : kResultSystemError;
  }
  return found;
}

bool DunningRun::RefuseRefusedRead() {
  if (refusedResult_ == 0 || tooWide_) return false;
  const int result = refusedResult_;
  refusedResult_ = 0;  // said once
  if (!TransferRun()) {
    Refuse(UnreadText(refusedFile_, result), LoadStr(kCaptionRun));
    return true;
  }
  unreadableRefused_ = true;
  writer_.Abort();
  for (int v = VRTS_06_01; v <= VRTS_08_02; ++v) fields_.SetFieldText(v, "");
  GiveUpExport();
  Refuse(FillPlaceholder(LoadStr(kMsgFileUnreadable), refusedFile_), LoadStr(Kind() == 'S' ? kCaptionSepa : kCaptionTransferFile));
  return true;
}

void DunningRun::FinishTransferFile() {
  if (!writer_.Begun()) return;
  if (tooWide_) {
    writer_.Abort();
    return;
  }
  if (transferFailed_) {
    writer_.Abort();
    GiveUpExport();
    Refuse(FillPlaceholder(LoadStr(kMsgIbanBicIncomplete), failedAccounts_), LoadStr(kCaptionSepa));
    return;
  }
  Pain001Debtor debtor;
  debtor.name = Part(bankZone4_, 157, 30);
  debtor.iban = Part(bankZone5_, 1, 34);
  debtor.bic = Part(bankZone5_, 35, 11);
  debtor.paymentInfoId = "Vrts-" + Trimmed(DossierCode) + "-" + Trimmed(TheDossierRecord.Name());
  const std::string working = TheDossierRecord.DateYyyymmdd(DossierRecord::DateField::Working);
  debtor.executionDate =
      working.size() == 8 ? working.substr(0, 4) + "-" + working.substr(4, 2) + "-" + working.substr(6, 2) : "";
  std::string target = TransferTarget ? TransferTarget() : std::string();
  if (target.empty()) target = TransferFileName();
  // Never written over a file of the dossier or of the program.
  std::string error = WriteTargetRefusal(target);
  if (!error.empty() || !writer_.Finish(debtor, target, &error)) {
    // A target refused leaves no temporary file either.
    writer_.Abort();
    GiveUpExport();
    WriteLog(FillPlaceholders(LoadStr(kLogSepaError), {target, error}));
    Refuse(FillPlaceholders(LoadStr(kMsgNotWritten), {target, error}), LoadStr(kCaptionSepa));
    return;
  }
  transferFile_ = target;
  WriteLog(FillPlaceholders(LoadStr(kLogSepaDone), {std::to_string(transferCount_),
                                                   Pain001Writer::AmountText(transferredCents_), target,
                                                   writer_.MessageId()}));
}

bool DunningRun::NextList() {
  if (pendingSearch_) {
    pendingSearch_ = false;
    EndOfList = !AccountSearch();
    if (EndOfList) finished_ = true;
    else sectionCode_ = OptionAt(OptionsString, 31) == 'O' ? "R" : "S";
  }
  return !EndOfList;
}

void DunningRun::Abandon() {
  if (!finished_) writer_.Abort();
}

std::string DunningRun::EndMessage() const {
  std::string text;
  if (!transferFile_.empty())
    text += FillPlaceholders(LoadStr(kMsgTransferFileMade), {transferFile_, std::to_string(transferCount_),
                                                             Pain001Writer::AmountText(transferredCents_)});
  if (!leftOut_.empty()) text += LoadStr(kMsgLeftOut) + leftOut_;
  return text;
}

}  // namespace dunning
