#include "update/get_inet_file.h"

#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/services.h"
#include "platform/utf16.h"
#include "platform/win32_handles.h"
#include "update/download_address.h"
#include "update/program_file.h"

namespace deskfind {
namespace {

constexpr DWORD kBlockBytes = 1024;
constexpr DWORD kStatusOk = 200;
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

// The system's text for the last error, without its line break.
std::string LastErrorText() {
  const DWORD error = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = text ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!message.empty() && std::wcschr(L"\r\n ", message.back())) message.pop_back();
  if (message.empty()) return "ошибка " + std::to_string(error);
  return Utf8(message);
}

// The user is told about the file the download was to become: the temporary file means
// nothing to them.
[[noreturn]] void ThrowLocalFileError(const std::wstring& target) {
  throw LocalFileError(Utf8(target), LastErrorText());
}

// The folder with its trailing separator; empty for a bare name.
std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Temporary files are named so that nothing else matches: deskfind-download-<8 hex digits>.part.
constexpr std::wstring_view kTemporaryPrefix = L"deskfind-download-";
constexpr std::wstring_view kTemporarySuffix = L".part";
constexpr std::size_t kTemporaryDigits = 8;

bool IsTemporaryName(std::wstring_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() ||
      name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix ||
      name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) {
    return false;
  }
  const std::wstring_view digits = name.substr(kTemporaryPrefix.size(), kTemporaryDigits);
  return std::all_of(digits.begin(), digits.end(), [](wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
  });
}

// Eight lower-case hexadecimal digits (the formatting functions of the C library would bring
// their floating-point code into the program for this).
std::wstring HexDigits(unsigned value) {
  std::wstring digits(kTemporaryDigits, L'0');
  for (std::size_t i = kTemporaryDigits; i-- > 0; value >>= 4) {
    digits[i] = L"0123456789abcdef"[value & 0xF];
  }
  return digits;
}

// A temporary file younger than this may belong to a download of another running copy: no
// download lasts longer than 10 minutes, and the margin covers its checks.
constexpr ULONGLONG kStaleAfter100ns = 15ULL * 60 * 10'000'000;

ULONGLONG Ticks(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Removes what downloads into `folder` left when the program ended during them (killed,
// crashed, the power lost): only files older than any download, as another running copy's
// live file is young (and open without delete sharing besides).
void RemoveStaleTemporaryFiles(const std::wstring& folder) {
  const std::wstring pattern =
      folder + std::wstring(kTemporaryPrefix) + L"*" + std::wstring(kTemporarySuffix);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const ULONGLONG touched = std::max(Ticks(found.ftCreationTime), Ticks(found.ftLastWriteTime));
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsTemporaryName(found.cFileName) &&
        touched + kStaleAfter100ns < Ticks(now)) {
      DeleteFileW((folder + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// A file beside the target that receives the body, is checked, and then either takes the
// target's name or is removed. It is open without delete sharing from its creation on, so
// that no other copy's clean-up takes it away.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& target) : target_(target) {
    static std::atomic<unsigned> next{static_cast<unsigned>(GetTickCount()) ^
                                      (static_cast<unsigned>(GetCurrentProcessId()) << 16)};
    const std::wstring folder = FolderOf(target);
    for (int attempt = 0; !file_; ++attempt) {
      path_ = folder + std::wstring(kTemporaryPrefix) + HexDigits(next++) +
              std::wstring(kTemporarySuffix);
      const HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        file_.Reset(file);
      } else if (GetLastError() != ERROR_FILE_EXISTS || attempt == kMaxAttempts) {
        path_.clear();
        ThrowLocalFileError(target_);
      }
    }
    pending_.reserve(kWriteBytes);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    file_.Reset();
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }

  const std::wstring& Path() const { return path_; }

  // Blocks are gathered and written in large pieces: a write per small block costs a
  // round trip to the file system each.
  void Write(const char* data, DWORD size) {
    if (pending_.size() + size > kWriteBytes) Flush();
    pending_.insert(pending_.end(), data, data + size);
  }

  // Ends the writing and opens the file for reading and renaming, shared for reading only:
  // from here on nobody can change, rename or remove what is checked, moved and started.
  // Null when someone else holds the file open and would not let it be renamed: it cannot be
  // used, and most likely not removed either.
  HANDLE Seal() {
    Flush();
    file_.Reset();
    const HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_SHARING_VIOLATION) return nullptr;
      ThrowLocalFileError(target_);
    }
    file_.Reset(file);
    return file;
  }

  // Gives the sealed file the target's name, replacing an earlier file of that name; through
  // the open handle, as no other can rename it.
  void MoveOver() {
    const std::size_t nameBytes = target_.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes +
                                      sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, target_.c_str(), nameBytes + sizeof(wchar_t));
    if (!SetFileInformationByHandle(file_.Get(), FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size()))) {
      ThrowLocalFileError(target_);
    }
    path_.clear();
  }
  DownloadedFile Release() { return std::move(file_); }

  // False when the file may still be there afterwards: only "not found" proves it gone.
  bool Remove() {
    file_.Reset();
    const bool removed = DeleteFileW(path_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    if (removed) path_.clear();
    return removed;
  }

 private:
  static constexpr std::size_t kWriteBytes = 64 * std::size_t{1024};
  static constexpr int kMaxAttempts = 100;

  void Flush() {
    if (pending_.empty()) return;
    const auto size = static_cast<DWORD>(pending_.size());
    DWORD written = 0;
    if (!WriteFile(file_.Get(), pending_.data(), size, &written, nullptr) || written != size) {
      ThrowLocalFileError(target_);
    }
    pending_.clear();
  }

  std::wstring target_;
  std::wstring path_;
  DownloadedFile file_;
  std::vector<char> pending_;
};

