#include "reports/engine/core/report_interpreter.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/system/cp1252.h"
#include "reports/engine/core/interpreter_impl.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace reports {

// ---------------------------------------------------------------------------------------
// Public face

ReportInterpreter::ReportInterpreter(RenderContext& context, TextMeasurer& measurer, ReportOwner& owner,
                                     ReportEnvironment& env)
    : context_(context), impl_(std::make_unique<Impl>(context, measurer, owner, env)) {}

ReportInterpreter::~ReportInterpreter() = default;

bool ReportInterpreter::BeginList(const ListSetup& setup) {
  std::string code = impl_->owner.ReportCode().substr(0, 10);
  struct EnvSource : TemplateSource {
    explicit EnvSource(ReportEnvironment& e) : env(e) {}
    bool FindTemplate(const std::string& c, std::string& t) override { return env.FindTemplate(c, t); }
    ReportEnvironment& env;
  } source(impl_->env);
  LoadedTemplate loaded;
  if (!LoadTemplate(source, code, loaded)) {
    impl_->env.Beep();
    if (!loaded.refusal.empty()) impl_->env.Warn(LoadStr(kCaptionAttention), loaded.refusal);
    return false;
  }
  return impl_->Begin(setup, loaded);
}

bool ReportInterpreter::BeginListWithTemplate(const ListSetup& setup, const std::string& templateText) {
  struct EnvSource : TemplateSource {
    explicit EnvSource(ReportEnvironment& e) : env(e) {}
    bool FindTemplate(const std::string& c, std::string& t) override { return env.FindTemplate(c, t); }
    ReportEnvironment& env;
  } source(impl_->env);
  LoadedTemplate loaded;
  if (!PrepareTemplate(source, templateText, loaded)) {
    impl_->env.Beep();
    impl_->env.Warn(LoadStr(kCaptionAttention), loaded.refusal);
    return false;
  }
  return impl_->Begin(setup, loaded);
}

PageOutcome ReportInterpreter::RenderPage() { return impl_->RenderPage(); }

bool ReportInterpreter::CanRenderMore() const {
  return !context_.endOfData && context_.UpToLastPage(context_.renderedPages);
}

PageOutcome ReportInterpreter::RenderNextPage() {
  if (!CanRenderMore()) return {};
  ++context_.renderedPages;
  impl_->owner.SetReportPage(context_.renderedPages);
  return impl_->RenderPage();
}

int ReportInterpreter::RenderToEnd(int maxPages) {
  int rendered = 0;
  context_.firstPage = 9999;
  if (context_.store.PageCount() < context_.renderedPages) {
    RenderPage();
    ++rendered;
  }
  while (!context_.endOfData && context_.store.PageCount() < maxPages) {
    ++context_.renderedPages;
    impl_->owner.SetReportPage(context_.renderedPages);
    RenderPage();
    ++rendered;
  }
  return rendered;
}

// ---------------------------------------------------------------------------------------
// Line count of the iteration block

namespace {

bool BlockSelected(std::string_view statement, char letter, char mark) {
  const std::string_view letters = statement.substr(5);
  const char first = letters.empty() ? '\0' : letters[0];
  auto occurs = [&](char ch) { return ch != '\0' && letters.find(ch) != std::string_view::npos; };
  switch (statement[4]) {
    case '-': return occurs(letter) || occurs(mark);
    case '!': return !occurs(letter) && !occurs(mark);
    case '>': return static_cast<unsigned char>(letter) > static_cast<unsigned char>(first);
    case '<': return static_cast<unsigned char>(letter) < static_cast<unsigned char>(first);
    default: return true;
  }
}

bool IsLineTypeStatement(std::string_view s) {
  return s.size() > 5 && (StartsWith(s, "rupt-") || StartsWith(s, "rupt!") || StartsWith(s, "rupt<") ||
                          StartsWith(s, "rupt>"));
}

}  // namespace

int ReportInterpreter::CountLinesForRupture(std::string_view text, char letter, char mark) {
  int lines = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char ch = text[i];
    if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++lines;
      i += 2;
      continue;
    }
    if (ch == '[') {
      const std::size_t close = text.find(']', i + 1);
      if (close == std::string_view::npos) break;
      const std::string s = LowerCp1252(Trimmed(text.substr(i + 1, close - i - 1)));
      if (s == "finpage" || s == "findoc") break;
      if (IsLineTypeStatement(s) && close + 1 < text.size() && text[close + 1] == '{') {
        const std::size_t end = text.find('}', close + 2);
        if (end != std::string_view::npos && !BlockSelected(s, letter, mark)) {
          i = end + 1;
          continue;
        }
      }
    }
    ++i;
  }
  return lines;
}

