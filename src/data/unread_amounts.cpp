#include "unread_amounts.h"

#include <iterator>
#include <utility>

#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_structures.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace {

// The export's refusal and the printout's warning around the list of what did not read, and the
// line of the amounts whose record the run did not name.
constexpr int kMsgUnreadableFileNotWritten = 34700;
constexpr int kMsgUnreadableCountedAsZero = 32209;
constexpr int kStrUnnamedAmounts = 34740;  // "%s montant(s) ..."
// A run or a change of lines refused before its first write, around the same list.
constexpr int kMsgUnreadableNothingChanged = 38400;
// A change of lines refused over a total that does not read, around the same list.
constexpr int kMsgUnreadableTotalNothingChanged = 39200;
// A run that met them after its marker was written, undone at its end, around the same list.
constexpr int kMsgUnreadableRunUndone = 38450;
// The same two over amounts that are not all lines' (an account's figure, a record left unnamed).
constexpr int kMsgUnreadableAmountsNothingChanged = 39120;
constexpr int kMsgUnreadableAmountsRunUndone = 39121;

thread_local UnreadAmounts* watching = nullptr;
// The watch of the run under its marker, if any: noted into beside the innermost watch.
thread_local UnreadAmounts* runWatching = nullptr;

// The watches living on this thread, in the order of their making, each by its owner and what it
// gathers into: a watch that ends leaves its own place, wherever it stands, and the innermost one
// left gathers from then on. Two runs' watches that end in another order than their making (a
// run over two dossiers that ends its own marker first) never leave the thread noting into a
// watch that is gone.
struct Watches {
  std::vector<std::pair<const void*, UnreadAmounts*>> living;
  void Push(const void* owner, UnreadAmounts* into, UnreadAmounts*& innermost) {
    living.emplace_back(owner, into);
    innermost = into;
  }
  void Leave(const void* owner, UnreadAmounts*& innermost) {
    for (auto it = living.rbegin(); it != living.rend(); ++it)
      if (it->first == owner) {
        living.erase(std::next(it).base());
        break;
      }
    innermost = living.empty() ? nullptr : living.back().second;
  }
};
thread_local Watches watches;
thread_local Watches runWatches;

// The text of a character field of the record's bytes, cut at a NUL byte as the table reads it.
std::string TextOf(Table& table, const char* name, const std::uint8_t* record) {
  const int field = table.FieldPos(name);
  return field == 0 ? std::string() : FieldTextOf(table, field, record);
}

// A line noted into `into`, once.
void NoteInto(UnreadAmounts* into, const UnreadableAmountLine& line) {
  if (into == nullptr) return;
  for (const UnreadableAmountLine& l : into->lines)
    if (l.file == line.file && l.recno == line.recno && (l.file != UnreadableAmountLine::kOtherRecord || l.piece == line.piece))
      return;
  into->lines.push_back(line);
}

// Each run's watch living on this thread, down to one suspended (a run working over such amounts),
// that is not the innermost watch itself: a reading before a marker and the run it stands in both
// see what is read.
template <typename Each>
void EachRunWatchBeside(Each each) {
  for (auto it = runWatches.living.rbegin(); it != runWatches.living.rend() && it->second != nullptr; ++it)
    if (it->second != watching) each(it->second);
}

}  // namespace

UnreadAmountWatch::UnreadAmountWatch(UnreadAmounts& into) { watches.Push(this, &into, watching); }

UnreadAmountWatch::~UnreadAmountWatch() { watches.Leave(this, watching); }

RunUnreadAmountWatch::RunUnreadAmountWatch(UnreadAmounts* into) { runWatches.Push(this, into, runWatching); }

RunUnreadAmountWatch::~RunUnreadAmountWatch() { runWatches.Leave(this, runWatching); }

bool WatchingUnreadAmounts() { return watching != nullptr || runWatching != nullptr; }

const UnreadAmounts* WatchedUnreadAmounts() { return watching; }

const UnreadAmounts* RunWatchedUnreadAmounts() { return runWatching; }

void NoteUnreadAmount(const UnreadableAmountLine& line) {
  NoteInto(watching, line);
  EachRunWatchBeside([&line](UnreadAmounts* run) { NoteInto(run, line); });
}

void NoteUnreadAmount(Table& table, int field, const std::uint8_t* record, std::uint32_t recno) {
  if (!WatchingUnreadAmounts()) return;
  if (recno == 0 || record == nullptr) {
    NoteUnnamedUnreadAmount();
    return;
  }
  NoteUnreadAmount(UnreadRecordLine(table, field, record, recno));
}

void NoteUnnamedUnreadAmount() {
  if (watching != nullptr) ++watching->unnamed;
  EachRunWatchBeside([](UnreadAmounts* run) { ++run->unnamed; });
}

void NoteUnreadAmounts(const UnreadAmounts& met) {
  // Another watch's finds (an owner's, read before its run), given to this thread's watches.
  auto into = [&met](UnreadAmounts* to) {
    if (to == nullptr || to == &met) return;
    for (const UnreadableAmountLine& line : met.lines) NoteInto(to, line);
    to->unnamed += met.unnamed;
  };
  into(watching);
  EachRunWatchBeside(into);
}

