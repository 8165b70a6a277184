#pragma once
// Test support: a scratch folder under the temp directory that is removed
// with everything below it, and small whole-file helpers.

#include <string>

#include <windows.h>

namespace testing_support {

/* Creates every missing folder of `path` (no trailing separator needed). */
inline void MakeFolders(const std::string& path) {
    for (size_t at = 3; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '\\') {
            CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        }
    }
}

/* Removes `path`, a file or a folder with everything below it. Folder links
   are removed without being entered. */
inline void RemoveTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA((path + "\\*.*").c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = data.cFileName;
                if (name != "." && name != "..") {
                    RemoveTree(path + "\\" + name);
                }
            } while (FindNextFileA(search, &data));
            FindClose(search);
        }
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

/* Writes `bytes` to a new file at `path`; false on failure. */
inline bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

/* Reads the whole file at `path`; `exists` says whether it could be opened. */
inline std::string ReadWholeFile(const std::string& path, bool* exists = nullptr) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exists != nullptr) {
        *exists = file != INVALID_HANDLE_VALUE;
    }
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

/* A fresh folder under the temp directory, removed with its contents when
   the object goes away. Path() has no trailing separator. */
class ScratchFolder {
public:
    explicit ScratchFolder(const char* label) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        std::string base = temp;
        if (!base.empty() && base.back() == '\\') {
            base.pop_back();
        }
        path_ = base + "\\gw_" + label + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(GetTickCount()) + "_" + std::to_string(++serial_);
        RemoveTree(path_);
        MakeFolders(path_);
    }
    ~ScratchFolder() { RemoveTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }

    /* The path of `relative` below the folder. */
    std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

private:
    static inline unsigned serial_ = 0;
    std::string path_;
};

} // namespace testing_support
