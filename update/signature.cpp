#include "update/signature.h"

#include <softpub.h>
#include <wintrust.h>

#include "platform/dynamic_library.h"
#include "platform/services.h"
#include "platform/win32_handles.h"
#include "update/program_file.h"

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

// The signature is intact and made with the certificate it carries. What Windows says of that
// certificate's chain or time is no reason to refuse: the shop's certificate need not chain to
// a public root, its end date must not stop the updates of every copy for good, and who signed
// is decided by comparing the certificate itself. Every other result (no signature, a changed
// or extended file, a broken signature) refuses.
bool IntactSignature(LONG status) {
  return status == ERROR_SUCCESS || status == CERT_E_UNTRUSTEDROOT || status == CERT_E_CHAINING ||
         status == CERT_E_EXPIRED;
}

}  // namespace

std::optional<Certificate> RunningProgramSigner() {
  const std::wstring path = ProgramPath();
  const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return Certificate{};
  const FileHandle file(opened);
  // Signed or not is decided by the file, not by Windows: a damaged table is "no signature" to
  // Windows, and must not turn this copy into one that starts anything.
  switch (CertificateTableOf(file.Get())) {
    case CertificateTable::kNone:
      return std::nullopt;
    case CertificateTable::kMalformed:
      return Certificate{};
    case CertificateTable::kOneSignature:
      break;
  }
  return std::move(Verify(file.Get(), path).leaf);
}

bool SignedBy(HANDLE file, const std::wstring& path, const Certificate& signer) {
  if (signer.empty()) return false;
  // Windows reads only tables of this form safely (Wine's ends the process on some others).
  if (CertificateTableOf(file) != CertificateTable::kOneSignature) return false;
  const Verdict verdict = Verify(file, path);
  return IntactSignature(verdict.status) && verdict.leaf == signer;
}

}  // namespace deskfind
