// Win32 file layer: the product's build. Narrow (...A) calls, so paths are in
// the system code page.
#include "file_layer.h"

#include <windows.h>

#include <cstring>
#include <ctime>

namespace {

HANDLE AsHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FileHandle FromHandle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

FileTime FromFiletime(const FILETIME& time) {
    return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

bool FileIsUsable(FileHandle file) {
    return file != 0 && file != kNoFile;
}

FileHandle FileCreateForWrite(const char* path) {
    return FromHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileOpenForRead(const char* path) {
    // Shared with writers and deleters too: a log the product holds open
    // for appending is archived as it stands. Only a holder that shares
    // nothing for reading (the archive being written) keeps it out.
    return FromHandle(CreateFileA(path, GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::uint32_t NarrowNameToUtf8(const char* name, char* out, std::uint32_t capacity) {
    std::size_t length = std::strlen(name);
    if (length == 0 || length + 1 > capacity) {
        return 0;
    }
    if (GetACP() == CP_UTF8) {
        std::memcpy(out, name, length + 1);
        return static_cast<std::uint32_t>(length);
    }
    // A code-page byte is at most one UTF-16 unit, and that at most three
    // UTF-8 bytes: the wide form of a name that may fit fits here.
    WCHAR wide[1024];
    if (length + 1 > sizeof wide / sizeof wide[0]) {
        return 0;
    }
    int units = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, sizeof wide / sizeof wide[0]);
    if (units <= 0) {
        return 0;
    }
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, out, static_cast<int>(capacity),
                                    nullptr, nullptr);
    return bytes <= 1 ? 0 : static_cast<std::uint32_t>(bytes - 1);
}

void FileClose(FileHandle file) {
    if (FileIsUsable(file)) {
        CloseHandle(AsHandle(file));
    }
}

std::uint32_t FileRead(FileHandle file, void* buffer, std::uint32_t size) {
    DWORD got = 0;
    if (!ReadFile(AsHandle(file), buffer, size, &got, nullptr)) {
        return 0;
    }
    return got;
}

std::uint32_t FileWrite(FileHandle file, const void* data, std::uint32_t length) {
    DWORD put = 0;
    if (!WriteFile(AsHandle(file), data, length, &put, nullptr)) {
        return 0;
    }
    return put;
}

bool FileSeek(FileHandle file, std::uint64_t offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    DWORD low =
        SetFilePointer(AsHandle(file), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool FileTell(FileHandle file, std::uint64_t& offset) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(AsHandle(file), 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        return false;
    }
    offset = (static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    return true;
}

bool FileTruncateHere(FileHandle file) {
    return SetEndOfFile(AsHandle(file)) != FALSE;
}

FileHandle FileDuplicate(FileHandle file) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), AsHandle(file), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return kNoFile;
    }
    return reinterpret_cast<FileHandle>(copy);
}

bool FileIsDisk(FileHandle file) {
    return GetFileType(AsHandle(file)) == FILE_TYPE_DISK;
}

bool FileGetInformation(FileHandle file, FileInformation& information) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(AsHandle(file), &info)) {
        return false;
    }
    information.attributes = info.dwFileAttributes;
    DWORD high = 0;
    DWORD low = GetFileSize(AsHandle(file), &high);
    information.size = (static_cast<std::uint64_t>(high) << 32) | low;
    information.last_write = FromFiletime(info.ftLastWriteTime);
    information.last_access = FromFiletime(info.ftLastAccessTime);
    information.creation = FromFiletime(info.ftCreationTime);
    return true;
}

bool MapAnonymousMemory(std::uint32_t size, MemoryMapping& mapping) {
    HANDLE section =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, nullptr);
    if (section == nullptr) {
        return false;
    }
    void* view = MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) {
        CloseHandle(section);
        return false;
    }
    mapping.view = view;
    mapping.mapping = reinterpret_cast<std::intptr_t>(section);
    mapping.size = size;
    return true;
}

void UnmapAnonymousMemory(MemoryMapping& mapping) {
    if (mapping.view != nullptr) {
        UnmapViewOfFile(mapping.view);
    }
    if (mapping.mapping != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(mapping.mapping));
    }
    mapping = MemoryMapping{};
}

FileTime LocalTimeNow() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME time;
    if (!SystemTimeToFileTime(&local, &time)) {
        return 0;
    }
    return FromFiletime(time);
}

void InitialiseTimeZone() {
    _tzset();
}
