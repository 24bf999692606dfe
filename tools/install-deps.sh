#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the simulated run need, when missing.
# The 32-bit Windows tests need Wine's 32-bit half (wine32:i386), so the i386 architecture is
# added first when the machine lacks it. chrony is the NTP server the NTP client's tests start
# on the loopback themselves; its service is kept from starting while it installs.
set -euo pipefail
packages=(
    cmake ninja-build clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 wine32:i386 fonts-wine nsis xvfb xauth x11-utils imagemagick gnuplot-nox chrony
    g++ dpkg-dev lintian
)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
updated=0
if [ "$(dpkg --print-architecture)" = amd64 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture (for wine32:i386)"
    $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -qq
    updated=1
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    [ "$updated" -eq 1 ] || $SUDO apt-get update -qq
    # Debian's way of keeping a package's service from starting at installation: a system
    # daemon would discipline this machine's clock. Only when no such policy is there already.
    policy=/usr/sbin/policy-rc.d
    own_policy=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
        $SUDO chmod 755 "$policy"
        own_policy=1
    fi
    status=0
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null || status=$?
    [ "$own_policy" -eq 0 ] || $SUDO rm -f "$policy"
    [ "$status" -eq 0 ] || exit "$status"
fi
