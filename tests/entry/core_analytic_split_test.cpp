// The analytic split without a window: the account text read tag by tag (one table), the default split of a
// general line with its sections' totals, the header kept in step, the renumbering of an axis and its limit,
// the balancing decisions (one table), a save refused by another station's lock, and random sequences of
// lines added, typed, cancelled, reactivated, balanced and quit keeping every section's totals equal to its
// live lines. Every path that appends to the draft refuses on a full one.
#include <functional>
#include <random>

#include "core_fixture.h"
#include "draft_limit.h"
#include "data/account_totals.h"
#include "data/closed_lines.h"
#include "data/draft_lines.h"
#include "entry/core/analytic_split.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/line_files.h"
#include "support/other_process.h"

namespace entry_test {
namespace {

using namespace entry;
using namespace posting;

// ---- the account text -----------------------------------------------------------------------------------

TEST(AnalyticSplitText, EachTagIsReadAlone) {
  struct Part {
    const char* section;
    double percent;
  };
  const struct Case {
    const char* text;
    int axis;
    std::vector<Part> parts;
    SplitTextFault fault = SplitTextFault::None;
    int faultLine = 0;
  } cases[] = {
      {"CA1=CH-ARTAS %=60\r\nCA1=VENTES  %=40\r\n", 1, {{"CH-ARTAS", 60}, {"VENTES", 40}}},
      {"CA1=CH-ARTAS\r\nCA1=VENTES", 1, {{"CH-ARTAS", 100}, {"VENTES", 100}}},
      // A short code before a line break stops there: no line break, no next line in the section.
      {"CA1=S1\r\nCA2=NORD", 1, {{"S1", 100}}},
      {"CA1=S1\nRemarque", 1, {{"S1", 100}}},
      {"CA1=S1", 1, {{"S1", 100}}},
      {"CA1=ch-artas%=50", 1, {{"CH-ARTAS", 50}}},
      {"ca1=S1 %=50", 1, {}},
      {"Rien d'analytique ici", 1, {}},
      // A tag without a percentage keeps its 100 %, and the next tag keeps its own.
      {"CA1=S1\r\nCA1=S2 %=30", 1, {{"S1", 100}, {"S2", 30}}},
      // The percentage on the following line, as the editor's keyword list puts it.
      {"CA1=S1\r\n%=25\r\nCA1=S2\r\n%=75", 1, {{"S1", 25}, {"S2", 75}}},
      {"CA1=S1 %=33,5", 1, {{"S1", 33.5}}},
      {"CA1=A %=10\r\nCA2=B %=20\r\nCA2=C", 2, {{"B", 20}, {"C", 100}}},
      {"CA1=A %=10\r\nCA2=B %=20", 1, {{"A", 10}}},
      {"Ventilation\r\nCA1=\r\nCA1=S2", 1, {}, SplitTextFault::NoSection, 2},
      {"CA1=   %=40", 1, {}, SplitTextFault::NoSection, 1},
      {"CA1=S1 %=abc", 1, {}, SplitTextFault::BadPercent, 1},
      {"CA1=S1 %=150", 1, {}, SplitTextFault::BadPercent, 1},
      {"CA1=S1\r\nCA1=SECTIONTROPLONGUE", 1, {}, SplitTextFault::LongSection, 2},
  };
  for (const Case& c : cases) {
    const DefaultSplitText got = ParseDefaultSplit(c.text, c.axis);
    EXPECT_EQ(got.fault, c.fault) << c.text;
    EXPECT_EQ(got.faultLine, c.faultLine) << c.text;
    ASSERT_EQ(got.parts.size(), c.parts.size()) << c.text;
    for (std::size_t i = 0; i < c.parts.size(); ++i) {
      EXPECT_EQ(got.parts[i].section, c.parts[i].section) << c.text;
      EXPECT_DOUBLE_EQ(got.parts[i].percent, c.parts[i].percent) << c.text;
      for (char ch : got.parts[i].section) EXPECT_GE(static_cast<unsigned char>(ch), 0x20) << c.text;
    }
  }
}

// ---- the balancing decisions ----------------------------------------------------------------------------

TEST(AnalyticSplitBalancing, WhatEachRemainderAsks) {
  const double rate = 6.55957;
  // "Solder la Pièce": the opposite of the remainder put in the line, a negative amount on the credit side.
  const struct Amount {
    bool euros, convert;
    long long f, e;
    char sense;
    long long wantF, wantE;
  } amounts[] = {
      {true, true, -65596, -10000, 'C', 65596, 10000},
      {true, true, 65596, 10000, 'D', 65596, 10000},
      {false, true, -100000, -15245, 'C', 100000, 15245},
      {true, false, -1, 0, ' ', 0, 0},       // a rounding line in euros: no euro remainder, nothing
      {false, false, -1, 0, 'C', 1, 0},      // a rounding line in francs carries the franc alone
      {true, true, 0, 0, ' ', 0, 0},
  };
  for (const Amount& a : amounts) {
    const BalancingAmount b = BalancingAmountOf(a.euros, a.convert, a.f, a.e, rate);
    EXPECT_EQ(b.sense, a.sense) << a.f << " " << a.e;
    EXPECT_EQ(b.francs, a.wantF) << a.f << " " << a.e;
    EXPECT_EQ(b.euros, a.wantE) << a.f << " " << a.e;
  }
  // After the save: the rounding line asked for, and what Enter in an amount asks of the lines window.
  const struct After {
    bool euros, euroOnly;
    long long remF, remE;
    int rounding;
    bool closeList;
    int pending;
  } afters[] = {
      {true, false, 1, 0, 1, false, 1},   // typed in euros, a franc cent left
      {false, false, 0, -1, 2, false, 2}, // typed in francs, a euro cent left
      {true, true, 1, 0, 0, true, 0},     // euro-only: the francs are not looked at
      {true, false, 0, 0, 0, true, 0},
      {true, false, 5000, 800, 1, false, 0},  // unbalanced in both: a new line for the rest
      {false, false, -300, 0, 0, false, 0},
  };
  for (const After& a : afters) {
    EXPECT_EQ(RoundingAfterBalancing(a.euros, a.euroOnly, a.remF, a.remE), a.rounding) << a.remF << " " << a.remE;
    const AfterAmount next = AfterAmountEntered(a.euros, a.euroOnly, a.remF, a.remE);
    EXPECT_EQ(next.closeList, a.closeList) << a.remF << " " << a.remE;
    EXPECT_EQ(next.pending, a.pending) << a.remF << " " << a.remE;
  }
  // "Solder le Compte": the line's loaded amounts count only in the section it was loaded with.
  const struct Section {
    long long debitF, creditF;
    bool same;
    long long loadedF, want;
  } sections[] = {
      {15000, 0, false, 0, -15000},      // the other lines total 150.00 debit: 150.00 credit
      {17000, 0, true, 2000, -15000},    // the line's own 20.00 debit is in these totals
      {15000, 0, false, 2000, -15000},   // another section: the loaded 20.00 are not in its totals
      {5000, 20000, false, 0, 15000},
  };
  for (const Section& s : sections)
    EXPECT_EQ(SectionBalancingAmounts(s.debitF, 0, s.creditF, 0, s.same, s.loadedF, 0).first, s.want) << s.debitF;
}

// ---- on a generated dossier -----------------------------------------------------------------------------

class SplitTest : public CoreTest {
 protected:
  char AnalyticMode() const override { return '1'; }
  // Whatever a test did to the split, the books keep their rules.
  void TearDown() override {
    if (!HasFatalFailure()) {
      DossierInvariants check;
      EXPECT_TRUE(check.Check()) << "when the test ends\n" << check.Report();
    }
    CoreTest::TearDown();
  }
  // The first live general line on an account without a split, and the key of a split of 1,000.00 francs
  // (credit when `credit`) asked for it on the first axis.
  SplitKey FreeLine(bool credit, long long francs = 100000, int skip = 0) {
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
      const std::string account = c50.GetField(L::BCODE);
      if (account[0] == '6' || account[0] == '7' || IsAuxiliaryAccount(account) || skip-- > 0) continue;
      const long long euros = ToCents(Round(2, FromCents(francs) / TheDossierRecord.Parity()));
      return SplitKey::Of(L::Key(c50), account, 'V', c50.GetField(L::BJOUR), c50.GetField(L::BCLIB), c50.GetField(L::BLIB),
                          credit ? -francs : francs, credit ? -euros : euros);
    }
    ADD_FAILURE() << "no line without a split";
    return {};
  }
  std::array<long long, 4> Section(const std::string& code) {
    std::string key = code;
    key.resize(8, ' ');
    if (!TableC30->Seek("C30CODE", key.c_str()) || TableC30->MatchKey(key.c_str(), 8, 1) == '#') return {0, 0, 0, 0};
    return {ToCents(TableC30->GetFieldNum(9)), ToCents(TableC30->GetFieldNum(10)), ToCents(TableC30->GetFieldNum(11)),
            ToCents(TableC30->GetFieldNum(12))};
  }
  // The lines of the key's axis (cancelled ones too): number and section.
  std::vector<std::pair<std::string, std::string>> SplitLines(const SplitKey& key) {
    std::vector<std::pair<std::string, std::string>> out;
    const std::string lines = key.LinesKey();
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, lines.c_str()); more; more = c50.Skip(1)) {
      if (!MatchSplitLines(c50, lines).HoldsKey()) break;
      out.emplace_back(c50.GetField(L::BNUMA), RTrim(c50.GetField(L::BCODE)));
    }
    return out;
  }
};

