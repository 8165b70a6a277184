#include "common/file_finder.h"

#include <cstring>

#include "common/path_separator.h"

FileFinder::FileFinder() noexcept
    : data_(), root_(), separator_('\\'), search_(INVALID_HANDLE_VALUE), current_(false) {}

FileFinder::~FileFinder() {
    Close();
}

bool FileFinder::Find(const char* pattern) {
    Close();
    if (pattern == nullptr || std::strlen(pattern) > kMaxPattern) {
        return false;
    }
    search_ = FindFirstFileA(pattern, &data_);
    if (search_ == INVALID_HANDLE_VALUE) {
        return false;
    }
    char full[kMaxPattern + 1];
    const DWORD length = GetFullPathNameA(pattern, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) {
        Close();
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const char* separator = FindLastSeparator(full);
    const size_t rootLength =
        separator == nullptr ? std::strlen(full) : static_cast<size_t>(separator - full);
    std::memcpy(root_, full, rootLength);
    root_[rootLength] = '\0';
    current_ = true;
    return true;
}

bool FileFinder::Next() {
    if (search_ == INVALID_HANDLE_VALUE) {
        current_ = false;
        return false;
    }
    current_ = FindNextFileA(search_, &data_) != FALSE;
    return current_;
}

void FileFinder::Close() noexcept {
    if (search_ != INVALID_HANDLE_VALUE) {
        FindClose(search_);
        search_ = INVALID_HANDLE_VALUE;
    }
    current_ = false;
}

const char* FileFinder::Name() const noexcept {
    return current_ ? data_.cFileName : "";
}

NarrowText FileFinder::FullPath() const noexcept {
    NarrowText path(root_);
    const char* separator = FindLastSeparator(root_);
    const size_t rootLength = std::strlen(root_);
    if (rootLength == 0 || separator != root_ + rootLength - 1) {
        path += separator_;
    }
    return path + Name();
}

bool FileFinder::IsFolder() const noexcept {
    return current_ && (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileFinder::IsDots() const noexcept {
    return IsFolder() &&
           (std::strcmp(data_.cFileName, ".") == 0 || std::strcmp(data_.cFileName, "..") == 0);
}
