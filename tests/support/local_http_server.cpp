#include "tests/support/local_http_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace deskfind::testing {
namespace {

constexpr long kPollMicroseconds = 50 * 1000;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr auto kHeadTimeout = std::chrono::seconds(10);

std::string StatusText(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

// True when the socket has something to read (or was closed) within one poll interval.
bool Readable(SOCKET socket) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait{0, kPollMicroseconds};
  return select(0, &set, nullptr, nullptr, &wait) > 0;
}

void SendAll(SOCKET socket, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const int n = send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

SOCKET ListenOnLoopback(unsigned short& port) {
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int size = sizeof(address);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      listen(listener, SOMAXCONN) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(listener);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port = ntohs(address.sin_port);
  return listener;
}

struct WinsockSession {
  WinsockSession() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
  }
  ~WinsockSession() { WSACleanup(); }
};

}  // namespace

HttpReply HttpReply::Make(int status, const std::string& body, const std::string& extraHeaders) {
  HttpReply reply;
  reply.bytes = "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) +
                "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n" + extraHeaders + "Connection: close\r\n\r\n" +
                body;
  return reply;
}

HttpReply HttpReply::CutShort(const std::string& body, std::size_t announced) {
  HttpReply reply;
  reply.bytes = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                std::to_string(announced) + "\r\nConnection: close\r\n\r\n" + body;
  return reply;
}

HttpReply HttpReply::UntilClose(const std::string& body) {
  HttpReply reply;
  reply.bytes =
      "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
      "Connection: close\r\n\r\n" +
      body;
  return reply;
}

HttpReply HttpReply::Stall() {
  HttpReply reply;
  reply.stall = true;
  return reply;
}

HttpReply HttpReply::Trickle(std::chrono::milliseconds interval, bool fromTheStart) {
  HttpReply reply = UntilClose("1");
  reply.trickle = interval;
  reply.trickleFromTheStart = fromTheStart;
  return reply;
}

HttpReply HttpReply::Redirect(int status, const std::string& location) {
  return Make(status, "<html>moved</html>", "Location: " + location + "\r\n");
}

HttpReply HttpReply::Tunnel(unsigned short port) {
  HttpReply reply;
  reply.bytes = "HTTP/1.1 200 Connection established\r\n\r\n";
  reply.tunnel = port;
  return reply;
}

LocalHttpServer::LocalHttpServer(Handler handler) : handler_(std::move(handler)) {
  static WinsockSession winsock;
  listener_ = ListenOnLoopback(port_);
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  stopping_ = true;
  thread_.join();
  closesocket(listener_);
}

std::vector<std::string> LocalHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LocalHttpServer::Serve() {
  while (!stopping_) {
    if (!Readable(listener_)) continue;
    const SOCKET connection = accept(listener_, nullptr, nullptr);
    if (connection == INVALID_SOCKET) continue;
    Answer(connection);
    closesocket(connection);
  }
}

void LocalHttpServer::Answer(SOCKET connection) {
  std::string head;
  const auto deadline = std::chrono::steady_clock::now() + kHeadTimeout;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (stopping_ || std::chrono::steady_clock::now() > deadline || head.size() > kMaxHeadBytes) {
      return;
    }
    if (!Readable(connection)) continue;
    const int n = recv(connection, buffer, sizeof(buffer), 0);
    if (n <= 0) return;
    head.append(buffer, static_cast<std::size_t>(n));
  }
  head.resize(head.find("\r\n\r\n") + 4);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head);
  }
  const HttpReply reply = handler_(head);
  if (reply.stall) {
    while (!stopping_) Sleep(20);
    return;
  }
  if (reply.tunnel) return Relay(connection, reply);
  if (!reply.trickleFromTheStart) SendAll(connection, reply.bytes);
  if (reply.midway) {
    reply.midway();
    SendAll(connection, reply.rest);
  }
  if (reply.trickle.count() > 0) {
    std::size_t sent = reply.trickleFromTheStart ? 0 : reply.bytes.size();
    for (auto next = std::chrono::steady_clock::now() + reply.trickle; !stopping_;
         next += reply.trickle) {
      while (!stopping_ && std::chrono::steady_clock::now() < next) Sleep(10);
      const char byte = sent < reply.bytes.size() ? reply.bytes[sent++] : '1';
      if (send(connection, &byte, 1, 0) != 1) return;
    }
    return;
  }
  shutdown(connection, SD_SEND);
  // Wait (bounded) for the client to close first, so that closing never resets the connection
  // before the client has read the reply.
  for (int polls = 0; polls < 40 && !stopping_; ++polls) {
    if (!Readable(connection)) continue;
    if (recv(connection, buffer, sizeof(buffer), 0) <= 0) return;
  }
}

