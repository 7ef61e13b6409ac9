#pragma once

// Command identifiers of the selection window's menu items; test drivers post them too.
namespace deskfind::selection_menu {

enum Command : unsigned short {
  kBackToMainWindow = 202,  // N2
  kAbout = 204,             // N4
};

}  // namespace deskfind::selection_menu
