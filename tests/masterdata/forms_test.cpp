// The forms of the eight kinds: values typed and saved with "Enregistrer" [F12] are read back with python3-dbfread
// at their positions (one table per kind); the checks refuse one fault at a time, captioned with the kind's code
// prompt and the code, the focus on the faulty control; "RIB>IBAN" and the IBAN as stored; values the form cannot
// show are kept or refused, never lost.
#include "masterdata/core/code_checks.h"
#include "masterdata/core/code_layouts.h"
#include "masterdata_fixture.h"
#include "runtime/xbase.h"

namespace md_test {
namespace {

using namespace masterdata;

// What the user does in one control: the text of an edit, "O" / "N" for a check box, an entry of a list.
struct Typed {
  int control;
  std::string text;
};
// A slice of a field as it must be stored.
struct Expected {
  int field;
  int position;
  std::string stored;
};
struct Case {
  std::string code;
  std::vector<Typed> typed;
  std::vector<Expected> expected;
};

void Type(CodeRecordForm* form, const Typed& t) {
  if (MEdit* e = form->EditOf(t.control)) e->SetText(t.text);
  else if (MCheckBox* c = form->CheckOf(t.control)) c->SetValue(t.text == "O", false);
  else if (MComboBox* c = form->ComboOf(t.control)) c->SetValue(t.text, false);
  else ADD_FAILURE() << "no control " << t.control;
}

class FormsTest : public MasterDataTest {
 protected:
  // Each case: a new code of the kind (written as a blank record, or with the given fields 3-5), its form opened
  // from the list, the values typed, "Enregistrer"; then the record as stored.
  void RunTable(char kind, const std::vector<Case>& cases, const std::vector<std::string>& existing = {}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.code);
      if (existing.empty()) Put(kind, c.code, "");
      else Put(kind, c.code, existing.at(0), existing.at(1), existing.at(2));
      TWFichiersC10* list = OpenList(kind);
      ASSERT_NE(list, nullptr);
      Send(list, browse_cmd::RafraichirTotal);
      CodeRecordForm* form = Edit(kind, c.code);
      ASSERT_NE(form, nullptr) << test_support::ShownTexts();
      for (const Typed& t : c.typed) Type(form, t);
      if (&c == &cases.front()) {
        gui::ProcessPendingMessages();
        test_support::Screenshot(form->OuterWidget(), "masterdata", std::string("form_") + kind);
      }
      gui::ModalSeam::Reset();
      Save(form);
      EXPECT_EQ(FormOf(kind), nullptr) << "the form closes once saved\n" << test_support::ShownTexts();
      EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
      const std::vector<std::string> stored = Stored(kind, c.code);
      for (const Expected& e : c.expected)
        EXPECT_EQ(StoredSlice(stored, e.field, e.position, static_cast<int>(e.stored.size())), e.stored)
            << "field " << e.field << " at " << e.position;
    }
  }
};

// A right RIB and its IBAN, reckoned by the core.
struct Rib {
  std::string bank = "30002", branch = "00550", account = "0000157845Z", key;
  std::string iban;
};
Rib RightRib() {
  Rib r;
  r.key = StrZero(CheckRib(RibText(r.bank, r.branch, r.account, "00")).rightKey, 2);
  EXPECT_TRUE(RibToIban(RibText(r.bank, r.branch, r.account, r.key), r.iban));
  return r;
}

TEST_F(FormsTest, BanksStoreEveryTypedValueAtItsPlace) {
  const Rib rib = RightRib();
  // The IBAN typed in small letters and grouped by four is stored upper-cased and compact.
  std::string grouped;
  for (std::size_t i = 0; i < rib.iban.size(); i += 4) grouped += std::string(Lower(rib.iban.substr(i, 4).c_str())) + " ";
  RunTable('Q', {{"ZB01",
                  {{1201, "Banque du Nord"}, {1202, "3 rue Neuve"}, {1203, "B\xE2t. B"}, {1204, "59000 Lille"},
                   {1205, "M. Durand"}, {1208, "03 20 00 00 00"}, {1209, "03 20 00 00 01"}, {1210, "nord@banque.fr"},
                   {1211, "512"}, {1218, "BQ"}, {1225, "SARL Test"}, {1226, rib.bank}, {1227, rib.branch},
                   {1228, rib.account}, {1229, rib.key}, {1230, grouped}, {1231, "NORDFRPP"}, {1206, "654321"},
                   {1207, "N"}},
                  {{3, 1, "Banque du Nord"}, {4, 1, "3 rue Neuve"}, {4, 31, "B\xE2t. B"}, {4, 61, "59000 Lille"},
                   {4, 91, "M. Durand"}, {4, 121, "654321"}, {4, 127, "03 20 00 00 00 "}, {4, 142, "03 20 00 00 01"},
                   {4, 157, "SARL Test"}, {4, 187, rib.bank + rib.branch + rib.account + rib.key + "N"},
                   {4, 211, "nord@banque.fr"}, {5, 1, rib.iban + "       "}, {5, 35, "NORDFRPP   "},
                   {5, 46, "51200000BQ "}}},
                 {"ZB02", {{1201, "Caisse"}, {1211, "51200000"}, {1218, "BQ"}, {1207, "O"}},
                  {{4, 187, std::string(23, ' ') + "O"}, {5, 1, std::string(34, ' ')}}}});
}

