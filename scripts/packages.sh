#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need,
# when any is missing. Non-interactive; needs root (or sudo).
set -euo pipefail
PKGS=(cmake ninja-build pkg-config g++ qt6-base-dev libqt6sql6-sqlite qt6-httpserver-dev
  qt6-websockets-dev qt6-webengine-dev qt6-svg-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libvlc-dev libvlc-bin vlc-plugin-base vlc-plugin-video-output xvfb xauth dbus ffmpeg fonts-liberation2
  curl)
if dpkg -s "${PKGS[@]}" >/dev/null 2>&1; then
  exit 0
fi
SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${PKGS[@]}"
