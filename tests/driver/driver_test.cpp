#include <windows.h>

#include <shellapi.h>

#include "tests/driver/driver.h"
#include "tests/driver/driver_target.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace deskfind::driver {
namespace {

namespace t = target;

std::vector<std::wstring> ParseCommandLine(const std::wstring& commandLine) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::wstring> result(args, args + count);
  LocalFree(args);
  return result;
}

std::optional<std::wstring> ShellOpenCommand(const wchar_t* scheme) {
  const std::wstring key = std::wstring(scheme) + L"\\shell\\open\\command";
  wchar_t value[1024] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

TEST(DriverPaths, WindowsPathReachesTheBuildsFiles) {
  EXPECT_EQ(WindowsPath("/tmp/some dir/desk.exe"), L"Z:\\tmp\\some dir\\desk.exe");
  EXPECT_NE(GetFileAttributesW(ProgramUnderTest().c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(RecordOpenExe().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(DriverPaths, QuotedArgumentsComeBackUnchanged) {
  const std::vector<std::wstring> arguments = {
      L"plain",    L"",          L"two words",         L"say \"hi\"",     L"C:\\dir with space\\",
      L"a\\\\\"b", L"tab\there", L"\\\\server\\share", L"ends in quote\""};
  std::wstring commandLine = L"program.exe";
  for (const auto& argument : arguments) commandLine += L" " + QuoteArgument(argument);
  const auto parsed = ParseCommandLine(commandLine);
  ASSERT_EQ(parsed.size(), arguments.size() + 1);
  EXPECT_EQ(std::vector<std::wstring>(parsed.begin() + 1, parsed.end()), arguments);
}

TEST(DriverProcess, LaunchesWithArgumentsAndTellsProcessesApart) {
  const std::wstring title = L"Second \"quoted\" target";
  Process first = Process::Launch(ProgramUnderTest());
  Process second = Process::Launch(ProgramUnderTest(), {L"--title", title, L"--exit-code", L"7"});
  const HWND firstWindow = WaitForTopWindow(first.Pid(), t::kClassName, t::kTitle);
  const HWND secondWindow = WaitForTopWindow(second.Pid(), t::kClassName, title);
  ASSERT_NE(firstWindow, nullptr);
  ASSERT_NE(secondWindow, nullptr);
  EXPECT_EQ(TopWindowsOf(first.Pid()), std::vector<HWND>{firstWindow});
  EXPECT_EQ(TopWindowsOf(second.Pid()), std::vector<HWND>{secondWindow});
  EXPECT_EQ(WaitForTopWindow(first.Pid(), t::kClassName, title, Milliseconds{0}), nullptr);

  EXPECT_TRUE(second.IsRunning());
  EXPECT_EQ(second.ExitCode(), std::nullopt);
  PostMessageW(secondWindow, WM_CLOSE, 0, 0);
  ASSERT_TRUE(second.WaitForExit());
  EXPECT_EQ(second.ExitCode(), 7u);
  EXPECT_TRUE(first.IsRunning());
}

TEST(DriverProcess, DestructorEndsAProgramStillRunning) {
  HANDLE handle = nullptr;
  {
    Process process = Process::Launch(ProgramUnderTest());
    ASSERT_NE(WaitForTopWindow(process.Pid(), t::kClassName), nullptr);
    handle = OpenProcess(SYNCHRONIZE, FALSE, process.Pid());
    ASSERT_NE(handle, nullptr);
    Process movedTo = std::move(process);
    EXPECT_EQ(process.Handle(), nullptr);
    EXPECT_TRUE(movedTo.IsRunning());
  }
  EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_OBJECT_0);
  CloseHandle(handle);
}

class DriverTarget : public ::testing::Test {
 protected:
  void SetUp() override {
    process_.emplace(Process::Launch(ProgramUnderTest()));
    window_ = WaitForTopWindow(process_->Pid(), t::kClassName, t::kTitle);
    ASSERT_NE(window_, nullptr);
  }

  DWORD Pid() const { return process_->Pid(); }
  HWND Control(int id) const { return FindChildById(window_, id); }
  std::wstring Status() const { return WindowText(Control(t::kStatusId)); }
  // The program's reaction arrives a moment after the posted input.
  ::testing::AssertionResult StatusBecomes(const std::wstring& expected) const {
    if (WaitUntil([&] { return Status() == expected; })) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "status is \"" << Utf8(Status()) << "\", expected \"" << Utf8(expected) << "\"";
  }

  std::optional<Process> process_;
  HWND window_ = nullptr;
};

TEST_F(DriverTarget, ReadsWindowsAndTheirChildren) {
  EXPECT_EQ(WindowText(window_), t::kTitle);
  EXPECT_EQ(ClassName(window_), t::kClassName);
  EXPECT_EQ(WindowPid(window_), Pid());
  EXPECT_TRUE(IsShown(window_));
  EXPECT_TRUE(IsInteractive(window_));
  const RECT client = ClientRect(window_);
  EXPECT_EQ(client.right - client.left, t::kClientWidth);
  EXPECT_EQ(client.bottom - client.top, t::kClientHeight);
  const RECT frame = WindowRect(window_);
  EXPECT_EQ(frame.left, t::kLeft);
  EXPECT_EQ(frame.top, t::kTop);

  const std::vector<ChildInfo> children = Children(window_);
  ASSERT_EQ(children.size(), 5u);
  struct Expected {
    const wchar_t* className;
    const wchar_t* text;
    int id;
    RECT rect;
  };
  const Expected expected[] = {
      {L"Button", t::kButtonText, t::kButtonId, t::kButtonRect},
      {L"Static", t::kReadyStatus, t::kStatusId, t::kStatusRect},
      {L"Static", t::kLinkText, t::kLinkId, t::kLinkRect},
      {L"Static", t::kPlainLabelText, t::kPlainLabelId, t::kPlainLabelRect},
      {L"ComboBox", L"", t::kComboId, t::kComboRect}};
  for (size_t i = 0; i < children.size(); ++i) {
    SCOPED_TRACE(Utf8(expected[i].text));
    const ChildInfo& child = children[i];
    EXPECT_EQ(child.className, expected[i].className);
    EXPECT_EQ(child.text, expected[i].text);
    EXPECT_EQ(child.id, expected[i].id);
    EXPECT_TRUE(child.visible);
    EXPECT_TRUE(child.enabled);
    EXPECT_EQ(child.rect.left, expected[i].rect.left);
    EXPECT_EQ(child.rect.top, expected[i].rect.top);
    EXPECT_EQ(child.rect.right, expected[i].rect.right);
    if (i + 1 < children.size()) {  // a drop-down list sizes itself to one line
      EXPECT_EQ(child.rect.bottom, expected[i].rect.bottom);
    }
  }
  EXPECT_TRUE(children[2].style & SS_NOTIFY);
  EXPECT_FALSE(children[3].style & SS_NOTIFY);
  EXPECT_EQ(children[4].style & CBS_DROPDOWNLIST, CBS_DROPDOWNLIST);

  EXPECT_EQ(FindChild(window_, t::kLinkText), children[2].hwnd);
  EXPECT_EQ(FindChild(window_, L"Open the sho"), nullptr);
  EXPECT_EQ(FindChildById(window_, t::kComboId), children[4].hwnd);
  EXPECT_EQ(FindChildByClass(window_, L"STATIC"), children[1].hwnd);
  EXPECT_EQ(FindChildByClass(window_, L"static", children[1].hwnd), children[2].hwnd);
  EXPECT_EQ(WaitForChild(window_, t::kPlainLabelText), children[3].hwnd);
  EXPECT_EQ(WaitForChild(window_, L"Never there", Milliseconds{100}), nullptr);
}

TEST_F(DriverTarget, ReadsAndAnswersAMessageBox) {
  const WindowCounts before = CountWindows(Pid());
  EXPECT_EQ(before.visibleTopLevel, 1);
  EXPECT_EQ(WaitForMessageBox(Pid(), Milliseconds{0}), std::nullopt);

  ASSERT_TRUE(PostMenuCommand(window_, t::kWarningBox));
  const auto box = WaitForMessageBox(Pid());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, t::kBoxCaption);
  EXPECT_EQ(box->text, t::kBoxText);
  ASSERT_EQ(box->buttons.size(), 1u);
  EXPECT_EQ(box->buttons[0].id, IDOK);
  EXPECT_EQ(box->buttons[0].text, L"OK");
  EXPECT_EQ(box->owner, window_);
  EXPECT_EQ(IdentifyIcon(*box), MessageBoxIcon::kWarning);

  // The box is modal: its owner and the owner's controls take no input meanwhile.
  EXPECT_FALSE(IsInteractive(window_));
  EXPECT_FALSE(ClickButton(Control(t::kButtonId)));
  EXPECT_FALSE(PostMenuCommand(window_, t::kWarningBox));
  const WindowCounts during = CountWindows(Pid());
  EXPECT_EQ(during.visibleTopLevel, 2);
  EXPECT_GT(during.total, before.total);

  EXPECT_FALSE(AnswerMessageBox(*box, IDCANCEL, Milliseconds{200}));  // there is no Cancel
  ASSERT_TRUE(AnswerMessageBox(*box, IDOK));
  EXPECT_TRUE(StatusBecomes(L"Warning: OK"));
  EXPECT_TRUE(IsInteractive(window_));
  const WindowCounts after = CountWindows(Pid());
  EXPECT_EQ(after.visibleTopLevel, before.visibleTopLevel);
  EXPECT_EQ(after.total, before.total);
}

TEST_F(DriverTarget, ReadsTheMenuBarFromInsideTheProgramAlsoDuringAModalLoop) {
  const std::vector<MenuEntry> expected{{L"&Boxes",
                                         0,
                                         {{L"&Warning", t::kWarningBox, {}},
                                          {L"&Question", t::kQuestionBox, {}},
                                          {L"&Disable button", t::kDisableButton, {}},
                                          {L"&Hide button", t::kHideButton, {}}}}};
  EXPECT_EQ(ReadMenuBar(window_, MenuProbeDll()), expected);

  // A message box runs its own message loop in the same thread; the probe still answers, and
  // a window without a menu bar gives an empty one.
  ASSERT_TRUE(PostMenuCommand(window_, t::kWarningBox));
  const auto box = WaitForMessageBox(Pid());
  ASSERT_TRUE(box);
  EXPECT_EQ(ReadMenuBar(window_, MenuProbeDll()), expected);
  EXPECT_TRUE(ReadMenuBar(box->hwnd, MenuProbeDll()).empty());
  ASSERT_TRUE(AnswerMessageBox(*box, IDOK));

  EXPECT_THROW(ReadMenuBar(window_, L"Z:\\nonexistent\\menu_probe.dll"), std::runtime_error);
  PostMessageW(window_, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitForDestroyed(window_));
  EXPECT_THROW(ReadMenuBar(window_, MenuProbeDll(), Milliseconds{500}), std::runtime_error);
}

TEST_F(DriverTarget, EnterPressesTheDefaultButtonAndAnswersChooseOthers) {
  ASSERT_TRUE(PostMenuCommand(window_, t::kQuestionBox));
  auto box = WaitForMessageBox(Pid());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, t::kQuestionCaption);
  EXPECT_EQ(box->text, t::kQuestionText);
  ASSERT_EQ(box->buttons.size(), 2u);
  EXPECT_EQ(box->buttons[0].id, IDYES);
  EXPECT_EQ(box->buttons[0].text, L"&Yes");
  EXPECT_EQ(box->buttons[1].id, IDNO);
  EXPECT_EQ(box->buttons[1].text, L"&No");
  EXPECT_EQ(IdentifyIcon(*box), MessageBoxIcon::kQuestion);
  EXPECT_EQ(FocusedWindow(box->hwnd), box->buttons[1].hwnd);

  // No is the default here: Enter must not simply mean the first button or IDOK.
  PressEnter(box->hwnd);
  ASSERT_TRUE(WaitForDestroyed(box->hwnd));
  EXPECT_TRUE(StatusBecomes(L"Question: No"));

  ASSERT_TRUE(PostMenuCommand(window_, t::kQuestionBox));
  box = WaitForMessageBox(Pid());
  ASSERT_TRUE(box);
  ASSERT_TRUE(AnswerMessageBox(*box, IDYES));
  EXPECT_TRUE(StatusBecomes(L"Question: Yes"));
}

TEST_F(DriverTarget, ClicksButtonsOnlyWhenAUserCould) {
  const HWND button = Control(t::kButtonId);
  ASSERT_TRUE(ClickButton(button));
  EXPECT_TRUE(StatusBecomes(L"Clicked 1"));
  ASSERT_TRUE(ClickButton(button));
  EXPECT_TRUE(StatusBecomes(L"Clicked 2"));

  ASSERT_TRUE(PostMenuCommand(window_, t::kDisableButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(button); }));
  EXPECT_FALSE(ClickButton(button));
  ASSERT_TRUE(PostMenuCommand(window_, t::kHideButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsShown(button); }));
  EXPECT_FALSE(ClickButton(button));
  EXPECT_EQ(Status(), L"Clicked 2");
}