// The Part's example: 1,000.00 francs debit split 60 % and 40 %, the euros converted, both sections' debit
// totals grown; a second opening makes nothing more.
TEST_F(SplitTest, TheDefaultSplitOfTheAccountText) {
  const SplitKey key = FreeLine(false);
  const auto artasBefore = Section("CH-ARTAS"), ventesBefore = Section("VENTES");
  bool created = false;
  ASSERT_EQ(KeepSplitHeader(c50, c60, key, &created), SplitOpening::Opened);
  EXPECT_TRUE(created);
  long made = 0;
  EXPECT_EQ(MakeDefaultSplit(c50, c60, key, "CA1=CH-ARTAS %=60\r\nCA1=VENTES  %=40\r\n", 6.55957, false, nullptr, &made),
            DefaultSplitOutcome::Made);
  EXPECT_EQ(made, 2);
  const auto lines = SplitLines(key);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::make_pair(std::string("0001"), std::string("CH-ARTAS")));
  EXPECT_EQ(lines[1], std::make_pair(std::string("0002"), std::string("VENTES")));
  EXPECT_EQ(Section("CH-ARTAS")[0] - artasBefore[0], 60000);
  EXPECT_EQ(Section("CH-ARTAS")[1] - artasBefore[1], ToCents(Round(2, 600.0 / 6.55957)));
  EXPECT_EQ(Section("VENTES")[0] - ventesBefore[0], 40000);
  EXPECT_EQ(Section("VENTES")[1] - ventesBefore[1], ToCents(Round(2, 400.0 / 6.55957)));
  ASSERT_EQ(KeepSplitHeader(c50, c60, key, &created), SplitOpening::Opened);
  EXPECT_FALSE(created) << "a second opening finds its header";
  EXPECT_EQ(SplitLines(key).size(), 2u);
  // The split adds up to the line in francs.
  EXPECT_EQ(ComputeSplitRemainder(c50, key.LinesKey(), nullptr).RemainderFrancs(), 0);

  // Short codes before line breaks: no control character reaches a section code, in C30 or in C50.
  const SplitKey other = FreeLine(false, 100000, 1);
  ASSERT_EQ(KeepSplitHeader(c50, c60, other, nullptr), SplitOpening::Opened);
  ASSERT_EQ(MakeDefaultSplit(c50, c60, other, "CA1=S1\r\nCA1=S2\n%=40\rCA1=S3", 6.55957, false), DefaultSplitOutcome::Made);
  EXPECT_EQ(SplitLines(other), (std::vector<std::pair<std::string, std::string>>{{"0001", "S1"}, {"0002", "S2"}, {"0003", "S3"}}));
  auto clean = [](const std::string& code) {
    return std::none_of(code.begin(), code.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  };
  for (std::uint32_t r = 1; r <= TableC30->RecCount(); ++r) {
    if (TableC30->GoTo(r)) {
      EXPECT_TRUE(clean(TableC30->GetField(1))) << r;
    }
  }
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
    if (c50.GoTo(r)) {
      EXPECT_TRUE(clean(c50.GetField(L::BCODE))) << r;
    }
  }
  ExpectInvariants("after the default split");
}

