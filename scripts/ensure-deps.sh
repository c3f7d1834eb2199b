#!/usr/bin/env bash
# Installs what building and testing the loader needs on a fresh Debian 12 or
# 13 machine, and says what it does. Quick when everything is already there.
#
#   scripts/ensure-deps.sh              install what is missing
#   scripts/ensure-deps.sh --missing    only list the packages it would install
#   scripts/ensure-deps.sh --mirror     only print the Debian URI it would add backports from
set -euo pipefail

say() { printf '==> %s\n' "$*"; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
# A mirror in the middle of a sync serves index files that fail their hashes,
# and a caching proxy may go on serving the stale one: apt-get update then
# ends with an error. It is tried again; if one index still will not load,
# the packages come from the release's own suite alone (set apart from its
# security suite, whose amd64 and i386 indexes could then disagree on the
# versions that multiarch needs equal).
apt_install() {
    local try codename
    for try in 1 2 3; do
        as_root apt-get -o DPkg::Lock::Timeout=600 update -qq && break
        if [ $try -eq 3 ]; then
            codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
            say "An index did not load: installing from $codename alone"
            set -- -o APT::Default-Release="$codename" "$@"
        else
            say "apt-get update failed (try $try of 3); again in 20 s"; sleep 20
        fi
    done
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
        "$@" >/dev/null
}

# Every outside program that the build, demo, tests and benchmark run, and
# the Debian package it comes from; "-" for a package that brings files, not
# a program. The CTest test `deps` fails on a program that is missing here.
# Unversioned names serve both releases (clang is 14 on Debian 12, 19 on 13).
# A third column "emulator" marks what only kernels without 32-bit support get.
PROGRAMS=$(cat <<'TABLE'
make                        make
git                         git
cmake                       cmake
ctest                       cmake
g++                         g++
clang                       clang
clang++                     clang
-                           libclang-rt-dev
clang-format                clang-format
clang-tidy                  clang-tidy
i686-w64-mingw32-g++-posix  g++-mingw-w64-i686-posix
i686-w64-mingw32-gcc-posix  gcc-mingw-w64-i686-posix
i686-w64-mingw32-windres    binutils-mingw-w64-i686
i686-w64-mingw32-objdump    binutils-mingw-w64-i686
i686-w64-mingw32-nm         binutils-mingw-w64-i686
-                           libgtest-dev
-                           googletest
python3                     python3
-                           python3-yaml
ansible-playbook            ansible
ansible-doc                 ansible
wine                        wine
wineserver                  wine
-                           wine32:i386
Xvfb                        xvfb
openbox                     openbox
xdotool                     xdotool
xprop                       x11-utils
import                      imagemagick
identify                    imagemagick
wrestool                    icoutils
makensis                    nsis
wixl                        wixl
osslsigncode                osslsigncode
openssl                     openssl
locale                      libc-bin
locale-gen                  locales
qemu-i386-static            qemu-user-static  emulator
TABLE
)

# The packages of the table that dpkg does not have installed. Decided by
# package, never by command: a program of the same name from elsewhere on the
# PATH (a `convert` that is not ImageMagick's, say) must not hide a missing one.
missing_packages() {
    local native wanted installed
    native=$(dpkg --print-architecture)
    wanted=$(awk '$3 == "" {print $2}' <<<"$PROGRAMS" | sort -u)
    # shellcheck disable=SC2086  # one package name a word
    installed=$(dpkg-query -W -f='${binary:Package} ${db:Status-Status}\n' $wanted 2>/dev/null |
        awk -v suffix=":$native" '$2 == "installed" {sub(suffix "$", "", $1); print $1}' | sort -u || true)
    comm -23 <(printf '%s\n' "$wanted") <(printf '%s\n' "$installed")
}

# The URI of this machine's own Debian 12 (bookworm) source, from its deb822
# *.sources files or sources.list; the backports suite comes from the same place.
APT_DIR=${APT_DIR:-/etc/apt}
debian_mirror() {
    local f uri
    for f in "$APT_DIR"/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        uri=$(awk 'BEGIN {RS = ""; FS = "\n"}
             {types = uris = suites = ""
              for (i = 1; i <= NF; i++) {
                  if ($i ~ /^Types:/) types = $i
                  if ($i ~ /^URIs:/) { split($i, u, /[ \t]+/); uris = u[2] }
                  if ($i ~ /^Suites:/) suites = $i " "
              }
              if (types ~ /[ \t]deb([ \t]|$)/ && suites ~ /[ \t]bookworm[ \t]/ && uris != "") {print uris; exit}}' "$f")
        [ -z "$uri" ] || { echo "$uri"; return; }
    done
    # Reads to the end: a reader that stops early would fail the pipe.
    uri=$({ cat "$APT_DIR"/sources.list "$APT_DIR"/sources.list.d/*.list 2>/dev/null || true; } |
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' | awk '$1 == "deb" && $3 == "bookworm" && !uri {uri = $2} END {print uri}')
    [ -n "$uri" ] && echo "$uri"
}

case ${1:-} in
    --missing) missing_packages; exit 0 ;;
    --mirror) debian_mirror; exit ;;
    "") ;;
    *) echo "usage: $0 [--missing|--mirror]" >&2; exit 2 ;;
esac

mapfile -t need_packages < <(missing_packages)
if [ ${#need_packages[@]} -gt 0 ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        say "Adding the i386 architecture (Wine runs the 32-bit loader with it)"
        as_root dpkg --add-architecture i386
    fi
    say "Installing: ${need_packages[*]}"
    apt_install "${need_packages[@]}"
fi

# Wine takes its ANSI code page from the locale (ja_JP gives 932), but names
# files right only in a locale that exists on this side: the tests of
# Japanese names need ja_JP.UTF-8 generated.
if ! locale -a 2>/dev/null | grep -ix 'ja_JP\.utf-\?8' >/dev/null; then
    say "Generating the locale ja_JP.UTF-8"
    as_root sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)$/\1/' /etc/locale.gen 2>/dev/null || true
    grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen --keep-existing >/dev/null
fi

# Some kernels run no 32-bit Linux programs, and 32-bit Wine is one. There a
# user-mode emulator runs them; it must be new enough to honour the address
# reservations Wine makes: Debian 13's own is, Debian 12 needs the one from
# bookworm-backports.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    if ! qemu-i386-static --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; then
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
        suite=()
        if [ "$codename" = bookworm ]; then
            say "This kernel runs no 32-bit programs: installing qemu-user-static from bookworm-backports"
            if ! grep -rqs bookworm-backports "$APT_DIR"/sources.list "$APT_DIR"/sources.list.d/; then
                mirror=$(debian_mirror) || { echo "no Debian 12 source in $APT_DIR to add bookworm-backports from" >&2; exit 1; }
                keyring=/usr/share/keyrings/debian-archive-keyring.gpg
                { printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\n' "$mirror"
                  [ ! -f $keyring ] || echo "Signed-By: $keyring"; } |
                    as_root tee "$APT_DIR"/sources.list.d/bookworm-backports.sources >/dev/null
            fi
            suite=(-t bookworm-backports)
        else
            say "This kernel runs no 32-bit programs: installing qemu-user-static"
        fi
        apt_install "${suite[@]}" qemu-user-static
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
