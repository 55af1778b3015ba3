// The export of every report a list window writes, run as a user runs it over a demo dossier whose
// amounts do not read in places ("abc" in a line's euros, an account's previous-year figure, a
// section's budget): the report engine writes no file over an amount it could not read, whatever
// report read it, names the record in its box and offers nothing; a report that reads no damaged
// amount writes its file. The lines window's "Imprimer" to its CSV layout, and the chart of
// accounts' and the sections' CSV lists; then every layout of the program that writes a file,
// those run here and those whose runs are tried over damaged dossiers in their own subjects' tests.
#include <algorithm>
#include <filesystem>
#include <set>

#include "app/program_commands.h"
#include "data/record_fields.h"
#include "demo/dossier_demo.h"
#include "entry/headers_list.h"
#include "entry/lines_window.h"
#include "framework/browse.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/printer.h"
#include "platform/system/files.h"
#include "posting/entry_state.h"
#include "reports/engine/visu_window.h"
#include "resources/command_ids.h"
#include "runtime/text.h"
#include "shell/program_printer.h"
#include "shell/registry.h"
#include "support/line_files.h"
#include "support/report_dossier_fixture.h"

namespace {

namespace fs = std::filesystem;
using test_support::StoredLayout;

const char* const kCaption = "ATTENTION - Montants illisibles";
const char* const kNotWritten = "Le fichier n'a pas \xE9t\xE9 \xE9" "crit";

// Every layout of the program that writes a file ([Export]), by its code.
std::set<std::string> ExportingLayouts() {
  std::set<std::string> codes;
  const std::string folder = std::string(MERLON_SOURCE_DIR) + "/src/resources/reports";
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("C-Etat-", 0) != 0) continue;
    std::string text;
    EXPECT_TRUE(platform::ReadWholeFile(entry.path().string(), text));
    if (LowerCp1252(text).find("[export]") == std::string::npos) continue;
    codes.insert(name.substr(7, name.size() - 11));
  }
  return codes;
}

// The list windows' export layouts, each the only layout of its prefix (row 0 of the choice), with
// the command that opens its window.
struct ListLayout {
  const char* code;
  unsigned command;  // 0: the lines window
};
const ListLayout kListLayouts[] = {
    {"DE-CSV", command_id::DonneesEtablissements}, {"DJ-CSV", command_id::DonneesJournaux},
    {"DC-CSV", command_id::DonneesCollectifs},     {"DB-CSV", command_id::DonneesBanques},
    {"DL-CSV", command_id::DonneesLibelles},       {"DV-CSV", command_id::DonneesVentilations},
    {"DM-CSV", command_id::DonneesModeles},        {"DT-CSV", command_id::DonneesCodesTva},
    {"DP-CSV", command_id::DonneesPlanComptable},  {"DS-CSV", command_id::DonneesSectionsAnal},
    {"SS-CSV", 0},
};

class ExportRefusalTest : public test_support::ReportDossierTest {
 protected:
  ExportRefusalTest()
      : ReportDossierTest("XR", {command_id::SaisieEcritures, command_id::DonneesPlanComptable,
                                 command_id::DonneesSectionsAnal}) {}
  void InstallCommands() override { InstallProgramCommands(); }
  DemoOptions Options() override {
    DemoOptions options;
    options.lines = 600;
    options.analyticMode = '1';
    return options;
  }
  std::vector<StoredLayout> ReportLayouts() const override {
    std::vector<StoredLayout> layouts;
    for (const ListLayout& l : kListLayouts)
      layouts.push_back({l.code, std::string("Liste ") + l.code, std::string("C-Etat-") + l.code + ".txt"});
    return layouts;
  }
  std::string Table(const char* kind) const { return folder_ + kind + "xr.dbf"; }

