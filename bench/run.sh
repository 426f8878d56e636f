#!/usr/bin/env bash
# Builds the benchmarks (Release, in ./build-bench under the repository root)
# and measures, at 640x480 and 1920x1080: the cost of one animation tick, the
# cost of one frame, and the ticks and swaps per second of the real program.
# Prints one table and the machine it ran on. Uses $DISPLAY if set (its
# screen must hold 1920x1080), else starts an Xvfb of its own.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"
BUILD="$ROOT/build-bench"
RESULTS="$BUILD/bench-results"
COUNT_SECONDS=10
SIZES=("640 480" "1920 1080")

usage() {
    cat <<USAGE
usage: $0 [-h | --help]
Builds the benchmarks in build-bench/ (installing libbenchmark-dev when missing)
and prints one table, at 640x480 and 1920x1080:
  tick cost    the real animation tick, standing and running (Google Benchmark)
  frame cost   500 frames of the real display callback, each ended by glFinish
  ticks/s      the unmodified program, its swaps and timer re-arms counted for ${COUNT_SECONDS} s
Uses \$DISPLAY when set (its screen must hold 1920x1080), else a virtual X server.
Takes about a minute; logs land in build-bench/bench-results/.
USAGE
}

say() {
    echo "== $*" >&2
}

build() {
    configure_build "$BUILD" -DSQUIRREL_BENCH=ON -DBUILD_TESTING=OFF >&2
}

