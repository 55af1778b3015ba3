// The rules the line form applies to the account and label code of a line: the sense proposed by the
// journal type, the account's class and the label's kind of operation (dossier constant 002); whether the
// line may carry an analytic split; the VAT-on-receipts list and when it is shown; the label proposed from
// the account's name; and where the focus goes after the labels.
#pragma once

#include <string>
#include <vector>

class Table;

namespace entry {

// The sense lists (string ids): cells of 4 characters, journal type + class character + label digit + "z".
inline constexpr int kDebitSenseCells = 186;
inline constexpr int kCreditSenseCells = 187;

// The class character of an account for the sense rules: its first character, except for an auxiliary
// account (a letter other than "C" and "F"), classed through its collective record "B" + letter: "F" when
// the collective is the supplier one (record "BF", default 401), "C" the customer one ("BC", default 411),
// else the collective's first digit; the letter stays when the collective record is missing or cancelled,
// ' ' when a collective record could not be read (no sense is proposed from it).
char AccountClass(Table& c10, const std::string& account);
// The sense proposed: 'D', 'C', or ' ' to leave it unchanged.
char AutoSenseOf(Table& c10, char journalType, const std::string& account, char labelDigit);

// The account of the line may carry an analytic split (analytic mode "1" or "2"; never on a rounding
// line): for an account of class 6 or 7 unless its mark (field 27) is "N", a blank mark following dossier
// constant 057; for any other account only with the mark "O". An auxiliary account is decided by the general
// account of its collective. `c20` is left on the account itself. *refused (when given) is set when the
// deciding account's look-up, or its collective's, was refused: false then says nothing of the split.
bool AnalyticAllowed(Table& c10, Table& c20, const std::string& account, char analyticMode, char constant057,
                     bool roundingLine, bool* refused = nullptr);

// The VAT-on-receipts list: one entry per live VAT code (kind "T") whose sales account (field 4, characters
// 6-13) is not blank, its code letter + ":Tva" + its rate printed in width 5 with 2 decimals + "%", in code
// order; then one blank entry. Each entry is chosen by its first character, the one a line keeps.
std::vector<std::string> VatEntries(Table& c10);
// The list is shown: a treasury journal ("T"), VAT on receipts (constant 021 "O"), an account whose first
// character is one of the collective letters of constants 069, 070 and 071.
bool VatOnReceiptsShown(char journalType, char constant021, const std::string& account, const std::string& letters);

// "&L": label 1 up to its first backslash (included), or itself + "\", followed by the account's name;
// cut to 25.
std::string LabelFromAccount(const std::string& label, const std::string& accountName);

// After the labels: the due date for an auxiliary account in a purchases or sales journal, or an account
// of the prefixes of strings 2055 and 2056.
bool DueDateAfterLabels(char journalType, const std::string& account);

}  // namespace entry
