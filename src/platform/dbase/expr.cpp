// Parser and evaluator of the key and condition expressions of index tags.
#include "expr.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/system/cp1252.h"
#include "weights.h"

namespace dbase {

namespace {

constexpr std::size_t kMaxText = 254;        // longest character result
constexpr std::size_t kMaxSource = 1024;     // longest expression text
constexpr int kMaxDepth = 64;                // nesting of parentheses and functions

enum class Op : std::uint8_t {
  kField, kString, kNumber, kBool,
  kConcat, kAdd, kUpper, kTrim, kLen, kSubs,
  kEq, kNe, kLt, kGt, kLe, kGe,
  kAnd, kOr, kNot,
};

// Number in a numeric field's text: blanks, optional sign, digits, optional decimals.
double ParseNumberText(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n && p[i] == ' ') ++i;
  bool neg = false;
  if (i < n && (p[i] == '-' || p[i] == '+')) {
    neg = p[i] == '-';
    ++i;
  }
  double v = 0;
  while (i < n && p[i] >= '0' && p[i] <= '9') v = v * 10 + (p[i++] - '0');
  if (i < n && (p[i] == '.' || p[i] == ',')) {
    ++i;
    double scale = 0.1;
    while (i < n && p[i] >= '0' && p[i] <= '9') {
      v += (p[i++] - '0') * scale;
      scale /= 10;
    }
  }
  return neg ? -v : v;
}

}  // namespace

double JulianDay(std::string_view s) {
  if (s.size() < 8) return 0;
  int v[8];
  for (int i = 0; i < 8; ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v[i] = s[i] - '0';
  }
  const int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
  const int m = v[4] * 10 + v[5];
  const int d = v[6] * 10 + v[7];
  if (m < 1 || m > 12 || d < 1 || d > 31) return 0;
  const int a = (14 - m) / 12;
  const long yy = y + 4800 - a;
  const long mm = m + 12 * a - 3;
  return static_cast<double>(d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045);
}

struct Expression::Node {
  Op op = Op::kString;
  ExprType type = ExprType::kCharacter;
  std::uint32_t length = 0;  // static length of a character result
  // kField
  char fieldType = 'C';
  std::uint32_t offset = 0;
  std::uint32_t width = 0;   // the field's width in the record
  // literals
  std::string text;
  double number = 0;
  bool logical = false;
  std::vector<std::unique_ptr<Node>> kids;
};

// A character expression made only of fields and literals joined with "+" is kept as the
// list of its pieces as well: its key is then copied piece by piece, without the evaluator.
struct KeyPiece {
  std::uint32_t offset = 0;    // in the record, for a field
  std::uint32_t length = 0;
  const std::string* literal = nullptr;  // the literal's text, or nullptr for a field
};

struct Expression::Impl {
  std::unique_ptr<Node> root;
  std::string source;
  std::vector<KeyPiece> pieces;  // empty unless the expression is such a concatenation
};

