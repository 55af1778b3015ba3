#include "idapi.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "cursor.h"
#include "record_block.h"
#include "file_layout.h"
#include "fileio.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"

namespace dbase {

struct DbiDatabase {
  int id = 0;
};

void (*DbiSeekMissHook)() = nullptr;

namespace {

struct Session {
  int initCount = 0;
  std::set<DbiCursor*> cursors;
  std::set<DbiDatabase*> databases;
};

Session& S() {
  static Session s;
  return s;
}

bool Valid(hDBICur c) { return c != nullptr && S().cursors.count(c) != 0; }

std::string Text(const char* s) { return s == nullptr ? std::string() : std::string(s); }

bool DriverOk(const char* driver) {
  return driver == nullptr || driver[0] == 0 || strcasecmp(driver, "DBASE") == 0;
}

// The data file's path: ".dbf" added when the name has no extension of that kind.
std::string TablePath(const char* name) {
  std::string p = Text(name);
  if (p.size() < 4 || strcasecmp(p.c_str() + p.size() - 4, ".dbf") != 0) p += ".dbf";
  return p;
}

// True when some open file description holds the table's open lock.
bool TableInUse(const std::string& path) {
  int fd = ::open(platform::DiskPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool busy = OfdConflict(fd, kOpenSentinelByte, 1, F_WRLCK);
  ::close(fd);
  return busy;
}

// Writes a table name into a header field of `width` bytes at `offset`, NUL-padded.
DBIResult PatchName(const std::string& path, off_t offset, std::size_t width, const std::string& name) {
  int fd = -1;
  bool writable = false;
  DBIResult rc = OpenFile(path, true, &fd, &writable);
  if (rc != DBIERR_NONE) return rc;
  std::string field(width, '\0');
  field.replace(0, std::min(width, name.size()), name.substr(0, width));
  rc = writable ? WriteAt(fd, field.data(), width, offset) : DBIERR_OSACCESS;
  ::close(fd);
  return rc;
}

// A write's result; a full disk is noted with the table's folder for the engine's message,
// and every refusal goes to the hook with the table.
DBIResult Written(const DbiCursor* cursor, DBIResult rc) {
  if (rc == DBIERR_DISKFULL) NoteDiskFull(cursor->dbfPath);
  return NoteWriteRefused(cursor->dbfPath, rc);
}

// A rebuild of the cursor's index: its refusal by the system goes to the hook with the index
// file (a full disk noted with its folder), as a write of the table's does.
DBIResult IndexWritten(const DbiCursor* cursor, DBIResult rc) {
  if (rc == DBIERR_DISKFULL) NoteDiskFull(cursor->mdxPath);
  return NoteWriteRefused(cursor->mdxPath, rc);
}

// Runs `work` on a cursor given by the caller, or on the table opened exclusively by name.
template <typename Work>
DBIResult OnExclusive(hDBICur cursor, const char* tableName, Work work) {
  if (cursor != nullptr) {
    if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
    return Written(cursor, work(cursor));
  }
  if (tableName == nullptr || tableName[0] == 0) return DBIERR_INVALIDPARAM;
  DbiCursor c;
  DBIResult rc = c.Open(TablePath(tableName), "", "", false, true, xltFIELD);
  if (rc != DBIERR_NONE) return rc;
  rc = work(&c);
  DBIResult rc2 = c.Close();
  return Written(&c, rc != DBIERR_NONE ? rc : rc2);
}

struct ErrorText {
  DBIResult code;
  const char* text;
};

// cp1252 texts of the engine's codes.
const ErrorText kErrorTexts[] = {
    {DBIERR_NONE, "Op\xE9ration r\xE9ussie"},
    {DBIERR_BOF, "D\xE9" "but de la table"},
    {DBIERR_EOF, "Fin de la table"},
    {DBIERR_NOCURRREC, "Pas d'enregistrement courant"},
    {DBIERR_RECNOTFOUND, "Aucun enregistrement ne commence par cette cl\xE9"},
    {DBIERR_HEADERCORRUPT, "En-t\xEAte de table endommag\xE9"},
    {DBIERR_FILECORRUPT, "Fichier de donn\xE9\x65s endommag\xE9"},
    {DBIERR_MEMOCORRUPT, "Fichier m\xE9mo endommag\xE9 ou absent"},
    {DBIERR_INDEXCORRUPT, "Fichier d'index endommag\xE9 ou absent"},
    {DBIERR_INDEXOUTOFDATE,
     "Mise \xE0 jour d'index interrompue : lancez la reconstruction des fichiers et des index du dossier"},
    {DBIERR_PACKUNKNOWN,
     "Compactage interrompu : ses fichiers de travail ne correspondent pas \xE0 la table, rien n'a \xE9t\xE9 d\xE9plac\xE9"},
    {DBIERR_KEYVIOL, "Violation de cl\xE9"},
    {DBIERR_MINVALERR, "Valeur de champ hors limites"},
    {DBIERR_FIELDVALERR, "Enregistrement invalide"},
    {DBIERR_INVALIDHNDL, "Descripteur de table invalide"},
    {DBIERR_INVALIDPARAM, "Param\xE8tre invalide"},
    {DBIERR_NOTINITIALIZED, "Moteur de base de donn\xE9\x65s non initialis\xE9"},
    {DBIERR_INVALIDEXPR, "Expression d'index invalide"},
    {DBIERR_NOSUCHINDEX, "Index (tag) inexistant"},
    {DBIERR_NOSUCHTABLE, "Table inexistante"},
    {DBIERR_NOTSUPPORTED, "Op\xE9ration impossible sur cette table (lecture seule)"},
    {DBIERR_NEEDEXCLACCESS, "La table doit \xEAtre ouverte en mode exclusif"},
    {DBIERR_LOCKED, "Enregistrement verrouill\xE9 par un autre utilisateur"},
    {DBIERR_TABLEINUSE, "Table utilis\xE9\x65 par un autre poste"},
    {DBIERR_ALREADYLOCKED, "Enregistrement d\xE9j\xE0 verrouill\xE9 par ce curseur"},
    {DBIERR_NOTLOCKED, "Enregistrement non verrouill\xE9"},
    {DBIERR_LOCKTIMEOUT, "Attente abandonn\xE9\x65: un autre poste retient le verrou de "},
    {DBIERR_LOCKLOST, "Verrou d'ouverture perdu: la table n'est plus utilisable"},
    {DBIERR_INDEXFILEERR, "Erreur du fichier d'index s\xE9par\xE9"},
    {DBIERR_OSERROR, "Erreur du syst\xE8me de fichiers"},
    {DBIERR_OSACCESS, "Acc\xE8s refus\xE9"},
    {DBIERR_NOSUCHPATH, "Chemin introuvable"},
    {DBIERR_TOOMANYFILES, "Trop de fichiers ouverts"},
    {DBIERR_FILEEXISTS, "Le fichier existe d\xE9j\xE0"},
    {DBIERR_NOMEMORY, "M\xE9moire insuffisante"},
    {DBIERR_DISKFULL, "Disque plein"},
};

}  // namespace

// ---------------------------------------------------------------- session and database

DBIResult DbiInit(const void*, std::uint32_t) {
  ++S().initCount;
  return DBIERR_NONE;
}

DBIResult DbiExit() {
  Session& s = S();
  if (s.initCount == 0) return DBIERR_NOTINITIALIZED;
  if (--s.initCount > 0) return DBIERR_NONE;
  for (DbiCursor* c : s.cursors) delete c;
  s.cursors.clear();
  for (DbiDatabase* d : s.databases) delete d;
  s.databases.clear();
  return DBIERR_NONE;
}

DBIResult DbiGetCurrSession(hDBISes* session) {
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (session == nullptr) return DBIERR_INVALIDPARAM;
  *session = 1;
  return DBIERR_NONE;
}

DBIResult DbiGetSysConfig(SYSConfig* config) {
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (config == nullptr) return DBIERR_INVALIDPARAM;
  *config = SYSConfig();
  std::snprintf(config->szLangDriver, sizeof config->szLangDriver, "%s", "DBWINWE0");
  return DBIERR_NONE;
}

DBIResult DbiGetSysVersion(SYSVersion* version) {
  if (version == nullptr) return DBIERR_INVALIDPARAM;
  *version = SYSVersion();
  version->iVersion = kDbiVersion;
  version->iIntfLevel = kDbiVersion;
  std::snprintf(version->szVersion, sizeof version->szVersion, "%d.%02d", kDbiVersion / 100, kDbiVersion % 100);
  return DBIERR_NONE;
}

DBIResult DbiUseIdleTime() { return S().initCount == 0 ? DBIERR_NOTINITIALIZED : DBIERR_NONE; }

DBIResult DbiOpenDatabase(const char*, const char*, DBIOpenMode, DBIShareMode, const char*, std::uint16_t,
                          const void*, const void*, hDBIDb* db) {
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (db == nullptr) return DBIERR_INVALIDPARAM;
  *db = new DbiDatabase();
  S().databases.insert(*db);
  return DBIERR_NONE;
}

DBIResult DbiCloseDatabase(hDBIDb* db) {
  if (db == nullptr || S().databases.erase(*db) == 0) return DBIERR_INVALIDHNDL;
  delete *db;
  *db = nullptr;
  return DBIERR_NONE;
}

// ---------------------------------------------------------------- tables and cursors

DBIResult DbiOpenTable(hDBIDb, const char* tableName, const char* driverType, const char* indexName,
                       const char* tagName, std::uint16_t, DBIOpenMode openMode, DBIShareMode shareMode,
                       XLTMode xltMode, bool, const void*, hDBICur* cursor) {
  if (cursor == nullptr) return DBIERR_INVALIDPARAM;
  *cursor = nullptr;
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (tableName == nullptr || tableName[0] == 0) return DBIERR_NOSUCHTABLE;
  if (!DriverOk(driverType)) return DBIERR_INVALIDPARAM;
  auto c = std::make_unique<DbiCursor>();
  DBIResult rc = c->Open(TablePath(tableName), Text(indexName), Text(tagName), openMode == dbiREADONLY,
                         shareMode == dbiOPENEXCL, xltMode);
  // An opening alone may write (a pack finished, a marked index made again): its refusal too.
  if (rc == DBIERR_DISKFULL || rc == DBIERR_OSERROR) NoteWriteRefused(TablePath(tableName), rc);
  if (rc != DBIERR_NONE) return rc;
  // A marked index whose rebuild the system refused leaves the table open for reading, its writes
  // refused: the refusal is passed on all the same, so that a run stopped by it names it.
  if (c->IndexInterrupted()) IndexWritten(c.get(), c->IndexRepairResult());
  *cursor = c.release();
  S().cursors.insert(*cursor);
  return DBIERR_NONE;
}

DBIResult DbiCloseCursor(hDBICur* cursor) {
  if (cursor == nullptr || !Valid(*cursor)) return DBIERR_INVALIDHNDL;
  DBIResult rc = Written(*cursor, (*cursor)->Close());
  S().cursors.erase(*cursor);
  delete *cursor;
  *cursor = nullptr;
  return rc;
}

DBIResult DbiSetShareMode(hDBICur cursor, DBIShareMode shareMode) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->SetShareMode(shareMode == dbiOPENEXCL);
}

void DbiSetLockWait(int milliseconds) { SetLockWaitLimitMs(milliseconds); }

DBIResult DbiGetCursorProps(hDBICur cursor, CURProps* props) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (props == nullptr) return DBIERR_INVALIDPARAM;
  cursor->FillProps(props);
  return DBIERR_NONE;
}

