#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program. Without a display it runs
# the first preset headless instead and leaves the result files and the graph in results/ of the
# repository (ignored by git).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target zarn zarn-batch zarn_python
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the first preset headless instead."
  out="$root/results"
  mkdir -p "$out"
  "$root/build/tools/zarn-batch" --preset 0 --dir "$out" --png "$out/zarn_graph.png"
  echo "Wrote: $out/Zarn Daten.txt, $out/Zarn_500.txt, $out/zarn_graph.png"
  exit 0
fi
exec "$root/build/ui/zarn"
