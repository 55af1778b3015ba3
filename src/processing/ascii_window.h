// The ASCII import into the draft, AjoutAsciiBrouillard "Ajout ASCII au Brouillard": the form that names
// the file, shows it as read (separator, encoding, counts, period, totals, errors with their line
// numbers) and runs the import on "Accepter"; and the automatic import the working-date command
// posts, which imports at once a file without error and opens the form on the others.
#pragma once

#include <string>

#include "framework/edit_form.h"
#include "processing/core/ascii_import.h"
#include "resources/command_ids.h"

class MButton;
class MEdit;
class MListBox;
class MStatic;

namespace ascii_cmd {
using child_command::Accepter;
constexpr unsigned ReadFile = 1203;
constexpr unsigned ChooseFile = 1204;
}  // namespace ascii_cmd

// The work of AjoutAsciiBrouillard: the form, or the automatic import when the working-date command posted it.
void CmAjoutAsciiBrouillard();

class TWUtiModAjoutAscii : public CMDIModif {
 public:
  TWUtiModAjoutAscii(gui::MDIClient* client, const std::string& file);
  ~TWUtiModAjoutAscii() override;

  // Reads and checks the file named by the edit (1203, Enter in the edit); false when it cannot be imported.
  bool ReadFile();
  void CmReadFile() { ReadFile(); }
  void CmAccepter();
  void CmChooseFile();

  MEdit* FileEdit() const { return file_; }
  MListBox* ErrorList() const { return errors_; }
  const processing::AsciiRead& Read() const { return read_; }
  std::string InfoText(int row) const;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  void ShowRead(const processing::AsciiRead& read);

  bool running_ = false;
  std::string initial_;
  processing::AsciiRead read_;
  MStatic* fileLabel_ = nullptr;
  MEdit* file_ = nullptr;
  MButton* choose_ = nullptr;
  MButton* reread_ = nullptr;
  static constexpr int kInfoRows = 6;
  MStatic* info_[kInfoRows] = {};
  MListBox* errors_ = nullptr;
};