DBIResult DbiGetFieldDescs(hDBICur cursor, FLDDesc* descs) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (descs == nullptr) return DBIERR_INVALIDPARAM;
  cursor->FillDescs(descs);
  return DBIERR_NONE;
}

DBIResult DbiSetProp(hDBICur cursor, std::uint32_t prop, std::uint32_t value) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  switch (prop) {
    case curXLTMODE:
      if (value != xltNONE && value != xltFIELD) return DBIERR_INVALIDPARAM;
      cursor->xlt = static_cast<XLTMode>(value);
      return DBIERR_NONE;
    case curSOFTDELETEON:
      cursor->softDelete = value != 0;
      return DBIERR_NONE;
    default:
      return DBIERR_INVALIDPARAM;
  }
}

DBIResult DbiGetProp(hDBICur cursor, std::uint32_t prop, std::uint32_t* value) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (value == nullptr) return DBIERR_INVALIDPARAM;
  switch (prop) {
    case curXLTMODE:
      *value = cursor->xlt;
      return DBIERR_NONE;
    case curSOFTDELETEON:
      *value = cursor->softDelete ? 1 : 0;
      return DBIERR_NONE;
    default:
      return DBIERR_INVALIDPARAM;
  }
}

DBIResult DbiCreateTable(hDBIDb, const char* tableName, std::uint16_t fieldCount, const FLDCreate* fields,
                         bool overwrite) {
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (tableName == nullptr || tableName[0] == 0 || fields == nullptr || fieldCount == 0)
    return DBIERR_INVALIDPARAM;
  std::string path = TablePath(tableName);
  if (platform::FileExists(path)) {
    if (!overwrite) return DBIERR_FILEEXISTS;
    if (TableInUse(path)) return DBIERR_TABLEINUSE;
  }
  std::vector<DbfFieldSpec> specs;
  bool memo = false;
  for (std::uint16_t i = 0; i < fieldCount; ++i) {
    DbfFieldSpec s;
    s.name.assign(fields[i].szName, strnlen(fields[i].szName, sizeof fields[i].szName));
    s.type = fields[i].cType;
    s.width = fields[i].iWidth;
    s.decimals = fields[i].iDecimals;
    memo = memo || s.type == 'M' || s.type == 'm';
    specs.push_back(s);
  }
  DBIResult rc = DbfFile::Create(path, specs, false);
  if (rc == DBIERR_NONE && memo) rc = DbtFile::Create(WithExtension(path, ".dbt"), BaseName(path));
  return rc;
}

