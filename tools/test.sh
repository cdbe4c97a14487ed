#!/usr/bin/env bash
# Installs what is missing, builds everything (warnings are errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Release -DZARN_WERROR=ON
cmake --build build-test -j"$(nproc)"
(cd build-test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")
# The core's tests once more under ThreadSanitizer: the step file is formatted and written by two
# threads, and a data race there would corrupt result files without failing any other test.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARN_TSAN=ON -DZARN_BUILD_GUI=OFF \
  -DZARN_BUILD_BENCH=OFF -DZARN_WERROR=ON
cmake --build build-tsan -j"$(nproc)"
(cd build-tsan && ctest --output-on-failure -j"$(nproc)")
# Once more under AddressSanitizer and UndefinedBehaviorSanitizer (float-cast-overflow too): every
# target builds there, the picture and Python modules included, and the core's and the runner's
# tests run, the Python module's with the sanitizers' runtime loaded first.
cmake --preset asan
cmake --build build-asan -j"$(nproc)"
(cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" \
  -L '^test_(models|flight|input|output|answers|tools)$' && ctest --output-on-failure -R '^Python\.Module$')
