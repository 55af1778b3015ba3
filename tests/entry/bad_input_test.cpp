// Bad input gets a clear French message and loses nothing: a header whose journal was cancelled, a
// journal-month of the 2030s, a missing draft header beside its closed one, and the new
// journal-month dialogs' refusals; "Créer Ligne" through the window renumbers and asks for the
// line form.
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "entry/line_form.h"
#include "entry_fixture.h"
#include "support/refused_read.h"

namespace entry_test {
namespace {

using namespace entry;
using namespace posting;

using BadInputTest = EntryTest;

// True when a cursor of its own can take the header's lock (nobody holds it).
bool HeaderFree(const std::string& journalMonth, char source) {
  Table c10;
  if (!c10.OpenShared(PathC10(), "C10CODE") || !FindC10(c10, 'C', journalMonth + source).IsFound()) return false;
  const bool free = LockRecord(c10, nullptr, 0);
  if (free) UnlockRecord(c10);
  return free;
}

TEST_F(BadInputTest, AHeaderWhoseJournalWasCancelledIsNotEntered) {
  Open();
  const std::string month = JournalMonths()[0].first;
  ASSERT_TRUE(EnsureGeneralFile());
  ASSERT_TRUE(FindJournal(*TableC10, JournalOf(month)).IsFound());
  ASSERT_TRUE(TableC10->DeleteRecord(nullptr, 0));
  UnlockRecord(*TableC10);
  EXPECT_EQ(Saisir(month), nullptr);
  EXPECT_NE(test_support::ShownTexts().find("Le journal '" + JournalOf(month) + "' n'existe pas ou est annul\xE9"),
            std::string::npos)
      << test_support::ShownTexts();
  EXPECT_TRUE(HeaderFree(month, kDraftSource));
  EXPECT_FALSE(SlotInUse(0));
}

TEST_F(BadInputTest, AJournalMonthOfThe2030sShowsItsYear) {
  Open();
  ASSERT_TRUE(EnsureGeneralFile());
  ASSERT_EQ(EnsureDraftHeader(*TableC10, "D003VE "), HeaderCreation::Created);
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->LocateCode("D003VE B"));
  EXPECT_NE(list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)].find("03/30"), std::string::npos);
  TWSaiBroDetJournaux* w = Saisir("D003VE ");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->GetCaption(), "Saisie journal VE 03/30");
}

TEST_F(BadInputTest, AMissingDraftHeaderIsNeverTakenForItsClosedOne) {
  Open();
  const std::string month = JournalMonths()[0].first;
  ASSERT_TRUE(EnsureGeneralFile());
  // The draft header's code made another, and a closed header of the same journal-month added.
  ASSERT_TRUE(FindHeader(*TableC10, month, kDraftSource).IsFound());
  ASSERT_TRUE(TableC10->PutField(2, (month + "X").c_str()));
  ASSERT_TRUE(TableC10->AppendBlank());
  TableC10->PutField(1, "C");
  TableC10->PutField(2, (month + "C").c_str());
  TableC10->PutField(4, ZeroTotalsText().c_str());
  ASSERT_TRUE(TableC10->InsertRecord());
  ASSERT_TRUE(TableC10->Commit());

  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->LocateCode(month + "C"));
  EXPECT_NE(list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)].find("Valid\xE9"), std::string::npos);
  const int beeps0 = beeps;
  Send(list, browse_cmd::Modifier);
  EXPECT_GT(beeps, beeps0) << "a closed journal-month is not entered";
  // Asked all the same (the amount search opens journal-months so): refused with its message.
  gui::ModalSeam::Reset();
  EXPECT_FALSE(RequestJournalEntry(list, month));
  EXPECT_NE(test_support::ShownTexts().find("est introuvable"), std::string::npos) << test_support::ShownTexts();
  EXPECT_TRUE(HeaderFree(month, kClosedSource)) << "the closed header was not locked";
  EXPECT_FALSE(SlotInUse(0));
}

// "Annuler" on a draft header holding lines while the disk refuses the reads of the lines' index from
// each of its first reads in turn, the lines' file opened afresh: the header stays every time (it was
// cancelled over lines not counted, taken for none), a refusal said in one box naming the lines' file.
TEST_F(BadInputTest, AHeaderWhoseLinesCannotBeCountedIsNotCancelled) {
  Open();
  const std::string month = JournalMonths()[0].first;
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  auto cancelled = [&] {
    Table c10;
    EXPECT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
    EXPECT_TRUE(FindHeader(c10, month, kDraftSource).IsFound());
    return c10.IsDeleted();
  };
  int said = 0;
  for (int nth = 1; nth <= 40; ++nth) {
    SCOPED_TRACE("reads of c50je.mdx refused from the " + std::to_string(nth) + "th");
    ASSERT_TRUE(list->LocateCode(month + kDraftSource));
    TableC50->CloseTable(true);
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    test_support::RefusedRead::Arm("/c50je.mdx", nth, true);
    Send(list, browse_cmd::Annuler);
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    const std::string shown = test_support::ShownTexts();
    EXPECT_FALSE(cancelled());
    EXPECT_EQ(shown.find("Erreur BDE"), std::string::npos) << shown;
    if (shown.find("c50je") != std::string::npos) {
      ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << shown;
      if (++said == 1) test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "header_cancel_lines_unread");
    }
    ASSERT_FALSE(HasFailure());
    if (seen < nth) break;
  }
  EXPECT_GE(said, 1);
}

