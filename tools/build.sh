#!/usr/bin/env bash
# Configures and builds both trees: build/native (portable core, sanitizers,
# fuzzers, benchmarks) and build/win32 (UNKETRA32.EXE, Win32 tests, tools).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KETRA_BUILD_ROOT:-$root/build}
jobs=$(nproc)
cmake -S "$root" -B "$out/native" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out/native" -j "$jobs"
cmake -S "$root" -B "$out/win32" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$out/win32" -j "$jobs"
