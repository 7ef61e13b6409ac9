#pragma once

#include <windows.h>

#include <cstdint>

// What the test driver and menu_probe.dll agree on. The driver hooks the program's GUI thread
// with the DLL's MenuProbeCallWndProc, creates a named file mapping and sends the window the
// registered kMenuProbeMessage; the hook, running in the program's own thread, writes the
// window's menu bar into the mapping before the window procedure sees the message.
namespace deskfind::driver::menu_probe {

inline constexpr wchar_t kMessageName[] = L"DeskfindMenuProbe.ReadMenuBar";
inline constexpr char kHookProcName[] = "MenuProbeCallWndProc";
// Menus nested deeper than this are not read (a menu that contains itself stops here).
inline constexpr int kMaxDepth = 8;

// The mapping is named after the requesting process and a request number, which travel as the
// message's wParam and lParam.
inline void MappingName(wchar_t (&name)[64], unsigned long requester, unsigned long request) {
  wsprintfW(name, L"DeskfindMenuProbe-%lu-%lu", requester, request);
}

enum Status : std::uint32_t {
  kPending = 0,
  kDone = 1,
  kNoMenu = 2,    // the window has no menu bar
  kOverflow = 3,  // the menu did not fit into the mapping
};

// The mapping starts with this header; `size` bytes of data follow it.
//   menu := count:u32, count × item
//   item := id:u32, hasSubmenu:u32, length:u32, length × UTF-16 unit, [menu if hasSubmenu]
// A heading that opens a submenu has id 0.
struct Header {
  std::uint32_t status;
  std::uint32_t size;
};

inline constexpr std::uint32_t kMappingSize = 1 << 20;

}  // namespace deskfind::driver::menu_probe
