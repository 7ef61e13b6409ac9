#pragma once

#include <string_view>

#include "platform/form.h"

namespace deskfind {

class PushButton;

namespace detail {
// The dialog's size follows its text; measured before the window exists.
struct ConfirmGeometry {
  SIZE text;
  int clientWidth, clientHeight, buttonsTop;
};
}  // namespace detail

// "Warning" with an exclamation icon, the text, and "&Yes" (the default) then "&No".
class ConfirmDialog : public Form {
 public:
  ConfirmDialog(Application& application, std::string_view text);

 protected:
  Component* DefaultButton() override;
  void EscapePressed() override { SetModalResult(IDNO); }
  bool FollowsWaitCursor() const override { return false; }

 private:
  ConfirmDialog(Application& application, std::string_view text,
                const detail::ConfirmGeometry& geometry);
  PushButton* yes_ = nullptr;
};

}  // namespace deskfind
