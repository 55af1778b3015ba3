// Statements that fetch data: report variables and conditions on them, the dossier's tables,
// fields, relations and memo keywords, field writes of the raw table browser, the dossier's
// record and constants, and the export delimiter.
#include <algorithm>
#include <cstdio>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "platform/system/cp1252.h"
#include "reports/engine/core/interpreter_impl.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace reports {

namespace {

std::vector<std::string> SplitAt(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  return parts;
}

std::string Fit(std::string text, int width) {
  if (width < 0) width = 0;
  if (width > static_cast<int>(kResultLimit)) width = static_cast<int>(kResultLimit);
  return PadRight(std::move(text), static_cast<std::size_t>(width));
}

// Characters from 1-based position pp, nn of them (0 = to the end).
std::string Part(std::string_view text, int pp, int nn) {
  if (pp < 1) pp = 1;
  if (static_cast<std::size_t>(pp) > text.size()) return nn > 0 ? std::string(static_cast<std::size_t>(nn), ' ') : "";
  std::string out(text.substr(static_cast<std::size_t>(pp - 1)));
  if (nn > 0) out = Fit(out, nn);
  return out;
}

const char* kTablePrefixes[] = {"c10", "c20", "c30", "c40", "c50", "c60", "c70", "cxx", "ce0", "ce1"};

DossierTableId TableIdOf(std::string_view prefix) {
  if (prefix == "cxx") return DossierTableId::kCXX;
  if (prefix == "ce0" || prefix == "ce1") return DossierTableId::kCE;
  return static_cast<DossierTableId>((prefix[1] - '0') * 10);
}

const char* TablePath(DossierTableId id) {
  switch (id) {
    case DossierTableId::kC10: return PathC10();
    case DossierTableId::kC20: return PathC20();
    case DossierTableId::kC30: return PathC30();
    default: return nullptr;
  }
}

const char* CodeTag(DossierTableId id) {
  switch (id) {
    case DossierTableId::kC10: return "C10CODE";
    case DossierTableId::kC20: return "C20CODE";
    case DossierTableId::kC30: return "C30CODE";
    default: return "";
  }
}

// A field of the table by name or by number (0 when none).
int FieldOf(Table& t, std::string_view name) {
  const std::string trimmed = Trimmed(name);
  if (trimmed.empty()) return 0;
  const int number = LeadingInt(trimmed);
  if (number > 0) return number <= t.FieldCount() ? number : 0;
  return t.FieldPos(trimmed);
}

using Reference = ReportInterpreter::Impl::VariableReference;

Reference ParseReference(std::string_view text) {
  Reference r;
  const std::vector<std::string> parts = SplitAt(text, ',');
  std::string head = TrimmedRight(parts[0]);
  if (parts.size() >= 2) {
    r.hasPart = true;
    r.pp = LeadingInt(parts[1]);
  }
  if (parts.size() >= 3) {
    const std::string n = Trimmed(parts[2]);
    if (n == "@") {
      r.nnFromValue = true;
    } else {
      r.nn = LeadingInt(n);
    }
  }
  const std::size_t colon = head.find(':');
  if (colon != std::string::npos) {
    r.relation = head.substr(colon + 1, 16);
    head = head.substr(0, colon);
    if (head.size() > 10) head.resize(10);
  }
  r.name = head;
  return r;
}

}  // namespace

Table* ReportInterpreter::Impl::TableOf(DossierTableId id) { return env.DossierTable(id); }

Table* ReportInterpreter::Impl::CurrentTable() { return TableOf(c.currentTable); }

int ReportInterpreter::Impl::FieldIndex(std::string_view name) {
  ReportFieldTable& fields = owner.ReportFields();
  const int number = LeadingInt(name);
  if (number != 0) return number;
  // A name has one entry at most, so the search may begin anywhere: after the last one found, as
  // a template names its variables in the same order line after line.
  const std::size_t count = fieldIndexes.size();
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t i = (fieldIndexNext + k) % count;
    const FieldIndexEntry& e = fieldIndexes[i];
    if (e.name != name || e.index < 0 || e.index >= fields.FieldCount()) continue;
    // Still the same variable: the owner may declare its fields again between runs.
    if (fields.Definition(e.index).compare(0, kFieldNameLength, e.declared) == 0) {
      fieldIndexNext = i + 1 < count ? i + 1 : 0;
      return e.index;
    }
  }
  const int index = fields.FindField(UpperCp1252(name).c_str());
  if (fieldIndexes.size() > 64) fieldIndexes.clear();
  // An entry of the name that no longer holds is replaced.
  std::erase_if(fieldIndexes, [&](const FieldIndexEntry& e) { return e.name == name; });
  fieldIndexes.push_back({std::string(name), index, fields.Definition(index).substr(0, kFieldNameLength)});
  fieldIndexNext = 0;
  return index;
}

