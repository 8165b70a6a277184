#!/usr/bin/env python3
"""Checks the archive that the end-to-end archive run left behind.

Usage: check_run_archive.py DRIVE_C ARCHIVE_PATH_UNDER_DRIVE_C
                            [--grown NAME]... [--gone-ok] [--summary]
                            [--true-names FOLDER_UNDER_DRIVE_C]
Every independent reader must accept the archive (unzip -t, 7-Zip's t,
bsdtar listing and extraction, Python's zipfile.testzip), and every entry must
hold exactly the bytes of the file it was made from: its name is that file's
path without the drive prefix, in UTF-8 (the program's code page). The UTF-8
flag (general-purpose bit 11) must be set, in the local and the central
header alike, exactly on the names with a byte outside ASCII.
An entry named with --grown (a file that was still being appended to) must
hold a prefix of its file instead; with --gone-ok an entry whose file was
deleted after the run archived it is checked by the readers alone. Every
"Success" line of the report entry must have an entry, and every entry but
the report a "Success" line. Prints the listing (with --summary only its
size) and the report entry. Exit status 0 when all hold, 1 otherwise.
"""
import argparse
import collections
import os
import shutil
import subprocess
import sys
import zipfile


def run(command, keep_output=True):
    # An extraction to standard output is not kept: only its errors matter.
    done = subprocess.run(command, stdout=subprocess.PIPE if keep_output else subprocess.DEVNULL,
                          stderr=subprocess.STDOUT if keep_output else subprocess.PIPE)
    if done.returncode != 0:
        out = (done.stdout if keep_output else done.stderr).decode("utf-8", "replace")[-3000:]
        return "%s failed (%d):\n%s" % (" ".join(command), done.returncode, out)
    return None


def raw_name(info):
    # Without the UTF-8 flag, zipfile decodes names as code page 437.
    if info.flag_bits & 0x800:
        return info.filename.encode("utf-8")
    return info.filename.encode("cp437")


def compare_entry(z, info, source, prefix):
    """True when the entry holds the bytes of the open source file (with
    prefix, its first bytes)."""
    with z.open(info) as entry:
        while True:
            piece = entry.read(1 << 20)
            if not piece:
                break
            if source.read(len(piece)) != piece:
                return False
    return prefix or source.read(1) == b""


def utf8_flag_problems(archive, infos):
    # The flag of each entry's local header, read from the file itself.
    problems = []
    with open(archive, "rb") as f:
        for info in infos:
            f.seek(info.header_offset + 6)
            local = int.from_bytes(f.read(2), "little")
            wanted = any(byte >= 0x80 for byte in raw_name(info))
            for where, flags in (("central", info.flag_bits), ("local", local)):
                if bool(flags & 0x800) != wanted:
                    problems.append("%s: bit 11 of the %s header is %s" % (
                        info.filename, where, "set" if flags & 0x800 else "clear"))
    return problems


def reader_listings(archive, seven):
    # Each reader's list of entry names, as it shows them in a UTF-8 locale.
    env = dict(os.environ, LC_ALL="C.UTF-8")
    listings = {}
    for reader, command in (("unzip", ["unzip", "-Z1", archive]),
                            ("bsdtar", ["bsdtar", "-tf", archive])):
        done = subprocess.run(command, stdout=subprocess.PIPE, env=env)
        listings[reader] = done.stdout.decode("utf-8", "replace").splitlines()
    if seven:
        done = subprocess.run([seven, "l", "-slt", "-sccUTF-8", archive],
                              stdout=subprocess.PIPE, env=env)
        lines = done.stdout.decode("utf-8", "replace").splitlines()
        # The first "Path = " names the archive itself.
        listings["7-Zip"] = [line[7:] for line in lines if line.startswith("Path = ")][1:]
    with zipfile.ZipFile(archive) as z:
        listings["zipfile"] = z.namelist()
    return listings


def true_name_problems(drive_c, folder, archive, seven):
    expected = []
    for top, _, files in os.walk(os.path.join(drive_c, folder)):
        for name in files:
            path = os.path.join(top, name)
            if os.path.samefile(path, archive):
                continue
            expected.append(os.path.relpath(path, drive_c).replace(os.sep, "/"))
    problems = []
    for reader, names in reader_listings(archive, seven).items():
        print("\n%s lists:" % reader)
        for name in names:
            print("  " + name)
        missing = sorted(set(expected) - set(names))
        if missing:
            problems.append("%s does not list %r" % (reader, missing))
    return problems


def report_successes(report):
    # The entry names that the report's "Success" lines promise.
    names = collections.Counter()
    for line in report.split(b"\r\n"):
        if line.startswith(b"Success   :- "):
            names[line[len(b"Success   :- ") + 3:].replace(b"\\", b"/")] += 1
    return names


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("drive_c")
    parser.add_argument("archive")
    parser.add_argument("--grown", action="append", default=[])
    parser.add_argument("--gone-ok", action="store_true")
    parser.add_argument("--summary", action="store_true")
    parser.add_argument("--true-names")
    options = parser.parse_args()
    archive = os.path.join(options.drive_c, options.archive)
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
        problem = run(command, keep_output=command[:2] != ["bsdtar", "-xOf"])
        if problem:
            problems.append(problem)

    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad is not None:
            problems.append("zipfile.testzip: bad entry %r" % bad)
        infos = z.infolist()
        if options.summary:
            print("%d entries" % len(infos))
        else:
            print("%-9s %-8s %-8s %s" % ("method", "size", "packed", "name"))
        report = None
        entries = collections.Counter()
        for info in infos:
            method = {0: "stored", 8: "deflated"}.get(info.compress_type, str(info.compress_type))
            if not options.summary:
                print("%-9s %-8d %-8d %s" % (method, info.file_size, info.compress_size,
                                             info.filename))
            name = raw_name(info).decode("utf-8", "replace")
            source = os.path.join(options.drive_c, *name.split("/"))
            if name.endswith("/ZipFailureFile.txt"):
                report = z.read(info)
            else:
                entries[raw_name(info)] += 1
            try:
                with open(source, "rb") as f:
                    # Entries of gigabytes: compared a piece at a time.
                    same = compare_entry(z, info, f, prefix=name in options.grown)
            except FileNotFoundError:
                if not options.gone_ok:
                    problems.append("%s: its file %s is missing" % (name, source))
                continue
            except OSError as error:
                problems.append("%s: %s" % (name, error))
                continue
            if name in options.grown:
                if not same or info.file_size == 0:
                    problems.append("%s is not a prefix of %s" % (name, source))
            elif not same:
                problems.append("%s differs from %s" % (name, source))
        if report is None:
            problems.append("no report entry")
        else:
            promised = report_successes(report)
            if set(promised) != set(entries):
                lost = sorted(set(promised) - set(entries))[:10]
                unreported = sorted(set(entries) - set(promised))[:10]
                problems.append("report and entries differ: no entry for %r, no line for %r"
                                % (lost, unreported))
            if options.summary:
                print("report entry: %d lines" % report.count(b"\r\n"))
            else:
                print("\nreport entry:")
                sys.stdout.write(report.decode("utf-8", "replace"))
        problems.extend(utf8_flag_problems(archive, infos))

    if options.true_names:
        problems.extend(true_name_problems(options.drive_c, options.true_names, archive, seven))

    for problem in problems:
        print("PROBLEM: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
