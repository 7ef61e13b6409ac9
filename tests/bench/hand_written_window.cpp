// deskfind's main window written by hand: the same manifest, icons, pictures, fonts, controls
// and menu, made with plain Win32 calls and no windowing layer. The floor of what the program's
// start-up can cost.
#include <windows.h>

#include <commctrl.h>

#include "app/main_menu_commands.h"
#include "assets/resource_ids.h"

namespace {

using namespace deskfind;

constexpr wchar_t kClassName[] = L"HandWrittenWindow";
constexpr wchar_t kTitle[] = L"Подбор мебели в магазине Столвер";
constexpr wchar_t kDeskTip[] = L"Подбор компьютерного или письменного стола";
constexpr wchar_t kChestTip[] = L"Подбор комода";
constexpr wchar_t kSiteTip[] = L"www.stolver.ru";
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);

int dpi = 96;
HWND siteLink = nullptr, deskButton = nullptr, chestButton = nullptr, tooltip = nullptr;

int Scale(int length) { return MulDiv(length, dpi, 96); }

// The place and size of a child, given at 96 DPI, in screen pixels.
RECT Box(int left, int top, int width, int height) {
  return {Scale(left), Scale(top), Scale(left) + Scale(width), Scale(top) + Scale(height)};
}

HFONT MakeFont(const wchar_t* face, int height, bool bold, bool underline) {
  LOGFONTW font{};
  font.lfHeight = -Scale(height);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

HBITMAP LoadPicture(HINSTANCE instance, int resource, int size) {
  return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_BITMAP,
                                         Scale(size), Scale(size), LR_CREATEDIBSECTION));
}

HICON LoadProgramIcon(HINSTANCE instance, int metricX, int metricY) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_DESKFIND), IMAGE_ICON,
                                       GetSystemMetrics(metricX), GetSystemMetrics(metricY), 0));
}

// A label's box: its text's size in its font, at a 96-DPI place.
RECT LabelBox(HDC measuring, HFONT font, const wchar_t* text, int left, int top) {
  HGDIOBJ previous = SelectObject(measuring, font);
  RECT size{0, 0, 0, 0};
  DrawTextW(measuring, text, -1, &size, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_LEFT);
  SelectObject(measuring, previous);
  return {Scale(left), Scale(top), Scale(left) + size.right, Scale(top) + size.bottom};
}

HWND MakeChild(HWND parent, int id, const wchar_t* windowClass, const wchar_t* text, DWORD style,
               DWORD extendedStyle, const RECT& box, HFONT font) {
  HWND child = CreateWindowExW(
      extendedStyle, windowClass, text, style | WS_CHILD, box.left, box.top, box.right - box.left,
      box.bottom - box.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

HMENU MakeMenuBar() {
  HMENU bar = CreateMenu();
  HMENU program = CreatePopupMenu();
  AppendMenuW(program, MF_STRING, main_menu::kExit, L"Выход из программы");
  AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(program), L"Меню");
  HMENU furniture = CreatePopupMenu();
  AppendMenuW(furniture, MF_STRING, main_menu::kDeskSelection, kDeskTip);
  AppendMenuW(furniture, MF_STRING, main_menu::kChestOfDrawers, kChestTip);
  AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(furniture), L"Подбор мебели");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, main_menu::kAbout, L"О программе");
  AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(help), L"Помощь");
  return bar;
}

