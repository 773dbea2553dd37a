#!/bin/bash
# quarnel-kit build as an author runs it, with nothing but the kit and
# osslsigncode on PATH: the sample product built in two folders under a
# different time zone, locale, umask, input dates and a shifted clock gives
# the same installer and package bytes, unsigned and signed; the signature
# verifies against its CA, and fails once one byte of code or of the string
# table changes; the sealed checksums still match after signing; a wrong
# password or a missing certificate leaves nothing behind.
#   build_sign_repro.sh KIT SOURCE_DIR
set -eu
kit=$1 src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

# Only the kit and the signing tool: the build runs no other program.
mkdir "$work/bin"
ln -s "$kit" "$work/bin/quarnel-kit"
# The signing tool through a wrapper that keeps its arguments: the password
# must never be among them.
printf '#!/bin/bash\nprintf "%%s\\n" "$*" >> %q\nexec %q "$@"\n' "$work/signer-args" "$(command -v osslsigncode)" \
  > "$work/bin/osslsigncode"
chmod +x "$work/bin/osslsigncode"
# The clock is shifted with faketime's preloaded library, which deadlocks a
# kit built with the address sanitizer (scripts/sanitize.sh): that kit runs
# the second build on the true clock.
faketime=("$(command -v env)")
if grep -q __asan_init "$kit"; then
  echo "note: $kit is built with the address sanitizer; the second build runs without faketime"
else
  faketime=("$(command -v faketime)" -f "+1000d")
fi

# A throw-away CA and a code-signing certificate it issued.
bash "$(dirname "$0")/testcert.sh" "$work"
cd "$work"
epoch=$(date +%s)  # inside the certificate's validity, and the same for both builds

# Two copies of the sample, in folders of different names.
for copy in one two-other; do
  mkdir -p "$work/$copy"
  cp -r "$src/examples/sample/files" "$src/examples/sample/sample.toml" "$work/$copy/"
done
find "$work/two-other" -exec touch -d "2003-04-05 06:07:08" {} +

build() { # copy out [extra args]: the first build, plainly
  local copy=$1 out=$2; shift 2
  (cd "$work/$copy" && env -i PATH="$work/bin" TZ=UTC LC_ALL=C SOURCE_DATE_EPOCH=$epoch \
    QUARNEL_SIGN_PASSWORD=s3cret-pw /bin/bash -c 'umask 022; exec quarnel-kit build sample.toml -o "$0" "$@"' \
    "$out" "$@")
}
build_shifted() { # copy out [extra args]: another zone, locale, umask and a clock years ahead
  local copy=$1 out=$2; shift 2
  (cd "$work/$copy" && env -i PATH="$work/bin" TZ=Pacific/Kiritimati LC_ALL=de_DE.UTF-8 SOURCE_DATE_EPOCH=$epoch \
    "${faketime[@]}" /bin/bash -c 'umask 077; exec quarnel-kit build sample.toml -o "$0" "$@"' \
    "$out" "$@")
}

for kind in plain signed; do
  extra=()
  [ $kind = signed ] && extra=(--sign-pkcs12 "$work/signer.p12")
  build one "out-$kind" "${extra[@]}" >/dev/null 2>&1 || fail "$kind build in one"
  # The second build reads the password from a file; a password file
  # without a certificate is refused, so it goes with signing only.
  [ $kind = signed ] && extra+=(--sign-password-file ../password.txt)
  build_shifted two-other "out-$kind" "${extra[@]}" >/dev/null 2>&1 || fail "$kind build in two-other"
  for f in quarnel.exe SAMPLE.PKG; do
    cmp -s "$work/one/out-$kind/$f" "$work/two-other/out-$kind/$f" || fail "$kind $f differs between the builds"
  done
  [ "$(ls -A "$work/one/out-$kind" | LC_ALL=C sort | tr '\n' ' ')" = "SAMPLE.PKG quarnel.exe " ] ||
    fail "$kind: other files in the output"
