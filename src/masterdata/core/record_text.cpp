#include "masterdata/core/record_text.h"

#include <array>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/system/cp1252.h"
#include "runtime/code_helpers.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"

namespace masterdata {
namespace {

constexpr int kC10MemoField = 7;
constexpr int kC20MemoField = 30;
constexpr int kC30MemoField = 19;
constexpr int kReportMemoField = 11;
constexpr int kJournalMonthKeyLength = 7;

// The kinds of the general file that carry a text: code width and form entry.
struct C10TextKind {
  char kind;
  int codeWidth;
  int formEntry;
};
constexpr std::array<C10TextKind, 9> kC10Kinds{{
    {'B', 1, 0},
    {'Q', 4, 1},
    {'L', 1, 2},
    {'V', 2, 3},
    {'M', 8, 4},
    {'J', 3, 5},
    {'E', 4, 6},
    {'T', 8, 7},
    {'C', 8, 8},  // journal-month headers
}};

std::string Capitals(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(c)));
  return out;
}

// Opens a dossier table the editor needs when no window has it open; the report-definition
// sets are opened by their own windows.
bool EnsureOpen(const RecordTextType& type) {
  Table& t = *type.table;
  if (t.isOpen) return true;
  if (IsBlank(DossierCode)) return false;
  switch (type.designation) {
    case '1': return t.OpenShared(PathC10(), type.tag);
    case '2': return t.OpenShared(PathC20(), type.tag);
    case '3': return t.OpenShared(PathC30(), type.tag);
    default: return false;
  }
}

}  // namespace

std::string MakeRecordReference(char designation, char kind, const std::string& code) {
  return std::string(1, designation) + std::string(1, kind) + PadRight(code, kRecordCodeLength);
}

bool RecordTextTypeOf(const std::string& reference, RecordTextType& type) {
  const std::string ref = PadRight(reference, kRecordReferenceLength);
  RecordTextType t;
  t.designation = ref[0];
  t.kind = ref[1];
  switch (t.designation) {
    case '1': {
      const C10TextKind* found = nullptr;
      for (const C10TextKind& k : kC10Kinds)
        if (k.kind == t.kind) found = &k;
      if (found == nullptr) return false;
      t.table = TableC10;
      t.tag = "C10CODE";
      t.codeWidth = found->codeWidth;
      t.memoField = kC10MemoField;
      t.maxLength = kRecordTextLimit;
      t.formEntry = found->formEntry;
      break;
    }
    case '2':
      t = {t.designation, t.kind, TableC20, "C20CODE", 8, kC20MemoField, kRecordTextLimit, 9};
      break;
    case '3':
      t = {t.designation, t.kind, TableC30, "C30CODE", 8, kC30MemoField, kRecordTextLimit, 10};
      break;
    case 'Y':
      t = {t.designation, t.kind, TableCE0, "CE0CODE", 10, kReportMemoField, kReportTextLimit, 11};
      break;
    case 'Z':
      t = {t.designation, t.kind, TableCE1, "CE0CODE", 10, kReportMemoField, kReportTextLimit, 12};
      break;
    default:
      return false;
  }
  if (t.table == nullptr) return false;
  type = t;
  return true;
}

std::string ReferenceCode(const std::string& reference) {
  const std::string ref = PadRight(reference, kRecordReferenceLength);
  return RTrim(ref.substr(2).c_str());
}

std::string RecordTextKey(const RecordTextType& type, const std::string& reference) {
  const std::string ref = PadRight(reference, kRecordReferenceLength);
  const std::string code = ref.substr(2, static_cast<std::size_t>(type.codeWidth));
  return type.designation == '1' ? std::string(1, type.kind) + code : code;
}

// ---- the held record --------------------------------------------------------------------

bool RecordTextHold::Open(const std::string& reference) {
  Release();
  RecordTextType type;
  if (!RecordTextTypeOf(reference, type) || !EnsureOpen(type)) return false;
  Table& t = *type.table;
  const std::string key = RecordTextKey(type, reference);
  if (!t.Find(type.tag, key.c_str()).IsFound() || !LiveOrSaid(t).IsFound()) return false;
  // Silent: a record held elsewhere closes the editor without a word.
  if (!LockRecord(t, nullptr, 0)) return false;
  type_ = type;
  reference_ = PadRight(reference, kRecordReferenceLength);
  key_ = key;
  record_ = t.recordNumber;
  EditorLock = EditorLockPair{&t, record_};
  if (!t.GetMemoText(type.memoField, text_)) {
    Release();
    return false;
  }
  return true;
}

bool RecordTextHold::Save(const std::string& text) {
  if (record_ == 0) return false;
  Table& t = *type_.table;
  // The record held read again: one gone takes no text, one not read is not saved (the editor keeps it).
  if (!t.isOpen) return true;
  const Lookup held = t.GoToRecord(static_cast<long>(record_));
  if (held.IsRefused()) return false;
  if (held.IsNotFound()) return true;
  // The record held is written only while it still carries its key.
  const int keyLength = static_cast<int>(key_.size());
  const KeyMatch match = type_.designation == '1' ? t.MatchRecordKey(key_.c_str(), keyLength, 1, 2)
                                                  : t.MatchRecordKey(key_.c_str(), keyLength, 1);
  // One whose mark is not read is not written, and the text is not taken for saved.
  if (match.IsRefused()) {
    ReportRefusedLookup(t, match.AsLive(), t.tag.c_str());
    return false;
  }
  if (!match.IsLive()) return true;
  if (!t.PutMemoText(type_.memoField, text)) {
    ReportDbError(t, 2010);
    return false;
  }
  if (!t.Commit()) return false;
  text_ = text;
  return true;
}

void RecordTextHold::Release() {
  if (record_ == 0) return;
  Table& t = *type_.table;
  const std::string code = reference_.substr(2);
  bool kept = type_.formEntry >= 0 && type_.formEntry < kFormRecordLockCount &&
              FormRecordLocks[static_cast<std::size_t>(type_.formEntry)] == record_;
  if (!kept && type_.designation == '1')
    kept = IsJournalInEntry(code.substr(0, kJournalMonthKeyLength).c_str());
  if (!kept && type_.designation == '2')
    kept = code.substr(0, kRegistryHeldAccountWidth) ==
           RegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth);
  if (!kept && t.isOpen) {
    if (t.recordNumber != record_) t.GoToRecord(static_cast<long>(record_));
    if (t.recordNumber == record_) UnlockRecord(t);
  }
  if (EditorLock.table == &t && EditorLock.record == record_) EditorLock = EditorLockPair{};
  record_ = 0;
}

// ---- text ---------------------------------------------------------------------------------

int FindWordInText(const std::string& text, const std::string& word, int from) {
  if (word.empty() || from < 0 || static_cast<std::size_t>(from) > text.size()) return -1;
  const std::size_t at = Capitals(text).find(Capitals(word), static_cast<std::size_t>(from));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

bool InsertionFits(int length, int selected, int inserted, int limit) {
  return length - selected + inserted <= limit;
}

}  // namespace masterdata
