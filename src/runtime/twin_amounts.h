// Where an amount's twin limits it. Every amount is stored twice, in euros and in francs at the
// dossier's rate (francs for one euro), each in 14 characters with two decimals, so from
// -9 999 999 999.99 to 99 999 999 999.99. An amount is taken, typed or imported, only when it and
// its twin both fit: in every dossier, one kept only in euros too, whose lines, totals and other
// stations keep their francs for the day the dossier shows them again. At 6.55957 francs for a
// euro, a line takes at most 15 244 901 723,74 euros; a negative figure (a budget, a previous
// year's credit) at least -1 524 490 172,37 euros. These functions are the one place that says so.
#pragma once

// What 14 characters with two decimals hold, in cents.
inline constexpr long long kLargestStoredCents = 9'999'999'999'999;   //  99 999 999 999.99
inline constexpr long long kSmallestStoredCents = -999'999'999'999;   //  -9 999 999 999.99

// Whether 14 characters with two decimals hold the amount.
bool StoredAmountHolds(long long cents);

// The twin of an amount in euros (`euros`: its francs, the amount times the rate) or in francs (its
// euros, the amount divided by the rate), rounded to the cent as the forms convert it; 0 when the
// rate is not positive (no twin is kept then). Far past any field it is a value past every field.
long long TwinCents(long long cents, bool euros, double rate);

// Whether the amount and its twin both fit their fields.
bool AmountAndTwinHold(long long cents, bool euros, double rate);

// The largest amount, and the smallest (negative) one, in euros (`euros`) or in francs, that holds
// with its twin.
long long LargestAmountTaken(bool euros, double rate);
long long SmallestAmountTaken(bool euros, double rate);
