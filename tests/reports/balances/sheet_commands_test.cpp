// The balance sheet's commands driven as a user drives them, on a generated dossier "BS" opened
// through "Ouvrir dossier", the models R and S made by the build in the program folder:
// "Bilan Initialisation" (20508) asks, takes the dossier (refused while another station has
// it) and copies the model; "Bilan Calcul" (20509) refuses a C70 of another model, checks the
// period and runs the computation.
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/core/dossier_run_marker.h"
#include "platform/system/write_fault.h"
#include "controls/medit.h"
#include "platform/gui/modal_seam.h"
#include "reports/balances/balance_sheet_commands.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "resources/command_ids.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "support/dossier_fixture.h"
#include "support/line_files.h"
#include "support/window_amounts.h"

namespace {

namespace fs = std::filesystem;

class BalanceSheetCommandsTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallBalanceSheetCommands();
    for (const char* f : {"clbilanr.dbf", "cpbilanr.dbf", "cpbilanr.mdx", "clbilans.dbf", "cpbilans.dbf",
                          "cpbilans.mdx"})
      fs::copy_file(std::string(MERLON_BINARY_DIR) + "/models/" + f, ProgramFolder + f,
                    fs::copy_options::overwrite_existing);
    folder_ = MakeDossier("demo", "BS", 200);
    OpenThroughDialog(C10Path(folder_, "BS"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "BS") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
  }
  void TearDown() override {
    for (unsigned id : {command_id::EtaBilanInitialisation, command_id::EtaBilanCalcul}) SetCommandWork(id, {});
    DossierFixture::TearDown();
  }

  // The type character of C70 and its live lines, read by another cursor.
  std::pair<char, std::size_t> C70State() {
    Table c70;
    EXPECT_TRUE(c70.OpenShared(PathC70(), "C70CODE", true));
    std::vector<balances::SheetLine> lines;
    balances::LoadSheetLines(c70, lines);
    return {balances::HeaderType(c70), lines.size()};
  }

  void Initialise(const char* constant, std::initializer_list<int> answers) {
    TheDossierRecord.SetConstant(4, constant);
    SetDossierState(' ');
    for (int a : answers) gui::ModalSeam::QueueMessageBoxAnswer(a);
    RunSubjectCommand(20508);
    gui::ProcessPendingMessages();
  }

  // "Bilan Calcul" of model S over the whole year, confirmed: `before` runs just before the dialog's
  // button is pressed, `after` once the run ended. The message boxes shown, in order.
  std::vector<gui::ShownModal> ComputeWholeYear(const std::function<void()>& before,
                                                const std::function<void(TDEtaBilanCalcul&)>& after) {
    TheDossierRecord.SetConstant(4, "S  ");
    SetDossierState(' ');
    gui::ModalSeam::Reset();
    const std::string first = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart);
    const std::string last = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd);
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& d = dynamic_cast<TDEtaBilanCalcul&>(w);
      d.StartEdit()->SetValue(first, false);
      d.EndEdit()->SetValue(last, false);
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
      before();
      d.PressButton(gui::IDOK);
      after(d);
    });
    RunSubjectCommand(20509);
    std::vector<gui::ShownModal> boxes;
    for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
      if (shown.kind == gui::ModalKind::MessageBox) boxes.push_back(shown);
    return boxes;
  }

  std::string folder_;
};

