#include "update/download/http_receive.h"

#include <wininet.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/services.h"
#include "platform/utf16.h"
#include "platform/win32_handles.h"
#include "update/download/redirect_address.h"

namespace deskfind {
namespace {

constexpr DWORD kBlockBytes = 1024;
constexpr DWORD kStatusOk = 200;
constexpr DWORD kStatusNotFound = 404;
constexpr int kMaxRedirects = 5;
// Always from the server: a cached version file must never hide a new version. Redirects are
// followed here, not by the library: it follows them without any limit, and not 308 at all.
// No cookie, no automatic logon and no dialog: the site learns nothing of the user's other
// browsing or accounts, and nothing waits for an answer nobody sees.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                                INTERNET_FLAG_NO_UI;

// The internet library, loaded by the first download instead of at every start.
struct WinInet {
  DynamicLibrary library{L"wininet.dll"};
  decltype(&InternetOpenW) open = library.Get<decltype(open)>("InternetOpenW");
  decltype(&InternetSetOptionW) setOption = library.Get<decltype(setOption)>("InternetSetOptionW");
  decltype(&InternetCrackUrlW) crackUrl = library.Get<decltype(crackUrl)>("InternetCrackUrlW");
  decltype(&InternetCombineUrlW) combineUrl =
      library.Get<decltype(combineUrl)>("InternetCombineUrlW");
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
    return open && setOption && crackUrl && combineUrl && connect && openRequest && sendRequest &&
           queryInfo && dataAvailable && readFile && closeHandle;
  }
  // Never unloaded: a download given up on may still be inside the library when the program
  // ends.
  static const WinInet& Get() {
    static const WinInet& library = *new WinInet;
    return library;
  }
};

struct InternetHandleTraits {
  static void Close(HINTERNET handle) { WinInet::Get().closeHandle(handle); }
  static void Count(int) {}
};
using InternetHandle = UniqueHandle<HINTERNET, InternetHandleTraits>;

bool SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds) {
  // The library takes 0 for no time-out at all.
  return milliseconds > 0 &&
         WinInet::Get().setOption(handle, option, &milliseconds, sizeof(milliseconds));
}

// Closing a handle closes the handles opened under it: the connection lives as long as the
// request, and goes after it.
struct OpenedRequest {
  InternetHandle connection;
  InternetHandle request;
};

// What InternetOpenUrlW does for an http or https address, with the time-outs set on the
// request itself before it is sent: Wine's library gives the connection of an InternetOpenUrlW
// no send or receive time-out whatever the session says. No certificate error is ignored.
bool OpenRequest(HINTERNET session, const std::wstring& address, const Deadline& deadline,
                 DWORD wait, OpenedRequest& opened) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      1;
  const WinInet& inet = WinInet::Get();
  if (!inet.crackUrl(address.c_str(), 0, 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    return false;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
  object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (object.empty()) object = L"/";
  const DWORD flags =
      kRequestFlags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);

  opened.request.Reset();
  opened.connection.Reset(inet.connect(session, host.c_str(), parts.nPort, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
  if (!opened.connection) return false;
  opened.request.Reset(inet.openRequest(opened.connection.Get(), L"GET", object.c_str(), nullptr,
                                        nullptr, nullptr, flags, 0));
  const DWORD timeout = deadline.Cut(wait);
  return opened.request &&
         SetTimeout(opened.request.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, timeout) &&
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

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect from `from` leads: its Location resolved against `from`, when
// RedirectAddress allows it.
std::optional<std::wstring> RedirectTarget(HINTERNET request, const std::wstring& from) {
  const WinInet& inet = WinInet::Get();
  std::wstring location(INTERNET_MAX_URL_LENGTH, L'\0');
  auto size = static_cast<DWORD>(location.size() * sizeof(wchar_t));
  if (!inet.queryInfo(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr)) {
    return std::nullopt;
  }
  location.resize(size / sizeof(wchar_t));
  std::wstring target(INTERNET_MAX_URL_LENGTH, L'\0');
  auto length = static_cast<DWORD>(target.size());
  if (!inet.combineUrl(from.c_str(), location.c_str(), target.data(), &length, 0)) {
    return std::nullopt;
  }
  target.resize(length);
  const std::optional<std::string> next = RedirectAddress(Utf8(from), Utf8(target));
  if (!next) return std::nullopt;
  return Utf16(*next);
}

}  // namespace

DownloadResult::Status ReceiveOverHttp(const std::wstring& address, const DownloadRules& rules,
                                       const Deadline& deadline, const std::atomic<bool>& stop,
                                       DownloadProgress& progress, BodySink& sink) {
  using Status = DownloadResult::Status;
  const WinInet& inet = WinInet::Get();
  if (!inet.Complete()) return Status::kFailed;
  const std::wstring agent = ProgramFileName();
  const InternetHandle session(
      inet.open(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return Status::kFailed;

  OpenedRequest opened;
  std::wstring current = address;
  for (int hops = 0;; ++hops) {
    if (!OpenRequest(session.Get(), current, deadline, rules.waitMilliseconds, opened)) {
      return Status::kFailed;
    }
    const std::optional<DWORD> status = QueryNumber(opened.request.Get(), HTTP_QUERY_STATUS_CODE);
    if (status == kStatusOk) break;
    if (status == kStatusNotFound) return Status::kNotFound;
    if (!status || !IsRedirect(*status) || hops == kMaxRedirects) return Status::kFailed;
    std::optional<std::wstring> next = RedirectTarget(opened.request.Get(), current);
    if (!next) return Status::kFailed;
    current = std::move(*next);
  }
  const HINTERNET request = opened.request.Get();

  // The library ends a body cut short like a complete one: count the bytes ourselves.
  const std::optional<DWORD> announced = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH);
  if (announced && *announced > rules.maxBytes) return Status::kFailed;
  if (announced) progress.announced = *announced;

  if (stop) return Status::kFailed;
  sink.Open();
  char buffer[kBlockBytes];
  std::size_t received = 0;
  while (!stop) {
    // No read waits past the whole download's time.
    if (!SetTimeout(request, INTERNET_OPTION_RECEIVE_TIMEOUT,
                    deadline.Cut(rules.waitMilliseconds))) {
      return Status::kFailed;
    }
    // Asking what is available first lets the library fill its own buffer from the network
    // in large reads; the block read then comes from memory. A read waits until it has every
    // byte asked for, so it asks for no more than is there: a slow server cannot hold it
    // past the time left.
    DWORD available = 0;
    if (!inet.dataAvailable(request, &available, 0, 0)) return Status::kFailed;
    DWORD wanted = available == 0 ? kBlockBytes : std::min(available, kBlockBytes);
    // Never more than one byte past the limit.
    if (rules.maxBytes - received < wanted) {
      wanted = static_cast<DWORD>(rules.maxBytes - received + 1);
    }
    DWORD read = 0;
    if (!inet.readFile(request, buffer, wanted, &read)) return Status::kFailed;
    if (deadline.Cut(1) == 0) return Status::kFailed;
    if (read == 0) break;
    received += read;
    if (received > rules.maxBytes) return Status::kFailed;
    sink.Write(buffer, read);
    progress.received.store(received, std::memory_order_relaxed);
  }
  if (stop) return Status::kFailed;
  if (announced && received != *announced) return Status::kFailed;
  return Status::kDone;
}

}  // namespace deskfind
