#include "update/trust/version_data_signature.h"

#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/win32_handles.h"
#include "update/trust/crypt_message.h"

namespace deskfind {
namespace {

using Sha256 = std::array<std::uint8_t, 32>;

// The key library, loaded by the first signed update rather than at every start.
struct BCrypt {
  DynamicLibrary library{L"bcrypt.dll"};
  decltype(&BCryptVerifySignature) verifySignature =
      library.Get<decltype(verifySignature)>("BCryptVerifySignature");
  decltype(&BCryptDestroyKey) destroyKey = library.Get<decltype(destroyKey)>("BCryptDestroyKey");

  bool Complete() const { return verifySignature && destroyKey; }
  static const BCrypt& Get() {
    static const BCrypt library;
    return library;
  }
};

struct PublicKeyTraits {
  static void Close(BCRYPT_KEY_HANDLE key) { BCrypt::Get().destroyKey(key); }
  static void Count(int) {}
};
using PublicKey = UniqueHandle<BCRYPT_KEY_HANDLE, PublicKeyTraits>;

struct CertificateContextTraits {
  static void Close(PCCERT_CONTEXT context) { Crypt32::Get().freeCertificate(context); }
  static void Count(int) {}
};
using CertificateContext = UniqueHandle<PCCERT_CONTEXT, CertificateContextTraits>;

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
  const CertificateContext context(crypt.createCertificate(kMessageEncoding, certificate.data(),
                                                           static_cast<DWORD>(certificate.size())));
  if (!context) return false;
  BCRYPT_KEY_HANDLE imported = nullptr;
  if (!crypt.importPublicKey(X509_ASN_ENCODING, &context.Get()->pCertInfo->SubjectPublicKeyInfo, 0,
                             nullptr, &imported)) {
    return false;
  }
  const PublicKey key(imported);
  BCRYPT_PKCS1_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM};
  Sha256 hash = digest;
  return BCrypt::Get().verifySignature(key.Get(), &padding, hash.data(),
                                       static_cast<ULONG>(hash.size()), signature.data(),
                                       static_cast<ULONG>(signature.size()), BCRYPT_PAD_PKCS1) == 0;
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
  const std::optional<Sha256> digest = Sha256Of(data.data(), data.size());
  if (!digest) return false;
  return std::any_of(signatures.begin(), signatures.end(),
                     [&](std::vector<BYTE>& one) { return KeySigned(signer, *digest, one); });
}

}  // namespace deskfind
