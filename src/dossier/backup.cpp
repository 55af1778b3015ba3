#include "dossier/backup.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/backup_chooser.h"
#include "dossier/backup_settings.h"
#include "dossier/dossier_commands.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/restore_files.h"
#include "dossier/dossier_slots.h"
#include "dossier/rebuild_indexes.h"
#include "framework/dialog_bases.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/dialog.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/clock.h"
#include "platform/system/file_mode.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "runtime/backup_paths.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "shell/utility_commands.h"

namespace {

// The texts of the backup and the restore, by their ids in the string table.
constexpr int kCaptionProgram = 127;
constexpr int kBatchNames = 1220;         // the batch files of methods 0, 9, W, R, 8 and 7, packed by 11
constexpr int kBatchNamesMethod2 = 1221;  // those of method 2
constexpr int kBackupMethods = 1226;      // the methods' letters
constexpr int kAskBackupEnded = 2268;
constexpr int kAskRestoreEnded = 2269;
constexpr int kLabelBackupProgress = 2980;  // the dossier's code
constexpr int kAskRestore = 2986;           // the dossier's code, the backup, the dossier's folder
constexpr int kCaptionRestore = 2991;       // the dossier's code
constexpr int kMsgRestoreFolderRefused = 19961;  // the dossier's folder
constexpr int kMsgNothingPutBack = 19962;
constexpr int kLabelRunningBatch = 22048;  // the run's name, the batch file
constexpr int kMsgBatchFailed = 22049;     // the run's name, the exit status
constexpr int kMsgLastMessages = 22050;    // the batch file's last lines
constexpr int kMsgSeeDossierLog = 22051;   // the log line of the run
constexpr int kLogRightsNotPutBack = 22052;  // the file
constexpr int kLabelDurationZero = 22053;
constexpr int kLabelDuration = 22054;      // the seconds
constexpr int kLabelSelfExtractingArchive = 22055;
constexpr int kLabelRarArchive = 22056;
constexpr int kMsgMethodUnavailable = 22057;  // the method, what it writes
constexpr int kLabelBackupRun = 22059;
constexpr int kMsgLogNotSetAside = 22060;
constexpr int kLabelRestoreRun = 22061;
constexpr int kLogBackup = 22493;   // the method, the line
constexpr int kLogRestore = 22494;  // the method, the line
constexpr int kMsgCannotStartProgram = 32000;  // the program

std::function<void()> g_reopen;

constexpr const char* kMethods = "7WR8092AZP";
constexpr char kDefaultMethod = '9';

std::string Code() { return TrimmedRight(DossierCode); }

bool EndsWithSeparator(const std::string& text) {
  return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

std::string WithSeparator(std::string text) {
  if (!text.empty() && !EndsWithSeparator(text)) text += '/';
  return text;
}

// Methods A and Z write ZIP archives through their batch files, as method 9 writes LHA archives.
bool IsBatchMethod(char m) {
  return m == '0' || m == '7' || m == '8' || m == '9' || m == 'R' || m == 'W' || m == 'A' || m == 'Z';
}

gui::Window* Owner() { return gui::Window::FromHandle(MainWindowHandle); }

void AddBatch(ExternalCommand& command, char method, bool restore) {
  command.argv = BatchFileCommand(BackupBatchPath(method, restore));
}

std::string LogTextOf(const ExternalCommand& command) {
  // The shell in front of a batch file is not part of what the user set up.
  if (command.argv.size() > 1 && command.argv[0] == "/bin/sh") {
    return CommandText(std::vector<std::string>(command.argv.begin() + 1, command.argv.end()));
  }
  return CommandText(command.argv);
}

bool IsBatchFile(const ExternalCommand& command) {
  return command.argv.size() > 1 && command.argv[0] == "/bin/sh";
}

// The progress window's first line: the run's name, followed by the batch
// file that works when there is one.
std::string RunningText(const std::string& run, const ExternalCommand& command) {
  if (!IsBatchFile(command)) return run;
  const std::string& path = command.argv[1];
  const std::size_t slash = path.find_last_of('/');
  return FillPlaceholders(LoadStr(kLabelRunningBatch),
                          {run, slash == std::string::npos ? path : path.substr(slash + 1)});
}

// What the method's program did: whether it started and, for a batch
// file (run to its end), its exit status and what it wrote.
struct CommandRun {
  bool started = false;
  int exitStatus = -1;
  std::string output;
};

// Starts the command: a batch file runs to its end under the progress
// window (so that its exit status and its messages are known), the user's
// own programs (archivers, procedures) beside the program. A program that
// cannot start is said at once, since the user would otherwise wait for a
// run that never began.
CommandRun StartCommand(const ExternalCommand& command, const std::string& what) {
  CommandRun run;
  if (IsBatchFile(command) && !platform::FileExists(command.argv[1])) {
    gui::MessageBeep(0);
    gui::MessageBox(Owner(), FillPlaceholder(LoadStr(kMsgCannotStartProgram), command.argv[1]),
                    LoadStr(kCaptionProgram), gui::MB_OK | gui::MB_ICONSTOP);
    return run;
  }
  platform::LaunchResult r;
  if (IsBatchFile(command)) {
    r = RunBatchWithProgress(Owner(), command.argv, command.environment, what);
  } else {
    platform::LaunchOptions options;
    options.workingDirectory = ProgramFolder;
    options.extraEnvironment = command.environment;
    r = LaunchProgram(command.argv, options);
  }
  if (r.launched) {
    run.started = true;
    run.exitStatus = r.exitStatus;
    run.output = r.output;
    return run;
  }
  gui::MessageBeep(0);
  gui::MessageBox(Owner(), FillPlaceholder(LoadStr(kMsgCannotStartProgram), command.argv[0]),
                  LoadStr(kCaptionProgram), gui::MB_OK | gui::MB_ICONSTOP);
  return run;
}

constexpr int kShownOutputLines = 6;

// What the end question says first when the batch file failed: its exit
// status, its last messages and the command line written to the log. ""
// when it did not fail.
std::string FailureNote(const char* what, const CommandRun& run, const std::string& logLine) {
  if (run.exitStatus <= 0) return "";
  const std::string lines = platform::LastOutputLines(run.output, kShownOutputLines);
  std::string note = FillPlaceholders(LoadStr(kMsgBatchFailed), {what, std::to_string(run.exitStatus)});
  if (!lines.empty()) note += FillPlaceholder(LoadStr(kMsgLastMessages), lines);
  return note + FillPlaceholder(LoadStr(kMsgSeeDossierLog), logLine);
}

// The log lines of a failed batch file: its exit status, then its last
// messages, one log line each, each the line `id` of the method `m`.
void LogFailure(int id, char m, const CommandRun& run) {
  if (run.exitStatus <= 0) return;
  const std::string method(1, m);
  WriteLog(FillPlaceholders(LoadStr(id), {method, "Erreur " + std::to_string(run.exitStatus)}));
  const std::string lines = platform::LastOutputLines(run.output, kShownOutputLines);
  for (std::size_t at = 0; at < lines.size();) {
    std::size_t eol = lines.find('\n', at);
    if (eol == std::string::npos) eol = lines.size();
    WriteLog(FillPlaceholders(LoadStr(id), {method, "> " + lines.substr(at, eol - at)}));
    at = eol + 1;
  }
}

// Asks until the user answers "Oui" that the outside program has ended.
void ConfirmEnd(int textId) {
  for (;;) {
    const int answer = gui::MessageBox(Owner(), LoadStr(textId), "ATTENTION",
                                       gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2);
    if (answer == gui::IDYES) return;
    gui::MessageBeep(0);
    // A test that queued no further answer must not hang.
    if (gui::ModalSeam::TestMode() && gui::ModalSeam::PendingAnswers() == 0) return;
  }
}

// The end of an outside program: a failure, known once its batch file has ended, is said in a box of its own
// and asks nothing; otherwise the user confirms the end (`textId`).
void SayEnd(int textId, const std::string& failure) {
  if (failure.empty()) {
    ConfirmEnd(textId);
    return;
  }
  gui::MessageBeep(0);
  gui::MessageBox(Owner(), failure, LoadStr(kCaptionProgram), gui::MB_OK | gui::MB_ICONSTOP);
}

// A message as one log line: its lines joined by " / ", blank ones dropped.
std::string OneLine(const std::string& text) {
  std::string out, line;
  auto flush = [&] {
    const std::string t = AllTrim(line.c_str());
    if (!t.empty()) out += (out.empty() ? "" : " / ") + t;
    line.clear();
  };
  for (char c : text) {
    if (c == '\n') flush(); else line += c;
  }
  flush();
  return out;
}

void Reopen() {
  SetDossierState('2');
  if (g_reopen) {
    g_reopen();
    return;
  }
  // The dossier that was current, which "Changer de dossier" may have made
  // another than the one the recent list holds first.
  PutFirstInRecent(DossierEntry(Code(), DossierFolder));
  OpenRecentDossier(1);
}

// The rights of the dossier's files, by lower-cased name.
using DossierFileModes = std::map<std::string, int>;

DossierFileModes ReadDossierFileModes() {
  DossierFileModes modes;
  for (const std::string& name : platform::ListFiles(DossierFolder, DossierFilePattern(Code()))) {
    const int mode = platform::FileMode(DossierFolder + name);
    if (mode >= 0) modes[LowerCp1252(name)] = mode;
  }
  return modes;
}

// After a restore, whose archive keeps no rights: each file of the dossier
// gets back the rights it had before, a new one those of a file created
// now, so that the other users of a shared folder keep their access.
void PutDossierFileModesBack(const DossierFileModes& before) {
  const int fresh = platform::NewFileMode();
  for (const std::string& name : platform::ListFiles(DossierFolder, DossierFilePattern(Code()))) {
    const auto it = before.find(LowerCp1252(name));
    const int wanted = it != before.end() ? it->second : fresh;
    const std::string path = DossierFolder + name;
    if (platform::FileMode(path) != wanted && !platform::SetFileMode(path, wanted)) {
      WriteLog(FillPlaceholder(LoadStr(kLogRightsNotPutBack), path));
    }
  }
}

// Takes the dossier for a whole-dossier run: windows and tables closed, the
// lock table exclusive. False when anything refuses (nothing changed).
bool TakeDossier() {
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return false;
  CloseAllTables();
  return OpenDossierExclusive(true);
}

}  // namespace

// ---- Batch files run under a progress window ----------------------------------

namespace {
TDNuvModeless* g_batchWindow = nullptr;
}  // namespace

platform::LaunchResult RunBatchWithProgress(gui::Window* owner, const std::vector<std::string>& argv,
                                            const std::vector<std::string>& environment, const std::string& what) {
  platform::LaunchOptions options;
  options.workingDirectory = ProgramFolder;
  options.extraEnvironment = environment;
  options.wait = true;
  options.captureOutput = true;
  DossierProgressWindow progress(owner, what);
  progress.SetLine(what);
  progress.SetLine2(LoadStr(kLabelDurationZero));
  TDNuvModeless* const outer = g_batchWindow;
  g_batchWindow = progress.Window();
  // Shown before the batch file starts, however quickly it ends.
  gui::Dialog::ProcessEvents();
  const std::uint32_t start = platform::GetTickCount();
  std::uint32_t shown = 0;
  // The window system works between two looks at the batch file: each
  // second the elapsed time moves on.
  options.whileWaiting = [&] {
    const std::uint32_t seconds = (platform::GetTickCount() - start) / 1000;
    if (seconds == shown) {
      gui::Dialog::ProcessEvents();
      return;
    }
    shown = seconds;
    progress.SetLine2(FillPlaceholder(LoadStr(kLabelDuration), std::to_string(seconds)));
  };
  platform::LaunchResult result = LaunchProgram(argv, options);
  g_batchWindow = outer;
  return result;
}

TDNuvModeless* RunningBatchWindow() { return g_batchWindow; }

// ---- Names and command texts -------------------------------------------------

char ReadBackupMethod() {
  // Method 9 (LHA archives) is the one that works on a fresh machine here.
  std::string value = IniGetString("LanceM?BACKUP", "9");
  char m = value.empty() ? kDefaultMethod : static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
  std::string valid = LoadStr(kBackupMethods);
  if (valid.empty()) valid = kMethods;
  if (m == 0 || valid.find(m) == std::string::npos) m = kDefaultMethod;
  return m;
}

std::string UnavailableMethodText(char method, bool restore) {
  const char m = static_cast<char>(std::toupper(static_cast<unsigned char>(method)));
  const char* what = nullptr;
  if (m == '0' || m == '2') what = LoadStr(kLabelSelfExtractingArchive);
  else if (m == '7' || m == '8' || m == 'R') what = LoadStr(kLabelRarArchive);
  if (what == nullptr || platform::FileExists(BackupBatchPath(m, restore))) return "";
  return FillPlaceholders(LoadStr(kMsgMethodUnavailable), {std::string(1, m), what});
}

std::string BackupBatchName(char method, bool restore) {
  const char m = static_cast<char>(std::toupper(static_cast<unsigned char>(method)));
  // Two texts (methods 0, 9, W, R, 8, 7, and method 2) pack the
  // names by 11, each backup name followed by its restore name.
  static const std::string kOrder = "09WR87";
  // The ZIP methods' files are named after their letter likewise.
  if (m == 'A' || m == 'Z') return std::string(restore ? "CRESTA" : "CSAUVE") + m + ".BAT";
  const std::size_t k = kOrder.find(m);
  if (m != '2' && (k == std::string::npos || !IsBatchMethod(m))) return "";
  const int id = m == '2' ? kBatchNamesMethod2 : kBatchNames;
  const int start = 1 + 22 * static_cast<int>(m == '2' ? 0 : k) + (restore ? 11 : 0);
  return SubStr(LoadStr(id), start, 11);
}

std::string BackupBatchPath(char method, bool restore) {
  const std::string name = BackupBatchName(method, restore);
  return name.empty() ? std::string() : ProgramFilePath(name);
}

std::string CommandText(const std::vector<std::string>& argv) {
  std::string out;
  for (const std::string& a : argv) {
    if (!out.empty()) out += ' ';
    if (a.empty() || a.find_first_of(" \t\"'") != std::string::npos) {
      out += '"' + a + '"';
    } else {
      out += a;
    }
  }
  return out;
}

std::vector<std::string> SplitCommandWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

std::vector<std::string> ProcedureArguments(const std::string& line, const std::string& dossierFolder,
                                            const std::string& dossierCode) {
  std::vector<std::string> out;
  const std::string code = TrimmedRight(dossierCode);
  for (const std::string& word : SplitCommandWords(line)) {
    const std::size_t at = LowerCp1252(word).find("%dossier%");
    if (at == std::string::npos) {
      std::string w = word;
      ExpandProcedureLine(w, dossierFolder, code);
      out.push_back(w);
      continue;
    }
    std::string before = word.substr(0, at), after = word.substr(at + 9);
    ExpandProcedureLine(before, dossierFolder, code);
    ExpandProcedureLine(after, dossierFolder, code);
    // No shell globs the pattern: the matching files are listed here.
    // The journals the engine keeps beside the indexes are no part of the books once no update
    // runs (the dossier is taken whole for the run): they are left out.
    std::vector<std::string> names = platform::ListFiles(dossierFolder, DossierFilePattern(code));
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& name) {
                                 const std::string l = LowerCp1252(name);
                                 return l.size() > 12 && l.compare(l.size() - 12, 12, ".mdx.journal") == 0;
                               }),
                names.end());
    if (names.empty()) {
      std::string w = word;
      ExpandProcedureLine(w, dossierFolder, code);
      out.push_back(w);
    }
    for (const std::string& name : names) out.push_back(before + name + after);
  }
  return out;
}

