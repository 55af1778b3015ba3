// "Saisie d'Ecritures" as the user runs it: Ctrl+S opens "Journaux saisis" with every journal-month
// and the totals of its lines; "Saisir" opens a lines window in a slot, or brings the same one
// forward; five journal-months fill the five slots and a sixth is refused and left unlocked;
// 20402 brings the last active window forward; "Créer" makes a journal-month and opens it. With
// another station: a journal-month it enters is refused until it lets go, and a line key handed
// over at + 18 of a slot keeps the header locked through a totals update.
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <functional>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "entry_fixture.h"
#include "platform/gui/accelerators.h"
#include "platform/gui/menu.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/mdi_client.h"
#include "support/books_writes.h"
#include "support/refused_read.h"
#include "support/totals_post.h"

namespace entry_test {
namespace {

using namespace entry;
using namespace posting;

using SlotsTest = EntryTest;

// The sums of the live general lines of each journal-month, read from C50 by the test.
std::map<std::string, std::pair<long long, long long>> LineSums(bool euros) {
  std::map<std::string, std::pair<long long, long long>> sums;
  Table c50;
  EXPECT_TRUE(c50.OpenShared(PathC50(), "", true));
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
    auto& s = sums[std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL)];
    const long long cents = ToCents(c50.GetFieldNum(euros ? L::BMONTANTE : L::BMONTANTF));
    (c50.GetField(L::BSENS)[0] == 'D' ? s.first : s.second) += cents;
  }
  return sums;
}

TEST_F(SlotsTest, CtrlSListsEveryJournalMonthWithTheTotalsOfItsLines) {
  Open();
  // Ctrl+S of the frame's keys, with the frame's own Ctrl+P beside the lines window's.
  const auto frame = gui::AcceleratorTable::Load(1102);
  const auto lines = gui::AcceleratorTable::Load(1113);
  ASSERT_TRUE(frame != nullptr && lines != nullptr);
  EXPECT_EQ(frame->TranslateText("Ctrl+S"), 20401u);
  EXPECT_EQ(frame->TranslateText("Ctrl+P"), 20041u);
  EXPECT_EQ(lines->TranslateText("Ctrl+P"), 20085u);
  EXPECT_EQ(lines->TranslateText("Del"), 20029u);
  EXPECT_EQ(lines->TranslateText("Ctrl+E"), 20185u);
  test_support::SendKey(MainFrame->OuterWidget(), test_support::kKeyPress, 'S', test_support::kControlModifier);
  gui::ProcessPendingMessages();
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(list->GetCaption(), "Journaux saisis");

  const auto sums = LineSums(true);
  Table c10;
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
  long headers = 0;
  for (bool more = c10.Seek("C10CODE", "C"); more && c10.GetField(1)[0] == 'C'; more = c10.Skip(1)) ++headers;
  EXPECT_EQ(list->Store().totalRows, headers);
  ASSERT_GT(headers, 20);
  list->GoFirst();
  long checked = 0;
  for (long row = 1; row <= headers; ++row) {
    list->SelectRow(row, 1);
    const std::string text = list->Store().rows[static_cast<std::size_t>(list->GetSelectedRowIndex() - 1)];
    const std::string code = list->GetSelectedRowText();
    const auto s = sums.find(code.substr(0, 7));
    ASSERT_NE(s, sums.end()) << code;
    // Month shown MM/YY, journal, state, debit and credit of the euros (the main currency).
    EXPECT_NE(text.find(MonthDisplay(code)), std::string::npos) << text;
    EXPECT_NE(text.find("Brouillard"), std::string::npos) << text;
    EXPECT_NE(text.find(GroupedAmount(s->second.first, 17)), std::string::npos) << code << "|" << text;
    EXPECT_NE(text.find(GroupedAmount(s->second.second, 17)), std::string::npos) << code << "|" << text;
    ++checked;
  }
  EXPECT_EQ(checked, headers);
  list->GoFirst();
  test_support::Screenshot(MainFrame->OuterWidget(), "entry", "headers_list");
}

