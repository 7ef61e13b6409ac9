#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when all are there.
# Only the 64-bit Wine packages: on a computer that cannot run 32-bit code a 32-bit loader would
# break every Wine run. 32-bit Wine goes into a root of its own (scripts/i386-root, debootstrap),
# which gets the same packages for the tests from scripts/wine-test-packages.
set -euo pipefail
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mapfile -t test_packages < <(sed 's/#.*//' "$scripts/wine-test-packages" | xargs -n1)
packages=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64 wine wine64 xvfb xauth googletest imagemagick file python3 zip clang
  libclang-rt-14-dev clang-tidy clang-format osslsigncode openssl debootstrap python3-pil
  "${test_packages[@]}" "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
