#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/main_menu_commands.h"
#include "tests/driver/driver.h"

namespace deskfind::e2e {

inline const std::wstring kMainCaption = L"Подбор мебели в магазине Столвер";
inline const std::wstring kSelectionCaption = L"Подбор компьютерного стола";
inline const std::wstring kFormClass = L"DeskfindForm";

// The program's three windows, as the tests open them.
enum class Window { kMain, kAbout, kSelectionWithEveryDesk };

inline std::string WindowName(const ::testing::TestParamInfo<Window>& info) {
  const char* const names[] = {"Main", "About", "SelectionWithEveryDesk"};
  return names[static_cast<int>(info.param)];
}

// Opens a window of the program whose main window is given: the about box through the menu,
// the selection window through the menu and then an all-open search.
inline HWND OpenWindow(DWORD pid, HWND mainWindow, Window which) {
  if (which == Window::kMain) return mainWindow;
  const bool about = which == Window::kAbout;
  EXPECT_TRUE(
      driver::PostMenuCommand(mainWindow, about ? main_menu::kAbout : main_menu::kDeskSelection));
  HWND window = driver::WaitForTopWindow(pid, kFormClass, about ? L"About" : kSelectionCaption);
  if (about || !window) return window;
  HWND find = driver::FindChild(window, L"найти столы с такими параметрами");
  DWORD_PTR ignored = 0;
  if (find) SendMessageTimeoutW(find, BM_CLICK, 0, 0, SMTO_BLOCK, 10000, &ignored);
  return window;
}

// The real program, started for one test and ended with it.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_.emplace(driver::Process::Launch(programPath_));
    mainWindow_ = driver::WaitForTopWindow(Pid(), kFormClass, kMainCaption);
    ASSERT_NE(mainWindow_, nullptr) << "the main window did not appear";
  }

  DWORD Pid() const { return program_->Pid(); }
  driver::Process& Program() { return *program_; }
  HWND MainWindow() const { return mainWindow_; }

  // The child of `parent` whose text is `text`; fails the test when there is none.
  static HWND Child(HWND parent, const std::wstring& text) {
    HWND child = driver::FindChild(parent, text);
    EXPECT_NE(child, nullptr) << "no control with text " << driver::Utf8(text);
    return child;
  }

  HWND Open(Window which) { return OpenWindow(Pid(), mainWindow_, which); }

  // Opens a top-level window of the program through a menu command and waits for it.
  HWND OpenByMenu(HWND window, unsigned short command, const std::wstring& caption) {
    EXPECT_TRUE(driver::PostMenuCommand(window, command));
    return driver::WaitForTopWindow(Pid(), kFormClass, caption);
  }

  std::wstring programPath_ = driver::ProgramUnderTest();  // a test may run a copy instead
  std::optional<driver::Process> program_;
  HWND mainWindow_ = nullptr;
};

}  // namespace deskfind::e2e
