#include "reports/balances/core/trial_balance_variables.h"

#include <cstdint>

#include "data/entry_lines.h"
#include "reports/balances/core/code_lists.h"
#include "reports/balances/core/export_text.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace balances {

namespace {

using namespace tbv;

// The definitions of the account and its name, general or analytic.
constexpr int kDefinitionAccount = 842, kDefinitionAccountName = 843;
constexpr int kDefinitionSection = 2580, kDefinitionSectionName = 2581;
// The list types a balance refuses: an export other than of the general balance, a grouping other than of
// the general or result balance, a grouping level other than R2 to R6.
constexpr int kMsgExportGeneralOnly = 23555;
constexpr int kMsgGroupingGeneralOnly = 23556;
constexpr int kMsgGroupingLevel = 23557;
constexpr int kEuros = 2277, kFrancs = 2278;
constexpr int kMonthNameFirst = 2032;  // "Janvier" to "Décembre"
// The result line (%s: profit or loss).
constexpr int kLabelResult = 32806;
constexpr int kProfit = 1688, kLoss = 1689;

// The string id of each variable's definition, in index order.
constexpr int kDefinitionIds[kLimit90] = {
2276, 2763, 1870, 2044, 2045, 2046, 1871, 1872, 1504, 1505, 1506, 1876,
1877, 2547, 2548, 2549, 2020, 2021, 2022, 2023, 2024, 2025, 2026, 2027,
2028, 2029, 2030, 2031,  842,  843, 2476, 2477, 2478, 2602, 2603, 1880,
1522, 1523, 1524, 1518, 2472, 2473, 1519, 2474, 2475, 2527, 2528, 2529,
2530, 1886, 1887, 1888, 1889, 1890, 1891, 1892, 1893, 1894, 1895, 1896,
1897, 2641, 2642, 2643, 2644, 2645, 2765, 2766, 2646, 2647, 1526, 1527,
1528, 1901, 1901, 1903, 1904, 1905, 1907, 1908, 1909, 1910, 1911, 1906,
1912, 1913, 1914, 2531, 2532, 2533, 2534, 1915, 1916, 1917, 1918, 1919,
1920, 1921, 1922, 1923, 1924, 1925, 1926, 1927, 1928, 1929, 1930, 1931,
1932, 1933, 1934, 1935, 1936, 1912, 1938, 1939, 2535, 2536, 2537, 2538,
1940, 1941, 1942, 1943, 1944, 1945, 1946, 1947, 1948, 1949, 1950, 1951,
1952, 1953, 1954, 1955, 1956, 1932, 1958, 1959, 1960, 1961, 1912, 1963,
1964, 2539, 2540, 2541, 2542, 1965, 1966, 1967, 1968, 1969, 1970, 1971,
1972, 1973, 1974, 1975, 1976, 1977, 1978, 1979, 1980, 1981, 1932, 1983,
1984, 1985, 1986, 1987, 1988, 1989, 1990, 1991, 1992, 1901, 1994, 1529,
1530, 2543, 2544, 2545, 2546, 1997, 1998, 1999, 2000, 2001, 2002, 2003,
2004, 2005, 2006, 2007, 2008, 1531, 2010, 2011, 1932, 2013, 2014, 2015,
2016, 1932, 2819, 2820, 2797, 2798, 2799, 2800, 2811, 2811, 2814, 3230,
3231, 3232, 3233, 3234, 3235, 3236, 3237, 3238, 3239, 3240, 3241, 3242,
3243, 3244, 3245, 3246, 3247, 3248};

long long Units(const ReportFieldTable& f, int n) {
  std::int64_t u = 0;
  return f.GetFieldUnits(n, u) ? u : 0;
}
void Put(ReportFieldTable& f, int n, long long cents) { f.SetFieldUnits(n, cents); }
void Add(ReportFieldTable& f, int n, long long cents) { f.SetFieldUnits(n, Units(f, n) + cents); }
// A money text: the formatted amount, blank when zero.
void AmountText(ReportFieldTable& f, int n, long long cents) {
  if (cents != 0) f.SetFieldBalance(n, cents);
  else f.SetFieldText(n, "");
}
// The same, and the pair of fields from `amount` on that the exports write.
void AmountText(ReportFieldTable& f, int n, long long cents, int amount) {
  AmountText(f, n, cents);
  f.SetBalancePair(amount, amount + 1, cents);
}
// t := a - b as a money text, blank when zero.
void Difference(ReportFieldTable& f, int t, int a, int b) { AmountText(f, t, Units(f, a) - Units(f, b)); }
// A percentage of the budget consumed: 100 - (period - rest) / period x 100, blank without budget.
// The budget balances give it ten characters, where it grows left as an amount does: one that needs
// more is printed as the bound it passes, "more than" or "less than" it; its value stays whole for
// the exports.
void Percent(ReportFieldTable& f, int t, int period, int rest) {
  const long long p = Units(f, period);
  if (p == 0) {
    f.SetFieldText(t, "");
    return;
  }
  const double percent = 100.0 - static_cast<double>(p - Units(f, rest)) / static_cast<double>(p) * 100.0;
  f.SetFieldNumber(t, percent);
  constexpr std::size_t kPrintedWidth = 10;
  if (Trimmed(f.Value(t)).size() > kPrintedWidth) f.SetFieldShownText(t, percent > 0 ? ">99999999" : "<-9999999");
}

void ResetLevel(ReportFieldTable& f, int level) {
  const int base = level == 1 ? kLevel1 : level == 2 ? kLevel2 : kLevel3;
  const int count = level == 1 ? kLevelCount1 : level == 2 ? kLevelCount2 : kLevelCount3;
  Put(f, count, 0);
  Put(f, base + kLvDebit, 0);
  Put(f, base + kLvCredit, 0);
  for (int k = 0; k < 4; ++k) Put(f, base + kLvAges + k, 0);
  for (int k = 0; k < 12; ++k) Put(f, base + kLvSolde01 + k, 0);
  Put(f, base + kLvSoldeDebit, 0);
  Put(f, base + kLvSoldeCredit, 0);
  Put(f, base + kLvPrevYear, 0);
  Put(f, base + kLvBudget, 0);
  Put(f, base + kLvBPeriode, 0);
  Put(f, base + kLvBReste, 0);
}

}  // namespace

