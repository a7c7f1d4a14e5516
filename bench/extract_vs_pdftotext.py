#!/usr/bin/env python3
"""Times the text extraction step (`quillmark --page-xml`) against pdftotext.

For every PDF of the corpus both programs run alternately in the same run,
REPEAT times each; a file's time is the median of its runs. Two times are
taken per run: the wall-clock time, and the processor time (user + system)
of the child, which is the steadier figure on a machine shared with other
work. The script prints a table and, for both, the median over files of our
time / pdftotext's time. A file that either program cannot read (damaged,
password) is skipped.

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
    """Returns (wall seconds, processor seconds, exit status) of one run."""
    start = time.perf_counter()
    with open(os.devnull, "wb") as null:
        proc = subprocess.Popen(argv, stdout=null, stderr=null)
        _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_utime + usage.ru_stime, proc.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quillmark", default=os.path.join(HERE, "..", "build", "quillmark"))
    parser.add_argument("--corpus", default=os.path.join(HERE, "..", "..", "shared", "corpus"))
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    pdfs = sorted(f for f in os.listdir(args.corpus) if f.lower().endswith(".pdf"))
    if not pdfs:
        sys.exit("no PDF files in " + args.corpus)

    wall_ratios, cpu_ratios = [], []
    totals = [0.0, 0.0, 0.0, 0.0]
    print(f"{'file':26} {'ours wall':>10} {'theirs':>8} {'ratio':>6}   {'ours cpu':>9} {'theirs':>8} {'ratio':>6}")
    with tempfile.TemporaryDirectory() as tmp:
        xml = os.path.join(tmp, "out.xml")
        txt = os.path.join(tmp, "out.txt")
        for name in pdfs:
            pdf = os.path.join(args.corpus, name)
            runs = {"ours": ([], []), "theirs": ([], [])}
            failed = False
            for _ in range(args.repeat):
                for who, argv in (("ours", [args.quillmark, "--page-xml", xml, pdf]),
                                  ("theirs", ["pdftotext", pdf, txt])):
                    wall, cpu, rc = run_timed(argv)
                    failed |= rc != 0
                    runs[who][0].append(wall)
                    runs[who][1].append(cpu)
            if failed:
                print(f"{name:26} skipped (a program could not read it)")
                continue
            ow, oc = (statistics.median(v) for v in runs["ours"])
            tw, tc = (statistics.median(v) for v in runs["theirs"])
            for i, v in enumerate((ow, tw, oc, tc)):
                totals[i] += v
            wall_ratios.append(ow / tw)
            cpu_ratios.append(oc / tc)
            print(f"{name:26} {ow:10.3f} {tw:8.3f} {ow / tw:6.2f}   {oc:9.3f} {tc:8.3f} {oc / tc:6.2f}")
    print(f"total time ratio: wall {totals[0] / totals[1]:.2f}, processor {totals[2] / totals[3]:.2f}")
    print(f"median ratio (quillmark / pdftotext) over {len(cpu_ratios)} files: "
          f"wall {statistics.median(wall_ratios):.2f}, processor {statistics.median(cpu_ratios):.2f}")


if __name__ == "__main__":
    main()
