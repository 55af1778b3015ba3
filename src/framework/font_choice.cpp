#include "framework/font_choice.h"

#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "resources/string_table.h"
#include "shell/graphics.h"

namespace {
constexpr int kCaption = 22295;
}  // namespace

bool ChooseFonts(gui::Window* owner, std::string& spec) {
  FontSpec current;
  // A text that names no font offers the chooser's own default face.
  const bool named = ParseFontSpec(spec, current);
  gui::FontChoice font;
  if (named) {
    font.face = current.face;
    font.points = current.points;
    font.weight = current.weight;
    font.italic = current.italic;
    font.underline = current.underline;
  } else {
    font.points = 12;
  }
  if (gui::ChooseFontDialog(owner, LoadStr(kCaption), font) != gui::IDOK) return false;
  // A face the statement cannot carry (it ends at the comma and the bracket).
  if (font.face.find_first_of(",[]") != std::string::npos) return false;
  FontSpec chosen;
  chosen.face = font.face;
  chosen.points = font.points;
  chosen.weight = font.weight;
  chosen.colour = current.colour;
  chosen.italic = font.italic;
  chosen.underline = font.underline;
  spec = FormatFontSpec(chosen);
  return true;
}
