#include <windows.h>

#include <wininet.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/services.h"
#include "platform/utf16.h"
#include "tests/support/local_http_server.h"
#include "update/get_inet_file.h"

namespace deskfind {
namespace {

using testing::HeaderValue;
using testing::HttpReply;
using testing::LocalHttpServer;
using testing::ScopedProxy;

// Every address reaches the test's server through the proxy; the host is never resolved.
constexpr char kAddress[] = "http://update.deskfind.test/proga/file.bin";

// Bytes that differ from block to block, so a lost, repeated or reordered block shows.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 1024) % 251);
  return bytes;
}

// A fresh folder per test, removed with everything in it afterwards.
class GetInetFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"deskfind-get-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(GetTickCount()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    for (const std::wstring& name : FolderContents()) DeleteFileW((folder_ + name).c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  void Serve(LocalHttpServer::Handler handler) {
    server_.emplace(std::move(handler));
    proxy_.emplace(server_->Port());
  }
  void ServeAlways(const HttpReply& reply) {
    Serve([reply](const std::string&) { return reply; });
  }

  std::string Target(const wchar_t* name = L"target.bin") const { return Utf8(folder_ + name); }

  std::vector<std::wstring> FolderContents() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder_ + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }

  static std::optional<std::string> Contents(const std::string& path) {
    std::ifstream file(Utf16(path).c_str(), std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(Utf16(path).c_str(), std::ios::binary) << bytes;
  }

  std::wstring folder_;
  std::optional<LocalHttpServer> server_;  // outlives nothing: the proxy goes first
  std::optional<ScopedProxy> proxy_;
};

TEST_F(GetInetFileTest, WritesABodyOfManyBlocksWholeAndInOrder) {
  const std::string body = Pattern(5 * 1024 + 300);
  ServeAlways(HttpReply::Make(200, body));
  ASSERT_TRUE(GetInetFile(kAddress, Target()));
  EXPECT_EQ(Contents(Target()), body);
  EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"target.bin"});
}

TEST_F(GetInetFileTest, ReplacesAnEarlierFileAndAcceptsAnEmptyBody) {
  WriteFile(Target(), "earlier contents");
  ServeAlways(HttpReply::Make(200, ""));
  ASSERT_TRUE(GetInetFile(kAddress, Target()));
  EXPECT_EQ(Contents(Target()), "");

  // A body that ends with the connection, without Content-Length, is complete too.
  server_.reset(), proxy_.reset();
  ServeAlways(HttpReply::UntilClose(Pattern(3000)));
  ASSERT_TRUE(GetInetFile(kAddress, Target()));
  EXPECT_EQ(Contents(Target()), Pattern(3000));
}

TEST_F(GetInetFileTest, RequestNamesTheProgramAndAsksPastEveryCache) {
  ServeAlways(HttpReply::Make(200, "1"));
  ASSERT_TRUE(GetInetFile(kAddress, Target()));
  const auto requests = server_->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(testing::RequestPath(requests[0]), "/proga/file.bin");
  EXPECT_EQ(HeaderValue(requests[0], "User-Agent"), Utf8(ProgramFileName()));
  EXPECT_EQ(HeaderValue(requests[0], "Pragma"), "no-cache");
}

