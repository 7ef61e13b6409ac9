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

  void N2Click(Component& sender);
  void N4Click(Component& sender);
  void N6Click(Component& sender);
  void N7Click(Component& sender);
  void Label6Click(Component& sender);
  void Button3Click(Component& sender);
  void Button4Click(Component& sender);

  // Writes the browser's start page for the current user; false when that failed.
  bool SetIEStartPage(std::string_view address);

  Memo& Memo1() { return *memo1_; }

 private:
  Memo* memo1_ = nullptr;
};

// The program-wide reference to the main window while it exists, null otherwise.
extern Tbigform* bigform;

}  // namespace deskfind
