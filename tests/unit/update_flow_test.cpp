#include "update/flow/update_flow.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "update/download/redirect_address.h"

namespace deskfind {
namespace {

using namespace std::string_literals;
using Calls = std::vector<std::string>;

constexpr char kVersionAddress[] = "http://www.stolver.ru/proga/version.txt";
constexpr char kProgramAddress[] = "http://www.stolver.ru/proga/deskfind.exe";
constexpr char kFolder[] = "C:\\Магазин\\deskfind\\";
const std::string kVersionFile = kFolder + "version.txt"s;
const std::string kProgramFile = kFolder + "deskfind1,1.exe"s;
const std::string kProgram = "MZ\x90\0\3\0"s;

const std::string kOfferText =
    "Есть новая версия программы!\rБудем скачивать ???\r\rОбъём скачиваемого файла ~ 0,6 Мб";
const std::string kHandOverText =
    "Новая версия программы закачена!\r\rпод именем deskfind1,1.exe\r\r"
    "в папку C:\\Магазин\\deskfind\\\r\rЗапустить новую версию, закрыв старую ???";

std::string Fetch(const std::string& address, const std::string& file) {
  return "download " + address + " -> " + file;
}
std::string Confirmed(const std::string& text) { return "confirm " + text; }
const std::string kErrorBox =
    "message 16 Проверьте наличие соединения с интернетом: "
    "Не удаётся закачать новую версию программы";
const std::string kNotSignedBox =
    "message 16 Новая версия не запущена: Закачанный файл не подписан магазином Столвер и удалён";
const std::string kNotNewerBox =
    "message 16 Новая версия не запущена: "
    "Закачанный файл не является новой версией программы и удалён";
const std::string kNoNewVersionBox =
    "message 48 Зайдите через недельку :-)): Новой версии программы пока нет!";

// Records every action in order; the site, the disk and the user's answers are set up front.
class RecordingEnvironment : public UpdateEnvironment {
 public:
  std::map<std::string, std::string> site;        // address -> body; absent addresses are not found
  std::map<std::string, DownloadResult> refused;  // address -> how its download ends instead
  std::map<std::string, LocalFileError> unwritable;  // address -> what its download throws
  std::map<std::string, std::string> disk;           // path -> contents
  std::deque<bool> answers;
  std::string folder = kFolder;
  std::string separator = ",";
  bool shellWorks = true;
  std::string throwAt;  // an action whose record starts so throws
  Calls calls;
  std::string memo;  // what the hidden memo shows

