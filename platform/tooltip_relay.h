#pragma once

#include <windows.h>

#include <string>

#include "platform/win32_handles.h"

namespace deskfind {

class Control;

// A form's one tooltip. Its single tool follows the control under the pointer, and the mouse
// messages the form sees are relayed to it, so that it times its delay and hides itself as
// the system's own tooltips do. The window is made when a control first needs it, owned by
// the form `owner`; tips wrap at `maxWidth` pixels.
class TooltipRelay {
 public:
  TooltipRelay() = default;
  TooltipRelay(const TooltipRelay&) = delete;
  TooltipRelay& operator=(const TooltipRelay&) = delete;

  HWND Window() const { return tooltip_.Get(); }
  const Control* Hovered() const { return hovered_; }

  // The pointer is over `control` now (null: over none); its tip, if it shows one, takes the
  // tool.
  void Follow(HWND owner, const Control* control, int maxWidth);
  // Passes a mouse message of the form's to the tooltip.
  void Relay(UINT mouseMessage);
  // Takes the width limit for the form's new DPI.
  void SetMaxWidth(int maxWidth);
  // Drops the tool and the window, before the controls go.
  void Reset();

 private:
  void Create(HWND owner, int maxWidth);

  WindowHandle tooltip_;
  const Control* hovered_ = nullptr;
  std::wstring hoveredTip_;
  HWND tipTool_ = nullptr;  // the control the one tool stands for
};

}  // namespace deskfind
