#!/usr/bin/env bash
# Installs what the builds and the tests need from Debian's archive, and lets 32-bit Windows
# programs run (32-bit Wine through qemu's user-mode emulation). Quick when all is in place.
set -euo pipefail

packages=(
    cmake make g++ googletest clang libclang-rt-14-dev clang-format
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine64 xvfb qemu-user imagemagick
    osslsigncode openssl
)
i386_packages=(wine32:i386)

if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then
        exec sudo -E "$0" "$@"
    fi
    echo "deps: run as root to install packages" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive

# Prints the packages among the arguments that are not installed.
missing_of() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            echo "$package"
    done
}

updated=0
update_once() {
    if [ "$updated" -eq 0 ]; then
        apt-get update -qq
        updated=1
    fi
}

missing=$(missing_of "${packages[@]}")
if [ -n "$missing" ]; then
    update_once
    apt-get install -y -q $missing  # one package name a word
fi

# 32-bit Linux programs (32-bit Wine's loader) do not execute natively on these machines: let
# qemu run them, before 32-bit packages whose install scripts run such programs. The
# registration does not survive a reboot, so it is checked on every run.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386:" >"$binfmt/register"
fi

# Debian's i386 index of security updates can lag behind the amd64 one; apt then refuses
# because a library's i386 and amd64 twins would differ in version. Prefer the main suite for
# this install, and where an amd64 library is already newer than its i386 twin can be, put both
# at the version the i386 index has.
install_i386() {
    local pin output lagging name version attempt
    local -a extra=()
    pin=$(mktemp)
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin"
    for attempt in 1 2 3 4 5 6 7 8; do
        if output=$(apt-get install -y -q -o Dir::Etc::Preferences="$pin" --allow-downgrades \
            "${i386_packages[@]}" "${extra[@]}" 2>&1); then
            rm -f "$pin"
            return 0
        fi
        lagging=$(grep -oE ':i386 : Depends: [^ :]+:i386' <<<"$output" |
            sed -E 's/.*Depends: ([^ :]+):i386/\1/' | sort -u)
        if [ -z "$lagging" ]; then
            break
        fi
        for name in $lagging; do
            version=$(apt-cache -o Dir::Etc::Preferences="$pin" policy "$name:i386" |
                awk '/Candidate:/ { print $2 }')
            extra+=("$name=$version" "$name:i386=$version")
        done
        echo "deps: holding ${lagging//$'\n'/ } at the i386 index's version (try $attempt)"
    done
    rm -f "$pin"
    echo "$output" >&2
    return 1
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    updated=0
fi
if [ -n "$(missing_of "${i386_packages[@]}")" ]; then
    update_once
    install_i386
fi
