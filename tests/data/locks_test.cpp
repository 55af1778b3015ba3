// Record locks and the dossier lock between two processes: the test is one station, a
// forked child the other, driven by one-byte commands through pipes (no sleeping: each
// command waits for the child's answer).
#include <climits>
#include <stdexcept>

#include "data/dossier_lock.h"
#include "data/error_report.h"
#include "data/locks.h"
#include "data_test_util.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "support/other_process.h"
#include "support/refused_read.h"

namespace data_test {
namespace {

using test_support::OtherProcess;

// The notice of a record another window of this station holds: the file's title, the record.
constexpr int kMsgRecordHeldHere = 36200;

class LockTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    CreateDossier();
    Table t;
    ASSERT_TRUE(t.OpenShared(DossierPath(TableKind::C20), "C20CODE"));
    Add(t, {"41100000", "ORIGINE"});
    Add(t, {"40100000", "AUTRE"});
  }
};

// Commands of the other station on account 41100000: l lock, m modify (keeping the lock),
// u unlock; o open the dossier's lock table shared, c close it.
bool OtherStation(char cmd) {
  static Table* accounts = nullptr;
  static Table* lockTable = nullptr;
  if (accounts == nullptr) {
    accounts = new Table();
    lockTable = new Table();
    if (!accounts->OpenShared(DataTest::DossierPath(TableKind::C20), "C20CODE")) return false;
  }
  switch (cmd) {
    case 'l': return accounts->Seek("C20CODE", "41100000") && LockRecord(*accounts, nullptr, 0);
    case 'm': return accounts->PutField(2, "CHANGE AILLEURS");
    case 'u': return UnlockRecord(*accounts);
    case 'o': return lockTable->OpenShared(DossierTablePath());
    case 'c': return lockTable->CloseTable();
    default: return false;
  }
}

TEST_F(LockTest, ThreeModesWhileAnotherStationHoldsTheRecord) {
  OtherProcess other(OtherStation);
  ASSERT_TRUE(other.Do('l'));
  ASSERT_TRUE(other.Do('m'));
  Table& t = *TableC20;
  ASSERT_TRUE(t.OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  ASSERT_TRUE(t.Seek("C20CODE", "41100000"));
  const std::uint32_t held = t.recordNumber;

  // Silent: false at once.
  EXPECT_FALSE(LockRecord(t, nullptr, 0));
  EXPECT_EQ(t.result, dbase::DBIERR_LOCKED);
  EXPECT_TRUE(Notices().empty());

  // Ask once, empty text: one notice with an empty record line, then false; the record was
  // read again and shows the other station's change.
  EXPECT_FALSE(LockRecord(t, "", 0));
  EXPECT_EQ(t.result, dbase::DBIERR_LOCKED);
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].caption, "Nuv-Merlon ZEL+");
  const std::string title = TableFileTitle(&t);
  EXPECT_EQ(Notices()[0].text, "La fiche suivante est utilis\xE9" "e de mani\xE8re EXCLUSIVE par un autre poste:\n"
                               "   - Fichier: " + title + "\n   - Enregistrement: \n\n");
  EXPECT_EQ(RTrim(t.GetField(2)), std::string("CHANGE AILLEURS"));
  EXPECT_EQ(t.recordNumber, held);

  const std::string text = t.RecordToText(2);

  // Wait: the notice comes back until the other station lets the record go (here after the
  // user's second OK).
  Notices().clear();
  OnNotice() = [&other] {
    if (Notices().size() == 2) other.Do('u');
  };
  EXPECT_TRUE(LockRecord(t, text.c_str(), 1));
  EXPECT_EQ(Notices().size(), 2u);
  EXPECT_EQ(t.result, 0);
  EXPECT_FALSE(other.Do('l'));  // now this station holds it

  // Held by this cursor already: true without a notice.
  Notices().clear();
  EXPECT_TRUE(LockRecord(t, "", 0));
  EXPECT_TRUE(Notices().empty());
  EXPECT_TRUE(UnlockRecord(t));
  EXPECT_TRUE(other.Do('l'));
}

