#include "cursor.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "expr.h"
#include "fileio.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"

namespace dbase {

void (*DbiAppendHook)() = nullptr;

namespace {

constexpr std::size_t kChunkBytes = 1 << 16;  // read-ahead of an exclusive cursor, pack chunks
// A pack writes its new files beside the old ones, each under the old name + this suffix.
constexpr const char* kPackSuffix = ".pack";

// Index paths and tag names compared whatever their case: A-Z and a-z only, so that the comparison
// does not hang on the process's locale (the engine sits below the runtime's text helpers).
std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}
std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Calendar date of a Julian day number (the inverse of JulianDay of expr.h).
void JulianToDate(long jd, int* y, int* m, int* d) {
  long a = jd + 32044;
  long b = (4 * a + 3) / 146097;
  long c = a - 146097 * b / 4;
  long e = (4 * c + 3) / 1461;
  long f = c - 1461 * e / 4;
  long g = (5 * f + 2) / 153;
  *d = static_cast<int>(f - (153 * g + 2) / 5 + 1);
  *m = static_cast<int>(g + 3 - 12 * (g / 10));
  *y = static_cast<int>(100 * b + e - 4800 + g / 10);
}

bool AllBlank(const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != ' ' && p[i] != 0) return false;
  return true;
}

}  // namespace

// Records of the table in physical order, read in chunks (tag builds and rebuilds).
class DbiCursor::FileSource : public RecordSource {
 public:
  FileSource(const DbfFile& dbf, std::uint32_t count) : dbf_(dbf), count_(count) {
    per_ = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(kChunkBytes * 4 / dbf.recordLength()));
    buf_.resize(static_cast<std::size_t>(per_) * dbf.recordLength());
  }
  bool Next(std::uint32_t* recno, const std::uint8_t** record) override {
    if (next_ > count_ || status_ != DBIERR_NONE) return false;
    if (next_ >= first_ + loaded_) {
      first_ = next_;
      loaded_ = std::min(per_, count_ - next_ + 1);
      status_ = dbf_.ReadRecords(first_, loaded_, buf_.data());
      if (status_ != DBIERR_NONE) return false;
    }
    *recno = next_;
    *record = buf_.data() + static_cast<std::size_t>(next_ - first_) * dbf_.recordLength();
    ++next_;
    return true;
  }
  DBIResult status() const override { return status_; }
  std::uint32_t SizeHint() const override { return count_; }

 private:
  const DbfFile& dbf_;
  std::uint32_t count_;
  std::uint32_t per_ = 1;
  std::uint32_t next_ = 1;
  std::uint32_t first_ = 1;
  std::uint32_t loaded_ = 0;
  std::vector<std::uint8_t> buf_;
  DBIResult status_ = DBIERR_NONE;
};

DbiCursor::~DbiCursor() { Close(); }

DBIResult DbiCursor::Open(const std::string& path, const std::string& indexName, const std::string& tagName,
                          bool ro, bool excl, XLTMode mode) {
  readOnly = ro;
  exclusive = excl;
  xlt = mode;
  for (int attempt = 0;; ++attempt) {
    bool again = false;
    DBIResult rc = OpenOnce(path, indexName, tagName, &again);
    if (!again) return rc;
    if (attempt == 3) return DBIERR_TABLEINUSE;
  }
}

std::vector<std::string> DbiCursor::PackedFiles() const {
  std::vector<std::string> files;
  if (dbf_.hasMemo()) files.push_back(platform::ResolvePath(WithExtension(dbfPath, ".dbt")));
  if (dbf_.productionIndexFlag()) files.push_back(platform::ResolvePath(WithExtension(dbfPath, ".mdx")));
  files.push_back(dbfPath);
  return files;
}

namespace {

// The journal of a pack's renames, beside the data file: written whole and flushed before the
// first rename, removed after the last. One line per file in the order of the renames: the
// file's name, then the identity (device, inode, size, time of last change) of the file it
// replaces and of the new file; none of them is written between the journal and its removal.
// Without it no rename has begun, and the new files are dropped.
constexpr const char* kPackJournalSuffix = ".pack.journal";

struct FileId {
  unsigned long long dev = 0, ino = 0, size = 0, changed = 0;
  bool operator==(const FileId& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && changed == o.changed && ino != 0;
  }
};

FileId IdOf(const std::string& path) {
  struct stat st {};
  if (::stat(platform::DiskPath(path).c_str(), &st) != 0) return {};
  return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
          static_cast<unsigned long long>(st.st_size),
          static_cast<unsigned long long>(st.st_mtim.tv_sec) * 1000000000ull +
              static_cast<unsigned long long>(st.st_mtim.tv_nsec)};
}

std::string IdText(const FileId& id) {
  return std::to_string(id.dev) + ":" + std::to_string(id.ino) + ":" + std::to_string(id.size) + ":" +
         std::to_string(id.changed);
}

struct JournalLine {
  std::string name;  // file name, in the data file's folder
  FileId old, fresh;
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

DBIResult WriteJournal(const std::string& journal, const std::vector<std::string>& files) {
  std::string text;
  for (const std::string& f : files) {
    text += NameOf(f) + "\t" + IdText(IdOf(f)) + "\t" + IdText(IdOf(f + kPackSuffix)) + "\n";
  }
  int fd = -1;
  DBIResult rc = CreateFile(journal, &fd);
  if (rc != DBIERR_NONE) return rc;
  rc = WriteAt(fd, text.data(), text.size(), 0);
  if (rc == DBIERR_NONE && ::fsync(fd) != 0) rc = ErrnoToResult(errno);
  ::close(fd);
  if (rc == DBIERR_NONE) rc = SyncFile(FolderOf(journal).empty() ? "." : FolderOf(journal));
  return rc;
}

FileId ParseId(const std::string& text) {
  unsigned long long parts[4] = {};
  const char* p = text.c_str();
  for (int i = 0; i < 4; ++i) {
    char* end = nullptr;
    parts[i] = std::strtoull(p, &end, 10);
    if (end == p || (i < 3 && *end != ':')) return {};
    p = end + 1;
  }
  return {parts[0], parts[1], parts[2], parts[3]};
}

// The journal's lines up to the first that is not whole (three parts, ending with a line
// break). True when every line is whole and the last names the data file, renamed last: a
// journal cut short, even at a line end, is not taken for the list of the pack's renames.
bool ReadJournal(const std::string& journal, const std::string& dataName, std::vector<JournalLine>* lines) {
  std::string text;
  if (!platform::FileExists(journal) || !platform::ReadWholeFile(journal, text)) return false;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t end = text.find('\n', from);
    if (end == std::string::npos) return false;
    const std::string line = text.substr(from, end - from);
    from = end + 1;
    const std::size_t a = line.find('\t'), b = line.find('\t', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos || a == 0) return false;
    lines->push_back({line.substr(0, a), ParseId(line.substr(a + 1, b - a - 1)), ParseId(line.substr(b + 1))});
  }
  return !lines->empty() && lines->back().name == dataName;
}

// What the files a cut-short pack left beside a table allow.
enum class PackState {
  kDrop,     // the renames had not begun, or the table was put in place by another hand: the new files go
  kFinish,   // the renames had begun on these very files: they are finished
  kUnknown,  // files renamed already that nothing recognises: every file stays where it is
};

std::string Target(const std::string& folder, const std::string& name) {
  return platform::ResolveName(folder.empty() ? "." : folder.substr(0, folder.size() - 1), name);
}

// Whether the renames the journal lists had begun on these very files and may be finished:
// the files renamed already (a first run of them) are the pack's new files, the others still
// the files they replace with their new files beside them. A table put in place by another
// hand meanwhile (copies put back over it) fails this, and so do renames out of order. When
// none of the files is one the journal knows (the folder was copied elsewhere), their sizes
// must be those the journal gives, in the order of the renames; files renamed already that do
// not match are left as they are, with the new files still waiting.
PackState RenamesToFinish(const std::string& folder, const std::vector<JournalLine>& lines) {
  bool known = false, sound = true, ordered = true, pendingSeen = false, renamedSeen = false, sized = true;
  for (const JournalLine& l : lines) {
    const std::string target = Target(folder, l.name);
    const FileId now = IdOf(target), waiting = IdOf(target + kPackSuffix);
    const bool pending = waiting.ino != 0;
    if (pending) {
      pendingSeen = true;
      if (waiting == l.fresh) known = true;
      else sound = false;
      if (now == l.old) known = true;
      else if (now.ino != 0 || l.old.ino != 0) sound = false;
      if (waiting.size != l.fresh.size || (now.ino != 0) != (l.old.ino != 0) || now.size != l.old.size) sized = false;
    } else {
      renamedSeen = true;
      if (pendingSeen) ordered = false;
      if (now == l.fresh) known = true;
      else sound = false;
      if (now.ino == 0 || now.size != l.fresh.size) sized = false;
    }
  }
  if (known) return sound && ordered && pendingSeen ? PackState::kFinish : PackState::kDrop;
  // Nothing renamed yet (the table is as it was), or nothing left to rename.
  if (!renamedSeen || !pendingSeen) return PackState::kDrop;
  return ordered && sized ? PackState::kFinish : PackState::kUnknown;
}

// The state of the pack files beside `dbfPath`. A journal that is not whole was being written
// when the pack stopped, before any rename: every file it lists still has its new file beside
// it. One that lost its end afterwards, a file it lists renamed already, cannot say which
// files are the pack's.
PackState PackStateOf(const std::string& dbfPath, std::vector<JournalLine>* lines) {
  const std::string journal = dbfPath + kPackJournalSuffix;
  if (!platform::FileExists(journal)) return PackState::kDrop;
  if (ReadJournal(journal, NameOf(dbfPath), lines)) return RenamesToFinish(FolderOf(dbfPath), *lines);
  for (const JournalLine& l : *lines)
    if (!platform::FileExists(Target(FolderOf(dbfPath), l.name) + kPackSuffix)) return PackState::kUnknown;
  return PackState::kDrop;
}

}  // namespace

bool PackLeftoversUnknown(const std::string& dbfPath) {
  const std::string path = platform::ResolvePath(dbfPath);
  std::vector<JournalLine> lines;
  return platform::FileExists(path + kPackJournalSuffix) && PackStateOf(path, &lines) == PackState::kUnknown;
}

std::vector<std::string> PackLeftoverFiles(const std::string& dbfPath) {
  const std::string path = platform::ResolvePath(dbfPath);
  std::vector<std::string> files;
  if (platform::FileExists(path + kPackJournalSuffix)) files.push_back(path + kPackJournalSuffix);
  for (const char* ext : {".dbf", ".dbt", ".mdx"}) {
    const std::string waiting = platform::ResolvePath(WithExtension(path, ext)) + kPackSuffix;
    if (platform::FileExists(waiting)) files.push_back(waiting);
  }
  return files;
}

bool DbiCursor::PackLeftovers() const {
  for (const char* ext : {".dbf", ".dbt", ".mdx"})
    if (platform::FileExists(platform::ResolvePath(WithExtension(dbfPath, ext)) + kPackSuffix)) return true;
  return platform::FileExists(dbfPath + kPackJournalSuffix);
}

