// Download speed: the update's program file (0.6 MB) from a server on 127.0.0.1 by GetInetFile,
// against the same download by a bare WinINet loop with a 64 KiB buffer writing straight to its
// file. The two alternate; prints medians and their ratio.
#include <windows.h>

#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/utf16.h"
#include "tests/support/local_http_server.h"
#include "update/download/download.h"
#include "update/download/receiving_thread.h"

namespace {

using namespace deskfind;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kBodyBytes = 614400;
constexpr DWORD kMinimalBufferBytes = 64 * 1024;

// A body that starts like a program and is not all one byte, so a wrong offset shows.
std::string ProgramBody() {
  std::string body(kBodyBytes, '\0');
  body[0] = 'M';
  body[1] = 'Z';
  for (std::size_t i = 2; i < body.size(); ++i)
    body[i] = static_cast<char>((i * 7 + i / 4096) & 0xFF);
  return body;
}

// The yardstick: what any WinINet program pays for the same file.
bool MinimalDownload(const std::wstring& address, const std::wstring& path) {
  const HINTERNET session =
      InternetOpenW(L"minimal", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return false;
  bool ok = false;
  const HINTERNET request = InternetOpenUrlW(
      session, address.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (request) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      std::vector<char> buffer(kMinimalBufferBytes);
      ok = true;
      for (;;) {
        DWORD read = 0, written = 0;
        if (!InternetReadFile(request, buffer.data(), kMinimalBufferBytes, &read)) {
          ok = false;
          break;
        }
        if (read == 0) break;
        if (!WriteFile(file, buffer.data(), read, &written, nullptr) || written != read) {
          ok = false;
          break;
        }
      }
      CloseHandle(file);
    }
    InternetCloseHandle(request);
  }
  InternetCloseHandle(session);
  return ok;
}

// The file holds exactly `body`: a timing of a failed or short download means nothing.
bool Holds(const std::wstring& path, const std::string& body) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string contents(body.size() + 1, '\0');
  DWORD read = 0;
  const BOOL ok =
      ReadFile(file, contents.data(), static_cast<DWORD>(contents.size()), &read, nullptr);
  CloseHandle(file);
  contents.resize(read);
  return ok && contents == body;
}

double Milliseconds(const std::function<bool()>& download, const std::wstring& path,
                    const std::string& body, const char* who) {
  DeleteFileW(path.c_str());
  const auto start = Clock::now();
  const bool ok = download();
  const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!ok || !Holds(path, body)) {
    std::fprintf(stderr, "download_bench: the %s download failed\n", who);
    std::exit(1);
  }
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A folder of our own under the temporary folder, removed with its files at the end.
class BenchFolder {
 public:
  BenchFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ =
        std::wstring(temp) + L"deskfind-download-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  ~BenchFolder() {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
  }
  std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
  const std::string body = ProgramBody();
  testing::LocalHttpServer server([&body](const std::string& head) {
    return testing::RequestPath(head) == "/proga/deskfind.exe"
               ? testing::HttpReply::Make(200, body)
               : testing::HttpReply::Make(404, "not here");
  });
  const std::string address =
      "http://127.0.0.1:" + std::to_string(server.Port()) + "/proga/deskfind.exe";
  const std::wstring wideAddress = Utf16(address);

  BenchFolder folder;
  const std::wstring programPath = folder.File(L"deskfind.exe");
  const std::wstring minimalPath = folder.File(L"minimal.exe");
  const std::string programPathUtf8 = Utf8(programPath);
  const auto program = [&] { return GetInetFile(address, programPathUtf8).Done(); };
  const auto minimal = [&] { return MinimalDownload(wideAddress, minimalPath); };

  // One of each first: loading the library and the first connection are no part of the figure.
  Milliseconds(program, programPath, body, "deskfind");
  Milliseconds(minimal, minimalPath, body, "minimal");
  std::vector<double> programTimes, minimalTimes;
  // Alternate the two so that drifts of the machine hit both alike.
  for (int run = 0; run < runs; ++run) {
    programTimes.push_back(Milliseconds(program, programPath, body, "deskfind"));
    minimalTimes.push_back(Milliseconds(minimal, minimalPath, body, "minimal"));
  }
  const double programMedian = Median(programTimes), minimalMedian = Median(minimalTimes);
  std::printf(
      "download of 0.6 MB from a local server, median of %d: deskfind %.1f ms, "
      "minimal WinINet (64 KiB buffer) %.1f ms, ratio %.2f (target <= 1.5)\n",
      runs, programMedian, minimalMedian, programMedian / minimalMedian);
  deskfind::ReceivingThread::EndOnceAllEnded(0);
  return 0;
}
