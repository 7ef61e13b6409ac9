#include "update/trust/version_data_signature.h"

#include <wincrypt.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "update/trust/crypt_message.h"

namespace deskfind {
namespace {

using Sha256 = std::array<BYTE, 32>;

// The signer's signature of the content's digest, when the signer is in the one form the shop's
// tools make: SHA-256 over the content itself, no signed attributes (whose signature would
// cover the attributes, not the content). nullopt for any other.
std::optional<std::vector<BYTE>> PlainSha256Signature(const DecodedMessage& message, DWORD index) {
  std::vector<BYTE> bytes;
  if (!message.Param(CMSG_SIGNER_INFO_PARAM, index, bytes)) return std::nullopt;
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(bytes.data());
  const char* digest = signer->HashAlgorithm.pszObjId;
  if (signer->AuthAttrs.cAttr != 0 || !digest || std::strcmp(digest, szOID_NIST_sha256) != 0) {
    return std::nullopt;
  }
  const BYTE* signature = signer->EncryptedHash.pbData;
  return std::vector<BYTE>(signature, signature + signer->EncryptedHash.cbData);
}

// True when `signature` signs `digest` (PKCS #1 v1.5, SHA-256) with the key of `certificate`.
bool KeySigned(const Certificate& certificate, const Sha256& digest, std::vector<BYTE>& signature) {
  const Crypt32& crypt = Crypt32::Get();
  const PCCERT_CONTEXT context = crypt.createCertificate(kMessageEncoding, certificate.data(),
                                                         static_cast<DWORD>(certificate.size()));
  if (!context) return false;
  BCRYPT_KEY_HANDLE key = nullptr;
  const bool imported = crypt.importPublicKey(
      X509_ASN_ENCODING, &context->pCertInfo->SubjectPublicKeyInfo, 0, nullptr, &key);
  crypt.freeCertificate(context);
  if (!imported) return false;
  BCRYPT_PKCS1_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM};
  Sha256 hash = digest;
  const NTSTATUS status = BCrypt::Get().verifySignature(
      key, &padding, hash.data(), static_cast<ULONG>(hash.size()), signature.data(),
      static_cast<ULONG>(signature.size()), BCRYPT_PAD_PKCS1);
  BCrypt::Get().destroyKey(key);
  return status == 0;
}

}  // namespace

// One route for one signer and for several: the library's own check of a detached message
// fails under Wine for any message with two signers, before it asks for a certificate.
bool VersionDataSignedBy(std::string_view data, std::string_view signature,
                         const Certificate& signer) {
  const Crypt32& crypt = Crypt32::Get();
  if (signer.empty() || signature.empty() || !crypt.Complete() || !BCrypt::Get().Complete()) {
    return false;
  }
  const DecodedMessage message(signature, true);
  const DWORD signers = message.SignerCount();
  if (signers == 0) return false;
  std::vector<std::vector<BYTE>> signatures;
  for (DWORD index = 0; index < signers; ++index) {
    std::optional<std::vector<BYTE>> plain = PlainSha256Signature(message, index);
    if (!plain) return false;  // not made by the shop's tools
    signatures.push_back(std::move(*plain));
  }
  Sha256 digest{};
  auto digestSize = static_cast<DWORD>(digest.size());
  if (!crypt.hash(0, CALG_SHA_256, 0, reinterpret_cast<const BYTE*>(data.data()),
                  static_cast<DWORD>(data.size()), digest.data(), &digestSize) ||
      digestSize != digest.size()) {
    return false;
  }
  return std::any_of(signatures.begin(), signatures.end(),
                     [&](std::vector<BYTE>& one) { return KeySigned(signer, digest, one); });
}

}  // namespace deskfind
