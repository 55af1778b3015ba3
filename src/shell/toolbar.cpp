#include "shell/toolbar.h"

#include <algorithm>
#include <memory>

#include "platform/gui/controlbar.h"
#include "platform/gui/dc.h"
#include "platform/gui/mdi.h"
#include "platform/gui/statusbar.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/mdi_client.h"

namespace {

constexpr std::uint32_t kMaxToolbarEntries = kToolbarListWords - 1;

std::uint32_t ListCount(const std::uint32_t* list) {
  if (list == nullptr) return 0;
  return std::min(list[0], kMaxToolbarEntries);
}

gui::Gadget* MakeGadget(std::uint32_t id) {
  if (id < child_command::FirstToolbarButton) return new gui::SeparatorGadget();
  const int bitmap = static_cast<int>(id) + BitmapSizeOffset;
  if (id % 2 == 1) {
    // Odd ids: command buttons (Texte to LastToolbarGlyph included: the option buttons of
    // the forms act as command buttons here).
    return new gui::ButtonGadget(bitmap, id, gui::ButtonGadget::Type::Command, true,
                                 gui::ButtonGadget::State::Up, false);
  }
  // Even ids: two-state buttons, disabled and up until their enabler speaks.
  return new gui::ButtonGadget(bitmap, id, gui::ButtonGadget::Type::NonExclusive, false,
                               gui::ButtonGadget::State::Up, false);
}

}  // namespace

void BuildToolbar(const std::uint32_t* list, bool repaint) {
  const std::uint32_t n = ListCount(list);
  const std::uint32_t current = std::min(ToolbarCommandList[0], kMaxToolbarEntries);
  if (n == current && std::equal(list ? list + 1 : nullptr, list ? list + 1 + n : nullptr,
                                 ToolbarCommandList + 1)) {
    return;
  }
  gui::ControlBar* bar = MainControlBar;
  if (current != 0) {
    for (std::uint32_t i = 1; i <= current; ++i) {
      if (ToolbarGadgets[i] != nullptr && bar != nullptr) {
        std::unique_ptr<gui::Gadget> gone(bar->Remove(ToolbarGadgets[i]));
      }
      ToolbarGadgets[i] = nullptr;
      ToolbarCommandList[i] = 0;
    }
    if (bar != nullptr) {
      if (repaint) bar->Invalidate(true);
      bar->LayoutSession();
    }
    ToolbarCommandList[0] = 0;
  }
  if (n == 0) return;
  gui::Gadget* previous = nullptr;
  if (bar != nullptr && bar->GadgetCount() > 0) previous = bar->GadgetAt(bar->GadgetCount() - 1);
  for (std::uint32_t i = 1; i <= n; ++i) {
    gui::Gadget* gadget = bar != nullptr ? MakeGadget(list[i]) : nullptr;
    if (gadget != nullptr) {
      bar->Insert(gadget, previous);
      previous = gadget;
    }
    ToolbarGadgets[i] = gadget;
    ToolbarCommandList[i] = list[i];
  }
  if (bar != nullptr) bar->LayoutSession();
  ToolbarCommandList[0] = n;
}

void BuildToolbar(const std::vector<std::uint32_t>& ids, bool repaint) {
  std::uint32_t words[kToolbarListWords] = {};
  const std::size_t n = std::min<std::size_t>(ids.size(), kMaxToolbarEntries);
  words[0] = static_cast<std::uint32_t>(n);
  std::copy(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(n), words + 1);
  BuildToolbar(words, repaint);
}

bool ResetToolbarWhenNoChild() {
  // Only the closing of the last child empties the bars: what the shell
  // writes there with no child open (the working date) stays.
  static bool childSeen = false;
  if (CommandWindow != nullptr && CommandWindow->GetActiveMDIChild() != nullptr) {
    childSeen = true;
    return true;
  }
  if (!childSeen) return false;
  childSeen = false;
  const std::uint32_t empty[1] = {0};
  BuildToolbar(empty, true);
  if (MessageBar != nullptr) MessageBar->SetText("");
  return false;
}

std::string CommandTooltip(unsigned id) {
  std::string hint = LoadStr(static_cast<int>(id));
  std::size_t cut = hint.find('\n');
  return cut == std::string::npos ? hint : hint.substr(cut + 1);
}

