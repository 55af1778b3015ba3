#include "reports/balances/core/fec_export.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <tuple>

#include "platform/system/code_pages.h"
#include "platform/system/file_pieces.h"
#include "platform/system/files.h"
#include "runtime/bank_ids.h"
#include "data/entry_lines.h"
#include "data/write_targets.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace balances {

const std::array<const char*, kFecZones>& FecZoneNames() {
  static const std::array<const char*, kFecZones> kNames = {
      "JournalCode", "JournalLib", "EcritureNum", "EcritureDate", "CompteNum",   "CompteLib",
      "CompAuxNum",  "CompAuxLib", "PieceRef",    "PieceDate",    "EcritureLib", "Debit",
      "Credit",      "EcritureLet", "DateLet",    "ValidDate",    "Montantdevise", "Idevise"};
  return kNames;
}

namespace {

// The texts shown: the SIREN refused, the check of the year, the file not written.
enum : int {
  kMsgSirenBlank = 26101, kMsgSirenInvalid, kMsgCannotBeMade, kMsgBrokenRecords, kMsgNoCollective, kMsgCheckTitle,
  kMsgDraftMonths, kMsgUnbalancedPieces, kMsgSeveralDates, kMsgSeveralValidations, kMsgMissingJournals,
  kMsgMissingLabels, kMsgMissingAccounts, kMsgZeroLines, kMsgNotWritten,
};
static_assert(kMsgNotWritten == 26115);

// An input byte whose form in a zone is a blank: a blank, a control character, "|", and the broken
// bar (which becomes "|" in ISO 8859-15). No other byte's form holds a blank.
bool BlankInZone(unsigned char b) { return b <= 0x20 || b == 0x7F || b == '|' || b == 0xA6; }

// The form in a zone of each cp1252 byte from 0x80 (its ISO 8859-15 form, "|" as a blank), made once.
// A form of at most three bytes, its length in the fourth.
using HighForm = std::array<char, 4>;
const std::array<HighForm, 128>& HighForms() {
  static const std::array<HighForm, 128> kForms = [] {
    std::array<HighForm, 128> forms{};
    for (int b = 0x80; b <= 0xFF; ++b) {
      const char c = static_cast<char>(b);
      std::string form = platform::Cp1252ToIso885915(std::string_view(&c, 1));
      for (char& f : form)
        if (static_cast<unsigned char>(f) < 0x20 || f == 0x7F || f == '|') f = ' ';
      HighForm& h = forms[static_cast<std::size_t>(b - 0x80)];
      form.resize(std::min<std::size_t>(form.size(), 3));
      std::memcpy(h.data(), form.data(), form.size());
      h[3] = static_cast<char>(form.size());
    }
    return forms;
  }();
  return kForms;
}

// Writers into a buffer that has room enough (a zone takes at most three bytes per byte of its
// text); each returns where its text ends.
char* PutText(char* p, std::string_view text) {
  std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

// The byte a zone writes for each byte below 0x80 (a blank for the control characters and "|"),
// 0 for the bytes from 0x80, which take their form; and which bytes are trimmed as blanks.
struct ZoneBytes {
  std::array<char, 256> form{};
  std::array<bool, 256> blank{};
  ZoneBytes() {
    for (int b = 0; b < 0x80; ++b) form[b] = b < 0x20 || b == 0x7F || b == '|' ? ' ' : static_cast<char>(b);
    for (int b = 0; b < 256; ++b) blank[b] = BlankInZone(static_cast<unsigned char>(b));
  }
};
const ZoneBytes kZoneBytes;

char* PutZone(char* p, std::string_view cp1252) {
  const auto* b = reinterpret_cast<const unsigned char*>(cp1252.data());
  const unsigned char* e = b + cp1252.size();
  while (b < e && kZoneBytes.blank[*b]) ++b;
  while (e > b && kZoneBytes.blank[e[-1]]) --e;
  const std::array<HighForm, 128>& high = HighForms();
  for (; b < e; ++b) {
    if (const char c = kZoneBytes.form[*b]) {
      *p++ = c;
    } else {
      const HighForm& h = high[*b - 0x80];
      std::memcpy(p, h.data(), 3);
      p += h[3];
    }
  }
  return p;
}

char* PutDigits(char* p, unsigned long long n) { return std::to_chars(p, p + 20, n).ptr; }

char* PutAmount(char* p, long long cents) {
  const bool negative = cents < 0;
  const unsigned long long a = negative ? 0ULL - static_cast<unsigned long long>(cents) : static_cast<unsigned long long>(cents);
  if (negative) *p++ = '-';
  p = PutDigits(p, a / 100);
  *p++ = ',';
  *p++ = static_cast<char>('0' + a % 100 / 10);
  *p++ = static_cast<char>('0' + a % 10);
  return p;
}

// "00" to "99".
const std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// A date's number AAAAMMJJ as its 8 digits; nothing for 0 (an invalid date).
char* PutDate(char* p, std::uint32_t date) {
  if (date == 0) return p;
  const std::uint32_t year = date / 10000 % 10000, day = date % 10000;
  std::memcpy(p, &kDigitPairs[2 * (year / 100)], 2);
  std::memcpy(p + 2, &kDigitPairs[2 * (year % 100)], 2);
  std::memcpy(p + 4, &kDigitPairs[2 * (day / 100)], 2);
  std::memcpy(p + 6, &kDigitPairs[2 * (day % 100)], 2);
  return p + 8;
}

// True when every byte of the N-byte text is printable ASCII other than "|": its zone is then
// the text without its outer blanks. Eight bytes at a time, the last word padded with blanks.
template <std::size_t N>
bool Plain(const char* text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
  char padded[(N + 7) / 8 * 8];
  std::memset(padded, ' ', sizeof padded);
  std::memcpy(padded, text, N);
  std::uint64_t other = 0;
  for (std::size_t i = 0; i < sizeof padded; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, padded + i, 8);
    const std::uint64_t del = w ^ (0x7F * kOnes), bar = w ^ ('|' * kOnes);
    other |= w | ((w - 0x20 * kOnes) & ~w) | ((del - kOnes) & ~del) | ((bar - kOnes) & ~bar);
  }
  return (other & kHigh) == 0;
}
bool Plain(std::string_view text) {
  unsigned other = 0;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    other |= static_cast<unsigned>(static_cast<unsigned char>(c - 0x20) >= 0x5F) | static_cast<unsigned>(c == '|');
  }
  return other == 0;
}

}  // namespace

