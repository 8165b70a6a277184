// Opening and reading entry sources.
#include "zip_source.h"

#include <cstring>

#include "zip_crc32.h"
#include "zip_times.h"

namespace {

constexpr std::uint32_t kKeptAttributes = kAttributeReadOnly | kAttributeHidden | kAttributeSystem |
                                          kAttributeDirectory | kAttributeArchive;

void SetTimes(ZipSource& state, FileTime modified, FileTime accessed, FileTime created) {
    state.dos_date_time = DosDateTime(modified);
    state.modified = UnixTime(modified);
    state.accessed = UnixTime(accessed);
    state.created = UnixTime(created);
}

void SetTimesNow(ZipSource& state) {
    FileTime now = LocalTimeNow();
    SetTimes(state, now, now, now);
}

std::uint32_t Little16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

std::uint32_t Little32(const std::uint8_t* p) {
    return Little16(p) | (Little16(p + 2) << 16);
}

bool ReadAt(FileHandle file, std::uint64_t offset, std::uint8_t* buffer, std::uint32_t size) {
    return FileSeek(file, offset) && FileRead(file, buffer, size) == size;
}

// The executable test: a 16-bit mark 0x54AD at offset 0, a 32-bit pointer v
// at 36 with v + 52 inside the file, and one of four signatures at v.
bool LooksExecutable(FileHandle file, std::uint64_t size) {
    if (size <= 40) {
        return false;
    }
    std::uint8_t head[40];
    if (!ReadAt(file, 0, head, sizeof head) || Little16(head) != 0x54AD) {
        return false;
    }
    std::uint64_t v = Little32(head + 36);
    if (v + 52 >= size) {
        return false;
    }
    std::uint8_t mark[4];
    if (!ReadAt(file, v, mark, sizeof mark)) {
        return false;
    }
    std::uint32_t signature = Little32(mark);
    return signature == 0x5A4D || signature == 0x454E || signature == 0x454C || signature == 0x4550;
}

ZipResult ReadDiskFile(ZipSource& state, FileHandle file) {
    if (!FileIsDisk(file)) {
        return ZipResult::NotInitialised;
    }
    FileInformation information;
    if (!FileGetInformation(file, information)) {
        return ZipResult::OpenFailed;
    }
    std::uint32_t attributes = information.attributes & kKeptAttributes;
    attributes |=
        (information.attributes & kAttributeDirectory) ? kUnixTypeDirectory : kUnixTypeRegular;
    attributes |= kUnixOwnerRead;
    if ((information.attributes & kAttributeReadOnly) == 0) {
        attributes |= kUnixOwnerWrite;
    }
    if (LooksExecutable(file, information.size)) {
        attributes |= kUnixOwnerExecute;
    }
    state.external_attributes = attributes;
    state.size_known = true;
    state.anticipated_size = information.size;
    SetTimes(state, information.last_write, information.last_access, information.creation);
    // The entry always holds the whole file.
    if (!FileSeek(file, 0)) {
        return ZipResult::OpenFailed;
    }
    return ZipResult::Success;
}

ZipResult OpenHandle(ZipSource& state, FileHandle file, std::uint32_t size) {
    if (!FileIsUsable(file)) {
        return ZipResult::BadArguments;
    }
    if (FileIsDisk(file)) {
        ZipResult result = ReadDiskFile(state, file);
        if (result != ZipResult::Success) {
            return result;
        }
    } else {
        state.external_attributes = kAttributesStream;
        // 0 and 0xFFFFFFFF (-1 as the format's signed size) both mean unknown.
        state.size_known = size != 0 && size != 0xFFFFFFFFu;
        state.anticipated_size = size;
        SetTimesNow(state);
    }
    state.file = file;
    state.readable = true;
    return ZipResult::Success;
}

} // namespace

ZipResult OpenZipSource(ZipSource& state, ZipDataKind kind, const void* source,
                        std::uint32_t size) {
    state = ZipSource{};
    switch (kind) {
    case ZipDataKind::FileName: {
        if (source == nullptr) {
            return ZipResult::BadArguments;
        }
        FileHandle file = FileOpenForRead(static_cast<const char*>(source));
        if (file == kNoFile) {
            return ZipResult::OpenFailed;
        }
        ZipResult result = OpenHandle(state, file, 0);
        if (result != ZipResult::Success) {
            FileClose(file);
            return result;
        }
        state.close_file = true;
        return ZipResult::Success;
    }
    case ZipDataKind::Handle:
        return OpenHandle(state, FileHandleFromPointer(source), size);
    case ZipDataKind::Memory:
        if (source == nullptr || size == 0) {
            return ZipResult::BadArguments;
        }
        state.external_attributes = kAttributesStream;
        state.size_known = true;
        state.anticipated_size = size;
        state.memory = static_cast<const std::uint8_t*>(source);
        state.memory_length = size;
        state.readable = true;
        SetTimesNow(state);
        return ZipResult::Success;
    case ZipDataKind::Folder:
        state.external_attributes = kAttributesFolder;
        state.size_known = true;
        state.anticipated_size = 0;
        SetTimesNow(state);
        return ZipResult::Success;
    }
    return ZipResult::BadArguments;
}

std::uint32_t ReadZipSource(ZipSource& state, std::uint8_t* buffer, std::uint32_t size) {
    if (!state.readable || state.too_large) {
        return 0;
    }
    std::uint32_t got = 0;
    if (state.memory != nullptr) {
        std::uint32_t left = state.memory_length - state.memory_position;
        got = size < left ? size : left;
        std::memcpy(buffer, state.memory + state.memory_position, got);
        state.memory_position += got;
    } else {
        got = FileRead(state.file, buffer, size);
    }
    if (state.bytes_read + got >= kZipSizeLimit) {
        state.too_large = true;
        return 0;
    }
    state.bytes_read += got;
    state.crc = Crc32Update(state.crc, buffer, got);
    return got;
}

void CloseZipSource(ZipSource& state) {
    if (state.close_file) {
        FileClose(state.file);
    }
    state.file = kNoFile;
    state.close_file = false;
    state.readable = false;
}
