// Working date and dossier properties: the dialog's tests on OK (answered
// through the modal seam) and what it writes into the dossier record and C10.
#include "dossier_window_test.h"
#include "dossier/dossier_properties.h"
#include "dossier/working_date.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace backup_test {
namespace {

using gui::ModalKind;
using gui::ModalSeam;
using D = TDFicAProposDossier;

// The refusals and the question of the dialog, by their ids in the string table.
constexpr int kMsgBadEuroRate = 1188;
constexpr int kMsgBadWorkingDate = 1192;
constexpr int kMsgYearDatesInconsistent = 1195;
constexpr int kMsgNameIncomplete = 1196;
constexpr int kMsgWorkingBeforeYear = 1197;
constexpr int kAskLaterYearStart = 2509;  // the stored start of the year

class PropertiesTest : public DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    CreateAndOpen();
  }
};

TEST_F(PropertiesTest, RefusalsOnOk) {
  struct Case {
    int mode;
    std::map<int, std::string> fields;
    int message;
    int focus;
  } cases[] = {
      {1, {{D::kWorkingDate, "31/02/24"}}, kMsgBadWorkingDate, D::kWorkingDate},
      {1, {{D::kWorkingDate, "31/12/23"}}, kMsgWorkingBeforeYear, D::kWorkingDate},
      {2, {{D::kPostalCode, ""}, {D::kSiren, ""}}, kMsgNameIncomplete, D::kPostalCode},
      {2,
       {{D::kPostalCode, "75001"}, {D::kTown, "PARIS"}, {D::kYearStart, "01/06/24"}, {D::kYearEnd, "31/05/24"}},
       kMsgYearDatesInconsistent,
       D::kYearEnd},
      // The rate is tested in every mode, whatever the currency setting.
      {1, {{D::kParity, "0"}}, kMsgBadEuroRate, D::kParity},
  };
  DossierIniSet("Monnaie", "SeulementEnEuros", "N");
  for (const Case& c : cases) {
    const DossierRecord before = TheDossierRecord;
    ModalSeam::Reset();
    D dialog(nullptr, c.mode);
    ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
      test_support::Screenshot(w.Widget(), "dossier", "properties");
      for (const auto& [id, text] : c.fields) static_cast<gui::Dialog&>(w).SetItemText(id, text);
    });
    EXPECT_EQ(dialog.Execute(gui::MB_TASKMODAL), gui::IDCANCEL) << c.message;
    const gui::ShownModal* box = ModalSeam::LastShown();
    ASSERT_TRUE(box != nullptr && box->kind == ModalKind::MessageBox) << c.message;
    EXPECT_EQ(box->text.rfind(LoadStr(c.message), 0), 0u) << box->text;
    EXPECT_EQ(dialog.FocusedOnRefusal(), c.focus) << c.message;
    EXPECT_EQ(TheDossierRecord.Text(), before.Text()) << c.message;
  }
}

TEST_F(PropertiesTest, PropertiesAreWrittenToTheRecordAndToC10) {
  ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    d.SetItemText(D::kName, "SAS L'\xC9T\xC9");
    d.SetItemText(D::kNumber, "12");
    d.SetItemText(D::kPostalCode, "69001");
    d.SetItemText(D::kTown, "LYON");
    d.SetItemText(D::kSiren, "123456789");
    d.SetItemText(D::kApe, "6920Z");
    d.SetItemText(D::kNextPiece, "42");
    d.SetItemText(D::kParity, "6,55957");
    d.SetItemText(D::kYearStart, "01/02/24");  // later than before: asked
    d.SetItemText(D::kWorkingDate, "15/03/24");
    d.SetItemSel(D::kAnalytic, 2);
    d.SetCheck(D::kEuroMain, gui::BST_UNCHECKED);
  });
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  const std::string storedStart = TheDossierRecord.Get(DossierRecord::kYearStartPos, 8);
  CmFichierAProposDossier();
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  // The question names the start of the year as it was stored.
  EXPECT_EQ(ModalSeam::Shown()[1].text, FillPlaceholder(LoadStr(kAskLaterYearStart), storedStart));

  TheDossierRecord.Clear();
  ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
  ASSERT_TRUE(ReadC10Texts());
  TableC10->CloseTable(true);
  const DossierRecord& r = TheDossierRecord;
  EXPECT_EQ(r.Get(1, 30), "SAS L'\xC9T\xC9" + std::string(21, ' '));
  EXPECT_EQ(r.Get(121, 30), "Siret:123456789      Ape:6920Z");
  EXPECT_EQ(r.NextPiece(), "000042");
  EXPECT_DOUBLE_EQ(r.Parity(), 6.55957);
  EXPECT_EQ(r.At(DossierRecord::kEuroMainPos), 'N');
  EXPECT_EQ(r.AnalyticMode(), '2');
  EXPECT_EQ(r.DateDisplay(DossierRecord::DateField::YearStart), "01/02/24");
}

}  // namespace
}  // namespace backup_test
