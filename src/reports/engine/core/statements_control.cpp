// Statements that control the run: the iteration block and the report hooks, the line-type
// and print blocks, the page statements, the balance-sheet code hooks, template imports and
// chaining, and the prompts.
#include <cstdio>
#include <string_view>

#include "reports/engine/core/interpreter_impl.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace reports {

// Statements met on every record are compared by their length first.
using namespace std::string_view_literals;

namespace {

// The pages a run prints, in words: all, the last, from a page, up to a page (the page after the text),
// between two pages (%s: the first and the last).
constexpr int kPagesAll = 19500;      // "Toutes les pages"
constexpr int kPagesLast = 19501;     // "La dernière page"
constexpr int kPagesFrom = 19502;     // "A partir de la page "
constexpr int kPagesUpTo = 19503;     // "Jusqu'à la page "
constexpr int kPagesBetween = 19504;  // "De page %s à %s"

constexpr char kBlockOpen = '\xAB';   // «
constexpr char kBlockClose = '\xBB';  // »

std::string Int4(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%4d", value);
  return buffer;
}

bool IsLineTypeStatement(std::string_view s) {
  return s.size() > 5 && (StartsWith(s, "rupt-") || StartsWith(s, "rupt!") || StartsWith(s, "rupt<") ||
                          StartsWith(s, "rupt>"));
}

bool LineTypeSelected(std::string_view statement, char letter, char mark) {
  const std::string_view letters = statement.substr(5);
  const char first = letters.empty() ? '\0' : letters[0];
  auto occurs = [&](char ch) { return ch != '\0' && letters.find(ch) != std::string_view::npos; };
  switch (statement[4]) {
    case '-': return occurs(letter) || occurs(mark);
    case '!': return !occurs(letter) && !occurs(mark);
    case '>': return static_cast<unsigned char>(letter) > static_cast<unsigned char>(first);
    default: return static_cast<unsigned char>(letter) < static_cast<unsigned char>(first);
  }
}

}  // namespace

void ReportInterpreter::Impl::SelectBlock(char open, char close, bool keep) {
  // The block must follow the statement at once and be closed; otherwise the statement is
  // only deleted (and an unclosed block printed).
  if (work.Empty() || work.Front() != open) return;
  const std::size_t end = work.Rest().find(close, 1);
  if (end == std::string_view::npos) return;
  if (keep) {
    EraseAt(end);
    Drop(1);
  } else {
    Drop(end + 1);
  }
}

void ReportInterpreter::Impl::KeepOffset() {
  // The text after "[ITD]" stays as it is while its iterations are read in front of it, so
  // what is known of it is kept by its offset for as long as nothing at or after it changed.
  const std::size_t offset = work.Size();
  if (offset != lineCountOffset || work.LowWater() < offset) {
    lineCounts.clear();
    blockEndKnown = false;
    lineCountOffset = offset;
    work.MarkLow();
  }
}

std::size_t ReportInterpreter::Impl::BlockEnd() {
  KeepOffset();
  if (!blockEndKnown) {
    const std::string_view rest = work.Rest();
    blockEnd = rest.find("[itf]");
    if (blockEnd == std::string_view::npos) blockEnd = rest.find("[ITF]");
    blockEndKnown = true;
  }
  return blockEnd;
}

int ReportInterpreter::Impl::LinesFromHere() {
  KeepOffset();
  const std::size_t offset = work.Size();
  const char letter = LineLetter();
  for (const LineCountEntry& e : lineCounts) {
    if (e.letter == letter && e.mark == c.pageBreakMark) return e.lines;
  }
  const int lines = CountLinesForRupture(work.Rest(), letter, c.pageBreakMark);
  lineCounts.push_back({offset, letter, c.pageBreakMark, lines});
  return lines;
}

