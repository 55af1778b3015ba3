#include "template_check.h"

#include <map>

#include "reports/engine/core/report_text.h"
#include "runtime/report_fields.h"
#include "runtime/text.h"

namespace reports {

namespace {

constexpr char kBlockOpen = '\xAB';   // opens a print block
constexpr char kBlockClose = '\xBB';  // closes it

bool Any(std::string_view s, std::initializer_list<const char*> words) {
  for (const char* w : words) {
    if (s == w) return true;
  }
  return false;
}

bool AnyPrefix(std::string_view s, std::initializer_list<const char*> prefixes) {
  for (const char* p : prefixes) {
    if (StartsWith(s, p)) return true;
  }
  return false;
}

bool IsLineTypeStatement(std::string_view s) {
  return s.size() > 5 && AnyPrefix(s, {"rupt-", "rupt!", "rupt<", "rupt>"});
}

bool IsHeaderDirective(std::string_view s) {
  return AnyPrefix(s, {"typeliste=", "orientation=", "policeinitiale=", "modecpi=", "cadrage="});
}

bool IsFieldWrite(std::string_view s) { return AnyPrefix(s, {"coefficient%:", "%:", "raz:", "champ:", "copie:"}); }

// The statement without a leading table prefix ("c20->clib" reads as "->clib").
std::string_view WithoutTable(std::string_view s) {
  for (const char* t : {"c10", "c20", "c30", "c40", "c50", "c60", "c70", "cxx", "ce0", "ce1"}) {
    if (StartsWith(s, t)) return s.substr(3);
  }
  return s;
}

// A variable reference of a statement (after "@", a barcode digit and "#"): its name as the
// template writes it, "" when it reads as an index.
std::string VariableName(std::string_view rest) {
  if (!rest.empty() && rest[0] >= '1' && rest[0] <= '5') rest.remove_prefix(1);
  if (!rest.empty() && rest[0] == '#') rest.remove_prefix(1);
  const std::size_t end = rest.find_first_of(",:");
  return TrimmedRight(rest.substr(0, end));
}

struct Checker {
  const ReportFixture& family;
  std::vector<TemplateProblem> problems;
  std::map<std::string, std::string> aliases;  // key -> statement (lower-cased)
  ReportFieldTable fields;
  bool html = false;
  int line = 1;

  explicit Checker(const ReportFixture& f) : family(f) {
    fields.SetFieldCount(static_cast<int>(f.definitions.size()));
    fields.InitFieldTable();
    for (std::size_t i = 0; i < f.definitions.size(); ++i) fields.DeclareField(static_cast<int>(i), f.definitions[i].c_str());
  }

  void Problem(const std::string& message) { problems.push_back({line, message}); }

  void Variable(std::string_view statementText, std::string_view reference) {
    const std::string name = VariableName(reference);
    if (name.empty()) {
      Problem("variable sans nom: [" + std::string(statementText) + "]");
      return;
    }
    const int index = LeadingInt(name);
    if (index != 0) {
      if (index < 0 || index >= fields.FieldCount()) Problem("variable hors de la table: [" + std::string(statementText) + "]");
      return;
    }
    if (fields.FindField(UpperCp1252(name).c_str()) < 0)
      Problem("variable inconnue de la famille " + family.family + ": " + UpperCp1252(name));
  }

  void Condition(std::string_view s) {
    const std::string body(s.substr(3));
    const std::size_t first = body.find(',');
    if (first == std::string::npos) {
      Problem("condition sans texte: [" + std::string(s) + "]");
      return;
    }
    const std::string condition = Trimmed(body.substr(0, first));
    const std::size_t op = condition.find_first_of("<>=#$!", 1);
    if (condition.size() < 2 || condition[0] != '@' || op == std::string::npos) {
      Problem("condition illisible: [" + std::string(s) + "]");
      return;
    }
    Variable(s, Trimmed(condition.substr(1, op - 1)));
    // "then" and "else" texts ending in "@" stand for statements.
    const std::size_t last = body.rfind(',');
    for (const std::string& part : {last == first ? body.substr(first + 1) : body.substr(first + 1, last - first - 1),
                                    last == first ? std::string() : body.substr(last + 1)}) {
      std::string text = part;
      if (!text.empty() && text[0] == '!') text.erase(0, 1);
      if (text.size() >= 2 && text.back() == '@') Statement(text.substr(0, text.size() - 1));
    }
  }

