// The writer of new draft lines: each line with its sort record and its totals, and a piece whose
// second line fails taking back the first (cancelled, its totals posted back).
#include "core_fixture.h"
#include "data/dossier_invariants.h"

namespace processing_test {
namespace {

using WriterTest = CoreTest;

NewDraftLine Line(const char* account, char sense, double euros) {
  NewDraftLine l;
  l.month = "C604";
  l.journal = "OD";
  l.piece = "000777";
  l.day = "15";
  l.account = account;
  l.labelCode = "0";
  l.label = "Ecriture du test";
  l.sense = sense;
  l.euros = euros;
  l.francs = Round(2, euros * 6.55957);
  return l;
}

double Debit(const char* account) {
  EXPECT_TRUE(TableC20->Seek("C20CODE", account));
  return TableC20->GetFieldNum(18);
}

TEST_F(WriterTest, ThePieceIsWrittenWithItsSortRecordsAndTotals) {
  const long before = static_cast<long>(c50.RecCount());
  std::vector<std::uint32_t> recnos;
  ASSERT_EQ(WriteDraftLines(c50, c60, {Line("411", 'D', 12.5), Line("70600000", 'C', 12.5)}, &recnos),
            DraftWrite::Written);
  ASSERT_EQ(recnos.size(), 2u);
  EXPECT_EQ(recnos[0], static_cast<std::uint32_t>(before + 1));
  ASSERT_TRUE(c50.GoTo(recnos[0]));
  EXPECT_EQ(std::string(c50.GetField(L::BCODE)), "41100000") << "the account normalised";
  EXPECT_TRUE(T::Find(c60, T::kDraft, recnos[1]));
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

TEST_F(WriterTest, ALineThatFailsTakesBackTheLinesWrittenBefore) {
  const double debit = Debit("41100000");
  // The sort file read-only: the first line's sort record cannot be written.
  Table readOnly;
  ASSERT_TRUE(readOnly.OpenShared(PathC60(), T::kRecordTag, true));
  const long before = static_cast<long>(c50.RecCount());
  EXPECT_EQ(WriteDraftLines(c50, readOnly, {Line("411", 'D', 12.5), Line("70600000", 'C', 12.5)}),
            DraftWrite::Failed);
  ASSERT_EQ(static_cast<long>(c50.RecCount()), before + 1) << "the first line was appended before its sort record failed";
  for (long r = before + 1; r <= static_cast<long>(c50.RecCount()); ++r) {
    ASSERT_TRUE(c50.GoTo(r));
    EXPECT_TRUE(c50.IsDeleted()) << "line " << r << " cancelled";
  }
  EXPECT_DOUBLE_EQ(Debit("41100000"), debit) << "no total moved";
}

}  // namespace
}  // namespace processing_test
