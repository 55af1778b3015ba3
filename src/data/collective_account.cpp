#include "collective_account.h"

#include "data/entry_lines.h"
#include "resources/string_table.h"

namespace {

// The digit the account of a made collective record repeats, by its id in the string table.
constexpr int kCollectiveFillerDigit = 1109;
constexpr std::size_t kAccountWidth = 8;

}  // namespace

std::string CollectiveAccountOf(const std::string& field4) { return NormalizeAccount(field4.substr(0, kAccountWidth)); }

std::string MadeCollectiveAccount() { return std::string(kAccountWidth, LoadStr(kCollectiveFillerDigit)[0]); }

char CollectiveLetterOf(const std::string& account) { return IsAuxiliaryAccount(account) ? account[0] : 0; }
