// A plain interpreter that does what the frame's description says word for word (after every
// statement the search starts again from the first character of the work text), over a part of
// the statements, kept as an oracle: on generated templates the engine's interpreter, which
// reads its text once, must print the same pages and write the same export.
#include <random>

#include "core_support.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

using namespace test_support;

namespace {

constexpr int kLineHeight = 13;
constexpr int kColumn = 9;

class OracleInterpreter {
 public:
  OracleInterpreter(const std::string& tmpl, reports::FixtureReportOwner& owner, int linesPerPage)
      : template_(tmpl), owner_(owner), linesPerPage_(linesPerPage) {}

  // All pages: the text of each (as TextOf reads the engine's) and the plain export.
  void Run(int maxPages) {
    for (int page = 1; page <= maxPages; ++page) {
      renderedPages_ = page;
      RenderPage();
      if (endOfData_) break;
    }
  }
  std::vector<std::string> pages;
  std::string exportText;

 private:
  // ---- output
  void Segment(const std::string& seg) {
    const std::string text = reports::Unescaped(seg);
    exportText += text;
    lineOpen_ = true;
    std::string& line = Line(lineIndex_);
    if (static_cast<int>(line.size()) < column_) line.resize(static_cast<std::size_t>(column_), ' ');
    line.replace(static_cast<std::size_t>(column_), std::string::npos, text);
    column_ += static_cast<int>(text.size());
  }
  void WriteLine(const std::string& text) {
    if (!text.empty()) Segment(text);
    column_ = 0;
    ++lineIndex_;
    --linesLeft_;
    exportText += "\r\n";
    lineOpen_ = false;
  }
  std::string& Line(int index) {
    if (static_cast<int>(pageLines_.size()) <= index) pageLines_.resize(static_cast<std::size_t>(index) + 1);
    return pageLines_[static_cast<std::size_t>(index)];
  }

  void Replace(std::size_t start, std::size_t length, const std::string& with) {
    lineText_.replace(start, length, with.substr(0, 255));
  }

