#include <windows.h>

#include <oleacc.h>
#include <shellapi.h>

#include "tests/driver/driver.h"
#include "tests/driver/menu_probe.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <type_traits>

namespace deskfind::driver {
namespace {

constexpr Milliseconds kPollInterval{20};
// Upper bound for one cross-process message; a program that takes longer is hung.
constexpr UINT kMessageTimeoutMs = 5000;
constexpr wchar_t kWineBrowserCommand[] = L"\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"";

[[noreturn]] void ThrowLastError(const std::string& what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {
    if (!dc_) ThrowLastError("GetDC");
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// A memory DC with a top-down 32-bit DIB selected into it.
class DibCanvas {
 public:
  DibCanvas(int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_) ThrowLastError("CreateCompatibleDC");
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (!bitmap_) {
      DeleteDC(dc_);
      ThrowLastError("CreateDIBSection");
    }
    previous_ = SelectObject(dc_, bitmap_);
  }
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;
  ~DibCanvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }

  HDC Dc() const { return dc_; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const auto* pixel = static_cast<const BYTE*>(bits_) + (static_cast<size_t>(y) * width_ + x) * 4;
    return RGB(pixel[2], pixel[1], pixel[0]);
  }
  void Fill(COLORREF colour) {
    GdiFlush();
    auto* pixel = static_cast<BYTE*>(bits_);
    for (int i = 0; i < width_ * height_; ++i, pixel += 4) {
      pixel[0] = GetBValue(colour);
      pixel[1] = GetGValue(colour);
      pixel[2] = GetRValue(colour);
      pixel[3] = 0;
    }
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  void* bits_ = nullptr;
};

bool SameClass(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsStatic(HWND hwnd) { return SameClass(ClassName(hwnd), L"Static"); }

// Direct children in z-order; GetWindow walks the window tree, which is shared by all
// processes.
std::vector<HWND> DirectChildren(HWND parent) {
  std::vector<HWND> result;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    result.push_back(child);
  }
  return result;
}

void CountDescendants(HWND parent, int& total) {
  for (HWND child : DirectChildren(parent)) {
    ++total;
    CountDescendants(child, total);
  }
}

struct TopWindowQuery {
  DWORD pid;
  bool visibleOnly;
  std::vector<HWND> found;
};

// A named function, not a lambda: on 32-bit Windows callbacks use the stdcall convention,
// which a captureless lambda's conversion does not give.
BOOL CALLBACK CollectTopWindow(HWND hwnd, LPARAM param) {
  auto& query = *reinterpret_cast<TopWindowQuery*>(param);
  if (WindowPid(hwnd) == query.pid && (!query.visibleOnly || IsWindowVisible(hwnd))) {
    query.found.push_back(hwnd);
  }
  return TRUE;
}

std::vector<HWND> AllTopWindowsOf(DWORD pid, bool visibleOnly) {
  TopWindowQuery query{pid, visibleOnly, {}};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

POINT Centre(const RECT& rect) {
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::wstring ReadStringValue(HKEY key, DWORD& type, bool& exists) {
  DWORD size = 0;
  exists = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
  if (!exists || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                       &size) != ERROR_SUCCESS) {
    exists = false;
    return {};
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

bool SetStringValue(HKEY key, DWORD type, const std::wstring& value) {
  return RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring CommandKeyPath(const std::wstring& scheme) {
  return scheme + L"\\shell\\open\\command";
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(kPollInterval);
  }
  return condition();
}

std::wstring WindowsPath(const std::string& unixPath) {
  // Wine maps the Linux root to Z: in every prefix; its own conversion also knows other drives.
  using DosName = WCHAR* (*)(const char*);
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    if (auto convert = reinterpret_cast<DosName>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel, "wine_get_dos_file_name")))) {
      if (WCHAR* converted = convert(unixPath.c_str())) {
        std::wstring result(converted);
        HeapFree(GetProcessHeap(), 0, converted);
        return result;
      }
    }
  }
  std::wstring result = L"Z:" + Utf16(unixPath);
  std::replace(result.begin(), result.end(), L'/', L'\\');
  return result;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes double only before a quote, which itself gets one more.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

// --- Process -----------------------------------------------------------------------------

Process Process::Launch(const std::wstring& exePath, const std::vector<std::wstring>& arguments,
                        const std::wstring& workingDirectory) {
  std::wstring commandLine = L"\"" + exePath + L"\"";
  for (const auto& argument : arguments) commandLine += L" " + QuoteArgument(argument);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup,
                      &info)) {
    ThrowLastError("CreateProcessW " + Utf8(exePath));
  }
  return Process(info);
}

Process::Process(Process&& other) noexcept : info_(other.info_) { other.info_ = {}; }

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Close();
    info_ = other.info_;
    other.info_ = {};
  }
  return *this;
}

