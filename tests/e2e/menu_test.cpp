#include <string>
#include <vector>

#include "app/main_menu_commands.h"
#include "selection/selection_menu_commands.h"
#include "tests/e2e/program.h"

namespace deskfind::e2e {
namespace {

using driver::MenuEntry;

// Menus are read inside the program's own thread by the probe DLL: from outside, Wine does not
// give another process's menus.
class MenuBarTest : public ProgramTest {
 protected:
  static std::vector<MenuEntry> MenuBarOf(HWND window) {
    return driver::ReadMenuBar(window, driver::MenuProbeDll());
  }
};

// Command ids are written out: they are what the menu items send, whatever the constants say.
const std::vector<MenuEntry> kMainMenuBar{
    {L"Меню", 0, {{L"Выход из программы", 102, {}}}},
    {L"Подбор мебели",
     0,
     {{L"Подбор компьютерного или письменного стола", 106, {}}, {L"Подбор комода", 107, {}}}},
    {L"Помощь", 0, {{L"О программе", 104, {}}}},
};

const std::vector<MenuEntry> kSelectionMenuBar{
    {L"Меню", 0, {{L"Вернуться в главное меню", 202, {}}}},
    {L"Помощь", 0, {{L"О программе", 204, {}}}},
};

TEST_F(MenuBarTest, MainWindowHasExactlyItsMenusAndCommandIds) {
  EXPECT_EQ(MenuBarOf(MainWindow()), kMainMenuBar);
}

TEST_F(MenuBarTest, SelectionWindowHasItsOwnMenusEveryTimeItOpensAndLeavesTheMainOnesAlone) {
  for (int opening = 0; opening < 2; ++opening) {
    SCOPED_TRACE("opening " + std::to_string(opening + 1));
    HWND selection = OpenByMenu(MainWindow(), main_menu::kDeskSelection, kSelectionCaption);
    ASSERT_NE(selection, nullptr);
    EXPECT_EQ(MenuBarOf(selection), kSelectionMenuBar);
    // While the selection window is up, the main window keeps its own menu bar.
    EXPECT_EQ(MenuBarOf(MainWindow()), kMainMenuBar);
    ASSERT_TRUE(driver::PostMenuCommand(selection, selection_menu::kBackToMainWindow));
    ASSERT_TRUE(driver::WaitForDestroyed(selection));
    ASSERT_TRUE(driver::WaitUntil([&] { return driver::IsInteractive(MainWindow()); }));
  }
  EXPECT_EQ(MenuBarOf(MainWindow()), kMainMenuBar);
}

}  // namespace
}  // namespace deskfind::e2e