std::string ReportInterpreter::Impl::RelatedField(std::string_view relation, const std::string& value, int pp,
                                                  int nn, bool& ok) {
  ok = false;
  const std::string rel = LowerCp1252(relation);
  DossierTableId id = DossierTableId::kNone;
  std::string key = value;
  std::string fieldName;
  if (StartsWith(rel, "c10->") && rel.size() > 5) {
    id = DossierTableId::kC10;
    key = UpperCp1252(rel.substr(5, 1)) + value;
    fieldName = rel.substr(6);
  } else if (StartsWith(rel, "c20->")) {
    id = DossierTableId::kC20;
    fieldName = rel.substr(5);
  } else if (StartsWith(rel, "c30->")) {
    id = DossierTableId::kC30;
    fieldName = rel.substr(5);
  }
  Table* t = id == DossierTableId::kNone ? nullptr : TableOf(id);
  const int width = nn > 0 ? nn : 3;
  if (t == nullptr || !t->isOpen) return std::string(static_cast<std::size_t>(width), '?');
  const int field = FieldOf(*t, fieldName);
  const std::string wanted = TrimmedRight(key);
  const Lookup at = field == 0 || wanted.empty() ? Lookup::NotFound() : t->Find(CodeTag(id), wanted.c_str());
  const Lookup live = at.IsFound() && !t->eof ? t->LiveHere() : at;
  NoteUnreadLookup(*t, live);
  if (!live.IsFound() || t->eof) {
    return std::string(static_cast<std::size_t>(width), '?');
  }
  // The key must be the record's whole code, not only its beginning.
  std::string found = id == DossierTableId::kC10 ? std::string(t->GetField(1)) + t->GetField(2) : t->GetField(1);
  if (TrimmedRight(found) != wanted) return std::string(static_cast<std::size_t>(width), '?');
  const char type = t->FieldType(field);
  if (type != 'C' && type != 'N') return std::string(static_cast<std::size_t>(width), '?');
  ok = true;
  return Part(FieldTextAsRead(*t, field), pp, nn);
}

bool ReportInterpreter::Impl::FieldReference(std::string_view reference, DossierTableId table) {
  const Reference r = ParseReference(reference);
  Table* t = TableOf(table);
  if (t == nullptr || !t->isOpen) return false;
  const int field = FieldOf(*t, r.name);
  if (field == 0) return false;
  const char type = t->FieldType(field);
  if (type != 'C' && type != 'N') return false;
  std::string text = t->recordNumber == 0 ? std::string(static_cast<std::size_t>(t->FieldWidth(field)), ' ')
                                          : FieldTextAsRead(*t, field);
  if (!r.relation.empty()) {
    bool ok = false;
    if (IsBlank(text)) text.assign(static_cast<std::size_t>(t->FieldWidth(field)), ' ');
    text = RelatedField(r.relation, text, r.pp, r.nn, ok);
  } else {
    text = Part(text, r.pp, r.nn);
  }
  Replace(Escaped(text, InValueStatements::kDrop));
  return true;
}

bool ReportInterpreter::Impl::Relation() {
  // [REL:key,Cyyz]: table Cyy positioned on field `key` of the current table (C10 with the
  // kind letter z).
  const std::vector<std::string> parts = SplitAt(std::string_view(statement).substr(4), ',');
  Table* from = CurrentTable();
  auto fail = [&] { Replace("?rel:?"); };
  if (parts.size() != 2 || from == nullptr || !from->isOpen) {
    fail();
    return true;
  }
  const std::string target = Trimmed(parts[1]);
  if (target.size() < 3 || (StartsWith(target, "c10") && target.size() < 4)) {
    fail();
    return true;
  }
  const DossierTableId id = StartsWith(target, "c10")   ? DossierTableId::kC10
                            : StartsWith(target, "c20") ? DossierTableId::kC20
                            : StartsWith(target, "c30") ? DossierTableId::kC30
                                                        : DossierTableId::kNone;
  const int field = FieldOf(*from, parts[0]);
  Table* to = TableOf(id);
  if (id == DossierTableId::kNone || field == 0 || to == nullptr) {
    fail();
    return true;
  }
  if (!to->isOpen && (TablePath(id) == nullptr || !to->OpenShared(TablePath(id), CodeTag(id)))) {
    fail();
    return true;
  }
  const char type = from->FieldType(field);
  if (type != 'C' && type != 'N') {
    fail();
    return true;
  }
  std::string key = TrimmedRight(from->GetField(field));
  if (id == DossierTableId::kC10) key = UpperCp1252(target.substr(3, 1)) + key;
  const Lookup at = key.empty() ? Lookup::NotFound() : to->Find(CodeTag(id), key.c_str());
  NoteUnreadLookup(*to, at);
  if (!at.IsFound() || to->eof) fail();
  return true;
}

