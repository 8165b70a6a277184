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

// A Windows program or library (a PE image): "MZ" at offset 0, the 32-bit
// offset of the PE header at 0x3C, and "PE\0\0" at that offset. Every read
// stays inside the file, so a short or damaged header just means "no".
constexpr std::uint32_t kDosHeaderSize = 0x40;
constexpr std::uint32_t kPeOffsetField = 0x3C;
constexpr std::uint32_t kDosMark = 0x5A4D;         // "MZ"
constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"

bool LooksExecutable(FileHandle file, std::uint64_t size) {
    if (size < kDosHeaderSize) {
        return false;
    }
    std::uint8_t head[kDosHeaderSize];
    if (!ReadAt(file, 0, head, sizeof head) || Little16(head) != kDosMark) {
        return false;
    }
    // In 64 bits the offset plus the signature's length cannot wrap.
    std::uint64_t pe_offset = Little32(head + kPeOffsetField);
    if (pe_offset + 4 > size) {
        return false;
    }
    std::uint8_t signature[4];
    return ReadAt(file, pe_offset, signature, sizeof signature) &&
           Little32(signature) == kPeSignature;
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
    if (state.bytes_read + got >= state.read_limit) {
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
