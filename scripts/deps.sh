#!/usr/bin/env bash
# Installs the Debian packages Quillary builds and tests with, when missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-pdf-dev qt6-svg-dev qt6-multimedia-dev
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
  libqpdf-dev libplist-dev libicu-dev libbenchmark-dev
  qpdf poppler-utils xvfb xauth imagemagick fonts-dejavu-core
  # The print target: libcups for the backend; a private cupsd, its clients
  # and the PDF filter (pdftopdf) for the printing tests.
  libcups2-dev cups-daemon cups-client cups-filters-core-drivers
  # Office letterhead printers: the generic PDF printer driver and
  # PostScript-to-PDF conversion the tests print through; ppdc for the
  # rasterising driver bench/office-letterhead measures against.
  cups-filters cups-ppdc
  # The desktop package: Qt's own German texts, the checks of the desktop
  # entries and the AppStream file, and what CPack's Debian generator runs
  # (dpkg-shlibdeps, file).
  qt6-translations-l10n desktop-file-utils appstream dpkg-dev file
  # Stationery made fit for PDF/A outputs: colour profiles (Little CMS, and
  # the CMYK characterisation ghostscript's data ships), metric-compatible
  # fonts found through fontconfig and measured with FreeType.
  liblcms2-dev libfontconfig-dev libfreetype-dev libgs10-common
  fonts-urw-base35 fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea
  # The desktop's own file dialog through the XDG desktop portal.
  qt6-xdgdesktopportal-platformtheme
  # A private session bus for the tests of desktop notifications.
  dbus-daemon
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=()
if [[ $(id -u) -ne 0 ]]; then
  SUDO=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
