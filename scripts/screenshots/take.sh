#!/usr/bin/env bash
# Takes a PNG of each of the client's windows under a private Xvfb display, without a server:
# every window is opened directly (KESTROVA_OPEN_WINDOW) and saved once it has settled.
#
#   scripts/screenshots/take.sh [BUILD_DIR] [OUT_DIR] [WINDOW...]
#
# BUILD_DIR defaults to build, OUT_DIR to BUILD_DIR/screenshots; windows default to all of them:
# login subject exam exam4 result register recover.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build}
out=${2:-$build/screenshots}
shift $(( $# > 2 ? 2 : $# ))
windows=("$@")
[ ${#windows[@]} -gt 0 ] || windows=(login subject exam exam4 result register recover)

client=$build/bin/kestrova
[ -x "$client" ] || { echo "no client at $client; build the kestrova target first" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (package xvfb)" >&2; exit 1; }
mkdir -p "$out"

status=0
for window in "${windows[@]}"; do
    # A marker of its own, so a client the user is running is not disturbed; a gateway nobody
    # listens on, so the login window's look-up fails at once instead of reaching anything.
    if KESTROVA_OPEN_WINDOW=$window KESTROVA_SCREENSHOT=$out/$window.png \
        KESTROVA_INSTANCE_MARKER=kestrova-screenshots-$$ KESTROVA_GATEWAY=127.0.0.1:9 \
        QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" "$client" 2>"$out/$window.log"; then
        echo "$out/$window.png"
    else
        echo "failed: $window (see $out/$window.log)" >&2
        status=1
    fi
done
exit $status
