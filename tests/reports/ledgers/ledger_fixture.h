// The ledger reports' core driven without a window: a started runtime and engine session, a
// dossier made the program's (generated, or built line by line for the cases of the options)
// with its tables open in the program-wide objects as the report windows open them and its
// whole dossier record loaded; a report run through the interpreter to its export with a layout
// of data/ on a canvas of fixed metrics, as the windows will run it; and the independent reader
// of the dossier's files (data/ledger_figures.py, python3-dbfread).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/index_defs.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_structures.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_create.h"
#include "platform/dbase/idapi.h"
#include "platform/system/cp1252.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/ledger_report.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "support/csv_cells.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "support/python.h"
#include "support/report_export_run.h"
#include "support/runtime_fixture.h"

namespace ledgers_test {

// The layouts and the reader beside this file.
inline std::string DataPath(const std::string& name) {
  return std::string(MERLON_SOURCE_DIR) + "/tests/reports/ledgers/data/" + name;
}
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
using test_support::ShippedLayout;
// <build>/test-artefacts/ledgers/<test>-<name>: named after the running test, since the tests of
// one fixture run side by side in their own processes and would otherwise share a file.
inline std::string ArtefactPath(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts" / "ledgers";
  std::filesystem::create_directories(folder);
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return (folder / (test != nullptr ? std::string(test->name()) + "-" + name : name)).string();
}

using QuietEnvironment = test_support::QuietReportEnvironment;

// Runs a prepared report to its end with a layout, its export written to `path`; the export's
// text (empty when no file was written or the layout could not begin). `pages`, when given,
// receives every record of the preview's pages, a line each.
inline std::string RunToExport(ledgers::LedgerReport& report, const std::string& layout, const std::string& path,
                               std::string* pages = nullptr, std::vector<std::string>* warnings = nullptr) {
  return test_support::RunLayoutToExport(report, layout, path, pages, warnings);
}


// An exported amount ("1234,50", "-3,00", "" for nothing) in cents.
inline long long CellCents(const std::string& cell) {
  std::string t;
  for (char c : cell)
    if (c != ' ') t += c == ',' ? '.' : c;
  return t.empty() ? 0 : ToCents(Val(t.c_str()));
}

// Where two row lists part first.
inline std::string FirstDifference(const std::vector<std::string>& got, const std::vector<std::string>& want) {
  std::size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  if (i == got.size() && i == want.size()) return "";
  return "row " + std::to_string(i) + ": got '" + (i < got.size() ? got[i] : "<end>") + "', expected '" +
         (i < want.size() ? want[i] : "<end>") + "' (" + std::to_string(got.size()) + " rows, " +
         std::to_string(want.size()) + " expected)";
}

class LedgerCoreTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char* text, unsigned) {
      Messages().push_back(text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    Messages().clear();
    ASSERT_EQ(StartDbSession(), 0);
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetDossierIniPath("");
    TheDossierRecord.Clear();
    RuntimeTest::TearDown();
  }

  static std::vector<std::string>& Messages() {
    static std::vector<std::string> m;
    return m;
  }

  // Generates a demo dossier in Dir()/<folder> and makes it the program's.
  void OpenDemo(DemoOptions options, const std::string& folder = "demo") {
    options.folder = Dir() + "/" + folder;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    OpenDossier(options.folder + "/", options.code);
  }

  // A generated July-June year in euros, its first months closed, its lines matched.
  void OpenYearDemo(const std::string& code, int lines) {
    DemoOptions o;
    o.code = code;
    o.lines = lines;
    o.firstDay = {2025, 7, 1};
    o.lastDay = {2026, 6, 30};
    o.currency = DossierCurrency::EuroMain;
    o.closedMonths = -1;
    o.matchings = true;
    OpenDemo(o);
  }

  // The dossier made the program's: its tables open as a report window opens them, its INI
  // named, its whole record (constants included) loaded.
  void OpenDossier(const std::string& folder, const std::string& code) {
    CloseAllTables();
    SetDossier(folder, code);
    SetDossierIniPath(PathC10(".ini"));
    ASSERT_TRUE(ledgers::OpenLedgerTables(ledgers::ProgramLedgerTables(), 0));
    LoadDossierRecord();
  }

  void LoadDossierRecord() {
    Table& c10 = *TableC10;
    DossierRecord::C10Texts texts;
    ASSERT_TRUE(c10.Seek("C10CODE", "0"));
    texts.record0Field3 = c10.GetField(3);
    texts.record0Field4 = c10.GetField(4);
    texts.record0Field5 = c10.GetField(5);
    texts.record0Field6 = c10.GetField(6);
    ASSERT_TRUE(c10.Seek("C10CODE", "P", "0"));
    texts.p0Field4 = c10.GetField(4);
    texts.p0Field5 = c10.GetField(5);
    TheDossierRecord.LoadFromC10(texts);
  }

  // A dossier constant, in the record the reports read and in the dossier's general file.
  void SetConstant(int n, const std::string& value) {
    TheDossierRecord.SetConstant(n, value);
    Table& c10 = *TableC10;
    ASSERT_TRUE(c10.Seek("C10CODE", "P", "0"));
    std::string padded = value;
    padded.resize(3, ' ');
    ASSERT_TRUE(c10.PutFieldPart(4, 3 * n - 2, 3, padded.c_str()));
  }

  // The general ledger of the options through the export layout of data/, written to the artefact
  // `name`; "" when it has nothing to show.
  std::string GeneralLedgerCsv(const ledgers::GeneralLedgerOptions& o, const std::string& name) {
    ledgers::GeneralLedgers gl;
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode("EG-CSV");
    if (!gl.PrepareNextLedger()) return "";
    return RunToExport(gl, ReadText(DataPath("C-Etat-EG-CSV.txt")), ArtefactPath(name));
  }

  // The independent reader: its rows for the arguments.
  std::string Figures(const std::vector<std::string>& args) {
    std::string call = "import sys, runpy\nsys.argv = ['ledger_figures.py'";
    for (const std::string& a : args) call += ", '" + a + "'";
    call += "]\nrunpy.run_path('" + DataPath("ledger_figures.py") + "', run_name='__main__')\n";
    int status = -1;
    const std::string out = test_support::RunPythonScript(call, true, &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  }
};

}  // namespace ledgers_test
