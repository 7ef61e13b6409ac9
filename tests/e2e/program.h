#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/driver/driver.h"

namespace deskfind::e2e {

inline const std::wstring kMainCaption = L"Подбор мебели в магазине Столвер";
inline const std::wstring kSelectionCaption = L"Подбор компьютерного стола";
inline const std::wstring kFormClass = L"DeskfindForm";

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
