// Every printed reference layout through the program's report windows: the reference set as the
// preview's and the print set, each layout previewed in TWVisuWindow over its family's fixture
// and run to its last page (its pages within the page, none showing "?statement?", the first
// kept as a picture), then printed by TImpression on the program's printer set up to print into
// a PDF file, read back by qpdf and pdftotext (the title, the totals).
#include "report_window_fixture.h"
#include "reports/engine/core/report_text.h"
#include "reports/engine/printing.h"
#include "reportset_support.h"
#include "runtime/dossier_record.h"

namespace reportset {
namespace {

class ReferenceLayoutsWindows : public report_test::ReportWindowTest {
 protected:
  // The program's printer prints into `pdf` ("Configurer l'imprimante", 20207).
  void PrintInto(const std::string& pdf) {
    std::filesystem::remove(pdf);
    gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
    gui::SendCommand(CommandWindow->GetHandle(), 20207);
    gui::ProcessPendingMessages();
  }
  // The fixture's dossier record over the dossier's own (its company, its dates).
  static void UseDossierOf(const reports::ReportFixture& f) {
    for (const auto& [n, text] : f.constants) TheDossierRecord.SetConstant(n, text);
    for (const auto& [p, text] : f.dossier) TheDossierRecord.Set(p, static_cast<int>(text.size()), text);
  }
};

platform::LaunchResult Tool(const std::vector<std::string>& argv) {
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  return platform::LaunchProcess(argv, o);
}

std::string Squeezed(std::string s) {
  s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\n' || c == '\f'; }), s.end());
  return s;
}

TEST_F(ReferenceLayoutsWindows, EveryPrintedLayoutPreviewedAndPrinted) {
  // The reference set, as its files hold the templates.
  std::vector<report_test::Layout> set;
  std::vector<reports::CatalogEntry> entries;
  std::string error;
  ASSERT_TRUE(reports::ReadCatalog(kLayoutsFolder, entries, error)) << error;
  for (const reports::CatalogEntry& e : entries) {
    report_test::Layout l{e.code, e.name, {}};
    ASSERT_TRUE(reports::ReadLayout(kLayoutsFolder, e.code, l.text, error)) << error;
    set.push_back(l);
  }
  MakeReportSet('0', set);

  int printed = 0;
  for (const std::string& file : FamilyFiles()) {
    const reports::ReportFixture family = Family(file);
    for (const Expected& e : ExpectedLayouts(file)) {
      const auto layout = std::find_if(set.begin(), set.end(), [&](const report_test::Layout& l) { return l.code == e.code; });
      ASSERT_NE(layout, set.end()) << e.code;
      reports::FolderTemplateSource imports(kLayoutsFolder);
      if (ExportKindOf(reports::MergeImports(imports, layout->text)) != ExportKind::kNone) continue;
      SCOPED_TRACE(e.code);
      UseDossierOf(family);
      std::string code = e.code;
      code.resize(18, ' ');

      // The preview, run to its last page.
      reports::FixtureReportOwner owner(family);
      owner.reportCode = code;
      owner.listType = reports::ListTypeOfTemplate(layout->text);
      ASSERT_TRUE(owner.PrepareReport());
      gui::SendCommand(CommandWindow->GetHandle(), command_id::Visu);
      gui::ProcessPendingMessages();
      TWVisuWindow* w = CurrentPreviewWindow;
      ASSERT_NE(w, nullptr);
      ASSERT_TRUE(w->BeginList(owner, nullptr, "Visualisation: " + layout->name, 0));
      w->RenderList();
      Send(w, visu_cmd::ToutesLesPages);
      const reports::RenderContext& c = w->Context();
      EXPECT_TRUE(c.endOfData);
      const int columns = c.lineStartX + c.columnsPerLine * c.columnWidth;
      for (int p = 1; p <= c.store.PageCount(); ++p) {
        for (const reports::PageRecord& r : *c.store.Page(p)) {
          if (r.kind != 'X' && r.kind != 'Y' && r.kind != 'Z') continue;
          const std::string text(r.text);
          EXPECT_LE(r.n1 + r.n3, std::min(columns, c.pageWidth)) << "page " << p << " " << text;
          EXPECT_LE(r.n2 + r.n4, c.pageHeight) << "page " << p << " " << text;
          EXPECT_FALSE(text.find_first_not_of('?') != std::string::npos && (text.front() == '?' || text.back() == '?'))
              << "page " << p << " " << text;
        }
      }
      Send(w, visu_cmd::PageDebut);
      EXPECT_TRUE(w->SavePicture(Artefact("preview-" + e.code + ".png")));
      w->Destroy();
      gui::ProcessPendingMessages();

      // The printout.
      const std::string pdf = Artefact("printout-" + e.code + ".pdf");
      PrintInto(pdf);
      reports::FixtureReportOwner printOwner(family);
      printOwner.reportCode = code;
      printOwner.listType = owner.listType;
      ASSERT_TRUE(printOwner.PrepareReport());
      {
        TImpression printout(printOwner, layout->name);
        EXPECT_TRUE(PrintOnProgramPrinter(printout, nullptr)) << test_support::ShownTexts();
      }
      EXPECT_EQ(Tool({"qpdf", "--check", pdf}).exitStatus, 0);
      const std::string first = Squeezed(Tool({"pdftotext", "-enc", "UTF-8", "-layout", "-l", "1", pdf, "-"}).output);
      const std::string all = Squeezed(Tool({"pdftotext", "-enc", "UTF-8", "-layout", pdf, "-"}).output);
      EXPECT_NE(first.find(Squeezed(e.title)), std::string::npos) << first;
      for (const std::string& total : e.totals) EXPECT_NE(all.find(Squeezed(total)), std::string::npos) << total;
      ++printed;
    }
  }
  EXPECT_GE(printed, 50);
}

}  // namespace
}  // namespace reportset