// ---------------------------------------------------------------------------------------
// Set-up of a list

bool ReportInterpreter::Impl::ConstantIs(int n, char letter) {
  const std::string v = env.Dossier().Constant(n);
  return !v.empty() && v[0] == letter;
}

FontMetrics ReportInterpreter::Impl::MeasureFont(const ReportFont& font) { return m.Metrics(font); }

void ReportInterpreter::Impl::ApplyCreatedFontMetrics(const ReportFont& font) {
  const FontMetrics tm = m.Metrics(font);
  c.fontLineHeight = tm.height + tm.externalLeading;
  c.fontAscent = tm.ascent + tm.externalLeading;
  if (!c.cpiMode && tm.variablePitch) {
    int width = tm.averageWidth + (tm.maximumWidth - tm.averageWidth) / 3;
    const int cap = static_cast<int>(tm.averageWidth * c.maxWidthFactor);
    c.fontCharWidth = width > cap ? cap : width;
  } else {
    c.fontCharWidth = tm.averageWidth;
  }
  if (c.fontCharWidth < 1) c.fontCharWidth = 1;
  c.baselineShift = ConstantIs(38, 'O') ? c.fontAscent - c.defaultAscent : 0;
}

void ReportInterpreter::Impl::PrepareFonts(const ListSetup& setup) {
  static const char* kDefaults[5] = {"Courier New,010/4A0", "Courier New,008/4A0", "Courier New,012/7A0",
                                     "Arial,014/7A0", "Courier New,010/7A0"};
  auto load = [&](int index, FontSlot& slot) {
    const std::string key = std::string("Police-") + (index < 4 ? static_cast<char>('1' + index) : 'S') + "-" +
                            setup.fontKeySuffix;
    std::string text = env.ProgramIni(key);
    if (IsBlank(text)) text = kDefaults[index];
    const FontText ft = ParseFontText(text);
    slot = FontSlot();
    slot.font.face = ft.face.substr(0, 31);
    slot.font.height = ft.hasComma ? FontHeightFromPoints(ft.points, m.Dpi(), c.verticalCorrection) : 0;
    slot.font.weight = ft.hasComma ? ft.weight : 100;
    slot.font.italic = (ft.style & 1) != 0;
    slot.font.underline = (ft.style & 2) != 0;
    slot.font.fixedPitch = c.cpiMode;
    slot.colour = ft.colour == '0' ? 'A' : UpperCp1252(std::string(1, ft.colour))[0];
    slot.metrics = m.Metrics(slot.font);
  };
  for (int i = 0; i < 4; ++i) load(i, c.fonts[i]);
  load(4, c.subTotalFont);
  c.specialFont = FontSlot();
  c.defaultFont = c.fonts[c.initialFontNumber - '1'];
  // The report's default metrics are those of its initial font.
  c.defaultAscent = 0;
  ApplyCreatedFontMetrics(c.defaultFont.font);
  c.defaultCharWidth = c.fontCharWidth;
  c.defaultLineHeight = c.fontLineHeight;
  c.defaultAscent = c.fontAscent;
  c.baselineShift = 0;
}

