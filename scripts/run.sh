#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quillary (optionally with a PDF).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/deps.sh"
"$ROOT/scripts/build.sh"
exec "${QUILLARY_BUILD_DIR:-$ROOT/build}/src/quillary" "$@"
