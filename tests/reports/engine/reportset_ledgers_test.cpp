// The reference layouts of the ledger reports: account statements, general ledgers, journal
// listings and the centralising summary, each family over all its layouts.
#include "reportset_support.h"

namespace reportset {
namespace {

class LedgerLayouts : public ReportSetTest {};

TEST_F(LedgerLayouts, AccountStatement) {
  CheckFamily("statement.txt");
}

TEST_F(LedgerLayouts, GeneralLedgers) {
  CheckFamily("ledgers.txt");
  CheckFamily("ledgers_analytic.txt");
}

TEST_F(LedgerLayouts, JournalListings) {
  CheckFamily("journals.txt");
}

TEST_F(LedgerLayouts, CentralisingSummary) {
  CheckFamily("summary.txt");
}

}  // namespace
}  // namespace reportset