bool ReportInterpreter::Impl::Begin(const ListSetup& setup, const LoadedTemplate& loaded) {
  c.target = setup.target;
  c.programOptions = setup.programOptions;
  c.programOptions.resize(22, ' ');
  c.documentTitle = setup.documentTitle;
  std::string& code = owner.ReportCode();
  code.resize(18, ' ');
  c.reportCode = ReportCodeKey(code.substr(0, 10));
  c.templateText = loaded.text;
  c.layout = loaded.layout;
  c.store.Clear();
  c.renderedPages = 1;
  owner.SetReportPage(1);
  c.currentPage = c.pageCount = 0;
  c.endOfData = false;
  c.firstIterationOnPage = true;
  c.repeatCount = c.repeatCounter = 0;
  c.pageBreakMark = '@';
  c.firstPage = LeadingInt(code.substr(10, 4));
  c.lastPage = LeadingInt(code.substr(14, 4));
  if (c.firstPage <= 0) c.firstPage = 1;
  if (c.lastPage <= 0) c.lastPage = 9999;
  c.verticalCorrection = setup.verticalCorrection;
  c.barcodeModule = setup.barcodeModule < 1 ? 1 : setup.barcodeModule;
  c.pageWidth = c.layout.landscape ? setup.landscapeWidth : setup.pageWidth;
  c.pageHeight = c.layout.landscape ? setup.landscapeHeight : setup.pageHeight;
  c.leftOffset = setup.leftOffset;
  c.cpiMode = c.layout.cpiMode;
  c.initialFontNumber = c.layout.initialFont >= '1' && c.layout.initialFont <= '4' ? c.layout.initialFont : '1';
  c.currentFontNumber = c.initialFontNumber;
  const double factor = Val(env.ProgramIni("MajMaxPolVisu").c_str());
  c.maxWidthFactor = IsBlank(env.ProgramIni("MajMaxPolVisu")) ? 1.5 : (factor > 0 && factor <= 2.0 ? factor : 1.5);
  PrepareFonts(setup);
  // The grid: the columns of option 19 (portrait) or 20 (landscape), or the fixed-pitch
  // font's in characters-per-inch mode.
  const int usable = c.pageWidth - c.leftOffset;
  int columns = static_cast<unsigned char>(c.ProgramOption(c.layout.landscape ? 20 : 19));
  if (columns < 10 || columns > 250) columns = c.layout.landscape ? 113 : 80;
  if (c.cpiMode) {
    c.columnWidth = c.defaultCharWidth;
    c.columnsPerLine = usable / c.columnWidth > 0 ? usable / c.columnWidth : 80;
  } else {
    c.columnsPerLine = columns;
    c.columnWidth = usable / columns > 0 ? usable / columns : 1;
  }
  SetLineHeight(c.defaultLineHeight > 0 ? c.defaultLineHeight : 12);
  const int reserve = c.lineHeight / 5;
  c.linesPerPage = (c.pageHeight - 2 * reserve) / c.lineHeight;
  if (c.linesPerPage < 1) c.linesPerPage = 1;
  c.linesLeft = c.linesPerPage;
  c.widthWarningShown = false;
  c.verticalFont = false;
  c.framesOn = true;
  c.noZeroAmounts = false;
  ExportSettings& e = c.exportSettings;
  e.noDelimiter = false;
  e.html = false;
  e.csv = false;
  e.htmlStyle = 0;
  e.htmlFontSize = '0';
  e.htmlColumnWidth = 0;
  const std::string delimiter = env.Dossier().Constant(18);
  if (e.delimiter.empty()) e.delimiter = delimiter;
  e.decimalMark = !delimiter.empty() && delimiter[0] == ',' ? '.' : ',';
  fieldIndexes.clear();
  unreadAmounts.Clear();
  exportRefused = refusalSaid = false;
  return true;
}

// ---------------------------------------------------------------------------------------
// One page

void ReportInterpreter::Impl::NewPageState() {
  c.pageCount = c.currentPage = c.renderedPages;
  c.store.OpenPage(c.renderedPages);
  // Every page starts in the report's initial font.
  c.currentFontNumber = c.initialFontNumber;
  c.specialActive = false;
  const FontSlot& initial = c.fonts[c.initialFontNumber - '1'];
  c.textColour = initial.colour;
  c.baselineShift = 0;
  RecordFont(c.initialFontNumber, initial);
  c.currentTable = DossierTableId::kC10;
  work.Reset(c.templateText);
  prefix.clear();
  opens.clear();
  lineEnds.clear();
  literalCloses = 0;
  statementsOnPage = 0;
  dataOnPage = false;
  c.linesLeft = c.linesPerPage;
  c.lineStartX = c.currentX = c.defaultCharWidth / 5;
  c.currentY = c.lineHeight / 5;
  c.iterationStopped = false;
  c.forcedIteration = false;
  c.firstIterationOnPage = true;
  anchors.clear();
  anchorCounts.clear();
  ClearLineShift();
  RegisterAnchors(work.Size());
  lineCounts.clear();
  lineCountOffset = static_cast<std::size_t>(-1);
  reading.active = false;
}

