// The account form opened from the chart of accounts list: the rows an account shows by its kind and the dossier,
// the values typed and saved with "Enregistrer" [F12] read back with python3-dbfread, the checks with their French
// messages, the franc and euro rows converting as the user types, and the lookups of the counterpart.
#include <QApplication>
#include <QWidget>

#include "chart_fixture.h"
#include "runtime/bank_ids.h"
#include "runtime/code_helpers.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace md_test {
namespace {

using namespace masterdata;
using namespace masterdata::account_form;

class ChartFormTest : public ChartTest {
 protected:
  void SetUp() override {
    ChartTest::SetUp();
    saved_ = TheDossierRecord;
  }
  void TearDown() override {
    TheDossierRecord = saved_;
    ChartTest::TearDown();
  }
  // The dossier INI as configparser reads it: section.key = value, one a line.
  std::string DossierIni() const {
    return test_support::RunPythonScript(
        "import configparser\n"
        "c = configparser.ConfigParser(interpolation=None)\n"
        "c.optionxform = str\n"
        "c.read('" + folder_ + "c10pc.ini', encoding='cp1252')\n"
        "for s in c.sections():\n"
        "    for k, v in c[s].items(): print(s + '.' + k + '=' + v)\n",
        true);
  }
  DossierRecord saved_;
};

// A RIB whose key is right and its IBAN.
struct Rib {
  std::string bank = "30004", branch = "00825", account = "00012345678", key, iban;
};
Rib RightRib() {
  Rib r;
  r.key = StrZero(CheckRibKey((r.bank + r.branch + r.account + "00").c_str()), 2);
  std::string iban = "FR00" + r.bank + r.branch + r.account + r.key;
  iban.replace(2, 2, StrZero(CheckIban(iban.c_str()), 2));
  r.iban = iban;
  return r;
}

// One line per case: the account (written first when `fields` are given), the dossier as the case wants it,
// the controls the form must have and must not have, what it shows, what is typed, then the message of the save
// (none: saved and closed) and the fields as stored.
struct FormCase {
  const char* name;
  std::string code;
  std::map<int, std::string> fields;
  std::function<void()> dossier;
  std::vector<int> present, absent;
  std::vector<std::pair<int, std::string>> shown;
  std::vector<std::pair<int, std::string>> typed;
  std::string message;
  std::map<std::string, std::string> stored;
};

// The refusal of an amount in euros whose francs no field holds: its column, the amount grouped as a sentence
// writes it, then the range taken.
std::string PastTheFrancs(const std::string& column, const std::string& amount) {
  return "\n\nMontant trop grand dans la colonne " + column + " :\n\n" + amount +
         "\n\nIl va de -1 524 490 172,37 \xE0 15 244 901 723,74 euros au plus, pour que sa contre-valeur en francs "
         "tienne aussi.\n\n";
}

// The same below zero.
std::string BelowTheFrancs(const std::string& column, const std::string& amount) {
  return "\n\nMontant trop loin sous z\xE9ro dans la colonne " + column + " :\n\n" + amount +
         "\n\nIl va de -1 524 490 172,37 au moins \xE0 15 244 901 723,74 euros, pour que sa contre-valeur en francs "
         "tienne aussi.\n\n";
}

// Francs, whose euros always fit: the bound is their own field, above and below zero.
std::string PastTheirField(const std::string& column, const std::string& amount, bool below) {
  return std::string("\n\nMontant trop ") + (below ? "loin sous z\xE9ro" : "grand") + " dans la colonne " + column +
         " :\n\n" + amount + "\n\nIl va de -9 999 999 999,99 " + (below ? "au moins " : "") +
         "\xE0 99 999 999 999,99 francs" + (below ? "" : " au plus") +
         ", ce que son champ peut contenir.\n\n";
}

TEST_F(ChartFormTest, TheRulesOfTheAccountForm) {
  Put('2', "FOUR", {{2, "Fournisseur FOUR"}, {25, "40100000"}});
  const Rib rib = RightRib();
  const std::string wrongKey = StrZero((std::atoi(rib.key.c_str()) % 97) + 1, 2);
  std::string wrongIban = rib.iban;
  wrongIban.replace(2, 2, wrongIban.substr(2, 2) == "11" ? "12" : "11");
  const auto analytic = [] {
    TheDossierRecord.SetAt(DossierRecord::kAnalyticModePos, '1');
    TheDossierRecord.SetConstant(57, "OUI");
  };
  const std::vector<FormCase> cases = {
      {"an auxiliary account: counterpart and domiciliation rows, no balance-sheet box; the counterpart stored "
       "padded",
       "CLI411", {{2, "Client 411"}}, {},
       {kCounterpart, kLookup, kCounterpartName, kDomiciliation1, kBankCode, kIban, kBic, kRibToIban},
       {kBalanceSheet, kAnalytic}, {}, {{kCounterpart, "411"}}, "", {{"CCTRP", "41100000"}}},
      {"a general account beginning with 411: no counterpart, no domiciliation", "411CLI", {{2, "Compte 411"}}, {},
       {kBalanceSheet}, {kCounterpart, kDomiciliation1, kAnalytic}, {}, {}, "", {}},
      {"60100000 in a dossier without sections: the balance-sheet box only", "60100000", {{2, "Achats"}}, {},
       {kBalanceSheet}, {kAnalytic, kCounterpart, kDomiciliation1}, {{kBalanceSheet, "N"}},
       {{kBalanceSheet, "O"}}, "", {{"CSOLDEBIL", "O"}, {"CANALYT", ""}}},
      {"51200000 with the default list: the domiciliation rows", "51200000", {}, {},
       {kDomiciliation1, kBankCode, kIban, kRibToIban, kBalanceSheet}, {kCounterpart}, {}, {}, "", {}},
      {"a blank analytic mark of class 6 shows the default and stays blank", "61100000", {{2, "Sous-traitance"}},
       analytic, {kAnalytic, kBalanceSheet}, {}, {{kAnalytic, "O"}}, {{kName, "Sous-traitance g\xE9n\xE9rale"}}, "",
       {{"CANALYT", ""}, {"CLIB", "Sous-traitance g\xE9n\xE9rale"}}},
      {"the analytic mark changed is stored", "62510000", {{2, "Voyages"}, {27, "N"}}, analytic, {kAnalytic}, {},
       {{kAnalytic, "N"}}, {{kAnalytic, "O"}}, "", {{"CANALYT", "O"}}},
      {"counterpart 512 found as 51200000 and stored so", "CLI512", {{2, "Client"}}, {}, {}, {}, {},
       {{kCounterpart, "512"}}, "", {{"CCTRP", "51200000"}}},
      {"counterpart FOUR sought with its blanks", "CLI513", {{2, "Client"}}, {}, {}, {}, {}, {{kCounterpart, "FOUR"}},
       "", {{"CCTRP", "FOUR"}}},
      {"an old unpadded counterpart is read padded", "CLI514", {{2, "Client"}, {25, "401"}}, {}, {},
       {}, {{kCounterpart, "401"}, {kCounterpartName, "Fournisseurs"}}, {{kName, "Client 514"}}, "",
       {{"CCTRP", "40100000"}}},
      {"an unknown counterpart is refused", "CLI515", {{2, "Client"}}, {}, {}, {}, {}, {{kCounterpart, "999"}},
       "Le Compte est inconnu", {}},
      {"a blank counterpart is stored empty", "CLI516", {{2, "Client"}, {25, "41100000"}}, {}, {}, {}, {},
       {{kCounterpart, ""}}, "", {{"CCTRP", ""}}},
      {"a wrong RIB key is refused with the right key", "CLI517", {{2, "Client"}}, {}, {}, {}, {},
       {{kBankCode, rib.bank}, {kBranch, rib.branch}, {kAccount, rib.account}, {kKey, wrongKey}},
       "\n\nCl\xE9 RIB incorrecte:\n\n" + rib.key, {}},
      {"a wrong IBAN is refused with the right check digits", "CLI518", {{2, "Client"}}, {}, {}, {}, {},
       {{kIban, wrongIban}}, "\n\nCl\xE9 IBAN incorrecte:\n\n" + rib.iban.substr(2, 2), {}},
      {"a right RIB, IBAN and BIC are stored", "CLI519", {{2, "Client"}}, {}, {}, {}, {},
       {{kBankCode, rib.bank}, {kBranch, rib.branch}, {kAccount, rib.account}, {kKey, rib.key}, {kIban, rib.iban},
        {kBic, "BNPAFRPPXXX"}},
       "", {{"CCLERIB", rib.key}, {"CIBAN", rib.iban}, {"CBIC", "BNPAFRPPXXX"}}},
      {"a budget of -50 shows C50.00 and is stored -50", "47800001", {{2, "Attente"}, {28, "-50"}, {29, "-7.62"}},
       [] { TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, 'N'); }, {}, {},
       {{kBudgetF, "C50.00"}, {kBudgetE, "C7.62"}}, {{kName, "Attente 1"}}, "",
       {{"CBUDGETF", "-50.00"}, {"CBUDGETE", "-7.62"}}},
      {"a budget typed D50 is a debit budget", "47800002", {{2, "Attente"}}, {}, {}, {}, {},
       {{kBudgetE, "D50"}}, "", {{"CBUDGETE", "50.00"}}},
      {"655.96 francs are 100.00 euros at 6.55957", "47800003", {{2, "Attente"}}, {}, {}, {}, {},
       {{kDebitF, "655.96"}}, "", {{"CDEBNM1F", "655.96"}, {"CDEBNM1E", "100.00"}}},
      {"a rate of 0 converts nothing and blanks nothing", "47800004", {{2, "Attente"}, {22, "12"}},
       [] { TheDossierRecord.Set(DossierRecord::kParityPos, DossierRecord::kParityWidth, "0"); }, {}, {}, {},
       {{kDebitF, "99"}}, "", {{"CDEBNM1F", "99.00"}, {"CDEBNM1E", "12.00"}}},
      {"the franc row is hidden in a dossier kept only in euros", "47800005", {{2, "Attente"}},
       [] { TheDossierRecord.SetConstant(39, "OUI"); }, {kDebitE}, {}, {}, {{kDebitE, "10"}}, "",
       {{"CDEBNM1E", "10.00"}, {"CDEBNM1F", "65.60"}}},
      {"a blank name is refused", "47800006", {{2, "Attente"}}, {}, {}, {}, {}, {{kName, "   "}},
       "La d\xE9signation ne peut \xEAtre vide", {}},
      {"an amount that is no number is refused", "47800007", {{2, "Attente"}}, {}, {}, {}, {}, {{kCreditE, "12,3,4"}},
       "\n\nMontant incorrect:\n\n12,3,4\n\n", {}},
      // Every amount is stored with its twin in francs, 14 characters each: euros whose francs no field holds are
      // refused by name with the range taken, never as the asterisks their franc edit shows; in a dossier kept
      // only in euros too. The largest euros are stored with their whole francs.
      {"euros whose francs no field holds are refused with the range taken", "47800008", {{2, "Attente"}}, {}, {},
       {}, {}, {{kDebitE, "20000000000"}}, PastTheFrancs("D\xE9" "bit N-1", "20 000 000 000,00"), {}},
      {"a credit budget past the francs' least is refused", "47800009", {{2, "Attente"}}, {}, {}, {}, {},
       {{kBudgetE, "C2000000000"}}, BelowTheFrancs("Budget", "-2 000 000 000,00"), {}},
      {"a previous year's credit below the francs' least is refused as below zero", "47800012", {{2, "Attente"}},
       {}, {}, {}, {}, {{kCreditE, "-1600000000"}}, BelowTheFrancs("Cr\xE9" "dit N-1", "-1 600 000 000,00"), {}},
      // In a dossier kept in francs, the francs typed are bound by their own field, not by their euros.
      {"francs past their own field are refused for it", "47800013", {{2, "Attente"}},
       [] { TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, 'N'); }, {}, {}, {},
       {{kDebitF, "100000000000"}}, PastTheirField("D\xE9" "bit N-1", "100 000 000 000,00", false), {}},
      {"a credit budget in francs below their own field is refused for it", "47800014", {{2, "Attente"}},
       [] { TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, 'N'); }, {}, {}, {},
       {{kBudgetF, "C10000000000"}}, PastTheirField("Budget", "-10 000 000 000,00", true), {}},
      {"kept only in euros, the francs are still stored and still limit", "47800010", {{2, "Attente"}},
       [] { TheDossierRecord.SetConstant(39, "OUI"); }, {}, {}, {}, {{kCreditE, "16000000000"}},
       PastTheFrancs("Cr\xE9" "dit N-1", "16 000 000 000,00"), {}},
      {"the largest euros are stored with their whole francs", "47800011", {{2, "Attente"}}, {}, {}, {}, {},
       {{kDebitE, "15244901723.74"}, {kBudgetE, "C1524490172.37"}}, "",
       {{"CDEBNM1E", "15244901723.74"}, {"CDEBNM1F", "99999999999.99"}, {"CBUDGETE", "-1524490172.37"},
        {"CBUDGETF", "-9999999999.97"}}},
  };
  bool pictured = false;
  for (const FormCase& c : cases) {
    SCOPED_TRACE(c.name);
    TheDossierRecord = saved_;
    TheDossierRecord.SetConstant(39, "NON");
    if (c.dossier) c.dossier();
    if (!c.fields.empty()) Put('2', c.code, c.fields);
    ChartList* list = ListOf('2') != nullptr ? ListOf('2') : Open();
    ASSERT_NE(list, nullptr);
    Send(list, browse_cmd::RafraichirTotal);
    list->Store().totalRows = static_cast<long>(list->Cursor()->RecCount());
    ChartRecordForm* form = Edit(c.code);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    EXPECT_EQ(form->GetCaption(), "Code Plan Comptable: " + std::string(RTrim(c.code.c_str())));
    for (int id : c.present) EXPECT_NE(form->Control(id), nullptr) << id;
    for (int id : c.absent) EXPECT_EQ(form->Control(id), nullptr) << id;
    for (const auto& [id, text] : c.shown) {
      if (MCheckBox* box = form->CheckOf(id)) EXPECT_EQ(box->IsChecked() ? "O" : "N", text) << id;
      else EXPECT_EQ(Text(form, id), text) << id;
    }
    if (DossierIsEuroOnly()) {
      for (int id : {kEuros, kRowF, kDebitF, kCreditF, kBudgetF, kBalanceF})
        EXPECT_FALSE(form->Control(id)->IsWindowVisible()) << id;
    }
    for (const auto& [id, text] : c.typed) Type(form, id, text);
    // The twin of an amount past its field shows blank: never asterisks, never a figure cut to the edit.
    for (int id : {kDebitF, kCreditF, kBudgetF, kDebitE, kCreditE, kBudgetE})
      if (form->Control(id) != nullptr) EXPECT_EQ(Text(form, id).find('*'), std::string::npos) << id << Text(form, id);
    if (c.message.rfind("\n\nMontant trop ", 0) == 0) {
      const std::map<int, int> francsOf = {{kDebitE, kDebitF}, {kCreditE, kCreditF}, {kBudgetE, kBudgetF}};
      for (const auto& [id, text] : c.typed) {
        if (francsOf.count(id) != 0) {
          EXPECT_EQ(Text(form, francsOf.at(id)), "") << "the francs of " << text;
        }
      }
    }
    if (!pictured && c.code == "CLI411") {
      gui::ProcessPendingMessages();
      test_support::Screenshot(form->OuterWidget(), "masterdata", "account_form_auxiliary");
      pictured = true;
    }
    if (c.code == "51200000") test_support::Screenshot(form->OuterWidget(), "masterdata", "account_form_bank");
    if (c.code == "61100000") test_support::Screenshot(form->OuterWidget(), "masterdata", "account_form_analytic");
    gui::ModalSeam::Reset();
    Save(form);
    if (c.message.empty()) {
      EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
      EXPECT_EQ(FormOf('2'), nullptr) << "the form closes once saved";
    } else {
      ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
      EXPECT_EQ(gui::ModalSeam::Shown()[0].text, c.message);
      EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, "Code Plan Comptable: " + std::string(RTrim(c.code.c_str())));
      EXPECT_EQ(FormOf('2'), form) << "a refused form stays open";
      if (c.code == "47800014")
        test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "masterdata", "account_form_francs_below_their_field");
      if (c.code == "47800008") {
        test_support::Screenshot(form->OuterWidget(), "masterdata", "account_form_francs_blank");
        test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "masterdata",
                                        "account_form_francs_past_their_field");
      }
      if (c.message == "Le Compte est inconnu") {
        EXPECT_EQ(Text(form, kCounterpartName), "???");
      }
      form->CmQuitter();
      gui::ProcessPendingMessages();
    }
    const auto stored = Stored('2', RTrim(c.code.c_str()));
    for (const auto& [field, value] : c.stored) EXPECT_EQ(stored.count(field) ? stored.at(field) : "<none>", value) << field;
  }
  // The domiciliation list asked for once: its default written into the dossier INI.
  EXPECT_NE(DossierIni().find("PlanComptable.CGAvecDomBanc=-43-512-514-515-58-"), std::string::npos) << DossierIni();
}

