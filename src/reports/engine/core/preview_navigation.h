// The preview's arithmetic without its window: the word search over the stored pages, the zoom
// cycle and the scroll steps.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "reports/engine/core/page_store.h"

namespace reports {

// ---- word search
// The search text as the search dialog keeps it: upper-cased and trimmed, blanks as blanks.
// With "&" or "|" it is a chain of words read left to right ("&": the next word must be found
// too; "|": either is enough; a blank next to a separator belongs to its word); without them
// it is one word. A word is found in the text of the page's text records only (kinds "X" and
// above), never in a record's kind or numbers.
bool PageMatches(const PreviewPage& page, std::string_view searchText);
// FindWord: from the current page (the next one with `again`; page 1 when that is beyond
// `pageCount`) to `renderedPages`, the first page that matches; 0 when none. `onPage` (when
// given) is told each page before it is searched (progress and status bar).
int FindWord(const PreviewPageStore& store, std::string_view searchText, int currentPage, bool again, int pageCount,
             int renderedPages, const std::function<void(int)>& onPage = {});
// The text of the box that says a search found nothing (its caption is string 705).
std::string SearchNotFoundText(std::string_view searchText);

// ---- zoom and scroll
struct PreviewView {
  int zoom = 1;                  // 1, 2 or 4
  int scrollX = 0, scrollY = 0;  // 0 or negative
  int zoomPointX = 0, zoomPointY = 0;
  int extentX = 0, extentY = 0;  // of the page last painted, unscaled
};

// PaintPage's mode: 0 zoom 1 and no scroll, 1 kept, 2 the zoom doubled around the zoom point
// (1, 2, 4, then back to 1).
void ApplyPaintMode(PreviewView& view, int mode);
// The scroll commands: true when the view changed (the page is then painted again). W and H are
// the client area's width and height; `large` is Ctrl or Shift held.
bool ScrollLeft(PreviewView& view, int clientWidth);
bool ScrollRight(PreviewView& view, int clientWidth);
bool ScrollUp(PreviewView& view, int clientHeight, bool large);
bool ScrollDown(PreviewView& view, int clientHeight, bool large);
// Their enablers (an unknown extent, 0, counts as scrollable: the page is painted to learn it).
bool CanScrollRight(const PreviewView& view, int clientWidth);
bool CanScrollDown(const PreviewView& view, int clientHeight);
// The marker line of the left button: y under the clicked text line.
int MarkerLineY(int clickY, int lineHeight);

}  // namespace reports
