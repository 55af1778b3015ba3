// Barcodes and pages drawn through the window layer's device contexts: pictures decoded by
// zbarimg (Code 39, EAN-13, EAN-8, interleaved 2 of 5), industrial 2 of 5 read back by a small
// decoder of its own, a report's pages painted at zoom 1 and 4, and the render command's PNG
// pages and PDF file (pdfinfo, pdftotext, qpdf, pdftoppm, zbarimg).
#include <filesystem>
#include <fstream>

#include "core_support.h"
#include "platform/gui/application.h"
#include "platform/gui/dc.h"
#include "platform/system/process.h"
#include "reports/engine/core/barcodes.h"
#include "reports/engine/core/paint_walk.h"
#include "reports/engine/dc_canvas.h"

using namespace test_support;
using reports::BarcodeType;

namespace {

std::string Artefact(const std::string& name) { return ArtefactPathFor("reports-engine", name); }

platform::LaunchResult Launch(const std::vector<std::string>& argv, const std::string& folder = "") {
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  o.workingDirectory = folder;
  return platform::LaunchProcess(argv, o);
}

// What zbarimg decodes in a picture, one symbol a line (its notes on the desktop bus left out:
// it writes them to the same pipe).
std::string Decoded(const std::string& path, int* status = nullptr) {
  const platform::LaunchResult r = Launch({"zbarimg", "--raw", "-q", path});
  if (status != nullptr) *status = r.exitStatus;
  std::string out;
  std::size_t start = 0;
  while (start < r.output.size()) {
    std::size_t end = r.output.find('\n', start);
    if (end == std::string::npos) end = r.output.size();
    const std::string line = r.output.substr(start, end - start);
    if (line.rfind("Connection ", 0) != 0) out += line + "\n";
    start = end + 1;
  }
  return out;
}

// The barcode drawn alone on a white picture, saved as PNG; its path.
std::string DrawOne(BarcodeType type, const std::string& text, const std::string& name, int module = 2) {
  gui::MemoryDC dc(600, 120);
  reports::DcCanvas canvas(dc);
  reports::DrawBarcode(canvas, type, text, 10, 20, 80, module);
  const std::string path = Artefact(name + ".png");
  EXPECT_TRUE(dc.SavePng(path));
  return path;
}

// Industrial 2 of 5 read back from a picture: the bars' widths along the middle row, narrow
// and wide told apart, start (wide, wide, narrow) and stop (wide, narrow, wide) checked.
std::string Decode2of5(const std::string& path) {
  const gui::Bitmap bitmap = gui::Bitmap::LoadFile(path);
  gui::MemoryDC dc(600, 120);
  dc.DrawBitmap(0, 0, bitmap);
  std::vector<int> bars;
  int run = 0;
  for (int x = 0; x < 600; ++x) {
    const bool black = dc.GetPixel(x, 50) == gui::colors::Black;
    if (black) {
      ++run;
    } else if (run > 0) {
      bars.push_back(run);
      run = 0;
    }
  }
  if (bars.size() < 6 || (bars.size() - 6) % 5 != 0) return "?";
  const int narrow = *std::min_element(bars.begin(), bars.end());
  std::string wide;
  for (int b : bars) wide += b > 2 * narrow ? '1' : '0';
  if (wide.substr(0, 3) != "110" || wide.substr(wide.size() - 3) != "101") return "?";
  const char* table[] = {"00110", "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "01010"};
  std::string digits;
  for (std::size_t i = 3; i + 3 < wide.size(); i += 5) {
    const std::string group = wide.substr(i, 5);
    int digit = -1;
    for (int d = 0; d < 10; ++d) {
      if (group == table[d]) digit = d;
    }
    if (digit < 0) return "?";
    digits += static_cast<char>('0' + digit);
  }
  return digits;
}

class RenderTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    gui::Application::EnsureQt();
  }
};

}  // namespace