// A record another cursor of this program holds (the form of another window): never said to be held by
// another station. Asked once or waited for, one notice saying this station holds it, and false at once:
// the other window cannot let it go while the notice is up. Silent, no notice. Once let go, it is had.
TEST_F(LockTest, ARecordAnotherWindowOfThisStationHoldsIsNoOtherStations) {
  Table mine;
  ASSERT_TRUE(mine.OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  ASSERT_TRUE(mine.Seek("C20CODE", "41100000"));
  ASSERT_TRUE(LockRecord(mine, nullptr, 0));
  Table& t = *TableC20;
  ASSERT_TRUE(t.OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  ASSERT_TRUE(t.Seek("C20CODE", "41100000"));
  const std::string title = TableFileTitle(&t);
  OnNotice() = [] {
    if (Notices().size() > 1) throw std::runtime_error("a wait for a record this station holds");
  };

  EXPECT_FALSE(LockRecord(t, nullptr, 0));
  EXPECT_TRUE(Notices().empty());
  for (int retry : {0, 1}) {
    SCOPED_TRACE(retry);
    Notices().clear();
    EXPECT_NO_THROW(EXPECT_FALSE(LockRecord(t, "41100000", retry)));
    ASSERT_EQ(Notices().size(), 1u);
    EXPECT_EQ(Notices()[0].text, FillPlaceholders(LoadStr(kMsgRecordHeldHere), {title, "41100000"}));
    EXPECT_EQ(Notices()[0].text.find("autre poste"), std::string::npos) << Notices()[0].text;
  }
  // Another record of the table, held by nobody, is had; and so is the first once let go.
  ASSERT_TRUE(t.Seek("C20CODE", "40100000"));
  EXPECT_TRUE(LockRecord(t, "40100000", 0));
  ASSERT_TRUE(mine.Seek("C20CODE", "41100000"));
  ASSERT_TRUE(UnlockRecord(mine));
  ASSERT_TRUE(t.Seek("C20CODE", "41100000"));
  Notices().clear();
  EXPECT_TRUE(LockRecord(t, "41100000", 0));
  EXPECT_TRUE(Notices().empty());
}

// A lock this program holds on the same record number of another file (a section, while another station
// holds the account): the account's lock is another station's, said so and waited for until it is let go.
TEST_F(LockTest, ALockThisStationHoldsInAnotherFileLeavesAnotherStationsLockItsOwn) {
  OtherProcess other(OtherStation);
  ASSERT_TRUE(other.Do('l'));
  Table sections;
  ASSERT_TRUE(sections.OpenShared(DossierPath(TableKind::C30), "C30CODE"));
  Add(sections, {"S1", "SECTION"});
  ASSERT_TRUE(sections.Seek("C30CODE", "S1      "));
  ASSERT_TRUE(LockRecord(sections, nullptr, 0));
  Table& t = *TableC20;
  ASSERT_TRUE(t.OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  ASSERT_TRUE(t.Seek("C20CODE", "41100000"));
  ASSERT_EQ(t.recordNumber, sections.recordNumber) << "the same record number in both files";
  OnNotice() = [&other] {
    if (Notices().size() == 2) other.Do('u');
  };
  EXPECT_TRUE(LockRecord(t, "41100000", 1));
  ASSERT_EQ(Notices().size(), 2u);
  EXPECT_NE(Notices()[0].text.find("autre poste"), std::string::npos) << Notices()[0].text;
  EXPECT_FALSE(other.Do('l')) << "this station holds the account now";
}

// A record the disk refuses to read under its lock is no record another station holds: in every mode no
// notice, one box naming the file as one that could not be read, the lock the try took given back (the
// other station takes it at once), and LockHeldElsewhere false. Held by the other station, it stays held.
TEST_F(LockTest, ARecordNotReadUnderItsLockIsSaidAsSuchAndKeepsNoLock) {
  OtherProcess other(OtherStation);
  Table& t = *TableC20;
  const std::string path = DossierPath(TableKind::C20);
  const std::string file = "/" + path.substr(path.rfind('/') + 1) + ".dbf";
  OnNotice() = [] { throw std::runtime_error("a lock notice for a record that could not be read"); };
  const struct Case {
    const char* text;
    int retry;
  } cases[] = {{nullptr, 0}, {"41100000", 0}, {"41100000", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text != nullptr ? c.text : "(silent)") + " retry " + std::to_string(c.retry));
    // Opened while reads are counted, so that the engine reads the file rather than maps it.
    test_support::RefusedRead::Arm(file, INT_MAX);
    ASSERT_TRUE(t.OpenShared(path, "C20CODE"));
    ASSERT_TRUE(t.Find("C20CODE", "41100000").IsFound());
    Boxes().clear();
    test_support::RefusedRead::Arm(file, 1, true);
    bool locked = true;
    EXPECT_NO_THROW(locked = LockRecord(t, c.text, c.retry));
    test_support::RefusedRead::Disarm();
    EXPECT_FALSE(locked);
    EXPECT_FALSE(LockHeldElsewhere(t));
    EXPECT_TRUE(Notices().empty());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, UnreadText(t.tablePath, t.result));
    EXPECT_NE(Boxes()[0].text.find(t.tablePath), std::string::npos) << Boxes()[0].text;
    EXPECT_EQ(Boxes()[0].text.find("autre poste"), std::string::npos) << Boxes()[0].text;
    EXPECT_TRUE(other.Do('l')) << "no lock kept for the record not read";
    ASSERT_TRUE(other.Do('u'));
    t.CloseTable(true);
  }
  // Held by the other station: said held, as before.
  OnNotice() = nullptr;
  ASSERT_TRUE(other.Do('l'));
  ASSERT_TRUE(t.OpenShared(path, "C20CODE"));
  ASSERT_TRUE(t.Find("C20CODE", "41100000").IsFound());
  Boxes().clear();
  EXPECT_FALSE(LockRecord(t, nullptr, 0));
  EXPECT_TRUE(LockHeldElsewhere(t));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(LockTest, ExclusiveTablesAndRecordsThatCannotBeReadTakeNoNotice) {
  Table& t = *TableC20;
  ASSERT_TRUE(t.OpenExclusive(DossierPath(TableKind::C20), "C20CODE"));
  t.result = 4242;
  EXPECT_TRUE(LockRecord(t, nullptr, 0));
  EXPECT_TRUE(UnlockRecord(t));
  EXPECT_EQ(t.result, 4242);  // the engine was not called

  // No current record, or no table: a lock that can never be had is no reason to wait.
  // A notice here would come back for ever; the first one ends the wait.
  OnNotice() = [] { throw std::runtime_error("a notice for a record that cannot be read"); };
  Table& empty = *TableC30;
  ASSERT_TRUE(empty.OpenShared(DossierPath(TableKind::C30), "C30CODE"));
  EXPECT_FALSE(empty.GoTop("C30CODE"));
  Table closed;
  for (Table* table : {&empty, &closed}) {
    EXPECT_NO_THROW(EXPECT_FALSE(LockRecord(*table, "texte", 1)));
    EXPECT_TRUE(Notices().empty());
  }
}

TEST_F(LockTest, DossierLockWhileAnotherStationHasTheDossierOpen) {
  OtherProcess other(OtherStation);
  ASSERT_TRUE(DossierLockTable->OpenShared(DossierTablePath()));
  ASSERT_TRUE(other.Do('o'));

  // With reshare: refused, the message, and the lock table open shared again.
  EXPECT_FALSE(OpenDossierExclusive(true));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "Nuv-MERLON ZEL+ - Version MultiUtilisateur");
  EXPECT_EQ(Boxes()[0].text, LoadStr(kMsgDossierInUse));
  EXPECT_EQ(Boxes()[0].style, kMbIconStop);
  EXPECT_TRUE(DossierLockTable->isOpen);
  EXPECT_EQ(DossierLockTable->shareMode, 0u);

  // Without reshare: refused too, and the shared hold was never let go.
  EXPECT_FALSE(OpenDossierExclusive(false));
  EXPECT_EQ(Boxes().size(), 2u);
  EXPECT_TRUE(DossierLockTable->isOpen);
  EXPECT_EQ(DossierLockTable->shareMode, 0u);

  // Once the other station has left, the dossier is taken; nobody opens it meanwhile.
  ASSERT_TRUE(other.Do('c'));
  EXPECT_TRUE(OpenDossierExclusive(true));
  EXPECT_EQ(DossierLockTable->shareMode, 1u);
  EXPECT_FALSE(other.Do('o'));
  EXPECT_TRUE(ReleaseDossierExclusive());
  EXPECT_TRUE(other.Do('o'));
  EXPECT_EQ(Boxes().size(), 2u);
}

}  // namespace
}  // namespace data_test
