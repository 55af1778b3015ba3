// The reference layouts of the journal lines window: the journal of the month, the piece as a
// voucher, the CSV export and the two transfer files.
#include "reportset_support.h"

namespace reportset {
namespace {

class EntryLayouts : public ReportSetTest {};

TEST_F(EntryLayouts, JournalLines) {
  CheckFamily("journal_lines.txt", {
      {"SS-JOURNAL", "Journal BQ Banque Populaire", {"4 230.50", "5 160.90"}},
      {"SS-PIECE", "Pi\xE8" "ce comptable", {"Pi\xE8" "ce 000045", "318.00"}},
      {"SS-CSV", "", {}},
      {"SS-VIRT", "", {}},
      {"SS-SEPA", "Virements SEPA", {"FR7610907000011234567890142"}},
  });
}

}  // namespace
}  // namespace reportset
