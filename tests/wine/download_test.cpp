#include <windows.h>

#include <wininet.h>
#include <winsock2.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/dynamic_library.h"
#include "platform/services.h"
#include "platform/utf16.h"
#include "tests/support/local_http_server.h"
#include "update/download/download.h"
#include "update/download/receiving_thread.h"
#include "update/online_update.h"

namespace deskfind {
namespace {

using namespace std::chrono_literals;

using testing::HeaderValue;
using testing::HttpReply;
using testing::LocalHttpServer;
using testing::ReadBytes;
using testing::ScopedProxy;

// Every address reaches the test's server through the proxy; the host is never resolved.
constexpr char kAddress[] = "http://update.deskfind.test/proga/file.bin";

using Status = DownloadResult::Status;

// A file made by the build's signing step (see tests/tools/make-signed-subjects.sh).
std::string Subject(const char* name) {
  std::wstring path = L"Z:" + Utf16(DESKFIND_SIGNED_SUBJECTS) + L"/" + Utf16(name);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return ReadBytes(path).value_or(std::string());
}
const Certificate& CertificateA() {
  static const std::string bytes = Subject("a.der");
  static const Certificate certificate(bytes.begin(), bytes.end());
  return certificate;
}
const Certificate& CertificateA1() {
  static const std::string bytes = Subject("a1.der");
  static const Certificate certificate(bytes.begin(), bytes.end());
  return certificate;
}

// https://update.deskfind.test, served by the host's TLS server with the build's site
// certificate on a port of 127.0.0.1; the test's proxy relays to it. It ends by itself.
class TlsSite {
 public:
  TlsSite() : port_(testing::UnusedPort()) {
    const std::wstring folder = Utf16(DESKFIND_SIGNED_SUBJECTS);
    // It serves the readiness probe and one download, and keeps none of the test's output
    // streams open: the test's runner waits for those to close.
    std::wstring command =
        L"sh -c \"exec timeout 30 openssl s_server -quiet -www -naccept 2 -accept 127.0.0.1:" +
        std::to_wstring(port_) + L" -cert " + folder + L"/tls.pem -key " + folder +
        L"/tls.key </dev/null >/dev/null 2>&1\"";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    nothing_ = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nothing_;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
      CloseHandle(process.hThread);
      process_ = process.hProcess;
    }
  }
  TlsSite(const TlsSite&) = delete;
  TlsSite& operator=(const TlsSite&) = delete;
  ~TlsSite() {
    if (process_) {
      TerminateProcess(process_, 0);
      CloseHandle(process_);
    }
    CloseHandle(nothing_);
  }

  unsigned short Port() const { return port_; }
  // True once the server accepts connections (within 10 s).
  bool Ready() const {
    for (int polls = 0; polls < 100; ++polls, Sleep(100)) {
      const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = htons(port_);
      const bool connected =
          connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
      closesocket(probe);
      if (connected) return true;
    }
    return false;
  }

