#!/usr/bin/env bash
# Installs what is missing, builds Orvalink and shows it working: makes a
# document from a fresh (erased) QM-5100 memory image and reads it back.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
cli=build/tools/orvalink-cli
work=build/demo
mkdir -p "$work"
# A fresh image is erased flash: 1081334 bytes of 0xFF.
head -c 1081334 /dev/zero | tr '\0' '\377' > "$work/fresh-image.bin"
"$cli" pack "$work/fresh-image.bin" "$work/fresh.vmcf" --kind 100 --model 2000 --version 1.05
"$cli" info "$work/fresh.vmcf"
"$cli" devices "$work/fresh.vmcf"