std::string CommandStatusText(unsigned id) {
  std::string hint = LoadStr(static_cast<int>(id));
  std::size_t cut = hint.find('\n');
  return cut == std::string::npos ? hint : hint.substr(0, cut);
}

void ShowCommandHint(unsigned id) {
  if (MessageBar == nullptr) return;
  const std::string text = id != 0 ? CommandStatusText(id) : std::string();
  if (IsBlank(text)) MessageBar->ClearHint();
  else MessageBar->ShowHint(text);
}

void InstallToolbarHints() {
  gui::ControlBar::SetHintProvider([](unsigned id) { return CommandTooltip(id); });
  gui::SetCommandHoverHook(&ShowCommandHint);
}

std::vector<int> ToolbarGlyphIds() {
  std::vector<int> ids;
  for (unsigned id = child_command::FirstToolbarGlyph; id <= child_command::LastToolbarGlyph; id += 2) {
    ids.push_back(static_cast<int>(id));
  }
  // Commands of a list of their own beyond the common range.
  ids.push_back(static_cast<int>(child_command::Importer));
  return ids;
}

int GlyphSize(int sizeOffset) {
  switch (sizeOffset) {
    case 0: return 16;
    case 1000: return 20;
    case 2000: return 24;
    default: return 32;
  }
}

// ---- Glyphs ---------------------------------------------------------------
//
// Every glyph is drawn on a 16-unit grid and scaled to its size: a rounded
// tile in the colour of its family, with a white symbol. The PNG resources
// (bitmaps/<id>.png) are made by DrawToolbarGlyph.