namespace {

using Node = Expression::Node;

struct Evaluator {
  static void Text(const Node& n, const std::uint8_t* rec, std::string& out) {
    switch (n.op) {
      case Op::kField:
        out.append(reinterpret_cast<const char*>(rec) + n.offset, n.length);
        return;
      case Op::kString:
        out.append(n.text);
        return;
      case Op::kConcat:
        Text(*n.kids[0], rec, out);
        Text(*n.kids[1], rec, out);
        return;
      case Op::kUpper: {
        const std::size_t start = out.size();
        Text(*n.kids[0], rec, out);
        for (std::size_t i = start; i < out.size(); ++i)
          out[i] = static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(out[i])));
        return;
      }
      case Op::kTrim: {
        const std::size_t start = out.size();
        Text(*n.kids[0], rec, out);
        std::size_t end = out.size();
        while (end > start && (out[end - 1] == ' ' || out[end - 1] == '\0')) --end;
        out.resize(end);
        return;
      }
      case Op::kSubs: {
        std::string s;
        Text(*n.kids[0], rec, s);
        double startD = Number(*n.kids[1], rec);
        if (!(startD >= 1)) startD = 1;  // also a NaN
        if (startD > static_cast<double>(s.size())) return;
        const std::size_t start = static_cast<std::size_t>(startD);
        std::size_t count = s.size() - (start - 1);
        if (n.kids.size() > 2) {
          const double c = Number(*n.kids[2], rec);
          if (!(c > 0)) return;
          if (c < static_cast<double>(count)) count = static_cast<std::size_t>(c);
        }
        out.append(s, start - 1, count);
        return;
      }
      default:
        return;
    }
  }

  static double Number(const Node& n, const std::uint8_t* rec) {
    switch (n.op) {
      case Op::kField:
        if (n.fieldType == 'D') {
          return JulianDay(std::string_view(reinterpret_cast<const char*>(rec) + n.offset, n.width));
        }
        return ParseNumberText(reinterpret_cast<const char*>(rec) + n.offset, n.width);
      case Op::kNumber:
        return n.number;
      case Op::kAdd:
        return Number(*n.kids[0], rec) + Number(*n.kids[1], rec);
      case Op::kLen: {
        std::string s;
        Text(*n.kids[0], rec, s);
        return static_cast<double>(s.size());
      }
      default:
        return 0;
    }
  }

  // A text operand: a field's bytes or a literal where they are, anything else evaluated
  // into scratch.
  static std::string_view View(const Node& n, const std::uint8_t* rec, std::string& scratch) {
    if (n.op == Op::kField) return {reinterpret_cast<const char*>(rec) + n.offset, n.length};
    if (n.op == Op::kString) return n.text;
    Text(n, rec, scratch);
    return scratch;
  }

  // dBASE's "=" for texts: compared over the right operand's length.
  static bool TextEqual(std::string_view a, std::string_view b) {
    if (b.empty()) return true;
    if (a.size() < b.size()) return false;
    return std::memcmp(a.data(), b.data(), b.size()) == 0;
  }

  static int TextOrder(std::string_view a, std::string_view b) {
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      const char x = i < a.size() ? a[i] : ' ';
      const char y = i < b.size() ? b[i] : ' ';
      if (x != y) return CompareWeighted(&x, &y, 1);
    }
    return 0;
  }

  static bool Logical(const Node& n, const std::uint8_t* rec) {
    switch (n.op) {
      case Op::kField: {
        const char c = static_cast<char>(rec[n.offset]);
        return c == 'T' || c == 't' || c == 'Y' || c == 'y';
      }
      case Op::kBool:
        return n.logical;
      case Op::kAnd:
        return Logical(*n.kids[0], rec) && Logical(*n.kids[1], rec);
      case Op::kOr:
        return Logical(*n.kids[0], rec) || Logical(*n.kids[1], rec);
      case Op::kNot:
        return !Logical(*n.kids[0], rec);
      case Op::kEq: case Op::kNe: case Op::kLt: case Op::kGt: case Op::kLe: case Op::kGe:
        return Compare(n, rec);
      default:
        return false;
    }
  }

  static bool Compare(const Node& n, const std::uint8_t* rec) {
    const Node& l = *n.kids[0];
    const Node& r = *n.kids[1];
    int order = 0;
    bool equal = false;
    if (l.type == ExprType::kCharacter) {
      std::string aText, bText;
      const std::string_view a = View(l, rec, aText);
      const std::string_view b = View(r, rec, bText);
      if (n.op == Op::kEq || n.op == Op::kNe) {
        equal = TextEqual(a, b);
        return n.op == Op::kEq ? equal : !equal;
      }
      order = TextOrder(a, b);
    } else if (l.type == ExprType::kLogical) {
      const bool a = Logical(l, rec);
      const bool b = Logical(r, rec);
      order = a == b ? 0 : (a ? 1 : -1);
    } else {
      const double a = Number(l, rec);
      const double b = Number(r, rec);
      order = a < b ? -1 : (a > b ? 1 : 0);
    }
    switch (n.op) {
      case Op::kEq: return order == 0;
      case Op::kNe: return order != 0;
      case Op::kLt: return order < 0;
      case Op::kGt: return order > 0;
      case Op::kLe: return order <= 0;
      case Op::kGe: return order >= 0;
      default: return false;
    }
  }
};