Process::~Process() { Close(); }

void Process::Close() noexcept {
  if (!info_.hProcess) return;
  Terminate();
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
  info_ = {};
}

bool Process::IsRunning() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(Milliseconds timeout) const {
  return info_.hProcess &&
         WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

std::optional<DWORD> Process::ExitCode() const {
  DWORD code = 0;
  if (IsRunning() || !info_.hProcess || !GetExitCodeProcess(info_.hProcess, &code)) {
    return std::nullopt;
  }
  return code;
}

void Process::Terminate() {
  if (!IsRunning()) return;
  TerminateProcess(info_.hProcess, 1);
  WaitForSingleObject(info_.hProcess, static_cast<DWORD>(kDefaultTimeout.count()));
}

// --- Windows -----------------------------------------------------------------------------

std::wstring WindowText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                           &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
    return {};
  }
  text.resize(std::min<size_t>(copied, length));
  return text;
}

std::wstring ClassName(HWND hwnd) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
  return std::wstring(name, static_cast<size_t>(std::max(length, 0)));
}

DWORD WindowPid(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

RECT ClientRect(HWND hwnd) {
  RECT rect{};
  GetClientRect(hwnd, &rect);
  return rect;
}

RECT WindowRect(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  return rect;
}

RECT RectInParent(HWND hwnd) {
  RECT rect = WindowRect(hwnd);
  HWND parent = GetAncestor(hwnd, GA_PARENT);
  if (parent && parent != GetDesktopWindow()) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  }
  return rect;
}

bool IsShown(HWND hwnd) { return IsWindow(hwnd) && IsWindowVisible(hwnd); }

bool IsInteractive(HWND hwnd) {
  if (!IsShown(hwnd)) return false;
  for (HWND h = hwnd; h && h != GetDesktopWindow(); h = GetAncestor(h, GA_PARENT)) {
    if (!IsWindowEnabled(h)) return false;
  }
  return true;
}

bool WaitForDestroyed(HWND hwnd, Milliseconds timeout) {
  return WaitUntil([hwnd] { return !IsWindow(hwnd); }, timeout);
}

std::vector<HWND> TopWindowsOf(DWORD pid) { return AllTopWindowsOf(pid, true); }

HWND WaitForTopWindow(DWORD pid, const std::wstring& className, const std::wstring& title,
                      Milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND hwnd : TopWindowsOf(pid)) {
          if ((className.empty() || SameClass(ClassName(hwnd), className)) &&
              (title.empty() || WindowText(hwnd) == title)) {
            found = hwnd;
            return true;
          }
        }
        return false;
      },
      timeout);
  return found;
}

ChildInfo Describe(HWND hwnd) {
  ChildInfo info;
  info.hwnd = hwnd;
  info.className = ClassName(hwnd);
  info.text = WindowText(hwnd);
  info.rect = RectInParent(hwnd);
  info.visible = IsWindowVisible(hwnd) != FALSE;
  info.enabled = IsWindowEnabled(hwnd) != FALSE;
  info.style = GetWindowLongW(hwnd, GWL_STYLE);
  info.id = GetDlgCtrlID(hwnd);
  return info;
}

std::vector<ChildInfo> Children(HWND parent) {
  std::vector<ChildInfo> result;
  for (HWND child : DirectChildren(parent)) result.push_back(Describe(child));
  return result;
}

