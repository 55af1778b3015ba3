// The trial-balance report variables: their declaration, the TypeListe check, the variables of
// the list, the line computation (balance, budget, break levels, grand totals, result) and the
// line-type letters the layouts test.
#include <gtest/gtest.h>

#include "reports/balances/core/trial_balance_run.h"
#include "reports/balances/core/trial_balance_variables.h"
#include "runtime/report_fields.h"
#include "runtime/text.h"
#include "support/runtime_fixture.h"

using namespace balances;
using namespace balances::tbv;

namespace {

class VariablesTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    DeclareTrialBalanceFields(f_, false);
  }
  std::string V(int n) const {
    std::string v = f_.Value(n);
    while (!v.empty() && v.back() == ' ') v.pop_back();
    std::size_t b = v.find_first_not_of(' ');
    return b == std::string::npos ? "" : v.substr(b);
  }
  ReportFieldTable f_;
};

TEST_F(VariablesTest, TheDeclarations) {
  struct Case { const char* name; int index; };
  const Case cases[] = {
      {"EURO", 0},        {"TITRELISTE", 2},   {"SAUFJOURNAUX", 3},  {"MOIS12", 27},     {"COMPTE", 28},
      {"SOLDE12", 60},    {"ETAFISNM1", 69},   {"SOLDECREDI", 77},   {"NOMRUPTURE", 83}, {"R1_SOLDEP9", 87},
      {"R1_B_POURC", 112}, {"R2_DEBIT", 114},  {"R3_B_POURC", 170},  {"TG_CA_DEBI", 171}, {"TG_SOLDENM", 178},
      {"TG_B_POURC", 204}, {"TG_LIB_RES", 206}, {"XC_CEGID_D", 214}, {"XF_NUMLIGN", 215}, {"XF_R_IDEVI", 233},
  };
  for (const Case& c : cases) EXPECT_EQ(f_.FindField(c.name), c.index) << c.name;
  EXPECT_EQ(f_.Definition(200), f_.Definition(205));
  EXPECT_EQ(f_.Definition(212), f_.Definition(213));
  EXPECT_EQ(f_.Definition(177), "          N142");
  EXPECT_EQ(FieldWidthOf(f_.Definition(209)), 93);
  EXPECT_EQ(FieldWidthOf(f_.Definition(kCompte)), 8);
  // The analytic list widens the code and the name; the next general list narrows them again,
  // and every value starts cleared.
  f_.SetFieldNumber(kDebit, 12.5);
  DeclareTrialBalanceFields(f_, true);
  EXPECT_EQ(FieldWidthOf(f_.Definition(kCompte)), 17);
  EXPECT_EQ(FieldWidthOf(f_.Definition(kNomCompte)), 61);
  EXPECT_EQ(f_.GetFieldNumber(kDebit), 0.0);
  DeclareTrialBalanceFields(f_, false);
  EXPECT_EQ(FieldWidthOf(f_.Definition(kCompte)), 8);
}

TEST_F(VariablesTest, TypeListeCheck) {
  struct Case { const char* typeListe; char kind; const char* refusal; };
  const Case cases[] = {
      {"XF", 'T', "EXPORT CEGID ou FISCAL"}, {"XF", 'G', ""}, {"XC", 'C', "EXPORT CEGID ou FISCAL"},
      {"XZ", 'T', ""},                       {"R", 'G', "(TypeListe=Rn)"}, {"R7", 'R', "(TypeListe=Rn)"},
      {"R2", 'G', ""},                       {"R2", 'R', ""},              {"R6", 'C', "(TypeListe=R) seulement"},
      {"A", 'F', ""},                        {"", 'T', ""},
  };
  for (const Case& c : cases) {
    const std::string r = TypeListeRefusal(c.typeListe, c.kind);
    if (*c.refusal == '\0')
      EXPECT_EQ(r, "") << c.typeListe << " " << c.kind;
    else
      EXPECT_NE(r.find(c.refusal), std::string::npos) << c.typeListe << " " << c.kind << ": " << r;
  }
}

