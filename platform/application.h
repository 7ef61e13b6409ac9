#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font_cache.h"
#include "platform/win32_handles.h"

namespace deskfind {

class Form;

// While it lives, the program's other windows take no input: every enabled, visible top-level
// window of the thread but `modal` is disabled, and enabled again however the scope ends.
class OtherWindowsDisabled {
 public:
  explicit OtherWindowsDisabled(HWND modal);
  OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
  OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;
  ~OtherWindowsDisabled();

 private:
  std::vector<HWND> windows_;
};

// The title every box of the program carries: the program's file name without its folder,
// cut at its first dot, the first character as it is and the rest in lower case.
std::wstring ApplicationTitle(std::wstring_view programPath);

// Owns the program's windows, runs the message loop and shows the standard boxes.
class Application {
 public:
  // iconResource: the program icon in the executable's resources (0 for none).
  explicit Application(HINSTANCE instance, int iconResource = 1);
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  ~Application();

  HINSTANCE Instance() const { return instance_; }
  // The hidden window that owns the message boxes and carries the title; made when first
  // asked for, which takes it off the way to the first window shown.
  HWND Handle();
  const std::wstring& Title() const { return title_; }
  int Dpi() const { return dpi_; }
  FontCache& Fonts() { return fonts_; }
  // A memory device context for measuring texts, shared by every label.
  HDC MeasuringDC() const { return measuringDC_.Get(); }
  HICON ProgramIcon(bool large) const { return large ? largeIcon_.Get() : smallIcon_.Get(); }

  // Runs the message loop for the main form until the program is asked to end.
  int Run(Form& mainForm);
  Form* MainForm() const { return mainForm_; }
  // Asks the program to end: the main loop ends once the running handlers return.
  void Terminate();
  // Runs once, when Terminate is first called (the main window closes, or Windows ends), before
  // anything else: Windows may end the process as soon as it has told the program.
  std::function<void()> OnEnding;

  // Shows the form, runs OnActivate once, and waits until it closes; other windows take
  // no input meanwhile. Returns the form's modal result.
  int ShowModal(Form& form);

  // A message box owned by the application; the program's windows wait for its answer.
  int ShowMessage(std::string_view text, std::string_view caption, UINT flags);
  // "Warning" with Yes and No; returns IDYES, IDNO (also for Escape) or IDCANCEL (close box).
  int Confirm(std::string_view text);
  // The box for an error that escaped an event handler; the program goes on.
  void ShowError(const std::exception& error);

  // The hourglass over every window of the program, or back to the default.
  void SetWaitCursor(bool waiting);
  HCURSOR WaitCursor() const { return waitCursor_; }

  // Runs a modal loop until the form's modal result is set.
  void RunModalLoop(Form& form);
  // Dispatches the messages waiting for this thread, for a loop that also waits for something
  // else. False once the program is asked to end; the main loop then ends it.
  bool DispatchWaiting();

 private:
  HINSTANCE instance_;
  std::wstring title_;
  int dpi_;
  FontCache fonts_;
  IconHandle largeIcon_;
  IconHandle smallIcon_;
  WindowHandle window_;
  MemoryDC measuringDC_;
  Form* mainForm_ = nullptr;
  HCURSOR waitCursor_ = nullptr;
  bool quitting_ = false;
};

}  // namespace deskfind
