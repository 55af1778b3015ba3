#include "dossier/conversion_window.h"

#include <string>

#include "data/dossier_files.h"
#include "dossier/core/conversion.h"
#include "dossier/rebuild_indexes.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/xbase.h"

bool RunDossierConversion(gui::Window* owner, const ConversionRequest& request) {
  ConversionResult result;
  {
    DossierProgressWindow progress(owner, LoadStr(19704) + std::string(RTrim(DossierCode.c_str())));
    progress.SetLine(DossierFolder);
    result = ConvertDossier(request);
  }
  gui::MessageBeep(0);
  if (result.ok) {
    std::string text = LoadStr(19705);
    if (result.originalsKept) text += std::string(LoadStr(19707)) + result.asideFolder + LoadStr(55);
    gui::MessageBox(owner, text, LoadStr(127), gui::MB_OK | gui::MB_ICONINFORMATION);
  } else {
    std::string text = LoadStr(19706) + result.error + LoadStr(55);
    if (result.originalsKept) text += std::string(LoadStr(19707)) + result.asideFolder + LoadStr(55);
    gui::MessageBox(owner, text, LoadStr(52), gui::MB_OK | gui::MB_ICONSTOP);
  }
  return result.ok;
}
