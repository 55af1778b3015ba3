// INI files and the program folder.
//
// The program INI is "merlon.ini" in the program folder, with one section
// named after the program title (string 0). The dossier INI sits beside the
// dossier's general file; the dossier code tells it with SetDossierIniPath.
// Blank rule of these functions: a value that is empty or only blanks
// deletes the key; a key that is empty or only blanks deletes the section.
#pragma once

#include <cstddef>
#include <string>

// Program folder: $MERLON_HOME, else ~/.local/share/merlon, always ending
// with "/". Fixed by InitRuntime (or SetProgramFolder in tests).
extern std::string ProgramFolder;
void SetProgramFolder(const std::string& folder);  // adds the final "/" when missing
// Folder chosen from the environment (no side effect).
std::string DefaultProgramFolder();

// Path of a file of the program folder, its name resolved without case.
std::string ProgramFilePath(const std::string& name);

// Program INI path (ProgramFolder + "merlon.ini", resolved without case).
const char* IniPath();

// Program INI, section string 0. Returns the length copied into buf.
std::size_t IniGetString(const char* key, const char* def, char* buf, std::size_t size);
std::string IniGetString(const char* key, const char* def = "");
bool IniSetString(const char* key, const char* value);
bool IniSetSectionString(const char* section, const char* key, const char* value);
std::string IniGetSectionString(const char* section, const char* key, const char* def = "");

// Dossier INI (path set when a dossier opens; empty = no dossier: reads give
// the default, writes fail).
void SetDossierIniPath(const std::string& path);
const std::string& DossierIniPath();
std::size_t DossierIniGet(const char* section, const char* key, const char* def, char* buf,
                          std::size_t size);
std::string DossierIniGet(const char* section, const char* key, const char* def = "");
bool DossierIniSet(const char* section, const char* key, const char* value);

// Any INI file.
bool IniFileSetString(const char* path, const char* section, const char* key, const char* value);
std::string IniFileGetString(const char* path, const char* section, const char* key,
                             const char* def = "");

// Key k (1-based) of a packed key entry: characters 13(k-1)+1 to 13k of
// string `id`, trailing blanks removed.
std::string PackedKey(int id, int k);

// "NumeroPoste" of the program INI (default "0"), at most 10 characters, in ScratchText.
const char* WorkstationNumber();

// Makes the folder current; a blank folder means the program folder.
bool ChangeDir(const char* folder);

// Message hook for OpenProgramDocument's launch errors (the window layer fills it).
using DocumentErrorHook = void (*)(const char* path, int error);
void SetDocumentErrorHook(DocumentErrorHook hook);
// Launcher (tests replace it): opens the file with the desktop's handler,
// through an argument vector. Returns 0 or an errno.
using DocumentOpener = int (*)(const std::string& path);
void SetDocumentOpener(DocumentOpener opener);  // null = xdg-open

// Opens the program-folder document named by string `id` with the desktop's
// handler; true when the file exists. Nothing is deleted and no package is
// started.
bool OpenProgramDocument(int id);
// Deletes the program-folder file named by string `id`; true when it is gone.
bool DeleteProgramFile(int id);