void AppendFecZone(std::string& out, std::string_view cp1252) {
  const std::size_t old = out.size();
  out.resize(old + 3 * cp1252.size());
  out.resize(static_cast<std::size_t>(PutZone(out.data() + old, cp1252) - out.data()));
}

std::string FecZone(std::string_view cp1252) {
  std::string text;
  AppendFecZone(text, cp1252);
  return text;
}

std::string FecAmount(long long cents) {
  char text[32];
  return std::string(text, PutAmount(text, cents));
}

std::string FecDate(std::string_view stored) {
  Ymd d;
  if (!ParseStoredDate(stored, d)) return "";
  return YyyymmddOf(d);
}

std::string FecExport::CheckSirenForFec(const std::string& siren) {
  switch (CheckSiren(siren)) {
    case 0:
      return "";
    case kSirenBlank:
      return LoadStr(kMsgSirenBlank);
    default:
      return FillPlaceholder(LoadStr(kMsgSirenInvalid), Trimmed(siren));
  }
}

std::string FecExport::FileName(const std::string& siren, const std::string& yearEndStored) {
  return Trimmed(siren) + "FEC" + FecDate(yearEndStored) + ".txt";
}

bool FecCheck::HasRemarks() const {
  return !draftMonths.empty() || !unbalancedPieces.empty() || !severalDates.empty() ||
         !severalValidations.empty() || !missingJournals.empty() || !missingLabels.empty() ||
         !missingAccounts.empty() || zeroLines != 0;
}

namespace {

// The list's title (a string id), its count and its first ten items.
void AppendList(std::string& text, int title, const std::set<std::string>& items) {
  if (items.empty()) return;
  text += std::string("\n") + LoadStr(title) + " (" + std::to_string(items.size()) + "):";
  int shown = 0;
  for (const std::string& i : items) {
    if (++shown > 10) {
      text += " ...";
      break;
    }
    text += (shown == 1 ? " " : ", ") + i;
  }
}

}  // namespace

std::string FecCheck::Text() const {
  std::string text;
  if (Blocking()) {
    text = LoadStr(kMsgCannotBeMade);
    if (!brokenRecords.empty()) text += FillPlaceholder(LoadStr(kMsgBrokenRecords), std::to_string(brokenRecords.size()));
    if (!lettersWithoutCollective.empty()) {
      std::string letters;
      for (char c : lettersWithoutCollective) letters += std::string(letters.empty() ? "" : ", ") + c;
      text += FillPlaceholder(LoadStr(kMsgNoCollective), letters);
    }
    text += UnreadableAmountsFileMessage(unreadable);
    return text;
  }
  text = LoadStr(kMsgCheckTitle);
  AppendList(text, kMsgDraftMonths, draftMonths);
  AppendList(text, kMsgUnbalancedPieces, unbalancedPieces);
  AppendList(text, kMsgSeveralDates, severalDates);
  AppendList(text, kMsgSeveralValidations, severalValidations);
  AppendList(text, kMsgMissingJournals, missingJournals);
  AppendList(text, kMsgMissingLabels, missingLabels);
  AppendList(text, kMsgMissingAccounts, missingAccounts);
  if (zeroLines != 0) text += FillPlaceholder(LoadStr(kMsgZeroLines), std::to_string(zeroLines));
  return text;
}

