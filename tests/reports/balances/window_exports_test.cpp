// The two files a trial balance leaves through its window: the statutory entries file, written
// whole under its legal name with no cut-down copy of the layout beside it, while another station
// appends entry lines; and the CSV export of the general balance, against a computation of its
// own over the tables read by dbfread.
#include "balance_window_fixture.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "reports/balances/core/fec_export.h"
#include "reports/balances/core/trial_balance_options.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/visu_window.h"
#include "support/books_writes.h"
#include "support/calc.h"
#include "support/other_process.h"
#include "support/python.h"

namespace balances_window_test {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> out;
  std::string cell;
  std::istringstream in(text);
  while (std::getline(in, cell, separator)) out.push_back(cell);
  if (!text.empty() && text.back() == separator) out.emplace_back();
  return out;
}

// The boxes that offered an export file at the end of a run.
std::vector<std::string> Offers() {
  std::vector<std::string> texts;
  for (const auto& shown : gui::ModalSeam::Shown())
    if (shown.caption == "Fichier d'exportation") texts.push_back(shown.text);
  return texts;
}

// The other station: 'a' appends a balanced piece "999999" of two closed lines (an account debited
// and credited 12.34) with their sort records, as a validation does.
bool AppendClosedPiece(const std::string& c40Path, const std::string& c60Path, const std::string& account) {
  const test_support::SetUpPermit permit("piece d un autre poste");
  using LE = LigneEcriture;
  Table c40, c60;
  if (!c40.OpenShared(c40Path) || !c60.OpenShared(c60Path, "C60CODE")) return false;
  for (const char* sense : {"D", "C"}) {
    if (!c40.AppendBlank()) return false;
    c40.PutField(LE::DCLE, "Z");
    c40.PutField(LE::DMOIS, "C507");
    c40.PutField(LE::DJOUR, "15");
    c40.PutField(LE::DJAL, "OD");
    c40.PutField(LE::DPIECE, "999999");
    c40.PutField(LE::DCODE, account.c_str());
    c40.PutField(LE::DLIB, "Autre poste");
    c40.PutField(LE::DSENS, sense);
    c40.PutField(LE::DNUM, sense[0] == 'D' ? "0001" : "0002");
    c40.PutField(LE::DVALID, "C50801");
    c40.PutFieldNum(LE::DMONTANTE, 12.34);
    c40.PutFieldNum(LE::DMONTANTF, 80.94);
    if (!c40.InsertRecord() || !AppendLigneTri(c40, LigneTri::kClosed, c60)) return false;
  }
  return true;
}

}  // namespace

TEST_F(BalanceWindowTest, TheStatutoryRunLeavesTheLegalFileAloneWhileAnotherStationAppendsLines) {
  const std::string c40 = folder_ + "c40bw.dbf", c60 = folder_ + "c60bw.dbf";
  std::string account;
  {
    Table chart;
    ASSERT_TRUE(chart.OpenShared(folder_ + "c20bw.dbf", "", true));
    ASSERT_TRUE(chart.GoTop(""));
    account = chart.GetField(1);
  }
  // The other station is forked holding none of this station's tables.
  CloseAllTables();
  test_support::OtherProcess station([=](char) { return AppendClosedPiece(c40, c60, account); });
  OpenPair();
  form_->SelectKind('G');
  const std::string siren = TheDossierRecord.Get(DossierRecord::kSirenPos, DossierRecord::kSirenWidth);
  const std::string path =
      folder_ + balances::FecExport::FileName(siren, TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd));
  auto runFec = [&] {
    gui::ModalSeam::Reset();
    QueueChoice(gui::IDOK, kFec);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);  // the draft months are listed
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);   // the file's path
    Send(form_, 20035);
  };
  runFec();
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  const std::string legal = ReadFile(path);
  ASSERT_EQ(legal.rfind("JournalCode\t", 0), 0u);
  // The preview is open: the other station appends its piece, C60 stays shared.
  ASSERT_TRUE(station.Do('a'));
  CurrentPreviewWindow->CmAllPages();
  gui::ProcessPendingMessages();
  ASSERT_NE(CurrentPreviewWindow, nullptr);
  EXPECT_TRUE(CurrentPreviewWindow->Context().endOfData);
  // The preview shows the rows of the file as written, the appended piece in neither.
  const std::vector<std::string> rows = Split(legal, '\n');
  ASSERT_GE(rows.size(), 3u);
  const std::vector<std::string> lastRow = Split(rows[rows.size() - 2], '\t');
  ASSERT_EQ(lastRow.size(), 18u);
  std::string shown;
  for (int page = 1; page <= CurrentPreviewWindow->Context().store.PageCount(); ++page)
    shown += PageText(CurrentPreviewWindow, page) + "\n";
  EXPECT_NE(shown.find(lastRow[8]), std::string::npos) << lastRow[8];
  EXPECT_NE(shown.find(lastRow[2]), std::string::npos) << "the last EcritureNum";
  EXPECT_EQ(shown.find("999999"), std::string::npos);
  EXPECT_EQ(legal.find("999999"), std::string::npos);
  CurrentPreviewWindow->CmQuitVisu();
  gui::ProcessPendingMessages();
  // No cut-down copy of the layout's export is written or offered; the legal file is as written.
  EXPECT_TRUE(Offers().empty()) << Offers().front();
  EXPECT_EQ(reports::ExportFile().GetState(), reports::ReportExportFile::State::kNone);
  EXPECT_EQ(ReadFile(path), legal);
  // Nothing of the other station is lost: the next file holds its two lines.
  runFec();
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  const std::string again = ReadFile(path);
  EXPECT_EQ(Split(again, '\n').size(), rows.size() + 2);
  std::size_t found = 0;
  for (std::size_t at = again.find("999999"); at != std::string::npos; at = again.find("999999", at + 1)) ++found;
  EXPECT_GE(found, 2u);
  CurrentPreviewWindow->CmQuitVisu();
  gui::ProcessPendingMessages();
  EXPECT_TRUE(Offers().empty());
}