// ---------------------------------------------------------------- navigation

DBIResult DbiSetToBegin(hDBICur cursor) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  cursor->SetToBegin();
  return DBIERR_NONE;
}

DBIResult DbiSetToEnd(hDBICur cursor) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  cursor->SetToEnd();
  return DBIERR_NONE;
}

DBIResult DbiSetToRecordNo(hDBICur cursor, std::uint32_t recno) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->SetToRecordNo(recno);
}

DBIResult DbiSetToKey(hDBICur cursor, DBISearchCond cond, bool, std::uint16_t, std::uint16_t partialLength,
                      const void* key) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (key == nullptr) return DBIERR_INVALIDPARAM;
  const char* k = static_cast<const char*>(key);
  std::size_t n = partialLength != 0 ? strnlen(k, partialLength) : std::strlen(k);
  const DBIResult rc = cursor->SetToKey(std::string(k, n), cond);
  if (rc == DBIERR_RECNOTFOUND && DbiSeekMissHook != nullptr) DbiSeekMissHook();
  return rc;
}

DBIResult DbiGetNextRecord(hDBICur cursor, DBILockType lock, std::uint8_t* recBuf, RECProps* recProps) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->Next(lock, recBuf, recProps);
}

DBIResult DbiGetPriorRecord(hDBICur cursor, DBILockType lock, std::uint8_t* recBuf, RECProps* recProps) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->Prior(lock, recBuf, recProps);
}

