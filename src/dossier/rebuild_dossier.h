// The dossier rebuild with its windows: the command ReconstructionDossier "ReConstruction du
// dossier", its confirmation, the progress window of the run and its final
// message; and the pack and reindex with its progress window and error box.
// The work itself is plain code (maintenance_rebuild.h, maintenance_pack.h).
#pragma once

#include <functional>
#include <string>

#include "dossier/core/maintenance_rebuild.h"

namespace gui {
class Window;
}

// The box of a pack and reindex that did not end: beep, then for a table
// that failed a box with the hand icon, its data file as text and
// "ERREUR pendant ReIndex du fichier: " + the table number as caption; for a
// C10 of the oldest generation the box that points to the conversion.
void ShowReindexFailure(gui::Window* parent, const PackResult& result);

// The rebuild as a service (the command and the year-end runs call it): the
// dossier is current, every table closed, the caller holds the dossier
// exclusively. Shows the progress window, the balance message when journals
// were listed, and writes the end-of-run log line with the count of records
// removed. Returns 0 or the run's error code; the full report of the last
// run stays readable. The lines whose amount does not read are named in a box of their own before
// the run changes anything, unless `sayUnreadable` is false: a run that rebuilds under its own
// marker is undone over them and names them in its own refusal (LastRebuildReport().unreadable).
int RebuildDossier(gui::Window* parent, bool rebalance, bool pack, bool sayUnreadable = true);
const RebuildReport& LastRebuildReport();

// The confirmation question of the command for the open dossier.
std::string RebuildQuestionText(bool euroOnly);
// The end message of the command for a run's report.
std::string RebuildEndMessage(const RebuildReport& report);

// The command's work (after the handler prologue).
void CmReconstructionDossier();

// How the dossier is opened again after the command's run (DossierState is
// '2' then). The default runs the shell's dossier check.
void SetRebuildReopener(std::function<void()> reopen);

// Gives the maintenance commands their work in the shell's command table.
void InstallMaintenanceCommands();
