#include "support/report_dossier_fixture.h"

#include <cctype>
#include <filesystem>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "demo/dossier_demo.h"
#include "framework/browse_services.h"
#include "masterdata/masterdata_commands.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/printer.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/page_store.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/engine/visu_window.h"
#include "resources/command_ids.h"
#include "runtime/access_rights.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/utility_commands.h"

namespace test_support {

void ReportDossierTest::SetUp() {
  DossierFixture::SetUp();
  InstallMasterDataCommands();
  InstallReportEngineCommands();
  InstallCommands();
  DemoOptions options = Options();
  std::string lower = code_;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  options.folder = root_ + "/" + lower;
  options.code = code_;
  std::string message;
  ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
  folder_ = options.folder + "/";
  OpenThroughDialog(C10Path(folder_, code_));
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), code_) << ShownTexts();
  SetProgramOption(3, 'N');
  for (int option : {5, 6, 7}) SetProgramOption(option, '0');
  SetProgramOption(8, 'N');
  SetProgramOption(9, 'N');
  SetProgramOption(12, 'O');
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
  MainFrame->Show(gui::SW_SHOW);
  SetProcessLauncher([](const std::vector<std::string>&, const platform::LaunchOptions&) {
    platform::LaunchResult r;
    r.launched = true;
    return r;
  });
  MakeReportSet('0', ReportLayouts());
  gui::ProcessPendingMessages();
  gui::ModalSeam::Reset();
}

void ReportDossierTest::TearDown() {
  if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->Destroy();
  if (CommandWindow != nullptr) CommandWindow->CloseChildren();
  gui::ProcessPendingMessages();
  for (Table* t : {TableCE0, TableCE1})
    if (t != nullptr) t->CloseTable(true);
  for (unsigned id : commands_) SetCommandWork(id, {});
  for (unsigned id : {command_id::Visu, command_id::VisuMode1}) SetCommandWork(id, {});
  BrowseHooks() = BrowseServices{};
  SetProcessLauncher({});
  DeleteProgramPrinter();
  PrintRunFlag = false;
  reports::ExportFile().Reset();
  DossierFixture::TearDown();
}

std::string ReportDossierTest::LayoutText(const std::string& file) {
  std::string raw, text;
  EXPECT_TRUE(platform::ReadWholeFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/" + file, raw));
  EXPECT_TRUE(platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse)) << file;
  return text;
}

void ReportDossierTest::MakeReportSet(char letter, const std::vector<StoredLayout>& layouts) {
  for (Table* t : {TableCE0, TableCE1})
    if (t != nullptr) t->CloseTable(true);
  const std::string path = PathReportDefs(letter);
  ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
  ::Table t;
  ASSERT_TRUE(t.OpenShared(path, "CE0CODE"));
  for (const StoredLayout& l : layouts) {
    ASSERT_TRUE(t.AppendBlank());
    ASSERT_TRUE(t.PutField(1, l.code.c_str()));
    ASSERT_TRUE(t.PutField(2, l.name.c_str()));
    ASSERT_TRUE(t.InsertRecord());
    ASSERT_TRUE(t.PutMemoText(11, LayoutText(l.file)));
    ASSERT_TRUE(t.Commit());
  }
  t.CloseTable(true);
}

void ReportDossierTest::QueueChoice(int answer, int row) {
  gui::ModalSeam::QueueDialogAnswer(answer, [=](gui::Window& w) {
    static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, row);
  });
}

void ReportDossierTest::Run(unsigned command) {
  RunSubjectCommand(command);
  gui::ProcessPendingMessages();
}

void ReportDossierTest::Send(gui::Window* w, unsigned command) {
  gui::SendCommand(w->GetHandle(), command);
  gui::ProcessPendingMessages();
}

std::string ReportDossierTest::PageText(const TWVisuWindow* w, int page) {
  std::string text;
  const reports::PreviewPage* p = w->Context().store.Page(page);
  if (p == nullptr) return "<no page>";
  for (const reports::PageRecord& r : *p)
    if (r.kind >= 'X') text += (text.empty() ? "" : " ") + std::string(r.text);
  return text;
}

std::string ReportDossierTest::SetUpPdfPrinter(const std::string& subject, const std::string& name) {
  const std::string pdf = ArtefactPath(subject, name + ".pdf");
  std::filesystem::remove(pdf);
  gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
  gui::SendCommand(CommandWindow->GetHandle(), 20207);
  gui::ProcessPendingMessages();
  return pdf;
}

void ReportDossierTest::UsePdfFilePrinter() {
  if (gui::MPrinter::HasSystemPrinter()) ProgramPrinter()->SelectPrinter(gui::kPdfPrinterName);
  EXPECT_TRUE(ProgramPrinter()->AsksFile()) << "the PDF-file printer is the default where no printer is installed";
}

std::string ReportDossierTest::OfferedExport(const std::string& suffix) {
  for (const auto& shown : gui::ModalSeam::Shown()) {
    if (shown.caption != "Fichier d'exportation") continue;
    std::size_t at = 0;
    while (at < shown.text.size()) {
      std::size_t end = shown.text.find('\n', at);
      if (end == std::string::npos) end = shown.text.size();
      std::string line = shown.text.substr(at, end - at);
      line.erase(0, line.find_first_not_of(' '));
      if (line.size() > suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
        return line;
      at = end + 1;
    }
  }
  return {};
}

std::string ReportDossierTest::ExportThroughPreview(gui::Window* form, int row, const std::string& suffix) {
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK, row);
  Send(form, 20035);
  if (CurrentPreviewWindow != nullptr) {
    CurrentPreviewWindow->CmAllPages();
    gui::ProcessPendingMessages();
  }
  if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
  gui::ProcessPendingMessages();
  return OfferedExport(suffix);
}

gui::MDIChild* ReportDossierTest::Active() { return CommandWindow->GetActiveMDIChild(); }

int ReportDossierTest::Children() { return static_cast<int>(CommandWindow->GetChildren().size()); }

}  // namespace test_support
