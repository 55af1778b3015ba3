// Two stations on one dossier: a record this station's form holds is refused to the other station, and free again
// once the form closes; a record the other station holds is refused to this station's list commands (form,
// record text, cancel) with the lock notice, nothing changed, until it lets go.
#include "data/dossier_files.h"
#include "data/locks.h"
#include "masterdata_fixture.h"
#include "support/other_process.h"

namespace md_test {
namespace {

// The other station: its own table object on the general file; 'l' locks the bank "ZL1", 'u' lets it go.
bool OtherStation(char cmd) {
  static Table* t = nullptr;
  if (t == nullptr) t = new Table();
  if (cmd == 'l')
    return t->OpenShared(PathC10(), masterdata::kC10Tag) && masterdata::SeekCodeRecord(*t, 'Q', "ZL1", 4).IsFound() &&
           LockRecord(*t, nullptr, 0);
  if (cmd == 'u') return UnlockRecord(*t);
  return false;
}

std::vector<std::string>& Notices() {
  static std::vector<std::string> notices;
  return notices;
}

using TwoStationsTest = MasterDataTest;

TEST_F(TwoStationsTest, ARecordHeldOnOneStationIsRefusedOnTheOtherUntilItIsLetGo) {
  Put('Q', "ZL1", "Banque tenue");
  Notices().clear();
  SetLockNoticeHook([](const char*, const char* message) { Notices().push_back(message); });
  test_support::OtherProcess station(&OtherStation);

  CodeRecordForm* form = Edit('Q', "ZL1");
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->HoldsRecord());
  EXPECT_FALSE(station.Do('l')) << "held by this station's form";
  form->CmQuitter();
  gui::ProcessPendingMessages();
  ASSERT_EQ(FormOf('Q'), nullptr);
  ASSERT_TRUE(station.Do('l')) << "free once the form is closed";

  TWFichiersC10* list = ListOf('Q');
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(Select(list, "ZL1"));
  const int beeps0 = beeps;
  for (unsigned id : {browse_cmd::Modifier, browse_cmd::Texte, browse_cmd::Annuler}) Send(list, id);
  EXPECT_EQ(FormOf('Q'), nullptr);
  EXPECT_EQ(Notices().size(), 3u);
  EXPECT_GE(beeps, beeps0 + 2);
  ASSERT_TRUE(Select(list, "ZL1"));
  EXPECT_EQ(list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)][6], kMarkerOrdinary);
  EXPECT_EQ(Stored('Q', "ZL1")[0].substr(0, 12), "Banque tenue") << "not cancelled";

  ASSERT_TRUE(station.Do('u'));
  Send(list, browse_cmd::Modifier);
  EXPECT_NE(FormOf('Q'), nullptr);
  SetLockNoticeHook(nullptr);
}

}  // namespace
}  // namespace md_test
