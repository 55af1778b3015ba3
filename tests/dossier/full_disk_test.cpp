// The bank statement import on a real full disk: the dossier on a small tmpfs, a few kilobytes
// to some tens larger than it, so that the import fills it at one point or another (its log, the
// identities of its transactions, its lines, their indexes). At each size the run says the disk
// is full; when it says nothing was imported, the identities file and the books are as before;
// the opening on the full disk says the disk is full if it refuses; and once room is made, the
// dossier opens and the same statement imported again brings every transaction, once.
// Mounting needs the superuser: where it is refused, the test is skipped and says why.
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "kill_matrix.h"
#include "platform/system/cp1252.h"
#include "processing/bank_commands.h"
#include "processing/core/matching_lines.h"
#include "processing/core/ofx_import.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "support/bank_statements.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"

namespace {

namespace fs = std::filesystem;
using kill_matrix::DossierRecords;
using L = LigneEcriture;

constexpr int kTransactions = 300;
// Fields a second import may give other values: the piece numbers and the record numbers they lead to.
const std::set<std::string> kPieceNumbers = {"BPIECE", "BREC", "TPIECE", "TREC", "GZONE1@165:6"};

processing::StatementImport Statement() { return test_support::DemoStatementImport(kTransactions); }

class FullDiskTest : public DossierOpenTest {
 protected:
  // The opening finishes a stopped import as the program installs it.
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallBankCommands();
  }
  void TearDown() override {
    if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    SetDossier("", "");
    DossierOpenTest::TearDown();
  }

  // A tmpfs of `bytes` at disk_ (made again when it is there); errno's text when refused.
  std::string Mount(std::uint64_t bytes) {
    if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
    mounted_ = false;
    fs::create_directories(disk_);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("tmpfs", disk_.c_str(), "tmpfs", 0, options.c_str()) != 0) return std::strerror(errno);
    mounted_ = true;
    return "";
  }
  bool Grow(std::uint64_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    return ::mount("tmpfs", disk_.c_str(), "tmpfs", MS_REMOUNT, options.c_str()) == 0;
  }

  // The import in a child, as the program runs it: 0 when it wrote its pieces (or found nothing
  // new), 1 otherwise; *said gets its message.
  static int Import(const std::string& folder, std::string* said) {
    return kill_matrix::InChildSaying(
        [&](std::string* message) {
          *message = "the dossier did not load";
          Table c50, c60;
          if (!kill_matrix::LoadAsOpened(folder, "A") || !TableC10->OpenShared(PathC10(), "C10CODE") ||
              !TableC20->OpenShared(PathC20(), "C20CODE") || !c50.OpenShared(PathC50(), L::kCodeTag) ||
              !c60.OpenShared(PathC60(), processing::kC60CodeTag))
            return false;
          const processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, Statement());
          *message = r.message + "\n(" + std::to_string(r.imported) + " + " + std::to_string(r.skipped) + ")";
          return r.written || r.nothingNew;
        },
        said);
  }

  // Opened through "Ouvrir dossier", every question answered Yes: whether it opened; *said gets
  // what was shown.
  bool OpenAsUser(const std::string& folder, std::string* said) { return OpenAsUser(folder, "A", said); }
  bool OpenAsUser(const std::string& folder, const std::string& code, std::string* said) {
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(folder, code), [] {
      for (int i = 0; i < 6; ++i) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    });
    *said = platform::Cp1252ToUtf8(ShownTexts());
    const bool open = DossierFolder == folder && DossierLockTable->isOpen;
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    SetDossier("", "");
    return open;
  }

  static std::string Text(const std::string& path) {
    std::string text;
    return fs::exists(path) ? ReadAll(path) : text;
  }
  // What a folder's files take on a tmpfs: whole pages.
  static std::uint64_t PagesOf(const std::string& folder) {
    std::uint64_t bytes = 0;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.is_regular_file()) bytes += (e.file_size() + 4095) / 4096 * 4096;
    return bytes;
  }

  const std::string disk_ = root_ + "/disk";
  bool mounted_ = false;
};

TEST_F(FullDiskTest, AnImportThatFillsTheDiskLeavesNoTransactionBehind) {
  if (::geteuid() != 0) GTEST_SKIP() << "a tmpfs can be mounted only by the superuser: not run on a real full disk";
  const std::string model = kill_matrix::MakeDossier(root_ + "/model/a", "A", 60);
  const DossierRecords before = kill_matrix::ReadRecords(model, kPieceNumbers);
  if (const std::string refused = Mount(64 << 20); !refused.empty())
    GTEST_SKIP() << "mounting a tmpfs was refused (" << refused << "): not run on a real full disk";

  // The import with room: what the books hold after it.
  const std::string folder = disk_ + "/a/";
  fs::copy(model, folder);
  std::string said;
  ASSERT_EQ(Import(folder, &said), 0) << said;
  const DossierRecords after = kill_matrix::ReadRecords(folder, kPieceNumbers);
  ASSERT_NE(after, before);

  const std::uint64_t dossier = PagesOf(model);
  int full = 0, nothingImported = 0;
  for (const int extraKb : {4, 8, 12, 16, 20, 24, 32, 40, 48, 64, 80, 96, 128, 160, 192, 256}) {
    SCOPED_TRACE(std::to_string(extraKb) + " KB beside the dossier");
    ASSERT_EQ(Mount(dossier + static_cast<std::uint64_t>(extraKb) * 1024), "");
    fs::copy(model, folder);
    const int status = Import(folder, &said);
    if (status == 0) break;  // room enough
    ASSERT_EQ(status, 1) << said;
    ++full;
    const std::string shown = platform::Cp1252ToUtf8(said);
    if (shown.find("Rien n'a \xC3\xA9t\xC3\xA9 import\xC3\xA9") != std::string::npos) {
      // Nothing imported: the identities and the books as before.
      ++nothingImported;
      EXPECT_EQ(Text(folder + "cofA.txt"), Text(model + "cofA.txt")) << shown;
      EXPECT_EQ(kill_matrix::RecordDifference(kill_matrix::ReadRecords(folder, kPieceNumbers), before), "") << shown;
    }
    // Opened on the same disk: when it cannot, it says the disk is full, not another station.
    std::string opening;
    if (!OpenAsUser(folder, &opening)) {
      EXPECT_EQ(opening.find("autre poste"), std::string::npos) << opening;
      EXPECT_NE(opening.find("disque plein"), std::string::npos) << opening;
    }
    // Room made: the dossier opens, and the statement imported again brings every transaction once.
    ASSERT_TRUE(Grow(64 << 20));
    EXPECT_TRUE(OpenAsUser(folder, &opening)) << opening;
    ASSERT_EQ(Import(folder, &said), 0) << said;
    EXPECT_EQ(kill_matrix::RecordDifference(kill_matrix::ReadRecords(folder, kPieceNumbers), after), "")
        << platform::Cp1252ToUtf8(said);
  }
  EXPECT_GT(full, 0) << "the disk never filled";
  EXPECT_GT(nothingImported, 0) << "no size stopped the import before its lines";
}

