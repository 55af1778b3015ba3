// The amounts a report shows, read back from where it shows them: the amount cells of a
// preview's stored pages, and the amounts of a printed PDF as pdftotext lays its text out.
// Both sorted, so that a test compares them cell for cell.
#pragma once

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "reports/engine/core/page_store.h"
#include "reports/engine/visu_window.h"

namespace printed_amounts {

// "1 200.00", "-10000181.32": digits, grouped by three or not, a point and two decimals.
inline const std::regex& AmountPattern() {
  static const std::regex pattern("-?[0-9]{1,3}(?: [0-9]{3})+\\.[0-9]{2}(?![0-9])|-?[0-9]+\\.[0-9]{2}(?![0-9])");
  return pattern;
}

// The texts of every amount cell (right-aligned text records) of every stored page.
inline std::vector<std::string> PreviewAmounts(const TWVisuWindow& preview) {
  std::vector<std::string> out;
  const reports::PreviewPageStore& store = preview.Context().store;
  for (int p = 1; p <= store.PageCount(); ++p)
    for (const reports::PageRecord& r : *store.Page(p)) {
      std::string text(r.text);
      std::replace(text.begin(), text.end(), '^', ' ');
      if (r.kind == 'Z' && std::regex_match(text, AmountPattern())) out.push_back(text);
    }
  std::sort(out.begin(), out.end());
  return out;
}

// The amounts of a text as pdftotext -layout writes a PDF's pages.
inline std::vector<std::string> TextAmounts(const std::string& text) {
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), AmountPattern()); it != std::sregex_iterator(); ++it)
    out.push_back(it->str());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace printed_amounts
