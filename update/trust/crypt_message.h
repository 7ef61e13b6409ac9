#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/dynamic_library.h"

namespace deskfind {

inline constexpr DWORD kMessageEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The cryptography library, loaded by the first signed update rather than at every start.
struct Crypt32 {
  DynamicLibrary library{L"crypt32.dll"};
  decltype(&CryptMsgOpenToDecode) openToDecode =
      library.Get<decltype(openToDecode)>("CryptMsgOpenToDecode");
  decltype(&CryptMsgUpdate) update = library.Get<decltype(update)>("CryptMsgUpdate");
  decltype(&CryptMsgGetParam) getParam = library.Get<decltype(getParam)>("CryptMsgGetParam");
  decltype(&CryptMsgClose) close = library.Get<decltype(close)>("CryptMsgClose");
  decltype(&CertCreateCertificateContext) createCertificate =
      library.Get<decltype(createCertificate)>("CertCreateCertificateContext");
  decltype(&CertFreeCertificateContext) freeCertificate =
      library.Get<decltype(freeCertificate)>("CertFreeCertificateContext");
  decltype(&CryptImportPublicKeyInfoEx2) importPublicKey =
      library.Get<decltype(importPublicKey)>("CryptImportPublicKeyInfoEx2");
  decltype(&CryptDecodeObject) decodeObject =
      library.Get<decltype(decodeObject)>("CryptDecodeObject");
  decltype(&CryptHashCertificate) hash = library.Get<decltype(hash)>("CryptHashCertificate");
  decltype(&CertOIDToAlgId) algorithmOf = library.Get<decltype(algorithmOf)>("CertOIDToAlgId");

  bool Complete() const {
    return openToDecode && update && getParam && close && createCertificate && freeCertificate &&
           importPublicKey && decodeObject && hash && algorithmOf;
  }
  static const Crypt32& Get();
};

// The SHA-256 of `size` bytes at `data`; nullopt when the library cannot make it.
std::optional<std::array<std::uint8_t, 32>> Sha256Of(const void* data, std::size_t size);

// A PKCS#7 message (DER) as the library decodes it.
class DecodedMessage {
 public:
  // `detached`: the message signs content that is not inside it.
  DecodedMessage(std::string_view bytes, bool detached);
  DecodedMessage(const DecodedMessage&) = delete;
  DecodedMessage& operator=(const DecodedMessage&) = delete;
  ~DecodedMessage();

  // The parameter's bytes; false when the message has none.
  bool Param(DWORD type, DWORD index, std::vector<BYTE>& bytes) const;
  // The number of signers; 0 when it cannot be read.
  DWORD SignerCount() const;

 private:
  HCRYPTMSG message_;
  bool decoded_ = false;
};

}  // namespace deskfind
