#include "runtime/twin_amounts.h"

#include <algorithm>
#include <cmath>

#include "runtime/numbers.h"

namespace {

// Past every field: what a twin too wide for a double's exact cents is taken as.
constexpr long long kFarPast = kLargestStoredCents * 1000;

// The amount nearest `estimate` (cents) on the side of `bound` that holds with its twin, walked a
// cent at a time from the estimate (the rounding of the twin moves it by a cent or two at most).
long long Bound(bool euros, double rate, long long bound, double estimate) {
  const long long step = bound > 0 ? 1 : -1;
  long long x = static_cast<long long>(estimate);
  x = bound > 0 ? std::clamp(x, 0LL, bound) : std::clamp(x, bound, 0LL);
  while (x != 0 && !AmountAndTwinHold(x, euros, rate)) x -= step;
  while (x != bound && AmountAndTwinHold(x + step, euros, rate)) x += step;
  return x;
}

}  // namespace

bool StoredAmountHolds(long long cents) { return cents >= kSmallestStoredCents && cents <= kLargestStoredCents; }

long long TwinCents(long long cents, bool euros, double rate) {
  if (!(rate > 0) || !std::isfinite(rate)) return 0;
  const double value = euros ? FromCents(cents) * rate : FromCents(cents) / rate;
  if (!std::isfinite(value) || std::fabs(value) >= 1e13) return value < 0 ? -kFarPast : kFarPast;
  return ToCents(Round(2, value));
}

bool AmountAndTwinHold(long long cents, bool euros, double rate) {
  return StoredAmountHolds(cents) && StoredAmountHolds(TwinCents(cents, euros, rate));
}

long long LargestAmountTaken(bool euros, double rate) {
  if (!(rate > 0) || !std::isfinite(rate)) return kLargestStoredCents;
  const double largest = static_cast<double>(kLargestStoredCents);
  return Bound(euros, rate, kLargestStoredCents, euros ? largest / rate : largest * rate);
}

long long SmallestAmountTaken(bool euros, double rate) {
  if (!(rate > 0) || !std::isfinite(rate)) return kSmallestStoredCents;
  const double smallest = static_cast<double>(kSmallestStoredCents);
  return Bound(euros, rate, kSmallestStoredCents, euros ? smallest / rate : smallest * rate);
}
