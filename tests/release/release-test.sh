#!/usr/bin/env bash
# Release checks on a second build tree of the same sources, in which only
# the wizard is built:
#   release-test.sh reproducible|pkcs12|failed-signing|settings|token
# ctest passes what it needs of the main tree in RELEASE_* variables (see
# CMakeLists.txt). Every case configures the tree with all signing settings
# spelled out, so the cases do not depend on each other's order.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=$RELEASE_TREE
program="$tree/bin/VELNORIX410aPackageE.exe"
pe() { python3 "$here/pe.py" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

configure() {
  # The main tree's settings come in a file; the stamp among them, since the
  # environment ctest runs in need not be the one the main tree was
  # configured in.
  env -u SOURCE_DATE_EPOCH "$RELEASE_CMAKE" -S "$RELEASE_SOURCE" -B "$tree" -G "$RELEASE_GENERATOR" \
    -C "$RELEASE_SETTINGS" -DWIZARD_BUILD_TESTS=OFF \
    -DWIZARD_SIGN_PKCS12= -DWIZARD_SIGN_PKCS11_MODULE= -DWIZARD_SIGN_KEY= -DWIZARD_SIGN_CERTS= \
    -DWIZARD_SIGN_PASSWORD_FILE= -DWIZARD_SIGN_TIMESTAMP_URL= "$@"
}
build() { "$RELEASE_CMAKE" --build "$tree" --target VELNORIX410aPackageE -j"$(nproc)"; }

# The main tree's program without its signature, if it has one: the bytes
# the link wrote.
unsigned_main() {
  local copy="$tree/main-unsigned.exe"
  rm -f "$copy"
  if pe signed "$RELEASE_PROGRAM"; then
    osslsigncode remove-signature -in "$RELEASE_PROGRAM" -out "$copy" >/dev/null
  else
    cp "$RELEASE_PROGRAM" "$copy"
  fi
  echo "$copy"
}

# A throwaway CA and a code-signing certificate under it, as a .p12 file with
# a password file, and as a PEM key and chain for a token.
make_pki() {
  local dir=$1
  rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
    -subj "/CN=Wizard Release Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
    -subj "/CN=Wizard Release Test Signer" 2>/dev/null
  printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >signer.ext
  openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
    -extfile signer.ext -out signer.pem 2>/dev/null
  cat signer.pem ca.pem >chain.pem
  # With a newline, as an editor saves it: osslsigncode drops it.
  printf 'correct horse\n' >password
  printf 'wrong horse\n' >wrong-password
  openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -name signer \
    -passout pass:"correct horse" -out signer.p12
  cd - >/dev/null
}

expect_verified() {
  local log="$tree/verify.log"
  osslsigncode verify -CAfile "$pki/ca.pem" -in "$program" >"$log" 2>&1 ||
    { cat "$log"; fail "osslsigncode verify refused $program"; }
  grep -q "Message digest algorithm  : SHA256" "$log" || { cat "$log"; fail "not a SHA-256 signature"; }
  if grep -q "Page hash" "$log"; then fail "the signature carries page hashes"; fi
}

# expect_failed_build MESSAGE: the build stops, shows MESSAGE, and leaves
# nothing under the signed name or the temporary one.
expect_failed_build() {
  local log="$tree/build.log"
  if build >"$log" 2>&1; then cat "$log"; fail "the build succeeded"; fi
  grep -qF "$1" "$log" || { cat "$log"; fail "the build's output lacks \"$1\""; }
  [ ! -e "$program" ] || fail "$program exists after a failed signing"
  [ ! -e "$program.signing" ] || fail "$program.signing left behind"
}

# softhsm_conf FOLDER: a SoftHSM configuration that keeps its tokens there.
softhsm_conf() {
  mkdir -p "$1"
  printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$1" >"$1.conf"
  echo "$1.conf"
}

pki="$tree/pki"
case $1 in
reproducible)
  configure
  build
  reference=$(unsigned_main)
  if ! cmp "$reference" "$program"; then
    cmp -l "$reference" "$program" | head
    fail "two builds of the same sources differ (stamps $(pe stamp "$reference"), $(pe stamp "$program"))"
  fi
  cmp "$RELEASE_SAMPLE_INSTALLER" "$tree/bin/sample_installer.exe" || fail "the sample installers differ"
  [ "$(pe stamp "$program")" = "$RELEASE_STAMP" ] || fail "link stamp $(pe stamp "$program"), not $RELEASE_STAMP"
  for dir in "$RELEASE_SOURCE" "$RELEASE_MAIN_TREE" "$tree"; do
    if grep -qaF "$dir" "$program"; then fail "$program holds the build path $dir"; fi
  done
  echo "Same bytes in $RELEASE_PROGRAM and $program, stamped $RELEASE_STAMP"
  # The owner's kit too: stub, both builders and the zip, from another folder.
  "$RELEASE_CMAKE" --build "$tree" --target owner-kit -j"$(nproc)"
  cmp "$RELEASE_MAIN_TREE/owner-kit.zip" "$tree/owner-kit.zip" || fail "two owner's kits differ"
  echo "Same bytes in both owner's kits"
  ;;
