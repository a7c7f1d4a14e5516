#!/usr/bin/env bash
# Throughput of `quillmark --jobs N` against N separate quillmark processes
# (each given one shard of the list) and against one process converting
# every file in turn, on the corpus (or the PDFs of the folders given) in
# the FLOWING layout. Also checks that every run made the same bytes.
#
#   bench/jobs.sh [--quillmark PROGRAM] [--jobs N] [FOLDER ...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
qm="$here/../build/release/quillmark"
n="$(nproc)"
while [ $# -gt 0 ]; do
    case "$1" in
        --quillmark) qm="$2"; shift 2 ;;
        --jobs) n="$2"; shift 2 ;;
        *) break ;;
    esac
done
folders=("$@")
[ ${#folders[@]} -eq 0 ] && folders=("$here/../../shared/corpus")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for f in "${folders[@]}"; do ls "$f"/*.pdf; done > "$work/list"
count="$(wc -l < "$work/list")"

seconds() { local t0 t1; t0=$(date +%s.%N); "$@"; t1=$(date +%s.%N); echo "$t1 - $t0" | bc; }
one() { "$qm" -q --from-list "$work/list" -o "$work/one" 2>/dev/null; }
jobs() { "$qm" -q --from-list "$work/list" --jobs "$n" -o "$work/jobs" 2>/dev/null; }
separate() {
    local i
    for i in $(seq 0 $((n - 1))); do
        "$qm" -q --from-list "$work/list" --shard "$i/$n" -o "$work/separate" 2>/dev/null &
    done
    wait
}

echo "machine: $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$count files, N = $n"
t1=$(seconds one)
tj=$(seconds jobs)
ts=$(seconds separate)
printf '%-28s %8s %10s %10s\n' run seconds files/s "of linear"
printf '%-28s %8.2f %10.2f %10s\n' "one process" "$t1" "$(echo "$count / $t1" | bc -l)" "-"
printf '%-28s %8.2f %10.2f %9.0f%%\n' "--jobs $n" "$tj" "$(echo "$count / $tj" | bc -l)" \
    "$(echo "100 * $t1 / ($tj * $n)" | bc -l)"
printf '%-28s %8.2f %10.2f %9.0f%%\n' "$n separate processes" "$ts" "$(echo "$count / $ts" | bc -l)" \
    "$(echo "100 * $t1 / ($ts * $n)" | bc -l)"
same=yes
diff -rq "$work/one" "$work/jobs" >/dev/null || same=no
diff -rq "$work/one" "$work/separate" >/dev/null || same=no
echo "same bytes in every run: $same"
[ "$n" -ge "$(nproc)" ] && [ "$(nproc)" -le 2 ] &&
    echo "note: $(nproc) cores here; scaling beyond that needs a machine with more."
[ "$same" = yes ]
