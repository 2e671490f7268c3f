#!/usr/bin/env bash
# The host's performance figures beside their bounds (benchmarks, not timed tests):
#   1. latency from the pad's write (a bridge's send on the TCP listener, a pseudo-terminal
#      write on the serial port) to the POINT frame readable on standard output, at a real pad's
#      200 points/s and at 2,000 points/s: p50 at most 1 ms, p99 at most 3 ms;
#   2. idle cost of an open capture with no pen activity over 10 s, on both transports, with a
#      pad that answers the numbers query and with one that never sends a byte: at most 0.1 % of
#      one core;
#   3. the host's processor time per point at 200,000 points/s (padsim bridge, nmclient as the
#      browser; 400,000 points, median of three runs), at most the floor's: the same frames
#      written one write per frame, at the same pace, into a pipe that nmclient drains;
#   4. no point lost at 400,000 points/s, sustained for a second once the pump runs;
#   5. the host's peak resident memory through all of the above: at most 4 MiB;
#   6. OPEN to its reply with padsim as a pad that answers at once, p50 and worst of 20 opens,
#      per transport (serial, TCP client, TCP listener, legacy USB pipe): p50 at most 100 ms;
#      and with a serial pad that never answers, no slower than before; the same for a HID pad
#      under Wine (winepad) where the Windows build and Wine are there;
#   7. a page's open() to the capture being ready and to its first point, p50 and worst of ten,
#      in Chromium and Firefox where they are installed: ready p50 at most 300 ms.
# and the ratio of each figure to the one recorded before the work on them
# (tests/bench/results-before.txt).
#
# Environment: BUILD (build) the build directory; WIN32_BUILD (build-win32) the Windows build;
# HOST_BINARY the host to measure (default the one in BUILD; figures 6 under Wine and 7 always
# measure the builds' hosts); RECORD=FILE writes the figures to FILE as well; HOST_LOCK=FILE runs every host
# under `flock FILE`, for machines where other hosts take turns.
# Exit code: 0 when every figure holds its bound, 1 when one does not.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
before_file=tests/bench/results-before.txt

scripts/configure.sh "$build" -DHOST_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target Lumarq.OrvaneSignExtension padsim nmclient frame_floor host_probe \
    >/dev/null
bin=$build/bin
host=${HOST_BINARY:-$bin/Lumarq.OrvaneSignExtension}
unset INKORA_TRACE

work=$(mktemp -d /tmp/inkora-perf.XXXXXX)
# Runs under set -e: a kill with no job left to end must not set the exit code.
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
declare -A figure

locked() { if [ -n "${HOST_LOCK:-}" ]; then flock "$HOST_LOCK" "$@"; else "$@"; fi; }
note_rss() { figure[rss]=$(( $1 > ${figure[rss]:-0} ? $1 : ${figure[rss]:-0} )); }

echo "== 1. Latency, pad write to readable POINT frame"
for transport in tcp serial; do
    locked "$bin/host_probe" --host "$host" --transport "$transport" latency 200:2000 2000:10000 \
        | tee "$work/latency"
    while read -r rate p50 p99; do
        figure[latency.$transport.$rate.p50]=$p50
        figure[latency.$transport.$rate.p99]=$p99
    done < <(sed -n 's|^latency [a-z]* \([0-9]*\)/s: .* p50 \([0-9.]*\) ms, p99 \([0-9.]*\) ms.*|\1 \2 \3|p' "$work/latency")
    note_rss "$(sed -n 's/^peak resident: \([0-9]*\) KiB/\1/p' "$work/latency")"
done

echo "== 2. Idle: 10 s of an open capture with no pen activity"
for transport in tcp serial; do
    for pad in answering silent; do
        locked "$bin/host_probe" --host "$host" --transport "$transport" \
            $([ "$pad" = silent ] && echo --silent) idle 10 | tee "$work/idle"
        figure[idle.$transport.$pad]=$(sed -n 's/^idle .*: \([0-9.]*\)% of one core.*/\1/p' "$work/idle")
        note_rss "$(sed -n 's/^peak resident: \([0-9]*\) KiB/\1/p' "$work/idle")"
    done
done

