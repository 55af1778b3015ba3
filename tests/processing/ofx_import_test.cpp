// The bank statement import (20407) driven as a user drives it on a generated dossier (its
// counterpart account, by default, from the dossier INI): the
// statement of the dossier's bank account made into OFX files, read through the reader program,
// imported as balanced two-line pieces whose accented labels read back with dbfread; the same or
// an overlapping statement imports only what is new; an account no bank names asks for the bank;
// a statement in another currency and damaged files write nothing.
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/entry_lines.h"
#include "data/table.h"
#include "ofx_fixture/ofx_fixture.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/cp1252.h"
#include "platform/system/process.h"
#include "processing/bank_commands.h"
#include "processing/core/ofx_import.h"
#include "processing/core/ofx_statement.h"
#include "processing/ofx_window.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/python.h"
#include "support/gui_test.h"
#include "support/window_amounts.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

namespace {

using L = LigneEcriture;

class OfxImportTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    processing::SetOfxReaderPath(MERLON_OFX_READER);
    InstallBankCommands();
    gui::ModalSeam::Reset();
  }
  void TearDown() override {
    if (CommandWindow != nullptr) {
      CommandWindow->CloseChildren();
      gui::ProcessPendingMessages();
    }
    SetCommandWork(command_id::ImportationReleveBanque, {});
    processing::SetOfxReaderPath("");
    DossierFixture::TearDown();
  }
  // A generated dossier "SA", opened; its bank's statement of `count` lines from `first`.
  void Open() {
    folder_ = MakeDossier("a", "SA", 80);
    OpenThroughDialog(C10Path(folder_, "SA"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "SA") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
    // The generated chart has no waiting account: the cash account stands in for it.
    DossierIniSet(processing::kOfxIniSection, "CompteAttente", "53");
  }
  processing::BankStatement Statement(int first, int count) {
    processing::BankStatement s;
    std::string error;
    EXPECT_TRUE(ofx_fixture::StatementFromDossier(folder_, "SA", first, count, s, error)) << error;
    return s;
  }
  // A statement other OFX readers refuse goes to the test's own folder: the artefacts keep only
  // statements that they read.
  std::string WriteDamaged(const std::string& name, const std::string& text) {
    const std::string path = root_ + "/" + name;
    EXPECT_TRUE(ofx_fixture::WriteText(path, text));
    return path;
  }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = test_support::ArtefactPath("processing", name);
    EXPECT_TRUE(ofx_fixture::WriteText(path, text));
    return path;
  }
  TWSaiModImportationOfx* Form() {
    if (SlotHandle(kOfxImportFormSlot) == 0) {
      gui::PostCommand(CommandWindow->GetHandle(), command_id::ImportationReleveBanque);
      gui::ProcessPendingMessages();
    }
    return dynamic_cast<TWSaiModImportationOfx*>(gui::Window::FromHandle(SlotHandle(kOfxImportFormSlot)));
  }
  // Reads `path` in the form through "?" and imports it; the texts of the messages shown meanwhile.
  std::string Import(const std::string& path, const std::string& bank = "") {
    TWSaiModImportationOfx* form = Form();
    if (form == nullptr) return "no form";
    const std::size_t from = gui::ModalSeam::Shown().size();
    gui::ModalSeam::QueueFileAnswer(path);
    gui::SendCommand(form->GetHandle(), ofx_cmd::Choose);
    gui::ProcessPendingMessages();
    if (!bank.empty()) form->BankBox()->SetValue(bank, false);
    gui::SendCommand(form->GetHandle(), ofx_cmd::Accepter);
    gui::ProcessPendingMessages();
    std::string texts;
    const std::vector<gui::ShownModal>& shown = gui::ModalSeam::Shown();
    for (std::size_t i = from; i < shown.size(); ++i)
      if (shown[i].kind == gui::ModalKind::MessageBox) texts += shown[i].text + "\n";
    return texts;
  }
  long DraftRecords() {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(folder_ + "c50sa", "", true));
    return static_cast<long>(c50.RecCount());
  }
  bool Shown(const std::string& text) {
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.text.find(text) != std::string::npos) return true;
    return false;
  }
  std::string folder_;
};

