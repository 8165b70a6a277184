// The fuzz target's archive reader. Written from the zip format alone, and
// stricter than a general reader: fields this writer always fills the same
// way must hold exactly those values.
#include "zip_check.h"

#include "zip/zip_limits.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kDescriptorSize = 16;
constexpr std::size_t kZip64DescriptorSize = 24;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
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
    std::uint64_t Get64(std::size_t at) const {
        return Get32(at) | (static_cast<std::uint64_t>(Get32(at + 4)) << 32);
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
bool Inflate(const std::vector<std::uint8_t>& raw, std::uint64_t expected,
             std::vector<std::uint8_t>& out) {
    if (expected > (1u << 30)) {
        return false; // no archive of the fuzz target holds that much
    }
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
    out.resize(static_cast<std::size_t>(expected));
    return whole;
}

// Reads the Zip64 extra field (tag 1) at the front of an extra block of
// length bytes into values (count of them); false when it is not there or
// has another size.
bool Zip64Field(const Bytes& bytes, std::size_t at, std::size_t length, std::size_t count,
                std::uint64_t* values) {
    if (length < 4 + 8 * count || bytes.Get16(at) != 1 || bytes.Get16(at + 2) != 8 * count) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = bytes.Get64(at + 4 + 8 * i);
    }
    return true;
}

