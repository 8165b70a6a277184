// Byte layouts of the zip records this writer produces.
#include "zip_entry_record.h"

#include <cstring>

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
    w.U16(record.version_needed);
    w.U16(record.local_flags);
    w.U16(record.method);
    w.U16(record.dos_date_time & 0xFFFF);
    w.U16(record.dos_date_time >> 16);
    w.U32(record.crc);
    w.U32(record.compressed_size);
    w.U32(record.uncompressed_size);
    w.U16(record.name_length);
    w.U16(record.local_extra_length);
    w.Bytes(record.name, record.name_length);
    w.Bytes(record.local_extra, record.local_extra_length);
    return w.Size();
}

void EncodeDataDescriptor(const ZipEntryRecord& record, std::uint8_t* out) {
    LittleEndianWriter w(out);
    Signature(w, 0x07, 0x08);
    w.U32(record.crc);
    w.U32(record.compressed_size);
    w.U32(record.uncompressed_size);
}

std::uint32_t EncodeCentralHeader(const ZipEntryRecord& record, std::uint8_t* out) {
    LittleEndianWriter w(out);
    Signature(w, 0x01, 0x02);
    w.U16(record.version_made_by);
    w.U16(record.version_needed);
    w.U16(record.flags);
    w.U16(record.method);
    w.U16(record.dos_date_time & 0xFFFF);
    w.U16(record.dos_date_time >> 16);
    w.U32(record.crc);
    w.U32(record.compressed_size);
    w.U32(record.uncompressed_size);
    w.U16(record.name_length);
    w.U16(record.central_extra_length);
    w.U16(record.comment_length);
    w.U16(record.disk_number_start);
    w.U16(record.internal_attributes);
    w.U32(record.external_attributes);
    w.U32(record.local_header_offset);
    w.Bytes(record.name, record.name_length);
    w.Bytes(record.central_extra, record.central_extra_length);
    return w.Size();
}

void EncodeEndRecord(std::uint32_t entries, std::uint32_t directory_size,
                     std::uint32_t directory_offset, std::uint8_t* out) {
    LittleEndianWriter w(out);
    Signature(w, 0x05, 0x06);
    w.U16(0);
    w.U16(0);
    w.U16(entries & 0xFFFF);
    w.U16(entries & 0xFFFF);
    w.U32(directory_size);
    w.U32(directory_offset);
    w.U16(0);
}
