// Copies of some of a dossier's tables (data, index and memo files) kept aside in a sub-folder of
// the dossier while a run changes them in place, so that a run that fails, or that a crash stops
// half-way, is put back as it was: every file of those tables is replaced by its copy, and a file
// that had no copy (an index made by the run) is removed. The copies are made and flushed before
// the run's first change; the run's marker records their detail (AsideCopies::Detail) so that the
// next opening can put them back.
#pragma once

#include <string>
#include <vector>

struct AsideCopies {
  std::string folder;               // the sub-folder's name, ending with "/"
  std::vector<std::string> bases;   // the tables' base names ("c10je" ...)
  std::vector<std::string> files;   // the files copied, by name
  // "folder|base,base,...|file|file...": what a put-back needs.
  std::string Detail() const;
  static bool FromDetail(const std::string& detail, AsideCopies* copies);
};

// Copies every file of the tables `bases` found in `dossierFolder` (ending with "/") into the new
// sub-folder `name` (ending with "/"), each flushed to disk. False, with the sub-folder removed and
// the French reason in *error, when a copy fails.
bool MakeAsideCopies(const std::string& dossierFolder, const std::string& name, const std::vector<std::string>& bases,
                     AsideCopies* copies, std::string* error);

// True when every copy the list names is in the sub-folder (or was put in place by a put-back
// that stopped), each data file whole (it opens, its header agrees with its size), and the
// sub-folder holds no copy the list leaves out. False, with the French reason, otherwise: a
// put-back then changes nothing.
bool AsideCopiesComplete(const std::string& dossierFolder, const AsideCopies& copies, std::string* error);

// True when a put-back of these copies went to its end: neither the sub-folder nor the put-back's
// note is left, and every table the copies name opens whole in the dossier folder. A marker
// found over such a dossier was left by a put-back stopped before its removal.
bool AsideCopiesPutBackDone(const std::string& dossierFolder, const AsideCopies& copies);

// Puts the copies back into the dossier folder (each table's copies renamed over its files
// together, whole or not at all; a file of those tables without a copy removed), then removes the
// sub-folder. A put-back stopped half-way can be run again, and one gone to its end is done
// (AsideCopiesPutBackDone). Refused before any change unless the copies are complete
// (AsideCopiesComplete). False, with the French reason (the file and what the disk said), when
// a change was refused: the tables not yet reached are as they were, the sub-folder and the
// note stay, and the put-back run again finishes it.
bool PutBackAsideCopies(const std::string& dossierFolder, const AsideCopies& copies, std::string* error);

// Removes the sub-folder and its copies (after a run that succeeded).
bool RemoveAsideCopies(const std::string& dossierFolder, const AsideCopies& copies);
