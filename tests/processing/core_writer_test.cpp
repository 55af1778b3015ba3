// The writer of new draft lines: each line with its sort record and its totals, a piece whose
// second line fails taking back the first (cancelled, its totals posted back), and lines written
// in batches with the sort records and totals of lines written one by one.
#include <cmath>
#include <iomanip>
#include <random>

#include "core_fixture.h"
#include "data/dossier_invariants.h"
#include "support/books_writes.h"

namespace processing_test {
namespace {

// The imports' writer, driven as an import drives it under its guard: the fixture holds the import's
// permit.
class WriterTest : public CoreTest {
 protected:
  test_support::SetUpPermit run_{"importation"};
};

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

// More lines than one batch takes, on several accounts, journal-months and labels: every line's
// sort record holds its fields as the file holds them, the table stands on the last line, and the
// totals are those each line adds, amounts of whole cents or not.
TEST_F(WriterTest, LinesWrittenInBatchesGetTheSortRecordsAndTotalsOfTheirLines) {
  const char* accounts[] = {"411", "70600000", "44571000", "512", "60100000"};
  std::vector<NewDraftLine> lines;
  for (std::size_t i = 0; i < kDraftBatchLines + 37; ++i) {
    NewDraftLine l = Line(accounts[i % std::size(accounts)], i % 2 ? 'C' : 'D', 0.01 * static_cast<double>(i % 977));
    l.month = i % 3 ? "C604" : "C605";
    l.journal = i % 4 ? "OD" : "BQ";
    l.piece = StrZero(static_cast<long>(1000 + i / 3), 6);
    l.day = i % 2 ? "15" : "03";
    l.label = "Ligne " + std::to_string(i) + (i % 7 ? "" : " \xE9t\xE9");
    if (i % 5 == 0) l.vatCode = "1";
    if (i % 11 == 0) l.pendingMark = "X";
    if (i % 13 == 0) l.euros += 0.004;  // not a whole number of cents
    lines.push_back(l);
  }
  const long before = static_cast<long>(c50.RecCount());
  DraftTotals totals;
  std::vector<std::uint32_t> recnos;
  ASSERT_EQ(AppendDraftLines(c50, c60, lines, &totals, &recnos), DraftWrite::Written);
  ASSERT_EQ(recnos.size(), lines.size());
  EXPECT_EQ(recnos.front(), static_cast<std::uint32_t>(before + 1));
  EXPECT_EQ(c50.recordNumber, recnos.back()) << "the line table stands on the last line";
  DraftTotals want;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string account = NormalizeAccount(lines[i].account);
    TotalsCents& a = want.accounts[account];
    a.Add(lines[i].sense == 'D', ToCents(lines[i].francs), ToCents(lines[i].euros));
    want.headers[DraftHeaderCode(lines[i].month, lines[i].journal)].Add(lines[i].sense == 'D', ToCents(lines[i].francs),
                                                                         ToCents(lines[i].euros));
  }
  EXPECT_EQ(totals.accounts, want.accounts);
  EXPECT_EQ(totals.headers, want.headers);
  for (std::size_t i = 0; i < lines.size(); i += (i < 20 || i + 20 > lines.size()) ? 1 : 97) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(c50.GoTo(static_cast<long>(recnos[i])));
    ASSERT_TRUE(T::Find(c60, T::kDraft, recnos[i]));
    EXPECT_EQ(std::string(c60.GetField(T::TREC)), StrZero(static_cast<long>(recnos[i]), 6));
    for (const auto& [sortField, draftField] : T::DerivedFields())
      EXPECT_EQ(std::string(c60.GetField(sortField)), std::string(c50.GetField(draftField))) << sortField;
    EXPECT_EQ(AllTrim(c60.GetField(T::TLETP)), lines[i].pendingMark);
    EXPECT_EQ(AllTrim(c50.GetField(L::BLIB)), lines[i].label);
  }
}

// The cents of an amount read without the rounding through text are those the rounding gives: whole
// cents of either sign and any size the fields hold, halves and near-halves of a cent, and
// amounts that are not a number of cents at all.
TEST(DraftCents, WholeCentsReadDirectlyAreThoseOfTheRounding) {
  std::mt19937_64 rng(11);
  std::vector<double> amounts = {0.0, -0.0, 0.005, -0.005, 0.015, 1.005, 2.675, 0.125, 99999999999.99, -12345678901.23,
                                 1e-9, 0.1 + 0.2, 1e13, -1e13 - 0.5};
  for (long long c = -100000; c <= 100000; c += 7) amounts.push_back(FromCents(c));
  for (int i = 0; i < 20000; ++i) {
    const long long c = static_cast<long long>(rng() % 2000000000000ULL) - 1000000000000LL;
    amounts.push_back(FromCents(c));
    amounts.push_back(FromCents(c) + 0.001 * static_cast<double>(rng() % 10));
    amounts.push_back(static_cast<double>(c % 100000) * 6.55957 / 100.0);
  }
  for (double a : amounts) EXPECT_EQ(ToCents(a), std::llround(Round(2, a) * 100.0)) << std::setprecision(17) << a;
}

}  // namespace
}  // namespace processing_test
