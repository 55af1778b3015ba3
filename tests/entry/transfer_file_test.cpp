// The credit-transfer file of a treasury journal, run through the lines window's report hooks as
// the template interpreter calls them: valid against the pain.001.001.02 schema, its counts and
// sums, its IBANs, ASCII and CR LF, golden files for the edge cases, and the refusals that leave
// no file and no temporary file.
#include <stdlib.h>

#include <fstream>
#include <set>

#include "data/session.h"
#include "framework/browse_services.h"
#include "output_fixture.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "runtime/pain001_writer.h"
#include "support/line_files.h"

namespace entry_test {
namespace {

const std::string kSchema = std::string(MERLON_SOURCE_DIR) + "/tests/entry/data/pain.001.001.02.xsd";
const std::string kGolden = std::string(MERLON_SOURCE_DIR) + "/tests/entry/data/";

class TransferFileTest : public OutputTest {
 protected:
  void SetUp() override {
    OutputTest::SetUp();
    // The run's temporary file goes to a folder of the test, which the checks look into.
    tmp_ = root_ + "/tmp";
    fs::create_directories(tmp_);
    const char* before = ::getenv("TMPDIR");
    hadTmp_ = before != nullptr;
    if (hadTmp_) oldTmp_ = before;
    ::setenv("TMPDIR", tmp_.c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_) ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    else ::unsetenv("TMPDIR");
    OutputTest::TearDown();
  }

  std::string File() const { return folder_ + "cxpje.xml"; }
  bool NoTemporaryFile() const { return platform::ListFiles(tmp_).empty(); }

  static std::string Run(const std::vector<std::string>& argv, int* status) {
    platform::LaunchOptions o;
    o.wait = true;
    o.captureOutput = true;
    const platform::LaunchResult r = platform::LaunchProcess(argv, o);
    *status = r.exitStatus;
    return r.output;
  }
  static std::string XPath(const std::string& file, const std::string& expression) {
    int status = -1;
    const std::string out = Run({"xmllint", "--xpath", expression, file}, &status);
    EXPECT_EQ(status, 0) << expression << "\n" << out;
    return out;
  }
  static std::string Normalised(std::string file) {
    for (const char* tag : {"MsgId", "CreDtTm"}) {
      const std::string open = std::string("<") + tag + ">", close = std::string("</") + tag + ">";
      const std::size_t a = file.find(open), b = file.find(close);
      if (a != std::string::npos && b != std::string::npos) file.replace(a + open.size(), b - a - open.size(), "*");
    }
    return file;
  }

  // The supplier accounts of the seeded cases and the bank account.
  void Creditors() {
    Account("401SCIER", "Scierie de l'\xC9tang & Cie <Nord>", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX",
            "Conditions: 30 jours\r\nRef/Vrt=CLI-2026-0042\r\nContact: M. Roux\r\n");
    Account("FDUPO001", "Dupont \xE0 Orl\xE9" "ans", IbanOf("FR", "20041010050500013M02606"), "PSSTFRPPTOU");
  }

  // Journal-month C606CAI: a transfer to each creditor, paid from the bank in one piece.
  void TwoTransfersMonth() {
    SeedMonth("C606CAI", {{"000001", "10", "FDUPO001", 'V', "Un", 'D', 10.00},
                          {"000001", "10", "401SCIER", 'V', "Deux", 'D', 20.00},
                          {"000001", "10", "53000000", 'V', "Banque", 'C', 30.00}});
  }