TEST_F(RenderTest, BarcodesDecode) {
  struct Case {
    BarcodeType type;
    const char* text;
    const char* decoded;
  };
  const Case cases[] = {
      {BarcodeType::kCode39, "AB-12 $/", "AB-12 $/"},
      {BarcodeType::kEan13, "400638133393", "4006381333931"},
      {BarcodeType::kEan13, "5901234123457", "5901234123457"},
      {BarcodeType::kEan8, "9638507", "96385074"},
      {BarcodeType::k2of5Interleaved, "12345670", "12345670"},
      {BarcodeType::k2of5Interleaved, "1234567", "01234567"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string path = DrawOne(c.type, c.text, "barcode-" + std::to_string(n++));
    EXPECT_EQ(Decoded(path), std::string(c.decoded) + "\n") << c.text;
  }
  EXPECT_EQ(Decode2of5(DrawOne(BarcodeType::k2of5, "0123456789", "barcode-2of5")), "0123456789");
  // A wrong check digit draws nothing: the picture stays white.
  const std::string empty = DrawOne(BarcodeType::kEan13, "4006381333932", "barcode-wrong");
  int status = 0;
  EXPECT_EQ(Decoded(empty, &status), "");
  EXPECT_EQ(status, 4);  // no symbol found
}

TEST_F(RenderTest, AReportPagePaintedAtZoomOneAndFour) {
  EngineRun run("[F3]Grand livre[F1][S:20][Page]\r\n[R:001,001,080,003][L:001,004,080,004]\r\n"
                "[ITD][TT-Avant][@COMPTE] [@LIB] [>][@DEBIT][Rupt-b]{ [Coul:M](B)}[TT-Suivant]\r\n[ITF]"
                "[Lig:8][@1CODE][Col:30][@2EAN]\r\n",
                MakeFixture({"COMPTE    C060", "LIB       C200", "DEBIT     M142", "CODE      C060", "EAN       C130"},
                            {{'A', {{"COMPTE", "411000"}, {"LIB", "Clients divers"}, {"DEBIT", "1234.5"},
                                    {"CODE", "CODE39"}, {"EAN", "400638133393"}}},
                             {'B', {{"COMPTE", "512000"}, {"LIB", "Banque \xE9t\xE9"}, {"DEBIT", "-12"},
                                    {"CODE", "CODE39"}, {"EAN", "400638133393"}}}}));
  gui::MemoryDC measure(794, 1123);
  reports::DcCanvas measurer(measure);
  run.measurer = &measurer;
  run.First();
  std::string found;
  for (int zoom : {1, 4}) {
    gui::MemoryDC picture(794 * zoom / 2 + 20, 1123 * zoom / 4);
    reports::DcCanvas canvas(picture);
    reports::PaintOptions paint;
    paint.zoom = zoom;
    paint.lineHeight = run.context.lineHeight;
    reports::PaintPage(run.Page(1), canvas, paint);
    const std::string path = Artefact("page-zoom" + std::to_string(zoom) + ".png");
    ASSERT_TRUE(picture.SavePng(path));
    found = Decoded(path);
  }
  // At zoom 4 both codes of the page decode.
  EXPECT_NE(found.find("CODE39\n"), std::string::npos) << found;
  EXPECT_NE(found.find("4006381333931\n"), std::string::npos) << found;
}

TEST_F(RenderTest, TheRenderCommandsPagesAndPdf) {
  const std::string folder = Dir() + "/out/";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "modele.txt", std::ios::binary)
      << "[Export:csv][Export]Balance [Page]\r\n[ITD][TT-Avant][@COMPTE] [@LIB] [@SOLDE][TT-Suivant]\r\n[ITF]"
         "[@1COMPTE]\r\n\r\n\r\n\r\n[Fin]\r\n";
  std::string fixture = "VAR COMPTE    C080\nVAR LIB       C200\nVAR SOLDE     M142\n";
  for (int i = 0; i < 130; ++i) {
    fixture += "\nLINE A\nCOMPTE=" + std::to_string(411000 + i) + "\nLIB=Client " + std::to_string(i) +
               "\nSOLDE=" + std::to_string(i * 10.5) + "\n";
  }
  std::ofstream(folder + "donnees.txt", std::ios::binary) << fixture;
  const platform::LaunchResult render =
      Launch({MERLON_REPORT_RENDER, "--template", folder + "modele.txt", "--fixture", folder + "donnees.txt", "--folder",
           folder, "--code", "DEMO", "--png", folder + "page", "--pdf", folder + "etat.pdf"});
  ASSERT_EQ(render.exitStatus, 0) << render.output;
  EXPECT_NE(render.output.find(folder + "cxpdemo.csv"), std::string::npos);
  const std::string csv = ReadFileBytes(folder + "cxpdemo.csv");
  // Two pages: each one's heading and footer (5 lines), and the 130 records.
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2 * (1 + 5) + 130) << csv;
  EXPECT_NE(csv.find("411129;\"Client 129\";1354,50\r\n"), std::string::npos) << csv.substr(0, 400);
  EXPECT_TRUE(std::filesystem::exists(folder + "page-1.png"));
  EXPECT_TRUE(std::filesystem::exists(folder + "page-2.png"));
  std::filesystem::copy_file(folder + "page-2.png", Artefact("render-page-2.png"),
                             std::filesystem::copy_options::overwrite_existing);

  const platform::LaunchResult info = Launch({"pdfinfo", folder + "etat.pdf"});
  ASSERT_EQ(info.exitStatus, 0) << info.output;
  EXPECT_NE(info.output.find("Pages:           2\n"), std::string::npos) << info.output;
  EXPECT_EQ(Launch({"qpdf", "--check", folder + "etat.pdf"}).exitStatus, 0);
  const platform::LaunchResult text = Launch({"pdftotext", "-layout", folder + "etat.pdf", "-"});
  EXPECT_NE(text.output.find("411129"), std::string::npos) << text.output;
  EXPECT_NE(text.output.find("Client 129"), std::string::npos);
  EXPECT_NE(text.output.find("* Fin *"), std::string::npos);
  ASSERT_EQ(Launch({"pdftoppm", "-r", "300", "-png", "-f", "2", "-l", "2", folder + "etat.pdf", folder + "pdf"}).exitStatus, 0);
  std::string png;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (e.path().filename().string().rfind("pdf-", 0) == 0) png = e.path().string();
  }
  ASSERT_FALSE(png.empty());
  EXPECT_EQ(Decoded(png), "411129\n");
  EXPECT_EQ(Decoded(folder + "page-2.png"), "411129\n");
}
