#include "masterdata/core/chart_reports.h"

#include "data/record_fields.h"
#include "data/table.h"
#include "masterdata/core/chart_records.h"
#include "masterdata/core/code_layouts.h"
#include "masterdata/core/code_values.h"
#include "masterdata/core/masterdata_strings.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/report_fields.h"
#include "runtime/xbase.h"

namespace masterdata {

namespace {

constexpr int kMostCopies = 26;
constexpr int kTextEuros = 2277, kTextFrancs = 2278;

std::string Field(Table& t, int n) { return t.GetField(n); }

}  // namespace

ChartReport::ChartReport(const ChartFile& file, Table& cursor, Table* names, bool euros)
    : file_(file), cursor_(cursor), names_(names), c_(euros ? 1 : 0) {}

bool ChartReport::InRange() {
  if (!cursor_.isOpen || cursor_.eof || cursor_.bof || cursor_.recordNumber == 0) return false;
  const std::string limit = RTrim(to_.c_str());
  return limit.empty() || SliceOf(Field(cursor_, 1), 1, static_cast<int>(limit.size())) <= limit;
}

bool ChartReport::Step(bool first) {
  if (!cursor_.SkipActive(!first)) return false;
  // List type "1": the records with an e-mail address only.
  while (listType_ == '1' && IsBlank(Field(cursor_, file_.emailField)))
    if (!cursor_.SkipActive(true)) return false;
  return InRange();
}

bool ChartReport::Prepare(ReportFieldTable& fields, const std::string& from, const std::string& to, char& listType) {
  to_ = to;
  if (listType != '1' && !(listType >= 'A' && listType <= 'Z')) listType = ' ';
  listType_ = listType;
  lastYearTotal_ = budgetTotal_ = 0;
  const std::string start = RTrim(from.c_str());
  if (!cursor_.isOpen) return false;
  if (start.empty() ? !cursor_.GoTop(file_.codeTag) : !cursor_.FindNotBelow(file_.codeTag, start.c_str()).IsFound())
    return false;
  if (!Step(true)) return false;
  const int n = file_.reportVariables;
  if (!fields.Declared()) {
    fields.SetFieldCount(n * (kMostCopies + 1));
    fields.InitFieldTable();
    const std::string packed = LoadStr(file_.reportDefinitions);
    for (int i = 0; i < n && static_cast<std::size_t>(i + 1) * 14 <= packed.size(); ++i)
      fields.DeclareField(i, packed.substr(static_cast<std::size_t>(i) * 14, 14).c_str());
  }
  if (listType_ >= 'A' && listType_ <= 'Z') fields.DeclareFieldCopies(listType_ - 'A' + 1, n);
  fields.ClearFieldValues();
  fields.SetFieldText(0, LoadStr(c_ == 1 ? kTextEuros : kTextFrancs));
  return true;
}

void ChartReport::ComputeLine(ReportFieldTable& fields) {
  if (listType_ >= 'A' && listType_ <= 'Z') {
    const int k = listType_ - 'A' + 1;
    for (int g = 1; g <= k; ++g) {
      if (InRange()) Fill(fields, g);
      else fields.ClearFieldGroup(g, file_.reportVariables);
      if (g < k && InRange()) Step(false);
    }
    return;
  }
  Fill(fields, 0);
}

bool ChartReport::Next() { return InRange() && Step(false); }

void ChartReport::Fill(ReportFieldTable& fields, int group) {
  const int base = group * file_.reportVariables;
  fields.SetFieldText(base, LoadStr(c_ == 1 ? kTextEuros : kTextFrancs));
  for (int i = 1; i <= 5; ++i) fields.SetFieldText(base + i, Field(cursor_, i).c_str());
  const std::string town = Field(cursor_, 5);
  fields.SetFieldText(base + 6, town.c_str());
  fields.SetFieldText(base + 7, SliceOf(town, 7, static_cast<int>(town.size())).c_str());
  for (int i = 6; i <= 8; ++i) fields.SetFieldText(base + i + 2, Field(cursor_, i).c_str());
  if (file_.Accounts()) FillAccount(fields, base);
  else FillSection(fields, base);
}

void ChartReport::FillAccount(ReportFieldTable& fields, int base) {
  for (int f = c20::kDomiciliation1; f <= c20::kBic; ++f) fields.SetFieldText(base + f + 2, Field(cursor_, f).c_str());
  const std::string code = Field(cursor_, c20::kCode);
  const std::string counterpart = IsAuxiliaryCode(code) ? Field(cursor_, c20::kCounterpart) : std::string(8, ' ');
  fields.SetFieldText(base + 19, counterpart.c_str());
  std::string counterpartName;
  if (!IsBlank(counterpart)) {
    counterpartName = LoadStr(kTextUnknown);
    if (names_ != nullptr && names_->isOpen && SeekChartCode(*names_, AccountsFile(), AccountCode(counterpart)).FoundOrNone() &&
        names_->LiveHere().FoundOrNone())
      counterpartName = Field(*names_, c20::kName);
  }
  fields.SetFieldText(base + 20, counterpartName.c_str());
  fields.SetFieldText(base + 21, LoadStr(Field(cursor_, c20::kBalanceSheet)[0] == 'O' ? kTextYes : kTextNo));
  fields.SetFieldText(base + 22, AnalyticMarkText(code, Field(cursor_, c20::kAnalytic)[0], "").c_str());
  const double lastYear =
      FromCents(StoredAmountOf(cursor_, c20::kLastDebit + c_) - StoredAmountOf(cursor_, c20::kLastCredit + c_));
  const double budget = FromCents(StoredAmountOf(cursor_, c20::kBudget + c_));
  lastYearTotal_ += lastYear;
  budgetTotal_ += budget;
  fields.SetFieldBalance(base + 23, ToCents(lastYear));
  if (AmountsEqual(budget, 0.0)) fields.SetFieldText(base + 24, "");
  else fields.SetFieldBalance(base + 24, ToCents(budget));
  fields.SetFieldNumber(base + 25, lastYearTotal_);
  fields.SetFieldNumber(base + 26, budgetTotal_);
  fields.SetFieldBalance(base + 27, ToCents(lastYearTotal_));
  fields.SetFieldBalance(base + 28, ToCents(budgetTotal_));
}

void ChartReport::FillSection(ReportFieldTable& fields, int base) {
  const double lastYear =
      FromCents(StoredAmountOf(cursor_, c30::kLastDebit + c_) - StoredAmountOf(cursor_, c30::kLastCredit + c_));
  const double budget = FromCents(StoredAmountOf(cursor_, c30::kBudget + c_));
  lastYearTotal_ += lastYear;
  budgetTotal_ += budget;
  fields.SetFieldBalance(base + 11, ToCents(lastYear));
  if (AmountsEqual(budget, 0.0)) fields.SetFieldText(base + 12, "");
  else fields.SetFieldBalance(base + 12, ToCents(budget));
  fields.SetFieldNumber(base + 13, lastYearTotal_);
  fields.SetFieldNumber(base + 14, budgetTotal_);
  fields.SetFieldBalance(base + 15, ToCents(lastYearTotal_));
  fields.SetFieldBalance(base + 16, ToCents(budgetTotal_));
}

}  // namespace masterdata
