#pragma once

#include <string_view>

#include "update/trust/authenticode.h"

namespace deskfind {

// True when `signature` is a detached CMS signature (DER) over exactly the bytes of `data` one of
// whose signers is the key of `signer`. It may have several signers (the shop signs with the
// old and the new key while it changes certificates); each must be SHA-256 and carry no signed
// attributes: Wine checks signed attributes without tying them to the content, so a signature
// with any is refused.
bool VersionDataSignedBy(std::string_view data, std::string_view signature,
                         const Certificate& signer);

}  // namespace deskfind
