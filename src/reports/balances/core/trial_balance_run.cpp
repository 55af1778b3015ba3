#include "reports/balances/core/trial_balance_run.h"

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
