#include "dossier/dossier_open.h"


#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/engine_files.h"
#include "data/error_report.h"
#include "data/index_defs.h"
#include "data/index_recovery.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table_check.h"
#include "data/table_create.h"
#include "data/table_results.h"
#include "data/table_structures.h"
#include "dossier/constants_check.h"
#include "dossier/conversion_window.h"
#include "dossier/dossier_password.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "dossier/core/maintenance_pack.h"
#include "dossier/rebuild_dossier.h"
#include "dossier/rebuild_indexes.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/renumber_window.h"
#include "dossier/stopped_line_changes_window.h"
#include "dossier/core/validation_putback.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/dialog.h"
#include "platform/gui/messagebox.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/mdi_client.h"

gui::Window* DossierMessageOwner() {
  if (gui::Window* w = gui::Window::FromHandle(MainWindowHandle)) return w;
  return CommandWindow;
}

namespace {

// The texts of the opening, by their ids in the string table.
constexpr int kC10CodeTag = 21;                 // the general file's code tag, its first 7 characters
constexpr int kProgramStamp = 31;               // the format stamp of the general files this version writes
constexpr int kCaptionAttention = 52;
constexpr int kDefaultEuroRate = 125;
constexpr int kCursorWork = 514;                // "C03"
constexpr int kLabelDraftProgress = 1344;       // the dossier's code
constexpr int kC50Reference = 1346;             // the reference table of the draft file
constexpr int kMsgUnreachable = 2244;           // the code, the folder
constexpr int kLabelConstantsLock = 2265;
constexpr int kCaptionMultiUser = 2271;
constexpr int kTwoCurrencyStamp = 2282;         // the general files before it hold francs only
constexpr int kAskTwoCurrencies = 2283;
constexpr int kPromptEuroRate = 2284;
constexpr int kTitleEuroConversion = 2285;
constexpr int kMsgUnderscoreDossier = 2687;
constexpr int kAskNewerVersion = 2975;
constexpr int kAskConvertOlder = 19702;         // the code, the folder
constexpr int kAskConvert = 19703;              // the code, the folder
constexpr int kCaptionRebuild = 19860;          // the dossier's code
constexpr int kAskInterruptedRun = 19891;       // the run, its start, its station, the question
constexpr int kAskRestartRun = 19894;
constexpr int kAskRebuildInstead = 19895;
constexpr int kMsgRunNotRedone = 19896;
constexpr int kAskPutBackRun = 19899;
constexpr int kMsgRunNotPutBack = 19900;
constexpr int kCaptionLeftCopies = 19901;       // the dossier's code
constexpr int kAskRemoveLeftCopies = 19902;     // the folders, one a line
constexpr int kMsgIndexNotRepaired = 19904;     // the table
constexpr int kCaptionRunUnderWay = 19909;      // the dossier's code
constexpr int kMsgRunUnderWay = 19910;          // the run, its start, its station
constexpr int kCaptionTableFile = 19920;        // the dossier's code
constexpr int kMsgUncountedRecords = 19921;     // the table, the records
constexpr int kMsgMissingMemo = 22081;          // the memo file, the data file
// The caption of the general file that cannot be opened; that of the opening's other refusals (the
// dossier's code).
constexpr int kOpeningRefusedCaption = 22084;
constexpr int kCaptionNotOpened = 36606;
constexpr int kLogLockTableCreated = 22089;     // the table
constexpr int kLogDraftCreated = 22091;         // the file, without its extension
constexpr int kLogDraftNotCreated = 22093;      // the file, without its extension
constexpr int kMsgDraftNotCreated = 22095;      // the file, without its extension
constexpr int kLogTempRemoved = 22104;          // the file
constexpr int kLogCopiesRemoved = 22107;        // the folder
constexpr int kLogIndexRepaired = 22110;        // the table
constexpr int kLogIndexNotRepaired = 22111;     // the table
constexpr int kLogIndexUnreadable = 22112;      // the index
constexpr int kLogIndexForeign = 22113;         // the index
constexpr int kMsgHeldElsewhere = 32007;        // the code, the folder
constexpr int kMsgNotWritable = 34103;          // the code, the folder
constexpr int kMsgDraftMissing = 32008;         // the dossier's code
constexpr int kLogFileMissing = 32009;          // the code, the file
constexpr int kLogFileDamaged = 32010;          // the code, the file
constexpr int kLogUncountedRecords = 32011;     // the records, the table
constexpr int kLogTempNotRemoved = 32014;       // the file
constexpr int kLogCopiesKept = 32015;           // the folder

void Beep() { gui::MessageBeep(0); }

int Ask(const std::string& text, const std::string& caption, unsigned style) {
  Beep();
  return gui::MessageBox(DossierMessageOwner(), text, caption, style);
}

std::string Code() { return RTrim(DossierCode.c_str()); }

// The caption of a box that keeps the dossier closed: its code named.
std::string NotOpenedCaption() { return FillPlaceholder(LoadStr(kCaptionNotOpened), Code()); }

// A change (or a read) of a table that the system refused while `watch` lived: the full disk with
// its folder, a read or a change the system refused (a disk read-only) as such, otherwise an
// error writing to the disk, with the file.
constexpr int kMsgTableWriteError = 34014;  // the file
std::string RefusedWriteText(const RefusalWatch& watch) {
  if (watch.RefusedReading() || watch.RefusedResult() == kResultAccessDenied)
    return watch.Reason(watch.RefusedResult(), watch.RefusedFile(), watch.RefusedResult());
  return watch.RefusedResult() == kResultDiskFull ? DiskFullText(watch.RefusedFile())
                                                  : FillPlaceholder(LoadStr(kMsgTableWriteError), watch.RefusedFile());
}

// (a): the dossier's folder cannot be reached.
void ShowUnreachable() {
  Beep();
  const std::string text = FillPlaceholders(LoadStr(kMsgUnreachable), {Code(), DossierFolder});
  gui::MessageBox(DossierMessageOwner(), text, LoadStr(kCaptionMultiUser), gui::MB_OK | gui::MB_ICONSTOP);
}

// (b): the lock table cannot be opened (another station holds the dossier alone), or the system
// refused to open it for writing (a disk read-only, a folder this station may not write in),
// which is no other station's doing and is said as such.
void ShowHeldElsewhere(const Table& lock) {
  const bool refusedBySystem = lock.result == kResultAccessDenied ||
                               (platform::DirectoryExists(DossierFolder) && !platform::FolderWritable(DossierFolder));
  Beep();
  const std::string text =
      FillPlaceholders(LoadStr(refusedBySystem ? kMsgNotWritable : kMsgHeldElsewhere), {Code(), DossierFolder});
  gui::MessageBox(DossierMessageOwner(), text, LoadStr(kCaptionMultiUser), gui::MB_OK | gui::MB_ICONSTOP);
}

// A memo file that is not there at all (its data file is): named as missing, with the
// data file that needs it, rather than as damaged.
std::string MissingMemoMessage(const std::string& memo) {
  const std::string data = memo.substr(0, memo.size() - 4) + ".dbf";
  return FillPlaceholders(LoadStr(kMsgMissingMemo), {memo, data});
}

// A damaged data or memo file, or a missing memo file: nothing is written into the
// dossier, the user is told which file and what to do.
// The line goes to the dossier's log only when the dossier has one: a file that merely
// bears a dossier's name leaves nothing behind in its folder.
bool RefuseDamaged(const std::string& file) {
  SetAppCursor(0, false);
  Beep();
  const bool missing = !platform::FileExists(file);
  gui::MessageBox(DossierMessageOwner(), missing ? MissingMemoMessage(file) : DamagedFileMessage(file),
                  NotOpenedCaption(), gui::MB_OK | gui::MB_ICONSTOP);
  if (platform::FileExists(platform::ResolvePath(LogPath())))
    WriteLog(FillPlaceholders(LoadStr(missing ? kLogFileMissing : kLogFileDamaged), {Code(), file}));
  return false;
}

// A walk of the open tag meets every record of the table once (the tags of C10 have no
// condition), and ends.
bool C10TagReadsEveryRecord(Table& c10) {
  const std::uint32_t count = c10.RecCount();
  std::vector<bool> seen(count + 1, false);
  std::uint32_t visited = 0;
  for (bool more = c10.GoTop(); more; more = c10.Skip(1)) {
    const std::uint32_t r = c10.RecNo();
    if (r == 0 || r > count || seen[r] || ++visited > count) return false;
    seen[r] = true;
  }
  return visited == count;
}

// The index of C10 needs making again: missing, made for another table, or refused by the
// engine (cut, emptied, a tag whose pages do not hold together).
bool C10IndexNeedsRebuild(const std::string& c10Base) {
  const std::string mdx = platform::ResolvePath(c10Base + ".mdx");
  if (!platform::FileExists(mdx) || !MdxHeaderMatchesName(mdx.c_str())) return true;
  Table& c10 = *TableC10;
  // An older C10 has none of today's tags: the conversion makes them.
  const bool older = IsOldGenerationC10(c10Base + ".dbf");
  const bool opened = c10.OpenShared(c10Base, older ? "" : "C10CODE", true);
  const bool sound = opened && (older || C10TagReadsEveryRecord(c10));
  c10.CloseTable(true);
  return !sound;
}

// The index file of a dossier table other than C10 that the engine refuses to read (an
// order written by another dBASE tool that its seeks would misread, cut or damaged pages);
// empty when every one opens.
std::string RefusedDossierIndex() {
  for (int number = 20; number <= 70; number += 10) {
    const std::string data = platform::ResolvePath(DossierTableOf(number).path + ".dbf");
    if (!platform::FileExists(data)) continue;
    if (TryOpenTable(data) == kResultIndexCorrupt) return platform::ResolvePath(DossierTableOf(number).path + ".mdx");
  }
  return "";
}

// The index file of a dossier table other than C10 that is not that table's: made for another
// table (a file copied over it) or without one of the tags the table is read through, which
// every report would then stop on. Empty when each one holds its table's tags.
std::string ForeignDossierIndex() {
  for (int number = 20; number <= 70; number += 10) {
    const DossierTableRef ref = DossierTableOf(number);
    if (!platform::FileExists(platform::ResolvePath(ref.path + ".dbf"))) continue;
    const std::string mdx = platform::ResolvePath(ref.path + ".mdx");
    const std::vector<TagDef>& tags = StructureOf(ref.kind).tags;
    if (tags.empty()) continue;
    if (!platform::FileExists(mdx) || !MdxHeaderMatchesName(mdx.c_str())) return mdx;
    for (const TagDef& tag : tags) {
      Table look;
      if (!look.OpenShared(ref.path, tag.name, true)) return mdx;
    }
  }
  return "";
}

// Tables whose header counts fewer records than they hold whole (a count written back too
// low): looked at again under the exclusive hold, so that another station's append is not
// taken for one, each named to the user and in the log. The reindex that follows counts them
// in again; nothing is cut. True when there was one.
bool SayUncountedRecords() {
  bool found = false;
  for (int number = 10; number <= 70; number += 10) {
    const std::string base = DossierTableOf(number).path;
    const std::string data = platform::ResolvePath(base + ".dbf");
    if (!platform::FileExists(data)) continue;
    const std::uint32_t whole = UncountedRecords(base);
    if (whole == 0) continue;
    found = true;
    WriteLog(FillPlaceholders(LoadStr(kLogUncountedRecords), {std::to_string(whole), data}));
    SetAppCursor(0, false);
    Beep();
    gui::MessageBox(DossierMessageOwner(),
                    FillPlaceholders(LoadStr(kMsgUncountedRecords), {data, std::to_string(whole)}),
                    FillPlaceholder(LoadStr(kCaptionTableFile), Code()), gui::MB_OK | gui::MB_ICONSTOP);
  }
  return found;
}

bool AnyUncountedRecords() {
  for (int number = 10; number <= 70; number += 10)
    if (UncountedRecords(DossierTableOf(number).path) != 0) return true;
  return false;
}

// Drops the index file a copied table brought and clears the flag that promises it, so
// that the tags are built afresh for this table.
void DropCopiedIndex(const std::string& base) { DropProductionIndex(base); }

// Copies the reference table `name` of the program folder to `base` through `table`
// (exclusive, read-only); a missing reference table is replaced by a new empty table of
// that kind. The table object is left closed.
bool CopyReferenceTable(Table& table, const char* name, TableKind kind, const std::string& base) {
  const std::string reference = ProgramFilePath(std::string(Lower(name)) + ".dbf");
  bool ok = false;
  if (platform::FileExists(reference)) {
    if (table.OpenExclusive(reference, "", true)) ok = table.CopyTable((base + ".dbf").c_str());
    table.CloseTable(true);
  }
  if (!ok) ok = CreateTableOfKind(kind, base, true) == 0;
  return ok;
}

bool RefuseUnread(const RefusalWatch& watch);

// The lock table, created from "CR00REF" when missing. One the disk could not read is said as
// such (`unread`), never taken for another station's hold.
bool OpenLockTable(const RefusalWatch& unread) {
  Table& lock = *DossierLockTable;
  const std::string path = DossierTablePath();
  if (lock.OpenShared(path)) return true;
  if (unread.ReadRefused()) return RefuseUnread(unread);
  if (lock.result == kResultNoSuchTable) {
    bool made = false;
    {
      // A lock table the folder refuses is said once, in the opening's own words: the engine's
      // refusal of the copy (a disk read-only, a folder this station may not write in) goes to the log.
      RefusalWatch copy(RefusalWatch::EngineBoxes::kHeld);
      made = CopyReferenceTable(lock, "CR00REF", TableKind::DossierLock, path);
    }
    if (!made) {
      ShowHeldElsewhere(lock);
      return false;
    }
    WriteLog(FillPlaceholder(LoadStr(kLogLockTableCreated), path));
    return true;
  }
  if (lock.result == kResultNoSuchPath) {
    ShowUnreachable();
    return false;
  }
  ShowHeldElsewhere(lock);
  return false;
}

// A missing draft file is made from "CR50REF" with its three tags. False
// (said and logged "Erreur") when it could be neither copied nor indexed:
// the dossier then does not open.
bool CreateMissingC50() {
  const std::string code = Code();
  Beep();
  gui::MessageBox(DossierMessageOwner(), FillPlaceholder(LoadStr(kMsgDraftMissing), code), LoadStr(kCaptionAttention),
                  gui::MB_OK | gui::MB_ICONSTOP);
  DossierProgressWindow progress(DossierMessageOwner(), FillPlaceholder(LoadStr(kLabelDraftProgress), code));
  const std::string base = PathC50();
  progress.SetLine(base + ".dbf");
  SetAppCursor(kCursorWork, false);
  Table& c50 = *TableC50;
  bool made = false;
  if (CopyReferenceTable(c50, LoadStr(kC50Reference), TableKind::C50, base)) {
    DropCopiedIndex(base);
    if (c50.OpenExclusive(base)) made = BuildIndexesC50();
    c50.CloseTable(true);
  }
  SetAppCursor(0, false);
  if (made) {
    WriteLog(FillPlaceholder(LoadStr(kLogDraftCreated), base));
    return true;
  }
  WriteLog(FillPlaceholder(LoadStr(kLogDraftNotCreated), base));
  Beep();
  gui::MessageBox(DossierMessageOwner(), FillPlaceholder(LoadStr(kMsgDraftNotCreated), base),
                  LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONSTOP);
  return false;
}

Lookup SeekKind(Table& c10, const char* kind, const char* code) {
  const std::string padded = std::string(code) + std::string(static_cast<std::size_t>(c10.FieldWidth(2)), ' ');
  const Lookup found = c10.Find("C10CODE", kind, padded.substr(0, static_cast<std::size_t>(c10.FieldWidth(2))).c_str());
  return found.And(c10.MatchRecordKey((std::string(kind) + padded).c_str(), 1 + c10.FieldWidth(2), 1, 2).HoldsKey());
}

// A missing record (the constants' "P0") is added empty. One the general file refuses is said,
// with the write refused (a full disk named as such), and the dossier is not opened: the
// record the cursor stands on is never read, nor written, in its place. False then.
constexpr int kRecordNotAdded = 30205;
constexpr int kRecordNotAddedLog = 30206;

bool LeaveClosed();

// A read of the dossier that the disk refused while the opening looked at it: nothing is decided
// from what was read short (no record added, no index made again, no table called damaged or held
// by another station). The dossier stays closed, and the box names the file the disk could not read.
constexpr int kMsgOpeningUnread = 36605;  // the dossier's code, why
bool RefuseUnread(const RefusalWatch& watch) {
  SetAppCursor(0, false);
  Beep();
  gui::MessageBox(DossierMessageOwner(), FillPlaceholders(LoadStr(kMsgOpeningUnread), {Code(), watch.Reason(0, "", 0)}),
                  NotOpenedCaption(), gui::MB_OK | gui::MB_ICONSTOP);
  return LeaveClosed();
}

bool EnsureRecord(Table& c10, const char* kind, const char* code) {
  {
    // A record the seek could not read is not missing: it is never made for that.
    RefusalWatch seek(RefusalWatch::EngineBoxes::kRefusalsHeld);
    const Lookup there = SeekKind(c10, kind, code);
    if (there.IsFound()) return true;
    if (there.IsRefused() || seek.ReadRefused()) return RefuseUnread(seek);
  }
  bool added = false;
  std::string reason;
  {
    RefusalWatch refusal(RefusalWatch::EngineBoxes::kHeld);
    added = c10.AppendBlank() && c10.PutField(1, kind) && c10.PutField(2, code);
    added = c10.InsertRecord() && added;
    added = added && c10.Commit() && SeekKind(c10, kind, code).IsFound();
    const int result = c10.result != kResultOk ? c10.result : kResultSystemError;
    if (!added) reason = refusal.Reason(result, c10.tablePath, result);
  }
  if (added) return true;
  WriteLog(FillPlaceholders(LoadStr(kRecordNotAddedLog), {std::string(kind) + code, reason}));
  SetAppCursor(0, false);
  Beep();
  gui::MessageBox(DossierMessageOwner(),
                  FillPlaceholders(LoadStr(kRecordNotAdded),
                                   {std::string(kind) + code, platform::ResolvePath(PathC10(".dbf")), reason}),
                  LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONSTOP);
  return false;
}

std::string Field(Table& t, int n, std::size_t width) {
  std::string text = t.GetField(n);
  text.resize(width, ' ');
  return text;
}

// The dossier record from C10 records "0" and "P0", the constants tested. Every dossier is
// made with its record "0": without it C10 lost its records (false, nothing written).
bool LoadDossierRecord() {
  Table& c10 = *TableC10;
  DossierRecord& r = TheDossierRecord;
  const char level = r.UserLevel();
  const std::string workingDate = r.Get(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth);
  {
    RefusalWatch seek(RefusalWatch::EngineBoxes::kRefusalsHeld);
    const Lookup zero = SeekKind(c10, "0", "");
    if (!zero.IsFound())
      return zero.IsRefused() || seek.ReadRefused() ? RefuseUnread(seek)
                                                    : RefuseDamaged(platform::ResolvePath(PathC10(".dbf")));
  }
  r.Set(1, 30, Field(c10, 3, 30));
  r.Set(31, 254, Field(c10, 4, 254));
  r.Set(285, 254, Field(c10, 5, 254));
  r.Set(1043, 254, Field(c10, 6, 254));
  r.EnsureRights();
  if (!IsBlank(workingDate) && !UseStoredWorkingDate)
    r.Set(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth, workingDate);
  r.SetUserLevel(level);
  if (!EnsureRecord(c10, "P", "0")) return LeaveClosed();
  r.Set(539, 252, Field(c10, 4, 252));
  r.Set(791, 252, Field(c10, 5, 252));
  if (CheckDossierConstants(DossierMessageOwner())) {
    SeekKind(c10, "P", "0");
    if (LockRecord(c10, LoadStr(kLabelConstantsLock), 0)) {
      c10.PutField(4, RTrim(r.Get(539, 252).c_str()));
      c10.PutField(5, RTrim(r.Get(791, 252).c_str()));
      UnlockRecord(c10);
      c10.Commit();
    }
  }
  r.SetUserLevel(level);
  return true;
}

// Steps 11 to 13: a dossier of another format is converted (the opening then stops).
bool OfferConversion(bool olderGeneration, const std::string& stamp) {
  const std::string code = Code();
  ConversionRequest request;
  if (olderGeneration) {
    if (Ask(FillPlaceholders(LoadStr(kAskConvertOlder), {code, DossierFolder}), LoadStr(kCaptionAttention),
            gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) !=
        gui::IDYES)
      return false;
    // A dossier of the older generation holds francs only: its euro amounts are computed.
    if (!AskEuroRate(DossierMessageOwner(), request.rate)) return false;
    request.toTwoCurrencies = true;
  } else {
    const std::string current(LoadStr(kProgramStamp));
    if (Ask(FillPlaceholders(LoadStr(kAskConvert), {code, DossierFolder}), "ATTENTION - " + stamp + ">" + current,
            gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) != gui::IDYES)
      return false;
    if (stamp > current &&
        Ask(LoadStr(kAskNewerVersion), "ATTENTION - " + stamp, gui::MB_YESNO | gui::MB_ICONSTOP | gui::MB_DEFBUTTON1) !=
            gui::IDYES)
      return false;
    if (stamp < std::string(LoadStr(kTwoCurrencyStamp))) {
      if (Ask(LoadStr(kAskTwoCurrencies), "Dossier: " + code,
              gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) != gui::IDYES)
        return false;
      if (!AskEuroRate(DossierMessageOwner(), request.rate)) return false;
      request.toTwoCurrencies = true;
    }
  }
  if (!OpenDossierExclusive(false)) {
    ReleaseDossierExclusive();
    return false;
  }
  CloseAllTables();
  RunDossierConversion(DossierMessageOwner(), request);
  // The dossier is shared again, so that it can be opened in its new format.
  ReleaseDossierExclusive();
  return false;
}

// ---- A run stopped half-way ----------------------------------------------------

bool RedoRebuild(const DossierRunInfo& run) {
  bool rebalance = false, pack = true;
  ReadRebuildRunDetail(run.detail, &rebalance, &pack);
  const int code = RebuildDossier(DossierMessageOwner(), rebalance, pack);
  const RebuildReport& report = LastRebuildReport();
  Beep();
  gui::MessageBox(DossierMessageOwner(), RebuildEndMessage(report), FillPlaceholder(LoadStr(kCaptionRebuild), Code()),
                  gui::MB_OK | (code == 0 ? gui::MB_ICONINFORMATION : gui::MB_ICONSTOP));
  // A rebuild that ran through its totals leaves a usable dossier, even with an error to say.
  return code == 0 || report.totalsRebuilt;
}

bool RedoReindex(const DossierRunInfo& run) {
  return RebuildTablesAndIndexes(DossierMessageOwner(), run.detail.find("compactage=O") != std::string::npos, true);
}

// The originals come back; the opening then finds the older format and offers the
// conversion again, with its questions.
bool RedoConversion(const DossierRunInfo& run) { return PutBackInterruptedConversion(run.detail); }

bool RedoRenumbering(const DossierRunInfo&) { return RunRenumberingWindow(DossierMessageOwner()); }

// This subject's runs; another subject's are found in the runs it registered.
const DossierRunRedo* RedoOf(const std::string& name) {
  static const std::map<std::string, DossierRunRedo> own{
      {kRebuildRun, RedoRebuild},       {kReindexRun, RedoReindex},   {kConversionRun, RedoConversion},
      {kRenumberRun, RedoRenumbering},
      {kValidationRun, PutBackInterruptedValidation},
  };
  const auto it = own.find(name);
  return it != own.end() ? &it->second : FindDossierRunRedo(name);
}

// The dossier left closed after an interrupted run was named.
bool LeaveClosed() {
  SetAppCursor(0, false);
  CloseAllTables();
  if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  SetDossierState(' ');
  return false;
}

// The texts of a run gone to its end whose copies alone are left, under the caption and beside
// the log lines of the interrupted runs.
constexpr int kInterruptedRunCaption = 19890;        // the dossier's code
constexpr int kInterruptedRunLog = 22097;            // the run
constexpr int kInterruptedRunNotSettledLog = 22098;  // the run
constexpr int kRunEndedCopiesLeft = 30200;
constexpr int kRunEndedCopiesRemovedLog = 30201;
constexpr int kRunEndedCopiesKeptLog = 30202;
constexpr int kRunEndedMarkerStays = 30203;        // the marker, why it stays
// A put-back found gone to its end (its box: the run, its start, its station; its log line: the
// run), and one a refused change stopped part-way (why).
constexpr int kMsgPutBackDone = 34010;
constexpr int kPutBackDoneLog = 34011;
constexpr int kMsgPutBackStopped = 34012;
// A run done again that a refused write stopped: why.
constexpr int kMsgRedoStopped = 34015;
// The log's other lines of a stopped run (each with the run): put back, run again or finished,
// or at work on another station.
constexpr int kInterruptedRunPutBackLog = 22099;
constexpr int kInterruptedRunRedoneLog = 32012;
constexpr int kInterruptedRunFinishedLog = 32013;
constexpr int kRunUnderWayLog = 22102;
// A run in the log and the boxes: its title, its start and its station.
constexpr int kRunInLog = 22504;
// The refusal of a redo whose copies are not whole: why, then what is said of the dossier.
constexpr int kCopiesNotWholeHead = 19906;
// The log line of a pack cut short whose files are not recognised: the file.
constexpr int kUnknownPackLog = 22103;

bool OfferInterruptedRun();

// True while an opening goes on after the user chose to keep the copies of a run gone to its end.
bool& LeftCopiesKept() {
  static bool kept = false;
  return kept;
}

// The run as the log names it: its title, start and station.
std::string RunInLog(const DossierRunInfo& run) {
  return FillPlaceholders(LoadStr(kRunInLog), {run.title, run.started, run.station});
}

std::string InterruptedRunCaption() { return FillPlaceholder(LoadStr(kInterruptedRunCaption), Code()); }

// The marker of a run whose books are in order (its put-back or its redo done, or its copies alone
// left) that cannot be removed (`cause`, the errno of the refusal): the file and why are said,
// the dossier stays closed, and the next opening finds it again.
bool SayMarkerStays(const std::string& what, int cause) {
  WriteLog(FillPlaceholder(LoadStr(kInterruptedRunNotSettledLog), what));
  SetAppCursor(0, false);
  Beep();
  const std::string marker = DossierRunMarkerPath();
  gui::MessageBox(DossierMessageOwner(),
                  FillPlaceholders(LoadStr(kRunEndedMarkerStays), {marker, FileRefusalText(marker, cause)}),
                  InterruptedRunCaption(), gui::MB_OK | gui::MB_ICONSTOP);
  return LeaveClosed();
}

// The dossier taken alone and its marker read again, as it is now: true when it still names a run
// that `still` holds for (*now gets it). Otherwise the dossier is given back and *next is what the
// opening gives then: closed when the dossier could not be taken alone, the run asked about afresh
// when another station dealt with it meanwhile.
bool HoldStillMarked(bool (*still)(const DossierRunInfo&), DossierRunInfo* now, bool* next) {
  if (!OpenDossierExclusive(false)) {
    *next = LeaveClosed();
    return false;
  }
  CloseAllTables();
  if (ReadDossierRunMarker(now) && still(*now)) return true;
  ReleaseDossierExclusive();
  *next = OfferInterruptedRun();
  return false;
}

// The marker removed and the dossier taken alone given back: false, the dossier left closed and
// the refusal said, when the marker could not go.
bool UnmarkHeld(const std::string& what) {
  const bool unmarked = RemoveDossierRunMarker();
  const int cause = errno;
  ReleaseDossierExclusive();
  return unmarked || SayMarkerStays(what, cause);
}

// A put-back from copies that went to its end and stopped before removing the marker (the copies
// and the put-back's note gone, every table whole): the dossier is as it was before the run. It
// is said in one box, the marker goes, and the dossier opens.
bool SayPutBackDone(const DossierRunInfo& run) {
  const std::string what = RunInLog(run);
  WriteLog(FillPlaceholder(LoadStr(kInterruptedRunLog), what));
  SetAppCursor(0, false);
  DossierRunInfo now;
  bool next = false;
  if (!HoldStillMarked(DossierRunCopiesPutBack, &now, &next)) return next;
  if (!UnmarkHeld(what)) return false;
  WriteLog(FillPlaceholder(LoadStr(kPutBackDoneLog), what));
  Beep();
  gui::MessageBox(DossierMessageOwner(), FillPlaceholders(LoadStr(kMsgPutBackDone), {run.title, run.started, run.station}),
                  InterruptedRunCaption(), gui::MB_OK | gui::MB_ICONINFORMATION);
  return EnsureDossierOpen();
}

// A run over two dossiers that the other dossier says went to its end (a separation stopped
// after the old year's marker was removed, opened in the new year first): this dossier holds all
// its changes and only the copies made at its start are left. The user is told that the run is
// finished and asked only whether to remove them (No keeps them, offered again at the next
// openings); the marker goes either way and the dossier opens.
bool OfferToRemoveEndedRunCopies(const DossierRunInfo& run) {
  const std::string what = RunInLog(run);
  WriteLog(FillPlaceholder(LoadStr(kInterruptedRunLog), what));
  SetAppCursor(0, false);
  const std::string text = FillPlaceholders(LoadStr(kRunEndedCopiesLeft), {run.title, run.started, run.station});
  const bool remove = Ask(text, InterruptedRunCaption(),
                          gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON1) == gui::IDYES;
  // Read again with the dossier held: a run found undone meanwhile gets the usual question.
  DossierRunInfo now;
  bool next = false;
  if (!HoldStillMarked(DossierRunEndedElsewhere, &now, &next)) return next;
  // Copies that cannot all go stay, and are offered again as copies left at the next opening.
  const DossierRunRedo* redo = RedoOf(now.run);
  if (remove && redo != nullptr) {
    const DossierRunMarkerTakeOver settling;
    (*redo)(now);
  }
  if (!UnmarkHeld(what)) return false;
  WriteLog(FillPlaceholder(LoadStr(remove ? kRunEndedCopiesRemovedLog : kRunEndedCopiesKeptLog), what));
  // Copies the user just chose to keep are not asked about again by this opening.
  LeftCopiesKept() = !remove;
  const bool open = EnsureDossierOpen();
  LeftCopiesKept() = false;
  return open;
}

// A run over two dossiers whose other dossier cannot be read now: nothing is asked or changed,
// the subject's text says which dossier and that the next opening settles the run; the dossier
// stays closed with its marker.
bool SayRunWaiting(const DossierRunInfo& run, const std::string& waiting) {
  WriteLog(FillPlaceholder(LoadStr(kInterruptedRunLog), RunInLog(run)));
  WriteLog(FillPlaceholder(LoadStr(kInterruptedRunNotSettledLog), RunInLog(run)));
  SetAppCursor(0, false);
  Beep();
  gui::MessageBox(DossierMessageOwner(), waiting, InterruptedRunCaption(), gui::MB_OK | gui::MB_ICONSTOP);
  return LeaveClosed();
}

// The run that a marker names was stopped half-way (no station holds the dossier, so none is
// running it): the user is told which run and since when, and it runs again now under the
// exclusive hold (Yes), or the dossier stays closed (No). Nothing has read its tables. A run
// of unknown name is mended by the rebuild. True when the dossier then opened.
bool OfferInterruptedRun() {
  DossierRunInfo run;
  if (!ReadDossierRunMarker(&run)) return EnsureDossierOpen();  // it ended meanwhile
  if (const std::string waiting = DossierRunWaitingText(run); !waiting.empty()) return SayRunWaiting(run, waiting);
  if (DossierRunEndedElsewhere(run)) return OfferToRemoveEndedRunCopies(run);
  if (DossierRunCopiesPutBack(run)) return SayPutBackDone(run);
  const DossierRunRedo* redo = RedoOf(run.run);
  // A run put back from its copies is not run again: the question says which it is.
  const bool restores = redo != nullptr && DossierRunRedoPutsBack(run.run);
  const int question = redo == nullptr ? kAskRebuildInstead : restores ? kAskPutBackRun : kAskRestartRun;
  const std::string text =
      FillPlaceholders(LoadStr(kAskInterruptedRun), {run.title, run.started, run.station, LoadStr(question)});
  const std::string what = RunInLog(run);
  WriteLog(FillPlaceholder(LoadStr(kInterruptedRunLog), what));
  SetAppCursor(0, false);
  // An interrupted validation is put back from its copies without a question (and said after).
  const bool putBack = run.run == kValidationRun;
  if (!putBack &&
      Ask(text, InterruptedRunCaption(), gui::MB_YESNO | gui::MB_ICONSTOP | gui::MB_DEFBUTTON1) != gui::IDYES)
    return LeaveClosed();
  if (!OpenDossierExclusive(false)) return LeaveClosed();
  CloseAllTables();
  TakeDossierRunRedoRefusal();
  TakeDossierRunPutBackStopped();
  bool done = false;
  std::string refusedWrite;
  {
    // The run again (or the rebuild) writes its own marker over the stopped one. A write it meets
    // refused is said in the opening's box, the engine's held back.
    const DossierRunMarkerTakeOver settling;
    RefusalWatch watch(RefusalWatch::EngineBoxes::kHeld);
    done = redo != nullptr ? (*redo)(run) : RedoRebuild(DossierRunInfo{});
    if (watch.RefusedResult() != 0) refusedWrite = RefusedWriteText(watch);
  }
  // Copies missing or not whole: the redo changed nothing, and says which. A put-back stopped by a
  // refused change says that change.
  const std::string refusal = TakeDossierRunRedoRefusal();
  const std::string stopped = TakeDossierRunPutBackStopped();
  CloseAllTables();
  if (DossierLockTable != nullptr && DossierLockTable->isOpen) ReleaseDossierExclusive();
  if (done && !RemoveDossierRunMarker()) return SayMarkerStays(what, errno);
  if (!done) {
    // The dossier stays as the stopped run left it, and says so at the next opening too.
    if (!DossierRunMarkerExists()) WriteDossierRunMarker(run);
    const std::string why = !refusal.empty() ? refusal : !stopped.empty() ? stopped : refusedWrite;
    WriteLog(FillPlaceholder(LoadStr(kInterruptedRunNotSettledLog), what + (why.empty() ? "" : " - " + why)));
    Beep();
    const std::string said = LoadStr(putBack || restores ? kMsgRunNotPutBack : kMsgRunNotRedone);
    // The other dossier of a run over two gone out of reach meanwhile is named as such.
    const std::string waiting = DossierRunWaitingText(run);
    // A put-back stopped part-way keeps whole copies, and a run stopped again by a refused write
    // is left as it was: the next opening goes on with either, and nothing is said of a backup.
    gui::MessageBox(DossierMessageOwner(),
                    !waiting.empty()        ? waiting
                    : !refusal.empty()      ? FillPlaceholders(LoadStr(kCopiesNotWholeHead), {refusal, said})
                    : !stopped.empty()      ? FillPlaceholder(LoadStr(kMsgPutBackStopped), stopped)
                    : !refusedWrite.empty() ? FillPlaceholder(LoadStr(putBack || restores ? kMsgPutBackStopped
                                                                                          : kMsgRedoStopped),
                                                              refusedWrite)
                                            : said,
                    InterruptedRunCaption(), gui::MB_OK | gui::MB_ICONSTOP);
    return LeaveClosed();
  }
  WriteLog(FillPlaceholder(LoadStr(putBack || restores ? kInterruptedRunPutBackLog : kInterruptedRunRedoneLog), what));
  if (putBack) {
    Beep();
    gui::MessageBox(DossierMessageOwner(), ValidationPutBackMessage(run), InterruptedRunCaption(),
                    gui::MB_OK | gui::MB_ICONINFORMATION);
  }
  // The dossier is opened from the start, on the files the run wrote.
  return EnsureDossierOpen();
}

// A run stopped half-way that other stations work beside (an import), the dossier open: finished
// now, without a question, and said; when it cannot be, the dossier stays closed and says why.
bool FinishStoppedRun(const DossierRunInfo& run, const DossierRunFinisher& finish) {
  const std::string what = RunInLog(run);
  WriteLog(FillPlaceholder(LoadStr(kInterruptedRunLog), what));
  SetAppCursor(kCursorWork, false);
  const DossierRunFinish done = finish(run);
  SetAppCursor(0, false);
  if (!done.done) {
    WriteLog(FillPlaceholder(LoadStr(kInterruptedRunNotSettledLog), what));
    Beep();
    gui::MessageBox(DossierMessageOwner(), done.said, InterruptedRunCaption(), gui::MB_OK | gui::MB_ICONSTOP);
    return false;
  }
  WriteLog(FillPlaceholder(LoadStr(kInterruptedRunFinishedLog), what));
  if (!done.said.empty()) {
    Beep();
    gui::MessageBox(DossierMessageOwner(), done.said, InterruptedRunCaption(),
                    gui::MB_OK | gui::MB_ICONINFORMATION);
  }
  return true;
}

// A run at work on another station (its marker still locked): named, and nothing is offered
// to finish or put back. The dossier stays closed until it ends.
bool ShowRunUnderWay() {
  DossierRunInfo run;
  if (!ReadDossierRunMarker(&run)) return EnsureDossierOpen();  // it ended meanwhile
  WriteLog(FillPlaceholder(LoadStr(kRunUnderWayLog), RunInLog(run)));
  SetAppCursor(0, false);
  Beep();
  gui::MessageBox(DossierMessageOwner(),
                  FillPlaceholders(LoadStr(kMsgRunUnderWay), {run.title, run.started, run.station}),
                  FillPlaceholder(LoadStr(kCaptionRunUnderWay), Code()), gui::MB_OK | gui::MB_ICONSTOP);
  return LeaveClosed();
}

// A pack cut short whose files its journal does not recognise: every file stays where it is,
// the dossier closed, and the file is named.
bool RefuseUnknownPack(const std::string& file) {
  WriteLog(FillPlaceholder(LoadStr(kUnknownPackLog), file));
  SetAppCursor(0, false);
  Beep();
  gui::MessageBox(DossierMessageOwner(), UnknownPackMessage(file), NotOpenedCaption(),
                  gui::MB_OK | gui::MB_ICONSTOP);
  return LeaveClosed();
}

// ---- Leftovers of runs that ended ----------------------------------------------

// The prefixes of the sub-folders of copies that the runs of this dossier make ("validation-",
// "san-", "ajout-", "separation-", "let-", "bil-", "restauration-" + code + "-AAAAMMJJ-HHMMSS").
constexpr const char* kCopyFolderPrefixes[] = {"validation-", "san-",  "ajout-",        "separation-",
                                               "let-",        "bil-", "restauration-"};

// Whether `name` (in lower case) is such a sub-folder's name for the dossier code `code`.
bool IsCopyFolderName(const std::string& name, const std::string& code) {
  for (const char* prefix : kCopyFolderPrefixes) {
    const std::string head = prefix + code + "-";
    if (name.size() != head.size() + 15 || name.compare(0, head.size(), head) != 0) continue;
    const std::string stamp = name.substr(head.size());
    bool digits = stamp[8] == '-';
    for (std::size_t i = 0; i < stamp.size(); ++i)
      if (i != 8 && (stamp[i] < '0' || stamp[i] > '9')) digits = false;
    if (digits) return true;
  }
  return false;
}

// The sub-folders of copies of this dossier, by name.
std::vector<std::string> LeftCopyFolders() {
  std::vector<std::string> found;
  const std::string code = Lower(Code().c_str());
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(platform::DiskPath(DossierFolder), ec)) {
    if (!e.is_directory(ec)) continue;
    const std::string name = e.path().filename().string();
    if (IsCopyFolderName(name, code)) found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

// The temporary files of a whole-file write ("<file>.tmp<pid>-<n>") left by a process stopped
// before its rename: of the run marker ("c<code>.run"), of the imports' records (the ASCII
// pieces "cas<code>.pcs", the statements' identities "cof<code>.txt") and totals journals
// ("cof<code>.tot", "cas<code>.tot"), of the renumbering's plan ("c60<code>.ren") and of a
// put-back's note ("<copies folder>.remise"). One is removed only when its process runs no more
// on this station and it was last written some minutes ago: a process of another station, whose
// number says nothing here, writes such a file in far less time.
constexpr auto kLeftTempAge = std::chrono::minutes(5);

bool IsLeftTempName(const std::string& entry, const std::string& code, int* pid) {
  const std::string name = Lower(entry.c_str());
  const std::size_t tmp = name.rfind(".tmp");
  if (tmp == std::string::npos) return false;
  const std::string file = name.substr(0, tmp), rest = name.substr(tmp + 4);
  const std::string plan = RenumberPlanPath();
  const std::string planName = Lower(plan.substr(plan.rfind('/') + 1).c_str());
  const std::vector<std::string> files = {"c" + code + ".run",   "cas" + code + ".pcs", "cof" + code + ".txt",
                                          "cof" + code + ".tot", "cas" + code + ".tot", planName};
  const std::string note = ".remise";
  const bool noteOfCopies = file.size() > note.size() && file.compare(file.size() - note.size(), note.size(), note) == 0 &&
                            IsCopyFolderName(file.substr(0, file.size() - note.size()), code);
  if (!noteOfCopies && std::find(files.begin(), files.end(), file) == files.end()) return false;
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == rest.size() || dash > 9) return false;
  for (std::size_t i = 0; i < rest.size(); ++i)
    if (i != dash && (rest[i] < '0' || rest[i] > '9')) return false;
  *pid = std::atoi(rest.substr(0, dash).c_str());
  return true;
}

void RemoveLeftTempFiles() {
  const std::string code = Lower(Code().c_str());
  std::error_code ec;
  const auto now = std::filesystem::file_time_type::clock::now();
  std::vector<std::filesystem::path> left;
  for (const auto& e : std::filesystem::directory_iterator(platform::DiskPath(DossierFolder), ec)) {
    int pid = 0;
    if (!e.is_regular_file(ec) || !IsLeftTempName(e.path().filename().string(), code, &pid)) continue;
    if (platform::ProcessRunning(pid)) continue;
    const auto written = e.last_write_time(ec);
    if (ec || now - written < kLeftTempAge) continue;
    left.push_back(e.path());
  }
  for (const std::filesystem::path& path : left) {
    const bool removed = std::filesystem::remove(path, ec);
    WriteLog(FillPlaceholder(LoadStr(removed ? kLogTempRemoved : kLogTempNotRemoved),
                             DossierFolder + path.filename().string()));
  }
}

// Copies left by a run that no marker names any more (made before its marker was written, or
// left after it was removed): the tables do not need them. They are named, and removed when
// the user says so; kept otherwise, and the opening goes on.
void OfferToRemoveLeftCopies() {
  const std::vector<std::string> folders = LeftCopyFolders();
  if (folders.empty() || LeftCopiesKept()) return;
  std::string lines;
  for (const std::string& f : folders) lines += "   " + DossierFolder + f + "\n";
  SetAppCursor(0, false);
  const bool remove = Ask(FillPlaceholder(LoadStr(kAskRemoveLeftCopies), lines),
                          FillPlaceholder(LoadStr(kCaptionLeftCopies), Code()),
                          gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON1) == gui::IDYES;
  for (const std::string& f : folders) {
    std::error_code ec;
    if (remove) std::filesystem::remove_all(platform::DiskPath(DossierFolder + f), ec);
    WriteLog(FillPlaceholder(LoadStr(remove && !ec ? kLogCopiesRemoved : kLogCopiesKept), DossierFolder + f));
  }
}

// The index of an append cut short that cannot be made again for want of room: the box (the
// table, then its folder) and the log line (the table). One whose rebuild the disk refused
// otherwise: the table, then why.
constexpr int kMsgIndexDiskFull = 30000;
constexpr int kLogIndexDiskFull = 30001;
constexpr int kMsgIndexRefused = 34013;

// An index left marked by an append that a crash or a full disk cut short holds records in none
// of its tags: each one is made again now, before anything reads the tables. One that cannot be
// (another station has its table open, or its disk has no room for it) stops the opening,
// naming the table and why. True when the dossier can be opened.
bool RepairInterruptedIndexes() {
  for (int number = 10; number <= 70; number += 10) {
    const std::string data = platform::ResolvePath(DossierTableOf(number).path + ".dbf");
    if (!platform::FileExists(data)) continue;
    bool repaired = false;
    std::uint16_t rc = 0;
    std::string refused;
    {
      // A write of the rebuild refused is said as such, not taken for another station's hold.
      RefusalWatch watch(RefusalWatch::EngineBoxes::kHeld);
      rc = RepairInterruptedIndex(data, &repaired);
      // A read the disk refused says nothing of an append cut short: it is said alone.
      if (watch.ReadRefused()) return RefuseUnread(watch);
      if (watch.RefusedResult() != 0 && rc != kResultDiskFull) refused = RefusedWriteText(watch);
    }
    if (repaired) WriteLog(FillPlaceholder(LoadStr(kLogIndexRepaired), data));
    if (rc == kResultDiskFull) {
      const std::size_t slash = data.rfind('/');
      const std::string folder = slash == std::string::npos ? std::string("./") : data.substr(0, slash + 1);
      WriteLog(FillPlaceholder(LoadStr(kLogIndexDiskFull), data));
      SetAppCursor(0, false);
      Beep();
      gui::MessageBox(DossierMessageOwner(), FillPlaceholders(LoadStr(kMsgIndexDiskFull), {data, folder}),
                      NotOpenedCaption(), gui::MB_OK | gui::MB_ICONSTOP);
      return false;
    }
    if (rc != kResultIndexOutOfDate && refused.empty()) continue;
    WriteLog(FillPlaceholder(LoadStr(kLogIndexNotRepaired), data));
    SetAppCursor(0, false);
    Beep();
    gui::MessageBox(DossierMessageOwner(),
                    refused.empty() ? FillPlaceholder(LoadStr(kMsgIndexNotRepaired), data)
                                    : FillPlaceholders(LoadStr(kMsgIndexRefused), {data, refused}),
                    NotOpenedCaption(), gui::MB_OK | gui::MB_ICONSTOP);
    return false;
  }
  return true;
}

}  // namespace

