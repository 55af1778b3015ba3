#include "reports/ledgers/core/ledger_tables.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "data/collation.h"
#include "data/collective_account.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/stored_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "data/table_scan.h"
#include "data/unread_amounts.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"

namespace ledgers {

namespace {

std::uint32_t RecordNumberOf(std::string_view text) {
  std::uint32_t n = 0;
  bool digits = false;
  for (char c : text) {
    if (c == ' ') {
      if (digits) break;
      continue;
    }
    if (c < '0' || c > '9') return 0;
    n = n * 10 + static_cast<std::uint32_t>(c - '0');
    digits = true;
  }
  return n;
}

// A field as ReadStoredFields gives it: the stored bytes up to the first NUL.
std::string_view StoredText(std::string_view stored) {
  const std::size_t nul = stored.find('\0');
  return nul == std::string_view::npos ? stored : stored.substr(0, nul);
}

inline void CopyField(char* to, std::size_t width, std::string_view from) {
  // A field stored at the width it is kept in (the usual case) is copied whole.
  if (from.size() == width) {
    std::memcpy(to, from.data(), width);
    return;
  }
  std::memset(to, ' ', width);
  std::memcpy(to, from.data(), std::min(width, from.size()));
}

// A sort record from its fields in the order TCLE, TCODE, TMOIS, TJOUR, TJAL, TLET, TLETE, TFIC,
// TREC, TPIECE, TCG, TNUM (field(i) the i-th; `cls` the first).
template <typename Field>
void FillSortLine(SortLine& out, std::string_view cls, Field field) {
  out.tcle = cls.empty() ? ' ' : cls[0];
  CopyField(out.tcode, 8, field(1));
  CopyField(out.tdate, 4, field(2));
  CopyField(out.tdate + 4, 2, field(3));
  CopyField(out.tjal, 3, field(4));
  CopyField(out.tlet, 4, field(5));
  CopyField(out.tlete, 4, field(6));
  const std::string_view fic = field(7);
  out.tfic = fic.empty() ? ' ' : fic[0];
  CopyField(out.trecText, 6, field(8));
  out.trec = RecordNumberOf(out.TrecText());
  CopyField(out.tpiece, 6, field(9));
  CopyField(out.tcg, 8, field(10));
  CopyField(out.tnum, 4, field(11));
}

// The key parts of an order, as its tag joins them.
std::size_t KeyLengthOf(SortOrder order) {
  switch (order) {
    case SortOrder::kCode: return 14;
    case SortOrder::kStm: return 17;
    case SortOrder::kJx: return 19;
    default: return 0;
  }
}

}  // namespace

LedgerTables ProgramLedgerTables() { return {TableC10, TableC20, TableC30, TableC40, TableC50, TableC60}; }

bool OpenLedgerTables(const LedgerTables& t, int context, bool c10Only, const char* c60Tag) {
  const struct {
    Table* table;
    const char* path;
    const char* tag;
  } opens[] = {
      {t.c10, PathC10(), "C10CODE"}, {t.c20, nullptr, "C20CODE"}, {t.c30, nullptr, "C30CODE"},
      {t.c40, nullptr, "C40CODE"},   {t.c50, nullptr, "C50CODE"}, {t.c60, nullptr, c60Tag},
  };
  for (int i = 0; i < (c10Only ? 1 : 6); ++i) {
    Table* table = opens[i].table;
    if (table == nullptr) return false;
    // PathC.. share one buffer: each path is built just before its table opens.
    const std::string path = i == 0 ? PathC10() : i == 1 ? PathC20() : i == 2 ? PathC30() : i == 3 ? PathC40()
                                                                 : i == 4 ? PathC50() : PathC60();
    if (!table->UseShared(path, opens[i].tag)) {
      // The window closes at once: the user is told which table and why first.
      ReportDbError(*table, context, path.c_str());
      return false;
    }
  }
  return true;
}

// ------------------------------------------------------------------ sort records

std::string SortLine::ListingKey() const {
  return std::string(tdate, 4) + std::string(tjal, 3) + std::string(tpiece, 6) + std::string(1, tcle);
}

void ReadSortLine(Table& c60, SortLine& out) {
  using LT = LigneTri;
  static const std::vector<int> kFields{LT::TCLE, LT::TCODE, LT::TMOIS, LT::TJOUR, LT::TJAL, LT::TLET,
                                        LT::TLETE, LT::TFIC, LT::TREC, LT::TPIECE, LT::TCG, LT::TNUM};
  thread_local std::vector<std::string> f;
  ReadStoredFields(c60, kFields, f);
  FillSortLine(out, f[0], [&](std::size_t i) { return std::string_view(f[i]); });
  out.recno = c60.recordNumber;
}

const Lookup& RefusedLookups::Note(const Table& table, const Lookup& found) {
  if (found.IsRefused() && result == 0) {
    file = table.tablePath;
    result = found.result() != 0 ? found.result() : kResultSystemError;
  }
  return found;
}

const char* TagOf(SortOrder order) {
  switch (order) {
    case SortOrder::kCode: return "C60CODE";
    case SortOrder::kStm: return "C60STM";
    case SortOrder::kAnal: return "C60ANAL";
    case SortOrder::kJx: return "C60JX";
    case SortOrder::kJxAnal: return "C60JXANAL";
  }
  return "C60CODE";
}

namespace {

// `found`, its refusal kept in `refused` (when given).
const Lookup& Noted(RefusedLookups* refused, const Table& t, const Lookup& found) {
  return refused != nullptr ? refused->Note(t, found) : found;
}

class IndexWalk : public SortWalk {
 public:
  IndexWalk(Table& c60, SortOrder order, RefusedLookups* refused)
      : c60_(c60), order_(order), tag_(TagOf(order)), refused_(refused) {}
  bool GoTop() override {
    c60_.GoTop(tag_);
    return Settle(false);
  }
  bool Seek(std::string_view prefix) override {
    if (prefix.empty()) return GoTop();
    const std::string key(prefix);
    // A seek not made ends the walk as a key missing would; the report says the refusal at its end.
    if (!Noted(refused_, c60_, c60_.Find(tag_, key.c_str())).IsFound()) {
      end_ = true;
      return false;
    }
    Settle(false);
    return true;
  }
  bool Next() override {
    if (end_) return false;
    Restore();
    return !end_ && Settle(true);
  }
  bool AtEnd() const override { return end_; }
  const SortLine& Line() const override { return line_; }

