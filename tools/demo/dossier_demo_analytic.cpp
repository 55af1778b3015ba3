// The analytic side of the demo dossier: the sections of each axis and the split of every
// line of a charge or product account over one to three sections of each axis, in the currency
// its piece was typed in.
#include "demo/dossier_demo_internal.h"

namespace demo {
namespace {

constexpr int kSectionsPerAxis = 5;
constexpr int kMostParts = 3;
// How far a split point is moved, a cent at a time, to find parts that convert as they add up.
constexpr long long kSplitSearch = 400;

}  // namespace

void DemoWriter::MakeSections() {
  if (axes_ >= 1)
    for (const SectionDef& s : kDepartments) sections.push_back({s.code, s.name, {}});
  if (axes_ >= 2)
    for (const SectionDef& s : kRegions) sections.push_back({s.code, s.name, {}});
}

void DemoWriter::Split(int axis, const std::string& number, const Line& line, const Account& account,
                       long long francs, long long euros, bool cancelled, const Money& money) {
  const char headerKind = axis == 1 ? 'V' : 'X', lineKind = axis == 1 ? 'W' : 'Y';
  const char entry = money.EntryLetter();
  WriteRecord(headerKind, "", account.code, number, "", line, entry, francs, euros, cancelled);

  // Distinct sections of the axis, as many as the amount bears (a cent each at least).
  int parts = static_cast<int>(rng_.Between(1, kMostParts));
  while (parts > 1 && line.main < 100 * parts) --parts;
  std::array<int, kSectionsPerAxis> order{};
  for (int i = 0; i < kSectionsPerAxis; ++i) order[static_cast<std::size_t>(i)] = i;
  for (int i = 0; i < parts; ++i) {
    const int j = i + static_cast<int>(rng_.Next() % static_cast<std::uint64_t>(kSectionsPerAxis - i));
    std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
  }

  // Each part converts as the rest it is taken from, so the parts add up to the line in both
  // currencies.
  long long rest = line.main;
  for (int i = 0; i < parts && rest > 0; ++i) {
    long long part = rest;
    if (i + 1 < parts && rest >= 2) {
      const long long target = std::clamp<long long>(rest * rng_.Between(50, 150) / (100LL * (parts - i)), 1, rest - 1);
      for (long long d = 0; d < kSplitSearch && part == rest; ++d) {
        for (const long long candidate : {target + d, target - d}) {
          if (candidate < 1 || candidate >= rest) continue;
          if (money.Other(candidate) + money.Other(rest - candidate) == money.Other(rest)) {
            part = candidate;
            break;
          }
        }
      }
    }
    Section& section = sections[static_cast<std::size_t>((axis - 1) * kSectionsPerAxis + order[static_cast<std::size_t>(i)])];
    const long long f = money.Francs(part), e = money.Euros(part);
    WriteRecord(lineKind, section.code, account.code, number, Digits(i + 1, 4), line, entry, f, e, cancelled);
    if (!cancelled) section.totals.Add(line.sense, f, e);
    ++analyticLines;
    rest -= part;
  }
}

}  // namespace demo