done
cmp -s "$work/one/out-plain/SAMPLE.PKG" "$work/one/out-signed/SAMPLE.PKG" || fail "signing changed the package"
cmp -s "$work/one/out-plain/quarnel.exe" "$work/one/out-signed/quarnel.exe" && fail "the signed installer is not signed"

# An author's first product: init on a folder, then build, with the same PATH.
(cd "$work/one" && env -i PATH="$work/bin" /bin/bash -c \
  'quarnel-kit init files -o started.toml && quarnel-kit build started.toml -o out-init') >/dev/null 2>&1 ||
  fail "init and build of a folder"
"$kit" verify "$work/one/out-init/quarnel.exe" "$work/one/out-init/"*.PKG >/dev/null || fail "the started product does not verify"

signed=$work/one/out-signed/quarnel.exe
stamp=$(python3 -c '
import sys, struct
d = open(sys.argv[1], "rb").read()
print(struct.unpack_from("<I", d, struct.unpack_from("<I", d, 0x3c)[0] + 8)[0])' "$work/one/out-plain/quarnel.exe")
[ "$stamp" = "$epoch" ] || fail "the PE time stamp is $stamp, not SOURCE_DATE_EPOCH $epoch"
osslsigncode verify -CAfile "$work/ca.pem" -in "$signed" >/dev/null 2>&1 || fail "the signature does not verify"
"$kit" verify "$signed" "$work/one/out-signed/SAMPLE.PKG" || fail "the sealed checksums no longer match after signing"

# One byte of the code, one of the manifest's strings: both are covered.
text_at=$(python3 -c '
import sys, struct
d = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", d, 0x3c)[0]; n = struct.unpack_from("<H", d, pe + 6)[0]
t = pe + 24 + struct.unpack_from("<H", d, pe + 20)[0]
print(struct.unpack_from("<I", d, t + 20)[0] + 100)' "$signed")
string_at=$(grep -obUaP 'S\x00A\x00M\x00P\x00L\x00E\x00\.\x00P\x00K\x00G' "$signed" | head -1 | cut -d: -f1)
[ -n "$string_at" ] || fail "the package name is not in the string table"
for at in "$text_at" "$string_at"; do
  cp "$signed" "$work/changed.exe"
  printf '\x5a' | dd of="$work/changed.exe" bs=1 seek="$at" conv=notrunc status=none
  cmp -s "$signed" "$work/changed.exe" && printf '\x5b' | dd of="$work/changed.exe" bs=1 seek="$at" conv=notrunc status=none
  osslsigncode verify -CAfile "$work/ca.pem" -in "$work/changed.exe" >/dev/null 2>&1 &&
    fail "a byte changed at $at still verifies"
done

# Failures name the file and leave nothing behind.
out=$( (cd "$work/one" && env -i PATH="$work/bin" QUARNEL_SIGN_PASSWORD=wrong quarnel-kit build sample.toml \
  -o out-wrong --sign-pkcs12 "$work/signer.p12") 2>&1) && fail "a wrong password built"
[[ $out == *signer.p12* ]] || fail "the wrong password's message does not name the certificate: $out"
out=$( (cd "$work/one" && env -i PATH="$work/bin" quarnel-kit build sample.toml -o out-plain \
  --sign-pkcs12 "$work/none.p12") 2>&1) && fail "a missing certificate built"
[ -e "$work/one/out-wrong" ] && fail "a failed build left its folder"
cmp -s "$work/one/out-plain/quarnel.exe" "$work/two-other/out-plain/quarnel.exe" || fail "a failed build changed an earlier one"
[ -z "$(ls -A "$work/one/out-plain" | grep -v -x -e quarnel.exe -e SAMPLE.PKG)" ] || fail "a failed build left part files"
grep -q -- "-readpass /dev/fd/" "$work/signer-args" || fail "osslsigncode was not given the password through a pipe"
grep -q s3cret "$work/signer-args" && fail "the password is on a command line"

[ $fails -eq 0 ] && echo "build, signing and reproducibility: all checks passed"
exit $((fails > 0))