TEST_F(BalanceSheetCommandsTest, TheInitialisationAsksTakesTheDossierAndCopiesTheModel) {
  // Another station has the dossier open: the exclusive hold is refused, nothing changes.
  {
    Table other;
    ASSERT_TRUE(other.OpenShared(DossierTablePath()));
    Initialise("S  ", {gui::IDOK});
    EXPECT_NE(test_support::ShownTexts().find("IMPOSSIBLE d'ouvrir le dossier en cours de mani\xE8re EXCLUSIVE"),
              std::string::npos);
    EXPECT_EQ(C70State().second, 0u);
  }
  gui::ModalSeam::Reset();
  Initialise("S  ", {gui::IDYES, gui::IDOK});
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u) << test_support::ShownTexts();
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("Aucun Bilan pour l'instant n'a \xE9t\xE9 initialis\xE9"),
            std::string::npos);
  EXPECT_NE(gui::ModalSeam::Shown()[1].text.find("Le Bilan est maintenant initialis\xE9"), std::string::npos);
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "balances", "initialisation_question");
  EXPECT_EQ(C70State().first, '3');
  EXPECT_EQ(GetDossierState(), '2');

  // Model R in place of S: the question names both; "Non" changes nothing.
  gui::ModalSeam::Reset();
  Initialise("R  ", {gui::IDNO});
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("Bilan 'REEL SIMPLIFIE 2033'"), std::string::npos);
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("Bilan 'REEL NORMAL 2050'"), std::string::npos);
  EXPECT_EQ(C70State().first, '3');
  Initialise("R  ", {gui::IDYES, gui::IDOK});
  EXPECT_EQ(C70State().first, '0');

  // A model whose files are missing: the message, C70 untouched.
  const auto before = C70State();
  gui::ModalSeam::Reset();
  Initialise("B  ", {gui::IDYES, gui::IDOK});
  EXPECT_NE(test_support::ShownTexts().find("'CLBILAN?.DBF' est introuvable"), std::string::npos);
  EXPECT_EQ(C70State(), before);
  EXPECT_TRUE(OpenDossierExclusive(true)) << "the dossier was given back";
  EXPECT_TRUE(ReleaseDossierExclusive());
}

TEST_F(BalanceSheetCommandsTest, TheComputationChecksTheModelAndThePeriodAndRuns) {
  Initialise("S  ", {gui::IDYES, gui::IDOK});
  ASSERT_EQ(C70State().first, '3');

  // C70 of model S while constant 004 says R: refused.
  gui::ModalSeam::Reset();
  TheDossierRecord.SetConstant(4, "R  ");
  SetDossierState(' ');
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  RunSubjectCommand(20509);
  EXPECT_NE(test_support::ShownTexts().find("Le Bilan n'est pas Initialis\xE9"), std::string::npos);
  EXPECT_EQ(test_support::ShownTexts().find("Confirmez-vous le Calcul"), std::string::npos);

  TheDossierRecord.SetConstant(4, "S  ");
  SetDossierState(' ');
  gui::ModalSeam::Reset();
  const std::string first = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart);
  const std::string last = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd);
  bool ran = false;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
    auto& d = dynamic_cast<TDEtaBilanCalcul&>(w);
    EXPECT_EQ(d.Collectives().substr(0, 2), "/C");
    EXPECT_EQ(d.GetItemText(TDEtaBilanCalcul::kTitle), "Bilan 'REEL SIMPLIFIE 2033' en Euros");
    // The day before the year's first day, then the day after its last: message A.
    d.StartEdit()->SetValue(ConvertDate(PrevDay(ConvertDate(first.c_str()))), false);
    d.PressButton(gui::IDOK);
    EXPECT_FALSE(d.IsEnded());
    EXPECT_EQ(d.GetItemText(TDEtaBilanCalcul::kStatus), "Seulement entre le " + first + " et " + last);
    d.StartEdit()->SetValue(first, false);
    d.EndEdit()->SetValue(ConvertDate(NextDay(ConvertDate(last.c_str()))), false);
    d.PressButton(gui::IDOK);
    EXPECT_FALSE(d.IsEnded());
    d.EndEdit()->SetValue("15/01/" + first.substr(6), false);
    d.StartEdit()->SetValue("16/01/" + first.substr(6), false);
    d.PressButton(gui::IDOK);
    EXPECT_FALSE(d.IsEnded());
    EXPECT_EQ(d.GetItemText(TDEtaBilanCalcul::kStatus), "Incoh\xE9rence sur les dates");
    // The whole year: confirmed, computed.
    d.StartEdit()->SetValue(first, false);
    d.EndEdit()->SetValue(last, false);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    d.PressButton(gui::IDOK);
    EXPECT_FALSE(d.IsEnded()) << "the dialog stays to show the run";
    ran = d.HasRun();
    EXPECT_EQ(d.LastRun().outcome, balances::RunOutcome::kDone) << d.LastRun().message;
    EXPECT_EQ(d.LastRun().computation.ErrorCount(), 0u) << d.GetItemText(TDEtaBilanCalcul::kErrors);
    EXPECT_EQ(d.GetItemText(TDEtaBilanCalcul::kErrors), "Aucune erreur");
    d.Show(gui::SW_SHOWNORMAL);
    test_support::Screenshot(d.OuterWidget(), "balances", "calcul_1322");
  });
  RunSubjectCommand(20509);
  EXPECT_TRUE(ran) << test_support::ShownTexts();
  EXPECT_NE(test_support::ShownTexts().find("La proc\xE9" "dure de Calcul du Bilan est termin\xE9" "e"),
            std::string::npos);
  EXPECT_EQ(GetDossierState(), '2');
}

