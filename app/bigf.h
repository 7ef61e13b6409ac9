#pragma once

#include <string_view>

#include "platform/form.h"

namespace deskfind {

class Memo;

// The main window: the hub from which every tool of the program is reached.
class Tbigform : public Form {
 public:
  explicit Tbigform(Application& application);
  ~Tbigform() override;

  // What each menu item, button, picture or link does for the user:
  void N2Click(Component& sender);       // "Выход из программы": ends the program
  void N4Click(Component& sender);       // "О программе": shows the about box
  void N6Click(Component& sender);       // desk item or picture: a new, empty selection window
  void N7Click(Component& sender);       // chest item or picture: says it is not ready yet
  void Label6Click(Component& sender);   // the site's address: opens the shop's site
  void Button3Click(Component& sender);  // looks for a newer version, offers to start it
  void Button4Click(Component& sender);  // makes the shop's site the browser's start page

  // Writes the browser's start page for the current user; false when that failed.
  bool SetIEStartPage(std::string_view address);

  Memo& Memo1() { return *memo1_; }

 private:
  Memo* memo1_ = nullptr;
};

// The program-wide reference to the main window while it exists, null otherwise.
extern Tbigform* bigform;

}  // namespace deskfind
