#include "data/aside_copies.h"

#include <cerrno>
#include <map>
#include <set>

#include "data/error_report.h"
#include "platform/dbase/idapi.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace {

constexpr const char* kExtensions[] = {".dbf", ".mdx", ".dbt"};

// The texts shown here, by their ids in the string table.
constexpr int kMsgCopyRefused = 22009;
constexpr int kMsgPutBackUnreadable = 22011;
constexpr int kMsgAsideFolderUnknown = 22012;
constexpr int kMsgAsideFolderMissing = 22013;
constexpr int kMsgCopyNotListed = 22014;
constexpr int kMsgCopyMissing = 22015;
constexpr int kMsgCopyDamaged = 22016;
// A change of the put-back refused: the file or folder, then why.
constexpr int kMsgNotPutBack = 34000;
constexpr int kMsgNotRemoved = 34002;
constexpr int kMsgFolderNotOnDisk = 34003;
constexpr int kMsgPutBackNoteNotOnDisk = 34004;
constexpr int kMsgAsideFolderRefused = 22008;  // the folder, then why when the disk is full
constexpr int kMsgCopiesNotOnDisk = 22010;     // the folder, then why when the disk is full

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  for (std::size_t from = 0;;) {
    const std::size_t at = text.find(separator, from);
    parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

// A plain file name of the folder: no folder part, nothing that climbs out.
bool PlainName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

// The sub-folder's name as a marker may give it: one plain name ending with "/".
bool SubFolderName(const std::string& name) {
  return name.size() > 1 && name.back() == '/' && PlainName(name.substr(0, name.size() - 1));
}

bool RemoveFolder(const std::string& folder) { return platform::RemoveFolderTree(folder); }

// After a refused change of the sub-folder `aside` (ending with "/"): that the disk is full,
// when it was for want of room, naming the sub-folder in the dossier's folder.
std::string FullDiskSaid(const std::string& aside) {
  if (!platform::FailedForWantOfRoom()) return {};
  return ": " + DiskFullText(aside.substr(0, aside.size() - (!aside.empty() && aside.back() == '/' ? 1 : 0)));
}

}  // namespace

std::string AsideCopies::Detail() const {
  std::string text = folder + "|";
  for (std::size_t i = 0; i < bases.size(); ++i) text += (i == 0 ? "" : ",") + bases[i];
  for (const std::string& f : files) text += "|" + f;
  return text;
}

bool AsideCopies::FromDetail(const std::string& detail, AsideCopies* copies) {
  const std::vector<std::string> parts = Split(detail, '|');
  if (parts.size() < 2 || !SubFolderName(parts[0])) return false;
  AsideCopies c;
  c.folder = parts[0];
  for (const std::string& base : Split(parts[1], ','))
    if (PlainName(base)) c.bases.push_back(base);
  for (std::size_t i = 2; i < parts.size(); ++i)
    if (PlainName(parts[i])) c.files.push_back(parts[i]);
  if (c.bases.empty()) return false;
  if (copies != nullptr) *copies = c;
  return true;
}

bool MakeAsideCopies(const std::string& dossierFolder, const std::string& name, const std::vector<std::string>& bases,
                     AsideCopies* copies, std::string* error) {
  AsideCopies c;
  c.folder = name;
  c.bases = bases;
  const std::string aside = dossierFolder + name;
  if (!SubFolderName(name) || !platform::MakeDirectories(aside)) {
    if (error != nullptr) *error = FillPlaceholders(LoadStr(kMsgAsideFolderRefused), {aside, FullDiskSaid(aside)});
    return false;
  }
  std::set<std::string> wanted;
  for (const std::string& base : bases)
    for (const char* ext : kExtensions) wanted.insert(LowerAscii(base) + ext);
  for (const std::string& file : platform::ListFiles(dossierFolder)) {
    if (wanted.count(LowerAscii(file)) == 0) continue;
    bool unread = false;
    if (!platform::CopyFile(dossierFolder + file, aside + file, true, &unread)) {
      // Why: the table the disk could not read, the disk full, or the copy it refused to write.
      const int err = errno;
      const std::string why = unread ? ReadErrorText(dossierFolder + file) : FileRefusalText(aside + file, err);
      RemoveFolder(aside);
      if (error != nullptr) *error = FillPlaceholders(LoadStr(kMsgCopyRefused), {dossierFolder + file, aside}) + ": " + why;
      return false;
    }
    c.files.push_back(file);
  }
  // The copies' names stay on the disk before the run changes anything.
  if (!platform::SyncFolder(aside) || !platform::SyncFolder(dossierFolder)) {
    const std::string full = FullDiskSaid(aside);
    RemoveFolder(aside);
    if (error != nullptr) *error = FillPlaceholders(LoadStr(kMsgCopiesNotOnDisk), {aside, full});
    return false;
  }
  if (copies != nullptr) *copies = c;
  return true;
}

