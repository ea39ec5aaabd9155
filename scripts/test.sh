#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${QUILLARY_BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/deps.sh"
"$ROOT/scripts/build.sh" -DQUILLARY_BUILD_TESTS=ON -DQUILLARY_BUILD_BENCHMARKS=ON
cd "$BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)" </dev/null
