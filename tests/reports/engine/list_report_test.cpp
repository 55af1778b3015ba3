// A master-data list's report from end to end, through the list windows' report hooks: the
// banks list opened from "Données", previewed ("Visualiser") and printed with a small layout of
// the "DB-" prefix; the list's own hooks fill the pages, its limits narrow them.
#include "report_window_fixture.h"

#include "masterdata/code_list.h"
#include "masterdata/core/code_kinds.h"
#include "runtime/xbase.h"
#include "shell/registry.h"

using namespace report_test;

namespace {

class ListReportTest : public ReportWindowTest {
 protected:
  void SetUp() override {
    ReportWindowTest::SetUp();
    MakeReportSet('0', {{"DB-1LISTE", "Liste des banques",
                         "Banques [Limites]\r\n[ITD][TT-Avant][@CODE] [@NOM] [NbL][TT-Suivant]\r\n[ITF][Fin]\r\n"}});
  }
  TWFichiersC10* OpenBanks() {
    gui::PostCommand(CommandWindow->GetHandle(), 20304);
    gui::ProcessPendingMessages();
    return dynamic_cast<TWFichiersC10*>(
        gui::Window::FromHandle(SlotHandle(masterdata::FindCodeKind('Q')->listSlot)));
  }
  // The live banks of the dossier, in code order: code and name.
  static std::vector<std::pair<std::string, std::string>> Banks() {
    std::vector<std::pair<std::string, std::string>> banks;
    ::Table t;
    EXPECT_TRUE(t.OpenShared(PathC10(), "C10CODE", true));
    t.Seek("C10CODE", "Q");
    while (!t.eof && t.recordNumber != 0 && t.GetField(1)[0] == 'Q') {
      if (!t.IsDeleted()) banks.emplace_back(RTrim(t.GetField(2)), RTrim(t.GetField(3)));
      if (!t.Skip(1)) break;
    }
    return banks;
  }
};

TEST_F(ListReportTest, TheBanksPreviewedAndPrintedThroughTheirLayout) {
  const auto banks = Banks();
  ASSERT_GE(banks.size(), 2u);
  TWFichiersC10* list = OpenBanks();
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  QueueChoice(gui::IDOK, 0);
  Send(list, 20035);
  TWVisuWindow* w = CurrentPreviewWindow;
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(w->GetCaption(), list->previewTitle);
  const std::string text = PageText(w, 1);
  EXPECT_EQ(text.rfind("Banques Edition compl\xE8te", 0), 0u) << text;
  for (const auto& [code, name] : banks) EXPECT_NE(text.find(code + " " + name), std::string::npos) << text;
  EXPECT_NE(text.find("* Fin *"), std::string::npos);
  EXPECT_EQ(list->ListLineCount, static_cast<long>(banks.size()));
  test_support::Screenshot(w->OuterWidget(), "reports", "preview-banks");
  // Closing gives the list back its commands.
  Send(w, visu_cmd::Quitter);
  EXPECT_FALSE(PrintRunFlag);
  EXPECT_FALSE(list->Busy());

  // Limited to the second bank: "Seulement" and that bank alone.
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK, 0, "", "", [](gui::Window& d) { static_cast<gui::Dialog&>(d).PressButton(choice_ids::kLimit); });
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&banks](gui::Window& d) {
    static_cast<gui::Dialog&>(d).SetItemText(1201, banks[1].first);
    static_cast<gui::Dialog&>(d).SetItemText(1202, banks[1].first);
  });
  Send(list, 20035);
  w = CurrentPreviewWindow;
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();
  const std::string limited = PageText(w, 1);
  EXPECT_EQ(limited.rfind("Banques Seulement " + banks[1].first, 0), 0u) << limited;
  EXPECT_EQ(limited.find(banks[0].first + " "), std::string::npos) << limited;
  Send(w, visu_cmd::Quitter);

  // Printed on the program's printer.
  const std::string pdf = test_support::ArtefactPath("reports", "printout-banks.pdf");
  std::filesystem::remove(pdf);
  ProgramPrinter()->SetOutputFile(pdf);
  list->LimitFrom.clear();
  list->LimitTo.clear();
  QueueChoice(gui::IDOK, 0);
  Send(list, 20041);
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  const std::string printed = platform::LaunchProcess({"pdftotext", "-raw", pdf, "-"}, o).output;
  for (const auto& [code, name] : banks) EXPECT_NE(printed.find(code), std::string::npos) << printed;
}

}  // namespace
