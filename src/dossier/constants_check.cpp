#include "dossier/constants_check.h"

#include <cstdio>
#include <cstdlib>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"

namespace {

using K = ConstantKind;
constexpr const char* kYesNo = "OUI|NON";

// Every constant, as its readers use it: the titles and helps the system shows, and for the
// constants whose readers give none a short title saying what they do.
const std::vector<ConstantDefinition>& Catalog() {
  static const std::vector<ConstantDefinition> catalog{
      {0, "", "", K::Free, "", "", 0, 0, "", false},
      {1, "", "", K::Free, "", "", 0, 0, "", false},
      {2, resources::LastingText(22202), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {3, "", "", K::Free, "", "", 0, 0, "", false},
      {4, resources::LastingText(22204),
       resources::LastingText(22205), K::List, "NON|R|S|A|B|C|D|E|F|G",
       "NRSABCDEFG", 0, 0, "NON", true},
      {5, resources::LastingText(22206), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON",
       false},
      {6, resources::LastingText(22207), resources::LastingText(22208),
       K::List, kYesNo, "ON", 0, 0, "NON", true},
      {7, resources::LastingText(22209), resources::LastingText(22210),
       K::List, kYesNo, "ON", 0, 0, "NON", true},
      {8, "", "", K::Free, "", "", 0, 0, "", false},
      {9, resources::LastingText(22211), resources::LastingText(22212),
       K::List, kYesNo, "ON", 0, 0, "NON", false},
      {10, resources::LastingText(22213),
       resources::LastingText(22214),
       K::Pattern, "N*|O{345678UI}{345678UI}", "", 0, 0, "OUI", false},
      {11, "", "", K::Free, "", "", 0, 0, "", false},
      {12, "", "", K::Free, "", "", 0, 0, "", false},
      {13, "", "", K::Free, "", "", 0, 0, "", false},
      {14, "", "", K::Free, "", "", 0, 0, "", false},
      {15, "", "", K::Free, "", "", 0, 0, "", false},
      {16, "", "", K::Free, "", "", 0, 0, "", false},
      {17, "", "", K::Free, "", "", 0, 0, "", false},
      {18, resources::LastingText(22215),
       resources::LastingText(22216),
       K::Free, "NON|TAB|;", "", 0, 0, "NON", false},
      {19, resources::LastingText(22217),
       resources::LastingText(22218), K::List, "OUI|NON|5|6|7",
       "ON567", 0, 0, "NON", false},
      {20, resources::LastingText(22219), resources::LastingText(22220), K::List, "OUI|V|NON", "OVN", 0, 0, "NON",
       false},
      {21, resources::LastingText(22221), resources::LastingText(22222), K::List, kYesNo, "ON", 0, 0,
       "NON", false},
      {22, "", "", K::Free, "", "", 0, 0, "", false},
      {23, resources::LastingText(22223),
       resources::LastingText(22224), K::List, kYesNo, "ON", 0, 0, "OUI", false},
      {24, "", "", K::Free, "", "", 0, 0, "", false},
      {25, resources::LastingText(22225), resources::LastingText(22226), K::Number, "", "", 0, 999, "000", false},
      {26, resources::LastingText(22227), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {27, resources::LastingText(22228), resources::LastingText(22229), K::List,
       kYesNo, "ON", 0, 0, "NON", false},
      {28, resources::LastingText(22230), resources::LastingText(22231), K::Free, "", "", 0,
       0, "F00", false},
      {29, resources::LastingText(22232), resources::LastingText(22233), K::Free, "", "", 0, 0,
       "E00", false},
      {30, resources::LastingText(22234),
       resources::LastingText(22235),
       K::Pattern, "N*|O*|#|##|###", "", 0, 0, "OUI", false},
      {31, resources::LastingText(22236), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {32, resources::LastingText(22237),
       resources::LastingText(22238), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {33, resources::LastingText(22239), resources::LastingText(22240), K::List, "NON|MVT|SLD", "NMS", 0, 0,
       "MVT", true},
      {34, "", "", K::Free, "", "", 0, 0, "", false},
      {35, "", "", K::Free, "", "", 0, 0, "", false},
      {36, resources::LastingText(22241), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {37, resources::LastingText(22242), resources::LastingText(22243), K::Free, "", "", 0, 0, "AN",
       false},
      {38, resources::LastingText(22244), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {39, resources::LastingText(22245), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "OUI", false},
      {40, resources::LastingText(22246), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {41, "", "", K::Free, "", "", 0, 0, "", false},
      {42, resources::LastingText(22247), resources::LastingText(22220), K::List, "OUI|V|NON", "OVN", 0, 0, "NON",
       false},
      {43, resources::LastingText(22248), resources::LastingText(22249), K::Free, "", "", 0, 0,
       "", false},
      {44, resources::LastingText(22250),
       resources::LastingText(22251),
       K::List, "NON|MIN|VID", "NMV", 0, 0, "NON", true},
      {45, resources::LastingText(22252),
       resources::LastingText(22253), K::List, "OUI|MAJ|NON", "ONM", 0, 0,
       "NON", true},
      {46, "", "", K::Free, "", "", 0, 0, "", false},
      {47, resources::LastingText(22254), resources::LastingText(22255), K::List, kYesNo, "ON", 0,
       0, "NON", false},
      {48, resources::LastingText(22256), resources::LastingText(22257), K::Pattern,
       "{NA}{68}", "", 0, 0, "N6", false},
      {49, "", "", K::Free, "", "", 0, 0, "", false},
      {50, resources::LastingText(22258), resources::LastingText(22259), K::List,
       kYesNo, "ON", 0, 0, "NON", false},
      {51, "", "", K::Free, "", "", 0, 0, "", false},
      {52, resources::LastingText(22260),
       resources::LastingText(22261),
       K::Free, resources::LastingText(22262), "", 0, 0, "NON", false},
      {53, resources::LastingText(22260),
       resources::LastingText(22263), K::Free, "", "", 0,
       0, "OD", false},
      {54, resources::LastingText(22260),
       resources::LastingText(22264), K::Free, "", "", 0, 0, "0",
       false},
      {55, resources::LastingText(22260),
       resources::LastingText(22265),
       K::Free, "", "", 0, 0, "718", false},
      {56, resources::LastingText(22266), resources::LastingText(22267), K::List, kYesNo, "ON", 0, 0,
       "NON", true},
      {57, resources::LastingText(22268), resources::LastingText(22269), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {58, resources::LastingText(22270), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {59, resources::LastingText(22271), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {60, resources::LastingText(22272), resources::LastingText(22273), K::List, "OUI|NON|AID", "ONA", 0, 0,
       "OUI", true},
      {61, resources::LastingText(22274), resources::LastingText(22275), K::List, "A|B|C|NOR", "ABCN", 0, 0,
       "NOR", true},
      {62, resources::LastingText(22276),
       resources::LastingText(22277), K::Pattern,
       "{123}{123}{123}", "", 0, 0, "122", false},
      {63, resources::LastingText(22278), resources::LastingText(22279), K::Pattern, "{123}", "", 0, 0, "1",
       false},
      {64, resources::LastingText(22518),
       resources::LastingText(22280),
       K::List, kYesNo, "ON", 0, 0, "NON", true},
      {65, resources::LastingText(22281), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {66, "", "", K::Free, "", "", 0, 0, "", false},
      {67, resources::LastingText(22282), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {68, "", "", K::Free, "", "", 0, 0, "", false},
      {69, resources::LastingText(22283), resources::LastingText(22284), K::Pattern, "@|@@|@@@", "", 0,
       0, "C", false},
      {70, resources::LastingText(22285), resources::LastingText(22286), K::Pattern, "|@|@@|@@@", "", 0, 0,
       "", false},
      {71, resources::LastingText(22287), resources::LastingText(22286), K::Pattern, "|@|@@|@@@", "", 0, 0,
       "", false},
      {72, resources::LastingText(22288), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {73, resources::LastingText(22289), resources::LastingText(22203), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {74, "", "", K::Free, "", "", 0, 0, "", false},
  };
  return catalog;
}

// One shape against the whole trimmed value.
bool MatchesShape(const std::string& value, const std::string& shape) {
  std::size_t v = 0;
  for (std::size_t s = 0; s < shape.size(); ++s) {
    const char c = shape[s];
    if (c == '*') return true;
    if (v >= value.size()) return false;
    const char x = value[v++];
    if (c == '#') {
      if (x < '0' || x > '9') return false;
    } else if (c == '@') {
      if (x < 'A' || x > 'Z') return false;
    } else if (c == '{') {
      const std::size_t close = shape.find('}', s);
      if (close == std::string::npos) return false;
      if (shape.substr(s + 1, close - s - 1).find(x) == std::string::npos) return false;
      s = close;
    } else if (c != '?' && c != x) {
      return false;
    }
  }
  return v == value.size();
}

}  // namespace

const std::vector<ConstantDefinition>& ConstantCatalog() { return Catalog(); }

const ConstantDefinition* FindConstantDefinition(int n) {
  const auto& all = Catalog();
  if (n < 0 || n >= static_cast<int>(all.size())) return nullptr;
  return &all[static_cast<std::size_t>(n)];
}

bool ConstantMatchesPattern(const std::string& value, const char* shapes) {
  const std::string trimmed = TrimmedRight(value);
  const std::string all = shapes != nullptr ? shapes : "";
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = all.find('|', start);
    if (MatchesShape(trimmed, all.substr(start, bar == std::string::npos ? std::string::npos : bar - start))) return true;
    if (bar == std::string::npos) return false;
    start = bar + 1;
  }
}

bool ConstantValueAccepted(const ConstantDefinition& d, const std::string& value) {
  if (value.size() > 3) return false;
  const std::string trimmed = TrimmedRight(value);
  switch (d.kind) {
    case ConstantKind::List:
      return !trimmed.empty() && trimmed[0] != ' ' && std::string(d.firstChars).find(trimmed[0]) != std::string::npos;
    case ConstantKind::Number: {
      const std::size_t b = trimmed.find_first_not_of(' ');
      const std::string digits = b == std::string::npos ? std::string() : trimmed.substr(b);
      if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
      const int n = std::atoi(digits.c_str());
      return n >= d.low && n <= d.high;
    }
    case ConstantKind::Pattern:
      return ConstantMatchesPattern(trimmed, d.values);
    case ConstantKind::Free:
      return true;
  }
  return false;
}

std::vector<std::string> ConstantValueButtons(const ConstantDefinition& d) {
  std::vector<std::string> buttons;
  if (d.kind != ConstantKind::List && d.kind != ConstantKind::Free) return buttons;
  const std::string all = d.values;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t bar = all.find('|', start);
    if (bar == std::string::npos) bar = all.size();
    if (bar > start) buttons.push_back(all.substr(start, bar - start));
    start = bar + 1;
  }
  return buttons;
}

const std::vector<ConstantRule>& ResettableConstants() {
  static const std::vector<ConstantRule> rules = [] {
    std::vector<ConstantRule> r;
    for (const ConstantDefinition& d : Catalog())
      if (d.resettable) r.push_back({d.number, d.firstChars, d.defaultValue});
    return r;
  }();
  return rules;
}

std::vector<ConstantReset> ResetInvalidConstants(DossierRecord& record) {
  std::vector<ConstantReset> resets;
  for (const ConstantRule& rule : ResettableConstants()) {
    const std::string value = record.Constant(rule.number);
    const char first = value.empty() ? ' ' : value[0];
    bool valid = false;
    for (const char* p = rule.firstChars; *p != '\0'; ++p)
      if (*p == first) valid = true;
    if (valid) continue;
    record.SetConstant(rule.number, rule.defaultValue);
    resets.push_back({rule.number, value, record.Constant(rule.number)});
  }
  return resets;
}

namespace {

std::string Number3(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%03d", n);
  return buffer;
}

}  // namespace

std::string ConstantsResetMessage(const std::vector<ConstantReset>& resets) {
  std::string text = LoadStr(19701);
  for (const ConstantReset& r : resets)
    text += "   " + Number3(r.number) + ":  '" + r.oldValue + "'  ->  '" + r.newValue + "'\n";
  text += LoadStr(55);
  return text;
}

bool CheckDossierConstants(gui::Window* client) {
  const std::vector<ConstantReset> resets = ResetInvalidConstants(TheDossierRecord);
  if (resets.empty()) return false;
  std::string line = resources::LastingText(22290);
  for (const ConstantReset& r : resets) line += " " + Number3(r.number) + "='" + r.oldValue + "'>" + r.newValue;
  WriteLog(line);
  gui::MessageBeep(0);
  gui::MessageBox(client, ConstantsResetMessage(resets), LoadStr(52), gui::MB_OK | gui::MB_ICONINFORMATION);
  return true;
}