TEST_F(FormsTest, CollectivesVatCodesAndDistributionCodesPadTheirAccounts) {
  RunTable('B', {{"K", {{1201, "autres tiers"}, {1202, "401"}}, {{3, 1, "Autres tiers "}, {4, 1, "40100000"}}}});
  RunTable('T', {{"7",
                  {{1201, "taux r\xE9" "duit"}, {1202, "5.5"}, {1203, "4457"}, {1204, ""}},
                  {{3, 1, "Taux r\xE9" "duit"}, {4, 1, "  5.544570000"}, {4, 14, "00000000"}}}});
  // A blank distribution account is stored as eight zeros; a digit account is completed with zeros.
  RunTable('V', {{"Z1", {{1201, "ventes export"}, {1202, "411"}}, {{3, 1, "Ventes export"}, {4, 1, "41100000"}}},
                 {"Z2", {{1201, "sans compte"}, {1202, ""}}, {{4, 1, "00000000"}}}});
}

TEST_F(FormsTest, EstablishmentsKeepTheSeparatorsOfTheirAddress) {
  // An older record whose address lines hold their separators at 36 and 66.
  std::string address(90, ' ');
  address[35] = '/';
  address[65] = '-';
  RunTable('E',
           {{"ZE01",
             {{1201, "si\xE8ge"}, {1202, "1 rue du Port"}, {1203, "BAT"}, {1204, "A"}, {1205, "Zone nord"},
              {1206, "75001"}, {1207, "Paris"}, {1208, "7"}},
             {{3, 1, "Si\xE8ge"}, {4, 1, "1 rue du Port"}, {4, 31, "BAT A/Zone nord"}, {4, 61, "75001-Paris"},
              {4, 91, "7"}}}},
           {"Ancien", address, ""});
}

TEST_F(FormsTest, JournalsStoreTheirTypeCounterpartAndPieceCounter) {
  Put('M', "ZM", "Mod\xE8le Z");
  RunTable('J', {{"ZJ1",
                  {{1201, "journal test"}, {1202, "Ventes"}, {1203, "411"}, {1204, "1"}, {1205, "ZM"}, {1206, "N"},
                   {1207, "12"}},
                  {{3, 1, "journal test"}, {4, 1, "V41100000" "1" "ZM      " "000012" "N"}}},
                 {"ZJ2",
                  {{1201, "tr\xE9sorerie"}, {1202, "Tr\xE9sorerie"}, {1203, ""}, {1207, "0"}, {1206, "O"}},
                  {{4, 1, "T" + std::string(23, ' ') + "O"}}}});
}

TEST_F(FormsTest, LabelsAndModelsStoreTheirNameShortLabelAndType) {
  // A label saved without a type chosen takes the type "0".
  RunTable('L', {{"Z", {{1201, "libell\xE9 test"}, {1202, "Factu"}, {1203, "3"}}, {{3, 1, "libell\xE9 test"}, {4, 1, "Factu  3"}}},
                 {"W", {{1201, "sans type"}}, {{4, 1, "       0"}}}});
  RunTable('M', {{"ZM2", {{1201, "mod\xE8le"}}, {{3, 1, "mod\xE8le"}, {4, 1, std::string(20, ' ')}}}});
}

// ---- checks -----------------------------------------------------------------------------------------------------

