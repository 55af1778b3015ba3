#include "dossier/backup_chooser.h"

#include <cctype>

#include "platform/gui/application.h"
#include "platform/gui/cursor.h"
#include "platform/gui/filedialog.h"
#include "platform/system/cp1252.h"
#include "runtime/backup_paths.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"

namespace {

std::string Upper(const std::string& text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(c)));
  return out;
}

std::string TrimRight(const std::string& text) {
  std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

bool Digits(const std::string& text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return false;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

// "-" YYYYMMDD "-" HH "h" MMSS at `at`: the stamp CSAUVE7.BAT puts after the
// code. Returns the length matched (0 when it is not there).
std::size_t StampAt(const std::string& name, std::size_t at) {
  if (at >= name.size() || name[at] != '-') return 0;
  if (!Digits(name, at + 1, 8)) return 0;
  if (at + 9 >= name.size() || name[at + 9] != '-') return 0;
  if (!Digits(name, at + 10, 2)) return 0;
  if (at + 12 >= name.size() || name[at + 12] != 'H') return 0;
  if (!Digits(name, at + 13, 4)) return 0;
  return 17;
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

bool IsBackupOfDossier(const std::string& path, const std::string& dossierCode, char method) {
  std::size_t slash = path.find_last_of("/\\");
  const std::string name = Upper(slash == std::string::npos ? path : path.substr(slash + 1));
  const std::string code = Upper(TrimRight(dossierCode));
  if (code.empty()) return false;
  const std::string prefix = "ZEL" + code;
  switch (static_cast<char>(std::toupper(static_cast<unsigned char>(method)))) {
    case '0':
    case 'R':
    case '2':
      return name == prefix + ".EXE";
    case '9':
      return name == prefix + ".LZH";
    case '8':
      return name == prefix + ".RAR";
    case 'W':
      return name == "C10" + code + "-SAUVEW.DBF";
    case '7': {
      if (name.size() < prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) return false;
      if (name.compare(name.size() - 4, 4, ".RAR") != 0) return false;
      const std::size_t stamp = StampAt(name, prefix.size());
      if (stamp == 0) return false;
      const std::size_t rest = prefix.size() + stamp;
      const std::size_t end = name.size() - 4;
      // Nothing, or "-" and the comment.
      return rest == end || (name[rest] == '-' && rest + 1 < end);
    }
    default:
      return false;
  }
}

int BackupChoiceTitle(char method) {
  switch (static_cast<char>(std::toupper(static_cast<unsigned char>(method)))) {
    case '0': case 'R': case '2': return 2848;
    case '9': return 2939;
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
    case 'W': return 2943;
    case '7': return 3201;
    case '8': return 2977;
    default: return 0;
  }
}

bool ChooseDossierBackup(gui::Window* owner, std::string& path, char method, const std::string& dossierCode) {
  const std::string code = TrimRight(dossierCode);
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
    if (IsBackupOfDossier(chosen, code, method)) break;
    gui::MessageBeep(0);
  }
  path = chosen;
  if (method != '7') {
    std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash + 1 < path.size()) path.resize(slash + 1);
  }
  return true;
}
