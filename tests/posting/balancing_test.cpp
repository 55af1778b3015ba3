// Balancing a line: the amount that takes a balance in the entry currency, the rounding line a piece asks
// for, the next step after a new line, "Solder le Compte" on the line as loaded, the piece's and the
// journal-month's balances, and the rounding accounts of the program INI read one way by the line form and by
// the rebuild's balancing.
#include "entry/core_fixture.h"
#include "data/rounding_accounts.h"
#include "dossier/core/maintenance_rebuild.h"
#include "posting/balancing.h"
#include "posting/journal_lines.h"
#include "posting/line_save.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "support/books_writes.h"
#include "support/line_files.h"

namespace entry_test {
namespace {

using namespace posting;

using BalancingTest = CoreTest;
constexpr double kRate = 6.55957;

TEST_F(BalancingTest, TheLineTakesTheOppositeOfTheBalanceInItsCurrency) {
  const struct Case {
    const char* what;
    long long balanceF, balanceE;
    bool euros, convert;
    char sense;
    long long francs, euros_;
    bool hasFrancs, hasEuros;
  } cases[] = {
      {"100.00 francs in debit, typed in francs", 10000, 1524, false, true, 'C', 10000, 1524, true, true},
      {"a credit balance in euros", -2000, -2000, true, true, 'D', 13119, 2000, true, true},
      {"a rounding line in francs takes the francs alone", 1, 0, false, false, 'C', 1, 0, true, false},
      {"a rounding line in euros", 0, -1, true, false, 'D', 0, 1, false, true},
      {"nothing to balance", 0, 7, false, true, 'D', 0, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BalancingLine l = LineTaking(c.balanceF, c.balanceE, c.euros, c.convert, kRate);
    EXPECT_EQ(l.hasFrancs, c.hasFrancs);
    EXPECT_EQ(l.hasEuros, c.hasEuros);
    if (c.hasFrancs || c.hasEuros) {
      EXPECT_EQ(l.sense, c.sense);
    }
    EXPECT_EQ(l.francs, c.francs);
    EXPECT_EQ(l.euros, c.euros_);
  }
}

TEST_F(BalancingTest, ARoundingLineOrTheNextLineFollowsThePiecesBalances) {
  auto piece = [](long long f, long long e) {
    Balances b;
    b.debitF = f;
    b.debitE = e;
    return b;
  };
  const struct Case {
    const char* what;
    long long f, e;
    bool entryEuros, euroOnly;
    int rounding;
    NextStep next;
    int nextRounding;
  } cases[] = {
      {"balanced in both", 0, 0, true, false, 0, NextStep::NewPiece, 0},
      {"unbalanced in both", 500, 76, true, false, 0, NextStep::NewLine, 0},
      {"euros typed, francs off by a cent", 1, 0, true, false, 1, NextStep::NewLine, 1},
      {"francs typed, euros off by a cent", 0, -1, false, false, 2, NextStep::NewLine, 2},
      {"francs typed, francs off", 1, 0, false, false, 0, NextStep::Nothing, 0},
      {"euros only: francs never asked", 1, 0, true, true, 0, NextStep::NewPiece, 0},
      {"euros only, euros off", 0, 3, true, true, 0, NextStep::NewLine, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RoundingLineWanted(piece(c.f, c.e), c.entryEuros, c.euroOnly), c.rounding);
    const NextLine n = NextLineAfter(piece(c.f, c.e), c.entryEuros, c.euroOnly);
    EXPECT_EQ(n.step, c.next);
    EXPECT_EQ(n.roundingFlag, c.nextRounding);
  }
}

// "Solder le Compte": the account's totals hold the line as it was loaded; that part comes off, not the
// amounts typed since.
TEST_F(BalancingTest, SolderLeCompteTakesOffTheLineAsLoaded) {
  ASSERT_TRUE(TableC20->Seek("C20CODE", "62700000"));
  {
    const test_support::SetUpPermit permit("totaux mis en place");
    for (const auto& [field, value] : {std::pair{17, 200.0}, {18, 30.49}, {19, 120.0}, {20, 18.29}})
      ASSERT_TRUE(TableC20->PutFieldNum(field, value));
  }
  LineRecord loaded;
  loaded.live = true;
  loaded.account = "62700000";
  loaded.sense = 'D';
  loaded.francs = 50;
  loaded.euros = 7.62;
  const struct Case {
    const char* what;
    bool live;
    std::string loadedAccount, account;
    long long francs;
  } cases[] = {
      {"a saved line of 50.00 debit: 200 - 120 - 50", true, "62700000", "627", 3000},
      {"its amount edited since: the same answer", true, "62700000", "62700000", 3000},
      {"a new line never saved", false, "62700000", "62700000", 8000},
      {"a line loaded on another account", true, "60700000", "62700000", 8000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LineRecord l = loaded;
    l.live = c.live;
    l.account = c.loadedAccount;
    const Pair p = AccountBalanceWithoutLine(*TableC20, c.account, l);
    EXPECT_EQ(p.francs, c.francs);
    const BalancingLine line = LineTaking(p.francs, p.euros, false, true, kRate);
    EXPECT_EQ(line.sense, 'C');
    EXPECT_EQ(line.francs, c.francs);
  }
}

TEST_F(BalancingTest, ThePieceCountsTheLineAsTypedAndTheJournalLeavesItOut) {
  // A live line of a piece of several lines.
  std::string key;
  LineRecord line;
  for (std::uint32_t r = 1; r <= c50.RecCount() && key.empty(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z' || std::string(c50.GetField(L::BNUM)) != "0002")
      continue;
    line = ReadLineRecord(c50);
    key = line.key;
  }
  ASSERT_FALSE(key.empty());
  const Balances stored = SumPiece(c50, key.substr(0, 14), nullptr);
  EXPECT_EQ(stored.BalanceF(), 0) << "a generated piece balances";
  EXPECT_EQ(stored.BalanceE(), 0);
  const Balances without = SumPiece(c50, key, nullptr);
  const long long sign = line.sense == 'D' ? 1 : -1;
  EXPECT_EQ(without.BalanceE(), -sign * ToCents(line.euros));
  const TypedLine typed{'D', 10000, 1524};
  const Balances with = SumPiece(c50, key, &typed);
  EXPECT_EQ(with.BalanceF(), without.BalanceF() + 10000);
  EXPECT_EQ(with.debitE, without.debitE + 1524);
  const Balances journal = JournalBalanceWithout(c50, key);
  EXPECT_EQ(journal.BalanceE(), -sign * ToCents(line.euros)) << "a generated journal-month balances";
}

// A line whose euro amount holds "12,34" over its 16.44 (read by the lenient reading as 1,234.00)
// counts as zero in its piece's and its journal-month's balances, as every report reads it, and
// is named there; the amount search does not take it for 12.34.
TEST_F(BalancingTest, ALineWhoseAmountDoesNotReadCountsAsZeroAndIsNamed) {
  std::string key;
  LineRecord line;
  for (std::uint32_t r = 1; r <= c50.RecCount() && key.empty(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z' || c50.GetFieldNum(L::BMONTANTE) == 0) continue;
    line = ReadLineRecord(c50);
    key = line.key;
  }
  ASSERT_FALSE(key.empty());
  const long long sign = line.sense == 'D' ? 1 : -1, cents = ToCents(line.euros);
  const Balances piece = SumPiece(c50, key.substr(0, 14), nullptr);
  const JournalBalance journal = SumJournal(c50, key.substr(0, 8));
  EXPECT_TRUE(piece.unreadable.empty());
  EXPECT_TRUE(journal.unreadable.empty());
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    raw.Put(line.recno, "BMONTANTE", "12,34");
  }
  const Balances damagedPiece = SumPiece(c50, key.substr(0, 14), nullptr);
  const JournalBalance damagedJournal = SumJournal(c50, key.substr(0, 8));
  EXPECT_EQ(damagedPiece.BalanceE(), piece.BalanceE() - sign * cents);
  EXPECT_EQ(damagedJournal.BalanceE(), journal.BalanceE() - sign * cents);
  EXPECT_EQ(damagedPiece.BalanceF(), piece.BalanceF()) << "its francs still read";
  const std::string named = "C50 enregistrement " + std::to_string(line.recno) + ", pi\xE8" "ce " + Trimmed(key.substr(8, 6));
  for (const auto* lines : {&damagedPiece.unreadable, &damagedJournal.unreadable}) {
    ASSERT_EQ(lines->size(), 1u);
    EXPECT_NE(UnreadableAmountsMessage(*lines).find(named), std::string::npos) << UnreadableAmountsMessage(*lines);
  }
  // The line's own balancing leaves it out: its amount is the one being typed.
  EXPECT_TRUE(JournalBalanceWithout(c50, key).unreadable.empty());
  for (const FoundLine& f : FindAmount(c50, 1234, ""))
    EXPECT_NE(f.recno, line.recno) << "\"12,34\" is no amount of 12.34";
}

TEST_F(BalancingTest, TheRoundingAccountsAreReadOneWay) {
  const struct Case {
    const char* debit;
    const char* credit;
    std::string wantDebit, wantCredit;
  } cases[] = {
      {nullptr, nullptr, "66600000", "76600000"},
      {"666", "7661", "66600000", "76610000"},
      {"ZARR", "665000001234", "ZARR    ", "66500000"},
  };
  for (const Case& c : cases) {
    IniSetString("CpteArrondiDB", c.debit != nullptr ? c.debit : "");
    IniSetString("CpteArrondiCR", c.credit != nullptr ? c.credit : "");
    EXPECT_EQ(RoundingAccount(true), c.wantDebit);
    EXPECT_EQ(RoundingAccount(false), c.wantCredit);
  }
}

// The rebuild's balancing of a dossier of two currencies whose euros are off by a cent: its rounding line
// goes to "666" of the INI read as 66600000, the account the line form's rounding lines take.
TEST_F(BalancingTest, TheRebuildPostsItsRoundingLineWhereTheLineFormDoes) {
  IniSetString("CpteArrondiDB", "666");
  IniSetString("CpteArrondiCR", "766");
  {
    const test_support::SetUpPermit permit("piece desequilibree");
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' && c50.GetField(L::BSENS)[0] == 'D') {
        ASSERT_TRUE(c50.PutFieldNum(L::BMONTANTE, c50.GetFieldNum(L::BMONTANTE) + 0.01));
        break;
      }
    }
  }
  c50.CloseTable();
  c60.CloseTable();
  ASSERT_TRUE(TableC10->Seek("C10CODE", "P"));
  TheDossierRecord.Set(539, 252, TableC10->GetField(4));
  TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  CloseAllTables();
  SetLogDossier(DossierFolder, DossierCode);
  const RebuildReport report = RunDossierRebuild(true, false);
  ASSERT_EQ(report.code, 0);
  EXPECT_EQ(report.balance.linesWritten, 2);
  OpenTables();
  long onRounding = 0, onShort = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted()) continue;
    const std::string account = c50.GetField(L::BCODE);
    if (account == "66600000" && c50.GetField(L::BEURO)[0] == 'n') ++onRounding;
    if (account == "666     ") ++onShort;
  }
  EXPECT_EQ(onRounding, 1);
  EXPECT_EQ(onShort, 0);
  EXPECT_EQ(RoundingAccount(true), "66600000");
}

}  // namespace
}  // namespace entry_test
