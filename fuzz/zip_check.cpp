// The fuzz target's archive reader. Written from the zip format alone, and
// stricter than a general reader: fields this writer always fills the same
// way must hold exactly those values.
#include "zip_check.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kDescriptorSize = 16;
constexpr std::uint16_t kLocalExtraSize = 17;
constexpr std::uint16_t kCentralExtraSize = 9;

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Has(std::size_t at, std::size_t count) const { return at <= size_ && count <= size_ - at; }
    std::uint16_t Get16(std::size_t at) const {
        return static_cast<std::uint16_t>(data_[at] | (data_[at + 1] << 8));
    }
    std::uint32_t Get32(std::size_t at) const {
        return Get16(at) | (static_cast<std::uint32_t>(Get16(at + 2)) << 16);
    }
    bool Signature(std::size_t at, std::uint8_t third, std::uint8_t fourth) const {
        return data_[at] == 0x50 && data_[at + 1] == 0x4B && data_[at + 2] == third &&
               data_[at + 3] == fourth;
    }
    const std::uint8_t* At(std::size_t at) const { return data_ + at; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Inflates exactly compressed bytes into exactly expected bytes.
bool Inflate(const std::vector<std::uint8_t>& raw, std::uint32_t expected,
             std::vector<std::uint8_t>& out) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -15) != Z_OK) {
        return false;
    }
    out.assign(std::size_t{expected} + 1, 0);
    z.next_in = const_cast<Bytef*>(raw.data());
    z.avail_in = static_cast<uInt>(raw.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && z.total_in == raw.size() && z.total_out == expected;
    inflateEnd(&z);
    out.resize(expected);
    return whole;
}

std::string CheckLocal(const Bytes& bytes, std::size_t at, std::size_t limit, CheckedEntry& entry,
                       std::size_t& entry_end) {
    if (at + kLocalHeaderSize > limit || !bytes.Signature(at, 3, 4)) {
        return "local header missing";
    }
    const std::size_t name_length = bytes.Get16(at + 26);
    if (bytes.Get16(at + 4) != 20 || bytes.Get16(at + 8) != entry.method ||
        bytes.Get32(at + 10) != entry.dos_date_time || name_length != entry.name.size() ||
        bytes.Get16(at + 28) != kLocalExtraSize) {
        return "local header fields differ from the central header";
    }
    entry.local_flags = bytes.Get16(at + 6);
    entry.local_crc = bytes.Get32(at + 14);
    entry.local_compressed = bytes.Get32(at + 18);
    entry.local_uncompressed = bytes.Get32(at + 22);
    std::size_t name_at = at + kLocalHeaderSize;
    std::size_t extra_at = name_at + name_length;
    std::size_t data_at = extra_at + kLocalExtraSize;
    if (data_at > limit || entry.compressed > limit - data_at) {
        return "entry runs into the central directory";
    }
    if (std::memcmp(bytes.At(name_at), entry.name.data(), name_length) != 0) {
        return "local name differs";
    }
    const std::uint8_t local_extra_head[] = {0x55, 0x54, 13, 0, 7};
    if (std::memcmp(bytes.At(extra_at), local_extra_head, sizeof local_extra_head) != 0) {
        return "local extra field malformed";
    }
    entry.raw.assign(bytes.At(data_at), bytes.At(data_at) + entry.compressed);
    entry_end = data_at + entry.compressed;
    entry.has_descriptor = (entry.flags & 8) != 0;
    if (entry.local_flags != entry.flags) {
        return "local flags differ";
    }
    if (entry.has_descriptor) {
        if (entry_end + kDescriptorSize > limit || !bytes.Signature(entry_end, 7, 8) ||
            bytes.Get32(entry_end + 4) != entry.crc ||
            bytes.Get32(entry_end + 8) != entry.compressed ||
            bytes.Get32(entry_end + 12) != entry.uncompressed) {
            return "data descriptor missing or wrong";
        }
        entry_end += kDescriptorSize;
    } else if (entry.local_crc != entry.crc || entry.local_compressed != entry.compressed ||
               entry.local_uncompressed != entry.uncompressed) {
        return "local sizes or CRC differ";
    }
    return {};
}

