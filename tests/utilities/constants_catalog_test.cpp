// The one catalogue of the dossier constants: every constant once in number order, the opening's resets taken from
// it (the closed lists with a known default, and no other), and a typed value judged by the constant's kind.
#include <gtest/gtest.h>

#include <algorithm>

#include "dossier/constants_check.h"
#include "runtime/dossier_record.h"

namespace {

TEST(ConstantCatalogTest, EveryConstantOnceAndTheResetsAreTheClosedListsWithADefault) {
  const auto& all = ConstantCatalog();
  ASSERT_EQ(all.size(), 75u);
  for (std::size_t n = 0; n < all.size(); ++n) EXPECT_EQ(all[n].number, static_cast<int>(n));
  std::vector<int> reset;
  for (const ConstantRule& r : ResettableConstants()) {
    reset.push_back(r.number);
    const ConstantDefinition& d = *FindConstantDefinition(r.number);
    EXPECT_EQ(d.kind, ConstantKind::List) << r.number;
    EXPECT_TRUE(ConstantValueAccepted(d, r.defaultValue)) << r.number << ": its default is in its list";
  }
  EXPECT_EQ(reset, (std::vector<int>{4, 6, 7, 33, 44, 45, 56, 60, 61, 64}));
  // Those never checked at opening are not reset either.
  for (int n : {22, 35, 43, 70, 71}) EXPECT_FALSE(FindConstantDefinition(n)->resettable) << n;
  // A constant nothing reads is shown free, without title.
  for (int n : {1, 3, 8, 11, 17, 24, 34, 41, 46, 49, 51, 66, 68, 74}) {
    EXPECT_STREQ(FindConstantDefinition(n)->title, "") << n;
    EXPECT_EQ(FindConstantDefinition(n)->kind, ConstantKind::Free) << n;
  }
  EXPECT_EQ(FindConstantDefinition(75), nullptr);
  EXPECT_EQ(FindConstantDefinition(-1), nullptr);
}

TEST(ConstantCatalogTest, ATypedValueIsJudgedByItsKind) {
  const struct {
    int n;
    const char* value;
    bool accepted;
  } cases[] = {
      {4, "NON", true},  {4, "R", true},     {4, "Q", false},    {4, "", false},     {61, "NOR", true},
      {61, "D", false},  {33, "SLD", true},  {2, "Oui", true},   {2, "xyz", false},  {52, "7\x80", true},
      {52, "NON", true}, {25, "065", true},  {25, "99", true},   {25, "-1", false},  {25, "0x1", false},
      {62, "123", true}, {62, "124", false}, {62, "12", false},  {63, "3", true},    {63, "4", false},
      {10, "O38", true}, {10, "OUI", true},  {10, "O29", false}, {10, "NON", true},  {48, "A8", true},
      {48, "N7", false}, {69, "CF", true},   {69, "", false},    {70, "", true},     {70, "c", false},
      {30, "050", true}, {30, "N", true},    {30, "X", false},   {1, "any", true},   {1, "toolong", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConstantValueAccepted(*FindConstantDefinition(c.n), c.value), c.accepted) << c.n << " '" << c.value << "'";
}

TEST(ConstantCatalogTest, TheOpeningResetsOnlyThoseOutsideTheirLists) {
  DossierRecord r;
  r.SetConstant(4, "X");
  r.SetConstant(61, "B");
  r.SetConstant(52, "ZZZ");
  r.SetConstant(60, "");
  const std::vector<ConstantReset> resets = ResetInvalidConstants(r);
  std::vector<int> numbers;
  for (const ConstantReset& c : resets) numbers.push_back(c.number);
  // The blank resettable constants of an empty record are reset too; 052 and the valid 061 are not.
  EXPECT_EQ(r.Constant(4), "NON");
  EXPECT_EQ(r.Constant(60), "OUI");
  EXPECT_EQ(r.Constant(61), "B  ");
  EXPECT_EQ(r.Constant(52), "ZZZ");
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 61), 0);
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 4), 1);
}

}  // namespace
