// Inside of the template interpreter (report_interpreter.h), shared by its source files: the
// frame (reading the work text, lines, the iteration block, aliases) in
// report_interpreter.cpp, the data statements in statements_data.cpp, the text, font,
// position and drawing statements in statements_layout.cpp, the export statements in
// statements_export.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/lookup.h"
#include "data/unread_amounts.h"
#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/work_text.h"

class Table;

namespace reports {

// The texts the interpreter shows or prints: the caption of its warnings, a statement it does not run
// (%s: the statement), the end of the report or of a page, the questions of an iteration's count and of a
// coefficient, the memo field's suffix, the width warning, the built-in fixed-pitch fonts ("key=font").
inline constexpr int kCaptionAttention = 52;
inline constexpr int kRefusedStatement = 32819;  // "?%s?"
inline constexpr int kEndOfReport = 9502;        // "*^Fin^*"
inline constexpr int kEndOfPage = 9501;          // ".../..."
inline constexpr int kPromptIterations = 980;
inline constexpr int kPromptCoefficient = 2812;
inline constexpr int kMemoFieldSuffix = 2719;    // "MEMO"
inline constexpr int kMsgTooWide = 19511;
// The amounts [%:field] left as they were (%s: the records, one a line), and one record (%s: its
// table's file, its number, the field).
inline constexpr int kMsgUnreadableUpdates = 34702;
inline constexpr int kStrUnreadableUpdate = 34703;
// The fields a write statement left as they were, their write refused (%s: the fields, one a line), and
// one field (%s: its table's file, its record's number, the field, why its write was refused).
inline constexpr int kMsgRefusedUpdates = 38104;
inline constexpr int kStrRefusedUpdate = 38105;
inline constexpr int kFixedFontFirst = 9650, kFixedFontLast = 9679;

class ReportInterpreter::Impl {
 public:
  Impl(RenderContext& context, TextMeasurer& measurer, ReportOwner& owner, ReportEnvironment& env)
      : c(context), m(measurer), owner(owner), env(env) {}

  bool Begin(const ListSetup& setup, const LoadedTemplate& loaded);
  PageOutcome RenderPage();

  RenderContext& c;
  TextMeasurer& m;
  ReportOwner& owner;
  ReportEnvironment& env;

  // ---- the page's work text: `prefix` holds what was read and not yet written (the lines
  // before the next statement, and the current line), `work` what remains to read.
  WorkText work;
  std::string prefix;
  std::vector<std::size_t> opens;     // positions in prefix of the "[" not closed yet
  std::vector<std::size_t> lineEnds;  // positions in prefix of the LF of each CR LF
  std::size_t literalCloses = 0;      // "]" in prefix that closed nothing
  long statementsOnPage = 0;
  // The page met an iteration block or stepped the owner's records: a run to the end goes on.
  bool dataOnPage = false;

  // The statement being handled: as written between its brackets, and trimmed and
  // lower-cased (at most 255 characters).
  std::string raw;
  std::string statement;
  // The statement before a table prefix was taken off it ("" when none was).
  std::string fullStatement;
  std::string pieceText;  // a piece of a segment being drawn
  std::string bodyCopy, statementAgain;  // one more iteration of a block

  // ---- alias definitions "[name=" in the work text, by their offset from its end (ordered:
  // the last one is the nearest to the front).
  struct AliasAnchor {
    std::size_t offset;  // of the "["
    std::string key;
  };
  std::vector<AliasAnchor> anchors;
  std::unordered_map<std::string, int> anchorCounts;
  void RegisterAnchors(std::size_t length);  // in the first `length` characters of the rest
  void DropDeadAnchors();
  void RemoveAnchor(std::size_t i);
  bool FindAlias(const std::string& key, std::string& definition);
  // Work text edits that keep the anchors right.
  void Drop(std::size_t n);
  void Push(std::string_view text, bool cut = true);
  void EraseAt(std::size_t index);

  // ---- the iteration block's line count, kept while the text after "[ITD]" is unchanged.
  struct LineCountEntry {
    std::size_t offset = 0;
    char letter = 0;
    char mark = 0;
    int lines = 0;
  };
  std::vector<LineCountEntry> lineCounts;
  std::size_t lineCountOffset = static_cast<std::size_t>(-1);
  // The end of the iteration block ("[itf]" or "[ITF]") after the same offset: its index in
  // the rest then, npos when there is none.
  std::size_t blockEnd = 0;
  bool blockEndKnown = false;
  // The iteration block's end in the rest (kept while the text after "[ITD]" is unchanged).
  std::size_t BlockEnd();
  void KeepOffset();

