// The program's configuration (Configuration): TDUtiConfiguration lists the settings of the program INI (the table
// of utilities/core/settings_table.h) with their values; the value of the setting chosen is typed below the list,
// chosen among the backup methods, or chosen with "Choisir..." (a font, a folder, a file). A value is checked when
// the user leaves it; "&Ok" writes the INI (a blank value deletes the key), fills the program options again as the
// start-up does, and makes the report-definition sets again when a set letter changed.
#pragma once

#include <map>
#include <string>

#include "framework/dialog_bases.h"
#include "utilities/core/settings_table.h"

class TDUtiConfiguration : public TDNuv {
 public:
  static constexpr int kList = 1201, kLabel = 1202, kHint = 1203, kValue = 1204, kMethods = 1205, kChoose = 1206,
                       kFontNote = 1207;

  explicit TDUtiConfiguration(gui::Window* parent);

  // Selects the row of a setting and shows its value below, as a click on the row does (the value of the row left
  // is checked first: false, the selection kept, when it is refused).
  bool SelectSetting(const std::string& key);
  // The setting of the row selected (null before SetupWindow).
  const settings::ProgramSetting* Selected() const;
  // The value a row shows: the changed value, else the INI's.
  std::string ShownValue(const settings::ProgramSetting& s) const;
  // The changes made so far (key -> value, blank to delete).
  const std::map<std::string, std::string>& Changes() const { return changes_; }

  void CmChoisir();

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvChildNotify(int id, unsigned code, gui::Handle control) override;
  void CmOk() override;

 private:
  // Takes the value below the list into the changes: true when accepted (or unchanged).
  bool AcceptShownValue();
  // Shows the row's setting below the list.
  void ShowSetting(int row);
  void RefreshRow(int row);
  std::string RowText(const settings::ProgramSetting& s) const;
  settings::SettingContext Context() const;
  char PendingMethod() const;
  void ChooseMethod();

  std::map<std::string, std::string> changes_;
  int row_ = -1;
  bool loading_ = false;
};

// Writes the changes and refreshes the program options 3-11, 14-16 and 18-20 from the INI through the start-up's
// readers (12, 17, 21 and 22 keep their values); when a report-definition set changed, the sets are made again
// (and the lists of user-defined reports closed first). False when the INI did not take every change: the options
// then follow what it holds.
bool ApplyProgramSettings(const std::map<std::string, std::string>& changes);

// The work of Configuration.
void CmConfiguration();