bool ReportInterpreter::Impl::TryTables() {
  if (!FirstIn("c-r")) return false;
  std::string_view s = statement;
  DossierTableId table = c.currentTable;
  if (s[0] == 'r' && !StartsWith(s, "rel:")) return false;
  if (s[0] == 'c') {
    for (const char* prefix : kTablePrefixes) {
      if (StartsWith(s, prefix)) {
        table = TableIdOf(prefix);
        c.currentTable = table;
        if (s.size() == 3) return true;
        s = s.substr(3);
        break;
      }
    }
  }
  if (StartsWith(s, "->")) {
    if (!FieldReference(s.substr(2), table)) Unrecognised();
    return true;
  }
  if (StartsWith(s, "rel:")) {
    statement = std::string(s);
    return Relation();
  }
  if (s.size() != statement.size()) {
    fullStatement = statement;
    statement = std::string(s);
  }
  return false;
}

bool ReportInterpreter::Impl::Variable() {
  std::string_view rest(statement);
  rest.remove_prefix(1);
  int barcode = 0;
  bool positioning = false;
  if (!rest.empty() && rest[0] >= '1' && rest[0] <= '5') {
    barcode = rest[0] - '0';
    rest.remove_prefix(1);
  }
  if (!rest.empty() && rest[0] == '#') {
    positioning = true;
    rest.remove_prefix(1);
  }
  Reference r;
  std::string_view name;
  if (std::none_of(rest.begin(), rest.end(), [](char ch) { return ch == ',' || ch == ':'; })) {
    // The usual [@NAME], its trailing blanks cut.
    const std::size_t end = rest.find_last_not_of(' ');
    name = rest.substr(0, end == std::string_view::npos ? 0 : end + 1);
  } else {
    r = ParseReference(rest);
    name = r.name;
  }
  return ShowVariable(FieldIndex(name), r, barcode, positioning);
}

bool ReportInterpreter::Impl::PlainVariable(BodyToken& token) {
  // The index of the name is found again only when the owner declared its fields anew.
  ReportFieldTable& fields = owner.ReportFields();
  if (token.fieldTable != &fields || token.fieldGeneration != fields.DeclarationGeneration()) {
    token.fieldIndex = FieldIndex(std::string_view(token.lowered).substr(1));
    token.fieldTable = &fields;
    token.fieldGeneration = fields.DeclarationGeneration();
  }
  if (token.fieldIndex < 0 || token.fieldIndex >= fields.FieldCount()) {
    statement.assign(token.lowered);
    Unrecognised();
    return true;
  }
  static const VariableReference kPlain;
  return ShowVariable(token.fieldIndex, kPlain, 0, false);
}

