// The dossier's run marker: what it records of a run, a run inside another that leaves the
// outer run's marker, and a marker that cannot be written, which keeps the runs from starting
// (nothing of the dossier changes then).
#include <filesystem>

#include "dossier/core/dossier_run_marker.h"
#include "dossier_test_util.h"
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
    DossierRunMarker marker("essai", "Essai du dossier", "a=1 b=2");
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
      DossierRunMarker inner("interne", "Interne");
      EXPECT_TRUE(inner.written());
    }
    ASSERT_TRUE(ReadDossierRunMarker(&info));
    EXPECT_EQ(info.run, "essai");
  }
  EXPECT_FALSE(fs::exists(MarkerFile()));

  // A run whose put-back failed keeps its marker for the next opening, and a later run of
  // this program is no longer taken for one inside it.
  {
    DossierRunMarker kept("essai", "Essai du dossier");
    ASSERT_TRUE(kept.written());
    kept.Keep();
  }
  ASSERT_TRUE(ReadDossierRunMarker(&info));
  EXPECT_EQ(info.run, "essai");
  {
    DossierRunMarker next("suivant", "Suivant");
    ASSERT_TRUE(next.written());
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

// Something in the marker's place that is no file: the guard says so, leaves it, and the
// refusal names it.
TEST_F(RunMarkerTest, MarkerThatCannotBeWrittenIsSaid) {
  fs::create_directories(MarkerFile());
  {
    DossierRunMarker marker("essai", "Essai");
    EXPECT_FALSE(marker.written());
    EXPECT_NE(DossierRunMarkerRefusal(marker.path()).find(MarkerFile()), std::string::npos);
  }
  EXPECT_TRUE(fs::is_directory(MarkerFile()));
  EXPECT_FALSE(DossierRunMarkerExists());
}

}  // namespace
}  // namespace dossier_test
