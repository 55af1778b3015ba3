// The save of a typed line: one table of changes to saved lines and what each moves (the line's fields and
// sort record, the totals of its old and new account and of its header); a line without amount cancelled;
// the one account normalisation; an auxiliary account's analytic lines found and removed with their
// sections' totals; a save whose lock another station holds changing nothing; and a save meeting a refused
// write putting back what it wrote.
#include <fstream>
#include <iterator>

#include "entry/core/analytic_split.h"
#include "entry/core_fixture.h"
#include "data/account_totals.h"
#include "data/stopped_line_changes.h"
#include "data/entry_lines.h"
#include "data/line_change_note.h"
#include "platform/system/write_fault.h"
#include "support/books_writes.h"
#include "support/refused_write.h"
#include "posting/line_save.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/other_process.h"
#include "support/refused_read.h"
#include "support/line_files.h"
#include "support/totals_post.h"

namespace entry_test {
namespace {

using namespace posting;

class SaveTest : public CoreTest {
 protected:
  long Lines() const override { return 400; }
  char AnalyticMode() const override { return '0'; }
  // Live general lines on an account, in record order.
  std::vector<std::uint32_t> LinesOn(const std::string& account, char sense) {
    std::vector<std::uint32_t> found;
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r)
      if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' && std::string(c50.GetField(L::BCODE)) == account &&
          c50.GetField(L::BSENS)[0] == sense)
        found.push_back(r);
    return found;
  }
  std::array<long long, 4> Totals(const std::string& account) {
    if (!TableC20->Seek("C20CODE", account.c_str())) return {0, 0, 0, 0};
    return {ToCents(TableC20->GetFieldNum(17)), ToCents(TableC20->GetFieldNum(18)), ToCents(TableC20->GetFieldNum(19)),
            ToCents(TableC20->GetFieldNum(20))};
  }
  HeaderTotals Header(const std::string& key) {
    EXPECT_TRUE(FindHeader(*TableC10, key.substr(1, 7), kDraftSource).IsFound());
    return ReadHeaderTotals(*TableC10);
  }
  // The values a form holds for a line as stored.
  LineValues ValuesOf(const LineRecord& r) {
    LineValues v;
    v.day = r.day;
    v.account = r.account;
    v.labelCode = r.labelCode;
    v.label1 = r.label1;
    v.euros = r.entry == 'O';
    v.sense = r.sense;
    (r.sense == 'D' ? v.amounts.debitF : v.amounts.creditF) = r.francs;
    (r.sense == 'D' ? v.amounts.debitE : v.amounts.creditE) = r.euros;
    v.vat = r.vat;
    return v;
  }
};

TEST_F(SaveTest, EachChangeMovesTheLineAndItsTotals) {
  // Bank lines on the debit side.
  const std::string base = "51200000";
  const std::vector<std::uint32_t> purchases = LinesOn(base, 'D');
  ASSERT_GE(purchases.size(), 6u);
  const struct Case {
    const char* what;
    std::function<void(LineValues&)> change;
    std::string account;          // written
    std::array<long long, 4> oldMoved, newMoved;  // per cent of the line's francs and euros: debit F, E, credit F, E
    bool cancelled;
    std::function<void(const LineRecord&)> check;
    int headerDebit = 0, headerCredit = 0;  // the header's debit and credit moved, per the line's amounts
  } cases[] = {
      {"a label only: off and on again", [](LineValues& v) { v.label1 = "achat revu"; }, "51200000", {0, 0, 0, 0},
       {0, 0, 0, 0}, false, [](const LineRecord& r) { EXPECT_EQ(std::string(RTrim(r.label1.c_str())), "Achat revu"); }},
      {"another account", [](LineValues& v) { v.account = "60640000"; }, "60640000", {-1, -1, 0, 0}, {1, 1, 0, 0}, false,
       {}},
      {"typed short", [](LineValues& v) { v.account = "6064"; }, "60640000", {-1, -1, 0, 0}, {1, 1, 0, 0}, false, {}},
      {"debit to credit",
       [](LineValues& v) {
         std::swap(v.amounts.debitF, v.amounts.creditF);
         std::swap(v.amounts.debitE, v.amounts.creditE);
         v.sense = 'C';
       },
       "51200000", {-1, -1, 1, 1}, {0, 0, 0, 0}, false, {}, -1, 1},
      {"no amount left", [](LineValues& v) { v.amounts = LineAmounts{}; }, "51200000", {-1, -1, 0, 0}, {0, 0, 0, 0},
       true, {}, -1, 0},
      {"a due date", [](LineValues& v) { v.dueDate = "05/03/01"; }, "51200000", {0, 0, 0, 0}, {0, 0, 0, 0}, false,
       [](const LineRecord& r) { EXPECT_EQ(r.dueDate, "A10305"); }},
  };
  std::size_t next = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::uint32_t recno = purchases[next++];
    ASSERT_TRUE(c50.GoTo(recno));
    const LineRecord before = ReadLineRecord(c50);
    const long long f = ToCents(before.francs), e = ToCents(before.euros);
    const auto oldBefore = Totals(base), newBefore = Totals(c.account);
    const HeaderTotals headerBefore = Header(before.key);
    SaveRequest r;
    r.key = before.key;
    r.values = ValuesOf(before);
    r.previousAccount = before.account;
    c.change(r.values);
    const SaveResult saved = SaveLineRecord(c50, c60, r);
    EXPECT_EQ(saved.outcome, c.cancelled ? SaveOutcome::ZeroLineCancelled : SaveOutcome::Saved);
    EXPECT_EQ(saved.account, c.account);
    ASSERT_TRUE(c50.GoTo(recno));
    const LineRecord after = ReadLineRecord(c50);
    EXPECT_EQ(after.live, !c.cancelled);
    EXPECT_EQ(after.account, c.account);
    if (c.check) c.check(after);
    // The sort record keeps the line's day, account and mark.
    ASSERT_TRUE(LigneTri::Find(c60, LigneTri::kDraft, recno));
    EXPECT_EQ(std::string(c60.GetField(T::TCODE)), c.account);
    EXPECT_EQ(c60.IsDeleted(), c.cancelled);
    const std::array<long long, 4> unit{f, e, f, e};
    const auto oldAfter = Totals(base), newAfter = Totals(c.account);
    for (int i = 0; i < 4; ++i) {
      if (c.account == base) {
        EXPECT_EQ(oldAfter[i] - oldBefore[i], (c.oldMoved[i] + c.newMoved[i]) * unit[i]) << i;
      } else {
        EXPECT_EQ(oldAfter[i] - oldBefore[i], c.oldMoved[i] * unit[i]) << i;
        EXPECT_EQ(newAfter[i] - newBefore[i], c.newMoved[i] * unit[i]) << i;
      }
    }
    // The header moves as the lines of its journal-month do.
    const HeaderTotals headerAfter = Header(before.key);
    EXPECT_EQ(headerAfter.debitF - headerBefore.debitF, c.headerDebit * f);
    EXPECT_EQ(headerAfter.debitE - headerBefore.debitE, c.headerDebit * e);
    EXPECT_EQ(headerAfter.creditF - headerBefore.creditF, c.headerCredit * f);
    EXPECT_EQ(headerAfter.creditE - headerBefore.creditE, c.headerCredit * e);
  }
  ExpectInvariants("after the saves");
}