// A pack renames its new files over the old ones, data last, once all of them are written and
// its journal is on the disk. The renames it had begun are finished when its journal shows
// that the files are still those it renamed; otherwise (no journal: the renames had not begun,
// or a table put back over the pack's files) the new files are dropped and the table stays.
// Renamed files that the journal does not recognise leave everything where it is.
DBIResult DbiCursor::FinishPack() {
  const std::string journal = dbfPath + kPackJournalSuffix;
  std::vector<JournalLine> lines;
  const PackState state = PackStateOf(dbfPath, &lines);
  if (state == PackState::kUnknown) return DBIERR_PACKUNKNOWN;
  if (state == PackState::kDrop) return DropPackFiles();
  for (const JournalLine& l : lines) {
    const std::string target = FolderOf(dbfPath) + l.name;
    if (!platform::FileExists(target + kPackSuffix)) continue;
    DBIResult rc = RenameFile(target + kPackSuffix, target);
    if (rc != DBIERR_NONE) return rc;
  }
  (void)SyncFile(FolderOf(dbfPath).empty() ? "." : FolderOf(dbfPath));
  return RemoveFile(journal);
}

// The journal first: without it the new files are never taken for a pack's finished files,
// whatever of them a drop cut short leaves.
DBIResult DbiCursor::DropPackFiles() {
  DBIResult rc = RemoveFile(dbfPath + kPackJournalSuffix);
  if (rc == DBIERR_NONE) rc = RemoveFile(dbfPath + kPackSuffix);
  for (const char* ext : {".dbt", ".mdx"})
    if (rc == DBIERR_NONE) rc = RemoveFile(platform::ResolvePath(WithExtension(dbfPath, ext)) + kPackSuffix);
  return rc;
}

DBIResult DbiCursor::OpenOnce(const std::string& path, const std::string& indexName, const std::string& tagName,
                              bool* again) {
  dbfPath = platform::ResolvePath(path);
  DBIResult rc = dbf_.Open(dbfPath, true);
  if (rc != DBIERR_NONE) return rc;
  if (!readOnly && !dbf_.writable()) {
    Close();
    return DBIERR_OSACCESS;
  }
  rc = TakeOpenLock();
  if (rc != DBIERR_NONE) {
    Close();
    return rc;
  }
  // A pack may have renamed a new file over this one before the lock was granted.
  if (!SameFile(dbf_.fd(), dbfPath)) {
    Close();
    *again = true;
    return DBIERR_TABLEINUSE;
  }
  if (PackLeftovers()) {
    // Only a station holding the table alone may put a cut-short pack in order.
    if (!exclusive && (!dbf_.writable() ||
                       OfdLock(dbf_.fd(), kExclusiveByte, 1, F_WRLCK, false) != LockOutcome::kGranted ||
                       OfdLock(dbf_.fd(), kOpenSentinelByte, 1, F_WRLCK, false) != LockOutcome::kGranted)) {
      Close();
      return DBIERR_TABLEINUSE;
    }
    // Finishing the pack changes the table's files: a change the system refused is passed on.
    rc = NoteWriteRefused(dbfPath, FinishPack());
    Close();
    *again = rc == DBIERR_NONE;
    return rc;
  }
  layout_.clear();
  for (const DbfField& f : dbf_.fields()) {
    FieldLayout l;
    l.name = f.name;
    l.type = f.type;
    l.offset = f.offset;
    l.length = f.width;
    l.decimals = f.decimals;
    layout_.push_back(l);
  }
  rec_.assign(dbf_.recordLength(), ' ');
  old_.assign(dbf_.recordLength(), ' ');
  if (dbf_.hasMemo()) {
    dbtPath = platform::ResolvePath(WithExtension(dbfPath, ".dbt"));
    rc = dbt_.Open(dbtPath, !readOnly, dbf_.dbase3Memo());
    if (rc != DBIERR_NONE) {
      Close();
      return rc;
    }
  }
  mdxPath = platform::ResolvePath(WithExtension(dbfPath, ".mdx"));
  bool refused = false;  // an index Open refused, opened to be rebuilt
  if (dbf_.productionIndexFlag()) {
    rc = Mdx::Open(mdxPath, layout_, readOnly, exclusive, &mdx_, CharacterOrder());
    // The header promises a production index: without it the table does not open.
    if (rc == DBIERR_NOSUCHPATH || rc == DBIERR_NOSUCHTABLE) rc = DBIERR_INDEXCORRUPT;
    // One whose pages were cut short (a write-back that met a full disk) is rebuilt from its
    // tag table by a cursor that has the table alone; refused otherwise.
    if (rc == DBIERR_INDEXCORRUPT && exclusive && !readOnly && dbf_.writable()) {
      refused = Mdx::OpenToRebuild(mdxPath, layout_, &mdx_, CharacterOrder()) == DBIERR_NONE;
      if (refused) rc = DBIERR_NONE;
    }
    if (rc != DBIERR_NONE) {
      Close();
      return rc;
    }
  }
  // What lies past the count, once the index says whether an append of ours was killed there.
  if (exclusive && !readOnly && dbf_.writable()) {
    rc = NoteWriteRefused(dbfPath, dbf_.CutPastCount(mdx_ && mdx_->Interrupted(), 2));
    if (rc != DBIERR_NONE) {
      Close();
      return rc;
    }
  }
  rc = RefreshCount();
  // An index left half updated by a writer that died is rebuilt now when this cursor can
  // have the table to itself; otherwise the table opens for reading and writes are refused.
  // A refused index that cannot be rebuilt stays refused.
  if (rc == DBIERR_NONE && mdx_ && mdx_->Interrupted() && !readOnly) {
    const DBIResult repaired = RepairIndex();
    repairResult_ = repaired;
    if (refused) rc = repaired;
  }
  // A production index another tool wrote in another order would be misread: rebuilt when
  // the table is ours alone, refused as damaged otherwise. One still marked as interrupted
  // was ours: its reads go on and its writes are refused until the repair.
  if (rc == DBIERR_NONE && mdx_ && !mdx_->Interrupted() && mdx_->CheckOrder() == DBIERR_INDEXCORRUPT) {
    rc = DBIERR_INDEXCORRUPT;
    if (exclusive && !readOnly) {
      FileSource src(dbf_, count_);
      rc = mdx_->Rebuild(&src);
      if (rc == DBIERR_NONE) rc = src.status();
    }
  }
  if (rc == DBIERR_NONE && (!indexName.empty() || !tagName.empty()))
    rc = SwitchTo(indexName, tagName, false);
  if (rc != DBIERR_NONE) {
    Close();
    return rc;
  }
  pos_ = Pos::kBof;
  return DBIERR_NONE;
}

// The open lock: shared opens read-lock the sentinel, exclusive opens write-lock it after the
// exclusive byte. A write lock needs a descriptor open for writing: an exclusive open of a
// file this user may only read is refused, since a read lock would exclude nobody.
DBIResult DbiCursor::TakeOpenLock() {
  auto busy = [](LockOutcome got) { return got == LockOutcome::kBusy ? DBIERR_TABLEINUSE : DBIERR_OSERROR; };
  if (!exclusive) {
    const LockOutcome got = OfdLock(dbf_.fd(), kOpenSentinelByte, 1, F_RDLCK, false);
    if (got != LockOutcome::kGranted) return busy(got);
    openLock_ = true;
    return DBIERR_NONE;
  }
  if (!dbf_.writable()) return DBIERR_OSACCESS;
  LockOutcome got = OfdLock(dbf_.fd(), kExclusiveByte, 1, F_WRLCK, false);
  if (got != LockOutcome::kGranted) return busy(got);
  got = OfdLock(dbf_.fd(), kOpenSentinelByte, 1, F_WRLCK, false);
  if (got != LockOutcome::kGranted) {
    OfdUnlock(dbf_.fd(), kExclusiveByte, 1);
    return busy(got);
  }
  openLock_ = true;
  return DBIERR_NONE;
}

DBIResult DbiCursor::SetShareMode(bool toExclusive) {
  if (!openLock_) return DBIERR_INVALIDHNDL;
  if (toExclusive == exclusive) return DBIERR_NONE;
  if (toExclusive) {
    if (!dbf_.writable() || readOnly) return DBIERR_OSACCESS;
    if (!locks_.empty()) return DBIERR_LOCKED;
    const DBIResult rc = LockAlone();
    return rc == DBIERR_NONE ? ReopenIndexes(true) : rc;
  }
  // Back to shared: what exclusive mode kept in memory is written first.
  DBIResult rc = mdx_ ? mdx_->Flush() : DBIERR_NONE;
  if (rc != DBIERR_NONE) return rc;
  rc = LockShared();
  return rc == DBIERR_NONE ? ReopenIndexes(false) : rc;
}

// The open lock of a shared cursor turned exclusive without letting the table go.
DBIResult DbiCursor::LockAlone() {
  const int fd = dbf_.fd();
  LockOutcome got = OfdLock(fd, kExclusiveByte, 1, F_WRLCK, false);
  if (got != LockOutcome::kGranted) return got == LockOutcome::kBusy ? DBIERR_TABLEINUSE : DBIERR_OSERROR;
  // Holding the exclusive byte, nobody can write-lock the sentinel: the shared hold, let go
  // for the try, always comes back.
  OfdUnlock(fd, kOpenSentinelByte, 1);
  got = OfdLock(fd, kOpenSentinelByte, 1, F_WRLCK, false);
  if (got == LockOutcome::kGranted) return DBIERR_NONE;
  const bool back = OfdLock(fd, kOpenSentinelByte, 1, F_RDLCK, false) == LockOutcome::kGranted;
  OfdUnlock(fd, kExclusiveByte, 1);
  if (!back) {
    openLock_ = false;
    return DBIERR_LOCKLOST;
  }
  return got == LockOutcome::kBusy ? DBIERR_TABLEINUSE : DBIERR_OSERROR;
}

// The exclusive open lock taken by LockAlone turned back into a shared one.
DBIResult DbiCursor::LockShared() {
  const int fd = dbf_.fd();
  OfdUnlock(fd, kOpenSentinelByte, 1);
  const bool back = OfdLock(fd, kOpenSentinelByte, 1, F_RDLCK, false) == LockOutcome::kGranted;
  OfdUnlock(fd, kExclusiveByte, 1);
  if (!back) {
    openLock_ = false;
    return DBIERR_LOCKLOST;
  }
  return DBIERR_NONE;
}

// After a change of share mode: the production index is opened again in the new mode (an
// exclusive index keeps its pages in memory, a shared one locks every call) and the cursor
// goes back before the first record.
DBIResult DbiCursor::ReopenIndexes(bool toExclusive) {
  exclusive = toExclusive;
  countKnown_ = false;
  aheadCount_ = 0;
  const bool productionOrder = order_.mdx != nullptr && order_.mdx == mdx_.get();
  const std::string tag = order_.tag;
  DBIResult rc = DBIERR_NONE;
  if (mdx_) {
    if (productionOrder) order_ = Order();
    rc = mdx_->Close();
    mdx_.reset();
    DBIResult r2 = Mdx::Open(mdxPath, layout_, readOnly, exclusive, &mdx_, CharacterOrder());
    if (rc == DBIERR_NONE) rc = r2;
  }
  if (rc == DBIERR_NONE) rc = RefreshCount();
  if (rc == DBIERR_NONE && productionOrder) rc = SwitchTo("", tag, false);
  SetToBegin();
  return rc;
}