TEST_F(SlotsTest, SaisirOpensOneWindowPerJournalMonthAndASixthIsRefusedUnlocked) {
  const auto months = JournalMonths();
  ASSERT_GE(months.size(), 6u);
  StationFile() = C10Path(folder_, "JE");
  StationTargets().clear();
  for (std::size_t i = 0; i < 6; ++i) StationTargets().push_back(months[i].first);
  test_support::OtherProcess station(&OtherStation);
  Open();

  TWSaiBroDetJournaux* first = Saisir(months[0].first);
  ASSERT_NE(first, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(first->GetCaption(), "Saisie journal " + JournalOf(months[0].first) + " " + MonthDisplay(months[0].first));
  EXPECT_EQ(SlotKey(0), months[0].first);
  EXPECT_TRUE(first->HoldsHeader());
  EXPECT_FALSE(station.Do('a')) << "the header is locked while the window lives";
  // "Saisir" again brings the same window forward.
  EXPECT_EQ(Saisir(months[0].first), first);
  EXPECT_FALSE(SlotInUse(1));
  EXPECT_EQ(RegistryChar(kHeadersListFlag), '1');

  for (std::size_t i = 1; i < 5; ++i) ASSERT_NE(Saisir(months[i].first), nullptr) << i;
  EXPECT_EQ(FreeSlot(), -1);
  gui::ModalSeam::Reset();
  EXPECT_EQ(Saisir(months[5].first), nullptr);
  EXPECT_NE(test_support::ShownTexts().find("ATTENTION|\n\n5 Journaux sont d\xE9j\xE0 en cours de Saisie"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_TRUE(station.Do('f')) << "the sixth header is left unlocked";
  EXPECT_TRUE(station.Do('F'));

  // 20402: the lines window that last had the focus comes forward, over the headers list.
  TWSaiBroDetJournaux* second = Window(1);
  ASSERT_NE(second, nullptr);
  second->Activate();
  second->EvSetFocus(0);
  gui::ProcessPendingMessages();
  EXPECT_EQ(ActiveLinesWindowPosition(), SlotPosition(1));
  Headers()->Activate();
  gui::ProcessPendingMessages();
  ASSERT_EQ(CommandWindow->GetActiveMDIChild(), Headers());
  Menu(command_id::ActiverSaisie);
  EXPECT_EQ(CommandWindow->GetActiveMDIChild(), second);
  test_support::Screenshot(MainFrame->OuterWidget(), "entry", "five_slots");

  // Closed, the window lets its header go.
  CloseAll();
  EXPECT_TRUE(station.Do('a'));
  EXPECT_TRUE(station.Do('A'));
  EXPECT_EQ(ActiveLinesWindowPosition(), 0);
}

// However the user chooses the row, the lines window opens once, active and in front of the list: the list
// opened with Ctrl+S as it is typed (its keys let go over the list), then the row chosen with the mouse and
// Return, with Down and Return, or with a double click.
TEST_F(SlotsTest, AJournalMonthChosenAnyWayOpensItsLinesWindowInFront) {
  const std::string month = JournalMonths()[0].first;
  Open();
  auto focus = [] { return QApplication::focusWidget(); };
  auto mouse = [](QWidget* w, QEvent::Type type, int row) {
    const QPoint at(40, row * CMDIBrowse::RowHeightPixels() + CMDIBrowse::RowHeightPixels() / 2);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  };
  auto enter = [&focus] {
    test_support::SendKey(focus(), test_support::kKeyPress, gui::VK_RETURN, test_support::kNoModifier, "\r");
    gui::ProcessPendingMessages();
    test_support::SendKey(focus(), test_support::kKeyRelease, gui::VK_RETURN, test_support::kNoModifier, "\r");
  };
  struct Case {
    const char* input;
    std::function<void(TWSaiBroEntJournaux*, int row)> choose;
  };
  const Case cases[] = {
      {"mouse then Return",
       [&](TWSaiBroEntJournaux* list, int row) {
         mouse(list->View()->Widget(), QEvent::MouseButtonPress, row);
         mouse(list->View()->Widget(), QEvent::MouseButtonRelease, row);
         gui::ProcessPendingMessages();
         enter();
       }},
      {"Down then Return",
       [&](TWSaiBroEntJournaux* list, int row) {
         list->Store().selected = list->Store().top + row - 1;
         test_support::SendKey(focus(), test_support::kKeyPress, gui::VK_DOWN);
         test_support::SendKey(focus(), test_support::kKeyRelease, gui::VK_DOWN);
         gui::ProcessPendingMessages();
         enter();
       }},
      {"double click",
       [&](TWSaiBroEntJournaux* list, int row) {
         mouse(list->View()->Widget(), QEvent::MouseButtonPress, row);
         mouse(list->View()->Widget(), QEvent::MouseButtonRelease, row);
         mouse(list->View()->Widget(), QEvent::MouseButtonDblClick, row);
         mouse(list->View()->Widget(), QEvent::MouseButtonRelease, row);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    CloseAll();
    // Ctrl+S pressed over the frame; S and Ctrl let go over the list it opened.
    test_support::SendKey(MainFrame->OuterWidget(), test_support::kKeyPress, 'S', test_support::kControlModifier);
    gui::ProcessPendingMessages();
    TWSaiBroEntJournaux* list = Headers();
    ASSERT_NE(list, nullptr) << test_support::ShownTexts();
    test_support::SendKey(focus(), test_support::kKeyRelease, 'S', test_support::kControlModifier);
    test_support::SendKey(focus(), test_support::kKeyRelease, gui::VK_CONTROL);
    gui::ProcessPendingMessages();
    // The row of the journal-month on the page, the selection elsewhere.
    ASSERT_TRUE(list->LocateCode(month + "B"));
    const int row = list->GetSelectedRowIndex();
    list->Store().selected = 0;
    c.choose(list, row);
    gui::ProcessPendingMessages();
    TWSaiBroDetJournaux* lines = WindowOf(month);
    ASSERT_NE(lines, nullptr) << test_support::ShownTexts();
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), lines) << "the lines window active, not the list";
    EXPECT_EQ(CommandWindow->ActivationHistory().back(), lines);
    EXPECT_TRUE(lines->HasFocus() || lines->View()->HasFocus()) << "the keys go to the lines window";
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(test_support::ShownTexts(), "");
  }
  test_support::Screenshot(MainFrame->OuterWidget(), "entry", "lines_window_from_mouse_and_return");
}

// A lines window maximised over the whole client area hides "Journaux saisis": the Fenêtres menu lists both at its
// end, the active one checked, and brings the list back (shown normal, as a list that gets the focus is); Ctrl+F6
// and Ctrl+Maj+F6 go from one to the other.
TEST_F(SlotsTest, TheFenetresMenuAndCtrlF6ReachTheListBehindAMaximisedLinesWindow) {
  const std::string month = JournalMonths()[0].first;
  Open();
  TWSaiBroDetJournaux* lines = Saisir(month);
  ASSERT_NE(lines, nullptr) << test_support::ShownTexts();
  TWSaiBroEntJournaux* list = Headers();
  const gui::Rect normal = lines->GetWindowRect();
  lines->Show(gui::SW_SHOWMAXIMIZED);
  gui::ProcessPendingMessages();
  ASSERT_TRUE(lines->IsZoomed());
  gui::Menu* windows = MainFrame->WindowMenu();
  ASSERT_NE(windows, nullptr);
  const int fixed = windows->FindPosition(command_id::FermerFenetres) + 1;
  auto listed = [&] {
    emit windows->GetQMenu()->aboutToShow();
    std::string items;
    for (int i = fixed; i < windows->GetItemCount(); ++i)
      items += windows->IsSeparator(i) ? std::string("-|")
                                       : (windows->IsItemChecked(windows->GetItemId(i)) ? "v " : "  ") +
                                             windows->GetItemText(i) + "|";
    return items;
  };
  EXPECT_EQ(listed(), "-|  &1 Journaux saisis|v &2 " + TWSaiBroDetJournaux::TitleOf(month) + "|");
  QMenu* shown = windows->GetQMenu();
  shown->popup(MainFrame->OuterWidget()->mapToGlobal(QPoint(420, 24)));
  test_support::Screenshot(shown, "entry", "fenetres_menu_window_list");
  shown->hide();

  ASSERT_TRUE(windows->Choose(gui::CM_FIRSTMDICHILD));
  gui::ProcessPendingMessages();
  EXPECT_EQ(CommandWindow->GetActiveMDIChild(), list);
  EXPECT_EQ(listed(), "-|v &1 Journaux saisis|  &2 " + TWSaiBroDetJournaux::TitleOf(month) + "|");
  test_support::Screenshot(MainFrame->OuterWidget(), "entry", "list_chosen_from_fenetres");

  const struct {
    test_support::KeyModifiers mods;
    gui::Window* active;
  } keys[] = {{test_support::kControlModifier, lines},
              {test_support::kControlModifier, list},
              {test_support::kControlModifier | test_support::kShiftModifier, lines}};
  for (const auto& k : keys) {
    test_support::SendKey(QApplication::focusWidget(), test_support::kKeyPress, gui::VK_F6, k.mods);
    test_support::SendKey(QApplication::focusWidget(), test_support::kKeyRelease, gui::VK_F6, k.mods);
    gui::ProcessPendingMessages();
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), k.active) << k.active->GetCaption();
  }
  EXPECT_EQ(beeps, 0);
  // Shown normal again, the lines window has the size it had before it was maximised.
  lines->Show(gui::SW_RESTORE);
  gui::ProcessPendingMessages();
  EXPECT_EQ(std::pair(lines->GetWindowRect().w, lines->GetWindowRect().h), std::pair(normal.w, normal.h));
}

TEST_F(SlotsTest, AJournalMonthAnotherStationEntersIsRefusedUntilItLetsGo) {
  const std::string month = JournalMonths()[0].first;
  StationFile() = C10Path(folder_, "JE");
  StationTargets() = {month};
  test_support::OtherProcess station(&OtherStation);
  Open();
  ASSERT_TRUE(station.Do('a'));
  gui::ModalSeam::Reset();
  EXPECT_EQ(Saisir(month), nullptr);
  // One box, the one that says it all: no lock notice naming the header's raw key before it.
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "\n\nJournal d\xE9j\xE0 en cours de Saisie sur un autre poste\n\n");
  EXPECT_TRUE(Notices().empty()) << Notices().front();
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "journal_month_held_elsewhere");
  EXPECT_FALSE(SlotInUse(0));
  ASSERT_TRUE(station.Do('A'));
  EXPECT_NE(Saisir(month), nullptr);
}

