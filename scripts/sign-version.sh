#!/usr/bin/env bash
# Writes the site's version data into FOLDER (dist by default), signed with the shop's key:
#   version.txt  the version text, then "issued <time>" and "expires <time>" (UTC), and the
#                program it names: "program-length <bytes>" and "program-sha256 <hex>"; CR LF
#   version.sig  a detached CMS signature (DER, SHA-256, no signed attributes, no certificates)
#                over version.txt's exact bytes, with one signer for each key given
# Signed copies take version data only when their certificate's key signed it, it has not
# expired and it is not older than data they accepted before, and then only the program it
# names, byte for byte: put both files and the program on the site and renew the two files with
# this script before they expire (scripts/release.sh makes the first pair).
#   DESKFIND_SIGN_CERT, DESKFIND_SIGN_KEY  the shop's certificate and key, PEM (required)
#   DESKFIND_NEXT_SIGN_CERT, DESKFIND_NEXT_SIGN_KEY  while the shop changes certificates: the
#                            new ones, which sign too; copies of the old certificate then take
#                            a program signed with the new one
#   DESKFIND_PROGRAM         the program file the data names (FOLDER/deskfind.exe by default)
#   DESKFIND_VERSION_TEXT    the version text ("1,1"); by default the first line of the
#                            folder's version.txt
#   DESKFIND_VERSION_DAYS    how many days the data holds (45 by default)
#   DESKFIND_VERSION_ISSUED  the time it is issued, seconds since 1970 (now by default): not more
#                            than a day ahead of now, and not before the folder's version.txt
set -euo pipefail
folder=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/dist}
fail() {
  echo "sign-version.sh: $*" >&2
  exit 1
}
[ -n "${DESKFIND_SIGN_CERT:-}" ] && [ -n "${DESKFIND_SIGN_KEY:-}" ] ||
  fail "DESKFIND_SIGN_CERT and DESKFIND_SIGN_KEY must name the shop's certificate and key"

text=${DESKFIND_VERSION_TEXT:-}
if [ -z "$text" ] && [ -f "$folder/version.txt" ]; then
  text=$(head -n 1 "$folder/version.txt" | tr -d '\r')
fi
[[ $text =~ ^[0-9]+(,[0-9]{1,4})?$ ]] || fail "no version text like 1,1 (got '$text')"
days=${DESKFIND_VERSION_DAYS:-45}
[[ $days =~ ^[1-9][0-9]{0,3}$ ]] || fail "DESKFIND_VERSION_DAYS must be a number of days"
now=$(date +%s)
issued=${DESKFIND_VERSION_ISSUED:-$now}
[[ $issued =~ ^[0-9]+$ ]] || fail "DESKFIND_VERSION_ISSUED must be seconds since 1970"
expires=$((issued + days * 86400))
# Copies refuse data issued more than a day ahead of their clock, and any older than data they
# took before: such data would stop every update.
[ "$issued" -le $((now + 86400)) ] || fail "issued more than a day ahead of now"
[ "$expires" -gt "$issued" ] || fail "it would expire when it is issued"
if [ -f "$folder/version.txt" ]; then
  previous=$(sed -n 's/^issued \([0-9TZ:-]*\)\r\{0,1\}$/\1/p' "$folder/version.txt" | head -n 1)
  if [ -n "$previous" ]; then
    [ "$issued" -ge "$(date -u -d "$previous" +%s)" ] ||
      fail "issued before the folder's version.txt ($previous): copies that took it refuse this"
  fi
fi

program=${DESKFIND_PROGRAM:-$folder/deskfind.exe}
[ -f "$program" ] || fail "no program file $program for the data to name"
length=$(stat -c %s "$program")
sha256=$(sha256sum "$program" | cut -d ' ' -f 1)

signers=(-signer "$DESKFIND_SIGN_CERT" -inkey "$DESKFIND_SIGN_KEY")
certificates=("$DESKFIND_SIGN_CERT")
if [ -n "${DESKFIND_NEXT_SIGN_CERT:-}" ] || [ -n "${DESKFIND_NEXT_SIGN_KEY:-}" ]; then
  [ -n "${DESKFIND_NEXT_SIGN_CERT:-}" ] && [ -n "${DESKFIND_NEXT_SIGN_KEY:-}" ] ||
    fail "DESKFIND_NEXT_SIGN_CERT and DESKFIND_NEXT_SIGN_KEY go together"
  signers+=(-signer "$DESKFIND_NEXT_SIGN_CERT" -inkey "$DESKFIND_NEXT_SIGN_KEY")
  certificates+=("$DESKFIND_NEXT_SIGN_CERT")
fi

utc() { date -u -d "@$1" +%Y-%m-%dT%H:%M:%SZ; }
mkdir -p "$folder"
printf '%s\r\nissued %s\r\nexpires %s\r\nprogram-length %s\r\nprogram-sha256 %s\r\n' \
  "$text" "$(utc "$issued")" "$(utc "$expires")" "$length" "$sha256" >"$folder/version.txt.new"
# RSA signatures of PKCS #1 v1.5 are deterministic: the same data and key give the same bytes.
openssl cms -sign -binary -noattr -nosmimecap -nocerts -md sha256 -outform DER "${signers[@]}" \
  -in "$folder/version.txt.new" -out "$folder/version.sig.new"
# Every signer must verify: openssl checks each against the certificates given.
cat "${certificates[@]}" >"$folder/version.certificates.new"
verified=true
openssl cms -verify -binary -noverify -inform DER -in "$folder/version.sig.new" \
  -content "$folder/version.txt.new" -certfile "$folder/version.certificates.new" -nointern \
  -out /dev/null 2>/dev/null || verified=false
rm -f "$folder/version.certificates.new"
$verified || fail "the signature does not verify with ${certificates[*]}"
mv "$folder/version.txt.new" "$folder/version.txt"
mv "$folder/version.sig.new" "$folder/version.sig"
echo "sign-version.sh: $folder/version.txt ($text, naming $program: $length bytes) issued" \
  "$(utc "$issued"), valid until $(utc "$expires"), and version.sig (${#certificates[@]} signer(s))"
