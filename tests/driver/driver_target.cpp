#include <windows.h>

#include <shellapi.h>

#include "tests/driver/driver_target.h"

#include <memory>
#include <string>
#include <type_traits>

// A small window with one control of each kind the driver operates. Every action it takes
// shows in the status label, where the driver's test reads it back.
//   driver_target.exe [--title TEXT] [--exit-code N]

namespace deskfind::driver::target {
namespace {

struct LocalFreer {
  void operator()(wchar_t** p) const { LocalFree(p); }
};

struct Options {
  std::wstring title = kTitle;
  int exitCode = 0;
};

Options ParseOptions() {
  Options options;
  int count = 0;
  std::unique_ptr<wchar_t*, LocalFreer> args(CommandLineToArgvW(GetCommandLineW(), &count));
  for (int i = 1; args && i + 1 < count; i += 2) {
    const std::wstring name = args.get()[i];
    if (name == L"--title") options.title = args.get()[i + 1];
    if (name == L"--exit-code") options.exitCode = std::stoi(args.get()[i + 1]);
  }
  return options;
}

struct BrushDeleter {
  void operator()(HBRUSH brush) const { DeleteObject(brush); }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, BrushDeleter>;

struct MenuDeleter {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

class TargetWindow {
 public:
  explicit TargetWindow(const Options& options) : options_(options) {}

  bool Create(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &TargetWindow::Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) return false;

    UniqueMenu menuBar(CreateMenu());
    HMENU boxes = CreatePopupMenu();
    AppendMenuW(boxes, MF_STRING, kWarningBox, L"&Warning");
    AppendMenuW(boxes, MF_STRING, kQuestionBox, L"&Question");
    AppendMenuW(boxes, MF_STRING, kDisableButton, L"&Disable button");
    AppendMenuW(boxes, MF_STRING, kHideButton, L"&Hide button");
    AppendMenuW(menuBar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(boxes), L"&Boxes");

    constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kStyle, TRUE, 0);
    const HWND hwnd = CreateWindowExW(0, kClassName, options_.title.c_str(), kStyle, kLeft, kTop,
                                      frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                      menuBar.get(), instance, this);
    if (!hwnd) return false;
    menuBar.release();  // the window owns its menu bar now
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return true;
  }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      static_cast<TargetWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<TargetWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->Handle(message, wParam, lParam)
                : DefWindowProcW(hwnd, message, wParam, lParam);
  }

  HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, const RECT& rect,
                  int id) {
    return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  }

  void OnCreate() {
    swatchBrush_.reset(CreateSolidBrush(kSwatchColour));
    button_ =
        AddControl(L"BUTTON", kButtonText, BS_PUSHBUTTON | WS_TABSTOP, kButtonRect, kButtonId);
    status_ = AddControl(L"STATIC", kReadyStatus, SS_LEFT, kStatusRect, kStatusId);
    AddControl(L"STATIC", kLinkText, SS_LEFT | SS_NOTIFY, kLinkRect, kLinkId);
    AddControl(L"STATIC", kPlainLabelText, SS_LEFT, kPlainLabelRect, kPlainLabelId);
    HWND combo = AddControl(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                            kComboRect, kComboId);
    for (const wchar_t* item : kComboItems) {
      SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
  }

  void SetStatus(const std::wstring& text) { SetWindowTextW(status_, text.c_str()); }

  void OnCommand(WORD id, WORD code, HWND control) {
    switch (id) {
      case kWarningBox: {
        const int answer = MessageBoxW(hwnd_, kBoxText, kBoxCaption, MB_OK | MB_ICONEXCLAMATION);
        SetStatus(answer == IDOK ? L"Warning: OK" : L"Warning: " + std::to_wstring(answer));
        break;
      }
      case kQuestionBox: {
        const int answer = MessageBoxW(hwnd_, kQuestionText, kQuestionCaption,
                                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        SetStatus(answer == IDYES  ? L"Question: Yes"
                  : answer == IDNO ? L"Question: No"
                                   : L"Question: " + std::to_wstring(answer));
        break;
      }
      case kDisableButton:
        EnableWindow(button_, FALSE);
        break;
      case kHideButton:
        ShowWindow(button_, SW_HIDE);
        break;
      case kButtonId:
        if (code == BN_CLICKED) SetStatus(L"Clicked " + std::to_wstring(++clicks_));
        break;
      case kLinkId:
        if (code == STN_CLICKED) {
          const auto result = reinterpret_cast<INT_PTR>(
              ShellExecuteW(hwnd_, L"open", kLinkAddress, nullptr, nullptr, SW_SHOWNORMAL));
          SetStatus(result > 32 ? L"Opened" : L"Open failed " + std::to_wstring(result));
        }
        break;
      case kPlainLabelId:
        SetStatus(L"Plain label clicked");
        break;
      case kComboId:
        if (code == CBN_SELCHANGE) {
          const auto index = SendMessageW(control, CB_GETCURSEL, 0, 0);
          wchar_t text[64] = {};
          if (index != CB_ERR && SendMessageW(control, CB_GETLBTEXTLEN, index, 0) < 64) {
            SendMessageW(control, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
          }
          SetStatus(std::wstring(L"Chosen: ") + text);
        }
        break;
      default:
        break;
    }
  }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_CREATE:
        OnCreate();
        return 0;
      case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd_, &paint);
        FillRect(dc, &kSwatchRect, swatchBrush_.get());
        EndPaint(hwnd_, &paint);
        return 0;
      }
      case WM_DESTROY:
        PostQuitMessage(options_.exitCode);
        return 0;
      default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
  }

  Options options_;
  HWND hwnd_ = nullptr;
  HWND button_ = nullptr;
  HWND status_ = nullptr;
  UniqueBrush swatchBrush_;
  int clicks_ = 0;
};

}  // namespace
}  // namespace deskfind::driver::target

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using deskfind::driver::target::TargetWindow;
  TargetWindow window(deskfind::driver::target::ParseOptions());
  if (!window.Create(instance)) return 100;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