 private:
  bool Settle(bool step) {
    end_ = !c60_.SkipActive(step);
    if (!end_) ReadSortLine(c60_, line_);
    return !end_;
  }
  // The table object is the window's and other windows may move it between two pages of a
  // report: the walk finds its line again before it steps.
  void Restore() {
    if (c60_.isOpen && c60_.tag == tag_ && !c60_.eof && c60_.recordNumber == line_.recno) return;
    const SortLine& l = line_;
    std::string key;
    switch (order_) {
      case SortOrder::kCode: key = std::string(l.tcode, 8) + std::string(l.tdate, 4) + std::string(l.tdate + 4, 2); break;
      case SortOrder::kStm:
        key = std::string(l.tcode, 8) + std::string(l.tdate, 4) + std::string(l.tjal, 3) + std::string(l.tdate + 4, 2);
        break;
      case SortOrder::kJx:
      case SortOrder::kJxAnal:
        key = std::string(l.tdate, 4) + std::string(l.tjal, 3) + std::string(l.tdate + 4, 2) + std::string(l.tpiece, 6) +
              std::string(l.tnum, 4);
        break;
      // The analytic tag may hold the general account after the section: the section alone.
      case SortOrder::kAnal: key = std::string(l.tcode, 8); break;
    }
    if (!Noted(refused_, c60_, c60_.Find(tag_, key.c_str())).IsFound()) {
      end_ = true;
      return;
    }
    for (bool more = true; more && c60_.recordNumber != l.recno; more = c60_.Skip(1)) {
    }
    end_ = c60_.eof != 0 || c60_.recordNumber != l.recno;
  }

