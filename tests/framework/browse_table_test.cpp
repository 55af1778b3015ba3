// The journal list over a real general file (C10) with 40 journals between
// records of other kinds: it reads only its kind through the C10CODE tag,
// pages, types ahead, cancels and reactivates records in the file, and sees
// what another process wrote.
#include <cstdio>

#include "support/other_process.h"
#include "test_subject.h"

namespace {

using namespace subject;

class BrowseTableTest : public SubjectTest {
 protected:
  void SetUp() override {
    SubjectTest::SetUp();
    AddC10("A", "ZZZ", "autre sorte avant");
    // Written in reverse code order: physical order differs from the index.
    for (int i = 40; i >= 1; --i) {
      char code[8];
      std::snprintf(code, sizeof code, "%c%02d", 'A' + (i - 1) / 4, i);
      AddC10("J", code, "Journal " + std::to_string(i));
    }
    AddC10("K", "AAA", "autre sorte apres");
  }
  JournalList* List() { return Show(new JournalList(client_), 500, 360); }
};

TEST_F(BrowseTableTest, TypeAheadOverTheTable) {
  JournalList* list = List();
  struct Case {
    std::uint32_t after;  // ms since the previous key
    int vk;
    const char* code;
  } cases[] = {
      {0, 'H', "H29"},     // forward
      {5000, 'C', "C09"},  // backward after a pause
      {5000, 'J', "J37"},  // near the end: the last page
      {5000, 'Z', "J37"},  // not found: the selection stays
  };
  for (const Case& c : cases) {
    now_ += c.after;
    Key(list, c.vk);
    EXPECT_EQ(list->GetSelectedRowText(), c.code) << char(c.vk);
  }
  EXPECT_EQ(list->Store().top, list->Store().LastTop());
}

TEST_F(BrowseTableTest, CancelReactivateAndAnotherProcessChangingTheTable) {
  JournalList* list = List();
  auto deletedInFile = [](const char* code) {
    Table t;
    return t.OpenShared(PathC10(), "C10CODE") && t.Seek("C10CODE", "J", code) && t.IsDeleted();
  };
  list->EvLButtonDown(0, RowPoint(3));
  ASSERT_EQ(list->GetSelectedRowText(), "A03");
  gui::SendCommand(list->GetHandle(), browse_cmd::Annuler);
  EXPECT_EQ(list->Store().MarkerOf(2), kMarkerCancelled);
  EXPECT_TRUE(deletedInFile("A03"));
  gui::SendCommand(list->GetHandle(), browse_cmd::Reactiver);
  EXPECT_EQ(list->Store().MarkerOf(2), kMarkerOrdinary);
  EXPECT_FALSE(deletedInFile("A03"));

  // Another process renames A02 and cancels A04; the full refresh sees both.
  const long a02 = list->Store().RecordNumberOf(1), a04 = list->Store().RecordNumberOf(3);
  EXPECT_FALSE(list->RefreshTotal());
  test_support::OtherProcess other([a02, a04](char) {
    ::Table t;
    return t.OpenShared(PathC10(), "C10CODE") && t.GoTo(a02) && t.PutField(3, "Renomm\xE9 ailleurs") && t.GoTo(a04) &&
           t.DeleteRecord(nullptr, 0);
  });
  ASSERT_TRUE(other.Do('w'));
  EXPECT_TRUE(list->RefreshTotal());
  EXPECT_NE(list->Store().rows[1].find("Renomm\xE9 ailleurs"), std::string::npos);
  EXPECT_EQ(list->Store().MarkerOf(3), kMarkerCancelled);
  EXPECT_FALSE(list->RefreshTotal());
}

}  // namespace
