// The reference layouts (src/resources/reports) run over their families' fixtures
// (tools/report_render/families) through the report engine's interpreter: each layout of a
// family to the end of its data, with fixed metrics and with the fonts of the window layer, and
// what every layout must keep checked on the way: no "?statement?" on any page, no text past
// the printable width or below the page, the export file of an export layout read back by
// Python (CSV), or line by line (the statutory entries file, the file for the other accounting
// product, the 160-character transfer records); the first page of the printed layouts kept as a
// PNG picture in <build>/test-artefacts/reports/, and their PDF made by the render command read
// back by qpdf and pdftotext.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "report_fixture.h"
#include "report_set.h"
#include "reports/engine/core/report_interpreter.h"
#include "support/runtime_fixture.h"

namespace reportset {

inline const std::string kLayoutsFolder = MERLON_SOURCE_DIR "/src/resources/reports";
inline const std::string kFamiliesFolder = MERLON_SOURCE_DIR "/tools/report_render/families";

struct Layout {
  std::string code;
  std::string name;
  std::string text;  // the template, cp1252
};

// What a family's test expects of one of its layouts: words of its title (cp1252) and the
// totals its last page shows (as the report variables print them), both looked for in the PDF.
struct Expected {
  std::string code;
  std::string title;
  std::vector<std::string> totals;
};

// What each family's layouts are expected to show, in catalog order (reportset_expected.cpp).
const std::vector<Expected>& ExpectedLayouts(const std::string& familyFile);
// Every family file of tools/report_render/families.
std::vector<std::string> FamilyFiles();

// The fixture of a family file ("statement.txt").
reports::ReportFixture Family(const std::string& file);
// The layouts of the catalog whose family is `family` (by the longest prefix), in catalog order.
std::vector<Layout> LayoutsOf(const reports::ReportFixture& family);

// How an export layout writes its file, read from its template.
enum class ExportKind { kNone, kCsv, kStatutory, kOtherProduct, kTransfer, kSepa, kHtml, kText };
ExportKind ExportKindOf(const std::string& templateText);

struct RunResult {
  reports::PreviewPageStore pages;
  int pageWidth = 0, pageHeight = 0;
  int gridWidth = 0;  // the right edge of the page's columns
  int columnWidth = 0, lineHeight = 0;
  bool noTruncate = false;
  bool endOfData = false;
  std::string exportPath;   // "" when the layout writes no file
  std::string exportBytes;  // cp1252
  std::vector<std::string> warnings;
};

class ReportSetTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The layout run to its end over the fixture. `measurer` null: fixed metrics; otherwise the
  // fonts are measured on it.
  RunResult Run(const Layout& layout, const reports::ReportFixture& fixture, reports::TextMeasurer* measurer = nullptr);
  // The layout printed as the printer prints it, into the PDF file `pdf`: its pages measured and
  // painted on the PDF device (A4 in the layout's orientation, 150 dots an inch).
  RunResult Print(const Layout& layout, const reports::ReportFixture& fixture, const std::string& pdf);

  // The faults of a run that no layout may have (empty when none): "?statement?" texts, text
  // records past the printable width or below the page, an unfinished run.
  std::vector<std::string> PageFaults(const RunResult& run) const;
  // The faults of its export file by its kind (empty when none), `records` the fixture's.
  std::vector<std::string> ExportFaults(const Layout& layout, const RunResult& run,
                                        const reports::ReportFixture& fixture);

  // Every layout of the family run over its fixture (and once more for each letter of the
  // family that no record carries, as the letter after the last record), with both kinds of
  // metrics; the first page of each printed layout saved as a PNG picture; a PDF of each
  // printed layout made by the render command and read back. `expected` names every layout of
  // the family in the catalog.
  void CheckFamily(const std::string& familyFile) { CheckFamily(familyFile, ExpectedLayouts(familyFile)); }
  void CheckFamily(const std::string& familyFile, const std::vector<Expected>& expected);

  std::string ExportFolder() const { return Dir() + "/export/"; }

 private:
  // The run over the fixture, measured on `measurer`, on the page `setup` gives.
  RunResult RunWith(const Layout& layout, const reports::ReportFixture& fixture, reports::TextMeasurer& measurer,
                    const reports::ListSetup& setup);
};

// <build>/test-artefacts/reports/<name>, the folder made.
std::string Artefact(const std::string& name);

}  // namespace reportset
