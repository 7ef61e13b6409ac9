#include <functional>
#include <string>
#include <vector>

#include "catalogue/desk_catalogue.h"
#include "catalogue/result_texts.h"
#include "tests/e2e/program.h"

namespace deskfind::e2e {
namespace {

const std::wstring kSite = L"http://www.stolver.ru";
const std::wstring kFind = L"найти столы с такими параметрами";

class KeyboardTest : public ProgramTest {
 protected:
  // Presses Tab and waits until the focus has moved on; returns the focused control's text.
  static std::wstring Tab(HWND window) {
    HWND before = driver::FocusedWindow(window);
    driver::PressKey(window, VK_TAB);
    driver::WaitUntil([&] { return driver::FocusedWindow(window) != before; },
                      driver::Milliseconds{3000});
    return driver::WindowText(driver::FocusedWindow(window));
  }
};

struct LinkCase {
  const char* label;
  Window window;
  // Texts of the controls Tab visits, from the first one: the link is the last.
  std::vector<std::wstring> tabOrder;
  bool productLink;  // the link opens its desk's page, not the site
};

void PrintTo(const LinkCase& link, std::ostream* out) { *out << link.label; }

class KeyboardLinkTest : public KeyboardTest, public ::testing::WithParamInterface<LinkCase> {};

// Tab reaches the link after the window's other controls; the link then shows a focus
// rectangle, and Enter and Space each open it as a click does.
TEST_P(KeyboardLinkTest, TabReachesTheLinkAndEnterOrSpaceOpensIt) {
  const LinkCase& link = GetParam();
  HWND window = Open(link.window);
  ASSERT_NE(window, nullptr);
  const auto& order = link.tabOrder;

  std::wstring focused;
  // The whole cycle at most: a window with result rows has a link per row.
  for (int press = 0; press < 100 && focused != order.front(); ++press) {
    focused = Tab(window);
  }
  ASSERT_EQ(focused, order.front()) << "Tab never reaches the first control";
  for (size_t i = 1; i + 1 < order.size(); ++i) ASSERT_EQ(Tab(window), order[i]);

  // The link as it looks without the focus, then with it.
  HWND expectedLink = nullptr;
  for (const auto& child : driver::Children(window)) {
    if (child.text == order.back() && child.visible) {
      expectedLink = child.hwnd;
      break;
    }
  }
  ASSERT_NE(expectedLink, nullptr);
  // Tabbing through every result row has scrolled the rows; Home brings the top back.
  driver::PressKey(window, VK_HOME);
  ASSERT_TRUE(driver::WaitUntil([&] { return driver::RectInParent(expectedLink).top >= 0; }));
  Sleep(200);  // the scrolled content repaints
  const RECT linkRect = driver::WindowRect(expectedLink);
  const auto unfocused = driver::ScreenImage::Capture(linkRect);
  ASSERT_EQ(Tab(window), order.back());
  ASSERT_EQ(driver::FocusedWindow(window), expectedLink);
  EXPECT_TRUE(driver::WaitUntil([&] {
    const auto focusedImage = driver::ScreenImage::Capture(linkRect);
    for (int y = 0; y < focusedImage.Height(); ++y) {
      for (int x = 0; x < focusedImage.Width(); ++x) {
        if (focusedImage.At(x, y) != unfocused.At(x, y)) return true;
      }
    }
    return false;
  })) << "no focus rectangle on the link";

  std::string address = "http://www.stolver.ru";
  if (link.productLink) {
    DeskCatalogue catalogue;
    catalogue.Fill();
    for (int n = 1; n <= DeskCatalogue::kSize; ++n) {
      if (driver::Utf16(NameText(catalogue.Entry(n))) == order.back()) {
        address += "/srch_art.php?art=" + std::to_string(catalogue.Entry(n).article);
      }
    }
  }
  driver::ShellOpenRecorder recorder(driver::RecordOpenExe());
  ASSERT_TRUE(recorder.Installed());
  driver::PressKey(window, VK_RETURN);
  EXPECT_EQ(recorder.WaitForOpened(1), std::vector<std::string>{address});
  driver::PressKey(window, VK_SPACE);
  EXPECT_EQ(recorder.WaitForOpened(2), (std::vector<std::string>{address, address}));
  EXPECT_TRUE(IsWindow(window)) << "the key also closed the window";
}

std::string CaseName(const ::testing::TestParamInfo<LinkCase>& info) { return info.param.label; }

INSTANTIATE_TEST_SUITE_P(
    EveryLink, KeyboardLinkTest,
    ::testing::Values(LinkCase{"MainSiteLink",
                               Window::kMain,
                               {L"Сделать страницу www.stolver.ru стартовой",
                                L"Подбор компьютерного или письменного стола", L"Подбор комода",
                                L"Закачать новую версию программы", kSite},
                               false},
                      LinkCase{"AboutSiteLink", Window::kAbout, {L"OK", kSite}, false},
                      LinkCase{"SelectionSiteLink",
                               Window::kSelectionWithEveryDesk,
                               {L"не важно", L"не важно", kFind, kSite},
                               false}),
    CaseName);

// The product links follow the site link in the tab order, row by row.
TEST_F(KeyboardTest, ProductLinksFollowTheSiteLinkAndOpenWithEnter) {
  HWND window = Open(Window::kSelectionWithEveryDesk);
  ASSERT_NE(window, nullptr);
  const auto children = driver::Children(window);
  ASSERT_GT(children.size(), 16u);
  const std::wstring firstRow = children[13].text;
  const std::wstring secondRow = children[16].text;

  std::wstring focused;
  for (int press = 0; press < 10 && focused != kSite; ++press) focused = Tab(window);
  ASSERT_EQ(focused, kSite);
  ASSERT_EQ(Tab(window), firstRow);
  ASSERT_EQ(Tab(window), secondRow);

  DeskCatalogue catalogue;
  catalogue.Fill();
  std::string address;
  for (int n = 1; n <= DeskCatalogue::kSize; ++n) {
    if (driver::Utf16(NameText(catalogue.Entry(n))) == secondRow) {
      address =
          "http://www.stolver.ru/srch_art.php?art=" + std::to_string(catalogue.Entry(n).article);
    }
  }
  driver::ShellOpenRecorder recorder(driver::RecordOpenExe());
  ASSERT_TRUE(recorder.Installed());
  driver::PressKey(window, VK_RETURN);
  EXPECT_EQ(recorder.WaitForOpened(1), std::vector<std::string>{address});
}

// Enter presses the button Tab has moved to, not the window's first one.
TEST_F(KeyboardTest, EnterPressesTheButtonTabMovedTo) {
  std::wstring focused;
  for (int press = 0; press < 10 && focused != L"Подбор комода"; ++press) {
    focused = Tab(MainWindow());
  }
  ASSERT_EQ(focused, L"Подбор комода");
  driver::PressKey(MainWindow(), VK_RETURN);
  const auto box = driver::WaitForMessageBox(Pid());
  ASSERT_TRUE(box.has_value()) << "Enter did not press the focused button";
  EXPECT_EQ(box->text, L"Данный раздел находится в разработке!");
  EXPECT_TRUE(driver::AnswerMessageBox(*box, IDOK));
}

// Page Down, Page Up, the arrows, End and Home scroll the result rows as the scroll bar does.
TEST_F(KeyboardTest, ScrollingKeysMoveTheResultRows) {
  HWND window = Open(Window::kSelectionWithEveryDesk);
  ASSERT_NE(window, nullptr);
  HWND firstRow = driver::Children(window).at(13).hwnd;
  const auto rowTop = [&] { return driver::RectInParent(firstRow).top; };
  ASSERT_EQ(rowTop(), 66);
  const int page = driver::ClientRect(window).bottom;

  const auto pressAndSee = [&](UINT key, const std::function<bool(int)>& where) {
    driver::PressKey(window, key);
    return driver::WaitUntil([&] { return where(rowTop()); }, driver::Milliseconds{3000});
  };
  EXPECT_TRUE(pressAndSee(VK_DOWN, [](int top) { return top == 50; })) << rowTop();
  EXPECT_TRUE(pressAndSee(VK_UP, [](int top) { return top == 66; })) << rowTop();
  EXPECT_TRUE(pressAndSee(VK_NEXT, [&](int top) { return top == 66 - page; })) << rowTop();
  EXPECT_TRUE(pressAndSee(VK_PRIOR, [](int top) { return top == 66; })) << rowTop();
  // The last row ends up inside the window.
  HWND lastRow = driver::Children(window).back().hwnd;
  EXPECT_TRUE(pressAndSee(VK_END, [&](int) {
    return driver::RectInParent(lastRow).bottom <= page && rowTop() < 66;
  })) << rowTop();
  EXPECT_TRUE(pressAndSee(VK_HOME, [](int top) { return top == 66; })) << rowTop();
}

// Escape closes the about box and the selection window, as their close boxes do.
class EscapeTest : public KeyboardTest, public ::testing::WithParamInterface<Window> {};

TEST_P(EscapeTest, EscapeClosesTheWindow) {
  HWND window = Open(GetParam());
  ASSERT_NE(window, nullptr);
  driver::PressEscape(window);
  EXPECT_TRUE(driver::WaitForDestroyed(window));
  EXPECT_TRUE(driver::WaitUntil([&] { return driver::IsInteractive(MainWindow()); }));
  EXPECT_TRUE(Program().IsRunning());
}

INSTANTIATE_TEST_SUITE_P(ModalWindows, EscapeTest,
                         ::testing::Values(Window::kAbout, Window::kSelectionWithEveryDesk),
                         WindowName);

}  // namespace
}  // namespace deskfind::e2e
