#include "reports/vat_dunning/core/vat_reports.h"

#include <vector>

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/table.h"
#include "data/unread_amounts.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"

namespace vat {

namespace {

using T = LigneTri;

// The currency printed on the reports.
constexpr int kEuros = 2277, kFrancs = 2278;
constexpr int kCaptionAttention = 52;  // "ATTENTION"

std::string Blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// The amount to pay and the credit: the amount and its flag "1", or blank and "0".
void SetResult(ReportFieldTable& f, int amountField, int flagField, long long cents) {
  f.SetFieldText(flagField, "0");
  f.SetFieldText(amountField, Blanks(10).c_str());
  if (cents != 0) {
    f.SetFieldText(flagField, "1");
    f.SetFieldUnits(amountField, cents);
  }
}

const char* const kDebitsDefinitions[DebitsReport::kFieldCount] = {
    "EURO      C060", "MOISDEBUT C050", "MOISFIN   C050", "TOT_4452  M102", "TOT_4457  M102",
    "TOT_44562 M102", "TOT_4456  M102", "TOT_44567 M102", "TOT_445   M102", "TOT_APAYERM102",
    "APAYER    C010", "TOT_CREDITM102", "CREDIT    C010", "NON_IMPOSAM102", "TOT_BRUTE M102", "TOT_DEDUC M102",
};

const char* const kReceiptsDefinitions[ReceiptsReport::kFieldCount] = {
    "EURO      C060", "MOISDEBUT C050", "MOISFIN   C050", "TOT_44562 M102", "TOT_4456  M102",
    "TOT_44567 M102", "TOT_APAYERM102", "APAYER    C010", "TOT_CREDITM102", "CREDIT    C010",
    "TOT_ENCAISM102", "DATE      C080", "JOURNAL   C030", "PIECE     C080", "COMPTE    C080",
    "NOMCOMPTE C300", "CODELIBELLC070", "LIBELLE   C250", "ECHEANCE  C080", "LETTRE    C040",
    "MT_TVA4456M102", "CODE_TVA  C010", "TAUX_TVA  N052", "MT_HTENCAIM102", "MT_TVAENCAM102",
    "MT_TTCENCAM102", "ST_CODE_TVC080", "ST_MT_TVA4M102", "ST_MT_HTENM102", "ST_MT_TVAEM102",
    "ST_MT_TTCEM102", "TG_MT_TVA4M102", "TG_MT_HTENM102", "TG_MT_TVAEM102", "TG_MT_TTCEM102", "TOT_DEDUC M102",
};

void Declare(ReportFieldTable& f, int count, const char* const* definitions) {
  if (!f.Declared() || f.FieldCount() != count) {
    f.SetFieldCount(count);
    f.InitFieldTable();
    for (int n = 0; n < count; ++n) f.DeclareField(n, definitions[n]);
  } else {
    f.ClearFieldValues();
  }
}

}  // namespace

// ---- debits ---------------------------------------------------------------------------------------------------------

const char* DebitsReport::Definition(int n) { return n >= 0 && n < kFieldCount ? kDebitsDefinitions[n] : ""; }

bool DebitsReport::PrepareReport() {
  Declare(fields_, kFieldCount, kDebitsDefinitions);
  fields_.SetFieldText(EURO, LoadStr(Return.euros ? kEuros : kFrancs));
  lineType_ = "A";
  LineCount = 0;
  return true;
}

void DebitsReport::ComputeLine() {
  const DebitsReturn& r = Return;
  // The return was computed before the run: the lines it counted as zero are named to the engine.
  for (const UnreadableAmountLine& line : r.unreadable) NoteUnreadAmount(line);
  fields_.SetFieldText(MOISDEBUT, PadRight(r.startMonth, 5).c_str());
  fields_.SetFieldText(MOISFIN, PadRight(r.endMonth, 5).c_str());
  fields_.SetFieldUnits(NON_IMPOSA, r.nonTaxable);
  fields_.SetFieldUnits(TOT_4452, r.intraCommunity);
  fields_.SetFieldUnits(TOT_4457, r.collected);
  fields_.SetFieldUnits(TOT_44562, r.fixedAssets);
  fields_.SetFieldUnits(TOT_4456, r.otherGoods);
  fields_.SetFieldUnits(TOT_44567, r.previousCredit);
  fields_.SetFieldUnits(TOT_445, r.otherAccounts);
  fields_.SetFieldUnits(TOT_BRUTE, r.collected + r.intraCommunity);
  fields_.SetFieldUnits(TOT_DEDUC, r.fixedAssets + r.otherGoods + r.otherAccounts + r.previousCredit);
  SetResult(fields_, TOT_APAYER, APAYER, r.ToPay());
  SetResult(fields_, TOT_CREDIT, CREDIT, r.Credit());
  ++LineCount;
}

bool DebitsReport::NextRecord() {
  lineType_ = "Z";
  return false;
}

// ---- receipts -------------------------------------------------------------------------------------------------------

const char* ReceiptsReport::Definition(int n) { return n >= 0 && n < kFieldCount ? kReceiptsDefinitions[n] : ""; }

ReceiptsReport::ReceiptsReport(ReportFieldTable& fields, std::string& lineType, Table& c10, Table& c20, Table& c40,
                               Table& c50, Table& c60)
    : fields_(fields), lineType_(lineType), c10_(c10), c20_(c20), walk_(c10, c40, c50, c60) {}

bool ReceiptsReport::Kept() {
  std::vector<std::string> k;
  ReadStoredFields(walk_.c60(), {T::TCODE, T::TJAL}, k);
  const ReceiptClass c = walk_.Classify(k[1], PadRight(k[0], 8));
  if (c == ReceiptClass::NotCounted) return false;
  return c != ReceiptClass::Receipt || (!line_.mark.empty() && line_.mark[0] != ' ');
}

bool ReceiptsReport::PrepareReport() {
  emptyListing_ = false;
  unreadSaid_ = false;
  if (Detailed()) {
    lastAccount_.clear(), lastName_.clear(), lastLabelCode_.clear(), lastLabelText_.clear();
    walk_.SetCollectiveLetters(CollectiveLetters);
    walk_.Forget();
    // Journals or lines not read are said, never a listing with nothing in it.
    if (!walk_.LoadTreasuryJournals()) {
      SayWalkRefused();
      return false;
    }
    walk_.LoadRates();
    walk_.SetPeriod(StoredMonthKey(Return.startMonth), StoredMonthKey(Return.endMonth));
    walk_.SetEuros(Return.euros);
    bool found = walk_.GoFirst() && walk_.NextPeriodLine(0, line_);
    while (found && !Kept()) found = walk_.NextPeriodLine(1, line_);
    if (!found) {
      emptyListing_ = !SayWalkRefused();
      return false;
    }
  }
  Declare(fields_, kFieldCount, kReceiptsDefinitions);
  const ReceiptsReturn& r = Return;
  fields_.SetFieldText(EURO, LoadStr(r.euros ? kEuros : kFrancs));
  fields_.SetFieldText(MOISDEBUT, PadRight(r.startMonth, 5).c_str());
  fields_.SetFieldText(MOISFIN, PadRight(r.endMonth, 5).c_str());
  fields_.SetFieldUnits(TOT_ENCAIS, r.receiptsVat);
  fields_.SetFieldUnits(TOT_44562, r.fixedAssets);
  fields_.SetFieldUnits(TOT_4456, r.otherGoods);
  fields_.SetFieldUnits(TOT_44567, r.previousCredit);
  fields_.SetFieldUnits(TOT_DEDUC, r.fixedAssets + r.otherGoods + r.previousCredit);
  SetResult(fields_, TOT_APAYER, APAYER, r.ToPay());
  SetResult(fields_, TOT_CREDIT, CREDIT, r.Credit());
  std::string key(9, ' ');
  if (Detailed()) {
    std::vector<std::string> k;
    ReadStoredFields(walk_.c60(), {T::TTVA, T::TCODE}, k);
    key = PadRight(k[0], 1) + PadRight(k[1], 8);
  }
  lineType_ = "A" + key + key;
  LineCount = 0;
  return true;
}

bool ReceiptsReport::NextRecord() {
  if (!Detailed()) {
    lineType_ = "Z";
    return false;
  }
  for (;;) {
    if (!walk_.NextPeriodLine(1, line_)) {
      lineType_ = PadRight(lineType_, 19);
      lineType_[0] = 'Z';
      SayWalkRefused();
      return false;
    }
    if (Kept()) break;
  }
  lineType_ = PadRight(lineType_, 19);
  lineType_[0] = 'S';
  return true;
}

void ReceiptsReport::ClassifyLine() {
  std::string& b = lineType_;
  b = PadRight(b, 19);
  b.replace(10, 9, b.substr(1, 9));
  std::vector<std::string> k;
  ReadStoredFields(walk_.c60(), {T::TTVA, T::TCODE}, k);
  b.replace(1, 9, PadRight(k[0], 1) + PadRight(k[1], 8));
  if (b[1] != ' ') b[0] = b[10] != b[1] ? 'R' : 'S';
  else b[0] = b.compare(10, 9, b, 1, 9) != 0 ? 'R' : 'S';
}

std::string ReceiptsReport::Name(const std::string& account) {
  if (account == lastAccount_) return lastName_;
  lastAccount_ = account;
  lastName_ = "???" + Blanks(27);
  Lookup found = c20_.Find("C20CODE", RTrim(account.c_str()));
  if (found.IsFound()) found = c20_.LiveHere();
  if (found.IsFound() && PadRight(c20_.GetField(1), 8) == account) lastName_ = PadRight(c20_.GetField(2), 30);
  if (found.IsRefused()) {
    SayUnread(UnreadText(c20_.tablePath, found.result()));
    lastAccount_.clear();
  }
  return lastName_;
}

std::string ReceiptsReport::LabelText(const std::string& code) {
  if (code == lastLabelCode_) return lastLabelText_;
  lastLabelCode_ = code;
  lastLabelText_ = "???" + Blanks(4);
  const int width = c10_.isOpen ? c10_.FieldWidth(2) : 14;
  const std::string key = PadRight(code, static_cast<std::size_t>(width));
  Lookup found = c10_.Find("C10CODE", "L", key.c_str());
  if (found.IsFound()) found = c10_.LiveHere();
  if (found.IsFound() && PadRight(c10_.GetField(1), 1) == "L" &&
      PadRight(c10_.GetField(2), static_cast<std::size_t>(width)) == key)
    lastLabelText_ = PadRight(c10_.GetField(4), 7);
  if (found.IsRefused()) {
    SayUnread(UnreadText(c10_.tablePath, found.result()));
    lastLabelCode_.clear();
  }
  return lastLabelText_;
}

void ReceiptsReport::SayUnread(const std::string& text) {
  if (unreadSaid_) return;
  unreadSaid_ = true;
  RuntimeBeep(0);
  RuntimeMessage(LoadStr(kCaptionAttention), text.c_str(), kMbIconStop);
}

bool ReceiptsReport::SayWalkRefused() {
  if (!walk_.Refused()) return false;
  SayUnread(walk_.RefusedText());
  return true;
}

void ReceiptsReport::ComputeLine() {
  for (const UnreadableAmountLine& line : Return.unreadable) NoteUnreadAmount(line);
  if (!Detailed()) {
    ++LineCount;
    return;
  }
  if (!lineType_.empty() && lineType_[0] == 'R') {
    fields_.SetFieldText(ST_CODE_TV, "");
    for (int n : {ST_MT_TVA4, ST_MT_HTEN, ST_MT_TVAE, ST_MT_TTCE}) fields_.SetFieldUnits(n, 0);
  }
  for (int n : {MT_TVA4456, MT_HTENCAI, MT_TVAENCA, MT_TTCENCA}) fields_.SetFieldUnits(n, 0);
  fields_.SetFieldNumber(TAUX_TVA, 0);
  fields_.SetFieldText(CODE_TVA, " ");
  std::vector<std::string> k;
  ReadStoredFields(walk_.c60(), {T::TCODE, T::TJAL}, k);
  const bool receipt = walk_.Classify(k[1], PadRight(k[0], 8)) == ReceiptClass::Receipt;
  VatLine& l = line_;
  if (walk_.ReadCurrent(l)) {
    fields_.SetFieldText(COMPTE, l.account.c_str());
    fields_.SetFieldText(NOMCOMPTE, Name(l.account).c_str());
    fields_.SetFieldText(CODELIBELL, LabelText(l.labelCode).c_str());
    Ymd d;
    fields_.SetFieldText(DATE, ParseStoredDate(l.month + l.day, d) ? DisplayDateOf(d).c_str() : "");
    fields_.SetFieldText(JOURNAL, l.journal.c_str());
    fields_.SetFieldText(PIECE, ("(" + l.piece + ")").c_str());
    fields_.SetFieldText(LIBELLE, l.label.c_str());
    fields_.SetFieldText(ECHEANCE, ParseStoredDate(l.due, d) ? DisplayDateOf(d).c_str() : "");
    fields_.SetFieldText(LETTRE, l.letter.c_str());
    if (receipt) {
      const long long ttc = l.sense == 'D' ? -l.cents : l.cents;
      fields_.SetFieldUnits(MT_TTCENCA, ttc);
      const double rate = walk_.RateOf(l.mark);
      if (rate != 0) fields_.SetFieldText(CODE_TVA, l.mark.c_str());
      fields_.SetFieldNumber(TAUX_TVA, rate);
      const long long tva = VatContained(ttc, rate);
      fields_.SetFieldUnits(MT_TVAENCA, tva);
      fields_.SetFieldUnits(MT_HTENCAI, ttc - tva);
    } else {
      fields_.SetFieldUnits(MT_TVA4456, l.sense == 'C' ? -l.cents : l.cents);
    }
  }
  const std::string code = fields_.Value(CODE_TVA);
  fields_.SetFieldText(ST_CODE_TV, (!IsBlank(code) ? "Tva " + code : fields_.Value(COMPTE)).c_str());
  const int lines[4] = {MT_TVA4456, MT_HTENCAI, MT_TVAENCA, MT_TTCENCA};
  const int subtotals[4] = {ST_MT_TVA4, ST_MT_HTEN, ST_MT_TVAE, ST_MT_TTCE};
  const int totals[4] = {TG_MT_TVA4, TG_MT_HTEN, TG_MT_TVAE, TG_MT_TTCE};
  for (int i = 0; i < 4; ++i) {
    fields_.AddField(subtotals[i], lines[i]);
    fields_.AddField(totals[i], lines[i]);
  }
  ++LineCount;
}

}  // namespace vat