pkcs12)
  make_pki "$pki"
  configure -DWIZARD_SIGN_PKCS12="$pki/signer.p12" -DWIZARD_SIGN_PASSWORD_FILE="$pki/password"
  build
  expect_verified
  # Signing adds the signature and moves no byte of the image: without it,
  # the file is the unsigned build byte for byte.
  rm -f "$tree/signature-removed.exe"
  osslsigncode remove-signature -in "$program" -out "$tree/signature-removed.exe" >/dev/null
  cmp "$(unsigned_main)" "$tree/signature-removed.exe" || fail "the signed program is not the unsigned one plus a signature"
  pe same "$program" FILE1 "$RELEASE_PAYLOAD_FILE1" || fail "FILE1 does not hold the package's first file"
  cp "$program" "$tree/tampered.exe"
  pe flip "$tree/tampered.exe" FILE1
  if osslsigncode verify -CAfile "$pki/ca.pem" -in "$tree/tampered.exe" >"$tree/tampered.log" 2>&1; then
    fail "osslsigncode verify accepted a program with a changed payload byte"
  fi
  grep -q MISMATCH "$tree/tampered.log" || { cat "$tree/tampered.log"; fail "refused, but not for its digest"; }
  # The end-to-end run takes this copy.
  mkdir -p "$(dirname "$RELEASE_SIGNED_COPY")"
  cp "$program" "$RELEASE_SIGNED_COPY"
  ;;
failed-signing)
  make_pki "$pki"
  configure -DWIZARD_SIGN_PKCS12="$pki/signer.p12" -DWIZARD_SIGN_PASSWORD_FILE="$pki/wrong-password"
  expect_failed_build "Wrong password?"
  # A file that was there when configuring and is gone when building: the
  # build tool names it (the program depends on it, so that a renewed key
  # signs again).
  cp "$pki/signer.p12" "$pki/gone.p12"
  configure -DWIZARD_SIGN_PKCS12="$pki/gone.p12" -DWIZARD_SIGN_PASSWORD_FILE="$pki/password"
  rm "$pki/gone.p12"
  expect_failed_build gone.p12
  configure -DWIZARD_SIGN_PKCS12="$pki/signer.p12" -DWIZARD_SIGN_PASSWORD_FILE="$pki/password"
  build
  expect_verified
  ;;