PageOutcome ReportInterpreter::Impl::RenderPage() {
  NewPageState();
  {
    // Every amount read while the page is made, by the owner or by the statements, is watched.
    const UnreadAmountWatch watch(unreadAmounts);
    ReadText();
    EndOfText();
  }
  PageOutcome outcome;
  ReportExportFile& file = *c.exportFile;
  // A run to the end (asked, or for an export) over a template that neither iterates nor steps
  // the records would render the same page for ever: it ends with this page.
  if (!c.endOfData && !dataOnPage && (c.firstPage == 9999 || c.runToEnd || file.IsOpen())) c.endOfData = true;
  // At the run's last page (its data's end, or the last page of its range) an export that would
  // carry an amount the run could not read is given up, and the refusal said.
  if (c.endOfData || (c.firstPage != 9999 && !c.UpToLastPage(c.renderedPages + 1))) {
    RefuseExportOverUnreadAmounts();
    if (exportRefused && !refusalSaid) {
      refusalSaid = true;
      unreadAmounts.said = true;
      env.Warn(UnreadableAmountsCaption(), UnreadAmountsFileMessage(unreadAmounts));
    }
  }
  if (c.renderedPages == 1 && file.IsOpen()) outcome.renderAllPages = true;
  if (!c.endOfData && c.firstPage == 9999) outcome.renderNextPage = true;
  if (c.endOfData) {
    outcome.endBeep = c.firstPage == 9999;
    outcome.closePreview = file.IsOpen();
  }
  // A failed export is said once, with its path.
  if (!file.FailureMessage().empty() && !file.FailureShown()) {
    env.Warn(LoadStr(kCaptionAttention), file.FailureMessage());
    file.MarkFailureShown();
  }
  SayUnreadableUpdates();
  // A printout (the screen's, the printer's, a PDF) of a page that counted an amount as zero says
  // so once, before that page is shown or printed; unless the owner said it itself, or the run's
  // export is to say it in its refusal, or the owner gave its export up and said why, or the
  // template's updates named them.
  const bool ownerGaveUp = file.GetState() == ReportExportFile::State::kWriteFailed && file.FailureMessage().empty();
  if (unreadAmounts.Any() && !unreadAmounts.said && !file.IsOpen() && !exportRefused && !ownerGaveUp) {
    unreadAmounts.said = true;
    env.Warn(UnreadableAmountsCaption(), UnreadAmountsMessage(unreadAmounts));
  }
  return outcome;
}

void ReportInterpreter::Impl::RefuseExportOverUnreadAmounts() {
  // A file the owner gave up itself (a payment file it refused) was said by the owner.
  ReportExportFile& file = *c.exportFile;
  if (!file.IsOpen() || !unreadAmounts.Any()) return;
  file.Abandon();
  exportRefused = true;
}

void ReportInterpreter::Impl::ReadText() {
  // The characters the reading stops at.
  static const auto kStops = [] {
    std::array<bool, 256> stops{};
    stops[static_cast<unsigned char>('[')] = stops[static_cast<unsigned char>(']')] = true;
    stops[static_cast<unsigned char>('\n')] = true;
    return stops;
  }();
  while (!work.Empty()) {
    if (reading.active && ReadBodyTokens()) continue;
    const std::string_view rest = work.Rest();
    std::size_t i = 0;
    while (i < rest.size() && !kStops[static_cast<unsigned char>(rest[i])]) ++i;
    if (i > 0) {
      prefix.append(rest.data(), i);
      Drop(i);
      continue;
    }
    const char ch = rest[0];
    Drop(1);
    if (ch == '\n') {
      if (!prefix.empty() && prefix.back() == '\r') lineEnds.push_back(prefix.size());
      prefix += '\n';
    } else if (ch == '[') {
      opens.push_back(prefix.size());
      prefix += '[';
    } else if (opens.empty()) {
      prefix += ']';
      ++literalCloses;
    } else {
      HandleClose();
    }
  }
}

void ReportInterpreter::Impl::EraseFromPrefix(std::size_t from) {
  // The text from an open "[" on holds no "]" (a "]" there would have closed it).
  while (!lineEnds.empty() && lineEnds.back() >= from) lineEnds.pop_back();
  while (!opens.empty() && opens.back() >= from) opens.pop_back();
  prefix.resize(from);
}

