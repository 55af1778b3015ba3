// Two stations creating the same record while they post lines: one finds the account (or the
// journal-month header) missing and, before it inserts it, the other creates it and posts its
// line. The record exists once, with both lines in its totals.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

#include "data/account_totals.h"
#include "data_test_util.h"
#include "runtime/numbers.h"
#include "support/other_process.h"
#include "support/totals_post.h"

namespace data_test {
namespace {

// A pipe the other station writes to when its look-up found nothing, and one it then waits
// on before it goes on to create the record.
int missed[2] = {-1, -1};
int resume[2] = {-1, -1};

void PauseAfterTheFirstMiss() {
  dbase::DbiSeekMissHook = nullptr;
  char c = 'm';
  if (::write(missed[1], &c, 1) != 1 || ::read(resume[0], &c, 1) != 1) _exit(1);
}

void PostLine(char what, double francs) {
  test_support::PostTotals(what == 'a' ? 'A' : 'H', what == 'a' ? "60100001" : "0124VT", "+D", francs, 0);
}

// Records with that code in natural order, and the francs debit summed over them.
std::pair<int, double> Records(Table& t, const std::string& path, int codeField, const std::string& code,
                               int debitField) {
  std::pair<int, double> seen{0, 0};
  EXPECT_TRUE(t.OpenShared(path));
  for (bool on = t.GoTop(); on && !t.eof; on = t.Skip(1)) {
    if (std::string(RTrim(t.GetField(codeField))) != code) continue;
    ++seen.first;
    seen.second += Val(std::string(t.GetField(debitField)).substr(0, 14).c_str());
  }
  t.CloseTable();
  return seen;
}

TEST_F(DataTest, TwoStationsCreatingTheSameRecordLeaveOneWithBothLines) {
  CreateDossier();
  ASSERT_EQ(::pipe(missed), 0);
  ASSERT_EQ(::pipe(resume), 0);
  test_support::OtherProcess station([](char what) {
    if (!TableC10->OpenShared(DossierPath(TableKind::C10), "C10CODE") ||
        !TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"))
      return false;
    dbase::DbiSeekMissHook = PauseAfterTheFirstMiss;
    PostLine(what, 1.00);
    CloseAllTables();
    return true;
  });
  ASSERT_TRUE(TableC10->OpenShared(DossierPath(TableKind::C10), "C10CODE"));
  ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  for (char what : {'a', 'h'}) {
    SCOPED_TRACE(what);
    bool otherDone = false;
    std::thread other([&] { otherDone = station.Do(what); });
    char c = 0;
    ASSERT_EQ(::read(missed[0], &c, 1), 1);
    PostLine(what, 2.00);
    ASSERT_EQ(::write(resume[1], &c, 1), 1);
    other.join();
    EXPECT_TRUE(otherDone);
  }
  CloseAllTables();
  for (int fd : {missed[0], missed[1], resume[0], resume[1]}) ::close(fd);

  EXPECT_EQ(Records(*TableC20, DossierPath(TableKind::C20), 1, "60100001", 17), std::make_pair(1, 3.0));
  EXPECT_EQ(Records(*TableC10, DossierPath(TableKind::C10), 2, "0124VT", 4), std::make_pair(1, 3.0));
}

// A station stopped (SIGSTOP) while it holds a table's creation lock: another station's
// posting to a missing account, or to a missing journal-month header, waits only as long as
// the lock-wait bound, then says which file it waited for and writes no record.
TEST_F(DataTest, CreationLockHeldByAStoppedStationGivesUpWithTheMessageAndWritesNothing) {
  CreateDossier();
  test_support::Signal holding;
  test_support::OtherProcess station([&holding](char what) {
    Table* table = what == 'a' ? TableC20 : TableC10;
    if (!table->OpenShared(DossierPath(what == 'a' ? TableKind::C20 : TableKind::C10)) || !table->LockForCreate())
      return false;
    holding.Post();
    ::raise(SIGSTOP);
    table->UnlockForCreate();
    CloseAllTables();
    return true;
  });
  ASSERT_TRUE(TableC10->OpenShared(DossierPath(TableKind::C10), "C10CODE"));
  ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  dbase::DbiSetLockWait(300);
  const struct Case {
    char what;
    const char* file;
  } cases[] = {{'a', "c20tst.dbf"}, {'h', "c10tst.dbf"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Boxes().clear();
    bool otherDone = false;
    std::thread other([&] { otherDone = station.Do(c.what); });
    ASSERT_TRUE(holding.Wait());
    const auto start = std::chrono::steady_clock::now();
    PostLine(c.what, 5.00);
    const auto waited = std::chrono::steady_clock::now() - start;
    ::kill(station.pid(), SIGCONT);
    other.join();
    EXPECT_TRUE(otherDone);
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(10));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_NE(Boxes()[0].caption.find("10249"), std::string::npos) << Boxes()[0].caption;
    EXPECT_NE(Boxes()[0].text.find(c.file), std::string::npos) << Boxes()[0].text;
  }
  dbase::DbiSetLockWait(0);
  CloseAllTables();
  EXPECT_EQ(Records(*TableC20, DossierPath(TableKind::C20), 1, "60100001", 17), std::make_pair(0, 0.0));
  EXPECT_EQ(Records(*TableC10, DossierPath(TableKind::C10), 2, "0124VT", 4), std::make_pair(0, 0.0));
}

}  // namespace
}  // namespace data_test