TEST_F(SaveTest, AnAccountIsNormalisedOneWayEverywhere) {
  const struct Case {
    const char* typed;
    const char* account;
  } cases[] = {
      {"411", "41100000"}, {"  607 ", "60700000"}, {"C12", "C12     "}, {"ZARRONDI", "ZARRONDI"},
      {"1234567890", "12345678"}, {"", ""}, {"   ", ""}, {"47599999", "47599999"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeAccount(c.typed), c.account) << c.typed;
  // A new line's first save takes nothing off; an auxiliary account's collective is posted once, by the
  // totals update itself.
  const std::vector<std::uint32_t> customers = [&] {
    std::vector<std::uint32_t> found;
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r)
      if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' && c50.GetField(L::BCODE)[0] == 'C')
        found.push_back(r);
    return found;
  }();
  ASSERT_FALSE(customers.empty());
  ASSERT_TRUE(c50.GoTo(customers[0]));
  const LineRecord line = ReadLineRecord(c50);
  const auto collective = Totals("41100000");
  SaveRequest r;
  r.key = line.key;
  r.values = ValuesOf(line);
  r.values.amounts.debitE += 10;
  r.values.amounts.creditE += 10;
  r.previousAccount = line.account;
  ASSERT_EQ(SaveLineRecord(c50, c60, r).outcome, SaveOutcome::Saved);
  const auto after = Totals("41100000");
  const int e = line.sense == 'D' ? 1 : 3;
  EXPECT_EQ(after[e] - collective[e], 1000) << "once, not twice";
  ExpectInvariants("after an auxiliary account's save");
}

// The analytic lines of an auxiliary account whose code is short, kept under the account blank-padded as
// the split keys write it: found, removed, and their sections' totals taken back.
TEST_F(SaveTest, AnAuxiliaryAccountsAnalyticLinesAreFoundAndTheirSectionsTotalsGoBack) {
  std::uint32_t recno = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && recno == 0; ++r)
    if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' && c50.GetField(L::BSENS)[0] == 'D')
      recno = r;
  ASSERT_NE(recno, 0u);
  const LineRecord line = ReadLineRecord(c50);
  // Two analytic lines of the account "CABC" on two sections, posted as the analytic form posts them.
  const std::string account = "CABC    ";
  for (const char* section : {"SECTA", "SECTB"}) {
    const test_support::SetUpPermit permit("lignes analytiques mises en place");
    ASSERT_TRUE(c50.AppendBlank());
    const std::string fields[][2] = {{"1", "W"}, {"2", line.key.substr(1, 4)}, {"3", line.key.substr(5, 3)},
                                     {"4", line.key.substr(8, 6)}, {"5", line.key.substr(14, 6)},
                                     {"6", line.key.substr(20, 4)}, {"7", section[4] == 'A' ? "0001" : "0002"},
                                     {"10", section}, {"17", "D"}, {"18", "6.56"}, {"19", "1.00"}, {"22", account}};
    for (const auto& f : fields) c50.PutField(std::atoi(f[0].c_str()), f[1].c_str());
    ASSERT_TRUE(c50.InsertRecord());
    ASSERT_TRUE(AppendLigneTri(c50, LigneTri::kDraft, c60));
    ASSERT_TRUE(test_support::PostTotals('S', section, "+D", 6.56, 1.00));
  }
  ASSERT_TRUE(TableC30->Seek("C30CODE", "SECTA   "));
  EXPECT_EQ(ToCents(TableC30->GetFieldNum(10)), 100);
  EXPECT_EQ(DeleteLineAnalytic(c50, c60, line.key, "CABC", 3), 2);
  ASSERT_TRUE(TableC30->Seek("C30CODE", "SECTA   "));
  EXPECT_EQ(ToCents(TableC30->GetFieldNum(10)), 0);
  EXPECT_EQ(DeleteLineAnalytic(c50, c60, line.key, "CABC", 3), 0) << "once";
  ExpectInvariants("after the analytic lines went");
}