// ---- Parser -----------------------------------------------------------------------------

enum class Tok { kEnd, kName, kString, kNumber, kLParen, kRParen, kComma, kPlus, kEq, kNe, kLt,
                 kGt, kLe, kGe, kAnd, kOr, kNot, kTrue, kFalse, kBad };

struct Token {
  Tok kind = Tok::kEnd;
  std::size_t pos = 0;
  std::string text;
  double number = 0;
};

class Parser {
 public:
  Parser(std::string_view src, const RecordLayout& layout) : src_(src), layout_(layout) {}

  std::unique_ptr<Node> Run(ExprError* err) {
    if (src_.size() > kMaxSource) return Fail(ExprStatus::kTooLong, 0, "expression too long");
    Advance();
    if (failed_) return Report(err);
    if (tok_.kind == Tok::kEnd) {
      Fail(ExprStatus::kEmpty, 0, "empty expression");
      return Report(err);
    }
    std::unique_ptr<Node> n = Or();
    if (!failed_ && tok_.kind != Tok::kEnd) Fail(ExprStatus::kSyntax, tok_.pos, "unexpected text");
    if (failed_) return Report(err);
    return n;
  }

 private:
  std::unique_ptr<Node> Report(ExprError* err) {
    if (err) *err = error_;
    return nullptr;
  }

  std::unique_ptr<Node> Fail(ExprStatus s, std::size_t pos, const char* text) {
    if (!failed_) {
      failed_ = true;
      error_.status = s;
      error_.position = pos;
      error_.text = text;
    }
    return nullptr;
  }

