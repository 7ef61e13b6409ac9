#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/component.h"

namespace deskfind {

class VerticalScroll;

// The keys a form handles before the dialog keys, given a key-down message for one of its
// windows, the form's window and its components in creation order: Tab and Shift+Tab move the focus
// through the controls in creation order (those that tab last after the others); Enter presses the
// focused control when it is pressed by Enter; the scrolling keys scroll the content when the form
// scrolls (`scroll` not null) and the focused control does not use them itself. True when the key
// was used. Esc and Enter with no such control focused are left to the dialog keys: they come back
// as IDCANCEL and IDOK.
bool HandleNavigationKey(HWND form, const std::vector<std::unique_ptr<Component>>& components,
                         VerticalScroll* scroll, const MSG& message);

}  // namespace deskfind
