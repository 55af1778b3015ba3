// The reference layouts of the journal lines window: the journal of the month, the piece as a
// voucher, the CSV export and the two transfer files.
#include "reportset_support.h"

namespace reportset {
namespace {

class EntryLayouts : public ReportSetTest {};

TEST_F(EntryLayouts, JournalLines) {
  CheckFamily("journal_lines.txt");
}

}  // namespace
}  // namespace reportset
