// What the list windows ask of subjects built after them: the report-choice dialogs, the preview and the printout
// of a list's report and the giving up of its export file (the report engine), and the copy of codes from or to
// another dossier (the transfers between dossiers). The owner of each service fills its hook when it lands; a list
// whose hook is empty says that the function is not available yet.
#pragma once

#include <functional>
#include <string>

class CMDIBrowse;

// What a copy from another dossier did: the records it added and a code for the list to show.
struct BrowseCopyResult {
  long added = 0;
  std::string code;
};

struct BrowseServices {
  // The report-choice dialog of a preview (`print` false) or of a printout, offering the standard layout and the
  // user-defined reports beginning with `prefix`. It writes the choice into the list's report fields (ReportCode,
  // ChosenLayoutText, the limits, the list-type letter). Answers 1 to go on, 1205 to switch to the printout,
  // 1206 to switch to the preview, anything else to give up.
  std::function<int(CMDIBrowse& list, const std::string& prefix, bool print)> chooseLayout;
  // Previews the list's report, prepared by the list (PrepareReport answered true), under `title`.
  std::function<void(CMDIBrowse& list, const std::string& title)> preview;
  // Prints the list's prepared report under `title`.
  std::function<void(CMDIBrowse& list, const std::string& title)> print;
  // Copies a code range of the list's file from another dossier into this one.
  std::function<BrowseCopyResult(CMDIBrowse& list)> copyIn;
  // Copies a code range of the list's file into another dossier; `selectedRow` is the list's selected row (1-based).
  std::function<void(CMDIBrowse& list, int selectedRow)> copyOut;
  // Gives up the export file of the report running (payment records that cannot be right): nothing of it is put in
  // place or offered.
  std::function<void()> abandonExport;
};

// The program's hooks (each empty until its owner fills it).
BrowseServices& BrowseHooks();

// Ids of the two report-choice answers that switch between preview and printout.
constexpr int kSwitchToPrint = 1205;
constexpr int kSwitchToPreview = 1206;