// The CSV export of the general balance of the year, made through the window, carries for each
// account the figures an independent computation over the tables read by dbfread gives.
TEST_F(BalanceWindowTest, TheCsvOfTheGeneralBalanceIsTheIndependentComputation) {
  using DF = DossierRecord::DateField;
  OpenPair();
  form_->SelectKind('G');
  const std::string exported = ExportThroughPreview(form_, kCsv, ".csv");
  ASSERT_EQ(Offers().size(), 1u) << test_support::ShownTexts();
  ASSERT_FALSE(exported.empty()) << Offers()[0];
  // The cells are read without their quotes: every text is quoted, no cell holds a ";".
  std::string text = ReadFile(exported);
  text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
  const std::vector<std::string> csv = Split(text, '\n');
  ASSERT_GT(csv.size(), 2u);
  const std::vector<std::string> names = Split(csv[0].substr(0, csv[0].find_last_not_of('\r') + 1), ';');
  std::map<std::string, std::size_t> column;
  for (std::size_t i = 0; i < names.size(); ++i) column[names[i]] = i;
  for (const char* name : {"COMPTE", "DEBIT", "CREDIT", "CA_DEBIT", "CA_CREDIT", "SOLDENM1MT", "SOLDENM1DC", "SOLDE01",
                           "SOLDEP90J", "SOLDEMT", "SOLDEDC", "CA_SOLDEMT", "CA_SOLDEDC", "AE_SOLDEMT", "AE_SOLDEDC"})
    ASSERT_EQ(column.count(name), 1u) << name << " in " << csv[0];

  // The computation over the tables, for the options the form gave.
  const balances::TrialBalanceOptions& options = window_->Report().Options();
  const balances::PeriodFrame frame = balances::MakePeriodFrame(options, TheDossierRecord.DateStored(DF::YearStart),
                                                                TheDossierRecord.DateStored(DF::YearEnd));
  const std::string args = folder_ + " 1 " + options.PeriodStart() + " " + options.PeriodEnd() + " " +
                           (options.PriorTotals() ? "O" : "N") + " " + options.Lettering() + " " +
                           std::to_string(options.Currency()) + " N " + frame.limit30 + " " + frame.limit60 + " " +
                           frame.limit90 + " bw";
  const std::string script = "import sys\nsys.argv = ['x'] + '" + args + "'.split()\n" +
                             "exec(open('" MERLON_SOURCE_DIR "/tests/reports/balances/gathering_oracle.py').read())\n";
  std::map<std::string, std::vector<long long>> theirs;
  for (const std::string& line : Split(test_support::RunPythonScript(script, true), '\n')) {
    std::istringstream in(line);
    std::string code;
    in >> code;
    std::vector<long long> v;
    for (long long x; in >> x;) v.push_back(x);
    if (!code.empty()) theirs[code.substr(0, code.find_last_not_of('_') + 1)] = v;
  }
  ASSERT_GT(theirs.size(), 5u);

  // A CSV amount ("1234,50", "-3,00", blank) in cents; a balance's text ("16 499.41 Cr") is no amount.
  auto cents = [](const std::string& text) {
    long long units = 0;
    bool negative = false;
    int decimals = -1;
    for (char c : text) {
      if (c == '-') negative = true;
      if (c == ',') decimals = 0;
      if (c >= '0' && c <= '9') {
        units = units * 10 + (c - '0');
        if (decimals >= 0) ++decimals;
      }
    }
    EXPECT_TRUE(text.empty() || (decimals == 2 && text.find_first_of(" .DbCr") == std::string::npos))
        << "'" << text << "' is no plain amount";
    for (; decimals < 2; ++decimals) units *= 10;
    return negative ? -units : units;
  };
  std::size_t compared = 0;
  for (std::size_t i = 1; i < csv.size(); ++i) {
    const std::string row = csv[i].substr(0, csv[i].find_last_not_of('\r') + 1);
    if (row.empty()) continue;
    const std::vector<std::string> cells = Split(row, ';');
    ASSERT_EQ(cells.size(), names.size()) << row;
    std::string code = cells[column["COMPTE"]];
    code = code.substr(0, code.find_last_not_of(' ') + 1);
    const auto it = theirs.find(code);
    ASSERT_NE(it, theirs.end()) << code << " is printed and not computed";
    const std::vector<long long>& v = it->second;  // debit credit cad cac aed aec m1..m12 a1..a4 prev
    auto cell = [&](const char* name) { return cents(cells[column[name]]); };
    // A balance as a number and its side: "Db" positive, "Cr" negative, blank when zero.
    auto balance = [&](const std::string& name) {
      const long long amount = cell((name + "MT").c_str());
      const std::string side = cells[column[name + "DC"]];
      EXPECT_TRUE(amount >= 0 && side == (amount == 0 ? "" : side == "Cr" ? "Cr" : "Db")) << name << " " << side;
      return side == "Cr" ? -amount : amount;
    };
    SCOPED_TRACE(code);
    EXPECT_EQ(cell("DEBIT"), v[0]);
    EXPECT_EQ(cell("CREDIT"), v[1]);
    EXPECT_EQ(cell("CA_DEBIT"), v[2]);
    EXPECT_EQ(cell("CA_CREDIT"), v[3]);
    EXPECT_EQ(cell("SOLDE01"), v[6]);
    EXPECT_EQ(balance("SOLDENM1"), v[22]);
    EXPECT_EQ(balance("CA_SOLDE"), v[2] - v[3]);
    EXPECT_EQ(balance("AE_SOLDE"), v[4] - v[5]);
    EXPECT_EQ(balance("SOLDE"), v[0] + v[2] + v[4] - v[1] - v[3] - v[5]);
    ++compared;
  }
  EXPECT_EQ(compared, theirs.size()) << "every computed account is printed";

  // In a spreadsheet every code comes back as written, every amount column as numbers, the
  // balances' included.
  const std::string calc = test_support::CsvThroughCalc(exported, folder_ + "calc",
                                                        test_support::NumericVariables("balances.txt"));
  EXPECT_NE(calc.find("CELLS "), std::string::npos) << calc;
  EXPECT_EQ(calc.find("CHANGED"), std::string::npos) << calc;
  EXPECT_EQ(calc.find("TEXT"), std::string::npos) << calc;
}


