#include "data/books_write_permit.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "data/dossier_files.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_results.h"
#include "data/table_scan.h"
#include "data/table_structures.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
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
constexpr int kWriteReplace = 38300;

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
    case BooksWrite::Replace: return kWriteReplace;
  }
  return kWriteRecord;
}

// The folder part of a path ("" for a bare name) and its file name.
std::pair<std::string, std::string> FolderAndName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// The dossier code of a dossier's table file ("c40abc.dbf": "abc", lower case); "" for any other file.
std::string DossierCodeOfFile(const std::string& name) {
  const std::string lower = LowerCp1252(name);
  const std::size_t dot = lower.rfind('.');
  const std::string base = dot == std::string::npos ? lower : lower.substr(0, dot);
  if (base.size() < 4 || base[0] != 'c' || base[1] < '1' || base[1] > '7' || base[2] != '0') return "";
  return base.substr(3);
}

std::string CodeKey(const std::string& code) { return LowerCp1252(Trimmed(code)); }

}  // namespace

namespace {

// The keys of the folders named by their absolute paths, worked out once per dossier (each save
// takes several permits, each asking its folder's key): forgotten when another dossier is set, so
// that a link changed in between is followed again. Only a folder that exists is kept, its key
// then having every link followed.
struct FolderKeys {
  std::mutex lock;
  std::unordered_map<std::string, std::string> known;
};
FolderKeys& KnownFolderKeys() {
  static FolderKeys keys;
  return keys;
}
constexpr std::size_t kMostKnownFolders = 64;

}  // namespace

void ForgetBooksFolderKeys() {
  FolderKeys& keys = KnownFolderKeys();
  const std::lock_guard<std::mutex> held(keys.lock);
  keys.known.clear();
}

std::string BooksFolderKey(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path given(platform::DiskPath(folder.empty() ? std::string(".") : folder));
  FolderKeys& keys = KnownFolderKeys();
  const bool keep = given.is_absolute();
  // One folder, however many slashes end its name, is worked out once.
  std::string asked = folder;
  while (asked.size() > 1 && asked.back() == '/') asked.pop_back();
  if (keep) {
    const std::lock_guard<std::mutex> held(keys.lock);
    if (const auto known = keys.known.find(asked); known != keys.known.end()) return known->second;
  }
  fs::path absolute = fs::absolute(given, ec);
  if (ec) absolute = given;
  fs::path key = fs::canonical(absolute, ec);
  const bool whole = !ec;
  if (!whole) key = fs::weakly_canonical(absolute, ec);
  if (ec) key = absolute.lexically_normal();
  std::string text = key.generic_string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  if (keep && whole) {
    const std::lock_guard<std::mutex> held(keys.lock);
    if (keys.known.size() >= kMostKnownFolders) keys.known.clear();
    keys.known.emplace(asked, text);
  }
  return text;
}

BooksScope BooksScope::OpenDossier() { return {DossierFolder, DossierCode}; }

BooksScope BooksScope::OpenFolder() { return {DossierFolder, ""}; }

BooksScope BooksScope::OfFile(const std::string& path) {
  const auto [folder, name] = FolderAndName(path);
  return {folder, DossierCodeOfFile(name)};
}

std::atomic<int> BooksWritePermit::count_{0};

BooksWritePermit::BooksWritePermit(std::string name, const BooksScope& scope)
    : name_(std::move(name)),
      folderKey_(BooksFolderKey(scope.folder)),
      code_(CodeKey(scope.code)),
      beneath_(scope.beneath) {
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

bool BooksWritePermit::Covers(const std::string& folderKey, const std::string& code) {
  if (!Living()) return false;
  Permits& all = All();
  const std::lock_guard<std::mutex> held(all.lock);
  for (const BooksWritePermit* permit : all.living) {
    const std::string& key = permit->folderKey_;
    const bool folder = folderKey == key || (permit->beneath_ && folderKey.size() > key.size() &&
                                             folderKey.compare(0, key.size(), key) == 0 &&
                                             (key.back() == '/' || folderKey[key.size()] == '/'));
    if (folder && (permit->code_.empty() || permit->code_ == code)) return true;
  }
  return false;
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
  // A dossier's tables only: the program folder's reference tables ("cr50ref") hold no dossier's books.
  const auto [folder, name] = FolderAndName(table.tablePath);
  guard.code = DossierCodeOfFile(name);
  if (guard.code.empty()) return;
  static constexpr const char* kHeaderTotals[] = {"GZONE1", "GZONE2"};
  static constexpr const char* kAccountTotals[] = {"CDEBITF", "CDEBITE", "CCREDITF", "CCREDITE"};
  static constexpr const char* kSectionTotals[] = {"ADEBITF", "ADEBITE", "ACREDITF", "ACREDITE"};
  std::vector<const char*> names;
  switch (TableKindOfFileName(table.tablePath)) {
    case TableKind::C40:
    case TableKind::C50:
    case TableKind::C60:
      guard.kind = BooksGuard::Kind::kLines;
      guard.folderKey = BooksFolderKey(folder);
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
  if (guard.totals.empty()) return;
  guard.kind = BooksGuard::Kind::kTotals;
  guard.folderKey = BooksFolderKey(folder);
}

bool BooksFileReplaceRefused(const std::string& path, bool copy) {
  std::string file = path;
  if (LowerCp1252(FolderAndName(file).second).find('.') == std::string::npos) file += ".dbf";
  const auto [folder, name] = FolderAndName(file);
  const std::string code = DossierCodeOfFile(name);
  if (code.empty()) return false;
  switch (TableKindOfFileName(name)) {
    case TableKind::C10:
    case TableKind::C20:
    case TableKind::C30:
      // Emptied, a table of totals changes no total's value (as Empty); a copy writes the source's.
      if (!copy) return false;
      break;
    case TableKind::C40:
    case TableKind::C50:
    case TableKind::C60: break;
    default: return false;
  }
  // A table made where none stands writes over nothing.
  if (!platform::FileExists(platform::ResolvePath(file))) return false;
  if (BooksWritePermit::Covers(BooksFolderKey(folder), code)) return false;
  SayRefused(BooksWriteRefusal{file, "", BooksWrite::Replace, false});
  return true;
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
    case BooksWrite::Replace:
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