TEST_F(BadInputTest, TheNewJournalMonthDialogsAskForAJournalAndAMonth) {
  Open();
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  // Nothing chosen: refused, and a cancelled journal refused under the check.
  ASSERT_TRUE(FindJournal(*TableC10, "ODA").IsFound());
  ASSERT_TRUE(TableC10->DeleteRecord(nullptr, 0));
  UnlockRecord(*TableC10);
  std::string target(kCiblePieceLength, ' ');
  TDNouveauJournal check(list, &target, false, TDNouveauJournal::kNewJournal, true, false);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = dynamic_cast<TDNouveauJournal&>(w);
    d.JournalList()->SetSelIndex(-1);
    EXPECT_FALSE(d.CanClose());
    EXPECT_TRUE(d.SelectJournal("ODA"));
    EXPECT_TRUE(d.SelectMonth("C603"));
    EXPECT_FALSE(d.CanClose());
  });
  EXPECT_NE(check.Execute(kTaskModal), gui::IDOK);
  EXPECT_NE(test_support::ShownTexts().find("Choisissez un journal et un mois"), std::string::npos);
  EXPECT_NE(test_support::ShownTexts().find("n'existe pas ou est annul\xE9"), std::string::npos);

  // The copy's dialog: its month fixed, the day made a day of that month, the label and the flag.
  target = "C602VE " + std::string(28, ' ');
  TDNouveauJournal copy(list, &target, true, TDNouveauJournal::kCopyJournal, false, true);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = dynamic_cast<TDNouveauJournal&>(w);
    EXPECT_FALSE(d.MonthList()->IsWindowEnabled());
    EXPECT_TRUE(d.SelectJournal("AC"));
    d.DateEdit()->SetValue("31/02/26", false);
    d.LabelEdit()->SetValue("Copie de la pi\xE8" "ce", false);
    d.ClearAmountsBox()->SetValue(true, false);
    d.Show(gui::SW_SHOWNORMAL);
    test_support::Screenshot(d.OuterWidget(), "entry", "copy_journal_1319");
  });
  ASSERT_EQ(copy.Execute(kTaskModal), gui::IDOK);
  EXPECT_EQ(target, "C602AC 28Copie de la pi\xE8" "ce" + std::string(8, ' ') + "O");
}

TEST_F(BadInputTest, CreerLigneThroughTheWindowRenumbersAndAsksForTheLineForm) {
  Open();
  const std::string month = JournalMonths()[0].first;
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  // A live first line of a group whose next line is 0002.
  std::string first;
  for (long row = 1; row < w->Store().totalRows && first.empty(); ++row) {
    w->SelectRow(row + 1, 1);
    const std::string next = w->GetSelectedRowText();
    w->SelectRow(row, 1);
    const std::string here = w->GetSelectedRowText();
    if (here.substr(20) == "0001" && next == here.substr(0, 20) + "0002" &&
        w->Store().MarkerOf(w->GetSelectedRowIndex() - 1) == kMarkerOrdinary)
      first = here;
  }
  ASSERT_FALSE(first.empty());
  const long rows = w->Store().totalRows;
  gui::ModalSeam::Reset();
  Send(w, 20083);
  EXPECT_EQ(w->Store().totalRows, rows + 1);
  // 0001 and 0002 became 0010 and 0020 around the new 0011, which the line form is asked for.
  EXPECT_EQ(w->GetSelectedRowText(), first.substr(0, 20) + "0011");
  EXPECT_EQ(RegistryText(SlotPosition(w->SlotIndex()) + kPartnerOffset + 11, 24), first.substr(0, 20) + "0011");
  // The line form (command 20403) opens on it; "Quitter" gives the empty line up.
  auto* form = dynamic_cast<TWSaiModDetJournaux*>(
      gui::Window::FromHandle(SlotHandle(SlotPosition(w->SlotIndex()) + kPartnerOffset)));
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->Key(), first.substr(0, 20) + "0011");
  Send(form, 20023);
  ExpectInvariants("after a line created through the window");
}

}  // namespace
}  // namespace entry_test
