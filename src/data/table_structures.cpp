#include "runtime/text.h"
#include "table_structures.h"

#include <algorithm>
#include <cctype>

namespace {

// Amounts: 14 positions with 2 decimals, the width in which the program
// prints every amount (forms, report variables "N142", the 14-character
// totals of C10), so GetField of an amount gives that same text.
constexpr int kAmountWidth = 14;
constexpr int kAmountDecimals = 2;
constexpr int kMemoWidth = 10;

FieldDef C(std::string_view name, int width) { return {name, 'C', width, 0}; }
FieldDef Amount(std::string_view name) { return {name, 'N', kAmountWidth, kAmountDecimals}; }
FieldDef Memo(std::string_view name) { return {name, 'M', kMemoWidth, 0}; }

bool SameName(std::string_view a, std::string_view b) { return UpperAscii(a) == UpperAscii(b); }

TableStructure MakeC10() {
  return {TableKind::C10,
          "C10*",
          {
              C("GCLE", 1),
              // The code of every kind is at most 8 characters, but the balance-sheet
              // annex records "j" pack line code (3), poste (3) and account (8) into it:
              // 14 characters.
              C("GCODE", 14),
              // The name; the dossier record takes its first 30 characters.
              C("GLIB", 30),
              C("GZONE1", 254),
              C("GZONE2", 254),
              C("GZONE3", 254),
              Memo("GTEXTE"),
              // The last field's name is the dossier's format stamp; its content is unused.
              C(kC10FormatStamp, 1),
          },
          {
              {"C10CODE", "GCLE+GCODE", "", {1, 2}, 3110},
          }};
}

TableStructure MakeC20() {
  return {TableKind::C20,
          "C20*",
          {
              C("CCODE", 8),     C("CLIB", 30),     C("CRUE1", 30),    C("CRUE2", 30),
              C("CVILLE", 30),   C("CTEL", 20),     C("CFAX", 20),     C("CEMAIL", 30),
              C("CDOM1", 24),    C("CDOM2", 24),    C("CETS", 5),      C("CGUICHET", 5),
              C("CCOMPTE", 11),  C("CCLERIB", 2),   C("CIBAN", 34),    C("CBIC", 11),
              Amount("CDEBITF"), Amount("CDEBITE"), Amount("CCREDITF"), Amount("CCREDITE"),
              Amount("CDEBNM1F"), Amount("CDEBNM1E"), Amount("CCRENM1F"), Amount("CCRENM1E"),
              C("CCTRP", 8),     C("CSOLDEBIL", 1), C("CANALYT", 1),
              Amount("CBUDGETF"), Amount("CBUDGETE"),
              Memo("CTEXTE"),
          },
          {
              {"C20CODE", "CCODE", "", {1}, 3120},
              {"C20NOM", "UPPER(CLIB)", "", {2}, 3121},
              {"C20RIB", "CETS+CGUICHET+CCOMPTE", "LEN(TRIM(CETS))>0", {11, 12, 13}, 3122},
              {"C20IBAN", "CIBAN+CBIC", "LEN(TRIM(CIBAN))>0", {15, 16}, 3123},
          }};
}

TableStructure MakeC30() {
  return {TableKind::C30,
          "C30*",
          {
              C("ACODE", 8),      C("ALIB", 30),       C("ARUE1", 30),     C("ARUE2", 30),
              C("ARUE3", 30),     C("ATEL", 20),       C("AFAX", 20),      C("AEMAIL", 30),
              Amount("ADEBITF"),  Amount("ADEBITE"),   Amount("ACREDITF"), Amount("ACREDITE"),
              Amount("ADEBNM1F"), Amount("ADEBNM1E"),  Amount("ACRENM1F"), Amount("ACRENM1E"),
              Amount("ABUDGETF"), Amount("ABUDGETE"),
              Memo("ATEXTE"),
          },
          {
              {"C30CODE", "ACODE", "", {1}, 3130},
              {"C30NOM", "UPPER(ALIB)", "", {2}, 3131},
          }};
}

// The closed line is the draft line under names beginning with "D" (a line is
// copied from C50 to C40 field by field through that rename), without the
// draft's group number and distribution code, with a validation date last.
TableStructure MakeC40() {
  return {TableKind::C40,
          "C40*",
          {
              C("DCLE", 1),
              C("DCODE", 8),
              C("DMOIS", 4),
              C("DJOUR", 2),
              C("DJAL", 3),
              C("DPIECE", 6),
              C("DCLIB", 1),
              C("DLIB", 25),
              C("DLIB2", 25),
              C("DLIB3", 25),
              C("DECHEANCE", 6),
              C("DEURO", 1),
              C("DSENS", 1),
              Amount("DMONTANTF"),
              Amount("DMONTANTE"),
              C("DLET", 4),
              C("DLETE", 4),
              C("DCG", 8),
              C("DNUM", 4),
              C("DNUMA", 4),
              C("DTVA", 1),
              C("DCODE2", 8),
              // Validation date, a stored YYMMDD date like the due date.
              C("DVALID", 6),
          },
          {
              {"C40CODE", "DCLE+DMOIS+DJAL", "", {1, 3, 5}, 3140},
          }};
}

TableStructure MakeC50() {
  return {TableKind::C50,
          "C50*",
          {
              C("BCLE", 1),
              C("BMOIS", 4),
              C("BJAL", 3),
              C("BPIECE", 6),
              C("BREC", 6),
              C("BNUM", 4),
              C("BNUMA", 4),
              C("BJOUR", 2),
              // Two characters: the C50VENT condition compares it with two blanks.
              C("BVENT", 2),
              C("BCODE", 8),
              C("BCLIB", 1),
              C("BLIB", 25),
              C("BLIB2", 25),
              C("BLIB3", 25),
              C("BECHEANCE", 6),
              C("BEURO", 1),
              C("BSENS", 1),
              Amount("BMONTANTF"),
              Amount("BMONTANTE"),
              C("BLET", 4),
              C("BLETE", 4),
              C("BCG", 8),
              // VAT mark: one character (the line form's one-character list, the
              // one-character TTVA of the VAT-on-receipts break keys).
              C("BTVA", 1),
              // A further code carried to the sort file; a code of 8 like the accounts.
              C("BCODE2", 8),
          },
          {
              {"C50CODE", "BCLE+BMOIS+BJAL+BPIECE+BREC+BNUM", "BCLE='Z'", {1, 2, 3, 4, 5, 6}, 3150},
              {"C50ANAL", "BMOIS+BJAL+BPIECE+BCG+BNUM+BCLE+BNUMA", "BCLE<'Z'", {2, 3, 4, 22, 6, 1, 7},
               3151},
              {"C50VENT", "BCLE+BMOIS+BJAL+BVENT+BCODE", "BCLE='Z' .AND. BVENT#'  '", {1, 2, 3, 9, 10},
               3152},
          }};
}

const TagDef& C60AnalByAccount() {
  static const TagDef tag{"C60ANAL", "TCODE+TCG+TMOIS+TJOUR", "TCLE<'Z'", {2, 12, 3, 4}, 3161};
  return tag;
}

TableStructure MakeC60() {
  return {TableKind::C60,
          "C60*",
          {
              C("TCLE", 1),
              // Account of the line; also holds a piece number during renumbering.
              C("TCODE", 8),
              C("TMOIS", 4),
              C("TJOUR", 2),
              C("TJAL", 3),
              C("TLET", 4),
              C("TLETE", 4),
              C("TLETP", 4),
              C("TFIC", 1),
              // Physical record number of the line, six digits (C60REC key "B" + StrZero).
              C("TREC", 6),
              C("TPIECE", 6),
              // General account of an analytic line; the new piece number during renumbering.
              C("TCG", 8),
              C("TNUM", 4),
              C("TNUMA", 4),
              C("TTVA", 1),
              C("TCODE2", 8),
          },
          {
              {"C60CODE", "TCODE+TMOIS+TJOUR", "TCLE='Z'", {2, 3, 4}, 3160},
              {"C60ANAL", "TCODE+TMOIS+TJOUR", "TCLE<'Z'", {2, 3, 4}, 3161},
              {"C60STM", "TCODE+TMOIS+TJAL+TJOUR", "TCLE='Z'", {2, 3, 5, 4}, 3162},
              {"C60REC", "TFIC+TREC", "", {9, 10}, 3163},
              {"C60JX", "TMOIS+TJAL+TJOUR+TPIECE+TNUM", "TCLE='Z'", {3, 5, 4, 11, 13}, 3164},
              {"C60JXANAL", "TMOIS+TJAL+TJOUR+TPIECE+TNUM+TCLE", "TCLE<'Z'", {3, 5, 4, 11, 13, 1},
               3165},
              {"C60DTVAE", "TTVA+TCODE+TMOIS+TJAL+TPIECE", "TTVA#' ' .OR. SUBS(TCODE,1,4)='4456'",
               {15, 2, 3, 5, 11}, 3166},
          }};
}

// Computed balance sheet; the model lines share its fields (they are copied
// into it by name).
std::vector<FieldDef> BalanceSheetFields() {
  std::vector<FieldDef> fields{
      // Line code: the report variable CODE shows it in 4 characters.
      C("BLN", 4),
      C("BAPR", 1),
      // Label: the header record carries the model type at character 47; the
      // report variable INTITULE shows 50 characters.
      C("BLIB", 50),
      C("BCALC", 3),
      C("BLG", 3),
      // Not read by the edition; kept for the model's own use.
      C("BDIVERS", 20),
  };
  static constexpr std::string_view kPoste[] = {"BPOSTE1", "BPOSTE2", "BPOSTE3", "BPOSTE4"};
  static constexpr std::string_view kFrancs[] = {"BMTF1", "BMTF2", "BMTF3", "BMTF4"};
  static constexpr std::string_view kEuros[] = {"BMTE1", "BMTE2", "BMTE3", "BMTE4"};
  static constexpr std::string_view kColumn[] = {"BCOL1", "BCOL2", "BCOL3", "BCOL4"};
  for (int i = 0; i < 4; ++i) {
    fields.push_back(C(kPoste[i], 3));
    fields.push_back(Amount(kFrancs[i]));
    fields.push_back(Amount(kEuros[i]));
    fields.push_back({kColumn[i], 'N', 3, 0});  // print column, 3 digits
  }
  fields.push_back(C("BPCT", 7));  // variation printed in width 7 with 2 decimals
  return fields;
}

TableStructure MakeC70() {
  return {TableKind::C70,
          "C70*",
          BalanceSheetFields(),
          {
              {"C70CODE", "BLN", "", {1}, 3170},
              // The key fields are those of the expression: section letter, then line number.
              {"C70LIGNES", "BAPR+BLG", "", {2, 5}, 3171},
          }};
}

TableStructure MakeReportDefs() {
  std::vector<FieldDef> fields{
      // Report code: the first 10 characters of a window's 18-character report code.
      C("ECODE", 10),
      C("ELIB", 50),
  };
  // Fields 3 to 10 are read by nothing in the program; they keep the
  // template at field 11, where every reader looks for it.
  static constexpr std::string_view kSpare[] = {"EZONE3", "EZONE4", "EZONE5", "EZONE6",
                                                "EZONE7", "EZONE8", "EZONE9", "EZONE10"};
  for (std::string_view name : kSpare) fields.push_back(C(name, 10));
  fields.push_back(Memo("ETEXTE"));
  return {TableKind::ReportDefs, "CE?ETATS", std::move(fields), {{"CE0CODE", "ECODE", "", {1}, 3190}}};
}

TableStructure MakeDossierLock() {
  // Only opened and locked, never read: one field, since a table needs one.
  return {TableKind::DossierLock, "C*__", {C("VERROU", 1)}, {}};
}

TableStructure MakeModelLines() {
  return {TableKind::ModelLines, "CLBILAN?", BalanceSheetFields(), {}};
}

TableStructure MakeModelParams() {
  return {TableKind::ModelParams,
          "CPBILAN?",
          {
              // The poste of a C70 column that the assignment feeds, and its order among the
              // poste's assignments.
              C("PPOSTE", 3),
              C("PORDRE", 3),
              // First and last account, compared as prefixes ("6" to "6" is all of class 6).
              C("PCPTDEB", 8),
              C("PCPTFIN", 8),
              // "B" the account's balance, "N" its previous-year balance, "R" the year's result.
              C("PSOURCE", 1),
              // "S" any balance, "D" debit balances only, "C" credit balances only.
              C("PNATURE", 1),
              C("PSIGNE", 1),
              // The box of the official form.
              C("PLIB", 50),
          },
          {
              {kModelParamsTagName, "PPOSTE+PORDRE", "", {1, 2}, 0},
          }};
}

const std::vector<TableStructure>& Structures() {
  static const std::vector<TableStructure> all{
      MakeC10(),        MakeC20(),         MakeC30(),         MakeC40(),
      MakeC50(),        MakeC60(),         MakeC70(),         MakeReportDefs(),
      MakeDossierLock(), MakeModelLines(), MakeModelParams(),
  };
  return all;
}

// ---- expressions ----------------------------------------------------------

enum class TokKind { Name, Number, Literal, Plus, Open, Close, Comma, Other, End };

struct Token {
  TokKind kind;
  std::string text;
};

// Tokens of a key expression or condition; ".AND." and the like become Other.
std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t j = i;
      while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_')) ++j;
      out.push_back({TokKind::Name, UpperAscii(s.substr(i, j - i))});
      i = j;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      std::size_t j = i;
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      out.push_back({TokKind::Number, std::string(s.substr(i, j - i))});
      i = j;
    } else if (c == '\'' || c == '"') {
      const std::size_t close = s.find(c, i + 1);
      if (close == std::string_view::npos) {
        out.push_back({TokKind::Other, std::string(s.substr(i))});
        break;
      }
      out.push_back({TokKind::Literal, std::string(s.substr(i + 1, close - i - 1))});
      i = close + 1;
    } else if (c == '.') {
      // .AND. .OR. .NOT. .T. .F.: a word between dots, never a field.
      const std::size_t close = s.find('.', i + 1);
      const std::size_t end = close == std::string_view::npos ? s.size() : close + 1;
      out.push_back({TokKind::Other, std::string(s.substr(i, end - i))});
      i = end;
    } else if (c == '+') {
      out.push_back({TokKind::Plus, "+"});
      ++i;
    } else if (c == '(') {
      out.push_back({TokKind::Open, "("});
      ++i;
    } else if (c == ')') {
      out.push_back({TokKind::Close, ")"});
      ++i;
    } else if (c == ',') {
      out.push_back({TokKind::Comma, ","});
      ++i;
    } else {
      out.push_back({TokKind::Other, std::string(1, c)});
      ++i;
    }
  }
  out.push_back({TokKind::End, ""});
  return out;
}