namespace {

std::string MonthText(const std::string& month) {
  const std::string d = FecDate(month + "01");
  return d.size() == 8 ? d.substr(4, 2) + "/" + d.substr(0, 4) : month;
}

// The first n (at most 8) bytes of a text as a big-endian integer: integers compare as the texts.
inline std::uint64_t Packed(const char* text, std::size_t n) {
  if (n < 8) {  // byte by byte: a shorter copy read back whole would wait for its parts
    std::uint64_t k = 0;
    for (std::size_t i = 0; i < 8; ++i) k = k << 8 | (i < n ? static_cast<unsigned char>(text[i]) : 0u);
    return k;
  }
  std::uint64_t k = 0;
  std::memcpy(&k, text, 8);
  return std::endian::native == std::endian::little ? __builtin_bswap64(k) : k;
}

std::string_view TrimmedView(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (e > 0 && text[e - 1] == ' ') --e;
  while (b < e && text[b] == ' ') ++b;
  return text.substr(b, e - b);
}

// Numbers by 64-bit keys (packed texts), open addressing: the tables of the accounts and of the
// dates met, looked up for every line.
class KeyIndex {
 public:
  KeyIndex() : slots_(64) {}
  // The value of `key`, or `value` newly put there; *added tells which.
  std::uint32_t FindOrAdd(std::uint64_t key, std::uint32_t value, bool* added = nullptr) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    Slot& s = SlotOf(key);
    if (added != nullptr) *added = !s.used;
    if (!s.used) {
      s = {key, value, true};
      ++count_;
    }
    return s.value;
  }
  // The value of `key`, or null.
  const std::uint32_t* Find(std::uint64_t key) const {
    const Slot& s = const_cast<KeyIndex*>(this)->SlotOf(key);
    return s.used ? &s.value : nullptr;
  }

 private:
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t value = 0;
    bool used = false;
  };
  Slot& SlotOf(std::uint64_t key) {
    // The top bits of the product, which every bit of the key changes (general accounts share
    // their last characters, "0000", and so their low bits).
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> (64 - std::countr_zero(slots_.size())));
    while (slots_[i].used && slots_[i].key != key) i = (i + 1) & mask;
    return slots_[i];
  }
  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& s : old)
      if (s.used) SlotOf(s.key) = s;
  }
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

// Stored dates as the file writes them, AAAAMMJJ held as the number (0 for an invalid date, which
// the file leaves empty and which comes before any other), each converted once.
class DateNumbers {
 public:
  std::uint32_t Of(std::string_view stored) {
    if (stored.size() != 6) return Number(stored);
    const std::uint64_t key = Packed(stored.data(), stored.size());
    if (key == last_.key) return last_.number;  // the lines of a piece share their dates
    last_ = {key, OfKey(stored, key)};
    return last_.number;
  }

 private:
  std::uint32_t OfKey(std::string_view stored, std::uint64_t key) {
    // The dates met last, by a few bits of their key, before the table of all.
    Recent& recent = recent_[(key * 0x9E3779B97F4A7C15ULL) >> 58];
    if (recent.key == key) return recent.number;
    const std::uint32_t* known = numbers_.Find(key);
    recent = {key, known != nullptr ? *known : numbers_.FindOrAdd(key, Number(stored))};
    return recent.number;
  }

 public:
  std::uint32_t Of(const Fixed<4>& month, const Fixed<2>& day) {
    // The key made from the fields where they lie; their text only for a date not met yet.
    std::uint64_t key = 0;
    for (const char c : month.c) key = key << 8 | static_cast<unsigned char>(c);
    for (const char c : day.c) key = key << 8 | static_cast<unsigned char>(c);
    key <<= 16;
    if (key == last_.key) return last_.number;  // the lines of a piece share their dates
    char stored[6];
    std::memcpy(stored, month.c.data(), 4);
    std::memcpy(stored + 4, day.c.data(), 2);
    last_ = {key, OfKey(std::string_view(stored, 6), key)};
    return last_.number;
  }

 private:
  static std::uint32_t Number(std::string_view stored) {
    const std::string text = FecDate(stored);
    std::uint32_t n = 0;
    if (text.size() == 8) std::from_chars(text.data(), text.data() + 8, n);
    return n;
  }

  struct Recent {
    std::uint64_t key = ~std::uint64_t{0};
    std::uint32_t number = 0;
  };
  KeyIndex numbers_;
  std::array<Recent, 64> recent_{};
  Recent last_;
};


using LineKey = FecRows::Key;

// The journal (3), month (4) and piece (6) a key holds, in `text`.
void EntryText(const LineKey& k, char* text) {
  UnpackText(k.entry, text, 8);
  UnpackText(k.rest, text + 8, 5);
}

// The N bytes of a text as a big-endian integer, read byte by byte from where they lie (not
// copied first: a wider read of bytes just written byte-wise waits for them).
template <std::size_t N>
std::uint64_t BigEndian(const char* text) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < N; ++i) v = v << 8 | static_cast<unsigned char>(text[i]);
  return v;
}

// The key of a line: journal (3), month (4), piece (6) and line number (4) packed as their text
// would be, then its place.
LineKey KeyOf(const EntryLine& l, std::uint32_t line) {
  const std::uint64_t number = BigEndian<4>(l.lineNumber.c.data());
  return {BigEndian<3>(l.journal.c.data()) << 40 | BigEndian<4>(l.month.c.data()) << 8 |
              static_cast<unsigned char>(l.piece.c[0]),
          BigEndian<5>(l.piece.c.data() + 1) << 24 | number >> 8, (number & 0xFF) << 32 | line, 0, 0, 0};
}

// An entry: its lines (a run of the ordered lines), its dates, whether it opens the year.
struct Entry {
  std::uint32_t first = 0, count = 0;
  std::uint32_t validation = 0, date = 0;  // the earliest of its lines, AAAAMMJJ
  bool opening = false;
  std::pair<std::uint64_t, std::uint64_t> name;  // journal, piece and month, packed
};