  // One statement as the interpreter reads it (trimmed, lower-cased).
  void Statement(std::string s, int depth = 0) {
    s = LowerCp1252(Trimmed(s));
    if (s.empty()) return;
    auto alias = aliases.find(s);
    if (alias != aliases.end()) {
      if (depth < 32) Statement(alias->second, depth + 1);
      else Problem("alias sans fin: [" + s + "]");
      return;
    }
    if (s == "html") html = true;
    if (!IsKnownStatement(s, html)) {
      Problem(IsFieldWrite(s) ? "instruction de la seule consultation des fichiers: [" + s + "]"
                              : "instruction inconnue: [" + s + "]");
      return;
    }
    const std::string_view t = WithoutTable(s);
    if (!t.empty() && t[0] == '@' && t != "@nbl") {
      Variable(s, t.substr(1));
    } else if (StartsWith(t, "si:")) {
      Condition(t);
    } else if (StartsWith(t, "si!@")) {
      Variable(s, t.substr(4));
    } else if (StartsWith(t, "si@")) {
      Variable(s, t.substr(3));
    } else if (IsLineTypeStatement(t)) {
      const std::string_view letters = t[4] == '-' || t[4] == '!' ? t.substr(5) : t.substr(5, 1);
      for (char ch : letters) {
        if (ch != '@' && family.letters.find(UpperChar(ch)) == std::string::npos)
          Problem(std::string("lettre de rupture que la famille ne donne pas: ") + UpperChar(ch) + " dans [" + s + "]");
      }
    } else if (StartsWith(t, "typeliste=")) {
      const std::string value = UpperCp1252(Trimmed(t.substr(10)));
      if (!FamilyReadsListType(family, value))
        Problem("[TypeListe=" + value + "]: la famille " + family.family + " ne lit pas ce type de liste");
    } else if (StartsWith(t, "orientation=")) {
      if (!Any(t.substr(12), {"paysage", "portrait"})) Problem("orientation inconnue: [" + s + "]");
    } else if (StartsWith(t, "policeinitiale=")) {
      if (!Any(t.substr(15), {"1", "2", "3", "4"})) Problem("police initiale hors de 1 a 4: [" + s + "]");
    } else if (StartsWith(t, "modeliste=")) {
      if (!FamilyReads(family, "modeliste")) Problem("la famille " + family.family + " ne lit pas [ModeListe=]");
    } else if (StartsWith(t, "margelib23=")) {
      if (!FamilyReads(family, "margelib23")) Problem("la famille " + family.family + " ne lit pas [MargeLib23=]");
    } else if (Any(t, {"aveclignestexte", "sanslignestexte"})) {
      if (!FamilyReads(family, "lignestexte")) Problem("la famille " + family.family + " ne lit pas [" + s + "]");
    } else if (AnyPrefix(t, {"bll:", "bll!", "blv:", "blv!"})) {
      if (!FamilyReads(family, "bll")) Problem("la famille " + family.family + " ne r\xE9" "pond pas \xE0" " [" + s + "]");
    }
  }

