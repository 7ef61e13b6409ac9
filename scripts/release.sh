#!/usr/bin/env bash
# Builds the program customers get, its archive and the site's files:
#   dist/deskfind.exe          the stripped, statically linked 32-bit program (win32 preset)
#   dist/deskfind-VERSION.zip  deskfind.exe and readme.txt, the customers' Russian readme
#   dist/version.txt, dist/version.sig  the site's version data naming that program, issued now
#                              and valid for DESKFIND_VERSION_DAYS (45) days
#                              (scripts/sign-version.sh)
# The program and the archive are the same bytes on every run of a commit; the version data is
# not, as it is issued when the script runs (copies refuse data issued before data they took).
# The build starts from an empty build/release every time, so nothing of a developer's build
# folders reaches the release. Prints the SHA-256 of both files.
# With DESKFIND_SIGN_CERT and DESKFIND_SIGN_KEY naming the shop's PEM certificate and key, the
# program is signed (Authenticode, SHA-256); a signed program starts only newer versions of
# itself signed with the same certificate, and takes only version data signed with its key.
# Without them the script fails, unless --unsigned asks for a development build: an unsigned
# copy trusts whatever the network serves as its update. With
# DESKFIND_TIMESTAMP_URL naming an RFC 3161 time-stamp server as well, the signature is
# time-stamped there (the bytes then differ from run to run); without it there is no time stamp
# and a signed release is reproducible too.
set -euo pipefail
unsigned=false
case "${1:-}" in
  --unsigned) unsigned=true ;;
  "") ;;
  *)
    echo "usage: release.sh [--unsigned]" >&2
    exit 2
    ;;
esac
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if ! $unsigned && { [ -z "${DESKFIND_SIGN_CERT:-}" ] || [ -z "${DESKFIND_SIGN_KEY:-}" ]; }; then
  echo "release.sh: DESKFIND_SIGN_CERT and DESKFIND_SIGN_KEY must name the shop's certificate" \
    "and key; for an unsigned development build, which starts any update the network serves," \
    "give --unsigned" >&2
  exit 1
fi
scripts/deps.sh

build=$root/build/release
dist=$root/dist

# Every time stamp the tools write comes from the last commit, not from the clock.
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
if [ "$SOURCE_DATE_EPOCH" -gt $(($(date +%s) + 86400)) ]; then
  echo "release.sh: the commit is dated more than a day ahead of this computer's clock" >&2
  exit 1
fi
if [ -n "$(git -C "$root" status --porcelain)" ]; then
  if ! $unsigned; then
    # A signed build of changes nobody committed would be a valid update for ever.
    echo "release.sh: the tree has uncommitted changes; commit them, or give --unsigned" >&2
    exit 1
  fi
  echo "release.sh: the tree has uncommitted changes; the files will not match a build of" \
    "the commit" >&2
fi

rm -rf "$build"
cmake --preset win32 -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target deskfind

exe=$build/app/deskfind.exe
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# The program must import system DLLs only: a MinGW runtime DLL would be missing on the
# customer's machine.
if i686-w64-mingw32-objdump -p "$exe" | grep -iE 'DLL Name: *lib'; then
  echo "release.sh: $exe needs a MinGW runtime DLL; it must be linked statically" >&2
  exit 1
fi
# The manifest (Common Controls 6, DPI awareness) and the version resource travel inside.
# (grep -q would end the pipe early, and strings' broken pipe would fail it.)
if ! strings -a "$exe" | grep -F Microsoft.Windows.Common-Controls >/dev/null ||
  ! strings -a -e l "$exe" | grep -x VS_VERSION_INFO >/dev/null; then
  echo "release.sh: $exe lacks its manifest or its version information" >&2
  exit 1
fi
# Signed copies start only a greater file version of themselves, and compare the site's version
# text with their own: the resource built in and the version text must both be the project's.
# The text maps onto FILEVERSION as major = its integer part, minor = its four decimal places.
version_text=$(sed -n 's/^#define DESKFIND_VERSION_POINT "\(.*\)"$/\1/p' \
  "$build/generated/deskfind_version.h" | tr . ,)