  // ---- the iteration block read from its parsed form. Each iteration pushes its text as
  // before, but reads it token by token (text runs, line ends, braces, whole statements, the
  // statements met on every record dispatched at once) for as long as the work text still holds
  // exactly that text: no edit but drops from the front, and the "}" of kept blocks taken out.
  // Any other change (a result pushed back, a block cut elsewhere) ends the token reading and
  // the rest is read character by character as always.
  struct BodyToken {
    enum Kind : std::uint8_t { kText, kLineEnd, kBrace, kEmpty, kBlank, kStatement, kVariable, kHook, kLineType };
    Kind kind = kText;
    std::uint32_t start = 0, length = 0;  // in ParsedBody::text
    std::string lowered;                  // a statement trimmed, cut and lower-cased
    // A variable [@NAME] with no barcode, position, cut or relation: its field index, found
    // for the owner's field table as declared then.
    bool plainVariable = false;
    int fieldIndex = -1;
    const ReportFieldTable* fieldTable = nullptr;
    std::uint64_t fieldGeneration = 0;
  };
  struct ParsedBody {
    std::string body, again;  // what it was parsed from
    std::string text;         // body + again, as pushed
    std::vector<BodyToken> tokens;
    std::vector<std::size_t> suffix;  // the length of the text from each token on (0 last)
    bool usable = false;
  };
  ParsedBody parsed;
  struct BodyReading {
    bool active = false;
    std::size_t next = 0;                // the next token
    std::size_t edits = 0;               // the work text's edit count expected
    std::size_t tail = 0;                // the size of the work text after the parsed text
    std::vector<std::size_t> suffix;     // the text's lengths once a "}" was taken out
    bool adjusted = false;               // (otherwise the parsed ones)
    std::vector<char> erased;            // "}" taken out by a kept block
    std::size_t generation = 0;
  };
  BodyReading reading;
  void ParseBody(const std::string& body, const std::string& again);
  void StartBodyReading();  // after the parsed text was pushed
  // The offset from the end of the work text of token i (of the tail for the last).
  std::size_t BodyOffset(std::size_t i) const {
    return reading.tail + (reading.adjusted ? reading.suffix[i] : parsed.suffix[i]);
  }
  bool ReadBodyTokens();
  bool BodyTokenAfterStatement();
  void ResolveAndDispatch();

  // ---- variable names to indexes of the owner's field table.
  // (few: a report's variables; looked up in turn, newest first)
  struct FieldIndexEntry {
    std::string name;      // as the statement writes it (lower-cased)
    int index;
    std::string declared;  // the first 10 characters of its definition then
  };
  std::vector<FieldIndexEntry> fieldIndexes;
  std::size_t fieldIndexNext = 0;  // where the next search begins
  std::string scratch;  // the result of a variable, escaped
  std::string variableText;  // the variable's text before it is escaped

  // ---- frame
  void ReadText();
  void HandleClose();
  void FlushLinesBefore(std::size_t position);
  void EraseFromPrefix(std::size_t from);  // prefix cut at `from`, bookkeeping kept
  void ClearPrefix();
  void EndOfText();
  void Execute();
  void Dispatch();
  // Exits of a statement.
  void Replace(std::string_view text);  // result read again, cut to 255 characters
  void ReplaceEscaped(std::string_view text);  // a value: its brackets made inert, then Replace
  void Insert(std::string_view text);   // template text read again, cut to the work text's room
  void Unrecognised();
  // Text before the statement on its line drawn as a segment (no line change).
  void Flush();
  // A finished line: drawn, the position to the next line, the export's line end.
  void WriteLine(std::string_view line);
  void WriteSegment(std::string_view segment);
  void AppendRecord(char kind, int n1, int n2, int n3, int n4, std::string_view text);
  char LineLetter() const;

  // ---- statement families (true: the statement was handled)
  bool TryTables();
  bool TryIteration();
  bool TryVariablesAndConditions();
  bool TryMemoWord();
  bool TryLineTypeBlocks();
  bool TryHooks();
  bool TryFieldNames();
  bool TryPrintBlocks();
  bool TryPageStatements();
  bool TryTab();
  bool TryDelimiter();
  bool TryCodeHooks();
  bool TryLinePositions();
  bool TryMem();
  bool TryColumns();
  bool TryDossierValues();
  bool TryImportsAndPrompts();
  bool TryFontsAndText();
  bool TryConstant();
  bool TryOthers();

