// Loading a report's template before a run: the template of the report code from a report
// definition set, its [IE:code] imports merged in, and its layout attributes read.
//
// Layout attributes are header directives in the template, French-named; the loader reads
// them and the interpreter deletes them where it meets them as statements:
//   [TypeListe=x]              the layout's list type (the choice dialogs show it too)
//   [Orientation=Paysage]      landscape page; [Orientation=Portrait] (or none) portrait
//   [PoliceInitiale=n]         the numbered font (1-4) the report starts with
//   [ModeCpi=O]                characters-per-inch mode (fixed-pitch fonts)
//   [Cadrage=C:nnn] / [Cadrage=D:nnn]  a block of nnn columns centred / right-aligned: the
//                              loader puts [C:nnn] / [D:nnn] at the head of the template
#pragma once

#include <map>
#include <string>
#include <string_view>

class Table;

namespace reports {

// Where templates come from, by report code (at most 10 characters, compared without case and
// trailing blanks).
class TemplateSource {
 public:
  virtual ~TemplateSource() = default;
  // True with the template text when the code names a live report definition.
  virtual bool FindTemplate(const std::string& code, std::string& text) = 0;
};

// The report-definition set `letter` ("CE" + letter + "ETATS", tag CE0CODE, template in memo
// field 11) through a table object (TableCE0 for the preview, TableCE1 for printing). The
// table is opened when closed; with `closeAfter` it is closed again after each search.
class ReportDefinitionTemplates : public TemplateSource {
 public:
  ReportDefinitionTemplates(Table& table, char letter, bool closeAfter = false)
      : table_(table), letter_(letter), closeAfter_(closeAfter) {}
  bool FindTemplate(const std::string& code, std::string& text) override;
  // After a FindTemplate that failed: the file of the set that could not be read (the data
  // file, or the memo file holding the template), empty when the code is simply not there.
  const std::string& DamagedFile() const { return damaged_; }

 private:
  Table& table_;
  char letter_;
  bool closeAfter_;
  std::string damaged_;
};

// Templates held in memory (tests, tools).
class MapTemplateSource : public TemplateSource {
 public:
  void Add(const std::string& code, const std::string& text);
  bool FindTemplate(const std::string& code, std::string& text) override;

 private:
  std::map<std::string, std::string> templates_;
};

// Report code as a key: upper-cased, trailing blanks cut, at most 10 characters.
std::string ReportCodeKey(std::string_view code);

inline constexpr std::size_t kTemplateLimit = 32768;

struct LayoutAttributes {
  std::string listType;        // [TypeListe=] value (upper-cased), "" when none
  bool landscape = false;
  char initialFont = '1';      // '1'-'4'
  bool cpiMode = false;
  char framing = ' ';          // 'C' centred, 'D' right, ' ' none
  int framingWidth = 0;
};

// Reads the header directives of a template (case ignored in their names and values).
LayoutAttributes ReadLayoutAttributes(std::string_view templateText);
// The [TypeListe=] value of a template ("" when none): the choice dialogs list it.
std::string ListTypeOfTemplate(std::string_view templateText);

// Replaces each [IE:code] and [IE:code|nnn] (code followed by the trimmed value of dossier
// constant nnn) by the template it names, imports of imports included (at most 8 deep), while
// the text stays within kTemplateLimit characters; an import not found or too large is left
// as it stands (the interpreter then shows it as an unrecognised statement).
std::string MergeImports(TemplateSource& source, std::string text);

struct LoadedTemplate {
  std::string text;
  LayoutAttributes layout;
  std::string refusal;  // why a template found is not run ("" when it is)
};
// The template of a report code with its imports merged, its attributes read, and the framing
// statement put at its head. False when the code names no template, or (with `refusal` set) when
// the text passes kTemplateLimit characters: cut there, it would run without its end (its
// records and their export lines).
bool LoadTemplate(TemplateSource& source, const std::string& code, LoadedTemplate& out);
// The same for a template text given whole.
bool PrepareTemplate(TemplateSource& source, std::string text, LoadedTemplate& out);

}  // namespace reports
