#pragma once

#include <string>

namespace deskfind {

// How a download ended. Every check runs on the downloaded bytes before they take the target's
// name, so anything but kDone leaves an earlier file of that name as it was.
struct DownloadResult {
  enum class Status {
    kDone,       // the target holds the checked body
    kFailed,     // the network failed, or the body is not what was asked for
    kNotSigned,  // a program without the signature of the running program's certificate
  };

  Status status = Status::kFailed;
  // A refused body that could not be removed: its path, so that the user is told. Empty when
  // nothing was left behind.
  std::string leftBehind;

  bool Done() const { return status == Status::kDone; }
};

}  // namespace deskfind
