// The sort record of a line: what the one routine derives from a draft and from a closed line,
// and that the generator's bulk copy, the rebuild's refill and the renumbering write the same
// records as the routine.
#include "core_fixture.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"

namespace entry_test {
namespace {

using RecordsTest = CoreTest;

// Every record of C60 in physical order: its sixteen fields and its cancel mark.
std::vector<std::string> SortFile() {
  Table t;
  EXPECT_TRUE(t.OpenShared(PathC60(), "", true));
  std::vector<std::string> records;
  for (std::uint32_t r = 1; r <= t.RecCount(); ++r) {
    EXPECT_TRUE(t.GoTo(r));
    std::string text = t.IsDeleted() ? "*" : " ";
    for (int f = 1; f <= t.FieldCount(); ++f) text += std::string("|") + t.GetField(f);
    records.push_back(text);
  }
  return records;
}

// A line appended with the given fields (cancelled when asked), committed.
std::uint32_t AppendLine(Table& lines, const std::vector<std::pair<int, std::string>>& fields) {
  const test_support::SetUpPermit permit("ligne mise en place");
  EXPECT_TRUE(lines.AppendBlank());
  for (const auto& [f, v] : fields) lines.PutField(f, v.c_str());
  EXPECT_TRUE(lines.InsertRecord());
  EXPECT_TRUE(lines.Commit());
  return lines.recordNumber;
}

TEST_F(RecordsTest, TheSortRecordCopiesItsLineAndKeepsTheWorkingLetter) {
  const test_support::SetUpPermit permit("derivation des enregistrements de tri");
  const std::vector<std::pair<int, std::string>> draft = {
      {L::BCLE, "Z"},       {L::BMOIS, "D003"},     {L::BJAL, "VE"},       {L::BPIECE, "000777"},
      {L::BREC, "000012"},  {L::BNUM, "0031"},      {L::BNUMA, "0001"},    {L::BJOUR, "15"},
      {L::BVENT, "V1"},     {L::BCODE, "CDUPO001"}, {L::BCLIB, "1"},       {L::BLIB, "Facture 777"},
      {L::BSENS, "D"},      {L::BMONTANTF, "655.96"}, {L::BMONTANTE, "100.00"}, {L::BLET, "AB"},
      {L::BLETE, "AC"},     {L::BCG, "41100000"},   {L::BTVA, "1"},        {L::BCODE2, "X2"}};
  const std::uint32_t recno = AppendLine(c50, draft);
  ASSERT_TRUE(AppendLigneTri(c50, T::kDraft, c60));
  ASSERT_TRUE(T::Find(c60, T::kDraft, recno));
  const struct { int field; std::string value; } wanted[] = {
      {T::TCLE, "Z"},         {T::TCODE, "CDUPO001"}, {T::TMOIS, "D003"},  {T::TJOUR, "15"},
      {T::TJAL, "VE "},       {T::TLET, "AB  "},      {T::TLETE, "AC  "},  {T::TLETP, "    "},
      {T::TFIC, "B"},         {T::TREC, StrZero(static_cast<long>(recno), 0)}, {T::TPIECE, "000777"},
      {T::TCG, "41100000"},   {T::TNUM, "0031"},      {T::TNUMA, "0001"},  {T::TTVA, "1"}, {T::TCODE2, "X2      "}};
  for (const auto& w : wanted) EXPECT_EQ(std::string(c60.GetField(w.field)), w.value) << "field " << w.field;

  // Derived again after a change of its line, the working letter of a matching run stays.
  ASSERT_TRUE(c60.PutField(T::TLETP, "W1"));
  ASSERT_TRUE(c50.GoTo(recno));
  ASSERT_TRUE(c50.PutField(L::BNUM, "0040"));
  ASSERT_TRUE(SortRecordFollows(c50, c60, "ligne"));
  ASSERT_TRUE(T::Find(c60, T::kDraft, recno));
  EXPECT_EQ(std::string(c60.GetField(T::TNUM)), "0040");
  EXPECT_EQ(std::string(c60.GetField(T::TLETP)), "W1  ");

  // A closed line: the same data under its own field numbers, and the file letter "C".
  Table c40;
  ASSERT_TRUE(c40.OpenShared(PathC40(), ""));
  const std::uint32_t closed = AppendLine(c40, {{L::DCLE, "Z"}, {L::DCODE, "60700000"}, {L::DMOIS, "C612"},
                                                {L::DJOUR, "31"}, {L::DJAL, "AC"}, {L::DPIECE, "000001"},
                                                {L::DNUM, "0002"}, {L::DNUMA, "0001"}, {L::DTVA, "2"},
                                                {L::DVALID, "C70105"}});
  ASSERT_TRUE(AppendLigneTri(c40, T::kClosed, c60));
  ASSERT_TRUE(T::Find(c60, T::kClosed, closed));
  EXPECT_EQ(std::string(c60.GetField(T::TFIC)), "C");
  EXPECT_EQ(std::string(c60.GetField(T::TCODE)), "60700000");
  EXPECT_EQ(std::string(c60.GetField(T::TMOIS)) + c60.GetField(T::TJOUR) + c60.GetField(T::TJAL) + c60.GetField(T::TPIECE) +
                c60.GetField(T::TNUM) + c60.GetField(T::TTVA),
            "C61231AC 00000100022");
  // The two records are told apart by their file letter although their numbers may be the same.
  EXPECT_FALSE(T::Find(c60, T::kClosed, closed + 100000));
}

TEST_F(RecordsTest, TheGeneratorTheRebuildAndTheRenumberingWriteTheRoutinesRecords) {
  // The generator's raw copy (cancelled lines included) ...
  const std::vector<std::string> generated = SortFile();
  ASSERT_GT(generated.size(), 200u);
  bool anyCancelled = false;
  for (const std::string& r : generated) anyCancelled = anyCancelled || r[0] == '*';
  EXPECT_TRUE(anyCancelled) << "the generated dossier holds cancelled lines";
  // ... equals the rebuild's refill, which derives every record through the routine.
  c50.CloseTable();
  c60.CloseTable();
  CloseAllTables();
  {
    const test_support::SetUpPermit permit("etape de la reconstruction");
    ASSERT_EQ(RefillSortFile(), 0);
    EXPECT_EQ(SortFile(), generated);
  }

  // The renumbering writes its lines, then refills the sort file the same way.
  const RenumberResult renumbered = RenumberPieces();
  ASSERT_EQ(renumbered.outcome, RenumberOutcome::Done);
  const std::vector<std::string> after = SortFile();
  {
    const test_support::SetUpPermit permit("etape de la reconstruction");
    ASSERT_EQ(RefillSortFile(), 0);
    EXPECT_EQ(SortFile(), after);
  }
  OpenTables();
  ExpectInvariants("after the renumbering");
}

}  // namespace
}  // namespace entry_test
