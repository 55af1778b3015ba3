// The default splits of the demo dossier's analytic accounts: the text of each charge and product account
// marked analytic names, per axis, the sections its lines go to by default, one "CA1=" or "CA2=" line per
// section with its percentage, as a bookkeeper types them in the account's text (the parts of an axis make
// 100 %). The split window reads them when a line of the account is split for the first time.
#include "data/table.h"
#include "demo/dossier_demo_internal.h"

namespace demo {

namespace {

constexpr int kAccountText = 30;

std::string Trimmed(const char* code) {
  std::string s = code;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string SplitText(std::size_t i, int axes) {
  const std::string first = Trimmed(kDepartments[i % kDepartments.size()].code);
  const std::string second = Trimmed(kDepartments[(i + 2) % kDepartments.size()].code);
  std::string text = "Ventilation analytique par d\xE9" "faut\r\n";
  if (i % 3 == 0) {
    text += "CA1=" + first + "\r\n";
  } else {
    const int percent = i % 3 == 1 ? 60 : 75;
    text += "CA1=" + first + " %=" + std::to_string(percent) + "\r\n";
    text += "CA1=" + second + " %=" + std::to_string(100 - percent) + "\r\n";
  }
  if (axes >= 2) text += "CA2=" + Trimmed(kRegions[i % kRegions.size()].code) + " %=100\r\n";
  return text;
}

}  // namespace

bool WriteSplitTexts(const std::string& c20Path, const std::vector<Account>& accounts, int axes) {
  if (axes < 1) return true;
  Table c20;
  if (!c20.OpenShared(c20Path, "C20CODE")) return false;
  bool ok = true;
  std::size_t n = 0;
  for (const Account& a : accounts) {
    if (!a.analytic) continue;
    ok = c20.Seek("C20CODE", a.code.c_str()) && c20.PutMemoText(kAccountText, SplitText(n++, axes)) && c20.Commit();
    if (!ok) break;
  }
  c20.CloseTable();
  return ok;
}

}  // namespace demo
