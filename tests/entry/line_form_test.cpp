// The line form entered with the keyboard only, as a bookkeeper types a purchase piece: Ctrl+P in the lines
// window opens the form on a new piece with the journal's model applied, the fields are typed with Enter
// between them (the account through the help character and F8), Enter in the amount saves and proposes the
// next line, F12 saves the last one; the lines, their sort records and the totals read back with dbfread.
#include "line_form_fixture.h"

#include <array>
#include <cctype>
#include <map>
#include "support/books_writes.h"
#include "support/refused_read.h"
#include "support/refused_write.h"

#include "data/dossier_files.h"
#include "dossier/core/dossier_create.h"
#include "framework/lookup_dialog.h"
#include "masterdata/code_list.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "support/line_files.h"

namespace entry_test {
namespace {

using namespace line_form;

// A label is its line's last value: it stops at the end of the line.
constexpr const char* kPurchaseModel =
    "CC=60700000 CL=1 DC=D MO=100 LI=Achat de marchandises\r\n"
    "CC=44566000 CL=1 DC=D MO=20 LI=TVA d\xE9" "ductible\r\n"
    "CL=1 DC=C MO=SOLDE\r\n";

// The lines, their sort records and the totals of a purchase typed as a bookkeeper types it.
TEST_F(LineFormTest, APurchasePieceIsTypedWithTheKeyboardOnly) {
  GiveJournalModel("AC ", "ACHAT", kPurchaseModel);
  Open();
  const std::string month = MonthOf("AC ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  const posting::HeaderTotals before = HeaderOf(month);
  const auto purchasesBefore = AccountTotals("60700000");
  const long rowsBefore = w->Store().totalRows;

  // Ctrl+P: a new piece, the model's first line applied, the day proposed.
  Key('P', test_support::kControlModifier);
  TWSaiModDetJournaux* f = Form();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  EXPECT_TRUE(f->NewLine());
  EXPECT_EQ(f->TextOf(kAccount), "60700000");
  EXPECT_EQ(f->TextOf(kLabel1), "Achat de marchandises");
  EXPECT_EQ(f->TextOf(kSense), "D\xE9" "bit");
  EXPECT_EQ(f->TextOf(kDebitE), "100.00");
  EXPECT_EQ(f->TextOf(kDebitF), "655.96");
  EXPECT_EQ(FocusedId(f), kDay);
  const std::string pieceKey = f->Key().substr(0, 14);

  // Day, distribution code, account, label code, three labels, then the amount.
  Field("12");
  EXPECT_EQ(FocusedId(f), kDistribution);
  Field("");
  EXPECT_EQ(FocusedId(f), kAccount);
  Field("607");
  EXPECT_EQ(FocusedId(f), kLabelCode);
  EXPECT_EQ(f->TextOf(kLabelCodeText), "Facture");
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  EXPECT_EQ(FocusedId(f), kLabel1);
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  Field("Bon 4711");
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  EXPECT_EQ(FocusedId(f), kDebitE);
  Field("1000");
  // Saved, and the next line of the piece asked: a new form on it, the model's second line applied, its
  // label first to type.
  f = Form();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(f->Key().substr(0, 14), pieceKey);
  EXPECT_EQ(f->TextOf(kAccount), "44566000");
  EXPECT_EQ(f->TextOf(kDay), "12") << "the day typed last is proposed";
  EXPECT_EQ(FocusedId(f), kDay);
  for (int i = 0; i < 7; ++i) Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  EXPECT_EQ(FocusedId(f), kDebitE);
  Field("200");

  // The supplier: typed with the help character, then looked up again with F8, in the chart's lookup.
  f = Form();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(f->TextOf(kCreditE), "1200.00") << "the model balances the piece";
  EXPECT_EQ(f->TextOf(kSense), "Cr\xE9" "dit");
  EXPECT_EQ(FocusedId(f), kDay);
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  ASSERT_EQ(FocusedId(f), kAccount);
  std::string offered;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&offered](gui::Window& d) {
    auto& lookup = static_cast<TDAideFichier&>(d);
    offered = lookup.Rows().search;
    lookup.List()->SetSelIndex(0);
  });
  Key('A', test_support::kControlModifier, std::string(1, '\x01'));
  Type("F*");
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  EXPECT_EQ(offered, "F");
  const std::string first = f->TextOf(kAccount);
  EXPECT_EQ(first.substr(0, 1), "F");
  // F8: the chart's lookup again, from the account shown; the user picks the next supplier.
  Key('A', test_support::kControlModifier, std::string(1, '\x01'));
  Type("F");
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&offered](gui::Window& d) {
    auto& lookup = static_cast<TDAideFichier&>(d);
    offered = lookup.Rows().search;
    lookup.List()->SetSelIndex(1);
  });
  Key(gui::VK_F8);
  EXPECT_EQ(offered, "F");
  const std::string supplier = f->TextOf(kAccount);
  EXPECT_EQ(supplier.substr(0, 1), "F");
  EXPECT_GT(supplier, first);
  EXPECT_EQ(FocusedId(f), kAccount);
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  EXPECT_EQ(FocusedId(f), kLabelCode);
  EXPECT_NE(SlotModelText[0].find("CP=40100000\r\n"), std::string::npos) << "the supplier's counterpart proposed";
  const std::string label = f->TextOf(kLabel1);
  EXPECT_EQ(label.substr(0, 15), "TVA d\xE9" "ductible\\") << "the account's name proposed after the label";
  Key(gui::VK_F12);
  EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(RoundingLineFlag, 0);

  // The lines window shows the three lines; they read back at their field numbers.
  EXPECT_EQ(w->Store().totalRows, rowsBefore + 3);
  int status = -1;
  const std::string out = test_support::RunPythonScript(
      "from dbfread import DBF\n"
      "lines = [r for r in DBF('" + folder_ + "c50je.dbf', encoding='cp1252', char_decode_errors='replace', "
      "ignore_missing_memofile=True) if (r['BCLE'] + r['BMOIS'] + r['BJAL'].ljust(3) + r['BPIECE']) == '" + pieceKey + "']\n"
      "for r in lines:\n"
      "    print('%s|%s|%s|%s|%s|%s|%.2f|%.2f|%s' % (r['BNUM'], r['BJOUR'], r['BCODE'], r['BCLIB'], r['BLIB'].rstrip(),"
      " r['BSENS'], r['BMONTANTF'] or 0, r['BMONTANTE'] or 0, r['BEURO']))\n",
      true, &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out, "0001|12|60700000|1|Achat de marchandises|D|6559.57|1000.00|O\n"
                 "0002|12|44566000|1|TVA d\xC3\xA9" "ductible|D|1311.91|200.00|O\n"
                 "0003|12|" + supplier + "|1|" + Utf8(label) + "|C|7871.48|1200.00|O\n");
  // Their sort records: day, account and VAT mark.
  const std::string sorts = test_support::RunPythonScript(
      "from dbfread import DBF\n"
      "for r in DBF('" + folder_ + "c60je.dbf', encoding='cp1252'):\n"
      "    if (r['TCLE'] + r['TMOIS'] + r['TJAL'].ljust(3) + r['TPIECE']) == '" + pieceKey + "':\n"
      "        print('%s|%s|%s|%r' % (r['TNUM'], r['TJOUR'], r['TCODE'], r['TTVA']))\n",
      true, &status);
  ASSERT_EQ(status, 0) << sorts;
  EXPECT_EQ(sorts, "0001|12|60700000|''\n0002|12|44566000|''\n0003|12|" + supplier + "|''\n");
  // The totals moved: the purchases' account, and the header by the piece on both sides.
  const auto purchases = AccountTotals("60700000");
  EXPECT_EQ(purchases[1] - purchasesBefore[1], 100000);
  EXPECT_EQ(purchases[0] - purchasesBefore[0], 655957);
  const posting::HeaderTotals after = HeaderOf(month);
  EXPECT_EQ(after.debitE - before.debitE, 120000);
  EXPECT_EQ(after.creditE - before.creditE, 120000);
  EXPECT_EQ(after.debitF - before.debitF, after.creditF - before.creditF);
  ExpectInvariants("after the purchase typed");
}

