// The records of the chart of accounts and of the analytic sections: the amounts as the forms show and store them,
// the accounts that carry a bank domiciliation, what a cancellation needs, the creation of an account or a section
// (also as a copy of a model) under the table's creation lock, the creation offer of a typed account, and the
// texts of the list's cells and of the analytic mark.
#pragma once

#include <string>

#include "masterdata/core/chart_files.h"
#include "masterdata/core/code_records.h"

class Table;

namespace masterdata {

// ---- amounts --------------------------------------------------------------------------------------------------

// A budget as an edit shows it: "" for 0, the number for a debit budget, "C" + the number for a credit (negative)
// budget ("C1200.00" for -1200).
std::string BudgetText(double value);
// A budget typed: "D" + number is the number, "C" + number its opposite, anything else the number (its own sign).
double BudgetValue(const std::string& text);
// True when the text reads whole as an amount: blank, or digits with at most one decimal point and at most two
// decimals, after an optional sign ("-" or "+") or, for a budget, a sign letter ("D" or "C").
bool IsAmountText(const std::string& text, bool budget);
// The columns of the amounts of the account and section forms, each a previous year's amount or a budget.
enum class AmountColumn { kDebit, kCredit, kBudget };
// A previous year's amount or a budget typed in euros (`euros`) or in francs, that reads as an amount
// (IsAmountText): "" when it and its twin in the other currency, at `rate` (francs for one euro), fit
// their fields (runtime/twin_amounts.h); otherwise the refusal, naming its column ("Débit N-1",
// "Crédit N-1" or "Budget"), the amount grouped as a sentence writes it and the range taken.
std::string AmountPastItsField(const std::string& typed, AmountColumn column, bool euros, double rate);

// ---- accounts -------------------------------------------------------------------------------------------------

// True when the account carries the domiciliation fields 9-16: every auxiliary account, and the general accounts
// whose first three (or else two) characters stand between dashes in the list of the dossier INI key
// "CGAvecDomBanc" of section "PlanComptable" (else of the program INI; else "-43-512-514-515-58-", which is then
// written into the dossier INI). The last answer is remembered for the same code of the same dossier.
bool HasBankDomiciliation(const std::string& code);
// Forgets the remembered answer (a test changes the INI under it).
void ForgetBankDomiciliation();

// The key of an account as stored: 8 characters, blank-padded when it begins with a letter, "0"-padded otherwise.
// Counterparts are stored so (older files may hold them unpadded: they are read through this too).
std::string AccountCode(const std::string& typed);

// True when the analytic mark of the account is checked by default: a code of class 6 or 7 with dossier
// constant 057 beginning with "O".
bool AnalyticByDefault(const std::string& code);
// The analytic mark as the list and the report show it: blanks for an auxiliary account; for classes 6 and 7
// "OUI" / "NON" for "O" / "N", else the dossier's default ("oui" / "non"); for other codes "OUI" for "O", else
// blanks (`blank` is the text of "blanks": 3 blanks in the list, "" in the report).
std::string AnalyticMarkText(const std::string& code, char mark, const std::string& blank);

// The creation offer of constant 010 for a code typed and not found: the constant must begin with "O"; its second
// character rules general accounts and its third auxiliary accounts: "3" to "8" a least length, "U" or "I" yes.
bool ProposeAccountCreation(const std::string& key);

// ---- both files -----------------------------------------------------------------------------------------------

// Seeks the code (padded to 8) on the file's code tag: found when the table stands on that very code, live or
// not; not found for a blank code; refused when the look-up could not read (a closed table too).
Lookup SeekChartCode(Table& t, const ChartFile& file, const std::string& code);
// The amounts of the current record allow a cancellation: every euro member is 0 and, unless `eurosOnly`
// (accounts of a dossier kept only in euros), every franc member too.
bool AmountsAllowCancel(Table& t, const ChartFile& file, bool eurosOnly);

// Creates the record of `code` under the creation lock of `t`: looked up again under it (Exists when another
// station made it), then built and written once with its code, either copied from the live record `model` (read
// through `modelCursor`, a second cursor on the same file) from field 2 on, named "Copie de " + the model's name
// and its amounts zero, or named by default: an account by its code (an auxiliary account without its first
// letter), a section not at all. It never holds its model's totals, not even for a moment. The new record is
// committed and current on `t`.
CreateResult CreateChartRecord(Table& t, Table& modelCursor, const ChartFile& file, const std::string& code,
                               const std::string& model);
// The name of a new account without a model: the code, or for an auxiliary account the code without its letter.
std::string DefaultAccountName(const std::string& code);

}  // namespace masterdata