settings)
  make_pki "$pki"
  touch "$pki/module.so"
  # Each row: what the message must say, then the settings that are refused.
  refused=(
    "WIZARD_SIGN_PKCS12 names|-DWIZARD_SIGN_PKCS12=$pki/none.p12"
    "WIZARD_SIGN_PASSWORD_FILE names|-DWIZARD_SIGN_PKCS12=$pki/signer.p12|-DWIZARD_SIGN_PASSWORD_FILE=$pki/none"
    "WIZARD_SIGN_PKCS11_MODULE names|-DWIZARD_SIGN_PKCS11_MODULE=$pki/none.so|-DWIZARD_SIGN_KEY=pkcs11:object=signer|-DWIZARD_SIGN_CERTS=$pki/chain.pem"
    "WIZARD_SIGN_CERTS is not set|-DWIZARD_SIGN_PKCS11_MODULE=$pki/module.so|-DWIZARD_SIGN_KEY=pkcs11:object=signer"
    "WIZARD_SIGN_KEY is \"signer\"|-DWIZARD_SIGN_PKCS11_MODULE=$pki/module.so|-DWIZARD_SIGN_KEY=signer|-DWIZARD_SIGN_CERTS=$pki/chain.pem"
    "not both|-DWIZARD_SIGN_PKCS12=$pki/signer.p12|-DWIZARD_SIGN_PKCS11_MODULE=$pki/module.so"
    "WIZARD_SIGN_TIMESTAMP_URL is|-DWIZARD_SIGN_PKCS12=$pki/signer.p12|-DWIZARD_SIGN_TIMESTAMP_URL=time.example.com"
    "WIZARD_SOURCE_DATE_EPOCH is \"yesterday\"|-DWIZARD_SOURCE_DATE_EPOCH=yesterday"
  )
  for row in "${refused[@]}"; do
    IFS='|' read -r -a fields <<<"$row"
    if configure "${fields[@]:1}" >"$tree/configure.log" 2>&1; then
      fail "configuring with ${fields[*]:1} succeeded"
    fi
    grep -qF "${fields[0]}" "$tree/configure.log" ||
      { cat "$tree/configure.log"; fail "configuring with ${fields[*]:1} did not say \"${fields[0]}\""; }
  done
  ;;
token)
  make_pki "$pki"
  module=
  for candidate in /usr/lib/softhsm/libsofthsm2.so /usr/lib/*/softhsm/libsofthsm2.so; do
    [ -e "$candidate" ] && module=$candidate && break
  done
  [ -n "$module" ] || fail "SoftHSM's module is not installed (scripts/install-deps.sh installs softhsm2)"
  export SOFTHSM2_CONF=$(softhsm_conf "$pki/tokens")
  softhsm2-util --init-token --free --label "Wizard Release Test" --pin 123456 --so-pin 654321 >/dev/null
  softhsm2-util --import "$pki/signer.key" --token "Wizard Release Test" --label signer --id 01 \
    --pin 123456 >/dev/null
  printf '123456\n' >"$pki/pin"
  printf '000000\n' >"$pki/wrong-pin"
  # The URI's ';' and its %20 go through CMake and the build unchanged.
  key="pkcs11:token=Wizard%20Release%20Test;object=signer;type=private"
  configure -DWIZARD_SIGN_PKCS11_MODULE="$module" -DWIZARD_SIGN_KEY="$key" \
    -DWIZARD_SIGN_CERTS="$pki/chain.pem" -DWIZARD_SIGN_PASSWORD_FILE="$pki/wrong-pin"
  expect_failed_build "PIN incorrect"
  configure -DWIZARD_SIGN_PKCS11_MODULE="$module" -DWIZARD_SIGN_KEY="$key" \
    -DWIZARD_SIGN_CERTS="$pki/chain.pem" -DWIZARD_SIGN_PASSWORD_FILE="$pki/pin"
  # The token not plugged in: the build fails. Plugged in, the next build
  # links and signs again although no input has changed since.
  tokens=$SOFTHSM2_CONF
  export SOFTHSM2_CONF=$(softhsm_conf "$pki/no-tokens")
  expect_failed_build "Failed to load private key"
  export SOFTHSM2_CONF=$tokens
  build
  expect_verified
  ;;
*)
  fail "unknown case $1"
  ;;
esac
