// The validation of journals through command 20406, its form answered through the modal seam: three
// journal-months into the closed file (read back with python3-dbfread), each refusal and another
// station's hold leaving C10 to C60 byte for byte, and a run killed half-way put back at the next
// opening, byte for byte, and logged.
#include <signal.h>

#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "data/table_internal.h"
#include "dossier/core/dossier_run_marker.h"
#include "entry/core/validation.h"
#include "entry/validation_dialog.h"
#include "output_fixture.h"
#include "platform/dbase/fileio.h"
#include "platform/system/files.h"
#include "shell/handlers.h"
#include "support/books_writes.h"
#include "support/kill_point.h"
#include "support/line_files.h"
#include "support/refused_read.h"
#include "support/totals_post.h"
#include "data/error_report.h"

namespace entry_test {
namespace {

using namespace entry;
using namespace posting;

constexpr unsigned kValidation = 20406;

class ValidationTest : public OutputTest {
 protected:
  // The form's answer: the journal-months ticked, the date typed; then the confirmation.
  static void Validate(const std::vector<std::string>& months, const std::string& date, int confirm = gui::IDYES,
                       const std::string& shot = "") {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [=](gui::Window& d) {
      auto& form = dynamic_cast<TDSaiValidation&>(d);
      for (const std::string& m : months) {
        int row = -1;
        for (std::size_t i = 0; i < form.Months().size(); ++i)
          if (form.Months()[i].journalMonth == m) row = static_cast<int>(i);
        ASSERT_GE(row, 0) << m << " is not offered";
        form.Tick(row);
      }
      form.DateEdit()->SetValue(date, false);
      if (!shot.empty()) {
        form.Show(gui::SW_SHOWNORMAL);
        test_support::Screenshot(form.OuterWidget(), "entry", shot);
      }
    });
    gui::ModalSeam::QueueMessageBoxAnswer(confirm);
  }
  std::string Log() { return Bytes("clgje.txt"); }
  // The program's dossier let go: its tables and its lock closed, so that its files can be put back.
  static void CloseDossier() {
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  }
  bool AsideFolderLeft() {
    for (const auto& e : fs::directory_iterator(folder_))
      if (e.is_directory() && e.path().filename().string().rfind("validation-", 0) == 0) return true;
    return false;
  }
};

TEST_F(ValidationTest, ThreeJournalMonthsGoToTheClosedFile) {
  Open();
  const auto months = JournalMonths();
  ASSERT_GE(months.size(), 3u);
  const std::vector<std::string> chosen{months[0].first, months[1].first, months[2].first};
  // A cancelled code of the general file stays cancelled, and stays.
  ASSERT_TRUE(EnsureGeneralFile());
  ASSERT_TRUE(FindC10(*TableC10, 'V', "9").IsFound());
  ASSERT_TRUE(TableC10->DeleteRecord(nullptr, 0));
  UnlockRecord(*TableC10);
  // What the lines of those journal-months are, and the totals of accounts and sections.
  std::string lines = DbfRead("c50je",
                              "keys = set(" + std::string("['") + chosen[0] + "','" + chosen[1] + "','" + chosen[2] +
                                  "'])\n"
                                  "sel = [r for r in rows if r['BMOIS'] + r['BJAL'].ljust(3) in keys]\n"
                                  "print(len(sel), sum(1 for r in sel if r['BCLE'] == 'Z'),"
                                  " sum(1 for r in deleted if r['BMOIS'] + r['BJAL'].ljust(3) in keys))\n");
  long records = 0, general = 0, cancelled = 0;
  ASSERT_EQ(std::sscanf(lines.c_str(), "%ld %ld %ld", &records, &general, &cancelled), 3) << lines;
  ASSERT_GT(records, 0);
  // Every cancelled record of the draft, general and analytic, of any journal-month.
  const long allCancelled = std::stol(DbfRead("c50je", "print(len(deleted))\n"));
  ASSERT_GT(allCancelled, 0);
  const std::string chart = Bytes("c20je.dbf"), sections = Bytes("c30je.dbf");

  gui::ModalSeam::Reset();
  Validate(chosen, "20/03/26", gui::IDYES, "validation_form");
  Menu(kValidation);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("Les lignes valid\xE9" "es ne pourront plus \xEAtre modifi\xE9" "es"), std::string::npos) << shown;
  EXPECT_NE(shown.find("est termin\xE9" "e"), std::string::npos) << shown;
  EXPECT_NE(shown.find(std::to_string(general) + " ligne(s) valid\xE9" "e(s)"), std::string::npos) << shown;
  // The confirmation named the cancelled lines of the other journal-months, the end message all the
  // cancelled lines the pack removed, and the log lists each of them.
  EXPECT_NE(shown.find("Les " + std::to_string(allCancelled - cancelled) + " ligne(s) annul\xE9" "e(s) des autres"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find(std::to_string(allCancelled) + " ligne(s) annul\xE9" "e(s) supprim\xE9" "e(s)"), std::string::npos)
      << shown;
  std::size_t listed = 0;
  for (std::size_t at = Log().find("ligne annul\xE9" "e supprim\xE9" "e: C50"); at != std::string::npos;
       at = Log().find("ligne annul\xE9" "e supprim\xE9" "e: C50", at + 1))
    ++listed;
  EXPECT_EQ(listed, static_cast<std::size_t>(allCancelled));
  const gui::ShownModal* last = gui::ModalSeam::LastShown();
  ASSERT_NE(last, nullptr);
  test_support::ScreenshotMessage(*last, "entry", "validation_done");
  for (const gui::ShownModal& s : gui::ModalSeam::Shown())
    if (s.text.find("Confirmez-vous la validation") != std::string::npos)
      test_support::ScreenshotMessage(s, "entry", "validation_confirm");

  // C40 holds exactly their lines, each with its validation date; C50 none of them.
  const std::string keys = "keys = set(['" + chosen[0] + "','" + chosen[1] + "','" + chosen[2] + "'])\n";
  EXPECT_EQ(DbfRead("c40je", keys +
                                 "print(len(rows), all(r['DMOIS'] + r['DJAL'].ljust(3) in keys for r in rows),"
                                 " set(r['DVALID'] for r in rows), sum(1 for r in rows if r['DCLE'] == 'Z'), len(deleted))\n"),
            std::to_string(records) + " True {'C60320'} " + std::to_string(general) + " 0\n");
  EXPECT_EQ(DbfRead("c50je", keys + "print(sum(1 for r in rows + deleted if r['BMOIS'] + r['BJAL'].ljust(3) in keys),"
                                    " len(deleted))\n"),
            "0 0\n");
  // Closed headers equal to their lines, the draft ones at zero, the cancelled label kept.
  EXPECT_EQ(DbfRead("c10je", keys +
                                 "def cents(t): return round(float(t.strip() or 0) * 100)\n"
                                 "h = {r['GCODE'][:8]: (cents(r['GZONE1'][:14]), cents(r['GZONE1'][14:28]),"
                                 " cents(r['GZONE2'][:14]), cents(r['GZONE2'][14:28])) for r in rows if r['GCLE'] == 'C'}\n"
                                 "print(all(h[k + 'B'] == (0, 0, 0, 0) for k in keys), all(k + 'C' in h for k in keys),"
                                 " [r['GCODE'] for r in deleted if r['GCLE'] == 'V'])\n"),
            "True True ['9']\n");
  ExpectInvariants("after the validation");
  EXPECT_TRUE(Bytes("c20je.dbf") == chart) << "account totals changed";
  EXPECT_TRUE(Bytes("c30je.dbf") == sections) << "section totals changed";
  EXPECT_NE(Log().find("VALIDATION DES JOURNAUX - Ok - " + JournalMonthsText(chosen) + " - " + std::to_string(general) +
                       " ligne(s)"),
            std::string::npos)
      << Log();
  EXPECT_FALSE(AsideFolderLeft());
  EXPECT_FALSE(fs::exists(folder_ + "cje.run"));
  // The dossier given back and opened again, its general file shared.
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_TRUE(TableC10->isOpen);
  EXPECT_NE(TableC10->shareMode, 1u);

  // The headers list shows the closed journal-months "Validé"; "Saisir" on one only beeps.
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->LocateCode(chosen[0] + "C"));
  const std::string row = list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)];
  EXPECT_NE(row.find("Valid\xE9"), std::string::npos) << row;
  Send(list, browse_cmd::Modifier);
  EXPECT_EQ(WindowOf(chosen[0]), nullptr);
  // The journal-month can be entered again: its draft header stays.
  EXPECT_NE(Saisir(chosen[0]), nullptr);
}

