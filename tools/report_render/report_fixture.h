// Report data in a plain-text fixture, for rendering a template without a dossier's windows
// (the render command, the tests, the benchmarks). One item a line:
//   # a remark
//   VAR DEBIT     M142        a report variable: its 14-character definition
//   CONSTANT 018=;            a dossier constant (three digits, "=", its value)
//   LINE A                    a record begins; its line-type letter
//   DEBIT=1234.56             a value of the current record: NAME=value
// A blank line ends a record. Number and money values are written with a point.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "reports/engine/core/report_owner.h"

namespace reports {

struct FixtureRecord {
  char letter = ' ';
  std::vector<std::pair<std::string, std::string>> values;  // name (upper-case), value
};

struct ReportFixture {
  std::vector<std::string> definitions;
  std::map<int, std::string> constants;
  std::vector<FixtureRecord> records;
};

// False with a French message naming the line when the text is not a fixture.
bool ParseReportFixture(const std::string& text, ReportFixture& fixture, std::string& error);

// A report owner that plays the records of a fixture: its variables are declared from the
// definitions; ComputeLine writes the current record's values, NextRecord steps to the next
// (false after the last, the line type then "Z"), ClassifyLine gives the record's letter.
class FixtureReportOwner : public SimpleReportOwner {
 public:
  explicit FixtureReportOwner(ReportFixture fixture);
  // Declares the variables and stands on the first record (its letter as the line type).
  bool PrepareReport() override;
  void InitReport() override { ++initCalls; }
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;

  const ReportFixture& Fixture() const { return fixture_; }
  std::size_t Position() const { return position_; }
  int initCalls = 0, computeCalls = 0, nextCalls = 0, classifyCalls = 0;

 private:
  ReportFixture fixture_;
  std::size_t position_ = 0;
};

}  // namespace reports