TEST_F(GetInetFileTest, AFreshCopyEveryTimeEvenWhenTheServerAllowsCaching) {
  constexpr char kCachedAddress[] = "http://update.deskfind.test/proga/version.txt";
  DeleteUrlCacheEntryW(Utf16(kCachedAddress).c_str());
  int served = 0;
  Serve([&served](const std::string&) {
    return HttpReply::Make(200, ++served == 1 ? "1" : "1,1",
                           "Cache-Control: public, max-age=3600\r\n"
                           "Last-Modified: Mon, 01 Jan 2024 00:00:00 GMT\r\n");
  });
  ASSERT_TRUE(GetInetFile(kCachedAddress, Target()));
  EXPECT_EQ(Contents(Target()), "1");
  ASSERT_TRUE(GetInetFile(kCachedAddress, Target()));
  EXPECT_EQ(Contents(Target()), "1,1");
  EXPECT_EQ(server_->Requests().size(), 2u);

  // Nothing was written to the cache either.
  DWORD size = 0;
  EXPECT_FALSE(GetUrlCacheEntryInfoW(Utf16(kCachedAddress).c_str(), nullptr, &size));
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

// Every failure: false, no file of the target's name and nothing else left in the folder,
// or, when the target existed, the earlier file as it was.
struct FailureCase {
  const char* name;
  HttpReply reply;
};

class GetInetFileFailureTest : public GetInetFileTest,
                               public ::testing::WithParamInterface<FailureCase> {};

TEST_P(GetInetFileFailureTest, LeavesNoFileBehind) {
  ServeAlways(GetParam().reply);
  EXPECT_FALSE(GetInetFile(kAddress, Target()));
  EXPECT_TRUE(FolderContents().empty());
}

TEST_P(GetInetFileFailureTest, LeavesAnEarlierFileUntouched) {
  WriteFile(Target(), "earlier contents");
  ServeAlways(GetParam().reply);
  EXPECT_FALSE(GetInetFile(kAddress, Target()));
  EXPECT_EQ(Contents(Target()), "earlier contents");
  EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"target.bin"});
}

INSTANTIATE_TEST_SUITE_P(
    Replies, GetInetFileFailureTest,
    ::testing::Values(FailureCase{"NotFound", HttpReply::Make(404, "<html>Not found</html>")},
                      FailureCase{"ServerError", HttpReply::Make(500, Pattern(2000))},
                      FailureCase{"CutShort", HttpReply::CutShort(Pattern(1500), 4000)},
                      FailureCase{"CutShortInFirstBlock", HttpReply::CutShort("MZ", 600)}),
    [](const ::testing::TestParamInfo<FailureCase>& testCase) { return testCase.param.name; });

TEST_F(GetInetFileTest, FailsWhenNothingListens) {
  proxy_.emplace(testing::UnusedPort());
  EXPECT_FALSE(GetInetFile(kAddress, Target()));
  EXPECT_TRUE(FolderContents().empty());
}

TEST_F(GetInetFileTest, GivesUpOnAServerThatNeverAnswers) {
  ServeAlways(HttpReply::Stall());
  DownloadLimits limits;
  limits.timeoutMilliseconds = 1500;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(GetInetFile(kAddress, Target(), limits));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(1000));
  EXPECT_LT(elapsed, std::chrono::seconds(15));
  EXPECT_TRUE(FolderContents().empty());
}

TEST_F(GetInetFileTest, ABodyOverTheLimitFailsWithOrWithoutContentLength) {
  DownloadLimits limits;
  limits.maxBytes = 2048;
  ServeAlways(HttpReply::Make(200, Pattern(2048)));
  EXPECT_TRUE(GetInetFile(kAddress, Target(), limits));
  EXPECT_EQ(Contents(Target()), Pattern(2048));

  for (const HttpReply& reply :
       {HttpReply::Make(200, Pattern(2049)), HttpReply::UntilClose(Pattern(5000))}) {
    server_.reset(), proxy_.reset();
    ServeAlways(reply);
    EXPECT_FALSE(GetInetFile(kAddress, Target(), limits));
    EXPECT_EQ(Contents(Target()), Pattern(2048));
    EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"target.bin"});
  }
}

TEST_F(GetInetFileTest, ALocalFileThatCannotBeWrittenIsAnError) {
  ServeAlways(HttpReply::Make(200, "1,1"));
  EXPECT_THROW(GetInetFile(kAddress, Utf8(folder_ + L"missing\\target.bin")), std::runtime_error);
  EXPECT_TRUE(FolderContents().empty());
}

}  // namespace
}  // namespace deskfind
