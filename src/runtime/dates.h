// Dates. Tables keep a StoredDate: six characters YYMMDD in which the years
// 1930-1999 keep their two digits and the years from 2000 write their
// decade as a letter (A0-A9 = 2000-2009, B = 2010s, C = 2020s, D = 2030s,
// E = 2040s ...), so a plain comparison orders them. The display form is
// DD/MM/YY. A two-digit year typed or shown means the year within
// [current year - 70, current year + 29].
// Buffers: ConvertDate alternates between two DateBuffers (a result survives
// the next conversion); EncodeYear, DecodeYear, NextDay and PrevDay share
// DateWork (valid until the next of them).
#pragma once

#include <string>
#include <string_view>

constexpr int kFirstStoredYear = 1930;
constexpr int kLastStoredYear = 2259;  // decade letter Z

// Stored YYMMDD <-> display DD/MM/YY. A text shorter than 6 gives "*" (ring);
// exactly 6 is a StoredDate, longer a display date.
char* ConvertDate(const char* date);

// Two-character year: display -> stored ("25" -> "C5", "35" -> "D5",
// "95" -> "95") and stored -> display ("C5" -> "25", "D5" -> "35").
char* EncodeYear(const char* year);
char* DecodeYear(const char* year);

// A stored date (6 characters) or a display date DD/MM/YY (8 characters)
// naming a real day (Gregorian leap years on the full year).
bool IsValidDate(const char* date);
// Day, month and a two-digit year.
bool IsValidDmy(int day, int month, int twoDigitYear);

// The following / preceding real day as a StoredDate (input stored or
// display; an invalid day walks to the next / previous valid one). Steps
// stop at 1930-01-01 and 2259-12-31.
char* NextDay(const char* date);
char* PrevDay(const char* date);

// Full-year helpers for code that must not read date positions raw.
struct Ymd {
  int year = 0;
  int month = 0;
  int day = 0;
};
// Year meant by a two-digit year (the 100-year window around this year).
int FullYearFromTwoDigits(int twoDigitYear);
// Test hook: the year the window is centred on (0 = the clock's year).
void SetDateWindowYear(int year);
bool IsValidYmd(const Ymd& date);
// Parsing (false when malformed or not a real day).
bool ParseStoredDate(std::string_view stored, Ymd& out);
bool ParseDisplayDate(std::string_view display, Ymd& out);
bool ParseYyyymmdd(std::string_view text, Ymd& out);
// Forming ("" when the year is outside 1930-2259 for the stored form).
std::string StoredDateOf(const Ymd& date);
std::string DisplayDateOf(const Ymd& date);  // DD/MM/YY
std::string YyyymmddOf(const Ymd& date);     // YYYYMMDD
std::string PrintDateOf(const Ymd& date);    // DD/MM/YYYY
// Day count, for differences and steps (days since 1970-01-01).
long DaysFromCivil(const Ymd& date);
Ymd CivilFromDays(long days);
// Today from the local clock.
Ymd Today();
// The day of a line of `month` (YYMM stored): a day past the month's end becomes its last day;
// a blank or unreadable day stays.
std::string FittedDay(const std::string& month, const std::string& day);
