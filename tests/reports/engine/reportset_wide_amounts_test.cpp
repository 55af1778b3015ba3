// Amounts of 14 characters in every printed reference layout: each money variable placed in a
// column holds 987 654 321.98 (as wide as an amount below a billion gets with its blanks), or
// -98 765 432.10 where it was negative (a negative one below a hundred million). Every such amount
// prints with its thousands' blanks and its cents, and no text of its line leaves its column: the
// cell grows into the room its layout keeps on its left.
#include <cstdio>
#include <map>
#include <regex>
#include <vector>

#include "platform/gui/dc.h"
#include "platform/system/cp1252.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/dc_canvas.h"
#include "reportset_support.h"
#include "runtime/numbers.h"
#include "runtime/report_fields.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace reportset {
namespace {

constexpr const char* kWide = "987654321.98";
constexpr const char* kWideNegative = "-98765432.10";

// A layout whose money variables placed in a column ("[Col:41][@SOLDE]") read twins of theirs
// ("WIDE01"), and its fixture with the twins: of the same values, or, `wide`, at the wide amount
// wherever they are not zero, of the sign they had. The variables elsewhere in the text (in a
// sentence, where the words after them follow them) keep their values.
struct Twinned {
  Layout layout;
  reports::ReportFixture fixture;
  int twins = 0;
};
Twinned Twin(const Layout& layout, const reports::ReportFixture& family, bool wide) {
  std::map<std::string, std::string> money;  // name -> definition
  for (const std::string& d : family.definitions)
    if (FieldTypeOf(d) == 'M') money[FieldNameOf(d)] = d;
  Twinned t{layout, family, 0};
  std::map<std::string, std::string> twinOf;
  static const std::regex column("(\\[col:[0-9]+\\]\\[@)([a-z0-9_]+)([\\],])", std::regex::icase);
  std::string text;
  std::size_t last = 0;
  for (auto it = std::sregex_iterator(layout.text.begin(), layout.text.end(), column); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    std::string name = UpperCp1252(m[2].str());
    text += layout.text.substr(last, static_cast<std::size_t>(m.position(0)) - last);
    last = static_cast<std::size_t>(m.position(0) + m.length(0));
    if (money.count(name) == 0) {
      text += m[0].str();
      continue;
    }
    if (twinOf.count(name) == 0) {
      char twin[16];
      std::snprintf(twin, sizeof twin, "WIDE%02d", ++t.twins);
      twinOf[name] = twin;
      t.fixture.definitions.push_back(PadRight(twin, kFieldNameLength) + money[name].substr(kFieldNameLength));
    }
    text += m[1].str() + twinOf[name] + m[3].str();
  }
  t.layout.text = text + layout.text.substr(last);
  auto add = [&](reports::FixtureRecord& r) {
    const auto values = r.values;
    for (const auto& [written, value] : values) {
      // "+NAME": a value set as the record becomes the current one.
      const std::string arrival = written.rfind('+', 0) == 0 ? "+" : "";
      const auto twin = twinOf.find(written.substr(arrival.size()));
      if (twin == twinOf.end()) continue;
      const std::string plain = Trimmed(value);
      const bool zero = plain.empty() || Val(plain.c_str()) == 0.0;
      r.values.push_back({arrival + twin->second, !wide || zero ? value : plain[0] == '-' ? kWideNegative : kWide});
    }
  };
  add(t.fixture.prepare);
  add(t.fixture.end);
  for (reports::FixtureRecord& r : t.fixture.records) add(r);
  return t;
}

// A text record of a page (UTF-8) and where it stands: a right-aligned one (an amount) by its
// right edge, another by its left; the line by its top.
struct Shown {
  std::string text, place;
};
std::vector<Shown> TextsOf(const reports::PreviewPage& page) {
  std::vector<Shown> out;
  for (const reports::PageRecord& r : page) {
    if (r.kind != 'X' && r.kind != 'Y' && r.kind != 'Z') continue;
    const int x = r.kind == 'Z' ? r.n1 + r.n3 : r.n1;
    out.push_back({platform::Cp1252ToUtf8(std::string(r.text)),
                   std::string(1, r.kind) + " " + std::to_string(x) + "," + std::to_string(r.n2)});
  }
  return out;
}

class WideAmountLayouts : public ReportSetTest {};

TEST_F(WideAmountLayouts, AnAmountOfFourteenCharactersKeepsItsBlanksAndEveryCellItsColumn) {
  gui::MemoryDC screen(1200, 1200);
  reports::DcCanvas fonts(screen);
  int widened = 0;
  for (const std::string& file : FamilyFiles()) {
    const reports::ReportFixture family = Family(file);
    for (const Layout& layout : LayoutsOf(family)) {
      if (ExportKindOf(layout.text) != ExportKind::kNone) continue;
      const Twinned usual = Twin(layout, family, false), wide = Twin(layout, family, true);
      if (usual.twins == 0) continue;
      SCOPED_TRACE(layout.code);
      for (reports::TextMeasurer* measurer : {static_cast<reports::TextMeasurer*>(nullptr),
                                              static_cast<reports::TextMeasurer*>(&fonts)}) {
        SCOPED_TRACE(measurer == nullptr ? "fixed metrics" : "window fonts");
        const RunResult before = Run(usual.layout, usual.fixture, measurer), run = Run(wide.layout, wide.fixture, measurer);
        ASSERT_EQ(run.pages.PageCount(), before.pages.PageCount());
        for (const std::string& fault : PageFaults(run)) ADD_FAILURE() << fault;
        for (int p = 1; p <= run.pages.PageCount(); ++p) {
          const std::vector<Shown> was = TextsOf(*before.pages.Page(p)), is = TextsOf(*run.pages.Page(p));
          ASSERT_EQ(is.size(), was.size()) << "page " << p;
          for (std::size_t i = 0; i < is.size(); ++i) {
            if (is[i].text.find("987") != std::string::npos || is[i].text.find("98 ") != std::string::npos) {
              ++widened;
              EXPECT_TRUE(is[i].text.find("987 654 321.98") != std::string::npos ||
                          is[i].text.find("-98 765 432.10") != std::string::npos)
                  << "page " << p << " '" << is[i].text << "'";
            }
            EXPECT_EQ(is[i].place, was[i].place) << "page " << p << " '" << is[i].text << "' was '" << was[i].text << "'";
          }
        }
        if (measurer == nullptr) continue;
        gui::MemoryDC picture(run.pageWidth, run.pageHeight);
        reports::DcCanvas canvas(picture);
        reports::PaintPage(*run.pages.Page(1), canvas, reports::PaintOptions{});
        EXPECT_TRUE(picture.SavePng(Artefact(layout.code + "-wide.png")));
      }
    }
  }
  EXPECT_GT(widened, 100) << "the layouts print the wide amounts";
}

}  // namespace
}  // namespace reportset
