#pragma once

#include <vector>

namespace deskfind {

// The encoded bytes of a certificate.
using Certificate = std::vector<unsigned char>;

// Who may have signed a new version of the program: this copy's own certificate, or another
// whose key also signed the version data this copy accepted (the shop's renewed certificate,
// vouched for by the old key while copies move over). Nobody else.
enum class ProgramSigner { kRefused, kOwn, kRenewed };

// `own` is this copy's certificate, `signer` the downloaded program's; `signerKeySignedData`
// tells whether the signer's key also signed the accepted version data.
inline ProgramSigner ProgramSignerOf(const Certificate& own, const Certificate& signer,
                                     bool signerKeySignedData) {
  if (own.empty() || signer.empty()) return ProgramSigner::kRefused;
  if (signer == own) return ProgramSigner::kOwn;
  return signerKeySignedData ? ProgramSigner::kRenewed : ProgramSigner::kRefused;
}

}  // namespace deskfind
