// The application object `Merlon` and the main frame `CDecoratedMDIFrame`:
// the frame with its menu, accelerators, icon, control bar and two status
// bars, placed where the program INI says; and the program-wide objects
// every window reaches through them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gui/application.h"
#include "platform/gui/controlbar.h"
#include "platform/gui/mdi.h"
#include "platform/gui/statusbar.h"
#include "resources/command_ids.h"

class CMDIClient;

class CDecoratedMDIFrame : public gui::MDIFrame {
 public:
  CDecoratedMDIFrame(const std::string& caption, CMDIClient* client);
  // Report-choice flag, from "FenetreMain-C": the report-choice button is
  // down and ProgramOptions position 12 is 'N' when it is set.
  bool ReportChoiceFlag() const { return reportChoice_; }
  void SetReportChoiceFlag(bool on) { reportChoice_ = on; }

 protected:
  // Menu bar and accelerators (the base), then the frame's icon 1001.
  void SetupWindow() override;
  // F1 released in the main window, where no child window took it: the help
  // command, as its menu text "[F1]" says.
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override;

 private:
  bool reportChoice_ = true;
};

class Merlon : public gui::Application {
 public:
  // Application name "Nuv-MERLON ZEL+"; argc / argv must outlive the object.
  Merlon(int& argc, char** argv);
  // Shares the Qt application that already runs (tests).
  Merlon(int argc, char** argv, bool sharedQt);
  ~Merlon() override;

  int ArgumentCount() const { return argc_; }
  char** ArgumentVector() const { return argv_; }

  // Builds client, frame, control bar and status bars (also called by Run).
  void InitMainWindow() override;
  // Creates the frame (the client's start-up runs then), shows it as the
  // program INI says, and runs the message loop. Returns the exit code.
  int Run();
  // How InitMainWindow decided to show the frame (SW_SHOWMAXIMIZED ...).
  int InitialShowCommand() const { return pendingShow_; }

 protected:
  // The status bar follows the active child.
  void IdleAction() override;

 private:
  int argc_;
  char** argv_;
  int pendingShow_ = 1;
};

// ---- Program-wide objects of the main window --------------------------------

extern Merlon* TheApplication;
extern CDecoratedMDIFrame* MainFrame;
extern gui::ControlBar* MainControlBar;
extern gui::StatusBar* MessageBar;
extern gui::StatusBar* SecondStatusBar;
// Added to every toolbar bitmap id: 0, 1000, 2000 or 3000 (four glyph sizes).
extern int BitmapSizeOffset;
// Buttons added after the permanent ones: word 0 the count (at most 19),
// words 1-19 the command ids; the gadget of each entry at the same index.
constexpr int kToolbarListWords = 20;
extern std::uint32_t ToolbarCommandList[kToolbarListWords];
extern gui::Gadget* ToolbarGadgets[kToolbarListWords];

// The frame placement read from the program INI, as start-up applies it.
struct FrameSettings {
  gui::FramePlacement placement;  // restored rectangle
  bool maximized = true;          // "FenetreMain-Z" 'O'
  bool reportChoice = true;       // "FenetreMain-C" 'O'
  int bitmapSizeOffset = 0;       // from "FenetreMain-I" or the screen resolution
  bool placementReset = false;    // the stored rectangle was unusable: defaults taken
};
constexpr int kFrameMinWidth = 320;
constexpr int kFrameMinHeight = 200;
// Reads the "FenetreMain-" keys of the program INI. `screenDpi` picks the
// glyph size when "FenetreMain-I" names none. A rectangle that lies off
// every screen or is smaller than the minimum takes the defaults.
FrameSettings ReadFrameSettings(int screenDpi);
// Glyph-size offset of a "FenetreMain-I" character and a screen resolution.
int BitmapOffsetFor(char sizeChar, int screenDpi);

// The ten permanent toolbar buttons: command and base bitmap id.
struct PermanentButton {
  unsigned command;
  int bitmap;
};
constexpr PermanentButton kPermanentButtons[10] = {
    {command_id::FichierOuvrirDossier, child_command::GlyphOuvrirDossier},
    {command_id::DonneesPlanComptable, child_command::GlyphPlanComptable},
    {command_id::ActiverSaisie, child_command::GlyphActiverSaisie},
    {command_id::EtaCompte, child_command::GlyphCompte},
    {command_id::EtaJournaux, child_command::GlyphJournaux},
    {command_id::EtaGrandsLivres, child_command::GlyphGrandsLivres},
    {command_id::EtaBalances, child_command::GlyphBalances},
    {command_id::ChoixEtat, command_id::ChoixEtat},
    {command_id::Visualiser, child_command::Visualiser},  // the active child's "Visualiser"
    {command_id::Imprimer, child_command::Imprimer},    // the active child's "Imprimer"
};
