// Every list window and report window (CMDIBrowse) as the owner of a report run: the
// interpreter's hooks go to the window's own report hooks, its state to the window's report
// fields; what the window does not keep (the text-lines flag, the list mode, the page counter)
// the adapter keeps for the run.
#pragma once

#include <string>

#include "reports/engine/core/report_owner.h"

class CMDIBrowse;

// The limits mode of a window that has no code range (the chart of accounts in name order);
// any other mode asks for a range of codes of the window's key width.
constexpr int kLimitsModeNone = 1;

class BrowseReportOwner : public reports::ReportOwner {
 public:
  explicit BrowseReportOwner(CMDIBrowse& list) : list_(list) {}

  bool PrepareReport() override;
  void InitReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;
  std::string GetCodeLabel(const std::string& code) override;
  std::string GetCodeValue(const std::string& code) override;
  bool WriteField(Table& table, int field, const std::string& text, std::string& why) override;

  ReportFieldTable& ReportFields() override;
  std::string& ReportCode() override;
  std::string& LineTypeText() override;
  std::string LimitFrom() const override;
  std::string LimitTo() const override;
  bool LimitsAbsent() const override;
  long ListLineCount() const override;
  std::string ListTypeText() const override;
  void SetListType(char letter) override;
  void SetListMode(char letter) override { listMode_ = letter; }
  void SetTextLines(bool on) override { textLines_ = on; }
  void SetMargeLib23(int margin) override;
  int PageNumberOffset() const override { return pageNumberOffset_; }
  void SetReportPage(long page) override { reportPage_ = page; }

  CMDIBrowse& List() const { return list_; }
  char ListMode() const { return listMode_; }
  bool TextLines() const { return textLines_; }
  long ReportPage() const { return reportPage_; }
  void SetPageNumberOffset(int offset) { pageNumberOffset_ = offset; }

 private:
  CMDIBrowse& list_;
  char listMode_ = ' ';
  bool textLines_ = false;
  int pageNumberOffset_ = 0;
  long reportPage_ = 0;
};
