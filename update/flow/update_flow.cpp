#include "update/flow/update_flow.h"

#include <algorithm>
#include <exception>
#include <string>

#include "shop/identity.h"
#include "update/flow/update_texts.h"
#include "update/flow/version_value.h"

namespace deskfind {
namespace {

constexpr std::string_view kVersionFilePath = "/proga/version.txt";
constexpr std::string_view kVersionSignaturePath = "/proga/version.sig";
constexpr std::string_view kProgramFilePath = "/proga/deskfind.exe";
constexpr std::string_view kVersionFileName = "version.txt";
constexpr std::string_view kProgramNamePrefix = "deskfind";
constexpr std::string_view kProgramNameSuffix = ".exe";
constexpr std::size_t kMaxFileNameLength = 255;  // per path component on Windows

std::string SiteAddress(std::string_view path) { return std::string(SiteRoot) + std::string(path); }

// The version text becomes part of a file name. It has passed ParseVersion, but the locale's
// separator is the user's choice and may be a character that names a folder or a stream.
bool IsPlainFileName(std::string_view name) {
  if (name.size() > kMaxFileNameLength) return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

char LowerCaseLetter(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerCaseLetter(x) == LowerCaseLetter(y);
         });
}

void ShowError(UpdateEnvironment& environment) {
  environment.ShowMessage(kErrorText, kErrorCaption, kMessageError);
}

// The box for a download that did not end well. A refused body that could not be removed is
// named, so that the user knows it is there.
void ShowDownloadFailure(UpdateEnvironment& environment, const DownloadResult& result) {
  if (result.status == DownloadResult::Status::kCancelled) return;  // the user's own choice
  if (!result.leftBehind.empty()) {
    std::string text(kErrorText);
    text += kLeftBehindText;
    text += result.leftBehind;
    return environment.ShowMessage(text, kErrorCaption, kMessageError);
  }
  if (result.status == DownloadResult::Status::kNotSigned) {
    return environment.ShowMessage(kNotSignedText, kNotStartedCaption, kMessageError);
  }
  if (result.status == DownloadResult::Status::kNotNewer) {
    return environment.ShowMessage(kNotNewerText, kNotStartedCaption, kMessageError);
  }
  ShowError(environment);
}

// An unsigned copy stores whatever the site sends, and reads it back. nullopt when a box has
// ended the command.
std::optional<std::string> FetchVersionFile(UpdateEnvironment& environment,
                                            const std::string& versionFile) {
  const DownloadResult download =
      environment.Download(SiteAddress(kVersionFilePath), versionFile, DownloadKind::kVersionFile,
                           std::nullopt, std::nullopt);
  if (!download.Done()) {
    ShowDownloadFailure(environment, download);
    return std::nullopt;
  }
  std::optional<std::string> bytes =
      environment.ReadVersionFile(versionFile, kMaxVersionFileBytes + 1);
  if (!bytes) ShowError(environment);
  return bytes;
}

// The day of the moment as the customer's calendar shows it.
std::string CustomersDay(UpdateEnvironment& environment, UtcSeconds moment) {
  return DayText(moment, environment.UtcOffsetAt(moment));
}

// The box of version data that failed a check.
void ShowUnchecked(UpdateEnvironment& environment, Freshness freshness,
                   const std::optional<VersionDates>& dates) {
  switch (freshness) {
    case Freshness::kAccepted:
      return;
    case Freshness::kNotSigned:
      return environment.ShowMessage(kDataNotSignedText, kUncheckedCaption, kMessageError);
    case Freshness::kExpired:
      return environment.ShowMessage(std::string(kDataExpiredText) +
                                         CustomersDay(environment, dates->expires) +
                                         std::string(kDataExpiredAdvice),
                                     kUncheckedCaption, kMessageWarning);
    case Freshness::kClockBehind:
      return environment.ShowMessage(std::string(kClockBehindText) +
                                         CustomersDay(environment, dates->issued) +
                                         std::string(kClockBehindAdvice),
                                     kUncheckedCaption, kMessageWarning);
    case Freshness::kOlder:
      return environment.ShowMessage(kDataOlderText, kUncheckedCaption, kMessageError);
  }
}

// A signed copy takes the version file into memory with its signature, and stores it, with the
// time it was issued, only when it is the shop's and fresh. nullopt when a box has ended the
// command; nothing is stored then.
std::optional<std::string> FetchSignedVersionData(UpdateEnvironment& environment,
                                                  const std::string& versionFile) {
  std::string bytes;
  const DownloadResult download =
      environment.DownloadBytes(SiteAddress(kVersionFilePath), DownloadKind::kVersionFile, bytes);
  if (!download.Done()) {
    ShowDownloadFailure(environment, download);
    return std::nullopt;
  }
  environment.ShowVersionText(FirstLine(bytes));
  if (bytes.size() > kMaxVersionFileBytes) {
    ShowError(environment);
    return std::nullopt;
  }
  std::string signature;
  const DownloadResult signatureDownload = environment.DownloadBytes(
      SiteAddress(kVersionSignaturePath), DownloadKind::kVersionSignature, signature);
  // A signature that never came says nothing of the shop: the connection failed (or the user
  // cancelled, which shows no box). One the site does not have is missing, as is one that is no
  // signature.
  if (!signatureDownload.Done() && signatureDownload.status != DownloadResult::Status::kNotFound) {
    ShowDownloadFailure(environment, signatureDownload);
    return std::nullopt;
  }
  // Data that does not name the program exactly is not what the shop signs.
  const bool signedByShop = signatureDownload.Done() && ReadNamedProgram(bytes) &&
                            environment.SignedByShop(bytes, signature);
  const std::optional<VersionDates> dates = ReadVersionDates(bytes);
  const std::optional<UtcSeconds> accepted = environment.AcceptedIssued();
  const Freshness freshness =
      DecideFreshness(signedByShop, dates, accepted, kReleaseTime, environment.Now());
  if (freshness != Freshness::kAccepted) {
    ShowUnchecked(environment, freshness, dates);
    return std::nullopt;
  }
  if (!accepted || dates->issued > *accepted) {
    try {
      environment.KeepAcceptedIssued(dates->issued);
    } catch (...) {
      // The data passed every check of this run: it is used all the same, and the next run
      // checks it against the record as it stands.
    }
  }
  environment.StoreVersionFile(versionFile, bytes);
  return bytes;
}

// Everything between the two cursor changes; returns having shown the outcome, if any.
void CheckDownloadAndHandOver(UpdateEnvironment& environment) {
  std::string folder = environment.UpdateFolder();
  if (folder.empty()) return ShowError(environment);
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';

  const std::string versionFile = folder + std::string(kVersionFileName);
  const bool signedCopy = environment.IsSigned();
  const std::optional<std::string> versionBytes =
      signedCopy ? FetchSignedVersionData(environment, versionFile)
                 : FetchVersionFile(environment, versionFile);
  if (!versionBytes) return;
  const std::string versionText = FirstLine(*versionBytes);
  if (!signedCopy) environment.ShowVersionText(versionText);
  if (versionBytes->size() > kMaxVersionFileBytes) return ShowError(environment);

  const std::optional<VersionValue> version =
      ParseVersion(versionText, environment.DecimalSeparator());
  if (!version) return ShowError(environment);
  if (!IsNewer(*version)) {
    return environment.ShowMessage(kNoNewVersionText, kNoNewVersionCaption, kMessageWarning);
  }

  const std::string programName =
      std::string(kProgramNamePrefix) + versionText + std::string(kProgramNameSuffix);
  if (!IsPlainFileName(programName)) return ShowError(environment);
  if (!environment.Confirm(kOfferText)) return;
  environment.ShowHourglass();  // the question's box showed the pointer

  // Every check runs before the download takes the file's name: a refused body never
  // replaces an earlier file of that name.
  const std::string programFile = folder + programName;
  const DownloadResult programDownload =
      environment.Download(SiteAddress(kProgramFilePath), programFile, DownloadKind::kProgram,
                           *version, signedCopy ? ReadNamedProgram(*versionBytes) : std::nullopt);
  if (!programDownload.Done()) return ShowDownloadFailure(environment, programDownload);

  if (!environment.Confirm(HandOverText(programName, folder))) return;
  environment.ShowHourglass();
  if (!environment.StartProgram(programFile)) return ShowError(environment);
  environment.CloseMainWindow();
}

// The error box for an exception; a local file that could not be written or read is named, so
// that the user does not look for the fault in the connection.
void ShowFailure(UpdateEnvironment& environment, const std::exception_ptr& failure) {
  std::string text(kErrorText);
  try {
    std::rethrow_exception(failure);
  } catch (const LocalFileError& error) {
    text +=
        error.What() == LocalFileError::Action::kRead ? kLocalReadFailureText : kLocalFailureText;
    text += error.Path();
    text += ": ";
    text += error.Reason();
  } catch (...) {
    // Anything else: the box's text alone.
  }
  environment.ShowMessage(text, kErrorCaption, kMessageError);
}

}  // namespace

