// Texts shown to users come from the string table (src/resources/strings/*.txt, read with LoadStr), never from
// literals in the code. This check reads every .cpp under src/ but src/platform (which may not use the table) and
// lists each string literal, outside comments, that reads like French words: a cp1252 escape or a UTF-8 letter past
// ASCII, or two words of two letters or more with a space between them. Adjacent literals ("termin\xE9" "e") count
// as one. Markup ("<tag ...>") is not text. The few keys that look like words (INI keys, filter expressions, dialog
// scripts the program parses, names) are listed below with their file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A literal (or adjacent literals) as its bytes, with the line it starts on.
struct Literal {
  std::string bytes;
  int line = 0;
};

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsWordChar(char c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '_'; }

// The bytes an ordinary literal's body stands for (escapes resolved).
std::string Unescape(const std::string& body) {
  std::string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 >= body.size()) {
      out += body[i];
      continue;
    }
    const char n = body[++i];
    if (n == 'x') {
      unsigned value = 0;
      while (i + 1 < body.size() && IsHex(body[i + 1])) value = value * 16 + std::stoul(std::string(1, body[++i]), nullptr, 16);
      out += static_cast<char>(value & 0xFF);
    } else if (n >= '0' && n <= '7') {
      unsigned value = static_cast<unsigned>(n - '0');
      for (int k = 0; k < 2 && i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '7'; ++k)
        value = value * 8 + static_cast<unsigned>(body[++i] - '0');
      out += static_cast<char>(value & 0xFF);
    } else {
      out += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
    }
  }
  return out;
}

// Every string literal of a C++ source outside comments and character literals; literals separated only by
// white space are joined.
std::vector<Literal> Literals(const std::string& text) {
  std::vector<Literal> found;
  std::size_t lastEnd = std::string::npos;
  int line = 1;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\n') {
      ++line, ++i;
    } else if (text.compare(i, 2, "//") == 0) {
      i = text.find('\n', i);
      if (i == std::string::npos) i = text.size();
    } else if (text.compare(i, 2, "/*") == 0) {
      const std::size_t end = std::min(text.size(), text.find("*/", i + 2) + 2);
      for (std::size_t k = i; k < end; ++k) line += text[k] == '\n';
      i = end;
    } else if (c == '\'' && !(i > 0 && IsWordChar(text[i - 1]))) {  // a character literal, not a digit separator
      for (++i; i < text.size() && text[i] != '\'' && text[i] != '\n'; ++i)
        if (text[i] == '\\') ++i;
      ++i;
    } else if (c == '"') {
      const bool raw = i > 0 && text[i - 1] == 'R';
      const int startLine = line;
      std::string bytes;
      std::size_t end;
      if (raw) {
        const std::size_t open = text.find('(', i);
        const std::string close = ")" + text.substr(i + 1, open - i - 1) + "\"";
        end = text.find(close, open);
        bytes = text.substr(open + 1, end - open - 1);
        end += close.size();
      } else {
        std::size_t k = i + 1;
        for (; k < text.size() && text[k] != '"' && text[k] != '\n'; ++k)
          if (text[k] == '\\') ++k;
        bytes = Unescape(text.substr(i + 1, k - i - 1));
        end = k + 1;
      }
      const bool joined = lastEnd != std::string::npos && !raw &&
                          text.find_first_not_of(" \t\r\n", lastEnd) == i && !found.empty();
      if (joined) found.back().bytes += bytes;
      else found.push_back({bytes, startLine});
      for (std::size_t k = i; k < end; ++k) line += text[k] == '\n';
      i = end;
      lastEnd = end;
    } else {
      ++i;
    }
  }
  return found;
}

// True when a literal's bytes read like words a user reads.
bool LooksLikeUserText(const std::string& bytes) {
  const std::size_t first = bytes.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && bytes[first] == '<') return false;  // markup
  for (const char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  // Two words of two letters or more with at least one space between them.
  std::size_t i = 0;
  bool afterWord = false, spaced = false;
  while (i < bytes.size()) {
    if (IsLetter(bytes[i])) {
      std::size_t j = i;
      while (j < bytes.size() && IsLetter(bytes[j])) ++j;
      if (j - i >= 2) {  // a single letter ("F2", "N (Non)") neither counts nor separates
        if (afterWord && spaced) return true;
        afterWord = true;
        spaced = false;
      }
      i = j;
    } else {
      if (bytes[i] == ' ') spaced = true;
      if (bytes[i] == '\\' || bytes[i] == '\n') afterWord = false;
      ++i;
    }
  }
  return false;
}

