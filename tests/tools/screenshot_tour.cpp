#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <exception>
#include <string>
#include <utility>

#include "app/main_menu_commands.h"
#include "tests/driver/driver.h"

// Shows the program's three windows one after the other for scripts/screenshots.sh, which
// takes the pictures from outside Wine. Started on Wine's virtual desktop as
//   screenshot_tour.exe PROGRAM FOLDER          (unix or Windows paths)
// it starts PROGRAM and, for each window, writes FOLDER\NAME.rect holding the window's screen
// rectangle as ImageMagick's WxH+X+Y, then waits for FOLDER\NAME.taken before going on.
// Trouble is written to FOLDER\tour.log; the exit code is 0 only when every window was shown.

namespace {

using namespace deskfind;
using namespace std::chrono_literals;

const std::wstring kFormClass = L"DeskfindForm";
const std::wstring kMainCaption = L"Подбор мебели в магазине Столвер";
const std::wstring kSelectionCaption = L"Подбор компьютерного стола";
const std::wstring kAboutCaption = L"About";
const std::wstring kSearchButton = L"найти столы с такими параметрами";
constexpr auto kScreenshotTimeout = 60s;
// Painting reaches the screen a moment after the window answers.
constexpr DWORD kSettleMilliseconds = 800;

bool WriteFileText(const std::wstring& path, const std::string& text) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  return ok;
}

class Tour {
 public:
  explicit Tour(std::wstring folder) : folder_(std::move(folder)) {
    DeleteFileW(Path(L"tour.log").c_str());
  }

  // Lets the window finish painting, hands its rectangle to the script and waits until the
  // picture is taken.
  bool Show(HWND window, const std::wstring& name) {
    if (!window) return Fail("no window for " + driver::Utf8(name));
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(kSettleMilliseconds);
    const RECT rect = driver::WindowRect(window);
    const std::string geometry = std::to_string(rect.right - rect.left) + "x" +
                                 std::to_string(rect.bottom - rect.top) + "+" +
                                 std::to_string(rect.left) + "+" + std::to_string(rect.top) + "\n";
    const std::wstring taken = Path(name + L".taken");
    DeleteFileW(taken.c_str());
    // Written under another name first: the script must never read half a rectangle.
    const std::wstring partial = Path(name + L".rect.part");
    if (!WriteFileText(partial, geometry) ||
        !MoveFileExW(partial.c_str(), Path(name + L".rect").c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return Fail("cannot write the rectangle of " + driver::Utf8(name));
    }
    if (!driver::WaitUntil(
            [&] { return GetFileAttributesW(taken.c_str()) != INVALID_FILE_ATTRIBUTES; },
            kScreenshotTimeout)) {
      return Fail("no screenshot of " + driver::Utf8(name) + " was taken");
    }
    return true;
  }

  bool Fail(const std::string& message) {
    log_ += message + "\n";
    WriteFileText(Path(L"tour.log"), log_);
    return false;
  }

 private:
  std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }

  std::wstring folder_;
  std::string log_;
};

std::wstring AsWindowsPath(const std::wstring& path) {
  return !path.empty() && path[0] == L'/' ? driver::WindowsPath(driver::Utf8(path)) : path;
}

bool RunTour(const std::wstring& program, Tour& tour) {
  driver::Process process = driver::Process::Launch(program);
  const DWORD pid = process.Pid();
  HWND main = driver::WaitForTopWindow(pid, kFormClass, kMainCaption);
  if (!tour.Show(main, L"main-window")) return false;

  if (!driver::PostMenuCommand(main, main_menu::kAbout)) return tour.Fail("the About command");
  HWND about = driver::WaitForTopWindow(pid, kFormClass, kAboutCaption);
  if (!tour.Show(about, L"about-box")) return false;
  driver::PressEnter(about);
  if (!driver::WaitForDestroyed(about) ||
      !driver::WaitUntil([&] { return driver::IsInteractive(main); })) {
    return tour.Fail("the about box did not close");
  }

  if (!driver::PostMenuCommand(main, main_menu::kDeskSelection)) {
    return tour.Fail("the desk selection command");
  }
  HWND selection = driver::WaitForTopWindow(pid, kFormClass, kSelectionCaption);
  if (!selection) return tour.Fail("the selection window did not open");
  // Both widths left open: every desk is listed, with the scroll bar.
  HWND search = driver::WaitForChild(selection, kSearchButton);
  DWORD_PTR ignored = 0;
  if (!search || !SendMessageTimeoutW(search, BM_CLICK, 0, 0, SMTO_BLOCK, 10000, &ignored)) {
    return tour.Fail("the search did not run");
  }
  if (!(GetWindowLongW(selection, GWL_STYLE) & WS_VSCROLL)) {
    return tour.Fail("the all-open search left no scroll bar");
  }
  // The program ends with `process`.
  return tour.Show(selection, L"selection-window");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count != 3) return 2;
  const std::wstring program = AsWindowsPath(arguments[1]);
  Tour tour(AsWindowsPath(arguments[2]));
  LocalFree(arguments);
  try {
    return RunTour(program, tour) ? 0 : 1;
  } catch (const std::exception& error) {
    tour.Fail(error.what());
    return 1;
  }
}
