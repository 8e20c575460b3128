#!/usr/bin/env bash
# Starts the desktop program when it is built and a display is there, else the headless
# station. PALAVERLY_BUILD_DIR picks another build tree (default build/default).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PALAVERLY_BUILD_DIR:-build/default}
desktop=$build/src/desktop/palaverly
headless=$build/src/headless/palaverlyd

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # Without a display Qt would only fail in its platform plugin.
    if [ -x "$headless" ]; then
        echo "run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): starting the headless station palaverlyd; type commands, 'quit' ends it" >&2
        exec "$headless" "$@"
    fi
elif [ -x "$desktop" ]; then
    exec "$desktop" "$@"
elif [ -x "$headless" ]; then
    exec "$headless" "$@"
fi
echo "run: nothing built to run in $build" >&2
exit 1
