// Plays a list window's report hooks as the template interpreter calls them: the choice dialog's limits, then
// PrepareReport; then ComputeLine, NextRecord and, after a true answer, ClassifyLine, until NextRecord answers
// false. Each computed line is read from the window's ReportFieldTable by variable name. The work is in
// report_hook_driver.cpp (merlon_dossier_test_kit).
#pragma once

#include <map>
#include <string>
#include <vector>

class CMDIBrowse;

namespace test_support {

struct ReportHookRun {
  bool prepared = false;                                  // PrepareReport answered true
  std::vector<std::map<std::string, std::string>> lines;  // one per ComputeLine: name -> value as set
  std::vector<std::string> lineTypes;                     // LineTypeText after each ClassifyLine
  std::string lastLineType;                               // LineTypeText once NextRecord answered false
  long lineCount = 0;                                     // the window's ListLineCount at the end
};

// `limit` guards against a NextRecord that never ends.
ReportHookRun RunReportHooks(CMDIBrowse& list, const std::string& from = "", const std::string& to = "",
                             std::size_t limit = 100000);

// The values of one variable over the lines, right-trimmed.
std::vector<std::string> Column(const ReportHookRun& run, const std::string& name);

}  // namespace test_support
