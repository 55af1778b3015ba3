// The 247 report variables of the trial balances, and the computations that fill them for the
// layouts: the variables of the whole list, those of one gathered line, the line's balance,
// budget, break levels and grand totals, the line-type letters the layouts test, and the
// TypeListe check. The report window calls these from its hooks; the tests drive them alone.
#pragma once

#include <array>
#include <string>

#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/trial_balance_options.h"
#include "runtime/report_fields.h"

namespace balances {

inline constexpr int kTrialBalanceFieldCount = 247;

// Indexes of the variables the computations address.
namespace tbv {
enum : int {
  kEuro = 0, kAuxiliaire, kTitreListe, kSaufJournaux, kTitreAct, kAct, kCompteDebut, kCompteFin,
  kDateDebut, kDateFin, kTypeListe, kNbjExercice, kNbjPeriode, kDate90, kDate60, kDate30,
  kMois01 = 16,
  kCompte = 28, kNomCompte, kRue1, kRue2, kVille, kCPostal, kCommune, kSoldeNm1,
  kCaDebit = 36, kCaCredit, kCaSolde, kDebit, kDebitF, kDebitE, kCredit, kCreditF, kCreditE,
  kAges = 45,       // SOLDEP90J, SOLDEM90J, SOLDEM60J, SOLDEM30J
  kSolde01 = 49,
  kEtafiCpt = 61, kEtafiLib, kEtafiSan, kEtafiCdb, kEtafiCcr, kEtafiCdbt, kEtafiCcrt, kEtafiSld, kEtafiSnm1,
  kAeDebit = 70, kAeCredit, kAeSolde, kLineDebit, kLineCredit,
  kSolde = 75, kSoldeDebit, kSoldeCredit, kTBTotal, kBTotal, kBPeriode, kBReste, kBPourcent, kNomRupture,
  kLevelCount1 = 84, kLevel1 = 85, kLevelCount2 = 113, kLevel2 = 114, kLevelCount3 = 142, kLevel3 = 143,
  // The grand totals.
  kTgCaDebit = 171, kTgCaCredit, kTgCaSolde, kTgAeDebit, kTgAeCredit, kTgAeSolde, kTgPrevYear, kTgSoldeNm,
  kTgDebit, kTgCredit, kTgAges, kTgSolde01 = 185, kTgSolde = 197, kTgSoldeDebit, kTgSoldeCredit,
  kTgBudget = 200, kTgBTotal, kTgBPeriode, kTgBReste, kTgBPourcent, kResult = 205,
  kLibResultat = 206, kValResultat,
  kXcStep = 208, kXc1, kXc2, kXcMonth, kXcBlock, kXcInBlock, kXcDossier,
  kXfNumLigne = 215, kXfFirst = 216,
  // The ageing limits themselves (DD/MM/YY), after the others: a line dated before LIMITE90J is
  // in the oldest column, before LIMITE60J in the next ...; DATE90J ... are the days after them.
  kLimit90 = 234, kLimit60, kLimit30,
  // The balances of a line as the exports write them, a number and its side (SOLDEMT "1321,40" and
  // SOLDEDC "Cr" beside SOLDE "1 321.40 Cr"), for SOLDE, CA_SOLDE, AE_SOLDE, SOLDENM1 and B_TOTAL.
  kSoldeMt = 237, kSoldeDc, kCaSoldeMt, kCaSoldeDc, kAeSoldeMt, kAeSoldeDc, kSoldeNm1Mt, kSoldeNm1Dc, kBTotalMt,
  kBTotalDc,
};
// Offsets inside a break level (R1_ at kLevel1 ...).
constexpr int kLvDebit = 0, kLvCredit = 1, kLvAges = 2, kLvSolde01 = 6, kLvSolde = 18, kLvSoldeDebit = 19,
              kLvSoldeCredit = 20, kLvPrevYear = 21, kLvSoldeNm = 22, kLvBudget = 23, kLvBTotal = 24,
              kLvBPeriode = 25, kLvBReste = 26, kLvBPourcent = 27;
}  // namespace tbv

// The first run declares the 247 variables (from the string table but for the three limits and
// the balances' pairs); later runs clear them.
// Then COMPTE and NOMCOMPTE are declared again, wider for the analytic list.
void DeclareTrialBalanceFields(ReportFieldTable& fields, bool analytic);

// "" when the layout's TypeListe suits the kind of balance (options position 1), else the
// message shown in the empty-report notice.
std::string TypeListeRefusal(const std::string& typeListe, char kind);

// What holds for the whole list: currency, title, excluded journals, Act code, month names,
// period, ageing dates, options in words, day counts, the auxiliary mark.
void FillListVariables(ReportFieldTable& fields, const TrialBalanceOptions& options, const PeriodFrame& frame,
                       char listKind, const std::string& title, const std::string& excludedJournals);

// The movements of one gathered line.
void FillGathered(ReportFieldTable& fields, const AccountFigures& f);
// Its previous-year balance into the running total of the list: printed lines only.
void AddPrintedPrevYear(ReportFieldTable& fields, long long prevYearCents);

struct LineInput {
  char letter = 'B';            // the line-type letter
  char listKind = '1';
  const ChartEntry* entry = nullptr;  // the account or section
  std::string code;             // the line's code (a group prefix for a regroupement)
  std::string generalAccount;   // analytic by account: the general account, and its name
  std::string generalName;
  bool analyticByAccount = false;
  char breakChoice = 'S';       // options position 57
  int currency = 1;
  int daysInYear = 365, daysInPeriod = 365;
  char exportForm = 'N';        // constant 045
};

// The line computation: the identification, budget, balance, grand totals, result and break
// levels of one printed line, from the gathered variables.
void ComputeLine(ReportFieldTable& fields, const LineInput& in);

// Whether break level k (1-3) has a line to print: constant 036 or more than one line in it,
// and an amount that is not zero.
bool LevelPrintable(const ReportFieldTable& fields, int level, bool allBreaks);
// The letter of a line after `previous` (both 8 characters), as the walk classifies it.
char LineLetter(const std::string& previous, const std::string& current, char breakChoice, bool auxiliaryCodes,
                const std::array<bool, 3>& printable);
// The letter that ends the list (Q-X; X without breaks).
char EndLetter(char breakChoice, const std::array<bool, 3>& printable);
// One row of the statutory entries file into XF_NUMLIGN and the 18 zones XF_A_JOURN ...
// XF_R_IDEVI (cut to their widths: the file itself is written whole by FecExport).
void FillFecRow(ReportFieldTable& fields, const std::array<std::string, 18>& row, long number);
// One record of the CEGID export: its first 93 characters in XC_CEGID_1, the rest in XC_CEGID_2.
void FillCegidRecord(ReportFieldTable& fields, const std::string& record);

// The result line of a general balance (TG_LIB_RES, TG_VAL_RES) from the running result.
void FillResultLine(ReportFieldTable& fields);

}  // namespace balances
