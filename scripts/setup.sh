#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: packages already present are skipped; `apt-get update` runs at most once, and only
# when something is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libpango1.0-dev libsdl2-dev libcurl4-openssl-dev
  nlohmann-json3-dev libtinyxml2-dev libcpp-httplib-dev
  libsdbus-c++-dev libsystemd-dev librsvg2-dev
  # run and test
  ca-certificates dbus python3-dbusmock python3-dbus xvfb xauth xdotool x11-apps imagemagick openbox
  # the dialog tests under a second window manager, and the X utilities that ask the window
  # manager about a window (xprop, xwininfo)
  metacity x11-utils
  xfonts-base fonts-dejavu-core fonts-noto-core fonts-noto-cjk xdg-utils
  # the firmware screen writes dates in the user's language (ko_KR.UTF-8, en_US.UTF-8, ...)
  locales-all
  # the BlueZ backend finds an RFCOMM channel in the earbuds' SDP records itself when BlueZ
  # offers no profile for it
  libbluetooth-dev
  # packaging: the Debian package, its checks, the per-user installer, manual pages, completion
  dpkg-dev fakeroot lintian desktop-file-utils appstream makeself txt2man bash-completion
  # the program on a Wayland compositor and popups over a compositing X desktop (tests)
  weston xcompmgr
  # the desktop scale (Xft.dpi) is read from the X resource database
  libx11-dev
  # menus, tooltips and dialogs on Wayland are xdg popups the backend maps itself
  wayland-protocols libwayland-dev libwayland-bin
  # the accessibility bus and registry, and the screen-reader side the accessibility tests drive
  at-spi2-core python3-pyatspi
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
