#!/bin/bash
# Prints the path of the benchmarks' default corpus, build/deflate-corpus:
# about 50 MB of real files from this machine (logs, configuration text,
# UTF-16 text, executables and libraries, binary data), grouped into top-level
# folders. Builds it first when it is not there; it is never committed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$root/build/deflate-corpus

# take CAP DEST < list-of-files: copies files in list order into DEST until
# about CAP bytes are there; each line may be "path" or "path|filter", where
# the filter (gunzip, utf16) transforms the file on the way.
take() {
    local cap=$1 dest=$2 total=0 line path filter name size
    mkdir -p "$dest"
    while IFS= read -r line; do
        [ "$total" -ge "$cap" ] && break
        path=${line%%|*}
        filter=${line#*|}
        [ "$filter" = "$line" ] && filter=
        [ -f "$path" ] && [ -r "$path" ] || continue
        name=$(printf '%s' "$path" | sed 's|^/||; s|/|_|g')
        case $filter in
        gunzip) name=${name%.gz}; gzip -dc "$path" >"$dest/$name" 2>/dev/null || { rm -f "$dest/$name"; continue; } ;;
        utf16) name=$name.utf16; { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$path"; } >"$dest/$name" 2>/dev/null || { rm -f "$dest/$name"; continue; } ;;
        *) cp "$path" "$dest/$name" 2>/dev/null || continue ;;
        esac
        size=$(stat -c %s "$dest/$name")
        if [ "$size" -eq 0 ] || [ "$size" -gt 4000000 ]; then
            rm -f "$dest/$name"
            continue
        fi
        total=$((total + size))
    done
}

text_files() { # readable regular text files under the given folders
    find "$@" -type f -readable -size +0 2>/dev/null | sort | while IFS= read -r f; do
        case $(file -b --mime-encoding "$f" 2>/dev/null) in
        us-ascii | utf-8) printf '%s\n' "$f" ;;
        esac
    done
}

build_corpus() {
    local corpus=$1 cap=10000000
    rm -rf "$corpus"
    mkdir -p "$corpus"
    # Logs: the system's logs, then package change logs (dated entries).
    {
        text_files /var/log
        find /usr/share/doc -name 'changelog*.gz' -type f 2>/dev/null | sort | sed 's/$/|gunzip/'
    } | take $cap "$corpus/logs"
    # Configuration text.
    text_files /etc /usr/share/cmake-* /usr/share/X11 | take $cap "$corpus/config"
    # UTF-16 text, as Windows programs write it.
    find /usr/share/doc -name copyright -type f 2>/dev/null | sort | sed 's/$/|utf16/' |
        take $cap "$corpus/utf16"
    # Executables and libraries: Windows DLLs and EXEs, Linux programs and libraries.
    {
        find /usr/lib/i386-linux-gnu/wine /usr/lib/x86_64-linux-gnu/wine -type f \
            \( -name '*.dll' -o -name '*.exe' \) 2>/dev/null | sort | awk 'NR % 7 == 0'
        find /usr/bin /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f 2>/dev/null | sort |
            awk 'NR % 5 == 0'
    } | take $cap "$corpus/executables"
    # Binary data: fonts, message catalogues, time zones, terminal descriptions.
    {
        find /usr/share/fonts /usr/share/wine -type f \( -name '*.ttf' -o -name '*.ttc' \) 2>/dev/null | sort
        find /usr/share/locale -name '*.mo' -type f 2>/dev/null | sort | awk 'NR % 3 == 0'
        find /usr/share/zoneinfo /usr/share/terminfo /usr/lib/terminfo -type f 2>/dev/null | sort
    } | take $cap "$corpus/binary"
}

if [ ! -f "$corpus.complete" ]; then
    echo "building the corpus under $corpus ..." >&2
    build_corpus "$corpus"
    touch "$corpus.complete"
fi
echo "$corpus"