DBIResult DbiGetRecord(hDBICur cursor, DBILockType lock, std::uint8_t* recBuf, RECProps* recProps) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->Current(lock, recBuf, recProps);
}

DBIResult DbiGetRecordCount(hDBICur cursor, std::uint32_t* count) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (count == nullptr) return DBIERR_INVALIDPARAM;
  return cursor->RecordCount(count);
}

DBIResult DbiReadRecordBlock(hDBICur cursor, std::uint32_t first, std::uint32_t count,
                             std::vector<std::uint8_t>& scratch, const std::uint8_t** records) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (records == nullptr) return DBIERR_INVALIDPARAM;
  return cursor->ReadBlock(first, count, scratch, records);
}

DBIResult DbiReleaseRecordBlock(hDBICur cursor, std::uint32_t first, std::uint32_t count) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  cursor->ReleaseBlock(first, count);
  return DBIERR_NONE;
}

DBIResult DbiRelRecordLock(hDBICur cursor, bool all) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->ReleaseLock(all);
}

DBIResult DbiIsRecordLocked(hDBICur cursor, std::uint32_t recno, bool* locked) {
  if (!Valid(cursor) || locked == nullptr) return DBIERR_INVALIDHNDL;
  *locked = false;
  for (const DbiCursor* other : S().cursors)
    if (other->HoldsLock(recno) && (other == cursor || other->SameDataFile(*cursor))) *locked = true;
  return DBIERR_NONE;
}

DBIResult DbiAcqCreateLock(hDBICur cursor) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->AcquireCreateLock();
}

DBIResult DbiRelCreateLock(hDBICur cursor) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->ReleaseCreateLock();
}

// ---------------------------------------------------------------- fields and records

