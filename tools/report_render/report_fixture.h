// Report data in a plain-text fixture, for rendering a template without a dossier's windows
// (the render command, the tests, the benchmarks). One item a line:
//   # a remark
//   VAR DEBIT     M142        a report variable: its 14-character definition
//   CONSTANT 018=;            a dossier constant (three digits, "=", its value)
//   DOSSIER 1=Dupont SA       characters of the dossier record from a position ([RS], [Date] ...)
//   LINE A                    a record begins; its line-type letter
//   DEBIT=1234.56             a value of the current record: NAME=value, written when the
//                             record is computed ([TT-Avant])
//   +COMPTE=40100000          a value written as soon as the record becomes the current one
//                             (as the windows' NextRecord sets the account or journal it reaches)
//   PREPARE                   values that follow are those the report's preparation sets for
//                             the whole list (titles, period, options): every record starts
//                             from them
//   END Y                     the line type after the last record (Z when absent); values
//                             that follow come on top of what the report holds once its last
//                             record is passed (the totals that its end computes)
// A blank line ends a record. Number and money values are written with a point.
//
// A fixture may also describe the report family it stands for, for the layouts' checks
// (merlon-report-render --check) and the tests of the reference layouts:
//   FAMILY Relevé de compte   the family's name
//   PREFIX EC-                a report-code prefix of the family (as many as it has)
//   LETTERS ABCKLYZ           the line-type letters its report hooks give
//   LISTTYPES E F             the [TypeListe=] values its window reads (a value ending in "*"
//                             stands for every value that begins with it); none: it reads none
//   READS ModeListe MargeLib23 BLL
//                             the statements only some windows act on that this family's does
//   CODE 010=Label|1234.56    the answers of [BLL:010] / [BLV:010]
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
  std::map<int, std::string> dossier;  // position -> text
  std::vector<FixtureRecord> records;
  // Set by the preparation, under every record's own values.
  FixtureRecord prepare{' ', {}};
  // Past the last record: the line type and the values the report then holds.
  FixtureRecord end{'Z', {}};
  // The family the fixture stands for.
  std::string family;
  std::vector<std::string> prefixes;
  std::string letters;
  std::vector<std::string> listTypes;
  std::vector<std::string> reads;
  std::map<std::string, std::pair<std::string, std::string>> codes;  // code -> label, value
};

// False with a French message naming the line when the text is not a fixture.
bool ParseReportFixture(const std::string& text, ReportFixture& fixture, std::string& error);

// True when the fixture's family reads [TypeListe=value] (the value upper-cased).
bool FamilyReadsListType(const ReportFixture& fixture, const std::string& value);
// True when the fixture's family reads the statement named (case ignored).
bool FamilyReads(const ReportFixture& fixture, const std::string& name);

// A report owner that plays the records of a fixture: its variables are declared from the
// definitions and PrepareReport sets the preparation's values; ComputeLine writes those and
// the current record's values (past the last record: the end's over what it holds, or nothing
// when the end has no values), NextRecord steps to the next (false after the last, the line type then the
// end's letter), ClassifyLine gives the record's letter; [BLL:] and [BLV:] read the codes.
class FixtureReportOwner : public SimpleReportOwner {
 public:
  explicit FixtureReportOwner(ReportFixture fixture);
  // Declares the variables and stands on the first record (its letter as the line type).
  bool PrepareReport() override;
  // The head of a block ([TT-Init]): the current record's values, as a window computes them.
  void InitReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;
  std::string GetCodeLabel(const std::string& code) override;
  std::string GetCodeValue(const std::string& code) override;

  const ReportFixture& Fixture() const { return fixture_; }
  std::size_t Position() const { return position_; }
  int initCalls = 0, computeCalls = 0, nextCalls = 0, classifyCalls = 0;

 private:
  void Write(const FixtureRecord& record);
  // The record's values (those marked "+" alone when `arrivals`).
  void Apply(const FixtureRecord& record, bool arrivals);
  ReportFixture fixture_;
  std::size_t position_ = 0;
};

}  // namespace reports
