// The zip writer's handle-based interface: create an archive, add entries one
// by one, optionally take the finished memory block, close. Portable C++17;
// every failure is a ZipResult, nothing is thrown.
#pragma once

#include <cstdint>

// What a target of ZipArchive::Create or a source of ZipArchive::AddFile is.
enum class ZipDataKind : std::uint32_t {
    Handle = 1,   // an open handle (Win32 HANDLE, or a POSIX descriptor), as a pointer value
    FileName = 2, // a narrow path in the system code page
    Memory = 3,   // a memory block
    Folder = 4,   // a folder entry without data (sources only)
};

// Result codes. Below 0x10000: the platform failed; 0x10000..0x80000: the
// caller misused the interface; from 0x1000000: a fault inside the writer.
enum class ZipResult : std::uint32_t {
    Success = 0x00000000,
    MostRecent = 0x00000001, // for ZipResultText only: stands for ZipLastResult
    DuplicateFailed = 0x00000100,
    OpenFailed = 0x00000200,
    NoMemory = 0x00000300,
    WriteFailed = 0x00000400,
    EntryNotFound = 0x00000500,
    MoreData = 0x00000600,
    NotAZip = 0x00000700,
    ReadFailed = 0x00000800,
    BadArguments = 0x00010000,
    NotMemoryArchive = 0x00020000,
    MemoryTooSmall = 0x00030000,
    PreviousError = 0x00040000,
    AlreadyEnded = 0x00050000,
    SizeMismatch = 0x00060000,
    PartlyUnzipped = 0x00070000,
    WrongHandleKind = 0x00080000,
    NotInitialised = 0x01000000,
    NotSeekable = 0x02000000,
    MindChanged = 0x04000000,
    DeflateFault = 0x05000000,
};

class ZipWriter;

// Tag of a handle made by ZipArchive::Create.
constexpr std::uint32_t kZipHandleCreating = 2;

// What ZipArchive::Create returns; owned by the caller until ZipArchive::Close.
struct ZipHandle {
    std::uint32_t kind = kZipHandleCreating;
    ZipWriter* archive = nullptr;
};

// The result of the most recent Create, AddFile, GetMemory or Close.
extern ZipResult ZipLastResult;

class ZipArchive {
public:
    /* Starts an archive on target: a path (FileName; created or truncated), an
       open writable handle (Handle; duplicated, the caller keeps its own; on a
       disk file the archive starts at the handle's current position), or a
       writable memory block of size bytes (Memory; a null pointer makes the
       writer allocate the block). Returns a new handle, or null with the reason
       in ZipLastResult. */
    static ZipHandle* Create(const void* target, std::uint32_t size, ZipDataKind kind);

    /* Adds one entry named name, narrow text in the system code page
       (backslashes become slashes; at most 259 characters, a folder's
       appended slash included; stored in UTF-8, and marked so by flag bit 11
       when not ASCII) from source: a path, an open
       readable handle (size: its length when it is not a disk file, 0 =
       unknown), a memory block of size bytes, or nothing for a Folder. Names
       with a compressed-file extension are stored, others deflated. Returns
       Success, or the reason the entry is not in the archive; the archive
       stays valid either way. */
    static ZipResult AddFile(ZipHandle* handle, const char* name, const void* source,
                             std::uint32_t size, ZipDataKind kind);

    /* Ends additions (writes the central directory once) and hands out the
       memory block and the archive's length. Returns NotMemoryArchive for a
       file or handle archive, else the result of ending additions: Success,
       or WriteFailed when the directory or end record did not fit (the block
       then holds no complete archive). The block stays valid until Close. */
    static ZipResult GetMemory(ZipHandle* handle, void** memory, std::uint32_t* length);

    /* Ends additions if not yet ended, releases the output and frees the
       handle (unless it is null or of the wrong kind). Returns the result of
       ending additions, also when GetMemory ended them. */
    static ZipResult Close(ZipHandle* handle);
};

/* Copies the message for code (1 = ZipLastResult) into buffer, cut to size - 1
   characters and zero-terminated; copies nothing when buffer is null or size
   is 0. Returns the length of the whole message. */
std::uint32_t ZipResultText(std::uint32_t code, char* buffer, std::uint32_t size);