TEST_F(ChartFormTest, TheCurrencyRowsTheEurosBoxTheConversionAndTheBalances) {
  Put('2', "47900001", {{2, "Attente"}, {17, "655.96"}, {18, "100"}, {19, "0"}, {20, "0"}, {21, "-5"}});
  ChartRecordForm* form = Edit("47900001");
  ASSERT_NE(form, nullptr);
  // The euro row is the editable one of a dossier in euros; "En Euros" unchecked, the franc row.
  EXPECT_TRUE(form->EurosChecked());
  EXPECT_TRUE(form->Control(kDebitE)->IsWindowEnabled());
  EXPECT_FALSE(form->Control(kDebitF)->IsWindowEnabled());
  EXPECT_EQ(Text(form, kBalanceF), "655.96 Db");
  EXPECT_EQ(Text(form, kBalanceE), "100.00 Db");
  EXPECT_EQ(Text(form, kDebitF), "-5.00");
  form->CheckOf(kEuros)->SetValue(false, false);
  form->CmEnEuros();
  EXPECT_TRUE(form->Control(kDebitF)->IsWindowEnabled());
  EXPECT_FALSE(form->Control(kDebitE)->IsWindowEnabled());
  EXPECT_TRUE(form->EditOf(kDebitF)->HasFocus());
  // Typing converts into the other row, which converts nothing back; clearing empties the other.
  Type(form, kCreditF, "13.12");
  EXPECT_EQ(Text(form, kCreditE), "2.00");
  Type(form, kCreditE, "1");
  EXPECT_EQ(Text(form, kCreditF), "6.56");
  Type(form, kCreditF, "");
  EXPECT_EQ(Text(form, kCreditE), "");
  Type(form, kBudgetF, "C65.60");
  EXPECT_EQ(Text(form, kBudgetE), "C10.00") << "a budget keeps its sign letter";
  EXPECT_FALSE(form->IsModified() == false);
  // Page keys of the counterpart are an auxiliary account's: this general account has none.
  EXPECT_EQ(form->Control(kCounterpart), nullptr);
  form->CmQuitter();
  gui::ProcessPendingMessages();

  // A dossier kept only in euros: the box is forced back to checked.
  Constant(39, "OUI");
  form = Edit("47900001");
  ASSERT_NE(form, nullptr);
  form->CheckOf(kEuros)->SetValue(false, false);
  form->CmEnEuros();
  EXPECT_TRUE(form->EurosChecked());
  EXPECT_TRUE(form->Control(kDebitE)->IsWindowEnabled());
  Constant(39, "NON");
}

