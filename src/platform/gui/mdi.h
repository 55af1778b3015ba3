// MDI frame, client and children: the main window of the program, the
// client area that holds the child windows, and the children themselves.
#pragma once

#include "platform/gui/window_users.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/window.h"

namespace gui {

class Menu;
class AcceleratorTable;
class MDIClient;
class MDIChild;

// Where the frame stands on the screen (saved in the program INI).
struct FramePlacement {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool maximized = false;
  bool minimized = false;
};

class MDIFrame : public Window {
 public:
  // The frame owns `client` (it becomes the frame's child window).
  MDIFrame(const std::string& caption, MDIClient* client);
  ~MDIFrame() override;

  MDIClient* GetClient() const { return client_; }

  // Menu bar from menu resource `id` (":/menus/<id>.menu"); false when the
  // resource is missing or malformed.
  bool AssignMenu(int resourceId);
  void SetMenu(std::unique_ptr<Menu> menu);
  Menu* GetMenu() const { return menu_.get(); }
  // Shows the bar again after items of its top level changed.
  void DrawMenuBar();
  // The window menu (the pop-up holding the cascade command) lists the open windows at its end, numbered, the
  // active one checked; done each time it opens. Null when the menu has no such pop-up.
  Menu* WindowMenu() const { return windowMenu_; }
  void UpdateWindowMenu();

  bool SetAccelerators(int resourceId);

  // Active child first (and the focused window inside it), then the client,
  // then the frame itself.
  bool RouteCommand(unsigned id) override;
  void RouteCommandEnable(CommandEnabler& ce) override;

  FramePlacement GetPlacement() const;
  void SetPlacement(const FramePlacement& p);
  // True when at least a corner of the rectangle, `margin` pixels in,
  // lies on a screen, and it is at least minW x minH.
  static bool PlacementUsable(const FramePlacement& p, int minW, int minH, int margin = 40);

  static const ResponseTable& Table();
  const ResponseTable& Responses() const override { return Table(); }

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  QWidget* ChildParentWidget() const override;
  // Shows the menu bar and installs the accelerators given before creation;
  // an override calls it first.
  void SetupWindow() override;
  // While the frame is not shown: lays it out down to the children, whose
  // client sizes follow.
  void AfterPlacement(bool stateChanged) override;

 private:
  MDIClient* client_;
  std::unique_ptr<Menu> menu_;
  Menu* windowMenu_ = nullptr;
  int windowMenuFixed_ = 0;  // its own items, before the list of windows
  std::unique_ptr<AcceleratorTable> accelerators_;
  QWidget* container_ = nullptr;
  std::string pendingCaption_;
};

class MDIClient : public Window {
 public:
  MDIClient();

  void CascadeChildren();
  // Vertical: side by side; horizontal: one above the other.
  void TileChildren(bool horizontal = false);
  void ArrangeIcons();
  // Asks every child's CanClose first; when all agree they are all closed
  // and the answer is true; one refusal closes none.
  bool CloseChildren();
  MDIChild* GetActiveMDIChild() const;
  std::vector<MDIChild*> GetChildren() const;

  static const ResponseTable& Table();
  const ResponseTable& Responses() const override { return Table(); }

  void CmCascadeChildren() { CascadeChildren(); }
  void CmTileChildren() { TileChildren(false); }
  void CmTileChildrenHoriz() { TileChildren(true); }
  void CmArrangeIcons() { ArrangeIcons(); }
  void CmCloseChildren() { CloseChildren(); }
  // The window menu's entry `id` (CM_FIRSTMDICHILD + its place in ListedChildren) activates that child.
  void CmActivateChild(unsigned id);
  void CeActivateChild(CommandEnabler& ce);

  // The children the window menu lists and the window keys go through: the shown ones, in the order they were
  // made.
  std::vector<MDIChild*> ListedChildren() const;
  // Ctrl+F6 / Ctrl+Tab: the listed child after the active one, or (previous) the one before it, round the list.
  void ActivateNextChild(bool previous);
  // The text of the window menu's entry for the child at `place` (0 first): "&1 " and its caption.
  static std::string WindowMenuText(int place, const std::string& caption);

  // The children from the one active longest ago to the one active last (the windows alive now).
  std::vector<MDIChild*> ActivationHistory() const;

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  QWidget* ChildParentWidget() const override;

 private:
  friend class MDIChild;
  void NoteActivated(QWidget* sub);
  // The child that takes over from `closing` when it goes: the last one active before it that is still shown.
  MDIChild* Successor(const MDIChild* closing) const;
  std::vector<Handle> history_;  // handles of the children as they were activated, the last one last
};

class MDIChild : public Window {
 public:
  // Deleted by the layer once destroyed (after closing).
  MDIChild(MDIClient* client, const std::string& caption);
  ~MDIChild() override;

  void Activate();

  // The child's own accelerator table (resource `id`): keys typed inside the
  // child are looked up there before the frame's table. False when the
  // resource is missing or malformed.
  bool SetAccelerators(int resourceId);
  void SetAccelerators(std::unique_ptr<AcceleratorTable> table);
  AcceleratorTable* GetAccelerators() const { return accelerators_.get(); }

  // Scroll bars beside the client area (which they narrow), shown while
  // their range is not empty. A move of a bar by the user reaches the
  // window as WM_VSCROLL / WM_HSCROLL (code in the low word, the track
  // position in the high word); the window moves the bar with SetScrollPos.
  void SetScrollRange(bool vertical, int min, int max, int page = 1);
  void SetScrollPos(bool vertical, int pos);
  int GetScrollPos(bool vertical) const;
  bool ScrollBarShown(bool vertical) const;
  // What the bar holds: minimum, maximum, page.
  struct ScrollRange {
    int min = 0, max = 0, page = 1;
  };
  ScrollRange GetScrollRange(bool vertical) const;

  // Without a maximise box (set before creation) the frame offers only
  // minimise and close, as the edit forms want.
  void SetMaximizeBox(bool on) { maximizeBox_ = on; }
  bool HasMaximizeBox() const;

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  // Installs the child's accelerators; an override calls it.
  void SetupWindow() override;
  // The active child that closes hands the keys back to the window the user had active before it (the one
  // it was opened from, as a rule), brought to the front, never to whichever child comes next in the tab
  // order behind the others.
  void HideForDestroy(QWidget* outer) override;
  // A hidden child (its frame window not shown yet, say) gets no resize
  // events from Qt: its inner layouts are brought up to date here and
  // EvSize is sent with the client size, as for a shown one.
  void AfterPlacement(bool stateChanged) override;

 private:
  friend class MDIFrame;
  struct Bar {
    ScrollRange range;
    int pos = 0;
  };
  void ApplyBar(bool vertical);
  // While the child is not visible: lays its frame out again and, when the
  // client size changed (or `announce`), sends EvSize until the size holds.
  void SyncHiddenClientSize(bool announce);
  std::unique_ptr<AcceleratorTable> accelerators_;
  Bar bars_[2];  // 0 horizontal, 1 vertical
  struct BarWidgets;  // the Qt bars, gone with the window's widgets
  std::unique_ptr<BarWidgets> barWidgets_;
  bool sizing_ = false;  // an EvSize sent by SyncHiddenClientSize is running
  bool maximizeBox_ = true;
};

}  // namespace gui
