#!/usr/bin/env python3
"""Runs clang-tidy with the repository's .clang-tidy over the product sources; any finding fails.

    scripts/tidy.sh [--build-dir DIR] [--jobs N] [FOLDER...]

FOLDER... narrows the run to some of the product folders (engine db schema upgrade app ui shell tools, the
default is all of them); headers are reported only when they lie in a folder being checked. tests/ and bench/
are left out: they are not shipped, and GoogleTest's and Google Benchmark's macros expand into code that the
checks flag in every test without anything to fix in ours.

The sources and their compile commands come from DIR/compile_commands.json (default build-ci, the ci preset's
build, which scripts/test.sh has just built): a configured and built tree is needed because some headers are
generated at build time. The commands are GCC's; clang-tidy gets -Wno-unknown-warning-option so that GCC-only
warning flags do not become findings.

Each finding prints as file:line:col: check: message; the exit code is 1 when there was any. A clean result is
remembered as an empty file under ${XDG_CACHE_HOME:-~/.cache}/clubiqa-tidy/, named by the sha256 of everything
the result depends on: clang-tidy's version, .clang-tidy, the arguments this script adds, the file's compile
command, and the name and content of every file the translation unit includes, with the checkout's own path
left out of all of it. A rerun on the same machine, in the same or in a fresh clone, checks only what changed.
Findings are never cached, so a failing file is checked again every time.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PRODUCT_FOLDERS = ("engine", "db", "schema", "upgrade", "app", "ui", "shell", "tools")
CLANG_TIDY = os.environ.get("CLANG_TIDY", "clang-tidy")
CLANG_CXX = os.environ.get("CLANG_CXX", "clang++")
EXTRA_ARGS = ["-Wno-unknown-warning-option"]
FINDING = re.compile(r"^(?P<file>[^\s:][^:]*):(?P<line>\d+):(?P<col>\d+): (?:warning|error): (?P<text>.*) \[(?P<checks>[^\]]+?)(?:,-warnings-as-errors)?\]$")


def ParseArguments():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default="build-ci", help="build tree with compile_commands.json")
    parser.add_argument("--jobs", type=int, default=2, help="clang-tidy processes at once")
    parser.add_argument("folders", nargs="*", default=list(PRODUCT_FOLDERS), help="product folders to check")
    args = parser.parse_args()
    unknown = [folder for folder in args.folders if folder.strip("/") not in PRODUCT_FOLDERS]
    if unknown:
        parser.error(f"not a product folder: {' '.join(unknown)} (choose from {' '.join(PRODUCT_FOLDERS)})")
    args.folders = [folder.strip("/") for folder in args.folders]
    return args


# One entry per source file below the chosen folders; a file compiled by several targets is checked once,
# with the first command that compiles it.
def ProductUnits(build_dir, folders):
    database = build_dir / "compile_commands.json"
    if not database.is_file():
        sys.exit(f"tidy: {database} is missing; configure and build first (cmake --preset ci && "
                 "cmake --build --preset ci)")
    units = {}
    for entry in json.loads(database.read_text()):
        path = Path(entry["directory"], entry["file"]).resolve()
        try:
            relative = path.relative_to(ROOT)
        except ValueError:
            continue
        if relative.parts[0] in folders and path not in units:
            arguments = entry.get("arguments") or shlex.split(entry["command"])
            units[path] = (entry["directory"], arguments)
    return units


# The compile command with the compiler replaced by clang++, listing the included files instead of compiling.
def DependencyCommand(arguments):
    command = [CLANG_CXX]
    skip_next = False
    for argument in arguments[1:]:
        if skip_next:
            skip_next = False
        elif argument in ("-o", "-MF", "-MT", "-MQ"):
            skip_next = True
        elif argument not in ("-c", "-MD", "-MMD"):
            command.append(argument)
    return command + EXTRA_ARGS + ["-M", "-MF", "-"]


class ContentHashes:
    """sha256 of each file's content, read once per run however many units include it."""

    def __init__(self):
        self.hashes = {}

    def Of(self, path):
        if path not in self.hashes:
            self.hashes[path] = hashlib.sha256(Path(path).read_bytes()).hexdigest()
        return self.hashes[path]


# The make rule that clang++ -M prints ("x.o: a.cpp b.h \" ...) as the list of files it names.
def IncludedFiles(make_rule):
    targets_and_files = make_rule.replace("\\\n", " ").split(":", 1)
    return targets_and_files[1].split() if len(targets_and_files) == 2 else []


