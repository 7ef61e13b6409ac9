#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/program.h"
#include "tests/support/local_http_server.h"

namespace deskfind::e2e {
namespace {

using driver::Milliseconds;
using testing::HttpReply;
using testing::ReadBytes;

const std::wstring kUpdateButton = L"Закачать новую версию программы";
const std::wstring kErrorText = L"Не удаётся закачать новую версию программы";
const std::wstring kErrorCaption = L"Проверьте наличие соединения с интернетом";
const std::wstring kOfferText =
    L"Есть новая версия программы!\rБудем скачивать ???\r\rОбъём скачиваемого файла ~ 0,6 Мб";
const std::wstring kNewProgram = L"deskfind1,1.exe";
constexpr char kVersionPath[] = "/proga/version.txt";
constexpr char kSignaturePath[] = "/proga/version.sig";
// Where a signed copy keeps the newest `issued` it accepted.
const std::wstring kRecordKey = L"Software\\Столвер\\deskfind";
constexpr wchar_t kIssuedValue[] = L"VersionIssued";
constexpr char kProgramPath[] = "/proga/deskfind.exe";
// The program gives a silent server 30 s, and the version file 30 s in all; the box follows a
// little later under Wine.
constexpr Milliseconds kStalledServerWait{60000};

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream(path.c_str(), std::ios::binary) << bytes;
}

// The new version the site serves: a small program that records its start.
std::string MarkerProgram() {
  static const std::string bytes =
      ReadBytes(driver::WindowsPath(DESKFIND_UPDATE_MARKER)).value_or(std::string());
  return bytes;
}

// A file made by the build's signing step (see tests/tools/make-signed-subjects.sh).
std::wstring SignedSubject(const std::string& name) {
  return driver::WindowsPath(std::string(DESKFIND_SIGNED_SUBJECTS) + "/" + name);
}

// "MZ" and a header that points at no "PE" signature: 32-bit Windows would run it as a DOS
// program, and the hand-over would close this one for nothing.
std::string DosProgram() {
  std::string bytes = "MZ" + std::string(4094, '\0');
  bytes[0x3C] = 0x40;
  return bytes;
}

std::vector<std::wstring> FilesLike(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// The program under test with the shop's site served by a local server through the prefix's
// proxy setting. Each test publishes what the site serves, then starts the program.
class UpdateTest : public ProgramTest {
 protected:
  void SetUp() override {
    folder_ = programPath_.substr(0, programPath_.find_last_of(L'\\') + 1);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRecordKey.c_str(), kIssuedValue);
    RemoveUpdateFiles();
    ASSERT_FALSE(MarkerProgram().empty()) << "the stand-in program was not built";
  }

  void TearDown() override {
    program_.reset();          // ends the program (if still running) before the settings come back
    SetEvent(release_.get());  // a reply held midway goes on, so that the server can stop
    if (server_) {
      for (const std::string& request : server_->Requests()) {
        EXPECT_EQ(testing::HeaderValue(request, "User-Agent"), "deskfind.exe") << request;
      }
    }
    proxy_.reset();
    decimal_.reset();
    server_.reset();
    RemoveUpdateFiles();
  }

  void Publish(const std::string& path, const HttpReply& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    site_[path] = reply;
  }
  // The version data NAME.txt of the signing step, and its signature NAME.sig unless told not to.
  // Returns the data.
  std::string PublishVersionData(const std::string& name, bool withSignature = true) {
    const std::string data = ReadBytes(SignedSubject(name + ".txt")).value_or("");
    EXPECT_FALSE(data.empty()) << name;
    Publish(kVersionPath, HttpReply::Make(200, data));
    if (withSignature) {
      Publish(kSignaturePath,
              HttpReply::Make(200, ReadBytes(SignedSubject(name + ".sig")).value_or("")));
    }
    return data;
  }
  static std::optional<std::wstring> AcceptedIssued() {
    wchar_t text[64] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, kRecordKey.c_str(), kIssuedValue, RRF_RT_REG_SZ, nullptr,
                     text, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return text;
  }

  // Starts the program; serves the site unless `serve` is false (then nothing listens).
  void Start(bool commaLocale, bool serve = true) {
    if (serve) {
      server_.emplace([this](const std::string& head) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = site_.find(testing::RequestPath(head));
        return found != site_.end() ? found->second : HttpReply::Make(404, "<html>404</html>");
      });
    }
    proxy_.emplace(serve ? server_->Port() : testing::UnusedPort());
    if (commaLocale) {
      decimal_.emplace(L"Control Panel\\International", L"sDecimal");
      ASSERT_TRUE(decimal_->Set(L","));
    }
    ProgramTest::SetUp();
  }

  void PressUpdate() { ASSERT_TRUE(driver::ClickButton(Child(MainWindow(), kUpdateButton))); }

  HWND WaitForQuestion(Milliseconds timeout = driver::kDefaultTimeout) {
    return driver::WaitForTopWindow(Pid(), kFormClass, L"Warning", timeout);
  }
  // The question's own text: the longest text among its controls.
  static std::wstring QuestionText(HWND question) {
    std::wstring text;
    for (const driver::ChildInfo& child : driver::Children(question)) {
      if (child.text.size() > text.size()) text = child.text;
    }
    return text;
  }
  static void Answer(HWND question, bool yes) {
    ASSERT_TRUE(driver::ClickButton(Child(question, yes ? L"&Yes" : L"&No")));
    ASSERT_TRUE(driver::WaitForDestroyed(question));
  }

  void ExpectBoxAndClose(const std::wstring& text, const std::wstring& caption,
                         Milliseconds timeout = driver::kDefaultTimeout) {
    std::wstring shownText;
    CloseBox(caption, shownText, timeout);
    EXPECT_EQ(shownText, text);
  }
  // Answers the message box with the caption; `text` receives what it said, and `icon`, when
  // given, its icon.
  void CloseBox(const std::wstring& caption, std::wstring& text,
                Milliseconds timeout = driver::kDefaultTimeout,
                driver::MessageBoxIcon* icon = nullptr) {
    auto box = driver::WaitForMessageBox(Pid(), timeout);
    ASSERT_TRUE(box.has_value()) << "no message box";
    // After a download of many seconds the program's thread counts as hung until the box's
    // own loop has run, and reading its caption fails meanwhile: read the box again.
    const HWND shown = box->hwnd;
    driver::WaitUntil([&] {
      box = driver::ReadMessageBox(shown);
      return !box || !box->caption.empty();
    });
    ASSERT_TRUE(box.has_value()) << "the message box went";
    text = box->text;
    EXPECT_EQ(box->caption, caption);
    if (icon) *icon = driver::IdentifyIcon(*box);
    ASSERT_TRUE(driver::AnswerMessageBox(*box, IDOK));
  }

