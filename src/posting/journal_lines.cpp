#include "posting/journal_lines.h"

#include <algorithm>
#include <cstring>

#include "data/entry_lines.h"
#include "data/index_recovery.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace posting {

namespace {
using L = LigneEcriture;

// The record just read carries the delete mark (read with the record, no further call).
bool Cancelled(Table& t) { return t.RecordDeleted(); }

// The stored key fields BCLE, BMOIS and BJAL (the first three of `f`) are the prefix's.
bool KeyIs(const std::vector<std::string>& f, const std::string& prefix) {
  return prefix.size() == 8 && f[0].size() == 1 && f[0][0] == prefix[0] && f[1].compare(0, 4, prefix, 1, 4) == 0 &&
         f[1].size() == 4 && f[2].size() == 3 && f[2].compare(0, 3, prefix, 5, 3) == 0;
}
}  // namespace

bool InJournal(Table& c50, const std::string& prefix) {
  if (c50.eof || c50.bof || c50.recordNumber == 0) return false;
  // The three key fields read as they are (cancelled or not): no further engine call per line.
  const char* kind = c50.GetField(L::BCLE);
  if (prefix.empty() || kind[0] != prefix[0]) return false;
  const char* month = c50.GetField(L::BMOIS);
  const char* journal = c50.GetField(L::BJAL);
  return prefix.size() == 8 && std::memcmp(month, prefix.data() + 1, 4) == 0 && std::memcmp(journal, prefix.data() + 5, 3) == 0;
}

long CountJournalLines(Table& c50, const std::string& prefix, bool* refused) {
  if (refused != nullptr) *refused = false;
  long n = static_cast<long>(CountIndexEntries(c50, L::kCodeTag, 1, prefix.c_str()));
  if (n > 0) return n;
  // The index file cannot be read (or nothing is there): count by a walk.
  const Lookup first = c50.Find(L::kCodeTag, prefix.c_str());
  if (refused != nullptr) *refused = first.IsRefused();
  for (bool more = first.IsFound() && InJournal(c50, prefix); more;
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
    // The shading is only shown: a look-up refused ends it as a walk that stops, the pieces not reached plain.
    more = t.Find(L::kCodeTag, prefix_.c_str()).FoundOrNone() && InJournal(t, prefix_);
  } else {
    // Back on the last line walked (another reader may have moved the cursor), then one on.
    more = t.FindNotBelow(L::kCodeTag, last_.c_str()).FoundOrNone() && t.Skip(1) && InJournal(t, prefix_);
  }
  static const std::vector<int> kKey{L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC, L::BNUM};
  std::vector<std::string> key;
  for (long n = 0; more && n < lines; ++n) {
    ReadStoredFields(t, kKey, key);
    if (!KeyIs(key, prefix_)) break;
    const std::string& piece = key[3];
    if (distinct_ == 0 || piece != lastPiece_) {
      if (distinct_ % 2 == 1) shaded_.insert(piece);
      ++distinct_;
      lastPiece_ = piece;
    }
    last_ = key[0] + key[1] + key[2] + key[3] + key[4] + key[5];
    more = t.Skip(1);
  }
  if (more && !InJournal(t, prefix_)) more = false;
  if (!more) complete_ = true;
  return complete_;
}

// ---- balance -----------------------------------------------------------------------------------

JournalBalance SumJournal(Table& c50, const std::string& prefix, const std::function<void(long)>& step) {
  JournalBalance b;
  long walked = 0;
  static const std::vector<int> kFields{L::BCLE, L::BMOIS, L::BJAL, L::BSENS};
  std::vector<std::string> f;
  // The lines read as stored: the key, the sense and the two amounts in cents.
  const Lookup first = c50.Find(L::kCodeTag, prefix.c_str());
  b.refused = first.IsRefused();
  for (bool more = first.IsFound(); more; more = c50.Skip(1)) {
    ReadStoredFields(c50, kFields, f);
    if (!KeyIs(f, prefix)) break;
    ++walked;
    if (step) step(walked);
    if (Cancelled(c50)) continue;
    ++b.lines;
    bool readable = true;
    const long long francs = StoredAmountOf(c50, L::BMONTANTF, &readable), euros = StoredAmountOf(c50, L::BMONTANTE, &readable);
    if (!readable) b.unreadable.push_back({LigneTri::kDraft, c50.recordNumber, c50.GetField(L::BPIECE), c50.GetField(L::BCODE)});
    if (f[3][0] == 'D') {
      b.debitF += francs;
      b.debitE += euros;
    } else {
      b.creditF += francs;
      b.creditE += euros;
    }
  }
  return b;
}

// ---- word scan ---------------------------------------------------------------------------------

ScanResult ScanJournal(Table& c50, const std::string& prefix, const std::vector<int>& fields,
                       const std::function<bool(const std::string&)>& matches,
                       const std::function<bool(const std::string&)>& mayMatch,
                       const std::function<bool(long)>& stop) {
  // Each field is read once a line, however many columns show it, with the key fields first.
  std::vector<int> distinct{L::BCLE, L::BMOIS, L::BJAL};
  for (int f : fields)
    if (std::find(distinct.begin(), distinct.end(), f) == distinct.end()) distinct.push_back(f);
  long count = 0;
  std::string joined;
  std::vector<std::string> stored;
  for (bool more = true; more; more = c50.Skip(1)) {
    if (c50.eof || c50.bof || c50.recordNumber == 0) break;
    ReadStoredFields(c50, distinct, stored);
    if (!KeyIs(stored, prefix)) break;
    ++count;
    // The quick test on the stored texts joined (a character no typed word holds between them,
    // so that no word is found across two fields); the exact test on the texts as GetField gives
    // them, column by column.
    bool candidate = !mayMatch;
    if (!candidate) {
      joined.clear();
      for (const std::string& text : stored) {
        joined += text;
        joined += '\x01';
      }
      candidate = mayMatch(joined);
    }
    if (candidate)
      for (int f : fields)
        if (matches(c50.GetField(f))) return ScanResult::Found;
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
  static const std::vector<int> kFields{L::BCLE};
  std::vector<std::string> stored;
  for (bool more = c50.GoTop(""); more && found.size() < most; more = c50.Skip(1)) {
    if (Cancelled(c50)) continue;
    ReadStoredFields(c50, kFields, stored);
    if (stored[0][0] != L::kGeneral) continue;
    const long long francs = StoredAmountOf(c50, L::BMONTANTF), euros = StoredAmountOf(c50, L::BMONTANTE);
    if (francs != cents && euros != cents) continue;
    FoundLine f;
    f.recno = c50.recordNumber;
    f.key = L::Key(c50);
    f.journalMonth = f.key.substr(1, 7);
    f.piece = c50.GetField(L::BPIECE);
    f.day = c50.GetField(L::BJOUR);
    f.account = c50.GetField(L::BCODE);
    f.label = c50.GetField(L::BLIB);
    f.sense = c50.GetField(L::BSENS);
    f.francs = FromCents(francs);
    f.euros = FromCents(euros);
    found.push_back(std::move(f));
  }
  std::stable_partition(found.begin(), found.end(),
                        [&](const FoundLine& f) { return f.journalMonth == firstJournalMonth; });
  return found;
}

}  // namespace posting
