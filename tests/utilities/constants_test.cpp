// "Constantes du dossier": the list of the 75 constants, 052 set through its value buttons, a value outside a closed
// list refused, the value standing after the dossier is opened again and found by python3-dbfread in record "P0";
// a change of 032 advising a rebuild; and two stations changing two constants at the same time, both kept.
#include "controls/medit.h"
#include "data/locks.h"
#include "dossier/constants_check.h"
#include "settings_fixture.h"
#include "support/gui_test.h"
#include "support/other_process.h"
#include "utilities/constants_window.h"
#include "utilities/core/dossier_constants.h"

namespace settings_test {
namespace {

class ConstantsTest : public SettingsWindowTest {
 protected:
  TWUtiBroConstantes* OpenList() {
    Menu(20704);
    auto* list = WindowAt<TWUtiBroConstantes>(kConstantsListSlot);
    EXPECT_NE(list, nullptr) << test_support::ShownTexts();
    return list;
  }
  // Types the constant's number on the list, as the user does, and checks its row is selected.
  static void Select(TWUtiBroConstantes* list, int n) {
    list->ClearTypeAhead();
    const std::string digits = StrZero(n, 3);
    for (char c : digits) list->SeekTypedKey(c);
    const int row = list->GetSelectedRowIndex();
    ASSERT_NE(row, 0);
    EXPECT_EQ(list->Store().RecordNumberOf(row - 1), n + 1);
  }
  // "Modifier" on constant n, the dialog answered by `fill`.
  void Modify(TWUtiBroConstantes* list, int n, std::function<void(TDUtiConstante&)> fill) {
    Select(list, n);
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [fill](gui::Window& w) { fill(static_cast<TDUtiConstante&>(w)); });
    Send(list, browse_cmd::Modifier);
  }
  static std::string StoredConstant(int n) {
    const settings::ConstantPlace place = settings::PlaceOfConstant(n);
    std::string text = StoredC10(place.kind, place.code, place.field == 4 ? "GZONE1" : "GZONE2");
    text = text.size() >= static_cast<std::size_t>(place.position) ? text.substr(static_cast<std::size_t>(place.position - 1), 3) : "";
    text.resize(3, ' ');
    return text;
  }
};

TEST_F(ConstantsTest, TheListShowsTheSeventyFiveConstants) {
  TWUtiBroConstantes* list = OpenList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Store().totalRows, 75);
  EXPECT_EQ(list->GetCaption(), "Fichier des Constantes du dossier");
  test_support::Screenshot(list->OuterWidget(), "utilities", "constants_list");
  list->GoLast();
  const std::string last = list->Store().rows[static_cast<std::size_t>(list->Store().rowsPerPage - 1)];
  EXPECT_EQ(last.substr(0, 6), "000075");
  EXPECT_EQ(last.substr(7, 3), "074");
  list->GoFirst();
  EXPECT_EQ(list->Store().rows[0].substr(7, 3), "000");
  EXPECT_NE(list->Store().rows[4].find("Type de Bilan auquel est rattach\xE9 ce dossier"), std::string::npos);
}

TEST_F(ConstantsTest, AValueButtonSetsTheConstantWhichStandsAfterTheDossierIsOpenedAgain) {
  TWUtiBroConstantes* list = OpenList();
  ASSERT_NE(list, nullptr);
  Modify(list, 52, [](TDUtiConstante& d) {
    ASSERT_NE(d.ButtonOf("5\x80"), 0);
    d.PressButton(d.ButtonOf("5\x80"));
    EXPECT_EQ(d.GetItemText(TDUtiConstante::kValue), "5\x80");
    test_support::Screenshot(d.Widget(), "utilities", "constant_052");
    d.PressButton(gui::IDOK);
  });
  EXPECT_EQ(TheDossierRecord.Constant(52), "5\x80 ");
  EXPECT_EQ(StoredConstant(52), "5\x80 ");
  // The row shows it.
  const int row = list->GetSelectedRowIndex();
  EXPECT_EQ(list->Store().rows[static_cast<std::size_t>(row - 1)].substr(list->Store().rows[0].size() - 3), "5\x80 ");

  CloseWindows();
  CloseAllTables();
  TheDossierRecord.Clear();
  OpenDossier();
  EXPECT_EQ(TheDossierRecord.Constant(52), "5\x80 ");
}

