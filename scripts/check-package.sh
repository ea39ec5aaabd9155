#!/usr/bin/env bash
# Proves the Debian package on a fresh Debian 12: makes a minimal Debian 12
# root with debootstrap, installs the package there with
# "apt-get install ./quillary_*.deb", and starts the installed program as an
# ordinary user under a virtual display, in both modes:
#
#   - management mode (German, LANGUAGE=de): stays up, shows the template
#     window, creates its store;
#   - print-service mode (quillary some.pdf): shows the preview window of the
#     document;
#   - the print agent (quillary --agent) starts and keeps running;
#
# then purges the package. Screenshots go to build/check-package/. Run as root
# with network access to a Debian mirror; it takes minutes, so it is not part
# of the test command.
#
#   scripts/check-package.sh [PACKAGE.deb]
#
# Without PACKAGE.deb it packs build/ (cpack -G DEB). Environment:
#   QUILLARY_CHECK_ROOT=DIR  keep the Debian root in DIR and reuse it on the
#                            next run (the package is purged from it first)
#   MIRROR=URL               Debian mirror (default: the machine's own)
set -euo pipefail
ROOT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${QUILLARY_BUILD_DIR:-$ROOT_DIR/build}"
OUT="$BUILD_DIR/check-package"

say() { printf '== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

[[ $(id -u) -eq 0 ]] || fail "run as root (debootstrap, chroot and mounts need it)"

# --- the package ---
DEB="${1:-}"
if [[ -z "$DEB" ]]; then
  shopt -s nullglob
  debs=("$BUILD_DIR"/quillary_*.deb)
  shopt -u nullglob
  if ((${#debs[@]} == 0)); then
    say "packing $BUILD_DIR"
    "$ROOT_DIR/scripts/build.sh" >/dev/null
    (cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
    debs=("$BUILD_DIR"/quillary_*.deb)
  fi
  DEB="${debs[-1]}"
fi
[[ -f "$DEB" ]] || fail "no package: $DEB"
DEB="$(cd "$(dirname "$DEB")" && pwd)/$(basename "$DEB")"
say "package $(basename "$DEB") ($(du -h "$DEB" | cut -f1))"

# --- a fresh Debian 12 ---
if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap </dev/null >/dev/null
fi
if [[ -z "${MIRROR:-}" ]]; then
  # deb822 sources ("URIs: ...") or one-line ones ("deb URL bookworm main").
  MIRROR="$({ cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null || true; } \
    | awk '/^URIs:/ && /debian\/?$/ { print $2; exit } /^deb / && / bookworm / && $2 ~ /debian\/?$/ { print $2; exit }')"
  MIRROR="${MIRROR:-http://deb.debian.org/debian}"
fi
SECURITY="${SECURITY_MIRROR:-${MIRROR%/debian}/debian-security}"

CHROOT="${QUILLARY_CHECK_ROOT:-}"
KEEP=1
if [[ -z "$CHROOT" ]]; then
  CHROOT="$(mktemp -d /tmp/quillary-deb12.XXXXXX)"
  KEEP=0
fi
mkdir -p "$CHROOT" "$OUT"
chmod 0755 "$CHROOT" # its "/": every user walks through it
rm -f "$OUT"/*.log "$OUT"/*.out "$OUT"/*.png

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[i]}" 2>/dev/null || true
  done
  if ((KEEP == 0)); then
    rm -rf --one-file-system "$CHROOT"
  fi
}
trap cleanup EXIT
mount_in() { # mount_in TYPE|--bind SOURCE TARGET
  mkdir -p "$CHROOT/$3"
  if [[ "$1" == --bind ]]; then mount --bind "$2" "$CHROOT/$3"; else mount -t "$1" "$2" "$CHROOT/$3"; fi
  mounted+=("$CHROOT/$3")
}

if [[ ! -f "$CHROOT/etc/debian_version" ]]; then
  say "debootstrap --variant=minbase bookworm $CHROOT $MIRROR"
  debootstrap --variant=minbase bookworm "$CHROOT" "$MIRROR" >"$OUT/debootstrap.log" 2>&1 \
    || { tail -20 "$OUT/debootstrap.log"; fail "debootstrap"; }
fi
# As an installed system has them: the release, its updates and security.
cat >"$CHROOT/etc/apt/sources.list" <<EOF
deb $MIRROR bookworm main
deb $MIRROR bookworm-updates main
deb $SECURITY bookworm-security main
EOF
cp /etc/resolv.conf "$CHROOT/etc/resolv.conf"
mount_in proc proc proc
mount_in sysfs sysfs sys
mount_in --bind /dev dev
mount_in devpts devpts dev/pts
in_root() { chroot "$CHROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive "$@"; }
say "Debian $(cat "$CHROOT/etc/debian_version") in $CHROOT"

if in_root dpkg-query -W quillary >/dev/null 2>&1; then
  say "purging the package a previous run installed"
  in_root apt-get purge -y -q quillary >/dev/null
  in_root apt-get autoremove -y -q --purge >/dev/null
fi
in_root apt-get update -q >"$OUT/apt-update.log" 2>&1 || { cat "$OUT/apt-update.log"; fail "apt-get update"; }

# --- install ---
cp "$DEB" "$CHROOT/tmp/"
say "apt-get install ./$(basename "$DEB")"
if ! in_root sh -c "cd /tmp && apt-get install -y -q ./$(basename "$DEB")" >"$OUT/install.log" 2>&1; then
  tail -30 "$OUT/install.log"
  fail "the package does not install"
fi
# What apt-get brought along, and what the maintainer scripts said.
awk '/^The following NEW packages/ { show = 1; print; next } show && /^  / { print; next } { show = 0 }
     /^Setting up quillary|^quillary:/ { print }' "$OUT/install.log"
in_root dpkg-query -W -f='installed ${Package} ${Version}: ${Status}\n' quillary
for file in /usr/bin/quillary /usr/bin/quillary-stamp /usr/lib/cups/backend/quillary \
            /usr/share/applications/app.quillary.Quillary.desktop \
            /usr/share/icons/hicolor/256x256/apps/app.quillary.Quillary.png \
            /usr/share/quillary/translations/quillary_de.qm /etc/quillary/spool.conf; do
  [[ -f "$CHROOT$file" ]] || fail "not installed: $file"
done
[[ -d "$CHROOT/var/spool/quillary" ]] || fail "postinst made no spool folder"
say "files in place, spool folder made"

# The test's own tools: a virtual display, window lookup and screenshots.
in_root apt-get install -y -q --no-install-recommends xvfb xauth xdotool x11-apps >"$OUT/tools.log" 2>&1 \
  || { tail -20 "$OUT/tools.log"; fail "installing xvfb"; }
# A user who never ran Quillary.
in_root sh -c 'if id tester >/dev/null 2>&1; then userdel -r tester 2>/dev/null; fi; useradd -m -s /bin/sh tester'
cp "$ROOT_DIR/resources/sample-letterhead.pdf" "$CHROOT/tmp/letter.pdf"
chmod 0644 "$CHROOT/tmp/letter.pdf"

# run_as_tester SECONDS NAME [action=SNIPPET] ENV... -- COMMAND...: starts
# COMMAND as the user under Xvfb, runs the shell snippet (if given) as the
# user two seconds later, waits SECONDS more, lists the visible windows, takes
# a screenshot and ends COMMAND. Fails when COMMAND is gone by then.
run_as_tester() {
  local seconds="$1" name="$2" action=":"
  shift 2
  if [[ "${1:-}" == action=* ]]; then action="${1#action=}"; shift; fi
  local environment=()
  while [[ "$1" != -- ]]; do environment+=("$1"); shift; done
  shift
  cat >"$CHROOT/tmp/run-$name.sh" <<EOF
#!/bin/sh
"\$@" >/tmp/$name.out 2>&1 &
pid=\$!
sleep 2
$action
sleep $seconds
if ! kill -0 \$pid 2>/dev/null; then
  wait \$pid; echo "exited early with status \$?"; exit 1
fi
for w in \$(xdotool search --onlyvisible --name . 2>/dev/null); do
  echo "window: \$(xdotool getwindowname \$w) (\$(xdotool getwindowgeometry \$w | sed -n 's/ *Geometry: //p'))"
done
xwd -root -silent >/tmp/$name.xwd
kill \$pid; wait \$pid 2>/dev/null
exit 0
EOF
  chmod 0755 "$CHROOT/tmp/run-$name.sh"
  rm -f "$CHROOT/tmp/$name.out" "$CHROOT/tmp/$name.xwd"
  local status=0
  in_root runuser -u tester -- env HOME=/home/tester "${environment[@]}" \
    xvfb-run -a -s "-screen 0 1280x800x24" /tmp/run-"$name".sh "$@" >"$OUT/$name.log" 2>&1 || status=$?
  cat "$OUT/$name.log"
  if [[ -f "$CHROOT/tmp/$name.out" ]]; then cp "$CHROOT/tmp/$name.out" "$OUT/$name.out"; fi
  if [[ -f "$CHROOT/tmp/$name.xwd" ]] && command -v convert >/dev/null; then
    convert "xwd:$CHROOT/tmp/$name.xwd" "$OUT/$name.png" && echo "screenshot: $OUT/$name.png"
  fi
  return $status
}

say "management mode: quillary (LANGUAGE=de)"
set +e
run_as_tester 7 management LANG=de_DE.UTF-8 LANGUAGE=de -- quillary
status=$?
set -e
((status == 0)) || { cat "$OUT/management.out" 2>/dev/null; fail "management mode did not stay up"; }
grep -q '^window: Quillary' "$OUT/management.log" || fail "management mode shows no Quillary window"
[[ -f "$CHROOT/home/tester/.local/share/app.quillary.Quillary/settings.plist" ]] \
  || fail "management mode made no store"
say "ok: management mode stays up, shows its window, made ~/.local/share/app.quillary.Quillary/settings.plist"

say "print-service mode: quillary /tmp/letter.pdf"
set +e
run_as_tester 4 print-service LANG=C.UTF-8 -- quillary /tmp/letter.pdf
status=$?
set -e
((status == 0)) || { cat "$OUT/print-service.out" 2>/dev/null; fail "print-service mode did not stay up"; }
grep -q '^window: .*letter' "$OUT/print-service.log" || fail "print-service mode shows no preview of letter.pdf"
grep -qx '/tmp/letter.pdf' "$OUT/print-service.out" || fail "print-service mode did not echo its argument"
say "ok: print-service mode shows the preview window of letter.pdf"

say "print agent: quillary --agent, and a job in the user's spool folder"
# The package's autostart entry starts the agent in every session (no
# template saved, no entry of the user's); the job file is what the backend
# would leave.
[[ -f "$CHROOT/etc/xdg/autostart/app.quillary.Quillary-agent.desktop" ]] || fail "the package installed no autostart entry"
in_root install -d -o tester -g tester -m 0700 /var/spool/quillary/tester
job=/var/spool/quillary/tester
set +e
run_as_tester 5 agent "action=cp /tmp/letter.pdf $job/.7.part && mv $job/.7.part $job/7-Offer.pdf" \
  LANG=C.UTF-8 -- quillary --agent
status=$?
set -e
((status == 0)) || { cat "$OUT/agent.out" 2>/dev/null; fail "the agent did not stay up"; }
grep -q '^window: 7-Offer.pdf - Quillary' "$OUT/agent.log" || fail "the agent opened no preview of the job"
say "ok: the agent opened the job's preview window"

say "apt-get purge quillary"
in_root apt-get purge -y -q quillary >"$OUT/purge.log" 2>&1 || { tail -20 "$OUT/purge.log"; fail "purge"; }
[[ ! -e "$CHROOT/usr/bin/quillary" && ! -e "$CHROOT/var/spool/quillary" \
   && ! -e "$CHROOT/etc/xdg/autostart/app.quillary.Quillary-agent.desktop" ]] || fail "purge left files behind"
say "ok: purged, nothing left"
say "the package installs and starts on Debian $(cat "$CHROOT/etc/debian_version")"
