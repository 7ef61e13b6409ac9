#include "update/get_inet_file.h"

#include <wininet.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/services.h"
#include "platform/utf16.h"
#include "platform/win32_handles.h"

namespace deskfind {
namespace {

constexpr DWORD kBlockBytes = 1024;
constexpr DWORD kStatusOk = 200;
// Always from the server: a cached version file must never hide a new version.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;

// The internet library, loaded by the first download instead of at every start.
struct WinInet {
  DynamicLibrary library{L"wininet.dll"};
  decltype(&InternetOpenW) open = library.Get<decltype(open)>("InternetOpenW");
  decltype(&InternetSetOptionW) setOption = library.Get<decltype(setOption)>("InternetSetOptionW");
  decltype(&InternetCrackUrlW) crackUrl = library.Get<decltype(crackUrl)>("InternetCrackUrlW");
  decltype(&InternetConnectW) connect = library.Get<decltype(connect)>("InternetConnectW");
  decltype(&HttpOpenRequestW) openRequest = library.Get<decltype(openRequest)>("HttpOpenRequestW");
  decltype(&HttpSendRequestW) sendRequest = library.Get<decltype(sendRequest)>("HttpSendRequestW");
  decltype(&HttpQueryInfoW) queryInfo = library.Get<decltype(queryInfo)>("HttpQueryInfoW");
  decltype(&InternetQueryDataAvailable) dataAvailable =
      library.Get<decltype(dataAvailable)>("InternetQueryDataAvailable");
  decltype(&InternetReadFile) readFile = library.Get<decltype(readFile)>("InternetReadFile");
  decltype(&InternetCloseHandle) closeHandle =
      library.Get<decltype(closeHandle)>("InternetCloseHandle");

  bool Complete() const {
    return open && setOption && crackUrl && connect && openRequest && sendRequest && queryInfo &&
           dataAvailable && readFile && closeHandle;
  }
  static const WinInet& Get() {
    static const WinInet library;
    return library;
  }
};

struct InternetHandleTraits {
  static void Close(HINTERNET handle) { WinInet::Get().closeHandle(handle); }
  static void Count(int) {}
};
using InternetHandle = UniqueHandle<HINTERNET, InternetHandleTraits>;
using FileHandle = UniqueHandle<HANDLE, KernelHandleTraits>;

[[noreturn]] void ThrowFileError(const char* what, const std::wstring& path) {
  throw std::runtime_error(std::string(what) + " " + Utf8(path) + " (error " +
                           std::to_string(GetLastError()) + ")");
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

// A file beside the target that receives the body; deleted unless it was moved over the
// target, so a failed download leaves nothing behind.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& folder) {
    wchar_t name[MAX_PATH] = {};
    if (!GetTempFileNameW(folder.c_str(), L"dfd", 0, name)) {
      ThrowFileError("cannot create a temporary file in", folder);
    }
    path_ = name;
    const HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      DeleteFileW(path_.c_str());
      SetLastError(error);
      ThrowFileError("cannot open", path_);
    }
    file_.Reset(file);
    pending_.reserve(kWriteBytes);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    file_.Reset();
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }

  // Blocks are gathered and written in large pieces: a write per small block costs a
  // round trip to the file system each.
  void Write(const char* data, DWORD size) {
    if (pending_.size() + size > kWriteBytes) Flush();
    pending_.insert(pending_.end(), data, data + size);
  }

  void MoveOver(const std::wstring& target) {
    Flush();
    file_.Reset();
    if (!MoveFileExW(path_.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowFileError("cannot replace", target);
    }
    path_.clear();
  }

 private:
  static constexpr std::size_t kWriteBytes = 64 * std::size_t{1024};

  void Flush() {
    if (pending_.empty()) return;
    const auto size = static_cast<DWORD>(pending_.size());
    DWORD written = 0;
    if (!WriteFile(file_.Get(), pending_.data(), size, &written, nullptr) || written != size) {
      ThrowFileError("cannot write", path_);
    }
    pending_.clear();
  }

  std::wstring path_;
  FileHandle file_;
  std::vector<char> pending_;
};

bool SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds) {
  return WinInet::Get().setOption(handle, option, &milliseconds, sizeof(milliseconds));
}

// Closing a handle closes the handles opened under it: the connection lives as long as the
// request, and goes after it.
struct OpenedRequest {
  InternetHandle connection;
  InternetHandle request;
};

// What InternetOpenUrlW does for an http address, with the time-outs set on the request
// itself before it is sent: Wine's library gives the connection of an InternetOpenUrlW no
// send or receive time-out whatever the session says.
bool OpenRequest(HINTERNET session, const std::wstring& address, DWORD timeout,
                 OpenedRequest& opened) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      1;
  const WinInet& inet = WinInet::Get();
  if (!inet.crackUrl(address.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTP) {
    return false;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
  object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (object.empty()) object = L"/";

  opened.connection.Reset(inet.connect(session, host.c_str(), parts.nPort, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
  if (!opened.connection) return false;
  opened.request.Reset(inet.openRequest(opened.connection.Get(), L"GET", object.c_str(), nullptr,
                                        nullptr, nullptr, kRequestFlags, 0));
  return opened.request &&
         SetTimeout(opened.request.Get(), INTERNET_OPTION_SEND_TIMEOUT, timeout) &&
         SetTimeout(opened.request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, timeout) &&
         inet.sendRequest(opened.request.Get(), nullptr, 0, nullptr, 0);
}

std::optional<DWORD> QueryNumber(HINTERNET request, DWORD what) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (!WinInet::Get().queryInfo(request, what | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

bool GetInetFile(std::string_view address, std::string_view localPath,
                 const DownloadLimits& limits) {
  const WinInet& inet = WinInet::Get();
  if (!inet.Complete()) return false;
  const std::wstring agent = ProgramFileName();
  const InternetHandle session(
      inet.open(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  // Without time-outs a server that accepts and then stalls would block the window for ever.
  if (!session ||
      !SetTimeout(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, limits.timeoutMilliseconds)) {
    return false;
  }

  OpenedRequest opened;
  if (!OpenRequest(session.Get(), Utf16(address), limits.timeoutMilliseconds, opened)) {
    return false;
  }
  const InternetHandle& request = opened.request;
  if (QueryNumber(request.Get(), HTTP_QUERY_STATUS_CODE) != kStatusOk) return false;

  // The library ends a body cut short like a complete one: count the bytes ourselves.
  const std::optional<DWORD> announced = QueryNumber(request.Get(), HTTP_QUERY_CONTENT_LENGTH);
  if (announced && *announced > limits.maxBytes) return false;

  const std::wstring target = Utf16(localPath);
  TemporaryFile file(FolderOf(target));
  char buffer[kBlockBytes];
  std::uint64_t received = 0;
  for (;;) {
    // Asking what is available first lets the library fill its own buffer from the network
    // in large reads; the block read then comes from memory.
    DWORD available = 0;
    if (!inet.dataAvailable(request.Get(), &available, 0, 0)) return false;
    DWORD read = 0;
    if (!inet.readFile(request.Get(), buffer, kBlockBytes, &read)) return false;
    if (read == 0) break;
    received += read;
    if (received > limits.maxBytes) return false;
    file.Write(buffer, read);
  }
  if (announced && received != *announced) return false;

  file.MoveOver(target);
  return true;
}

}  // namespace deskfind