TEST_F(SlotsTest, ALineKeyHandedOverAtPlus18KeepsTheHeaderLockedThroughATotalsUpdate) {
  const std::string month = JournalMonths()[0].first;
  StationFile() = C10Path(folder_, "JE");
  StationTargets() = {month};
  test_support::OtherProcess station(&OtherStation);
  Open();
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  // The line form hands its line's key over at + 18, as it will when it saves a line.
  const int slot = SlotPosition(w->SlotIndex());
  const std::string lineKey = "Z" + month + "000001" + "000001" + "0001";
  SetRegistryText(slot + kSlotRestoreOffset, kRestoreKeyLength, lineKey);
  EXPECT_EQ(RegistryText(slot + kSlotKeyOffset, 7), month) << "the journal-month key stays at + 11";
  EXPECT_TRUE(IsJournalInEntry(month.c_str()));
  ASSERT_TRUE(test_support::PostTotals('H', month + "B", "+D", 1.0, 0.15));
  ASSERT_TRUE(test_support::PostTotals('H', month + "B", "-D", 1.0, 0.15));
  EXPECT_FALSE(station.Do('a')) << "still locked after the totals update";
  // "Ligne Restore" finds the key there; the headers list opens it in no second slot.
  EXPECT_EQ(Saisir(month), w);
  EXPECT_FALSE(SlotInUse(1));
}

