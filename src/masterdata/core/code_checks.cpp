#include "masterdata/core/code_checks.h"

#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/core/code_records.h"
#include "masterdata/core/code_values.h"
#include "masterdata/core/masterdata_strings.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/bank_ids.h"
#include "runtime/code_helpers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace masterdata {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

NewCodeAnswer Refuse(NewCodeAnswer a, const std::string& line1, const std::string& line2 = {},
                     int focus = kNewCodeEdit) {
  a.verdict = NewCodeVerdict::Refused;
  a.line1 = line1;
  a.line2 = line2;
  a.focus = focus;
  return a;
}

bool Usable(const Table* t) { return t != nullptr && t->isOpen; }

// Found when the table holds a record (live or cancelled) whose key begins with the padded code.
Lookup Found(Table& t, const char* tag, const std::string& key, std::string* name, int nameField) {
  const Lookup found = t.Find(tag, key.c_str()).And(!t.eof && !t.bof && t.recordNumber != 0);
  if (found.IsFound() && name != nullptr) *name = RTrim(t.GetField(nameField));
  return found;
}

// A report to copy from names a file: a path holding ":", "\" or "/".
bool NamesAFile(const std::string& from) { return from.find_first_of(":\\/") != std::string::npos; }

NewCodeAnswer Existing(NewCodeAnswer a, const std::string& name) {
  return Refuse(a, LoadStr(kMsgCodeExists), std::string(AllTrim(a.code.c_str())) + " - " + name);
}

// A look-up of the check the system could not read: the code is refused with why, never taken for free
// or its model for unknown.
NewCodeAnswer Unread(NewCodeAnswer a, const RefusalWatch& reading, const Table& t, const Lookup& found) {
  return Refuse(a, CodeUnreadText(a.code, reading.Reason(0, t.tablePath, found.result())));
}

NewCodeAnswer UnknownSource(NewCodeAnswer a) {
  return Refuse(a, LoadStr(kMsgUnknownSource), a.from.substr(0, a.from.find_last_not_of(' ') + 1),
                kNewCodeFromEdit);
}

}  // namespace

NewCodeAnswer CheckNewCode(const NewCodeRequest& in) {
  NewCodeAnswer a;
  const char kind = in.kind.empty() ? '\0' : in.kind[0];
  const std::string help(1, in.helpChar);
  if (in.helpChar != '\0' && in.code.find(in.helpChar) != std::string::npos) {
    a.verdict = NewCodeVerdict::LookupCode;
    return a;
  }
  if (in.helpChar != '\0' && in.from.find(in.helpChar) != std::string::npos) {
    a.verdict = NewCodeVerdict::LookupFrom;
    a.focus = kNewCodeFromEdit;
    return a;
  }
  const bool reports = kind == 'Y' || kind == 'Z';
  if (!IsCodeListKind(kind) && kind != '2' && kind != '3' && !reports)
    return Refuse(a, UnknownKindMessage(in.kind));

  const std::string code = AllTrim(in.code.c_str());
  a.code = code;
  if (code.empty()) return Refuse(a, LoadStr(kMsgEnterCode));
  if (!IsDigit(code[0]) && !IsCapital(code[0])) return Refuse(a, LoadStr(kMsgCodeStart));
  if (kind == 'B' && !IsCapital(code[0])) return Refuse(a, LoadStr(kMsgCollectiveStart));
  if (kind == 'T' && !IsDigit(code[0])) return Refuse(a, LoadStr(kMsgVatStart));
  // A line keeps its VAT mark in one character: a longer code could never be used on a line.
  if (kind == 'T' && code.size() > 1) return Refuse(a, LoadStr(kMsgVatOneCharacter));

  a.from = AllTrim(in.from.c_str());
  if (!reports) a.from = PaddedCode(a.from, in.fromWidth);
  a.code = PaddedCode(code, in.codeWidth);
  if (code.find(' ') != std::string::npos || (kind == 'E' && a.code.find(' ') != std::string::npos))
    return Refuse(a, "", LoadStr(kMsgNoBlankInCode));
  // An account or a section is sought by its code as typed: a small letter would make a code no one finds.
  if ((kind == '2' || kind == '3') && std::string(Upper(code.c_str())) != code)
    return Refuse(a, "", LoadStr(kMsgNoSmallLetter));

  const bool withFrom = !IsBlank(a.from);
  std::string name;
  // The look-ups below say a read refused as such (the engine's box held back).
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
  if (kind == '2') {
    Table* c20 = TableC20;
    if (!Usable(c20) || !Usable(TableC10)) return Refuse(a, LoadStr(kMsgCreateFailed));
    if (IsCapital(code[0])) {
      a.code = PaddedCode(code, 8);
      const Lookup collective = SeekLiveCode(*TableC10, 'B', code.substr(0, 1), 1);
      if (collective.IsRefused()) return Unread(a, reading, *TableC10, collective);
      if (collective.IsNotFound())
        return Refuse(a, LoadStr(kMsgCollectiveFirst1),
                      FillPlaceholder(LoadStr(kMsgCollectiveFirst2), code.substr(0, 1)));
    } else {
      a.code = AccountKey(code);
    }
    const Lookup there = Found(*c20, "C20CODE", a.code, &name, 2);
    if (there.IsRefused()) return Unread(a, reading, *c20, there);
    if (there.IsFound()) return Existing(a, name);
    if (withFrom) {
      const Lookup model = Found(*c20, "C20CODE", AccountKey(a.from), nullptr, 2);
      if (model.IsRefused()) return Unread(a, reading, *c20, model);
      if (model.IsNotFound()) return UnknownSource(a);
    }
  } else if (kind == '3') {
    Table* c30 = TableC30;
    if (!Usable(c30)) return Refuse(a, LoadStr(kMsgCreateFailed));
    const Lookup there = Found(*c30, "C30CODE", a.code, &name, 2);
    if (there.IsRefused()) return Unread(a, reading, *c30, there);
    if (there.IsFound()) return Existing(a, name);
    if (withFrom) {
      const Lookup model = Found(*c30, "C30CODE", a.from, nullptr, 2);
      if (model.IsRefused()) return Unread(a, reading, *c30, model);
      if (model.IsNotFound()) return UnknownSource(a);
    }
  } else if (reports) {
    Table* t = kind == 'Y' ? TableCE0 : TableCE1;
    if (!Usable(t)) return Refuse(a, LoadStr(kMsgCreateFailed));
    const Lookup there = Found(*t, "CE0CODE", a.code, &name, 2);
    if (there.IsRefused()) return Unread(a, reading, *t, there);
    if (there.IsFound()) return Existing(a, name);
    if (withFrom) {
      const std::string reference = LoadStr(kTextReferenceSet);
      bool known = false;
      if (NamesAFile(a.from)) {
        known = platform::FileExists(platform::ResolvePath(a.from));
      } else if (std::string(Upper(a.from.substr(0, reference.size()).c_str())) == reference) {
        known = platform::FileExists(platform::ResolvePath(in.programFolder + reference + ".txt"));
      } else {
        const Lookup model = Found(*t, "CE0CODE", PaddedCode(a.from, in.codeWidth), nullptr, 2);
        if (model.IsRefused()) return Unread(a, reading, *t, model);
        known = model.IsFound();
      }
      if (!known) return UnknownSource(a);
    }
  } else {
    if (!Usable(TableC10)) return Refuse(a, LoadStr(kMsgCreateFailed));
    const Lookup there = SeekCodeRecord(*TableC10, kind, a.code, in.codeWidth);
    if (there.IsRefused()) return Unread(a, reading, *TableC10, there);
    if (there.IsFound()) return Existing(a, RTrim(TableC10->GetField(kNameField)));
    if (withFrom) {
      const Lookup model = SeekCodeRecord(*TableC10, kind, a.from, in.codeWidth);
      if (model.IsRefused()) return Unread(a, reading, *TableC10, model);
      if (model.IsNotFound()) return UnknownSource(a);
    }
  }
  a.verdict = NewCodeVerdict::Accepted;
  return a;
}

