#pragma once

#include <string>
#include <vector>

#include "catalogue/desk_catalogue.h"
#include "platform/form.h"

namespace deskfind {

class DropDownList;
class Label;

// The desk selection window: a width range in, rows of matching desks out.
class Tpodbor_stola : public Form {
 public:
  explicit Tpodbor_stola(Application& application);
  ~Tpodbor_stola() override;

  // Empties both width lists and loads the catalogue, each time the window is shown.
  void FormActivate();
  void Button1Click(Component& sender);        // "не важно": leaves the lower width open
  void Button2Click(Component& sender);        // "не важно": leaves the upper width open
  void selectClick(Component& sender);         // lists the desks within the chosen widths
  void N2Click(Component& sender);             // back to the main window
  void N4Click(Component& sender);             // "О программе": shows the about box
  void Label6Click(Component& sender);         // the site's address: opens the shop's site
  void Click_na_letyClick(Component& sender);  // a desk's name: opens its page on the site

  const MatchList& Matches() const { return matches_; }

 protected:
  // Escape leaves the window as its menu's "back" command does.
  void EscapePressed() override { Close(); }

 private:
  void AddRow(const DeskRecord& desk, int top);
  // Destroys what the last search made, and nothing else.
  void ClearRows();

  DeskCatalogue catalogue_;
  MatchList matches_;
  DropDownList* comboBox1_ = nullptr;
  DropDownList* comboBox2_ = nullptr;
  Label* clickNaLety_ = nullptr;
  // The labels and links the last search made, in the order made.
  std::vector<Component*> rows_;
};

// The program-wide reference to the selection window while one exists, null otherwise.
extern Tpodbor_stola* podbor_stola;
// The last product address a link opened.
extern std::string ProductAddress;

}  // namespace deskfind
