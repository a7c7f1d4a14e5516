#!/usr/bin/env bash
# Set-up and conversion in one step: installs what is missing, builds the
# release program and converts the given PDFs (a bundled sample by default)
# into ./out/.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)" --target quillmark >/dev/null
if [ $# -eq 0 ]; then set -- examples/sample.pdf; fi
mkdir -p out
build/release/quillmark -o out "$@"
echo "Documents are in $(pwd)/out/"
