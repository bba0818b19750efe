#!/bin/bash
# Builds everything (Release, build/example), installs the library into a
# temporary prefix and builds the example hosts against that installation
# alone, as a host would: the C host through pkg-config, the hosts in examples/
# through find_package(zuva). Then runs each against the simulated terminal on
# a free loopback port, ZUVA_EXAMPLE_ROUNDS times in a row (5 by default).
# Exits 0 when every installed header compiles on its own and each host and
# its terminal succeeded in every run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/example

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUVA_BUILD_EXAMPLES=ON
cmake --build "$build" -j"$(nproc)"
simterminal="$build/tools/simterminal/zuva_simterminal"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
pcdir=$(dirname "$(find "$prefix" -name zuva.pc)")
libdir=$(dirname "$(find "$prefix" -name libzuva.so)")
echo "example: installed into $prefix"

# Every installed header is complete on its own: C headers as C and C++, the
# rest as C++, with nothing on the include path but the package's.
cflags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags zuva)
compiles() { # <compiler> <language> <header>
    # shellcheck disable=SC2086 # pkg-config prints several words
    echo "#include <$3>" | "$1" -x "$2" -fsyntax-only -Wall -Wextra -Werror $cflags - \
        || { echo "example: $3 does not compile alone as $2" >&2; exit 1; }
}
for header in $(cd "$prefix/include" && find zuva -name '*.h' | sort); do
    [[ $header == zuva/*/* ]] || compiles cc c "$header"
    compiles c++ c++ "$header"
done

# shellcheck disable=SC2046 # pkg-config prints several words
cc -std=c99 -Wall -Wextra -Werror -o "$prefix/zuva_example_host" examples/host.c \
    $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs zuva) -pthread
cmake -S examples -B "$prefix/examples" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/examples" -j"$(nproc)" >/dev/null

# Each host runs several times in a row: a fault that shows in some runs only
# must not pass by chance. The first run prints what the host and its terminal
# say; later runs print it only when they fail.
rounds=${ZUVA_EXAMPLE_ROUNDS:-5}

# once <host program> <requests the terminal answers> [terminal options]
once() {
    local port
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("", 0)); print(s.getsockname()[1]); s.close()')
    echo "example: port $port"
    LD_LIBRARY_PATH="$libdir" "$1" "$port" 30 &
    local host=$!
    "$simterminal" --port "$port" --id EXAMPLE01 --timeout 30 --expect "$2" "${@:3}" &
    local terminal=$!
    local status=0
    wait "$host" || status=$?
    wait "$terminal" || status=$?
    return "$status"
}

# run <name> <host program> <requests the terminal answers> [terminal options]
run() {
    local round status log="$prefix/run.log"
    for ((round = 1; round <= rounds; round++)); do
        echo "example: $1, run $round of $rounds"
        status=0
        if ((round == 1)); then
            once "${@:2}" || status=$?
        else
            once "${@:2}" >"$log" 2>&1 || { status=$?; cat "$log"; }
        fi
        if [[ $status != 0 ]]; then
            echo "example: $1 FAILED in run $round of $rounds ($status)" >&2
            exit "$status"
        fi
    done
}

run "C host" "$prefix/zuva_example_host" 2
# isAlive and the service information, the sale and its ticket, then the
# message (2 requests) and the PIN flow (5), whose first PIN the terminal refuses.
run "C++ host" "$prefix/examples/zuva_example_client_host" 11 --refuse-first-pin
echo "example: success"