 private:
  unsigned short port_;
  HANDLE nothing_ = INVALID_HANDLE_VALUE;
  HANDLE process_ = nullptr;
};

// "MZ" with the offset of its "PE" signature, and what follows.
std::string DosHeader(std::uint32_t newHeaderAt, const std::string& then) {
  std::string bytes = "MZ" + std::string(62, '\0');
  for (int i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<char>(newHeaderAt >> (8 * i));
  return bytes + then;
}

// What the file must be: any body, a Windows program, a program signed with A, and that also
// newer than deskfind 1.0, or also at least deskfind 1,2 (the name it is stored under).
enum class Rules { kAny, kProgram, kSignedByA, kNewerSignedByA, kNewerSignedByANamed12 };
DownloadRules For(Rules kind, const Certificate* signer = &CertificateA()) {
  static const ProgramVersion kVersionOne{std::string("d\0e\0s\0k\0f\0i\0n\0d\0", 16),
                                          {1, 0, 0, 0}};
  static const std::array<std::uint16_t, 4> kVersionOneTwo{1, 2000, 0, 0};
  DownloadRules rules;
  if (kind == Rules::kAny) return rules;
  ProgramRequirements requirements;
  if (kind != Rules::kProgram) requirements.signer = signer;
  if (kind == Rules::kNewerSignedByA || kind == Rules::kNewerSignedByANamed12) {
    requirements.newerThan = &kVersionOne;
  }
  if (kind == Rules::kNewerSignedByANamed12) requirements.atLeast = &kVersionOneTwo;
  rules.accept = ProgramFileAcceptance(requirements);
  return rules;
}

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
    // Every download's thread ends once its server is gone: a process that ended while one
    // still ran could crash on its way out.
    proxy_.reset();
    server_.reset();
    EXPECT_TRUE(ReceivingThread::AllEnded(10000));
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
    return ReadBytes(Utf16(path));
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
  // Left by a download the program did not live to finish, older than any download: the next
  // one removes it. A young one may be another running copy's, and files that only look like
  // ours are not ours: they stay.
  const auto plant = [&](const wchar_t* name, bool old) {
    const std::wstring path = folder_ + name;
    WriteFile(Utf8(path), Pattern(2000));
    if (!old) return;
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    ULARGE_INTEGER ticks{{time.dwLowDateTime, time.dwHighDateTime}};
    ticks.QuadPart -= 20ULL * 60 * 10'000'000;  // 20 minutes ago
    time = {ticks.LowPart, ticks.HighPart};
    const HANDLE file =
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, &time, &time, &time));
    CloseHandle(file);
  };
  plant(L"deskfind-download-0badf00d.part", true);
  plant(L"deskfind-download-0badf00e.part", false);
  plant(L"deskfind-download-notes.part", true);
  plant(L"deskfind-download-0badf00g.part", true);
  ServeAlways(HttpReply::Make(200, body));
  ASSERT_TRUE(GetInetFile(kAddress, Target()).Done());
  EXPECT_EQ(Contents(Target()), body);
  EXPECT_EQ(FolderContents(),
            (std::vector<std::wstring>{L"deskfind-download-0badf00e.part",
                                       L"deskfind-download-0badf00g.part",
                                       L"deskfind-download-notes.part", L"target.bin"}));
}

TEST_F(GetInetFileTest, ReplacesAnEarlierFileAndAcceptsAnEmptyBody) {
  WriteFile(Target(), "earlier contents");
  ServeAlways(HttpReply::Make(200, ""));
  ASSERT_TRUE(GetInetFile(kAddress, Target()).Done());
  EXPECT_EQ(Contents(Target()), "");

  // A body that ends with the connection, without Content-Length, is complete too.
  server_.reset(), proxy_.reset();
  ServeAlways(HttpReply::UntilClose(Pattern(3000)));
  ASSERT_TRUE(GetInetFile(kAddress, Target()).Done());
  EXPECT_EQ(Contents(Target()), Pattern(3000));
}

TEST_F(GetInetFileTest, RequestNamesTheProgramAndAsksPastEveryCache) {
  // A cookie the site sets is never sent back: requests carry nothing of the user's.
  ServeAlways(HttpReply::Make(200, "1", "Set-Cookie: visitor=42; Path=/\r\n"));
  ASSERT_TRUE(GetInetFile(kAddress, Target()).Done());
  ASSERT_TRUE(GetInetFile(kAddress, Target()).Done());
  const auto requests = server_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& request : requests) {
    EXPECT_EQ(testing::RequestPath(request), "/proga/file.bin");
    EXPECT_EQ(HeaderValue(request, "User-Agent"), Utf8(ProgramFileName()));
    EXPECT_EQ(HeaderValue(request, "Pragma"), "no-cache");
    EXPECT_EQ(HeaderValue(request, "Cookie"), "");
  }
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
  ASSERT_TRUE(GetInetFile(kCachedAddress, Target()).Done());
  EXPECT_EQ(Contents(Target()), "1");
  ASSERT_TRUE(GetInetFile(kCachedAddress, Target()).Done());
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
  Rules rules = Rules::kAny;
  Status status = Status::kFailed;
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }

class GetInetFileFailureTest : public GetInetFileTest,
                               public ::testing::WithParamInterface<FailureCase> {};

TEST_P(GetInetFileFailureTest, LeavesNoFileBehind) {
  ServeAlways(GetParam().reply);
  const DownloadResult result = GetInetFile(kAddress, Target(), For(GetParam().rules));
  EXPECT_EQ(result.status, GetParam().status);
  EXPECT_EQ(result.leftBehind, "");
  EXPECT_TRUE(FolderContents().empty());
}

