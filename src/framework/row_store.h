// The rows a list window keeps: only the visible page, as texts. Characters
// 1-6 of a row are the record's physical number (zero-filled), character 7
// the marker (0xF0 ordinary, '#' cancelled), the record's code from 8.
#pragma once

#include <string>
#include <vector>

using BrowseRows = std::vector<std::string>;

constexpr char kMarkerOrdinary = static_cast<char>(0xF0);
constexpr char kMarkerCancelled = '#';

struct BrowseRowStore {
  BrowseRows rows;       // one text per visible row
  int rowsPerPage = 0;
  long top = 0;          // records above the first visible row
  int hPos = 0;          // first visible character column
  int hRange = 0;        // total width - client width in characters, 0 when they fit
  long totalRows = 0;
  long selected = 0;     // absolute, 1-based; 0 none

  long LastTop() const { return totalRows > rowsPerPage ? totalRows - rowsPerPage : 0; }
  void Clear() { *this = BrowseRowStore{}; }

  // Record number in characters 1-6 of row i (0-based); 0 for an empty row,
  // a row without data or an index outside the page.
  long RecordNumberOf(int i) const;
  static long RecordNumberOfText(const std::string& row);
  // Row i holds text (not empty, not only blanks).
  bool HasText(int i) const;
  char MarkerOf(int i) const;
};
