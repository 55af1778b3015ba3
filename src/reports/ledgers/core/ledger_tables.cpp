#include "reports/ledgers/core/ledger_tables.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/dbase/weights.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"

namespace ledgers {

namespace {

void CopyField(char* to, std::size_t width, const std::string& from) {
  std::memset(to, ' ', width);
  std::memcpy(to, from.data(), std::min(width, from.size()));
}

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

std::string Padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
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
  return std::string(tmois, 4) + std::string(tjal, 3) + std::string(tpiece, 6) + std::string(1, tcle);
}

void ReadSortLine(Table& c60, SortLine& out) {
  static const std::vector<int> kFields{LigneTri::TCLE,  LigneTri::TCODE, LigneTri::TMOIS,  LigneTri::TJOUR,
                                        LigneTri::TJAL,  LigneTri::TLET,  LigneTri::TLETE,  LigneTri::TFIC,
                                        LigneTri::TREC,  LigneTri::TPIECE, LigneTri::TCG,   LigneTri::TNUM};
  thread_local std::vector<std::string> f;
  ReadStoredFields(c60, kFields, f);
  out.tcle = f[0].empty() ? ' ' : f[0][0];
  CopyField(out.tcode, 8, f[1]);
  CopyField(out.tmois, 4, f[2]);
  CopyField(out.tjour, 2, f[3]);
  CopyField(out.tjal, 3, f[4]);
  CopyField(out.tlet, 4, f[5]);
  CopyField(out.tlete, 4, f[6]);
  out.tfic = f[7].empty() ? ' ' : f[7][0];
  CopyField(out.trecText, 6, f[8]);
  out.trec = RecordNumberOf(out.TrecText());
  CopyField(out.tpiece, 6, f[9]);
  CopyField(out.tcg, 8, f[10]);
  CopyField(out.tnum, 4, f[11]);
  out.recno = c60.recordNumber;
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

class IndexWalk : public SortWalk {
 public:
  IndexWalk(Table& c60, SortOrder order) : c60_(c60), order_(order), tag_(TagOf(order)) {}
  bool GoTop() override {
    c60_.GoTop(tag_);
    return Settle(false);
  }
  bool Seek(std::string_view prefix) override {
    if (prefix.empty()) return GoTop();
    const std::string key(prefix);
    if (!c60_.Seek(tag_, key.c_str())) {
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
      case SortOrder::kCode: key = std::string(l.tcode, 8) + std::string(l.tmois, 4) + std::string(l.tjour, 2); break;
      case SortOrder::kStm:
        key = std::string(l.tcode, 8) + std::string(l.tmois, 4) + std::string(l.tjal, 3) + std::string(l.tjour, 2);
        break;
      case SortOrder::kJx:
      case SortOrder::kJxAnal:
        key = std::string(l.tmois, 4) + std::string(l.tjal, 3) + std::string(l.tjour, 2) + std::string(l.tpiece, 6) +
              std::string(l.tnum, 4);
        break;
      // The analytic tag may hold the general account after the section: the section alone.
      case SortOrder::kAnal: key = std::string(l.tcode, 8); break;
    }
    if (!c60_.Seek(tag_, key.c_str())) {
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

 private:
  std::shared_ptr<const SortSnapshot> s_;
  std::size_t pos_;
};

}  // namespace

std::unique_ptr<SortWalk> MakeIndexWalk(Table& c60, SortOrder order) { return std::make_unique<IndexWalk>(c60, order); }

std::unique_ptr<SortWalk> MakeSnapshotWalk(std::shared_ptr<const SortSnapshot> snapshot) {
  return std::make_unique<SnapshotWalk>(std::move(snapshot));
}

std::string SortSnapshot::KeyOf(const SortLine& l) const {
  switch (order_) {
    case SortOrder::kCode: return std::string(l.tcode, 8) + std::string(l.tmois, 4) + std::string(l.tjour, 2);
    case SortOrder::kStm:
      return std::string(l.tcode, 8) + std::string(l.tmois, 4) + std::string(l.tjal, 3) + std::string(l.tjour, 2);
    case SortOrder::kJx:
      return std::string(l.tmois, 4) + std::string(l.tjal, 3) + std::string(l.tjour, 2) + std::string(l.tpiece, 6) +
             std::string(l.tnum, 4);
    default: return {};
  }
}

std::string SortSnapshot::KeyAt(std::size_t i) const { return KeyOf(At(i)); }

bool SortSnapshot::Build(Table& c60, SortOrder order) {
  order_ = order;
  lines_.clear();
  order_index_.clear();
  if (KeyLengthOf(order) == 0 || !c60.isOpen) return false;
  const std::string savedTag = c60.tag;
  if (!c60.SetOrder("")) return false;
  lines_.reserve(c60.RecCount());
  SortLine line{};
  for (bool more = c60.GoTop(); more; more = c60.Skip(1)) {
    if (c60.recordProps.bDeleteFlag) continue;
    ReadSortLine(c60, line);
    // The general orders hold the general lines only (their tags' condition TCLE = "Z").
    if (line.tcle != 'Z') continue;
    lines_.push_back(line);
  }
  c60.SetOrder(savedTag);
  // Keys in the index's collation: the weights turn the comparison into a byte comparison.
  const std::size_t width = KeyLengthOf(order);
  const std::uint8_t* weights = dbase::CollationWeights();
  std::vector<std::uint8_t> keys(lines_.size() * width);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::string k = KeyOf(lines_[i]);
    for (std::size_t j = 0; j < width; ++j) keys[i * width + j] = weights[static_cast<unsigned char>(k[j])];
  }
  order_index_.resize(lines_.size());
  std::iota(order_index_.begin(), order_index_.end(), 0u);
  std::sort(order_index_.begin(), order_index_.end(), [&](std::uint32_t a, std::uint32_t b) {
    const int c = std::memcmp(&keys[a * width], &keys[b * width], width);
    return c != 0 ? c < 0 : lines_[a].recno < lines_[b].recno;
  });
  return true;
}

std::size_t SortSnapshot::LowerBound(std::string_view prefix) const {
  std::size_t lo = 0, hi = order_index_.size();
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    const std::string key = KeyAt(mid);
    const std::size_t n = std::min(prefix.size(), key.size());
    const int c = dbase::CompareWeighted(key.data(), prefix.data(), n);
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
  if (valid_ && line_.closed == closed && line_.recno == sort.trec) return reachable_ ? &line_ : nullptr;
  valid_ = true;
  reachable_ = false;
  line_.closed = closed;
  line_.recno = sort.trec;
  Table* t = closed ? c40_ : c50_;
  if (t == nullptr || !t->isOpen || sort.trec == 0 || !t->GoTo(static_cast<long>(sort.trec))) return nullptr;
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
  ReadStoredFields(*t, closed ? kClosed : kDraft, fields_);
  SourceLine& s = line_;
  // The texts change hands (their buffers are used again by the next read).
  s.kind.swap(fields_[0]);
  s.account.swap(fields_[1]);
  s.month.swap(fields_[2]);
  s.journal.swap(fields_[3]);
  s.piece.swap(fields_[4]);
  s.day.swap(fields_[5]);
  // A closed line keeps no distribution code.
  if (closed) {
    s.distribution.assign(2, ' ');
  } else {
    s.distribution.swap(fields_[6]);
  }
  s.labelCode.swap(fields_[7]);
  s.label1.swap(fields_[8]);
  s.label2.swap(fields_[9]);
  s.label3.swap(fields_[10]);
  s.due.swap(fields_[11]);
  s.entered.swap(fields_[12]);
  s.sense.swap(fields_[13]);
  s.francs = StoredCents(fields_[14]);
  s.euros = StoredCents(fields_[15]);
  s.letterF.swap(fields_[16]);
  s.letterE.swap(fields_[17]);
  s.generalAccount.swap(fields_[18]);
  reachable_ = true;
  return &line_;
}

// ------------------------------------------------------------------ names

namespace {

// The live record of a kind and code in C10 (field `field`), or nothing.
bool FindLive(Table* t, const char* tag, const std::string& key) {
  return t != nullptr && t->isOpen && t->Seek(tag, key.c_str()) && !t->IsDeleted();
}

}  // namespace

std::string NameCache::Label(const std::string& code) {
  auto it = labels_.find(code);
  if (it != labels_.end()) return it->second;
  std::string text = "???    ";
  if (FindLive(tables_.c10, "C10CODE", "L" + code)) text = Padded(std::string(tables_.c10->GetField(4)).substr(0, 7), 7);
  labels_[code] = text;
  return text;
}

std::string NameCache::Account(const std::string& code, const std::string& missing) {
  auto it = accounts_.find(code);
  if (it == accounts_.end()) {
    const bool found = FindLive(tables_.c20, "C20CODE", Padded(code, 8));
    it = accounts_.emplace(code, found ? std::string(tables_.c20->GetField(2)) : std::string()).first;
    accountFound_[code] = found;
  }
  return accountFound_[code] ? it->second : missing;
}

std::string NameCache::Section(const std::string& code, const std::string& missing) {
  auto it = sections_.find(code);
  if (it == sections_.end()) {
    const bool found = FindLive(tables_.c30, "C30CODE", Padded(code, 8));
    it = sections_.emplace(code, found ? std::string(tables_.c30->GetField(2)) : std::string()).first;
    sectionFound_[code] = found;
  }
  return sectionFound_[code] ? it->second : missing;
}

std::string NameCache::Journal(const std::string& code, const std::string& missing) {
  auto it = journals_.find(code);
  if (it == journals_.end()) {
    const bool found = FindLive(tables_.c10, "C10CODE", "J" + Padded(code, 3));
    it = journals_.emplace(code, found ? std::string(tables_.c10->GetField(3)) : std::string()).first;
    journalFound_[code] = found;
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

namespace {

// Calls fn on every live C10 record of a kind, in C10CODE order.
template <class Fn>
void ForEachLiveOfKind(Table& c10, char kind, Fn fn) {
  if (!c10.isOpen) return;
  const char key[2] = {kind, 0};
  if (!c10.Seek("C10CODE", key)) return;
  for (bool more = c10.SkipActive(false); more; more = c10.SkipActive(true)) {
    if (c10.GetField(1)[0] != kind) break;
    fn();
  }
}

}  // namespace

void CollectiveMap::Build(Table& c10) {
  entries_.clear();
  ForEachLiveOfKind(c10, 'B', [&] {
    const std::string account = Padded(std::string(c10.GetField(4)).substr(0, 8), 8);
    if (BlankText(account)) return;
    entries_.push_back({c10.GetField(2)[0], account});
  });
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
  ForEachLiveOfKind(c10, 'B', [&] { letters += c10.GetField(2)[0]; });
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
  const std::string l = Padded(std::string(letter), 4);
  if (BlankText(l) || std::find(letters_.begin(), letters_.end(), l) != letters_.end()) return;
  letters_.push_back(l);
}

bool OrphanLetters::IsOrphan(std::string_view account, std::string_view letter) const {
  if (!present || key_ != account) return false;
  const std::string l = Padded(std::string(letter), 4);
  return std::find(letters_.begin(), letters_.end(), l) != letters_.end();
}

bool BlankText(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string ShownDate(std::string_view stored) {
  if (stored.size() < 6 || BlankText(stored)) return {};
  return ConvertDate(std::string(stored.substr(0, 6)).c_str());
}

}  // namespace ledgers
