#pragma once

#include <windows.h>
#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace deskfind::testing {

// What the server does with one request.
struct HttpReply {
  std::string bytes;   // sent as they are: status line, headers and body
  bool stall = false;  // accept the request, then never answer until the server stops
  // When set: after `bytes`, one more body byte at every such interval until the server stops.
  std::chrono::milliseconds trickle{0};
  // With trickle: `bytes` (status line and headers included) come at that pace too.
  bool trickleFromTheStart = false;
  // When set: called after `bytes` are sent; then `rest` is sent.
  std::function<void()> midway;
  std::string rest;
  // When set: the proxy's answer to CONNECT; the connection is then relayed to this port.
  unsigned short tunnel = 0;

  // A complete reply with Content-Length, closing the connection afterwards.
  static HttpReply Make(int status, const std::string& body, const std::string& extraHeaders = {});
  // Announces `announced` bytes but sends only `body`, then closes.
  static HttpReply CutShort(const std::string& body, std::size_t announced);
  // No Content-Length: the body ends where the connection closes.
  static HttpReply UntilClose(const std::string& body);
  static HttpReply Stall();
  // A 200 reply without Content-Length whose body never ends: a byte every `interval`; with
  // fromTheStart, its status line and headers too.
  static HttpReply Trickle(std::chrono::milliseconds interval, bool fromTheStart = false);
  // A redirect to `location`, with a small body as servers send.
  static HttpReply Redirect(int status, const std::string& location);
  // Accepts a CONNECT and relays the connection to 127.0.0.1:port until either side closes.
  static HttpReply Tunnel(unsigned short port);
};

// A one-thread HTTP server on 127.0.0.1 for the tests: reads each request's head, logs it and
// answers from the handler, one connection at a time.
class LocalHttpServer {
 public:
  using Handler = std::function<HttpReply(const std::string& requestHead)>;

  explicit LocalHttpServer(Handler handler);
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;
  ~LocalHttpServer();

  unsigned short Port() const { return port_; }
  // The heads of the requests received so far, in order.
  std::vector<std::string> Requests() const;

 private:
  void Serve();
  void Answer(SOCKET connection);
  void Relay(SOCKET connection, const HttpReply& reply);

  Handler handler_;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (bound, then released).
unsigned short UnusedPort();

// The whole file, or nullopt when it cannot be opened. Shares everything, as it must to read a
// file the program under test holds open.
std::optional<std::string> ReadBytes(const std::wstring& path);

// The path of a request head's first line ("GET http://host/path HTTP/1.1" → "/path").
std::string RequestPath(const std::string& requestHead);
// The value of a header in a request head, or "" when it is missing.
std::string HeaderValue(const std::string& requestHead, const std::string& name);

// Sets a value under HKEY_CURRENT_USER for the object's lifetime and then puts back what was
// there before, including the value's absence.
class ScopedUserValue {
 public:
  ScopedUserValue(std::wstring key, std::wstring name);
  ScopedUserValue(const ScopedUserValue&) = delete;
  ScopedUserValue& operator=(const ScopedUserValue&) = delete;
  ~ScopedUserValue();

  bool Set(const std::wstring& value);
  bool Set(DWORD value);

 private:
  bool Write(DWORD type, const void* data, DWORD size);

  std::wstring key_, name_;
  bool existed_ = false;
  DWORD type_ = REG_NONE;
  std::vector<BYTE> data_;
};

// Points WinINet at a server on 127.0.0.1:port as the user's proxy while it lives, so that every
// address (the shop's site included) reaches that server.
class ScopedProxy {
 public:
  explicit ScopedProxy(unsigned short port);

 private:
  ScopedUserValue enable_, server_;
};

}  // namespace deskfind::testing