namespace {

using gui::Rgb;

enum class Symbol {
  Folder, Chart, Entry, Account, Journals, Ledger, Balance, Choice, Preview, Print, Quit, Save, Search,
  SearchAgain, Cancel, Reactivate, Modify, Refresh, Return, Copy, CopyTable, Goto, Text, Next, Letter, Payment,
  PrintPage, Html, FirstPage, PreviousPage, NextPage, LastPage, AllPages, BackTen, ForwardTen, NextList, PartUp,
  PartDown, PartLeft, PartRight, Zoom, NormalPage, Tick, LetterChoice, Link, Unlink, CopyLetters, BalanceSave,
  Import, Create, Accept, Recall, SettlePiece, SettleJournal, SettleAccount, CreateLine, CreatePiece, PreviousLine,
  RestoreLine, NextModelAccount, OtherModel, Insert, SortByCode, SortByName, Font, Enter, MovePiece, CopyPiece,
  SelectAll, Export, SearchAmount, SheetAssets, SheetResult, SheetAnnex, AddFrom, AddTo, Generic
};

struct GlyphDesign {
  Symbol symbol;
  gui::ColorRef tile;
};

GlyphDesign DesignOf(int id) {
  const gui::ColorRef blue = Rgb(46, 94, 170), green = Rgb(44, 140, 84), amber = Rgb(206, 140, 30),
                      red = Rgb(190, 52, 52), slate = Rgb(84, 96, 112), violet = Rgb(112, 76, 160);
  switch (id) {
    case child_command::GlyphOuvrirDossier: return {Symbol::Folder, amber};
    case child_command::GlyphPlanComptable: return {Symbol::Chart, blue};
    case child_command::GlyphActiverSaisie: return {Symbol::Entry, green};
    case child_command::GlyphCompte: return {Symbol::Account, violet};
    case child_command::GlyphJournaux: return {Symbol::Journals, violet};
    case child_command::GlyphGrandsLivres: return {Symbol::Ledger, violet};
    case child_command::GlyphBalances: return {Symbol::Balance, violet};
    case command_id::ChoixEtat: return {Symbol::Choice, slate};
    case child_command::Visualiser: return {Symbol::Preview, slate};
    case child_command::Imprimer: return {Symbol::Print, slate};
    case child_command::Quitter: return {Symbol::Quit, red};
    case child_command::Enregistrer: return {Symbol::Save, green};
    case child_command::Chercher: return {Symbol::Search, blue};
    case child_command::ChercherEncore: return {Symbol::SearchAgain, blue};
    case child_command::Annuler: return {Symbol::Cancel, red};
    case child_command::Reactiver: return {Symbol::Reactivate, green};
    case child_command::Modifier: return {Symbol::Modify, green};
    case child_command::Rafraichir:
    case child_command::RafraichirTotal: return {Symbol::Refresh, blue};
    case child_command::RenvoyerCode: return {Symbol::Return, amber};
    case child_command::CopierCode: return {Symbol::Copy, slate};
    case child_command::CopierTableau: return {Symbol::CopyTable, slate};
    case child_command::AllerAuCode: return {Symbol::Goto, amber};
    case child_command::Texte: return {Symbol::Text, blue};
    case child_command::LigneSuivante: return {Symbol::Next, blue};
    case child_command::ComptesClients: return {Symbol::Letter, green};   // dunning letters to the customers
    case child_command::ComptesFournisseurs: return {Symbol::Payment, amber};  // payments to the suppliers
    // The preview's bar.
    case child_command::ImprimerEcran: return {Symbol::PrintPage, slate};
    case child_command::PageHtml: return {Symbol::Html, blue};
    case child_command::ListeSuivante: return {Symbol::NextList, green};
    case child_command::PageDebut: return {Symbol::FirstPage, blue};
    case child_command::PagePrecedente: return {Symbol::PreviousPage, blue};
    case child_command::PageSuivante: return {Symbol::NextPage, blue};
    case child_command::PageFin: return {Symbol::LastPage, blue};
    case child_command::ToutesLesPages: return {Symbol::AllPages, blue};
    case child_command::PageMoins10: return {Symbol::BackTen, blue};
    case child_command::PagePlus10: return {Symbol::ForwardTen, blue};
    case child_command::PartieEnHaut: return {Symbol::PartUp, amber};
    case child_command::PartieEnBas: return {Symbol::PartDown, amber};
    case child_command::PartieAGauche: return {Symbol::PartLeft, amber};
    case child_command::PartieADroite: return {Symbol::PartRight, amber};
    case child_command::Zoom: return {Symbol::Zoom, slate};
    case child_command::PageNormale: return {Symbol::NormalPage, slate};
    // The matching and reconciliation lists' bars.
    case child_command::Lettrer: return {Symbol::Link, green};
    case child_command::LettrerOuDelettrer: return {Symbol::Tick, green};
    case child_command::ProchaineLettre: return {Symbol::LetterChoice, violet};
    case child_command::DeLettrer: return {Symbol::Unlink, red};
    case child_command::CopierLettrages: return {Symbol::CopyLetters, slate};
    case child_command::SolderEtEnregistrer: return {Symbol::BalanceSave, green};
    case child_command::Importer: return {Symbol::Import, blue};
    // The other bars' commands.
    case command_id::EtaBilanReelNormal: return {Symbol::SheetAssets, violet};
    case command_id::EtaBilanReelSimplifie: return {Symbol::SheetResult, violet};
    case command_id::EtaBilanAutre: return {Symbol::SheetAnnex, violet};
    case child_command::QuitterGrid: return {Symbol::Quit, red};
    case child_command::Nouveau: return {Symbol::Create, green};
    case child_command::Accepter: return {Symbol::Accept, green};
    case child_command::AjouterDepuis: return {Symbol::AddFrom, amber};
    case child_command::AjouterVers: return {Symbol::AddTo, amber};
    case child_command::ReCaler: return {Symbol::Recall, amber};
    case child_command::SolderPiece: return {Symbol::SettlePiece, violet};
    case child_command::SolderJournal: return {Symbol::SettleJournal, violet};
    case child_command::SolderCompte: return {Symbol::SettleAccount, violet};
    case child_command::CreerLigne: return {Symbol::CreateLine, green};
    case child_command::CreerPiece: return {Symbol::CreatePiece, green};
    case child_command::LignePrecedente: return {Symbol::PreviousLine, blue};
    case child_command::LigneRestore: return {Symbol::RestoreLine, amber};
    case child_command::Modele: return {Symbol::NextModelAccount, violet};
    case child_command::AutreModele: return {Symbol::OtherModel, violet};
    case child_command::Inserer: return {Symbol::Insert, blue};
    case child_command::TriParCode: return {Symbol::SortByCode, slate};
    case child_command::TriParNom: return {Symbol::SortByName, slate};
    case child_command::Police: return {Symbol::Font, slate};
    case child_command::Entree: return {Symbol::Enter, green};
    case child_command::Deplacer: return {Symbol::MovePiece, amber};
    case child_command::Copier: return {Symbol::CopyPiece, slate};
    case child_command::ToutSelectionner: return {Symbol::SelectAll, blue};
    case child_command::Exporter: return {Symbol::Export, green};
    case child_command::ChercherMontant: return {Symbol::SearchAmount, blue};
    default: {
      static const gui::ColorRef palette[] = {blue, green, amber, slate, violet};
      return {Symbol::Generic, palette[(id / 2) % 5]};
    }
  }
}

class GlyphPainter {
 public:
  GlyphPainter(gui::DC& dc, int size) : dc_(dc), size_(size) {}
  int S(int units) const { return units * size_ / 16; }
  void Pen(int width = 1) { dc_.SelectPen(gui::Pen::Solid(gui::colors::White, std::max(1, width * size_ / 16))); }
  void Fill(bool solid) { dc_.SelectBrush(solid ? gui::Brush::Solid(gui::colors::White) : gui::Brush::Hollow()); }
  void Rect(int l, int t, int r, int b, bool solid = false) { Fill(solid); dc_.Rectangle(S(l), S(t), S(r), S(b)); }
  void Oval(int l, int t, int r, int b, bool solid = false) { Fill(solid); dc_.Ellipse(S(l), S(t), S(r), S(b)); }
  void Line(int x1, int y1, int x2, int y2) { dc_.MoveTo(S(x1), S(y1)); dc_.LineTo(S(x2), S(y2)); }
  void Poly(std::vector<gui::Point> pts, bool solid = true) {
    for (auto& p : pts) p = gui::Point{S(p.x), S(p.y)};
    Fill(solid);
    dc_.Polygon(pts);
  }

