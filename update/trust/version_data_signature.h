#pragma once

#include <string_view>

#include "update/trust/authenticode.h"

namespace deskfind {

// True when `signature` is a detached CMS signature (DER) over exactly the bytes of `data`, made
// with SHA-256 by the key of `signer` and carrying no signed attributes. Wine checks signed
// attributes without tying them to the content, so a signature with any is refused.
bool VersionDataSignedBy(std::string_view data, std::string_view signature,
                         const Certificate& signer);

}  // namespace deskfind
