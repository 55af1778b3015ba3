// The program-INI keys that the program reads as settings, in one table: what the configuration dialog lists, how
// each value is checked, and how the dialog's changes are written back. No window: the dialog (configuration.h) and
// the tests work on it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace settings {

enum class SettingKind {
  YesNo,         // "O" or "N"
  Letters,       // one character of `values`
  Character,     // any one character but a blank, a letter or a digit (the help character)
  Number,        // a whole number from `low` to `high`
  Margin,        // a number of columns from 1 to 255, kept in one byte
  Multiplier,    // a decimal number above 0 and at most `high`
  Account,       // a general account (the rounding accounts)
  Section,       // an analytic section code, at most 8 characters
  Folder,        // a folder that exists (placeholders "%...%" allowed after it)
  File,          // a file that exists
  NewFile,       // a file the program writes: its folder exists
  Font,          // a font text ("face,sss/wcs"), chosen through the font chooser
  Text,          // any text of at most `high` characters
  BackupMethod,  // a backup method letter
  BackupUnit,    // a backup destination, brought to the method's form
};

struct ProgramSetting {
  const char* key;           // the program-INI key
  const char* label;         // what the dialog shows
  SettingKind kind;
  const char* values;        // Letters: the characters allowed
  double low, high;          // Number, Margin, Multiplier; Text: high is the longest text
  const char* defaultValue;  // the value when the INI has none
  bool nextStart;            // read once at start: a change takes effect at the next start
};

// Every setting, in the order the dialog lists them.
const std::vector<ProgramSetting>& ProgramSettings();
const ProgramSetting* FindProgramSetting(const std::string& key);

// The backup methods offered, in the order of string 1226 without the Windows archivers A and Z; each with its
// text (strings 1227-1236).
std::string OfferedBackupMethods();
std::string BackupMethodText(char method);

// What a check needs of the layers above the core: the backup's refusal of a method whose batch file is missing
// ("" when it can run) and the backup method the units are brought to.
struct SettingContext {
  std::function<std::string(char method)> methodRefusal;
  char backupMethod = '9';
};

struct SettingCheck {
  bool accepted = false;
  std::string value;    // the value to write (blank: the key is deleted)
  std::string message;  // why it was refused, for a message box
};
// Checks a typed value by its kind. A blank value is accepted (it deletes the key) except for the backup method.
SettingCheck CheckSettingValue(const ProgramSetting& setting, const std::string& typed, const SettingContext& context);

// The value the INI holds, or the default.
std::string CurrentSettingValue(const ProgramSetting& setting);

// Writes the changed values (key -> value; a blank value deletes the key). True when every write succeeded.
bool WriteSettings(const std::map<std::string, std::string>& changes);

// The keys among `changes` whose setting takes effect at the next start (the fonts).
bool ChangesNeedRestart(const std::map<std::string, std::string>& changes);
// A report-definition set letter is among the changes.
bool ChangesReportSets(const std::map<std::string, std::string>& changes);

}  // namespace settings