  // Presses the button with version 1,1 published and answers Yes to the offer.
  void AcceptOffer() {
    PressUpdate();
    const HWND offer = WaitForQuestion();
    ASSERT_NE(offer, nullptr) << "no offer";
    EXPECT_EQ(QuestionText(offer), kOfferText);
    Answer(offer, true);
  }

  std::wstring NewProgramPath() const { return folder_ + kNewProgram; }
  std::vector<std::string> RequestedPaths() const {
    std::vector<std::string> paths;
    for (const std::string& request : server_->Requests()) {
      paths.push_back(testing::RequestPath(request));
    }
    return paths;
  }
  void ExpectNoProgramFileLeft() const {
    EXPECT_EQ(GetFileAttributesW(NewProgramPath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(FilesLike(folder_ + L"deskfind-download-*").empty());
  }

  void RemoveUpdateFiles() const {
    for (const std::wstring& name :
         {std::wstring(L"version.txt"), kNewProgram, kNewProgram + L".started"}) {
      DeleteFileW((folder_ + name).c_str());
    }
    for (const std::wstring& name : FilesLike(folder_ + L"deskfind-download-*")) {
      DeleteFileW((folder_ + name).c_str());
    }
    RemoveDirectoryW((folder_ + kNewProgram).c_str());
  }

  // A program file of 300 KiB that comes slowly: 50 KiB, then the next 50 KiB once release_ is
  // set (the program's read waits meanwhile), then a byte every 10 ms.
  HttpReply SlowProgram() {
    constexpr std::size_t kBody = 300 * 1024, kPiece = 50 * 1024;
    HttpReply reply = HttpReply::Make(200, std::string(kBody, 'x'));
    const std::size_t head = reply.bytes.size() - kBody;
    reply.rest = reply.bytes.substr(head + kPiece, kPiece);
    reply.bytes.resize(head + kPiece);
    HANDLE release = release_.get();
    reply.midway = [release] { WaitForSingleObject(release, 60000); };
    reply.trickle = Milliseconds{10};
    return reply;
  }
  // The progress window's text, bar and button once it shows the text `received`.
  struct ProgressWindow {
    HWND window = nullptr, text = nullptr, bar = nullptr, cancel = nullptr;
  };
  ProgressWindow WaitForProgress(const std::wstring& caption, const std::wstring& received) {
    ProgressWindow shown;
    shown.window = driver::WaitForTopWindow(Pid(), kFormClass, caption);
    EXPECT_NE(shown.window, nullptr) << "no window " << driver::Utf8(caption);
    if (!shown.window) return shown;
    shown.text = driver::FindChildByClass(shown.window, L"Static");
    shown.bar = driver::FindChildByClass(shown.window, L"msctls_progress32");
    shown.cancel = Child(shown.window, L"Отмена");
    EXPECT_TRUE(driver::WaitUntil([&] { return driver::WindowText(shown.text) == received; }))
        << driver::Utf8(driver::WindowText(shown.text));
    return shown;
  }
  // Whether the main window answers at once, as a window that is not hung does.
  bool MainWindowAnswers() const {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
  }
  // The program as a cancelled download leaves it: no box, no new file, the main window
  // enabled and active.
  void ExpectNothingAfterCancel() {
    EXPECT_FALSE(driver::WaitForMessageBox(Pid(), Milliseconds{1500}).has_value());
    EXPECT_TRUE(
        driver::WaitUntil([&] { return FilesLike(folder_ + L"deskfind-download-*").empty(); }));
    ExpectNoProgramFileLeft();
    EXPECT_TRUE(IsWindowEnabled(MainWindow()));
    EXPECT_EQ(GetForegroundWindow(), MainWindow());
    EXPECT_TRUE(Program().IsRunning());
  }

  std::wstring folder_;
  std::unique_ptr<void, decltype(&CloseHandle)> release_{
      CreateEventW(nullptr, TRUE, FALSE, nullptr), &CloseHandle};
  std::mutex mutex_;
  std::map<std::string, HttpReply> site_;
  std::optional<testing::LocalHttpServer> server_;
  std::optional<testing::ScopedProxy> proxy_;
  std::optional<testing::ScopedUserValue> decimal_;
  // Whatever the tests keep there goes when they end.
  testing::ScopedUserValue acceptedIssued_{kRecordKey, kIssuedValue};
};

TEST_F(UpdateTest, SameVersionSaysComeBackLater) {
  Publish(kVersionPath, HttpReply::Make(200, "1\r\n"));
  Start(false);
  PressUpdate();
  ExpectBoxAndClose(L"Новой версии программы пока нет!", L"Зайдите через недельку :-))");
  EXPECT_EQ(RequestedPaths(), std::vector<std::string>{kVersionPath});
  ExpectNoProgramFileLeft();
  EXPECT_EQ(ReadBytes(folder_ + L"version.txt"), "1\r\n");
}

TEST_F(UpdateTest, YesStoresTheNewVersionBesideTheProgramAndHandsOverToIt) {
  Publish(kVersionPath, HttpReply::Make(200, "1,1\r\nnotes\r\n"));
  Publish(kProgramPath, HttpReply::Make(200, MarkerProgram()));
  Start(true);
  AcceptOffer();

  const HWND handOver = WaitForQuestion();
  ASSERT_NE(handOver, nullptr) << "no hand-over question";
  EXPECT_EQ(QuestionText(handOver),
            L"Новая версия программы закачена!\r\rпод именем deskfind1,1.exe\r\rв папку " +
                folder_ + L"\r\rЗапустить новую версию, закрыв старую ???");
  EXPECT_EQ(ReadBytes(NewProgramPath()), MarkerProgram());
  EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{kVersionPath, kProgramPath}));

  Answer(handOver, true);
  EXPECT_TRUE(driver::WaitUntil([&] {
    return GetFileAttributesW((NewProgramPath() + L".started").c_str()) != INVALID_FILE_ATTRIBUTES;
  })) << "the new version did not start";
  EXPECT_TRUE(Program().WaitForExit()) << "the old version did not end";
}