// A credit of 2 000 000 000,00 € on a line (-13 119 140 000,00 F: a minus and fifteen characters), which the
// 14 characters of the key the line form hands over cannot hold in francs: they stand there as asterisks, which
// read as 0. The header and the default split take the amounts from the line as saved: each section gets the
// whole amount in both currencies, sense "C", and the split balances the line. A line whose saved amount does
// not read either gets no header and no split; a key whose amounts are not whole makes no default split.
TEST_F(SplitTest, ACreditPastTheKeysFrancsIsSplitFromTheLine) {
  const long long francs = 1'311'914'000'000, euros = 200'000'000'000;
  // The line as saved: a credit of 2 000 000 000,00 €, its francs whole.
  // Its account's and journal-month's totals moved with it, so that the books keep their rules.
  auto saved = [&](const SplitKey& free, const std::vector<FieldWrite>& fields) {
    ASSERT_TRUE(c50.Seek(L::kCodeTag, free.GeneralLineKey().c_str()));
    const std::string account = c50.GetField(L::BCODE);
    const std::string header = DraftHeaderCode(c50.GetField(L::BMOIS), c50.GetField(L::BJAL));
    TotalsCents move = LineMove(c50).Negated();
    const test_support::SetUpPermit permit("ligne enregistree");
    ASSERT_TRUE(LockRecord(c50, nullptr, 0));
    ASSERT_TRUE(WriteRecordFields(c50, fields));
    UnlockRecord(c50);
    move += LineMove(c50);
    TotalsMoves moves;
    moves.Account(account, move);
    moves.Header(header, move);
    ASSERT_TRUE(moves.Make());
  };
  auto keyOf = [&](const SplitKey& free) {
    return SplitKey::Of(free.GeneralLineKey(), free.Account(), 'V', free.Day(), free.LabelCode(), free.Label(),
                        -francs, -euros);
  };
  const SplitKey line = FreeLine(true);
  saved(line, {{L::BSENS, "C"}, {L::BMONTANTF, "", true, FromCents(francs)}, {L::BMONTANTE, "", true, FromCents(euros)}});
  SplitKey key = keyOf(line);
  ASSERT_FALSE(key.AmountsRead()) << key.Text();
  const auto before = Section("VENTES"), other = Section("CH-ARTAS");
  ASSERT_EQ(KeepSplitHeader(c50, c60, key, nullptr), SplitOpening::Opened);
  EXPECT_EQ(key.Francs(), -francs);
  EXPECT_EQ(key.Euros(), -euros);
  EXPECT_EQ(key.Sense(), 'C');
  EXPECT_EQ(key.AmountText(false), "-13119140000.00");
  ASSERT_EQ(MakeDefaultSplit(c50, c60, key, "CA1=VENTES %=60\r\nCA1=CH-ARTAS %=40", 6.55957, true),
            DefaultSplitOutcome::Made);
  EXPECT_EQ(Section("VENTES")[2] - before[2], francs * 6 / 10);
  EXPECT_EQ(Section("VENTES")[3] - before[3], ToCents(Round(2, FromCents(francs * 6 / 10) / 6.55957)));
  EXPECT_EQ(Section("CH-ARTAS")[2] - other[2], francs * 4 / 10);
  const SplitRemainder r = ComputeSplitRemainder(c50, key.LinesKey(), nullptr);
  EXPECT_EQ(r.generalF, -francs);
  EXPECT_EQ(r.generalE, -euros);
  EXPECT_EQ(r.RemainderFrancs(), 0);
  EXPECT_EQ(r.RemainderEuros(), 0);

  // The saved amount does not read either: nothing written.
  const SplitKey unread = FreeLine(true, 100000, 1);
  saved(unread, {{L::BSENS, "C"}, {L::BMONTANTE, "", true, FromCents(euros)}});
  ASSERT_TRUE(c50.Seek(L::kCodeTag, unread.GeneralLineKey().c_str()));
  {
    // The totals made to hold what the lines now give: the unread francs count for nothing.
    const std::string account = c50.GetField(L::BCODE);
    const std::string header = DraftHeaderCode(c50.GetField(L::BMOIS), c50.GetField(L::BJAL));
    TotalsCents move = LineMove(c50).Negated();
    const std::uint32_t recno = c50.recordNumber;
    test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(recno, "BMONTANTF", "**************");
    ASSERT_TRUE(c50.GoTo(static_cast<long>(recno)));
    move += LineMove(c50);
    const test_support::SetUpPermit permit("totaux de la ligne illisible");
    TotalsMoves moves;
    moves.Account(account, move);
    moves.Header(header, move);
    ASSERT_TRUE(moves.Make());
  }
  SplitKey unreadKey = keyOf(unread);
  const std::uint32_t records = c50.RecCount(), sections = TableC30->RecCount();
  EXPECT_EQ(KeepSplitHeader(c50, c60, unreadKey, nullptr), SplitOpening::AmountUnread);
  EXPECT_EQ(MakeDefaultSplit(c50, c60, keyOf(unread), "CA1=VENTES", 6.55957, true), DefaultSplitOutcome::AmountUnread);
  EXPECT_EQ(c50.RecCount(), records);
  EXPECT_EQ(TableC30->RecCount(), sections);
}

