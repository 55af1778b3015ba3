// What a restore takes from a backup. The method's program unpacks the backup into a private
// work folder inside the dossier folder; only then are its members looked at, and only the
// dossier's own files, each a regular file and each table opening whole, replace the
// dossier's. A link, a device, another dossier's file or a damaged table refuses the whole
// restore before anything of the dossier is replaced; any other member is left out and named.
#pragma once

#include <string>
#include <vector>

// A fresh folder, readable by this user only, inside `dossierFolder` (so that each file goes
// into place by one rename); "" when it cannot be made.
std::string MakeRestoreWorkFolder(const std::string& dossierFolder);
// Removes the work folder and whatever is left in it.
void RemoveRestoreWorkFolder(const std::string& work);

// Whether a file name (without folder, any case) is one of dossier `code`'s own files that a
// restore takes: "c10" to "c70" and "cep" followed by the code, with ".dbf", ".dbt" or ".mdx",
// and the dossier INI "c10" + code + ".ini".
bool IsRestorableDossierFile(const std::string& name, const std::string& code);
// Whether it names a table file of another dossier (the same forms with another code).
bool IsOtherDossierFile(const std::string& name, const std::string& code);

struct RestoreSelection {
  std::vector<std::string> taken;    // lower-case names, each a checked file of the work folder
  std::vector<std::string> leftOut;  // members that are no file of the dossier (as found)
  std::string refusal;               // why nothing is restored (French, naming the member); "" when the restore goes on
};

// Looks at every member in `work` for dossier `code`: the dossier's files are given their
// lower-case names there and each table is opened whole (data and memo file).
RestoreSelection SelectRestoredFiles(const std::string& work, const std::string& code);

// Puts the taken files in place, each by one rename over the dossier's own (a file of the same
// name in another case is removed after). False when a rename fails, `error` naming the file;
// the files put in place before it stay.
bool InstallRestoredFiles(const std::string& work, const std::string& dossierFolder, const RestoreSelection& selection,
                          std::string* error);

// The end message of a restore: what was restored and what was left out.
std::string RestoreReport(const std::string& code, const RestoreSelection& selection);