DBIResult DbiCursor::Close() {
  DBIResult rc = DBIERR_NONE;
  blobs_.clear();
  order_ = Order();
  separate_.clear();
  if (mdx_) rc = mdx_->Close();
  mdx_.reset();
  dbt_.Close();
  // Closing the descriptor drops its record and open locks.
  locks_.clear();
  openLock_ = false;
  createLock_ = false;
  dbf_.Close();
  return rc;
}

// ---------------------------------------------------------------- records and navigation

DBIResult DbiCursor::RefreshCount() {
  if (exclusive && countKnown_) return DBIERR_NONE;
  DBIResult rc = dbf_.ReadCount(&count_);
  if (rc == DBIERR_NONE) countKnown_ = true;
  return rc;
}

DBIResult DbiCursor::ReadInto(std::uint32_t recno, std::uint8_t* buf) {
  const std::uint16_t len = dbf_.recordLength();
  if (!exclusive) return dbf_.ReadRecord(recno, buf);
  // Exclusive: nobody else writes, so a read-ahead window may serve the next records. It is
  // filled only by a step to a neighbour of the last record read: a walk in key order jumps
  // about, and each of its records is read alone.
  const bool neighbour = lastRead_ != 0 && (recno == lastRead_ + 1 || recno + 1 == lastRead_);
  lastRead_ = recno;
  if ((recno < aheadFirst_ || recno >= aheadFirst_ + aheadCount_) && !neighbour)
    return dbf_.ReadRecord(recno, buf);
  if (recno < aheadFirst_ || recno >= aheadFirst_ + aheadCount_) {
    std::uint32_t per = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(kChunkBytes / len));
    std::uint32_t first = recno;
    if (recno + 1 == aheadFirst_) first = recno >= per ? recno - per + 1 : 1;  // walking backwards
    std::uint32_t n = std::min(per, count_ >= first ? count_ - first + 1 : 1);
    if (first + n <= recno) n = recno - first + 1;
    ahead_.resize(static_cast<std::size_t>(n) * len);
    aheadCount_ = 0;
    DBIResult rc = dbf_.ReadRecords(first, n, ahead_.data());
    if (rc != DBIERR_NONE) return dbf_.ReadRecord(recno, buf);
    aheadFirst_ = first;
    aheadCount_ = n;
  }
  std::memcpy(buf, ahead_.data() + static_cast<std::size_t>(recno - aheadFirst_) * len, len);
  return DBIERR_NONE;
}

void DbiCursor::FillRecProps(RECProps* props) const {
  if (props == nullptr) return;
  *props = RECProps();
  props->iSeqNum = recno_;
  props->iPhyRecNum = recno_;
  props->bDeleteFlag = rec_[0] == '*';
}

void DbiCursor::SetToBegin() { pos_ = Pos::kBof; recno_ = 0; }

void DbiCursor::SetToEnd() { pos_ = Pos::kEof; recno_ = 0; }

DBIResult DbiCursor::RecordCount(std::uint32_t* count) {
  DBIResult rc = RefreshCount();
  *count = rc == DBIERR_NONE ? count_ : 0;
  return rc;
}

DBIResult DbiCursor::ReadBlock(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& scratch,
                               const std::uint8_t** records) {
  if (first == 0 || count == 0) return DBIERR_INVALIDPARAM;
  if (first + count - 1 > count_) {
    DBIResult rc = RefreshCount();
    if (rc != DBIERR_NONE) return rc;
    if (first + count - 1 > count_) return DBIERR_EOF;
  }
  return dbf_.RecordsAt(first, count, scratch, records);
}

DBIResult DbiCursor::KeyForCurrent() {
  if (order_.mdx == nullptr) return DBIERR_NONE;
  bool included = false;
  entry_.recno = recno_;
  return order_.mdx->KeyOf(order_.tag, rec_.data(), &entry_.key, &included);
}

DBIResult DbiCursor::SetToRecordNo(std::uint32_t recno) {
  if (recno == 0) return DBIERR_INVALIDPARAM;
  if (recno > count_) {
    DBIResult rc = RefreshCount();
    if (rc != DBIERR_NONE) return rc;
  }
  if (recno > count_) {
    SetToEnd();
    return DBIERR_EOF;
  }
  DBIResult rc = ReadInto(recno, rec_.data());
  if (rc != DBIERR_NONE) return rc;
  pos_ = Pos::kOn;
  recno_ = recno;
  return KeyForCurrent();
}

DBIResult DbiCursor::SetToKey(const std::string& key, DBISearchCond cond) {
  if (order_.mdx == nullptr) return DBIERR_NOSUCHINDEX;
  std::string k = key.substr(0, order_.keyLength);
  MdxEntry e;
  bool found = false;
  DBIResult rc = order_.mdx->Seek(order_.tag, k, &e, &found);
  if (rc == DBIERR_EOF) {
    SetToEnd();
    return cond == keySEARCHEQ ? DBIERR_RECNOTFOUND : DBIERR_NONE;
  }
  if (rc != DBIERR_NONE) return rc;
  // Strictly greater: step over the entries that begin with the key.
  for (int guard = 0; cond == keySEARCHGT && found; ++guard) {
    MdxEntry n;
    rc = order_.mdx->Next(order_.tag, e, &n);
    if (rc == DBIERR_EOF) {
      SetToEnd();
      return DBIERR_NONE;
    }
    if (rc != DBIERR_NONE) return rc;
    e = n;
    found = e.key.compare(0, k.size(), k) == 0;
  }
  pos_ = Pos::kBefore;
  recno_ = 0;
  entry_ = e;
  return cond == keySEARCHEQ && !found ? DBIERR_RECNOTFOUND : DBIERR_NONE;
}

DBIResult DbiCursor::Land(std::uint32_t recno, DBILockType lock, std::uint8_t* buf, RECProps* props,
                           bool reread) {
  pos_ = Pos::kOn;
  recno_ = recno;
  DBIResult rc = DBIERR_NONE;
  if (lock == dbiWRITELOCK) {
    rc = LockRecord(recno);
    if (rc != DBIERR_NONE && rc != DBIERR_ALREADYLOCKED) return rc;
    reread = true;  // read again under the lock: the last writer's version
  }
  if (reread) {
    DBIResult r2 = dbf_.ReadRecord(recno, rec_.data());
    if (r2 != DBIERR_NONE) return r2;
  }
  if (buf != nullptr) std::memcpy(buf, rec_.data(), rec_.size());
  FillRecProps(props);
  return rc;
}

DBIResult DbiCursor::Step(bool forward, DBILockType lock, std::uint8_t* buf, RECProps* props) {
  if (order_.mdx == nullptr) {
    std::uint32_t cand = 0;
    if (forward) {
      if (pos_ == Pos::kEof) return DBIERR_EOF;
      cand = pos_ == Pos::kBof ? 1 : recno_ + 1;
    } else {
      if (pos_ == Pos::kBof) return DBIERR_BOF;
      if (pos_ == Pos::kEof) {
        DBIResult rc = RefreshCount();
        if (rc != DBIERR_NONE) return rc;
        cand = count_;
      } else {
        cand = recno_ - 1;
      }
    }
    for (;;) {
      if (cand == 0) {
        SetToBegin();
        return DBIERR_BOF;
      }
      if (cand > count_) {
        DBIResult rc = RefreshCount();
        if (rc != DBIERR_NONE) return rc;
        if (cand > count_) {
          if (forward) {
            SetToEnd();
            return DBIERR_EOF;
          }
          cand = count_;
          continue;
        }
      }
      DBIResult rc = ReadInto(cand, rec_.data());
      if (rc != DBIERR_NONE) return rc;
      if (softDelete || rec_[0] != '*') return Land(cand, lock, buf, props);
      cand = forward ? cand + 1 : cand - 1;
    }
  }
  // Key order: every move starts again from the entry we stand on.
  Mdx* mdx = order_.mdx;
  MdxEntry e;
  DBIResult rc = DBIERR_NONE;
  if (forward) {
    if (pos_ == Pos::kEof) return DBIERR_EOF;
    if (pos_ == Pos::kBof) rc = mdx->First(order_.tag, &e);
    else if (pos_ == Pos::kBefore) e = entry_;
    else rc = mdx->Next(order_.tag, entry_, &e);
  } else {
    if (pos_ == Pos::kBof) return DBIERR_BOF;
    if (pos_ == Pos::kEof) rc = mdx->Last(order_.tag, &e);
    else rc = mdx->Prior(order_.tag, entry_, &e);
  }
  for (;;) {
    if (rc == DBIERR_EOF || (forward && rc == DBIERR_BOF)) {
      SetToEnd();
      return DBIERR_EOF;
    }
    if (rc == DBIERR_BOF || (!forward && rc == DBIERR_EOF)) {
      SetToBegin();
      return DBIERR_BOF;
    }
    if (rc != DBIERR_NONE) return rc;
    entry_ = e;
    bool usable = e.recno != 0;
    if (usable && e.recno > count_) {
      rc = RefreshCount();
      if (rc != DBIERR_NONE) return rc;
      // A record is counted before its entry is written: an entry past the count is damage.
      if (e.recno > count_) return DBIERR_INDEXCORRUPT;
    }
    if (usable) {
      rc = ReadInto(e.recno, rec_.data());
      if (rc != DBIERR_NONE) return rc;
      if (softDelete || rec_[0] != '*') return Land(e.recno, lock, buf, props);
    }
    MdxEntry from = e;
    rc = forward ? mdx->Next(order_.tag, from, &e) : mdx->Prior(order_.tag, from, &e);
  }
}

DBIResult DbiCursor::Next(DBILockType lock, std::uint8_t* buf, RECProps* props) {
  return Step(true, lock, buf, props);
}

DBIResult DbiCursor::Prior(DBILockType lock, std::uint8_t* buf, RECProps* props) {
  return Step(false, lock, buf, props);
}

DBIResult DbiCursor::Current(DBILockType lock, std::uint8_t* buf, RECProps* props) {
  if (pos_ == Pos::kBof) return DBIERR_BOF;
  if (pos_ == Pos::kEof) return DBIERR_EOF;
  if (pos_ != Pos::kOn) return DBIERR_NOCURRREC;
  // Always from the file: another process may have changed the record.
  return Land(recno_, lock, buf, props, true);
}

// ---------------------------------------------------------------- locks