TEST_F(ConstantsTest, AValueOutsideAClosedListIsRefusedAndNothingIsWritten) {
  TWUtiBroConstantes* list = OpenList();
  ASSERT_NE(list, nullptr);
  const std::string before = StoredConstant(61);
  // The refusal, word for word where given: the constant's number, then its values or its range.
  const struct {
    int n;
    const char* typed;
    bool accepted;
    const char* says;
  } cases[] = {
      {61, "XYZ", false,
       "\n\n\nValeur refus\xE9" "e pour la constante 061.\n\nValeurs possibles: A B C NOR\n\n\n"},
      {4, "Q", false, nullptr},
      {25, "1a", false, "\n\n\nValeur refus\xE9" "e pour la constante 025.\n\nUn nombre de 0 \xE0 999.\n\n\n"},
      {62, "124", false, nullptr},
      {61, "B", true, nullptr},
      {62, "321", true, nullptr},
      {25, "099", true, nullptr},
  };
  for (const auto& c : cases) {
    gui::ModalSeam::Reset();
    const std::string old = TheDossierRecord.Constant(c.n);
    Modify(list, c.n, [&c](TDUtiConstante& d) {
      d.Item<MEdit>(TDUtiConstante::kValue)->SetValue(c.typed, false);
      d.PressButton(gui::IDOK);
    });
    const bool refused = test_support::ShownTexts().find("Valeur refus\xE9" "e") != std::string::npos;
    EXPECT_EQ(refused, !c.accepted) << c.n << " " << c.typed;
    if (c.says != nullptr) {
      // The box, among the dialogs it is shown over.
      const gui::ShownModal* box = nullptr;
      for (const gui::ShownModal& m : gui::ModalSeam::Shown())
        if (m.text.find("Valeur refus\xE9" "e") != std::string::npos) box = &m;
      ASSERT_NE(box, nullptr) << c.n;
      EXPECT_EQ(box->text, c.says) << c.n << " " << c.typed;
      test_support::ScreenshotMessage(*box, "utilities", "constant_refused_" + std::to_string(c.n));
    }
    std::string typed = c.typed;
    typed.resize(3, ' ');
    EXPECT_EQ(TheDossierRecord.Constant(c.n), c.accepted ? typed : old) << c.n;
    EXPECT_EQ(StoredConstant(c.n), c.accepted ? typed : old) << c.n;
  }
  EXPECT_NE(before, "XYZ");
}

TEST_F(ConstantsTest, AChangeOfTheAnalyticOrderAdvisesARebuild) {
  TWUtiBroConstantes* list = OpenList();
  ASSERT_NE(list, nullptr);
  const bool wasYes = TheDossierRecord.Constant(32)[0] == 'O';
  Modify(list, 32, [wasYes](TDUtiConstante& d) {
    d.PressButton(d.ButtonOf(wasYes ? "NON" : "OUI"));
    d.PressButton(gui::IDOK);
  });
  EXPECT_NE(test_support::ShownTexts().find("ReConstruction du dossier"), std::string::npos) << test_support::ShownTexts();
}

// The other station: its own cursor on the general file; 'h' holds record "P0" while it writes constant 053 into
// it, 'r' lets it go.
bool OtherStation(char cmd) {
  static Table* t = nullptr;
  if (t == nullptr) t = new Table();
  if (cmd == 'h')
    return t->OpenShared(PathC10(), "C10CODE") && t->Seek("C10CODE", "P", "0") && LockRecord(*t, nullptr, 0) &&
           t->PutFieldPart(4, 3 * 53 - 2, 3, "VE ");
  if (cmd == 'r') return UnlockRecord(*t) && t->Commit();
  return false;
}

TEST_F(ConstantsTest, TwoStationsChangingTwoConstantsKeepBoth) {
  TWUtiBroConstantes* list = OpenList();
  ASSERT_NE(list, nullptr);
  SetLockNoticeHook([](const char*, const char*) {});
  test_support::OtherProcess station(&OtherStation);
  // This station read 053 before the other changed it.
  ASSERT_NE(TheDossierRecord.Constant(53), "VE ");
  ASSERT_TRUE(station.Do('h'));
  // While the other station writes, this one's save is told and refused; nothing of it is written.
  Modify(list, 52, [](TDUtiConstante& d) {
    d.PressButton(d.ButtonOf("2\x80"));
    d.PressButton(gui::IDOK);
  });
  EXPECT_NE(StoredConstant(52), "2\x80 ");
  ASSERT_TRUE(station.Do('r'));
  Modify(list, 52, [](TDUtiConstante& d) {
    d.PressButton(d.ButtonOf("2\x80"));
    d.PressButton(gui::IDOK);
  });
  EXPECT_EQ(StoredConstant(52), "2\x80 ");
  EXPECT_EQ(StoredConstant(53), "VE ") << "the other station's constant is kept";
  SetLockNoticeHook(nullptr);
}

}  // namespace
}  // namespace settings_test
