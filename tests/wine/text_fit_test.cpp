#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/abbox.h"
#include "app/bigf.h"
#include "platform/application.h"
#include "platform/controls.h"
#include "platform/utf16.h"
#include "selection/stol.h"

namespace deskfind {
namespace {

// What the system draws for a control's text: its own font, its own device.
SIZE DrawnTextSize(HWND control) {
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
  HDC dc = GetDC(control);
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ previous = SelectObject(dc, font);
  RECT rect{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_LEFT);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

RECT BoundsInForm(const Control& control) {
  RECT bounds;
  GetWindowRect(control.Handle(), &bounds);
  MapWindowPoints(HWND_DESKTOP, control.Owner().Handle(), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

enum class Window { kMain, kAbout, kSelectionWithEveryDesk };

std::unique_ptr<Form> Make(Application& application, Window window) {
  switch (window) {
    case Window::kMain:
      return std::make_unique<Tbigform>(application);
    case Window::kAbout:
      return std::make_unique<TAboutBox>(application);
    case Window::kSelectionWithEveryDesk: {
      auto selection = std::make_unique<Tpodbor_stola>(application);
      podbor_stola = selection.get();
      selection->FormActivate();
      selection->selectClick(*selection->FindComponent("select"));
      return selection;
    }
  }
  return nullptr;
}

class TextFitTest : public ::testing::TestWithParam<Window> {};

// Every text shows whole: a label is as large as its text in the font it is drawn with, a
// button's caption fits inside its frame, and no control runs into another.
TEST_P(TextFitTest, EveryTextShowsWholeAndNoControlRunsIntoAnother) {
  Application application(GetModuleHandleW(nullptr), 0);
  std::unique_ptr<Form> form = Make(application, GetParam());
  ASSERT_NE(form, nullptr);

  std::vector<const Control*> shown;
  for (int index = 0; index < form->ComponentCount(); ++index) {
    const Control* control = form->ComponentAt(index).AsControl();
    if (!control || !control->Visible()) continue;
    shown.push_back(control);
    if (control->Text().empty()) continue;
    SCOPED_TRACE(control->Name() + " \"" + control->Text() + "\"");
    const SIZE text = DrawnTextSize(control->Handle());
    RECT client;
    GetClientRect(control->Handle(), &client);
    wchar_t className[32] = {};
    GetClassNameW(control->Handle(), className, 32);
    if (control->IsLabel()) {
      EXPECT_GE(client.right, text.cx);
      EXPECT_GE(client.bottom, text.cy);
    } else if (lstrcmpiW(className, L"Button") == 0 &&
               !(GetWindowLongW(control->Handle(), GWL_STYLE) & BS_BITMAP)) {
      // The frame and the focus rectangle take a few pixels on each side.
      const int margin = GetSystemMetrics(SM_CXEDGE) + 1;
      EXPECT_LE(text.cx + 2 * margin, client.right);
      EXPECT_LE(text.cy + 4, client.bottom);
    }
  }

  for (std::size_t a = 0; a < shown.size(); ++a) {
    for (std::size_t b = a + 1; b < shown.size(); ++b) {
      const RECT first = BoundsInForm(*shown[a]);
      const RECT second = BoundsInForm(*shown[b]);
      RECT overlap;
      EXPECT_FALSE(IntersectRect(&overlap, &first, &second))
          << shown[a]->Name() << " \"" << shown[a]->Text() << "\" runs into " << shown[b]->Name()
          << " \"" << shown[b]->Text() << "\"";
    }
  }
}

std::string CaseName(const ::testing::TestParamInfo<Window>& info) {
  const char* const names[] = {"Main", "About", "SelectionWithEveryDesk"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(ThreeWindows, TextFitTest,
                         ::testing::Values(Window::kMain, Window::kAbout,
                                           Window::kSelectionWithEveryDesk),
                         CaseName);

}  // namespace
}  // namespace deskfind
