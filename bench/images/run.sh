#!/usr/bin/env bash
# Time per picture of the picture route on the corpus PDFs that have
# pictures: a FLOWING document conversion, the image-extraction run (PNG),
# and Poppler's pdfimages on the same PDFs in the same run, for scale.
# Also compares each extracted picture's pixel size with pdfimages -list
# (pictures turned on the page come out turned, so their sides swap).
#
#   bench/images/run.sh [build-dir] [pdf...]
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$here/build}"
shift || true
cli="$build/quillmark"
corpus="$here/../shared/corpus"
if [ "$#" -gt 0 ]; then pdfs=("$@"); else
  pdfs=("$corpus/flowers-photo.pdf" "$corpus/beamer-verona.pdf" "$corpus/bjfu-mission-word.pdf"
        "$corpus/dottyguide-type3.pdf" "$corpus/ocr-scan-b.pdf" "$corpus/semsamp3-rot270.pdf")
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
printf '%-26s %6s %12s %12s %12s %s\n' "pdf" "pics" "document/pic" "extract/pic" "pdfimages/pic" "sizes"
tot_pics=0; tot_doc=0; tot_x=0; tot_pi=0
for pdf in "${pdfs[@]}"; do
  name="$(basename "$pdf" .pdf)"
  pics=$(pdfimages -list "$pdf" 2>/dev/null | tail -n +3 | grep -vc ' smask ' || true)
  [ "$pics" -gt 0 ] || continue
  t0=$(now); "$cli" -q -l flowing -o "$work/doc" "$pdf" >/dev/null 2>&1 || true; t1=$(now)
  "$cli" -q -x --image-format png -o "$work/x" "$pdf" >/dev/null 2>&1 || true; t2=$(now)
  mkdir -p "$work/pi/$name"; pdfimages -png "$pdf" "$work/pi/$name/img" 2>/dev/null || true; t3=$(now)
  # Sizes: every pdfimages entry (page, width, height) against our files.
  ok=0; turned=0; bad=0
  while read -r page num type w h rest; do
    [ "$type" = smask ] && continue
    found=0
    for f in "$work/x/$name-$page"/imagefile*.png; do
      [ -f "$f" ] || continue
      dims=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24]))' "$f")
      if [ "$dims" = "$w $h" ]; then found=1; break; fi
      if [ "$dims" = "$h $w" ]; then found=2; fi
    done
    case $found in 1) ok=$((ok+1));; 2) turned=$((turned+1));; *) bad=$((bad+1));; esac
  done < <(pdfimages -list "$pdf" 2>/dev/null | tail -n +3)
  d=$(calc "$t1 - $t0"); x=$(calc "$t2 - $t1"); p=$(calc "$t3 - $t2")
  printf '%-26s %6d %11.3fs %11.3fs %12.3fs same %d, turned %d, missing %d\n' "$name" "$pics" \
    "$(calc "$d / $pics")" "$(calc "$x / $pics")" "$(calc "$p / $pics")" "$ok" "$turned" "$bad"
  tot_pics=$((tot_pics+pics)); tot_doc=$(calc "$tot_doc + $d"); tot_x=$(calc "$tot_x + $x"); tot_pi=$(calc "$tot_pi + $p")
done
[ "$tot_pics" -gt 0 ] && printf '%-26s %6d %11.3fs %11.3fs %12.3fs\n' "all" "$tot_pics" \
  "$(calc "$tot_doc / $tot_pics")" "$(calc "$tot_x / $tot_pics")" "$(calc "$tot_pi / $tot_pics")"
