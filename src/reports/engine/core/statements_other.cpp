// The last statements of the dispatch: graphics and frames, list options, INI values, the
// export and its HTML form, page and device read-outs, layout attributes met during a run, and
// the field writes of the raw table browser.
#include <cstdio>

#include "reports/engine/core/interpreter_impl.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace reports {

namespace {

// The title of an export file (%s: the program's name, the document, the dossier).
constexpr int kExportTitle = 32810;
constexpr int kProgramName = 0;

std::string Number6(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%6d", value);
  return buffer;
}

}  // namespace

void ReportInterpreter::Impl::CreateExport() {
  ReportExportFile& file = *c.exportFile;
  if (file.Handle() != 0 || owner.WritesItsOwnExport()) return;
  std::string name = owner.ExportFileNameForRun();
  // The extension as written, its padding blank cut ([Export:ab] gives ".ab").
  if (IsBlank(name)) {
    const std::string extension = TrimmedRight(c.exportSettings.extension);
    name = env.ExportFileName(extension, c.exportSettings.root);
    const std::string suffix = owner.ExportNameSuffix();
    if (!suffix.empty()) {
      const std::size_t dot = name.rfind('.');
      const std::size_t slash = name.rfind('/');
      const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
      name.insert(hasExtension ? dot : name.size(), suffix);
    }
  }
  const std::string title =
      FillPlaceholders(LoadStr(kExportTitle), {LoadStr(kProgramName), c.documentTitle, Trimmed(env.DossierCode())});
  if (!file.Create(name, c.exportSettings, title, c.columnsPerLine)) return;
  owner.ExportBegins();
  // An amount already met that did not read: the file is given up at once, the refusal said at
  // the run's last page.
  RefuseExportOverUnreadAmounts();
}

