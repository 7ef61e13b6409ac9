#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/utf16.h"

// Drives another process's windows from a test program running in the same Wine prefix.
// Everything here works across processes: texts are read with WM_GETTEXT, controls are
// operated with posted messages (a sent one would block while the program runs a modal loop),
// and every wait is bounded.
namespace deskfind::driver {

using Milliseconds = std::chrono::milliseconds;
inline constexpr Milliseconds kDefaultTimeout{10000};

// Polls `condition` every few milliseconds until it holds or `timeout` has passed.
// The condition is evaluated once more at the end, so a zero timeout is a single check.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout = kDefaultTimeout);

// "Z:\..." for a path of the Linux file system (CMake hands the tests unix paths).
std::wstring WindowsPath(const std::string& unixPath);

using deskfind::Utf16;
using deskfind::Utf8;

// A started program. Move-only; the destructor kills the program if it is still running and
// waits for it, so a failing test never leaves a process behind.
class Process {
 public:
  // Arguments are quoted so that the program's CommandLineToArgvW gives them back unchanged.
  static Process Launch(const std::wstring& exePath,
                        const std::vector<std::wstring>& arguments = {},
                        const std::wstring& workingDirectory = {});

  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  DWORD Pid() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  bool IsRunning() const;
  bool WaitForExit(Milliseconds timeout = kDefaultTimeout) const;
  // The exit code, or nullopt while the program runs.
  std::optional<DWORD> ExitCode() const;
  // Kills the program (if running) and waits for it to be gone.
  void Terminate();

 private:
  explicit Process(const PROCESS_INFORMATION& info) : info_(info) {}
  void Close() noexcept;

  PROCESS_INFORMATION info_{};
};

// Quotes one argument by the rules CommandLineToArgvW reverses.
std::wstring QuoteArgument(const std::wstring& argument);

// --- Windows -----------------------------------------------------------------------------

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
DWORD WindowPid(HWND hwnd);
RECT ClientRect(HWND hwnd);  // (0, 0, width, height)
RECT WindowRect(HWND hwnd);  // screen coordinates
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND hwnd);
// Visible with all its ancestors.
bool IsShown(HWND hwnd);
// What a user could operate: shown, and enabled together with all its ancestors (a window
// behind a modal box is disabled, so are its controls in effect).
bool IsInteractive(HWND hwnd);
// True once the window has been destroyed.
bool WaitForDestroyed(HWND hwnd, Milliseconds timeout = kDefaultTimeout);

// Visible top-level windows of a process, in z-order (topmost first).
std::vector<HWND> TopWindowsOf(DWORD pid);
// The first visible top-level window of `pid` whose class and title match (an empty string
// matches anything).
HWND WaitForTopWindow(DWORD pid, const std::wstring& className = {}, const std::wstring& title = {},
                      Milliseconds timeout = kDefaultTimeout);

struct ChildInfo {
  HWND hwnd = nullptr;
  std::wstring className;
  std::wstring text;
  RECT rect{};  // the child's window rectangle in the parent's client coordinates
  bool visible = false;
  bool enabled = false;
  LONG style = 0;
  int id = 0;
};

// Direct children of `parent`, in z-order (the order they were created in unless moved).
std::vector<ChildInfo> Children(HWND parent);
ChildInfo Describe(HWND hwnd);
// First direct child whose text is `text` (exact match); nullptr if none.
HWND FindChild(HWND parent, const std::wstring& text);
HWND FindChildById(HWND parent, int id);
// First direct child of the given class (case-insensitive) after `after` (nullptr: from start).
HWND FindChildByClass(HWND parent, const std::wstring& className, HWND after = nullptr);
HWND WaitForChild(HWND parent, const std::wstring& text, Milliseconds timeout = kDefaultTimeout);

// The name a screen reader reads for the window (Active Accessibility), or nullopt when the
// window offers no accessible object.
std::optional<std::wstring> AccessibleName(HWND hwnd);

// Number of windows a process has, top-level ones (hidden included) with all descendants.
struct WindowCounts {
  int topLevel = 0;
  int visibleTopLevel = 0;
  int total = 0;
};
WindowCounts CountWindows(DWORD pid);

// --- Menus -------------------------------------------------------------------------------

// One menu item: its text as the menu holds it ("&" included), its command id (0 for a heading
// that opens a submenu, and for separators) and the submenu's items.
struct MenuEntry {
  std::wstring text;
  unsigned id = 0;
  std::vector<MenuEntry> items;

  friend bool operator==(const MenuEntry& a, const MenuEntry& b) {
    return a.text == b.text && a.id == b.id && a.items == b.items;
  }
  friend bool operator!=(const MenuEntry& a, const MenuEntry& b) { return !(a == b); }
};

