#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build directory and runs
# each for a number of seconds, starting from the seeds in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      (default: 60 seconds, all targets)
#
# Findings land in build-fuzz/fuzz-artifacts/<target>/ (crash-*, leak-*,
# timeout-*); replay one with: build-fuzz/fuzz/<target> FILE
# Environment: QUILLARY_FUZZ_BUILD_DIR (default build-fuzz), QUILLARY_FUZZ_JOBS
# (parallel compile jobs, default 2).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${QUILLARY_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
JOBS=${QUILLARY_FUZZ_JOBS:-2}
SECONDS_PER_TARGET=${1:-60}
shift || true
ALL_TARGETS=(fuzz_white_background fuzz_property_list fuzz_store_startup fuzz_merge_document fuzz_stamp_options
  fuzz_backend_job fuzz_watch_entries fuzz_page_import)
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
  echo "== $target: $SECONDS_PER_TARGET s"
  if ! "$BUILD/fuzz/$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=20 -rss_limit_mb=2048 \
      -max_len=65536 -artifact_prefix="$artifacts/" -print_final_stats=1 \
      "$corpus" "$ROOT/fuzz/corpus/$target" 2>"$artifacts/log.txt"; then
    failed+=("$target")
    echo "   FINDING: see $artifacts/ (log.txt and the crash file)"
  fi
  grep -E '^(stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb)' "$artifacts/log.txt" | sed 's/^/   /' || true
done

if ((${#failed[@]})); then
  echo "findings in: ${failed[*]}"
  exit 1
fi
echo "no findings"
