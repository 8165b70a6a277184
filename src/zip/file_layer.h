// The thin file-access layer under the zip writer: the only place that talks
// to the platform. One implementation calls Win32 (narrow paths in the system
// code page), the other POSIX, so the same container code runs in both.
#pragma once

#include <cstdint>

// A platform handle: a Win32 HANDLE or a POSIX descriptor, as an integer.
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// Windows file time: 100-nanosecond ticks since 1 January 1601.
using FileTime = std::uint64_t;

// File-system attribute bits, as Windows reports them.
enum : std::uint32_t {
    kAttributeReadOnly = 0x01,
    kAttributeHidden = 0x02,
    kAttributeSystem = 0x04,
    kAttributeDirectory = 0x10,
    kAttributeArchive = 0x20,
};

struct FileInformation {
    std::uint32_t attributes = 0; // kAttribute... bits
    std::uint64_t size = 0;
    FileTime last_write = 0; // UTC
    FileTime last_access = 0;
    FileTime creation = 0;
};

// An anonymous memory block made by MapAnonymousMemory.
struct MemoryMapping {
    void* view = nullptr;
    std::intptr_t mapping = 0; // the Win32 mapping handle; unused on POSIX
    std::uint32_t size = 0;
};

/* Converts between a FileHandle and the pointer form that the zip interface
   takes for handle targets and sources. */
inline const void* FileHandleToPointer(FileHandle file) {
    return reinterpret_cast<const void*>(file);
}
inline FileHandle FileHandleFromPointer(const void* pointer) {
    return reinterpret_cast<FileHandle>(pointer);
}

/* True unless file is null (0 on Win32) or kNoFile. */
bool FileIsUsable(FileHandle file);

/* Creates path afresh (truncating an existing file) for writing, shared with
   no one: while it is open, no other open of it (for reading either)
   succeeds. Returns kNoFile on failure. */
FileHandle FileCreateForWrite(const char* path);

/* Opens an existing file (not a folder) for reading, shared with readers,
   writers and deleters, so a file another program is writing opens as it
   stands; it fails only where a holder refuses readers. Returns kNoFile on
   failure. */
FileHandle FileOpenForRead(const char* path);

/* Converts name, narrow text in the system code page as paths are, into
   UTF-8 in out (capacity bytes with the terminating zero). Returns the
   length in bytes, or 0 when name is empty, cannot be converted or does not
   fit. Where the code page is UTF-8 already (the product's manifest asks for
   it; POSIX names are taken as UTF-8) the bytes are copied as they are. */
std::uint32_t NarrowNameToUtf8(const char* name, char* out, std::uint32_t capacity);

/* Closes a handle from this layer or a duplicate; kNoFile is ignored. */
void FileClose(FileHandle file);

/* Reads up to size bytes; returns the count read, 0 at the end or on failure. */
std::uint32_t FileRead(FileHandle file, void* buffer, std::uint32_t size);

/* Writes length bytes; returns the count the platform reports as written. */
std::uint32_t FileWrite(FileHandle file, const void* data, std::uint32_t length);

/* Moves the file position to offset from the start. */
bool FileSeek(FileHandle file, std::uint64_t offset);

/* Stores the current file position in offset. */
bool FileTell(FileHandle file, std::uint64_t& offset);

/* Cuts the file at its current position. */
bool FileTruncateHere(FileHandle file);

/* Duplicates file with the same access, not inheritable; kNoFile on failure. */
FileHandle FileDuplicate(FileHandle file);

/* True when file is a disk file (one that can be repositioned). */
bool FileIsDisk(FileHandle file);

/* Reads attributes, size and times of an open disk file. */
bool FileGetInformation(FileHandle file, FileInformation& information);

/* Allocates size bytes of zeroed, writable anonymous memory. */
bool MapAnonymousMemory(std::uint32_t size, MemoryMapping& mapping);

/* Releases a block from MapAnonymousMemory and resets mapping. */
void UnmapAnonymousMemory(MemoryMapping& mapping);

/* The local wall-clock time now, expressed as a file time. */
FileTime LocalTimeNow();

/* Initialises the C library's time-zone information (used by mktime). */
void InitialiseTimeZone();
