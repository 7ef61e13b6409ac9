#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "update/trust/program_signer.h"

namespace deskfind {

// The certificate whose signature a new version of the program must carry: the one that signed
// the running program, whose own file `file` is (OpenRunningProgram). nullopt when that file has
// no certificate table (every download is then accepted as before); an empty certificate when it
// has one whose certificate cannot be read, whatever the reason (every download is then
// refused).
std::optional<Certificate> RunningProgramSigner(HANDLE file);

// The signing certificate of the file behind `file` (opened for reading, `path` its name) when
// it carries an intact Authenticode signature whose signed attributes name the signed content's
// digest, in a certificate table of the one well-formed kind (CertificateTable::kOneSignature);
// nullopt for any other file.
std::optional<Certificate> IntactSigner(HANDLE file, const std::wstring& path);

}  // namespace deskfind
