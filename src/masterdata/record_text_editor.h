// TWDonTexte: the one window that edits the free text of a record (a code of the general
// file, an account, an analytic section, a user-defined report's template), asked for by the
// lists and forms through DonneesTexte with the record's reference in the open-window
// registry. Beside the text it offers the keywords of the texts that other parts read as data,
// a word search, and for report templates the font statement of the "Police" command.
#pragma once

#include <memory>
#include <string>

#include "framework/edit_form.h"
#include "masterdata/core/record_text.h"
#include "masterdata/core/record_text_keywords.h"
#include "resources/command_ids.h"

class MListBox;
class MRStatic;
class MStatic;
class RecordTextEdit;

// Commands of the editor's own.
namespace text_cmd {
constexpr unsigned Insert = child_command::Inserer;
using child_command::Police;
constexpr unsigned SelectAll = child_command::ToutSelectionner;
constexpr unsigned Search = child_command::Chercher;
constexpr unsigned SearchAgain = child_command::ChercherEncore;
}  // namespace text_cmd

class TWDonTexte : public CMDIModif {
 public:
  // The font the "Police" command offers until one is chosen.
  static constexpr const char* kDefaultFontSpec = "Verdana,012/400";

  // Reads the reference from the registry; the record is opened when the window is set up.
  TWDonTexte(gui::MDIClient* client, const std::string& title);
  ~TWDonTexte() override;

  // The edit-form protocol: the text is saved when it changed, never refused.
  bool Save() override;
  bool IsModified() override;
  int Check() override;

  void CmToutSelectionner();
  void CmChercher();
  void CmChercherEncore();
  void CeChercherEncore(gui::CommandEnabler& ce);
  void CmInserer();
  void CeInserer(gui::CommandEnabler& ce);
  void CmPolice();

  // What the window shows and holds.
  MEdit* Text() const;
  MListBox* Keywords() const { return list_; }
  const masterdata::KeywordList& KeywordLines() const { return keywords_; }
  const masterdata::RecordTextHold& Hold() const { return hold_; }
  const std::string& FontSpecText() const { return fontSpec_; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void ArrangeControls() override;

 private:
  // Inserts at the caret, over the selection, when the text stays within its limit; a beep
  // otherwise. True when inserted.
  bool InsertText(const std::string& text);
  void SearchWord();
  void FocusTextAtEnd();
  void KeepWindowPlace();

  std::string reference_;
  masterdata::RecordTextType type_;
  masterdata::KeywordList keywords_;
  masterdata::RecordTextHold hold_;
  std::string loadedText_;    // the text as the edit showed it once loaded
  std::string fontSpec_;
  bool searchFromTop_ = false;
  RecordTextEdit* edit_ = nullptr;
  MListBox* list_ = nullptr;
  MRStatic* listTitle_ = nullptr;
  MRStatic* positionStatic_ = nullptr;
  MStatic* caretLabel_ = nullptr;
  MRStatic* lineStatic_ = nullptr;
  MRStatic* columnStatic_ = nullptr;
};

// The work of DonneesTexte (the handler prologue has run): brings the open text window
// forward, or opens one on the reference a list or form left when its flag asks for it.
void CmDonneesTexte();