std::string NuvSauveValue(const std::string& stamp) {
  std::string t = DefaultBackupTarget();
  const std::string code = Code();
  std::size_t at = LowerCp1252(t).find("%code%");
  if (at != std::string::npos) t.replace(at, 6, code);
  at = LowerCp1252(t).find("%dateheure%");
  if (at != std::string::npos) t.replace(at, 11, stamp);
  return t;
}

// ---- Commands ------------------------------------------------------------------

bool BuildBackupCommand(const BackupRequest& request, ExternalCommand& command) {
  command = ExternalCommand{};
  const char m = static_cast<char>(std::toupper(static_cast<unsigned char>(request.method)));
  const std::string code = Code();
  if (IsBatchMethod(m)) {
    const std::string nuv = NuvSauveValue(request.stamp);
    // The one value that a batch file still reads as text.
    if (nuv.find('"') != std::string::npos) return false;
    AddBatch(command, m, false);
    command.environment.push_back("NUVSAUVE=" + nuv);
    command.argv.push_back(DossierFolder);
    command.argv.push_back(code);
    if (m == '7') {
      std::string stampArg = "-" + request.stamp;
      if (!IsBlank(request.comment)) stampArg += "-" + TrimmedRight(request.comment);
      command.argv.push_back(request.unit1);
      command.argv.push_back(stampArg);
      if (!IsBlank(request.unit2)) {
        command.argv.push_back(TrimmedRight(request.unit2));
        command.argv.push_back(stampArg);
      }
    } else {
      std::string unit2 = IniGetString("Un2Sauvegarde", "");
      if (!IsBlank(unit2)) ExpandBackupUnit(unit2, code);
      std::string unit1 = IniGetString("Un-Sauvegarde", (DossierFolder + DefaultBackupTarget()).c_str());
      if (!IsBlank(unit1)) ExpandBackupUnit(unit1, code);
      if (!IsBlank(unit1)) command.argv.push_back(WithSeparator(TrimmedRight(unit1)));
      if (!IsBlank(unit2)) command.argv.push_back(WithSeparator(TrimmedRight(unit2)));
    }
  } else if (m == '2') {
    std::string unit = IniGetString("Un-Sauvegarde", "").substr(0, 11);
    NormaliseBackupUnitPath(unit, m);
    if (IsBlank(unit)) unit = "A:\\";
    ExpandBackupUnit(unit, code, kMethod2Placeholders);
    AddBatch(command, m, false);
    command.argv.push_back(DossierFolder);
    command.argv.push_back(code);
    command.argv.push_back(unit.substr(0, 2));
    command.argv.push_back(unit.size() > 2 ? unit.substr(2, 9) : std::string());
  } else if (m == 'P') {
    command.argv = ProcedureArguments(IniGetString("Proc-Sauvegar", ""), DossierFolder, code);
    if (command.argv.empty()) return false;
  } else {
    return false;
  }
  command.logText = LogTextOf(command);
  return true;
}

