#!/usr/bin/env bash
# Makes the signed installers of the end-to-end scenarios signed_*, on the build machine where
# the signing tool runs, with a throwaway self-signed certificate:
#
#   signed-installers.sh HOST.exe FOLDER
#
# FOLDER gets, for each scenario, its installer NAME.exe and the payload NAME.scr that the
# installer carries as entry 0: signed_unaligned.exe (the package ends off an 8-byte boundary, so signing pads
# it), signed_aligned.exe (no padding), signed_nested.exe (a second signature nested in the
# first), signed_index_lies.exe (a valid signature over a package whose index offset is
# wrong). Each installer must pass the signing tool's own verification.
set -euo pipefail

host=$(realpath "$1")
out=$2
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# The package format's integers are 32-bit little-endian.
u32() {
    printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"
    printf "\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"
}

# Repeatable bytes that look random: AES in counter mode over zero bytes.
pseudo_random() {
    head -c "$1" /dev/zero |
        openssl enc -aes-128-ctr -K "$2" -iv 00000000000000000000000000000000 -nosalt
}

host_size=$(stat -c %s "$host")
pseudo_random 1000 0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a >notes.txt
# The host, the payload, a second entry, the index (two records with their names) and the
# trailer: the payload's size is picked so that the package ends `remainder` bytes past an
# 8-byte boundary.
package_tail=$((1000 + 4 + (4 + 12 + 8) + (4 + 10 + 8) + 12))
payload_size() {
    local size=$((300 * 1024 + 4321))
    while [ $(((host_size + size + package_tail) % 8)) -ne "$1" ]; do
        size=$((size + 1))
    done
    echo $size
}

# installer NAME PAYLOAD [INDEX_OFFSET_CHANGE]
installer() {
    local payload_bytes index
    payload_bytes=$(stat -c %s "$2")
    index=$((host_size + payload_bytes + 1000))
    {
        cat "$host" "$2" notes.txt
        u32 2
        u32 12
        printf 'payload.scr\0'
        u32 "$host_size"
        u32 "$payload_bytes"
        u32 10
        printf 'notes.txt\0'
        u32 $((host_size + payload_bytes))
        u32 1000
        u32 $((index + ${3:-0}))
        printf '\x27\x3d\x26\x29\x31\x25\x3c\x36'
    } >"$1"
}

openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=Test -keyout key.pem \
    -out cert.pem 2>/dev/null
sign() {
    osslsigncode sign -certs cert.pem -key key.pem "$@" >/dev/null
}

pseudo_random "$(payload_size 3)" 5c12ee5c12ee5c12ee5c12ee5c12ee5c >signed_unaligned.scr
pseudo_random "$(payload_size 0)" 5c12ee5c12ee5c12ee5c12ee5c12ee5c >signed_aligned.scr
cp signed_unaligned.scr signed_nested.scr
cp signed_unaligned.scr signed_index_lies.scr

installer unsigned-unaligned.exe signed_unaligned.scr
installer unsigned-aligned.exe signed_aligned.scr
installer unsigned-lying.exe signed_index_lies.scr 4096
sign -in unsigned-unaligned.exe -out signed_unaligned.exe
sign -in unsigned-aligned.exe -out signed_aligned.exe
sign -nest -in signed_unaligned.exe -out signed_nested.exe
sign -in unsigned-lying.exe -out signed_index_lies.exe

for signed in signed_unaligned signed_aligned signed_nested signed_index_lies; do
    if ! osslsigncode verify -CAfile cert.pem "$signed.exe" >"$signed.verify" 2>&1; then
        echo "the signature of $signed.exe does not verify:" >&2
        cat "$signed.verify" >&2
        exit 1
    fi
done
echo "padding: unaligned $(($(stat -c %s unsigned-unaligned.exe) % 8)), aligned" \
    "$(($(stat -c %s unsigned-aligned.exe) % 8)) bytes past an 8-byte boundary"
ls -l signed_*.exe