bool ReportInterpreter::Impl::ShowVariable(int index, const VariableReference& r, int barcode, bool positioning) {
  ReportFieldTable& fields = owner.ReportFields();
  if (index < 0 || index >= fields.FieldCount()) {
    Unrecognised();
    return true;
  }
  const std::string& definition = fields.Definition(index);
  const char type = FieldTypeOf(definition);
  const bool numeric = type == 'N' || type == 'M';
  const ExportSettings& e = c.exportSettings;
  // Delimited and CSV exports get the exact value of a whole number or amount as a plain
  // number, in the field's width (its text is then never needed).
  if (numeric && !r.hasPart && r.relation.empty() && barcode == 0 && !positioning && c.exportFile->IsOpen() &&
      !e.html && !e.noDelimiter) {
    std::string plain = fields.PlainNumber(index, e.decimalMark);
    if (!plain.empty()) {
      const std::size_t width = static_cast<std::size_t>(FieldWidthOf(definition));
      if (plain.size() < width) plain.insert(0, width - plain.size(), ' ');
      if (c.noZeroAmounts && fields.GetFieldNumber(index) == 0.0) plain.assign(plain.size(), ' ');
      NoteWideNumber(plain.size(), static_cast<int>(width));
      ReplaceEscaped(plain);
      return true;
    }
  }
  const std::string& value = fields.Value(index);
  int nn = r.nn;
  if (r.nnFromValue) nn = LeadingInt(std::string_view(value).substr(0, 3));
  if (nn > static_cast<int>(kResultLimit)) nn = static_cast<int>(kResultLimit);
  const int pp = r.pp < 1 ? 1 : r.pp;
  if (r.relation.empty() && nn <= 0 && !positioning && barcode == 0 && !(numeric && c.noZeroAmounts)) {
    // The usual value, from its first character or from pp on.
    std::string_view shown;
    if (static_cast<std::size_t>(pp) <= value.size()) shown = std::string_view(value).substr(static_cast<std::size_t>(pp - 1));
    // A number, or a balance written whole, wider than its variable grows to its left.
    NoteWideNumber(shown.size(), FieldWidthOf(definition) - (pp - 1));
    ReplaceEscaped(shown);
    return true;
  }
  std::string& text = variableText;
  text.clear();
  if (!r.relation.empty()) {
    bool ok = false;
    text = RelatedField(r.relation, value, r.pp, r.nn, ok);
  } else if (nn > 0) {
    // Gathered from pp on, into the following variables when this one is too short; past the
    // last variable the text is padded with blanks.
    text = Part(value, pp, 0);
    for (int next = index + 1; static_cast<int>(text.size()) < nn && next < fields.FieldCount(); ++next) {
      text += fields.Value(next);
    }
    text = Fit(text, nn);
  } else {
    if (static_cast<std::size_t>(pp) <= value.size()) text.assign(value, static_cast<std::size_t>(pp - 1));
  }
  if (numeric && c.noZeroAmounts && r.relation.empty() && fields.GetFieldNumber(index) == 0.0) {
    text.assign(text.size(), ' ');
  }
  if (text.size() > kResultLimit) text.resize(kResultLimit);
  if (positioning) {
    const int line = LeadingInt(std::string_view(text).substr(0, 3));
    const int column = text.size() > 3 ? LeadingInt(std::string_view(text).substr(3, 3)) : 0;
    if (line > 0 && column > 0) {
      if (!prefix.empty()) Flush();
      c.currentY = TopOfLine(line);
      c.linesLeft = c.linesPerPage - line;
      c.currentX = (column - 1) * c.columnWidth + c.lineStartX;
    }
    return true;
  }
  if (barcode != 0) {
    Barcode(barcode, TrimmedRight(text));
    return true;
  }
  if (r.relation.empty()) NoteWideNumber(text.size(), nn > 0 ? nn : FieldWidthOf(definition) - (pp - 1));
  scratch.swap(text);
  EscapeBrackets(scratch, InValueStatements::kKeep);
  Replace(scratch);
  return true;
}

bool ReportInterpreter::Impl::Condition() {
  const std::string body = statement.substr(3);
  const std::size_t first = body.find(',');
  if (first == std::string::npos) {
    Unrecognised();
    return true;
  }
  const std::size_t last = body.rfind(',');
  const std::string condition = Trimmed(body.substr(0, first));
  const std::string thenText = last == first ? body.substr(first + 1) : body.substr(first + 1, last - first - 1);
  const std::string elseText = last == first ? std::string() : body.substr(last + 1);
  if (condition.size() < 2 || condition[0] != '@') {
    Unrecognised();
    return true;
  }
  const std::size_t op = condition.find_first_of("<>=#$!", 1);
  if (op == std::string::npos) {
    Unrecognised();
    return true;
  }
  std::string oper = condition.substr(op, 1);
  const std::string two = condition.substr(op, 2);
  if (two == ">=" || two == "<=" || two == "!$") oper = two;
  if (oper == "!") {
    Unrecognised();
    return true;
  }
  const std::string name = Trimmed(condition.substr(1, op - 1));
  std::string wanted = Trimmed(condition.substr(op + oper.size()));
  ReportFieldTable& fields = owner.ReportFields();
  const int index = FieldIndex(name);
  if (index < 0 || index >= fields.FieldCount()) {
    Unrecognised();
    return true;
  }
  const std::string value = fields.Value(index);
  bool quoted = wanted.size() >= 2 && (wanted[0] == '\'' || wanted[0] == '"') && wanted.back() == wanted[0];
  bool result = false;
  if (quoted || oper == "$" || oper == "!$") {
    // Texts are compared whole, both trimmed, without regard to case (the statement itself is
    // lower-cased).
    if (quoted) wanted = wanted.substr(1, wanted.size() - 2);
    const std::string a = LowerCp1252(Trimmed(value));
    const std::string b = LowerCp1252(Trimmed(wanted));
    if (oper == "=") result = a == b;
    else if (oper == "#") result = a != b;
    else if (oper == "<") result = a < b;
    else if (oper == ">") result = a > b;
    else if (oper == "<=") result = a <= b;
    else if (oper == ">=") result = a >= b;
    else if (oper == "$") result = a.find(b) != std::string::npos;
    else result = a.find(b) == std::string::npos;
  } else {
    const double a = fields.GetFieldNumber(index);
    std::string packed;
    for (char ch : wanted) {
      if (ch != ' ') packed += ch == ',' ? '.' : ch;
    }
    const double b = Val(packed.c_str());
    if (oper == "=") result = a == b;
    else if (oper == "#") result = a != b;
    else if (oper == "<") result = a < b;
    else if (oper == ">") result = a > b;
    else if (oper == "<=") result = a <= b;
    else result = a >= b;
  }
  std::string chosen = result ? thenText : elseText;
  if (chosen.size() >= 2 && chosen.back() == '@') {
    // "@V1@" stands for [@V1], "S:5@" for [S:5].
    chosen.pop_back();
    Replace("[" + chosen + "]");
    return true;
  }
  std::string out;
  if (!chosen.empty() && chosen[0] == '!') {
    out = UpperCp1252(chosen.substr(1));
  } else {
    for (std::size_t i = 0; i < chosen.size(); ++i) {
      if (chosen[i] == '!' && !out.empty()) {
        out.back() = UpperCp1252(std::string(1, out.back()))[0];
      } else {
        out += chosen[i];
      }
    }
  }
  Replace(out);
  return true;
}

