// The choice of the backup to restore: a file-open dialog that comes back
// until the chosen file is a backup of this dossier by the method's own name.
#pragma once

#include <string>

namespace gui {
class Window;
}

// Name of the backups a method writes for a dossier, as the restore accepts
// them (file name only, compared without case):
//   0, R, 2: "ZEL" + code + ".EXE"; 9: ".LZH"; 8: ".RAR";
//   7: "ZEL" + code + "-" + an 8-digit date + "-" + HH "h" MMSS, then any
//      "-comment", then ".RAR" (what CSAUVE7.BAT writes);
//   W: "C10" + code + "-SAUVEW.DBF".
// Another dossier's backup never passes, whatever its code ("AB" refuses
// "ZELABC.rar" and "ZELAB-1.rar").
bool IsBackupOfDossier(const std::string& path, const std::string& dossierCode, char method);

// Title and filter string ids of a method's choice (0 when the method has
// no file choice).
int BackupChoiceTitle(char method);
int BackupChoiceFilter(char method);

// The file dialog of the restore. path: the start folder in (templates
// "%defaut%", "%code%" and "%dateheure%" allowed), the chosen backup out:
// for method 7 the archive itself, otherwise its folder ending with "/".
// A file that is not a backup of this dossier beeps and the dialog comes
// back. False when the user cancels.
bool ChooseDossierBackup(gui::Window* owner, std::string& path, char method, const std::string& dossierCode);