void NoteUnreadAmountsSaid() {
  if (watching != nullptr) watching->said = true;
}

bool UnreadAmountsSaid() { return watching != nullptr && watching->said; }

UnreadableAmountLine UnreadRecordLine(Table& table, int field, const std::uint8_t* record, std::uint32_t recno) {
  const std::size_t slash = table.tablePath.rfind('/');
  const std::string file = slash == std::string::npos ? table.tablePath : table.tablePath.substr(slash + 1);
  UnreadableAmountLine line;
  line.recno = recno;
  switch (TableKindOfFileName(file)) {
    case TableKind::C50:
      line.file = LigneTri::kDraft;
      line.piece = TextOf(table, "BPIECE", record);
      line.account = TextOf(table, "BCODE", record);
      return line;
    case TableKind::C40:
      line.file = LigneTri::kClosed;
      line.piece = TextOf(table, "DPIECE", record);
      line.account = TextOf(table, "DCODE", record);
      return line;
    case TableKind::C20:
    case TableKind::C30:
      line.file = TableKindOfFileName(file) == TableKind::C20 ? UnreadableAmountLine::kAccountRecord
                                                               : UnreadableAmountLine::kSectionRecord;
      line.account = FieldTextOf(table, 1, record);
      return line;
    default:
      line.file = UnreadableAmountLine::kOtherRecord;
      line.piece = UpperCp1252(file);
      line.account = field >= 1 && field <= table.FieldCount() ? table.FieldName(field) : "";
      return line;
  }
}

bool IsUnreadRecordOf(const UnreadableAmountLine& line, Table& table, std::uint32_t recno) {
  if (line.recno != recno || recno == 0) return false;
  const std::size_t slash = table.tablePath.rfind('/');
  const std::string file = slash == std::string::npos ? table.tablePath : table.tablePath.substr(slash + 1);
  switch (TableKindOfFileName(file)) {
    case TableKind::C50: return line.file == LigneTri::kDraft;
    case TableKind::C40: return line.file == LigneTri::kClosed;
    case TableKind::C20: return line.file == UnreadableAmountLine::kAccountRecord;
    case TableKind::C30: return line.file == UnreadableAmountLine::kSectionRecord;
    default: return line.file == UnreadableAmountLine::kOtherRecord && line.piece == UpperCp1252(file);
  }
}

namespace {

// The list of the amounts met: the lines named, or, when none is, how many amounts were read without
// their record.
std::string MetLinesText(const UnreadAmounts& met) {
  if (!met.lines.empty()) return UnreadableAmountLinesText(met.lines);
  return "   " + FillPlaceholder(LoadStr(kStrUnnamedAmounts), std::to_string(met.unnamed)) + "\n";
}

// A message around that list, after the largest amount a line takes.
std::string AroundUnread(int message, const UnreadAmounts& met) {
  if (met.lines.empty() && met.unnamed == 0) return "";
  return FillPlaceholders(LoadStr(message), {LargestLineText(), MetLinesText(met)});
}

// Whether every amount met is a line's (of the draft or of the closed months), named.
bool OnlyLines(const UnreadAmounts& met) {
  if (met.unnamed != 0) return false;
  for (const UnreadableAmountLine& line : met.lines)
    if (line.file != LigneTri::kDraft && line.file != LigneTri::kClosed) return false;
  return true;
}

}  // namespace

std::string UnreadAmountsFileMessage(const UnreadAmounts& met) { return AroundUnread(kMsgUnreadableFileNotWritten, met); }

std::string UnreadAmountsMessage(const UnreadAmounts& met) { return AroundUnread(kMsgUnreadableCountedAsZero, met); }

std::string UnreadAmountsLinesText(const UnreadAmounts& met) { return met.Any() ? MetLinesText(met) : ""; }

std::string UnreadAmountsRefusal(const UnreadAmounts& met) {
  if (!met.Any()) return "";
  return FillPlaceholder(LoadStr(OnlyLines(met) ? kMsgUnreadableNothingChanged : kMsgUnreadableAmountsNothingChanged),
                         MetLinesText(met));
}

std::string UnreadAmountsChangeRefusal(const UnreadAmounts& met) {
  for (const UnreadableAmountLine& line : met.lines)
    if (line.file == UnreadableAmountLine::kJournalMonthRecord || line.file == UnreadableAmountLine::kAccountRecord ||
        line.file == UnreadableAmountLine::kSectionRecord)
      return FillPlaceholder(LoadStr(kMsgUnreadableTotalNothingChanged), MetLinesText(met));
  return UnreadAmountsRefusal(met);
}

std::string UnreadAmountsRunUndone(const UnreadAmounts& met) {
  if (!met.Any()) return "";
  return FillPlaceholder(LoadStr(OnlyLines(met) ? kMsgUnreadableRunUndone : kMsgUnreadableAmountsRunUndone),
                         MetLinesText(met));
}