HWND FindChild(HWND parent, const std::wstring& text) {
  for (HWND child : DirectChildren(parent)) {
    if (WindowText(child) == text) return child;
  }
  return nullptr;
}

HWND FindChildById(HWND parent, int id) {
  for (HWND child : DirectChildren(parent)) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

HWND FindChildByClass(HWND parent, const std::wstring& className, HWND after) {
  bool searching = after == nullptr;
  for (HWND child : DirectChildren(parent)) {
    if (searching && SameClass(ClassName(child), className)) return child;
    if (child == after) searching = true;
  }
  return nullptr;
}

HWND WaitForChild(HWND parent, const std::wstring& text, Milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindChild(parent, text)) != nullptr; }, timeout);
  return found;
}

WindowCounts CountWindows(DWORD pid) {
  WindowCounts counts;
  for (HWND top : AllTopWindowsOf(pid, false)) {
    ++counts.topLevel;
    ++counts.total;
    if (IsWindowVisible(top)) ++counts.visibleTopLevel;
    CountDescendants(top, counts.total);
  }
  return counts;
}

// --- Menus -------------------------------------------------------------------------------

namespace {

struct HookRemover {
  void operator()(HHOOK hook) const { UnhookWindowsHookEx(hook); }
};
using UniqueHook = std::unique_ptr<std::remove_pointer_t<HHOOK>, HookRemover>;

struct ViewUnmapper {
  void operator()(void* view) const { UnmapViewOfFile(view); }
};
using UniqueView = std::unique_ptr<void, ViewUnmapper>;

[[noreturn]] void ThrowMenuError(const std::string& what) {
  throw std::runtime_error("ReadMenuBar: " + what);
}

// Reads what menu_probe.dll wrote (the format is in menu_probe.h).
class MenuReader {
 public:
  MenuReader(const unsigned char* data, std::uint32_t size) : data_(data), size_(size) {}

  std::vector<MenuEntry> Menu(int depth) {
    if (depth > menu_probe::kMaxDepth) ThrowMenuError("menus nested too deep");
    const std::uint32_t count = Word();
    std::vector<MenuEntry> items;
    for (std::uint32_t i = 0; i < count; ++i) {
      MenuEntry entry;
      entry.id = Word();
      const bool hasSubmenu = Word() != 0;
      const std::uint32_t length = Word();
      Need(static_cast<std::uint64_t>(length) * sizeof(wchar_t));
      entry.text.resize(length);
      std::memcpy(entry.text.data(), data_ + offset_, length * sizeof(wchar_t));
      offset_ += length * static_cast<std::uint32_t>(sizeof(wchar_t));
      if (hasSubmenu) entry.items = Menu(depth + 1);
      items.push_back(std::move(entry));
    }
    return items;
  }

  bool AtEnd() const { return offset_ == size_; }

 private:
  void Need(std::uint64_t bytes) const {
    if (size_ - offset_ < bytes) ThrowMenuError("the probe's answer is cut short");
  }
  std::uint32_t Word() {
    Need(sizeof(std::uint32_t));
    std::uint32_t value = 0;
    std::memcpy(&value, data_ + offset_, sizeof(value));
    offset_ += sizeof(value);
    return value;
  }

  const unsigned char* data_;
  std::uint32_t size_;
  std::uint32_t offset_ = 0;
};

}  // namespace

void PrintTo(const MenuEntry& entry, std::ostream* out) {
  *out << '"' << Utf8(entry.text) << "\" (" << entry.id << ")";
  if (entry.items.empty()) return;
  *out << " [";
  for (size_t i = 0; i < entry.items.size(); ++i) {
    if (i > 0) *out << ", ";
    PrintTo(entry.items[i], out);
  }
  *out << "]";
}

