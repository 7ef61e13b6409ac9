#pragma once

#include <windows.h>

namespace deskfind {

class Form;
class VerticalScroll;

// The keys a form handles before the dialog keys, given a key-down message for one of its
// windows: Tab and Shift+Tab move the focus through the controls in creation order (those that
// tab last after the others); Enter presses the focused control when it is pressed by Enter;
// the scrolling keys scroll the content when the form scrolls (`scroll` not null) and the
// focused control does not use them itself. True when the key was used. Esc and Enter with no
// such control focused are left to the dialog keys: they come back as IDCANCEL and IDOK.
bool HandleNavigationKey(Form& form, const MSG& message, VerticalScroll* scroll);

}  // namespace deskfind
