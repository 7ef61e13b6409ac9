// Start-up time: from launching a program to its main window being visible and answering for
// its title, which its thread does once the first paint is done, against a minimal one-window
// program launched the same way and, when given, against a hand-written program that makes the
// same windows as the program's main window. Prints medians and their ratios.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/driver/driver.h"

namespace {

using namespace deskfind;
using Clock = std::chrono::steady_clock;

double MillisecondsToWindow(const std::wstring& program, const std::wstring& title) {
  const auto start = Clock::now();
  driver::Process process = driver::Process::Launch(program);
  HWND window = driver::WaitForTopWindow(process.Pid(), {}, title, std::chrono::seconds(30));
  const auto shown = Clock::now();
  if (!window) {
    std::fprintf(stderr, "no window from %ls\n", program.c_str());
    return -1;
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  process.WaitForExit(std::chrono::seconds(10));
  return std::chrono::duration<double, std::milli>(shown - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: startup_bench PROGRAM MINIMAL_PROGRAM [RUNS [HAND_WRITTEN_PROGRAM]]\n");
    return 2;
  }
  const std::wstring program = driver::WindowsPath(argv[1]);
  const std::wstring minimal = driver::WindowsPath(argv[2]);
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 11;
  const std::wstring handWritten = argc > 4 ? driver::WindowsPath(argv[4]) : std::wstring();
  // The hand-written program's window has the program's title: each is found by its process.
  const std::wstring title = L"Подбор мебели в магазине Столвер";
  std::vector<double> programTimes, minimalTimes, handWrittenTimes;
  // Alternate the programs so that drifts of the machine hit all alike.
  for (int run = 0; run < runs; ++run) {
    programTimes.push_back(MillisecondsToWindow(program, title));
    minimalTimes.push_back(MillisecondsToWindow(minimal, L"Minimal window"));
    if (!handWritten.empty()) handWrittenTimes.push_back(MillisecondsToWindow(handWritten, title));
  }
  const double programMedian = Median(programTimes), minimalMedian = Median(minimalTimes);
  std::printf(
      "start-up to main window, median of %d: deskfind %.1f ms, minimal %.1f ms, "
      "ratio %.2f (target <= 1.3)\n",
      runs, programMedian, minimalMedian, programMedian / minimalMedian);
  if (!handWritten.empty()) {
    const double handWrittenMedian = Median(handWrittenTimes);
    std::printf(
        "start-up to main window, median of %d: deskfind %.1f ms, same windows by hand %.1f ms, "
        "ratio %.2f (target <= 1.05)\n",
        runs, programMedian, handWrittenMedian, programMedian / handWrittenMedian);
  }
  return 0;
}