TEST_F(DriverTarget, ChoosesDropDownListItems) {
  const HWND combo = Control(t::kComboId);
  EXPECT_EQ(ComboItems(combo), (std::vector<std::wstring>{L"Oak", L"Birch", L"Walnut"}));
  EXPECT_EQ(ComboSelection(combo), CB_ERR);

  ASSERT_TRUE(ChooseComboItem(combo, 1));
  EXPECT_TRUE(StatusBecomes(L"Chosen: Birch"));
  EXPECT_EQ(ComboSelection(combo), 1);
  ASSERT_TRUE(ChooseComboItem(combo, L"Walnut"));
  EXPECT_TRUE(StatusBecomes(L"Chosen: Walnut"));
  EXPECT_EQ(ComboSelection(combo), 2);

  EXPECT_FALSE(ChooseComboItem(combo, 3));
  EXPECT_FALSE(ChooseComboItem(combo, -1));
  EXPECT_FALSE(ChooseComboItem(combo, L"Pine"));
  EXPECT_EQ(ComboSelection(combo), 2);
}

TEST_F(DriverTarget, LinkClicksReachTheShellRecorder) {
  ShellOpenRecorder recorder(RecordOpenExe());
  ASSERT_TRUE(recorder.Installed());
  const std::string address = Utf8(t::kLinkAddress);
  const HWND link = Control(t::kLinkId);

  ASSERT_TRUE(ClickStatic(link, ClickMethod::kNotify));
  EXPECT_TRUE(StatusBecomes(L"Opened"));
  EXPECT_EQ(recorder.WaitForOpened(1), std::vector<std::string>{address});

  recorder.Clear();
  SetWindowTextW(Control(t::kStatusId), L"");  // cross-process WM_SETTEXT is marshalled
  ASSERT_TRUE(ClickStatic(link, ClickMethod::kMouse));
  EXPECT_TRUE(StatusBecomes(L"Opened"));
  EXPECT_EQ(recorder.WaitForOpened(1), std::vector<std::string>{address});

  recorder.Clear();
  SetWindowTextW(Control(t::kStatusId), L"");
  ASSERT_TRUE(ClickAtCentre(link));
  EXPECT_TRUE(StatusBecomes(L"Opened"));
  EXPECT_EQ(recorder.WaitForOpened(1), std::vector<std::string>{address});

  // A label without SS_NOTIFY never tells its parent about clicks.
  EXPECT_FALSE(ClickStatic(Control(t::kPlainLabelId)));
  EXPECT_FALSE(ClickStatic(Control(t::kButtonId)));
}

