// The dossier's run marker: what it records of a run, a run inside another that leaves the
// outer run's marker, another run's marker (stopped or at work) that a run never writes over,
// and a marker that cannot be written, which keeps the runs from starting (nothing of the
// dossier changes then); a run that met an amount that does not read after its marker was
// written, refused at its end by its guard.
#include <filesystem>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "data/unread_amounts.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "dossier_test_util.h"
#include "platform/system/files.h"
#include "runtime/dates.h"

namespace dossier_test {
namespace {

class RunMarkerTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    fs::create_directories(Dir() + "/d");
    SetDossier(Dir() + "/d/", "AbC");
    IniSetString("NumeroPoste", "7");
  }
  std::string MarkerFile() const { return Dir() + "/d/cabc.run"; }
};

TEST_F(RunMarkerTest, MarkerNamesItsRunStationAndStartUntilTheRunEnds) {
  const Ymd today = Today();
  char date[16];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d", today.day, today.month, today.year);
  EXPECT_FALSE(ReadDossierRunMarker(nullptr));
  DossierRunInfo info;
  {
    DossierRunMarker marker(BooksReading{}, "essai", "Essai du dossier", "a=1 b=2");
    ASSERT_TRUE(marker.written());
    EXPECT_EQ(marker.path(), MarkerFile());
    ASSERT_TRUE(ReadDossierRunMarker(&info));
    EXPECT_EQ(info.run, "essai");
    EXPECT_EQ(info.title, "Essai du dossier");
    EXPECT_EQ(info.station, "7");
    EXPECT_EQ(info.started.substr(0, 12), std::string(date) + " \xE0");
    EXPECT_EQ(info.detail, "a=1 b=2");
    {
      // A run inside another (the rebuild at the end of a merge) keeps the outer run's marker.
      DossierRunMarker inner(BooksReading{}, "interne", "Interne");
      EXPECT_TRUE(inner.written());
    }
    ASSERT_TRUE(ReadDossierRunMarker(&info));
    EXPECT_EQ(info.run, "essai");
  }
  EXPECT_FALSE(fs::exists(MarkerFile()));

  // A run whose put-back failed keeps its marker for the next opening, and a later run of
  // this program is no longer taken for one inside it: it is refused, the kept marker named,
  // until the opening deals with the stopped run (and takes its place).
  {
    DossierRunMarker kept(BooksReading{}, "essai", "Essai du dossier");
    ASSERT_TRUE(kept.written());
    kept.Keep();
  }
  ASSERT_TRUE(ReadDossierRunMarker(&info));
  EXPECT_EQ(info.run, "essai");
  {
    DossierRunMarker next(BooksReading{}, "suivant", "Suivant");
    EXPECT_FALSE(next.written());
    EXPECT_TRUE(DossierRunMarkerRefusedForAnotherRun(next.path()));
    const std::string refusal = DossierRunMarkerRefusal(next.path());
    EXPECT_NE(refusal.find("interrompu avant sa fin :\n\n   Essai du dossier, commenc\xE9 le " + info.started +
                           " sur le poste 7"),
              std::string::npos)
        << refusal;
  }
  ASSERT_TRUE(ReadDossierRunMarker(&info));
  EXPECT_EQ(info.run, "essai");
  {
    const DossierRunMarkerTakeOver opening;
    DossierRunMarker next(BooksReading{}, "suivant", "Suivant");
    ASSERT_TRUE(next.written());
    EXPECT_FALSE(DossierRunMarkerRefusedForAnotherRun(next.path()));
    ASSERT_TRUE(ReadDossierRunMarker(&info));
    EXPECT_EQ(info.run, "suivant");
  }
  EXPECT_FALSE(fs::exists(MarkerFile()));

  // A marker that lost its lines still says a run stopped; what is missing reads "?".
  std::ofstream(MarkerFile()) << "traitement=autre\n";
  ASSERT_TRUE(ReadDossierRunMarker(&info));
  EXPECT_EQ(info.run, "autre");
  EXPECT_EQ(info.title, "?");
  EXPECT_TRUE(RemoveDossierRunMarker());
  EXPECT_FALSE(DossierRunMarkerExists());
}

