#include "dossier/constants_check.h"

#include <cstdio>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "runtime/logfile.h"
#include "runtime/xbase.h"

const std::vector<ConstantRule>& ResettableConstants() {
  // Closed lists with a known default (see the constants table of the design notes).
  static const std::vector<ConstantRule> rules{
      {4, "NRSABCDEFG", "NON"},  // balance-sheet model
      {6, "ON", "NON"},          // customers in purchase journals
      {7, "ON", "NON"},          // suppliers in sales journals
      {33, "NMS", "MVT"},        // trial balances: accounts without movement
      {44, "NMV", "NON"},        // orphan matching letters
      {45, "ONM", "NON"},        // exported trial balance in OEM
      {56, "ON", "NON"},         // dossier closed for good
      {60, "ONA", "OUI"},        // distribution codes in entry
      {61, "ABCN", "NOR"},       // display mode of the line form
      {64, "ON", "NON"},         // accents ignored by F2 / F3
  };
  return rules;
}

std::vector<ConstantReset> ResetInvalidConstants(DossierRecord& record) {
  std::vector<ConstantReset> resets;
  for (const ConstantRule& rule : ResettableConstants()) {
    const std::string value = record.Constant(rule.number);
    const char first = value.empty() ? ' ' : value[0];
    bool valid = false;
    for (const char* p = rule.firstChars; *p != '\0'; ++p)
      if (*p == first) valid = true;
    if (valid) continue;
    record.SetConstant(rule.number, rule.defaultValue);
    resets.push_back({rule.number, value, record.Constant(rule.number)});
  }
  return resets;
}

namespace {

std::string Number3(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%03d", n);
  return buffer;
}

}  // namespace

std::string ConstantsResetMessage(const std::vector<ConstantReset>& resets) {
  std::string text = LoadStr(19701);
  for (const ConstantReset& r : resets)
    text += "   " + Number3(r.number) + ":  '" + r.oldValue + "'  ->  '" + r.newValue + "'\n";
  text += LoadStr(55);
  return text;
}

bool CheckDossierConstants(gui::Window* client) {
  const std::vector<ConstantReset> resets = ResetInvalidConstants(TheDossierRecord);
  if (resets.empty()) return false;
  std::string line = "CONSTANTES - Ok - remises par d\xE9" "faut:";
  for (const ConstantReset& r : resets) line += " " + Number3(r.number) + "='" + r.oldValue + "'>" + r.newValue;
  WriteLog(line);
  gui::MessageBeep(0);
  gui::MessageBox(client, ConstantsResetMessage(resets), LoadStr(52), gui::MB_OK | gui::MB_ICONINFORMATION);
  return true;
}