void DeclareTrialBalanceFields(ReportFieldTable& fields, bool analytic) {
  if (!fields.Declared() || fields.FieldCount() != kTrialBalanceFieldCount) {
    fields.SetFieldCount(kTrialBalanceFieldCount);
    fields.InitFieldTable();
    for (int i = 0; i < kLimit90; ++i) fields.DeclareField(i, LoadStr(kDefinitionIds[i]));
    fields.DeclareField(kLimit90, "LIMITE90J C080");
    fields.DeclareField(kLimit60, "LIMITE60J C080");
    fields.DeclareField(kLimit30, "LIMITE30J C080");
    const char* const pairs[] = {"SOLDEMT   M142", "SOLDEDC   C020", "CA_SOLDEMTM142", "CA_SOLDEDCC020",
                                 "AE_SOLDEMTM142", "AE_SOLDEDCC020", "SOLDENM1MTM142", "SOLDENM1DCC020",
                                 "B_TOTALMT M142", "B_TOTALDC C020"};
    int k = kSoldeMt;
    for (const char* pair : pairs) fields.DeclareField(k++, pair);
  } else {
    fields.ClearFieldValues();
  }
  fields.ReleaseField(kCompte);
  fields.ReleaseField(kNomCompte);
  fields.DeclareField(kCompte, LoadStr(analytic ? kDefinitionSection : kDefinitionAccount));
  fields.DeclareField(kNomCompte, LoadStr(analytic ? kDefinitionSectionName : kDefinitionAccountName));
}

std::string TypeListeRefusal(const std::string& t, char kind) {
  if (t.size() >= 2 && t[0] == 'X' && (t[1] == 'C' || t[1] == 'F') && kind != 'G')
    return LoadStr(kMsgExportGeneralOnly);
  if (!t.empty() && t[0] == 'R') {
    if (kind != 'G' && kind != 'R')
      return LoadStr(kMsgGroupingGeneralOnly);
    if (t.size() < 2 || t[1] < '2' || t[1] > '6')
      return LoadStr(kMsgGroupingLevel);
  }
  return "";
}

