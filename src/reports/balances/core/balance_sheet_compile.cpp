#include "reports/balances/core/balance_sheet_compile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "data/table.h"
#include "data/table_create.h"
#include "data/table_structures.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/balances/core/code_lists.h"
#include "runtime/text.h"

namespace balances {

std::vector<std::string> SplitCsvLine(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type from = 0;
  for (;;) {
    const auto at = line.find(';', from);
    fields.push_back(Trimmed(line.substr(from, at == std::string::npos ? std::string::npos : at - from)));
    if (at == std::string::npos) break;
    from = at + 1;
  }
  return fields;
}

namespace {

bool ReadRows(const std::string& path, std::size_t width, std::vector<std::vector<std::string>>& rows,
              std::string* message) {
  std::string text;
  if (!platform::ReadWholeFile(path, text)) {
    if (message != nullptr) *message = "illisible: " + path;
    return false;
  }
  std::string converted;
  if (!platform::Utf8ToCp1252(text, converted, platform::Unassigned::kRefuse)) {
    if (message != nullptr) *message = "pas en UTF-8: " + path;
    return false;
  }
  bool heading = true;
  std::size_t number = 0, from = 0;
  while (from < converted.size()) {
    auto end = converted.find('\n', from);
    if (end == std::string::npos) end = converted.size();
    std::string line = converted.substr(from, end - from);
    from = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trimmed(line).empty() || line[0] == '#') continue;
    if (heading) {
      heading = false;
      continue;
    }
    std::vector<std::string> f = SplitCsvLine(line);
    if (f.size() != width) {
      if (message != nullptr)
        *message = path + ":" + std::to_string(number) + ": " + std::to_string(f.size()) + " champs au lieu de " +
                   std::to_string(width);
      return false;
    }
    rows.push_back(std::move(f));
  }
  return true;
}

}  // namespace

bool CompileModel(const std::string& linesCsv, const std::string& paramsCsv, const std::string& folder, char letter,
                  std::string* message) {
  std::vector<std::vector<std::string>> lines, params;
  if (!ReadRows(linesCsv, 15, lines, message) || !ReadRows(paramsCsv, 9, params, message)) return false;
  const std::string l = std::string(1, letter);
  const std::string linesPath = folder + TableBaseName(TableKind::ModelLines, l);
  const std::string paramsPath = folder + TableBaseName(TableKind::ModelParams, l);
  if (CreateTableOfKind(TableKind::ModelLines, linesPath, true) != 0 ||
      CreateTableOfKind(TableKind::ModelParams, paramsPath, true) != 0) {
    if (message != nullptr) *message = "cr\xE9" "ation impossible dans " + folder;
    return false;
  }
  std::string firstCode;
  for (const auto& f : lines)
    if (firstCode.empty() || f[2] < firstCode) firstCode = f[2];

  Table t;
  if (!t.OpenExclusive(linesPath)) return false;
  for (const auto& f : lines) {
    std::string label = f[4];
    if (f[2] == firstCode) {
      label.resize(static_cast<std::size_t>(kTypePos), ' ');
      label[kTypePos - 1] = ModelTypeCharacter(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    }
    if (!t.AppendBlank()) return false;
    t.PutField(sheet_field::kCode, f[2].c_str());
    t.PutField(sheet_field::kSection, f[3].c_str());
    t.PutField(sheet_field::kLabel, label.c_str());
    t.PutField(sheet_field::kCalc, f[5].c_str());
    t.PutField(sheet_field::kLine, f[6].c_str());
    t.PutField(6, (f[0] + " " + f[1]).c_str());
    for (int c = 1; c <= 4; ++c) {
      t.PutField(sheet_field::Poste(c), f[static_cast<std::size_t>(5 + 2 * c)].c_str());
      const std::string& col = f[static_cast<std::size_t>(6 + 2 * c)];
      t.PutFieldNum(sheet_field::PrintColumn(c), col.empty() ? 0 : std::atoi(col.c_str()));
      for (int currency = 0; currency < 2; ++currency) t.PutFieldNum(sheet_field::Amount(c, currency), 0);
    }
    if (!t.InsertRecord()) return false;
  }
  t.CloseTable();

  if (!t.OpenExclusive(paramsPath, kModelParamsTagName)) return false;
  for (const auto& f : params) {
    if (!t.AppendBlank()) return false;
    for (int i = 0; i < 7; ++i) t.PutField(i + 1, f[static_cast<std::size_t>(2 + i)].c_str());
    t.PutField(8, (f[0] + " " + f[1]).c_str());
    if (!t.InsertRecord()) return false;
  }
  t.CloseTable();
  return true;
}

}  // namespace balances
