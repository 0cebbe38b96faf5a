#!/usr/bin/env bash
# The README's main command: installs what the build needs, builds the
# native preset (only the front end and what it uses) and starts the
# installer on a simulated Windows machine in this terminal.
# Arguments go to installer_tui (try --help).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The front end needs only the native tools; the Wine layer is the tests'.
SKIP_WINE=1 bash "$ROOT/scripts/install-deps.sh"
cmake --preset native -S "$ROOT" >/dev/null
cmake --build "$ROOT/build/native" --target installer_tui
exec "$ROOT/build/native/tools/terminal/installer_tui" "$@"
