// The source of one entry: opening it by kind, what it tells about itself
// (attributes, size, times) and the one read operation that counts the bytes
// and runs the CRC-32 as the data passes.
#pragma once

#include <cstdint>

#include "file_layer.h"
#include "zip_archive.h"

constexpr std::uint32_t kAttributesStream = 0x80000000;  // regular file, no permissions
constexpr std::uint32_t kAttributesFolder = 0x41C00010;  // folder, owner rwx, directory bit
constexpr std::uint32_t kUnixTypeDirectory = 0x40000000; // 0o040000 << 16
constexpr std::uint32_t kUnixTypeRegular = 0x80000000;   // 0o100000 << 16
constexpr std::uint32_t kUnixOwnerRead = 0x01000000;
constexpr std::uint32_t kUnixOwnerWrite = 0x00800000;
constexpr std::uint32_t kUnixOwnerExecute =
    0x00400000; // Windows programs and libraries (PE images)

struct ZipSource {
    // What the entry's headers get from the source.
    std::uint32_t external_attributes = 0;
    std::uint32_t modified = 0; // Unix times
    std::uint32_t accessed = 0;
    std::uint32_t created = 0;
    std::uint32_t dos_date_time = 0;
    bool size_known = false;
    std::uint64_t anticipated_size = 0;

    // Reading state.
    std::uint64_t bytes_read = 0;
    std::uint32_t crc = 0;
    // Data reaching read_limit does not fit the entry's headers: reading
    // stops and too_large is set.
    std::uint64_t read_limit = UINT64_MAX;
    bool too_large = false;
    FileHandle file = kNoFile;
    bool close_file = false;
    const std::uint8_t* memory = nullptr;
    std::uint32_t memory_length = 0;
    std::uint32_t memory_position = 0;
    bool readable = false; // false for a folder entry or before opening
};

/* Opens source of kind (size as ZipArchive::AddFile takes it) into state,
   after resetting it. Returns Success, BadArguments, OpenFailed or
   NotInitialised (a handle that is not a disk file where one is needed). */
ZipResult OpenZipSource(ZipSource& state, ZipDataKind kind, const void* source, std::uint32_t size);

/* Reads up to size bytes of entry data into buffer, adding them to the byte
   count and the CRC-32. Returns 0 at the end, after a failed read, without a
   source, or once the data would reach read_limit (too_large is set). */
std::uint32_t ReadZipSource(ZipSource& state, std::uint8_t* buffer, std::uint32_t size);

/* Closes the source if the writer opened it. */
void CloseZipSource(ZipSource& state);
