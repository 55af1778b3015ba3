// The entries a bookkeeper cancels in the draft: about one piece in forty is cancelled with all
// its lines (and their analytic split), and about one in thirty has a line first typed with a
// wrong amount, cancelled and typed again right after it. Cancelled lines keep their sort
// records, cancelled too, and count in no total.
#include "demo/dossier_demo_internal.h"

namespace demo {

namespace {
constexpr int kCancelledPiecePerMille = 25;
constexpr int kMistypedPiecePerMille = 33;
}  // namespace

bool CancelledEntries::CancelsPiece() { return rng_.Between(1, 1000) <= kCancelledPiecePerMille; }

int CancelledEntries::MistypedLine(int lineCount) {
  if (lineCount < 1 || rng_.Between(1, 1000) > kMistypedPiecePerMille) return -1;
  return static_cast<int>(rng_.Between(0, lineCount - 1));
}

long long CancelledEntries::WrongAmount(long long main) {
  // Two digits swapped or a zero too many, as fingers do.
  if (rng_.Chance(50)) return main * 10;
  return main + rng_.Between(1, 9) * 900;
}

}  // namespace demo
