#!/usr/bin/env bash
# Runs every benchmark program of a build, one after the other.
set -euo pipefail
build=${1:-build}
# As root the benchmarks run in network namespaces of their own: one with no default route, so that the
# idle tick sees no connection whatever this machine has, and one with a veth pair whose end carries a
# default route, so that the recording tick's probe really answers yes. No packet leaves either.
idle=()
up=()
cleanup() {
    ip netns del hourlink-bench-$$ 2>/dev/null || true
    ip netns del hourlink-bench-up-$$ 2>/dev/null || true
}
if [ "$(id -u)" -eq 0 ]; then
    trap cleanup EXIT
    if ip netns add hourlink-bench-$$ 2>/dev/null; then
        idle=(ip netns exec hourlink-bench-$$)
    fi
    if ip netns add hourlink-bench-up-$$ 2>/dev/null &&
        ip -n hourlink-bench-up-$$ link add v0 type veth peer name v1 &&
        ip -n hourlink-bench-up-$$ link set v0 addrgenmode none &&
        ip -n hourlink-bench-up-$$ link set v1 addrgenmode none &&
        ip -n hourlink-bench-up-$$ link set v0 up &&
        ip -n hourlink-bench-up-$$ link set v1 up &&
        ip -n hourlink-bench-up-$$ route add default dev v0; then
        up=(ip netns exec hourlink-bench-up-$$)
    fi
fi
for b in "$build"/bench/hourlink_*_bench; do
    echo "== $(basename "$b")"
    if [ "$(basename "$b")" = hourlink_recording_bench ]; then
        "${up[@]}" env QT_QPA_PLATFORM=offscreen "$b" --benchmark_min_time=0.2
    else
        "${idle[@]}" env QT_QPA_PLATFORM=offscreen "$b" --benchmark_min_time=0.2
    fi
done