// Each refusal names its journal-months and lines, and nothing of the dossier changes.
TEST_F(ValidationTest, EachRefusalLeavesTheDossierByteForByte) {
  Open();
  SeedMonth("C605CAI", {{"000001", "10", "60640000", '1', "Seul", 'D', 10.00}});
  SeedMonth("C606CAI", {{"000002", "10", "", '1', "Sans compte", 'D', 0.00},
                        {"000002", "10", "60640000", '1', "Papier", 'D', 10.00},
                        {"000002", "10", "53000000", '1', "Banque", 'C', 10.00}});
  SeedMonth("C604ODA", {{"000003", "31", "60640000", '1', "Le 31 avril", 'D', 10.00},
                        {"000003", "31", "53000000", '1', "Banque", 'C', 10.00}});
  SeedMonth("C701ODA", {{"000004", "05", "60640000", '1', "En 2027", 'D', 10.00},
                        {"000004", "05", "53000000", '1', "Banque", 'C', 10.00}});
  // Balanced in francs (1.05 on each side, each cent of euro rounding up) but not in euros.
  std::vector<Seed> cents{{"000005", "10", "60640000", '1', "Seize centimes", 'D', 0.16}};
  for (int i = 0; i < 15; ++i) cents.push_back({"000005", "10", "53000000", '1', "Un centime", 'C', 0.01});
  SeedMonth("C607CAI", cents);
  // The day before the year and the day after it.
  SeedMonth("C512ODA", {{"000006", "31", "60640000", '1', "Veille", 'D', 10.00},
                        {"000006", "31", "53000000", '1', "Banque", 'C', 10.00}});
  SeedMonth("C701CAI", {{"000007", "01", "60640000", '1', "Lendemain", 'D', 10.00},
                        {"000007", "01", "53000000", '1', "Banque", 'C', 10.00}});
  const std::string good = JournalMonths()[0].first;
  gui::ModalSeam::Reset();
  CloseAll();
  const auto files = TableFiles();
  struct Case {
    std::vector<std::string> months;
    std::string date;
    std::vector<std::string> said;
  } cases[] = {
      {{"C605CAI"}, "20/03/26", {"non \xE9quilibr\xE9s", "CAI 05/26"}},
      {{"C606CAI"}, "20/03/26", {"sans compte", "CAI 06/26 pi\xE8" "ce 000002 ligne 0001"}},
      {{"C604ODA", "C701ODA"}, "20/03/26", {"hors de l'exercice", "ODA 04/26 pi\xE8" "ce 000003", "ODA 01/27 pi\xE8" "ce 000004"}},
      {{"C607CAI"}, "20/03/26", {"non \xE9quilibr\xE9s", "CAI 07/26"}},
      {{"C512ODA"}, "20/03/26", {"hors de l'exercice", "ODA 12/25 pi\xE8" "ce 000006"}},
      {{"C701CAI"}, "20/03/26", {"hors de l'exercice", "CAI 01/27 pi\xE8" "ce 000007"}},
      {{good}, "31/02/26", {"n'est pas une date valide"}},
      {{}, "20/03/26", {"Cochez au moins un journal-mois"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said[0]);
    gui::ModalSeam::Reset();
    Validate(c.months, c.date);
    Menu(kValidation);
    for (const std::string& s : c.said) EXPECT_NE(test_support::ShownTexts().find(s), std::string::npos) << s << "\n"
                                                                                                       << test_support::ShownTexts();
    if (c.date == "20/03/26" && c.months.size() == 2u) {
      const gui::ShownModal* refusal = gui::ModalSeam::LastShown();
      ASSERT_NE(refusal, nullptr);
      test_support::ScreenshotMessage(*refusal, "entry", "validation_refused");
    }
    EXPECT_EQ(test_support::ShownTexts().find("est termin\xE9" "e"), std::string::npos);
    ExpectSameFiles(files, TableFiles(), c.said[0]);
  }
  // "Tout cocher" ticks every row, each showing whether it balances; "Abandon" leaves.
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [](gui::Window& d) {
    auto& form = dynamic_cast<TDSaiValidation&>(d);
    gui::SendCommand(form.GetHandle(), TDSaiValidation::kTickAll);
    int unbalanced = 0;
    for (int i = 0; i < static_cast<int>(form.Months().size()); ++i) {
      EXPECT_TRUE(form.IsTicked(i)) << i;
      EXPECT_EQ(form.Row(i).substr(0, 4), "[X] ");
      if (form.Row(i).find("NON \xE9quilibr\xE9") != std::string::npos) ++unbalanced;
    }
    EXPECT_EQ(unbalanced, 2) << "C605CAI and C607CAI";
  });
  Menu(kValidation);
  ExpectSameFiles(files, TableFiles(), "Abandon");
  // The confirmation answered No: nothing either.
  gui::ModalSeam::Reset();
  Validate({good}, "20/03/26", gui::IDNO);
  Menu(kValidation);
  ExpectSameFiles(files, TableFiles(), "No to the confirmation");
  // A date before the latest validation is refused once one was made.
  gui::ModalSeam::Reset();
  Validate({good}, "20/03/26");
  Menu(kValidation);
  ASSERT_NE(test_support::ShownTexts().find("est termin\xE9" "e"), std::string::npos) << test_support::ShownTexts();
  const std::string other = JournalMonths()[0].first;
  const auto after = TableFiles();
  gui::ModalSeam::Reset();
  Validate({other}, "19/03/26");
  Menu(kValidation);
  EXPECT_NE(test_support::ShownTexts().find("ne peut pas \xEAtre ant\xE9rieure \xE0 la derni\xE8re validation, du 20/03/26"),
            std::string::npos)
      << test_support::ShownTexts();
  ExpectSameFiles(after, TableFiles(), "a date before the last validation");
  // The day of the last validation itself is taken.
  gui::ModalSeam::Reset();
  Validate({other}, "20/03/26");
  Menu(kValidation);
  EXPECT_NE(test_support::ShownTexts().find("est termin\xE9" "e"), std::string::npos) << test_support::ShownTexts();
}

