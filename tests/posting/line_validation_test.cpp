// The tests of a typed line, as one table of lines and the message and field each gets back (the
// largest amount a line holds among them, the account of a cancelled collective); and the
// cash-account warning, whose amounts count the line as typed instead of the line as loaded.
#include "entry/core_fixture.h"
#include "posting/line_validation.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "support/books_writes.h"
#include "support/refused_read.h"

namespace entry_test {
namespace {

using namespace posting;

class ValidationTest : public CoreTest {
 protected:
  long Lines() const override { return 200; }
  // The first live account of C20 beginning with the letter.
  std::string AccountOf(char letter) {
    for (bool more = TableC20->GoTop("C20CODE"); more; more = TableC20->Skip(1))
      if (TableC20->GetField(1)[0] == letter && !TableC20->IsDeleted()) return TableC20->GetField(1);
    return {};
  }
  void AddC10(char kind, const std::string& code, const std::string& text4) {
    ASSERT_TRUE(TableC10->AppendBlank());
    TableC10->PutField(1, std::string(1, kind).c_str());
    TableC10->PutField(2, code.c_str());
    TableC10->PutField(3, "Test");
    TableC10->PutField(4, text4.c_str());
    ASSERT_TRUE(TableC10->InsertRecord());
  }
};

// A key of a journal-month (stored YYMM) on journal AC.
std::string KeyOf(const std::string& month) { return "Z" + month + "AC 000001000001" "0001"; }

TEST_F(ValidationTest, EachTypedLineGetsItsMessageAndItsField) {
  const std::string customer = AccountOf('C'), supplier = AccountOf('F');
  ASSERT_FALSE(customer.empty());
  ASSERT_FALSE(supplier.empty());
  // A distribution code whose account is cancelled, one that names none.
  AddC10('V', "X1", "62700000");
  ASSERT_TRUE(TableC20->Seek("C20CODE", "62700000"));
  ASSERT_TRUE(TableC20->DeleteRecord(nullptr, 0));
  UnlockRecord(*TableC20);
  // "F Fournisseurs" cancelled in its list: its account keeps collecting the suppliers' lines.
  ASSERT_TRUE(TableC10->Seek("C10CODE", "B", "F"));
  ASSERT_TRUE(TableC10->DeleteRecord(nullptr, 0));
  UnlockRecord(*TableC10);

  constexpr LineField kNone = LineField::None;
  const struct Case {
    const char* what;
    std::string month;  // BMOIS
    char journal;
    std::string day, distribution, account, due;
    double debitF, creditE;
    char c006, c007;
    int message;
    LineField focus;
  } cases[] = {
      {"a plain line", "C604", 'A', "15", "", "60700000", "", 10, 0, 'N', 'N', 0, kNone},
      {"day 31 in a 30-day month", "C604", 'A', "31", "", "60700000", "", 10, 0, 'N', 'N', kMsgDayWrong, LineField::Day},
      {"day 30 in a 30-day month", "C604", 'A', "30", "", "60700000", "", 10, 0, 'N', 'N', 0, kNone},
      {"29 February 2026", "C602", 'A', "29", "", "60700000", "", 10, 0, 'N', 'N', kMsgDayWrong, LineField::Day},
      {"29 February 2004", "A402", 'A', "29", "", "60700000", "", 10, 0, 'N', 'N', 0, kNone},
      {"29 February 2005", "A502", 'A', "29", "", "60700000", "", 10, 0, 'N', 'N', kMsgDayWrong, LineField::Day},
      {"day 00", "C604", 'A', "00", "", "60700000", "", 10, 0, 'N', 'N', kMsgDayWrong, LineField::Day},
      {"blank day", "C604", 'A', "  ", "", "60700000", "", 10, 0, 'N', 'N', kMsgDayWrong, LineField::Day},
      {"one digit", "C604", 'A', "5", "", "60700000", "", 10, 0, 'N', 'N', 0, kNone},
      {"unknown distribution code", "C604", 'A', "15", "ZZ", "60700000", "", 10, 0, 'N', 'N', kMsgDistributionUnknown,
       LineField::Distribution},
      {"distribution code naming a cancelled account", "C604", 'A', "15", "X1", "", "", 10, 0, 'N', 'N',
       kMsgDistributionNoAccount, LineField::Distribution},
      {"distribution code naming no account", "C604", 'A', "15", "9", "", "", 10, 0, 'N', 'N',
       kMsgDistributionNoAccount, LineField::Distribution},
      {"distribution code giving its account", "C604", 'A', "15", "A1", "", "", 10, 0, 'N', 'N', 0, kNone},
      {"blank account", "C604", 'A', "15", "", "", "", 10, 0, 'N', 'N', kMsgAccountEmpty, LineField::Account},
      {"00000000", "C604", 'A', "15", "", "00000000", "", 10, 0, 'N', 'N', kMsgAccountEmpty, LineField::Account},
      {"411 is 41100000, a collective", "C604", 'A', "15", "", "411", "", 10, 0, 'N', 'N', kMsgCollectiveAccount,
       LineField::Account},
      {"401 is 40100000, the cancelled collective's", "C604", 'A', "15", "", "401", "", 10, 0, 'N', 'N',
       kMsgCollectiveAccount, LineField::Account},
      {"607 is 60700000", "C604", 'A', "15", "", "607", "", 10, 0, 'N', 'N', 0, kNone},
      {"C12 padded with blanks", "C604", 'O', "15", "", "C12", "", 10, 0, 'N', 'N', kMsgAccountUnknown, LineField::Account},
      {"customer in purchases", "C604", 'A', "15", "", customer, "", 10, 0, 'N', 'N', kMsgAccountNotAllowed,
       LineField::Account},
      {"customer in purchases, constant 006", "C604", 'A', "15", "", customer, "", 10, 0, 'O', 'N', 0, kNone},
      {"supplier in sales", "C604", 'V', "15", "", supplier, "", 10, 0, 'N', 'N', kMsgAccountNotAllowed,
       LineField::Account},
      {"supplier in sales, constant 007", "C604", 'V', "15", "", supplier, "", 10, 0, 'N', 'O', 0, kNone},
      {"customer in treasury", "C604", 'T', "15", "", customer, "", 10, 0, 'N', 'N', 0, kNone},
      {"supplier in other operations", "C604", 'O', "15", "", supplier, "", 10, 0, 'N', 'N', 0, kNone},
      {"due date on the line's day", "C604", 'A', "15", "", "60700000", "15/04/26", 10, 0, 'N', 'N', 0, kNone},
      {"due date a day early", "C604", 'A', "15", "", "60700000", "14/04/26", 10, 0, 'N', 'N', kMsgDueDateWrong,
       LineField::DueDate},
      {"negative francs", "C604", 'A', "15", "", "60700000", "", -10, 0, 'N', 'N', kMsgNegativeAmount, LineField::DebitF},
      {"negative euros", "C604", 'A', "15", "", "60700000", "", 0, -3, 'N', 'N', kMsgNegativeAmount, LineField::CreditE},
      // The largest amount a line takes in either currency, its twin in the other fitting its field too; a cent
      // more is refused. In euros the francs are the limit (99 999 999 999,99 F are 15 244 901 723,74 €).
      {"the largest francs", "C604", 'A', "15", "", "60700000", "", 99999999999.99, 0, 'N', 'N', 0, kNone},
      {"the largest euros", "C604", 'A', "15", "", "60700000", "", 0, 15244901723.74, 'N', 'N', 0, kNone},
      {"a cent more francs", "C604", 'A', "15", "", "60700000", "", 100000000000.00, 0, 'N', 'N', kMsgAmountTooLarge,
       LineField::DebitF},
      {"a cent more euros", "C604", 'A', "15", "", "60700000", "", 0, 15244901723.75, 'N', 'N', kMsgAmountTooLarge,
       LineField::CreditE},
      {"euros whose francs no field holds", "C604", 'A', "15", "", "60700000", "", 0, 99999999999.99, 'N', 'N',
       kMsgAmountTooLarge, LineField::CreditE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ValidationRequest r;
    r.key = KeyOf(c.month);
    r.journalType = c.journal;
    r.values.day = c.day;
    r.values.distribution = c.distribution;
    r.values.account = c.account;
    r.values.dueDate = c.due;
    r.values.amounts.debitF = c.debitF;
    r.values.amounts.creditE = c.creditE;
    r.modified = true;
    r.constant006 = c.c006;
    r.constant007 = c.c007;
    const Validation v = ValidateLineValues(*TableC10, *TableC20, r);
    EXPECT_EQ(v.message, c.message);
    EXPECT_EQ(v.focus, c.focus);
    EXPECT_EQ(v.answer, c.message == 0 ? kLineChanged : kLineRefused);
    // The form's message line names the largest amount taken in the refused field's currency.
    if (c.message == kMsgAmountTooLarge) {
      EXPECT_EQ(v.text, std::string("Le Montant est trop grand: ") +
                            (c.focus == LineField::CreditE ? "15 244 901 723,74" : "99 999 999 999,99") + " au plus");
    } else if (c.message != 0) {
      EXPECT_EQ(v.text, LoadStr(c.message));
    }
  }
}

// Each read of the chart or of the general file (where the collectives are) refused by the disk in
// turn, while a line on a collective account and one on a plain account are tested: a refused read
// is no answer. The collective is never taken, the plain account never called unknown nor
// collective: the line is refused as not read, and taken once the disk reads.
TEST_F(ValidationTest, AnAccountWhoseReadIsRefusedIsNeitherUnknownNorTaken) {
  const struct Case {
    const char* account;
    int read;  // the message when every read goes through
  } cases[] = {{"411", kMsgCollectiveAccount}, {"607", 0}};
  for (const char* file : {"/c20je.dbf", "/c20je.mdx", "/c10je.dbf", "/c10je.mdx"})
    for (const Case& c : cases) {
      int refused = 0;
      for (int nth = 1;; ++nth) {
        SCOPED_TRACE(std::string(c.account) + ", read " + std::to_string(nth) + " of " + file + " refused");
        ValidationRequest r;
        r.key = KeyOf("C604");
        r.journalType = 'A';
        r.values.day = "15";
        r.values.account = c.account;
        r.values.amounts.debitF = 10;
        r.modified = true;
        test_support::RefusedRead::Arm(file, nth);
        const Validation v = ValidateLineValues(*TableC10, *TableC20, r);
        const int seen = test_support::RefusedRead::Seen();
        test_support::RefusedRead::Disarm();
        if (seen >= nth) {
          ++refused;
          EXPECT_EQ(v.message, kMsgAccountUnread);
          EXPECT_EQ(v.answer, kLineRefused);
          EXPECT_EQ(v.focus, LineField::Account);
          EXPECT_FALSE(v.accountLive);
        } else {
          EXPECT_EQ(v.message, c.read);
        }
        ASSERT_FALSE(HasFailure());
        if (seen < nth) break;
      }
      // The index pages stay in memory once read; every test reads the records.
      if (std::string(file).ends_with(".dbf")) EXPECT_GE(refused, 1) << c.account << " " << file;
    }
}

// A distribution code whose account is read while the disk refuses one read of the chart (each in turn): the
// account not read is said as such, never as a distribution without account; once read, the code passes.
TEST_F(ValidationTest, ADistributionWhoseAccountIsNotReadIsNeverWithoutAccount) {
  AddC10('V', "X2", "60700000");
  for (const char* file : {"/c20je.dbf", "/c20je.mdx"}) {
    int refused = 0;
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::string("read ") + std::to_string(nth) + " of " + file + " refused");
      test_support::RefusedRead::Arm(file, nth);
      const FieldCheck check = CheckDistribution(*TableC10, *TableC20, "X2");
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      EXPECT_NE(check.message, kMsgDistributionNoAccount);
      if (check.message == kMsgAccountUnread) {
        ++refused;
        EXPECT_FALSE(check.accountLive);
      } else {
        EXPECT_EQ(check.message, 0);
        EXPECT_TRUE(check.accountLive);
      }
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    // The index pages stay in memory once read; the record is read each time.
    if (std::string(file).ends_with(".dbf")) EXPECT_GE(refused, 1) << file;
  }
}

// A distribution code read while the disk refuses one read of the general file (each in turn): the code not
// read is said as such, never as a code unknown; once read, it passes with its account.
TEST_F(ValidationTest, ADistributionCodeNotReadIsNeverUnknown) {
  AddC10('V', "X3", "60700000");
  for (const char* file : {"/c10je.dbf", "/c10je.mdx"}) {
    int refused = 0;
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::string("read ") + std::to_string(nth) + " of " + file + " refused");
      test_support::RefusedRead::Arm(file, nth);
      const FieldCheck check = CheckDistribution(*TableC10, *TableC20, "X3");
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      EXPECT_NE(check.message, kMsgDistributionUnknown);
      if (check.message == kMsgDistributionUnread) {
        ++refused;
        EXPECT_FALSE(check.accountLive);
      } else {
        EXPECT_EQ(check.message, 0);
        EXPECT_EQ(check.account, "60700000");
      }
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    // The index pages stay in memory once read; the record is read each time.
    if (std::string(file).ends_with(".dbf")) EXPECT_GE(refused, 1) << file;
  }
}

TEST_F(ValidationTest, AnUnchangedLineClosesWithoutSaveAndQuitterSkipsTheTests) {
  ValidationRequest r;
  r.key = KeyOf("C604");
  r.values.day = "15";
  r.values.account = "60700000";
  EXPECT_EQ(ValidateLineValues(*TableC10, *TableC20, r).answer, kLineUnchanged);
  r.values.day = "45";
  r.noCheck = true;
  EXPECT_EQ(ValidateLineValues(*TableC10, *TableC20, r).answer, kLineUnchanged);
  // The distribution code's account comes back for the field; a field of eight zeros is emptied.
  r.noCheck = false;
  r.values.day = "15";
  r.values.distribution = "A1";
  const Validation d = ValidateLineValues(*TableC10, *TableC20, r);
  EXPECT_TRUE(d.accountFromDistribution);
  EXPECT_EQ(d.account, "60110000");
  r.values.distribution.clear();
  r.values.account = "00000000";
  EXPECT_TRUE(ValidateLineValues(*TableC10, *TableC20, r).accountEmptied);
}

// The cash account's stored balance, less what the line as loaded put on it, plus the line as typed:
// in credit, the warning.
TEST_F(ValidationTest, TheCashWarningCountsTheLineAsTypedNotAsLoaded) {
  ASSERT_TRUE(TableC20->Seek("C20CODE", "53000000"));
  {
    const test_support::SetUpPermit permit("totaux mis en place");
    ASSERT_TRUE(TableC20->PutFieldNum(18, 500.00));
    ASSERT_TRUE(TableC20->PutFieldNum(20, 120.50));
  }
  const double balance = 379.50;
  LineRecord loaded;
  loaded.live = true;
  loaded.account = "53000000";
  const struct Case {
    const char* what;
    const char* account;
    double typedCredit;
    char loadedSense;
    double loadedAmount;
    bool warned;
  } cases[] = {
      {"a credit of the whole balance", "530", balance, ' ', 0, false},
      {"a cent more", "530", balance + 0.01, ' ', 0, true},
      {"the loaded credit counted once", "53000000", balance + 50, 'C', 50, false},
      {"the loaded debit taken off first", "53000000", balance, 'D', 20, true},
      {"another account", "51200000", balance * 10, ' ', 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LineRecord l = loaded;
    l.live = c.loadedSense != ' ';
    l.sense = c.loadedSense;
    l.euros = c.loadedAmount;
    LineValues typed;
    typed.sense = 'C';
    typed.amounts.creditE = c.typedCredit;
    EXPECT_EQ(CashAccountWouldBeCredit(*TableC20, c.account, true, typed, l), c.warned);
  }
}

}  // namespace
}  // namespace entry_test