TEST_F(SlotsTest, CreerMakesANewJournalMonthAndOpensIt) {
  Open();
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  const long before = list->Store().totalRows;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = dynamic_cast<TDNouveauJournal&>(w);
    EXPECT_TRUE(d.SelectJournal("CAI"));
    EXPECT_TRUE(d.SelectMonth("C607"));
    d.Show(gui::SW_SHOWNORMAL);
    test_support::Screenshot(d.OuterWidget(), "entry", "new_journal_1318");
  });
  Send(list, browse_cmd::Nouveau);
  EXPECT_EQ(list->Store().totalRows, before + 1);
  TWSaiBroDetJournaux* w = WindowOf("C607CAI");
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(w->Store().totalRows, 0);
  ASSERT_TRUE(FindHeader(*TableC10, "C607CAI", kDraftSource).IsFound());
  EXPECT_EQ(RTrim(TableC10->GetField(3)), std::string("Caisse"));
  EXPECT_EQ(std::string(TableC10->GetField(4)).substr(0, 28), ZeroTotalsText());
  // An empty journal-month closes without a question; its header may then be cancelled.
  gui::ModalSeam::Reset();
  gui::SendMessage(w->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  EXPECT_EQ(WindowOf("C607CAI"), nullptr);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  ASSERT_TRUE(list->LocateCode("C607CAIB"));
  Send(list, browse_cmd::Annuler);
  ASSERT_TRUE(list->LocateCode("C607CAIB"));
  EXPECT_EQ(list->Store().MarkerOf(list->GetSelectedRowIndex() - 1), kMarkerCancelled);
  // A header with lines stays.
  ASSERT_TRUE(list->LocateCode(JournalMonths()[0].first + "B"));
  Send(list, browse_cmd::Annuler);
  EXPECT_NE(test_support::ShownTexts().find("il ne peut pas \xEAtre annul\xE9"), std::string::npos);
  EXPECT_EQ(list->Store().MarkerOf(list->GetSelectedRowIndex() - 1), kMarkerOrdinary);
}

