#include "update/version_signature.h"

#include <wincrypt.h>

#include <cstring>
#include <vector>

#include "platform/dynamic_library.h"

namespace deskfind {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The cryptography library, loaded by the first signed update rather than at every start.
struct Crypt32 {
  DynamicLibrary library{L"crypt32.dll"};
  decltype(&CryptMsgOpenToDecode) openToDecode =
      library.Get<decltype(openToDecode)>("CryptMsgOpenToDecode");
  decltype(&CryptMsgUpdate) update = library.Get<decltype(update)>("CryptMsgUpdate");
  decltype(&CryptMsgGetParam) getParam = library.Get<decltype(getParam)>("CryptMsgGetParam");
  decltype(&CryptMsgClose) close = library.Get<decltype(close)>("CryptMsgClose");
  decltype(&CryptVerifyDetachedMessageSignature) verifyDetached =
      library.Get<decltype(verifyDetached)>("CryptVerifyDetachedMessageSignature");
  decltype(&CertCreateCertificateContext) createCertificate =
      library.Get<decltype(createCertificate)>("CertCreateCertificateContext");

  bool Complete() const {
    return openToDecode && update && getParam && close && verifyDetached && createCertificate;
  }
  static const Crypt32& Get() {
    static const Crypt32 library;
    return library;
  }
};

class DecodedMessage {
 public:
  explicit DecodedMessage(std::string_view signature)
      : message_(
            Crypt32::Get().openToDecode(kEncoding, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr)) {
    decoded_ =
        message_ && Crypt32::Get().update(message_, reinterpret_cast<const BYTE*>(signature.data()),
                                          static_cast<DWORD>(signature.size()), TRUE);
  }
  DecodedMessage(const DecodedMessage&) = delete;
  DecodedMessage& operator=(const DecodedMessage&) = delete;
  ~DecodedMessage() {
    if (message_) Crypt32::Get().close(message_);
  }

  // The parameter's bytes; false when the message has none.
  bool Param(DWORD type, DWORD index, std::vector<BYTE>& bytes) const {
    DWORD size = 0;
    if (!decoded_ || !Crypt32::Get().getParam(message_, type, index, nullptr, &size)) return false;
    bytes.resize(size);
    if (!Crypt32::Get().getParam(message_, type, index, bytes.data(), &size)) return false;
    bytes.resize(size);
    return true;
  }

 private:
  HCRYPTMSG message_;
  bool decoded_ = false;
};

// One signer, SHA-256, no signed attributes: the form the shop's tools make.
bool IsPlainSha256Signature(std::string_view signature) {
  const DecodedMessage message(signature);
  std::vector<BYTE> bytes;
  if (!message.Param(CMSG_SIGNER_COUNT_PARAM, 0, bytes) || bytes.size() != sizeof(DWORD)) {
    return false;
  }
  DWORD signers = 0;
  std::memcpy(&signers, bytes.data(), sizeof(signers));
  if (signers != 1 || !message.Param(CMSG_SIGNER_INFO_PARAM, 0, bytes)) return false;
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(bytes.data());
  if (signer->AuthAttrs.cAttr != 0) return false;
  const char* digest = signer->HashAlgorithm.pszObjId;
  return digest && std::strcmp(digest, szOID_NIST_sha256) == 0;
}

// Whoever the signature names, it is checked against the pinned certificate's key alone. The
// verifying call frees the context.
PCCERT_CONTEXT WINAPI PinnedCertificate(void* pinned, DWORD, PCERT_INFO, HCERTSTORE) {
  const auto& certificate = *static_cast<const Certificate*>(pinned);
  return Crypt32::Get().createCertificate(kEncoding, certificate.data(),
                                          static_cast<DWORD>(certificate.size()));
}

}  // namespace

bool VersionDataSignedBy(std::string_view data, std::string_view signature,
                         const Certificate& signer) {
  const Crypt32& crypt = Crypt32::Get();
  if (signer.empty() || signature.empty() || !crypt.Complete() ||
      !IsPlainSha256Signature(signature)) {
    return false;
  }
  CRYPT_VERIFY_MESSAGE_PARA parameters{};
  parameters.cbSize = sizeof(parameters);
  parameters.dwMsgAndCertEncodingType = kEncoding;
  parameters.pfnGetSignerCertificate = PinnedCertificate;
  parameters.pvGetArg = const_cast<Certificate*>(&signer);
  const BYTE* content = reinterpret_cast<const BYTE*>(data.data());
  auto contentSize = static_cast<DWORD>(data.size());
  return crypt.verifyDetached(&parameters, 0, reinterpret_cast<const BYTE*>(signature.data()),
                              static_cast<DWORD>(signature.size()), 1, &content, &contentSize,
                              nullptr);
}

}  // namespace deskfind