# The checkout's own path written as <root>, so that a second clone of the same sources (CI's fresh clone)
# finds the clean results of the first: everything else in a key is content.
def WithoutRoot(text):
    return text.replace(str(ROOT), "<root>")


# The cache key of one unit, or None when its includes cannot be listed (then it is simply checked).
def UnitKey(fixed_part, directory, arguments, contents):
    listing = subprocess.run(DependencyCommand(arguments), cwd=directory, capture_output=True, text=True)
    if listing.returncode != 0:
        return None
    key = hashlib.sha256(fixed_part)
    key.update(WithoutRoot(json.dumps([directory, arguments])).encode())
    for included in IncludedFiles(listing.stdout):
        path = os.path.normpath(os.path.join(directory, included))
        key.update(WithoutRoot(f"\n{path}\n{contents.Of(path)}").encode())
    return key.hexdigest()


def TidyCommand(build_dir, header_filter, source):
    return [CLANG_TIDY, f"-p={build_dir}", f"--config-file={ROOT / '.clang-tidy'}", "--warnings-as-errors=*",
            f"--header-filter={header_filter}", "--quiet"] + [f"--extra-arg={arg}" for arg in EXTRA_ARGS] + [str(source)]


# Checks one unit unless the cache holds a clean result for it; returns (findings, other output, from cache).
def CheckUnit(source, directory, arguments, build_dir, header_filter, fixed_part, contents, cache_dir):
    key = UnitKey(fixed_part, directory, arguments, contents)
    if key is not None and (cache_dir / key).exists():
        return [], "", True
    run = subprocess.run(TidyCommand(build_dir, header_filter, source), capture_output=True, text=True)
    findings = []
    for line in run.stdout.splitlines():
        match = FINDING.match(line)
        if match:
            path = Path(match["file"]).resolve()
            shown = path.relative_to(ROOT) if path.is_relative_to(ROOT) else path
            findings.append(f"{shown}:{match['line']}:{match['col']}: {match['checks']}: {match['text']}")
    if run.returncode == 0 and not findings:
        if key is not None:
            (cache_dir / key).touch()
        return [], "", False
    # A failure without a parsable finding (a crash, an unreadable file) is shown whole.
    return findings, "" if findings else f"{source}:\n{run.stdout}{run.stderr}", False


def CheckName(finding):
    return finding.split(": ", 2)[1].split(",")[0]


def Report(findings, failures, unit_count, cached_count):
    for finding in sorted(findings):
        print(finding)
    for failure in failures:
        print(failure)
    per_check = {}
    for finding in findings:
        per_check[CheckName(finding)] = per_check.get(CheckName(finding), 0) + 1
    for check, count in sorted(per_check.items()):
        print(f"tidy: {count:5} {check}")
    print(f"tidy: {unit_count} files, {cached_count} clean in the cache, {len(findings)} findings"
          + (f", {len(failures)} files clang-tidy could not check" if failures else ""))


def main():
    args = ParseArguments()
    build_dir = (ROOT / args.build_dir).resolve()
    units = ProductUnits(build_dir, args.folders)
    header_filter = "^" + re.escape(str(ROOT)) + "/(" + "|".join(args.folders) + ")/"
    version = subprocess.run([CLANG_TIDY, "--version"], capture_output=True, text=True, check=True).stdout
    fixed_part = WithoutRoot(json.dumps([version, (ROOT / ".clang-tidy").read_text(), header_filter, EXTRA_ARGS])).encode()
    cache_dir = Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache") / "clubiqa-tidy"
    cache_dir.mkdir(parents=True, exist_ok=True)
    contents = ContentHashes()
    findings, failures, cached_count = set(), [], 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        futures = [pool.submit(CheckUnit, source, directory, arguments, build_dir, header_filter, fixed_part,
                               contents, cache_dir) for source, (directory, arguments) in sorted(units.items())]
        for future in futures:
            unit_findings, failure, from_cache = future.result()
            cached_count += from_cache
            # A header's finding comes once from every unit that includes it; it is reported once.
            findings.update(unit_findings)
            if failure:
                failures.append(failure)
    Report(findings, failures, len(units), cached_count)
    return 1 if findings or failures else 0


if __name__ == "__main__":
    sys.exit(main())
