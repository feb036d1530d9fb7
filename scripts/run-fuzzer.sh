#!/bin/sh
# Runs a libFuzzer binary for a bounded time, seeded with the examples.
# A crash, a hang, a sanitizer report or a memory blow-up fails the run.
set -eu
fuzzer=$1
seconds=${2:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
cp "$top"/examples/*.mml "$work/corpus/"
echo "Fuzzing $(basename "$fuzzer") for $seconds s"
"$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1 || {
    tail -n 60 "$work/log"
    ls "$work/artifacts" >&2
    for f in "$work"/artifacts/*; do [ -f "$f" ] && od -c "$f" | head -20; done
    exit 1
}
grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$work/log" || true
