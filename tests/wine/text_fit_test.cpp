#include <windows.h>

#include <algorithm>
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
#include "update/download_window.h"

namespace deskfind {
namespace {

// The size a control's text takes as the system draws it in the control's own font: the larger
// of what the font's metrics say and how far the drawn pixels reach (hinting at small sizes can
// draw some fonts wider than their metrics).
SIZE DrawnTextSize(HWND control) {
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
  HDC screen = GetDC(control);
  HDC dc = CreateCompatibleDC(screen);
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ previousFont = SelectObject(dc, font);
  RECT rect{0, 0, 0, 0};
  const UINT format = DT_NOPREFIX | DT_EXPANDTABS | DT_LEFT;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);

  const int width = rect.right + 64, height = rect.bottom + 8;
  HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previousBitmap = SelectObject(dc, canvas);
  RECT all{0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &all, format);
  SelectObject(dc, previousBitmap);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  GetDIBits(dc, canvas, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  LONG inkRight = 0, inkBottom = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((pixels[static_cast<std::size_t>(y * width + x)] & 0xFFFFFF) != 0xFFFFFF) {
        inkRight = std::max<LONG>(inkRight, x + 1);
        inkBottom = std::max<LONG>(inkBottom, y + 1);
      }
    }
  }
  SelectObject(dc, previousFont);
  DeleteObject(canvas);
  DeleteDC(dc);
  ReleaseDC(control, screen);
  return {std::max(rect.right, inkRight), std::max(rect.bottom, inkBottom)};
}

RECT BoundsInForm(const Control& control) {
  RECT bounds;
  GetWindowRect(control.Handle(), &bounds);
  MapWindowPoints(HWND_DESKTOP, control.Owner().Handle(), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

enum class Window { kMain, kAbout, kSelectionWithEveryDesk, kDownloadProgress };

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
    case Window::kDownloadProgress: {
      // The longest text it shows: the largest program file the update takes.
      auto progress =
          std::make_unique<DownloadWindow>(application, "Закачка новой версии программы");
      progress->ShowProgress(32 * 1024 * 1024, 32 * 1024 * 1024);
      return progress;
    }
  }
  return nullptr;
}

class TextFitTest : public ::testing::TestWithParam<Window> {};

// Every text shows whole: a label is as large as its text in the font it is drawn with, a
// button's caption fits inside its frame, no control reaches out of the window and none runs
// into another.
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
      // The caption is drawn inside the button's raised edge.
      const int margin = GetSystemMetrics(SM_CXEDGE);
      EXPECT_LE(text.cx + 2 * margin, client.right);
      EXPECT_LE(text.cy + 4, client.bottom);
    }
  }

  RECT client;
  GetClientRect(form->Handle(), &client);
  // Rows of a long list may reach below the window: it scrolls them into view.
  const bool scrolls = GetWindowLongW(form->Handle(), GWL_STYLE) & WS_VSCROLL;
  for (const Control* control : shown) {
    const RECT bounds = BoundsInForm(*control);
    EXPECT_TRUE(bounds.left >= 0 && bounds.top >= 0 && bounds.right <= client.right &&
                (scrolls || bounds.bottom <= client.bottom))
        << control->Name() << " \"" << control->Text() << "\" reaches out of the window";
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
  const char* const names[] = {"Main", "About", "SelectionWithEveryDesk", "DownloadProgress"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, TextFitTest,
                         ::testing::Values(Window::kMain, Window::kAbout,
                                           Window::kSelectionWithEveryDesk,
                                           Window::kDownloadProgress),
                         CaseName);

}  // namespace
}  // namespace deskfind