void FillListVariables(ReportFieldTable& f, const TrialBalanceOptions& o, const PeriodFrame& frame, char listKind,
                       const std::string& title, const std::string& excludedJournals) {
  f.SetFieldText(kEuro, LoadStr(o.Euros() ? kEuros : kFrancs));
  const bool auxiliary = listKind != '1' && listKind != '2' && listKind != '9';
  f.SetFieldText(kAuxiliaire, auxiliary ? "1" : "0");
  f.SetFieldText(kTitreListe, title.c_str());
  f.SetFieldText(kSaufJournaux, excludedJournals.c_str());
  if (o.ActGiven()) {
    f.SetFieldText(kTitreAct, "Act:");
    f.SetFieldText(kAct, o.Act().c_str());
  }
  for (int month = 1; month <= 12; ++month) {
    const int column = frame.monthColumn[static_cast<std::size_t>(month)];
    if (column >= 1) f.SetFieldText(kMois01 + column - 1, LoadStr(kMonthNameFirst + month - 1));
  }
  f.SetFieldText(kDateDebut, ConvertDate(o.PeriodStart().c_str()));
  f.SetFieldText(kDateFin, ConvertDate(o.PeriodEnd().c_str()));
  f.SetFieldText(kDate90, frame.date90.c_str());
  f.SetFieldText(kDate60, frame.date60.c_str());
  f.SetFieldText(kDate30, frame.date30.c_str());
  f.SetFieldText(kLimit90, ConvertDate(frame.limit90.c_str()));
  f.SetFieldText(kLimit60, ConvertDate(frame.limit60.c_str()));
  f.SetFieldText(kLimit30, ConvertDate(frame.limit30.c_str()));
  const std::string words = std::string("Cum.Ant.:") + o.At(56) + " Lettr.:" + o.At(58) + " Rupture:" + o.At(57);
  f.SetFieldText(kTypeListe, words.c_str());
  f.SetFieldNumber(kNbjExercice, frame.daysInYear);
  f.SetFieldNumber(kNbjPeriode, frame.daysInPeriod);
}

void FillGathered(ReportFieldTable& f, const AccountFigures& g) {
  Put(f, kCaDebit, g.caDebit);
  Put(f, kCaCredit, g.caCredit);
  Put(f, kDebit, g.debit);
  Put(f, kDebitF, g.debitF);
  Put(f, kDebitE, g.debitE);
  Put(f, kCredit, g.credit);
  Put(f, kCreditF, g.creditF);
  Put(f, kCreditE, g.creditE);
  for (int k = 0; k < 4; ++k) Put(f, kAges + k, g.ages[static_cast<std::size_t>(k)]);
  for (int k = 0; k < 12; ++k) Put(f, kSolde01 + k, g.months[static_cast<std::size_t>(k)]);
  Put(f, kEtafiSan, g.etafiSan);
  Put(f, kEtafiCdb, g.etafiCdb);
  Put(f, kEtafiCcr, g.etafiCcr);
  Put(f, kEtafiCdbt, g.etafiCdbt);
  Put(f, kEtafiCcrt, g.etafiCcrt);
  Put(f, kEtafiSld, 0);
  Put(f, kEtafiSnm1, g.prevYear);
  Put(f, kAeDebit, g.aeDebit);
  Put(f, kAeCredit, g.aeCredit);
  AmountText(f, kSoldeNm1, g.prevYear, kSoldeNm1Mt);
}

void AddPrintedPrevYear(ReportFieldTable& f, long long prevYearCents) {
  Add(f, kTgPrevYear, prevYearCents);
  AmountText(f, kTgSoldeNm, Units(f, kTgPrevYear));
}