// Made when the pointer first comes over a control: a window nobody points at needs none.
void MakeTooltip(HWND window) {
  tooltip = CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr);
  if (!tooltip) return;
  SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, Scale(400));  // tips wrap
  const struct {
    HWND control;
    const wchar_t* tip;
  } tools[] = {{siteLink, kSiteTip}, {deskButton, kDeskTip}, {chestButton, kChestTip}};
  for (const auto& [control, tip] : tools) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(tip);
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wParam);
      const bool isLink = reinterpret_cast<HWND>(lParam) == siteLink;
      SetTextColor(dc, isLink ? kLinkBlue : GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR: {
      const auto target = reinterpret_cast<HWND>(wParam);
      const UINT mouse = HIWORD(lParam);
      if (!tooltip && target != window && mouse >= WM_MOUSEFIRST && mouse <= WM_MOUSELAST) {
        MakeTooltip(window);
      }
      if (target == siteLink && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    case WM_COMMAND:
      // The other commands open windows that this program does not have.
      if (lParam == 0 && LOWORD(wParam) == main_menu::kExit) DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Libraries loaded by name come from the system folder only.
  const auto setDefaultDirectories =
      reinterpret_cast<decltype(&SetDefaultDllDirectories)>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefaultDirectories) setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  HDC screen = GetDC(nullptr);
  dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi <= 0) dpi = 96;
  HICON largeIcon = LoadProgramIcon(instance, SM_CXICON, SM_CYICON);
  HICON smallIcon = LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass)) return 1;
  const int width = Scale(769), height = Scale(506);
  HWND window =
      CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, Scale(192),
                      Scale(107), width, height, nullptr, MakeMenuBar(), instance, nullptr);
  if (!window) return 1;
  // Opened on a monitor of another DPI (Windows 10 and later tell): lay out for that one.
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  const auto getDpiForWindow =
      reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (const int monitorDpi = getDpiForWindow ? static_cast<int>(getDpiForWindow(window)) : 0;
      monitorDpi > 0 && monitorDpi != dpi) {
    SetWindowPos(window, nullptr, 0, 0, MulDiv(width, monitorDpi, dpi),
                 MulDiv(height, monitorDpi, dpi), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    dpi = monitorDpi;
  }
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));

  // One font object per font, shared by the controls that show it.
  HFONT windowFont = MakeFont(L"MS Sans Serif", 11, false, false);
  HFONT headingFont = MakeFont(L"Times New Roman", 16, true, false);
  HFONT linkFont = MakeFont(L"Times New Roman", 16, true, true);
  HBITMAP logo = LoadPicture(instance, IDB_LOGO, 120);
  HBITMAP desk = LoadPicture(instance, IDB_DESK, 100);
  HBITMAP chest = LoadPicture(instance, IDB_CHEST, 100);
  HDC measuring = CreateCompatibleDC(nullptr);

  // The controls in the order the program makes them.
  const RECT logoBox = Box(8, 8, 121, 121);
  HWND logoPicture =
      MakeChild(window, 1000, L"STATIC", L"", WS_VISIBLE | SS_BITMAP, 0, logoBox, windowFont);
  SendMessageW(logoPicture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
  // A bitmap static shrinks to its picture; the box keeps its own size.
  SetWindowPos(logoPicture, nullptr, logoBox.left, logoBox.top, logoBox.right - logoBox.left,
               logoBox.bottom - logoBox.top, SWP_NOZORDER | SWP_NOACTIVATE);
  const DWORD label = WS_VISIBLE | SS_LEFT | SS_NOTIFY | SS_NOPREFIX;
  const wchar_t site[] = L"http://www.stolver.ru";
  siteLink = MakeChild(window, 1001, L"STATIC", site, label | WS_TABSTOP, 0,
                       LabelBox(measuring, linkFont, site, 160, 104), linkFont);
  const wchar_t phone[] = L"(495) 784-21-56 с 10-00 до 18-00 по рабочим дням";
  MakeChild(window, 1002, L"STATIC", phone, label, 0,
            LabelBox(measuring, headingFont, phone, 328, 106), headingFont);
  DeleteDC(measuring);
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  MakeChild(window, 1003, L"BUTTON", L"Сделать страницу www.stolver.ru стартовой", button, 0,
            Box(144, 24, 233, 25), windowFont);
  deskButton = MakeChild(window, 1004, L"BUTTON", kDeskTip, button | BS_BITMAP, 0,
                         Box(24, 160, 110, 110), windowFont);
  SendMessageW(deskButton, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(desk));
  chestButton = MakeChild(window, 1005, L"BUTTON", kChestTip, button | BS_BITMAP, 0,
                          Box(24, 280, 110, 110), windowFont);
  SendMessageW(chestButton, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(chest));
  MakeChild(window, 1006, L"BUTTON", L"Закачать новую версию программы", button, 0,
            Box(144, 64, 233, 25), windowFont);
  // The memo stays hidden.
  MakeChild(window, 1007, L"EDIT", L"Memo1",
            WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE,
            Box(336, 8, 185, 25), windowFont);

  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  // The windows are gone: what they showed can go too.
  const HGDIOBJ shown[] = {windowFont, headingFont, linkFont, logo, desk, chest};
  for (HGDIOBJ object : shown) DeleteObject(object);
  DestroyIcon(largeIcon);
  DestroyIcon(smallIcon);
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}