// A C70 damaged on disk: both commands say the engine's error, change nothing and give the
// dossier back.
TEST_F(BalanceSheetCommandsTest, ADamagedC70IsReportedAndTheDossierGivenBack) {
  CloseAllTables();
  const std::string c70 = std::string(PathC70()) + ".dbf";
  fs::resize_file(c70, 20);
  const auto bytes = fs::file_size(c70);
  for (unsigned command : {20508u, 20509u}) {
    SCOPED_TRACE(command);
    gui::ModalSeam::Reset();
    TheDossierRecord.SetConstant(4, "S  ");
    SetDossierState(' ');
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    RunSubjectCommand(command);
    EXPECT_NE(test_support::ShownTexts().find("Erreur BDE"), std::string::npos) << test_support::ShownTexts();
    EXPECT_EQ(test_support::ShownTexts().find("Confirmez-vous"), std::string::npos);
    EXPECT_EQ(fs::file_size(c70), bytes);
    EXPECT_EQ(GetDossierState(), '2');
    EXPECT_TRUE(OpenDossierExclusive(true)) << "the dossier was given back";
    EXPECT_TRUE(ReleaseDossierExclusive());
  }
}

// The computation's copies aside and its marker, and the disk made full for one write once both
// stand: the run's first change of the sheet is refused.
std::string g_marker;
void RefuseTheFirstWriteOnceMarked() {
  if (g_marker.empty() || !fs::exists(g_marker)) return;
  g_marker.clear();
  platform::BeforeFileChange = nullptr;
  platform::SetWriteFault(platform::WriteFault::kFullOnce, 1);
}

