#!/bin/bash
# Checks scripts/install-deps.sh against a package manager that fails in the
# ways a real mirror does, with fake apt-get, apt-cache and dpkg first on the
# PATH. Needs no root and changes nothing on the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
script=$PWD/scripts/install-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fakes=$work/bin
mkdir -p "$fakes"

# apt-get: "update" reports a held lock FAKE_LOCKED_UPDATES times first, then
# fails for the lists named in FAKE_BROKEN_LISTS; "install" fails, also
# simulated, when asked for a package named in FAKE_UNINSTALLABLE. Each call
# is logged, an install with the pins it was given.
cat >"$fakes/apt-get" <<'EOF'
#!/bin/bash
echo "apt-get $*" >>"$FAKE_LOG"
case " $* " in
*" update "*)
    echo "update try $(grep -c '^apt-get.* update' "$FAKE_LOG")" >>"$FAKE_LOG"
    locked=$(grep -c '^locked$' "$FAKE_LOG" || true)
    if ((locked < FAKE_LOCKED_UPDATES)); then
        echo locked >>"$FAKE_LOG"
        echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 7 (apt-get)"
        exit 100
    fi
    for list in $FAKE_BROKEN_LISTS; do
        echo "E: Failed to fetch http://deb.example/debian-security/dists/$list/Packages.xz  File has unexpected size (359552 != 360800). Mirror sync in progress? [IP: 192.0.2.1 80]"
    done
    [[ -z $FAKE_BROKEN_LISTS ]] || { echo "E: Some index files failed to download."; exit 100; } ;;
*" install "*)
    for package in $FAKE_UNINSTALLABLE; do
        [[ " $* " == *" $package "* ]] && { echo "E: Unable to locate package $package"; exit 100; }
    done
    grep -q -- --simulate <<<"$*" && exit 0
    preferences=$(sed -n 's/.*Dir::Etc::Preferences=\([^ ]*\).*/\1/p' <<<"$*")
    echo "installed $* pins: $(tr '\n' ' ' <"$preferences")" >>"$FAKE_LOG" ;;
esac
exit 0
EOF
# apt-cache policy: Debian's three suites for both architectures, and
# backports ranked below them.
cat >"$fakes/apt-cache" <<'EOF'
#!/bin/bash
release() {
    echo " $1 http://deb.example/debian $2/main $4 Packages"
    echo "     release v=12,o=Debian,a=$3,n=$2,l=Debian,c=main,b=$4"
}
for arch in amd64 armhf; do
    release 500 bookworm oldstable $arch
    release 500 bookworm-updates oldstable-updates $arch
    release 500 bookworm-security oldstable-security $arch
    release 100 bookworm-backports oldstable-backports $arch
done
EOF
# dpkg-query: every package at version 1, a package named in FAKE_STALE_ARMHF
# at version 0 for armhf.
cat >"$fakes/dpkg-query" <<'EOF'
#!/bin/bash
package=${*: -1}
for stale in $FAKE_STALE_ARMHF; do
    [[ $package == "$stale:armhf" ]] && { echo -n 0; exit 0; }
done
echo -n 1
EOF
cat >"$fakes/dpkg" <<'EOF'
#!/bin/bash
echo "dpkg $*" >>"$FAKE_LOG"
case $1 in
--print-foreign-architectures) [[ -n $FAKE_NO_ARMHF ]] || echo armhf ;;
--print-architecture) echo amd64 ;;
esac
EOF
printf '#!/bin/bash\necho de_DE.utf8\n' >"$fakes/locale"
printf '#!/bin/bash\nexit 0\n' >"$fakes/sleep"
chmod +x "$fakes"/*

failures=0
# row <name> <expected exit: 0|fail> <texts> [VAR=value ...]: each of the
# texts (separated by |) the output must hold, or, led by !, must not.
row() {
    local name=$1 expected=$2 texts=$3 status=0 text verdict=ok wanted
    shift 3
    : >"$work/log"
    env PATH="$fakes:$PATH" FAKE_LOG="$work/log" FAKE_BROKEN_LISTS= FAKE_UNINSTALLABLE= \
        FAKE_STALE_ARMHF= FAKE_LOCKED_UPDATES=0 FAKE_NO_ARMHF= "$@" \
        bash "$script" --armhf >"$work/out" 2>&1 || status=$?
    if [[ $expected == 0 && $status != 0 ]] || [[ $expected == fail && $status == 0 ]]; then
        verdict="exit $status"
    fi
    IFS='|' read -ra wanted <<<"$texts"
    for text in "${wanted[@]}"; do
        if [[ $text == !* ]] && grep -qF -- "${text#!}" "$work/out" "$work/log"; then
            verdict="\"${text#!}\""
        elif [[ $text != !* ]] && ! grep -qF -- "$text" "$work/out" "$work/log"; then
            verdict="no \"$text\""
        fi
    done
    if [[ $verdict != ok ]]; then
        failures=$((failures + 1))
        echo "FAIL $name: $verdict"
        sed 's/^/    /' "$work/out" "$work/log"
    else
        echo "ok   $name"
    fi
}

armhf_list=bookworm-security/main/binary-armhf
complete_pins="Package: * Pin: release n=bookworm Pin-Priority: 1001  Package: * Pin: release n=bookworm-security Pin-Priority: 90  Package: * Pin: release n=bookworm-updates Pin-Priority: 1001  "
armhf_install="--no-remove --allow-downgrades g++-arm-linux-gnueabihf qemu-user qtbase5-dev:armhf libqt5serialport5-dev:armhf libjsoncpp-dev:armhf libboost-dev:armhf libgtest-dev:armhf libgmock-dev:armhf pins: "

row "whole index: installs without pins" 0 "$armhf_install|!Pin:"
row "no armhf yet: added" 0 "dpkg --add-architecture armhf" FAKE_NO_ARMHF=1
row "one list missing: named, then installed" 0 \
    "going on with the lists at hand|  http://deb.example/debian-security/dists/$armhf_list/|$armhf_install" \
    FAKE_BROKEN_LISTS=$armhf_list
row "one list missing: its suite left out for every architecture, backports kept below" 0 \
    "$armhf_install$complete_pins|!backports" FAKE_BROKEN_LISTS=$armhf_list
row "one list missing under its suite's name: the same pins" 0 "$armhf_install$complete_pins" \
    FAKE_BROKEN_LISTS=oldstable-security/main/binary-armhf
row "one list missing: tried three times, no more" 0 "update try 3|!update try 4" FAKE_BROKEN_LISTS=$armhf_list
row "every list missing: installs from the lists at hand" 0 "no suite is complete|$armhf_install|!Pin:" \
    "FAKE_BROKEN_LISTS=bookworm/main/binary-amd64 bookworm-updates/main/binary-amd64 bookworm-security/main/binary-amd64"
row "a held lock is waited for, not counted as a try" 0 "update try 6|!going on|$armhf_install" FAKE_LOCKED_UPDATES=5
row "a package that cannot be installed is named" fail "cannot install: libjsoncpp-dev:armhf" \
    FAKE_UNINSTALLABLE=libjsoncpp-dev:armhf FAKE_BROKEN_LISTS=$armhf_list
row "an armhf version unlike the native one is named" fail "libboost-dev:armhf (0, native 1)" \
    FAKE_STALE_ARMHF=libboost-dev
((failures == 0)) || { echo "$failures row(s) failed"; exit 1; }