file_version=$(python3 - "$exe" <<'EOF'
import struct, sys
image = open(sys.argv[1], "rb").read()
# VS_FIXEDFILEINFO follows the resource's key; its signature alone also occurs in code.
key = image.find("VS_VERSION_INFO\0".encode("utf-16-le"))
at = image.find(struct.pack("<I", 0xFEEF04BD), key) if key >= 0 else -1
if at < 0:
    sys.exit("no VS_FIXEDFILEINFO")
most, least = struct.unpack_from("<II", image, at + 8)
print(f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}")
EOF
)
text_major=${version_text%%,*} text_decimals=${version_text#*,}
[ "$text_decimals" = "$version_text" ] && text_decimals=0
text_decimals=${text_decimals}000
text_minor=$((10#${text_decimals:0:4}))
if [ "$file_version" != "$version.0.0" ] || [ "$text_major.$text_minor.0.0" != "$file_version" ]; then
  echo "release.sh: the program's FILEVERSION is ${file_version:-?}, the project's version" \
    "$version, its version text ${version_text:-?}: they must agree" >&2
  exit 1
fi
# Without debug information and with NDEBUG the compiler records no source paths; a path here
# (a new __FILE__, say) would make two checkouts differ: map it with -ffile-prefix-map.
if strings -a "$exe" | grep -F "$root"; then
  echo "release.sh: $exe holds a path of this checkout" >&2
  exit 1
fi

# The readme must show the shop's address and phone exactly as the program does.
readme_source=$root/assets/readme.txt
for name in kShopHost kShopPhone; do
  value=$(sed -n "s/.*$name = \"\(.*\)\";/\1/p" shop/identity.h)
  if [ -z "$value" ] || ! grep -qF "$value" "$readme_source"; then
    echo "release.sh: $readme_source lacks $name (\"$value\") from shop/identity.h" >&2
    exit 1
  fi
done

rm -rf "$dist"
mkdir -p "$dist"
if ! $unsigned; then
  # The signing time of the commit: RSA signatures are deterministic, so without a time stamp
  # the bytes stay the same. A time stamp keeps the signature valid for Windows after the
  # certificate's end date, but needs the network and differs at every run.
  timestamp=()
  if [ -n "${DESKFIND_TIMESTAMP_URL:-}" ]; then
    timestamp=(-ts "$DESKFIND_TIMESTAMP_URL")
  fi
  osslsigncode sign -certs "$DESKFIND_SIGN_CERT" -key "$DESKFIND_SIGN_KEY" -h sha256 \
    -n deskfind -time "$SOURCE_DATE_EPOCH" "${timestamp[@]}" -in "$exe" \
    -out "$dist/deskfind.exe" >/dev/null
  echo "release.sh: signed with $(openssl x509 -in "$DESKFIND_SIGN_CERT" -noout -subject)" \
    "${DESKFIND_TIMESTAMP_URL:+and time-stamped by $DESKFIND_TIMESTAMP_URL}"
  DESKFIND_VERSION_TEXT=$version_text scripts/sign-version.sh "$dist"
else
  echo "release.sh: --unsigned: the program is unsigned and will start any update the network" \
    "serves" >&2
  cp "$exe" "$dist/deskfind.exe"
  # An unsigned copy reads the first line only.
  printf '%s\r\n' "$version_text" >"$dist/version.txt"
fi
# Notepad of every Windows since XP reads UTF-8 with a byte order mark as UTF-8, whatever the
# system's code page; without the mark the Notepad of Windows 7 and 8 takes it for the ANSI
# code page. Lines end in CR LF: older Notepads show bare LF as one long line.
{
  printf '\357\273\277'
  sed 's/$/\r/' "$readme_source"
} >"$dist/readme.txt"

# zip stores each file's modification time (in local time: hence TZ) and, without -X, owners
# and extra time stamps; the file order is the order given.
touch -d "@$SOURCE_DATE_EPOCH" "$dist/deskfind.exe" "$dist/readme.txt"
archive=$dist/deskfind-$version.zip
(cd "$dist" && TZ=UTC zip -X -q -9 "$archive" deskfind.exe readme.txt)
touch -d "@$SOURCE_DATE_EPOCH" "$archive" "$dist"/version.*

echo "Release $version of commit $(git -C "$root" log -1 --format=%h)" \
  "(SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH):"
(cd "$dist" && sha256sum deskfind.exe "deskfind-$version.zip" version.*)
