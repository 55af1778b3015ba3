// The files a generated dossier gives, part of its draft validated into the closed file: the
// general balance's CSV export, the general ledger's CSV export and the statutory entries file,
// each compared by its digest with the file the program made before its runs were made faster.
// A digest that changes means a changed result: the files are left in
// <build>/test-artefacts/results/ to be compared with those of the earlier program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "entry/core/validation.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/code_lists.h"
#include "reports/balances/core/fec_export.h"
#include "reports/balances/core/trial_balance_options.h"
#include "reports/balances/core/trial_balance_report.h"
#include "reports/engine/core/report_canvas.h"
#include "reports/engine/core/report_environment.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/report_owner.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/ledger_tables.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "support/journal_months.h"
#include "support/report_export_run.h"
#include "support/runtime_fixture.h"

namespace {

using L = LigneEcriture;
namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// FNV-1a over the bytes, in hexadecimal, with the size.
std::string Digest(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  char text[48];
  std::snprintf(text, sizeof text, "%016llx/%zu", static_cast<unsigned long long>(h), bytes.size());
  return text;
}

// A report prepared by the caller, its layout rendered to the end: the export's bytes.
std::string Export(reports::SimpleReportOwner& report, const std::string& layout, const std::string& path) {
  return test_support::RunLayoutToExport(report, layout, path);
}

class ResultsUnchangedTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    SetRuntimeBeepHook([](unsigned) {});
    ASSERT_EQ(StartDbSession(), 0);
    artefacts_ = fs::path(MERLON_BINARY_DIR) / "test-artefacts" / "results";
    fs::create_directories(artefacts_);
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    RuntimeTest::TearDown();
  }
  std::string Artefact(const std::string& name) const { return (artefacts_ / name).string(); }
  std::string Path(const char* table) const { return folder_ + table + "rs.dbf"; }

  // A year of 4,000 lines with matchings and one analytic axis, its first months closed by the
  // generator; then the three largest journal-months of the draft validated on the year's last day.
  void MakeDossier() {
    DemoOptions o;
    o.folder = Dir() + "/rs";
    o.code = "RS";
    o.lines = 4000;
    o.currency = DossierCurrency::EuroMain;
    o.analyticMode = '1';
    o.closedMonths = 3;
    o.matchings = true;
    o.seed = 43;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    folder_ = o.folder + "/";
    SetDossier(folder_, "RS");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
    entry::JournalValidationRequest request;
    {
      Table c50;
      ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
      request.journalMonths = test_support::LargestJournalMonths(c50, 3);
    }
    ASSERT_EQ(request.journalMonths.size(), 3u);
    request.date = "C61231";
    CloseAllTables();
    ASSERT_TRUE(DossierLockTable->OpenExclusive(DossierTablePath()));
    const entry::ValidationResult r = entry::RunValidation(request);
    DossierLockTable->CloseTable(true);
    ASSERT_EQ(r.code, 0) << r.error << "\n" << r.invariantReport;
    ASSERT_GT(r.generalLines, 0);
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
  }

  std::string TrialBalance() {
    using DF = DossierRecord::DateField;
    TheDossierRecord.SetDateStored(DF::YearStart, "C60101");
    TheDossierRecord.SetDateStored(DF::YearEnd, "C61231");
    balances::TrialBalancePaths paths;
    paths.c10 = Path("c10");
    paths.c20 = Path("c20");
    paths.c30 = Path("c30");
    paths.c40 = Path("c40");
    paths.c50 = Path("c50");
    paths.c60 = Path("c60");
    balances::TrialBalanceReport report;
    report.Begin(balances::MakeOptions('G', "C60101", "C61231").text, paths);
    report.ChooseReportCode("EBS-CSV");
    report.reportCode = "EBS-CSV";
    report.reportCode.resize(18, ' ');
    if (!report.PrepareReport()) return "";
    report.exportFileName = Artefact("balance.csv");
    fs::remove(report.exportFileName);
    return Export(report, test_support::ShippedLayout("EBS-CSV"),
                  report.exportFileName);
  }

  std::string GeneralLedger() {
    if (!ledgers::OpenLedgerTables(ledgers::ProgramLedgerTables(), 0)) return "";
    ledgers::GeneralLedgers gl;
    ledgers::GeneralLedgerOptions o;
    o.kind = 'G';
    o.dateFrom = "C60101";
    o.dateTo = "C61231";
    gl.TakeLimits(o.ToRecord());
    gl.ChooseReportCode("EG-GL");
    if (!gl.PrepareNextLedger()) return "";
    gl.exportFileName = Artefact("grand-livre.csv");
    fs::remove(gl.exportFileName);
    return Export(gl, ReadBytes(std::string(MERLON_SOURCE_DIR) + "/tests/reports/ledgers/data/C-Etat-EG-GL.txt"),
                  gl.exportFileName);
  }

  std::string StatutoryEntries() {
    balances::ChartList chart;
    balances::CodeLists codes;
    chart.LoadAccounts(Path("c20"));
    codes.Load(Path("c10"));
    balances::FecExport fec;
    balances::FecContext context;
    context.siren = "732829320";
    context.yearEnd = "C61231";
    if (!fec.Build({Path("c60"), Path("c50"), Path("c40")}, codes, chart, context)) return "";
    const std::string content = fec.Content();
    std::ofstream(Artefact("732829320FEC20261231.txt"), std::ios::binary) << content;
    return content;
  }

  fs::path artefacts_;
  std::string folder_;
};

// The digests of the files as the program made them before (one dossier, always the same). The
// two CSV digests were taken again once, when the exports came to quote every cell but a plain
// number and the generator's prior year came to balance (the same files, quotes aside, but for
// the prior-year column of the balance); the balance's once more when its balances came to be
// written as a number and its side in two cells (the same amounts).
TEST_F(ResultsUnchangedTest, BalanceLedgerAndStatutoryFileAreThoseOfBefore) {
  ASSERT_NO_FATAL_FAILURE(MakeDossier());
  const std::string balance = TrialBalance(), ledger = GeneralLedger(), fec = StatutoryEntries();
  ASSERT_FALSE(balance.empty());
  ASSERT_FALSE(ledger.empty());
  ASSERT_FALSE(fec.empty());
  EXPECT_EQ(Digest(balance), "1f884cc13d99acc3/8982");
  EXPECT_EQ(Digest(ledger), "b2da239272cc92ae/104073");
  EXPECT_EQ(Digest(fec), "cee28ffa41635f9d/117882");
}

}  // namespace