DBIResult DbiGetField(hDBICur cursor, std::uint16_t field, const std::uint8_t* recBuf, void* dest, bool* blank) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->GetField(field, recBuf, dest, blank);
}

DBIResult DbiPutField(hDBICur cursor, std::uint16_t field, std::uint8_t* recBuf, const void* src) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->PutField(field, recBuf, src);
}

DBIResult DbiInitRecord(hDBICur cursor, std::uint8_t* recBuf) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (recBuf == nullptr) return DBIERR_INVALIDPARAM;
  // Only the record length is needed: no file is read.
  std::memset(recBuf, ' ', cursor->RecordLength());
  return DBIERR_NONE;
}

DBIResult DbiInsertRecord(hDBICur cursor, DBILockType lock, std::uint8_t* recBuf) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return Written(cursor, cursor->Insert(lock, recBuf));
}

DBIResult DbiAppendRecords(hDBICur cursor, std::uint32_t count, const std::uint8_t* records, std::uint32_t* first) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return Written(cursor, cursor->AppendRecords(count, records, first));
}

DBIResult DbiModifyRecord(hDBICur cursor, std::uint8_t* recBuf, bool freeLock) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return Written(cursor, cursor->Modify(recBuf, freeLock));
}

DBIResult DbiDeleteRecord(hDBICur cursor, std::uint8_t* recBuf) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return Written(cursor, cursor->SetDeleted(true, recBuf));
}

DBIResult DbiDeleteRecords(hDBICur cursor, std::uint32_t count, const std::uint32_t* recnos) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return Written(cursor, cursor->DeleteRecords(count, recnos));
}

DBIResult DbiUndeleteRecord(hDBICur cursor) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return Written(cursor, cursor->SetDeleted(false, nullptr));
}

DBIResult DbiSaveChanges(hDBICur cursor) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return Written(cursor, cursor->SaveChanges());
}

// ---------------------------------------------------------------- memo fields

DBIResult DbiOpenBlob(hDBICur cursor, std::uint8_t* recBuf, std::uint16_t field, DBIOpenMode mode) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->OpenBlob(field, recBuf, mode == dbiREADONLY);
}

DBIResult DbiGetBlobSize(hDBICur cursor, std::uint8_t*, std::uint16_t field, std::uint32_t* size) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (size == nullptr) return DBIERR_INVALIDPARAM;
  std::string* text = nullptr;
  DBIResult rc = cursor->Blob(field, &text, false);
  *size = rc == DBIERR_NONE ? static_cast<std::uint32_t>(text->size()) : 0;
  return rc;
}

DBIResult DbiGetBlob(hDBICur cursor, std::uint8_t*, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                     void* dest, std::uint32_t* read) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (read != nullptr) *read = 0;
  if (dest == nullptr && length != 0) return DBIERR_INVALIDPARAM;
  std::string* text = nullptr;
  DBIResult rc = cursor->Blob(field, &text, false);
  if (rc != DBIERR_NONE) return rc;
  std::size_t n = 0;
  if (offset < text->size()) n = std::min<std::size_t>(length, text->size() - offset);
  if (n != 0) std::memcpy(dest, text->data() + offset, n);
  if (read != nullptr) *read = static_cast<std::uint32_t>(n);
  return DBIERR_NONE;
}

DBIResult DbiPutBlob(hDBICur cursor, std::uint8_t*, std::uint16_t field, std::uint32_t offset, std::uint32_t length,
                     const void* src) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (src == nullptr && length != 0) return DBIERR_INVALIDPARAM;
  std::string* text = nullptr;
  DBIResult rc = cursor->Blob(field, &text, true);
  if (rc != DBIERR_NONE) return rc;
  std::size_t end = static_cast<std::size_t>(offset) + length;
  if (end > text->size()) text->resize(end, ' ');
  if (length != 0) std::memcpy(text->data() + offset, src, length);
  return DBIERR_NONE;
}

DBIResult DbiTruncateBlob(hDBICur cursor, std::uint8_t*, std::uint16_t field, std::uint32_t length) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  std::string* text = nullptr;
  DBIResult rc = cursor->Blob(field, &text, true);
  if (rc != DBIERR_NONE) return rc;
  if (length < text->size()) text->resize(length);
  return DBIERR_NONE;
}

