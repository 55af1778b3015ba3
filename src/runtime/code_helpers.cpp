#include "runtime/code_helpers.h"

#include <cstring>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kCaptionSupportPassword = 1867;
constexpr int kPromptSupportPassword = 1868;

struct KindTexts {
  char kind;
  int label;
  int title;
};

const KindTexts kKinds[] = {
    {'Y', 79, 104},    {'Z', 80, 105},    {'E', 81, 106},    {'J', 82, 107},    {'3', 83, 108},
    {'B', 84, 109},    {'Q', 85, 110},    {'L', 99, 121},    {'V', 89, 114},    {'M', 90, 115},
    {'T', 86, 111},    {'2', 91, 116},    {'X', 96, 118},    {'C', 97, 119},    {'5', 98, 120},
    {'z', 1860, 1853}, {'y', 1861, 1854}, {'x', 1862, 1855}, {'w', 1863, 1856}, {'v', 1864, 1857},
    {'u', 1865, 1858}, {'t', 1866, 1859}, {'s', 2053, 2051}, {'r', 2054, 2052},
};
constexpr int kUnknownKindText = 38;

const KindTexts* FindKind(const char* kind) {
  if (kind == nullptr || *kind == '\0') return nullptr;
  for (const KindTexts& k : kKinds) {
    if (k.kind == *kind) return &k;
  }
  return nullptr;
}

// Journal-entry slots and the record-text window in the registry.
constexpr int kEntrySlotFlag = 554;
constexpr int kEntrySlotLength = 412;
constexpr int kEntrySlotCount = 5;
constexpr int kEntryKeyOffset = 11;  // journal-month key at flag + 11
constexpr int kJournalKeyLength = 7;
constexpr int kTextWindowState = 3819;
constexpr int kTextWindowHandle = 3820;
constexpr int kTextWindowKey = 3830;
constexpr int kTextWindowKeyEnd = 3939;  // the kept area begins at 3940
constexpr int kSessionAccount = 3944;
constexpr int kSessionAuxiliary = 3952;
constexpr int kSessionCodeLength = 8;

std::vector<RecordedWindowAction> g_actions;
WindowActionHook g_windowHook = nullptr;
TextPromptHook g_prompt = nullptr;

bool Act(WindowAction action, unsigned long handle) {
  g_actions.push_back({action, handle});
  return g_windowHook == nullptr || g_windowHook(action, handle);
}

unsigned long RegisteredHandle() {
  std::string text = RegistryText(kTextWindowHandle, 10);
  unsigned long v = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') v = v * 10 + static_cast<unsigned long>(c - '0');
  }
  return v;
}

bool InList(int field, std::initializer_list<int> fields) {
  for (int f : fields) {
    if (f == field) return true;
  }
  return false;
}

}  // namespace

const char* CodeLabelForType(const char* kind) {
  const KindTexts* k = FindKind(kind);
  return LoadStr(k ? k->label : kUnknownKindText);
}

const char* FileTitleForType(const char* kind) {
  const KindTexts* k = FindKind(kind);
  return LoadStr(k ? k->title : kUnknownKindText);
}

bool IsC10CodeKind(const char* kind) {
  char c = kind ? *kind : '\0';
  return !(c == '2' || c == '3' || c == 'Y' || c == 'Z' || (c >= '4' && c <= '9'));
}

bool IsLetter(const char* text) { return text && *text >= 'A' && *text <= 'Z'; }

bool IsAlphaNumeric(const char* text) {
  for (const char* p = text ? text : ""; *p; ++p) {
    char c = *p;
    bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!ok) return false;
  }
  return true;
}

char* ConstantEntry(int n) { return RingCopy(TheDossierRecord.Constant(n)); }

bool ConstantIs(int n, char letter) {
  std::string c = TheDossierRecord.Constant(n);
  return !c.empty() && c[0] == letter;
}

bool ConstantIsNo(int n) { return ConstantIs(n, 'N'); }

std::string& NextLetterCode(std::string& code) {
  if (IsBlank(code)) {
    code = "A";
    return code;
  }
  const std::size_t length = code.size();
  std::string core = TrimmedRight(code);
  if (core.size() > 4) return code;
  int i = static_cast<int>(core.size()) - 1;
  for (;;) {
    char c = core[i];
    if (c >= '0' && c <= '8') {
      core[i] = static_cast<char>(c + 1);
      break;
    }
    if (c == '9') {
      core[i] = 'A';
      break;
    }
    if (c >= 'A' && c <= 'Y') {
      core[i] = static_cast<char>(c + 1);
      break;
    }
    if (c != 'Z') {  // a character outside the series counts as "0"
      core[i] = '1';
      break;
    }
    if (i == 0) {  // the first character passes "Z": the code grows
      core = core.size() >= 4 ? std::string("A") : "A" + std::string(core.size(), '0');
      break;
    }
    core[i] = '1';
    --i;
  }
  const bool padded = length > TrimmedRight(code).size();
  if (padded && core.size() < length) core.resize(length, ' ');
  code = core;
  return code;
}

std::string& RightJustifyCode4(std::string& code) {
  PadTo(code, 4, " ");
  if (IsBlank(code)) return code;
  while (code[3] == ' ') {
    code.erase(3, 1);
    code.insert(0, 1, ' ');
  }
  return code;
}

const char* LTrimInPlace(std::string& text) {
  if (IsBlank(text)) return EmptyText;
  text.erase(0, text.find_first_not_of(' '));
  return text.c_str();
}