void ReportInterpreter::Impl::IterationBlock() {
  const std::size_t end = BlockEnd();
  const std::size_t blockEnd = end + 5;
  if (c.endOfData || c.iterationStopped) {
    Drop(blockEnd);
    return;
  }
  const int lines = LinesFromHere();
  if (!c.firstIterationOnPage && !c.forcedIteration && c.linesLeft < lines) {
    Drop(blockEnd);
    return;
  }
  std::string& again = statementAgain;
  again.assign(1, '[');
  again += raw;
  again += ']';
  const std::string_view bodyText = work.Rest().substr(0, end);
  if (prefix.size() + work.Size() + again.size() + bodyText.size() > kWorkTextLimit) {
    // No room for one more iteration: the record goes to the next page; when even the page's
    // first iteration has no room, the data cannot be printed and the run ends.
    Drop(blockEnd);
    if (c.firstIterationOnPage) c.endOfData = true;
    return;
  }
  // Past the page's budget Push would refuse them. Pushed in one piece, the body and the
  // statement read the same as pushed one after the other (no alias can begin in the body and
  // end in "[itd]" when the statement holds no "=").
  if (statementsOnPage <= c.expansionBudget && c.parsedIteration && again.find('=') == std::string::npos) {
    if (parsed.body != bodyText || parsed.again != again) ParseBody(std::string(bodyText), again);
    if (parsed.usable) {
      Push(parsed.text, false);
      StartBodyReading();
      c.firstIterationOnPage = false;
      return;
    }
  }
  std::string& body = bodyCopy;
  body.assign(bodyText);
  Push(again, false);
  Push(body, false);
  reading.active = false;
  c.firstIterationOnPage = false;
}

void ReportInterpreter::Impl::ParseBody(const std::string& body, const std::string& again) {
  parsed.body = body;
  parsed.again = again;
  parsed.text = body + again;
  parsed.tokens.clear();
  parsed.usable = false;
  const std::string& t = parsed.text;
  auto add = [&](BodyToken::Kind kind, std::size_t start, std::size_t length) {
    BodyToken token;
    token.kind = kind;
    token.start = static_cast<std::uint32_t>(start);
    token.length = static_cast<std::uint32_t>(length);
    parsed.tokens.push_back(std::move(token));
  };
  std::size_t i = 0;
  while (i < t.size()) {
    const char ch = t[i];
    if (ch == ']') return;  // a "]" that closes nothing: read as always
    if (ch == '\n') {
      add(BodyToken::kLineEnd, i, 1);
      ++i;
      continue;
    }
    if (ch == '{' || ch == '}') {
      add(BodyToken::kBrace, i, 1);
      ++i;
      continue;
    }
    if (ch != '[') {
      std::size_t j = i;
      while (j < t.size() && t[j] != '[' && t[j] != ']' && t[j] != '\n' && t[j] != '{' && t[j] != '}') ++j;
      add(BodyToken::kText, i, j - i);
      i = j;
      continue;
    }
    // A statement: nested brackets and line feeds inside one are left to the character reading.
    const std::size_t close = t.find_first_of("[]\n", i + 1);
    if (close == std::string::npos || t[close] != ']') return;
    const std::string_view inner = std::string_view(t).substr(i + 1, close - i - 1);
    if (inner.empty()) {
      add(BodyToken::kEmpty, i, 2);
    } else {
      const std::size_t first = inner.find_first_not_of(' ');
      if (first == std::string_view::npos) {
        add(BodyToken::kBlank, i, close + 1 - i);
      } else {
        std::size_t length = inner.find_last_not_of(' ') - first + 1;
        if (length > kStatementLimit) length = kStatementLimit;
        std::string lowered(inner.substr(first, length));
        for (char& letter : lowered) letter = LowerChar(letter);
        // The statements met on every record go straight to their family: no family before it
        // in the dispatch takes them (nor changes them).
        BodyToken::Kind kind = BodyToken::kStatement;
        bool plainVariable = false;
        if (lowered[0] == '@' && lowered != "@nbl") {
          kind = BodyToken::kVariable;
          const char after = lowered.size() > 1 ? lowered[1] : '\0';
          plainVariable = !(after >= '1' && after <= '5') && after != '#' &&
                          lowered.find_first_of(",:") == std::string::npos;
        } else if (lowered == "tt-init" || lowered == "tt-avant" || lowered == "tt-suivant") {
          kind = BodyToken::kHook;
        } else if (IsLineTypeStatement(lowered)) {
          kind = BodyToken::kLineType;
        }
        add(kind, i, close + 1 - i);
        parsed.tokens.back().lowered = std::move(lowered);
        parsed.tokens.back().plainVariable = plainVariable;
      }
    }
    i = close + 1;
  }
  const std::size_t n = parsed.tokens.size();
  parsed.suffix.assign(n + 1, 0);
  for (std::size_t k = n; k-- > 0;) parsed.suffix[k] = parsed.suffix[k + 1] + parsed.tokens[k].length;
  parsed.usable = true;
}

