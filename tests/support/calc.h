// A CSV export put through LibreOffice Calc headless and read back (csv_through_calc.py): what
// a user finds in a spreadsheet of the file.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "support/python.h"

namespace test_support {

// The names of a report family's numeric variables (type "N" or "M" in its "VAR" lines).
inline std::vector<std::string> NumericVariables(const std::string& family) {
  std::ifstream in(std::string(MERLON_SOURCE_DIR) + "/tools/report_render/families/" + family);
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VAR ", 0) == 0 && line.size() >= 15 && (line[14] == 'N' || line[14] == 'M')) {
      std::string name = line.substr(4, 10);
      name.erase(name.find_last_not_of(' ') + 1);
      names.push_back(name);
    }
  return names;
}

// "CELLS n" and a line per cell read back otherwise than written ("CHANGED ...") or per cell of
// an amount column that is not a number ("TEXT ..."); `work` a folder of the test's own.
inline std::string CsvThroughCalc(const std::string& csv, const std::string& work,
                                  const std::vector<std::string>& amountColumns) {
  std::string script = "import sys\nsys.argv = ['x', r'" + csv + "', r'" + work + "'";
  for (const std::string& c : amountColumns) script += ", '" + c + "'";
  script += "]\nexec(open(r'" MERLON_SOURCE_DIR "/tests/support/csv_through_calc.py').read())\n";
  return RunPythonScript(script, true);
}

}  // namespace test_support
