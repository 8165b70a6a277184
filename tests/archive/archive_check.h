#pragma once
// Test support for archive runs: the archive's entries compared with what
// the sources held, and, when GLEANWELL_ORACLE_DIR names a folder, a copy of
// the archive with a manifest ("CRC size name" per entry, in archive order)
// there, for the independent readers run on the host afterwards.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <windows.h>

#include "archive/zip_listing.h"
#include "common/scratch_folder.h"

namespace testing_support {

/* An entry an archive should hold: its name (slashes) and its content. */
struct ExpectedEntry {
    std::string name;
    std::string content;
};

/* The entry name for a full path (narrow, system code page): the path
   without its first three characters, backslashes as slashes, in UTF-8. */
inline std::string EntryNameOf(const std::string& path) {
    std::string name = path.substr(3);
    std::replace(name.begin(), name.end(), '\\', '/');
    const int units = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, &wide[0], units);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
    utf8.resize(std::strlen(utf8.c_str()));
    return utf8;
}

/* Lists the archive at `path`; an empty list with `valid` false when it is
   missing or unreadable. */
inline std::vector<ZipListingEntry> ListArchive(const std::string& path, bool* valid) {
    std::vector<ZipListingEntry> entries;
    bool exists = false;
    const std::string bytes = ReadWholeFile(path, &exists);
    *valid = exists && ListZip(bytes, entries);
    return entries;
}

/* Compares entries with the expected ones as multisets of (name, CRC-32,
   size); returns a description of the first difference, or "". */
inline std::string CompareEntries(const std::vector<ZipListingEntry>& actual,
                                  const std::vector<ExpectedEntry>& expected) {
    using Key = std::tuple<std::string, std::uint32_t, std::uint32_t>;
    std::vector<Key> got;
    std::vector<Key> want;
    for (const auto& entry : actual) {
        got.emplace_back(entry.name, entry.crc, entry.size);
    }
    for (const auto& entry : expected) {
        want.emplace_back(entry.name, Crc32(entry.content),
                          static_cast<std::uint32_t>(entry.content.size()));
    }
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    if (got == want) {
        return "";
    }
    std::string text = "archive holds:";
    for (const auto& key : got) {
        text += "\n  " + std::get<0>(key) + " (" + std::to_string(std::get<2>(key)) + ")";
    }
    text += "\nexpected:";
    for (const auto& key : want) {
        text += "\n  " + std::get<0>(key) + " (" + std::to_string(std::get<2>(key)) + ")";
    }
    return text;
}

/* Copies the archive at `path` to the oracle folder as `label`.zip with its
   manifest `label`.txt, when GLEANWELL_ORACLE_DIR is set. */
inline void KeepForOracle(const std::string& path, const std::string& label,
                          const std::vector<ZipListingEntry>& entries) {
    char named[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("GLEANWELL_ORACLE_DIR", named, sizeof named);
    if (length == 0 || length >= sizeof named) {
        return;
    }
    std::string folder = named;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    MakeFolders(folder);
    const std::string base = folder + "\\" + label;
    WriteWholeFile(base + ".zip", ReadWholeFile(path));
    std::string manifest;
    for (const auto& entry : entries) {
        char head[40];
        std::snprintf(head, sizeof head, "%08lX %lu ", static_cast<unsigned long>(entry.crc),
                      static_cast<unsigned long>(entry.size));
        manifest += head + entry.name + "\n";
    }
    WriteWholeFile(base + ".txt", manifest);
}

} // namespace testing_support