  // The block that must follow a selection statement at once.
  void Block(std::string_view s, std::string_view rest) {
    const std::string_view t = WithoutTable(s);
    char open = 0, close = 0;
    if (IsLineTypeStatement(t)) {
      open = '{';
      close = '}';
    } else if (AnyPrefix(t, {"sipage=", "sipage#", "si@", "si!@"}) || Any(t, {"si-page1", "si-impr", "si-visu"})) {
      open = kBlockOpen;
      close = kBlockClose;
    } else {
      return;
    }
    if (rest.empty() || rest[0] != open || rest.find(close, 1) == std::string_view::npos)
      Problem(std::string("bloc absent ou non ferm\xE9" " apr\xE8" "s [") + std::string(s) + "]");
  }

  void Run(std::string_view text) {
    // What follows [FinPage] is never printed: it holds remarks and alias definitions.
    const std::string lowered = LowerCp1252(text);
    std::size_t end = lowered.find("[finpage]");
    if (end == std::string::npos) end = text.size();
    ReadAliases(text.substr(end));
    // Directives first: nothing but directives, export set-up and remarks before the last one.
    bool other = false;
    std::size_t i = 0;
    std::vector<std::string> stack;  // statements being read, innermost last
    std::vector<std::size_t> starts;
    for (i = 0; i < end; ++i) {
      const char ch = text[i];
      if (ch == '\n') {
        if (i == 0 || text[i - 1] != '\r') Problem("fin de ligne sans CR (la ligne ne s'imprimerait pas)");
        ++line;
      }
      if (ch == '[') {
        stack.emplace_back();
        starts.push_back(i);
        continue;
      }
      if (ch == ']' && !stack.empty()) {
        std::string raw = stack.back();
        stack.pop_back();
        starts.pop_back();
        const std::string s = LowerCp1252(Trimmed(raw));
        if (IsHeaderDirective(s)) {
          if (other) Problem("directive d'en-t\xEA" "te apr\xE8" "s le d\xE9" "but de l'\xE9" "tat: [" + s + "]");
        } else if (!AnyPrefix(s, {"export", "delimiteur=", "//"}) && s != "html") {
          other = true;
        }
        Inner(raw, text.substr(i + 1, end - i - 1), stack);
        continue;
      }
      if (!stack.empty()) {
        stack.back() += ch;
      } else if (ch != '\r' && ch != '\n' && ch != ' ') {
        other = true;
      }
    }
    if (!stack.empty()) Problem("crochet ouvert sans crochet fermant");
  }

  // A statement read whole, inner statements already replaced: checked, then a neutral text
  // stands for its result in the statement around it.
  void Inner(const std::string& raw, std::string_view rest, std::vector<std::string>& stack) {
    const std::string s = LowerCp1252(Trimmed(raw));
    Statement(raw);
    Block(s, rest);
    if (!stack.empty()) stack.back() += "0";
  }

