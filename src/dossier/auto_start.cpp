#include "dossier/auto_start.h"

#include <cstdio>

#include "data/dossier_files.h"
#include "platform/gui/command.h"
#include "platform/system/clock.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"

namespace {

// The keys and values read from the string table, by their ids.
constexpr int kDefaultAutoLaunch = 2832;    // the commands started at opening when the dossier asks for them
constexpr int kWorkingDateTodayKey = 2617;  // the dossier INI's section and key of the day last opened

struct LaunchCode {
  const char* code;
  unsigned command;
};

constexpr LaunchCode kCodes[] = {
    {"DE", command_id::DonneesEtablissements}, {"DJ", command_id::DonneesJournaux},
    {"DC", command_id::DonneesCollectifs}, {"DB", command_id::DonneesBanques}, {"DL", command_id::DonneesLibelles},
    {"DV", command_id::DonneesVentilations}, {"DM", command_id::DonneesModeles}, {"DT", command_id::DonneesCodesTva},
    {"DP", command_id::DonneesPlanComptable}, {"DS", command_id::DonneesSectionsAnal},
    {"SS", command_id::SaisieEcritures}, {"EC", command_id::EtaCompte}, {"EG", command_id::EtaGrandsLivres},
    {"EJ", command_id::EtaJournaux}, {"EB", command_id::EtaBalances}, {"TM", command_id::LettrageManuel},
    {"NP", command_id::FenetresPleinEcran}, {"NA", command_id::AgrandirFenetre}, {"NM", command_id::CommandesMsDos},
    {"NC", command_id::FenetresCascade}, {"NV", command_id::FenetresMosaique},
    {"NH", command_id::FenetresMosaiqueHorizontale},
};

// Key of the program INI: characters 14-26 of the packed keys.
std::string LaunchKey() { return SubStr(LoadStr(kPackedIniKeys), 14, 13); }

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
  if (IsBlank(list) && TheDossierRecord.Constant(50).substr(0, 1) == "O") list = LoadStr(kDefaultAutoLaunch);
  return list;
}

void RunAutoLaunch() {
  for (unsigned command : AutoLaunchCommands(AutoLaunchList())) gui::PostCommand(MainWindowHandle, command);
}

bool SetWorkingDateToToday() {
  // Section and key cut from one text ("DateTravailJour").
  const std::string section = SubStr(LoadStr(kWorkingDateTodayKey), 1, 11);
  const std::string key = SubStr(LoadStr(kWorkingDateTodayKey), 12, 4);
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