// "Toutes" with the CSV layout: each list of the run (general, result, customers, suppliers,
// analytic) is exported in turn to a file of its own, which the box names, as "Autre Liste"
// steps through them in a preview; the form comes back after the last.
TEST_F(BalanceWindowTest, EveryListOfToutesIsExportedToAFileOfItsOwn) {
  OpenPair();
  form_->SelectKind('T');
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK, kCsv);
  Send(form_, 20035);
  // A preview that has written its export whole closes itself; the others are closed here.
  for (int guard = 0; CurrentPreviewWindow != nullptr && guard < 10; ++guard) {
    CurrentPreviewWindow->CmAllPages();
    gui::ProcessPendingMessages();
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
    gui::ProcessPendingMessages();
  }
  const std::string sequence = "12CF9";
  EXPECT_EQ(Offers().size(), sequence.size()) << test_support::ShownTexts();
  std::set<std::string> files;
  for (const std::string& offer : Offers())
    for (const std::string& line : Split(offer, '\n'))
      if (line.find(".csv") != std::string::npos) files.insert(line);
  ASSERT_EQ(files.size(), sequence.size()) << test_support::ShownTexts();
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    const std::vector<std::string> rows = Split(ReadFile(name), '\n');
    EXPECT_GT(rows.size(), 2u);
    EXPECT_EQ(rows[0].rfind("\"COMPTE\";\"NOMCOMPTE\";", 0), 0u) << rows[0];
  }
  for (const char* part : {"-generale.csv", "-resultat.csv", "-analytique.csv"}) {
    bool found = false;
    for (const std::string& name : files) found = found || name.find(part) != std::string::npos;
    EXPECT_TRUE(found) << part;
  }
  EXPECT_EQ(Active(), form_);
}

}  // namespace balances_window_test
