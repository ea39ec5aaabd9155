#!/usr/bin/env bash
# Makes the guide video resources/guides/quillary.mp4: frames rendered from
# the template window itself (a letterhead and a continuation page dragged
# into the slots, a name typed), joined into a short silent H.264 clip that
# loops. The clip is checked in, so building Quillary needs no ffmpeg; run
# this after the template window changed its looks.
#
# One clip per interface language: the window in that language, the
# placeholder page of that language dropped, a name in that language typed.
#
#   scripts/make-guide-video.sh [--language de] [OUTPUT.mp4]
#
# English goes to resources/guides/quillary.mp4, another language LL to
# resources/guides/quillary_LL.mp4 (the name the translations give the video).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${QUILLARY_BUILD_DIR:-$ROOT/build}"
LANGUAGE_CODE=en
if [[ "${1:-}" == "--language" ]]; then
  LANGUAGE_CODE="${2:?--language needs a language code, such as de}"
  shift 2
fi
if [[ "$LANGUAGE_CODE" == en ]]; then
  OUT="${1:-$ROOT/resources/guides/quillary.mp4}"
  LOCALE=C.UTF-8
else
  OUT="${1:-$ROOT/resources/guides/quillary_${LANGUAGE_CODE}.mp4}"
  LOCALE="${LANGUAGE_CODE}_$(echo "$LANGUAGE_CODE" | tr '[:lower:]' '[:upper:]').UTF-8"
fi

if ! command -v ffmpeg >/dev/null; then
  echo "Installing ffmpeg (Debian's package) to join the frames"
  SUDO=()
  [[ $(id -u) -ne 0 ]] && SUDO=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get install -y -q --no-install-recommends ffmpeg </dev/null
fi

if [[ ! -f "$BUILD_DIR/build.ninja" && ! -f "$BUILD_DIR/Makefile" ]]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD_DIR" --target quillary-guide-frames --parallel 2

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
# A throwaway home: the frames come from a fresh template store, always in
# the light palette, whatever the machine's settings.
HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK" QT_QPA_PLATFORM=offscreen QUILLARY_APPEARANCE=light \
  LANGUAGE="$LANGUAGE_CODE" LANG="$LOCALE" LC_ALL=C.UTF-8 \
  "$BUILD_DIR/src/quillary-guide-frames" "$WORK/frames"

# The assistant's part of the window (10:7), at 15 frames a second; the last
# frames fade into the first so that the loop has no jump.
mkdir -p "$(dirname "$OUT")"
ffmpeg -v error -y -framerate 15 -i "$WORK/frames/%04d.png" \
  -filter_complex "[0:v]crop=720:504:420:6,scale=640:448:flags=lanczos,split[body][pre];
                   [pre]trim=end_frame=8,setpts=PTS-STARTPTS[head];
                   [body][head]xfade=transition=fade:duration=0.5:offset=9.5,format=yuv420p[v]" \
  -map "[v]" -an -c:v libx264 -preset veryslow -tune animation -crf 20 -movflags +faststart "$OUT.tmp.mp4"
mv "$OUT.tmp.mp4" "$OUT"
echo "$OUT: $(stat -c %s "$OUT") bytes"