DBIResult DbiCursor::LockRecord(std::uint32_t recno) {
  if (exclusive) return DBIERR_NONE;
  if (locks_.count(recno) != 0) return DBIERR_ALREADYLOCKED;
  if (!dbf_.writable() || readOnly) return DBIERR_NOTSUPPORTED;
  switch (OfdLock(dbf_.fd(), RecordLockByte(recno), 1, F_WRLCK, false)) {
    case LockOutcome::kGranted:
      locks_.insert(recno);
      return DBIERR_NONE;
    case LockOutcome::kBusy:
      return DBIERR_LOCKED;
    default:
      return DBIERR_OSERROR;
  }
}

bool DbiCursor::SameDataFile(const DbiCursor& other) const {
  return dbf_.SameFileAs(other.dbf_);
}

void DbiCursor::Unlock(std::uint32_t recno) {
  OfdUnlock(dbf_.fd(), RecordLockByte(recno), 1);
  locks_.erase(recno);
}

DBIResult DbiCursor::ReleaseLock(bool all) {
  if (all) {
    for (std::uint32_t r : locks_) OfdUnlock(dbf_.fd(), RecordLockByte(r), 1);
    locks_.clear();
    return DBIERR_NONE;
  }
  if (pos_ != Pos::kOn || locks_.count(recno_) == 0) return DBIERR_NOTLOCKED;
  Unlock(recno_);
  return DBIERR_NONE;
}

