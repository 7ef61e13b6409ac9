#include <windows.h>

#include "tests/driver/menu_probe.h"

#include <cstring>

// A hook DLL the test driver loads into the program's GUI thread: menus of another process
// cannot be read from outside it under Wine, so this code reads them from inside.
namespace {

namespace probe = deskfind::driver::menu_probe;

class Writer {
 public:
  Writer(unsigned char* data, std::uint32_t capacity) : data_(data), capacity_(capacity) {}

  void Put(const void* bytes, std::uint32_t count) {
    if (overflow_ || capacity_ - size_ < count) {
      overflow_ = true;
      return;
    }
    std::memcpy(data_ + size_, bytes, count);
    size_ += count;
  }
  void Put(std::uint32_t value) { Put(&value, sizeof(value)); }

  std::uint32_t Size() const { return size_; }
  bool Overflow() const { return overflow_; }

 private:
  unsigned char* data_;
  std::uint32_t capacity_;
  std::uint32_t size_ = 0;
  bool overflow_ = false;
};

void WriteMenu(HMENU menu, int depth, Writer& out) {
  const int count = GetMenuItemCount(menu);
  out.Put(static_cast<std::uint32_t>(count > 0 ? count : 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = static_cast<UINT>(sizeof(text) / sizeof(text[0]) - 1);
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
      info = {};
      text[0] = L'\0';
    }
    const bool descend = info.hSubMenu != nullptr && depth < probe::kMaxDepth;
    const std::uint32_t length = static_cast<std::uint32_t>(lstrlenW(text));
    out.Put(info.hSubMenu ? 0u : static_cast<std::uint32_t>(info.wID));
    out.Put(descend ? 1u : 0u);
    out.Put(length);
    out.Put(text, length * static_cast<std::uint32_t>(sizeof(wchar_t)));
    if (descend) WriteMenu(info.hSubMenu, depth + 1, out);
  }
}

void Answer(HWND window, WPARAM requester, LPARAM request) {
  wchar_t name[64];
  probe::MappingName(name, static_cast<unsigned long>(requester),
                     static_cast<unsigned long>(request));
  HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) return;
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
  if (view) {
    auto* header = static_cast<probe::Header*>(view);
    Writer out(static_cast<unsigned char*>(view) + sizeof(probe::Header),
               probe::kMappingSize - static_cast<std::uint32_t>(sizeof(probe::Header)));
    HMENU menu = GetMenu(window);
    if (!menu || !IsMenu(menu)) {
      header->status = probe::kNoMenu;
    } else {
      WriteMenu(menu, 0, out);
      header->size = out.Size();
      header->status = out.Overflow() ? probe::kOverflow : probe::kDone;
    }
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    MenuProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT probeMessage = RegisterWindowMessageW(probe::kMessageName);
  if (code == HC_ACTION && probeMessage != 0) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (message->message == probeMessage) Answer(message->hwnd, message->wParam, message->lParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