TEST_F(OfxImportTest, TheStatementImportsAsBalancedPiecesOnceOnly) {
  Open();
  // The account's lines but the last three, then a statement of the last six.
  const std::size_t n = Statement(0, -1).transactions.size();
  ASSERT_GE(n, 8u);
  const processing::BankStatement s = Statement(0, static_cast<int>(n) - 3);
  bool paid = false;
  for (const processing::BankTransaction& t : s.transactions) paid = paid || t.cents < 0;
  EXPECT_TRUE(paid);
  const long count = static_cast<long>(s.transactions.size());
  const std::string sgml = Write("ofx-releve-102.ofx", ofx_fixture::OfxSgml102(s));
  Write("ofx-releve-220.ofx", ofx_fixture::OfxXml220(s));
  const long before = DraftRecords();

  TWSaiModImportationOfx* form = Form();
  ASSERT_NE(form, nullptr);
  gui::ModalSeam::QueueFileAnswer(sgml);
  gui::SendCommand(form->GetHandle(), ofx_cmd::Choose);
  gui::ProcessPendingMessages();
  ASSERT_TRUE(form->StatementRead()) << test_support::ShownTexts();
  EXPECT_EQ(form->BankIndex(), 0);
  EXPECT_EQ(form->JournalEdit()->GetValue(), "BQ");
  EXPECT_EQ(form->Transactions()->GetCount(), count);
  test_support::Screenshot(form->Widget(), "processing", "ofx_import_form");
  gui::SendCommand(form->GetHandle(), ofx_cmd::Accepter);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(Shown(std::to_string(count) + " op\xE9rations import\xE9" "es")) << test_support::ShownTexts();
  // The list shows the same transactions, now marked as imported.
  ASSERT_EQ(form->Transactions()->GetCount(), count);
  for (int i = 0; i < count; ++i) EXPECT_EQ(form->Transactions()->GetString(i).substr(0, 2), "* ") << i;

  // Two lines a piece, the bank's account against the waiting account, the same amount.
  Table c50;
  ASSERT_TRUE(c50.OpenShared(folder_ + "c50sa", "", true));
  ASSERT_EQ(static_cast<long>(c50.RecCount()), before + 2 * count);
  std::map<std::string, std::vector<std::string>> pieces;
  for (long rec = before + 1; rec <= before + 2 * count; ++rec) {
    ASSERT_TRUE(c50.GoTo(rec));
    const std::string piece = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + c50.GetField(L::BPIECE);
    pieces[piece].push_back(std::string(RTrim(c50.GetField(L::BCODE))) + c50.GetField(L::BSENS) +
                            AllTrim(c50.GetField(L::BMONTANTE)));
  }
  ASSERT_EQ(static_cast<long>(pieces.size()), count);
  for (const auto& [key, lines] : pieces) {
    ASSERT_EQ(lines.size(), 2u) << key;
    EXPECT_EQ(lines[0].substr(0, 8), "51200000") << key;
    EXPECT_EQ(lines[1].substr(0, 8), "53000000") << key;
    EXPECT_NE(lines[0][8], lines[1][8]) << key;
    EXPECT_EQ(lines[0].substr(9), lines[1].substr(9)) << key;
  }
  c50.CloseTable();
  // The labels, read back by dbfread in Windows-1252.
  const std::string labels = test_support::RunPythonScript(
      "from dbfread import DBF\n"
      "rows = list(DBF('" + folder_ + "c50sa.dbf', encoding='cp1252', ignore_missing_memofile=True))\n"
      "for r in rows[" + std::to_string(before) + ":]: print(r['BLIB'].rstrip())\n",
      true);
  for (const processing::BankTransaction& t : s.transactions) {
    std::string l1, l2, l3;
    processing::TransactionLabels(t, l1, l2, l3);
    EXPECT_NE(labels.find(platform::Cp1252ToUtf8(l1) + "\n"), std::string::npos) << l1 << "\n" << labels;
  }
  DossierInvariants invariants;
  EXPECT_TRUE(invariants.Check()) << invariants.Report();
  EXPECT_NE(ReadAll(folder_ + "clgsa.txt").find("IMPORTATION RELEVE OFX - Ok - " + sgml), std::string::npos);

  // The same file again: nothing new, and said so; then a statement that overlaps it.
  EXPECT_NE(Import(sgml).find("d\xE9j\xE0 import\xE9"), std::string::npos) << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before + 2 * count);
  const std::string overlap = Write("ofx-overlap.ofx", ofx_fixture::OfxXml220(Statement(static_cast<int>(n) - 6, 6)));
  const std::string said = Import(overlap);
  EXPECT_NE(said.find("3 op\xE9rations import\xE9" "es"), std::string::npos) << said;
  EXPECT_NE(said.find("3 op\xE9rations d\xE9j\xE0 import\xE9" "es"), std::string::npos) << said;
  EXPECT_EQ(DraftRecords(), before + 2 * count + 6);
  EXPECT_TRUE(invariants.Check()) << invariants.Report();
}

// ofxdump (libofx's own reader) finds in both files the transactions, amounts and FITIDs that the
// import shows.
TEST_F(OfxImportTest, OfxdumpReadsWhatTheImportShows) {
  Open();
  const processing::BankStatement s = Statement(0, 8);
  for (const std::string& path : {Write("ofx-dump-102.ofx", ofx_fixture::OfxSgml102(s)),
                                  Write("ofx-dump-220.ofx", ofx_fixture::OfxXml220(s))}) {
    const processing::OfxReading read = processing::ReadOfxStatement(path);
    ASSERT_TRUE(read.ok) << read.message;
    platform::LaunchOptions options;
    options.wait = true;
    options.captureOutput = true;
    options.timeLimitMs = 30000;
    const platform::LaunchResult dump = platform::LaunchProcess({"ofxdump", path}, options);
    ASSERT_EQ(dump.exitStatus, 0) << dump.output;
    std::vector<std::string> ids, amounts;
    std::istringstream lines(dump.output);
    for (std::string line; std::getline(lines, line);) {
      const std::size_t colon = line.find(": ");
      if (colon == std::string::npos) continue;
      const std::string value = line.substr(colon + 2);
      if (line.find("Financial institution's ID for this transaction") != std::string::npos) ids.push_back(value);
      if (line.find("Total money amount") != std::string::npos) amounts.push_back(value);
    }
    ASSERT_EQ(ids.size(), read.statement.transactions.size()) << path;
    ASSERT_EQ(amounts.size(), ids.size()) << path;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      const processing::BankTransaction& t = read.statement.transactions[i];
      EXPECT_EQ(ids[i], t.fitid) << path;
      EXPECT_NEAR(std::stod(amounts[i]) * 100, static_cast<double>(t.cents), 0.001) << path << " " << t.fitid;
      EXPECT_EQ(t.cents, s.transactions[i].cents);
      EXPECT_EQ(t.name, s.transactions[i].name);
    }
  }
}

