#!/usr/bin/env bash
# Fails when a C++ source of the project differs from what .clang-format makes of it.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
mapfile -t files < <(find records models flight output answers plot runner ui tools assets tests bench \
                          -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run -Werror "${files[@]}"
echo "${#files[@]} files formatted as .clang-format says"
