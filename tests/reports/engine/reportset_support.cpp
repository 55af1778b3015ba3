#include "reportset_support.h"

#include <algorithm>
#include <fstream>
#include <set>

#include "data/dossier_files.h"
#include "platform/gui/application.h"
#include "platform/gui/dc.h"
#include "platform/gui/printer.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/core/report_text.h"
#include "reports/engine/dc_canvas.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/python.h"

namespace reportset {

namespace {

namespace fs = std::filesystem;

class TestEnvironment : public reports::DossierReportEnvironment {
 public:
  explicit TestEnvironment(reports::TemplateSource& t) : DossierReportEnvironment(t) {}
  void Beep() override {}
  void Warn(const std::string& caption, const std::string& text) override { warnings.push_back(caption + ": " + text); }
  std::string ProgramIni(const std::string& key) override { return {}; }
  std::string LocalTime() override { return "10h30"; }
  std::vector<std::string> warnings;
};

std::string Utf8(const std::string& cp1252) { return platform::Cp1252ToUtf8(cp1252); }

std::string Lower(std::string s) { return LowerCp1252(s); }

// The [TypeListe=] value of a template, upper-cased ("" when none).
std::string ListType(const std::string& text) { return reports::ListTypeOfTemplate(text); }

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = line.find(separator, start);
    cells.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return cells;
}

// The value a record gives a variable ("" when it gives none), after the preparation's.
std::string ValueOf(const reports::ReportFixture& f, const reports::FixtureRecord& r, const std::string& name) {
  std::string value;
  for (const reports::FixtureRecord* x : {&f.prepare, &r})
    for (const auto& [n, v] : x->values)
      if (n == name) value = v;
  return value;
}

bool IsPrinted(const std::string& text) { return ExportKindOf(text) == ExportKind::kNone; }

}  // namespace

std::string Artefact(const std::string& name) {
  const fs::path folder = fs::path(MERLON_BINARY_DIR) / "test-artefacts" / "reports";
  fs::create_directories(folder);
  return (folder / name).string();
}

std::vector<std::string> FamilyFiles() { return platform::ListFiles(kFamiliesFolder, "*.txt"); }

reports::ReportFixture Family(const std::string& file) {
  std::string raw, text, error;
  reports::ReportFixture f;
  EXPECT_TRUE(platform::ReadWholeFile(kFamiliesFolder + "/" + file, raw)) << file;
  EXPECT_TRUE(platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse)) << file;
  EXPECT_TRUE(reports::ParseReportFixture(text, f, error)) << file << ": " << error;
  return f;
}

std::vector<Layout> LayoutsOf(const reports::ReportFixture& family) {
  std::vector<reports::ReportFixture> families;
  std::string error;
  EXPECT_TRUE(reports::ReadFamilies(kFamiliesFolder, families, error)) << error;
  std::vector<reports::CatalogEntry> entries;
  EXPECT_TRUE(reports::ReadCatalog(kLayoutsFolder, entries, error)) << error;
  std::vector<Layout> out;
  for (const reports::CatalogEntry& e : entries) {
    const reports::ReportFixture* f = reports::FamilyOfCode(families, e.code);
    if (f == nullptr || f->prefixes != family.prefixes) continue;
    Layout l{e.code, e.name, {}};
    EXPECT_TRUE(reports::ReadLayout(kLayoutsFolder, e.code, l.text, error)) << error;
    // The imports are merged as the engine loads the template.
    reports::FolderTemplateSource source(kLayoutsFolder);
    l.text = reports::MergeImports(source, l.text);
    out.push_back(std::move(l));
  }
  return out;
}

ExportKind ExportKindOf(const std::string& templateText) {
  const std::string lowered = Lower(templateText);
  if (lowered.find("[export]") == std::string::npos) return ExportKind::kNone;
  const std::string type = ListType(templateText);
  if (type == "XF") return ExportKind::kStatutory;
  if (type == "XC") return ExportKind::kOtherProduct;
  if (!type.empty() && type[0] == 'V') return ExportKind::kTransfer;
  if (!type.empty() && type[0] == 'S') return ExportKind::kSepa;
  if (lowered.find("[html]") != std::string::npos) return ExportKind::kHtml;
  if (lowered.find("[export:csv]") != std::string::npos) return ExportKind::kCsv;
  return ExportKind::kText;
}

void ReportSetTest::SetUp() {
  RuntimeTest::SetUp();
  fs::create_directories(ExportFolder());
  SetDossier(ExportFolder(), "TST");
  gui::Application::EnsureQt();
}

void ReportSetTest::TearDown() { RuntimeTest::TearDown(); }

