// The accounts of the exchange-rounding lines: the program INI names them under "CpteArrondiDB" (a
// rounding line on the debit side) and "CpteArrondiCR" (on the credit side). The line form's rounding
// lines and the rebuild's balancing lines read them here, so that both post to the same account.
#pragma once

#include <string>

// The accounts when the program INI names none.
inline constexpr const char* kDefaultRoundingDebit = "66600000";
inline constexpr const char* kDefaultRoundingCredit = "76600000";

// The rounding account of a debit (true) or credit line: the INI value (at most 8 characters read) normalised
// as every account of a line is: "666" is 66600000. A missing or blank value gives the default.
std::string RoundingAccount(bool debit);