// Saved on a subsidiary account in a treasury journal with constant 026, a line chains to the manual
// matching of that account (command 20601, the account at 3952).
TEST_F(LineFormTest, ATreasuryLineOnASubsidiaryAccountChainsToTheMatching) {
  Open();
  TheDossierRecord.SetConstant(26, "OUI");
  std::vector<std::string> asked;
  SetCommandWork(command_id::LettrageManuel, [&asked] { asked.push_back(RegistryText(3952, 8)); });
  const std::string month = MonthOf("BQ ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  const std::string customer = LineWhere(month, [](const posting::LineRecord& r) { return r.account[0] == 'C'; });
  const std::string bank = LineWhere(month, [](const posting::LineRecord& r) { return r.account == "51200000"; });
  ASSERT_FALSE(customer.empty());
  for (const std::string& key : {bank, customer}) {
    TWSaiModDetJournaux* f = Modify(w, key);
    ASSERT_NE(f, nullptr);
    f->EditOf(kLabel1)->SetText("Lettrage");
    FocusOnControl(f, kLabel1);
    Key(gui::VK_F12);
    EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  }
  ASSERT_EQ(asked.size(), 1u) << "a general account does not";
  EXPECT_EQ(asked[0], LineOf(customer).account);
}


// The commands that do not test a field: the sense buttons, an amount typed on the other side, the
// conversion at the rate, the automatic sense, a refused day, "Quitter" on a new line.
TEST_F(LineFormTest, TheSenseFollowsTheAmountsAndQuitterGivesTheNewLineUp) {
  Open();
  TheDossierRecord.SetConstant(2, "OUI");
  const std::string month = MonthOf("AC ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  Key('P', test_support::kControlModifier);
  TWSaiModDetJournaux* f = Form();
  ASSERT_NE(f, nullptr);
  const std::string key = f->Key();

  // A credit line typed in francs: 100.00 into the franc debit makes it a debit, 15.24 euros.
  Send(f, 1256);
  EXPECT_EQ(f->TextOf(kSense), "Cr\xE9" "dit");
  f->EurosBox()->SetValue(false, false);
  Send(f, 1248);
  EXPECT_TRUE(f->EditOf(kDebitF)->IsWindowEnabled());
  EXPECT_FALSE(f->EditOf(kDebitE)->IsWindowEnabled());
  f->EditOf(kCreditE)->SetText("3.00");
  f->EditOf(kDebitF)->SetText("100.00");
  gui::ProcessPendingMessages();
  EXPECT_EQ(f->TextOf(kSense), "D\xE9" "bit");
  EXPECT_EQ(f->TextOf(kDebitE), "15.24");
  EXPECT_EQ(f->TextOf(kCreditF), "");
  EXPECT_EQ(f->TextOf(kCreditE), "");
  // "&D" on a debit line moves nothing but the focus; "&C" moves both amounts.
  Send(f, 1254);
  EXPECT_EQ(f->TextOf(kDebitF), "100.00");
  EXPECT_EQ(FocusedId(f), kDebitF);
  Send(f, 1256);
  EXPECT_EQ(f->TextOf(kCreditF), "100.00");
  EXPECT_EQ(f->TextOf(kCreditE), "15.24");
  EXPECT_EQ(f->TextOf(kDebitF), "");
  EXPECT_EQ(f->TextOf(kSense), "Cr\xE9" "dit");

  // A refused day keeps the focus on it, with its message.
  FocusOnControl(f, kDay);
  Field("45");
  EXPECT_EQ(f->TextOf(kMessage), "Le Jour est incorrect");
  EXPECT_EQ(FocusedId(f), kDay);
  Field("10");
  EXPECT_EQ(f->TextOf(kMessage), "");

  // The automatic sense (constant 002): a purchase of goods with an invoice label is a debit.
  FocusOnControl(f, kAccount);
  Field("607");
  Field("1");
  EXPECT_EQ(f->TextOf(kSense), "D\xE9" "bit") << "A61 of string 186";

  // "Quitter" on the new line: the line and its sort record are cancelled, nothing is saved.
  const std::uint32_t recno = [&] {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    return posting::FindLine(c50, key).IsFound() ? c50.recordNumber : 0u;
  }();
  ASSERT_NE(recno, 0u);
  Key(gui::VK_F9);
  EXPECT_EQ(Form(), nullptr);
  EXPECT_FALSE(LineOf(key).live);
  Table c60;
  ASSERT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag, true));
  ASSERT_TRUE(T::Find(c60, T::kDraft, recno));
  EXPECT_TRUE(c60.IsDeleted());
  // On a line that has an account, "Quitter" only closes the form.
  const std::string saved = LineWhere(month, [](const posting::LineRecord& r) { return !IsBlank(r.account); });
  f = Modify(w, saved);
  ASSERT_NE(f, nullptr);
  f->EditOf(kLabel1)->SetText("Rien de tout cela");
  Key(gui::VK_F9);
  EXPECT_EQ(Form(), nullptr);
  EXPECT_TRUE(LineOf(saved).live);
  EXPECT_NE(LineOf(saved).label1.substr(0, 17), "Rien de tout cela");
  ExpectInvariants("after the commands");
}

