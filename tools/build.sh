#!/usr/bin/env bash
# Configures and builds both trees: build/native (portable core, sanitizers,
# fuzzers, benchmarks) and build/win32 (UNKETRA32.EXE as shipped) and build/win64 (the
# same program, the Win32 tests and the tools, built for 64-bit Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KETRA_BUILD_ROOT:-$root/build}
jobs=$(nproc)
cmake -S "$root" -B "$out/native" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out/native" -j "$jobs"
# The product: 32-bit, as shipped.
# With the test tools, for the scenarios that run on the shipped program.
cmake -S "$root" -B "$out/win32" -DCMAKE_BUILD_TYPE=Release -DKETRA_TESTS=OFF -DKETRA_SHIPPED_TESTS=ON \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$out/win32" -j "$jobs"
# The same sources for 64-bit Windows: what the Wine tests run.
cmake -S "$root" -B "$out/win64" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
cmake --build "$out/win64" -j "$jobs"