// The latest date of an account's letter: the account and the letter packed.
struct LetterDate {
  std::uint64_t account;
  std::uint32_t letter;
  std::uint32_t date;
  bool SameKey(const LetterDate& o) const { return account == o.account && letter == o.letter; }
  bool operator<(const LetterDate& o) const {
    return std::tie(account, letter, date) < std::tie(o.account, o.letter, o.date);
  }
};

// The distinct groups of `items` in `groups`, sorted, when they are few (an eighth of the items
// at most, past a thousand); false when they are not.
template <typename T, typename GroupOf>
bool FewGroups(const LargeVector<T>& items, GroupOf groupOf, std::vector<std::uint64_t>& groups) {
  const std::size_t most = items.size() / 8 + 1024;
  groups.clear();
  for (const T& t : items) {
    const std::uint64_t g = groupOf(t);
    if (!groups.empty() && groups.back() == g) continue;
    groups.push_back(g);
    if (groups.size() > 2 * most) {  // scattered: fewer once made distinct
      std::sort(groups.begin(), groups.end());
      groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
      if (groups.size() > most) return false;
    }
  }
  std::sort(groups.begin(), groups.end());
  groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
  return groups.size() <= most;
}

// Each item's group rank; `next` is left with where each group starts once the items are
// placed by counting (next[r] for group r, moved on by the placing).
template <typename T, typename GroupOf>
LargeVector<std::uint32_t> GroupRanks(const LargeVector<T>& items, GroupOf groupOf,
                                      const std::vector<std::uint64_t>& groups, std::vector<std::size_t>& next) {
  LargeVector<std::uint32_t> rank(items.size());
  next.assign(groups.size() + 1, 0);
  std::uint64_t last = 0;
  std::uint32_t lastRank = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::uint64_t g = groupOf(items[i]);
    if (i == 0 || g != last) {
      last = g;
      lastRank = static_cast<std::uint32_t>(std::lower_bound(groups.begin(), groups.end(), g) - groups.begin());
    }
    rank[i] = lastRank;
    ++next[lastRank + 1];
  }
  for (std::size_t r = 0; r < groups.size(); ++r) next[r + 1] += next[r];
  return rank;
}

// Once placed, each group sorted unless already in order; next[r] is where group r ends.
template <typename It, typename Less>
void SortEachGroup(It begin, const std::vector<std::size_t>& next, std::size_t groups, Less less) {
  std::size_t from = 0;
  for (std::size_t r = 0; r < groups; ++r) {
    const It b = begin + static_cast<std::ptrdiff_t>(from), e = begin + static_cast<std::ptrdiff_t>(next[r]);
    if (!std::is_sorted(b, e, less)) std::sort(b, e, less);
    from = next[r];
  }
}

// `items` put in the order `less` gives, where `groupOf` gives an integer that orders the items as
// `less` does across groups and splits them into few groups (journal-months, dates): the groups
// are placed by counting, then each is sorted unless already in order, as the lines of a
// journal-month mostly are. Many groups: a plain sort. `less` orders every two items.
template <typename T, typename GroupOf, typename Less>
void SortByGroups(LargeVector<T>& items, GroupOf groupOf, Less less) {
  std::vector<std::uint64_t> groups;
  if (!FewGroups(items, groupOf, groups)) return std::sort(items.begin(), items.end(), less);
  std::vector<std::size_t> next;
  const LargeVector<std::uint32_t> rank = GroupRanks(items, groupOf, groups, next);
  {
    LargeVector<T> placed(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) placed[next[rank[i]]++] = items[i];
    items.swap(placed);
  }
  SortEachGroup(items.begin(), next, groups.size(), less);
}

// The order of `items` as SortByGroups would put them, without moving them: the numbers of the
// items, placed by counting on their groups, then each group's sorted unless already in order.
template <typename T, typename GroupOf, typename Less>
LargeVector<std::uint32_t> OrderByGroups(const LargeVector<T>& items, GroupOf groupOf, Less less) {
  LargeVector<std::uint32_t> order(items.size());
  auto byItems = [&items, &less](std::uint32_t a, std::uint32_t b) { return less(items[a], items[b]); };
  std::vector<std::uint64_t> groups;
  if (!FewGroups(items, groupOf, groups)) {
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), byItems);
    return order;
  }
  std::vector<std::size_t> next;
  const LargeVector<std::uint32_t> rank = GroupRanks(items, groupOf, groups, next);
  for (std::uint32_t i = 0; i < items.size(); ++i) order[next[rank[i]]++] = i;
  SortEachGroup(order.begin(), next, groups.size(), byItems);
  return order;
}

std::uint32_t LetterOf(const Fixed<4>& letter) { return static_cast<std::uint32_t>(Packed(letter.c.data(), 4) >> 32); }

}  // namespace

std::string_view FecRow::Zone(std::string_view line, std::size_t zone) {
  std::size_t from = 0;
  for (std::size_t z = 0; z < zone; ++z) {
    from = line.find('\t', from);
    if (from == std::string_view::npos) return {};
    ++from;
  }
  const std::size_t to = line.find('\t', from);
  return line.substr(from, to == std::string_view::npos ? std::string_view::npos : to - from);
}