bool ReportInterpreter::Impl::TryOthers() {
  const std::string& s = statement;
  ExportSettings& e = c.exportSettings;
  // ---- graphics
  if (s.size() >= 2 && s[1] == ':') {
    switch (s[0]) {
      case 'l': return Line();
      case 'r':
      case 't':
      case 'g':
      case 'n': return Rectangle();
      case 'b':
      case 'i': return Image();
      default: break;
    }
  }
  if (s == "aveccadres" || s == "sanscadres") {
    c.framesOn = s[0] == 'a';
    return true;
  }
  if (StartsWith(s, "ept:")) {
    c.penWidth = LeadingInt(std::string_view(s).substr(4));
    AppendRecord('K', c.penWidth, 0, 0, 0, "");
    return true;
  }
  if (s == "transparent" || s == "opaque") {
    AppendRecord(s[0] == 't' ? 'C' : 'D', 0, 0, 0, 0, "");
    return true;
  }
  // ---- list options and layout attributes
  if (s == "aveclignestexte" || s == "sanslignestexte") {
    owner.SetTextLines(s[0] == 'a');
    return true;
  }
  if (s == "avecmtsnuls" || s == "sansmtsnuls") {
    c.noZeroAmounts = s[0] == 's';
    return true;
  }
  if (StartsWith(s, "modeliste=")) {
    if (s.size() > 10) owner.SetListMode(s[10]);
    return true;
  }
  if (StartsWith(s, "typeliste=")) {
    // Read before the run as a layout attribute; during the run it sets the owner's list type.
    if (s.size() > 10) owner.SetListType(UpperCp1252(s.substr(10, 1))[0]);
    return true;
  }
  if (StartsWith(s, "typeliste")) {
    Replace(Escaped(owner.ListTypeText(), InValueStatements::kDrop));
    return true;
  }
  if (StartsWith(s, "orientation=") || StartsWith(s, "policeinitiale=") || StartsWith(s, "modecpi=") ||
      StartsWith(s, "cadrage=")) {
    return true;
  }
  if (StartsWith(s, "margelib23=")) {
    owner.SetMargeLib23(LeadingInt(std::string_view(s).substr(11)));
    return true;
  }
  if (s == "curseur") {
    env.StepCursor();
    return true;
  }
  if (s == "absolu") return true;
  // ---- INI values
  if (StartsWith(s, "ini:")) {
    const std::string key = Trimmed(std::string_view(s).substr(4));
    std::string value = env.ProgramIni(key);
    if (value.size() > 64) value.resize(64);
    if (IsBlank(value)) {
      // The built-in fixed-pitch fonts: "key=font".
      for (int id = kFixedFontFirst; id <= kFixedFontLast; ++id) {
        const std::string entry = LowerCp1252(LoadStr(id));
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos && entry.substr(0, eq) == key) {
          value = std::string(LoadStr(id)).substr(eq + 1);
          break;
        }
      }
    }
    if (IsBlank(value)) return true;
    Insert(value[0] == '[' ? value : "[P:" + value + "]");
    return true;
  }
  if (StartsWith(s, "inidossier:")) {
    const std::string rest = s.substr(11);
    const std::size_t colon = rest.find(':');
    const std::string section = rest.substr(0, colon);
    std::string key = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    std::string def;
    const std::size_t comma = key.find(',');
    if (comma != std::string::npos) {
      def = key.substr(comma + 1);
      key.resize(comma);
    }
    Replace(Escaped(env.DossierIni(Trimmed(section), Trimmed(key), def), InValueStatements::kDrop));
    return true;
  }
  // ---- export
  if (StartsWith(s, "exportracine:")) {
    if (s.size() != 15) return false;
    e.root = s.substr(13, 2);
    return true;
  }
  if (StartsWith(s, "export:")) {
    const std::string rest = s.substr(7);
    if (!IsBlank(rest)) {
      std::string ext = "." + rest.substr(0, 3);
      ext.resize(4, ' ');
      e.extension = ext;
      if (rest.substr(0, 3) == "csv") {
        e.csv = true;
        e.delimiter = ";  ";
      }
    }
    return true;
  }
  if (s == "export") {
    CreateExport();
    return true;
  }
  if (s == "exportsansdelimiteur" && !e.html) {
    e.noDelimiter = true;
    return true;
  }
  if (s == "exportcrlf" || s == "exportcr" || s == "exportlf" || s == "exportsanscrlf") {
    e.lineEnd = s == "exportcrlf" ? '1' : s == "exportcr" ? '2' : s == "exportlf" ? '3' : '4';
    return true;
  }
  if (s == "html") {
    e.extension = ".htm";
    e.html = true;
    e.htmlStyle = 0;
    e.htmlFontSize = '0';
    e.htmlFontAttribute = ' ';
    e.htmlColumnWidth = 0;
    return true;
  }
  if (e.html) {
    if (s.size() == 5 && StartsWith(s, "html") && s[4] >= '0' && s[4] <= '4') {
      e.htmlStyle = s[4] - '0';
      return true;
    }
    if (StartsWith(s, "police")) {
      if (s.size() > 6 && s[6] >= '0' && s[6] <= '9') {
        e.htmlFontSize = s[6];
        e.htmlFontAttribute = s.size() > 7 ? s[7] : ' ';
      } else {
        e.htmlFontSize = '0';
        e.htmlFontAttribute = '0';
      }
      return true;
    }
    if (StartsWith(s, "largeur:")) {
      const int n = LeadingInt(std::string_view(s).substr(8));
      e.htmlColumnWidth = c.columnsPerLine > 0 ? n * 100 / c.columnsPerLine : 0;
      return true;
    }
    if (StartsWith(s, "table")) {
      c.exportFile->NewHtmlTable(s.size() > 5 ? s[5] : ' ', e);
      return true;
    }
  }
  // ---- page and device read-outs
  if (s == "heure") {
    Replace(env.LocalTime());
    return true;
  }
  if (s == "p.cx" || s == "px") {
    Replace(Number6(c.pageWidth));
    return true;
  }
  if (s == "p.cy" || s == "py") {
    Replace(Number6(c.pageHeight));
    return true;
  }
  if (s == "ox" || s == "oy") {
    Replace(Number6(0));
    return true;
  }
  if (s == "ddev" || s == "dout" || s == "ddrv") {
    Replace(Escaped(env.PrinterName(s == "ddev" ? 0 : s == "dout" ? 1 : 2), InValueStatements::kDrop));
    return true;
  }
  // ---- field writes (raw table previews only)
  if (c.allowFieldUpdates && (StartsWith(s, "coefficient%:") || StartsWith(s, "%:") || StartsWith(s, "raz:") ||
                              StartsWith(s, "champ:") || StartsWith(s, "copie:"))) {
    if (!FieldWrite()) Unrecognised();
    return true;
  }
  return false;
}

}  // namespace reports
