#pragma once

#include <windows.h>

#include <string>

#include "platform/win32_handles.h"

namespace deskfind {

class Control;
class Form;

// A form's one tooltip. Its single tool follows the control under the pointer, and the mouse
// messages the form sees are relayed to it, so that it times its delay and hides itself as
// the system's own tooltips do. The window is made when a control first needs it.
class TooltipRelay {
 public:
  explicit TooltipRelay(const Form& form) : form_(form) {}
  TooltipRelay(const TooltipRelay&) = delete;
  TooltipRelay& operator=(const TooltipRelay&) = delete;

  HWND Window() const { return tooltip_.Get(); }
  const Control* Hovered() const { return hovered_; }

  // The pointer is over `control` now (null: over none); its tip, if it shows one, takes the
  // tool.
  void Follow(const Control* control);
  // Passes a mouse message of the form's to the tooltip.
  void Relay(UINT mouseMessage);
  // Takes the form's new DPI: the tip's width limit is in 96-DPI units.
  void DpiChanged();
  // Drops the tool and the window, before the controls go.
  void Reset();

 private:
  void Create();

  const Form& form_;
  WindowHandle tooltip_;
  const Control* hovered_ = nullptr;
  std::wstring hoveredTip_;
  HWND tipTool_ = nullptr;  // the control the one tool stands for
};

}  // namespace deskfind