  // ---- helpers of the families
  // A reference "name[:relation][,pp[,nn]]": the name, the relation, pp and nn (0 absent),
  // whether nn was "@".
  struct VariableReference {
    std::string name;
    std::string relation;
    int pp = 0;
    int nn = 0;
    bool nnFromValue = false;
    bool hasPart = false;
  };
  bool Variable();
  bool PlainVariable(BodyToken& token);  // a plainVariable token of the parsed body
  bool ShowVariable(int index, const VariableReference& r, int barcode, bool positioning);
  bool Condition();
  bool IfVariableBlock(bool whenBlank);
  bool FieldReference(std::string_view reference, DossierTableId table);
  bool Relation();
  bool FieldWrite();
  // The records whose amount [%:field] left as it was, for it does not read as a number: named
  // once, at the end of the page.
  std::vector<std::string> unreadableUpdates;
  // The fields a write statement could not write (the table layer or the system refused it), each
  // with why: named once, at the end of the page, the field shown as it stands.
  std::vector<std::string> refusedUpdates;
  // The first look-up of a field or a relation that the system could not read (its file and why):
  // the statement shows as one whose record is missing, and the refusal is said at the end of the page.
  std::string unreadLookup;
  void NoteUnreadLookup(const Table& table, const Lookup& found);
  void SayUnreadableUpdates();
  bool MemoKeyword();
  bool WordAfter();
  int FieldIndex(std::string_view name);
  Table* CurrentTable();
  Table* TableOf(DossierTableId id);
  std::string RelatedField(std::string_view relation, const std::string& value, int pp, int nn, bool& ok);
  void SelectBlock(char open, char close, bool keep);  // the block right after the statement
  std::string PagesText() const;
  std::string LimitsText() const;
  void IterationBlock();
  int LinesFromHere();
  void NewPageState();
  void PrepareFonts(const ListSetup& setup);
  FontMetrics MeasureFont(const ReportFont& font);
  void ApplyCreatedFontMetrics(const ReportFont& font);
  void SelectNumberedFont(char number);
  void RecordFont(char kind, const FontSlot& slot);
  void StyleLetters();
  void SpecialFont();
  void GridFromFont();
  void Reflow();
  void TextFile();
  bool Line();
  bool Rectangle();
  bool Image();
  void Barcode(int type, const std::string& value);
  int LineField(std::string_view field) const;
  int ColumnField(std::string_view field) const;

  // ---- a number (or a balance, a code's value) wider than its variable (it keeps all its
  // digits): it takes the free columns
  // on its left first, keeping its last digit under those of its column; what it takes beyond
  // moves the columns that the template places after it on the same line to the right, so that
  // it never runs into them.
  struct WideNumber {
    bool active = false;
    int y = 0;       // its line
    int startX = 0;  // where its text begins
  } wideNumber;
  int lineShift = 0;      // what the columns of the line lineShiftY have moved right
  int lineShiftY = -1;
  int inkRight = 0;       // the right edge of the texts drawn so far on the line inkY
  int inkY = -1;
  void NoteInk(int right) {
    if (inkY != c.currentY) inkY = c.currentY, inkRight = right;
    else if (right > inkRight) inkRight = right;
  }
  // A number of `length` characters about to follow the prefix, when wider than `width`: moved
  // into the free columns on its left, and noted.
  void NoteWideNumber(std::size_t length, int width);
  // The x of column statement's position on the current line, moved as the line needs.
  int ShiftedColumnX(int x);
  void ClearLineShift() {
    wideNumber.active = false;
    lineShift = 0;
    lineShiftY = -1;
    inkY = -1;
  }
  void CreateExport();
  // The amounts of the run that did not read as numbers, whoever read them (the owner's hooks, the
  // field statements) while a page was rendered, and those the owner named: a run that met one
  // writes no export file. The file is given up as soon as it is open over one, or at the run's
  // last page; the refusal, naming them, is said once, at that last page.
  UnreadAmounts unreadAmounts;
  bool exportRefused = false, refusalSaid = false;
  void RefuseExportOverUnreadAmounts();
  std::string ResolveTemplateFile(const std::string& name, bool& ok);
  const FontSlot& CurrentFontSlot() const;
  int TopOfLine(int line) const { return (line - 1) * c.lineHeight + c.lineHeight / 5; }
  void SetLineHeight(int height) { c.lineHeight = height < 1 ? 1 : height; }
  bool ConstantIs(int n, char letter);
  // The statement begins with one of these characters (a family's keywords all do): the
  // dispatch skips the families that cannot take it.
  bool FirstIn(const char* chars) const {
    if (statement.empty()) return false;
    for (const char* p = chars; *p; ++p) {
      if (*p == statement[0]) return true;
    }
    return false;
  }
};

}  // namespace reports
