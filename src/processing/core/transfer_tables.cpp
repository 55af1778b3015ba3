#include "processing/core/transfer_tables.h"

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "posting/journal_month.h"

namespace processing {

bool LoadDossierRecordOf(const OtherDossier& dossier, DossierRecord* record) {
  Table c10;
  if (!c10.OpenShared(OtherPathC10(dossier), "C10CODE", true)) return false;
  // A record not read is said with its file (the caller then refuses the dossier): never taken for none.
  const Lookup record0 = posting::FindLiveC10(c10, '0', "");
  ReportRefusedLookup(c10, record0, "C10CODE", "0");
  if (!record0.IsFound()) return false;
  DossierRecord::C10Texts texts;
  texts.record0Field3 = c10.GetField(3);
  texts.record0Field4 = c10.GetField(4);
  texts.record0Field5 = c10.GetField(5);
  texts.record0Field6 = c10.GetField(6);
  record->LoadFromC10(texts);
  record->EnsureRights();
  const Lookup rights = posting::FindLiveC10(c10, 'P', "0");
  ReportRefusedLookup(c10, rights, "C10CODE", "P0");
  if (rights.IsRefused()) return false;
  if (rights.IsFound()) {
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

void ReadLineAmounts(Table& lines, bool closed) {
  using L = LigneEcriture;
  StoredAmountOf(lines, closed ? L::DMONTANTF : L::BMONTANTF);
  StoredAmountOf(lines, closed ? L::DMONTANTE : L::BMONTANTE);
}

}  // namespace processing