// A piece typed in euros whose francs miss a cent: the last line's Enter asks for a rounding line, which
// opens in francs, balances the piece on the rounding account the INI names ("666": 66600000) and saves
// itself; "Enregistrer" on a line that fails its tests still asks for the rounding line.
TEST_F(LineFormTest, ARoundingLineBalancesTheFrancsOnTheIniAccount) {
  IniSetString("CpteArrondiDB", "666");
  Open();
  const std::string month = MonthOf("OD ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  Key('P', test_support::kControlModifier);
  const struct {
    const char* account;
    int side;
    const char* amount;
  } lines[] = {{"62700000", kCreditE, "0.10"}, {"62600000", kCreditE, "0.10"}, {"51200000", kDebitE, "0.20"}};
  std::string pieceKey;
  for (const auto& l : lines) {
    TWSaiModDetJournaux* f = Form();
    ASSERT_NE(f, nullptr) << test_support::ShownTexts();
    if (pieceKey.empty()) pieceKey = f->Key().substr(0, 14);
    FocusOnControl(f, kAccount);
    Field(l.account);
    FocusOnControl(f, l.side);
    Field(l.amount);
  }
  // The rounding line was asked, opened, balanced and saved by itself.
  EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(RoundingLineFlag, 0);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  std::vector<posting::LineRecord> piece;
  for (bool more = c50.Seek(L::kCodeTag, pieceKey.c_str()); more; more = c50.Skip(1)) {
    const posting::LineRecord r = posting::ReadLineRecord(c50);
    if (r.key.compare(0, 14, pieceKey) != 0) break;
    if (r.live) piece.push_back(r);
  }
  ASSERT_EQ(piece.size(), 4u);
  EXPECT_EQ(piece[3].account, "66600000");
  EXPECT_EQ(piece[3].entry, 'n');
  EXPECT_EQ(piece[3].sense, 'D');
  EXPECT_EQ(ToCents(piece[3].francs), 1);
  EXPECT_EQ(ToCents(piece[3].euros), 0);
  long long f = 0, e = 0;
  for (const auto& r : piece) {
    f += (r.sense == 'D' ? 1 : -1) * ToCents(r.francs);
    e += (r.sense == 'D' ? 1 : -1) * ToCents(r.euros);
  }
  EXPECT_EQ(f, 0);
  EXPECT_EQ(e, 0);

  // A piece typed in francs: 1.20 and 1.20 against 2.40 balance the francs, not the euros (0.18 + 0.18 against
  // 0.37). "Enregistrer" on its last line with a wrong day: refused, and the rounding check asks all the same.
  w->ActivateBrowse();
  gui::ProcessPendingMessages();
  Key('P', test_support::kControlModifier);
  TWSaiModDetJournaux* form = Form();
  ASSERT_NE(form, nullptr);
  form->EurosBox()->SetValue(false, false);
  Send(form, 1248);
  for (const char* account : {"62700000", "62600000"}) {
    form = Form();
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->EurosBox()->IsChecked()) << "the next line is typed in francs too";
    FocusOnControl(form, kAccount);
    Field(account);
    FocusOnControl(form, kDebitF);
    Field("1.20");
  }
  form = Form();
  ASSERT_NE(form, nullptr);
  form->EditOf(kDay)->SetText("45");
  form->EditOf(kAccount)->SetText("51200000");
  form->EditOf(kCreditF)->SetText("2.40");
  gui::SendCommand(form->GetHandle(), 20055);
  EXPECT_EQ(form->TextOf(kMessage), "Le Jour est incorrect");
  EXPECT_EQ(RoundingLineFlag, 2) << "francs typed, francs balanced with the euros off: a rounding line in euros";
  // The lines window makes that line: the form asks whether to save the refused one (No), and the rounding
  // line balances the euros of what was saved.
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  gui::ProcessPendingMessages();
  EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(RoundingLineFlag, 0);
  ExpectInvariants("after the rounding line");
}

// "Solder le Compte" on a saved line gives the same answer after its amount was edited; "Solder la Pièce" on
// an empty account takes the journal's counterpart ("512" filled to 51200000).
TEST_F(LineFormTest, TheBalancingCommandsReadTheLineAsLoaded) {
  // The bank journal names "512" as its counterpart.
  {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(folder_ + "c10je", "C10CODE"));
    ASSERT_TRUE(posting::FindJournal(c10, "BQ ").IsFound());
    ASSERT_TRUE(c10.PutFieldPart(4, 2, 8, "512     "));
    c10.CloseTable(true);
  }
  Open();
  const std::string month = MonthOf("BQ ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  const std::string key = LineWhere(month, [](const posting::LineRecord& r) { return r.account == "51200000"; });
  TWSaiModDetJournaux* f = Modify(w, key);
  ASSERT_NE(f, nullptr);
  Send(f, 20081);
  const std::string sense = f->TextOf(kSense), euros = f->TextOf(kDebitE) + f->TextOf(kCreditE);
  ASSERT_FALSE(euros.empty());
  f->EditOf(f->TextOf(kSense)[0] == 'D' ? kDebitE : kCreditE)->SetText("12345.67");
  Send(f, 20081);
  EXPECT_EQ(f->TextOf(kSense), sense);
  EXPECT_EQ(f->TextOf(kDebitE) + f->TextOf(kCreditE), euros) << "the same balance";
  Send(f, 20023);

  w->ActivateBrowse();
  gui::ProcessPendingMessages();
  Key('P', test_support::kControlModifier);
  f = Form();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->TextOf(kAccount), "");
  const std::string fresh = f->Key();
  Send(f, 20077);
  // The new piece balances already: the line takes no amount, is saved on the counterpart and, without
  // amount, cancelled.
  EXPECT_EQ(Form(), nullptr);
  EXPECT_EQ(LineOf(fresh).account, "51200000");
  EXPECT_FALSE(LineOf(fresh).live);
}

// "Solder la Pièce" and "Solder le Journal" over a line whose amount holds "-1e300" (read by the
// lenient reading as -1,300.00): the balance would be wrong, so the line is named and the form
// keeps what it holds.
TEST_F(LineFormTest, TheBalancingCommandsNameALineWhoseAmountDoesNotRead) {
  Open();
  const std::string month = MonthOf("OD ");
  const std::string second = LineWhere(month, [](const posting::LineRecord& r) { return r.key.substr(20, 4) == "0002"; });
  ASSERT_FALSE(second.empty());
  const std::string first = second.substr(0, 20) + "0001";
  const posting::LineRecord damaged = LineOf(first);
  ASSERT_TRUE(damaged.live);
  test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(damaged.recno, "BMONTANTE", "-1e300");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  TWSaiModDetJournaux* f = Modify(w, second);
  ASSERT_NE(f, nullptr);
  const std::string amounts = f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE) + "|" + f->TextOf(kDebitF) + "|" + f->TextOf(kCreditF);
  const std::string named = "C50 enregistrement " + std::to_string(damaged.recno) + ", pi\xE8" "ce " + Trimmed(first.substr(8, 6));
  for (unsigned command : {20077u, 20079u}) {
    SCOPED_TRACE(command);
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Send(f, command);
    ASSERT_EQ(Form(), f);
    const gui::ShownModal* box = nullptr;
    for (const auto& shown : gui::ModalSeam::Shown())
      if (shown.caption == "ATTENTION - Montants illisibles") box = &shown;
    ASSERT_NE(box, nullptr) << test_support::ShownTexts();
    EXPECT_NE(box->text.find(named), std::string::npos) << box->text;
    if (command == 20077u) test_support::ScreenshotMessage(*box, "entry", "unreadable_amount_balancing");
    EXPECT_EQ(f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE) + "|" + f->TextOf(kDebitF) + "|" + f->TextOf(kCreditF), amounts);
  }
}

