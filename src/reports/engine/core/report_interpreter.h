// The report-template interpreter: one interpreter for the preview and the printout, over a
// render context (the run's state and page store), a text measurer (the target's fonts), the
// report's owner window (its hooks and variables) and the program environment.
//
// A run: BeginList (the template loaded, the fonts and the page grid set up), then RenderPage
// for page 1 and for every further page the window asks for (RenderNextPage). Each page is one
// pass over the whole template: statements are expanded where they stand (results are read
// again for statements, innermost first), finished lines are cut from the front and drawn as
// records of the page store (and written to the export file when one is open), the iteration
// block [ITD] ... [ITF] repeats its body while the page has room and the owner has records.
// The data position lives in the owner between pages. Nothing is painted here: the paint walk
// (paint_walk.h) draws a stored page.
//
// The work text is read once from front to back; a result goes back in front of what remains,
// so that a page costs time in proportion to the text it expands, never to its square.
// Bounds: the work text holds at most 65,536 characters, a statement 255 and a result 255
// (longer ones are cut); an alias may stand for another at most 32 deep and a page handles at
// most RenderContext::expansionBudget statements: past either, the statement prints as
// "?statement?", so that an endless expansion ([x=x], an [ini:] key naming itself, [ES:x]
// inside x) ends.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "reports/engine/core/render_context.h"
#include "reports/engine/core/report_owner.h"

namespace reports {

inline constexpr std::size_t kWorkTextLimit = 65536;
inline constexpr std::size_t kStatementLimit = 255;
inline constexpr std::size_t kResultLimit = 255;

class ReportInterpreter {
 public:
  ReportInterpreter(RenderContext& context, TextMeasurer& measurer, ReportOwner& owner, ReportEnvironment& env);
  ~ReportInterpreter();
  ReportInterpreter(const ReportInterpreter&) = delete;
  ReportInterpreter& operator=(const ReportInterpreter&) = delete;

  // Prepares a new list (VisuBeginList without the window): the run's state reset, the page
  // range read from the owner's report code, the template of its report code loaded, the
  // fonts read from the program INI and measured, the page grid set. False (after a beep)
  // when the report's template cannot be loaded.
  bool BeginList(const ListSetup& setup);
  // As BeginList with a template given as text (tools, tests; no report code needed).
  bool BeginListWithTemplate(const ListSetup& setup, const std::string& templateText);

  // Renders page context.renderedPages into the page store (VisuRenderList).
  PageOutcome RenderPage();
  // The window's request for one more page: renderedPages and the owner's page counter go up
  // by one and the page is rendered. Only while CanRenderMore().
  PageOutcome RenderNextPage();
  // The data go on and the pages rendered are within the range (its last page 9999: all of them).
  bool CanRenderMore() const;
  // Renders pages until the data end or `maxPages` pages exist (a printout, an export run, the
  // tools); the number of pages rendered.
  int RenderToEnd(int maxPages = 1000000);

  // The number of lines one pass of the text prints for a line-type letter: the line-type
  // blocks that the letter (or the page-break mark) does not select are left out, and the
  // line ends are counted up to [FinPage] or [FinDoc].
  static int CountLinesForRupture(std::string_view text, char letter, char mark);

  RenderContext& Context() { return context_; }

  class Impl;

 private:
  RenderContext& context_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace reports