  // The first live general line of the draft in journal BQ with an amount: its journal-month, its
  // record, and how the reports name it.
  struct Line {
    std::string journalMonth;
    std::uint32_t recno = 0;
    std::string named;
  };
  Line BankLine() const {
    const test_support::RawRecords raw(Table("c50"));
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z" || raw.Field(r, "BJAL") != "BQ " ||
          StoredAmountCents(raw.Field(r, "BMONTANTE")) == 0)
        continue;
      return {raw.Field(r, "BMOIS") + raw.Field(r, "BJAL"), n,
              "C50 enregistrement " + std::to_string(n) + ", pi\xE8" "ce " + Trimmed(raw.Field(r, "BPIECE")) +
                  ", compte " + Trimmed(raw.Field(r, "BCODE"))};
    }
    ADD_FAILURE() << "no bank line in the draft";
    return {};
  }
  // The first live record of C20 (kind "c20") or C30 whose code begins with `first`: its field
  // given `bytes`; how the reports name the record.
  std::string DamageRecord(const char* kind, char first, const std::string& field, const std::string& bytes) const {
    const test_support::RawRecords raw(Table(kind));
    const bool accounts = std::string(kind) == "c20";
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      const std::string code = raw.Field(r, accounts ? "CCODE" : "ACODE");
      if (r[0] == '*' || code[0] != first) continue;
      raw.Put(n, field, bytes);
      return std::string(accounts ? "C20" : "C30") + " enregistrement " + std::to_string(n) +
             (accounts ? ", compte " : ", section ") + Trimmed(code);
    }
    ADD_FAILURE() << "no record of " << kind << " beginning with " << first;
    return "";
  }

  // The lines window of a journal-month of the draft, opened by "Saisir" in the headers list.
  TWSaiBroDetJournaux* LinesWindow(const std::string& journalMonth) {
    auto headers = [] {
      return dynamic_cast<TWSaiBroEntJournaux*>(gui::Window::FromHandle(SlotHandle(posting::kHeadersListFlag)));
    };
    if (headers() == nullptr) Run(command_id::SaisieEcritures);
    TWSaiBroEntJournaux* list = headers();
    if (list == nullptr || !list->LocateCode(journalMonth + "B")) return nullptr;
    Send(list, browse_cmd::Modifier);
    const int k = posting::SlotHolding(journalMonth);
    return k < 0 ? nullptr
                 : dynamic_cast<TWSaiBroDetJournaux*>(gui::Window::FromHandle(SlotHandle(posting::SlotPosition(k))));
  }

  // A list window's export run by "Visualiser" to its end; the file offered ("" when none was).
  std::string Preview(gui::Window* list) { return ExportThroughPreview(list, 0, ".csv"); }

  // The boxes naming amounts that do not read.
  static std::vector<gui::ShownModal> Refusals() {
    std::vector<gui::ShownModal> out;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.caption == kCaption && s.text.find(kNotWritten) != std::string::npos) out.push_back(s);
    return out;
  }
  static std::string Bytes(const std::string& path) {
    std::string text;
    return platform::ReadWholeFile(path, text) ? text : std::string("<absent>");
  }
};

}  // namespace

