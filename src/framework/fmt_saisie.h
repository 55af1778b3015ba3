// TDFmtSaisie: a small modal dialog asking for one value. Its prompt is a
// string "NN,label": NN the width of the input (10 for "00"), the label
// shown above the input. The caller's buffer holds the default on entry
// and the typed text after OK; Cancel leaves it as it was.
#pragma once

#include <string>

#include "framework/dialog_bases.h"

class MButton;
class MEdit;
class MStatic;

class TDFmtSaisie : public TDNuv {
 public:
  static constexpr int kOkOnly = 1305;     // "Saisie d'une valeur spécifique", "&Ok"
  static constexpr int kOkCancel = 1306;   // with "&Abandon"

  TDFmtSaisie(gui::Window* parent, int resourceId, int promptId, std::string* buffer, bool withCancel);
  // The same with the prompt text itself.
  TDFmtSaisie(gui::Window* parent, int resourceId, const std::string& prompt, std::string* buffer, bool withCancel);

  // The typed text shows as dots (a password).
  void MaskInput() { masked_ = true; }

  int FieldWidth() const { return width_; }
  const std::string& Label() const { return label_; }
  MEdit* Input() const { return edit_; }
  bool CanClose() override;

  // Width and label of a prompt text ("NN,label").
  static void ParsePrompt(const std::string& prompt, int& width, std::string& label);

 protected:
  void SetupWindow() override;

 private:
  std::string* buffer_;
  int width_ = 10;
  bool masked_ = false;
  std::string label_;
  MStatic* static_;
  MEdit* edit_;
};