RunResult ReportSetTest::Run(const Layout& layout, const reports::ReportFixture& fixture,
                             reports::TextMeasurer* measurer) {
  reports::FixedMetricsCanvas fixed;
  // A printer's printable area on A4 paper (margins of a few millimetres), at 96 dots an inch.
  reports::ListSetup setup;
  setup.pageWidth = setup.landscapeHeight = 767;
  setup.pageHeight = setup.landscapeWidth = 1085;
  return RunWith(layout, fixture, measurer != nullptr ? *measurer : fixed, setup);
}

RunResult ReportSetTest::Print(const Layout& layout, const reports::ReportFixture& fixture, const std::string& pdf) {
  reports::FolderTemplateSource imports(kLayoutsFolder);
  const bool landscape = reports::ReadLayoutAttributes(reports::MergeImports(imports, layout.text)).landscape;
  gui::PdfDC device(pdf, landscape, 150);
  EXPECT_TRUE(device.StartDoc(layout.code));
  reports::DcCanvas canvas(device);
  reports::ListSetup setup;
  setup.target = reports::RenderTarget::kPrinter;
  setup.pageWidth = setup.landscapeWidth = device.GetDeviceCaps(gui::HORZRES);
  setup.pageHeight = setup.landscapeHeight = device.GetDeviceCaps(gui::VERTRES);
  setup.barcodeModule = canvas.Dpi() * 33 / 2540 < 1 ? 1 : canvas.Dpi() * 33 / 2540;
  RunResult result = RunWith(layout, fixture, canvas, setup);
  for (int p = 1; p <= result.pages.PageCount(); ++p) {
    device.StartPage();
    reports::PaintOptions paint;
    paint.lineHeight = result.lineHeight;
    paint.noTruncate = result.noTruncate;
    paint.barcodeModule = setup.barcodeModule;
    reports::PaintPage(*result.pages.Page(p), canvas, paint);
    device.EndPage();
  }
  device.EndDoc();
  return result;
}

RunResult ReportSetTest::RunWith(const Layout& layout, const reports::ReportFixture& fixture,
                                 reports::TextMeasurer& measurer, const reports::ListSetup& setup) {
  RunResult result;
  TheDossierRecord.Clear();
  for (const auto& [n, text] : fixture.constants) TheDossierRecord.SetConstant(n, text);
  for (const auto& [p, text] : fixture.dossier) TheDossierRecord.Set(p, static_cast<int>(text.size()), text);
  reports::FolderTemplateSource templates(kLayoutsFolder);
  TestEnvironment env(templates);
  reports::FixtureReportOwner owner(fixture);
  // The choice dialog gives the window the layout's list type, as the real windows read it.
  owner.listType = ListType(layout.text);
  reports::ReportExportFile file;
  reports::RenderContext context;
  context.exportFile = &file;
  reports::ReportInterpreter interpreter(context, measurer, owner, env);
  EXPECT_TRUE(owner.PrepareReport()) << layout.code;
  EXPECT_TRUE(interpreter.BeginListWithTemplate(setup, layout.text)) << layout.code;
  interpreter.RenderToEnd(200);
  result.endOfData = context.endOfData;
  result.pageWidth = context.pageWidth;
  result.pageHeight = context.pageHeight;
  // Text keeps within the grid of columns (the page's width in its own columns when the layout
  // sets them with [PX:]), not only within the page.
  result.gridWidth = Lower(layout.text).find("[px:") != std::string::npos
                         ? context.pageWidth
                         : context.lineStartX + context.columnsPerLine * context.columnWidth;
  result.columnWidth = context.columnWidth;
  result.lineHeight = context.lineHeight;
  result.noTruncate = context.noTruncate;
  if (file.Handle() != 0) {
    result.exportPath = file.Path();
    EXPECT_TRUE(file.Close(context.exportSettings)) << layout.code << ": " << file.FailureMessage();
    platform::ReadWholeFile(result.exportPath, result.exportBytes);
    platform::RemoveFile(result.exportPath);
  }
  result.pages = std::move(context.store);
  result.warnings = env.warnings;
  return result;
}

std::vector<std::string> ReportSetTest::PageFaults(const RunResult& run) const {
  std::vector<std::string> faults;
  if (!run.endOfData) faults.push_back("the run did not reach the end of its data");
  for (const std::string& w : run.warnings) faults.push_back("warning: " + w);
  for (int p = 1; p <= run.pages.PageCount(); ++p) {
    for (const reports::PageRecord& r : *run.pages.Page(p)) {
      if (r.kind != 'X' && r.kind != 'Y' && r.kind != 'Z') continue;
      const std::string where = "page " + std::to_string(p) + " '" + Utf8(std::string(r.text)) + "'";
      // An unrecognised statement prints as "?statement?" (cut into cells at its blanks); a lone
      // question mark or "???" is data.
      const std::string text(r.text);
      const bool marks = text.find_first_not_of('?') == std::string::npos;
      if (!marks && (text.front() == '?' || text.back() == '?')) faults.push_back(where + ": an unrecognised statement");
      if (r.n1 < 0 || r.n1 + r.n3 > run.gridWidth)
        faults.push_back(where + ": from x " + std::to_string(r.n1) + " over " + std::to_string(r.n3) +
                         " past the columns' width " + std::to_string(run.gridWidth));
      if (r.n2 + r.n4 > run.pageHeight)
        faults.push_back(where + ": at y " + std::to_string(r.n2) + " below the page " +
                         std::to_string(run.pageHeight));
    }
  }
  return faults;
}