std::vector<MenuEntry> ReadMenuBar(HWND window, const std::wstring& probeDll,
                                   Milliseconds timeout) {
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &pid);
  if (thread == 0) ThrowMenuError("no such window");

  // Loaded here only for the hook procedure's address; the system loads the same file into
  // the program's process when the hook first runs there.
  HMODULE module = LoadLibraryW(probeDll.c_str());
  if (!module) ThrowMenuError("cannot load " + Utf8(probeDll));
  struct Unloader {
    HMODULE module;
    ~Unloader() { FreeLibrary(module); }
  } unloader{module};
  auto hookProc = reinterpret_cast<HOOKPROC>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, menu_probe::kHookProcName)));
  if (!hookProc) ThrowMenuError(Utf8(probeDll) + " has no " + menu_probe::kHookProcName);
  const UINT message = RegisterWindowMessageW(menu_probe::kMessageName);
  if (message == 0) ThrowMenuError("cannot register the probe's message");

  static std::atomic<unsigned long> nextRequest{1};
  const unsigned long request = nextRequest++;
  wchar_t name[64];
  menu_probe::MappingName(name, GetCurrentProcessId(), request);
  UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          menu_probe::kMappingSize, name));
  if (!mapping) ThrowMenuError("cannot create the file mapping");
  UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  if (!view) ThrowMenuError("cannot map the file mapping");
  auto* header = static_cast<menu_probe::Header*>(view.get());
  header->status = menu_probe::kPending;
  header->size = 0;

  {
    UniqueHook hook(SetWindowsHookExW(WH_CALLWNDPROC, hookProc, module, thread));
    if (!hook) ThrowMenuError("cannot hook the window's thread");
    // The hook runs in the window's thread as the message arrives, before the window procedure
    // (which ignores the message); once the call returns, the answer is in the mapping.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, message, GetCurrentProcessId(), static_cast<LPARAM>(request),
                             SMTO_ABORTIFHUNG, static_cast<UINT>(timeout.count()), &ignored)) {
      ThrowMenuError("the window did not answer");
    }
  }

  switch (header->status) {
    case menu_probe::kNoMenu:
      return {};
    case menu_probe::kDone:
      break;
    case menu_probe::kOverflow:
      ThrowMenuError("the menu is too large");
    default:
      ThrowMenuError("the probe did not run in the window's thread");
  }
  const std::uint32_t capacity =
      menu_probe::kMappingSize - static_cast<std::uint32_t>(sizeof(menu_probe::Header));
  if (header->size > capacity) ThrowMenuError("the probe's answer is too long");
  MenuReader reader(static_cast<const unsigned char*>(view.get()) + sizeof(menu_probe::Header),
                    header->size);
  std::vector<MenuEntry> bar = reader.Menu(0);
  if (!reader.AtEnd()) ThrowMenuError("the probe's answer has trailing data");
  return bar;
}

// --- Input -------------------------------------------------------------------------------

bool PostMenuCommand(HWND window, unsigned short id) {
  if (!IsInteractive(window)) return false;
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE;
}

bool ClickButton(HWND button) {
  if (!IsInteractive(button)) return false;
  return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool ClickStatic(HWND label, ClickMethod method) {
  if (!IsInteractive(label) || !IsStatic(label) ||
      !(GetWindowLongW(label, GWL_STYLE) & SS_NOTIFY)) {
    return false;
  }
  if (method == ClickMethod::kNotify) {
    HWND parent = GetAncestor(label, GA_PARENT);
    return PostMessageW(parent, WM_COMMAND,
                        MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(label)), STN_CLICKED),
                        reinterpret_cast<LPARAM>(label)) != FALSE;
  }
  const POINT centre = Centre(ClientRect(label));
  const LPARAM where = MAKELPARAM(centre.x, centre.y);
  return PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, where) &&
         PostMessageW(label, WM_LBUTTONUP, 0, where);
}

