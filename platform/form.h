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

// A top-level window that owns its components in creation order.
class Form {
 public:
  // The window class of every form.
  static constexpr wchar_t kClassName[] = L"DeskfindForm";

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
  int Dpi() const { return dpi_; }
  HFONT FontFor(const FontSpec& wanted) const;
  const FontSpec& DefaultFont() const { return font_; }

  void Show();
  void Hide();
  void Close() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

  // Modal state, driven by Application::ShowModal.
  bool ModalDone() const { return modalResult_ != 0; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }

  // Called when the user or the program asks the window to close.
  virtual void CloseRequested();

  // The content's vertical scroll position in screen pixels; 0 unless the form scrolls.
  int ScrollOffset() const;
  // Where a child window is now, in the form's client coordinates.
  RECT ChildBounds(HWND child) const;
  // Shows a vertical scroll bar when the content reaches below the visible area.
  void EnableVerticalScrolling();
  void UpdateScrollRange();
  void ScrollTo(int offset);
  // Scrolls just enough for the control to show whole.
  void ScrollIntoView(const Control& control);

  // Keys the form handles before the dialog keys (HandleNavigationKey). True when the key was
  // used.
  bool PreTranslateKey(const MSG& message);

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

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Adopt(std::unique_ptr<Component> component);
  Control* ControlOf(HWND child) const;
  void OnCommand(WPARAM wParam, LPARAM lParam);
  bool OnSetCursor(HWND target, int hitTest, UINT mouseMessage);
  void PaintPanels(HDC dc);
  // Inside a batch: remembers the area a child window covers now (or a client area), to
  // repaint it at the end.
  void MarkChanged(HWND child);
  void MarkChanged(const RECT& area);
  // Lays the window out again for a monitor of another DPI, in the rectangle it suggests.
  void OnDpiChanged(int dpi, const RECT& suggested);

  Application& application_;
  FontSpec font_;
  int dpi_;
  WindowHandle window_;
  std::vector<std::unique_ptr<Component>> components_;
  std::vector<const Panel*> panels_;
  int nextControlId_ = 1000;
  int modalResult_ = 0;
  TooltipRelay tooltip_;
  std::unique_ptr<VerticalScroll> scroll_;  // only in forms whose content scrolls
  int batchDepth_ = 0;
  RECT batchChanged_{};

  friend class Control;
  int NextControlId() { return nextControlId_++; }
};

}  // namespace deskfind
