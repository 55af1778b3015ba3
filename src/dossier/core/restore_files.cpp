#include "dossier/core/restore_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "data/dossier_invariants.h"
#include "data/engine_files.h"
#include "data/record_fields.h"
#include "data/error_report.h"
#include "data/table_check.h"
#include "data/table_results.h"
#include "data/table_structures.h"
#include "dossier/core/conversion.h"
#include "dossier/core/dossier_run_marker.h"
#include "platform/system/clock.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTablePrefixes[] = {"c10", "c20", "c30", "c40", "c50", "c60", "c70", "cep"};
constexpr const char* kTableExtensions[] = {".dbf", ".dbt", ".mdx"};

// Texts of the restore's checks and of its put-back.
constexpr int kHardLinkMember = 30500;
constexpr int kTablesMissing = 30501;
constexpr int kOtherStructure = 30502;
constexpr int kNoField = 30503;
constexpr int kMemoPastEnd = 30504;
constexpr int kReportDefsTitle = 30505;
constexpr int kSetAsideHead = 30506;
constexpr int kLeftOutHead = 19959;         // "Laissés de côté (ils n'appartiennent pas au dossier):"
constexpr int kRefused = 19950;             // the restore refused, its reason (%s) in its place
constexpr int kSymbolicLinkMember = 19951;  // a member (%s) that is a symbolic link
constexpr int kSpecialFileMember = 19952;   // a member (%s) that is no plain file
constexpr int kOtherDossierMember = 19953;  // a member (%s) that is a file of another dossier
constexpr int kTwiceMember = 19956;         // a member (%s) twice, the names differing in case only
constexpr int kTableDamaged = 19954;        // the backup's table (%s) whose file (%s) does not open whole
constexpr int kMemberWithoutTable = 19955;  // a memo or index file (%s) without its table (%s)
constexpr int kNoDossierFile = 19957;       // the backup holds no file of dossier %s
constexpr int kRestoredHead = 19958;        // "Dossier '%s' restauré. Fichiers remis en place:"
constexpr int kNotWholeInPlace = 30507;
constexpr int kPutBack = 30508;
constexpr int kNotPutBack = 30509;
constexpr int kNotPutInPlace = 30510;
constexpr int kKeptFileMissing = 30511;
// The piece a set-aside import record's name takes before the restore's date and time.
constexpr int kSetAsideInfix = 30512;
// The imports of the restored books as the log now says them, and the log that could not say it.
constexpr int kLogNotHeld = 31000;
constexpr int kLogHeld = 31001;
constexpr int kLogStopped = 31002;
constexpr int kLogNotWritten = 31003;
// The dossier's file titles, "C10 Fichier Général" to "C70 Bilan".
constexpr int kC10Title = 2246;
// The backup's tables that do not hold together (the faults, one a line), and the index files
// left out for the opening to make again.
constexpr int kBooksApart = 34800;
constexpr int kIndexesLeftOutHead = 34801;
// The backup's lines whose amount does not read; a backup of an older format the conversion could
// not convert, and why.
constexpr int kUnreadableRestored = 37741;
// The totals that are not those of their lines, when some of those lines do not read.
constexpr int kTotalsAdviceUnread = 39110;
constexpr int kOlderFormatNotConverted = 37743;
// The faults a refusal shows, the others counted.
constexpr std::size_t kShownFaults = 12;

// A message with its "%s" filled once, by the values in order.
std::string Message(int id, std::initializer_list<std::string_view> values) {
  return FillPlaceholders(LoadStr(id), values);
}

// Splits a lower-case name into the table prefix, the code and the extension when it has the
// form of a dossier table file; false otherwise.
bool SplitTableName(const std::string& lower, std::string* code, std::string* extension) {
  const std::size_t dot = lower.rfind('.');
  if (dot == std::string::npos || dot <= 3) return false;
  const std::string ext = lower.substr(dot);
  if (std::find(std::begin(kTableExtensions), std::end(kTableExtensions), ext) == std::end(kTableExtensions))
    return false;
  const std::string prefix = lower.substr(0, 3);
  if (std::find(std::begin(kTablePrefixes), std::end(kTablePrefixes), prefix) == std::end(kTablePrefixes)) return false;
  *code = lower.substr(3, dot - 3);
  *extension = ext;
  return true;
}

std::string LowerCode(const std::string& code) { return LowerCp1252(TrimmedRight(code)); }

std::string Refusal(const std::string& why) { return FillPlaceholder(LoadStr(kRefused), why); }