  std::string tmp_, oldTmp_;
  bool hadTmp_ = false;
};

// The journal-month of the demo's bank journal with the most payments by transfer.
std::string BusiestTransferMonth(const std::string& folder) {
  Table c50;
  std::map<std::string, int> count;
  EXPECT_TRUE(c50.OpenShared(folder + "c50je", L::kCodeTag, true));
  for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
    if (!c50.IsDeleted() && std::string(c50.GetField(L::BJAL)) == "BQ " && c50.GetField(L::BCLIB)[0] == 'V' &&
        c50.GetField(L::BSENS)[0] == 'D')
      ++count[std::string(c50.GetField(L::BMOIS)) + "BQ "];
  std::string best;
  for (const auto& [month, n] : count)
    if (best.empty() || n > count[best]) best = month;
  return best;
}

TEST_F(TransferFileTest, TheBankJournalsTransfersMakeAFileTheSchemaAccepts) {
  Open();
  const std::string month = BusiestTransferMonth(folder_);
  ASSERT_FALSE(month.empty()) << "the demo dossier has no payment by transfer";
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  const test_support::ReportHookRun run = Print(w, "SBQ01V");
  ASSERT_TRUE(run.prepared) << test_support::ShownTexts();
  ASSERT_TRUE(fs::exists(File())) << test_support::ShownTexts();
  EXPECT_TRUE(NoTemporaryFile());
  fs::copy_file(File(), test_support::ArtefactPath("", "pain001-journal.xml"), fs::copy_options::overwrite_existing);

  int status = -1;
  const std::string valid = Run({"xmllint", "--noout", "--schema", kSchema, File()}, &status);
  EXPECT_EQ(status, 0) << valid;
  // The counts of the header are those of the blocks, and the blocks are the lines selected.
  const std::string blocks = XPath(File(), "count(//*[local-name()='CdtTrfTxInf'])");
  EXPECT_EQ(XPath(File(), "string(//*[local-name()='NbOfTxs'])"), blocks);
  EXPECT_EQ(std::stol(blocks), static_cast<long>(run.lines.size()));
  const double sum = std::stod(XPath(File(), "sum(//*[local-name()='InstdAmt'])"));
  const double control = std::stod(XPath(File(), "string(//*[local-name()='CtrlSum'])"));
  EXPECT_NEAR(sum, control, 0.001);
  double debits = 0;
  for (const std::string& d : test_support::Column(run, "DEBITE")) debits += Val(d.c_str());
  EXPECT_NEAR(control, debits, 0.001);

  // Every IBAN passes python3-stdnum, the file is ASCII, and every line ends with CR LF.
  const std::string out = test_support::RunPythonScript(
      "import re, stdnum.iban\ndata = open('" + File() + "', 'rb').read()\n"
      "ibans = re.findall(rb'<IBAN>([^<]*)</IBAN>', data)\n"
      "bad = [i for i in ibans if not stdnum.iban.is_valid(i.decode('ascii'))]\n"
      "print(len(ibans), bad, all(b < 0x80 for b in data), data.count(b'\\n') == data.count(b'\\r\\n'),"
      " data.endswith(b'\\r\\n'))\n",
      true, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, std::to_string(std::stol(blocks) + 1) + " [] True True True\n");
  int grep = -1;
  Run({"/bin/sh", "-c", "LC_ALL=C grep -P '[^\\x00-\\x7F]' \"$0\"", File()}, &grep);
  EXPECT_EQ(grep, 1) << "grep found a byte outside ASCII";
}

// The golden file of the Part's edge cases: amounts of 1234.50 and 15.00, the first block's
// "Virement:000-", the creditor "Scierie de l'Étang & Cie <Nord>" filtered, the remittance text with
// the memo's reference and the label before its backslash; a credit line, a line of another label
// and a cancelled line make no block.
TEST_F(TransferFileTest, TheEdgeCasesAgainstTheirGoldenFile) {
  Open();
  Creditors();
  WorkingDate("15/03/26");
  SeedMonth("C603CAI", {
                           {"000001", "05", "401SCIER", 'V', "Facture 12\\mars", 'D', 1234.50},
                           {"000001", "05", "53000000", 'V', "Facture 12", 'C', 1234.50},
                           {"000002", "31", "FDUPO001", 'V', "Avoir \\1", 'D', 15.00},
                           {"000002", "31", "FDUPO001", '4', "Cheque", 'D', 99.00},
                           {"000002", "31", "FDUPO001", 'V', "Annule", 'D', 7.00, true},
                           {"000002", "31", "53000000", 'V', "Banque", 'C', 114.00},
                       });
  TWSaiBroDetJournaux* w = Saisir("C603CAI");
  ASSERT_NE(w, nullptr);
  const test_support::ReportHookRun run = Print(w, "SBQ01V");
  ASSERT_TRUE(run.prepared) << test_support::ShownTexts();
  EXPECT_EQ(test_support::Column(run, "COMPTE"), (std::vector<std::string>{"401SCIER", "FDUPO001"}));
  ASSERT_TRUE(fs::exists(File()));
  const std::string actual = Normalised(Bytes("cxpje.xml"));
  std::ofstream(test_support::ArtefactPath("entry", "pain001-edges.actual"), std::ios::binary) << actual;
  EXPECT_EQ(actual, test_support::DossierFixture::ReadAll(kGolden + "pain001-edges.golden"));
  int status = -1;
  EXPECT_EQ(Run({"xmllint", "--noout", "--schema", kSchema, File()}, &status), File() + " validates\n");
}

// The 1,001st block numbers on: "Virement:1000-", never "000" again.
TEST_F(TransferFileTest, BlocksAreNumberedWithoutWrapping) {
  Open();
  Creditors();
  WorkingDate("15/03/26");
  std::vector<Seed> lines;
  for (int i = 0; i < 1001; ++i)
    lines.push_back({"000100", StrZero(1 + i % 28, 2), i % 2 ? "FDUPO001" : "401SCIER", 'V', "Reglement " + std::to_string(i),
                     'D', 10.00 + i});
  lines.push_back({"000100", "28", "53000000", 'V', "Banque", 'C', 1001 * 10.00 + 1000 * 1001 / 2.0});
  SeedMonth("C602CAI", lines);
  TWSaiBroDetJournaux* w = Saisir("C602CAI");
  ASSERT_NE(w, nullptr);
  const test_support::ReportHookRun run = Print(w, "SBQ01V");
  ASSERT_TRUE(run.prepared) << test_support::ShownTexts();
  ASSERT_EQ(run.lines.size(), 1001u);
  const std::string file = Bytes("cxpje.xml");
  EXPECT_EQ(file.find("<InstrId>Virement:000-"), file.find("<InstrId>"));
  EXPECT_EQ(file.find("<InstrId>Virement:000-", file.find("<InstrId>") + 1), std::string::npos) << "000 came again";
  // The 1,000th and the 1,001st blocks against their golden text.
  const std::size_t from = file.find("<CdtTrfTxInf>\r\n<PmtId>\r\n<InstrId>Virement:999-");
  ASSERT_NE(from, std::string::npos);
  const std::string tail = file.substr(from, file.find("</PmtInf>") - from);
  std::ofstream(test_support::ArtefactPath("entry", "pain001-blocks-1000.actual"), std::ios::binary) << tail;
  EXPECT_EQ(tail, test_support::DossierFixture::ReadAll(kGolden + "pain001-blocks-1000.golden"));
  EXPECT_NE(file.find("<NbOfTxs>1001</NbOfTxs>"), std::string::npos);
  EXPECT_NE(file.find("<CtrlSum>510510.00</CtrlSum>"), std::string::npos);
  int status = -1;
  Run({"xmllint", "--noout", "--schema", kSchema, File()}, &status);
  EXPECT_EQ(status, 0);
}

// What stops the run, each with its message; none leaves a transfer file or a temporary file.
TEST_F(TransferFileTest, RefusalsLeaveNoFile) {
  Open();
  Creditors();
  Account("FNOIBAN1", "Sans IBAN", "", "BNPAFRPPXXX");
  Account("FBADBIC1", "BIC faux", IbanOf("FR", "30004008250000000006497"), "BNPA FRPP");
  Account("FBADIBAN", "IBAN faux", "FR7630004008250000000006498", "BNPAFRPPXXX");
  SeedMonth("C604CAI", {{"000001", "10", "FDUPO001", 'V', "Bon", 'D', 10.00},
                        {"000001", "10", "53000000", 'V', "Banque", 'C', 10.00}});
  SeedMonth("C605CAI", {{"000001", "10", "FNOIBAN1", 'V', "Sans IBAN", 'D', 10.00},
                        {"000001", "10", "FBADBIC1", 'V', "BIC", 'D', 10.00},
                        {"000001", "10", "FBADIBAN", 'V', "IBAN", 'D', 10.00},
                        {"000001", "10", "FABSENT1", 'V', "Compte absent", 'D', 10.00},
                        {"000001", "10", "53000000", 'V', "Banque", 'C', 40.00}});
  // A transfer whose euro amount holds "12,34" (read by the lenient reading as 12.00).
  SeedMonth("C606CAI", {{"000001", "10", "FDUPO001", 'V', "Bon", 'D', 10.00},
                        {"000001", "10", "53000000", 'V', "Banque", 'C', 10.00}});
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (raw.Field(r, "BMOIS") == "C606" && raw.Field(r, "BCODE") == "FDUPO001") raw.Put(n, "BMONTANTE", "12,34");
    }
  }
  struct Case {
    const char* month;
    const char* typeListe;
    std::vector<std::string> said;  // in the message shown
    bool prepared = false;          // refused only once its lines are read
  } cases[] = {
      {"C605CAI", "SBQ01V", {"au moins un IBAN ou BIC est incomplet", "FNOIBAN1", "FBADBIC1", "FBADIBAN", "FABSENT1",
                             "n'a pas \xE9t\xE9 \xE9" "crit"}},
      {"C606CAI", "SBQ01V", {"le montant d'au moins une ligne ne se lit pas comme un nombre", "FDUPO001",
                             "n'a pas \xE9t\xE9 \xE9" "crit"},
       true},
      {"C604CAI", "SZZ99V", {"Code Banque Em\xE9ttrice inconnu", "[TypeListe=VBQ01V]", "ZZ99"}},
      {"C604CAI", "SBQ01Z", {"Le Code Libell\xE9 est inconnu", "[TypeListe=VBQ01V]"}},
      {"C604CAI", "SBQ01 ", {"Le Code Libell\xE9 est inconnu"}},
      {"C604CAI", "SBQ015", {"Fichier des Virements pour la Banque: CAI"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.month) + " " + c.typeListe);
    TWSaiBroDetJournaux* w = Saisir(c.month);
    ASSERT_NE(w, nullptr);
    gui::ModalSeam::Reset();
    const test_support::ReportHookRun run = Print(w, c.typeListe);
    EXPECT_EQ(run.prepared, c.prepared);
    for (const std::string& s : c.said) EXPECT_NE(test_support::ShownTexts().find(s), std::string::npos) << s;
    EXPECT_FALSE(fs::exists(File()));
    EXPECT_TRUE(NoTemporaryFile());
  }
  // Another journal than a treasury one.
  const std::string sales = JournalMonths()[0].first;
  TWSaiBroDetJournaux* w = Saisir(sales);
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  if (w->Journal().type() != 'T') {
    EXPECT_FALSE(Print(w, "SBQ01V").prepared);
    EXPECT_NE(test_support::ShownTexts().find("n'est pas du type 'Tr\xE9sorerie'"), std::string::npos);
  }
  // The issuing bank without a right IBAN.
  ASSERT_TRUE(posting::FindC10(*TableC10, 'Q', "BQ02").IsFound());
  ASSERT_TRUE(LockRecord(*TableC10, nullptr, 0));
  ASSERT_TRUE(TableC10->PutFieldPart(5, 1, 34, "FR7620041010050500013M02607        "));
  UnlockRecord(*TableC10);
  w = Saisir("C604CAI");
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  EXPECT_FALSE(Print(w, "SBQ02V").prepared);
  EXPECT_NE(test_support::ShownTexts().find("IBAN ou BIC sont sans doute incomplets pour la Banque Em\xE9ttrice: BQ02"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(File()));
  EXPECT_TRUE(NoTemporaryFile());
  // The good month writes its file; a second run writes it again with another message id.
  gui::ModalSeam::Reset();
  ASSERT_TRUE(Print(w, "SBQ01V").prepared) << test_support::ShownTexts();
  ASSERT_TRUE(fs::exists(File()));
  const std::string first = Bytes("cxpje.xml");
  ASSERT_TRUE(Print(w, "SBQ01V").prepared);
  const std::string second = Bytes("cxpje.xml");
  EXPECT_NE(first.substr(first.find("<MsgId>"), 40), second.substr(second.find("<MsgId>"), 40));
  EXPECT_EQ(Normalised(first), Normalised(second));
  EXPECT_TRUE(NoTemporaryFile());
}

// The records of kind "V" of a month whose transfer amount does not read ("-1e300", read elsewhere
// as -1,300.00): the run ends naming the account and saying no file was written, gives its export
// file up, and leaves no record for the layout's closing lines. The same month without the damage
// makes its records.
TEST_F(TransferFileTest, RecordsWithAnAmountThatDoesNotReadAreGivenUp) {
  Open();
  Creditors();
  TwoTransfersMonth();
  const BrowseServices saved = BrowseHooks();
  int abandoned = 0;
  BrowseHooks().abandonExport = [&abandoned] { ++abandoned; };
  TWSaiBroDetJournaux* w = Saisir("C606CAI");
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  test_support::ReportHookRun run = Print(w, "VBQ01V");
  ASSERT_TRUE(run.prepared) << test_support::ShownTexts();
  EXPECT_EQ(abandoned, 0);
  EXPECT_FALSE(test_support::Column(run, "VRTS_06_01").empty());

  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (raw.Field(r, "BMOIS") == "C606" && raw.Field(r, "BCODE") == "401SCIER") raw.Put(n, "BMONTANTE", "-1e300");
    }
  }
  gui::ModalSeam::Reset();
  run = Print(w, "VBQ01V");
  BrowseHooks() = saved;
  ASSERT_TRUE(run.prepared);
  EXPECT_EQ(abandoned, 1);
  const std::string shown = test_support::ShownTexts();
  for (const char* said : {"le montant d'au moins une ligne ne se lit pas comme un nombre", "401SCIER",
                           "Le fichier des virements n'a pas \xE9t\xE9 \xE9" "crit"})
    EXPECT_NE(shown.find(said), std::string::npos) << said << "\n" << shown;
  EXPECT_EQ(shown.find("FDUPO001"), std::string::npos) << shown;
  for (const char* v : {"VRTS_06_01", "VRTS_08_01"})
    EXPECT_TRUE(IsBlank(w->ReportFields().Value(w->ReportFields().FindField(v)))) << v;
}

