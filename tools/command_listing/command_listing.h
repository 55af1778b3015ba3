// The listing of the main window's commands, docs/commands.md: one row per command id with its
// menu place and text, key, number, constant (src/resources/command_ids.h), the work installed for it
// (the shell's own handler, or the subject's SetCommandWork call) and the core entry that work
// calls (the "Core:" line of the comment above the installed function). Made from the command
// table as built, and from the source tree: menu 1101, accelerator table 1102 and the subjects'
// .cpp files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace command_listing {

// What the listing found out of step: a command with no constant, no work or two, a work that
// does not follow the naming rule, a work without its "Core:" line (nor a reason after "none"), a
// "Core:" entry that no core folder defines or that the work does not call ...
// Empty when the wiring is whole.
struct Listing {
  std::string markdown;
  std::vector<std::string> problems;
};

// The listing of the tree at `sourceDir` (the folder holding src/).
Listing MakeListing(const std::filesystem::path& sourceDir);

// The command that writes docs/commands.md again, for messages.
std::string RegenerateCommand();

}  // namespace command_listing
