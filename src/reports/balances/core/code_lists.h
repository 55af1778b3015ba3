// The code lists of C10 that the trial balances and their exports read: journals (their names
// and whether they stand in the dashboard), standard labels (their text) and collective
// accounts (their general account and the letter of their auxiliary accounts).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace balances {

struct JournalCode {
  std::string name;           // trimmed
  bool inDashboard = true;    // false when field 4 has "N" at its 25th character
};

struct CollectiveCode {
  char letter = ' ';          // first character of the code
  std::string account;        // 8 characters, blank when it has none
  std::string name;
};

class CodeLists {
 public:
  // Live records of C10, and the collectives as every total counts them (a cancelled one too,
  // CollectiveAccounts); false with a French *message when it does not open.
  bool Load(const std::string& c10Path, std::string* message = nullptr);

  // Key: the code as stored, right-trimmed.
  const std::map<std::string, JournalCode>& Journals() const { return journals_; }
  const std::map<std::string, std::string>& Labels() const { return labels_; }  // code -> text (1-7, trimmed)
  const std::vector<CollectiveCode>& Collectives() const { return collectives_; }

  // "/" + account + "\" + letter for each collective with an account, in key order.
  std::string CollectiveList() const;
  // The general account of a letter's collective; "" when none.
  std::string CollectiveAccountOf(char letter) const;
  // The journals kept out of the dashboard: codes of three characters joined by "/".
  std::string ExcludedJournals() const;

 private:
  std::map<std::string, JournalCode> journals_;
  std::map<std::string, std::string> labels_;
  std::vector<CollectiveCode> collectives_;
};

}  // namespace balances
