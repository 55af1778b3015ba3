#include "runtime_helpers_fixture.h"

using DF = DossierRecord::DateField;

namespace {
class DossierRecordTest : public RuntimeHelpersTest {
 protected:
  DossierRecord rec;
};
}  // namespace

TEST_F(DossierRecordTest, DatesInEveryForm) {
  struct Row { const char* yyyymmdd; const char* stored; const char* display; } rows[] = {
      {"19991231", "991231", "31/12/99"},
      {"20000101", "A00101", "01/01/00"},
      {"20291231", "C91231", "31/12/29"},
      {"20300101", "D00101", "01/01/30"},
  };
  for (const auto& r : rows) {
    ASSERT_TRUE(rec.SetDateYyyymmdd(DF::Working, r.yyyymmdd)) << r.yyyymmdd;
    EXPECT_EQ(rec.Get(169, 8), r.yyyymmdd);
    EXPECT_EQ(rec.DateStored(DF::Working), r.stored);
    EXPECT_EQ(rec.DateDisplay(DF::Working), r.display);
    ASSERT_TRUE(rec.SetDateStored(DF::YearStart, r.stored));
    EXPECT_EQ(rec.DateYyyymmdd(DF::YearStart), r.yyyymmdd);
    ASSERT_TRUE(rec.SetDateDisplay(DF::YearEnd, r.display));
    EXPECT_EQ(rec.Get(185, 8), r.yyyymmdd);
  }
  // Bad dates write nothing; a blank date reads as "".
  EXPECT_FALSE(rec.SetDateDisplay(DF::Working, "31/02/26"));
  EXPECT_FALSE(rec.SetDateYyyymmdd(DF::Working, "2026013"));
  EXPECT_FALSE(rec.SetDateStored(DF::Working, "C6013X"));
  EXPECT_EQ(rec.Get(169, 8), "20300101");
  EXPECT_TRUE(rec.SetDateYyyymmdd(DF::Working, ""));
  EXPECT_EQ(rec.Get(169, 8), "        ");
  EXPECT_EQ(rec.DateStored(DF::Working), "");
  rec.Set(177, 8, "2026AB01");
  EXPECT_EQ(rec.DateDisplay(DF::YearStart), "");
}

TEST_F(DossierRecordTest, PositionsConstantsAndRights) {
  rec.SetName(std::string(40, 'N'));
  EXPECT_EQ(rec.Name(), std::string(30, 'N'));
  EXPECT_EQ(rec.At(31), ' ');
  rec.SetConstant(0, "ABC");
  rec.SetConstant(74, "XYZ");
  rec.SetConstant(75, "bad");  // no constant 75: nothing written
  EXPECT_EQ(rec.Get(536, 3), "ABC");
  EXPECT_EQ(rec.Get(758, 3), "XYZ");
  EXPECT_EQ(rec.Get(761, 30), std::string(30, ' '));
  EXPECT_EQ(rec.Constant(-1), "");
  rec.SetNextPiece(42);
  EXPECT_EQ(rec.NextPiece(), "000042");
  rec.SetParity(6.55957);
  EXPECT_EQ(rec.Get(523, 10), "   6.55957");
  EXPECT_DOUBLE_EQ(rec.Parity(), 6.55957);
  rec.SetEuroIsMain(true);
  EXPECT_EQ(rec.At(533), 'O');
  rec.Set(1290, 20, "overflow");  // past the end: cut, size kept
  EXPECT_EQ(rec.Text().size(), 1296u);
  EXPECT_EQ(rec.At(1297), 0);
  EXPECT_EQ(rec.Get(1300, 3), "   ");

  DossierRecord blank;
  blank.EnsureRights();
  EXPECT_EQ(blank.Rights(), std::string(50, '?'));
  DossierRecord kept;
  kept.SetAt(1200, 'x');
  kept.EnsureRights();
  EXPECT_EQ(kept.Rights(), std::string(50, ' '));
}

TEST_F(DossierRecordTest, C10FieldsRoundTrip) {
  DossierRecord::C10Texts t;
  t.record0Field3 = std::string(35, 'a');  // longer than 30: cut
  t.record0Field4 = "b";
  t.record0Field5 = std::string(254, 'c');
  t.p0Field4 = std::string(252, 'd');
  t.p0Field5 = std::string(252, 'e');
  t.record0Field6 = std::string(254, 'f');
  rec.LoadFromC10(t);
  EXPECT_EQ(rec.Get(1, 30), std::string(30, 'a'));
  EXPECT_EQ(rec.At(31), 'b');
  EXPECT_EQ(rec.At(32), ' ');
  EXPECT_EQ(rec.At(285), 'c');
  EXPECT_EQ(rec.At(538), 'c');
  EXPECT_EQ(rec.At(539), 'd');
  EXPECT_EQ(rec.At(791), 'e');
  EXPECT_EQ(rec.At(1043), 'f');
  auto back = rec.ToC10();
  EXPECT_EQ(back.record0Field3, std::string(30, 'a'));
  EXPECT_EQ(back.record0Field4.size(), 254u);
  EXPECT_EQ(back.p0Field5, t.p0Field5);
  EXPECT_EQ(back.record0Field6, t.record0Field6);
}
