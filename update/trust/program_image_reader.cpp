#include "update/trust/program_image_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace deskfind {
namespace {

// The offsets below are named after the fields of the Windows program format.
// IMAGE_DOS_HEADER
constexpr std::size_t kDosHeaderBytes = 64;
constexpr std::size_t kDosMagicAt = 0;      // e_magic, "MZ"
constexpr std::size_t kNewHeaderAt = 0x3C;  // e_lfanew: where the "PE" signature lies
// The "PE\0\0" signature, then IMAGE_FILE_HEADER.
constexpr std::size_t kPeSignatureBytes = 4;
constexpr std::size_t kFileHeaderBytes = 20;
constexpr std::size_t kNumberOfSectionsAt = 2;
constexpr std::size_t kSizeOfOptionalHeaderAt = 16;
constexpr std::uint16_t kMaxSections = 96;  // the Windows loader's own limit
// IMAGE_OPTIONAL_HEADER32 and IMAGE_OPTIONAL_HEADER64: Magic, NumberOfRvaAndSizes, DataDirectory.
constexpr std::size_t kOptionalMagicAt = 0;
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::size_t kPe32NumberOfRvaAndSizesAt = 92;
constexpr std::size_t kPe32DataDirectoryAt = 96;
constexpr std::uint16_t kPe32Plus = 0x20B;
constexpr std::size_t kPe32PlusNumberOfRvaAndSizesAt = 108;
constexpr std::size_t kPe32PlusDataDirectoryAt = 112;
// IMAGE_DATA_DIRECTORY: VirtualAddress (a file offset for the security directory), Size.
constexpr std::size_t kDataDirectoryBytes = 8;
constexpr std::size_t kDirectoryAddressAt = 0;
constexpr std::size_t kDirectorySizeAt = 4;
constexpr std::size_t kDirectoryEntryResource = 2;  // IMAGE_DIRECTORY_ENTRY_RESOURCE
constexpr std::size_t kDirectoryEntrySecurity = 4;  // IMAGE_DIRECTORY_ENTRY_SECURITY
// IMAGE_SECTION_HEADER
constexpr std::size_t kSectionHeaderBytes = 40;
constexpr std::size_t kVirtualSizeAt = 8;
constexpr std::size_t kVirtualAddressAt = 12;
constexpr std::size_t kSizeOfRawDataAt = 16;
constexpr std::size_t kPointerToRawDataAt = 20;

// WIN_CERTIFICATE: dwLength, wRevision, wCertificateType, then the certificate itself.
constexpr std::uint32_t kCertificateHeaderBytes = 8;
constexpr std::size_t kCertificateLengthAt = 0;
constexpr std::size_t kCertificateRevisionAt = 4;
constexpr std::size_t kCertificateTypeAt = 6;
constexpr std::uint16_t kCertificateRevision = 0x0200;  // WIN_CERT_REVISION_2_0
constexpr std::uint16_t kPkcsSignedData = 2;            // WIN_CERT_TYPE_PKCS_SIGNED_DATA

// IMAGE_RESOURCE_DIRECTORY, its IMAGE_RESOURCE_DIRECTORY_ENTRY array, IMAGE_RESOURCE_DATA_ENTRY.
constexpr std::uint64_t kResourceDirectoryBytes = 16;
constexpr std::size_t kNumberOfNamedEntriesAt = 12;
constexpr std::size_t kNumberOfIdEntriesAt = 14;
constexpr std::uint64_t kResourceEntryBytes = 8;
constexpr std::size_t kEntryNameAt = 0;
constexpr std::size_t kEntryOffsetToDataAt = 4;
constexpr std::uint32_t kDataIsDirectory = 0x80000000;  // IMAGE_RESOURCE_DATA_IS_DIRECTORY
constexpr std::size_t kResourceDataEntryBytes = 16;
constexpr std::size_t kDataOffsetToDataAt = 0;  // an address, not an offset into the resources
constexpr std::size_t kDataSizeAt = 4;
constexpr std::uint32_t kVersionResourceType = 16;  // RT_VERSION
constexpr std::uint32_t kVersionResourceId = 1;     // VS_VERSION_INFO
constexpr std::size_t kMaxResourceEntries = 4096;   // a program has a few dozen
constexpr std::uint32_t kMaxVersionBytes = 0xFFFF;  // the version block's length is 16 bits

// A version node: wLength, wValueLength, wType, then szKey; VS_FIXEDFILEINFO as the root's value.
constexpr std::size_t kNodeHeaderBytes = 6;
constexpr std::size_t kNodeLengthAt = 0;
constexpr std::size_t kNodeValueLengthAt = 2;
constexpr std::size_t kNodeTypeAt = 4;
constexpr std::uint16_t kTextValue = 1;
constexpr std::size_t kFixedInfoBytes = 52;
constexpr std::size_t kFixedSignatureAt = 0;  // dwSignature
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFileVersionMsAt = 8;   // dwFileVersionMS
constexpr std::size_t kFileVersionLsAt = 12;  // dwFileVersionLS

std::uint16_t U16(const unsigned char* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}
std::uint32_t U32(const unsigned char* at) {
  return static_cast<std::uint32_t>(U16(at)) | static_cast<std::uint32_t>(U16(at + 2)) << 16;
}
std::uint64_t Align(std::uint64_t value, std::uint64_t to) { return (value + to - 1) / to * to; }

struct Directory {
  std::uint32_t address = 0;  // a file offset for the certificate table, an address otherwise
  std::uint32_t size = 0;
};

struct Section {
  std::uint32_t address;
  std::uint32_t mappedSize;
  std::uint32_t fileOffset;
  std::uint32_t fileSize;
};

struct Layout {
  Directory certificates;
  Directory resources;
  std::vector<Section> sections;
};

// The headers of a Windows program of `fileSize` bytes; nullopt for anything else.
std::optional<Layout> ReadLayout(const ReadBytesAt& read, std::uint64_t fileSize) {
  unsigned char dos[kDosHeaderBytes];
  if (!read(0, dos, sizeof(dos)) || dos[kDosMagicAt] != 'M' || dos[kDosMagicAt + 1] != 'Z') {
    return std::nullopt;
  }
  const std::uint64_t headersAt = U32(dos + kNewHeaderAt);
  unsigned char file[kPeSignatureBytes + kFileHeaderBytes];
  if (!read(headersAt, file, sizeof(file)) || std::memcmp(file, "PE\0\0", kPeSignatureBytes) != 0) {
    return std::nullopt;
  }
  const unsigned char* fileHeader = file + kPeSignatureBytes;
  const std::uint16_t sectionCount = U16(fileHeader + kNumberOfSectionsAt);
  const std::uint16_t optionalBytes = U16(fileHeader + kSizeOfOptionalHeaderAt);
  if (sectionCount > kMaxSections || optionalBytes < kOptionalMagicAt + 2) return std::nullopt;
  std::vector<unsigned char> optional(optionalBytes);
  if (!read(headersAt + sizeof(file), optional.data(), optional.size())) return std::nullopt;

  std::size_t countAt = 0;
  std::size_t directoriesAt = 0;
  switch (U16(&optional[kOptionalMagicAt])) {
    case kPe32:
      countAt = kPe32NumberOfRvaAndSizesAt, directoriesAt = kPe32DataDirectoryAt;
      break;
    case kPe32Plus:
      countAt = kPe32PlusNumberOfRvaAndSizesAt, directoriesAt = kPe32PlusDataDirectoryAt;
      break;
    default:
      return std::nullopt;
  }
  if (optional.size() < directoriesAt) return std::nullopt;
  const std::uint32_t directoryCount = U32(&optional[countAt]);
  auto directory = [&](std::size_t index) {
    Directory found;
    const std::size_t at = directoriesAt + index * kDataDirectoryBytes;
    if (index < directoryCount && at + kDataDirectoryBytes <= optional.size()) {
      found.address = U32(&optional[at + kDirectoryAddressAt]);
      found.size = U32(&optional[at + kDirectorySizeAt]);
    }
    return found;
  };
  Layout layout;
  layout.certificates = directory(kDirectoryEntrySecurity);
  layout.resources = directory(kDirectoryEntryResource);

  std::vector<unsigned char> table(std::size_t{sectionCount} * kSectionHeaderBytes);
  if (!read(headersAt + sizeof(file) + optionalBytes, table.data(), table.size())) {
    return std::nullopt;
  }
  for (std::size_t at = 0; at < table.size(); at += kSectionHeaderBytes) {
    const unsigned char* header = &table[at];
    const std::uint32_t virtualSize = U32(header + kVirtualSizeAt);
    const std::uint32_t rawSize = U32(header + kSizeOfRawDataAt);
    const std::uint32_t rawAt = U32(header + kPointerToRawDataAt);
    // The loader maps a section's raw data whole: a file that ends before it is cut off.
    if (std::uint64_t{rawAt} + rawSize > fileSize) return std::nullopt;
    // Bytes past the mapped size are not part of the image, whatever the file holds there.
    layout.sections.push_back(Section{U32(header + kVirtualAddressAt),
                                      virtualSize != 0 ? virtualSize : rawSize, rawAt, rawSize});
  }
  return layout;
}

// The file offset of `size` bytes at `address` in the image, when one section holds them all
// in the file.
std::optional<std::uint64_t> FileOffsetOf(const Layout& layout, std::uint64_t address,
                                          std::uint64_t size) {
  for (const Section& section : layout.sections) {
    if (address < section.address) continue;
    const std::uint64_t within = address - section.address;
    if (within + size <= std::min(section.mappedSize, section.fileSize)) {
      return section.fileOffset + within;
    }
  }
  return std::nullopt;
}

// `size` bytes at `offset` from the start of the resources, which must hold them.
bool ReadResources(const Layout& layout, const ReadBytesAt& read, std::uint64_t offset,
                   unsigned char* into, std::size_t size) {
  if (offset + size > layout.resources.size) return false;
  const std::optional<std::uint64_t> at =
      FileOffsetOf(layout, layout.resources.address + offset, size);
  return at && read(*at, into, size);
}

struct ResourceEntry {
  std::uint32_t name;    // an id, or a flagged offset of a name
  std::uint32_t target;  // a flagged offset of a subdirectory, or the offset of a data entry
};

std::optional<std::vector<ResourceEntry>> ResourceDirectoryAt(const Layout& layout,
                                                              const ReadBytesAt& read,
                                                              std::uint64_t offset) {
  unsigned char header[kResourceDirectoryBytes];
  if (!ReadResources(layout, read, offset, header, sizeof(header))) return std::nullopt;
  const std::size_t count =
      std::size_t{U16(header + kNumberOfNamedEntriesAt)} + U16(header + kNumberOfIdEntriesAt);
  if (count > kMaxResourceEntries) return std::nullopt;
  std::vector<unsigned char> bytes(count * kResourceEntryBytes);
  if (!ReadResources(layout, read, offset + sizeof(header), bytes.data(), bytes.size())) {
    return std::nullopt;
  }
  std::vector<ResourceEntry> entries;
  for (std::size_t at = 0; at < bytes.size(); at += kResourceEntryBytes) {
    entries.push_back({U32(&bytes[at + kEntryNameAt]), U32(&bytes[at + kEntryOffsetToDataAt])});
  }
  return entries;
}

// The subdirectory of the entry with id `id`.
std::optional<std::uint64_t> SubdirectoryWithId(const std::vector<ResourceEntry>& entries,
                                                std::uint32_t id) {
  for (const ResourceEntry& entry : entries) {
    if (entry.name == id && (entry.target & kDataIsDirectory) != 0) {
      return entry.target & ~kDataIsDirectory;
    }
  }
  return std::nullopt;
}

// The bytes of the version resource: type 16, id 1, its first language.
std::optional<std::vector<unsigned char>> VersionResourceBytes(const Layout& layout,
                                                               const ReadBytesAt& read) {
  const auto types = ResourceDirectoryAt(layout, read, 0);
  const std::optional<std::uint64_t> versions =
      types ? SubdirectoryWithId(*types, kVersionResourceType) : std::nullopt;
  const auto ids = versions ? ResourceDirectoryAt(layout, read, *versions) : std::nullopt;
  const std::optional<std::uint64_t> languages =
      ids ? SubdirectoryWithId(*ids, kVersionResourceId) : std::nullopt;
  const auto data = languages ? ResourceDirectoryAt(layout, read, *languages) : std::nullopt;
  if (!data || data->empty() || (data->front().target & kDataIsDirectory) != 0) return std::nullopt;

  unsigned char entry[kResourceDataEntryBytes];
  if (!ReadResources(layout, read, data->front().target, entry, sizeof(entry))) {
    return std::nullopt;
  }
  const std::uint32_t size = U32(entry + kDataSizeAt);
  if (size < kNodeHeaderBytes || size > kMaxVersionBytes) return std::nullopt;
  const std::optional<std::uint64_t> at =
      FileOffsetOf(layout, U32(entry + kDataOffsetToDataAt), size);
  std::vector<unsigned char> bytes(size);
  if (!at || !read(*at, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

// A node of the version resource: its length, a key, a value, then child nodes, each part
// aligned to 4 bytes.
struct Node {
  std::size_t end;
  std::string key;  // the key's characters; any beyond ASCII as DEL, which no key we look for has
  std::size_t valueAt;
  std::size_t childrenAt;
};

std::optional<Node> NodeAt(const std::vector<unsigned char>& bytes, std::size_t at,
                           std::size_t limit) {
  if (at > limit || limit - at < kNodeHeaderBytes) return std::nullopt;
  const std::uint16_t length = U16(&bytes[at + kNodeLengthAt]);
  if (length < kNodeHeaderBytes || length > limit - at) return std::nullopt;
  Node node{at + length, {}, 0, 0};
  std::size_t next = at + kNodeHeaderBytes;
  for (;; next += 2) {
    if (next + 2 > node.end) return std::nullopt;
    const std::uint16_t c = U16(&bytes[next]);
    if (c == 0) break;
    node.key.push_back(c < 0x7F ? static_cast<char>(c) : '\x7F');
  }
  const std::uint16_t valueLength = U16(&bytes[at + kNodeValueLengthAt]);
  const std::size_t valueBytes =
      U16(&bytes[at + kNodeTypeAt]) == kTextValue ? valueLength * 2u : valueLength;
  node.valueAt = static_cast<std::size_t>(Align(next + 2, 4));
  node.childrenAt = static_cast<std::size_t>(Align(node.valueAt + valueBytes, 4));
  return node;
}

// Calls visit(child) for each child of `parent` until it returns true; false when a child is
// malformed or none was accepted.
template <typename Visit>
bool VisitChildren(const std::vector<unsigned char>& bytes, const Node& parent, Visit visit) {
  for (std::size_t at = parent.childrenAt; at < parent.end;) {
    const std::optional<Node> child = NodeAt(bytes, at, parent.end);
    if (!child) return false;
    if (visit(*child)) return true;
    at = static_cast<std::size_t>(Align(child->end, 4));
  }
  return false;
}

// The text value of a string node, up to its terminating zero or its end, as its UTF-16LE bytes.
std::string TextOf(const std::vector<unsigned char>& bytes, const Node& node) {
  std::string text;
  for (std::size_t at = node.valueAt; at + 2 <= node.end; at += 2) {
    if (U16(&bytes[at]) == 0) break;
    text.append(reinterpret_cast<const char*>(&bytes[at]), 2);
  }
  return text;
}

}  // namespace

bool IsWindowsProgram(const ReadBytesAt& read, std::uint64_t fileSize) {
  return ReadLayout(read, fileSize).has_value();
}

std::optional<SignatureBytes> SignatureBytesOf(const ReadBytesAt& read, std::uint64_t fileSize) {
  const std::optional<Layout> layout = ReadLayout(read, fileSize);
  if (!layout) return std::nullopt;
  const Directory& table = layout->certificates;
  if (table.size == 0 || table.address % 8 != 0 ||
      std::uint64_t{table.address} + table.size != fileSize ||
      table.size < kCertificateHeaderBytes) {
    return std::nullopt;
  }
  unsigned char header[kCertificateHeaderBytes];
  if (!read(table.address, header, sizeof(header))) return std::nullopt;
  // One entry, padded to 8 bytes, fills the table: a second entry or anything after it is not
  // a form Windows is asked about.
  const std::uint32_t length = U32(header + kCertificateLengthAt);
  if (length <= kCertificateHeaderBytes || Align(length, 8) != table.size ||
      U16(header + kCertificateRevisionAt) != kCertificateRevision ||
      U16(header + kCertificateTypeAt) != kPkcsSignedData) {
    return std::nullopt;
  }
  return SignatureBytes{std::uint64_t{table.address} + kCertificateHeaderBytes,
                        length - kCertificateHeaderBytes};
}

CertificateTable CertificateTableOf(const ReadBytesAt& read, std::uint64_t fileSize) {
  const std::optional<Layout> layout = ReadLayout(read, fileSize);
  if (!layout) return CertificateTable::kMalformed;
  if (layout->certificates.size == 0) return CertificateTable::kNone;
  return SignatureBytesOf(read, fileSize) ? CertificateTable::kOneSignature
                                          : CertificateTable::kMalformed;
}

std::optional<ProgramVersion> ProgramVersionOf(const ReadBytesAt& read, std::uint64_t fileSize) {
  const std::optional<Layout> layout = ReadLayout(read, fileSize);
  if (!layout) return std::nullopt;
  const std::optional<std::vector<unsigned char>> bytes = VersionResourceBytes(*layout, read);
  if (!bytes) return std::nullopt;
  const std::optional<Node> root = NodeAt(*bytes, 0, bytes->size());
  if (!root || root->key != "VS_VERSION_INFO" || root->valueAt + kFixedInfoBytes > root->end ||
      root->childrenAt < root->valueAt + kFixedInfoBytes ||
      U32(&(*bytes)[root->valueAt + kFixedSignatureAt]) != kFixedInfoSignature) {
    return std::nullopt;
  }
  ProgramVersion version;
  const std::uint32_t high = U32(&(*bytes)[root->valueAt + kFileVersionMsAt]);
  const std::uint32_t low = U32(&(*bytes)[root->valueAt + kFileVersionLsAt]);
  version.fileVersion = {static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high),
                         static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low)};

  const bool named = VisitChildren(*bytes, *root, [&](const Node& info) {
    return info.key == "StringFileInfo" && VisitChildren(*bytes, info, [&](const Node& table) {
             return VisitChildren(*bytes, table, [&](const Node& string) {
               if (string.key != "ProductName") return false;
               version.productName = TextOf(*bytes, string);
               return true;
             });
           });
  });
  if (!named || version.productName.empty()) return std::nullopt;
  return version;
}

bool IsNewerVersionOf(const ProgramVersion& candidate, const ProgramVersion& running) {
  return !running.productName.empty() && candidate.productName == running.productName &&
         candidate.fileVersion > running.fileVersion;
}

bool IsIntactSignatureResult(std::uint32_t status) {
  constexpr std::uint32_t kSuccess = 0;                 // ERROR_SUCCESS
  constexpr std::uint32_t kExpired = 0x800B0101;        // CERT_E_EXPIRED
  constexpr std::uint32_t kUntrustedRoot = 0x800B0109;  // CERT_E_UNTRUSTEDROOT
  constexpr std::uint32_t kChaining = 0x800B010A;       // CERT_E_CHAINING
  return status == kSuccess || status == kUntrustedRoot || status == kChaining ||
         status == kExpired;
}

std::optional<std::string_view> DerContents(std::string_view element) {
  constexpr unsigned char kLongForm = 0x80;
  constexpr unsigned char kHighTagNumber = 0x1F;
  constexpr std::size_t kMaxLengthBytes = 4;  // no signature comes near 4 GB
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(element[at]); };
  if (element.size() < 2 || (byte(0) & kHighTagNumber) == kHighTagNumber) return std::nullopt;
  std::size_t at = 1;
  std::uint64_t length = byte(at++);
  if (length & kLongForm) {
    // 0x80 alone is the indefinite length, which DER does not allow.
    const std::size_t lengthBytes = length & ~std::uint64_t{kLongForm};
    if (lengthBytes == 0 || lengthBytes > kMaxLengthBytes || element.size() - at < lengthBytes) {
      return std::nullopt;
    }
    length = 0;
    for (std::size_t i = 0; i < lengthBytes; ++i) length = length << 8 | byte(at++);
  }
  if (element.size() - at != length) return std::nullopt;
  return element.substr(at);
}

}  // namespace deskfind
