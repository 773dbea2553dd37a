#!/bin/bash
# Builds the sample with the native quarnel-kit into this tree's stub, as the
# installer comparison test needs it: OUT/kitsample unsigned and
# OUT/kitsigned signed with the test certificate in CERT (testcert.sh),
# whose signature must verify against its CA, and OUT/kitstarted from the
# product file init writes for the sample's files.
#   kit_build_sample.sh KIT STUB SAMPLE_DIR OUT CERT
set -eu
kit=$1 stub=$2 sample=$3 out=$4 cert=$5
cd "$sample"
"$kit" build sample.toml -o "$out/kitsample" --stub "$stub"
"$kit" build sample.toml -o "$out/kitsigned" --stub "$stub" --sign-pkcs12 "$cert/signer.p12" \
  --sign-password-file "$cert/password.txt"
osslsigncode verify -CAfile "$cert/ca.pem" -in "$out/kitsigned/quarnel.exe" >/dev/null
# An author's first product: init on the sample's files, then build.
rm -rf "$out/kitstarted-src"
mkdir -p "$out/kitstarted-src"
cp -r files "$out/kitstarted-src/"
cd "$out/kitstarted-src"
"$kit" init files -o started.toml
"$kit" build started.toml -o "$out/kitstarted" --stub "$stub"