TEST_F(OfxImportTest, AnAccountNoBankNamesAsksForTheBankAndKeepsTheAnswer) {
  Open();
  processing::BankStatement s = Statement(0, 2);
  s.bankId = "10107";
  s.branchId = "00111";
  s.accountId = "99999999999";
  const std::string path = Write("ofx-other-account.ofx", ofx_fixture::OfxSgml102(s));
  const long before = DraftRecords();
  TWSaiModImportationOfx* form = Form();
  ASSERT_NE(form, nullptr);
  gui::ModalSeam::QueueFileAnswer(path);
  gui::SendCommand(form->GetHandle(), ofx_cmd::Choose);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(Shown("Choisissez la banque du relev\xE9")) << test_support::ShownTexts();
  EXPECT_EQ(form->BankIndex(), -1);
  // "Accepter" without a bank writes nothing.
  gui::SendCommand(form->GetHandle(), ofx_cmd::Accepter);
  gui::ProcessPendingMessages();
  EXPECT_EQ(DraftRecords(), before);
  // A counterpart the chart does not hold writes nothing either.
  form->CounterpartEdit()->SetValue("99999999", false);
  EXPECT_NE(Import(path, "BNP").find("Le compte 99999999 n'existe pas"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before);
  form->CounterpartEdit()->SetValue("53", false);
  EXPECT_NE(Import(path, "BNP").find("2 op\xE9rations import\xE9" "es"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before + 4);
  EXPECT_EQ(DossierIniGet(processing::kOfxIniSection, "Banque-10107/00111/99999999999", ""), "BNP");
  // Read again, the account names its bank at once.
  gui::ModalSeam::Reset();
  EXPECT_TRUE(form->ReadFile(path));
  EXPECT_EQ(form->BankIndex(), 0);
  EXPECT_FALSE(Shown("Choisissez")) << test_support::ShownTexts();
}

// The label code must be one of the dossier's live label codes: the form refuses another one
// before the run.
TEST_F(OfxImportTest, ALabelCodeTheDossierDoesNotHoldIsRefused) {
  Open();
  const std::string path = Write("ofx-label-code.ofx", ofx_fixture::OfxSgml102(Statement(0, 2)));
  const long before = DraftRecords();
  TWSaiModImportationOfx* form = Form();
  ASSERT_NE(form, nullptr);
  form->LabelCodeEdit()->SetValue("9", false);
  const std::string said = Import(path);
  EXPECT_NE(said.find("Code libell\xE9 inconnu ou annul\xE9 : 9"), std::string::npos) << said;
  EXPECT_TRUE(form->LabelCodeEdit()->HasFocus()) << "the field to mend";
  ASSERT_FALSE(gui::ModalSeam::Shown().empty());
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "ofx_label_code_refused");
  test_support::Screenshot(form->Widget(), "processing", "ofx_label_code_form");
  EXPECT_EQ(DraftRecords(), before);
  EXPECT_EQ(ReadAll(folder_ + "clgsa.txt").find("IMPORTATION RELEVE OFX"), std::string::npos);
  // Blank, the lines go without a label code.
  form->LabelCodeEdit()->SetValue("", false);
  EXPECT_NE(Import(path).find("2 op\xE9rations import\xE9" "es"), std::string::npos) << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before + 4);
}

