#!/usr/bin/env bash
# Fails when clang-format (with the root's .clang-format) would change any of the project's own
# C and C++ sources, and names the places.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
