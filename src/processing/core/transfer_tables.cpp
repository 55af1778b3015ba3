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
  if (!posting::SeekC10(c10, '0', "") || !LiveOrSaid(c10).IsFound()) return false;
  DossierRecord::C10Texts texts;
  texts.record0Field3 = c10.GetField(3);
  texts.record0Field4 = c10.GetField(4);
  texts.record0Field5 = c10.GetField(5);
  texts.record0Field6 = c10.GetField(6);
  record->LoadFromC10(texts);
  record->EnsureRights();
  // The dossier's constants whose mark is not read are not taken for absent: the record is not loaded.
  if (posting::SeekC10(c10, 'P', "0")) {
    const Lookup live = LiveOrSaid(c10);
    if (live.IsRefused()) return false;
    if (live.IsFound()) {
      record->Set(539, 252, c10.GetField(4));
      record->Set(791, 252, c10.GetField(5));
    }
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
