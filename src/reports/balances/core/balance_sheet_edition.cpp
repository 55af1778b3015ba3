#include "reports/balances/core/balance_sheet_edition.h"

#include "data/record_fields.h"
#include "reports/balances/core/code_lists.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

namespace balances {

namespace {

double Number(const std::string& text, std::size_t from, std::size_t width, bool& readable) {
  if (text.size() <= from) return 0;
  return FromCents(StoredAmountCents(std::string_view(text).substr(from, width), &readable));
}

}  // namespace

std::string PosteCode(const std::string& code) {
  std::string c = code.substr(0, 3);
  c.resize(3, ' ');
  return c;
}

PosteIndex::PosteIndex(const std::vector<SheetLine>& lines) : lines_(lines) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    for (std::size_t c = 0; c < 4; ++c)
      if (!lines[i].postes[c].empty()) postes_.emplace(PosteCode(lines[i].postes[c]), Where{i, c});
}

std::string PosteIndex::Label(const std::string& code) const {
  const auto found = postes_.find(PosteCode(code));
  if (found == postes_.end()) return "?BLL:" + PosteCode(code) + "?";
  return lines_[found->second.line].label;
}

bool PosteIndex::Carries(const std::string& code) const { return postes_.count(PosteCode(code)) != 0; }

std::string PosteIndex::Value(const std::string& code, int currency) const {
  const auto found = postes_.find(PosteCode(code));
  if (found == postes_.end()) return "?BLV:" + PosteCode(code) + "?";
  const long long cents =
      lines_[found->second.line].cents[found->second.column][static_cast<std::size_t>(currency == 1 ? 1 : 0)];
  return GroupedAmount(cents, static_cast<int>(kValueWidth));
}

bool PrintableLine(const SheetLine& line) {
  return !line.calc.empty() && (line.calc[0] == 'C' || line.calc[0] == 'T');
}

bool KeepLine(const SheetLine& line, char previousFirst, bool withEmptyLines, int currency) {
  if (withEmptyLines) return true;
  const char first = line.label.empty() ? ' ' : line.label[0];
  if ((first == '-' || first == '_') && (previousFirst == '-' || previousFirst == '_')) return false;
  if (line.calc.size() > 1 && line.calc[0] == 'C' && line.calc[1] != ' ') {
    const auto cur = static_cast<std::size_t>(currency == 1 ? 1 : 0);
    bool zero = true;
    for (const auto& column : line.cents) zero = zero && column[cur] == 0;
    if (zero) return false;
  }
  return true;
}

char ClassifySheetLine(const std::string& previousCode, const SheetLine& line) {
  const char before = previousCode.empty() ? ' ' : previousCode[0];
  const char now = line.code.empty() ? ' ' : line.code[0];
  if (before != now) return 'R';
  const char first = line.label.empty() ? ' ' : line.label[0];
  const bool noDigits = line.calc.size() < 3 || (line.calc[1] == ' ' && line.calc[2] == ' ');
  if (!line.calc.empty() && line.calc[0] == 'C' && noDigits) {
    if (first == '-') return 'T';
    if (first == '_') return 'U';
  }
  return first == '*' ? 'I' : 'S';
}

AnnexRecord ParseAnnexRecord(const std::string& code, const std::string& name, const std::string& text) {
  AnnexRecord r;
  r.lineCode = code.substr(0, 3);
  r.poste = code.size() > 3 ? code.substr(3, 3) : "";
  r.account = code.size() > 6 ? code.substr(6, 8) : "";
  r.name = TrimmedRight(name);
  std::string label;
  for (char ch : Trimmed(text.substr(0, 50)))
    if (ch != ' ' || label.empty() || label.back() != ' ') label += ch;
  r.label = label;
  r.section = text.size() > 50 ? text[50] : ' ';
  r.amount = Number(text, 51, 14, r.readable);
  r.carried = Number(text, 65, 14, r.readable);
  r.previous = Number(text, 79, 14, r.readable);
  return r;
}

}  // namespace balances