void ReportInterpreter::Impl::StartBodyReading() {
  ++reading.generation;
  reading.active = parsed.usable && work.Size() >= parsed.text.size();
  if (!reading.active) return;
  reading.next = 0;
  reading.edits = work.Edits();
  reading.tail = work.Size() - parsed.text.size();
  reading.erased.assign(parsed.tokens.size(), 0);
  reading.adjusted = false;
}

bool ReportInterpreter::Impl::BodyTokenAfterStatement() {
  // What the statement did to the work text: only drops from the front, or also the "}" of the
  // block it kept taken out; then the reading goes on at the token the front now stands on.
  const std::size_t n = parsed.tokens.size();
  if (work.Edits() != reading.edits) {
    if (work.Edits() != reading.edits + 1 || !work.LastEditWasErase()) return false;
    const std::size_t offset = work.LastEraseOffset();
    std::size_t j = reading.next;
    while (j < n && !(BodyOffset(j) == offset && !reading.erased[j] && parsed.tokens[j].kind == BodyToken::kBrace &&
                      parsed.text[parsed.tokens[j].start] == '}'))
      ++j;
    if (j == n) return false;
    reading.erased[j] = 1;
    reading.edits = work.Edits();
    // The text before it is one shorter.
    if (!reading.adjusted) reading.suffix = parsed.suffix;
    reading.adjusted = true;
    for (std::size_t k = 0; k <= j; ++k) --reading.suffix[k];
  }
  const std::size_t size = work.Size();
  std::size_t i = reading.next;
  while (i < n && (reading.erased[i] || BodyOffset(i) > size)) ++i;
  if (i == n || BodyOffset(i) != size) return false;
  reading.next = i;
  return true;
}

bool ReportInterpreter::Impl::ReadBodyTokens() {
  bool progressed = false;
  const std::size_t n = parsed.tokens.size();
  while (reading.next < n) {
    if (reading.erased[reading.next]) {
      ++reading.next;
      continue;
    }
    if (work.Edits() != reading.edits || work.Size() != BodyOffset(reading.next)) break;
    BodyToken& token = parsed.tokens[reading.next];
    const std::string_view text = std::string_view(parsed.text).substr(token.start, token.length);
    ++reading.next;
    switch (token.kind) {
      case BodyToken::kText:
      case BodyToken::kBrace:
        prefix.append(text.data(), text.size());
        Drop(text.size());
        progressed = true;
        continue;
      case BodyToken::kLineEnd:
        Drop(1);
        if (!prefix.empty() && prefix.back() == '\r') lineEnds.push_back(prefix.size());
        prefix += '\n';
        progressed = true;
        continue;
      case BodyToken::kEmpty:
        Drop(2);
        progressed = true;
        continue;
      default: break;
    }
    // A statement, read whole: as the character reading does at its "]". The statements met on
    // every record never read it as written, and a plain variable reads its lowered text only
    // when it is not understood.
    Drop(text.size());
    FlushLinesBefore(prefix.size());
    ++statementsOnPage;
    progressed = true;
    if (token.kind == BodyToken::kBlank) continue;
    const BodyToken::Kind kind = token.kind;
    const std::size_t generation = reading.generation;
    if (kind == BodyToken::kStatement || !opens.empty() || !anchorCounts.empty()) {
      raw.assign(text.data() + 1, text.size() - 2);
      statement.assign(token.lowered);
      ResolveAndDispatch();
    } else {
      fullStatement.clear();
      if (kind == BodyToken::kVariable && token.plainVariable) {
        PlainVariable(token);
      } else {
        statement.assign(token.lowered);
        if (kind == BodyToken::kVariable) {
          Variable();
        } else if (kind == BodyToken::kHook) {
          TryHooks();
        } else {
          TryLineTypeBlocks();
        }
      }
    }
    // The statement began another reading (the next iteration) or ended this one.
    if (reading.generation != generation || !reading.active) return true;
    if (!BodyTokenAfterStatement()) break;
  }
  reading.active = false;
  return progressed;
}