# The given display, whose screen must hold 1920x1080, or a virtual one.
choose_display() {
    use_display
    local size
    size=$(xdpyinfo | awk '/dimensions:/ { print $2 }')
    local w=${size%x*} h=${size#*x}
    ((w >= 1920 && h >= 1080)) ||
        fail "screen of $DISPLAY is $size; it must hold 1920x1080 (unset DISPLAY to get an Xvfb)"
    say "using DISPLAY=$DISPLAY ($size)"
}

run_tick_bench() {
    say "tick benchmark (5 repetitions)"
    run_job env -C "$BUILD" bench/tick_bench --benchmark_repetitions=5 \
        --benchmark_report_aggregates_only=true \
        --benchmark_out="$RESULTS/tick.csv" --benchmark_out_format=csv \
        >"$RESULTS/tick.log" 2>&1 ||
        { cat "$RESULTS/tick.log" >&2; fail "tick_bench failed"; }
}

# Median time of one tick benchmark in microseconds: column 3 is the wall
# clock, column 4 the CPU time.
tick_us() {
    awk -F, -v name="\"$1_median\"" -v column="$2" '$1 == name {
        unit = $5; gsub(/"/, "", unit)
        scale = (unit == "ns") ? 0.001 : (unit == "us") ? 1 : 1000
        printf "%.3f", $column * scale; found = 1 }
        END { if (!found) exit 1 }' "$RESULTS/tick.csv" ||
        fail "no result for $1 in $RESULTS/tick.csv"
}

run_frame_bench() {
    local w=$1 h=$2
    say "frame benchmark at ${w}x${h} (500 frames)"
    run_job env -C "$BUILD" bench/frame_bench "$w" "$h" 500 >"$RESULTS/frame-${w}x${h}.txt" 2>&1 ||
        { cat "$RESULTS/frame-${w}x${h}.txt" >&2; fail "frame_bench failed at ${w}x${h}"; }
}

# Field `key` of a frame benchmark report.
frame_field() {
    local file=$1 key=$2 value
    value=$(sed -n "s/^$key: //p" "$file")
    [[ -n $value ]] || fail "no '$key' in $file"
    echo "$value"
}

# Waits until `file` has at least `lines` lines (the preload library writes
# one after the next swap once asked).
wait_for_lines() {
    local file=$1 lines=$2 tries
    for tries in $(seq 100); do
        if [[ -f $file ]] && (($(wc -l <"$file") >= lines)); then
            return
        fi
        sleep 0.1
    done
    fail "the program wrote no swap count to $file (is it still drawing?)"
}

wait_for_size() {
    local window=$1 w=$2 h=$3 tries
    for tries in $(seq 50); do
        if xwininfo -id "$window" | grep -q "geometry ${w}x${h}[+-]"; then
            return
        fi
        sleep 0.1
    done
    fail "the program's window did not become ${w}x${h}"
}

# Runs the unmodified program with the swap counter preloaded, sizes its
# window, lets it settle and counts swaps and ticks over COUNT_SECONDS.
# Sets MEASURED_TICKS and MEASURED_SWAPS (per second). Runs in the main
# shell, so that the exit trap knows the program.
measure_program() {
    local w=$1 h=$2
    local counts="$RESULTS/swaps-${w}x${h}.txt"
    local title="squirrel-bench-$$-$w"
    rm -f "$counts"
    say "real program at ${w}x${h} (${COUNT_SECONDS} s)"
    cd "$BUILD"
    PROGRAM_STDERR="$RESULTS/program-${w}x${h}.log" start_program "$title" env SWAPCOUNT_FILE="$counts" \
        LD_PRELOAD="$BUILD/swapcount.so" bash -c 'exec -a "$0" ./squirrel' "$title"
    xdotool windowsize "$WIN" "$w" "$h"
    wait_for_size "$WIN" "$w" "$h"
    pause 1
    kill -USR1 "$PID"
    wait_for_lines "$counts" 1
    pause "$COUNT_SECONDS"
    kill -USR1 "$PID"
    wait_for_lines "$counts" 2
    stop_programs
    read -r MEASURED_TICKS MEASURED_SWAPS < <(awk '
        { for (i = 1; i <= NF; i++) { split($i, kv, "="); v[NR, kv[1]] = kv[2] } }
        END { s = (v[2, "ns"] - v[1, "ns"]) / 1e9
              printf "%.1f %.1f\n", (v[2, "ticks"] - v[1, "ticks"]) / s, (v[2, "swaps"] - v[1, "swaps"]) / s }' \
        "$counts")
}

# "met" or "MISSED" for `value op limit`.
verdict() {
    awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
        ok = (op == "<") ? (v < l) : (v >= l); print ok ? "met" : "MISSED" }'
}

row() {
    printf '%-40s | %-24s | %-16s | %s\n' "$@"
}

main() {
    no_options "$@"
    handle_signals
    ensure_packages "${BUILD_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" xdotool "${BENCH_PACKAGES[@]}"
    mkdir -p "$RESULTS"
    build
    choose_display
    local load_before
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)

    run_tick_bench
    local standing running standing_wall running_wall
    standing=$(tick_us BM_TickStanding 4)
    running=$(tick_us BM_TickRunning 4)
    standing_wall=$(tick_us BM_TickStanding 3)
    running_wall=$(tick_us BM_TickRunning 3)

    local size w h
    declare -A median p95 main_cpu cpu ticks swaps
    for size in "${SIZES[@]}"; do
        read -r w h <<<"$size"
        run_frame_bench "$w" "$h"
        median[$w]=$(frame_field "$RESULTS/frame-${w}x${h}.txt" median_ms)
        p95[$w]=$(frame_field "$RESULTS/frame-${w}x${h}.txt" p95_ms)
        main_cpu[$w]=$(frame_field "$RESULTS/frame-${w}x${h}.txt" main_cpu_median_ms)
        cpu[$w]=$(frame_field "$RESULTS/frame-${w}x${h}.txt" process_cpu_median_ms)
    done
    for size in "${SIZES[@]}"; do
        read -r w h <<<"$size"
        measure_program "$w" "$h"
        ticks[$w]=$MEASURED_TICKS
        swaps[$w]=$MEASURED_SWAPS
    done
    local renderer version
    renderer=$(frame_field "$RESULTS/frame-640x480.txt" renderer)
    version=$(frame_field "$RESULTS/frame-640x480.txt" gl_version)

    echo
    row "measure" "640x480" "1920x1080" "target"
    row "----------------------------------------" "------------------------" "----------------" "------"
    row "tick, standing: cpu (wall), median of 5" "$standing us ($standing_wall us)" "-" \
        "< 1 us: $(verdict "$standing" "<" 1)"
    row "tick, running (Up held): cpu (wall)" "$running us ($running_wall us)" "-" \
        "< 1 us: $(verdict "$running" "<" 1)"
    row "frame median, display+glFinish" "${median[640]} ms" "${median[1920]} ms" \
        "well under 10 ms at 640x480: $(verdict "${median[640]}" "<" 10)"
    row "frame 95th percentile" "${p95[640]} ms" "${p95[1920]} ms" "-"
    row "frame CPU, main thread (GL calls)" "${main_cpu[640]} ms" "${main_cpu[1920]} ms" "-"
    row "frame CPU, all threads (+ rasteriser)" "${cpu[640]} ms" "${cpu[1920]} ms" "-"
    row "real program ticks/s (${COUNT_SECONDS} s)" "${ticks[640]}" "${ticks[1920]}" \
        ">= 98 at 640x480 (ceiling ~100): $(verdict "${ticks[640]}" ">=" 98)"
    row "real program swaps/s (${COUNT_SECONDS} s)" "${swaps[640]}" "${swaps[1920]}" \
        "= ticks/s (one redisplay per tick)"
    echo
    echo "machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
    echo "renderer: $renderer, GL $version"
    echo "display: $DISPLAY; load average before/after: $load_before / $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "logs: $RESULTS"
}

# Sourced by bench/web_rate.sh for its functions; run, it measures.
[[ ${BASH_SOURCE[0]} != "$0" ]] || main "$@"
