#include <algorithm>
#include <string>
#include <vector>

#include "app/main_menu_commands.h"
#include "catalogue/desk_catalogue.h"
#include "catalogue/result_texts.h"
#include "selection/selection_menu_commands.h"
#include "tests/e2e/program.h"

namespace deskfind::e2e {
namespace {

using driver::ChildInfo;

// Child windows the selection window has before any search: eight labels, two lists and
// three buttons (the menu items are no windows).
constexpr size_t kDesignWindows = 13;

struct Row {
  ChildInfo name, dimensions, price;
};

class SelectionWindow : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    catalogue.Fill();
    window = OpenByMenu(MainWindow(), main_menu::kDeskSelection, kSelectionCaption);
    ASSERT_NE(window, nullptr);
  }

  HWND MinimumList() const { return driver::Children(window)[8].hwnd; }
  HWND MaximumList() const { return driver::Children(window)[9].hwnd; }

  // Chooses the widths (empty: leave that side open) and runs the search.
  void Search(const std::wstring& minimum, const std::wstring& maximum) {
    if (!minimum.empty()) {
      ASSERT_TRUE(driver::ChooseComboItem(MinimumList(), minimum));
    }
    if (!maximum.empty()) {
      ASSERT_TRUE(driver::ChooseComboItem(MaximumList(), maximum));
    }
    RunSearch();
  }

  void RunSearch() {
    HWND button = Child(window, L"найти столы с такими параметрами");
    ASSERT_TRUE(driver::IsInteractive(button));
    // Sent, not posted: the search has run when the call returns (it opens no modal box).
    DWORD_PTR ignored = 0;
    ASSERT_TRUE(SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_BLOCK, 10000, &ignored));
  }

  std::vector<ChildInfo> ResultLabels() const {
    const std::vector<ChildInfo> children = driver::Children(window);
    return {
        children.begin() + static_cast<std::ptrdiff_t>(std::min(kDesignWindows, children.size())),
        children.end()};
  }

  std::vector<Row> Rows() const {
    const std::vector<ChildInfo> labels = ResultLabels();
    std::vector<Row> rows;
    for (size_t i = 0; i + 2 < labels.size(); i += 3) {
      rows.push_back({labels[i], labels[i + 1], labels[i + 2]});
    }
    return rows;
  }

  // The catalogue numbers of the listed rows, told by their names.
  std::vector<int> ListedNumbers() const {
    std::vector<int> numbers;
    for (const Row& row : Rows()) {
      for (int n = 1; n <= DeskCatalogue::kSize; ++n) {
        if (driver::Utf16(NameText(catalogue.Entry(n))) == row.name.text) numbers.push_back(n);
      }
    }
    return numbers;
  }

  static int Count(const RECT& screenRect, COLORREF colour) {
    return driver::ScreenImage::Capture(screenRect).Count(colour);
  }

  DeskCatalogue catalogue;
  HWND window = nullptr;
};

TEST_F(SelectionWindow, OpensTheSameFromThePictureButtonAndEmptyEveryTime) {
  Search(L"", L"");
  ASSERT_EQ(Rows().size(), 80u);
  ASSERT_TRUE(driver::PostMenuCommand(window, selection_menu::kBackToMainWindow));
  ASSERT_TRUE(driver::WaitForDestroyed(window));

  ASSERT_TRUE(driver::ClickButton(driver::Children(MainWindow())[4].hwnd));
  window = driver::WaitForTopWindow(Pid(), kFormClass, kSelectionCaption);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(driver::Children(window).size(), kDesignWindows);
  EXPECT_EQ(driver::ComboSelection(MinimumList()), CB_ERR);
  EXPECT_EQ(driver::ComboSelection(MaximumList()), CB_ERR);
  const std::vector<std::wstring> widths{L"60",  L"70",  L"80",  L"90",  L"100", L"110",
                                         L"120", L"130", L"140", L"150", L"160"};
  EXPECT_EQ(driver::ComboItems(MinimumList()), widths);
  // Closed, the lists keep their design size whatever font the system substitutes.
  for (HWND list : {MinimumList(), MaximumList()}) {
    const RECT rect = driver::RectInParent(list);
    EXPECT_EQ(rect.right - rect.left, 81);
    EXPECT_EQ(rect.bottom - rect.top, 21);
  }
  EXPECT_FALSE(driver::IsInteractive(MainWindow()));
}

