// First-start seeding of the program folder: every file of the installed
// share folder (reference tables, e-mail template, sample batch files ...)
// that the program folder lacks is copied there, under its shipped name.
// A user's file of the same name, in any case, is never replaced.
#pragma once

#include <string>
#include <vector>

// The share folder: $MERLON_SHARE when set, else the first folder that
// exists of <exe>/../../share/merlon (build tree) and <exe>/../share/merlon
// (installed). "" when none is found.
std::string FindShareFolder();
// Same search from a given executable path (tests).
std::string FindShareFolderFrom(const std::string& executablePath);

struct SeedResult {
  std::vector<std::string> copied;  // names relative to the share folder
  std::vector<std::string> failed;  // names that could not be copied
};

// Copies each file of `share` (sub-folders included) that is missing in
// `programFolder`, which is created when missing. Failures are written to
// the standard error and the remaining files are still copied.
SeedResult SeedProgramFolder(const std::string& share, const std::string& programFolder);