// Recursive reader of a character key expression; every step answers the
// length of the text it builds or -1.
class KeyReader {
 public:
  KeyReader(const TableStructure& s, std::vector<Token> tokens) : s_(s), t_(std::move(tokens)) {}

  int Read() {
    const int n = Sum();
    return (n >= 0 && Peek().kind == TokKind::End) ? n : -1;
  }

 private:
  const Token& Peek() const { return t_[pos_]; }
  const Token& Take() { return t_[pos_ < t_.size() - 1 ? pos_++ : pos_]; }
  bool Expect(TokKind k) {
    if (Peek().kind != k) return false;
    Take();
    return true;
  }

  int Sum() {
    if (++depth_ > 32) return -1;
    int total = Term();
    while (total >= 0 && Peek().kind == TokKind::Plus) {
      Take();
      const int next = Term();
      total = next < 0 ? -1 : total + next;
    }
    --depth_;
    return total;
  }

  int Number() {
    if (Peek().kind != TokKind::Number || Peek().text.size() > 4) return -1;
    return std::stoi(Take().text);
  }

  int Term() {
    const Token tok = Take();
    if (tok.kind == TokKind::Literal) return static_cast<int>(tok.text.size());
    if (tok.kind != TokKind::Name) return -1;
    if (Peek().kind != TokKind::Open) {
      const FieldDef* f = s_.Field(s_.FieldNumber(tok.text));
      return (f != nullptr && f->type == 'C') ? f->width : -1;
    }
    Take();  // "("
    const std::string& fn = tok.text;
    const int inner = Sum();
    if (inner < 0) return -1;
    if (fn == "UPPER" || fn == "LOWER" || fn == "TRIM" || fn == "LTRIM" || fn == "RTRIM")
      return Expect(TokKind::Close) ? inner : -1;
    if (fn == "SUBS" || fn == "SUBSTR") {
      if (!Expect(TokKind::Comma)) return -1;
      const int start = Number();
      if (start < 1 || start > inner) return -1;
      int length = inner - start + 1;
      if (Peek().kind == TokKind::Comma) {
        Take();
        length = Number();
        if (length < 1 || start + length - 1 > inner) return -1;
      }
      return Expect(TokKind::Close) ? length : -1;
    }
    return -1;
  }

