// The builders of the form items that the layouts of every kind are written with (code_layouts.cpp and
// chart_layouts.cpp).
#pragma once

#include "masterdata/core/code_layouts.h"

namespace masterdata::layout {

// Kinds of places on the form grid (CMDIModif::MoveFormControls).
inline constexpr int kGridButton = 1, kGridBox = 2, kGridText = 5, kGridLabel = 7;
// A "?" button at the right end of its column.
inline constexpr int kBoxAtRight = 5;

inline FormItem Label(int id, const char* text, int col, int row, int ncols = 1) {
  FormItem i{Item::Label, id, text};
  i.col = col, i.row = row, i.ncols = ncols, i.grid = kGridLabel;
  return i;
}

inline FormItem Frame(int id, const char* text, int col, int row, int ncols) {
  FormItem i = Label(id, text, col, row, ncols);
  i.item = Item::Frame;
  return i;
}

inline FormItem Display(int id, int col, int row, int ncols) {
  FormItem i = Label(id, "", col, row, ncols);
  i.item = Item::Display;
  return i;
}

// An edit of `width` characters whose value is kept in `slice`.
inline FormItem Edit(int id, Slice slice, Fill fill, int width, int col, int row, int ncols, int enter = 1,
              bool upper = false) {
  FormItem i{Item::Edit, id, "", slice, fill, width};
  i.enter = enter, i.upper = upper;
  i.col = col, i.row = row, i.ncols = ncols, i.grid = kGridText, i.extra = width;
  return i;
}

inline FormItem Number(int id, Slice slice, Fill fill, int width, int input, int decimals, int col, int row, int enter) {
  FormItem i = Edit(id, slice, fill, width, col, row, 1, enter);
  i.input = input, i.decimals = decimals;
  return i;
}

inline FormItem Check(int id, const char* text, Slice slice, int col, int row, int ncols) {
  FormItem i{Item::Check, id, text, slice, Fill::YesNo, 1};
  i.col = col, i.row = row, i.ncols = ncols, i.grid = kGridText;
  return i;
}

inline FormItem Combo(int id, Slice slice, int col, int row, int ncols) {
  FormItem i{Item::Combo, id, "", slice, Fill::Letter, 1};
  i.col = col, i.row = row, i.ncols = ncols, i.grid = kGridText;
  return i;
}

// The "?" button of a code field, at the right end of the label's column.
inline FormItem Ask(int id, int row) {
  FormItem i{Item::Button, id, "?"};
  i.col = 1, i.row = row, i.grid = kGridBox, i.extra = kBoxAtRight;
  return i;
}

inline FormItem Push(int id, const char* text, int col, int row, int ncols) {
  FormItem i{Item::Button, id, text};
  i.col = col, i.row = row, i.ncols = ncols, i.grid = kGridButton;
  return i;
}

// An edit of a number spanning `ncols` columns.
inline FormItem Amount(int id, Slice slice, Fill fill, int input, int col, int row, int ncols, int enter = 1) {
  FormItem i = Edit(id, slice, fill, 14, col, row, ncols, enter, true);
  i.input = input, i.decimals = 2;
  return i;
}

// The same items for the controls of some accounts only.
inline FormItem Only(Presence presence, FormItem item) {
  item.presence = presence;
  return item;
}

}  // namespace masterdata::layout
