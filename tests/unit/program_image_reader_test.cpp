#include "update/trust/program_image_reader.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "update/trust/program_signer.h"

namespace deskfind {
namespace {

using namespace std::string_literals;

// A small Windows program as bytes: headers, one section holding the resources with a version
// resource (deskfind 1.1000.0.0), and a certificate table holding kSignature. Every offset of
// interest is kept, so that a case can break one field.
const std::string kSignature = "\x30\x03\x02\x01\x05"s;

void Put16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}
void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  Put16(bytes, at, static_cast<std::uint16_t>(value));
  Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}
std::uint32_t Get32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}
void PadTo4(std::string& bytes) { bytes.resize((bytes.size() + 3) / 4 * 4, '\0'); }
std::string Utf16(std::string_view ascii) {
  std::string text;
  for (char c : ascii) text += std::string{c, '\0'};
  return text;
}

// A version node: wLength, wValueLength, wType, the key, the value, then the children.
std::string Node(std::string_view key, const std::string& value, std::uint16_t valueLength,
                 bool text, const std::vector<std::string>& children = {}) {
  std::string node(6, '\0');
  node += Utf16(key) + "\0\0"s;
  PadTo4(node);
  node += value;
  for (const std::string& child : children) {
    PadTo4(node);
    node += child;
  }
  Put16(node, 0, static_cast<std::uint16_t>(node.size()));
  Put16(node, 2, valueLength);
  Put16(node, 4, text ? 1 : 0);
  return node;
}

std::string VersionBlock(std::string_view productName) {
  std::string fixed(52, '\0');
  Put32(fixed, 0, 0xFEEF04BD);
  Put32(fixed, 4, 0x10000);
  Put32(fixed, 8, 1u << 16 | 1000);  // 1.1000
  Put32(fixed, 12, 0);
  const std::string name = Utf16(productName) + "\0\0"s;
  const std::string string =
      Node("ProductName", name, static_cast<std::uint16_t>(name.size() / 2), true);
  const std::string table = Node("041904B0", "", 0, true, {string});
  const std::string info = Node("StringFileInfo", "", 0, true, {table});
  return Node("VS_VERSION_INFO", fixed, 52, false, {info});
}

struct Image {
  std::string bytes;
  std::size_t fileHeaderAt;   // IMAGE_FILE_HEADER
  std::size_t optionalAt;     // the optional header
  std::size_t directoriesAt;  // its DataDirectory array
  std::size_t sectionAt;      // the one IMAGE_SECTION_HEADER
  std::size_t versionDataAt;  // the version resource's bytes in the file
  std::size_t tableAt;        // the certificate table (WIN_CERTIFICATE)
};

constexpr std::uint32_t kResourcesAddress = 0x1000;
constexpr std::size_t kRawDataAt = 0x400;

