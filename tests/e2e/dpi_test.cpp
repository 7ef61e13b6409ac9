#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/main_menu_commands.h"
#include "selection/selection_menu_commands.h"
#include "tests/e2e/program.h"

namespace deskfind::e2e {
namespace {

using driver::ChildInfo;

constexpr int kHighDpi = 144;

int Scaled(int length) { return MulDiv(length, kHighDpi, 96); }
int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

// The program started at a screen DPI of the test's choosing. The prefix's setting comes back
// when the test ends, however it ends; programs still running are ended first.
class HighDpiTest : public ::testing::Test {
 protected:
  // Sets the DPI for programs started from now on and checks that a new process sees it.
  void SwitchTo(int dpi) {
    program_.reset();
    setting_.emplace(static_cast<DWORD>(dpi));
    ASSERT_TRUE(setting_->Applied()) << "cannot write the prefix's DPI setting";
    ASSERT_EQ(driver::NewProcessScreenDpi(driver::ScreenDpiExe()), dpi)
        << "a new process does not see the DPI setting";
  }

  void Launch() {
    program_.emplace(driver::Process::Launch(driver::ProgramUnderTest()));
    mainWindow_ = driver::WaitForTopWindow(program_->Pid(), kFormClass, kMainCaption);
    ASSERT_NE(mainWindow_, nullptr) << "the main window did not appear";
  }

  DWORD Pid() const { return program_->Pid(); }

  RECT SiteLinkRect() const {
    HWND link = driver::FindChild(mainWindow_, L"http://www.stolver.ru");
    EXPECT_NE(link, nullptr);
    return driver::RectInParent(link);
  }

  // Declared first: destroyed last, after the program has ended.
  std::optional<driver::ScreenDpiSetting> setting_;
  std::optional<driver::Process> program_;
  HWND mainWindow_ = nullptr;
};

TEST_F(HighDpiTest, MainWindowPositionsSizesAndFontsGrowByHalf) {
  // The same labels at 96 DPI first, in this prefix and with its fonts.
  SwitchTo(96);
  Launch();
  const RECT linkAt96 = SiteLinkRect();
  const RECT phoneAt96 = driver::Children(mainWindow_)[2].rect;
  ASSERT_GT(Height(linkAt96), 0);

  SwitchTo(kHighDpi);
  Launch();
  // The layer sets the outer size itself, so only rounding can differ: 769 × 1.5 falls on a
  // half pixel, and a layer may round the client area and the frame each on its own (±2).
  const RECT frame = driver::WindowRect(mainWindow_);
  EXPECT_EQ(frame.left, 288);
  EXPECT_EQ(frame.top, 161);
  EXPECT_NEAR(Width(frame), 769 * 3 / 2, 2);
  EXPECT_NEAR(Height(frame), 506 * 3 / 2, 2);

  struct Expected {
    int left, top, width, height;  // at 96 DPI; width 0: a label, sized by its text
  };
  const std::vector<Expected> expected{
      {8, 8, 121, 121},    {160, 104, 0, 0},    {328, 106, 0, 0},   {144, 24, 233, 25},
      {24, 160, 110, 110}, {24, 280, 110, 110}, {144, 64, 233, 25}, {336, 8, 185, 25},
  };
  const std::vector<ChildInfo> children = driver::Children(mainWindow_);
  ASSERT_EQ(children.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i) + " " + driver::Utf8(children[i].text));
    EXPECT_EQ(children[i].rect.left, Scaled(expected[i].left));
    EXPECT_EQ(children[i].rect.top, Scaled(expected[i].top));
    if (expected[i].width > 0) {
      EXPECT_EQ(Width(children[i].rect), Scaled(expected[i].width));
      EXPECT_EQ(Height(children[i].rect), Scaled(expected[i].height));
    }
  }
  // The start-page button, rounded as MulDiv rounds: 349.5 × 37.5 becomes 350 × 38.
  EXPECT_EQ(children[3].rect.left, 216);
  EXPECT_EQ(children[3].rect.top, 36);
  EXPECT_EQ(Width(children[3].rect), 350);
  EXPECT_EQ(Height(children[3].rect), 38);

  // Labels are sized by their text: a larger font makes them taller.
  EXPECT_GE(Height(SiteLinkRect()) * 10, Height(linkAt96) * 14)
      << "site link " << Height(SiteLinkRect()) << " px high, " << Height(linkAt96) << " at 96";
  EXPECT_GE(Height(children[2].rect) * 10, Height(phoneAt96) * 14)
      << "phone label " << Height(children[2].rect) << " px high, " << Height(phoneAt96)
      << " at 96";
}