  void Advance() {
    std::size_t i = pos_;
    while (i < src_.size() && (src_[i] == ' ' || src_[i] == '\t' || src_[i] == '\r' || src_[i] == '\n')) ++i;
    tok_ = Token();
    tok_.pos = i;
    if (i >= src_.size()) {
      pos_ = i;
      return;
    }
    const char c = src_[i];
    auto single = [&](Tok k, std::size_t len) {
      tok_.kind = k;
      pos_ = i + len;
    };
    auto next = [&](std::size_t k) { return i + k < src_.size() ? src_[i + k] : '\0'; };
    switch (c) {
      case '(': return single(Tok::kLParen, 1);
      case ')': return single(Tok::kRParen, 1);
      case ',': return single(Tok::kComma, 1);
      case '+': return single(Tok::kPlus, 1);
      case '=': return single(Tok::kEq, next(1) == '=' ? 2 : 1);
      case '#': return single(Tok::kNe, 1);
      case '!':
        if (next(1) == '=') return single(Tok::kNe, 2);
        break;
      case '<':
        if (next(1) == '=') return single(Tok::kLe, 2);
        if (next(1) == '>') return single(Tok::kNe, 2);
        return single(Tok::kLt, 1);
      case '>':
        if (next(1) == '=') return single(Tok::kGe, 2);
        return single(Tok::kGt, 1);
      case '\'':
      case '"': {
        const std::size_t close = src_.find(c, i + 1);
        if (close == std::string_view::npos) {
          Fail(ExprStatus::kSyntax, i, "unterminated string");
          tok_.kind = Tok::kBad;
          pos_ = src_.size();
          return;
        }
        tok_.kind = Tok::kString;
        tok_.text = std::string(src_.substr(i + 1, close - i - 1));
        pos_ = close + 1;
        return;
      }
      default:
        break;
    }
    if (c == '.' && !std::isdigit(static_cast<unsigned char>(next(1)))) {
      std::size_t j = i + 1;
      std::string word;
      while (j < src_.size() && std::isalpha(static_cast<unsigned char>(src_[j]))) {
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(src_[j])));
        ++j;
      }
      if (j < src_.size() && src_[j] == '.') {
        Tok k = Tok::kBad;
        if (word == "AND") k = Tok::kAnd;
        else if (word == "OR") k = Tok::kOr;
        else if (word == "NOT") k = Tok::kNot;
        else if (word == "T" || word == "Y") k = Tok::kTrue;
        else if (word == "F" || word == "N") k = Tok::kFalse;
        if (k != Tok::kBad) return single(k, j + 1 - i);
      }
      Fail(ExprStatus::kSyntax, i, "unknown operator");
      tok_.kind = Tok::kBad;
      pos_ = src_.size();
      return;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      std::size_t j = i;
      double v = 0;
      while (j < src_.size() && std::isdigit(static_cast<unsigned char>(src_[j]))) v = v * 10 + (src_[j++] - '0');
      if (j < src_.size() && src_[j] == '.' && j + 1 < src_.size() &&
          std::isdigit(static_cast<unsigned char>(src_[j + 1]))) {
        ++j;
        double scale = 0.1;
        while (j < src_.size() && std::isdigit(static_cast<unsigned char>(src_[j]))) {
          v += (src_[j++] - '0') * scale;
          scale /= 10;
        }
      }
      tok_.kind = Tok::kNumber;
      tok_.number = v;
      pos_ = j;
      return;
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t j = i;
      while (j < src_.size() && (std::isalnum(static_cast<unsigned char>(src_[j])) || src_[j] == '_')) {
        tok_.text += static_cast<char>(std::toupper(static_cast<unsigned char>(src_[j])));
        ++j;
      }
      tok_.kind = Tok::kName;
      pos_ = j;
      return;
    }
    Fail(ExprStatus::kSyntax, i, "unexpected character");
    tok_.kind = Tok::kBad;
    pos_ = src_.size();
  }

  static std::unique_ptr<Node> Make(Op op, ExprType type, std::uint32_t length = 0) {
    auto n = std::make_unique<Node>();
    n->op = op;
    n->type = type;
    n->length = length;
    return n;
  }

  std::unique_ptr<Node> Binary(Op op, ExprType type, std::unique_ptr<Node> a, std::unique_ptr<Node> b) {
    auto n = Make(op, type);
    n->kids.push_back(std::move(a));
    n->kids.push_back(std::move(b));
    return n;
  }

  std::unique_ptr<Node> Or() {
    if (++depth_ > kMaxDepth) return Fail(ExprStatus::kTooLong, tok_.pos, "expression nested too deeply");
    std::unique_ptr<Node> left = And();
    while (!failed_ && tok_.kind == Tok::kOr) {
      const std::size_t at = tok_.pos;
      Advance();
      std::unique_ptr<Node> right = And();
      if (failed_) break;
      if (left->type != ExprType::kLogical || right->type != ExprType::kLogical)
        return Fail(ExprStatus::kTypeMismatch, at, ".OR. needs logical operands");
      left = Binary(Op::kOr, ExprType::kLogical, std::move(left), std::move(right));
    }
    --depth_;
    return failed_ ? nullptr : std::move(left);
  }

  std::unique_ptr<Node> And() {
    std::unique_ptr<Node> left = Not();
    while (!failed_ && tok_.kind == Tok::kAnd) {
      const std::size_t at = tok_.pos;
      Advance();
      std::unique_ptr<Node> right = Not();
      if (failed_) break;
      if (left->type != ExprType::kLogical || right->type != ExprType::kLogical)
        return Fail(ExprStatus::kTypeMismatch, at, ".AND. needs logical operands");
      left = Binary(Op::kAnd, ExprType::kLogical, std::move(left), std::move(right));
    }
    return failed_ ? nullptr : std::move(left);
  }

  std::unique_ptr<Node> Not() {
    if (tok_.kind == Tok::kNot) {
      const std::size_t at = tok_.pos;
      if (++depth_ > kMaxDepth) return Fail(ExprStatus::kTooLong, at, "expression nested too deeply");
      Advance();
      std::unique_ptr<Node> inner = Not();
      --depth_;
      if (failed_) return nullptr;
      if (inner->type != ExprType::kLogical) return Fail(ExprStatus::kTypeMismatch, at, ".NOT. needs a logical operand");
      auto n = Make(Op::kNot, ExprType::kLogical);
      n->kids.push_back(std::move(inner));
      return n;
    }
    return Comparison();
  }

  std::unique_ptr<Node> Comparison() {
    std::unique_ptr<Node> left = Sum();
    if (failed_) return nullptr;
    Op op;
    switch (tok_.kind) {
      case Tok::kEq: op = Op::kEq; break;
      case Tok::kNe: op = Op::kNe; break;
      case Tok::kLt: op = Op::kLt; break;
      case Tok::kGt: op = Op::kGt; break;
      case Tok::kLe: op = Op::kLe; break;
      case Tok::kGe: op = Op::kGe; break;
      default: return left;
    }
    const std::size_t at = tok_.pos;
    Advance();
    std::unique_ptr<Node> right = Sum();
    if (failed_) return nullptr;
    if (left->type != right->type) return Fail(ExprStatus::kTypeMismatch, at, "comparison of different types");
    if (left->type == ExprType::kLogical && op != Op::kEq && op != Op::kNe)
      return Fail(ExprStatus::kTypeMismatch, at, "logical values only compare for equality");
    return Binary(op, ExprType::kLogical, std::move(left), std::move(right));
  }

  std::unique_ptr<Node> Sum() {
    std::unique_ptr<Node> left = Primary();
    while (!failed_ && tok_.kind == Tok::kPlus) {
      const std::size_t at = tok_.pos;
      Advance();
      std::unique_ptr<Node> right = Primary();
      if (failed_) return nullptr;
      if (left->type != right->type) return Fail(ExprStatus::kTypeMismatch, at, "+ of different types");
      if (left->type == ExprType::kCharacter) {
        const std::uint32_t len = left->length + right->length;
        if (len > kMaxText) return Fail(ExprStatus::kTooLong, at, "text result too long");
        left = Binary(Op::kConcat, ExprType::kCharacter, std::move(left), std::move(right));
        left->length = len;
      } else if (left->type == ExprType::kNumeric) {
        left = Binary(Op::kAdd, ExprType::kNumeric, std::move(left), std::move(right));
      } else {
        return Fail(ExprStatus::kTypeMismatch, at, "+ of dates or logical values");
      }
    }
    return failed_ ? nullptr : std::move(left);
  }

  std::unique_ptr<Node> Primary() {
    const Token t = tok_;
    switch (t.kind) {
      case Tok::kString: {
        if (t.text.size() > kMaxText) return Fail(ExprStatus::kTooLong, t.pos, "text literal too long");
        Advance();
        auto n = Make(Op::kString, ExprType::kCharacter, static_cast<std::uint32_t>(t.text.size()));
        n->text = t.text;
        return n;
      }
      case Tok::kNumber: {
        Advance();
        auto n = Make(Op::kNumber, ExprType::kNumeric);
        n->number = t.number;
        return n;
      }
      case Tok::kTrue:
      case Tok::kFalse: {
        Advance();
        auto n = Make(Op::kBool, ExprType::kLogical);
        n->logical = t.kind == Tok::kTrue;
        return n;
      }
      case Tok::kLParen: {
        if (++depth_ > kMaxDepth) return Fail(ExprStatus::kTooLong, t.pos, "expression nested too deeply");
        Advance();
        std::unique_ptr<Node> inner = Or();
        if (failed_) return nullptr;
        if (tok_.kind != Tok::kRParen) return Fail(ExprStatus::kSyntax, tok_.pos, "missing )");
        --depth_;
        Advance();
        return inner;
      }
      case Tok::kName:
        Advance();
        if (tok_.kind == Tok::kLParen) return Function(t);
        return Field(t);
      case Tok::kEnd:
        return Fail(ExprStatus::kSyntax, t.pos, "operand missing at the end");
      default:
        return Fail(ExprStatus::kSyntax, t.pos, "operand expected");
    }
  }

  std::unique_ptr<Node> Field(const Token& t) {
    for (const FieldLayout& f : layout_) {
      std::string name = f.name;
      for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (name != t.text) continue;
      auto n = Make(Op::kField, ExprType::kCharacter, f.length);
      n->fieldType = f.type;
      n->offset = f.offset;
      n->width = f.length;
      switch (f.type) {
        case 'C': break;
        case 'N': case 'F': n->type = ExprType::kNumeric; n->length = 0; break;
        case 'D': n->type = ExprType::kDate; n->length = 0; break;
        case 'L': n->type = ExprType::kLogical; n->length = 0; break;
        default: return Fail(ExprStatus::kTypeMismatch, t.pos, "memo or unknown field type in expression");
      }
      if (n->type == ExprType::kCharacter && f.length > kMaxText) return Fail(ExprStatus::kTooLong, t.pos, "field too wide");
      return n;
    }
    return Fail(ExprStatus::kUnknownField, t.pos, "unknown field");
  }

  std::unique_ptr<Node> Function(const Token& name) {
    if (++depth_ > kMaxDepth) return Fail(ExprStatus::kTooLong, name.pos, "expression nested too deeply");
    Advance();  // past "("
    std::vector<std::unique_ptr<Node>> args;
    if (tok_.kind != Tok::kRParen) {
      for (;;) {
        std::unique_ptr<Node> a = Or();
        if (failed_) return nullptr;
        args.push_back(std::move(a));
        if (tok_.kind == Tok::kComma) {
          Advance();
          continue;
        }
        break;
      }
    }
    if (tok_.kind != Tok::kRParen) return Fail(ExprStatus::kSyntax, tok_.pos, "missing )");
    Advance();
    --depth_;
    const std::string& f = name.text;
    auto needText = [&](std::size_t i) { return args[i]->type == ExprType::kCharacter; };
    auto needNumber = [&](std::size_t i) { return args[i]->type == ExprType::kNumeric; };
    if (f == "UPPER" || f == "TRIM" || f == "LEN") {
      if (args.size() != 1) return Fail(ExprStatus::kArgumentCount, name.pos, "one argument expected");
      if (!needText(0)) return Fail(ExprStatus::kTypeMismatch, name.pos, "text argument expected");
      if (f == "LEN") {
        auto n = Make(Op::kLen, ExprType::kNumeric);
        n->kids.push_back(std::move(args[0]));
        return n;
      }
      auto n = Make(f == "UPPER" ? Op::kUpper : Op::kTrim, ExprType::kCharacter, args[0]->length);
      n->kids.push_back(std::move(args[0]));
      return n;
    }
    if (f == "SUBS" || f == "SUBSTR") {
      if (args.size() < 2 || args.size() > 3) return Fail(ExprStatus::kArgumentCount, name.pos, "two or three arguments expected");
      if (!needText(0) || !needNumber(1) || (args.size() == 3 && !needNumber(2)))
        return Fail(ExprStatus::kTypeMismatch, name.pos, "SUBS(text, start, length) expected");
      std::uint32_t len = args[0]->length;
      if (args[1]->op == Op::kNumber) {
        const double start = args[1]->number < 1 ? 1 : args[1]->number;
        len = start > len ? 0 : static_cast<std::uint32_t>(len - static_cast<std::uint32_t>(start) + 1);
      }
      if (args.size() == 3 && args[2]->op == Op::kNumber) {
        const double c = args[2]->number;
        if (c <= 0) len = 0;
        else if (c < len) len = static_cast<std::uint32_t>(c);
      }
      auto n = Make(Op::kSubs, ExprType::kCharacter, len);
      for (auto& a : args) n->kids.push_back(std::move(a));
      return n;
    }
    return Fail(ExprStatus::kUnknownFunction, name.pos, "unknown function");
  }

  std::string_view src_;
  const RecordLayout& layout_;
  std::size_t pos_ = 0;
  Token tok_;
  bool failed_ = false;
  ExprError error_;
  int depth_ = 0;
};

