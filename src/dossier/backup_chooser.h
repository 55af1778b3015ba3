// The choice of the backup to restore: a file-open dialog that comes back
// until the chosen file is a backup of this dossier by the method's own name.
#pragma once

#include <string>

namespace gui {
class Window;
}

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