std::vector<std::string> ReportSetTest::ExportFaults(const Layout& layout, const RunResult& run,
                                                     const reports::ReportFixture& fixture) {
  std::vector<std::string> faults;
  const ExportKind kind = ExportKindOf(layout.text);
  if (kind == ExportKind::kNone) {
    if (!run.exportPath.empty()) faults.push_back("a printed layout wrote " + run.exportPath);
    return faults;
  }
  if (run.exportPath.empty()) return {"no export file"};
  const std::size_t records = fixture.records.size();
  const std::vector<std::string> lines = Lines(run.exportBytes);
  switch (kind) {
    case ExportKind::kCsv: {
      // Python's csv module: one header row, one row per record, a constant cell count.
      const std::string path = ExportFolder() + "read-back.csv";
      std::ofstream(path, std::ios::binary) << run.exportBytes;
      const std::string script =
          "import csv\n"
          "rows = list(csv.reader(open('" + path + "', encoding='cp1252', newline=''), delimiter=';'))\n"
          "print('rows=%d cells=%s empty=%d' % (len(rows), ','.join(str(n) for n in sorted(set(len(r) for r in rows))),\n"
          "      sum(1 for c in (rows[0] if rows else []) if c.strip() == '')))\n";
      int status = -1;
      const std::string out = test_support::RunPythonScript(script, true, &status);
      platform::RemoveFile(path);
      if (status != 0) return {"python: " + out};
      const std::string cells = out.substr(out.find("cells=") + 6, out.find(" empty") - out.find("cells=") - 6);
      if (out.rfind("rows=" + std::to_string(records + 1) + " ", 0) != 0)
        faults.push_back(out + ": not one header row and one row for each of the " + std::to_string(records) + " records");
      if (cells.find(',') != std::string::npos || cells.empty()) faults.push_back(out + ": rows of several cell counts");
      if (out.find("empty=0") == std::string::npos) faults.push_back(out + ": a column without a title");
      break;
    }
    case ExportKind::kStatutory: {
      static const std::vector<std::string> kNames{
          "JournalCode", "JournalLib", "EcritureNum", "EcritureDate", "CompteNum", "CompteLib",
          "CompAuxNum",  "CompAuxLib", "PieceRef",    "PieceDate",    "EcritureLib", "Debit",
          "Credit",      "EcritureLet", "DateLet",    "ValidDate",    "Montantdevise", "Idevise"};
      if (lines.empty() || Split(lines[0], '\t') != kNames) faults.push_back("header: " + (lines.empty() ? "" : lines[0]));
      if (lines.size() != records + 1) faults.push_back("lines: " + std::to_string(lines.size()));
      for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> cells = Split(lines[i], '\t');
        if (cells.size() != 18) faults.push_back("row " + std::to_string(i) + ": " + std::to_string(cells.size()) + " cells");
        for (const std::string& c : cells)
          if (!c.empty() && (c.front() == ' ' || c.back() == ' ')) faults.push_back("padded cell '" + c + "'");
      }
      break;
    }
    case ExportKind::kOtherProduct: {
      std::vector<std::string> wanted;
      for (const reports::FixtureRecord& r : fixture.records) {
        std::string one = ValueOf(fixture, r, "XC_CEGID_1"), two = ValueOf(fixture, r, "XC_CEGID_2");
        if (Trimmed(one).empty()) continue;
        one.resize(93, ' ');
        two.resize(74, ' ');
        wanted.push_back(one + two);
      }
      if (lines != wanted) faults.push_back("records:\n" + run.exportBytes);
      break;
    }
    case ExportKind::kTransfer:
      if (lines.size() != records + 2) faults.push_back("lines: " + std::to_string(lines.size()));
      for (const std::string& l : lines)
        if (l.size() != 160) faults.push_back("a record of " + std::to_string(l.size()) + " characters: " + l);
      // The issuer's record first, the total's once at the end.
      if (lines.empty() || lines.front().rfind("0302", 0) != 0 || lines.back().rfind("0802", 0) != 0)
        faults.push_back("not the issuer's record first and the total's last:\n" + run.exportBytes);
      break;
    case ExportKind::kSepa:
      // The window writes the whole file; the layout writes nothing into it.
      if (!run.exportBytes.empty()) faults.push_back("the layout wrote into the SEPA file: " + run.exportBytes);
      break;
    case ExportKind::kHtml: {
      const std::string path = Artefact(layout.code + ".htm");
      std::ofstream(path, std::ios::binary) << run.exportBytes;
      platform::LaunchOptions o;
      o.wait = true;
      o.captureOutput = true;
      const platform::LaunchResult r = platform::LaunchProcess({"tidy", "-q", "-errors", path}, o);
      if (r.exitStatus >= 2) faults.push_back("tidy: " + r.output);
      break;
    }
    case ExportKind::kText:
    case ExportKind::kNone: break;
  }
  return faults;
}