const std::string& FecRows::Header() {
  static const std::string kHeader = [] {
    std::string header;
    for (const char* name : FecZoneNames()) header += std::string(header.empty() ? "" : "\t") + name;
    return header + "\r\n";
  }();
  return kHeader;
}

FecRow FecRows::operator[](std::size_t i) const {
  std::string line;
  AppendRow(line, i);
  line.resize(line.size() - 2);
  return FecRow(std::move(line));
}

void FecRows::AppendRow(std::string& out, std::size_t i) const {
  const std::size_t old = out.size();
  out.resize(old + rowBound_);
  out.resize(static_cast<std::size_t>(PutRow(out.data() + old, i) - out.data()));
}

char* FecRows::PutRow(char* p, std::size_t i) const {
  // The key and line of a row further on asked ahead: the rows read them out of their order.
  if (i + 8 < rows_.size()) {
    __builtin_prefetch(&keys_[rows_[i + 8].key]);
    __builtin_prefetch(&lines_[rows_[i + 8].key]);
  }
  const Row& row = rows_[i];
  const Key& k = keys_[row.key];
  const Line& l = lines_[k.Line()];
  const FecAccountZones& account = accounts_[l.account];
  const JournalZones& journal = journals_[row.journal];
  p = PutText(p, journal.zones);
  p = PutDigits(p, row.number);
  *p++ = '\t';
  char* const dateText = p;
  p = PutDate(p, k.date);
  const std::string_view date(dateText, static_cast<std::size_t>(p - dateText));
  *p++ = '\t';
  p = PutText(p, account.zones);
  // The piece's reference: the journal then the piece (trimmed, the journal 3 characters at most).
  // Texts of printable ASCII only (most) are their own zones once trimmed.
  const std::string_view piece = TrimmedView(l.piece.View());
  if (journal.plain && Plain<6>(l.piece.c.data())) {
    p = PutText(PutText(p, journal.code), piece);
  } else {
    char text[16];
    const char* end = PutText(PutText(text, journal.code), piece);
    p = PutZone(p, std::string_view(text, static_cast<std::size_t>(end - text)));
  }
  *p++ = '\t';
  p = PutText(p, date);
  *p++ = '\t';
  // The line's label after its standard label, or the standard label alone; no label at all:
  // the account's name.
  const std::string_view label = TrimmedView(l.label.View());
  const bool plainLabel = Plain<25>(l.label.c.data());
  std::size_t length = label.size();
  if (l.labelCode != ' ') {
    const auto code = static_cast<unsigned char>(l.labelCode);
    const std::string& standard = labels_[code];
    if (label.empty()) {
      p = PutText(p, labelZones_[code]);
      length = standard.size();
    } else if (plainLabel && plainLabels_[code]) {
      p = PutText(p, standard);
      *p++ = '-';
      p = PutText(p, label);
    } else {
      char joined[256];
      if (standard.size() + 1 + label.size() <= sizeof joined) {
        char* e = PutText(joined, standard);
        *e++ = '-';
        e = PutText(e, label);
        p = PutZone(p, std::string_view(joined, static_cast<std::size_t>(e - joined)));
      } else {
        p = PutZone(p, standard + "-" + std::string(label));
      }
    }
  } else {
    p = plainLabel ? PutText(p, label) : PutZone(p, label);
  }
  if (length == 0) p = PutText(p, account.name);
  *p++ = '\t';
  p = PutAmount(p, k.amount > 0 ? k.amount : 0);
  *p++ = '\t';
  p = PutAmount(p, k.amount < 0 ? -k.amount : 0);
  *p++ = '\t';
  if (!l.letter.Blank()) {
    p = Plain<4>(l.letter.c.data()) ? PutText(p, TrimmedView(l.letter.View())) : PutZone(p, l.letter.View());
    *p++ = '\t';
    p = PutDate(p, l.letterDate);
  } else {
    *p++ = '\t';
  }
  *p++ = '\t';
  p = PutDate(p, k.validation);
  return PutText(p, "\t\t\r\n");
}

// One build of the rows: the tables read, the lines and their letters' dates, the entries made
// and ordered, the rows placed. Its steps in the order Build calls them.
class FecBuild {
 public:
  FecBuild(const CodeLists& codes, const ChartList& chart, const FecContext& context, FecCheck& check, FecRows& rows)
      : codes_(codes), chart_(chart), check_(check), rows_(rows) {
    yearEnd_ = dates_.Of(context.yearEnd);
    opening_ = context.openingJournal;
    opening_.resize(3, ' ');
  }

  bool ReadLines(const FecTables& tables, std::string* message);
  void NameDraftMonths();
  void GiveLetterDates();
  void MakeEntries();
  void SortEntries();
  void PlaceRows();
  void BoundRows();

 private:
  std::string NameZone(const std::string& code);
  std::uint32_t AccountOf(const EntryLine& l);
  void FindLabel(char c);
  void DraftRecord(const Fixed<3>& journal, const Fixed<4>& month);
  void AddLine(const EntryLine& l, unsigned records);
  void CheckEntry(const char* head, long long balance, bool severalDates, bool severalValidations);
  std::uint32_t JournalOf(const Entry& e);

