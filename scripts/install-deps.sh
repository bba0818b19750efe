#!/bin/bash
# Installs the build and test dependencies on Debian 12 (run as root). Safe to re-run.
# Usage: scripts/install-deps.sh [--armhf]
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# A fresh machine may be installing its own updates at boot: wait for the
# package manager's lock instead of failing at once.
LOCK_WAIT=600
APT="apt-get -o DPkg::Lock::Timeout=$LOCK_WAIT install -y --no-install-recommends"

# Runs a step that cannot wait for the lock itself (apt-get update takes the
# lists lock without waiting) again until it succeeds or LOCK_WAIT has passed.
retrying() {
    local deadline=$((SECONDS + LOCK_WAIT))
    until "$@"; do
        if ((SECONDS >= deadline)); then
            return 1
        fi
        echo "retrying in 10 s: $*" >&2
        sleep 10
    done
}

native=(make cmake g++ clang llvm libclang-rt-14-dev pkg-config
        qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libjsoncpp-dev libboost-dev
        libgtest-dev googletest libgmock-dev libbenchmark-dev python3 binutils locales)
armhf=(g++-arm-linux-gnueabihf qemu-user
       qtbase5-dev:armhf libqt5serialport5-dev:armhf libjsoncpp-dev:armhf
       libboost-dev:armhf libgtest-dev:armhf libgmock-dev:armhf)

want_armhf=0
[[ "${1:-}" == "--armhf" ]] && want_armhf=1

if [[ $want_armhf == 1 ]] && ! dpkg --print-foreign-architectures | grep -qx armhf; then
    retrying dpkg --add-architecture armhf
fi
retrying apt-get update -qq
$APT "${native[@]}"
if [[ $want_armhf == 1 ]]; then
    $APT "${armhf[@]}"
fi
# A host locale with a decimal comma, for the tests of amounts under one.
if ! locale -a | grep -qx 'de_DE.utf8'; then
    localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