// Literals that read like words but are keys, by file (relative to src/). An empty text stands for every literal of
// the file: the build's own tool and the start-up diagnostics written in English on the standard error.
const std::set<std::pair<std::string, std::string>>& Keys() {
  static const std::set<std::pair<std::string, std::string>> keys{
      {"resources/embed_strings.cpp", ""},  // the build step embedding the table: messages to the developer
      {"shell/seeding.cpp", ""},            // start-up diagnostics on the standard error
      {"data/table_structures.cpp", "BCLE='Z' .AND. BVENT#'  '"},  // index filter expressions
      {"data/table_structures.cpp", "TTVA#' ' .OR. SUBS(TCODE,1,4)='4456'"},
      {"runtime/inifiles.cpp", "Nuv-Merlon ZEL"},  // the program INI's section when the table has none
      {"shell/application.cpp", "Nuv-MERLON ZEL+"},  // the application's name
      {"shell/command_table.cpp", "CMDIBrowse, TWEtaBroLedger, TWEtaModLedger, TWEtaBroBalances, "
                                  "TWEtaBroBilanEdition, TWEtaBroRelances, TWEtaModRelances, VatReturnWindow"},
      {"shell/command_table.cpp", "TWFichiersC10, ChartList"},  // the lists that copy codes between dossiers
      {"shell/command_table.cpp", "MDI client window commands"},  // a handler's name in the command listing
      // Program INI keys.
      {"shell/startup.cpp", "Fen\xEAtres-Maxi"},
      {"shell/startup.cpp", "Caract\xE8reAide"},
      {"shell/startup.cpp", "Cadres-Gris\xE9s"},
      {"shell/startup.cpp", "Fmt_R\xE9" "el_Visu"},
      {"utilities/core/settings_table.cpp", "Fen\xEAtres-Maxi"},
      {"utilities/core/settings_table.cpp", "Caract\xE8reAide"},
      {"utilities/core/settings_table.cpp", "Cadres-Gris\xE9s"},
      {"utilities/core/settings_table.cpp", "Fmt_R\xE9" "el_Visu"},
      {"utilities/rights_dialog.cpp", "\nFONT 8 \"MS Sans Serif\"\nSIZE "},  // dialog script
      // The header line of a report's own variables, found again when the report text is read back.
      {"masterdata/core/record_text_keywords.cpp", "// Variables et Mots-Cl\xE9s sp\xE9" "cifiques \xE0 cet Etat"},
      // The model compiler run by the build tool and the tests: messages to the developer.
      {"reports/balances/core/balance_sheet_compile.cpp", ""},
      // The imports' lines in the dossier's log: the next import reads them back to find a run stopped half-way,
      // so their words are a record format that must not change with the texts.
      {"processing/core/ofx_import.cpp", "IMPORTATION RELEVE OFX - "},
      {"processing/core/ofx_import.cpp", "IMPORTATION RELEVE OFX - Ok - "},
      {"processing/core/ofx_import.cpp", "D\xE9" "but - "},
      {"processing/core/ofx_import.cpp", " pi\xE8" "ces "},
      {"processing/core/ofx_import.cpp", " \xE0 "},
      {"processing/core/ofx_import.cpp", " import\xE9" "es, "},
      {"processing/core/ofx_import.cpp", " d\xE9j\xE0 import\xE9" "es - journal "},
      {"processing/core/ascii_import.cpp", " - D\xE9" "but - "},
      // A restore's lines, which the next import reads as a file no longer imported, or again.
      {"processing/core/ascii_import.cpp", " - Annul\xE9 par la restauration - "},
      {"processing/core/ascii_import.cpp", " - R\xE9tabli par la restauration"},
      {"processing/core/ascii_import.cpp", " pi\xE8" "ce "},
      {"processing/core/ascii_import.cpp", " pi\xE8" "ces n\xB0 "},
      // Bytes and names of formats: the byte-order mark, the encoding's name, the euro sign typed as a currency.
      {"processing/core/ascii_import.cpp", "\xEF\xBB\xBF"},
      {"processing/core/ascii_import.cpp", "UTF-8 (BOM)"},
      {"processing/core/ascii_import.cpp", "\x80"},
      {"reports/engine/core/report_texts.cpp", "\xEF\xBB\xBF"},
      // The CEGID file's fixed records, as the receiving program reads them.
      {"reports/balances/core/cegid_export.cpp", "09N1200000000NN09P06                    ON A"},
      {"reports/balances/core/cegid_export.cpp", "08411000000090000000009999990000CCOLLECTIF CLIENTS"},
      {"reports/balances/core/cegid_export.cpp", "084110000000C000000000CZZZZZZZ  CCOLLECTIF CLIENTS"},
      {"reports/balances/core/cegid_export.cpp", "08401000000000000000000999990000FCOLLECTIF FOURNISSEURS"},
      {"reports/balances/core/cegid_export.cpp", "084010000000F000000000FZZZZZZZ  FCOLLECTIF FOURNISSEURS"},
      // Font names and the markup of the HTML pages and exports.
      {"reports/engine/core/barcodes.cpp", "Courier New"},
      {"reports/engine/core/page_html.cpp", "Courier New"},
      {"reports/engine/core/page_html.cpp", "border:1px solid #000000;"},
      {"reports/engine/core/page_html.cpp", "border-left:1px solid #000000;"},
      {"reports/engine/core/page_html.cpp", "border-top:1px solid #000000;"},
      {"reports/engine/core/report_export.cpp", "' cellspacing='0' cellpadding='5'"},
      {"reports/engine/core/report_export.cpp", " cellspacing='0' cellpadding='5' bordercolorlight='"},
      {"reports/engine/core/report_export.cpp", "' bordercolor='#ffffff' bgcolor='"},
      {"reports/engine/core/report_interpreter.cpp", "Courier New,008/4A0"},
      {"reports/engine/core/report_interpreter.cpp", "Courier New,010/4A0"},
      {"reports/engine/core/report_interpreter.cpp", "Courier New,012/7A0"},
      {"reports/engine/core/report_interpreter.cpp", "Courier New,010/7A0"},
  };
  return keys;
}

