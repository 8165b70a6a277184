// libFuzzer target for the zip writer. The input is a script of calls:
// ZipArchive::Create on memory blocks (tiny ones too), files, disk handles
// (after other data, or read-only) and pipes; ZipArchive::AddFile from memory,
// files, handles and pipes (sizes right or wrong) and folders, under names that
// are empty, long, full of backslashes or end in a stored extension; then
// GetMemory and Close, in any order, plus calls on null and foreign handles.
// A model of the writer's contract predicts every result code; every archive
// that a call reported finished is read back (zip_check) and must hold exactly
// the additions that succeeded, in order, byte for byte.
#include "zip/deflate.h"
#include "zip/file_layer.h"
#include "zip/zip_archive.h"
#include "zip/zip_limits.h"
#include "zip_check.h"
#include "zip_fuzz_files.h"

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "zip_writer_fuzz: %s\n", what);
        std::abort();
    }
}

void RequireResult(ZipResult got, ZipResult expected, const char* what) {
    if (got != expected || ZipLastResult != got) {
        std::fprintf(stderr, "zip_writer_fuzz: %s: got 0x%08x, expected 0x%08x, last 0x%08x\n",
                     what, static_cast<unsigned>(got), static_cast<unsigned>(expected),
                     static_cast<unsigned>(ZipLastResult));
        std::abort();
    }
}