// Prints `text` (id) [items...] (UTF-8), so that test failures show the whole menu.
void PrintTo(const MenuEntry& entry, std::ostream* out);

// The window's menu bar, read inside the window's own thread by the hook DLL `probeDll`
// (menu_probe.dll, see MenuProbeDll()): menus of another process cannot be read from outside
// under Wine. Empty when the window has no menu bar. Throws std::runtime_error when the menu
// cannot be read: the DLL does not load, the hook cannot be set, or the window does not answer
// within `timeout` (a hung program, or a window that is gone).
std::vector<MenuEntry> ReadMenuBar(HWND window, const std::wstring& probeDll,
                                   Milliseconds timeout = Milliseconds{5000});

// --- Input -------------------------------------------------------------------------------

// Posts the WM_COMMAND a menu item sends (its id comes from ReadMenuBar or is known). False if the
// window takes no input (a modal box is up).
[[nodiscard]] bool PostMenuCommand(HWND window, unsigned short id);

// Posted BM_CLICK. False (and nothing sent) if no user could click it: hidden or disabled.
[[nodiscard]] bool ClickButton(HWND button);

enum class ClickMethod {
  kNotify,  // WM_COMMAND(STN_CLICKED) posted to the parent: what the control would send
  kMouse,   // WM_LBUTTONDOWN/UP posted to the label at its centre: the control's own code runs
};
// A click on a STATIC label. False if a real click would not notify the parent: the label is
// hidden, disabled or lacks SS_NOTIFY.
[[nodiscard]] bool ClickStatic(HWND label, ClickMethod method = ClickMethod::kNotify);

// A real mouse click (SendInput) at the centre of the window, hit-tested by the system like
// a user's click. The window must not be covered by another one.
[[nodiscard]] bool ClickAtCentre(HWND hwnd);

// Moves the real pointer (SendInput) to a screen point, as a user's hand would.
[[nodiscard]] bool MovePointerTo(POINT screen);
// Moves the real pointer to the centre of the window and leaves it resting there.
[[nodiscard]] bool RestPointerOn(HWND hwnd);

// The text of the tooltip `pid` shows now, or nullopt when none is visible.
std::optional<std::wstring> ShownTooltip(DWORD pid);
// Waits until `pid` shows a tooltip and returns its text.
std::optional<std::wstring> WaitForTooltip(DWORD pid, Milliseconds timeout = kDefaultTimeout);

// CB_SETCURSEL plus the CBN_SELCHANGE a user's choice sends. False if out of range or the
// combo box is not interactive.
[[nodiscard]] bool ChooseComboItem(HWND combo, int index);
[[nodiscard]] bool ChooseComboItem(HWND combo, const std::wstring& text);
int ComboSelection(HWND combo);  // CB_ERR when nothing is chosen
std::vector<std::wstring> ComboItems(HWND combo);

// A key press as the window's thread sees it: WM_KEYDOWN/WM_KEYUP posted to that thread's
// focused window (the window itself when its thread has no focus), so dialog navigation and
// default buttons run the program's real code.
void PressKey(HWND window, UINT virtualKey);
inline void PressEnter(HWND window) { PressKey(window, VK_RETURN); }
inline void PressEscape(HWND window) { PressKey(window, VK_ESCAPE); }
// The window that has the keyboard focus in `window`'s thread, or nullptr.
HWND FocusedWindow(HWND window);

// --- Message boxes -----------------------------------------------------------------------

struct DialogButton {
  HWND hwnd = nullptr;
  int id = 0;
  std::wstring text;
};

enum class MessageBoxIcon { kNone, kError, kQuestion, kWarning, kInformation, kUnknown };

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::wstring caption;
  std::wstring text;
  std::vector<DialogButton> buttons;  // in creation order
  HWND icon = nullptr;                // the SS_ICON static, if any
  HWND owner = nullptr;
};

std::optional<MessageBoxInfo> ReadMessageBox(HWND box);
// The first visible #32770 window of `pid`, read once its text is in place.
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD pid, Milliseconds timeout = kDefaultTimeout);
// Clicks the button with `buttonId` (IDOK, IDYES, ...) and waits for the box to close.
[[nodiscard]] bool AnswerMessageBox(const MessageBoxInfo& box, int buttonId,
                                    Milliseconds timeout = kDefaultTimeout);
// Which standard icon the box shows, told by drawing each candidate and comparing pixels.
MessageBoxIcon IdentifyIcon(const MessageBoxInfo& box, Milliseconds timeout = kDefaultTimeout);

// --- Pixels ------------------------------------------------------------------------------

// What is on the screen (exact at the session's 24 bits per pixel).
COLORREF ScreenPixel(int x, int y);
COLORREF ClientPixel(HWND hwnd, int x, int y);
// Painting reaches the screen a moment after WM_PAINT: wait for the colour.
bool WaitForClientPixel(HWND hwnd, int x, int y, COLORREF colour,
                        Milliseconds timeout = kDefaultTimeout);