std::string WithSlash(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

std::string Extension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string BaseOf(const std::string& name) { return name.substr(0, name.size() - Extension(name).size()); }

// The journal the engine keeps beside an index for the update in progress ("c20xx.mdx.journal"):
// no part of the books once no update runs. Lower-case name.
bool IndexJournal(const std::string& lower) {
  return Extension(lower) == ".journal" && Extension(BaseOf(lower)) == ".mdx";
}

// The name an import record takes in the dossier: the statement import reads its record of known
// transactions under the code as the dossier holds it; every other file goes in lower case.
std::string NameInDossier(const std::string& lower, const std::string& code) {
  const std::string own = TrimmedRight(code);
  return lower == "cof" + LowerCode(code) + ".txt" ? "cof" + own + ".txt" : lower;
}

// The title of a table's kind for the messages.
std::string KindTitle(TableKind kind) {
  switch (kind) {
    case TableKind::C10: case TableKind::C20: case TableKind::C30: case TableKind::C40:
    case TableKind::C50: case TableKind::C60: case TableKind::C70:
      return LoadStr(kC10Title + static_cast<int>(kind) - static_cast<int>(TableKind::C10));
    default:
      return LoadStr(kReportDefsTitle);
  }
}

// "dev:inode" of a file, which a rename keeps; "" when nothing is there.
std::string Identity(const std::string& path) {
  platform::FileIdentity identity;
  if (!platform::IdentityOf(path, &identity)) return "";
  return std::to_string(identity.device) + ":" + std::to_string(identity.inode);
}

// ---- The imports' lines in the dossier's log.

std::map<std::string, ImportLogReconciler>& Reconcilers() {
  static std::map<std::string, ImportLogReconciler> reconcilers;
  return reconcilers;
}

// What every import adds to the log now so that it says of the books what `wanted` says.
ImportLogChange LogChange(const std::string& wanted, const std::string& now) {
  ImportLogChange all;
  for (const auto& [name, reconcile] : Reconcilers()) {
    const ImportLogChange one = reconcile(wanted, now);
    all.lines.insert(all.lines.end(), one.lines.begin(), one.lines.end());
    all.notHeld.insert(all.notHeld.end(), one.notHeld.begin(), one.notHeld.end());
    all.held.insert(all.held.end(), one.held.begin(), one.held.end());
    all.stopped.insert(all.stopped.end(), one.stopped.begin(), one.stopped.end());
  }
  return all;
}

// The log as it is ("" when there is none yet); false, with the reason, when it cannot be read:
// the imports' lines would be added against a log read short.
bool LogNow(std::string* text, std::string* why) {
  text->clear();
  if (LogPath().empty() || !platform::FileExists(LogPath()) || platform::ReadWholeFile(LogPath(), *text)) return true;
  if (why != nullptr) *why = ReadErrorText(LogPath());
  return false;
}

// Adds the change's lines to the log; false, with the reason, at the first one refused.
bool WriteLogChange(const ImportLogChange& change, std::string* why) {
  for (const std::string& line : change.lines)
    if (!WriteLog(line)) {
      if (why != nullptr) *why = Message(kLogNotWritten, {LogPath()});
      return false;
    }
  return true;
}

// ---- The marker's detail: the restore's folder, then the files it moves, one section each,
// and the size of the log before the restore added to it.

constexpr char kSeparators[] = "%|,=>\n";

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::string_view(kSeparators).find(c) == std::string_view::npos) {
      out += c;
      continue;
    }
    char code[4];
    std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
    out += code;
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  return SplitText(text.c_str(), true, separator);
}

// A plain file name of the dossier folder: no folder part, nothing that climbs out.
bool PlainName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

struct RestorePlan {
  std::string folder;                                     // the restore's folder, by name, ending with "/"
  std::vector<std::pair<std::string, std::string>> kept;  // a file replaced, its identity before
  std::vector<std::string> taken;
  std::vector<std::pair<std::string, std::string>> setAside;
  // The log's size before the restore's lines (-1: the restore adds none).
  long long logSize = -1;

  std::string Detail() const {
    std::string text = Escape(folder) + "|r:";
    for (std::size_t i = 0; i < kept.size(); ++i) text += (i ? "," : "") + Escape(kept[i].first) + "=" + kept[i].second;
    text += "|i:";
    for (std::size_t i = 0; i < taken.size(); ++i) text += (i ? "," : "") + Escape(taken[i]);
    text += "|s:";
    for (std::size_t i = 0; i < setAside.size(); ++i)
      text += (i ? "," : "") + Escape(setAside[i].first) + ">" + Escape(setAside[i].second);
    if (logSize >= 0) text += "|l:" + std::to_string(logSize);
    return text;
  }

