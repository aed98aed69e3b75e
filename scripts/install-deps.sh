#!/usr/bin/env bash
# Installs what building and testing the wizard needs on Debian 12, and
# nothing when it is all there already.
#
# A mirror caught mid-sync fails `apt-get update` on one index while every
# other is fine, so a failed update is tried again and then left to the
# install: only what cannot be had stops the script. 32-bit Wine is the one
# piece the tests can do without (they run the 64-bit build under wine64,
# scripts/host-kind.sh), so it is installed on its own and its failure is
# said in one line, not fatal.
set -euo pipefail

# Both cross tool chains and both Wine loaders: the shipped program is 32-bit,
# and a 64-bit build of the same sources runs where 32-bit code cannot. The
# host's own g++ builds makewizard; python3-pefile reads its output back in
# the tests; time measures it in the benchmark; clang and its runtime
# (libFuzzer, the sanitizers) build the fuzz targets; g++-multilib builds
# the checksum's 32-bit stack check natively.
packages=(cmake make g++ clang libclang-rt-14-dev python3 python3-pefile time g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 g++-multilib googletest wine wine64 fonts-wine fonts-ipafont-gothic xvfb xauth imagemagick
  libxml2-utils osslsigncode openssl libssl-dev softhsm2 libengine-pkcs11-openssl)
packages32=(wine32:i386)
# How often, and how far apart, a failed index refresh is tried.
update_tries=${INSTALL_DEPS_UPDATE_TRIES:-3}
update_pause=${INSTALL_DEPS_UPDATE_PAUSE:-5}

missing_of() {
  local package
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || echo "$package"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing32 < <(missing_of "${packages32[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing32[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$@"
}
echo "Installing: ${missing[*]} ${missing32[*]}"
if [ ${#missing32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
for ((try = 1; ; try++)); do
  if $sudo apt-get update -q >"$log" 2>&1; then
    break
  elif [ "$try" -ge "$update_tries" ]; then
    # apt names the index it could not fetch on its "Failed to fetch" line.
    failed=$(grep -m1 -E '^(E|W): Failed to fetch' "$log" || grep -m1 -E '^(E|W): ' "$log" || tail -n 1 "$log")
    echo "apt-get update failed $try times; going on with the package lists apt has: ${failed#?: }"
    break
  fi
  sleep "$update_pause"
done

# osslsigncode 2.9 from bookworm-backports where that suite is configured,
# otherwise bookworm's 2.5: the build signs and its tests pass with either.
for i in "${!missing[@]}"; do
  if [ "${missing[$i]}" = osslsigncode ] && apt-cache policy osslsigncode | grep -q bookworm-backports; then
    missing[$i]=osslsigncode/bookworm-backports
  fi
done
# apt's own message goes to the terminal, and its status ends the script.
[ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"

if [ ${#missing32[@]} -gt 0 ] && ! apt_install "${missing32[@]}" >"$log" 2>&1; then
  # The unmet dependency says why; apt's closing error line when none does.
  reason=$(grep -m1 -E ' Depends: ' "$log" || grep -m1 -E '^E: ' "$log" || tail -n 1 "$log")
  reason=$(echo "$reason" | sed -E 's/^E: //; s/^ +//; s/ +/ /g')
  echo "32-bit Wine (${missing32[*]}) could not be installed ($reason); the tests will run the 64-bit build under wine64."
fi
exit 0
