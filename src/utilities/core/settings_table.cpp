#include "utilities/core/settings_table.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "data/entry_lines.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/backup_paths.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace settings {

namespace {

using K = SettingKind;

// Report-definition sets: "CE" + a digit or a letter but "S" (the reference set) + "ETATS".
constexpr const char* kSetLetters = "0123456789ABCDEFGHIJKLMNOPQRTUVWXYZ";
constexpr int kMethodTextFirst = 1227;  // strings 1227-1236, in the order of string 1226
constexpr const char* kAllMethods = "7WR8092AZP";

const std::vector<ProgramSetting>& Table() {
  static const std::vector<ProgramSetting> table{
      // The options of the program.
      {"Fen\xEAtres-Maxi", resources::LastingText(22409), K::YesNo, "", 0, 0, "O", false},
      {"Caract\xE8reAide", resources::LastingText(22410), K::Character, "", 0, 0, "*", false},
      {"SelectSaisies", resources::LastingText(22411), K::YesNo, "", 0, 0, "O", false},
      {"SaisieEnRouge", resources::LastingText(22412), K::YesNo, "", 0, 0, "O", false},
      {"BArgument", resources::LastingText(22413), K::YesNo, "", 0, 0, "O", false},
      {"Double-Buffer", resources::LastingText(22414), K::YesNo, "", 0, 0, "O", false},
      {"Autoriser-UNC", resources::LastingText(22415), K::YesNo, "", 0, 0, "O", false},
      {"NumeroPoste", resources::LastingText(22416), K::Number, "", 0, 9999999999.0, "0", false},
      {"LancementAuto", resources::LastingText(22417), K::Text, "", 0, 100, "",
       false},
      {"FichierImport", resources::LastingText(22418), K::File, "", 0, 0, "", false},
      {"NomFichierExport", resources::LastingText(22419), K::NewFile, "", 0, 0, "", false},
      // Reports and printers.
      {"FichierEtatsV", resources::LastingText(22420), K::Letters, kSetLetters, 0, 0, "0", false},
      {"FichierEtatsA", resources::LastingText(22421), K::Letters, kSetLetters, 0, 0, "0", false},
      {"FichierEtatsB", resources::LastingText(22422), K::Letters, kSetLetters, 0, 0, "0", false},
      {"Sur2emeImprim", resources::LastingText(22423), K::YesNo, "", 0, 0, "N", false},
      {"1ere-Imprim-A", resources::LastingText(22424), K::Text, "", 0, 64, "", false},
      {"2eme-Imprim-B", resources::LastingText(22425), K::Text, "", 0, 64, "", false},
      {"DateHeureImpr", resources::LastingText(22426), K::YesNo, "", 0, 0, "O", false},
      {"Cadres-Gris\xE9s", resources::LastingText(22427), K::YesNo, "", 0, 0, "O", false},
      {"Fmt_R\xE9" "el_Visu", resources::LastingText(22428), K::Letters, "0123456789", 0,
       0, "1", false},
      {"Debug_Etats", resources::LastingText(22429), K::YesNo, "", 0, 0, "N", false},
      {"LargMPortrait", resources::LastingText(22430), K::Margin, "", 1, 255, "80", false},
      {"LargMPaysage_", resources::LastingText(22431), K::Margin, "", 1, 255, "113", false},
      // Fonts of the windows, read at start.
      {"PoliceTableau", resources::LastingText(22432), K::Font, "", 0, 0, "", true},
      {"MajHautPolTab", resources::LastingText(22433), K::Multiplier, "", 0, 3, "1.3", true},
      {"MajLargPolTab", resources::LastingText(22434), K::Multiplier, "", 0, 3, "1", true},
      {"PoliceSaisies", resources::LastingText(22435), K::Font, "", 0, 0, "", true},
      {"MajHautPolSai", resources::LastingText(22436), K::Multiplier, "", 0, 3, "1.3", true},
      {"MajLargPolSai", resources::LastingText(22437), K::Multiplier, "", 0, 3, "1", true},
      {"Police-Assist", resources::LastingText(22438), K::Font, "", 0, 0, "", true},
      // Fonts of the reports, read at each report.
      {"Police-1-Visu", resources::LastingText(22439), K::Font, "", 0, 0, "", false},
      {"Police-2-Visu", resources::LastingText(22440), K::Font, "", 0, 0, "", false},
      {"Police-3-Visu", resources::LastingText(22441), K::Font, "", 0, 0, "", false},
      {"Police-4-Visu", resources::LastingText(22442), K::Font, "", 0, 0, "", false},
      {"Police-S-Visu", resources::LastingText(22443), K::Font, "", 0, 0, "", false},
      {"MajMaxPolVisu", resources::LastingText(22444), K::Multiplier, "", 0, 2, "1.5", false},
      {"Police-1-ImpA", resources::LastingText(22445), K::Font, "", 0, 0, "", false},
      {"Police-2-ImpA", resources::LastingText(22446), K::Font, "", 0, 0, "", false},
      {"Police-3-ImpA", resources::LastingText(22447), K::Font, "", 0, 0, "", false},
      {"Police-4-ImpA", resources::LastingText(22448), K::Font, "", 0, 0, "", false},
      {"Police-S-ImpA", resources::LastingText(22449), K::Font, "", 0, 0, "", false},
      {"Police-1-ImpB", resources::LastingText(22450), K::Font, "", 0, 0, "", false},
      {"Police-2-ImpB", resources::LastingText(22451), K::Font, "", 0, 0, "", false},
      {"Police-3-ImpB", resources::LastingText(22452), K::Font, "", 0, 0, "", false},
      {"Police-4-ImpB", resources::LastingText(22453), K::Font, "", 0, 0, "", false},
      {"Police-S-ImpB", resources::LastingText(22454), K::Font, "", 0, 0, "", false},
      {"MajMaxPolImpr", resources::LastingText(22455), K::Multiplier, "", 0, 2, "1.5", false},
      // Backup.
      {"LanceM?BACKUP", resources::LastingText(22456), K::BackupMethod, "", 0, 0, "9", false},
      {"Un-Sauvegarde", resources::LastingText(22457), K::BackupUnit, "", 0, 200, "", false},
      {"Un2Sauvegarde", resources::LastingText(22458), K::BackupUnit, "", 0, 200, "", false},
      {"Proc-Sauvegar", resources::LastingText(22459), K::Text, "", 0, 255, "", false},
      {"Proc-Restaure", resources::LastingText(22460), K::Text, "", 0, 255, "", false},
      // Rounding lines of the entry.
      {"CpteArrondiDB", resources::LastingText(22461), K::Account, "", 0, 0, "66600000", false},
      {"CpteArrondiCR", resources::LastingText(22462), K::Account, "", 0, 0, "76600000", false},
      {"CpteArrondiAN", resources::LastingText(22463), K::Section, "", 0, 0, "ZARRONDI", false},
  };
  return table;
}

SettingCheck Accept(const std::string& value) { return {true, value, {}}; }
SettingCheck Refuse(const std::string& message) { return {false, {}, message}; }

std::string Frame(const std::string& text) { return "\n\n\n" + text + "\n\n\n"; }

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A folder typed by the user: "/" at the end removed (the root stays).
std::string WithoutFinalSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// The fixed part of a folder typed with placeholders ("%code%" ...): up to its last "/" before the first "%".
bool FolderExistsBeforePlaceholders(const std::string& text) {
  const std::size_t percent = text.find('%');
  if (percent == std::string::npos) return platform::DirectoryExists(WithoutFinalSlash(text));
  const std::size_t slash = text.rfind('/', percent);
  if (slash == std::string::npos) return true;  // a placeholder first: known when the backup runs
  return platform::DirectoryExists(slash == 0 ? std::string("/") : text.substr(0, slash));
}

// A rounding account as the one reader of these accounts keeps it (data/rounding_accounts.h): at most 8
// characters, normalised as every account of a line ("666" is 66600000). A text the reader would cut or that no
// account can be (blanks inside, small letters) is refused.
bool RoundingAccountKept(const std::string& typed, std::string& kept, std::string& why) {
  const std::string t = Trimmed(typed);
  if (t.size() > 8 || t.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos) {
    why = resources::LastingText(22464);
    return false;
  }
  kept = NormalizeAccount(t);
  return true;
}

bool FontTextShape(const std::string& text) {
  // A whole number 10-16 names a stock font of the forms.
  if (AllDigits(text)) {
    const int n = std::atoi(text.c_str());
    return n >= 10 && n <= 16;
  }
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos || IsBlank(text.substr(0, comma))) return false;
  const std::string size = text.substr(comma + 1, 3);
  return size.size() == 3 && AllDigits(size) && std::atoi(size.c_str()) >= 1;
}

}  // namespace

