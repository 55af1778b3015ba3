// The largest amounts a line takes, decided from a dossier's parity once for a walk over its lines:
// the balances read their lines on several threads, each of which gets its dossier's bounds.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "data/record_fields.h"
#include "runtime/dossier_record.h"
#include "runtime/twin_amounts.h"

namespace {

// Cents as a line's amount is stored: "   1234.56".
std::string Stored(long long cents) {
  const long long whole = (cents < 0 ? -cents : cents) / 100, part = (cents < 0 ? -cents : cents) % 100;
  std::string text = (cents < 0 ? "-" : "") + std::to_string(whole) + "." + (part < 10 ? "0" : "") + std::to_string(part);
  return std::string(text.size() < 14 ? 14 - text.size() : 0, ' ') + text;
}

// Threads reading the lines of two dossiers of different parities side by side, each thread both in
// turn and the open dossier's through LargestLineCents: each reading gets its own dossier's bound,
// and an amount past it does not read while the bound itself does.
TEST(LineBoundsTest, ThreadsReadingDossiersOfDifferentParitiesEachGetTheirOwnBound) {
  DossierRecord francs, marks;
  francs.SetParity(6.55957);
  marks.SetParity(1.95583);
  const long long francsBound = LargestAmountTaken(true, 6.55957), marksBound = LargestAmountTaken(true, 1.95583);
  ASSERT_EQ(francsBound, 1'524'490'172'374);
  ASSERT_NE(francsBound, marksBound);
  const DossierRecord openBefore = TheDossierRecord;
  TheDossierRecord.SetParity(0);  // a dossier in francs alone: its euros take what their field holds

  std::atomic<long> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5000; ++i) {
        const bool first = (i + t) % 2 == 0;
        const LineBounds b = LineBoundsOf(first ? francs : marks);
        const long long bound = first ? francsBound : marksBound;
        bool past = true, at = true;
        if (b.euros != bound || b.francs != kLargestStoredCents) ++wrong;
        if (LineAmountCents(Stored(bound + 1), Stored(1), b.euros, &past) != 0 || past) ++wrong;
        if (LineAmountCents(Stored(bound), Stored(1), b.euros, &at) != bound || !at) ++wrong;
        if (LargestLineCents(true) != kLargestStoredCents) ++wrong;
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  TheDossierRecord = openBefore;
}

// An amount up to the bound reads; below zero it reads only beside a twin above zero (the opening
// balance written in credit with both amounts negated), which is read only then.
TEST(LineBoundsTest, AnAmountBelowZeroReadsOnlyBesideATwinAboveZero) {
  const long long bound = LargestAmountTaken(true, 6.55957);
  const struct {
    std::string text, twin;
    long long cents;
    bool reads;
  } cases[] = {
      {Stored(12345), "not a number", 12345, true},   {Stored(-1000), Stored(6560), -1000, true},
      {Stored(-1000), Stored(0), 0, false},           {Stored(-1000), "x", 0, false},
      {Stored(-1000), Stored(-6560), 0, false},       {Stored(-bound), Stored(1), -bound, true},
      {Stored(-bound - 1), Stored(1), 0, false},      {"99999999999999", "", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.twin);
    bool readable = true;
    EXPECT_EQ(LineAmountCents(c.text, c.twin, bound, &readable), c.cents);
    EXPECT_EQ(readable, c.reads);
  }
}

// A line's two amounts read together (the walks over many lines: the balances, the check of the
// books) read each as LineAmountCents reads it against the other: below zero only beside a twin
// above zero as its text reads, past its own bound never, a text that is no number never; the
// count is that of the amounts that do not read.
TEST(LineBoundsTest, TwoAmountsReadTogetherAsEachReadsAlone) {
  const LineBounds bounds{kLargestStoredCents, LargestAmountTaken(true, 6.55957)};
  const std::vector<std::string> texts = {Stored(12345),          Stored(-1000),          Stored(6560),
                                          Stored(-6560),          Stored(0),              "x",
                                          "",                     Stored(bounds.euros),   Stored(bounds.euros + 1),
                                          Stored(-bounds.euros),  "99999999999999",       " 1e3",
                                          Stored(kLargestStoredCents)};
  for (const std::string& francs : texts)
    for (const std::string& euros : texts) {
      SCOPED_TRACE(francs + " / " + euros);
      bool francsRead = true, eurosRead = true;
      const long long f = LineAmountCents(francs, euros, bounds.francs, &francsRead);
      const long long e = LineAmountCents(euros, francs, bounds.euros, &eurosRead);
      long long cents[2] = {-1, -1};
      EXPECT_EQ(LineAmountsCents(francs, euros, bounds, cents), (francsRead ? 0 : 1) + (eurosRead ? 0 : 1));
      EXPECT_EQ(cents[0], f);
      EXPECT_EQ(cents[1], e);
    }
}

}  // namespace
