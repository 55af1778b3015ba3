// Painting of the list windows: header band, rows in character cells,
// selected, cancelled and striped rows, grid, cut texts with tooltips.
#include <algorithm>

#include "controls/drawing.h"
#include "framework/browse.h"
#include "runtime/access_rights.h"
#include "runtime/dates.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"

namespace {
constexpr gui::ColorRef kHeaderBand = gui::Rgb(248, 248, 248);
constexpr gui::ColorRef kCancelledBand = gui::Rgb(255, 108, 108);
constexpr gui::ColorRef kSelectedBand = gui::Rgb(102, 102, 255);
constexpr gui::ColorRef kStripeBand = gui::Rgb(187, 232, 234);
constexpr gui::ColorRef kGrid = gui::Rgb(192, 192, 192);

gui::ColorRef Shade(gui::ColorRef c, int d) {
  const auto s = static_cast<short>(d);
  return ShadeColor(c, s, s, s);
}

// A vertical band split at 45 % of its height: from the colour shaded by
// +d to the colour, then from the colour to the colour shaded by -d.
void ShadedBand(gui::DC& dc, const gui::Box& b, gui::ColorRef c, int d) {
  const int split = b.top + b.Height() * 45 / 100;
  GradientRect(dc, false, b.left, b.top, Shade(c, d), b.right, split, c, 255, 255);
  GradientRect(dc, false, b.left, split, c, b.right, b.bottom, Shade(c, -d), 255, 255);
}

gui::ColorRef TextColour(int code) {
  using namespace gui::colors;
  switch (code) {
    case 1: return LtGray;
    case 2: return Gray;
    case 3: return LtRed;
    case 4: return LtGreen;
    case 5: return LtYellow;
    case 6: return LtBlue;
    case 7: return LtMagenta;
    case 8: return LtCyan;
    case 9: return White;
    default: return Black;
  }
}
}  // namespace

void CMDIBrowse::Paint() {
  if (IsIconic() || PrintRunFlag || view_ == nullptr) return;
  const gui::Rect c = ClientArea();
  if (c.w <= 0 || c.h <= 0) return;
  gui::WindowDC dc(*view_);
  if (!dc.IsValid()) return;
  view_->ClearToolTips();
  // A window's paint goes to its backing store and reaches the screen
  // whole, so the list draws straight there with or without double
  // buffering: a bitmap of its own would only add a copy of the same pixels.
  DrawList(dc, c.w, c.h);
}

bool CMDIBrowse::SaveSnapshot(const std::string& path) {
  const gui::Rect c = ClientArea();
  if (c.w <= 0 || c.h <= 0) return false;
  gui::MemoryDC mem(c.w, c.h);
  DrawList(mem, c.w, c.h);
  return mem.SavePng(path);
}

