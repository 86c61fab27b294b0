#!/bin/sh
# Builds the benchmark in release mode and runs it; the data is generated on the first run
# into build-bench/bin/benchdata (about 1 GB).
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target photoseries-bench -j"$(nproc)"
exec build-bench/bin/photoseries-bench "$@"
