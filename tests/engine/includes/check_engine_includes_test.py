#!/usr/bin/env python3
"""The include checker passes on the engine as it is and catches an upward include.

Usage: check_engine_includes_test.py <checker> <engine/src> <scratch dir>

The second run plants `#include "dml/dml.h"` in a copy of query/select_stmt.cpp: the query
layer must never see the writers, so the checker has to fail and name that file and line.
"""

import os
import shutil
import subprocess
import sys


def run(checker, src):
    return subprocess.run([sys.executable, checker, src], capture_output=True, text=True)


def main():
    checker, src, scratch = sys.argv[1:4]

    real = run(checker, src)
    if real.returncode != 0:
        print(f"the checker rejects the real tree:\n{real.stdout}{real.stderr}")
        return 1

    copy = os.path.join(scratch, "src")
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(src, copy)
    target = os.path.join(copy, "query", "select_stmt.cpp")
    with open(target, encoding="utf-8") as f:
        lines = f.read().split("\n")
    lines.insert(1, '#include "dml/dml.h"')  # line 2, after the opening comment
    with open(target, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))

    planted = run(checker, copy)
    expected = os.path.join(copy, "query", "select_stmt.cpp") + ":2: query includes dml (dml/dml.h)"
    if planted.returncode != 1 or planted.stdout.strip().split("\n") != [expected]:
        print(f"expected exit 1 and one line:\n{expected}\ngot exit {planted.returncode}:\n"
              f"{planted.stdout}{planted.stderr}")
        return 1
    shutil.rmtree(copy)
    print("real tree clean; planted include reported as: " + expected)
    return 0


if __name__ == "__main__":
    sys.exit(main())