void CMDIBrowse::DrawList(gui::DC& dc, int width, int height) {
  const int rh = RowHeightPixels(), cw = CharWidthPixels();
  const int n = ColumnCount(columns_), fixed = FixedColumnCount(columns_);
  auto tip = [this](const gui::Box& b, const std::string& text) {
    if (view_ != nullptr) view_->AddToolTip(b, text);
  };
  auto cellBox = [&](int k, int top) {
    const BrowseColumn& col = columns_[static_cast<std::size_t>(k)];
    const int left = (ColumnStart(columns_, k) - (k > fixed ? store_.hPos : 0)) * cw;
    return gui::Box{left, top, left + static_cast<int>(col.width) * cw, top + rh};
  };
  auto visible = [&](const gui::Box& b, int k) {
    if (b.right <= 0 || b.left >= width) return false;
    // Scrolled columns never show under the fixed ones.
    if (k > fixed && fixed > 0 && b.right <= ColumnStart(columns_, fixed + 1) * cw) return false;
    return true;
  };
  const int fixedRight = fixed > 0 ? (ColumnStart(columns_, fixed) + static_cast<int>(columns_[static_cast<std::size_t>(fixed)].width)) * cw : 0;

  dc.FillSolidRect(gui::Box{0, 0, width, height}, gui::colors::White);
  dc.SetBkMode(gui::TRANSPARENT);

  // Header.
  dc.SelectFont(TableFontBold);
  dc.SetTextColor(gui::colors::Black);
  for (int k = 1; k <= n; ++k) {
    gui::Box b = cellBox(k, 0);
    if (!visible(b, k)) continue;
    if (k > fixed && b.left < fixedRight) b.left = fixedRight;
    const int split = b.top + rh * 45 / 100;
    GradientRect(dc, false, b.left, b.top, Shade(kHeaderBand, 4), b.right, split, Shade(kHeaderBand, -8), 255, 255);
    GradientRect(dc, false, b.left, split, Shade(kHeaderBand, -14), b.right, b.bottom, Shade(kHeaderBand, -30), 255, 255);
    dc.FillSolidRect(gui::Box{b.right - 1, b.top, b.right, b.bottom}, Shade(kHeaderBand, -35));
    std::string title = AllTrim(columns_[static_cast<std::size_t>(k)].title.c_str());
    const gui::Box full = cellBox(k, 0);
    const int room = full.Width() - 4;
    if (dc.GetTextExtent(title).cx > room) {
      tip(full, title);
      title = FitTextToWidth(title, room, [&dc](const std::string& t) { return dc.GetTextExtent(t).cx; });
    }
    const int tw = dc.GetTextExtent(title).cx;
    const int x = title.find('\\') != std::string::npos ? full.left + 2 : full.left + std::max(2, (full.Width() - tw) / 2);
    dc.ExtTextOut(x, 3, gui::ETO_CLIPPED, &b, title);
  }

  // Rows. The stripe starts afresh with each drawing: a row keeps its band however many rows the
  // drawings before it painted (a moved selection redraws the page).
  stripe_ = false;
  int drawn = 0;
  const long lastRow = store_.totalRows - store_.top;
  for (int i = 1; i <= store_.rowsPerPage; ++i) {
    if (i > lastRow) break;
    const std::string& row = store_.rows[static_cast<std::size_t>(i - 1)];
    if (row.find_first_not_of(' ') == std::string::npos) break;
    const int top = i * rh;
    const bool cancelled = row.size() > 6 && row[6] == kMarkerCancelled;
    const bool selected = store_.selected == store_.top + i;
    std::size_t pos = 6;
    for (int k = 1; k <= n; ++k) {
      const BrowseColumn& col = columns_[static_cast<std::size_t>(k)];
      const std::size_t len = col.field == 0 ? 1 : col.value2;
      std::string cell = pos < row.size() ? row.substr(pos, len) : std::string();
      pos += len;
      gui::Box b = cellBox(k, top);
      if (!visible(b, k)) continue;
      if (k > fixed && b.left < fixedRight) b.left = fixedRight;
      const bool marker = col.field == 0;
      if (!marker) cell = AllTrim(cell.c_str());
      if (col.displayType == 'D' && !IsBlank(cell)) cell = ConvertDate(cell.c_str());
      gui::ColorRef text = TextColour(GetCellTextColor(i, k));
      if (marker) {
        dc.SelectFont(SymbolFont);
        if (cancelled) ShadedBand(dc, b, kCancelledBand, 60);
        else dc.FillSolidRect(b, gui::GetSysColor(gui::SysColor::BtnFace));
        text = gui::colors::Black;
      } else {
        dc.SelectFont(cancelled ? TableFontStruck : GetCellFont(i, k, TableFont));
        if (selected && k >= 2) {
          ShadedBand(dc, b, kSelectedBand, 60);
        } else if (cancelled) {
          ShadedBand(dc, b, kCancelledBand, 60);
        } else if (stripe_ && k >= 2) {
          ShadedBand(dc, b, kStripeBand, 10);
        } else {
          dc.FillSolidRect(b, gui::colors::White);
        }
      }
      if (selected && k >= 2) text = gui::colors::White;
      dc.SetTextColor(text);
      const gui::Box full = cellBox(k, top);
      const int cellWidth = full.Width();
      // A left-aligned text that fits by the sum of its characters' widths
      // with a pixel to spare per character (more than the list fonts'
      // kerning ever adds) needs no exact measure.
      const bool plainFit =
          col.align == 'G' && dc.GetCharsWidth(cell) + static_cast<int>(cell.size()) <= cellWidth - 2;
      int tw = plainFit ? 0 : dc.GetTextExtent(cell).cx;
      if (!plainFit && k >= 2 && tw > cellWidth - 2) {
        tip(full, cell);
        cell = FitTextToWidth(cell, cellWidth - 2, [&dc](const std::string& t) { return dc.GetTextExtent(t).cx; });
        tw = dc.GetTextExtent(cell).cx;
      }
      int offset = 0;
      if (col.align == 'C') offset = (cellWidth - tw - 3) / 2;
      else if (col.align != 'G') offset = cellWidth - tw - 3;
      offset = std::max(offset, 0);
      dc.ExtTextOut(full.left + offset + 2, top + 3, gui::ETO_CLIPPED, &b, cell);
    }
    stripe_ = !stripe_;
    drawn = i;
  }
  const int below = (drawn + 1) * rh;
  if (below < height) dc.FillSolidRect(gui::Box{0, below, width, height}, gui::colors::White);

  // Grid.
  // Grid: one-pixel lines, filled as rectangles (the quickest way to draw
  // straight lines of one pixel).
  for (int k = 1; k <= store_.rowsPerPage + 1; ++k) dc.FillSolidRect(gui::Box{0, k * rh, width, k * rh + 1}, kGrid);
  for (int k = 1; k <= n; ++k) {
    const gui::Box b = cellBox(k, 0);
    if (!visible(b, k) || (k > fixed && b.right <= fixedRight)) continue;
    dc.FillSolidRect(gui::Box{b.right - 1, rh, b.right, height}, kGrid);
  }
  if (fixedRight > 0) dc.FillSolidRect(gui::Box{fixedRight - 1, rh, fixedRight, height}, kGrid);

  // Column being dragged in the header.
  if (drag_ == Drag::Resize) {
    dc.SelectPen(gui::Pen::Solid(gui::colors::Black));
    dc.MoveTo(dragX_, 0);
    dc.LineTo(dragX_, height);
  } else if (drag_ == Drag::Move && dragColumn_ >= 1 && dragColumn_ <= n) {
    gui::Box b = cellBox(dragColumn_, 0);
    const int dx = dragX_ - dragStartX_;
    dc.SelectPen(gui::Pen::Solid(gui::colors::Black));
    dc.SelectBrush(gui::Brush::Hollow());
    dc.Rectangle(b.left + dx, 0, b.right + dx, height);
  }
}