// "Solder la Pièce" and "Solder le Journal" while the disk refuses every read of the lines' file: the
// balance is not known, so one box names the lines' file, the form keeps what it holds and nothing is
// written (a balance of lines not read was taken for zero and put in the line).
TEST_F(LineFormTest, TheBalancingCommandsOverLinesNotReadNameTheFile) {
  Open();
  const std::string month = MonthOf("OD ");
  const std::string second = LineWhere(month, [](const posting::LineRecord& r) { return r.key.substr(20, 4) == "0002"; });
  ASSERT_FALSE(second.empty());
  const posting::LineRecord before = LineOf(second);
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  TWSaiModDetJournaux* f = Modify(w, second);
  ASSERT_NE(f, nullptr);
  auto amounts = [f] { return f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE) + "|" + f->TextOf(kDebitF) + "|" + f->TextOf(kCreditF); };
  const std::string typed = amounts();
  for (unsigned command : {20077u, 20079u}) {
    SCOPED_TRACE(command);
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    test_support::RefusedRead::Arm("/c50je.dbf", 1, true);
    Send(f, command);
    test_support::RefusedRead::Disarm();
    ASSERT_EQ(Form(), f) << test_support::ShownTexts();
    const std::string shown = test_support::ShownTexts();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << shown;
    EXPECT_NE(shown.find("c50je"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Erreur BDE"), std::string::npos) << shown;
    if (command == 20077u) test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "balancing_lines_unread");
    EXPECT_EQ(amounts(), typed);
  }
  const posting::LineRecord after = LineOf(second);
  EXPECT_EQ(after.francs, before.francs);
  EXPECT_EQ(after.euros, before.euros);
  EXPECT_EQ(after.sense, before.sense);
  EXPECT_EQ(after.account, before.account);
}

// Account 51200000's euro debit total holding "abc": "Solder le Compte" proposes nothing and F12 saves
// nothing, each naming the total and advising the ReConstruction, the total's bytes as they were. Mended,
// and the line's own euros holding "abc" instead: F12 saves the line over them and names the totals that
// still count the old amount.
TEST_F(LineFormTest, NeitherTheBalanceNorTheSaveIsMadeFromATotalThatDoesNotRead) {
  Open();
  const test_support::RawRecords c20(folder_ + "c20je.dbf");
  std::uint32_t bankRecord = 0;
  for (std::uint32_t n = 1; n <= c20.Count() && bankRecord == 0; ++n)
    if (c20.Field(c20.Record(n), "CCODE").rfind("51200000", 0) == 0) bankRecord = n;
  ASSERT_NE(bankRecord, 0u);
  const std::string sound = c20.Record(bankRecord);
  c20.Put(bankRecord, "CDEBITE", "abc");
  const std::string damaged = c20.Record(bankRecord);
  const std::string month = MonthOf("BQ ");
  const std::string key = LineWhere(month, [](const posting::LineRecord& r) { return r.account == "51200000"; });
  ASSERT_FALSE(key.empty());
  const posting::LineRecord before = LineOf(key);
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  TWSaiModDetJournaux* f = Modify(w, key);
  ASSERT_NE(f, nullptr);
  const auto amounts = [f] { return f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE) + "|" + f->TextOf(kSense); };
  const std::string loaded = amounts();
  const auto lastBox = [] {
    const auto& shown = gui::ModalSeam::Shown();
    return shown.empty() ? gui::ShownModal{} : shown.back();
  };
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(f, 20081);
  gui::ShownModal box = lastBox();
  EXPECT_EQ(amounts(), loaded) << "a balance proposed from a total that does not read";
  for (const char* said : {"C20 enregistrement", "51200000", "ReConstruction"})
    EXPECT_NE(box.text.find(said), std::string::npos) << said << "\n" << test_support::ShownTexts();
  test_support::ScreenshotMessage(box, "entry", "unread_total_no_balance");

  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  f->EditOf(kLabel1)->SetText("Libelle corrige");
  FocusOnControl(f, kLabel1);
  Key(gui::VK_F12);
  box = lastBox();
  EXPECT_EQ(Form(), f) << "the form keeps what was typed";
  for (const char* said : {"Rien n'a \xE9t\xE9 modifi\xE9", "51200000", "ReConstruction"})
    EXPECT_NE(box.text.find(said), std::string::npos) << said << "\n" << test_support::ShownTexts();
  EXPECT_EQ(c20.Record(bankRecord), damaged);
  EXPECT_EQ(LineOf(key).label1, before.label1);
  test_support::ScreenshotMessage(box, "entry", "unread_total_save_refused");

  // The total mended, the line's own euros damaged: saved over them, the totals named.
  c20.Put(bankRecord, "CDEBITE", c20.Field(sound, "CDEBITE"));
  test_support::RawRecords(folder_ + "c50je.dbf").Put(before.recno, "BMONTANTE", "abc");
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  FocusOnControl(f, kLabel1);
  Key(gui::VK_F12);
  EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  box = lastBox();
  for (const char* said : {"ne sont plus ceux de leurs lignes", "compte 51200000", "journal BQ", "ReConstruction"})
    EXPECT_NE(box.text.find(said), std::string::npos) << said << "\n" << test_support::ShownTexts();
  EXPECT_EQ(ToCents(LineOf(key).euros), ToCents(before.euros));
  test_support::ScreenshotMessage(box, "entry", "own_unread_amount_saved");
}