DBIResult DbiFreeBlob(hDBICur cursor, std::uint8_t*, std::uint16_t field) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->FreeBlob(field);
}

// ---------------------------------------------------------------- maintenance

DBIResult DbiPackTable(hDBIDb, hDBICur cursor, const char* tableName, const char* driverType, bool regenIndexes) {
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (!DriverOk(driverType)) return DBIERR_INVALIDPARAM;
  return OnExclusive(cursor, tableName, [&](DbiCursor* c) { return c->Pack(regenIndexes); });
}

DBIResult DbiCheckIndex(hDBICur cursor, bool rebuild) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  const DBIResult rc = cursor->CheckIndex();
  if (rc != DBIERR_INDEXCORRUPT || !rebuild || !cursor->exclusive || cursor->readOnly) return rc;
  const DBIResult rebuilt = IndexWritten(cursor, cursor->RebuildIndex());
  return rebuilt != DBIERR_NONE ? rebuilt : cursor->CheckIndex();
}

DBIResult DbiRepairInterruptedIndex(const char* tableName, bool* repaired) {
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (repaired != nullptr) *repaired = false;
  if (tableName == nullptr || tableName[0] == 0) return DBIERR_INVALIDPARAM;
  const std::string path = TablePath(tableName);
  bool marked = false;
  {
    // The mark is read under the index's lock: a live writer's update is waited for.
    DbiCursor look;
    DBIResult rc = look.Open(path, "", "", true, false, xltFIELD);
    if (rc != DBIERR_NONE) return rc;
    marked = look.IndexInterrupted();
  }
  if (!marked) return DBIERR_NONE;
  // An exclusive open rebuilds the tags of a marked index. One that had the table alone and
  // found no room to write the index is a full disk, not another station's open.
  DbiCursor alone;
  DBIResult rc = alone.Open(path, "", "", false, true, xltFIELD);
  if (rc == DBIERR_DISKFULL || (rc == DBIERR_NONE && alone.IndexInterrupted() &&
                                alone.IndexRepairResult() == DBIERR_DISKFULL)) {
    NoteDiskFull(path);
    return DBIERR_DISKFULL;
  }
  if (rc != DBIERR_NONE || alone.IndexInterrupted()) {
    // A write of the rebuild the system refused (an I/O error, a disk gone read-only) is passed on
    // as such, so that it is not taken for another station's open.
    const DBIResult repair = rc == DBIERR_NONE ? alone.IndexRepairResult() : DBIERR_NONE;
    if (repair == DBIERR_OSERROR || repair == DBIERR_OSACCESS) NoteWriteRefused(alone.mdxPath, repair);
    return DBIERR_INDEXOUTOFDATE;
  }
  rc = alone.Close();
  if (rc == DBIERR_NONE && repaired != nullptr) *repaired = true;
  return rc;
}

DBIResult DbiRepairCursorIndex(hDBICur cursor, bool* repaired) {
  bool done = false;
  if (repaired != nullptr) *repaired = false;
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  const DBIResult rc = IndexWritten(cursor, cursor->RepairIndexIfInterrupted(&done));
  if (repaired != nullptr) *repaired = done;
  return rc;
}

DBIResult DbiEmptyTable(hDBIDb, hDBICur cursor, const char* tableName, const char* driverType) {
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (!DriverOk(driverType)) return DBIERR_INVALIDPARAM;
  return OnExclusive(cursor, tableName, [](DbiCursor* c) { return c->Empty(); });
}

