#!/usr/bin/env bash
# Stamps the benchmark's 1000-page document with one stationery page, once
# with Quillary's engine and once with the qpdf command line, and prints time,
# peak memory and output size of each.
#   bench/compare_with_qpdf.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?build directory}
runs=${2:-5}
bench="$build/bench/bench_pdf"
dir=${QUILLARY_BENCH_DIR:-$(mktemp -d)}
export QUILLARY_BENCH_DIR=$dir

# Generates the inputs when they are not there yet.
QT_QPA_PLATFORM=offscreen "$bench" --benchmark_filter=NONE >/dev/null 2>&1 || true
doc=$dir/document-1000.pdf
stationery=$dir/continuation.pdf

echo "inputs in $dir"
for ((i = 1; i <= runs; i++)); do
  /usr/bin/time -f "qpdf      : %e s wall, %U s user, peak %M KB" \
    qpdf "$doc" --underlay "$stationery" --repeat=1 -- "$dir/qpdf-out.pdf"
  /usr/bin/time -f "quillary  : %e s wall, %U s user, peak %M KB" \
    "$bench" --merge-once "$doc" "$stationery" "$dir/quillary-out.pdf"
done
ls -l "$dir/qpdf-out.pdf" "$dir/quillary-out.pdf" | awk '{print $5, $9}'
