#!/usr/bin/env python3
"""How long LibreOffice takes to open our documents.

Converts every PDF of the corpus (or the PDFs given) in FLOWING, EXACT and
NO IMAGES, then has LibreOffice open each document (headless, converted to
PDF, with a private profile) and prints, per file and layout: our conversion
time, LibreOffice's time, the number of shapes in the document ({\\shp
groups), and the ratio of LibreOffice's time to its time for the NO IMAGES
document of the same PDF, which carries no shapes or pictures and is the
reference. A conversion or an open that takes longer than the time-out
counts as failed and shows as "timeout".

    bench/lo_open.py [--quillmark PROGRAM] [--timeout S] [--only REGEX]
                     [--out DIR] [PDF ...]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
LAYOUTS = ["no-images", "flowing", "exact"]


def run_timed(argv, timeout, env=None):
    """Runs argv in its own process group; (seconds, exit status or None on time-out)."""
    start = time.monotonic()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env,
                            start_new_session=True)
    try:
        rc = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, 9)
        proc.wait()
        rc = None
    return time.monotonic() - start, rc


def lo_open(document, outdir, profile, timeout):
    """LibreOffice's time to open `document` and write it as PDF; None on failure."""
    argv = ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--norestore",
            "--convert-to", "pdf", "--outdir", outdir, document]
    seconds, rc = run_timed(argv, timeout)
    pdf = os.path.join(outdir, os.path.splitext(os.path.basename(document))[0] + ".pdf")
    if rc != 0 or not os.path.exists(pdf):
        return None
    return seconds


def shape_count(document):
    with open(document, "rb") as f:
        return f.read().count(b"{\\shp")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--quillmark", default=os.path.join(HERE, "..", "build", "release", "quillmark"))
    ap.add_argument("--timeout", type=float, default=600, help="seconds per conversion and per open")
    ap.add_argument("--only", help="only the PDFs whose names match this regular expression")
    ap.add_argument("--out", help="keep the documents and renderings here")
    ap.add_argument("pdfs", nargs="*")
    args = ap.parse_args()

    pdfs = args.pdfs or sorted(
        os.path.join(HERE, "..", "..", "shared", "corpus", name)
        for name in os.listdir(os.path.join(HERE, "..", "..", "shared", "corpus")) if name.endswith(".pdf"))
    if args.only:
        pdfs = [p for p in pdfs if re.search(args.only, os.path.basename(p))]

    work = args.out or tempfile.mkdtemp(prefix="lo_open.")
    profile = tempfile.mkdtemp(prefix="lo_open_profile.")
    print("%-24s %-9s %8s %8s %7s %7s" % ("file", "layout", "ours_s", "lo_s", "shapes", "lo/ref"))
    worst = 0.0
    try:
        for pdf in pdfs:
            name = os.path.basename(pdf)
            reference = None
            for layout in LAYOUTS:
                outdir = os.path.join(work, layout)
                os.makedirs(outdir, exist_ok=True)
                document = os.path.join(outdir, os.path.splitext(name)[0] + ".rtf")
                if os.path.exists(document):
                    os.remove(document)
                ours, rc = run_timed([args.quillmark, "-q", "-l", layout, "-o", outdir, pdf], args.timeout)
                if rc != 0 or not os.path.exists(document):
                    print("%-24s %-9s %8s %8s %7s %7s" % (name, layout, "failed" if rc is not None else "timeout",
                                                          "-", "-", "-"))
                    continue
                rendered = os.path.join(outdir, "rendered")
                os.makedirs(rendered, exist_ok=True)
                lo = lo_open(document, rendered, profile, args.timeout)
                if layout == "no-images":
                    reference = lo
                elif lo is None:
                    worst = float("inf")
                ratio = "-"
                if lo is not None and reference:
                    ratio = "%.2f" % (lo / reference)
                    if layout != "no-images":
                        worst = max(worst, lo / reference)
                print("%-24s %-9s %8.2f %8s %7d %7s" % (name, layout, ours, "%.2f" % lo if lo is not None else "timeout",
                                                        shape_count(document), ratio), flush=True)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
        if not args.out:
            shutil.rmtree(work, ignore_errors=True)
    print("largest LibreOffice time over its NO IMAGES time: %.2f" % worst)
    return 0


if __name__ == "__main__":
    sys.exit(main())
