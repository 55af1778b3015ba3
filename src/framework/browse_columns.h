// Columns of a list window and their saved layout.
//
// A BrowseColumnTable holds a header in entry 0 (its `start` the column
// count n, `value1` the number of fixed leading columns, `value2` the total
// row-text length) and the columns in entries 1 to n. Column 1 always starts
// at 0; its `start` holds the list's total width in characters instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BrowseColumn {
  std::uint32_t number = 0;  // 1-based position
  std::uint32_t start = 0;   // characters from the left edge (column 1: total width)
  std::uint32_t width = 0;   // characters
  std::string title;         // at most 20 characters
  char displayType = 'C';    // 'D' stored date shown DD/MM/YY, else the text unchanged
  char align = 'G';          // 'G' left, 'D' right, 'C' centred
  std::uint16_t field = 0;   // 0 = marker column
  std::uint32_t value1 = 0;  // passed to GetCellText
  std::uint32_t value2 = 0;  // characters the cell contributes to the row text
  std::uint8_t customised = 0;
  std::uint32_t declared = 0;  // number the column was declared with (kept when it moves)
};

using BrowseColumnTable = std::vector<BrowseColumn>;

constexpr int kColumnTitleLength = 20;
// One group of the saved layout: position, column, start, width (3 digits each).
constexpr int kLayoutGroupLength = 12;
constexpr std::size_t kLayoutValueRoom = 32768;

// A table of n empty columns with `fixed` fixed leading columns.
BrowseColumnTable MakeColumnTable(int n, int fixed = 0);
inline int ColumnCount(const BrowseColumnTable& t) { return t.empty() ? 0 : static_cast<int>(t[0].start); }
inline int FixedColumnCount(const BrowseColumnTable& t) { return t.empty() ? 0 : static_cast<int>(t[0].value1); }

// Fills entry n; a number outside 1..count is ignored.
void DefineColumn(BrowseColumnTable& table, int n, int width, const std::string& title, char displayType,
                  char align, int field, std::uint32_t value1, std::uint32_t value2);

// What the list's constructor does with the declared table: starts become
// running sums of the widths, column 1's start the total width, entry 0's
// value2 the total row-text length. A table without columns becomes one
// empty column entry (count 0).
void PrepareColumnTable(BrowseColumnTable& table);

// Total width of the columns in characters (right end of the last one).
int TotalColumnWidth(const BrowseColumnTable& table);
// Start of column k in characters (column 1: 0).
inline int ColumnStart(const BrowseColumnTable& t, int k) { return k <= 1 ? 0 : static_cast<int>(t[static_cast<std::size_t>(k)].start); }

// Applies a saved layout value to the declared table. A group carrying
// position k (1 to n) in its first three characters gives the declared
// column shown at position k with its start and width (marked customised);
// positions without a group keep their declared column, and a group naming
// no position of the list is passed over. The whole value is refused (the
// declared layout stays, result false) when a group names a column outside
// 1..n, has a start or width below 1, runs past the total width, is not made
// of digits, repeats a position, or when the result would show a column
// twice. A blank value keeps the declared layout (result true).
bool ApplySavedLayout(BrowseColumnTable& table, const std::string& value);
// The value to save: one group for every customised column, in order.
std::string FormatSavedLayout(const BrowseColumnTable& table);