// Bad statements get a French message and write nothing, through the form as through the reader.
TEST_F(OfxImportTest, BadStatementsWriteNothing) {
  Open();
  processing::BankStatement usd = Statement(0, 3);
  usd.currency = "USD";
  processing::BankStatement frf = Statement(0, 3);
  frf.currency = "FRF";
  const std::string good = ofx_fixture::OfxSgml102(Statement(0, 3));
  std::string thousands = good;
  thousands.replace(thousands.find("<TRNAMT>") + 8, thousands.find("\r\n", thousands.find("<TRNAMT>")) -
                                                        thousands.find("<TRNAMT>") - 8, "1.234,56");
  std::string unclosed = good;
  unclosed.erase(unclosed.find("</STMTTRN>"), 10);
  const struct Case {
    const char* name;
    std::string text;
    const char* said;
  } cases[] = {
      {"ofx-usd.ofx", ofx_fixture::OfxSgml102(usd), "devise USD"},
      {"ofx-frf.ofx", ofx_fixture::OfxSgml102(frf), "devise FRF"},  // francs only in a francs dossier
      {"ofx-empty.ofx", "", "fichier vide"},
      {"ofx-truncated.ofx", good.substr(0, good.size() / 2), "balise de fin </OFX> absente"},
      {"ofx-binary.ofx", std::string("\x7F" "ELF\x02\x01\x01\0\0\0<OFX>", 16) + std::string(300, '\xFF'), "binaires"},
      {"ofx-unclosed.ofx", unclosed, "sans sa balise de fin </STMTTRN>"},
      {"ofx-thousands.ofx", thousands, "montant TRNAMT \xAB 1.234,56 \xBB illisible"},
  };
  const long before = DraftRecords();
  for (const Case& c : cases) {
    gui::ModalSeam::Reset();
    const std::string said = Import(WriteDamaged(c.name, c.text));
    EXPECT_NE(said.find(c.said), std::string::npos) << c.name << ": " << said;
    if (std::string(c.said).rfind("devise", 0) != 0) {
      EXPECT_EQ(said.rfind("Relev\xE9 illisible: ", 0), 0u) << c.name << ": " << said;
    }
    EXPECT_EQ(DraftRecords(), before) << c.name;
  }
  EXPECT_EQ(ReadAll(folder_ + "clgsa.txt").find("IMPORTATION RELEVE OFX"), std::string::npos);
}

// The value of the `n`-th (from 0) element `tag` of a statement text replaced by `value`.
std::string WithValue(std::string text, const std::string& tag, int n, const std::string& value) {
  std::size_t at = 0;
  for (int i = 0; i <= n; ++i) at = text.find("<" + tag + ">", i == 0 ? 0 : at + 1);
  const std::size_t start = at + tag.size() + 2;
  text.replace(start, text.find_first_of("\r\n<", start) - start, value);
  return text;
}

