// Helpers for the zip writer's tests: scratch folders, platform odds and ends
// (pipes, read-only files, file times), an archive parser for byte-level
// checks, and the independent readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "file_layer.h"

// A folder under the system's temporary folder, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    /* The path of name inside the folder (native separators). */
    std::string Path(const std::string& name) const;

private:
    std::string root_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path, std::uint64_t from = 0);
std::uint64_t FileLength(const std::string& path);

/* Test data: length bytes of compressible text or of noise, fixed by seed. */
std::string SampleText(std::size_t length, unsigned seed = 1);
std::string SampleNoise(std::size_t length, unsigned seed = 1);

/* Makes a pipe; both ends are closed with FileClose. */
bool MakePipe(FileHandle& read_end, FileHandle& write_end);
/* Sets or clears the read-only mark of a file. */
void SetReadOnly(const std::string& path, bool read_only);
/* Sets the last-write time of a file to unix_seconds (UTC). */
bool SetModifiedTime(const std::string& path, std::int64_t unix_seconds);
/* Creates a file of size bytes without writing them (sparse where possible). */
bool MakeSparseFile(const std::string& path, std::uint64_t size);
/* Sets the time zone of the C library (as the TZ variable would). */
void SetTimeZone(const char* tz);
/* The narrow form (system code page) of a UTF-8 text, as paths and entry
   names are given to the writer; false when the code page cannot hold it. */
bool NarrowFromUtf8(const std::string& utf8, std::string& narrow);

/* The path of a Windows program or library that the build made for the
   executable test (pe_sample.exe, pe_sample_library.dll), or a path that names
   nothing when this build made none. */
std::string PeSamplePath(const std::string& name);

std::uint16_t Get16(const std::string& bytes, std::size_t at);
std::uint32_t Get32(const std::string& bytes, std::size_t at);
std::uint64_t Get64(const std::string& bytes, std::size_t at);

// One entry of an archive as its headers describe it; sizes and offset are
// the Zip64 field's values where the 32-bit field holds 0xFFFFFFFF.
struct ParsedEntry {
    std::string name;
    std::uint16_t made_by = 0, needed = 0, flags = 0, method = 0;
    std::uint32_t dos_date_time = 0, crc = 0;
    std::uint64_t compressed = 0, uncompressed = 0;
    std::uint32_t external = 0;
    std::uint64_t offset = 0;
    std::string central_extra;
    bool central_zip64 = false; // the central header has a Zip64 field
    // The local header's copies (its Zip64 field's sizes when it has one).
    std::uint16_t local_needed = 0, local_flags = 0, local_method = 0;
    std::uint32_t local_crc = 0;
    std::uint64_t local_compressed = 0, local_uncompressed = 0;
    bool local_zip64 = false;
    std::string local_extra;
    std::string data; // the entry's stored or deflated bytes (not read by ParseArchiveFile)
    bool has_descriptor = false;
    std::uint32_t descriptor_crc = 0;
    std::uint64_t descriptor_compressed = 0, descriptor_uncompressed = 0;
};

struct ParsedArchive {
    std::string error; // empty when the archive parsed
    std::vector<ParsedEntry> entries;
    std::uint64_t entry_count = 0, directory_size = 0, directory_offset = 0;
    std::uint64_t end_record_at = 0;
    // The Zip64 end record and locator stand before the end record; the
    // classic record's own fields then are kept here.
    bool zip64_end = false;
    std::uint16_t zip64_made_by = 0;
    std::uint64_t classic_entry_count = 0;
    std::uint32_t classic_directory_size = 0, classic_directory_offset = 0;
};

/* Parses output, the output the archive was written to from absolute offset
   base on (offsets in an archive are absolute in its output), from its end
   records. */
ParsedArchive ParseArchive(const std::string& output, std::uint64_t base = 0);

/* The same over the file at path from byte base on, reading only headers
   and records: for archives of gigabytes. */
ParsedArchive ParseArchiveFile(const std::string& path, std::uint64_t base = 0);

// An archive for the independent readers, with what it must contain.
class ReaderCase {
public:
    ReaderCase();
    ~ReaderCase();
    /* Where the test writes the archive. */
    std::string ArchivePath() const;
    /* The bytes that the file entry name must extract to. */
    void Expect(const std::string& name, const std::string& bytes);
    /* The entry names the archive must list, in order. */
    void ExpectNames(const std::vector<std::string>& names);
    /* Leaves out a reader that cannot open this kind of archive at all (not
       even one made by Info-ZIP), saying why. */
    void SkipReader(const std::string& tool, const std::string& reason);
    /* Runs the readers (natively; under Windows the archive is kept for a
       host-side check when GLEANWELL_ZIP_KEEP names a folder). Returns 0 when
       all accept, 77 when one is missing, else 1 with the reasons in report. */
    int Check(std::string& report) const;

private:
    std::string folder_;
    bool keep_ = false;
};

// Fails the test unless every reader accepts the case; skips when a reader
// is not installed.
#define EXPECT_READERS_ACCEPT(reader_case)                                                         \
    do {                                                                                           \
        std::string reader_report;                                                                 \
        int reader_status = (reader_case).Check(reader_report);                                    \
        if (reader_status == 77) {                                                                 \
            GTEST_SKIP() << reader_report;                                                         \
        }                                                                                          \
        EXPECT_EQ(0, reader_status) << reader_report;                                              \
    } while (false)