// A line whose euro amount holds "12,34" (read by the lenient reading as 12.00) opened for a change:
// the form shows the euros as every report reads them, nothing, the francs as they are, and says
// once, with the text stored, that it does not read.
TEST_F(LineFormTest, AnAmountThatDoesNotReadShowsAsTheReportsReadIt) {
  Open();
  const std::string month = MonthOf("OD ");
  const std::string key = LineWhere(month, [](const posting::LineRecord& r) { return r.francs != 0 && r.euros != 0; });
  ASSERT_FALSE(key.empty());
  const posting::LineRecord line = LineOf(key);
  test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(line.recno, "BMONTANTE", "12,34");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  TWSaiModDetJournaux* f = Modify(w, key);
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE), "|");
  EXPECT_EQ(f->TextOf(line.sense == 'D' ? kDebitF : kCreditF), AmountDigits(line.francs));
  std::vector<gui::ShownModal> told;
  for (const auto& shown : gui::ModalSeam::Shown())
    if (shown.caption == "ATTENTION - Montants illisibles") told.push_back(shown);
  ASSERT_EQ(told.size(), 1u) << test_support::ShownTexts();
  EXPECT_NE(told[0].text.find("\xAB 12,34 \xBB"), std::string::npos) << told[0].text;
  test_support::ScreenshotMessage(told[0], "entry", "unreadable_amount_loaded");
  test_support::Screenshot(f->Widget(), "entry", "unreadable_amount_form");

  // Its account's total counts the amount that does not read: "Solder le Compte" cannot take it off,
  // and proposes nothing.
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(f, 20081);
  EXPECT_EQ(f->TextOf(kDebitE) + "|" + f->TextOf(kCreditE), "|") << "a balance counting the unread amount as zero";
  ASSERT_FALSE(gui::ModalSeam::Shown().empty());
  const gui::ShownModal& refused = gui::ModalSeam::Shown().back();
  for (const std::string& said : {std::string("Le solde n'est pas propos\xE9"), Trimmed(line.account), std::string("Saisissez")})
    EXPECT_NE(refused.text.find(said), std::string::npos) << said << "\n" << refused.text;
  test_support::ScreenshotMessage(refused, "entry", "own_unread_amount_no_balance");
}

