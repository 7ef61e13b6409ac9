#pragma once

#include <windows.h>

namespace deskfind {

class Form;

// Where a child window is now, in its parent's client coordinates.
RECT ChildBounds(HWND parent, HWND child);

// Scrolls a form's content as a whole: the vertical scroll bar, the wheel and the scrolling
// keys. Only windows whose content can outgrow them have one.
class VerticalScroll {
 public:
  explicit VerticalScroll(Form& form) : form_(form) {}
  VerticalScroll(const VerticalScroll&) = delete;
  VerticalScroll& operator=(const VerticalScroll&) = delete;

  // The content's scroll position in screen pixels.
  int Offset() const { return offset_; }
  // Fits the bar to the lowest visible control; keeps the content from staying scrolled past
  // its end when it shrinks.
  void UpdateRange();
  void ScrollTo(int offset);
  // Scrolls just enough for the child window to show whole.
  void ScrollIntoView(HWND child);

  // A scroll-bar request (SB_LINEUP, SB_THUMBTRACK, ...).
  void OnRequest(int request);
  void OnWheel(int wheelDelta);
  // Up, Down, Page Up, Page Down, Home and End; true when the key was one of them.
  bool OnKey(WPARAM key);

 private:
  Form& form_;
  int offset_ = 0;
};

}  // namespace deskfind