// The time left of the whole download; every wait is cut to it.
class Deadline {
 public:
  // `start` is GetTickCount64's: the caller's and the thread's deadlines start together.
  Deadline(ULONGLONG start, DWORD milliseconds) : end_(start + milliseconds) {}
  // The wait for the next step, at most `wait`; 0 when the time is up.
  DWORD Cut(DWORD wait) const {
    const ULONGLONG now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(wait, end_ - now));
  }

 private:
  ULONGLONG end_;
};

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

using Status = DownloadResult::Status;

// The network part: everything up to the whole body in `file`.
Status Receive(const std::wstring& address, const std::wstring& target, const DownloadRules& rules,
               const Deadline& deadline, std::unique_ptr<TemporaryFile>& file) {
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
    if (!status || !IsRedirect(*status) || hops == kMaxRedirects) return Status::kFailed;
    std::optional<std::wstring> next = RedirectTarget(opened.request.Get(), current);
    if (!next) return Status::kFailed;
    current = std::move(*next);
  }
  const HINTERNET request = opened.request.Get();

  // The library ends a body cut short like a complete one: count the bytes ourselves.
  const std::optional<DWORD> announced = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH);
  if (announced && *announced > rules.maxBytes) return Status::kFailed;

  file = std::make_unique<TemporaryFile>(target);
  char buffer[kBlockBytes];
  std::size_t received = 0;
  for (;;) {
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
    file->Write(buffer, read);
  }
  if (announced && received != *announced) return Status::kFailed;
  return Status::kDone;
}

// The rules' checks of a whole body, on the caller's thread: they may read what the caller owns.
Status Check(const DownloadRules& rules, std::unique_ptr<TemporaryFile>& file) {
  const HANDLE sealed = file->Seal();
  if (!sealed) return Status::kFailed;
  if (rules.windowsProgram && !IsWindowsProgram(sealed)) return Status::kFailed;
  if (rules.signer && !SignedBy(sealed, file->Path(), *rules.signer)) return Status::kNotSigned;
  if (rules.newerThan || rules.atLeast) {
    const std::optional<ProgramVersion> version = ProgramVersionOf(sealed);
    if (!version || (rules.newerThan && !IsNewerVersionOf(*version, *rules.newerThan)) ||
        (rules.atLeast && version->fileVersion < *rules.atLeast)) {
      return Status::kNotNewer;
    }
  }
  return Status::kDone;
}

// The thread's own waits end this much before the caller stops waiting, so that a thread that
// is not stuck in a call hands over, or cleans up, before the caller gives up on it.
DWORD HandOverMargin(DWORD totalMilliseconds) {
  return std::min<DWORD>(totalMilliseconds / 10, 1000);
}

