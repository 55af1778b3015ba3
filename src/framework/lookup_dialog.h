// TDAideFichier: the modal "Aide fichier" dialog (template 1309) in which the
// user picks a code: a code of one kind of the general file C10, an account
// of C20, an analytic section of C30 or a report definition. The caller gives
// the kind and the text typed so far; on OK the chosen code comes back in the
// caller's text.
#pragma once

#include <string>
#include <vector>

#include "framework/dialog_bases.h"

class MListBox;
class MRStatic;
class MStatic;

constexpr int kLookupDialogId = 1309;
constexpr int kLookupTitleId = 1202;
constexpr int kLookupListId = 1201;
constexpr int kLookupSearchId = 1204;
constexpr int kLookupCountId = 1203;

// The table a kind lists: '2' accounts, '3' sections, 'Y' / 'Z' report
// definitions, '4' (kind "C") and '5' nothing, '1' a C10 kind.
char LookupSelectorOf(const std::string& kind);
// Row limit of dossier constant 030 when nothing is typed and the constant
// begins neither with "O" nor "N"; 0 = no limit.
int LookupRowLimit(const std::string& typed);

// The rows of the list: "code<TAB>name" for every live record whose code
// begins with the search text (shortened until something matches), and the
// overflow row when the limit is reached.
struct LookupRows {
  std::vector<std::string> rows;
  std::string search;  // the search text actually used ("" = from the first record)
  int longestCode = 0;
};
LookupRows CollectLookupRows(char selector, const std::string& kind, const std::string& typed, int maxRows);

class TDAideFichier : public TDNuv {
 public:
  // `result` holds the typed text and receives the chosen code (cut to
  // `codeWidth`); `selectText` (may be null or blank) names the row to
  // select first. `text` is not used.
  TDAideFichier(gui::Window* parent, const char* text, const std::string& kind, int codeWidth, std::string* result,
                const char* selectText = nullptr);

  // Fills the rows first: with none, a beep and IDCANCEL without showing.
  int Execute(unsigned flags) override;
  int Execute() override { return Execute(0u); }

  bool CanClose() override;

  char ListSelector() const { return selector_; }
  int MaxRows() const { return maxRows_; }
  const LookupRows& Rows() const { return rows_; }
  MListBox* List() const { return list_; }

 protected:
  void SetupWindow() override;
  void CmOk() override;

 private:
  std::string* result_;
  std::string select_;
  std::string startText_;
  std::string kind_;
  int codeWidth_;
  int maxRows_ = 0;
  char searchMode_ = 'C';
  char selector_ = '1';
  bool okPressed_ = false;
  LookupRows rows_;
  MRStatic* title_;
  MListBox* list_;
  MStatic* search_;
  MStatic* count_;
};