// "Saisir" on a journal-month, and "Créer" of a new one, over a disk that refuses one read of the general file
// or its index (each read in turn, EIO once): the lines window opens (the month made), or one box says in the
// command's own sentence (or its dialog's) that the disk refused a read, naming the file; never that the
// journal is missing or cancelled, or its header lost, for a read that went short, never the engine's box.
TEST_F(SlotsTest, SaisirAndCreerOverARefusedReadOfTheGeneralFileSayThatRead) {
  Open();
  const std::string month = JournalMonths()[0].first;
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  struct Case {
    const char* command;
    const char* said;      // the start of the command's own sentence
    const char* alsoSaid;  // ... or of its dialog's
    const char* shot;
    const char* file;
    const char* month;  // of "Créer"
  };
  const Case cases[] = {
      {"Saisir", "Le journal ", "Le journal ", "saisir_journal_unread", "/c10je.dbf", ""},
      {"Cr\xE9" "er", "Le centralisateur du journal CAI de 07/", "Le journal CAI n'a pas pu", "", "/c10je.dbf",
       "C607"},
      {"Cr\xE9" "er", "Le centralisateur du journal CAI de 08/", "Le journal CAI n'a pas pu",
       "new_journal_month_unread", "/c10je.mdx", "C608"},
  };
  for (const Case& c : cases) {
    long said = 0, dialogSaid = 0;
    bool opened = false, made = false;
    for (int nth = 1; nth <= 80 && !made; ++nth) {
      SCOPED_TRACE(std::string(c.command) + ", read " + std::to_string(nth) + " of " + c.file + " refused");
      gui::ModalSeam::Reset();
      int seen = 0;
      if (c.command[0] == 'S') {
        ASSERT_TRUE(list->LocateCode(month + "B"));
        test_support::RefusedRead::Arm(c.file, nth);
        Send(list, browse_cmd::Modifier);
      } else {
        gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [nth, &c](gui::Window& w) {
          auto& d = dynamic_cast<TDNouveauJournal&>(w);
          EXPECT_TRUE(d.SelectJournal("CAI"));
          EXPECT_TRUE(d.SelectMonth(c.month));
          test_support::RefusedRead::Arm(c.file, nth);
        });
        Send(list, browse_cmd::Nouveau);
      }
      seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      const std::string shown = test_support::ShownTexts();
      for (const char* untrue : {"Erreur BDE", "n'existe pas ou est annul", "est introuvable"})
        EXPECT_EQ(shown.find(untrue), std::string::npos) << shown;
      TWSaiBroDetJournaux* w = WindowOf(c.command[0] == 'S' ? month : std::string(c.month) + "CAI");
      opened = opened || w != nullptr;
      // The new month made, the next "Créer" would find it: its reads are all tried.
      made = w != nullptr && c.command[0] != 'S';
      if (w != nullptr) {
        gui::SendMessage(w->GetHandle(), gui::WM_CLOSE);
        gui::ProcessPendingMessages();
      } else if (seen >= nth) {
        std::vector<gui::ShownModal> boxes;
        for (const gui::ShownModal& m : gui::ModalSeam::Shown())
          if (m.kind == gui::ModalKind::MessageBox) boxes.push_back(m);
        ASSERT_LE(boxes.size(), 1u) << "more than one box: " << shown;
        // (A label's read refused as the new window paints its rows leaves it closed without a word:
        // that read is the window's, not the command's.)
        if (boxes.empty()) continue;
        const std::string& text = boxes[0].text;
        if (text.rfind(c.said, 0) == 0 || text.rfind(c.alsoSaid, 0) == 0) {
          EXPECT_NE(text.find("une lecture ayant \xE9t\xE9 refus\xE9" "e (erreur de lecture sur le disque"),
                    std::string::npos) << text;
          EXPECT_NE(text.find(c.file + 1), std::string::npos) << text;
          const bool own = text.rfind(c.said, 0) == 0;
          const long n = ++(own ? said : dialogSaid);
          if (n == 1 && own && *c.shot != '\0') test_support::ScreenshotMessage(boxes[0], "entry", c.shot);
          if (n == 1 && !own) test_support::ScreenshotMessage(boxes[0], "entry", "new_journal_unread");
        }
      }
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    EXPECT_TRUE(opened) << c.command;
    EXPECT_GE(said, 1) << c.command;
    CloseAll();
    Menu(command_id::SaisieEcritures);
    list = Headers();
    ASSERT_NE(list, nullptr);
  }
  ExpectInvariants("after the refused reads");
}