bool ClickAtCentre(HWND hwnd) {
  if (!IsShown(hwnd)) return false;
  const POINT centre = Centre(WindowRect(hwnd));
  const int screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  INPUT inputs[3] = {};
  for (auto& input : inputs) {
    input.type = INPUT_MOUSE;
    // Absolute coordinates are normalised to 0..65535 over the screen.
    input.mi.dx = MulDiv(centre.x, 65536, screenWidth) + 1;
    input.mi.dy = MulDiv(centre.y, 65536, screenHeight) + 1;
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  return SendInput(3, inputs, sizeof(INPUT)) == 3;
}

std::optional<std::wstring> AccessibleName(HWND hwnd) {
  const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::optional<std::wstring> name;
  IAccessible* accessible = nullptr;
  // Spelled out: the IID_IAccessible that MinGW's import libraries link is not this one.
  static constexpr IID kIAccessible = {
      0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  const HRESULT found = AccessibleObjectFromWindow(
      hwnd, static_cast<DWORD>(OBJID_CLIENT), kIAccessible, reinterpret_cast<void**>(&accessible));
  if (SUCCEEDED(found)) {
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (SUCCEEDED(accessible->get_accName(self, &text))) {
      name = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
      SysFreeString(text);
    }
    accessible->Release();
  }
  if (SUCCEEDED(initialised)) CoUninitialize();
  return name;
}

bool SendDpiChanged(HWND window, int dpi, const RECT& suggested, Milliseconds timeout) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return false;
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
  bool answered = false;
  if (remote && WriteProcessMemory(process, remote, &suggested, sizeof(RECT), nullptr)) {
    DWORD_PTR ignored = 0;
    answered = SendMessageTimeoutW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
                                   reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                                   static_cast<UINT>(timeout.count()), &ignored) != 0;
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return answered;
}

bool MovePointerTo(POINT screen) {
  const int screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(screen.x, 65536, screenWidth) + 1;
  input.mi.dy = MulDiv(screen.y, 65536, screenHeight) + 1;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  return SendInput(1, &input, sizeof(INPUT)) == 1;
}

bool RestPointerOn(HWND hwnd) {
  if (!IsShown(hwnd)) return false;
  POINT centre = Centre(WindowRect(hwnd));
  // Two moves, so the window sees the pointer arrive even if it was already there.
  return MovePointerTo({centre.x - 1, centre.y}) && MovePointerTo(centre);
}

std::optional<std::wstring> ShownTooltip(DWORD pid) {
  for (HWND hwnd : TopWindowsOf(pid)) {
    if (SameClass(ClassName(hwnd), L"tooltips_class32")) return WindowText(hwnd);
  }
  return std::nullopt;
}

std::optional<std::wstring> WaitForTooltip(DWORD pid, Milliseconds timeout) {
  std::optional<std::wstring> text;
  WaitUntil([&] { return (text = ShownTooltip(pid)).has_value(); }, timeout);
  return text;
}

bool ChooseComboItem(HWND combo, int index) {
  if (!IsInteractive(combo)) return false;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &count) ||
      index < 0 || static_cast<DWORD_PTR>(index) >= count) {
    return false;
  }
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG,
                           kMessageTimeoutMs, &ignored)) {
    return false;
  }
  HWND parent = GetAncestor(combo, GA_PARENT);
  return PostMessageW(parent, WM_COMMAND,
                      MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(combo)), CBN_SELCHANGE),
                      reinterpret_cast<LPARAM>(combo)) != FALSE;
}

bool ChooseComboItem(HWND combo, const std::wstring& text) {
  const auto items = ComboItems(combo);
  const auto it = std::find(items.begin(), items.end(), text);
  return it != items.end() && ChooseComboItem(combo, static_cast<int>(it - items.begin()));
}

int ComboSelection(HWND combo) {
  DWORD_PTR selection = 0;
  if (!SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                           &selection)) {
    return CB_ERR;
  }
  return static_cast<int>(static_cast<LRESULT>(selection));
}

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &count) ||
      static_cast<LRESULT>(count) < 0) {
    return items;
  }
  for (WPARAM i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length);
    if (static_cast<LRESULT>(length) < 0) length = 0;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
    if (static_cast<LRESULT>(copied) < 0) copied = 0;
    text.resize(std::min<size_t>(copied, length));
    items.push_back(std::move(text));
  }
  return items;
}

