#include "dossier/auto_start.h"

#include <cstdio>

#include "data/dossier_files.h"
#include "platform/gui/command.h"
#include "platform/system/clock.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"

namespace {

struct LaunchCode {
  const char* code;
  unsigned command;
};

constexpr LaunchCode kCodes[] = {
    {"DE", 20301}, {"DJ", 20302}, {"DC", 20303}, {"DB", 20304}, {"DL", 20305}, {"DV", 20306},
    {"DM", 20307}, {"DT", 20308}, {"DP", 20309}, {"DS", 20310}, {"SS", 20401}, {"EC", 20501},
    {"EG", 20502}, {"EJ", 20503}, {"EB", 20504}, {"TM", 20601}, {"NP", 20801}, {"NA", 20802},
    {"NM", 20803}, {"NC", 24361}, {"NV", 24362}, {"NH", 24363},
};

// Key of the program INI: characters 14-26 of the packed keys of string 5.
std::string LaunchKey() { return SubStr(LoadStr(5), 14, 13); }

}  // namespace

std::vector<unsigned> AutoLaunchCommands(const std::string& list) {
  std::vector<unsigned> commands;
  std::string rest = list;
  while (!IsBlank(rest)) {
    unsigned found = 0;
    if (rest.size() >= 2) {
      for (const LaunchCode& c : kCodes)
        if (rest[0] == c.code[0] && rest[1] == c.code[1]) found = c.command;
    }
    if (found != 0) {
      commands.push_back(found);
      rest.erase(0, rest.size() >= 3 ? 3 : rest.size());
    } else {
      rest.erase(0, 1);
    }
  }
  return commands;
}

std::string AutoLaunchList() {
  std::string list = IniGetString(LaunchKey().c_str(), "");
  if (list.size() > 100) list.resize(100);
  const std::string upper = Upper(AllTrim(list.c_str()));
  if (upper == "N" || upper == "NON") return "";
  if (IsBlank(list) && TheDossierRecord.Constant(50).substr(0, 1) == "O") list = LoadStr(2832);
  return list;
}

void RunAutoLaunch() {
  for (unsigned command : AutoLaunchCommands(AutoLaunchList())) gui::PostCommand(MainWindowHandle, command);
}

bool SetWorkingDateToToday() {
  // Section and key cut from string 2617 ("DateTravailJour").
  const std::string section = SubStr(LoadStr(2617), 1, 11);
  const std::string key = SubStr(LoadStr(2617), 12, 4);
  std::string stored = DossierIniGet(section.c_str(), key.c_str(), "");
  if (stored.size() > 8) stored.resize(8);
  const platform::LocalTime now = platform::GetLocalTime();
  char today[16];
  std::snprintf(today, sizeof today, "%04d%02d%02d", now.year, now.month, now.day);
  DossierIniSet(section.c_str(), key.c_str(), today);
  const bool offer = TheDossierRecord.Constant(23).substr(0, 1) == "N" ? stored != today : true;
  UseStoredWorkingDate = offer;
  return offer;
}