void ComputeLine(ReportFieldTable& f, const LineInput& in) {
  // 1. Break resets, before anything is added.
  const char letter = in.letter;
  if (letter >= 'C' && letter <= 'P') {
    if (letter <= 'J') {
      ResetLevel(f, 1);
      for (int base : {kLevel1, kLevel2, kLevel3}) f.SetFieldText(base + kLvSoldeNm, "");
    }
    if (letter <= 'N') ResetLevel(f, 2);
    ResetLevel(f, 3);
  }
  // 2, 3. Identification.
  const ChartEntry empty;
  const ChartEntry& e = in.entry != nullptr ? *in.entry : empty;
  const std::size_t cur = static_cast<std::size_t>(in.currency);
  const std::string code = TrimmedRight(e.code);
  if (in.listKind == '9') {
    std::string shown = code;
    std::string name = TrimmedRight(e.name);
    if (in.analyticByAccount) {
      shown += "\\" + in.generalAccount;
      name += "\\" + (in.generalName.empty() ? std::string("???") : in.generalName);
    }
    f.SetFieldText(kCompte, shown.c_str());
    f.SetFieldText(kNomCompte, name.c_str());
    f.SetFieldText(kNomRupture, code.substr(0, 3).c_str());
  } else {
    std::string shown = in.code.empty() ? code : TrimmedRight(in.code);
    NormalizeNumberText(shown);
    f.SetFieldText(kCompte, shown.c_str());
    f.SetFieldText(kNomCompte, e.name.c_str());
    const bool letterCode = !code.empty() && code[0] >= 'A' && code[0] <= 'Z';
    f.SetFieldText(kNomRupture, (letterCode ? (code.size() >= 2 ? code.substr(1, 3) : "") : code.substr(0, 3)).c_str());
  }
  f.SetFieldText(kEtafiCpt, e.code.c_str());
  f.SetFieldText(kEtafiLib, ConvertExportText(e.name, in.exportForm).c_str());
  f.SetFieldText(kRue1, e.street1.c_str());
  f.SetFieldText(kRue2, e.street2.c_str());
  f.SetFieldText(kVille, e.town.c_str());
  f.SetFieldText(kCPostal, e.town.substr(0, 5).c_str());
  f.SetFieldText(kCommune, e.town.size() > 6 ? TrimmedRight(e.town.substr(6)).c_str() : "");
  Put(f, kTBTotal, e.budget[cur]);
  // 4. Budget of the line.
  const long long budget = e.budget[cur];
  AmountText(f, kBTotal, budget, kBTotalMt);
  const long long period = in.daysInYear > 0 ? ToCents(FromCents(budget) * in.daysInPeriod / in.daysInYear) : 0;
  Put(f, kBPeriode, period);
  Add(f, kTgBudget, budget);
  Add(f, kTgBPeriode, period);
  // 5. Prior totals and the lines set apart.
  AmountText(f, kCaSolde, Units(f, kCaDebit) - Units(f, kCaCredit), kCaSoldeMt);
  Add(f, kTgCaDebit, Units(f, kCaDebit));
  Add(f, kTgCaCredit, Units(f, kCaCredit));
  Difference(f, kTgCaSolde, kTgCaDebit, kTgCaCredit);
  AmountText(f, kAeSolde, Units(f, kAeDebit) - Units(f, kAeCredit), kAeSoldeMt);
  Add(f, kTgAeDebit, Units(f, kAeDebit));
  Add(f, kTgAeCredit, Units(f, kAeCredit));
  Difference(f, kTgAeSolde, kTgAeDebit, kTgAeCredit);
  // 6. Balance of the line.
  const long long ld = Units(f, kCaDebit) + Units(f, kDebit) + Units(f, kAeDebit);
  const long long lc = Units(f, kCaCredit) + Units(f, kCredit) + Units(f, kAeCredit);
  Put(f, kLineDebit, ld);
  Put(f, kLineCredit, lc);
  AmountText(f, kSolde, ld - lc, kSoldeMt);
  Put(f, kEtafiSld, ld - lc);
  f.SetFieldText(kSoldeDebit, "");
  f.SetFieldText(kSoldeCredit, "");
  if (ld > lc) Put(f, kSoldeDebit, ld - lc);
  if (lc > ld) Put(f, kSoldeCredit, lc - ld);
  // 7. Grand totals.
  Add(f, kTgDebit, ld);
  Add(f, kTgCredit, lc);
  Difference(f, kTgSolde, kTgDebit, kTgCredit);
  if (ld > lc)
    Add(f, kTgSoldeDebit, ld - lc);
  else
    Add(f, kTgSoldeCredit, lc - ld);
  for (int k = 0; k < 4; ++k) Add(f, kTgAges + k, Units(f, kAges + k));
  for (int k = 0; k < 12; ++k) Add(f, kTgSolde01 + k, Units(f, kSolde01 + k));
  // 8. Result of the general balance.
  const std::string shown = f.Value(kCompte);
  if (in.listKind == '1' && !shown.empty() && (shown[0] == '6' || shown[0] == '7')) Add(f, kResult, ld - lc);
  // 9. Budget comparison.
  f.SetFieldText(kBReste, "");
  f.SetFieldText(kBPourcent, "");
  long long rest = 0;
  if (period != 0) {
    rest = period - (ld - lc);
    Put(f, kBReste, rest);
    Percent(f, kBPourcent, kBPeriode, kBReste);
  }
  Add(f, kTgBReste, rest);
  AmountText(f, kTgBTotal, Units(f, kTgBudget));
  Percent(f, kTgBPourcent, kTgBPeriode, kTgBReste);
  // 10. Break levels.
  const long long prevYear = e.prevDebit[cur] - e.prevCredit[cur];
  for (int level = 1; level <= 3; ++level) {
    if (in.breakChoice <= static_cast<char>('0' + level - 1)) break;
    const int base = level == 1 ? kLevel1 : level == 2 ? kLevel2 : kLevel3;
    f.AddFieldNumber(level == 1 ? kLevelCount1 : level == 2 ? kLevelCount2 : kLevelCount3, 1.0);
    Add(f, base + kLvDebit, ld);
    Add(f, base + kLvCredit, lc);
    Difference(f, base + kLvSolde, base + kLvDebit, base + kLvCredit);
    for (int k = 0; k < 4; ++k) Add(f, base + kLvAges + k, Units(f, kAges + k));
    for (int k = 0; k < 12; ++k) Add(f, base + kLvSolde01 + k, Units(f, kSolde01 + k));
    if (ld > lc)
      Add(f, base + kLvSoldeDebit, ld - lc);
    else
      Add(f, base + kLvSoldeCredit, lc - ld);
    Add(f, base + kLvPrevYear, prevYear);
    AmountText(f, base + kLvSoldeNm, Units(f, base + kLvPrevYear));
    Add(f, base + kLvBudget, budget);
    Add(f, base + kLvBPeriode, period);
    Add(f, base + kLvBReste, rest);
    AmountText(f, base + kLvBTotal, Units(f, base + kLvBudget));
    Percent(f, base + kLvBPourcent, base + kLvBPeriode, base + kLvBReste);
  }
}