// The computation whose first write of the sheet is refused (a full disk): one box, the run's,
// names the file and the full disk and says that the dossier was put back; C70 and the annex
// stay as they were; no box of the engine comes before it.
TEST_F(BalanceSheetCommandsTest, AComputationWhoseWriteIsRefusedSaysSoInOneBox) {
  Initialise("S  ", {gui::IDYES, gui::IDOK});
  ASSERT_EQ(C70State().first, '3');
  CloseAllTables();
  const std::string c70 = std::string(PathC70()) + ".dbf", c10 = std::string(PathC10()) + ".dbf";
  const std::string before70 = ReadAll(c70), before10 = ReadAll(c10);
  const std::vector<gui::ShownModal> boxes = ComputeWholeYear(
      [] {
        g_marker = DossierRunMarkerPath();
        platform::BeforeFileChange = RefuseTheFirstWriteOnceMarked;
      },
      [](TDEtaBilanCalcul& d) {
        platform::BeforeFileChange = nullptr;
        platform::SetWriteFault(platform::WriteFault::kNone, 0);
        EXPECT_EQ(d.LastRun().outcome, balances::RunOutcome::kWriteFailed) << d.LastRun().message;
      });
  ASSERT_EQ(boxes.size(), 2u) << test_support::ShownTexts();  // the question, then the run's end
  const std::string said = boxes[1].text;
  EXPECT_NE(said.find("Il est survenu un incident pendant le Calcul du Bilan"), std::string::npos) << said;
  EXPECT_EQ(said.find("Initialisation"), std::string::npos) << said;
  EXPECT_NE(said.find("disque plein"), std::string::npos) << said;
  EXPECT_NE(said.find(std::string(DossierFolder)), std::string::npos) << said;
  EXPECT_NE(said.find("remis dans son \xE9tat d'avant le traitement"), std::string::npos) << said;
  test_support::ScreenshotMessage(boxes[1], "balances", "calcul_write_refused");
  CloseAllTables();
  EXPECT_TRUE(ReadAll(c70).substr(4) == before70.substr(4)) << "C70 changed";
  EXPECT_TRUE(ReadAll(c10).substr(4) == before10.substr(4)) << "C10 changed";
}

// Eight debit lines of expense accounts and eight credit lines of accounts that are neither expenses
// nor income, each made 15 000 000 000,00 larger in both currencies (within what a line takes): the
// general balance still balances, but a box of the sheet would take more than it holds. The computation stops before any
// change, its one box naming the box past what it holds, never a disk; C70 and C10 stay as they were.
TEST_F(BalanceSheetCommandsTest, ABoxPastWhatItHoldsIsNamedInTheRunsBox) {
  Initialise("S  ", {gui::IDYES, gui::IDOK});
  ASSERT_EQ(C70State().first, '3');
  CloseAllTables();
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    const long long more = 1'500'000'000'000;
    constexpr int kEach = 8;
    int debits = 0, credits = 0;
    for (std::uint32_t n = 1; n <= raw.Count() && (debits < kEach || credits < kEach); ++n) {
      const std::string r = raw.Record(n);
      const std::string code = raw.Field(r, "BCODE");
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z" || code[0] < '1' || code[0] > '9') continue;
      const char sense = raw.Field(r, "BSENS")[0];
      const bool debit = sense == 'D' && code[0] == '6' && debits < kEach;
      const bool credit = sense == 'C' && code[0] != '6' && code[0] != '7' && credits < kEach;
      if (!debit && !credit) continue;
      for (const char* field : {"BMONTANTF", "BMONTANTE"})
        raw.Put(n, field, AmountText14(FromCents(StoredAmountCents(raw.Field(r, field)) + more)));
      ++(debit ? debits : credits);
    }
    ASSERT_EQ(debits + credits, 2 * kEach);
  }
  const std::string c70 = std::string(PathC70()) + ".dbf", c10 = std::string(PathC10()) + ".dbf";
  const std::string before70 = ReadAll(c70), before10 = ReadAll(c10);
  const std::vector<gui::ShownModal> boxes = ComputeWholeYear([] {}, [](TDEtaBilanCalcul& d) {
    EXPECT_EQ(d.LastRun().outcome, balances::RunOutcome::kTooLarge) << d.LastRun().message;
  });
  ASSERT_EQ(boxes.size(), 2u) << test_support::ShownTexts();  // the question, then the run's end
  const std::string said = boxes[1].text;
  EXPECT_NE(said.find("Il est survenu un incident pendant le Calcul du Bilan"), std::string::npos) << said;
  EXPECT_NE(said.find("La case "), std::string::npos) << said;
  EXPECT_NE(said.find("99 999 999 999,99 au plus"), std::string::npos) << said;
  EXPECT_NE(said.find("le Bilan n'a pas \xE9t\xE9 modifi\xE9"), std::string::npos) << said;
  EXPECT_EQ(said.find("disque"), std::string::npos) << said;
  test_support::ScreenshotMessage(boxes[1], "balances", "calcul_box_too_large");
  CloseAllTables();
  EXPECT_TRUE(ReadAll(c70).substr(4) == before70.substr(4)) << "C70 changed";
  EXPECT_TRUE(ReadAll(c10).substr(4) == before10.substr(4)) << "C10 changed";
  EXPECT_FALSE(DossierRunMarkerExists());
}

