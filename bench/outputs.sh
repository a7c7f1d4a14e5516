#!/usr/bin/env bash
# Converts every PDF of the corpus (or of the folders given after the output
# folder) in the four layouts and the picture extraction run into OUTDIR,
# one subfolder per run kind, so that two builds can be compared byte for
# byte with `cmp -r` (or `diff -r`) on their output folders.
#
#   bench/outputs.sh OUTDIR [--quillmark PROGRAM] [FOLDER ...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:?usage: outputs.sh OUTDIR [--quillmark PROGRAM] [FOLDER ...]}"
shift
qm="$here/../build/release/quillmark"
if [ "${1:-}" = "--quillmark" ]; then qm="$2"; shift 2; fi
folders=("$@")
[ ${#folders[@]} -eq 0 ] && folders=("$here/../../shared/corpus")
mkdir -p "$out"
for folder in "${folders[@]}"; do
    for pdf in "$folder"/*.pdf; do
        for layout in flowing exact no-images plain-text; do
            mkdir -p "$out/$layout"
            "$qm" -q -l "$layout" -o "$out/$layout" "$pdf" 2>>"$out/$layout.log"
            rc=$?
            echo "${pdf##*/} exit $rc" >>"$out/$layout.log"
        done
        mkdir -p "$out/images"
        "$qm" -q -x -o "$out/images" "$pdf" 2>>"$out/images.log"
        rc=$?
        echo "${pdf##*/} exit $rc" >>"$out/images.log"
        mkdir -p "$out/images-png"
        "$qm" -q -x --image-format png -o "$out/images-png" "$pdf" 2>>"$out/images-png.log"
        rc=$?
        echo "${pdf##*/} exit $rc" >>"$out/images-png.log"
    done
done
