// The one road of every modal interaction: message boxes, modal dialogs,
// file-open, folder, printer set-up and font dialogs. In a normal run the real
// thing is shown. In test mode nothing is shown and nothing blocks: each
// modal takes the next queued answer, and everything shown is recorded.
// A test may ask for message boxes to be built and run all the same: each
// then ends with its answer from inside its own event loop.
#pragma once

#include "platform/gui/window_users.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace gui {

class Window;

enum class ModalKind { MessageBox, Dialog, FileOpen, FileSave, Folder, PrintSetup, PopupMenu, Font };

// A font of the font chooser: face (cp1252), size in points, weight 100-900.
struct ModalFont {
  std::string face;
  int points = 0;
  int weight = 0;
};

// What a modal showed and how it was answered (texts in cp1252).
struct ShownModal {
  ModalKind kind = ModalKind::MessageBox;
  std::string caption;
  std::string text;          // message-box text; the start folder of file dialogs
  unsigned style = 0;        // message-box style (MB_ buttons | icon | default)
  unsigned buttons = 0;      // style & MB_TYPEMASK
  unsigned icon = 0;         // style & MB_ICONMASK
  int defaultButton = 0;     // answer id of the default button
  int resourceId = 0;        // dialog template id
  std::string filter;        // file dialogs: the filter text
  int answer = 0;            // IDOK, IDCANCEL, IDYES ...
  std::string path;          // file and folder dialogs: the chosen path
  std::string diskPath;      // ... or the choice as the system names it (UTF-8), when a test gave it so
  ModalFont font;            // font chooser: the font offered
  ModalFont chosenFont;      // font chooser: the font chosen (no face: none)
  int screenX = 0;           // pop-up menu: the point of the screen where it opens
  int screenY = 0;
  bool queued = false;       // false: no answer was queued (cancel or default given)
  bool kindMismatch = false; // the next queued answer was for another kind
};

// A queued answer. For a dialog, `fill` runs with the dialog built (it may
// set controls or send commands) before `answer` is returned.
struct ModalAnswer {
  ModalKind kind = ModalKind::MessageBox;
  int answer = 0;
  std::string path;
  std::function<void(Window& dialog)> fill;
  std::string diskPath;  // UTF-8, for names that cp1252 cannot hold
  ModalFont font;
};

class ModalSeam {
 public:
  static void SetTestMode(bool on);
  static bool TestMode();

  // Test side: queue answers, read what was shown.
  static void QueueMessageBoxAnswer(int answer);
  static void QueueDialogAnswer(int answer, std::function<void(Window& dialog)> fill = {});
  static void QueueFileAnswer(const std::string& path);  // empty path = cancel
  static void QueueFolderAnswer(const std::string& path);  // empty path = cancel
  // A file or folder chosen as the system names it (UTF-8): the layer checks
  // it as it checks a real choice, so a name cp1252 cannot hold is refused.
  static void QueueDiskFileAnswer(const std::string& utf8);
  static void QueueDiskFolderAnswer(const std::string& utf8);
  // The printer set-up: with a PDF file name, an accepted set-up makes the
  // printer print into that file (as choosing "print to file" would).
  static void QueuePrintSetupAnswer(int answer, const std::string& pdfPath = {});
  // The font chooser: the font chosen (an empty face = cancel).
  static void QueueFontAnswer(const std::string& face, int points, int weight);
  // Context menus: the command id chosen (0 = none).
  static void QueuePopupMenuAnswer(unsigned commandId);
  static std::size_t PendingAnswers();
  static const std::vector<ShownModal>& Shown();
  static const ShownModal* LastShown();
  // Message boxes built and run as in a normal run, each answered from the
  // queue (or its fallback) from within its own event loop once `seen` had
  // its window (for a screenshot): what the program posted before the box is
  // delivered meanwhile, as for a user. An empty function stops it.
  static void BuildMessageBoxes(std::function<void(QWidget* box)> seen);
  // Forgets queued answers, the record and the building of boxes (each test
  // starts clean).
  static void Reset();

  // Layer side. Each records `shown`; in test mode it answers from the queue
  // (or, with nothing queued, answers `fallback`); otherwise `run` shows the
  // real modal and gives its answer.
  static int Run(ShownModal shown, int fallback, const std::function<int(ShownModal&)>& run);
  // Dialogs: `dialog` is built; a queued fill runs on it.
  static int RunDialog(Window& dialog, ShownModal shown, const std::function<int()>& exec);
  // True while a modal runs (some enablers grey commands then).
  static bool InModal();
  // A message box built in test mode, shown and about to take its answer.
  static void SeeBuilt(QWidget* box);
};

}  // namespace gui
