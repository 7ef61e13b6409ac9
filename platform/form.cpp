// How a user's action reaches a handler. Every way ends in Component::Click, which calls the
// component's OnClick and shows what it throws in an error box:
//   click on a button or a label  WM_COMMAND with the child's window  Form::OnCommand
//                                 (BN_CLICKED; the child's user data names its Control)
//   click on a menu item          WM_COMMAND with the item's id       Form::OnCommand, the
//                                                                     item whose MenuCommand
//                                                                     it is
//   Enter on a focused button     the key, before the dialog keys     HandleNavigationKey
//                                 (kNavigationKeyMessage from the     (keyboard_navigation.cpp)
//                                 application's loop)
//   Enter with no button focused  WM_COMMAND IDOK                     the form's default button
//   Esc                           WM_COMMAND IDCANCEL                 Form::EscapePressed
//   Enter or Space on a link      the link's own subclass             Link, in controls.cpp
#include "platform/form.h"

#include <algorithm>
#include <stdexcept>

#include "platform/application.h"
#include "platform/controls.h"
#include "platform/keyboard_navigation.h"
#include "platform/services.h"
#include "platform/utf16.h"
#include "platform/vertical_scroll.h"

namespace deskfind {
namespace {

// Sent when the window moves to a monitor of another DPI (Windows 8.1 and later).
constexpr UINT kDpiChanged = 0x02E0;

// Tooltips wrap at this width, in 96-DPI units.
constexpr int kMaxTipWidth = 400;

bool IsMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

}  // namespace

Form::Form(Application& application, const FormLayout& layout)
    : application_(application), font_(layout.font), dpi_(application.Dpi()) {
  if (!RegisterWindowClassOnce(application.Instance(), kFormClassName, &Form::WindowProc,
                               CS_DBLCLKS, GetSysColorBrush(COLOR_BTNFACE))) {
    throw std::runtime_error("cannot register the form class");
  }
  const bool dialog = layout.border == Border::kDialog;
  const DWORD style = dialog ? (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN)
                             : (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
  const DWORD extendedStyle = dialog ? WS_EX_DLGMODALFRAME : 0;

  RECT frame{0, 0, Scale(layout.width), Scale(layout.height)};
  if (layout.clientSize) AdjustWindowRectEx(&frame, style, FALSE, extendedStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int left = Scale(layout.left);
  int top = Scale(layout.top);
  if (layout.centred) {
    left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }
  // Windows other than the main one stay above it.
  HWND owner = application.MainForm() ? application.MainForm()->Handle() : nullptr;
  HWND created =
      CreateWindowExW(extendedStyle, kFormClassName, Utf16(layout.caption).c_str(), style, left,
                      top, width, height, owner, nullptr, application.Instance(), this);
  if (!created) throw std::runtime_error("cannot create a window");
  // Opened on a monitor of another DPI: take its DPI before any control is made.
  if (const int monitorDpi = MonitorDpi(created); monitorDpi > 0 && monitorDpi != dpi_) {
    SetWindowPos(created, nullptr, 0, 0, MulDiv(width, monitorDpi, dpi_),
                 MulDiv(height, monitorDpi, dpi_), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    dpi_ = monitorDpi;
  }
  if (layout.scrolls) scroll_ = std::make_unique<VerticalScroll>(*this);
  if (layout.programIcon) {
    SendMessageW(created, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(application.ProgramIcon(true)));
    SendMessageW(created, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(application.ProgramIcon(false)));
  }
}

Form::~Form() {
  // Components first, newest first, so no control outlives its window or its font.
  tooltip_.Follow(Handle(), nullptr, 0);
  while (!components_.empty()) components_.pop_back();
  tooltip_.Reset();
  window_.Reset();
}

LRESULT CALLBACK Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* form = static_cast<Form*>(create->lpCreateParams);
    form->window_.Reset(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->window_.Release();
    return DefWindowProcW(window, message, wParam, lParam);
  }
  // Nothing may unwind through the system's code.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    form->App().ShowError(error);
    return 0;
  }
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = Handle();
  switch (message) {
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case kNavigationKeyMessage:
      return HandleNavigationKey(window, components_, scroll_.get(),
                                 *reinterpret_cast<const MSG*>(lParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wParam);
      const Control* control = ControlOf(reinterpret_cast<HWND>(lParam));
      const COLORREF color = control && control->TextColor() != CLR_INVALID
                                 ? control->TextColor()
                                 : GetSysColor(COLOR_WINDOWTEXT);
      ::SetTextColor(dc, color);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam))) {
        return TRUE;
      }
      break;
    case WM_CLOSE:
      CloseRequested();
      return 0;
    case WM_ENDSESSION:
      // Windows is ending: the program ends with it, whatever it was waiting for.
      if (wParam && application_.MainForm() == this) application_.Terminate();
      return 0;
    case WM_PAINT:
      if (!panels_.empty()) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        PaintPanels(dc);
        EndPaint(window, &paint);
        return 0;
      }
      break;
    case WM_SIZE:
      UpdateScrollRange();
      break;
    case kDpiChanged:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_VSCROLL:
      if (scroll_) scroll_->OnRequest(LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      if (scroll_) {
        scroll_->OnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Form::OnCommand(WPARAM wParam, LPARAM lParam) {
  const WORD id = LOWORD(wParam);
  const WORD code = HIWORD(wParam);
  if (lParam) {
    Control* control = ControlOf(reinterpret_cast<HWND>(lParam));
    // Buttons and labels share the notification code 0 (BN_CLICKED, STN_CLICKED).
    if (control && code == BN_CLICKED) control->Click();
    return;
  }
  if (id == IDOK) {  // Enter, from the dialog-key handling
    if (Component* button = DefaultButton()) button->Click();
    return;
  }
  if (id == IDCANCEL) {  // Escape
    EscapePressed();
    return;
  }
  for (const auto& component : components_) {
    if (component->MenuCommand() == id) {
      component->Click();
      return;
    }
  }
}

bool Form::OnSetCursor(HWND target, int hitTest, UINT mouseMessage) {
  const Control* control = target == Handle() ? nullptr : ControlOf(target);
  if (IsMouseMessage(mouseMessage)) {
    tooltip_.Follow(Handle(), control, Scale(kMaxTipWidth));
    tooltip_.Relay(mouseMessage);
  }
  HCURSOR wait = application_.WaitCursor();
  // A window that waits for a modal one is disabled: the system calls the mouse over it an error.
  if (hitTest != HTCLIENT && !(wait && hitTest == HTERROR)) return false;
  if (wait && FollowsWaitCursor()) {
    ::SetCursor(wait);
    return true;
  }
  if (control && control->Cursor()) {
    ::SetCursor(control->Cursor());
    return true;
  }
  return false;
}

void Form::PaintPanels(HDC dc) {
  for (const Panel* panel : panels_) panel->Paint(dc);
}

void Form::Adopt(std::unique_ptr<Component> component) {
  for (const auto& existing : components_) {
    if (!component->Name().empty() && existing->Name() == component->Name()) {
      throw std::logic_error("a component named " + component->Name() + " exists already");
    }
  }
  if (const Panel* panel = component->AsPanel()) panels_.push_back(panel);
  components_.push_back(std::move(component));
}

Component& Form::ComponentAt(int index) const {
  return *components_.at(static_cast<std::size_t>(index));
}

void Form::DestroyComponent(int index) {
  if (index < 0 || index >= ComponentCount()) throw std::out_of_range("no such component");
  const auto position = components_.begin() + index;
  const Control* control = (*position)->AsControl();
  if (control && control->Handle()) MarkChanged(ChildBounds(Handle(), control->Handle()));
  if (const Panel* panel = (*position)->AsPanel()) MarkChanged(panel->ScreenBounds());
  if (position->get() == tooltip_.Hovered()) tooltip_.Follow(Handle(), nullptr, 0);
  panels_.erase(std::remove(panels_.begin(), panels_.end(), position->get()), panels_.end());
  components_.erase(position);
  UpdateScrollRange();
}

Component* Form::FindComponent(std::string_view name) const {
  for (const auto& component : components_) {
    if (component->Name() == name) return component.get();
  }
  return nullptr;
}

Control* Form::ControlOf(HWND child) const {
  if (!child || GetParent(child) != Handle()) return nullptr;
  return reinterpret_cast<Control*>(GetWindowLongPtrW(child, GWLP_USERDATA));
}

int Form::Scale(int length) const { return MulDiv(length, dpi_, 96); }

HFONT Form::FontFor(const FontSpec& wanted) const { return application_.Fonts().Get(wanted, dpi_); }

void Form::Show() {
  if (GetMenu(Handle())) DrawMenuBar(Handle());
  ShowWindow(Handle(), SW_SHOW);
  UpdateWindow(Handle());
}

void Form::CloseRequested() {
  if (application_.MainForm() == this) {
    application_.Terminate();
  } else {
    SetModalResult(IDCANCEL);
  }
}

int Form::ScrollOffset() const { return scroll_ ? scroll_->Offset() : 0; }

void Form::UpdateScrollRange() {
  if (scroll_ && batchDepth_ == 0 && Handle()) scroll_->UpdateRange();
}

void Form::ControlChanged(HWND child) {
  if (batchDepth_ > 0 && child) MarkChanged(ChildBounds(Handle(), child));
  UpdateScrollRange();
}

void Form::MarkChanged(const RECT& area) {
  if (batchDepth_ > 0) UnionRect(&batchChanged_, &batchChanged_, &area);
}

void Form::OnDpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0) return;
  // Positions are kept at 96 DPI, so a new layout starts from the unscrolled content.
  if (scroll_) scroll_->ScrollTo(0);
  dpi_ = dpi;
  {
    BatchUpdate batch(*this);
    for (const auto& component : components_) {
      if (Control* control = component->AsControl(); control && control->Handle()) {
        control->DpiChanged();
      }
    }
    tooltip_.SetMaxWidth(Scale(kMaxTipWidth));
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

Form::BatchUpdate::BatchUpdate(Form& form) : form_(form) {
  if (form_.batchDepth_++ == 0) SendMessageW(form_.Handle(), WM_SETREDRAW, FALSE, 0);
}

Form::BatchUpdate::~BatchUpdate() {
  if (--form_.batchDepth_ > 0) return;
  SendMessageW(form_.Handle(), WM_SETREDRAW, TRUE, 0);
  form_.UpdateScrollRange();
  // The frame, the menu and the controls nobody touched keep what they show.
  if (!IsRectEmpty(&form_.batchChanged_)) {
    RedrawWindow(form_.Handle(), &form_.batchChanged_, nullptr,
                 RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }
  form_.batchChanged_ = {};
}

}  // namespace deskfind
