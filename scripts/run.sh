#!/usr/bin/env bash
# Starts the editor from a build tree on the bundled sample library. Without a display it
# says so, starts the editor on a virtual X server instead, and writes a picture of it to
# <build>/pictures/editor.png.
set -euo pipefail
build=${1:-build}
editor="$build/bin/tavrel"
library="$build/share/tavrel/Motion"
pictures="$build/pictures"
[ -x "$editor" ] || { echo "run: $editor is not built yet" >&2; exit 1; }
[ -d "$library" ] || { echo "run: no sample library in $library" >&2; exit 1; }

# A new user's motion library is filled from the sample library at the first start.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$editor"
fi

echo "run: no display found; starting the editor on a virtual X server (xvfb-run) and taking a picture of it"
mkdir -p "$pictures"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
rm -f "$pictures/editor.png"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$editor" --screenshot "$pictures/editor.png" >/dev/null
if [ ! -f "$pictures/editor.png" ]; then
  echo "run: no picture was taken (another editor of this user may be running)" >&2
  exit 1
fi
echo "$pictures/editor.png"