// Reads the fuzz input as a script; past its end every value is 0.
class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Done() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t Number(int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        }
        return value;
    }
    void Take(std::size_t count, std::vector<std::uint8_t>& out) {
        std::size_t left = size_ - pos_;
        count = count < left ? count : left;
        out.insert(out.end(), data_ + pos_, data_ + pos_ + count);
        pos_ += count;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Limits that keep one input quick and its disk use small.
// An entry may still fill the compressor's window and pass three copy chunks.
constexpr std::size_t kEntryDataLimit = 48 * 1024;
constexpr std::size_t kInputDataLimit = 64 * 1024;
constexpr int kCallLimit = 24;
constexpr std::uint32_t kCopyChunk = 16384; // the writer's read size for stored data

constexpr std::uint32_t kLocalHeaderFixed = 30 + 17;  // local header and its extra field
constexpr std::uint32_t kCentralHeaderFixed = 46 + 9; // central header and its extra field
constexpr std::uint32_t kEndRecord = 22;
constexpr std::uint32_t kDescriptor = 16;
// Zip64 (this build's limits are small, so every input may reach them).
constexpr std::uint32_t kLocalZip64Field = 20;
constexpr std::uint32_t kZip64Descriptor = 24;
constexpr std::uint32_t kZip64EndRecords = 56 + 20;

// The central header's size: its Zip64 field holds each value past the limit.
std::uint64_t CentralSize(std::size_t name_length, std::uint64_t uncompressed,
                          std::uint64_t compressed, std::uint64_t offset) {
    std::uint64_t wide = (NeedsZip64(uncompressed) ? 1 : 0) + (NeedsZip64(compressed) ? 1 : 0) +
                         (NeedsZip64(offset) ? 1 : 0);
    return kCentralHeaderFixed + name_length + (wide != 0 ? 4 + 8 * wide : 0);
}
constexpr std::uint32_t kNameCharacters = 259;                // characters of a name at most
constexpr std::uint32_t kNameField = kNameCharacters * 4 + 1; // name bytes and a terminating zero
constexpr std::uint16_t kUtf8Flag = 0x0800;

// Every byte but a UTF-8 continuation byte starts a character.
std::size_t Characters(const std::string& name) {
    std::size_t count = 0;
    for (char c : name) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

bool HasNonAscii(const std::string& name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

const char* const kStoredExtensions[] = {".Z",   ".zip", ".zoo", ".arc",
                                         ".lzh", ".arj", ".gz",  ".tgz"};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsStoredExtension(const std::string& name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension;
    for (std::size_t i = dot; i < name.size(); ++i) {
        extension += Lower(name[i]);
    }
    for (const char* stored : kStoredExtensions) {
        std::string lower;
        for (const char* p = stored; *p != '\0'; ++p) {
            lower += Lower(*p);
        }
        if (extension == lower) {
            return true;
        }
    }
    return false;
}

std::string MakeName(Script& script) {
    static const char kAlphabet[] = "abcdefghilmnoprstuvxyzACDRXYZ0189._- \\/\xe9\x80";
    const std::size_t alphabet_size = sizeof kAlphabet - 1;
    std::string name;
    auto letters = [&](std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            name += kAlphabet[script.Byte() % alphabet_size];
        }
    };
    auto stored_extension = [&]() {
        std::string extension = kStoredExtensions[script.Byte() % 8];
        std::uint8_t cases = script.Byte();
        for (std::size_t i = 0; i < extension.size(); ++i) {
            char c = extension[i];
            if (((cases >> (i % 8)) & 1) != 0) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                } else if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
            extension[i] = c;
        }
        name += extension;
    };
    switch (script.Byte() % 8) {
    case 0:
        break; // empty
    case 1:
        letters(1 + script.Byte() % 16);
        break;
    case 2:
        letters(script.Byte() % 8);
        stored_extension();
        break;
    case 3: // around the 259-character limit, in one- or three-byte characters
        letters(1);
        if (script.Byte() & 1) {
            for (int i = 250 + script.Byte() % 16 - 1; i > 0; --i) {
                name += "\xe6\x95\xb0";
            }
        } else {
            name.append(250 + script.Byte() % 16 - 1, 'n');
        }
        if (script.Byte() & 1) {
            name[name.size() / 2] = '\\';
        }
        if (script.Byte() & 1) {
            name.back() = '\\';
        }
        break;
    case 4: { // any bytes but zero
        std::size_t count = 1 + script.Byte() % 32;
        for (std::size_t i = 0; i < count; ++i) {
            name += static_cast<char>(script.Byte() | 1);
        }
        break;
    }
    case 5: // a path with backslashes
        for (int segment = 0, count = 1 + script.Byte() % 4; segment < count; ++segment) {
            letters(1 + script.Byte() % 6);
            name += '\\';
        }
        letters(1 + script.Byte() % 6);
        break;
    case 6: // a folder-like name
        letters(1 + script.Byte() % 8);
        name += (script.Byte() & 1) ? '\\' : '/';
        break;
    default: // a stored extension that is not the last one
        letters(1 + script.Byte() % 4);
        stored_extension();
        letters(1 + script.Byte() % 4);
        break;
    }
    return name;
}

// A length: one byte below 0xF0 as it is, above it a 16- or 24-bit value, so
// that long data stays possible but most mutations keep an input quick.
std::size_t MakeLength(Script& script) {
    std::uint8_t first = script.Byte();
    if (first < 0xF0) {
        return first;
    }
    return script.Number(first < 0xFC ? 2 : 3);
}

// Entry data: raw fuzz bytes, runs, or a repeated unit with changes.
std::vector<std::uint8_t> MakeData(Script& script, std::size_t limit) {
    std::vector<std::uint8_t> data;
    switch (script.Byte() % 4) {
    case 0:
        break;
    case 1:
        script.Take(MakeLength(script) % (limit + 1), data);
        break;
    case 2:
        for (int piece = 0, count = 1 + script.Byte() % 8; piece < count; ++piece) {
            std::uint8_t value = script.Byte();
            std::size_t run = 1 + MakeLength(script);
            run = run < limit - data.size() ? run : limit - data.size();
            data.insert(data.end(), run, value);
        }
        break;
    default: {
        std::vector<std::uint8_t> unit;
        script.Take(1 + script.Byte() % 64, unit);
        if (unit.empty()) {
            unit.push_back(0);
        }
        std::size_t total = MakeLength(script) % (limit + 1);
        std::uint8_t change = script.Byte();
        data.resize(total);
        // Doubling copies keep the unit's period.
        std::size_t filled = total < unit.size() ? total : unit.size();
        if (filled != 0) {
            std::memcpy(data.data(), unit.data(), filled);
        }
        while (filled < total) {
            std::size_t count = total - filled < filled ? total - filled : filled;
            std::memcpy(data.data() + filled, data.data(), count);
            filled += count;
        }
        if (change != 0) {
            for (std::size_t i = 0; i < total; i += change * 64u) {
                data[i] = static_cast<std::uint8_t>(data[i] ^ i ^ (i >> 8));
            }
        }
        break;
    }
    }
    return data;
}

std::uint32_t Little16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

std::uint32_t Little32(const std::uint8_t* p) {
    return Little16(p) | (Little16(p + 2) << 16);
}

// The executable mark of a disk file as its bytes decide it.
bool LooksExecutable(const std::vector<std::uint8_t>& data) {
    if (data.size() <= 40 || Little16(data.data()) != 0x54AD) {
        return false;
    }
    std::uint64_t v = Little32(data.data() + 36);
    if (v + 52 >= data.size()) {
        return false;
    }
    std::uint32_t signature = Little32(data.data() + v);
    return signature == 0x5A4D || signature == 0x454E || signature == 0x454C || signature == 0x4550;
}

std::uint32_t DiskAttributes(const std::vector<std::uint8_t>& data, bool read_only, bool readable) {
    std::uint32_t attributes = 0x80000000u | 0x01000000u;
    attributes |= read_only ? 0x01u : 0x00800000u;
    if (readable && LooksExecutable(data)) {
        attributes |= 0x00400000u;
    }
    return attributes;
}

// The compressor run exactly as the writer runs it over an output with room
// bytes left: what it writes, whether a write failed for lack of room, went
// past out_limit bytes of data (an entry without Zip64 sizes), or the input
// was cut where it would reach in_limit bytes.
struct DeflateRun {
    std::vector<std::uint8_t> raw;
    std::uint64_t room = 0;
    std::uint64_t out_limit = 0;
    bool failed = false;
    bool over = false;
};

struct MemoryReader {
    const std::vector<std::uint8_t>* data;
    std::size_t at;
    std::uint64_t limit;
    bool too_large;
};

std::uint32_t ReadMemory(void* context, std::uint8_t* buffer, std::uint32_t size) {
    auto& reader = *static_cast<MemoryReader*>(context);
    if (reader.too_large) {
        return 0;
    }
    std::size_t left = reader.data->size() - reader.at;
    std::size_t count = size < left ? size : left;
    if (reader.at + count >= reader.limit) {
        reader.too_large = true;
        return 0;
    }
    if (count != 0) {
        std::memcpy(buffer, reader.data->data() + reader.at, count);
    }
    reader.at += count;
    return static_cast<std::uint32_t>(count);
}

std::uint32_t WriteRoom(void* context, const std::uint8_t* data, std::uint32_t length) {
    auto& run = *static_cast<DeflateRun*>(context);
    if (run.raw.size() + length > run.out_limit) {
        run.over = true;
        return 0;
    }
    if (run.raw.size() + length >= run.room) {
        run.failed = true;
        return 0;
    }
    run.raw.insert(run.raw.end(), data, data + length);
    return length;
}

DeflateRun RunDeflate(const std::vector<std::uint8_t>& data, std::uint64_t room,
                      std::uint64_t in_limit, std::uint64_t out_limit, bool& too_large) {
    DeflateRun run;
    run.room = room;
    run.out_limit = out_limit;
    std::vector<std::uint8_t> buffer(kCopyChunk);
    DeflateSink sink;
    sink.buffer = buffer.data();
    sink.capacity = kCopyChunk;
    sink.stream = true;
    sink.write = WriteRoom;
    sink.context = &run;
    MemoryReader reader{&data, 0, in_limit, false};
    std::uint16_t flags = 8;
    DeflateResult result = DeflateEntry(ReadMemory, &reader, sink, 8, flags);
    if (sink.fill != 0 && !run.failed && !run.over) {
        DeflateSinkFlush(sink);
    }
    if (!run.failed && !run.over) {
        Require(result.check_message == nullptr && !result.output_lost &&
                    result.compressed_size == run.raw.size() && flags == 10,
                "compressor reported a fault");
    }
    too_large = reader.too_large;
    return run;
}

enum class Target { CallerMemory, OwnMemory, File, DiskHandle, ReadOnlyHandle, Pipe };

struct ExpectedEntry {
    std::string name;
    std::vector<std::uint8_t> data;
    std::uint16_t method = 0;
    std::uint32_t external = 0;
    bool local_zip64 = false;           // the local header carries Zip64 sizes
    std::uint64_t local_compressed = 0; // as first written (non-seekable outputs keep it)
    std::uint64_t local_uncompressed = 0;
    bool raw_known = false; // memory targets: the exact bytes written
    std::vector<std::uint8_t> raw;
};

// A stretch of the archive before its directory: a recorded entry (its
// size read from the archive unless known) or what a failed addition left.
struct Segment {
    int entry = -1;
    std::uint32_t bytes = 0;
};

struct Archive {
    ZipHandle* handle = nullptr;
    Target target = Target::File;
    bool seekable = true;
    std::uint32_t capacity = 0;
    std::unique_ptr<std::uint8_t[]> block; // a caller-lent memory block
    std::string path;
    int own_fd = -1; // the caller's handle of a handle target
    std::uint32_t start = 0;
    std::vector<std::uint8_t> prefix;
    int pipe_read = -1;
    std::size_t pipe_capacity = 0;
    std::vector<std::uint8_t> piped;
    bool sticky = false;
    bool ended = false;
    bool end_written = false;                  // ending wrote the whole directory and end record
    ZipResult end_result = ZipResult::Success; // what ending gave
    std::uint32_t end = 0;                     // archive position (exact for memory targets)
    bool length_seen = false;                  // GetMemory's length on a file or pipe target
    std::uint32_t length = 0;
    std::uint64_t directory = 0; // central directory size (memory targets)
    std::vector<ExpectedEntry> entries;
    std::vector<Segment> segments;
};

bool IsMemory(const Archive& archive) {
    return archive.target == Target::CallerMemory || archive.target == Target::OwnMemory;
}

void VerifyArchive(const Archive& archive, const std::uint8_t* bytes, std::size_t size,
                   const char* when) {
    CheckedArchive checked;
    std::string fault = CheckZip(bytes, size, 0, checked);
    if (!fault.empty()) {
        std::fprintf(stderr, "zip_writer_fuzz: archive after %s: %s\n", when, fault.c_str());
        std::abort();
    }
    Require(checked.entries.size() == archive.entries.size(), "entry count");
    std::uint64_t directory = 0;
    for (const CheckedEntry& got : checked.entries) {
        directory += CentralSize(got.name.size(), got.uncompressed, got.compressed, got.offset);
    }
    Require(checked.directory_size == directory &&
                (!IsMemory(archive) || directory == archive.directory),
            "directory size");
    std::uint64_t position = archive.start;
    for (const Segment& segment : archive.segments) {
        if (segment.entry < 0) {
            position += segment.bytes;
            continue;
        }
        const ExpectedEntry& expected = archive.entries[static_cast<std::size_t>(segment.entry)];
        const CheckedEntry& got = checked.entries[static_cast<std::size_t>(segment.entry)];
        Require(got.offset == position, "entry does not start where the previous one ended");
        Require(got.name == expected.name, "entry name");
        Require(got.method == expected.method, "entry method");
        Require(got.data == expected.data, "entry data");
        Require(got.external == expected.external, "external attributes");
        if (expected.raw_known) {
            Require(got.raw == expected.raw, "entry bytes differ from the compressor's");
        }
        const std::uint16_t utf8 = HasNonAscii(expected.name) ? kUtf8Flag : 0;
        if (archive.seekable) {
            Require(got.flags == ((expected.method == 8 ? 2 : 0) | utf8) && !got.has_descriptor,
                    "flags on a seekable output");
        } else {
            Require(got.flags == (8 | utf8) && got.has_descriptor && got.local_crc == 0 &&
                        got.local_compressed == expected.local_compressed &&
                        got.local_uncompressed == expected.local_uncompressed,
                    "first local header on a non-seekable output");
        }
        Require(got.local_zip64 == expected.local_zip64, "Zip64 sizes in the local header");
        position += kLocalHeaderFixed + got.name.size() + got.compressed +
                    (got.local_zip64 ? kLocalZip64Field : 0) +
                    (got.has_descriptor ? (got.local_zip64 ? kZip64Descriptor : kDescriptor) : 0);
    }
    Require(checked.directory_offset == position, "bytes between the entries and the directory");
}

// Ending additions as the model sees it, the first time; returns the result
// it must give.
ZipResult ModelEndOnce(Archive& archive) {
    if (archive.target == Target::ReadOnlyHandle) {
        return ZipResult::WriteFailed;
    }
    if (IsMemory(archive)) {
        std::uint64_t position = archive.end;
        if (archive.directory != 0 && position + archive.directory >= archive.capacity) {
            archive.sticky = true;
            return ZipResult::WriteFailed;
        }
        const bool zip64 = archive.entries.size() > kZip16Limit || NeedsZip64(archive.directory) ||
                           NeedsZip64(position);
        position += archive.directory;
        archive.end = static_cast<std::uint32_t>(position);
        const std::uint32_t records = kEndRecord + (zip64 ? kZip64EndRecords : 0);
        if (position + records >= archive.capacity) {
            archive.sticky = true;
            return ZipResult::WriteFailed;
        }
        archive.end += records;
    }
    archive.end_written = true;
    return ZipResult::Success;
}

// Ending happens once; GetMemory and Close answer with its result every time.
ZipResult ModelEnd(Archive& archive) {
    if (!archive.ended) {
        archive.ended = true;
        archive.end_result = ModelEndOnce(archive);
    }
    return archive.end_result;
}

// What an addition that passed its argument checks must give, and what it
// leaves in the archive.
ZipResult ModelWrite(Archive& archive, ExpectedEntry entry, bool size_known,
                     std::uint32_t anticipated) {
    const std::uint32_t name_length = static_cast<std::uint32_t>(entry.name.size());
    if (archive.target == Target::ReadOnlyHandle) {
        return ZipResult::WriteFailed; // a short write is no sticky error on a file
    }
    const bool memory = IsMemory(archive);
    entry.local_zip64 = (!memory || archive.capacity > kZip32Limit) &&
                        (!size_known || anticipated >= kZip64ReserveAt);
    const std::uint32_t header =
        kLocalHeaderFixed + name_length + (entry.local_zip64 ? kLocalZip64Field : 0);
    entry.local_compressed = entry.method == 0 && size_known ? anticipated : 0;
    entry.local_uncompressed = size_known ? anticipated : (entry.local_zip64 ? 0 : 0xFFFFFFFFu);
    // Without Zip64 sizes, data must stay below the limit, read and written.
    const std::uint64_t in_limit = entry.local_zip64 ? UINT64_MAX : kZip32Limit;
    const std::uint64_t out_limit = entry.local_zip64 ? UINT64_MAX : kZip32Limit - 1;
    const int index = static_cast<int>(archive.entries.size());
    const std::uint64_t header_at = memory ? archive.end : 0;
    if (memory && header_at + header >= archive.capacity) {
        archive.sticky = true;
        return ZipResult::WriteFailed;
    }
    const std::uint64_t room = memory ? archive.capacity - (header_at + header) : UINT64_MAX;

    // The data as the writer writes it.
    bool failed = false;    // a write found no room: sticky
    bool too_large = false; // the input was cut at the limit
    bool over = false;      // the output passed the limit
    std::uint64_t written = 0;
    bool raw_known = memory;
    if (entry.method == 0) {
        std::uint64_t read = 0;
        for (std::size_t at = 0; at < entry.data.size(); at += kCopyChunk) {
            std::size_t chunk = entry.data.size() - at;
            chunk = chunk < kCopyChunk ? chunk : kCopyChunk;
            if (read + chunk >= in_limit) {
                too_large = true;
                break;
            }
            read += chunk;
            if (written + chunk >= room) {
                failed = true;
                break;
            }
            written += chunk;
        }
        entry.raw = entry.data;
    } else if (memory || (!entry.local_zip64 && entry.data.size() + 4096 >= kZip32Limit)) {
        DeflateRun run = RunDeflate(entry.data, room, in_limit, out_limit, too_large);
        failed = run.failed;
        over = run.over;
        written = run.raw.size();
        entry.raw = std::move(run.raw);
        raw_known = true;
    } else {
        raw_known = false;
    }

    Segment segment;
    if (failed) {
        archive.sticky = true;
        segment.bytes = static_cast<std::uint32_t>(header + written);
        archive.end = static_cast<std::uint32_t>(header_at + header + written);
        archive.segments.push_back(segment);
        return ZipResult::MemoryTooSmall;
    }
    if (too_large || over) {
        if (!archive.seekable) {
            // Nothing can be taken back from a pipe: the bytes stay, unlisted.
            segment.bytes = static_cast<std::uint32_t>(header + written);
            archive.segments.push_back(segment);
        }
        return ZipResult::WriteFailed;
    }
    if (!archive.seekable && entry.method == 0 && entry.data.size() != entry.local_compressed) {
        // The header already promised another size; the bytes stay, unlisted.
        segment.bytes = header + static_cast<std::uint32_t>(entry.data.size());
        archive.segments.push_back(segment);
        return ZipResult::MindChanged;
    }
    if (memory) {
        entry.raw_known = raw_known;
        archive.end = static_cast<std::uint32_t>(header_at + header + written);
        archive.directory +=
            CentralSize(name_length, entry.data.size(), written, archive.start + header_at);
    }
    segment.entry = index;
    archive.segments.push_back(segment);
    archive.entries.push_back(std::move(entry));
    return ZipResult::Success;
}

class Run {
public:
    Run(const std::uint8_t* data, std::size_t size) : script_(data, size) {}
    ~Run() {
        if (archive_) {
            DoClose();
        }
        ClearScratch();
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    void Execute() {
        for (int call = 0; call < kCallLimit && !script_.Done(); ++call) {
            std::uint8_t op = script_.Byte();
            if (op % 8 == 7) {
                DoMisuse();
            } else if (!archive_) {
                DoCreate(op);
            } else if (op % 8 < 5) {
                DoAdd();
            } else if (op % 8 == 5) {
                DoGetMemory();
            } else {
                DoClose();
            }
        }
    }

private:
    std::string NewPath(const char* stem) {
        return ScratchRoot() + "/" + stem + std::to_string(serial_++);
    }

    std::size_t DataLimit() {
        std::size_t limit = kEntryDataLimit;
        if (archive_ && archive_->target == Target::Pipe) {
            // One addition must fit the pipe, which is drained after each call.
            std::size_t pipe_room = archive_->pipe_capacity / 2 - 4096;
            limit = limit < pipe_room ? limit : pipe_room;
        }
        std::size_t left = kInputDataLimit - data_used_;
        return limit < left ? limit : left;
    }

    std::vector<std::uint8_t> TakeData(std::size_t limit) {
        std::size_t cap = DataLimit();
        std::vector<std::uint8_t> data = MakeData(script_, limit < cap ? limit : cap);
        data_used_ += data.size();
        return data;
    }

    std::uint32_t MemoryCapacity() {
        switch (script_.Byte() % 4) {
        case 0:
            return 1 + script_.Byte() % 64;
        case 1:
            return script_.Number(2);
        case 2:
            return script_.Number(3) % (2u << 20);
        default:
            return 2u << 20;
        }
    }

    void DoCreate(std::uint8_t op) {
        auto archive = std::make_unique<Archive>();
        ZipResult expected = ZipResult::Success;
        const void* target = nullptr;
        std::uint32_t size = 0;
        ZipDataKind kind = ZipDataKind::FileName;
        std::uint8_t variant = script_.Byte();
        switch ((op >> 3) % 7) {
        case 0:
            archive->target = Target::CallerMemory;
            archive->capacity = MemoryCapacity();
            archive->block.reset(new std::uint8_t[archive->capacity + 1]);
            target = archive->block.get();
            size = archive->capacity;
            kind = ZipDataKind::Memory;
            if (size == 0) {
                expected = ZipResult::MemoryTooSmall;
            }
            break;
        case 1:
            archive->target = Target::OwnMemory;
            archive->capacity = MemoryCapacity();
            size = archive->capacity;
            kind = ZipDataKind::Memory;
            if (size == 0) {
                expected = ZipResult::MemoryTooSmall;
            }
            break;
        case 2:
            archive->target = Target::File;
            archive->path = NewPath("archive");
            target = archive->path.c_str();
            break;
        case 3:
        case 4: {
            archive->target = (variant & 1) ? Target::ReadOnlyHandle : Target::DiskHandle;
            archive->path = NewPath("handle");
            script_.Take(script_.Byte() % 64, archive->prefix);
            if (!WriteScratchFile(archive->path, archive->prefix)) {
                return;
            }
            int flags = archive->target == Target::ReadOnlyHandle ? O_RDONLY : O_RDWR;
            archive->own_fd = open(archive->path.c_str(), flags | O_CLOEXEC);
            Require(archive->own_fd >= 0, "scratch handle");
            lseek(archive->own_fd, 0, SEEK_END);
            archive->start = static_cast<std::uint32_t>(archive->prefix.size());
            target = FileHandleToPointer(archive->own_fd);
            kind = ZipDataKind::Handle;
            break;
        }
        case 5: {
            archive->target = Target::Pipe;
            archive->seekable = false;
            int write_end = -1;
            archive->pipe_capacity = MakeLargePipe(archive->pipe_read, write_end, 1u << 20);
            Require(archive->pipe_capacity >= 65536, "scratch pipe");
            archive->own_fd = write_end;
            target = FileHandleToPointer(write_end);
            kind = ZipDataKind::Handle;
            break;
        }
        default:
            // Targets that cannot be made.
            switch (variant % 6) {
            case 0:
                kind = static_cast<ZipDataKind>(variant % 2 == 0 ? 0 : 4 + variant / 6);
                target = "x";
                expected = ZipResult::BadArguments;
                break;
            case 1:
                kind = ZipDataKind::FileName;
                expected = ZipResult::OpenFailed;
                break;
            case 2:
                kind = ZipDataKind::FileName;
                archive->path = NewPath("missing") + "/archive.zip";
                target = archive->path.c_str();
                expected = ZipResult::OpenFailed;
                break;
            case 3:
                kind = ZipDataKind::Handle;
                target = FileHandleToPointer(kNoFile);
                expected = ZipResult::DuplicateFailed;
                break;
            default:
                kind = ZipDataKind::Memory;
                target = variant % 6 == 4 ? static_cast<const void*>(&variant) : nullptr;
                expected = ZipResult::MemoryTooSmall;
                break;
            }
            break;
        }
        ZipHandle* handle = ZipArchive::Create(target, size, kind);
        if (expected != ZipResult::Success) {
            Require(handle == nullptr, "Create gave a handle on failure");
            RequireResult(ZipLastResult, expected, "Create");
            Release(*archive);
            return;
        }
        Require(handle != nullptr && handle->kind == 2, "Create failed");
        RequireResult(ZipLastResult, ZipResult::Success, "Create");
        archive->handle = handle;
        archive_ = std::move(archive);
    }

    // Releases what the fuzzer itself holds for an archive.
    static void Release(Archive& archive) {
        if (archive.own_fd >= 0) {
            close(archive.own_fd);
            archive.own_fd = -1;
        }
        if (archive.pipe_read >= 0) {
            close(archive.pipe_read);
            archive.pipe_read = -1;
        }
    }

    void DoAdd() {
        Archive& archive = *archive_;
        std::string name = MakeName(script_);
        std::uint8_t kind_byte = script_.Byte();
        std::uint8_t variant = script_.Byte();
        ZipDataKind kind = ZipDataKind::Memory;
        const void* source = nullptr;
        std::uint32_t size = 0;
        ZipResult open_result = ZipResult::Success;
        ExpectedEntry entry;
        bool size_known = true;
        std::uint32_t anticipated = 0;
        int close_after = -1;
        std::string path;
        static const std::uint8_t kSomeByte = 0x5A;

        switch (kind_byte % 5) {
        case 0: // memory
            entry.data = TakeData(kEntryDataLimit);
            entry.external = 0x80000000u;
            source = entry.data.empty() ? &kSomeByte : entry.data.data();
            size = static_cast<std::uint32_t>(entry.data.size());
            if (variant % 8 == 0) {
                source = nullptr;
                size |= 1;
            }
            if (source == nullptr || size == 0) {
                open_result = ZipResult::BadArguments;
            }
            anticipated = size;
            break;
        case 1:   // file name
        case 2: { // disk handle
            kind = kind_byte % 5 == 1 ? ZipDataKind::FileName : ZipDataKind::Handle;
            entry.data = TakeData(kEntryDataLimit);
            path = NewPath("source");
            if (variant % 8 == 0) {
                if (kind == ZipDataKind::FileName) {
                    open_result = ZipResult::BadArguments; // no name
                } else {
                    source = FileHandleToPointer(kNoFile);
                    open_result = ZipResult::BadArguments;
                }
                break;
            }
            if (variant % 8 == 1) {
                Require(mkdir(path.c_str(), 0755) == 0, "scratch folder");
                if (kind == ZipDataKind::FileName) {
                    source = path.c_str(); // a folder's name is no file
                    open_result = ZipResult::OpenFailed;
                    break;
                }
                // A handle that is no disk file: the caller's size, no data.
                int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                Require(fd >= 0, "scratch folder handle");
                close_after = fd;
                source = FileHandleToPointer(fd);
                size = script_.Number(2);
                size_known = size != 0;
                anticipated = size;
                entry.data.clear();
                entry.external = 0x80000000u;
                break;
            }
            if (variant % 8 == 2 && kind == ZipDataKind::FileName) {
                source = path.c_str(); // never made
                open_result = ZipResult::OpenFailed;
                break;
            }
            Require(WriteScratchFile(path, entry.data), "scratch file");
            bool read_only = (variant & 0x10) != 0;
            if (read_only) {
                chmod(path.c_str(), 0444);
            }
            bool readable = true;
            if (kind == ZipDataKind::FileName) {
                source = path.c_str();
            } else {
                // A handle that cannot read gives an empty entry of the
                // file's announced size.
                readable = (variant & 0x20) == 0;
                int fd = open(path.c_str(), (readable ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
                Require(fd >= 0, "scratch source handle");
                lseek(fd, static_cast<off_t>(script_.Number(2) % (entry.data.size() + 1)),
                      SEEK_SET);
                close_after = fd;
                source = FileHandleToPointer(fd);
                size = script_.Number(1);
            }
            entry.external = DiskAttributes(entry.data, read_only, readable);
            anticipated = static_cast<std::uint32_t>(entry.data.size());
            if (!readable) {
                entry.data.clear();
            }
            break;
        }
        case 3: { // pipe handle: the size is the caller's word
            kind = ZipDataKind::Handle;
            int read_end = -1;
            int write_end = -1;
            std::size_t capacity = MakeLargePipe(read_end, write_end, 1u << 20);
            Require(capacity >= 65536, "scratch source pipe");
            entry.data = TakeData(capacity - 4096);
            if (!entry.data.empty()) {
                Require(write(write_end, entry.data.data(), entry.data.size()) ==
                            static_cast<ssize_t>(entry.data.size()),
                        "filling a pipe");
            }
            close(write_end);
            close_after = read_end;
            source = FileHandleToPointer(read_end);
            switch (variant % 5) {
            case 0:
                size = 0;
                break;
            case 1:
                size = 0xFFFFFFFFu;
                break;
            case 2:
                size = static_cast<std::uint32_t>(entry.data.size()) + 1 + script_.Byte();
                break;
            case 3:
                size = static_cast<std::uint32_t>(entry.data.size()) - 1 - script_.Byte();
                break;
            default:
                size = static_cast<std::uint32_t>(entry.data.size());
                break;
            }
            size_known = size != 0 && size != 0xFFFFFFFFu;
            anticipated = size;
            entry.external = 0x80000000u;
            break;
        }
        default: // folder
            kind = ZipDataKind::Folder;
            entry.external = 0x41C00010u;
            if (variant & 1) {
                path = NewPath("folder");
                Require(mkdir(path.c_str(), 0755) == 0, "scratch folder");
                source = path.c_str();
            }
            size = script_.Number(1);
            anticipated = 0;
            break;
        }

        // The stored name and method.
        const bool folder = kind == ZipDataKind::Folder;
        std::string stored = name;
        for (char& c : stored) {
            c = c == '\\' ? '/' : c;
        }
        if (folder && !stored.empty() && stored.back() != '/') {
            stored += '/';
        }
        entry.name = stored;
        entry.method = (folder || IsStoredExtension(stored)) ? 0 : 8;

        ZipResult expected;
        if (archive.sticky) {
            expected = ZipResult::PreviousError;
        } else if (archive.ended) {
            expected = ZipResult::AlreadyEnded;
        } else if (name.empty() || stored.size() + 1 > kNameField ||
                   Characters(stored) > kNameCharacters) {
            expected = ZipResult::BadArguments;
        } else if (open_result != ZipResult::Success) {
            expected = open_result;
        } else {
            // A copy: the memory source still points into entry.data.
            expected = ModelWrite(archive, entry, size_known, anticipated);
        }
        ZipResult got = ZipArchive::AddFile(archive.handle, name.c_str(), source, size, kind);
        RequireResult(got, expected, "AddFile");
        if (close_after >= 0) {
            close(close_after);
        }
        if (archive.target == Target::Pipe) {
            DrainPipe(archive.pipe_read, archive.piped);
        }
    }

    void DoGetMemory() {
        Archive& archive = *archive_;
        const ZipResult ended = ModelEnd(archive);
        const bool outputs = (script_.Byte() & 3) != 0;
        void* memory = &memory;
        std::uint32_t length = 0xDEADBEEF;
        ZipResult got = ZipArchive::GetMemory(archive.handle, outputs ? &memory : nullptr,
                                              outputs ? &length : nullptr);
        RequireResult(got, IsMemory(archive) ? ended : ZipResult::NotMemoryArchive, "GetMemory");
        if (!outputs) {
            return;
        }
        if (archive.target == Target::Pipe) {
            DrainPipe(archive.pipe_read, archive.piped);
            Require(length == archive.piped.size(), "GetMemory length of a pipe archive");
        }
        if (!IsMemory(archive)) {
            Require(memory == nullptr, "GetMemory block of a file archive");
            archive.length_seen = true;
            archive.length = length;
            return;
        }
        Require(length == archive.end, "GetMemory length");
        if (archive.target == Target::CallerMemory) {
            Require(memory == archive.block.get(), "GetMemory block");
        }
        Require(memory != nullptr, "GetMemory without a block");
        if (archive.end_written) {
            VerifyArchive(archive, static_cast<const std::uint8_t*>(memory), length, "GetMemory");
        }
    }

    void DoClose() {
        std::unique_ptr<Archive> owned = std::move(archive_);
        Archive& archive = *owned;
        ZipResult expected = ModelEnd(archive);
        ZipResult got = ZipArchive::Close(archive.handle);
        RequireResult(got, expected, "Close");
        switch (archive.target) {
        case Target::CallerMemory:
            if (archive.end_written) {
                VerifyArchive(archive, archive.block.get(), archive.end, "Close");
            }
            break;
        case Target::OwnMemory:
            break; // the block went with the archive
        case Target::Pipe:
            DrainPipe(archive.pipe_read, archive.piped);
            VerifyArchive(archive, archive.piped.data(), archive.piped.size(), "Close");
            break;
        case Target::File:
        case Target::DiskHandle:
        case Target::ReadOnlyHandle: {
            std::vector<std::uint8_t> file;
            Require(ReadScratchFile(archive.path, file), "reading the archive back");
            Require(file.size() >= archive.prefix.size() &&
                        std::equal(archive.prefix.begin(), archive.prefix.end(), file.begin()),
                    "data before the archive changed");
            if (archive.target == Target::ReadOnlyHandle) {
                Require(file.size() == archive.prefix.size(), "a read-only target grew");
                break;
            }
            if (archive.length_seen) {
                Require(file.size() - archive.prefix.size() == archive.length,
                        "GetMemory length of a file archive");
            }
            VerifyArchive(archive, file.data(), file.size(), "Close");
            break;
        }
        }
        Release(archive);
    }

    // Calls that must be refused without touching the open archive.
    void DoMisuse() {
        std::uint8_t variant = script_.Byte();
        ZipHandle foreign;
        foreign.kind = variant & 0x10 ? 1 : 3 + (variant >> 5);
        foreign.archive = archive_ ? archive_->handle->archive : nullptr;
        ZipHandle* handle = variant & 8 ? &foreign : nullptr;
        ZipResult expected =
            handle == nullptr ? ZipResult::BadArguments : ZipResult::WrongHandleKind;
        switch (variant % 3) {
        case 0:
            RequireResult(ZipArchive::AddFile(handle, "a.txt", "x", 1, ZipDataKind::Memory),
                          expected, "AddFile on a bad handle");
            break;
        case 1: {
            void* memory = &memory;
            std::uint32_t length = 7;
            RequireResult(ZipArchive::GetMemory(handle, &memory, &length), expected,
                          "GetMemory on a bad handle");
            if (handle == nullptr) {
                Require(memory == nullptr && length == 0, "GetMemory outputs on a null handle");
            }
            break;
        }
        default:
            RequireResult(ZipArchive::Close(handle), expected, "Close on a bad handle");
            break;
        }
    }

    Script script_;
    std::unique_ptr<Archive> archive_;
    std::size_t data_used_ = 0;
    unsigned serial_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Run run(data, size);
    run.Execute();
    return 0;
}
