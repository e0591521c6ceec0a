#!/usr/bin/env bash
# encrypt-ble.sh PLAIN OUT PASSPHRASE [IV]
# Encrypts the BLE name list the way the program reads it: AES-256-CBC with PKCS#7 padding, the
# key derived from the pass phrase (SHA-256, no salt, one round), and the 16-byte IV in front of
# the cipher text. Without IV a fixed one is used so that the build is reproducible.
# $OPENSSL names the openssl tool (default: the one on PATH).
set -euo pipefail

if [ $# -lt 3 ] || [ $# -gt 4 ]; then
    echo "usage: $0 PLAIN OUT PASSPHRASE [IV]" >&2
    exit 2
fi
plain=$1
out=$2
phrase=$3
openssl=${OPENSSL:-openssl}
iv=${4:-5a6f724d6f757365424c454c69737431}
if ! [[ $iv =~ ^[0-9a-fA-F]{32}$ ]]; then
    echo "$0: the IV must be 32 hexadecimal digits" >&2
    exit 2
fi

key=$("$openssl" enc -aes-256-cbc -md sha256 -nosalt -pass "pass:$phrase" -P 2>/dev/null | sed -n 's/^key=//p')
if [ ${#key} -ne 64 ]; then
    echo "$0: could not derive the key" >&2
    exit 1
fi

tmp="$out.part"
trap 'rm -f "$tmp"' EXIT
printf '%b' "$(sed 's/../\\x&/g' <<<"$iv")" >"$tmp"
"$openssl" enc -aes-256-cbc -K "$key" -iv "$iv" -in "$plain" >>"$tmp"
mv -f "$tmp" "$out"
trap - EXIT
