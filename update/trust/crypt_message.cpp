#include "update/trust/crypt_message.h"

#include <cstring>

namespace deskfind {

const Crypt32& Crypt32::Get() {
  static const Crypt32 library;
  return library;
}

std::optional<std::array<std::uint8_t, 32>> Sha256Of(const void* data, std::size_t size) {
  const Crypt32& crypt = Crypt32::Get();
  std::array<std::uint8_t, 32> digest{};
  auto digestSize = static_cast<DWORD>(digest.size());
  if (!crypt.hash || size > MAXDWORD ||
      !crypt.hash(0, CALG_SHA_256, 0, static_cast<const BYTE*>(data), static_cast<DWORD>(size),
                  digest.data(), &digestSize) ||
      digestSize != digest.size()) {
    return std::nullopt;
  }
  return digest;
}

DecodedMessage::DecodedMessage(std::string_view bytes, bool detached)
    : message_(Crypt32::Get().openToDecode
                   ? Crypt32::Get().openToDecode(kMessageEncoding,
                                                 detached ? CMSG_DETACHED_FLAG : 0, 0, 0, nullptr,
                                                 nullptr)
                   : nullptr) {
  decoded_ =
      message_ && Crypt32::Get().update(message_, reinterpret_cast<const BYTE*>(bytes.data()),
                                        static_cast<DWORD>(bytes.size()), TRUE);
}

DecodedMessage::~DecodedMessage() {
  if (message_) Crypt32::Get().close(message_);
}

bool DecodedMessage::Param(DWORD type, DWORD index, std::vector<BYTE>& bytes) const {
  DWORD size = 0;
  if (!decoded_ || !Crypt32::Get().getParam(message_, type, index, nullptr, &size)) return false;
  bytes.resize(size);
  if (!Crypt32::Get().getParam(message_, type, index, bytes.data(), &size)) return false;
  bytes.resize(size);
  return true;
}

DWORD DecodedMessage::SignerCount() const {
  std::vector<BYTE> bytes;
  DWORD signers = 0;
  if (Param(CMSG_SIGNER_COUNT_PARAM, 0, bytes) && bytes.size() == sizeof(signers)) {
    std::memcpy(&signers, bytes.data(), sizeof(signers));
  }
  return signers;
}

}  // namespace deskfind