  const TableStructure& s_;
  std::vector<Token> t_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

std::string_view StripFolderAndExtension(std::string_view name, bool* extensionOk) {
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  *extensionOk = true;
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos) {
    const std::string ext = LowerAscii(name.substr(dot + 1));
    *extensionOk = ext == "dbf" || ext == "mdx" || ext == "dbt";
    name = name.substr(0, dot);
  }
  return name;
}

bool UsableCode(std::string_view code) {
  if (code.empty() || code.size() > 5) return false;
  for (char c : code)
    if (c == ' ' || c == '/' || c == '\\' || c == '.' || c == '_' || c == '\0') return false;
  return true;
}

bool UsableLetter(std::string_view letter) {
  return letter.size() == 1 && std::isalnum(static_cast<unsigned char>(letter[0]));
}

}  // namespace

// ---- TableStructure -------------------------------------------------------

const FieldDef* TableStructure::Field(int n) const {
  if (n < 1 || n > FieldCount()) return nullptr;
  return &fields[static_cast<std::size_t>(n - 1)];
}

int TableStructure::FieldNumber(std::string_view name) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (SameName(fields[i].name, name)) return static_cast<int>(i + 1);
  return 0;
}

const TagDef* TableStructure::Tag(std::string_view name) const {
  for (const TagDef& t : tags)
    if (SameName(t.name, name)) return &t;
  return nullptr;
}

