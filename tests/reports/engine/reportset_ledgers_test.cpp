// The reference layouts of the ledger reports: account statements, general ledgers, journal
// listings and the centralising summary, each family over all its layouts.
#include "reportset_support.h"

namespace reportset {
namespace {

class LedgerLayouts : public ReportSetTest {};

TEST_F(LedgerLayouts, AccountStatement) {
  CheckFamily("statement.txt", {
      {"EC-STD", "Relev\xE9 de compte", {"18 490.60", "4 060.25", "14 430.35 Db"}},
  });
}

}  // namespace
}  // namespace reportset
