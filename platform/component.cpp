#include "platform/component.h"

#include <stdexcept>

#include "platform/application.h"
#include "platform/form.h"
#include "platform/utf16.h"

namespace deskfind {

Component::Component(Form& owner, std::string name) : owner_(owner), name_(std::move(name)) {
  ++LiveObjects::components;
}

Component::~Component() { --LiveObjects::components; }

void Component::Click() {
  if (!OnClick) return;
  try {
    OnClick(*this);
  } catch (const std::exception& error) {
    owner_.App().ShowError(error);
  }
}

Control::Control(Form& owner, std::string name, int left, int top, int width, int height)
    : Component(owner, std::move(name)),
      left_(left),
      top_(top),
      width_(width),
      height_(height),
      font_(owner.DefaultFont()) {}

void Control::CreateWindowFor(const wchar_t* windowClass, DWORD style, DWORD extendedStyle,
                              std::string_view text) {
  Form& form = Owner();
  // Ids only tell siblings apart in notifications: one count for the whole program does.
  static int nextId = kFirstControlId;
  const int id = nextId;
  nextId = nextId == kLastControlId ? kFirstControlId : nextId + 1;
  // Created at its final place and size, so that no second round of moves is needed.
  const RECT bounds = ScreenBounds();
  window_.Reset(CreateWindowExW(extendedStyle, windowClass, Utf16(text).c_str(),
                                style | WS_CHILD | (visible_ ? WS_VISIBLE : 0), bounds.left,
                                bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                form.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                form.App().Instance(), nullptr));
  if (!window_) throw std::runtime_error("cannot create a control");
  SetWindowLongPtrW(Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(form.FontFor(font_)), FALSE);
  form.ControlChanged(Handle());
}

RECT Control::ScreenBounds() const {
  const Form& form = Owner();
  const int left = form.Scale(left_);
  const int top = form.Scale(top_) - form.ScrollOffset();
  const int width = pixelWidth_ >= 0 ? pixelWidth_ : form.Scale(width_);
  const int height = pixelHeight_ >= 0 ? pixelHeight_ : form.Scale(height_);
  return {left, top, left + width, top + height};
}

void Control::SetPixelSize(int width, int height) {
  pixelWidth_ = width, pixelHeight_ = height;
  Place();
}

void Control::Place() {
  if (!Handle()) return;
  const RECT bounds = ScreenBounds();
  Owner().ControlChanged(Handle());
  SetWindowPos(Handle(), nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Owner().ControlChanged(Handle());
}

int Control::ShownHeight() const {
  RECT bounds;
  GetWindowRect(Handle(), &bounds);
  return bounds.bottom - bounds.top;
}

void Control::SetBounds(int left, int top, int width, int height) {
  left_ = left, top_ = top, width_ = width, height_ = height;
  pixelWidth_ = pixelHeight_ = -1;
  Place();
}

void Control::SetVisible(bool visible) {
  visible_ = visible;
  if (Handle()) ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
  Owner().ControlChanged(Handle());
}

std::string Control::Text() const {
  if (!Handle()) return {};
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(Handle())) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(Handle(), text.data(), static_cast<int>(text.size()))));
  return Utf8(text);
}

void Control::SetText(std::string_view text) {
  if (Handle()) SetWindowTextW(Handle(), Utf16(text).c_str());
  Owner().ControlChanged(Handle());
  TextChanged();
}

void Control::SetTooltip(std::string_view text) {
  tooltip_ = Utf16(text);
  showsTooltip_ = true;
}

void Control::SetFont(const FontSpec& font) {
  font_ = font;
  if (Handle()) {
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Owner().FontFor(font_)), TRUE);
    Owner().ControlChanged(Handle());
  }
  TextChanged();
}

void Control::DpiChanged() {
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Owner().FontFor(font_)), FALSE);
  if (IsLabel()) {
    TextChanged();  // measures the text in the new font and places the label
  } else {
    Place();
  }
}

void Control::SetTextColor(COLORREF color) {
  textColor_ = color;
  if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
  Owner().ControlChanged(Handle());
}

}  // namespace deskfind