// The pieces of a concatenation of fields and literals, in order; false (pieces cleared) for
// any other expression.
bool Flatten(const Node& n, std::vector<KeyPiece>* pieces) {
  bool flat = true;
  switch (n.op) {
    case Op::kField:
      pieces->push_back({n.offset, n.length, nullptr});
      break;
    case Op::kString:
      pieces->push_back({0, static_cast<std::uint32_t>(n.text.size()), &n.text});
      break;
    case Op::kConcat:
      flat = n.type == ExprType::kCharacter && Flatten(*n.kids[0], pieces) && Flatten(*n.kids[1], pieces);
      break;
    default:
      flat = false;
  }
  if (!flat) pieces->clear();
  return flat;
}

}  // namespace

Expression::Expression() : impl_(std::make_unique<Impl>()) {}
Expression::~Expression() = default;

std::unique_ptr<Expression> Expression::Parse(std::string_view text, const RecordLayout& layout,
                                              ExprError* error) {
  Parser parser(text, layout);
  std::unique_ptr<Node> root = parser.Run(error);
  if (!root) return nullptr;
  std::unique_ptr<Expression> e(new Expression());
  e->impl_->root = std::move(root);
  e->impl_->source = std::string(text);
  if (e->impl_->root->type == ExprType::kCharacter) Flatten(*e->impl_->root, &e->impl_->pieces);
  if (error) *error = ExprError();
  return e;
}

