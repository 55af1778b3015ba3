// The amounts the windows show, checked as a bookkeeper reads them: at 1, 10 million, a billion and
// 99 999 999 999,99 and their negatives, each shown whole, grouped by threes, with its sign or its
// side, never in asterisks (the windows' own checks of a text cut by its control are in gui_test.h).
// The expected text is written here on its own, digit by digit, so that a formatter that groups in
// part, stops at a width or drops a side is told apart from the one it should be.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>


namespace test_support {

// The sweep's amounts, in cents: 1, 10 million, a billion, 99 999 999 999.99, then their negatives.
inline const std::vector<long long>& SweepCents() {
  static const std::vector<long long> cents = {100,  1'000'000'000,  100'000'000'000,  9'999'999'999'999,
                                               -100, -1'000'000'000, -100'000'000'000, -9'999'999'999'999};
  return cents;
}

// The widest euros a line takes at the parity of 6,55957: 15 244 901 723,74, whose francs are the
// widest the franc field holds (99 999 999 999,99). As many digits as the widest stored amount.
constexpr long long kWidestLineEuroCents = 1'524'490'172'374;

// The sweep's amounts as lines take them in both currencies: the widest stored amount and its
// negative give way to the widest line in euros.
inline const std::vector<long long>& LineSweepCents() {
  static const std::vector<long long> cents = [] {
    std::vector<long long> c = SweepCents();
    for (long long& a : c)
      if (a > kWidestLineEuroCents || a < -kWidestLineEuroCents) a = a < 0 ? -kWidestLineEuroCents : kWidestLineEuroCents;
    return c;
  }();
  return cents;
}

// An amount (without its sign) as the lines that make it up: as many of the widest a line takes as
// it holds, then the rest.
inline std::vector<long long> LineParts(long long cents) {
  std::vector<long long> parts;
  for (long long left = cents < 0 ? -cents : cents; left > 0; left -= parts.back())
    parts.push_back(std::min(left, kWidestLineEuroCents));
  return parts;
}

// The most a field of 14 characters stores of the sweep's amounts: a negative past
// -9 999 999 999.99 does not fit its sign in, and that one is its widest.
inline long long Storable(long long cents) { return cents < -999'999'999'999 ? -999'999'999'999 : cents; }

// "1 234 567.89" for 123456789 cents (no sign), with the decimal `mark`.
inline std::string GroupedDigits(long long cents, char mark = '.') {
  const unsigned long long a = cents < 0 ? 0ULL - static_cast<unsigned long long>(cents) : static_cast<unsigned long long>(cents);
  const std::string units = std::to_string(a / 100);
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    out += units[i];
    const std::size_t left = units.size() - i - 1;
    if (left > 0 && left % 3 == 0) out += ' ';
  }
  const unsigned long long hundredths = a % 100;
  out += mark;
  out += static_cast<char>('0' + hundredths / 10);
  out += static_cast<char>('0' + hundredths % 10);
  return out;
}

// How an amount stands in its text: with its minus sign, with its side ("Db" / "Cr"), or without
// either (a column of debits).
enum class Shown { kSigned, kSided, kBare };

// The amount as it should read: "-1 234.50", "1 234.50 Cr", "1 234.50".
inline std::string ExpectedAmount(long long cents, Shown shown, char mark = '.') {
  const std::string digits = GroupedDigits(cents, mark);
  switch (shown) {
    case Shown::kSigned: return (cents < 0 ? "-" : "") + digits;
    case Shown::kSided: return digits + (cents > 0 ? " Db" : cents < 0 ? " Cr" : "");
    case Shown::kBare: return digits;
  }
  return digits;
}

// "" when `text` shows the amount as it should read and holds no asterisk; else the fault, naming
// `where`. The amount stands on its own: neither a digit nor a blank-separated group of digits
// (a grouping in part) touches it.
inline std::string AmountFault(const std::string& where, const std::string& text, long long cents, Shown shown,
                               char mark = '.') {
  const std::string want = ExpectedAmount(cents, shown, mark);
  if (text.find('*') != std::string::npos) return where + ": asterisks in '" + text + "' for '" + want + "'";
  for (std::size_t at = text.find(want); at != std::string::npos; at = text.find(want, at + 1)) {
    // Neither a digit, nor a group of digits and its blank (the amount would be part of a longer
    // one), nor a sign it should not have stands before it.
    const bool digitBefore = at > 0 && (std::isdigit(static_cast<unsigned char>(text[at - 1])) ||
                                        (shown != Shown::kSigned && text[at - 1] == '-') ||
                                        (text[at - 1] == ' ' && at > 1 && std::isdigit(static_cast<unsigned char>(text[at - 2]))));
    const std::size_t end = at + want.size();
    const bool digitAfter = end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]));
    if (!digitBefore && !digitAfter) return {};
  }
  return where + ": '" + text + "' does not show '" + want + "'";
}

// "" when every amount of `text` (digits with blanks, then two decimals) is grouped whole by threes
// and no asterisk stands in it; else the fault: for a text whose amounts the test does not know.
inline std::string GroupedFault(const std::string& where, const std::string& text) {
  if (text.find('*') != std::string::npos) return where + ": asterisks in '" + text + "'";
  for (std::size_t mark = text.find_first_of(".,"); mark != std::string::npos; mark = text.find_first_of(".,", mark + 1)) {
    auto digit = [&text](std::size_t i) { return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); };
    if (mark == 0 || !digit(mark - 1) || !digit(mark + 1) || !digit(mark + 2) || digit(mark + 3)) continue;
    // The groups before the mark, right to left: whole groups of three, then one of one to three
    // digits; a longer run of digits next to them is an amount grouped in part, or not at all.
    std::size_t at = mark;
    for (;;) {
      std::size_t from = at;
      while (from > 0 && std::isdigit(static_cast<unsigned char>(text[from - 1]))) --from;
      const std::size_t digits = at - from;
      if (digits > 3) return where + ": '" + text.substr(from, mark + 3 - from) + "' is not grouped whole in '" + text + "'";
      if (digits < 3 || from < 2 || text[from - 1] != ' ' || !std::isdigit(static_cast<unsigned char>(text[from - 2]))) break;
      at = from - 1;
    }
  }
  return {};
}

// The faults gathered over a sweep, each once, reported at its end.
struct SweepFaults {
  std::vector<std::string> faults;
  void Add(const std::string& fault) {
    if (!fault.empty() && std::find(faults.begin(), faults.end(), fault) == faults.end()) faults.push_back(fault);
  }
  void Report() const {
    for (const std::string& f : faults) ADD_FAILURE() << f;
  }
};

}  // namespace test_support
