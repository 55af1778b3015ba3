#include "runtime/dossier_record.h"
#include "support/runtime_fixture.h"

using DossierRecordTest = test_support::RuntimeTest;

// Writes outside a field or past the record are cut; the record keeps its size.
TEST_F(DossierRecordTest, WritesStayInsideTheirField) {
  DossierRecord rec;
  rec.SetName(std::string(40, 'N'));
  EXPECT_EQ(rec.Name(), std::string(30, 'N'));
  EXPECT_EQ(rec.At(31), ' ');
  rec.SetConstant(74, "XYZ");
  rec.SetConstant(75, "bad");  // no constant 75
  EXPECT_EQ(rec.Constant(74), "XYZ");
  EXPECT_EQ(rec.Constant(75), "");
  rec.Set(1290, 20, "overflow");
  EXPECT_EQ(rec.Text().size(), 1296u);
  EXPECT_EQ(rec.Get(1300, 3), "   ");

  DossierRecord blank;  // a blank record grants everything; a filled one keeps its rights
  blank.EnsureRights();
  EXPECT_EQ(blank.Rights(), std::string(50, '?'));
  DossierRecord kept;
  kept.SetAt(1200, 'x');
  kept.EnsureRights();
  EXPECT_EQ(kept.Rights(), std::string(50, ' '));
}
