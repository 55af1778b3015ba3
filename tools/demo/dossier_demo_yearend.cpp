// The demo dossier at its year's end (DemoOptions::yearEnd): every month validated into the closed
// file with the opening entry, the draft left without a live line, the working date on the year's
// last day, and the dossier set up for its opening balances as a bookkeeper sets it before
// carrying them: the letters of each auxiliary account checked (constant 040), the unmatched lines
// of the auxiliary accounts and the unreconciled lines of the bank accounts carried one by one
// (constants 058 and 059). The customers' and suppliers' lines keep their letters and the bank
// account its reconciled and unreconciled lines as the other options make them.
#include "data/table.h"
#include "demo/dossier_demo_internal.h"
#include "runtime/dossier_record.h"

namespace demo {
namespace {

constexpr int kLetterCheckConstant = 40;
constexpr int kUnmatchedConstant = 58;
constexpr int kUnreconciledConstant = 59;
// Record "0" field 4 holds the dossier record's positions 31-284, record "P0" field 4 its 539-790.
constexpr int kRecord0Start = 31, kRecord0Width = 254;
constexpr int kRecordP0Start = 539;

}  // namespace

bool PrepareYearEnd(const std::string& c10Path, const DemoOptions& options) {
  if (!options.yearEnd) return true;
  Table c10;
  if (!c10.OpenShared(c10Path, "C10CODE")) return false;
  DossierRecord record;
  bool ok = c10.Seek("C10CODE", "0") && c10.GetField(1)[0] == '0';
  if (ok) {
    record.Set(kRecord0Start, kRecord0Width, c10.GetField(4));
    ok = record.SetDateYmd(DossierRecord::DateField::Working, options.lastDay) &&
         c10.PutFieldPart(4, DossierRecord::kWorkingDatePos - kRecord0Start + 1, DossierRecord::kDateWidth,
                          record.Get(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth).c_str()) &&
         c10.Commit();
  }
  ok = ok && c10.Seek("C10CODE", "P0") && c10.MatchKey("P0", 2, 1, 2) == 'O';
  for (const int n : {kLetterCheckConstant, kUnmatchedConstant, kUnreconciledConstant}) {
    const int position = DossierRecord::kConstantsPos + DossierRecord::kConstantWidth * n;
    ok = ok && c10.PutFieldPart(4, position - kRecordP0Start + 1, DossierRecord::kConstantWidth, "OUI");
  }
  ok = ok && c10.Commit();
  c10.CloseTable();
  return ok;
}

}  // namespace demo
