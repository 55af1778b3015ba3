// The balance-sheet computation killed before each of its writes (a sample), as a crash stops it:
// the next opening names it and puts C70 and the general file back, so that no edition prints a
// C70 half old and half new or a half-rewritten annex.
#include <filesystem>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "reports/balances/balance_sheet_commands.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/balances/core/balance_sheet_run.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "support/killed_runs.h"

namespace {

class SheetKilledTest : public test_support::KilledRunFixture {
 protected:
  void SetUp() override {
    KilledRunFixture::SetUp();
    InstallBalanceSheetCommands();
    for (const char* f : {"clbilans.dbf", "cpbilans.dbf", "cpbilans.mdx"})
      std::filesystem::copy_file(std::string(MERLON_BINARY_DIR) + "/models/" + f, ProgramFolder + f,
                                 std::filesystem::copy_options::overwrite_existing);
  }
};

TEST_F(SheetKilledTest, AComputationKilledAtAnyWriteIsNamedAndPutBack) {
  const std::string d = MakeDossier("bil", "KS", 120);
  // The year's dates as the opening reads them, and C70 made from model S.
  OpenThroughDialog(C10Path(d, "KS"));
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "KS") << test_support::ShownTexts();
  const std::string first = TheDossierRecord.DateStored(DossierRecord::DateField::YearStart);
  const std::string last = TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd);
  Close();
  {
    Table c10, c70;
    ASSERT_TRUE(c10.OpenExclusive(PathC10(), "C10CODE"));
    ASSERT_TRUE(c70.OpenExclusive(PathC70(), "C70CODE"));
    ASSERT_EQ(balances::InitialiseBalanceSheet(c10, c70, ProgramFolder, balances::ModelLetter("S  ")), balances::InitOutcome::kDone);
  }
  KillAtEveryWrite(
      d, "KS", {TableKind::C10, TableKind::C70},
      [&] {
        SetDossier(d, "KS");
        const balances::SheetRunInput in =
            balances::DossierSheetInput(balances::ModelLetter("S  "), {first, last, first, last}, true);
        const balances::SheetRun run = balances::RunBalanceSheet(in);
        return run.outcome == balances::RunOutcome::kDone && !run.computation.annex.empty();
      },
      Opening::kPutsBack);
}

}  // namespace
