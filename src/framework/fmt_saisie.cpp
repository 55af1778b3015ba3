#include "framework/fmt_saisie.h"

#include <cctype>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "resources/string_table.h"

void TDFmtSaisie::ParsePrompt(const std::string& prompt, int& width, std::string& label) {
  width = 10;
  label = prompt;
  if (prompt.size() >= 3 && std::isdigit(static_cast<unsigned char>(prompt[0])) &&
      std::isdigit(static_cast<unsigned char>(prompt[1])) && prompt[2] == ',') {
    const int n = (prompt[0] - '0') * 10 + (prompt[1] - '0');
    width = n == 0 ? 10 : n;
    label = prompt.substr(3);
  }
}

TDFmtSaisie::TDFmtSaisie(gui::Window* parent, int resourceId, int promptId, std::string* buffer, bool withCancel)
    : TDFmtSaisie(parent, resourceId, std::string(LoadStr(promptId)), buffer, withCancel) {}

TDFmtSaisie::TDFmtSaisie(gui::Window* parent, int resourceId, const std::string& prompt, std::string* buffer,
                         bool withCancel)
    : TDNuv(parent, resourceId, false), buffer_(buffer) {
  ParsePrompt(prompt, width_, label_);
  static_ = new MStatic(kOnTemplate, this, 1201);
  edit_ = new MEdit(kOnTemplate, this, 1202, width_, 1, true, MEdit::kText, 0);
  new MButton(kOnTemplate, this, 1);
  if (withCancel) new MButton(kOnTemplate, this, 2);
}

void TDFmtSaisie::SetupWindow() {
  TDNuv::SetupWindow();
  static_->SetText(label_);
  if (masked_) edit_->SetPassword(true);
  edit_->SetValue(buffer_ != nullptr ? *buffer_ : std::string(), true);
  edit_->SetFocus();
  edit_->SetSelection(0, -1);
}

bool TDFmtSaisie::CanClose() {
  if (buffer_ != nullptr) *buffer_ = edit_->GetValue();
  return true;
}
