// The account form and the section form as data (their controls, the fields they keep and their checks), and the
// columns of the two lists in either order.
#pragma once

#include <vector>

#include "masterdata/core/code_layouts.h"

namespace masterdata {

const KindLayout& AccountLayout();
const KindLayout& SectionLayout();

// The columns of the accounts ("2") or sections ("3") list: the marker, the key of the order (the code, hidden, or
// the first 8 characters of the name), the code and the name in the order's sequence, then the file's own
// columns. `euros` titles the balance "Solde E" (else "Solde F"); `analytic` shows the accounts' analytic mark.
std::vector<ListColumn> ChartColumns(char kind, bool codeOrder, bool euros, bool analytic);

// Control ids of the account form.
namespace account_form {
constexpr int kName = 1201, kDomiciliation1 = 1208, kBankCode = 1210, kBranch = 1211, kAccount = 1212, kKey = 1213;
constexpr int kIban = 1214, kBic = 1215, kRibToIban = 1218, kCounterpart = 1219, kBalanceSheet = 1220;
constexpr int kAnalytic = 1221, kLookup = 1222, kEuros = 1224, kRowF = 1225, kRowE = 1226;
constexpr int kDebitF = 1227, kCreditF = 1228, kBudgetF = 1229, kDebitE = 1230, kCreditE = 1231, kBudgetE = 1232;
constexpr int kCounterpartName = 1252, kBalanceF = 1260, kBalanceE = 1261;
constexpr unsigned kCheckKey = 1216, kCheckIban = 1217, kValidate = 1223;
constexpr unsigned kFirst = 1233, kNext = 1234, kPrior = 1235, kLast = 1236;
}  // namespace account_form

// Control ids of the section form.
namespace section_form {
constexpr int kName = 1201, kEuros = 1208, kRowF = 1209, kRowE = 1210;
constexpr int kDebitF = 1211, kCreditF = 1212, kBudgetF = 1213, kDebitE = 1214, kCreditE = 1215, kBudgetE = 1216;
constexpr int kBalanceF = 1226, kBalanceE = 1230;
}  // namespace section_form

// A focus target of a code field that the form resolves: the first amount of the row of the main currency.
constexpr int kFocusAmountRow = -1;

}  // namespace masterdata