// Amounts stored as no program of ours writes them are read as every report reads them: a third
// decimal ("54.125", read 54.13) validates and closes at 54.13; a text that does not read as a
// number ("12,34" over 16.44) is named and refused, not read as 1,234.00, and nothing changes.
TEST_F(ValidationTest, AnAmountIsValidatedAsTheReportsReadIt) {
  Open();
  SeedMonth("C605CAI", {{"000001", "10", "60640000", '1', "Papier", 'D', 54.13},
                        {"000001", "10", "53000000", '1', "Banque", 'C', 54.13}});
  SeedMonth("C606CAI", {{"000002", "10", "60640000", '1', "Encre", 'D', 16.44},
                        {"000002", "10", "53000000", '1', "Banque", 'C', 16.44}});
  CloseAll();
  {
    test_support::RawRecords raw(folder_ + "c50je.dbf");
    int damaged = 0;
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (raw.Field(r, "BSENS") != "D" || raw.Field(r, "BJAL") != "CAI") continue;
      if (raw.Field(r, "BMOIS") == "C605" && raw.Field(r, "BPIECE") == "000001") raw.Put(n, "BMONTANTE", "54.125"), ++damaged;
      if (raw.Field(r, "BMOIS") == "C606" && raw.Field(r, "BPIECE") == "000002") raw.Put(n, "BMONTANTE", "12,34"), ++damaged;
    }
    ASSERT_EQ(damaged, 2);
  }
  const auto files = TableFiles();
  gui::ModalSeam::Reset();
  Validate({"C606CAI"}, "20/03/26");
  Menu(kValidation);
  std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("montant ne se lit pas comme un nombre"), std::string::npos) << shown;
  EXPECT_NE(shown.find("CAI 06/26 pi\xE8" "ce 000002 ligne 0001"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("1217"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("1 217"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("est termin\xE9" "e"), std::string::npos) << shown;
  const gui::ShownModal* refusal = gui::ModalSeam::LastShown();
  ASSERT_NE(refusal, nullptr);
  test_support::ScreenshotMessage(*refusal, "entry", "validation_refused_unreadable");
  ExpectSameFiles(files, TableFiles(), "an amount that does not read");
  // Mended, as the line form would mend it: the dossier holds no damage the run's own check of
  // the whole dossier would find.
  {
    test_support::RawRecords raw(folder_ + "c50je.dbf");
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (raw.Field(r, "BMOIS") == "C606" && raw.Field(r, "BJAL") == "CAI" && raw.Field(r, "BSENS") == "D")
        raw.Put(n, "BMONTANTE", "16.44");
    }
  }

  gui::ModalSeam::Reset();
  Validate({"C605CAI"}, "20/03/26");
  Menu(kValidation);
  shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("est termin\xE9" "e"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("6600"), std::string::npos) << shown;
  EXPECT_EQ(DbfRead("c40je", "print(sorted(str(r['DMONTANTE']) for r in rows if r['DPIECE'] == '000001'))\n"),
            "['54.13', '54.13']\n");
  ExpectInvariants("after the validation of 54.125");
}

// A journal-month whose lines do not read is shown as not read, without the totals that counted
// them as zero nor a balance; its refusal names a line past what a line takes as such, apart from
// one that does not read as a number, and says no balance of it.
TEST_F(ValidationTest, AJournalMonthWhoseLinesDoNotReadIsShownNotRead) {
  Open();
  SeedMonth("C606CAI", {{"000002", "10", "60640000", '1', "Encre", 'D', 16.44},
                        {"000002", "10", "53000000", '1', "Banque", 'C', 16.44}});
  CloseAll();
  {
    test_support::RawRecords raw(folder_ + "c50je.dbf");
    int damaged = 0;
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (raw.Field(r, "BMOIS") != "C606" || raw.Field(r, "BJAL") != "CAI" || raw.Field(r, "BPIECE") != "000002") continue;
      // A cent past the largest a line takes, in euros, on the credit side.
      raw.Put(n, "BMONTANTE", raw.Field(r, "BSENS") == "D" ? "abc" : "15244901723.75"), ++damaged;
    }
    ASSERT_EQ(damaged, 2);
  }
  const auto files = TableFiles();
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& d) {
    auto& form = dynamic_cast<TDSaiValidation&>(d);
    int row = -1;
    for (std::size_t i = 0; i < form.Months().size(); ++i)
      if (form.Months()[i].journalMonth == "C606CAI") row = static_cast<int>(i);
    ASSERT_GE(row, 0);
    const std::string shown = form.Row(row);
    EXPECT_NE(shown.find("NON lu : 2 ligne(s) illisible(s)"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("quilibr"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("0.00"), std::string::npos) << shown;
    form.Tick(row);
    form.DateEdit()->SetValue("20/03/26", false);
    form.Show(gui::SW_SHOWNORMAL);
    test_support::Screenshot(form.OuterWidget(), "entry", "validation_month_not_read");
  });
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  Menu(kValidation);
  const std::string shown = test_support::ShownTexts();
  const std::size_t notNumber = shown.find("montant ne se lit pas comme un nombre:\n   - CAI 06/26 pi\xE8" "ce 000002");
  const std::size_t pastBound = shown.find(
      "n'est pas un montant qu'une saisie fait (en dessous de z\xE9ro, ou au-del\xE0 de 15 244 901 723,74");
  ASSERT_NE(notNumber, std::string::npos) << shown;
  ASSERT_NE(pastBound, std::string::npos) << shown;
  EXPECT_LT(notNumber, pastBound) << shown;
  EXPECT_NE(shown.find("le plus grand que tienne une ligne):\n   - CAI 06/26 pi\xE8" "ce 000002", pastBound),
            std::string::npos)
      << shown;
  // One line of each: the one past the bound is not said among those that are not numbers.
  const std::string between = shown.substr(notNumber, pastBound - notNumber);
  EXPECT_EQ(between.find("pi\xE8" "ce 000002"), between.rfind("pi\xE8" "ce 000002")) << shown;
  EXPECT_EQ(shown.find("non \xE9quilibr\xE9s"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("est termin\xE9" "e"), std::string::npos) << shown;
  const gui::ShownModal* refusal = gui::ModalSeam::LastShown();
  ASSERT_NE(refusal, nullptr);
  test_support::ScreenshotMessage(*refusal, "entry", "validation_refused_past_bound");
  ExpectSameFiles(files, TableFiles(), "lines that do not read");
}

// A journal-month validated, entered again and validated again: its closed header adds the second
// run's totals to the first's, in both currencies, and stays equal to its closed lines; lines on
// the first and last days of the year go through.
TEST_F(ValidationTest, ValidatingTwiceIntoTheSameMonthAddsToItsClosedHeader) {
  Open();
  SeedMonth("C609ODA", {{"000010", "01", "60640000", '1', "Premier", 'D', 120.00},
                        {"000010", "01", "53000000", '1', "Banque", 'C', 120.00},
                        {"000011", "30", "53000000", '1', "Retour", 'D', 3.30},
                        {"000011", "30", "60640000", '1', "Retour", 'C', 3.30}});
  SeedMonth("C601CAI", {{"000012", "01", "60640000", '1', "Premier jour", 'D', 1.00},
                        {"000012", "01", "53000000", '1', "Banque", 'C', 1.00}});
  SeedMonth("C612CAI", {{"000013", "31", "60640000", '1', "Dernier jour", 'D', 2.00},
                        {"000013", "31", "53000000", '1', "Banque", 'C', 2.00}});
  gui::ModalSeam::Reset();
  Validate({"C609ODA", "C601CAI", "C612CAI"}, "20/09/26");
  Menu(kValidation);
  ASSERT_NE(test_support::ShownTexts().find("est termin\xE9" "e"), std::string::npos) << test_support::ShownTexts();
  SeedMonth("C609ODA", {{"000014", "15", "60640000", '1', "Second", 'D', 45.67},
                        {"000014", "15", "53000000", '1', "Banque", 'C', 45.67},
                        {"000015", "16", "53000000", '1', "Avoir", 'D', 0.99},
                        {"000015", "16", "60640000", '1', "Avoir", 'C', 0.99}});
  gui::ModalSeam::Reset();
  Validate({"C609ODA"}, "21/09/26");
  Menu(kValidation);
  ASSERT_NE(test_support::ShownTexts().find("est termin\xE9" "e"), std::string::npos) << test_support::ShownTexts();
  // The closed header's four totals against the sums of its closed lines, each month apart.
  const std::string script =
      "def cents(t): return round(float(str(t).strip() or 0) * 100)\n"
      "for key in ('C609ODA', 'C601CAI', 'C612CAI'):\n"
      "    h = [r for r in rows if r['GCLE'] == 'C' and r['GCODE'][:8] == key + 'C']\n"
      "    z = (h[0]['GZONE1'].ljust(28), h[0]['GZONE2'].ljust(28)) if h else ('', '')\n"
      "    print(key, len(h), cents(z[0][:14]), cents(z[0][14:28]), cents(z[1][:14]), cents(z[1][14:28]))\n";
  const std::string closed =
      "def cents(t): return round(float(t or 0) * 100)\n"
      "for key in ('C609ODA', 'C601CAI', 'C612CAI'):\n"
      "    ls = [r for r in rows if r['DCLE'] == 'Z' and r['DMOIS'] + r['DJAL'].ljust(3) == key]\n"
      "    s = lambda sense, f: sum(cents(r[f]) for r in ls if r['DSENS'] == sense)\n"
      "    print(key, 1, s('D', 'DMONTANTF'), s('C', 'DMONTANTF'), s('D', 'DMONTANTE'), s('C', 'DMONTANTE'))\n";
  const std::string headers = DbfRead("c10je", script), lines = DbfRead("c40je", closed);
  EXPECT_EQ(headers, lines);
  EXPECT_NE(lines.find("C609ODA 1 "), std::string::npos) << lines;
  EXPECT_NE(lines.find(" 16996 16996\n"), std::string::npos) << "both runs' euros: 120 + 3.30 + 45.67 + 0.99\n" << lines;
  ExpectInvariants("after two validations into one month");
}

// A journal-month validated with 52 476 560 000,00 francs on each side, then as much again entered
// on other accounts: its closed header could not hold the second run's totals beside the first's
// (104 953 120 000,00 francs). The second run is refused in one sentence naming the journal-month
// and that total, never as a disk's error; the dossier stays byte for byte, no header holds
// asterisks.
TEST_F(ValidationTest, AClosedTotalPastWhatItHoldsIsRefusedByName) {
  Open();
  const double big = 8'000'000'000.00;
  SeedMonth("C609ODA", {{"000010", "01", "60640000", '1', "Premier", 'D', big},
                        {"000010", "01", "53000000", '1', "Banque", 'C', big}});
  gui::ModalSeam::Reset();
  Validate({"C609ODA"}, "20/09/26");
  Menu(kValidation);
  ASSERT_NE(test_support::ShownTexts().find("est termin\xE9" "e"), std::string::npos) << test_support::ShownTexts();
  SeedMonth("C609ODA", {{"000011", "02", "60610000", '1', "Second", 'D', big},
                        {"000011", "02", "51200000", '1', "Banque", 'C', big}});
  CloseAll();
  const auto files = TableFiles();
  gui::ModalSeam::Reset();
  Validate({"C609ODA"}, "21/09/26");
  Menu(kValidation);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("Le journal ODA de 09/26 ne peut recevoir"), std::string::npos) << shown;
  EXPECT_NE(shown.find("lui donneraient 104 953 120 000,00 francs : rien n'est valid\xE9."), std::string::npos) << shown;
  EXPECT_EQ(shown.find("disque"), std::string::npos) << shown;
  CloseAll();
  ExpectSameFiles(files, TableFiles(), "a closed total past what it holds");
  EXPECT_EQ(Bytes("c10je.dbf").find("**************"), std::string::npos);
}

