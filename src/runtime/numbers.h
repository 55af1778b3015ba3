// Numbers as text and text as numbers, amounts in cents. Amounts are doubles
// with two decimals, positive = debit ("Db"), negative = credit ("Cr"); shown
// or said, they are written by the amounts' family of runtime/text.h.
// Results live in the StringRing or in fixed buffers, valid until the next
// call that uses the same buffer (see each function).
#pragma once

#include <string>

#include "runtime/dates.h"

// ring: value printed "%<width>.<decimals>f"; the width in asterisks when the
// width is above 20, decimals above 9, decimals > width - 2 (when not 0), or
// when the value does not fit. With zeroFill every blank becomes "0". A number
// (a count, a rate, a field of the report engine); an amount shown or said is
// written by the amounts' family of runtime/text.h.
char* FormatNumber(int width, int decimals, bool zeroFill, double value);

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
