// A prepared report run through the report interpreter without a window, as a preview runs it: its
// layout rendered to the end on a canvas of fixed metrics, its export written under the name the
// test gives. What the tests of the reports' exports share.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/system/cp1252.h"
#include "reports/engine/core/report_canvas.h"
#include "reports/engine/core/report_environment.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/report_owner.h"

namespace test_support {

// A layout as the program ships it (src/resources/reports): kept in UTF-8, read in Windows-1252.
inline std::string ShippedLayout(const std::string& code) {
  std::ifstream in(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/C-Etat-" + code + ".txt", std::ios::binary);
  std::stringstream utf8;
  utf8 << in.rdbuf();
  std::string text;
  EXPECT_TRUE(platform::Utf8ToCp1252(utf8.str(), text, platform::Unassigned::kRefuse)) << code;
  return text;
}

// Prompts are taken as proposed and beeps counted; everything else as the program does it.
class QuietReportEnvironment : public reports::DossierReportEnvironment {
 public:
  QuietReportEnvironment() : DossierReportEnvironment(templates_) {}
  void Beep() override { ++beeps; }
  void Warn(const std::string&, const std::string& text) override { warnings.push_back(text); }
  int beeps = 0;
  std::vector<std::string> warnings;

 private:
  reports::MapTemplateSource templates_;
};

// Runs a prepared report to its end with a layout, its export written to `path` (removed first);
// the export's text, empty when no file was written or the layout could not begin. `pages`, when
// given, receives every record of the preview's pages, a line each; `warnings` the texts of the
// run's warning boxes (the refusal of an export over amounts that do not read among them).
inline std::string RunLayoutToExport(reports::SimpleReportOwner& report, const std::string& layout,
                                     const std::string& path, std::string* pages = nullptr,
                                     std::vector<std::string>* warnings = nullptr) {
  report.exportFileName = path;
  std::filesystem::remove(path);
  QuietReportEnvironment env;
  reports::RenderContext context;
  reports::ReportExportFile file;
  context.exportFile = &file;
  reports::FixedMetricsCanvas canvas;
  reports::ReportInterpreter interpreter(context, canvas, report, env);
  if (!interpreter.BeginListWithTemplate(reports::ListSetup{}, layout)) return {};
  interpreter.RenderToEnd();
  file.Close(context.exportSettings);
  if (warnings != nullptr) *warnings = env.warnings;
  for (int p = 1; pages != nullptr && p <= context.store.PageCount(); ++p) {
    for (const reports::PageRecord& r : *context.store.Page(p)) {
      *pages += std::string(1, r.kind) + " " + std::to_string(r.n1) + " " + std::to_string(r.n2) + " " +
                std::to_string(r.n3) + " " + std::to_string(r.n4) + " " + std::string(r.text) + "\n";
    }
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace test_support
