#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# each for a bounded time, starting from the seeds in fuzz/corpus/. Fails when any target finds a crash,
# a leak or a broken invariant; the input that did it is kept in <build>/artifacts/.
#
#   fuzz/run.sh [--seconds N] [build-dir] [target...]
#
# The corpus each run grows is kept in <build>/corpus/<target>, so longer runs go on where the last one
# stopped; the seeds in the repository are never written to.
set -euo pipefail

seconds=30
if [ "${1:-}" = "--seconds" ]; then
    seconds=$2
    shift 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$source_dir/build-fuzz}")
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_log fuzz_profile fuzz_time fuzz_readme)
jobs=${JOBS:-2}

if ! command -v clang++ >/dev/null; then
    echo "clang++ is missing (Debian packages clang and libclang-rt-14-dev)" >&2
    exit 1
fi
cmake -S "$source_dir" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHOURLINK_GUI=OFF -DHOURLINK_TESTS=OFF -DHOURLINK_FUZZ=ON -DHOURLINK_WERROR="${HOURLINK_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

mkdir -p "$build/artifacts"
# The targets make their scratch folders under TMPDIR; libFuzzer ends without the exit handlers that
# would remove them, so they go with this folder. A tmpfs spares the disk the log's and settings' flushes.
scratch=$(mktemp -d /dev/shm/hourlink-fuzz-run.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp -n "$source_dir/fuzz/corpus/$target"/* "$corpus"/ 2>/dev/null || true
    echo "== $target: $seconds s"
    log="$build/artifacts/$target.log"
    # Paths are absolute: each target works in a scratch folder of its own.
    if TMPDIR=$scratch ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/fuzz/$target" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$corpus" >"$log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|new_units_added)|^Done' "$log" || true
    else
        failed+=("$target")
        grep -E -A3 'invariant broken|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error' "$log" | head -20
        grep -E 'Test unit written to' "$log" || true
        echo "   full output: $log"
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}" >&2
    exit 1
fi
echo "fuzzing: no faults in ${targets[*]} ($seconds s each)"
