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

}  // namespace test_support
