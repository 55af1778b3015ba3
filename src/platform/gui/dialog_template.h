// Dialog templates: the layout of each dialog, kept as text resources
// (dialogs/*.dlg) and keyed by the dialog's id, a number or a name.
//
//   DIALOG 1320
//   CAPTION ""
//   FONT 10 "MS Sans Serif"
//   SIZE 204 58
//   STYLE nocaption
//   static 1201 "" 1 1 202 10 left
//   edit 1202 "" 2 14 200 25 multiline,readonly
//   button 1 "&Ok" 10 40 50 14 default,tabstop
//   END
//
// One line per control: kind, control id, text, x, y, cx, cy (dialog
// units) and comma-separated flags. Texts are UTF-8 in double quotes with
// \n, \t, \" and \\ escapes; they are held in cp1252. "#" starts a comment.
#pragma once

#include "platform/gui/window_users.h"

#include <string>
#include <string_view>
#include <vector>

namespace gui {

enum class ControlKind { Static, Edit, Button, CheckBox, RadioButton, GroupBox, ComboBox, ListBox, Custom };

// Style flags of a template control.
namespace ctl {
constexpr unsigned Default = 1u << 0;     // default push button
constexpr unsigned ReadOnly = 1u << 1;
constexpr unsigned MultiLine = 1u << 2;
constexpr unsigned Password = 1u << 3;
constexpr unsigned AutoCheck = 1u << 4;   // check box / radio toggles itself
constexpr unsigned Group = 1u << 5;       // starts a group (radio buttons)
constexpr unsigned TabStop = 1u << 6;
constexpr unsigned Disabled = 1u << 7;
constexpr unsigned Hidden = 1u << 8;
constexpr unsigned Center = 1u << 9;
constexpr unsigned Right = 1u << 10;
constexpr unsigned DropDownList = 1u << 11;  // combo without an edit part
constexpr unsigned Sort = 1u << 12;
constexpr unsigned VScroll = 1u << 13;
constexpr unsigned HScroll = 1u << 14;
constexpr unsigned Border = 1u << 15;
constexpr unsigned OwnerDraw = 1u << 16;
constexpr unsigned MultiSelect = 1u << 17;
constexpr unsigned UseTabStops = 1u << 18;
constexpr unsigned NoPrefix = 1u << 19;
constexpr unsigned Sunken = 1u << 20;
constexpr unsigned UpperCase = 1u << 21;
constexpr unsigned WantReturn = 1u << 22;
constexpr unsigned NoWrap = 1u << 23;
constexpr unsigned ThreeState = 1u << 24;
}  // namespace ctl

struct ControlTemplate {
  ControlKind kind = ControlKind::Static;
  int id = 0;
  std::string text;  // cp1252
  int x = 0, y = 0, cx = 0, cy = 0;
  unsigned flags = 0;
};

struct DialogTemplate {
  std::string id;       // "1320", "SAISIE_VARIABLES"
  std::string caption;  // cp1252
  bool hasCaption = true;
  std::string fontFace = "MS Sans Serif";
  int fontPoints = 8;
  int cx = 0, cy = 0;   // dialog units
  std::vector<ControlTemplate> controls;

  const ControlTemplate* FindControl(int id) const;
};

// Parses the text of one resource file (one or more dialogs). False with a
// message naming the line when the text is malformed; nothing is kept then.
bool ParseDialogTemplates(std::string_view utf8, std::vector<DialogTemplate>& out, std::string* error = nullptr);

// Templates of the program: the embedded resources, then the files of the
// extra folders added here (tests keep their own templates there), then
// the texts registered directly. A later definition of an id wins.
class DialogTemplates {
 public:
  static const DialogTemplate* Find(std::string_view id);
  static const DialogTemplate* Find(int id);
  static bool AddFolder(const std::string& path, std::string* error = nullptr);
  static bool Register(std::string_view utf8, std::string* error = nullptr);
  // Drops the folders and texts added (the resources stay).
  static void ResetAdded();
};

// Pixels of dialog units: x by the font's average character width / 4,
// y by its height / 8 (rounded as Windows does).
struct DialogUnits {
  int baseX = 0;  // average character width in pixels
  int baseY = 0;  // character height in pixels
  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
};
DialogUnits DialogUnitsOf(const std::string& face, int points);

}  // namespace gui
