// A small, strict reader of the archives the zip writer makes, for the fuzz
// target: end records (Zip64 ones too), central directory, local headers,
// data descriptors and entry data (stored, or raw deflate through zlib's
// inflate). Every offset and length is checked against the bytes at hand
// before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One entry as the central directory and its local header describe it;
// sizes and offset are the Zip64 field's values where it has them.
struct CheckedEntry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dos_date_time = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0;
    std::uint64_t uncompressed = 0;
    std::uint32_t external = 0;
    std::uint64_t offset = 0; // of the local header, absolute
    // The local header's copies (on a non-seekable output they stay as first written).
    std::uint16_t local_flags = 0;
    std::uint32_t local_crc = 0;
    std::uint64_t local_compressed = 0;
    std::uint64_t local_uncompressed = 0;
    bool local_zip64 = false; // the local header carries Zip64 sizes
    bool has_descriptor = false;
    std::vector<std::uint8_t> raw;  // the entry's bytes as written
    std::vector<std::uint8_t> data; // the entry's content (inflated when deflated)
};

struct CheckedArchive {
    std::vector<CheckedEntry> entries;
    std::uint64_t directory_offset = 0; // absolute
    std::uint64_t directory_size = 0;
    bool zip64_end = false; // the Zip64 end record and locator are there
};

/* Reads the archive whose end records close output (size bytes; base is the
   absolute offset of output[0], the offset the archive's fields count from).
   Checks the fixed fields this writer always writes, that Zip64 fields
   stand exactly where a value does not fit the classic ones (under the
   limits this build was made with), that the local headers agree with the
   central ones (the descriptor's values where there is one), that entries
   lie in order without overlap before the directory, and that every entry's
   data has its sizes and CRC-32. Returns an empty text and fills archive,
   or the first fault found. */
std::string CheckZip(const std::uint8_t* output, std::size_t size, std::uint64_t base,
                     CheckedArchive& archive);

/* The standard zip CRC-32 of size bytes, computed independently of the writer. */
std::uint32_t ReferenceCrc32(const std::uint8_t* data, std::size_t size);
