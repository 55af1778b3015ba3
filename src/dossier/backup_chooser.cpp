#include "dossier/backup_chooser.h"

#include <cctype>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/cursor.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/backup_paths.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "shell/cursors.h"

namespace {

// The refusal of a chosen file that is no backup of the dossier by the method, and the name of
// such a backup.
constexpr int kNotABackupOfTheDossier = 30513;
constexpr int kAutomaticBackupName = 30514;
constexpr int kAttention = 52;  // "ATTENTION", the refusal's title

// The file dialog's title and filter for each method's backups ("%s" where the dossier's code goes).
constexpr int kTitleChooseExeBackup = 2848, kFilterExeBackups = 2849;  // methods 0, R and 2
constexpr int kTitleChooseLzhBackup = 2939, kFilterLzhBackups = 2940;  // method 9
constexpr int kTitleChooseCopyBackup = 2942, kFilterCopyBackups = 2943;  // method W
constexpr int kTitleChooseZipBackup = 2944, kFilterZipBackups = 2945;  // methods A and Z
constexpr int kTitleChooseRarBackup = 2976, kFilterRarBackups = 2977;  // method 8
constexpr int kTitleChooseAutomaticBackup = 3200, kFilterAutomaticBackups = 3201;  // method 7

std::string BackupNameOf(char method, const std::string& code) {
  switch (static_cast<char>(std::toupper(static_cast<unsigned char>(method)))) {
    case '7': return FillPlaceholder(LoadStr(kAutomaticBackupName), code);
    case '9': return "ZEL" + code + ".lzh";
    case 'A': case 'Z': return "ZEL" + code + ".zip";
    case '8': return "ZEL" + code + ".rar";
    case 'W': return "c10" + code + "-SauveW.dbf";
    default: return "ZEL" + code + ".exe";
  }
}

}  // namespace

int BackupChoiceTitle(char method) {
  switch (static_cast<char>(std::toupper(static_cast<unsigned char>(method)))) {
    case '0': case 'R': case '2': return kTitleChooseExeBackup;
    case '9': return kTitleChooseLzhBackup;
    case 'A': case 'Z': return kTitleChooseZipBackup;
    case 'W': return kTitleChooseCopyBackup;
    case '7': return kTitleChooseAutomaticBackup;
    case '8': return kTitleChooseRarBackup;
    default: return 0;
  }
}

int BackupChoiceFilter(char method) {
  switch (static_cast<char>(std::toupper(static_cast<unsigned char>(method)))) {
    case '0': case 'R': case '2': return kFilterExeBackups;
    case '9': return kFilterLzhBackups;
    case 'A': case 'Z': return kFilterZipBackups;
    case 'W': return kFilterCopyBackups;
    case '7': return kFilterAutomaticBackups;
    case '8': return kFilterRarBackups;
    default: return 0;
  }
}

bool ChooseDossierBackup(gui::Window* owner, std::string& path, char method, const std::string& dossierCode) {
  const std::string code = TrimmedRight(dossierCode);
  gui::SetNamedCursor(LoadStr(kBusyFirstString));
  std::string start = path;
  PrepareBackupStartFolder(start, code);
  const std::string filter = FillPlaceholder(LoadStr(BackupChoiceFilter(method)), code);
  std::string chosen;
  for (;;) {
    const std::string title = FillPlaceholder(LoadStr(BackupChoiceTitle(method)), code);
    const bool ok = gui::GetOpenFileName(owner, title, filter, start, chosen);
    gui::SetArrowCursor();
    ChangeDir("");
    if (!ok) return false;
    if (IsBackupFileFor(chosen, code, method)) break;
    // Said, then the dialog again: another dossier's backup would replace this one's books.
    gui::MessageBeep(0);
    const std::string text = FillPlaceholders(LoadStr(kNotABackupOfTheDossier),
                                              {chosen, code, std::string(1, method), BackupNameOf(method, code)});
    gui::MessageBox(owner, text, LoadStr(kAttention), gui::MB_OK | gui::MB_ICONSTOP);
  }
  path = chosen;
  if (method != '7') {
    std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash + 1 < path.size()) path.resize(slash + 1);
  }
  return true;
}
