// The options text of a dunning, statement or supplier-payment run: 53 characters that the
// options form writes into the open-window registry and the report window copies before each
// run, with the ageing dates of a schedule of due dates.
//
//   1-8 first account (during a run: the account being processed)   9-16 last account
//   17-22 first line date, 23-28 last line date (stored YYMMDD)      29 "N": no test on due dates
//   30 matching filter "1" all, "2" unmatched, "3" matched           31 "O": with statement
//   32-41 minimum balance, right-aligned                              42 sense "D", "C" or "T"
//   43-52 label codes of the lines to take (blank: all)               53 "O": amounts in euros
#pragma once

#include <string>

namespace dunning {

constexpr std::size_t kOptionsLength = 53;

// What the options form holds, as typed.
struct FormOptions {
  std::string firstAccount, lastAccount;
  std::string firstDate, lastDate;  // DD/MM/YY
  bool dueDateTest = true;
  char letterFilter = '2';
  bool statement = true;
  std::string minimum;  // as typed, at most 10 characters
  char sense = 'D';
  std::string labelCodes;
  bool euros = true;
};

// The 53-character options text of a form.
std::string OptionsText(const FormOptions& form);

// The option at a 1-based position, blank when the text is shorter.
char OptionAt(const std::string& options, std::size_t position);
// The part at 1-based `position` of `width` characters, blank-padded.
std::string OptionPart(const std::string& options, std::size_t position, std::size_t width);

// A stored date moved one month on. With `monthEnd` the last day of the month reached; otherwise
// the same day, stepped back to the last valid day of that month. The year follows (Dec 2029
// gives Jan 2030, written with the decade letter "D"). A text that is not a stored date is left
// as it is; the answer is false then.
bool AddMonth(std::string& stored, bool monthEnd);

// The ageing limits of a schedule whose reference date is `reference` (stored): 30, 60 and 90
// days, each a month on from the one before, at the month ends when the reference is one.
struct AgeingLimits {
  std::string limit30, limit60, limit90;
};
AgeingLimits ComputeAgeingLimits(const std::string& reference);

// The bucket of a line: 0 up to 30 days, 1 from 30 to 60, 2 from 60 to 90, 3 beyond 90. The
// reference is the due date when there is one, else the line date; stored dates compare as text.
int AgeingBucket(const std::string& dueDate, const std::string& lineDate, const AgeingLimits& limits);

// The balance in its starred form (16 characters): "******1234,50***", "99999999999,99**" for the widest
// balance, its digits always whole.
std::string StarredAmount(double absolute);

}  // namespace dunning
