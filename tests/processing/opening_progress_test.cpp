// The opening balances run shows its progress window while it writes the next year's dossier.
#include <string>

#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/rebuild_indexes.h"
#include "framework/browse_services.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"
#include "processing/opening_balances_window.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "opening_fixture.h"
#include "support/dossier_fixture.h"

namespace {

class OpeningProgressTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallYearEndCommands();
  }
  void TearDown() override {
    CloseWindows();
    SetCommandWork(command_id::GenerationSoldesANouveau, {});
    BrowseHooks() = BrowseServices{};
    DossierFixture::TearDown();
  }
};

TEST_F(OpeningProgressTest, TheRunShowsItsProgressWindow) {
  const std::string a = MakeDossier("a", "SA", 40);
  ASSERT_NO_FATAL_FAILURE(opening_test::EmptyDraft(a + "c50sa"));
  ASSERT_NO_FATAL_FAILURE(opening_test::MakeNextYear(root_ + "/b"));
  OpenThroughDialog(C10Path(a, "SA"));
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "SA") << test_support::ShownTexts();
  gui::ModalSeam::Reset();
  gui::PostCommand(CommandWindow->GetHandle(), command_id::GenerationSoldesANouveau);
  gui::ProcessPendingMessages();
  auto* form = dynamic_cast<TWTraGenerationSAN*>(gui::Window::FromHandle(SlotHandle(kOpeningFormSlot)));
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  gui::ModalSeam::QueueFileAnswer(root_ + "/b/c10sb.dbf");
  gui::SendCommand(form->GetHandle(), 1204);
  gui::ProcessPendingMessages();
  ASSERT_EQ(form->CodeEdit()->GetValue(), "SB");
  for (int answer : {gui::IDYES, gui::IDYES}) gui::ModalSeam::QueueMessageBoxAnswer(answer);
  DossierProgressWindow::ForgetFramedLines();
  gui::SendCommand(form->GetHandle(), yearend_cmd::Accepter);
  gui::ProcessPendingMessages();
  // The run's window names the dossier and each of its steps, the checks first; it closes last,
  // after the rebuild's own.
  const std::vector<std::string>& lines = DossierProgressWindow::RecentFramedLines();
  const std::vector<std::string> steps = {"V\xE9rification de le Balance G\xE9n\xE9rale",
                                          "G\xE9n\xE9ration des SAN des Comptes G\xE9n\xE9raux",
                                          "G\xE9n\xE9ration des SAN des Comptes Auxiliaires"};
  std::size_t at = 0;
  for (const std::string& step : steps) {
    while (at < lines.size() && lines[at] != step) ++at;
    EXPECT_LT(at, lines.size()) << step << " not shown in its order";
  }
  EXPECT_EQ(DossierProgressWindow::LastFramedLine(), steps.back()) << test_support::ShownTexts();
}

}  // namespace
