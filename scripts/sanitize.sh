#!/usr/bin/env bash
# Builds the whole tree with GCC's run-time checkers and runs the unit, gui and e2e tests under
# them, in two build folders of their own:
#   build-asan  AddressSanitizer (with LeakSanitizer) + UndefinedBehaviorSanitizer
#   build-tsan  ThreadSanitizer
# Any report fails the run, from a test program or from a program a test starts: every report is
# written to <build>/sanitize-reports/ and listed at the end. Takes far longer than ./test.sh
# (docs/sanitizers.md has the figures), so CI does not run it.
#
# Usage: scripts/sanitize.sh [asan] [tsan] [-- ctest arguments]   (both halves when none named)
# JOBS sets the build's and the tests' parallelism (default: the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

halves=()
ctest_args=()
while (($#)); do
  case $1 in
    asan | tsan) halves+=("$1") ;;
    --) shift; ctest_args=("$@"); break ;;
    *) echo "usage: $0 [asan] [tsan] [-- ctest arguments]" >&2; exit 2 ;;
  esac
  shift
done
((${#halves[@]})) || halves=(asan tsan)

./scripts/deps.sh
jobs=${JOBS:-$(nproc)}
supp=$root/scripts/sanitize
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# The checkers' settings: any report ends the program with a failure and is written to a file of
# its own (log_path appends the process id), so that a report from a program a test script
# starts is not lost in the script's output.
sanitizer_env() {
  local half=$1 reports=$2
  export QT_QPA_PLATFORM=offscreen
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS TSAN_OPTIONS
  if [[ $half == asan ]]; then
    export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1:disable_coredump=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:log_path=$reports/asan"
    export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
  else
    # die_after_fork=0: a library that forks a helper (D-Bus's autolaunch, QProcess's detached
    # start) may start a thread in the child before it execs.
    export TSAN_OPTIONS="halt_on_error=1:abort_on_error=1:disable_coredump=1:second_deadlock_stack=1:history_size=4:die_after_fork=0:suppressions=$supp/tsan.supp:print_suppressions=0:log_path=$reports/tsan"
  fi
}

status=0
summary=()
for half in "${halves[@]}"; do
  dir=$root/build-$half
  reports=$dir/sanitize-reports
  mode=address
  [[ $half == tsan ]] && mode=thread
  echo "== $half: configuring $dir"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1" \
    -DCMAKE_C_FLAGS_RELEASE="-O1" -DZOR_SANITIZE=$mode "${launcher[@]}" >/dev/null
  rm -rf "$reports"
  mkdir -p "$reports"
  # The build already runs the test programs (to list their tests): under the checkers too.
  sanitizer_env "$half" "$reports"
  start=$(date +%s)
  echo "== $half: building"
  nice -n 10 cmake --build "$dir" -j "$jobs"
  built=$(date +%s)
  echo "== $half: testing (unit, gui, e2e)"
  result=passed
  if ! (cd "$dir" && nice -n 10 ctest -L '^(unit|gui|e2e)$' -j "$jobs" --output-on-failure --timeout 900 \
          "${ctest_args[@]}"); then
    result="tests FAILED"
    status=1
  fi
  tested=$(date +%s)
  mapfile -t found < <(find "$reports" -type f -size +0 | sort)
  if ((${#found[@]})); then
    result="$result, ${#found[@]} sanitizer report(s)"
    status=1
    echo "== $half: sanitizer reports:"
    for f in "${found[@]}"; do
      echo "--- $f"
      grep -m1 -E 'ERROR|WARNING|runtime error' "$f" || head -n 3 "$f"
    done
  fi
  summary+=("$half: build $((built - start)) s, tests $((tested - built)) s: $result (reports in $reports)")
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status