TEST_F(VariablesTest, ListVariables) {
  const TrialBalanceOptions o = MakeOptions('G', "C60701", "C60930", false, 'S', '1', false, "", "", "", "12");
  const PeriodFrame frame = MakePeriodFrame(o, "C60101", "C61231");
  FillListVariables(f_, o, frame, '1', "GENERALE", "OD ");
  struct Case { int index; const char* value; };
  const Case cases[] = {
      {kEuro, "Francs"},       {kAuxiliaire, "0"},   {kTitreListe, "GENERALE"}, {kSaufJournaux, "OD"},
      {kTitreAct, "Act:"},     {kAct, "12"},         {kMois01, "Juillet"},      {kMois01 + 5, "D\xE9" "cembre"},
      {kMois01 + 6, "Janvier"}, {kMois01 + 11, "Juin"}, {kDateDebut, "01/07/26"}, {kDateFin, "30/09/26"},
      {kDate30, "01/09/26"},   {kTypeListe, "Cum.Ant.:N Lettr.:1 Rupture:S"}, {kNbjPeriode, "92"},
      {kNbjExercice, "365"},
  };
  for (const Case& c : cases) EXPECT_EQ(V(c.index), c.value) << c.index;
}

ChartEntry Account(const char* code, const char* name, long long budget = 0, long long prevDebit = 0) {
  ChartEntry e;
  e.code = code;
  e.code.resize(8, ' ');
  e.name = name;
  e.town = "75001 PARIS";
  e.budget = {budget, budget};
  e.prevDebit = {prevDebit, prevDebit};
  return e;
}

TEST_F(VariablesTest, LineBalanceAndBudget) {
  // Budget 12,000.00 over a 365-day year and a 31-day period; movements of 1,000.00.
  const ChartEntry a = Account("60100000", "Achats", 1200000);
  AccountFigures g;
  g.debit = 150000;
  g.credit = 50000;
  FillGathered(f_, g);
  LineInput in;
  in.letter = 'A';
  in.entry = &a;
  in.daysInYear = 365;
  in.daysInPeriod = 31;
  ComputeLine(f_, in);
  const double period = 12000.0 * 31 / 365;
  EXPECT_NEAR(f_.GetFieldNumber(kBPeriode), period, 0.006);
  EXPECT_NEAR(f_.GetFieldNumber(kBReste), period - 1000, 0.006);
  EXPECT_NEAR(f_.GetFieldNumber(kBPourcent), 100 - 1000 / period * 100, 0.06);
  EXPECT_EQ(V(kSolde), "1 000.00 Db");
  EXPECT_EQ(f_.GetFieldNumber(kSoldeDebit), 1000.0);
  EXPECT_EQ(V(kSoldeCredit), "");
  EXPECT_EQ(V(kCPostal), "75001");
  EXPECT_EQ(V(kCommune), "PARIS");
  EXPECT_EQ(f_.GetFieldNumber(kResult), 1000.0);
  // A balanced line: the balance texts blank, the credit side of the totals takes 0.
  const ChartEntry b = Account("51200000", "Banque");
  g = AccountFigures{};
  g.debit = g.credit = 7700;
  FillGathered(f_, g);
  in.entry = &b;
  in.letter = 'B';
  ComputeLine(f_, in);
  EXPECT_EQ(V(kSolde), "");
  EXPECT_EQ(V(kSoldeDebit), "");
  EXPECT_EQ(f_.GetFieldNumber(kTgDebit), 1577.0);
  EXPECT_EQ(f_.GetFieldNumber(kTgSoldeCredit), 0.0);
  EXPECT_EQ(f_.GetFieldNumber(kResult), 1000.0);
}

