// A code list over a real general file (C10) of the engine: the list reads
// only the records of its kind through the C10CODE tag, pages, searches,
// cancels and reactivates records, and sees what another process wrote.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "browse_test_support.h"
#include "data/index_recovery.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_structures.h"
#include "platform/dbase/idapi.h"
#include "runtime/runtime_hooks.h"

namespace {

constexpr char kKind = 'J';

// The journal-code list: marker, code (6), name (30).
class JournalList : public CMDIBrowse {
 public:
  JournalList(gui::MDIClient* client, const std::string& path, const BrowseColumnTable& columns)
      : CMDIBrowse(client, "Journaux", &columns, 700, 40, 0) {
    keyWidth = 6;
    listName = "J";
    t_ = GetTable(0);
    opened = t_->OpenTable(path, "C10CODE");
    Store().totalRows = static_cast<long>(CountIndexEntries(*t_, "C10CODE", 1, "J"));
  }
  bool opened = false;

  bool HasCurrentRecord(::Table* t) override {
    return CMDIBrowse::HasCurrentRecord(t) && t->GetField(1)[0] == kKind;
  }
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override {
    if (recno != 0) {
      t_->GoTo(recno);
      t_->Skip(1);
    }
    for (int i = first; i < first + count; ++i) {
      Row(rows, i);
      if (HasCurrentRecord(t_)) t_->Skip(1);
    }
  }
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override {
    t_->Seek("C10CODE", "J");
    FillRowsForward(rows, first, count, 0);
  }
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override {
    if (Store().totalRows < count) return FillRowsFromFirst(rows, last - count + 1, count);
    if (t_->Seek("C10CODE", "K")) t_->Skip(-1);
    else t_->GoBottom();
    for (int i = last; i > last - count; --i) {
      Row(rows, i);
      if (HasCurrentRecord(t_)) t_->Skip(-1);
    }
  }
  void ReloadRow(BrowseRows& rows, int i, long recno) override {
    t_->GoTo(recno);
    Row(rows, i);
  }
  std::string GetCellText(int field, std::uint32_t, std::uint32_t v2, int) override {
    std::string text = t_->GetField(field);
    text.resize(v2, ' ');
    return text;
  }
  void PositionOnRecord(long recno, int) override { t_->GoTo(recno); }
  void SkipRecords(long n) override { t_->Skip(n); }
  bool SeekTypedKey(char c) override { return LocateRowByKey(t_, TypeAheadChar(c), 1, 1, 2); }

  // Cancel and reactivate: the record is soft-deleted or recalled.
  void CmAnnuler() {
    if (PositionOnSelectedRow(0) != 0) t_->DeleteRecord(nullptr, 0);
    CmRafraichir();
  }
  void CmReactiver() {
    if (PositionOnSelectedRow(0) != 0) t_->RecallRecord(nullptr, 0);
    CmRafraichir();
  }
  // The "Chercher" of this list: the next row whose name holds the words.
  long FindName(const std::string& search) {
    BrowseSearchText = search;
    std::vector<std::string> words = SplitText(search.c_str(), true, '&');
    FoldAccentsUpper(words);
    for (bool ok = t_->Seek("C10CODE", "J"); ok && HasCurrentRecord(t_); ok = t_->Skip(1))
      if (FindFolded(words, t_->GetField(3))) return static_cast<long>(t_->recordNumber);
    return 0;
  }
  static const gui::ResponseTable& Table() {
    static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                                .Command(browse_cmd::Annuler, &JournalList::CmAnnuler)
                                                .Command(browse_cmd::Reactiver, &JournalList::CmReactiver);
    return table;
  }
  const gui::ResponseTable& Responses() const override { return Table(); }