  const CodeLists& codes_;
  const ChartList& chart_;
  FecCheck& check_;
  FecRows& rows_;
  DateNumbers dates_, validations_;
  std::uint32_t yearEnd_ = 0;
  std::string opening_;
  // What the rows write of each account, found once.
  KeyIndex accounts_;
  std::vector<std::uint64_t> accountCodes_;  // packed, by index in rows_.accounts_
  std::array<bool, 256> labelFound_{};
  std::vector<bool> withoutCollective_;  // by place: a line whose account has no collective
  LargeVector<LetterDate> letterDates_;
  std::vector<std::uint64_t> draftMonths_;
  LargeVector<std::uint32_t> order_;  // the keys' places in entry order
  LargeVector<Entry> entries_;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> journals_;  // the journal as stored (packed), its index
};

std::string FecBuild::NameZone(const std::string& code) {
  const ChartEntry* a = chart_.Find(code);
  std::string name = a != nullptr ? Trimmed(a->name) : "";
  if (name.empty()) {
    check_.missingAccounts.insert(Trimmed(code));
    name = Trimmed(code);
  }
  return FecZone(name);
}

std::uint32_t FecBuild::AccountOf(const EntryLine& l) {
  bool added = false;
  const std::uint64_t code = Packed(l.account.c.data(), 8);
  const std::uint32_t index = accounts_.FindOrAdd(code, static_cast<std::uint32_t>(rows_.accounts_.size()), &added);
  if (!added) return index;
  accountCodes_.push_back(code);
  FecAccountZones& z = rows_.accounts_.emplace_back();
  const std::string account = l.account.Str();
  std::string general = account;
  const bool auxiliary = IsAuxiliaryAccount(account);
  if (auxiliary) {
    general = codes_.CollectiveAccountOf(account[0]);
    if (general.empty()) {
      z.withoutCollective = true;
      return index;
    }
  }
  const std::string generalName = NameZone(general);
  z.zones = FecZone(general) + "\t" + generalName + "\t";
  if (auxiliary) {
    z.name = NameZone(account);
    z.zones += FecZone(account) + "\t" + z.name + "\t";
  } else {
    z.name = generalName;
    z.zones += "\t\t";
  }
  return index;
}

void FecBuild::FindLabel(char c) {
  const auto code = static_cast<unsigned char>(c);
  if (c == ' ' || labelFound_[code]) return;
  labelFound_[code] = true;
  const std::string key(1, c);
  auto t = codes_.Labels().find(key);
  std::string standard = t != codes_.Labels().end() ? t->second : "";
  if (t == codes_.Labels().end() || standard.empty()) {
    check_.missingLabels.insert(key);
    standard = key;
  }
  rows_.labels_[code] = standard;
  rows_.labelZones_[code] = FecZone(standard);
  rows_.plainLabels_[code] = Plain(standard) && TrimmedView(standard).size() == standard.size();
}

void FecBuild::DraftRecord(const Fixed<3>& journal, const Fixed<4>& month) {
  char text[7];
  std::memcpy(text, journal.c.data(), 3);
  std::memcpy(text + 3, month.c.data(), 4);
  const std::uint64_t key = Packed(text, 7);
  if (draftMonths_.empty() || draftMonths_.back() != key) draftMonths_.push_back(key);
}

// A closed line, once for every record leading to it: its key and what its row writes; the
// date of its letter; a line without an amount only counted.
void FecBuild::AddLine(const EntryLine& l, unsigned records) {
  LargeVector<LineKey>& keys = rows_.keys_;
  LargeVector<FecRows::Line>& lines = rows_.lines_;
  const std::uint32_t date = dates_.Of(l.month, l.day);
  if (!l.letterE.Blank()) {
    const LetterDate letter{Packed(l.account.c.data(), 8), LetterOf(l.letterE), date};
    letterDates_.insert(letterDates_.end(), records, letter);
  }
  if (l.cents[1] == 0) {
    check_.zeroLines += records;
    return;
  }
  LineKey key = KeyOf(l, static_cast<std::uint32_t>(lines.size()));
  key.amount = l.sense == 'D' ? l.cents[1] : -l.cents[1];
  key.date = date;
  key.validation = l.validation.Blank() ? yearEnd_ : validations_.Of(l.validation.View());
  const std::uint32_t account = AccountOf(l);
  const bool excluded = rows_.accounts_[account].withoutCollective;
  if (excluded)
    check_.lettersWithoutCollective.insert(l.account.c[0]);
  else
    FindLabel(l.labelCode.c[0]);
  for (unsigned r = 0; r < records; ++r) {
    key.last = (key.last & ~std::uint64_t{0xFFFFFFFF}) | lines.size();
    keys.push_back(key);
    // Made where it is kept (not copied there from a line made aside).
    FecRows::Line& line = lines.emplace_back();
    line.account = account;
    line.letterDate = 0;
    line.label = l.label;
    line.piece = l.piece;
    line.letter = l.letterE;
    line.labelCode = l.labelCode.c[0];
    withoutCollective_.push_back(excluded);
  }
}