// A literal's start as written in a source: cp1252 bytes and line breaks as escapes.
std::string Shown(const std::string& bytes) {
  std::string out;
  char escape[8];
  for (const char c : bytes.substr(0, 60)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte >= 0x80) {
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

// "file:line: text" for each literal of src/ that reads like a text shown to users.
std::vector<std::string> UserTextLiterals(const fs::path& src) {
  std::vector<std::string> listed;
  for (auto it = fs::recursive_directory_iterator(src); it != fs::recursive_directory_iterator(); ++it) {
    const std::string relative = fs::relative(it->path(), src).generic_string();
    if (it->is_directory() && relative == "platform") {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file() || it->path().extension() != ".cpp") continue;
    if (Keys().count({relative, ""}) != 0) continue;
    std::ifstream in(it->path(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (const Literal& literal : Literals(text))
      if (LooksLikeUserText(literal.bytes) && Keys().count({relative, literal.bytes}) == 0)
        listed.push_back("src/" + relative + ":" + std::to_string(literal.line) + ": " + Shown(literal.bytes));
  }
  std::sort(listed.begin(), listed.end());
  return listed;
}

TEST(UserTextsTest, TheRuleTellsTextsFromKeys) {
  struct Case {
    const char* source;
    std::vector<std::string> texts;  // the literals the rule lists
  };
  const std::vector<Case> cases{
      {R"x(f("Le dossier ");)x", {"Le dossier "}},
      {R"x(f("termin\xE9");)x", {"termin\xE9"}},
      {R"x(f("Cr\xE9" "ation du dossier ");)x", {"Cr\xE9" "ation du dossier "}},  // joined, one text
      {"f(\"arr\xC3\xAAt\xC3\xA9\");", {"arr\xC3\xAAt\xC3\xA9"}},                 // UTF-8 letters
      {R"x(f("O (Oui) ou N (Non)");)x", {"O (Oui) ou N (Non)"}},
      {R"x(f("Recherche F2 et F3");)x", {"Recherche F2 et F3"}},
      {R"x(f("c10.dbf"); g("CpteArrondiDB"); h("%02d/%02d"); k("a b");)x", {}},  // names, keys, formats
      {R"x(f("<table width='100%'>");)x", {}},                                    // markup
      {"// \"Le dossier \" in a comment\n/* \"Le dossier\" */ f('\"');", {}},
      {R"x(int n = 1'000; f("x"); g("Mot de passe");)x", {"Mot de passe"}},      // digit separator
      {"f(R\"(Le \"dossier\" ouvert)\");", {"Le \"dossier\" ouvert"}},         // raw literal
  };
  for (const Case& c : cases) {
    std::vector<std::string> texts;
    for (const Literal& literal : Literals(c.source))
      if (LooksLikeUserText(literal.bytes)) texts.push_back(literal.bytes);
    EXPECT_EQ(texts, c.texts) << c.source;
  }
  const std::vector<Literal> lines = Literals("f(\"a\");\n/*\n*/\ng(\"b\"\n  \"c\");");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].bytes, "bc");
  EXPECT_EQ(lines[1].line, 4);
}

TEST(UserTextsTest, TextsShownToUsersComeFromTheStringTable) {
  const std::vector<std::string> listed = UserTextLiterals(fs::path(MERLON_SOURCE_DIR) / "src");
  std::string listing;
  for (const std::string& entry : listed) listing += "\n  " + entry;
  EXPECT_TRUE(listed.empty()) << listed.size()
                              << " literals read like texts shown to users; put them in the string table "
                                 "(src/resources/strings) and read them with LoadStr, or list a key above:"
                              << listing;
}

}  // namespace
