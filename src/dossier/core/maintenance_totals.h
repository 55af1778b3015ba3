// The totals a dossier keeps, computed again from its entry lines, and the
// balance check of every journal-month with its balancing lines. Plain code:
// the dossier rebuild gathers the sums from the lines before it changes
// anything (TotalsPlan), then posts them with the tables C10 to C60 open
// exclusively on their code tags, after every journal-month header was deleted
// and every account and section total set to 0 (the held ones aside).
#pragma once

#include <map>
#include <set>
#include <string>

#include "data/account_totals.h"
#include "data/rounding_accounts.h"
#include "dossier/core/maintenance_pack.h"

// Suspense account of the balancing lines and the label they carry.
inline constexpr const char* kSuspenseAccount = "47599999";
inline constexpr const char* kRebuildLabel = "ReConstruction de dossier";

// The first write of the totals that the engine refused (a full disk, an I/O error): its
// data file and the engine's code. The run stops at it; the totals are then incomplete.
// A total that its field cannot hold stops the run too, before that record is written: it is
// named in `tooLarge` (one sentence), never taken for a refused write.
struct TotalsWriteFault {
  std::string file;
  int result = 0;
  std::string tooLarge;
  bool failed() const { return result != 0 || !tooLarge.empty(); }
};

// Codes in the order of their tags (the engine's collation weights): the order the totals are posted in.
struct TagOrder {
  bool operator()(const std::string& a, const std::string& b) const;
};

// The totals the live lines will give once the rebuild's walks have mended them, gathered in one read
// of the lines before the rebuild changes anything: a total its field cannot hold refuses the run
// first, and the totals step posts these sums without reading the lines again. A total fed by a line
// whose amount does not read is held: left as it stands, neither emptied nor made again, and its
// journal-month is not balanced.
class TotalsPlan {
 public:
  // A live general line ("Z", `code` its account as the record walks leave it) or analytic line
  // ("W", "Y", `code` its section) of the closed ('C') or draft ('B') file, of `month` (4
  // characters) in `journal`, with its amounts in cents.
  void AddLine(char kind, char source, const std::string& month, const std::string& journal, const std::string& code,
               char sense, long long francs, long long euros);
  // The same line when its amount does not read: the totals it feeds are held. `storedMonth` is its
  // month as stored, whose header is held too.
  void HoldLine(char kind, const std::string& storedMonth, const std::string& month, const std::string& journal,
                const std::string& code);
  // The collectives of the auxiliary accounts named so far: `found` the account each letter's
  // collective record names, as the totals step's seek finds it; a letter without one gets the
  // account the totals step makes. Each is held when one of its accounts is.
  void FindCollectives(const std::map<char, std::string>& found);
  // The first total (accounts, then sections, then headers) that its field cannot hold, named in
  // one sentence with what the lines give it; "" when every one fits. An auxiliary account's lines
  // count on its collective's account too. Held totals are not made, and not checked.
  std::string TooLarge() const;

  bool HeldAccount(const std::string& code) const;
  bool HeldSection(const std::string& code) const;
  // `key`: month and journal (7 characters), the draft and closed headers alike.
  bool HeldMonth(const std::string& key) const;
  bool Holds() const { return !heldAccounts_.empty() || !heldSections_.empty() || !heldMonths_.empty(); }

  // The sums to post: journal-months of the closed, then of the draft lines (month + journal), accounts,
  // sections; each in the order of its tag.
  using Sums = std::map<std::string, TotalsCents, TagOrder>;
  const Sums& Headers(char source) const { return source == 'C' ? closedHeaders_ : draftHeaders_; }
  const Sums& Accounts() const { return accounts_; }
  const Sums& Sections() const { return sections_; }

 private:
  Sums closedHeaders_, draftHeaders_, accounts_, sections_;
  std::set<std::string> heldAccounts_, heldSections_, heldMonths_;
  std::map<char, std::string> collectives_;  // letter -> the account that collects it
};

// The journal-month headers of C10, the account totals of C20 and the section totals of C30 from
// the sums of `plan`, the held ones left out. Missing headers, accounts, collective records and
// sections are created. Stops at the first write refused, and gives it.
TotalsWriteFault RecomputeDossierTotals(const TotalsPlan& plan, MaintenanceProgress* progress = nullptr);

struct BalanceCheck {
  bool rebalancing = false;  // balancing lines were allowed
  int unbalanced = 0;        // checks (a currency of a journal-month) found unbalanced
  int linesWritten = 0;      // balancing lines written into C50
  bool draftFull = false;    // C50 held 999,999 records: the balancing lines left were not written
  TotalsWriteFault fault;    // a write refused: the balancing lines from there on were not written
  std::string list;          // the list of the message (at most 12 lines and "etc")
  // The message box text ("" when every journal balances).
  std::string Message() const;
};

// Rebalancing is allowed when `rebalance` is set or dossier constant 027
// begins with "O".
bool RebalancingAllowed(bool rebalance);

// Checks every journal-month (its closed and draft headers together) in the
// main currency first, then in the other one (left out in a dossier kept in
// euros only), lists the unbalanced ones and, when allowed, writes a
// balancing draft line (C50, its C60 record, the account and header totals):
// the first currency's difference on 47599999 with its converted amount, the
// second currency's remaining difference on the rounding accounts of the
// program INI ("CpteArrondiDB" / "CpteArrondiCR"). When something was listed
// the account 47599999 (when it exists) is stamped with the date of the run.
// The journal-months `plan` holds are neither listed nor balanced.
BalanceCheck VerifyJournalBalances(bool rebalance, MaintenanceProgress* progress = nullptr,
                                   const TotalsPlan* plan = nullptr);