TEST_F(UpdateTest, NoAtTheHandOverKeepsTheNewFileAndTheRunningProgram) {
  Publish(kVersionPath, HttpReply::Make(200, "1,1"));
  Publish(kProgramPath, HttpReply::Make(200, MarkerProgram()));
  Start(true);
  AcceptOffer();
  const HWND handOver = WaitForQuestion();
  ASSERT_NE(handOver, nullptr);
  Answer(handOver, false);

  // The hidden memo holds the version text, not the start of the program file.
  std::vector<std::wstring> editTexts;
  for (const driver::ChildInfo& child : driver::Children(MainWindow())) {
    if (child.className == L"Edit") editTexts.push_back(child.text);
  }
  EXPECT_EQ(editTexts, std::vector<std::wstring>{L"1,1"});
  EXPECT_FALSE(driver::WaitForMessageBox(Pid(), Milliseconds{1000}).has_value());
  EXPECT_TRUE(Program().IsRunning());
  EXPECT_TRUE(driver::IsInteractive(MainWindow()));
  EXPECT_EQ(ReadBytes(NewProgramPath()), MarkerProgram());
  EXPECT_EQ(GetFileAttributesW((NewProgramPath() + L".started").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UpdateTest, NoAtTheOfferDownloadsNothing) {
  Publish(kVersionPath, HttpReply::Make(200, "1,1"));
  Publish(kProgramPath, HttpReply::Make(200, MarkerProgram()));
  Start(true);
  PressUpdate();
  const HWND offer = WaitForQuestion();
  ASSERT_NE(offer, nullptr);
  Answer(offer, false);

  EXPECT_FALSE(driver::WaitForMessageBox(Pid(), Milliseconds{1000}).has_value());
  EXPECT_EQ(RequestedPaths(), std::vector<std::string>{kVersionPath});
  ExpectNoProgramFileLeft();
  EXPECT_TRUE(Program().IsRunning());
}

TEST_F(UpdateTest, AVersionFileTheSiteAllowsToCacheIsFetchedAgainAtTheNextPress) {
  Publish(kVersionPath, HttpReply::Make(200, "1", "Cache-Control: public, max-age=3600\r\n"));
  Start(true);
  PressUpdate();
  ExpectBoxAndClose(L"Новой версии программы пока нет!", L"Зайдите через недельку :-))");

  Publish(kVersionPath, HttpReply::Make(200, "1,1", "Cache-Control: public, max-age=3600\r\n"));
  PressUpdate();
  const HWND offer = WaitForQuestion();
  ASSERT_NE(offer, nullptr) << "the second press did not see the new version";
  Answer(offer, false);
  EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{kVersionPath, kVersionPath}));
}

TEST_F(UpdateTest, FollowsTheSiteWhenItMoves) {
  Publish(kVersionPath, HttpReply::Redirect(302, "http://mirror.deskfind.test/new/version.txt"));
  Publish("/new/version.txt", HttpReply::Make(200, "1,1"));
  Publish(kProgramPath, HttpReply::Redirect(308, "/new/deskfind.exe"));
  Publish("/new/deskfind.exe", HttpReply::Make(200, MarkerProgram()));
  Start(true);
  AcceptOffer();
  const HWND handOver = WaitForQuestion();
  ASSERT_NE(handOver, nullptr) << "no hand-over question";
  EXPECT_EQ(ReadBytes(NewProgramPath()), MarkerProgram());
  Answer(handOver, false);
  EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{kVersionPath, "/new/version.txt",
                                                        kProgramPath, "/new/deskfind.exe"}));
}