// The entry-models list asked by "Autre Modèle" (button 1268) as a lookup: the request stands at 258-283,
// the list opens, the model chosen comes back, its text replaces the slot's and its first line applies.
TEST_F(LineFormTest, AnotherModelComesBackFromTheModelsList) {
  Open();
  const std::string month = MonthOf("OD ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  Key('P', test_support::kControlModifier);
  TWSaiModDetJournaux* f = Form();
  ASSERT_NE(f, nullptr);
  gui::SendCommand(f->GetHandle(), 1268);
  const std::string request = RegistryText(258, 26);
  EXPECT_EQ(request, std::string(8, ' ') + StrInt(posting::SlotPosition(0) + posting::kPartnerOffset + 1, 4) +
                         RegistryText(posting::SlotPosition(0) + posting::kPartnerOffset + 1, 10) + "1268");
  gui::ProcessPendingMessages();
  auto* list = dynamic_cast<TWDonBroModeles*>(gui::Window::FromHandle(SlotHandle(247)));
  ASSERT_NE(list, nullptr) << "20307 opened the models list";
  ASSERT_TRUE(list->LocateCode("LOYER"));
  gui::PostCommand(list->GetHandle(), browse_cmd::Entree);
  gui::ProcessPendingMessages();
  EXPECT_EQ(SlotModelText[0].substr(0, 12), "CC=61320000 ");
  EXPECT_EQ(f->TextOf(kAccount), "61320000");
  EXPECT_EQ(f->TextOf(kLabel1), "Loyer du mois") << "the label blank-filled to its width, the keywords after it kept";
  EXPECT_EQ(f->TextOf(kDebitE), "1500.00");
  EXPECT_EQ(RegistryText(258, 8), std::string(8, ' ')) << "the answer was taken";
  // "Modèle": the model's next line.
  Send(f, 20129);
  EXPECT_EQ(f->TextOf(kAccount), "44566000");
  // Asked again while the list is open: the list comes forward and takes the new request.
  gui::SendCommand(f->GetHandle(), 20131);
  gui::ProcessPendingMessages();
  EXPECT_EQ(dynamic_cast<TWDonBroModeles*>(gui::Window::FromHandle(SlotHandle(247))), list);
  ASSERT_TRUE(list->LocateCode("ASSUR"));
  gui::PostCommand(list->GetHandle(), browse_cmd::Entree);
  gui::ProcessPendingMessages();
  EXPECT_EQ(f->TextOf(kAccount), "61600000");
  EXPECT_EQ(f->TextOf(kLabel1), "Prime annuelle");
  EXPECT_EQ(f->TextOf(kDebitE), "840.00");
  Send(f, 20023);
}

// The four layouts of constant 061, each kept as a picture in <build>/test-artefacts/entry/.
TEST_F(LineFormTest, TheLayoutsOfConstant061AreLaidOut) {
  Open();
  const std::string month = MonthOf("AC ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  const std::string key = LineWhere(month, [](const posting::LineRecord& r) { return r.account[0] == 'F'; });
  const struct {
    const char* constant;
    Layout layout;
    bool labels23;
  } cases[] = {{"A", Layout::A, false}, {"B", Layout::B, true}, {"C", Layout::C, true}, {"NOR", Layout::Plain, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.constant);
    TheDossierRecord.SetConstant(61, c.constant);
    TWSaiModDetJournaux* f = Modify(w, key);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->LayoutShown(), c.layout);
    EXPECT_EQ(f->ControlOf(kLabel2)->IsWindowVisible(), c.labels23);
    EXPECT_EQ(f->ControlOf(kLabel3)->IsWindowVisible(), c.labels23);
    EXPECT_TRUE(f->ControlOf(kDebitF)->IsWindowVisible());
    // Every control placed stands inside the form's grid, none on another.
    const gui::Rect client = f->GetClientRect();
    for (int id : {kDay, kAccount, kLabel1, kDebitE, kCreditE, kSense, kBalance, kEuros}) {
      const gui::Rect r = f->ControlOf(id)->GetWindowRect();
      EXPECT_GT(r.w, 0) << id;
      EXPECT_LE(r.x + r.w, client.w + 2) << id;
    }
    test_support::Screenshot(MainFrame->Widget(), "entry", std::string("line_form_") + c.constant);
    Send(f, 20023);
  }
}

// Another station and the form: the line's lock held while the form is open and free once it closes; a save
// whose lock is taken meanwhile changes nothing, says so, and keeps the form; the journal-month stays in
// entry, its header locked, all along.
TEST_F(LineFormTest, ASaveWhoseLockIsTakenChangesNothing) {
  std::string month, key;
  std::uint32_t recno = 0;
  {
    DossierCode = "JE";
    DossierFolder = folder_;
    month = MonthOf("BQ ");
    key = LineWhere(month, [](const posting::LineRecord& r) { return r.account == "51200000" && r.entry == 'O'; });
    Table c50;
    ASSERT_TRUE(c50.OpenShared(folder_ + "c50je", L::kCodeTag, true));
    ASSERT_TRUE(posting::FindLine(c50, key).IsFound());
    recno = c50.recordNumber;
  }
  const std::string folder = folder_;
  test_support::OtherProcess station([folder, month, recno](char cmd) {
    static Table c50, c10;
    if (!c50.isOpen && !(c50.OpenShared(folder + "c50je", L::kCodeTag) && c10.OpenShared(folder + "c10je", "C10CODE")))
      return false;
    switch (cmd) {
      case 'l': return c50.GoTo(static_cast<long>(recno)) && LockRecord(c50, nullptr, 0);
      case 'u': return c50.GoTo(static_cast<long>(recno)) && UnlockRecord(c50);
      case 'h': return posting::FindHeader(c10, month, posting::kDraftSource).IsFound() && LockRecord(c10, nullptr, 0);
      case 'H': return posting::FindHeader(c10, month, posting::kDraftSource).IsFound() && UnlockRecord(c10);
      default: return false;
    }
  });
  Open();
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  TWSaiModDetJournaux* f = Modify(w, key);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->HoldsLine());
  EXPECT_FALSE(station.Do('l')) << "the form holds the line";
  EXPECT_TRUE(IsJournalInEntry(month.c_str()));
  EXPECT_FALSE(station.Do('h')) << "the lines window holds the header";

  const posting::LineRecord before = LineOf(key);
  const auto bank = AccountTotals("51200000");
  const posting::HeaderTotals header = HeaderOf(month);
  f->ReleaseLineLockForTest();
  ASSERT_TRUE(station.Do('l'));
  f->EditOf(kLabel1)->SetText("Pris par l'autre poste");
  const int side = before.sense == 'D' ? kDebitE : kCreditE;
  f->EditOf(side)->SetText("999.99");
  Notices().clear();
  gui::ModalSeam::Reset();
  FocusOnControl(f, kLabel1);
  Key(gui::VK_F12);
  EXPECT_EQ(Form(), f) << "the form keeps what was typed";
  EXPECT_EQ(Notices().size(), 1u) << "the lock notice, once";
  EXPECT_NE(test_support::ShownTexts().find("bloqu\xE9" "e par un autre poste"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(LineOf(key).label1, before.label1);
  EXPECT_EQ(LineOf(key).euros, before.euros);
  EXPECT_EQ(AccountTotals("51200000"), bank);
  EXPECT_EQ(HeaderOf(month).debitE, header.debitE);
  EXPECT_EQ(HeaderOf(month).creditE, header.creditE);
  EXPECT_TRUE(IsJournalInEntry(month.c_str()));

  // The station lets it go: the same F12 saves, and the form's lock goes with the form.
  ASSERT_TRUE(station.Do('u'));
  FocusOnControl(f, kLabel1);
  Key(gui::VK_F12);
  EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(std::string(RTrim(LineOf(key).label1.c_str())), "Pris par l'autre poste");
  EXPECT_EQ(ToCents(LineOf(key).euros), 99999);
  EXPECT_TRUE(station.Do('l')) << "free once the form closed";
  EXPECT_TRUE(station.Do('u'));
  EXPECT_TRUE(IsJournalInEntry(month.c_str()));
  EXPECT_FALSE(station.Do('h')) << "the header stays locked after the save";
  ExpectInvariants("after the saves under another station");
}

// A write refused while the form saves a line (the line's record, the header's new totals): the save fails,
// says so in one box naming the file refused (never the engine's box), the form keeps what was typed, and
// the line and its totals are as before; the same F12 then saves. Refused for good from the header's new totals on, nothing can be put
// back, and the form says what the totals need.
TEST_F(LineFormTest, AWriteRefusedWhileALineIsSavedFailsAndSaysSo) {
  Open();
  const BankLine bankLine = OpenBankLine();
  const std::string &month = bankLine.month, &key = bankLine.key;
  TWSaiBroDetJournaux* w = bankLine.window;
  ASSERT_NE(w, nullptr);
  TWSaiModDetJournaux* f = bankLine.form;
  ASSERT_NE(f, nullptr);
  const posting::LineRecord before = LineOf(key);
  const auto bank = AccountTotals("51200000");
  const posting::HeaderTotals header = HeaderOf(month);
  const int side = before.sense == 'D' ? kDebitE : kCreditE;
  auto save = [&] {
    gui::ModalSeam::Reset();
    FocusOnControl(f, kLabel1);
    Key(gui::VK_F12);
    test_support::RefusedWrite::Disarm();
  };
  const struct {
    const char* what;
    const char* file;
    int nth;
  } refusals[] = {{"the line's record", "c50je.dbf", 1}, {"the header's new totals", "c10je.dbf", 2}};
  for (const auto& c : refusals) {
    SCOPED_TRACE(c.what);
    f->EditOf(side)->SetText("123.45");
    test_support::RefusedWrite::Arm(c.file, c.nth, platform::WriteFault::kFailOnce);
    save();
    ASSERT_EQ(Form(), f) << "the form keeps what was typed";
    EXPECT_EQ(test_support::ShownTexts().find("Erreur BDE"), std::string::npos) << test_support::ShownTexts();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
    const std::string& said = gui::ModalSeam::Shown()[0].text;
    EXPECT_EQ(said.rfind("La ligne n'a pas \xE9t\xE9 enregistr\xE9" "e", 0), 0u) << said;
    EXPECT_NE(said.find(c.file), std::string::npos) << said;
    if (c.nth == 1) test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "line_save_refused");
    EXPECT_EQ(test_support::ShownTexts().find("ReConstruction"), std::string::npos) << test_support::ShownTexts();
    EXPECT_EQ(ToCents(LineOf(key).euros), ToCents(before.euros));
    EXPECT_EQ(AccountTotals("51200000"), bank);
    EXPECT_EQ(HeaderOf(month).debitE, header.debitE);
    EXPECT_EQ(HeaderOf(month).creditE, header.creditE);
  }
  save();
  EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(ToCents(LineOf(key).euros), 12345);
  ExpectInvariants("after the saves refused once");

  f = Modify(w, key);
  ASSERT_NE(f, nullptr);
  f->EditOf(side)->SetText("200.00");
  test_support::RefusedWrite::Arm("c10je.dbf", 2, platform::WriteFault::kFailForGood);
  save();
  EXPECT_EQ(Form(), f);
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
    if (shown.text.find("ouvrez-le de nouveau") != std::string::npos)
      test_support::ScreenshotMessage(shown, "entry", "line_save_not_put_back");
  // Not put back: reopening the dossier finishes the save, no rebuild advised.
  EXPECT_NE(test_support::ShownTexts().find("n'a pas pu \xEAtre d\xE9" "fait"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(test_support::ShownTexts().find("ReConstruction"), std::string::npos) << test_support::ShownTexts();
}

// A dossier kept in euros only: the franc fields are hidden, "En Euros" stays checked whatever the click, and
// a piece whose francs would miss a cent asks for no rounding line: its balanced euros start a new piece.
class EuroOnlyLineFormTest : public LineFormTest {
 protected:
  DossierCurrency Currency() const override { return DossierCurrency::EuroOnly; }
};

TEST_F(EuroOnlyLineFormTest, NoFrancsAndNoRoundingLine) {
  Open();
  ASSERT_TRUE(DossierIsEuroOnly());
  const std::string month = MonthOf("OD ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  Key('P', test_support::kControlModifier);
  TWSaiModDetJournaux* f = Form();
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->EurosBox()->IsChecked());
  EXPECT_FALSE(f->ControlOf(kDebitF)->IsWindowVisible());
  EXPECT_FALSE(f->EurosBox()->IsWindowVisible());
  f->EurosBox()->SetValue(false, false);
  Send(f, 1248);
  EXPECT_TRUE(f->EurosBox()->IsChecked());
  EXPECT_FALSE(f->EurosBox()->IsModified());
  test_support::Screenshot(MainFrame->Widget(), "entry", "line_form_euro_only");
  const std::string piece = f->Key().substr(0, 14);
  const struct {
    const char* account;
    int side;
    const char* amount;
  } lines[] = {{"62700000", kCreditE, "0.10"}, {"62600000", kCreditE, "0.10"}, {"51200000", kDebitE, "0.20"}};
  for (const auto& l : lines) {
    f = Form();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Key().substr(0, 14), piece);
    FocusOnControl(f, kAccount);
    Field(l.account);
    FocusOnControl(f, l.side);
    Field(l.amount);
  }
  EXPECT_EQ(RoundingLineFlag, 0);
  f = Form();
  ASSERT_NE(f, nullptr) << "a new piece";
  EXPECT_NE(f->Key().substr(0, 14), piece);
  Send(f, 20023);
  ExpectInvariants("after a piece in euros only");
}

// An amount in euros that its own field holds but whose francs no field holds (16 000 000 000,00 € are
// 104 953 120 000,00 F, shown as asterisks and read as 0): refused on Enter by name, with the largest amount
// a line takes, nothing written; 15 000 000 000,00 € save with their whole francs, never 0. The same in a
// dossier kept only in euros, whose lines still store their francs.
class FrancsPastTheirFieldTest : public LineFormTest, public ::testing::WithParamInterface<DossierCurrency> {
 protected:
  DossierCurrency Currency() const override { return GetParam(); }
};

TEST_P(FrancsPastTheirFieldTest, AnAmountWhoseFrancsNoFieldHoldsIsRefusedByName) {
  Open();
  ASSERT_EQ(DossierIsEuroOnly(), GetParam() == DossierCurrency::EuroOnly);
  TWSaiModDetJournaux* f = NewPurchaseLine();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  const std::string key = f->Key();
  FocusOnControl(f, kDebitE);
  gui::ModalSeam::Reset();
  Field("16000000000,00");
  ASSERT_EQ(Form(), f) << "the form stays open";
  EXPECT_EQ(f->TextOf(kMessage), "Le Montant est trop grand: 15 244 901 723,74 au plus");
  EXPECT_EQ(FocusedId(f), kDebitE);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  const posting::LineRecord untouched = LineOf(key);
  EXPECT_TRUE(IsBlank(untouched.account));
  EXPECT_EQ(untouched.francs, 0.0);
  EXPECT_EQ(untouched.euros, 0.0);
  test_support::Screenshot(MainFrame->Widget(), "entry",
                           GetParam() == DossierCurrency::EuroOnly ? "line_form_euro_only_francs_past_their_field"
                                                                   : "line_form_francs_past_their_field");

  Field("15000000000,00");
  const posting::LineRecord saved = LineOf(key);
  EXPECT_TRUE(saved.live);
  EXPECT_EQ(ToCents(saved.euros), 1'500'000'000'000);
  EXPECT_EQ(ToCents(saved.francs), 9'839'355'000'000) << "the whole francs, never 0";

  // Its totals in francs hold what a line takes: 2 000 000 000,00 € more on the next line are refused by the
  // total that cannot hold them, said to be the francs'.
  f = Form();
  ASSERT_NE(f, nullptr) << "the next line proposed";
  const std::string next = f->Key();
  FocusOnControl(f, kAccount);
  Field("607");
  FocusOnControl(f, kDebitE);
  gui::ModalSeam::Reset();
  Field("2000000000,00");
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("son total en francs ne pouvant d\xE9passer 99 999 999 999,99"),
            std::string::npos)
      << gui::ModalSeam::Shown()[0].text;
  EXPECT_EQ(LineOf(next).euros, 0.0);
  if (Form() != nullptr) Key(gui::VK_F9);
  ExpectInvariants("after an amount past the francs");
}

INSTANTIATE_TEST_SUITE_P(BothCurrencies, FrancsPastTheirFieldTest,
                         ::testing::Values(DossierCurrency::EuroMain, DossierCurrency::EuroOnly),
                         [](const ::testing::TestParamInfo<DossierCurrency>& i) {
                           return std::string(i.param == DossierCurrency::EuroOnly ? "EuroOnly" : "EuroMain");
                         });

}  // namespace
}  // namespace entry_test