// Keys pressed where the focus is: a key alone, or text a key press and release per character.
void PressKey(int key, test_support::KeyModifiers mods = test_support::kNoModifier) {
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  test_support::SendKey(focus, test_support::kKeyPress, key, mods);
  if (QApplication::focusWidget() != nullptr) focus = QApplication::focusWidget();
  test_support::SendKey(focus, test_support::kKeyRelease, key, mods);
  gui::ProcessPendingMessages();
}
void TypeKeys(const std::string& cp1252) {
  for (unsigned char c : cp1252) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    test_support::SendKey(focus, test_support::kKeyPress, 0, test_support::kNoModifier, test_support::Latin1Text(c));
    test_support::SendKey(focus, test_support::kKeyRelease, 0, test_support::kNoModifier, test_support::Latin1Text(c));
  }
  gui::ProcessPendingMessages();
}

// Figures typed the usual way: Tab into the field selects its whole text, and the sign typed first replaces
// it with the digits after it. A previous year's credit of -3 000 and a credit budget (C50) are stored with
// their sign, a debit budget (D or +) too.
TEST_F(ChartFormTest, ASignTypedOverTheSelectedFigureIsKept) {
  struct Case {
    int before, field;
    const char* keys;
    const char* column;
    const char* stored;
  };
  const Case cases[] = {{kDebitE, kCreditE, "-3000", "CCRENM1E", "-3000.00"},
                        {kCreditE, kBudgetE, "C50", "CBUDGETE", "-50.00"},
                        {kCreditE, kBudgetE, "D75", "CBUDGETE", "75.00"},
                        {kCreditE, kBudgetE, "+12", "CBUDGETE", "12.00"}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    const std::string code = "4780003" + std::to_string(n++);
    Put('2', code, {{2, "Attente"}, {23, "19678.71"}, {24, "3000"}, {28, "-3279.79"}, {29, "-500"}});
    ChartList* list = ListOf('2') != nullptr ? ListOf('2') : Open();
    ASSERT_NE(list, nullptr);
    Send(list, browse_cmd::RafraichirTotal);
    ChartRecordForm* form = Edit(code);
    ASSERT_NE(form, nullptr) << test_support::ShownTexts();
    QApplication::setActiveWindow(MainFrame->Widget()->window());
    form->EditOf(c.before)->SetFocus();
    gui::ProcessPendingMessages();
    PressKey(gui::VK_TAB);
    MEdit* edit = form->EditOf(c.field);
    ASSERT_TRUE(edit->HasFocus());
    int from = -1, to = -1;
    edit->GetSelection(from, to);
    ASSERT_EQ(from, 0);
    ASSERT_EQ(to, edit->GetTextLength()) << "Tab selects the whole figure";
    ASSERT_GT(to, 0);
    const int beeps0 = beeps;
    TypeKeys(c.keys);
    EXPECT_EQ(beeps, beeps0) << "no key refused";
    EXPECT_EQ(Text(form, c.field), c.keys);
    if (n == 1) test_support::Screenshot(form->OuterWidget(), "masterdata", "account_form_credit_below_zero");
    gui::ModalSeam::Reset();
    Save(form);
    EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
    ASSERT_EQ(FormOf('2'), nullptr) << "the form closes once saved";
    const auto stored = Stored('2', code);
    EXPECT_EQ(stored.count(c.column) ? stored.at(c.column) : "<none>", c.stored);
  }
}

