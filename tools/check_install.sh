#!/usr/bin/env bash
# Installs a build tree into a scratch DESTDIR and checks that the installed test server finds its
# market and the resources under the prefix, away from the source and build trees.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
DESTDIR="$scratch" cmake --install "$build" --prefix /usr/local >/dev/null
root="$scratch/usr/local"
for f in bin/trade-testserver share/tradeclient/LoginPropertyList.plist \
         share/tradeclient/en.lproj/Localizable.txt share/tradeclient/markets/default.market; do
    [ -e "$root/$f" ] || { echo "not installed: $f"; exit 1; }
done
# The installed server must start from its own share folder: run it from elsewhere, without the
# environment that points at a market, until it says it listens.
cd "$scratch"
env -u TC_TESTSERVER_MARKET -u TC_RESOURCES "$root/bin/trade-testserver" \
    --port 0 --feed-port 0 --data-port 0 >"$scratch/out" 2>&1 &
server=$!
for _ in $(seq 100); do
    grep -q '^listening' "$scratch/out" && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
if ! grep -q '^listening' "$scratch/out"; then
    echo "the installed test server did not start:"
    cat "$scratch/out"
    exit 1
fi
echo "installed: $(grep -m1 '^listening' "$scratch/out")"
