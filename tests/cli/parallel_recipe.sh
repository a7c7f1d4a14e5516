#!/usr/bin/env bash
# The GNU parallel recipe of docs/batch.md, run against two "hosts" that
# are this machine (a stand-in for ssh runs the command here, each host with
# an output folder of its own): the run is killed part-way (SIGTERM, then
# SIGKILL to all of it), resumed with --resume-failed, and every document
# must then be there once, whole, with the bytes of a clean run.
#
#   parallel_recipe.sh QUILLMARK
set -euo pipefail
qm="$(realpath "${1:?usage: parallel_recipe.sh QUILLMARK}")"
if ! command -v parallel >/dev/null; then
    # CI installs it (scripts/install-deps.sh); elsewhere the test is skipped.
    if [ -n "${CI:-}" ]; then echo "GNU parallel is missing" >&2; exit 1; fi
    echo "GNU parallel is missing: skipped"; exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/config"
mkdir -p "$TMPDIR" "$XDG_CONFIG_HOME" bin in
ln -s "$qm" bin/quillmark
export PATH="$work/bin:$PATH"

# ssh HOST COMMAND: runs COMMAND here, telling it its host.
cat > bin/fake-ssh <<'SSH'
#!/usr/bin/env bash
while [[ $1 == -* ]]; do shift; done
host=$1; shift
[[ ${1:-} == -- ]] && shift
# parallel's remote wrapper starts the job with the login shell that a real
# ssh session sets; a CI runner's environment may have none.
export QM_HOST=$host SHELL=${SHELL:-/bin/bash}
exec bash -c "$*"
SSH
chmod +x bin/fake-ssh

# Ten PDFs of a few pages each, one with a picture per page.
for i in $(seq 1 10); do
    {
        echo '%!PS'
        echo '/Helvetica findfont 20 scalefont setfont'
        for p in $(seq 1 $((i % 4 + 2))); do
            echo "72 700 moveto (File $i page $p) show"
            if [ "$i" = 3 ]; then
                echo 'gsave 100 100 translate 100 100 scale 2 2 8 [2 0 0 2 0 0] {<ff0000 00ff00 0000ff ffff00>} false 3 colorimage grestore'
            fi
            echo showpage
        done
    } > "in/file$i.ps"
    gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="in/file$i.pdf" "in/file$i.ps"
done
ls "$work"/in/*.pdf > list.txt
quillmark -q -o clean $(cat list.txt)

# The recipe: one job per file, spread over the hosts; a file that failed
# for a passing reason (exit 75) or was stopped is run again on resuming.
recipe() {
    parallel --will-cite --ssh fake-ssh -S 1/hostA,1/hostB --joblog "$work/joblog" "$@" \
        'quillmark -q --skip-existing --exit-codes=batch --timeout 120 --max-memory 2048 -o "'"$work"'/out-$QM_HOST" {}' \
        :::: list.txt
}

# Killed part-way: the engine's SIGTERM to everything, then SIGKILL.
setsid bash -c "$(declare -f recipe); work='$work'; recipe" >/dev/null 2>&1 &
leader=$!
# Killed once a few jobs are done and others are running: polled, since the
# jobs take a fraction of a second each and a fixed delay often missed them.
for _ in $(seq 200); do
    [ "$(grep -c . "$work/joblog" 2>/dev/null || echo 0)" -ge 3 ] && break
    sleep 0.05
done
kill -TERM -- "-$leader" 2>/dev/null || true
sleep 0.3
kill -KILL -- "-$leader" 2>/dev/null || true
wait "$leader" 2>/dev/null || true
echo "killed after $(($(grep -c . "$work/joblog" 2>/dev/null || echo 1) - 1)) finished jobs"

recipe --resume-failed

status=0
fail() { echo "FAIL: $*" >&2; status=1; }
for pdf in $(cat list.txt); do
    name="$(basename "$pdf" .pdf).rtf"
    found=0
    for host in hostA hostB; do
        if [ -e "out-$host/$name" ]; then
            found=1
            cmp -s "clean/$name" "out-$host/$name" || fail "out-$host/$name differs from a clean run"
        fi
    done
    [ "$found" = 1 ] || fail "$name is missing"
done
# Ours only: parallel's own job files stay behind when it is killed.
leftovers="$(find out-hostA out-hostB -name '.~*' 2>/dev/null; find "$TMPDIR" -mindepth 1 -maxdepth 1 -name 'quillmark-*')"
[ -z "$leftovers" ] || fail "left behind: $leftovers"
# The last line of every job in the job log says it succeeded.
awk -F'\t' 'NR > 1 { last[$1] = $7 } END { for (s in last) if (last[s] != 0) { print "job " s " ended " last[s]; bad = 1 } exit bad }' \
    joblog || fail "a job did not succeed on resuming"
[ "$(awk -F'\t' 'NR > 1 { print $1 }' joblog | sort -u | wc -l)" = 10 ] || fail "the job log does not hold every job"
exit $status
