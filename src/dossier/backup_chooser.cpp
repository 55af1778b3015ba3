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

namespace {

// The refusal of a chosen file that is no backup of the dossier by the method, and the name of
// such a backup.
constexpr int kNotABackupOfTheDossier = 30513;
constexpr int kAutomaticBackupName = 30514;
constexpr int kAttention = 52;  // "ATTENTION", the refusal's title

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

std::string WithCode(const std::string& text, const std::string& code) {
  std::string out;
  for (char c : text) {
    if (c == '%') out += code;
    else out += c;
  }
  return out;
}

}  // namespace

int BackupChoiceTitle(char method) {
  switch (static_cast<char>(std::toupper(static_cast<unsigned char>(method)))) {
    case '0': case 'R': case '2': return 2848;
    case '9': return 2939;
    case 'A': case 'Z': return 2944;
    case 'W': return 2942;
    case '7': return 3200;
    case '8': return 2976;
    default: return 0;
  }
}

int BackupChoiceFilter(char method) {
  switch (static_cast<char>(std::toupper(static_cast<unsigned char>(method)))) {
    case '0': case 'R': case '2': return 2849;
    case '9': return 2940;
    case 'A': case 'Z': return 2945;
    case 'W': return 2943;
    case '7': return 3201;
    case '8': return 2977;
    default: return 0;
  }
}

bool ChooseDossierBackup(gui::Window* owner, std::string& path, char method, const std::string& dossierCode) {
  const std::string code = TrimmedRight(dossierCode);
  gui::SetNamedCursor(LoadStr(513));
  std::string start = path;
  PrepareBackupStartFolder(start, code);
  const std::string filter = WithCode(LoadStr(BackupChoiceFilter(method)), code);
  std::string chosen;
  for (;;) {
    const std::string title = WithCode(LoadStr(BackupChoiceTitle(method)), code);
    const bool ok = gui::GetOpenFileName(owner, title, filter, start, chosen);
    gui::SetArrowCursor();
    ChangeDir("");
    if (!ok) return false;
    if (IsBackupFileFor(chosen, code, method)) break;
    // Said, then the dialog again: another dossier's backup would replace this one's books.
    gui::MessageBeep(0);
    std::string text = LoadStr(kNotABackupOfTheDossier);
    for (const std::string& value : {chosen, code, std::string(1, method), BackupNameOf(method, code)})
      text = FillPlaceholder(text, value);
    gui::MessageBox(owner, text, LoadStr(kAttention), gui::MB_OK | gui::MB_ICONSTOP);
  }
  path = chosen;
  if (method != '7') {
    std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash + 1 < path.size()) path.resize(slash + 1);
  }
  return true;
}