// Every record of the draft, the sort file, the general file and the chart, as stored: what a save that
// failed must leave as it found it.
std::vector<std::string> Books(std::initializer_list<Table*> tables) {
  std::vector<std::string> records;
  for (Table* t : tables)
    for (std::uint32_t r = 1; r <= t->RecCount(); ++r) {
      if (!t->GoTo(r)) continue;
      std::string text = t->IsDeleted() ? "*" : " ";
      for (int f = 1; f <= t->FieldCount(); ++f) text += std::string("|") + t->GetField(f);
      records.push_back(text);
    }
  return records;
}

// A write refused while a line is saved, at each of the save's changes in turn (refused once, or cut
// part-way by a disk that fills): the save fails, and the line, its sort record and every total are as they
// were; the same save then goes through. Refused for good from a change on (a disk remounted read-only),
// the save fails and says whether it could put back what it wrote.
TEST_F(SaveTest, AWriteRefusedWhileALineIsSavedFailsTheSaveAndPutsItBack) {
  const auto customers = [&] {
    std::vector<std::uint32_t> found;
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r)
      if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' && c50.GetField(L::BCODE)[0] == 'C')
        found.push_back(r);
    return found;
  }();
  const std::vector<std::uint32_t> bank = LinesOn("51200000", 'D');
  ASSERT_GE(customers.size(), 2u);
  ASSERT_GE(bank.size(), 2u);
  const struct Case {
    const char* what;
    std::uint32_t recno;
    platform::WriteFault fault;
    std::function<void(LineValues&)> change;
  } cases[] = {
      {"another account and amount, refused once", bank[0], platform::WriteFault::kFailOnce,
       [](LineValues& v) {
         v.account = "60640000";
         v.amounts.debitE += 12.34;
       }},
      {"an auxiliary account's amount, cut part-way", customers[0], platform::WriteFault::kPartOnce,
       [](LineValues& v) {
         v.amounts.debitE += 10;
         v.amounts.creditE += 10;
         v.label1 = "revu";
       }},
      {"debit to credit, refused once", bank[1], platform::WriteFault::kFullOnce,
       [](LineValues& v) {
         std::swap(v.amounts.debitF, v.amounts.creditF);
         std::swap(v.amounts.debitE, v.amounts.creditE);
         v.sense = 'C';
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(c50.GoTo(c.recno));
    const LineRecord line = ReadLineRecord(c50);
    SaveRequest r;
    r.key = line.key;
    r.values = ValuesOf(line);
    r.previousAccount = line.account;
    c.change(r.values);
    const std::vector<std::string> before = Books({&c50, &c60, TableC10, TableC20});
    long refused = 0;
    for (long k = 1;; ++k) {
      platform::SetWriteFault(c.fault, k);
      const SaveResult saved = SaveLineRecord(c50, c60, r);
      const long counted = platform::WritesCounted();
      const std::string change = platform::RefusedChange();
      platform::SetWriteFault(platform::WriteFault::kNone, 0);
      if (k > counted) {
        EXPECT_EQ(saved.outcome, SaveOutcome::Saved) << "uncut";
        break;
      }
      // The last write marks the save's note done: the save stands, and the next opening finds it
      // whole and says how it stands.
      if (saved.outcome == SaveOutcome::Saved && k == counted && change.find(".note") != std::string::npos) {
        const StoppedLineChanges finished = FinishStoppedLineChanges();
        EXPECT_TRUE(finished.done) << finished.said;
        EXPECT_EQ(finished.finished, 1) << finished.said;
        ExpectInvariants(std::string(c.what) + ", the note's end refused");
        break;
      }
      ++refused;
      EXPECT_EQ(saved.outcome, SaveOutcome::Failed) << "change " << k << " refused: " << change;
      EXPECT_TRUE(saved.putBack) << "change " << k;
      EXPECT_TRUE(Books({&c50, &c60, TableC10, TableC20}) == before) << "change " << k << " refused: " << change;
      ASSERT_FALSE(HasFailure()) << "change " << k;
    }
    EXPECT_GT(refused, 3);
    ExpectInvariants(c.what);
  }

  // Every change refused from one on: the save fails; what it could not put back, it says.
  ASSERT_TRUE(c50.GoTo(bank[0]));
  const LineRecord line = ReadLineRecord(c50);
  SaveRequest r;
  r.key = line.key;
  r.values = ValuesOf(line);
  r.previousAccount = line.account;
  r.values.amounts.debitE += 1;
  const std::vector<std::string> before = Books({&c50, &c60, TableC10, TableC20});
  long notPutBack = 0;
  for (long k = 1;; ++k) {
    platform::SetWriteFault(platform::WriteFault::kFailForGood, k);
    const SaveResult saved = SaveLineRecord(c50, c60, r);
    const long counted = platform::WritesCounted();
    const std::string change = platform::RefusedChange();
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    // A save that says it put everything back leaves the books as before, before any opening.
    const bool sameNow = Books({&c50, &c60, TableC10, TableC20}) == before;
    // What the next opening does: a save refused for good may leave its note (its end refused), and
    // one it could not take back, the books not as before.
    const StoppedLineChanges finished = FinishStoppedLineChanges();
    EXPECT_TRUE(finished.done) << "refused from change " << k << ": " << finished.said;
    EXPECT_LE(finished.finished, 1) << "refused from change " << k << ": " << change;
    if (saved.outcome == SaveOutcome::Saved) {
      // Only the note's end may be refused once every write is made.
      EXPECT_TRUE(k > counted || (k == counted && change.find(".note") != std::string::npos))
          << "saved though change " << k << " was refused";
      break;
    }
    ASSERT_EQ(saved.outcome, SaveOutcome::Failed) << k;
    if (saved.putBack) EXPECT_TRUE(sameNow) << "said put back, yet not as before: refused from change " << k;
    const bool same = Books({&c50, &c60, TableC10, TableC20}) == before;
    if (!saved.putBack) {
      // What the save could not take back (or could not read again to know), the next opening
      // finishes: the books whole again, and said.
      ++notPutBack;
      EXPECT_EQ(finished.finished, 1) << "refused from change " << k << ": " << change;
      EXPECT_FALSE(finished.said.empty());
      ExpectInvariants("refused from change " + std::to_string(k) + ", then finished");
      ASSERT_FALSE(HasFailure()) << "refused from change " << k;
    }
    if (!same) {
      ASSERT_FALSE(saved.putBack) << "refused from change " << k;
      // The line put back as it was, for the next point.
      ASSERT_EQ(SaveLineRecord(c50, c60, r).outcome, SaveOutcome::Saved);
      r.values.amounts.debitE -= 1;
      ASSERT_EQ(SaveLineRecord(c50, c60, r).outcome, SaveOutcome::Saved);
      r.values.amounts.debitE += 1;
    }
  }
  EXPECT_GT(notPutBack, 0) << "no point left the next opening something to finish";
}

// Another station holds the line: its notice once, a second try, then nothing written and no total moved.
TEST_F(SaveTest, ALockHeldByAnotherStationChangesNothing) {
  const std::vector<std::uint32_t> purchases = LinesOn("51200000", 'D');
  ASSERT_FALSE(purchases.empty());
  const std::uint32_t recno = purchases[0];
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
  ASSERT_TRUE(c50.GoTo(recno));
  const LineRecord before = ReadLineRecord(c50);
  const auto totals = Totals("51200000");
  const HeaderTotals header = Header(before.key);
  SaveRequest r;
  r.key = before.key;
  r.values = ValuesOf(before);
  r.values.amounts.debitE += 100;
  r.values.label1 = "Refus";
  r.previousAccount = before.account;
  EXPECT_EQ(SaveLineRecord(c50, c60, r).outcome, SaveOutcome::LockRefused);
  EXPECT_EQ(Notices().size(), 1u);
  ASSERT_TRUE(c50.GoTo(recno));
  const LineRecord after = ReadLineRecord(c50);
  EXPECT_EQ(after.label1, before.label1);
  EXPECT_EQ(after.euros, before.euros);
  EXPECT_EQ(Totals("51200000"), totals);
  const HeaderTotals h = Header(before.key);
  EXPECT_EQ(h.debitE, header.debitE);
  // Once the station lets it go, the same save goes through.
  ASSERT_TRUE(station.Do('u'));
  EXPECT_EQ(SaveLineRecord(c50, c60, r).outcome, SaveOutcome::Saved);
  EXPECT_EQ(Totals("51200000")[1] - totals[1], 10000);
  ExpectInvariants("after the refused and the granted save");
}

}  // namespace
}  // namespace entry_test