bool TableStructure::HasMemo() const {
  return std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == 'M'; });
}

int TableStructure::RecordLength() const {
  int length = 1;  // delete mark
  for (const FieldDef& f : fields) length += f.width;
  return length;
}

int TableStructure::HeaderLength() const { return 32 + 32 * FieldCount() + 1; }

// ---- lookups --------------------------------------------------------------

const TableStructure& StructureOf(TableKind kind) {
  static const TableStructure unknown{TableKind::Unknown, "", {}, {}};
  for (const TableStructure& s : Structures())
    if (s.kind == kind) return s;
  return unknown;
}

const std::vector<TableKind>& AllTableKinds() {
  static const std::vector<TableKind> kinds{
      TableKind::C10,        TableKind::C20,         TableKind::C30,        TableKind::C40,
      TableKind::C50,        TableKind::C60,         TableKind::C70,        TableKind::ReportDefs,
      TableKind::DossierLock, TableKind::ModelLines, TableKind::ModelParams,
  };
  return kinds;
}

std::string_view TableKindName(TableKind kind) {
  switch (kind) {
    case TableKind::C10: return "C10";
    case TableKind::C20: return "C20";
    case TableKind::C30: return "C30";
    case TableKind::C40: return "C40";
    case TableKind::C50: return "C50";
    case TableKind::C60: return "C60";
    case TableKind::C70: return "C70";
    case TableKind::ReportDefs: return "CE";
    case TableKind::DossierLock: return "LOCK";
    case TableKind::ModelLines: return "CLBILAN";
    case TableKind::ModelParams: return "CPBILAN";
    case TableKind::Unknown: break;
  }
  return "?";
}