// Amounts that do not read are never counted as zero in what the run writes: an account's
// previous-year figure ("12,34" over what it held) refuses the run before its first write, its
// box naming the account's amount (no line, no incident), C70 and C10 as they were; a draft line's
// amount ("-1e300") too, whose zero leaves the general balance unbalanced, refused with both named,
// as the trial balance names them.
TEST_F(BalanceSheetCommandsTest, TheRunsBoxNamesTheAmountsThatDoNotRead) {
  Initialise("S  ", {gui::IDYES, gui::IDOK});
  ASSERT_EQ(C70State().first, '3');
  CloseAllTables();
  std::string account, line;
  {
    test_support::RawRecords raw(std::string(PathC20()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && account.empty(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || r[1] < '1' || r[1] > '9') continue;
      raw.Put(n, "CDEBNM1E", "12,34");
      account = "C20 enregistrement " + std::to_string(n) + ", compte " + Trimmed(raw.Field(r, "CCODE"));
    }
  }
  ASSERT_FALSE(account.empty());
  // The computation of the whole year: the run's outcome and its end box.
  auto compute = [&](balances::RunOutcome want) {
    const std::vector<gui::ShownModal> boxes = ComputeWholeYear([] {}, [&](TDEtaBilanCalcul& d) {
      EXPECT_EQ(d.LastRun().outcome, want) << d.LastRun().message;
    });
    EXPECT_EQ(boxes.size(), 2u) << test_support::ShownTexts();  // the question, then the run's end
    return boxes.empty() ? gui::ShownModal{} : boxes.back();
  };
  const std::string c70 = std::string(PathC70()) + ".dbf", c10 = std::string(PathC10()) + ".dbf";
  const std::string before70 = ReadAll(c70), before10 = ReadAll(c10);
  const gui::ShownModal done = compute(balances::RunOutcome::kReadFailed);
  EXPECT_EQ(done.text.find("La proc\xE9" "dure de Calcul du Bilan est termin\xE9" "e"), std::string::npos) << done.text;
  // An account's figure is no line, and amounts that do not read no incident.
  EXPECT_EQ(done.text.find("incident"), std::string::npos) << done.text;
  EXPECT_EQ(done.text.find("ces lignes"), std::string::npos) << done.text;
  EXPECT_NE(done.text.find("Rien n'a \xE9t\xE9 modifi\xE9, car ces montants ne se lisent pas"), std::string::npos)
      << done.text;
  EXPECT_NE(done.text.find(account), std::string::npos) << done.text;
  test_support::ScreenshotMessage(done, "balances", "calcul_unreadable_refused");
  CloseAllTables();
  EXPECT_TRUE(ReadAll(c70) == before70) << "C70 changed";
  EXPECT_TRUE(ReadAll(c10) == before10) << "C10 changed";
  EXPECT_FALSE(DossierRunMarkerExists());

  CloseAllTables();
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && line.empty(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z" || StoredAmountCents(raw.Field(r, "BMONTANTE")) == 0) continue;
      raw.Put(n, "BMONTANTE", "-1e300");
      line = "C50 enregistrement " + std::to_string(n) + ", pi\xE8" "ce " + Trimmed(raw.Field(r, "BPIECE")) +
             ", compte " + Trimmed(raw.Field(r, "BCODE"));
    }
  }
  ASSERT_FALSE(line.empty());
  const gui::ShownModal refused = compute(balances::RunOutcome::kUnbalanced);
  EXPECT_NE(refused.text.find("IMPOSSIBLE de poursuivre"), std::string::npos) << refused.text;
  for (const std::string& named : {account, line}) EXPECT_NE(refused.text.find(named), std::string::npos) << refused.text;
  test_support::ScreenshotMessage(refused, "balances", "calcul_unreadable_unbalanced");
}

