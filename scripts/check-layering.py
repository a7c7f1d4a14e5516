#!/usr/bin/env python3
"""Checks that every #include "folder/..." of the sources keeps to the
allow-list in scripts/layering.txt: a lower stage of the pipeline never
includes a higher one.

    scripts/check-layering.py [SRC_DIR]            check a source tree
    scripts/check-layering.py --self-test          show that a planted
                                                   backward include fails

Prints each include against the list and exits 1 when there is one."""

import os
import re
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
INCLUDE = re.compile(r'\s*#\s*include\s+"([A-Za-z0-9_]+)/')


def read_allowed(path):
    allowed = {}
    with open(path) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            folder, _, rest = line.partition(":")
            allowed[folder.strip()] = set(rest.split())
    return allowed


def violations(src, allowed):
    found = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(root, name)
            owner = os.path.relpath(path, src).split(os.sep)[0]
            if owner not in allowed:
                found.append("%s: folder %s is not in the allow-list" % (path, owner))
                continue
            with open(path, errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    if target == owner or target in allowed[owner]:
                        continue
                    if target not in allowed and not os.path.isdir(os.path.join(src, target)):
                        continue  # a generated or outside header, not a stage
                    found.append("%s:%d: %s/ includes %s/" % (path, number, owner, target))
    return found


def self_test(allowed):
    """A tree with one file of the layout stage that includes the control
    stage must fail; the same tree without it must pass."""
    tmp = tempfile.mkdtemp(prefix="layering-")
    try:
        os.makedirs(os.path.join(tmp, "layout"))
        os.makedirs(os.path.join(tmp, "control"))
        with open(os.path.join(tmp, "control", "job.h"), "w") as f:
            f.write('#include "layout/model.h"\n')
        good = violations(tmp, allowed)
        with open(os.path.join(tmp, "layout", "model.h"), "w") as f:
            f.write('#pragma once\n#include "control/job.h"\n')
        bad = violations(tmp, allowed)
    finally:
        shutil.rmtree(tmp)
    if good or len(bad) != 1:
        print("self-test failed: clean tree %s, planted tree %s" % (good, bad))
        return 1
    print("self-test: the planted include was found: " + bad[0].split(": ", 1)[1])
    return 0


def main():
    allowed = read_allowed(os.path.join(HERE, "layering.txt"))
    if sys.argv[1:] == ["--self-test"]:
        return self_test(allowed)
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "src")
    found = violations(src, allowed)
    for v in found:
        print(v)
    if found:
        print("%d include(s) against the pipeline; see scripts/layering.txt" % len(found))
        return 1
    print("every include keeps to the pipeline order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
