#!/usr/bin/env bash
# Makes the signed programs the update's tests download and run, with certificates made here
# and now (no key is ever kept in the repository):
#   a.der, a1.der          the certificates A (signed with SHA-256) and A1 (with SHA-1)
#   marker-a.exe           the stand-in program signed with A; -a1 with A1, -b with B
#   marker-a-changed.exe   signed with A, then one byte changed
#   marker-a-appended.exe  signed with A, then bytes appended
#   marker-unsigned.exe    the stand-in as built
#   deskfind/deskfind.exe  the program signed with A, in a folder of its own
#   tls.pem, tls.key       a site certificate for update.deskfind.test, trusted by nobody
# Usage: make-signed-subjects.sh MARKER_EXE PROGRAM_EXE OUTPUT_FOLDER
set -euo pipefail
marker=$1 program=$2 out=$3
mkdir -p "$out/deskfind"
cd "$out"

certificate() { # name, digest of the certificate's own signature
  [ -s "$1.pem" ] && [ -s "$1.key" ] ||
    openssl req -x509 -newkey rsa:2048 "-$2" -days 3650 -nodes -keyout "$1.key" -out "$1.pem" \
      -subj "/CN=deskfind test signer $1" -addext "extendedKeyUsage=codeSigning" \
      -addext "keyUsage=critical,digitalSignature" -addext "basicConstraints=critical,CA:FALSE" \
      2>/dev/null
  openssl x509 -in "$1.pem" -outform DER -out "$1.der"
}
sign() { # certificate, input, output (no time stamp: nothing is fetched)
  rm -f "$3"
  osslsigncode sign -certs "$1.pem" -key "$1.key" -h sha256 -n deskfind -in "$2" -out "$3" \
    >/dev/null
}

certificate a sha256
certificate a1 sha1
certificate b sha256
sign a "$marker" marker-a.exe
sign a1 "$marker" marker-a1.exe
sign b "$marker" marker-b.exe
# One byte of the DOS stub's text: still a Windows program, no longer what was signed.
cp marker-a.exe marker-a-changed.exe
printf 'X' | dd of=marker-a-changed.exe bs=1 seek=80 conv=notrunc status=none
cp marker-a.exe marker-a-appended.exe
printf 'appended after the signature' >>marker-a-appended.exe
cp "$marker" marker-unsigned.exe
sign a "$program" deskfind/deskfind.exe
[ -s tls.pem ] && [ -s tls.key ] ||
  openssl req -x509 -newkey rsa:2048 -sha256 -days 3650 -nodes -keyout tls.key -out tls.pem \
    -subj "/CN=update.deskfind.test" -addext "subjectAltName=DNS:update.deskfind.test" \
    -addext "extendedKeyUsage=serverAuth" 2>/dev/null
touch stamp
