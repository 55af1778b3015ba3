// Commands chosen from the program's menu on a generated dossier, with the
// program's own hooks and commands installed, as a user meets them.
#include "app/program_commands.h"
#include "app/program_hooks.h"
#include "support/dossier_fixture.h"
#include "platform/gui/dialog.h"
#include "platform/gui/menu.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"

namespace {

class ProgramMenuTest : public DossierOpenTest {
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallProgramWindowHooks();
    InstallProgramCommands();
  }
  void TearDown() override {
    SetTextPromptHook(nullptr);
    DossierOpenTest::TearDown();
  }
  void OpenDemo() {
    const std::string folder = MakeDossier("demo", "DEMO", 40);
    OpenThroughDialog(C10Path(folder, "DEMO"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "DEMO");
    gui::ModalSeam::Reset();
  }
  void Choose(unsigned id) {
    ASSERT_NE(MainMenuHandle, nullptr);
    MainMenuHandle->RunEnablers();
    for (int i = 0; i < MainMenuHandle->GetItemCount(); ++i)
      if (gui::Menu* sub = MainMenuHandle->GetSubMenu(i)) sub->RunEnablers();
    EXPECT_TRUE(MainMenuHandle->Choose(id)) << id;
    gui::ProcessPendingMessages();
  }
};

// "Renuméroter toutes les Pièces" asks the support password in its dialog,
// then the warning, then renumbers; a cancelled password stops quietly.
TEST_F(ProgramMenuTest, RenumberingAsksThePasswordThroughItsDialog) {
  OpenDemo();
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Choose(20722);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].resourceId, 1306);

  gui::ModalSeam::Reset();
  const Ymd today = Today();
  const std::string code = SupportCodeForDate(today.year, today.month, today.day);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [code](gui::Window& dialog) {
    static_cast<gui::Dialog&>(dialog).SetItemText(1202, code);
  });
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Choose(20722);
  const std::string shown = ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, LoadStr(1867));
  EXPECT_NE(shown.find("La prochaine pi\xE8" "ce aura le num\xE9ro"), std::string::npos) << shown;
}

}  // namespace