// "Imprimer" of the lines window with its CSV layout: over the sound journal-month the printout
// writes its export, the line's amount in it; with "abc" in the line's euros it prints, writes no
// file (the previous export stays as it was), offers none, and names the line in one box.
TEST_F(ExportRefusalTest, TheLinesWindowsPrintoutWritesNoExportOverALineThatDoesNotRead) {
  const Line line = BankLine();
  ASSERT_NE(line.recno, 0u);
  const test_support::RawRecords c50(Table("c50"));
  std::string cents = std::to_string(StoredAmountCents(c50.Field(c50.Record(line.recno), "BMONTANTE")));
  cents.insert(0, cents.size() < 3 ? 3 - cents.size() : 0, '0');
  const std::string euros = cents.substr(0, cents.size() - 2) + "," + cents.substr(cents.size() - 2);
  TWSaiBroDetJournaux* w = LinesWindow(line.journalMonth);
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();

  SetUpPdfPrinter("app", "lines-sound");
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK, 0);
  Send(w, browse_cmd::Imprimer);
  const std::string offered = OfferedExport(".csv");
  ASSERT_FALSE(offered.empty()) << test_support::ShownTexts();
  const std::string sound = Bytes(offered);
  EXPECT_NE(sound.find(";" + euros + ";"), std::string::npos) << euros << "\n" << sound;
  EXPECT_TRUE(Refusals().empty());

  test_support::RawRecords(Table("c50")).Put(line.recno, "BMONTANTE", "abc");
  const std::string pdf = SetUpPdfPrinter("app", "lines-unread");
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK, 0);
  Send(w, browse_cmd::Imprimer);
  EXPECT_TRUE(fs::exists(pdf)) << "the printout itself is made";
  EXPECT_EQ(OfferedExport(".csv"), "") << test_support::ShownTexts();
  EXPECT_EQ(test_support::ShownTexts().find("Le fichier d'exportation est pr\xEAt"), std::string::npos);
  EXPECT_EQ(Bytes(offered), sound);
  const std::vector<gui::ShownModal> refusals = Refusals();
  ASSERT_EQ(refusals.size(), 1u) << test_support::ShownTexts();
  EXPECT_NE(refusals[0].text.find(line.named), std::string::npos) << refusals[0].text;
  test_support::ScreenshotMessage(refusals[0], "app", "lines-export-refused");
}

