#include "platform/gui/dialog_template.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QImage>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include "platform/gui/dc.h"
#include "platform/gui/dc_internal.h"
#include "platform/gui/text_codec.h"
#include "platform/system/cp1252.h"

namespace gui {

const ControlTemplate* DialogTemplate::FindControl(int id) const {
  for (const auto& c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

namespace {

struct Tokenizer {
  std::string_view line;
  std::size_t pos = 0;
  std::string error;

  void Skip() {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r')) ++pos;
  }
  bool AtEnd() {
    Skip();
    return pos >= line.size() || line[pos] == '#';
  }
  // A word, or a quoted text with escapes (returned unquoted, still UTF-8).
  bool Next(std::string& out, bool* quoted = nullptr) {
    out.clear();
    if (AtEnd()) return false;
    if (line[pos] == '"') {
      ++pos;
      while (pos < line.size() && line[pos] != '"') {
        char c = line[pos++];
        if (c == '\\' && pos < line.size()) {
          const char e = line[pos++];
          c = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
        }
        out += c;
      }
      if (pos >= line.size()) {
        error = "unterminated text";
        return false;
      }
      ++pos;
      if (quoted != nullptr) *quoted = true;
      return true;
    }
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '\r') out += line[pos++];
    if (quoted != nullptr) *quoted = false;
    return true;
  }
  bool Int(int& v) {
    std::string w;
    if (!Next(w) || w.empty()) return false;
    std::size_t i = (w[0] == '-') ? 1 : 0;
    if (i >= w.size()) return false;
    long long n = 0;
    for (; i < w.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(w[i]))) return false;
      n = n * 10 + (w[i] - '0');
      if (n > 1000000000) return false;
    }
    v = static_cast<int>(w[0] == '-' ? -n : n);
    return true;
  }
};

// A template text (UTF-8) as the program holds it; false for a character
// outside cp1252, which would otherwise show as "?".
bool ProgramText(const std::string& utf8, std::string& out) {
  return platform::Utf8ToCp1252(utf8, out, platform::Unassigned::kRefuse);
}

// Template keywords are ASCII: compared without the process's locale.
std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool KindOf(const std::string& word, ControlKind& kind) {
  static const std::map<std::string, ControlKind> kinds = {
      {"static", ControlKind::Static},     {"edit", ControlKind::Edit},
      {"button", ControlKind::Button},     {"check", ControlKind::CheckBox},
      {"checkbox", ControlKind::CheckBox}, {"radio", ControlKind::RadioButton},
      {"group", ControlKind::GroupBox},    {"groupbox", ControlKind::GroupBox},
      {"combo", ControlKind::ComboBox},    {"combobox", ControlKind::ComboBox},
      {"list", ControlKind::ListBox},      {"listbox", ControlKind::ListBox},
      {"custom", ControlKind::Custom}};
  auto it = kinds.find(LowerAscii(word));
  if (it == kinds.end()) return false;
  kind = it->second;
  return true;
}

bool FlagsOf(const std::string& words, unsigned& flags, std::string& bad) {
  static const std::map<std::string, unsigned> names = {
      {"default", ctl::Default},         {"readonly", ctl::ReadOnly},   {"multiline", ctl::MultiLine},
      {"password", ctl::Password},       {"autocheck", ctl::AutoCheck}, {"group", ctl::Group},
      {"tabstop", ctl::TabStop},         {"disabled", ctl::Disabled},   {"hidden", ctl::Hidden},
      {"left", 0},                       {"center", ctl::Center},       {"right", ctl::Right},
      {"dropdownlist", ctl::DropDownList}, {"dropdown", 0},             {"sort", ctl::Sort},
      {"vscroll", ctl::VScroll},         {"hscroll", ctl::HScroll},     {"border", ctl::Border},
      {"ownerdraw", ctl::OwnerDraw},     {"multiselect", ctl::MultiSelect},
      {"usetabstops", ctl::UseTabStops}, {"noprefix", ctl::NoPrefix},   {"sunken", ctl::Sunken},
      {"uppercase", ctl::UpperCase},     {"wantreturn", ctl::WantReturn}, {"nowrap", ctl::NoWrap},
      {"threestate", ctl::ThreeState}};
  std::size_t start = 0;
  while (start <= words.size()) {
    std::size_t comma = words.find(',', start);
    if (comma == std::string::npos) comma = words.size();
    const std::string w = LowerAscii(words.substr(start, comma - start));
    if (!w.empty()) {
      auto it = names.find(w);
      if (it == names.end()) {
        bad = w;
        return false;
      }
      flags |= it->second;
    }
    start = comma + 1;
  }
  return true;
}

}  // namespace

