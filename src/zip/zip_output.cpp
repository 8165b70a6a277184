// The output sink of the writer.
#include "zip_output.h"

#include <cstring>

namespace {

void SetSticky(ZipOutput& output, ZipResult result) {
    if (output.sticky == ZipResult::Success) {
        output.sticky = result;
    }
}

} // namespace

std::uint32_t OutputWrite(ZipOutput& output, const std::uint8_t* data, std::uint32_t length) {
    if (output.start_offset + output.position + length > output.limit) {
        output.over_limit = true;
        return 0;
    }
    std::uint32_t written = 0;
    if (output.memory != nullptr) {
        if (output.position + length >= output.capacity) {
            SetSticky(output, ZipResult::MemoryTooSmall);
            return 0;
        }
        std::memcpy(output.memory + output.position, data, length);
        written = length;
    } else if (output.file != kNoFile) {
        written = FileWrite(output.file, data, length);
    } else {
        SetSticky(output, ZipResult::NotInitialised);
        return 0;
    }
    output.position += written;
    if (output.position > output.end) {
        output.end = output.position;
    }
    return written;
}

bool OutputSeek(ZipOutput& output, std::uint64_t position) {
    if (!output.seekable) {
        SetSticky(output, ZipResult::NotSeekable);
        return false;
    }
    if (output.memory != nullptr) {
        if (position >= output.capacity) {
            SetSticky(output, ZipResult::MemoryTooSmall);
            return false;
        }
    } else if (!FileSeek(output.file, output.start_offset + position)) {
        return false;
    }
    output.position = position;
    return true;
}

bool OutputTakeBack(ZipOutput& output, std::uint64_t position) {
    if (!OutputSeek(output, position)) {
        return false;
    }
    if (output.memory == nullptr && !FileTruncateHere(output.file)) {
        return false;
    }
    output.end = position;
    return true;
}
