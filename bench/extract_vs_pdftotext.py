#!/usr/bin/env python3
"""Times the text extraction step (`quillmark --page-xml`) against pdftotext.

For every PDF of the corpus both programs run alternately in the same run,
REPEAT times each; a file's time is the median of its runs. The script
prints a table and the median over files of our time / pdftotext's time.
A file that either program cannot read (damaged, password) is skipped.

usage: extract_vs_pdftotext.py [--quillmark PATH] [--corpus DIR] [--repeat N]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run_timed(argv):
    start = time.perf_counter()
    result = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start, result.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quillmark", default=os.path.join(HERE, "..", "build", "quillmark"))
    parser.add_argument("--corpus", default=os.path.join(HERE, "..", "..", "shared", "corpus"))
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    pdfs = sorted(f for f in os.listdir(args.corpus) if f.lower().endswith(".pdf"))
    if not pdfs:
        sys.exit("no PDF files in " + args.corpus)

    ratios = []
    total_ours = total_theirs = 0.0
    print(f"{'file':28} {'quillmark s':>12} {'pdftotext s':>12} {'ratio':>7}")
    with tempfile.TemporaryDirectory() as tmp:
        xml = os.path.join(tmp, "out.xml")
        txt = os.path.join(tmp, "out.txt")
        for name in pdfs:
            pdf = os.path.join(args.corpus, name)
            ours, theirs = [], []
            failed = False
            for _ in range(args.repeat):
                t, rc = run_timed([args.quillmark, "--page-xml", xml, pdf])
                failed |= rc != 0
                ours.append(t)
                t, rc = run_timed(["pdftotext", pdf, txt])
                failed |= rc != 0
                theirs.append(t)
            if failed:
                print(f"{name:28} {'skipped (a program could not read it)':>33}")
                continue
            a, b = statistics.median(ours), statistics.median(theirs)
            total_ours += a
            total_theirs += b
            ratios.append(a / b)
            print(f"{name:28} {a:12.3f} {b:12.3f} {a / b:7.2f}")
    print(f"total time ratio: {total_ours / total_theirs:.2f}")
    print(f"median ratio (quillmark / pdftotext) over {len(ratios)} files: {statistics.median(ratios):.2f}")


if __name__ == "__main__":
    main()