class ScreenImage {
 public:
  static ScreenImage Capture(const RECT& screenRect);
  static ScreenImage CaptureClient(HWND hwnd);

  int Width() const { return width_; }
  int Height() const { return height_; }
  COLORREF At(int x, int y) const;
  int Count(COLORREF colour) const;
  // A 24-bit .bmp, for looking at a failure.
  bool Save(const std::wstring& path) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<COLORREF> pixels_;
};

// --- What the shell opens ----------------------------------------------------------------

// Points the prefix's http and https "open" commands at record_open.exe for its lifetime, so
// that ShellExecute of an address runs the recorder instead of a browser. The previous
// commands come back in the destructor. Each recorder writes its own log file.
class ShellOpenRecorder {
 public:
  explicit ShellOpenRecorder(const std::wstring& recordOpenExe);
  ShellOpenRecorder(const ShellOpenRecorder&) = delete;
  ShellOpenRecorder& operator=(const ShellOpenRecorder&) = delete;
  ~ShellOpenRecorder();

  bool Installed() const { return installed_; }
  const std::wstring& LogPath() const { return logPath_; }
  // The addresses opened so far (UTF-8, in order).
  std::vector<std::string> Opened() const;
  // Waits until at least `count` addresses have arrived and returns all of them.
  std::vector<std::string> WaitForOpened(size_t count,
                                         Milliseconds timeout = kDefaultTimeout) const;
  void Clear();

 private:
  struct SavedCommand {
    std::wstring scheme;
    bool existed = false;
    DWORD type = REG_SZ;
    std::wstring value;
  };
  std::vector<SavedCommand> saved_;
  std::wstring logPath_;
  bool installed_ = false;
};

// The registry value a recorder sets, and the command line record_open.exe understands:
// "<record_open.exe>" --log "<log file>" "%1"
std::wstring RecorderCommand(const std::wstring& recordOpenExe, const std::wstring& logPath);

// --- Screen DPI --------------------------------------------------------------------------

// Sets the screen DPI that programs started from now on in the prefix work with, for the
// object's lifetime; the destructor puts the previous setting back. Processes already running
// keep the DPI they started with. Wine reads HKCU\Control Panel\Desktop\LogPixels (REG_DWORD)
// as each process starts and falls back to the machine's
// HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts\LogPixels; the
// user's value wins, so only that one is set. The previous setting is also kept in the
// registry while the object lives, so that one a killed test left behind is repaired by the next
// ScreenDpiSetting.
class ScreenDpiSetting {
 public:
  explicit ScreenDpiSetting(DWORD dpi);
  ScreenDpiSetting(const ScreenDpiSetting&) = delete;
  ScreenDpiSetting& operator=(const ScreenDpiSetting&) = delete;
  ~ScreenDpiSetting();

  bool Applied() const { return applied_; }

 private:
  bool applied_ = false;
  bool existed_ = false;
  DWORD previousType_ = REG_DWORD;
  std::vector<BYTE> previous_;
};

// Sends the window the WM_DPICHANGED that moving it to a monitor of `dpi` would send, with
// `suggested` as the rectangle the system proposes (placed in the program's own memory, where
// the message's pointer must point). False if the window did not answer within `timeout`.
[[nodiscard]] bool SendDpiChanged(HWND window, int dpi, const RECT& suggested,
                                  Milliseconds timeout = kDefaultTimeout);

// GetDeviceCaps(LOGPIXELSY) as a system-DPI-aware program started now sees it: the exit code
// of screen_dpi.exe (ScreenDpiExe()). 0 if it could not run or did not finish within `timeout`.
int NewProcessScreenDpi(const std::wstring& screenDpiExe, Milliseconds timeout = kDefaultTimeout);

// Paths the end-to-end tests receive from CMake (deskfind_add_e2e_test).
#ifdef DESKFIND_PROGRAM_UNDER_TEST
inline std::wstring ProgramUnderTest() { return WindowsPath(DESKFIND_PROGRAM_UNDER_TEST); }
#endif
#ifdef DESKFIND_RECORD_OPEN
inline std::wstring RecordOpenExe() { return WindowsPath(DESKFIND_RECORD_OPEN); }
#endif
#ifdef DESKFIND_SCREEN_DPI
inline std::wstring ScreenDpiExe() { return WindowsPath(DESKFIND_SCREEN_DPI); }
#endif
#ifdef DESKFIND_MENU_PROBE
inline std::wstring MenuProbeDll() { return WindowsPath(DESKFIND_MENU_PROBE); }
#endif

}  // namespace deskfind::driver
