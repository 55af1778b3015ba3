// The full refresh of a list after a command shortened it (records moved out of the list by another
// window, as the move of a piece does to a journal lines window): the page stays full while the list holds
// a page of rows, filled from the last row backwards once the rows below run out, and nothing is painted
// below the list's last row, in the marker column either.
#include <algorithm>

#include "test_subject.h"

namespace {

using namespace subject;

class BrowseRefreshTest : public SubjectTest {
 protected:
  JournalList* Open() { return Show(new JournalList(client_), 500, 360); }
  // Journals "001" to the count, written in reverse so that record numbers never equal the ranks; the
  // journals of an earlier case go to a kind before theirs first.
  static void Journals(long count) {
    while (TableC10->Seek("C10CODE", kKind) && TableC10->GetField(1)[0] == 'J') {
      ASSERT_TRUE(TableC10->PutField(1, "A"));
      ASSERT_TRUE(TableC10->Commit());
    }
    for (long i = count; i >= 1; --i) AddC10("J", Code(i), "Journal " + std::to_string(i));
  }
  // Journals moved out of the list (to a kind before it) by another cursor, the list told how many went,
  // as a command does before it asks for the full refresh (20059).
  static void TakeOut(JournalList* list, const std::vector<long>& ranks) {
    for (long rank : ranks) {
      ASSERT_TRUE(TableC10->Seek("C10CODE", kKind, Code(rank).c_str())) << rank;
      ASSERT_TRUE(TableC10->PutField(1, "A"));
      ASSERT_TRUE(TableC10->Commit());
    }
    list->Store().totalRows -= static_cast<long>(ranks.size());
    gui::SendCommand(list->GetHandle(), browse_cmd::RafraichirTotal);
    gui::ProcessPendingMessages();
  }
  // The codes shown row by row, "" for a row without a record.
  static std::vector<std::string> Codes(const JournalList* list) {
    std::vector<std::string> codes;
    for (int i = 0; i < list->Store().rowsPerPage; ++i)
      codes.push_back(list->Store().RecordNumberOf(i) == 0 ? "" : list->Store().rows[static_cast<std::size_t>(i)].substr(7, 3));
    return codes;
  }
};

TEST_F(BrowseRefreshTest, AShortenedListKeepsAFullPageAndPaintsNothingBelowItsLastRow) {
  JournalList* probe = Open();
  const long r = probe->Store().rowsPerPage;
  probe->Destroy();
  gui::ProcessPendingMessages();
  ASSERT_GT(r, 8);
  const long n = 3 * r;
  struct Case {
    const char* name;
    long journals;
    long top;                 // the page's top before (-1: End)
    std::vector<long> out;    // the journals moved out
    long first, last;         // the journals the page shows after the refresh (those moved out skipped)
    long top2;                // the page's top after
  };
  const std::vector<Case> cases = {
      {"the last page loses its last rows", n, -1, {n, n - 1, n - 2}, 2 * r - 2, n - 3, 2 * r - 3},
      {"the last page loses rows in its middle", n, -1, {n - 5, n - 6, n - 7}, 2 * r - 2, n, 2 * r - 3},
      {"rows leave above the last page", n, -1, {1, 2, 3}, 2 * r + 1, n, 2 * r - 3},
      {"a middle page keeps its first row", n, r, {r + 2, r + 3}, r + 1, 2 * r + 2, r},
      {"the page's first row leaves", n, 2 * r, {2 * r + 1}, 2 * r, n, 2 * r - 1},
      {"fewer than a page are left", r + 4, -1, {1, 2, 3, 4, 5, 6, 7, 8}, 9, r + 4, 0},
  };
  int shot = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Journals(c.journals);
    JournalList* list = Open();
    ASSERT_EQ(list->Store().rowsPerPage, r);
    if (c.top < 0) list->GoLast();
    while (list->Store().top < c.top) list->LineDown();
    TakeOut(list, c.out);
    std::vector<std::string> want;
    for (long k = c.first; k <= c.last; ++k)
      if (std::find(c.out.begin(), c.out.end(), k) == c.out.end()) want.push_back(Code(k));
    const int shown = static_cast<int>(want.size());
    want.resize(static_cast<std::size_t>(r));
    EXPECT_EQ(Codes(list), want);
    EXPECT_EQ(list->Store().totalRows, c.journals - static_cast<long>(c.out.size()));
    EXPECT_EQ(list->Store().top, c.top2);
    EXPECT_EQ(list->View()->GetScrollPos(true), c.top2);

    // The list as it reached the screen: each row of the list with its marker, nothing below the last one.
    const test_support::Picture img = test_support::OnScreen(list->View()->Widget());
    img.Save(test_support::ArtefactPath("framework", "refresh_" + std::to_string(++shot) + ".png"));
    const int rh = CMDIBrowse::RowHeightPixels();
    for (int i = 1; i <= r; ++i) {
      const bool blank =
          img.Pixel(CMDIBrowse::CharWidthPixels() / 2, i * rh + rh / 2) == test_support::Picture::kWhite;
      EXPECT_EQ(blank, i > shown) << "marker cell of row " << i;
    }
    list->Destroy();
    gui::ProcessPendingMessages();
  }
}

}  // namespace
