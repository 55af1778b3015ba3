#include "reports/balances/core/code_lists.h"

#include "data/collective_account.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/table.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace balances {

namespace {

// The general file that does not open (%s: the error, the path).
constexpr int kMsgGeneralFileNotOpened = 23538;

}  // namespace

bool CodeLists::Load(const std::string& c10Path, std::string* message) {
  journals_.clear();
  labels_.clear();
  collectives_.clear();
  Table t;
  if (!t.OpenShared(c10Path, "C10CODE", true)) {
    if (message != nullptr)
      *message = FillPlaceholders(LoadStr(kMsgGeneralFileNotOpened), {std::to_string(t.result), c10Path});
    return false;
  }
  std::vector<std::string> v;
  for (bool more = t.GoTop(); more && !t.eof; more = t.Skip(1)) {
    if (!t.recordBuffer.empty() && t.recordBuffer[0] == '*') continue;
    ReadStoredFields(t, {1, 2, 3, 4}, v);
    const char kind = v[0].empty() ? ' ' : v[0][0];
    const std::string code = TrimmedRight(v[1]);
    if (kind == 'J') {
      JournalCode j;
      j.name = Trimmed(v[2]);
      j.inDashboard = !(v[3].size() >= 25 && v[3][24] == 'N');
      journals_[code] = j;
    } else if (kind == 'L') {
      labels_[code] = Trimmed(v[3].substr(0, 7));
    }
  }
  // The collectives as the totals count them: a cancelled one too, the first record of a letter.
  for (const auto& [letter, account] : CollectiveAccounts(t)) {
    CollectiveCode b;
    b.letter = letter;
    b.account = account.empty() ? std::string(8, ' ') : account;
    const char key[3] = {'B', letter, 0};
    const Lookup found = t.Find("C10CODE", key);
    // A collective not read fails the load, as a file that does not open: no list goes out unnamed.
    if (found.IsRefused()) {
      if (message != nullptr) *message = UnreadText(c10Path, found.result());
      return false;
    }
    if (found.IsFound()) b.name = Trimmed(t.GetField(3));
    collectives_.push_back(b);
  }
  return true;
}

std::string CodeLists::CollectiveList() const {
  std::string list;
  for (const CollectiveCode& b : collectives_)
    if (b.account != std::string(8, ' ')) list += "/" + b.account + "\\" + std::string(1, b.letter);
  return list;
}

std::string CodeLists::CollectiveAccountOf(char letter) const {
  for (const CollectiveCode& b : collectives_)
    if (b.letter == letter && b.account != std::string(8, ' ')) return b.account;
  return "";
}

std::string CodeLists::ExcludedJournals() const {
  std::string text;
  for (const auto& [code, j] : journals_) {
    if (j.inDashboard) continue;
    std::string c = code.substr(0, 3);
    c.resize(3, ' ');
    if (!text.empty()) text += "/";
    text += c;
  }
  return text;
}

}  // namespace balances
