#!/usr/bin/env bash
# Starts the desktop program when it is built, else the headless station.
set -euo pipefail
cd "$(dirname "$0")/.."
for p in build/default/src/shell/desktop/palaverly build/default/src/shell/palaverlyd; do
    if [ -x "$p" ]; then
        exec "$p" "$@"
    fi
done
echo "run: nothing built to run" >&2
exit 1
