#include "common/wide_text.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "common/code_page_conversion.h"
#include "common/wide_text_error.h"

struct WideText::Record {
    volatile LONG references;
    BSTR wide;
    char* narrow;
};

WideText::Record* WideText::NewRecord(BSTR wide) {
    Record* record = new (std::nothrow) Record{1, wide, nullptr};
    if (record == nullptr) {
        SysFreeString(wide);
        WideTextError::RaiseOutOfMemory();
    }
    return record;
}

WideText::WideText(const char* narrow)
    : record_(NewRecord(narrow == nullptr ? nullptr : ConvertToWide(narrow, CP_ACP))) {}

WideText::WideText(const wchar_t* wide) : record_(nullptr) {
    BSTR copy = nullptr;
    if (wide != nullptr) {
        copy = SysAllocStringLen(wide, static_cast<UINT>(std::wcslen(wide)));
        if (copy == nullptr) {
            WideTextError::RaiseOutOfMemory();
        }
    }
    record_ = NewRecord(copy);
}

WideText WideText::TakeOver(BSTR handedOut) {
    return WideText(NewRecord(handedOut));
}

WideText::WideText(const WideText& other) noexcept : record_(other.record_) {
    if (record_ != nullptr) {
        InterlockedIncrement(&record_->references);
    }
}

WideText::WideText(WideText&& other) noexcept : record_(other.record_) {
    other.record_ = nullptr;
}

WideText& WideText::operator=(const WideText& other) noexcept {
    if (other.record_ != nullptr) {
        InterlockedIncrement(&other.record_->references);
    }
    Release();
    record_ = other.record_;
    return *this;
}

WideText& WideText::operator=(WideText&& other) noexcept {
    if (this != &other) {
        Release();
        record_ = other.record_;
        other.record_ = nullptr;
    }
    return *this;
}

WideText::~WideText() {
    Release();
}

void WideText::Release() noexcept {
    if (record_ != nullptr && InterlockedDecrement(&record_->references) == 0) {
        SysFreeString(record_->wide);
        delete[] record_->narrow;
        delete record_;
    }
    record_ = nullptr;
}

WideText& WideText::operator+=(const WideText& tail) {
    return *this = *this + tail;
}

WideText& WideText::operator+=(const char* narrowTail) {
    return *this = *this + narrowTail;
}

WideText operator+(const WideText& head, const WideText& tail) {
    const wchar_t* first = head.Wide();
    const wchar_t* second = tail.Wide();
    if (first == nullptr && second == nullptr) {
        return WideText(WideText::NewRecord(nullptr));
    }
    const unsigned firstLength = head.Length();
    const unsigned secondLength = tail.Length();
    BSTR joined = SysAllocStringLen(nullptr, firstLength + secondLength);
    if (joined == nullptr) {
        WideTextError::RaiseOutOfMemory();
    }
    if (firstLength > 0) {
        std::memcpy(joined, first, firstLength * sizeof(wchar_t));
    }
    if (secondLength > 0) {
        std::memcpy(joined + firstLength, second, secondLength * sizeof(wchar_t));
    }
    return WideText::TakeOver(joined);
}

WideText operator+(const char* narrowHead, const WideText& tail) {
    return WideText(narrowHead) + tail;
}

WideText operator+(const WideText& head, const char* narrowTail) {
    return head + WideText(narrowTail);
}

const char* WideText::Narrow() const {
    if (record_ == nullptr || record_->wide == nullptr) {
        return nullptr;
    }
    if (record_->narrow == nullptr) {
        record_->narrow = ConvertToNarrow(record_->wide, SysStringLen(record_->wide), CP_ACP);
    }
    return record_->narrow;
}

const wchar_t* WideText::Wide() const noexcept {
    return record_ == nullptr ? nullptr : record_->wide;
}

unsigned WideText::Length() const noexcept {
    return record_ == nullptr ? 0 : SysStringLen(record_->wide);
}

int WideText::Compare(const WideText& a, const WideText& b) noexcept {
    const wchar_t* first = a.Wide();
    const wchar_t* second = b.Wide();
    if (first == nullptr || second == nullptr) {
        return (first != nullptr) - (second != nullptr);
    }
    const unsigned firstLength = a.Length();
    const unsigned secondLength = b.Length();
    const unsigned common = firstLength < secondLength ? firstLength : secondLength;
    for (unsigned i = 0; i < common; ++i) {
        const int difference = static_cast<int>(static_cast<unsigned short>(first[i])) -
                               static_cast<int>(static_cast<unsigned short>(second[i]));
        if (difference != 0) {
            return difference;
        }
    }
    if (firstLength == secondLength) {
        return 0;
    }
    return firstLength < secondLength ? -1 : 1;
}
