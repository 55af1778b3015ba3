// The reindex of the opening: a data file it cannot rewrite keeps every index file, and an
// index in another order is rebuilt (the packing and the index files written are checked
// byte for byte by the golden maintenance test).
#include <cstring>

#include "data/dossier_lock.h"
#include "data/index_recovery.h"
#include "dossier/dossier_open.h"
#include "dossier/rebuild_indexes.h"
#include "dossier_test_util.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "support/refused_write.h"
#include "support/dossier_fixture.h"

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
  ASSERT_TRUE(c20.OpenShared(d + "c20ord", "C20CODE"));
  std::uint32_t walked = 0;
  for (bool more = c20.GoTop("C20CODE"); more; more = c20.Skip(1)) ++walked;
  EXPECT_EQ(walked, c20.RecCount());
  c20.CloseTable(true);
}

// The opening's reindex meets a disk that fills, or turns read-only, as it writes C70's tags: one
// box, the reindex's own, names the table and the disk's state; never the engine's number. The
// dossier stays closed, and opens once the disk takes writes again.
TEST_F(DossierOpenTest, AReindexAtTheOpeningRefusedByTheDiskSaysWhy) {
  const struct Case {
    const char* name;
    platform::WriteFault fault;
    const char* cause;
  } cases[] = {{"full", platform::WriteFault::kFull, "disque plein"},
               {"read-only", platform::WriteFault::kFailForGood, "en lecture seule"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string d = MakeDossier(std::string("reindex-") + c.name, "ORD", 30);
    // C10's index gone: the opening reindexes the whole dossier.
    fs::remove(d + "c10ord.mdx");
    CloseAllTables();
    test_support::ClearDossierState();
    gui::ModalSeam::Reset();
    test_support::RefusedWrite::Arm("c70ord.mdx", 1, c.fault);
    OpenThroughDialog(C10Path(d, "ORD"));
    const int seen = test_support::RefusedWrite::Seen();
    test_support::RefusedWrite::Disarm();
    ASSERT_GE(seen, 1);
    EXPECT_NE(DossierCode, "ORD");
    const std::string shown = platform::Cp1252ToUtf8(test_support::ShownTexts());
    EXPECT_NE(shown.find(c.cause), std::string::npos) << shown;
    EXPECT_NE(shown.find(platform::ResolvePath(d + "c70ord.dbf")), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Erreur BDE"), std::string::npos) << shown;

    OpenThroughDialog(C10Path(d, "ORD"));
    EXPECT_EQ(DossierCode, "ORD") << platform::Cp1252ToUtf8(test_support::ShownTexts());
  }
}