 private:
  gui::DC& dc_;
  int size_;
};

void DrawSymbol(GlyphPainter& g, Symbol s) {
  g.Pen(1);
  switch (s) {
    case Symbol::Folder: g.Poly({{3, 5}, {7, 5}, {8, 6}, {13, 6}, {13, 12}, {3, 12}}); break;
    case Symbol::Chart: for (int y = 4; y <= 12; y += 2) g.Line(4, y, 12, y); break;
    case Symbol::Entry: g.Rect(4, 3, 11, 13); g.Line(8, 11, 13, 5); break;
    case Symbol::Account: g.Rect(4, 3, 12, 13); g.Line(8, 4, 8, 12); g.Line(5, 6, 11, 6); break;
    case Symbol::Journals: g.Rect(5, 3, 12, 11); g.Rect(3, 5, 10, 13, true); break;
    case Symbol::Ledger: g.Rect(4, 3, 12, 13); g.Line(6, 3, 6, 13); break;
    case Symbol::Balance:
      g.Line(8, 3, 8, 12); g.Line(4, 5, 12, 5); g.Line(5, 13, 11, 13);
      g.Line(4, 5, 3, 9); g.Line(4, 5, 5, 9); g.Line(12, 5, 11, 9); g.Line(12, 5, 13, 9);
      break;
    case Symbol::Choice: g.Rect(4, 4, 12, 12); g.Line(5, 8, 7, 11); g.Line(7, 11, 11, 5); break;
    case Symbol::Preview: g.Oval(3, 3, 10, 10); g.Pen(2); g.Line(9, 9, 13, 13); break;
    case Symbol::Print: g.Rect(5, 3, 11, 7); g.Rect(3, 7, 13, 11, true); g.Rect(5, 10, 11, 13); break;
    case Symbol::Quit: g.Pen(2); g.Line(4, 4, 12, 12); g.Line(12, 4, 4, 12); break;
    case Symbol::Save: g.Rect(3, 3, 13, 13); g.Rect(5, 3, 11, 7, true); g.Rect(5, 9, 11, 13); break;
    case Symbol::Search: g.Oval(3, 3, 10, 10); g.Pen(2); g.Line(9, 9, 13, 13); break;
    case Symbol::SearchAgain: g.Oval(2, 2, 8, 8); g.Line(7, 7, 10, 10); g.Poly({{10, 9}, {14, 12}, {10, 15}}); break;
    case Symbol::Cancel: g.Oval(3, 3, 13, 13); g.Line(5, 11, 11, 5); break;
    case Symbol::Reactivate: g.Oval(3, 3, 13, 13); g.Poly({{9, 1}, {13, 3}, {9, 6}}); break;
    case Symbol::Modify: g.Pen(2); g.Line(4, 12, 12, 4); g.Poly({{3, 13}, {4, 10}, {6, 12}}); break;
    case Symbol::Refresh: g.Oval(3, 3, 13, 13); g.Poly({{11, 1}, {14, 5}, {9, 5}}); break;
    case Symbol::Return: g.Poly({{3, 8}, {8, 3}, {8, 6}, {13, 6}, {13, 10}, {8, 10}, {8, 13}}); break;
    case Symbol::Copy: g.Rect(3, 3, 10, 10); g.Rect(6, 6, 13, 13, true); break;
    case Symbol::CopyTable:
      g.Rect(3, 3, 13, 13); g.Line(3, 6, 13, 6); g.Line(3, 9, 13, 9); g.Line(8, 3, 8, 13); break;
    case Symbol::Goto: g.Poly({{13, 8}, {8, 3}, {8, 6}, {3, 6}, {3, 10}, {8, 10}, {8, 13}}); break;
    case Symbol::Text: for (int y = 4; y <= 12; y += 2) g.Line(4, y, y == 12 ? 9 : 12, y); break;
    case Symbol::Next: g.Poly({{8, 13}, {3, 8}, {6, 8}, {6, 3}, {10, 3}, {10, 8}, {13, 8}}); break;
    case Symbol::Letter: g.Rect(2, 4, 14, 12); g.Line(2, 4, 8, 9); g.Line(8, 9, 14, 4); break;
    case Symbol::Payment: g.Rect(2, 5, 9, 11); g.Poly({{9, 6}, {12, 6}, {12, 4}, {15, 8}, {12, 12}, {12, 10}, {9, 10}}); break;
    case Symbol::PrintPage:
      g.Rect(5, 2, 11, 6); g.Rect(3, 6, 13, 10, true); g.Rect(4, 9, 12, 15); g.Line(6, 11, 10, 11); g.Line(6, 13, 10, 13);
      break;
    case Symbol::Html:
      g.Line(6, 4, 2, 8); g.Line(2, 8, 6, 12); g.Line(10, 4, 14, 8); g.Line(14, 8, 10, 12); g.Line(9, 3, 7, 13); break;
    case Symbol::FirstPage: g.Pen(2); g.Line(4, 4, 4, 12); g.Poly({{12, 4}, {6, 8}, {12, 12}}); break;
    case Symbol::PreviousPage: g.Poly({{11, 3}, {5, 8}, {11, 13}}); break;
    case Symbol::NextPage: g.Poly({{5, 3}, {11, 8}, {5, 13}}); break;
    case Symbol::LastPage: g.Pen(2); g.Line(12, 4, 12, 12); g.Poly({{4, 4}, {10, 8}, {4, 12}}); break;
    case Symbol::AllPages:
      g.Poly({{2, 4}, {7, 8}, {2, 12}}); g.Poly({{7, 4}, {12, 8}, {7, 12}}); g.Pen(2); g.Line(13, 4, 13, 12); break;
    case Symbol::BackTen: g.Poly({{8, 4}, {3, 8}, {8, 12}}); g.Poly({{13, 4}, {8, 8}, {13, 12}}); break;
    case Symbol::ForwardTen: g.Poly({{3, 4}, {8, 8}, {3, 12}}); g.Poly({{8, 4}, {13, 8}, {8, 12}}); break;
    case Symbol::NextList:
      g.Line(3, 4, 10, 4); g.Line(3, 7, 10, 7); g.Line(3, 10, 7, 10); g.Poly({{9, 9}, {14, 12}, {9, 15}}); break;
    case Symbol::PartUp: g.Rect(2, 2, 14, 14); g.Poly({{8, 4}, {12, 8}, {10, 8}, {10, 12}, {6, 12}, {6, 8}, {4, 8}}); break;
    case Symbol::PartDown: g.Rect(2, 2, 14, 14); g.Poly({{8, 12}, {12, 8}, {10, 8}, {10, 4}, {6, 4}, {6, 8}, {4, 8}}); break;
    case Symbol::PartLeft: g.Rect(2, 2, 14, 14); g.Poly({{4, 8}, {8, 4}, {8, 6}, {12, 6}, {12, 10}, {8, 10}, {8, 12}}); break;
    case Symbol::PartRight: g.Rect(2, 2, 14, 14); g.Poly({{12, 8}, {8, 4}, {8, 6}, {4, 6}, {4, 10}, {8, 10}, {8, 12}}); break;
    case Symbol::Zoom: g.Oval(2, 2, 12, 12); g.Line(4, 7, 10, 7); g.Line(7, 4, 7, 10); g.Pen(2); g.Line(11, 11, 14, 14); break;
    case Symbol::NormalPage: g.Rect(4, 2, 12, 14); g.Line(6, 5, 10, 5); g.Line(6, 8, 10, 8); g.Line(6, 11, 10, 11); break;
    case Symbol::Tick: g.Pen(2); g.Line(3, 8, 6, 12); g.Line(6, 12, 13, 4); break;
    case Symbol::LetterChoice:
      g.Line(3, 13, 7, 3); g.Line(7, 3, 11, 13); g.Line(5, 9, 9, 9); g.Poly({{11, 2}, {15, 5}, {11, 8}}); break;
    case Symbol::Link: g.Pen(2); g.Oval(2, 5, 9, 11); g.Oval(7, 5, 14, 11); break;
    case Symbol::Unlink: g.Pen(2); g.Oval(1, 5, 7, 11); g.Oval(9, 5, 15, 11); g.Pen(1); g.Line(8, 2, 8, 14); break;
    case Symbol::CopyLetters:
      g.Line(3, 5, 10, 5); g.Poly({{10, 2}, {14, 5}, {10, 8}}); g.Line(6, 11, 13, 11); g.Poly({{6, 8}, {2, 11}, {6, 14}});
      break;
    case Symbol::BalanceSave: g.Rect(3, 3, 13, 13); g.Rect(5, 3, 11, 6, true); g.Line(5, 9, 11, 9); g.Line(5, 11, 11, 11); break;
    case Symbol::Import:
      g.Poly({{6, 2}, {10, 2}, {10, 6}, {13, 6}, {8, 11}, {3, 6}, {6, 6}});
      g.Line(2, 10, 2, 14); g.Line(2, 14, 14, 14); g.Line(14, 14, 14, 10);
      break;
    case Symbol::Create: g.Pen(2); g.Line(8, 3, 8, 13); g.Line(3, 8, 13, 8); break;
    case Symbol::Accept: g.Oval(2, 2, 14, 14); g.Pen(2); g.Line(5, 8, 7, 11); g.Line(7, 11, 11, 5); break;
    case Symbol::Recall: g.Oval(3, 3, 13, 13); g.Oval(6, 6, 10, 10, true); break;
    case Symbol::SettlePiece: g.Rect(3, 2, 13, 14); g.Line(5, 7, 11, 7); g.Line(5, 10, 11, 10); break;
    case Symbol::SettleJournal:
      g.Rect(2, 2, 14, 14); g.Line(2, 5, 14, 5); g.Line(5, 8, 11, 8); g.Line(5, 11, 11, 11); break;
    case Symbol::SettleAccount:
      g.Line(2, 3, 14, 3); g.Line(8, 3, 8, 7); g.Line(4, 10, 12, 10); g.Line(4, 13, 12, 13); break;
    case Symbol::CreateLine:
      g.Line(2, 4, 10, 4); g.Line(2, 7, 10, 7); g.Pen(2); g.Line(11, 8, 11, 14); g.Line(8, 11, 14, 11); break;
    case Symbol::CreatePiece: g.Rect(2, 2, 10, 13); g.Pen(2); g.Line(12, 8, 12, 14); g.Line(9, 11, 15, 11); break;
    case Symbol::PreviousLine: g.Poly({{8, 3}, {13, 8}, {10, 8}, {10, 13}, {6, 13}, {6, 8}, {3, 8}}); break;
    case Symbol::RestoreLine: g.Oval(3, 3, 13, 13); g.Poly({{5, 1}, {2, 5}, {7, 5}}); break;
    case Symbol::NextModelAccount: g.Rect(2, 3, 9, 13); g.Line(2, 6, 9, 6); g.Poly({{10, 4}, {14, 8}, {10, 12}}); break;
    case Symbol::OtherModel: g.Rect(2, 2, 11, 14); g.Line(4, 5, 9, 5); g.Line(4, 8, 9, 8); g.Oval(9, 9, 15, 15, true); break;
    case Symbol::Insert: g.Line(2, 13, 14, 13); g.Poly({{8, 11}, {4, 4}, {12, 4}}); break;
    case Symbol::SortByCode:
      g.Line(5, 2, 5, 12); g.Poly({{2, 10}, {5, 14}, {8, 10}}); g.Line(10, 4, 14, 4); g.Line(10, 8, 14, 8);
      g.Line(10, 12, 14, 12);
      break;
    case Symbol::SortByName:
      g.Line(4, 2, 4, 12); g.Poly({{1, 10}, {4, 14}, {7, 10}}); g.Line(8, 13, 11, 3); g.Line(11, 3, 14, 13);
      g.Line(9, 9, 13, 9);
      break;
    case Symbol::Font: g.Pen(2); g.Line(3, 3, 13, 3); g.Line(8, 3, 8, 13); break;
    case Symbol::Enter: g.Line(12, 3, 12, 10); g.Line(12, 10, 5, 10); g.Poly({{6, 7}, {2, 10}, {6, 13}}); break;
    case Symbol::MovePiece: g.Rect(2, 2, 8, 12); g.Poly({{8, 6}, {11, 6}, {11, 4}, {15, 8}, {11, 12}, {11, 10}, {8, 10}}); break;
    case Symbol::CopyPiece:
      g.Rect(2, 2, 8, 10); g.Rect(4, 5, 10, 13, true); g.Poly({{10, 9}, {12, 9}, {12, 7}, {15, 11}, {12, 15}, {12, 13}, {10, 13}});
      break;
    case Symbol::SelectAll: g.Rect(2, 2, 14, 14); g.Rect(4, 4, 12, 12, true); break;
    case Symbol::Export:
      g.Poly({{8, 1}, {12, 5}, {10, 5}, {10, 10}, {6, 10}, {6, 5}, {4, 5}});
      g.Line(2, 8, 2, 14); g.Line(2, 14, 14, 14); g.Line(14, 14, 14, 8);
      break;
    case Symbol::SearchAmount: g.Oval(2, 2, 11, 11); g.Line(4, 5, 9, 5); g.Line(4, 8, 9, 8); g.Pen(2); g.Line(10, 10, 14, 14); break;
    case Symbol::SheetAssets: g.Rect(2, 2, 14, 14); g.Line(8, 2, 8, 14); g.Line(2, 5, 14, 5); break;
    case Symbol::SheetResult: g.Rect(2, 2, 14, 14); g.Line(2, 5, 14, 5); g.Line(4, 8, 12, 8); g.Line(4, 11, 12, 11); break;
    case Symbol::SheetAnnex:
      g.Rect(2, 2, 14, 14); g.Line(2, 6, 14, 6); g.Line(2, 10, 14, 10); g.Line(6, 2, 6, 14); g.Line(10, 2, 10, 14); break;
    case Symbol::AddFrom: g.Rect(9, 3, 15, 13); g.Poly({{1, 6}, {5, 6}, {5, 4}, {9, 8}, {5, 12}, {5, 10}, {1, 10}}); break;
    case Symbol::AddTo: g.Rect(1, 3, 7, 13); g.Poly({{7, 6}, {11, 6}, {11, 4}, {15, 8}, {11, 12}, {11, 10}, {7, 10}}); break;
    case Symbol::Generic: g.Oval(5, 5, 11, 11, true); break;
  }
}

}  // namespace