  static bool FromDetail(const std::string& detail, RestorePlan* plan) {
    const std::vector<std::string> parts = Split(detail, '|');
    if ((parts.size() != 4 && parts.size() != 5) || parts[1].rfind("r:", 0) != 0 || parts[2].rfind("i:", 0) != 0 ||
        parts[3].rfind("s:", 0) != 0)
      return false;
    RestorePlan p;
    // A restore's marker written before it added to the log has no size.
    if (parts.size() == 5) {
      const std::string size = parts[4].rfind("l:", 0) == 0 ? parts[4].substr(2) : "";
      if (size.empty() || size.size() > 15 || size.find_first_not_of("0123456789") != std::string::npos) return false;
      p.logSize = std::stoll(size);
    }
    p.folder = Unescape(parts[0]);
    if (p.folder.size() < 2 || p.folder.back() != '/' || !PlainName(p.folder.substr(0, p.folder.size() - 1)))
      return false;
    for (const std::string& item : Split(parts[1].substr(2), ',')) {
      const std::size_t eq = item.find('=');
      if (eq == std::string::npos) return false;
      p.kept.emplace_back(Unescape(item.substr(0, eq)), item.substr(eq + 1));
    }
    for (const std::string& item : Split(parts[2].substr(2), ',')) p.taken.push_back(Unescape(item));
    for (const std::string& item : Split(parts[3].substr(2), ',')) {
      const std::size_t arrow = item.find('>');
      if (arrow == std::string::npos) return false;
      p.setAside.emplace_back(Unescape(item.substr(0, arrow)), Unescape(item.substr(arrow + 1)));
    }
    for (const auto& [name, identity] : p.kept)
      if (!PlainName(name)) return false;
    for (const std::string& name : p.taken)
      if (!PlainName(name)) return false;
    for (const auto& [from, to] : p.setAside)
      if (!PlainName(from) || !PlainName(to)) return false;
    *plan = p;
    return true;
  }
};

// Whether a file of the restore's folder may be renamed over its name in the dossier: every file
// the plan keeps is in the restore's folder, or back in the dossier under its own identity.
bool KeptFilesThere(const std::string& dossier, const RestorePlan& plan, std::string* why) {
  for (const auto& [name, identity] : plan.kept) {
    if (platform::FileExists(dossier + plan.folder + name)) continue;
    if (Identity(dossier + name) == identity) continue;
    if (why != nullptr) *why = Message(kKeptFileMissing, {dossier + plan.folder + name});
    return false;
  }
  return true;
}

// The log says of the imports what it said before the restore: lines added after the restore's
// own, for the books put back.
bool LogAsBefore(const RestorePlan& plan, std::string* why) {
  if (plan.logSize < 0) return true;
  std::string now;
  if (!LogNow(&now, why)) return false;
  const std::string before = now.substr(0, std::min<std::size_t>(now.size(), static_cast<std::size_t>(plan.logSize)));
  return WriteLogChange(LogChange(before, now), why);
}

// Why a file could not be moved or removed (the errno `cause` of the refusal): the file, then
// what the disk said.
std::string NotPutInPlace(const std::string& file, int cause) {
  return Message(kNotPutInPlace, {file, FileRefusalText(file, cause)});
}

// The dossier as it was before the restore: the files it put in place go, those it kept come
// back, the import records take their names again, and the log says of the imports what it said
// before. Each step can be run again. *untouched (when given) tells a refusal before any change
// (a kept file missing) from a step refused part-way, which the next put-back finishes.
bool PutBack(const std::string& dossier, const RestorePlan& plan, std::string* why, bool* untouched = nullptr) {
  if (untouched != nullptr) *untouched = true;
  if (!KeptFilesThere(dossier, plan, why)) return false;
  if (untouched != nullptr) *untouched = false;
  std::set<std::string> kept;
  for (const auto& [name, identity] : plan.kept) kept.insert(name);
  // The first change refused, and why: the others are still made, each step being one to redo.
  std::string failed;
  int cause = 0;
  auto refused = [&](const std::string& file) {
    if (failed.empty()) {
      failed = file;
      cause = errno;
    }
  };
  for (const std::string& name : plan.taken)
    if (kept.count(name) == 0 && platform::FileExists(dossier + name) && !platform::RemoveFile(dossier + name))
      refused(dossier + name);
  for (const auto& [name, identity] : plan.kept) {
    const std::string from = dossier + plan.folder + name;
    // The original still in place under its second name stays as it is.
    if (platform::FileExists(from) && Identity(dossier + name) != identity &&
        !platform::AtomicRename(from, dossier + name))
      refused(dossier + name);
  }
  for (const auto& [from, to] : plan.setAside)
    if (platform::FileExists(dossier + to) && !platform::FileExists(dossier + from) &&
        !platform::AtomicRename(dossier + to, dossier + from))
      refused(dossier + from);
  if (!platform::SyncFolder(dossier)) refused(dossier);
  if (!failed.empty()) {
    if (why != nullptr) *why = NotPutInPlace(failed, cause);
    return false;
  }
  if (!LogAsBefore(plan, why)) return false;
  // The restore's folder left would stay for good once the marker goes: the next put-back
  // removes it.
  if (!platform::RemoveFolderTree(dossier + plan.folder)) {
    if (why != nullptr) *why = NotPutInPlace(dossier + plan.folder, errno);
    return false;
  }
  return true;
}

