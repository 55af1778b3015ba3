// The choices of a trial balance: the 77-character text the limits form writes into the
// report window's registry entry, read by position, and the working state the walk derives
// from it and from the dossier (month columns, ageing limits, excluded journals).
#pragma once

#include <array>
#include <string>

namespace balances {

// Lettering filter of position 58.
enum class LetteringChoice : char {
  kAll = '1',              // every line
  kUnlettered = '2',       // unlettered lines only
  kLettered = '3',         // lettered lines only
  kUnletteredPlus = '4',   // unlettered lines, the lettered ones cumulated apart
  kLetteredPlus = '5',     // lettered lines, the unlettered ones cumulated apart
};

struct TrialBalanceOptions {
  static constexpr int kLength = 77;

  std::string text;  // always kLength characters, blank-filled

  TrialBalanceOptions() : text(kLength, ' ') {}
  explicit TrialBalanceOptions(const std::string& t);

  // Position p (1-based) of the text, blank beyond its end.
  char At(int p) const { return p >= 1 && p <= static_cast<int>(text.size()) ? text[p - 1] : ' '; }
  std::string Part(int p, int width) const;
  void SetPart(int p, int width, const std::string& value);  // blank-padded or cut

  char Kind() const { return At(1); }
  std::string List() const;            // 2-27, right-trimmed
  std::string StartAccount() const { return Part(28, 8); }
  std::string EndAccount() const { return Part(36, 8); }
  std::string PeriodStart() const { return Part(44, 6); }  // stored YYMMDD
  std::string PeriodEnd() const { return Part(50, 6); }
  bool PriorTotals() const { return At(56) == 'O'; }
  char BreakLevel() const { return At(57); }
  char Lettering() const { return At(58); }
  std::string Act() const { return Part(59, 2); }
  bool ActGiven() const { return Act() != "  "; }
  bool Euros() const { return At(61) == 'O'; }
  int Currency() const { return Euros() ? 1 : 0; }
};

// Builds the text from its parts (the tests and the benchmarks use it as the form does).
TrialBalanceOptions MakeOptions(char kind, const std::string& startStored, const std::string& endStored,
                                bool priorTotals = false, char breakLevel = 'S', char lettering = '1',
                                bool euros = true, const std::string& startAccount = "",
                                const std::string& endAccount = "", const std::string& list = "",
                                const std::string& act = "");

// The working state the walk derives once per list.
struct PeriodFrame {
  std::array<int, 13> monthColumn{};  // calendar month 1-12 -> column 1-12
  std::string limit30, limit60, limit90;  // stored YYMMDD ageing limits
  std::string date30, date60, date90;     // the day after each, DD/MM/YY
  int daysInYear = 0;
  int daysInPeriod = 0;
};

// One month back on a stored date, in place, as the ageing limits step: the month before
// (January to December of the previous year), with the month-end flag at the last day of that
// month, then back to the last valid day. False (unchanged) for a date that is not a date.
bool MonthBack(std::string& stored, bool monthEnd);

// Month columns from the period start, ageing limits from the period end, day counts from the
// financial year's first and last days (stored YYMMDD).
PeriodFrame MakePeriodFrame(const TrialBalanceOptions& options, const std::string& yearStart,
                            const std::string& yearEnd);

// Days from `first` to `last` (stored dates), both included; 1 when first is not before last.
int DaysBetweenIncluded(const std::string& first, const std::string& last);

}  // namespace balances