TEST_P(GetInetFileFailureTest, LeavesAnEarlierFileUntouched) {
  WriteFile(Target(), "earlier contents");
  ServeAlways(GetParam().reply);
  EXPECT_EQ(GetInetFile(kAddress, Target(), For(GetParam().rules)).status, GetParam().status);
  EXPECT_EQ(Contents(Target()), "earlier contents");
  EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"target.bin"});
}

INSTANTIATE_TEST_SUITE_P(
    Replies, GetInetFileFailureTest,
    ::testing::Values(
        FailureCase{"NotFound", HttpReply::Make(404, "<html>Not found</html>"), Rules::kAny,
                    Status::kNotFound},
        FailureCase{"ServerError", HttpReply::Make(500, Pattern(2000))},
        FailureCase{"CutShort", HttpReply::CutShort(Pattern(1500), 4000)},
        FailureCase{"CutShortInFirstBlock", HttpReply::CutShort("MZ", 600)},
        // Redirects: a loop (more than 5 hops), other schemes, and an https site that cannot
        // be reached (the proxy refuses the tunnel).
        FailureCase{"RedirectLoop", HttpReply::Redirect(302, kAddress)},
        FailureCase{"RedirectToFtp", HttpReply::Redirect(301, "ftp://update.deskfind.test/a.bin")},
        FailureCase{"RedirectToFile", HttpReply::Redirect(307, "file:///C:/a.bin")},
        FailureCase{"RedirectToUnreachableHttps",
                    HttpReply::Redirect(308, "https://update.deskfind.test/a.bin")},
        FailureCase{"NotAProgram", HttpReply::Make(200, "PK\3\4" + Pattern(2000)), Rules::kProgram},
        FailureCase{"DosHeaderOnly", HttpReply::Make(200, DosHeader(64, Pattern(500))),
                    Rules::kProgram},
        FailureCase{"HeaderPointsPastTheEnd", HttpReply::Make(200, DosHeader(1 << 20, "PE")),
                    Rules::kProgram},
        // Whole headers, but the sections they announce are cut off.
        FailureCase{"SectionsPastTheEnd",
                    HttpReply::Make(200, Subject("marker-unsigned.exe").substr(0, 4096)),
                    Rules::kProgram},
        FailureCase{"SignedWithAnotherCertificate", HttpReply::Make(200, Subject("marker-b.exe")),
                    Rules::kSignedByA, Status::kNotSigned},
        FailureCase{"Unsigned", HttpReply::Make(200, Subject("marker-unsigned.exe")),
                    Rules::kSignedByA, Status::kNotSigned},
        FailureCase{"ChangedAfterSigning", HttpReply::Make(200, Subject("marker-a-changed.exe")),
                    Rules::kSignedByA, Status::kNotSigned},
        FailureCase{"AppendedToAfterSigning",
                    HttpReply::Make(200, Subject("marker-a-appended.exe")), Rules::kSignedByA,
                    Status::kNotSigned},
        // Changed, and the changed image's digest written into the signed content: Wine's
        // verifier passes it, the signed attributes' own digest does not.
        FailureCase{"DigestRewrittenAfterChanging",
                    HttpReply::Make(200, Subject("marker-a-rewritten.exe")), Rules::kSignedByA,
                    Status::kNotSigned},
        // A table Windows must not be asked about (Wine's verifier ends the process).
        FailureCase{"CertificateOfAnotherType", HttpReply::Make(200, Subject("marker-a-type1.exe")),
                    Rules::kSignedByA, Status::kNotSigned},
        // Signed with A, but another program than deskfind.
        FailureCase{"OtherProduct", HttpReply::Make(200, Subject("marker-a-other.exe")),
                    Rules::kNewerSignedByA, Status::kNotNewer},
        // Signed with A and newer than 1.0, but 1,1 where the file's name says 1,2.
        FailureCase{"OlderThanItsName", HttpReply::Make(200, Subject("marker-a.exe")),
                    Rules::kNewerSignedByANamed12, Status::kNotNewer}),
    [](const ::testing::TestParamInfo<FailureCase>& testCase) { return testCase.param.name; });

TEST_F(GetInetFileTest, FailsWhenNothingListens) {
  proxy_.emplace(testing::UnusedPort());
  EXPECT_FALSE(GetInetFile(kAddress, Target()).Done());
  EXPECT_TRUE(FolderContents().empty());
}