bool BuildRestoreCommand(char method, const std::string& chosen, ExternalCommand& command, const std::string& into) {
  command = ExternalCommand{};
  const char m = static_cast<char>(std::toupper(static_cast<unsigned char>(method)));
  const std::string code = Code();
  const std::string target = into.empty() ? DossierFolder : WithSeparator(into);
  if (IsBatchMethod(m)) {
    AddBatch(command, m, true);
    command.argv.push_back(target);
    command.argv.push_back(code);
    if (!IsBlank(chosen)) command.argv.push_back(m == '7' ? chosen : WithSeparator(chosen));
  } else if (m == '2') {
    AddBatch(command, m, true);
    command.argv.push_back(target);
    command.argv.push_back(code);
    // The chosen folder whole: a path cut to its first 11 characters would
    // name another folder.
    command.argv.push_back(chosen.substr(0, 2));
    command.argv.push_back(chosen.size() > 2 ? chosen.substr(2) : std::string());
  } else if (m == 'P') {
    command.argv = ProcedureArguments(IniGetString("Proc-Restaure", ""), DossierFolder, code);
    if (command.argv.empty()) return false;
  } else {
    return false;
  }
  command.logText = LogTextOf(command);
  return true;
}

void SetDossierReopener(std::function<void()> reopen) { g_reopen = std::move(reopen); }