TEST_F(HighDpiTest, SelectionRowsAndAboutBoxGrowByHalf) {
  SwitchTo(kHighDpi);
  Launch();
  ASSERT_TRUE(driver::PostMenuCommand(mainWindow_, main_menu::kDeskSelection));
  HWND selection = driver::WaitForTopWindow(Pid(), kFormClass, kSelectionCaption);
  ASSERT_NE(selection, nullptr);

  HWND find = driver::FindChild(selection, L"найти столы с такими параметрами");
  ASSERT_NE(find, nullptr);
  const RECT findRect = driver::RectInParent(find);
  EXPECT_EQ(findRect.left, Scaled(32));
  EXPECT_EQ(findRect.top, Scaled(128));
  for (size_t list : {8u, 9u}) {
    const RECT listRect = driver::Children(selection)[list].rect;
    EXPECT_EQ(Width(listRect), Scaled(81));
    EXPECT_EQ(Height(listRect), Scaled(21));
  }
  DWORD_PTR ignored = 0;
  ASSERT_TRUE(SendMessageTimeoutW(find, BM_CLICK, 0, 0, SMTO_BLOCK, 10000, &ignored));

  // Thirteen windows before the search, then name, dimensions and price per desk.
  const std::vector<ChildInfo> children = driver::Children(selection);
  ASSERT_EQ(children.size(), 13u + 3 * 80);
  for (int k = 1; k <= 80; ++k) {
    SCOPED_TRACE("row " + std::to_string(k));
    const size_t first = 13 + 3 * static_cast<size_t>(k - 1);
    const int top = MulDiv(50 + 16 * k, kHighDpi, 96);
    EXPECT_EQ(children[first].rect.top, top);
    EXPECT_EQ(children[first + 1].rect.top, top);
    EXPECT_EQ(children[first + 2].rect.top, top);
    EXPECT_EQ(children[first].rect.left, Scaled(470));
    EXPECT_EQ(children[first + 1].rect.left, Scaled(700));
    EXPECT_EQ(children[first + 2].rect.left, Scaled(850));
  }

  ASSERT_TRUE(driver::PostMenuCommand(selection, selection_menu::kAbout));
  HWND about = driver::WaitForTopWindow(Pid(), kFormClass, L"About");
  ASSERT_NE(about, nullptr);
  const RECT client = driver::ClientRect(about);
  // 311 × 313 at 96 DPI: 466.5 × 469.5, rounded up by MulDiv.
  EXPECT_NEAR(client.right, 467, 1);
  EXPECT_NEAR(client.bottom, 470, 1);
  driver::PressEnter(about);
  EXPECT_TRUE(driver::WaitForDestroyed(about));
}

class DpiChangeTest : public HighDpiTest, public ::testing::WithParamInterface<Window> {
 protected:
  HWND Open(Window which) { return OpenWindow(program_->Pid(), mainWindow_, which); }
};

// A window moved to a monitor of another DPI lays itself out as if the program had started
// there: every control at the same place and size, every text in the same font, the window
// in the rectangle the system suggests.
TEST_P(DpiChangeTest, AWindowMovedToA144DpiMonitorLooksAsIfStartedThere) {
  SwitchTo(kHighDpi);
  Launch();
  HWND window = Open(GetParam());
  ASSERT_NE(window, nullptr);
  const RECT frameAt144 = driver::WindowRect(window);
  const std::vector<ChildInfo> startedAt144 = driver::Children(window);

  SwitchTo(96);
  Launch();
  window = Open(GetParam());
  ASSERT_NE(window, nullptr);
  const RECT frameAt96 = driver::WindowRect(window);
  // The size the window has at 144 DPI, within the screen (the selection window, 1440 pixels
  // wide at 144 DPI, is held to the screen's width).
  const RECT suggested{frameAt96.left, frameAt96.top,
                       frameAt96.left + std::min(Width(frameAt144), 1000),
                       frameAt96.top + std::min(Height(frameAt144), 900)};
  ASSERT_TRUE(driver::SendDpiChanged(window, kHighDpi, suggested));

  const RECT frame = driver::WindowRect(window);
  EXPECT_TRUE(EqualRect(&frame, &suggested))
      << frame.left << "," << frame.top << " " << Width(frame) << "x" << Height(frame) << " for "
      << suggested.left << "," << suggested.top << " " << Width(suggested) << "x"
      << Height(suggested);
  const std::vector<ChildInfo> moved = driver::Children(window);
  ASSERT_EQ(moved.size(), startedAt144.size());
  for (size_t i = 0; i < moved.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i) + " " + driver::Utf8(moved[i].text));
    EXPECT_EQ(moved[i].rect.left, startedAt144[i].rect.left);
    EXPECT_EQ(moved[i].rect.top, startedAt144[i].rect.top);
    EXPECT_EQ(Width(moved[i].rect), Width(startedAt144[i].rect));
    EXPECT_EQ(Height(moved[i].rect), Height(startedAt144[i].rect));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, DpiChangeTest,
                         ::testing::Values(Window::kMain, Window::kSelectionWithEveryDesk,
                                           Window::kAbout),
                         WindowName);

}  // namespace
}  // namespace deskfind::e2e
