// The passwords and rights of a dossier that is not open, stored as its properties and the
// rights editor store them, and the password prompts of the program answered through the modal
// seam as a user types them.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

// The privileged and secondary passwords in the dossier record "0" of the general file
// `c10Path` (positions 151-168, field 4 from character 121).
void StorePasswords(const std::string& c10Path, const std::string& privileged, const std::string& secondary);

// The rights of the secondary password in record "0" (field 6): every right granted but the
// (function, right) pairs of `refused`.
void StoreRights(const std::string& c10Path, const std::vector<std::pair<int, int>>& refused);

// The password prompts answered in turn with `typed`, each wrong one's message acknowledged
// (the last one's too unless `lastRight`). `shot`: the first prompt's picture, in
// test-artefacts/processing/. `label`: what every prompt must ask for (null: not checked).
void QueuePasswords(const std::vector<std::string>& typed, bool lastRight, const char* shot = nullptr,
                    const char* label = nullptr);

// The password prompts shown since the seam was last reset.
int PasswordPrompts();

// Every file of a dossier's folder, name -> bytes, but its log ("clg..."), where a refused
// password is recorded: what a run refused must leave as it was.
std::map<std::string, std::string> FilesButLog(const std::string& folder);

}  // namespace test_support