// The marker of a run at work (locked by its guard, here of another program) is left as it is,
// even by the opening's take-over: the run is refused, and told that the other run goes on.
// The guard watches the run for its whole life: an amount that does not read met after the marker
// was written (by the run itself, inside a report's watch, or inside a run inside it) refuses the
// run's end, the marker left for its put-back and the line named; a run made to work over such
// amounts (the pack, the renumbering), or one inside it, goes to its end.
TEST_F(RunMarkerTest, ARunThatMetAnAmountThatDoesNotReadIsRefusedAtItsEnd) {
  const UnreadableAmountLine line{LigneTri::kDraft, 12, "000034", "41100000"};
  enum class Where { kNowhere, kInTheRun, kInAReportsWatch, kInARunWorkingOver, kInARunInside };
  const struct Case {
    const char* name;
    UnreadAmountsMet met;
    Where where;
    bool ends;
  } cases[] = {
      {"nothing met", UnreadAmountsMet::kRefused, Where::kNowhere, true},
      {"met by the run", UnreadAmountsMet::kRefused, Where::kInTheRun, false},
      {"met inside a report's watch", UnreadAmountsMet::kRefused, Where::kInAReportsWatch, false},
      {"met by a run inside it", UnreadAmountsMet::kRefused, Where::kInARunInside, false},
      {"met by a run working over them inside it", UnreadAmountsMet::kRefused, Where::kInARunWorkingOver, true},
      {"met by a pack or a renumbering", UnreadAmountsMet::kWorkedOver, Where::kInTheRun, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      DossierRunMarker marker(BooksReading{}, "essai", "Essai du dossier", "", c.met);
      ASSERT_TRUE(marker.written());
      switch (c.where) {
        case Where::kNowhere:
          break;
        case Where::kInTheRun:
          NoteUnreadAmount(line);
          break;
        case Where::kInAReportsWatch: {
          UnreadAmounts report;
          const UnreadAmountWatch watch(report);
          NoteUnreadAmount(line);
          EXPECT_TRUE(report.Any());
          break;
        }
        case Where::kInARunInside:
        case Where::kInARunWorkingOver: {
          DossierRunMarker inner(BooksReading{}, "interne", "Interne", "",
                                 c.where == Where::kInARunInside ? UnreadAmountsMet::kRefused
                                                                 : UnreadAmountsMet::kWorkedOver);
          ASSERT_TRUE(inner.written());
          NoteUnreadAmount(line);
          EXPECT_TRUE(inner.Remove()) << "the outer run decides";
          break;
        }
      }
      EXPECT_EQ(marker.Remove(), c.ends);
      EXPECT_EQ(fs::exists(MarkerFile()), !c.ends);
      EXPECT_EQ(DossierRunMarkerRefusedForUnreadAmounts(marker.path()), !c.ends);
      if (!c.ends) {
        const std::string refusal = DossierRunMarkerRemovalRefusal(marker.path());
        EXPECT_NE(refusal.find("Le traitement est annul\xE9 et le dossier remis tel qu'il \xE9tait"), std::string::npos)
            << refusal;
        EXPECT_NE(refusal.find("C50 enregistrement 12, pi\xE8" "ce 000034, compte 41100000"), std::string::npos)
            << refusal;
      }
    }
    // Put back (here, nothing to put back), the marker goes and the next run starts.
    RemoveDossierRunMarker();
    EXPECT_FALSE(WatchingUnreadAmounts()) << "the run's watch ends with its guard";
  }
}

TEST_F(RunMarkerTest, TheMarkerOfARunAtWorkIsNeverWrittenOver) {
  const std::string atWork = "traitement=autre\ntitre=Autre traitement\nposte=3\ndebut=01/02/2026 \xE0 10h05\n";
  platform::HeldFile other;
  ASSERT_TRUE(other.Write(MarkerFile(), atWork));
  for (const bool takeOver : {false, true}) {
    SCOPED_TRACE(takeOver ? "taken over" : "not taken over");
    std::optional<DossierRunMarkerTakeOver> opening;
    if (takeOver) opening.emplace();
    DossierRunMarker marker(BooksReading{}, "essai", "Essai");
    EXPECT_FALSE(marker.written());
    EXPECT_EQ(DossierRunMarkerRefusal(marker.path()),
              "Un autre traitement de ce dossier est en cours :\n\n   Autre traitement, commenc\xE9 le 01/02/2026 \xE0 "
              "10h05 sur le poste 3.\n\nRecommencez quand il sera termin\xE9. Ce traitement-ci n'est pas lanc\xE9 : rien "
              "n'a \xE9t\xE9 modifi\xE9.");
  }
  EXPECT_EQ(ReadFile(MarkerFile()), atWork);
  // Once that run ended, the refusal is no longer said of the next one.
  other.Release();
  ASSERT_TRUE(RemoveDossierRunMarker());
  DossierRunMarker marker(BooksReading{}, "essai", "Essai");
  EXPECT_TRUE(marker.written());
  EXPECT_FALSE(DossierRunMarkerRefusedForAnotherRun(marker.path()));
}

// Something in the marker's place that is no file: the guard says so, leaves it, and the
// refusal names it and what the system said.
TEST_F(RunMarkerTest, MarkerThatCannotBeWrittenIsSaid) {
  fs::create_directories(MarkerFile());
  {
    DossierRunMarker marker(BooksReading{}, "essai", "Essai");
    EXPECT_FALSE(marker.written());
    EXPECT_NE(DossierRunMarkerRefusal(marker.path()).find(MarkerFile()), std::string::npos);
    EXPECT_EQ(DossierRunMarkerRefusal(marker.path()),
              "\n\n\nLe fichier de suivi du traitement ne peut pas \xEAtre \xE9" "crit:\n\n   " + marker.path() +
                  "\n\n   c'est un dossier\n\nLe traitement n'est pas lanc\xE9: rien n'a \xE9t\xE9 modifi\xE9.\n\n\n");
  }
  EXPECT_TRUE(fs::is_directory(MarkerFile()));
  EXPECT_FALSE(DossierRunMarkerExists());
}

