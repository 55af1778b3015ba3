// The reference layouts of the dunning letters, statements and supplier payments, and of the
// VAT returns on debits and on receipts, each family over all its layouts.
#include "reportset_support.h"

namespace reportset {
namespace {

class VatDunningLayouts : public ReportSetTest {};

TEST_F(VatDunningLayouts, DunningStatementsAndPayments) {
  CheckFamily("dunning.txt");
}

TEST_F(VatDunningLayouts, VatReturns) {
  CheckFamily("vat_debits.txt");
  CheckFamily("vat_receipts.txt");
}

}  // namespace
}  // namespace reportset
