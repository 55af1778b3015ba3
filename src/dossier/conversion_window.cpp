#include "dossier/conversion_window.h"

#include <string>

#include "data/dossier_files.h"
#include "dossier/core/conversion.h"
#include "dossier/rebuild_indexes.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts of the conversion, by their ids in the string table.
constexpr int kCaptionAttention = 52;
constexpr int kCaptionProgram = 127;
constexpr int kLabelConversionProgress = 19704;  // the dossier's code
constexpr int kMsgConversionDone = 19705;
constexpr int kMsgConversionFailed = 19706;      // the error
constexpr int kMsgOriginalsKept = 19707;         // the folder that keeps them
constexpr int kMsgDoneOriginalsKept = 36600;     // the folder that keeps them

}  // namespace

bool RunDossierConversion(gui::Window* owner, const ConversionRequest& request) {
  ConversionResult result;
  {
    DossierProgressWindow progress(owner, FillPlaceholder(LoadStr(kLabelConversionProgress), RTrim(DossierCode.c_str())));
    progress.SetLine(DossierFolder);
    result = ConvertDossier(request);
  }
  gui::MessageBeep(0);
  if (result.ok) {
    // The originals are removed only where the box says so: kept aside, it names their folder; totals
    // that disagree with their lines are named with the advice to rebuild them.
    std::string text = result.originalsKept ? FillPlaceholder(LoadStr(kMsgDoneOriginalsKept), result.asideFolder)
                                            : std::string(LoadStr(kMsgConversionDone));
    text += result.totalsAdvice;
    gui::MessageBox(owner, text, LoadStr(kCaptionProgram), gui::MB_OK | gui::MB_ICONINFORMATION);
  } else {
    std::string text = FillPlaceholder(LoadStr(kMsgConversionFailed), result.error);
    if (result.originalsKept) text += FillPlaceholder(LoadStr(kMsgOriginalsKept), result.asideFolder);
    gui::MessageBox(owner, text, LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONSTOP);
  }
  return result.ok;
}
