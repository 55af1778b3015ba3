// The reindex of the opening: a data file it cannot rewrite keeps every index file, and an
// older generation whose index is gone is still offered the conversion (the packing and the
// index files written are checked byte for byte by the golden maintenance test).
#include "data/dossier_lock.h"
#include "data/index_recovery.h"
#include "dossier/dossier_open.h"
#include "dossier/rebuild_indexes.h"
#include "dossier_test_util.h"
#include "support/dossier_fixture.h"

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
  dossier_test::Poke(d + "c10anc.dbf", 32, std::string("CCLE\0\0\0\0\0\0\0", 11));
  fs::remove(d + "c10anc.mdx");
  const std::string c20Index = ReadAll(d + "c20anc.mdx");
  OpenThroughDialog(C10Path(d, "ANC"), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO); });
  EXPECT_NE(ShownTexts().find("La CONVERSION de cet ancien dossier ZEL est indispensable"), std::string::npos)
      << ShownTexts();
  // The other tables were left for the conversion as they were.
  EXPECT_EQ(ReadAll(d + "c20anc.mdx"), c20Index);
  EXPECT_TRUE(fs::exists(d + "c10anc.dbf"));
}

TEST_F(DossierOpenTest, IndexInAnotherOrderIsRebuiltAtTheOpeningAndLogged) {
  const std::string d = MakeDossier("ordre", "ORD", 30);
  // Another tool's collation: the first two entries of C20's first tag change places.
  const std::string index = d + "c20ord.mdx";
  std::string b = ReadAll(index);
  std::uint32_t header = 0, root = 0;
  std::memcpy(&header, b.data() + 512 + 32, 4);
  std::memcpy(&root, b.data() + header * 512, 4);
  const std::size_t items = static_cast<std::size_t>(root) * 512 + 8;
  const std::uint16_t length = static_cast<std::uint8_t>(b[header * 512 + 18]);
  std::string first = b.substr(items, length);
  b.replace(items, length, b.substr(items + length, length));
  b.replace(items + length, length, first);
  std::ofstream(index, std::ios::binary | std::ios::trunc) << b;

  OpenThroughDialog(C10Path(d, "ORD"));
  ASSERT_EQ(DossierCode, "ORD");
  EXPECT_NE(ReadAll(d + "clgord.txt").find("index\xE9 \xE0 l'ouverture : " + index), std::string::npos);
  CloseAllTables();
  Table c20;
  ASSERT_TRUE(c20.OpenTable(d + "c20ord", "C20CODE"));
  std::uint32_t walked = 0;
  for (bool more = c20.GoTop("C20CODE"); more; more = c20.Skip(1)) ++walked;
  EXPECT_EQ(walked, c20.RecCount());
  c20.CloseTable(true);
}
