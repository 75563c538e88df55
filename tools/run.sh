#!/usr/bin/env bash
# `make run`: the loopback test server on its default ports in the background, then the client in
# simulation mode; the server stops when the client ends (or on Ctrl-C).
set -euo pipefail
cd "$(dirname "$0")/.."

log=build/trade-testserver.log
build/trade-testserver > "$log" 2>&1 &
server=$!
stop() {
    kill "$server" 2> /dev/null || true
    wait "$server" 2> /dev/null || true
}
trap stop EXIT
trap 'exit 130' INT TERM

# Ready once it prints its listening line; a server that ends first (a port in use) is reported.
for _ in $(seq 100); do
    if grep -q '^listening ' "$log"; then
        break
    fi
    if ! kill -0 "$server" 2> /dev/null; then
        echo "run: the test server did not start (see $log):" >&2
        tail -n 5 "$log" >&2
        exit 1
    fi
    sleep 0.1
done
echo "run: test server $(grep -m1 '^listening ' "$log"); its log is $log"
echo "run: sign in with user demo, password demo1234"
build/tradeclient --simulation