// A server that stops answering, and one that never stops sending a byte now and then, in its
// body or already in its headers.
TEST_F(GetInetFileTest, GivesUpOnAServerThatStallsOrTrickles) {
  DownloadRules rules;
  rules.waitMilliseconds = 1500;
  rules.totalMilliseconds = 3000;
  for (const auto& [reply, least] :
       {std::pair{HttpReply::Stall(), 1000}, std::pair{HttpReply::Trickle(300ms), 2500},
        std::pair{HttpReply::Trickle(300ms, true), 2500}}) {
    server_.reset(), proxy_.reset();
    ServeAlways(reply);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(GetInetFile(kAddress, Target(), rules).Done());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(least));
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    EXPECT_TRUE(FolderContents().empty());
  }
}

// Given up by its watcher while the thread waits in a read, the download ends at once with
// nothing stored; the thread removes its file once the read returns. The watcher saw the bytes
// come and the length announced.
TEST_F(GetInetFileTest, ACancelledDownloadEndsAtOnceAndTheThreadRemovesItsFile) {
  WriteFile(Target(), "earlier contents");
  const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HttpReply reply = HttpReply::Make(200, Pattern(8000));
  reply.rest = reply.bytes.substr(reply.bytes.size() - 3000);
  reply.bytes.resize(reply.bytes.size() - 3000);
  reply.midway = [release] { WaitForSingleObject(release, 20000); };
  ServeAlways(reply);
  struct CancelOnceBlocked final : DownloadWatch {
    Outcome Wait(HANDLE, DWORD, const DownloadProgress& progress) override {
      for (int polls = 0; polls < 500 && progress.received < 5000; ++polls) Sleep(10);
      received = progress.received;
      announced = progress.announced;
      return Outcome::kCancelled;
    }
    std::size_t received = 0, announced = 0;
  } watch;
  const auto start = std::chrono::steady_clock::now();
  const DownloadResult result = GetInetFile(kAddress, Target(), {}, nullptr, &watch);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
  EXPECT_EQ(result.status, Status::kCancelled);
  EXPECT_EQ(watch.received, 5000u);
  EXPECT_EQ(watch.announced, 8000u);
  EXPECT_EQ(Contents(Target()), "earlier contents");
  SetEvent(release);
  for (int polls = 0; polls < 500 && FolderContents().size() > 1; ++polls) Sleep(10);
  EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"target.bin"});
  server_.reset();
  CloseHandle(release);
}

TEST_F(GetInetFileTest, ABodyOverTheLimitFailsWithOrWithoutContentLength) {
  DownloadRules rules;
  rules.maxBytes = 2048;
  ServeAlways(HttpReply::Make(200, Pattern(2048)));
  EXPECT_TRUE(GetInetFile(kAddress, Target(), rules).Done());
  EXPECT_EQ(Contents(Target()), Pattern(2048));

  // A body that never ends fails as soon as it passes the limit, not at the deadline.
  HttpReply endless = HttpReply::UntilClose(Pattern(5000));
  endless.trickle = 500ms;
  rules.totalMilliseconds = 8000;
  for (const HttpReply& reply :
       {HttpReply::Make(200, Pattern(2049)), HttpReply::UntilClose(Pattern(5000)), endless}) {
    server_.reset(), proxy_.reset();
    ServeAlways(reply);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(GetInetFile(kAddress, Target(), rules).Done());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(Contents(Target()), Pattern(2048));
    EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"target.bin"});
  }
}

// Into memory, a body is whole and within the limit, or there is none; no file is made for it,
// in the temporary folder or anywhere, whether it came or not.
TEST_F(GetInetFileTest, BytesComeIntoMemoryOnlyWholeAndWithinTheLimit) {
  wchar_t temporary[MAX_PATH + 1] = {};
  GetEnvironmentVariableW(L"TMP", temporary, MAX_PATH + 1);
  SetEnvironmentVariableW(L"TMP", folder_.c_str());
  DownloadRules rules;
  rules.maxBytes = 2048;
  std::string body = "earlier";
  ServeAlways(HttpReply::Make(200, Pattern(2048)));
  EXPECT_TRUE(GetInetBytes(kAddress, rules, body).Done());
  EXPECT_EQ(body, Pattern(2048));
  for (const HttpReply& reply : {HttpReply::Make(200, Pattern(2049)),
                                 HttpReply::CutShort("12345", 9000), HttpReply::Make(404, "no")}) {
    server_.reset(), proxy_.reset();
    ServeAlways(reply);
    EXPECT_FALSE(GetInetBytes(kAddress, rules, body).Done());
    EXPECT_EQ(body, "");
  }
  SetEnvironmentVariableW(L"TMP", temporary[0] ? temporary : nullptr);
  EXPECT_TRUE(FolderContents().empty());
}

