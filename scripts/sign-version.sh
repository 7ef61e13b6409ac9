#!/usr/bin/env bash
# Writes the site's version data into FOLDER (dist by default), signed with the shop's key:
#   version.txt  the version text, then "issued <time>" and "expires <time>" (UTC), CR LF lines
#   version.sig  a detached CMS signature (DER, SHA-256, no signed attributes, no certificates)
#                over version.txt's exact bytes
# Signed copies take version data only when the shop's certificate signed it, it has not
# expired and it is not older than data they accepted before: put both files on the site and
# renew them with this script before they expire (scripts/release.sh makes the first pair).
#   DESKFIND_SIGN_CERT, DESKFIND_SIGN_KEY  the shop's certificate and key, PEM (required)
#   DESKFIND_VERSION_TEXT    the version text ("1,1"); by default the first line of the
#                            folder's version.txt
#   DESKFIND_VERSION_DAYS    how many days the data holds (45 by default)
#   DESKFIND_VERSION_ISSUED  the time it is issued, seconds since 1970 (now by default)
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
issued=${DESKFIND_VERSION_ISSUED:-$(date +%s)}
[[ $issued =~ ^[0-9]+$ ]] || fail "DESKFIND_VERSION_ISSUED must be seconds since 1970"
expires=$((issued + days * 86400))

utc() { date -u -d "@$1" +%Y-%m-%dT%H:%M:%SZ; }
mkdir -p "$folder"
printf '%s\r\nissued %s\r\nexpires %s\r\n' "$text" "$(utc "$issued")" "$(utc "$expires")" \
  >"$folder/version.txt.new"
# RSA signatures of PKCS #1 v1.5 are deterministic: the same data and key give the same bytes.
openssl cms -sign -binary -noattr -nosmimecap -nocerts -md sha256 -outform DER \
  -signer "$DESKFIND_SIGN_CERT" -inkey "$DESKFIND_SIGN_KEY" -in "$folder/version.txt.new" \
  -out "$folder/version.sig.new"
openssl cms -verify -binary -noverify -inform DER -in "$folder/version.sig.new" \
  -content "$folder/version.txt.new" -certfile "$DESKFIND_SIGN_CERT" -nointern \
  -out /dev/null 2>/dev/null || fail "the signature does not verify with $DESKFIND_SIGN_CERT"
mv "$folder/version.txt.new" "$folder/version.txt"
mv "$folder/version.sig.new" "$folder/version.sig"
echo "sign-version.sh: $folder/version.txt ($text) issued $(utc "$issued"), valid until" \
  "$(utc "$expires"), and version.sig"
