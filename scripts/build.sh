#!/bin/sh
# Configures and builds everything into ./build.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j "$(nproc)"