bool ReportInterpreter::Impl::IfVariableBlock(bool whenBlank) {
  const std::string name = Trimmed(statement.substr(whenBlank ? 4 : 3));
  ReportFieldTable& fields = owner.ReportFields();
  const int index = FieldIndex(name);
  if (index < 0 || index >= fields.FieldCount()) return true;
  const bool blank = IsBlank(fields.Value(index));
  SelectBlock('\xAB', '\xBB', whenBlank ? blank : !blank);
  return true;
}

bool ReportInterpreter::Impl::MemoKeyword() {
  // [MMot:key,nn] / [MMot-key,nn]: the text after "key=" in the current record's memo.
  const bool squeeze = statement[4] == '-';
  const std::vector<std::string> parts = SplitAt(std::string_view(statement).substr(5), ',');
  const int nn = parts.size() >= 2 ? LeadingInt(parts[1]) : 10;
  const std::string blanks(static_cast<std::size_t>(nn < 0 ? 0 : nn > 255 ? 255 : nn), ' ');
  Table* t = CurrentTable();
  if (nn < 1 || nn > 99 || t == nullptr || !t->isOpen || t->recordNumber == 0 || t->FieldCount() < 1) {
    Replace(blanks);
    return true;
  }
  const std::string first = t->FieldName(1);
  const int memo = t->FieldPos(first.substr(0, 1) + LoadStr(kMemoFieldSuffix));
  if (memo == 0 || t->FieldType(memo) != 'M') {
    Replace(blanks);
    return true;
  }
  const std::string text = UpperCp1252(t->GetMemo(memo, 4000));
  const std::string key = UpperCp1252(Trimmed(parts[0])) + "=";
  const std::size_t at = text.find(key);
  if (at == std::string::npos) {
    Replace(blanks);
    return true;
  }
  std::string value = text.substr(at + key.size());
  const std::size_t end = value.find("\r\n");
  if (end != std::string::npos) value.resize(end);
  if (squeeze) {
    std::string packed;
    for (char ch : value) {
      if (ch != ' ') packed += ch;
    }
    value = packed;
  }
  Replace(Escaped(Fit(value, nn), InValueStatements::kDrop));
  return true;
}