// "Journaux saisis" has no layout: "Visualiser" and "Imprimer" are greyed in the Fichier menu, the tool bar and the
// pop-up, and their keys do nothing (they beeped behind an offered command). "Saisir" on a validated journal-month
// says that it is closed to entry.
TEST_F(SlotsTest, JournauxSaisisOffersNoReportAndSaysAValidatedMonthIsClosed) {
  Open();
  // A journal-month validated before: its closed header, as the validation leaves it.
  const std::string validated = JournalMonths()[0].first + kClosedSource;
  {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(c10.AppendBlank());
    c10.PutField(1, "C");
    c10.PutField(2, validated.c_str());
    c10.PutField(3, "Journal valide");
    c10.PutField(4, ZeroTotalsText().c_str());
    ASSERT_TRUE(c10.InsertRecord());
  }
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  QWidget* view = list->View()->Widget();
  view->setFocus();
  gui::ProcessPendingMessages();
  const struct {
    unsigned command;
    int ctrlKey;
  } commands[] = {{browse_cmd::Visualiser, 'V'}, {browse_cmd::Imprimer, 'P'}};
  for (const auto& c : commands) {
    SCOPED_TRACE(c.command);
    gui::ModalSeam::Reset();
    beeps = 0;
    gui::CommandEnabler ce(c.command);
    MainFrame->RouteCommandEnable(ce);
    EXPECT_TRUE(ce.Handled() && !ce.Enabled()) << "the list answers, greyed";
    EXPECT_FALSE(MainMenuHandle->Choose(c.command)) << "Fichier";
    MainControlBar->RunEnablers();
    ASSERT_NE(MainControlBar->GadgetWithId(c.command), nullptr);
    EXPECT_FALSE(MainControlBar->GadgetWithId(c.command)->IsEnabled()) << "the tool bar";
    const QPoint at(40, CMDIBrowse::RowHeightPixels() * 3 / 2);
    gui::ModalSeam::QueuePopupMenuAnswer(c.command);
    QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    test_support::SendKey(view, test_support::kKeyPress, c.ctrlKey, test_support::kControlModifier);
    test_support::SendKey(view, test_support::kKeyRelease, c.ctrlKey, test_support::kControlModifier);
    gui::ProcessPendingMessages();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
    EXPECT_EQ(gui::ModalSeam::Shown()[0].kind, gui::ModalKind::PopupMenu) << "no report choice";
    EXPECT_EQ(beeps, 0) << "nothing offered that only beeps";
  }

  ASSERT_TRUE(list->LocateCode(validated));
  gui::ModalSeam::Reset();
  test_support::SendKey(view, test_support::kKeyPress, gui::VK_RETURN, test_support::kNoModifier, "\r");
  test_support::SendKey(view, test_support::kKeyRelease, gui::VK_RETURN, test_support::kNoModifier, "\r");
  gui::ProcessPendingMessages();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, "\n\nLe journal '" + JournalOf(validated.substr(0, 7)) + "' de " +
                                                  MonthDisplay(validated.substr(0, 7)) +
                                                  " est valid\xE9:\nil est clos \xE0 la saisie.\n\n");
  EXPECT_EQ(SlotHolding(validated.substr(0, 7)), -1) << "not entered";
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "validated_month_closed");
}