// The end message of a restore that went through.
std::string RestoreReport(const std::string& code, const RestoreSelection& selection, const ImportLogChange& log) {
  std::string text = Message(kRestoredHead, {TrimmedRight(code)});
  for (const std::string& name : selection.taken) text += "   " + name + "\n";
  if (!selection.indexesLeftOut.empty()) {
    text += LoadStr(kIndexesLeftOutHead);
    for (const std::string& name : selection.indexesLeftOut) text += "   " + name + "\n";
  }
  if (!selection.setAside.empty()) {
    text += LoadStr(kSetAsideHead);
    for (const auto& [from, to] : selection.setAside) text += "   " + from + "  ->  " + to + "\n";
  }
  const std::pair<int, const std::vector<std::string>*> imports[] = {
      {kLogNotHeld, &log.notHeld}, {kLogHeld, &log.held}, {kLogStopped, &log.stopped}};
  for (const auto& [id, files] : imports) {
    if (files->empty()) continue;
    text += LoadStr(id);
    for (const std::string& file : *files) text += "   " + file + "\n";
  }
  if (!selection.leftOut.empty()) {
    text += LoadStr(kLeftOutHead);
    for (const std::string& name : selection.leftOut) text += "   " + name + "\n";
  }
  if (!selection.unreadable.empty())
    text += Message(kUnreadableRestored, {LargestLineText(), UnreadableAmountLinesText(selection.unreadable)});
  return text + selection.totalsAdvice + "\n\n";
}

// ---- The checks of the selection, each giving the refusal or "".

// What the system refused while `refused` watched: the read (the file that could not be read) or
// the write.
std::string SystemRefusal(const RefusalWatch& refused) {
  return refused.Reason(refused.RefusedResult(), refused.RefusedFile(), refused.RefusedResult());
}

// A member read from the work folder: its name as the program holds it, or as a message shows it
// when cp1252 cannot hold it (`holdable` false).
std::string MemberName(const fs::path& path, bool* holdable) {
  const std::string disk = path.filename().string();
  std::string name;
  *holdable = platform::ProgramName(disk, name);
  return *holdable ? name : platform::ShownName(disk);
}

// The tables whose lines, sort records and totals the check of the books reads: a backup without
// one of them cannot be judged, and would leave the dossier without it.
bool CheckedBooksTable(TableKind kind) {
  return kind == TableKind::C10 || kind == TableKind::C20 || kind == TableKind::C30 || kind == TableKind::C50 ||
         kind == TableKind::C60;
}

// Every table the dossier has is in the backup, and every table of the books that the check reads.
std::string MissingTables(const std::map<std::string, std::string>& taken, const std::string& dossier,
                          const std::string& code) {
  std::string missing;
  for (TableKind kind : {TableKind::C10, TableKind::C20, TableKind::C30, TableKind::C40, TableKind::C50,
                         TableKind::C60, TableKind::C70}) {
    const std::string dbf = TableBaseName(kind, LowerCode(code)) + ".dbf";
    if (taken.count(dbf) == 0 && (CheckedBooksTable(kind) || platform::FileExists(platform::ResolveName(dossier, dbf))))
      missing += "   " + dbf + "\n";
  }
  return missing.empty() ? "" : Refusal(Message(kTablesMissing, {missing}));
}

// Whether the backup's general file has the fields of an older format of the dossier, which the
// opening then offers to convert.
bool OfAnOlderFormat(const std::string& work, const std::vector<std::string>& tables) {
  for (const std::string& dbf : tables) {
    if (TableKindOfFileName(dbf) != TableKind::C10) continue;
    const TableStructure& structure = StructureOf(TableKind::C10);
    return FirstFieldDifference(work + BaseOf(dbf), structure).field != 0 &&
           FieldsOfAnOlderFormat(work + BaseOf(dbf), structure);
  }
  return false;
}