// The record lock a write needs: when the cursor does not hold it, it is taken for the write
// and released when the write ends, whatever the write gave.
class DbiCursor::WriteLock {
 public:
  WriteLock(DbiCursor& cursor, std::uint32_t recno) : cursor_(cursor), recno_(recno) {
    if (cursor.exclusive || cursor.locks_.count(recno) != 0) return;
    result_ = cursor.LockRecord(recno);
    taken_ = result_ == DBIERR_NONE;
  }
  ~WriteLock() {
    if (taken_ || (releaseHeld_ && cursor_.locks_.count(recno_) != 0)) cursor_.Unlock(recno_);
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

  DBIResult result() const { return result_; }
  // A lock the cursor held before the write goes too.
  void ReleaseHeldLock() { releaseHeld_ = true; }

 private:
  DbiCursor& cursor_;
  std::uint32_t recno_;
  DBIResult result_ = DBIERR_NONE;
  bool taken_ = false;
  bool releaseHeld_ = false;
};

DBIResult DbiCursor::AcquireCreateLock() {
  if (exclusive) return DBIERR_NONE;
  if (createLock_) return DBIERR_ALREADYLOCKED;
  if (!dbf_.writable() || readOnly) return DBIERR_NOTSUPPORTED;
  // A station stopped while it holds the lock is waited for only so long: the caller gets
  // the timeout with the file's name and creates nothing.
  const LockOutcome got = OfdLock(dbf_.fd(), kCreateLockByte, 1, F_WRLCK, true);
  if (got == LockOutcome::kTimedOut) {
    NoteLockTimeout(dbf_.path());
    return DBIERR_LOCKTIMEOUT;
  }
  if (got != LockOutcome::kGranted) return DBIERR_OSERROR;
  createLock_ = true;
  return DBIERR_NONE;
}

DBIResult DbiCursor::ReleaseCreateLock() {
  if (exclusive) return DBIERR_NONE;
  if (!createLock_) return DBIERR_NOTLOCKED;
  OfdUnlock(dbf_.fd(), kCreateLockByte, 1);
  createLock_ = false;
  return DBIERR_NONE;
}

// ---------------------------------------------------------------- writes

DBIResult DbiCursor::RepairIndex() {
  if (readOnly || !dbf_.writable()) return DBIERR_INDEXOUTOFDATE;
  // A shared cursor holds the table alone for the time of the rebuild, as a change to
  // exclusive mode would: granted only while no other cursor of any process has it open.
  // The index object stays as it is, and so does the cursor's place.
  if (!exclusive) {
    const DBIResult got = LockAlone();
    if (got != DBIERR_NONE) return got == DBIERR_LOCKLOST ? got : DBIERR_INDEXOUTOFDATE;
  }
  // The mark is an update of ours that was killed: the records a grouped append of it left past
  // the count go with it, as an exclusive open would cut them, before the index is made from the
  // records (once the mark is gone they would pass for records counted once).
  DBIResult rc = DBIERR_NONE;
  std::uint32_t grouped = 0;
  if (dbf_.UncountedRecords(&grouped, 2) == DBIERR_NONE && grouped > 0) rc = dbf_.CutPastCount(true, 2);
  countKnown_ = false;
  if (rc == DBIERR_NONE) rc = RefreshCount();
  if (rc == DBIERR_NONE) {
    FileSource src(dbf_, count_);
    rc = mdx_->Rebuild(&src);
    if (rc == DBIERR_NONE) rc = src.status();
  }
  if (!exclusive) {
    const DBIResult back = LockShared();
    if (rc == DBIERR_NONE) rc = back;
  }
  return rc;
}

DBIResult DbiCursor::RepairIndexIfInterrupted(bool* repaired) {
  *repaired = false;
  if (!mdx_) return DBIERR_NONE;
  std::vector<MdxTagInfo> tags;
  DBIResult rc = mdx_->Tags(&tags);
  if (rc != DBIERR_NONE || !mdx_->Interrupted()) return rc;
  rc = RepairIndex();
  *repaired = rc == DBIERR_NONE;
  return rc;
}

DBIResult DbiCursor::RebuildIndex() {
  if (!exclusive || readOnly) return DBIERR_NEEDEXCLACCESS;
  if (!mdx_) return DBIERR_NONE;
  countKnown_ = false;
  DBIResult rc = RefreshCount();
  if (rc != DBIERR_NONE) return rc;
  FileSource src(dbf_, count_);
  rc = mdx_->Rebuild(&src);
  return rc == DBIERR_NONE ? src.status() : rc;
}

DBIResult DbiCursor::CheckIndex() {
  if (!mdx_) return DBIERR_NONE;
  countKnown_ = false;
  DBIResult rc = RefreshCount();
  std::vector<MdxTagInfo> tags;
  if (rc == DBIERR_NONE) rc = mdx_->Tags(&tags);
  for (const MdxTagInfo& tag : tags) {
    if (rc == DBIERR_NONE) rc = mdx_->Check(tag.name);
    if (rc != DBIERR_NONE) return rc;
    // The entries the records call for (a unique tag keeps a key's first record) ...
    std::vector<std::pair<std::string, std::uint32_t>> wanted, found;
    FileSource src(dbf_, count_);
    std::uint32_t recno = 0;
    const std::uint8_t* record = nullptr;
    while (src.Next(&recno, &record)) {
      std::string key;
      bool included = false;
      rc = mdx_->KeyOf(tag.name, record, &key, &included);
      if (rc != DBIERR_NONE) return rc;
      if (included) wanted.emplace_back(std::move(key), recno);
    }
    if (src.status() != DBIERR_NONE) return src.status();
    std::sort(wanted.begin(), wanted.end());
    if (tag.unique)
      wanted.erase(std::unique(wanted.begin(), wanted.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                   wanted.end());
    // ... and those the tag holds, walked in its order.
    MdxEntry entry, next;
    for (rc = mdx_->First(tag.name, &entry); rc == DBIERR_NONE; rc = mdx_->Next(tag.name, entry, &next), entry = next) {
      if (found.size() >= wanted.size()) return DBIERR_INDEXCORRUPT;
      found.emplace_back(entry.key, entry.recno);
    }
    if (rc != DBIERR_EOF) return rc;
    std::sort(found.begin(), found.end());
    if (found != wanted) return DBIERR_INDEXCORRUPT;
    rc = DBIERR_NONE;
  }
  return rc;
}

DBIResult DbiCursor::BeginIndexUpdate(bool append) {
  DBIResult rc = mdx_->BeginUpdate(append);
  if (rc != DBIERR_INDEXOUTOFDATE) return rc;
  rc = RepairIndex();
  return rc == DBIERR_NONE ? mdx_->BeginUpdate(append) : rc;
}

DBIResult DbiCursor::MaintainIndex(std::uint32_t recno, const std::uint8_t* oldRec, const std::uint8_t* newRec) {
  if (!mdx_) return DBIERR_NONE;
  return mdx_->RecordChanged(recno, oldRec, newRec);
}

DBIResult DbiCursor::UncountedRecords(std::uint32_t* whole) {
  *whole = 0;
  // A killed append of ours left them: its index is marked, and the repair cuts them off.
  if (mdx_ && mdx_->Interrupted()) return DBIERR_NONE;
  return dbf_.UncountedRecords(whole, 2);
}

DBIResult DbiCursor::TakeAppendLock() {
  const LockOutcome got = OfdLock(dbf_.fd(), kAppendLockByte, 1, F_WRLCK, true);
  if (got == LockOutcome::kTimedOut) {
    NoteLockTimeout(dbf_.path());
    return DBIERR_LOCKTIMEOUT;
  }
  return got == LockOutcome::kGranted ? DBIERR_NONE : DBIERR_OSERROR;
}

// Under the appends' lock the header count is the truth, read on every append, so a tool that
// appends without our locks (dBASE, a script) never sees its record overwritten; a count above
// the one we knew (another process appended, or a damaged header) is checked against the file
// size.
DBIResult DbiCursor::ReadCountUnderLock() {
  std::uint32_t stored = 0;
  DBIResult rc = dbf_.ReadStoredCount(&stored);
  if (rc == DBIERR_NONE) {
    if (stored <= count_) count_ = stored;
    else rc = dbf_.ReadCount(&count_);
  }
  return rc;
}

DBIResult DbiCursor::Insert(DBILockType lock, std::uint8_t* buf) {
  if (readOnly) return DBIERR_NOTSUPPORTED;
  if (buf == nullptr) return DBIERR_INVALIDPARAM;
  if (buf[0] != ' ' && buf[0] != '*') return DBIERR_FIELDVALERR;
  DBIResult rc = FlushBlobs(buf, true);
  if (rc != DBIERR_NONE) return rc;
  aheadCount_ = 0;
  // Appends of all processes are serialised; the count is read again under the lock. A
  // table with a production index serialises them with the index's update lock, held from
  // before the count is read until its entries are written: one lock for the whole append
  // (every process that can append to such a table has its index open, see Open). A table
  // without one uses the append lock byte of the data file.
  bool locked = false;
  bool indexLocked = false;
  bool leftWritten = false;  // a record written and not taken back: the index stays marked
  if (mdx_) {
    rc = BeginIndexUpdate(true);
    if (rc != DBIERR_NONE) return rc;
    indexLocked = true;
  } else if (!exclusive) {
    rc = TakeAppendLock();
    if (rc != DBIERR_NONE) return rc;
    locked = true;
  }
  if (!exclusive) {
    rc = ReadCountUnderLock();
  } else {
    rc = RefreshCount();
  }
  // A record the index could not follow is not written at all.
  if (rc == DBIERR_NONE && mdx_) rc = mdx_->CheckMaintainable();
  std::uint32_t n = count_ + 1;
  if (rc == DBIERR_NONE && n == 0) rc = DBIERR_INVALIDPARAM;
  bool written = false;
  if (rc == DBIERR_NONE) {
    written = true;
    rc = dbf_.WriteAppended(n, buf);
  }
  if (rc == DBIERR_NONE) {
    if (DbiAppendHook != nullptr) DbiAppendHook();
    rc = dbf_.WriteCount(n);
  }
  if (rc == DBIERR_NONE) rc = MaintainIndex(n, nullptr, buf);
  if (rc == DBIERR_NONE && indexLocked) rc = mdx_->WritePending();
  if (rc == DBIERR_NONE) {
    count_ = n;
  } else if (written) {
    // Still under the lock: the record and the count go back to what they were (the index
    // pages of a failed update never reach the file), so a retry adds the record once. When
    // they cannot, the update mark stays: the index no longer matches the table.
    leftWritten = dbf_.TruncateTo(n - 1) != DBIERR_NONE;
    aheadCount_ = 0;
  }
  if (indexLocked) {
    DBIResult r2 = mdx_->EndUpdate(rc == DBIERR_NONE, leftWritten);
    if (rc == DBIERR_NONE) rc = r2;
  }
  if (locked) OfdUnlock(dbf_.fd(), kAppendLockByte, 1);
  if (rc != DBIERR_NONE) return rc;
  std::memcpy(rec_.data(), buf, rec_.size());
  pos_ = Pos::kOn;
  recno_ = n;
  rc = KeyForCurrent();
  if (rc == DBIERR_NONE && lock == dbiWRITELOCK) rc = LockRecord(n);
  return rc;
}

DBIResult DbiCursor::AppendRecords(std::uint32_t count, const std::uint8_t* records, std::uint32_t* firstOut) {
  if (readOnly) return DBIERR_NOTSUPPORTED;
  if (records == nullptr) return DBIERR_INVALIDPARAM;
  const std::size_t len = dbf_.recordLength();
  for (std::uint32_t i = 0; i < count; ++i)
    if (records[i * len] != ' ' && records[i * len] != '*') return DBIERR_FIELDVALERR;
  if (count == 0) return DBIERR_NONE;
  if (!exclusive) return AppendRecordsShared(count, records, firstOut);
  aheadCount_ = 0;
  DBIResult rc = RefreshCount();
  if (rc == DBIERR_NONE && mdx_) rc = mdx_->CheckMaintainable();
  if (rc != DBIERR_NONE) return rc;
  const std::uint32_t first = count_ + 1;
  if (first + count < first) return DBIERR_INVALIDPARAM;
  // The index's update mark goes in before the first record: the entries of an exclusive
  // index reach the file only at its write-back, and a batch killed before it leaves the
  // mark, so the next open rebuilds the tags rather than miss the batch's records.
  const bool indexed = mdx_ != nullptr;
  if (indexed) {
    rc = BeginIndexUpdate(true);
    if (rc != DBIERR_NONE) return rc;
  }
  // The records first, then the count and the end mark, as a single append does; a batch
  // that cannot be written whole (a full disk) is taken back.
  rc = dbf_.WriteRecords(first, count, records);
  if (rc == DBIERR_NONE) rc = dbf_.TruncateTo(count_ + count);
  bool written = rc == DBIERR_NONE;
  if (rc != DBIERR_NONE) written = dbf_.TruncateTo(count_) != DBIERR_NONE;
  if (rc == DBIERR_NONE) {
    count_ += count;
    if (indexed) rc = mdx_->RecordsAppended(first, count, records, static_cast<std::uint32_t>(len));
  }
  if (indexed) {
    const DBIResult ended = mdx_->EndUpdate(rc == DBIERR_NONE, written);
    if (rc == DBIERR_NONE) rc = ended;
  }
  SetToEnd();
  if (rc == DBIERR_NONE && firstOut != nullptr) *firstOut = first;
  return rc;
}

// The batch of a table other stations share: serialised with their appends as one append is
// (the index's update lock, else the append lock byte), the count read again under the lock,
// the records and the count written, then the index entries of all of them written back once.
DBIResult DbiCursor::AppendRecordsShared(std::uint32_t count, const std::uint8_t* records, std::uint32_t* firstOut) {
  const std::size_t len = dbf_.recordLength();
  aheadCount_ = 0;
  DBIResult rc = DBIERR_NONE;
  bool locked = false;
  const bool indexed = mdx_ != nullptr;
  if (indexed) {
    rc = BeginIndexUpdate(true);
    if (rc != DBIERR_NONE) return rc;
  } else {
    rc = TakeAppendLock();
    if (rc != DBIERR_NONE) return rc;
    locked = true;
  }
  rc = ReadCountUnderLock();
  if (rc == DBIERR_NONE && mdx_) rc = mdx_->CheckMaintainable();
  const std::uint32_t first = count_ + 1;
  if (rc == DBIERR_NONE && (first == 0 || first + count < first)) rc = DBIERR_INVALIDPARAM;
  bool written = false, leftWritten = false;
  if (rc == DBIERR_NONE) {
    written = true;
    rc = dbf_.WriteAppendedRecords(first, count, records);
  }
  if (rc == DBIERR_NONE) {
    if (DbiAppendHook != nullptr) DbiAppendHook();
    rc = dbf_.WriteCount(count_ + count);
  }
  if (rc == DBIERR_NONE && indexed) rc = mdx_->RecordsAppended(first, count, records, static_cast<std::uint32_t>(len));
  if (rc == DBIERR_NONE && indexed) rc = mdx_->WritePending();
  if (rc == DBIERR_NONE) {
    count_ += count;
  } else if (written) {
    // Still under the lock: the records and the count go back to what they were (the index
    // pages of a failed update are put back). When they cannot, the mark stays.
    leftWritten = dbf_.TruncateTo(first - 1) != DBIERR_NONE;
  }
  if (indexed) {
    const DBIResult ended = mdx_->EndUpdate(rc == DBIERR_NONE, leftWritten);
    if (rc == DBIERR_NONE) rc = ended;
  }
  if (locked) OfdUnlock(dbf_.fd(), kAppendLockByte, 1);
  SetToEnd();
  if (rc == DBIERR_NONE && firstOut != nullptr) *firstOut = first;
  return rc;
}

// A record rewritten in place (a change or a delete mark). The index update spans the record
// write, so a write cut short leaves its mark; and the index is taken before anything is
// written: a wait that gives up leaves no record written without its entries. `prepare` sees
// the old record in old_ and names the new one; `write` puts it on disk. A rewrite that fails
// after its record was written puts the old record back.
DBIResult DbiCursor::RewriteCurrent(const std::function<DBIResult(const std::uint8_t*& rec)>& prepare,
                                    const std::function<DBIResult(const std::uint8_t* rec)>& write) {
  DBIResult rc = DBIERR_NONE;
  bool indexed = false, written = false;
  memosBefore_.clear();
  if (mdx_) {
    rc = BeginIndexUpdate(false);
    indexed = rc == DBIERR_NONE;
  }
  if (rc == DBIERR_NONE) rc = dbf_.ReadRecord(recno_, old_.data());
  if (rc == DBIERR_NONE && mdx_) rc = mdx_->CheckMaintainable();
  const std::uint8_t* rec = nullptr;
  if (rc == DBIERR_NONE) rc = prepare(rec);
  if (rc == DBIERR_NONE) {
    written = true;
    rc = write(rec);
  }
  if (rc == DBIERR_NONE) rc = MaintainIndex(recno_, old_.data(), rec);
  if (rc == DBIERR_NONE) rc = dbf_.StampLastUpdate();
  // The index pages written while the update still holds the lock: when they are refused, the
  // record goes back too before the update ends and puts its pages back.
  if (rc == DBIERR_NONE && indexed) rc = mdx_->WritePending();
  // A change that fails never stands: the record goes back as it was read, and with it the memos
  // it rewrote in place (the last one first), so that the caller finds the table as before its
  // call. While the record cannot, the index keeps its mark and the memos stay as written.
  bool restored = false;
  auto putBackMemos = [&] {
    for (auto m = memosBefore_.rbegin(); m != memosBefore_.rend(); ++m) (void)dbt_.PutBack(m->first, m->second);
  };
  auto restore = [&] {
    restored = dbf_.WriteRecord(recno_, old_.data()) == DBIERR_NONE;
    std::memcpy(rec_.data(), old_.data(), rec_.size());
    if (restored) putBackMemos();
  };
  if (rc != DBIERR_NONE && written) restore();
  if (rc != DBIERR_NONE && !written) putBackMemos();
  if (indexed) {
    DBIResult r2 = mdx_->EndUpdate(rc == DBIERR_NONE, written && !restored);
    if (rc == DBIERR_NONE) {
      rc = r2;
      if (rc != DBIERR_NONE) restore();  // the index pages cut short keep their mark
    }
  }
  memosBefore_.clear();
  return rc;
}

DBIResult DbiCursor::Modify(std::uint8_t* buf, bool freeLock) {
  if (readOnly) return DBIERR_NOTSUPPORTED;
  if (pos_ != Pos::kOn) return DBIERR_NOCURRREC;
  if (buf == nullptr) return DBIERR_INVALIDPARAM;
  if (buf[0] != ' ' && buf[0] != '*') return DBIERR_FIELDVALERR;
  WriteLock lock(*this, recno_);
  if (lock.result() != DBIERR_NONE) return lock.result();
  if (freeLock) lock.ReleaseHeldLock();
  aheadCount_ = 0;
  DBIResult rc = RewriteCurrent(
      [&](const std::uint8_t*& rec) {
        rec = buf;
        return FlushBlobs(buf, false);
      },
      [&](const std::uint8_t* rec) { return dbf_.WriteRecord(recno_, rec); });
  if (rc == DBIERR_NONE) {
    std::memcpy(rec_.data(), buf, rec_.size());
    rc = KeyForCurrent();
  } else if (rc == DBIERR_DISKFULL || rc == DBIERR_OSERROR || rc == DBIERR_OSACCESS) {
    // A write the system refused leaves nothing of it in the caller's record either: it gets the
    // record as the file holds it, so that its next write, the disk back, does not carry the
    // refused one along.
    if (dbf_.ReadRecord(recno_, rec_.data()) == DBIERR_NONE) std::memcpy(buf, rec_.data(), rec_.size());
  }
  return rc;
}

DBIResult DbiCursor::SetDeleted(bool deleted, std::uint8_t* buf) {
  if (readOnly) return DBIERR_NOTSUPPORTED;
  if (pos_ != Pos::kOn) return DBIERR_NOCURRREC;
  WriteLock lock(*this, recno_);
  if (lock.result() != DBIERR_NONE) return lock.result();
  aheadCount_ = 0;
  const char mark = deleted ? '*' : ' ';
  DBIResult rc = RewriteCurrent(
      [&](const std::uint8_t*& rec) {
        std::memcpy(rec_.data(), old_.data(), rec_.size());
        rec_[0] = static_cast<std::uint8_t>(mark);
        rec = rec_.data();
        return DBIERR_NONE;
      },
      [&](const std::uint8_t*) { return dbf_.WriteDeleteMark(recno_, rec_[0]); });
  if (rc == DBIERR_NONE && buf != nullptr) buf[0] = rec_[0];
  return rc;
}

DBIResult DbiCursor::DeleteRecords(std::uint32_t count, const std::uint32_t* recnos) {
  if (readOnly) return DBIERR_NOTSUPPORTED;
  if (!exclusive) return DBIERR_NEEDEXCLACCESS;
  if (count == 0) return DBIERR_NONE;
  if (recnos == nullptr) return DBIERR_INVALIDPARAM;
  aheadCount_ = 0;
  SetToBegin();
  DBIResult rc = RefreshCount();
  if (rc != DBIERR_NONE) return rc;
  for (std::uint32_t i = 0; i < count; ++i)
    if (recnos[i] == 0 || recnos[i] > count_ || (i > 0 && recnos[i] <= recnos[i - 1])) return DBIERR_INVALIDPARAM;
  // As for one record: the index update spans the writes, and is taken before any of them.
  bool indexed = false, written = false;
  if (mdx_) {
    rc = BeginIndexUpdate(false);
    indexed = rc == DBIERR_NONE;
  }
  if (rc == DBIERR_NONE && mdx_) rc = mdx_->CheckMaintainable();
  const std::size_t len = dbf_.recordLength();
  const std::uint32_t per = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(kChunkBytes / len));
  std::vector<std::uint8_t> stretch;
  // Stretches of at most `per` records from a record to mark: read whole, marked, then written
  // back from the first mark to the last with one write.
  for (std::uint32_t i = 0; i < count && rc == DBIERR_NONE;) {
    const std::uint32_t first = recnos[i];
    const std::uint32_t n = std::min(per, count_ - first + 1);
    stretch.resize(static_cast<std::size_t>(n) * len);
    rc = dbf_.ReadRecords(first, n, stretch.data());
    std::uint32_t last = 0;
    for (; rc == DBIERR_NONE && i < count && recnos[i] < first + n; ++i) {
      std::uint8_t* rec = stretch.data() + static_cast<std::size_t>(recnos[i] - first) * len;
      if (rec[0] == '*') continue;
      // No key or tag condition reads the delete mark: the index entries stay as they are.
      rec[0] = '*';
      last = recnos[i];
    }
    if (rc == DBIERR_NONE && last != 0) {
      written = true;
      rc = dbf_.WriteRecords(first, last - first + 1, stretch.data());
    }
  }
  if (rc == DBIERR_NONE && written) rc = dbf_.StampLastUpdate();
  if (indexed) {
    DBIResult r2 = mdx_->EndUpdate(rc == DBIERR_NONE, written);
    if (rc == DBIERR_NONE) rc = r2;
  }
  return rc;
}

DBIResult DbiCursor::SaveChanges() {
  if (mdx_) return mdx_->Flush();
  return DBIERR_NONE;
}

// ---------------------------------------------------------------- fields

DBIResult DbiCursor::GetField(std::uint16_t field, const std::uint8_t* buf, void* dest, bool* blank) const {
  if (field == 0 || field > layout_.size() || buf == nullptr || dest == nullptr) return DBIERR_INVALIDPARAM;
  const FieldLayout& f = layout_[field - 1];
  const std::uint8_t* raw = buf + f.offset;
  bool isBlank = AllBlank(raw, f.length);
  if (blank != nullptr) *blank = isBlank;
  if (xlt == xltNONE || f.type == 'U') {
    std::memcpy(dest, raw, f.length);
    static_cast<char*>(dest)[f.length] = 0;
    return DBIERR_NONE;
  }
  switch (f.type) {
    case 'C': {
      std::size_t n = f.length;
      while (n > 0 && (raw[n - 1] == ' ' || raw[n - 1] == 0)) --n;
      std::memcpy(dest, raw, n);
      static_cast<char*>(dest)[n] = 0;
      return DBIERR_NONE;
    }
    case 'N':
    case 'F': {
      char text[32];
      std::size_t n = std::min<std::size_t>(f.length, sizeof text - 1);
      std::memcpy(text, raw, n);
      text[n] = 0;
      char* end = nullptr;
      double v = std::strtod(text, &end);
      if (end == text || !std::isfinite(v)) {
        v = 0;
        if (blank != nullptr) *blank = true;
      }
      std::memcpy(dest, &v, sizeof v);
      return DBIERR_NONE;
    }
    case 'D': {
      std::int32_t jd = isBlank ? 0 : static_cast<std::int32_t>(JulianDay(
                                      std::string_view(reinterpret_cast<const char*>(raw), f.length)));
      if (jd == 0 && blank != nullptr) *blank = true;
      std::memcpy(dest, &jd, sizeof jd);
      return DBIERR_NONE;
    }
    case 'L': {
      std::int16_t v = std::strchr("TtYy", raw[0]) != nullptr && raw[0] != 0 ? 1 : 0;
      if (std::strchr("TtYyFfNn", raw[0]) == nullptr || raw[0] == 0) {
        if (blank != nullptr) *blank = true;
      }
      std::memcpy(dest, &v, sizeof v);
      return DBIERR_NONE;
    }
    default:
      return DBIERR_NOTSUPPORTED;  // memo fields are read through the memo calls
  }
}

DBIResult DbiCursor::PutField(std::uint16_t field, std::uint8_t* buf, const void* src) const {
  if (field == 0 || field > layout_.size() || buf == nullptr) return DBIERR_INVALIDPARAM;
  const FieldLayout& f = layout_[field - 1];
  std::uint8_t* raw = buf + f.offset;
  if (src == nullptr) {
    if (f.type == 'M') return DBIERR_NOTSUPPORTED;
    std::memset(raw, ' ', f.length);
    return DBIERR_NONE;
  }
  if (xlt == xltNONE || f.type == 'U') {
    std::memcpy(raw, src, f.length);
    return DBIERR_NONE;
  }
  switch (f.type) {
    case 'C': {
      const char* s = static_cast<const char*>(src);
      std::size_t n = strnlen(s, f.length);
      std::memcpy(raw, s, n);
      std::memset(raw + n, ' ', f.length - n);
      return DBIERR_NONE;
    }
    case 'N':
    case 'F': {
      double v;
      std::memcpy(&v, src, sizeof v);
      if (!std::isfinite(v)) return DBIERR_MINVALERR;
      // Fixed notation with the field's decimals, rounded as printf's "%.*f" rounds (the
      // exact binary value, ties to even), right-aligned in the field.
      char text[400];
      const std::to_chars_result r =
          std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, static_cast<int>(f.decimals));
      if (r.ec != std::errc()) return DBIERR_MINVALERR;
      const std::size_t n = static_cast<std::size_t>(r.ptr - text);
      if (n > f.length) return DBIERR_MINVALERR;
      std::memset(raw, ' ', f.length - n);
      std::memcpy(raw + (f.length - n), text, n);
      return DBIERR_NONE;
    }
    case 'D': {
      std::int32_t jd;
      std::memcpy(&jd, src, sizeof jd);
      if (jd <= 0) {
        std::memset(raw, ' ', f.length);
        return DBIERR_NONE;
      }
      int y, m, d;
      JulianToDate(jd, &y, &m, &d);
      if (y < 1 || y > 9999) return DBIERR_MINVALERR;
      char text[48];
      snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
      std::memcpy(raw, text, std::min<std::size_t>(8, f.length));
      return DBIERR_NONE;
    }
    case 'L': {
      std::int16_t v;
      std::memcpy(&v, src, sizeof v);
      raw[0] = v != 0 ? 'T' : 'F';
      return DBIERR_NONE;
    }
    default:
      return DBIERR_NOTSUPPORTED;
  }
}