TEST_F(ChartFormTest, TheCounterpartIsValidatedSteppedAndLookedUp) {
  Put('2', "CLI600", {{2, "Client 600"}, {25, "41100000"}});
  ChartRecordForm* form = Edit("CLI600");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(Text(form, kCounterpartName), "Clients");
  // Enter in the counterpart: found, the focus goes on to the euro row; unknown: "???", a beep, it stays.
  Type(form, kCounterpart, "401");
  Send(form, kValidate);
  EXPECT_EQ(Text(form, kCounterpartName), "Fournisseurs");
  EXPECT_TRUE(form->EditOf(kDebitE)->HasFocus());
  const int beeps0 = beeps;
  Type(form, kCounterpart, "999");
  Send(form, kValidate);
  EXPECT_EQ(Text(form, kCounterpartName), "???");
  EXPECT_EQ(beeps, beeps0 + 1);
  EXPECT_TRUE(form->EditOf(kCounterpart)->HasFocus());
  // Page keys: the first account of the chart; PgDn first shows the account at the text, then the next one.
  Send(form, kFirst);
  EXPECT_EQ(Text(form, kCounterpart), "10100000");
  EXPECT_EQ(Text(form, kCounterpartName), "Capital social");
  Send(form, kNext);
  Send(form, kNext);
  EXPECT_EQ(Text(form, kCounterpart), "10610000");
  Send(form, kLast);
  EXPECT_EQ(Text(form, kCounterpart)[0], 'F');
  // The help character opens the lookup on the text before it (the dialog of constant 030 "050").
  Constant(30, "050");
  std::string started;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window&) {});
  Type(form, kCounterpart, "40*");
  Send(form, kValidate);
  ASSERT_FALSE(gui::ModalSeam::Shown().empty());
  EXPECT_EQ(gui::ModalSeam::Shown().back().kind, gui::ModalKind::Dialog);
  EXPECT_EQ(Text(form, kCounterpartName), "???");
  Constant(30, "   ");
}

}  // namespace
}  // namespace md_test
