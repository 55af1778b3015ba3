// Numbers and amounts as text, and text as numbers. Amounts are doubles with
// two decimals, positive = debit ("Db"), negative = credit ("Cr").
// Results live in the StringRing or in fixed buffers, valid until the next
// call that uses the same buffer (see each function).
#pragma once

#include <string>

#include "runtime/dates.h"

// ring: value printed "%<width>.<decimals>f"; the width in asterisks when the
// width is above 20, decimals above 9, decimals > width - 2 (when not 0), or
// when the value does not fit. With zeroFill every blank becomes "0".
char* FormatNumber(int width, int decimals, bool zeroFill, double value);

// GroupText buffer: FormatNumber (width capped at 20) with blanks between
// groups of three integer digits, as far as the width leaves room.
char* GroupThousands(int width, int decimals, double value);

// AmountText buffer, 17 characters: the grouped amount in 14 then " Db",
// " Cr" or three blanks for a zero amount.
char* FormatAmount(double amount);
// Same without grouping.
char* FormatAmountPlain(double amount);

// An amount in cents grouped whole, as the reports print it: its sign, a blank between each group
// of three integer digits, its two decimals ("-1 234.50", "99 999 999 999.99"), right-aligned in
// `width` characters and wider when it needs more: never asterisks, never grouped in part.
std::string GroupedAmount(long long cents, int width);
// A balance as the reports print it: the amount without its sign grouped whole in 14 characters
// (wider past 999 999 999.99), then " Db", " Cr", or three blanks when zero. Up to
// 999 999 999.99 it is FormatAmount's text.
std::string BalanceAmount(long long cents);

// ValText: the first 20 characters, ". " read as ".0", blanks removed, then
// read as a decimal number with a point (atof); no digits give 0, a comma
// ends the number.
double Val(const char* text);

// Rounded half away from zero to n decimals (0-5); values beyond 14 integer
// digits give 0.
double Round(int decimals, double value);

// Equal when the difference prints as 0.00 (below a half-cent).
bool AmountsEqual(double a, double b);

double Abs(double value);

// Amount in integer cents (rounded half away from zero), for sums that must
// balance to the cent.
long long ToCents(double amount);
double FromCents(long long cents);