// Every kind of redirect, relative and absolute, to another host: 5 hops are followed, a sixth
// is not. No address is asked for with its fragment.
TEST_F(GetInetFileTest, FollowsUpToFiveRedirects) {
  const std::map<std::string, HttpReply> site = {
      {"/proga/six.bin", HttpReply::Redirect(301, "/proga/file.bin")},
      {"/proga/file.bin", HttpReply::Redirect(301, "/moved/1")},
      {"/moved/1", HttpReply::Redirect(302, "http://mirror.deskfind.test/moved/2")},
      {"/moved/2", HttpReply::Redirect(303, "3?from=2")},
      {"/moved/3?from=2", HttpReply::Redirect(307, "//update.deskfind.test/moved/4")},
      {"/moved/4", HttpReply::Redirect(308, "/moved/5#top")},
      {"/moved/5", HttpReply::Make(200, Pattern(1500))},
  };
  Serve([&site](const std::string& head) {
    const auto found = site.find(testing::RequestPath(head));
    return found != site.end() ? found->second : HttpReply::Make(404, "<html>404</html>");
  });
  ASSERT_TRUE(GetInetFile(std::string(kAddress) + "#top", Target()).Done());
  EXPECT_EQ(Contents(Target()), Pattern(1500));
  const auto requests = server_->Requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(testing::RequestPath(requests[0]), "/proga/file.bin");
  EXPECT_EQ(HeaderValue(requests[2], "Host"), "mirror.deskfind.test");

  EXPECT_FALSE(GetInetFile("http://update.deskfind.test/proga/six.bin", Target()).Done());
  EXPECT_EQ(server_->Requests().size(), 12u);
}

// A site that moved to https is followed there, and its certificate is checked: one that no
// trusted root vouches for ends the download.
TEST_F(GetInetFileTest, ARedirectToAnHttpsSiteWithAnUntrustedCertificateFails) {
  const TlsSite site;
  ASSERT_TRUE(site.Ready()) << "the TLS server did not start";
  Serve([&site](const std::string& head) {
    if (head.rfind("CONNECT update.deskfind.test:443 ", 0) == 0) {
      return HttpReply::Tunnel(site.Port());
    }
    return HttpReply::Redirect(302, "https://update.deskfind.test/proga/file.bin");
  });
  EXPECT_FALSE(GetInetFile(kAddress, Target()).Done());
  EXPECT_TRUE(FolderContents().empty());
  const auto requests = server_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].rfind("CONNECT update.deskfind.test:443 ", 0), 0u);
}

// The running program's certificate on an intact file, whether or not the library trusts its
// root; the file stays open for reading only until it has been started.
TEST_F(GetInetFileTest, AcceptsAProgramSignedWithTheSameCertificateAndHoldsItOpen) {
  for (const auto& [subject, certificate] :
       {std::pair{"marker-a.exe", &CertificateA()}, std::pair{"marker-a1.exe", &CertificateA1()}}) {
    const std::string program = Subject(subject);
    ASSERT_FALSE(program.empty()) << subject;
    server_.reset(), proxy_.reset();
    ServeAlways(HttpReply::Make(200, program));
    DownloadedFile held;
    ASSERT_TRUE(GetInetFile(kAddress, Target(), For(Rules::kSignedByA, certificate), &held).Done())
        << subject;
    EXPECT_EQ(Contents(Target()), program);
    EXPECT_EQ(CreateFileW(Utf16(Target()).c_str(), GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // Nor can it be renamed away and another file put in its place.
    EXPECT_FALSE(MoveFileExW(Utf16(Target()).c_str(), (folder_ + L"moved.exe").c_str(), 0));
    EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"target.bin"});
  }
}