  Table& c60_;
  SortOrder order_;
  std::string tag_;
  SortLine line_{};
  bool end_ = true;
  RefusedLookups* refused_;
};

class SnapshotWalk : public SortWalk {
 public:
  explicit SnapshotWalk(std::shared_ptr<const SortSnapshot> s) : s_(std::move(s)), pos_(s_->Size()) {}
  bool GoTop() override {
    pos_ = 0;
    return !AtEnd();
  }
  bool Seek(std::string_view prefix) override {
    pos_ = s_->LowerBound(prefix);
    if (pos_ < s_->Size() && s_->KeyAt(pos_).compare(0, prefix.size(), prefix) == 0) return true;
    pos_ = s_->Size();
    return false;
  }
  bool Next() override {
    if (pos_ < s_->Size()) ++pos_;
    return !AtEnd();
  }
  bool AtEnd() const override { return pos_ >= s_->Size(); }
  const SortLine& Line() const override {
    static const SortLine none{};
    return AtEnd() ? none : s_->At(pos_);
  }
  const SortLine* Ahead(std::size_t n) const override {
    return pos_ + n < s_->Size() ? &s_->At(pos_ + n) : nullptr;
  }

 private:
  std::shared_ptr<const SortSnapshot> s_;
  std::size_t pos_;
};

}  // namespace

std::unique_ptr<SortWalk> MakeIndexWalk(Table& c60, SortOrder order, RefusedLookups* refused) {
  return std::make_unique<IndexWalk>(c60, order, refused);
}

std::unique_ptr<SortWalk> MakeSnapshotWalk(std::shared_ptr<const SortSnapshot> snapshot) {
  return std::make_unique<SnapshotWalk>(std::move(snapshot));
}

namespace {

// The key of a sort record in an order, as its tag joins the parts (KeyLengthOf(order) characters).
void KeyInto(SortOrder order, const SortLine& l, char* out) {
  auto put = [&out](const char* part, std::size_t n) {
    std::memcpy(out, part, n);
    out += n;
  };
  switch (order) {
    case SortOrder::kCode:
      put(l.tcode, 8), put(l.tdate, 4), put(l.tdate + 4, 2);
      break;
    case SortOrder::kStm:
      put(l.tcode, 8), put(l.tdate, 4), put(l.tjal, 3), put(l.tdate + 4, 2);
      break;
    case SortOrder::kJx:
      put(l.tdate, 4), put(l.tjal, 3), put(l.tdate + 4, 2), put(l.tpiece, 6), put(l.tnum, 4);
      break;
    default: break;
  }
}

}  // namespace

std::string SortSnapshot::KeyOf(const SortLine& l) const {
  char key[24];
  KeyInto(order_, l, key);
  return std::string(key, KeyLengthOf(order_));
}

std::string SortSnapshot::KeyAt(std::size_t i) const { return KeyOf(At(i)); }

bool SortSnapshot::Build(Table& c60, SortOrder order) {
  order_ = order;
  lines_.clear();
  if (KeyLengthOf(order) == 0 || !c60.isOpen) return false;
  // The records straight from the file's blocks, their fields where the engine places them: no
  // cursor move and no text per field.
  using LT = LigneTri;
  const StoredFields v(c60, {LT::TCLE, LT::TCODE, LT::TMOIS, LT::TJOUR, LT::TJAL, LT::TLET, LT::TLETE, LT::TFIC,
                             LT::TREC, LT::TPIECE, LT::TCG, LT::TNUM});
  lines_.reserve(c60.RecCount());
  const std::size_t length = c60.RecordLength();
  const bool read = ScanRecords(c60, [&](std::uint32_t recno, const std::uint8_t* record) {
    if (record[0] == '*') return;
    // The general orders hold the general lines only (their tags' condition TCLE = "Z").
    // A field is read up to a NUL byte, which a sound record holds nowhere.
    const bool nul = std::memchr(record, 0, length) != nullptr;
    auto field = [&](std::size_t i) { return nul ? StoredText(v.In(record, i)) : v.In(record, i); };
    const std::string_view cls = field(0);
    if (cls.empty() || cls[0] != 'Z') return;
    SortLine& out = lines_.emplace_back();
    FillSortLine(out, cls, field);
    out.recno = recno;
  });
  if (!read) {
    lines_.clear();
    return false;
  }
  // Keys in the index's collation: the weights turn the comparison into a byte comparison, and
  // the bytes packed big-endian into integers turn it into integer comparisons (two of them for
  // a key of 16 characters at most).
  if (KeyLengthOf(order) <= 16) {
    SortByKeys<2>();
  } else {
    SortByKeys<3>();
  }
  return true;
}

namespace {

// The rank of each value of one key word among its distinct values (equal values, equal ranks;
// ranks in the values' order). Empty when there are more than `limit` distinct values.
std::vector<std::uint32_t> RanksOf(const std::vector<std::uint64_t>& values, std::size_t limit) {
  // Open addressing over the distinct values in their first-seen order; the lines of one account
  // or one day come in runs, so the last value found is tried first.
  std::size_t slots = 64;
  while (slots < 2 * limit) slots *= 2;
  std::vector<std::uint64_t> slotValue(slots);
  std::vector<std::uint32_t> slotId(slots, UINT32_MAX);
  std::vector<std::uint64_t> distinct;
  std::vector<std::uint32_t> ids(values.size());
  std::uint64_t lastValue = 0;
  std::uint32_t lastId = UINT32_MAX;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::uint64_t v = values[i];
    if (lastId != UINT32_MAX && v == lastValue) {
      ids[i] = lastId;
      continue;
    }
    std::size_t h = static_cast<std::size_t>((v * 0x9E3779B97F4A7C15ULL) >> 32) & (slots - 1);
    while (slotId[h] != UINT32_MAX && slotValue[h] != v) h = (h + 1) & (slots - 1);
    if (slotId[h] == UINT32_MAX) {
      if (distinct.size() == limit) return {};
      slotValue[h] = v;
      slotId[h] = static_cast<std::uint32_t>(distinct.size());
      distinct.push_back(v);
    }
    ids[i] = lastId = slotId[h];
    lastValue = v;
  }
  std::vector<std::uint32_t> byValue(distinct.size());
  std::iota(byValue.begin(), byValue.end(), 0u);
  std::sort(byValue.begin(), byValue.end(), [&](std::uint32_t a, std::uint32_t b) { return distinct[a] < distinct[b]; });
  std::vector<std::uint32_t> rankOfId(distinct.size());
  for (std::size_t r = 0; r < byValue.size(); ++r) rankOfId[byValue[r]] = static_cast<std::uint32_t>(r);
  for (std::uint32_t& id : ids) id = rankOfId[id];
  return ids;
}

}  // namespace