std::vector<TagDef> TagsToBuild(TableKind kind, bool analyticByAccount) {
  std::vector<TagDef> tags = StructureOf(kind).tags;
  if (kind == TableKind::C60 && analyticByAccount)
    for (TagDef& t : tags)
      if (t.name == "C60ANAL") t = C60AnalByAccount();
  return tags;
}

TableKind TableKindOfFileName(std::string_view fileName) {
  bool extensionOk = false;
  const std::string base = UpperAscii(StripFolderAndExtension(fileName, &extensionOk));
  if (!extensionOk || base.size() < 2 || base[0] != 'C') return TableKind::Unknown;

  // Reference tables of the program folder.
  static constexpr TableKind kByDigit[] = {TableKind::DossierLock, TableKind::C10, TableKind::C20,
                                           TableKind::C30,         TableKind::C40, TableKind::C50,
                                           TableKind::C60,         TableKind::C70};
  if (base.size() == 7 && base.compare(0, 2, "CR") == 0 && base.compare(4, 3, "REF") == 0 &&
      base[2] >= '0' && base[2] <= '7' && base[3] == '0')
    return kByDigit[base[2] - '0'];

  // Lock table: "C", the code, then "_" up to 8 characters (at least two of them).
  if (base.size() == 8) {
    const std::size_t firstBar = base.find('_');
    if (firstBar != std::string::npos && firstBar >= 2 && firstBar <= 6 &&
        base.find_first_not_of('_', firstBar) == std::string::npos)
      return TableKind::DossierLock;
  }
  if (base.size() == 8 && base.compare(0, 7, "CLBILAN") == 0) return TableKind::ModelLines;
  if (base.size() == 8 && base.compare(0, 7, "CPBILAN") == 0) return TableKind::ModelParams;
  if (base.size() == 8 && base.compare(0, 2, "CE") == 0 && base.compare(3, 5, "ETATS") == 0)
    return TableKind::ReportDefs;
  if (base.size() >= 4 && base.size() <= 8 && base.compare(0, 3, "CEP") == 0 &&
      UsableCode(base.substr(3)))
    return TableKind::ReportDefs;

  // Dossier tables: "C10" ... "C70" followed by the dossier code.
  if (base.size() >= 4 && base.size() <= 8 && base[1] >= '1' && base[1] <= '7' && base[2] == '0' &&
      UsableCode(base.substr(3)))
    return kByDigit[base[1] - '0'];
  return TableKind::Unknown;
}