// Each table of the work folder is whole, its index agrees with its records, its fields are
// those of its kind (or of an older format of it, when the general file is of one: the opening
// then offers the conversion) and its memos lie inside its memo file.
std::string UnfitTable(const std::string& work, const std::vector<std::string>& tables) {
  for (const std::string& dbf : tables) {
    const std::string base = work + BaseOf(dbf);
    std::string damaged = DamagedTableFile(base);
    if (damaged.empty() && !MendCopiedIndex(base)) damaged = base + ".dbf";
    if (!damaged.empty())
      return Refusal(Message(kTableDamaged, {dbf, damaged.substr(damaged.find_last_of('/') + 1)}));
  }
  const bool older = OfAnOlderFormat(work, tables);
  for (const std::string& dbf : tables) {
    const TableKind kind = TableKindOfFileName(dbf);
    const std::string base = work + BaseOf(dbf);
    const FieldDifference d = FirstFieldDifference(base, StructureOf(kind));
    if (d.field == 0 || (older && FieldsOfAnOlderFormat(base, StructureOf(kind)))) continue;
    const std::string none = LoadStr(kNoField);
    return Refusal(Message(kOtherStructure, {dbf, KindTitle(kind), std::to_string(d.field),
                                             d.found.empty() ? none : d.found, d.expected.empty() ? none : d.expected}));
  }
  for (const std::string& dbf : tables) {
    const std::uint32_t record = RecordWithMemoPastEnd(work + BaseOf(dbf));
    if (record != 0) return Refusal(Message(kMemoPastEnd, {dbf, BaseOf(dbf) + ".dbt", std::to_string(record)}));
  }
  return "";
}

// The index files that the mending of the tables dropped in the work folder (made for another
// table or dossier, or unreadable) leave the files taken: each table goes without its index.
void LeaveOutDroppedIndexes(const std::string& work, RestoreSelection* selection) {
  std::vector<std::string> kept;
  for (const std::string& name : selection->taken) {
    if (Extension(LowerCp1252(name)) == ".mdx" && !platform::FileExists(work + name))
      selection->indexesLeftOut.push_back(name);
    else
      kept.push_back(name);
  }
  selection->taken = std::move(kept);
}

// The restore's own folder, which holds its work folder `work` (ending with "/"): a sibling of it.
std::string RestoreFolderOf(const std::string& work) {
  const std::string folder = work.substr(0, work.size() - 1);
  return folder.substr(0, folder.rfind('/') + 1);
}

// The backup's tables hold together as one state of the books, as the dossier's checks want them
// (DossierInvariants, the check of the validation and the conversion): every sort record leads to
// its line and holds what it copies from it, every line has one, every live analytic record has its
// general line. A copy that stopped part-way or an archive that mixes two backups fails there, and
// the refusal names what cannot be one state. Totals that are not those of their lines do not
// refuse the books: the restore takes them and `advice` says which and that a ReConstruction makes
// them again; the lines whose amount does not read are named (`unreadable`). A backup of an older
// format (`older`) is judged as the conversion the opening offers would leave it: converted in the
// restore's folder, then checked; one the conversion could not convert is refused. The tables the
// check reads are all in the backup (MissingTables): one that does not open is a fault of the check.
std::string BooksApart(const std::string& work, const std::string& code, bool older, std::string* advice,
                       std::vector<UnreadableAmountLine>* unreadable) {
  std::string books = work;
  const std::string scratch = RestoreFolderOf(work) + "conversion/";
  std::error_code ec;
  if (older) {
    fs::remove_all(platform::DiskPath(scratch), ec);
    if (!fs::create_directory(platform::DiskPath(scratch), ec) || ec)
      return Refusal(Message(kOlderFormatNotConverted, {NotPutInPlace(scratch, ec.value())}));
    const std::string why = WriteConversionTrial(work, scratch, LowerCode(code));
    if (!why.empty()) {
      fs::remove_all(platform::DiskPath(scratch), ec);
      return Refusal(Message(kOlderFormatNotConverted, {why}));
    }
    books = scratch;
  }
  DossierInvariants check(books, LowerCode(code));
  const bool held = check.Check();
  if (older) fs::remove_all(platform::DiskPath(scratch), ec);
  if (check.Apart())
    return Refusal(Message(kBooksApart, {DossierInvariants::Listed(check.ApartFaults(), check.ApartCount(), kShownFaults)}));
  for (const UnreadableAmountLine& line : check.Unreadable())
    if (line.file == LigneTri::kDraft || line.file == LigneTri::kClosed) unreadable->push_back(line);
  // A ReConstruction leaves the totals of lines that do not read as they are: it is advised once they are corrected.
  if (!held)
    *advice = unreadable->empty() || check.TotalsCount() == 0
                  ? check.TotalsAdvice()
                  : Message(kTotalsAdviceUnread,
                            {DossierInvariants::Listed(check.TotalsFaults(), check.TotalsCount(), kShownFaults)});
  return "";
}

