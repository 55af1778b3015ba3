// A shared index update keeps what it writes over in a journal beside the index before it
// writes: a writer killed at any write of the index, or one whose put-back the disk refuses,
// leaves an index that the next process to read it puts back first, so that it reads the index
// as before the update, whole. The update takes what it keeps from the pages it read to change
// them, without reading them again.
#include <signal.h>

#include <climits>
#include <filesystem>
#include <functional>

#include "dbase/mdx.h"
#include "dbase_test_util.h"
#include "file_layout.h"
#include "platform/system/write_fault.h"
#include "support/file_handles.h"
#include "support/other_process.h"

namespace dbase_test {
namespace {

namespace fs = std::filesystem;

const RecordLayout kCodeLayout = {{"CODE", 'C', 1, 10, 0}};
constexpr int kRecords = 300;
constexpr int kAppended = 200;

bool EndsWith(const std::string& s, const char* end) {
  const std::size_t n = std::strlen(end);
  return s.size() >= n && s.compare(s.size() - n, n, end) == 0;
}

// The changes of the index file (not of its journal) seen, and the one to stop at.
long g_indexChanges = 0;
long g_stopAt = 0;
bool g_refuse = false;  // from g_stopAt on, refused rather than killed
void StopAtIndexChange() {
  if (!EndsWith(platform::ChangeBeingMade(), "t.mdx") || ++g_indexChanges < g_stopAt) return;
  if (!g_refuse) ::raise(SIGKILL);
  platform::SetWriteFault(WriteFault::kFailOnce, 1);
}
// From the `nth` change of the index on, the process is killed, or its writes are refused.
void StopAtIndexChangeN(long nth, bool refuse) {
  g_indexChanges = 0;
  g_stopAt = nth;
  g_refuse = refuse;
  platform::BeforeFileChange = StopAtIndexChange;
}
long g_indexReads = 0;
void CountIndexRead() {
  if (EndsWith(platform::ReadBeingMade(), "t.mdx")) ++g_indexReads;
}

class IndexJournal : public Engine {
 protected:
  void SetUp() override {
    Engine::SetUp();
    dir = fs::temp_directory_path() / ("merlon_idxjournal_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "model");
    hDBICur cur = nullptr;
    ASSERT_EQ(Create(dir / "model" / "t.dbf", {Field("CODE", 'C', 10)}, &cur), DBIERR_NONE);
    ASSERT_EQ(AddTag(cur, "CODE", "CODE"), DBIERR_NONE);
    for (int i = 0; i < kRecords; ++i) ASSERT_EQ(Append(cur, {Code(i * 2).c_str()}), DBIERR_NONE);
    DbiCloseCursor(&cur);
    PutModel();
    before = Entries();
    ASSERT_EQ(before.size(), static_cast<std::size_t>(kRecords));
  }
  void TearDown() override {
    platform::BeforeFileChange = nullptr;
    platform::SetWriteFault(WriteFault::kNone, 0);
    fs::remove_all(dir);
    Engine::TearDown();
  }

  static std::string Code(int i) {
    char c[16];
    std::snprintf(c, sizeof c, "K%05d", i * 7919 % 10007);
    return c;
  }
  void PutModel() {
    for (const char* f : {"t.dbf", "t.mdx"})
      fs::copy_file(dir / "model" / f, dir / f, fs::copy_options::overwrite_existing);
    fs::remove(dir / "t.mdx.journal");
  }
  std::string Table() const { return dir / "t.dbf"; }
  std::string Journal() const { return dir / "t.mdx.journal"; }
  std::uint32_t Mark() const { return Le32(ReadAll(dir / "t.mdx"), mdx_header::kUpdateMark); }
  // The mark the journal's head names: its update's.
  std::uint32_t JournalMark() const { return Le32(ReadAll(Journal()), 36); }

  // Records between the model's keys, appended in one update of the index: most of its pages
  // change, and it takes new ones.
  DBIResult AppendBatch(hDBICur cur) {
    std::vector<std::uint8_t> one = Buffer(cur);
    std::vector<std::uint8_t> all(one.size() * kAppended);
    for (int i = 0; i < kAppended; ++i) {
      std::uint8_t* rec = all.data() + one.size() * i;
      DbiInitRecord(cur, rec);
      DbiPutField(cur, 1, rec, Code(i * 3 + 1).c_str());
    }
    return DbiAppendRecords(cur, kAppended, all.data());
  }

  // The entries of the tag as this process reads them through the index ("key recno", in key
  // order), then "checked" or the fault its check found.
  std::vector<std::string> Entries() {
    std::vector<std::string> out;
    std::unique_ptr<Mdx> m;
    DBIResult r = Mdx::Open(dir / "t.mdx", kCodeLayout, true, false, &m);
    if (r != DBIERR_NONE) return {"open " + std::to_string(r)};
    MdxEntry e, next;
    for (r = m->First("CODE", &e); r == DBIERR_NONE && out.size() <= kRecords + kAppended;
         r = m->Next("CODE", e, &next), e = next)
      out.push_back(e.key + " " + std::to_string(e.recno));
    if (r != DBIERR_EOF) out.push_back("walk " + std::to_string(r));
    r = m->Check("CODE");
    if (r != DBIERR_NONE) out.push_back("check " + std::to_string(r));
    return out;
  }

  // The batch appended in a child process stopped at its nth write of the index: 128 + SIGKILL
  // when it was, else 0; *writes receives the index writes of a run that went through.
  int AppendKilledAt(long nth, long* writes = nullptr) {
    int counted[2];
    if (::pipe(counted) != 0) return -1;
    const int status = test_support::RunInChild([&] {
      StopAtIndexChangeN(nth, false);
      hDBICur cur = nullptr;
      DBIResult rc = Open(Table(), &cur);
      if (rc == DBIERR_NONE) rc = AppendBatch(cur);
      if (rc == DBIERR_NONE) rc = DbiCloseCursor(&cur);
      const long n = g_indexChanges;
      return ::write(counted[1], &n, sizeof n) == sizeof n && rc == DBIERR_NONE ? 0 : 1;
    });
    ::close(counted[1]);
    long n = 0;
    if (::read(counted[0], &n, sizeof n) == sizeof n && writes != nullptr) *writes = n;
    ::close(counted[0]);
    return status;
  }

  fs::path dir;
  std::vector<std::string> before;
};

// Killed before each of its writes of the index in turn, the writer leaves an index that this
// process puts back before it reads it: every entry as before the update, the tag whole. The
// records appended may stand, so the index stays marked for the repair of a station that has
// the table alone.
TEST_F(IndexJournal, AWriterKilledAtAnyIndexWriteLeavesAnIndexReadAsBeforeTheUpdate) {
  long writes = 0;
  ASSERT_EQ(AppendKilledAt(LONG_MAX, &writes), 0);
  ASSERT_GT(writes, 3);
  EXPECT_EQ(Mark(), 0u) << "the update ended";
  EXPECT_GT(JournalMark(), 1u) << "the journal names its update's mark";
  EXPECT_EQ(Entries().size(), static_cast<std::size_t>(kRecords + kAppended));
  for (long n = 1; n <= writes; ++n) {
    SCOPED_TRACE("killed before index write " + std::to_string(n) + " of " + std::to_string(writes));
    PutModel();
    ASSERT_EQ(AppendKilledAt(n), 128 + SIGKILL);
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(Mark(), n == 1 ? 0u : 1u) << "killed before its mark, the writer changed nothing";
    EXPECT_EQ(Entries(), before) << "read again, once put back";
  }
}

// A journal record whose last bytes are not those it was written with (a write torn at its end)
// is not written back: the put-back stops before it.
TEST_F(IndexJournal, ARecordWhoseLastByteChangedIsNotWrittenBack) {
  long writes = 0;
  ASSERT_EQ(AppendKilledAt(LONG_MAX, &writes), 0);
  PutModel();
  ASSERT_EQ(AppendKilledAt(writes), 128 + SIGKILL);
  std::vector<char> journal = ReadAll(Journal());
  // The records past the 64-byte head: place (8 bytes), length (4), checksum (4), bytes.
  std::size_t last = 0;
  for (std::size_t at = 64; at + 16 <= journal.size();) {
    const std::uint32_t n = Le32(journal, at + 8);
    if (n == 0 || at + 16 + n > journal.size()) break;
    last = at;
    at += 16 + n;
  }
  ASSERT_GT(last, 0u);
  const std::uint64_t place = Le32(journal, last) | static_cast<std::uint64_t>(Le32(journal, last + 4)) << 32;
  const std::uint32_t n = Le32(journal, last + 8);
  journal[last + 16 + n - 1] = static_cast<char>(journal[last + 16 + n - 1] ^ 0x5A);
  const char changed = journal[last + 16 + n - 1];
  std::ofstream(Journal(), std::ios::binary).write(journal.data(), static_cast<std::streamsize>(journal.size()));
  (void)Entries();
  const std::vector<char> mdx = ReadAll(dir / "t.mdx");
  if (place + n <= mdx.size()) EXPECT_NE(mdx[place + n - 1], changed) << "the changed record was written back";
}

// The index's writes refused from the nth on, the put-back too: the writer goes on running, the
// lock let go, its journal left. Another process reads the index as before the update (put back
// by it, unmarked: the writer took its records back), and the writer's next update goes through.
TEST_F(IndexJournal, AnUpdateWhosePutBackIsRefusedIsPutBackByTheNextProcessToRead) {
  static hDBICur writer = nullptr;
  int refusedReads = 0;
  for (long from : {2L, 3L, 4L}) {
    SCOPED_TRACE("the index's writes refused from the " + std::to_string(from) + "th on");
    PutModel();
    static long stopAt = 0;
    stopAt = from;
    test_support::OtherProcess other([this](char cmd) {
      if (cmd == 'o') return Open(Table(), &writer) == DBIERR_NONE;
      if (cmd == 'r') {
        StopAtIndexChangeN(stopAt, true);
        const DBIResult rc = AppendBatch(writer);
        platform::BeforeFileChange = nullptr;
        platform::SetWriteFault(WriteFault::kNone, 0);
        return rc != DBIERR_NONE;
      }
      if (cmd == 'a') return AppendBatch(writer) == DBIERR_NONE;
      return false;
    });
    ASSERT_TRUE(other.Do('o'));
    ASSERT_TRUE(other.Do('r')) << "the batch is refused";
    ASSERT_TRUE(fs::exists(Journal())) << "the put-back was refused: the journal stays";
    EXPECT_EQ(Mark(), JournalMark()) << "the index holds the journal's update's mark";
    // A reader whose own put-back is refused reads nothing through the update's pages, unless the
    // update wrote over none of them yet: it then reads the index as before.
    platform::SetWriteFault(WriteFault::kFailForGood, 1);
    const std::vector<std::string> refused = Entries();
    platform::SetWriteFault(WriteFault::kNone, 0);
    if (refused != before) {
      ++refusedReads;
      ASSERT_EQ(refused.size(), 1u);
      EXPECT_EQ(refused[0].rfind("open ", 0), 0u) << refused[0];
    }
    EXPECT_NE(Mark(), 0u);
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(Mark(), 0u);
    EXPECT_TRUE(other.Do('a')) << "the writer's next update";
    EXPECT_EQ(Entries().size(), static_cast<std::size_t>(kRecords + kAppended));
  }
  EXPECT_GT(refusedReads, 0) << "no point had written over a page of the index";
}

// A journal torn in its head was being written when its writer died, before its first write of
// the index (the mark of the caller's own writes aside): nothing is put back from it, the index
// reads as it is, whole, and its mark is the plain one, for the repair.
TEST_F(IndexJournal, AJournalTornInItsHeadIsLeftAsTheIndexWasNeverWrittenAfterIt) {
  std::vector<char> mdx = ReadAll(dir / "t.mdx");
  mdx[mdx_header::kUpdateMark] = 0x5A;
  mdx[mdx_header::kUpdateMark + 1] = 0x3C;
  std::ofstream(dir / "t.mdx", std::ios::binary).write(mdx.data(), static_cast<std::streamsize>(mdx.size()));
  const std::string torn = std::string("MRLNMDXJ") + std::string(1, '\1') + std::string(30, '\0');
  std::ofstream(Journal(), std::ios::binary) << torn;
  EXPECT_EQ(Entries(), before);
  EXPECT_EQ(Mark(), 1u) << "the mark of the writer that died stays for the repair";
}

// A mark no journal names (an update spanning its caller's write marks the index before it
// journals a page) leaves the pages as they were: with the disk refusing every write, the index
// reads whole all the same, its mark as it is, whether no journal lies beside it or another
// update's; with the disk back, the mark beside a journal becomes the plain one.
TEST_F(IndexJournal, AMarkNoJournalNamesIsReadWholeWhenThePlainMarkCannotBeWritten) {
  for (const bool journal : {false, true}) {
    SCOPED_TRACE(journal ? "another update's journal beside it" : "no journal beside it");
    PutModel();
    std::vector<char> mdx = ReadAll(dir / "t.mdx");
    mdx[mdx_header::kUpdateMark] = 0x5A;
    mdx[mdx_header::kUpdateMark + 1] = 0x3C;
    std::ofstream(dir / "t.mdx", std::ios::binary).write(mdx.data(), static_cast<std::streamsize>(mdx.size()));
    if (journal) std::ofstream(Journal(), std::ios::binary) << std::string("MRLNMDXJ") + std::string(60, '\0');
    platform::SetWriteFault(WriteFault::kFailForGood, 1);
    const std::vector<std::string> refused = Entries();
    platform::SetWriteFault(WriteFault::kNone, 0);
    EXPECT_EQ(refused, before);
    EXPECT_EQ(Mark(), 0x3C5Au);
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(Mark(), journal ? 1u : 0x3C5Au);
  }
}

// The journal stays beside the index from one update to the next: an update killed after its
// first page write, following a longer one, puts back its own pages only, none of the records
// left past its own from the longer update.
TEST_F(IndexJournal, AShortUpdateAfterALongOneIsPutBackFromItsOwnRecordsOnly) {
  ASSERT_EQ(AppendKilledAt(LONG_MAX), 0);
  const std::vector<std::string> batched = Entries();
  ASSERT_EQ(batched.size(), static_cast<std::size_t>(kRecords + kAppended));
  const std::uintmax_t longJournal = fs::file_size(Journal());
  for (long n = 2; n <= 3; ++n) {
    SCOPED_TRACE("one record appended, killed before index write " + std::to_string(n));
    const int status = test_support::RunInChild([&] {
      StopAtIndexChangeN(n, false);
      hDBICur cur = nullptr;
      DBIResult rc = Open(Table(), &cur);
      if (rc == DBIERR_NONE) rc = Append(cur, {"K99999"});
      return rc == DBIERR_NONE ? 0 : 1;
    });
    ASSERT_EQ(status, 128 + SIGKILL);
    EXPECT_LE(fs::file_size(Journal()), longJournal);
    EXPECT_EQ(Entries(), batched);
  }
}

// An update that cannot open its journal (no file handle left) is refused before its first
// write: the index unmarked, as before; with a handle again the next one goes through.
TEST_F(IndexJournal, AnUpdateWithoutAHandleForItsJournalIsRefusedBeforeItWrites) {
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(Table(), &cur), DBIERR_NONE);
  const std::vector<char> mdx = ReadAll(dir / "t.mdx");
  {
    const test_support::FileHandlesLeft none(0);
    EXPECT_EQ(Append(cur, {"K99999"}), DBIERR_TOOMANYFILES);
  }
  EXPECT_EQ(ReadAll(dir / "t.mdx"), mdx) << "the index as before, unmarked";
  EXPECT_EQ(Entries(), before);
  EXPECT_EQ(Append(cur, {"K99999"}), DBIERR_NONE);
  EXPECT_EQ(Entries().size(), static_cast<std::size_t>(kRecords + 1));
  DbiCloseCursor(&cur);
}

// An update that wrote a long journal (an import's batch over every leaf of a large index) cuts
// it back to nothing once it has ended: the journal beside an index at rest never keeps the size
// of the longest update; a short update's stays as it wrote it.
long long g_journalPeak = 0;
std::string g_bigJournal;
void NoteJournalSize() {
  std::error_code ec;
  const auto size = fs::file_size(g_bigJournal, ec);
  if (!ec) g_journalPeak = std::max<long long>(g_journalPeak, static_cast<long long>(size));
}

TEST_F(IndexJournal, ALongJournalIsCutBackOnceItsUpdateHasEnded) {
  hDBICur cur = nullptr;
  ASSERT_EQ(Create(dir / "big.dbf", {Field("CODE", 'C', 10)}, &cur), DBIERR_NONE);
  ASSERT_EQ(AddTag(cur, "CODE", "CODE"), DBIERR_NONE);
  DbiCloseCursor(&cur);
  ASSERT_EQ(Open((dir / "big.dbf").string(), &cur), DBIERR_NONE);
  auto append = [&](int from, int count, int step) {
    std::vector<std::uint8_t> one = Buffer(cur);
    std::vector<std::uint8_t> all(one.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      std::uint8_t* rec = all.data() + one.size() * static_cast<std::size_t>(i);
      DbiInitRecord(cur, rec);
      char code[16];
      std::snprintf(code, sizeof code, "B%07d", from + i * step);
      DbiPutField(cur, 1, rec, code);
    }
    return DbiAppendRecords(cur, static_cast<std::uint32_t>(count), all.data());
  };
  for (int batch = 0; batch < 6; ++batch) ASSERT_EQ(append(batch * 8000, 4000, 2), DBIERR_NONE);
  const fs::path journal = dir / "big.mdx.journal";
  g_bigJournal = journal.string();
  g_journalPeak = 0;
  platform::BeforeFileChange = NoteJournalSize;
  EXPECT_EQ(append(1, 3000, 16), DBIERR_NONE) << "a key between two of the model's in every leaf";
  platform::BeforeFileChange = nullptr;
  EXPECT_GT(g_journalPeak, 256 * 1024) << "the batch's journal was long";
  EXPECT_EQ(fs::file_size(journal), 0u);
  ASSERT_EQ(append(3, 1, 1), DBIERR_NONE);
  EXPECT_GT(fs::file_size(journal), 0u) << "a short update's journal stays";
  EXPECT_LT(fs::file_size(journal), 16u * 1024);
  DbiCloseCursor(&cur);
}

// The journal takes the index's rights, not the mask of the station that first updates it: in a
// folder shared by a group, every station that writes the index writes its journal too.
TEST_F(IndexJournal, TheJournalTakesTheIndexsRights) {
  fs::permissions(dir / "t.mdx", fs::perms(0660));
  const mode_t mask = ::umask(077);
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(Table(), &cur), DBIERR_NONE);
  EXPECT_EQ(Append(cur, {"K99999"}), DBIERR_NONE);
  DbiCloseCursor(&cur);
  ::umask(mask);
  ASSERT_TRUE(fs::exists(Journal()));
  EXPECT_EQ(fs::status(Journal()).permissions() & fs::perms::all, fs::perms(0660));
}

// An update keeps what it writes over from the pages it read to change them: with the pages
// held, a record appended reads nothing of the index but its change counter (once for the
// update, once for the key of the record it leaves current).
TEST_F(IndexJournal, AnUpdateDoesNotReadAgainThePagesItChanges) {
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(Table(), &cur), DBIERR_NONE);
  ASSERT_EQ(AppendBatch(cur), DBIERR_NONE);  // every page held now
  g_indexReads = 0;
  platform::BeforeFileRead = CountIndexRead;
  platform::SetWriteFault(WriteFault::kReadFailOnce, LONG_MAX);
  EXPECT_EQ(Append(cur, {Code(5).c_str()}), DBIERR_NONE);
  platform::SetWriteFault(WriteFault::kNone, 0);
  platform::BeforeFileRead = nullptr;
  EXPECT_LE(g_indexReads, 2);
  DbiCloseCursor(&cur);
}

}  // namespace
}  // namespace dbase_test
