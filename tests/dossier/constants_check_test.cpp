// The constants test of the opening, the automatic-start list and the two
// dossier lists, without windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dossier/auto_start.h"
#include "dossier/constants_check.h"
#include "dossier/conversion.h"
#include "dossier/dossier_slots.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "shell/mdi_client.h"

TEST(ConstantsCheck, ResetsOnlyClosedListsOutsideTheirValues) {
  struct Case {
    int n;
    const char* value;
    const char* expected;  // value after the check
  };
  const std::vector<Case> cases{
      {4, "R  ", "R  "},   {4, "XYZ", "NON"},  {4, "G", "G  "},    {4, "   ", "NON"},
      {6, "OUI", "OUI"},   {6, "oui", "NON"},  {7, "NON", "NON"},  {33, "SLD", "SLD"},
      {33, "ABC", "MVT"},  {44, "VID", "VID"}, {44, "OUI", "NON"}, {45, "MAJ", "MAJ"},
      {56, "X", "NON"},    {60, "AID", "AID"}, {60, "?", "OUI"},   {61, "NOR", "NOR"},
      {61, "D", "NOR"},    {64, "O", "O  "},
      // Free or excluded constants: never touched, whatever they hold.
      {2, "???", "???"},   {22, "@@@", "@@@"}, {37, "ZZ ", "ZZ "}, {43, "*", "*  "},
      {52, "7\x80 ", "7\x80 "}, {70, "!!!", "!!!"}, {74, "xyz", "xyz"},
  };
  for (const Case& c : cases) {
    DossierRecord record;
    for (const ConstantRule& rule : ResettableConstants()) record.SetConstant(rule.number, rule.defaultValue);
    record.SetConstant(c.n, c.value);
    const auto resets = ResetInvalidConstants(record);
    EXPECT_EQ(record.Constant(c.n), c.expected) << "constant " << c.n << " = '" << c.value << "'";
    EXPECT_EQ(resets.size(), std::string(c.expected).substr(0, 1) != std::string(c.value).substr(0, 1) ? 1u : 0u)
        << "constant " << c.n;
  }
}

TEST(ConstantsCheck, MessageListsEveryResetWithItsOldValue) {
  DossierRecord record;
  for (const ConstantRule& rule : ResettableConstants()) record.SetConstant(rule.number, rule.defaultValue);
  record.SetConstant(4, "XYZ");
  record.SetConstant(61, "Q");
  const auto resets = ResetInvalidConstants(record);
  ASSERT_EQ(resets.size(), 2u);
  const std::string text = ConstantsResetMessage(resets);
  EXPECT_NE(text.find("004:  'XYZ'  ->  'NON'"), std::string::npos) << text;
  EXPECT_NE(text.find("061:  'Q  '  ->  'NOR'"), std::string::npos) << text;
  // A second check finds nothing more to do.
  EXPECT_TRUE(ResetInvalidConstants(record).empty());
}

TEST(AutoStart, ListsPostTheirCommandsInOrder) {
  struct Case {
    const char* list;
    std::vector<unsigned> commands;
  };
  const std::vector<Case> cases{
      {"DP-SS-NV-", {20309, 20401, 24362}},
      {"DP-XX-SS-", {20309, 20401}},
      {"DPSS", {20309}},
      {"", {}},
      {"   ", {}},
      {"NH-TM", {24363, 20601}},
      {"?DJ-", {20302}},
      {"dp-", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(AutoLaunchCommands(c.list), c.commands) << c.list;
}

TEST(EuroRate, DivisionOnlyWithinRange) {
  struct Case {
    double rate;
    bool accepted;
  };
  for (const Case c : {Case{0.0, false}, Case{0.99, false}, Case{1.0, true}, Case{6.55957, true},
                       Case{9.99, true}, Case{10.0, false}, Case{-6.55957, false}}) {
    double euros = 123.45;
    EXPECT_EQ(FrancsToEuros(655.96, c.rate, euros), c.accepted) << c.rate;
    if (!c.accepted) {
      EXPECT_DOUBLE_EQ(euros, 123.45) << "untouched for " << c.rate;
    }
  }
  double euros = 0;
  ASSERT_TRUE(FrancsToEuros(655.957, 6.55957, euros));
  EXPECT_DOUBLE_EQ(euros, 100.0);
  ASSERT_TRUE(FrancsToEuros(-10.0, 6.55957, euros));
  EXPECT_DOUBLE_EQ(euros, -1.52);
}

class SlotsTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    for (auto& s : DossierSlots) s.clear();
    for (auto& r : RecentDossiers) r.clear();
  }
  static std::string E(const char* code) { return DossierEntry(code, std::string("/d/") + code + "/"); }
};

TEST_F(SlotsTest, RecentListKeepsNineAndMovesKnownEntriesUp) {
  for (const char* code : {"A", "B", "C", "D", "E", "F", "G", "H", "I"}) PutFirstInRecent(E(code));
  EXPECT_EQ(RecentDossiers[0], E("I"));
  EXPECT_EQ(RecentDossiers[8], E("A"));
  PutFirstInRecent(E("J"));
  EXPECT_EQ(RecentDossiers[0], E("J"));
  EXPECT_EQ(RecentDossiers[8], E("B"));  // A dropped
  PutFirstInRecent(E("J"));              // already first: nothing moves
  EXPECT_EQ(RecentDossiers[1], E("I"));
  PutFirstInRecent(E("E"));
  EXPECT_EQ(RecentDossiers[0], E("E"));
  EXPECT_EQ(RecentDossiers[1], E("J"));
  EXPECT_EQ(RecentDossiers[5], E("F"));
  EXPECT_EQ(RecentDossiers[6], E("D"));
}
