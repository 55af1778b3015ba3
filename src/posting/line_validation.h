// The tests of a general line typed in the line form: the whole-line validation that runs before a save,
// and the field tests it is made of, which the form's field handlers run one by one as the user leaves or
// confirms a field. Each refusal names its message (a string id) and the field that gets the focus back.
// Also the cash-account warning of a credit typed on a cash account (class 53).
#pragma once

#include <string>

#include "posting/line_save.h"
#include "runtime/twin_amounts.h"

class Table;

namespace posting {

// Messages of the tests (string ids).
inline constexpr int kMsgDayWrong = 16120;               // "Le Jour est incorrect"
inline constexpr int kMsgDistributionUnknown = 16121;    // "Le Code Ventilation est inconnu"
inline constexpr int kMsgDistributionNoAccount = 16122;  // "... ne comporte pas de Compte Général"
inline constexpr int kMsgAccountEmpty = 16123;           // "Le Compte ne peut être vide"
inline constexpr int kMsgAccountNotAllowed = 16124;      // "Ce Compte n'est pas autorisé"
inline constexpr int kMsgAccountUnknown = 14102;         // "Le Compte est inconnu"
inline constexpr int kMsgCollectiveAccount = 16126;      // "C'est un Compte Collectif"
inline constexpr int kMsgAccountUnread = 39002;          // the account or the collectives not read
inline constexpr int kMsgDistributionUnread = 39455;     // the distribution code not read
inline constexpr int kMsgDueDateWrong = 16127;           // "Erreur sur la Date d'Echéance"
inline constexpr int kMsgNegativeAmount = 16128;         // a negative amount
inline constexpr int kMsgAmountTooLarge = 16273;         // more than the amount field holds
// More than a line takes in that currency (%s: the largest it takes, its twin in the other currency
// fitting too).
inline constexpr int kMsgAmountTooLargeAtMost = 37710;
// The save refused by another station's lock; the analytic split that does not agree with the line.
inline constexpr int kMsgLockRefused = 16129;
inline constexpr int kMsgAnalyticWrong = 16130;
inline constexpr int kMsgAnalyticQuestion = 16131;
// The cash-account question (framed, Yes / No).
inline constexpr int kMsgCashCredit = 2164;

// The fields a refusal puts the focus back into.
enum class LineField { None, Day, Distribution, Account, DueDate, DebitF, CreditF, DebitE, CreditE };

// Answers of the validation, as the edit-form base reads them.
inline constexpr int kLineRefused = 0;
inline constexpr int kLineChanged = 1;
inline constexpr int kLineUnchanged = 2;

// The day: not blank, and BMOIS + the day a valid date (the key's characters 2-5 are BMOIS).
bool DayIsValid(const std::string& key, const std::string& day);
// A day typed with one digit is the day of that number: "5" is "05".
std::string DayText(const std::string& typed);

// What the field tests found.
struct FieldCheck {
  int message = 0;        // 0 when the field passed
  std::string account;    // the account the test settled on (normalised), when it read one
  bool accountLive = false;  // that account is a live record of C20 (TableC20 left on it)
};

// The distribution code (blank passes): a live kind-"V" record of c10 whose account (field 4, 1-8) is a
// live account of c20. A code the disk refused to read: kMsgDistributionUnread.
FieldCheck CheckDistribution(Table& c10, Table& c20, const std::string& code);
// The account as typed (normalised for the tests): not blank (unless `blankPasses`), allowed in the
// journal's type (a customer account "C..." in a purchases journal only with constant 006, a supplier
// account "F..." in a sales journal only with constant 007), a live account of c20, no collective account
// (characters 1-8 of field 4 of a live kind-"B" record of c10). `constant006` and `constant007` are the
// constants' first letters. A read of either table that the disk refused is no answer:
// kMsgAccountUnread, the account not taken.
FieldCheck CheckAccount(Table& c10, Table& c20, char journalType, const std::string& typed, bool blankPasses,
                        char constant006, char constant007);
// The due date (DD/MM/YY, blank passes) does not fall before the line's date.
bool DueDateIsValid(const std::string& key, const std::string& day, const std::string& dueDate);
// The amount field of the four that holds a negative amount (None when none does).
LineField NegativeAmount(const LineAmounts& amounts);
// The largest amount a line's amount field (14 characters, 2 decimals) holds: 99 999 999 999.99.
inline constexpr long long kLargestAmountCents = kLargestStoredCents;
// The amount field of the four whose amount a line cannot take (None when each can): past its own field,
// or with a twin in the other currency, at `rate` (francs for one euro), past the twin's (whose field
// would hold asterisks, read as 0). Refused before the save, which the table would refuse half-way or
// store with a twin of 0.
LineField TooLargeAmount(const LineAmounts& amounts, double rate);
// The refusal of that field's amount, naming the largest amount a line takes in its currency.
std::string AmountTooLargeText(LineField field, double rate);

struct ValidationRequest {
  std::string key;         // the line's C50CODE key
  char journalType = 'O';
  LineValues values;
  bool noCheck = false;    // "Quitter": close without a test
  bool modified = false;   // the form differs from the line as loaded
  char constant006 = 'N', constant007 = 'N';
};

struct Validation {
  int answer = kLineRefused;
  int message = 0;
  std::string text;        // what the form's message line shows for the refusal: the message, its values in place
  LineField focus = LineField::None;
  // The account the distribution code gave (set into the form's account field), and whether the account
  // tested is live (its record current on c20: the form shows it).
  bool accountFromDistribution = false;
  std::string account;
  bool accountLive = false;
  // The account read "00000000": the field is emptied.
  bool accountEmptied = false;
};

// The whole line, in the order of the fields: day, distribution code, account, due date, amounts (each
// with its twin at the dossier's rate). The first refusal ends it.
Validation ValidateLineValues(Table& c10, Table& c20, const ValidationRequest& request);

// The cash-account warning of a credit typed on an account of class 53: the account's stored balance
// (debit less credit, in the currency of `euros`), less what the line as loaded put on it, plus the line as
// typed, would be in credit. `loaded` is the line as the form read it (its amounts count only while it is
// live and on that same account). The caller asks the question when it answers true.
bool CashAccountWouldBeCredit(Table& c20, const std::string& typedAccount, bool euros, const LineValues& typed,
                              const LineRecord& loaded);

}  // namespace posting
