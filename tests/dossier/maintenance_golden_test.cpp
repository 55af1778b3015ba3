// A small dossier kept in tests/data/golden/in (a generated year with lines cancelled here and
// there, so that pieces lose lines, journal-months fall out of balance and piece numbers leave
// gaps) is packed, rebuilt with rebalancing and renumbered; every table, index and memo file
// must then equal tests/data/golden/out byte for byte, the last-update dates and the index
// change counter aside. Any change of what the maintenance writes shows here.
//
// MERLON_GOLDEN_UPDATE=1 writes the expected files again; look at what changed before
// committing them.
#include <cstdlib>
#include <filesystem>

#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier_test_util.h"
#include "platform/system/files.h"

namespace maintenance_test {
namespace {

const fs::path kGolden = fs::path(MERLON_SOURCE_DIR) / "tests/data/golden";

using GoldenTest = dossier_test::SessionTest;

TEST_F(GoldenTest, PackRebuildAndRenumberWriteTheExpectedFiles) {
  const bool update = !platform::EnvironmentPath("MERLON_GOLDEN_UPDATE").empty();
  const fs::path folder = Dir() + "/dossier";
  fs::create_directories(folder);
  for (const auto& e : fs::directory_iterator(kGolden / "in")) fs::copy_file(e.path(), folder / e.path().filename());
  MakeCurrent(folder.string() + "/", "DEMO");

  const PackResult pack = PackAndReindexTables(true);
  ASSERT_TRUE(pack.ok()) << pack.table;
  const RebuildReport rebuild = RunDossierRebuild(true, true);
  ASSERT_EQ(rebuild.code, 0);
  EXPECT_GT(rebuild.balance.linesWritten, 0);  // the cancelled lines left months to balance
  const RenumberResult renumber = RenumberPieces();
  ASSERT_EQ(renumber.outcome, RenumberOutcome::Done);
  EXPECT_GT(renumber.linesWritten, 0);
  ExpectTotalsEqualLines();
  EXPECT_EQ(UnbalancedJournalMonths(true), 0);

  const fs::path out = kGolden / "out";
  if (update) {
    fs::remove_all(out);
    fs::create_directories(out);
    for (const std::string& name : dossier_test::TableFileNames(folder)) fs::copy_file(folder / name, out / name);
  }
  ASSERT_EQ(dossier_test::TableFileNames(folder), dossier_test::TableFileNames(out));
  for (const std::string& name : dossier_test::TableFileNames(out)) {
    const std::string got = dossier_test::MaskedTableBytes(folder / name), want = dossier_test::MaskedTableBytes(out / name);
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    EXPECT_TRUE(got == want) << name << ": " << got.size() << " bytes against " << want.size()
                             << ", first difference at byte " << (diff.first - got.begin());
  }
}

}  // namespace
}  // namespace maintenance_test
