#!/usr/bin/env python3
"""Times Quillmark against pdftotext on the same PDFs, in one run.

For every PDF of the corpus (and of any folder given), each layout and the
picture extraction run are timed against `pdftotext` on the same file, the
two run alternately so that both see the same machine state. Prints, per
file and as medians: our time / pdftotext's time, pages per second and peak
memory, and writes the table as Markdown.

For the picture extraction run it also times Ghostscript alone rendering
the same final picture PostScript files in one process (the files are kept
by an extra, untimed run with QUILLMARK_KEEP_PICTURE_PS) and prints our
whole run's time against that, with the time per picture of each.

    bench/bench.py [--quillmark build/release/quillmark] [--repeat 3]
                   [--layouts flowing,exact,no-images,plain-text,images]
                   [--baseline OTHER_QUILLMARK]
                   [--out bench-results.md] [FOLDER ...]

With --baseline, another build (an earlier commit, say) is timed in the same
loop, alternating with ours and pdftotext, and the medians of both ratios are
printed side by side: a before-and-after comparison measured in one run.
"""

import argparse
import glob
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DEFAULT_CORPUS = os.path.join(ROOT, "..", "shared", "corpus")
LAYOUTS = ["flowing", "exact", "no-images", "plain-text", "images"]


def page_count(pdf):
    try:
        out = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, timeout=60).stdout
    except subprocess.TimeoutExpired:
        return 0
    m = re.search(r"^Pages:\s+(\d+)", out, re.M)
    return int(m.group(1)) if m else 0


