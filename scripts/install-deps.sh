#!/usr/bin/env bash
# Installs what building and testing the wizard needs on Debian 12, and
# nothing when it is all there already.
set -euo pipefail

# Both cross tool chains and both Wine loaders: the shipped program is 32-bit,
# and a 64-bit build of the same sources runs where 32-bit code cannot. The
# host's own g++ builds makewizard; python3-pefile reads its output back in
# the tests; time measures it in the benchmark; clang and its runtime
# (libFuzzer, the sanitizers) build the fuzz targets.
packages=(cmake make g++ clang libclang-rt-14-dev python3 python3-pefile time g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 googletest wine wine32:i386 wine64 fonts-wine fonts-ipafont-gothic xvfb xauth imagemagick
  libxml2-utils osslsigncode openssl softhsm2 libengine-pkcs11-openssl)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
# osslsigncode 2.9 from bookworm-backports where that suite is configured,
# otherwise bookworm's 2.5: the build signs and its tests pass with either.
for i in "${!missing[@]}"; do
  if [ "${missing[$i]}" = osslsigncode ] && apt-cache policy osslsigncode | grep -q bookworm-backports; then
    missing[$i]=osslsigncode/bookworm-backports
  fi
done
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
