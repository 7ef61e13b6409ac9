#pragma once

#include "platform/form.h"

namespace deskfind {

class PushButton;

// The about box: the version, the maker and a link to the shop's site.
class TAboutBox : public Form {
 public:
  explicit TAboutBox(Application& application);
  ~TAboutBox() override;

  void Label3Click(Component& sender);

 protected:
  Component* DefaultButton() override;
  void EscapePressed() override { SetModalResult(IDCANCEL); }

 private:
  PushButton* okButton_ = nullptr;
};

// Points to the about box while one exists, null otherwise.
extern TAboutBox* AboutBox;

}  // namespace deskfind
