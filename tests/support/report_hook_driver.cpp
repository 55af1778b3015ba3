#include "support/report_hook_driver.h"

#include <utility>

#include "framework/browse.h"
#include "runtime/report_fields.h"
#include "runtime/xbase.h"

namespace test_support {

ReportHookRun RunReportHooks(CMDIBrowse& list, const std::string& from, const std::string& to, std::size_t limit) {
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

std::vector<std::string> Column(const ReportHookRun& run, const std::string& name) {
  std::vector<std::string> values;
  for (const auto& line : run.lines) {
    auto it = line.find(name);
    values.push_back(it == line.end() ? std::string("<none>") : std::string(RTrim(it->second.c_str())));
  }
  return values;
}

}  // namespace test_support
