// LineRangeBrowse: the base of the entry windows that list one range of lines of the draft's line table
// (a journal-month, the analytic split of one general line), through the line table's cursor (the
// window's first table). It fills the pages by walking that range, makes the selected row current,
// steps the selection with the posted arrow keys of the line navigation, and handles those keys.
#pragma once

#include <cstdint>
#include <string>

#include "framework/browse.h"

class LineRangeBrowse : public CMDIBrowse {
 public:
  using CMDIBrowse::CMDIBrowse;

  ::Table* Lines() { return GetTable(0); }

  // ---- data source, over the range
  bool HasCurrentRecord(::Table* table) override;
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  // A record made current in the window's order: on the line table's cursor, or (`flag`) on the
  // program's line table, opened when it is not.
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;

  // ---- "Ligne précédente" and "Ligne suivante": the arrow key posted, then the form asked for.
  void CmLignePrecedente();
  void CmLigneSuivante();

  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

 protected:
  // The cursor stands on a line of the range.
  virtual bool InRange(::Table& t) const = 0;
  // The cursor put on the range's first line, on its last one; false when the range holds none.
  virtual bool SeekFirstOfRange(::Table& t) = 0;
  virtual bool SeekLastOfRange(::Table& t) = 0;
  // The command that opens the partner form on the selected line.
  virtual unsigned EditCommand() const = 0;
  // The line table's order the window lists its range in.
  virtual const char* LinesTag() const = 0;
  // The line table's cursor put back in the window's order.
  void OrderLines();

  // The selected row made current on the line table's cursor; its record number, 0 when none.
  std::uint32_t SelectedLine();
  // The selected line made current for a change the user's right `right` allows (its row in
  // `row`): its record number; 0 while busy or without the right, and 0 with a beep when no line
  // is selected.
  std::uint32_t LineToChange(int right, std::string& row);

 private:
  void StepLine(unsigned key);
};
