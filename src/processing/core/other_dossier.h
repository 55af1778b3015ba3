// Another dossier besides the open one, as the transfers between dossiers reach it: its folder
// and code taken from the general file the user picks, the paths of its tables, the test that it
// is neither the open dossier nor used by another station.
#pragma once

#include <string>

namespace processing {

// A dossier: its folder (ending with "/", case kept) and its code (upper case, at most 5).
struct OtherDossier {
  std::string folder;
  std::string code;
};

// The dossier of a general file's path ("<folder>/c10<code>.dbf", the name read without case):
// false when the path names no folder or its file name does not begin with "c10". The code is
// the up to five characters after "c10", cut at the first ".", in upper case.
bool OtherDossierOfFile(const std::string& path, OtherDossier* dossier);

// The paths of the other dossier's tables, without extension: folder + "c10" + lower-case code.
std::string OtherPathC10(const OtherDossier& d);
std::string OtherPathC20(const OtherDossier& d);
std::string OtherPathC30(const OtherDossier& d);
std::string OtherPathC40(const OtherDossier& d);
std::string OtherPathC50(const OtherDossier& d);
std::string OtherPathC60(const OtherDossier& d);

// True when `d` is the open dossier (DossierFolder, DossierCode): the same code in the same
// folder, the folders compared once resolved (a second spelling of a folder is the same folder).
bool IsOpenDossier(const OtherDossier& d);

// The message of another dossier a station has open.
std::string OtherDossierBusyText();
std::string OtherDossierBusyCaption();

}  // namespace processing
