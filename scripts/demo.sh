#!/usr/bin/env bash
# Installs what is missing, builds, starts the local web service with its
# demo data and runs the client against it. The service stops when the
# client exits. Without a display the client runs under a virtual X server
# and signs in by itself as the demo account.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/packages.sh
./scripts/build.sh

DATA=${VISTRELLE_DEMO_DATA:-$HOME/.cache/vistrelle-demo}
mkdir -p "$DATA"
LOG=$(mktemp)
./build/bin/vistrelle-devserver --port 0 --data "$DATA" >"$LOG" 2>&1 &
SERVER=$!
trap 'kill $SERVER 2>/dev/null || true; rm -f "$LOG"' EXIT

URL=
for _ in $(seq 1 600); do
  URL=$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$LOG" | head -n1 || true)
  [ -n "$URL" ] && break
  kill -0 $SERVER 2>/dev/null || { cat "$LOG"; exit 1; }
  sleep 0.1
done
[ -n "$URL" ] || { echo "the local web service did not start" >&2; cat "$LOG"; exit 1; }
echo "Local web service: $URL (accounts demo/demo and marie/Motdepasse+1&)"

export VISTRELLE_API_URL=$URL
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  ./build/bin/vistrelle "$@"
else
  echo "No display: running under a virtual X server, signed in as demo."
  XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
  # No sound card behind a virtual display: the videos play silently.
  export VISTRELLE_VLC_ARGS=${VISTRELLE_VLC_ARGS:---aout=dummy}
  VISTRELLE_AUTOLOGIN=${VISTRELLE_AUTOLOGIN:-demo:demo} \
    xvfb-run -a -s "-screen 0 1280x800x24" ./build/bin/vistrelle "$@"
fi