template <std::size_t kWords>
void SortSnapshot::SortByKeys() {
  const std::size_t width = KeyLengthOf(order_);
  const std::uint8_t* weights = CollationWeights();
  const std::size_t n = lines_.size();
  std::vector<std::uint64_t> words[kWords];
  for (auto& w : words) w.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    char k[24];
    KeyInto(order_, lines_[i], k);
    std::uint64_t packed[kWords] = {};
    for (std::size_t j = 0; j < width; ++j)
      packed[j / 8] |= static_cast<std::uint64_t>(weights[static_cast<unsigned char>(k[j])]) << (56 - 8 * (j % 8));
    for (std::size_t w = 0; w < kWords; ++w) words[w][i] = packed[w];
  }
  // The places of the lines in the order (lines_ are in record order: equal keys keep it).
  std::vector<std::uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  // A key word holds a few thousand distinct values (accounts, days): each is replaced by its
  // rank and the lines are counted into place word by word, the last first (a stable counting
  // sort per word). A word with too many distinct values for that is sorted by comparison.
  const std::size_t mostRanks = std::min(mostCountedValues, std::max<std::size_t>(n, 1));
  std::vector<std::uint32_t> ranks[kWords];
  bool counted = true;
  for (std::size_t w = 0; w < kWords && counted; ++w) {
    ranks[w] = RanksOf(words[w], mostRanks);
    counted = ranks[w].size() == n;
  }
  if (counted) {
    std::vector<std::uint32_t> next(n), count;
    for (std::size_t w = kWords; w-- > 0;) {
      const std::vector<std::uint32_t>& rank = ranks[w];
      count.assign(mostRanks + 1, 0);
      for (std::uint32_t r : rank) ++count[r + 1];
      for (std::size_t r = 1; r <= mostRanks; ++r) count[r] += count[r - 1];
      for (std::uint32_t i : order) next[count[rank[i]]++] = i;
      order.swap(next);
    }
  } else {
    // The keys beside their places, compared in a row of memory.
    struct Keyed {
      std::uint64_t k[kWords];
      std::uint32_t index;
    };
    std::vector<Keyed> keyed(n);
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t w = 0; w < kWords; ++w) keyed[i].k[w] = words[w][i];
      keyed[i].index = static_cast<std::uint32_t>(i);
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
      for (std::size_t w = 0; w < kWords; ++w)
        if (a.k[w] != b.k[w]) return a.k[w] < b.k[w];
      return a.index < b.index;
    });
    for (std::size_t i = 0; i < n; ++i) order[i] = keyed[i].index;
  }
  // The lines kept in the order's sequence: a walk reads them one after the other. They are
  // gathered from all over the physical order: each is asked for a few places ahead.
  std::vector<SortLine> ordered;
  ordered.reserve(n);
  constexpr std::size_t kAhead = 8;
  for (std::size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) __builtin_prefetch(&lines_[order[i + kAhead]]);
    ordered.push_back(lines_[order[i]]);
  }
  lines_ = std::move(ordered);
}

