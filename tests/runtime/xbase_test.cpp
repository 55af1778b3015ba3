#include <set>

#include "resources/string_table.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"
#include "support/runtime_fixture.h"

using TextFunctions = test_support::RuntimeTest;

namespace {

// A text of the string table: the program's name.
constexpr int kProgramName = 0;

}  // namespace

TEST_F(TextFunctions, CuttingAndPadding) {
  struct Row { const char* what; std::string got; const char* expected; } rows[] = {
      {"SubStr to end", SubStr("ABC", 2, 0), "BC"},
      {"Upper accents", Upper("\xE9t\xE9 \x9C"), "\xC9T\xC9 \x8C"},
      {"StrZero -12/0", StrZero(-12, 0), "-00012"},
      {"StrZero 0/0", StrZero(0, 0), "000000"},
      {"StrZero 42/3", StrZero(42, 3), "042"},
      {"StrZero 999999/0", StrZero(999999, 0), "999999"},
      {"StrZero 1000000/0", StrZero(1000000, 0), "100000"},
  };
  for (const auto& r : rows) EXPECT_EQ(r.got, r.expected) << r.what;
  // Empty results of these come from the shared empty text, not the ring.
  EXPECT_EQ(SubStr("ABC", 4, 1), EmptyText);
  EXPECT_EQ(Space(0), EmptyText);
}

TEST_F(TextFunctions, PositionsAndSearch) {
  struct Row { const char* what; int got; int expected; } rows[] = {
      {"At from 4", At("ABDABD", "D", 4, 0), 3},
      {"At start past end", At("ABC", "C", 9, 0), 0},
      {"CountLines trailing", CountLines("ab\r\n"), 2},
  };
  for (const auto& r : rows) EXPECT_EQ(r.got, r.expected) << r.what;
}

TEST_F(TextFunctions, StuffPadToAndStrTranNeverOverrun) {
  struct StuffRow { const char* text; int pos, len; const char* repl; bool ok; const char* expected; } stuffs[] = {
      {"ABCDE", 2, 10, "x", true, "Ax"},
      {"ABC", 4, 0, "x", false, "ABC"},
      {"ABC", 2, -4, "xyz", true, "AxyzBC"},
  };
  for (const auto& r : stuffs) {
    std::string t = r.text;
    EXPECT_EQ(Stuff(t, r.pos, r.len, r.repl), r.ok) << r.text << " " << r.pos;
    EXPECT_EQ(t, r.expected) << r.text << " " << r.pos;
  }
  // A result beyond the 131,072-character work buffer is refused whole.
  std::string big(kStuffBufferRoom, 'a');
  EXPECT_FALSE(Stuff(big, 1, 0, "b"));
  EXPECT_EQ(big.size(), kStuffBufferRoom);

  std::string padded = "ab";
  PadTo(padded, 5, "xy");
  EXPECT_EQ(padded, "abxyx");

  // New occurrences formed by a replacement are replaced too; a result beyond the work buffer is refused.
  std::string replaced = "abab";
  EXPECT_TRUE(StrTran(replaced, "ab", "ba"));
  EXPECT_EQ(replaced, "bbaa");
  std::string tooMany(70000, 'a');
  EXPECT_FALSE(StrTran(tooMany, "a", "bc"));
  EXPECT_EQ(tooMany, std::string(70000, 'a'));
}

TEST_F(TextFunctions, StrTranRefusesAReplacementThatContainsTheSearch) {
  static int beeps;
  beeps = 0;
  SetRuntimeBeepHook([](unsigned) { ++beeps; });
  std::string t = "abc";
  EXPECT_FALSE(StrTran(t, "b", "bb"));
  EXPECT_EQ(t, "abc");
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(LastRuntimeMessage().count, 1);
}

TEST_F(TextFunctions, RingLifetimeAndGrowth) {
  std::set<char*> seen;
  char* first = RingCopy(LoadStr(kProgramName));
  seen.insert(first);
  for (int i = 1; i < kRingSlots; ++i) seen.insert(RingCopy(LoadStr(kProgramName)));
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kRingSlots));
  EXPECT_STREQ(first, "Nuv-Merlon ZEL");   // still valid after 49 more uses
  EXPECT_EQ(RingCopy(LoadStr(kProgramName)), first);  // the 51st reuses slot 0

  // A string-table text is not a ring slot: it stays whole however often the ring turns.
  const char* lasting = LoadStr(kProgramName);
  for (int i = 0; i < 3 * kRingSlots; ++i) RingCopy("ecrase");
  EXPECT_STREQ(lasting, "Nuv-Merlon ZEL");
  EXPECT_EQ(LoadStr(kProgramName), lasting);

  // A 5,000-character result enlarges its slot, which keeps the room.
  std::string big(5000, 'z');
  int slot = (RingIndex() + 1) % kRingSlots;
  EXPECT_EQ(std::string(SubStr(big.c_str(), 1, 0)), big);
  EXPECT_EQ(RingSlotRoom(slot), 5000u);
  for (int i = 0; i < kRingSlots; ++i) Chr('a');
  EXPECT_EQ(RingSlotRoom(slot), 5000u);

  // Concat alternates two buffers and tolerates its own results as input.
  char* c1 = Concat("a", "b");
  char* c2 = Concat(c1, "c");
  EXPECT_STREQ(c1, "ab");
  EXPECT_STREQ(c2, "abc");
  char* c3 = Concat(c2, c1, "d");
  EXPECT_STREQ(c3, "abcabd");
}

TEST_F(TextFunctions, SplitAndProperCase) {
  using V = std::vector<std::string>;
  struct Row { const char* text; bool skip; char sep, e1; V expected; } rows[] = {
      {"a,,b, ", true, ',', 0, V{"a", "b"}},
      {"x&y|z", false, '&', '|', V{"x", "y", "z"}},
  };
  for (const auto& r : rows) EXPECT_EQ(SplitText(r.text, r.skip, r.sep, r.e1), r.expected) << r.text;

  std::string path = "c:\\dossiers\\DOS2a-un";
  EXPECT_EQ(ProperCase(path), "C:\\Dossiers\\Dos2A-Un");
}