void DbiCursor::FillDescs(FLDDesc* descs) const {
  for (std::size_t i = 0; i < layout_.size(); ++i) {
    const FieldLayout& f = layout_[i];
    FLDDesc d;
    d.iFldNum = static_cast<std::uint16_t>(i + 1);
    std::snprintf(d.szName, sizeof d.szName, "%s", f.name.c_str());
    d.iUnits1 = static_cast<std::int16_t>(f.length);
    d.iUnits2 = static_cast<std::int16_t>(f.decimals);
    d.iOffset = static_cast<std::uint16_t>(f.offset);
    if (xlt == xltNONE) {
      d.iFldType = static_cast<std::uint16_t>(f.type);
      d.iLen = static_cast<std::uint16_t>(f.length);
    } else {
      switch (f.type) {
        case 'C': d.iFldType = fldZSTRING; d.iLen = static_cast<std::uint16_t>(f.length + 1); break;
        case 'D': d.iFldType = fldDATE; d.iLen = 4; break;
        case 'M': d.iFldType = fldBLOB; d.iLen = 0; break;
        case 'L': d.iFldType = fldBOOL; d.iLen = 2; break;
        case 'N':
        case 'F': d.iFldType = fldFLOAT; d.iLen = 8; break;
        default: d.iFldType = fldUNKNOWN; d.iLen = static_cast<std::uint16_t>(f.length + 1); break;
      }
    }
    descs[i] = d;
  }
}

void DbiCursor::FillProps(CURProps* props) {
  *props = CURProps();
  std::snprintf(props->szName, sizeof props->szName, "%s", dbfPath.c_str());
  std::snprintf(props->szTableType, sizeof props->szTableType, "%s", "DBASE");
  props->iFields = static_cast<std::uint16_t>(layout_.size());
  props->iRecSize = dbf_.recordLength();
  props->iRecBufSize = dbf_.recordLength();
  props->iKeySize = order_.keyLength;
  if (mdx_) {
    std::vector<MdxTagInfo> tags;
    if (mdx_->Tags(&tags) == DBIERR_NONE) props->iIndexes = static_cast<std::uint16_t>(tags.size());
  }
  props->iLanguageDriver = dbf_.languageDriver();
  props->eOpenMode = readOnly ? dbiREADONLY : dbiREADWRITE;
  props->eShareMode = exclusive ? dbiOPENEXCL : dbiOPENSHARED;
  props->bIndexed = order_.mdx != nullptr;
  props->bSoftDeletes = softDelete;
  props->bProductionIndex = mdx_ != nullptr;
  std::uint32_t n = 0;
  if (RecordCount(&n) == DBIERR_NONE) props->iRecords = n;
}

// ---------------------------------------------------------------- memo fields

DBIResult DbiCursor::OpenBlob(std::uint16_t field, const std::uint8_t* buf, bool) {
  if (field == 0 || field > layout_.size() || buf == nullptr) return DBIERR_INVALIDPARAM;
  const FieldLayout& f = layout_[field - 1];
  if (f.type != 'M') return DBIERR_INVALIDPARAM;
  if (!dbt_.IsOpen()) return DBIERR_MEMOCORRUPT;
  std::uint32_t block = 0;
  DBIResult rc = DbtFile::ParseReference(buf + f.offset, f.length, &block);
  std::string text;
  if (rc == DBIERR_NONE) rc = dbt_.Read(block, &text);
  if (rc != DBIERR_NONE) return rc;
  blobs_[field] = {std::move(text), false};
  return DBIERR_NONE;
}