// A transfer line whose euro amount no entry makes, as a restored backup installs it: below zero
// with its francs (the file would pay -1757.17 and net its control sum by it), of 14 digits (past
// what a line's field holds as an amount), or a cent past the widest euros a line takes (its francs
// would not fit their field). Neither the SEPA file (kind "S") nor the records (kind "V") are written: one message names
// the account and says why and that no file was written, and the layout's export is given up so
// that nothing is announced ready. The same month, sound, writes a file the schema accepts.
TEST_F(TransferFileTest, TransfersOverALineAmountNoEntryMakesWriteNoFile) {
  Open();
  Creditors();
  TwoTransfersMonth();
  TWSaiBroDetJournaux* w = Saisir("C606CAI");
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  ASSERT_TRUE(Print(w, "SBQ01V").prepared) << test_support::ShownTexts();
  ASSERT_TRUE(fs::exists(File())) << test_support::ShownTexts();
  int status = -1;
  const std::string valid = Run({"xmllint", "--noout", "--schema", kSchema, File()}, &status);
  EXPECT_EQ(status, 0) << valid;
  fs::remove(File());

  std::uint32_t line = 0;
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && line == 0; ++n) {
      const std::string r = raw.Record(n);
      if (raw.Field(r, "BMOIS") == "C606" && raw.Field(r, "BCODE") == "401SCIER") line = n;
    }
  }
  ASSERT_NE(line, 0u);
  const BrowseServices saved = BrowseHooks();
  int abandoned = 0;
  BrowseHooks().abandonExport = [&abandoned] { ++abandoned; };
  const std::pair<const char*, const char*> amounts[] = {{"      -1757.17", "     -11526.24"},
                                                         {"99999999999999", "        131.19"},
                                                         {"15244901723.75", "99999999999.99"}};
  for (const auto& [amount, francs] : amounts)
    for (const char* typeListe : {"SBQ01V", "VBQ01V"}) {
      SCOPED_TRACE(std::string(amount) + " " + typeListe);
      test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(line, "BMONTANTE", amount);
      test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(line, "BMONTANTF", francs);
      abandoned = 0;
      gui::ModalSeam::Reset();
      const test_support::ReportHookRun run = Print(w, typeListe);
      ASSERT_TRUE(run.prepared) << test_support::ShownTexts();
      EXPECT_FALSE(fs::exists(File()));
      EXPECT_TRUE(NoTemporaryFile());
      EXPECT_EQ(abandoned, 1);
      ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
      const std::string said = gui::ModalSeam::Shown()[0].text;
      for (const char* s : {"n'est pas un montant qu'une saisie fait (en dessous de z\xE9ro, ou au-del\xE0 de "
                            "15 244 901 723,74 \x80 (99 999 999 999,99 F), le plus grand que tienne une ligne)",
                            "401SCIER", "Le fichier des virements n'a pas \xE9t\xE9 \xE9" "crit"})
        EXPECT_NE(said.find(s), std::string::npos) << s << "\n" << said;
      EXPECT_EQ(said.find("FDUPO001"), std::string::npos) << said;
      if (typeListe[0] == 'V')
        for (const char* v : {"VRTS_06_01", "VRTS_08_01"})
          EXPECT_TRUE(IsBlank(w->ReportFields().Value(w->ReportFields().FindField(v)))) << v;
    }
  BrowseHooks() = saved;
}

