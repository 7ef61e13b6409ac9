#pragma once

#include <string>

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

  void FormActivate();
  void Button1Click(Component& sender);
  void Button2Click(Component& sender);
  void selectClick(Component& sender);
  void N2Click(Component& sender);
  void N4Click(Component& sender);
  void Label6Click(Component& sender);
  void Click_na_letyClick(Component& sender);

  const MatchList& Matches() const { return matches_; }

  // Components made at design time; everything after them was made by a search.
  static constexpr int kDesignComponents = 18;

 protected:
  // Escape leaves the window as its menu's "back" command does.
  void EscapePressed() override { Close(); }

 private:
  void AddRow(const DeskRecord& desk, int top);

  DeskCatalogue catalogue_;
  MatchList matches_;
  DropDownList* comboBox1_ = nullptr;
  DropDownList* comboBox2_ = nullptr;
  Label* clickNaLety_ = nullptr;
};

// The program-wide reference to the selection window while one exists, null otherwise.
extern Tpodbor_stola* podbor_stola;
// The last product address a link opened.
extern std::string ProductAddress;

}  // namespace deskfind
