// Confirmation of backup method 7 (dialog 1335): shows the dossier, its
// folder and the two targets, lets the user set unit 2 and a comment, and
// answers 1 when the user confirms with "&Oui". It writes no INI key.
#pragma once

#include <string>

#include "framework/dialog_bases.h"

class TDConfSauvegarde : public TDNuv {
 public:
  static constexpr int kExplanation = 1201;
  static constexpr int kUnit2 = 1203;
  static constexpr int kComment = 1205;
  static constexpr int kModifyUnit2 = 1206;
  static constexpr int kHelp = 1207;

  // `defaultTarget`: the default backup target with the code and the stamp.
  TDConfSauvegarde(gui::Window* owner, const std::string& defaultTarget, int resourceId = 1335);

  // Runs task-modal: 1 for "&Oui", anything else otherwise.
  int Execute() override;

  // Read after the run (each at most 200 characters): the first target
  // (the dossier folder followed by the default target), the second target
  // (blank for none) and the comment (blank for none).
  const std::string& Unit1() const { return unit1_; }
  const std::string& Unit2() const { return unit2_; }
  const std::string& Comment() const { return comment_; }

  // Characters allowed in unit 2 (string 3064 with "/" and "." for our
  // paths) and in the comment (string 3065).
  static bool Unit2Allowed(const std::string& text);
  static bool CommentAllowed(const std::string& text);

 protected:
  void SetupWindow() override;
  bool CanClose() override;
  bool EvCommand(unsigned id) override;

 private:
  std::string Explanation() const;
  std::string unit1_, unit2_, comment_;
};