// A lines window that refuses to close (its journal-month does not balance and the user keeps it)
// ends the command before the dossier is taken: no form, the window still open, nothing changed.
TEST_F(ValidationTest, AWindowRefusingToCloseEndsTheCommand) {
  Open();
  SeedMonth("C605CAI", {{"000001", "10", "60640000", '1', "Seul", 'D', 10.00}});
  TWSaiBroDetJournaux* w = Saisir("C605CAI");
  ASSERT_NE(w, nullptr);
  const auto files = TableFiles();
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  Menu(kValidation);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].kind, gui::ModalKind::MessageBox);
  EXPECT_EQ(WindowOf("C605CAI"), w);
  EXPECT_EQ(GetDossierState(), ' ');
  ExpectSameFiles(files, TableFiles(), "a window refusing to close");
}

// A run that fails at its end (here the invariant check, on an account total changed behind its back
// while it runs) puts the copies back at once: the dossier byte for byte, the error said and logged
// with its code. A total wrong before the run is not the run's: it is named, with the advice to run
// the ReConstruction, and the run goes to its end.
TEST_F(ValidationTest, AFailedRunPutsTheDossierBackAtOnce) {
  Open();
  const std::string month = JournalMonths()[0].first;
  ASSERT_TRUE(EnsureGeneralFile());
  if (!TableC20->isOpen) {
    ASSERT_TRUE(TableC20->UseShared(PathC20(), "C20CODE"));
  }
  ASSERT_TRUE(test_support::PostTotals('A', "60640000", "+D", 6.56, 1.00));
  CloseAll();
  // The first account of the chart moved by a cent while the first line goes to the closed file.
  std::string moved;
  const auto moveFirstAccount = [&moved](double cents) {
    Table c20;
    ASSERT_TRUE(c20.OpenShared(PathC20(), ""));
    ASSERT_TRUE(c20.GoTo(1));
    moved = RTrim(c20.GetField(1));
    const test_support::SetUpPermit permit("total decale");
    ASSERT_TRUE(c20.PutFieldNum(17, c20.GetFieldNum(17) + cents / 100));
    c20.CloseTable(true);
  };
  const auto files = TableFiles();
  SetValidationLineHook([&](long n) {
    if (n == 1) moveFirstAccount(1);
  });
  gui::ModalSeam::Reset();
  Validate({month}, "20/03/26");
  Menu(kValidation);
  SetValidationLineHook({});
  moveFirstAccount(-1);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("a rencontr\xE9 un incident: 6600"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Le dossier a \xE9t\xE9 remis tel qu'il \xE9tait avant la validation"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Compte " + moved + ": "), std::string::npos) << "the fault found is named\n" << shown;
  CloseAll();
  ExpectSameFiles(files, TableFiles(), "a failed run");
  EXPECT_NE(Log().find("VALIDATION DES JOURNAUX - Erreur: 6600 - " + JournalMonthsText({month})), std::string::npos)
      << Log();
  EXPECT_EQ(Log().find("VALIDATION DES JOURNAUX - Ok"), std::string::npos);
  EXPECT_FALSE(AsideFolderLeft());
  EXPECT_FALSE(fs::exists(folder_ + "cje.run"));

  // Alone, the total wrong before: the run goes to its end and names it.
  gui::ModalSeam::Reset();
  Validate({month}, "20/03/26");
  Menu(kValidation);
  const std::string done = test_support::ShownTexts();
  EXPECT_NE(Log().find("VALIDATION DES JOURNAUX - Ok"), std::string::npos) << done;
  EXPECT_NE(done.find("Compte 60640000: "), std::string::npos) << done;
  EXPECT_NE(done.find("ReConstruction de ce dossier"), std::string::npos) << done;
}

// The validation chosen while a journal-month's lines are on screen: the command closes the
// windows, which let go of their tables at once, and the run takes each table alone and goes to
// its end (never an incident on a file that a closed window still held).
TEST_F(ValidationTest, TheEntryWindowsOpenAreClosedAndTheRunGoesToItsEnd) {
  Open();
  const std::string month = JournalMonths()[0].first;
  ASSERT_NE(Saisir(month), nullptr);
  gui::ModalSeam::Reset();
  Validate({month}, "20/03/26");
  Menu(kValidation);
  const std::string shown = test_support::ShownTexts();
  EXPECT_EQ(WindowOf(month), nullptr);
  EXPECT_EQ(shown.find("incident"), std::string::npos) << shown;
  EXPECT_NE(Log().find("VALIDATION DES JOURNAUX - Ok - " + JournalMonthsText({month})), std::string::npos) << Log();
}

// A read the disk refuses while the run checks what it wrote (the chart of accounts, which the run
// itself does not read): the run fails and puts the dossier back, and its box says the read refused
// with the file, never totals found wrong.
TEST_F(ValidationTest, AReadRefusedByTheCheckIsSaidAsSuch) {
  Open();
  const std::string month = JournalMonths()[0].first;
  CloseAll();
  const auto files = TableFiles();
  gui::ModalSeam::Reset();
  Validate({month}, "20/03/26");
  test_support::RefusedRead::Arm("/c20je.dbf", 1);
  Menu(kValidation);
  const int seen = test_support::RefusedRead::Seen();
  test_support::RefusedRead::Disarm();
  ASSERT_GE(seen, 1);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find(ReadErrorText(folder_ + "c20je.dbf")), std::string::npos) << shown;
  EXPECT_EQ(shown.find("contr\xF4le des totaux"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Le dossier a \xE9t\xE9 remis tel qu'il \xE9tait avant la validation"), std::string::npos) << shown;
  for (const gui::ShownModal& m : gui::ModalSeam::Shown())
    if (m.text.find(ReadErrorText(folder_ + "c20je.dbf")) != std::string::npos)
      test_support::ScreenshotMessage(m, "entry", "validation-check-unread");
  CloseAll();
  ExpectSameFiles(files, TableFiles(), "a check that could not read");
}

// The disk no longer reading from one read on (every file, or the draft, or the sort file alone), wherever
// the validation is (the form's list of journal-months, its check before, its run, its check after, the
// put-back, the opening after it): each refusal is said in the program's own words, the read refused
// named, never in the engine's raw box nor as another station's hold; the disk in order again, the
// dossier opens as before the run, or validated.
TEST_F(ValidationTest, ADiskThatNoLongerReadsIsSaidInTheProgramsOwnWords) {
  Open();
  const std::string month = JournalMonths()[0].first;
  CloseAll();
  CloseDossier();
  const std::string kept = root_ + "/kept/";
  fs::copy(folder_, kept, fs::copy_options::recursive);
  const auto files = TableFiles();
  for (const char* file : {"", "c50je.dbf", "c60je.dbf"}) {
    long refused = 0;
    std::vector<int> points{1, 2, 3, 10, 30, 100, 300};
    for (int nth = 400; nth < 20000; nth += 150) points.push_back(nth);
    for (const int nth : points) {
      SCOPED_TRACE(std::string(*file == '\0' ? "every file" : file) + ", read " + std::to_string(nth) + " on refused");
      fs::remove_all(folder_);
      fs::copy(kept, folder_, fs::copy_options::recursive);
      Open();
      CloseAll();
      gui::ModalSeam::Reset();
      Validate({month}, "20/03/26");
      // A file of the dossier's own: the copies the run makes aside read as they are.
      test_support::RefusedRead::Arm(*file == '\0' ? std::string() : "/demo/" + std::string(file), nth, true);
      Menu(kValidation);
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      const std::string shown = test_support::ShownTexts();
      CloseAll();
      CloseDossier();
      if (seen < nth) break;
      ++refused;
      EXPECT_EQ(shown.find("Erreur BDE"), std::string::npos) << shown;
      EXPECT_EQ(shown.find("aucun poste n'utilise"), std::string::npos) << shown;
      EXPECT_EQ(shown.find("Ouverture impossible"), std::string::npos) << shown;
      EXPECT_NE(shown.find("erreur de lecture sur le disque"), std::string::npos) << shown;
      if (*file != '\0') EXPECT_NE(shown.find(ReadErrorText(folder_ + file)), std::string::npos) << shown;
      // The disk in order: the dossier opens, as it was or validated.
      gui::ModalSeam::Reset();
      for (int i = 0; i < 4; ++i) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      Open();
      CloseAll();
      const bool validated = Log().find("VALIDATION DES JOURNAUX - Ok - " + JournalMonthsText({month})) != std::string::npos;
      CloseDossier();
      if (!validated) ExpectSameFiles(files, TableFiles(), "the disk in order again");
      ASSERT_FALSE(HasFailure());
    }
    EXPECT_GE(refused, 5) << file;
  }
  fs::remove_all(kept);
}

// The form's list of journal-months over a disk that no longer reads one of the files it reads (the
// draft, the general file, the closed file, their indexes), from each of its reads on, or at that read
// alone: either the form
// comes, or one box says, in the program's own words, which file could not be read; never the engine's
// raw box. The dossier opened again, that box is the list's (nothing validated); kept closed by the same
// disk, it is the opening's alone, which says the dossier stays closed and why.
TEST_F(ValidationTest, TheListOfMonthsOverADiskThatNoLongerReadsSaysSoOnceInItsOwnWords) {
  Open();
  CloseAll();
  long openSaid = 0, closedSaid = 0;
  for (const bool forGood : {true, false})
  for (const char* file : {"/c50je.dbf", "/c50je.mdx", "/c10je.dbf", "/c10je.mdx", "/c40je.dbf"}) {
    long said = 0;
    for (int nth = 1; nth <= 400; nth += nth < 8 ? 1 : 37) {
      SCOPED_TRACE(std::string(file) + ", read " + std::to_string(nth) + (forGood ? " on" : " alone") + " refused");
      gui::ModalSeam::Reset();
      bool formShown = false;
      gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&formShown](gui::Window&) { formShown = true; });
      test_support::RefusedRead::Arm(file, nth, forGood);
      Menu(kValidation);
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      const std::string shown = test_support::ShownTexts();
      EXPECT_EQ(shown.find("Erreur BDE"), std::string::npos) << shown;
      if (!formShown && seen >= nth) {
        ++said;
        const std::vector<gui::ShownModal>& boxes = gui::ModalSeam::Shown();
        ASSERT_EQ(boxes.size(), 1u) << shown;
        EXPECT_NE(boxes[0].text.find("erreur de lecture sur le disque"), std::string::npos) << shown;
        EXPECT_NE(boxes[0].text.find(std::string(file).substr(1)), std::string::npos) << shown;
        if (TableC10 == nullptr || !TableC10->isOpen) {
          EXPECT_EQ(boxes[0].caption.rfind("Dossier JE non ouvert", 0), 0u) << shown;
          if (++closedSaid == 1)
            test_support::ScreenshotMessage(boxes[0], "entry", "validation-months-unread-closed");
        } else {
          EXPECT_EQ(boxes[0].text.rfind("La liste des journaux \xE0 valider n'a pas pu \xEAtre lue en entier", 0), 0u)
              << shown;
          if (++openSaid == 1)
            test_support::ScreenshotMessage(boxes[0], "entry", "validation-months-unread");
        }
      }
      CloseAll();
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    if (forGood) EXPECT_GE(said, 1) << file;
  }
  EXPECT_GE(openSaid, 1);
  EXPECT_GE(closedSaid, 1);
}

// Another station has the dossier open: message 2259, no form, nothing changed.
std::string& LockTableFile() {
  static std::string file;
  return file;
}
bool StationWithTheDossierOpen(char cmd) {
  static Table* lock = nullptr;
  if (cmd != 'o') return false;
  lock = new Table();
  return lock->OpenShared(LockTableFile());
}

TEST_F(ValidationTest, AnotherStationWithTheDossierOpenGetsMessage2259) {
  LockTableFile() = DossierTablePathOf(folder_, "JE");
  test_support::OtherProcess station(&StationWithTheDossierOpen);
  Open();
  ASSERT_TRUE(station.Do('o'));
  CloseAll();
  const auto files = TableFiles();
  gui::ModalSeam::Reset();
  Menu(kValidation);
  EXPECT_NE(test_support::ShownTexts().find("IMPOSSIBLE d'ouvrir le dossier en cours de mani\xE8re EXCLUSIVE"),
            std::string::npos)
      << test_support::ShownTexts();
  for (const gui::ShownModal& s : gui::ModalSeam::Shown()) EXPECT_NE(s.kind, gui::ModalKind::Dialog);
  ExpectSameFiles(files, TableFiles(), "2259");
}

// A run killed after 20 lines: the next opening puts the dossier back from the copies, byte for
// byte, without a question, and the log says so.
TEST_F(ValidationTest, ARunKilledHalfWayIsPutBackAtTheNextOpening) {
  Open();
  const auto months = JournalMonths();
  const std::vector<std::string> chosen{months[0].first, months[1].first};
  RunSubjectCommand(20203);  // "Fermer dossier"
  gui::ProcessPendingMessages();
  ASSERT_TRUE(IsBlank(DossierCode));
  const auto files = TableFiles();
  const std::string folder = folder_;
  const int code = test_support::RunInChild([folder, chosen] {
    SetDossier(folder, "JE");
    if (!DossierLockTable->OpenExclusive(DossierTablePath())) return 1;
    SetValidationLineHook([](long n) {
      if (n == 20) ::raise(SIGKILL);
    });
    JournalValidationRequest request{chosen, "C60320"};
    RunValidation(request);
    return 2;
  });
  ASSERT_EQ(code, 128 + SIGKILL);
  EXPECT_TRUE(fs::exists(folder_ + "cje.run")) << "the run's marker stays";
  EXPECT_TRUE(AsideFolderLeft());
  bool changed = false;
  const auto killed = TableFiles();
  for (const auto& [name, bytes] : files) changed = changed || killed.count(name) == 0 || killed.at(name) != bytes;
  EXPECT_TRUE(changed) << "the killed run had changed the files";

  gui::ModalSeam::Reset();
  OpenThroughDialog(C10Path(folder_, "JE"));
  EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), "JE") << test_support::ShownTexts();
  EXPECT_NE(test_support::ShownTexts().find("La Validation des Journaux de ce dossier a \xE9t\xE9 interrompue"),
            std::string::npos)
      << test_support::ShownTexts();
  for (const gui::ShownModal& s : gui::ModalSeam::Shown()) EXPECT_NE(s.buttons, unsigned(gui::MB_YESNO)) << s.text;
  CloseAll();
  ExpectSameFiles(files, TableFiles(), "put back");
  EXPECT_FALSE(fs::exists(folder_ + "cje.run"));
  EXPECT_FALSE(AsideFolderLeft());
  EXPECT_NE(Log().find("VALIDATION DES JOURNAUX - reprise: JE"), std::string::npos) << Log();
  ExpectInvariants("after the put-back");
}

