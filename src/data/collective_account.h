// Which collective account the lines of an auxiliary account feed, decided here once for every
// total that counts them: the moves of the entry lines (AccountTotalsCodes), the rebuild's totals,
// the totals a stopped change is finished with (LiveTotals) and the dossier's invariants, so that
// the totals one of them writes are the totals the others expect.
//
// An auxiliary account (first character "A"-"Z") feeds the collective of its first letter: the
// general file's record "B" + that letter, cancelled or not. A collective cancelled in its list
// keeps feeding its account, whose totals keep what the lines gave them (a reactivation finds them
// there), as the writers' seeks find a cancelled record. Its account is the first 8 characters of
// the record's field 4, made an account as the lines' accounts are ("401" is 40100000); a record
// whose account is blank names none, and its letter's lines then feed no collective. A letter
// without a record gets one from the first writer that needs it, naming MadeCollectiveAccount().
#pragma once

#include <map>
#include <string>

class Table;

// The collective account a collective record names by its field 4; "" when it names none.
std::string CollectiveAccountOf(const std::string& field4);

// The collective account of each letter that has a collective record in the general file `c10`
// (open on C10CODE): the first record of the letter in code order, cancelled or not, as the
// writers' seek finds it; "" for a letter whose record names none. Every reader that decides which
// collective an auxiliary account belongs to (the totals, the trial balances and their carrying,
// the ledgers, the balance sheet, the exports) takes it from here. The current record moves.
std::map<char, std::string> CollectiveAccounts(Table& c10);

// The account of the collective record a writer makes for a letter that has none.
std::string MadeCollectiveAccount();

// The letter of the collective an account feeds: its first character for an auxiliary account,
// 0 for a general one.
char CollectiveLetterOf(const std::string& account);
