#include "framework/row_store.h"

long BrowseRowStore::RecordNumberOfText(const std::string& row) {
  if (row.size() < 6) return 0;
  long n = 0;
  for (int k = 0; k < 6; ++k) {
    char c = row[static_cast<std::size_t>(k)];
    if (c == ' ') continue;
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

long BrowseRowStore::RecordNumberOf(int i) const {
  if (i < 0 || i >= static_cast<int>(rows.size())) return 0;
  return RecordNumberOfText(rows[static_cast<std::size_t>(i)]);
}

bool BrowseRowStore::HasText(int i) const {
  if (i < 0 || i >= static_cast<int>(rows.size())) return false;
  return rows[static_cast<std::size_t>(i)].find_first_not_of(' ') != std::string::npos;
}

char BrowseRowStore::MarkerOf(int i) const {
  if (i < 0 || i >= static_cast<int>(rows.size()) || rows[static_cast<std::size_t>(i)].size() < 7) return 0;
  return rows[static_cast<std::size_t>(i)][6];
}
