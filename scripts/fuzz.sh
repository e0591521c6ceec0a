#!/usr/bin/env bash
# Runs the libFuzzer targets to depth, outside CI: builds them with clang (AddressSanitizer and
# UBSan, build-fuzz/), runs each target from its committed corpus until it has executed --runs
# inputs or for --time seconds, whichever comes first, then merges what found new coverage back
# into fuzz/corpus/<target>/ (which ctest replays). One line per target goes to
# build-fuzz/fuzz-results.tsv: target, executions, seconds, executions a second, corpus files
# before and after, result. A crash leaves its input in build-fuzz/fuzz-artifacts/.
#
#   scripts/fuzz.sh [--runs N] [--time SECONDS] [--jobs J] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=10000000
seconds=7200
jobs=1
targets=()
while (($#)); do
    case $1 in
    --runs) runs=$2; shift 2 ;;
    --time) seconds=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    -h | --help) sed -n '2,9p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
    esac
done
if ((${#targets[@]} == 0)); then
    mapfile -t targets < <(sed -n 's/^  \(fuzz_[a-z_]*\)=.*/\1/p' fuzz/CMakeLists.txt)
fi

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O1 -g -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O1 -g -DNDEBUG" \
    -DZOR_FUZZ=ON -DZOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzzer}"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
# The targets write each input to a file: on tmpfs that costs no disk flush.
[[ -d /dev/shm ]] && export TMPDIR=/dev/shm
results=$build/fuzz-results.tsv
mkdir -p "$build/fuzz-work" "$build/fuzz-artifacts" "$build/fuzz-logs"
[[ -f $results ]] || printf 'target\texecutions\tseconds\texec_per_s\tcorpus_before\tcorpus_after\tresult\n' >"$results"

run_one() {
    local target=$1
    local work=$build/fuzz-work/$target corpus=fuzz/corpus/$target log=$build/fuzz-logs/$target.log
    mkdir -p "$work" "$corpus"
    local before start end rc=0
    before=$(find "$corpus" -type f | wc -l)
    start=$(date +%s)
    "$build/fuzz/${target}_fuzzer" -runs="$runs" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-artifacts/$target-" "$work" "$corpus" >"$log" 2>&1 || rc=$?
    end=$(date +%s)
    local execs result
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if ((rc == 0)); then result=clean; else result="failed (exit $rc, see $log)"; fi
    # Keep only the inputs that add coverage to the committed corpus.
    "$build/fuzz/${target}_fuzzer" -merge=1 "$corpus" "$work" >>"$log" 2>&1 || true
    local after
    after=$(find "$corpus" -type f | wc -l)
    local secs=$((end - start))
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$target" "${execs:-0}" "$secs" \
        "$(( ${execs:-0} / (secs > 0 ? secs : 1) ))" "$before" "$after" "$result" >>"$results"
    printf '%-22s %10s executions in %6s s: %s\n' "$target" "${execs:-0}" "$secs" "$result"
}

# Up to --jobs targets at a time, each on one core.
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
    run_one "$target" &
done
wait
echo "results: $results"
