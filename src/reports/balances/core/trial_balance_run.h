// What a trial-balance run derives from the form's options before its first list: the
// report-code prefix of the layouts, the sequence of lists to produce, the code of the analytic
// list, and the title of each list.
#pragma once

#include <string>

#include "reports/balances/core/code_lists.h"
#include "reports/balances/core/trial_balance_options.h"

namespace balances {

// "EBS-", "EBA-" (lettering filter 4 or 5), "EBC-" (prior totals) or "EBB-" (both).
std::string ReportPrefix(const TrialBalanceOptions& options);

struct ListSequence {
  std::string lists;   // "1" general, "2" result, "9" analytic, a letter: that collective's auxiliaries
  int limitsMode = 1;  // the code-range dialog's mode: 0 when several lists are asked
};
// By the kind of position 1: G, R, C, F, "(", A (its list), T (general, result, every collective
// of C10, then the sections when the dossier's analytic mode is "1" or "2").
ListSequence BuildListSequence(const TrialBalanceOptions& options, const CodeLists& codes, char analyticMode);

// The 18-character report code of the analytic list: the chosen code without its 10th
// character, "A" put before its 3rd ("EBS-..." becomes "EBAS-...").
std::string AnalyticReportCode(const std::string& code);

// GENERALE, RESULTAT, ANALYTIQUE, or the collective's name (its letter between double quotes
// when C10 has none).
std::string ListTitle(char listKind, const CodeLists& codes);

}  // namespace balances

namespace balances {

// The limits form's check of the "Autres Balances" list (kind "A"): "1", "2" or the letter of a
// collective account of C10, one character each. `shown` gets what the form shows beside it
// ("+ C: Clients" while walking, the refused character + ": ???", "???" for an empty list).
bool CheckBalanceList(const std::string& typed, const CodeLists& codes, std::string& shown);

// The limits form's check of a start or end account against the kind of balance (C: a code
// beginning with "C"; F: "F"; G and R: a digit 1-9; A: the list's one character; "(": any
// section). `stored` gets the code as it is sought: blank-padded to 8 when it begins with a
// letter, "0"-padded otherwise. False when the code does not suit the kind. For "T", and "A"
// with more than one list, no limit applies: true with `stored` empty.
bool CheckFormAccount(char kind, const std::string& list, const std::string& typed, std::string& stored);

}  // namespace balances
