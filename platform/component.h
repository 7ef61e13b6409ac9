#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/font_cache.h"
#include "platform/win32_handles.h"

namespace deskfind {

class Control;
class Form;
class Link;
class Panel;

// Anything a form owns and lists: controls and menu items.
class Component {
 public:
  using Handler = std::function<void(Component& sender)>;

  Component(Form& owner, std::string name);
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;
  virtual ~Component();

  const std::string& Name() const { return name_; }
  Form& Owner() const { return owner_; }
  virtual bool IsLabel() const { return false; }
  // What kind of component this is, without run-time type information.
  virtual Control* AsControl() { return nullptr; }
  virtual Link* AsLink() { return nullptr; }
  virtual const Panel* AsPanel() const { return nullptr; }
  // The menu command this component runs, or 0.
  virtual unsigned short MenuCommand() const { return 0; }

  // Called on a click. Copying it to another component keeps it bound to the same window.
  Handler OnClick;
  // Runs OnClick, if set; an error that escapes it is shown by the application.
  void Click();

 private:
  Form& owner_;
  std::string name_;
};

// A component with a window of its own. Positions are in pixels of a 96-DPI screen, relative
// to the form's content; the form scales them to the screen when it creates the window.
class Control : public Component {
 public:
  Control* AsControl() override { return this; }
  HWND Handle() const { return window_.Get(); }
  // The height that shows: a drop-down list's window also spans its dropped-down part.
  virtual int ShownHeight() const;
  // Whether Tab reaches this control only after the form's other controls.
  virtual bool TabsLast() const { return false; }
  // Whether Enter presses this control when it has the focus, as it does a button.
  virtual bool PressedByEnter() const { return false; }
  // Whether the control uses the arrow and page keys itself, so that they do not scroll the
  // form: a drop-down list chooses its item with them.
  virtual bool UsesScrollingKeys() const { return false; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  std::string Text() const;
  void SetText(std::string_view text);

  const std::wstring& Tooltip() const { return tooltip_; }
  void SetTooltip(std::string_view text);
  bool ShowsTooltip() const { return showsTooltip_; }
  void SetShowsTooltip(bool shows) { showsTooltip_ = shows; }

  // A shared system cursor for the mouse over this control, or null for the default.
  HCURSOR Cursor() const { return cursor_; }
  void SetCursor(HCURSOR cursor) { cursor_ = cursor; }

  const FontSpec& Font() const { return font_; }
  void SetFont(const FontSpec& font);

  // Takes the owner's new DPI: font, size and place again.
  virtual void DpiChanged();

  // Text colour for labels; CLR_INVALID means the system window-text colour.
  COLORREF TextColor() const { return textColor_; }
  void SetTextColor(COLORREF color);

 protected:
  Control(Form& owner, std::string name, int left, int top, int width, int height);
  void CreateWindowFor(const wchar_t* windowClass, DWORD style, DWORD extendedStyle,
                       std::string_view text);
  virtual void TextChanged() {}
  // A size measured in screen pixels, used instead of the scaled design size.
  void SetPixelSize(int width, int height);
  // For a control whose window shows an object it owns: the window must go first.
  void DestroyOwnWindow() { window_.Reset(); }

 private:
  static constexpr int kFirstControlId = 1000;
  static constexpr int kLastControlId = 0x7FFF;
  void Place();
  RECT ScreenBounds() const;

  WindowHandle window_;
  int left_, top_, width_, height_;
  int pixelWidth_ = -1, pixelHeight_ = -1;
  bool visible_ = true;
  std::wstring tooltip_;
  bool showsTooltip_ = false;
  HCURSOR cursor_ = nullptr;
  FontSpec font_;
  COLORREF textColor_ = CLR_INVALID;
};

}  // namespace deskfind