TEST_F(DriverTarget, ReadsPaintedColours) {
  const RECT& swatch = t::kSwatchRect;
  ASSERT_TRUE(WaitForClientPixel(window_, (swatch.left + swatch.right) / 2,
                                 (swatch.top + swatch.bottom) / 2, t::kSwatchColour));
  EXPECT_EQ(ClientPixel(window_, swatch.left, swatch.top), t::kSwatchColour);
  EXPECT_EQ(ClientPixel(window_, swatch.right - 1, swatch.bottom - 1), t::kSwatchColour);
  EXPECT_NE(ClientPixel(window_, swatch.left - 1, swatch.top), t::kSwatchColour);
  EXPECT_NE(ClientPixel(window_, swatch.right, swatch.bottom - 1), t::kSwatchColour);

  const ScreenImage client = ScreenImage::CaptureClient(window_);
  EXPECT_EQ(client.Width(), t::kClientWidth);
  EXPECT_EQ(client.Height(), t::kClientHeight);
  EXPECT_EQ(client.Count(t::kSwatchColour),
            (swatch.right - swatch.left) * (swatch.bottom - swatch.top));
  EXPECT_EQ(client.At(swatch.left, swatch.top), t::kSwatchColour);
  EXPECT_EQ(client.At(-1, 0), CLR_INVALID);
}

