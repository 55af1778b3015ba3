// What a restore takes from a backup, and how it puts it in place. The method's program unpacks
// the backup into a work folder inside the restore's own folder of the dossier ("restauration-"
// + code + "-AAAAMMJJ-HHMMSS", readable by this user only); only then are its members looked at.
// The dossier's own files replace the dossier's when each is a regular file under one name, each
// table opens whole, has the fields of its kind and its memos inside its memo file, the backup
// holds every table the dossier has, and its tables hold together as one state of the books. A link, a device, another dossier's file or a table that
// does not fit refuses the whole restore before anything of the dossier is replaced; any other
// member is left out and named. The records of the bank imports go with the books: taken from
// the backup, or the dossier's own set aside under another name when the backup has none; and
// what the dossier's log says of the imports (the station's log stays, the backup's is only
// read) is brought to what the backup's log says, by lines added to it.
//
// The files the restore replaces are moved into its folder, under the dossier's run marker,
// before the backup's go in, and removed only once the restored tables open in place: a restore
// that fails or is stopped half-way is put back from them.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "data/entry_lines.h"

// The restore as the user knows it ("Restauration du dossier"), the title its run marker records.
inline constexpr int kTitleRestoreRun = 19889;

// The restore's folder, ending with "/", and its sub-folder that the backup is unpacked into.
struct RestoreFolders {
  std::string folder;
  std::string work;
};
// Makes both in `dossierFolder`, readable by this user only (each file goes into place by one
// rename); false when either cannot be made (a folder of that name is there already).
bool MakeRestoreFolders(const std::string& dossierFolder, const std::string& code, RestoreFolders* folders);
// Removes the restore's folder and whatever is left in it.
void RemoveRestoreFolders(const RestoreFolders& folders);

// Whether a file name (without folder, any case) is one of dossier `code`'s own files that a
// restore takes: "c10" to "c70" and "cep" followed by the code, with ".dbf", ".dbt" or ".mdx",
// the dossier INI "c10" + code + ".ini", and the records of the bank imports.
bool IsRestorableDossierFile(const std::string& name, const std::string& code);
// Whether it names a table file of another dossier (the same forms with another code).
bool IsOtherDossierFile(const std::string& name, const std::string& code);
// Whether it names a record of the bank imports: "cof" (statements) or "cas" (ASCII entries),
// the code, a dot and one extension other than "lck" (the lock file of a running import).
bool IsImportRecord(const std::string& name, const std::string& code);

// What an import reads in the dossier's log about the runs the books hold, brought by a restore
// to what the backup's log says: the lines to add to the log, and the files of the runs that
// change (for the end message).
struct ImportLogChange {
  std::vector<std::string> lines;
  std::vector<std::string> notHeld;  // runs the books no longer hold: their files go in again whole
  std::vector<std::string> held;     // runs the books hold again: their files are refused again
  std::vector<std::string> stopped;  // runs the books hold stopped half-way: the next import resumes them
};
// From the log as wanted (the backup's, or the station's before a restore that is put back) and
// the log now. An import registers its own under its name; a restore runs every one.
using ImportLogReconciler = std::function<ImportLogChange(const std::string& wanted, const std::string& now)>;
void SetImportLogReconciler(const std::string& import, ImportLogReconciler reconcile);

struct RestoreSelection {
  std::vector<std::string> taken;     // names in the work folder, each as it goes into the dossier
  std::vector<std::string> leftOut;   // members that are no file of the dossier (as shown)
  std::vector<std::string> replaced;  // the dossier's files that the taken ones replace or make stale
  // Index files of the backup that were not their table's (made for another table or dossier) or
  // did not read: left out, the table restored without them; the opening makes their tags.
  std::vector<std::string> indexesLeftOut;
  // The dossier's import records the backup does not hold, and the names they take.
  std::vector<std::pair<std::string, std::string>> setAside;
  std::string refusal;  // why nothing is restored (French, naming the member); "" when the restore goes on
  // The backup's totals that are not those of its lines, and the ReConstruction that makes them
  // again (French, for the end message); "" when every total holds.
  std::string totalsAdvice;
  // The backup's lines whose amount does not read (named in the end message).
  std::vector<UnreadableAmountLine> unreadable;
  bool hasLog = false;  // the backup holds the dossier's log: its text
  std::string log;
};

// Looks at every member in `work` for dossier `code` of `dossierFolder`: the dossier's files are
// given the names they take in the dossier, each table is checked whole and its index made to
// agree with its records (in the work folder only), and the tables are checked together as the
// books must hold together (sort records and lines, analytic records and their lines:
// DossierInvariants), so that no copy cut part-way nor archive of two states of the dossier is
// installed; totals that are not those of the lines are restored and named (totalsAdvice).
// Nothing of the dossier is changed.
RestoreSelection SelectRestoredFiles(const std::string& work, const std::string& dossierFolder,
                                     const std::string& code);

struct RestoreResult {
  bool done = false;        // the backup's files are in place and open
  bool folderKept = false;  // the restore's folder holds what a put-back at the next opening needs
  std::string message;      // French: what was restored, or why the dossier is as it was
};

// Puts the taken files in place under the run marker: the files replaced into the restore's
// folder, the import records set aside, the taken files renamed in; then each restored table is
// opened in place, and the log's lines of the imports are added (when the backup holds its log)
// before the marker goes. A failure puts everything back, the log's lines of the imports
// included. The restore's folder is removed when done.
RestoreResult InstallRestoredFiles(const RestoreFolders& folders, const std::string& dossierFolder,
                                   const std::string& code, const RestoreSelection& selection);

// The put-back of a restore stopped half-way, from its marker's detail: the dossier as it was
// before the restore, the restore's folder removed. False, with the French reason, when a file
// it needs is missing (nothing is changed then: *untouched, when given, is true) or a file could
// not be put back (the file and what the disk said; the next put-back finishes it).
bool PutBackInterruptedRestore(const std::string& dossierFolder, const std::string& detail, std::string* why,
                               bool* untouched = nullptr);