// A transaction whose amount or date does not follow the OFX syntax refuses the whole statement,
// in SGML as in XML, with its FITID, the field and the value; nothing is written. libofx alone
// read "1.440,57" as 1.44, "2026-05-01" as today, "20260230" as 2 March and "1.5E3" as 1500, and
// an amount "abc" or empty as 0 (the transaction then left out without a word).
TEST_F(OfxImportTest, ATransactionWithABadValueRefusesTheWholeStatement) {
  Open();
  const processing::BankStatement s = Statement(0, 7);
  ASSERT_EQ(s.transactions.size(), 7u);
  const std::string fitid = "(FITID " + s.transactions[2].fitid + ")";
  const struct Case {
    const char* tag;
    const char* value;
    const char* said;
  } cases[] = {
      {"TRNAMT", "1.440,57", "montant TRNAMT \xAB 1.440,57 \xBB illisible"},
      {"TRNAMT", "1,440.57", "montant TRNAMT \xAB 1,440.57 \xBB illisible"},
      {"TRNAMT", "1 440,57", "montant TRNAMT \xAB 1 440,57 \xBB illisible"},
      {"TRNAMT", "1.5E3", "montant TRNAMT \xAB 1.5E3 \xBB illisible"},
      {"TRNAMT", "abc", "montant TRNAMT \xAB abc \xBB illisible"},
      {"TRNAMT", "12.345", "montant TRNAMT \xAB 12.345 \xBB illisible (plus de deux d\xE9" "cimales)"},
      {"TRNAMT", "", "montant TRNAMT vide"},
      {"DTPOSTED", "2026-05-01", "date DTPOSTED \xAB 2026-05-01 \xBB illisible (AAAAMMJJ attendu)"},
      {"DTPOSTED", "20260230", "date DTPOSTED \xAB 20260230 \xBB inexistante"},
      {"DTPOSTED", "20260501250000", "date DTPOSTED \xAB 20260501250000 \xBB illisible (heure inexistante)"},
      {"DTPOSTED", "", "date DTPOSTED vide"},
      {"DTPOSTED", "20260501120000[+99:XYZ]",
       "date DTPOSTED \xAB 20260501120000[+99:XYZ] \xBB illisible (fuseau horaire entre -12 et +14 attendu)"},
      {"DTPOSTED", "20260501[-13:XYZ]", "date DTPOSTED \xAB 20260501[-13:XYZ] \xBB illisible (fuseau horaire"},
  };
  const long before = DraftRecords();
  int file = 0;
  for (const Case& c : cases) {
    for (const std::string& good : {ofx_fixture::OfxSgml102(s), ofx_fixture::OfxXml220(s)}) {
      gui::ModalSeam::Reset();
      const std::string name = "ofx-value-" + std::to_string(++file) + ".ofx";
      const std::string said = Import(WriteDamaged(name, WithValue(good, c.tag, 2, c.value)));
      EXPECT_EQ(said.rfind("Relev\xE9 illisible: 1 valeur illisible, rien n'a \xE9t\xE9 import\xE9:\nop\xE9ration 3 ", 0), 0u)
          << name << ": " << said;
      EXPECT_NE(said.find(fitid + ": " + c.said), std::string::npos) << name << ": " << said;
      EXPECT_EQ(DraftRecords(), before) << name;
    }
  }
  // Every faulty transaction is named at once.
  const std::string two = WithValue(WithValue(ofx_fixture::OfxSgml102(s), "TRNAMT", 1, "abc"), "DTPOSTED", 5, "20261301");
  gui::ModalSeam::Reset();
  const std::string said = Import(WriteDamaged("ofx-two-values.ofx", two));
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
    if (shown.kind == gui::ModalKind::MessageBox && shown.text.find("valeurs illisibles") != std::string::npos)
      test_support::ScreenshotMessage(shown, "processing", "ofx_bad_values_refused");
  EXPECT_NE(said.find("2 valeurs illisibles"), std::string::npos) << said;
  EXPECT_NE(said.find("op\xE9ration 2 (FITID " + s.transactions[1].fitid + "): montant TRNAMT \xAB abc \xBB illisible"),
            std::string::npos) << said;
  EXPECT_NE(said.find("op\xE9ration 6 (FITID " + s.transactions[5].fitid + "): date DTPOSTED \xAB 20261301 \xBB inexistante"),
            std::string::npos) << said;
  // The statement's own dates and closing balance, read the same way.
  const std::string own = Import(WriteDamaged(
      "ofx-statement-values.ofx",
      WithValue(WithValue(ofx_fixture::OfxXml220(s), "DTEND", 0, "2026-05-31"), "BALAMT", 0, "1.440,57")));
  EXPECT_NE(own.find("relev\xE9: date DTEND \xAB 2026-05-31 \xBB illisible (AAAAMMJJ attendu)"), std::string::npos) << own;
  EXPECT_NE(own.find("relev\xE9: solde BALAMT \xAB 1.440,57 \xBB illisible"), std::string::npos) << own;
  EXPECT_EQ(DraftRecords(), before);
  EXPECT_EQ(ReadAll(folder_ + "clgsa.txt").find("IMPORTATION RELEVE OFX"), std::string::npos);

  // The forms the syntax allows are read to the cent: one decimal mark, either one; a sign; zeros
  // past the cents; a time and a zone after the date.
  const struct Good {
    const char* amount;
    long long cents;
  } goods[] = {{"1440,57", 144057}, {"-12.5", -1250}, {"+3", 300}, {"12.500", 1250}, {"-0,05", -5}, {"99999999999.99", 9999999999999}};
  for (const Good& g : goods) {
    const std::string text =
        WithValue(WithValue(ofx_fixture::OfxSgml102(s), "TRNAMT", 2, g.amount), "DTPOSTED", 2, "20260228235959.000[+1:CET]");
    const std::string path = WriteDamaged("ofx-good-value.ofx", text);
    const processing::OfxReading read = processing::ReadOfxStatement(path);
    ASSERT_TRUE(read.ok) << g.amount << ": " << read.message;
    EXPECT_EQ(read.statement.transactions[2].cents, g.cents) << g.amount;
  }
  // The day the bank wrote, on a station of any zone: never moved into the station's.
  const char* const oldZone = std::getenv("TZ");
  const std::string keptZone = oldZone == nullptr ? "" : oldZone;
  for (const char* zone : {"UTC", "Europe/Paris", "Pacific/Honolulu"}) {
    ::setenv("TZ", zone, 1);
    for (const char* date : {"20260301003000[+1:CET]", "20260301235959.000[-10:HST]", "20260301[+14]"}) {
      const std::string path = WriteDamaged("ofx-zone.ofx", WithValue(ofx_fixture::OfxSgml102(s), "DTPOSTED", 2, date));
      const processing::OfxReading read = processing::ReadOfxStatement(path);
      ASSERT_TRUE(read.ok) << zone << " " << date << ": " << read.message;
      EXPECT_EQ(read.statement.transactions[2].date, "20260301") << zone << " " << date;
    }
  }
  if (oldZone == nullptr) ::unsetenv("TZ");
  else ::setenv("TZ", keptZone.c_str(), 1);
}

// An XML statement says it is in UTF-8: bytes that are not (Windows-1252 accents) refuse it,
// where they were stored as they came, garbled.
TEST_F(OfxImportTest, AnXmlStatementInUtf8WithOtherBytesIsRefused) {
  Open();
  std::string text = ofx_fixture::OfxXml220(Statement(0, 3));
  const std::size_t accent = text.find("\xC3\xA7");  // the "ç" of "reçu"
  ASSERT_NE(accent, std::string::npos);
  text.replace(accent, 2, "\xE7");
  const long before = DraftRecords();
  const std::string said = Import(WriteDamaged("ofx-cp1252-in-utf8.ofx", text));
  EXPECT_NE(said.find("Relev\xE9 illisible: le relev\xE9 se d\xE9" "clare cod\xE9 en UTF-8, mais l'octet 0xE7 de la ligne "),
            std::string::npos) << said;
  EXPECT_EQ(DraftRecords(), before);
}

