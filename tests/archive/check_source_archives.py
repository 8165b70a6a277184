#!/usr/bin/env python3
"""Reads the archives that archive_sources_test wrote under Wine with the
independent zip readers (Info-ZIP unzip, 7-Zip, bsdtar, Python's zipfile).

Usage: check_source_archives.py FOLDER
Every NAME.zip in FOLDER comes with NAME.txt, one line per entry in archive
order: CRC-32 (hex), size, entry name (raw bytes). Each reader must accept
every archive; zipfile must list exactly the manifest's names in order, and
each entry's data must have the manifest's size and CRC-32.
"""
import pathlib
import shutil
import subprocess
import sys
import zipfile
import zlib


def run(command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def raw_name(info):
    # Without the UTF-8 flag, zipfile decodes names as code page 437.
    if info.flag_bits & 0x800:
        return info.filename.encode("utf-8")
    return info.filename.encode("cp437")


def check(archive, manifest):
    problems = []
    readers = [
        ["unzip", "-t", "-qq", str(archive)],
        ["7zz", "t", str(archive)],
        ["bsdtar", "-xOf", str(archive)],
    ]
    for command in readers:
        code, output = run(command)
        if code != 0:
            problems.append(f"{command[0]} rejected it (exit {code}):\n{output}")

    expected = []
    for line in manifest.read_bytes().split(b"\n"):
        if line:
            crc, size, name = line.split(b" ", 2)
            expected.append((name, int(size), int(crc, 16)))
    try:
        with zipfile.ZipFile(archive) as opened:
            infos = opened.infolist()
            names = [raw_name(info) for info in infos]
            if names != [name for name, _, _ in expected]:
                problems.append(f"zipfile lists {names}, expected {[n for n, _, _ in expected]}")
            for info, (name, size, crc) in zip(infos, expected):
                data = opened.read(info)
                if len(data) != size or zlib.crc32(data) != crc:
                    problems.append(f"entry {name!r}: {len(data)} bytes, CRC {zlib.crc32(data):08X};"
                                    f" expected {size} bytes, CRC {crc:08X}")
    except (zipfile.BadZipFile, OSError, ValueError) as error:
        problems.append(f"zipfile: {error}")
    return problems


def main():
    folder = pathlib.Path(sys.argv[1])
    for tool in ("unzip", "7zz", "bsdtar"):
        if shutil.which(tool) is None:
            print(f"missing reader: {tool}")
            return 1
    archives = sorted(folder.glob("*.zip"))
    if not archives:
        print(f"no archives in {folder}")
        return 1
    failed = 0
    for archive in archives:
        problems = check(archive, archive.with_suffix(".txt"))
        status = "ok" if not problems else "FAILED"
        print(f"{archive.name}: {status}")
        for problem in problems:
            print("  " + problem)
        failed += bool(problems)
    print(f"{len(archives) - failed} of {len(archives)} archives read correctly by every reader")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