Image MakeImage(bool pe32Plus = true, std::string_view productName = "deskfind") {
  Image image;
  std::string& bytes = image.bytes;
  bytes.assign(kRawDataAt, '\0');
  bytes[0] = 'M', bytes[1] = 'Z';
  constexpr std::uint32_t kNewHeaderAt = 0x80;
  Put32(bytes, 0x3C, kNewHeaderAt);
  std::memcpy(&bytes[kNewHeaderAt], "PE\0\0", 4);
  image.fileHeaderAt = kNewHeaderAt + 4;
  const std::uint16_t optionalBytes = pe32Plus ? 240 : 224;
  Put16(bytes, image.fileHeaderAt + 2, 1);  // NumberOfSections
  Put16(bytes, image.fileHeaderAt + 16, optionalBytes);
  image.optionalAt = image.fileHeaderAt + 20;
  Put16(bytes, image.optionalAt, pe32Plus ? 0x20B : 0x10B);
  Put32(bytes, image.optionalAt + (pe32Plus ? 108 : 92), 16);  // NumberOfRvaAndSizes
  image.directoriesAt = image.optionalAt + (pe32Plus ? 112 : 96);
  image.sectionAt = image.optionalAt + optionalBytes;

  // The resources: type 16, id 1, one language, its data entry, then the version block.
  std::string resources(0x58, '\0');
  const auto directory = [&](std::size_t at, std::uint32_t id, std::uint32_t target) {
    Put16(resources, at + 14, 1);  // NumberOfIdEntries
    Put32(resources, at + 16, id);
    Put32(resources, at + 20, target);
  };
  directory(0x00, 16, 0x80000000 | 0x18);
  directory(0x18, 1, 0x80000000 | 0x30);
  directory(0x30, 0x419, 0x48);
  const std::string version = VersionBlock(productName);
  Put32(resources, 0x48, kResourcesAddress + 0x58);
  Put32(resources, 0x4C, static_cast<std::uint32_t>(version.size()));
  resources += version;
  image.versionDataAt = kRawDataAt + 0x58;
  const auto resourcesSize = static_cast<std::uint32_t>(resources.size());
  resources.resize((resources.size() + 0x1FF) / 0x200 * 0x200, '\0');
  bytes += resources;
  Put32(bytes, image.directoriesAt + 2 * 8, kResourcesAddress);
  Put32(bytes, image.directoriesAt + 2 * 8 + 4, resourcesSize);
  Put32(bytes, image.sectionAt + 8, resourcesSize);  // VirtualSize
  Put32(bytes, image.sectionAt + 12, kResourcesAddress);
  Put32(bytes, image.sectionAt + 16, static_cast<std::uint32_t>(resources.size()));
  Put32(bytes, image.sectionAt + 20, kRawDataAt);

  // One WIN_CERTIFICATE, padded to 8 bytes, filling the table at the end of the file.
  image.tableAt = bytes.size();
  std::string table(8, '\0');
  Put32(table, 0, static_cast<std::uint32_t>(8 + kSignature.size()));
  Put16(table, 4, 0x0200);
  Put16(table, 6, 2);
  table += kSignature;
  table.resize((table.size() + 7) / 8 * 8, '\0');
  bytes += table;
  Put32(bytes, image.directoriesAt + 4 * 8, static_cast<std::uint32_t>(image.tableAt));
  Put32(bytes, image.directoriesAt + 4 * 8 + 4, static_cast<std::uint32_t>(table.size()));
  return image;
}

ReadBytesAt ReaderOf(const std::string& bytes) {
  return [&bytes](std::uint64_t offset, unsigned char* into, std::size_t size) {
    if (offset > bytes.size() || bytes.size() - offset < size) return false;
    std::memcpy(into, bytes.data() + offset, size);
    return true;
  };
}

// What the reader makes of the image after one field is broken.
struct ImageCase {
  const char* name;
  std::function<void(Image&)> breakIt;
  bool program;
  CertificateTable table;
  bool version;  // the product name and file version can be read
};

void PrintTo(const ImageCase& imageCase, std::ostream* out) { *out << imageCase.name; }

constexpr auto kNone = CertificateTable::kNone;
constexpr auto kOne = CertificateTable::kOneSignature;
constexpr auto kMalformed = CertificateTable::kMalformed;

class ProgramImageTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ProgramImageTest, ReadsWhatTheHeadersAllowAndNothingElse) {
  Image image = MakeImage();
  GetParam().breakIt(image);
  const std::string& bytes = image.bytes;
  const ReadBytesAt read = ReaderOf(bytes);
  EXPECT_EQ(IsWindowsProgram(read, bytes.size()), GetParam().program);
  EXPECT_EQ(CertificateTableOf(read, bytes.size()), GetParam().table);
  EXPECT_EQ(SignatureBytesOf(read, bytes.size()).has_value(), GetParam().table == kOne);
  const std::optional<ProgramVersion> version = ProgramVersionOf(read, bytes.size());
  ASSERT_EQ(version.has_value(), GetParam().version);
  if (version) {
    EXPECT_EQ(version->productName, Utf16("deskfind"));
    EXPECT_EQ(version->fileVersion, (std::array<std::uint16_t, 4>{1, 1000, 0, 0}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ProgramImageTest,
    ::testing::Values(
        ImageCase{"Intact", [](Image&) {}, true, kOne, true},
        ImageCase{"Pe32", [](Image& image) { image = MakeImage(false); }, true, kOne, true},
        ImageCase{"Unsigned",
                  [](Image& image) { Put32(image.bytes, image.directoriesAt + 4 * 8 + 4, 0); },
                  true, kNone, true},
        // The DOS header and e_lfanew.
        ImageCase{"NoMZ", [](Image& image) { image.bytes[1] = 'X'; }, false, kMalformed, false},
        ImageCase{"NewHeaderPastTheEnd",
                  [](Image& image) {
                    Put32(image.bytes, 0x3C, static_cast<std::uint32_t>(image.bytes.size() - 8));
                  },
                  false, kMalformed, false},
        ImageCase{"NoPeSignature", [](Image& image) { image.bytes[image.fileHeaderAt - 3] = 'X'; },
                  false, kMalformed, false},
        // The file and optional headers.
        ImageCase{"MoreSectionsThanTheLoaderTakes",
                  [](Image& image) { Put16(image.bytes, image.fileHeaderAt + 2, 97); }, false,
                  kMalformed, false},
        ImageCase{"UnknownOptionalHeader",
                  [](Image& image) { Put16(image.bytes, image.optionalAt, 0x107); }, false,
                  kMalformed, false},
        ImageCase{"OptionalHeaderEndsBeforeItsDirectories",
                  [](Image& image) { Put16(image.bytes, image.fileHeaderAt + 16, 100); }, false,
                  kMalformed, false},
        ImageCase{"NoSecurityDirectoryCounted",
                  [](Image& image) { Put32(image.bytes, image.optionalAt + 108, 4); }, true, kNone,
                  true},
        ImageCase{"NoDirectoryCounted",
                  [](Image& image) { Put32(image.bytes, image.optionalAt + 108, 0); }, true, kNone,
                  false},
        // A section's raw data must lie within the file.
        ImageCase{"SectionRawDataPastTheEnd",
                  [](Image& image) { image.bytes.resize(image.tableAt - 8); }, false, kMalformed,
                  false},
        ImageCase{"SectionSizePastTheEnd",
                  [](Image& image) {
                    Put32(image.bytes, image.sectionAt + 16,
                          static_cast<std::uint32_t>(image.bytes.size()));
                  },
                  false, kMalformed, false},
        // The version resource must lie within its section's raw data and its mapped size.
        ImageCase{"VersionPastTheSectionsRawData",
                  [](Image& image) { Put32(image.bytes, image.sectionAt + 16, 0x60); }, true, kOne,
                  false},
        ImageCase{"VersionPastTheSectionsMappedSize",
                  [](Image& image) { Put32(image.bytes, image.sectionAt + 8, 0x60); }, true, kOne,
                  false},
        ImageCase{"ResourceDirectoryShorterThanItsEntries",
                  [](Image& image) { Put32(image.bytes, image.directoriesAt + 2 * 8 + 4, 0x20); },
                  true, kOne, false},
        ImageCase{"VersionNodeLongerThanItsBlock",
                  [](Image& image) { Put16(image.bytes, image.versionDataAt, 0xFFF0); }, true, kOne,
                  false},
        ImageCase{"NoFixedInfoSignature",
                  [](Image& image) { image.bytes[image.versionDataAt + 40] = 0; }, true, kOne,
                  false},
        ImageCase{"NoProductName", [](Image& image) { image = MakeImage(true, ""); }, true, kOne,
                  false},
        // The certificate table: one entry of the one kind, filling a table at the end.
        ImageCase{"TableNotAtTheEnd", [](Image& image) { image.bytes += std::string(8, '\0'); },
                  true, kMalformed, true},
        ImageCase{"TableNotAligned",
                  [](Image& image) {
                    image.bytes.insert(image.tableAt, 1, '\0');
                    Put32(image.bytes, image.directoriesAt + 4 * 8,
                          static_cast<std::uint32_t>(++image.tableAt));
                  },
                  true, kMalformed, true},
        ImageCase{"TableLongerThanItsEntry",
                  [](Image& image) {
                    image.bytes += std::string(8, '\0');
                    Put32(image.bytes, image.directoriesAt + 4 * 8 + 4,
                          Get32(image.bytes, image.directoriesAt + 4 * 8 + 4) + 8);
                  },
                  true, kMalformed, true},
        ImageCase{"EntryLongerThanItsTable",
                  [](Image& image) {
                    Put32(image.bytes, image.tableAt, Get32(image.bytes, image.tableAt) + 8);
                  },
                  true, kMalformed, true},
        ImageCase{"EntryOfItsHeaderAlone",
                  [](Image& image) {
                    image.bytes.resize(image.tableAt + 8);
                    Put32(image.bytes, image.directoriesAt + 4 * 8 + 4, 8);
                    Put32(image.bytes, image.tableAt, 8);
                  },
                  true, kMalformed, true},
        ImageCase{"TableShorterThanAHeader",
                  [](Image& image) {
                    image.bytes.resize(image.tableAt + 4);
                    Put32(image.bytes, image.directoriesAt + 4 * 8 + 4, 4);
                  },
                  true, kMalformed, true},
        ImageCase{"OtherRevision",
                  [](Image& image) { Put16(image.bytes, image.tableAt + 4, 0x0100); }, true,
                  kMalformed, true},
        ImageCase{"OtherType", [](Image& image) { Put16(image.bytes, image.tableAt + 6, 1); }, true,
                  kMalformed, true}),
    [](const ::testing::TestParamInfo<ImageCase>& imageCase) { return imageCase.param.name; });

TEST(ProgramImage, TheSignatureIsTheEntryWithoutItsHeaderAndPadding) {
  const Image image = MakeImage();
  const std::optional<SignatureBytes> at =
      SignatureBytesOf(ReaderOf(image.bytes), image.bytes.size());
  ASSERT_TRUE(at.has_value());
  EXPECT_EQ(image.bytes.substr(at->offset, at->size), kSignature);
}

TEST(ProgramImage, OnlyTheSameProductWithAGreaterFileVersionIsNewer) {
  const ProgramVersion running{Utf16("deskfind"), {1, 0, 0, 0}};
  EXPECT_TRUE(IsNewerVersionOf({Utf16("deskfind"), {1, 1000, 0, 0}}, running));
  EXPECT_TRUE(IsNewerVersionOf({Utf16("deskfind"), {1, 0, 0, 1}}, running));
  EXPECT_FALSE(IsNewerVersionOf({Utf16("deskfind"), {1, 0, 0, 0}}, running));
  EXPECT_FALSE(IsNewerVersionOf({Utf16("deskfind"), {0, 9999, 9, 9}}, running));
  EXPECT_FALSE(IsNewerVersionOf({Utf16("deskplan"), {2, 0, 0, 0}}, running));
  // A running program that cannot name itself takes nothing: not even its own name's match.
  EXPECT_FALSE(IsNewerVersionOf({"", {2, 0, 0, 0}}, {"", {1, 0, 0, 0}}));
  EXPECT_FALSE(IsNewerVersionOf({Utf16("deskfind"), {2, 0, 0, 0}}, {"", {0, 0, 0, 0}}));
}

TEST(SignatureResult, OnlyAnIntactSignatureWhateverItsChainPasses) {
  for (const std::uint32_t accepted :
       {0x00000000u, 0x800B0109u /* CERT_E_UNTRUSTEDROOT */, 0x800B010Au /* CERT_E_CHAINING */,
        0x800B0101u /* CERT_E_EXPIRED */}) {
    EXPECT_TRUE(IsIntactSignatureResult(accepted)) << std::hex << accepted;
  }
  for (const std::uint32_t refused :
       {0x80096010u /* TRUST_E_BAD_DIGEST */, 0x800B0100u /* TRUST_E_NOSIGNATURE */,
        0x800B0001u /* TRUST_E_PROVIDER_UNKNOWN */, 0x800B0004u /* TRUST_E_SUBJECT_NOT_TRUSTED */,
        0x800B0111u /* TRUST_E_EXPLICIT_DISTRUST */, 0x800B010Cu /* CERT_E_REVOKED */,
        0x80096004u /* TRUST_E_CERT_SIGNATURE */, 0x8009310Bu /* CRYPT_E_ASN1_BADTAG */,
        0x80093102u /* CRYPT_E_ASN1_EOD */, 0x00000001u}) {
    EXPECT_FALSE(IsIntactSignatureResult(refused)) << std::hex << refused;
  }
}

TEST(DerContents, IsTheValueOfExactlyOneElement) {
  using Contents = std::optional<std::string_view>;
  EXPECT_EQ(DerContents("\x30\x03\x02\x01\x05"s), Contents("\x02\x01\x05"s));
  EXPECT_EQ(DerContents("\x04\x00"s), Contents(""));
  const std::string longForm = "\x30\x81\x80"s + std::string(0x80, 'x');
  EXPECT_EQ(DerContents(longForm), Contents(std::string(0x80, 'x')));
  const std::string twoBytes = "\x30\x82\x01\x00"s + std::string(0x100, 'y');
  EXPECT_EQ(DerContents(twoBytes), Contents(std::string(0x100, 'y')));

  EXPECT_EQ(DerContents(""), std::nullopt);
  EXPECT_EQ(DerContents("\x30"s), std::nullopt);
  EXPECT_EQ(DerContents("\x30\x03\x02\x01"s), std::nullopt);              // cut short
  EXPECT_EQ(DerContents("\x30\x02\x02\x01\x05"s), std::nullopt);          // bytes after it
  EXPECT_EQ(DerContents("\x30\x80\x02\x01\x05\x00\x00"s), std::nullopt);  // indefinite length
  EXPECT_EQ(DerContents("\x30\x82\x01"s), std::nullopt);                  // length cut short
  EXPECT_EQ(DerContents("\x30\x85\x01\x00\x00\x00\x00"s), std::nullopt);  // over 4 GB
  EXPECT_EQ(DerContents("\x1F\x01\x00"s), std::nullopt);                  // a multi-byte tag
}

// A new version signed with this copy's certificate, or with one whose key also signed the
// accepted version data; nothing else, and nothing at all for a copy whose own cannot be read.
TEST(ProgramSigner, IsThisCopysOwnOrOneVouchedForInTheAcceptedData) {
  const Certificate own{1, 2, 3}, renewed{4, 5, 6}, none;
  struct Case {
    const Certificate& own;
    const Certificate& signer;
    bool signerKeySignedData;
    ProgramSigner expected;
  };
  const Case cases[] = {
      {own, own, false, ProgramSigner::kOwn},        {own, own, true, ProgramSigner::kOwn},
      {own, renewed, true, ProgramSigner::kRenewed}, {own, renewed, false, ProgramSigner::kRefused},
      {own, none, true, ProgramSigner::kRefused},    {none, renewed, true, ProgramSigner::kRefused},
      {none, none, false, ProgramSigner::kRefused},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgramSignerOf(c.own, c.signer, c.signerKeySignedData), c.expected)
        << c.own.size() << " " << c.signer.size() << " " << c.signerKeySignedData;
  }
}

}  // namespace
}  // namespace deskfind