// A percentage of the budget the budget balances print in ten characters at most: whole up to them,
// past them the bound it passes with "more than" or "less than"; its value stays whole for the
// exports, and a later line's percentage is printed anew.
TEST_F(VariablesTest, APercentagePastTenCharactersIsPrintedAsTheBoundItPasses) {
  struct Case {
    long long debit, credit;  // a period's budget of 1.00
    const char* printed;
    double value;
  } cases[] = {
      {4057229, 0, "-4057129.0", -4057129.0},
      {9999999999999, 0, "<-9999999", -9999999999899.0},
      {0, 9999999999999, ">99999999", 10000000000099.0},
      {150, 0, "-50.0", -50.0},
  };
  const ChartEntry a = Account("60100000", "Achats", 36500);
  for (const Case& c : cases) {
    AccountFigures g;
    g.debit = c.debit;
    g.credit = c.credit;
    FillGathered(f_, g);
    LineInput in;
    in.letter = 'A';
    in.entry = &a;
    in.daysInYear = 365;
    in.daysInPeriod = 1;
    ComputeLine(f_, in);
    EXPECT_EQ(Trimmed(V(kBPourcent)), c.printed) << c.debit << " / " << c.credit;
    EXPECT_LE(Trimmed(V(kBPourcent)).size(), 10u);
    EXPECT_NEAR(f_.GetFieldNumber(kBPourcent), c.value, 0.06) << "the value the exports write";
  }
}

TEST_F(VariablesTest, BreakLevelsRestartAtTheirLetters) {
  struct Step { const char* code; char letter; };
  const Step steps[] = {{"40100000", 'A'}, {"40110000", 'B'}, {"41100000", 'K'}, {"51200000", 'C'}};
  std::vector<ChartEntry> accounts;
  for (const Step& s : steps) accounts.push_back(Account(s.code, "x", 0, 1000));
  double level1 = 0, level2 = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    AccountFigures g;
    g.debit = 10000 * static_cast<long long>(i + 1);
    FillGathered(f_, g);
    LineInput in;
    in.letter = steps[i].letter;
    in.entry = &accounts[i];
    in.breakChoice = '2';
    ComputeLine(f_, in);
    if (steps[i].letter >= 'C' && steps[i].letter <= 'J') level1 = 0;
    if (steps[i].letter >= 'C' && steps[i].letter <= 'N') level2 = 0;
    level1 += 100.0 * static_cast<double>(i + 1);
    level2 += 100.0 * static_cast<double>(i + 1);
    EXPECT_EQ(f_.GetFieldNumber(kLevel1 + kLvDebit), level1) << i;
    EXPECT_EQ(f_.GetFieldNumber(kLevel2 + kLvDebit), level2) << i;
    EXPECT_EQ(f_.GetFieldNumber(kLevel3 + kLvDebit), 0.0) << i;  // choice "2": levels 1 and 2 only
  }
  EXPECT_EQ(f_.GetFieldNumber(kLevelCount1), 1.0);
  EXPECT_EQ(V(kLevel1 + kLvSoldeNm), "10.00 Db");
  EXPECT_EQ(f_.GetFieldNumber(kTgDebit), 1000.0);
}

TEST_F(VariablesTest, IdentificationOfTheLines) {
  const ChartEntry aux = Account("CDUPONT", "Dupont");
  LineInput in;
  in.entry = &aux;
  ComputeLine(f_, in);
  EXPECT_EQ(V(kNomRupture), "DUP");
  EXPECT_EQ(V(kCompte), "CDUPONT");
  const ChartEntry general = Account("41100000", "Clients");
  in.entry = &general;
  in.code = "411";
  ComputeLine(f_, in);
  EXPECT_EQ(V(kCompte), "411");
  EXPECT_EQ(V(kEtafiCpt), "41100000");
  DeclareTrialBalanceFields(f_, true);
  const ChartEntry section = Account("SECT1", "Atelier");
  in = LineInput{};
  in.listKind = '9';
  in.entry = &section;
  in.analyticByAccount = true;
  in.generalAccount = "60100000";
  ComputeLine(f_, in);
  EXPECT_EQ(V(kCompte), "SECT1\\60100000");
  EXPECT_EQ(V(kNomCompte), "Atelier\\???");
}

