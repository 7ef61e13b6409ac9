#pragma once

#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>

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

// The key library, loaded by the first signed update rather than at every start.
struct BCrypt {
  DynamicLibrary library{L"bcrypt.dll"};
  decltype(&BCryptVerifySignature) verifySignature =
      library.Get<decltype(verifySignature)>("BCryptVerifySignature");
  decltype(&BCryptDestroyKey) destroyKey = library.Get<decltype(destroyKey)>("BCryptDestroyKey");
  decltype(&BCryptOpenAlgorithmProvider) openAlgorithm =
      library.Get<decltype(openAlgorithm)>("BCryptOpenAlgorithmProvider");
  decltype(&BCryptCloseAlgorithmProvider) closeAlgorithm =
      library.Get<decltype(closeAlgorithm)>("BCryptCloseAlgorithmProvider");
  decltype(&BCryptCreateHash) createHash = library.Get<decltype(createHash)>("BCryptCreateHash");
  decltype(&BCryptHashData) hashData = library.Get<decltype(hashData)>("BCryptHashData");
  decltype(&BCryptFinishHash) finishHash = library.Get<decltype(finishHash)>("BCryptFinishHash");
  decltype(&BCryptDestroyHash) destroyHash =
      library.Get<decltype(destroyHash)>("BCryptDestroyHash");

  bool Complete() const {
    return verifySignature && destroyKey && openAlgorithm && closeAlgorithm && createHash &&
           hashData && finishHash && destroyHash;
  }
  static const BCrypt& Get();
};

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
