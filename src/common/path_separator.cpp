#include "common/path_separator.h"

const char* FindLastSeparator(const char* text, UINT codePage) noexcept {
    const char* last = nullptr;
    if (text == nullptr) {
        return last;
    }
    for (const char* at = text; *at != '\0'; ++at) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(*at)) && at[1] != '\0') {
            ++at;
        } else if (*at == '\\' || *at == '/') {
            last = at;
        }
    }
    return last;
}

bool EndsWithBackslash(const char* text, UINT codePage) noexcept {
    const char* last = FindLastSeparator(text, codePage);
    return last != nullptr && *last == '\\' && last[1] == '\0';
}
