// Names of the dossier's files and of the program folder's shared tables, and the loading of
// the dossier record from the general file C10.
//
// Path results are written into PathBuffer (session.h) and stay valid until the next path or
// key is built. File names are lower case; folders keep their case.
#pragma once

#include <string>

// Folder of the open dossier's files (ending with "/") and its code (at most 5 characters).
extern std::string DossierFolder;
extern std::string DossierCode;
// While set, ReadC10Texts takes the working date stored in the dossier.
extern bool UseStoredWorkingDate;

// Sets DossierFolder (a final "/" added when missing) and DossierCode.
void SetDossier(const std::string& folder, const std::string& code);

// DossierFolder + "c10" + code + suffix (".ini": the dossier INI, found without case).
const char* PathC10(const char* suffix = "");
const char* PathC20();
const char* PathC30();
const char* PathC40();
const char* PathC50();
const char* PathC60();
const char* PathC70();
// DossierFolder + "c" + code without trailing blanks + "_" up to 7 characters after the "c".
const char* DossierTablePath();
// The same lock table of another dossier: `folder` + "c" + code ... (folder ending with "/").
std::string DossierTablePathOf(const std::string& folder, const std::string& code);
// ProgramFolder + "ce" + letter + "etats".
const char* PathReportDefs(char letter);
// DossierFolder + "cep" + code without trailing blanks.
const char* PathCEP();
// "NomFichierExport" of the program INI when not blank, else DossierFolder + "c" + name part
// + code + extension.
const char* ExportFileName(const char* extension, const char* namePart);

// Loads the dossier's parameter record (C10 kind "0") into TheDossierRecord, keeping the
// user's level and, unless UseStoredWorkingDate, the working date in memory. False when the
// record is not found (the record is then left as it was).
bool ReadC10Texts();