bool ReportInterpreter::Impl::WordAfter() {
  // [MotCle,field,word,nn]: the text after a word in a character or memo field.
  const std::vector<std::string> parts = SplitAt(statement, ',');
  if (parts.size() != 4) {
    Unrecognised();
    return true;
  }
  const int nn = LeadingInt(parts[3]);
  const std::string blanks(static_cast<std::size_t>(nn < 0 ? 0 : nn > 255 ? 255 : nn), ' ');
  Table* t = CurrentTable();
  if (t == nullptr || !t->isOpen || t->recordNumber == 0) {
    Replace(blanks);
    return true;
  }
  const int field = FieldOf(*t, parts[1]);
  const char type = field == 0 ? ' ' : t->FieldType(field);
  if (type != 'C' && type != 'M') {
    Replace(blanks);
    return true;
  }
  const std::string text = UpperCp1252(type == 'M' ? t->GetMemo(field, 4000) : t->GetField(field));
  const std::string word = UpperCp1252(parts[2]);
  const std::size_t at = word.empty() ? std::string::npos : text.find(word);
  if (at == std::string::npos) {
    Replace(blanks);
    return true;
  }
  std::string value = text.substr(at + word.size());
  const std::size_t end = value.find_first_of("\r\n");
  if (end != std::string::npos) value.resize(end);
  Replace(Escaped(Fit(value, nn), InValueStatements::kDrop));
  return true;
}

bool ReportInterpreter::Impl::TryVariablesAndConditions() {
  if (!FirstIn("r@nsm")) return false;
  const std::string& s = statement;
  // A report variable, the statement met most (every other "@" statement is "@nbl").
  if (s[0] == '@' && std::string_view(s) != std::string_view("@nbl")) return Variable();
  if (s == "recn") {
    Table* t = CurrentTable();
    Replace(StrZero(t != nullptr && t->isOpen ? static_cast<long>(t->recordNumber) : 0, 6));
    return true;
  }
  if (s == "@nbl" || StartsWith(s, "nbl")) {
    const char d = s.size() > 3 ? s[3] : ' ';
    char buffer[32];
    if (d >= '1' && d <= '6') {
      std::snprintf(buffer, sizeof buffer, "%06ld", owner.ListLineCount() % 1000000);
      Replace(std::string(buffer).substr(static_cast<std::size_t>(6 - (d - '0'))));
    } else {
      std::snprintf(buffer, sizeof buffer, "%5ld", owner.ListLineCount());
      Replace(buffer);
    }
    return true;
  }
  if (!s.empty() && s[0] == '@') return Variable();
  if (StartsWith(s, "si:")) return Condition();
  if (StartsWith(s, "si@")) return IfVariableBlock(false);
  if (StartsWith(s, "si!@")) return IfVariableBlock(true);
  if (StartsWith(s, "motcle,")) return WordAfter();
  return false;
}

bool ReportInterpreter::Impl::TryMemoWord() {
  if (!FirstIn("m")) return false;
  if (StartsWith(statement, "mmot:") || StartsWith(statement, "mmot-")) return MemoKeyword();
  return false;
}

bool ReportInterpreter::Impl::TryFieldNames() {
  if (!FirstIn("$")) return false;
  const std::string& s = statement;
  const bool name = StartsWith(s, "$n");
  if (!name && !StartsWith(s, "$c")) return false;
  Table* t = CurrentTable();
  if (t == nullptr || !t->isOpen) return false;
  const int field = FieldOf(*t, std::string_view(s).substr(2));
  if (field == 0) return false;
  const char type = t->FieldType(field);
  if (type != 'C' && type != 'N') return false;
  const int width = t->FieldWidth(field);
  std::string text;
  if (name) {
    text = t->FieldName(field);
  } else if (t->recordNumber != 0) {
    const std::string stored = FieldTextAsRead(*t, field);
    const int file = static_cast<int>(c.currentTable) >= 10 ? static_cast<int>(c.currentTable) : 0;
    if (!PrintFieldText(text, file, field, stored)) {
      text = stored;
      IsPrintableAmountField(text, file, field, type);
    }
  }
  if (static_cast<int>(text.size()) < width) text.resize(static_cast<std::size_t>(width), ' ');
  if (text.size() > kResultLimit) text.resize(kResultLimit);
  Replace(Escaped(text, InValueStatements::kDrop));
  return true;
}

bool ReportInterpreter::Impl::TryDelimiter() {
  if (!FirstIn("d")) return false;
  const std::string& s = statement;
  if (StartsWith(s, "delimiteur=")) {
    std::string d = s.substr(11, 3);
    d.resize(3, ' ');
    c.exportSettings.delimiter = d;
    return true;
  }
  if (s == "delimiteur") {
    Replace(DelimiterText(c.exportSettings.delimiter));
    return true;
  }
  return false;
}

