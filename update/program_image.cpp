#include "update/program_image.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace deskfind {
namespace {

constexpr std::size_t kDosHeaderBytes = 64;
constexpr std::size_t kNewHeaderOffsetAt = 0x3C;
constexpr std::size_t kSignatureAndFileHeaderBytes = 4 + 20;
constexpr std::size_t kSectionBytes = 40;
constexpr std::uint16_t kMaxSections = 96;  // the Windows loader's own limit
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::uint16_t kPe32Plus = 0x20B;
constexpr std::size_t kResourceDirectory = 2;
constexpr std::size_t kSecurityDirectory = 4;

constexpr std::uint32_t kCertificateHeaderBytes = 8;
constexpr std::uint16_t kCertificateRevision = 0x0200;
constexpr std::uint16_t kPkcsSignedData = 2;

constexpr std::uint32_t kVersionResourceType = 16;
constexpr std::uint32_t kVersionResourceId = 1;
constexpr std::uint32_t kSubdirectory = 0x80000000;
constexpr std::uint64_t kResourceDirectoryBytes = 16;
constexpr std::uint64_t kResourceEntryBytes = 8;
constexpr std::size_t kMaxResourceEntries = 4096;   // a program has a few dozen
constexpr std::uint32_t kMaxVersionBytes = 0xFFFF;  // the version block's length is 16 bits
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoBytes = 52;
constexpr std::size_t kNodeHeaderBytes = 6;
constexpr std::uint16_t kTextValue = 1;

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

std::optional<Layout> ReadLayout(const ReadBytesAt& read) {
  unsigned char dos[kDosHeaderBytes];
  if (!read(0, dos, sizeof(dos)) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
  const std::uint64_t headersAt = U32(dos + kNewHeaderOffsetAt);
  unsigned char file[kSignatureAndFileHeaderBytes];
  if (!read(headersAt, file, sizeof(file)) || std::memcmp(file, "PE\0\0", 4) != 0) {
    return std::nullopt;
  }
  const std::uint16_t sectionCount = U16(file + 6);
  const std::uint16_t optionalBytes = U16(file + 20);
  if (sectionCount > kMaxSections || optionalBytes < 2) return std::nullopt;
  std::vector<unsigned char> optional(optionalBytes);
  if (!read(headersAt + sizeof(file), optional.data(), optional.size())) return std::nullopt;

  std::size_t countAt = 0;
  std::size_t directoriesAt = 0;
  switch (U16(optional.data())) {
    case kPe32:
      countAt = 92, directoriesAt = 96;
      break;
    case kPe32Plus:
      countAt = 108, directoriesAt = 112;
      break;
    default:
      return std::nullopt;
  }
  if (optional.size() < directoriesAt) return std::nullopt;
  const std::uint32_t directoryCount = U32(&optional[countAt]);
  auto directory = [&](std::size_t index) {
    Directory found;
    const std::size_t at = directoriesAt + index * 8;
    if (index < directoryCount && at + 8 <= optional.size()) {
      found.address = U32(&optional[at]);
      found.size = U32(&optional[at + 4]);
    }
    return found;
  };
  Layout layout;
  layout.certificates = directory(kSecurityDirectory);
  layout.resources = directory(kResourceDirectory);

  std::vector<unsigned char> table(std::size_t{sectionCount} * kSectionBytes);
  if (!read(headersAt + sizeof(file) + optionalBytes, table.data(), table.size())) {
    return std::nullopt;
  }
  for (std::size_t at = 0; at < table.size(); at += kSectionBytes) {
    const std::uint32_t virtualSize = U32(&table[at + 8]);
    const std::uint32_t fileSize = U32(&table[at + 16]);
    // Bytes past the mapped size are not part of the image, whatever the file holds there.
    layout.sections.push_back(Section{U32(&table[at + 12]),
                                      virtualSize != 0 ? virtualSize : fileSize,
                                      U32(&table[at + 20]), fileSize});
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
  const std::size_t count = std::size_t{U16(header + 12)} + U16(header + 14);
  if (count > kMaxResourceEntries) return std::nullopt;
  std::vector<unsigned char> bytes(count * kResourceEntryBytes);
  if (!ReadResources(layout, read, offset + sizeof(header), bytes.data(), bytes.size())) {
    return std::nullopt;
  }
  std::vector<ResourceEntry> entries;
  for (std::size_t at = 0; at < bytes.size(); at += kResourceEntryBytes) {
    entries.push_back({U32(&bytes[at]), U32(&bytes[at + 4])});
  }
  return entries;
}

// The subdirectory of the entry with id `id`.
std::optional<std::uint64_t> SubdirectoryWithId(const std::vector<ResourceEntry>& entries,
                                                std::uint32_t id) {
  for (const ResourceEntry& entry : entries) {
    if (entry.name == id && (entry.target & kSubdirectory) != 0) {
      return entry.target & ~kSubdirectory;
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
  if (!data || data->empty() || (data->front().target & kSubdirectory) != 0) return std::nullopt;

  unsigned char entry[16];
  if (!ReadResources(layout, read, data->front().target, entry, sizeof(entry))) {
    return std::nullopt;
  }
  const std::uint32_t size = U32(entry + 4);
  if (size < kNodeHeaderBytes || size > kMaxVersionBytes) return std::nullopt;
  const std::optional<std::uint64_t> at = FileOffsetOf(layout, U32(entry), size);
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
  const std::uint16_t length = U16(&bytes[at]);
  if (length < kNodeHeaderBytes || length > limit - at) return std::nullopt;
  Node node{at + length, {}, 0, 0};
  std::size_t next = at + kNodeHeaderBytes;
  for (;; next += 2) {
    if (next + 2 > node.end) return std::nullopt;
    const std::uint16_t c = U16(&bytes[next]);
    if (c == 0) break;
    node.key.push_back(c < 0x7F ? static_cast<char>(c) : '\x7F');
  }
  const std::uint16_t valueLength = U16(&bytes[at + 2]);
  const std::size_t valueBytes = U16(&bytes[at + 4]) == kTextValue ? valueLength * 2u : valueLength;
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

bool IsWindowsProgram(const ReadBytesAt& read) { return ReadLayout(read).has_value(); }

CertificateTable CertificateTableOf(const ReadBytesAt& read, std::uint64_t fileSize) {
  const std::optional<Layout> layout = ReadLayout(read);
  if (!layout) return CertificateTable::kMalformed;
  const Directory& table = layout->certificates;
  if (table.size == 0) return CertificateTable::kNone;
  if (table.address % 8 != 0 || std::uint64_t{table.address} + table.size != fileSize ||
      table.size < kCertificateHeaderBytes) {
    return CertificateTable::kMalformed;
  }
  unsigned char header[kCertificateHeaderBytes];
  if (!read(table.address, header, sizeof(header))) return CertificateTable::kMalformed;
  // One entry, padded to 8 bytes, fills the table: a second entry or anything after it is not
  // a form Windows is asked about.
  const std::uint32_t length = U32(header);
  if (length <= kCertificateHeaderBytes || Align(length, 8) != table.size ||
      U16(header + 4) != kCertificateRevision || U16(header + 6) != kPkcsSignedData) {
    return CertificateTable::kMalformed;
  }
  return CertificateTable::kOneSignature;
}

std::optional<ProgramVersion> ProgramVersionOf(const ReadBytesAt& read) {
  const std::optional<Layout> layout = ReadLayout(read);
  if (!layout) return std::nullopt;
  const std::optional<std::vector<unsigned char>> bytes = VersionResourceBytes(*layout, read);
  if (!bytes) return std::nullopt;
  const std::optional<Node> root = NodeAt(*bytes, 0, bytes->size());
  if (!root || root->key != "VS_VERSION_INFO" || root->valueAt + kFixedInfoBytes > root->end ||
      root->childrenAt < root->valueAt + kFixedInfoBytes ||
      U32(&(*bytes)[root->valueAt]) != kFixedInfoSignature) {
    return std::nullopt;
  }
  ProgramVersion version;
  const std::uint32_t high = U32(&(*bytes)[root->valueAt + 8]);
  const std::uint32_t low = U32(&(*bytes)[root->valueAt + 12]);
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

}  // namespace deskfind
