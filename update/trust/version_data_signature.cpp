#include "update/trust/version_data_signature.h"

#include <wincrypt.h>

#include <cstring>
#include <vector>

#include "update/trust/crypt_message.h"

namespace deskfind {
namespace {

// One signer, SHA-256, no signed attributes: the form the shop's tools make.
bool IsPlainSha256Signature(std::string_view signature) {
  const DecodedMessage message(signature, true);
  std::vector<BYTE> bytes;
  if (message.SignerCount() != 1 || !message.Param(CMSG_SIGNER_INFO_PARAM, 0, bytes)) {
    return false;
  }
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(bytes.data());
  if (signer->AuthAttrs.cAttr != 0) return false;
  const char* digest = signer->HashAlgorithm.pszObjId;
  return digest && std::strcmp(digest, szOID_NIST_sha256) == 0;
}

// Whoever the signature names, it is checked against the pinned certificate's key alone. The
// verifying call frees the context.
PCCERT_CONTEXT WINAPI PinnedCertificate(void* pinned, DWORD, PCERT_INFO, HCERTSTORE) {
  const auto& certificate = *static_cast<const Certificate*>(pinned);
  return Crypt32::Get().createCertificate(kMessageEncoding, certificate.data(),
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
  parameters.dwMsgAndCertEncodingType = kMessageEncoding;
  parameters.pfnGetSignerCertificate = PinnedCertificate;
  parameters.pvGetArg = const_cast<Certificate*>(&signer);
  const BYTE* content = reinterpret_cast<const BYTE*>(data.data());
  auto contentSize = static_cast<DWORD>(data.size());
  return crypt.verifyDetached(&parameters, 0, reinterpret_cast<const BYTE*>(signature.data()),
                              static_cast<DWORD>(signature.size()), 1, &content, &contentSize,
                              nullptr);
}

}  // namespace deskfind