// The chart of accounts' and the sections' CSV lists: an account's previous-year debit and a
// section's budget that do not read would go out as 0,00 and be carried into the lists' totals;
// the export is refused with the record named, and each list without the damage writes its file.
TEST_F(ExportRefusalTest, TheChartAndTheSectionsWriteNoExportOverAFigureThatDoesNotRead) {
  const struct Case {
    const char* what;
    unsigned command;
    const char* table;
    char first;
    const char* field;
    std::string bytes;
  } cases[] = {
      {"previous year of an account", command_id::DonneesPlanComptable, "c20", '6', "CDEBNM1E", "abc"},
      {"budget of an account", command_id::DonneesPlanComptable, "c20", '7', "CBUDGETE", "12.3.4"},
      {"previous year of a section", command_id::DonneesSectionsAnal, "c30", 'A', "ADEBNM1E", std::string(14, '\0')},
      {"budget of a section", command_id::DonneesSectionsAnal, "c30", 'A', "ABUDGETE", "1e300"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Run(c.command);
    gui::Window* list = Active();
    ASSERT_NE(list, nullptr);
    const std::string offered = Preview(list);
    ASSERT_FALSE(offered.empty()) << test_support::ShownTexts();
    const std::string sound = Bytes(offered);
    EXPECT_TRUE(Refusals().empty());

    const test_support::RawRecords raw(Table(c.table));
    std::string before;
    std::uint32_t recno = 0;
    for (std::uint32_t n = 1; n <= raw.Count() && recno == 0; ++n) {
      const std::string r = raw.Record(n);
      if (r[0] != '*' && raw.Field(r, std::string(c.table) == "c20" ? "CCODE" : "ACODE")[0] == c.first) {
        recno = n;
        before = raw.Field(r, c.field);
      }
    }
    const std::string named = DamageRecord(c.table, c.first, c.field, c.bytes);
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(Preview(list), "") << test_support::ShownTexts();
    EXPECT_EQ(Bytes(offered), sound);
    const std::vector<gui::ShownModal> refusals = Refusals();
    ASSERT_EQ(refusals.size(), 1u) << test_support::ShownTexts();
    EXPECT_NE(refusals[0].text.find(named), std::string::npos) << refusals[0].text;
    if (c.command == command_id::DonneesPlanComptable && std::string(c.field) == "CDEBNM1E")
      test_support::ScreenshotMessage(refusals[0], "app", "chart-export-refused");
    raw.Put(recno, c.field, before);
    Send(list, browse_cmd::Quitter);
  }
}

// Every layout of the program that writes a file. Those of the list windows are run here over a
// dossier damaged in a line of the draft, an account's and a section's figures: the lines', the
// chart's and the sections' exports are refused naming the damage, the code lists (which read no
// amount) write theirs. The others are run over damaged dossiers by their subjects' tests: the
// ledgers' and the trial balances' CSV (tests/reports/balances, window_unreadable_amounts_test.cpp,
// NoCsvExportIsWrittenOverAnAmountThatDoesNotRead), the statutory entries file and the file for
// the other accounting product (core_fec_test.cpp, core_cegid_test.cpp), the transfer files of the
// lines window (tests/entry/transfer_file_test.cpp) and of the payments of suppliers
// (tests/reports/vat_dunning, NoTransferFileCarriesASumThatWasNotRead).
TEST_F(ExportRefusalTest, EveryLayoutThatWritesAFileIsRefusedOverAnAmountItCouldNotRead) {
  const std::set<std::string> elsewhere = {
      "EBA-CSV",  "EBAA-CSV", "EBAB-CSV", "EBAC-CSV", "EBAS-CSV", "EBAS-LIASS", "EBB-CSV", "EBC-CSV",
      "EBS-CSV",  "EBS-FEC",  "EBS-LIASSE", "EBS-XC", "EC-CSV",   "ECA-CSV",  "EG-CSV",  "EGA-CSV",
      "EJ-CSV",   "EJA-CSV",  "ER-CSV",   "EL-1SEPA", "EL-1VIRT", "SS-SEPA",  "SS-VIRT"};
  std::set<std::string> covered = elsewhere;
  for (const ListLayout& l : kListLayouts) covered.insert(l.code);
  EXPECT_EQ(covered, ExportingLayouts()) << "a layout that writes a file is tried nowhere";

  const Line line = BankLine();
  ASSERT_NE(line.recno, 0u);
  test_support::RawRecords(Table("c50")).Put(line.recno, "BMONTANTE", "abc");
  const std::string account = DamageRecord("c20", '6', "CDEBNM1E", "nan");
  const std::string section = DamageRecord("c30", 'A', "ABUDGETE", "-1e300");
  for (const ListLayout& l : kListLayouts) {
    SCOPED_TRACE(l.code);
    gui::ModalSeam::Reset();
    gui::Window* list = nullptr;
    if (l.command == 0) {
      list = LinesWindow(line.journalMonth);
    } else {
      Run(l.command);
      list = Active();
    }
    ASSERT_NE(list, nullptr) << test_support::ShownTexts();
    const std::string offered = Preview(list);
    const std::string code = l.code;
    const std::string named = code == "SS-CSV" ? line.named : code == "DP-CSV" ? account : code == "DS-CSV" ? section : "";
    const std::vector<gui::ShownModal> refusals = Refusals();
    if (named.empty()) {
      EXPECT_FALSE(offered.empty()) << test_support::ShownTexts();
      EXPECT_TRUE(refusals.empty()) << test_support::ShownTexts();
    } else {
      EXPECT_EQ(offered, "");
      ASSERT_EQ(refusals.size(), 1u) << test_support::ShownTexts();
      EXPECT_NE(refusals[0].text.find(named), std::string::npos) << refusals[0].text;
    }
    Send(list, browse_cmd::Quitter);
  }
}

namespace {

// The lines window with the printout of its selected piece (SS-1JOURN) as its only layout.
class PrintoutWarningTest : public ExportRefusalTest {
 protected:
  std::vector<StoredLayout> ReportLayouts() const override {
    return {{"SS-1JOURN", "Pi\xE8" "ce s\xE9lectionn\xE9" "e", "C-Etat-SS-1JOURN.txt"}};
  }

  // The first line with an amount of the first piece of a journal-month of journal BQ in the draft
  // (the row the lines window opens on), as BankLine gives it.
  Line FirstPieceLine() const {
    const test_support::RawRecords raw(Table("c50"));
    std::string month, piece;
    Line line;
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z" || raw.Field(r, "BJAL") != "BQ ") continue;
      if (month.empty()) month = raw.Field(r, "BMOIS");
      if (raw.Field(r, "BMOIS") != month || StoredAmountCents(raw.Field(r, "BMONTANTE")) == 0) continue;
      if (!piece.empty() && raw.Field(r, "BPIECE") >= piece) continue;
      piece = raw.Field(r, "BPIECE");
      line = {month + "BQ ", n,
              "C50 enregistrement " + std::to_string(n) + ", pi\xE8" "ce " + Trimmed(piece) + ", compte " +
                  Trimmed(raw.Field(r, "BCODE"))};
    }
    return line;
  }

  // "Imprimer" of the window into the PDF `name`: the warnings over unread amounts shown, each with
  // the pages the printer had printed when it was shown.
  struct Printed {
    std::string pdf;
    std::vector<gui::ShownModal> warnings;
    std::vector<int> pagesBefore;
  };
  Printed Print(TWSaiBroDetJournaux* w, const std::string& name) {
    Printed out;
    out.pdf = SetUpPdfPrinter("app", name);
    gui::ModalSeam::Reset();
    std::vector<int> pages;
    gui::ModalSeam::BuildMessageBoxes([&pages](QWidget*) { pages.push_back(ProgramPrinter()->PagesPrinted()); });
    QueueChoice(gui::IDOK, 0);
    Send(w, browse_cmd::Imprimer);
    std::size_t box = 0;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown()) {
      if (s.kind != gui::ModalKind::MessageBox) continue;
      if (s.caption == kCaption) {
        out.warnings.push_back(s);
        out.pagesBefore.push_back(box < pages.size() ? pages[box] : -1);
      }
      ++box;
    }
    gui::ModalSeam::Reset();
    return out;
  }
};

}  // namespace

