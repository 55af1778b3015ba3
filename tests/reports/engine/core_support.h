// The report engine's core driven without a window: a started runtime, a fixture owner, an
// environment that answers prompts from a queue and reads text files from memory, a canvas of
// fixed metrics, and readers of the rendered pages (records, or the text as it stands on the
// page's grid) and of the export file.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "report_fixture.h"
#include "reports/engine/core/export_followup.h"
#include "reports/engine/core/report_interpreter.h"
#include "runtime/dossier_record.h"
#include "support/runtime_fixture.h"

namespace test_support {

struct TemplatesHolder {
  reports::MapTemplateSource templates;
};

class TestEnvironment : public TemplatesHolder, public reports::DossierReportEnvironment {
 public:
  TestEnvironment() : DossierReportEnvironment(templates) {}
  bool AskValue(const std::string& format, std::string& value) override {
    prompts.push_back(format + "|" + value);
    if (answers.empty()) return true;
    const auto [ok, text] = answers.front();
    answers.pop_front();
    if (ok) value = text;
    return ok;
  }
  void Beep() override { ++beeps; }
  void Warn(const std::string& caption, const std::string& text) override { warnings.push_back(caption + "|" + text); }
  bool ReadTextFile(const std::string& path, std::string& content) override {
    auto it = files.find(path);
    if (it == files.end()) return DossierReportEnvironment::ReadTextFile(path, content);
    content = it->second;
    return true;
  }
  bool FileExists(const std::string& path) override {
    return files.count(path) != 0 || DossierReportEnvironment::FileExists(path);
  }
  std::string ProgramIni(const std::string& key) override {
    auto it = ini.find(key);
    return it == ini.end() ? std::string() : it->second;
  }
  std::string LocalTime() override { return "10h30"; }
  std::string PrinterName(int which) override { return which == 0 ? "Imprimante" : which == 1 ? "LPT1:" : "pilote"; }
  void StepCursor() override { ++cursorSteps; }

  std::deque<std::pair<bool, std::string>> answers;  // (OK, typed text)
  std::vector<std::string> prompts;                  // "format|proposed"
  std::vector<std::string> warnings;
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> ini;
  int beeps = 0;
  int cursorSteps = 0;
};

// A fixture from variables and records: {"DEBIT     M142", ...}, {{'A', {{"DEBIT", "12.5"}}}, ...}.
inline reports::ReportFixture MakeFixture(std::vector<std::string> definitions,
                                          std::vector<reports::FixtureRecord> records) {
  reports::ReportFixture f;
  f.definitions = std::move(definitions);
  f.records = std::move(records);
  return f;
}

// The dossier of an export test: a "data" folder under `dir`, its exports delimited by ";".
inline std::string ExportDossier(const std::string& dir) {
  const std::string folder = dir + "/data/";
  std::filesystem::create_directories(folder);
  SetDossier(folder, "TST");
  TheDossierRecord.SetConstant(18, ";  ");
  return folder;
}

// One run: a template over a fixture, on a FixedMetricsCanvas (13-pixel fonts: characters 6
// wide, lines 13 high; 80 columns of 9 pixels on a 794 x 1123 page).
class EngineRun {
 public:
  EngineRun(const std::string& templateText, reports::ReportFixture fixture,
            reports::ReportExportFile* file = nullptr)
      : owner(std::move(fixture)), templateText_(templateText) {
    context.exportFile = file != nullptr ? file : &ownFile;
  }
  ~EngineRun() { context.exportFile->Close(context.exportSettings); }

  bool Begin() {
    owner.PrepareReport();
    interpreter = std::make_unique<reports::ReportInterpreter>(context, measurer != nullptr ? *measurer : canvas,
                                                               owner, env);
    return interpreter->BeginListWithTemplate(setup, templateText_);
  }
  // Renders the first page (after Begin).
  reports::PageOutcome First() {
    if (!interpreter && !Begin()) return {};
    return interpreter->RenderPage();
  }
  int ToEnd(int maxPages = 1000) {
    if (!interpreter && !Begin()) return 0;
    return interpreter->RenderToEnd(maxPages);
  }
  const reports::PreviewPage& Page(int n) const {
    static const reports::PreviewPage empty;
    const reports::PreviewPage* p = context.store.Page(n);
    return p != nullptr ? *p : empty;
  }