DBIResult DbiCopyTable(hDBIDb, bool overwrite, const char* srcTableName, const char* srcDriverType,
                       const char* destTableName) {
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (!DriverOk(srcDriverType)) return DBIERR_INVALIDPARAM;
  if (srcTableName == nullptr || destTableName == nullptr || destTableName[0] == 0) return DBIERR_INVALIDPARAM;
  std::string src = platform::ResolvePath(TablePath(srcTableName));
  std::string dest = TablePath(destTableName);
  if (!platform::FileExists(src)) return DBIERR_NOSUCHTABLE;
  if (platform::FileExists(dest)) {
    if (!overwrite) return DBIERR_FILEEXISTS;
    if (TableInUse(dest)) return DBIERR_TABLEINUSE;
  }
  // The header says which companion files belong to the table.
  DbfFile head;
  DBIResult rc = head.Open(src, false);
  if (rc != DBIERR_NONE) return rc;
  bool memo = head.hasMemo();
  bool mdx = head.productionIndexFlag();
  head.Close();
  std::string srcMemo = platform::ResolvePath(WithExtension(src, ".dbt"));
  std::string srcIndex = platform::ResolvePath(WithExtension(src, ".mdx"));
  std::string destMemo = WithExtension(dest, ".dbt");
  std::string destIndex = WithExtension(dest, ".mdx");
  if (memo && !platform::FileExists(srcMemo)) return DBIERR_MEMOCORRUPT;
  if (mdx && !platform::FileExists(srcIndex)) return DBIERR_INDEXCORRUPT;
  rc = CopyFile(src, dest);
  if (rc == DBIERR_NONE && memo) {
    rc = CopyFile(srcMemo, destMemo);
    if (rc == DBIERR_NONE)
      rc = PatchName(destMemo, dbt_header::kTableName, dbt_header::kTableNameLength, BaseName(dest));
  } else if (rc == DBIERR_NONE) {
    platform::RemoveFile(destMemo);
  }
  if (rc == DBIERR_NONE && mdx) {
    rc = CopyFile(srcIndex, destIndex);
    // The index file names the table it belongs to.
    if (rc == DBIERR_NONE)
      rc = PatchName(destIndex, mdx_header::kTableName, mdx_header::kTableNameLength, BaseName(dest));
  } else if (rc == DBIERR_NONE) {
    platform::RemoveFile(destIndex);
  }
  return NoteWriteRefused(dest, rc);
}

// ---------------------------------------------------------------- table files without a cursor

namespace {

// The data file of a table named as DbiOpenTable takes it, found without case, with its
// header checked; `write` insists on write access.
DBIResult OpenDataFile(const char* tableName, bool write, DbfFile* file) {
  if (tableName == nullptr || tableName[0] == 0) return DBIERR_INVALIDPARAM;
  DBIResult rc = file->Open(platform::ResolvePath(TablePath(tableName)), write);
  if (rc == DBIERR_NONE && write && !file->writable()) rc = DBIERR_OSACCESS;
  return rc;
}

}  // namespace

DBIResult DbiSetProductionIndexFlag(const char* tableName, bool on) {
  DbfFile file;
  DBIResult rc = OpenDataFile(tableName, true, &file);
  if (rc == DBIERR_NONE) rc = NoteWriteRefused(file.path(), file.WriteProductionIndexFlag(on));
  return rc;
}

DBIResult DbiDropProductionIndex(const char* tableName) {
  DbfFile file;
  DBIResult rc = OpenDataFile(tableName, true, &file);
  if (rc != DBIERR_NONE) return rc;
  // Another cursor (of any process) reads the index file: it must not vanish under it.
  if (TableInUse(file.path())) return DBIERR_TABLEINUSE;
  // The flag goes first: a drop cut short between the two leaves a table that opens without its
  // index (the file left is overwritten by the next index built), never a flag promising an
  // index file that is gone.
  rc = NoteWriteRefused(file.path(), file.WriteProductionIndexFlag(false));
  if (rc != DBIERR_NONE) return rc;
  rc = RemoveFile(platform::ResolvePath(WithExtension(file.path(), ".mdx")));
  if (rc != DBIERR_NONE) NoteWriteRefused(file.path(), rc);
  return rc == DBIERR_NONE ? DBIERR_NONE : DBIERR_OSACCESS;
}

DBIResult DbiCheckPackLeftovers(const char* tableName) {
  if (tableName == nullptr) return DBIERR_INVALIDPARAM;
  return PackLeftoversUnknown(tableName) ? DBIERR_PACKUNKNOWN : DBIERR_NONE;
}

DBIResult DbiGetPackLeftoverFiles(const char* tableName, std::vector<std::string>* files) {
  if (tableName == nullptr || files == nullptr) return DBIERR_INVALIDPARAM;
  *files = PackLeftoverFiles(tableName);
  return DBIERR_NONE;
}

DBIResult DbiGetTableFieldNames(const char* tableName, std::vector<std::string>* names) {
  if (names == nullptr) return DBIERR_INVALIDPARAM;
  names->clear();
  DbfFile file;
  DBIResult rc = OpenDataFile(tableName, false, &file);
  if (rc != DBIERR_NONE) return rc;
  for (const DbfField& f : file.fields()) names->push_back(f.name);
  return DBIERR_NONE;
}