TEST_F(SelectionWindow, BothSidesOpenListEveryDeskWithItsTextsAndAScrollBar) {
  EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL);
  Search(L"", L"");
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 80u);
  for (int n = 1; n <= 80; ++n) {
    const Row& row = rows[static_cast<size_t>(n - 1)];
    const DeskRecord& desk = catalogue.Entry(n);
    SCOPED_TRACE("row " + std::to_string(n));
    const int top = 50 + 16 * n;
    EXPECT_EQ(row.name.text, driver::Utf16(NameText(desk)));
    EXPECT_EQ(row.dimensions.text, driver::Utf16(DimensionsText(desk)));
    EXPECT_EQ(row.price.text, driver::Utf16(PriceText(desk)));
    EXPECT_EQ(row.name.rect.left, 470);
    EXPECT_EQ(row.dimensions.rect.left, 700);
    EXPECT_EQ(row.price.rect.left, 850);
    EXPECT_EQ(row.name.rect.top, top);
    EXPECT_EQ(row.price.rect.top, top);
  }
  EXPECT_EQ(rows.back().name.rect.top, 1330);
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL);
}

TEST_F(SelectionWindow, FindsExactlyTheDesksWithinTheBounds) {
  Search(L"60", L"60");
  EXPECT_EQ(ListedNumbers(), std::vector<int>{26});
  Search(L"160", L"160");
  EXPECT_EQ(ListedNumbers(), std::vector<int>{66});
  Search(L"130", L"140");
  EXPECT_EQ(ListedNumbers(), (std::vector<int>{13, 14, 15, 16, 17, 18, 19, 20, 63, 65, 70, 76}));
  ASSERT_TRUE(driver::ClickButton(Child(window, L"не важно")));  // the minimum's
  ASSERT_TRUE(driver::ClickButton(driver::Children(window)[11].hwnd));
  Search(L"70", L"");
  EXPECT_EQ(Rows().size(), 77u);
  // Every search leaves exactly its own rows: 13 design-time windows and three per match.
  EXPECT_EQ(driver::Children(window).size(), kDesignWindows + 3 * 77);
}

TEST_F(SelectionWindow, NothingFoundShowsTheNoticeAndTheNextSearchRemovesIt) {
  Search(L"150", L"100");
  std::vector<ChildInfo> labels = ResultLabels();
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0].text,
            L"таких столов нет :-((\r\rИзмените параметры поиска и выполните поиск снова");
  EXPECT_EQ(labels[0].rect.left, 500);
  EXPECT_EQ(labels[0].rect.top, 50);

  RunSearch();  // the same search again: still one notice
  EXPECT_EQ(ResultLabels().size(), 1u);

  ASSERT_TRUE(driver::ChooseComboItem(MaximumList(), L"160"));
  RunSearch();
  labels = ResultLabels();
  EXPECT_EQ(ListedNumbers(), (std::vector<int>{56, 66, 73, 80}));
  EXPECT_EQ(labels.size(), 12u);
}

TEST_F(SelectionWindow, SameSearchTwiceLeavesOneSetOfRowsAndClearingChoicesWaitsForTheSearch) {
  Search(L"130", L"140");
  RunSearch();
  EXPECT_EQ(Rows().size(), 12u);
  EXPECT_EQ(driver::Children(window).size(), kDesignWindows + 36);

  ASSERT_TRUE(driver::ClickButton(driver::Children(window)[10].hwnd));
  ASSERT_TRUE(driver::ClickButton(driver::Children(window)[11].hwnd));
  EXPECT_EQ(driver::ComboSelection(MinimumList()), CB_ERR);
  EXPECT_EQ(driver::ComboSelection(MaximumList()), CB_ERR);
  EXPECT_EQ(Rows().size(), 12u);
  RunSearch();
  EXPECT_EQ(Rows().size(), 80u);
}

