#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/application.h"
#include "platform/confirm_dialog.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/live_objects.h"
#include "platform/utf16.h"

namespace deskfind {
namespace {

Application& App() {
  static Application application(GetModuleHandleW(nullptr), 0);
  return application;
}

FormLayout PlainLayout() {
  FormLayout layout;
  layout.caption = "Test form";
  layout.left = 10, layout.top = 10, layout.width = 400, layout.height = 300;
  return layout;
}

// What a box of our process showed, read from another thread, which then answers it.
struct SeenBox {
  std::wstring className, caption, text;
};

std::wstring TextOf(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

BOOL CALLBACK FindMessageText(HWND child, LPARAM data) {
  wchar_t className[32] = {};
  GetClassNameW(child, className, 32);
  auto* text = reinterpret_cast<std::wstring*>(data);
  if (lstrcmpiW(className, L"Static") == 0 && GetWindowTextLengthW(child) > 0 && text->empty()) {
    *text = TextOf(child);
  }
  return TRUE;
}

// Waits (bounded) for a visible window of this process with the given class, then reads it
// and posts it a message: the test's stand-in for the user.
class BoxAnswerer {
 public:
  BoxAnswerer(const wchar_t* className, UINT message, WPARAM wParam)
      : thread_([this, className, message, wParam] { Run(className, message, wParam); }) {}
  ~BoxAnswerer() {
    if (thread_.joinable()) thread_.join();
  }
  std::optional<SeenBox> Seen() {
    thread_.join();
    return seen_;
  }

 private:
  struct Search {
    const wchar_t* className;
    HWND found;
  };
  static BOOL CALLBACK Match(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) &&
        lstrcmpW(className, search->className) == 0 && TextOf(window) != L"Test form") {
      search->found = window;
      return FALSE;
    }
    return TRUE;
  }
  void Run(const wchar_t* className, UINT message, WPARAM wParam) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      Search search{className, nullptr};
      EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
      if (search.found) {
        SeenBox box{className, TextOf(search.found), {}};
        EnumChildWindows(search.found, FindMessageText, reinterpret_cast<LPARAM>(&box.text));
        seen_ = box;
        PostMessageW(search.found, message, wParam, 0);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::optional<SeenBox> seen_;
  std::thread thread_;
};

TEST(ApplicationTitle, IsTheFileNameCutAtItsFirstDotWithTheRestInLowerCase) {
  EXPECT_EQ(ApplicationTitle(L"C:\\Program Files\\Shop\\DeskFind.EXE"), L"Deskfind");
  EXPECT_EQ(ApplicationTitle(L"Z:/build/deskfind.v2.exe"), L"deskfind");
  EXPECT_EQ(ApplicationTitle(L"ПОДБОР.EXE"), L"Подбор");
  EXPECT_EQ(ApplicationTitle(L"noext"), L"noext");
}

class FormTest : public ::testing::Test {
 protected:
  FormTest() : form(App(), PlainLayout()) {}
  Form form;
};

TEST_F(FormTest, ComponentsAreListedInCreationOrderAndShiftDownWhenOneIsDestroyed) {
  auto& first = form.Add<Label>("First", 0, 0, "one");
  form.Add<PushButton>("Button", 0, 20, 75, 25, "press");
  form.Add<Label>("Second", 0, 50, "two");
  auto& bar = form.Add<MenuBar>("Menu");
  form.Add<MenuItem>("Heading", bar, "Menu");
  ASSERT_EQ(form.ComponentCount(), 5);
  EXPECT_EQ(&form.ComponentAt(0), &first);
  EXPECT_TRUE(form.ComponentAt(0).IsLabel());
  EXPECT_FALSE(form.ComponentAt(1).IsLabel());
  EXPECT_FALSE(form.ComponentAt(3).IsLabel());

  const int componentsBefore = LiveObjects::components;
  HWND secondWindow = static_cast<Control&>(form.ComponentAt(2)).Handle();
  form.DestroyComponent(2);
  EXPECT_EQ(form.ComponentCount(), 4);
  EXPECT_EQ(form.ComponentAt(2).Name(), "Menu");
  EXPECT_EQ(form.FindComponent("Second"), nullptr);
  EXPECT_FALSE(IsWindow(secondWindow));
  EXPECT_EQ(LiveObjects::components, componentsBefore - 1);

  EXPECT_THROW(form.DestroyComponent(-1), std::out_of_range);
  EXPECT_THROW(form.DestroyComponent(4), std::out_of_range);
  EXPECT_EQ(form.ComponentCount(), 4);
}

TEST_F(FormTest, ComponentNamesAreUniqueWithinAWindow) {
  form.Add<Label>("_4342428", 0, 0, "name");
  EXPECT_THROW(form.Add<Label>("_4342428", 0, 20, "again"), std::logic_error);
  EXPECT_EQ(form.ComponentCount(), 1);
  Form other(App(), PlainLayout());
  EXPECT_NO_THROW(other.Add<Label>("_4342428", 0, 0, "other window"));
}

TEST_F(FormTest, LabelsSizeThemselvesToTheirText) {
  auto& label = form.Add<Label>("Label", 10, 10, "ab");
  RECT small;
  GetWindowRect(label.Handle(), &small);
  label.SetText("a much longer text than before");
  RECT wide;
  GetWindowRect(label.Handle(), &wide);
  EXPECT_GT(wide.right - wide.left, 3 * (small.right - small.left));
  EXPECT_EQ(wide.bottom - wide.top, small.bottom - small.top);

  // Bare carriage returns break lines, as in the not-found notice.
  label.SetText("line\r\rline");
  RECT tall;
  GetWindowRect(label.Handle(), &tall);
  EXPECT_EQ(tall.bottom - tall.top, 3 * (small.bottom - small.top));
  EXPECT_EQ(label.Text(), "line\r\rline");
}

TEST_F(FormTest, LabelsShareOneFontObjectPerDistinctFont) {
  const FontSpec bold{L"Times New Roman", 16, true, false};
  form.Add<Label>("Warm", 0, 0, "x", bold);  // makes the font, if it is new
  const int fontsBefore = LiveObjects::fonts;
  for (int i = 0; i < 50; ++i) {
    form.Add<Label>("L" + std::to_string(i), 0, 20 + i, "text", bold);
  }
  EXPECT_EQ(LiveObjects::fonts, fontsBefore);
  const HFONT first = reinterpret_cast<HFONT>(
      SendMessageW(static_cast<Control&>(form.ComponentAt(1)).Handle(), WM_GETFONT, 0, 0));
  const HFONT last = reinterpret_cast<HFONT>(
      SendMessageW(static_cast<Control&>(form.ComponentAt(50)).Handle(), WM_GETFONT, 0, 0));
  EXPECT_EQ(first, last);
  FontSpec underlined = bold;
  underlined.underline = true;
  form.Add<Label>("Link", 0, 0, "link", underlined);
  EXPECT_EQ(LiveObjects::fonts, fontsBefore + 1);
}

TEST_F(FormTest, RepeatedRowsLeaveNoObjectsBehind) {
  const auto makeRows = [this] {
    Form::BatchUpdate batch(form);
    while (form.ComponentCount() > 0) form.DestroyComponent(form.ComponentCount() - 1);
    for (int i = 0; i < 60; ++i) {
      auto& label = form.Add<Label>("_" + std::to_string(i), 10, 66 + 16 * i, "row");
      label.SetTooltip("row tooltip");
    }
  };
  makeRows();
  const int components = LiveObjects::components, windows = LiveObjects::windows;
  const int fonts = LiveObjects::fonts;
  for (int round = 0; round < 20; ++round) makeRows();
  EXPECT_EQ(LiveObjects::components, components);
  EXPECT_EQ(LiveObjects::windows, windows);
  EXPECT_EQ(LiveObjects::fonts, fonts);
}

TEST(ClickHandlers, TakenOverHandlerStaysBoundToItsWindow) {
  Form owner(App(), PlainLayout());
  Form* boundTo = nullptr;
  std::string senderName;
  auto& source = owner.Add<Label>("Template", 0, 0, "template", false);
  source.OnClick = [&owner, &boundTo, &senderName](Component& sender) {
    boundTo = &owner;
    senderName = sender.Name();
  };
  auto& taker = owner.Add<Label>("_1234567", 0, 20, "taker");
  taker.OnClick = source.OnClick;

  // What a click on the label sends to its window.
  const int id = GetDlgCtrlID(taker.Handle());
  SendMessageW(owner.Handle(), WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
               reinterpret_cast<LPARAM>(taker.Handle()));
  EXPECT_EQ(boundTo, &owner);
  EXPECT_EQ(senderName, "_1234567");
}

TEST(UnhandledErrors, AreShownWithTheApplicationTitleAndTheProgramGoesOn) {
  Form form(App(), PlainLayout());
  auto& button = form.Add<PushButton>("Fails", 0, 0, 75, 25, "fail");
  button.OnClick = [](Component&) { throw std::runtime_error("Нет доступа к файлу"); };
  BoxAnswerer answer(L"#32770", WM_COMMAND, IDOK);
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button.Handle()), BN_CLICKED),
               reinterpret_cast<LPARAM>(button.Handle()));
  const auto seen = answer.Seen();
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->caption, App().Title());
  EXPECT_EQ(seen->text, L"Нет доступа к файлу");
  EXPECT_TRUE(IsWindow(form.Handle()));
}

