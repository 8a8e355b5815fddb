#!/usr/bin/env bash
# Runs every benchmark program of a build, one after the other.
set -euo pipefail
build=${1:-build}
# As root the benchmarks run in a network namespace of their own with no default route, so that the
# idle tick sees no connection whatever this machine has.
netns=()
if [ "$(id -u)" -eq 0 ] && ip netns add hourlink-bench-$$ 2>/dev/null; then
    trap 'ip netns del hourlink-bench-$$' EXIT
    netns=(ip netns exec hourlink-bench-$$)
fi
for b in "$build"/bench/hourlink_*_bench; do
    echo "== $(basename "$b")"
    "${netns[@]}" env QT_QPA_PLATFORM=offscreen "$b" --benchmark_min_time=0.2
done