void ReportInterpreter::Impl::ClearPrefix() {
  prefix.clear();
  opens.clear();
  lineEnds.clear();
  literalCloses = 0;
}

void ReportInterpreter::Impl::FlushLinesBefore(std::size_t position) {
  std::size_t start = 0;
  std::size_t k = 0;
  while (k < lineEnds.size() && lineEnds[k] < position) {
    WriteLine(std::string_view(prefix).substr(start, lineEnds[k] - 1 - start));
    start = lineEnds[k] + 1;
    ++k;
  }
  if (start == 0) return;
  for (std::size_t i = 0; i < start; ++i) {
    if (prefix[i] == ']') --literalCloses;
  }
  prefix.erase(0, start);
  lineEnds.erase(lineEnds.begin(), lineEnds.begin() + static_cast<std::ptrdiff_t>(k));
  for (std::size_t& e : lineEnds) e -= start;
  // An unclosed "[" of a written line was written as text.
  std::size_t kept = 0;
  for (std::size_t o : opens) {
    if (o >= start) opens[kept++] = o - start;
  }
  opens.resize(kept);
}

void ReportInterpreter::Impl::HandleClose() {
  const std::size_t open = opens.back();
  if (open + 1 == prefix.size()) {
    // "[]" is dropped.
    opens.pop_back();
    prefix.pop_back();
    return;
  }
  FlushLinesBefore(open);
  const std::size_t at = opens.back();
  opens.pop_back();
  raw.assign(prefix, at + 1, std::string::npos);
  EraseFromPrefix(at);
  Execute();
}

void ReportInterpreter::Impl::Execute() {
  ++statementsOnPage;
  // Trimmed of blanks, lower-cased, at most 255 characters.
  std::size_t first = raw.find_first_not_of(' ');
  if (first == std::string::npos) return;
  std::size_t last = raw.find_last_not_of(' ');
  std::size_t length = last - first + 1;
  if (length > kStatementLimit) length = kStatementLimit;
  statement.assign(raw, first, length);
  for (char& ch : statement) ch = LowerChar(ch);
  ResolveAndDispatch();
}

void ReportInterpreter::Impl::ResolveAndDispatch() {
  // Aliases: [name] stands for the statement of a definition [name=statement] in the text.
  std::string definition;
  int depth = 0;
  std::string original;
  while (!IsBlank(statement) && FindAlias(statement, definition)) {
    if (depth == 0) original = statement;
    if (++depth > c.aliasDepthLimit) {
      statement = original;
      Unrecognised();
      return;
    }
    statement = LowerCp1252(Trimmed(definition));
    if (statement.size() > kStatementLimit) statement.resize(kStatementLimit);
  }
  if (IsBlank(statement)) return;
  Dispatch();
}

void ReportInterpreter::Impl::Dispatch() {
  fullStatement.clear();
  if (TryTables() || TryIteration() || TryVariablesAndConditions() || TryMemoWord() || TryLineTypeBlocks() ||
      TryHooks() || TryFieldNames() || TryPrintBlocks() || TryPageStatements() || TryTab() || TryDelimiter() ||
      TryCodeHooks() || TryLinePositions() || TryMem() || TryColumns() || TryDossierValues() ||
      TryImportsAndPrompts() || TryFontsAndText() || TryConstant() || TryOthers()) {
    return;
  }
  // Unrecognised as written (a table prefix may have been taken off for the tests after it).
  if (!fullStatement.empty()) statement = fullStatement;
  Unrecognised();
}

void ReportInterpreter::Impl::EndOfText() {
  // An unclosed "[" is dropped when the text holds a "]", and stays as text otherwise.
  if (!opens.empty() && literalCloses > 0) {
    for (auto it = opens.rbegin(); it != opens.rend(); ++it) prefix.erase(*it, 1);
    lineEnds.clear();
    for (std::size_t i = 1; i < prefix.size(); ++i) {
      if (prefix[i] == '\n' && prefix[i - 1] == '\r') lineEnds.push_back(i);
    }
  }
  opens.clear();
  std::size_t start = 0;
  for (std::size_t e : lineEnds) {
    WriteLine(std::string_view(prefix).substr(start, e - 1 - start));
    start = e + 1;
  }
  const std::string_view last = std::string_view(prefix).substr(start);
  if (!last.empty()) {
    WriteSegment(last);
    c.currentX = c.lineStartX;
  }
  c.exportFile->EndOpenLine(c.exportSettings);
  ClearPrefix();
}