TEST_F(FormsTest, TheBankChecksRefuseOneFaultAtATimeWithTheRightKeysShown) {
  const Rib rib = RightRib();
  const std::string wrongKey = rib.key == "01" ? "02" : "01";
  std::string wrongIban = rib.iban;
  wrongIban.replace(2, 2, rib.iban.substr(2, 2) == "00" ? "01" : "00");
  struct Check {
    const char* what;
    std::vector<Typed> typed;
    std::string message;  // "" = a beep only
    int focus;
  } checks[] = {
      {"empty name", {{1201, ""}, {1211, "9"}}, "La d\xE9signation ne peut \xEAtre vide", 1201},
      {"account of class 9", {{1211, "9"}}, "Le Compte est inconnu", 1211},
      {"auxiliary account", {{1211, "CLIENT"}}, "Le Compte est inconnu", 1211},
      {"empty account", {{1211, ""}}, "Le Compte est inconnu", 1211},
      {"wrong RIB key", {{1229, wrongKey}}, "\n\nCl\xE9 RIB incorrecte:\n\n" + rib.key, 1229},
      {"key 98", {{1229, "98"}}, "\n\nCl\xE9 RIB incorrecte:\n\n" + rib.key, 1229},
      {"key 00", {{1229, "00"}}, "\n\nCl\xE9 RIB incorrecte:\n\n" + rib.key, 1229},
      {"letter in the bank code", {{1226, "3000A"}}, "\n\nLe Code Banque et le Code Guichet\nne comportent que des chiffres\n\n", 1226},
      {"wrong IBAN", {{1230, wrongIban}}, "\n\nCl\xE9 IBAN incorrecte:\n\n" + rib.iban.substr(2, 2), 1230},
      {"unknown journal", {{1218, "ZZ"}}, "", 1218},
      {"RIB and IBAN both wrong: the RIB first", {{1229, wrongKey}, {1230, wrongIban}}, "\n\nCl\xE9 RIB incorrecte:\n\n" + rib.key, 1229},
  };
  Put('Q', "ZB09", "Banque", "", "");
  const std::vector<Typed> valid{{1201, "Banque"}, {1211, "512"}, {1218, "BQ"}, {1226, rib.bank}, {1227, rib.branch},
                                 {1228, rib.account}, {1229, rib.key}, {1230, rib.iban}};
  for (const Check& c : checks) {
    SCOPED_TRACE(c.what);
    CodeRecordForm* form = Edit('Q', "ZB09");
    ASSERT_NE(form, nullptr);
    for (const Typed& t : valid) Type(form, t);
    for (const Typed& t : c.typed) Type(form, t);
    gui::ModalSeam::Reset();
    const int beeps0 = beeps;
    Save(form);
    ASSERT_EQ(FormOf('Q'), form) << "the form stays open";
    EXPECT_GT(beeps, beeps0);
    if (c.message.empty()) {
      EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
    } else {
      ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
      EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, "Code Banque: ZB09");
      EXPECT_EQ(gui::ModalSeam::Shown()[0].text, c.message);
      EXPECT_EQ(gui::ModalSeam::Shown()[0].icon, gui::MB_ICONSTOP);
    }
    EXPECT_TRUE(form->Control(c.focus)->HasFocus()) << "focus on " << c.focus;
    form->CmQuitter();
    gui::ProcessPendingMessages();
  }
  EXPECT_EQ(Stored('Q', "ZB09")[0].substr(0, 6), "Banque") << "nothing written";
  EXPECT_TRUE(IsBlank(Stored('Q', "ZB09")[1]));
}

TEST_F(FormsTest, RibToIbanGivesAnIbanThatStdnumAccepts) {
  Put('Q', "ZB10", "Banque", "", "");
  CodeRecordForm* form = Edit('Q', "ZB10");
  ASSERT_NE(form, nullptr);
  // Letters in the account number count as the digits of the RIB's table.
  const std::string bank = "20041", branch = "01005", account = "0500013M026";
  const std::string key = StrZero(CheckRib(RibText(bank, branch, account, "00")).rightKey, 2);
  for (const Typed& t : std::vector<Typed>{{1226, bank}, {1227, branch}, {1228, account}, {1229, "1"}}) Type(form, t);
  const int beeps0 = beeps;
  Send(form, bank::kRibToIban);
  EXPECT_EQ(beeps, beeps0 + 1) << "a RIB with a blank inside";
  EXPECT_EQ(form->EditOf(bank::kIban)->GetText(), "");
  Type(form, {1229, key});
  Send(form, bank::kRibToIban);
  const std::string iban = form->EditOf(bank::kIban)->GetText();
  EXPECT_EQ(iban.substr(0, 2) + iban.substr(4), "FR" + bank + branch + account + key);
  EXPECT_EQ(test_support::RunPythonScript("import stdnum.iban\nprint(stdnum.iban.validate('" + iban + "'))\n", true),
            iban + "\n");
  EXPECT_TRUE(form->IsModified()) << "the IBAN is not a remembered value";
  form->CmQuitter();
  gui::ProcessPendingMessages();
}

