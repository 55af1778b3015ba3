#include "framework/browse_columns.h"

#include <cstdio>
#include <algorithm>
#include <set>

BrowseColumnTable MakeColumnTable(int n, int fixed) {
  if (n < 0) n = 0;
  BrowseColumnTable t(static_cast<std::size_t>(n) + 1);
  t[0].start = static_cast<std::uint32_t>(n);
  t[0].value1 = static_cast<std::uint32_t>(fixed < 0 ? 0 : fixed > n ? n : fixed);
  for (int k = 1; k <= n; ++k) {
    t[static_cast<std::size_t>(k)].number = static_cast<std::uint32_t>(k);
    t[static_cast<std::size_t>(k)].declared = static_cast<std::uint32_t>(k);
  }
  return t;
}

void DefineColumn(BrowseColumnTable& table, int n, int width, const std::string& title, char displayType,
                  char align, int field, std::uint32_t value1, std::uint32_t value2) {
  if (n < 1 || n > ColumnCount(table) || n >= static_cast<int>(table.size())) return;
  BrowseColumn& c = table[static_cast<std::size_t>(n)];
  c.number = static_cast<std::uint32_t>(n);
  c.declared = static_cast<std::uint32_t>(n);
  c.width = static_cast<std::uint32_t>(width < 0 ? 0 : width);
  c.start = c.width;
  c.title = title.substr(0, kColumnTitleLength);
  c.displayType = displayType;
  c.align = align;
  c.field = static_cast<std::uint16_t>(field);
  c.value1 = value1;
  c.value2 = value2;
  c.customised = 0;
}

void PrepareColumnTable(BrowseColumnTable& table) {
  if (table.empty()) table = MakeColumnTable(0);
  int n = ColumnCount(table);
  if (n > static_cast<int>(table.size()) - 1) n = static_cast<int>(table.size()) - 1;
  table[0].start = static_cast<std::uint32_t>(n);
  if (n == 0) {
    table.resize(2);  // one empty column entry
    table[1] = BrowseColumn{};
    table[0].value2 = 0;
    return;
  }
  std::uint32_t sum = 0, rowLength = 0;
  for (int k = 1; k <= n; ++k) {
    BrowseColumn& c = table[static_cast<std::size_t>(k)];
    if (k > 1) c.start = sum;
    sum += c.width;
    rowLength += c.field == 0 ? 1 : c.value2;
  }
  table[1].start = sum;
  table[0].value2 = rowLength;
}

int TotalColumnWidth(const BrowseColumnTable& table) {
  int n = ColumnCount(table);
  if (n == 0) return 0;
  int right = static_cast<int>(table[1].width);
  for (int k = 2; k <= n; ++k) {
    const BrowseColumn& c = table[static_cast<std::size_t>(k)];
    right = std::max(right, static_cast<int>(c.start + c.width));
  }
  return right;
}

namespace {
// Three digits (leading blanks allowed); -1 when not a number.
int Digits3(const std::string& s, std::size_t at) {
  int v = 0;
  bool any = false;
  for (std::size_t i = at; i < at + 3; ++i) {
    char c = s[i];
    if (c == ' ' && !any) continue;
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
    any = true;
  }
  return any ? v : -1;
}
}  // namespace

bool ApplySavedLayout(BrowseColumnTable& table, const std::string& value) {
  if (value.find_first_not_of(' ') == std::string::npos) return true;
  const int n = ColumnCount(table);
  BrowseColumnTable out = table;
  int total = static_cast<int>(table[1].start);
  // Column 1's group first: it carries the total width the others must fit in.
  struct Group { int k, c, start, width; };
  std::vector<Group> groups;
  std::set<int> positions;
  // Groups are read wherever they stand: a value lists only the customised
  // columns, so group k need not be the k-th group.
  for (std::size_t at = 0; at + kLayoutGroupLength <= value.size(); at += kLayoutGroupLength) {
    const int k = Digits3(value, at);
    if (k < 1 || k > n) continue;  // no such position: the declared columns stay
    Group g{k, Digits3(value, at + 3), Digits3(value, at + 6), Digits3(value, at + 9)};
    if (g.c < 1 || g.c > n || g.start < 1 || g.width < 1) return false;
    if (!positions.insert(k).second) return false;
    if (k == 1) {
      if (g.start < g.width) return false;
      total = g.start;
    }
    groups.push_back(g);
  }
  for (const Group& g : groups) {
    BrowseColumn c = table[static_cast<std::size_t>(g.c)];
    c.number = static_cast<std::uint32_t>(g.k);
    c.start = static_cast<std::uint32_t>(g.start);
    c.width = static_cast<std::uint32_t>(g.width);
    c.customised = 1;
    if (g.k > 1 && g.start + g.width > total) return false;
    out[static_cast<std::size_t>(g.k)] = c;
  }
  // Every column once: the row texts are built column after column.
  std::set<std::uint32_t> seen;
  for (int k = 1; k <= n; ++k)
    if (!seen.insert(out[static_cast<std::size_t>(k)].declared).second) return false;
  out[1].start = static_cast<std::uint32_t>(total);
  table = std::move(out);
  return true;
}

std::string FormatSavedLayout(const BrowseColumnTable& table) {
  std::string out;
  const int n = ColumnCount(table);
  char group[16];
  for (int k = 1; k <= n; ++k) {
    const BrowseColumn& c = table[static_cast<std::size_t>(k)];
    if (!c.customised) continue;
    std::snprintf(group, sizeof group, "%03d%03u%03u%03u", k % 1000, c.declared % 1000, c.start % 1000,
                  c.width % 1000);
    out += group;
  }
  return out;
}
