#!/bin/bash
# A throw-away code-signing certificate for the signing tests, made with
# openssl in DIR: ca.pem (the CA that issued it), signer.p12 (certificate
# and key, password in password.txt).  Valid for 30 days from now.
#   testcert.sh DIR
set -eu
dir=$1
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 -subj "/CN=Quarnel Test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Quarnel Test Signer" 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n' > signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days 30 \
  -extfile signer.ext 2>/dev/null
printf 's3cret-pw\n' > password.txt
openssl pkcs12 -export -in signer.pem -inkey signer.key -out signer.p12 -passout file:password.txt 2>/dev/null
