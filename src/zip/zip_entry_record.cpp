// Byte layouts of the zip records this writer produces.
#include "zip_entry_record.h"

#include <cstring>

#include "zip_limits.h"

namespace {

// Writes little-endian values at a moving position.
class LittleEndianWriter {
public:
    explicit LittleEndianWriter(std::uint8_t* out) : out_(out) {}
    void U16(std::uint32_t value) {
        out_[at_++] = static_cast<std::uint8_t>(value);
        out_[at_++] = static_cast<std::uint8_t>(value >> 8);
    }
    void U32(std::uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    void U64(std::uint64_t value) {
        U32(static_cast<std::uint32_t>(value));
        U32(static_cast<std::uint32_t>(value >> 32));
    }
    void Bytes(const void* data, std::uint32_t length) {
        std::memcpy(out_ + at_, data, length);
        at_ += length;
    }
    std::uint32_t Size() const { return at_; }

private:
    std::uint8_t* out_;
    std::uint32_t at_ = 0;
};

void Signature(LittleEndianWriter& out, std::uint8_t third, std::uint8_t fourth) {
    const std::uint8_t bytes[4] = {0x50, 0x4B, third, fourth};
    out.Bytes(bytes, 4);
}

constexpr std::uint16_t kZip64ExtraTag = 0x0001;

// A 32-bit field: the value, or the sentinel when it moved to Zip64.
std::uint32_t Field32(std::uint64_t value) {
    return NeedsZip64(value) ? kZip32Sentinel : static_cast<std::uint32_t>(value);
}

} // namespace

void SetTimestampFields(ZipEntryRecord& record, std::uint32_t modified, std::uint32_t accessed,
                        std::uint32_t created) {
    LittleEndianWriter local(record.local_extra);
    local.U16(0x5455);
    local.U16(13);
    local.Bytes("\x07", 1);
    local.U32(modified);
    local.U32(accessed);
    local.U32(created);
    LittleEndianWriter central(record.central_extra);
    central.U16(0x5455);
    central.U16(5);
    central.Bytes("\x07", 1);
    central.U32(modified);
}

std::uint32_t EncodeLocalHeader(const ZipEntryRecord& record, std::uint8_t* out) {
    LittleEndianWriter w(out);
    Signature(w, 0x03, 0x04);
    w.U16(record.local_zip64 ? kVersionNeededZip64 : kVersionNeeded);
    w.U16(record.local_flags);
    w.U16(record.method);
    w.U16(record.dos_date_time & 0xFFFF);
    w.U16(record.dos_date_time >> 16);
    w.U32(record.crc);
    if (record.local_zip64) {
        w.U32(kZip32Sentinel);
        w.U32(kZip32Sentinel);
    } else {
        w.U32(static_cast<std::uint32_t>(record.compressed_size));
        w.U32(static_cast<std::uint32_t>(record.uncompressed_size));
    }
    w.U16(record.name_length);
    w.U16(kLocalExtraSize + (record.local_zip64 ? kZip64LocalExtraSize : 0));
    w.Bytes(record.name, record.name_length);
    if (record.local_zip64) {
        w.U16(kZip64ExtraTag);
        w.U16(16);
        w.U64(record.uncompressed_size);
        w.U64(record.compressed_size);
    }
    w.Bytes(record.local_extra, kLocalExtraSize);
    return w.Size();
}

std::uint32_t EncodeDataDescriptor(const ZipEntryRecord& record, std::uint8_t* out) {
    LittleEndianWriter w(out);
    Signature(w, 0x07, 0x08);
    w.U32(record.crc);
    if (record.local_zip64) {
        w.U64(record.compressed_size);
        w.U64(record.uncompressed_size);
    } else {
        w.U32(static_cast<std::uint32_t>(record.compressed_size));
        w.U32(static_cast<std::uint32_t>(record.uncompressed_size));
    }
    return w.Size();
}

std::uint32_t EncodeCentralHeader(const ZipEntryRecord& record, std::uint8_t* out) {
    const std::uint64_t values[3] = {record.uncompressed_size, record.compressed_size,
                                     record.local_header_offset};
    std::uint32_t wide_values = 0;
    for (std::uint64_t value : values) {
        wide_values += NeedsZip64(value) ? 1 : 0;
    }
    LittleEndianWriter w(out);
    Signature(w, 0x01, 0x02);
    w.U16(record.version_made_by);
    w.U16(wide_values != 0 ? kVersionNeededZip64 : kVersionNeeded);
    w.U16(record.flags);
    w.U16(record.method);
    w.U16(record.dos_date_time & 0xFFFF);
    w.U16(record.dos_date_time >> 16);
    w.U32(record.crc);
    w.U32(Field32(record.compressed_size));
    w.U32(Field32(record.uncompressed_size));
    w.U16(record.name_length);
    w.U16(kCentralExtraSize + (wide_values != 0 ? 4 + 8 * wide_values : 0));
    w.U16(record.comment_length);
    w.U16(record.disk_number_start);
    w.U16(record.internal_attributes);
    w.U32(record.external_attributes);
    w.U32(Field32(record.local_header_offset));
    w.Bytes(record.name, record.name_length);
    if (wide_values != 0) {
        w.U16(kZip64ExtraTag);
        w.U16(8 * wide_values);
        for (std::uint64_t value : values) {
            if (NeedsZip64(value)) {
                w.U64(value);
            }
        }
    }
    w.Bytes(record.central_extra, kCentralExtraSize);
    return w.Size();
}

std::uint32_t EncodeEndRecords(std::uint64_t entries, std::uint64_t directory_size,
                               std::uint64_t directory_offset, std::uint64_t end_offset,
                               std::uint8_t* out) {
    LittleEndianWriter w(out);
    bool zip64 =
        entries > kZip16Limit || NeedsZip64(directory_size) || NeedsZip64(directory_offset);
    if (zip64) {
        Signature(w, 0x06, 0x06);
        w.U64(kZip64EndRecordSize - 12); // the record's size after this field
        w.U16(kVersionMadeBy);
        w.U16(kVersionNeededZip64);
        w.U32(0); // this disk
        w.U32(0); // the disk where the directory starts
        w.U64(entries);
        w.U64(entries);
        w.U64(directory_size);
        w.U64(directory_offset);
        Signature(w, 0x06, 0x07);
        w.U32(0); // the disk holding the Zip64 end record
        w.U64(end_offset);
        w.U32(1); // disks in all
    }
    std::uint32_t count =
        entries > kZip16Limit ? kZip16Sentinel : static_cast<std::uint32_t>(entries);
    Signature(w, 0x05, 0x06);
    w.U16(0);
    w.U16(0);
    w.U16(count);
    w.U16(count);
    w.U32(Field32(directory_size));
    w.U32(Field32(directory_offset));
    w.U16(0);
    return w.Size();
}
