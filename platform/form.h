#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/component.h"
#include "platform/font_cache.h"
#include "platform/tooltip_relay.h"
#include "platform/win32_handles.h"

namespace deskfind {

class Application;
class Panel;
class VerticalScroll;

enum class Border { kSizeable, kDialog };

// How a form looks when it is created. Sizes and positions are at 96 DPI.
struct FormLayout {
  std::string caption;
  int left = 0, top = 0;  // screen position, unless centred
  bool centred = false;
  int width = 0, height = 0;  // outer size, or client size when clientSize is set
  bool clientSize = false;
  Border border = Border::kSizeable;
  FontSpec font;
  bool programIcon = true;
  // A vertical scroll bar shows when the content reaches below the visible area.
  bool scrolls = false;

  // An ordinary resizable window at a screen position, sized by its frame.
  static FormLayout Sizeable(std::string caption, int left, int top, int width, int height,
                             const FontSpec& font) {
    FormLayout layout;
    layout.caption = std::move(caption);
    layout.left = left, layout.top = top, layout.width = width, layout.height = height;
    layout.font = font;
    return layout;
  }
  // A dialog centred on the screen, sized by its client area.
  static FormLayout CentredDialog(std::string caption, int clientWidth, int clientHeight,
                                  const FontSpec& font) {
    FormLayout layout;
    layout.caption = std::move(caption);
    layout.centred = layout.clientSize = true;
    layout.width = clientWidth, layout.height = clientHeight;
    layout.border = Border::kDialog;
    layout.font = font;
    return layout;
  }
};

// The window class of every form.
inline constexpr wchar_t kFormClassName[] = L"DeskfindForm";
// The message the application's loop sends a form with a pointer to a key-down MSG in lParam,
// before the dialog keys: the form answers TRUE when it used the key (Tab, Enter on a button,
// the scrolling keys).
inline constexpr UINT kNavigationKeyMessage = WM_APP + 0x3F00;

// A top-level window that owns its components in creation order.
class Form {
 public:
  Form(Application& application, const FormLayout& layout);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  HWND Handle() const { return window_.Get(); }
  Application& App() const { return application_; }

  // Creates a component owned by this form; its name must be new to the form.
  template <typename T, typename... Args>
  T& Add(Args&&... args) {
    auto component = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T& result = *component;
    Adopt(std::move(component));
    return result;
  }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  Component& ComponentAt(int index) const;
  // Destroys the component at index; later components move down by one.
  void DestroyComponent(int index);
  Component* FindComponent(std::string_view name) const;

  // Runs once as each modal showing begins.
  std::function<void()> OnActivate;

  // Screen pixels for a length at 96 DPI, at the DPI of the window's monitor.
  int Scale(int length) const;
  HFONT FontFor(const FontSpec& wanted) const;
  const FontSpec& DefaultFont() const { return font_; }

  void Show();
  void Close() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

  // Modal state, driven by Application::ShowModal: 0 while the form is showing.
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }

  // The content's scrolling; null unless the layout asked for it.
  VerticalScroll* Scrolling() const { return scroll_.get(); }
  // The content's vertical scroll position in screen pixels; 0 unless the form scrolls.
  int ScrollOffset() const;
  // A control's window came, moved, or changed its size, look or visibility: inside a batch the
  // area it covers now is repainted at the end, and the scroll bar fits the content again (at
  // the end of the batch, when inside one).
  void ControlChanged(HWND child);

  // Content layout may change many controls at once; repaint once afterwards, and only where
  // controls came, went or changed.
  class BatchUpdate {
   public:
    explicit BatchUpdate(Form& form);
    BatchUpdate(const BatchUpdate&) = delete;
    BatchUpdate& operator=(const BatchUpdate&) = delete;
    ~BatchUpdate();

   private:
    Form& form_;
  };

  HWND TooltipWindow() const { return tooltip_.Window(); }

 protected:
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The button that Enter presses, or null.
  virtual Component* DefaultButton() { return nullptr; }
  // What Escape does; nothing by default.
  virtual void EscapePressed() {}
  // Whether the application's hourglass shows over this window.
  virtual bool FollowsWaitCursor() const { return true; }
  // Called when the user or the program asks the window to close.
  virtual void CloseRequested();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Adopt(std::unique_ptr<Component> component);
  Control* ControlOf(HWND child) const;
  void OnCommand(WPARAM wParam, LPARAM lParam);
  bool OnSetCursor(HWND target, int hitTest, UINT mouseMessage);
  void PaintPanels(HDC dc);
  void UpdateScrollRange();
  void MarkChanged(const RECT& area);
  // Lays the window out again for a monitor of another DPI, in the rectangle it suggests.
  void OnDpiChanged(int dpi, const RECT& suggested);

  Application& application_;
  FontSpec font_;
  int dpi_;
  WindowHandle window_;
  std::vector<std::unique_ptr<Component>> components_;
  std::vector<const Panel*> panels_;
  int modalResult_ = 0;
  TooltipRelay tooltip_;
  std::unique_ptr<VerticalScroll> scroll_;  // only in forms whose content scrolls
  int batchDepth_ = 0;
  RECT batchChanged_{};
};

}  // namespace deskfind