DBIResult DbiCursor::Blob(std::uint16_t field, std::string** text, bool write) {
  auto it = blobs_.find(field);
  if (it == blobs_.end()) return DBIERR_INVALIDPARAM;
  if (write) {
    if (readOnly) return DBIERR_NOTSUPPORTED;
    it->second.second = true;
  }
  *text = &it->second.first;
  return DBIERR_NONE;
}

DBIResult DbiCursor::FreeBlob(std::uint16_t field) {
  return blobs_.erase(field) != 0 ? DBIERR_NONE : DBIERR_INVALIDPARAM;
}

DBIResult DbiCursor::FlushBlobs(std::uint8_t* buf, bool fresh) {
  for (auto& [field, blob] : blobs_) {
    if (!blob.second) continue;
    const FieldLayout& f = layout_[field - 1];
    std::uint32_t oldBlock = 0;
    // The blocks the record holds on disk may be reused; a new record always gets new ones.
    if (!fresh && DbtFile::ParseReference(old_.data() + f.offset, f.length, &oldBlock) != DBIERR_NONE)
      oldBlock = 0;
    std::uint32_t block = 0;
    std::vector<std::uint8_t> overwritten;
    DBIResult rc = dbt_.Write(oldBlock, blob.first, &block, fresh ? nullptr : &overwritten);
    if (!overwritten.empty()) memosBefore_.emplace_back(oldBlock, std::move(overwritten));
    if (rc != DBIERR_NONE) return rc;
    DbtFile::FormatReference(block, buf + f.offset, f.length);
    blob.second = false;
  }
  return DBIERR_NONE;
}

// ---------------------------------------------------------------- maintenance

// The new files (index, memo, data, in that order, so that a new data file never lies
// beside old copies of the others) are written whole under the suffix, then renamed over the
// old ones, data last. A kill at any point leaves files that the next open puts in order.
DBIResult DbiCursor::Pack(bool) {
  if (!exclusive) return DBIERR_NEEDEXCLACCESS;
  if (readOnly) return DBIERR_NOTSUPPORTED;
  DBIResult rc = RefreshCount();
  if (rc == DBIERR_NONE && mdx_) rc = mdx_->Flush();
  if (rc != DBIERR_NONE) return rc;
  DbfFile fresh;
  rc = WritePack(&fresh);
  const std::vector<std::string> files = PackedFiles();
  if (rc != DBIERR_NONE) {
    fresh.Close();
    (void)DropPackFiles();
    return rc;
  }
  std::uint32_t count = 0;
  rc = fresh.ReadCount(&count);
  if (rc != DBIERR_NONE) return rc;
  const bool ordered = order_.mdx != nullptr && order_.mdx == mdx_.get();
  const std::string orderTag = order_.tag;
  if (mdx_) rc = mdx_->Close();
  mdx_.reset();
  if (ordered) order_ = Order();
  dbt_.Close();
  const std::string journal = dbfPath + kPackJournalSuffix;
  bool journaled = false;
  if (rc == DBIERR_NONE) {
    rc = WriteJournal(journal, files);
    journaled = rc == DBIERR_NONE;
  }
  for (const std::string& f : files)
    if (rc == DBIERR_NONE) rc = RenameFile(f + kPackSuffix, f);
  // The folder's entries reach the disk with the renames; the journal goes after them.
  if (rc == DBIERR_NONE) {
    const std::string folder = FolderOf(dbfPath);
    (void)SyncFile(folder.empty() ? "." : folder);
    (void)RemoveFile(journal);  // one left behind is dropped by the next open
  }
  // From the data file's rename on, the new table is the table; this cursor holds it alone.
  if (!platform::FileExists(dbfPath + kPackSuffix)) {
    dbf_.TakeOver(fresh);
  } else {
    if (rc == DBIERR_NONE) rc = DBIERR_OSERROR;
    // No rename began without the journal: the old table stays, the new files go.
    if (!journaled) {
      fresh.Close();
      (void)DropPackFiles();
    }
  }
  count_ = rc == DBIERR_NONE ? count : 0;
  countKnown_ = rc == DBIERR_NONE;
  aheadCount_ = 0;
  blobs_.clear();
  SetToBegin();
  if (dbf_.hasMemo()) {
    DBIResult r2 = dbt_.Open(dbtPath, true, dbf_.dbase3Memo());
    if (rc == DBIERR_NONE) rc = r2;
  }
  if (dbf_.productionIndexFlag()) {
    DBIResult r2 = Mdx::Open(mdxPath, layout_, readOnly, exclusive, &mdx_, CharacterOrder());
    if (rc == DBIERR_NONE) rc = r2;
    if (ordered && mdx_) {
      MdxTagInfo info;
      if (mdx_->FindTag(orderTag, &info) == DBIERR_NONE) {
        order_.mdx = mdx_.get();
        order_.tag = info.name;
        order_.keyLength = info.keyLength;
      }
    }
  }
  return rc;
}

DBIResult DbiCursor::WritePack(DbfFile* fresh) {
  const std::string newData = dbfPath + kPackSuffix;
  const std::string newMemo = dbtPath + kPackSuffix;
  const std::string newIndex = mdxPath + kPackSuffix;
  DBIResult rc = DBIERR_NONE;
  // The new index: a fresh file given the same tags, unless a tag was written by another tool
  // (descending, unique), which is kept as it is in a copy of the file rebuilt whole.
  std::vector<MdxTagInfo> tags;
  if (mdx_) rc = mdx_->Tags(&tags);
  if (rc != DBIERR_NONE) return rc;
  bool freshIndex = true;
  for (const MdxTagInfo& t : tags)
    if (t.descending || t.unique) freshIndex = false;
  std::string indexTable;
  if (mdx_ && freshIndex && !ReadMdxTableName(mdxPath, &indexTable)) freshIndex = false;
  std::unique_ptr<Mdx> index;
  if (mdx_ && freshIndex) {
    rc = Mdx::Create(newIndex, indexTable, mdx_->production(), layout_, true, &index, CharacterOrder());
  } else if (mdx_) {
    rc = CopyFile(mdxPath, newIndex);
  }
  if (rc != DBIERR_NONE) return rc;
  const std::uint16_t len = dbf_.recordLength();
  const std::uint32_t per = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(kChunkBytes * 16 / len));
  std::vector<std::uint8_t> in(static_cast<std::size_t>(per) * len);
  std::vector<std::uint8_t> out(in.size());

  // Memo texts of the live records go to the new memo file first.
  std::vector<std::uint32_t> memoRefs;
  std::vector<std::size_t> memoFields;
  for (std::size_t i = 0; i < layout_.size(); ++i)
    if (layout_[i].type == 'M') memoFields.push_back(i);
  const bool memo = dbf_.hasMemo();
  if (memo) {
    rc = DbtFile::Create(newMemo, BaseName(dbfPath), dbt_.blockSize());
    DbtFile memoOut;
    if (rc == DBIERR_NONE) rc = memoOut.Open(newMemo, true, dbf_.dbase3Memo());
    std::string text;
    for (std::uint32_t r = 1; rc == DBIERR_NONE && r <= count_; r += per) {
      std::uint32_t k = std::min(per, count_ - r + 1);
      rc = dbf_.ReadRecords(r, k, in.data());
      for (std::uint32_t j = 0; rc == DBIERR_NONE && j < k; ++j) {
        const std::uint8_t* rec = in.data() + static_cast<std::size_t>(j) * len;
        if (rec[0] == '*') continue;
        for (std::size_t fi : memoFields) {
          const FieldLayout& f = layout_[fi];
          std::uint32_t block = 0, nb = 0;
          rc = DbtFile::ParseReference(rec + f.offset, f.length, &block);
          if (rc == DBIERR_NONE) rc = dbt_.Read(block, &text);
          if (rc == DBIERR_NONE) rc = memoOut.Write(0, text, &nb);
          if (rc != DBIERR_NONE) break;
          memoRefs.push_back(nb);
        }
      }
    }
    if (rc == DBIERR_NONE) rc = SyncFile(newMemo);
    if (rc != DBIERR_NONE) return rc;
  }

  // The live records, in order, to the new data file, which is locked as this table before
  // it is renamed into place: no station opens it before this cursor lets it go.
  rc = DbfFile::CreateLike(dbf_, newData);
  if (rc == DBIERR_NONE) rc = fresh->Open(newData, true);
  if (rc == DBIERR_NONE && (OfdLock(fresh->fd(), kExclusiveByte, 1, F_WRLCK, false) != LockOutcome::kGranted ||
                            OfdLock(fresh->fd(), kOpenSentinelByte, 1, F_WRLCK, false) != LockOutcome::kGranted))
    rc = DBIERR_TABLEINUSE;
  std::uint32_t w = 1;
  std::size_t memoAt = 0;
  for (std::uint32_t r = 1; rc == DBIERR_NONE && r <= count_; r += per) {
    std::uint32_t k = std::min(per, count_ - r + 1);
    rc = dbf_.ReadRecords(r, k, in.data());
    if (rc != DBIERR_NONE) break;
    std::uint32_t live = 0;
    for (std::uint32_t j = 0; j < k; ++j) {
      const std::uint8_t* rec = in.data() + static_cast<std::size_t>(j) * len;
      if (rec[0] == '*') continue;
      std::uint8_t* o = out.data() + static_cast<std::size_t>(live) * len;
      std::memcpy(o, rec, len);
      if (memo) {
        for (std::size_t fi : memoFields)
          DbtFile::FormatReference(memoRefs[memoAt++], o + layout_[fi].offset, layout_[fi].length);
      }
      ++live;
    }
    if (live > 0) rc = fresh->WriteRecords(w, live, out.data());
    w += live;
  }
  if (rc == DBIERR_NONE) rc = fresh->TruncateTo(w - 1);
  if (rc == DBIERR_NONE) rc = SyncFile(newData);
  if (rc != DBIERR_NONE || !mdx_) return rc;

  // Every tag filled again from the new records.
  if (!freshIndex) rc = Mdx::Open(newIndex, layout_, false, true, &index, CharacterOrder());
  if (rc == DBIERR_NONE) {
    FileSource src(*fresh, w - 1);
    if (freshIndex) {
      std::vector<MdxTagDefinition> defs;
      for (const MdxTagInfo& t : tags) defs.push_back({t.name, t.keyExpr, t.forExpr});
      rc = index->AddTags(defs, &src);
    } else {
      rc = index->Rebuild(&src);
    }
    if (rc == DBIERR_NONE) rc = src.status();
    DBIResult r2 = index->Close();
    if (rc == DBIERR_NONE) rc = r2;
  }
  if (rc == DBIERR_NONE) rc = SyncFile(newIndex);
  return rc;
}

DBIResult DbiCursor::Empty() {
  if (!exclusive) return DBIERR_NEEDEXCLACCESS;
  if (readOnly) return DBIERR_NOTSUPPORTED;
  DBIResult rc = dbf_.TruncateTo(0);
  count_ = 0;
  countKnown_ = rc == DBIERR_NONE;
  aheadCount_ = 0;
  blobs_.clear();
  SetToBegin();
  if (rc == DBIERR_NONE && dbt_.IsOpen()) {
    std::uint16_t size = dbt_.blockSize();
    dbt_.Close();
    rc = DbtFile::Create(dbtPath, BaseName(dbfPath), size);
    DBIResult r2 = dbt_.Open(dbtPath, true, dbf_.dbase3Memo());
    if (rc == DBIERR_NONE) rc = r2;
  }
  if (rc == DBIERR_NONE && mdx_) {
    FileSource src(dbf_, 0);
    rc = mdx_->Rebuild(&src);
  }
  return rc;
}