def timed(cmd):
    """Runs cmd under /usr/bin/time -v; returns (seconds, peak KiB, status)."""
    full = ["/usr/bin/time", "-v"] + cmd if os.path.exists("/usr/bin/time") else cmd
    t0 = time.monotonic()
    p = subprocess.run(full, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace")
    dt = time.monotonic() - t0
    m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", p.stderr)
    return dt, int(m.group(1)) if m else 0, p.returncode


def layout_cmd(quillmark, layout, pdf, outdir):
    if layout == "images":
        return [quillmark, "-q", "-x", "--image-format", "png", "-o", outdir, pdf]
    return [quillmark, "-q", "-l", layout, "-o", outdir, pdf]


def keep_picture_files(quillmark, pdf, work):
    """Runs the picture extraction once with the final PostScript files kept; returns their paths."""
    keep = os.path.join(work, "keep")
    env = dict(os.environ, QUILLMARK_KEEP_PICTURE_PS=keep)
    subprocess.run(layout_cmd(quillmark, "images", pdf, os.path.join(work, "out")), env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return sorted(glob.glob(os.path.join(keep, "*.ps")))


def gs_one_process(files, work):
    """Times gs rendering `files` in one process, as png16m like the timed run."""
    t0 = time.monotonic()
    subprocess.run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-dNOPROMPT", "-sDEVICE=png16m",
                    "-sOutputFile=" + os.path.join(work, "gs%d.png")] + files,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - t0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("folders", nargs="*")
    ap.add_argument("--quillmark", default=os.path.join(ROOT, "build", "release", "quillmark"))
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--layouts", default=",".join(LAYOUTS))
    ap.add_argument("--only", default="", help="regular expression on file names")
    ap.add_argument("--out", default="bench-results.md")
    ap.add_argument("--baseline", default="", help="another quillmark program timed in the same loop")
    args = ap.parse_args()

    layouts = [l for l in args.layouts.split(",") if l]
    pdfs = []
    for folder in [DEFAULT_CORPUS] + args.folders:
        pdfs += sorted(glob.glob(os.path.join(folder, "*.pdf")))
    if args.only:
        pdfs = [p for p in pdfs if re.search(args.only, os.path.basename(p))]
    if not os.path.exists(args.quillmark):
        sys.exit("no quillmark program at %s (build it first: ./run.sh builds build/release)" % args.quillmark)

    rows = []
    ratios = {l: [] for l in layouts}
    base_ratios = {l: [] for l in layouts}
    speeds = {l: [] for l in layouts}
    mems = {l: [] for l in layouts}
    gs_ratios = []
    for pdf in pdfs:
        name = os.path.basename(pdf)
        pages = page_count(pdf)
        if pages == 0:
            continue
        row = [name, str(pages)]
        for layout in layouts:
            ours, theirs, base, peak, status = [], [], [], 0, 0
            for i in range(args.repeat):
                work = tempfile.mkdtemp(prefix="qmbench-")
                try:
                    other = os.path.join(work, "baseline")
                    os.makedirs(other)
                    # The baseline goes first every other round, so that
                    # neither build always runs on a warmed cache.
                    if args.baseline and i % 2 == 1:
                        base.append(timed(layout_cmd(args.baseline, layout, pdf, other))[0])
                    dt, kb, status = timed(layout_cmd(args.quillmark, layout, pdf, work))
                    ours.append(dt)
                    peak = max(peak, kb)
                    dt2, _, _ = timed(["pdftotext", "-q", pdf, os.path.join(work, "ref.txt")])
                    theirs.append(dt2)
                    if args.baseline and i % 2 == 0:
                        base.append(timed(layout_cmd(args.baseline, layout, pdf, other))[0])
                finally:
                    shutil.rmtree(work, ignore_errors=True)
            o, t = statistics.median(ours), statistics.median(theirs)
            if base and t > 0 and status == 0:
                base_ratios[layout].append(statistics.median(base) / t)
            ratio = o / t if t > 0 else float("inf")
            if status == 0:
                ratios[layout].append(ratio)
                speeds[layout].append(pages / o if o > 0 else 0)
                mems[layout].append(peak / 1024)
            row.append("%.2f (%.0f p/s, %.0f MB)%s" % (ratio, pages / o if o > 0 else 0, peak / 1024,
                                                        "" if status == 0 else " exit %d" % status))
            if layout == "images":
                work = tempfile.mkdtemp(prefix="qmbench-")
                try:
                    files = keep_picture_files(args.quillmark, pdf, work)
                    gs_times = [gs_one_process(files, work) for _ in range(args.repeat)] if files else []
                finally:
                    shutil.rmtree(work, ignore_errors=True)
                if files:
                    g = statistics.median(gs_times)
                    gs_ratios.append(o / g if g > 0 else float("inf"))
                    row.append("%.2f (%d pictures, %.0f / %.0f ms each)" % (o / g if g > 0 else float("inf"),
                                                                         len(files), 1000 * o / len(files),
                                                                         1000 * g / len(files)))
                else:
                    row.append("-")
        rows.append(row)
        print(" | ".join(row), flush=True)

    header = ["file", "pages"]
    for l in layouts:
        header.append("%s: time/pdftotext (pages/s, peak)" % l)
        if l == "images":
            header.append("images: time/gs in one process (pictures, ours / gs per picture)")
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(r) + " |" for r in rows]
    med = ["**median**", ""]
    for l in layouts:
        if ratios[l]:
            med.append("%.2f (%.0f p/s, %.0f MB)" % (statistics.median(ratios[l]), statistics.median(speeds[l]),
                                                     statistics.median(mems[l])))
        else:
            med.append("-")
        if l == "images":
            med.append("%.2f" % statistics.median(gs_ratios) if gs_ratios else "-")
    lines.append("| " + " | ".join(med) + " |")
    with open(args.out, "w") as f:
        f.write("\n".join(lines) + "\n")
    print("\n".join(lines[-1:]))
    if args.baseline:
        for l in layouts:
            if ratios[l] and base_ratios[l]:
                print("%s: median time/pdftotext %.2f (baseline %.2f)" %
                      (l, statistics.median(ratios[l]), statistics.median(base_ratios[l])))
    print("table written to", args.out)


if __name__ == "__main__":
    main()