namespace entry_test {
namespace {

// In a dossier with sections, a line moved to another account loses the split made for the old one: its
// header copy and analytic lines are cancelled and their sections' totals taken back.
class AnalyticSaveTest : public SaveTest {
 protected:
  char AnalyticMode() const override { return '1'; }
  // The first live analytic line with an amount in euros, 0 for none.
  std::uint32_t AnalyticLineWithEuros() {
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r)
      if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'W' && ToCents(ReadLineRecord(c50).euros) != 0)
        return r;
    return 0;
  }
  // A split removed brought back, its analytic lines' amounts back on their sections.
  void BringBack(const std::vector<std::uint32_t>& split) {
    for (std::uint32_t a : split) {
      ASSERT_TRUE(c50.GoTo(a));
      const char kind = c50.GetField(L::BCLE)[0];
      if (kind == 'W' || kind == 'Y') ASSERT_EQ(entry::ReactivateSplitLine(c50, c60, a, "ligne"), LineChange::Done);
      else {
        const test_support::SetUpPermit permit("entete de ventilation remise");
        ASSERT_TRUE(MarkDraftLine(c50, c60, a, false));
      }
    }
  }
};

TEST_F(AnalyticSaveTest, AnotherAccountTakesTheOldSplitAway) {
  // A live general line with live analytic lines.
  LineRecord line;
  std::vector<std::uint32_t> split;
  for (std::uint32_t r = 1; r <= c50.RecCount() && split.empty(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
    line = ReadLineRecord(c50);
    const std::string key = L::AnalyticKey(c50);
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
      if (c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM) != 'O') break;
      split.push_back(c50.recordNumber);
    }
    c50.SetOrder(L::kCodeTag);
  }
  ASSERT_GE(split.size(), 2u);
  SaveRequest r;
  r.key = line.key;
  r.values = ValuesOf(line);
  r.values.account = "51200000";
  r.previousAccount = line.account;
  // A save refused (the old account's totals): the line keeps its account, and its split with it.
  test_support::RefusedWrite::Arm("c20je.dbf", 1, platform::WriteFault::kFailOnce);
  EXPECT_EQ(SaveLineRecord(c50, c60, r).outcome, SaveOutcome::Failed);
  test_support::RefusedWrite::Disarm();
  for (std::uint32_t a : split) {
    ASSERT_TRUE(c50.GoTo(a));
    EXPECT_FALSE(c50.IsDeleted()) << a << ": removed by a save that failed";
  }
  const SaveResult saved = SaveLineRecord(c50, c60, r);
  EXPECT_EQ(saved.outcome, SaveOutcome::Saved);
  EXPECT_EQ(saved.analyticRemoved, static_cast<long>(split.size()));
  for (std::uint32_t a : split) {
    ASSERT_TRUE(c50.GoTo(a));
    EXPECT_TRUE(c50.IsDeleted()) << a;
  }
  ExpectInvariants("after the account changed under its split");
}