std::size_t SortSnapshot::LowerBound(std::string_view prefix) const {
  std::size_t lo = 0, hi = lines_.size();
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    const std::string key = KeyAt(mid);
    const std::size_t n = std::min(prefix.size(), key.size());
    const int c = CompareWeighted(key.data(), prefix.data(), n);
    // A key equal to the prefix over its length is not below it.
    if (c < 0 || (c == 0 && key.size() < prefix.size())) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// ------------------------------------------------------------------ source lines

const SourceLine* SourceReader::Read(const SortLine& sort) {
  const bool closed = sort.tfic != LigneTri::kDraft;
  SourceLine& out = lines_[current_];
  if (valid_ && out.closed == closed && out.recno == sort.trec) return reachable_ ? &out : nullptr;
  valid_ = true;
  reachable_ = false;
  out.closed = closed;
  out.recno = sort.trec;
  Table* t = closed ? c40_ : c50_;
  if (t == nullptr || !t->isOpen || sort.trec == 0) return nullptr;
  // The record as stored, read by its number without moving the table (the window's object);
  // through the table when the engine cannot give it so.
  const std::uint8_t* stored = nullptr;
  std::size_t length = t->RecordLength();
  if (ReadStoredRecord(*t, sort.trec, scratch_, &stored) != kResultOk) {
    if (!Noted(refused_, *t, t->GoToRecord(static_cast<long>(sort.trec))).IsFound()) return nullptr;
    stored = t->recordBuffer.data();
    length = t->recordBuffer.size();
  }
  using L = LigneEcriture;
  static const std::vector<int> kDraft{L::BCLE,  L::BCODE, L::BMOIS,     L::BJAL,  L::BPIECE,    L::BJOUR,
                                       L::BVENT, L::BCLIB, L::BLIB,      L::BLIB2, L::BLIB3,     L::BECHEANCE,
                                       L::BEURO, L::BSENS, L::BMONTANTF, L::BMONTANTE, L::BLET, L::BLETE,
                                       L::BCG};
  static const std::vector<int> kClosed = [] {
    std::vector<int> c;
    for (int f : kDraft) c.push_back(f == L::BVENT ? L::DCLE : L::ClosedFieldOf(f));
    return c;
  }();
  // The fields as ReadStoredFields gives them, read in place from the record the engine holds:
  // where each stands in a record of the table, found again when the table or its record length
  // changes.
  const int count = t->FieldCount();
  Layout& layout = layouts_[closed ? 1 : 0];
  if (layout.table != t || layout.count != count || layout.length != length ||
      layout.descriptors != t->Layouts().data()) {
    const std::vector<int>& numbers = closed ? kClosed : kDraft;
    layout.table = t;
    layout.count = count;
    layout.length = length;
    layout.descriptors = t->Layouts().data();
    for (std::size_t i = 0; i < kSourceFields; ++i) {
      Span& span = layout.spans[i];
      span = Span{};
      const int f = numbers[i];
      if (f < 1 || f > count) continue;
      const FieldLayout& d = t->Layout(f);
      const std::size_t width = static_cast<std::size_t>(d.width);
      if (d.width < 0 || width > 256 || d.offset + width > length) continue;
      span.offset = static_cast<std::uint32_t>(d.offset);
      span.width = static_cast<std::uint32_t>(width);
    }
  }
  // A field is read up to a NUL byte, which a sound record holds nowhere.
  const bool nul = std::memchr(stored, 0, length) != nullptr;
  auto field = [&](std::size_t i) -> std::string_view {
    const Span& span = layout.spans[i];
    const std::string_view text(reinterpret_cast<const char*>(stored) + span.offset, span.width);
    return nul ? StoredText(text) : text;
  };
  SourceLine& s = out;
  // A field keeps its width from line to line: its bytes are copied over the last line's.
  auto take = [&](std::string& to, std::size_t i) {
    const std::string_view v = field(i);
    if (to.size() == v.size()) {
      if (!v.empty()) std::memcpy(to.data(), v.data(), v.size());
    } else {
      to.assign(v.data(), v.size());
    }
  };
  // The texts in the order of the field lists (the two amounts at 14 and 15 are numbers).
  using Text = std::string SourceLine::*;
  static const Text kTexts[] = {&SourceLine::kind,     &SourceLine::account,   &SourceLine::month,
                                &SourceLine::journal,  &SourceLine::piece,     &SourceLine::day,
                                &SourceLine::distribution, &SourceLine::labelCode, &SourceLine::label1,
                                &SourceLine::label2,   &SourceLine::label3,    &SourceLine::due,
                                &SourceLine::entered,  &SourceLine::sense,     nullptr,
                                nullptr,               &SourceLine::letterF,   &SourceLine::letterE,
                                &SourceLine::generalAccount};
  for (std::size_t i = 0; i < std::size(kTexts); ++i)
    if (kTexts[i] != nullptr) take(s.*kTexts[i], i);
  // A closed line keeps no distribution code.
  if (closed) s.distribution.assign(2, ' ');
  // The amounts as stored, NUL bytes and all: a field that does not read as a line's amount is
  // counted as 0 and its line named.
  auto amount = [&](std::size_t i) {
    const Span& span = layout.spans[i];
    return std::string_view(reinterpret_cast<const char*>(stored) + span.offset, span.width);
  };
  bool readable = true;
  s.francs = LineAmountCents(amount(14), amount(15), false, &readable);
  s.euros = LineAmountCents(amount(15), amount(14), true, &readable);
  s.unreadable = !readable;
  if (!readable) {
    const UnreadableAmountLine line{closed ? LigneTri::kClosed : LigneTri::kDraft, sort.trec, s.piece, s.account};
    unreadable_.insert(line);
    // Named to the run's watch as well: a printout that warns before its report does names it.
    NoteUnreadAmount(line);
  }
  reachable_ = true;
  return &out;
}

void SourceReader::Prefetch(const SortLine& sort) {
  if (!prefetch_ || sort.trec == 0) return;
  Table* t = sort.tfic != LigneTri::kDraft ? c40_ : c50_;
  if (t == nullptr || !t->isOpen) return;
  const std::uint8_t* stored = nullptr;
  if (ReadStoredRecord(*t, sort.trec, aheadScratch_, &stored) != kResultOk) return;
  // A record read into the scratch was read from the file: no use asking again.
  if (!aheadScratch_.empty() && stored == aheadScratch_.data()) {
    prefetch_ = false;
    return;
  }
  const std::size_t length = t->RecordLength();
  for (std::size_t at = 0; at < length; at += 64) __builtin_prefetch(stored + at);
  __builtin_prefetch(stored + length - 1);
}

// ------------------------------------------------------------------ names

Lookup NameCache::FindLive(Table* t, const char* tag, const std::string& key) {
  if (t == nullptr || !t->isOpen) return Lookup::NotFound();
  Lookup found = t->Find(tag, key.c_str());
  if (found.IsFound()) found = t->LiveHere();
  return Noted(refused_, *t, found);
}

std::string NameCache::Label(const std::string& code) {
  auto it = labels_.find(code);
  if (it != labels_.end()) return it->second;
  std::string text = "???    ";
  const Lookup found = FindLive(tables_.c10, "C10CODE", "L" + code);
  if (found.IsFound()) text = PadRight(std::string(tables_.c10->GetField(4)).substr(0, 7), 7);
  // A label not read is asked again at its next line.
  if (!found.IsRefused()) labels_[code] = text;
  return text;
}

std::string NameCache::Account(const std::string& code, const std::string& missing) {
  auto it = accounts_.find(code);
  if (it == accounts_.end()) {
    const Lookup found = FindLive(tables_.c20, "C20CODE", PadRight(code, 8));
    if (found.IsRefused()) return missing;
    it = accounts_.emplace(code, found.IsFound() ? std::string(tables_.c20->GetField(2)) : std::string()).first;
    accountFound_[code] = found.IsFound();
  }
  return accountFound_[code] ? it->second : missing;
}

std::string NameCache::Section(const std::string& code, const std::string& missing) {
  auto it = sections_.find(code);
  if (it == sections_.end()) {
    const Lookup found = FindLive(tables_.c30, "C30CODE", PadRight(code, 8));
    if (found.IsRefused()) return missing;
    it = sections_.emplace(code, found.IsFound() ? std::string(tables_.c30->GetField(2)) : std::string()).first;
    sectionFound_[code] = found.IsFound();
  }
  return sectionFound_[code] ? it->second : missing;
}

std::string NameCache::Journal(const std::string& code, const std::string& missing) {
  auto it = journals_.find(code);
  if (it == journals_.end()) {
    const Lookup found = FindLive(tables_.c10, "C10CODE", "J" + PadRight(code, 3));
    if (found.IsRefused()) return missing;
    it = journals_.emplace(code, found.IsFound() ? std::string(tables_.c10->GetField(3)) : std::string()).first;
    journalFound_[code] = found.IsFound();
  }
  return journalFound_[code] ? it->second : missing;
}

void NameCache::Clear() {
  labels_.clear();
  accounts_.clear();
  sections_.clear();
  journals_.clear();
  accountFound_.clear();
  sectionFound_.clear();
  journalFound_.clear();
}

// ------------------------------------------------------------------ collectives

void CollectiveMap::Build(Table& c10) {
  entries_.clear();
  for (const auto& [letter, account] : CollectiveAccounts(c10))
    if (!account.empty()) entries_.push_back({letter, account});
}

char CollectiveMap::LetterOf(std::string_view account) const {
  for (const Collective& c : entries_)
    if (c.account == account) return c.letter;
  return 0;
}

std::string CollectiveMap::AccountOf(char letter) const {
  for (const Collective& c : entries_)
    if (c.letter == letter) return c.account;
  return {};
}

std::string CollectiveLetters(Table& c10) {
  std::string letters;
  for (const auto& [letter, account] : CollectiveAccounts(c10)) letters += letter;
  return letters;
}

// ------------------------------------------------------------------ matchings

std::string LettragesSauf() {
  std::string list = DossierIniGet("Lettrages", "LettragesSauf", "");
  if (list.size() > 100) list.resize(100);
  if (BlankText(list)) list = IniGetString("LettragesSauf", "-512-514-515-516-517-518-519-530-531-532-533-");
  return list;
}

bool MatchingsLeftWhole(const std::string& list, std::string_view account) {
  return list.find("-" + std::string(account.substr(0, 3)) + "-") != std::string::npos;
}

void OrphanLetters::Add(std::string_view letter) {
  const std::string l = PadRight(std::string(letter), 4);
  if (BlankText(l) || std::find(letters_.begin(), letters_.end(), l) != letters_.end()) return;
  letters_.push_back(l);
}

bool OrphanLetters::IsOrphan(std::string_view account, std::string_view letter) const {
  if (!present || key_ != account) return false;
  const std::string l = PadRight(std::string(letter), 4);
  return std::find(letters_.begin(), letters_.end(), l) != letters_.end();
}

bool BlankText(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string ShownDate(std::string_view stored) {
  if (stored.size() < 6 || BlankText(stored)) return {};
  return ConvertDate(std::string(stored.substr(0, 6)).c_str());
}

}  // namespace ledgers