// The closed general lines with an amount, and the letters' dates, from the live sort records
// (each line once for every record leading to it); the draft's journal-months (journal and
// month packed) and the lines whose amount does not read are only named.
bool FecBuild::ReadLines(const FecTables& tables, std::string* message) {
  ClosedGeneralWalk walk;
  walk.start = [this](std::size_t count) {
    rows_.keys_.reserve(count);
    rows_.lines_.reserve(count);
  };
  walk.draftRecord = [this](const Fixed<3>& journal, const Fixed<4>& month) { DraftRecord(journal, month); };
  walk.broken = [this](std::uint32_t physical) { check_.brokenRecords.insert(physical); };
  walk.line = [this](const EntryLine& l, std::uint32_t, unsigned records) { AddLine(l, records); };
  walk.unreadable = [this](const EntryLine& l, std::uint32_t record) {
    check_.unreadable.push_back({LigneTri::kClosed, record, l.piece.Str(), l.account.Str()});
  };
  return ReadClosedGeneralLines(tables.c60, tables.c50, tables.c40, walk, message);
}

void FecBuild::NameDraftMonths() {
  std::sort(draftMonths_.begin(), draftMonths_.end());
  draftMonths_.erase(std::unique(draftMonths_.begin(), draftMonths_.end()), draftMonths_.end());
  for (std::uint64_t key : draftMonths_) {
    char text[8];
    for (int i = 7; i >= 0; --i, key >>= 8) text[i] = static_cast<char>(key & 0xFF);
    check_.draftMonths.insert(std::string(text, 3) + " " + MonthText(std::string(text + 3, 4)));
  }
}

// The latest date of each account's letter (an invalid date the earliest), given to its lines.
void FecBuild::GiveLetterDates() {
  std::sort(letterDates_.begin(), letterDates_.end());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < letterDates_.size(); ++i)
    if (i + 1 == letterDates_.size() || !letterDates_[i + 1].SameKey(letterDates_[i])) letterDates_[kept++] = letterDates_[i];
  letterDates_.resize(kept);
  for (FecRows::Line& l : rows_.lines_) {
    if (l.letter.Blank()) continue;
    const LetterDate key{accountCodes_[l.account], LetterOf(l.letter), 0};
    auto found = std::lower_bound(letterDates_.begin(), letterDates_.end(), key);
    if (found != letterDates_.end() && found->SameKey(key)) l.letterDate = found->date;
  }
  letterDates_ = {};
}

// What the check says of an entry that does not balance or whose lines differ in their dates.
void FecBuild::CheckEntry(const char* head, long long balance, bool severalDates, bool severalValidations) {
  if (balance == 0 && !severalDates && !severalValidations) return;
  const std::string name = std::string(TrimmedView(std::string_view(head, 3))) + " " +
                           std::string(TrimmedView(std::string_view(head + 7, 6))) + " (" +
                           MonthText(std::string(head + 3, 4)) + ")";
  if (balance != 0) check_.unbalancedPieces.insert(name);
  if (severalDates) check_.severalDates.insert(name);
  if (severalValidations) check_.severalValidations.insert(name);
}

// The entries: the lines in entry order, each entry's lines by number then place; the dates and
// the balance of each.
// (The keys stay in C40's order, as the lines: `order_` names them in entry order.)
void FecBuild::MakeEntries() {
  const LargeVector<LineKey>& keys = rows_.keys_;
  order_ = OrderByGroups(keys, [](const LineKey& k) { return k.entry >> 8; }, std::less<LineKey>());
  entries_.reserve(keys.size());  // room for the most: the pages not used are never touched
  for (std::size_t i = 0; i < keys.size();) {
    Entry e;
    e.first = static_cast<std::uint32_t>(i);
    const LineKey first = keys[order_[i]];
    char head[16] = {};  // journal (3), month (4), piece (6)
    EntryText(first, head);
    e.opening = std::string_view(head, 3) == opening_;
    bool severalDates = false, severalValidations = false;
    long long balance = 0;
    for (; i < keys.size() && keys[order_[i]].SameEntry(first); ++i) {
      if (i + 16 < keys.size()) __builtin_prefetch(&keys[order_[i + 16]]);  // the keys read out of their order
      const LineKey& l = keys[order_[i]];
      if (i == e.first) {
        e.date = l.date;
        e.validation = l.validation;
      }
      severalDates = severalDates || l.date != e.date;
      severalValidations = severalValidations || l.validation != e.validation;
      e.date = std::min(e.date, l.date);
      e.validation = std::min(e.validation, l.validation);
      balance += l.amount;
    }
    e.count = static_cast<std::uint32_t>(i - e.first);
    CheckEntry(head, balance, severalDates, severalValidations);
    // Journal, piece and month packed, for the order of the entries.
    char text[16] = {};
    std::memcpy(text, head, 3);
    std::memcpy(text + 3, head + 7, 6);
    std::memcpy(text + 9, head + 3, 4);
    e.name = {Packed(text, 8), Packed(text + 8, 8)};
    entries_.push_back(e);
  }
}

// The opening entries first, then by validation date, date, journal, piece and month.
// (Dates are below 2^27.)
void FecBuild::SortEntries() {
  SortByGroups(
      entries_,
      [](const Entry& e) {
        return (e.opening ? 0 : std::uint64_t{1} << 54) | std::uint64_t{e.validation} << 27 | e.date;
      },
      [](const Entry& a, const Entry& b) {
        if (a.opening != b.opening) return a.opening;
        return std::tie(a.validation, a.date, a.name) < std::tie(b.validation, b.date, b.name);
      });
}

