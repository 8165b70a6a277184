// One forward pass: local header, data, then either the header rewritten in
// place (seekable outputs) or a data descriptor; the central directory and the
// end record at the end.
#include "zip_writer.h"

#include <new>

#include "deflate.h"
#include "zip_limits.h"

namespace {

constexpr int kDeflateLevel = 8;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

} // namespace

ZipWriter::~ZipWriter() {
    if (output_.mapping.view != nullptr) {
        UnmapAnonymousMemory(output_.mapping);
    }
    FileClose(output_.file);
}

ZipResult ZipWriter::Start(const void* target, std::uint32_t size, ZipDataKind kind) {
    switch (kind) {
    case ZipDataKind::Handle: {
        // On Win32 the invalid handle value doubles as the current process's
        // pseudo-handle, which would duplicate fine; refuse it up front.
        FileHandle given = FileHandleFromPointer(target);
        FileHandle file = FileIsUsable(given) ? FileDuplicate(given) : kNoFile;
        if (file == kNoFile) {
            return ZipResult::DuplicateFailed;
        }
        output_.file = file;
        if (FileIsDisk(file)) {
            std::uint64_t here = 0;
            if (!FileTell(file, here)) {
                return ZipResult::BadArguments;
            }
            output_.seekable = true;
            output_.start_offset = here;
        }
        return ZipResult::Success;
    }
    case ZipDataKind::FileName: {
        FileHandle file =
            target == nullptr ? kNoFile : FileCreateForWrite(static_cast<const char*>(target));
        if (file == kNoFile) {
            return ZipResult::OpenFailed;
        }
        output_.file = file;
        output_.seekable = true;
        return ZipResult::Success;
    }
    case ZipDataKind::Memory:
        if (size == 0) {
            return ZipResult::MemoryTooSmall;
        }
        if (target == nullptr) {
            if (!MapAnonymousMemory(size, output_.mapping)) {
                return ZipResult::NoMemory;
            }
            output_.memory = static_cast<std::uint8_t*>(output_.mapping.view);
        } else {
            // The caller lends a writable block.
            output_.memory = static_cast<std::uint8_t*>(const_cast<void*>(target));
        }
        output_.capacity = size;
        output_.seekable = true;
        return ZipResult::Success;
    case ZipDataKind::Folder:
        break;
    }
    return ZipResult::BadArguments;
}

ZipResult ZipWriter::Add(const char* name, const void* source, std::uint32_t size,
                         ZipDataKind kind) {
    if (output_.sticky != ZipResult::Success) {
        return ZipResult::PreviousError;
    }
    if (ended_) {
        return ZipResult::AlreadyEnded;
    }
    record_ = ZipEntryRecord{};
    bool folder = kind == ZipDataKind::Folder;
    // Names are stored in UTF-8, so every reader shows them as they are; an
    // ASCII name stays unmarked, as it always was.
    char utf8_name[kZipNameCapacity];
    std::uint32_t name_length = 0;
    if (name != nullptr && NarrowNameToUtf8(name, utf8_name, kZipNameCapacity) != 0) {
        name_length = MakeEntryName(utf8_name, folder, record_.name);
    }
    if (name_length == 0) {
        return ZipResult::BadArguments;
    }
    if (IsNonAsciiName(record_.name)) {
        record_.flags |= kFlagUtf8Name;
        record_.local_flags |= kFlagUtf8Name;
    }
    record_.name_length = static_cast<std::uint16_t>(name_length);
    record_.method = (folder || IsStoredName(record_.name)) ? kMethodStored : kMethodDeflated;

    ZipResult opened = OpenZipSource(source_, kind, source, size);
    if (opened != ZipResult::Success) {
        return opened;
    }
    FillRecordFromSource();
    std::uint64_t header_position = output_.end;
    record_.local_header_offset = output_.start_offset + header_position;
    output_.over_limit = false;

    // A failed rewrite of the previous header may have left the position
    // inside the archive; entries always start at its end.
    if (output_.position != output_.end && !OutputSeek(output_, output_.end)) {
        CloseZipSource(source_);
        return ZipResult::NotSeekable;
    }
    std::uint8_t header[kLocalHeaderCapacity];
    std::uint32_t header_size = EncodeLocalHeader(record_, header);
    if (OutputWrite(output_, header, header_size) != header_size) {
        CloseZipSource(source_);
        return ZipResult::WriteFailed;
    }
    if (output_.sticky != ZipResult::Success) {
        CloseZipSource(source_);
        return output_.sticky;
    }
    std::uint64_t header_compressed_size = record_.compressed_size;
    if (!record_.local_zip64) {
        // The data must fit the classic header's 32-bit sizes.
        output_.limit = output_.start_offset + output_.end + kZip32Limit - 1;
    }

    bool written = true;
    record_.compressed_size = 0;
    if (source_.readable) {
        written = record_.method == kMethodStored ? WriteStored() : WriteDeflated();
    }
    CloseZipSource(source_);
    output_.limit = UINT64_MAX;
    record_.uncompressed_size = source_.bytes_read;
    record_.crc = source_.crc;

    if (output_.sticky != ZipResult::Success) {
        return output_.sticky;
    }
    if (output_.over_limit || source_.too_large) {
        return TakeBackEntry(header_position);
    }
    if (!written) {
        return ZipResult::WriteFailed;
    }
    return FinishEntry(header_position, header_compressed_size);
}