void RunUpdate(UpdateEnvironment& environment) noexcept {
  try {
    environment.ShowHourglass();
    CheckDownloadAndHandOver(environment);
  } catch (...) {
    try {
      ShowFailure(environment, std::current_exception());
    } catch (...) {
      // Nothing more can be shown; the cursor is still put back.
    }
  }
  try {
    environment.RestoreCursor();
  } catch (...) {
    // Window code must not see exceptions; a stuck hourglass is all that is left.
  }
}

bool IsDownloadedProgramName(std::string_view fileName) {
  const std::size_t affixes = kProgramNamePrefix.size() + kProgramNameSuffix.size();
  if (fileName.size() <= affixes) return false;
  // Written with "," or "." (the only separators the site's version text can have for every
  // customer alike), whatever this computer's locale is now.
  const std::string_view versionText =
      fileName.substr(kProgramNamePrefix.size(), fileName.size() - affixes);
  return SameIgnoringCase(fileName.substr(0, kProgramNamePrefix.size()), kProgramNamePrefix) &&
         SameIgnoringCase(fileName.substr(fileName.size() - kProgramNameSuffix.size()),
                          kProgramNameSuffix) &&
         ParseVersion(versionText, ".").has_value();
}

bool TakesTheInstalledPlace(std::string_view ownFileName, const ProgramVersion& own,
                            const std::optional<ProgramVersion>& installed) {
  return IsDownloadedProgramName(ownFileName) && installed && IsNewerVersionOf(own, *installed);
}

}  // namespace deskfind
