#!/usr/bin/env bash
# Brings the string tables in resources/translations up to date with the
# sources: every tr() text under src/ goes into quillary_en.ts and
# quillary_de.ts (a new text unfinished, a text no longer used dropped), with
# no line numbers, so that moving code changes nothing. Translate what is new
# (linguist, or any editor: the <translation> of each unfinished <message>),
# then build; the tests fail while a text has no English or no German.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
LUPDATE="${LUPDATE:-}"
if [[ -z "$LUPDATE" ]]; then
  for candidate in /usr/lib/qt6/bin/lupdate "$(command -v lupdate6 || true)" "$(command -v lupdate || true)"; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then
      LUPDATE="$candidate"
      break
    fi
  done
fi
if [[ -z "$LUPDATE" ]]; then
  echo "update-translations: lupdate not found (Debian: qt6-l10n-tools); set LUPDATE" >&2
  exit 1
fi
cd "$ROOT"
exec "$LUPDATE" -no-obsolete -locations none -extensions cpp,h,ui src \
  -ts resources/translations/quillary_en.ts resources/translations/quillary_de.ts