// A run killed inside the pack of C50, just before its new data file is renamed over C50: the
// opening puts the dossier back from the copies, and the pack's new file is not brought back
// over what was put back: C50 and C40 as before, byte for byte, C50's tags holding its records,
// nothing of the pack left.
TEST_F(ValidationTest, ARunKilledBeforeTheDraftsPackRenameIsPutBackWhole) {
  Open();
  const std::vector<std::string> chosen{JournalMonths()[0].first, JournalMonths()[1].first};
  RunSubjectCommand(20203);  // "Fermer dossier"
  gui::ProcessPendingMessages();
  const auto files = TableFiles();
  const std::string folder = folder_;
  const std::string packed = folder_ + "c50je.dbf.pack";
  const int code = test_support::RunInChild([folder, chosen] {
    SetDossier(folder, "JE");
    if (!DossierLockTable->OpenExclusive(DossierTablePath())) return 1;
    test_support::KillWhen(folder + "c50je.dbf.pack", folder + "c50je.mdx.pack");
    RunValidation(JournalValidationRequest{chosen, "C60320"});
    return 2;
  });
  ASSERT_EQ(code, 128 + SIGKILL);
  ASSERT_TRUE(fs::exists(packed));

  gui::ModalSeam::Reset();
  OpenThroughDialog(C10Path(folder_, "JE"));
  EXPECT_EQ(std::string(RTrim(DossierCode.c_str())), "JE") << test_support::ShownTexts();
  EXPECT_NE(test_support::ShownTexts().find("a \xE9t\xE9 remis tel qu'il \xE9tait avant elle"), std::string::npos)
      << test_support::ShownTexts();
  CloseAll();
  ExpectSameFiles(files, TableFiles(), "put back over a killed pack");
  for (const auto& e : fs::directory_iterator(folder_))
    EXPECT_EQ(e.path().filename().string().find(".pack"), std::string::npos) << e.path();
  EXPECT_FALSE(AsideFolderLeft());
  Table c50;
  ASSERT_TRUE(c50.OpenShared(folder_ + "c50je", "", true));
  EXPECT_EQ(dbase::DbiCheckIndex(c50.Engine().cursor, false), dbase::DBIERR_NONE);
  c50.CloseTable(true);
  ExpectInvariants("after the put-back");
}