namespace {

// A file left beside a table's own by a write cut short: a pack's new files and its journal
// ("c50xx.dbf.pack", "c50xx.dbf.pack.journal"), a temporary written aside ("c50xx.mdx.tmp...").
bool LeftoverOf(const std::string& lowerName, const std::vector<std::string>& bases) {
  for (const std::string& base : bases)
    for (const char* ext : kExtensions) {
      const std::string file = LowerAscii(base) + ext + ".";
      if (lowerName.size() > file.size() && lowerName.compare(0, file.size(), file) == 0) return true;
    }
  return false;
}

// The table put back opens, and each tag of its index holds its records: a tag that does not
// (an index copied while another station was writing) is made again from the records.
bool TableSound(const std::string& dbf, std::string* error) {
  dbase::hDBICur cur = nullptr;
  dbase::DBIResult rc = dbase::DbiOpenTable(nullptr, dbf.c_str(), "DBASE", nullptr, nullptr, 0, dbase::dbiREADWRITE,
                                            dbase::dbiOPENEXCL, dbase::xltFIELD, false, nullptr, &cur);
  if (rc == dbase::DBIERR_NONE) rc = dbase::DbiCheckIndex(cur, true);
  if (cur != nullptr) dbase::DbiCloseCursor(&cur);
  if (rc == dbase::DBIERR_NONE) return true;
  if (error != nullptr) *error = FillPlaceholders(LoadStr(kMsgPutBackUnreadable), {std::to_string(rc), dbf});
  return false;
}

}  // namespace

namespace {

// Written beside the sub-folder before a put-back changes anything, removed after the
// sub-folder: the identity of each copy (device and inode, which a rename and a rewrite in place
// keep), so that a put-back run again after a stop knows a copy gone from the sub-folder (or the
// sub-folder gone) for one it put in place already.
std::string NotePath(const std::string& dossierFolder, const AsideCopies& copies) {
  return dossierFolder + copies.folder.substr(0, copies.folder.size() - 1) + ".remise";
}

std::string KeptIdentity(const std::string& path) {
  std::string stamp = platform::FileStamp(path);
  for (int part = 0; part < 2 && !stamp.empty(); ++part) stamp.erase(stamp.rfind(':'));
  return stamp;
}

std::set<std::string> NoteLines(const std::string& note) {
  std::set<std::string> lines;
  std::string text;
  if (!platform::ReadWholeFile(note, text)) return lines;
  for (const std::string& line : Split(text, '\n'))
    if (!line.empty()) lines.insert(line);
  return lines;
}

// The copy of a data file opens as a whole table: header and size agree, its memo file is there.
// An index the engine refuses is made again once put back.
bool WholeCopy(const std::string& dbf) {
  dbase::hDBICur cur = nullptr;
  const dbase::DBIResult rc = dbase::DbiOpenTable(nullptr, dbf.c_str(), "DBASE", nullptr, nullptr, 0, dbase::dbiREADONLY,
                                                  dbase::dbiOPENSHARED, dbase::xltFIELD, false, nullptr, &cur);
  if (cur != nullptr) dbase::DbiCloseCursor(&cur);
  return rc == dbase::DBIERR_NONE || rc == dbase::DBIERR_INDEXCORRUPT || rc == dbase::DBIERR_INDEXOUTOFDATE ||
         rc == dbase::DBIERR_INDEXFILEERR;
}

// The second name a file replaced by its copy keeps until the rest of its table is in place.
constexpr const char* kBeforePutBack = ".avant";

// The copies by table, in the list's order: a table's data, index and memo files go together.
std::vector<std::vector<std::string>> TableGroups(const AsideCopies& copies) {
  std::vector<std::vector<std::string>> groups;
  std::map<std::string, std::size_t> at;
  for (const std::string& f : copies.files) {
    const std::string name = LowerAscii(f);
    const std::size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const auto found = at.find(base);
    if (found != at.end()) {
      groups[found->second].push_back(f);
      continue;
    }
    at[base] = groups.size();
    groups.push_back({f});
  }
  return groups;
}

// Puts one table's copies (those still in the sub-folder `aside`) over its files: whole, or not
// at all. Each file replaced first gets a second name beside it; a rename refused half-way puts
// the copies already renamed back into the sub-folder and the table's own files back under their
// names. Where the disk gives no second names the copies go in without them. False, with the
// file refused and the errno, when the table is not put back.
bool PutTableBack(const std::string& dossierFolder, const std::string& aside, const std::vector<std::string>& group,
                  std::string* failed, int* err) {
  struct Move {
    std::string copy, target;
    bool kept = false;  // the file replaced has its second name
  };
  std::vector<Move> moves;
  for (const std::string& f : group)
    if (platform::FileExists(aside + f)) moves.push_back({aside + f, platform::ResolveName(dossierFolder, f)});
  bool named = true;
  for (Move& m : moves) {
    if (!platform::FileExists(m.target)) continue;
    if (!platform::LinkFile(m.target, m.target + kBeforePutBack)) {
      named = false;
      break;
    }
    m.kept = true;
  }
  if (!named)
    for (Move& m : moves)
      if (m.kept) m.kept = !platform::RemoveFile(m.target + kBeforePutBack);
  for (std::size_t i = 0; i < moves.size(); ++i) {
    if (platform::AtomicRename(moves[i].copy, moves[i].target)) continue;
    *failed = moves[i].target;
    *err = errno;
    // Back as it was: a step refused here too leaves a state the next put-back finishes (which
    // removes a second name left).
    for (std::size_t j = i; named && j-- > 0;)
      if (platform::AtomicRename(moves[j].target, moves[j].copy) && moves[j].kept)
        platform::AtomicRename(moves[j].target + kBeforePutBack, moves[j].target);
    for (const Move& m : moves)
      if (m.kept) platform::RemoveFile(m.target + kBeforePutBack);
    return false;
  }
  for (const Move& m : moves)
    if (m.kept && !platform::RemoveFile(m.target + kBeforePutBack)) {
      *failed = m.target + kBeforePutBack;
      *err = errno;
      return false;
    }
  return true;
}

}  // namespace