// The dossier's files that the taken ones replace, and those of a restored table that the backup
// does not hold (its index or memo file would not be the restored table's).
std::vector<std::string> ReplacedFiles(const std::string& dossier, const std::vector<std::string>& taken) {
  std::set<std::string> lower, bases;
  for (const std::string& name : taken) {
    lower.insert(LowerCp1252(name));
    if (Extension(name) == ".dbf") bases.insert(LowerCp1252(BaseOf(name)));
  }
  std::vector<std::string> replaced;
  for (const std::string& file : platform::ListFiles(dossier)) {
    const std::string l = LowerCp1252(file);
    const std::string ext = Extension(l);
    // The journal of a restored index goes with it: it was of the index replaced, and is never
    // to be put back over the restored one.
    if (lower.count(l) != 0 || ((ext == ".mdx" || ext == ".dbt") && bases.count(BaseOf(l)) != 0) ||
        (IndexJournal(l) && bases.count(BaseOf(BaseOf(l))) != 0))
      replaced.push_back(file);
  }
  return replaced;
}

std::string Stamp() {
  const platform::LocalTime t = platform::GetLocalTime();
  char stamp[24];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return stamp;
}

// The import records of the dossier that the backup does not hold, each with the name it takes:
// its own with the restore's date and time before the extension, which no backup takes and no
// import reads.
std::vector<std::pair<std::string, std::string>> RecordsSetAside(const std::string& dossier, const std::string& code,
                                                                 const std::vector<std::string>& taken) {
  std::set<std::string> lower;
  for (const std::string& name : taken) lower.insert(LowerCp1252(name));
  std::vector<std::pair<std::string, std::string>> aside;
  const std::string stamp = LoadStr(kSetAsideInfix) + Stamp();
  for (const std::string& file : platform::ListFiles(dossier)) {
    if (!IsImportRecord(file, code) || lower.count(LowerCp1252(file)) != 0) continue;
    std::string to = BaseOf(file) + stamp + Extension(file);
    for (int n = 2; platform::FileExists(dossier + to); ++n)
      to = BaseOf(file) + stamp + "-" + std::to_string(n) + Extension(file);
    aside.emplace_back(file, to);
  }
  return aside;
}

}  // namespace

bool MakeRestoreFolders(const std::string& dossierFolder, const std::string& code, RestoreFolders* folders) {
  const std::string folder = WithSlash(dossierFolder) + "restauration-" + LowerCode(code) + "-" + Stamp() + "/";
  const std::string work = folder + "sauvegarde/";
  std::error_code ec;
  // create_directory fails on a name already there: the folders are the restore's alone.
  if (!fs::create_directory(platform::DiskPath(folder), ec) || ec) return false;
  fs::permissions(platform::DiskPath(folder), fs::perms::owner_all, fs::perm_options::replace, ec);
  if (ec || !fs::create_directory(platform::DiskPath(work), ec) || ec) {
    fs::remove_all(platform::DiskPath(folder), ec);
    return false;
  }
  fs::permissions(platform::DiskPath(work), fs::perms::owner_all, fs::perm_options::replace, ec);
  folders->folder = folder;
  folders->work = work;
  return true;
}

void RemoveRestoreFolders(const RestoreFolders& folders) {
  if (folders.folder.empty()) return;
  std::error_code ec;
  fs::remove_all(platform::DiskPath(folders.folder), ec);
}

bool IsRestorableDossierFile(const std::string& name, const std::string& code) {
  const std::string lower = LowerCp1252(name), own = LowerCode(code);
  if (own.empty()) return false;
  if (lower == "c10" + own + ".ini" || IsImportRecord(name, code)) return true;
  std::string found, extension;
  return SplitTableName(lower, &found, &extension) && found == own;
}

bool IsOtherDossierFile(const std::string& name, const std::string& code) {
  std::string found, extension;
  return SplitTableName(LowerCp1252(name), &found, &extension) && found != LowerCode(code);
}

bool IsImportRecord(const std::string& name, const std::string& code) {
  const std::string lower = LowerCp1252(name), own = LowerCode(code);
  if (own.empty()) return false;
  for (const char* prefix : {"cof", "cas"}) {
    const std::string head = prefix + own + ".";
    if (lower.size() <= head.size() || lower.compare(0, head.size(), head) != 0) continue;
    const std::string extension = lower.substr(head.size());
    return extension != "lck" && extension.find('.') == std::string::npos;
  }
  return false;
}