 private:
  void Row(BrowseRows& rows, int i) {
    if (static_cast<std::size_t>(i) >= rows.size()) rows.resize(static_cast<std::size_t>(i) + 1);
    if (!HasCurrentRecord(t_)) {
      rows[static_cast<std::size_t>(i)].clear();
      return;
    }
    BuildRowText(rows, i, static_cast<long>(t_->recordNumber), t_->IsDeleted());
  }
  ::Table* t_ = nullptr;
};

BrowseColumnTable JournalColumns() {
  BrowseColumnTable t = MakeColumnTable(3, 1);
  DefineColumn(t, 1, 2, "", 'C', 'C', 0, 0, 0);
  DefineColumn(t, 2, 8, "Code", 'C', 'G', 2, 0, 6);
  DefineColumn(t, 3, 32, "Libell\xE9", 'C', 'G', 3, 0, 30);
  return t;
}

class BrowseTableTest : public BrowseTest {
 protected:
  void SetUp() override {
    BrowseTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    ASSERT_EQ(StartDbSession(), 0);
    path_ = dir_ + "/c10tst";
    CreateC10();
  }
  void TearDown() override {
    gui::ProcessPendingMessages();
    frame_.reset();
    StopDbSession();
    SetRuntimeMessageHook(nullptr);
    BrowseTest::TearDown();
  }

