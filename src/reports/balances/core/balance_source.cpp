#include "reports/balances/core/balance_source.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <utility>
#include <system_error>
#include <thread>

#include "data/entry_lines.h"
#include "data/stored_fields.h"
#include "data/table.h"
#include "data/table_scan.h"

namespace balances {

namespace {

bool OpenRead(Table& t, const std::string& path, const char* title, std::string* message) {
  if (t.OpenShared(path, "", true)) return true;
  if (message != nullptr)
    *message = std::string("Le fichier ") + title + " ne s'ouvre pas (erreur " + std::to_string(t.result) +
               ").\n\n" + path;
  return false;
}

// A stored amount ("   1234.50", "-12.30", blanks) in cents.
long long Cents(std::string_view text) {
  long long units = 0;
  int decimals = -1;
  bool negative = false;
  for (char c : text) {
    if (c == '-') {
      negative = true;
    } else if (c == '.') {
      decimals = 0;
    } else if (c >= '0' && c <= '9') {
      if (decimals >= 2) continue;
      units = units * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    }
  }
  if (decimals < 0) decimals = 0;
  for (; decimals < 2; ++decimals) units *= 10;
  return negative ? -units : units;
}

// Every record of an entry-line table in physical order, read straight from the table's
// blocks; `f` lists the field numbers of class, account, month, day, journal, piece, label
// code, label, due date, sense, francs, euros, euro letter, line number and validation date
// (0: absent). The vector's index is the record number - 1.
bool LoadLines(Table& t, const std::array<int, 15>& f, bool texts, std::vector<EntryLine>& out) {
  out.clear();
  out.reserve(t.RecCount());
  const StoredFields v(t, std::vector<int>(f.begin(), f.end()));
  return ScanRecords(t, [&](std::uint32_t, const std::uint8_t* record) {
    EntryLine& l = out.emplace_back();
    l.deleted = record[0] == '*';
    const std::string_view cls = v.In(record, 0), sense = v.In(record, 9);
    l.cls = cls.empty() ? ' ' : cls[0];
    l.month.Set(v.In(record, 2));
    l.day.Set(v.In(record, 3));
    l.journal.Set(v.In(record, 4));
    l.due.Set(v.In(record, 8));
    l.sense = sense.empty() ? ' ' : sense[0];
    l.cents[0] = Cents(v.In(record, 10));
    l.cents[1] = Cents(v.In(record, 11));
    if (!texts) return;
    l.account.Set(v.In(record, 1));
    l.piece.Set(v.In(record, 5));
    l.labelCode.Set(v.In(record, 6));
    l.label.Set(v.In(record, 7));
    l.letterE.Set(v.In(record, 12));
    l.lineNumber.Set(v.In(record, 13));
    l.validation.Set(v.In(record, 14));
  });
}

// TREC as atol reads it: leading blanks, then digits.
std::int32_t RecordNumberText(std::string_view text) {
  std::int32_t rec = 0;
  bool digits = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      rec = rec * 10 + (c - '0');
      digits = true;
    } else if (c != ' ' || digits) {
      break;
    }
  }
  return rec;
}