// A download's network part runs on a thread of its own, and the caller waits for it no longer
// than the deadline: no time-out of the library bounds a whole call (a server that sends its
// headers a byte at a time keeps HttpSendRequestW going), and closing the handles from another
// thread does not end a blocked call. The thread outlives a caller that gave up; it then
// removes its own temporary file when its call returns. The system's own thread, lock and
// event: the C++ library's pull a threads library into the program, a sixth of its size.
struct Transfer {
  Transfer(std::wstring from, std::wstring to, const DownloadRules& limits, ULONGLONG start)
      : address(std::move(from)),
        target(std::move(to)),
        rules(limits),
        deadline(start, limits.totalMilliseconds - HandOverMargin(limits.totalMilliseconds)),
        ended(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    rules.signer = nullptr;  // the caller's; the thread checks nothing
    rules.newerThan = nullptr;
    rules.atLeast = nullptr;
  }

  // Set before the thread starts.
  const std::wstring address;
  const std::wstring target;
  DownloadRules rules;
  const Deadline deadline;
  const EventHandle ended;  // set when the thread has handed over

  SRWLOCK lock = SRWLOCK_INIT;
  bool givenUp = false;  // the caller has gone; the thread cleans up after itself
  Status status = Status::kFailed;
  std::exception_ptr error;
  std::unique_ptr<TemporaryFile> file;
};

class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK& lock_;
};

DWORD WINAPI Transmit(void* parameter) {
  // The thread's own share of the transfer, handed over by the caller.
  const std::unique_ptr<std::shared_ptr<Transfer>> owned(
      static_cast<std::shared_ptr<Transfer>*>(parameter));
  Transfer& transfer = **owned;
  Status status = Status::kFailed;
  std::exception_ptr error;
  std::unique_ptr<TemporaryFile> file;
  try {
    status = Receive(transfer.address, transfer.target, transfer.rules, transfer.deadline, file);
  } catch (...) {
    error = std::current_exception();
  }
  {
    const ExclusiveLock lock(transfer.lock);
    if (!transfer.givenUp) {
      transfer.status = status;
      transfer.error = error;
      transfer.file = std::move(file);
      SetEvent(transfer.ended.Get());
    }
  }
  return 0;  // a file nobody took is removed on the way out
}

// Starts the thread; false when it cannot be started.
bool StartTransfer(const std::shared_ptr<Transfer>& transfer) {
  if (!transfer->ended) return false;
  auto share = std::make_unique<std::shared_ptr<Transfer>>(transfer);
  const HANDLE thread = CreateThread(nullptr, 0, Transmit, share.get(), 0, nullptr);
  if (!thread) return false;
  static_cast<void>(share.release());  // the thread's now
  CloseHandle(thread);
  return true;
}

}  // namespace

DownloadResult GetInetFile(std::string_view address, std::string_view localPath,
                           const DownloadRules& rules, DownloadedFile* keep) {
  const std::wstring target = Utf16(localPath);
  const ULONGLONG start = GetTickCount64();
  const Deadline deadline(start, rules.totalMilliseconds);
  RemoveStaleTemporaryFiles(FolderOf(target));
  const auto transfer =
      std::make_shared<Transfer>(Utf16(RequestAddress(address)), target, rules, start);
  if (!StartTransfer(transfer)) return {};

  WaitForSingleObject(transfer->ended.Get(), deadline.Cut(rules.totalMilliseconds));
  std::unique_ptr<TemporaryFile> file;
  {
    const ExclusiveLock lock(transfer->lock);
    if (WaitForSingleObject(transfer->ended.Get(), 0) != WAIT_OBJECT_0) {
      transfer->givenUp = true;
      return {};
    }
    file = std::move(transfer->file);  // removed here, before returning, on every path
  }
  if (transfer->error) std::rethrow_exception(transfer->error);

  DownloadResult result;
  result.status = transfer->status;
  if (result.Done()) result.status = Check(rules, file);
  if (result.Done()) {
    file->MoveOver();
    if (keep) *keep = file->Release();
  } else if (file && !file->Remove()) {
    result.leftBehind = Utf8(file->Path());
  }
  return result;
}

}  // namespace deskfind
