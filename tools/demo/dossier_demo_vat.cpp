// The VAT marks of the customer payments of the demo dossier, for the return on receipts: a
// payment in the treasury journal BQ that settles an invoice (the same account and matching
// letter in euros) takes the VAT mark of that invoice's lines, on its line and on its sort
// record, so that the return on receipts finds it. Invoices are paid in a later month, so some
// payments fall in the month after their invoice. Only the mark changes: no amount, no total.
#include <map>
#include <set>
#include <utility>

#include "data/entry_lines.h"
#include "data/table.h"
#include "demo/dossier_demo_internal.h"
#include "runtime/xbase.h"

namespace demo {
namespace {

using L = LigneEcriture;
using T = LigneTri;

constexpr const char* kSales = "VE ";
constexpr const char* kTreasury = "BQ ";

}  // namespace

bool MarkReceiptsVat(const std::string& c50Path, const std::string& c60Path, const std::vector<Period>& periods,
                     long* marked) {
  if (marked != nullptr) *marked = 0;
  Table c50, c60;
  if (!c50.OpenShared(c50Path, L::kCodeTag) || !c60.OpenShared(c60Path, "")) return false;

  // The mark of each invoice (its first line with one), by the customer's account and letter.
  std::map<std::pair<std::string, std::string>, std::string> markOf;
  for (const Period& p : periods) {
    const std::string prefix = "Z" + p.monthKey + kSales;
    std::string piece, mark;
    std::vector<std::pair<std::string, std::string>> customers;  // of the piece: account, letter
    const auto close = [&] {
      if (!mark.empty())
        for (const auto& c : customers) markOf.emplace(c, mark);
      customers.clear();
      mark.clear();
    };
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more; more = c50.Skip(1)) {
      const char m = c50.MatchKey(prefix.c_str(), L::kJournalMonthKeyLength, L::BCLE, L::BMOIS, L::BJAL);
      if (m != 'O' && m != 'o') break;
      if (m == 'o') continue;
      if (c50.GetField(L::BPIECE) != piece) {
        close();
        piece = c50.GetField(L::BPIECE);
      }
      const std::string account = c50.GetField(L::BCODE);
      const std::string letter = c50.GetField(L::BLETE);
      const std::string vat = c50.GetField(L::BTVA);
      if (account[0] == 'C' && !IsBlank(letter)) customers.emplace_back(account, letter);
      if (mark.empty() && !IsBlank(vat)) mark = vat;
    }
    close();
  }

  // The customer payments of BQ that settle one of those invoices.
  std::set<std::uint32_t> lines;
  std::map<std::uint32_t, std::string> markOfLine;
  for (const Period& p : periods) {
    const std::string prefix = "Z" + p.monthKey + kTreasury;
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more; more = c50.Skip(1)) {
      const char m = c50.MatchKey(prefix.c_str(), L::kJournalMonthKeyLength, L::BCLE, L::BMOIS, L::BJAL);
      if (m != 'O' && m != 'o') break;
      if (m == 'o' || c50.GetField(L::BCODE)[0] != 'C' || c50.GetField(L::BSENS)[0] != 'C') continue;
      const auto found = markOf.find({c50.GetField(L::BCODE), c50.GetField(L::BLETE)});
      if (found != markOf.end() && IsBlank(c50.GetField(L::BTVA))) markOfLine[c50.recordNumber] = found->second;
    }
  }
  for (const auto& [recno, mark] : markOfLine) {
    if (!c50.GoTo(static_cast<long>(recno)) || !c50.PutField(L::BTVA, mark.c_str())) return false;
    if (marked != nullptr) ++*marked;
  }
  // Their sort records, found by the line they point at.
  for (bool more = c60.GoTop(); more && !c60.eof; more = c60.Skip(1)) {
    if (c60.GetField(T::TFIC)[0] != 'B') continue;
    const auto found = markOfLine.find(static_cast<std::uint32_t>(std::atol(c60.GetField(T::TREC))));
    if (found != markOfLine.end() && !c60.PutField(T::TTVA, found->second.c_str())) return false;
  }
  return c50.Commit() && c60.Commit();
}

}  // namespace demo
