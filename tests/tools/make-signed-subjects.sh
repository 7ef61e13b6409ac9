#!/usr/bin/env bash
# Makes the signed programs the update's tests download and run, with certificates made here
# and now (no key is ever kept in the repository):
#   a.der, a1.der          the certificates A (signed with SHA-256) and A1 (with SHA-1)
#   marker-a.exe           the stand-in program (deskfind 1.1) signed with A; -a1 with A1, -b
#                          with B
#   marker-a-changed.exe   signed with A, then one byte changed
#   marker-a-appended.exe  signed with A, then bytes appended
#   marker-a-rewritten.exe marker-a-changed.exe with the changed image's digest written into
#                          the signed content: its signature no longer covers that content
#   marker-a-type1.exe     signed with A, then its certificate's type changed from 2 to 1
#   marker-a-other.exe     the stand-in named another product ("deskplan"), signed with A
#   marker-a2.exe          another build of the stand-in (one byte of its stub differs), signed
#                          with A
#   marker-unsigned.exe    the stand-in as built
#   deskfind/deskfind.exe  the program (deskfind 1.0) signed with A, in a folder of its own
#   deskfind-cut/deskfind.exe  the same with its certificate's length cut to the bare header
#   deskfind-unnamed/deskfind.exe  the program with no readable product name, signed with A
#   tls.pem, tls.key       a site certificate for update.deskfind.test, trusted by nobody
# and the site's version data for the signed copies, each NAME.txt with its signature NAME.sig,
# dated from now (run the build again for fresh ones: the good data is valid for 45 days), each
# naming marker-a.exe unless said otherwise:
#   version-a              1,1 issued an hour ago, made with A by the shop's own script
#   version-for-SUBJECT    the same naming another subject (marker-b, marker-a-rewritten,
#                          marker-unsigned, marker-a-other, deskfind)
#   version-ba             naming marker-b.exe, signed with B and with A by the shop's script
#   version-wrong-length   version-a with a length one byte more, signed with A
#   version-unnamed        version-a without its program lines, signed with A
#   version-older          the same issued a day earlier
#   version-expired        expired five days ago
#   version-ahead          issued three days from now
#   version-undated        without its issued line
#   version-b              version-a's data signed with B
#   version-attributes     signed with A, with signed attributes
#   version-sha1           signed with A, SHA-1
#   version-changed        version-a's signature beside the data with another version text
# Usage: make-signed-subjects.sh MARKER_EXE PROGRAM_EXE OUTPUT_FOLDER
set -euo pipefail
marker=$1 program=$2 out=$3
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)
mkdir -p "$out/deskfind" "$out/deskfind-cut"
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