// ---------------------------------------------------------------- orders and indexes

KeyOrder DbiCursor::CharacterOrder() const {
  return dbf_.languageDriver() == kLanguageDriverAnsi ? KeyOrder::kWeights : KeyOrder::kBytes;
}

bool DbiCursor::IsProductionPath(const std::string& indexName) const {
  if (indexName.empty()) return true;
  std::string want = LowerAscii(indexName);
  if (want == LowerAscii(mdxPath)) return true;
  // A bare file name of the production index, or its path in another case.
  std::string mine = LowerAscii(mdxPath);
  if (want.find('/') == std::string::npos) {
    std::size_t slash = mine.rfind('/');
    return (slash == std::string::npos ? mine : mine.substr(slash + 1)) == want;
  }
  return false;
}

Mdx* DbiCursor::FindSeparate(const std::string& path) {
  auto it = separate_.find(path);
  return it == separate_.end() ? nullptr : it->second.get();
}

std::string DbiCursor::SeparatePath(const std::string& indexName) const {
  if (indexName.find('/') != std::string::npos) return platform::ResolvePath(indexName);
  std::size_t slash = dbfPath.rfind('/');
  std::string dir = slash == std::string::npos ? "" : dbfPath.substr(0, slash + 1);
  return platform::ResolvePath(dir + indexName);
}

DBIResult DbiCursor::OpenSeparate(const std::string& path, Mdx** mdx) {
  *mdx = FindSeparate(path);
  if (*mdx != nullptr) return DBIERR_NONE;
  std::unique_ptr<Mdx> m;
  DBIResult rc = Mdx::Open(path, layout_, true, false, &m, CharacterOrder());
  if (rc != DBIERR_NONE) return rc == DBIERR_NOSUCHPATH ? DBIERR_INDEXFILEERR : rc;
  *mdx = m.get();
  separate_[path] = std::move(m);
  return DBIERR_NONE;
}

DBIResult DbiCursor::SwitchTo(const std::string& indexName, const std::string& tagName, bool keepRecord) {
  Order next;
  if (indexName.empty() && tagName.empty()) {
    order_ = next;
  } else {
    Mdx* mdx = nullptr;
    std::string tag = UpperAscii(tagName);
    if (IsProductionPath(indexName)) {
      if (!mdx_) return DBIERR_NOSUCHINDEX;
      if (tag.empty()) return DBIERR_NOSUCHINDEX;
      mdx = mdx_.get();
    } else {
      DBIResult rc = OpenSeparate(SeparatePath(indexName), &mdx);
      if (rc != DBIERR_NONE) return rc;
      if (tag.empty()) {
        std::vector<MdxTagInfo> tags;
        rc = mdx->Tags(&tags);
        if (rc != DBIERR_NONE) return rc;
        if (tags.empty()) return DBIERR_NOSUCHINDEX;
        tag = tags.front().name;
      }
    }
    MdxTagInfo info;
    DBIResult rc = mdx->FindTag(tag, &info);
    if (rc != DBIERR_NONE) return rc;
    next.mdx = mdx;
    next.tag = info.name;
    next.keyLength = info.keyLength;
    order_ = next;
  }
  if (keepRecord && pos_ == Pos::kOn) return KeyForCurrent();
  SetToBegin();
  return DBIERR_NONE;
}

// The key expression and condition a description gives: a key of plain fields is their
// names joined with "+".
DBIResult DbiCursor::TagExpressions(const IDXDesc& desc, std::string* expr, std::string* cond) const {
  *expr = desc.szKeyExp;
  if (!desc.bExpIdx || expr->empty()) {
    expr->clear();
    for (int i = 0; i < desc.iFldsInKey && i < kDbiMaxKeyFields; ++i) {
      std::uint16_t n = desc.aiKeyFld[i];
      if (n == 0 || n > layout_.size()) return DBIERR_INVALIDPARAM;
      if (!expr->empty()) *expr += "+";
      *expr += layout_[n - 1].name;
    }
    if (expr->empty()) return DBIERR_INVALIDPARAM;
  }
  *cond = desc.bSubset || desc.szKeyCond[0] != 0 ? desc.szKeyCond : "";
  return DBIERR_NONE;
}

DBIResult DbiCursor::AddIndex(const IDXDesc& desc) {
  if (readOnly) return DBIERR_NOTSUPPORTED;
  std::string expr, cond;
  DBIResult rc = TagExpressions(desc, &expr, &cond);
  if (rc != DBIERR_NONE) return rc;
  rc = RefreshCount();
  if (rc != DBIERR_NONE) return rc;
  FileSource src(dbf_, count_);
  if (!desc.bMaintained) {
    if (desc.szName[0] == 0) return DBIERR_INDEXFILEERR;
    std::string path = SeparatePath(desc.szName);
    separate_.erase(path);
    rc = Mdx::CreateIndexFile(path, expr, cond, layout_, &src, CharacterOrder());
    if (rc == DBIERR_NONE) rc = src.status();
    if (rc != DBIERR_NONE && rc != DBIERR_INVALIDEXPR) rc = DBIERR_INDEXFILEERR;
    return rc;
  }
  return AddProductionTags({desc});
}

DBIResult DbiCursor::AddProductionTags(const std::vector<IDXDesc>& descs) {
  if (readOnly) return DBIERR_NOTSUPPORTED;
  std::vector<MdxTagDefinition> tags;
  for (const IDXDesc& desc : descs) {
    MdxTagDefinition t;
    DBIResult rc = TagExpressions(desc, &t.keyExpr, &t.forExpr);
    if (rc != DBIERR_NONE) return rc;
    if (!desc.bMaintained || desc.szTagName[0] == 0 || !IsProductionPath(desc.szName)) return DBIERR_INVALIDPARAM;
    t.name = UpperAscii(desc.szTagName);
    tags.push_back(std::move(t));
  }
  DBIResult rc = RefreshCount();
  if (rc != DBIERR_NONE) return rc;
  FileSource src(dbf_, count_);
  if (!mdx_) {
    // The production index is made by the first tag, on a table no one else has open.
    if (!exclusive) return DBIERR_NEEDEXCLACCESS;
    mdxPath = WithExtension(dbfPath, ".mdx");
    rc = Mdx::Create(mdxPath, BaseName(dbfPath), true, layout_, exclusive, &mdx_, CharacterOrder());
    if (rc == DBIERR_NONE) rc = dbf_.WriteProductionIndexFlag(true);
    if (rc != DBIERR_NONE) {
      mdx_.reset();
      return rc;
    }
  }
  rc = mdx_->AddTags(tags, &src);
  if (rc == DBIERR_NONE) rc = src.status();
  return rc;
}

DBIResult DbiCursor::DeleteIndex(const std::string& indexName, const std::string& tagName) {
  if (readOnly) return DBIERR_NOTSUPPORTED;
  if (!IsProductionPath(indexName) || !mdx_) return DBIERR_NOSUCHINDEX;
  std::string tag = UpperAscii(tagName);
  MdxTagInfo info;
  DBIResult rc = mdx_->FindTag(tag, &info);
  if (rc != DBIERR_NONE) return rc;
  if (order_.mdx == mdx_.get() && order_.tag == info.name) {
    order_ = Order();
    SetToBegin();
  }
  return mdx_->DeleteTag(info.name);
}

DBIResult DbiCursor::CloseIndex(const std::string& indexName) {
  std::string path = SeparatePath(indexName);
  Mdx* m = FindSeparate(path);
  if (m == nullptr) return DBIERR_NOSUCHINDEX;
  if (order_.mdx == m) {
    order_ = Order();
    SetToBegin();
  }
  DBIResult rc = m->Close();
  separate_.erase(path);
  return rc;
}

DBIResult DbiCursor::IndexSeqNo(const std::string& indexName, const std::string& tagName, std::uint16_t* seqNo) {
  *seqNo = 0;
  Mdx* m = nullptr;
  if (IsProductionPath(indexName)) {
    m = mdx_.get();
  } else {
    m = FindSeparate(SeparatePath(indexName));
  }
  if (m == nullptr) return DBIERR_NOSUCHINDEX;
  MdxTagInfo info;
  std::string tag = UpperAscii(tagName);
  if (tag.empty()) {
    std::vector<MdxTagInfo> tags;
    DBIResult rc = m->Tags(&tags);
    if (rc != DBIERR_NONE) return rc;
    if (tags.empty()) return DBIERR_NOSUCHINDEX;
    tag = tags.front().name;
  }
  DBIResult rc = m->FindTag(tag, &info);
  if (rc == DBIERR_NONE) *seqNo = static_cast<std::uint16_t>(info.seqNo);
  return rc;
}

DBIResult DbiCursor::IndexDesc(std::uint16_t seqNo, IDXDesc* desc) {
  *desc = IDXDesc();
  Mdx* m = mdx_.get();
  MdxTagInfo info;
  bool found = false;
  if (seqNo == 0) {
    if (order_.mdx == nullptr) return DBIERR_NOSUCHINDEX;
    m = order_.mdx;
    DBIResult rc = m->FindTag(order_.tag, &info);
    if (rc != DBIERR_NONE) return rc;
    found = true;
  } else if (m != nullptr) {
    std::vector<MdxTagInfo> tags;
    DBIResult rc = m->Tags(&tags);
    if (rc != DBIERR_NONE) return rc;
    for (const MdxTagInfo& t : tags) {
      if (t.seqNo == seqNo) {
        info = t;
        found = true;
        break;
      }
    }
  }
  if (!found) return DBIERR_NOSUCHINDEX;
  std::snprintf(desc->szName, sizeof desc->szName, "%s", m->path().c_str());
  std::snprintf(desc->szTagName, sizeof desc->szTagName, "%s", info.name.c_str());
  std::snprintf(desc->szFormat, sizeof desc->szFormat, "%s", "BTREE");
  std::snprintf(desc->szKeyExp, sizeof desc->szKeyExp, "%s", info.keyExpr.c_str());
  std::snprintf(desc->szKeyCond, sizeof desc->szKeyCond, "%s", info.forExpr.c_str());
  desc->iIndexId = static_cast<std::uint16_t>(info.seqNo);
  desc->bMaintained = m == mdx_.get();
  desc->bSubset = !info.forExpr.empty();
  desc->bDescending = info.descending;
  desc->bUnique = info.unique;
  desc->bExpIdx = true;
  desc->iKeyLen = info.keyLength;
  desc->iKeyExpType = static_cast<std::uint16_t>(info.keyType);
  desc->iBlockSize = static_cast<std::uint16_t>(kMdxPageLength);
  return DBIERR_NONE;
}

}  // namespace dbase