# A burst of `points` points at `rate` through padsim's bridge and the TCP listener, nmclient as
# the browser, printing every frame (check=exact) or only counting them (check=count); sets
# verdict, ns (host processor time per point) and notes the peak memory.
burst_capture() {
    local points=$1 rate=$2 check=$3 port=$((20000 + RANDOM % 40000))
    mkdir -p "$work/root/windows" "$work/root/temp"
    printf '[Tablet]\nTabletType=7\nSocketPort=%d\nSocketTimeout=5000\nTabletPortPath=bench\n' \
        $((port - 1)) >"$work/root/windows/Inkora.ini"
    locked bash -c '"$1/padsim" bridge --port "$2" --identity bench --time-limit 120 --burst "$3" \
            --rate "$4" --delay 500 2>/dev/null &
        INKORA_ROOT="$5" "$1/nmclient" --host-binary "$6" --host-stderr /dev/null --stats \
            --points $(($3 + 1)) --timeout 120 $([ "$8" = count ] && echo --quiet) \
            >"$7/frames" 2>"$7/nmclient.log" || true
        kill $! 2>/dev/null; wait' \
        burst "$bin" "$port" "$points" "$rate" "$work/root" "$host" "$work" "$check"
    if [ "$check" = exact ]; then
        awk -v n="$points" 'BEGIN {
            for (i = 0; i < n; i++) printf "{\"command\":\"POINT\",\"X\":%d,\"Y\":%d,\"P\":1}\n", i % 2150, 4 * int(i / 2150);
            i = n - 1; printf "{\"command\":\"POINT\",\"X\":%d,\"Y\":%d,\"P\":0}\n", i % 2150, 4 * int(i / 2150);
        }' >"$work/expected"
        grep '"POINT"' "$work/frames" >"$work/received" || true
        received=$(wc -l <"$work/received")
        cmp -s "$work/received" "$work/expected" && received=exact
    else
        received=$(sed -n 's/.*frames, \([0-9]*\) POINT messages.*/\1/p' "$work/nmclient.log")
    fi
    case $received in
        exact) verdict="all $((points + 1)) arrived, in order, exact" ;;
        "$((points + 1))") verdict="all $((points + 1)) arrived" ;;
        *) verdict="LOST OR WRONG: ${received:-0} of $((points + 1)) arrived" ;;
    esac
    lost=$([[ $verdict == all* ]] && echo 0 || echo $((points + 1 - ${received:-0})))
    ns=$(sed -n 's/.*host used \([0-9.]*\) s user, \([0-9.]*\) s system.*/\1 \2/p' "$work/nmclient.log" |
        awk -v n=$((points + 1)) '{ printf "%.0f", ($1 + $2) * 1e9 / n }')
    note_rss "$(sed -n 's/.*peak resident \([0-9]*\) KiB.*/\1/p' "$work/nmclient.log")"
}