// Bad input of the text or the dossier: a message's reason, nothing written, no section created.
// The draft at its record limit (lowered to the present count plus the room of each case): every path that
// appends records refuses and writes nothing; with room enough it writes.
TEST_F(SplitTest, EveryAppendRefusesOnAFullDraft) {
  const SplitKey key = FreeLine(false), other = FreeLine(false, 100000, 1);
  ASSERT_EQ(KeepSplitHeader(c50, c60, other, nullptr), SplitOpening::Opened);
  ASSERT_TRUE(c50.Seek(L::kCodeTag, key.GeneralLineKey().c_str()));
  LineAfter after;
  after.prefix = L::Key(c50).substr(0, 8);
  after.piece = c50.GetField(L::BPIECE);
  after.group = c50.GetField(L::BREC);
  after.number = c50.GetField(L::BNUM);
  NewSplitLine line;
  line.number = "0001";
  line.section = "VENTES";
  const struct Case {
    const char* what;
    std::uint32_t room;
    std::function<bool()> refused;
  } cases[] = {
      {"Créer Ligne", 0, [&] { return CreateLineAfter(c50, c60, after).outcome == NewLineOutcome::DraftFull; }},
      {"Créer Pièce", 0,
       [&] { return CreatePieceLine(c50, c60, after.prefix, "999990", ' ', 'O').outcome == NewLineOutcome::DraftFull; }},
      {"a new split header", 0, [&] { return KeepSplitHeader(c50, c60, key, nullptr) == SplitOpening::DraftFull; }},
      {"a new split line", 0, [&] { return !AppendSplitLine(c50, c60, key, line); }},
      {"a default split of two lines with room for one", 1, [&] {
         return MakeDefaultSplit(c50, c60, other, "CA1=S1 %=50\r\nCA1=S2 %=50", 6.55957, false) ==
                DefaultSplitOutcome::DraftFull;
       }},
  };
  for (const Case& c : cases) {
    const std::uint32_t records = c50.RecCount(), sorts = c60.RecCount();
    {
      DraftLimitGuard limit(c.room);
      EXPECT_TRUE(c.refused()) << c.what;
      EXPECT_EQ(c50.RecCount(), records) << c.what;
      EXPECT_EQ(c60.RecCount(), sorts) << c.what;
      DraftRecordLimit += 1;
      EXPECT_FALSE(c.refused()) << c.what << ": one more record of room";
    }
    EXPECT_EQ(DraftRecordLimit, kMostDraftRecords);
  }
  ExpectInvariants("after the appends");
}