// The piece printed into a PDF over "abc" (or -1757.17 with its francs, an amount no entry makes)
// in a line's euros, where it prints the line blank and the journal's total short of it: the printout is made,
// after one box that names the line as counted as zero, shown before any page went to the printer.
// Over the sound line it prints with no box.
TEST_F(PrintoutWarningTest, TheSelectedPieceIntoAPdfWarnsOnceBeforePrintingOverALineThatDoesNotRead) {
  const Line line = FirstPieceLine();
  ASSERT_NE(line.recno, 0u);
  TWSaiBroDetJournaux* w = LinesWindow(line.journalMonth);
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();

  const Printed sound = Print(w, "piece-sound");
  EXPECT_TRUE(fs::exists(sound.pdf)) << test_support::ShownTexts();
  EXPECT_TRUE(sound.warnings.empty());

  for (const char* damage : {"abc", "-1757.17"}) {
    SCOPED_TRACE(damage);
    test_support::RawRecords(Table("c50")).Put(line.recno, "BMONTANTE", damage);
    if (damage[0] == '-') test_support::RawRecords(Table("c50")).Put(line.recno, "BMONTANTF", "-11526.24");
    const Printed unread = Print(w, std::string("piece-unread") + (damage[0] == '-' ? "-negative" : ""));
    EXPECT_TRUE(fs::exists(unread.pdf)) << "the printout itself is made";
    EXPECT_GT(fs::file_size(unread.pdf), fs::file_size(sound.pdf) / 2) << "whole, its page in it";
    ASSERT_EQ(unread.warnings.size(), 1u);
    EXPECT_NE(unread.warnings[0].text.find(line.named), std::string::npos) << unread.warnings[0].text;
    EXPECT_NE(unread.warnings[0].text.find("compt\xE9" "e pour z\xE9ro"), std::string::npos) << unread.warnings[0].text;
    EXPECT_EQ(unread.pagesBefore, std::vector<int>{0}) << "the warning comes before the first page is printed";
    if (damage[0] == 'a') test_support::ScreenshotMessage(unread.warnings[0], "app", "piece-printout-unread");
  }
}
