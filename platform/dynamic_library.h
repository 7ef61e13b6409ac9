#pragma once

#include <windows.h>

namespace deskfind {

// A system library loaded on first use rather than at start-up: the shell's and the internet
// library's start-up cost is paid only by the commands that need them.
class DynamicLibrary {
 public:
  explicit DynamicLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  ~DynamicLibrary() {
    if (module_) FreeLibrary(module_);
  }

  bool Loaded() const { return module_ != nullptr; }

  // The function `name` typed as `Function`, or null when the library or the function is
  // missing. Declare `Function` with decltype(&TheFunction) so the types cannot drift.
  template <typename Function>
  Function Get(const char* name) const {
    if (!module_) return nullptr;
    // Through a generic function pointer: the documented way to retype GetProcAddress.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

}  // namespace deskfind
