#include "utilities/core/settings_table.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "data/entry_lines.h"
#include "platform/system/files.h"
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
      {"Fen\xEAtres-Maxi", "Fen\xEAtres plac\xE9" "es et agrandies automatiquement", K::YesNo, "", 0, 0, "O", false},
      {"Caract\xE8reAide", "Caract\xE8re d'aide dans les codes (Ex: *)", K::Character, "", 0, 0, "*", false},
      {"SelectSaisies", "Texte s\xE9lectionn\xE9 \xE0 l'entr\xE9" "e dans une zone", K::YesNo, "", 0, 0, "O", false},
      {"SaisieEnRouge", "Zone en cours de saisie en rouge", K::YesNo, "", 0, 0, "O", false},
      {"BArgument", "Commandes du Bilan propos\xE9" "es", K::YesNo, "", 0, 0, "O", false},
      {"Double-Buffer", "Listes dessin\xE9" "es sans scintillement", K::YesNo, "", 0, 0, "O", false},
      {"Autoriser-UNC", "Chemins r\xE9seau (\\\\Serveur\\...) autoris\xE9s", K::YesNo, "", 0, 0, "O", false},
      {"NumeroPoste", "Num\xE9ro de ce poste de travail", K::Number, "", 0, 9999999999.0, "0", false},
      {"LancementAuto", "Commandes lanc\xE9" "es \xE0 l'ouverture (Ex: DP-SS-NV-)", K::Text, "", 0, 100, "",
       false},
      {"FichierImport", "Fichier ASCII import\xE9 \xE0 l'ouverture d'un dossier", K::File, "", 0, 0, "", false},
      {"NomFichierExport", "Fichier des exports des \xE9tats", K::NewFile, "", 0, 0, "", false},
      // Reports and printers.
      {"FichierEtatsV", "Jeu d'\xE9tats param\xE9trables de la Visualisation", K::Letters, kSetLetters, 0, 0, "0", false},
      {"FichierEtatsA", "Jeu d'\xE9tats param\xE9trables de la 1\xE8re imprimante", K::Letters, kSetLetters, 0, 0, "0", false},
      {"FichierEtatsB", "Jeu d'\xE9tats param\xE9trables de la 2\xE8me imprimante", K::Letters, kSetLetters, 0, 0, "0", false},
      {"Sur2emeImprim", "Impressions sur la 2\xE8me imprimante", K::YesNo, "", 0, 0, "N", false},
      {"1ere-Imprim-A", "1\xE8re imprimante", K::Text, "", 0, 64, "", false},
      {"2eme-Imprim-B", "2\xE8me imprimante", K::Text, "", 0, 64, "", false},
      {"DateHeureImpr", "Date et heure au bas des pages imprim\xE9" "es", K::YesNo, "", 0, 0, "O", false},
      {"Cadres-Gris\xE9s", "Cadres gris\xE9s dans les \xE9tats", K::YesNo, "", 0, 0, "O", false},
      {"Fmt_R\xE9" "el_Visu", "Bilan visualis\xE9: montants avec centimes (1)", K::Letters, "0123456789", 0,
       0, "1", false},
      {"Debug_Etats", "Mise au point des \xE9tats param\xE9trables", K::YesNo, "", 0, 0, "N", false},
      {"LargMPortrait", "Colonnes d'une page en Portrait (1 \xE0 255)", K::Margin, "", 1, 255, "80", false},
      {"LargMPaysage_", "Colonnes d'une page en Paysage (1 \xE0 255)", K::Margin, "", 1, 255, "113", false},
      // Fonts of the windows, read at start.
      {"PoliceTableau", "Police des listes", K::Font, "", 0, 0, "", true},
      {"MajHautPolTab", "Listes: hauteur des lignes (multiplicateur)", K::Multiplier, "", 0, 3, "1.3", true},
      {"MajLargPolTab", "Listes: largeur des caract\xE8res (multiplicateur)", K::Multiplier, "", 0, 3, "1", true},
      {"PoliceSaisies", "Police des fiches", K::Font, "", 0, 0, "", true},
      {"MajHautPolSai", "Fiches: hauteur des lignes (multiplicateur)", K::Multiplier, "", 0, 3, "1.3", true},
      {"MajLargPolSai", "Fiches: largeur des caract\xE8res (multiplicateur)", K::Multiplier, "", 0, 3, "1", true},
      {"Police-Assist", "Police de l'aide", K::Font, "", 0, 0, "", true},
      // Fonts of the reports, read at each report.
      {"Police-1-Visu", "Visualisation: police 1", K::Font, "", 0, 0, "", false},
      {"Police-2-Visu", "Visualisation: police 2", K::Font, "", 0, 0, "", false},
      {"Police-3-Visu", "Visualisation: police 3", K::Font, "", 0, 0, "", false},
      {"Police-4-Visu", "Visualisation: police 4", K::Font, "", 0, 0, "", false},
      {"Police-S-Visu", "Visualisation: police des sous-totaux", K::Font, "", 0, 0, "", false},
      {"MajMaxPolVisu", "Visualisation: \xE9largissement maxi des polices", K::Multiplier, "", 0, 2, "1.5", false},
      {"Police-1-ImpA", "1\xE8re imprimante: police 1", K::Font, "", 0, 0, "", false},
      {"Police-2-ImpA", "1\xE8re imprimante: police 2", K::Font, "", 0, 0, "", false},
      {"Police-3-ImpA", "1\xE8re imprimante: police 3", K::Font, "", 0, 0, "", false},
      {"Police-4-ImpA", "1\xE8re imprimante: police 4", K::Font, "", 0, 0, "", false},
      {"Police-S-ImpA", "1\xE8re imprimante: police des sous-totaux", K::Font, "", 0, 0, "", false},
      {"Police-1-ImpB", "2\xE8me imprimante: police 1", K::Font, "", 0, 0, "", false},
      {"Police-2-ImpB", "2\xE8me imprimante: police 2", K::Font, "", 0, 0, "", false},
      {"Police-3-ImpB", "2\xE8me imprimante: police 3", K::Font, "", 0, 0, "", false},
      {"Police-4-ImpB", "2\xE8me imprimante: police 4", K::Font, "", 0, 0, "", false},
      {"Police-S-ImpB", "2\xE8me imprimante: police des sous-totaux", K::Font, "", 0, 0, "", false},
      {"MajMaxPolImpr", "Impression: \xE9largissement maxi des polices", K::Multiplier, "", 0, 2, "1.5", false},
      // Backup.
      {"LanceM?BACKUP", "Sauvegarde: m\xE9thode", K::BackupMethod, "", 0, 0, "9", false},
      {"Un-Sauvegarde", "Sauvegarde: unit\xE9 1", K::BackupUnit, "", 0, 200, "", false},
      {"Un2Sauvegarde", "Sauvegarde: unit\xE9 2", K::BackupUnit, "", 0, 200, "", false},
      {"Proc-Sauvegar", "Sauvegarde: proc\xE9" "dure de la m\xE9thode P", K::Text, "", 0, 255, "", false},
      {"Proc-Restaure", "Restauration: proc\xE9" "dure de la m\xE9thode P", K::Text, "", 0, 255, "", false},
      // Rounding lines of the entry.
      {"CpteArrondiDB", "Compte des arrondis au D\xE9" "bit", K::Account, "", 0, 0, "66600000", false},
      {"CpteArrondiCR", "Compte des arrondis au Cr\xE9" "dit", K::Account, "", 0, 0, "76600000", false},
      {"CpteArrondiAN", "Section analytique des arrondis", K::Section, "", 0, 0, "ZARRONDI", false},
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
    why = "Un compte de 8 caract\xE8res au plus, en chiffres et capitales, sans espace.";
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
      if (c != 'O' && c != 'N') return Refuse(Frame("R\xE9pondez O (Oui) ou N (Non)."));
      return Accept(std::string(1, c));
    }
    case K::Letters: {
      const std::string u = Upper(t.c_str());
      if (u.size() != 1 || std::string(s.values).find(u[0]) == std::string::npos)
        return Refuse(Frame(std::string("Un seul caract\xE8re parmi: ") + s.values));
      return Accept(u);
    }
    case K::Character: {
      const unsigned char c = static_cast<unsigned char>(t[0]);
      if (t.size() != 1 || std::isalnum(c)) return Refuse(Frame("Un seul caract\xE8re qui n'est ni une lettre ni un chiffre."));
      return Accept(t);
    }
    case K::Number:
    case K::Margin: {
      if (!AllDigits(t) || t.size() > 10) return Refuse(Frame("Entrez un nombre entier."));
      const double n = std::atof(t.c_str());
      if (n < s.low || n > s.high)
        return Refuse(Frame("Entrez un nombre de " + std::string(AllTrim(FormatNumber(12, 0, false, s.low))) + " \xE0 " +
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
        return Refuse(Frame("Entrez un multiplicateur plus grand que 0 et au plus \xE9gal \xE0 " +
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
        return Refuse(Frame("Une section analytique: 8 caract\xE8res au plus, en capitales et sans espace."));
      return Accept(t);
    }
    case K::Folder:
      if (!FolderExistsBeforePlaceholders(t)) return Refuse(Frame("Le dossier n'existe pas:\n\n" + t));
      return Accept(t);
    case K::File:
      if (!platform::FileExists(platform::ResolvePath(t))) return Refuse(Frame("Le fichier n'existe pas:\n\n" + t));
      return Accept(t);
    case K::NewFile: {
      const std::size_t slash = t.rfind('/');
      const std::string folder = slash == std::string::npos ? std::string() : (slash == 0 ? std::string("/") : t.substr(0, slash));
      if (slash == t.size() - 1 || (!folder.empty() && !platform::DirectoryExists(folder)))
        return Refuse(Frame("Le dossier de ce fichier n'existe pas:\n\n" + t));
      return Accept(t);
    }
    case K::Font:
      if (!FontTextShape(t)) return Refuse(Frame("Choisissez la police par le bouton \"Choisir\" (Ex: Verdana,010/400)."));
      return Accept(t);
    case K::Text:
      if (t.size() > static_cast<std::size_t>(s.high))
        return Refuse(Frame("Texte de " + std::to_string(static_cast<int>(s.high)) + " caract\xE8res au plus."));
      return Accept(t);
    case K::BackupMethod: {
      const std::string u = Upper(t.c_str());
      if (u.size() != 1 || OfferedBackupMethods().find(u[0]) == std::string::npos)
        return Refuse(Frame("Choisissez une m\xE9thode de sauvegarde parmi: " + OfferedBackupMethods()));
      if (context.methodRefusal) {
        const std::string refusal = context.methodRefusal(u[0]);
        if (!refusal.empty()) return Refuse(refusal);
      }
      return Accept(u);
    }
    case K::BackupUnit: {
      if (t.size() > static_cast<std::size_t>(s.high)) return Refuse(Frame("Unit\xE9 de 200 caract\xE8res au plus."));
      std::string unit = t;
      NormaliseBackupUnitPath(unit, context.backupMethod);
      if (IsBlank(unit)) return Refuse(Frame("Cette unit\xE9 ne convient pas \xE0 la m\xE9thode de sauvegarde choisie:\n\n" + t));
      if (!unit.empty() && unit[0] == '/' && !FolderExistsBeforePlaceholders(unit))
        return Refuse(Frame("Le dossier n'existe pas:\n\n" + unit));
      return Accept(unit);
    }
  }
  return Refuse(Frame("Valeur refus\xE9" "e."));
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