std::string& NormalizeNumberText(std::string& text) {
  if (IsBlank(text) || (text[0] >= 'A' && text[0] <= 'Z')) return text;
  const std::size_t length = text.size();
  std::string c019 = TheDossierRecord.Constant(19);
  std::string work = TrimmedRight(text);
  if (!c019.empty() && c019[0] == 'O') {
    while (!work.empty() && work.back() == '0') work.pop_back();
  } else {
    int n = static_cast<int>(Val(c019.c_str()));
    if ((n == 5 || n == 6 || n == 7) && work.size() > static_cast<std::size_t>(n) &&
        Val(work.c_str() + n) == 0.0) {
      work.resize(static_cast<std::size_t>(n));
    }
  }
  if (work.size() < length) work.resize(length, ' ');
  text = work;
  return text;
}

bool IsJournalInEntry(const char* journal) {
  if (journal == nullptr || *journal == '\0') return false;
  std::string wanted(journal, strnlen(journal, kJournalKeyLength));
  wanted.resize(kJournalKeyLength, ' ');
  for (int k = 0; k < kEntrySlotCount; ++k) {
    int flag = kEntrySlotFlag + kEntrySlotLength * k;
    if (RegistryChar(flag) != '1') continue;
    // The slot keeps its journal-month key at + 11 for the lines window's whole life; the
    // line keys the forms hand over stand after it.
    if (RegistryText(flag + kEntryKeyOffset, kJournalKeyLength) == wanted) return true;
  }
  return false;
}

void StoreSessionCode(const char* code) {
  std::string value(code ? code : "");
  if (value.size() > kSessionCodeLength) value.resize(kSessionCodeLength);
  SetRegistryText(kSessionAccount, kSessionCodeLength, value);
  if (!value.empty() && value[0] >= 'A' && value[0] <= 'Z') {
    SetRegistryText(kSessionAuxiliary, kSessionCodeLength, value);
  }
}

void SetWindowActionHook(WindowActionHook hook) { g_windowHook = hook; }
const std::vector<RecordedWindowAction>& RecordedWindowActions() { return g_actions; }
void ClearRecordedWindowActions() { g_actions.clear(); }

int SwitchRegisteredWindow(const char* key, int keyLength) {
  char state = RegistryChar(kTextWindowState);
  unsigned long handle = RegisteredHandle();
  if (state == '1') {
    std::string given(key ? key : "");
    int length = keyLength < 0 ? 0 : keyLength;
    given.resize(static_cast<std::size_t>(length), ' ');
    if (RegistryText(kTextWindowKey, length) == given) {
      if (handle != 0) Act(WindowAction::BringForward, handle);
      return 0;
    }
  }
  if (state == ' ') return 2;
  if (handle != 0) {
    Act(WindowAction::BringForward, handle);
    // A window that refuses keeps its unsaved text: it stays in front and
    // the caller is told "same record" so that it does not ask again.
    if (!Act(WindowAction::SendClose, handle)) return 0;
  }
  return 1;
}

void CloseRegisteredWindow(const char* key) {
  if (RegistryChar(kTextWindowState) != '1') return;
  std::string given(key ? key : "");
  if (!given.empty()) {
    std::string registered =
        TrimmedRight(RegistryText(kTextWindowKey, kTextWindowKeyEnd - kTextWindowKey + 1));
    if (TrimmedRight(given) != registered) return;
  }
  unsigned long handle = RegisteredHandle();
  if (handle == 0) return;
  Act(WindowAction::BringForward, handle);
  Act(WindowAction::PostClose, handle);
}

bool PrintFieldText(std::string& out, int fileNumber, int field, const std::string& stored) {
  bool month = (fileNumber == 40 && field == 3) || (fileNumber == 50 && field == 2) ||
               (fileNumber == 60 && field == 3);
  bool date = (fileNumber == 40 && field == 11) || (fileNumber == 50 && field == 15);
  if ((!month && !date) || IsBlank(stored)) return false;
  std::string text = stored.substr(0, month ? 4 : 6);
  if (text.size() >= 2) text.replace(0, 2, DecodeYear(text.substr(0, 2).c_str()));
  out = text;
  return true;
}

bool IsPrintableAmountField(std::string& text, int fileNumber, int field, char fieldType) {
  if (ConstantIs(18, ',')) return false;
  if (fieldType != 'N' || IsBlank(text)) return false;
  bool amount = false;
  switch (fileNumber) {
    case 20: amount = (field >= 17 && field <= 24) || field == 28 || field == 29; break;
    case 30: amount = field >= 9 && field <= 18; break;
    case 40: amount = field == 14 || field == 15; break;
    case 50: amount = field == 18 || field == 19; break;
    case 70: amount = InList(field, {8, 9, 12, 13, 16, 17, 20, 21}); break;
    default: break;
  }
  if (!amount) return false;
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return true;
}

std::string SupportCodeForDate(int year, int month, int day) {
  static const char kDigits[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  unsigned long x = static_cast<unsigned long>(year) * 10000ul + month * 100ul + day;
  x = x * 2654435761ul + 97ul;
  std::string code;
  for (int i = 0; i < 8; ++i) {
    x = (x * 1103515245ul + 12345ul) & 0x7FFFFFFFul;
    code += kDigits[(x >> 16) & 31];
  }
  return code;
}

void SetTextPromptHook(TextPromptHook hook) { g_prompt = hook; }

bool AskSupportPassword() {
  RuntimeBeep(0);
  std::string answer;
  if (g_prompt == nullptr || !g_prompt(LoadStr(kCaptionSupportPassword), LoadStr(kPromptSupportPassword), answer))
    return false;
  std::string typed = TrimmedRight(answer);
  for (char& c : typed) c = static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(c)));
  Ymd today = Today();
  return typed == SupportCodeForDate(today.year, today.month, today.day);
}
