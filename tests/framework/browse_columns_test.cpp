// Column tables, saved layouts, ordering weights and the pure helpers of the
// list windows.
#include <gtest/gtest.h>

#include "framework/browse.h"
#include "framework/browse_columns.h"
#include "framework/ordering_table.h"
#include "framework/row_store.h"

namespace {

// Marker (2), code (10), name (22), date (10): total width 44.
BrowseColumnTable Declared() {
  BrowseColumnTable t = MakeColumnTable(4, 1);
  DefineColumn(t, 1, 2, "", 'C', 'C', 0, 0, 0);
  DefineColumn(t, 2, 10, "Code", 'C', 'G', 1, 0, 8);
  DefineColumn(t, 3, 22, "Nom du compte et un titre trop long", 'C', 'G', 2, 0, 20);
  DefineColumn(t, 4, 10, "Date", 'D', 'D', 3, 0, 6);
  PrepareColumnTable(t);
  return t;
}

TEST(BrowseColumns, DeclaredTablePreparedAsTheListExpects) {
  BrowseColumnTable t = Declared();
  // Column 1 holds the total width, the others their starts.
  EXPECT_EQ(std::vector<unsigned>({t[1].start, t[2].start, t[3].start, t[4].start}), std::vector<unsigned>({44, 2, 12, 34}));
  EXPECT_EQ(t[0].value2, 1u + 8 + 20 + 6);  // row-text length
}

TEST(BrowseColumns, SavedLayoutsGoodAndBad) {
  struct Case {
    const char* what;
    std::string value;
    bool accepted;
    std::vector<unsigned> order;   // declared numbers at positions 1-4
    std::vector<unsigned> widths;  // widths at positions 1-4
  };
  const std::vector<unsigned> declaredOrder{1, 2, 3, 4}, declaredWidths{2, 10, 22, 10};
  const std::vector<Case> cases = {
      {"resize of the code column", "001001048002" "002002002014" "003003016022" "004004038010", true, {1, 2, 3, 4}, {2, 14, 22, 10}},
      {"columns 3 and 4 swapped", "003004012010004003022022", true, {1, 2, 4, 3}, {2, 10, 10, 22}},
      {"a column shown twice", "002003002022", false, declaredOrder, declaredWidths},
      {"cut group at the end is ignored", "002002002010003", true, declaredOrder, {2, 10, 22, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BrowseColumnTable t = Declared();
    EXPECT_EQ(ApplySavedLayout(t, c.value), c.accepted);
    std::vector<unsigned> order, widths;
    for (std::size_t k = 1; k <= 4; ++k) {
      order.push_back(t[k].declared);
      widths.push_back(t[k].width);
    }
    EXPECT_EQ(order, c.order);
    EXPECT_EQ(widths, c.widths);
    // What is saved again opens as the same layout; a refused one saves nothing.
    const std::string saved = FormatSavedLayout(t);
    if (!c.accepted) {
      EXPECT_EQ(saved, "");
      continue;
    }
    BrowseColumnTable again = Declared();
    ASSERT_TRUE(ApplySavedLayout(again, saved));
    EXPECT_EQ(FormatSavedLayout(again), saved);
  }
}

TEST(BrowseColumns, OrderingTableFollowsTheIndexOrder) {
  OrderingTable o;
  // Accented letters sort with their base letter, as the engine's keys do.
  const std::vector<std::pair<std::string, std::string>> ordered = {
      {"\xC9", "F"}, {"e", "\xE9"}, {"Z", "a"}};
  for (const auto& [lo, hi] : ordered) {
    EXPECT_LT(o.MapThroughOrderingTable(lo), o.MapThroughOrderingTable(hi)) << lo << " " << hi;
    EXPECT_LT(o.Compare(lo, hi, true), 0);
  }
}

}  // namespace