bool ParseDialogTemplates(std::string_view utf8, std::vector<DialogTemplate>& out, std::string* error) {
  std::vector<DialogTemplate> found;
  DialogTemplate* cur = nullptr;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };
  std::size_t start = 0;
  while (start < utf8.size()) {
    std::size_t end = utf8.find('\n', start);
    if (end == std::string_view::npos) end = utf8.size();
    Tokenizer t;
    t.line = utf8.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    if (t.AtEnd()) continue;
    std::string word;
    t.Next(word);
    const std::string key = LowerAscii(word);
    if (key == "dialog") {
      if (cur != nullptr) return fail("DIALOG inside another dialog");
      std::string id;
      if (!t.Next(id) || id.empty()) return fail("DIALOG without an id");
      found.emplace_back();
      cur = &found.back();
      cur->id = id;
      continue;
    }
    if (cur == nullptr) return fail("\"" + word + "\" outside a dialog");
    if (key == "end") {
      cur = nullptr;
      continue;
    }
    if (key == "caption") {
      std::string text;
      if (!t.Next(text)) return fail(t.error.empty() ? "CAPTION without a text" : t.error);
      if (!ProgramText(text, cur->caption)) return fail("CAPTION holds a character outside cp1252");
    } else if (key == "font") {
      std::string face;
      if (!t.Int(cur->fontPoints) || cur->fontPoints <= 0 || !t.Next(face)) return fail("FONT needs a size and a face");
      cur->fontFace = face;
    } else if (key == "size") {
      if (!t.Int(cur->cx) || !t.Int(cur->cy) || cur->cx < 0 || cur->cy < 0) return fail("SIZE needs a width and a height");
    } else if (key == "style") {
      std::string w;
      while (t.Next(w)) {
        for (const std::string& s : {LowerAscii(w)}) {
          if (s == "nocaption") cur->hasCaption = false;
          else if (s == "caption") cur->hasCaption = true;
          else return fail("unknown dialog style \"" + w + "\"");
        }
      }
    } else {
      ControlTemplate c;
      if (!KindOf(word, c.kind)) return fail("unknown control kind \"" + word + "\"");
      std::string text;
      if (!t.Int(c.id)) return fail("control without an id");
      bool quoted = false;
      if (!t.Next(text, &quoted) || !quoted) return fail(t.error.empty() ? "control text must be quoted" : t.error);
      if (!ProgramText(text, c.text))
        return fail("text of control " + std::to_string(c.id) + " holds a character outside cp1252");
      if (!t.Int(c.x) || !t.Int(c.y) || !t.Int(c.cx) || !t.Int(c.cy)) return fail("control needs x, y, cx and cy");
      if (c.cx < 0 || c.cy < 0) return fail("negative control size");
      std::string flags;
      while (t.Next(flags)) {
        std::string bad;
        if (!FlagsOf(flags, c.flags, bad)) return fail("unknown control flag \"" + bad + "\"");
      }
      if (c.kind == ControlKind::CheckBox || c.kind == ControlKind::RadioButton) {
        // Check boxes and radio buttons toggle themselves unless told "noauto";
        // a template writes "autocheck" to say it plainly.
        c.flags |= ctl::AutoCheck;
      }
      cur->controls.push_back(std::move(c));
    }
    if (!t.AtEnd()) return fail("unexpected text after \"" + word + "\"");
  }
  if (cur != nullptr) return fail("dialog " + cur->id + " has no END");
  for (auto& d : found) out.push_back(std::move(d));
  return true;
}