TEST_F(SplitTest, AFaultyTextOrRateWritesNothing) {
  const struct Case {
    const char* text;
    double rate;
    DefaultSplitOutcome outcome;
  } cases[] = {
      {"CA1=\r\nCA1=VENTES", 6.55957, DefaultSplitOutcome::TextFault},
      {"CA1=VENTES %=abc", 6.55957, DefaultSplitOutcome::TextFault},
      {"CA1=VENTES %=40", 0, DefaultSplitOutcome::RateNotPositive},
      {"Sans analytique", 6.55957, DefaultSplitOutcome::NoText},
  };
  const SplitKey key = FreeLine(true);
  ASSERT_EQ(KeepSplitHeader(c50, c60, key, nullptr), SplitOpening::Opened);
  const std::uint32_t records = c50.RecCount(), sections = TableC30->RecCount();
  for (const Case& c : cases) {
    EXPECT_EQ(MakeDefaultSplit(c50, c60, key, c.text, c.rate, true), c.outcome) << c.text;
    EXPECT_EQ(c50.RecCount(), records) << c.text;
    EXPECT_EQ(TableC30->RecCount(), sections) << c.text;
  }
}

// The general line's day and label follow into the header and every line at the next opening; a cancelled
// general line gets no split.
TEST_F(SplitTest, TheHeaderFollowsTheGeneralLine) {
  SplitKey key = FreeLine(true);
  ASSERT_EQ(KeepSplitHeader(c50, c60, key, nullptr), SplitOpening::Opened);
  ASSERT_EQ(MakeDefaultSplit(c50, c60, key, "CA1=VENTES", 6.55957, true), DefaultSplitOutcome::Made);
  const SplitKey changed = SplitKey(key.Text().substr(0, 36) + "07" + "1" + "Libell\xE9 chang\xE9" + std::string(11, ' ') +
                                    key.Text().substr(64));
  ASSERT_EQ(KeepSplitHeader(c50, c60, changed, nullptr), SplitOpening::Opened);
  EXPECT_EQ(RefreshSplitLines(c50, c60, changed), 1);
  ASSERT_TRUE(SeekAnalyticRecord(c50, changed.HeaderKey()).IsFound());
  EXPECT_EQ(std::string(c50.GetField(L::BJOUR)), "07");
  EXPECT_EQ(std::string(c50.GetField(L::BSENS)), "C");
  ASSERT_TRUE(SeekAnalyticRecord(c50, changed.LinesKey() + "0001").IsFound());
  EXPECT_EQ(std::string(RTrim(c50.GetField(L::BLIB))), "Libell\xE9 chang\xE9");
  // The general line cancelled, with its split, as the lines window cancels it.
  ASSERT_TRUE(c50.Seek(L::kCodeTag, key.GeneralLineKey().c_str()));
  ASSERT_EQ(CancelLine(c50, c60, c50.recordNumber, "ligne"), LineChange::Done);
  const std::uint32_t records = c50.RecCount();
  EXPECT_EQ(KeepSplitHeader(c50, c60, key, nullptr), SplitOpening::LineGone);
  EXPECT_EQ(c50.RecCount(), records);
}