// Amounts that pass the reader but not a draft line (N(14,2)) are refused before anything is
// written: no piece number taken, no blank record left in the draft.
TEST_F(OfxImportTest, AnAmountTooLargeForTheDraftIsRefusedBeforeAnyWrite) {
  Open();
  const processing::BankStatement s = Statement(0, 3);
  const std::string path =
      WriteDamaged("ofx-too-large.ofx", WithValue(ofx_fixture::OfxSgml102(s), "TRNAMT", 1, "123456789012,34"));
  const long before = DraftRecords();
  const std::string said = Import(path);
  EXPECT_NE(said.find("Op\xE9ration FITID " + s.transactions[1].fitid + " :"), std::string::npos) << said;
  EXPECT_NE(said.find("Montant trop grand pour une ligne du brouillard : 123 456 789 012,34"), std::string::npos)
      << said;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "ofx_amount_too_large");
  EXPECT_EQ(DraftRecords(), before);
  EXPECT_TRUE(processing::ReadImportedIdentities().empty());
  // The same statement with the amount mended imports whole, its pieces numbered from where they were.
  const std::string mended = Write("ofx-mended.ofx", ofx_fixture::OfxSgml102(s));
  EXPECT_NE(Import(mended).find("3 op\xE9rations import\xE9" "es"), std::string::npos) << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before + 6);
}

