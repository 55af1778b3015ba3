#include "utilities/core/dossier_constants.h"

#include <cstdlib>

#include "data/table.h"
#include "data/table_results.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/xbase.h"

namespace settings {

namespace {

constexpr const char* kC10Tag = "C10CODE";
constexpr int kConstantsLockText = 2265;  // "Constantes du dossier"
constexpr int kRecordLockText = 2266;     // "Raison Sociale du dossier"
constexpr int kFirstRightsRow = 9001, kLastRightsRow = 9036;
constexpr int kRightsField = 6;

// The record of a key, found exactly (kind letter, then the code blank-padded).
Lookup SeekRecord(Table& c10, const char* kind, const char* code) {
  if (!c10.isOpen) return Lookup::Refused(kResultNoSuchTable);
  const Lookup found = c10.Find(kC10Tag, kind, code);
  if (!found.IsFound() || c10.eof) return found.And(false);
  const std::string k = c10.GetField(1);
  const std::string c = c10.GetField(2);
  return found.And(!k.empty() && k[0] == kind[0] && IsBlank(c.substr(std::string(code).size())) &&
                   c.compare(0, std::string(code).size(), code) == 0);
}

// Writes `text` at `position` of `field` of the record of a key under its lock.
SaveOutcome WritePart(Table& c10, const char* kind, const char* code, int field, int position, const std::string& text,
                      int lockText) {
  // A record not read is no record missing: nothing is written, as for a failure.
  const Lookup found = SeekRecord(c10, kind, code);
  if (found.IsRefused()) return SaveOutcome::Failed;
  if (found.IsNotFound()) return SaveOutcome::Missing;
  // The lock reads the record again: what another station wrote meanwhile is what is changed.
  if (!LockRecord(c10, LoadStr(lockText), 0)) return LockHeldElsewhere(c10) ? SaveOutcome::LockRefused : SaveOutcome::Failed;
  const bool written = c10.PutFieldPart(field, position, static_cast<int>(text.size()), text.c_str());
  UnlockRecord(c10);
  const bool committed = c10.Commit();
  return written && committed ? SaveOutcome::Saved : SaveOutcome::Failed;
}

}  // namespace

ConstantPlace PlaceOfConstant(int n) {
  if (n == 0) return {"0", "", 5, 252};
  return {"P", "0", 4, 3 * n - 2};
}

SaveOutcome SaveDossierConstant(Table& c10, int n, const std::string& value) {
  if (n < 0 || n >= DossierRecord::kConstantCount) return SaveOutcome::Failed;
  std::string three = value.substr(0, 3);
  three.resize(3, ' ');
  const ConstantPlace place = PlaceOfConstant(n);
  const SaveOutcome outcome = WritePart(c10, place.kind, place.code, place.field, place.position, three,
                                        kConstantsLockText);
  if (outcome == SaveOutcome::Saved) TheDossierRecord.SetConstant(n, three);
  return outcome;
}

// ---- access rights ------------------------------------------------------------------------------------------------

std::vector<RightsFunction> RightsFunctions() {
  std::vector<RightsFunction> functions;
  for (int id = kFirstRightsRow; id <= kLastRightsRow; ++id) {
    const std::string row = LoadStr(id);
    if (row.size() < 5) continue;
    RightsFunction f;
    f.number = id - 9000;
    f.start = std::atoi(row.substr(0, 3).c_str());
    f.rights = std::atoi(row.substr(3, 2).c_str());
    f.menu = RTrim(row.substr(5, 20).c_str());
    f.label = row.size() > 25 ? std::string(RTrim(row.substr(25).c_str())) : std::string();
    if (f.start < 1 || f.start > DossierRecord::kRightsWidth || f.rights < 1 || f.rights > 12) continue;
    functions.push_back(f);
  }
  return functions;
}

std::string RightName(int k) { return AccessRightName(k); }

int RightsMask(char c) {
  if (c == ' ' || c == '\0') return 15;
  if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'F') return 10 + (c - 'A');
  return (static_cast<unsigned char>(c) - '0') & 15;
}

bool RightGranted(const std::string& rights, const RightsFunction& f, int k) {
  const int at = f.start - 1 + (k - 1) / 4;
  if (at < 0 || at >= static_cast<int>(rights.size())) return true;
  return (RightsMask(rights[static_cast<std::size_t>(at)]) & (1 << ((k - 1) % 4))) != 0;
}

std::string BuildRightsString(const std::string& old, const std::vector<RightsFunction>& functions,
                              const std::vector<std::vector<bool>>& granted) {
  std::string padded = old.substr(0, DossierRecord::kRightsWidth);
  padded.resize(DossierRecord::kRightsWidth, '?');
  int masks[DossierRecord::kRightsWidth];
  for (int i = 0; i < DossierRecord::kRightsWidth; ++i) masks[i] = RightsMask(padded[static_cast<std::size_t>(i)]);
  for (const RightsFunction& f : functions) {
    const std::size_t index = static_cast<std::size_t>(f.number);
    if (index >= granted.size()) continue;
    for (int k = 1; k <= f.rights; ++k) {
      const int at = f.start - 1 + (k - 1) / 4;
      if (at < 0 || at >= DossierRecord::kRightsWidth) continue;
      const int bit = 1 << ((k - 1) % 4);
      const bool on = static_cast<std::size_t>(k - 1) < granted[index].size() && granted[index][static_cast<std::size_t>(k - 1)];
      masks[at] = on ? (masks[at] | bit) : (masks[at] & ~bit);
    }
  }
  std::string rebuilt;
  for (int m : masks) rebuilt += static_cast<char>('0' + m);
  return rebuilt;
}

SaveOutcome SaveRights(Table& c10, const std::string& rights) {
  std::string text = rights.substr(0, DossierRecord::kRightsWidth);
  text.resize(DossierRecord::kRightsWidth, '?');
  const SaveOutcome outcome = WritePart(c10, "0", "", kRightsField, 1, text, kRecordLockText);
  if (outcome == SaveOutcome::Saved) TheDossierRecord.SetRights(text);
  return outcome;
}

}  // namespace settings
