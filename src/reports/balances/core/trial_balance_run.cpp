#include "reports/balances/core/trial_balance_run.h"
#include "runtime/text.h"

namespace balances {

std::string ReportPrefix(const TrialBalanceOptions& o) {
  const bool prior = o.At(56) == 'O';
  const bool lettering = o.At(58) == '4' || o.At(58) == '5';
  return std::string("EB") + (prior ? (lettering ? 'B' : 'C') : (lettering ? 'A' : 'S')) + "-";
}

ListSequence BuildListSequence(const TrialBalanceOptions& o, const CodeLists& codes, char analyticMode) {
  ListSequence s;
  switch (o.Kind()) {
    case 'G': s.lists = "1"; break;
    case 'R': s.lists = "2"; break;
    case 'C': s.lists = "C"; break;
    case 'F': s.lists = "F"; break;
    case '(': s.lists = "9"; break;
    case 'A':
      s.lists = o.List();
      if (s.lists.size() > 1) s.limitsMode = 0;
      break;
    case 'T':
      s.lists = "12";
      for (const CollectiveCode& b : codes.Collectives()) s.lists += b.letter;
      if (analyticMode == '1' || analyticMode == '2') s.lists += "9";
      s.limitsMode = 0;
      break;
    default:
      break;
  }
  return s;
}

std::string AnalyticReportCode(const std::string& code) {
  std::string c = code;
  if (c.size() >= 10) c.erase(9, 1);
  if (c.size() >= 2) c.insert(2, "A");
  return c;
}

std::string ListTitle(char listKind, const CodeLists& codes) {
  switch (listKind) {
    case '1': return "GENERALE";
    case '2': return "RESULTAT";
    case '9': return "ANALYTIQUE";
    default:
      for (const CollectiveCode& b : codes.Collectives())
        if (b.letter == listKind && !b.name.empty()) return b.name;
      return std::string("\"") + listKind + "\"";
  }
}

}  // namespace balances

namespace balances {

bool CheckBalanceList(const std::string& typed, const CodeLists& codes, std::string& shown) {
  const std::string list = Trimmed(typed);
  if (list.empty()) {
    shown = "???";
    return false;
  }
  shown.clear();
  for (char c : list) {
    if (c == '1' || c == '2') continue;
    const CollectiveCode* found = nullptr;
    for (const CollectiveCode& b : codes.Collectives())
      if (b.letter == c) found = &b;
    if (found == nullptr) {
      shown = std::string(1, c) + ": ???";
      return false;
    }
    shown = "+ " + std::string(1, c) + ": " + found->name;
  }
  shown.clear();
  return true;
}

bool CheckFormAccount(char kind, const std::string& list, const std::string& typed, std::string& stored) {
  const std::string code = TrimmedRight(typed.substr(0, 8));
  stored.clear();
  // All balances, or several lists: no account limit (the fields are emptied).
  if (kind == 'T' || (kind == 'A' && list.size() != 1)) return true;
  if (code.empty()) return true;
  const char first = code[0];
  bool suits = false;
  switch (kind) {
    case 'C': suits = first == 'C'; break;
    case 'F': suits = first == 'F'; break;
    case 'G':
    case 'R': suits = first >= '1' && first <= '9'; break;
    case 'A': suits = list.size() == 1 && first == list[0]; break;
    case '(': suits = true; break;
    default: break;
  }
  if (!suits) return false;
  stored = code;
  stored.resize(8, kind != '(' && first < 'A' ? '0' : ' ');
  return true;
}

}  // namespace balances