// Runs `work` on a thread of its own (on this one when no thread can be made); Wait() waits
// for it and throws again what it threw (a lack of memory, as on this thread).
class Beside {
 public:
  template <typename Work>
  explicit Beside(Work work) {
    try {
      thread_ = std::thread([this, work] {
        try {
          work();
        } catch (...) {
          failure_ = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      work();
    }
  }
  ~Beside() {
    if (thread_.joinable()) thread_.join();
  }
  Beside(const Beside&) = delete;
  Beside& operator=(const Beside&) = delete;
  void Wait() {
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  std::thread thread_;
  std::exception_ptr failure_;
};

// Spreads a key over the bits of a hash table's slot number.
std::size_t KeyHash(std::uint64_t key) {
  std::uint64_t z = key * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<std::size_t>(z ^ (z >> 31));
}

std::string Unread(const Table& t, const char* title, const std::string& path) {
  return std::string("Le fichier ") + title + " ne se lit pas (erreur " + std::to_string(t.result) + ").\n\n" + path;
}

}  // namespace

std::uint64_t PackText(const char* text, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | (i < n ? static_cast<unsigned char>(text[i]) : 0u);
  return v;
}

bool BalanceSource::Load(const std::string& c60Path, const std::string& c50Path, const std::string& c40Path,
                         std::string* message, bool texts) {
  records_.clear();
  general_.clear();
  entries_.reset();
  draft_.clear();
  closed_.clear();
  Table c60, c50, c40;
  if (!OpenRead(c60, c60Path, "C60 \"Tri des Ecritures\"", message) ||
      !OpenRead(c50, c50Path, "C50 \"Ecritures Brouillard\"", message) ||
      !OpenRead(c40, c40Path, "C40 \"Ecritures Cl\xF4" "tur\xE9" "es\"", message))
    return false;
  // The three tables are read side by side, each on its own thread through its own cursor
  // (opened and closed here, on the calling thread, which waits for the two others).
  using LE = LigneEcriture;
  bool draftRead = true, closedRead = true;
  Beside closedReader([&] {
    closedRead = LoadLines(c40, {LE::DCLE, LE::DCODE, LE::DMOIS, LE::DJOUR, LE::DJAL, LE::DPIECE, LE::DCLIB,
                                 LE::DLIB, LE::DECHEANCE, LE::DSENS, LE::DMONTANTF, LE::DMONTANTE, LE::DLETE,
                                 LE::DNUM, LE::DVALID},
                           texts, closed_);
  });
  Beside draftReader([&] {
    draftRead = LoadLines(c50, {LE::BCLE, LE::BCODE, LE::BMOIS, LE::BJOUR, LE::BJAL, LE::BPIECE, LE::BCLIB,
                                LE::BLIB, LE::BECHEANCE, LE::BSENS, LE::BMONTANTF, LE::BMONTANTE, LE::BLETE,
                                LE::BNUM, 0},
                          texts, draft_);
  });
  const bool sortRead = LoadSortRecords(c60);
  closedReader.Wait();
  draftReader.Wait();
  if (sortRead && draftRead && closedRead) JoinGeneral();
  if (!sortRead || !draftRead || !closedRead) {
    if (message != nullptr)
      *message = !sortRead    ? Unread(c60, "C60 \"Tri des Ecritures\"", c60Path)
                 : !draftRead ? Unread(c50, "C50 \"Ecritures Brouillard\"", c50Path)
                              : Unread(c40, "C40 \"Ecritures Cl\xF4" "tur\xE9" "es\"", c40Path);
    return false;
  }
  return true;
}

bool BalanceSource::LoadSortRecords(Table& c60) {
  using LT = LigneTri;
  const StoredFields v(c60, {LT::TCLE, LT::TCODE, LT::TMOIS, LT::TJOUR, LT::TJAL, LT::TLET, LT::TLETE, LT::TFIC,
                             LT::TREC, LT::TPIECE, LT::TCG, LT::TNUM});
  records_.reserve(c60.RecCount());
  const bool read = ScanRecords(c60, [&](std::uint32_t recno, const std::uint8_t* record) {
    if (record[0] == '*') return;  // the walks skip them
    SortRecord& r = records_.emplace_back();
    const std::string_view cls = v.In(record, 0), month = v.In(record, 2), day = v.In(record, 3),
                           file = v.In(record, 7);
    r.cls = cls.empty() ? ' ' : cls[0];
    r.code.Set(v.In(record, 1));
    for (std::size_t i = 0; i < 4; ++i) r.date.c[i] = i < month.size() ? month[i] : ' ';
    for (std::size_t i = 0; i < 2; ++i) r.date.c[4 + i] = i < day.size() ? day[i] : ' ';
    r.journal.Set(v.In(record, 4));
    r.letterF.Set(v.In(record, 5));
    r.letterE.Set(v.In(record, 6));
    r.file = file.empty() ? ' ' : file[0];
    r.rec = RecordNumberText(v.In(record, 8));
    r.piece.Set(v.In(record, 9));
    r.generalAccount.Set(v.In(record, 10));
    r.lineNumber.Set(v.In(record, 11));
    r.physical = recno;
    r.codeKey = PackText(r.code.c.data(), 8);
    r.dateKey = PackText(r.date.c.data(), 6);
  });
  if (!read) return false;
  OrderGeneral();
  return true;
}

// The tag's order: code, then date; equal keys in record order (the index keeps them so). The
// texts are compared as big-endian integers, byte for byte as the texts compare.
void BalanceSource::OrderGeneral() { general_ = GeneralOrderOf(records_); }

namespace {

// The rank of each key among the distinct keys, in key order; false (ranks unset) when there
// are more than `most` distinct keys.
bool RankKeys(const std::vector<std::uint64_t>& keys, std::size_t most, std::vector<std::uint32_t>& ranks,
              std::uint32_t& distinct) {
  std::vector<std::uint64_t> values;
  std::vector<std::uint32_t> slots(std::size_t{1} << 10, UINT32_MAX);  // open addressing: value number
  ranks.resize(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (values.size() * 2 >= slots.size()) {  // half full: twice the room
      if (values.size() > most) return false;
      std::vector<std::uint32_t> wider(slots.size() * 2, UINT32_MAX);
      for (std::uint32_t v = 0; v < values.size(); ++v) {
        std::size_t at = KeyHash(values[v]) & (wider.size() - 1);
        while (wider[at] != UINT32_MAX) at = (at + 1) & (wider.size() - 1);
        wider[at] = v;
      }
      slots.swap(wider);
    }
    std::size_t at = KeyHash(keys[k]) & (slots.size() - 1);
    while (slots[at] != UINT32_MAX && values[slots[at]] != keys[k]) at = (at + 1) & (slots.size() - 1);
    if (slots[at] == UINT32_MAX) {
      slots[at] = static_cast<std::uint32_t>(values.size());
      values.push_back(keys[k]);
    }
    ranks[k] = slots[at];
  }
  if (values.size() > most) return false;
  // Value numbers to ranks in key order.
  std::vector<std::uint32_t> byValue(values.size());
  for (std::uint32_t v = 0; v < values.size(); ++v) byValue[v] = v;
  std::sort(byValue.begin(), byValue.end(),
            [&values](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
  std::vector<std::uint32_t> rankOf(values.size());
  for (std::uint32_t r = 0; r < byValue.size(); ++r) rankOf[byValue[r]] = r;
  for (std::uint32_t& r : ranks) r = rankOf[r];
  distinct = static_cast<std::uint32_t>(values.size());
  return true;
}

// `items` ordered by their ranks, equal ranks in their present order.
std::vector<std::uint32_t> CountingOrder(const std::vector<std::uint32_t>& items,
                                         const std::vector<std::uint32_t>& ranks, std::uint32_t distinct) {
  std::vector<std::uint32_t> next(std::size_t{distinct} + 1, 0);
  for (std::uint32_t r : ranks) ++next[r + 1];
  for (std::uint32_t r = 0; r < distinct; ++r) next[r + 1] += next[r];
  std::vector<std::uint32_t> out(items.size());
  for (std::size_t k = 0; k < items.size(); ++k) out[next[ranks[k]]++] = items[k];
  return out;
}

// `items` put in the order of key(record), equal keys keeping their order, by counting; false
// (items unchanged) when the keys take more than `most` distinct values.
template <typename Key>
bool CountingPass(const std::vector<SortRecord>& records, std::vector<std::uint32_t>& items, Key key,
                  std::size_t most) {
  std::vector<std::uint64_t> keys(items.size());
  for (std::size_t k = 0; k < items.size(); ++k) keys[k] = key(records[items[k]]);
  std::vector<std::uint32_t> ranks;
  std::uint32_t distinct = 0;
  if (!RankKeys(keys, most, ranks, distinct)) return false;
  items = CountingOrder(items, ranks, distinct);
  return true;
}

std::uint64_t DateKeyOf(const SortRecord& r) { return r.dateKey; }
std::uint64_t CodeKeyOf(const SortRecord& r) { return r.codeKey; }
std::uint64_t AccountKeyOf(const SortRecord& r) { return PackText(r.generalAccount.c.data(), 8); }

}  // namespace

std::vector<std::uint32_t> GeneralOrderOf(const std::vector<SortRecord>& records, std::size_t mostKeys) {
  std::vector<std::uint32_t> live;
  live.reserve(records.size());
  for (std::uint32_t i = 0; i < records.size(); ++i)
    if (records[i].cls == 'Z') live.push_back(i);
  // A year holds few dates and a chart far fewer accounts than lines: the records are put in
  // date order, then in code order, each time by counting, equal keys keeping their order; so
  // records of one code and one date stay in record order, with no comparison between records.
  std::vector<std::uint32_t> order = live;
  if (CountingPass(records, order, DateKeyOf, mostKeys) && CountingPass(records, order, CodeKeyOf, mostKeys))
    return order;
  // Too many distinct keys: the records are compared.
  struct Key {
    std::uint64_t code, date;
    std::uint32_t index;
  };
  std::vector<Key> sorted;
  sorted.reserve(live.size());
  for (std::uint32_t i : live) sorted.push_back({records[i].codeKey, records[i].dateKey, i});
  std::sort(sorted.begin(), sorted.end(), [](const Key& a, const Key& b) {
    if (a.code != b.code) return a.code < b.code;
    if (a.date != b.date) return a.date < b.date;
    return a.index < b.index;
  });
  order.clear();
  for (const Key& k : sorted) order.push_back(k.index);
  return order;
}

void BalanceSource::JoinGeneral() {
  const std::size_t n = general_.size();
  // Left uninitialised: every entry is written once, by one of the threads below.
  entries_ = std::make_unique_for_overwrite<GeneralEntry[]>(n);
  // Each general record's place in the code order.
  std::vector<std::uint32_t> place(records_.size(), UINT32_MAX);
  for (std::uint32_t k = 0; k < n; ++k) place[general_[k]] = k;
  // The records are read in their own order and their lines nearly so (C60 is written from C40
  // and C50 in theirs), each entry written at its place: no read waits for another.
  auto join = [this, &place](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      if (place[i] == UINT32_MAX) continue;
      const SortRecord& r = records_[i];
      GeneralEntry& e = entries_[place[i]];
      e.codeKey = r.codeKey;
      e.dateKey = r.dateKey;
      e.record = static_cast<std::uint32_t>(i);
      const EntryLine* l = LineOf(r);
      e.broken = l == nullptr;
      if (l == nullptr) continue;
      e.cents = l->cents;
      e.sense = l->sense;
      e.journal = l->journal;
      e.month = {l->month.c[2], l->month.c[3]};
      if (l->due.Blank())
        e.ageDate = r.date;
      else
        e.ageDate = l->due;
    }
  };
  // Four parts at once.
  const std::size_t count = records_.size();
  constexpr std::size_t kParts = 4;
  const std::size_t part = (count + kParts - 1) / kParts;
  if (count < 65536) return join(0, count);
  std::vector<std::unique_ptr<Beside>> others;
  for (std::size_t k = 1; k < kParts; ++k)
    others.push_back(std::make_unique<Beside>(
        [&join, k, part, count] { join(std::min(count, k * part), std::min(count, (k + 1) * part)); }));
  join(0, part);
  for (auto& other : others) other->Wait();
}

std::vector<std::uint32_t> BalanceSource::AnalyticOrder(bool byAccount) const {
  std::vector<std::uint32_t> order;
  for (std::uint32_t i = 0; i < records_.size(); ++i)
    if (records_[i].cls < 'Z') order.push_back(i);
  // By counting as the general records are, the least significant key first.
  constexpr std::size_t kMostKeys = 1u << 18;
  std::vector<std::uint32_t> counted = order;
  if (CountingPass(records_, counted, DateKeyOf, kMostKeys) &&
      (!byAccount || CountingPass(records_, counted, AccountKeyOf, kMostKeys)) &&
      CountingPass(records_, counted, CodeKeyOf, kMostKeys))
    return counted;
  std::stable_sort(order.begin(), order.end(), [this, byAccount](std::uint32_t a, std::uint32_t b) {
    const SortRecord& x = records_[a];
    const SortRecord& y = records_[b];
    if (int c = x.code.View().compare(y.code.View())) return c < 0;
    if (byAccount)
      if (int c = x.generalAccount.View().compare(y.generalAccount.View())) return c < 0;
    return x.date.View() < y.date.View();
  });
  return order;
}

const EntryLine* BalanceSource::LineOf(const SortRecord& r) const {
  const std::vector<EntryLine>& lines = r.file == 'B' ? draft_ : closed_;
  if (r.rec < 1 || static_cast<std::size_t>(r.rec) > lines.size()) return nullptr;
  return &lines[static_cast<std::size_t>(r.rec - 1)];
}

}  // namespace balances
