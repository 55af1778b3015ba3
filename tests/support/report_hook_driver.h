// Plays a list window's report hooks as the template interpreter calls them: the choice dialog's limits, then
// PrepareReport; then ComputeLine, NextRecord and, after a true answer, ClassifyLine, until NextRecord answers
// false. Each computed line is read from the window's ReportFieldTable by variable name.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "framework/browse.h"
#include "runtime/report_fields.h"
#include "runtime/xbase.h"

namespace test_support {

struct ReportHookRun {
  bool prepared = false;                                  // PrepareReport answered true
  std::vector<std::map<std::string, std::string>> lines;  // one per ComputeLine: name -> value as set
  std::vector<std::string> lineTypes;                     // LineTypeText after each ClassifyLine
  std::string lastLineType;                               // LineTypeText once NextRecord answered false
  long lineCount = 0;                                     // the window's ListLineCount at the end
};

// `limit` guards against a NextRecord that never ends.
inline ReportHookRun RunReportHooks(CMDIBrowse& list, const std::string& from = "", const std::string& to = "",
                                    std::size_t limit = 100000) {
  ReportHookRun run;
  list.LimitFrom = from;
  list.LimitTo = to;
  run.prepared = list.PrepareReport();
  if (!run.prepared) return run;
  list.InitReport();
  const ReportFieldTable& fields = list.ReportFields();
  while (run.lines.size() < limit) {
    list.ComputeLine();
    std::map<std::string, std::string> line;
    for (int i = 0; i < fields.FieldCount(); ++i) line[FieldNameOf(fields.Definition(i))] = fields.Value(i);
    run.lines.push_back(std::move(line));
    if (!list.NextRecord()) break;
    list.ClassifyLine();
    run.lineTypes.push_back(list.LineTypeText);
  }
  run.lastLineType = list.LineTypeText;
  run.lineCount = list.ListLineCount;
  return run;
}

// The values of one variable over the lines, right-trimmed.
inline std::vector<std::string> Column(const ReportHookRun& run, const std::string& name) {
  std::vector<std::string> values;
  for (const auto& line : run.lines) {
    auto it = line.find(name);
    values.push_back(it == line.end() ? std::string("<none>") : std::string(RTrim(it->second.c_str())));
  }
  return values;
}

}  // namespace test_support
