#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program. Without a display it runs
# the first preset headless instead and leaves the result files and the graph in this directory.
set -euo pipefail
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target zarn zarn-batch zarn_python
cd "$here"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the first preset headless instead."
  "$root/build/tools/zarn-batch" --preset 0 --png "zarn_graph.png"
  echo "Wrote: $here/Zarn Daten.txt, $here/Zarn_500.txt, $here/zarn_graph.png"
  exit 0
fi
exec "$root/build/ui/zarn"