// ---- The station's log during a restore ---------------------------------------

std::string SetAsideLogPath() {
  const std::string log = LogPath(".txt");
  if (log.empty()) return "";
  const std::size_t slash = log.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : log.substr(0, slash);
  const std::string name = slash == std::string::npos ? log : log.substr(slash + 1);
  // "clg" + code + ".txt" becomes "c_lg" + code + ".tmp".
  std::string aside = "c_lg" + LowerCp1252(name.size() > 7 ? name.substr(3, name.size() - 7) : Code()) + ".tmp";
  return platform::ResolveName(folder, aside);
}

bool SetLogAside() {
  const std::string log = LogPath(".txt");
  const std::string aside = SetAsideLogPath();
  if (log.empty() || aside.empty() || !platform::FileExists(log)) return true;
  if (!platform::FileExists(aside)) return platform::AtomicRename(log, aside);
  // An interrupted restore left its set-aside log: keep it, followed by the
  // lines written since.
  std::string older, current;
  if (!platform::ReadWholeFile(aside, older) || !platform::ReadWholeFile(log, current)) return false;
  if (!platform::WriteFileAtomic(aside, older + current)) return false;
  return platform::RemoveFile(log);
}

bool PutLogBack(bool dropCurrent) {
  const std::string log = LogPath(".txt");
  const std::string aside = SetAsideLogPath();
  if (log.empty() || aside.empty() || !platform::FileExists(aside)) return true;
  if (!dropCurrent && platform::FileExists(log)) {
    std::string older, current;
    if (!platform::ReadWholeFile(aside, older) || !platform::ReadWholeFile(log, current)) return false;
    if (!platform::WriteFileAtomic(aside, older + current)) return false;
  }
  // One rename replaces the log found there.
  return platform::AtomicRename(aside, log);
}

