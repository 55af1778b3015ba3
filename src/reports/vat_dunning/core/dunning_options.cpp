#include "reports/vat_dunning/core/dunning_options.h"

#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace dunning {
namespace {

std::string Stored(const std::string& display) {
  Ymd d;
  return ParseDisplayDate(display, d) ? StoredDateOf(d) : std::string(6, ' ');
}

int DaysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

}  // namespace

std::string OptionsText(const FormOptions& f) {
  std::string minimum = AllTrim(f.minimum.c_str());
  if (minimum.size() > 10) minimum.resize(10);
  std::string t = PadRight(f.firstAccount, 8) + PadRight(f.lastAccount, 8) + Stored(f.firstDate) + Stored(f.lastDate);
  t += f.dueDateTest ? 'O' : 'N';
  t += f.letterFilter;
  t += f.statement ? 'O' : 'N';
  t += std::string(10 - minimum.size(), ' ') + minimum;
  t += f.sense;
  t += PadRight(f.labelCodes, 10);
  t += f.euros ? 'O' : 'N';
  return t;
}

char OptionAt(const std::string& options, std::size_t position) {
  return position >= 1 && position <= options.size() ? options[position - 1] : ' ';
}

std::string OptionPart(const std::string& options, std::size_t position, std::size_t width) {
  return PadRight(position >= 1 && position <= options.size() ? options.substr(position - 1, width) : std::string(), width);
}

bool AddMonth(std::string& stored, bool monthEnd) {
  // The day is read as written: a day the month does not have (the 30th carried into February)
  // moves on with the month and is stepped back only if the month reached lacks it too.
  Ymd d;
  if (stored.size() != 6 || !ParseStoredDate(stored.substr(0, 4) + "01", d)) return false;
  const char t = stored[4], u = stored[5];
  if (t < '0' || t > '3' || u < '0' || u > '9') return false;
  d.day = (t - '0') * 10 + (u - '0');
  if (d.day < 1) return false;
  if (++d.month > 12) {
    d.month = 1;
    ++d.year;
  }
  const int last = DaysIn(d.year, d.month);
  if (monthEnd || d.day > last) d.day = last;
  const std::string moved = StoredDateOf(d);
  if (moved.empty()) return false;
  stored = moved;
  return true;
}

AgeingLimits ComputeAgeingLimits(const std::string& reference) {
  AgeingLimits l;
  Ymd r;
  if (!ParseStoredDate(reference, r)) return l;
  const bool monthEnd = r.day == DaysIn(r.year, r.month);
  const std::string day = reference.substr(4, 2);
  l.limit30 = reference;
  AddMonth(l.limit30, monthEnd);
  l.limit60 = l.limit30.substr(0, 4) + day;
  AddMonth(l.limit60, monthEnd);
  l.limit90 = l.limit60.substr(0, 4) + day;
  AddMonth(l.limit90, monthEnd);
  return l;
}

int AgeingBucket(const std::string& dueDate, const std::string& lineDate, const AgeingLimits& limits) {
  const std::string& reference = IsBlank(dueDate.c_str()) ? lineDate : dueDate;
  if (reference > limits.limit90) return 3;
  if (reference > limits.limit60) return 2;
  if (reference > limits.limit30) return 1;
  return 0;
}

std::string StarredAmount(double absolute) {
  // The digits right-aligned in 13 characters, wider when they need more: never asterisks alone.
  std::string text = AmountDigits(absolute);
  if (text.size() < 13) text.insert(0, 13 - text.size(), ' ');
  text[text.size() - 3] = ',';
  text = PaddedRight(std::move(text), 16);
  for (char& c : text)
    if (c == ' ') c = '*';
  return text;
}

}  // namespace dunning
