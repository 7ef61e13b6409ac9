#include "platform/tooltip_relay.h"

#include <commctrl.h>

#include "platform/component.h"

namespace deskfind {

void TooltipRelay::Follow(HWND owner, const Control* control, int maxWidth) {
  if (control == hovered_) return;
  hovered_ = control;
  // The one tool moves to the control under the pointer. The tooltip finds its tool by the
  // window under the pointer, so the tool must be that control's window, not the form's.
  if (tipTool_) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(tipTool_);
    SendMessageW(tooltip_.Get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    tipTool_ = nullptr;
  }
  if (!control || !control->ShowsTooltip() || control->Tooltip().empty()) return;
  // Made when first needed: a window the pointer never rests on does without one.
  if (!tooltip_) Create(owner, maxWidth);
  if (!tooltip_) return;
  hoveredTip_ = control->Tooltip();
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = owner;
  tool.uId = reinterpret_cast<UINT_PTR>(control->Handle());
  tool.lpszText = hoveredTip_.data();
  if (SendMessageW(tooltip_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
    tipTool_ = control->Handle();
  }
}

void TooltipRelay::Relay(UINT mouseMessage) {
  if (!tipTool_) return;
  // The tooltip sees the pointer over the control it describes, in that control's
  // coordinates: it times the delay and hides itself when the pointer leaves.
  MSG relayed{};
  relayed.hwnd = tipTool_;
  relayed.message = mouseMessage;
  GetCursorPos(&relayed.pt);
  POINT client = relayed.pt;
  ScreenToClient(tipTool_, &client);
  relayed.lParam = MAKELPARAM(client.x, client.y);
  relayed.time = static_cast<DWORD>(GetMessageTime());
  SendMessageW(tooltip_.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

void TooltipRelay::SetMaxWidth(int maxWidth) {
  if (tooltip_) SendMessageW(tooltip_.Get(), TTM_SETMAXTIPWIDTH, 0, maxWidth);
}

void TooltipRelay::Reset() {
  hovered_ = nullptr;
  tipTool_ = nullptr;  // the tool goes with the window
  tooltip_.Reset();
}

void TooltipRelay::Create(HWND owner, int maxWidth) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
  tooltip_.Reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                 instance, nullptr));
  if (!tooltip_) return;  // tooltips are a nicety; the window works without them
  SetMaxWidth(maxWidth);
}

}  // namespace deskfind
