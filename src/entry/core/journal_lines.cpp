#include "entry/core/journal_lines.h"

#include <algorithm>
#include <cstring>

#include "data/entry_lines.h"
#include "data/index_recovery.h"
#include "data/table.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace entry {

namespace {
using L = LigneEcriture;

// The record just read carries the delete mark (read with the record, no further call).
bool Cancelled(Table& t) { return t.recordProps.bDeleteFlag; }
}  // namespace

bool InJournal(Table& c50, const std::string& prefix) {
  if (c50.eof || c50.bof || c50.recordNumber == 0) return false;
  const char m = c50.MatchKey(prefix.c_str(), static_cast<int>(prefix.size()), L::BCLE, L::BMOIS, L::BJAL);
  return m == 'O' || m == 'o';
}

long CountJournalLines(Table& c50, const std::string& prefix) {
  long n = static_cast<long>(CountIndexEntries(c50, L::kCodeTag, 1, prefix.c_str()));
  if (n > 0) return n;
  // The index file cannot be read (or nothing is there): count by a walk.
  for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()) && InJournal(c50, prefix); more;
       more = c50.Skip(1) && InJournal(c50, prefix))
    ++n;
  return n;
}

// ---- pieces in alternation ---------------------------------------------------------------------

void PieceShading::Restart(Table* c50, const std::string& prefix) {
  c50_ = c50;
  prefix_ = prefix;
  shaded_.clear();
  last_.clear();
  lastPiece_.clear();
  distinct_ = 0;
  started_ = false;
  complete_ = c50_ == nullptr || !c50_->isOpen;
}

bool PieceShading::Advance(long lines) {
  if (complete_) return true;
  Table& t = *c50_;
  bool more;
  if (!started_) {
    started_ = true;
    more = t.Seek(L::kCodeTag, prefix_.c_str()) && InJournal(t, prefix_);
  } else {
    // Back on the last line walked (another reader may have moved the cursor), then one on.
    more = t.SeekNotBelow(L::kCodeTag, last_.c_str()) && t.Skip(1) && InJournal(t, prefix_);
  }
  for (long n = 0; more && n < lines; ++n) {
    const std::string piece = t.GetField(L::BPIECE);
    if (distinct_ == 0 || piece != lastPiece_) {
      if (distinct_ % 2 == 1) shaded_.insert(piece);
      ++distinct_;
      lastPiece_ = piece;
    }
    last_ = L::Key(t);
    more = t.Skip(1) && InJournal(t, prefix_);
  }
  if (!more) complete_ = true;
  return complete_;
}

// ---- balance -----------------------------------------------------------------------------------

JournalBalance SumJournal(Table& c50, const std::string& prefix, const std::function<void(long)>& step) {
  JournalBalance b;
  long walked = 0;
  for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()) && InJournal(c50, prefix); more;
       more = c50.Skip(1) && InJournal(c50, prefix)) {
    ++walked;
    if (step) step(walked);
    if (Cancelled(c50)) continue;
    ++b.lines;
    const long long f = ToCents(c50.GetFieldNum(L::BMONTANTF));
    const long long e = ToCents(c50.GetFieldNum(L::BMONTANTE));
    if (c50.GetField(L::BSENS)[0] == 'D') {
      b.debitF += f;
      b.debitE += e;
    } else {
      b.creditF += f;
      b.creditE += e;
    }
  }
  return b;
}

// ---- word scan ---------------------------------------------------------------------------------

ScanResult ScanJournal(Table& c50, const std::string& prefix, const std::vector<int>& fields,
                       const std::function<bool(const std::string&)>& matches,
                       const std::function<bool(const std::string&)>& mayMatch,
                       const std::function<bool(long)>& stop) {
  long count = 0;
  std::string joined;
  std::vector<std::string> texts(fields.size());
  for (bool more = InJournal(c50, prefix); more; more = c50.Skip(1) && InJournal(c50, prefix)) {
    ++count;
    joined.clear();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      texts[i] = c50.GetField(fields[i]);
      joined += texts[i];
      // A character no typed word holds: no word is found across two fields.
      joined += '\x01';
    }
    if (!mayMatch || mayMatch(joined))
      for (const std::string& text : texts)
        if (matches(text)) return ScanResult::Found;
    if (stop && stop(count)) return ScanResult::Interrupted;
  }
  return ScanResult::NotFound;
}

// ---- amount search -----------------------------------------------------------------------------

std::vector<FoundLine> FindAmount(Table& c50, long long cents, const std::string& firstJournalMonth,
                                  std::size_t most) {
  std::vector<FoundLine> found;
  if (!c50.isOpen || cents == 0) return found;
  // The whole draft in the order of the file: one read per line, no index walked.
  if (!c50.tag.empty() && !c50.SetOrder("")) return found;
  for (bool more = c50.GoTop(""); more && found.size() < most; more = c50.Skip(1)) {
    if (Cancelled(c50) || c50.GetField(L::BCLE)[0] != L::kGeneral) continue;
    const double francs = c50.GetFieldNum(L::BMONTANTF), euros = c50.GetFieldNum(L::BMONTANTE);
    if (ToCents(francs) != cents && ToCents(euros) != cents) continue;
    FoundLine f;
    f.recno = c50.recordNumber;
    f.key = L::Key(c50);
    f.journalMonth = f.key.substr(1, 7);
    f.piece = c50.GetField(L::BPIECE);
    f.day = c50.GetField(L::BJOUR);
    f.account = c50.GetField(L::BCODE);
    f.label = c50.GetField(L::BLIB);
    f.sense = c50.GetField(L::BSENS);
    f.francs = francs;
    f.euros = euros;
    found.push_back(std::move(f));
  }
  std::stable_partition(found.begin(), found.end(),
                        [&](const FoundLine& f) { return f.journalMonth == firstJournalMonth; });
  return found;
}

}  // namespace entry