bool ReportInterpreter::Impl::TryDossierValues() {
  if (!FirstIn("tdrvsaf")) return false;
  const std::string& s = statement;
  const DossierRecord& d = env.Dossier();
  auto escaped = [&](const std::string& t) { Replace(Escaped(t, InValueStatements::kDrop)); };
  if (s == "tauxeuro") {
    Replace(FormatNumber(8, 5, false, d.Parity()));
  } else if (s == "dossier") {
    escaped(env.DossierCode());
  } else if (StartsWith(s, "rs")) {
    const std::size_t comma = s.find(',');
    int n = comma == std::string::npos ? 30 : LeadingInt(std::string_view(s).substr(comma + 1));
    if (n < 0) n = 0;
    if (n > static_cast<int>(kResultLimit)) n = static_cast<int>(kResultLimit);
    escaped(d.Get(1, n));
  } else if (s == "r1") {
    escaped(d.Get(31, 30));
  } else if (s == "r2") {
    // Each pair of blanks becomes one blank.
    const std::string line = Trimmed(d.Get(61, 30));
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
      out += line[i];
      if (line[i] == ' ' && i + 1 < line.size() && line[i + 1] == ' ') ++i;
    }
    out.resize(30, ' ');
    escaped(out);
  } else if (s == "vl") {
    escaped(d.Get(91, 30));
  } else if (s == "ville") {
    escaped(TrimmedRight(d.Get(97, 24)));
  } else if (s == "sa") {
    escaped(d.Get(121, 30));
  } else if (s == "date") {
    escaped(d.DateDisplay(DossierRecord::DateField::Working));
  } else if (s == "annee") {
    Ymd date;
    escaped(d.DateYmd(DossierRecord::DateField::Working, date) ? std::to_string(date.year) : std::string());
  } else if (s == "debex") {
    escaped(d.DateDisplay(DossierRecord::DateField::YearStart));
  } else if (s == "finex") {
    escaped(d.DateDisplay(DossierRecord::DateField::YearEnd));
  } else {
    return false;
  }
  return true;
}

bool ReportInterpreter::Impl::TryConstant() {
  if (!FirstIn("c")) return false;
  const std::string& s = statement;
  if (!StartsWith(s, "cst:")) return false;
  if (s.size() == 7) {
    Replace(Escaped(env.Dossier().Constant(LeadingInt(std::string_view(s).substr(4, 3))), InValueStatements::kDrop));
    return true;
  }
  const std::vector<std::string> parts = SplitAt(s, ',');
  if (s.size() < 13 || (parts.size() != 3 && parts.size() != 4)) {
    Unrecognised();
    return true;
  }
  const std::string constant = UpperCp1252(env.Dossier().Constant(LeadingInt(std::string_view(parts[0]).substr(4))));
  const std::string macro = StartsWith(constant, UpperCp1252(parts[1])) ? parts[2] : parts.size() == 4 ? parts[3] : "";
  if (!macro.empty()) Insert("[" + macro + "]");
  return true;
}