  // ---- one page
  void RenderPage() {
    lineText_ = template_;
    linesLeft_ = linesPerPage_;
    iterationStopped_ = false;
    firstIteration_ = true;
    pageLines_.clear();
    lineIndex_ = 0;
    column_ = 0;
    statements_ = 0;
    while (lineText_.find('[') != std::string::npos && lineText_.find(']') != std::string::npos) Step();
    // End of the text: every line, then the rest.
    std::size_t crlf;
    while ((crlf = lineText_.find("\r\n")) != std::string::npos) {
      WriteLine(lineText_.substr(0, crlf));
      lineText_.erase(0, crlf + 2);
    }
    if (!lineText_.empty()) Segment(lineText_);
    if (lineOpen_) {
      exportText += "\r\n";
      lineOpen_ = false;
    }
    std::string text;
    for (std::string l : pageLines_) {
      while (!l.empty() && l.back() == ' ') l.pop_back();
      text += l + "\n";
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    pages.push_back(text);
  }

  void Step() {
    std::size_t p = 0;
    std::size_t i, j;
    for (;;) {
      i = lineText_.find('[', p);
      j = i == std::string::npos ? std::string::npos : lineText_.find(']', i + 1);
      if (j == std::string::npos || j == i + 1) {
        lineText_.erase(i, j == i + 1 ? 2 : 1);
        return;
      }
      if (lineText_.substr(i + 1, j - i - 1).find('[') != std::string::npos) {
        p = i + 1;
        continue;
      }
      break;
    }
    const std::size_t crlf = lineText_.find("\r\n");
    if (crlf != std::string::npos && crlf + 1 < i) {
      WriteLine(lineText_.substr(0, crlf));
      lineText_.erase(0, crlf + 2);
      return;
    }
    std::string s = LowerCp1252(Trimmed(lineText_.substr(i + 1, j - i - 1)));
    if (s.size() > 255) s.resize(255);
    const std::size_t length = j - i + 1;
    ++statements_;
    if (s.empty()) {
      lineText_.erase(i, length);
      return;
    }
    const std::string original = s;
    int depth = 0;
    std::size_t at;
    while (!s.empty() && (at = lineText_.find("[" + s + "=")) != std::string::npos) {
      if (++depth > 32) {
        Replace(i, length, "?" + original + "?");
        return;
      }
      const std::size_t start = at + s.size() + 2;
      const std::size_t end = lineText_.find(']', start);
      s = LowerCp1252(Trimmed(lineText_.substr(start, end == std::string::npos ? std::string::npos : end - start)));
      if (s.size() > 255) s.resize(255);
    }
    Dispatch(s, original, i, length);
  }

  void Block(std::size_t i, std::size_t length, char open, char close, bool keep) {
    lineText_.erase(i, length);
    if (i >= lineText_.size() || lineText_[i] != open) return;
    const std::size_t end = lineText_.find(close, i + 1);
    if (end == std::string::npos) return;
    if (keep) {
      lineText_.erase(end, 1);
      lineText_.erase(i, 1);
    } else {
      lineText_.erase(i, end - i + 1);
    }
  }

  char Letter() const {
    const std::string& t = owner_.LineTypeText();
    return t.empty() ? '\0' : LowerCp1252(t.substr(0, 1))[0];
  }

  int CountLines(std::size_t from) const {
    return reports::ReportInterpreter::CountLinesForRupture(std::string_view(lineText_).substr(from), Letter(), mark_);
  }

  void Dispatch(const std::string& s, const std::string& original, std::size_t i, std::size_t length) {
    ReportFieldTable& fields = owner_.ReportFields();
    if (s == "fit") {
      forced_ = true;
      lineText_.erase(i, length);
    } else if (s == "itd") {
      if (i > 0) {
        Segment(lineText_.substr(0, i));
        lineText_.erase(0, i);
        return;
      }
      std::size_t end = lineText_.find("[itf]", length);
      if (end == std::string::npos) end = lineText_.find("[ITF]", length);
      if (end == std::string::npos) {
        Replace(i, length, "?" + original + "?");
        return;
      }
      mark_ = firstIteration_ && renderedPages_ != 1 ? '@' : '\xFF';
      if (endOfData_ || iterationStopped_) {
        lineText_.erase(0, end + 5);
        return;
      }
      const int n = CountLines(length);
      if (!firstIteration_ && !forced_ && linesLeft_ < n) {
        lineText_.erase(0, end + 5);
        return;
      }
      lineText_.insert(0, lineText_.substr(length, end - length));
      firstIteration_ = false;
    } else if (s == "re-itd") {
      std::size_t at = lineText_.find("[itd]");
      if (at == std::string::npos) at = lineText_.find("[ITD]");
      if (at == std::string::npos) {
        Replace(i, length, "?" + original + "?");
        return;
      }
      lineText_.erase(0, at);
    } else if (s == "finiteration") {
      iterationStopped_ = true;
      lineText_.erase(i, length);
    } else if (s == "tt-avant") {
      if (repeatCounter_ == repeatCount_) owner_.ComputeLine();
      lineText_.erase(i, length);
    } else if (s == "tt-suivant") {
      if (repeatCounter_ != 0) --repeatCounter_;
      if (repeatCounter_ == 0) {
        if (owner_.NextRecord()) {
          owner_.ClassifyLine();
        } else {
          endOfData_ = true;
        }
        repeatCounter_ = repeatCount_;
      }
      lineText_.erase(i, length);
    } else if (s.size() > 5 && (reports::StartsWith(s, "rupt-") || reports::StartsWith(s, "rupt!"))) {
      const std::string letters = s.substr(5);
      const char l = Letter();
      const bool occurs = (l != '\0' && letters.find(l) != std::string::npos) || letters.find(mark_) != std::string::npos;
      Block(i, length, '{', '}', s[4] == '-' ? occurs : !occurs);
    } else if (reports::StartsWith(s, "si@") || reports::StartsWith(s, "si!@")) {
      const bool blank = s[2] == '!';
      const int n = fields.FindField(UpperCp1252(s.substr(blank ? 4 : 3)).c_str());
      if (n < 0) {
        lineText_.erase(i, length);
        return;
      }
      const bool empty = IsBlank(fields.Value(n));
      Block(i, length, '\xAB', '\xBB', blank ? empty : !empty);
    } else if (reports::StartsWith(s, "nbl")) {
      char b[16];
      std::snprintf(b, sizeof b, "%5ld", owner_.ListLineCount());
      Replace(i, length, b);
    } else if (!s.empty() && s[0] == '@') {
      // [@NAME], [@NAME,pp], [@NAME,pp,nn]
      std::vector<std::string> parts;
      std::size_t start = 1;
      for (;;) {
        const std::size_t comma = s.find(',', start);
        parts.push_back(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      const int n = fields.FindField(UpperCp1252(TrimmedRight(parts[0])).c_str());
      if (n < 0) {
        Replace(i, length, "?" + original + "?");
        return;
      }
      int pp = parts.size() > 1 ? reports::LeadingInt(parts[1]) : 1;
      if (pp < 1) pp = 1;
      const int nn = parts.size() > 2 ? reports::LeadingInt(parts[2]) : 0;
      std::string text;
      for (int k = n; k < fields.FieldCount(); ++k) text += fields.Value(k);
      text = text.size() >= static_cast<std::size_t>(pp) ? text.substr(static_cast<std::size_t>(pp - 1)) : "";
      if (nn > 0) {
        text.resize(static_cast<std::size_t>(nn), ' ');
      } else {
        const std::string& own = fields.Value(n);
        text = own.size() >= static_cast<std::size_t>(pp) ? own.substr(static_cast<std::size_t>(pp - 1)) : "";
      }
      Replace(i, length, reports::Escaped(text, reports::InValueStatements::kKeep));
    } else if (reports::StartsWith(s, "si:")) {
      // [Si:@NAME='x',then,else] with "=" or "#" only.
      const std::string body = s.substr(3);
      const std::size_t first = body.find(','), last = body.rfind(',');
      const std::string condition = body.substr(0, first);
      const std::size_t op = condition.find_first_of("=#");
      const int n = fields.FindField(UpperCp1252(condition.substr(1, op - 1)).c_str());
      std::string wanted = condition.substr(op + 2, condition.size() - op - 3);
      const bool equal = LowerCp1252(Trimmed(fields.Value(n))) == wanted;
      const bool result = condition[op] == '=' ? equal : !equal;
      const std::string thenText = last == first ? body.substr(first + 1) : body.substr(first + 1, last - first - 1);
      const std::string elseText = last == first ? "" : body.substr(last + 1);
      Replace(i, length, result ? thenText : elseText);
    } else if (reports::StartsWith(s, "s:")) {
      Replace(i, length, std::string(static_cast<std::size_t>(std::max(0, std::min(255, reports::LeadingInt(s.substr(2))))), ' '));
    } else if (reports::StartsWith(s, "-:")) {
      Replace(i, length, std::string(static_cast<std::size_t>(std::max(0, std::min(255, reports::LeadingInt(s.substr(2))))), '-'));
    } else if (s == "crlf") {
      Replace(i, length, "\r\n");
    } else if (s == "finpage") {
      lineText_.erase(i);
    } else if (s == "fin") {
      Replace(i, length, endOfData_ ? "*^Fin^*" : ".../...");
    } else if (reports::StartsWith(s, "page")) {
      char b[16];
      std::snprintf(b, sizeof b, "%4d", renderedPages_);
      Replace(i, length, b);
    } else {
      Replace(i, length, "?" + original + "?");
    }
  }

  std::string template_;
  reports::FixtureReportOwner& owner_;
  int linesPerPage_;
  std::string lineText_;
  int renderedPages_ = 0;
  int linesLeft_ = 0;
  bool endOfData_ = false, iterationStopped_ = false, firstIteration_ = true, forced_ = false, lineOpen_ = false;
  char mark_ = '@';
  int repeatCount_ = 0, repeatCounter_ = 0;
  std::vector<std::string> pageLines_;
  int lineIndex_ = 0, column_ = 0;
  long statements_ = 0;
};

// Pieces of templates: what a layout author writes, and what goes wrong.
const char* kWords[] = {"Total", "page", "Compte", "D\xE9" "bit", "x", "a^b", "]", "[", "[]", "{", "}",
                        "\xAB", "\xBB", "=", "@", "[zz]", "[ ]", "[s:3]", "[-:4]", "[CrLf]", "[Fin]",
                        "[NbL]", "[@nom]", "[@nom,2]", "[@nom,3,5]", "[@code,2,20]", "[@montant]",
                        "[@[s:0]nom]", "[[@nom]]", "[Page]", "[Rupt-a]{(a)}", "[Rupt!a]{(non a)}",
                        "[Rupt-bc]{[@code]}", "[Si:@code='b2',oui,non]", "[Si@nom]\xAB" "plein\xBB",
                        "[Si!@nom]\xAB" "vide\xBB", "[alias]", "[boucle]", "[FinIteration]", "[x=y"};

std::string Piece(std::mt19937& rng) {
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kWords) - 1);
  std::uniform_int_distribution<int> sep(0, 3);
  std::string out = kWords[pick(rng)];
  const int s = sep(rng);
  out += s == 0 ? "" : s == 1 ? " " : s == 2 ? "  " : "\r\n";
  return out;
}

std::string GeneratedTemplate(std::mt19937& rng) {
  std::uniform_int_distribution<int> count(0, 6);
  std::uniform_int_distribution<int> coin(0, 3);
  std::string t;
  for (int k = count(rng); k > 0; --k) t += Piece(rng);
  t += "\r\n[ITD][TT-Avant]";
  for (int k = 1 + count(rng); k > 0; --k) t += Piece(rng);
  if (coin(rng) == 0) t += "[CrLf]";
  t += "[TT-Suivant]\r\n[ITF]";
  for (int k = count(rng); k > 0; --k) t += Piece(rng);
  t += "\r\n[FinPage]";
  if (coin(rng) != 0) t += "[alias=fin]";
  if (coin(rng) == 0) t += "[boucle=boucle]";
  return t;
}

reports::ReportFixture GeneratedData(std::mt19937& rng) {
  std::uniform_int_distribution<int> count(0, 25);
  std::uniform_int_distribution<int> letter(0, 2);
  std::uniform_int_distribution<int> word(0, 4);
  const char* names[] = {"", "Dupont", "la [Soci\xE9t\xE9]", "  blancs  ", "b2"};
  std::vector<reports::FixtureRecord> records;
  for (int k = count(rng); k >= 0; --k) {
    reports::FixtureRecord r;
    r.letter = static_cast<char>('A' + letter(rng));
    r.values = {{"NOM", names[word(rng)]}, {"CODE", names[word(rng)]}, {"MONTANT", std::to_string(word(rng) * 1234.5)}};
    records.push_back(r);
  }
  return MakeFixture({"NOM       C120", "CODE      C040", "MONTANT   M142"}, std::move(records));
}

class OracleTest : public RuntimeTest {};

}  // namespace

TEST_F(OracleTest, TheEngineAgreesWithThePlainInterpreterOnGeneratedTemplates) {
  std::mt19937 rng(20260101);
  int multiPage = 0;
  for (int n = 0; n < 400; ++n) {
    const std::string body = GeneratedTemplate(rng);
    const reports::ReportFixture data = GeneratedData(rng);
    const std::string tmpl = "[Export][ExportSansDelimiteur]" + body;
    const std::string folder = File("o" + std::to_string(n)) + "/";
    std::filesystem::create_directories(folder);
    SetDossier(folder, "ORA");

    reports::ReportExportFile file;
    EngineRun run(tmpl, data, &file);
    run.setup.pageHeight = 9 * kLineHeight;  // 8 lines a page
    run.ToEnd(40);
    file.Close(run.context.exportSettings);

    reports::FixtureReportOwner oracleOwner(data);
    oracleOwner.PrepareReport();
    OracleInterpreter oracle(body, oracleOwner, run.context.linesPerPage);
    oracle.Run(40);

    SCOPED_TRACE("template " + std::to_string(n) + ": " + Bytes(tmpl));
    ASSERT_EQ(run.context.store.PageCount(), static_cast<int>(oracle.pages.size()));
    for (int p = 1; p <= run.context.store.PageCount(); ++p) {
      ASSERT_EQ(TextOf(run.Page(p), kColumn, kLineHeight), oracle.pages[static_cast<std::size_t>(p - 1)]) << "page " << p;
    }
    ASSERT_EQ(Bytes(ReadFileBytes(file.Path())), Bytes(oracle.exportText));
    multiPage += run.context.store.PageCount() > 1 ? 1 : 0;
  }
  // The generated runs page on: most take several pages.
  EXPECT_GT(multiPage, 200);
}
