#include "reports/balances/core/balance_source.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <utility>
#include <system_error>
#include <thread>

#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/stored_fields.h"
#include "data/table.h"
#include "data/table_scan.h"
#include "data/unread_amounts.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"

namespace balances {

namespace {

// The files that do not open or read (%s: the file's title, the error, the path), and the titles of the
// three files of the entry lines.
constexpr int kMsgFileNotOpened = 23530;
constexpr int kMsgFileNotRead = 32805;
constexpr int kTitleSortFile = 23535;    // C60 "Tri des Ecritures"
constexpr int kTitleDraftFile = 23536;   // C50 "Ecritures Brouillard"
constexpr int kTitleClosedFile = 23537;  // C40 "Ecritures Clôturées"

bool OpenRead(Table& t, const std::string& path, const char* title, std::string* message) {
  if (t.OpenShared(path, "", true)) return true;
  if (message != nullptr) *message = FileNotOpenedMessage(title, t.result, path);
  return false;
}

// What the balances read of a line, its fields 0-6 in `v` being its class, month, journal, due
// date, sense, francs and euros. The number of its amounts that do not read as a line's
// (LineAmountsCents up to `bounds`, decided once before the walk; counted as 0), noted by none: the
// caller names the line.
int ReadLineFigures(const StoredFields& v, const std::uint8_t* record, const LineBounds& bounds, LineFigures& l) {
  l.present = true;
  const std::string_view cls = v.In(record, 0), sense = v.In(record, 4);
  l.cls = cls.empty() ? ' ' : cls[0];
  l.month.Set(v.In(record, 1));
  l.journal.Set(v.In(record, 2));
  l.due.Set(v.In(record, 3));
  l.sense = sense.empty() ? ' ' : sense[0];
  return LineAmountsCents(v.In(record, 5), v.In(record, 6), bounds, l.cents.data());
}

// A line with its texts, its fields in `v` as LoadLines lists them; the number of its amounts that do
// not read (ReadLineFigures).
int ReadEntryLine(const StoredFields& v, const std::uint8_t* record, const LineBounds& bounds, EntryLine& l) {
  const int unread = ReadLineFigures(v, record, bounds, l);
  l.deleted = record[0] == '*';
  l.account.Set(v.In(record, 7));
  l.day.Set(v.In(record, 8));
  l.piece.Set(v.In(record, 9));
  l.labelCode.Set(v.In(record, 10));
  l.label.Set(v.In(record, 11));
  l.letterE.Set(v.In(record, 12));
  l.lineNumber.Set(v.In(record, 13));
  l.validation.Set(v.In(record, 14));
  return unread;
}

// The fields of a closed line as LoadLines and ReadEntryLine take them.
constexpr std::array<int, 15> kClosedLineFields = {
    LigneEcriture::DCLE,  LigneEcriture::DMOIS,  LigneEcriture::DJAL,      LigneEcriture::DECHEANCE,
    LigneEcriture::DSENS, LigneEcriture::DMONTANTF, LigneEcriture::DMONTANTE, LigneEcriture::DCODE,
    LigneEcriture::DJOUR, LigneEcriture::DPIECE, LigneEcriture::DCLIB,     LigneEcriture::DLIB,
    LigneEcriture::DLETE, LigneEcriture::DNUM,   LigneEcriture::DVALID};

// Every record of an entry-line table in physical order with its texts, read straight from the
// table's blocks; `f` lists the field numbers of class, month, journal, due date, sense, francs,
// euros, account, day, piece, label code, label, euro letter, line number and validation date
// (0: absent). The vector's index is the record number - 1.
// A live line whose amount does not read goes to `unreadable` (`file` "B" or "C").
bool LoadLines(Table& t, const std::array<int, 15>& f, const LineBounds& bounds, std::vector<EntryLine>& out,
               char file, std::vector<UnreadableAmountLine>& unreadable) {
  out.clear();
  out.reserve(t.RecCount());
  const StoredFields v(t, std::vector<int>(f.begin(), f.end()));
  return ScanRecords(t, [&](std::uint32_t recno, const std::uint8_t* record) {
    EntryLine& l = out.emplace_back();
    if (ReadEntryLine(v, record, bounds, l) != 0 && !l.deleted)
      unreadable.push_back({file, recno, std::string(l.piece.View()), std::string(l.account.View())});
  });
}

constexpr std::uint32_t kNoRecord = UINT32_MAX;

// The figures of a record whose TREC reaches no line.
const LineFigures kNoLine{};

// The place of each of positions 0 .. n-1 in C60CODE order given their code and date keys: code,
// date, position.
template <typename CodeOf, typename DateOf>
std::vector<std::uint32_t> CodeDatePlaces(std::size_t n, CodeOf codeOf, DateOf dateOf, std::size_t mostKeys = 1u << 18);

// The figures of the lines of an entry-line table that sort records lead to, appended to `out`
// in the table's order: `slot[n - 1]` is kNoRecord for the line whose record number is n when
// no record leads to it. `f` lists the field numbers of class, month, journal, due date, sense,
// francs and euros, `names` those of the account and the piece that name a line whose amount
// does not read (it goes to `unreadable`, `file` "B" or "C").
bool ReadFigures(Table& t, const std::array<int, 7>& f, const std::array<int, 2>& names, const LineBounds& bounds,
                 const LargeVector<std::uint32_t>& slot, LargeVector<LineFigures>& out, char file,
                 std::vector<UnreadableAmountLine>& unreadable) {
  const StoredFields v(t, std::vector<int>(f.begin(), f.end()));
  const StoredFields n(t, std::vector<int>(names.begin(), names.end()));
  return ScanRecords(t, [&](std::uint32_t recno, const std::uint8_t* record) {
    if (recno <= slot.size() && slot[recno - 1] != kNoRecord && ReadLineFigures(v, record, bounds, out.emplace_back()) != 0)
      unreadable.push_back({file, recno, std::string(n.In(record, 1)), std::string(n.In(record, 0))});
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

// A code packed as its 8 characters stored (blank-padded): straight from the stored bytes when
// the field has its usual width.
std::uint64_t CodeKey(std::string_view code) {
  if (std::endian::native == std::endian::little && code.size() == 8) {
    std::uint64_t c = 0;
    std::memcpy(&c, code.data(), 8);
    return __builtin_bswap64(c);
  }
  Fixed<8> padded;
  padded.Set(code);
  return PackText(padded.c.data(), 8);
}

// TMOIS + TJOUR packed as the 6 characters of the record's date (blanks for what is missing):
// straight from the stored bytes when the fields have their usual widths.
std::uint64_t DateKey(std::string_view month, std::string_view day) {
  if (std::endian::native == std::endian::little && month.size() == 4 && day.size() == 2) {
    std::uint32_t m = 0;
    std::uint16_t d = 0;
    std::memcpy(&m, month.data(), 4);
    std::memcpy(&d, day.data(), 2);
    return std::uint64_t{__builtin_bswap32(m)} << 32 | std::uint64_t{__builtin_bswap16(d)} << 16;
  }
  char date[6];
  for (std::size_t i = 0; i < 4; ++i) date[i] = i < month.size() ? month[i] : ' ';
  for (std::size_t i = 0; i < 2; ++i) date[4 + i] = i < day.size() ? day[i] : ' ';
  return PackText(date, 6);
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
  return FileNotReadMessage(title, t.result, path);
}

}  // namespace

std::string FileNotOpenedMessage(const std::string& title, int error, const std::string& path) {
  return FillPlaceholders(LoadStr(kMsgFileNotOpened), {title, std::to_string(error), path});
}

std::string FileNotReadMessage(const std::string& title, int error, const std::string& path) {
  return FillPlaceholders(LoadStr(kMsgFileNotRead), {title, std::to_string(error), path});
}

std::uint64_t PackText(const char* text, std::size_t n) {
  unsigned char bytes[8] = {};
  std::memcpy(bytes, text, n < 8 ? n : 8);
  std::uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, bytes, 8);
    return __builtin_bswap64(v);
  }
  for (unsigned char b : bytes) v = (v << 8) | b;
  return v;
}

void UnpackText(std::uint64_t packed, char* out, std::size_t n) {
  for (std::size_t i = 0; i < n && i < 8; ++i) out[i] = static_cast<char>(packed >> (8 * (7 - i)));
}

bool BalanceSource::Load(const std::string& c60Path, const std::string& c50Path, const std::string& c40Path,
                         std::string* message, bool texts, bool analytic) {
  records_.clear();
  entries_.clear();
  draft_.clear();
  closed_.clear();
  draftFigures_.clear();
  closedFigures_.clear();
  analytic_.clear();
  unreadable_.clear();
  analyticMade_ = !texts;
  Table c60, c50, c40;
  if (!OpenRead(c60, c60Path, LoadStr(kTitleSortFile), message) ||
      !OpenRead(c50, c50Path, LoadStr(kTitleDraftFile), message) ||
      !OpenRead(c40, c40Path, LoadStr(kTitleClosedFile), message))
    return false;
  using LE = LigneEcriture;
  bool sortRead = true, draftRead = true, closedRead = true;
  std::vector<UnreadableAmountLine> draftUnreadable;
  if (texts) {
    // The three tables are read side by side, each on its own thread through its own cursor
    // (opened and closed here, on the calling thread, which waits for the two others).
    // The largest amounts decided here, once: the threads only read them.
    const LineBounds bounds = LineBoundsOf(TheDossierRecord);
    Beside closedReader(
        [&] { closedRead = LoadLines(c40, kClosedLineFields, bounds, closed_, LigneTri::kClosed, unreadable_); });
    Beside draftReader([&] {
      draftRead = LoadLines(c50, {LE::BCLE, LE::BMOIS, LE::BJAL, LE::BECHEANCE, LE::BSENS, LE::BMONTANTF,
                                  LE::BMONTANTE, LE::BCODE, LE::BJOUR, LE::BPIECE, LE::BCLIB, LE::BLIB, LE::BLETE,
                                  LE::BNUM, 0},
                            bounds, draft_, LigneTri::kDraft, draftUnreadable);
    });
    sortRead = LoadSortRecords(c60, nullptr);
    closedReader.Wait();
    draftReader.Wait();
    if (sortRead && draftRead && closedRead) JoinGeneral();
  } else {
    LoadLean(c60, c50, c40, analytic, sortRead, draftRead, closedRead, draftUnreadable);
  }
  unreadable_.insert(unreadable_.end(), draftUnreadable.begin(), draftUnreadable.end());
  // The lines read on the other threads, whose watches are theirs alone, go to this thread's: a run
  // that loads its source under its reading meets them as if it had read them itself.
  for (const UnreadableAmountLine& line : unreadable_) NoteUnreadAmount(line);
  if (!sortRead || !draftRead || !closedRead) {
    if (message != nullptr)
      *message = !sortRead    ? Unread(c60, LoadStr(kTitleSortFile), c60Path)
                 : !draftRead ? Unread(c50, LoadStr(kTitleDraftFile), c50Path)
                              : Unread(c40, LoadStr(kTitleClosedFile), c40Path);
    return false;
  }
  return true;
}

void BalanceSource::LoadLean(Table& c60, Table& c50, Table& c40, bool analytic, bool& sortRead,
                             bool& draftRead, bool& closedRead, std::vector<UnreadableAmountLine>& draftUnreadable) {
  // The records that are not general kept whole; of the general ones what the entries take.
  LargeVector<GeneralKey> general;
  sortRead = LoadSortRecords(c60, &general, analytic);
  if (!sortRead) return;
  const std::size_t n = general.size();
  // Each line that live records lead to gets the number of its figures, in the line's own order:
  // the tables are then read into their figures one after the other, and every record leading to
  // a line (more than one on a damaged sort file) points at them.
  LargeVector<std::uint32_t> draftSlot(c50.RecCount(), kNoRecord), closedSlot(c40.RecCount(), kNoRecord);
  auto slotOf = [&](char file, std::int32_t rec) -> std::uint32_t* {
    LargeVector<std::uint32_t>& slot = file == 'B' ? draftSlot : closedSlot;
    if (rec < 1 || static_cast<std::size_t>(rec) > slot.size()) return nullptr;
    return &slot[static_cast<std::size_t>(rec - 1)];
  };
  for (const GeneralKey& g : general)
    if (std::uint32_t* s = slotOf(g.file, g.rec)) *s = 0;
  for (const auto& [file, rec] : analyticLines_)
    if (std::uint32_t* s = slotOf(file, rec)) *s = 0;
  auto number = [](LargeVector<std::uint32_t>& slot) {
    std::uint32_t next = 0;
    for (std::uint32_t& s : slot)
      if (s != kNoRecord) s = next++;
    return next;
  };
  draftFigures_.reserve(number(draftSlot));
  closedFigures_.reserve(number(closedSlot));
  using LE = LigneEcriture;
  {
    // The largest amounts decided here, once: the threads only read them.
    const LineBounds bounds = LineBoundsOf(TheDossierRecord);
    Beside draftReader([&] {
      draftRead = ReadFigures(c50, {LE::BCLE, LE::BMOIS, LE::BJAL, LE::BECHEANCE, LE::BSENS, LE::BMONTANTF, LE::BMONTANTE},
                              {LE::BCODE, LE::BPIECE}, bounds, draftSlot, draftFigures_, LigneTri::kDraft, draftUnreadable);
    });
    closedRead = ReadFigures(c40, {LE::DCLE, LE::DMOIS, LE::DJAL, LE::DECHEANCE, LE::DSENS, LE::DMONTANTF, LE::DMONTANTE},
                             {LE::DCODE, LE::DPIECE}, bounds, closedSlot, closedFigures_, LigneTri::kClosed, unreadable_);
    draftReader.Wait();
  }
  // The figures a record leads to; kNoLine when none.
  auto figures = [&](char file, std::int32_t rec) -> const LineFigures* {
    const std::uint32_t* s = slotOf(file, rec);
    if (s == nullptr) return &kNoLine;
    const LargeVector<LineFigures>& f = file == 'B' ? draftFigures_ : closedFigures_;
    return *s < f.size() ? &f[*s] : &kNoLine;
  };
  for (std::size_t i = 0; i < analyticLines_.size(); ++i)
    analytic_[i].line = *figures(analyticLines_[i].first, analyticLines_[i].second);
  analyticLines_ = {};
  // The entries in C60CODE order: each record written at its place.
  const std::vector<std::uint32_t> place = CodeDatePlaces(
      n, [&general](std::size_t i) { return general[i].codeKey; },
      [&general](std::size_t i) { return general[i].dateKey; });
  entries_.resize(n);
  for (std::size_t p = 0; p < n; ++p) {
    const GeneralKey& g = general[p];
    GeneralEntry& e = entries_[place[p]];
    e.codeKey = g.codeKey;
    e.dateKey = g.dateKey;
    e.line = figures(g.file, g.rec);
    e.physical = g.physical;
    e.letterF = g.letterF;
    e.letterE = g.letterE;
  }
}

bool BalanceSource::LoadSortRecords(Table& c60, LargeVector<GeneralKey>* general, bool analytic) {
  using LT = LigneTri;
  const StoredFields v(c60, {LT::TCLE, LT::TCODE, LT::TMOIS, LT::TJOUR, LT::TJAL, LT::TLET, LT::TLETE, LT::TFIC,
                             LT::TREC, LT::TPIECE, LT::TCG, LT::TNUM});
  // Room for every record: the pages left unused are never touched.
  if (general != nullptr) {
    general->reserve(c60.RecCount());
    if (analytic) {
      analytic_.reserve(c60.RecCount());
      analyticLines_.reserve(c60.RecCount());
    }
  } else {
    records_.reserve(c60.RecCount());
  }
  return ScanRecords(c60, [&](std::uint32_t recno, const std::uint8_t* record) {
    if (record[0] == '*') return;  // the walks skip them
    const std::string_view cls = v.In(record, 0), month = v.In(record, 2), day = v.In(record, 3),
                           file = v.In(record, 7);
    if (general != nullptr && !analytic && (cls.empty() || cls[0] != 'Z')) return;
    const std::uint64_t codeKey = CodeKey(v.In(record, 1)), dateKey = DateKey(month, day);
    if (general != nullptr && !cls.empty() && cls[0] == 'Z') {
      GeneralKey& g = general->emplace_back();
      g.codeKey = codeKey;
      g.dateKey = dateKey;
      g.physical = recno;
      g.rec = RecordNumberText(v.In(record, 8));
      g.letterF.Set(v.In(record, 5));
      g.letterE.Set(v.In(record, 6));
      g.file = file.empty() ? ' ' : file[0];
      return;
    }
    if (general != nullptr) {
      if (!analytic || cls.empty() || cls[0] >= 'Z') return;  // neither general nor analytic, or not asked
      AnalyticEntry& a = analytic_.emplace_back();
      a.codeKey = codeKey;
      a.dateKey = dateKey;
      Fixed<8> account;
      account.Set(v.In(record, 10));
      a.accountKey = PackText(account.c.data(), 8);
      a.line = LineFigures{};
      a.physical = recno;
      a.cls = cls[0];
      analyticLines_.emplace_back(file.empty() ? ' ' : file[0], RecordNumberText(v.In(record, 8)));
      return;
    }
    SortRecord& r = records_.emplace_back();
    r.cls = cls.empty() ? ' ' : cls[0];
    UnpackText(codeKey, r.code.c.data(), 8);
    UnpackText(dateKey, r.date.c.data(), 6);
    r.journal.Set(v.In(record, 4));
    r.letterF.Set(v.In(record, 5));
    r.letterE.Set(v.In(record, 6));
    r.file = file.empty() ? ' ' : file[0];
    r.rec = RecordNumberText(v.In(record, 8));
    r.piece.Set(v.In(record, 9));
    r.generalAccount.Set(v.In(record, 10));
    r.lineNumber.Set(v.In(record, 11));
    r.physical = recno;
    r.codeKey = codeKey;
    r.dateKey = dateKey;
  });
}

namespace {

// The rank of each key among the distinct keys, in key order; false (ranks unset) when there
// are more than `most` distinct keys.
template <typename KeyOf>
bool RankKeys(std::size_t n, KeyOf keyOf, std::size_t most, std::vector<std::uint32_t>& ranks,
              std::uint32_t& distinct) {
  std::vector<std::uint64_t> values;
  std::vector<std::uint32_t> slots(std::size_t{1} << 10, UINT32_MAX);  // open addressing: value number
  ranks.resize(n);
  std::uint64_t previous = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint64_t key = keyOf(k);
    if (k != 0 && key == previous) {  // neighbours often share a key (a piece's date)
      ranks[k] = ranks[k - 1];
      continue;
    }
    previous = key;
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
    std::size_t at = KeyHash(key) & (slots.size() - 1);
    while (slots[at] != UINT32_MAX && values[slots[at]] != key) at = (at + 1) & (slots.size() - 1);
    if (slots[at] == UINT32_MAX) {
      slots[at] = static_cast<std::uint32_t>(values.size());
      values.push_back(key);
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

// `items` put in the order of key(item), equal keys keeping their order, by counting; false
// (items unchanged) when the keys take more than `most` distinct values.
template <typename Key>
bool CountingPass(std::vector<std::uint32_t>& items, Key key, std::size_t most) {
  std::vector<std::uint32_t> ranks;
  std::uint32_t distinct = 0;
  if (!RankKeys(items.size(), [&](std::size_t k) { return key(items[k]); }, most, ranks, distinct)) return false;
  items = CountingOrder(items, ranks, distinct);
  return true;
}

template <typename CodeOf, typename DateOf>
std::vector<std::uint32_t> CodeDatePlaces(std::size_t n, CodeOf codeOf, DateOf dateOf, std::size_t mostKeys) {
  std::vector<std::uint32_t> place(n);
  // A year holds few dates and a chart far fewer accounts than lines: each position's code and
  // date are ranked among the distinct ones, then the positions are placed by counting, equal
  // keys keeping their order; no two positions are compared. The texts are compared as
  // big-endian integers, byte for byte as the texts compare.
  std::vector<std::uint32_t> dateRank, codeRank;
  std::uint32_t dates = 0, codes = 0;
  if (RankKeys(n, dateOf, mostKeys, dateRank, dates) && RankKeys(n, codeOf, mostKeys, codeRank, codes)) {
    const std::uint64_t pairs = std::uint64_t{codes} * dates;
    if (pairs <= std::max<std::uint64_t>(2 * std::uint64_t{n}, 1u << 16)) {
      // Few pairs: one pass over (code, date).
      std::vector<std::uint32_t> next(pairs + 1, 0);
      for (std::size_t i = 0; i < n; ++i) ++next[std::uint64_t{codeRank[i]} * dates + dateRank[i] + 1];
      for (std::uint64_t r = 0; r < pairs; ++r) next[r + 1] += next[r];
      for (std::size_t i = 0; i < n; ++i) place[i] = next[std::uint64_t{codeRank[i]} * dates + dateRank[i]]++;
      return place;
    }
    // By date, then by code.
    std::vector<std::uint32_t> order(n);
    for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
    order = CountingOrder(order, dateRank, dates);
    for (std::size_t k = 0; k < n; ++k) dateRank[k] = codeRank[order[k]];
    order = CountingOrder(order, dateRank, codes);
    for (std::uint32_t k = 0; k < n; ++k) place[order[k]] = k;
    return place;
  }
  // Too many distinct keys: the positions are compared.
  std::vector<std::uint32_t> order(n);
  for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&codeOf, &dateOf](std::uint32_t a, std::uint32_t b) {
    const std::uint64_t ca = codeOf(a), cb = codeOf(b);
    if (ca != cb) return ca < cb;
    const std::uint64_t da = dateOf(a), db = dateOf(b);
    if (da != db) return da < db;
    return a < b;
  });
  for (std::uint32_t k = 0; k < n; ++k) place[order[k]] = k;
  return place;
}

}  // namespace

std::vector<std::uint32_t> GeneralOrderOf(const std::vector<SortRecord>& records, std::size_t mostKeys) {
  std::vector<std::uint32_t> live;
  for (std::uint32_t i = 0; i < records.size(); ++i)
    if (records[i].cls == 'Z') live.push_back(i);
  const std::vector<std::uint32_t> place = CodeDatePlaces(
      live.size(), [&](std::size_t k) { return records[live[k]].codeKey; },
      [&](std::size_t k) { return records[live[k]].dateKey; }, mostKeys);
  std::vector<std::uint32_t> order(live.size());
  for (std::size_t k = 0; k < live.size(); ++k) order[place[k]] = live[k];
  return order;
}

void BalanceSource::JoinGeneral() {
  const std::vector<std::uint32_t> order = GeneralOrderOf(records_);
  const std::size_t n = order.size();
  // Left uninitialised: every entry is written once, by one of the threads below.
  entries_.resize(n);
  auto join = [this, &order](std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k) {
      const SortRecord& r = records_[order[k]];
      GeneralEntry& e = entries_[k];
      e.codeKey = r.codeKey;
      e.dateKey = r.dateKey;
      e.physical = r.physical;
      e.letterF = r.letterF;
      e.letterE = r.letterE;
      const EntryLine* l = LineOf(r);
      e.line = l != nullptr ? static_cast<const LineFigures*>(l) : &kNoLine;
    }
  };
  // Four parts at once.
  constexpr std::size_t kParts = 4;
  const std::size_t part = (n + kParts - 1) / kParts;
  if (n < 65536) return join(0, n);
  std::vector<std::unique_ptr<Beside>> others;
  for (std::size_t k = 1; k < kParts; ++k)
    others.push_back(
        std::make_unique<Beside>([&join, k, part, n] { join(std::min(n, k * part), std::min(n, (k + 1) * part)); }));
  join(0, part);
  for (auto& other : others) other->Wait();
}

std::span<const AnalyticEntry> BalanceSource::AnalyticEntries() const {
  if (!analyticMade_) {
    analyticMade_ = true;
    for (const SortRecord& r : records_) {
      if (r.cls >= 'Z') continue;
      AnalyticEntry& a = analytic_.emplace_back();
      a.codeKey = r.codeKey;
      a.dateKey = r.dateKey;
      a.accountKey = PackText(r.generalAccount.c.data(), 8);
      const EntryLine* l = LineOf(r);
      a.line = l != nullptr ? static_cast<const LineFigures&>(*l) : LineFigures{};
      a.physical = r.physical;
      a.cls = r.cls;
    }
  }
  return analytic_;
}

std::vector<std::uint32_t> BalanceSource::AnalyticOrder(bool byAccount) const {
  const std::span<const AnalyticEntry> entries = AnalyticEntries();
  std::vector<std::uint32_t> order(entries.size());
  for (std::uint32_t i = 0; i < entries.size(); ++i) order[i] = i;
  // By counting as the general records are, the least significant key first.
  constexpr std::size_t kMostKeys = 1u << 18;
  std::vector<std::uint32_t> counted = order;
  if (CountingPass(counted, [&entries](std::uint32_t i) { return entries[i].dateKey; }, kMostKeys) &&
      (!byAccount ||
       CountingPass(counted, [&entries](std::uint32_t i) { return entries[i].accountKey; }, kMostKeys)) &&
      CountingPass(counted, [&entries](std::uint32_t i) { return entries[i].codeKey; }, kMostKeys))
    return counted;
  std::stable_sort(order.begin(), order.end(), [&entries, byAccount](std::uint32_t a, std::uint32_t b) {
    const AnalyticEntry& x = entries[a];
    const AnalyticEntry& y = entries[b];
    if (x.codeKey != y.codeKey) return x.codeKey < y.codeKey;
    if (byAccount && x.accountKey != y.accountKey) return x.accountKey < y.accountKey;
    return x.dateKey < y.dateKey;
  });
  return order;
}

const EntryLine* BalanceSource::LineOf(const SortRecord& r) const {
  const std::vector<EntryLine>& lines = r.file == 'B' ? draft_ : closed_;
  if (r.rec < 1 || static_cast<std::size_t>(r.rec) > lines.size()) return nullptr;
  return &lines[static_cast<std::size_t>(r.rec - 1)];
}

bool ReadClosedGeneralLines(const std::string& c60Path, const std::string& c50Path, const std::string& c40Path,
                            const ClosedGeneralWalk& walk, std::string* message) {
  Table c60, c50, c40;
  if (!OpenRead(c60, c60Path, LoadStr(kTitleSortFile), message) ||
      !OpenRead(c50, c50Path, LoadStr(kTitleDraftFile), message) ||
      !OpenRead(c40, c40Path, LoadStr(kTitleClosedFile), message))
    return false;
  // Which closed lines the records lead to: a mark per line, and the lines that several records
  // lead to (a damaged sort file) once more for each further record.
  const std::uint32_t closedCount = c40.RecCount();
  std::vector<std::uint8_t> led(closedCount, 0);
  std::vector<std::uint32_t> again;
  using LT = LigneTri;
  const StoredFields v(c60, {LT::TCLE, LT::TJAL, LT::TMOIS, LT::TFIC, LT::TREC});
  const bool sortRead = ScanRecords(c60, [&](std::uint32_t recno, const std::uint8_t* record) {
    if (record[0] == '*') return;  // the walks skip them
    const std::string_view cls = v.In(record, 0), file = v.In(record, 3);
    if (cls.empty() || cls[0] != 'Z') return;
    if (!file.empty() && file[0] == 'B') {
      if (walk.draftRecord) {
        Fixed<3> journal;
        Fixed<4> month;
        journal.Set(v.In(record, 1));
        month.Set(v.In(record, 2));
        walk.draftRecord(journal, month);
      }
      return;
    }
    const std::int32_t rec = RecordNumberText(v.In(record, 4));
    if (rec < 1 || static_cast<std::uint32_t>(rec) > closedCount) {
      if (walk.broken) walk.broken(recno);
      return;
    }
    std::uint8_t& mark = led[static_cast<std::size_t>(rec - 1)];
    if (mark != 0) again.push_back(static_cast<std::uint32_t>(rec));
    mark = 1;
  });
  if (!sortRead) {
    if (message != nullptr) *message = Unread(c60, LoadStr(kTitleSortFile), c60Path);
    return false;
  }
  std::sort(again.begin(), again.end());
  if (walk.start) {
    std::size_t lines = again.size();
    for (std::uint8_t mark : led) lines += mark;
    walk.start(lines);
  }
  // The lines without their due dates, which no reader of the walk takes. The francs stay: euros below
  // zero read only beside francs above zero (the opening balances write such lines).
  std::vector<int> fields(kClosedLineFields.begin(), kClosedLineFields.end());
  fields[3] = 0;
  const StoredFields lines(c40, fields);
  auto more = again.begin();
  EntryLine line;
  const LineBounds bounds = LineBoundsOf(TheDossierRecord);
  const bool closedRead = ScanRecords(c40, [&](std::uint32_t recno, const std::uint8_t* record) {
    if (recno > closedCount || led[recno - 1] == 0) return;
    unsigned records = 1;
    for (; more != again.end() && *more == recno; ++more) ++records;
    // Read on this thread and named by no one here: each amount not read is noted as one without its record.
    if (const int unread = ReadEntryLine(lines, record, bounds, line); unread != 0) {
      for (int i = 0; i < unread; ++i) NoteUnnamedUnreadAmount();
      if (walk.unreadable) {
        walk.unreadable(line, recno);
        return;
      }
    }
    if (walk.line) walk.line(line, recno, records);
  });
  if (!closedRead) {
    if (message != nullptr) *message = Unread(c40, LoadStr(kTitleClosedFile), c40Path);
    return false;
  }
  return true;
}

}  // namespace balances
