#!/usr/bin/env bash
# Builds the host and its two stand-ins, then captures a signature end to end: padsim plays a
# pad behind a TCP bridge, the host listens for it (transport kind 7) and nmclient plays the
# browser. Prints the OPEN reply, a running count of points, and where the SVG was written.
# Exits 0 when the capture went as the protocol says, non-zero when it did not. Installs what the
# build needs first; BUILD names the build folder (default build), made by any generator.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}

scripts/build-deps.sh
echo "Building the host, padsim and nmclient in $build..."
scripts/configure.sh "$build" >/dev/null
# CMake's own progress: Ninja's one moving line on a terminal, or Makefiles' percentages.
cmake --build "$build" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
    --target Lumarq.OrvaneSignExtension padsim nmclient

root=$(mktemp -d /tmp/inkora-demo.XXXXXX)
padsim_pid=
cleanup() {
    # padsim has usually ended by itself by now.
    if [ -n "$padsim_pid" ]; then kill "$padsim_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
}
trap cleanup EXIT
mkdir -p "$root/windows" "$root/temp"

# A free port for the host to listen on (it listens on SocketPort + 1), below Linux's ephemeral
# range (32768 and up), where no outgoing connection can be given it meanwhile.
port_is_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=$((20000 + RANDOM % 12000))
while ! port_is_free "$port"; do port=$((20000 + RANDOM % 12000)); done

cat >"$root/windows/Inkora.ini" <<INI
[Tablet]
TabletType=7
SocketPort=$((port - 1))
SocketTimeout=5000
TabletPortPath=demo-bridge
EnableLogging=1
INI

"$build/bin/padsim" bridge --port "$port" --identity demo-bridge --time-limit 20 \
    2>"$root/padsim.log" &
padsim_pid=$!

svg="$root/signature.svg"
echo "Capturing the sample signature (about 6 seconds at a real pad's 200 points per second)..."
set +e
INKORA_ROOT="$root" INKORA_TRACE=1 "$build/bin/nmclient" --duration 8 --progress --svg "$svg" \
    --host-stderr "$root/host-trace.log"
status=$?
set -e
echo "nmclient exit code: $status (0: the session went as the protocol says)"
echo "Host trace: $root/host-trace.log, diagnostic log: $root/temp/tessel.log"
echo "Signature written to: $svg"
exit "$status"
