// Search speed: an all-open search after an earlier one (240 labels destroyed, 240 made) up
// to the repainted window, against 240 bare STATIC windows with the same fonts destroyed and
// made in a plain window. The two take turns, run after run, so that the machine's swings in
// speed hit both alike. Prints medians and their ratio.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/bigf.h"
#include "platform/application.h"
#include "platform/live_objects.h"
#include "selection/stol.h"

namespace {

using namespace deskfind;
using Clock = std::chrono::steady_clock;

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The two windows overlap: the one measured comes to the top first, so both paint in full.
double Time(HWND window, const std::function<void()>& work) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Pump();
  const auto start = Clock::now();
  work();
  GdiFlush();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The yardstick: what any program pays for 240 text windows in the program's fonts (a name
// underlined, dimensions and price plain).
class BareStatics {
 public:
  BareStatics(HINSTANCE instance, HFONT nameFont, HFONT font) : nameFont_(nameFont), font_(font) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PlainProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"BarePlain";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"BarePlain", L"Bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 192, 107,
                              960, 660, nullptr, nullptr, instance, nullptr);
    instance_ = instance;
  }
  ~BareStatics() { DestroyWindow(window_); }
  HWND Handle() const { return window_; }
  void Rebuild() {
    for (HWND label : labels_) DestroyWindow(label);
    labels_.clear();
    for (int row = 0; row < 80; ++row) {
      const int top = 66 + 16 * row;
      for (int left : {470, 700, 850}) {
        HWND label =
            CreateWindowExW(0, L"STATIC", L"Стол компьютерный СК-101", WS_CHILD | WS_VISIBLE, left,
                            top, 150, 13, window_, nullptr, instance_, nullptr);
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(left == 470 ? nameFont_ : font_),
                     FALSE);
        labels_.push_back(label);
      }
    }
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

 private:
  HFONT nameFont_, font_;
  HWND window_;
  HINSTANCE instance_;
  std::vector<HWND> labels_;
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  Application application(instance, 0);

  Tpodbor_stola window(application);
  podbor_stola = &window;
  window.Show();
  window.FormActivate();
  Component& select = *window.FindComponent("select");
  window.selectClick(select);

  FontSpec nameFont = window.DefaultFont();
  nameFont.underline = true;
  BareStatics bare(instance, window.FontFor(nameFont), window.FontFor(window.DefaultFont()));
  bare.Rebuild();

  std::vector<double> searchTimes, bareTimes;
  for (int run = 0; run < runs; ++run) {
    searchTimes.push_back(Time(window.Handle(), [&] {
      window.selectClick(select);
      RedrawWindow(window.Handle(), nullptr, nullptr, RDW_ALLCHILDREN | RDW_UPDATENOW);
    }));
    bareTimes.push_back(Time(bare.Handle(), [&] { bare.Rebuild(); }));
  }

  const double searchMedian = Median(searchTimes), bareMedian = Median(bareTimes);
  std::printf(
      "all-open search to repainted window, median of %d: deskfind %.1f ms, "
      "240 bare STATIC %.1f ms, ratio %.2f (target <= 1.3)\n",
      runs, searchMedian, bareMedian, searchMedian / bareMedian);
  std::printf("after the searches: %d components, %d windows, %d fonts\n", LiveObjects::components,
              LiveObjects::windows, LiveObjects::fonts);
  return 0;
}