// A split removed on its own (as the line form removes it once its account takes no analytic), each of the
// first reads of the draft's index, then of the draft, refused in turn: a read refused before the split was found is said,
// never taken for a line without split; one refused later fails the removal, said too. Either way the split
// stays whole, and read whole at last it goes.
TEST_F(AnalyticSaveTest, ASplitRemovalMeetingARefusedReadSaysSoAndLeavesTheSplitWhole) {
  LineRecord line;
  std::vector<std::uint32_t> split;
  for (std::uint32_t r = 1; r <= c50.RecCount() && split.size() < 2; ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
    line = ReadLineRecord(c50);
    split.clear();
    const std::string key = L::AnalyticKey(c50);
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
      if (c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM) != 'O') break;
      if (!c50.IsDeleted()) split.push_back(c50.recordNumber);
    }
    c50.SetOrder(L::kCodeTag);
  }
  ASSERT_GE(split.size(), 2u);
  const auto live = [&] {
    long n = 0;
    for (std::uint32_t a : split) n += c50.GoTo(a) && !c50.IsDeleted();
    return n;
  };
  for (const char* file : {"/c50je.mdx", "/c50je.dbf"}) {
    long refused = 0;
    // The reads of the seek of the split and of its first records, where it is found.
    for (int k = 1; k <= 24; ++k) {
      SCOPED_TRACE(std::string(file) + ", read " + std::to_string(k) + " refused");
      std::string refusal;
      test_support::RefusedRead::Arm(file, k);
      const long removed = DeleteLineAnalytic(c50, c60, line.key, line.account, 3, &refusal);
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      CloseLineChangeNote();
      FinishStoppedLineChanges();
      if (k > seen) {
        // Read whole: removed, then put back for the next file.
        ASSERT_EQ(removed, static_cast<long>(split.size())) << refusal;
        ASSERT_NO_FATAL_FAILURE(BringBack(split));
        break;
      }
      // A read past the change's end (its index put back in order) leaves it made.
      if (removed == static_cast<long>(split.size()) && refusal.empty()) {
        ASSERT_NO_FATAL_FAILURE(BringBack(split));
        continue;
      }
      ++refused;
      EXPECT_EQ(removed, 0);
      EXPECT_NE(refusal.find("erreur de lecture sur le disque"), std::string::npos) << refusal;
      // Left to the next opening, which took it up from the lines: the split went whole, or stayed whole.
      const bool takenUp = refusal.find("prochaine ouverture") != std::string::npos;
      EXPECT_TRUE(live() == static_cast<long>(split.size()) || (takenUp && live() == 0)) << refusal;
      if (live() == 0) ASSERT_NO_FATAL_FAILURE(BringBack(split));
      ASSERT_FALSE(HasFailure());
    }
    EXPECT_GE(refused, 2) << file;
  }
  ExpectInvariants("after the split went at last and came back");
}

}  // namespace
}  // namespace entry_test

namespace entry_test {
namespace {

// The bytes of the dossier's tables that a change of lines writes, as the disk holds them.
std::string BooksBytes() {
  std::string all;
  for (const char* path : {PathC10(), PathC20(), PathC30(), PathC50(), PathC60()}) {
    std::ifstream f(std::string(path) + ".dbf", std::ios::binary);
    all += std::string(std::istreambuf_iterator<char>(f), {}) + "|";
  }
  return all;
}

// One field of a record damaged past the engine, given back its bytes when the test is done with it.
class Damaged {
 public:
  Damaged(const std::string& dbf, std::uint32_t n, const std::string& field, const std::string& bytes)
      : raw_(dbf), n_(n), field_(field), original_(raw_.Field(raw_.Record(n), field)) {
    raw_.Put(n, field, bytes);
  }
  ~Damaged() { raw_.Put(n_, field_, original_); }
  const std::string& original() const { return original_; }