// ---- Registry --------------------------------------------------------------

namespace {

struct Registry {
  bool resourcesLoaded = false;
  std::map<std::string, DialogTemplate> resources;  // key: upper-case id
  std::map<std::string, DialogTemplate> added;
};

Registry& R() {
  static Registry r;
  return r;
}

std::string Key(std::string_view id) {
  std::string k(id);
  for (char& c : k)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return k;
}

bool LoadFolder(const QString& folder, std::map<std::string, DialogTemplate>& into, std::string* error) {
  QDir dir(folder);
  if (!dir.exists()) {
    if (error != nullptr) *error = "no folder " + folder.toStdString();
    return false;
  }
  bool ok = true;
  const QStringList files = dir.entryList({"*.dlg"}, QDir::Files, QDir::Name);
  for (const QString& f : files) {
    QFile file(dir.filePath(f));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QByteArray data = file.readAll();
    std::vector<DialogTemplate> parsed;
    std::string why;
    if (!ParseDialogTemplates(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), parsed, &why)) {
      if (error != nullptr) *error = f.toStdString() + ": " + why;
      ok = false;
      continue;
    }
    for (auto& d : parsed) into[Key(d.id)] = std::move(d);
  }
  return ok;
}

void EnsureResources() {
  if (R().resourcesLoaded) return;
  R().resourcesLoaded = true;
  // A refused template is a fault of the build: its dialog will not open.
  std::string error;
  if (!LoadFolder(":/dialogs", R().resources, &error)) std::fprintf(stderr, "dialog templates: %s\n", error.c_str());
}

}  // namespace

const DialogTemplate* DialogTemplates::Find(std::string_view id) {
  EnsureResources();
  const std::string k = Key(id);
  if (auto it = R().added.find(k); it != R().added.end()) return &it->second;
  if (auto it = R().resources.find(k); it != R().resources.end()) return &it->second;
  return nullptr;
}

const DialogTemplate* DialogTemplates::Find(int id) { return Find(std::to_string(id)); }

bool DialogTemplates::AddFolder(const std::string& path, std::string* error) {
  return LoadFolder(ToQString(path), R().added, error);
}

bool DialogTemplates::Register(std::string_view utf8, std::string* error) {
  std::vector<DialogTemplate> parsed;
  if (!ParseDialogTemplates(utf8, parsed, error)) return false;
  for (auto& d : parsed) R().added[Key(d.id)] = std::move(d);
  return true;
}

void DialogTemplates::ResetAdded() { R().added.clear(); }

// ---- Dialog units ----------------------------------------------------------

namespace {
int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const long long n = static_cast<long long>(a) * b;
  const long long q = (std::llabs(n) + std::llabs(c) / 2) / std::llabs(c);
  return static_cast<int>((n < 0) != (c < 0) ? -q : q);
}
}  // namespace

int DialogUnits::ToPixelsX(int units) const { return MulDiv(units, baseX, 4); }
int DialogUnits::ToPixelsY(int units) const { return MulDiv(units, baseY, 8); }

DialogUnits DialogUnitsOf(const std::string& face, int points) {
  FontDesc d;
  d.face = face;
  d.height = FontHeightForPoints(points, ScreenLogPixelsY());
  const Font font(d);
  QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
  const int dpm = static_cast<int>(std::lround(ScreenLogPixelsY() / 0.0254));
  probe.setDotsPerMeterX(dpm);
  probe.setDotsPerMeterY(dpm);
  const QFontMetrics fm(font.impl().qfont, &probe);
  // Average width of the 52 Latin letters, rounded, as the dialog manager measures it.
  const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  DialogUnits u;
  u.baseX = (width / 26 + 1) / 2;
  u.baseY = fm.height();
  if (u.baseX <= 0) u.baseX = 1;
  if (u.baseY <= 0) u.baseY = 1;
  return u;
}

}  // namespace gui
