#include <string>
#include <vector>

#include "catalogue/desk_catalogue.h"
#include "catalogue/result_texts.h"
#include "tests/e2e/program.h"

namespace deskfind::e2e {
namespace {

struct HoverCase {
  const char* label;
  Window window;
  // The control: the first child with this text, or the child at this index when text is empty.
  std::wstring controlText;
  int controlIndex;
  std::wstring tooltip;  // empty: the first result row's desk name
  POINT emptySpot;       // a client point of the window with no control under it
};

void PrintTo(const HoverCase& hover, std::ostream* out) { *out << hover.label; }

const std::wstring kSite = L"http://www.stolver.ru";
const std::wstring kHost = L"www.stolver.ru";

class TooltipTest : public ProgramTest, public ::testing::WithParamInterface<HoverCase> {};

// Resting the real pointer on a control shows its hint; moving off hides it.
TEST_P(TooltipTest, ShowsTheHintWhileThePointerRestsOnTheControl) {
  const HoverCase& hover = GetParam();
  HWND window = Open(hover.window);
  ASSERT_NE(window, nullptr);
  const auto children = driver::Children(window);
  HWND control = hover.controlText.empty()
                     ? children.at(static_cast<size_t>(hover.controlIndex)).hwnd
                     : Child(window, hover.controlText);
  ASSERT_NE(control, nullptr);

  std::wstring expected = hover.tooltip;
  if (expected.empty()) {
    DeskCatalogue catalogue;
    catalogue.Fill();
    const std::wstring rowName = driver::WindowText(control);
    for (int n = 1; n <= DeskCatalogue::kSize; ++n) {
      if (driver::Utf16(NameText(catalogue.Entry(n))) == rowName) {
        expected = driver::Utf16(std::string(catalogue.Entry(n).name));
      }
    }
    ASSERT_FALSE(expected.empty()) << "no desk named " << driver::Utf8(rowName);
  }

  POINT away = hover.emptySpot;
  ClientToScreen(window, &away);
  ASSERT_TRUE(driver::MovePointerTo(away));
  ASSERT_TRUE(driver::WaitUntil([&] { return !driver::ShownTooltip(Pid()); }));

  ASSERT_TRUE(driver::RestPointerOn(control));
  const auto shown = driver::WaitForTooltip(Pid());
  ASSERT_TRUE(shown.has_value()) << "no tooltip appeared";
  EXPECT_EQ(*shown, expected);

  ASSERT_TRUE(driver::MovePointerTo(away));
  EXPECT_TRUE(driver::WaitUntil([&] { return !driver::ShownTooltip(Pid()); }))
      << "the tooltip stays after the pointer has left";
}

std::string CaseName(const ::testing::TestParamInfo<HoverCase>& info) { return info.param.label; }

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfControl, TooltipTest,
    ::testing::Values(
        HoverCase{"MainPictureButton",
                  Window::kMain,
                  L"",
                  4,
                  L"Подбор компьютерного или письменного стола",
                  {600, 350}},
        HoverCase{"MainSiteLink", Window::kMain, kSite, 0, kHost, {600, 350}},
        HoverCase{"AboutSiteLink", Window::kAbout, kSite, 0, kHost, {300, 300}},
        HoverCase{
            "SelectionSiteLink", Window::kSelectionWithEveryDesk, kSite, 0, kHost, {300, 400}},
        HoverCase{"SelectionResultRow", Window::kSelectionWithEveryDesk, L"", 13, L"", {300, 400}}),
    CaseName);

}  // namespace
}  // namespace deskfind::e2e