bool ReportInterpreter::Impl::TryIteration() {
  if (!FirstIn("fir")) return false;
  if (std::string_view(statement) == "fit"sv) {
    c.forcedIteration = true;
    return true;
  }
  if (std::string_view(statement) == "itd"sv) {
    // The text before the block is written first, where it stands.
    if (!prefix.empty()) Flush();
    if (BlockEnd() == std::string_view::npos) return false;
    c.pageBreakMark = c.firstIterationOnPage && c.renderedPages != 1 ? '@' : '\xFF';
    dataOnPage = true;
    IterationBlock();
    return true;
  }
  if (std::string_view(statement) == "re-itd"sv) {
    const std::string_view rest = work.Rest();
    std::size_t at = rest.find("[itd]");
    if (at == std::string_view::npos) at = rest.find("[ITD]");
    if (at == std::string_view::npos) return false;
    ClearPrefix();
    Drop(at);
    return true;
  }
  return false;
}

bool ReportInterpreter::Impl::TryLineTypeBlocks() {
  if (!FirstIn("r")) return false;
  if (IsLineTypeStatement(statement)) {
    SelectBlock('{', '}', LineTypeSelected(statement, LineLetter(), c.pageBreakMark));
    return true;
  }
  if (statement == "rupture") {
    Replace(Escaped(owner.LineTypeText(), InValueStatements::kDrop));
    return true;
  }
  if (statement == "rupturepage") {
    Replace(std::string(1, c.pageBreakMark));
    return true;
  }
  return false;
}

bool ReportInterpreter::Impl::TryHooks() {
  if (!FirstIn("t")) return false;
  if (std::string_view(statement) == "tt-init"sv) {
    owner.InitReport();
    return true;
  }
  if (std::string_view(statement) == "tt-avant"sv) {
    if (c.repeatCounter == c.repeatCount) owner.ComputeLine();
    return true;
  }
  if (std::string_view(statement) == "tt-suivant"sv) {
    dataOnPage = true;
    if (c.repeatCounter != 0) --c.repeatCounter;
    if (c.repeatCounter == 0) {
      if (owner.NextRecord()) {
        owner.ClassifyLine();
      } else {
        c.endOfData = true;
      }
      c.repeatCounter = c.repeatCount;
    }
    return true;
  }
  return false;
}

bool ReportInterpreter::Impl::TryPrintBlocks() {
  if (!FirstIn("s")) return false;
  const bool preview = c.target == RenderTarget::kPreview;
  if (statement == "si-impr") {
    SelectBlock(kBlockOpen, kBlockClose, !preview);
    return true;
  }
  if (statement == "si-visu") {
    SelectBlock(kBlockOpen, kBlockClose, preview);
    return true;
  }
  return false;
}

std::string ReportInterpreter::Impl::PagesText() const {
  const int f = c.firstPage, l = c.lastPage;
  std::string text;
  if (f == 1 && l == 9999) {
    text = LoadStr(kPagesAll);
  } else if (f == 9999 && l == 9999) {
    text = LoadStr(kPagesLast);
  } else if (l == 9999) {
    text = LoadStr(kPagesFrom) + std::to_string(f);
  } else if (f == 1) {
    text = LoadStr(kPagesUpTo) + std::to_string(l);
  } else {
    text = FillPlaceholders(LoadStr(kPagesBetween), {std::to_string(f), std::to_string(l)});
  }
  return PadRight(text, 25);
}

std::string ReportInterpreter::Impl::LimitsText() const {
  if (owner.LimitsAbsent()) return std::string(25, ' ');
  return PadRight(LimitsDescription(owner.LimitFrom(), owner.LimitTo()), 25);
}

bool ReportInterpreter::Impl::TryPageStatements() {
  if (!FirstIn("sfpl")) return false;
  const std::string& s = statement;
  if (StartsWith(s, "sipage=") || s == "si-page1" || StartsWith(s, "sipage#")) {
    const int n = s == "si-page1" ? 1 : LeadingInt(std::string_view(s).substr(7));
    const bool equal = s[6] != '#';
    SelectBlock(kBlockOpen, kBlockClose, equal ? c.renderedPages == n : c.renderedPages != n);
    return true;
  }
  if (s == "finpage" || s == "findoc") {
    Drop(work.Size());
    if (s == "findoc") c.endOfData = true;
    return true;
  }
  if (s == "finiteration") {
    c.iterationStopped = true;
    return true;
  }
  if (s == "fin") {
    Replace(LoadStr(c.endOfData ? kEndOfReport : kEndOfPage));
    return true;
  }
  if (s == "pages") {
    Replace(Escaped(PagesText(), InValueStatements::kDrop));
    return true;
  }
  if (s == "limites") {
    Replace(Escaped(LimitsText(), InValueStatements::kDrop));
    return true;
  }
  if (s == "pagenumero") {
    Replace(Int4(c.renderedPages));
    return true;
  }
  if (StartsWith(s, "page")) {
    Replace(Int4(owner.PageNumberOffset() + c.renderedPages));
    return true;
  }
  return false;
}