std::string CheckData(CheckedEntry& entry) {
    if (entry.method == 0) {
        if (entry.compressed != entry.uncompressed) {
            return "stored entry with two sizes";
        }
        entry.data = entry.raw;
    } else if (entry.method == 8) {
        if (!Inflate(entry.raw, entry.uncompressed, entry.data)) {
            return "deflated data does not inflate to its size";
        }
    } else {
        return "unknown method";
    }
    if (ReferenceCrc32(entry.data.data(), entry.data.size()) != entry.crc) {
        return "CRC-32 differs";
    }
    return {};
}

} // namespace

std::uint32_t ReferenceCrc32(const std::uint8_t* data, std::size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    if (size != 0) {
        crc = crc32(crc, data, static_cast<uInt>(size));
    }
    return static_cast<std::uint32_t>(crc);
}

std::string CheckZip(const std::uint8_t* output, std::size_t size, std::uint32_t base,
                     CheckedArchive& archive) {
    archive = CheckedArchive{};
    Bytes bytes(output, size);
    if (size < kEndRecordSize) {
        return "shorter than an end record";
    }
    const std::size_t end_at = size - kEndRecordSize;
    if (!bytes.Signature(end_at, 5, 6) || bytes.Get16(end_at + 4) != 0 ||
        bytes.Get16(end_at + 6) != 0 || bytes.Get16(end_at + 8) != bytes.Get16(end_at + 10) ||
        bytes.Get16(end_at + 20) != 0) {
        return "end record malformed";
    }
    const std::size_t count = bytes.Get16(end_at + 10);
    archive.directory_size = bytes.Get32(end_at + 12);
    archive.directory_offset = bytes.Get32(end_at + 16);
    if (archive.directory_offset < base ||
        std::size_t{archive.directory_offset - base} + archive.directory_size != end_at) {
        return "central directory does not end at the end record";
    }
    const std::size_t directory_at = archive.directory_offset - base;
    std::size_t at = directory_at;
    std::size_t previous_end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!bytes.Has(at, kCentralHeaderSize) || at + kCentralHeaderSize > end_at ||
            !bytes.Signature(at, 1, 2)) {
            return "central header missing";
        }
        CheckedEntry entry;
        const std::size_t name_length = bytes.Get16(at + 28);
        if (bytes.Get16(at + 4) != 0x0B17 || bytes.Get16(at + 6) != 20 ||
            bytes.Get16(at + 30) != kCentralExtraSize || bytes.Get16(at + 32) != 0 ||
            bytes.Get16(at + 34) != 0 || bytes.Get16(at + 36) != 0) {
            return "central header fixed fields wrong";
        }
        entry.flags = bytes.Get16(at + 8);
        entry.method = bytes.Get16(at + 10);
        entry.dos_date_time = bytes.Get32(at + 12);
        entry.crc = bytes.Get32(at + 16);
        entry.compressed = bytes.Get32(at + 20);
        entry.uncompressed = bytes.Get32(at + 24);
        entry.external = bytes.Get32(at + 38);
        entry.offset = bytes.Get32(at + 42);
        const std::size_t record_size = kCentralHeaderSize + name_length + kCentralExtraSize;
        if (name_length == 0 || record_size > end_at - at) {
            return "central header runs past the directory";
        }
        entry.name.assign(reinterpret_cast<const char*>(bytes.At(at + kCentralHeaderSize)),
                          name_length);
        const std::uint8_t* extra = bytes.At(at + kCentralHeaderSize + name_length);
        const std::uint8_t central_extra_head[] = {0x55, 0x54, 5, 0, 7};
        if (std::memcmp(extra, central_extra_head, sizeof central_extra_head) != 0) {
            return "central extra field malformed";
        }
        if (entry.offset < base || entry.offset - base < previous_end) {
            return "local header out of order or overlapping";
        }
        std::size_t entry_end = 0;
        std::string fault = CheckLocal(bytes, entry.offset - base, directory_at, entry, entry_end);
        if (!fault.empty()) {
            return fault;
        }
        // The central field repeats the local modification time.
        const std::size_t local_extra_at = entry.offset - base + kLocalHeaderSize + name_length;
        if (std::memcmp(bytes.At(local_extra_at + 5), extra + 5, 4) != 0) {
            return "modification times differ";
        }
        fault = CheckData(entry);
        if (!fault.empty()) {
            return fault;
        }
        previous_end = entry_end;
        archive.entries.push_back(std::move(entry));
        at += record_size;
    }
    if (at != end_at) {
        return "central directory size disagrees with its headers";
    }
    return {};
}
