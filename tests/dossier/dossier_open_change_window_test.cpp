// The "Changer de dossier" window and the euro-rate input of the opening.
#include "support/gui_test.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "dossier/dossier_open.h"
#include "dossier/dossier_slots.h"
#include "support/dossier_fixture.h"
#include "framework/dialog_bases.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/listbox.h"

namespace {

std::vector<std::string> Lines(gui::ListBox* list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list->GetCount(); ++i) lines.push_back(list->GetString(i));
  return lines;
}

}  // namespace

TEST_F(DossierOpenTest, ChangeWindowListsTheDossiersOfTheRunAndItsChoiceOpensOne) {
  const std::string a = MakeDossier("Compta/Alpha", "AAA", 10);
  const std::string b = MakeDossier("Compta/Beta", "BBB", 10);
  OpenThroughDialog(C10Path(a, "AAA"));
  OpenThroughDialog(C10Path(b, "BBB"));
  ASSERT_EQ(DossierCode, "BBB");

  RunSubjectCommand(20206);
  gui::ProcessPendingMessages();
  ASSERT_NE(ChangeDossierWindow(), nullptr);
  gui::ListBox* list = ChangeDossierList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(GetDossierState(), '1');
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"1 - BBB sur " + b, "2 - AAA sur " + a}));

  // Enter on line 2: that dossier is opened, the window is gone, commands run again.
  list->SetSelIndex(1);
  list->SetFocus();
  test_support::SendKey(list->Widget(), QEvent::KeyPress, Qt::Key_Return);
  test_support::SendKey(list->Widget(), QEvent::KeyRelease, Qt::Key_Return);
  gui::ProcessPendingMessages();
  EXPECT_EQ(ChangeDossierWindow(), nullptr);
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_EQ(DossierCode, "AAA");
  EXPECT_EQ(DossierSlots[0], DossierEntry("AAA", a));
  EXPECT_EQ(DossierSlots[1], DossierEntry("BBB", b));
  EXPECT_NE(TableC10->tablePath.find("c10aaa"), std::string::npos) << TableC10->tablePath;

  // "Quitter" closes it without a change.
  RunSubjectCommand(20206);
  gui::ProcessPendingMessages();
  ASSERT_NE(ChangeDossierWindow(), nullptr);
  gui::SendCommand(ChangeDossierWindow()->GetHandle(), 20023);
  gui::ProcessPendingMessages();
  EXPECT_EQ(ChangeDossierWindow(), nullptr);
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_EQ(DossierCode, "AAA");
}

TEST_F(DossierOpenTest, EuroRateIsAskedThroughTheOneValueInputWithinItsBounds) {
  struct Case {
    int answer;
    const char* typed;  // nullptr: the preset is kept
    bool accepted;
    double rate;
  };
  const Case cases[] = {
      {gui::IDOK, nullptr, true, 6.55957}, {gui::IDOK, "1.00", true, 1.0}, {gui::IDOK, "9.99", true, 9.99},
      {gui::IDOK, "0.99", false, 0},       {gui::IDOK, "10.00", false, 0}, {gui::IDOK, "abc", false, 0},
      {gui::IDCANCEL, "6.5", false, 0},
  };
  for (const Case& c : cases) {
    gui::ModalSeam::Reset();
    std::string preset;
    gui::ModalSeam::QueueDialogAnswer(c.answer, [&, typed = c.typed](gui::Window& w) {
      test_support::Screenshot(w.Widget(), "dossier", "euro_rate");
      auto& input = static_cast<TDFmtSaisie&>(w);
      preset = input.Input()->GetValue();
      if (typed != nullptr) input.Input()->SetText(typed);
    });
    double rate = -1;
    EXPECT_EQ(AskEuroRate(MainFrame, rate), c.accepted) << (c.typed ? c.typed : "preset");
    if (c.accepted) EXPECT_DOUBLE_EQ(rate, c.rate);
    else EXPECT_EQ(rate, -1) << "the rate is left alone";
    ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
    EXPECT_EQ(preset, "6.55957");
  }
}