// A line with its split saved with another day, then its split opened as the analytic lines window opens
// it: the header and the lines take the day, and each sort record with them (the sort record copies the
// day), so that the books keep every rule.
TEST_F(SplitTest, ASplitOpenedAfterItsLineTookAnotherDayKeepsEverySortRecordInStep) {
  const SplitKey key = FreeLine(false);
  ASSERT_EQ(KeepSplitHeader(c50, c60, key, nullptr), SplitOpening::Opened);
  ASSERT_EQ(MakeDefaultSplit(c50, c60, key, "CA1=S1 %=50\r\nCA1=S2 %=50", 6.55957, false), DefaultSplitOutcome::Made);
  ASSERT_TRUE(c50.Seek(L::kCodeTag, key.GeneralLineKey().c_str()));
  const SaveRequest save = OnAnotherDay(c50.recordNumber);
  ASSERT_EQ(SaveLineRecord(c50, c60, save).outcome, SaveOutcome::Saved);
  const SplitKey moved(key.Text().substr(0, 36) + save.values.day + key.Text().substr(38));
  c50.SetOrder(L::kAnalyticTag);
  ASSERT_EQ(KeepSplitHeader(c50, c60, moved, nullptr), SplitOpening::Opened);
  std::string refusal;
  EXPECT_EQ(RefreshSplitLines(c50, c60, moved, &refusal), 2);
  EXPECT_EQ(refusal, "");
  for (const char* number : {"0001", "0002"}) {
    ASSERT_TRUE(SeekAnalyticRecord(c50, moved.LinesKey() + number).IsFound());
    EXPECT_EQ(std::string(c50.GetField(L::BJOUR)), save.values.day) << number;
  }
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  // Opened again, nothing is left to write: the lines and their sort records are in step.
  const auto before = LiveRecords();
  EXPECT_EQ(RefreshSplitLines(c50, c60, moved, &refusal), 2);
  EXPECT_TRUE(LiveRecords() == before);
}

