// The archive's output: every byte goes through OutputWrite, every backward
// step through OutputSeek, whatever the target (file, handle or memory).
#pragma once

#include <cstdint>

#include "file_layer.h"
#include "zip_archive.h"

struct ZipOutput {
    FileHandle file = kNoFile; // kNoFile for a memory target
    MemoryMapping mapping;     // set only when the writer allocated the memory block
    std::uint64_t start_offset = 0;
    bool seekable = false;
    ZipResult sticky = ZipResult::Success;

    // position: where the next write lands; end: the archive position, the
    // bytes written since the start of the archive. Both relative to start.
    std::uint64_t position = 0;
    std::uint64_t end = 0;

    std::uint8_t* memory = nullptr;
    std::uint32_t capacity = 0;

    // Writes that would carry the output (absolute) past limit are refused:
    // the data of an entry without Zip64 sizes must fit 32-bit fields. Set
    // only while such an entry's data is written.
    std::uint64_t limit = UINT64_MAX;
    bool over_limit = false;
};

/* Writes length bytes at the current position and returns the count written
   (0 on failure). A memory target takes bytes only while position + length
   stays below its capacity, else sets the sticky MemoryTooSmall; without an
   output the sticky error becomes NotInitialised. */
std::uint32_t OutputWrite(ZipOutput& output, const std::uint8_t* data, std::uint32_t length);

/* Moves the write position to archive position position. Fails (and sets the
   sticky error) when the output is not seekable (NotSeekable) or a memory
   position is not below the capacity (MemoryTooSmall). */
bool OutputSeek(ZipOutput& output, std::uint64_t position);

/* Takes back everything from archive position position on: seeks there,
   cuts a file output, and makes it the archive's end. Seekable outputs only. */
bool OutputTakeBack(ZipOutput& output, std::uint64_t position);