// ---- Handlers ------------------------------------------------------------------

// Refuses a method that cannot run here; true when refused.
bool RefuseUnavailableMethod(char method, bool restore) {
  const std::string text = UnavailableMethodText(method, restore);
  if (text.empty()) return false;
  gui::MessageBeep(0);
  gui::MessageBox(Owner(), text, LoadStr(kCaptionProgram), gui::MB_OK | gui::MB_ICONSTOP);
  return true;
}

// Core: none, the backup is an outside program that BuildBackupCommand and StartCommand (backup.cpp) make and start.
void CmSauvegardeDossier() {
  if (RefuseUnavailableMethod(ReadBackupMethod(), false)) return;
  if (!TakeDossier()) return;
  SetDossierState('1');
  ChangeDir("");

  BackupRequest request;
  request.method = ReadBackupMethod();
  request.stamp = BackupStamp();
  const char m = request.method;
  bool cancelled = false;

  if (IsBatchMethod(m)) {
    const std::string nuv = NuvSauveValue(request.stamp);
    if (nuv.find('"') != std::string::npos) {
      cancelled = true;
    } else {
      platform::SetOwnEnvironment("NUVSAUVE", nuv);
      if (m == '7') {
        TDConfSauvegarde dialog(Owner(), 1335, nuv);
        if (dialog.Execute(kTaskModal) == gui::IDOK) {
          // The batch file gets each folder and, after it, the stamp and the comment.
          const BackupTargets& targets = dialog.Targets();
          // Each unit gets the same backup folder under it, as the dialog showed.
          request.unit1 = DossierFolder + targets.relative;
          request.unit2 = targets.unit2Folder.empty() ? std::string() : WithSeparator(targets.unit2Folder) + targets.relative;
          request.comment = targets.comment;
        } else {
          cancelled = true;
        }
      }
    }
  }

  std::string failure;
  if (!cancelled) {
    ExternalCommand command;
    const bool built = BuildBackupCommand(request, command);
    if (built && !command.argv.empty()) {
      const std::string logLine = FillPlaceholders(LoadStr(kLogBackup), {std::string(1, m), command.logText});
      if (IsBatchMethod(m)) {
        WriteLog(logLine);
        if (m == '7') {
          const std::string copy =
              platform::ResolveName(DossierFolder, "cin" + LowerCp1252(Code()) + ".ini");
          platform::CopyFile(IniPath(), copy, true);
        }
      }
      const CommandRun run =
          StartCommand(command, RunningText(FillPlaceholder(LoadStr(kLabelBackupProgress), Code()), command));
      if (!run.started) cancelled = true;
      failure = FailureNote(LoadStr(kLabelBackupRun), run, logLine);
      LogFailure(kLogBackup, m, run);
    } else if (m != 'P') {
      cancelled = true;
    }
  }

  if (!cancelled) {
    SayEnd(kAskBackupEnded, failure);
    ReleaseDossierExclusive();
  }
  Reopen();
}

