// The PDF printouts of the tests read back through the system's tools (pdfinfo, pdftotext, qpdf),
// started through argv and waited for.
#pragma once

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "platform/system/files.h"
#include "platform/system/process.h"

namespace test_support {

inline platform::LaunchResult Tool(const std::vector<std::string>& argv) {
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  return platform::LaunchProcess(argv, o);
}

// The page count pdfinfo reads (-1 when it reads none).
inline int PdfPages(const std::string& pdf) {
  const std::string out = Tool({"pdfinfo", pdf}).output;
  std::smatch m;
  return std::regex_search(out, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

// One page of the PDF as pdftotext lays it out (UTF-8, through a file beside the PDF), runs of
// blanks made one.
inline std::string PdfText(const std::string& pdf, int page) {
  const std::string out = pdf + ".txt";
  Tool({"pdftotext", "-layout", "-enc", "UTF-8", "-f", std::to_string(page), "-l", std::to_string(page), pdf, out});
  std::string utf8;
  platform::ReadWholeFile(out, utf8);
  std::filesystem::remove(out);
  return std::regex_replace(utf8, std::regex(" +"), " ");
}

// The whole PDF's text, page after page.
inline std::string PdfAllText(const std::string& pdf) {
  std::string text;
  for (int page = 1, pages = PdfPages(pdf); page <= pages; ++page) text += PdfText(pdf, page) + "\n";
  return text;
}

// A word of a PDF page and its box, in points from the page's top left corner, as pdftotext
// -bbox reads them; each page with its size.
struct PdfWord {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  std::string text;  // UTF-8
};
struct PdfPage {
  double width = 0, height = 0;
  std::vector<PdfWord> words;
};
inline std::vector<PdfPage> PdfWords(const std::string& pdf) {
  const std::string out = pdf + ".bbox.html";
  Tool({"pdftotext", "-bbox", "-enc", "UTF-8", pdf, out});
  std::string html;
  platform::ReadWholeFile(out, html);
  std::filesystem::remove(out);
  std::vector<PdfPage> pages;
  static const std::regex item(
      "<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">|<word xMin=\"([0-9.-]+)\" yMin=\"([0-9.-]+)\" "
      "xMax=\"([0-9.-]+)\" yMax=\"([0-9.-]+)\">([^<]*)</word>");
  for (std::sregex_iterator it(html.begin(), html.end(), item), end; it != end; ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) {
      pages.push_back({std::stod(m[1]), std::stod(m[2]), {}});
      continue;
    }
    if (pages.empty()) continue;
    std::string text = m[7];
    for (const auto& [entity, c] : {std::pair{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}})
      for (std::size_t at; (at = text.find(entity)) != std::string::npos;) text.replace(at, std::string(entity).size(), c);
    pages.back().words.push_back({std::stod(m[3]), std::stod(m[4]), std::stod(m[5]), std::stod(m[6]), text});
  }
  return pages;
}

// The words of a page past its edges, each with where it lies.
inline std::vector<std::string> WordsPastThePage(const PdfPage& page) {
  std::vector<std::string> past;
  for (const PdfWord& w : page.words)
    if (w.xMin < 0 || w.yMin < 0 || w.xMax > page.width || w.yMax > page.height)
      past.push_back("'" + w.text + "' from x " + std::to_string(w.xMin) + " to " + std::to_string(w.xMax));
  return past;
}

// Where a page shows `text` (UTF-8) as words one after the other on one line: the box of each
// showing, from its first word's left to its last word's right.
inline std::vector<PdfWord> Showings(const PdfPage& page, const std::string& text) {
  std::vector<std::string> wanted;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find(' ', at);
    if (end != at) wanted.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  std::vector<PdfWord> found;
  const std::vector<PdfWord>& w = page.words;
  for (std::size_t i = 0; !wanted.empty() && i + wanted.size() <= w.size(); ++i) {
    bool same = true;
    for (std::size_t k = 0; k < wanted.size() && same; ++k)
      same = w[i + k].text == wanted[k] && (k == 0 || (w[i + k].yMin == w[i].yMin && w[i + k].xMin > w[i + k - 1].xMax));
    if (same) found.push_back({w[i].xMin, w[i].yMin, w[i + wanted.size() - 1].xMax, w[i].yMax, text});
  }
  return found;
}

// Page `page` of the PDF as a PNG picture `prefix`.png (pdftoppm, 75 dots an inch).
inline void PdfPicture(const std::string& pdf, int page, const std::string& prefix) {
  Tool({"pdftoppm", "-png", "-r", "75", "-singlefile", "-f", std::to_string(page), "-l", std::to_string(page), pdf,
        prefix});
}

// An amount as a report or an export writes it ("1 234.50", "-3,00", "16 499.41 Cr") in cents,
// without its sign.
inline long long AmountCents(const std::string& text) {
  long long units = 0;
  int decimals = -1;
  for (char c : text) {
    if (c == ',' || c == '.') decimals = 0;
    if (c >= '0' && c <= '9') {
      units = units * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    }
  }
  for (; decimals < 2; ++decimals) units *= 10;
  return units;
}

// Every amount with two decimals that a text shows (thousands grouped by a blank or not), in
// cents without sign.
inline std::vector<long long> AmountsIn(const std::string& text) {
  std::vector<long long> amounts;
  static const std::regex amount("[0-9]{1,3}(?: [0-9]{3})+[.,][0-9]{2}|[0-9]+[.,][0-9]{2}");
  for (std::sregex_iterator it(text.begin(), text.end(), amount), end; it != end; ++it)
    amounts.push_back(AmountCents(it->str()));
  return amounts;
}

}  // namespace test_support