  void ReadAliases(std::string_view tail) {
    std::size_t at = 0;
    while ((at = tail.find('[', at)) != std::string_view::npos) {
      const std::size_t close = tail.find(']', at);
      if (close == std::string_view::npos) break;
      const std::string body(tail.substr(at + 1, close - at - 1));
      const std::size_t eq = body.find('=');
      if (eq != std::string::npos && eq > 0 && body.find('[') == std::string::npos)
        aliases[LowerCp1252(Trimmed(body.substr(0, eq)))] = LowerCp1252(Trimmed(body.substr(eq + 1)));
      at = close + 1;
    }
  }
};

}  // namespace

bool IsKnownStatement(std::string_view s, bool htmlMode) {
  if (s.empty()) return true;
  // Tables, fields and relations.
  std::string_view t = WithoutTable(s);
  if (t.empty() || StartsWith(t, "->") || StartsWith(t, "rel:")) return true;
  // Iteration, data, conditions, hooks, line types, print blocks, pages.
  if (Any(t, {"fit", "itd", "itf", "re-itd", "recn", "@nbl", "rupture", "rupturepage", "tt-init", "tt-avant",
              "tt-suivant", "si-impr", "si-visu", "si-page1", "finpage", "findoc", "finiteration", "fin", "pages",
              "limites", "pagenumero", "tab", "delimiteur", "mem", "tauxeuro", "dossier", "r1", "r2", "vl",
              "ville", "sa", "date", "annee", "debex", "finex", "crlf", "dblint", "<", "=", ">", "aveccadres",
              "sanscadres", "transparent", "opaque", "aveclignestexte", "sanslignestexte", "avecmtsnuls",
              "sansmtsnuls", "curseur", "absolu", "export", "exportsansdelimiteur", "exportcrlf", "exportcr",
              "exportlf", "exportsanscrlf", "html", "heure", "p.cx", "px", "p.cy", "py", "ox", "oy", "ddev", "dout",
              "ddrv", "f1", "f2", "f3", "f4", "f+", "f-", "fr", "fs", "txtfin"}))
    return true;
  if (t[0] == '@') return t.size() > 1;
  if (IsLineTypeStatement(t)) return true;
  if (AnyPrefix(t, {"nbl", "si:", "si@", "si!@", "motcle,", "mmot:", "mmot-", "$n", "$c", "sipage=", "sipage#",
                    "page", "delimiteur=", "bll:", "bll!", "blv:", "blv!", "derlig", "ligfin-", "lig:", "lmm:",
                    "col:", "cmm:", "nl", "rs", "es:", "ie:", "nbit", "saisie", "fb", "fl", "fi", "fu", "fo",
                    "p:", "pd:", "pv:", "px:", "py:", "coul:", "coult:", "c:", "d:", "m:", "s:", "-:", "^:", "//",
                    "sanstronquer", "txtfmt", "txt:", "cst:", "ept:", "modeliste=", "typeliste", "orientation=",
                    "policeinitiale=", "modecpi=", "cadrage=", "margelib23=", "ini:", "inidossier:", "export:"}))
    return true;
  if (t.size() >= 2 && t[1] == ':' && std::string_view("lrtgnbi").find(t[0]) != std::string_view::npos) return true;
  if (StartsWith(t, "exportracine:")) return t.size() == 15;
  if (htmlMode) {
    if (t.size() == 5 && StartsWith(t, "html") && t[4] >= '0' && t[4] <= '4') return true;
    if (AnyPrefix(t, {"police", "largeur:", "table"})) return true;
  }
  return false;
}

std::vector<TemplateProblem> CheckTemplate(std::string_view templateText, const ReportFixture& family) {
  Checker checker(family);
  // A statement around [Fin] ([x[Fin]]) is read once with each of its two texts.
  std::string text(templateText);
  const std::string lowered = LowerCp1252(text);
  std::vector<std::string> variants{text};
  for (std::size_t at = lowered.find("[fin]"); at != std::string::npos; at = lowered.find("[fin]", at + 1)) {
    if (at == 0 || lowered.rfind('[', at - 1) == std::string::npos) continue;
    const std::size_t open = lowered.rfind('[', at - 1);
    const std::size_t close = lowered.rfind(']', at - 1);
    if (close != std::string::npos && close > open) continue;  // [Fin] stands alone
    std::vector<std::string> next;
    for (const std::string& v : variants) {
      for (const char* outcome : {".../...", "*^fin^*"}) {
        std::string copy = v;
        copy.replace(at, 5, outcome);
        next.push_back(copy);
      }
    }
    variants = std::move(next);
    break;  // one such statement per template is enough for the layouts that need it
  }
  if (variants.size() == 1) {
    checker.Run(text);
    return checker.problems;
  }
  std::vector<TemplateProblem> all;
  for (const std::string& v : variants) {
    Checker c(family);
    c.Run(v);
    for (TemplateProblem& p : c.problems) {
      bool seen = false;
      for (const TemplateProblem& q : all) seen = seen || (q.line == p.line && q.message == p.message);
      if (!seen) all.push_back(std::move(p));
    }
  }
  return all;
}

}  // namespace reports