HWND FocusedWindow(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void PressKey(HWND window, UINT virtualKey) {
  HWND target = FocusedWindow(window);
  if (!target) target = window;
  const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | static_cast<LPARAM>(scanCode) << 16;
  const LPARAM up = down | LPARAM{1} << 30 | LPARAM{1} << 31;
  PostMessageW(target, WM_KEYDOWN, virtualKey, down);
  PostMessageW(target, WM_KEYUP, virtualKey, up);
}

// --- Message boxes -----------------------------------------------------------------------

std::optional<MessageBoxInfo> ReadMessageBox(HWND box) {
  if (!IsWindow(box) || ClassName(box) != L"#32770") return std::nullopt;
  constexpr int kTextId = 0xFFFF;
  MessageBoxInfo info;
  info.hwnd = box;
  info.caption = WindowText(box);
  info.owner = GetWindow(box, GW_OWNER);
  std::optional<std::wstring> byId;
  std::optional<std::wstring> firstText;
  // The box has every kind of button and an icon; the ones it does not use are hidden.
  for (const ChildInfo& child : Children(box)) {
    if (!child.visible) continue;
    if (SameClass(child.className, L"Button")) {
      info.buttons.push_back({child.hwnd, child.id, child.text});
    } else if (SameClass(child.className, L"Static")) {
      if ((child.style & SS_TYPEMASK) == SS_ICON) {
        info.icon = child.hwnd;
      } else if (child.id == kTextId) {
        byId = child.text;
      } else if (!firstText && !child.text.empty()) {
        firstText = child.text;
      }
    }
  }
  info.text = byId ? *byId : firstText.value_or(std::wstring{});
  return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD pid, Milliseconds timeout) {
  HWND box = WaitForTopWindow(pid, L"#32770", {}, timeout);
  if (!box) return std::nullopt;
  // A box shown just after its thread was busy for seconds reads as empty until that thread
  // takes messages again: until then Wine counts it as hung, and the reads do not wait on hung
  // threads. Every box has a caption, so an empty one means "not yet".
  std::optional<MessageBoxInfo> info;
  WaitUntil([&] {
    info = ReadMessageBox(box);
    return !info || !info->caption.empty();
  });
  return info;
}

bool AnswerMessageBox(const MessageBoxInfo& box, int buttonId, Milliseconds timeout) {
  const auto button = std::find_if(box.buttons.begin(), box.buttons.end(),
                                   [buttonId](const DialogButton& b) { return b.id == buttonId; });
  if (button == box.buttons.end() || !ClickButton(button->hwnd)) return false;
  return WaitForDestroyed(box.hwnd, timeout);
}

MessageBoxIcon IdentifyIcon(const MessageBoxInfo& box, Milliseconds timeout) {
  if (!box.icon || !IsShown(box.icon)) return MessageBoxIcon::kNone;
  struct Candidate {
    LPCWSTR resource;
    MessageBoxIcon icon;
  };
  const Candidate candidates[] = {{IDI_HAND, MessageBoxIcon::kError},
                                  {IDI_QUESTION, MessageBoxIcon::kQuestion},
                                  {IDI_EXCLAMATION, MessageBoxIcon::kWarning},
                                  {IDI_ASTERISK, MessageBoxIcon::kInformation}};
  MessageBoxIcon result = MessageBoxIcon::kUnknown;
  WaitUntil(
      [&] {
        const ScreenImage shown = ScreenImage::Capture(WindowRect(box.icon));
        if (shown.Width() == 0 || shown.Height() == 0) return false;
        // The standard icons leave their corners transparent.
        const COLORREF background = shown.At(0, 0);
        for (const Candidate& candidate : candidates) {
          DibCanvas drawn(shown.Width(), shown.Height());
          drawn.Fill(background);
          DrawIconEx(drawn.Dc(), 0, 0, LoadIconW(nullptr, candidate.resource), shown.Width(),
                     shown.Height(), 0, nullptr, DI_NORMAL);
          int differences = 0;
          for (int y = 0; y < shown.Height(); ++y) {
            for (int x = 0; x < shown.Width(); ++x) differences += drawn.At(x, y) != shown.At(x, y);
          }
          if (differences == 0) {
            result = candidate.icon;
            return true;
          }
        }
        return false;
      },
      timeout);
  return result;
}

// --- Pixels ------------------------------------------------------------------------------

COLORREF ScreenPixel(int x, int y) {
  return ScreenImage::Capture(RECT{x, y, x + 1, y + 1}).At(0, 0);
}

COLORREF ClientPixel(HWND hwnd, int x, int y) {
  POINT point{x, y};
  ClientToScreen(hwnd, &point);
  return ScreenPixel(point.x, point.y);
}

bool WaitForClientPixel(HWND hwnd, int x, int y, COLORREF colour, Milliseconds timeout) {
  return WaitUntil([&] { return ClientPixel(hwnd, x, y) == colour; }, timeout);
}

ScreenImage ScreenImage::Capture(const RECT& screenRect) {
  ScreenImage image;
  const int width = screenRect.right - screenRect.left;
  const int height = screenRect.bottom - screenRect.top;
  if (width <= 0 || height <= 0) return image;
  ScreenDc screen;
  DibCanvas canvas(width, height);
  if (!BitBlt(canvas.Dc(), 0, 0, width, height, screen.Get(), screenRect.left, screenRect.top,
              SRCCOPY)) {
    return image;
  }
  image.width_ = width;
  image.height_ = height;
  image.pixels_.reserve(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.pixels_.push_back(canvas.At(x, y));
  }
  return image;
}

ScreenImage ScreenImage::CaptureClient(HWND hwnd) {
  RECT rect = ClientRect(hwnd);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return Capture(rect);
}

COLORREF ScreenImage::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

int ScreenImage::Count(COLORREF colour) const {
  return static_cast<int>(std::count(pixels_.begin(), pixels_.end(), colour));
}

bool ScreenImage::Save(const std::wstring& path) const {
  const int rowSize = (width_ * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width_;
  header.biHeight = height_;  // bottom-up
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(rowSize * height_);
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + header.biSizeImage;
  std::vector<BYTE> data(header.biSizeImage, 0);
  for (int y = 0; y < height_; ++y) {
    BYTE* row = data.data() + static_cast<size_t>(height_ - 1 - y) * rowSize;
    for (int x = 0; x < width_; ++x) {
      const COLORREF colour = At(x, y);
      row[x * 3] = GetBValue(colour);
      row[x * 3 + 1] = GetGValue(colour);
      row[x * 3 + 2] = GetRValue(colour);
    }
  }
  UniqueHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (out.get() == INVALID_HANDLE_VALUE) {
    out.release();
    return false;
  }
  DWORD written = 0;
  return WriteFile(out.get(), &file, sizeof(file), &written, nullptr) &&
         WriteFile(out.get(), &header, sizeof(header), &written, nullptr) &&
         WriteFile(out.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

// --- Screen DPI --------------------------------------------------------------------------

namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";
// The setting as it was before the first ScreenDpiSetting, kept while one is in place so that
// a test killed meanwhile cannot make its DPI the prefix's for good: the next ScreenDpiSetting
// puts this back. REG_NONE stands for "no value".
constexpr wchar_t kSavedLogPixels[] = L"DeskfindTestsSavedLogPixels";

struct RegistryValue {
  bool exists = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

RegistryValue ReadValue(HKEY key, const wchar_t* name) {
  RegistryValue value;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return value;
  }
  value.data.resize(size);
  value.exists =
      RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS;
  value.data.resize(size);
  return value;
}

bool WriteValue(HKEY key, const wchar_t* name, DWORD type, const std::vector<BYTE>& data) {
  return RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())) ==
         ERROR_SUCCESS;
}

}  // namespace

ScreenDpiSetting::ScreenDpiSetting(DWORD dpi) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
    return;
  }
  UniqueKey key(raw);
  const RegistryValue saved = ReadValue(key.get(), kSavedLogPixels);
  if (saved.exists) {
    // Left behind by a setting that never ended: what it saved is the real previous value.
    existed_ = saved.type != REG_NONE;
    previousType_ = saved.type;
    previous_ = saved.data;
  } else {
    const RegistryValue current = ReadValue(key.get(), kLogPixels);
    existed_ = current.exists;
    previousType_ = current.type;
    previous_ = current.data;
    if (!WriteValue(key.get(), kSavedLogPixels, existed_ ? previousType_ : REG_NONE, previous_)) {
      return;
    }
  }
  const auto* bytes = reinterpret_cast<const BYTE*>(&dpi);
  applied_ = WriteValue(key.get(), kLogPixels, REG_DWORD, {bytes, bytes + sizeof(dpi)});
}