ExprType Expression::type() const { return impl_->root->type; }
std::uint32_t Expression::length() const {
  return impl_->root->type == ExprType::kCharacter ? impl_->root->length : 0;
}
const std::string& Expression::source() const { return impl_->source; }

void Expression::Evaluate(const std::uint8_t* record, ExprValue* out) const {
  const Node& n = *impl_->root;
  out->type = n.type;
  out->text.clear();
  out->number = 0;
  out->logical = false;
  switch (n.type) {
    case ExprType::kCharacter: Evaluator::Text(n, record, out->text); break;
    case ExprType::kNumeric:
    case ExprType::kDate: out->number = Evaluator::Number(n, record); break;
    case ExprType::kLogical: out->logical = Evaluator::Logical(n, record); break;
  }
}

bool Expression::IsTrue(const std::uint8_t* record) const {
  const Node& n = *impl_->root;
  return n.type == ExprType::kLogical && Evaluator::Logical(n, record);
}

void Expression::EvaluateText(const std::uint8_t* record, char* out) const {
  const Node& n = *impl_->root;
  if (n.type != ExprType::kCharacter) return;
  if (!impl_->pieces.empty()) {
    // The same bytes the evaluator would join, cut or padded to the key length.
    std::size_t at = 0;
    const std::size_t len = n.length;
    for (const KeyPiece& p : impl_->pieces) {
      if (at >= len) break;
      const std::size_t take = std::min<std::size_t>(p.length, len - at);
      std::memcpy(out + at, p.literal ? p.literal->data() : reinterpret_cast<const char*>(record) + p.offset, take);
      at += take;
    }
    if (at < len) std::memset(out + at, ' ', len - at);
    return;
  }
  thread_local std::string scratch;
  scratch.clear();
  Evaluator::Text(n, record, scratch);
  const std::size_t len = n.length;
  const std::size_t copy = std::min(len, scratch.size());
  std::memcpy(out, scratch.data(), copy);
  if (copy < len) std::memset(out + copy, ' ', len - copy);
}

}  // namespace dbase
