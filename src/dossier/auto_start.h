// The commands started by themselves after a dossier is opened, and the
// choice of offering the working-date dialog first.
#pragma once

#include <string>
#include <vector>

// The program INI's keys of the start, packed side by side in one text: the permission of UNC
// paths (characters 1-13) and the launch list (14-26).
inline constexpr int kPackedIniKeys = 5;

// The commands a launch list names, in list order: entries of a menu letter
// and a command letter followed by one separator; an unknown character is
// passed over one at a time.
std::vector<unsigned> AutoLaunchCommands(const std::string& list);

// The list in effect: "LancementAuto" of the program INI ("N" / "Non" turn
// it off: empty), or "DP-SS-NV-" when that is blank and dossier constant 050
// begins with "O".
std::string AutoLaunchList();

// Posts the commands of the list to the client window.
void RunAutoLaunch();

// Writes today into "DateTravail" / "Jour" of the dossier INI and tells
// whether the working-date dialog is to be offered: always, unless dossier
// constant 023 begins with "N", which offers it only at the day's first
// opening on this workstation. UseStoredWorkingDate takes the result.
bool SetWorkingDateToToday();
