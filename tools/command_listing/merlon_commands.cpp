// merlon-commands <source folder>: writes the listing of the main window's commands
// (docs/commands.md) to the standard output, and what is out of step to the error output
// (exit code 1 then).
#include <iostream>

#include "command_listing/command_listing.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: merlon-commands <source folder>\n";
    return 2;
  }
  const command_listing::Listing listing = command_listing::MakeListing(argv[1]);
  std::cout << listing.markdown;
  for (const std::string& problem : listing.problems) std::cerr << problem << "\n";
  return listing.problems.empty() ? 0 : 1;
}
