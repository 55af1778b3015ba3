#include "reports/engine/export_offer.h"

#include "framework/dialog_bases.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/core/export_followup.h"
#include "reports/engine/core/report_text.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "shell/utility_commands.h"

namespace {
constexpr int kAttention = 52;
constexpr int kFollowUpCaption = 19525;
constexpr int kRecipientPrompt = 19526;
constexpr int kMsgMessageNotWritten = 19528;  // %s: the message's path

void SendByEmail(gui::Window* owner, const std::string& path, const std::string& documentTitle) {
  std::string recipient;
  TDFmtSaisie dialog(owner, TDFmtSaisie::kOkCancel, kRecipientPrompt, &recipient, true);
  dialog.SetCaption(LoadStr(kFollowUpCaption));
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  recipient = Trimmed(recipient);
  if (recipient.empty()) return;
  std::string eml;
  if (reports::WriteExportEmail(path, recipient, documentTitle, eml)) {
    OpenWithDesktop(eml);
    return;
  }
  gui::MessageBeep(0);
  gui::MessageBox(owner, FillPlaceholder(LoadStr(kMsgMessageNotWritten), eml), LoadStr(kAttention),
                  gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

}  // namespace

void FinishExportFile(gui::Window* owner, const reports::ExportSettings& settings, const std::string& documentTitle) {
  reports::ReportExportFile& file = reports::ExportFile();
  switch (reports::CloseExportFile(file, settings)) {
    case reports::ExportEnd::kOffered: {
      const std::string path = file.Path();
      gui::MessageBeep(0);
      const int answer = gui::MessageBox(owner, reports::FollowUpQuestion(path), LoadStr(kFollowUpCaption),
                                         gui::MB_YESNOCANCEL | gui::MB_ICONQUESTION);
      if (answer == gui::IDYES) OpenWithDesktop(path);
      else if (answer == gui::IDNO) SendByEmail(owner, path, documentTitle);
      break;
    }
    case reports::ExportEnd::kFailed:
      if (!file.FailureShown() && !file.FailureMessage().empty()) {
        gui::MessageBeep(0);
        gui::MessageBox(owner, file.FailureMessage(), LoadStr(kAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
        file.MarkFailureShown();
      }
      break;
    case reports::ExportEnd::kNone: break;
  }
  file.Reset();
}