bool AsideCopiesPutBackDone(const std::string& dossierFolder, const AsideCopies& copies) {
  if (!SubFolderName(copies.folder) || platform::DirectoryExists(dossierFolder + copies.folder) ||
      platform::FileExists(NotePath(dossierFolder, copies)))
    return false;
  bool any = false;
  for (const std::string& f : copies.files) {
    const std::string name = LowerAscii(f);
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dbf") != 0) continue;
    const std::string table = platform::ResolveName(dossierFolder, f);
    if (!platform::FileExists(table) || !WholeCopy(table)) return false;
    any = true;
  }
  return any;
}

bool AsideCopiesComplete(const std::string& dossierFolder, const AsideCopies& copies, std::string* error) {
  auto refuse = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  if (!SubFolderName(copies.folder)) return refuse(LoadStr(kMsgAsideFolderUnknown));
  const std::string aside = dossierFolder + copies.folder;
  const std::set<std::string> putBack = NoteLines(NotePath(dossierFolder, copies));
  if (!platform::DirectoryExists(aside) && putBack.empty()) {
    if (AsideCopiesPutBackDone(dossierFolder, copies)) return true;
    return refuse(FillPlaceholder(LoadStr(kMsgAsideFolderMissing), aside));
  }
  std::set<std::string> listed;
  for (const std::string& f : copies.files) listed.insert(LowerAscii(f));
  // A copy the list does not name: the list is short, and a put-back would take its table's
  // files for files the run made.
  for (const std::string& file : platform::ListFiles(aside))
    if (listed.count(LowerAscii(file)) == 0) return refuse(FillPlaceholder(LoadStr(kMsgCopyNotListed), aside + file));
  for (const std::string& f : copies.files) {
    if (!platform::FileExists(aside + f)) {
      // Gone from the sub-folder: put in place by a put-back that stopped, or lost.
      const std::string target = platform::ResolveName(dossierFolder, f);
      if (putBack.count(f + "\t" + KeptIdentity(target)) == 0)
        return refuse(FillPlaceholder(LoadStr(kMsgCopyMissing), aside + f));
      continue;
    }
    const std::string name = LowerAscii(f);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dbf") == 0 && !WholeCopy(aside + f))
      return refuse(FillPlaceholder(LoadStr(kMsgCopyDamaged), aside + f));
  }
  return true;
}

