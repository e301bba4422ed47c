#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into a build directory of their own and
# runs each of them for the given number of seconds (default 60), starting from the seed corpora.
#
# Usage: scripts/fuzz.sh [--build-dir DIR] [SECONDS]
#
# Inputs found along the way collect in DIR/corpus/<target>, never in the repository. A crash or
# a broken check leaves its input in DIR/artifacts/<target>/: copy it into
# tests/fuzz/corpus/<target>/ under a name saying what it broke (tst_reliability then replays it
# in every test run), and fix the code.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
seconds=60
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build-dir) build="$2"; shift 2 ;;
        -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
        *) seconds="$1"; shift ;;
    esac
done

clangxx="$(command -v clang++ || true)"
if [[ -z "$clangxx" ]]; then
    echo "fuzz.sh: clang++ is needed (scripts/deps.sh test installs it)" >&2
    exit 2
fi

targets=(keyvalues hoststatus loglines filesafename dockfiles)
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$clangxx" \
        -DTANDRILL_FUZZ=ON -DTANDRILL_BUILD_TESTS=OFF -DTANDRILL_BUILD_GUI=OFF -DTANDRILL_BUILD_BENCH=OFF >/dev/null
fi
if ! cmake --build "$build" --target "${targets[@]/#/fuzz_}" >"$build/build.log" 2>&1; then
    tail -40 "$build/build.log" >&2
    exit 1
fi

failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target/"
    log="$build/fuzz_$target.log"
    mkdir -p "$corpus" "$artifacts"
    # New inputs go to the first corpus directory; the seeds are only read.
    if "$build/bin/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "$root/tests/fuzz/corpus/$target" \
        >"$log" 2>&1; then
        runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
        coverage="$(grep -o 'cov: [0-9]*' "$log" | tail -1)"
        echo "fuzz_$target: ${runs:-?} inputs in ${seconds}s, ${coverage:-cov: ?}, corpus $(ls "$corpus" | wc -l) files"
    else
        echo "fuzz_$target: FAILED; input kept in $artifacts" >&2
        grep -E 'broken:|ERROR:|SUMMARY:|Test unit written' "$log" >&2 || tail -30 "$log" >&2
        failed+=("$target")
    fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzz.sh: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz.sh: all ${#targets[@]} targets ran ${seconds}s each without a failure"