void ReportSetTest::CheckFamily(const std::string& familyFile, const std::vector<Expected>& expected) {
  const reports::ReportFixture family = Family(familyFile);
  const std::vector<Layout> layouts = LayoutsOf(family);
  std::vector<std::string> codes, expectedCodes;
  for (const Layout& l : layouts) codes.push_back(l.code);
  for (const Expected& e : expected) expectedCodes.push_back(e.code);
  EXPECT_EQ(codes, expectedCodes) << "the catalog's layouts of " << Utf8(family.family);

  // The letters no record carries come as the letter after the last record.
  std::vector<reports::ReportFixture> fixtures{family};
  for (char letter : family.letters) {
    bool carried = letter == family.end.letter;
    for (const reports::FixtureRecord& r : family.records) carried = carried || r.letter == letter;
    if (carried) continue;
    reports::ReportFixture f = family;
    f.end.letter = letter;
    fixtures.push_back(f);
  }

  gui::MemoryDC screen(1200, 1200);
  reports::DcCanvas fonts(screen);
  for (const Expected& e : expected) {
    auto it = std::find_if(layouts.begin(), layouts.end(), [&](const Layout& l) { return l.code == e.code; });
    if (it == layouts.end()) continue;
    const Layout& layout = *it;
    SCOPED_TRACE(layout.code);
    for (const reports::ReportFixture& f : fixtures) {
      SCOPED_TRACE(std::string("end letter ") + f.end.letter);
      const RunResult run = Run(layout, f);
      for (const std::string& fault : PageFaults(run)) ADD_FAILURE() << fault;
      for (const std::string& fault : ExportFaults(layout, run, f)) ADD_FAILURE() << fault;
    }
    // With the fonts of the window layer: the same bounds, and page 1 as a picture.
    const RunResult run = Run(layout, family, &fonts);
    for (const std::string& fault : PageFaults(run)) ADD_FAILURE() << "window fonts: " << fault;
    if (!IsPrinted(layout.text)) continue;
    gui::MemoryDC picture(run.pageWidth, run.pageHeight);
    reports::DcCanvas canvas(picture);
    reports::PaintOptions paint;
    reports::PaintPage(*run.pages.Page(1), canvas, paint);
    EXPECT_TRUE(picture.SavePng(Artefact(layout.code + ".png")));

    // The printer's path: the render command's PDF, read back.
    const std::string pdf = Artefact(layout.code + ".pdf");
    platform::LaunchOptions o;
    o.wait = true;
    o.captureOutput = true;
    o.extraEnvironment = {"QT_QPA_PLATFORM=offscreen"};
    const platform::LaunchResult render = platform::LaunchProcess(
        {MERLON_REPORT_RENDER, "--template", kLayoutsFolder + "/" + reports::LayoutFileName(layout.code), "--fixture",
         kFamiliesFolder + "/" + familyFile, "--folder", ExportFolder(), "--pdf", pdf},
        o);
    ASSERT_EQ(render.exitStatus, 0) << render.output;
    const platform::LaunchResult check = platform::LaunchProcess({"qpdf", "--check", pdf}, o);
    EXPECT_EQ(check.exitStatus, 0) << check.output;
    // The launcher gives the output in cp1252 and keeps its last 64 KB: the title is read on the
    // first page, the totals at the end of the document.
    const platform::LaunchResult first =
        platform::LaunchProcess({"pdftotext", "-enc", "UTF-8", "-layout", "-l", "1", pdf, "-"}, o);
    const platform::LaunchResult all = platform::LaunchProcess({"pdftotext", "-enc", "UTF-8", "-layout", pdf, "-"}, o);
    // Words may stand apart on the grid: the texts are compared without their blanks.
    auto squeeze = [](std::string s) {
      s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\n' || c == '\f'; }), s.end());
      return s;
    };
    EXPECT_NE(squeeze(first.output).find(squeeze(e.title)), std::string::npos)
        << "title " << Utf8(e.title) << "\n" << Utf8(first.output);
    for (const std::string& total : e.totals)
      EXPECT_NE(squeeze(all.output).find(squeeze(total)), std::string::npos) << "total " << total << "\n" << Utf8(all.output);
  }
}

}  // namespace reportset
