#include "common/code_page_conversion.h"

#include <cstring>
#include <new>

#include "common/wide_text_error.h"

char* ConvertToNarrow(const wchar_t* wide, unsigned length, UINT codePage) {
    int needed = 0;
    if (length > 0) {
        needed = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(length), nullptr, 0,
                                     nullptr, nullptr);
        if (needed <= 0) {
            WideTextError::RaiseConversionFailure(GetLastError());
        }
    }
    char* narrow = new (std::nothrow) char[static_cast<size_t>(needed) + 1];
    if (narrow == nullptr) {
        WideTextError::RaiseOutOfMemory();
    }
    if (needed > 0 && WideCharToMultiByte(codePage, 0, wide, static_cast<int>(length), narrow,
                                          needed, nullptr, nullptr) != needed) {
        const DWORD error = GetLastError();
        delete[] narrow;
        WideTextError::RaiseConversionFailure(error);
    }
    narrow[needed] = '\0';
    return narrow;
}

BSTR ConvertToWide(const char* narrow, UINT codePage) {
    const size_t length = std::strlen(narrow);
    int needed = 0;
    if (length > 0) {
        needed = MultiByteToWideChar(codePage, 0, narrow, static_cast<int>(length), nullptr, 0);
        if (needed <= 0) {
            WideTextError::RaiseConversionFailure(GetLastError());
        }
    }
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(needed));
    if (wide == nullptr) {
        WideTextError::RaiseOutOfMemory();
    }
    if (needed > 0 && MultiByteToWideChar(codePage, 0, narrow, static_cast<int>(length), wide,
                                          needed) != needed) {
        const DWORD error = GetLastError();
        SysFreeString(wide);
        WideTextError::RaiseConversionFailure(error);
    }
    return wide;
}