// A refused body that someone else holds open cannot be removed: the result names it.
TEST_F(GetInetFileTest, ARefusedBodyThatCannotBeRemovedIsNamed) {
  HANDLE holder = INVALID_HANDLE_VALUE;
  std::wstring held;
  HttpReply reply = HttpReply::Make(200, "PK" + Pattern(3000));
  reply.rest = reply.bytes.substr(reply.bytes.size() - 1000);
  reply.bytes.resize(reply.bytes.size() - 1000);
  reply.midway = [&] {
    for (int polls = 0; polls < 250 && held.empty(); ++polls, Sleep(20)) {
      for (const std::wstring& name : FolderContents()) held = name;
    }
    // Someone else makes the file read-only while it is written (attributes are no data: the
    // download's own sharing does not keep them from changing).
    holder = CreateFileW((folder_ + held).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    FILE_BASIC_INFO attributes{};
    attributes.FileAttributes = FILE_ATTRIBUTE_READONLY;
    SetFileInformationByHandle(holder, FileBasicInfo, &attributes, sizeof(attributes));
  };
  ServeAlways(reply);
  const DownloadResult result = GetInetFile(kAddress, Target(), For(Rules::kProgram));
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  CloseHandle(holder);
  SetFileAttributesW((folder_ + held).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(result.status, Status::kFailed);
  EXPECT_EQ(result.leftBehind, Utf8(folder_ + held));
}

// The error names the file and the system's reason; the body received is not left behind.
TEST_F(GetInetFileTest, ALocalFileThatCannotBeWrittenIsAnError) {
  ServeAlways(HttpReply::Make(200, "1,1"));
  EXPECT_THROW(GetInetFile(kAddress, Utf8(folder_ + L"missing\\target.bin")), LocalFileError);
  EXPECT_TRUE(FolderContents().empty());

  ASSERT_TRUE(CreateDirectoryW(Utf16(Target()).c_str(), nullptr));
  try {
    GetInetFile(kAddress, Target());
    ADD_FAILURE() << "no error although a folder has the file's name";
  } catch (const LocalFileError& error) {
    EXPECT_EQ(error.Path(), Target());
    EXPECT_NE(error.Reason(), "");
    EXPECT_EQ(error.Reason().find_first_of("\r\n"), std::string::npos) << error.Reason();
  }
  EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"target.bin"});
  RemoveDirectoryW(Utf16(Target()).c_str());
}

// A library of a system library's name beside this test program, which Wine prefers to its own
// copy as Windows prefers one for libraries that are not "known DLLs". Each defence alone must
// keep the system's copy: DynamicLibrary asks for the system folder itself, and
// LoadLibrariesFromSystemFolderOnly covers the loads made by name on the program's behalf.
class PlantedLibraryTest : public ::testing::Test {
 protected:
  // Plants `name` (without ".dll"); false when the case cannot tell anything, because a library
  // of that name is loaded already.
  bool Plant(const std::wstring& name) {
    if (GetModuleHandleW((name + L".dll").c_str())) return false;
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    planted_ = std::wstring(program);
    planted_ = planted_.substr(0, planted_.find_last_of(L'\\') + 1) + name + L".dll";
    std::wstring probe = L"Z:" + Utf16(DESKFIND_MENU_PROBE);
    std::replace(probe.begin(), probe.end(), L'/', L'\\');
    EXPECT_TRUE(CopyFileW(probe.c_str(), planted_.c_str(), FALSE));
    override_.emplace(L"Software\\Wine\\DllOverrides", name);
    EXPECT_TRUE(override_->Set(L"native,builtin"));
    return true;
  }
  void TearDown() override {
    override_.reset();
    if (!planted_.empty()) DeleteFileW(planted_.c_str());
  }

  std::wstring planted_;
  std::optional<testing::ScopedUserValue> override_;
};

TEST_F(PlantedLibraryTest, ADynamicLibraryIsTheSystemsCopy) {
  if (!Plant(L"wintrust")) GTEST_SKIP() << "wintrust.dll is loaded already";
  const DynamicLibrary library(L"wintrust.dll");
  EXPECT_NE(library.Get<void (*)()>("WinVerifyTrust"), nullptr);
}

// Last: the setting lasts as long as the process.
TEST_F(PlantedLibraryTest, ALibraryLoadedByNameAfterTheSettingIsTheSystemsCopy) {
  if (!Plant(L"cryptnet")) GTEST_SKIP() << "cryptnet.dll is loaded already";
  LoadLibrariesFromSystemFolderOnly();
  const HMODULE library = LoadLibraryW(L"cryptnet.dll");
  ASSERT_NE(library, nullptr);
  EXPECT_NE(GetProcAddress(library, "CryptGetObjectUrl"), nullptr);
  FreeLibrary(library);
}

}  // namespace
}  // namespace deskfind
