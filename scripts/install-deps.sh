#!/bin/bash
# Installs the build and test dependencies on Debian 12 (run as root). Safe to re-run.
# Usage: scripts/install-deps.sh [--armhf]
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
APT="apt-get install -y --no-install-recommends"

native=(make cmake g++ clang llvm libclang-rt-14-dev pkg-config
        qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libjsoncpp-dev libboost-dev
        libgtest-dev googletest libgmock-dev libbenchmark-dev python3 binutils locales)
armhf=(g++-arm-linux-gnueabihf qemu-user
       qtbase5-dev:armhf libqt5serialport5-dev:armhf libjsoncpp-dev:armhf
       libboost-dev:armhf libgtest-dev:armhf libgmock-dev:armhf)

want_armhf=0
[[ "${1:-}" == "--armhf" ]] && want_armhf=1

if [[ $want_armhf == 1 ]] && ! dpkg --print-foreign-architectures | grep -qx armhf; then
    dpkg --add-architecture armhf
fi
apt-get update -qq
$APT "${native[@]}"
if [[ $want_armhf == 1 ]]; then
    $APT "${armhf[@]}"
fi
# A host locale with a decimal comma, for the tests of amounts under one.
if ! locale -a | grep -qx 'de_DE.utf8'; then
    localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
