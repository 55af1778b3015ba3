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

// The section of the analytic rounding lines: the program INI names it under "CpteArrondiAN". A missing or
// blank value gives "ZARRONDI"; the value is read into 8 characters and padded with blanks to 8, so that a
// short code names the same section as the section record's blank-padded code.
inline constexpr const char* kDefaultRoundingSection = "ZARRONDI";
std::string AnalyticRoundingSection();
