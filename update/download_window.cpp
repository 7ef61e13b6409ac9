#include "update/download_window.h"

#include <algorithm>

#include "platform/application.h"
#include "platform/controls.h"
#include "update/flow/update_texts.h"

namespace deskfind {
namespace {

// Laid out at 96 DPI.
constexpr int kMargin = 12;
constexpr int kClientWidth = 360;
constexpr int kBarTop = 36, kBarHeight = 18;
constexpr int kButtonWidth = 75, kButtonHeight = 25;
constexpr int kButtonTop = kBarTop + kBarHeight + kMargin;
constexpr int kClientHeight = kButtonTop + kButtonHeight + kMargin;

// The window shows the progress no more often than this: it costs the download nothing.
constexpr DWORD kRefreshMilliseconds = 100;

FormLayout WindowLayout(std::string_view caption) {
  FormLayout layout =
      FormLayout::CentredDialog(std::string(caption), kClientWidth, kClientHeight, FontSpec{});
  layout.programIcon = false;
  return layout;
}

}  // namespace

DownloadWindow::DownloadWindow(Application& application, std::string_view caption)
    : Form(application, WindowLayout(caption)) {
  received_ = &Add<Label>("Received", kMargin, kMargin, ReceivedText(0, 0));
  bar_ = &Add<ProgressBar>("Progress", kMargin, kBarTop, kClientWidth - 2 * kMargin, kBarHeight,
                           caption);
  cancel_ = &Add<PushButton>("Cancel", (kClientWidth - kButtonWidth) / 2, kButtonTop, kButtonWidth,
                             kButtonHeight, "Отмена", true);
  cancel_->OnClick = [this](Component&) { SetModalResult(IDCANCEL); };
  bar_->Show(0, 0);
}

void DownloadWindow::ShowProgress(std::size_t received, std::size_t announced) {
  const std::string text = ReceivedText(received, announced);
  if (received_->Text() != text) received_->SetText(text);
  bar_->Show(static_cast<unsigned>(std::min(received, announced)),
             static_cast<unsigned>(announced));
}

void DownloadWindow::Open() {
  Show();
  SetForegroundWindow(Handle());
  SetFocus(cancel_->Handle());
}

Component* DownloadWindow::DefaultButton() { return cancel_; }

DownloadWatch::Outcome DownloadWindowWatch::Wait(HANDLE ended, DWORD milliseconds,
                                                 const DownloadProgress& progress) {
  const HWND focused = GetFocus();
  const Form* mainForm = application_.MainForm();
  DownloadWindow window(application_, caption_);
  Outcome outcome = Outcome::kTimedOut;
  {
    const OtherWindowsDisabled others(window.Handle());
    const ULONGLONG start = GetTickCount64();
    ULONGLONG refreshed = 0;
    bool shown = false;
    for (;;) {
      const ULONGLONG now = GetTickCount64();
      const ULONGLONG elapsed = now - start;
      if (elapsed >= milliseconds) break;
      if (!shown && elapsed >= showAfter_) {
        window.ShowProgress(progress.received, progress.announced);
        window.Open();
        shown = true;
        refreshed = now;
      } else if (shown && now - refreshed >= kRefreshMilliseconds) {
        window.ShowProgress(progress.received, progress.announced);
        refreshed = now;
      }
      ULONGLONG wait = std::min<ULONGLONG>(milliseconds - elapsed, kRefreshMilliseconds);
      if (!shown) wait = std::min<ULONGLONG>(wait, showAfter_ - elapsed);
      const DWORD woken = MsgWaitForMultipleObjectsEx(1, &ended, static_cast<DWORD>(wait),
                                                      QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (woken == WAIT_OBJECT_0) {
        outcome = Outcome::kEnded;
        break;
      }
      if (!application_.DispatchWaiting() || window.Cancelled()) {
        outcome = Outcome::kCancelled;
        break;
      }
    }
  }
  // As after any modal window: the main window active again, its focus where it was.
  if (mainForm && IsWindow(mainForm->Handle()) && GetActiveWindow() == window.Handle()) {
    SetActiveWindow(mainForm->Handle());
  }
  ShowWindow(window.Handle(), SW_HIDE);
  if (focused && IsWindow(focused)) SetFocus(focused);
  return outcome;
}

}  // namespace deskfind