// A run's guard is made from the run's reading and from nothing else: a run written without its
// reading, or that passes a reading it goes on using, does not compile.
static_assert(std::is_constructible_v<DossierRunMarker, BooksReading&&, const std::string&, const std::string&>);
static_assert(!std::is_constructible_v<DossierRunMarker, const std::string&, const std::string&>);
static_assert(!std::is_constructible_v<DossierRunMarker, const std::string&, const std::string&, const std::string&>);
static_assert(!std::is_constructible_v<DossierRunMarker, BooksReading&, const std::string&, const std::string&>);
static_assert(std::is_constructible_v<DossierRunCopies, BooksReading&&, const std::string&, const std::string&,
                                      const std::string&, const std::vector<TableKind>&>);
static_assert(!std::is_constructible_v<DossierRunCopies, const std::string&, const std::string&, const std::string&,
                                       const std::vector<TableKind>&>);

// What the run read under its reading before its marker decides whether the marker is written, inner
// watches and all; what it meets after, however the guard ends (Remove or not), refuses its end: a
// guard that ends without Remove leaves its marker for the next opening's put-back.
TEST_F(RunMarkerTest, TheRunsReadingAndItsWatchDecideWhateverTheGuardsEnd) {
  const UnreadableAmountLine line{LigneTri::kDraft, 12, "000034", "41100000"};
  {
    BooksReading reading;
    {
      UnreadAmounts report;
      const UnreadAmountWatch inner(report);
      NoteUnreadAmount(line);
    }
    DossierRunMarker marker(std::move(reading), "essai", "Essai");
    EXPECT_FALSE(marker.written());
    EXPECT_NE(DossierRunMarkerRefusal(marker.path()).find("C50 enregistrement 12"), std::string::npos)
        << DossierRunMarkerRefusal(marker.path());
  }
  EXPECT_FALSE(fs::exists(MarkerFile()));
  {
    DossierRunMarker marker(BooksReading{}, "essai", "Essai");
    ASSERT_TRUE(marker.written());
    NoteUnreadAmount(line);
  }
  EXPECT_TRUE(fs::exists(MarkerFile())) << "a run that met an unread amount ended as if it went through";
  EXPECT_TRUE(DossierRunMarkerRefusedForUnreadAmounts(Dir() + "/d/cabc.run"));
  EXPECT_FALSE(DossierRunMarkerLive());
  ASSERT_TRUE(RemoveDossierRunMarker());
  // A run that met nothing ends as before, its marker gone.
  { DossierRunMarker marker(BooksReading{}, "essai", "Essai"); }
  EXPECT_FALSE(fs::exists(MarkerFile()));
}

// A run over two dossiers holds two guards and may end its own first: the thread's watches are left
// as they were before both, whichever ends first, and an amount met afterwards, outside any run, is
// noted nowhere.
TEST_F(RunMarkerTest, TwoGuardsEndInEitherOrder) {
  fs::create_directories(Dir() + "/e");
  const UnreadableAmountLine line{LigneTri::kDraft, 12, "000034", "41100000"};
  for (const bool mineFirst : {true, false}) {
    SCOPED_TRACE(mineFirst ? "its own first" : "the other's first");
    auto mine = std::make_unique<DossierRunMarker>(BooksReading{}, "essai", "Essai");
    SetDossier(Dir() + "/e/", "Ef");
    auto theirs = std::make_unique<DossierRunMarker>(BooksReading{}, "essai", "Essai");
    SetDossier(Dir() + "/d/", "AbC");
    ASSERT_TRUE(mine->written() && theirs->written());
    EXPECT_TRUE(mine->Remove());
    if (mineFirst) mine.reset();
    theirs.reset();
    mine.reset();
    EXPECT_FALSE(WatchingUnreadAmounts());
    EXPECT_EQ(RunWatchedUnreadAmounts(), nullptr);
    NoteUnreadAmount(line);
    NoteUnnamedUnreadAmount();
    EXPECT_FALSE(fs::exists(MarkerFile()));
    EXPECT_FALSE(fs::exists(Dir() + "/e/cef.run"));
  }
  // A report's watches the same: the later one goes on gathering once the earlier has ended.
  UnreadAmounts first, second;
  auto earlier = std::make_unique<UnreadAmountWatch>(first);
  auto later = std::make_unique<UnreadAmountWatch>(second);
  earlier.reset();
  NoteUnreadAmount(line);
  EXPECT_EQ(second.lines.size(), 1u);
  EXPECT_TRUE(first.lines.empty());
  later.reset();
  EXPECT_FALSE(WatchingUnreadAmounts());
}

}  // namespace
}  // namespace dossier_test
