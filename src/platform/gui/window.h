// The window base of the program: a handle, a response table, the
// SetupWindow / CanClose / EvPaint hooks and the event handlers the
// program's windows override. Qt stays behind the pointer to the widget.
#pragma once

#include "platform/gui/window_users.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/command.h"
#include "platform/gui/handles.h"

class QWidget;

namespace gui {

struct Point {
  int x = 0;
  int y = 0;
};

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  int Right() const { return x + w; }
  int Bottom() const { return y + h; }
};

// Mouse and key flags given with mouse messages.
constexpr unsigned MK_LBUTTON = 0x0001;
constexpr unsigned MK_RBUTTON = 0x0002;
constexpr unsigned MK_SHIFT = 0x0004;
constexpr unsigned MK_CONTROL = 0x0008;

// EvSize kinds.
constexpr int SIZE_RESTORED = 0;
constexpr int SIZE_MINIMIZED = 1;
constexpr int SIZE_MAXIMIZED = 2;

class Window {
 public:
  explicit Window(Window* parent = nullptr);
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Builds the window: widget, handle, the children not yet created, then
  // SetupWindow. False when it could not be built.
  bool Create();
  bool IsCreated() const { return handle_ != 0; }
  Handle GetHandle() const { return handle_; }
  // The window of a handle, nullptr when stale.
  static Window* FromHandle(Handle handle) { return handles::Find(handle); }

  Window* Parent() const { return parent_; }
  const std::vector<Window*>& Children() const { return children_; }
  // Control id (dialog controls); 0 for other windows.
  int GetId() const { return id_; }
  void SetId(int id) { id_ = id; }

  // May the window close? Default: every child agrees.
  virtual bool CanClose();
  // Gives the window a parent before it is created (false once created).
  bool SetParent(Window* parent);

  // Asks CanClose, then destroys the window. False when it refused.
  bool CloseWindow();
  // Destroys the widget and retires the handle; the children go with it.
  // A window flagged DeleteOnDestroy (MDI children) is deleted afterwards.
  void Destroy();
  void SetDeleteOnDestroy(bool on) { deleteOnDestroy_ = on; }
  // Whether the parent deletes this window when it is deleted itself (the
  // default: controls, bars, MDI children). A dialog belongs to the code that
  // made it (a variable, a unique_ptr): a parent going away only destroys its
  // widgets and lets it go.
  bool OwnedByParent() const { return ownedByParent_; }

  // Caption (cp1252).
  void SetCaption(const std::string& cp1252);
  std::string GetCaption() const;

  void Show(int showCommand);  // SW_ values
  bool IsWindowVisible() const;
  bool IsIconic() const;
  bool IsZoomed() const;
  // The window is being maximised, minimised or restored (by the program or its frame's buttons), until the event
  // loop goes on: the focus moves about inside the window meanwhile, and a handler of that focus must not change
  // the state again (the class library would lose the size to restore).
  bool StateChanging() const;
  void EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  void SetFocus();
  bool HasFocus() const;
  void BringToTop();

  // Geometry in pixels: the window rectangle relative to its parent, and the
  // client area (origin 0,0). Before Create, MoveWindow sets the initial one.
  void MoveWindow(const Rect& rect);
  Rect GetWindowRect() const;
  Rect GetClientRect() const;
  void SetMinimumSize(int w, int h);

  void Invalidate(bool erase = true);
  void InvalidateRect(const Rect& rect, bool erase = true);
  void UpdateWindow();

  // Timers: EvTimer(id) every `milliseconds` until KillTimer. Setting an id
  // again restarts it with the new interval.
  bool SetTimer(unsigned id, unsigned milliseconds);
  bool KillTimer(unsigned id);
  bool HasTimer(unsigned id) const;

  // Message dispatch (posted and sent messages end here).
  virtual std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

  // Runs the handler of `id` from the response tables; true when one ran.
  virtual bool EvCommand(unsigned id);
  // Runs the enabler of the command; a command with a handler and no enabler
  // is enabled. True when this window answered for the command.
  virtual bool EvCommandEnable(CommandEnabler& ce);

  // Command routing as menus, toolbar buttons and accelerators use it. A
  // plain window answers itself; the MDI frame routes through the active
  // child, the client and itself.
  virtual bool RouteCommand(unsigned id) { return EvCommand(id); }
  virtual void RouteCommandEnable(CommandEnabler& ce) { EvCommandEnable(ce); }