// A FITID names one transaction: reused for another one in the same statement, the statement is
// refused (the second was taken for the first, "déjà importée"). Without FITIDs, two identical
// transactions of a day are both imported, and both found again at the next import.
TEST_F(OfxImportTest, IdentitiesTellEveryTransactionApart) {
  Open();
  processing::BankStatement reused = Statement(0, 4);
  reused.transactions[3].fitid = reused.transactions[1].fitid;
  // The amounts each side named grouped, as the sentences write them.
  reused.transactions[1].cents = 9'999'999'999'999;
  reused.transactions[3].cents = -999'999'999'999;
  const long before = DraftRecords();
  const std::string said = Import(WriteDamaged("ofx-fitid-reused.ofx", ofx_fixture::OfxSgml102(reused)));
  EXPECT_NE(said.find("m\xEAme identifiant (FITID) \xE0 des op\xE9rations diff\xE9rentes :\nFITID " +
                      reused.transactions[1].fitid + " : "),
            std::string::npos) << said;
  EXPECT_NE(said.find(" 99 999 999 999,99 "), std::string::npos) << said;
  EXPECT_NE(said.find(" -9 999 999 999,99 "), std::string::npos) << said;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "ofx_fitid_reused_amounts");
  EXPECT_EQ(DraftRecords(), before);

  processing::BankStatement coffees = Statement(0, 4);
  for (processing::BankTransaction& t : coffees.transactions) t.fitid.clear();
  coffees.transactions[2] = coffees.transactions[1];
  const std::string path = Write("ofx-without-fitid.ofx", ofx_fixture::OfxSgml102(coffees));
  EXPECT_NE(Import(path).find("4 op\xE9rations import\xE9" "es"), std::string::npos) << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before + 8);
  EXPECT_NE(Import(path).find("les 4 op\xE9rations du relev\xE9 sont d\xE9j\xE0 import\xE9" "es"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(DraftRecords(), before + 8);
}

TEST(OfxIdentities, TheFirstOccurrenceKeepsTheIdentityEarlierImportsRecorded) {
  processing::BankTransaction coffee, other, withFitid;
  coffee.date = other.date = withFitid.date = "20260314";
  coffee.cents = -340;
  coffee.name = "CAFE DU PORT";
  other.cents = 1200;
  withFitid.fitid = "F1";
  withFitid.cents = 5;
  const std::vector<std::string> ids =
      processing::TransactionIdentities("k", {coffee, other, coffee, withFitid, withFitid, coffee});
  ASSERT_EQ(ids.size(), 6u);
  EXPECT_EQ(ids[0], processing::TransactionIdentity("k", coffee));
  EXPECT_EQ(ids[1], processing::TransactionIdentity("k", other));
  EXPECT_EQ(ids[2], ids[0] + "|#2");
  EXPECT_EQ(ids[5], ids[0] + "|#3");
  // One FITID is one transaction, however often the file gives it.
  EXPECT_EQ(ids[3], "k|F|F1");
  EXPECT_EQ(ids[4], ids[3]);
}

// The reader program runs under a time limit; a file too large, a reader that crashes or one that
// never ends gives a reason and no statement.
TEST_F(OfxImportTest, TheReaderIsBoundedInSizeTimeAndCrashes) {
  const std::string big = test_support::ArtefactPath("processing", "ofx-one-tag.ofx");
  {
    std::ofstream out(big, std::ios::binary);
    const std::string chunk(1 << 20, 'A');
    out << "<OFX><NAME>";
    for (int i = 0; i < 100; ++i) out << chunk;
    out << "</OFX>\n";
  }
  const processing::OfxReading tooBig = processing::ReadOfxStatement(big);
  EXPECT_NE(tooBig.message.find("trop grand"), std::string::npos) << tooBig.message;
  std::filesystem::remove(big);

  const std::string folder = root_ + "/readers/";
  std::filesystem::create_directories(folder);
  const std::string statement = folder + "r.ofx";
  ASSERT_TRUE(ofx_fixture::WriteText(statement, ofx_fixture::OfxSgml102(ofx_fixture::MadeUpStatement(3))));
  const struct Case {
    const char* script;
    const char* said;
  } cases[] = {
      {"exec sleep 30", "d\xE9pass\xE9"},
      {"kill -SEGV $$", "signal 11"},
      {"echo 'OFX\t1'; echo ACCOUNT > \"$2\"; exit 0", "ligne 1 du lecteur inattendue"},
      {"printf 'OFX\\t1\\nTRN\\tF\\t2026\\t1\\t\\t\\t\\t\\nEND\\t1\\n' > \"$2\"", "ligne 2 du lecteur inattendue"},
      {"echo 'erreur du lecteur' >&2; exit 2", "erreur du lecteur"},
  };
  for (const Case& c : cases) {
    const std::string reader = folder + "reader.sh";
    {
      std::ofstream out(reader);
      out << "#!/bin/sh\n" << c.script << "\n";
    }
    std::filesystem::permissions(reader, std::filesystem::perms::owner_all);
    processing::SetOfxReaderPath(reader);
    const processing::OfxReading r = processing::ReadOfxStatement(statement, 500);
    EXPECT_FALSE(r.ok) << c.script;
    EXPECT_EQ(r.message.rfind("Relev\xE9 illisible: ", 0), 0u) << r.message;
    EXPECT_NE(r.message.find(c.said), std::string::npos) << c.script << ": " << r.message;
  }
  processing::SetOfxReaderPath(MERLON_OFX_READER);
  const processing::OfxReading ok = processing::ReadOfxStatement(statement);
  ASSERT_TRUE(ok.ok) << ok.message;
  EXPECT_EQ(ok.statement.transactions.size(), 3u);
}

// Each reason a statement is refused for is one sentence with its values in their places: the whole
// message as the reader and the import have always given it, from the file to the reader program.
TEST_F(OfxImportTest, EachRefusalOfAStatementIsOneWholeSentence) {
  const std::string folder = root_ + "/sentences/";
  std::filesystem::create_directories(folder);
  const processing::BankStatement s = ofx_fixture::MadeUpStatement(22);
  ASSERT_EQ(s.transactions.size(), 22u);
  const std::string good = ofx_fixture::OfxSgml102(s);
  auto written = [&](const std::string& name, const std::string& text) {
    const std::string path = folder + name;
    EXPECT_TRUE(ofx_fixture::WriteText(path, text));
    return path;
  };
  std::string unclosed = good;
  unclosed.erase(unclosed.find("</STMTTRN>"), 10);
  // Every amount unreadable: twenty faults named, the others counted.
  std::string amounts = good;
  std::string many = "Relev\xE9 illisible: 22 valeurs illisibles, rien n'a \xE9t\xE9 import\xE9:";
  for (int i = 0; i < 22; ++i) {
    amounts = WithValue(amounts, "TRNAMT", i, "abc");
    if (i < 20)
      many += "\nop\xE9ration " + std::to_string(i + 1) + " (FITID " + s.transactions[i].fitid +
              "): montant TRNAMT \xAB abc \xBB illisible";
  }
  many += "\n... et 2 autres";
  // The first transaction without its FITID, its amount unreadable.
  std::string noFitid = WithValue(good, "TRNAMT", 0, "abc");
  const std::size_t fitid = noFitid.find("<FITID>");
  noFitid.erase(fitid, noFitid.find('\n', fitid) + 1 - fitid);
  // The statement's own end date, closing balance and its date left blank.
  const std::string blanks = WithValue(WithValue(WithValue(good, "DTEND", 0, ""), "BALAMT", 0, ""), "DTASOF", 0, "");
  const struct Case {
    const char* what;
    std::string file, said;
  } cases[] = {
      {"a tag left open", written("unclosed.ofx", unclosed),
       "Relev\xE9 illisible: balise <STMTTRN> sans sa balise de fin </STMTTRN>"},
      {"more faults than are listed", written("amounts.ofx", amounts), many},
      {"a transaction without FITID", written("no-fitid.ofx", noFitid),
       "Relev\xE9 illisible: 1 valeur illisible, rien n'a \xE9t\xE9 import\xE9:\nop\xE9ration 1 (sans FITID): montant "
       "TRNAMT \xAB abc \xBB illisible"},
      {"the statement's blank values", written("blanks.ofx", blanks),
       "Relev\xE9 illisible: 3 valeurs illisibles, rien n'a \xE9t\xE9 import\xE9:\nrelev\xE9: date DTEND vide\n"
       "relev\xE9: solde BALAMT vide\nrelev\xE9: date DTASOF vide"},
      {"no file", folder + "absent.ofx", "Relev\xE9 illisible: fichier introuvable " + folder + "absent.ofx"},
  };
  for (const Case& c : cases) EXPECT_EQ(processing::ReadOfxStatement(c.file).message, c.said) << c.what;

  // The reader program's own failures, as a stand-in for it meets them.
  const std::string statement = written("good.ofx", good);
  const struct Reader {
    std::string script;
    std::string said;
  } readers[] = {
      {"exec sleep 30", "la lecture a d\xE9pass\xE9 0 s"},
      {"kill -SEGV $$", "le lecteur s'est arr\xEAt\xE9 (signal 11)"},
      {"exit 2", "le lecteur a \xE9" "chou\xE9 (code 2)"},
      {"exit 0", "lecture interrompue"},
      {"echo 'OFX\t1'; echo ACCOUNT > \"$2\"; exit 0", "ligne 1 du lecteur inattendue"},
      {std::string("exec '") + MERLON_OFX_READER + "' \"$1\" " + folder + "none/out.txt",
       "sortie impossible: " + folder + "none/out.txt"},
  };
  for (const Reader& r : readers) {
    const std::string reader = folder + "reader.sh";
    {
      std::ofstream out(reader);
      out << "#!/bin/sh\n" << r.script << "\n";
    }
    std::filesystem::permissions(reader, std::filesystem::perms::owner_all);
    processing::SetOfxReaderPath(reader);
    // Half a second for the reader that never ends; the real reader (slow to start under a
    // sanitizer on a loaded machine) gets the time it needs to reach its own refusal.
    const bool endless = r.script.rfind("exec sleep", 0) == 0;
    EXPECT_EQ(processing::ReadOfxStatement(statement, endless ? 500 : 120000).message, "Relev\xE9 illisible: " + r.said)
        << r.script;
  }
  processing::SetOfxReaderPath(folder + "no-reader");
  EXPECT_EQ(processing::ReadOfxStatement(statement).message,
            "Relev\xE9 illisible: lecteur " + folder + "no-reader introuvable");
  processing::SetOfxReaderPath(MERLON_OFX_READER);
}

TEST(OfxLabels, NameThenMemoOverThreeLabels) {
  const struct Case {
    const char* name;
    const char* memo;
    const char* l1;
    const char* l2;
    const char* l3;
  } cases[] = {
      {"Pr\xE9l\xE8vement EDF", "Facture 12", "Pr\xE9l\xE8vement EDF", "Facture 12", ""},
      {"", "Seul le m\xE9mo", "Seul le m\xE9mo", "", ""},
      {"Virement re\xE7u de la soci\xE9t\xE9 Dupont et fils", "R\xE9" "f 1", "Virement re\xE7u de la soci\xE9",
       "t\xE9 Dupont et fils", "R\xE9" "f 1"},
      {"Un nom de soixante-quinze caract\xE8res qui remplit les trois libell\xE9s tout seul ...", "m\xE9mo perdu",
       "Un nom de soixante-quinze", "caract\xE8res qui remplit l", "es trois libell\xE9s tout se"},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    processing::BankTransaction t;
    t.name = c.name;
    t.memo = c.memo;
    std::string a, b, d;
    processing::TransactionLabels(t, a, b, d);
    EXPECT_EQ(a, c.l1);
    EXPECT_EQ(b, c.l2);
    EXPECT_EQ(d, c.l3);
    EXPECT_LE(a.size(), 25u);
  }
}

}  // namespace