  void ShowHourglass() override { Record("hourglass"); }
  void RestoreCursor() override { Record("cursor"); }
  void ShowMessage(std::string_view text, std::string_view caption, unsigned style) override {
    Record("message " + std::to_string(style) + " " + std::string(caption) + ": " +
           std::string(text));
  }
  void ShowVersionText(std::string_view firstLine) override { memo = firstLine; }
  bool Confirm(std::string_view text) override {
    Record(Confirmed(std::string(text)));
    if (answers.empty()) throw std::logic_error("unexpected question");
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void CloseMainWindow() override { Record("close"); }
  std::string DecimalSeparator() override { return separator; }
  std::string UpdateFolder() override { return folder; }
  DownloadResult Download(std::string_view address, const std::string& path, DownloadKind kind,
                          std::optional<VersionValue> named,
                          const std::optional<NamedProgram>& program) override {
    Record(Fetch(std::string(address), path) +
           (kind == DownloadKind::kProgram ? " program" : " version") +
           (named ? " named " + std::to_string(named->scaled) : "") +
           (program ? " of " + std::to_string(program->length) + " bytes" : ""));
    if (const auto refusal = refused.find(std::string(address)); refusal != refused.end()) {
      return refusal->second;
    }
    if (const auto error = unwritable.find(std::string(address)); error != unwritable.end()) {
      throw error->second;
    }
    const auto found = site.find(std::string(address));
    if (found == site.end()) return {DownloadResult::Status::kNotFound, {}};
    disk[path] = found->second;
    return {DownloadResult::Status::kDone, {}};
  }
  std::optional<std::string> ReadVersionFile(const std::string& path,
                                             std::size_t maxBytes) override {
    Record("read " + path + " " + std::to_string(maxBytes));
    const auto found = disk.find(path);
    if (found == disk.end()) return std::nullopt;
    return found->second.substr(0, maxBytes);
  }
  bool StartProgram(const std::string& path) override {
    Record("start " + path);
    return shellWorks;
  }

  // A signed copy: the site's signatures name the exact bytes they sign.
  bool isSigned = false;
  std::map<std::string, std::string> signatures;  // signature -> the bytes it signs
  std::optional<UtcSeconds> accepted;
  UtcSeconds now = 0;

  bool IsSigned() override { return isSigned; }
  DownloadResult DownloadBytes(std::string_view address, DownloadKind kind,
                               std::string& body) override {
    Record("fetch " + std::string(address) +
           (kind == DownloadKind::kVersionSignature ? " signature" : " version"));
    if (const auto refusal = refused.find(std::string(address)); refusal != refused.end()) {
      return refusal->second;
    }
    const auto found = site.find(std::string(address));
    if (found == site.end()) return {DownloadResult::Status::kNotFound, {}};
    body = found->second;
    return {DownloadResult::Status::kDone, {}};
  }
  bool SignedByShop(std::string_view data, std::string_view signature) override {
    const auto found = signatures.find(std::string(signature));
    return found != signatures.end() && found->second == data;
  }
  std::optional<UtcSeconds> AcceptedIssued() override { return accepted; }
  void KeepAcceptedIssued(UtcSeconds issued) override {
    Record("keep " + UtcTimeText(issued));
    accepted = issued;
  }
  UtcSeconds Now() override { return now; }
  std::int64_t utcOffset = 0;  // the customer's time zone
  std::int64_t UtcOffsetAt(UtcSeconds) override { return utcOffset; }
  void StoreVersionFile(const std::string& path, std::string_view bytes) override {
    Record("store " + path);
    disk[path] = bytes;
  }

 private:
  void Record(std::string call) {
    calls.push_back(std::move(call));
    if (!throwAt.empty() && calls.back().rfind(throwAt, 0) == 0) {
      throw std::runtime_error("cannot write " + calls.back());
    }
  }
};

class UpdateFlow : public ::testing::Test {
 protected:
  void Publish(const std::string& versionFile, const std::string& program = kProgram) {
    environment.site[kVersionAddress] = versionFile;
    environment.site[kProgramAddress] = program;
  }
  Calls Run() {
    RunUpdate(environment);
    return environment.calls;
  }
  // The calls up to the offer of a newer version 1,1.
  Calls UpToOffer() const {
    return {"hourglass", Fetch(kVersionAddress, kVersionFile) + " version",
            "read " + kVersionFile + " 65537", Confirmed(kOfferText)};
  }
  // The hourglass comes back after each question; only the version file is read (into the
  // memo), never the program.
  Calls UpToHandOver() const {
    return Then(UpToOffer(),
                {"hourglass", Fetch(kProgramAddress, kProgramFile) + " program named 11000",
                 Confirmed(kHandOverText)});
  }
  static Calls Then(Calls calls, std::initializer_list<std::string> more) {
    calls.insert(calls.end(), more);
    return calls;
  }

