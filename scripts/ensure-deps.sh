#!/usr/bin/env bash
# Installs what building and testing the loader needs on a fresh Debian 12
# machine, and says what it does. Quick when everything is already there.
set -euo pipefail

say() { printf '==> %s\n' "$*"; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

need_packages=()
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++-posix || need_packages+=(g++-mingw-w64-i686)
have cmake || need_packages+=(cmake)
have g++ || need_packages+=(g++)
have clang++-14 || need_packages+=(clang-14)
compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || need_packages+=(libclang-rt-14-dev)
[ -f /usr/include/gtest/gtest.h ] || need_packages+=(libgtest-dev)
[ -d /usr/src/googletest ] || need_packages+=(googletest)
have Xvfb || need_packages+=(xvfb)
have openbox || need_packages+=(openbox)
have xdotool || need_packages+=(xdotool)
have xprop || need_packages+=(x11-utils)
have import || need_packages+=(imagemagick)
have wrestool || need_packages+=(icoutils)
have makensis || need_packages+=(nsis)
have python3 || need_packages+=(python3)
have clang-format || need_packages+=(clang-format)
have clang-tidy || need_packages+=(clang-tidy)
have osslsigncode || need_packages+=(osslsigncode)
have openssl || need_packages+=(openssl)
dpkg -s wine32:i386 >/dev/null 2>&1 || need_packages+=(wine wine32:i386)

if [ ${#need_packages[@]} -gt 0 ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        say "Adding the i386 architecture (Wine runs the 32-bit loader with it)"
        as_root dpkg --add-architecture i386
    fi
    say "Installing: ${need_packages[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${need_packages[@]}" >/dev/null
fi

# Some kernels run no 32-bit Linux programs, and 32-bit Wine is one. There a
# user-mode emulator runs them; it must be new enough to honour the address
# reservations Wine makes (the one in bookworm-backports is).
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    if ! qemu-i386-static --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; then
        say "This kernel runs no 32-bit programs: installing qemu-user-static from bookworm-backports"
        if ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/; then
            as_root tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
        fi
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            -t bookworm-backports qemu-user-static >/dev/null
    fi
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt"
    if [ ! -e "$binfmt/qemu-i386" ]; then
        say "Registering qemu-i386 for 32-bit programs"
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
            as_root tee "$binfmt/register" >/dev/null
    fi
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "32-bit programs still do not run" >&2; exit 1; }
fi