void ZipWriter::FillRecordFromSource() {
    // The local header goes out before the data: a source that may pass
    // 4 GiB gets Zip64 sizes in it from the start. A memory target never
    // holds that much.
    record_.local_zip64 = (output_.memory == nullptr || output_.capacity > kZip32Limit) &&
                          (!source_.size_known || source_.anticipated_size >= kZip64ReserveAt);
    if (!record_.local_zip64) {
        source_.read_limit = kZip32Limit;
    }
    record_.dos_date_time = source_.dos_date_time;
    record_.external_attributes = source_.external_attributes;
    if (record_.method == kMethodStored && source_.size_known) {
        record_.compressed_size = source_.anticipated_size;
    }
    if (source_.size_known) {
        record_.uncompressed_size = source_.anticipated_size;
    } else if (!record_.local_zip64) {
        record_.uncompressed_size = kZip32Sentinel;
    }
    SetTimestampFields(record_, source_.modified, source_.accessed, source_.created);
}

ZipResult ZipWriter::TakeBackEntry(std::uint64_t header_position) {
    // The entry outgrew the 32-bit sizes its local header was written with.
    // Where the output allows it, its bytes leave the archive so nothing
    // dangles.
    if (output_.seekable) {
        OutputTakeBack(output_, header_position);
    }
    return ZipResult::WriteFailed;
}

ZipResult ZipWriter::FinishEntry(std::uint64_t header_position,
                                 std::uint64_t header_compressed_size) {
    if (output_.seekable) {
        record_.flags &= static_cast<std::uint16_t>(~kFlagDescriptor);
        record_.local_flags = record_.flags;
        std::uint8_t header[kLocalHeaderCapacity];
        std::uint32_t header_size = EncodeLocalHeader(record_, header);
        if (!OutputSeek(output_, header_position)) {
            return ZipResult::NotSeekable;
        }
        if (OutputWrite(output_, header, header_size) != header_size) {
            return ZipResult::WriteFailed;
        }
        if (!OutputSeek(output_, output_.end)) {
            return ZipResult::NotSeekable;
        }
    } else {
        if (record_.method == kMethodStored && record_.compressed_size != header_compressed_size) {
            return ZipResult::MindChanged;
        }
        std::uint8_t descriptor[kZip64DataDescriptorSize];
        std::uint32_t descriptor_size = EncodeDataDescriptor(record_, descriptor);
        if (OutputWrite(output_, descriptor, descriptor_size) != descriptor_size) {
            return ZipResult::WriteFailed;
        }
        record_.flags = record_.local_flags;
    }
    if (output_.sticky != ZipResult::Success) {
        return output_.sticky;
    }
    std::uint8_t central[kCentralHeaderCapacity];
    std::uint32_t central_size = EncodeCentralHeader(record_, central);
    try {
        directory_.insert(directory_.end(), central, central + central_size);
    } catch (const std::bad_alloc&) {
        return ZipResult::NoMemory;
    }
    ++entry_count_;
    return ZipResult::Success;
}