void LocalHttpServer::Relay(SOCKET connection, const HttpReply& reply) {
  const SOCKET target = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(reply.tunnel);
  if (target == INVALID_SOCKET ||
      connect(target, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    if (target != INVALID_SOCKET) closesocket(target);
    return;
  }
  SendAll(connection, reply.bytes);
  char buffer[4096];
  while (!stopping_) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(connection, &set);
    FD_SET(target, &set);
    timeval wait{0, kPollMicroseconds};
    if (select(0, &set, nullptr, nullptr, &wait) <= 0) continue;
    const SOCKET from = FD_ISSET(connection, &set) ? connection : target;
    const int n = recv(from, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    SendAll(from == connection ? target : connection,
            std::string(buffer, static_cast<std::size_t>(n)));
  }
  closesocket(target);
}

unsigned short UnusedPort() {
  static WinsockSession winsock;
  unsigned short port = 0;
  closesocket(ListenOnLoopback(port));
  return port;
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char block[64 * 1024];
  DWORD read = 0;
  while (ReadFile(file, block, sizeof(block), &read, nullptr) && read > 0) {
    bytes.append(block, read);
  }
  CloseHandle(file);
  return bytes;
}

std::string RequestPath(const std::string& requestHead) {
  const std::size_t start = requestHead.find(' ');
  const std::size_t end = requestHead.find(' ', start + 1);
  if (start == std::string::npos || end == std::string::npos) return {};
  std::string target = requestHead.substr(start + 1, end - start - 1);
  const std::size_t scheme = target.find("://");
  if (scheme != std::string::npos) {
    const std::size_t path = target.find('/', scheme + 3);
    target = path == std::string::npos ? "/" : target.substr(path);
  }
  return target;
}

std::string HeaderValue(const std::string& requestHead, const std::string& name) {
  std::string lowerHead = requestHead;
  std::string lowerName = "\r\n" + name + ":";
  for (auto* text : {&lowerHead, &lowerName}) {
    std::transform(text->begin(), text->end(), text->begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  }
  const std::size_t at = lowerHead.find(lowerName);
  if (at == std::string::npos) return {};
  std::size_t begin = at + lowerName.size();
  while (begin < requestHead.size() && requestHead[begin] == ' ') ++begin;
  return requestHead.substr(begin, requestHead.find("\r\n", begin) - begin);
}

ScopedUserValue::ScopedUserValue(std::wstring key, std::wstring name)
    : key_(std::move(key)), name_(std::move(name)) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), RRF_RT_ANY, &type_, nullptr,
                   &size) == ERROR_SUCCESS) {
    data_.resize(size);
    existed_ = RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), RRF_RT_ANY, &type_,
                            data_.data(), &size) == ERROR_SUCCESS;
    data_.resize(size);
  }
}

ScopedUserValue::~ScopedUserValue() {
  if (existed_) {
    Write(type_, data_.data(), static_cast<DWORD>(data_.size()));
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str());
  }
}

bool ScopedUserValue::Set(const std::wstring& value) {
  return Write(REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool ScopedUserValue::Set(DWORD value) { return Write(REG_DWORD, &value, sizeof(value)); }

bool ScopedUserValue::Write(DWORD type, const void* data, DWORD size) {
  return RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), type, data, size) ==
         ERROR_SUCCESS;
}

ScopedProxy::ScopedProxy(unsigned short port)
    : enable_(L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", L"ProxyEnable"),
      server_(L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", L"ProxyServer") {
  if (!enable_.Set(DWORD{1}) || !server_.Set(L"127.0.0.1:" + std::to_wstring(port))) {
    throw std::runtime_error("cannot set the proxy in the registry");
  }
}

}  // namespace deskfind::testing
