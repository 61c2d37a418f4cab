#!/bin/sh
# Builds everything and prints a sample receipt to virtual printers.
set -eu
cd "$(dirname "$0")/.."
sh scripts/build.sh
cmake --build build --target demo
