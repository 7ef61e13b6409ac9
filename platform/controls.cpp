#include "platform/controls.h"

#include <commctrl.h>

#include <stdexcept>

#include "platform/application.h"
#include "platform/form.h"
#include "platform/utf16.h"
#include "platform/vertical_scroll.h"

namespace deskfind {
namespace {

// The size a text takes in a font, in screen pixels; lines break at CR, LF or both.
SIZE MeasureText(Form& form, const FontSpec& font, const std::wstring& text) {
  HDC dc = form.App().MeasuringDC();
  ScopedSelectObject selected(dc, form.FontFor(font));
  RECT rect{0, 0, 0, 0};
  const std::wstring measured = text.empty() ? L" " : text;
  DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &rect,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_LEFT);
  return {text.empty() ? 0 : rect.right - rect.left, rect.bottom - rect.top};
}

BitmapHandle LoadBitmapResource(Form& form, int resource, int size) {
  if (resource == 0) return {};
  const int scaled = form.Scale(size);
  return BitmapHandle(
      static_cast<HBITMAP>(LoadImageW(form.App().Instance(), MAKEINTRESOURCEW(resource),
                                      IMAGE_BITMAP, scaled, scaled, LR_CREATEDIBSECTION)));
}

// Shows the picture loaded again at the form's present DPI; the one shown before goes only
// after the window has let go of it.
void ShowRescaledBitmap(Control& control, UINT setImage, BitmapHandle& bitmap, int resource,
                        int size) {
  BitmapHandle rescaled = LoadBitmapResource(control.Owner(), resource, size);
  SendMessageW(control.Handle(), setImage, IMAGE_BITMAP, reinterpret_cast<LPARAM>(rescaled.Get()));
  bitmap = std::move(rescaled);
}

FontSpec Underlined(FontSpec font) {
  font.underline = true;
  return font;
}

}  // namespace

Label::Label(Form& owner, std::string name, int left, int top, std::string_view text, bool visible)
    : Label(owner, std::move(name), left, top, text, owner.DefaultFont()) {
  SetVisible(visible);
}

Label::Label(Form& owner, std::string name, int left, int top, std::string_view text,
             const FontSpec& font, COLORREF color)
    : Label(owner, std::move(name), left, top, text, font, color, 0) {}

Label::Label(Form& owner, std::string name, int left, int top, std::string_view text,
             const FontSpec& font, COLORREF color, DWORD extraStyle)
    : Control(owner, std::move(name), left, top, 0, 0) {
  SetFont(font);
  SetTextColor(color);
  const SIZE size = MeasureText(owner, font, Utf16(text));
  SetPixelSize(size.cx, size.cy);
  CreateWindowFor(L"STATIC", SS_LEFT | SS_NOTIFY | SS_NOPREFIX | extraStyle, 0, text);
}

void Label::TextChanged() {
  if (!Handle()) return;
  const SIZE size = MeasureText(Owner(), Font(), Utf16(Text()));
  SetPixelSize(size.cx, size.cy);
}