TEST_F(VariablesTest, ExportRows) {
  std::array<std::string, 18> row;
  for (int i = 0; i < 18; ++i) row[static_cast<std::size_t>(i)] = "z" + std::to_string(i);
  FillFecRow(f_, row, 7);
  EXPECT_EQ(f_.GetFieldNumber(kXfNumLigne), 7.0);
  EXPECT_EQ(V(f_.FindField("XF_A_JOURN")), "z0");
  EXPECT_EQ(V(f_.FindField("XF_R_IDEVI")), "z17");
  const std::string record = "  9" + std::string(95, 'x') + "END";
  FillCegidRecord(f_, record);
  EXPECT_EQ(f_.Value(kXc1), record.substr(0, 93));
  EXPECT_EQ(V(kXc2), "xxxxxEND");
}

TEST(LineLetters, AsTheWalkClassifiesThem) {
  const std::array<bool, 3> all{true, true, true}, none{false, false, false}, two{false, true, false};
  struct Case { const char* prev; const char* cur; char breakChoice; bool aux; std::array<bool, 3> p; char letter; };
  const Case cases[] = {
      {"40100000", "40110000", '3', false, all, 'B'},  {"40110000", "41100000", '3', false, all, 'K'},
      {"40110000", "41100000", '3', false, two, 'L'},  {"41100000", "51200000", '3', false, all, 'C'},
      {"41100000", "51200000", '3', false, none, 'J'}, {"41100000", "51200000", 'S', false, all, 'B'},
      {"C001    ", "C002    ", '3', true, all, 'O'},   {"C002    ", "F001    ", '3', true, none, 'P'},
      {"40100000", "40100000", '1', false, all, 'B'},  {"40100000", "40200000", '1', false, none, 'P'},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LineLetter(c.prev, c.cur, c.breakChoice, c.aux, c.p), c.letter) << c.prev << " -> " << c.cur;
  EXPECT_EQ(EndLetter('S', all), 'X');
  EXPECT_EQ(EndLetter('3', all), 'Q');
  EXPECT_EQ(EndLetter('3', {true, false, true}), 'S');
  EXPECT_EQ(EndLetter('3', none), 'X');
}

TEST_F(VariablesTest, ResultLine) {
  struct Case { long long result; const char* label; const char* value; };
  const Case cases[] = {{150000, "R\xE9sultat: Perte", "1 500.00 Db"}, {-2500, "R\xE9sultat: B\xE9n\xE9" "fice", "25.00 Cr"}};
  for (const Case& c : cases) {
    DeclareTrialBalanceFields(f_, false);
    f_.SetFieldUnits(kResult, c.result);
    FillResultLine(f_);
    EXPECT_EQ(V(kLibResultat), c.label);
    EXPECT_EQ(V(kValResultat), c.value);
  }
  DeclareTrialBalanceFields(f_, false);
  FillResultLine(f_);
  EXPECT_EQ(V(kLibResultat), "");
}

}  // namespace

namespace {

TEST(TrialBalanceRun, PrefixesAndListSequences) {
  struct Prefix { bool prior; char lettering; const char* prefix; };
  const Prefix prefixes[] = {{false, '1', "EBS-"}, {false, '4', "EBA-"}, {true, '1', "EBC-"}, {true, '5', "EBB-"}};
  for (const Prefix& p : prefixes)
    EXPECT_EQ(ReportPrefix(MakeOptions('G', "C60101", "C61231", p.prior, 'S', p.lettering)), p.prefix);
  // Options shorter than 56 characters: "S".
  EXPECT_EQ(ReportPrefix(TrialBalanceOptions(std::string("G"))), "EBS-");
  EXPECT_EQ(AnalyticReportCode("EBS-GENE  00019999"), "EBAS-GENE 00019999");
}

}  // namespace