namespace entry_test {
namespace {

using namespace line_form;

// Amounts as a French bookkeeper types them: "1000,00" is a thousand (the comma is the decimal point), and
// twenty digits in the Crédit are refused on Enter with one message in the form, before anything is written:
// no box, the new line left as it was (no account, no amount), the form open on the amount; once corrected
// the line saves, and no line without account is left in the piece.
TEST_F(LineFormTest, ACommaIsTheDecimalMarkAndATooLargeAmountIsRefusedBeforeAnyWrite) {
  Open();
  const std::string month = MonthOf("AC ");
  TWSaiModDetJournaux* f = NewPurchaseLine();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  const std::string key = f->Key();
  FocusOnControl(f, kCreditE);
  Type("1000,00");
  EXPECT_EQ(f->TextOf(kCreditE), "1000.00");

  gui::ModalSeam::Reset();
  Field("12345678901234567890");
  ASSERT_EQ(Form(), f) << "the form stays open";
  EXPECT_EQ(f->TextOf(kCreditE).substr(0, 12), "123456789012") << "the field keeps what it holds";
  // In euros the largest amount a line takes is the one whose francs its field still holds.
  EXPECT_EQ(f->TextOf(kMessage), "Le Montant est trop grand: 15 244 901 723,74 au plus");
  EXPECT_EQ(FocusedId(f), kCreditE);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  const posting::LineRecord untouched = LineOf(key);
  EXPECT_TRUE(IsBlank(untouched.account));
  EXPECT_EQ(untouched.euros, 0.0);
  test_support::Screenshot(MainFrame->Widget(), "entry", "line_form_amount_too_large");

  // Corrected with a comma: the line saves with a thousand.
  Field("1000,50");
  const posting::LineRecord saved = LineOf(key);
  EXPECT_TRUE(saved.live);
  EXPECT_EQ(saved.account, "60700000");
  EXPECT_EQ(saved.euros, 1000.50);
  EXPECT_EQ(saved.sense, 'C');
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  // The next line proposed, given up with "Quitter".
  if (Form() != nullptr) Key(gui::VK_F9);
  EXPECT_EQ(Form(), nullptr);
  EXPECT_EQ(LineWhere(month, [](const posting::LineRecord& r) { return IsBlank(r.account); }), "")
      << "no line without account";
  ExpectInvariants("after the amounts typed");
}

}  // namespace
}  // namespace entry_test