bool PutBackAsideCopies(const std::string& dossierFolder, const AsideCopies& copies, std::string* error) {
  // A put-back that went to its end, its marker's removal alone left: nothing more to do.
  if (AsideCopiesPutBackDone(dossierFolder, copies)) return true;
  // Nothing is removed or renamed unless every copy is there, whole.
  if (!AsideCopiesComplete(dossierFolder, copies, error)) return false;
  auto refused = [&](int id, const std::string& file, int err) {
    if (error != nullptr) *error = FillPlaceholders(LoadStr(id), {file, FileRefusalText(file, err)});
    return false;
  };
  const std::string aside = dossierFolder + copies.folder;
  const std::string note = NotePath(dossierFolder, copies);
  if (!platform::FileExists(note)) {
    std::string text;
    for (const std::string& f : copies.files) text += f + "\t" + KeptIdentity(aside + f) + "\n";
    // A disk with no room for the note (the full disk that often stopped the run) does not keep
    // the tables from going back: the put-back goes on without it. Stopped half-way, it would
    // then leave the next opening a copy missing, which that opening names, changing nothing.
    if (!platform::WriteFileAtomic(note, text) && !platform::FailedForWantOfRoom())
      return refused(kMsgPutBackNoteNotOnDisk, note, errno);
    if (!platform::SyncFolder(dossierFolder)) return refused(kMsgPutBackNoteNotOnDisk, note, errno);
  }
  std::set<std::string> copied;
  for (const std::string& f : copies.files) copied.insert(LowerAscii(f));
  std::set<std::string> tables;
  for (const std::string& base : copies.bases)
    for (const char* ext : kExtensions) tables.insert(LowerAscii(base) + ext);
  // What the runs undone left beside the tables goes first: a pack's new files would otherwise
  // be renamed over the tables put back when they are next opened (and the second names of a
  // put-back stopped half-way, which the copies in place make useless).
  for (const std::string& file : platform::ListFiles(dossierFolder)) {
    if (!LeftoverOf(LowerAscii(file), copies.bases) || platform::RemoveFile(dossierFolder + file)) continue;
    return refused(kMsgNotRemoved, dossierFolder + file, errno);
  }
  if (!platform::SyncFolder(dossierFolder)) return refused(kMsgFolderNotOnDisk, dossierFolder, errno);
  // Each table's copies take its files' places together; the first refused stops the put-back,
  // every table not reached as it was, the next one run again finishing it.
  for (const std::vector<std::string>& group : TableGroups(copies)) {
    std::string failed;
    int err = 0;
    if (!PutTableBack(dossierFolder, aside, group, &failed, &err)) return refused(kMsgNotPutBack, failed, err);
  }
  // The files of those tables that had no copy were made by the run.
  for (const std::string& file : platform::ListFiles(dossierFolder))
    if (tables.count(LowerAscii(file)) != 0 && copied.count(LowerAscii(file)) == 0 &&
        !platform::RemoveFile(dossierFolder + file))
      return refused(kMsgNotRemoved, dossierFolder + file, errno);
  if (!platform::SyncFolder(dossierFolder)) return refused(kMsgFolderNotOnDisk, dossierFolder, errno);
  // The copies go once every table put back has been found sound.
  for (const std::string& f : copies.files) {
    const std::string name = LowerAscii(f);
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dbf") != 0) continue;
    if (!TableSound(platform::ResolveName(dossierFolder, f), error)) return false;
  }
  // The note last: a put-back stopped in between is known as done. Either one left would stay
  // for good once the marker goes: the put-back is finished by the next opening instead.
  if (!RemoveFolder(aside)) return refused(kMsgNotRemoved, aside, errno);
  if (!platform::RemoveFile(note)) return refused(kMsgNotRemoved, note, errno);
  if (!platform::SyncFolder(dossierFolder)) return refused(kMsgFolderNotOnDisk, dossierFolder, errno);
  return true;
}

bool RemoveAsideCopies(const std::string& dossierFolder, const AsideCopies& copies) {
  return SubFolderName(copies.folder) && RemoveFolder(dossierFolder + copies.folder);
}
