#include "common/file_finder.h"

#include <cwchar>

namespace {

bool IsSeparator(wchar_t unit) {
    return unit == L'\\' || unit == L'/';
}

} // namespace

FileFinder::FileFinder() noexcept
    : data_(), name_(), root_(), rootEndsInSeparator_(false), separator_('\\'),
      search_(INVALID_HANDLE_VALUE), current_(false) {}

FileFinder::~FileFinder() {
    Close();
}

bool FileFinder::Find(const char* pattern) {
    Close();
    if (pattern == nullptr) {
        return false;
    }
    // Measured first, so that a pattern too long is never handed on.
    const int units = MultiByteToWideChar(CP_ACP, 0, pattern, -1, nullptr, 0);
    if (units <= 0 || static_cast<size_t>(units) > kMaxPattern + 1) {
        return false;
    }
    wchar_t widePattern[kMaxPattern + 1];
    if (MultiByteToWideChar(CP_ACP, 0, pattern, -1, widePattern, units) != units) {
        return false;
    }
    search_ = FindFirstFileW(widePattern, &data_);
    if (search_ == INVALID_HANDLE_VALUE) {
        return false;
    }
    wchar_t full[kMaxPattern + 1];
    const DWORD length = GetFullPathNameW(widePattern, kMaxPattern + 1, full, nullptr);
    if (length == 0 || length > kMaxPattern) {
        Close();
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    size_t rootLength = length;
    for (size_t i = length; i > 0; --i) {
        if (IsSeparator(full[i - 1])) {
            rootLength = i - 1;
            break;
        }
    }
    full[rootLength] = L'\0';
    rootEndsInSeparator_ = rootLength > 0 && IsSeparator(full[rootLength - 1]);
    ToExactNarrow(full, root_, sizeof root_);
    TakeEntry();
    return true;
}

bool FileFinder::Next() {
    if (search_ == INVALID_HANDLE_VALUE) {
        current_ = false;
        return false;
    }
    if (FindNextFileW(search_, &data_) == FALSE) {
        current_ = false;
        return false;
    }
    TakeEntry();
    return true;
}

void FileFinder::TakeEntry() noexcept {
    ToExactNarrow(data_.cFileName, name_, sizeof name_);
    current_ = true;
}

void FileFinder::Close() noexcept {
    if (search_ != INVALID_HANDLE_VALUE) {
        FindClose(search_);
        search_ = INVALID_HANDLE_VALUE;
    }
    current_ = false;
}

const char* FileFinder::Name() const noexcept {
    return current_ ? name_ : "";
}

NarrowText FileFinder::FullPath() const noexcept {
    NarrowText path(root_);
    if (!rootEndsInSeparator_) {
        path += separator_;
    }
    return path + Name();
}

bool FileFinder::IsFolder() const noexcept {
    return current_ && (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileFinder::IsDots() const noexcept {
    return IsFolder() &&
           (std::wcscmp(data_.cFileName, L".") == 0 || std::wcscmp(data_.cFileName, L"..") == 0);
}
