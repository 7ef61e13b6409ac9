#pragma once

#include <windows.h>

#include <string>

namespace deskfind {

// Makes the system folder the only place where libraries loaded by name are looked for, the
// ones the system loads on the program's behalf included. Without it the program's own folder
// comes first, and a Downloads folder holds whatever was saved there. Windows 7 has the call
// only with KB2533623: without it nothing changes, and DynamicLibrary still loads from the
// system folder.
inline void LoadLibrariesFromSystemFolderOnly() {
  // Looked up, not imported: an import the system lacks would stop the program from starting.
  const auto setDefaultDirectories =
      reinterpret_cast<decltype(&SetDefaultDllDirectories)>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefaultDirectories) setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// A system library loaded on first use rather than at start-up: the shell's and the internet
// library's start-up cost is paid only by the commands that need them. Only the system folder's
// copy is ever loaded, never a file of that name beside the program.
class DynamicLibrary {
 public:
  explicit DynamicLibrary(const wchar_t* name) : module_(LoadFromSystemFolder(name)) {}
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
  static HMODULE LoadFromSystemFolder(const wchar_t* name) {
    if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    // A system without the search flags rejects them: name the system folder's file instead,
    // and have its own dependencies looked for beside it first.
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }

  HMODULE module_;
};

}  // namespace deskfind
