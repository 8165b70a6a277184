#include "common/exact_narrow.h"

namespace {

constexpr size_t kMaxUnits = MAX_PATH;

bool IsHighSurrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-8 has no default character: a unit it cannot hold (an unpaired
// surrogate) would silently become U+FFFD, a character another file's name
// may hold. Such units are replaced with '?' in a copy first.
int ToUtf8WithMarks(const wchar_t* wide, char* narrow, int size) {
    wchar_t marked[kMaxUnits + 1];
    size_t length = 0;
    for (; wide[length] != L'\0'; ++length) {
        if (length == kMaxUnits) {
            return 0;
        }
        const wchar_t unit = wide[length];
        const bool pairedHigh = IsHighSurrogate(unit) && IsLowSurrogate(wide[length + 1]);
        // A high surrogate kept in the copy was paired with this unit.
        const bool pairedLow =
            IsLowSurrogate(unit) && length > 0 && IsHighSurrogate(marked[length - 1]);
        const bool unpaired =
            (IsHighSurrogate(unit) && !pairedHigh) || (IsLowSurrogate(unit) && !pairedLow);
        marked[length] = unpaired ? L'?' : unit;
    }
    marked[length] = L'\0';
    return WideCharToMultiByte(CP_UTF8, 0, marked, -1, narrow, size, nullptr, nullptr);
}

} // namespace

bool ToExactNarrow(const wchar_t* wide, char* narrow, size_t size) noexcept {
    if (wide == nullptr || narrow == nullptr || size < 2) {
        return false;
    }
    const int room = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8) {
        if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, narrow, room, nullptr,
                                nullptr) > 0) {
            return true;
        }
        if (ToUtf8WithMarks(wide, narrow, room) == 0) {
            lstrcpyA(narrow, "?");
        }
        return false;
    }
    BOOL usedDefault = FALSE;
    if (WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, -1, narrow, room, "?",
                            &usedDefault) == 0) {
        lstrcpyA(narrow, "?");
        return false;
    }
    return usedDefault == FALSE;
}
