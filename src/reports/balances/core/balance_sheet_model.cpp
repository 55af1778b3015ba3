#include "reports/balances/core/balance_sheet_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_structures.h"
#include "platform/system/files.h"
#include "reports/balances/core/code_lists.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace balances {

namespace {

// The parameters of the model that do not open (%s: the path).
constexpr int kMsgParamsNotOpened = 23540;  // "Le fichier des paramètres du Bilan ne s'ouvre pas: %s"

}  // namespace

char ModelLetter(const std::string& constant004) {
  const char c = constant004.empty() ? ' ' : constant004[0];
  return c == 'R' || c == 'S' || (c >= 'A' && c <= 'G') ? c : ' ';
}

char ModelTypeCharacter(char letter) {
  if (letter == 'R') return '0';
  if (letter == 'S') return '3';
  return letter >= 'A' && letter <= 'G' ? letter : ' ';
}

char ModelLetterOfType(char type) {
  if (type == '0') return 'R';
  if (type == '3') return 'S';
  return type >= 'A' && type <= 'G' ? type : ' ';
}

std::string ModelLabel(char letter, bool withAddition) {
  if (letter == 'R') return LoadStr(kLabelNormalModel);
  if (letter == 'S') return LoadStr(kLabelSimplifiedModel);
  if (letter < 'A' || letter > 'G') return "";
  std::string label = LoadStr(kLabelOtherModel);
  if (withAddition) label += std::string(" (") + letter + ")";
  return label;
}

std::string ModelPath(const std::string& folder, char letter, bool parameters) {
  const std::string base =
      TableBaseName(parameters ? TableKind::ModelParams : TableKind::ModelLines, std::string(1, letter));
  if (base.empty()) return "";
  const std::string found = platform::ResolvePath(folder + base + ".dbf");
  return found.substr(0, found.size() - 4);
}

bool ModelFileExists(const std::string& pathWithoutExtension) {
  return !pathWithoutExtension.empty() && platform::FileExists(pathWithoutExtension + ".dbf");
}

char HeaderType(Table& lines) {
  std::string first, label;
  bool any = false;
  for (bool on = lines.GoTop("") && lines.SkipActive(false); on; on = lines.SkipActive(true)) {
    const std::string code = lines.GetField(sheet_field::kCode);
    if (!any || code < first) {
      any = true;
      first = code;
      label = lines.GetField(sheet_field::kLabel);
    }
  }
  return any && label.size() >= static_cast<std::size_t>(kTypePos) ? label[kTypePos - 1] : ' ';
}

bool ModelParam::Covers(const std::string& account) const {
  if (first.empty() && last.empty()) return false;
  return account.compare(0, first.size(), first) >= 0 && account.compare(0, last.size(), last) <= 0;
}

bool LoadModelParams(const std::string& path, std::vector<ModelParam>& params, std::string* message) {
  params.clear();
  Table t;
  if (!t.OpenShared(path, kModelParamsTagName, true)) {
    if (message != nullptr) *message = FillPlaceholder(LoadStr(kMsgParamsNotOpened), path);
    return false;
  }
  for (bool on = t.GoTop() && t.SkipActive(false); on; on = t.SkipActive(true)) {
    ModelParam p;
    p.poste = Trimmed(t.GetField(1));
    p.order = t.GetField(2);
    p.first = Trimmed(t.GetField(3));
    p.last = Trimmed(t.GetField(4));
    p.source = t.GetField(5)[0];
    p.kind = t.GetField(6)[0];
    p.sign = t.GetField(7)[0];
    p.comment = TrimmedRight(t.GetField(8));
    if (p.kind == ' ') p.kind = 'S';
    if (p.sign != '-') p.sign = '+';
    params.push_back(std::move(p));
  }
  return true;
}

bool LoadSheetLines(Table& lines, std::vector<SheetLine>& out) {
  out.clear();
  if (!lines.isOpen) return false;
  for (bool on = lines.GoTop("") && lines.SkipActive(false); on; on = lines.SkipActive(true)) {
    SheetLine l;
    l.recno = lines.RecNo();
    l.code = lines.GetField(sheet_field::kCode);
    l.section = lines.GetField(sheet_field::kSection);
    l.label = lines.GetField(sheet_field::kLabel);
    l.calc = lines.GetField(sheet_field::kCalc);
    l.line = lines.GetField(sheet_field::kLine);
    l.note = TrimmedRight(lines.GetField(6));
    for (int c = 1; c <= 4; ++c) {
      l.postes[c - 1] = Trimmed(lines.GetField(sheet_field::Poste(c)));
      // Read as every amount is read: one that does not read counts as zero, and a report watching
      // its reads is told.
      for (int cur = 0; cur < 2; ++cur) l.cents[c - 1][cur] = StoredAmountOf(lines, sheet_field::Amount(c, cur));
    }
    l.percent = lines.GetField(sheet_field::kPercent);
    out.push_back(std::move(l));
  }
  std::stable_sort(out.begin(), out.end(), [](const SheetLine& a, const SheetLine& b) { return a.code < b.code; });
  return true;
}

}  // namespace balances
