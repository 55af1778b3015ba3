#include "runtime/backup_paths.h"

#include <cstdio>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kBackupNamePieces = 2575;
constexpr int kDefaultBackupTarget = 2847;

BackupClock g_clock = nullptr;
BackupFileDialog g_dialog = nullptr;

platform::LocalTime Now() { return g_clock ? g_clock() : platform::GetLocalTime(); }

// Piece of string 2575 (placeholder and weekday names), with the text as a
// fallback when the table lacks it.
std::string NamePiece(int position, int length, const char* fallback) {
  std::string entry = LoadStr(kBackupNamePieces);
  if (entry.size() < static_cast<std::size_t>(position - 1 + length)) return fallback;
  return entry.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(length));
}

std::string Two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v < 0 ? 0 : v % 100);
  return b;
}

std::string YmdOf(const platform::LocalTime& t) {
  char b[16];
  std::snprintf(b, sizeof b, "%04d%02d%02d", t.year, t.month, t.day);
  return b;
}

std::string HourOf(const platform::LocalTime& t) {
  return Two(t.hour) + "h" + Two(t.minute) + Two(t.second);
}

// Replaces the first occurrence of the placeholder (case ignored).
bool ReplaceFirst(std::string& text, const std::string& placeholder, const std::string& value) {
  std::size_t at = LowerCp1252(text).find(placeholder);
  if (at == std::string::npos) return false;
  text.replace(at, placeholder.size(), value);
  return true;
}

void TrimTrailingSeparators(std::string& path) {
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
}

std::string FileNameOf(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void SetBackupClock(BackupClock clock) { g_clock = clock; }
void SetBackupFileDialog(BackupFileDialog dialog) { g_dialog = dialog; }

char* TodayYmd() { return RingCopy(YmdOf(Now())); }

std::string WeekdayNameOf(int year, int month, int day) {
  int m = month, y = year;
  if (m == 1 || m == 2) {
    m += 12;
    --y;
  }
  int j = y / 100, k = y % 100;
  int h = (day + (13 * (m + 1)) / 5 + k + k / 4 + j / 4 - 2 * j) % 7;
  if (h < 0) h += 7;  // 0 = Saturday
  int index = (h + 6) % 7;  // 0 = Sunday
  static const char* const kNames[7] = {"DIMANCHE", "LUNDI",    "MARDI", "MERCREDI",
                                        "JEUDI",    "VENDREDI", "SAMEDI"};
  return TrimmedRight(NamePiece(43 + 8 * index, 8, kNames[index]));
}

char* WeekdayName() {
  platform::LocalTime t = Now();
  return RingCopy(WeekdayNameOf(t.year, t.month, t.day));
}

std::string BackupStamp() {
  platform::LocalTime t = Now();
  return YmdOf(t) + "-" + HourOf(t);
}

std::string DefaultBackupTarget() {
  std::string target = LoadStr(kDefaultBackupTarget);
  if (target.empty()) target = "Sauvegarde-Nuv-MERLON/Dossier-%code%/%dateheure%/";
  for (char& c : target) {
    if (c == '\\') c = '/';
  }
  return target;
}

void ExpandBackupUnit(std::string& text, const std::string& dossierCode, unsigned placeholders) {
  struct Step {
    unsigned flag;
    int position, length;
    const char* fallback;
  };
  static const Step kSteps[] = {
      {kPlaceholderDefaut, 35, 8, "%defaut%"}, {kPlaceholderDate, 4, 6, "%date%"},
      {kPlaceholderCode, 9, 6, "%code%"},      {kPlaceholderJour, 14, 6, "%jour%"},
      {kPlaceholderHeure, 19, 7, "%heure%"},   {kPlaceholderDateHeure, 25, 11, "%dateheure%"},
  };
  for (const Step& step : kSteps) {
    if ((placeholders & step.flag) == 0) continue;
    std::string name = LowerCp1252(NamePiece(step.position, step.length, step.fallback));
    if (LowerCp1252(text).find(name) == std::string::npos) continue;
    std::string value;
    switch (step.flag) {
      case kPlaceholderDefaut: value = DefaultBackupTarget(); break;
      case kPlaceholderDate: value = TodayYmd(); break;
      case kPlaceholderCode: value = dossierCode; break;
      case kPlaceholderJour: value = WeekdayName(); break;
      case kPlaceholderHeure: value = HourOf(Now()); break;
      default: value = BackupStamp(); break;
    }
    ReplaceFirst(text, name, value);
  }
}

std::string DossierFilePattern(const std::string& dossierCode) {
  std::string pattern = "[cC]??";
  for (char c : TrimmedRight(dossierCode)) {
    unsigned char u = platform::Cp1252Upper(static_cast<unsigned char>(c));
    unsigned char l = platform::Cp1252Lower(static_cast<unsigned char>(c));
    if (u != l) {
      pattern += '[';
      pattern += static_cast<char>(l);
      pattern += static_cast<char>(u);
      pattern += ']';
    } else {
      pattern += c;
    }
  }
  return pattern + ".*";
}

void ExpandProcedureLine(std::string& text, const std::string& dossierFolder,
                         const std::string& dossierCode) {
  std::string folder = dossierFolder;
  if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  const std::string names[3] = {"%chemin%", "%dossier%", "%code%"};
  const std::string values[3] = {folder, DossierFilePattern(dossierCode), TrimmedRight(dossierCode)};
  const std::string lower = LowerCp1252(text);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    bool replaced = false;
    for (int p = 0; p < 3 && !replaced; ++p) {
      if (lower.compare(i, names[p].size(), names[p]) == 0) {
        out += values[p];
        i += names[p].size();
        replaced = true;
      }
    }
    if (!replaced) out += text[i++];
  }
  text = out;
}