// A transfer line whose euros read but are no sum to pay: below zero with its francs above (as the
// opening balances write a line), or zero. Neither the SEPA file (which would pay -1757.17, or
// 0.00, and net its control sum) nor the records of kind "V" are written: one message names the
// account, says the amount is zero or below and that no file was written, and the export is given
// up. The month, sound again, still writes a file the schema accepts.
TEST_F(TransferFileTest, TransfersOfALineAtOrBelowZeroWriteNoFile) {
  Open();
  Creditors();
  TwoTransfersMonth();
  TWSaiBroDetJournaux* w = Saisir("C606CAI");
  ASSERT_NE(w, nullptr);
  std::uint32_t line = 0;
  std::string euros, francs;
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && line == 0; ++n) {
      const std::string r = raw.Record(n);
      if (raw.Field(r, "BMOIS") == "C606" && raw.Field(r, "BCODE") == "401SCIER") {
        line = n;
        euros = raw.Field(r, "BMONTANTE");
        francs = raw.Field(r, "BMONTANTF");
      }
    }
  }
  ASSERT_NE(line, 0u);
  const BrowseServices saved = BrowseHooks();
  int abandoned = 0;
  BrowseHooks().abandonExport = [&abandoned] { ++abandoned; };
  auto put = [&](const std::string& e, const std::string& f) {
    test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(line, "BMONTANTE", e);
    test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(line, "BMONTANTF", f);
  };
  const std::pair<const char*, const char*> amounts[] = {{"      -1757.17", "      11526.24"},
                                                         {"          0.00", "          0.00"}};
  for (const auto& [amount, twin] : amounts)
    for (const char* typeListe : {"SBQ01V", "VBQ01V"}) {
      SCOPED_TRACE(std::string(amount) + " " + typeListe);
      put(amount, twin);
      abandoned = 0;
      gui::ModalSeam::Reset();
      const test_support::ReportHookRun run = Print(w, typeListe);
      ASSERT_TRUE(run.prepared) << test_support::ShownTexts();
      EXPECT_FALSE(fs::exists(File()));
      EXPECT_TRUE(NoTemporaryFile());
      EXPECT_EQ(abandoned, 1);
      ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
      const std::string said = gui::ModalSeam::Shown()[0].text;
      for (const char* s : {"le montant d'au moins une ligne \xE0 virer est nul ou en dessous de z\xE9ro", "401SCIER",
                            "Le fichier des virements n'a pas \xE9t\xE9 \xE9" "crit"})
        EXPECT_NE(said.find(s), std::string::npos) << s << "\n" << said;
      for (const char* s : {"FDUPO001", "trop grand", "ne se lit pas"}) EXPECT_EQ(said.find(s), std::string::npos) << s;
      if (typeListe[0] == 'V')
        for (const char* v : {"VRTS_06_01", "VRTS_08_01"})
          EXPECT_TRUE(IsBlank(w->ReportFields().Value(w->ReportFields().FindField(v)))) << v;
    }
  BrowseHooks() = saved;
  put(euros, francs);
  gui::ModalSeam::Reset();
  ASSERT_TRUE(Print(w, "SBQ01V").prepared) << test_support::ShownTexts();
  ASSERT_TRUE(fs::exists(File())) << test_support::ShownTexts();
  int status = -1;
  const std::string valid = Run({"xmllint", "--noout", "--schema", kSchema, File()}, &status);
  EXPECT_EQ(status, 0) << valid;
  EXPECT_EQ(XPath(File(), "string(//*[local-name()='CtrlSum'])"), "30.00\n");
}

