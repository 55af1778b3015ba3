// Backup and restore of the open dossier (SauvegardeDossier and RestaurationDossier).
//
// The dossier is closed and held exclusively while an outside program (a
// batch file of the program folder run with /bin/sh, an archiver, or the
// user's own command line of the program INI) copies its files; the user
// then confirms the end. A batch file runs to its end under a progress
// window that lets the window system work, and what it wrote is shown when
// it fails. Every outside program starts from an argument
// vector: folders, codes and INI values are single arguments, never
// command text, so no character in them can run a command.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/system/process.h"

class TDNuvModeless;
namespace gui {
class Window;
}

// An outside program ready to start.
struct ExternalCommand {
  std::vector<std::string> argv;         // empty: nothing to start
  std::vector<std::string> environment;  // "NAME=value" added for the program
  std::string logText;                   // the command as the log line shows it
};

// The backup method: "LanceM?BACKUP" of the program INI, upper-cased; a
// missing value or a letter outside "7WR8092AZP" counts as '9'.
char ReadBackupMethod();
// The refusal of a method that writes what this system cannot (Windows
// self-extracting programs 0 and 2, RAR archives 7, 8 and R) while the
// program folder holds no batch file for it (the backup's or, with
// `restore`, the restore's); "" when the method can run.
std::string UnavailableMethodText(char method, bool restore);

// "CSAUVE0.BAT" / "CRESTA0.BAT" ... of a batch method ('2' gives the "C"
// pair); "" for a method without batch file.
std::string BackupBatchName(char method, bool restore);

// Program-folder path of a method's batch file, its name found without case.
std::string BackupBatchPath(char method, bool restore);

// Command-line text of an argument vector for the log: arguments holding a
// blank, a quote or nothing are shown between double quotes.
std::string CommandText(const std::vector<std::string>& argv);

// Splits a user's command line into words: blanks separate words, double
// quotes group (and are removed). No other character is special.
std::vector<std::string> SplitCommandWords(const std::string& line);

// The user's procedure line of method P ("Proc-Sauvegar" / "Proc-Restaure")
// as an argument vector: split into words first, then "%chemin%" and
// "%code%" replaced inside each word, and a word holding "%dossier%" made
// into one word per file of the dossier folder that matches the dossier's
// pattern, an index's update journal ("....mdx.journal") left out (sorted;
// the word is kept as typed when no file matches).
std::vector<std::string> ProcedureArguments(const std::string& line, const std::string& dossierFolder,
                                            const std::string& dossierCode);

// The commands as the methods build them, from the program INI and the
// open dossier. `stamp` is the BackupStamp taken for this run; for method 7
// the units and comment come from the confirmation dialog (unit 1 already
// holds the dossier folder). False when the method starts nothing (method P
// with a blank line) or the value that still goes into text ("NUVSAUVE")
// holds a double quote.
struct BackupRequest {
  char method = '7';
  std::string stamp;
  std::string unit1, unit2, comment;  // method 7 only
};
bool BuildBackupCommand(const BackupRequest& request, ExternalCommand& command);
// `chosen`: the chooser's result (the backup's folder, or for method 7 the
// archive itself); ignored by methods A, Z and P. `into`: the folder the
// batch file puts the backup's files in (the restore's work folder; "" for
// the dossier folder).
bool BuildRestoreCommand(char method, const std::string& chosen, ExternalCommand& command,
                         const std::string& into = "");

// The "NUVSAUVE" value: the default target with the code and the stamp.
std::string NuvSauveValue(const std::string& stamp);

// Reopens the current dossier after a backup or a restore (DossierState
// is '2' then). The default puts the current dossier first in the recent
// dossiers and reopens that entry.
void SetDossierReopener(std::function<void()> reopen);

// The station's log during a restore through the user's procedure, which
// writes into the dossier folder: "clg" + code + ".txt" is moved aside
// to "c_lg" + code + ".tmp". An older set-aside file (left by an interrupted
// restore) is kept: the current log is appended to it. Every step is a
// whole-file write or an atomic rename, so no step loses the only copy.
bool SetLogAside();
// Puts the set-aside log back as "clg" + code + ".txt". With
// `dropCurrent` a log found there (brought back by the restore) is
// discarded; otherwise its lines are kept after the set-aside ones.
bool PutLogBack(bool dropCurrent);
std::string SetAsideLogPath();

// Runs a batch file of ours (argv from BatchFileCommand, in the program
// folder, `environment` added) to its end under a progress window whose
// first line is `what`; the window system works meanwhile, and the result
// holds what the batch file wrote (standard output and error).
platform::LaunchResult RunBatchWithProgress(gui::Window* owner, const std::vector<std::string>& argv,
                                            const std::vector<std::string>& environment, const std::string& what);
// The progress window of the batch file running now (nullptr when none).
TDNuvModeless* RunningBatchWindow();

// The command handlers' work (the handler prologue has run).
void CmSauvegardeDossier();
void CmRestaurationDossier();

// Gives their work to SauvegardeDossier and RestaurationDossier (backup, restore).
void InstallDossierBackupCommands();
// What the opening does with a restore stopped half-way: puts the dossier back as it was before
// it, or runs again a user's procedure that wrote into the dossier itself.
void InstallRestoreRedos();