TEST_F(DriverTarget, ClosingTheWindowEndsTheProgram) {
  PostMessageW(window_, WM_CLOSE, 0, 0);
  ASSERT_TRUE(process_->WaitForExit());
  EXPECT_EQ(process_->ExitCode(), 0u);
  EXPECT_TRUE(WaitForDestroyed(window_, Milliseconds{0}));
  EXPECT_TRUE(TopWindowsOf(Pid()).empty());
}

TEST(DriverShell, RecorderReceivesExactAddressesAndRestoresTheCommands) {
  const auto httpBefore = ShellOpenCommand(L"http");
  const auto httpsBefore = ShellOpenCommand(L"https");
  ASSERT_TRUE(httpBefore);
  {
    ShellOpenRecorder recorder(RecordOpenExe());
    ASSERT_TRUE(recorder.Installed());
    EXPECT_EQ(ShellOpenCommand(L"http"), RecorderCommand(RecordOpenExe(), recorder.LogPath()));
    EXPECT_TRUE(recorder.Opened().empty());

    const std::vector<std::wstring> addresses = {
        L"http://www.stolver.ru/srch_art.php?art=4342428",
        L"https://example.invalid/a%20b?x=1&y=2#top",
        L"http://example.invalid/\x0441\x0442\x043E\x043B"};
    std::vector<std::string> expected;
    for (const auto& address : addresses) {
      const auto result = reinterpret_cast<INT_PTR>(
          ShellExecuteW(nullptr, nullptr, address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
      EXPECT_GT(result, 32) << Utf8(address);
      expected.push_back(Utf8(address));
      // One at a time, so the log's order is the order of the calls.
      EXPECT_EQ(recorder.WaitForOpened(expected.size()), expected);
    }

    recorder.Clear();
    EXPECT_TRUE(recorder.Opened().empty());
  }
  EXPECT_EQ(ShellOpenCommand(L"http"), httpBefore);
  EXPECT_EQ(ShellOpenCommand(L"https"), httpsBefore);
}

TEST(DriverShell, RecorderRepairsACommandLeftBehindByAKilledTest) {
  const auto before = ShellOpenCommand(L"http");
  ASSERT_EQ(before, L"\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"");
  const std::wstring stale = RecorderCommand(RecordOpenExe(), L"C:\\gone.log");
  ASSERT_EQ(
      RegSetKeyValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr, REG_SZ,
                      stale.c_str(), static_cast<DWORD>((stale.size() + 1) * sizeof(wchar_t))),
      ERROR_SUCCESS);
  { ShellOpenRecorder recorder(RecordOpenExe()); }
  EXPECT_EQ(ShellOpenCommand(L"http"), before);
}

TEST(DriverScreenDpi, SettingReachesNewProcessesOnlyWhileItLastsAndRepairsOneLeftBehind) {
  const int before = NewProcessScreenDpi(ScreenDpiExe());
  ASSERT_EQ(before, 96);
  {
    ScreenDpiSetting setting(144);
    ASSERT_TRUE(setting.Applied());
    EXPECT_EQ(NewProcessScreenDpi(ScreenDpiExe()), 144);
    ScreenDpiSetting nested(120);
    EXPECT_EQ(NewProcessScreenDpi(ScreenDpiExe()), 120);
  }
  EXPECT_EQ(NewProcessScreenDpi(ScreenDpiExe()), before);

  // A test killed with a setting in place never runs its destructor.
  auto killed = std::make_unique<ScreenDpiSetting>(144);
  ASSERT_TRUE(killed->Applied());
  static_cast<void>(killed.release());
  EXPECT_EQ(NewProcessScreenDpi(ScreenDpiExe()), 144);
  { ScreenDpiSetting next(120); }
  EXPECT_EQ(NewProcessScreenDpi(ScreenDpiExe()), before);
}

}  // namespace
}  // namespace deskfind::driver