RestoreSelection SelectRestoredFiles(const std::string& workFolder, const std::string& dossierFolder,
                                     const std::string& code) {
  RestoreSelection selection;
  const std::string work = WithSlash(workFolder), dossier = WithSlash(dossierFolder);
  const std::string own = LowerCode(code);
  std::map<std::string, std::string> taken;  // lower-case name -> name as unpacked
  std::error_code ec;
  std::vector<fs::path> members;
  for (const fs::directory_entry& entry : fs::directory_iterator(platform::DiskPath(work), ec))
    members.push_back(entry.path());
  std::sort(members.begin(), members.end());
  for (const fs::path& member : members) {
    bool holdable = true;
    const std::string name = MemberName(member, &holdable);
    const fs::file_status status = fs::symlink_status(member, ec);
    // Nothing that points elsewhere or is written in place is ever put into the dossier.
    if (fs::is_symlink(status)) {
      selection.refusal = Refusal(Message(kSymbolicLinkMember, {name}));
      return selection;
    }
    if (fs::is_directory(status)) {
      selection.leftOut.push_back(name + "/");
      continue;
    }
    if (!fs::is_regular_file(status)) {
      selection.refusal = Refusal(Message(kSpecialFileMember, {name}));
      return selection;
    }
    if (fs::hard_link_count(member, ec) > 1) {
      selection.refusal = Refusal(Message(kHardLinkMember, {name}));
      return selection;
    }
    // A name cp1252 cannot hold is no file of any dossier.
    if (!holdable) {
      selection.leftOut.push_back(name);
      continue;
    }
    // The backup's own log, the copy of the program INI, the opening's shortcut marker and the
    // lock file of an import stay out without a word: the station keeps its log, the program
    // its settings.
    const std::string lowerName = LowerCp1252(name);
    // The backup's log says which imports its books hold.
    if (lowerName == "clg" + own + ".txt") {
      selection.hasLog = platform::ReadWholeFile(work + name, selection.log);
      if (!selection.hasLog) {
        selection.refusal = Refusal(ReadErrorText(work + name));
        return selection;
      }
      continue;
    }
    // An index's journal, taken with the dossier in the middle of an update, is of the files it was
    // made beside, never of the restored ones.
    if (lowerName == "cin" + own + ".ini" || lowerName == "c10" + own + ".zel" ||
        lowerName == "cof" + own + ".lck" || lowerName == "cas" + own + ".lck" ||
        (IndexJournal(lowerName) && IsRestorableDossierFile(BaseOf(name), code)))
      continue;
    if (IsOtherDossierFile(name, code)) {
      selection.refusal = Refusal(Message(kOtherDossierMember, {name}));
      return selection;
    }
    if (!IsRestorableDossierFile(name, code)) {
      selection.leftOut.push_back(name);
      continue;
    }
    if (!taken.emplace(lowerName, name).second) {
      selection.refusal = Refusal(Message(kTwiceMember, {name}));
      return selection;
    }
  }

  // Each file under the name it takes in the dossier, so that a table and its memo file are
  // found together.
  std::vector<std::string> tables;
  for (const auto& [lower, name] : taken) {
    const std::string target = NameInDossier(lower, code);
    if (name != target && !platform::AtomicRename(work + name, work + target)) {
      selection.refusal = Refusal(Message(kTableDamaged, {name, name}));
      return selection;
    }
    selection.taken.push_back(target);
    if (Extension(lower) == ".dbf") tables.push_back(lower);
  }
  for (const auto& [lower, name] : taken) {
    const std::string extension = Extension(lower);
    // A memo or index file without its data file would be put under a table it was not made for.
    if ((extension == ".dbt" || extension == ".mdx") && taken.count(BaseOf(lower) + ".dbf") == 0) {
      selection.refusal = Refusal(Message(kMemberWithoutTable, {name, BaseOf(lower) + ".dbf"}));
      return selection;
    }
  }
  if (selection.taken.empty()) {
    selection.refusal = Message(kNoDossierFile, {TrimmedRight(code)});
    return selection;
  }
  // A read of the backup that the system refuses (a sector, a share that lost a packet) leaves
  // the checks judging part of it, and a refused write leaves its index half-mended: either
  // refuses the restore whole, named as the disk's fault rather than the backup's.
  const RefusalWatch refused(RefusalWatch::EngineBoxes::kHeld);
  selection.refusal = MissingTables(taken, dossier, code);
  if (selection.refusal.empty()) selection.refusal = UnfitTable(work, tables);
  if (selection.refusal.empty()) {
    LeaveOutDroppedIndexes(work, &selection);
    selection.refusal =
        BooksApart(work, code, OfAnOlderFormat(work, tables), &selection.totalsAdvice, &selection.unreadable);
  }
  if (!refused.RefusedFile().empty()) selection.refusal = Refusal(SystemRefusal(refused));
  if (!selection.refusal.empty()) return selection;
  selection.replaced = ReplacedFiles(dossier, selection.taken);
  selection.setAside = RecordsSetAside(dossier, code, selection.taken);
  return selection;
}