// Core: SelectRestoredFiles, InstallRestoredFiles.
void CmRestaurationDossier() {
  if (RefuseUnavailableMethod(ReadBackupMethod(), true)) return;
  if (!TakeDossier()) return;
  ClearOpenWindowRegistry();
  SetDossierState('1');
  ChangeDir("");
  const char m = ReadBackupMethod();
  // A batch file unpacks the backup into the restore's own folder; the dossier's files are
  // taken from there once checked, and the station's log stays in place (the restore adds to
  // it). A user's procedure writes where it is told: the station's log is set aside meanwhile.
  const bool checked = IsBatchMethod(m) || m == '2';
  if (!checked && !SetLogAside()) {
    // A restore now could put the backup's log over the station's own.
    gui::MessageBeep(0);
    gui::MessageBox(Owner(), LoadStr(kMsgLogNotSetAside), LoadStr(kCaptionProgram), gui::MB_OK | gui::MB_ICONSTOP);
    Reopen();
    return;
  }

  const std::string code = Code();
  bool cancelled = false;
  ExternalCommand command;
  std::string chosen;
  RestoreFolders folders;

  if (checked) {
    std::string path;
    if (m == '2') {
      path = IniGetString("Un-Sauvegarde", "").substr(0, 11);
      NormaliseBackupUnitPath(path, m);
      if (IsBlank(path)) path = "A:\\";
    } else {
      path = IniGetString("Un-Sauvegarde", (DossierFolder + DefaultBackupTarget()).c_str());
    }
    if (!ChooseDossierBackup(Owner(), path, m, code)) {
      cancelled = true;
    } else {
      chosen = path;
      if (m == '7') {
        const std::string text = FillPlaceholders(LoadStr(kAskRestore), {code, path, DossierFolder});
        cancelled = gui::MessageBox(Owner(), text, FillPlaceholder(LoadStr(kCaptionRestore), code),
                                    gui::MB_YESNO | gui::MB_ICONINFORMATION) != gui::IDYES;
      }
    }
  }
  if (!cancelled && checked) {
    if (!MakeRestoreFolders(DossierFolder, code, &folders)) {
      gui::MessageBeep(0);
      gui::MessageBox(Owner(), FillPlaceholder(LoadStr(kMsgRestoreFolderRefused), DossierFolder),
                      LoadStr(kCaptionProgram), gui::MB_OK | gui::MB_ICONSTOP);
      cancelled = true;
    } else {
      BuildRestoreCommand(m, chosen, command, folders.work);
    }
  } else if (!cancelled) {
    BuildRestoreCommand(m, "", command);
  }

  // A user's procedure writes into the dossier folder itself: a restore stopped half-way is
  // named at the next opening, which offers to run it again. The other methods change the
  // dossier only once their files are checked, under the marker of InstallRestoredFiles.
  const DossierFileModes modes = ReadDossierFileModes();
  CommandRun run;
  std::optional<DossierRunMarker> restoring;
  if (!cancelled && !checked && !command.argv.empty()) {
    {
      // The backup replaces every table a stopped run left half-written: the restore takes its place.
      const DossierRunMarkerTakeOver settling;
      restoring.emplace(BooksReading{}, kRestoreProcedureRun, LoadStr(kTitleRestoreRun));
    }
    if (!restoring->written()) {
      gui::MessageBox(Owner(), DossierRunMarkerRefusal(restoring->path()), LoadStr(kCaptionProgram),
                      gui::MB_OK | gui::MB_ICONSTOP);
      cancelled = true;
    }
  }
  if (!cancelled && !command.argv.empty()) {
    run = StartCommand(command, RunningText(FillPlaceholder(LoadStr(kCaptionRestore), code), command));
    if (!run.started) cancelled = true;
  }

  if (cancelled) {
    if (!checked) PutLogBack(false);
  } else {
    const std::string logLine = FillPlaceholders(LoadStr(kLogRestore), {std::string(1, m), command.logText});
    std::string failure = FailureNote(LoadStr(kLabelRestoreRun), run, logLine);
    if (checked && !failure.empty()) failure += LoadStr(kMsgNothingPutBack);
    SayEnd(kAskRestoreEnded, failure);
    std::string outcome;
    bool refused = false, changed = !checked;
    if (checked && run.exitStatus == 0) {
      const RestoreSelection selection = SelectRestoredFiles(folders.work, DossierFolder, code);
      if (!selection.refusal.empty()) {
        outcome = selection.refusal;
        refused = true;
      } else {
        const RestoreResult result = InstallRestoredFiles(folders, DossierFolder, code, selection);
        outcome = result.message;
        refused = !result.done;
        changed = result.done || result.folderKept;
        // Kept for the put-back of the next opening.
        if (result.folderKept) folders = RestoreFolders{};
      }
    }
    PutDossierFileModesBack(modes);
    // The log brought back by the user's procedure gives way to the station's own.
    if (!checked) PutLogBack(true);
    WriteLog(logLine);
    LogFailure(kLogRestore, m, run);
    if (!outcome.empty()) {
      WriteLog(FillPlaceholders(LoadStr(kLogRestore), {std::string(1, m), OneLine(outcome)}));
      if (refused) gui::MessageBeep(0);
      gui::MessageBox(Owner(), outcome, FillPlaceholder(LoadStr(kCaptionRestore), code),
                      gui::MB_OK | (refused ? gui::MB_ICONSTOP : gui::MB_ICONINFORMATION));
    }
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    // The working date stored in the dossier is the restored one's only when something was restored.
    UseStoredWorkingDate = changed;
  }
  restoring.reset();
  RemoveRestoreFolders(folders);
  Reopen();
}

