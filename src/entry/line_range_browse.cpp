#include "entry/line_range_browse.h"

#include <algorithm>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "runtime/access_rights.h"

namespace {

void ClearRows(BrowseRows& rows, int from, int to) {
  for (int j = std::max(from, 0); j < to && j < static_cast<int>(rows.size()); ++j) rows[static_cast<std::size_t>(j)].clear();
}

}  // namespace

bool LineRangeBrowse::HasCurrentRecord(::Table* table) { return table != nullptr && InRange(*table); }

void LineRangeBrowse::ReloadRow(BrowseRows& rows, int i, long recno) {
  ::Table& t = *Lines();
  if (t.isOpen && t.GoToRecord(recno).IsFound()) BuildRowText(rows, i, recno, !t.LiveHere().FoundOrNone());
}

void LineRangeBrowse::FillRowsForward(BrowseRows& rows, int first, int count, long recno) {
  ::Table& t = *Lines();
  if (!t.isOpen) return;
  const int end = std::min(first + count, static_cast<int>(rows.size()));
  bool more = true;
  if (recno != 0) more = t.GoToRecord(recno).IsFound() && t.Skip(1);
  for (int i = first; i < end; ++i) {
    if (!more || !InRange(t)) {
      ClearRows(rows, i, end);
      return;
    }
    BuildRowText(rows, i, static_cast<long>(t.recordNumber), t.RecordDeleted());
    more = t.Skip(1);
  }
}

void LineRangeBrowse::FillRowsFromFirst(BrowseRows& rows, int first, int count) {
  ::Table& t = *Lines();
  if (!t.isOpen || !SeekFirstOfRange(t)) {
    ClearRows(rows, first, first + count);
    return;
  }
  FillRowsForward(rows, first, count, 0);
}

void LineRangeBrowse::FillRowsFromLast(BrowseRows& rows, int last, int count) {
  if (Store().totalRows <= count) return FillRowsFromFirst(rows, last - count + 1, count);
  ::Table& t = *Lines();
  if (!t.isOpen || !SeekLastOfRange(t)) return;
  for (int i = last; i > last - count; --i) {
    if (i < 0 || i >= static_cast<int>(rows.size())) continue;
    if (!InRange(t)) {
      ClearRows(rows, last - count + 1, i + 1);
      return;
    }
    BuildRowText(rows, i, static_cast<long>(t.recordNumber), t.RecordDeleted());
    t.Skip(-1);
  }
}

void LineRangeBrowse::PositionOnRecord(long recno, int flag) {
  ::Table* t = flag != 0 ? TableC50 : Lines();
  if (t == nullptr) return;
  if (flag != 0 && !t->isOpen) t->UseShared(PathC50(), LinesTag());
  if (t->isOpen) {
    if (t->tag != LinesTag()) t->SetOrder(LinesTag());
    t->GoToRecord(recno);
  }
}

void LineRangeBrowse::SkipRecords(long count) {
  if (Lines()->isOpen) Lines()->Skip(count);
}

void LineRangeBrowse::OrderLines() {
  if (Lines()->isOpen && Lines()->tag != LinesTag()) Lines()->SetOrder(LinesTag());
}

std::uint32_t LineRangeBrowse::LineToChange(int right, std::string& row) {
  if (Busy() || !HasAccessRight(rightsFunction, right)) return 0;
  row = SelectedRow();
  const std::uint32_t recno = SelectedLine();
  if (recno == 0) gui::MessageBeep(0);
  return recno;
}

std::uint32_t LineRangeBrowse::SelectedLine() {
  const long recno = PositionOnSelectedRow(0);
  return recno > 0 && Lines()->recordNumber == static_cast<std::uint32_t>(recno) ? static_cast<std::uint32_t>(recno) : 0;
}

void LineRangeBrowse::StepLine(unsigned key) {
  if (SelectedLine() == 0) {
    gui::MessageBeep(0);
    return;
  }
  gui::PostMessage(GetHandle(), gui::WM_KEYDOWN, key);
  gui::PostCommand(GetHandle(), EditCommand());
}

void LineRangeBrowse::CmLignePrecedente() { StepLine(gui::VK_UP); }

void LineRangeBrowse::CmLigneSuivante() { StepLine(gui::VK_DOWN); }

std::intptr_t LineRangeBrowse::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  // A key posted by the window to itself (End at opening, the arrows of the line navigation).
  if (msg == gui::WM_KEYDOWN) {
    EvKeyDown(static_cast<int>(wParam), 1, 0);
    return 0;
  }
  return CMDIBrowse::WindowProc(msg, wParam, lParam);
}