bool ZipWriter::WriteStored() {
    for (;;) {
        std::uint32_t got = ReadZipSource(source_, buffer_, kZipCopyBufferSize);
        if (got == 0) {
            return true;
        }
        std::uint32_t put = OutputWrite(output_, buffer_, got);
        record_.compressed_size += put;
        if (put != got) {
            return false;
        }
    }
}

bool ZipWriter::WriteDeflated() {
    DeflateSink sink;
    sink.buffer = buffer_;
    sink.capacity = kZipCopyBufferSize;
    sink.stream = true;
    sink.write = &ZipWriter::WriteData;
    sink.context = this;
    data_write_failed_ = false;
    std::uint64_t data_start = output_.end;
    DeflateResult result =
        DeflateEntry(&ZipWriter::ReadData, this, sink, kDeflateLevel, record_.flags);
    if (sink.fill != 0 && !data_write_failed_) {
        DeflateSinkFlush(sink);
    }
    // The compressor counts its output in 32 bits; past 4 GiB the bytes that
    // reached the output are the size, and the count must agree modulo 2^32.
    record_.compressed_size = output_.end - data_start;
    // A failed internal check, a failed write, or output that disagrees with
    // what the compressor reports all fail the entry.
    return result.check_message == nullptr && !result.output_lost && !data_write_failed_ &&
           sink.fill == 0 &&
           static_cast<std::uint32_t>(record_.compressed_size) == result.compressed_size;
}

std::uint32_t ZipWriter::ReadData(void* context, std::uint8_t* buffer, std::uint32_t size) {
    return ReadZipSource(static_cast<ZipWriter*>(context)->source_, buffer, size);
}

std::uint32_t ZipWriter::WriteData(void* context, const std::uint8_t* data, std::uint32_t length) {
    ZipWriter& writer = *static_cast<ZipWriter*>(context);
    std::uint32_t put = OutputWrite(writer.output_, data, length);
    if (put != length) {
        writer.data_write_failed_ = true;
    }
    return put;
}

ZipResult ZipWriter::End() {
    if (!ended_) {
        ended_ = true;
        end_result_ = WriteDirectory();
    }
    return end_result_;
}

ZipResult ZipWriter::WriteDirectory() {
    if (output_.position != output_.end && !OutputSeek(output_, output_.end)) {
        return ZipResult::WriteFailed;
    }
    std::uint64_t directory_start = output_.end;
    for (std::size_t at = 0; at < directory_.size();) {
        std::size_t left = directory_.size() - at;
        std::uint32_t chunk = static_cast<std::uint32_t>(left < (1u << 20) ? left : (1u << 20));
        if (OutputWrite(output_, directory_.data() + at, chunk) != chunk) {
            return ZipResult::WriteFailed;
        }
        at += chunk;
    }
    std::vector<std::uint8_t>().swap(directory_);
    std::uint8_t end_records[kEndRecordsCapacity];
    std::uint32_t end_size = EncodeEndRecords(entry_count_, output_.end - directory_start,
                                              output_.start_offset + directory_start,
                                              output_.start_offset + output_.end, end_records);
    if (OutputWrite(output_, end_records, end_size) != end_size) {
        return ZipResult::WriteFailed;
    }
    return ZipResult::Success;
}