const std::vector<ProgramSetting>& ProgramSettings() { return Table(); }

const ProgramSetting* FindProgramSetting(const std::string& key) {
  for (const ProgramSetting& s : Table())
    if (key == s.key) return &s;
  return nullptr;
}

std::string OfferedBackupMethods() {
  const std::string all = LoadStr(1226);
  return all.empty() ? std::string(kAllMethods) : all;
}

std::string BackupMethodText(char method) {
  const std::size_t at = std::string(kAllMethods).find(method);
  if (at == std::string::npos) return std::string(1, method);
  return LoadStr(kMethodTextFirst + static_cast<int>(at));
}

SettingCheck CheckSettingValue(const ProgramSetting& s, const std::string& typed, const SettingContext& context) {
  const std::string t = Trimmed(typed);
  if (t.empty() && s.kind != K::BackupMethod) return Accept("");
  switch (s.kind) {
    case K::YesNo: {
      const char c = static_cast<char>(Upper(t.substr(0, 1).c_str())[0]);
      if (c != 'O' && c != 'N') return Refuse(Frame(resources::LastingText(22465)));
      return Accept(std::string(1, c));
    }
    case K::Letters: {
      const std::string u = Upper(t.c_str());
      if (u.size() != 1 || std::string(s.values).find(u[0]) == std::string::npos)
        return Refuse(Frame(std::string(resources::LastingText(22466)) + s.values));
      return Accept(u);
    }
    case K::Character: {
      const unsigned char c = static_cast<unsigned char>(t[0]);
      if (t.size() != 1 || std::isalnum(c)) return Refuse(Frame(resources::LastingText(22467)));
      return Accept(t);
    }
    case K::Number:
    case K::Margin: {
      if (!AllDigits(t) || t.size() > 10) return Refuse(Frame(resources::LastingText(22468)));
      const double n = std::atof(t.c_str());
      if (n < s.low || n > s.high)
        return Refuse(Frame(resources::LastingText(22469) + std::string(AllTrim(FormatNumber(12, 0, false, s.low))) + resources::LastingText(22470) +
                            AllTrim(FormatNumber(12, 0, false, s.high)) + "."));
      // Kept without leading zeros, as the readers convert it.
      return Accept(AllTrim(FormatNumber(12, 0, false, n)));
    }
    case K::Multiplier: {
      std::string v = t;
      for (char& c : v)
        if (c == ',') c = '.';
      const bool shape = v.find_first_not_of("0123456789.") == std::string::npos &&
                         v.find('.') == v.rfind('.') && v.find_first_of("0123456789") != std::string::npos;
      const double x = Val(v.c_str());
      if (!shape || x <= 0 || x > s.high)
        return Refuse(Frame(resources::LastingText(22471) +
                            std::string(AllTrim(FormatNumber(6, 1, false, s.high))) + " (Ex: 1.3)."));
      return Accept(v);
    }
    case K::Account: {
      std::string kept, why;
      if (!RoundingAccountKept(t, kept, why)) return Refuse(Frame(why));
      return Accept(kept);
    }
    case K::Section: {
      if (t.size() > 8 || t.find(' ') != std::string::npos || std::string(Upper(t.c_str())) != t)
        return Refuse(Frame(resources::LastingText(22472)));
      return Accept(t);
    }
    case K::Folder:
      if (!FolderExistsBeforePlaceholders(t)) return Refuse(Frame(resources::LastingText(22473) + t));
      return Accept(t);
    case K::File:
      if (!platform::FileExists(platform::ResolvePath(t))) return Refuse(Frame(resources::LastingText(22474) + t));
      return Accept(t);
    case K::NewFile: {
      const std::size_t slash = t.rfind('/');
      const std::string folder = slash == std::string::npos ? std::string() : (slash == 0 ? std::string("/") : t.substr(0, slash));
      if (slash == t.size() - 1 || (!folder.empty() && !platform::DirectoryExists(folder)))
        return Refuse(Frame(resources::LastingText(22475) + t));
      return Accept(t);
    }
    case K::Font:
      if (!FontTextShape(t)) return Refuse(Frame(resources::LastingText(22476)));
      return Accept(t);
    case K::Text:
      if (t.size() > static_cast<std::size_t>(s.high))
        return Refuse(Frame(resources::LastingText(22477) + std::to_string(static_cast<int>(s.high)) + resources::LastingText(22478)));
      return Accept(t);
    case K::BackupMethod: {
      const std::string u = Upper(t.c_str());
      if (u.size() != 1 || OfferedBackupMethods().find(u[0]) == std::string::npos)
        return Refuse(Frame(resources::LastingText(22479) + OfferedBackupMethods()));
      if (context.methodRefusal) {
        const std::string refusal = context.methodRefusal(u[0]);
        if (!refusal.empty()) return Refuse(refusal);
      }
      return Accept(u);
    }
    case K::BackupUnit: {
      if (t.size() > static_cast<std::size_t>(s.high)) return Refuse(Frame(resources::LastingText(22480)));
      std::string unit = t;
      NormaliseBackupUnitPath(unit, context.backupMethod);
      if (IsBlank(unit)) return Refuse(Frame(resources::LastingText(22481) + t));
      if (!unit.empty() && unit[0] == '/' && !FolderExistsBeforePlaceholders(unit))
        return Refuse(Frame(resources::LastingText(22473) + unit));
      return Accept(unit);
    }
  }
  return Refuse(Frame(resources::LastingText(22482)));
}

std::string CurrentSettingValue(const ProgramSetting& s) { return IniGetString(s.key, s.defaultValue); }

bool WriteSettings(const std::map<std::string, std::string>& changes) {
  bool ok = true;
  for (const auto& [key, value] : changes)
    if (!IniSetString(key.c_str(), value.c_str())) ok = false;
  return ok;
}

bool ChangesNeedRestart(const std::map<std::string, std::string>& changes) {
  for (const auto& [key, value] : changes)
    if (const ProgramSetting* s = FindProgramSetting(key); s != nullptr && s->nextStart) return true;
  return false;
}

bool ChangesReportSets(const std::map<std::string, std::string>& changes) {
  for (const char* key : {"FichierEtatsV", "FichierEtatsA", "FichierEtatsB", "Sur2emeImprim"})
    if (changes.count(key) != 0) return true;
  return false;
}

}  // namespace settings
