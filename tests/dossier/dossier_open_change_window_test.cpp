// The "Changer de dossier" window: its lines and its choice by Enter.
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/dossier_commands.h"
#include "runtime/session_registry.h"
#include "shell/handlers.h"
#include "support/gui_test.h"
#include "dossier/dossier_open.h"
#include "dossier/dossier_slots.h"
#include "support/dossier_fixture.h"
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
  test_support::SendKey(list->Widget(), test_support::kKeyPress, gui::VK_RETURN);
  test_support::SendKey(list->Widget(), test_support::kKeyRelease, gui::VK_RETURN);
  gui::ProcessPendingMessages();
  EXPECT_EQ(ChangeDossierWindow(), nullptr);
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_EQ(DossierCode, "AAA");
  EXPECT_EQ(DossierSlots[0], DossierEntry("AAA", a));
  EXPECT_EQ(DossierSlots[1], DossierEntry("BBB", b));
  EXPECT_NE(TableC10->tablePath.find("c10aaa"), std::string::npos) << TableC10->tablePath;
}
