#!/bin/sh
# Prints the sample receipt through every Linux library to virtual printers.
# usage: run.sh BUILD_DIR  (JAVA names the java launcher, default java)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
# The one jar a till needs: it loads its own native libraries.
jars="$build/vela-brevant.jar:$build/java/printer_sim.jar:$build/java/receipt_demo.jar"
PYTHONPATH="$root/printer_sim/python" exec /usr/bin/python3 -m printer_sim.run -- \
  "${JAVA:-java}" -cp "$jars" com.kelvora.demo.ReceiptDemo
