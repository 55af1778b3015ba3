// RankedList: a list window whose rows are the positions (ranks) of a row set held in memory
// rather than the records of a table, as the manual matching and the bank reconciliation show
// them. It walks the set forward and backward, reloads shown rows, and keeps the status bar
// to the subject's own line while the list is active.
#pragma once

#include <string>

#include "framework/browse.h"

class RankedList : public CMDIBrowse {
 public:
  using CMDIBrowse::CMDIBrowse;

  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;

  void CeNotBusy(gui::CommandEnabler& ce);

  // The subject's line in the status bar while the list is active.
  virtual std::string StatusText() const = 0;

 protected:
  void EvSetFocus(gui::Handle lost) override;

  // Builds row `i` from the rank'th element of the set.
  virtual void BuildRank(BrowseRows& rows, int i, long rank) = 0;
  // The rank of the element a row's record number names; -1 when none.
  virtual long RankOfRecord(long recno) const = 0;

  // The rank of the selected row; -1 when none.
  long SelectedRank() const;
  // The shown rows built again from the set, and the status line, after a change of marks.
  void ReloadShownRows();
  void ShowStatus();

  long rank_ = -1;  // current position in the set; -1 before the first, the set's size after the last
};