bool LevelPrintable(const ReportFieldTable& f, int level, bool allBreaks) {
  const int base = level == 1 ? kLevel1 : level == 2 ? kLevel2 : kLevel3;
  const int count = level == 1 ? kLevelCount1 : level == 2 ? kLevelCount2 : kLevelCount3;
  if (!allBreaks && f.GetFieldNumber(count) <= 1) return false;
  return Units(f, base + kLvPrevYear) != 0 || Units(f, base + kLvDebit) != 0 || Units(f, base + kLvCredit) != 0;
}

namespace {

// The letter of a group from the printable levels, in the order the group lists them.
char GroupLetter(char first, const std::array<bool, 3>& p, int fromLevel) {
  // Combinations of the levels from `fromLevel` to 3, most levels first.
  if (fromLevel == 1) {
    static constexpr std::array<std::array<bool, 3>, 8> kOrder = {{{true, true, true}, {true, true, false},
                                                                  {true, false, true}, {true, false, false},
                                                                  {false, true, true}, {false, true, false},
                                                                  {false, false, true}, {false, false, false}}};
    for (std::size_t i = 0; i < kOrder.size(); ++i)
      if (kOrder[i] == p) return static_cast<char>(first + i);
  } else if (fromLevel == 2) {
    const int i = p[1] && p[2] ? 0 : p[1] ? 1 : p[2] ? 2 : 3;
    return static_cast<char>(first + i);
  } else {
    return p[2] ? first : static_cast<char>(first + 1);
  }
  return first;
}

}  // namespace

char LineLetter(const std::string& previous, const std::string& current, char breakChoice, bool auxiliaryCodes,
                const std::array<bool, 3>& printable) {
  if (breakChoice == 'S' || previous == current) return 'B';
  const std::size_t from = auxiliaryCodes && !current.empty() && current[0] >= 'A' && current[0] <= 'Z' ? 1 : 0;
  auto at = [](const std::string& s, std::size_t i) { return i < s.size() ? s[i] : ' '; };
  if (at(previous, from) != at(current, from)) return GroupLetter('C', printable, 1);
  if (at(previous, from + 1) != at(current, from + 1)) return GroupLetter('K', printable, 2);
  if (at(previous, from + 2) != at(current, from + 2)) return GroupLetter('O', printable, 3);
  return 'B';
}

char EndLetter(char breakChoice, const std::array<bool, 3>& printable) {
  if (breakChoice == 'S') return 'X';
  return GroupLetter('Q', printable, 1);
}

void FillFecRow(ReportFieldTable& f, const std::array<std::string, 18>& row, long number) {
  f.SetFieldNumber(kXfNumLigne, static_cast<double>(number));
  for (int i = 0; i < 18; ++i) f.SetFieldText(kXfFirst + i, row[static_cast<std::size_t>(i)].c_str());
}

void FillCegidRecord(ReportFieldTable& f, const std::string& record) {
  f.SetFieldText(kXc1, record.substr(0, 93).c_str());
  f.SetFieldText(kXc2, record.size() > 93 ? record.substr(93).c_str() : "");
}

void FillResultLine(ReportFieldTable& f) {
  const long long r = Units(f, kResult);
  if (r == 0) return;
  f.SetFieldBalance(kValResultat, r);
  const std::string label = FillPlaceholder(LoadStr(kLabelResult), LoadStr(r > 0 ? kLoss : kProfit));
  f.SetFieldText(kLibResultat, label.c_str());
}

}  // namespace balances
