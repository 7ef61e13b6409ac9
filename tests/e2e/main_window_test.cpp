#include <string>

#include "app/main_menu_commands.h"
#include "tests/e2e/program.h"

namespace deskfind::e2e {
namespace {

using driver::ChildInfo;

struct ExpectedControl {
  std::wstring className;
  std::wstring text;
  int left, top, width, height;  // width 0: a label, sized by its text
  bool visible;
};

class MainWindowTest : public ProgramTest {};

TEST_F(MainWindowTest, HasItsCaptionSizePlaceAndControls) {
  EXPECT_EQ(driver::WindowText(MainWindow()), kMainCaption);
  const RECT frame = driver::WindowRect(MainWindow());
  EXPECT_EQ(frame.left, 192);
  EXPECT_EQ(frame.top, 107);
  EXPECT_EQ(frame.right - frame.left, 769);
  EXPECT_EQ(frame.bottom - frame.top, 506);

  const std::vector<ExpectedControl> expected{
      {L"Static", L"", 8, 8, 121, 121, true},
      {L"Static", L"http://www.stolver.ru", 160, 104, 0, 0, true},
      {L"Static", L"(495) 784-21-56 с 10-00 до 18-00 по рабочим дням", 328, 106, 0, 0, true},
      {L"Button", L"Сделать страницу www.stolver.ru стартовой", 144, 24, 233, 25, true},
      {L"Button", L"Подбор компьютерного или письменного стола", 24, 160, 110, 110, true},
      {L"Button", L"Подбор комода", 24, 280, 110, 110, true},
      {L"Button", L"Закачать новую версию программы", 144, 64, 233, 25, true},
      {L"Edit", L"Memo1", 336, 8, 185, 25, false},
  };
  const std::vector<ChildInfo> children = driver::Children(MainWindow());
  ASSERT_EQ(children.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i) + " " + driver::Utf8(expected[i].text));
    EXPECT_EQ(lstrcmpiW(children[i].className.c_str(), expected[i].className.c_str()), 0);
    EXPECT_EQ(children[i].text, expected[i].text);
    EXPECT_EQ(children[i].rect.left, expected[i].left);
    EXPECT_EQ(children[i].rect.top, expected[i].top);
    EXPECT_EQ(children[i].visible, expected[i].visible);
    if (expected[i].width > 0) {
      EXPECT_EQ(children[i].rect.right - children[i].rect.left, expected[i].width);
      EXPECT_EQ(children[i].rect.bottom - children[i].rect.top, expected[i].height);
    } else {
      EXPECT_GT(children[i].rect.right - children[i].rect.left, 0);
    }
  }
  // Tab order: the start-page button, the two pictures, then the update button.
  EXPECT_TRUE(children[3].style & WS_TABSTOP);
  EXPECT_TRUE(children[6].style & WS_TABSTOP);

  // A screen reader reads each shown control by its text; a picture button by its hint.
  for (size_t i = 1; i < expected.size(); ++i) {
    if (!expected[i].visible) continue;
    SCOPED_TRACE("control " + std::to_string(i) + " " + driver::Utf8(expected[i].text));
    EXPECT_EQ(driver::AccessibleName(children[i].hwnd), expected[i].text);
  }
}

TEST_F(MainWindowTest, ChestOfDrawersShowsItsNoticeEveryTimeAndOpensNoWindow) {
  const size_t windowsBefore = driver::TopWindowsOf(Pid()).size();
  HWND chestButton = driver::Children(MainWindow())[5].hwnd;
  for (int attempt = 0; attempt < 4; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    if (attempt % 2 == 0) {
      ASSERT_TRUE(driver::ClickButton(chestButton));
    } else {
      ASSERT_TRUE(driver::PostMenuCommand(MainWindow(), main_menu::kChestOfDrawers));
    }
    const auto box = driver::WaitForMessageBox(Pid());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, L"Данный раздел находится в разработке!");
    EXPECT_EQ(box->caption, L"Зайдите через недельку :-))");
    EXPECT_EQ(driver::IdentifyIcon(*box), driver::MessageBoxIcon::kWarning);
    // The program's own windows take no input while the box is up.
    EXPECT_FALSE(driver::IsInteractive(MainWindow()));
    ASSERT_TRUE(driver::AnswerMessageBox(*box, IDOK));
    EXPECT_TRUE(driver::WaitUntil([&] { return driver::IsInteractive(MainWindow()); }));
    EXPECT_EQ(driver::TopWindowsOf(Pid()).size(), windowsBefore);
  }
}

TEST_F(MainWindowTest, AboutBoxShowsTheVersionAndClosesWithEnter) {
  HWND about = OpenByMenu(MainWindow(), main_menu::kAbout, L"About");
  ASSERT_NE(about, nullptr);
  EXPECT_NE(driver::FindChild(about, L"Version 1.0"), nullptr);
  EXPECT_NE(driver::FindChild(about, L"OK"), nullptr);
  EXPECT_NE(driver::FindChild(about, L"http://www.stolver.ru"), nullptr);
  RECT client = driver::ClientRect(about);
  EXPECT_EQ(client.right, 311);
  EXPECT_EQ(client.bottom, 313);
  EXPECT_FALSE(driver::IsInteractive(MainWindow()));

  driver::PressEnter(about);
  EXPECT_TRUE(driver::WaitForDestroyed(about));
  EXPECT_TRUE(driver::WaitUntil([&] { return driver::IsInteractive(MainWindow()); }));
}

TEST_F(MainWindowTest, SiteLinkOpensTheSiteRootThroughTheShell) {
  driver::ShellOpenRecorder recorder(driver::RecordOpenExe());
  ASSERT_TRUE(recorder.Installed());
  ASSERT_TRUE(driver::ClickStatic(Child(MainWindow(), L"http://www.stolver.ru")));
  EXPECT_EQ(recorder.WaitForOpened(1), std::vector<std::string>{"http://www.stolver.ru"});
}

TEST_F(MainWindowTest, ExitCommandEndsTheProgram) {
  ASSERT_TRUE(driver::PostMenuCommand(MainWindow(), main_menu::kExit));
  EXPECT_TRUE(Program().WaitForExit());
}

TEST_F(MainWindowTest, CloseBoxEndsTheProgram) {
  PostMessageW(MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(Program().WaitForExit());
}

}  // namespace
}  // namespace deskfind::e2e