# The floor: frame_floor in the host's place, writing the same frames at `rate` (0: unpaced),
# read by nmclient as the host's are.
floor_ns() {
    local points=$1 rate=$2
    FRAME_FLOOR_POINTS=$points FRAME_FLOOR_RATE=$rate "$bin/nmclient" --host-binary \
        "$bin/frame_floor" --stats --quiet --points $((points + 1)) --timeout 60 2>&1 |
        sed -n 's/.*host used \([0-9.]*\) s user, \([0-9.]*\) s system.*/\1 \2/p' |
        awk -v n=$((points + 1)) '{ printf "%.0f", ($1 + $2) * 1e9 / n }'
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

# Two seconds at 200,000 points/s, so that the start and the open (a few milliseconds) weigh
# little; three runs each, the median counts.
echo "== 3. Processor time per point at 200,000 points/s, 400,000 points, three runs each"
host_runs=() floor_runs=()
for run in 1 2 3; do
    burst_capture 400000 200000 count
    echo "host: $verdict; $ns ns per point"
    [[ $verdict == all* ]] && host_runs+=("$ns")
    floor_runs+=("$(floor_ns 400000 200000)")
done
figure[cost.host]=$(median "${host_runs[@]:-?}")
figure[cost.floor]=$(median "${floor_runs[@]}")
echo "host: ${host_runs[*]} ns; floor at the same pace: ${floor_runs[*]} ns per frame" \
     "(unpaced: $(floor_ns 400000 0) ns)"

echo "== 4. Throughput: 400,000 points at 400,000 points/s"
burst_capture 400000 400000 exact
figure[throughput.lost]=$lost
echo "host: $verdict; $ns ns per point"

echo "== 5. Peak resident memory through all of the above: ${figure[rss]} KiB"

# 20 OPENs through nmclient against `padsim MODE --loop ARGS...` with the settings SETTINGS;
# sets figure[open.NAME.p50] and figure[open.NAME.max], in ms. SETTINGS and ARGS may name {port}
# (a free port), {port-1} and {root}, and SETTINGS {pts}, the number of padsim's terminal.
open_figures() {
    local name=$1 settings=$2 mode=$3 && shift 3
    local root="$work/open-$name" port=$((20000 + RANDOM % 40000)) out="$work/open.$name"
    mkdir -p "$root/windows" "$root/temp" "$root/dev"
    local args=("$@") i
    for i in "${!args[@]}"; do args[i]=$(fill "${args[i]}"); done
    locked bash -c '
        bin=$1 host=$2 root=$3 settings=$4 out=$5 && shift 5
        INKORA_ROOT=$root "$bin/padsim" "$@" --loop --time-limit 300 >"$out.padsim" 2>&1 &
        padsim=$!
        for _ in $(seq 100); do
            grep -q "ready\|listening\|connect" "$out.padsim" && break
            sleep 0.05
        done
        pts=$(grep -o "/dev/pts/[0-9]*" "$out.padsim" | head -1 | sed "s|/dev/pts/||")
        printf "[Tablet]\n%b" "${settings//\{pts\}/$pts}" >"$root/windows/Inkora.ini"
        for _ in $(seq 20); do
            INKORA_ROOT=$root "$bin/nmclient" --host-binary "$host" --host-stderr /dev/null \
                --stats --quiet --points 1 --timeout 20 2>&1 |
                sed -n "s/.*OPEN answered after \([0-9.]*\) ms.*/\1/p"
        done >"$out"
        kill $padsim 2>/dev/null; wait' \
        open "$bin" "$host" "$root" "$(fill "$settings")" "$out" "$mode" "${args[@]}"
    figure[open.$name.p50]=$(median $(cat "$out"))
    figure[open.$name.max]=$(sort -n "$out" | tail -1)
    echo "$name: $(wc -l <"$out") opens, p50 ${figure[open.$name.p50]:-?} ms," \
         "worst ${figure[open.$name.max]:-?} ms"
}
fill() {
    local text=${1//\{port-1\}/$((port - 1))}
    text=${text//\{port\}/$port}
    printf '%s' "${text//\{root\}/$root}"
}

echo "== 6. OPEN to its reply, 20 opens per transport"
serial_settings='TabletType=0\nTabletPortPath=/dev/pts/\nTabletComPort={pts}\n'
open_figures serial "$serial_settings" serial
open_figures serial-silent "$serial_settings" serial --silent
open_figures tcp-client 'TabletType=5\nSocketPort={port}\n' server --port '{port}'
open_figures tcp-listener \
    'TabletType=7\nSocketPort={port-1}\nSocketTimeout=5000\nTabletPortPath=bench\n' \
    bridge --port '{port}' --identity bench
open_figures usb-pipe 'TabletType=2\n' usbpipe --node '{root}/dev/inkora-usbpipe0'

win32_build=${WIN32_BUILD:-build-win32}
if command -v wine >/dev/null && [ -f "$win32_build/bin/winepad.exe" ] &&
    cmake --build "$build" --target wine_e2e_tests >/dev/null 2>&1; then
    locked bash -c 'export WINEPREFIX=$(scripts/wine-prefix.sh) WINEDEBUG=-all
        "$1/wine_e2e_tests" --gtest_also_run_disabled_tests \
            --gtest_filter="*DISABLED_OpenToReplyFigure" >"$2" 2>&1
        wineserver -k' hid "$bin" "$work/open.hid" || true
    read -r p50 worst < <(sed -n 's/^open-time hid: p50 \([0-9.]*\) ms, worst \([0-9.]*\) ms/\1 \2/p' \
        "$work/open.hid") || true
    figure[open.hid.p50]=${p50:-}
    figure[open.hid.max]=${worst:-}
    echo "hid under Wine: p50 ${p50:-?} ms, worst ${worst:-?} ms"
else
    echo "hid under Wine: skipped (needs wine and $win32_build/bin/winepad.exe)"
fi

echo "== 7. A page's open() to ready and to its first point, ten captures per browser"
if [ -d tests/browser/node_modules ] && command -v chromium >/dev/null &&
    command -v firefox-esr >/dev/null; then
    HOST_BUILD_DIR=$(realpath "$build") BROWSER_TEST_RESULTS="$work/browser" \
        locked node --test --test-concurrency=1 tests/browser/open-time.bench.mjs 2>&1 |
        sed -n 's/^# open-time/open-time/p' | tee "$work/page" || true
    while read -r browser ready ready_max first first_max; do
        figure[page.$browser.ready.p50]=$ready figure[page.$browser.ready.max]=$ready_max
        figure[page.$browser.first.p50]=$first figure[page.$browser.first.max]=$first_max
    done < <(sed -n 's/^open-time \([a-z]*\): ready p50 \([0-9]*\) ms, worst \([0-9]*\) ms; first point p50 \([0-9]*\) ms, worst \([0-9]*\) ms/\1 \2 \3 \4 \5/p' "$work/page")
else
    echo "skipped: needs Chromium, Firefox ESR and tests/browser/node_modules (scripts/browser-deps.sh)"
fi

if [ -n "${RECORD:-}" ]; then
    for key in "${!figure[@]}"; do echo "$key ${figure[$key]}"; done | sort >"$RECORD"
fi

declare -A before
if [ -f "$before_file" ]; then
    while read -r key value; do before[$key]=$value; done < <(grep -v '^#' "$before_file")
fi

# row KEY LABEL BOUND UNIT: the figure, its bound (KEY's figure must not exceed BOUND), whether
# it holds, the figure before and the ratio.
row() {
    local key=$1 label=$2 bound=$3 unit=$4 now=${figure[$1]:-?} was=${before[$1]:-?}
    awk -v l="$label" -v n="$now" -v b="$bound" -v u="$unit" -v w="$was" 'BEGIN {
        holds = (n != "?" && n + 0 <= b + 0) ? "holds" : "FAILS";
        ratio = (w != "?" && w + 0 > 0 && n != "?") ? sprintf("%.3f", n / w) : "-";
        printf "%-34s %10s %-4s  <= %-8s %-5s  before %10s  after/before %s\n", l, n, u, b, holds, w, ratio
        exit (holds == "holds" ? 0 : 1)
    }' || failures=$((failures + 1))
}
failures=0

echo
echo "== Each figure beside its bound"
for transport in tcp serial; do
    for rate in 200 2000; do
        row "latency.$transport.$rate.p50" "1. latency $transport $rate/s p50" 1 ms
        row "latency.$transport.$rate.p99" "1. latency $transport $rate/s p99" 3 ms
    done
done
for transport in tcp serial; do
    for pad in answering silent; do
        row "idle.$transport.$pad" "2. idle $transport, pad $pad" 0.1 %
    done
done
row cost.host "3. host per point at 200,000/s" "${figure[cost.floor]}" ns
echo "   (floor per frame at 200,000/s: ${figure[cost.floor]} ns, before ${before[cost.floor]:-?} ns)"
row throughput.lost "4. points lost at 400,000/s" 0 ""
row rss "5. peak resident memory" 4096 KiB
for transport in serial tcp-client tcp-listener usb-pipe; do
    row "open.$transport.p50" "6. OPEN to reply $transport p50" 100 ms
    echo "   (worst of 20: ${figure[open.$transport.max]:-?} ms, before ${before[open.$transport.max]:-?} ms)"
done
row open.serial-silent.p50 "6. OPEN to reply, silent pad, p50" "${before[open.serial-silent.p50]:-700}" ms
if [ -n "${figure[open.hid.p50]:-}" ]; then
    row open.hid.p50 "6. OPEN to reply hid (Wine) p50" 100 ms
    echo "   (worst of 20: ${figure[open.hid.max]:-?} ms, before ${before[open.hid.max]:-?} ms)"
fi
for browser in chromium firefox; do
    if [ -n "${figure[page.$browser.ready.p50]:-}" ]; then
        row "page.$browser.ready.p50" "7. page open() to ready, $browser p50" 300 ms
        echo "   (worst ${figure[page.$browser.ready.max]} ms; first point p50" \
             "${figure[page.$browser.first.p50]} ms, worst ${figure[page.$browser.first.max]} ms)"
    fi
done
((failures == 0))
