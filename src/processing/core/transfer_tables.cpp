#include "processing/core/transfer_tables.h"

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/table.h"
#include "entry/core/journal_month.h"

namespace processing {

namespace {

std::string UpperName(const char* name) {
  std::string text = name != nullptr ? name : "";
  while (!text.empty() && text.back() == ' ') text.pop_back();
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

FieldMap::FieldMap(Table& source, Table& target, int firstField) {
  if (target.FieldCount() == 0) return;
  const char prefix = UpperName(target.FieldName(1))[0];
  for (int s = firstField < 1 ? 1 : firstField; s <= source.FieldCount(); ++s) {
    std::string name = UpperName(source.FieldName(s));
    if (name.empty()) continue;
    name[0] = prefix;
    const int t = target.FieldPos(name);
    if (t == 0) continue;
    const char st = source.FieldType(s), tt = target.FieldType(t);
    if (st == 'M' && tt == 'M') {
      pairs_.push_back(Pair{s, t, 'M'});
    } else if ((st == 'C' || st == 'N') && (tt == 'C' || tt == 'N')) {
      pairs_.push_back(Pair{s, t, st == 'N' && tt == 'N' ? 'N' : 'C'});
    }
  }
}

bool FieldMap::Copy(Table& source, Table& target) const {
  bool ok = true;
  for (const Pair& p : pairs_) {
    if (p.kind == 'M') {
      std::string memo;
      if (!source.GetMemoText(p.source, memo) || !target.PutMemoText(p.target, memo)) ok = false;
    } else if (p.kind == 'N') {
      if (!target.PutFieldNum(p.target, source.GetFieldNum(p.source))) ok = false;
    } else if (!target.PutField(p.target, source.GetField(p.source))) {
      ok = false;
    }
  }
  return ok;
}

bool LoadDossierRecordOf(const OtherDossier& dossier, DossierRecord* record) {
  Table c10;
  if (!c10.OpenShared(OtherPathC10(dossier), "C10CODE", true)) return false;
  if (!entry::SeekC10(c10, '0', "") || c10.IsDeleted()) return false;
  DossierRecord::C10Texts texts;
  texts.record0Field3 = c10.GetField(3);
  texts.record0Field4 = c10.GetField(4);
  texts.record0Field5 = c10.GetField(5);
  record->LoadFromC10(texts);
  if (entry::SeekC10(c10, 'P', "0") && !c10.IsDeleted()) {
    record->Set(539, 252, c10.GetField(4));
    record->Set(791, 252, c10.GetField(5));
  }
  return true;
}

DossierIdentity::DossierIdentity(const OtherDossier& other, const DossierRecord& record)
    : folder_(DossierFolder), code_(DossierCode), record_(TheDossierRecord) {
  SetDossier(other.folder, other.code);
  TheDossierRecord = record;
}

DossierIdentity::~DossierIdentity() {
  SetDossier(folder_, code_);
  TheDossierRecord = record_;
}

std::string LineDate(Table& lines, bool closed) {
  using L = LigneEcriture;
  if (closed) return std::string(lines.GetField(L::DMOIS)) + lines.GetField(L::DJOUR);
  return std::string(lines.GetField(L::BMOIS)) + lines.GetField(L::BJOUR);
}

}  // namespace processing
