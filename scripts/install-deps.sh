#!/bin/bash
# Installs the build and test dependencies on Debian 12 (run as root). Safe to re-run.
# Usage: scripts/install-deps.sh [--armhf]
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# A fresh machine may be installing its own updates at boot: wait for the
# package manager's lock instead of failing at once.
LOCK_WAIT=600
# A mirror in the middle of a sync can serve a list that does not match its
# index for hours: a few tries, then go on with the lists that did come.
UPDATE_TRIES=3
RETRY_DELAY=10

native=(make cmake g++ clang llvm libclang-rt-14-dev pkg-config
        qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libjsoncpp-dev libboost-dev
        libgtest-dev googletest libgmock-dev libbenchmark-dev python3 binutils locales)
armhf=(g++-arm-linux-gnueabihf qemu-user
       qtbase5-dev:armhf libqt5serialport5-dev:armhf libjsoncpp-dev:armhf
       libboost-dev:armhf libgtest-dev:armhf libgmock-dev:armhf)

# Pins written when a list is missing; an empty file changes nothing.
preferences=$(mktemp)
trap 'rm -f "$preferences"' EXIT
APT=(apt-get -o DPkg::Lock::Timeout=$LOCK_WAIT -o Dir::Etc::Preferences="$preferences"
     install -y --no-install-recommends --no-remove --allow-downgrades)

# Runs a step that cannot wait for the lock itself again until it succeeds or
# LOCK_WAIT has passed.
retrying() {
    local deadline=$((SECONDS + LOCK_WAIT))
    until "$@"; do
        if ((SECONDS >= deadline)); then
            return 1
        fi
        echo "retrying in $RETRY_DELAY s: $*" >&2
        sleep "$RETRY_DELAY"
    done
}

# apt-get update takes the lists lock without waiting: a held lock is waited
# for as long as any other; a list that fails to download is tried
# UPDATE_TRIES times. Prints the suites whose lists are still missing.
update_index() {
    local deadline=$((SECONDS + LOCK_WAIT)) tries=0 output
    while true; do
        if output=$(apt-get update -qq 2>&1) && ! grep -q 'Failed to fetch' <<<"$output"; then
            return 0
        fi
        echo "$output" >&2
        if grep -qE 'Could not get lock|Unable to lock' <<<"$output"; then
            ((SECONDS < deadline)) || { echo "package lists locked for $LOCK_WAIT s" >&2; return 1; }
        elif ((++tries >= UPDATE_TRIES)); then
            break
        fi
        echo "retrying in $RETRY_DELAY s: apt-get update" >&2
        sleep "$RETRY_DELAY"
    done
    echo "apt-get update failed $UPDATE_TRIES times; going on with the lists at hand. Not fetched:" >&2
    sed -n 's/.*Failed to fetch \([^ ]*\).*/  \1/p' <<<"$output" >&2
    sed -n 's#.*Failed to fetch [^ ]*/dists/\([^/]*\)/.*#\1#p' <<<"$output" | sort -u
}

# "<priority> <codename> <suite>" for each release of the package index.
known_releases() {
    apt-cache policy | awk '
        /^ +-?[0-9]+ / { priority = $1 }
        /release / {
            codename = suite = ""
            if (match($0, /n=[^,]*/)) codename = substr($0, RSTART + 2, RLENGTH - 2)
            if (match($0, /a=[^,]*/)) suite = substr($0, RSTART + 2, RLENGTH - 2)
            if (codename != "") print priority, codename, suite
        }' | sort -u
}

# A suite with a missing list would give one architecture newer versions than
# the other, and multiarch packages must match: every architecture installs
# from the complete suites only, even where that means an older version.
# Suites a source names by codename or by suite name alike; those the index
# ranks below the default (backports) keep their rank.
pin_to_complete_suites() {
    local missing=$1 priority codename suite pins="" complete=""
    while read -r priority codename suite; do
        if grep -qxF -e "$codename" -e "${suite:-$codename}" <<<"$missing"; then
            pins+=$(printf 'Package: *\nPin: release n=%s\nPin-Priority: 90\n\n' "$codename")$'\n\n'
        elif ((priority >= 500)); then
            pins+=$(printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n\n' "$codename")$'\n\n'
            complete+="  $codename"$'\n'
        fi
    done < <(known_releases)
    if [[ -z $complete ]]; then
        echo "no suite is complete: installing from the lists at hand" >&2
        return 0
    fi
    printf '%s' "$pins" >"$preferences"
    printf 'installing from the complete suites only (older versions if need be):\n%s' "$complete" >&2
}

# Installs the packages; on failure names each one that cannot be installed.
install_packages() {
    "${APT[@]}" "$@" && return 0
    local package failed=()
    for package in "$@"; do
        "${APT[@]}" --simulate "$package" >/dev/null 2>&1 || failed+=("$package")
    done
    if ((${#failed[@]} > 0)); then
        echo "cannot install: ${failed[*]}" >&2
    else
        echo "apt-get install failed (see above) for: $*" >&2
    fi
    return 1
}

# A foreign package is only usable at its native twin's version.
check_foreign_versions() {
    local package name foreign native mismatched=() arch
    arch=$(dpkg --print-architecture)
    for package in "$@"; do
        [[ $package == *:armhf ]] || continue
        name=${package%:armhf}
        foreign=$(dpkg-query -W -f='${Version}' "$name:armhf" 2>/dev/null || true)
        native=$(dpkg-query -W -f='${Version}' "$name:$arch" 2>/dev/null || true)
        if [[ -n $native && $foreign != "$native" ]]; then
            mismatched+=("$package ($foreign, native $native)")
        fi
    done
    ((${#mismatched[@]} == 0)) && return 0
    printf 'armhf version does not match the native one: %s\n' "${mismatched[@]}" >&2
    return 1
}

want_armhf=0
[[ "${1:-}" == "--armhf" ]] && want_armhf=1

if [[ $want_armhf == 1 ]] && ! dpkg --print-foreign-architectures | grep -qx armhf; then
    retrying dpkg --add-architecture armhf
fi
missing_suites=$(update_index)
if [[ -n $missing_suites ]]; then
    pin_to_complete_suites "$missing_suites"
fi
install_packages "${native[@]}"
if [[ $want_armhf == 1 ]]; then
    install_packages "${armhf[@]}"
    check_foreign_versions "${armhf[@]}"
fi
# A host locale with a decimal comma, for the tests of amounts under one.
if ! locale -a | grep -qx 'de_DE.utf8'; then
    localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