// The issuing bank without its holder's name refuses the run; a file that cannot take its name
// (a folder stands there) is said at the end, logged, and leaves no temporary file.
TEST_F(TransferFileTest, ABlankHolderOrAPlaceRefusedLeavesNoFile) {
  Open();
  Creditors();
  SeedMonth("C607CAI", {{"000001", "10", "FDUPO001", 'V', "Un", 'D', 10.00},
                        {"000001", "10", "53000000", 'V', "Banque", 'C', 10.00}});
  ASSERT_TRUE(posting::FindC10(*TableC10, 'Q', "BQ01").IsFound());
  const std::string holder = std::string(TableC10->GetField(4)).substr(156, 30);
  ASSERT_TRUE(LockRecord(*TableC10, nullptr, 0));
  ASSERT_TRUE(TableC10->PutFieldPart(4, 157, 30, std::string(30, ' ').c_str()));
  UnlockRecord(*TableC10);
  TWSaiBroDetJournaux* w = Saisir("C607CAI");
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  EXPECT_FALSE(Print(w, "SBQ01V").prepared);
  EXPECT_NE(test_support::ShownTexts().find("Le nom du titulaire du compte est vide pour la Banque Em\xE9ttrice: BQ01"),
            std::string::npos)
      << test_support::ShownTexts();
  EXPECT_FALSE(fs::exists(File()));
  EXPECT_TRUE(NoTemporaryFile());

  ASSERT_TRUE(posting::FindC10(*TableC10, 'Q', "BQ01").IsFound());
  ASSERT_TRUE(LockRecord(*TableC10, nullptr, 0));
  ASSERT_TRUE(TableC10->PutFieldPart(4, 157, 30, holder.c_str()));
  UnlockRecord(*TableC10);
  fs::create_directories(File() + "/dedans");
  gui::ModalSeam::Reset();
  EXPECT_TRUE(Print(w, "SBQ01V").prepared);
  EXPECT_NE(test_support::ShownTexts().find("Le fichier des virements n'a pas pu \xEAtre \xE9" "crit"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_TRUE(fs::is_directory(File() + "/dedans"));
  EXPECT_TRUE(NoTemporaryFile());
  EXPECT_NE(Bytes("clgje.txt").find("VIREMENTS SEPA - Erreur: "), std::string::npos);
  EXPECT_EQ(Bytes("clgje.txt").find("VIREMENTS SEPA - Ok"), std::string::npos);
}

// A preview left before its end writes no file, and its temporary file goes.
TEST_F(TransferFileTest, ARunLeftHalfWayWritesNoFile) {
  Open();
  Creditors();
  TwoTransfersMonth();
  TWSaiBroDetJournaux* w = Saisir("C606CAI");
  ASSERT_NE(w, nullptr);
  w->ChosenLayoutText = "SBQ01V";
  ASSERT_TRUE(w->PrepareReport());
  w->ComputeLine();
  EXPECT_EQ(platform::ListFiles(tmp_, "ZEL*").size(), 1u) << "the temporary file is made in the temporary folder";
  w->DefaultAction();
  EXPECT_TRUE(NoTemporaryFile());
  EXPECT_FALSE(fs::exists(File()));
}

}  // namespace
}  // namespace entry_test
