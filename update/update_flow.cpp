#include "update/update_flow.h"

#include <exception>

#include "shop/identity.h"
#include "update/version_number.h"

namespace deskfind {
namespace {

constexpr std::string_view kVersionFilePath = "/proga/version.txt";
constexpr std::string_view kProgramFilePath = "/proga/deskfind.exe";
constexpr std::string_view kVersionFileName = "version.txt";
constexpr std::string_view kProgramNamePrefix = "deskfind";
constexpr std::string_view kProgramNameSuffix = ".exe";
constexpr std::size_t kMaxFileNameLength = 255;  // per path component on Windows

constexpr std::string_view kErrorText = "Не удаётся закачать новую версию программы";
constexpr std::string_view kErrorCaption = "Проверьте наличие соединения с интернетом";
constexpr std::string_view kNoNewVersionText = "Новой версии программы пока нет!";
constexpr std::string_view kNoNewVersionCaption = "Зайдите через недельку :-))";
constexpr std::string_view kLeftBehindText = "\r\rНе удалось удалить файл ";
constexpr std::string_view kLocalFailureText = "\r\rНе удалось записать файл ";
constexpr std::string_view kNotSignedText =
    "Закачанный файл не подписан магазином Столвер и удалён";
// The caption of both boxes that refuse a downloaded program.
constexpr std::string_view kNotStartedCaption = "Новая версия не запущена";
constexpr std::string_view kNotNewerText =
    "Закачанный файл не является новой версией программы и удалён";
constexpr std::string_view kOfferText =
    "Есть новая версия программы!\rБудем скачивать ???\r\rОбъём скачиваемого файла ~ 0,6 Мб";

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

std::string HandOverText(std::string_view programName, std::string_view folder) {
  std::string text = "Новая версия программы закачена!\r\rпод именем ";
  text += programName;
  text += "\r\rв папку ";
  text += folder;
  text += "\r\rЗапустить новую версию, закрыв старую ???";
  return text;
}

void ShowError(UpdateEnvironment& environment) {
  environment.ShowMessage(kErrorText, kErrorCaption, kMessageError);
}

// The box for a download that did not end well. A refused body that could not be removed is
// named, so that the user knows it is there.
void ShowDownloadFailure(UpdateEnvironment& environment, const DownloadResult& result) {
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

// Everything between the two cursor changes; returns having shown the outcome, if any.
void CheckDownloadAndHandOver(UpdateEnvironment& environment) {
  std::string folder = environment.UpdateFolder();
  if (folder.empty()) return ShowError(environment);
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';

  const std::string versionFile = folder + std::string(kVersionFileName);
  const DownloadResult versionDownload =
      environment.Download(SiteAddress(kVersionFilePath), versionFile, DownloadKind::kVersionFile);
  if (!versionDownload.Done()) return ShowDownloadFailure(environment, versionDownload);
  const std::optional<std::string> versionBytes =
      environment.ReadVersionFile(versionFile, kMaxVersionFileBytes + 1);
  if (!versionBytes) return ShowError(environment);
  const std::string versionText = FirstLine(*versionBytes);
  environment.ShowVersionText(versionText);
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
      environment.Download(SiteAddress(kProgramFilePath), programFile, DownloadKind::kProgram);
  if (!programDownload.Done()) return ShowDownloadFailure(environment, programDownload);

  if (!environment.Confirm(HandOverText(programName, folder))) return;
  environment.ShowHourglass();
  if (!environment.StartProgram(programFile)) return ShowError(environment);
  environment.CloseMainWindow();
}

// The error box for an exception; a local file that could not be written is named, so that the
// user does not look for the fault in the connection.
void ShowFailure(UpdateEnvironment& environment, const std::exception_ptr& failure) {
  std::string text(kErrorText);
  try {
    std::rethrow_exception(failure);
  } catch (const LocalFileError& error) {
    text += kLocalFailureText;
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

}  // namespace deskfind
