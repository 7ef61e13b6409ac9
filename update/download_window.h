#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/form.h"
#include "update/download/progress.h"

namespace deskfind {

class Label;
class ProgressBar;
class PushButton;

// The window a download shows while it runs: its caption, how much has come ("Получено 312 КБ
// из 612 КБ") with a progress bar, and "Отмена", which Enter, Space, Esc and the close box
// press too.
class DownloadWindow : public Form {
 public:
  DownloadWindow(Application& application, std::string_view caption);

  // Shows how far the download has got; announced is 0 when no length is known.
  void ShowProgress(std::size_t received, std::size_t announced);
  // Shows the window, active, with "Отмена" focused.
  void Open();
  bool Cancelled() const { return ModalResult() != 0; }

 protected:
  Component* DefaultButton() override;
  void EscapePressed() override { SetModalResult(IDCANCEL); }
  // The hourglass is over the windows that wait; "Отмена" takes a click.
  bool FollowsWaitCursor() const override { return false; }

 private:
  Label* received_ = nullptr;
  ProgressBar* bar_ = nullptr;
  PushButton* cancel_ = nullptr;
};

// Waits for a download in a DownloadWindow, modal over the program's windows, which keep
// answering and repainting meanwhile. The window shows once showAfterMilliseconds have passed,
// so that a quick download shows none. Cancel, or the program being asked to end (the main
// window closed, Windows ending), gives the download up.
class DownloadWindowWatch final : public DownloadWatch {
 public:
  DownloadWindowWatch(Application& application, std::string caption, DWORD showAfterMilliseconds)
      : application_(application),
        caption_(std::move(caption)),
        showAfter_(showAfterMilliseconds) {}

  Outcome Wait(HANDLE ended, DWORD milliseconds, const DownloadProgress& progress) override;

 private:
  Application& application_;
  std::string caption_;
  DWORD showAfter_;
};

}  // namespace deskfind
