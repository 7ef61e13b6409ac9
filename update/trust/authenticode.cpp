#include "update/trust/authenticode.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstdint>
#include <cstring>

#include "platform/dynamic_library.h"
#include "platform/services.h"
#include "platform/win32_handles.h"
#include "update/trust/crypt_message.h"
#include "update/trust/program_file_reader.h"

namespace deskfind {
namespace {

// The trust library, loaded by the first update rather than at every start.
struct WinTrust {
  DynamicLibrary library{L"wintrust.dll"};
  decltype(&WinVerifyTrust) verify = library.Get<decltype(verify)>("WinVerifyTrust");
  decltype(&WTHelperProvDataFromStateData) providerData =
      library.Get<decltype(providerData)>("WTHelperProvDataFromStateData");
  decltype(&WTHelperGetProvSignerFromChain) signer =
      library.Get<decltype(signer)>("WTHelperGetProvSignerFromChain");
  decltype(&WTHelperGetProvCertFromChain) certificate =
      library.Get<decltype(certificate)>("WTHelperGetProvCertFromChain");

  bool Complete() const { return verify && providerData && signer && certificate; }
  static const WinTrust& Get() {
    static const WinTrust library;
    return library;
  }
};

struct Verdict {
  LONG status = TRUST_E_NOSIGNATURE;
  Certificate leaf;  // the signing certificate, when the signature could be read
};

// What WinVerifyTrust says of the file, and the certificate that signed it.
Verdict Verify(HANDLE file, const std::wstring& path) {
  Verdict verdict;
  const WinTrust& trust = WinTrust::Get();
  if (!trust.Complete()) {
    verdict.status = TRUST_E_PROVIDER_UNKNOWN;
    return verdict;
  }
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = path.c_str();
  fileInfo.hFile = file;
  WINTRUST_DATA data{};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  verdict.status = trust.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);

  if (CRYPT_PROVIDER_DATA* provider = trust.providerData(data.hWVTStateData)) {
    if (CRYPT_PROVIDER_SGNR* signer = trust.signer(provider, 0, FALSE, 0)) {
      if (CRYPT_PROVIDER_CERT* leaf = trust.certificate(signer, 0)) {
        if (leaf->pCert && leaf->pCert->pbCertEncoded) {
          const BYTE* bytes = leaf->pCert->pbCertEncoded;
          verdict.leaf.assign(bytes, bytes + leaf->pCert->cbCertEncoded);
        }
      }
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  trust.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return verdict;
}

// True when the signer's messageDigest attribute is the digest of the signed content. Windows
// makes this comparison within WinVerifyTrust; Wine checks the signature over the attributes
// alone, so a program changed after signing passes there once the changed image's digest is
// written into the signed content. One signer, and one of the SHA digests, or nothing.
bool SignedContentIntact(const std::vector<unsigned char>& pkcs7) {
  const Crypt32& crypt = Crypt32::Get();
  if (!crypt.Complete()) return false;
  const DecodedMessage message(
      std::string_view(reinterpret_cast<const char*>(pkcs7.data()), pkcs7.size()), false);
  std::vector<BYTE> signerBytes;
  std::vector<BYTE> content;
  if (message.SignerCount() != 1 || !message.Param(CMSG_SIGNER_INFO_PARAM, 0, signerBytes) ||
      !message.Param(CMSG_CONTENT_PARAM, 0, content)) {
    return false;
  }
  const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBytes.data());
  const ALG_ID algorithm =
      signer.HashAlgorithm.pszObjId ? crypt.algorithmOf(signer.HashAlgorithm.pszObjId) : 0;
  if (algorithm != CALG_SHA1 && algorithm != CALG_SHA_256 && algorithm != CALG_SHA_384 &&
      algorithm != CALG_SHA_512) {
    return false;
  }

  const CRYPT_ATTR_BLOB* stated = nullptr;
  for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
    if (!attribute.pszObjId || std::strcmp(attribute.pszObjId, szOID_PKCS_9_MESSAGE_DIGEST) != 0) {
      continue;
    }
    if (stated || attribute.cValue != 1) return false;  // which one would Windows compare?
    stated = &attribute.rgValue[0];
  }
  if (!stated) return false;
  DWORD size = 0;
  if (!crypt.decodeObject(kMessageEncoding, X509_OCTET_STRING, stated->pbData, stated->cbData, 0,
                          nullptr, &size)) {
    return false;
  }
  std::vector<BYTE> decoded(size);
  if (!crypt.decodeObject(kMessageEncoding, X509_OCTET_STRING, stated->pbData, stated->cbData, 0,
                          decoded.data(), &size)) {
    return false;
  }
  const auto& digest = *reinterpret_cast<const CRYPT_DATA_BLOB*>(decoded.data());

  // The digest is taken over the content's value, without its own tag and length.
  const std::optional<std::string_view> signedContent =
      DerContents(std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
  if (!signedContent) return false;
  BYTE computed[64];
  DWORD computedSize = sizeof(computed);
  if (!crypt.hash(0, algorithm, 0, reinterpret_cast<const BYTE*>(signedContent->data()),
                  static_cast<DWORD>(signedContent->size()), computed, &computedSize)) {
    return false;
  }
  return digest.cbData == computedSize && std::memcmp(digest.pbData, computed, computedSize) == 0;
}

}  // namespace

std::optional<Certificate> RunningProgramSigner(HANDLE file) {
  // Signed or not is decided by the file, not by Windows: a damaged table is "no signature" to
  // Windows, and must not turn this copy into one that starts anything.
  switch (CertificateTableOf(file)) {
    case CertificateTable::kNone:
      return std::nullopt;
    case CertificateTable::kMalformed:
      return Certificate{};
    case CertificateTable::kOneSignature:
      break;
  }
  return std::move(Verify(file, ProgramPath()).leaf);
}

std::optional<Certificate> IntactSigner(HANDLE file, const std::wstring& path) {
  // Windows reads only tables of this form safely (Wine's ends the process on some others).
  if (CertificateTableOf(file) != CertificateTable::kOneSignature) return std::nullopt;
  Verdict verdict = Verify(file, path);
  if (!IsIntactSignatureResult(static_cast<std::uint32_t>(verdict.status)) ||
      verdict.leaf.empty()) {
    return std::nullopt;
  }
  const std::optional<std::vector<unsigned char>> pkcs7 = SignatureOf(file);
  if (!pkcs7 || !SignedContentIntact(*pkcs7)) return std::nullopt;
  return std::move(verdict.leaf);
}

}  // namespace deskfind
