#include "data/books_write_permit.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <utility>

#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_results.h"
#include "data/table_scan.h"
#include "data/table_structures.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"

namespace {

// The texts shown here, by their ids in the string table: the refusal of a total's field, of
// another write (what it was), the writes, the log line.
constexpr int kMsgTotalRefused = 37700;
constexpr int kMsgWriteRefused = 37701;
constexpr int kWriteRecord = 37702;
constexpr int kWriteAppend = 37703;
constexpr int kWriteDelete = 37704;
constexpr int kWriteRecall = 37705;
constexpr int kWriteEmpty = 37706;
constexpr int kWritePack = 37707;
constexpr int kLogWriteRefused = 37708;

struct Permits {
  std::mutex lock;
  std::vector<const BooksWritePermit*> living;  // outermost first
};
Permits& All() {
  static Permits permits;
  return permits;
}

std::atomic<BooksWriteRefusedHook> g_hook{nullptr};

// A journal-month header's totals: the debit and the credit, 14 characters each, at the head of
// GZONE1 (francs) and GZONE2 (euros).
constexpr std::uint16_t kHeaderTotalsWidth = 28;
constexpr char kHeaderKind = 'C';

void SayRefused(const BooksWriteRefusal& refusal) {
  WriteLog(FillPlaceholder(LoadStr(kLogWriteRefused), BooksWriteRefusalText(refusal)));
  if (BooksWriteRefusedHook hook = g_hook.load()) hook(refusal);
}

bool Refuse(Table& table, const BooksWriteRefusal& refusal) {
  table.result = kResultBooksWriteRefused;
  SayRefused(refusal);
  return true;
}

const char* FieldNameOf(const Table& table, int field) {
  const auto& fields = table.Engine().logicalFields;
  return field >= 1 && static_cast<std::size_t>(field) <= fields.size() ? fields[static_cast<std::size_t>(field - 1)].szName
                                                                         : "";
}

// Whether a record (delete mark first) of a table of totals holds totals: every record of C20 and
// C30, a journal-month header of C10.
bool HoldsTotals(const BooksGuard& guard, const std::uint8_t* record) {
  return guard.kindOffset < 0 || record[guard.kindOffset] == static_cast<std::uint8_t>(kHeaderKind);
}

// A total whose text says an amount other than zero (its digits, or the stars of a total too large).
bool NonZero(const std::uint8_t* text, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    if ((text[i] >= '1' && text[i] <= '9') || text[i] == '*') return true;
  return false;
}

// The first total of `record` that is not zero; null when none is.
const BooksGuard::Total* TotalHeld(const BooksGuard& guard, const std::uint8_t* record, std::size_t length) {
  if (!HoldsTotals(guard, record)) return nullptr;
  for (const BooksGuard::Total& t : guard.totals)
    if (t.offset + t.width <= length && NonZero(record + t.offset, t.width)) return &t;
  return nullptr;
}

// The current record as stored; false when it cannot be read (the write is then left to the engine,
// which meets the same file).
bool StoredCurrent(Table& table, std::vector<std::uint8_t>& scratch, const std::uint8_t** record) {
  dbase::RECProps props;
  if (dbase::DbiGetRecord(table.Engine().cursor, dbase::dbiNOLOCK, nullptr, &props) != dbase::DBIERR_NONE) return false;
  return props.iPhyRecNum != 0 && ReadStoredRecord(table, props.iPhyRecNum, scratch, record) == kResultOk;
}

int WriteText(BooksWrite write) {
  switch (write) {
    case BooksWrite::Field:
    case BooksWrite::Record: return kWriteRecord;
    case BooksWrite::Append: return kWriteAppend;
    case BooksWrite::Delete: return kWriteDelete;
    case BooksWrite::Recall: return kWriteRecall;
    case BooksWrite::Empty: return kWriteEmpty;
    case BooksWrite::Pack: return kWritePack;
  }
  return kWriteRecord;
}

}  // namespace

std::atomic<int> BooksWritePermit::count_{0};

BooksWritePermit::BooksWritePermit(std::string name) : name_(std::move(name)) {
  Permits& all = All();
  const std::lock_guard<std::mutex> held(all.lock);
  all.living.push_back(this);
  count_.fetch_add(1, std::memory_order_relaxed);
}

BooksWritePermit::~BooksWritePermit() {
  Permits& all = All();
  const std::lock_guard<std::mutex> held(all.lock);
  all.living.erase(std::remove(all.living.begin(), all.living.end(), this), all.living.end());
  count_.fetch_sub(1, std::memory_order_relaxed);
}

std::vector<std::string> BooksWritePermit::LivingNames() {
  Permits& all = All();
  const std::lock_guard<std::mutex> held(all.lock);
  std::vector<std::string> names;
  names.reserve(all.living.size());
  for (const BooksWritePermit* permit : all.living) names.push_back(permit->name());
  return names;
}

