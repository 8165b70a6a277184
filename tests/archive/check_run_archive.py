#!/usr/bin/env python3
"""Checks the archive that the end-to-end archive run left behind.

Usage: check_run_archive.py DRIVE_C ARCHIVE_PATH_UNDER_DRIVE_C
Every independent reader must accept the archive (unzip -t, 7-Zip's t,
bsdtar listing and extraction, Python's zipfile.testzip), and every entry must
hold exactly the bytes of the file it was made from: its name is that file's
path without the drive prefix. Prints the listing and the report entry.
Exit status 0 when all hold, 1 otherwise.
"""
import os
import shutil
import subprocess
import sys
import zipfile


def run(command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        out = done.stdout.decode("utf-8", "replace")[-3000:]
        return "%s failed (%d):\n%s" % (" ".join(command), done.returncode, out)
    return None


def main():
    drive_c, relative = sys.argv[1], sys.argv[2]
    archive = os.path.join(drive_c, relative)
    problems = []
    seven = shutil.which("7zz") or shutil.which("7z") or shutil.which("7za")
    readers = [["unzip", "-tq", archive], ["bsdtar", "-tf", archive],
               ["bsdtar", "-xOf", archive]]
    if seven:
        readers.append([seven, "t", archive])
    else:
        problems.append("no 7-Zip reader installed")
    for command in readers:
        if shutil.which(command[0]) is None:
            problems.append("%s is not installed" % command[0])
            continue
        problem = run(command)
        if problem:
            problems.append(problem)

    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad is not None:
            problems.append("zipfile.testzip: bad entry %r" % bad)
        print("%-9s %-8s %-8s %s" % ("method", "size", "packed", "name"))
        report = None
        for info in z.infolist():
            method = {0: "stored", 8: "deflated"}.get(info.compress_type, str(info.compress_type))
            print("%-9s %-8d %-8d %s" % (method, info.file_size, info.compress_size, info.filename))
            data = z.read(info)
            source = os.path.join(drive_c, *info.filename.split("/"))
            try:
                with open(source, "rb") as f:
                    if f.read() != data:
                        problems.append("%s differs from %s" % (info.filename, source))
            except OSError as error:
                problems.append("%s: %s" % (info.filename, error))
            if info.filename.endswith("/ZipFailureFile.txt"):
                report = data
        if report is not None:
            print("\nreport entry:")
            sys.stdout.write(report.decode("latin-1"))

    for problem in problems:
        print("PROBLEM: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