  reports::FixtureReportOwner owner;
  TestEnvironment env;
  reports::FixedMetricsCanvas canvas;
  reports::TextMeasurer* measurer = nullptr;  // the fixed canvas when none
  reports::RenderContext context;
  reports::ListSetup setup;
  reports::ReportExportFile ownFile;
  std::unique_ptr<reports::ReportInterpreter> interpreter;

 private:
  std::string templateText_;
};

// A run of the interpreter over an owner of the test's own, on the fixed canvas.
struct OwnerRun {
  explicit OwnerRun(reports::ReportOwner& owner) : interpreter(context, canvas, owner, env) {
    context.exportFile = &file;
  }
  TestEnvironment env;
  reports::FixedMetricsCanvas canvas;
  reports::RenderContext context;
  reports::ReportExportFile file;
  reports::ReportInterpreter interpreter;
};

// Records of a page, one a line: kind, the four numbers, the text ("X 1,2,54,13 'abc'").
inline std::string RecordsOf(const reports::PreviewPage& page, const std::string& kinds = "") {
  std::string out;
  for (const reports::PageRecord& r : page) {
    if (!kinds.empty() && kinds.find(r.kind) == std::string::npos) continue;
    out += r.kind;
    out += " " + std::to_string(r.n1) + "," + std::to_string(r.n2) + "," + std::to_string(r.n3) + "," +
           std::to_string(r.n4) + " '" + std::string(r.text) + "'\n";
  }
  return out;
}

// The page's text as it stands on its grid: text records placed by column (x - 1) / 9 on
// their line (y - 2) / 13 (left, centred and right-aligned in their cells), trailing blanks
// cut, lines joined by "\n", the trailing empty lines dropped.
inline std::string TextOf(const reports::PreviewPage& page, int columnWidth = 9, int lineHeight = 13,
                          int charWidth = 6) {
  std::map<int, std::string> lines;
  for (const reports::PageRecord& r : page) {
    if (r.kind != 'X' && r.kind != 'Y' && r.kind != 'Z') continue;
    const int line = (r.n2 - lineHeight / 5) / lineHeight;
    const int cellColumn = (r.n1 - 1) / columnWidth;
    const int cellColumns = r.n3 / columnWidth;
    const int width = static_cast<int>(r.text.size());
    int column = cellColumn;
    if (r.kind == 'Z') column = cellColumn + cellColumns - width;
    if (r.kind == 'Y') column = cellColumn + (cellColumns - width) / 2;
    (void)charWidth;
    if (column < 0) column = 0;
    std::string& l = lines[line];
    if (static_cast<int>(l.size()) < column + width) l.resize(static_cast<std::size_t>(column + width), ' ');
    l.replace(static_cast<std::size_t>(column), r.text.size(), r.text);
  }
  std::string out;
  int next = 0;
  for (const auto& [line, text] : lines) {
    for (; next < line; ++next) out += "\n";
    std::string t = text;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    out += t;
    out += "\n";
    next = line + 1;
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// <build>/test-artefacts/<subject>/<name>, its folder made: files a person looks at.
inline std::string ArtefactPathFor(const std::string& subject, const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts" / subject;
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// od -c style: every byte shown, "\r" and "\n" and "\t" by name.
inline std::string Bytes(const std::string& text) {
  std::string out;
  for (unsigned char ch : text) {
    if (ch == '\r') out += "\\r";
    else if (ch == '\n') out += "\\n";
    else if (ch == '\t') out += "\\t";
    else if (ch < 32 || ch >= 127) {
      char b[8];
      std::snprintf(b, sizeof b, "\\%03o", ch);
      out += b;
    } else {
      out += static_cast<char>(ch);
    }
  }
  return out;
}

}  // namespace test_support
