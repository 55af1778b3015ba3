// The keywords or variables the record text editor offers beside three kinds of text that
// other parts of the program read as data: the lines of an entry model, the analytic split or
// transfer reference of an account, and the template of a user-defined report.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "masterdata/core/record_text.h"

namespace masterdata {

// String ids of the lists: a title, then its lines from the next id up to a missing or blank
// one.
inline constexpr int kModelKeywordsTitle = 6000;
inline constexpr int kAnalyticKeywordsTitle = 5990;
inline constexpr int kTransferExampleTitle = 5997;
inline constexpr int kReportKeywordsTitle = 6011;
// The report-specific help: string 6300 holds the last id of the sections that start at 6301.
inline constexpr int kReportHelpLast = 6300;
inline constexpr int kReportHelpFirst = 6301;

struct KeywordList {
  std::string title;
  std::vector<std::string> lines;
  bool Empty() const { return lines.empty(); }
};

// The text of a string id, null when the table has none (the string table by default).
using StringLookup = std::function<const std::string*(int id)>;
const std::string* StringTableText(int id);

// The list of a record type: entry models; accounts by the analytic mode ("1" or "2", else
// none) and the account's first character; report definitions by the report's prefix (the
// code up to its first "-", or the whole code). Empty for every other record.
KeywordList KeywordListFor(const RecordTextType& type, const std::string& code, char analyticMode,
                           const StringLookup& text = StringTableText);

// The report prefix of a report code: up to and including the first "-", the whole
// right-trimmed code without one.
std::string ReportPrefix(const std::string& code);

// A list line as it is inserted: its text before the first tab. Empty for a remark ("//")
// or a blank line, which are not inserted.
std::string InsertableText(const std::string& line);

}  // namespace masterdata
