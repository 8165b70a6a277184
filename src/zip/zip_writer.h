// The archive being written: its output, the central directory gathered so
// far, the entry in progress and the copy buffer. ZipArchive's operations are
// thin wrappers over this class.
#pragma once

#include <cstdint>
#include <vector>

#include "zip_archive.h"
#include "zip_entry_record.h"
#include "zip_output.h"
#include "zip_source.h"

// The copy buffer: stored data is read through it, deflated data leaves through it.
constexpr std::uint32_t kZipCopyBufferSize = 16384;

class ZipWriter {
public:
    ZipWriter() = default;
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;
    ~ZipWriter();

    /* Opens the output on target of kind (see ZipArchive::Create). Returns
       Success, DuplicateFailed, OpenFailed, NoMemory, MemoryTooSmall or
       BadArguments (also for a disk handle whose position cannot be read). */
    ZipResult Start(const void* target, std::uint32_t size, ZipDataKind kind);

    /* Adds one entry (see ZipArchive::AddFile). On success the entry is in
       the central directory to come; on failure it is not, and the archive
       written so far stays valid. Entries past 65,535, sizes and offsets past
       4 GiB take Zip64 fields; an entry whose local header went out without
       Zip64 sizes (its source was below kZip64ReserveAt when opened) and
       whose data then passed 4 GiB fails alone. */
    ZipResult Add(const char* name, const void* source, std::uint32_t size, ZipDataKind kind);

    /* Writes the central directory and the end records (with the Zip64 end
       record where the count, size or offset needs it), once. Returns
       Success or WriteFailed (a short write: the archive has no complete
       end); later calls write nothing and return the first call's result. */
    ZipResult End();

    bool Ended() const { return ended_; }
    std::uint8_t* MemoryBlock() const { return output_.memory; }
    // The archive's length; a memory archive's always fits 32 bits.
    std::uint32_t Length() const { return static_cast<std::uint32_t>(output_.end); }

private:
    ZipResult WriteDirectory();
    // Sizes, attributes, times and the Zip64 choice of the entry from its
    // opened source.
    void FillRecordFromSource();
    bool WriteStored();
    bool WriteDeflated();
    ZipResult FinishEntry(std::uint64_t header_position, std::uint64_t header_compressed_size);
    ZipResult TakeBackEntry(std::uint64_t header_position);
    static std::uint32_t ReadData(void* context, std::uint8_t* buffer, std::uint32_t size);
    static std::uint32_t WriteData(void* context, const std::uint8_t* data, std::uint32_t length);

    ZipOutput output_;
    bool ended_ = false;
    ZipResult end_result_ = ZipResult::Success; // what ending additions gave
    std::vector<std::uint8_t> directory_;       // central headers of the recorded entries
    std::uint64_t entry_count_ = 0;
    ZipSource source_;
    ZipEntryRecord record_;
    bool data_write_failed_ = false;
    std::uint8_t buffer_[kZipCopyBufferSize];
};
