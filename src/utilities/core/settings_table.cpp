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
constexpr int kMethodLetters = 1226;    // the letters of the backup methods, "7WR8092AZP"
constexpr int kMethodTextFirst = 1227;  // strings 1227-1236, in the order of string 1226
constexpr const char* kAllMethods = "7WR8092AZP";

// The settings' labels, as the dialog lists them, by their ids in the string table.
constexpr int kLabelWindowsMaximised = 22409;
constexpr int kLabelHelpCharacter = 22410;
constexpr int kLabelSelectOnEntry = 22411;
constexpr int kLabelEntryInRed = 22412;
constexpr int kLabelBalanceSheetCommands = 22413;
constexpr int kLabelDoubleBuffer = 22414;
constexpr int kLabelNetworkPaths = 22415;
constexpr int kLabelStationNumber = 22416;
constexpr int kLabelStartCommands = 22417;
constexpr int kLabelImportFile = 22418;
constexpr int kLabelExportFile = 22419;
constexpr int kLabelViewReportSet = 22420;
constexpr int kLabelPrinter1ReportSet = 22421;
constexpr int kLabelPrinter2ReportSet = 22422;
constexpr int kLabelOnPrinter2 = 22423;
constexpr int kLabelPrinter1 = 22424;
constexpr int kLabelPrinter2 = 22425;
constexpr int kLabelPrintDateTime = 22426;
constexpr int kLabelGreyFrames = 22427;
constexpr int kLabelViewCents = 22428;
constexpr int kLabelReportDebug = 22429;
constexpr int kLabelPortraitColumns = 22430;
constexpr int kLabelLandscapeColumns = 22431;
constexpr int kLabelListFont = 22432;
constexpr int kLabelListRowHeight = 22433;
constexpr int kLabelListCharWidth = 22434;
constexpr int kLabelFormFont = 22435;
constexpr int kLabelFormRowHeight = 22436;
constexpr int kLabelFormCharWidth = 22437;
constexpr int kLabelHelpFont = 22438;
constexpr int kLabelViewFont1 = 22439;
constexpr int kLabelViewFont2 = 22440;
constexpr int kLabelViewFont3 = 22441;
constexpr int kLabelViewFont4 = 22442;
constexpr int kLabelViewSubtotalFont = 22443;
constexpr int kLabelViewFontWidening = 22444;
constexpr int kLabelPrinter1Font1 = 22445;
constexpr int kLabelPrinter1Font2 = 22446;
constexpr int kLabelPrinter1Font3 = 22447;
constexpr int kLabelPrinter1Font4 = 22448;
constexpr int kLabelPrinter1SubtotalFont = 22449;
constexpr int kLabelPrinter2Font1 = 22450;
constexpr int kLabelPrinter2Font2 = 22451;
constexpr int kLabelPrinter2Font3 = 22452;
constexpr int kLabelPrinter2Font4 = 22453;
constexpr int kLabelPrinter2SubtotalFont = 22454;
constexpr int kLabelPrintFontWidening = 22455;
constexpr int kLabelBackupMethod = 22456;
constexpr int kLabelBackupUnit1 = 22457;
constexpr int kLabelBackupUnit2 = 22458;
constexpr int kLabelBackupProcedure = 22459;
constexpr int kLabelRestoreProcedure = 22460;
constexpr int kLabelRoundingDebitAccount = 22461;
constexpr int kLabelRoundingCreditAccount = 22462;
constexpr int kLabelRoundingSection = 22463;

// The refusals of a typed value, by their ids in the string table; each "%s" is filled in order.
constexpr int kMsgRoundingAccountShape = 22464;
constexpr int kMsgAnswerYesNo = 22465;
constexpr int kMsgOneCharacterOf = 22466;      // the characters allowed
constexpr int kMsgSignCharacter = 22467;
constexpr int kMsgWholeNumber = 22468;
constexpr int kMsgNumberRange = 22469;         // the lowest and the highest number
constexpr int kMsgMultiplierRange = 22471;     // the highest multiplier
constexpr int kMsgSectionShape = 22472;
constexpr int kMsgFolderMissing = 22473;       // the folder
constexpr int kMsgFileMissing = 22474;         // the file
constexpr int kMsgFileFolderMissing = 22475;   // the file
constexpr int kMsgChooseFont = 22476;
constexpr int kMsgTextTooLong = 22477;         // the longest text
constexpr int kMsgChooseBackupMethod = 22479;  // the methods offered
constexpr int kMsgUnitTooLong = 22480;
constexpr int kMsgUnitUnfit = 22481;           // the unit typed
constexpr int kMsgValueRefused = 22482;

