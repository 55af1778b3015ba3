#include "masterdata/core/chart_layouts.h"

#include "masterdata/core/chart_files.h"
#include "masterdata/core/layout_items.h"
#include "masterdata/core/masterdata_strings.h"
#include "resources/string_table.h"

namespace masterdata {

namespace {

using namespace layout;

constexpr Slice Whole(int field, int width) { return {field, 1, width}; }

// The texts of the forms and the list, by their ids in the string table.
constexpr int kTitleLastDebitAccented = 22306, kTitleLastDebit = 22307, kTitleLastCredit = 22308;
constexpr int kTitleBudget = 22507, kTitleBalance = 1582;
constexpr int kLabelTelephone = 22309;
constexpr int kLabelDomiciliation = 22311;
constexpr int kLabelBalanceSheet = 22313;
constexpr int kLabelAnalytic = 22314;
constexpr int kColumnBalanceSheet = 22316;

// The currency rows shared by both forms: the "En Euros" box, the column titles, the franc row and the euro row
// (each: its label, the previous year's debit and credit, the budget and the balance), from row `row` on.
void CurrencyRows(std::vector<FormItem>& items, int row, int euros, const int titles[4], int rowF, int rowE,
                  const int amounts[6], const int fields[3], int balanceF, int balanceE, bool accented) {
  items.push_back(Check(euros, resources::LastingText(kTextEurosBox), {}, 3, row, 2));
  items.back().fill = Fill::Flag;
  const char* texts[4] = {resources::LastingText(accented ? kTitleLastDebitAccented : kTitleLastDebit),
                          resources::LastingText(kTitleLastCredit), resources::LastingText(kTitleBudget),
                          resources::LastingText(kTitleBalance)};
  for (int i = 0; i < 4; ++i) items.push_back(Label(titles[i], texts[i], 3 + 2 * i, row + 1, 2));
  for (int r = 0; r < 2; ++r) {
    const int at = row + 2 + r;
    items.push_back(Frame(r == 0 ? rowF : rowE, r == 0 ? "F" : "E", 2, at, 1));
    items.back().align = 'C';
    for (int i = 0; i < 3; ++i) {
      const bool budget = i == 2;
      items.push_back(Amount(amounts[3 * r + i], Whole(fields[i] + r, 14), budget ? Fill::Budget : Fill::Amount,
                             budget ? 4 : 2, 3 + 2 * i, at, 2, budget ? 0 : 1));
    }
    // The balance grouped whole with its side: three columns, the widest a record's totals give whole.
    items.push_back(Display(r == 0 ? balanceF : balanceE, 9, at, 3));
  }
}

KindLayout Accounts() {
  using namespace account_form;
  KindLayout l{'2', {}, kChartReportDefinitions, {}, {}, {}, {}, 100, 13};
  auto& f = l.form;
  const Presence dom = Presence::Domiciliation;
  f = {Label(1237, "&Nom", 1, 1, 2), Edit(kName, Whole(c20::kName, 30), Fill::Text, 30, 3, 1, 5, 2),
       Label(1238, "Adresse", 1, 2, 2), Edit(1202, Whole(c20::kStreet1, 30), Fill::Text, 30, 3, 2, 4),
       Edit(1203, Whole(c20::kStreet2, 30), Fill::Text, 30, 7, 2, 4),
       Label(1239, "Ville", 1, 3, 2), Edit(1204, Whole(c20::kTown, 30), Fill::Text, 30, 3, 3, 5),
       Label(1240, resources::LastingText(kLabelTelephone), 1, 4, 2),
       Edit(1205, Whole(c20::kPhone, 20), Fill::Text, 20, 3, 4, 2),
       Label(1241, resources::LastingText(kTextFax), 5, 4, 2),
       Edit(1206, Whole(c20::kFax, 20), Fill::Text, 20, 7, 4, 3),
       Label(1242, "EMail", 1, 5, 2), Edit(1207, Whole(c20::kEmail, 30), Fill::Text, 30, 3, 5, 5),
       Only(dom, Label(1243, resources::LastingText(kLabelDomiciliation), 1, 6, 3)),
       Only(dom, Edit(kDomiciliation1, Whole(c20::kDomiciliation1, 24), Fill::Text, 24, 4, 6, 4, 1, true)),
       Only(dom, Edit(1209, Whole(c20::kDomiciliation2, 24), Fill::Text, 24, 8, 6, 4, 1, true)),
       Only(dom, Label(1245, "&Banque", 1, 7, 2)),
       Only(dom, Edit(kBankCode, Whole(c20::kBank, 5), Fill::Text, 5, 3, 7, 1, 1, true)),
       Only(dom, Label(1246, "Guichet", 4, 7, 1)),
       Only(dom, Edit(kBranch, Whole(c20::kBranch, 5), Fill::Text, 5, 5, 7, 1, 1, true)),
       Only(dom, Label(1247, "Compte", 6, 7, 1)),
       Only(dom, Edit(kAccount, Whole(c20::kAccount, 11), Fill::Text, 11, 7, 7, 2, 1, true)),
       Only(dom, Label(1248, resources::LastingText(kTextRibKey), 9, 7, 1)),
       Only(dom, Edit(kKey, Whole(c20::kRibKey, 2), Fill::Text, 2, 10, 7, 1, static_cast<int>(kCheckKey), true)),
       Only(dom, Label(1249, "IBAN", 1, 8, 2)),
       Only(dom, Edit(kIban, Whole(c20::kIban, 34), Fill::Iban, 34, 3, 8, 4, static_cast<int>(kCheckIban), true)),
       Only(dom, Label(1250, "BIC", 7, 8, 1)),
       Only(dom, Edit(kBic, Whole(c20::kBic, 11), Fill::Text, 11, 8, 8, 2, 1, true)),
       Only(dom, Push(kRibToIban, "RIB>IBAN", 10, 8, 2)),
       Only(Presence::Auxiliary, Label(1251, "Contrepartie", 1, 9, 2)),
       Only(Presence::Auxiliary, Edit(kCounterpart, Whole(c20::kCounterpart, 8), Fill::Counterpart, 8, 3, 9, 2,
                                      static_cast<int>(kValidate), true)),
       Only(Presence::Auxiliary, Display(kCounterpartName, 5, 9, 5)),
       Only(Presence::General, Check(kBalanceSheet, resources::LastingText(kLabelBalanceSheet),
                                     Whole(c20::kBalanceSheet, 1), 3, 9, 3)),
       Only(Presence::GeneralAnalytic,
            Check(kAnalytic, resources::LastingText(kLabelAnalytic), Whole(c20::kAnalytic, 1), 7, 9, 3))};
  FormItem ask = Ask(kLookup, 9);
  ask.col = 2;
  f.push_back(Only(Presence::Auxiliary, ask));
  for (FormItem& i : f)
    if (i.item == Item::Check) i.fill = Fill::Flag;
  const int titles[4] = {1253, 1254, 1255, 1259};
  const int amounts[6] = {kDebitF, kCreditF, kBudgetF, kDebitE, kCreditE, kBudgetE};
  const int fields[3] = {c20::kLastDebit, c20::kLastCredit, c20::kBudget};
  CurrencyRows(f, 10, kEuros, titles, kRowF, kRowE, amounts, fields, kBalanceF, kBalanceE, true);
  l.codeFields = {{kCounterpart, kCounterpartName, kLookup, kLookup, kValidate, kFirst, kPrior, kNext, kLast, '2',
                   kChartCodeWidth, 0, 0, Rule::KnownAccount, kMsgUnknownAccount, kFocusAmountRow, kFocusAmountRow,
                   kTipChart}};
  l.checks = {{Rule::NameRequired, kName}, {Rule::RibKey, kKey}, {Rule::Iban, kIban},
              {Rule::KnownAccount, kCounterpart}};
  for (int id : amounts) l.checks.emplace_back(Rule::Amount, id);
  l.bank = {kBankCode, kBranch, kAccount, kKey, kIban, kBic, kRibToIban, kCheckKey, kCheckIban, kTipRibToIban};
  return l;
}

KindLayout Sections() {
  using namespace section_form;
  KindLayout l{'3', {}, kSectionReportDefinitions, {}, {}, {}, {}, 90, 13};
  l.form = {Label(1217, "Nom", 1, 1, 2), Edit(kName, Whole(c30::kName, 30), Fill::Text, 30, 3, 1, 5, 2),
            Label(1218, "Adresse", 1, 2, 2), Edit(1202, Whole(c30::kStreet1, 30), Fill::Text, 30, 3, 2, 5),
            Edit(1203, Whole(c30::kStreet2, 30), Fill::Text, 30, 3, 3, 5),
            Edit(1204, Whole(c30::kStreet3, 30), Fill::Text, 30, 3, 4, 5),
            Label(1219, resources::LastingText(kTextTelephone), 1, 5, 2),
            Edit(1205, Whole(c30::kPhone, 20), Fill::Text, 20, 3, 5, 3),
            Label(1220, resources::LastingText(kTextFax), 1, 6, 2),
            Edit(1206, Whole(c30::kFax, 20), Fill::Text, 20, 3, 6, 3),
            Label(1221, "EMail", 1, 7, 2), Edit(1207, Whole(c30::kEmail, 30), Fill::Text, 30, 3, 7, 5)};
  const int titles[4] = {1222, 1223, 1224, 1225};
  const int amounts[6] = {kDebitF, kCreditF, kBudgetF, kDebitE, kCreditE, kBudgetE};
  const int fields[3] = {c30::kLastDebit, c30::kLastCredit, c30::kBudget};
  CurrencyRows(l.form, 10, kEuros, titles, kRowF, kRowE, amounts, fields, kBalanceF, kBalanceE, false);
  l.checks = {{Rule::NameRequired, kName}};
  for (int id : amounts) l.checks.emplace_back(Rule::Amount, id);
  return l;
}

}  // namespace

const KindLayout& AccountLayout() {
  static const KindLayout layout = Accounts();
  return layout;
}

const KindLayout& SectionLayout() {
  static const KindLayout layout = Sections();
  return layout;
}

std::vector<ListColumn> ChartColumns(char kind, bool codeOrder, bool euros, bool analytic) {
  // A name fills its 30 characters: its column shows them whole, capitals included; so do the
  // e-mail's 30 and the telephone's and fax's 20.
  constexpr int kNameColumnWidth = 26, kPhoneColumnWidth = 17, kBalanceColumnWidth = 19;
  const bool accounts = kind == '2';
  const int debit = accounts ? c20::kDebit : c30::kDebit;
  std::vector<ListColumn> c{{2, "", 'D', 0, 1, 1}};
  if (codeOrder) {
    c.push_back({0, "", 'G', 1, 1, kChartCodeWidth});
    c.push_back({8, "Code", 'G', 1, 1, kChartCodeWidth});
    c.push_back({kNameColumnWidth, "Nom", 'G', 2, 1, kChartNameWidth});
  } else {
    c.push_back({8, "", 'G', 2, 1, kChartCodeWidth});
    c.push_back({kNameColumnWidth, "Nom", 'G', 2, 1, kChartNameWidth});
    c.push_back({8, "Code", 'G', 1, 1, kChartCodeWidth});
  }
  // The balances are grouped whole with their side: their column shows the widest whole.
  const ListColumn balance{kBalanceColumnWidth, euros ? "Solde E" : "Solde F", 'D', debit, 1, kChartBalanceLength};
  if (accounts) {
    c.push_back({9, "Ctrepartie", 'G', c20::kCounterpart, 1, kChartCodeWidth});
    c.push_back({12, resources::LastingText(kColumnBalanceSheet), 'C', c20::kBalanceSheet, 1, 3});
    c.push_back(balance);
    c.push_back({analytic ? 8 : 0, "Analytique", 'C', c20::kAnalytic, 1, 3});
    c.push_back({kPhoneColumnWidth, resources::LastingText(kTextTelephone), 'G', c20::kPhone, 1, 20});
    c.push_back({kPhoneColumnWidth, resources::LastingText(kTextFax), 'G', c20::kFax, 1, 20});
    c.push_back({kNameColumnWidth, "EMail", 'G', c20::kEmail, 1, 30});
    c.push_back({20, "Rue 1", 'G', c20::kStreet1, 1, 30});
    c.push_back({20, "Rue 2", 'G', c20::kStreet2, 1, 30});
    c.push_back({20, "Ville", 'G', c20::kTown, 1, 30});
  } else {
    c.push_back({20, "Ville", 'G', c30::kStreet3, 1, 30});
    c.push_back(balance);
    c.push_back({kPhoneColumnWidth, resources::LastingText(kTextTelephone), 'G', c30::kPhone, 1, 20});
    c.push_back({kPhoneColumnWidth, resources::LastingText(kTextFax), 'G', c30::kFax, 1, 20});
    c.push_back({kNameColumnWidth, "EMail", 'G', c30::kEmail, 1, 30});
    c.push_back({20, "Rue 1", 'G', c30::kStreet1, 1, 30});
    c.push_back({20, "Rue 2", 'G', c30::kStreet2, 1, 30});
  }
  return c;
}

}  // namespace masterdata
