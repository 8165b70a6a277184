#!/usr/bin/env python3
"""Checks zip archives with independent readers.

Usage: check_archives.py CASE_DIR [CASE_DIR...]
A case folder holds archive.zip, optionally names.txt (the expected entry
names, one a line, in order), expect/ (the expected bytes of each file
entry, under its entry name) and skip.txt (readers known unable to open this
kind of archive at all, one "tool reason" a line). Every archive must pass `unzip -t`, `7z t`,
`bsdtar -tf` (and extract with `bsdtar -xO`, which checks the CRCs) and
Python's zipfile (testzip plus a byte-exact comparison); with names.txt, each
reader's listing must show exactly those names.
Exit status: 0 all accepted, 1 a reader refused, 77 a reader is missing
(the others were still run).
"""
import os
import shutil
import subprocess
import sys
import zipfile


# Readers print names as the locale allows; UTF-8 shows every name as it is.
READER_ENV = dict(os.environ, LC_ALL="C.UTF-8")


def run(command):
    extracting = "-xOf" in command
    done = subprocess.run(command, stdout=subprocess.DEVNULL if extracting else subprocess.PIPE,
                          stderr=subprocess.STDOUT if not extracting else subprocess.PIPE,
                          env=READER_ENV)
    if done.returncode != 0:
        text = (done.stderr if extracting else done.stdout).decode("utf-8", "replace")
        return "%s failed (%d):\n%s" % (" ".join(command), done.returncode, text[-3000:])
    return None


def wanted_names(case):
    names_file = os.path.join(case, "names.txt")
    if not os.path.exists(names_file):
        return None
    with open(names_file, "rb") as f:
        return [line.decode("utf-8", "surrogateescape") for line in f.read().split(b"\n") if line]


def listed_names(tool, archive):
    """The entry names a reader lists, or None when it cannot be asked."""
    if tool == "unzip":
        command, prefix = ["unzip", "-Z1", archive], None
    elif tool == "7z":
        command, prefix = [shutil.which("7z") or shutil.which("7zz") or "7za",
                           "l", "-slt", "-ba", archive], "Path = "
    else:
        command, prefix = ["bsdtar", "-tf", archive], None
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          env=READER_ENV)
    if done.returncode != 0:
        return None
    lines = done.stdout.decode("utf-8", "surrogateescape").split("\n")
    if prefix is None:
        return [line for line in lines if line]
    return [line[len(prefix):] for line in lines if line.startswith(prefix)]


def check_listing(tool, archive, wanted):
    got = listed_names(tool, archive)
    if got is None:
        return []
    if tool == "7z":
        # 7-Zip shows folders without their closing slash.
        wanted = [name[:-1] if name.endswith("/") else name for name in wanted]
    if got != wanted:
        return ["%s lists %r, expected %r" % (tool, got[:20], wanted[:20])]
    return []


def check_python(case, archive):
    problems = []
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad is not None:
            problems.append("zipfile.testzip: bad entry %r" % bad)
        infos = z.infolist()
        wanted = wanted_names(case)
        if wanted is not None:
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
        elif "-xOf" not in command and wanted_names(case) is not None:
            problems.extend(check_listing(tool, archive, wanted_names(case)))
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