std::string BooksWriteRefusalText(const BooksWriteRefusal& refusal) {
  if (refusal.total && !refusal.field.empty())
    return FillPlaceholders(LoadStr(kMsgTotalRefused), {refusal.field, refusal.file});
  return FillPlaceholders(LoadStr(kMsgWriteRefused), {LoadStr(WriteText(refusal.write)), refusal.file});
}

BooksWriteRefusedHook SetBooksWriteRefusedHook(BooksWriteRefusedHook hook) { return g_hook.exchange(hook); }

namespace tablelayer {

void GuardBooks(Table& table) {
  BooksGuard& guard = table.Engine().books;
  guard = BooksGuard{};
  static constexpr const char* kHeaderTotals[] = {"GZONE1", "GZONE2"};
  static constexpr const char* kAccountTotals[] = {"CDEBITF", "CDEBITE", "CCREDITF", "CCREDITE"};
  static constexpr const char* kSectionTotals[] = {"ADEBITF", "ADEBITE", "ACREDITF", "ACREDITE"};
  std::vector<const char*> names;
  switch (TableKindOfFileName(table.tablePath)) {
    case TableKind::C40:
    case TableKind::C50:
    case TableKind::C60:
      guard.kind = BooksGuard::Kind::kLines;
      return;
    case TableKind::C10:
      names.assign(std::begin(kHeaderTotals), std::end(kHeaderTotals));
      if (const int kind = table.FieldPos("GCLE"); kind != 0) guard.kindOffset = table.Layout(kind).offset;
      if (guard.kindOffset < 0) return;
      break;
    case TableKind::C20:
      names.assign(std::begin(kAccountTotals), std::end(kAccountTotals));
      break;
    case TableKind::C30:
      names.assign(std::begin(kSectionTotals), std::end(kSectionTotals));
      break;
    default:
      return;
  }
  const bool header = guard.kindOffset >= 0;
  for (const char* name : names) {
    const int field = table.FieldPos(name);
    if (field == 0) continue;
    const FieldLayout& at = table.Layout(field);
    const int width = header ? std::min<int>(at.width, kHeaderTotalsWidth) : at.width;
    if (width > 0) guard.totals.push_back({at.offset, static_cast<std::uint16_t>(width), field});
  }
  if (!guard.totals.empty()) guard.kind = BooksGuard::Kind::kTotals;
}

bool BooksWriteRefusedHere(Table& table, BooksWrite write, int field, const std::uint8_t* records,
                           std::uint32_t count) {
  const BooksGuard& guard = table.Engine().books;
  BooksWriteRefusal refusal{table.tablePath, "", write, false};
  if (guard.kind == BooksGuard::Kind::kLines) {
    refusal.field = FieldNameOf(table, field);
    return Refuse(table, refusal);
  }
  if (guard.kind != BooksGuard::Kind::kTotals) return false;
  const std::size_t length = table.RecordLength();
  auto refuseTotal = [&](const BooksGuard::Total& total) {
    refusal.field = FieldNameOf(table, total.field);
    refusal.total = true;
    return Refuse(table, refusal);
  };
  switch (write) {
    case BooksWrite::Empty:
    case BooksWrite::Pack:
    case BooksWrite::Delete:
    case BooksWrite::Recall:
      // A delete mark, its removal, a pack or the table emptied change no total's value: the master data's
      // own (an account cancelled at zero, the rebuild's headers without a line).
      return false;
    case BooksWrite::Append:
      for (std::uint32_t i = 0; i < count; ++i)
        if (const BooksGuard::Total* total = TotalHeld(guard, records + std::size_t{i} * length, length))
          return refuseTotal(*total);
      return false;
    case BooksWrite::Field:
    case BooksWrite::Record: {
      std::vector<std::uint8_t> scratch;
      const std::uint8_t* stored = nullptr;
      if (!StoredCurrent(table, scratch, &stored)) return false;
      const std::uint8_t* written = table.recordBuffer.data();
      if (!HoldsTotals(guard, stored) && !HoldsTotals(guard, written)) return false;
      for (const BooksGuard::Total& total : guard.totals)
        if (total.offset + total.width <= length &&
            std::memcmp(stored + total.offset, written + total.offset, total.width) != 0)
          return refuseTotal(total);
      return false;
    }
  }
  return false;
}

std::uint16_t ModifyCurrentRecord(Table& table, int field) {
  if (BooksWriteRefused(table, field != 0 ? BooksWrite::Field : BooksWrite::Record, field)) return table.result;
  table.result = dbase::DbiModifyRecord(table.Engine().cursor, table.recordBuffer.data(), false);
  return table.result;
}

}  // namespace tablelayer
