#!/usr/bin/env bash
# Builds the fuzz targets natively with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#   tests/fuzz/run.sh [SECONDS] [scan|replace|argsplit ...]
# A finding stops the run with the failing input saved in build/fuzz/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-20}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(scan replace argsplit)

out=$root/build/fuzz
mkdir -p "$out"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -fno-omit-frame-pointer -Wall -Wextra -Werror -I"$root" -I"$root/tests")
declare -A sources=(
    [scan]="$root/find/scan.cpp $root/tests/support/findref.cpp $root/tests/fuzz/scan_fuzz.cpp"
    [replace]="$root/find/scan.cpp $root/find/replaceplan.cpp $root/tests/support/findref.cpp $root/tests/fuzz/replace_fuzz.cpp"
    [argsplit]="$root/document/argsplit.cpp $root/tests/fuzz/argsplit_fuzz.cpp"
)
declare -A maxlen=([scan]=4096 [replace]=600 [argsplit]=600)

for t in "${targets[@]}"; do
    [ -n "${sources[$t]:-}" ] || { echo "unknown fuzz target: $t" >&2; exit 2; }
    # shellcheck disable=SC2086
    clang++ "${flags[@]}" ${sources[$t]} -o "$out/${t}_fuzz"
    mkdir -p "$out/corpus-$t"
    echo "fuzzing $t for ${seconds}s"
    log=$out/$t.log
    status=0
    (cd "$out" && "./${t}_fuzz" -max_total_time="$seconds" -max_len="${maxlen[$t]}" \
        -print_final_stats=1 -artifact_prefix="$out/$t-" "corpus-$t") >"$log" 2>&1 || status=$?
    # libFuzzer's progress lines stay in the log; the figures and any finding are shown.
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb|==|SUMMARY|artifact_prefix|Test unit written)|runtime error' "$log" || true
    if [ "$status" -ne 0 ]; then
        echo "fuzz target $t found a fault (exit $status); see $log" >&2
        exit 1
    fi
done