namespace {

// A statement whose transactions and closing balance are the amounts of 1, 10 million, a billion and
// 99 999 999 999,99 either way: the form says each closing balance whole, grouped, with its side, and
// lists each transaction so, its line and its sentence inside the form.
TEST_F(OfxImportTest, AmountsSweepTheClosingBalanceAndTheTransactionsAreWholeAndInside) {
  Open();
  processing::BankStatement s = Statement(0, 8);
  ASSERT_EQ(s.transactions.size(), 8u);
  for (std::size_t k = 0; k < s.transactions.size(); ++k) s.transactions[k].cents = test_support::SweepCents()[k];
  test_support::SweepFaults faults;
  for (std::size_t k = 0; k < test_support::SweepCents().size(); ++k) {
    const long long closing = test_support::SweepCents()[k];
    s.closingCents = closing;
    const std::string path = Write("ofx-balayage-" + std::to_string(k) + ".ofx", ofx_fixture::OfxSgml102(s));
    TWSaiModImportationOfx* form = Form();
    ASSERT_NE(form, nullptr);
    gui::ModalSeam::QueueFileAnswer(path);
    gui::SendCommand(form->GetHandle(), ofx_cmd::Choose);
    gui::ProcessPendingMessages();
    ASSERT_TRUE(form->StatementRead()) << test_support::ShownTexts();
    const std::string where = "OFX form, closing " + AmountDigits(FromCents(closing));
    gui::Control* period = test_support::ChildControl(form, 1302);
    ASSERT_NE(period, nullptr);
    faults.Add(test_support::AmountFault(where, period->GetText(), closing, test_support::Shown::kSided));
    faults.Add(test_support::CutFault(where, *period));
    std::string lines;
    for (int i = 0; i < form->Transactions()->GetCount(); ++i) lines += form->Transactions()->GetString(i) + "\n";
    for (long long cents : test_support::SweepCents())
      faults.Add(test_support::AmountFault("OFX form's list", lines, cents, test_support::Shown::kSided));
    faults.Add(test_support::GroupedFault("OFX form's list", lines));
    for (const std::string& cut : test_support::CutListLines(form->Transactions()->Widget(), true))
      faults.Add("OFX form's list: cut: " + cut);
    if (k == 3 || k == 7)
      test_support::Screenshot(form->Widget(), "processing", "amounts_sweep_ofx" + std::string(k == 3 ? "" : "_credit"));
  }
  faults.Report();
}

}  // namespace
