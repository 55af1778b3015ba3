// The cells of the CSV exports the reports write, read back by the tests.
#pragma once

#include <string>
#include <vector>

// The cells of a CSV export (";" between cells, quotes doubled inside quoted cells), a row per
// line that is not empty.
inline std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ';') {
      row.push_back(cell);
      cell.clear();
      any = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (any || !cell.empty()) row.push_back(cell);
      if (!row.empty()) rows.push_back(row);
      row.clear();
      cell.clear();
      any = false;
    } else {
      cell += c;
      any = true;
    }
  }
  if (any || !cell.empty()) {
    row.push_back(cell);
    rows.push_back(row);
  }
  return rows;
}
