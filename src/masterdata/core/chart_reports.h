// The report of the chart of accounts (29 variables) and of the analytic sections (17), over a cursor of their
// own: the live records between the code limits (list type "1": only those with an e-mail address), one record
// per line, or with a list type "A" to "Z" as many records per line as the letter's rank, each in its copy of the
// variables.
#pragma once

#include <string>

#include "masterdata/core/chart_files.h"

class ReportFieldTable;
class Table;

namespace masterdata {

class ChartReport {
 public:
  // `cursor` walks the file in code order; `names` (another cursor on C20, may be null) finds the counterparts'
  // names; `euros`: the currency offset (euro members).
  ChartReport(const ChartFile& file, Table& cursor, Table* names, bool euros);

  // Stands on the first live record at or after `from`; false when there is none up to `to`. Declares the
  // variables on the first run (room for every copy) and clears them; `listType` is the chosen layout's letter:
  // "1" kept, "A" to "Z" declare that many copies, anything else becomes a blank.
  bool Prepare(ReportFieldTable& fields, const std::string& from, const std::string& to, char& listType);
  // The values of the current line: group 0, or groups 1 to k for a list type of rank k (later groups take the
  // next records, groups past the last record are cleared).
  void ComputeLine(ReportFieldTable& fields);
  // The next live record of the report; false at the end.
  bool Next();

  // The number of variables of one group.
  int GroupSize() const { return file_.reportVariables; }

 private:
  bool InRange();
  bool Step(bool first);
  void Fill(ReportFieldTable& fields, int group);
  void FillAccount(ReportFieldTable& fields, int base);
  void FillSection(ReportFieldTable& fields, int base);

  const ChartFile& file_;
  Table& cursor_;
  Table* names_;
  int c_ = 0;
  char listType_ = ' ';
  std::string to_;
  double lastYearTotal_ = 0;
  double budgetTotal_ = 0;
};

}  // namespace masterdata