  // The general file with 40 journal codes between other kinds' records.
  void CreateC10() {
    using namespace dbase;
    const TableStructure& s = StructureOf(TableKind::C10);
    std::vector<FLDCreate> fields;
    for (const FieldDef& f : s.fields) {
      FLDCreate c;
      std::snprintf(c.szName, sizeof c.szName, "%.*s", static_cast<int>(f.name.size()), f.name.data());
      c.cType = f.type;
      c.iWidth = static_cast<std::uint16_t>(f.width);
      c.iDecimals = static_cast<std::uint16_t>(f.decimals);
      fields.push_back(c);
    }
    ASSERT_EQ(DbiCreateTable(DbHandle, (path_ + ".dbf").c_str(), static_cast<std::uint16_t>(fields.size()),
                             fields.data(), true),
              DBIERR_NONE);
    hDBICur cur = nullptr;
    ASSERT_EQ(DbiOpenTable(DbHandle, (path_ + ".dbf").c_str(), "DBASE", "", "", 0, dbiREADWRITE, dbiOPENEXCL,
                           xltFIELD, false, nullptr, &cur),
              DBIERR_NONE);
    IDXDesc d;
    const TagDef& tag = s.tags[0];
    std::snprintf(d.szTagName, sizeof d.szTagName, "%.*s", static_cast<int>(tag.name.size()), tag.name.data());
    std::snprintf(d.szKeyExp, sizeof d.szKeyExp, "%.*s", static_cast<int>(tag.expression.size()), tag.expression.data());
    d.bExpIdx = true;
    d.bMaintained = true;
    ASSERT_EQ(DbiAddIndex(DbHandle, cur, (path_ + ".dbf").c_str(), "DBASE", &d, nullptr), DBIERR_NONE);
    DbiCloseCursor(&cur);

    ::Table t;
    ASSERT_TRUE(t.OpenTable(path_, "C10CODE"));
    auto add = [&t](const std::string& kind, const std::string& code, const std::string& name) {
      ASSERT_TRUE(t.AppendBlank());
      ASSERT_TRUE(t.PutField(1, kind.c_str()));
      ASSERT_TRUE(t.PutField(2, code.c_str()));
      ASSERT_TRUE(t.PutField(3, name.c_str()));
      ASSERT_TRUE(t.InsertRecord());
    };
    add("A", "ZZZ", "autre sorte avant");
    // Written in reverse code order: physical order differs from the index.
    for (int i = 40; i >= 1; --i) {
      char code[8];
      std::snprintf(code, sizeof code, "%c%02d", 'A' + (i - 1) / 4, i);
      add("J", code, i == 17 ? "Banque Cr\xE9" "dit du Nord" : "Journal " + std::to_string(i));
    }
    add("K", "AAA", "autre sorte apres");
    t.CloseTable();
  }
  std::string path_;
};

TEST_F(BrowseTableTest, PagesThroughTheJournalCodesOnly) {
  auto* list = Show(new JournalList(client_, path_, JournalColumns()));
  ASSERT_TRUE(list->opened);
  const BrowseRowStore& s = list->Store();
  ASSERT_EQ(s.totalRows, 40);
  ASSERT_LT(s.rowsPerPage, 40);
  EXPECT_EQ(list->GetSelectedRowText(), "      ");
  Key(list, gui::VK_DOWN);
  EXPECT_EQ(list->GetSelectedRowText(), "A01   ");
  Key(list, gui::VK_END);
  EXPECT_EQ(list->GetSelectedRowText(), "J40   ");
  EXPECT_EQ(s.top, 40 - s.rowsPerPage);
  EXPECT_EQ(s.RecordNumberOf(s.rowsPerPage - 1), 2);  // J40 was written first, after the "A" record
  Key(list, gui::VK_HOME);
  EXPECT_EQ(list->GetSelectedRowText(), "A01   ");
  Key(list, gui::VK_NEXT);
  Key(list, gui::VK_NEXT);
  EXPECT_EQ(s.selected, 2 * s.rowsPerPage - 1);
  EXPECT_EQ(s.top, s.rowsPerPage - 1);
  // No row of another kind ever shows.
  for (int k = 0; k < 60; ++k) Key(list, gui::VK_DOWN);
  for (int i = 0; i < s.rowsPerPage; ++i) EXPECT_EQ(s.rows[static_cast<std::size_t>(i)][7] == 'Z', false);
  EXPECT_EQ(list->GetSelectedRowText(), "J40   ");
}

TEST_F(BrowseTableTest, TypeAheadAndWordSearchOverTheTable) {
  auto* list = Show(new JournalList(client_, path_, JournalColumns()));
  struct Case {
    std::uint32_t after;
    int vk;
    const char* code;
  } cases[] = {{0, 'H', "H29   "}, {100, '3', "H30   "}, {5000, 'C', "C09   "}, {5000, 'J', "J37   "}};
  for (const Case& c : cases) {
    now_ += c.after;
    Key(list, c.vk);
    EXPECT_EQ(list->GetSelectedRowText(), c.code) << char(c.vk);
  }
  // Word search: accents folded when dossier constant 064 says so.
  TheDossierRecord.SetConstant(64, "O");
  EXPECT_NE(list->FindName("CREDIT"), 0);
  EXPECT_NE(list->FindName("NORD&SUD"), 0);
  EXPECT_EQ(list->FindName("SUD|OUEST"), 0);
  TheDossierRecord.SetConstant(64, "N");
  EXPECT_EQ(list->FindName("CREDIT"), 0);
  EXPECT_FALSE(FindFolded({"A"}, ""));
}

TEST_F(BrowseTableTest, CancelReactivateAndAnotherProcessChangingTheTable) {
  auto* list = Show(new JournalList(client_, path_, JournalColumns()));
  list->EvLButtonDown(0, RowPoint(3));
  ASSERT_EQ(list->GetSelectedRowText(), "A03   ");
  gui::SendCommand(list->GetHandle(), browse_cmd::Annuler);
  EXPECT_EQ(list->Store().MarkerOf(2), kMarkerCancelled);
  list->SaveSnapshot(ArtefactPath("browse_c10.png"));
  gui::SendCommand(list->GetHandle(), browse_cmd::Reactiver);
  EXPECT_EQ(list->Store().MarkerOf(2), kMarkerOrdinary);

  // Another process renames A02 and cancels A04; the full refresh sees both.
  const long a02 = list->Store().RecordNumberOf(1), a04 = list->Store().RecordNumberOf(3);
  EXPECT_FALSE(list->RefreshTotal());
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::Table other;
    bool ok = other.OpenTable(path_, "C10CODE") && other.GoTo(a02) && other.PutField(3, "Renomm\xE9 ailleurs") &&
              other.GoTo(a04) && other.DeleteRecord(nullptr, 0);
    other.CloseTable();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(list->RefreshTotal());
  EXPECT_NE(list->Store().rows[1].find("Renomm\xE9 ailleurs"), std::string::npos);
  EXPECT_EQ(list->Store().MarkerOf(3), kMarkerCancelled);
  EXPECT_FALSE(list->RefreshTotal());
}

}  // namespace