ScreenDpiSetting::~ScreenDpiSetting() {
  if (!applied_) return;
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) {
    return;
  }
  UniqueKey key(raw);
  const bool restored = existed_ ? WriteValue(key.get(), kLogPixels, previousType_, previous_)
                                 : RegDeleteValueW(key.get(), kLogPixels) == ERROR_SUCCESS;
  if (restored) RegDeleteValueW(key.get(), kSavedLogPixels);
}

int NewProcessScreenDpi(const std::wstring& screenDpiExe, Milliseconds timeout) {
  try {
    Process probe = Process::Launch(screenDpiExe);
    if (!probe.WaitForExit(timeout)) return 0;
    return static_cast<int>(probe.ExitCode().value_or(0));
  } catch (const std::system_error&) {
    return 0;
  }
}

// --- What the shell opens ----------------------------------------------------------------

std::wstring RecorderCommand(const std::wstring& recordOpenExe, const std::wstring& logPath) {
  return L"\"" + recordOpenExe + L"\" --log \"" + logPath + L"\" \"%1\"";
}

ShellOpenRecorder::ShellOpenRecorder(const std::wstring& recordOpenExe) {
  static std::atomic<int> instances{0};
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  logPath_ = std::wstring(temp) + L"deskfind-opened-" + std::to_wstring(GetCurrentProcessId()) +
             L"-" + std::to_wstring(++instances) + L".log";
  UniqueHandle log(CreateFileW(logPath_.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (log.get() == INVALID_HANDLE_VALUE) {
    log.release();
    return;
  }

  // HKCR is what ShellExecute reads; writing through it lands wherever the prefix keeps it.
  installed_ = true;
  for (const wchar_t* scheme : {L"http", L"https"}) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, CommandKeyPath(scheme).c_str(), 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
      installed_ = false;
      continue;
    }
    UniqueKey key(raw);
    SavedCommand saved;
    saved.scheme = scheme;
    saved.value = ReadStringValue(key.get(), saved.type, saved.existed);
    // A test that died with a recorder in place left its command behind: put Wine's back.
    if (saved.value.find(L"record_open") != std::wstring::npos) {
      saved = {scheme, true, REG_SZ, kWineBrowserCommand};
    }
    saved_.push_back(saved);
    if (!SetStringValue(key.get(), REG_SZ, RecorderCommand(recordOpenExe, logPath_))) {
      installed_ = false;
    }
  }
}

