// Search speed: an all-open search after an earlier one (240 labels destroyed, 240 made) up
// to the repainted window, against 240 bare STATIC windows destroyed and made in a plain
// window. Prints medians and their ratio.
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

std::vector<double> Time(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    Pump();
    const auto start = Clock::now();
    work();
    GdiFlush();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return times;
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The yardstick: what any program pays for 240 text windows.
class BareStatics {
 public:
  explicit BareStatics(HINSTANCE instance) {
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
  void Rebuild() {
    for (HWND label : labels_) DestroyWindow(label);
    labels_.clear();
    for (int row = 0; row < 80; ++row) {
      const int top = 66 + 16 * row;
      for (int left : {470, 700, 850}) {
        labels_.push_back(CreateWindowExW(0, L"STATIC", L"Стол компьютерный СК-101",
                                          WS_CHILD | WS_VISIBLE, left, top, 150, 13, window_,
                                          nullptr, instance_, nullptr));
      }
    }
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

 private:
  HWND window_;
  HINSTANCE instance_;
  std::vector<HWND> labels_;
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  Application application(instance, 0);

  BareStatics bare(instance);
  bare.Rebuild();
  const std::vector<double> bareTimes = Time(runs, [&] { bare.Rebuild(); });

  Tpodbor_stola window(application);
  podbor_stola = &window;
  window.Show();
  window.FormActivate();
  Component& select = *window.FindComponent("select");
  window.selectClick(select);
  const std::vector<double> searchTimes = Time(runs, [&] {
    window.selectClick(select);
    RedrawWindow(window.Handle(), nullptr, nullptr, RDW_ALLCHILDREN | RDW_UPDATENOW);
  });

  const double searchMedian = Median(searchTimes), bareMedian = Median(bareTimes);
  std::printf(
      "all-open search to repainted window, median of %d: deskfind %.1f ms, "
      "240 bare STATIC %.1f ms, ratio %.2f (target <= 1.3)\n",
      runs, searchMedian, bareMedian, searchMedian / bareMedian);
  std::printf("after the searches: %d components, %d windows, %d fonts\n", LiveObjects::components,
              LiveObjects::windows, LiveObjects::fonts);
  return 0;
}
