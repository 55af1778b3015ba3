#include "reports/engine/browse_report_owner.h"

#include "framework/browse.h"

bool BrowseReportOwner::PrepareReport() { return list_.PrepareReport(); }
void BrowseReportOwner::InitReport() { list_.InitReport(); }
void BrowseReportOwner::ComputeLine() { list_.ComputeLine(); }
bool BrowseReportOwner::NextRecord() { return list_.NextRecord(); }
void BrowseReportOwner::ClassifyLine() { list_.ClassifyLine(); }
std::string BrowseReportOwner::GetCodeLabel(const std::string& code) { return list_.GetCodeLabel(code); }
std::string BrowseReportOwner::GetCodeValue(const std::string& code) { return list_.GetCodeValue(code); }
bool BrowseReportOwner::WriteField(Table& table, int field, const std::string& text, std::string& why) {
  return list_.WriteReportField(table, field, text, why);
}

ReportFieldTable& BrowseReportOwner::ReportFields() { return list_.ReportFields(); }
std::string& BrowseReportOwner::ReportCode() { return list_.ReportCode; }
std::string& BrowseReportOwner::LineTypeText() { return list_.LineTypeText; }
std::string BrowseReportOwner::LimitFrom() const { return list_.LimitFrom; }
std::string BrowseReportOwner::LimitTo() const { return list_.LimitTo; }
bool BrowseReportOwner::LimitsAbsent() const { return list_.LimitsMode == kLimitsModeNone; }
long BrowseReportOwner::ListLineCount() const { return list_.ListLineCount; }
std::string BrowseReportOwner::ListTypeText() const { return list_.ChosenLayoutText; }

void BrowseReportOwner::SetListType(char letter) {
  list_.ListTypeLetter = letter;
  list_.ChosenLayoutText = std::string(1, letter);
}

void BrowseReportOwner::SetMargeLib23(int margin) { list_.MargeLib23 = margin < 0 ? 20 : margin; }