  // Icon from the icon resources (":/icons/<id>.png"); false when missing.
  bool SetIconResource(int resourceId);

  // The response table of the window's class (see ResponseTable).
  static const ResponseTable& Table();
  virtual const ResponseTable& Responses() const { return Table(); }

  // The widget that receives events and paints; nullptr before Create.
  QWidget* Widget() const;
  // The widget that is moved, captioned and shown (the MDI frame of a child).
  QWidget* OuterWidget() const;

 protected:
  // Hooks.
  virtual void SetupWindow() {}
  virtual void CleanupWindow() {}
  // Called inside the widget's paint event; a device context may be opened
  // on Widget() here.
  virtual void EvPaint() {}

  // Event handlers. A handler that calls its base lets the widget do its
  // own processing of the event too; one that does not consumes it.
  virtual void EvKeyDown(int vk, unsigned repeat, unsigned flags) { DefaultProcessing(); }
  virtual void EvKeyUp(int vk, unsigned repeat, unsigned flags) { DefaultProcessing(); }
  // `ch` is the cp1252 character typed.
  virtual void EvChar(unsigned ch, unsigned repeat, unsigned flags) { DefaultProcessing(); }
  virtual void EvSetFocus(Handle lost) { DefaultProcessing(); }
  virtual void EvKillFocus(Handle gained) { DefaultProcessing(); }
  virtual void EvSize(int sizeType, int width, int height) { DefaultProcessing(); }
  virtual void EvLButtonDown(unsigned modKeys, Point p) { DefaultProcessing(); }
  virtual void EvLButtonUp(unsigned modKeys, Point p) { DefaultProcessing(); }
  virtual void EvLButtonDblClk(unsigned modKeys, Point p) { DefaultProcessing(); }
  virtual void EvRButtonDown(unsigned modKeys, Point p) { DefaultProcessing(); }
  virtual void EvMouseMove(unsigned modKeys, Point p) { DefaultProcessing(); }
  virtual void EvMouseWheel(unsigned modKeys, int delta, Point p) { DefaultProcessing(); }
  virtual void EvTimer(unsigned id) {}
  // Messages from WM_USER up, and any message WindowProc does not know.
  virtual std::intptr_t EvMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) { return 0; }

  // Inside an event handler: let the widget process the event as well.
  void DefaultProcessing() { defaultWanted_ = true; }

  // Builds the widget of this window under `parentWidget`. The default is a
  // plain widget that paints through EvPaint. Controls return their Qt
  // control; MDI children wrap theirs (see SetOuterWidget).
  virtual QWidget* CreateWidget(QWidget* parentWidget);
  // Where the widgets of child windows go (default: Widget()).
  virtual QWidget* ChildParentWidget() const;
  void SetOuterWidget(QWidget* outer);
  // Called once the program has set the window's rectangle or placement
  // mode (end of Create, MoveWindow, Show). `stateChanged`: the window was
  // just created, or became minimized, maximized or restored. Windows whose
  // widgets only learn their size when shown bring it up to date here.
  virtual void AfterPlacement(bool stateChanged) {}
  // Asks every child's CanClose (true when all agree).
  bool ChildrenCanClose();
  void SetOwnedByParent(bool owned) { ownedByParent_ = owned; }
  // Hides the outer widget of a window being destroyed (the default just hides it).
  virtual void HideForDestroy(QWidget* outer);

 private:
  friend class WindowEventFilter;
  friend class WindowWidget;
  void AddChild(Window* child);
  void RemoveChild(Window* child);
  void DestroyWidgets(bool top);
  bool DeliverEvent(void* qevent);  // QEvent* from the event filter; true when the window took it
  void NoteStateChange();
  bool DispatchEvent(void* qevent);
  void DoPaint() { EvPaint(); }

  struct Impl;
  std::unique_ptr<Impl> d_;
  Window* parent_;
  std::vector<Window*> children_;
  Handle handle_ = 0;
  int id_ = 0;
  bool deleteOnDestroy_ = false;
  bool ownedByParent_ = true;
  bool defaultWanted_ = false;
  bool destroying_ = false;
};

}  // namespace gui