namespace entry_test {
namespace {

using namespace line_form;

// The Débit takes every amount its message allows, "99999999999,99" whole and not a character more. Typed on
// a bank line (in francs) whose account already stands at 1 235 567,89, Return refuses it in one sentence
// naming the account and the largest amount it takes (its own old amount comes off first): no engine box,
// the line and every total as they were, the form open on the amount.
TEST_F(LineFormTest, AnAmountItsAccountsTotalCannotHoldIsRefusedInOneSentence) {
  Open();
  const std::string month = MonthOf("BQ ");
  const std::string key = BankDebitLineAt(month, 1235567.89);
  ASSERT_FALSE(key.empty());
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  TWSaiModDetJournaux* f = Modify(w, key);
  ASSERT_NE(f, nullptr);
  const posting::LineRecord before = LineOf(key);
  const auto bank = AccountTotals("51200000");
  const posting::HeaderTotals header = HeaderOf(month);
  ASSERT_LT(header.debitF, 123556789) << "the account's total is the one that cannot hold the amount";
  TypeInFrancs(f, kDebitF, "99999999999,999");
  EXPECT_EQ(f->TextOf(kDebitF), "99999999999.99") << "the field holds what its message allows, no more";
  test_support::Screenshot(MainFrame->Widget(), "entry", "line_form_largest_amount");

  gui::ModalSeam::Reset();
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  ASSERT_EQ(Form(), f) << "the form stays open";
  const long long largest = posting::kLargestAmountCents - (123556789 - ToCents(before.francs));
  const std::string amount = GroupedAmountText(largest);
  const std::string said = FillPlaceholders(LoadStr(posting::kMsgAccountTotalTooLarge), {"51200000", amount});
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, said);
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "line_total_too_large");
  EXPECT_EQ(FocusedId(f), kDebitF);
  const posting::LineRecord after = LineOf(key);
  EXPECT_EQ(ToCents(after.francs), ToCents(before.francs));
  EXPECT_EQ(ToCents(after.euros), ToCents(before.euros));
  EXPECT_EQ(AccountTotals("51200000"), bank);
  EXPECT_EQ(HeaderOf(month).debitF, header.debitF);
  EXPECT_EQ(HeaderOf(month).debitE, header.debitE);
}

// An amount shown as the reports print it: grouped whole by threes, two decimals, then " Db" or " Cr"
// for a balance.
bool GroupedWhole(const std::string& text) {
  std::string amount = Trimmed(text);
  if (amount.size() > 3 && (amount.ends_with(" Db") || amount.ends_with(" Cr"))) amount.resize(amount.size() - 3);
  const std::size_t point = amount.find('.');
  if (point == std::string::npos || point == 0 || amount.size() != point + 3) return false;
  for (std::size_t i = 0; i < point; ++i) {
    const bool blank = (point - i) % 4 == 0;
    if (blank ? amount[i] != ' ' : !std::isdigit(static_cast<unsigned char>(amount[i]))) return false;
  }
  return true;
}

// The plain layout at the widest amounts: the account's balance beside it at 99 999 999 999,99, a line
// typed at 99 999 999 999,99 francs. The piece's totals, its balance and the account's balance show
// whole and grouped, each inside its control, at the form's opening width and at its narrowest (the
// columns at their least width), and the amount typed moves no control.
TEST_F(LineFormTest, TheWidestAmountsShowWholeAndGroupedInTheirPlaces) {
  Open();
  const std::string month = MonthOf("BQ ");
  const std::string key = BankDebitLineAt(month, 99999999999.99);
  ASSERT_FALSE(key.empty());
  {
    Table c20;
    const test_support::SetUpPermit permit("total mis en place");
    ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE") && c20.Seek("C20CODE", "51200000") && c20.PutFieldNum(19, 0));
  }
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  TWSaiModDetJournaux* f = Modify(w, key);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->LayoutShown(), Layout::Plain);
  auto places = [f] {
    std::map<int, std::array<int, 4>> at;
    for (int id = 1201; id <= 1292; ++id)
      if (gui::Window* c = f->ControlOf(id)) {
        const gui::Rect r = c->GetWindowRect();
        at[id] = {r.x, r.y, r.w, r.h};
      }
    return at;
  };
  const auto small = places();
  TypeInFrancs(f, kDebitF, "99999999999,99");
  ASSERT_EQ(f->TextOf(kDebitF), "99999999999.99");
  EXPECT_TRUE(places() == small) << "a control moved with the amount";
  EXPECT_NE(f->TextOf(kAccountInfo).find("\n99 999 999 999.99 Db "), std::string::npos) << f->TextOf(kAccountInfo);
  EXPECT_EQ(Trimmed(f->TextOf(kDebitTotalF)).size(), 17u) << f->TextOf(kDebitTotalF);
  auto whole = [f](const char* where) {
    for (int id : {kDebitTotalF, kCreditTotalF, kDebitTotalE, kCreditTotalE, kBalance, kAccountInfo}) {
      auto* c = dynamic_cast<gui::Control*>(f->ControlOf(id));
      ASSERT_NE(c, nullptr) << id;
      const std::string text = c->GetText();
      const std::string amount = id == kAccountInfo ? text.substr(text.find('\n') + 1, 20) : text;
      EXPECT_TRUE(GroupedWhole(amount)) << where << ", " << id << ": \"" << text << "\"";
      // Inside its frame, a pixel each side.
      EXPECT_LE(c->TextWidth() + 2, c->GetWindowRect().w) << where << ", " << id << ": \"" << text << "\"";
    }
  };
  whole("at the opening width");
  test_support::Screenshot(MainFrame->Widget(), "entry", "line_form_widest_amounts");
  const gui::Rect opening = f->GetWindowRect();
  f->MoveWindow(gui::Rect{opening.x, opening.y, 200, opening.h});
  gui::ProcessPendingMessages();
  whole("at the narrowest width");
  test_support::Screenshot(MainFrame->Widget(), "entry", "line_form_widest_amounts_narrow");
}

}  // namespace
}  // namespace entry_test
