#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32_handles.h"

namespace deskfind {

// The downloaded file, open for reading and shared for reading only: nothing can change, rename
// or remove it while the handle lives.
using DownloadedFile = FileHandle;

// The folder with its trailing separator; empty for a bare name.
std::wstring FolderOf(const std::wstring& path);

// Removes what downloads into `folder` left when the program ended during them (killed,
// crashed, the power lost): only files older than any download, as another running copy's
// live file is young (and open without delete sharing besides).
void RemoveStaleTemporaryFiles(const std::wstring& folder);

// A file beside the target that receives the body, is checked, and then either takes the
// target's name or is removed. It is open without delete sharing from its creation on, so
// that no other copy's clean-up takes it away. Every failure to create, write or move it throws
// LocalFileError naming the target, as the user knows only that.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& target);
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  const std::wstring& Path() const { return path_; }

  // Has the system remove the file when its handle closes, whoever closes it: the program may
  // end before the download that writes it does. Safe from any thread while the file is open.
  void RemoveWhenClosed();

  // Blocks are gathered and written in large pieces: a write per small block costs a
  // round trip to the file system each.
  void Write(const char* data, DWORD size);

  // Ends the writing and opens the file for reading and renaming, shared for reading only:
  // from here on nobody can change, rename or remove what is checked, moved and started.
  // Null when someone else holds the file open and would not let it be renamed: it cannot be
  // used, and most likely not removed either.
  HANDLE Seal();

  // Gives the sealed file the target's name, replacing an earlier file of that name; through
  // the open handle, as no other can rename it.
  void MoveOver();
  DownloadedFile Release() { return std::move(file_); }

  // Ends the writing with every byte on the disk and closes the file, which keeps its name: for
  // a move by name, which a handle of its own would stop.
  void Close();
  // Moves the closed file over the target by name in one step, replacing it, and returns once
  // the move is on the disk; false, the last error set, when the target cannot be replaced.
  bool MoveByName();

  // False when the file may still be there afterwards: only "not found" proves it gone.
  bool Remove();

 private:
  static constexpr std::size_t kWriteBytes = 64 * std::size_t{1024};
  static constexpr int kMaxAttempts = 100;

  [[noreturn]] void Fail() const;
  void Flush();

  std::wstring target_;
  std::wstring path_;
  DownloadedFile file_;
  std::vector<char> pending_;
};

}  // namespace deskfind
