#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "update/download/limits.h"
#include "update/download/result.h"
#include "update/flow/version_dates.h"
#include "update/flow/version_value.h"
#include "update/trust/program_image_reader.h"

namespace deskfind {

// Message box styles the update command uses, as the window layer's message box takes them.
inline constexpr unsigned kMessageWarning = 0x30;  // exclamation-mark icon, OK button
inline constexpr unsigned kMessageError = 0x10;    // stop-sign icon, OK button

// The two files the command downloads; each has its own limits and checks.
enum class DownloadKind {
  kVersionFile,       // at most kMaxVersionFileBytes, within kVersionDownloadMilliseconds
  kVersionSignature,  // at most kMaxVersionSignatureBytes, within kVersionDownloadMilliseconds
  kProgram,           // a Windows program (if this one is signed: signed like it, and a newer
                      // version of it), within kProgramDownloadMilliseconds
                      // (every limit: update/download/limits.h)
};

// What the update command needs from the window, the network and the disk. Texts and paths
// are UTF-8; paths are full paths. Any member may throw: the command then ends as if a
// download had failed.
class UpdateEnvironment {
 public:
  virtual ~UpdateEnvironment() = default;

  // --- Screen
  virtual void ShowHourglass() = 0;
  virtual void RestoreCursor() = 0;
  virtual void ShowMessage(std::string_view text, std::string_view caption, unsigned style) = 0;
  // Shows the version file's first line (the site's bytes) in the main window's hidden memo.
  virtual void ShowVersionText(std::string_view firstLine) = 0;
  // A Yes/No question; true for Yes.
  virtual bool Confirm(std::string_view text) = 0;
  virtual void CloseMainWindow() = 0;
  // The decimal separator of the user's locale.
  virtual std::string DecimalSeparator() = 0;

  // --- Disk and network
  // The folder that receives the downloads (the program's own); empty when unknown.
  virtual std::string UpdateFolder() = 0;
  // Fetches address into the file at path; the file is replaced only when the download is
  // done and passed every check of its kind. `named` is the version a program's file name
  // carries: a signed copy takes no program of a lower file version under that name.
  // `program` is the program file the signed version data names: a signed copy takes only a
  // body of exactly its length and SHA-256, and stops receiving past that length.
  virtual DownloadResult Download(std::string_view address, const std::string& path,
                                  DownloadKind kind, std::optional<VersionValue> named,
                                  const std::optional<NamedProgram>& program) = 0;
  // Up to maxBytes bytes from the start of the version file; nullopt when it cannot be read.
  virtual std::optional<std::string> ReadVersionFile(const std::string& path,
                                                     std::size_t maxBytes) = 0;
  // Opens the program through the shell; false when the shell fails.
  virtual bool StartProgram(const std::string& path) = 0;

  // --- The version data of a signed copy, which must be signed by the shop and fresh
  // True when this copy carries a certificate table (whether or not it can be read).
  virtual bool IsSigned() = 0;
  // Fetches address into memory only, with the limits of its kind; nothing is written.
  virtual DownloadResult DownloadBytes(std::string_view address, DownloadKind kind,
                                       std::string& body) = 0;
  // True when signature is a detached signature of exactly data, made with the key of the
  // certificate that signed this copy, in the one form the shop makes.
  virtual bool SignedByShop(std::string_view data, std::string_view signature) = 0;
  // The newest `issued` accepted on this computer before; nullopt when there is none.
  virtual std::optional<UtcSeconds> AcceptedIssued() = 0;
  // Keeps `issued` as the newest accepted; a later one kept meanwhile stays.
  virtual void KeepAcceptedIssued(UtcSeconds issued) = 0;
  virtual UtcSeconds Now() = 0;
  // The customer's local time minus UTC at `moment`, in seconds (daylight saving included).
  virtual std::int64_t UtcOffsetAt(UtcSeconds moment) = 0;
  // Replaces the file at path with bytes, whole or not at all.
  virtual void StoreVersionFile(const std::string& path, std::string_view bytes) = 0;
};

// The menu command that looks for a newer version on the shop's site, downloads it into the
// update folder as deskfind<version>.exe (version being the first line of the site's version
// file, as written there) and, if the user agrees, starts it and closes this program.
// A signed copy first checks the version file against its signature (version.sig beside it)
// and its dates, and stores it, and the time it was issued, only when every check passed: a
// network that keeps serving old data cannot hold it on an old version unnoticed.
// Shows the hourglass cursor while it works (again after each question) and restores the
// cursor last on every path. Any failure, including an exception from the environment, ends in
// one error box, which names the file and the reason of a LocalFileError; a download the user
// cancelled ends the command without one. Never throws.
void RunUpdate(UpdateEnvironment& environment) noexcept;

// The file the customer installed and starts, in the folder the new versions go to.
inline constexpr std::string_view kInstalledProgramName = "deskfind.exe";

// True for the name the command stores a new version under: "deskfind", a version text and
// ".exe", the letters in either case as Windows names files. kInstalledProgramName is not one.
bool IsDownloadedProgramName(std::string_view fileName);

// Whether a copy running from the file `ownFileName` (its name alone), of version `own`, puts
// itself in the place of `installed`, the version of kInstalledProgramName beside it (nullopt
// when it cannot be read): a downloaded copy over an older version of this product. Who signed
// either does not matter: the bytes put there are the running copy's own, checked before it
// was started, and a renewed certificate must not keep the old version in place.
bool TakesTheInstalledPlace(std::string_view ownFileName, const ProgramVersion& own,
                            const std::optional<ProgramVersion>& installed);

}  // namespace deskfind