// A line after "0001" when "0002" exists: the axis becomes 0010, 0020 (sort records too) and the new one
// 0011. An axis of more than 999 lines is refused whole.
TEST_F(SplitTest, RenumberingAnAxisAndItsLimit) {
  const SplitKey key = FreeLine(false);
  ASSERT_EQ(KeepSplitHeader(c50, c60, key, nullptr), SplitOpening::Opened);
  ASSERT_EQ(MakeDefaultSplit(c50, c60, key, "CA1=S1 %=50\r\nCA1=S2 %=50", 6.55957, false), DefaultSplitOutcome::Made);
  EXPECT_EQ(NextSplitLineNumber(c50, c60, key, 1), 11);
  const auto lines = SplitLines(key);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].first, "0010");
  EXPECT_EQ(lines[1].first, "0020");
  EXPECT_EQ(NextSplitLineNumber(c50, c60, key, 20), 21) << "a free number is taken as it is";
  ExpectInvariants("after the renumbering");

  NewSplitLine line;
  for (long n = 3; n <= kMostSplitLines + 1; ++n) {
    line.number = StrZero(n + 20, 4);
    ASSERT_TRUE(AppendSplitLine(c50, c60, key, line)) << n;
  }
  const auto before = SplitLines(key);
  EXPECT_EQ(NextSplitLineNumber(c50, c60, key, 22), kSplitRenumberTooLarge);
  EXPECT_EQ(SplitLines(key), before) << "nothing renumbered";
}

// Another station holds an analytic line: the save changes neither the line nor any section.
TEST_F(SplitTest, ASaveWhoseLockIsHeldChangesNothing) {
  const SplitKey key = FreeLine(false);
  ASSERT_EQ(KeepSplitHeader(c50, c60, key, nullptr), SplitOpening::Opened);
  ASSERT_EQ(MakeDefaultSplit(c50, c60, key, "CA1=VENTES", 6.55957, false), DefaultSplitOutcome::Made);
  ASSERT_TRUE(SeekAnalyticRecord(c50, key.LinesKey() + "0001").IsFound());
  const std::uint32_t recno = c50.recordNumber;
  c50.CloseTable();
  c60.CloseTable();
  CloseAllTables();
  const std::string path = PathC50();
  test_support::OtherProcess station([path, recno](char cmd) {
    static Table t;
    if (!t.isOpen && !t.OpenShared(path, L::kCodeTag)) return false;
    if (!t.GoTo(static_cast<long>(recno))) return false;
    return cmd == 'l' ? LockRecord(t, nullptr, 0) : UnlockRecord(t);
  });
  OpenTables();
  ASSERT_TRUE(station.Do('l'));
  const auto ventes = Section("VENTES"), atelier = Section("ATELIER");
  AnalyticLineValues v;
  v.section = "ATELIER";
  v.sense = 'D';
  v.francs = 100000;
  v.euros = 15245;
  EXPECT_EQ(SaveAnalyticLineRecord(c50, c60, key.LinesKey() + "0001", v), AnalyticSaveOutcome::LockRefused);
  EXPECT_EQ(Section("VENTES"), ventes);
  EXPECT_EQ(Section("ATELIER"), atelier);
  ASSERT_TRUE(station.Do('u'));
  EXPECT_EQ(SaveAnalyticLineRecord(c50, c60, key.LinesKey() + "0001", v), AnalyticSaveOutcome::Saved);
  EXPECT_EQ(Section("VENTES")[0], ventes[0] - 100000);
  EXPECT_EQ(Section("ATELIER")[0], atelier[0] + 100000);
  ExpectInvariants("after the refused and the granted save");
}

