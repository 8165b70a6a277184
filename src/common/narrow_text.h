#pragma once
// A narrow text in the system code page with a counted length, used to
// compose and cut paths. Copies share their storage until one is changed.
// Nothing here raises: a join or cut that cannot get memory yields an empty
// text, and an in-place append that cannot get memory leaves the text as is.

#include <cstddef>

class NarrowText {
public:
    /* An empty text. */
    NarrowText() noexcept = default;

    /* Copies a zero-terminated text; nullptr gives an empty text. */
    explicit NarrowText(const char* text) noexcept;

    NarrowText(const NarrowText& other) noexcept;
    NarrowText& operator=(const NarrowText& other) noexcept;
    ~NarrowText();

    /* Joins: a new text of both parts one after the other. */
    friend NarrowText operator+(const NarrowText& head, const NarrowText& tail) noexcept;
    friend NarrowText operator+(const NarrowText& head, const char* tail) noexcept;
    friend NarrowText operator+(const char* head, const NarrowText& tail) noexcept;
    friend NarrowText operator+(const NarrowText& head, char tail) noexcept;

    /* Appends in place; other copies keep the old text. */
    NarrowText& operator+=(const char* tail) noexcept;
    NarrowText& operator+=(char tail) noexcept;

    /* Returns the last `count` characters (all of them when `count` exceeds
       the length). */
    NarrowText Right(size_t count) const noexcept;

    /* Returns the first `count` characters (all of them when `count` exceeds
       the length). */
    NarrowText Left(size_t count) const noexcept;

    /* Returns the length in bytes. */
    size_t Length() const noexcept;

    /* Returns the text, zero-terminated; never nullptr. Valid while this
       value is unchanged. */
    const char* CStr() const noexcept;

private:
    struct Block;
    static NarrowText Join(const char* head, size_t headLength, const char* tail,
                           size_t tailLength) noexcept;
    void Release() noexcept;

    Block* block_ = nullptr;
};
