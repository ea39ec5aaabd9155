#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build directory and runs
# each for a number of seconds, starting from the seeds in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      (default: 60 seconds, all targets)
#
# Each target runs in fork mode: a crash, timeout or out-of-memory input is
# recorded and the run goes on, so one finding does not hide the next.
# Findings land in build-fuzz/fuzz-artifacts/<target>/ (crash-*, leak-*,
# timeout-*, oom-*); replay one with: build-fuzz/fuzz/<target> FILE
# Environment: QUILLARY_FUZZ_BUILD_DIR (default build-fuzz), QUILLARY_FUZZ_JOBS
# (parallel compile jobs, default 2), QUILLARY_FUZZ_FORKS (fuzzing processes
# per target, default 1).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${QUILLARY_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
JOBS=${QUILLARY_FUZZ_JOBS:-2}
FORKS=${QUILLARY_FUZZ_FORKS:-1}
SECONDS_PER_TARGET=${1:-60}
shift || true
ALL_TARGETS=(fuzz_white_background fuzz_property_list fuzz_store_startup fuzz_merge_document fuzz_stamp_options
  fuzz_backend_job fuzz_watch_entries fuzz_page_import fuzz_first_page)
TARGETS=("$@")
((${#TARGETS[@]})) || TARGETS=("${ALL_TARGETS[@]}")

if ! [[ $SECONDS_PER_TARGET =~ ^[0-9]+$ ]]; then
  echo "fuzz.sh: SECONDS must be a whole number, got '$SECONDS_PER_TARGET'" >&2
  exit 2
fi
for compiler in clang clang++; do
  command -v "$compiler" >/dev/null || { echo "fuzz.sh: $compiler not found (apt-get install clang)" >&2; exit 1; }
done

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DQUILLARY_BUILD_FUZZERS=ON -DQUILLARY_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" -j"$JOBS" "${TARGETS[@]}"

# Qt must not look for a display, and the store must never see the real home.
export QT_QPA_PLATFORM=offscreen
FUZZ_HOME=$(mktemp -d)
trap 'rm -rf "$FUZZ_HOME"' EXIT
export HOME=$FUZZ_HOME XDG_DATA_HOME=$FUZZ_HOME/data XDG_CONFIG_HOME=$FUZZ_HOME/config
# Leaks inside the Qt and qpdf libraries are not ours to chase here.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

failed=()
for target in "${TARGETS[@]}"; do
  corpus=$BUILD/fuzz-corpus/$target
  artifacts=$BUILD/fuzz-artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  before=$(find "$artifacts" -maxdepth 1 -type f ! -name log.txt | wc -l)
  echo "== $target: $SECONDS_PER_TARGET s, $FORKS process(es)"
  "$BUILD/fuzz/$target" -fork="$FORKS" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
      -max_total_time="$SECONDS_PER_TARGET" -timeout=20 -rss_limit_mb=2048 \
      -max_len=65536 -artifact_prefix="$artifacts/" \
      "$corpus" "$ROOT/fuzz/corpus/$target" >"$artifacts/log.txt" 2>&1 || true
  after=$(find "$artifacts" -maxdepth 1 -type f ! -name log.txt | wc -l)
  # The last progress line of the fork driver carries the totals.
  summary=$(grep -E '^#[0-9]+: cov: ' "$artifacts/log.txt" | tail -1 || true)
  executions=$(sed -nE 's/^#([0-9]+):.*/\1/p' <<<"$summary")
  echo "   executions: ${executions:-?}   corpus: $(find "$corpus" -type f | wc -l) inputs   new findings: $((after - before))"
  echo "   ${summary:-(no progress line; see $artifacts/log.txt)}"
  if ((after > before)); then
    failed+=("$target")
    echo "   FINDINGS: see $artifacts/ (log.txt and the crash files)"
  fi
done

if ((${#failed[@]})); then
  echo "findings in: ${failed[*]}"
  exit 1
fi
echo "no findings"
