// Every printed reference layout filled with amounts of 1, 10 and 99 999 999 999.99 (the widest an
// amount field takes), then with their negatives: every money variable, every balance written as
// text and every value of a balance-sheet code that is not zero in the family's fixture takes the
// amount, as the program writes it. On screen (the preview's fonts) and on paper (measured and
// painted on the PDF device, read back with pdftotext -bbox): every word stays inside the page,
// every amount prints whole with its thousands' blanks where the amount of 1 ends, no text runs into
// another, and every other cell of the page stands where it stands with amounts of 1.
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
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
#include "support/pdf_tools.h"

namespace reportset {
namespace {

constexpr long long kWidest = 9'999'999'999'999;  // 99 999 999 999.99, in cents

std::string Utf8(const std::string& cp1252) { return platform::Cp1252ToUtf8(cp1252); }

// An amount as a fixture or a page shows it: "1 234.50 Db", "-12.00", "99999.00"; its cents with
// their sign, and its side ("" when none).
struct AmountText {
  long long cents = 0;
  std::string side;
  bool grouped = true;  // its thousands' blanks all there
};
std::optional<AmountText> ReadAmount(const std::string& text) {
  static const std::regex amount("^ *(-?)([0-9]{1,3}(?: [0-9]{3})*|[0-9]+)[.,]([0-9]{2})(?: (Db|Cr))? *$");
  std::smatch m;
  if (!std::regex_match(text, m, amount)) return std::nullopt;
  AmountText a;
  std::string digits;
  for (char c : m[2].str())
    if (c != ' ') digits += c;
  a.grouped = digits.size() <= 3 || m[2].str().find(' ') != std::string::npos;
  a.cents = std::stoll(digits) * 100 + std::stoll(m[3].str());
  if (m[1].length() > 0) a.cents = -a.cents;
  a.side = m[4].str();
  return a;
}

// The amount as the program prints it, grouped whole.
std::string MoneyText(long long cents) { return GroupedAmount(cents, 0); }

// A percentage as a budget balance prints it ("21.6", "-6672.3"); with the widest amounts, the widest
// it prints whole, either way (a wider one prints as the bound it passes, in as many characters).
bool IsPercentage(const std::string& text) {
  static const std::regex percentage("^ *-?[0-9]+\\.[0-9]$");
  return std::regex_match(text, percentage);
}
const char* WidestPercentage(long long cents) { return cents < 0 ? "-9999999.9" : "99999999.9"; }

// The family's fixture with every amount that is not zero made `cents` (of its sign as given):
// money variables by their value, balances written as text with the side that sign gives, the
// values of the balance-sheet codes as the sheet writes them, those the layout prints and the
// family leaves out included.
reports::ReportFixture Filled(const reports::ReportFixture& family, const Layout& layout, long long cents) {
  reports::ReportFixture f = family;
  static const std::regex code("\\[blv[:!]([a-z0-9]{1,3})\\]", std::regex::icase);
  for (std::sregex_iterator it(layout.text.begin(), layout.text.end(), code), end; it != end; ++it) {
    std::string key = UpperCp1252((*it)[1].str());
    key.resize(3, ' ');
    f.codes.try_emplace(key, std::pair<std::string, std::string>{"", "1.00"});
  }
  std::map<std::string, char> types;
  for (const std::string& d : f.definitions) types[FieldNameOf(d)] = FieldTypeOf(d);
  char plain[32];
  std::snprintf(plain, sizeof plain, "%s%lld.%02lld", cents < 0 ? "-" : "", (cents < 0 ? -cents : cents) / 100,
                (cents < 0 ? -cents : cents) % 100);
  auto fill = [&](reports::FixtureRecord& r) {
    for (auto& [written, value] : r.values) {
      const std::string name = written.rfind('+', 0) == 0 ? written.substr(1) : written;
      const auto type = types.find(name);
      if (type == types.end()) continue;
      if (type->second == 'N' && name.find("POURC") != std::string::npos && IsPercentage(value)) {
        if (cents == kWidest || cents == -kWidest) value = WidestPercentage(cents);
        continue;
      }
      const std::optional<AmountText> a = ReadAmount(value);
      if (!a || a->cents == 0) continue;
      if (type->second == 'M') value = plain;
      else if (type->second == 'C' && !a->side.empty()) value = BalanceAmount(cents);
    }
  };
  fill(f.prepare);
  fill(f.end);
  for (reports::FixtureRecord& r : f.records) fill(r);
  for (auto& [code, answer] : f.codes) {
    const std::optional<AmountText> a = ReadAmount(answer.second);
    if (a && a->cents != 0) answer.second = GroupedAmount(cents, 14);
  }
  return f;
}

// A text record of a page: its text (cp1252), its line, its cell and where its ink lies (an
// amount drawn right-aligned on its last character, any other text from its left).
struct Cell {
  char kind = 'X';
  std::string text;
  int y = 0, height = 0, left = 0, right = 0, inkLeft = 0, inkRight = 0;
};
std::vector<Cell> CellsOf(const reports::PreviewPage& page, int columnWidth) {
  std::vector<Cell> out;
  for (const reports::PageRecord& r : page) {
    if (r.kind != 'X' && r.kind != 'Y' && r.kind != 'Z') continue;
    Cell c{r.kind, std::string(r.text), r.n2, r.n4, r.n1, r.n1 + r.n3, r.n1, r.n1 + r.n3};
    const int width = static_cast<int>(c.text.size()) * columnWidth;
    if (c.kind == 'Z' && width < c.right - c.left) c.inkLeft = c.right - width;
    out.push_back(std::move(c));
  }
  return out;
}

std::string Where(int page, const Cell& c) {
  return "page " + std::to_string(page) + " y " + std::to_string(c.y) + " '" + Utf8(c.text) + "'";
}

// The faults of a run with amounts of `cents` (either sign) beside the run with amounts of 1.
std::vector<std::string> LayoutFaults(const RunResult& small, const RunResult& run, long long cents) {
  std::vector<std::string> faults;
  if (run.pages.PageCount() != small.pages.PageCount())
    return {"pages: " + std::to_string(run.pages.PageCount()) + ", with amounts of 1: " +
            std::to_string(small.pages.PageCount())};
  for (int p = 1; p <= run.pages.PageCount(); ++p) {
    const std::vector<Cell> was = CellsOf(*small.pages.Page(p), small.columnWidth);
    const std::vector<Cell> is = CellsOf(*run.pages.Page(p), run.columnWidth);
    if (is.size() != was.size()) {
      faults.push_back("page " + std::to_string(p) + ": " + std::to_string(is.size()) + " texts, " +
                       std::to_string(was.size()) + " with amounts of 1");
      continue;
    }
    for (std::size_t i = 0; i < is.size(); ++i) {
      const Cell &a = was[i], &b = is[i];
      const std::string where = Where(p, b) + " (with amounts of 1: '" + Utf8(a.text) + "')";
      const std::optional<AmountText> before = ReadAmount(a.text), now = ReadAmount(b.text);
      if (before && before->cents != 0) {
        // An amount: whole, grouped, on the same last character.
        const long long one = before->cents < 0 ? -100 : 100;
        if (!now || !now->grouped) faults.push_back(where + ": not an amount grouped whole");
        else if (before->cents == one && (now->cents != (before->cents < 0 ? -cents : cents) || now->side != before->side))
          faults.push_back(where + ": not the amount filled in");
        if (b.right != a.right || b.y != a.y)
          faults.push_back(where + ": ends at " + std::to_string(b.right) + ", with amounts of 1 at " +
                           std::to_string(a.right));
        continue;
      }
      if (IsPercentage(a.text) && IsPercentage(b.text)) {
        // A percentage: whole, on the same last character (it grows left as an amount does).
        if (b.right != a.right || b.y != a.y)
          faults.push_back(where + ": ends at " + std::to_string(b.right) + ", with amounts of 1 at " +
                           std::to_string(a.right));
        continue;
      }
      if (b.text != a.text) {
        // A sentence that holds an amount: the amount in it grouped whole, the words after it
        // following it.
        if (b.text.find(MoneyText(cents)) == std::string::npos && b.text.find(MoneyText(-cents)) == std::string::npos)
          faults.push_back(where + ": another text");
        if (b.y != a.y) faults.push_back(where + ": on another line");
        continue;
      }
      if (b.left != a.left || b.y != a.y || b.kind != a.kind)
        faults.push_back(where + ": moved from x " + std::to_string(a.left) + " to " + std::to_string(b.left));
    }
    // No text runs into another that it left alone with amounts of 1.
    for (std::size_t i = 0; i < is.size(); ++i)
      for (std::size_t j = i + 1; j < is.size(); ++j) {
        auto meet = [](const Cell& x, const Cell& y) {
          return x.y == y.y && x.inkLeft < y.inkRight && y.inkLeft < x.inkRight;
        };
        if (meet(is[i], is[j]) && !meet(was[i], was[j]))
          faults.push_back(Where(p, is[i]) + " runs into '" + Utf8(is[j].text) + "'");
      }
  }
  return faults;
}

// The words of the PDF: each inside its page, and the words over each amount of the run's pages
// reading that amount whole (the device's units are 1/150 inch, the PDF's points 1/72).
std::vector<std::string> PdfFaults(const RunResult& run, const std::string& pdf) {
  std::vector<std::string> faults;
  const std::vector<test_support::PdfPage> pages = test_support::PdfWords(pdf);
  if (static_cast<int>(pages.size()) != run.pages.PageCount())
    return {"the PDF has " + std::to_string(pages.size()) + " pages"};
  const double scale = 72.0 / 150.0, slack = 1.0;
  for (int p = 1; p <= run.pages.PageCount(); ++p) {
    const test_support::PdfPage& page = pages[static_cast<std::size_t>(p - 1)];
    for (const test_support::PdfWord& w : page.words)
      if (w.xMin < 0 || w.xMax > page.width || w.yMin < 0 || w.yMax > page.height)
        faults.push_back("PDF page " + std::to_string(p) + ": '" + w.text + "' from x " + std::to_string(w.xMin) +
                         " to " + std::to_string(w.xMax) + " past the page's " + std::to_string(page.width));
    for (const Cell& c : CellsOf(*run.pages.Page(p), run.columnWidth)) {
      if (IsPercentage(c.text)) {
        // A percentage prints whole: one word of the page reads it.
        const std::string want = Utf8(Trimmed(c.text));
        if (std::none_of(page.words.begin(), page.words.end(), [&](const test_support::PdfWord& w) { return w.text == want; }))
          faults.push_back("PDF " + Where(p, c) + ": the percentage is read whole nowhere on its page");
        continue;
      }
      const std::optional<AmountText> a = ReadAmount(c.text);
      if (!a || a->cents == 0) continue;
      std::vector<const test_support::PdfWord*> over;
      for (const test_support::PdfWord& w : page.words) {
        const double x = (w.xMin + w.xMax) / 2, y = (w.yMin + w.yMax) / 2;
        if (y >= c.y * scale && y <= (c.y + c.height) * scale && w.xMin >= c.left * scale - slack &&
            w.xMax <= c.right * scale + slack && x >= c.inkLeft * scale - slack)
          over.push_back(&w);
      }
      std::sort(over.begin(), over.end(), [](auto* l, auto* r) { return l->xMin < r->xMin; });
      std::string read;
      for (const test_support::PdfWord* w : over) read += (read.empty() ? "" : " ") + w->text;
      if (read != Utf8(Trimmed(c.text)))
        faults.push_back("PDF " + Where(p, c) + ": reads '" + read + "' there");
    }
  }
  return faults;
}

class WidestAmountLayouts : public ReportSetTest {
 protected:
  // Every printed layout of the families, each sign, on screen and on paper.
  void CheckFamilies(const std::vector<std::string>& files) {
    gui::MemoryDC screen(1200, 1200);
    reports::DcCanvas fonts(screen);
    int layouts = 0, shown = 0;
    for (const std::string& file : files) {
      const reports::ReportFixture family = Family(file);
      for (const Layout& layout : LayoutsOf(family)) {
        if (ExportKindOf(layout.text) != ExportKind::kNone) continue;
        ++layouts;
        SCOPED_TRACE(layout.code);
        for (const long long sign : {1LL, -1LL}) {
          SCOPED_TRACE(sign > 0 ? "amounts above zero" : "amounts below zero");
          const reports::ReportFixture one = Filled(family, layout, sign * 100),
                                       ten = Filled(family, layout, sign * 1000),
                                       widest = Filled(family, layout, sign * kWidest);
          const std::string name = layout.code + (sign > 0 ? "-widest" : "-widest-negative");
          // On screen.
          const RunResult small = Run(layout, one, &fonts);
          for (const auto& [larger, cents] : {std::pair{&ten, sign * 1000}, std::pair{&widest, sign * kWidest}}) {
            const RunResult run = Run(layout, *larger, &fonts);
            for (const std::string& fault : PageFaults(run)) ADD_FAILURE() << "screen: " << fault;
            for (const std::string& fault : LayoutFaults(small, run, cents < 0 ? -cents : cents))
              ADD_FAILURE() << "screen: " << fault;
            if (larger != &widest) continue;
            for (int p = 1; p <= run.pages.PageCount(); ++p)
              for (const Cell& c : CellsOf(*run.pages.Page(p), run.columnWidth))
                shown += c.text.find(MoneyText(kWidest)) != std::string::npos;
            gui::MemoryDC picture(run.pageWidth, run.pageHeight);
            reports::DcCanvas canvas(picture);
            reports::PaintPage(*run.pages.Page(1), canvas, reports::PaintOptions{});
            EXPECT_TRUE(picture.SavePng(Artefact(name + ".png")));
          }
          // On paper.
          const std::string pdf = Artefact(name + ".pdf");
          const RunResult printedSmall = Print(layout, one, Artefact(name + "-small.pdf"));
          const RunResult printed = Print(layout, widest, pdf);
          for (const std::string& fault : PageFaults(printed)) ADD_FAILURE() << "paper: " << fault;
          for (const std::string& fault : LayoutFaults(printedSmall, printed, kWidest)) ADD_FAILURE() << "paper: " << fault;
          for (const std::string& fault : PdfFaults(printed, pdf)) ADD_FAILURE() << fault;
          test_support::PdfPicture(pdf, 1, Artefact(name + "-pdf"));
        }
      }
    }
    EXPECT_GT(layouts, 0);
    EXPECT_GT(shown, layouts) << "the layouts print the widest amounts";
  }
};

TEST_F(WidestAmountLayouts, Ledgers) {
  CheckFamilies({"statement.txt", "ledgers.txt", "ledgers_analytic.txt", "journals.txt", "summary.txt",
                 "reconciliation.txt"});
}

TEST_F(WidestAmountLayouts, Balances) { CheckFamilies({"balances.txt", "balances_analytic.txt"}); }

TEST_F(WidestAmountLayouts, BalanceSheetAndAnnex) { CheckFamilies({"balance_sheet.txt", "annex.txt"}); }

TEST_F(WidestAmountLayouts, VatAndDunning) { CheckFamilies({"dunning.txt", "vat_debits.txt", "vat_receipts.txt"}); }

TEST_F(WidestAmountLayouts, JournalEntriesAndMasterData) {
  std::vector<std::string> files{"journal_lines.txt"};
  for (const std::string& f : FamilyFiles())
    if (f.rfind("md_", 0) == 0) files.push_back(f);
  CheckFamilies(files);
}

}  // namespace
}  // namespace reportset