// A disk with room for the dossier's files and no more (every inode taken): the import cannot make
// its lock file, and says that the disk is full, naming the file; nothing is imported.
TEST_F(FullDiskTest, AnImportWhoseLockFileTheDiskRefusesSaysTheDiskIsFull) {
  if (::geteuid() != 0) GTEST_SKIP() << "a tmpfs can be mounted only by the superuser: not run on a real full disk";
  const std::string model = kill_matrix::MakeDossier(root_ + "/model/a", "A", 40);
  CloseAllTables();
  SetDossier("", "");
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(model))
    if (e.is_regular_file() && e.path().extension() != ".lck") files.push_back(e.path());
  // The disk's root, the dossier's folder and its files: not one inode more.
  fs::create_directories(disk_);
  const std::string options = "size=64m,mode=0755,nr_inodes=" + std::to_string(files.size() + 2);
  if (::mount("tmpfs", disk_.c_str(), "tmpfs", 0, options.c_str()) != 0)
    GTEST_SKIP() << "mounting a tmpfs was refused (" << std::strerror(errno) << "): not run on a real full disk";
  mounted_ = true;
  const std::string folder = disk_ + "/a/";
  fs::create_directories(folder);
  for (const fs::path& f : files) fs::copy_file(f, folder + f.filename().string());
  const DossierRecords before = kill_matrix::ReadRecords(folder, kPieceNumbers);
  std::string said;
  EXPECT_EQ(Import(folder, &said), 1) << said;
  EXPECT_NE(said.find(folder), std::string::npos) << platform::Cp1252ToUtf8(said);
  EXPECT_NE(said.find(".lck"), std::string::npos) << platform::Cp1252ToUtf8(said);
  EXPECT_NE(said.find("disque plein"), std::string::npos) << platform::Cp1252ToUtf8(said);
  EXPECT_EQ(kill_matrix::RecordDifference(kill_matrix::ReadRecords(folder, kPieceNumbers), before), "");
}

// A dossier on a disk mounted read-only, with its lock table or without it (copied from a disk
// that never held one): the opening says in one box that the system refuses to write there,
// naming the dossier and its folder, and never that another station holds it, nor the engine's
// refusal of the lock table it could not make. Once the disk takes writes again, it opens.
TEST_F(FullDiskTest, ADossierOnAReadOnlyDiskIsRefusedForWhatItIs) {
  if (::geteuid() != 0) GTEST_SKIP() << "a tmpfs can be mounted only by the superuser: no read-only disk here";
  if (const std::string refused = Mount(64 << 20); !refused.empty())
    GTEST_SKIP() << "mounting a tmpfs was refused (" << refused << "): no read-only disk here";
  constexpr int kMsgNotWritable = 34103, kMsgHeldElsewhere = 32007;
  for (const bool lockTable : {true, false}) {
    SCOPED_TRACE(lockTable ? "with its lock table" : "without its lock table");
    const std::string code = lockTable ? "A" : "B";
    const std::string folder = kill_matrix::MakeDossier(disk_ + "/" + LowerAscii(code), code.c_str(), 40);
    CloseAllTables();
    SetDossier("", "");
    if (!lockTable) fs::remove(folder + "cb______.dbf");
    ASSERT_EQ(::mount("tmpfs", disk_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0) << std::strerror(errno);
    std::string said;
    EXPECT_FALSE(OpenAsUser(folder, code, &said));
    std::vector<gui::ShownModal> boxes;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.kind == gui::ModalKind::MessageBox) boxes.push_back(s);
    EXPECT_NE(said.find(platform::Cp1252ToUtf8(FillPlaceholders(LoadStr(kMsgNotWritable), {code, folder}))),
              std::string::npos)
        << said;
    EXPECT_EQ(said.find(platform::Cp1252ToUtf8(FillPlaceholders(LoadStr(kMsgHeldElsewhere), {code, folder}))),
              std::string::npos)
        << said;
    EXPECT_EQ(boxes.size(), 1u) << said;
    if (!lockTable && !boxes.empty()) test_support::ScreenshotMessage(boxes.back(), "dossier", "read-only-disk");
    ASSERT_EQ(::mount("tmpfs", disk_.c_str(), "tmpfs", MS_REMOUNT, nullptr), 0) << std::strerror(errno);
    EXPECT_TRUE(OpenAsUser(folder, code, &said)) << said;
  }
}

}  // namespace
