#include "data/session.h"

#include <cstdio>

#include "data/error_report.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

using namespace dbase;

Table* DossierLockTable = nullptr;
Table* TableC10 = nullptr;
Table* TableC20 = nullptr;
Table* TableC30 = nullptr;
Table* TableC40 = nullptr;
Table* TableC50 = nullptr;
Table* TableC60 = nullptr;
Table* TableC70 = nullptr;
Table* TableCE0 = nullptr;
Table* TableCE1 = nullptr;
Table* TableCXX = nullptr;

hDBIDb DbHandle = nullptr;
hDBISes DbSession = 0;
bool DbSessionUp = false;

FieldRingBuffers FieldRing;
std::string PathBuffer;
std::string PathBuffer2;
std::string MemoBuffer;
std::array<std::uint32_t, kFormRecordLockCount> FormRecordLocks{};

EditorLockPair EditorLock;
bool AppendInProgress = false;

namespace {

// The objects in creation (and destruction) order.
Table** const kTables[] = {&DossierLockTable, &TableC10, &TableC20, &TableC30, &TableC40, &TableC50,
                           &TableC60,         &TableC70, &TableCE0, &TableCE1, &TableCXX};

// The texts shown here, by their ids in the string table. The file titles follow the tables
// above from TableC10 on, one id each.
constexpr int kLogIndexDamaged = 22041;
constexpr int kVersionUnknown = 38;
constexpr int kTableTitleFirst = 2246;
constexpr int kTableTitleUnknown = 2256;

}  // namespace

char* FieldRingBuffers::Next(std::size_t room) {
  index = (index + 1) % kSlots;
  std::string& s = buffers[static_cast<std::size_t>(index)];
  if (s.size() < room) s.resize(room);
  s[0] = 0;
  return s.data();
}

std::uint8_t StartDbSession() {
  if (DbiInit(nullptr, 300) != DBIERR_NONE) return 1;
  if (DbiGetCurrSession(&DbSession) != DBIERR_NONE) {
    DbiExit();
    return 3;
  }
  SYSConfig config;
  if (DbiGetSysConfig(&config) != DBIERR_NONE) {
    DbiExit();
    return 4;
  }
  if (DbiOpenDatabase(nullptr, nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, &DbHandle) !=
      DBIERR_NONE) {
    DbHandle = nullptr;
    DbiExit();
    return 6;
  }
  for (Table** t : kTables)
    if (*t == nullptr) *t = new Table();
  FormRecordLocks.fill(0);
  // Damage the engine worked around goes to the log, naming the file for the rebuild.
  DbiDamageHook = [](const char* path, DBIResult code) {
    char text[kDbiMaxMsgLen + 1] = {};
    DbiGetErrorString(code, text);
    WriteLog(FillPlaceholders(LoadStr(kLogIndexDamaged), {DbErrorCaption(code), text, path}));
  };
  // A change the system refused is kept by the runs watching, whatever the caller reads after.
  DbiWriteRefusedHook = [](const char* path, DBIResult code) { RefusalWatch::NoteEngineRefusal(path, code); };
  // So is a read it refused: the run that made it read less than the table holds.
  DbiReadRefusedHook = [](const char* path, DBIResult code) { RefusalWatch::NoteEngineReadRefusal(path, code); };
  DbiUseIdleTime();
  DbSessionUp = true;
  for (std::string& s : FieldRing.buffers) s.assign(FieldRingBuffers::kRoom, '\0');
  FieldRing.index = 0;
  PathBuffer.clear();
  PathBuffer.reserve(256);
  PathBuffer2.clear();
  PathBuffer2.reserve(256);
  MemoBuffer.clear();
  MemoBuffer.reserve(kMemoBufferRoom + 1);
  return MemoBuffer.capacity() > kMemoBufferRoom ? 0 : 7;
}

void StopDbSession() {
  for (Table** t : kTables) {
    delete *t;  // closes its table first
    *t = nullptr;
  }
  if (DbSessionUp) {
    DbiCloseDatabase(&DbHandle);
    DbiExit();
  }
  DbHandle = nullptr;
  DbSessionUp = false;
  AppendInProgress = false;
  EditorLock = EditorLockPair();
  FormRecordLocks.fill(0);
  for (std::string& s : FieldRing.buffers) std::string().swap(s);
  FieldRing.index = 0;
  std::string().swap(PathBuffer);
  std::string().swap(PathBuffer2);
  std::string().swap(MemoBuffer);
}

void CloseAllTables() {
  if (!DbSessionUp) return;
  for (Table* t : {TableC10, TableC20, TableC30, TableC40, TableC50, TableC60, TableC70, TableCE0, TableCE1,
                   TableCXX})
    if (t != nullptr) t->CloseTable(true);
}

const char* DbVersionText() {
  SYSVersion version;
  if (DbiGetSysVersion(&version) != DBIERR_NONE) return RingCopy(tablelayer::Str(kVersionUnknown));
  return AllTrim(FormatNumber(7, 0, false, version.iVersion));
}

const char* TableFileTitle(const Table* table) {
  for (int i = 1; i < 11; ++i)
    if (table != nullptr && *kTables[i] == table) return RingCopy(tablelayer::Str(kTableTitleFirst + i - 1));
  return RingCopy(tablelayer::Str(kTableTitleUnknown));
}

// ---------------------------------------------------------------- helpers

namespace tablelayer {

std::string Str(int id) {
  const std::string* s = resources::FindString(id);
  return s != nullptr ? *s : std::string();
}

std::string Int5(long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%5li", value);
  return text;
}

std::string FieldKey(std::string_view name) {
  std::string key = UpperCp1252(name.substr(0, 10));
  key.resize(10, ' ');
  return key;
}

}  // namespace tablelayer