// "Créer un Nouveau Journal": Return in either list presses the default button, as Ok does.
TEST_F(SlotsTest, ReturnInEitherListOfTheNewJournalDialogPressesOk) {
  Open();
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* list = Headers();
  ASSERT_NE(list, nullptr);
  for (int which : {TDNouveauJournal::kJournals, TDNouveauJournal::kMonths}) {
    SCOPED_TRACE(which == TDNouveauJournal::kJournals ? "journals" : "months");
    CloseAll();
    if (Headers() == nullptr) Menu(command_id::SaisieEcritures);
    list = Headers();
    ASSERT_NE(list, nullptr);
    const std::string month = which == TDNouveauJournal::kJournals ? "C608" : "C609";
    bool ended = false;
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& d = dynamic_cast<TDNouveauJournal&>(w);
      d.Show(gui::SW_SHOWNORMAL);
      EXPECT_TRUE(d.SelectJournal("CAI"));
      EXPECT_TRUE(d.SelectMonth(month));
      QWidget* box = d.GetDlgItem(which)->Widget();
      d.GetDlgItem(which)->SetFocus();
      gui::ProcessPendingMessages();
      test_support::SendKey(box, test_support::kKeyPress, gui::VK_RETURN, test_support::kNoModifier, "\r");
      test_support::SendKey(box, test_support::kKeyRelease, gui::VK_RETURN, test_support::kNoModifier, "\r");
      gui::ProcessPendingMessages();
      ended = d.IsEnded() && d.Result() == gui::IDOK;
    });
    Send(list, browse_cmd::Nouveau);
    EXPECT_TRUE(ended) << "Return in the list did nothing";
  }
}

}  // namespace
}  // namespace entry_test