// Random sequences of what the windows do keep every section's totals equal to its live lines, in francs and
// in euros.
TEST_F(SplitTest, RandomSequencesKeepTheSectionTotals) {
  std::mt19937 rng(20261207);
  const char* sections[] = {"ATELIER", "BUREAU", "COMMERCE", "VENTES", "ZARRONDI"};
  std::vector<SplitKey> keys;
  for (int i : {0, 1}) {
    keys.push_back(FreeLine(i == 1, 100000 + 137 * i, i));
    ASSERT_EQ(KeepSplitHeader(c50, c60, keys.back(), nullptr), SplitOpening::Opened);
  }
  const double rate = TheDossierRecord.Parity();
  for (int step = 0; step < 60; ++step) {
    const SplitKey& key = keys[rng() % keys.size()];
    const auto lines = SplitLines(key);
    const int action = static_cast<int>(rng() % 6);
    const std::string some = lines.empty() ? std::string() : key.LinesKey() + lines[rng() % lines.size()].first;
    switch (action) {
      case 0: {  // a new line after the last
        const long after = lines.empty() ? 0 : std::atol(lines.back().first.c_str());
        NewSplitLine line;
        const long n = NextSplitLineNumber(c50, c60, key, after);
        ASSERT_GT(n, 0);
        line.number = StrZero(n, 4);
        line.sense = key.Sense();
        ASSERT_TRUE(AppendSplitLine(c50, c60, key, line));
        break;
      }
      case 1: {  // typed and saved in its form
        if (some.empty()) break;
        AnalyticLineValues v;
        v.section = sections[rng() % 5];
        v.sense = rng() % 2 ? 'D' : 'C';
        v.inEuros = rng() % 2;
        v.francs = static_cast<long long>(rng() % 50000);
        v.euros = ToCents(Round(2, FromCents(v.francs) / rate));
        SaveAnalyticLineRecord(c50, c60, some, v);
        break;
      }
      case 2:
      case 3: {  // cancelled or reactivated in the list
        if (some.empty() || !SeekAnalyticRecord(c50, some).IsFound()) break;
        const std::uint32_t recno = c50.recordNumber;
        const std::string text = c50.RecordToText(L::BNUMA);
        if (action == 2) CancelSplitLine(c50, c60, recno, text);
        else ReactivateSplitLine(c50, c60, recno, text);
        break;
      }
      case 4: {  // "Solder la Pièce" on a line, saved
        if (some.empty()) break;
        const SplitRemainder r = ComputeSplitRemainder(c50, some, nullptr);
        const BalancingAmount b = BalancingAmountOf(false, true, -r.RemainderFrancs(), -r.RemainderEuros(), rate);
        AnalyticLineValues v;
        v.section = sections[rng() % 5];
        v.sense = b.sense == 'C' ? 'C' : 'D';
        v.francs = b.francs;
        v.euros = b.euros;
        SaveAnalyticLineRecord(c50, c60, some, v);
        break;
      }
      default:  // "Quitter": a line never filled goes
        if (!some.empty()) DropBlankAnalyticLine(c50, c60, some);
        break;
    }
    DossierInvariants check;
    ASSERT_TRUE(check.Check()) << "step " << step << " action " << action << "\n" << check.Report();
  }
  ExpectInvariants("after the random sequence");
}

}  // namespace
}  // namespace entry_test
