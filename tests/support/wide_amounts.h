// The amounts of a billion and more that a report shows, checked where the preview keeps them
// (its stored pages) and where the printer put them (the PDF's words): grouped whole, in the
// column of their heading, inside the page.
#pragma once

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "platform/system/cp1252.h"
#include "reports/engine/core/page_store.h"
#include "support/pdf_tools.h"

namespace test_support {

// The texts (UTF-8) of the amounts of a billion and more of the stored pages, each a faults'
// line when it is not grouped whole ("99999998295.30 Cr", "1153786 762.60") or when its cell does
// not end where the cell of one of the page's `headings` ends; `mates`, smaller amounts whose cells
// end there (where the PDF's columns end).
struct WideAmounts {
  std::vector<std::string> texts, faults, mates;
};
inline WideAmounts WideAmountsOf(const reports::PreviewPageStore& store, const std::vector<std::string>& headings) {
  static const std::regex amount("^-?[0-9 ]+[.,][0-9]{2}( (Db|Cr))?$");
  static const std::regex grouped("^-?[0-9]{1,3}( [0-9]{3})*[.,][0-9]{2}( (Db|Cr))?$");
  WideAmounts out;
  for (int p = 1; p <= store.PageCount(); ++p) {
    std::vector<int> ends;
    for (const reports::PageRecord& r : *store.Page(p))
      if (r.kind == 'X' && std::find(headings.begin(), headings.end(), std::string(r.text)) != headings.end())
        ends.push_back(r.n1 + r.n3);
    for (const reports::PageRecord& r : *store.Page(p)) {
      std::string text(r.text);
      std::replace(text.begin(), text.end(), '^', ' ');
      if ((r.kind != 'X' && r.kind != 'Z') || !std::regex_match(text, amount)) continue;
      const std::string digits = text.substr(0, text.find_first_of(".,"));
      const bool underHeading = std::find(ends.begin(), ends.end(), r.n1 + r.n3) != ends.end();
      if (std::count_if(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) < 10) {
        if (underHeading && out.mates.size() < 40) out.mates.push_back(platform::Cp1252ToUtf8(text));
        continue;
      }
      const std::string where = "page " + std::to_string(p) + " y " + std::to_string(r.n2) + " '" + text + "'";
      out.texts.push_back(platform::Cp1252ToUtf8(text));
      if (!std::regex_match(text, grouped)) out.faults.push_back(where + ": not grouped whole");
      if (!underHeading)
        out.faults.push_back(where + ": ends at " + std::to_string(r.n1 + r.n3) + ", under no heading");
    }
  }
  return out;
}

// The faults of the PDF beside the amounts the preview showed: a word past its page, an amount of
// `wide.texts` it does not show whole on one line, or shows where no amount of `wide.mates` ends
// (to a point, on any page: the columns are those of every page).
inline std::vector<std::string> PdfWideAmountFaults(const std::string& pdf, const WideAmounts& wide) {
  const std::vector<std::string>& texts = wide.texts;
  const std::vector<std::string>& columns = wide.mates;
  std::vector<std::string> faults;
  const std::vector<PdfPage> pages = PdfWords(pdf);
  if (pages.empty()) return {"no page in " + pdf};
  std::vector<int> shown(texts.size(), 0);
  std::vector<double> ends;
  for (const PdfPage& page : pages)
    for (const std::string& c : columns)
      for (const PdfWord& w : Showings(page, c)) ends.push_back(w.xMax);
  for (std::size_t p = 0; p < pages.size(); ++p) {
    for (const std::string& past : WordsPastThePage(pages[p]))
      faults.push_back("PDF page " + std::to_string(p + 1) + ": " + past + " past the page's " +
                       std::to_string(pages[p].width));
    for (std::size_t i = 0; i < texts.size(); ++i)
      for (const PdfWord& w : Showings(pages[p], texts[i])) {
        ++shown[i];
        if (std::none_of(ends.begin(), ends.end(), [&](double e) { return std::fabs(e - w.xMax) <= 1.0; }))
          faults.push_back("PDF page " + std::to_string(p + 1) + ": '" + texts[i] + "' ends at " +
                           std::to_string(w.xMax) + ", where no amount of its column ends");
      }
  }
  for (std::size_t i = 0; i < texts.size(); ++i)
    if (shown[i] == 0) faults.push_back("PDF: '" + texts[i] + "' shown nowhere whole");
  return faults;
}

}  // namespace test_support