// The disk fills up while the pack of C50 writes its new data file: the run says that the disk
// is full and in which folder (not only its incident number), and the dossier is put back.
std::string g_draftPack;
void FillTheDiskAtTheDraftsPack() {
  if (fs::exists(g_draftPack)) dbase::SetWriteFault(dbase::WriteFault::kFull, 1);
}

TEST_F(ValidationTest, APackOnAFullDiskSaysTheDiskIsFull) {
  Open();
  const std::string month = JournalMonths()[0].first;
  CloseAll();
  const auto files = TableFiles();
  g_draftPack = folder_ + "c50je.dbf.pack";
  gui::ModalSeam::Reset();
  Validate({month}, "20/03/26");
  dbase::BeforeFileChange = FillTheDiskAtTheDraftsPack;
  Menu(kValidation);
  dbase::BeforeFileChange = nullptr;
  dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("a rencontr\xE9 un incident: 6300 - disque plein"), std::string::npos) << shown;
  EXPECT_NE(shown.find("plus de place dans le dossier " + folder_ + " pour \xE9" "crire c50je"), std::string::npos)
      << shown;
  EXPECT_NE(shown.find("Le dossier a \xE9t\xE9 remis tel qu'il \xE9tait avant la validation"), std::string::npos)
      << shown;
  CloseAll();
  ExpectSameFiles(files, TableFiles(), "a pack on a full disk");
  EXPECT_FALSE(AsideFolderLeft());
}

}  // namespace
}  // namespace entry_test