bool AskEuroRate(gui::Window* owner, double& rate) {
  // The input of 7 characters, preset with the usual parity printed 7.5.
  std::string typed = AllTrim(FormatNumber(7, 5, false, Val(LoadStr(kDefaultEuroRate))));
  TDFmtSaisie dialog(owner, TDFmtSaisie::kOkCancel, kPromptEuroRate, &typed, true);
  dialog.SetCaption(LoadStr(kTitleEuroConversion));
  if (dialog.Execute(kTaskModal) != gui::IDOK) return false;
  typed = AllTrim(typed.c_str());
  if (typed.empty()) return false;
  const double value = Val(typed.c_str());
  if (!EuroRateInRange(value)) return false;
  rate = value;
  return true;
}

std::string C10FormatStamp() {
  if (TableC10 == nullptr || !TableC10->isOpen || TableC10->FieldCount() == 0) return std::string(10, ' ');
  std::string stamp = TableC10->FieldName(TableC10->FieldCount());
  stamp.resize(10, ' ');
  return stamp;
}

bool EnsureDossierOpen() {
  // Nothing named, or a dossier kept aside by a restore.
  if (IsBlank(DossierCode)) {
    SetDossierState(' ');
    return true;
  }
  if (DossierCode[0] == '_') {
    Beep();
    gui::MessageBox(DossierMessageOwner(), LoadStr(kMsgUnderscoreDossier), LoadStr(kCaptionAttention),
                    gui::MB_OK | gui::MB_ICONSTOP);
    SetDossierState(' ');
    return false;
  }
  if (TableC10 == nullptr || DossierLockTable == nullptr) return false;
  // A folder named from where the program was started ("dossiers/rel/") is made whole once: the
  // backup's batch file runs in the program folder, and every later command, the slots and the
  // recent list name the dossier wherever the current folder has gone since.
  DossierFolder = platform::AbsolutePath(DossierFolder);
  const std::string code = Code();
  SetLogDossier(DossierFolder, code);
  SetDossierIniPath(PathC10(".ini"));

  // Every dossier table closed.
  SetAppCursor(kCursorWork, false);
  CloseAllTables();
  SetAppCursor(kBusyFirstString, false);

  // A run of this dossier stopped half-way may have left the general file out of place
  // (the conversion): the marker is looked at before the general file is. A run that other
  // stations work beside (an import) is finished once the dossier is open, shared.
  const bool marked = DossierRunMarkerExists();
  if (marked && DossierRunMarkerLive()) return ShowRunUnderWay();
  DossierRunInfo stopped;
  const DossierRunFinisher* finish =
      marked && ReadDossierRunMarker(&stopped) ? FindDossierRunFinisher(stopped.run) : nullptr;
  const bool interrupted = marked && finish == nullptr;
  // Its marker stays as it is through the opening's own repairs, which would write theirs over it.
  std::optional<DossierRunMarker> adopted;
  if (finish != nullptr) adopted.emplace(DossierRunMarker::Adopt{});

  // A read the disk refuses while the opening looks at the dossier stops it before anything is
  // decided from what was read short.
  RefusalWatch unread;

  // The data file can be read.
  const std::string c10Base = PathC10();
  if (!interrupted && !CanReadFile(platform::ResolvePath(c10Base + ".dbf").c_str())) {
    // Too many files open is no folder out of reach.
    if (errno == EMFILE || errno == ENFILE)
      RefusalWatch::NoteEngineReadRefusal(platform::ResolvePath(c10Base + ".dbf"), kResultTooManyFiles);
    if (unread.ReadRefused()) return RefuseUnread(unread);
    SetAppCursor(0, false);
    ShowUnreachable();
    return false;
  }

  // A general file that is no readable table is refused before the lock table is made
  // beside it: its folder may hold no dossier at all.
  const std::string c10Damage = interrupted ? std::string() : DamagedTableFile(c10Base);
  if (unread.ReadRefused()) return RefuseUnread(unread);
  if (!c10Damage.empty()) return RefuseDamaged(c10Damage);

  // The lock table, held shared.
  if (!OpenLockTable(unread) || !ReleaseDossierExclusive()) {
    SetAppCursor(0, false);
    return false;
  }

  // Temporary files of a marker or pieces record whose writer was stopped.
  RemoveLeftTempFiles();

  // Nothing is finished or put back over files a cut-short pack left unrecognised.
  const std::string unknownPack = FindUnknownPackLeftovers();
  if (!unknownPack.empty()) return RefuseUnknownPack(unknownPack);

  // No station holds the dossier alone, so no run is at work on it: a marker left is a run
  // that stopped half-way, and nothing reads its tables before it is dealt with.
  if (interrupted) return OfferInterruptedRun();

  // A damaged data or memo file stops the opening before anything is written: a reindex
  // or a record added would be made through a header that misplaces every field.
  const std::string damaged = FindDamagedDossierTable();
  if (unread.ReadRefused()) return RefuseUnread(unread);
  if (!damaged.empty()) return RefuseDamaged(damaged);

  // Records past a count written back too low are counted in again, under the exclusive hold,
  // before any repair opens a table alone.
  const bool uncounted = AnyUncountedRecords();
  if (unread.ReadRefused()) return RefuseUnread(unread);
  if (uncounted) {
    Beep();
    if (!OpenDossierExclusive(false)) {
      ReleaseDossierExclusive();
      SetAppCursor(0, false);
      return false;
    }
    const bool rebuilt = !SayUncountedRecords() || RebuildTablesAndIndexes(DossierMessageOwner(), false, true);
    ReleaseDossierExclusive();
    if (!rebuilt) {
      SetAppCursor(0, false);
      return false;
    }
  }

  // Indexes left marked by an append cut short, made again before anything reads them.
  if (!RepairInterruptedIndexes()) {
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    SetDossierState(' ');
    return false;
  }

  // Copies that no stopped run needs.
  OfferToRemoveLeftCopies();

  // A stopped renumbering is said at each opening until it is finished.
  if (RenumberingPending()) {
    Beep();
    gui::MessageBox(DossierMessageOwner(), RenumberPendingMessage(), LoadStr(kCaptionAttention),
                    gui::MB_OK | gui::MB_ICONSTOP);
  }

  // C10's index missing, foreign or damaged, or another table's index refused by the
  // engine: the whole dossier is reindexed (the refused index named in the log).
  const std::string refusedIndex = RefusedDossierIndex();
  const std::string foreignIndex = refusedIndex.empty() ? ForeignDossierIndex() : std::string();
  const bool c10Index = C10IndexNeedsRebuild(c10Base);
  if (unread.ReadRefused()) return RefuseUnread(unread);
  if (c10Index || !refusedIndex.empty() || !foreignIndex.empty()) {
    if (!refusedIndex.empty()) WriteLog(FillPlaceholder(LoadStr(kLogIndexUnreadable), refusedIndex));
    if (!foreignIndex.empty()) WriteLog(FillPlaceholder(LoadStr(kLogIndexForeign), foreignIndex));
    Beep();
    if (!OpenDossierExclusive(false)) {
      ReleaseDossierExclusive();
      SetAppCursor(0, false);
      return false;
    }
    const bool rebuilt = RebuildTablesAndIndexes(DossierMessageOwner(), false, true);
    ReleaseDossierExclusive();
    if (!rebuilt) {
      SetAppCursor(0, false);
      return false;
    }
  }

  // The general file itself.
  Table& c10 = *TableC10;
  if (!c10.OpenShared(c10Base)) {
    if (unread.ReadRefused()) return RefuseUnread(unread);
    SetAppCursor(0, false);
    Beep();
    // The index when the engine refused it, the data file otherwise.
    const bool index = c10.result == kResultIndexCorrupt || c10.result == kResultIndexFileError;
    gui::MessageBox(DossierMessageOwner(), platform::ResolvePath(c10Base + (index ? ".mdx" : ".dbf")),
                    LoadStr(kOpeningRefusedCaption), gui::MB_OK | gui::MB_ICONINFORMATION);
    return false;
  }
  SetAppCursor(0, false);

  // A dossier of another format is offered its conversion.
  if (c10.FieldCount() > 0 && c10.FieldName(1)[0] == 'C') return OfferConversion(true, C10FormatStamp());
  if (!c10.OpenShared(c10Base, std::string(LoadStr(kC10CodeTag)).substr(0, 7))) {
    if (unread.ReadRefused()) return RefuseUnread(unread);
    // Without its code order the format stamp cannot be read: no conversion
    // is offered on a guess.
    SetAppCursor(0, false);
    Beep();
    gui::MessageBox(DossierMessageOwner(), platform::ResolvePath(c10Base + ".mdx"), LoadStr(kOpeningRefusedCaption),
                    gui::MB_OK | gui::MB_ICONINFORMATION);
    return false;
  }
  const std::string stamp = C10FormatStamp();
  if (RTrim(stamp.c_str()) != std::string(LoadStr(kProgramStamp))) return OfferConversion(false, RTrim(stamp.c_str()));

  // A missing draft file is created; one that cannot be stops the opening.
  if (!platform::FileExists(platform::ResolvePath(std::string(PathC50()) + ".dbf")) && !CreateMissingC50()) {
    c10.CloseTable(true);
    ReleaseDossierExclusive();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    SetDossierState(' ');
    return false;
  }

  // The dossier record, this station's user level from the password, a stopped import
  // finished, and the dossier is ready. Nothing read short is taken for the dossier's state.
  if (!LoadDossierRecord()) return false;
  if (unread.ReadRefused()) return RefuseUnread(unread);
  if (!CheckDossierPassword()) return LeaveClosed();
  if (finish != nullptr && !FinishStoppedRun(stopped, *finish)) return LeaveClosed();
  // Changes of lines that stopped half-way on any station, finished beside the others' work.
  if (!FinishStoppedLineChangesAtOpening(DossierMessageOwner())) return LeaveClosed();
  SetDossierState(' ');
  return true;
}
