#!/usr/bin/env bash
# Benchmarks of the host over the TCP listening transport, with padsim as the pad and nmclient
# as the browser (not timed tests; figures for the notes):
#   1. the highest of a ladder of rates at which 100,000 points arrive with none lost (the pad
#      starts half a second after the host has asked for its numbers, once the pump runs), and the
#      host's processor time per point;
#   2. the floor: a minimal program writing the same frames one write per frame;
#   3. the host's processor share of one core over 10 s of an open capture with no pen activity;
#   4. the host's peak resident memory during the 100,000-point run.
set -euo pipefail
cd "$(dirname "$0")/../.."
points=${POINTS:-100000}
rates=${RATES:-"10000 50000 100000 200000 400000"}

cmake -S . -B build -G Ninja -DHOST_BUILD_TESTS=ON >/dev/null
cmake --build build --target Lumarq.OrvaneSignExtension padsim nmclient frame_floor >/dev/null
bin=build/bin

root=$(mktemp -d /tmp/inkora-bench.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$root"' EXIT
mkdir -p "$root/windows" "$root/temp"
port=$((20000 + RANDOM % 40000))
cat >"$root/windows/Inkora.ini" <<INI
[Tablet]
TabletType=7
SocketPort=$((port - 1))
SocketTimeout=5000
TabletPortPath=bench
INI

# The messages the burst pattern must become: X = i mod 2150, Y = 4 floor(i / 2150), then the
# lift at the last point's place.
awk -v n="$points" 'BEGIN {
    for (i = 0; i < n; i++) printf "{\"command\":\"POINT\",\"X\":%d,\"Y\":%d,\"P\":1}\n", i % 2150, 4 * int(i / 2150);
    i = n - 1; printf "{\"command\":\"POINT\",\"X\":%d,\"Y\":%d,\"P\":0}\n", i % 2150, 4 * int(i / 2150);
}' >"$root/expected"

cpu_of() { sed -n 's/.*host used \([0-9.]*\) s user, \([0-9.]*\) s system.*/\1 \2/p' "$1"; }
rss_of() { sed -n 's/.*peak resident \([0-9]*\) KiB.*/\1/p' "$1"; }

run_capture() {  # rate (0: unpaced), nmclient options...
    local rate=$1
    shift
    "$bin/padsim" bridge --port "$port" --identity bench --time-limit 120 --burst "$points" \
        --rate "$rate" --delay 500 2>"$root/padsim.log" &
    local padsim=$!
    INKORA_ROOT="$root" "$bin/nmclient" --stats --host-stderr /dev/null "$@" \
        >"$root/frames" 2>"$root/nmclient.log" || true
    kill "$padsim" 2>/dev/null || true
    wait "$padsim" 2>/dev/null || true
}

echo "== 1. Throughput through the TCP listener, $points points"
best=
for rate in $rates; do
    run_capture "$rate" --points $((points + 1)) --timeout 120
    grep '"POINT"' "$root/frames" >"$root/received" || true
    read -r user system <<<"$(cpu_of "$root/nmclient.log")"
    got=$(wc -l <"$root/received")
    if cmp -s "$root/received" "$root/expected"; then verdict="all arrived, in order, exact"; best=$rate
    else verdict="LOST OR WRONG ($got of $((points + 1)) messages)"; fi
    per_point=$(awk -v u="$user" -v s="$system" -v n=$((points + 1)) 'BEGIN { printf "%.0f", (u + s) * 1e9 / n }')
    printf "rate %6s/s: %s; host processor %.2f s user + %.2f s system = %s ns per point; peak RSS %s KiB\n" \
        "$rate" "$verdict" "$user" "$system" "$per_point" "$(rss_of "$root/nmclient.log")"
    [ "$rate" = "$best" ] && best_per_point=$per_point && best_rss=$(rss_of "$root/nmclient.log")
done
echo "highest rate with none lost: ${best:-none} points/s"

echo "== 2. Floor: the same frames written one write per frame"
floor=$("$bin/frame_floor" "$points" 2>&1 >/dev/null | tee /dev/stderr | sed -n 's/.*, \([0-9]*\) ns per frame/\1/p')
[ -n "${best_per_point:-}" ] && awk -v h="$best_per_point" -v f="$floor" \
    'BEGIN { printf "host / floor = %.1f\n", h / f }'

echo "== 3. Idle: 10 s of an open capture with no pen activity"
"$bin/padsim" bridge --port "$port" --identity bench --time-limit 60 --start-after 1000000 \
    2>"$root/padsim.log" &
idle_padsim=$!
INKORA_ROOT="$root" "$bin/nmclient" --stats --quiet --duration 10 --host-stderr /dev/null \
    >/dev/null 2>"$root/nmclient.log" || true
kill "$idle_padsim" 2>/dev/null || true
read -r user system <<<"$(cpu_of "$root/nmclient.log")"
awk -v u="$user" -v s="$system" 'BEGIN { printf "host processor %.3f s over the session: %.2f%% of one core\n", u + s, (u + s) * 10 }'

echo "== 4. Peak resident memory during the $points-point run at ${best:-?}/s: ${best_rss:-?} KiB"
