// The line form entered with the keyboard only, as a bookkeeper types a purchase piece: Ctrl+P in the lines
// window opens the form on a new piece with the journal's model applied, the fields are typed with Enter
// between them (the account through the help character and F8), Enter in the amount saves and proposes the
// next line, F12 saves the last one; the lines, their sort records and the totals read back with dbfread.
#include "line_form_fixture.h"

#include "framework/lookup_dialog.h"

namespace entry_test {
namespace {

using namespace line_form;

// A label is its line's last value: it stops at the end of the line.
constexpr const char* kPurchaseModel =
    "CC=607      CL=1 DC=D MO=100 LI=Achat de marchandises\r\n"
    "CC=44566000 CL=1 DC=D MO=20 LI=TVA d\xE9" "ductible\r\n"
    "CL=1 DC=C MO=SOLDE\r\n";

// The lines, their sort records and the totals of a purchase typed as a bookkeeper types it.
TEST_F(LineFormTest, APurchasePieceIsTypedWithTheKeyboardOnly) {
  GiveJournalModel("AC ", "ACHAT", kPurchaseModel);
  Open();
  const std::string month = MonthOf("AC ");
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  const entry::HeaderTotals before = HeaderOf(month);
  const auto purchasesBefore = AccountTotals("60700000");
  const long rowsBefore = w->Store().totalRows;

  // Ctrl+P: a new piece, the model's first line applied, the day proposed.
  Key(Qt::Key_P, Qt::ControlModifier);
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
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(FocusedId(f), kLabel1);
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
  Field("Bon 4711");
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
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
  for (int i = 0; i < 7; ++i) Key(Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(FocusedId(f), kDebitE);
  Field("200");

  // The supplier: typed with the help character, then looked up again with F8, in the chart's lookup.
  f = Form();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(f->TextOf(kCreditE), "1200.00") << "the model balances the piece";
  EXPECT_EQ(f->TextOf(kSense), "Cr\xE9" "dit");
  EXPECT_EQ(FocusedId(f), kDay);
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
  ASSERT_EQ(FocusedId(f), kAccount);
  std::string offered;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&offered](gui::Window& d) {
    auto& lookup = static_cast<TDAideFichier&>(d);
    offered = lookup.Rows().search;
    lookup.List()->SetSelIndex(0);
  });
  Key(Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
  Type("F*");
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(offered, "F");
  const std::string first = f->TextOf(kAccount);
  EXPECT_EQ(first.substr(0, 1), "F");
  // F8: the chart's lookup again, from the account shown; the user picks the next supplier.
  Key(Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
  Type("F");
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&offered](gui::Window& d) {
    auto& lookup = static_cast<TDAideFichier&>(d);
    offered = lookup.Rows().search;
    lookup.List()->SetSelIndex(1);
  });
  Key(Qt::Key_F8);
  EXPECT_EQ(offered, "F");
  const std::string supplier = f->TextOf(kAccount);
  EXPECT_EQ(supplier.substr(0, 1), "F");
  EXPECT_GT(supplier, first);
  EXPECT_EQ(FocusedId(f), kAccount);
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(FocusedId(f), kLabelCode);
  const std::string label = f->TextOf(kLabel1);
  EXPECT_EQ(label.substr(0, 15), "TVA d\xE9" "ductible\\") << "the account's name proposed after the label";
  Key(Qt::Key_F12);
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
}

}  // namespace
}  // namespace entry_test