ShellOpenRecorder::~ShellOpenRecorder() {
  for (const SavedCommand& saved : saved_) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, CommandKeyPath(saved.scheme).c_str(), 0, KEY_SET_VALUE,
                      &raw) != ERROR_SUCCESS) {
      continue;
    }
    UniqueKey key(raw);
    if (saved.existed) {
      SetStringValue(key.get(), saved.type, saved.value);
    } else {
      RegDeleteValueW(key.get(), nullptr);
    }
  }
  DeleteFileW(logPath_.c_str());
}

std::vector<std::string> ShellOpenRecorder::Opened() const {
  std::vector<std::string> lines;
  UniqueHandle log(CreateFileW(logPath_.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (log.get() == INVALID_HANDLE_VALUE) {
    log.release();
    return lines;
  }
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(log.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    content.append(buffer, read);
  }
  // Only complete lines count: the recorder may be halfway through writing one.
  size_t start = 0;
  for (size_t end = content.find('\n'); end != std::string::npos;
       start = end + 1, end = content.find('\n', start)) {
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> ShellOpenRecorder::WaitForOpened(size_t count,
                                                          Milliseconds timeout) const {
  std::vector<std::string> lines;
  WaitUntil(
      [&] {
        lines = Opened();
        return lines.size() >= count;
      },
      timeout);
  return lines;
}

void ShellOpenRecorder::Clear() {
  UniqueHandle log(CreateFileW(logPath_.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (log.get() == INVALID_HANDLE_VALUE) log.release();
}

}  // namespace deskfind::driver