number() { # file, offset, bytes: the little-endian number there
  local value=0 shift=0 byte
  for byte in $(od -An -tu1 -v -j "$2" -N "$3" "$1"); do
    value=$((value + (byte << shift))) shift=$((shift + 8))
  done
  echo "$value"
}
overwrite() { # file, offset, bytes as printf escapes
  printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
certificate_table() { # file: the offset of its certificate table, PE32 or PE32+
  local headers directories
  headers=$(number "$1" 60 4)
  directories=$((headers + 24 + 96))
  [ "$(number "$1" $((headers + 24)) 2)" = 523 ] && directories=$((headers + 24 + 112))
  number "$1" $((directories + 4 * 8)) 4
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
# The image digest inside the signed content, replaced by the changed image's own.
cp marker-a-changed.exe marker-a-rewritten.exe
digests=$(osslsigncode verify -in marker-a-rewritten.exe 2>&1 || true)
DIGEST_NOW=$(sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' <<<"$digests") \
  DIGEST_NEW=$(sed -n 's/^Calculated message digest *: *\([0-9A-F]*\).*/\1/p' <<<"$digests") \
  perl -0777 -pi -e '
    my ($now, $new) = map { pack "H*", $_ } @ENV{"DIGEST_NOW", "DIGEST_NEW"};
    my $count = () = /\Q$now\E/g;
    die "the image digest occurs $count times\n" unless length $now == 32 && $count == 1;
    s/\Q$now\E/$new/' marker-a-rewritten.exe
cp marker-a.exe marker-a-appended.exe
printf 'appended after the signature' >>marker-a-appended.exe
# WIN_CERTIFICATE: dwLength, wRevision, wCertificateType.
cp marker-a.exe marker-a-type1.exe
overwrite marker-a-type1.exe $(($(certificate_table marker-a-type1.exe) + 6)) '\001\000'
# Another program of the shop: the same length of name keeps the resource's layout.
perl -0777 -pe 's/(P\0r\0o\0d\0u\0c\0t\0N\0a\0m\0e\0\0\0(?:\0\0)?)d\0e\0s\0k\0f\0i\0n\0d\0/$1d\0e\0s\0k\0p\0l\0a\0n\0/' \
  "$marker" >marker-other.exe
cmp -s "$marker" marker-other.exe && { echo "no product name in $marker" >&2; exit 1; }
sign a marker-other.exe marker-a-other.exe
rm marker-other.exe
cp "$marker" marker2.exe
printf 'Y' | dd of=marker2.exe bs=1 seek=80 conv=notrunc status=none
sign a marker2.exe marker-a2.exe
rm marker2.exe
cp "$marker" marker-unsigned.exe
sign a "$program" deskfind/deskfind.exe
# The key renamed, the resource's layout kept.
mkdir -p deskfind-unnamed
perl -0777 -pe 's/P\0r\0o\0d\0u\0c\0t\0N\0a\0m\0e\0/P\0r\0o\0d\0u\0c\0t\0N\0a\0m\0f\0/' \
  "$program" >deskfind-unnamed.exe
cmp -s "$program" deskfind-unnamed.exe && { echo "no product name in $program" >&2; exit 1; }
sign a deskfind-unnamed.exe deskfind-unnamed/deskfind.exe
rm deskfind-unnamed.exe
cp deskfind/deskfind.exe deskfind-cut/deskfind.exe
overwrite deskfind-cut/deskfind.exe "$(certificate_table deskfind-cut/deskfind.exe)" '\010\000\000\000'
[ -s tls.pem ] && [ -s tls.key ] ||
  openssl req -x509 -newkey rsa:2048 -sha256 -days 3650 -nodes -keyout tls.key -out tls.pem \
    -subj "/CN=update.deskfind.test" -addext "subjectAltName=DNS:update.deskfind.test" \
    -addext "extendedKeyUsage=serverAuth" 2>/dev/null

utc() { date -u -d "@$1" +%Y-%m-%dT%H:%M:%SZ; }
program_lines() { # program file
  printf 'program-length %s\r\nprogram-sha256 %s\r\n' "$(stat -c %s "$1")" \
    "$(sha256sum "$1" | cut -d ' ' -f 1)"
}
version_data() { # name, issued, expires (seconds since 1970)
  { printf '1,1\r\nissued %s\r\nexpires %s\r\n' "$(utc "$2")" "$(utc "$3")"
    program_lines marker-a.exe; } >"version-$1.txt"
}
shop_data() { # name, program, certificate, next certificate or nothing: by the shop's script
  rm -rf shop
  DESKFIND_SIGN_CERT=$3.pem DESKFIND_SIGN_KEY=$3.key \
    DESKFIND_NEXT_SIGN_CERT=${4:+$4.pem} DESKFIND_NEXT_SIGN_KEY=${4:+$4.key} \
    DESKFIND_PROGRAM=$2 DESKFIND_VERSION_TEXT=1,1 DESKFIND_VERSION_ISSUED=$((now - 3600)) \
    "$scripts/sign-version.sh" shop >/dev/null
  mv shop/version.txt "version-$1.txt"
  mv shop/version.sig "version-$1.sig"
}
sign_data() { # certificate, name, openssl options that differ from the shop's
  openssl cms -sign -binary -nosmimecap -nocerts -signer "$1.pem" -inkey "$1.key" \
    -in "version-$2.txt" -outform DER -out "version-$2.sig" "${@:3}"
}
now=$(date +%s) day=86400
shop_data a marker-a.exe a
for subject in marker-b marker-a-rewritten marker-unsigned marker-a-other; do
  shop_data "for-$subject" "$subject.exe" a
done
shop_data for-deskfind deskfind/deskfind.exe a
# Both keys, the copy's own (A) second: it is found wherever it stands.
shop_data ba marker-b.exe b a
# The shop's script refuses data that copies would refuse: issued more than a day ahead, expiring
# when issued, and older than the folder's data.
refused() { # what, then the script's variables
  rm -rf shop
  mkdir shop
  cp version-a.txt shop/version.txt
  if env DESKFIND_SIGN_CERT=a.pem DESKFIND_SIGN_KEY=a.key DESKFIND_PROGRAM=marker-a.exe \
    DESKFIND_VERSION_TEXT=1,1 "${@:2}" "$scripts/sign-version.sh" shop >/dev/null 2>&1; then
    echo "sign-version.sh accepted data $1" >&2
    exit 1
  fi
}
refused "issued two days ahead" DESKFIND_VERSION_ISSUED=$((now + 2 * day))
refused "that expires when issued" DESKFIND_VERSION_DAYS=0
refused "older than the folder's" DESKFIND_VERSION_ISSUED=$((now - 2 * 3600))
rm -rf shop
version_data older $((now - 3600 - day)) $((now + 45 * day))
version_data expired $((now - 50 * day)) $((now - 5 * day))
version_data ahead $((now + 3 * day)) $((now + 48 * day))
grep -v '^issued' version-a.txt >version-undated.txt
for name in older expired ahead undated; do sign_data a $name -noattr -md sha256; done
cp version-a.txt version-b.txt
sign_data b b -noattr -md sha256
cp version-a.txt version-attributes.txt
sign_data a attributes -md sha256
cp version-a.txt version-sha1.txt
sign_data a sha1 -noattr -md sha1
sed 's/^1,1/1,2/' version-a.txt >version-changed.txt
cp version-a.sig version-changed.sig
perl -pe 's/^program-length (\d+)/"program-length " . ($1 + 1)/e' version-a.txt \
  >version-wrong-length.txt
sign_data a wrong-length -noattr -md sha256
grep -v '^program-' version-a.txt >version-unnamed.txt
sign_data a unnamed -noattr -md sha256
touch stamp
