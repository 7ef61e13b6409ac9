#include "platform/keyboard_navigation.h"

#include <algorithm>
#include <vector>

#include "platform/vertical_scroll.h"

namespace deskfind {
namespace {

using Components = std::vector<std::unique_ptr<Component>>;

// The control whose window is `window`, or null.
Control* ControlOf(const Components& components, HWND window) {
  for (const auto& component : components) {
    Control* control = component->AsControl();
    if (window && control && control->Handle() == window) return control;
  }
  return nullptr;
}

void MoveFocus(HWND form, const Components& components, bool backwards) {
  // The controls in creation order (the windows' tab order), those that tab last after them.
  std::vector<HWND> order;
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& component : components) {
      Control* control = component->AsControl();
      if (!control || !control->Handle() || control->TabsLast() != (pass == 1)) continue;
      HWND window = control->Handle();
      if ((GetWindowLongW(window, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(window) &&
          IsWindowEnabled(window)) {
        order.push_back(window);
      }
    }
  }
  if (order.empty()) return;
  HWND focused = GetFocus();
  while (focused && GetParent(focused) != form) focused = GetParent(focused);
  const auto found = std::find(order.begin(), order.end(), focused);
  const auto count = static_cast<std::ptrdiff_t>(order.size());
  std::ptrdiff_t next = 0;
  if (found != order.end()) {
    next = ((found - order.begin()) + (backwards ? count - 1 : 1)) % count;
  } else if (backwards) {
    next = count - 1;
  }
  SetFocus(order[static_cast<std::size_t>(next)]);
}

}  // namespace

bool HandleNavigationKey(HWND form, const Components& components, VerticalScroll* scroll,
                         const MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  const bool modifier = GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
  if (modifier) return false;
  Control* focused = ControlOf(components, GetFocus());
  // Enter presses the control that has the focus, not the form's default button: the focus
  // moves by our own Tab, which leaves the default button where it was.
  if (message.wParam == VK_RETURN && focused && focused->PressedByEnter()) {
    focused->Click();
    return true;
  }
  if (message.wParam == VK_TAB) {
    MoveFocus(form, components, GetKeyState(VK_SHIFT) < 0);
    return true;
  }
  if (!scroll || (focused && focused->UsesScrollingKeys())) return false;
  return scroll->OnKey(message.wParam);
}

}  // namespace deskfind