// ---------------------------------------------------------------------------------------
// Exits and output

void ReportInterpreter::Impl::Replace(std::string_view text) {
  if (text.size() > kResultLimit) text = text.substr(0, kResultLimit);
  // A result with no bracket and no line feed would be read again only to be copied: it goes
  // straight after the text already read (a report variable's value, most results).
  bool plain = true;
  for (char ch : text) {
    if (ch == '[' || ch == ']' || ch == '\n') {
      plain = false;
      break;
    }
  }
  if (plain) {
    const std::size_t used = prefix.size() + work.Size();
    const std::size_t room = used >= kWorkTextLimit ? 0 : kWorkTextLimit - used;
    prefix.append(text.data(), text.size() < room ? text.size() : room);
    return;
  }
  Push(text);
}

void ReportInterpreter::Impl::ReplaceEscaped(std::string_view text) {
  if (text.size() > kResultLimit) text = text.substr(0, kResultLimit);
  // Most values escape to plain text: straight after the text already read, in one pass.
  const std::size_t used = prefix.size() + work.Size();
  const std::size_t room = used >= kWorkTextLimit ? 0 : kWorkTextLimit - used;
  if (AppendEscapedPlain(prefix, text, room)) return;
  scratch.assign(text.data(), text.size());
  EscapeBrackets(scratch, InValueStatements::kKeep);
  Replace(scratch);
}

void ReportInterpreter::Impl::Insert(std::string_view text) { Push(text); }

void ReportInterpreter::Impl::Unrecognised() {
  Push(FillPlaceholder(LoadStr(kRefusedStatement), statement));
}

void ReportInterpreter::Impl::Flush() {
  if (!prefix.empty()) WriteSegment(prefix);
  ClearPrefix();
}

void ReportInterpreter::Impl::WriteLine(std::string_view line) {
  if (!line.empty()) WriteSegment(line);
  ClearLineShift();
  c.currentX = c.lineStartX;
  c.currentY += c.lineHeight;
  c.linesLeft -= 1;
  c.exportFile->EndLine(c.exportSettings);
}

void ReportInterpreter::Impl::AppendRecord(char kind, int n1, int n2, int n3, int n4, std::string_view text) {
  PreviewPage* page = c.store.MutablePage(c.currentPage);
  if (page != nullptr) page->Append(kind, n1, n2, n3, n4, text);
}

namespace {

// A printed amount, its blanks hard: "-1^234.50", "999.00", "23430,21", "13^239.20^Cr" (after
// any leading hard blanks): digits, grouped by three or not, a decimal mark and its decimals,
// and the "Db" / "Cr" of a balance.
bool IsAmountCell(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == kHardBlank) ++i;
  if (i < s.size() && s[i] == '-') ++i;
  const std::size_t start = i;
  std::size_t run = 0;
  bool grouped = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      ++run;
    } else if (s[i] == kHardBlank && run >= 1 && i + 3 < s.size() && (i == start + run ? run <= 3 : run == 3) &&
               s[i + 1] >= '0' && s[i + 1] <= '9') {
      run = 0;
      grouped = true;
    } else {
      break;
    }
  }
  if (run == 0 || (grouped && run != 3) || i >= s.size() || (s[i] != '.' && s[i] != ',')) return false;
  std::size_t decimals = 0;
  for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++decimals;
  if (decimals == 0) return false;
  const std::string_view rest = s.substr(i);
  return rest.empty() || rest == "^Db" || rest == "^Cr";
}

// The characters that end a cell of a segment: the blanks and the alignment marks.
const std::array<bool, 256> kCellBreaks = [] {
  std::array<bool, 256> breaks{};
  for (char c : {' ', '\t', kAlignLeft, kAlignCentre, kAlignRight}) breaks[static_cast<unsigned char>(c)] = true;
  return breaks;
}();

}  // namespace

