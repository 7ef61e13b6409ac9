#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace deskfind {

// How a download ended. Every check runs on the downloaded bytes before they take the target's
// name, so anything but kDone leaves an earlier file of that name as it was.
struct DownloadResult {
  enum class Status {
    kDone,       // the target holds the checked body
    kFailed,     // the network failed, or the body is not what was asked for
    kNotFound,   // the server answered that it has no such file (404)
    kNotSigned,  // refused by the rules' acceptance: not signed as it must be
    kNotNewer,   // refused by the rules' acceptance: not a newer version
    kCancelled,  // the user stopped the download
  };

  Status status = Status::kFailed;
  // A refused body that could not be removed: its path, so that the user is told. Empty when
  // nothing was left behind.
  std::string leftBehind;

  bool Done() const { return status == Status::kDone; }
};

// A local file that could not be created, written or moved into place (a folder of that name,
// no right to write, a full disk), or read: the error box names it with the system's reason, so
// that the user does not look for the fault in the connection.
class LocalFileError : public std::runtime_error {
 public:
  enum class Action { kWrite, kRead };

  LocalFileError(std::string path, std::string reason, Action action = Action::kWrite)
      : std::runtime_error((action == Action::kRead ? "cannot read " : "cannot write ") + path +
                           ": " + reason),
        path_(std::move(path)),
        reason_(std::move(reason)),
        action_(action) {}

  const std::string& Path() const { return path_; }
  const std::string& Reason() const { return reason_; }
  Action What() const { return action_; }

 private:
  std::string path_;
  std::string reason_;
  Action action_;
};

}  // namespace deskfind
