#!/bin/bash
# Builds everything (Release, build/example) and runs the example host against
# the simulated terminal on a free loopback port. Exits 0 when the terminal
# was reported, answered the information request and the host stopped cleanly.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/example

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUVA_BUILD_EXAMPLES=ON
cmake --build "$build" -j"$(nproc)"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("", 0)); print(s.getsockname()[1]); s.close()')
echo "example: port $port"

"$build/examples/zuva_example_host" "$port" 30 &
host=$!
"$build/tools/simterminal/zuva_simterminal" --port "$port" --id EXAMPLE01 --timeout 30 --expect 2 &
terminal=$!

status=0
wait "$host" || status=$?
wait "$terminal" || status=$?
if [[ $status == 0 ]]; then
    echo "example: success"
else
    echo "example: FAILED ($status)" >&2
fi
exit "$status"
