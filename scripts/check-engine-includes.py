#!/usr/bin/env python3
"""Checks that the folders of engine/src include each other in one direction only.

Usage: scripts/check-engine-includes.py [ENGINE_SRC_DIR]   (default: engine/src of this checkout)

Every `#include "..."` of every file under the directory is mapped to the part of the engine it
belongs to; an include that reaches a part its file may not use is printed as
`file:line: <part> includes <part> (<header>)` and makes the exit status 1. engine/README.md
explains the rule; the table below is that rule.
"""

import os
import re
import sys

# The top-level headers belong to the folder whose code they describe.
TOP_LEVEL_HEADERS = {
    "ast.h": "parse",
    "parser.h": "parse",
    "values.h": "types",
    "errors.h": "types",
    "catalog.h": "storage",
    "store.h": "storage",
    "server.h": "storage",
    "exec_context.h": "context",
}
# Everything else at the top level (session.cpp, exec.cpp/.h, procedures.cpp, batch_binding.*,
# session_statements.cpp) is the session.
TOP_LEVEL_DEFAULT = "session"
FOLDERS = {"ddl", "dml", "query", "parse", "types", "storage"}

# Which parts each part may include (itself always). Top down: the session runs statements;
# ddl/ and dml/ execute them and use query/ to read rows and evaluate expressions; query/ only
# reads; all three run in the context; below them parse/ and storage/ stand side by side on
# types/, which uses nothing of the engine.
BASE = {"parse", "types", "storage"}
ALLOWED = {
    "session": {"ddl", "dml", "query", "context"} | BASE,
    "ddl": {"query", "context"} | BASE,
    "dml": {"query", "context"} | BASE,
    "query": {"context"} | BASE,
    "context": BASE,
    "parse": {"types"},
    "storage": {"types"},
    "types": set(),
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def part_of(rel_path):
    """The part of the engine a path relative to engine/src belongs to, or None."""
    parts = rel_path.replace(os.sep, "/").split("/")
    if len(parts) == 1:
        return TOP_LEVEL_HEADERS.get(parts[0], TOP_LEVEL_DEFAULT)
    return parts[0] if parts[0] in FOLDERS else None


def resolve(src, including_dir, target):
    """The included file relative to src, or None when it lies outside src (the public header)."""
    for base in (src, including_dir):
        candidate = os.path.normpath(os.path.join(base, target))
        if os.path.isfile(candidate) and os.path.commonpath([candidate, src]) == src:
            return os.path.relpath(candidate, src)
    return None


def check(src_arg):
    src = os.path.abspath(src_arg)
    problems = []
    for root, dirs, files in os.walk(src):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src)
            shown = os.path.join(src_arg, rel)  # the path as the caller names the tree
            part = part_of(rel)
            if part is None:
                problems.append(f"{shown}:1: file in a folder the include rule does not know")
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = resolve(src, root, m.group(1))
                    if target is None:
                        continue  # engine/engine.h and other headers outside engine/src
                    target_part = part_of(target)
                    if target_part == part or target_part in ALLOWED.get(part, set()):
                        continue
                    problems.append(f"{shown}:{number}: {part} includes {target_part} ({m.group(1)})")
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.relpath(os.path.join(here, "..", "engine", "src"))
    if not os.path.isdir(src):
        print(f"check-engine-includes: no directory {src}", file=sys.stderr)
        return 2
    problems = check(src)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
