#include "common/narrow_text.h"

#include <cstdlib>
#include <cstring>

struct NarrowText::Block {
    long references;
    size_t length;
    char text[1];
};

NarrowText::NarrowText(const char* text) noexcept {
    if (text != nullptr) {
        *this = Join(text, std::strlen(text), nullptr, 0);
    }
}

NarrowText::NarrowText(const NarrowText& other) noexcept : block_(other.block_) {
    if (block_ != nullptr) {
        ++block_->references;
    }
}

NarrowText& NarrowText::operator=(const NarrowText& other) noexcept {
    if (other.block_ != nullptr) {
        ++other.block_->references;
    }
    Release();
    block_ = other.block_;
    return *this;
}

NarrowText::~NarrowText() {
    Release();
}

void NarrowText::Release() noexcept {
    if (block_ != nullptr && --block_->references == 0) {
        std::free(block_);
    }
    block_ = nullptr;
}

NarrowText NarrowText::Join(const char* head, size_t headLength, const char* tail,
                            size_t tailLength) noexcept {
    NarrowText joined;
    const size_t length = headLength + tailLength;
    if (length == 0) {
        return joined;
    }
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + length));
    if (block == nullptr) {
        return joined;
    }
    block->references = 1;
    block->length = length;
    if (headLength > 0) {
        std::memcpy(block->text, head, headLength);
    }
    if (tailLength > 0) {
        std::memcpy(block->text + headLength, tail, tailLength);
    }
    block->text[length] = '\0';
    joined.block_ = block;
    return joined;
}

NarrowText operator+(const NarrowText& head, const NarrowText& tail) noexcept {
    return NarrowText::Join(head.CStr(), head.Length(), tail.CStr(), tail.Length());
}

NarrowText operator+(const NarrowText& head, const char* tail) noexcept {
    return NarrowText::Join(head.CStr(), head.Length(), tail,
                            tail == nullptr ? 0 : std::strlen(tail));
}

NarrowText operator+(const char* head, const NarrowText& tail) noexcept {
    return NarrowText::Join(head, head == nullptr ? 0 : std::strlen(head), tail.CStr(),
                            tail.Length());
}

NarrowText operator+(const NarrowText& head, char tail) noexcept {
    return NarrowText::Join(head.CStr(), head.Length(), &tail, 1);
}

NarrowText& NarrowText::operator+=(const char* tail) noexcept {
    const size_t tailLength = tail == nullptr ? 0 : std::strlen(tail);
    if (tailLength > 0) {
        NarrowText joined = Join(CStr(), Length(), tail, tailLength);
        if (joined.Length() != 0) {
            *this = joined;
        }
    }
    return *this;
}

NarrowText& NarrowText::operator+=(char tail) noexcept {
    NarrowText joined = Join(CStr(), Length(), &tail, 1);
    if (joined.Length() != 0) {
        *this = joined;
    }
    return *this;
}

NarrowText NarrowText::Right(size_t count) const noexcept {
    const size_t length = Length();
    if (count >= length) {
        return *this;
    }
    return Join(CStr() + (length - count), count, nullptr, 0);
}

NarrowText NarrowText::Left(size_t count) const noexcept {
    if (count >= Length()) {
        return *this;
    }
    return Join(CStr(), count, nullptr, 0);
}

size_t NarrowText::Length() const noexcept {
    return block_ == nullptr ? 0 : block_->length;
}

const char* NarrowText::CStr() const noexcept {
    return block_ == nullptr ? "" : block_->text;
}