std::string CheckLocal(const Bytes& bytes, std::size_t at, std::size_t limit, CheckedEntry& entry,
                       std::size_t& entry_end) {
    if (at + kLocalHeaderSize > limit || !bytes.Signature(at, 3, 4)) {
        return "local header missing";
    }
    const std::size_t name_length = bytes.Get16(at + 26);
    const std::size_t extra_length = bytes.Get16(at + 28);
    entry.local_zip64 = extra_length == kLocalExtraSize + 20;
    if (bytes.Get16(at + 4) != (entry.local_zip64 ? 45 : 20) ||
        bytes.Get16(at + 8) != entry.method || bytes.Get32(at + 10) != entry.dos_date_time ||
        name_length != entry.name.size() ||
        (extra_length != kLocalExtraSize && !entry.local_zip64)) {
        return "local header fields differ from the central header";
    }
    entry.local_flags = bytes.Get16(at + 6);
    entry.local_crc = bytes.Get32(at + 14);
    entry.local_compressed = bytes.Get32(at + 18);
    entry.local_uncompressed = bytes.Get32(at + 22);
    std::size_t name_at = at + kLocalHeaderSize;
    std::size_t extra_at = name_at + name_length;
    std::size_t data_at = extra_at + extra_length;
    if (data_at > limit || entry.compressed > limit - data_at) {
        return "entry runs into the central directory";
    }
    if (std::memcmp(bytes.At(name_at), entry.name.data(), name_length) != 0) {
        return "local name differs";
    }
    if (entry.local_zip64) {
        std::uint64_t sizes[2];
        if (entry.local_compressed != 0xFFFFFFFFu || entry.local_uncompressed != 0xFFFFFFFFu ||
            !Zip64Field(bytes, extra_at, extra_length, 2, sizes)) {
            return "local Zip64 sizes malformed";
        }
        entry.local_uncompressed = sizes[0];
        entry.local_compressed = sizes[1];
        extra_at += 20;
    }
    const std::uint8_t local_extra_head[] = {0x55, 0x54, 13, 0, 7};
    if (std::memcmp(bytes.At(extra_at), local_extra_head, sizeof local_extra_head) != 0) {
        return "local extra field malformed";
    }
    entry.raw.assign(bytes.At(data_at), bytes.At(data_at) + entry.compressed);
    entry_end = data_at + static_cast<std::size_t>(entry.compressed);
    entry.has_descriptor = (entry.flags & 8) != 0;
    if (entry.local_flags != entry.flags) {
        return "local flags differ";
    }
    if (entry.has_descriptor) {
        const std::size_t size = entry.local_zip64 ? kZip64DescriptorSize : kDescriptorSize;
        if (entry_end + size > limit || !bytes.Signature(entry_end, 7, 8) ||
            bytes.Get32(entry_end + 4) != entry.crc) {
            return "data descriptor missing or wrong";
        }
        const std::uint64_t compressed =
            entry.local_zip64 ? bytes.Get64(entry_end + 8) : bytes.Get32(entry_end + 8);
        const std::uint64_t uncompressed =
            entry.local_zip64 ? bytes.Get64(entry_end + 16) : bytes.Get32(entry_end + 12);
        if (compressed != entry.compressed || uncompressed != entry.uncompressed) {
            return "data descriptor sizes wrong";
        }
        entry_end += size;
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

std::string CheckZip(const std::uint8_t* output, std::size_t size, std::uint64_t base,
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
    std::uint64_t count = bytes.Get16(end_at + 10);
    archive.directory_size = bytes.Get32(end_at + 12);
    archive.directory_offset = bytes.Get32(end_at + 16);
    std::size_t directory_end = end_at;
    archive.zip64_end = end_at >= kZip64EndSize + kZip64LocatorSize &&
                        bytes.Signature(end_at - kZip64LocatorSize, 6, 7);
    if (archive.zip64_end) {
        const std::size_t locator = end_at - kZip64LocatorSize;
        const std::size_t record = locator - kZip64EndSize;
        if (bytes.Get32(locator + 4) != 0 || bytes.Get64(locator + 8) != base + record ||
            bytes.Get32(locator + 16) != 1 || !bytes.Signature(record, 6, 6) ||
            bytes.Get64(record + 4) != kZip64EndSize - 12 || bytes.Get16(record + 12) != 0x0B17 ||
            bytes.Get16(record + 14) != 45 || bytes.Get32(record + 16) != 0 ||
            bytes.Get32(record + 20) != 0 || bytes.Get64(record + 24) != bytes.Get64(record + 32)) {
            return "Zip64 end record malformed";
        }
        const std::uint64_t count64 = bytes.Get64(record + 32);
        const std::uint64_t size64 = bytes.Get64(record + 40);
        const std::uint64_t offset64 = bytes.Get64(record + 48);
        if (count64 <= kZip16Limit && !NeedsZip64(size64) && !NeedsZip64(offset64)) {
            return "Zip64 end record where none is needed";
        }
        if (count != (count64 > kZip16Limit ? 0xFFFFu : count64) ||
            archive.directory_size != (NeedsZip64(size64) ? 0xFFFFFFFFu : size64) ||
            archive.directory_offset != (NeedsZip64(offset64) ? 0xFFFFFFFFu : offset64)) {
            return "end record disagrees with the Zip64 end record";
        }
        count = count64;
        archive.directory_size = size64;
        archive.directory_offset = offset64;
        directory_end = record;
    } else if (count > kZip16Limit || NeedsZip64(archive.directory_size) ||
               NeedsZip64(archive.directory_offset)) {
        return "no Zip64 end record where one is needed";
    }
    if (archive.directory_offset < base || archive.directory_offset - base > directory_end ||
        archive.directory_offset - base + archive.directory_size != directory_end) {
        return "central directory does not end at the end records";
    }
    const std::size_t directory_at = static_cast<std::size_t>(archive.directory_offset - base);
    std::size_t at = directory_at;
    std::size_t previous_end = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!bytes.Has(at, kCentralHeaderSize) || at + kCentralHeaderSize > directory_end ||
            !bytes.Signature(at, 1, 2)) {
            return "central header missing";
        }
        CheckedEntry entry;
        const std::size_t name_length = bytes.Get16(at + 28);
        const std::size_t extra_length = bytes.Get16(at + 30);
        const std::uint16_t needed = bytes.Get16(at + 6);
        if (bytes.Get16(at + 4) != 0x0B17 || (needed != 20 && needed != 45) ||
            bytes.Get16(at + 32) != 0 || bytes.Get16(at + 34) != 0 || bytes.Get16(at + 36) != 0) {
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
        const std::size_t record_size = kCentralHeaderSize + name_length + extra_length;
        if (name_length == 0 || record_size > directory_end - at) {
            return "central header runs past the directory";
        }
        entry.name.assign(reinterpret_cast<const char*>(bytes.At(at + kCentralHeaderSize)),
                          name_length);
        std::size_t extra_at = at + kCentralHeaderSize + name_length;
        std::uint64_t* fields[3] = {&entry.uncompressed, &entry.compressed, &entry.offset};
        std::size_t wide = 0;
        for (std::uint64_t* field : fields) {
            wide += *field == 0xFFFFFFFFu ? 1 : 0;
            if (*field != 0xFFFFFFFFu && NeedsZip64(*field)) {
                return "a value past the limit without a Zip64 field";
            }
        }
        if (extra_length != kCentralExtraSize + (wide != 0 ? 4 + 8 * wide : 0) ||
            needed != (wide != 0 ? 45 : 20)) {
            return "central extra length or version needed disagree with the Zip64 fields";
        }
        if (wide != 0) {
            std::uint64_t values[3];
            if (!Zip64Field(bytes, extra_at, extra_length, wide, values)) {
                return "central Zip64 field malformed";
            }
            std::size_t next = 0;
            for (std::uint64_t* field : fields) {
                if (*field == 0xFFFFFFFFu) {
                    *field = values[next++];
                    if (!NeedsZip64(*field)) {
                        return "Zip64 field holds a value that fits 32 bits";
                    }
                }
            }
            extra_at += 4 + 8 * wide;
        }
        const std::uint8_t* extra = bytes.At(extra_at);
        const std::uint8_t central_extra_head[] = {0x55, 0x54, 5, 0, 7};
        if (std::memcmp(extra, central_extra_head, sizeof central_extra_head) != 0) {
            return "central extra field malformed";
        }
        if (entry.offset < base || entry.offset - base < previous_end ||
            entry.offset - base > directory_at) {
            return "local header out of order or overlapping";
        }
        const std::size_t local_at = static_cast<std::size_t>(entry.offset - base);
        std::size_t entry_end = 0;
        std::string fault = CheckLocal(bytes, local_at, directory_at, entry, entry_end);
        if (!fault.empty()) {
            return fault;
        }
        // The central field repeats the local modification time.
        const std::size_t local_extra_at =
            local_at + kLocalHeaderSize + name_length + (entry.local_zip64 ? 20 : 0);
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
    if (at != directory_end) {
        return "central directory size disagrees with its headers";
    }
    return {};
}
