#!/usr/bin/env python3
"""Checks zip archives with independent readers.

Usage: check_archives.py CASE_DIR [CASE_DIR...]
A case folder holds archive.zip, optionally names.txt (the expected entry
names, one a line, in order), expect/ (the expected bytes of each file
entry, under its entry name) and skip.txt (readers known unable to open this
kind of archive at all, one "tool reason" a line). Every archive must pass `unzip -t`, `7z t`,
`bsdtar -tf` (and extract with `bsdtar -xO`, which checks the CRCs) and
Python's zipfile (testzip plus a byte-exact comparison).
Exit status: 0 all accepted, 1 a reader refused, 77 a reader is missing
(the others were still run).
"""
import os
import shutil
import subprocess
import sys
import zipfile


def run(command):
    extracting = "-xOf" in command
    done = subprocess.run(command, stdout=subprocess.DEVNULL if extracting else subprocess.PIPE,
                          stderr=subprocess.STDOUT if not extracting else subprocess.PIPE)
    if done.returncode != 0:
        text = (done.stderr if extracting else done.stdout).decode("utf-8", "replace")
        return "%s failed (%d):\n%s" % (" ".join(command), done.returncode, text[-3000:])
    return None


def check_python(case, archive):
    problems = []
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad is not None:
            problems.append("zipfile.testzip: bad entry %r" % bad)
        infos = z.infolist()
        names_file = os.path.join(case, "names.txt")
        if os.path.exists(names_file):
            with open(names_file, "rb") as f:
                wanted = [line.decode("latin-1") for line in f.read().split(b"\n") if line]
            got = [info.orig_filename for info in infos]
            if got != wanted:
                problems.append("entry names %r, expected %r" % (got[:20], wanted[:20]))
        expect = os.path.join(case, "expect")
        for info in infos:
            if info.orig_filename.endswith("/"):
                continue
            path = os.path.join(expect, info.orig_filename)
            if not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                wanted = f.read()
            if z.read(info) != wanted:
                problems.append("zipfile: %s differs from its source" % info.orig_filename)
    return problems


def check_case(case):
    archive = os.path.join(case, "archive.zip")
    problems = []
    missing = []
    seven = shutil.which("7z") or shutil.which("7zz") or shutil.which("7za")
    readers = [
        ("unzip", ["unzip", "-tqq", archive]),
        ("7z", [seven or "7z", "t", "-bd", archive]),
        ("bsdtar", ["bsdtar", "-tf", archive]),
        ("bsdtar", ["bsdtar", "-xOf", archive]),
    ]
    skipped = set()
    skip_file = os.path.join(case, "skip.txt")
    if os.path.exists(skip_file):
        with open(skip_file) as f:
            skipped = {line.split()[0] for line in f if line.strip()}
    for tool, command in readers:
        if tool in skipped:
            continue
        if shutil.which(command[0]) is None:
            missing.append(tool)
            continue
        problem = run(command)
        if problem:
            problems.append(problem)
    try:
        problems.extend(check_python(case, archive))
    except zipfile.BadZipFile as error:
        problems.append("zipfile: %s" % error)
    return problems, missing


def main():
    status = 0
    for case in sys.argv[1:]:
        problems, missing = check_case(case)
        for problem in problems:
            print("%s: %s" % (case, problem))
            status = 1
        if missing and status == 0:
            print("%s: readers missing: %s" % (case, ", ".join(missing)))
            status = 77
    return status


if __name__ == "__main__":
    sys.exit(main())
