#include "utilities/core/raw_tables.h"

#include <cctype>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table_structures.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace settings {

namespace {

// The titles of each table's list ("Accès au Fichier C10 - Divers") and form ("Modification du Fichier C10 - Divers -
// Enregistrement: ", the record number after it), by their ids in the string table.
constexpr int kListTitleC10 = 1853, kFormTitleC10 = 1860;
constexpr int kListTitleC20 = 1854, kFormTitleC20 = 1861;
constexpr int kListTitleC30 = 1855, kFormTitleC30 = 1862;
constexpr int kListTitleC40 = 1856, kFormTitleC40 = 1863;
constexpr int kListTitleC50 = 1857, kFormTitleC50 = 1864;
constexpr int kListTitleC60 = 1858, kFormTitleC60 = 1865;
constexpr int kListTitleC70 = 1859, kFormTitleC70 = 1866;
constexpr int kListTitleModelParams = 2051, kFormTitleModelParams = 2053;
constexpr int kListTitleModelLines = 2052, kFormTitleModelLines = 2054;

// The refusals of a typed value, by their ids in the string table.
constexpr int kMsgTextTooLong = 22383;      // the field's width at %s
constexpr int kMsgFieldNotEdited = 22385;
constexpr int kMsgNotANumber = 22386;       // the typed text at %s
constexpr int kMsgNoDigits = 22387;         // the typed text at %s
constexpr int kMsgTooManyDecimals = 22388;  // the decimals kept, then the typed text
constexpr int kMsgNumberTooWide = 22391;    // the typed text, then the field's width

const RawTable kTables[] = {
    {command_id::AccesFichierC10, 10, ' ', kListTitleC10, kFormTitleC10, "F10-", 'z'},
    {command_id::AccesFichierC20, 20, ' ', kListTitleC20, kFormTitleC20, "F20-", 'y'},
    {command_id::AccesFichierC30, 30, ' ', kListTitleC30, kFormTitleC30, "F30-", 'x'},
    {command_id::AccesFichierC40, 40, ' ', kListTitleC40, kFormTitleC40, "F40-", 'w'},
    {command_id::AccesFichierC50, 50, ' ', kListTitleC50, kFormTitleC50, "F50-", 'v'},
    {command_id::AccesFichierC60, 60, ' ', kListTitleC60, kFormTitleC60, "F60-", 'u'},
    {command_id::AccesFichierC70, 70, ' ', kListTitleC70, kFormTitleC70, "F70-", 't'},
    {command_id::AccesFichierParametresBilan, 0, 'P', kListTitleModelParams, kFormTitleModelParams, "FPB-", 's'},
    {command_id::AccesFichierLignesBilan, 0, 'L', kListTitleModelLines, kFormTitleModelLines, "FLB-", 'r'},
};

std::string TooLong(int width) { return FillPlaceholder(LoadStr(kMsgTextTooLong), std::to_string(width)); }

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
    message = LoadStr(kMsgFieldNotEdited);
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
      message = FillPlaceholder(LoadStr(kMsgNotANumber), t);
      return false;
    }
  }
  if (whole.empty() && fraction.empty()) {
    message = FillPlaceholder(LoadStr(kMsgNoDigits), t);
    return false;
  }
  if (static_cast<int>(fraction.size()) > decimals) {
    message = FillPlaceholders(LoadStr(kMsgTooManyDecimals), {std::to_string(decimals), t});
    return false;
  }
  const std::size_t lead = whole.find_first_not_of('0');
  whole = lead == std::string::npos ? std::string("0") : whole.substr(lead);
  const int needed = (negative ? 1 : 0) + static_cast<int>(whole.size()) + (decimals > 0 ? 1 + decimals : 0);
  if (needed > width) {
    message = FillPlaceholders(LoadStr(kMsgNumberTooWide), {t, std::to_string(width)});
    return false;
  }
  stored = (negative ? "-" : "") + whole + (fraction.empty() ? std::string() : "." + fraction);
  return true;
}

}  // namespace settings