// The general balance the computation finds off by 1, 10 million, a billion and about
// 15 244 901 723,74 either way (a line's amount made that large, the widest a line takes): the dialog shows it whole, grouped, with its sign,
// inside its control.
TEST_F(BalanceSheetCommandsTest, AmountsSweepTheGeneralBalanceIsShownWholeAndInside) {
  Initialise("S  ", {gui::IDYES, gui::IDOK});
  ASSERT_EQ(C70State().first, '3');
  CloseAllTables();
  // A debit line and a credit line of the books, their amounts as stored.
  std::uint32_t debitLine = 0, creditLine = 0;
  long long debitWas = 0, creditWas = 0;
  std::string debitText[2], creditText[2];
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && (debitLine == 0 || creditLine == 0); ++n) {
      const std::string r = raw.Record(n);
      const std::string code = raw.Field(r, "BCODE");
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z" || code[0] < '1' || code[0] > '9') continue;
      const bool debit = raw.Field(r, "BSENS")[0] == 'D';
      std::uint32_t& line = debit ? debitLine : creditLine;
      if (line != 0) continue;
      line = n;
      (debit ? debitWas : creditWas) = StoredAmountCents(raw.Field(r, "BMONTANTE"));
      (debit ? debitText : creditText)[0] = raw.Field(r, "BMONTANTF");
      (debit ? debitText : creditText)[1] = raw.Field(r, "BMONTANTE");
    }
    ASSERT_NE(debitLine, 0u);
    ASSERT_NE(creditLine, 0u);
  }
  test_support::SweepFaults faults;
  for (std::size_t k = 0; k < test_support::SweepCents().size(); ++k) {
    const long long was = test_support::SweepCents()[k] > 0 ? debitWas : creditWas;
    // The widest: the line at the most it takes, the books off by that less what it held.
    const long long amount =
        std::min(std::llabs(test_support::SweepCents()[k]), test_support::kWidestLineEuroCents - was);
    const long long cents = test_support::SweepCents()[k] > 0 ? amount : -amount;
    {
      test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
      raw.Put(debitLine, "BMONTANTF", debitText[0]);
      raw.Put(debitLine, "BMONTANTE", debitText[1]);
      raw.Put(creditLine, "BMONTANTF", creditText[0]);
      raw.Put(creditLine, "BMONTANTE", creditText[1]);
      // The line of the amount's side made so large that the books are off by the amount.
      const std::uint32_t line = cents > 0 ? debitLine : creditLine;
      for (const char* field : {"BMONTANTF", "BMONTANTE"}) raw.Put(line, field, AmountText14(FromCents(was + amount)));
    }
    const std::vector<gui::ShownModal> boxes = ComputeWholeYear([] {}, [&](TDEtaBilanCalcul& d) {
      gui::Control* general = d.GetDlgItem(TDEtaBilanCalcul::kGeneral);
      ASSERT_NE(general, nullptr);
      const std::string where = "balance sheet computation, off by " + test_support::GroupedDigits(cents);
      faults.Add(test_support::AmountFault(where, general->GetText(), cents, test_support::Shown::kSigned));
      faults.Add(test_support::CutFault(where, *general));
      if (k == 3 || k == 7) {
        d.Show(gui::SW_SHOWNORMAL);
        test_support::Screenshot(d.OuterWidget(), "balances", "amounts_sweep_calcul" + std::string(k == 3 ? "" : "_credit"));
      }
    });
    CloseAllTables();
  }
  faults.Report();
}

}  // namespace
