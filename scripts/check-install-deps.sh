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

# apt-get: "update" fails for the lists named in FAKE_BROKEN_LISTS and reports
# a held lock FAKE_LOCKED_UPDATES times first; "install" fails, also simulated,
# when it is asked for a package named in FAKE_UNINSTALLABLE. Each call is logged.
cat >"$fakes/apt-get" <<'EOF'
#!/bin/bash
echo "apt-get $*" >>"$FAKE_LOG"
case " $* " in
*" update "*)
    echo "update try $(($(grep -c '^apt-get.* update' "$FAKE_LOG")))" >>"$FAKE_LOG"
    locked=$(grep -c '^locked$' "$FAKE_LOG" || true)
    if ((locked < ${FAKE_LOCKED_UPDATES:-0})); then
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
    echo "installed $*" >>"$FAKE_LOG"
    preferences=$(sed -n 's/.*Dir::Etc::Preferences=\([^ ]*\).*/\1/p' <<<"$*")
    echo "pins: $(tr '\n' ' ' <"$preferences")" >>"$FAKE_LOG" ;;
esac
exit 0
EOF
cat >"$fakes/apt-cache" <<'EOF'
#!/bin/bash
for suite in bookworm bookworm-updates bookworm-security; do
    for arch in amd64 armhf; do
        echo "     release v=12,o=Debian,a=x,n=$suite,l=Debian,c=main,b=$arch"
    done
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
case $1 in
--print-foreign-architectures) echo armhf ;;
--print-architecture) echo amd64 ;;
esac
EOF
printf '#!/bin/bash\necho de_DE.utf8\n' >"$fakes/locale"
printf '#!/bin/bash\nexit 0\n' >"$fakes/sleep"
chmod +x "$fakes"/*

failures=0
# row <name> <expected exit: 0|fail> <text the output must hold, or !text it must not> [VAR=value ...]
row() {
    local name=$1 expected=$2 wanted=$3 status=0
    shift 3
    : >"$work/log"
    env PATH="$fakes:$PATH" FAKE_LOG="$work/log" FAKE_BROKEN_LISTS= FAKE_UNINSTALLABLE= \
        FAKE_STALE_ARMHF= FAKE_LOCKED_UPDATES=0 "$@" \
        bash "$script" --armhf >"$work/out" 2>&1 || status=$?
    local verdict=ok
    if [[ $expected == 0 && $status != 0 ]] || [[ $expected == fail && $status == 0 ]]; then
        verdict="exit $status"
    elif [[ $wanted == !* ]] && grep -qF -- "${wanted#!}" "$work/out" "$work/log"; then
        verdict="\"${wanted#!}\""
    elif [[ $wanted != !* ]] && ! grep -qF -- "$wanted" "$work/out" "$work/log"; then
        verdict="no \"$wanted\""
    fi
    if [[ $verdict != ok ]]; then
        failures=$((failures + 1))
        echo "FAIL $name: $verdict"
        sed 's/^/    /' "$work/out" "$work/log"
    else
        echo "ok   $name"
    fi
}

row "whole index installs" 0 "installed" 
row "one list missing: named, then installed" 0 "bookworm-security/main/binary-armhf" \
    FAKE_BROKEN_LISTS=bookworm-security/main/binary-armhf
row "one list missing: its suite left out for every architecture" 0 \
    "Pin: release n=bookworm-security Pin-Priority: 90  Package: * Pin: release n=bookworm-updates Pin-Priority: 1001" \
    FAKE_BROKEN_LISTS=bookworm-security/main/binary-armhf
row "one list missing: the install reaches the armhf packages" 0 "libgmock-dev:armhf" \
    FAKE_BROKEN_LISTS=bookworm-security/main/binary-armhf
row "one list missing: tried three times, no more" 0 "!update try 4" \
    FAKE_BROKEN_LISTS=bookworm-security/main/binary-armhf
row "a held lock is waited for" 0 "installed" FAKE_LOCKED_UPDATES=2
row "a package that cannot be installed is named" fail "cannot install: libjsoncpp-dev:armhf" \
    FAKE_UNINSTALLABLE=libjsoncpp-dev:armhf FAKE_BROKEN_LISTS=bookworm-security/main/binary-armhf
row "an armhf version unlike the native one is named" fail "libboost-dev:armhf (0, native 1)" \
    FAKE_STALE_ARMHF=libboost-dev
((failures == 0)) || { echo "$failures row(s) failed"; exit 1; }
