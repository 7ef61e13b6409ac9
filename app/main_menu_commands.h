#pragma once

// Command identifiers of the main window's menu items; test drivers post them too.
namespace deskfind::main_menu {

enum Command : unsigned short {
  kExit = 102,            // N2
  kAbout = 104,           // N4
  kDeskSelection = 106,   // N6
  kChestOfDrawers = 107,  // N7
};

}  // namespace deskfind::main_menu