TEST(MessageBoxes, OtherWindowsTakeNoInputUntilTheBoxIsAnswered) {
  Form form(App(), PlainLayout());
  form.Show();
  std::atomic<bool> enabledWhileUp{true};
  std::thread watcher([&form, &enabledWhileUp] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      HWND box = FindWindowW(L"#32770", L"Зайдите через недельку :-))");
      if (box) {
        enabledWhileUp = IsWindowEnabled(form.Handle()) != FALSE;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const int result = App().ShowMessage("Данный раздел находится в разработке!",
                                       "Зайдите через недельку :-))", MB_OK | MB_ICONEXCLAMATION);
  watcher.join();
  EXPECT_EQ(result, IDOK);
  EXPECT_FALSE(enabledWhileUp);
  EXPECT_TRUE(IsWindowEnabled(form.Handle()));
}

// Shows the confirmation dialog and answers it with one message, as the user would.
std::pair<int, SeenBox> ConfirmAnsweredBy(UINT message, WPARAM wParam) {
  BoxAnswerer answer(L"DeskfindForm", message, wParam);
  const int result = App().Confirm("Есть новая версия программы!\rБудем скачивать ???");
  const auto seen = answer.Seen();
  return {result, seen.value_or(SeenBox{})};
}

TEST(ConfirmDialog, IsAWarningWithYesAsDefaultAndNoForEscape) {
  auto [enter, box] = ConfirmAnsweredBy(WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(enter, IDYES);
  EXPECT_EQ(box.caption, L"Warning");
  EXPECT_EQ(ConfirmAnsweredBy(WM_KEYDOWN, VK_ESCAPE).first, IDNO);
  EXPECT_EQ(ConfirmAnsweredBy(WM_CLOSE, 0).first, IDCANCEL);
}

TEST(ConfirmDialog, ShowsItsLinesAndTwoButtonsInOrder) {
  ConfirmDialog dialog(App(), "Первая строка\rВторая строка");
  std::vector<std::string> buttons;
  std::string text;
  for (int i = 0; i < dialog.ComponentCount(); ++i) {
    auto& control = static_cast<Control&>(dialog.ComponentAt(i));
    wchar_t className[32] = {};
    GetClassNameW(control.Handle(), className, 32);
    if (lstrcmpiW(className, L"Button") == 0) buttons.push_back(control.Text());
    if (control.IsLabel()) text = control.Text();
  }
  EXPECT_EQ(buttons, (std::vector<std::string>{"&Yes", "&No"}));
  EXPECT_EQ(text, "Первая строка\rВторая строка");
  const auto style =
      GetWindowLongW(static_cast<Control&>(*dialog.FindComponent("Yes")).Handle(), GWL_STYLE);
  EXPECT_EQ(style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  // Centred on the screen.
  RECT frame;
  GetWindowRect(dialog.Handle(), &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
}

TEST(ModalShowing, ActivationRunsOnceEvenWhenAWindowOverItCloses) {
  Form outer(App(), PlainLayout());
  int activations = 0;
  int innerActivations = 0;
  outer.OnActivate = [&] {
    ++activations;
    // Another modal window over this one, opened and closed while it is shown.
    Form inner(App(), PlainLayout());
    inner.OnActivate = [&] {
      ++innerActivations;
      inner.Close();
    };
    App().ShowModal(inner);
    outer.Close();
  };
  EXPECT_EQ(App().ShowModal(outer), IDCANCEL);
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(innerActivations, 1);
}

}  // namespace
}  // namespace deskfind
