#include "masterdata/upper_edit.h"

#include <string>

#include "platform/gui/application.h"
#include "runtime/xbase.h"

void MUpperEdit::EvChar(unsigned ch, unsigned repeat, unsigned flags) {
  const char c = static_cast<char>(ch & 0xFF);
  const char upper = ch < 256 ? Upper(std::string(1, c).c_str())[0] : c;
  if (ch >= 256 || upper == c || InputKind() != kText) return MEdit::EvChar(ch, repeat, flags);
  int s = 0, e = 0;
  GetSelection(s, e);
  if (FieldWidth() > 0 && s == e && GetTextLength() >= FieldWidth()) {
    gui::MessageBeep(0);
    return;
  }
  ReplaceSelection(std::string(1, upper));
  StepFlag = false;
}