bool ToolbarGlyphDrawn(int baseId) { return DesignOf(baseId).symbol != Symbol::Generic; }

std::vector<unsigned> InstalledCommandsWithoutGlyph() {
  std::vector<unsigned> missing;
  const std::uint32_t n = std::min(ToolbarCommandList[0], kMaxToolbarEntries);
  for (std::uint32_t i = 1; i <= n; ++i) {
    const std::uint32_t id = ToolbarCommandList[i];
    if (id < child_command::FirstToolbarButton) continue;
    bool drawn = ToolbarGlyphDrawn(static_cast<int>(id));
    for (int offset : {0, 1000, 2000, 3000})
      drawn = drawn && !gui::Bitmap::Load(std::to_string(id + static_cast<unsigned>(offset))).IsNull();
    if (!drawn) missing.push_back(id);
  }
  return missing;
}

gui::Bitmap DrawToolbarGlyph(int baseId, int size) {
  gui::MemoryDC dc(size, size, Rgb(236, 236, 236));
  GlyphDesign design = DesignOf(baseId);
  dc.SelectPen(gui::Pen::None());
  dc.SelectBrush(gui::Brush::Solid(design.tile));
  const int r = std::max(2, size / 4);
  dc.RoundRect(0, 0, size, size, r, r);
  GlyphPainter painter(dc, size);
  DrawSymbol(painter, design.symbol);
  return dc.GetBitmap();
}
