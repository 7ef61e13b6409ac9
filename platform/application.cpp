#include "platform/application.h"

#include <commctrl.h>

#include <stdexcept>
#include <vector>

#include "platform/confirm_dialog.h"
#include "platform/form.h"
#include "platform/services.h"
#include "platform/utf16.h"

namespace deskfind {
namespace {

constexpr wchar_t kApplicationClass[] = L"DeskfindApplication";
Application* current = nullptr;

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HICON LoadProgramIcon(HINSTANCE instance, int resource, int metricX, int metricY) {
  if (resource == 0) return nullptr;
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_ICON,
                                       GetSystemMetrics(metricX), GetSystemMetrics(metricY), 0));
}

struct WindowSearch {
  HWND except;
  std::vector<HWND>* found;
};

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (window != search->except && IsWindowVisible(window) && IsWindowEnabled(window)) {
    search->found->push_back(window);
  }
  return TRUE;
}

// Every enabled, visible top-level window of this thread but one.
std::vector<HWND> EnabledWindowsOfThread(HWND except) {
  std::vector<HWND> windows;
  WindowSearch search{except, &windows};
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&search));
  return windows;
}

bool IsFormWindow(HWND window) {
  wchar_t name[32];
  return GetClassNameW(window, name, 32) && lstrcmpW(name, kFormClassName) == 0;
}

void Dispatch(MSG& message) {
  // Tab, Enter and Escape work in every form as they do in a dialog.
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root && IsFormWindow(root)) {
    if (message.message == WM_KEYDOWN &&
        SendMessageW(root, kNavigationKeyMessage, 0, reinterpret_cast<LPARAM>(&message))) {
      return;
    }
    if (IsDialogMessageW(root, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

}  // namespace

OtherWindowsDisabled::OtherWindowsDisabled(HWND modal) : windows_(EnabledWindowsOfThread(modal)) {
  for (HWND window : windows_) EnableWindow(window, FALSE);
}

OtherWindowsDisabled::~OtherWindowsDisabled() {
  for (HWND window : windows_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
}

std::wstring ApplicationTitle(std::wstring_view programPath) {
  const auto slash = programPath.find_last_of(L"\\/");
  std::wstring_view name =
      slash == std::wstring_view::npos ? programPath : programPath.substr(slash + 1);
  std::wstring title(name.substr(0, name.find(L'.')));
  if (title.size() > 1) {
    CharLowerBuffW(title.data() + 1, static_cast<DWORD>(title.size() - 1));
  }
  return title;
}

Application::Application(HINSTANCE instance, int iconResource)
    : instance_(instance),
      title_(ApplicationTitle(ProgramPath())),
      dpi_(ScreenDpi()),
      fonts_(dpi_),
      largeIcon_(LoadProgramIcon(instance, iconResource, SM_CXICON, SM_CYICON)),
      smallIcon_(LoadProgramIcon(instance, iconResource, SM_CXSMICON, SM_CYSMICON)),
      measuringDC_(CreateCompatibleDC(nullptr)) {
  if (current) throw std::logic_error("the program has one application");
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!measuringDC_) throw std::runtime_error("cannot start the application");
  current = this;
}

HWND Application::Handle() {
  if (window_) return window_.Get();
  RegisterWindowClassOnce(instance_, kApplicationClass, DefWindowProcW);
  window_.Reset(CreateWindowExW(WS_EX_TOOLWINDOW, kApplicationClass, title_.c_str(), WS_POPUP, 0, 0,
                                0, 0, nullptr, nullptr, instance_, nullptr));
  return window_.Get();
}

Application::~Application() { current = nullptr; }

int Application::Run(Form& mainForm) {
  mainForm_ = &mainForm;
  mainForm.Show();
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) Dispatch(message);
  // On failure (-1) the message was never filled in: there is no exit code to pass on.
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

void Application::Terminate() {
  if (quitting_) return;
  quitting_ = true;
  if (OnEnding) OnEnding();
  PostQuitMessage(0);
}

int Application::ShowModal(Form& form) {
  form.SetModalResult(0);
  {
    const OtherWindowsDisabled others(form.Handle());
    form.Show();
    SetForegroundWindow(form.Handle());
    if (form.OnActivate) {
      try {
        form.OnActivate();
      } catch (const std::exception& error) {
        ShowError(error);
      }
    }
    RunModalLoop(form);
  }
  ShowWindow(form.Handle(), SW_HIDE);
  return form.ModalResult();
}

void Application::RunModalLoop(Form& form) {
  MSG message;
  while (form.ModalResult() == 0 && !quitting_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      // The program is ending: leave the quit message for the main loop. A failed call (-1)
      // filled in no message, so it has no exit code of its own.
      quitting_ = true;
      PostQuitMessage(got == 0 ? static_cast<int>(message.wParam) : 1);
      break;
    }
    Dispatch(message);
  }
  if (form.ModalResult() == 0) form.SetModalResult(IDCANCEL);
}

bool Application::DispatchWaiting() {
  MSG message;
  while (!quitting_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the main loop, which ends the program.
      quitting_ = true;
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    Dispatch(message);
  }
  return !quitting_;
}

int Application::ShowMessage(std::string_view text, std::string_view caption, UINT flags) {
  const OtherWindowsDisabled others(Handle());
  return ::MessageBoxW(Handle(), Utf16(text).c_str(), Utf16(caption).c_str(), flags);
}

int Application::Confirm(std::string_view text) {
  ConfirmDialog dialog(*this, text);
  return ShowModal(dialog);
}

void Application::ShowError(const std::exception& error) {
  ShowMessage(error.what(), Utf8(title_), MB_OK | MB_ICONERROR);
}

void Application::SetWaitCursor(bool waiting) {
  waitCursor_ = waiting ? LoadCursorW(nullptr, IDC_WAIT) : nullptr;
  ::SetCursor(waiting ? waitCursor_ : LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace deskfind
