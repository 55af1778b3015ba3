#include "reports/balances/core/trial_balance_options.h"

#include <algorithm>

#include "runtime/dates.h"

namespace balances {

TrialBalanceOptions::TrialBalanceOptions(const std::string& t) : text(t) { text.resize(kLength, ' '); }

std::string TrialBalanceOptions::Part(int p, int width) const {
  std::string out;
  for (int i = 0; i < width; ++i) out += At(p + i);
  return out;
}

void TrialBalanceOptions::SetPart(int p, int width, const std::string& value) {
  for (int i = 0; i < width; ++i)
    text[static_cast<std::size_t>(p - 1 + i)] = i < static_cast<int>(value.size()) ? value[static_cast<std::size_t>(i)] : ' ';
}

std::string TrialBalanceOptions::List() const {
  std::string list = Part(2, 26);
  while (!list.empty() && list.back() == ' ') list.pop_back();
  return list;
}

TrialBalanceOptions MakeOptions(char kind, const std::string& startStored, const std::string& endStored,
                                bool priorTotals, char breakLevel, char lettering, bool euros,
                                const std::string& startAccount, const std::string& endAccount,
                                const std::string& list, const std::string& act) {
  TrialBalanceOptions o;
  o.SetPart(1, 1, std::string(1, kind));
  o.SetPart(2, 26, list);
  o.SetPart(28, 8, startAccount);
  o.SetPart(36, 8, endAccount);
  o.SetPart(44, 6, startStored);
  o.SetPart(50, 6, endStored);
  o.SetPart(56, 1, priorTotals ? "O" : "N");
  o.SetPart(57, 1, std::string(1, breakLevel));
  o.SetPart(58, 1, std::string(1, lettering));
  o.SetPart(59, 2, act);
  o.SetPart(61, 1, euros ? "O" : "N");
  return o;
}

namespace {

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

// Year, month and day of a stored date whose day may be past the month's end.
bool SplitStored(const std::string& s, int& year, int& month, int& day) {
  if (s.size() != 6) return false;
  for (int i = 1; i < 6; ++i)
    if (s[static_cast<std::size_t>(i)] < '0' || s[static_cast<std::size_t>(i)] > '9') return false;
  const char c = s[0];
  const int unit = s[1] - '0';
  if (c >= '3' && c <= '9')
    year = 1900 + (c - '0') * 10 + unit;
  else if (c >= 'A' && c <= 'Z')
    year = 2000 + (c - 'A') * 10 + unit;
  else
    return false;
  month = (s[2] - '0') * 10 + (s[3] - '0');
  day = (s[4] - '0') * 10 + (s[5] - '0');
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

bool MonthBack(std::string& stored, bool monthEnd) {
  int year = 0, month = 0, day = 0;
  if (!SplitStored(stored, year, month, day)) return false;
  if (month >= 2) {
    --month;
  } else {
    month = 12;
    --year;
  }
  if (monthEnd) {
    if (day == 1) {
      // Already on the first: the last day of the month before.
      if (month >= 2) {
        --month;
      } else {
        month = 12;
        --year;
      }
    }
    day = DaysInMonth(year, month);
  }
  day = std::min(day, DaysInMonth(year, month));
  const std::string out = StoredDateOf(Ymd{year, month, day});
  if (out.empty()) return false;
  stored = out;
  return true;
}

int DaysBetweenIncluded(const std::string& first, const std::string& last) {
  Ymd a, b;
  if (!ParseStoredDate(first, a) || !ParseStoredDate(last, b)) return 1;
  const long n = DaysFromCivil(b) - DaysFromCivil(a);
  return n > 0 ? static_cast<int>(n) + 1 : 1;
}

PeriodFrame MakePeriodFrame(const TrialBalanceOptions& options, const std::string& yearStart,
                            const std::string& yearEnd) {
  PeriodFrame f;
  const std::string start = options.PeriodStart();
  int m = (start[2] - '0') * 10 + (start[3] - '0');
  if (m < 1 || m > 12) m = 1;
  for (int column = 1; column <= 12; ++column) {
    f.monthColumn[static_cast<std::size_t>(m)] = column;
    m = m == 12 ? 1 : m + 1;
  }
  const std::string end = options.PeriodEnd();
  const bool monthEnd = std::string(NextDay(end.c_str())).substr(4, 2) == "01";
  auto dayAfter = [](const std::string& d) { return std::string(ConvertDate(NextDay(d.c_str()))); };
  f.limit30 = end;
  MonthBack(f.limit30, monthEnd);
  f.limit60 = f.limit30.substr(0, 4) + end.substr(4, 2);
  MonthBack(f.limit60, monthEnd);
  f.limit90 = f.limit60.substr(0, 4) + end.substr(4, 2);
  MonthBack(f.limit90, monthEnd);
  f.date30 = dayAfter(f.limit30);
  f.date60 = dayAfter(f.limit60);
  f.date90 = dayAfter(f.limit90);
  f.daysInYear = DaysBetweenIncluded(yearStart, yearEnd);
  f.daysInPeriod = DaysBetweenIncluded(start, end);
  return f;
}

}  // namespace balances
