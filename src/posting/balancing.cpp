#include "posting/balancing.h"

#include <cmath>
#include <vector>

#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/unread_amounts.h"
#include "posting/journal_lines.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

namespace posting {

namespace {

using L = LigneEcriture;

constexpr std::size_t kPieceKeyLength = 14;   // "Z" + BMOIS + BJAL + BPIECE
constexpr std::size_t kJournalKeyLength = 8;  // "Z" + BMOIS + BJAL
// A balance not proposed over a total that does not read, the totals named.
constexpr int kMsgUnreadTotalNoBalance = 39204;
constexpr int kMsgUnreadLineNoBalance = 39485;

void Add(Balances& b, char sense, long long francs, long long euros) {
  if (sense == 'D') {
    b.debitF += francs;
    b.debitE += euros;
  } else {
    b.creditF += francs;
    b.creditE += euros;
  }
}

long long Abs(long long v) { return v < 0 ? -v : v; }

}  // namespace

TypedLine TypedLineOf(const LineValues& values) {
  TypedLine t;
  t.sense = values.sense == 'D' ? 'D' : 'C';
  t.francs = ToCents(values.amounts.Francs(t.sense));
  t.euros = ToCents(values.amounts.Euros(t.sense));
  return t;
}

Balances SumPiece(Table& c50, const std::string& key, const TypedLine* current) {
  Balances b;
  if (key.size() < kPieceKeyLength || !c50.isOpen) return b;
  const std::string piece = key.substr(0, kPieceKeyLength);
  // The current line is told by its group and number (characters 15-24 of the key).
  const std::string own = key.size() >= static_cast<std::size_t>(L::kKeyLength) ? key.substr(14, 10) : std::string();
  static const std::vector<int> kFields{L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC, L::BNUM, L::BSENS, L::BCODE};
  std::vector<std::string> f;
  const Lookup first = c50.Find(L::kCodeTag, piece.c_str());
  b.refused = first.IsRefused();
  for (bool more = first.IsFound(); more; more = c50.Skip(1)) {
    ReadStoredFields(c50, kFields, f);
    if (f[0] + f[1] + f[2] + f[3] != piece) break;
    if (c50.RecordDeleted()) continue;
    if (!own.empty() && f[4] + f[5] == own) continue;
    bool readable = true;
    const long long francs = StoredAmountOf(c50, L::BMONTANTF, &readable), euros = StoredAmountOf(c50, L::BMONTANTE, &readable);
    if (!readable) b.unreadable.push_back({LigneTri::kDraft, c50.recordNumber, f[3], f[7]});
    Add(b, f[6].empty() ? 'C' : f[6][0], francs, euros);
  }
  if (current != nullptr) Add(b, current->sense, current->francs, current->euros);
  return b;
}

Balances JournalBalanceWithout(Table& c50, const std::string& key) {
  Balances b;
  if (key.size() < kJournalKeyLength || !c50.isOpen) return b;
  const JournalBalance all = SumJournal(c50, key.substr(0, kJournalKeyLength));
  b.debitF = all.debitF;
  b.creditF = all.creditF;
  b.debitE = all.debitE;
  b.creditE = all.creditE;
  b.unreadable = all.unreadable;
  // The line of the key comes off as SumJournal counted it; one not read leaves the balance unknown.
  Lookup line = FindLine(c50, key);
  if (line.IsFound()) line = c50.LiveHere();
  b.refused = all.refused || line.IsRefused();
  if (line.IsFound()) {
    const LineRecord line = ReadLineRecord(c50);
    Add(b, line.sense, -StoredAmountOf(c50, L::BMONTANTF), -StoredAmountOf(c50, L::BMONTANTE));
    std::erase_if(b.unreadable, [&c50](const UnreadableAmountLine& u) { return u.recno == c50.recordNumber; });
  }
  return b;
}

std::vector<UnreadableAmountLine> UnreadTotalsOf(Table& table, int first) {
  std::vector<UnreadableAmountLine> unread;
  for (int field = first; field < first + 4; ++field) {
    bool readable = true;
    StoredAmountOf(table, field, &readable);
    if (!readable) {
      unread.push_back(UnreadRecordLine(table, field, table.recordBuffer.data(), table.recordNumber));
      return unread;
    }
  }
  return unread;
}

std::string UnreadTotalRefusal(const std::vector<UnreadableAmountLine>& totals) {
  return FillPlaceholder(LoadStr(kMsgUnreadTotalNoBalance), UnreadableAmountLinesText(totals));
}

std::string UnreadLineRefusal(const std::vector<UnreadableAmountLine>& amounts) {
  return FillPlaceholder(LoadStr(kMsgUnreadLineNoBalance), UnreadableAmountLinesText(amounts));
}

Pair AccountBalanceWithoutLine(Table& c20, const std::string& account, const LineRecord& loaded) {
  Pair p;
  p.unreadable = UnreadTotalsOf(c20, 17);
  p.francs = StoredAmountOf(c20, 17) - StoredAmountOf(c20, 19);
  p.euros = StoredAmountOf(c20, 18) - StoredAmountOf(c20, 20);
  if (loaded.live && !account.empty() && NormalizeAccount(loaded.account) == NormalizeAccount(account)) {
    // The line's own amount counts in the total: one that does not read cannot be taken off it.
    p.lineUnreadable = loaded.unreadAmounts;
    const long long sign = loaded.sense == 'D' ? 1 : -1;
    p.francs -= sign * ToCents(loaded.francs);
    p.euros -= sign * ToCents(loaded.euros);
  }
  return p;
}

// The converted amount is rounded to the cent once: its cents are then read without a second
// rounding.
long long ToEuros(long long francs, double rate) {
  if (!(rate > 0)) return 0;
  return ToCents(Round(2, FromCents(francs) / rate));
}

long long ToFrancs(long long euros, double rate) {
  if (!(rate > 0)) return 0;
  return ToCents(Round(2, FromCents(euros) * rate));
}

BalancingLine LineTaking(long long balanceF, long long balanceE, bool euros, bool convert, double rate) {
  BalancingLine l;
  const long long amount = euros ? -balanceE : -balanceF;
  if (amount == 0) return l;
  l.sense = amount > 0 ? 'D' : 'C';
  if (euros) {
    l.euros = Abs(amount);
    l.hasEuros = true;
    if (convert) {
      l.francs = ToFrancs(l.euros, rate);
      l.hasFrancs = true;
    }
  } else {
    l.francs = Abs(amount);
    l.hasFrancs = true;
    if (convert) {
      l.euros = ToEuros(l.francs, rate);
      l.hasEuros = true;
    }
  }
  return l;
}

int RoundingLineWanted(const Balances& piece, bool entryEuros, bool euroOnly) {
  if (euroOnly) return 0;
  if (entryEuros && piece.BalanceE() == 0 && piece.BalanceF() != 0) return 1;
  if (!entryEuros && piece.BalanceF() == 0 && piece.BalanceE() != 0) return 2;
  return 0;
}

NextLine NextLineAfter(const Balances& piece, bool entryEuros, bool euroOnly) {
  NextLine n;
  const bool euroZero = piece.BalanceE() == 0, francZero = piece.BalanceF() == 0;
  if (euroOnly) {
    n.step = euroZero ? NextStep::NewPiece : NextStep::NewLine;
  } else if (!euroZero && !francZero) {
    n.step = NextStep::NewLine;
  } else if (euroZero && francZero) {
    n.step = NextStep::NewPiece;
  } else if (euroZero && entryEuros) {
    n.step = NextStep::NewLine;
    n.roundingFlag = 1;
  } else if (francZero && !entryEuros) {
    n.step = NextStep::NewLine;
    n.roundingFlag = 2;
  }
  return n;
}

}  // namespace posting
