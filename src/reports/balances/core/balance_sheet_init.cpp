#include "reports/balances/core/balance_sheet_init.h"

#include "data/table.h"
#include "data/table_copy.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace balances {

namespace {

// The outcome of an initialisation: done (%s: the model), or the incident that stopped it.
constexpr int kMsgDone = 1680;
constexpr int kMsgModelMissing = 1681;
constexpr int kMsgIncident = 1682;
constexpr int kMsgWrongType = 1683;
constexpr int kMsgNotEmptied = 1684;
constexpr int kMsgNotCopied = 1685;

}  // namespace

std::string InitOutcomeMessage(InitOutcome outcome, char letter) {
  switch (outcome) {
    case InitOutcome::kDone: return FillPlaceholder(LoadStr(kMsgDone), ModelLabel(letter, true));
    case InitOutcome::kMissing: return LoadStr(kMsgModelMissing);
    case InitOutcome::kIncident: return LoadStr(kMsgIncident);
    case InitOutcome::kWrongType: return LoadStr(kMsgWrongType);
    case InitOutcome::kEmptyFailed: return LoadStr(kMsgNotEmptied);
    case InitOutcome::kCopyFailed: return LoadStr(kMsgNotCopied);
  }
  return LoadStr(kMsgIncident);
}

bool DeleteAnnexRecords(Table& c10) {
  bool ok = true;
  const Lookup first = c10.FindNotBelow("C10CODE", "j");
  // Annex records not read are not "none": they would stay beside the ones the model brings.
  if (first.IsRefused()) return false;
  if (!first.IsFound()) return true;
  for (bool on = c10.SkipActive(false); on && c10.GetField(1)[0] == 'j'; on = c10.SkipActive(true)) {
    if (!LockRecord(c10, c10.RecordToText(2), 1)) {
      ok = false;
      continue;
    }
    c10.PutField(3, "");
    c10.PutField(4, "");
    c10.PutField(5, "");
    if (!c10.DeleteRecord(nullptr, 0)) ok = false;
    UnlockRecord(c10);
  }
  return ok;
}

InitOutcome InitialiseBalanceSheet(Table& c10, Table& c70, const std::string& folder, char letter) {
  const std::string path = ModelPath(folder, letter, false);
  if (!ModelFileExists(path)) return InitOutcome::kMissing;
  Table model;
  if (!model.OpenShared(path, "", true)) return InitOutcome::kIncident;
  if (HeaderType(model) != ModelTypeCharacter(letter)) return InitOutcome::kWrongType;

  // A C70 that cannot be emptied leaves everything as it was.
  if (!c70.Zap()) return InitOutcome::kEmptyFailed;
  DeleteAnnexRecords(c10);
  model.GoTop();
  if (!CopyTableByFieldNames(c70, model, 0)) return InitOutcome::kCopyFailed;
  return InitOutcome::kDone;
}

}  // namespace balances