Link::Link(Form& owner, std::string name, int left, int top, std::string_view text,
           const FontSpec& font, const LinkLook& look, std::string_view tooltip)
    : Label(owner, std::move(name), left, top, text, Underlined(font), look.color, WS_TABSTOP),
      visitedColor_(look.visitedColor) {
  SetCursor(look.cursor);
  SetTooltip(tooltip);
  SetWindowSubclass(Handle(), &Link::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

Link::~Link() {
  if (Handle()) RemoveWindowSubclass(Handle(), &Link::SubclassProc, 0);
}

LRESULT CALLBACK Link::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR data) {
  auto* link = reinterpret_cast<Link*>(data);
  switch (message) {
    case WM_GETDLGCODE: {
      // Enter belongs to the link, not to the form's default button.
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
        return DLGC_WANTMESSAGE | DLGC_STATIC;
      }
      break;
    }
    case WM_KEYDOWN:
      // Bit 30: the key was already down, an auto-repeat.
      if ((wParam == VK_RETURN || wParam == VK_SPACE) && !(lParam & (1 << 30))) {
        link->Click();
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (VerticalScroll* scroll = link->Owner().Scrolling()) scroll->ScrollIntoView(window);
      InvalidateRect(window, nullptr, TRUE);
      break;
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      break;
    case WM_PAINT:
      if (GetFocus() == window) {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        RECT client;
        GetClientRect(window, &client);
        const ScopedGetDC dc(window);
        if (dc.Get()) DrawFocusRect(dc.Get(), &client);
        return result;
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

PushButton::PushButton(Form& owner, std::string name, int left, int top, int width, int height,
                       std::string_view caption, bool isDefault)
    : Control(owner, std::move(name), left, top, width, height) {
  CreateWindowFor(L"BUTTON", WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0,
                  caption);
}

PictureButton::PictureButton(Form& owner, std::string name, int left, int top, int width,
                             int height, int bitmapResource, int bitmapSize)
    : Control(owner, std::move(name), left, top, width, height),
      bitmapResource_(bitmapResource),
      bitmapSize_(bitmapSize),
      bitmap_(LoadBitmapResource(owner, bitmapResource, bitmapSize)) {
  CreateWindowFor(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON | BS_BITMAP, 0, "");
  SendMessageW(Handle(), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_.Get()));
}

PictureButton::~PictureButton() { DestroyOwnWindow(); }

Picture::Picture(Form& owner, std::string name, int left, int top, int width, int height,
                 int bitmapResource, int bitmapSize)
    : Control(owner, std::move(name), left, top, width, height),
      bitmapResource_(bitmapResource),
      bitmapSize_(bitmapSize),
      bitmap_(LoadBitmapResource(owner, bitmapResource, bitmapSize)) {
  CreateWindowFor(L"STATIC", SS_BITMAP, 0, "");
  SendMessageW(Handle(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_.Get()));
  // A bitmap static shrinks to its picture; the box keeps its own size.
  SetBounds(left, top, width, height);
}

Picture::~Picture() { DestroyOwnWindow(); }

void PictureButton::DpiChanged() {
  ShowRescaledBitmap(*this, BM_SETIMAGE, bitmap_, bitmapResource_, bitmapSize_);
  Control::DpiChanged();
}

void Picture::DpiChanged() {
  ShowRescaledBitmap(*this, STM_SETIMAGE, bitmap_, bitmapResource_, bitmapSize_);
  Control::DpiChanged();
}

DropDownList::DropDownList(Form& owner, std::string name, int left, int top, int width, int height,
                           const std::vector<std::string>& items, int visibleRows)
    : Control(owner, std::move(name), left, top, width, height), visibleRows_(visibleRows) {
  CreateWindowFor(L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, "");
  for (const std::string& item : items) {
    SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf16(item).c_str()));
  }
  SendMessageW(Handle(), CB_SETMINVISIBLE, static_cast<WPARAM>(visibleRows), 0);
  FitToFont();
  SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void DropDownList::FitToFont() {
  // A combo box's window height includes its dropped-down list.
  const auto itemHeight = static_cast<int>(SendMessageW(Handle(), CB_GETITEMHEIGHT, 0, 0));
  SetPixelSize(Owner().Scale(Width()), Owner().Scale(Height()) + visibleRows_ * itemHeight + 2);
  FitClosedHeight();
}

void DropDownList::FitClosedHeight() {
  // The closed box is its selection field and a frame, and the field follows the font unless
  // set. What a set height gives differs between systems: set, look, correct.
  const int wanted = Owner().Scale(Height());
  auto field =
      static_cast<int>(SendMessageW(Handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  for (int attempt = 0; attempt < 3; ++attempt) {
    RECT closed;
    GetWindowRect(Handle(), &closed);
    const int error = wanted - (closed.bottom - closed.top);
    if (error == 0 || field + error <= 0) return;
    field += error;
    SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
  }
}

void DropDownList::DpiChanged() {
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Owner().FontFor(Font())), FALSE);
  FitToFont();
}

int DropDownList::ShownHeight() const { return Owner().Scale(Height()); }

int DropDownList::ItemIndex() const {
  return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
}

void DropDownList::SetItemIndex(int index) {
  SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string DropDownList::ItemText(int index) const {
  const auto length = SendMessageW(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) throw std::out_of_range("no such item in the list");
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return Utf8(text);
}

Memo::Memo(Form& owner, std::string name, int left, int top, int width, int height,
           std::string_view text, bool visible)
    : Control(owner, std::move(name), left, top, width, height) {
  SetVisible(visible);
  CreateWindowFor(L"EDIT", WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL,
                  WS_EX_CLIENTEDGE, text);
}

ProgressBar::ProgressBar(Form& owner, std::string name, int left, int top, int width, int height,
                         std::string_view accessibleName)
    : Control(owner, std::move(name), left, top, width, height) {
  CreateWindowFor(PROGRESS_CLASSW, 0, 0, accessibleName);
}

void ProgressBar::Show(unsigned position, unsigned range) {
  const bool marquee = range == 0;
  if (marquee != marquee_) {
    // The style decides how the bar draws; the marquee moves on its own timer.
    const LONG style = GetWindowLongW(Handle(), GWL_STYLE);
    SetWindowLongW(Handle(), GWL_STYLE, marquee ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
    SendMessageW(Handle(), PBM_SETMARQUEE, marquee, 0);
    marquee_ = marquee;
  }
  if (marquee) return;
  if (range != range_) SendMessageW(Handle(), PBM_SETRANGE32, 0, static_cast<LPARAM>(range));
  range_ = range;
  SendMessageW(Handle(), PBM_SETPOS, position, 0);
}

unsigned ProgressBar::Position() const {
  return static_cast<unsigned>(SendMessageW(Handle(), PBM_GETPOS, 0, 0));
}

Panel::Panel(Form& owner, std::string name, int left, int top, int width, int height)
    : Component(owner, std::move(name)), left_(left), top_(top), width_(width), height_(height) {}

MenuBar::MenuBar(Form& owner, std::string name)
    : Component(owner, std::move(name)), menu_(CreateMenu()) {
  if (!menu_) throw std::runtime_error("cannot create a menu");
  SetMenu(owner.Handle(), menu_.Get());
}

RECT Panel::ScreenBounds() const {
  const Form& form = Owner();
  return {form.Scale(left_), form.Scale(top_), form.Scale(left_ + width_),
          form.Scale(top_ + height_)};
}

void Panel::Paint(HDC dc) const {
  RECT bounds = ScreenBounds();
  DrawEdge(dc, &bounds, BDR_SUNKENOUTER, BF_RECT);
  InflateRect(&bounds, -1, -1);
  DrawEdge(dc, &bounds, BDR_RAISEDINNER, BF_RECT);
}

MenuBar::~MenuBar() {
  // Detached first: a window destroys the menu it still shows.
  if (IsWindow(Owner().Handle()) && GetMenu(Owner().Handle()) == menu_.Get()) {
    SetMenu(Owner().Handle(), nullptr);
  }
}

MenuItem::MenuItem(Form& owner, std::string name, MenuBar& bar, std::string_view text)
    : Component(owner, std::move(name)), subMenu_(CreatePopupMenu()) {
  AppendMenuW(bar.Handle(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(subMenu_),
              Utf16(text).c_str());
  // A hidden window lays its bar out once, when it is shown.
  if (IsWindowVisible(owner.Handle())) DrawMenuBar(owner.Handle());
}

MenuItem::MenuItem(Form& owner, std::string name, MenuItem& heading, std::string_view text,
                   unsigned short commandId)
    : Component(owner, std::move(name)), commandId_(commandId) {
  AppendMenuW(heading.SubMenu(), MF_STRING, commandId, Utf16(text).c_str());
}

}  // namespace deskfind
