#include "update/online_update.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/application.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/services.h"
#include "platform/utf16.h"
#include "platform/win32_handles.h"
#include "update/accepted_version_store.h"
#include "update/download/download.h"
#include "update/download/limits.h"
#include "update/download_window.h"
#include "update/flow/update_flow.h"
#include "update/flow/update_texts.h"
#include "update/flow/version_value.h"
#include "update/trust/authenticode.h"
#include "update/trust/program_file_reader.h"
#include "update/trust/version_data_signature.h"

namespace deskfind {
namespace {

constexpr UINT kSiteCodePage = 1251;     // the shop's site writes its texts in Windows-1251
constexpr INT_PTR kShellSucceeded = 32;  // ShellExecute's results above this mean success

// A longer line is no version (the file name made of it would be too long), and the memo's
// word wrap takes seconds over a line of many kilobytes.
constexpr std::size_t kMemoTextLimit = 255;

constexpr DWORD kVersionWindowDelay = 500;

std::string SiteTextToUtf8(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int wideLength = MultiByteToWideChar(kSiteCodePage, 0, bytes.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(kSiteCodePage, 0, bytes.data(), length, wide.data(), wideLength);
  return Utf8(wide);
}

// The path of the open file, as a path the shell takes: "\\?\C:\..." without its prefix,
// "\\?\UNC\server\..." as "\\server\...". nullopt when it cannot be told.
std::optional<std::wstring> FinalPathOf(HANDLE file) {
  if (!file) return std::nullopt;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(
        file, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (length == 0) return std::nullopt;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length);  // the size needed, its terminating zero included
  }
  constexpr std::wstring_view kUncPrefix = L"\\\\?\\UNC\\";
  constexpr std::wstring_view kLocalPrefix = L"\\\\?\\";
  if (path.compare(0, kUncPrefix.size(), kUncPrefix) == 0) {
    return L"\\\\" + path.substr(kUncPrefix.size());
  }
  if (path.compare(0, kLocalPrefix.size(), kLocalPrefix) == 0)
    return path.substr(kLocalPrefix.size());
  return path;
}

class WindowUpdateEnvironment final : public UpdateEnvironment {
 public:
  WindowUpdateEnvironment(Application& app, Form& mainWindow, Memo& versionMemo)
      : app_(app), mainWindow_(mainWindow), versionMemo_(versionMemo) {}

  void ShowHourglass() override { app_.SetWaitCursor(true); }
  void RestoreCursor() override { app_.SetWaitCursor(false); }
  void ShowMessage(std::string_view text, std::string_view caption, unsigned style) override {
    app_.ShowMessage(text, caption, style);
  }
  void ShowVersionText(std::string_view firstLine) override {
    versionMemo_.SetText(SiteTextToUtf8(std::string(firstLine.substr(0, kMemoTextLimit))));
  }
  bool Confirm(std::string_view text) override { return app_.Confirm(text) == IDYES; }
  void CloseMainWindow() override { mainWindow_.Close(); }
  std::string DecimalSeparator() override { return UserDecimalSeparator(); }

  std::string UpdateFolder() override { return Utf8(ProgramFolder()); }
  DownloadResult Download(std::string_view address, const std::string& path, DownloadKind kind,
                          std::optional<VersionValue> named,
                          const std::optional<NamedProgram>& program) override {
    DownloadRules rules;
    if (kind == DownloadKind::kVersionFile) {
      rules.maxBytes = kMaxVersionFileBytes;
      DownloadWindowWatch watch = Watch(kind);
      return GetInetFile(address, path, rules, nullptr, &watch);
    }
    rules.maxBytes = kMaxProgramFileBytes;
    rules.totalMilliseconds = kProgramDownloadMilliseconds;
    ProgramRequirements requirements;
    signer_ = OwnSigner();
    if (signer_) {
      requirements.signer = &*signer_;
      requirements.versionData = &acceptedData_;
      requirements.versionSignature = &acceptedSignature_;
      // Every release the shop ever signed carries its signature: only a newer one may start.
      runningVersion_ = RunningProgramVersion();
      requirements.newerThan = &runningVersion_;
      // Nor may an older release take the name of a newer one.
      namedVersion_ = named ? FileVersionOf(*named) : std::nullopt;
      if (!namedVersion_) return {DownloadResult::Status::kNotNewer, {}};
      requirements.atLeast = &*namedVersion_;
      // Exactly the program the signed data names: reading stops past its length.
      if (!program) return {DownloadResult::Status::kNotSigned, {}};
      namedProgram_ = *program;
      rules.maxBytes = static_cast<std::size_t>(
          std::min<std::uint64_t>(namedProgram_.length, kMaxProgramFileBytes));
      requirements.length = &namedProgram_.length;
      requirements.sha256 = &namedProgram_.sha256;
    }
    rules.accept = ProgramFileAcceptance(requirements);
    // Held open until the command ends, so the file started is the file checked.
    DownloadWindowWatch watch = Watch(kind);
    return GetInetFile(address, path, rules, &program_, &watch);
  }