// A search removes only what searches made: every control of the window itself stays, the same
// window in the same place, however many searches ran before.
TEST_F(SelectionWindow, ASearchAfterASearchLeavesEveryFixedControlInPlace) {
  const std::vector<ChildInfo> fixed = driver::Children(window);
  ASSERT_EQ(fixed.size(), kDesignWindows);
  Search(L"", L"");
  Search(L"100", L"120");
  const std::vector<ChildInfo> after = driver::Children(window);
  for (const ChildInfo& control : fixed) {
    const auto same = [&](const ChildInfo& child) {
      // A list's text is its choice; every other control keeps its own.
      return child.hwnd == control.hwnd && child.className == control.className &&
             (child.text == control.text || control.className == L"ComboBox") &&
             EqualRect(&child.rect, &control.rect);
    };
    EXPECT_EQ(std::count_if(after.begin(), after.end(), same), 1) << driver::Utf8(control.text);
  }
}

TEST_F(SelectionWindow, ClickingANameOpensItsProductPageAndTurnsItPurple) {
  driver::ShellOpenRecorder recorder(driver::RecordOpenExe());
  ASSERT_TRUE(recorder.Installed());
  Search(L"60", L"60");
  std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  const std::string expected =
      "http://www.stolver.ru/srch_art.php?art=" + std::to_string(catalogue.Entry(26).article);
  const RECT nameRect = driver::WindowRect(rows[0].name.hwnd);
  EXPECT_GT(Count(nameRect, RGB(0, 0, 255)), 0);

  // Neither the dimensions nor the price are links.
  ASSERT_TRUE(driver::ClickStatic(rows[0].dimensions.hwnd));
  ASSERT_TRUE(driver::ClickStatic(rows[0].price.hwnd));
  ASSERT_TRUE(driver::ClickStatic(rows[0].name.hwnd));
  ASSERT_TRUE(driver::ClickStatic(rows[0].name.hwnd));
  EXPECT_EQ(recorder.WaitForOpened(2), (std::vector<std::string>{expected, expected}));
  EXPECT_TRUE(driver::WaitUntil([&] { return Count(nameRect, RGB(128, 0, 128)) > 0; }));
  EXPECT_EQ(Count(nameRect, RGB(0, 0, 255)), 0);

  // A new search makes a new, blue link.
  RunSearch();
  rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(driver::WaitUntil([&] { return Count(nameRect, RGB(0, 0, 255)) > 0; }));
  EXPECT_EQ(Count(nameRect, RGB(128, 0, 128)), 0);
  EXPECT_EQ(recorder.Opened().size(), 2u);
}

TEST_F(SelectionWindow, AboutBoxOverItLeavesChoicesAndRowsAsTheyWere) {
  Search(L"130", L"140");
  const std::vector<int> before = ListedNumbers();
  HWND about = OpenByMenu(window, selection_menu::kAbout, L"About");
  ASSERT_NE(about, nullptr);
  driver::PressEnter(about);
  ASSERT_TRUE(driver::WaitForDestroyed(about));
  EXPECT_TRUE(driver::WaitUntil([&] { return driver::IsInteractive(window); }));
  EXPECT_EQ(driver::ComboSelection(MinimumList()), 7);
  EXPECT_EQ(driver::ComboSelection(MaximumList()), 8);
  EXPECT_EQ(ListedNumbers(), before);
}

TEST_F(SelectionWindow, ReturnsToTheMainWindowAndIsGone) {
  ASSERT_TRUE(driver::PostMenuCommand(window, selection_menu::kBackToMainWindow));
  EXPECT_TRUE(driver::WaitForDestroyed(window));
  EXPECT_TRUE(driver::WaitUntil([&] { return driver::IsInteractive(MainWindow()); }));
  EXPECT_EQ(driver::TopWindowsOf(Pid()).size(), 1u);
}

TEST_F(SelectionWindow, RowsOfASearchMadeWhileScrolledLandWhereTheyWouldUnscrolled) {
  Search(L"", L"");
  // Scroll down, then search again: the rows keep their content positions.
  DWORD_PTR ignored = 0;
  for (int i = 0; i < 10; ++i) {
    SendMessageTimeoutW(window, WM_VSCROLL, SB_PAGEDOWN, 0, SMTO_BLOCK, 10000, &ignored);
  }
  const int scrolled = 66 - Rows()[0].name.rect.top;
  ASSERT_GT(scrolled, 0);
  RunSearch();
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 80u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].name.rect.top + scrolled, 66 + 16 * static_cast<int>(i)) << "row " << i;
  }
  EXPECT_EQ(driver::RectInParent(Child(window, L"найти столы с такими параметрами")).top + scrolled,
            128);
}

}  // namespace
}  // namespace deskfind::e2e