void NormaliseBackupUnitPath(std::string& unit, char method) {
  switch (static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(method)))) {
    case '7':
    case 'W':
    case 'R':
    case '8':
    case '0':
    case '9':
      return;
    default:
      break;
  }
  if (!unit.empty() && unit[0] == '/') {
    while (unit.size() > 1 && unit.back() == '/') unit.pop_back();
    return;
  }
  if (!unit.empty()) unit[0] = static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(unit[0])));
  std::string text;
  for (char c : unit) {
    if (c != ' ' && c != '.' && c != '/' && c != '*' && c != '<' && c != '>') text += c;
  }
  if (text.empty() || text[0] < 'A' || text[0] > 'Z') {
    unit.clear();
    return;
  }
  if (text.size() == 1) text += ':';
  if (text[1] != ':') {
    unit.clear();
    return;
  }
  // Positions 1-3 hold the drive and its backslash.
  if (text.size() < 3 || text[2] != '\\') text.insert(2, 1, '\\');
  if (text.size() > 3 && text.back() == '\\') text.pop_back();
  for (std::size_t last = text.rfind('\\'); last != std::string::npos && last > 2; last = text.rfind('\\'))
    text.resize(last);
  unit = text;
}

void PrepareBackupStartFolder(std::string& path, const std::string& dossierCode) {
  ReplaceFirst(path, "%defaut%", DefaultBackupTarget());
  ReplaceFirst(path, "%code%", dossierCode);
  ReplaceFirst(path, "%dateheure%", "");
  TrimTrailingSeparators(path);
}

namespace {

bool Digits(const std::string& text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return false;
  for (std::size_t i = at; i < at + count; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

// "-" YYYYMMDD "-" HH "H" MMSS at `at` (upper-cased): the stamp that the
// automatic backup's batch file puts after the code. Its length, 0 when absent.
std::size_t StampAt(const std::string& name, std::size_t at) {
  if (at >= name.size() || name[at] != '-' || !Digits(name, at + 1, 8)) return 0;
  if (at + 9 >= name.size() || name[at + 9] != '-' || !Digits(name, at + 10, 2)) return 0;
  if (at + 12 >= name.size() || name[at + 12] != 'H' || !Digits(name, at + 13, 4)) return 0;
  return 17;
}

}  // namespace

bool IsBackupFileFor(const std::string& path, const std::string& dossierCode, char method) {
  const std::string name = UpperCp1252(FileNameOf(path));
  const std::string code = UpperCp1252(TrimmedRight(dossierCode));
  if (code.empty()) return false;
  const std::string prefix = "ZEL" + code;
  switch (static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(method)))) {
    case '0':
    case 'R':
    case '2':
      return name == prefix + ".EXE";
    case '9':
      return name == prefix + ".LZH";
    case 'A':
    case 'Z':
      return name == prefix + ".ZIP";
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
      // Nothing more, or "-" and the comment.
      return rest == end || (name[rest] == '-' && rest + 1 < end);
    }
    default:
      return false;
  }
}

bool ChooseBackupFile(unsigned long owner, std::string& path, int titleId, int filterId,
                      char method, const std::string& dossierCode) {
  std::string code = TrimmedRight(dossierCode);
  std::string start = path;
  PrepareBackupStartFolder(start, code);
  const std::string filter = FillPlaceholder(LoadStr(filterId), code);
  std::string chosen;
  for (;;) {
    const std::string title = FillPlaceholder(LoadStr(titleId), code);
    if (g_dialog == nullptr || !g_dialog(owner, title, filter, start, chosen)) return false;
    if (IsBackupFileFor(chosen, code, method)) break;
    RuntimeBeep(0);
  }
  path = chosen;
  if (method != '7') {
    std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash + 1 < path.size()) path.resize(slash + 1);
  }
  return true;
}