void ReportInterpreter::Impl::WriteSegment(std::string_view segment) {
  // Each run of characters between blanks is drawn in its cell of the grid: as many columns
  // as it has characters; the alignment marks choose how the text sits in its cell.
  const FontSlot& slot = CurrentFontSlot();
  const int lineHigh = std::max(c.lineHeight, slot.metrics.height + slot.metrics.externalLeading);
  const int top = c.currentY - c.baselineShift;
  int x = c.currentX;
  char kind = 'X';
  std::size_t i = 0;
  std::string& text = pieceText;
  // A delimited, CSV or HTML export cuts the segment at the same blanks and marks into the same
  // cells, trimmed of their hard blanks and made plain as the page shows them: each cell goes
  // to it as soon as it is made.
  ReportExportFile& file = *c.exportFile;
  const bool cells = file.TakesCells(c.exportSettings);
  if (cells && !segment.empty()) file.BeginCells();
  while (i < segment.size()) {
    const char ch = segment[i];
    if (ch == ' ' || ch == '\t') {
      x += c.columnWidth;
      ++i;
      continue;
    }
    if (ch == kAlignLeft || ch == kAlignCentre || ch == kAlignRight) {
      kind = ch == kAlignLeft ? 'X' : ch == kAlignCentre ? 'Y' : 'Z';
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    while (j < segment.size() && !kCellBreaks[static_cast<unsigned char>(segment[j])]) ++j;
    const int columns = static_cast<int>(j - i);
    std::size_t first = i;
    std::size_t last = j;
    while (last > first && segment[last - 1] == kHardBlank) --last;
    std::size_t shown = first;
    while (shown < last && segment[shown] == kHardBlank) ++shown;
    AssignUnescaped(text, segment.substr(shown, last - shown));
    if (cells) file.WriteCellText(text, c.exportSettings);
    int cellX = x;
    if (kind == 'X' && IsAmountCell(segment.substr(first, last - first))) {
      // An amount sits on its last digit, whatever the width of its thousands' blanks.
      AppendRecord('Z', x, top, static_cast<int>(last - i) * c.columnWidth, lineHigh, text);
      NoteInk(x + static_cast<int>(last - i) * c.columnWidth);
      x += columns * c.columnWidth;
      i = j;
      continue;
    }
    // A left-aligned text starts at its first character that is not a hard blank.
    if (kind == 'X') cellX += static_cast<int>(shown - first) * c.columnWidth;
    if (shown < last) {
      int cellWidth = x + columns * c.columnWidth - cellX;
      // A left-aligned text wider than its columns (a font larger than the grid) keeps its
      // whole width: it is never cut.
      if (kind == 'X' && static_cast<int>(text.size()) * slot.metrics.maximumWidth > cellWidth) {
        const int width = m.TextWidth(slot.font, text);
        if (width > cellWidth) cellWidth = width;
      }
      AppendRecord(kind, cellX, top, cellWidth, lineHigh, text);
      NoteInk(cellX + cellWidth);
    }
    x += columns * c.columnWidth;
    i = j;
  }
  c.currentX = x;
  if (!cells && file.IsOpen()) file.WriteSegment(segment, c.exportSettings);
}

char ReportInterpreter::Impl::LineLetter() const {
  const std::string& type = owner.LineTypeText();
  return type.empty() ? '\0' : LowerCp1252(type.substr(0, 1))[0];
}

const FontSlot& ReportInterpreter::Impl::CurrentFontSlot() const {
  if (c.specialActive) return c.specialFont;
  switch (c.currentFontNumber) {
    case '1':
    case '2':
    case '3':
    case '4': return c.fonts[c.currentFontNumber - '1'];
    case '6': return c.subTotalFont;
    default: return c.specialFont;
  }
}

// ---------------------------------------------------------------------------------------
// The work text and its alias anchors

void ReportInterpreter::Impl::RegisterAnchors(std::size_t length) {
  // Patterns "[key=" that begin in the first `length` characters of the rest, registered
  // from the farthest to the nearest so that the list stays ordered by offset.
  const std::string_view rest = work.Rest();
  std::vector<AliasAnchor> found;
  for (std::size_t i = 0; i < length && i < rest.size(); ++i) {
    if (rest[i] != '[') continue;
    for (std::size_t j = i + 1; j < rest.size(); ++j) {
      const char ch = rest[j];
      if (ch == '[' || ch == ']') break;
      if (ch != '=') continue;
      const std::string_view key = rest.substr(i + 1, j - i - 1);
      // Only a key that a trimmed, lower-cased statement can be.
      if (key.empty() || key.front() == ' ' || key.back() == ' ' || key.size() > kStatementLimit) continue;
      if (LowerCp1252(key) != key) continue;
      found.push_back({rest.size() - i, std::string(key)});
    }
  }
  for (auto it = found.rbegin(); it != found.rend(); ++it) {
    ++anchorCounts[it->key];
    anchors.push_back(std::move(*it));
  }
}

void ReportInterpreter::Impl::RemoveAnchor(std::size_t i) {
  auto count = anchorCounts.find(anchors[i].key);
  if (count != anchorCounts.end() && --count->second <= 0) anchorCounts.erase(count);
  anchors.erase(anchors.begin() + static_cast<std::ptrdiff_t>(i));
}

void ReportInterpreter::Impl::DropDeadAnchors() {
  const std::size_t size = work.Size();
  while (!anchors.empty() && anchors.back().offset > size) RemoveAnchor(anchors.size() - 1);
}

void ReportInterpreter::Impl::Drop(std::size_t n) {
  work.Drop(n);
  if (!anchors.empty() && anchors.back().offset > work.Size()) DropDeadAnchors();
}

void ReportInterpreter::Impl::Push(std::string_view text, bool cut) {
  // Past the page's budget no statement makes further statements: one that would insert some
  // prints as "?statement?", so that an endless expansion ends while the rest of the template
  // is still carried out.
  std::string refused;
  if (statementsOnPage > c.expansionBudget && text.find('[') != std::string_view::npos) {
    refused = FillPlaceholder(LoadStr(kRefusedStatement), statement);
    text = refused;
  }
  const std::size_t used = prefix.size() + work.Size();
  const std::size_t room = used >= kWorkTextLimit ? 0 : kWorkTextLimit - used;
  if (cut && text.size() > room) text = text.substr(0, room);
  if (text.empty()) return;
  // An alias definition "[name=" begins in the pushed text: it holds an "=", or its last "["
  // is still open when it ends (the "=" may follow in the text after it).
  const std::size_t open = text.rfind('[');
  const bool mayDefine = open != std::string_view::npos &&
                         (text.find('=') != std::string_view::npos || text.find(']', open) == std::string_view::npos);
  work.Push(text);
  if (mayDefine) RegisterAnchors(text.size());
}

void ReportInterpreter::Impl::EraseAt(std::size_t index) {
  // The character at `index` of the rest goes; the text before it moves by one toward the end.
  const std::size_t offset = work.Size() - index;
  // Anchors in front of the erased character move with their text; one whose pattern held it is
  // gone.
  std::vector<AliasAnchor> moved;
  while (!anchors.empty() && anchors.back().offset >= offset) {
    AliasAnchor a = std::move(anchors.back());
    anchors.pop_back();
    const std::size_t patternEnd = a.offset - a.key.size() - 1;  // offset of its "="
    if (a.offset == offset || patternEnd <= offset) {
      auto count = anchorCounts.find(a.key);
      if (count != anchorCounts.end() && --count->second <= 0) anchorCounts.erase(count);
      continue;
    }
    a.offset -= 1;
    moved.push_back(std::move(a));
  }
  work.EraseAt(index);
  for (auto it = moved.rbegin(); it != moved.rend(); ++it) anchors.push_back(std::move(*it));
}

bool ReportInterpreter::Impl::FindAlias(const std::string& key, std::string& definition) {
  // A definition whose "[" is still open before the statement, on its line.
  for (std::size_t s : opens) {
    if (prefix.compare(s + 1, key.size(), key) == 0 && s + 1 + key.size() < prefix.size() &&
        prefix[s + 1 + key.size()] == '=') {
      definition = prefix.substr(s + 2 + key.size()) + "[" + raw;
      return true;
    }
  }
  if (anchorCounts.empty() || anchorCounts.find(key) == anchorCounts.end()) return false;
  for (std::size_t i = anchors.size(); i-- > 0;) {
    if (anchors[i].key != key) continue;
    const std::string_view rest = work.Rest();
    const std::size_t start = work.IndexOfOffset(anchors[i].offset) + key.size() + 2;
    const std::size_t end = rest.find(']', start);
    definition.assign(rest.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    return true;
  }
  return false;
}

}  // namespace reports