// ---- RIB and IBAN -----------------------------------------------------------------------------------------------

std::string RibText(const std::string& bank, const std::string& branch, const std::string& account,
                    const std::string& key) {
  auto part = [](const std::string& t, int w) {
    std::string p = t.substr(0, static_cast<std::size_t>(w));
    p.resize(static_cast<std::size_t>(w), ' ');
    return p;
  };
  return part(bank, 5) + part(branch, 5) + part(account, 11) + part(key, 2);
}

RibCheck CheckRib(const std::string& ribText) {
  RibCheck c;
  std::string rib = ribText.substr(0, 23);
  rib.resize(23, ' ');
  if (IsBlank(rib)) return c;
  for (int i = 0; i < 10; ++i) {
    if (!IsDigit(rib[static_cast<std::size_t>(i)]) && rib[static_cast<std::size_t>(i)] != ' ') {
      c.verdict = RibVerdict::NotDigits;
      c.inBranch = i >= 5;
      return c;
    }
  }
  const std::string key = rib.substr(21, 2);
  const bool keyInRange = IsDigit(key[0]) && IsDigit(key[1]) && key != "98" && key != "99";
  int answer = keyInRange ? CheckRibKey(rib) : -2;
  if (answer == 0) {
    c.verdict = RibVerdict::Right;
    return c;
  }
  if (answer < 0) {
    // The right key of the RIB, from the key "00" (which is never right).
    std::string zero = rib;
    zero.replace(21, 2, "00");
    answer = CheckRibKey(zero);
  }
  if (answer <= 0 || answer > 97) {
    c.verdict = RibVerdict::NotDigits;
    return c;
  }
  c.verdict = RibVerdict::WrongKey;
  c.rightKey = answer;
  return c;
}

bool RibToIban(const std::string& rib, std::string& iban) {
  if (rib.size() < 23 || rib.substr(0, 23).find(' ') != std::string::npos) return false;
  if (CheckRib(rib).verdict != RibVerdict::Right) return false;
  std::string text = "FR00" + rib.substr(0, 23);
  const int k = CheckIban(text);
  if (k <= 0 || k > 98) return false;
  text.replace(2, 2, StrZero(k, 2));
  iban = text;
  return true;
}

int WrongIbanDigits(const std::string& compactIban) {
  if (IsBlank(compactIban)) return 0;
  const int k = CheckIban(compactIban);
  return k > 0 ? k : 0;
}

}  // namespace masterdata
