#include "common/wide_text_error.h"

const char* WideTextError::what() const noexcept {
    return code_ == E_OUTOFMEMORY ? "out of memory in a text operation" : "text conversion failed";
}

void WideTextError::RaiseConversionFailure(DWORD lastError) {
    const HRESULT code =
        lastError == 0 ? 0 : static_cast<HRESULT>((lastError & 0xFFFF) | 0x80070000);
    throw WideTextError(code);
}

void WideTextError::RaiseOutOfMemory() {
    throw WideTextError(E_OUTOFMEMORY);
}
