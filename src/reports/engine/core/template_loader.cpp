#include "reports/engine/core/template_loader.h"

#include <algorithm>

#include "data/dossier_files.h"
#include "data/table.h"
#include "data/table_check.h"
#include "platform/system/files.h"
#include "reports/engine/core/report_text.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"

namespace reports {

namespace {

constexpr int kReportCodeWidth = 10;
constexpr int kTemplateField = 11;
constexpr int kImportDepth = 8;
// A template too long for the engine (%s: the line the limit falls in, its length).
constexpr int kMsgTemplateTooLong = 19529;

// Value of the first directive "[name=" (name lower-case) in the lower-cased template, up to
// its "]"; false when there is none.
bool DirectiveValue(const std::string& lowered, std::string_view name, std::string& value) {
  const std::string key = "[" + std::string(name) + "=";
  const std::size_t at = lowered.find(key);
  if (at == std::string::npos) return false;
  const std::size_t start = at + key.size();
  const std::size_t end = lowered.find(']', start);
  value = Trimmed(std::string_view(lowered).substr(start, end == std::string::npos ? std::string::npos : end - start));
  return true;
}

}  // namespace

std::string ReportCodeKey(std::string_view code) {
  std::string key = UpperCp1252(TrimmedRight(code));
  if (key.size() > static_cast<std::size_t>(kReportCodeWidth)) key.resize(kReportCodeWidth);
  return TrimmedRight(key);
}

bool ReportDefinitionTemplates::FindTemplate(const std::string& code, std::string& text) {
  const std::string key = ReportCodeKey(code);
  if (key.empty()) return false;
  damaged_.clear();
  const std::string base = PathReportDefs(letter_);
  if (!table_.isOpen && !table_.OpenShared(base, "CE0CODE", true)) {
    damaged_ = DamagedTableFile(base);
    return false;
  }
  if (table_.tag.empty()) table_.SetOrder("CE0CODE");
  std::string padded = key;
  padded.resize(kReportCodeWidth, ' ');
  const Lookup at = table_.Find("CE0CODE", padded.c_str());
  // A look-up not read is no code missing: the set's file is named as one that could not be read.
  const Lookup live = at.IsFound() && !table_.eof ? table_.LiveHere() : at;
  if (live.IsRefused()) damaged_ = platform::ResolvePath(base + ".dbf");
  const bool there = live.IsFound();
  const bool found = there && table_.GetMemoText(kTemplateField, text);
  // The definition is there but its text cannot be read: the memo file is damaged.
  if (there && !found) damaged_ = platform::ResolvePath(base + ".dbt");
  if (closeAfter_) table_.CloseTable();
  return found;
}

void MapTemplateSource::Add(const std::string& code, const std::string& text) {
  templates_[ReportCodeKey(code)] = text;
}

bool MapTemplateSource::FindTemplate(const std::string& code, std::string& text) {
  auto it = templates_.find(ReportCodeKey(code));
  if (it == templates_.end()) return false;
  text = it->second;
  return true;
}

LayoutAttributes ReadLayoutAttributes(std::string_view templateText) {
  const std::string lowered = LowerCp1252(templateText);
  LayoutAttributes a;
  std::string v;
  if (DirectiveValue(lowered, "typeliste", v)) a.listType = UpperCp1252(v);
  if (DirectiveValue(lowered, "orientation", v)) a.landscape = StartsWith(v, "pay");
  if (DirectiveValue(lowered, "policeinitiale", v) && v.size() == 1 && v[0] >= '1' && v[0] <= '4')
    a.initialFont = v[0];
  if (DirectiveValue(lowered, "modecpi", v)) a.cpiMode = StartsWith(v, "o");
  if (DirectiveValue(lowered, "cadrage", v) && v.size() >= 3 && (v[0] == 'c' || v[0] == 'd') && v[1] == ':') {
    const int width = LeadingInt(std::string_view(v).substr(2));
    if (width > 0) {
      a.framing = v[0] == 'c' ? 'C' : 'D';
      a.framingWidth = width;
    }
  }
  return a;
}

std::string ListTypeOfTemplate(std::string_view templateText) {
  return ReadLayoutAttributes(templateText).listType;
}

std::string MergeImports(TemplateSource& source, std::string text) {
  for (int depth = 0; depth < kImportDepth; ++depth) {
    std::string lowered = LowerCp1252(text);
    std::string out;
    out.reserve(text.size());
    bool merged = false;
    std::size_t i = 0;
    while (i < text.size()) {
      const std::size_t at = lowered.find("[ie:", i);
      if (at == std::string::npos) break;
      const std::size_t end = lowered.find(']', at);
      if (end == std::string::npos) break;
      out.append(text, i, at - i);
      std::string reference = Trimmed(std::string_view(text).substr(at + 4, end - at - 4));
      const std::size_t bar = reference.find('|');
      std::string code = reference;
      if (bar != std::string::npos) {
        code = Trimmed(reference.substr(0, bar)) +
               Trimmed(TheDossierRecord.Constant(LeadingInt(reference.substr(bar + 1))));
      }
      std::string imported;
      const std::size_t statementLength = end - at + 1;
      if (source.FindTemplate(code, imported) &&
          text.size() - statementLength + imported.size() <= kTemplateLimit) {
        out += imported;
        merged = true;
      } else {
        out.append(text, at, statementLength);
      }
      i = end + 1;
    }
    out.append(text, i < text.size() ? i : text.size(), std::string::npos);
    text = std::move(out);
    if (!merged) break;
  }
  return text;
}

bool PrepareTemplate(TemplateSource& source, std::string text, LoadedTemplate& out) {
  text = MergeImports(source, std::move(text));
  out.layout = ReadLayoutAttributes(text);
  if (out.layout.framing != ' ') {
    text.insert(0, "[" + std::string(1, out.layout.framing) + ":" + std::to_string(out.layout.framingWidth) + "]");
  }
  out.refusal.clear();
  if (text.size() > kTemplateLimit) {
    // The line the limit falls in, counted as the template's author sees them.
    const std::size_t start = text.rfind('\n', kTemplateLimit - 1);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    std::size_t end = text.find_first_of("\r\n", kTemplateLimit);
    if (end == std::string::npos) end = text.size();
    const long line = static_cast<long>(std::count(text.begin(), text.begin() + static_cast<long>(from), '\n')) + 1;
    out.refusal = FillPlaceholders(LoadStr(kMsgTemplateTooLong), {std::to_string(line), std::to_string(end - from)});
    return false;
  }
  out.text = std::move(text);
  return true;
}

bool LoadTemplate(TemplateSource& source, const std::string& code, LoadedTemplate& out) {
  std::string text;
  if (!source.FindTemplate(code, text)) return false;
  return PrepareTemplate(source, std::move(text), out);
}

}  // namespace reports