  std::optional<std::string> ReadVersionFile(const std::string& path,
                                             std::size_t maxBytes) override {
    const HANDLE opened = CreateFileW(Utf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
    const FileHandle file(opened);
    std::string bytes(maxBytes, '\0');
    std::size_t filled = 0;
    while (filled < maxBytes) {
      const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(maxBytes - filled, 65536));
      DWORD read = 0;
      if (!ReadFile(file.Get(), bytes.data() + filled, wanted, &read, nullptr)) {
        return std::nullopt;
      }
      if (read == 0) break;
      filled += read;
    }
    bytes.resize(filled);
    return bytes;
  }

  // The file started is the one checked and held open, wherever its name now leads: `path`
  // joined again could name another file by now (a link in the folder, say).
  bool StartProgram(const std::string&) override {
    const std::optional<std::wstring> held = FinalPathOf(program_.Get());
    return held && ShellOpen(mainWindow_.Handle(), "open", Utf8(*held)) > kShellSucceeded;
  }

  bool IsSigned() override {
    signer_ = OwnSigner();
    return signer_.has_value();
  }
  DownloadResult DownloadBytes(std::string_view address, DownloadKind kind,
                               std::string& body) override {
    DownloadRules rules;
    rules.maxBytes =
        kind == DownloadKind::kVersionSignature ? kMaxVersionSignatureBytes : kMaxVersionFileBytes;
    DownloadWindowWatch watch = Watch(kind);
    return GetInetBytes(address, rules, body, &watch);
  }
  bool SignedByShop(std::string_view data, std::string_view signature) override {
    if (!signer_ || !VersionDataSignedBy(data, signature, *signer_)) return false;
    // A program signed with another certificate is taken if that one's key signed this too.
    acceptedData_ = data;
    acceptedSignature_ = signature;
    return true;
  }
  std::optional<UtcSeconds> AcceptedIssued() override { return deskfind::AcceptedIssued(); }
  void KeepAcceptedIssued(UtcSeconds issued) override { deskfind::KeepAcceptedIssued(issued); }
  UtcSeconds Now() override { return UtcNow(); }
  std::int64_t UtcOffsetAt(UtcSeconds moment) override { return LocalOffsetAt(moment); }
  void StoreVersionFile(const std::string& path, std::string_view bytes) override {
    deskfind::StoreVersionFile(path, bytes);
  }

 private:
  // A copy that cannot read its own file cannot tell whether it is signed: the box names the
  // file, rather than calling the shop's data unsigned.
  static std::optional<Certificate> OwnSigner() {
    const FileHandle own = OpenRunningProgram();
    if (!own) {
      std::string reason = LastErrorText();  // before anything else sets the last error
      throw LocalFileError(Utf8(ProgramPath()), std::move(reason), LocalFileError::Action::kRead);
    }
    return RunningProgramSigner(own.Get());
  }

  // The program file's window shows at once; the version files' only on a slow line, so that
  // a quick check shows no flash.
  DownloadWindowWatch Watch(DownloadKind kind) {
    return {app_, std::string(DownloadCaption(kind == DownloadKind::kProgram)),
            kind == DownloadKind::kProgram ? 0 : kVersionWindowDelay};
  }

  Application& app_;
  Form& mainWindow_;
  Memo& versionMemo_;
  std::optional<Certificate> signer_;
  std::string acceptedData_;
  std::string acceptedSignature_;
  NamedProgram namedProgram_;
  ProgramVersion runningVersion_;
  std::optional<std::array<std::uint16_t, 4>> namedVersion_;
  DownloadedFile program_;
};

}  // namespace

DownloadRules::Acceptance ProgramFileAcceptance(ProgramRequirements requirements) {
  return [requirements](HANDLE file, const std::wstring& path) {
    switch (AcceptProgramFile(file, path, requirements)) {
      case ProgramVerdict::kAccepted:
        return DownloadResult::Status::kDone;
      case ProgramVerdict::kNotSigned:
        return DownloadResult::Status::kNotSigned;
      case ProgramVerdict::kNotNewer:
        return DownloadResult::Status::kNotNewer;
      case ProgramVerdict::kNotAProgram:
        break;
    }
    return DownloadResult::Status::kFailed;
  };
}

void RunOnlineUpdate(Application& app, Form& mainWindow, Memo& versionMemo) {
  WindowUpdateEnvironment environment(app, mainWindow, versionMemo);
  RunUpdate(environment);
}

}  // namespace deskfind