std::string TableBaseName(TableKind kind, std::string_view codeOrLetter) {
  switch (kind) {
    case TableKind::C10:
    case TableKind::C20:
    case TableKind::C30:
    case TableKind::C40:
    case TableKind::C50:
    case TableKind::C60:
    case TableKind::C70: {
      std::string_view code = codeOrLetter.substr(0, codeOrLetter.find_last_not_of(' ') + 1);
      if (codeOrLetter.find_last_not_of(' ') == std::string_view::npos) code = {};
      if (!UsableCode(code)) return {};
      return LowerAscii(std::string(TableKindName(kind)) + std::string(code));
    }
    case TableKind::DossierLock: {
      std::string_view code = codeOrLetter.substr(0, codeOrLetter.find_last_not_of(' ') + 1);
      if (codeOrLetter.find_last_not_of(' ') == std::string_view::npos) code = {};
      if (!UsableCode(code)) return {};
      std::string name = "c" + LowerAscii(code);
      name.append(8 - name.size(), '_');
      return name;
    }
    case TableKind::ReportDefs:
      return UsableLetter(codeOrLetter) ? "ce" + LowerAscii(codeOrLetter) + "etats" : std::string();
    case TableKind::ModelLines:
      return UsableLetter(codeOrLetter) ? "clbilan" + LowerAscii(codeOrLetter) : std::string();
    case TableKind::ModelParams:
      return UsableLetter(codeOrLetter) ? "cpbilan" + LowerAscii(codeOrLetter) : std::string();
    case TableKind::Unknown: break;
  }
  return {};
}

// ---- expressions ----------------------------------------------------------

int KeyLength(const TableStructure& structure, std::string_view expression) {
  return KeyReader(structure, Tokenize(expression)).Read();
}

std::vector<std::string> FieldsNamedIn(std::string_view expression) {
  const std::vector<Token> tokens = Tokenize(expression);
  std::vector<std::string> names;
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i)
    if (tokens[i].kind == TokKind::Name && tokens[i + 1].kind != TokKind::Open)
      names.push_back(tokens[i].text);
  return names;
}
