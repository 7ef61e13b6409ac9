#include <windows.h>

#include <optional>
#include <string>

#include "tests/e2e/program.h"
#include "tests/support/local_http_server.h"

namespace deskfind::e2e {
namespace {

const wchar_t kMainKey[] = L"Software\\Microsoft\\Internet Explorer\\Main";
const wchar_t kSavedKey[] = L"Software\\DeskfindTests\\InternetExplorerMain";
const std::wstring kStartPageButton = L"Сделать страницу www.stolver.ru стартовой";

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::optional<std::wstring> StartPage() {
  wchar_t value[512] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kMainKey, L"Start Page", RRF_RT_REG_SZ, nullptr, value,
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

// Removes the browser's key with everything in it for the object's lifetime, keeping a copy
// elsewhere in the user's hive to put back.
class RemovedKey {
 public:
  RemovedKey() {
    HKEY saved = nullptr;
    RegDeleteTreeW(HKEY_CURRENT_USER, kSavedKey);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSavedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &saved, nullptr) != ERROR_SUCCESS) {
      return;
    }
    const bool copied = RegCopyTreeW(HKEY_CURRENT_USER, kMainKey, saved) == ERROR_SUCCESS;
    RegCloseKey(saved);
    // Given a subkey, RegDeleteTreeW removes the subkey itself too.
    removed_ = copied && RegDeleteTreeW(HKEY_CURRENT_USER, kMainKey) == ERROR_SUCCESS &&
               !KeyExists(kMainKey);
  }
  RemovedKey(const RemovedKey&) = delete;
  RemovedKey& operator=(const RemovedKey&) = delete;
  ~RemovedKey() {
    HKEY main = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kMainKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &main,
                        nullptr) == ERROR_SUCCESS) {
      RegCopyTreeW(HKEY_CURRENT_USER, kSavedKey, main);
      RegCloseKey(main);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kSavedKey);
  }
  bool Removed() const { return removed_; }

 private:
  bool removed_ = false;
};

class StartPageTest : public ProgramTest {
 protected:
  void PressAndExpectBox(const std::wstring& text, const std::wstring& caption) {
    ASSERT_TRUE(driver::ClickButton(Child(MainWindow(), kStartPageButton)));
    const auto box = driver::WaitForMessageBox(Pid());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, text);
    EXPECT_EQ(box->caption, caption);
    EXPECT_TRUE(driver::AnswerMessageBox(*box, IDOK));
  }
};

TEST_F(StartPageTest, WritesTheSiteAsTheStartPageAndThanks) {
  ASSERT_TRUE(KeyExists(kMainKey)) << "the prefix lacks the browser's key";
  testing::ScopedUserValue startPage(kMainKey, L"Start Page");
  ASSERT_TRUE(startPage.Set(L"about:blank"));
  PressAndExpectBox(L"www.stolver.ru установлена Вашей стартовой страницей", L"Спасибо !");
  EXPECT_EQ(StartPage(), L"http://www.stolver.ru");
}

TEST_F(StartPageTest, WithoutTheBrowsersKeyCreatesNothingAndSaysSo) {
  RemovedKey removed;
  ASSERT_TRUE(removed.Removed());
  PressAndExpectBox(L"Не удалось сделать www.stolver.ru Вашей стартовой страницей",
                    L"Стартовая страница не изменена");
  EXPECT_FALSE(KeyExists(kMainKey));
}

}  // namespace
}  // namespace deskfind::e2e