bool ReportInterpreter::Impl::FieldWrite() {
  // Writes into the current record, only for the raw table browser's previews.
  const std::string& s = statement;
  Table* t = CurrentTable();
  if (StartsWith(s, "coefficient%:")) {
    if (c.updateCoefficient != 0.0) return false;
    std::string value;
    env.AskValue(LoadStr(kPromptCoefficient), value);
    double coefficient = Val(value.c_str());
    if (coefficient <= 0 || coefficient > 10) coefficient = 1;
    c.updateCoefficient = coefficient;
    Replace(FormatNumber(6, 3, false, coefficient));
    return true;
  }
  if (t == nullptr || !t->isOpen || t->recordNumber == 0) return false;
  std::string fieldName;
  std::string text;
  int field = 0;
  int shown = 0;
  if (StartsWith(s, "%:")) {
    fieldName = s.substr(2);
    field = FieldOf(*t, fieldName);
    if (field == 0 || t->FieldType(field) != 'N') return false;
    shown = field;
  } else if (StartsWith(s, "raz:")) {
    fieldName = s.substr(4);
    field = FieldOf(*t, fieldName);
    if (field == 0 || t->FieldType(field) == 'M') return false;
    shown = field;
  } else if (StartsWith(s, "champ:")) {
    const std::size_t lt = s.find('<');
    if (lt == std::string::npos) return false;
    field = FieldOf(*t, s.substr(6, lt - 6));
    if (field == 0 || t->FieldType(field) == 'M') return false;
    text = s.substr(lt + 1);
    if (text.find('!') != std::string::npos) {
      std::string packed;
      for (char ch : text) {
        if (ch != '!') packed += ch;
      }
      text = UpperCp1252(packed);
    }
    shown = field;
  } else if (StartsWith(s, "copie:")) {
    const std::size_t gt = s.find('>');
    if (gt == std::string::npos) return false;
    shown = FieldOf(*t, s.substr(6, gt - 6));
    field = FieldOf(*t, s.substr(gt + 1));
    if (shown == 0 || field == 0 || t->FieldType(shown) == 'M' || t->FieldType(field) == 'M') return false;
    text = FieldTextAsRead(*t, shown);
  } else {
    return false;
  }
  const std::string shows = "[$c" + std::string(t->FieldName(shown)) + "]";
  // An amount is read as the reports read it. One whose stored text does not read as a number is
  // neither multiplied nor copied (never 0 written for it): the field stays as it is, its record
  // named at the end of the page.
  const bool update = StartsWith(s, "%:");
  const int amount = update ? field : StartsWith(s, "copie:") && t->FieldType(shown) == 'N' ? shown : 0;
  bool readable = true;
  const long long cents = amount != 0 ? StoredAmountOf(*t, amount, &readable) : 0;
  if (!readable) {
    std::string file = t->tablePath.substr(t->tablePath.rfind('/') + 1);
    unreadableUpdates.push_back(FillPlaceholders(
        LoadStr(kStrUnreadableUpdate), {UpperCp1252(file), std::to_string(t->recordNumber), t->FieldName(amount)}));
    Replace(shows);
    return true;
  }
  // The new amount of [%:], written as a number with the field's decimals.
  if (update) {
    const int decimals = t->FieldDecimals(field);
    const double value = Round(decimals, (decimals <= 2 ? FromCents(cents) : t->GetFieldNum(field)) * c.updateCoefficient);
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", std::max(0, decimals), value == 0 ? 0.0 : value);
    text = number;
  }
  // The owner writes it as it writes the table itself. A write refused (the owner's check of the
  // value, the record held elsewhere, the table layer's refusal of a write of the lines or their
  // totals outside a change or a run, the disk) leaves the field as it stands; the statement shows
  // as one not carried out, and the field is named at the end of the page with why.
  const std::uint32_t recno = t->recordNumber;
  std::string why;
  if (!owner.WriteField(*t, field, text, why)) {
    const std::string file = t->tablePath.substr(t->tablePath.rfind('/') + 1);
    if (why.empty()) why = RunIncidentText(t->result, t->tablePath, t->result);
    refusedUpdates.push_back(FillPlaceholders(LoadStr(kStrRefusedUpdate),
                                              {UpperCp1252(file), std::to_string(recno), t->FieldName(field), why}));
    // The record read again: what follows shows what it holds, not what was refused; one not read
    // is said at the end of the page.
    NoteUnreadLookup(*t, t->GoToRecord(static_cast<long>(recno)));
    return false;
  }
  Replace(shows);
  return true;
}

bool ReportOwner::WriteField(Table& table, int field, const std::string& text, std::string&) {
  if (!LockRecord(table, nullptr, 0)) return false;
  const bool ok = table.PutField(field, text.c_str());
  const int result = table.result;
  UnlockRecord(table);
  table.Commit();
  table.result = static_cast<std::uint16_t>(result);
  return ok;
}

void ReportInterpreter::Impl::NoteUnreadLookup(const Table& table, const Lookup& found) {
  if (found.IsRefused() && unreadLookup.empty()) unreadLookup = UnreadText(table.tablePath, found.result());
}

void ReportInterpreter::Impl::SayUnreadableUpdates() {
  if (!unreadLookup.empty()) {
    env.Warn(LoadStr(kCaptionAttention), unreadLookup);
    unreadLookup.clear();
  }
  if (!refusedUpdates.empty()) {
    std::string lines;
    for (const std::string& l : refusedUpdates) lines += "   " + l + "\n";
    refusedUpdates.clear();
    env.Warn(LoadStr(kCaptionAttention), FillPlaceholder(LoadStr(kMsgRefusedUpdates), lines));
  }
  if (unreadableUpdates.empty()) return;
  std::sort(unreadableUpdates.begin(), unreadableUpdates.end());
  unreadableUpdates.erase(std::unique(unreadableUpdates.begin(), unreadableUpdates.end()), unreadableUpdates.end());
  std::string lines;
  for (const std::string& l : unreadableUpdates) lines += "   " + l + "\n";
  unreadableUpdates.clear();
  // The amounts these updates left are those the page read: this box names them for the printout too.
  unreadAmounts.said = true;
  env.Warn(UnreadableAmountsCaption(), FillPlaceholder(LoadStr(kMsgUnreadableUpdates), lines));
}

}  // namespace reports