 private:
  test_support::RawRecords raw_;
  std::uint32_t n_;
  std::string field_, original_;
};

std::uint32_t AccountRecord(const std::string& code) {
  return TableC20->Seek("C20CODE", code.c_str()) ? TableC20->recordNumber : 0;
}

// A line saved or cancelled works over its own amount only: a total it would move that does not read
// (its account's, the account it moves to, its journal-month's) refuses it before its first write, the
// books byte for byte as they were, the total named and the ReConstruction advised.
TEST_F(SaveTest, AChangeOverATotalThatDoesNotReadIsRefusedBeforeItsFirstWrite) {
  const std::vector<std::uint32_t> bank = LinesOn("51200000", 'D');
  ASSERT_FALSE(bank.empty());
  ASSERT_TRUE(c50.GoTo(bank[0]));
  const LineRecord line = ReadLineRecord(c50);
  ASSERT_TRUE(FindHeader(*TableC10, line.key.substr(1, 7), kDraftSource).IsFound());
  const std::uint32_t header = TableC10->recordNumber;
  const std::string zone = TableC10->GetField(5);
  std::string damagedZone = zone;
  damagedZone.replace(0, 14, "           abc");
  const std::string c10 = PathC10() + std::string(".dbf"), c20 = PathC20() + std::string(".dbf");
  // The line saved again with one change made by `edit`: true when refused, its refusal in `refusal`.
  const auto saveEdited = [&](const std::function<void(SaveRequest&)>& edit, std::string* refusal) {
    SaveRequest r;
    r.key = line.key;
    r.values = ValuesOf(line);
    r.previousAccount = line.account;
    edit(r);
    const SaveResult saved = SaveLineRecord(c50, c60, r);
    *refusal = saved.refusal;
    return saved.outcome == SaveOutcome::Failed;
  };
  const struct Case {
    const char* what;
    std::string dbf;
    std::uint32_t record;
    const char* field;
    std::string bytes;
    std::string named;
    std::function<bool(std::string*)> change;  // true when refused
  } cases[] = {
      {"a label saved, its account's euro debit", c20, AccountRecord("51200000"), "CDEBITE", "abc", "compte 51200000",
       [&](std::string* refusal) {
         return saveEdited([](SaveRequest& r) { r.values.label1 = "libelle corrige"; }, refusal);
       }},
      {"a line moved onto an account whose euro debit does not read", c20, AccountRecord("60640000"), "CDEBITE", "abc",
       "compte 60640000",
       [&](std::string* refusal) {
         return saveEdited([](SaveRequest& r) { r.values.account = "60640000"; }, refusal);
       }},
      {"a label saved, its journal-month's euro debit", c10, header, "GZONE2", damagedZone, "journal",
       [&](std::string* refusal) {
         return saveEdited([](SaveRequest& r) { r.values.label1 = "libelle corrige"; }, refusal);
       }},
      {"a line cancelled, its account's euro debit", c20, AccountRecord("51200000"), "CDEBITE", "abc",
       "compte 51200000",
       [&](std::string* refusal) {
         return CancelLine(c50, c60, bank[0], "ligne", nullptr, refusal) ==
                LineChange::Failed;
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NE(c.record, 0u);
    const Damaged damage(c.dbf, c.record, c.field, c.bytes);
    const std::string before = BooksBytes();
    std::string refusal;
    EXPECT_TRUE(c.change(&refusal));
    EXPECT_EQ(BooksBytes(), before) << "written over a total that does not read";
    EXPECT_NE(refusal.find("Rien n'a \xE9t\xE9 modifi\xE9"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find(c.named), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("ReConstruction"), std::string::npos) << refusal;
  }
  // Sound again, the same changes go through.
  std::string refusal;
  EXPECT_FALSE(cases[0].change(&refusal)) << refusal;
  EXPECT_FALSE(cases[3].change(&refusal)) << refusal;
}

// A line saved over its own amount that does not read goes through (the amount typed replaces it), and
// says which totals still count the old amount: its account's and its journal-month's, the
// ReConstruction advised. A sound line's save says nothing of the kind; a cancel over its own unread
// amount goes through too.
TEST_F(SaveTest, ALineSavedOverItsOwnUnreadAmountNamesTheTotalsThatStillCountIt) {
  const std::vector<std::uint32_t> bank = LinesOn("51200000", 'D');
  ASSERT_GE(bank.size(), 2u);
  ASSERT_TRUE(c50.GoTo(bank[0]));
  const LineRecord line = ReadLineRecord(c50);
  const std::string c50Path = PathC50() + std::string(".dbf");
  test_support::RawRecords(c50Path).Put(bank[0], "BMONTANTE", "abc");
  const auto totalsBefore = Totals("51200000");
  SaveRequest r;
  r.key = line.key;
  r.values = ValuesOf(line);
  r.values.label1 = "libelle corrige";
  r.previousAccount = line.account;
  const SaveResult saved = SaveLineRecord(c50, c60, r);
  ASSERT_EQ(saved.outcome, SaveOutcome::Saved) << saved.refusal;
  // Nothing came off for the old amount: the new one went on over it.
  EXPECT_EQ(Totals("51200000")[1] - totalsBefore[1], ToCents(line.euros));
  const std::string month = line.key.substr(3, 2) + "/" + DecodeYear(line.key.substr(1, 2).c_str());
  const std::string journalMonth = "journal " + Trimmed(line.key.substr(5, 3)) + ", mois " + month;
  for (const std::string& named : {std::string("compte 51200000"), journalMonth, std::string("ReConstruction")})
    EXPECT_NE(saved.totalsLeft.find(named), std::string::npos) << named << "\n" << saved.totalsLeft;
  // Saved again, sound: nothing more to say.
  EXPECT_EQ(SaveLineRecord(c50, c60, r).totalsLeft, "");
  // A cancel over its own unread amount.
  test_support::RawRecords(c50Path).Put(bank[1], "BMONTANTE", "abc");
  std::string refusal;
  EXPECT_EQ(CancelLine(c50, c60, bank[1], "ligne", nullptr, &refusal), LineChange::Done) << refusal;
}

}  // namespace
}  // namespace entry_test

namespace entry_test {
namespace {

// An analytic line saved or cancelled works over its own amount only: its section's total that does not
// read refuses it before its first write, named, the ReConstruction advised; over its own unread amount
// it goes through.
TEST_F(AnalyticSaveTest, AnAnalyticChangeOverASectionTotalThatDoesNotReadIsRefused) {
  const std::uint32_t recno = AnalyticLineWithEuros();
  ASSERT_NE(recno, 0u);
  ASSERT_TRUE(c50.GoTo(recno));
  const LineRecord line = ReadLineRecord(c50);
  std::string key;
  for (int f : {L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM, L::BCLE, L::BNUMA}) key += c50.GetField(f);
  ASSERT_TRUE(TableC30->Seek("C30CODE", line.account.c_str())) << line.account;
  const std::uint32_t section = TableC30->recordNumber;
  entry::AnalyticLineValues v;
  v.day = line.day;
  v.section = line.account;
  v.label = "libelle corrige";
  v.sense = line.sense;
  v.francs = ToCents(line.francs);
  v.euros = ToCents(line.euros);
  const auto save = [&](std::string* refusal) { return entry::SaveAnalyticLineRecord(c50, c60, key, v, refusal); };
  {
    const Damaged damage(PathC30() + std::string(".dbf"), section, "ADEBITE", "abc");
    const std::string before = BooksBytes();
    std::string saved, cancelled;
    EXPECT_EQ(save(&saved), entry::AnalyticSaveOutcome::Failed);
    EXPECT_EQ(entry::CancelSplitLine(c50, c60, recno, "ligne", &cancelled), LineChange::Failed);
    EXPECT_EQ(BooksBytes(), before) << "written over a total that does not read";
    for (const std::string& refusal : {saved, cancelled}) {
      EXPECT_NE(refusal.find("section " + Trimmed(line.account)), std::string::npos) << refusal;
      EXPECT_NE(refusal.find("ReConstruction"), std::string::npos) << refusal;
    }
  }
  // Over its own amount that does not read: saved, then cancelled.
  const std::string c50Path = PathC50() + std::string(".dbf");
  test_support::RawRecords(c50Path).Put(recno, "BMONTANTE", "abc");
  std::string refusal;
  EXPECT_EQ(save(&refusal), entry::AnalyticSaveOutcome::Saved) << refusal;
  test_support::RawRecords(c50Path).Put(recno, "BMONTANTE", "abc");
  EXPECT_EQ(entry::CancelSplitLine(c50, c60, recno, "ligne", &refusal), LineChange::Done) << refusal;
}


// The euro totals of a section (cents: debit, credit).
std::array<long long, 2> SectionEuros(const std::string& code) {
  if (!TableC30->Seek("C30CODE", PadRight(code, 8).c_str())) return {0, 0};
  return {ToCents(TableC30->GetFieldNum(10)), ToCents(TableC30->GetFieldNum(12))};
}

// A general line cancelled over its own amount that does not read goes through: nothing comes off its
// account (it could not be read), its analytic lines go with their sections' amounts, and the box names
// its account's and journal-month's totals, which still count it, and advises the ReConstruction. One of
// its analytic lines that does not read is not its own: the cancel is refused, nothing written, the
// analytic line named.
TEST_F(AnalyticSaveTest, ALineCancelledOverItsOwnUnreadAmountNamesTheTotalsThatStillCountIt) {
  LineRecord line;
  std::uint32_t recno = 0;
  std::vector<std::uint32_t> split;
  for (std::uint32_t r = 1; r <= c50.RecCount() && split.empty(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z' || ToCents(ReadLineRecord(c50).euros) == 0)
      continue;
    line = ReadLineRecord(c50);
    recno = r;
    const std::string key = L::AnalyticKey(c50);
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
      if (c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM) != 'O') break;
      if (c50.GetField(L::BCLE)[0] == 'W' && ToCents(ReadLineRecord(c50).euros) != 0) split.push_back(c50.recordNumber);
    }
    c50.SetOrder(L::kCodeTag);
  }
  ASSERT_FALSE(split.empty());
  const std::string c50Path = PathC50() + std::string(".dbf");
  // An analytic line's amount that does not read: refused before the first write, said, nothing named left.
  {
    const Damaged damage(c50Path, split[0], "BMONTANTE", "abc");
    const std::string before = BooksBytes();
    std::string refusal, left = "-";
    EXPECT_EQ(CancelLine(c50, c60, recno, "ligne", nullptr, &refusal, &left), LineChange::Failed);
    EXPECT_EQ(BooksBytes(), before) << "cancelled over another line's amount that does not read";
    EXPECT_NE(refusal.find("Rien n'a \xE9t\xE9 modifi\xE9"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("enregistrement " + std::to_string(split[0]) + ","), std::string::npos) << refusal;
    EXPECT_EQ(left, "");
  }
  // Its own amount: cancelled, the totals that still count it named.
  ASSERT_TRUE(c50.GoTo(split[0]));
  const std::string section = ReadLineRecord(c50).account;
  const auto sectionBefore = SectionEuros(section);
  const auto accountBefore = Totals(line.account);
  test_support::RawRecords(c50Path).Put(recno, "BMONTANTE", "abc");
  std::string refusal, left;
  long analytic = 0;
  ASSERT_EQ(CancelLine(c50, c60, recno, "ligne", &analytic, &refusal, &left), LineChange::Done) << refusal;
  EXPECT_GE(analytic, static_cast<long>(split.size()));
  for (std::uint32_t a : split) {
    ASSERT_TRUE(c50.GoTo(a));
    EXPECT_TRUE(c50.IsDeleted()) << a << ": an analytic line of the cancelled line left live";
  }
  const int side = line.sense == 'D' ? 1 : 3;
  EXPECT_EQ(Totals(line.account)[side], accountBefore[side]) << "an amount that did not read taken off";
  EXPECT_NE(SectionEuros(section), sectionBefore) << "its analytic line's amount left on its section";
  const std::string month = line.key.substr(3, 2) + "/" + DecodeYear(line.key.substr(1, 2).c_str());
  for (const std::string& named : {std::string("la ligne est annul\xE9" "e"), "compte " + Trimmed(line.account),
                                   "journal " + Trimmed(line.key.substr(5, 3)) + ", mois " + month,
                                   std::string("ReConstruction")})
    EXPECT_NE(left.find(named), std::string::npos) << named << "\n" << left;
  // A sound line's cancel names nothing.
  std::uint32_t sound = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && sound == 0; ++r)
    if (r != recno && c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' && !IsLettered(c50))
      sound = r;
  ASSERT_NE(sound, 0u);
  EXPECT_EQ(CancelLine(c50, c60, sound, "ligne", nullptr, &refusal, &left), LineChange::Done) << refusal;
  EXPECT_EQ(left, "");
}

// An analytic line saved or cancelled over its own amount that does not read goes through, and names the
// one total its amounts move: its section's (the old one, for a line moved to another section), which
// still counts the old amount, the ReConstruction advised. With its section's total unread as well, the
// change is refused, nothing written and nothing named left.
TEST_F(AnalyticSaveTest, AnAnalyticLineChangedOverItsOwnUnreadAmountNamesItsSection) {
  const std::uint32_t recno = AnalyticLineWithEuros();
  ASSERT_NE(recno, 0u);
  ASSERT_TRUE(c50.GoTo(recno));
  const LineRecord line = ReadLineRecord(c50);
  std::string key;
  for (int f : {L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM, L::BCLE, L::BNUMA}) key += c50.GetField(f);
  std::string other;
  for (bool more = TableC30->GoTop("C30CODE"); more && other.empty(); more = TableC30->Skip(1))
    if (!TableC30->IsDeleted() && Trimmed(TableC30->GetField(1)) != Trimmed(line.account))
      other = Trimmed(TableC30->GetField(1));
  ASSERT_FALSE(other.empty());
  ASSERT_TRUE(TableC30->Seek("C30CODE", line.account.c_str())) << line.account;
  const std::uint32_t sectionRecord = TableC30->recordNumber;
  entry::AnalyticLineValues v;
  v.day = line.day;
  v.section = other;
  v.label = "libelle corrige";
  v.sense = line.sense;
  v.francs = ToCents(line.francs);
  v.euros = ToCents(line.euros);
  const std::string c50Path = PathC50() + std::string(".dbf");
  const std::string section = "section " + Trimmed(line.account);
  const int side = line.sense == 'D' ? 0 : 1;
  std::string refusal, left = "-";
  // The section's total unread too: refused, nothing written.
  {
    const Damaged own(c50Path, recno, "BMONTANTE", "abc");
    const Damaged total(PathC30() + std::string(".dbf"), sectionRecord, "ACREDITF", "abc");
    const std::string before = BooksBytes();
    EXPECT_EQ(entry::SaveAnalyticLineRecord(c50, c60, key, v, &refusal, &left), entry::AnalyticSaveOutcome::Failed);
    EXPECT_EQ(left, "");
    left = "-";
    EXPECT_EQ(entry::CancelSplitLine(c50, c60, recno, "ligne", &refusal, &left), LineChange::Failed);
    EXPECT_EQ(left, "");
    EXPECT_EQ(BooksBytes(), before) << "written over a section's total that does not read";
  }
  // Moved to another section over its own amount: the old section keeps it and is named.
  const auto oldBefore = SectionEuros(line.account), otherBefore = SectionEuros(other);
  test_support::RawRecords(c50Path).Put(recno, "BMONTANTE", "abc");
  ASSERT_EQ(entry::SaveAnalyticLineRecord(c50, c60, key, v, &refusal, &left), entry::AnalyticSaveOutcome::Saved)
      << refusal;
  EXPECT_EQ(SectionEuros(line.account), oldBefore) << "an amount that did not read taken off";
  EXPECT_EQ(SectionEuros(other)[side] - otherBefore[side], v.euros);
  for (const std::string& named : {std::string("il est remplac\xE9"), section, std::string("ReConstruction")})
    EXPECT_NE(left.find(named), std::string::npos) << named << "\n" << left;
  EXPECT_EQ(left.find("section " + other), std::string::npos) << left;
  // Saved again, sound: nothing named.
  EXPECT_EQ(entry::SaveAnalyticLineRecord(c50, c60, key, v, &refusal, &left), entry::AnalyticSaveOutcome::Saved);
  EXPECT_EQ(left, "");
  // Cancelled over its own amount: its section now, the other one, named.
  const auto cancelBefore = SectionEuros(other);
  test_support::RawRecords(c50Path).Put(recno, "BMONTANTE", "abc");
  ASSERT_EQ(entry::CancelSplitLine(c50, c60, recno, "ligne", &refusal, &left), LineChange::Done) << refusal;
  EXPECT_EQ(SectionEuros(other), cancelBefore);
  for (const std::string& named : {std::string("la ligne est annul\xE9" "e"), "section " + other})
    EXPECT_NE(left.find(named), std::string::npos) << named << "\n" << left;
}

}  // namespace
}  // namespace entry_test