DBIResult DbiGetUncountedRecords(const char* tableName, std::uint32_t* whole) {
  if (whole == nullptr) return DBIERR_INVALIDPARAM;
  *whole = 0;
  if (S().initCount == 0) return DBIERR_NOTINITIALIZED;
  if (tableName == nullptr || tableName[0] == 0) return DBIERR_INVALIDPARAM;
  {
    // Through the index, which tells a killed append of ours.
    DbiCursor look;
    if (look.Open(TablePath(tableName), "", "", true, false, xltFIELD) == DBIERR_NONE)
      return look.UncountedRecords(whole);
  }
  // An index that does not open (a reindex will make it again): the data file alone.
  DbfFile file;
  DBIResult rc = OpenDataFile(tableName, false, &file);
  if (rc != DBIERR_NONE) return rc;
  return file.UncountedRecords(whole, 2);
}

// ---------------------------------------------------------------- indexes

DBIResult DbiAddIndex(hDBIDb, hDBICur cursor, const char*, const char* driverType, const IDXDesc* desc,
                      const char*) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (!DriverOk(driverType) || desc == nullptr) return DBIERR_INVALIDPARAM;
  return Written(cursor, cursor->AddIndex(*desc));
}

DBIResult DbiAddIndexes(hDBICur cursor, const char* driverType, std::uint16_t count, const IDXDesc* descs) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (!DriverOk(driverType) || (descs == nullptr && count > 0)) return DBIERR_INVALIDPARAM;
  return Written(cursor, cursor->AddProductionTags(std::vector<IDXDesc>(descs, descs + count)));
}

DBIResult DbiDeleteIndex(hDBIDb, hDBICur cursor, const char*, const char* driverType, const char* indexName,
                         const char* tagName, std::uint16_t) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (!DriverOk(driverType)) return DBIERR_INVALIDPARAM;
  return Written(cursor, cursor->DeleteIndex(Text(indexName), Text(tagName)));
}

DBIResult DbiSwitchToIndex(hDBICur* cursor, const char* indexName, const char* tagName, std::uint16_t,
                           bool currRec) {
  if (cursor == nullptr || !Valid(*cursor)) return DBIERR_INVALIDHNDL;
  return (*cursor)->SwitchTo(Text(indexName), Text(tagName), currRec);
}

DBIResult DbiCloseIndex(hDBICur cursor, const char* indexName, std::uint16_t) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  return cursor->CloseIndex(Text(indexName));
}

DBIResult DbiGetIndexSeqNo(hDBICur cursor, const char* indexName, const char* tagName, std::uint16_t,
                           std::uint16_t* seqNo) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (seqNo == nullptr) return DBIERR_INVALIDPARAM;
  return cursor->IndexSeqNo(Text(indexName), Text(tagName), seqNo);
}

DBIResult DbiGetIndexDesc(hDBICur cursor, std::uint16_t seqNo, IDXDesc* desc) {
  if (!Valid(cursor)) return DBIERR_INVALIDHNDL;
  if (desc == nullptr) return DBIERR_INVALIDPARAM;
  return cursor->IndexDesc(seqNo, desc);
}

// ---------------------------------------------------------------- errors

DBIResult DbiGetErrorString(DBIResult code, char* text) {
  if (text == nullptr) return DBIERR_INVALIDPARAM;
  const char* found = "Erreur inconnue du moteur de base de donn\xE9\x65s";
  for (const ErrorText& e : kErrorTexts) {
    if (e.code == code) {
      found = e.text;
      break;
    }
  }
  if (code == DBIERR_LOCKTIMEOUT) {
    // The file that was waited on, by its name.
    const std::string& path = LastLockTimeoutPath();
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::snprintf(text, kDbiMaxMsgLen + 1, "%s%s", found, name.empty() ? "la table" : name.c_str());
    return DBIERR_NONE;
  }
  if (code == DBIERR_DISKFULL && !DiskFullFolder().empty()) {
    // The folder that ran out of room, so the user knows which disk to free.
    std::snprintf(text, kDbiMaxMsgLen + 1, "%s : plus de place dans le dossier %s", found,
                  DiskFullFolder().c_str());
    return DBIERR_NONE;
  }
  std::snprintf(text, kDbiMaxMsgLen + 1, "%s", found);
  return DBIERR_NONE;
}

}  // namespace dbase
