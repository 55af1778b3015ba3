// The rebuild of every index file of the dossier, with and without packing.
#include <fcntl.h>
#include <unistd.h>

#include "data/dossier_lock.h"
#include "data/index_recovery.h"
#include "dossier/dossier_open.h"
#include "dossier/rebuild_indexes.h"
#include "support/dossier_fixture.h"

TEST_F(DossierOpenTest, RebuildReplacesEveryIndexFileAndPacksWhenAsked) {
  const std::string d = MakeDossier("rebuild", "REB", 30);
  const std::string other = MakeDossier("autre", "AUT", 10);
  fs::copy_file(other + "c30aut.mdx", d + "c30reb.mdx", fs::copy_options::overwrite_existing);
  fs::remove(d + "c60reb.mdx");
  std::uint32_t accounts = 0;
  {
    Table c20;
    ASSERT_TRUE(c20.OpenTable(d + "c20reb", "C20CODE"));
    accounts = c20.RecCount();
    ASSERT_TRUE(c20.GoTop("C20CODE"));
    ASSERT_TRUE(c20.DeleteRecord(nullptr, 1));
  }
  OpenThroughDialog(C10Path(d, "REB"));
  ASSERT_EQ(DossierCode, "REB");
  CloseAllTables();
  ASSERT_TRUE(OpenDossierExclusive(false));
  ASSERT_TRUE(RebuildTablesAndIndexes(nullptr, true, true));
  EXPECT_EQ(DossierProgressWindow::LastCaption(), "ReIndex du dossier: REB");
  // The framed line of the progress window named each table in turn, the last one at the end.
  EXPECT_EQ(DossierProgressWindow::LastFramedLine(), d + "c70reb");
  ASSERT_TRUE(ReleaseDossierExclusive());

  for (const char* t : {"c10reb", "c20reb", "c30reb", "c40reb", "c50reb", "c60reb", "c70reb"})
    EXPECT_TRUE(MdxHeaderMatchesName((d + t + ".mdx").c_str())) << t;
  Table c20;
  ASSERT_TRUE(c20.OpenTable(d + "c20reb", "C20NOM"));
  EXPECT_EQ(c20.RecCount(), accounts - 1) << "the cancelled account went with the pack";
  c20.CloseTable(true);
  Table c60;
  for (const char* tag : {"C60CODE", "C60REC", "C60DTVAE"}) EXPECT_TRUE(c60.OpenTable(d + "c60reb", tag)) << tag;
  c60.CloseTable(true);
}

TEST_F(DossierOpenTest, ReindexKeepsTheIndexOfADataFileItCannotRewrite) {
  const std::string d = MakeDossier("court", "CRT", 10);
  OpenThroughDialog(C10Path(d, "CRT"));
  ASSERT_EQ(DossierCode, "CRT");
  CloseAllTables();
  // C30's data file is cut short of its header: nothing is reindexed, the missing index
  // of C20 included, and every index file stays.
  const std::string c40Index = ReadAll(d + "c40crt.mdx");
  fs::resize_file(d + "c30crt.dbf", 20);
  fs::remove(d + "c20crt.mdx");
  ASSERT_TRUE(OpenDossierExclusive(false));
  gui::ModalSeam::Reset();
  EXPECT_FALSE(RebuildTablesAndIndexes(nullptr, false, true));
  ReleaseDossierExclusive();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].caption, "ERREUR pendant ReIndex du fichier:    30");
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find(d + "c30crt.dbf"), std::string::npos);
  EXPECT_TRUE(fs::exists(d + "c30crt.mdx"));
  EXPECT_FALSE(fs::exists(d + "c20crt.mdx"));
  EXPECT_EQ(ReadAll(d + "c40crt.mdx"), c40Index);
  EXPECT_NE(ReadAll(d + "clgcrt.txt").find("REINDEX - Erreur: " + d + "c30crt.dbf"), std::string::npos);
}

TEST_F(DossierOpenTest, OlderGenerationWithoutItsIndexStillOffersTheConversion) {
  const std::string d = MakeDossier("ancien", "ANC", 10);
  // C10 of the older generation names its fields with "C"; its index file is gone
  // while the header still promises one.
  {
    const int fd = ::open((d + "c10anc.dbf").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "CCLE\0\0\0\0\0\0\0", 11, 32), 11);
    ::close(fd);
  }
  fs::remove(d + "c10anc.mdx");
  const std::string c20Index = ReadAll(d + "c20anc.mdx");
  OpenThroughDialog(C10Path(d, "ANC"), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO); });
  EXPECT_NE(ShownTexts().find("La CONVERSION de cet ancien dossier ZEL est indispensable"), std::string::npos)
      << ShownTexts();
  // The other tables were left for the conversion as they were.
  EXPECT_EQ(ReadAll(d + "c20anc.mdx"), c20Index);
  EXPECT_TRUE(fs::exists(d + "c10anc.dbf"));
}
