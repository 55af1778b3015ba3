// The VAT marks of the customer payments of the demo dossier, for the return on receipts: a
// payment in the treasury journal BQ that settles an invoice (the same account and matching
// letter in euros) takes the VAT mark of that invoice's lines, on its line and on its sort
// record, so that the return on receipts finds it. Invoices are paid in a later month, so some
// payments fall in the month after their invoice. Only the mark changes: no amount, no total.
//
// With the VAT detail (DemoOptions::vatDetail) the writer adds, each month, under every VAT code
// of the dossier a sale (4457), an intra-community acquisition (4452 and 4456) and a fixed asset
// bought (44562), and carries a credit on 44567 at the start of the year and in its middle; the
// settlements of the sales carry their mark as they are written.
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

// ---- the VAT detail of the returns (DemoOptions::vatDetail) ------------------------------------------------------

bool WriteVatDetailCodes(const std::string& c10Path) {
  Table c10;
  if (!c10.OpenShared(c10Path, "C10CODE")) return false;
  bool ok = true;
  for (const VatCode& v : kVatDetailCodes) {
    ok = ok && c10.AppendBlank() && c10.PutField(1, "T") && c10.PutField(2, std::string(1, v.code).c_str()) &&
         c10.PutField(3, v.name) && c10.PutField(4, (std::string(v.rateText) + "44571000" + "44566000").c_str()) &&
         c10.InsertRecord();
  }
  ok = ok && c10.Commit();
  c10.CloseTable();
  return ok;
}

void DemoWriter::VatDetail(std::size_t index, const Period& period, std::size_t periodCount, long& remaining) {
  enum Kind { kSaleAt, kAcquisition, kAsset, kCredit, kPayment };
  struct Step {
    Kind kind;
    const VatCode* vat;
    int lines, analytic;  // general lines, of which on an account split over the sections
  };
  std::vector<Step> steps;
  // The payments of last month's sales first: they fall in the month after their invoice.
  std::vector<OpenItem> unpaid;
  unpaid.swap(vatSales_);
  for (std::size_t i = 0; i < unpaid.size(); ++i) steps.push_back({kPayment, nullptr, 2, 0});
  // The credit carried at the start of the year and again in its middle.
  if (index == 0 || index == periodCount / 2) steps.push_back({kCredit, nullptr, 2, 0});
  std::vector<const VatCode*> codes;
  for (const VatCode& v : kVat) codes.push_back(&v);
  for (const VatCode& v : kVatDetailCodes) codes.push_back(&v);
  for (const VatCode* v : codes) {
    steps.push_back({kSaleAt, v, 3, 1});
    steps.push_back({kAcquisition, v, 4, 1});
    steps.push_back({kAsset, v, 3, 0});
  }
  const long days = DaysFromCivil(period.last) - DaysFromCivil(period.first) + 1;
  closed_ = static_cast<int>(index) < closedPeriods_;
  if (closed_) validation_ = StoredDateOf(CivilFromDays(DaysFromCivil(period.last) + 1));
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    // Most records the piece can take; the period keeps at least two for its own pieces.
    const long most =
        s.lines + s.analytic * axes_ * 4 + CancelledEntries::kExtraRecords + (roundingDebit_ >= 0 ? 1 : 0);
    if (remaining < most + 2) {
      // Whatever was not paid waits among the other invoices.
      for (std::size_t j = i; j < steps.size(); ++j)
        if (steps[j].kind == kPayment) openSales_.push_back(unpaid[j]);
      break;
    }
    date_ = CivilFromDays(DaysFromCivil(period.first) + static_cast<long>(i * 3) % days);
    dayText_ = Digits(date_.day, 2);
    const std::uint32_t before = Written();
    const std::size_t open = openSales_.size();
    switch (s.kind) {
      case kSaleAt:
        Sale(s.vat);
        if (openSales_.size() > open) {
          vatSales_.push_back(openSales_.back());
          openSales_.pop_back();
        }
        break;
      case kPayment: Receipt(&unpaid[i]); break;
      case kAcquisition: IntraCommunityAcquisition(*s.vat); break;
      case kAsset: FixedAssetBought(*s.vat); break;
      default: CreditCarried(); break;
    }
    remaining -= static_cast<long>(Written() - before);
  }
  closed_ = false;
}

void DemoWriter::IntraCommunityAcquisition(const VatCode& vat) {
  const int supplier = firstSupplier_ + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(suppliers));
  long long net = money_.FromEuros(rng_.Amount(100, 8000)), tax = 0, total = 0;
  NetAndTax(money_, vat.basisPoints, net, tax, total);
  const Account& a = accounts[static_cast<std::size_t>(supplier)];
  const std::string label = "Acq. intracom. " + a.name;
  // The VAT due on the acquisition is deducted at once: 4452 on the credit side, 4456 on the debit.
  Piece(kAC, {{General(a.charge.c_str()), '1', label, "", 'D', net, vat.code},
              {General("44566000"), '1', label, "", 'D', tax, vat.code},
              {General("44520000"), '1', label, "", 'C', tax, vat.code},
              {supplier, '1', label, DueDate(45), 'C', net, ' '}});
  openPurchases_.push_back({supplier, net, pieceLines_.size() == 4 ? pieceLines_[3] : LineRef{}});
}

void DemoWriter::FixedAssetBought(const VatCode& vat) {
  const int supplier = firstSupplier_ + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(suppliers));
  long long net = money_.FromEuros(rng_.Amount(500, 15000)), tax = 0, total = 0;
  NetAndTax(money_, vat.basisPoints, net, tax, total);
  const Account& a = accounts[static_cast<std::size_t>(supplier)];
  const std::string label = "Immo. F" + Digits(rng_.Between(1, 99999), 5) + " " + a.name;
  Piece(kAC, {{General("21830000"), '1', label, "", 'D', net, vat.code},
              {General("44562000"), '1', label, "", 'D', tax, vat.code},
              {supplier, '1', label, DueDate(45), 'C', total, ' '}});
  openPurchases_.push_back({supplier, total, pieceLines_.size() == 3 ? pieceLines_[2] : LineRef{}});
}

void DemoWriter::CreditCarried() {
  // The deductible VAT the collected VAT did not absorb, carried to the next returns.
  const long long amount = money_.FromEuros(rng_.Amount(500, 4000));
  const std::string label = "Cr\xE9" "dit de TVA \xE0 reporter";
  Piece(kOD, {{General("44567000"), '7', label, "", 'D', amount, ' '},
              {General("44566000"), '7', label, "", 'C', amount, ' '}});
}

}  // namespace demo
