#include "utilities/core/raw_tables.h"

#include <cctype>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table_structures.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"

namespace settings {

namespace {

const RawTable kTables[] = {
    {command_id::AccesFichierC10, 10, ' ', 1853, 1860, "F10-", 'z'},
    {command_id::AccesFichierC20, 20, ' ', 1854, 1861, "F20-", 'y'},
    {command_id::AccesFichierC30, 30, ' ', 1855, 1862, "F30-", 'x'},
    {command_id::AccesFichierC40, 40, ' ', 1856, 1863, "F40-", 'w'},
    {command_id::AccesFichierC50, 50, ' ', 1857, 1864, "F50-", 'v'},
    {command_id::AccesFichierC60, 60, ' ', 1858, 1865, "F60-", 'u'},
    {command_id::AccesFichierC70, 70, ' ', 1859, 1866, "F70-", 't'},
    {command_id::AccesFichierParametresBilan, 0, 'P', 2051, 2053, "FPB-", 's'},
    {command_id::AccesFichierLignesBilan, 0, 'L', 2052, 2054, "FLB-", 'r'},
};

std::string TooLong(int width) {
  return LoadStr(22383) + std::to_string(width) + LoadStr(22384);
}

}  // namespace

const RawTable* FindRawTable(unsigned command) {
  for (const RawTable& t : kTables)
    if (t.command == command) return &t;
  return nullptr;
}

std::string RawTablePath(const RawTable& t, char modelLetter) {
  switch (t.fileNumber) {
    case 10: return PathC10();
    case 20: return PathC20();
    case 30: return PathC30();
    case 40: return PathC40();
    case 50: return PathC50();
    case 60: return PathC60();
    case 70: return PathC70();
    default: break;
  }
  const std::string letter(1, modelLetter);
  const std::string base = TableBaseName(t.model == 'P' ? TableKind::ModelParams : TableKind::ModelLines, letter);
  return base.empty() ? std::string() : ProgramFilePath(base + ".dbf");
}

Table* RawTableObject(const RawTable& t) {
  switch (t.fileNumber) {
    case 10: return TableC10;
    case 20: return TableC20;
    case 30: return TableC30;
    case 40: return TableC40;
    case 50: return TableC50;
    case 60: return TableC60;
    case 70: return TableC70;
    default: return TableCXX;
  }
}

RawFieldUse UseOfFieldType(char type) {
  if (type == 'C' || type == 'N') return RawFieldUse::Edit;
  if (type == 'M') return RawFieldUse::Leave;
  return RawFieldUse::Show;
}

bool CheckRawFieldValue(char type, int width, int decimals, const std::string& typed, std::string& stored,
                        std::string& message) {
  if (type == 'C') {
    if (static_cast<int>(typed.size()) > width && !IsBlank(typed.substr(static_cast<std::size_t>(width)))) {
      message = TooLong(width);
      return false;
    }
    stored = typed.substr(0, static_cast<std::size_t>(width));
    return true;
  }
  if (type != 'N') {
    message = LoadStr(22385);
    return false;
  }
  const std::string t = AllTrim(typed.c_str());
  if (t.empty()) {
    stored = "0";
    return true;
  }
  std::size_t at = 0;
  const bool negative = t[0] == '-';
  if (t[0] == '-' || t[0] == '+') ++at;
  std::string whole, fraction;
  bool mark = false;
  for (; at < t.size(); ++at) {
    const char c = t[at];
    if (c >= '0' && c <= '9') {
      (mark ? fraction : whole) += c;
    } else if ((c == '.' || c == ',') && !mark) {
      mark = true;
    } else {
      message = "\n\n\n'" + t + LoadStr(22386);
      return false;
    }
  }
  if (whole.empty() && fraction.empty()) {
    message = "\n\n\n'" + t + LoadStr(22387);
    return false;
  }
  if (static_cast<int>(fraction.size()) > decimals) {
    message = LoadStr(22388) + std::to_string(decimals) + LoadStr(22389) + t + LoadStr(22390);
    return false;
  }
  const std::size_t lead = whole.find_first_not_of('0');
  whole = lead == std::string::npos ? std::string("0") : whole.substr(lead);
  const int needed = (negative ? 1 : 0) + static_cast<int>(whole.size()) + (decimals > 0 ? 1 + decimals : 0);
  if (needed > width) {
    message = LoadStr(22391) + t + LoadStr(22392) + std::to_string(width) + LoadStr(22384);
    return false;
  }
  stored = (negative ? "-" : "") + whole + (fraction.empty() ? std::string() : "." + fraction);
  return true;
}

}  // namespace settings
