#include "processing/ranked_list.h"

#include <algorithm>

#include "shell/child_status.h"

void RankedList::FillRowsForward(BrowseRows& rows, int first, int count, long recno) {
  const long total = Store().totalRows;
  long next = rank_;
  if (recno != 0) {
    const long after = RankOfRecord(recno);
    next = after < 0 ? total : after + 1;
  }
  for (int i = first; i < first + count && i < static_cast<int>(rows.size()); ++i) {
    if (next < 0 || next >= total) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    BuildRank(rows, i, next++);
  }
}

void RankedList::FillRowsFromFirst(BrowseRows& rows, int first, int count) {
  rank_ = 0;
  FillRowsForward(rows, first, count, 0);
}

void RankedList::FillRowsFromLast(BrowseRows& rows, int last, int count) {
  const long total = Store().totalRows;
  if (total < count) return FillRowsFromFirst(rows, last - count + 1, count);
  long rank = total - 1;
  for (int i = last; i > last - count; --i, --rank) {
    if (i < 0 || i >= static_cast<int>(rows.size())) continue;
    if (rank < 0) {
      rows[static_cast<std::size_t>(i)].clear();
      continue;
    }
    BuildRank(rows, i, rank);
  }
}

void RankedList::ReloadRow(BrowseRows& rows, int i, long recno) {
  const long rank = RankOfRecord(recno);
  if (rank >= 0) BuildRank(rows, i, rank);
}

void RankedList::PositionOnRecord(long recno, int) {
  const long rank = RankOfRecord(recno);
  if (rank >= 0) rank_ = rank;
}

void RankedList::SkipRecords(long count) { rank_ = std::max(-1L, std::min(Store().totalRows, rank_ + count)); }

void RankedList::CeNotBusy(gui::CommandEnabler& ce) { ce.Enable(!Busy()); }

void RankedList::EvSetFocus(gui::Handle lost) {
  CMDIBrowse::EvSetFocus(lost);
  ShowStatus();
}

long RankedList::SelectedRank() const {
  if (GetSelectedRowIndex() == 0) return -1;
  const long rank = Store().selected - 1;
  return rank < Store().totalRows ? rank : -1;
}

void RankedList::ReloadShownRows() {
  ShowStatus();
  for (int r = 0; r < Store().rowsPerPage; ++r)
    if (const long recno = Store().RecordNumberOf(r)) ReloadRow(Store().rows, r, recno);
  Repaint();
}

void RankedList::ShowStatus() { ShowChildStatus(*this, StatusText()); }