namespace {

// The restore of a user's procedure, stopped half-way: run again (the backup chosen again); the
// opening goes on afterwards instead of the restore's reopening.
bool RedoRestoreProcedure(const DossierRunInfo&) {
  SetDossierReopener([] {});
  CmRestaurationDossier();
  SetDossierReopener({});
  return !DossierRunMarkerExists();
}

// A restore stopped while it put the backup's files in place: the dossier as it was before it.
bool PutBackStoppedRestore(const DossierRunInfo& run) {
  // A marker without the list of what was moved was left by a restore that wrote directly into
  // the dossier: it is run again.
  if (run.detail.empty()) return RedoRestoreProcedure(run);
  std::string why;
  bool untouched = false;
  if (PutBackInterruptedRestore(DossierFolder, run.detail, &why, &untouched)) return true;
  // A file missing changed nothing; a change refused part-way is finished by the next opening.
  if (untouched) NoteDossierRunRedoRefusal(why);
  else NoteDossierRunPutBackStopped(why);
  return false;
}

}  // namespace

// ---- Commands of the menu ------------------------------------------------------

void InstallDossierBackupCommands() {
  SetCommandWork(command_id::SauvegardeDossier, &CmSauvegardeDossier);
  SetCommandWork(command_id::RestaurationDossier, &CmRestaurationDossier);
}

void InstallRestoreRedos() {
  SetDossierRunRedo(kRestoreRun, PutBackStoppedRestore, true);
  SetDossierRunRedo(kRestoreProcedureRun, RedoRestoreProcedure);
}