TEST_F(FormsTest, AJournalWhoseModelIsCancelledShowsQuestionMarksAndRefusesToClose) {
  Put('M', "ZGONE", "Mod\xE8le annul\xE9", "", "", true);
  Put('J', "ZJ3", "Journal", "O" + std::string(9, ' ') + "ZGONE   ");
  CodeRecordForm* form = Edit('J', "ZJ3");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->StaticOf(1308)->GetText(), "???");
  Type(form, {1201, "Journal modifi\xE9"});
  gui::ModalSeam::Reset();
  Save(form);
  ASSERT_EQ(FormOf('J'), form);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "Le Mod\xE8le d'Ecriture est inconnu");
  EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, "Code Journal: ZJ3");
  EXPECT_TRUE(form->Control(1205)->HasFocus());
  // Emptied, the model is no longer asked for.
  Type(form, {1205, ""});
  Save(form);
  EXPECT_EQ(FormOf('J'), nullptr);
  EXPECT_EQ(StoredSlice(Stored('J', "ZJ3"), 4, 11, 8), std::string(8, ' '));
}

// A distribution code saved without an account holds eight zeros: it opens blank, without "???", and a later
// change of its name is saved, the zeros kept.
TEST_F(FormsTest, ADistributionCodeWithoutAccountStaysSavable) {
  Put('V', "Z3", "Sans compte", "00000000");
  CodeRecordForm* form = Edit('V', "Z3");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->EditOf(1202)->GetText(), "");
  EXPECT_EQ(form->StaticOf(1303)->GetText(), "");
  Type(form, {1201, "Toujours sans compte"});
  gui::ModalSeam::Reset();
  Save(form);
  EXPECT_EQ(FormOf('V'), nullptr) << test_support::ShownTexts();
  const std::vector<std::string> stored = Stored('V', "Z3");
  EXPECT_EQ(StoredSlice(stored, 3, 1, 20), "Toujours sans compte");
  EXPECT_EQ(StoredSlice(stored, 4, 1, 8), "00000000");
  // Zeros typed count as no account too.
  form = Edit('V', "Z3");
  ASSERT_NE(form, nullptr);
  Type(form, {1202, "0"});
  Save(form);
  EXPECT_EQ(FormOf('V'), nullptr) << test_support::ShownTexts();
}

// Values the form cannot take as they are: a piece counter holding letters is refused with a message rather than
// stored as a number; a label type the form does not offer stays while the type is not changed; a bank record
// whose field 4 ends before the separator reads as with separator.
TEST_F(FormsTest, StoredValuesTheFormCannotShowAreNeverLost) {
  Put('J', "ZJ4", "Journal", "A" + std::string(17, ' ') + "12A456");
  CodeRecordForm* form = Edit('J', "ZJ4");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->EditOf(1207)->GetText(), "12A456");
  Type(form, {1201, "Journal chang\xE9"});
  gui::ModalSeam::Reset();
  Save(form);
  ASSERT_EQ(FormOf('J'), form);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "\n\nLe Num\xE9ro Pi\xE8" "ce ne comporte que des chiffres\n\n");
  form->CmQuitter();
  gui::ProcessPendingMessages();
  EXPECT_EQ(StoredSlice(Stored('J', "ZJ4"), 4, 19, 6), "12A456");

  // A journal type the list does not know reads and saves as "Opérations Diverses".
  Put('J', "ZJ5", "Journal", "X");
  form = Edit('J', "ZJ5");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->ComboOf(1202)->GetText(), "Op\xE9rations Diverses");
  Type(form, {1201, "Journal X"});
  Save(form);
  EXPECT_EQ(StoredSlice(Stored('J', "ZJ5"), 4, 1, 1), "O");

  Put('L', "Y", "Pr\xE9l\xE8vement", "Pr\xE9l\xE8v.P");
  form = Edit('L', "Y");
  ASSERT_NE(form, nullptr);
  Type(form, {1201, "Pr\xE9l\xE8vement tiers"});
  Save(form);
  EXPECT_EQ(StoredSlice(Stored('L', "Y"), 4, 1, 8), "Pr\xE9l\xE8v.P");

  Put('Q', "ZB11", "Ancienne", std::string(209, 'x'));
  form = Edit('Q', "ZB11");
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->CheckOf(1207)->IsChecked());
  form->CmQuitter();
  gui::ProcessPendingMessages();
}

}  // namespace
}  // namespace md_test
