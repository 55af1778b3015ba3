// The texts a list window shows cut short. The painter gives a header title or a cell too wide
// for its column a tooltip holding it whole: the page is drawn at the list's size, scrolled
// sideways step by step until every column has shown, and each column's title and each cell of
// the rows asked for is looked up under its cell.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "framework/browse.h"
#include "platform/gui/dc.h"

namespace test_support {

// "title" for each cut title and "title, row r: text" for each cut cell of rows 1..rows of the
// page, each once. `seen`, when given, receives the number of columns looked at (those of
// width 0 never show).
inline std::vector<std::string> CutTexts(CMDIBrowse& list, int rows, int* seen = nullptr) {
  const gui::Rect area = list.ClientArea();
  const BrowseColumnTable& columns = list.Columns();
  const int cw = CMDIBrowse::CharWidthPixels(), rh = CMDIBrowse::RowHeightPixels();
  const int fixed = FixedColumnCount(columns);
  const int fixedWidth = fixed > 0 ? ColumnStart(columns, fixed + 1) : 0;
  const int step = std::max(1, (area.w / cw - fixedWidth) / 2);
  const int kept = list.Store().hPos;
  std::vector<std::string> cut;
  std::set<int> looked;
  for (int hPos = 0;; hPos += step) {
    list.Store().hPos = hPos;
    list.View()->ClearToolTips();
    gui::MemoryDC dc(area.w, area.h);
    list.DrawList(dc, area.w, area.h);
    bool lastShown = false;
    for (int k = 2; k <= ColumnCount(columns); ++k) {
      const BrowseColumn& column = columns[static_cast<std::size_t>(k)];
      const int left = (ColumnStart(columns, k) - (k > fixed ? hPos : 0)) * cw;
      const int right = left + static_cast<int>(column.width) * cw;
      if (k == ColumnCount(columns)) lastShown = right <= area.w;
      // A column is looked at once it shows whole, right of the fixed ones.
      if (column.width == 0 || left < (k > fixed ? fixedWidth * cw : 0) || right > area.w) continue;
      if (!looked.insert(k).second) continue;
      const int middle = (left + right) / 2;
      auto add = [&cut](const std::string& text) {
        if (std::find(cut.begin(), cut.end(), text) == cut.end()) cut.push_back(text);
      };
      if (!list.View()->ToolTipAt(gui::Point{middle, rh / 2}).empty()) add(column.title);
      for (int row = 1; row <= rows; ++row) {
        const std::string tip = list.View()->ToolTipAt(gui::Point{middle, row * rh + rh / 2});
        if (!tip.empty()) add(column.title + ", row " + std::to_string(row) + ": " + tip);
      }
    }
    if (lastShown || hPos > TotalColumnWidth(columns)) break;
  }
  list.Store().hPos = kept;
  if (seen != nullptr) *seen = static_cast<int>(looked.size());
  return cut;
}

// The columns a list can show: all but the marker and those of width 0.
inline int ShownColumnCount(const CMDIBrowse& list) {
  int n = 0;
  for (int k = 2; k <= ColumnCount(list.Columns()); ++k) n += list.Columns()[static_cast<std::size_t>(k)].width > 0;
  return n;
}

}  // namespace test_support
