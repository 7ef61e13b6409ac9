#include "platform/vertical_scroll.h"

#include <algorithm>
#include <utility>

#include "platform/component.h"
#include "platform/form.h"

namespace deskfind {

RECT ChildBounds(HWND parent, HWND child) {
  RECT bounds;
  GetWindowRect(child, &bounds);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

void VerticalScroll::UpdateRange() {
  HWND window = form_.Handle();
  int contentBottom = 0;
  for (int index = 0; index < form_.ComponentCount(); ++index) {
    const Control* control = form_.ComponentAt(index).AsControl();
    if (!control || !control->Handle() || !control->Visible()) continue;
    const int bottom = ChildBounds(window, control->Handle()).top + control->ShownHeight();
    contentBottom = std::max(contentBottom, bottom + offset_);
  }
  RECT client;
  GetClientRect(window, &client);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE;
  info.nMin = 0;
  info.nMax = contentBottom + form_.Scale(8);
  info.nPage = static_cast<UINT>(client.bottom);
  SetScrollInfo(window, SB_VERT, &info, TRUE);
  const int maxOffset = std::max(0, info.nMax - static_cast<int>(client.bottom) + 1);
  if (offset_ > maxOffset) ScrollTo(maxOffset);
}

void VerticalScroll::ScrollTo(int offset) {
  HWND window = form_.Handle();
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE;
  GetScrollInfo(window, SB_VERT, &info);
  const int maxOffset = std::max(0, info.nMax - static_cast<int>(info.nPage) + 1);
  offset = std::clamp(offset, 0, maxOffset);
  if (offset == offset_) return;
  const int delta = offset_ - offset;
  offset_ = offset;
  SetScrollPos(window, SB_VERT, offset, TRUE);
  ScrollWindowEx(window, 0, delta, nullptr, nullptr, nullptr, nullptr,
                 SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
  UpdateWindow(window);
}

void VerticalScroll::ScrollIntoView(HWND child) {
  const RECT bounds = ChildBounds(form_.Handle(), child);
  RECT client;
  GetClientRect(form_.Handle(), &client);
  if (bounds.top < 0) {
    ScrollTo(offset_ + bounds.top);
  } else if (bounds.bottom > client.bottom) {
    ScrollTo(offset_ + bounds.bottom - client.bottom);
  }
}

void VerticalScroll::OnRequest(int request) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  GetScrollInfo(form_.Handle(), SB_VERT, &info);
  const int line = form_.Scale(16);
  const int page = static_cast<int>(info.nPage);
  switch (request) {
    case SB_LINEUP:
      ScrollTo(offset_ - line);
      break;
    case SB_LINEDOWN:
      ScrollTo(offset_ + line);
      break;
    case SB_PAGEUP:
      ScrollTo(offset_ - page);
      break;
    case SB_PAGEDOWN:
      ScrollTo(offset_ + page);
      break;
    case SB_TOP:
      ScrollTo(0);
      break;
    case SB_BOTTOM:
      ScrollTo(info.nMax);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      ScrollTo(info.nTrackPos);
      break;
    default:
      break;
  }
}

void VerticalScroll::OnWheel(int wheelDelta) {
  const int lines = wheelDelta / WHEEL_DELTA;
  ScrollTo(offset_ - lines * 3 * form_.Scale(16));
}

bool VerticalScroll::OnKey(WPARAM key) {
  static const std::pair<WPARAM, int> kScrollKeys[] = {
      {VK_UP, SB_LINEUP},     {VK_DOWN, SB_LINEDOWN}, {VK_PRIOR, SB_PAGEUP},
      {VK_NEXT, SB_PAGEDOWN}, {VK_HOME, SB_TOP},      {VK_END, SB_BOTTOM}};
  for (const auto& [scrollKey, request] : kScrollKeys) {
    if (key == scrollKey) {
      OnRequest(request);
      return true;
    }
  }
  return false;
}

}  // namespace deskfind
