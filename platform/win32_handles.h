#pragma once

#include <windows.h>

#include <utility>

#include "platform/live_objects.h"

namespace deskfind {

// Owns one Win32 handle and releases it exactly once. Move-only.
template <typename Handle, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {
    if (handle_) Traits::Count(+1);
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr), false);
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // Gives up ownership, e.g. when the system has already destroyed the object.
  Handle Release() {
    if (handle_) Traits::Count(-1);
    return std::exchange(handle_, nullptr);
  }
  void Reset(Handle handle = nullptr, bool counted = true) {
    // Forget the old handle before closing it: closing may call back into Release().
    Handle old = std::exchange(handle_, handle);
    if (handle_ && counted) Traits::Count(+1);
    if (old) {
      Traits::Close(old);
      Traits::Count(-1);
    }
  }

 private:
  Handle handle_ = nullptr;
};

struct FontTraits {
  static void Close(HFONT font) { DeleteObject(font); }
  static void Count(int delta) { LiveObjects::fonts += delta; }
};
struct BitmapTraits {
  static void Close(HBITMAP bitmap) { DeleteObject(bitmap); }
  static void Count(int delta) { LiveObjects::bitmaps += delta; }
};
struct IconTraits {
  static void Close(HICON icon) { DestroyIcon(icon); }
  static void Count(int) {}
};
struct MenuTraits {
  static void Close(HMENU menu) { DestroyMenu(menu); }
  static void Count(int) {}
};
struct WindowTraits {
  static void Close(HWND window) { DestroyWindow(window); }
  static void Count(int delta) { LiveObjects::windows += delta; }
};
struct KernelHandleTraits {
  static void Close(HANDLE handle) { CloseHandle(handle); }
  static void Count(int) {}
};
struct MemoryDCTraits {
  static void Close(HDC dc) { DeleteDC(dc); }
  static void Count(int) {}
};
struct RegistryKeyTraits {
  static void Close(HKEY key) { RegCloseKey(key); }
  static void Count(int) {}
};

using FontHandle = UniqueHandle<HFONT, FontTraits>;
using BitmapHandle = UniqueHandle<HBITMAP, BitmapTraits>;
using IconHandle = UniqueHandle<HICON, IconTraits>;
using MenuHandle = UniqueHandle<HMENU, MenuTraits>;
using WindowHandle = UniqueHandle<HWND, WindowTraits>;
using RegistryKey = UniqueHandle<HKEY, RegistryKeyTraits>;
using FileHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using EventHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using ThreadHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using MemoryDC = UniqueHandle<HDC, MemoryDCTraits>;

// A window's device context for drawing outside WM_PAINT, released at scope end.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  ~ScopedGetDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() { SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace deskfind