// Files of earlier presses stay byte for byte whatever the site sends instead.
TEST_F(UpdateTest, EarlierFilesSurviveRefusedDownloadsUntouched) {
  WriteBytes(folder_ + L"version.txt", "1,1\r\n");
  WriteBytes(NewProgramPath(), "MZ earlier download");
  Publish(kVersionPath, HttpReply::Make(200, "1,2\r\n" + std::string(70 * 1024, 'x')));
  Start(true);
  PressUpdate();
  ExpectBoxAndClose(kErrorText, kErrorCaption);
  EXPECT_EQ(ReadBytes(folder_ + L"version.txt"), "1,1\r\n");

  Publish(kVersionPath, HttpReply::Make(200, "1,1"));
  for (const HttpReply& program :
       {HttpReply::CutShort(MarkerProgram().substr(0, 5000), MarkerProgram().size()),
        HttpReply::Make(200, "<html>Wi-Fi login</html>"), HttpReply::Make(200, DosProgram())}) {
    Publish(kProgramPath, program);
    AcceptOffer();
    ExpectBoxAndClose(kErrorText, kErrorCaption);
    EXPECT_EQ(ReadBytes(NewProgramPath()), "MZ earlier download");
  }
  EXPECT_TRUE(FilesLike(folder_ + L"deskfind-download-*").empty());

  // A folder has the program file's name: the box names the file and the system's reason.
  ASSERT_TRUE(DeleteFileW(NewProgramPath().c_str()));
  ASSERT_TRUE(CreateDirectoryW(NewProgramPath().c_str(), nullptr));
  Publish(kProgramPath, HttpReply::Make(200, MarkerProgram()));
  AcceptOffer();
  std::wstring text;
  CloseBox(kErrorCaption, text);
  const std::wstring named =
      kErrorText + L"\r\rНе удалось записать файл " + NewProgramPath() + L": ";
  EXPECT_EQ(text.substr(0, named.size()), named);
  EXPECT_GT(text.size(), named.size());
  EXPECT_EQ(text.find_first_of(L"\r\n", named.size()), std::wstring::npos) << text;
  EXPECT_NE(GetFileAttributesW(NewProgramPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_TRUE(FilesLike(folder_ + L"deskfind-download-*").empty());
}

// The ways a customer stops a download in its window.
enum class CancelBy { kButton, kEscape, kEnter, kSpace, kCloseBox };

class CancelTest : public UpdateTest, public ::testing::WithParamInterface<CancelBy> {};

// A slow program file shows how much has come, the windows keep answering throughout, and
// Cancel ends the download within a second without a word, leaving nothing new behind.
TEST_P(CancelTest, ASlowProgramFileShowsItsProgressAndCancelLeavesNothing) {
  Publish(kVersionPath, HttpReply::Make(200, "1,1"));
  Publish(kProgramPath, SlowProgram());
  Start(true);
  AcceptOffer();
  const ProgressWindow progress =
      WaitForProgress(L"Закачка новой версии программы", L"Получено 50 КБ из 300 КБ");
  ASSERT_NE(progress.bar, nullptr);
  const auto firstPosition = SendMessageW(progress.bar, PBM_GETPOS, 0, 0);
  EXPECT_GT(firstPosition, 0);
  EXPECT_FALSE(IsWindowEnabled(MainWindow()));
  EXPECT_EQ(driver::FocusedWindow(progress.window), progress.cancel);
  EXPECT_EQ(driver::AccessibleName(progress.bar), L"Закачка новой версии программы");
  EXPECT_EQ(driver::AccessibleName(progress.cancel), L"Отмена");
  for (int check = 0; check < 20; ++check, Sleep(100)) ASSERT_TRUE(MainWindowAnswers()) << check;

  SetEvent(release_.get());
  EXPECT_TRUE(driver::WaitUntil(
      [&] { return driver::WindowText(progress.text) == L"Получено 100 КБ из 300 КБ"; }));
  EXPECT_GT(SendMessageW(progress.bar, PBM_GETPOS, 0, 0), firstPosition);
  EXPECT_TRUE(MainWindowAnswers());

  switch (GetParam()) {
    case CancelBy::kButton:
      ASSERT_TRUE(driver::ClickButton(progress.cancel));
      break;
    case CancelBy::kEscape:
      driver::PressEscape(progress.window);
      break;
    case CancelBy::kEnter:
      driver::PressEnter(progress.window);
      break;
    case CancelBy::kSpace:
      driver::PressKey(progress.window, VK_SPACE);
      break;
    case CancelBy::kCloseBox:
      PostMessageW(progress.window, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
  }
  EXPECT_TRUE(driver::WaitForDestroyed(progress.window, Milliseconds{1000}));
  ExpectNothingAfterCancel();
}

std::string CancelName(const ::testing::TestParamInfo<CancelBy>& info) {
  const char* const names[] = {"Button", "Escape", "Enter", "Space", "CloseBox"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, CancelTest,
                         ::testing::Values(CancelBy::kButton, CancelBy::kEscape, CancelBy::kEnter,
                                           CancelBy::kSpace, CancelBy::kCloseBox),
                         CancelName);

// A version file that does not come within half a second shows its window, without a length;
// Cancel keeps the version file stored before.
TEST_F(UpdateTest, CancelDuringASlowVersionFileKeepsTheStoredOne) {
  WriteBytes(folder_ + L"version.txt", "1\r\n");
  Publish(kVersionPath, HttpReply::Trickle(Milliseconds{200}));
  Start(true);
  PressUpdate();
  const ProgressWindow progress =
      WaitForProgress(L"Проверка новой версии программы", L"Получено 0 КБ");
  ASSERT_NE(progress.window, nullptr);
  EXPECT_NE(GetWindowLongW(progress.bar, GWL_STYLE) & PBS_MARQUEE, 0);
  driver::PressEscape(progress.window);
  EXPECT_TRUE(driver::WaitForDestroyed(progress.window, Milliseconds{1000}));
  ExpectNothingAfterCancel();
  EXPECT_EQ(ReadBytes(folder_ + L"version.txt"), "1\r\n");
}

// Asked to end while a download waits for the network, the program ends at once and the
// system removes the download's file with it. Windows may end the program as soon as it has
// told it that it ends: the file is removed then too.
enum class Ending { kClosed, kSessionEnds, kKilledOnceTold };

class EndDuringDownloadTest : public UpdateTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(EndDuringDownloadTest, TheProgramEndsAndLeavesNothing) {
  const Ending ending = GetParam();
  Publish(kVersionPath, HttpReply::Make(200, "1,1"));
  Publish(kProgramPath, SlowProgram());
  Start(true);
  AcceptOffer();
  WaitForProgress(L"Закачка новой версии программы", L"Получено 50 КБ из 300 КБ");
  ASSERT_FALSE(FilesLike(folder_ + L"deskfind-download-*").empty());
  if (ending == Ending::kClosed) {
    PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
  } else {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(MainWindow(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(answer, TRUE);
    SendMessageTimeoutW(MainWindow(), WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    if (ending == Ending::kKilledOnceTold) TerminateProcess(Program().Handle(), 0);
  }
  ASSERT_TRUE(Program().WaitForExit(Milliseconds{5000}));
  EXPECT_EQ(Program().ExitCode(), 0u);  // no crash on the way out
  EXPECT_TRUE(
      driver::WaitUntil([&] { return FilesLike(folder_ + L"deskfind-download-*").empty(); }));
  EXPECT_EQ(GetFileAttributesW(NewProgramPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

std::string EndingName(const ::testing::TestParamInfo<Ending>& info) {
  switch (info.param) {
    case Ending::kClosed:
      return "Closed";
    case Ending::kSessionEnds:
      return "SessionEnds";
    case Ending::kKilledOnceTold:
      return "KilledOnceTold";
  }
  return {};
}

INSTANTIATE_TEST_SUITE_P(Asked, EndDuringDownloadTest,
                         ::testing::Values(Ending::kClosed, Ending::kSessionEnds,
                                           Ending::kKilledOnceTold),
                         EndingName);

// Every way the update can fail ends in the one error box, with no program file left.
struct FailureCase {
  const char* name;
  std::optional<HttpReply> version;  // none: nothing listens
  std::optional<HttpReply> program;  // set: the offer is accepted
  Milliseconds wait = driver::kDefaultTimeout;
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }

class UpdateFailureTest : public UpdateTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UpdateFailureTest, ShowsTheErrorBoxAndLeavesNoProgram) {
  const FailureCase& failure = GetParam();
  if (failure.version) Publish(kVersionPath, *failure.version);
  if (failure.program) Publish(kProgramPath, *failure.program);
  Start(true, failure.version.has_value());
  if (failure.program) {
    AcceptOffer();
  } else {
    PressUpdate();
  }
  ExpectBoxAndClose(kErrorText, kErrorCaption, failure.wait);
  EXPECT_EQ(WaitForQuestion(Milliseconds{0}), nullptr);
  EXPECT_TRUE(Program().IsRunning());
  ExpectNoProgramFileLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Site, UpdateFailureTest,
    ::testing::Values(
        FailureCase{"NotANumber", HttpReply::Make(200, "1.1 beta\r\n"), std::nullopt},
        FailureCase{"EmptyVersionFile", HttpReply::Make(200, ""), std::nullopt},
        FailureCase{"VersionFileNotFound", HttpReply::Make(404, "<html>1,1</html>"), std::nullopt},
        FailureCase{"NoServer", std::nullopt, std::nullopt},
        FailureCase{"VersionFileOver64KiB",
                    HttpReply::Make(200, "1,1\r\n" + std::string(70 * 1024, 'x')), std::nullopt},
        FailureCase{"VersionFileCutShort", HttpReply::CutShort("1,1", 200), std::nullopt},
        FailureCase{"ProgramCutShort", HttpReply::Make(200, "1,1"),
                    HttpReply::CutShort(std::string("MZ") + std::string(3000, 'p'), 9000)},
        FailureCase{"ProgramWithoutMZ", HttpReply::Make(200, "1,1"),
                    HttpReply::Make(200, "PK\3\4 not a program")},
        FailureCase{"ProgramNotFound", HttpReply::Make(200, "1,1"),
                    HttpReply::Make(404, "MZ<html>404</html>")},
        FailureCase{"ProgramWithoutPE", HttpReply::Make(200, "1,1"),
                    HttpReply::Make(200, DosProgram())},
        FailureCase{"ServerNeverAnswers", HttpReply::Stall(), std::nullopt, kStalledServerWait},
        FailureCase{"VersionFileTrickles", HttpReply::Trickle(Milliseconds{1000}), std::nullopt,
                    kStalledServerWait}),
    [](const ::testing::TestParamInfo<FailureCase>& testCase) { return testCase.param.name; });

// The program signed by the shop (here: with a test certificate A, as deskfind 1.0) starts only
// a newer version of itself that the same certificate signed.
enum class Outcome { kHandsOver, kNotSigned, kNotNewer, kDataNotSigned };

const std::wstring kUncheckedCaption = L"Новая версия не проверена";
const std::wstring kDataNotSignedText =
    L"Сведения о новой версии программы на сайте не подписаны магазином.";
const std::wstring kDataOlderText =
    L"Сведения о новой версии программы старше уже полученных: возможно, их подменили.";

struct SignedCase {
  const char* name;
  const char* subject;  // what the site serves as the new version
  Outcome outcome;
  const char* running = "deskfind/deskfind.exe";  // the program under test
  // Libraries of the names the update loads, planted beside the program, and preferred to the
  // system's by Wine as Windows prefers them for libraries that are not "known DLLs".
  bool plantedLibraries = false;
  const char* data = "version-a";  // the version data the site serves
};

void PrintTo(const SignedCase& signedCase, std::ostream* out) { *out << signedCase.name; }

class SignedUpdateTest : public UpdateTest, public ::testing::WithParamInterface<SignedCase> {
 protected:
  static constexpr const wchar_t* kPlanted[] = {L"wininet", L"wintrust"};

  void SetUp() override {
    programPath_ = SignedSubject(GetParam().running);
    UpdateTest::SetUp();
  }
  void TearDown() override {
    UpdateTest::TearDown();
    overrides_.clear();
    for (const wchar_t* name : kPlanted) DeleteFileW((folder_ + name + L".dll").c_str());
  }

  void PlantLibraries() {
    for (const wchar_t* name : kPlanted) {
      ASSERT_TRUE(
          CopyFileW(driver::MenuProbeDll().c_str(), (folder_ + name + L".dll").c_str(), FALSE));
      overrides_.push_back(std::make_unique<testing::ScopedUserValue>(
          L"Software\\Wine\\AppDefaults\\deskfind.exe\\DllOverrides", name));
      ASSERT_TRUE(overrides_.back()->Set(L"native,builtin"));
    }
  }

  std::vector<std::unique_ptr<testing::ScopedUserValue>> overrides_;
};

TEST_P(SignedUpdateTest, StartsOnlyANewerVersionThatTheSameCertificateSigned) {
  const std::string program = ReadBytes(SignedSubject(GetParam().subject)).value_or("");
  ASSERT_FALSE(program.empty());
  if (GetParam().plantedLibraries) PlantLibraries();
  PublishVersionData(GetParam().data);
  Publish(kProgramPath, HttpReply::Make(200, program));
  Start(true);
  if (GetParam().outcome == Outcome::kDataNotSigned) {
    PressUpdate();
    ExpectBoxAndClose(kDataNotSignedText, kUncheckedCaption);
    EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{kVersionPath, kSignaturePath}));
    return;
  }
  AcceptOffer();
  if (GetParam().outcome != Outcome::kHandsOver) {
    ExpectBoxAndClose(GetParam().outcome == Outcome::kNotSigned
                          ? L"Закачанный файл не подписан магазином Столвер и удалён"
                          : L"Закачанный файл не является новой версией программы и удалён",
                      L"Новая версия не запущена");
    EXPECT_TRUE(Program().IsRunning());
    ExpectNoProgramFileLeft();
    return;
  }
  const HWND handOver = WaitForQuestion();
  ASSERT_NE(handOver, nullptr) << "no hand-over question";
  EXPECT_EQ(ReadBytes(NewProgramPath()), program);
  Answer(handOver, true);
  EXPECT_TRUE(driver::WaitUntil([&] {
    return GetFileAttributesW((NewProgramPath() + L".started").c_str()) != INVALID_FILE_ATTRIBUTES;
  })) << "the new version did not start";
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, SignedUpdateTest,
    ::testing::Values(
        SignedCase{"SameCertificate", "marker-a.exe", Outcome::kHandsOver},
        SignedCase{"OtherCertificate", "marker-b.exe", Outcome::kNotSigned, "deskfind/deskfind.exe",
                   false, "version-for-marker-b"},
        // Changed, with its digest rewritten in the signed content (Wine alone would pass it).
        SignedCase{"DigestRewritten", "marker-a-rewritten.exe", Outcome::kNotSigned,
                   "deskfind/deskfind.exe", false, "version-for-marker-a-rewritten"},
        SignedCase{"Unsigned", "marker-unsigned.exe", Outcome::kNotSigned, "deskfind/deskfind.exe",
                   false, "version-for-marker-unsigned"},
        // Signed with A, but the same release again (a roll-back) or another program.
        SignedCase{"SameVersion", "deskfind/deskfind.exe", Outcome::kNotNewer,
                   "deskfind/deskfind.exe", false, "version-for-deskfind"},
        SignedCase{"OtherProduct", "marker-a-other.exe", Outcome::kNotNewer,
                   "deskfind/deskfind.exe", false, "version-for-marker-a-other"},
        // Signed with A, newer, this product, but not the build the data names; nor one of
        // another length; nor any, where the data names none.
        SignedCase{"AnotherBuildThanNamed", "marker-a2.exe", Outcome::kNotSigned},
        SignedCase{"WrongLength", "marker-a.exe", Outcome::kNotSigned, "deskfind/deskfind.exe",
                   false, "version-wrong-length"},
        SignedCase{"NoProgramNamed", "marker-a.exe", Outcome::kDataNotSigned,
                   "deskfind/deskfind.exe", false, "version-unnamed"},
        // A running program whose own certificate cannot be read is still a signed one, and no
        // signature can be its own.
        SignedCase{"OwnCertificateDamaged", "marker-a.exe", Outcome::kDataNotSigned,
                   "deskfind-cut/deskfind.exe"},
        // Nor can a running program whose own product name cannot be read tell a newer one.
        SignedCase{"OwnNameUnreadable", "marker-a.exe", Outcome::kNotNewer,
                   "deskfind-unnamed/deskfind.exe"},
        SignedCase{"PlantedLibraries", "marker-a.exe", Outcome::kHandsOver, "deskfind/deskfind.exe",
                   true},
        // The shop's renewed certificate B, vouched for by A's key in the data A's copy takes;
        // without that (OtherCertificate above) B's program is refused.
        SignedCase{"RenewedCertificate", "marker-b.exe", Outcome::kHandsOver,
                   "deskfind/deskfind.exe", false, "version-ba"}),
    [](const ::testing::TestParamInfo<SignedCase>& testCase) { return testCase.param.name; });

// The signed program takes version data only when the shop signed it, it has not expired, this
// computer's clock is not far behind it, and it is not older than data accepted before. Every
// refusal shows its box, offers nothing and stores nothing.
struct VersionDataCase {
  const char* name;
  const char* data;  // the signing step's version data, NAME.txt and NAME.sig
  bool withSignature;
  const wchar_t* text;  // the box's text; {expires} and {issued} stand for the data's days
  bool warning = false;
  // The newest `issued` accepted before, kept when the program starts.
  const wchar_t* acceptedBefore = nullptr;
};

void PrintTo(const VersionDataCase& versionCase, std::ostream* out) { *out << versionCase.name; }

// The day of the data's line `name` ("issued 2026-12-09T..."), as the boxes write it: 09.12.2026.
std::wstring DayOf(const std::string& data, const std::string& name) {
  const std::size_t at = data.find("\n" + name + " ");
  if (at == std::string::npos) return L"?";
  const std::string date = data.substr(at + name.size() + 2, 10);
  return driver::Utf16(date.substr(8, 2) + "." + date.substr(5, 2) + "." + date.substr(0, 4));
}

class VersionDataTest : public UpdateTest, public ::testing::WithParamInterface<VersionDataCase> {
 protected:
  void SetUp() override {
    programPath_ = SignedSubject("deskfind/deskfind.exe");
    UpdateTest::SetUp();
  }
  void ExpectNothingStored(const std::optional<std::wstring>& acceptedBefore) {
    EXPECT_EQ(GetFileAttributesW((folder_ + L"version.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(AcceptedIssued(), acceptedBefore);
    ExpectNoProgramFileLeft();
  }
};

TEST_P(VersionDataTest, RefusedDataShowsItsBoxAndLeavesNothing) {
  const VersionDataCase& c = GetParam();
  if (c.acceptedBefore) {
    ASSERT_TRUE(acceptedIssued_.Set(std::wstring(c.acceptedBefore)));
  }
  const std::string data = PublishVersionData(c.data, c.withSignature);
  Publish(kProgramPath, HttpReply::Make(200, MarkerProgram()));
  Start(true);
  PressUpdate();
  std::wstring text = c.text;
  for (const auto& [mark, line] : {std::pair{L"{expires}", "expires"}, {L"{issued}", "issued"}}) {
    const std::size_t at = text.find(mark);
    if (at != std::wstring::npos) text.replace(at, std::wcslen(mark), DayOf(data, line));
  }
  std::wstring shown;
  auto icon = driver::MessageBoxIcon::kNone;
  CloseBox(kUncheckedCaption, shown, driver::kDefaultTimeout, &icon);
  EXPECT_EQ(shown, text);
  EXPECT_EQ(icon, c.warning ? driver::MessageBoxIcon::kWarning : driver::MessageBoxIcon::kError);
  EXPECT_EQ(WaitForQuestion(Milliseconds{0}), nullptr);
  EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{kVersionPath, kSignaturePath}));
  EXPECT_TRUE(Program().IsRunning());
  ExpectNothingStored(c.acceptedBefore ? std::optional<std::wstring>(c.acceptedBefore)
                                       : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Site, VersionDataTest,
    ::testing::Values(
        VersionDataCase{"NoSignature", "version-a", false, kDataNotSignedText.c_str()},
        VersionDataCase{"OtherCertificate", "version-b", true, kDataNotSignedText.c_str()},
        VersionDataCase{"SignedAttributes", "version-attributes", true, kDataNotSignedText.c_str()},
        VersionDataCase{"Sha1", "version-sha1", true, kDataNotSignedText.c_str()},
        VersionDataCase{"ChangedData", "version-changed", true, kDataNotSignedText.c_str()},
        VersionDataCase{"Undated", "version-undated", true, kDataNotSignedText.c_str()},
        VersionDataCase{"Expired", "version-expired", true,
                        L"Сведения о новой версии программы на сайте устарели: они действительны "
                        L"до {expires}.\r\rПопробуйте позже.",
                        true},
        VersionDataCase{"ClockBehind", "version-ahead", true,
                        L"Часы этого компьютера отстают: сведения о новой версии программы "
                        L"выпущены {issued}.\r\rПроверьте дату и время.",
                        true},
        VersionDataCase{"OlderThanAccepted", "version-a", true, kDataOlderText.c_str(), false,
                        L"9999-12-31T23:59:59Z"}),
    [](const ::testing::TestParamInfo<VersionDataCase>& testCase) { return testCase.param.name; });

// Signed by another key besides this copy's, in one message, as while the shop changes
// certificates: the copy's own signer is found, though it stands second.
TEST_F(VersionDataTest, DataAlsoSignedByAnotherKeyIsAccepted) {
  const std::string data = PublishVersionData("version-ba");
  Start(true);
  PressUpdate();
  const HWND offer = WaitForQuestion();
  ASSERT_NE(offer, nullptr) << "no offer";
  Answer(offer, false);
  EXPECT_EQ(ReadBytes(folder_ + L"version.txt"), data);
}

// A copy that cannot read its own file names it in the error box, rather than calling the
// shop's data unsigned.
TEST_F(VersionDataTest, AnOwnFileThatCannotBeReadIsNamed) {
  PublishVersionData("version-a");
  Start(true);
  const HANDLE held = CreateFileW(programPath_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE) << "the program's file cannot be held";
  PressUpdate();
  std::wstring shown;
  CloseBox(kErrorCaption, shown);
  CloseHandle(held);
  const std::wstring named = kErrorText + L"\r\rНе удалось прочитать файл " + programPath_ + L": ";
  EXPECT_EQ(shown.substr(0, named.size()), named);
  EXPECT_TRUE(Program().IsRunning());
  ExpectNothingStored(std::nullopt);
}

// A signature the server failed to send says nothing of the shop: the connection's box.
TEST_F(VersionDataTest, ASignatureTheServerFailedToSendGivesTheConnectionBox) {
  PublishVersionData("version-a", false);
  Publish(kSignaturePath, HttpReply::Make(500, "<html>error</html>"));
  Start(true);
  PressUpdate();
  ExpectBoxAndClose(kErrorText, kErrorCaption);
  EXPECT_TRUE(Program().IsRunning());
  ExpectNothingStored(std::nullopt);
}

// The site serves the same data until the shop renews it: each press takes it again.
TEST_F(VersionDataTest, TheSameDataAgainIsAcceptedAndStored) {
  const std::string data = PublishVersionData("version-a");
  Start(true);
  for (int press = 0; press < 2; ++press) {
    PressUpdate();
    const HWND offer = WaitForQuestion();
    ASSERT_NE(offer, nullptr) << "no offer at press " << press;
    Answer(offer, false);
    EXPECT_EQ(ReadBytes(folder_ + L"version.txt"), data);
    const std::size_t at = data.find("issued ") + 7;
    EXPECT_EQ(AcceptedIssued(), driver::Utf16(data.substr(at, 20)));
  }
}

TEST_F(VersionDataTest, ALowerIssuedAfterAHigherIsRefusedAndTheHigherStays) {
  const std::string data = PublishVersionData("version-a");
  Start(true);
  PressUpdate();
  const HWND offer = WaitForQuestion();
  ASSERT_NE(offer, nullptr) << "no offer";
  Answer(offer, false);
  const std::optional<std::wstring> accepted = AcceptedIssued();
  ASSERT_TRUE(accepted.has_value());

  PublishVersionData("version-older");
  PressUpdate();
  ExpectBoxAndClose(kDataOlderText, kUncheckedCaption);
  EXPECT_EQ(ReadBytes(folder_ + L"version.txt"), data);
  EXPECT_EQ(AcceptedIssued(), accepted);
}

// After the hand-over, the new version takes the place of the installed deskfind.exe, so that
// the customer's shortcut starts it from then on. In a folder of their own: deskfind.exe as the
// customer installed it, and beside it the new version under the name the update gives it.
const std::wstring kInstalledName = L"deskfind.exe";
constexpr Milliseconds kOldCopyEnds{15000};

// This build of the program (1.0), and the same sources built as the next version (1,1).
std::string ThisVersion() {
  static const std::string bytes = ReadBytes(driver::ProgramUnderTest()).value_or(std::string());
  return bytes;
}
std::string NextVersion() {
  static const std::string bytes =
      ReadBytes(driver::WindowsPath(DESKFIND_NEXT_VERSION)).value_or(std::string());
  return bytes;
}

// `program` with another product's name of the same length in its version resource.
std::string AnotherProduct(std::string program) {
  const auto utf16 = [](const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) bytes += {c, '\0'};
    return bytes;
  };
  const std::size_t key = program.find(utf16("ProductName") + std::string(2, '\0'));
  const std::size_t name = program.find(utf16("deskfind"), key);
  if (key == std::string::npos || name == std::string::npos || name > key + 28) return {};
  return program.replace(name, 16, utf16("deskplan"));
}

class InstalledProgramTest : public UpdateTest {
 protected:
  void SetUp() override {
    wchar_t temporary[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temporary), 0u);
    installedFolder_ = std::wstring(temporary) + L"deskfind-installed\\";
    RemoveInstalledFolder();
    ASSERT_TRUE(CreateDirectoryW(installedFolder_.c_str(), nullptr));
    ASSERT_FALSE(ThisVersion().empty());
    ASSERT_FALSE(NextVersion().empty()) << "the next version was not built";
    Install(kInstalledName, ThisVersion());
    programPath_ = Installed();
    UpdateTest::SetUp();
  }
  void TearDown() override {
    UpdateTest::TearDown();
    EndOtherCopies();
    RemoveInstalledFolder();
  }

  std::wstring Installed() const { return installedFolder_ + kInstalledName; }
  void Install(const std::wstring& name, const std::string& bytes, bool readOnly = false) const {
    WriteBytes(installedFolder_ + name, bytes);
    if (readOnly) SetFileAttributesW((installedFolder_ + name).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  // Starts the copy `name` of the folder, with no site to reach.
  void StartCopy(const std::wstring& name) {
    programPath_ = installedFolder_ + name;
    Start(true, false);
  }
  // Closes the program as the customer does, and waits for its end.
  void CloseProgram() {
    PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(Program().WaitForExit());
  }
  bool InstalledIs(const std::string& bytes) const { return ReadBytes(Installed()) == bytes; }
  bool NoTemporaryFile() const {
    return FilesLike(installedFolder_ + L"deskfind-download-*").empty();
  }

  // The copy a hand-over started is no process of the test's: it is found by its main window.
  static HWND OtherMainWindow() { return FindWindowW(kFormClass.c_str(), kMainCaption.c_str()); }
  static void EndOtherCopies() {
    HWND window = nullptr;
    for (int attempt = 0; attempt < 5 && (window = OtherMainWindow()) != nullptr; ++attempt) {
      const std::unique_ptr<void, decltype(&CloseHandle)> process(
          OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, driver::WindowPid(window)),
          &CloseHandle);
      if (!process) return;
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 10000);
    }
  }
  void RemoveInstalledFolder() const {
    for (const std::wstring& name : FilesLike(installedFolder_ + L"*")) {
      const std::wstring path = installedFolder_ + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(installedFolder_.c_str());
  }

  std::wstring installedFolder_;
};

TEST_F(InstalledProgramTest, TheNewVersionHandedOverTakesTheInstalledPlace) {
  Publish(kVersionPath, HttpReply::Make(200, "1,1"));
  Publish(kProgramPath, HttpReply::Make(200, NextVersion()));
  Start(true);
  AcceptOffer();
  const HWND handOver = WaitForQuestion();
  ASSERT_NE(handOver, nullptr) << "no hand-over question";
  Answer(handOver, true);
  ASSERT_TRUE(Program().WaitForExit()) << "the old version did not end";

  EXPECT_TRUE(driver::WaitUntil([&] { return InstalledIs(NextVersion()); }, kOldCopyEnds));
  EXPECT_EQ(ReadBytes(NewProgramPath()), NextVersion());
  EXPECT_TRUE(NoTemporaryFile());
  const HWND handedOver = OtherMainWindow();
  ASSERT_NE(handedOver, nullptr) << "the new version did not start";
  EXPECT_FALSE(
      driver::WaitForMessageBox(driver::WindowPid(handedOver), Milliseconds{0}).has_value());
  EndOtherCopies();

  // The shortcut's next start.
  programPath_ = Installed();
  ProgramTest::SetUp();
  const HWND about = Open(Window::kAbout);
  ASSERT_NE(about, nullptr);
  EXPECT_NE(driver::FindChild(about, L"Version 1.1"), nullptr);
}

// A copy the old one still runs from cannot be replaced: the new version waits for it a while,
// then gives up without a word and leaves nothing behind. Its next start tries again, and
// replaces it once the old copy has ended.
TEST_F(InstalledProgramTest, AnInstalledCopyStillRunningIsReplacedOnceItEnds) {
  Install(L"deskfind1,1.exe", NextVersion());
  driver::Process installed = driver::Process::Launch(Installed());
  const HWND installedWindow = driver::WaitForTopWindow(installed.Pid(), kFormClass, kMainCaption);
  ASSERT_NE(installedWindow, nullptr);
  StartCopy(L"deskfind1,1.exe");
  EXPECT_TRUE(driver::WaitUntil([&] { return !NoTemporaryFile(); }));
  EXPECT_TRUE(driver::WaitUntil([&] { return NoTemporaryFile(); }, kOldCopyEnds * 2));
  EXPECT_FALSE(driver::WaitForMessageBox(Pid(), Milliseconds{0}).has_value());
  EXPECT_TRUE(InstalledIs(ThisVersion()));
  EXPECT_TRUE(Program().IsRunning());

  CloseProgram();
  ProgramTest::SetUp();
  EXPECT_TRUE(driver::WaitUntil([&] { return !NoTemporaryFile(); }));
  Sleep(1000);  // the old copy ends while the new one waits for it
  EXPECT_TRUE(InstalledIs(ThisVersion()));
  PostMessageW(installedWindow, WM_CLOSE, 0, 0);
  ASSERT_TRUE(installed.WaitForExit());
  EXPECT_TRUE(driver::WaitUntil([&] { return InstalledIs(NextVersion()); }, kOldCopyEnds));
  EXPECT_TRUE(NoTemporaryFile());
  EXPECT_FALSE(driver::WaitForMessageBox(Pid(), Milliseconds{0}).has_value());
}

// Only an older deskfind.exe of this product, and one that may be written, is replaced; a
// copy closed at once still finishes what it began.
enum class Build { kThis, kNext, kThisOfAnotherProduct };

std::string BytesOf(Build build) {
  switch (build) {
    case Build::kThis:
      return ThisVersion();
    case Build::kNext:
      return NextVersion();
    case Build::kThisOfAnotherProduct:
      return AnotherProduct(ThisVersion());
  }
  return {};
}

struct InstalledCase {
  const char* name;
  Build installed;
  bool readOnly;
  Build running;  // named as the update names the version it holds
  const wchar_t* runningName;
  bool replaced;
};

void PrintTo(const InstalledCase& installedCase, std::ostream* out) { *out << installedCase.name; }

class InstalledCaseTest : public InstalledProgramTest,
                          public ::testing::WithParamInterface<InstalledCase> {};

TEST_P(InstalledCaseTest, IsReplacedOnlyWhenOlderOfThisProductAndWritable) {
  const InstalledCase& c = GetParam();
  const std::string installed = BytesOf(c.installed);
  const std::string running = BytesOf(c.running);
  ASSERT_FALSE(installed.empty());
  ASSERT_TRUE(DeleteFileW(Installed().c_str()));
  Install(kInstalledName, installed, c.readOnly);
  Install(c.runningName, running);
  StartCopy(c.runningName);
  EXPECT_FALSE(driver::WaitForMessageBox(Pid(), Milliseconds{1000}).has_value());
  CloseProgram();
  EXPECT_TRUE(InstalledIs(c.replaced ? running : installed));
  EXPECT_TRUE(NoTemporaryFile());
}

INSTANTIATE_TEST_SUITE_P(
    Installed, InstalledCaseTest,
    ::testing::Values(
        InstalledCase{"Older", Build::kThis, false, Build::kNext, L"deskfind1,1.exe", true},
        InstalledCase{"Newer", Build::kNext, false, Build::kThis, L"deskfind1.exe", false},
        InstalledCase{"AnotherProduct", Build::kThisOfAnotherProduct, false, Build::kNext,
                      L"deskfind1,1.exe", false},
        InstalledCase{"ReadOnly", Build::kThis, true, Build::kNext, L"deskfind1,1.exe", false}),
    [](const ::testing::TestParamInfo<InstalledCase>& testCase) { return testCase.param.name; });

}  // namespace
}  // namespace deskfind::e2e