RestoreResult InstallRestoredFiles(const RestoreFolders& folders, const std::string& dossierFolder,
                                   const std::string& code, const RestoreSelection& selection) {
  RestoreResult result;
  const std::string dossier = WithSlash(dossierFolder);
  RestorePlan plan;
  plan.folder = folders.folder.substr(dossier.size());
  for (const std::string& name : selection.replaced) plan.kept.emplace_back(name, Identity(dossier + name));
  plan.taken = selection.taken;
  plan.setAside = selection.setAside;
  const bool logged = selection.hasLog && !LogPath().empty();
  if (logged) {
    std::string now, why;
    if (!LogNow(&now, &why)) {
      result.message = Refusal(why);
      return result;
    }
    plan.logSize = static_cast<long long>(now.size());
  }

  // The backup replaces every table a stopped run left half-written: the restore takes its place.
  // It is made to work over lines whose amount does not read: it names them with its advice.
  std::optional<DossierRunMarkerTakeOver> settling(std::in_place);
  DossierRunMarker marker(BooksReading{}, kRestoreRun, LoadStr(kTitleRestoreRun), plan.Detail(),
                          UnreadAmountsMet::kWorkedOver);
  settling.reset();
  if (!marker.written()) {
    result.message = DossierRunMarkerRefusal(marker.path());
    return result;
  }
  // The first step refused puts the dossier back as it was.
  auto failed = [&](const std::string& what) {
    std::string why;
    if (PutBack(dossier, plan, &why)) {
      result.message = Message(kPutBack, {what});
    } else {
      marker.Keep();
      result.folderKept = true;
      result.message = Message(kNotPutBack, {what + "\n" + why});
    }
    return result;
  };
  // A file the backup replaces is kept under a second name and replaced by one rename, so that
  // the dossier never lacks it (its general file is what the opening is chosen by); where the
  // disk has no second names, it is moved aside first. The files the backup makes stale go.
  std::set<std::string> taken;
  for (const std::string& name : plan.taken) taken.insert(name);
  for (const auto& [name, identity] : plan.kept) {
    const std::string kept = folders.folder + name;
    if (taken.count(name) != 0 && platform::LinkFile(dossier + name, kept)) continue;
    if (!platform::AtomicRename(dossier + name, kept)) return failed(NotPutInPlace(dossier + name, errno));
  }
  for (const auto& [from, to] : plan.setAside)
    if (!platform::AtomicRename(dossier + from, dossier + to)) return failed(NotPutInPlace(dossier + from, errno));
  for (const std::string& name : plan.taken)
    if (!platform::AtomicRename(folders.work + name, dossier + name)) return failed(NotPutInPlace(dossier + name, errno));
  if (!platform::SyncFolder(dossier)) return failed(NotPutInPlace(dossier, errno));
  // What the opening reads, read in place before the files replaced go; a read the system
  // refused there leaves a table that may not be whole.
  {
    const RefusalWatch refused(RefusalWatch::EngineBoxes::kHeld);
    for (const std::string& name : plan.taken) {
      if (Extension(LowerCp1252(name)) != ".dbf") continue;
      const std::string base = dossier + BaseOf(name);
      const bool whole =
          DamagedTableFile(base).empty() && TryOpenTable(platform::ResolvePath(base + ".dbf")) == kResultOk;
      if (!refused.RefusedFile().empty()) return failed(SystemRefusal(refused));
      if (!whole) return failed(Message(kNotWholeInPlace, {name}));
    }
  }
  // The log says of the imports what the backup's says, before the marker goes: stopped from
  // here on, the restore is put back, and the log with it.
  ImportLogChange log;
  if (logged) {
    std::string now, why;
    if (!LogNow(&now, &why)) return failed(why);
    log = LogChange(selection.log, now);
    if (!WriteLogChange(log, &why)) return failed(why);
  }
  if (!marker.Remove()) return failed(DossierRunMarkerRemovalRefusal(marker.path()));
  RemoveRestoreFolders(folders);
  result.done = true;
  result.message = RestoreReport(code, selection, log);
  return result;
}

void SetImportLogReconciler(const std::string& import, ImportLogReconciler reconcile) {
  if (reconcile) Reconcilers()[import] = std::move(reconcile);
  else Reconcilers().erase(import);
}

bool PutBackInterruptedRestore(const std::string& dossierFolder, const std::string& detail, std::string* why,
                               bool* untouched) {
  RestorePlan plan;
  if (!RestorePlan::FromDetail(detail, &plan)) {
    if (why != nullptr) *why = Message(kKeptFileMissing, {detail});
    if (untouched != nullptr) *untouched = true;
    return false;
  }
  return PutBack(WithSlash(dossierFolder), plan, why, untouched);
}