// The index of an entry's journal in rows_.journals_, found once for each journal: from the
// entry's name (its first three bytes), not from its first key, which lies anywhere among the keys.
std::uint32_t FecBuild::JournalOf(const Entry& e) {
  const std::uint64_t journalKey = e.name.first & ~std::uint64_t{0} << 40;
  auto j = std::find_if(journals_.begin(), journals_.end(), [&](const auto& k) { return k.first == journalKey; });
  if (j != journals_.end()) return j->second;
  char head[16] = {};
  EntryText(rows_.keys_[order_[e.first]], head);
  j = journals_.insert(j, {journalKey, static_cast<std::uint32_t>(rows_.journals_.size())});
  const std::string journal(TrimmedView(std::string_view(head, 3)));
  auto code = codes_.Journals().find(journal);
  std::string name = code != codes_.Journals().end() ? code->second.name : "";
  if (name.empty()) {
    check_.missingJournals.insert(journal);
    name = journal;
  }
  rows_.journals_.push_back({journal, FecZone(journal) + "\t" + FecZone(name) + "\t", Plain(journal)});
  return j->second;
}

// The rows in the file's order, numbered by entry; the lines of accounts without a collective
// left out.
void FecBuild::PlaceRows() {
  rows_.rows_.reserve(rows_.lines_.size());
  std::uint32_t number = 0;
  for (const Entry& e : entries_) {
    ++number;
    const std::uint32_t journal = JournalOf(e);
    for (std::uint32_t i = e.first; i < e.first + e.count; ++i)
      if (!withoutCollective_[order_[i]]) rows_.rows_.push_back({order_[i], number, journal});
  }
}

// The most a row's text may take: zones take at most three bytes per byte of their text.
void FecBuild::BoundRows() {
  std::size_t account = 0, journal = 0, standard = 0;
  for (const FecAccountZones& z : rows_.accounts_) account = std::max(account, z.zones.size() + z.name.size());
  for (const auto& z : rows_.journals_) journal = std::max(journal, z.zones.size());
  for (const std::string& t : rows_.labels_) standard = std::max(standard, t.size());
  rows_.rowBound_ = journal + account + 3 * (3 + 6) + 3 * (standard + 1 + 25) + 3 * 4 + 256;
}

bool FecExport::Build(const FecTables& tables, const CodeLists& codes, const ChartList& chart,
                      const FecContext& context, std::string* message) {
  check_ = FecCheck{};
  rows_ = FecRows{};
  const std::string refusal = CheckSirenForFec(context.siren);
  if (!refusal.empty()) {
    if (message != nullptr) *message = refusal;
    return false;
  }
  FecBuild build(codes, chart, context, check_, rows_);
  if (!build.ReadLines(tables, message)) {
    check_ = FecCheck{};
    rows_ = FecRows{};
    return false;
  }
  build.NameDraftMonths();
  build.GiveLetterDates();
  build.MakeEntries();
  build.SortEntries();
  build.PlaceRows();
  build.BoundRows();
  return true;
}

std::string FecExport::Content() const {
  std::string out = FecRows::Header();
  for (std::size_t i = 0; i < rows_.size(); ++i) rows_.AppendRow(out, i);
  return out;
}

bool FecExport::Write(const std::string& path, std::string* message, std::size_t pieceBytes) const {
  // Never written over a file of a dossier or of the program.
  const std::string refusal = WriteTargetRefusal(path);
  if (!refusal.empty()) {
    if (message != nullptr) *message = refusal;
    return false;
  }
  // The rows made a piece at a time into one buffer, written as each piece fills. The buffer
  // begins on a page and each piece but the last is given in whole pages (the bytes past them
  // carried to the next piece), so that the file goes to the disk without passing through the
  // file cache: written once, not read back.
  constexpr std::size_t kPage = platform::kPageAlignment;
  const std::size_t kPiece = (std::max<std::size_t>(pieceBytes, 1) + kPage - 1) / kPage * kPage;
  const std::string& header = FecRows::Header();
  const std::size_t room = kPiece + kPage + std::max(header.size(), rows_.rowBound_);
  struct Free {
    void operator()(char* p) const { ::operator delete[](p, std::align_val_t{kPage}); }
  };
  const std::unique_ptr<char[], Free> buffer(new (std::align_val_t{kPage}) char[room]);
  std::size_t next = 0, carried = 0, carriedAt = 0;
  bool first = true;
  const bool written = platform::WriteFileAtomic(
      path,
      [&](std::string&, const char*& data, std::size_t& size) {
        char* const start = buffer.get();
        char* p = start;
        if (carried != 0) {  // what the last piece left past its pages comes first
          std::memmove(start, start + carriedAt, carried);
          p += carried;
          carried = 0;
        } else if (!first && next >= rows_.size()) {
          return false;
        }
        if (first) p = PutText(p, header);
        first = false;
        while (next < rows_.size() && static_cast<std::size_t>(p - start) < kPiece) p = rows_.PutRow(p, next++);
        const auto filled = static_cast<std::size_t>(p - start);
        const std::size_t whole = next < rows_.size() ? filled / kPage * kPage : filled;
        carried = filled - whole;
        carriedAt = whole;
        data = start;
        size = whole;
        return true;
      },
      true);
  if (written) return true;
  if (message != nullptr) *message = FillPlaceholder(LoadStr(kMsgNotWritten), path);
  return false;
}

}  // namespace balances