const std::vector<ProgramSetting>& Table() {
  static const std::vector<ProgramSetting> table{
      // The options of the program.
      {"Fen\xEAtres-Maxi", resources::LastingText(kLabelWindowsMaximised), K::YesNo, "", 0, 0, "O", false},
      {"Caract\xE8reAide", resources::LastingText(kLabelHelpCharacter), K::Character, "", 0, 0, "*", false},
      {"SelectSaisies", resources::LastingText(kLabelSelectOnEntry), K::YesNo, "", 0, 0, "O", false},
      {"SaisieEnRouge", resources::LastingText(kLabelEntryInRed), K::YesNo, "", 0, 0, "O", false},
      {"BArgument", resources::LastingText(kLabelBalanceSheetCommands), K::YesNo, "", 0, 0, "O", false},
      {"Double-Buffer", resources::LastingText(kLabelDoubleBuffer), K::YesNo, "", 0, 0, "O", false},
      {"Autoriser-UNC", resources::LastingText(kLabelNetworkPaths), K::YesNo, "", 0, 0, "O", false},
      {"NumeroPoste", resources::LastingText(kLabelStationNumber), K::Number, "", 0, 9999999999.0, "0", false},
      {"LancementAuto", resources::LastingText(kLabelStartCommands), K::Text, "", 0, 100, "",
       false},
      {"FichierImport", resources::LastingText(kLabelImportFile), K::File, "", 0, 0, "", false},
      {"NomFichierExport", resources::LastingText(kLabelExportFile), K::NewFile, "", 0, 0, "", false},
      // Reports and printers.
      {"FichierEtatsV", resources::LastingText(kLabelViewReportSet), K::Letters, kSetLetters, 0, 0, "0", false},
      {"FichierEtatsA", resources::LastingText(kLabelPrinter1ReportSet), K::Letters, kSetLetters, 0, 0, "0", false},
      {"FichierEtatsB", resources::LastingText(kLabelPrinter2ReportSet), K::Letters, kSetLetters, 0, 0, "0", false},
      {"Sur2emeImprim", resources::LastingText(kLabelOnPrinter2), K::YesNo, "", 0, 0, "N", false},
      {"1ere-Imprim-A", resources::LastingText(kLabelPrinter1), K::Text, "", 0, 64, "", false},
      {"2eme-Imprim-B", resources::LastingText(kLabelPrinter2), K::Text, "", 0, 64, "", false},
      {"DateHeureImpr", resources::LastingText(kLabelPrintDateTime), K::YesNo, "", 0, 0, "O", false},
      {"Cadres-Gris\xE9s", resources::LastingText(kLabelGreyFrames), K::YesNo, "", 0, 0, "O", false},
      {"Fmt_R\xE9" "el_Visu", resources::LastingText(kLabelViewCents), K::Letters, "0123456789", 0,
       0, "1", false},
      {"Debug_Etats", resources::LastingText(kLabelReportDebug), K::YesNo, "", 0, 0, "N", false},
      {"LargMPortrait", resources::LastingText(kLabelPortraitColumns), K::Margin, "", 1, 255, "80", false},
      {"LargMPaysage_", resources::LastingText(kLabelLandscapeColumns), K::Margin, "", 1, 255, "113", false},
      // Fonts of the windows, read at start.
      {"PoliceTableau", resources::LastingText(kLabelListFont), K::Font, "", 0, 0, "", true},
      {"MajHautPolTab", resources::LastingText(kLabelListRowHeight), K::Multiplier, "", 0, 3, "1.3", true},
      {"MajLargPolTab", resources::LastingText(kLabelListCharWidth), K::Multiplier, "", 0, 3, "1", true},
      {"PoliceSaisies", resources::LastingText(kLabelFormFont), K::Font, "", 0, 0, "", true},
      {"MajHautPolSai", resources::LastingText(kLabelFormRowHeight), K::Multiplier, "", 0, 3, "1.3", true},
      {"MajLargPolSai", resources::LastingText(kLabelFormCharWidth), K::Multiplier, "", 0, 3, "1", true},
      {"Police-Assist", resources::LastingText(kLabelHelpFont), K::Font, "", 0, 0, "", true},
      // Fonts of the reports, read at each report.
      {"Police-1-Visu", resources::LastingText(kLabelViewFont1), K::Font, "", 0, 0, "", false},
      {"Police-2-Visu", resources::LastingText(kLabelViewFont2), K::Font, "", 0, 0, "", false},
      {"Police-3-Visu", resources::LastingText(kLabelViewFont3), K::Font, "", 0, 0, "", false},
      {"Police-4-Visu", resources::LastingText(kLabelViewFont4), K::Font, "", 0, 0, "", false},
      {"Police-S-Visu", resources::LastingText(kLabelViewSubtotalFont), K::Font, "", 0, 0, "", false},
      {"MajMaxPolVisu", resources::LastingText(kLabelViewFontWidening), K::Multiplier, "", 0, 2, "1.5", false},
      {"Police-1-ImpA", resources::LastingText(kLabelPrinter1Font1), K::Font, "", 0, 0, "", false},
      {"Police-2-ImpA", resources::LastingText(kLabelPrinter1Font2), K::Font, "", 0, 0, "", false},
      {"Police-3-ImpA", resources::LastingText(kLabelPrinter1Font3), K::Font, "", 0, 0, "", false},
      {"Police-4-ImpA", resources::LastingText(kLabelPrinter1Font4), K::Font, "", 0, 0, "", false},
      {"Police-S-ImpA", resources::LastingText(kLabelPrinter1SubtotalFont), K::Font, "", 0, 0, "", false},
      {"Police-1-ImpB", resources::LastingText(kLabelPrinter2Font1), K::Font, "", 0, 0, "", false},
      {"Police-2-ImpB", resources::LastingText(kLabelPrinter2Font2), K::Font, "", 0, 0, "", false},
      {"Police-3-ImpB", resources::LastingText(kLabelPrinter2Font3), K::Font, "", 0, 0, "", false},
      {"Police-4-ImpB", resources::LastingText(kLabelPrinter2Font4), K::Font, "", 0, 0, "", false},
      {"Police-S-ImpB", resources::LastingText(kLabelPrinter2SubtotalFont), K::Font, "", 0, 0, "", false},
      {"MajMaxPolImpr", resources::LastingText(kLabelPrintFontWidening), K::Multiplier, "", 0, 2, "1.5", false},
      // Backup.
      {"LanceM?BACKUP", resources::LastingText(kLabelBackupMethod), K::BackupMethod, "", 0, 0, "9", false},
      {"Un-Sauvegarde", resources::LastingText(kLabelBackupUnit1), K::BackupUnit, "", 0, 200, "", false},
      {"Un2Sauvegarde", resources::LastingText(kLabelBackupUnit2), K::BackupUnit, "", 0, 200, "", false},
      {"Proc-Sauvegar", resources::LastingText(kLabelBackupProcedure), K::Text, "", 0, 255, "", false},
      {"Proc-Restaure", resources::LastingText(kLabelRestoreProcedure), K::Text, "", 0, 255, "", false},
      // Rounding lines of the entry.
      {"CpteArrondiDB", resources::LastingText(kLabelRoundingDebitAccount), K::Account, "", 0, 0, "66600000", false},
      {"CpteArrondiCR", resources::LastingText(kLabelRoundingCreditAccount), K::Account, "", 0, 0, "76600000", false},
      {"CpteArrondiAN", resources::LastingText(kLabelRoundingSection), K::Section, "", 0, 0, "ZARRONDI", false},
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
    why = resources::LastingText(kMsgRoundingAccountShape);
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
  const std::string all = LoadStr(kMethodLetters);
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
      if (c != 'O' && c != 'N') return Refuse(Frame(resources::LastingText(kMsgAnswerYesNo)));
      return Accept(std::string(1, c));
    }
    case K::Letters: {
      const std::string u = Upper(t.c_str());
      if (u.size() != 1 || std::string(s.values).find(u[0]) == std::string::npos)
        return Refuse(Frame(FillPlaceholder(resources::LastingText(kMsgOneCharacterOf), s.values)));
      return Accept(u);
    }
    case K::Character: {
      const unsigned char c = static_cast<unsigned char>(t[0]);
      if (t.size() != 1 || std::isalnum(c)) return Refuse(Frame(resources::LastingText(kMsgSignCharacter)));
      return Accept(t);
    }
    case K::Number:
    case K::Margin: {
      // A number of more digits than the range allows is out of the range, not malformed.
      if (!AllDigits(t)) return Refuse(Frame(resources::LastingText(kMsgWholeNumber)));
      const double n = std::atof(t.c_str());
      if (n < s.low || n > s.high) {
        const std::string low = AllTrim(FormatNumber(12, 0, false, s.low));
        const std::string high = AllTrim(FormatNumber(12, 0, false, s.high));
        return Refuse(Frame(FillPlaceholders(resources::LastingText(kMsgNumberRange), {low, high})));
      }
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
        return Refuse(Frame(
            FillPlaceholder(resources::LastingText(kMsgMultiplierRange), AllTrim(FormatNumber(6, 1, false, s.high)))));
      return Accept(v);
    }
    case K::Account: {
      std::string kept, why;
      if (!RoundingAccountKept(t, kept, why)) return Refuse(Frame(why));
      return Accept(kept);
    }
    case K::Section: {
      if (t.size() > 8 || t.find(' ') != std::string::npos || std::string(Upper(t.c_str())) != t)
        return Refuse(Frame(resources::LastingText(kMsgSectionShape)));
      return Accept(t);
    }
    case K::Folder:
      if (!FolderExistsBeforePlaceholders(t))
        return Refuse(Frame(FillPlaceholder(resources::LastingText(kMsgFolderMissing), t)));
      return Accept(t);
    case K::File:
      if (!platform::FileExists(platform::ResolvePath(t)))
        return Refuse(Frame(FillPlaceholder(resources::LastingText(kMsgFileMissing), t)));
      return Accept(t);
    case K::NewFile: {
      const std::size_t slash = t.rfind('/');
      const std::string folder = slash == std::string::npos ? std::string() : (slash == 0 ? std::string("/") : t.substr(0, slash));
      if (slash == t.size() - 1 || (!folder.empty() && !platform::DirectoryExists(folder)))
        return Refuse(Frame(FillPlaceholder(resources::LastingText(kMsgFileFolderMissing), t)));
      return Accept(t);
    }
    case K::Font:
      if (!FontTextShape(t)) return Refuse(Frame(resources::LastingText(kMsgChooseFont)));
      return Accept(t);
    case K::Text:
      if (t.size() > static_cast<std::size_t>(s.high))
        return Refuse(
            Frame(FillPlaceholder(resources::LastingText(kMsgTextTooLong), std::to_string(static_cast<int>(s.high)))));
      return Accept(t);
    case K::BackupMethod: {
      const std::string u = Upper(t.c_str());
      if (u.size() != 1 || OfferedBackupMethods().find(u[0]) == std::string::npos)
        return Refuse(
            Frame(FillPlaceholder(resources::LastingText(kMsgChooseBackupMethod), OfferedBackupMethods())));
      if (context.methodRefusal) {
        const std::string refusal = context.methodRefusal(u[0]);
        if (!refusal.empty()) return Refuse(refusal);
      }
      return Accept(u);
    }
    case K::BackupUnit: {
      if (t.size() > static_cast<std::size_t>(s.high)) return Refuse(Frame(resources::LastingText(kMsgUnitTooLong)));
      std::string unit = t;
      NormaliseBackupUnitPath(unit, context.backupMethod);
      if (IsBlank(unit)) return Refuse(Frame(FillPlaceholder(resources::LastingText(kMsgUnitUnfit), t)));
      if (!unit.empty() && unit[0] == '/' && !FolderExistsBeforePlaceholders(unit))
        return Refuse(Frame(FillPlaceholder(resources::LastingText(kMsgFolderMissing), unit)));
      return Accept(unit);
    }
  }
  return Refuse(Frame(resources::LastingText(kMsgValueRefused)));
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
