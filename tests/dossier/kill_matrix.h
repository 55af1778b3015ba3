// The checks of the kill matrix: what a dossier holds, read through the engine, and what a
// killed run may have left beside it.
//
// - The live records of every table as a multiset of their fields' texts (memos read whole),
//   some fields left out where a run may legitimately give another value.
// - Every tag of every production index walks exactly the records a tag built afresh on the
//   same data walks, in the same order; every tag the table kind has is there.
// - No copies folder, pack file or run marker left in the dossier folder.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kill_matrix {

// One table's live records; a dossier's tables by file name ("c50a.dbf").
using TableRecords = std::multiset<std::string>;
using DossierRecords = std::map<std::string, TableRecords>;

// The dossier tables of `folder` (the lock table aside), their live records with the fields
// named in `ignored` left out: "BPIECE" a whole field, "GZONE1@165:6" six characters of it from
// the 165th. A table that does not open is given as one record
// naming the engine's code.
DossierRecords ReadRecords(const std::string& folder, const std::set<std::string>& ignored);

// What differs between the records read and those expected, table by table, in a few words
// ("c50a.dbf: 412 live records, expected 420; 3 not expected, 11 missing"); empty when equal.
std::string RecordDifference(const DossierRecords& got, const DossierRecords& expected);

// The tags of the folder's tables that do not walk their table's records, each named with
// what differs; `scratch` is a folder the check may write into. Empty when every tag holds.
std::vector<std::string> TagFaults(const std::string& folder, const std::string& scratch);

// What a run left in the dossier folder that a finished or put-back run never leaves: a
// sub-folder (copies aside), a ".pack" file or a pack journal "<table>.dbf.pack.journal", the run
// marker "c<code>.run".
std::vector<std::string> Leftovers(const std::string& folder, const std::string& code);

}  // namespace kill_matrix
