#!/usr/bin/env bash
# Signs a Windows executable in place: Authenticode, SHA-256, and no
# timestamp server, so that it works offline. Sign after a manifest is
# embedded: embedding rewrites the file and drops its signature.
#   scripts/sign.sh CERT KEY EXE   (CERT and KEY in PEM or DER)
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 CERT KEY EXE" >&2
    exit 2
fi
cert=$1 key=$2 exe=$3
for file in "$cert" "$key" "$exe"; do
    [ -f "$file" ] || { echo "$file: no such file" >&2; exit 1; }
done

signed=$(mktemp "$exe.XXXXXX")
trap 'rm -f "$signed"' EXIT
# osslsigncode refuses to write over an existing output file.
rm -f "$signed"
osslsigncode sign -certs "$cert" -key "$key" -h sha256 -in "$exe" -out "$signed" >/dev/null
chmod --reference="$exe" "$signed"
mv -f "$signed" "$exe"
echo "==> Signed $exe (SHA-256 Authenticode, no timestamp)"