  RecordingEnvironment environment;
};

TEST_F(UpdateFlow, SameVersionSaysComeBackLater) {
  Publish("1,00005\r\n");
  EXPECT_EQ(Run(), (Calls{"hourglass", Fetch(kVersionAddress, kVersionFile) + " version",
                          "read " + kVersionFile + " 65537", kNoNewVersionBox, "cursor"}));
}

TEST_F(UpdateFlow, DecliningTheOfferDownloadsNothingMore) {
  Publish("1,1\r\n");
  environment.answers = {false};
  EXPECT_EQ(Run(), Then(UpToOffer(), {"cursor"}));
}

TEST_F(UpdateFlow, AcceptedOfferStoresTheProgramUnderTheFirstLineAndNamesFileAndFolder) {
  Publish("1,1\r\nnotes\0\xFF"s);
  environment.answers = {true, false};
  EXPECT_EQ(Run(), Then(UpToHandOver(), {"cursor"}));
  EXPECT_EQ(environment.disk.at(kProgramFile), kProgram);
}

TEST_F(UpdateFlow, HandOverStartsTheNewProgramThenClosesTheMainWindow) {
  Publish("1,1\n");
  environment.answers = {true, true};
  EXPECT_EQ(Run(), Then(UpToHandOver(), {"hourglass", "start " + kProgramFile, "close", "cursor"}));
}

TEST_F(UpdateFlow, ShellFailureShowsTheErrorAndKeepsRunning) {
  Publish("1,1");
  environment.answers = {true, true};
  environment.shellWorks = false;
  EXPECT_EQ(Run(),
            Then(UpToHandOver(), {"hourglass", "start " + kProgramFile, kErrorBox, "cursor"}));
}

// One version file serves every locale; the file name keeps the text as it came.
TEST_F(UpdateFlow, VersionTextIsUsedAsWrittenWhicheverDecimalSeparatorItHas) {
  Publish(" 2.5 \r\n");
  environment.separator = ".";
  environment.folder = "D:\\deskfind";  // the missing separator is added
  environment.answers = {true, false};
  Run();
  EXPECT_EQ(environment.disk.count("D:\\deskfind\\deskfind 2.5 .exe"), 1u);

  for (const auto& [text, separator] : {std::pair{"1.1", ","}, std::pair{"1,1", "."}}) {
    environment = RecordingEnvironment();
    Publish(text);
    environment.separator = separator;
    environment.answers = {true, false};
    Run();
    EXPECT_EQ(environment.disk.count(kFolder + "deskfind"s + text + ".exe"), 1u) << text;
  }
}

TEST_F(UpdateFlow, UnusableVersionFilesEndInTheErrorBox) {
  const std::string justTooBig = "2\r\n" + std::string(kMaxVersionFileBytes - 2, ' ');
  for (const std::string& versionFile : {""s, "abc"s, "1.1,1"s, "\r\n1,1"s, justTooBig}) {
    environment = RecordingEnvironment();
    Publish(versionFile);
    EXPECT_EQ(Run(), (Calls{"hourglass", Fetch(kVersionAddress, kVersionFile) + " version",
                            "read " + kVersionFile + " 65537", kErrorBox, "cursor"}))
        << versionFile.substr(0, 10);
  }
  environment = RecordingEnvironment();
  Publish(justTooBig.substr(0, kMaxVersionFileBytes));  // exactly the limit is still fine
  environment.answers = {false};
  EXPECT_EQ(Run().back(), "cursor");
  EXPECT_EQ(environment.calls.end()[-2].rfind("confirm", 0), 0u);
}

TEST_F(UpdateFlow, FailedDownloadsEndInTheirBox) {
  environment.folder.clear();
  EXPECT_EQ(Run(), (Calls{"hourglass", kErrorBox, "cursor"}));

  environment = RecordingEnvironment();
  EXPECT_EQ(Run(), (Calls{"hourglass", Fetch(kVersionAddress, kVersionFile) + " version", kErrorBox,
                          "cursor"}));

  // A refused body that could not be removed is named in the box.
  const std::string leftBehind = kFolder + "dfd1A.tmp"s;
  const std::string leftBehindBox = kErrorBox + "\r\rНе удалось удалить файл " + leftBehind;
  using Status = DownloadResult::Status;
  environment = RecordingEnvironment();
  environment.refused[kVersionAddress] = {Status::kFailed, leftBehind};
  EXPECT_EQ(Run(), (Calls{"hourglass", Fetch(kVersionAddress, kVersionFile) + " version",
                          leftBehindBox, "cursor"}));

  const std::pair<DownloadResult, std::string> refusals[] = {
      {{Status::kFailed, {}}, kErrorBox},
      {{Status::kNotSigned, {}}, kNotSignedBox},
      {{Status::kFailed, leftBehind}, leftBehindBox},
      {{Status::kNotSigned, leftBehind}, leftBehindBox},
      {{Status::kNotNewer, {}}, kNotNewerBox},
      {{Status::kNotNewer, leftBehind}, leftBehindBox},
  };
  for (const auto& [refusal, box] : refusals) {
    environment = RecordingEnvironment();
    Publish("1,1");
    environment.refused[kProgramAddress] = refusal;
    environment.answers = {true};
    EXPECT_EQ(Run(),
              Then(UpToOffer(),
                   {"hourglass", Fetch(kProgramAddress, kProgramFile) + " program named 11000", box,
                    "cursor"}));
  }

  // A download the user cancelled ends the command without a word.
  environment = RecordingEnvironment();
  environment.refused[kVersionAddress] = {Status::kCancelled, {}};
  EXPECT_EQ(Run(),
            (Calls{"hourglass", Fetch(kVersionAddress, kVersionFile) + " version", "cursor"}));
  environment = RecordingEnvironment();
  Publish("1,1");
  environment.refused[kProgramAddress] = {Status::kCancelled, {}};
  environment.answers = {true};
  EXPECT_EQ(Run(), Then(UpToOffer(),
                        {"hourglass", Fetch(kProgramAddress, kProgramFile) + " program named 11000",
                         "cursor"}));

  // A local file that cannot be written (here: a folder has its name) is named with the reason.
  environment = RecordingEnvironment();
  Publish("1,1");
  environment.unwritable.emplace(kProgramAddress,
                                 LocalFileError(kProgramFile, "Отказано в доступе."));
  environment.answers = {true};
  EXPECT_EQ(Run(), Then(UpToOffer(),
                        {"hourglass", Fetch(kProgramAddress, kProgramFile) + " program named 11000",
                         kErrorBox + "\r\rНе удалось записать файл " + kProgramFile +
                             ": Отказано в доступе.",
                         "cursor"}));
}

// A locale's separator that names a folder or (":") a stream of the file "deskfind1": the
// answers are there, so only the refusal keeps the offer from being made.
TEST_F(UpdateFlow, SeparatorThatCannotBePartOfAFileNameIsAnError) {
  for (const std::string separator : {"\\", "/", ":"}) {
    environment = RecordingEnvironment();
    Publish("1" + separator + "1");
    environment.separator = separator;
    environment.answers = {true, true};
    EXPECT_EQ(Run(), (Calls{"hourglass", Fetch(kVersionAddress, kVersionFile) + " version",
                            "read " + kVersionFile + " 65537", kErrorBox, "cursor"}))
        << separator;
    EXPECT_EQ(environment.disk.size(), 1u) << separator;
  }
}

TEST_F(UpdateFlow, ExceptionsFromTheEnvironmentEndInTheErrorBoxThenTheCursor) {
  for (const std::string failing : {"hourglass", "download", "read", "confirm", "start", "close"}) {
    environment = RecordingEnvironment();
    Publish("1,1");
    environment.answers = {true, true};
    environment.throwAt = failing;
    const Calls calls = Run();
    ASSERT_GE(calls.size(), 3u) << failing;
    EXPECT_EQ(calls.end()[-3].rfind(failing, 0), 0u) << failing;
    EXPECT_EQ(calls.end()[-2], kErrorBox) << failing;
    EXPECT_EQ(calls.back(), "cursor") << failing;
  }
}

TEST_F(UpdateFlow, ThrowingErrorBoxAndCursorDoNotEscape) {
  environment.throwAt = "message";
  EXPECT_EQ(Run().back(), "cursor");
  environment = RecordingEnvironment();
  environment.throwAt = "cursor";
  EXPECT_EQ(Run().back(), "cursor");
}

// A signed copy. The site serves version data issued 2026-12-09T10:00:00Z and valid 45 days,
// and a signature of it; the clock is an hour after its issue.
class SignedUpdateFlow : public UpdateFlow {
 protected:
  static constexpr char kSignatureAddress[] = "http://www.stolver.ru/proga/version.sig";
  static constexpr UtcSeconds kIssued = 1796810400;
  static constexpr UtcSeconds kDay = kSecondsPerDay;

