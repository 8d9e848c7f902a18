#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under a virtual X
# server and a private D-Bus session.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/packages.sh
./scripts/build.sh
XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- \
  ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)" --timeout 300