bool ReportInterpreter::Impl::TryCodeHooks() {
  if (!FirstIn("b")) return false;
  const std::string& s = statement;
  const bool label = StartsWith(s, "bll:") || StartsWith(s, "bll!");
  const bool value = StartsWith(s, "blv:") || StartsWith(s, "blv!");
  if (!label && !value) return false;
  std::string code = s.substr(4);
  if (s[3] == '!') code = UpperCp1252(code);
  code.resize(3, ' ');
  const std::string text = label ? owner.GetCodeLabel(code) : owner.GetCodeValue(code);
  if (value) NoteWideNumber(text.size(), ReportOwner::kCodeValueWidth);
  Replace(Escaped(text, InValueStatements::kDrop));
  return true;
}

bool ReportInterpreter::Impl::TryImportsAndPrompts() {
  if (!FirstIn("eins")) return false;
  const std::string& s = statement;
  if (StartsWith(s, "es:")) {
    // Past the page's budget a report no longer executes another (one executing itself).
    if (statementsOnPage > c.expansionBudget) {
      Unrecognised();
      return true;
    }
    struct EnvSource : TemplateSource {
      explicit EnvSource(ReportEnvironment& e) : env(e) {}
      bool FindTemplate(const std::string& code, std::string& text) override { return env.FindTemplate(code, text); }
      ReportEnvironment& env;
    } source(env);
    LoadedTemplate loaded;
    if (!LoadTemplate(source, s.substr(3), loaded)) {
      if (!loaded.refusal.empty()) env.Warn(LoadStr(kCaptionAttention), loaded.refusal);
      return false;
    }
    // The report's default metrics and numbered font come back, then report xxx goes on from
    // its beginning for the rest of the page and the following pages.
    c.currentFontNumber = c.initialFontNumber;
    c.specialActive = false;
    c.fontCharWidth = c.defaultCharWidth;
    c.fontLineHeight = c.defaultLineHeight;
    c.fontAscent = c.defaultAscent;
    c.baselineShift = 0;
    RecordFont(c.initialFontNumber, c.fonts[c.initialFontNumber - '1']);
    c.templateText = loaded.text;
    ClearPrefix();
    work.Reset(c.templateText);
    anchors.clear();
    anchorCounts.clear();
    RegisterAnchors(work.Size());
    lineCounts.clear();
    lineCountOffset = static_cast<std::size_t>(-1);
    return true;
  }
  if (StartsWith(s, "ie:")) {
    std::string reference = Trimmed(std::string_view(s).substr(3));
    const std::size_t bar = reference.find('|');
    std::string code = reference;
    if (bar != std::string::npos) {
      code = Trimmed(reference.substr(0, bar)) +
             Trimmed(env.Dossier().Constant(LeadingInt(reference.substr(bar + 1))));
    }
    std::string text;
    if (!env.FindTemplate(ReportCodeKey(code), text) || prefix.size() + work.Size() + text.size() >= kTemplateLimit) {
      Unrecognised();
      return true;
    }
    Insert(text);
    return true;
  }
  if (StartsWith(s, "nbit")) {
    if (c.repeatCounter == 0) {
      std::string value = s.size() > 4 ? s.substr(4) : std::string("1");
      env.AskValue(LoadStr(kPromptIterations), value);
      int count = LeadingInt(value);
      if (count < 1) count = 1;
      c.repeatCount = c.repeatCounter = count;
    }
    return true;
  }
  if (StartsWith(s, "saisie")) {
    const std::string format = s.substr(6);
    std::string value;
    env.AskValue(format, value);
    const int width = LeadingInt(format);
    if (c.exportSettings.noDelimiter && width > 0 && static_cast<int>(value.size()) < width) value.resize(width, ' ');
    if (value.size() > kResultLimit) value.resize(kResultLimit);
    Replace(Escaped(value, InValueStatements::kDrop));
    return true;
  }
  return false;
}

}  // namespace reports