  static constexpr char kProgramLines[] =
      "program-length 600000\r\n"
      "program-sha256 00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\r\n";
  static std::string Data(const std::string& issued = "2026-12-09T10:00:00Z") {
    return "1,1\r\nissued " + issued + "\r\nexpires 2027-01-23T10:00:00Z\r\n" + kProgramLines;
  }
  void SetUp() override { Reset(); }
  void Reset() {
    environment = RecordingEnvironment();
    environment.isSigned = true;
    environment.now = kIssued + 3600;
  }
  // The data and a signature of `signs` (by default, of the data itself).
  void PublishSigned(const std::string& data, std::optional<std::string> signs = std::nullopt) {
    Publish(data);
    environment.site[kSignatureAddress] = "signature of " + data;
    environment.signatures["signature of " + data] = signs.value_or(data);
  }
  static Calls UpToChecks() {
    return {"hourglass", "fetch "s + kVersionAddress + " version",
            "fetch "s + kSignatureAddress + " signature"};
  }
  static std::string Box(unsigned style, const std::string& text) {
    return "message " + std::to_string(style) + " Новая версия не проверена: " + text;
  }
};

TEST_F(SignedUpdateFlow, StoresDataThatPassedEveryCheckWithItsIssuedThenOffers) {
  environment.disk[kVersionFile] = "1,0 stored before";
  PublishSigned(Data());
  environment.answers = {false};
  EXPECT_EQ(Run(), Then(UpToChecks(), {"keep 2026-12-09T10:00:00Z", "store " + kVersionFile,
                                       Confirmed(kOfferText), "cursor"}));
  EXPECT_EQ(environment.disk.at(kVersionFile), Data());
  EXPECT_EQ(environment.accepted, kIssued);
  EXPECT_EQ(environment.memo, "1,1");
}

TEST_F(SignedUpdateFlow, EachFailedCheckEndsInItsBoxAndStoresNothing) {
  const std::string notSigned =
      Box(kMessageError, "Сведения о новой версии программы на сайте не подписаны магазином.");
  const std::string expired = Box(kMessageWarning,
                                  "Сведения о новой версии программы на сайте устарели: они "
                                  "действительны до 23.01.2027.\r\rПопробуйте позже.");
  const std::string clockBehind = Box(kMessageWarning,
                                      "Часы этого компьютера отстают: сведения о новой версии "
                                      "программы выпущены 09.12.2026.\r\rПроверьте дату и время.");
  const std::string older = Box(kMessageError,
                                "Сведения о новой версии программы старше уже полученных: "
                                "возможно, их подменили.");
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string box;
  };
  const Case cases[] = {
      {"no signature", [this] { Publish(Data()); }, notSigned},
      {"a signature of other bytes", [this] { PublishSigned(Data(), "1,0" + Data().substr(3)); },
       notSigned},
      {"no dates", [this] { PublishSigned("1,1\r\n"s + kProgramLines); }, notSigned},
      {"no program lines",
       [this] { PublishSigned(Data().substr(0, Data().size() - std::strlen(kProgramLines))); },
       notSigned},
      {"a date that does not exist", [this] { PublishSigned(Data("2027-02-29T10:00:00Z")); },
       notSigned},
      {"expired",
       [this] {
         PublishSigned(Data());
         environment.now = kIssued + 45 * kDay;
       },
       expired},
      {"issued more than a day ahead of the clock",
       [this] {
         PublishSigned(Data());
         environment.now = kIssued - kDay - 1;
       },
       clockBehind},
      {"older than accepted before",
       [this] {
         PublishSigned(Data());
         environment.accepted = kIssued + 1;
       },
       older},
      {"a signature that never came",
       [this] {
         PublishSigned(Data());
         environment.refused[kSignatureAddress] = {DownloadResult::Status::kFailed, {}};
       },
       kErrorBox},
      {"expired on a day that is already the next where the customer is",
       [this] {
         PublishSigned(Data());
         environment.now = kIssued + 45 * kDay;
         environment.utcOffset = 14 * 3600;
       },
       Box(kMessageWarning,
           "Сведения о новой версии программы на сайте устарели: они "
           "действительны до 24.01.2027.\r\rПопробуйте позже.")},
  };
  for (const Case& c : cases) {
    Reset();
    environment.disk[kVersionFile] = "1,0 stored before";
    c.arrange();
    const std::optional<UtcSeconds> acceptedBefore = environment.accepted;
    environment.answers = {true, true};
    EXPECT_EQ(Run(), Then(UpToChecks(), {c.box, "cursor"})) << c.name;
    EXPECT_EQ(environment.disk.at(kVersionFile), "1,0 stored before") << c.name;
    EXPECT_EQ(environment.accepted, acceptedBefore) << c.name;
  }
}

// The program file a signed copy downloads is the one its data names, byte for byte.
TEST_F(SignedUpdateFlow, TheDownloadTakesTheProgramTheDataNames) {
  PublishSigned(Data());
  environment.site[kProgramAddress] = "MZ";
  environment.answers = {true, false};
  const Calls calls = Run();
  EXPECT_NE(
      std::find(calls.begin(), calls.end(),
                Fetch(kProgramAddress, kProgramFile) + " program named 11000 of 600000 bytes"),
      calls.end());
}

// Data that passed every check is used even when the time it was issued cannot be kept.
TEST_F(SignedUpdateFlow, DataIsUsedWhenItsIssuedCannotBeKept) {
  PublishSigned(Data());
  environment.answers = {false};
  environment.throwAt = "keep";
  EXPECT_EQ(Run(), Then(UpToChecks(), {"keep 2026-12-09T10:00:00Z", "store " + kVersionFile,
                                       Confirmed(kOfferText), "cursor"}));
  EXPECT_EQ(environment.disk.at(kVersionFile), Data());
}

// A cancelled signature is no refused one: no box, and nothing stored.
TEST_F(SignedUpdateFlow, CancellingEitherVersionFileEndsWithoutABoxAndStoresNothing) {
  for (const char* cancelled : {kVersionAddress, kSignatureAddress}) {
    Reset();
    environment.disk[kVersionFile] = "1,0 stored before";
    PublishSigned(Data());
    environment.refused[cancelled] = {DownloadResult::Status::kCancelled, {}};
    Calls expected = UpToChecks();
    if (std::string_view(cancelled) == kVersionAddress) expected.pop_back();
    expected.push_back("cursor");
    EXPECT_EQ(Run(), expected) << cancelled;
    EXPECT_EQ(environment.disk.at(kVersionFile), "1,0 stored before");
    EXPECT_EQ(environment.accepted, std::nullopt);
  }
}

TEST_F(SignedUpdateFlow, TheSameDataAgainIsAcceptedAndALowerIssuedAfterAHigherIsNot) {
  PublishSigned(Data());
  environment.answers = {false, false};
  Run();
  environment.calls.clear();
  EXPECT_EQ(Run(), Then(UpToChecks(), {"store " + kVersionFile, Confirmed(kOfferText), "cursor"}));

  PublishSigned(Data("2026-12-09T09:59:59Z"));
  environment.calls.clear();
  EXPECT_EQ(Run(), Then(UpToChecks(), {Box(kMessageError,
                                           "Сведения о новой версии программы старше уже "
                                           "полученных: возможно, их подменили."),
                                       "cursor"}));
  EXPECT_EQ(environment.disk.at(kVersionFile), Data());
  EXPECT_EQ(environment.accepted, kIssued);
}

// A fragment is never sent, and a redirect leads only to http or https, never down from https.
TEST(DownloadAddress, CutsTheFragmentAndRefusesAStepDown) {
  EXPECT_EQ(RequestAddress("http://www.stolver.ru/proga/version.txt#top"),
            "http://www.stolver.ru/proga/version.txt");
  EXPECT_EQ(RequestAddress("http://a.test/x?y=1#top#more"), "http://a.test/x?y=1");
  EXPECT_EQ(RequestAddress("http://a.test/x"), "http://a.test/x");

  const std::optional<std::string> none;
  const std::tuple<const char*, const char*, std::optional<std::string>> redirects[] = {
      {"http://a.test/1", "http://b.test/2#top", "http://b.test/2"},
      {"http://a.test/1", "HTTPS://b.test/2", "HTTPS://b.test/2"},
      {"https://a.test/1", "https://b.test/2#top", "https://b.test/2"},
      {"https://a.test/1", "http://b.test/2", none},
      {"HTTPS://a.test/1", "Http://b.test/2", none},
      {"http://a.test/1", "ftp://b.test/2", none},
      {"http://a.test/1", "file:///C:/2", none},
      {"http://a.test/1", "b.test#https://c.test/", none},
  };
  for (const auto& [from, to, next] : redirects) {
    EXPECT_EQ(RedirectAddress(from, to), next) << from << " -> " << to;
  }
}

// A copy started under the name the update gave it takes the place of an older deskfind.exe of
// this product, and nothing else does.
ProgramVersion Version(const std::string& productName, std::uint16_t minor) {
  std::string utf16;
  for (char c : productName) utf16 += {c, '\0'};
  return {utf16, {1, minor, 0, 0}};
}

TEST(InstalledPlace, IsTakenByADownloadedCopyFromAnOlderVersionOfThisProduct) {
  const ProgramVersion own = Version("deskfind", 1000);
  const std::optional<ProgramVersion> older = Version("deskfind", 0);
  const std::tuple<const char*, std::optional<ProgramVersion>, bool> cases[] = {
      {"deskfind1,1.exe", older, true},
      {"DeskFind1.1.EXE", older, true},
      {"deskfind2.exe", older, true},
      // The installed copy itself, and names the update never gives.
      {"deskfind.exe", older, false},
      {"deskfind (2).exe", older, false},
      {"deskfind1,1.exe.exe", older, false},
      {"old-deskfind1,1.exe", older, false},
      {"deskfind1,1.com", older, false},
      // Not older, not this product, or not known.
      {"deskfind1,1.exe", Version("deskfind", 1000), false},
      {"deskfind1,1.exe", Version("deskfind", 2000), false},
      {"deskfind1,1.exe", Version("deskplan", 0), false},
      {"deskfind1,1.exe", Version("", 0), false},
      {"deskfind1,1.exe", std::nullopt, false},
  };
  for (const auto& [name, installed, takes] : cases) {
    EXPECT_EQ(TakesTheInstalledPlace(name, own, installed), takes)
        << name << " over " << (installed ? installed->fileVersion[1] : -1);
  }
  EXPECT_FALSE(TakesTheInstalledPlace("deskfind1,1.exe", Version("", 1000), Version("", 0)));
}

}  // namespace
}  // namespace deskfind
